#include "vlc_instance.h"

#include <QFile>
#include <vector>
#include <vlc/vlc.h>

namespace velune {

VlcInstance::VlcInstance(const QStringList& arguments) {
    std::vector<QByteArray> bytes;
    bytes.reserve(static_cast<std::size_t>(arguments.size()));
    for (const QString& argument : arguments)
        bytes.push_back(argument.toUtf8());
    std::vector<const char*> argv;
    argv.reserve(bytes.size());
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

} // namespace velune
