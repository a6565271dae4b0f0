#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

namespace velune {

// One playback stream on the desktop's sound server (PulseAudio, or PipeWire's
// PulseAudio server), through libpulse's asynchronous API on its own threaded main
// loop. Samples are 32-bit floats, channels interleaved. The stream keeps about
// half a second ahead; its volume and mute are the stream's own on the server,
// where the desktop's mixer shows them. Called from one thread; `wake` is called
// from the sound thread whenever the stream wants samples or something changed.
class PulseOutput {
public:
    explicit PulseOutput(std::function<void()> wake);
    ~PulseOutput();
    PulseOutput(const PulseOutput&) = delete;
    PulseOutput& operator=(const PulseOutput&) = delete;

    // Opens a stream, connecting to the server first when not connected; false,
    // with the server's reason, when it cannot. A stream open before is closed.
    bool Open(int rate, int channels, int volumePercent, bool muted, QString& error);
    void Close();
    bool IsOpen() const { return stream_ != nullptr; }
    int Rate() const { return rate_; }
    int Channels() const { return channels_; }

    // How many frames the stream takes now.
    std::size_t Writable();
    bool Write(const float* samples, std::size_t frames);
    // Frames written, and frames heard (written minus what the output still holds).
    int64_t Written() const { return written_; }
    int64_t Heard();
    void SetPaused(bool paused);
    // Plays out what was written; Drained() once all of it was heard.
    void Drain();
    bool Drained();

    // 100 is the samples as they are.
    void SetVolume(int percent);
    void SetMute(bool muted);
    // Why the server or the stream went away while open; "" while all is well.
    QString Failure();

private:
    bool Connect(QString& error);
    void Disconnect();
    QString ContextError() const;
    static void OnContextState(pa_context* context, void* self);
    static void OnStreamState(pa_stream* stream, void* self);
    static void OnWritable(pa_stream* stream, std::size_t bytes, void* self);
    static void OnDrained(pa_stream* stream, int success, void* self);

    std::function<void()> wake_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    int rate_ = 0;
    int channels_ = 0;
    int64_t written_ = 0;
    bool paused_ = false;
    bool draining_ = false;
    bool drained_ = false; // guarded by the main loop's lock
};

} // namespace velune
