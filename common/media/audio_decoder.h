#pragma once

#include "speakers.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

namespace velune {

// How decoded samples are laid out for whoever takes them.
enum class SampleLayout {
    S16,         // 16-bit integers, channels interleaved
    S32,         // 32-bit integers (24-bit samples in the top bits), interleaved
    Float,       // 32-bit floats, channels interleaved
    FloatPlanar, // 32-bit floats, one plane per channel
};

// What could not be decoded of a source. A reader that accepts damage still gets
// every sample that decodes; one that does not (a conversion) asks here at the end.
struct DecodeDamage {
    int64_t firstSample = -1; // where the first damage is, in source samples from the start
    int64_t lostSamples = 0;  // samples that could not be decoded, as far as can be known
    bool readError = false;   // the file could not be read (an I/O error), not just damaged
    QString reason;           // for the log
    bool any() const { return firstSample >= 0; }
};

// Decodes the audio of one file or stream with FFmpeg's libraries, from its start
// or from any sample, every sample exactly: the encoder delay and padding that the
// container declares (LAME and iTunes headers, Ogg pre-skip, MP4 edit lists) are
// trimmed. Samples come out at the source's rate and channel count unless another
// output is set.
// Used by one thread at a time.
class AudioDecoder {
public:
    AudioDecoder();
    ~AudioDecoder();
    AudioDecoder(const AudioDecoder&) = delete;
    AudioDecoder& operator=(const AudioDecoder&) = delete;

    // Opens a local path or an address (http:, https:, rtsp:, file:). Opening
    // and reading give up after `timeoutMs` without progress, and as soon as
    // `cancel` turns true. False, with the reason in words for the user, when
    // the source has no audio that can be decoded.
    bool Open(const QString& location, QString& error, const std::atomic<bool>* cancel = nullptr,
              int timeoutMs = 10000);

    int SourceRate() const;
    int SourceChannels() const;
    // Bits of each source sample where the source keeps whole numbers (16, 24); 0
    // for sources decoded as floats (lossy formats).
    int SourceBits() const;
    // The length the container declares, in samples at the source's rate.
    std::optional<int64_t> DeclaredSamples() const;
    // A tag's text ("" when absent); names are compared without regard to case.
    QString Tag(const char* name) const;

    // What Read hands out; rate and channels 0 keep the source's. With `dither`,
    // samples made shorter (to 16 bits) get triangular dither.
    bool SetOutput(SampleLayout layout, int rate, int maxChannels, QString& error,
                   bool dither = false);
    // The container and codec, "ogg/vorbis", "mp3/mp3", "ogg/opus": what a file is.
    QString SourceKind() const;
    int OutputRate() const;
    int OutputChannels() const;
    // Where each output channel is meant to sound: the source's own layout, or the
    // usual layout of the channel count when the source names none or is mixed down.
    SpeakerLayout OutputSpeakers() const;

    // The next samples (per channel), valid until the next call: 0 at the end,
    // -1 when reading failed (see Error()). `data` gets one pointer per plane.
    int Read(const uint8_t* const** data);
    // Goes to a sample of the source (at its rate): the next Read starts exactly there.
    bool Seek(int64_t sample);
    // How many source samples have been decoded since the start (or the seek target).
    int64_t Position() const;
    QString Error() const;

    // What was found damaged so far: a read error, packets that do not decode, samples
    // skipped between frames, and at the end fewer samples than the container declares
    // exactly or an Ogg file cut short. A read error ends the stream as its end would.
    const DecodeDamage& Damage() const;
    // The length the container declares exactly (none when it estimates it), less the
    // encoder delay and padding that the packets read so far announced: the length
    // heard once the first and the last packets were read.
    std::optional<int64_t> TrimmedLength() const;
    // The damage in words for the user, "damaged at 0:31: 4 096 samples could not be
    // decoded"; "" when there is none.
    QString DamageText() const;

    // An option of the stream's protocol as text ("icy_metadata_headers"); "" for none.
    QByteArray StreamOption(const char* name) const;
    // A stream's newest ICY metadata packet, once each, with the seconds of audio
    // between what was decoded last and the place it came at.
    std::optional<std::pair<QByteArray, double>> TakeIcyPacket();

private:
    friend bool FetchAddress(const QString&, qint64, const std::atomic<bool>*, int, QByteArray&,
                             QString&);
    struct State;
    std::unique_ptr<State> d_;
};

// The bytes at an http(s) address (a station's playlist), at most `maxBytes` of
// them, each wait given up after `timeoutMs` or once `cancel` is set; false with
// the reason in `error`.
bool FetchAddress(const QString& address, qint64 maxBytes, const std::atomic<bool>* cancel,
                  int timeoutMs, QByteArray& bytes, QString& error);

} // namespace velune
