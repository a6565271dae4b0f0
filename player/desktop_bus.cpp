#include "desktop_bus.h"

#include "dropped.h"
#include "names.h"
#include "player_protocol.h"
#include "player_window.h"
#include "system_names.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QUrl>
#include <cmath>

Q_DECLARE_LOGGING_CATEGORY(lcPlayer)

namespace velune {

namespace {
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kNoTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");
constexpr int kPollMs = 1000;
constexpr int kHandOverTimeoutMs = 5000;

// A call from the bus is answered at once; what it asks for happens right after,
// so that a message box the window shows never keeps the caller waiting.
void Later(QObject* context, std::function<void()> action) {
    QMetaObject::invokeMethod(context, std::move(action), Qt::QueuedConnection);
}
} // namespace

DesktopBus::DesktopBus(PlayerWindow& player, std::function<void()> raise, QObject* parent)
    : QObject(parent), player_(player), raise_(std::move(raise)) {
    new MprisRoot(this);
    auto* mpris = new MprisPlayer(this);
    new HandOverAdaptor(this);
    connect(this, &DesktopBus::Seeked, mpris, &MprisPlayer::Seeked);
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &DesktopBus::Refresh);
    seeks_ = player_.Seeks();
}

bool DesktopBus::Register() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCWarning(lcPlayer) << "no session bus: the desktop cannot reach the player";
        return false;
    }
    if (!bus.registerObject(kPath, this, QDBusConnection::ExportAdaptors) ||
        !bus.registerService(QLatin1String(kService))) {
        qCWarning(lcPlayer) << "cannot take" << kService << bus.lastError().message();
        return false;
    }
    announced_ = PlayerProperties();
    poll_.start();
    return true;
}

bool DesktopBus::HandOver(const QStringList& files) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusInterface player(QLatin1String(kService), kPath, QStringLiteral("org.velune.VelunePlayer"),
                          bus);
    player.setTimeout(kHandOverTimeoutMs);
    // D-Bus text is UTF-8: names in another encoding travel as file: URIs of their bytes.
    QStringList uris;
    for (const QString& file : files)
        uris << (IsStreamAddress(file) ? file : FileUriOf(file));
    const QDBusMessage reply = player.call(QStringLiteral("Open"), uris);
    return reply.type() == QDBusMessage::ReplyMessage;
}

QDBusObjectPath DesktopBus::TrackId() const {
    const int id = player_.list().id(player_.list().current());
    return QDBusObjectPath(id > 0 && player_.Loaded()
                               ? QStringLiteral("/org/velune/VelunePlayer/track/%1").arg(id)
                               : kNoTrack);
}

QString DesktopBus::Status() const {
    switch (player_.PlaybackStatus()) {
    case PlayerWindow::Status::Playing:
        return QStringLiteral("Playing");
    case PlayerWindow::Status::Paused:
        return QStringLiteral("Paused");
    case PlayerWindow::Status::Stopped:
        break;
    }
    return QStringLiteral("Stopped");
}

void DesktopBus::Follow() {
    const QString id = TrackId().path();
    if (id != track_.id)
        track_ = Track{.id = id, .info = {}, .seekable = track_.seekable};
    if (id == kNoTrack)
        return;
    const TrackInfo info = player_.Info();
    // A station's song comes and goes: what it says now replaces what it said.
    const bool station = player_.PlaysStation();
    for (auto [known, now] : {std::pair{&track_.info.title, &info.title},
                              {&track_.info.artist, &info.artist},
                              {&track_.info.album, &info.album}})
        if (!now->isEmpty() || station)
            *known = *now;
    if (info.track > 0)
        track_.info.track = info.track;
    track_.info.artUrl = info.artUrl;
    if (const auto length = player_.Length(); length && *length > 0)
        track_.lengthMs = *length, track_.exactLength = true;
    else if (!track_.exactLength && info.lengthMs > 0)
        track_.lengthMs = static_cast<double>(info.lengthMs);
    // Stopped, nothing can seek; while the engine has yet to answer (its time reads
    // blank) what it could do stays.
    if (player_.PlaybackStatus() == PlayerWindow::Status::Stopped)
        track_.seekable = false;
    else if (player_.Elapsed())
        track_.seekable = player_.CanSeek();
}

bool DesktopBus::CanSeek() {
    Follow();
    return track_.seekable;
}

