#pragma once

#include "list_order.h"
#include "play_order.h"
#include "player_engine.h"
#include "playlist.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace velune {

class Background;
class Face;
class FolderChooser;
class Form;
class TagCache;
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
        FolderChooser& folders;
        Background& background; // reads folders, tags and covers
        QString cacheFolder;    // the tag cache and the covers taken out of files
    };

    explicit PlayerWindow(Parts parts);
    ~PlayerWindow();

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
    void AddFolder();
    // Plays an http(s) address (a station, or its .pls/.m3u) typed into the face.
    void OpenUrl(const QString& address);
    // Loads a row into the engine; false (after telling the user) when its file is missing.
    // `back`: reached by Previous.
    bool LoadRow(int row, bool back = false);
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
    // read, folders walked, the files join the list and the first of them plays.
    void PlayFiles(const QStringList& paths);

    // The list as a library: finding, ordering, shuffling and the play queue.
    void Find(const QString& text);
    void SortBy(SortOrder order);
    void SetShuffle(ShuffleMode mode);
    ShuffleMode Shuffle() const { return order_.mode(); }
    // "Play next": the row joins the play queue.
    void PlayNext(int row);
    // Saves the list as a playlist file on a worker, of the type `type` ("pls", "xspf",
    // "m3u8") when the name has no playlist extension; a file of that name is replaced
    // only once the user said so. A failure is told.
    void SaveList(const QString& path, const QString& type = QString());
    // The rows as the face shows them (list rows), and the tags read so far.
    const std::vector<int>& ShownRows() const { return shown_; }
    const KnownTags& Tags() const { return tags_; }
    const PlayOrder& Order() const { return order_; }
    // Keeps the tags of the list's files for the next start.
    void SaveTagCache() const;

    // What the desktop reads and sets; each change takes the face's own path.
    enum class Status { Stopped, Playing, Paused };
    Status PlaybackStatus() const;
    double VolumeLevel() const; // 0 to 1
    void SetVolumeLevel(double level);
    void SetRepeat(bool on);
    bool CanSeek() const;
    void SeekTo(double ms);
    // How many seeks the engine was asked for, from the face, the keys or the desktop.
    int Seeks() const { return seeks_; }
    std::optional<double> Length() const;
    std::optional<double> Elapsed() const;
    // The row loaded is a station: what it tells of itself changes as it plays.
    bool PlaysStation() const;
    TrackInfo Info() const;

    // What is remembered between runs.
    struct Remembered {
        QStringList rows;
        QHash<QString, QString> stations; // the stations' names, by address
        int current = -1;
        double volume = 5; // the face's volume position, 0 to 10
        bool muted = false;
        bool repeat = false;
        bool listShown = false;
        ReplayGainMode replayGain = ReplayGainMode::Off;
        ShuffleMode shuffle = ShuffleMode::Off;
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
    void CycleShuffle(const QString& mode);
    void AskSaveList();

    void SetSeekBar(int value);
    void SetButton(Button button, const QString& state);
    void SetTitle(const QString& text);
    // "Title — Artist" of the current row once its tags are known, its file name before.
    QString NowPlaying() const;
    void ShowRow();
    // The Play and Pause buttons and the playing light, as the engine's state says.
    void ShowState();
    void DisableTransport();
    // A message box that informs and holds nothing up.
    void Tell(const QString& text);
    // Tells why the row's file cannot be played, once for the row until it is played
    // by hand or plays again; a missing file's row shows it.
    void TellFailure(int row, const QString& path, const ItemFailure& failure);
    // The row's file played, or the user asked for it: it is told again when it fails.
    void Forgive(int row);
    // What to do with the files of an add once its folders and playlists are read.
    enum class AddAction { Append, Play, Replace };
    struct Expanded {
        QStringList files;
        QStringList problems;
        int notAudio = 0;               // files in the folders that are not audio
        QHash<QString, QString> titles; // streams' names given by playlists
    };
    // Reads folders and playlists on a worker; adds are carried out in the order asked.
    void AddPaths(const QStringList& paths, AddAction action);
    static Expanded Expand(const QStringList& paths, const std::atomic<bool>& stop);
    void FinishAdd(AddAction action, const Expanded& expanded);
    // Appends rows to the list and the face; into an empty list the first is
    // loaded. Returns the first new row, or -1.
    int AppendRows(const QStringList& paths);
    // Stations without a name yet take these (address -> name).
    void NameStations(const QHash<QString, QString>& names);
    // The face's row as shown -> the list's row; -1 for none.
    int ListRowOf(const QString& shownRow) const;
    // Tells the face the rows shown, or the fields of some rows.
    void SendList();
    void SendChanges(const std::vector<int>& rows);
    QStringList RowFields(int row) const;
    void SendTotal();
    void SendPlayingRow();
    // Reads the tags of these files on workers; the rows change as they come.
    void RequestTags(const QStringList& paths);
    void TakeTags(const QList<std::pair<QString, RowTags>>& read, const QStringList& gone);
    // Asks a worker whether a missing row's file is back.
    void Recheck(int row);
    void WriteList(const QString& path, bool replace);
    void ShowCover();
    std::vector<OrderRow> OrderRows(int from = 0) const;
    // The row to hear after `row` (the play queue, the shuffle, the list), and before.
    int RowAfter(int row) const;
    // The row is heard now: the play order follows, and the face the queue's places.
    void Heard(int row, bool back = false);
    // A row left the list: the play order and the rows shown follow.
    void RowGone(int row, int id);
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
    // A radio stream's name and song, as the engine hears them: the station names its
    // row, the song is the now-playing line.
    void FollowStream();
    // The song leaves the now-playing line, and the row of the station that played it.
    void ForgetSong();
    void SendChangesOf(const QString& path);
    void ClearDisplay();
    void SetTimes(std::optional<double> total, std::optional<double> played);

    void FlipRepeat();
    // Tells the engine which file follows the current row (or the row `after`), by
    // the list's rules.
    void QueueNext(std::optional<int> after = std::nullopt);
    void FollowMixer(int percent, bool muted);

    Parts p_;
    Playlist list_;
    PlayOrder order_;
    KnownTags tags_;
    std::shared_ptr<TagCache> cache_;
    QString find_;
    std::vector<int> shown_; // the list rows the face shows, in order
    SortOrder sort_ = SortOrder::Added;
    int addsAsked_ = 0;
    // The user's Stops, Nexts, Previouses and rows chosen: an add that was to play
    // plays only if none came while it was read (a station's playlist may take a while).
    int transportMoves_ = 0;
    int addsDone_ = 0;
    std::map<int, std::pair<AddAction, Expanded>> addsWaiting_;
    int coverAsked_ = 0;
    QHash<int, QString> missing_; // row ids whose file is gone, and why it is shown so
    QString shownSong_;           // the stream's song on the now-playing line
    QString songRow_;             // the station whose row shows its song beside its name
    QString streamLine_;          // what a stream last showed there (its song, or a wait)
    QSet<int> told_;              // row ids whose failure was told
    QString addNote_;             // what the last add passed over, for the list's status line
    QString coverUrl_;
    bool repeatOn_ = false;
    bool listShown_ = false;
    bool muted_ = false;
    ReplayGainMode replayGain_ = ReplayGainMode::Off;
    int seekBar_ = 0;
    int seeks_ = 0;
};

} // namespace velune
