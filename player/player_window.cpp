#include "player_window.h"

#include "face.h"
#include "form.h"
#include "instance_lock.h"
#include "messages.h"
#include "names.h"
#include "picker.h"
#include "player_engine.h"
#include "player_protocol.h"
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

namespace {
constexpr int kWidth = 336;
constexpr int kHeightListHidden = 156;
constexpr int kHeightListShown = 360;

QString Var(const char* name) {
    return QLatin1String(name);
}

// The leading decimal number of a text, 0 when it begins with none.
double LeadingNumber(const QString& text) {
    static const QRegularExpression number(QStringLiteral(R"(^\s*[+-]?(\d+\.?\d*|\.\d+))"));
    const auto match = number.match(text);
    return match.hasMatch() ? match.captured(0).trimmed().toDouble() : 0.0;
}

// A whole row number sent by the face, or -1.
int RowNumber(const QString& args, int rows) {
    bool whole = false;
    const int row = args.trimmed().toInt(&whole);
    return whole && row >= 0 && row < rows ? row : -1;
}

// "0#": at least two digits.
QString TwoDigits(long value) {
    const QString digits = QString::number(std::labs(value));
    return (value < 0 ? QStringLiteral("-") : QString()) +
           (digits.size() < 2 ? QStringLiteral("0") + digits : digits);
}
} // namespace

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
    static const CommandTable<Handler, 22> kTable{{
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

void PlayerWindow::ShowRow() {
    SetTitle(Readable(FileName(list_.at(list_.current()), QLatin1Char('/'))));
    p_.face.SetVariable(Var(kPlaying), QStringLiteral("1"));
}

void PlayerWindow::DisableTransport() {
    for (const Button button :
         {Button::Play, Button::Pause, Button::Stop, Button::Next, Button::Previous})
        SetButton(button, QStringLiteral("4"));
}

void PlayerWindow::Tell(const QString& text) {
    p_.messages.Inform(text);
}

void PlayerWindow::TellFailure(const QString& path, const ItemFailure& failure) {
    qCWarning(lcPlayer) << "cannot play" << path << failure.reason;
    Tell(QStringLiteral("file:") + Readable(path) +
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
    p_.engine.setInputPosition(seekBar_ / 100.0);
}

void PlayerWindow::PlaySelected(const QString& args) {
    const int row = RowNumber(args, list_.size());
    if (row < 0)
        return;
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
    if (p_.engine.state() == PlaybackState::Paused)
        p_.engine.resume();
    else
        p_.engine.play();
    if (afresh) {
        ShowRow();
        p_.face.SetVariable(Var(kKnobDisabled),
                            StreamItem() ? QStringLiteral("1") : QStringLiteral("0"));
    }
    p_.ticker.SetEnabled(true);
    SetButton(Button::Play, QStringLiteral("3"));
    for (const Button button : {Button::Pause, Button::Stop, Button::Next, Button::Previous})
        SetButton(button, QStringLiteral("1"));
}

void PlayerWindow::Pause() {
    SetPaused(p_.engine.state() != PlaybackState::Paused);
}

void PlayerWindow::SetPaused(bool paused) {
    if (list_.isEmpty())
        return;
    if (paused ? !p_.engine.pause() : !p_.engine.resume())
        return; // nothing plays, or nothing holds
    ShowPlaying(!paused);
}

void PlayerWindow::ShowPlaying(bool playing) {
    p_.ticker.SetEnabled(playing);
    p_.face.SetVariable(Var(kPlaying), playing ? QStringLiteral("1") : QStringLiteral("0"));
    SetButton(Button::Play, playing ? QStringLiteral("3") : QStringLiteral("1"));
    SetButton(Button::Pause, playing ? QStringLiteral("1") : QStringLiteral("3"));
}

void PlayerWindow::Stop() {
    if (list_.isEmpty())
        return;
    p_.engine.stop();
    p_.ticker.SetEnabled(false);
    p_.face.SetVariable(Var(kPlaying), QStringLiteral("0"));
    SetTitle(QString());
    SetButton(Button::Play, QStringLiteral("1"));
    SetButton(Button::Pause, QStringLiteral("1"));
    SetSeekBar(0);
}

bool PlayerWindow::PlayFrom(int row) {
    // One sweep through the list at most: each missing file is reported once.
    for (int tried = 0; row >= 0 && tried < list_.size(); ++tried) {
        if (LoadRow(row))
            return true;
        row = list_.after(row, repeatOn_);
    }
    SetButton(Button::Play, QStringLiteral("1"));
    return false;
}

void PlayerWindow::Next() {
    if (list_.isEmpty())
        return;
    const int from = list_.current() >= 0 ? list_.current() : list_.successor() - 1;
    const int row = list_.after(from, repeatOn_);
    if (row < 0) {
        // The end of the list, without repeat: the last row stays.
        SetButton(Button::Play, QStringLiteral("1"));
        return;
    }
    if (!PlayFrom(row))
        return;
    Play();
    ShowRow();
}

void PlayerWindow::Previous() {
    if (list_.isEmpty())
        return;
    const int from = list_.current() >= 0 ? list_.current() : list_.successor();
    if (from - 1 < 0)
        return;
    if (!LoadRow(from - 1)) {
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

void PlayerWindow::QueueNext(std::optional<int> after) {
    // A file that cannot be played is left out by the engine, which says so.
    const int row = Loaded() ? list_.after(after.value_or(list_.current()), repeatOn_) : -1;
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
        TellFailure(row >= 0 ? list_.at(row) : skipped->uri, skipped->failure);
        if (row >= 0 && row != list_.current())
            QueueNext(row);
    }
    while (const auto uri = p_.engine.TakeAdvance()) {
        const int row = RowOf(list_, *uri);
        if (row < 0)
            continue;
        list_.setCurrent(row);
        list_.choose(row);
        SetSeekBar(0);
        ShowRow();
        p_.face.SetVariable(Var(kKnobDisabled),
                            StreamItem() ? QStringLiteral("1") : QStringLiteral("0"));
        SetTimes(p_.engine.inputLength(), p_.engine.inputTime());
        QueueNext();
    }
    if (const auto mixer = p_.engine.TakeMixerChange())
        FollowMixer(mixer->first, mixer->second);
    if (!Loaded() || !p_.engine.Ended())
        return false;
    EndOfItem();
    return true;
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
    SetButton(Button::Play, QStringLiteral("1"));
    SetButton(Button::Pause, QStringLiteral("1"));
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
        TellFailure(list_.at(list_.current()), failure);
    // The row queued to follow (past any that were left out), else the one after.
    const int row = list_.queued() >= 0 ? list_.queued() : list_.after(list_.current(), repeatOn_);
    if (row >= 0 && PlayFrom(row)) {
        Play();
        ShowRow();
        return;
    }
    HaltPlaying();
}

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

// Time display and seek --------------------------------------------------------

bool PlayerWindow::StreamItem() const {
    const QString extension = FileName(list_.at(list_.current()), QLatin1Char('.')).toUpper();
    return extension == QLatin1String("RAM") || extension == QLatin1String("RM");
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
    return state == PlaybackState::Paused ? Status::Paused : Status::Stopped;
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
    p_.engine.setInputPosition(std::clamp(ms / *length, 0.0, 1.0));
}

std::optional<double> PlayerWindow::Length() const {
    return p_.engine.inputLength();
}

std::optional<double> PlayerWindow::Elapsed() const {
    return p_.engine.inputTime();
}

TrackInfo PlayerWindow::Info() const {
    return p_.engine.Info();
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