QVariantMap DesktopBus::Metadata() {
    Follow();
    QVariantMap metadata;
    metadata.insert(QStringLiteral("mpris:trackid"),
                    QVariant::fromValue(QDBusObjectPath(track_.id)));
    const QString path = player_.list().at(player_.list().current());
    if (track_.id == kNoTrack || path.isEmpty())
        return metadata;
    const TrackInfo& info = track_.info;
    if (!info.artist.isEmpty())
        metadata.insert(QStringLiteral("xesam:artist"), QStringList{info.artist});
    if (!info.album.isEmpty())
        metadata.insert(QStringLiteral("xesam:album"), info.album);
    if (info.track > 0)
        metadata.insert(QStringLiteral("xesam:trackNumber"), info.track);
    if (!info.artUrl.isEmpty())
        metadata.insert(QStringLiteral("mpris:artUrl"), info.artUrl);
    metadata.insert(QStringLiteral("xesam:title"),
                    info.title.isEmpty() ? Readable(FileName(path, QLatin1Char('/'))) : info.title);
    metadata.insert(QStringLiteral("xesam:url"), IsStreamAddress(path) ? path : FileUriOf(path));
    if (track_.lengthMs > 0)
        metadata.insert(QStringLiteral("mpris:length"),
                        static_cast<qlonglong>(std::llround(track_.lengthMs * 1000)));
    return metadata;
}

QVariantMap DesktopBus::PlayerProperties() {
    const MprisPlayer* player = findChild<MprisPlayer*>();
    return {
        {QStringLiteral("PlaybackStatus"), player->PlaybackStatus()},
        {QStringLiteral("LoopStatus"), player->LoopStatus()},
        {QStringLiteral("Shuffle"), player->Shuffle()},
        {QStringLiteral("Volume"), player->Volume()},
        {QStringLiteral("Metadata"), Metadata()},
        {QStringLiteral("CanGoNext"), player->CanGoNext()},
        {QStringLiteral("CanGoPrevious"), player->CanGoPrevious()},
        {QStringLiteral("CanPlay"), player->CanPlay()},
        {QStringLiteral("CanPause"), player->CanPause()},
        {QStringLiteral("CanSeek"), player->CanSeek()},
    };
}

