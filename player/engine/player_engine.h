#pragma once

#include "playback_state.h"
#include "replay_gain.h"

#include <QString>
#include <optional>

namespace velune {

// What the loaded item says about itself (from its tags).
struct TrackInfo {
    QString title;
    QString artist;
    QString album;
    int track = 0;        // 0 when unknown
    qint64 lengthMs = -1; // as the file's header declares it; -1 when unknown
    QString artUrl;       // a file: URL of the cover, "" when there is none
    // A radio stream's: its name and genre as its server gives them, and the song
    // heard now ("" while it has named none).
    QString station;
    QString genre;
    QString song;
};

// Why an item could not be played.
struct ItemFailure {
    QString reason;       // in words for the user; "" when nothing failed
    bool missing = false; // there is no such file
    bool failed() const { return missing || !reason.isEmpty(); }
};

// An item named to follow that could not be opened: it was left out.
struct SkippedItem {
    QString uri;
    ItemFailure failure;
};

// The player's media engine: holds the loaded item and the one that follows it,
// and plays them one after the other in one stream, without a gap, to the
// desktop's sound output. Calls return at once; the engine carries them out in
// order, and its state() is where the last command leaves it until the engine
// reports what came of it. Reads of the current input fail (none) while the
// engine has no current input: nothing loaded, not started, stopped, ended or failed.
class PlayerEngine {
public:
    virtual ~PlayerEngine() = default;

    virtual PlaybackState state() const = 0;
    // An item is loaded (whatever its state).
    virtual bool hasItem() const = 0;

    // 100 is the samples as they are, 50 half, 200 double; the sound server's own figure.
    virtual bool setVolume(int volume) = 0;
    virtual bool setMute(bool mute) = 0;
    // The volume and mute that the desktop's mixer set, when it changed them since
    // the last look.
    virtual std::optional<std::pair<int, bool>> TakeMixerChange() = 0;
    virtual void setReplayGain(ReplayGainMode mode) = 0;
    // Loads the item without playing it. A RAM file stands for the first location it lists.
    virtual bool playlistAdd(const QString& uri) = 0;
    // The item that follows the loaded one without a gap; "" for none.
    virtual void setNext(const QString& uri) = 0;
    // Starts the loaded item afresh (a paused one resumes).
    virtual bool play() = 0;
    virtual bool pause() = 0;
    virtual bool resume() = 0;
    virtual bool stop() = 0;
    virtual bool itemsClear() = 0;

    virtual std::optional<double> inputLength() const = 0;
    virtual std::optional<double> inputTime() const = 0;
    virtual std::optional<double> inputPosition() const = 0;
    // Goes to a fraction of the item's length, to the sample. Seeks asked for
    // before the engine came to them fold into the last one.
    virtual bool setInputPosition(double position) = 0;

    // The item that followed has begun to be heard: its uri, once for each change
    // of item; none when there is nothing new. It is then the loaded item.
    virtual std::optional<QString> TakeAdvance() = 0;
    // The item named to follow could not be opened: the engine left it out, and
    // plays on without it until another is named.
    virtual std::optional<SkippedItem> TakeSkipped() = 0;
    // The loaded item ended (played out, or it could not be played), or the sound failed.
    bool Ended() const {
        return state() == PlaybackState::Ended || state() == PlaybackState::Failed;
    }
    bool isPlaying() const { return IsRunning(state()); }
    // Why the sound failed; "" otherwise.
    virtual QString SoundFailure() const = 0;
    // Why the loaded item could not be played (opened or read to its end); none otherwise.
    virtual ItemFailure ItemFailed() const = 0;
    // The playing item's tags, once the engine has read them; empty before.
    virtual TrackInfo Info() const = 0;
};

} // namespace velune
