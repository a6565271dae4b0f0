#include "converter_window.h"
#include "output_names.h"

#include "background.h"
#include "conversion_dialog.h"
#include "converter_protocol.h"
#include "face.h"
#include "folder_chooser.h"
#include "form.h"
#include "instance_lock.h"
#include "library.h"
#include "messages.h"
#include "names.h"
#include "picker.h"
#include "publish.h"
#include "shell.h"
#include "system_names.h"

#include <QLoggingCategory>
#include <QStandardPaths>
#include <array>
#include <utility>

Q_DECLARE_LOGGING_CATEGORY(lcConverter)

namespace velune {

namespace {
const QSize kWindowSize{620, 520};
const QString kUndefined = QStringLiteral("undefined");
// The naming patterns offered; the user may write another.
const QStringList kOfferedPatterns{
    QString(),
    QStringLiteral("{albumartist}/{album}/{track:02} {title}"),
    QStringLiteral("{albumartist}/{album}/{disc}-{track:02} {title}"),
    QStringLiteral("{artist} - {title}"),
};
} // namespace

bool ConverterWindow::Start() {
    if (!p_.instance.TryLock()) {
        p_.messages.Show(QStringLiteral("The program already opening"));
        return false;
    }
    const QString face = p_.programFolder + QStringLiteral("/VeluneC.qml");
    if (!p_.face.LoadFace(face)) {
        p_.messages.Show(FaceLoadFailure(face));
        return false;
    }
    p_.form.SetGeometry(QPoint(0, 0), kWindowSize, kWindowSize);
    SetWithTrigger(p_.face, QLatin1String(converter_face::kFillCombo), kOfferedFormats,
                   QLatin1String(converter_face::kSetCombo));
    p_.face.SetVariable(QLatin1String(converter_face::kVersionNo), VersionText());
    SetWithTrigger(p_.face, QLatin1String(converter_face::kFillPatterns),
                   kOfferedPatterns.join(QLatin1Char('|')),
                   QLatin1String(converter_face::kSetPatterns));
    settings_.targetName = QStringLiteral("wav");
    p_.form.InstallFilter();
    settings_.conversionWindowOpen = false;
    return true;
}

void ConverterWindow::Activated() {
    if (!settings_.conversionWindowOpen)
        return;
    p_.conversion.Unload();
    p_.form.InstallFilter();
}

void ConverterWindow::OnFaceCommand(const QString& command, const QString& args) {
    using namespace converter_face;
    using Handler = void (*)(ConverterWindow&, const QString&);
    static const CommandTable<Handler, 29> kTable{{
        {QLatin1String(kClose), [](ConverterWindow& w, const QString&) { w.p_.form.EndProgram(); }},
        {QLatin1String(kMinimize),
         [](ConverterWindow& w, const QString&) { w.p_.form.Minimize(); }},
        {QLatin1String(kAdd), [](ConverterWindow& w, const QString&) { w.AddFiles(); }},
        {QLatin1String(kAddFolder), [](ConverterWindow& w, const QString&) { w.AddFolder(); }},
        {QLatin1String(kRemove), [](ConverterWindow& w, const QString& row) { w.Remove(row); }},
        {QLatin1String(kRemoveAll), [](ConverterWindow& w, const QString&) { w.RemoveAll(); }},
        {QLatin1String(kDrag), [](ConverterWindow& w, const QString&) { w.p_.form.DragWindow(); }},
        {QLatin1String(kBrowse),
         [](ConverterWindow& w, const QString&) { w.ChooseOutputFolder(); }},
        {QLatin1String(kConvertTo),
         [](ConverterWindow& w, const QString& name) { w.SetTarget(name); }},
        {QLatin1String(kQuality),
         [](ConverterWindow& w, const QString& text) { w.SetQuality(text); }},
        {QLatin1String(kReplayGain),
         [](ConverterWindow& w, const QString& on) { w.SetReplayGain(on == QLatin1String("on")); }},
        {QLatin1String(kPattern),
         [](ConverterWindow& w, const QString& text) { w.SetPattern(text); }},
        {QLatin1String(kSkipExisting),
         [](ConverterWindow& w, const QString& on) {
             w.settings_.skipExisting = on == QLatin1String("on");
         }},
        {QLatin1String(kRate),
         [](ConverterWindow& w, const QString& a) { w.ChangeOutput(kRate, a); }},
        {QLatin1String(kChannels),
         [](ConverterWindow& w, const QString& a) { w.ChangeOutput(kChannels, a); }},
        {QLatin1String(kBits),
         [](ConverterWindow& w, const QString& a) { w.ChangeOutput(kBits, a); }},
        {QLatin1String(kCopySame),
         [](ConverterWindow& w, const QString& a) { w.ChangeOutput(kCopySame, a); }},
        {QLatin1String(kKeepTimes),
         [](ConverterWindow& w, const QString& a) { w.ChangeOutput(kKeepTimes, a); }},
        {QLatin1String(kAcceptDamaged),
         [](ConverterWindow& w, const QString& a) { w.ChangeOutput(kAcceptDamaged, a); }},
        {QLatin1String(kId3v23),
         [](ConverterWindow& w, const QString& a) { w.ChangeOutput(kId3v23, a); }},
        {QLatin1String(kTruePeak),
         [](ConverterWindow& w, const QString& a) { w.ChangeOutput(kTruePeak, a); }},
        {QLatin1String(kPreventClipping),
         [](ConverterWindow& w, const QString& a) { w.ChangeOutput(kPreventClipping, a); }},
        {QLatin1String(kConvert), [](ConverterWindow& w, const QString&) { w.Convert(); }},
        {QLatin1String(kHelp), [](ConverterWindow& w, const QString&) { w.OpenHelp(); }},
        {QLatin1String(kSameDirectory),
         [](ConverterWindow& w, const QString&) { w.outputFolder_.clear(); }},
        {QLatin1String(kSelected),
         [](ConverterWindow& w, const QString&) { w.settings_.deleteSources = true; }},
        {QLatin1String(kUnSelected),
         [](ConverterWindow& w, const QString&) { w.settings_.deleteSources = false; }},
        {QLatin1String(kAbout), [](ConverterWindow& w, const QString&) { w.ShowVersion(); }},
        {QLatin1String(kPlayer), [](ConverterWindow& w, const QString&) { w.StartPlayer(); }},
    }};
    Dispatch(kTable, command, args, [&](Handler handler) { handler(*this, args); });
}

// What the face shows of a row: its file, and a track's number and name.
static QString RowText(const SourceRow& row) {
    return Readable(row.path) +
           (row.track ? QStringLiteral(" — %1. %2").arg(row.track->number).arg(row.track->shown)
                      : QString());
}

bool ConverterWindow::Acceptable(const SourceRow& row, QStringList& listed) {
    const QString& path = row.path;
    for (qsizetype i = 0; i < files_.size(); ++i) {
        const SourceRow existing{files_[i], subfolders_[i], tracks_[i]};
        if (RowKey(existing) == RowKey(row)) {
            listed << RowText(row);
            return false;
        }
    }
    if (!IsReadableFile(path)) {
        p_.messages.Show(QStringLiteral("File:'") + Readable(path) +
                         QStringLiteral("' does not exist or cannot be read, therefore the list "
                                        "will not contain it."));
        return false;
    }
    if (FileSize(path) == 0) {
        p_.messages.Show(QStringLiteral("File:'") + Readable(path) +
                         QStringLiteral("' has zero byte therefor the list will not contain it."));
        return false;
    }
    return true;
}

void ConverterWindow::AddFiles() {
    const QStringList picked = PickFiles(p_.dialog, p_.messages, QStringLiteral("Input Audio File"),
                                         kConverterFilter, StartFolder());
    if (!picked.isEmpty())
        lastFolder_ = FolderOf(picked.front());
    AddFileRows(picked);
}

void ConverterWindow::AddFileRows(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    // A sheet, or an image whose tags hold one, stands for its tracks; finding out
    // opens each file, on a worker.
    p_.background.Run([this, paths]() -> Background::Then {
        std::vector<SourceRow> rows;
        QStringList problems;
        SheetsBeside beside;
        for (const QString& picked : paths) {
            // As the system resolves it, and exactly that name: no blank trimmed.
            const QString path = ResolvedPath(picked);
            if (IsOurTemporary(FileName(path, u'/')))
                continue; // a leftover of a run that was killed
            if (path.isEmpty() || !IsReadableFile(path)) {
                rows.push_back({path, QString()});
                continue;
            }
            const std::vector<SourceRow> found = beside.RowsOf(path, QString(), problems);
            rows.insert(rows.end(), found.begin(), found.end());
        }
        // A sheet and its image added together: its tracks once.
        KeepFirstOfEachKey(rows);
        return [this, rows = std::move(rows), problems] {
            for (const QString& problem : problems)
                p_.messages.Show(problem);
            AddRows(rows);
        };
    });
}

void ConverterWindow::AddFolder() {
    const QString folder = p_.folders.Choose(QStringLiteral("Add Folder"), StartFolder());
    if (folder.isEmpty())
        return;
    lastFolder_ = folder;
    AddPaths({folder});
}

void ConverterWindow::AddPaths(const QStringList& paths) {
    QStringList files;
    for (const QString& path : paths)
        if (!IsFolder(path))
            files << path;
    AddFileRows(files);
    for (const QString& path : paths)
        if (IsFolder(path))
            ScanAndAdd(ResolvedPath(path));
}

void ConverterWindow::ScanAndAdd(const QString& folder) {
    // Walking and probing a library, and reading its sheets, take a while: the face
    // answers meanwhile.
    p_.background.Run([this, folder]() -> Background::Then {
        const LibraryScan scan = ScanFolder(folder);
        QStringList problems;
        SheetsBeside beside;
        std::vector<SourceRow> rows = RowsOfScan(scan, problems, beside);
        return [this, scan, rows = std::move(rows), problems] {
            const int before = static_cast<int>(files_.size());
            AddRows(rows, PassedOver(scan));
            for (const QString& problem : problems)
                p_.messages.Show(problem);
            if (const QString report = ScanReport(static_cast<int>(files_.size()) - before, scan);
                !report.isEmpty())
                p_.messages.Show(report);
        };
    });
}

void ConverterWindow::AddRows(const std::vector<SourceRow>& rows, const QString& passedOver) {
    QStringList added;
    QStringList listed;
    for (const SourceRow& row : rows) {
        if (row.path.isEmpty() || !Acceptable(row, listed))
            continue;
        files_.append(row.path);
        subfolders_.append(row.subfolder);
        tracks_.push_back(row.track);
        added << RowText(row);
    }
    // The face shows the rows as given: the text is the row's, already readable.
    if (!added.isEmpty()) {
        SetWithTrigger(p_.face, QStringLiteral("_root.AddedFiles"), JoinFaceList(added),
                       QStringLiteral("_root.SetAddedFiles"));
        ShowListStatus(passedOver);
    }
    // Files already listed are told once for the whole add.
    if (listed.size() == 1)
        p_.messages.Show(QStringLiteral("File:") + listed.front() +
                         QStringLiteral("already exist in your list"));
    else if (!listed.isEmpty())
        p_.messages.Show(QStringLiteral("These files already exist in your list:\n") +
                         listed.join(QLatin1Char('\n')));
}

void ConverterWindow::Remove(const QString& args) {
    if (files_.isEmpty())
        return;
    if (args == kUndefined) {
        p_.messages.Show(QStringLiteral("Please Select File to remove"));
        return;
    }
    // The face has already removed its own row; a row that is not one of ours is ignored.
    bool whole = false;
    const int row = args.trimmed().toInt(&whole);
    if (whole && row >= 0 && row < files_.size()) {
        files_.removeAt(row);
        subfolders_.removeAt(row);
        tracks_.erase(tracks_.begin() + row);
    }
}

void ConverterWindow::RemoveAll() {
    if (files_.isEmpty())
        return;
    if (!p_.messages.AskYesNo(QStringLiteral("Are You Sure?")))
        return;
    p_.face.SetVariable(QLatin1String(converter_face::kClearList), QStringLiteral("1"));
    files_.clear();
    subfolders_.clear();
    tracks_.clear();
    ShowListStatus({});
}

void ConverterWindow::ShowListStatus(const QString& status) {
    if (status == listStatus_)
        return;
    listStatus_ = status;
    p_.face.SetVariable(QLatin1String(converter_face::kListStatus), status);
}

void ConverterWindow::ChooseOutputFolder() {
    const QString folder = p_.folders.Choose(
        QStringLiteral("Output Path"), outputFolder_.isEmpty() ? StartFolder() : outputFolder_);
    if (folder.isEmpty())
        return;
    outputFolder_ = folder;
    SetWithTrigger(p_.face, QLatin1String(converter_face::kBrowsePath), Readable(folder),
                   QLatin1String(converter_face::kSetBrowsePath));
}

void ConverterWindow::SetTarget(const QString& args) {
    // Only a format the converter writes: another name would give its extension
    // to a file of some other format.
    if (!FormatNamed(args)) {
        qCWarning(lcConverter) << "no such target format:" << args;
        return;
    }
    settings_.targetName = args;
    ShowQualities();
}

void ConverterWindow::ShowQualities() {
    using namespace converter_face;
    const TargetFormat format = *FormatNamed(settings_.targetName);
    const QString chosen = qualities_.value(settings_.targetName, DefaultQualityOf(format));
    settings_.quality = QualityNamed(format, chosen).value_or(Quality{});
    p_.face.SetVariable(QLatin1String(kFillQuality), QualitiesOf(format).join(QLatin1Char('|')));
    SetWithTrigger(p_.face, QLatin1String(kQualityValue), chosen, QLatin1String(kSetQuality));
}

void ConverterWindow::SetQuality(const QString& text) {
    const TargetFormat format = *FormatNamed(settings_.targetName);
    if (text.isEmpty() || !QualityNamed(format, text)) {
        qCWarning(lcConverter) << "no such quality for" << settings_.targetName << ":" << text;
        return;
    }
    qualities_.insert(settings_.targetName, text.trimmed().toLower());
    settings_.quality = *QualityNamed(format, text);
}

void ConverterWindow::SetReplayGain(bool on) {
    settings_.replayGain = on;
}

void ConverterWindow::SetPattern(const QString& text) {
    const QString pattern = text == kUndefined ? QString() : text.trimmed();
    if (!pattern.isEmpty()) {
        if (const QString problem = PatternProblem(pattern); !problem.isEmpty()) {
            p_.messages.Show(QStringLiteral("The naming pattern cannot be used: ") + problem);
            // The face shows the pattern still in force.
            p_.face.SetVariable(QLatin1String(converter_face::kPatternText), settings_.pattern);
            return;
        }
    }
    settings_.pattern = pattern;
}

QString ConverterWindow::StartFolder() const {
    if (!lastFolder_.isEmpty() && IsFolder(lastFolder_))
        return lastFolder_;
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    return IsFolder(music) ? music : QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
}

ConverterWindow::Remembered ConverterWindow::Remember() const {
    return {settings_.targetName, qualities_,        settings_.replayGain,
            outputFolder_,        settings_.pattern, settings_.skipExisting,
            lastFolder_,          settings_.output};
}

void ConverterWindow::Restore(const Remembered& state) {
    using namespace converter_face;
    if (FormatNamed(state.format)) {
        settings_.targetName = state.format;
        p_.face.SetVariable(QLatin1String(kFormat), state.format);
    }
    // Only what each format takes: a hand-edited file may hold anything.
    qualities_.clear();
    for (auto it = state.qualities.begin(); it != state.qualities.end(); ++it)
        if (const auto format = FormatNamed(it.key());
            format && !it.value().isEmpty() && QualityNamed(*format, it.value()))
            qualities_.insert(it.key(), it.value());
    settings_.replayGain = state.replayGain;
    p_.face.SetVariable(QLatin1String(kReplayGainOn),
                        state.replayGain ? QStringLiteral("1") : QStringLiteral("0"));
    ShowQualities();
    // An output folder that is gone since means beside the sources.
    if (!state.outputFolder.isEmpty() && IsFolder(state.outputFolder)) {
        outputFolder_ = state.outputFolder;
        SetWithTrigger(p_.face, QLatin1String(kBrowsePath), Readable(outputFolder_),
                       QLatin1String(kSetBrowsePath));
    }
    if (state.pattern.isEmpty() || PatternProblem(state.pattern).isEmpty()) {
        settings_.pattern = state.pattern;
        p_.face.SetVariable(QLatin1String(kPatternText), state.pattern);
    }
    settings_.skipExisting = state.skipExisting;
    p_.face.SetVariable(QLatin1String(kSkipExistingOn),
                        state.skipExisting ? QStringLiteral("1") : QStringLiteral("0"));
    lastFolder_ = state.lastFolder;
    SetOutputOptions(state.output);
}

void ConverterWindow::ChangeOutput(const char* command, const QString& args) {
    using namespace converter_face;
    // A choice it does not know leaves the option as it was; "on" turns a switch on.
    OutputOptions output = settings_.output;
    OutputShape& shape = output.shape;
    const QLatin1String name(command);
    const bool on = args == QLatin1String("on");
    if (name == QLatin1String(kRate))
        shape.rate = ChoiceNamed(kRateChoices, args).value_or(shape.rate);
    else if (name == QLatin1String(kChannels))
        shape.channels = ChoiceNamed(kChannelChoices, args).value_or(shape.channels);
    else if (name == QLatin1String(kBits))
        shape.bits = ChoiceNamed(kBitChoices, args).value_or(shape.bits);
    else if (name == QLatin1String(kCopySame))
        output.copySame = on;
    else if (name == QLatin1String(kKeepTimes))
        output.keepTimes = on;
    else if (name == QLatin1String(kAcceptDamaged))
        output.acceptDamaged = on;
    else if (name == QLatin1String(kId3v23))
        output.id3v23 = on;
    else if (name == QLatin1String(kTruePeak))
        output.truePeak = on;
    else if (name == QLatin1String(kPreventClipping))
        output.preventClipping = on;
    SetOutputOptions(output);
}

void ConverterWindow::SetOutputOptions(const OutputOptions& output) {
    using namespace converter_face;
    settings_.output = output;
    const auto onOff = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    p_.face.SetVariable(QLatin1String(kRateValue), ChoiceName(kRateChoices, output.shape.rate));
    p_.face.SetVariable(QLatin1String(kChannelsValue),
                        ChoiceName(kChannelChoices, output.shape.channels));
    p_.face.SetVariable(QLatin1String(kBitsValue), ChoiceName(kBitChoices, output.shape.bits));
    p_.face.SetVariable(QLatin1String(kCopySameOn), onOff(output.copySame));
    p_.face.SetVariable(QLatin1String(kKeepTimesOn), onOff(output.keepTimes));
    p_.face.SetVariable(QLatin1String(kAcceptDamagedOn), onOff(output.acceptDamaged));
    p_.face.SetVariable(QLatin1String(kId3v23On), onOff(output.id3v23));
    p_.face.SetVariable(QLatin1String(kTruePeakOn), onOff(output.truePeak));
    p_.face.SetVariable(QLatin1String(kPreventClippingOn), onOff(output.preventClipping));
}

void ConverterWindow::Convert() {
    if (files_.isEmpty())
        return;
    p_.form.RemoveFilter();
    p_.conversion.ShowModal();
    // The main window takes its filter back when it is active again; a conversion
    // window that closed before it was ever shown gives no activation, so take it now.
    Activated();
}

void ConverterWindow::OpenHelp() {
    p_.shell.Open(p_.programFolder + QStringLiteral("/VeluneC.html"));
}

void ConverterWindow::ShowVersion() {
    p_.face.SetVariable(QLatin1String(converter_face::kVersionNo), VersionText());
}

void ConverterWindow::StartPlayer() {
    p_.shell.Start(p_.programFolder + QStringLiteral("/VelunePlayer"));
}

} // namespace velune
