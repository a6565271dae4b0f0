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
class mAINfRM {
public:
    struct Parts {
        Face& flash;
        Form& form;
        MessageBoxes& messages;
        OpenFileDialog& dialog;
        InstanceLock& instance;
        PlayerEngine& VLC;
        Ticker& Timer1;
        QString programFolder;
    };

    explicit mAINfRM(Parts parts) : p_(std::move(parts)) {}

    // Start-up; false when the program must end (another copy runs, no face).
    bool Form_Load();
    void Form_Unload();
    void Flash_FSCommand(const QString& command, const QString& args);

    void Command1_Click();
    void C_Click(int Index);
    void Command2_Click(int Index);
    // Loads row FileN into the engine; false (after telling the user) when its file is missing.
    bool FillPlayList(int FileN);
    void Timer1_Timer();
    void HS_Change();
    void LstFiles_OLEDragDrop(const QStringList& files);

    // Time text of a millisecond count: minutes and seconds, "01:05"; none when
    // the count is out of range.
    static std::optional<QString> FormatTime(double tt);

    // Files from outside (the command line, another copy, the desktop): playlists are
    // read, the files join the list and the first of them plays.
    void OpenFiles(const QStringList& paths);

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
    };
    Remembered Remember() const;
    // Restores the list (its current row loaded, not playing) and the settings.
    void Restore(const Remembered& state);

    // State, for the window and for checks.
    const Playlist& list() const { return list_; }
    // The engine holds the current row's file.
    bool Loaded() const { return loaded_; }
    int HS() const { return HS_; }
    bool Stopped() const { return Stopped_; }
    bool RepeatOn() const { return RepeatOn_; }

private:
    enum Button { Play, Pause, Stop, Next, Previous, Repeat };

    // Command handlers.
    void Close(const QString&);
    void Minimize(const QString&);
    void Drag(const QString&);
    void PlayCommand(const QString&) { C_Click(Play); }
    void PauseCommand(const QString&) { C_Click(Pause); }
    void StopCommand(const QString&) { C_Click(Stop); }
    void PreviousCommand(const QString&) { C_Click(Previous); }
    void NextCommand(const QString&) { C_Click(Next); }
    void RepeatCommand(const QString&) { C_Click(Repeat); }
    void SoundOff(const QString&);
    void SoundOn(const QString&);
    void ShowList(const QString&) { Command1_Click(); }
    void Volume(const QString&);
    void KnobReleased(const QString&);
    void OpenFile(const QString&) { Command2_Click(3); }
    void Add(const QString&) { Command2_Click(0); }
    void SelectedIndex(const QString& args);
    void Remove(const QString& args);
    void RemoveAll(const QString&);
    void SeekBy(const QString& args);

    void SetHS(int value);
    void SetButton(int index, const QString& state);
    void SetTitle(const QString& text);
    void ShowRow();
    void DisableTransport();
    // A message box; the timer does not tick while it is open.
    void Tell(const QString& text);
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

    void PlayButton();
    void PauseButton();
    void StopButton();
    void NextButton();
    void PreviousButton();
    void RepeatButton();

    Parts p_;
    Playlist list_;
    bool loaded_ = false;
    bool RepeatOn_ = false;
    bool Stopped_ = true;
    bool listShown_ = false;
    bool muted_ = false;
    std::int32_t ElapsedTicks_ = 0;
    int HS_ = 0;
};

} // namespace velune
