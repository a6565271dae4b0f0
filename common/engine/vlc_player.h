#pragma once

#include "player_engine.h"
#include "vlc_instance.h"

struct libvlc_media_player_t;

namespace velune {

// The player engine over libVLC.
class VlcPlayer : public PlayerEngine {
public:
    VlcPlayer();
    ~VlcPlayer() override;

    bool setVolume(int volume) override;
    bool setMute(bool mute) override;
    bool playlistAdd(const QString& uri) override;
    bool play() override;
    bool stop() override;
    bool togglePause() override;
    bool isPlaying() const override;
    bool itemsClear() override;
    std::optional<double> inputLength() const override;
    std::optional<double> inputTime() const override;
    std::optional<double> inputPosition() const override;
    bool setInputPosition(double position) override;
    bool Ended() const override;

    // libVLC could be started.
    bool ok() const { return player_ != nullptr; }
    // What libVLC itself holds, for checks.
    int volume() const;
    bool muted() const;

private:
    bool HasInput() const;
    void ApplySound();

    VlcInstance vlc_;
    libvlc_media_player_t* player_ = nullptr;
    bool loaded_ = false;
    bool paused_ = false;
    int volume_ = 50;
    bool mute_ = false;
};

// The first location a RAM file lists: an address, or a path (relative ones
// are taken from the RAM file's folder). "" when it lists none.
QString FirstRamLocation(const QString& ramFile);

} // namespace velune
