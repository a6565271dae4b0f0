#include "player_window.h"

#include "face.h"
#include "form.h"
#include "messages.h"
#include "names.h"
#include "picker.h"
#include "player_engine.h"
#include "player_protocol.h"
#include "player_window_text.h"
#include "playlist_files.h"
#include "system_names.h"

#include <algorithm>
#include <cmath>

namespace velune {

using namespace player_face;
using namespace player_text;

// Playlist -------------------------------------------------------------------

bool PlayerWindow::LoadRow(int row) {
    list_.setCurrent(row);
    list_.setQueued(-1);
    const QString path = list_.at(row);
    if (!IsFile(path)) {
        p_.engine.itemsClear();
        TellFailure(path, {QString(), true});
        return false;
    }
    // A new item starts afresh: announced, its knob set for its kind.
    p_.engine.playlistAdd(path.trimmed());
    list_.choose(row);
    SetSeekBar(0);
    QueueNext();
    return true;
}

int PlayerWindow::AppendRows(const QStringList& paths) {
    // The player's own formats, then what else FFmpeg plays that libraries hold.
    static const QStringList kSupported{
        QStringLiteral("wav"),  QStringLiteral("mp3"),  QStringLiteral("ogg"),
        QStringLiteral("ram"),  QStringLiteral("rm"),   QStringLiteral("wma"),
        QStringLiteral("flac"), QStringLiteral("m4a"),  QStringLiteral("aac"),
        QStringLiteral("opus"), QStringLiteral("aiff"), QStringLiteral("aif"),
        QStringLiteral("ape"),  QStringLiteral("wv")};
    QStringList problems;
    QStringList added;
    bool unsupported = false;
    for (const QString& path : ExpandPlaylists(paths, problems)) {
        if (path.isEmpty())
            continue;
        if (kSupported.contains(FileName(path, QLatin1Char('.')).toLower()))
            added << path;
        else
            unsupported = true;
    }
    if (unsupported)
        problems << QStringLiteral("The Player not support this format");
    for (const QString& problem : std::as_const(problems))
        Tell(problem);
    if (added.isEmpty())
        return -1;
    const bool wasEmpty = list_.isEmpty();
    const int first = list_.size();
    list_.append(added);
    SendRows(p_.face, added);
    // Into an empty list: its first row is loaded, ready to play.
    if (wasEmpty) {
        if (LoadRow(0))
            SetButton(Button::Play, QStringLiteral("1"));
        else
            Next();
    } else {
        QueueNext();
    }
    return first;
}

void PlayerWindow::PlayFiles(const QStringList& paths) {
    const int first = AppendRows(paths);
    if (first < 0)
        return;
    if (LoadRow(first))
        Play();
    else
        Next();
}

void PlayerWindow::Unload() {
    p_.engine.itemsClear();
    list_.setQueued(-1);
    SetSeekBar(0);
    HaltPlaying();
}

void PlayerWindow::AddFiles() {
    AppendRows(
        PickFiles(p_.dialog, p_.messages, QStringLiteral("Input Audio File"), kPlayerFilter));
}

void PlayerWindow::OpenFiles() {
    const QStringList picked =
        PickFiles(p_.dialog, p_.messages, QStringLiteral("Open Audio File"), kPlayerFilter);
    if (picked.isEmpty())
        return;
    // The picked files replace the list, in the face too; what played goes with it.
    p_.face.SetVariable(Var(kClearList), QStringLiteral("1"));
    if (Loaded())
        Unload();
    list_.clear();
    AppendRows(picked);
}

void PlayerWindow::RemoveRow(const QString& args) {
    // The face sends the row it removed: the host removes the same one.
    if (const int row = RowNumber(args, list_.size()); row >= 0)
        list_.choose(row);
    const int row = list_.chosen();
    if (row < 0)
        return;
    const bool loadedRow = row == list_.current() && Loaded();
    const bool playing = loadedRow && p_.engine.isPlaying();
    list_.remove(row);
    if (list_.isEmpty()) {
        RemoveAll();
        return;
    }
    if (!loadedRow) {
        QueueNext(); // the row that follows may have gone
        return;
    }
    if (playing) {
        // The row that took its place plays on (the first with repeat after the last).
        const int next = row < list_.size() ? row : list_.after(row - 1, repeatOn_);
        if (next >= 0 && PlayFrom(next)) {
            Play();
            ShowRow();
            return;
        }
    }
    // Paused or stopped: nothing of the removed file stays; Play plays the row at its place.
    Unload();
}

void PlayerWindow::RemoveAll() {
    list_.clear();
    p_.face.SetVariable(Var(kClearList), QStringLiteral("1"));
    Unload();
    DisableTransport();
}

void PlayerWindow::DropFiles(const QStringList& files) {
    // Dropped files join the list as added ones do, in the face too.
    AppendRows(files);
}

PlayerWindow::Remembered PlayerWindow::Remember() const {
    return {list_.rows(), list_.current(), VolumeLevel() * 10.0, muted_,
            repeatOn_,    listShown_,      replayGain_};
}

void PlayerWindow::Restore(const Remembered& state) {
    SetVolumeLevel(state.volume / 10.0);
    SetReplayGain(state.replayGain);
    if (state.muted) {
        SetMuted(true);
        p_.face.SetVariable(Var(kMuted), QStringLiteral("1"));
    }
    SetRepeat(state.repeat);
    if (state.listShown != listShown_) {
        ToggleList();
        p_.face.SetVariable(Var(kListShown),
                            listShown_ ? QStringLiteral("1") : QStringLiteral("0"));
    }
    if (state.rows.isEmpty())
        return;
    list_.append(state.rows);
    SendRows(p_.face, state.rows);
    // The remembered row is loaded, not played; a file that has gone is told as always.
    LoadRow(list_.contains(state.current) ? state.current : 0);
    SetButton(Button::Play, QStringLiteral("1"));
}

} // namespace velune
