#include "playerfrm.h"

#include "face.h"
#include "form.h"
#include "instance_lock.h"
#include "messages.h"
#include "names.h"
#include "picker.h"
#include "player_engine.h"
#include "player_protocol.h"
#include "playlist_files.h"

#include <QFileInfo>
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

std::optional<QString> mAINfRM::FormatTime(double tt) {
    const double seconds = std::nearbyint(tt / 1000.0);
    if (!std::isfinite(seconds) || seconds > INT_MAX || seconds < INT_MIN)
        return std::nullopt;
    const long s = static_cast<long>(seconds);
    const long minutes = s / 60;
    if (minutes > SHRT_MAX || minutes < SHRT_MIN)
        return std::nullopt;
    return TwoDigits(minutes) + QLatin1Char(':') + TwoDigits(s % 60);
}

bool mAINfRM::Form_Load() {
    if (!p_.instance.TryLock()) {
        p_.messages.Show(QStringLiteral(
            "VelunePlayer is running, Please Close VelunePlayer first then try again."));
        return false;
    }
    const QString movie = p_.programFolder + QStringLiteral("/player.qml");
    if (!p_.flash.LoadMovie(0, movie)) {
        p_.messages.Show(FaceLoadFailure(movie));
        return false;
    }
    p_.form.SetGeometry(std::nullopt, QSize(kWidth, kHeightListHidden),
                        QSize(kWidth, kHeightListShown));
    DisableTransport();
    SetTitle(QStringLiteral(" "));
    p_.flash.SetVariable(Var(kVolumePosition), QStringLiteral("5"));
    p_.VLC.setVolume(100);
    Stopped_ = true;
    p_.form.HookFlash();
    return true;
}

void mAINfRM::Form_Unload() {
    p_.form.UnhookFlash();
}

void mAINfRM::Flash_FSCommand(const QString& command, const QString& args) {
    using Handler = void (mAINfRM::*)(const QString&);
    static const CommandTable<Handler, 21> kTable{{
        {QLatin1String(kClose), &mAINfRM::Close},
        {QLatin1String(kMinimize), &mAINfRM::Minimize},
        {QLatin1String(kDrag), &mAINfRM::Drag},
        {QLatin1String(kPlay), &mAINfRM::PlayCommand},
        {QLatin1String(kPause), &mAINfRM::PauseCommand},
        {QLatin1String(kStop), &mAINfRM::StopCommand},
        {QLatin1String(kPrevious), &mAINfRM::PreviousCommand},
        {QLatin1String(kNext), &mAINfRM::NextCommand},
        {QLatin1String(kRepeat), &mAINfRM::RepeatCommand},
        {QLatin1String(kSoundOff), &mAINfRM::SoundOff},
        {QLatin1String(kSoundOn), &mAINfRM::SoundOn},
        {QLatin1String(kShowList), &mAINfRM::ShowList},
        {QLatin1String(kVolume), &mAINfRM::Volume},
        {QLatin1String(kKnobReleased), &mAINfRM::KnobReleased},
        {QLatin1String(kOpenFile), &mAINfRM::OpenFile},
        {QLatin1String(kHideList), &mAINfRM::ShowList},
        {QLatin1String(kAdd), &mAINfRM::Add},
        {QLatin1String(kSelectedIndex), &mAINfRM::SelectedIndex},
        {QLatin1String(kRemove), &mAINfRM::Remove},
        {QLatin1String(kRemoveAll), &mAINfRM::RemoveAll},
        {QLatin1String(kSeekBy), &mAINfRM::SeekBy},
    }};
    Dispatch(kTable, command, args, [&](Handler handler) { (this->*handler)(args); });
}

// Helpers for the face -------------------------------------------------------

void mAINfRM::SetButton(int index, const QString& state) {
    p_.flash.SetVariable(Var(kButtons[index]), state);
}

void mAINfRM::SetTitle(const QString& text) {
    SetWithTrigger(p_.flash, Var(kFileTxt), text, Var(kSetFileTxt));
}

