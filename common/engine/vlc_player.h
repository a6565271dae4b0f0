#pragma once

#include "player_engine.h"
#include "vlc_instance.h"

#include <memory>

struct libvlc_media_player_t;

namespace velune {

// The player engine over libVLC. libVLC starts on first use, or when Start() is
// called, so that the window can show before it; volume and mute set earlier
// are applied then.
class VlcPlayer : public PlayerEngine {
public:
    VlcPlayer() = default;
    ~VlcPlayer() override;
    VlcPlayer(const VlcPlayer&) = delete;
    VlcPlayer& operator=(const VlcPlayer&) = delete;

    // Starts libVLC if it is not running yet; false when it cannot be started.
    bool Start();

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

    // What libVLC itself holds, for checks.
    int volume() const;
    bool muted() const;

private:
    bool HasInput() const;
    // A read of the current input; none without one, or when libVLC answers with a negative value.
    template <typename Read> std::optional<double> Input(Read read) const;
    void ApplySound();

    std::unique_ptr<VlcInstance> vlc_;
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
