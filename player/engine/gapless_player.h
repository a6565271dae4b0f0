#pragma once

#include "player_engine.h"

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace velune {

class PulseOutput;

// The player engine: FFmpeg's libraries decode, libpulse plays. Everything runs
// on the engine's own thread, in the order the window asked for it, so that the
// window never waits for a file, the network or the sound server. While an item
// plays, the one after it is opened and written into the same stream behind it,
// so that its first sample follows the last sample of the one before; the
// stream is opened anew only where the rate or the channel count changes.
// The window's reads come from what the engine thread last reported, and tell
// nothing about an item until the engine has loaded it.
class GaplessPlayer : public QObject, public PlayerEngine {
    Q_OBJECT
public:
    GaplessPlayer();
    ~GaplessPlayer() override;
    GaplessPlayer(const GaplessPlayer&) = delete;
    GaplessPlayer& operator=(const GaplessPlayer&) = delete;

    bool setVolume(int volume) override;
    bool setMute(bool mute) override;
    void setReplayGain(ReplayGainMode mode) override;
    bool playlistAdd(const QString& uri) override;
    void setNext(const QString& uri) override;
    bool play() override;
    bool stop() override;
    bool togglePause() override;
    bool isPlaying() const override;
    bool itemsClear() override;
    std::optional<double> inputLength() const override;
    std::optional<double> inputTime() const override;
    std::optional<double> inputPosition() const override;
    bool setInputPosition(double position) override;
    std::optional<QString> TakeAdvance() override;
    bool Ended() const override;
    QString SoundFailure() const override;
    QString ItemFailure() const override;
    TrackInfo Info() const override;

    // Waits until the engine thread has done everything asked of it so far.
    void Settle();

signals:
    // The next item is heard, or the last one ended: the window reads the engine now.
    void changed();

private:
    // What the window asked for last.
    enum class Phase { Empty, Loaded, Playing, Paused };
    // What the engine reports about the loaded item, guarded by mutex_.
    enum class State { Idle, Loaded, Playing, Paused, Ended };
    struct Report {
        quint64 command = 0; // the last command the engine thread has carried out
        State state = State::Idle;
        double length = -1;
        double time = -1;
        QString soundFailure;
        QString itemFailure;
        TrackInfo info;
        std::deque<QString> advances;
    };
    struct Item;

    void Post(std::function<void()> task);
    // The same for a change of what plays: the task gets its number, and reports
    // made before it has applied that number go unread.
    void Command(std::function<void(quint64 command)> task);
    void Run();
    bool Current() const;
    std::optional<double> Read(double Report::*field) const;

    // On the engine thread.
    std::unique_ptr<Item> OpenItem(const QString& uri, QString& error);
    void Load(quint64 command, const QString& uri);
    void Start(quint64 command);
    void Halt(quint64 command);
    void SeekTo(double fraction);
    // Opens the stream for the item, from its `from` frame on.
    bool OpenStream(Item& item, bool paused);
    void CloseStream();
    // Writes what the stream takes, moves on to the next item, notes what is heard.
    void Service();
    // Writes decoded samples of the item; false once it has no more.
    bool Feed(Item& item, std::size_t& room);
    // The loaded item has ended: played out, or its sound had nowhere to go.
    void Finish(const QString& soundFailure);
    // Reports to the window; `notify` tells it to look at once.
    void Publish(bool notify = false);
    void Wake();

    // Owned by the window's thread.
    Phase phase_ = Phase::Empty;
    quint64 commands_ = 0;

    // Owned by the engine thread.
    std::unique_ptr<PulseOutput> out_;
    std::unique_ptr<Item> heard_;  // the item being heard (or loaded)
    std::unique_ptr<Item> behind_; // the item written behind it, not yet heard
    QString next_;                 // what follows the last item written
    quint64 command_ = 0;          // the command the reports belong to
    bool playing_ = false;         // the stream runs (or is paused)
    bool paused_ = false;
    bool switching_ = false; // the stream drains before it opens for `behind_`
    bool ended_ = false;
    QString soundFailure_;
    QString itemFailure_;
    int volume_ = 100;
    bool mute_ = false;
    ReplayGainMode gainMode_ = ReplayGainMode::Off;
    std::vector<float> pending_; // decoded samples the stream did not take yet
    std::size_t pendingAt_ = 0;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<std::function<void()>> tasks_; // guarded by mutex_
    bool busy_ = false;                       // guarded by mutex_
    bool quit_ = false;                       // guarded by mutex_
    bool poked_ = false;                      // guarded by mutex_
    Report report_;                           // guarded by mutex_
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

// The first location a RAM file lists: an address, or a path (relative ones
// are taken from the RAM file's folder). "" when it lists none.
QString FirstRamLocation(const QString& ramFile);

} // namespace velune