void mAINfRM::ShowRow() {
    SetTitle(FileNam(list_.at(list_.current()), QLatin1Char('/')));
    p_.flash.SetVariable(Var(kPlaying), QStringLiteral("1"));
}

void mAINfRM::DisableTransport() {
    for (int index = Play; index <= Previous; ++index)
        SetButton(index, QStringLiteral("4"));
}

void mAINfRM::Tell(const QString& text) {
    const bool ticking = p_.Timer1.Enabled();
    p_.Timer1.SetEnabled(false);
    p_.messages.Show(text);
    if (ticking)
        p_.Timer1.SetEnabled(true);
}

// Both times or neither: the trigger is never written without its data.
void mAINfRM::SetTimes(std::optional<double> total, std::optional<double> played) {
    const auto totalText = total ? FormatTime(*total) : std::nullopt;
    const auto playedText = played ? FormatTime(*played) : std::nullopt;
    if (!totalText || !playedText)
        return;
    p_.flash.SetVariable(Var(kTotalTimeTxt), *totalText);
    p_.flash.SetVariable(Var(kTimePlayedTxt), *playedText);
    p_.flash.SetVariable(Var(kSetTimeTxt), QStringLiteral("1"));
}

void mAINfRM::ClearDisplay() {
    SetTimes(0, 0);
    p_.flash.SetVariable(Var(kPlaying), QStringLiteral("0"));
    SetTitle(QStringLiteral(" "));
}

// Window commands ------------------------------------------------------------

void mAINfRM::Close(const QString&) {
    p_.form.EndProgram();
}

void mAINfRM::Minimize(const QString&) {
    p_.form.Minimize();
}

void mAINfRM::Drag(const QString&) {
    p_.form.DragWindow();
}

void mAINfRM::SoundOff(const QString&) {
    muted_ = true;
    p_.VLC.setMute(true);
}

void mAINfRM::SoundOn(const QString&) {
    muted_ = false;
    p_.VLC.setMute(false);
}

void mAINfRM::Command1_Click() {
    listShown_ = !listShown_;
    p_.form.SetGeometry(std::nullopt,
                        QSize(kWidth, listShown_ ? kHeightListShown : kHeightListHidden),
                        QSize(kWidth, kHeightListShown));
}

void mAINfRM::Volume(const QString&) {
    const double volume =
        std::nearbyint(LeadingNumber(p_.flash.GetVariable(Var(kVolumePosition))) * 20.0);
    if (volume >= INT_MIN && volume <= INT_MAX)
        p_.VLC.setVolume(static_cast<int>(volume));
}

void mAINfRM::KnobReleased(const QString&) {
    bool number = false;
    const double knob = p_.flash.GetVariable(Var(kKnobPosition)).trimmed().toDouble(&number);
    if (number && std::isfinite(knob))
        SetHS(static_cast<int>(std::nearbyint(std::clamp(knob, 0.0, 100.0))));
    p_.VLC.setInputPosition(HS_ / 100.0);
}

void mAINfRM::SelectedIndex(const QString& args) {
    const int row = RowNumber(args, list_.size());
    if (row < 0)
        return;
    list_.choose(row);
    if (!FillPlayList(row)) {
        NextButton();
        return;
    }
    C_Click(Play);
}

// Transport ------------------------------------------------------------------

void mAINfRM::C_Click(int Index) {
    if (list_.isEmpty())
        return;
    switch (Index) {
    case Play:
        PlayButton();
        break;
    case Pause:
        PauseButton();
        break;
    case Stop:
        StopButton();
        break;
    case Next:
        NextButton();
        break;
    case Previous:
        PreviousButton();
        break;
    case Repeat:
        RepeatButton();
        break;
    default:
        break;
    }
}

