#include "mainfrm.h"

#include "conversion_window.h"
#include "converter_protocol.h"
#include "face.h"
#include "folder_chooser.h"
#include "form.h"
#include "instance_lock.h"
#include "messages.h"
#include "names.h"
#include "picker.h"
#include "shell.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <array>
#include <utility>

Q_DECLARE_LOGGING_CATEGORY(lcConverter)

namespace velune {

namespace {
const QSize kWindowSize{620, 520};
const QString kUndefined = QStringLiteral("undefined");
} // namespace

bool MainFrm::Form_Load() {
    if (!p_.instance.TryLock()) {
        p_.messages.Show(QStringLiteral("The program already opening"));
        return false;
    }
    const QString movie = p_.programFolder + QStringLiteral("/VeluneC.qml");
    if (!p_.flash.LoadMovie(0, movie)) {
        p_.messages.Show(FaceLoadFailure(movie));
        return false;
    }
    p_.form.SetGeometry(QPoint(0, 0), kWindowSize, kWindowSize);
    SetWithTrigger(p_.flash, QLatin1String(mainfrm_face::kFillCombo), kOfferedFormats,
                   QLatin1String(mainfrm_face::kSetCombo));
    p_.flash.SetVariable(QLatin1String(mainfrm_face::kVersionNo), VersionText());
    mod_.TargetFormat = QStringLiteral("wav");
    p_.form.HookFlash();
    mod_.ConversionWindowOpen = false;
    return true;
}

void MainFrm::Form_Activate() {
    if (!mod_.ConversionWindowOpen)
        return;
    p_.conversion.Unload();
    p_.form.HookFlash();
}

void MainFrm::Flash_FSCommand(const QString& command, const QString& args) {
    using namespace mainfrm_face;
    using Handler = void (MainFrm::*)(const QString&);
    static const CommandTable<Handler, 15> kTable{{
        {QLatin1String(kClose), &MainFrm::Close},
        {QLatin1String(kMinimize), &MainFrm::Minimize},
        {QLatin1String(kAdd), &MainFrm::AddFiles},
        {QLatin1String(kRemove), &MainFrm::Remove},
        {QLatin1String(kRemoveAll), &MainFrm::RemoveAll},
        {QLatin1String(kDrag), &MainFrm::Drag},
        {QLatin1String(kBrowse), &MainFrm::Browse},
        {QLatin1String(kConvertTo), &MainFrm::ConvertTo},
        {QLatin1String(kConvert), &MainFrm::Convert},
        {QLatin1String(kHelp), &MainFrm::Help},
        {QLatin1String(kSameDirectory), &MainFrm::SameDirectory},
        {QLatin1String(kSelected), &MainFrm::Selected},
        {QLatin1String(kUnSelected), &MainFrm::UnSelected},
        {QLatin1String(kAbout), &MainFrm::About},
        {QLatin1String(kPlayer), &MainFrm::Player},
    }};
    Dispatch(kTable, command, args, [&](Handler handler) { (this->*handler)(args); });
}

void MainFrm::Close(const QString&) {
    p_.form.EndProgram();
}

void MainFrm::Minimize(const QString&) {
    p_.form.Minimize();
}

void MainFrm::AddFiles(const QString&) {
    Add_Click();
}

bool MainFrm::Acceptable(const QString& path) {
    if (Existfile(LstFiles_, path)) {
        p_.messages.Show(QStringLiteral("File:") + path +
                         QStringLiteral("already exist in your list"));
        return false;
    }
    const QFileInfo info(path);
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
        p_.messages.Show(QStringLiteral("File:'") + path +
                         QStringLiteral("' does not exist or cannot be read, therefore the list "
                                        "will not contain it."));
        return false;
    }
    if (info.size() == 0) {
        p_.messages.Show(QStringLiteral("File:'") + path +
                         QStringLiteral("' has zero byte therefor the list will not contain it."));
        return false;
    }
    return true;
}

void MainFrm::Add_Click() {
    mod_.PickedFiles.clear();
    mod_.PickedFiles =
        ShowDialog(p_.dialog, p_.messages, QStringLiteral("Input Audio File"), kConverterFilter);
    if (GetArrayDim(mod_.PickedFiles) < 1)
        return;
    QStringList added;
    for (const QString& path : std::as_const(mod_.PickedFiles)) {
        if (path.isEmpty() || !Acceptable(path))
            continue;
        LstFiles_.append(path);
        added << path;
    }
    updateFlashList(p_.flash, added);
}

void MainFrm::Remove(const QString& args) {
    if (LstFiles_.isEmpty())
        return;
    if (args == kUndefined) {
        p_.messages.Show(QStringLiteral("Please Select File to remove"));
        return;
    }
    // The face has already removed its own row; a row that is not one of ours is ignored.
    bool whole = false;
    const int row = args.trimmed().toInt(&whole);
    if (whole && row >= 0 && row < LstFiles_.size())
        LstFiles_.removeAt(row);
}

void MainFrm::RemoveAll(const QString&) {
    if (LstFiles_.isEmpty())
        return;
    if (!p_.messages.AskYesNo(QStringLiteral("Are You Sure?")))
        return;
    p_.flash.SetVariable(QLatin1String(mainfrm_face::kClearList), QStringLiteral("1"));
    LstFiles_.clear();
}

void MainFrm::Drag(const QString&) {
    p_.form.DragWindow();
}

void MainFrm::Browse(const QString&) {
    const QString folder = p_.folders.Choose(QStringLiteral("Output Path"), QString());
    if (folder.isEmpty())
        return;
    TxtOut_ = folder;
    SetWithTrigger(p_.flash, QLatin1String(mainfrm_face::kBrowsePath), folder,
                   QLatin1String(mainfrm_face::kSetBrowsePath));
}

void MainFrm::ConvertTo(const QString& args) {
    // Only a format the converter writes: another name would give its extension
    // to a file of some other format.
    if (FormatNamed(args))
        mod_.TargetFormat = args;
    else
        qCWarning(lcConverter) << "no such target format:" << args;
}

void MainFrm::Convert(const QString&) {
    if (LstFiles_.isEmpty())
        return;
    p_.form.UnhookFlash();
    p_.conversion.ShowModal();
    // The main window takes its hook back when it is active again; a conversion
    // window that closed before it was ever shown gives no activation, so take it now.
    Form_Activate();
}

void MainFrm::Help(const QString&) {
    p_.shell.Open(p_.programFolder + QStringLiteral("/VeluneC.html"));
}

void MainFrm::SameDirectory(const QString&) {
    TxtOut_.clear();
}

void MainFrm::Selected(const QString&) {
    mod_.DeleteSource = true;
}

void MainFrm::UnSelected(const QString&) {
    mod_.DeleteSource = false;
}

void MainFrm::About(const QString&) {
    p_.flash.SetVariable(QLatin1String(mainfrm_face::kVersionNo), VersionText());
}

void MainFrm::Player(const QString&) {
    p_.shell.Start(p_.programFolder + QStringLiteral("/VelunePlayer"));
}

} // namespace velune
