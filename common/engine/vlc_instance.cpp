#include "vlc_instance.h"

#include <QFile>
#include <condition_variable>
#include <mutex>
#include <vector>
#include <vlc/vlc.h>

namespace velune {

VlcInstance::VlcInstance(const QStringList& arguments) {
    std::vector<QByteArray> bytes;
    for (const QString& argument : arguments)
        bytes.push_back(argument.toUtf8());
    std::vector<const char*> argv;
    for (const QByteArray& b : bytes)
        argv.push_back(b.constData());
    instance_ = libvlc_new(static_cast<int>(argv.size()), argv.data());
}

VlcInstance::~VlcInstance() {
    if (instance_)
        libvlc_release(instance_);
}

libvlc_media_player_t* NewMediaPlayer(std::unique_ptr<VlcInstance>& vlc,
                                      const QStringList& arguments) {
    if (!vlc)
        vlc = std::make_unique<VlcInstance>(arguments);
    return vlc->ok() ? libvlc_media_player_new(vlc->get()) : nullptr;
}

namespace {
struct ParseWait {
    std::mutex mutex;
    std::condition_variable done;
    bool parsed = false;
};

void OnParsed(const libvlc_event_t*, void* data) {
    auto* wait = static_cast<ParseWait*>(data);
    std::lock_guard lock(wait->mutex);
    wait->parsed = true;
    wait->done.notify_all();
}
} // namespace

std::optional<qint64> VlcInstance::Duration(const QString& path, int timeoutMs) const {
    if (!instance_)
        return std::nullopt;
    libvlc_media_t* media = libvlc_media_new_path(instance_, QFile::encodeName(path).constData());
    if (!media)
        return std::nullopt;
    ParseWait wait;
    libvlc_event_manager_t* events = libvlc_media_event_manager(media);
    libvlc_event_attach(events, libvlc_MediaParsedChanged, OnParsed, &wait);
    if (libvlc_media_parse_with_options(media, libvlc_media_parse_local, timeoutMs) == 0) {
        std::unique_lock lock(wait.mutex);
        wait.done.wait_for(lock, std::chrono::milliseconds(timeoutMs + 1000),
                           [&] { return wait.parsed; });
    }
    libvlc_event_detach(events, libvlc_MediaParsedChanged, OnParsed, &wait);
    const bool done = libvlc_media_get_parsed_status(media) == libvlc_media_parsed_status_done;
    const libvlc_time_t duration = libvlc_media_get_duration(media);
    if (!done)
        libvlc_media_parse_stop(media);
    libvlc_media_release(media);
    if (!done || duration <= 0)
        return std::nullopt;
    return duration;
}

} // namespace velune
