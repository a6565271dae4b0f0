#include "player_window.h"

#include "face.h"
#include "form.h"
#include "messages.h"
#include "names.h"
#include "picker.h"
#include "player_engine.h"
#include "player_protocol.h"
#include "player_window_text.h"
#include "system_names.h"

#include <algorithm>
#include <cmath>

namespace velune {

using namespace player_face;
using namespace player_text;

// Playlist -------------------------------------------------------------------

bool PlayerWindow::LoadRow(int row, bool back) {
    list_.setCurrent(row);
    list_.setQueued(-1);
    Heard(row, back);
    SendPlayingRow();
    const QString path = list_.at(row);
    // The window never waits on the disk: the engine opens the file and says when it
    // is missing; a row already known to be missing is passed over, and a worker
    // looks whether it is back.
    if (missing_.contains(list_.id(row))) {
        p_.engine.itemsClear();
        TellFailure(row, path, {QString(), true});
        Recheck(row);
        return false;
    }
    // A new item starts afresh: announced, its knob set for its kind.
    ForgetSong();
    streamLine_.clear();
    p_.engine.playlistAdd(path.trimmed());
    list_.choose(row);
    SetSeekBar(0);
    ShowCover();
    QueueNext();
    return true;
}

void PlayerWindow::PlayFiles(const QStringList& paths) {
    AddPaths(paths, AddAction::Play);
}

void PlayerWindow::Unload() {
    p_.engine.itemsClear();
    list_.setQueued(-1);
    SetSeekBar(0);
    HaltPlaying();
}

void PlayerWindow::AddFiles() {
    AddPaths(PickFiles(p_.dialog, p_.messages, QStringLiteral("Input Audio File"), kPlayerFilter),
             AddAction::Append);
}

void PlayerWindow::OpenFiles() {
    // The picked files replace the list once they are read.
    AddPaths(PickFiles(p_.dialog, p_.messages, QStringLiteral("Open Audio File"), kPlayerFilter),
             AddAction::Replace);
}

void PlayerWindow::RemoveRow(const QString& args) {
    // The face sends the row it removed: the host removes the same one.
    if (const int row = ListRowOf(args); row >= 0)
        list_.choose(row);
    const int row = list_.chosen();
    if (row < 0)
        return;
    const bool loadedRow = row == list_.current() && Loaded();
    const bool playing = loadedRow && p_.engine.isPlaying();
    const int id = list_.id(row);
    missing_.remove(id);
    told_.remove(id);
    list_.remove(row);
    if (list_.isEmpty()) {
        RemoveAll();
        return;
    }
    RowGone(row, id);
    if (!loadedRow) {
        QueueNext(); // the row that follows may have gone
        return;
    }
    if (playing) {
        // The row that took its place plays on (the first with repeat after the last),
        // unless the play queue or the shuffle name another.
        const int inPlace = row < list_.size() ? row : list_.after(row - 1, repeatOn_);
        const int next = list_.rowOf(order_.Next(repeatOn_, list_.id(inPlace)));
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
    missing_.clear();
    told_.clear();
    list_.clear();
    order_.Clear();
    p_.face.SetVariable(Var(kClearList), QStringLiteral("1"));
    SendList();
    Unload();
    DisableTransport();
}

void PlayerWindow::DropFiles(const QStringList& files) {
    // Dropped files and folders join the list as added ones do, in the face too.
    AddPaths(files, AddAction::Append);
}

PlayerWindow::Remembered PlayerWindow::Remember() const {
    Remembered state{list_.rows(), {},         list_.current(), VolumeLevel() * 10.0, muted_,
                     repeatOn_,    listShown_, replayGain_,     order_.mode()};
    for (const QString& row : state.rows)
        if (const QString name = tags_.value(row).title; IsStreamAddress(row) && !name.isEmpty())
            state.stations.insert(row, name);
    return state;
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
    p_.face.SetVariable(Var(kShuffleMode), ShuffleName(state.shuffle));
    if (state.rows.isEmpty()) {
        SetShuffle(state.shuffle);
        return;
    }
    NameStations(state.stations);
    list_.append(state.rows);
    SendRows(p_.face, state.rows);
    // The tags of the list come back from the cache (read on a worker), and only
    // changed files are read.
    SendList();
    RequestTags(state.rows);
    // The remembered row is loaded, not played; a file that has gone is told as always.
    LoadRow(list_.contains(state.current) ? state.current : 0);
    SetShuffle(state.shuffle);
    ShowState();
}

} // namespace velune
