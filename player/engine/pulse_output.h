#pragma once

#include "sound_output.h"

#include <functional>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;
struct pa_sink_input_info;

namespace velune {

// The playback stream on the desktop's sound server (PulseAudio, or PipeWire's
// PulseAudio server), through libpulse's asynchronous API on its own threaded main
// loop. The stream keeps about half a second ahead; its volume and mute are the
// stream's own on the server, where the desktop's mixer shows them and may change
// them. `wake` is called from the sound thread whenever the stream wants samples
// or something changed.
class PulseOutput : public SoundOutput {
public:
    explicit PulseOutput(std::function<void()> wake);
    ~PulseOutput() override;
    PulseOutput(const PulseOutput&) = delete;
    PulseOutput& operator=(const PulseOutput&) = delete;

    int MaxRate() const override;
    bool Open(const StreamFormat& format, MixerLevel level, const std::function<bool()>& cancelled,
              QString& error) override;
    void Close() override;
    bool IsOpen() const override { return stream_ != nullptr; }
    const StreamFormat& Format() const override { return format_; }
    std::size_t Writable() override;
    bool Write(const float* samples, std::size_t frames) override;
    int64_t Written() const override { return written_; }
    int64_t Heard() override;
    void SetPaused(bool paused) override;
    void Start() override;
    void Drain() override;
    bool Drained() override;
    void SetLevel(MixerLevel level) override;
    std::optional<MixerLevel> MixerChange() override;
    QString Failure() override;

private:
    bool Connect(const std::function<bool()>& cancelled, QString& error);
    void Disconnect();
    QString ContextError() const;
    // Waits on the main loop (its lock held) until `ready()`, `broken()`, a cancel or the time
    // limit.
    bool Await(const std::function<bool()>& ready, const std::function<bool()>& broken,
               const std::function<bool()>& cancelled);
    static void OnContextState(pa_context* context, void* self);
    static void OnStreamState(pa_stream* stream, void* self);
    static void OnWritable(pa_stream* stream, std::size_t bytes, void* self);
    static void OnDrained(pa_stream* stream, int success, void* self);
    static void OnEvent(pa_context* context, int type, uint32_t index, void* self);
    static void OnStreamInfo(pa_context* context, const pa_sink_input_info* info, int eol,
                             void* self);

    std::function<void()> wake_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    StreamFormat format_;
    int64_t written_ = 0;
    bool drained_ = false;      // guarded by the main loop's lock: the last drain asked is done
    uint32_t streamIndex_ = 0;  // guarded by the main loop's lock
    MixerLevel level_;          // what the stream was last set to, or the mixer last showed
    MixerLevel shown_;          // guarded by the main loop's lock: what the server shows
    bool shownChanged_ = false; // guarded by the main loop's lock
};

} // namespace velune
