#include "player_window.h"

#include "face.h"
#include "form.h"
#include "instance_lock.h"
#include "messages.h"
#include "names.h"
#include "picker.h"
#include "player_engine.h"
#include "player_protocol.h"
#include "player_window_text.h"
#include "playlist_files.h"
#include "replay_gain.h"
#include "system_names.h"

#include <QLoggingCategory>
#include <QRegularExpression>
#include <algorithm>
#include <climits>
#include <cmath>

Q_LOGGING_CATEGORY(lcPlayer, "velune.player", QtCriticalMsg)

namespace velune {

using namespace player_face;
using namespace player_text;

std::optional<QString> PlayerWindow::FormatTime(double ms) {
    const double seconds = std::nearbyint(ms / 1000.0);
    if (!std::isfinite(seconds) || seconds > INT_MAX || seconds < INT_MIN)
        return std::nullopt;
    const long s = static_cast<long>(seconds);
    const long minutes = s / 60;
    if (minutes > SHRT_MAX || minutes < SHRT_MIN)
        return std::nullopt;
    return TwoDigits(minutes) + QLatin1Char(':') + TwoDigits(s % 60);
}

bool PlayerWindow::Start() {
    if (!p_.instance.TryLock()) {
        p_.messages.Show(QStringLiteral(
            "VelunePlayer is running, Please Close VelunePlayer first then try again."));
        return false;
    }
    const QString face = p_.programFolder + QStringLiteral("/player.qml");
    if (!p_.face.LoadFace(face)) {
        p_.messages.Show(FaceLoadFailure(face));
        return false;
    }
    p_.form.SetGeometry(std::nullopt, QSize(kWidth, kHeightListHidden),
                        QSize(kWidth, kHeightListShown));
    DisableTransport();
    SetTitle(QStringLiteral(" "));
    p_.face.SetVariable(Var(kVolumePosition), QStringLiteral("5"));
    p_.engine.setVolume(100);
    p_.face.SetVariable(Var(kReplayGainMode), ModeName(replayGain_));
    p_.form.InstallFilter();
    return true;
}

void PlayerWindow::Close() {
    p_.form.RemoveFilter();
}

void PlayerWindow::OnFaceCommand(const QString& command, const QString& args) {
    using Handler = void (*)(PlayerWindow&, const QString&);
    static const CommandTable<Handler, 30> kTable{{
        {QLatin1String(kClose), [](PlayerWindow& w, const QString&) { w.p_.form.EndProgram(); }},
        {QLatin1String(kMinimize), [](PlayerWindow& w, const QString&) { w.p_.form.Minimize(); }},
        {QLatin1String(kDrag), [](PlayerWindow& w, const QString&) { w.p_.form.DragWindow(); }},
        {QLatin1String(kPlay), [](PlayerWindow& w, const QString&) { w.Play(); }},
        {QLatin1String(kPause), [](PlayerWindow& w, const QString&) { w.Pause(); }},
        {QLatin1String(kStop), [](PlayerWindow& w, const QString&) { w.Stop(); }},
        {QLatin1String(kPrevious), [](PlayerWindow& w, const QString&) { w.Previous(); }},
        {QLatin1String(kNext), [](PlayerWindow& w, const QString&) { w.Next(); }},
        {QLatin1String(kRepeat), [](PlayerWindow& w, const QString&) { w.ToggleRepeat(); }},
        {QLatin1String(kSoundOff), [](PlayerWindow& w, const QString&) { w.SetMuted(true); }},
        {QLatin1String(kSoundOn), [](PlayerWindow& w, const QString&) { w.SetMuted(false); }},
        {QLatin1String(kShowList), [](PlayerWindow& w, const QString&) { w.ToggleList(); }},
        {QLatin1String(kVolume), [](PlayerWindow& w, const QString&) { w.VolumeChanged(); }},
        {QLatin1String(kKnobReleased), [](PlayerWindow& w, const QString&) { w.KnobReleased(); }},
        {QLatin1String(kOpenFile), [](PlayerWindow& w, const QString&) { w.OpenFiles(); }},
        {QLatin1String(kHideList), [](PlayerWindow& w, const QString&) { w.ToggleList(); }},
        {QLatin1String(kAdd), [](PlayerWindow& w, const QString&) { w.AddFiles(); }},
        {QLatin1String(kSelectedIndex),
         [](PlayerWindow& w, const QString& row) { w.PlaySelected(row); }},
        {QLatin1String(kRemove), [](PlayerWindow& w, const QString& row) { w.RemoveRow(row); }},
        {QLatin1String(kRemoveAll), [](PlayerWindow& w, const QString&) { w.RemoveAll(); }},
        {QLatin1String(kSeekBy), [](PlayerWindow& w, const QString& ms) { w.SeekBy(ms); }},
        {QLatin1String(kReplayGain), [](PlayerWindow& w, const QString&) { w.CycleReplayGain(); }},
        {QLatin1String(kAddFolder), [](PlayerWindow& w, const QString&) { w.AddFolder(); }},
        {QLatin1String(kFind), [](PlayerWindow& w, const QString& text) { w.Find(text); }},
        {QLatin1String(kPlayFound),
         [](PlayerWindow& w, const QString&) { w.PlaySelected(QStringLiteral("0")); }},
        {QLatin1String(kSort),
         [](PlayerWindow& w, const QString& order) {
             if (const auto named = SortNamed(order))
                 w.SortBy(*named);
         }},
        {QLatin1String(kShuffle),
         [](PlayerWindow& w, const QString& mode) { w.CycleShuffle(mode); }},
        {QLatin1String(kPlayNext),
         [](PlayerWindow& w, const QString& row) { w.PlayNext(w.ListRowOf(row)); }},
        {QLatin1String(kSaveList), [](PlayerWindow& w, const QString&) { w.AskSaveList(); }},
        {QLatin1String(kOpenUrl), [](PlayerWindow& w, const QString& url) { w.OpenUrl(url); }},
    }};
    Dispatch(kTable, command, args, [&](Handler handler) { handler(*this, args); });
}

// Helpers for the face -------------------------------------------------------

void PlayerWindow::SetButton(Button button, const QString& state) {
    p_.face.SetVariable(Var(kButtons[static_cast<int>(button)]), state);
}

void PlayerWindow::SetTitle(const QString& text) {
    SetWithTrigger(p_.face, Var(kFileTxt), text, Var(kSetFileTxt));
}

QString PlayerWindow::NowPlaying() const {
    const QString path = list_.at(list_.current());
    const auto tags = tags_.constFind(path);
    // A station's song as it names it, else the station.
    if (IsStreamAddress(path) && !shownSong_.isEmpty())
        return shownSong_;
    if (IsStreamAddress(path))
        return tags == tags_.constEnd() || tags->title.isEmpty() ? path : tags->title;
    if (tags == tags_.constEnd() || tags->title.isEmpty())
        return Readable(FileName(path, QLatin1Char('/')));
    const QString& artist = tags->shownArtist();
    return artist.isEmpty() ? tags->title : tags->title + QStringLiteral(" — ") + artist;
}

void PlayerWindow::ShowRow() {
    SetTitle(NowPlaying());
    ShowState();
}

void PlayerWindow::ShowState() {
    if (list_.isEmpty())
        return;
    const PlaybackState state = p_.engine.state();
    const bool running = IsRunning(state);
    p_.ticker.SetEnabled(running);
    // The light is written when it changes only: a face that never played shows none.
    const QString light = running ? QStringLiteral("1") : QStringLiteral("0");
    if (p_.face.GetVariable(Var(kPlaying)) != light &&
        (running || !p_.face.GetVariable(Var(kPlaying)).isEmpty()))
        p_.face.SetVariable(Var(kPlaying), light);
    SetButton(Button::Play, running ? QStringLiteral("3") : QStringLiteral("1"));
    SetButton(Button::Pause,
              state == PlaybackState::Paused ? QStringLiteral("3") : QStringLiteral("1"));
}

void PlayerWindow::DisableTransport() {
    for (const Button button :
         {Button::Play, Button::Pause, Button::Stop, Button::Next, Button::Previous})
        SetButton(button, QStringLiteral("4"));
}

void PlayerWindow::Tell(const QString& text) {
    p_.messages.Inform(text);
}

void PlayerWindow::TellFailure(int row, const QString& path, const ItemFailure& failure) {
    qCWarning(lcPlayer) << "cannot play" << path << failure.reason;
    if (const int id = list_.id(row); id > 0) {
        if (failure.missing && !missing_.contains(id)) {
            missing_.insert(id, QStringLiteral("missing"));
            SendChanges({row});
        }
        if (told_.contains(id))
            return;
        told_.insert(id);
    }
    Tell((IsStreamAddress(path) ? QString() : QStringLiteral("file:")) + Readable(path) +
         (failure.missing ? QStringLiteral("--dosen't exist")
                          : QStringLiteral("--cannot be played: ") + failure.reason));
}

bool PlayerWindow::Loaded() const {
    return p_.engine.hasItem();
}

bool PlayerWindow::Stopped() const {
    return !HasInput(p_.engine.state());
}

// Both times or neither: the trigger is never written without its data.
void PlayerWindow::SetTimes(std::optional<double> total, std::optional<double> played) {
    const auto totalText = total ? FormatTime(*total) : std::nullopt;
    const auto playedText = played ? FormatTime(*played) : std::nullopt;
    if (!totalText || !playedText)
        return;
    p_.face.SetVariable(Var(kTotalTimeTxt), *totalText);
    p_.face.SetVariable(Var(kTimePlayedTxt), *playedText);
    p_.face.SetVariable(Var(kSetTimeTxt), QStringLiteral("1"));
}

void PlayerWindow::ClearDisplay() {
    ++coverAsked_;
    coverUrl_.clear();
    ForgetSong();
    streamLine_.clear();
    p_.face.SetVariable(Var(kCover), QString());
    SetTimes(0, 0);
    p_.face.SetVariable(Var(kPlaying), QStringLiteral("0"));
    SetTitle(QStringLiteral(" "));
}

// Window commands ------------------------------------------------------------

void PlayerWindow::SetMuted(bool muted) {
    muted_ = muted;
    p_.engine.setMute(muted);
}

void PlayerWindow::ToggleList() {
    listShown_ = !listShown_;
    p_.form.SetGeometry(std::nullopt,
                        QSize(kWidth, listShown_ ? kHeightListShown : kHeightListHidden),
                        QSize(kWidth, kHeightListShown));
}

void PlayerWindow::VolumeChanged() {
    const double volume =
        std::nearbyint(LeadingNumber(p_.face.GetVariable(Var(kVolumePosition))) * 20.0);
    if (volume >= INT_MIN && volume <= INT_MAX)
        p_.engine.setVolume(static_cast<int>(volume));
}

void PlayerWindow::KnobReleased() {
    bool number = false;
    const double knob = p_.face.GetVariable(Var(kKnobPosition)).trimmed().toDouble(&number);
    if (number && std::isfinite(knob))
        SetSeekBar(static_cast<int>(std::nearbyint(std::clamp(knob, 0.0, 100.0))));
    seeks_ += p_.engine.setInputPosition(seekBar_ / 100.0) ? 1 : 0;
}

void PlayerWindow::Forgive(int row) {
    const int id = list_.id(row);
    told_.remove(id);
    if (missing_.remove(id) > 0)
        SendChanges({row});
}

void PlayerWindow::PlaySelected(const QString& args) {
    ++transportMoves_;
    const int row = ListRowOf(args);
    if (row < 0)
        return;
    // Asked for by hand: tried again, and told again should it still fail.
    Forgive(row);
    list_.choose(row);
    if (!LoadRow(row)) {
        Next();
        return;
    }
    Play();
}

// Transport ------------------------------------------------------------------

void PlayerWindow::Play() {
    if (list_.isEmpty())
        return;
    // Nothing loaded (its row was removed, or its file was missing): play from the
    // row that is now at its place.
    if (!Loaded()) {
        const int row = list_.start();
        if (row < 0 || !PlayFrom(row))
            return;
    }
    const bool afresh = Stopped();
    if (IsPaused(p_.engine.state()))
        p_.engine.resume();
    else
        p_.engine.play();
    if (afresh) {
        SetTitle(NowPlaying());
        p_.face.SetVariable(Var(kKnobDisabled),
                            StreamItem() ? QStringLiteral("1") : QStringLiteral("0"));
    }
    for (const Button button : {Button::Stop, Button::Next, Button::Previous})
        SetButton(button, QStringLiteral("1"));
    ShowState();
}

void PlayerWindow::Pause() {
    SetPaused(!IsPaused(p_.engine.state()));
}

void PlayerWindow::SetPaused(bool paused) {
    if (list_.isEmpty())
        return;
    if (paused ? !p_.engine.pause() : !p_.engine.resume())
        return; // nothing plays, or nothing holds
    ShowState();
}

void PlayerWindow::Stop() {
    ++transportMoves_;
    if (list_.isEmpty())
        return;
    p_.engine.stop();
    ForgetSong();
    SetTitle(QString());
    ShowState();
    SetSeekBar(0);
    // The time played goes back to the start; the length stays as it was shown (both are
    // the trigger's data, written before it).
    p_.face.SetVariable(Var(kTotalTimeTxt), p_.face.GetVariable(Var(kTotalTimeTxt)));
    p_.face.SetVariable(Var(kTimePlayedTxt), QStringLiteral("00:00"));
    p_.face.SetVariable(Var(kSetTimeTxt), QStringLiteral("1"));
}

bool PlayerWindow::PlayFrom(int row) {
    // One sweep through the list at most: each missing file is reported once.
    for (int tried = 0; row >= 0 && tried < list_.size(); ++tried) {
        if (LoadRow(row))
            return true;
        row = RowAfter(row);
    }
    ShowState();
    return false;
}

void PlayerWindow::Next() {
    ++transportMoves_;
    if (list_.isEmpty())
        return;
    const int from = list_.current() >= 0 ? list_.current() : list_.successor() - 1;
    const int row = RowAfter(from);
    if (row < 0)
        return; // the end of the list, without repeat: the last row stays as it is
    if (!PlayFrom(row))
        return;
    Play();
    ShowRow();
}

void PlayerWindow::Previous() {
    ++transportMoves_;
    if (list_.isEmpty())
        return;
    const int row = PreviousRow(order_, list_);
    if (row < 0)
        return;
    if (!LoadRow(row, true)) {
        Next();
        return;
    }
    Play();
    ShowRow();
}

void PlayerWindow::ToggleRepeat() {
    if (!list_.isEmpty())
        FlipRepeat();
}

void PlayerWindow::FlipRepeat() {
    repeatOn_ = !repeatOn_;
    SetButton(Button::Repeat, repeatOn_ ? QStringLiteral("3") : QStringLiteral("1"));
    QueueNext();
}

void PlayerWindow::CycleShuffle(const QString& mode) {
    const ShuffleMode now = order_.mode();
    SetShuffle(ShuffleNamed(mode).value_or(now == ShuffleMode::Off      ? ShuffleMode::Tracks
                                           : now == ShuffleMode::Tracks ? ShuffleMode::Albums
                                                                        : ShuffleMode::Off));
}

void PlayerWindow::AskSaveList() {
    if (list_.isEmpty())
        return;
    const QString chosen = p_.dialog.ChooseSave(QStringLiteral("Save Playlist"),
                                                kPlaylistSaveFilter, QStringLiteral("Playlist"));
    SaveList(chosen, p_.dialog.SaveType());
}

void PlayerWindow::CycleReplayGain() {
    SetReplayGain(replayGain_ == ReplayGainMode::Off     ? ReplayGainMode::Track
                  : replayGain_ == ReplayGainMode::Track ? ReplayGainMode::Album
                                                         : ReplayGainMode::Off);
}

void PlayerWindow::SetReplayGain(ReplayGainMode mode) {
    replayGain_ = mode;
    p_.engine.setReplayGain(mode);
    p_.face.SetVariable(Var(kReplayGainMode), ModeName(mode));
}

} // namespace velune
