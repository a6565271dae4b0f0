#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

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

    // Reads a local file's duration (ms) with the preparser; none when the file
    // cannot be read as media.
    std::optional<qint64> Duration(const QString& path, int timeoutMs = 5000) const;

private:
    libvlc_instance_t* instance_ = nullptr;
};

// Starts libVLC with these arguments if `vlc` holds none yet, and makes a media
// player on it; null when libVLC cannot be started.
libvlc_media_player_t* NewMediaPlayer(std::unique_ptr<VlcInstance>& vlc,
                                      const QStringList& arguments);

} // namespace velune
