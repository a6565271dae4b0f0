#include "pulse_output.h"

#include "engine_log.h"

#include <pulse/pulseaudio.h>

#include <chrono>
#include <cmath>
#include <thread>

namespace velune {

namespace {
constexpr int kBufferMs = 500;
// How long connecting to the server or starting a stream may take.
constexpr auto kServerTimeout = std::chrono::seconds(5);
// How often a wait looks whether it was cancelled.
constexpr auto kWaitStep = std::chrono::milliseconds(5);

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

pa_cvolume Volume(int channels, int percent) {
    pa_cvolume volume;
    const auto level = static_cast<pa_volume_t>(static_cast<uint64_t>(PA_VOLUME_NORM) *
                                                static_cast<uint64_t>(std::max(percent, 0)) / 100);
    pa_cvolume_set(&volume, static_cast<unsigned>(channels), std::min(level, PA_VOLUME_MAX));
    return volume;
}

pa_channel_position_t Position(Speaker speaker, int& aux) {
    switch (speaker) {
    case Speaker::FrontLeft:
        return PA_CHANNEL_POSITION_FRONT_LEFT;
    case Speaker::FrontRight:
        return PA_CHANNEL_POSITION_FRONT_RIGHT;
    case Speaker::FrontCenter:
        return PA_CHANNEL_POSITION_FRONT_CENTER;
    case Speaker::LowFrequency:
        return PA_CHANNEL_POSITION_LFE;
    case Speaker::BackLeft:
        return PA_CHANNEL_POSITION_REAR_LEFT;
    case Speaker::BackRight:
        return PA_CHANNEL_POSITION_REAR_RIGHT;
    case Speaker::FrontLeftOfCenter:
        return PA_CHANNEL_POSITION_FRONT_LEFT_OF_CENTER;
    case Speaker::FrontRightOfCenter:
        return PA_CHANNEL_POSITION_FRONT_RIGHT_OF_CENTER;
    case Speaker::BackCenter:
        return PA_CHANNEL_POSITION_REAR_CENTER;
    case Speaker::SideLeft:
        return PA_CHANNEL_POSITION_SIDE_LEFT;
    case Speaker::SideRight:
        return PA_CHANNEL_POSITION_SIDE_RIGHT;
    case Speaker::TopCenter:
        return PA_CHANNEL_POSITION_TOP_CENTER;
    case Speaker::TopFrontLeft:
        return PA_CHANNEL_POSITION_TOP_FRONT_LEFT;
    case Speaker::TopFrontCenter:
        return PA_CHANNEL_POSITION_TOP_FRONT_CENTER;
    case Speaker::TopFrontRight:
        return PA_CHANNEL_POSITION_TOP_FRONT_RIGHT;
    case Speaker::TopBackLeft:
        return PA_CHANNEL_POSITION_TOP_REAR_LEFT;
    case Speaker::TopBackCenter:
        return PA_CHANNEL_POSITION_TOP_REAR_CENTER;
    case Speaker::TopBackRight:
        return PA_CHANNEL_POSITION_TOP_REAR_RIGHT;
    case Speaker::Unknown:
        break;
    }
    return static_cast<pa_channel_position_t>(PA_CHANNEL_POSITION_AUX0 + aux++);
}

// The server's map for the speakers: a mono file is mono, whatever else as it names itself.
bool MapOf(const SpeakerLayout& speakers, pa_channel_map& map) {
    if (speakers.empty() || speakers.size() > PA_CHANNELS_MAX)
        return false;
    if (speakers.size() == 1) {
        pa_channel_map_init_mono(&map);
        return true;
    }
    map.channels = static_cast<uint8_t>(speakers.size());
    int aux = 0;
    for (std::size_t i = 0; i < speakers.size(); ++i)
        map.map[i] = Position(speakers[i], aux);
    return pa_channel_map_valid(&map) != 0;
}
} // namespace

PulseOutput::PulseOutput(std::function<void()> wake) : wake_(std::move(wake)) {}

PulseOutput::~PulseOutput() {
    Close();
    Disconnect();
}

int PulseOutput::MaxRate() const {
    return static_cast<int>(PA_RATE_MAX);
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

void PulseOutput::OnEvent(pa_context* context, int type, uint32_t index, void* self) {
    auto* out = static_cast<PulseOutput*>(self);
    const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
    const auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
    if (facility != PA_SUBSCRIPTION_EVENT_SINK_INPUT || kind != PA_SUBSCRIPTION_EVENT_CHANGE ||
        !out->stream_ || index != out->streamIndex_)
        return;
    Forget(pa_context_get_sink_input_info(context, index, &PulseOutput::OnStreamInfo, self));
}

void PulseOutput::OnStreamInfo(pa_context* /*context*/, const pa_sink_input_info* info, int eol,
                               void* self) {
    auto* out = static_cast<PulseOutput*>(self);
    if (eol || !info || info->index != out->streamIndex_)
        return;
    const MixerLevel shown{
        static_cast<int>(std::lround(100.0 * pa_cvolume_avg(&info->volume) / PA_VOLUME_NORM)),
        info->mute != 0};
    if (shown == out->shown_)
        return;
    out->shown_ = shown;
    out->shownChanged_ = true;
    out->wake_();
}

bool PulseOutput::Await(const std::function<bool()>& ready, const std::function<bool()>& broken,
                        const std::function<bool()>& cancelled) {
    const auto deadline = std::chrono::steady_clock::now() + kServerTimeout;
    for (;;) {
        if (ready())
            return true;
        if (broken() || (cancelled && cancelled()) || std::chrono::steady_clock::now() > deadline)
            return false;
        // The sound thread's callbacks need the lock; a hung server must not hold us.
        pa_threaded_mainloop_unlock(loop_);
        std::this_thread::sleep_for(kWaitStep);
        pa_threaded_mainloop_lock(loop_);
    }
}

bool PulseOutput::Connect(const std::function<bool()>& cancelled, QString& error) {
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
    const bool ready =
        Await([this] { return pa_context_get_state(context_) == PA_CONTEXT_READY; },
              [this] { return !PA_CONTEXT_IS_GOOD(pa_context_get_state(context_)); }, cancelled);
    if (!ready) {
        error = pa_context_get_state(context_) == PA_CONTEXT_READY ||
                        !PA_CONTEXT_IS_GOOD(pa_context_get_state(context_))
                    ? ContextError()
                    : QStringLiteral("the sound server does not answer");
        return false;
    }
    // The mixer's changes to our stream come back to the player.
    pa_context_set_subscribe_callback(
        context_,
        [](pa_context* c, pa_subscription_event_type_t type, uint32_t index, void* self) {
            OnEvent(c, type, index, self);
        },
        this);
    Forget(pa_context_subscribe(context_, PA_SUBSCRIPTION_MASK_SINK_INPUT, nullptr, nullptr));
    return true;
}

void PulseOutput::Disconnect() {
    if (!loop_)
        return;
    pa_threaded_mainloop_stop(loop_);
    if (context_) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_set_subscribe_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }
    pa_threaded_mainloop_free(loop_);
    loop_ = nullptr;
}

bool PulseOutput::Open(const StreamFormat& format, MixerLevel level,
                       const std::function<bool()>& cancelled, QString& error) {
    Close();
    if (!Connect(cancelled, error))
        return false;
    Locked lock(loop_);
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, static_cast<uint32_t>(format.rate),
                              static_cast<uint8_t>(format.channels())};
    pa_channel_map map;
    if (!pa_sample_spec_valid(&spec) || !MapOf(format.speakers, map)) {
        error = QStringLiteral("the sound server takes no %1 channels at %2 Hz")
                    .arg(format.channels())
                    .arg(format.rate);
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
    format_ = format;
    written_ = 0;
    drained_ = false;
    level_ = shown_ = level;
    shownChanged_ = false;
    pa_stream_set_state_callback(stream_, &PulseOutput::OnStreamState, this);
    pa_stream_set_write_callback(stream_, &PulseOutput::OnWritable, this);
    pa_buffer_attr buffer;
    buffer.maxlength = static_cast<uint32_t>(-1);
    buffer.tlength = static_cast<uint32_t>(pa_usec_to_bytes(kBufferMs * PA_USEC_PER_MSEC, &spec));
    buffer.prebuf = static_cast<uint32_t>(-1);
    buffer.minreq = static_cast<uint32_t>(-1);
    buffer.fragsize = static_cast<uint32_t>(-1);
    const pa_cvolume volume = Volume(format.channels(), level.percent);
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY |
        (level.muted ? PA_STREAM_START_MUTED : PA_STREAM_START_UNMUTED));
    if (pa_stream_connect_playback(stream_, nullptr, &buffer, flags, &volume, nullptr) < 0) {
        error = ContextError();
        pa_stream_unref(stream_);
        stream_ = nullptr;
        return false;
    }
    const bool ready =
        Await([this] { return pa_stream_get_state(stream_) == PA_STREAM_READY; },
              [this] { return !PA_STREAM_IS_GOOD(pa_stream_get_state(stream_)); }, cancelled);
    if (ready) {
        streamIndex_ = pa_stream_get_index(stream_);
        return true;
    }
    error = PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))
                ? QStringLiteral("the sound server does not answer")
                : ContextError();
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_write_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
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
    streamIndex_ = 0;
    written_ = 0;
    drained_ = false;
}

