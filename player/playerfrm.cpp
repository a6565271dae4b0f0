#include "playerfrm.h"

#include "face.h"
#include "form.h"
#include "instance_lock.h"
#include "messages.h"
#include "names.h"
#include "picker.h"
#include "player_engine.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <array>
#include <climits>
#include <cmath>
#include <utility>

namespace velune {

namespace {
// The movie variable of each transport button, by index.
const std::array<const char*, 6> kTags{"Play", "Pause", "Stop", "Next", "Previous", "Repeat"};
constexpr int kWidth = 336;
constexpr int kHeightListHidden = 156;
constexpr int kHeightListShown = 360;
const QString kUndefined = QStringLiteral("undefined");

QString Var(const char* name) {
    return QStringLiteral("_root.") + QLatin1String(name);
}

// The leading decimal number of a text, 0 when it begins with none.
double LeadingNumber(const QString& text) {
    static const QRegularExpression number(QStringLiteral(R"(^\s*[+-]?(\d+\.?\d*|\.\d+))"));
    const auto match = number.match(text);
    return match.hasMatch() ? match.captured(0).trimmed().toDouble() : 0.0;
}

// A whole row number sent by the face, or -1.
int RowNumber(const QString& args, qsizetype rows) {
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
    ListLoaded_ = false;
    const QString movie = p_.programFolder + QStringLiteral("/player.qml");
    if (!p_.flash.LoadMovie(0, movie)) {
        p_.messages.Show(FaceLoadFailure(movie));
        return false;
    }
    p_.form.SetGeometry(std::nullopt, QSize(kWidth, kHeightListHidden),
                        QSize(kWidth, kHeightListShown));
    listShown_ = false;
    DisableTransport();
    SetTitle(QStringLiteral(" "));
    p_.flash.SetVariable(QStringLiteral("_root.VolumePosition"), QStringLiteral("5"));
    p_.VLC.setVolume(100);
    Stopped_ = true;
    CurrentIndex_ = 0;
    ListLoaded_ = false;
    p_.form.HookFlash();
    return true;
}

void mAINfRM::Form_Unload() {
    p_.form.UnhookFlash();
}

void mAINfRM::Flash_FSCommand(const QString& command, const QString& args) {
    using Action = void (*)(mAINfRM&, const QString&);
    static const std::array<std::pair<QLatin1String, Action>, 20> kCommands{{
        {QLatin1String("IDC_FS_Close"), [](mAINfRM& f, const QString&) { f.p_.form.EndProgram(); }},
        {QLatin1String("IDC_FS_Minimize"),
         [](mAINfRM& f, const QString&) { f.p_.form.Minimize(); }},
        {QLatin1String("IDC_FS_Drag"), [](mAINfRM& f, const QString&) { f.p_.form.DragWindow(); }},
        {QLatin1String("IDC_FS_Play"), [](mAINfRM& f, const QString&) { f.C_Click(Play); }},
        {QLatin1String("IDC_FS_Pause"), [](mAINfRM& f, const QString&) { f.C_Click(Pause); }},
        {QLatin1String("IDC_FS_Stop"), [](mAINfRM& f, const QString&) { f.C_Click(Stop); }},
        {QLatin1String("IDC_FS_Previous"), [](mAINfRM& f, const QString&) { f.C_Click(Previous); }},
        {QLatin1String("IDC_FS_Next"), [](mAINfRM& f, const QString&) { f.C_Click(Next); }},
        {QLatin1String("IDC_FS_Repeat"), [](mAINfRM& f, const QString&) { f.C_Click(Repeat); }},
        {QLatin1String("IDC_FS_SoundOff"),
         [](mAINfRM& f, const QString&) { f.p_.VLC.setMute(true); }},
        {QLatin1String("IDC_FS_SoundOn"),
         [](mAINfRM& f, const QString&) { f.p_.VLC.setMute(false); }},
        {QLatin1String("IDC_FS_ShowList"), [](mAINfRM& f, const QString&) { f.Command1_Click(); }},
        {QLatin1String("IDC_FS_Volume"), [](mAINfRM& f, const QString&) { f.Volume(); }},
        {QLatin1String("IDC_FS_KnobReleased"),
         [](mAINfRM& f, const QString&) { f.KnobReleased(); }},
        {QLatin1String("IDC_FS_OpenFile"), [](mAINfRM& f, const QString&) { f.Command2_Click(3); }},
        {QLatin1String("IDC_FS_HideList"), [](mAINfRM& f, const QString&) { f.Command1_Click(); }},
        {QLatin1String("IDC_FS_Add"), [](mAINfRM& f, const QString&) { f.Command2_Click(0); }},
        {QLatin1String("IDC_FS_SelectedIndex"),
         [](mAINfRM& f, const QString& a) { f.PlayIndex(a); }},
        {QLatin1String("IDC_FS_Remove"), [](mAINfRM& f, const QString& a) { f.Remove(a); }},
        {QLatin1String("IDC_FS_RemoveAll"), [](mAINfRM& f, const QString&) { f.RemoveAll(); }},
    }};
    for (const auto& [name, action] : kCommands) {
        if (command == name) {
            action(*this, args);
            return;
        }
    }
}

// Helpers for the face -------------------------------------------------------

QString mAINfRM::Row(int row) const {
    return row >= 0 && row < LstFiles_.size() ? LstFiles_[row] : QString();
}

void mAINfRM::SetButton(int index, const QString& state) {
    p_.flash.SetVariable(Var(kTags[index]), state);
}

void mAINfRM::SetTitle(const QString& text) {
    SetWithTrigger(p_.flash, QStringLiteral("_root.FileTxt"), text,
                   QStringLiteral("_root.SetFileTxt"));
}

void mAINfRM::ShowRow() {
    SetTitle(FileNam(Row(CurrentIndex_), QLatin1Char('/')));
    p_.flash.SetVariable(QStringLiteral("_root.Playing"), QStringLiteral("1"));
}

void mAINfRM::DisableTransport() {
    for (int index = Play; index <= Previous; ++index)
        SetButton(index, QStringLiteral("4"));
}

void mAINfRM::SetTime(const char* name, std::optional<double> ms) {
    if (!ms)
        return;
    if (const auto text = FormatTime(*ms))
        p_.flash.SetVariable(Var(name), *text);
}

void mAINfRM::ClearDisplay() {
    p_.flash.SetVariable(QStringLiteral("_root.TotalTimeTxt"), QStringLiteral("00:00"));
    p_.flash.SetVariable(QStringLiteral("_root.TimePlayedTxt"), QStringLiteral("00:00"));
    p_.flash.SetVariable(QStringLiteral("_root.SetTimeTxt"), QStringLiteral("1"));
    p_.flash.SetVariable(QStringLiteral("_root.Playing"), QStringLiteral("0"));
    SetTitle(QStringLiteral(" "));
}

// Window commands ------------------------------------------------------------

void mAINfRM::Command1_Click() {
    listShown_ = !listShown_;
    p_.form.SetGeometry(std::nullopt,
                        QSize(kWidth, listShown_ ? kHeightListShown : kHeightListHidden),
                        QSize(kWidth, kHeightListShown));
}

void mAINfRM::Volume() {
    const double volume = std::nearbyint(
        LeadingNumber(p_.flash.GetVariable(QStringLiteral("_root.VolumePosition"))) * 20.0);
    if (volume >= INT_MIN && volume <= INT_MAX)
        p_.VLC.setVolume(static_cast<int>(volume));
}

void mAINfRM::KnobReleased() {
    bool number = false;
    const double knob =
        p_.flash.GetVariable(QStringLiteral("_root.KnobPosition")).trimmed().toDouble(&number);
    if (number && std::isfinite(knob))
        SetHS(static_cast<int>(std::nearbyint(std::clamp(knob, -1.0, 101.0))));
    p_.VLC.setInputPosition(HS_ / 100.0);
}

void mAINfRM::PlayIndex(const QString& args) {
    if (const int row = RowNumber(args, LstFiles_.size()); row >= 0)
        PlayRow(row, false);
}

void mAINfRM::PlayRow(int row, bool afresh) {
    CurrentIndex_ = row;
    if (!FillPlayList(CurrentIndex_)) {
        NextButton();
        return;
    }
    if (afresh)
        Stopped_ = true;
    C_Click(Play);
    p_.Timer1.SetEnabled(true);
    ShowRow();
}

// Transport ------------------------------------------------------------------

void mAINfRM::C_Click(int Index) {
    if (LstFiles_.isEmpty())
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
    if (p_.VLC.play())
        ++started_;
    if (Stopped_) {
        ElapsedTicks_ = 0;
        ShowRow();
        p_.flash.SetVariable(QStringLiteral("_root.KnobDisabled"),
                             StreamItem() ? QStringLiteral("1") : QStringLiteral("0"));
    }
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
        p_.flash.SetVariable(QStringLiteral("_root.Playing"), QStringLiteral("1"));
        SetButton(Play, QStringLiteral("3"));
        SetButton(Pause, QStringLiteral("1"));
    } else {
        p_.Timer1.SetEnabled(false);
        p_.flash.SetVariable(QStringLiteral("_root.Playing"), QStringLiteral("0"));
        SetButton(Play, QStringLiteral("1"));
        SetButton(Pause, QStringLiteral("3"));
    }
}

void mAINfRM::StopButton() {
    SetHS(0);
    p_.VLC.stop();
    Stopped_ = true;
    p_.Timer1.SetEnabled(false);
    p_.flash.SetVariable(QStringLiteral("_root.Playing"), QStringLiteral("0"));
    SetTitle(QString());
    SetButton(Play, QStringLiteral("1"));
    SetButton(Pause, QStringLiteral("1"));
    SetHS(0);
}

void mAINfRM::NextButton() {
    const int rows = static_cast<int>(LstFiles_.size());
    // One sweep through the list at most: each missing file is reported once.
    for (int missing = 0;;) {
        ++CurrentIndex_;
        if (CurrentIndex_ > rows - 1) {
            if (!RepeatOn_) {
                CurrentIndex_ = rows - 1;
                SetButton(Play, QStringLiteral("1"));
                return;
            }
            CurrentIndex_ = 0;
        }
        if (FillPlayList(CurrentIndex_))
            break;
        if (++missing >= rows) {
            SetButton(Play, QStringLiteral("1"));
            return;
        }
    }
    PlayButton();
    ShowRow();
}

void mAINfRM::PreviousButton() {
    if (CurrentIndex_ - 1 < 0)
        return;
    --CurrentIndex_;
    if (!FillPlayList(CurrentIndex_)) {
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

// Playlist -------------------------------------------------------------------

bool mAINfRM::FillPlayList(int FileN) {
    p_.VLC.stop();
    p_.VLC.itemsClear();
    const QString path = Row(FileN);
    if (!QFileInfo(path).isFile()) {
        p_.messages.Show(QStringLiteral("file:") + path + QStringLiteral("--dosen't exist"));
        return false;
    }
    p_.VLC.playlistAdd(path.trimmed());
    selected_ = CurrentIndex_ >= 0 && CurrentIndex_ < LstFiles_.size() ? CurrentIndex_ : -1;
    ElapsedTicks_ = 0;
    SetHS(0);
    return true;
}

void mAINfRM::AddPaths(const QStringList& paths) {
    for (const QString& path : paths) {
        if (path.isEmpty())
            continue;
        LstFiles_.append(path);
        NewPaths_ = NewPaths_.isEmpty() ? path : NewPaths_ + QLatin1Char('|') + path;
    }
}

void mAINfRM::AppendRows(const QStringList& paths) {
    const bool wasLoaded = ListLoaded_;
    AddPaths(paths);
    // Into an empty list: its first row is loaded, ready to play.
    if (!wasLoaded) {
        CurrentIndex_ = 0;
        ListLoaded_ = true;
        if (FillPlayList(0))
            SetButton(Play, QStringLiteral("1"));
        else
            NextButton();
    }
    updateFlashList(p_.flash, NewPaths_);
    NewPaths_.clear();
}

void mAINfRM::ForgetLoaded() {
    p_.VLC.stop();
    p_.VLC.itemsClear();
    SetTitle(QString());
    p_.flash.SetVariable(QStringLiteral("_root.Playing"), QStringLiteral("0"));
    CurrentIndex_ = 0;
    SetHS(0);
    ListLoaded_ = false;
}

void mAINfRM::Command2_Click(int Index) {
    switch (Index) {
    case 0: { // Add
        PickedFiles_.clear();
        PickedFiles_ =
            ShowDialog(p_.dialog, p_.messages, QStringLiteral("Input Audio File"), kPlayerFilter);
        if (GetArrayDim(PickedFiles_) < 1)
            return;
        AppendRows(PickedFiles_);
        break;
    }
    case 1: { // the window's own Remove: the row that was selected goes
        const int row = selected_;
        if (row < 0)
            return;
        if (row == CurrentIndex_) {
            C_Click(Next);
            p_.VLC.stop();
            p_.VLC.itemsClear();
        }
        LstFiles_.removeAt(row);
        selected_ = -1;
        break;
    }
    case 2: // the window's own Rem All
        LstFiles_.clear();
        selected_ = -1;
        ForgetLoaded();
        break;
    case 3: { // Open: the picked files replace the list, in the face too
        PickedFiles_.clear();
        PickedFiles_ =
            ShowDialog(p_.dialog, p_.messages, QStringLiteral("Open Audio File"), kPlayerFilter);
        if (GetArrayDim(PickedFiles_) < 1)
            return;
        LstFiles_.clear();
        selected_ = -1;
        p_.flash.SetVariable(QStringLiteral("_root.RemoveAll"), QStringLiteral("1"));
        // What played came from the old list: its display goes with it.
        if (p_.Timer1.Enabled()) {
            p_.Timer1.SetEnabled(false);
            ClearDisplay();
        }
        ListLoaded_ = false;
        AppendRows(PickedFiles_);
        break;
    }
    default:
        break;
    }
}

void mAINfRM::Remove(const QString& args) {
    // The face sends the row it removed: the host removes the same one.
    if (const int row = RowNumber(args, LstFiles_.size()); row >= 0)
        selected_ = row;
    if (selected_ < 0 || LstFiles_.isEmpty())
        return;
    const int S = selected_;
    const int N = static_cast<int>(LstFiles_.size());
    if (S == CurrentIndex_ && N > 1) {
        --CurrentIndex_;
        LstFiles_.removeAt(S);
        selected_ = -1;
        if (p_.VLC.isPlaying()) {
            p_.VLC.stop();
            p_.VLC.itemsClear();
            C_Click(Next);
        }
    } else if (S < CurrentIndex_ && N > 1) {
        --CurrentIndex_;
        LstFiles_.removeAt(S);
        selected_ = -1;
    } else if (N == 1) {
        LstFiles_.removeAt(S);
        selected_ = -1;
        ForgetLoaded();
        p_.flash.SetVariable(QStringLiteral("_root.RemoveAll"), QStringLiteral("1"));
        DisableTransport();
    } else {
        LstFiles_.removeAt(S);
        selected_ = -1;
    }
}

void mAINfRM::RemoveAll() {
    LstFiles_.clear();
    selected_ = -1;
    p_.flash.SetVariable(QStringLiteral("_root.RemoveAll"), QStringLiteral("1"));
    ForgetLoaded();
    DisableTransport();
}

void mAINfRM::LstFiles_DblClick() {
    if (selected_ >= 0)
        PlayRow(selected_, true);
}

void mAINfRM::LstFiles_OLEDragDrop(const QStringList& files) {
    static const QStringList kSupported{QStringLiteral("wav"), QStringLiteral("mp3"),
                                        QStringLiteral("ogg"), QStringLiteral("ram"),
                                        QStringLiteral("rm"),  QStringLiteral("wma")};
    QStringList accepted;
    for (const QString& path : files) {
        if (kSupported.contains(FileNam(path, QLatin1Char('.')).toLower()))
            accepted << path;
        else
            p_.messages.Show(QStringLiteral("The Player not support this format"));
    }
    if (accepted.isEmpty())
        return;
    // Dropped files join the list as added ones do, in the face too.
    AppendRows(accepted);
}

// Time display and seek --------------------------------------------------------

bool mAINfRM::StreamItem() const {
    const QString extension = FileNam(Row(CurrentIndex_), QLatin1Char('.')).toUpper();
    return extension == QLatin1String("RAM") || extension == QLatin1String("RM");
}

void mAINfRM::Timer1_Timer() {
    if (CurrentIndex_ < 0 || CurrentIndex_ >= LstFiles_.size())
        return;
    if (p_.VLC.Ended()) {
        // The item has played to its end: the knob reaches its end and the next item starts.
        const unsigned before = started_;
        if (HS_ == 100)
            HS_Change(); // the knob stood at the end already: the end is still to be handled
        else
            SetHS(100);
        if (started_ == before) {
            ClearDisplay();
            p_.Timer1.SetEnabled(false);
        }
        return;
    }
    const auto length = p_.VLC.inputLength();
    if (StreamItem()) {
        ++ElapsedTicks_;
        if (length && *length > 0)
            SetHS(std::min(
                99, static_cast<int>(std::nearbyint(ElapsedTicks_ * 1000.0 / *length * 100.0))));
        SetTime("TotalTimeTxt", length);
        SetTime("TimePlayedTxt", ElapsedTicks_ * 1000.0);
        p_.flash.SetVariable(QStringLiteral("_root.SetTimeTxt"), QStringLiteral("1"));
        return;
    }
    // Only the end of the item takes the knob to 100.
    if (const auto position = p_.VLC.inputPosition())
        SetHS(std::min(99, static_cast<int>(std::nearbyint(*position * 100.0))));
    p_.flash.SetVariable(QStringLiteral("_root.KnobDisabled"), QStringLiteral("0"));
    SetTime("TotalTimeTxt", length);
    SetTime("TimePlayedTxt", p_.VLC.inputTime());
    p_.flash.SetVariable(QStringLiteral("_root.SetTimeTxt"), QStringLiteral("1"));
}

void mAINfRM::SetHS(int value) {
    if (value == HS_ || value < 0 || value > 100)
        return;
    HS_ = value;
    HS_Change();
}

void mAINfRM::HS_Change() {
    if (HS_ == 100) {
        L_ = QStringLiteral("00:00");
        C_Click(Next);
    }
    p_.flash.SetVariable(QStringLiteral("_root.KnobPosition"),
                         (HS_ < 0 ? QStringLiteral("-") : QStringLiteral(" ")) +
                             QString::number(std::abs(HS_)));
}

void mAINfRM::HS_Scroll() {
    p_.VLC.setInputPosition(HS_ / 100.0);
}

} // namespace velune
