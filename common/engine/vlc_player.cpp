#include "vlc_player.h"

#include "engine_log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QUrl>
#include <cstdio>
#include <vlc/vlc.h>

namespace velune {

namespace {
// Sound goes to the desktop's default output. Nothing is loaded or run that a
// player of audio files at normal speed does not need.
const QStringList kArguments{QStringLiteral("--ignore-config"),
                             QStringLiteral("--quiet"),
                             QStringLiteral("--no-xlib"),
                             QStringLiteral("--no-video"),
                             QStringLiteral("--no-sub-autodetect-file"),
                             QStringLiteral("--no-audio-time-stretch"),
                             QStringLiteral("--no-stats"),
                             QStringLiteral("--no-lua"),
                             QStringLiteral("--no-metadata-network-access")};

constexpr libvlc_event_e kEvents[] = {
    libvlc_MediaPlayerOpening,          libvlc_MediaPlayerPlaying,
    libvlc_MediaPlayerPaused,           libvlc_MediaPlayerEndReached,
    libvlc_MediaPlayerEncounteredError, libvlc_MediaPlayerLengthChanged,
    libvlc_MediaPlayerTimeChanged,      libvlc_MediaPlayerPositionChanged,
};

// Messages of audio outputs that could not be opened.
bool AboutSoundOutput(const char* module, const QString& text) {
    const QByteArray name(module ? module : "");
    return name == "pulse" || name == "alsa" || name == "oss" || name == "jack" ||
           name == "pipewire" || text.contains(QLatin1String("audio output"));
}
} // namespace

QString FirstRamLocation(const QString& ramFile) {
    QFile file(ramFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    // A metafile is a few lines; a large file is not one.
    const QByteArray text = file.read(64 * 1024);
    for (const QByteArray& raw : text.split('\n')) {
        QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) ||
            line.startsWith(QLatin1String("--stop--")))
            continue;
        if (line.contains(QLatin1String("://")))
            return line;
        return QFileInfo(line).isAbsolute() ? line
                                            : QFileInfo(ramFile).absoluteDir().filePath(line);
    }
    return {};
}

VlcPlayer::VlcPlayer() : thread_(&VlcPlayer::Run, this) {}

VlcPlayer::~VlcPlayer() {
    Post([this] {
        if (!player_)
            return;
        libvlc_event_manager_t* events = libvlc_media_player_event_manager(player_);
        for (const libvlc_event_e type : kEvents)
            libvlc_event_detach(events, type, &VlcPlayer::OnEvent, this);
        libvlc_media_player_stop(player_);
        libvlc_media_player_release(player_);
        player_ = nullptr;
        libvlc_log_unset(vlc_->get());
        vlc_.reset();
    });
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void VlcPlayer::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quit_ || !tasks_.empty(); });
        if (tasks_.empty()) {
            if (quit_)
                return;
            continue;
        }
        std::function<void()> task = std::move(tasks_.front());
        tasks_.pop_front();
        busy_ = true;
        lock.unlock();
        task();
        lock.lock();
        busy_ = false;
        if (tasks_.empty())
            idle_.notify_all();
    }
}

void VlcPlayer::Command(std::function<void(quint64 command)> task) {
    const quint64 command = ++commands_;
    Post([command, task = std::move(task)] { task(command); });
}

void VlcPlayer::Post(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

void VlcPlayer::Settle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return tasks_.empty() && !busy_; });
}

void VlcPlayer::Start() {
    Post([this] { Ready(); });
}

bool VlcPlayer::Ready() {
    if (player_ || tried_)
        return player_ != nullptr;
    tried_ = true;
    player_ = NewMediaPlayer(vlc_, kArguments);
    if (!player_) {
        qCWarning(lcEngine) << "libVLC could not be started";
        QMetaObject::invokeMethod(this, &VlcPlayer::startFailed, Qt::QueuedConnection);
        return false;
    }
    libvlc_log_set(vlc_->get(), &VlcPlayer::OnLog, this);
    libvlc_event_manager_t* events = libvlc_media_player_event_manager(player_);
    for (const libvlc_event_e type : kEvents)
        libvlc_event_attach(events, type, &VlcPlayer::OnEvent, this);
    libvlc_audio_set_volume(player_, volume_);
    libvlc_audio_set_mute(player_, mute_ ? 1 : 0);
    return true;
}

