#include "vlc_player.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <vlc/vlc.h>

namespace velune {

namespace {
// Sound goes to the desktop's default output; without one the player goes on silently.
const QStringList kArguments{QStringLiteral("--ignore-config"), QStringLiteral("--quiet"),
                             QStringLiteral("--no-xlib"), QStringLiteral("--no-video"),
                             QStringLiteral("--no-sub-autodetect-file")};
} // namespace

QString FirstRamLocation(const QString& ramFile) {
    QFile file(ramFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    // A metafile is a few lines; a large file is not one.
    const QByteArray text = file.read(64 * 1024);
    for (const QByteArray& raw : text.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
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

bool VlcPlayer::Start() {
    if (player_)
        return true;
    player_ = NewMediaPlayer(vlc_, kArguments);
    if (player_)
        ApplySound();
    return player_ != nullptr;
}

VlcPlayer::~VlcPlayer() {
    if (!player_)
        return;
    libvlc_media_player_stop(player_);
    libvlc_media_player_release(player_);
}

void VlcPlayer::ApplySound() {
    libvlc_audio_set_volume(player_, volume_);
    libvlc_audio_set_mute(player_, mute_ ? 1 : 0);
}

bool VlcPlayer::setVolume(int volume) {
    if (volume < 0)
        return false;
    volume_ = volume;
    return !player_ || libvlc_audio_set_volume(player_, volume) == 0;
}

bool VlcPlayer::setMute(bool mute) {
    mute_ = mute;
    if (player_)
        libvlc_audio_set_mute(player_, mute ? 1 : 0);
    return true;
}

int VlcPlayer::volume() const {
    return player_ ? libvlc_audio_get_volume(player_) : -1;
}

bool VlcPlayer::muted() const {
    return player_ && libvlc_audio_get_mute(player_) == 1;
}

bool VlcPlayer::playlistAdd(const QString& uri) {
    if (!Start())
        return false;
    QString location = uri;
    if (QFileInfo(uri).suffix().compare(QLatin1String("ram"), Qt::CaseInsensitive) == 0)
        location = FirstRamLocation(uri);
    if (location.isEmpty())
        return false;
    libvlc_media_t* media =
        location.contains(QLatin1String("://"))
            ? libvlc_media_new_location(vlc_->get(), QUrl(location).toEncoded().constData())
            : libvlc_media_new_path(vlc_->get(), QFile::encodeName(location).constData());
    if (!media)
        return false;
    libvlc_media_player_set_media(player_, media);
    libvlc_media_release(media);
    loaded_ = true;
    paused_ = false;
    return true;
}

bool VlcPlayer::play() {
    if (!player_ || !loaded_)
        return false;
    if (libvlc_media_player_play(player_) != 0)
        return false;
    paused_ = false;
    ApplySound();
    return true;
}

bool VlcPlayer::stop() {
    if (!player_)
        return false;
    libvlc_media_player_stop(player_);
    paused_ = false;
    return true;
}

bool VlcPlayer::togglePause() {
    if (!HasInput())
        return false;
    paused_ = !paused_;
    libvlc_media_player_set_pause(player_, paused_ ? 1 : 0);
    return true;
}

bool VlcPlayer::isPlaying() const {
    return HasInput() && !paused_;
}

bool VlcPlayer::itemsClear() {
    if (!player_)
        return false;
    libvlc_media_player_stop(player_);
    libvlc_media_player_set_media(player_, nullptr);
    loaded_ = false;
    paused_ = false;
    return true;
}

bool VlcPlayer::HasInput() const {
    if (!player_ || !loaded_)
        return false;
    switch (libvlc_media_player_get_state(player_)) {
    case libvlc_Opening:
    case libvlc_Buffering:
    case libvlc_Playing:
    case libvlc_Paused:
        return true;
    default:
        return false;
    }
}

bool VlcPlayer::Ended() const {
    if (!player_ || !loaded_)
        return false;
    const libvlc_state_t state = libvlc_media_player_get_state(player_);
    return state == libvlc_Ended || state == libvlc_Error;
}

template <typename Read> std::optional<double> VlcPlayer::Input(Read read) const {
    if (!HasInput())
        return std::nullopt;
    const double value = static_cast<double>(read(player_));
    if (value < 0)
        return std::nullopt;
    return value;
}

std::optional<double> VlcPlayer::inputLength() const {
    return Input(libvlc_media_player_get_length);
}

std::optional<double> VlcPlayer::inputTime() const {
    return Input(libvlc_media_player_get_time);
}

std::optional<double> VlcPlayer::inputPosition() const {
    return Input(libvlc_media_player_get_position);
}

bool VlcPlayer::setInputPosition(double position) {
    if (!HasInput() || position < 0 || position > 1)
        return false;
    libvlc_media_player_set_position(player_, static_cast<float>(position));
    return true;
}

} // namespace velune