std::size_t PulseOutput::Writable() {
    if (!stream_)
        return 0;
    Locked lock(loop_);
    if (pa_stream_get_state(stream_) != PA_STREAM_READY)
        return 0;
    const std::size_t bytes = pa_stream_writable_size(stream_);
    if (bytes == static_cast<std::size_t>(-1))
        return 0;
    return bytes / (sizeof(float) * static_cast<std::size_t>(format_.channels()));
}

bool PulseOutput::Write(const float* samples, std::size_t frames) {
    if (!stream_)
        return false;
    if (frames == 0)
        return true;
    Locked lock(loop_);
    const std::size_t bytes = frames * sizeof(float) * static_cast<std::size_t>(format_.channels());
    if (pa_stream_write(stream_, samples, bytes, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
        qCWarning(lcEngine) << "the sound server took no samples:" << ContextError();
        return false;
    }
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
    const auto frames =
        static_cast<int64_t>(time * static_cast<uint64_t>(format_.rate) / PA_USEC_PER_SEC);
    return std::min(frames, written_);
}

void PulseOutput::SetPaused(bool paused) {
    if (!stream_)
        return;
    Locked lock(loop_);
    Forget(pa_stream_cork(stream_, paused ? 1 : 0, nullptr, nullptr));
}

void PulseOutput::Start() {
    if (!stream_)
        return;
    Locked lock(loop_);
    Forget(pa_stream_trigger(stream_, nullptr, nullptr));
}

void PulseOutput::Drain() {
    if (!stream_)
        return;
    Locked lock(loop_);
    drained_ = false;
    Forget(pa_stream_drain(stream_, &PulseOutput::OnDrained, this));
}

bool PulseOutput::Drained() {
    if (!stream_)
        return false;
    Locked lock(loop_);
    return drained_;
}

void PulseOutput::SetLevel(MixerLevel level) {
    level_ = level;
    if (!stream_)
        return;
    Locked lock(loop_);
    shown_ = level; // our own change is no news from the mixer
    const pa_cvolume volume = Volume(format_.channels(), level.percent);
    Forget(pa_context_set_sink_input_volume(context_, streamIndex_, &volume, nullptr, nullptr));
    Forget(pa_context_set_sink_input_mute(context_, streamIndex_, level.muted ? 1 : 0, nullptr,
                                          nullptr));
}

std::optional<MixerLevel> PulseOutput::MixerChange() {
    if (!stream_)
        return std::nullopt;
    Locked lock(loop_);
    if (!shownChanged_)
        return std::nullopt;
    shownChanged_ = false;
    if (shown_ == level_)
        return std::nullopt;
    level_ = shown_;
    return shown_;
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
