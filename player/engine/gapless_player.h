#pragma once

#include "item_reader.h"
#include "player_engine.h"
#include "sound_output.h"

#include <QObject>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace velune {

// The player engine: items are opened and decoded by readers of their own, and
// written into one stream of the sound output by the engine's thread, in the
// order the window asked for, so that the window never waits for a file, the
// network or the sound server. While an item plays, the one after it is opened
// and written into the same stream behind it, so that its first sample follows
// the last sample of the one before; the stream is opened anew only where the
// format changes. Where playback stands is one PlaybackState, moved on the
// engine's thread by Transition() alone; every command is numbered, and a
// newer one cuts short any wait of the engine on the server.
class GaplessPlayer : public QObject, public PlayerEngine {
    Q_OBJECT
public:
    using OutputMaker = std::function<std::unique_ptr<SoundOutput>(std::function<void()> wake)>;
    // The desktop's sound server, unless another output is given.
    explicit GaplessPlayer(const OutputMaker& makeOutput = {});
    ~GaplessPlayer() override;
    GaplessPlayer(const GaplessPlayer&) = delete;
    GaplessPlayer& operator=(const GaplessPlayer&) = delete;

    PlaybackState state() const override;
    bool hasItem() const override { return hasItem_; }
    bool setVolume(int volume) override;
    bool setMute(bool mute) override;
    std::optional<std::pair<int, bool>> TakeMixerChange() override;
    void setReplayGain(ReplayGainMode mode) override;
    bool playlistAdd(const QString& uri) override;
    void setNext(const QString& uri) override;
    bool play() override;
    bool pause() override;
    bool resume() override;
    bool stop() override;
    bool itemsClear() override;
    std::optional<double> inputLength() const override;
    std::optional<double> inputTime() const override;
    std::optional<double> inputPosition() const override;
    bool setInputPosition(double position) override;
    std::optional<QString> TakeAdvance() override;
    std::optional<SkippedItem> TakeSkipped() override;
    QString SoundFailure() const override;
    ItemFailure ItemFailed() const override;
    TrackInfo Info() const override;

    // Waits until the engine thread has done everything asked of it so far.
    void Settle();

signals:
    // Where playback stands has changed, or there is news: the window reads the engine now.
    void changed();

private:
    struct Report {
        quint64 command = 0; // the last command the engine thread has carried out
        PlaybackState state = PlaybackState::Idle;
        double length = -1;
        double time = -1;
        std::chrono::steady_clock::time_point at; // when the time was heard
        quint64 heardItems = 0;                   // items heard since the engine began
        QString soundFailure;
        ItemFailure itemFailure;
        TrackInfo info;
        std::deque<std::pair<quint64, QString>> advances;    // with the load they follow
        std::deque<std::pair<quint64, SkippedItem>> skipped; // likewise
        std::optional<MixerLevel> mixer;
    };
    struct Item;

    void Post(std::function<void()> task);
    // A command: it moves the window's view of the state at once, and the engine's
    // when its thread comes to it.
    void Command(PlaybackEvent event, std::function<void()> task);
    void Run();
    bool Current() const;
    // What is heard is a live stream: it has a time, but no length.
    bool LiveHeard() const;
    std::optional<double> Read(double Report::*field) const;

    // On the engine thread.
    std::unique_ptr<Item> NewItem(const QString& uri);
    void Move(PlaybackEvent event);
    void Load(const QString& uri);
    void Clear();
    void Start();
    void Pause();
    void Halt();
    // A live stream is joined anew, where it is now.
    void Rejoin();
    void SeekTo();
    // In Opening: once the item is open, its stream runs (or it failed).
    void TryStart();
    void CloseStream();
    // Writes what the stream takes, moves on to the next item, notes what is heard.
    void Service();
    void Feed(std::size_t room);
    // Writes up to `room` frames of the item; how many, or none when the output refused them.
    std::optional<std::size_t> Write(Item& item, std::size_t room);
    void SoundFailed(const QString& reason);
    void Advance();
    // The item behind is not wanted: it goes, and the stream with what was written of it.
    void DropBehind();
    // Reports to the window; it is told to look when anything it shows has changed.
    void Publish(bool news = false);
    void Wake();
    bool Superseded() const;

    // Owned by the window's thread.
    quint64 commands_ = 0;
    quint64 loads_ = 0;    // loads and clears asked for: advances and skips from before are stale
    quint64 timeBase_ = 0; // commands that set the time anew (loads, stops, seeks, starts)
    PlaybackState commanded_ = PlaybackState::Idle;
    bool hasItem_ = false;

    // Owned by the engine thread.
    std::unique_ptr<SoundOutput> out_;
    std::vector<std::shared_ptr<ItemReader>> retired_; // told to give up, not yet ended
    std::unique_ptr<Item> heard_;                      // the item being heard (or loaded)
    std::unique_ptr<Item> behind_; // the item that follows it, opened or written, not yet heard
    QString next_;                 // what follows, not yet opened
    std::optional<double> waitingSeek_; // asked for while the item was still opening
    PlaybackState state_ = PlaybackState::Idle;
    quint64 command_ = 0; // the command the reports belong to
    quint64 load_ = 0;
    quint64 heardItems_ = 0;
    QString soundFailure_;
    ItemFailure itemFailure_;
    MixerLevel level_;
    ReplayGainMode gainMode_ = ReplayGainMode::Off;
    std::vector<float> scratch_;
    bool news_ = false;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<std::function<void()>> tasks_; // guarded by mutex_
    std::optional<double> seek_;              // guarded by mutex_: the last seek asked for
    bool busy_ = false;                       // guarded by mutex_
    bool quit_ = false;                       // guarded by mutex_
    bool poked_ = false;                      // guarded by mutex_
    Report report_;                           // guarded by mutex_
    std::atomic<quint64> latest_{0};          // the newest command asked for
    // The last time handed to the window, and the time base and item it belongs to: a
    // time guessed between two reports never runs back when the next report comes.
    mutable double shownTime_ = -1;
    mutable std::pair<quint64, quint64> shownFor_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

} // namespace velune
