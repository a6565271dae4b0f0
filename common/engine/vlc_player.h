#pragma once

#include "player_engine.h"
#include "vlc_instance.h"

#include <QObject>
#include <condition_variable>
#include <cstdarg>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

struct libvlc_media_player_t;
struct libvlc_event_t;
struct vlc_log_t;

namespace velune {

// The player engine over libVLC. Every libVLC call runs on the engine's own
// thread, in the order the window asked for it: libVLC 3 stops synchronously and
// may take long to do so, and the window must never wait for it. The window's
// reads come from what the engine thread and libVLC's events last reported, and
// tell nothing about an item until the engine has loaded it.
class VlcPlayer : public QObject, public PlayerEngine {
    Q_OBJECT
public:
    VlcPlayer();
    ~VlcPlayer() override;
    VlcPlayer(const VlcPlayer&) = delete;
    VlcPlayer& operator=(const VlcPlayer&) = delete;

    // Starts libVLC on the engine thread; startFailed() is emitted when it cannot.
    void Start();

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
    QString SoundFailure() const override;
    TrackInfo Info() const override;

    // Waits until the engine thread has done everything asked of it so far.
    void Settle();
    // What libVLC itself holds, for checks; -1 before it runs.
    int volume();
    bool muted();

signals:
    void startFailed();

private:
    // What the window asked for last.
    enum class Phase { Empty, Loaded, Playing, Paused };
    // What the engine reports about the item, guarded by mutex_.
    enum class State { Idle, Opening, Playing, Paused, Stopped, Ended, Error };
    struct Report {
        quint64 command = 0; // the last command the engine thread has carried out
        State state = State::Idle;
        double length = -1;
        double time = -1;
        double position = -1;
        QString soundFailure;
        TrackInfo info;
    };

    // Runs `task` on the engine thread after everything asked before.
    void Post(std::function<void()> task);
    // The same for a change of what plays: the task gets its number, and reports
    // made before it has applied that number go unread.
    void Command(std::function<void(quint64 command)> task);
    void Run();
    // Starts libVLC on the engine thread, once; false when it cannot run.
    bool Ready();
    void Apply(quint64 command, State state);
    // On the engine thread: the playing item's tags, into the report.
    void ReadInfo();
    bool Current() const;
    std::optional<double> Read(double Report::*field) const;

    static void OnEvent(const libvlc_event_t* event, void* data);
    static void OnLog(void* data, int level, const ::vlc_log_t* context, const char* format,
                      va_list args);

    // Owned by the window's thread.
    Phase phase_ = Phase::Empty;
    quint64 commands_ = 0;

    // Owned by the engine thread.
    std::unique_ptr<VlcInstance> vlc_;
    libvlc_media_player_t* player_ = nullptr;
    bool tried_ = false;
    int volume_ = 50;
    bool mute_ = false;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<std::function<void()>> tasks_; // guarded by mutex_
    bool busy_ = false;                       // guarded by mutex_
    bool quit_ = false;                       // guarded by mutex_
    Report report_;                           // guarded by mutex_
    QString lastSoundError_;                  // guarded by mutex_
    std::thread thread_;
};

// The first location a RAM file lists: an address, or a path (relative ones
// are taken from the RAM file's folder). "" when it lists none.
QString FirstRamLocation(const QString& ramFile);

} // namespace velune
