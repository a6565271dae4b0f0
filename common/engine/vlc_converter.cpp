#include "vlc_converter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vlc/vlc.h>

namespace velune {

namespace {

// Sound is never played; MP3 gets a bit rate above the encoder's low default and
// Vorbis its quality (variable bit rate) mode. Sample rate and channels follow the
// source. The transcoder always puts a resampler in its chain: soxr passes audio
// at an unchanged rate through at little cost, where the default one filters every
// sample.
const QStringList kArguments{
    QStringLiteral("--ignore-config"),
    QStringLiteral("--quiet"),
    QStringLiteral("--no-xlib"),
    QStringLiteral("--aout=dummy"),
    QStringLiteral("--no-video"),
    QStringLiteral("--no-sout-video"),
    QStringLiteral("--no-sout-spu"),
    QStringLiteral("--no-stats"),
    QStringLiteral("--sout-transcode-ab=192"),
    QStringLiteral("--sout-vorbis-quality=5"),
    QStringLiteral("--audio-resampler=soxr"),
};

const QString kNoEngine = QStringLiteral("The media engine could not be started.");

QByteArray Native(const QString& path) {
    return QFile::encodeName(path);
}

// Reserves a hidden name beside the output for the file being written.
QString ReserveTemporary(const QString& output, quint64 serial) {
    const QFileInfo info(output);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name =
            info.absolutePath() + QStringLiteral("/.") + info.fileName() +
            QStringLiteral(".%1-%2-%3.part").arg(getpid()).arg(serial).arg(attempt);
        const int fd =
            ::open(Native(name).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST)
            return {};
    }
    return {};
}

// Gives the finished file its name, unless something has taken that name meanwhile.
bool Publish(const QString& temp, const QString& output) {
    const QByteArray from = Native(temp);
    const QByteArray to = Native(output);
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without an exclusive rename: a hard link fails on an existing name too.
    if (::link(from.constData(), to.constData()) != 0)
        return false;
    ::unlink(from.constData());
    return true;
}

} // namespace

bool VlcConverter::Start() {
    if (player_)
        return true;
    player_ = NewMediaPlayer(vlc_, kArguments);
    if (!player_)
        return Fail(kNoEngine);
    libvlc_event_manager_t* events = libvlc_media_player_event_manager(player_);
    libvlc_event_attach(events, libvlc_MediaPlayerEndReached, &VlcConverter::OnPlayerEvent, this);
    libvlc_event_attach(events, libvlc_MediaPlayerEncounteredError, &VlcConverter::OnPlayerEvent,
                        this);
    return true;
}

VlcConverter::~VlcConverter() {
    if (!player_)
        return;
    libvlc_event_manager_t* events = libvlc_media_player_event_manager(player_);
    libvlc_event_detach(events, libvlc_MediaPlayerEndReached, &VlcConverter::OnPlayerEvent, this);
    libvlc_event_detach(events, libvlc_MediaPlayerEncounteredError, &VlcConverter::OnPlayerEvent,
                        this);
    (void)stop();
    libvlc_media_player_release(player_);
}

// Runs on a libVLC thread: only hands the event to the UI thread.
void VlcConverter::OnPlayerEvent(const libvlc_event_t* event, void* data) {
    auto* self = static_cast<VlcConverter*>(data);
    const quint64 serial = self->activeSerial_.load();
    const bool failed = event->type == libvlc_MediaPlayerEncounteredError;
    QMetaObject::invokeMethod(
        self, [self, serial, failed] { self->Ended(serial, failed); }, Qt::QueuedConnection);
}

bool VlcConverter::Fail(const QString& error) {
    error_ = error;
    return false;
}

bool VlcConverter::playlistClear() {
    if (!Start())
        return false;
    (void)stop();
    items_.clear();
    cursor_ = -1;
    return true;
}

bool VlcConverter::addTarget(const QString& uri, const QString& options, int /*mode*/,
                             int /*position*/) {
    if (!Start())
        return false;
    const auto destination = FindChainDestination(options);
    if (!destination || destination->path.isEmpty())
        return Fail(QStringLiteral("The conversion of %1 names no output file.").arg(uri));
    items_.push_back({uri, options, *destination, {}, ItemState::Queued, {}});
    return true;
}

bool VlcConverter::play() {
    if (!Start())
        return false;
    running_ = true;
    if (current_ >= 0)
        libvlc_media_player_set_pause(player_, 0);
    return true;
}

