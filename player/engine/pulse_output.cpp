#include "pulse_output.h"

#include "engine_log.h"

#include <pulse/pulseaudio.h>

namespace velune {

namespace {
constexpr int kBufferMs = 500;

// Holds the main loop's lock for a scope.
class Locked {
public:
    explicit Locked(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
    ~Locked() { pa_threaded_mainloop_unlock(loop_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    pa_threaded_mainloop* loop_;
};

void Forget(pa_operation* operation) {
    if (operation)
        pa_operation_unref(operation);
}

// Waits on the main loop until `state()` is `ready` (true) or has gone bad (false).
template <typename State, typename Read, typename Good>
bool Await(pa_threaded_mainloop* loop, Read state, State ready, Good good) {
    for (;;) {
        const State now = state();
        if (now == ready)
            return true;
        if (!good(now))
            return false;
        pa_threaded_mainloop_wait(loop);
    }
}

pa_cvolume Volume(int channels, int percent) {
    pa_cvolume volume;
    const auto level = static_cast<pa_volume_t>(static_cast<uint64_t>(PA_VOLUME_NORM) *
                                                static_cast<uint64_t>(std::max(percent, 0)) / 100);
    pa_cvolume_set(&volume, static_cast<unsigned>(channels), std::min(level, PA_VOLUME_MAX));
    return volume;
}
} // namespace

PulseOutput::PulseOutput(std::function<void()> wake) : wake_(std::move(wake)) {}

PulseOutput::~PulseOutput() {
    Close();
    Disconnect();
}

QString PulseOutput::ContextError() const {
    return QString::fromUtf8(pa_strerror(context_ ? pa_context_errno(context_) : PA_ERR_UNKNOWN));
}

void PulseOutput::OnContextState(pa_context* /*context*/, void* self) {
    auto* out = static_cast<PulseOutput*>(self);
    pa_threaded_mainloop_signal(out->loop_, 0);
    out->wake_();
}

void PulseOutput::OnStreamState(pa_stream* /*stream*/, void* self) {
    auto* out = static_cast<PulseOutput*>(self);
    pa_threaded_mainloop_signal(out->loop_, 0);
    out->wake_();
}

void PulseOutput::OnWritable(pa_stream* /*stream*/, std::size_t /*bytes*/, void* self) {
    static_cast<PulseOutput*>(self)->wake_();
}

void PulseOutput::OnDrained(pa_stream* /*stream*/, int /*success*/, void* self) {
    auto* out = static_cast<PulseOutput*>(self);
    out->drained_ = true;
    out->wake_();
}

bool PulseOutput::Connect(QString& error) {
    if (context_) {
        {
            Locked lock(loop_);
            if (pa_context_get_state(context_) == PA_CONTEXT_READY)
                return true;
        }
        // The server went away: start again with a new connection.
        Disconnect();
    }
    loop_ = pa_threaded_mainloop_new();
    if (!loop_ || pa_threaded_mainloop_start(loop_) < 0) {
        error = QStringLiteral("the sound thread could not be started");
        Disconnect();
        return false;
    }
    Locked lock(loop_);
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Velune Player");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "velune-player");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "velune-player");
    context_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), "Velune Player",
                                            properties);
    pa_proplist_free(properties);
    if (!context_) {
        error = QStringLiteral("no sound server connection could be made");
        return false;
    }
    pa_context_set_state_callback(context_, &PulseOutput::OnContextState, this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        error = ContextError();
        return false;
    }
    if (Await(
            loop_, [this] { return pa_context_get_state(context_); }, PA_CONTEXT_READY,
            [](pa_context_state_t state) { return PA_CONTEXT_IS_GOOD(state); }))
        return true;
    error = ContextError();
    return false;
}

void PulseOutput::Disconnect() {
    if (!loop_)
        return;
    pa_threaded_mainloop_stop(loop_);
    if (context_) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }
    pa_threaded_mainloop_free(loop_);
    loop_ = nullptr;
}

bool PulseOutput::Open(int rate, int channels, int volumePercent, bool muted, QString& error) {
    Close();
    if (!Connect(error))
        return false;
    Locked lock(loop_);
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, static_cast<uint32_t>(rate),
                              static_cast<uint8_t>(channels)};
    pa_channel_map map;
    if (!pa_sample_spec_valid(&spec) ||
        !pa_channel_map_init_auto(&map, static_cast<unsigned>(channels), PA_CHANNEL_MAP_WAVEEX)) {
        error = QStringLiteral("the sound server takes no %1 channels at %2 Hz")
                    .arg(channels)
                    .arg(rate);
        return false;
    }
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "music");
    stream_ = pa_stream_new_with_proplist(context_, "Music", &spec, &map, properties);
    pa_proplist_free(properties);
    if (!stream_) {
        error = ContextError();
        return false;
    }
    rate_ = rate;
    channels_ = channels;
    written_ = 0;
    paused_ = false;
    draining_ = drained_ = false;
    pa_stream_set_state_callback(stream_, &PulseOutput::OnStreamState, this);
    pa_stream_set_write_callback(stream_, &PulseOutput::OnWritable, this);
    pa_buffer_attr buffer;
    buffer.maxlength = static_cast<uint32_t>(-1);
    buffer.tlength = static_cast<uint32_t>(pa_usec_to_bytes(kBufferMs * PA_USEC_PER_MSEC, &spec));
    buffer.prebuf = static_cast<uint32_t>(-1);
    buffer.minreq = static_cast<uint32_t>(-1);
    buffer.fragsize = static_cast<uint32_t>(-1);
    const pa_cvolume volume = Volume(channels, volumePercent);
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY |
        (muted ? PA_STREAM_START_MUTED : PA_STREAM_START_UNMUTED));
    if (pa_stream_connect_playback(stream_, nullptr, &buffer, flags, &volume, nullptr) < 0) {
        error = ContextError();
        pa_stream_unref(stream_);
        stream_ = nullptr;
        return false;
    }
    if (Await(
            loop_, [this] { return pa_stream_get_state(stream_); }, PA_STREAM_READY,
            [](pa_stream_state_t state) { return PA_STREAM_IS_GOOD(state); }))
        return true;
    error = ContextError();
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_write_callback(stream_, nullptr, nullptr);
    pa_stream_unref(stream_);
    stream_ = nullptr;
    return false;
}

