#pragma once

#include <QString>
#include <QStringList>
#include <memory>

struct libvlc_instance_t;
struct libvlc_media_player_t;

namespace velune {

// One libVLC instance; the only place besides the adapters that sees libVLC.
class VlcInstance {
public:
    explicit VlcInstance(const QStringList& arguments);
    ~VlcInstance();
    VlcInstance(const VlcInstance&) = delete;
    VlcInstance& operator=(const VlcInstance&) = delete;

    libvlc_instance_t* get() const { return instance_; }
    bool ok() const { return instance_ != nullptr; }

private:
    libvlc_instance_t* instance_ = nullptr;
};

// Starts libVLC with these arguments if `vlc` holds none yet, and makes a media
// player on it; null when libVLC cannot be started.
libvlc_media_player_t* NewMediaPlayer(std::unique_ptr<VlcInstance>& vlc,
                                      const QStringList& arguments);

} // namespace velune