bool VlcConverter::pause() {
    if (!player_ || current_ < 0)
        return Fail(QStringLiteral("Nothing is being converted."));
    libvlc_media_player_set_pause(player_, 1);
    return true;
}

bool VlcConverter::stop() {
    running_ = false;
    if (!player_)
        return Fail(kNoEngine);
    if (current_ >= 0) {
        items_[current_].failure = QStringLiteral("the conversion was stopped");
        Finish(current_, false);
        current_ = -1;
    }
    return true;
}

bool VlcConverter::playlistNext() {
    if (!Start())
        return false;
    running_ = true;
    if (current_ >= 0) {
        items_[current_].failure = QStringLiteral("it was skipped");
        Finish(current_, false);
    }
    Advance();
    return true;
}

void VlcConverter::Advance() {
    current_ = -1;
    if (!running_)
        return;
    while (++cursor_ < static_cast<int>(items_.size())) {
        if (StartItem(cursor_))
            return;
    }
    cursor_ = static_cast<int>(items_.size());
}

bool VlcConverter::StartItem(int index) {
    Item& item = items_[index];
    const quint64 serial = ++serial_;
    item.temp = ReserveTemporary(item.destination.path, serial);
    if (item.temp.isEmpty()) {
        item.state = ItemState::Failed;
        item.failure = QStringLiteral("its output folder cannot be written to");
        return false;
    }
    QString chain = item.options;
    chain.replace(item.destination.begin, item.destination.end - item.destination.begin,
                  EscapeChainText(item.temp));

    libvlc_media_t* media = libvlc_media_new_path(vlc_->get(), Native(item.uri).constData());
    if (media) {
        libvlc_media_add_option(media, chain.toUtf8().constData());
        libvlc_media_player_set_media(player_, media);
        libvlc_media_release(media);
    }
    current_ = index;
    item.state = ItemState::Converting;
    activeSerial_.store(serial);
    if (!media || libvlc_media_player_play(player_) != 0) {
        item.failure = QStringLiteral("it could not be opened");
        Finish(index, false);
        current_ = -1;
        return false;
    }
    return true;
}

void VlcConverter::Ended(quint64 serial, bool failed) {
    if (current_ < 0 || serial != activeSerial_.load())
        return;
    if (failed)
        items_[current_].failure = QStringLiteral("it could not be read as audio");
    Finish(current_, !failed);
    Advance();
}

void VlcConverter::Finish(int index, bool decoded) {
    Item& item = items_[index];
    activeSerial_.store(0);
    // Stopping closes the output file, which completes its headers.
    libvlc_media_player_stop(player_);
    bool converted = false;
    if (decoded) {
        if (QFileInfo(item.temp).size() <= 0 || !vlc_->Duration(item.temp))
            item.failure = QStringLiteral("no audio could be read from it");
        else if (!Publish(item.temp, item.destination.path))
            item.failure =
                QStringLiteral("%1 could not be given its name").arg(item.destination.path);
        else
            converted = true;
    }
    if (!converted)
        QFile::remove(item.temp);
    item.state = converted ? ItemState::Converted : ItemState::Failed;
}

std::optional<float> VlcConverter::Position() const {
    if (!player_ || current_ < 0)
        return std::nullopt;
    const float position = libvlc_media_player_get_position(player_);
    if (position < 0)
        return std::nullopt;
    return position;
}

std::optional<int> VlcConverter::Time() const {
    if (!player_ || current_ < 0)
        return std::nullopt;
    const libvlc_time_t time = libvlc_media_player_get_time(player_);
    if (time < 0)
        return std::nullopt;
    return static_cast<int>(time);
}

bool VlcConverter::Finished() const {
    for (const Item& item : items_)
        if (item.state == ItemState::Queued || item.state == ItemState::Converting)
            return false;
    return true;
}

ConverterEngine::ItemState VlcConverter::State(int item) const {
    if (item < 0 || item >= static_cast<int>(items_.size()))
        return ItemState::Failed;
    return items_[item].state;
}

QString VlcConverter::FailureReason(int item) const {
    if (item < 0 || item >= static_cast<int>(items_.size()))
        return {};
    return items_[item].failure;
}

std::optional<qint64> VlcConverter::Duration(const QString& path) {
    if (!Start())
        return std::nullopt;
    return vlc_->Duration(path);
}

} // namespace velune
