#pragma once

#include "player_engine.h"
#include "playlist.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace velune {

class Face;
class Form;
class InstanceLock;
class MessageBoxes;
class OpenFileDialog;
class Ticker;

// The player's title, the caption of its message boxes.
inline const QString kPlayerTitle = QStringLiteral("VelunePlayer");

// The player's window: playlist, transport, time display and seek bar. The list,
// its current and chosen rows live in `Playlist`; the engine holds the current
// row's file, or nothing.
class PlayerWindow {
public:
    struct Parts {
        Face& face;
        Form& form;
        MessageBoxes& messages;
        OpenFileDialog& dialog;
        InstanceLock& instance;
        PlayerEngine& engine;
        Ticker& ticker;
        QString programFolder;
    };

    explicit PlayerWindow(Parts parts) : p_(std::move(parts)) {}

    // Start-up; false when the program must end (another copy runs, no face).
    bool Start();
    void Close();
    void OnFaceCommand(const QString& command, const QString& args);

    void ToggleList();
    // The transport; each does nothing while the list is empty.
    void Play();
    // The face's Pause button: pauses what plays, resumes what is paused.
    void Pause();
    // Pauses (true) or resumes (false); nothing when there is nothing to pause or resume.
    void SetPaused(bool paused);
    void Stop();
    void Next();
    void Previous();
    void ToggleRepeat();
    // Picks files that join the list, or that replace it.
    void AddFiles();
    void OpenFiles();
    // Loads a row into the engine; false (after telling the user) when its file is missing.
    bool LoadRow(int row);
    void Tick();
    // Takes what the engine did since it was last asked: the next row heard, a
    // queued row left out, the mixer's volume, or the end of the item. True when
    // the item ended.
    bool FollowEngine();
    void SetReplayGain(ReplayGainMode mode);
    ReplayGainMode ReplayGain() const { return replayGain_; }
    void SeekBarChanged();
    void DropFiles(const QStringList& files);

    // Time text of a millisecond count: minutes and seconds, "01:05"; none when
    // the count is out of range.
    static std::optional<QString> FormatTime(double ms);

    // Files from outside (the command line, another copy, the desktop): playlists are
    // read, the files join the list and the first of them plays.
    void PlayFiles(const QStringList& paths);

    // What the desktop reads and sets; each change takes the face's own path.
    enum class Status { Stopped, Playing, Paused };
    Status PlaybackStatus() const;
    double VolumeLevel() const; // 0 to 1
    void SetVolumeLevel(double level);
    void SetRepeat(bool on);
    bool CanSeek() const;
    void SeekTo(double ms);
    std::optional<double> Length() const;
    std::optional<double> Elapsed() const;
    TrackInfo Info() const;

    // What is remembered between runs.
    struct Remembered {
        QStringList rows;
        int current = -1;
        double volume = 5; // the face's volume position, 0 to 10
        bool muted = false;
        bool repeat = false;
        bool listShown = false;
        ReplayGainMode replayGain = ReplayGainMode::Off;
    };
    Remembered Remember() const;
    // Restores the list (its current row loaded, not playing) and the settings.
    void Restore(const Remembered& state);

    // State, for the window and for checks.
    const Playlist& list() const { return list_; }
    // The engine holds the current row's file.
    bool Loaded() const;
    int SeekBar() const { return seekBar_; }
    // Play starts the loaded item afresh (nothing plays or holds).
    bool Stopped() const;
    bool RepeatOn() const { return repeatOn_; }

private:
    // The transport buttons, in the order of their state variables.
    enum class Button { Play, Pause, Stop, Next, Previous, Repeat };

    // Commands of the face that need more than one call.
    void SetMuted(bool muted);
    void VolumeChanged();
    void KnobReleased();
    void PlaySelected(const QString& row);
    void RemoveRow(const QString& row);
    void RemoveAll();
    void SeekBy(const QString& milliseconds);
    void CycleReplayGain();

    void SetSeekBar(int value);
    void SetButton(Button button, const QString& state);
    void SetTitle(const QString& text);
    void ShowRow();
    void DisableTransport();
    // A message box that informs and holds nothing up.
    void Tell(const QString& text);
    // Tells why the row's file cannot be played.
    void TellFailure(const QString& path, const ItemFailure& failure);
    // Appends rows to the list and the face (playlists read, unknown kinds refused);
    // into an empty list the first is loaded. Returns the first new row, or -1.
    int AppendRows(const QStringList& paths);
    // The engine drops its item; the display and the timer stop.
    void Unload();
    // Loads the first row from `row` on whose file exists and plays it; false when
    // the end of the list (without repeat) or a whole sweep came first.
    bool PlayFrom(int row);
    // The item ended: the next row plays, or nothing plays on.
    void EndOfItem();
    // Playing ends here: the display is cleared and Play starts afresh.
    void HaltPlaying();
    bool StreamItem() const;
    void ClearDisplay();
    void SetTimes(std::optional<double> total, std::optional<double> played);

    void FlipRepeat();
    // Tells the engine which file follows the current row (or the row `after`), by
    // the list's rules.
    void QueueNext(std::optional<int> after = std::nullopt);
    void FollowMixer(int percent, bool muted);
    void ShowPlaying(bool playing);

    Parts p_;
    Playlist list_;
    bool repeatOn_ = false;
    bool listShown_ = false;
    bool muted_ = false;
    ReplayGainMode replayGain_ = ReplayGainMode::Off;
    int seekBar_ = 0;
};

} // namespace velune