// On a libVLC thread: only notes what happened.
void VlcPlayer::OnEvent(const libvlc_event_t* event, void* data) {
    auto* self = static_cast<VlcPlayer*>(data);
    // The tags are read once playing has begun, on the engine's thread.
    if (event->type == libvlc_MediaPlayerPlaying)
        self->Post([self] { self->ReadInfo(); });
    std::lock_guard lock(self->mutex_);
    Report& report = self->report_;
    switch (event->type) {
    case libvlc_MediaPlayerOpening:
        report.state = State::Opening;
        break;
    case libvlc_MediaPlayerPlaying:
        report.state = State::Playing;
        break;
    case libvlc_MediaPlayerPaused:
        report.state = State::Paused;
        break;
    case libvlc_MediaPlayerEndReached:
    case libvlc_MediaPlayerEncounteredError:
        report.state = event->type == libvlc_MediaPlayerEndReached ? State::Ended : State::Error;
        // An item that ends while its sound had nowhere to go failed for that reason.
        if (!self->lastSoundError_.isEmpty())
            report.soundFailure = self->lastSoundError_;
        break;
    case libvlc_MediaPlayerLengthChanged:
        report.length = static_cast<double>(event->u.media_player_length_changed.new_length);
        break;
    case libvlc_MediaPlayerTimeChanged:
        report.time = static_cast<double>(event->u.media_player_time_changed.new_time);
        break;
    case libvlc_MediaPlayerPositionChanged:
        report.position = event->u.media_player_position_changed.new_position;
        break;
    default:
        break;
    }
}

// On a libVLC thread: keeps the reason an audio output could not be opened.
void VlcPlayer::OnLog(void* data, int level, const ::vlc_log_t* context, const char* format,
                      va_list args) {
    if (level != LIBVLC_ERROR)
        return;
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    const char* module = nullptr;
    libvlc_log_get_context(context, &module, nullptr, nullptr);
    const QString message = QString::fromUtf8(text);
    qCWarning(lcEngine) << "libVLC:" << (module ? module : "") << message;
    if (!AboutSoundOutput(module, message))
        return;
    auto* self = static_cast<VlcPlayer*>(data);
    std::lock_guard lock(self->mutex_);
    // libVLC's own words for the user, when it has them, else its first complaint.
    if (message.startsWith(QLatin1String("The audio device")))
        self->lastSoundError_ = message.simplified();
    else if (self->lastSoundError_.isEmpty())
        self->lastSoundError_ = message;
}

void VlcPlayer::Apply(quint64 command, State state) {
    std::lock_guard lock(mutex_);
    if (command < report_.command)
        return;
    report_ = Report{command, state, -1, -1, -1, {}, {}};
    lastSoundError_.clear();
}

void VlcPlayer::ReadInfo() {
    libvlc_media_t* media = player_ ? libvlc_media_player_get_media(player_) : nullptr;
    if (!media)
        return;
    const auto meta = [media](libvlc_meta_t which) {
        char* text = libvlc_media_get_meta(media, which);
        QString value = QString::fromUtf8(text);
        libvlc_free(text);
        return value;
    };
    TrackInfo info{meta(libvlc_meta_Title), meta(libvlc_meta_Artist), meta(libvlc_meta_Album)};
    libvlc_media_release(media);
    std::lock_guard lock(mutex_);
    report_.info = info;
}

TrackInfo VlcPlayer::Info() const {
    std::lock_guard lock(mutex_);
    return Current() ? report_.info : TrackInfo{};
}

bool VlcPlayer::setVolume(int volume) {
    if (volume < 0)
        return false;
    Post([this, volume] {
        volume_ = volume;
        if (player_)
            libvlc_audio_set_volume(player_, volume);
    });
    return true;
}

bool VlcPlayer::setMute(bool mute) {
    Post([this, mute] {
        mute_ = mute;
        if (player_)
            libvlc_audio_set_mute(player_, mute ? 1 : 0);
    });
    return true;
}

int VlcPlayer::volume() {
    int volume = -1;
    Post([&] { volume = player_ ? libvlc_audio_get_volume(player_) : -1; });
    Settle();
    return volume;
}