void mAINfRM::PlayButton() {
    // Nothing loaded (its row was removed, or its file was missing): play from the
    // row that is now at its place.
    if (!loaded_) {
        const int row = list_.start();
        if (row < 0 || !PlayFrom(row))
            return;
    }
    p_.VLC.play();
    if (Stopped_) {
        ElapsedTicks_ = 0;
        ShowRow();
        p_.flash.SetVariable(Var(kKnobDisabled),
                             StreamItem() ? QStringLiteral("1") : QStringLiteral("0"));
    }
    Stopped_ = false;
    p_.Timer1.SetEnabled(true);
    SetButton(Play, QStringLiteral("3"));
    for (int index = Pause; index <= Previous; ++index)
        SetButton(index, QStringLiteral("1"));
}

void mAINfRM::PauseButton() {
    p_.VLC.togglePause();
    Stopped_ = false;
    if (p_.VLC.isPlaying()) {
        p_.Timer1.SetEnabled(true);
        p_.flash.SetVariable(Var(kPlaying), QStringLiteral("1"));
        SetButton(Play, QStringLiteral("3"));
        SetButton(Pause, QStringLiteral("1"));
    } else {
        p_.Timer1.SetEnabled(false);
        p_.flash.SetVariable(Var(kPlaying), QStringLiteral("0"));
        SetButton(Play, QStringLiteral("1"));
        SetButton(Pause, QStringLiteral("3"));
    }
}

void mAINfRM::StopButton() {
    p_.VLC.stop();
    Stopped_ = true;
    p_.Timer1.SetEnabled(false);
    p_.flash.SetVariable(Var(kPlaying), QStringLiteral("0"));
    SetTitle(QString());
    SetButton(Play, QStringLiteral("1"));
    SetButton(Pause, QStringLiteral("1"));
    SetHS(0);
}

bool mAINfRM::PlayFrom(int row) {
    // One sweep through the list at most: each missing file is reported once.
    for (int tried = 0; row >= 0 && tried < list_.size(); ++tried) {
        if (FillPlayList(row))
            return true;
        row = list_.after(row, RepeatOn_);
    }
    SetButton(Play, QStringLiteral("1"));
    return false;
}

void mAINfRM::NextButton() {
    const int from = list_.current() >= 0 ? list_.current() : list_.successor() - 1;
    const int row = list_.after(from, RepeatOn_);
    if (row < 0) {
        // The end of the list, without repeat: the last row stays.
        SetButton(Play, QStringLiteral("1"));
        return;
    }
    if (!PlayFrom(row))
        return;
    PlayButton();
    ShowRow();
}

void mAINfRM::PreviousButton() {
    const int from = list_.current() >= 0 ? list_.current() : list_.successor();
    if (from - 1 < 0)
        return;
    if (!FillPlayList(from - 1)) {
        NextButton();
        return;
    }
    PlayButton();
    ShowRow();
}

void mAINfRM::RepeatButton() {
    RepeatOn_ = !RepeatOn_;
    SetButton(Repeat, RepeatOn_ ? QStringLiteral("3") : QStringLiteral("1"));
}

void mAINfRM::HaltPlaying() {
    p_.Timer1.SetEnabled(false);
    Stopped_ = true;
    ClearDisplay();
    SetButton(Play, QStringLiteral("1"));
    SetButton(Pause, QStringLiteral("1"));
}

void mAINfRM::EndOfItem() {
    SetHS(100);
    const QString failure = p_.VLC.SoundFailure();
    if (!failure.isEmpty()) {
        // Every other file would fail alike: stop here and say why, once.
        qCWarning(lcPlayer) << "no sound output:" << failure;
        HaltPlaying();
        Tell(QStringLiteral("No sound output is available: ") + failure);
        return;
    }
    const int row = list_.after(list_.current(), RepeatOn_);
    if (row >= 0 && PlayFrom(row)) {
        PlayButton();
        ShowRow();
        return;
    }
    HaltPlaying();
}

// Playlist -------------------------------------------------------------------

bool mAINfRM::FillPlayList(int FileN) {
    p_.VLC.itemsClear();
    loaded_ = false;
    list_.setCurrent(FileN);
    const QString path = list_.at(FileN);
    if (!QFileInfo(path).isFile()) {
        qCWarning(lcPlayer) << "missing file" << path;
        Tell(QStringLiteral("file:") + path + QStringLiteral("--dosen't exist"));
        return false;
    }
    p_.VLC.playlistAdd(path.trimmed());
    loaded_ = true;
    // A new item starts afresh: announced, its knob set for its kind.
    Stopped_ = true;
    list_.choose(FileN);
    ElapsedTicks_ = 0;
    SetHS(0);
    return true;
}

