#include "player_window.h"

#include "face.h"
#include "form.h"
#include "icy_metadata.h"
#include "messages.h"
#include "names.h"
#include "player_engine.h"
#include "player_protocol.h"
#include "player_window_text.h"
#include "system_names.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <tuple>

namespace velune {

using namespace player_face;
using namespace player_text;

// What the engine did: the next row heard, a row left out, the end of an item.

void PlayerWindow::QueueNext(std::optional<int> after) {
    // A file that cannot be played is left out by the engine, which says so.
    const int row = Loaded() ? RowAfter(after.value_or(list_.current())) : -1;
    list_.setQueued(row);
    p_.engine.setNext(row >= 0 ? list_.at(row).trimmed() : QString());
}

// The row that holds a file the engine names: the queued one, or, should the list have
// changed in the very moment, the first that holds it.
static int RowOf(const Playlist& list, const QString& uri) {
    if (list.at(list.queued()).trimmed() == uri)
        return list.queued();
    for (int row = 0; row < list.size(); ++row)
        if (list.at(row).trimmed() == uri)
            return row;
    return -1;
}

bool PlayerWindow::FollowEngine() {
    while (const auto skipped = p_.engine.TakeSkipped()) {
        const int row = RowOf(list_, skipped->uri);
        TellFailure(row, row >= 0 ? list_.at(row) : skipped->uri, skipped->failure);
        // Its turn has passed, unless another row was named meanwhile.
        if (row >= 0 && row == list_.queued() && row != list_.current()) {
            Heard(row);
            QueueNext(row);
        }
    }
    while (const auto uri = p_.engine.TakeAdvance()) {
        const int row = RowOf(list_, *uri);
        if (row < 0) {
            // Its row left the list as it began to be heard: as when the playing row is
            // removed, the row named to follow plays now.
            const int next = list_.queued();
            if (next >= 0 && PlayFrom(next)) {
                Play();
                ShowRow();
            } else {
                Unload();
            }
            return false;
        }
        list_.setCurrent(row);
        list_.choose(row);
        ForgetSong();
        streamLine_.clear();
        Forgive(row); // it plays: should it fail later, that is news
        Heard(row);
        SetSeekBar(0);
        ShowRow();
        ShowCover();
        SendPlayingRow();
        p_.face.SetVariable(Var(kKnobDisabled),
                            StreamItem() ? QStringLiteral("1") : QStringLiteral("0"));
        SetTimes(p_.engine.inputLength(), p_.engine.inputTime());
        QueueNext();
    }
    FollowStream();
    if (const auto mixer = p_.engine.TakeMixerChange())
        FollowMixer(mixer->first, mixer->second);
    if (!Loaded() || !p_.engine.Ended()) {
        if (Loaded())
            ShowState();
        return false;
    }
    EndOfItem();
    return true;
}

void PlayerWindow::FollowStream() {
    const QString path = list_.at(list_.current());
    if (!IsStreamAddress(path) || !Loaded() || Stopped())
        return;
    const TrackInfo info = p_.engine.Info();
    // The row shows (and finds) the station by its name, and the song it plays beside it.
    const RowTags before = tags_.value(path);
    if (!info.station.isEmpty())
        tags_[path].title = info.station;
    if (!info.song.isEmpty()) {
        tags_[path].artist = info.song;
        songRow_ = path;
    }
    if (tags_.value(path) != before) {
        SendChangesOf(path);
        SetTitle(NowPlaying());
    }
    shownSong_ = info.song;
    // A stream held up by the network says so where its song is shown.
    const PlaybackState state = p_.engine.state();
    const QString line = state == PlaybackState::Buffering      ? QStringLiteral("Buffering…")
                         : state == PlaybackState::Reconnecting ? QStringLiteral("Reconnecting…")
                                                                : NowPlaying();
    if (line != streamLine_) {
        streamLine_ = line;
        SetTitle(line);
    }
}

void PlayerWindow::ForgetSong() {
    shownSong_.clear();
    if (songRow_.isEmpty())
        return;
    tags_[songRow_].artist.clear();
    SendChangesOf(std::exchange(songRow_, QString()));
}

void PlayerWindow::SendChangesOf(const QString& path) {
    std::vector<int> rows;
    for (int row = 0; row < list_.size(); ++row)
        if (list_.at(row) == path)
            rows.push_back(row);
    SendChanges(rows);
}

void PlayerWindow::FollowMixer(int percent, bool muted) {
    // The face's knob is the volume / 20; the mixer is the truth.
    p_.face.SetVariable(Var(kVolumePosition), QString::number(percent / 20.0, 'g', 4));
    if (muted != muted_) {
        muted_ = muted;
        p_.face.SetVariable(Var(kMuted), muted ? QStringLiteral("1") : QStringLiteral("0"));
    }
}

void PlayerWindow::HaltPlaying() {
    p_.ticker.SetEnabled(false);
    // Play starts the row afresh.
    if (Loaded())
        p_.engine.stop();
    ClearDisplay();
    ShowState();
}

void PlayerWindow::EndOfItem() {
    SetSeekBar(100);
    const QString failure = p_.engine.SoundFailure();
    if (!failure.isEmpty()) {
        // Every other file would fail alike: stop here and say why, once.
        qCWarning(lcPlayer) << "no sound output:" << failure;
        HaltPlaying();
        Tell(QStringLiteral("No sound output is available: ") + failure);
        return;
    }
    if (const ItemFailure failure = p_.engine.ItemFailed(); failure.failed())
        TellFailure(list_.current(), list_.at(list_.current()), failure);
    // The row queued to follow (past any that were left out), else the one after.
    const int row = list_.queued() >= 0 ? list_.queued() : RowAfter(list_.current());
    if (row >= 0 && PlayFrom(row)) {
        Play();
        ShowRow();
        return;
    }
    HaltPlaying();
}

// Time display and seek --------------------------------------------------------

bool PlayerWindow::StreamItem() const {
    const QString path = list_.at(list_.current());
    const QString extension = FileName(path, QLatin1Char('.')).toUpper();
    return extension == QLatin1String("RAM") || extension == QLatin1String("RM") ||
           IsStreamAddress(path);
}

void PlayerWindow::Tick() {
    // A tick left over from before a stop has nothing to follow.
    if (!Loaded() || (Stopped() && !p_.engine.Ended()))
        return;
    // Moving on is the engine's: the knob only shows it.
    if (FollowEngine())
        return;
    if (const auto position = p_.engine.inputPosition())
        SetSeekBar(std::min(99, static_cast<int>(std::nearbyint(*position * 100.0))));
    // A stream's knob stays disabled; its time is what the engine has played of it.
    if (!StreamItem())
        p_.face.SetVariable(Var(kKnobDisabled), QStringLiteral("0"));
    SetTimes(p_.engine.inputLength(), p_.engine.inputTime());
}

// What the desktop reads and sets ----------------------------------------------

PlayerWindow::Status PlayerWindow::PlaybackStatus() const {
    const PlaybackState state = p_.engine.state();
    if (IsRunning(state))
        return Status::Playing;
    return IsPaused(state) ? Status::Paused : Status::Stopped;
}

double PlayerWindow::VolumeLevel() const {
    return std::clamp(LeadingNumber(p_.face.GetVariable(Var(kVolumePosition))) / 10.0, 0.0, 1.0);
}

void PlayerWindow::SetVolumeLevel(double level) {
    if (!std::isfinite(level))
        return;
    p_.face.SetVariable(Var(kVolumePosition),
                        QString::number(std::clamp(level, 0.0, 1.0) * 10.0, 'g', 4));
    VolumeChanged();
}

void PlayerWindow::SetRepeat(bool on) {
    // The Repeat button's own step: it needs no rows.
    if (on != repeatOn_)
        FlipRepeat();
}

bool PlayerWindow::CanSeek() const {
    return Loaded() && !StreamItem() && Length().has_value();
}

void PlayerWindow::SeekBy(const QString& args) {
    bool number = false;
    const double delta = args.toDouble(&number);
    if (const auto elapsed = Elapsed(); number && elapsed)
        SeekTo(*elapsed + delta);
}

void PlayerWindow::SeekTo(double ms) {
    const auto length = Length();
    if (!CanSeek() || !length || *length <= 0 || !std::isfinite(ms))
        return;
    seeks_ += p_.engine.setInputPosition(std::clamp(ms / *length, 0.0, 1.0)) ? 1 : 0;
}

bool PlayerWindow::PlaysStation() const {
    return IsStreamAddress(list_.at(list_.current()));
}

std::optional<double> PlayerWindow::Length() const {
    return p_.engine.inputLength();
}

std::optional<double> PlayerWindow::Elapsed() const {
    return p_.engine.inputTime();
}

TrackInfo PlayerWindow::Info() const {
    // The tags read for the list, else what the engine found in the stream.
    TrackInfo info = p_.engine.Info();
    if (PlaysStation()) {
        // A station: the song it plays, read as "Artist - Title" where it reads so.
        const QString station = tags_.value(list_.at(list_.current())).title;
        // The song as the row shows it: none once the station has stopped.
        std::tie(info.artist, info.title) = ArtistAndTitle(shownSong_);
        if (info.title.isEmpty())
            info.title = station.isEmpty() ? info.station : station;
        info.album = station.isEmpty() ? info.station : station;
        info.artUrl.clear();
        return info;
    }
    if (const auto it = tags_.constFind(list_.at(list_.current())); it != tags_.constEnd()) {
        for (auto [field, tag] : {std::pair{&info.title, &it->title},
                                  {&info.album, &it->album},
                                  {&info.artist, &it->shownArtist()}})
            if (!tag->isEmpty())
                *field = *tag;
        info.track = it->track;
        info.lengthMs = it->lengthMs;
    }
    info.artUrl = coverUrl_;
    return info;
}

void PlayerWindow::SetSeekBar(int value) {
    if (value == seekBar_ || value < 0 || value > 100)
        return;
    seekBar_ = value;
    SeekBarChanged();
}

void PlayerWindow::SeekBarChanged() {
    p_.face.SetVariable(Var(kKnobPosition), QLatin1Char(' ') + QString::number(seekBar_));
}

} // namespace velune