void PulseOutput::Close() {
    if (!stream_)
        return;
    Locked lock(loop_);
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_write_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
    written_ = 0;
}

std::size_t PulseOutput::Writable() {
    if (!stream_ || draining_)
        return 0;
    Locked lock(loop_);
    if (pa_stream_get_state(stream_) != PA_STREAM_READY)
        return 0;
    const std::size_t bytes = pa_stream_writable_size(stream_);
    if (bytes == static_cast<std::size_t>(-1))
        return 0;
    return bytes / (sizeof(float) * static_cast<std::size_t>(channels_));
}

bool PulseOutput::Write(const float* samples, std::size_t frames) {
    if (!stream_ || frames == 0)
        return stream_ != nullptr;
    Locked lock(loop_);
    const std::size_t bytes = frames * sizeof(float) * static_cast<std::size_t>(channels_);
    if (pa_stream_write(stream_, samples, bytes, nullptr, 0, PA_SEEK_RELATIVE) < 0)
        return false;
    written_ += static_cast<int64_t>(frames);
    return true;
}

int64_t PulseOutput::Heard() {
    if (!stream_)
        return 0;
    Locked lock(loop_);
    pa_usec_t time = 0;
    if (pa_stream_get_time(stream_, &time) < 0)
        return 0;
    const auto frames = static_cast<int64_t>(time * static_cast<uint64_t>(rate_) / PA_USEC_PER_SEC);
    return std::min(frames, written_);
}

void PulseOutput::SetPaused(bool paused) {
    if (!stream_ || paused == paused_)
        return;
    paused_ = paused;
    Locked lock(loop_);
    Forget(pa_stream_cork(stream_, paused ? 1 : 0, nullptr, nullptr));
}

void PulseOutput::Drain() {
    if (!stream_ || draining_)
        return;
    draining_ = true;
    Locked lock(loop_);
    drained_ = false;
    Forget(pa_stream_drain(stream_, &PulseOutput::OnDrained, this));
}

bool PulseOutput::Drained() {
    if (!stream_ || !draining_)
        return false;
    Locked lock(loop_);
    return drained_;
}

void PulseOutput::SetVolume(int percent) {
    if (!stream_)
        return;
    Locked lock(loop_);
    const pa_cvolume volume = Volume(channels_, percent);
    Forget(pa_context_set_sink_input_volume(context_, pa_stream_get_index(stream_), &volume,
                                            nullptr, nullptr));
}

void PulseOutput::SetMute(bool muted) {
    if (!stream_)
        return;
    Locked lock(loop_);
    Forget(pa_context_set_sink_input_mute(context_, pa_stream_get_index(stream_), muted ? 1 : 0,
                                          nullptr, nullptr));
}

QString PulseOutput::Failure() {
    if (!stream_)
        return {};
    Locked lock(loop_);
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context_)) ||
        !PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) {
        QString reason = ContextError();
        qCWarning(lcEngine) << "the sound server went away:" << reason;
        return reason;
    }
    return {};
}

} // namespace velune