bool VlcPlayer::muted() {
    bool muted = false;
    Post([&] { muted = player_ && libvlc_audio_get_mute(player_) == 1; });
    Settle();
    return muted;
}

bool VlcPlayer::playlistAdd(const QString& uri) {
    if (uri.isEmpty())
        return false;
    phase_ = Phase::Loaded;
    Command([this, uri](quint64 command) {
        if (!Ready())
            return Apply(command, State::Error);
        QString location = uri;
        if (QFileInfo(uri).suffix().compare(QLatin1String("ram"), Qt::CaseInsensitive) == 0)
            location = FirstRamLocation(uri);
        libvlc_media_t* media =
            location.isEmpty() ? nullptr
            : location.contains(QLatin1String("://"))
                ? libvlc_media_new_location(vlc_->get(), QUrl(location).toEncoded().constData())
                : libvlc_media_new_path(vlc_->get(), QFile::encodeName(location).constData());
        libvlc_media_player_set_media(player_, media);
        if (media)
            libvlc_media_release(media);
        Apply(command, media ? State::Stopped : State::Error);
    });
    return true;
}

bool VlcPlayer::play() {
    if (phase_ == Phase::Empty)
        return false;
    phase_ = Phase::Playing;
    Command([this](quint64 command) {
        Apply(command, State::Opening);
        if (!Ready() || libvlc_media_player_play(player_) != 0)
            return Apply(command, State::Error);
        libvlc_audio_set_volume(player_, volume_);
        libvlc_audio_set_mute(player_, mute_ ? 1 : 0);
    });
    return true;
}

bool VlcPlayer::stop() {
    if (phase_ != Phase::Empty)
        phase_ = Phase::Loaded;
    Command([this](quint64 command) {
        if (player_)
            libvlc_media_player_stop(player_);
        Apply(command, State::Stopped);
    });
    return true;
}

bool VlcPlayer::itemsClear() {
    phase_ = Phase::Empty;
    Command([this](quint64 command) {
        if (player_) {
            libvlc_media_player_stop(player_);
            libvlc_media_player_set_media(player_, nullptr);
        }
        Apply(command, State::Idle);
    });
    return true;
}

bool VlcPlayer::togglePause() {
    if (phase_ != Phase::Playing && phase_ != Phase::Paused)
        return false;
    const bool pause = phase_ == Phase::Playing;
    phase_ = pause ? Phase::Paused : Phase::Playing;
    Post([this, pause] {
        if (player_)
            libvlc_media_player_set_pause(player_, pause ? 1 : 0);
    });
    return true;
}

bool VlcPlayer::Current() const {
    return report_.command == commands_;
}

bool VlcPlayer::isPlaying() const {
    return phase_ == Phase::Playing && !Ended();
}

bool VlcPlayer::Ended() const {
    if (phase_ != Phase::Playing && phase_ != Phase::Paused)
        return false;
    std::lock_guard lock(mutex_);
    return Current() && (report_.state == State::Ended || report_.state == State::Error);
}

QString VlcPlayer::SoundFailure() const {
    std::lock_guard lock(mutex_);
    return Current() ? report_.soundFailure : QString();
}

std::optional<double> VlcPlayer::Read(double Report::*field) const {
    if (phase_ != Phase::Playing && phase_ != Phase::Paused)
        return std::nullopt;
    std::lock_guard lock(mutex_);
    const bool input = report_.state == State::Opening || report_.state == State::Playing ||
                       report_.state == State::Paused;
    if (!Current() || !input || report_.*field < 0)
        return std::nullopt;
    return report_.*field;
}

std::optional<double> VlcPlayer::inputLength() const {
    return Read(&Report::length);
}

std::optional<double> VlcPlayer::inputTime() const {
    return Read(&Report::time);
}

std::optional<double> VlcPlayer::inputPosition() const {
    return Read(&Report::position);
}

bool VlcPlayer::setInputPosition(double position) {
    if (!inputPosition() || position < 0 || position > 1)
        return false;
    Post([this, position] {
        if (player_)
            libvlc_media_player_set_position(player_, static_cast<float>(position));
    });
    return true;
}

} // namespace velune