void DesktopBus::Refresh() {
    // A seek is told once the engine has carried it out: its time then reads again.
    if (player_.Seeks() != seeks_)
        if (const auto elapsed = player_.Elapsed()) {
            seeks_ = player_.Seeks();
            emit Seeked(static_cast<qlonglong>(std::llround(*elapsed * 1000)));
        }
    const QVariantMap now = PlayerProperties();
    QVariantMap changed;
    for (auto it = now.begin(); it != now.end(); ++it)
        if (announced_.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    announced_ = now;
    if (changed.isEmpty())
        return;
    QDBusMessage signal =
        QDBusMessage::createSignal(kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

// org.mpris.MediaPlayer2 ------------------------------------------------------

QStringList MprisRoot::SupportedMimeTypes() const {
    return {QStringLiteral("audio/mpeg"),           QStringLiteral("audio/ogg"),
            QStringLiteral("audio/x-vorbis+ogg"),   QStringLiteral("audio/x-wav"),
            QStringLiteral("audio/x-ms-wma"),       QStringLiteral("audio/vnd.rn-realaudio"),
            QStringLiteral("audio/x-pn-realaudio"), QStringLiteral("audio/x-mpegurl"),
            QStringLiteral("audio/x-scpls")};
}

void MprisRoot::Quit() {
    Later(this, [] { QCoreApplication::quit(); });
}

// org.mpris.MediaPlayer2.Player -----------------------------------------------

MprisPlayer::MprisPlayer(DesktopBus* bus) : QDBusAbstractAdaptor(bus), bus_(bus) {
    setAutoRelaySignals(false);
}

void MprisPlayer::Command(const char* command) {
    Later(this, [this, command] {
        bus_->player().OnFaceCommand(QLatin1String(command), QStringLiteral("undefined"));
        bus_->Refresh();
    });
}

QString MprisPlayer::LoopStatus() const {
    return bus_->player().RepeatOn() ? QStringLiteral("Playlist") : QStringLiteral("None");
}

void MprisPlayer::SetLoopStatus(const QString& status) {
    // Track repeat has no button: it counts as repeating the list.
    const bool on = status != QLatin1String("None");
    Later(this, [this, on] {
        bus_->player().SetRepeat(on);
        bus_->Refresh();
    });
}

bool MprisPlayer::Shuffle() const {
    return bus_->player().Shuffle() != ShuffleMode::Off;
}

void MprisPlayer::SetShuffle(bool on) {
    // On keeps shuffling by album where it was; off is off.
    Later(this, [this, on] {
        PlayerWindow& player = bus_->player();
        if (on != (player.Shuffle() != ShuffleMode::Off))
            player.SetShuffle(on ? ShuffleMode::Tracks : ShuffleMode::Off);
        bus_->Refresh();
    });
}

double MprisPlayer::Volume() const {
    return bus_->player().VolumeLevel();
}

void MprisPlayer::SetVolume(double volume) {
    Later(this, [this, volume] {
        bus_->player().SetVolumeLevel(volume);
        bus_->Refresh();
    });
}

qlonglong MprisPlayer::Position() const {
    return static_cast<qlonglong>(bus_->player().Elapsed().value_or(0) * 1000);
}

// As Next and Previous go: the play queue, the shuffle's round, repeat and the list.
bool MprisPlayer::CanGoNext() const {
    const PlayerWindow& player = bus_->player();
    return NextRow(player.Order(), player.list(), player.RepeatOn()) >= 0;
}

bool MprisPlayer::CanGoPrevious() const {
    return PreviousRow(bus_->player().Order(), bus_->player().list()) >= 0;
}

bool MprisPlayer::CanPlay() const {
    return !bus_->player().list().isEmpty();
}

bool MprisPlayer::CanPause() const {
    return bus_->player().Loaded();
}

bool MprisPlayer::CanSeek() const {
    return bus_->CanSeek();
}

// Play and Pause do what they say whatever the state; only PlayPause toggles.
void MprisPlayer::Play() {
    Later(this, [this] {
        PlayerWindow& player = bus_->player();
        if (player.PlaybackStatus() == PlayerWindow::Status::Paused)
            player.SetPaused(false);
        else if (player.PlaybackStatus() == PlayerWindow::Status::Stopped)
            player.Play();
        bus_->Refresh();
    });
}

void MprisPlayer::Pause() {
    Later(this, [this] {
        bus_->player().SetPaused(true);
        bus_->Refresh();
    });
}

void MprisPlayer::PlayPause() {
    Later(this, [this] {
        PlayerWindow& player = bus_->player();
        if (player.PlaybackStatus() == PlayerWindow::Status::Stopped)
            player.Play();
        else
            player.Pause();
        bus_->Refresh();
    });
}

void MprisPlayer::Stop() {
    Command(player_face::kStop);
}

void MprisPlayer::Next() {
    Command(player_face::kNext);
}

void MprisPlayer::Previous() {
    Command(player_face::kPrevious);
}

void MprisPlayer::Seek(qlonglong offset) {
    const auto elapsed = bus_->player().Elapsed();
    if (!elapsed || !CanSeek())
        return;
    const double target = *elapsed + static_cast<double>(offset) / 1000.0;
    const auto length = bus_->player().Length().value_or(0);
    // Past the end counts as Next, as MPRIS asks.
    if (target >= length) {
        Next();
        return;
    }
    bus_->player().SeekTo(std::max(0.0, target));
    bus_->Refresh();
}

void MprisPlayer::SetPosition(const QDBusObjectPath& track, qlonglong position) {
    const double ms = static_cast<double>(position) / 1000.0;
    // Another track's id, or a position outside the track: ignored, as MPRIS asks.
    if (track != bus_->TrackId() || ms < 0 || ms > bus_->player().Length().value_or(-1))
        return;
    bus_->player().SeekTo(ms);
    bus_->Refresh();
}

void MprisPlayer::OpenUri(const QString& uri) {
    const QString path = IsStreamAddress(uri) ? uri : PathOfFileUri(uri.toUtf8());
    if (path.isEmpty()) {
        qCWarning(lcPlayer) << "OpenUri: neither a local file nor a stream:" << uri;
        return;
    }
    Later(this, [this, path] {
        bus_->player().PlayFiles({path});
        bus_->Refresh();
    });
}

// org.velune.VelunePlayer ------------------------------------------------------

void HandOverAdaptor::Open(const QStringList& uris) {
    QStringList files;
    for (const QString& uri : uris)
        files << (uri.startsWith(QLatin1String("file:")) ? PathOfFileUri(uri.toUtf8()) : uri);
    Later(this, [this, files] {
        bus_->player().PlayFiles(files);
        bus_->Raise();
        bus_->Refresh();
    });
}

} // namespace velune