int mAINfRM::AppendRows(const QStringList& paths) {
    static const QStringList kSupported{QStringLiteral("wav"), QStringLiteral("mp3"),
                                        QStringLiteral("ogg"), QStringLiteral("ram"),
                                        QStringLiteral("rm"),  QStringLiteral("wma")};
    QStringList problems;
    QStringList added;
    bool unsupported = false;
    for (const QString& path : ExpandPlaylists(paths, problems)) {
        if (path.isEmpty())
            continue;
        if (kSupported.contains(FileNam(path, QLatin1Char('.')).toLower()))
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
    updateFlashList(p_.flash, added);
    // Into an empty list: its first row is loaded, ready to play.
    if (wasEmpty) {
        if (FillPlayList(0))
            SetButton(Play, QStringLiteral("1"));
        else
            NextButton();
    }
    return first;
}

void mAINfRM::OpenFiles(const QStringList& paths) {
    const int first = AppendRows(paths);
    if (first < 0)
        return;
    if (FillPlayList(first))
        PlayButton();
    else
        NextButton();
}

void mAINfRM::Unload() {
    p_.VLC.itemsClear();
    loaded_ = false;
    SetHS(0);
    HaltPlaying();
}

void mAINfRM::Command2_Click(int Index) {
    const bool open = Index == 3;
    if (Index != 0 && !open)
        return;
    const QStringList picked =
        ShowDialog(p_.dialog, p_.messages,
                   open ? QStringLiteral("Open Audio File") : QStringLiteral("Input Audio File"),
                   kPlayerFilter);
    if (GetArrayDim(picked) < 1)
        return;
    if (open) {
        // The picked files replace the list, in the face too; what played goes with it.
        p_.flash.SetVariable(Var(kClearList), QStringLiteral("1"));
        if (loaded_)
            Unload();
        list_.clear();
    }
    AppendRows(picked);
}

void mAINfRM::Remove(const QString& args) {
    // The face sends the row it removed: the host removes the same one.
    if (const int row = RowNumber(args, list_.size()); row >= 0)
        list_.choose(row);
    const int row = list_.chosen();
    if (row < 0)
        return;
    const bool loadedRow = row == list_.current() && loaded_;
    const bool playing = loadedRow && p_.VLC.isPlaying();
    list_.remove(row);
    if (list_.isEmpty()) {
        RemoveAll(QString());
        return;
    }
    if (!loadedRow)
        return;
    if (playing) {
        // The row that took its place plays on (the first with repeat after the last).
        const int next = row < list_.size() ? row : list_.after(row - 1, RepeatOn_);
        if (next >= 0 && PlayFrom(next)) {
            PlayButton();
            ShowRow();
            return;
        }
    }
    // Paused or stopped: nothing of the removed file stays; Play plays the row at its place.
    Unload();
}

void mAINfRM::RemoveAll(const QString&) {
    list_.clear();
    p_.flash.SetVariable(Var(kClearList), QStringLiteral("1"));
    Unload();
    DisableTransport();
}

void mAINfRM::LstFiles_OLEDragDrop(const QStringList& files) {
    // Dropped files join the list as added ones do, in the face too.
    AppendRows(files);
}

// Time display and seek --------------------------------------------------------

bool mAINfRM::StreamItem() const {
    const QString extension = FileNam(list_.at(list_.current()), QLatin1Char('.')).toUpper();
    return extension == QLatin1String("RAM") || extension == QLatin1String("RM");
}

void mAINfRM::Timer1_Timer() {
    // A tick left over from before a stop has nothing to follow.
    if (!loaded_ || Stopped_)
        return;
    // Moving on at the end of an item is this one step; the knob only shows it.
    if (p_.VLC.Ended()) {
        EndOfItem();
        return;
    }
    const auto length = p_.VLC.inputLength();
    if (StreamItem()) {
        ++ElapsedTicks_;
        if (length && *length > 0)
            SetHS(std::min(
                99, static_cast<int>(std::nearbyint(ElapsedTicks_ * 1000.0 / *length * 100.0))));
        SetTimes(length, ElapsedTicks_ * 1000.0);
        return;
    }
    if (const auto position = p_.VLC.inputPosition())
        SetHS(std::min(99, static_cast<int>(std::nearbyint(*position * 100.0))));
    p_.flash.SetVariable(Var(kKnobDisabled), QStringLiteral("0"));
    SetTimes(length, p_.VLC.inputTime());
}

// What the desktop reads and sets ----------------------------------------------

mAINfRM::Status mAINfRM::PlaybackStatus() const {
    if (!loaded_ || Stopped_)
        return Status::Stopped;
    return p_.VLC.isPlaying() ? Status::Playing : Status::Paused;
}

double mAINfRM::VolumeLevel() const {
    return std::clamp(LeadingNumber(p_.flash.GetVariable(Var(kVolumePosition))) / 10.0, 0.0, 1.0);
}

void mAINfRM::SetVolumeLevel(double level) {
    if (!std::isfinite(level))
        return;
    p_.flash.SetVariable(Var(kVolumePosition),
                         QString::number(std::clamp(level, 0.0, 1.0) * 10.0, 'g', 4));
    Volume(QString());
}

void mAINfRM::SetRepeat(bool on) {
    // The Repeat button's own step: it needs no rows.
    if (on != RepeatOn_)
        RepeatButton();
}

bool mAINfRM::CanSeek() const {
    return loaded_ && !StreamItem() && Length().has_value();
}

void mAINfRM::SeekBy(const QString& args) {
    bool number = false;
    const double delta = args.toDouble(&number);
    if (const auto elapsed = Elapsed(); number && elapsed)
        SeekTo(*elapsed + delta);
}

void mAINfRM::SeekTo(double ms) {
    const auto length = Length();
    if (!CanSeek() || !length || *length <= 0 || !std::isfinite(ms))
        return;
    p_.VLC.setInputPosition(std::clamp(ms / *length, 0.0, 1.0));
}

std::optional<double> mAINfRM::Length() const {
    return loaded_ ? p_.VLC.inputLength() : std::nullopt;
}

std::optional<double> mAINfRM::Elapsed() const {
    return loaded_ ? p_.VLC.inputTime() : std::nullopt;
}

TrackInfo mAINfRM::Info() const {
    return loaded_ ? p_.VLC.Info() : TrackInfo{};
}

mAINfRM::Remembered mAINfRM::Remember() const {
    return {list_.rows(), list_.current(), VolumeLevel() * 10.0, muted_, RepeatOn_, listShown_};
}

void mAINfRM::Restore(const Remembered& state) {
    SetVolumeLevel(state.volume / 10.0);
    if (state.muted) {
        SoundOff(QString());
        p_.flash.SetVariable(Var(kMuted), QStringLiteral("1"));
    }
    SetRepeat(state.repeat);
    if (state.listShown != listShown_) {
        Command1_Click();
        p_.flash.SetVariable(Var(kListShown),
                             listShown_ ? QStringLiteral("1") : QStringLiteral("0"));
    }
    if (state.rows.isEmpty())
        return;
    list_.append(state.rows);
    updateFlashList(p_.flash, state.rows);
    // The remembered row is loaded, not played; a file that has gone is told as always.
    FillPlayList(list_.contains(state.current) ? state.current : 0);
    SetButton(Play, QStringLiteral("1"));
}

void mAINfRM::SetHS(int value) {
    if (value == HS_ || value < 0 || value > 100)
        return;
    HS_ = value;
    HS_Change();
}

void mAINfRM::HS_Change() {
    p_.flash.SetVariable(Var(kKnobPosition), QLatin1Char(' ') + QString::number(HS_));
}

} // namespace velune
