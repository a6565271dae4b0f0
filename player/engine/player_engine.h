#pragma once

#include "replay_gain.h"

#include <QString>
#include <optional>

namespace velune {

// What the loaded item says about itself (from its tags).
struct TrackInfo {
    QString title;
    QString artist;
    QString album;
};

// The player's media engine: holds the loaded item and the one that follows it,
// and plays them one after the other in one stream, without a gap, to the
// desktop's sound output. Calls return at once; the engine carries them out in
// order. Reads of the current input fail (none) while the engine has no current
// input: nothing loaded, not yet started, stopped, ended or failed.
class PlayerEngine {
public:
    virtual ~PlayerEngine() = default;

    // 100 is the samples as they are, 50 half, 200 double; the sound server's own figure.
    virtual bool setVolume(int volume) = 0;
    virtual bool setMute(bool mute) = 0;
    virtual void setReplayGain(ReplayGainMode mode) = 0;
    // Loads the item without playing it. A RAM file stands for the first location it lists.
    virtual bool playlistAdd(const QString& uri) = 0;
    // The item that follows the loaded one without a gap; "" for none.
    virtual void setNext(const QString& uri) = 0;
    virtual bool play() = 0;
    virtual bool stop() = 0;
    virtual bool togglePause() = 0;
    virtual bool isPlaying() const = 0;
    virtual bool itemsClear() = 0;

    virtual std::optional<double> inputLength() const = 0;
    virtual std::optional<double> inputTime() const = 0;
    virtual std::optional<double> inputPosition() const = 0;
    // Goes to a fraction of the item's length, to the sample.
    virtual bool setInputPosition(double position) = 0;

    // The item that followed has begun to be heard: its uri, once for each change
    // of item; none when there is nothing new. It is then the loaded item.
    virtual std::optional<QString> TakeAdvance() = 0;
    // The loaded item has played to its end, or could not be played at all.
    virtual bool Ended() const = 0;
    // Why the item that ended could not be heard, when no sound output could be
    // opened for it or the sound server went away; "" otherwise.
    virtual QString SoundFailure() const = 0;
    // Why the item that ended could not be played (it could not be opened or read); "" otherwise.
    virtual QString ItemFailure() const = 0;
    // The playing item's tags, once the engine has read them; empty before.
    virtual TrackInfo Info() const = 0;
};

} // namespace velune
