#pragma once

#include <QString>
#include <optional>

namespace velune {

// What the loaded item says about itself (from its tags).
struct TrackInfo {
    QString title;
    QString artist;
    QString album;
};

// The player's media engine: holds at most one item, plays it to the
// desktop's default output. Calls return at once; the engine carries them out in
// order. Reads of the current input fail (none) while the engine has no current
// input: nothing loaded, not yet started, stopped, ended or failed.
class PlayerEngine {
public:
    virtual ~PlayerEngine() = default;

    virtual bool setVolume(int volume) = 0;
    virtual bool setMute(bool mute) = 0;
    // Loads the item without playing it. A RAM file stands for the first location it lists.
    virtual bool playlistAdd(const QString& uri) = 0;
    virtual bool play() = 0;
    virtual bool stop() = 0;
    virtual bool togglePause() = 0;
    virtual bool isPlaying() const = 0;
    virtual bool itemsClear() = 0;

    virtual std::optional<double> inputLength() const = 0;
    virtual std::optional<double> inputTime() const = 0;
    virtual std::optional<double> inputPosition() const = 0;
    virtual bool setInputPosition(double position) = 0;

    // The loaded item has played to its end, or could not be played at all.
    virtual bool Ended() const = 0;
    // Why the item that ended could not be heard, when no sound output could be
    // opened for it; "" otherwise.
    virtual QString SoundFailure() const = 0;
    // The playing item's tags, once the engine has read them; empty before.
    virtual TrackInfo Info() const = 0;
};

} // namespace velune
