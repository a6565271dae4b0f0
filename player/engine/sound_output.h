#pragma once

#include "speakers.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

namespace velune {

// The format of a playback stream: 32-bit float samples, channels interleaved.
struct StreamFormat {
    int rate = 0;
    SpeakerLayout speakers;
    int channels() const { return static_cast<int>(speakers.size()); }
    bool operator==(const StreamFormat&) const = default;
};

// The stream's loudness as the desktop's mixer shows it.
struct MixerLevel {
    int percent = 100; // 100 is the samples as they are
    bool muted = false;
    bool operator==(const MixerLevel&) const = default;
};

// One playback stream on the desktop's sound output, used from one thread. Every
// wait in it gives up once `cancelled` says so, or after a few seconds.
class SoundOutput {
public:
    virtual ~SoundOutput() = default;

    // The highest rate a stream may have; higher ones are resampled first.
    virtual int MaxRate() const = 0;
    // Opens a stream, connecting to the server first when not connected; false,
    // with the server's reason, when it cannot. A stream open before is closed.
    virtual bool Open(const StreamFormat& format, MixerLevel level,
                      const std::function<bool()>& cancelled, QString& error) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual const StreamFormat& Format() const = 0;

    // How many frames the stream takes now.
    virtual std::size_t Writable() = 0;
    virtual bool Write(const float* samples, std::size_t frames) = 0;
    // Frames written, and frames heard (written minus what the output still holds).
    virtual int64_t Written() const = 0;
    virtual int64_t Heard() = 0;
    // Holds the stream where it is, or lets it run on once it holds enough (as a new
    // stream does) or is started.
    virtual void SetPaused(bool paused) = 0;
    // Starts playing what was written, however little it is.
    virtual void Start() = 0;
    // Plays out what was written, after which nothing more is written (a held stream
    // plays it out once it runs again); Drained() once all of it was heard.
    virtual void Drain() = 0;
    virtual bool Drained() = 0;

    virtual void SetLevel(MixerLevel level) = 0;
    // The level the mixer shows now, when the mixer changed it since the last look.
    virtual std::optional<MixerLevel> MixerChange() = 0;
    // Why the server or the stream went away while open; "" while all is well.
    virtual QString Failure() = 0;
};

} // namespace velune
