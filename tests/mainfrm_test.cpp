// The converter's main window driven through its command table.
#include "conversion_window.h"
#include "fakes.h"
#include "mainfrm.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velune;
using namespace velune::test;

namespace {

class RecordingConversion : public ConversionWindow {
public:
    explicit RecordingConversion(QStringList& calls, VeluneMod& mod) : calls_(calls), mod_(mod) {}
    void ShowModal() override {
        calls_ << QStringLiteral("show");
        mod_.ConversionWindowOpen = true;
    }
    void Unload() override {
        calls_ << QStringLiteral("unload");
        mod_.ConversionWindowOpen = false;
    }

private:
    QStringList& calls_;
    VeluneMod& mod_;
};

class MainWindow : public ::testing::Test {
protected:
    MainWindow()
        : conversion(form.calls, mod),
          frm(mod, MainFrm::Parts{face, form, messages, dialog, folders, shell, lock, conversion,
                                  QStringLiteral("/opt/velune")}) {}

    QString Audio(const QString& name, QByteArray bytes = "RIFF....WAVE") {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    void Loaded() {
        ASSERT_TRUE(frm.Form_Load());
        face.writes.clear();
        form.calls.clear();
    }
    void Add(const QStringList& paths) {
        dialog.Choose(paths);
        frm.Flash_FSCommand(QStringLiteral("IDC_FS_Add"), QStringLiteral("undefined"));
    }

    QTemporaryDir dir;
    VeluneMod mod;
    RecordingFace face;
    RecordingForm form;
    ScriptedMessages messages;
    ScriptedDialog dialog;
    ScriptedFolders folders;
    RecordingShell shell;
    ScriptedLock lock;
    RecordingConversion conversion;
    MainFrm frm;
};

TEST_F(MainWindow, StartUpLoadsTheFaceAtTheTopLeftAndWritesFormatsThenVersion) {
    ASSERT_TRUE(frm.Form_Load());
    EXPECT_EQ(face.loaded, std::vector<QString>{QStringLiteral("0:/opt/velune/VeluneC.qml")});
    EXPECT_EQ(form.calls, (QStringList{QStringLiteral("geometry"), QStringLiteral("hook")}));
    EXPECT_EQ(form.position, QPoint(0, 0));
    EXPECT_EQ(form.windowSize, QSize(620, 520));
    EXPECT_EQ(form.faceSize, QSize(620, 520));
    EXPECT_EQ(face.writes, (QStringList{QStringLiteral("_root.FillCombo=wav|mp3|ogg"),
                                        QStringLiteral("_root.SetCombo=1"),
                                        QStringLiteral("_root.VersionNo=Version No.:1.0.0.0")}));
    EXPECT_EQ(mod.TargetFormat, QStringLiteral("wav"));
    EXPECT_FALSE(mod.DeleteSource);
    EXPECT_FALSE(mod.ConversionWindowOpen);
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(MainWindow, ASecondCopyIsToldAndNothingElseRuns) {
    lock.free = false;
    EXPECT_FALSE(frm.Form_Load());
    EXPECT_EQ(messages.shown, QStringList{QStringLiteral("The program already opening")});
    EXPECT_TRUE(face.loaded.empty());
    EXPECT_TRUE(form.calls.isEmpty());
}

TEST_F(MainWindow, AFaceThatCannotLoadIsNamedAndTheProgramEnds) {
    face.loads = false;
    EXPECT_FALSE(frm.Form_Load());
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].contains(QStringLiteral("/opt/velune/VeluneC.qml")));
    EXPECT_TRUE(face.writes.isEmpty());
    EXPECT_TRUE(form.calls.isEmpty());
}

TEST_F(MainWindow, WindowCommandsAndUnknownNames) {
    Loaded();
    frm.Flash_FSCommand(QStringLiteral("IDC_FS_Minimize"), QStringLiteral("undefined"));
    frm.Flash_FSCommand(QStringLiteral("IDC_FS_Drag"), QStringLiteral("undefined"));
    frm.Flash_FSCommand(QStringLiteral("idc_fs_close"), QStringLiteral("undefined"));
    frm.Flash_FSCommand(QStringLiteral("IDC_FS_Close "), QStringLiteral("undefined"));
    EXPECT_EQ(form.calls, (QStringList{QStringLiteral("minimize"), QStringLiteral("drag")}));
    frm.Flash_FSCommand(QStringLiteral("IDC_FS_Close"), QStringLiteral("undefined"));
    EXPECT_EQ(form.calls.back(), QStringLiteral("end"));
    EXPECT_TRUE(face.writes.isEmpty());
}

TEST_F(MainWindow, AddAppendsAcceptedPathsAndTellsTheFaceOnce) {
    Loaded();
    const QString a = Audio(QStringLiteral("a.wav"));
    const QString b = Audio(QStringLiteral("b b.mp3"));
    const QString c = Audio(QStringLiteral("Ç'est.ogg"));
    Add({a});
    EXPECT_EQ(dialog.titles.back(), QStringLiteral("Input Audio File"));
    EXPECT_EQ(dialog.filters.back(), kConverterFilter);
    face.writes.clear();

    // The second is already listed: one message, the others still go in, in order.
    Add({b, a, c});
    EXPECT_EQ(messages.shown, QStringList{QStringLiteral("File:") + a +
                                          QStringLiteral("already exist in your list")});
    EXPECT_EQ(frm.LstFiles(), (QStringList{a, b, c}));
    EXPECT_EQ(face.writes,
              (QStringList{QStringLiteral("_root.AddedFiles=") + b + QLatin1Char('|') + c,
                           QStringLiteral("_root.SetAddedFiles=1")}));
}

TEST_F(MainWindow, EmptyMissingAndUnreadablePathsAreRefusedByName) {
    Loaded();
    const QString good = Audio(QStringLiteral("good.wav"));
    const QString empty = Audio(QStringLiteral("empty.wav"), QByteArray());
    const QString missing = dir.filePath(QStringLiteral("gone.wav"));
    const QString folder = dir.filePath(QStringLiteral("folder.wav"));
    QDir().mkpath(folder);
    Add({empty, missing, folder, good});
    ASSERT_EQ(messages.shown.size(), 3);
    EXPECT_EQ(messages.shown[0],
              QStringLiteral("File:'") + empty +
                  QStringLiteral("' has zero byte therefor the list will not contain it."));
    EXPECT_TRUE(messages.shown[1].contains(QLatin1Char('\'') + missing + QLatin1Char('\'')));
    EXPECT_TRUE(messages.shown[2].contains(QLatin1Char('\'') + folder + QLatin1Char('\'')));
    EXPECT_EQ(frm.LstFiles(), QStringList{good});
    EXPECT_EQ(face.writes, (QStringList{QStringLiteral("_root.AddedFiles=") + good,
                                        QStringLiteral("_root.SetAddedFiles=1")}));

    // Only refused paths: messages, no row, nothing written.
    face.writes.clear();
    messages.shown.clear();
    Add({empty, good});
    EXPECT_EQ(messages.shown.size(), 2);
    EXPECT_TRUE(face.writes.isEmpty());
}

TEST_F(MainWindow, ACancelledDialogChangesNothing) {
    Loaded();
    frm.Flash_FSCommand(QStringLiteral("IDC_FS_Add"), QStringLiteral("undefined"));
    EXPECT_TRUE(frm.LstFiles().isEmpty());
    EXPECT_TRUE(face.writes.isEmpty());
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(MainWindow, RemoveTakesTheRowTheFaceRemovedAndIgnoresAnythingElse) {
    Loaded();
    const QString a = Audio(QStringLiteral("a.wav"));
    const QString b = Audio(QStringLiteral("b.wav"));
    const QString c = Audio(QStringLiteral("c.wav"));
    Add({a, b, c});
    face.writes.clear();
    for (const char* bad : {"3", "-1", "1.5", "x", "", "70000"})
        frm.Flash_FSCommand(QStringLiteral("IDC_FS_Remove"), QString::fromLatin1(bad));
    EXPECT_EQ(frm.LstFiles().size(), 3);
    EXPECT_TRUE(messages.shown.isEmpty());

    frm.Flash_FSCommand(QStringLiteral("IDC_FS_Remove"), QStringLiteral("undefined"));
    EXPECT_EQ(messages.shown, QStringList{QStringLiteral("Please Select File to remove")});

    frm.Flash_FSCommand(QStringLiteral("IDC_FS_Remove"), QStringLiteral("1"));
    EXPECT_EQ(frm.LstFiles(), (QStringList{a, c}));
    frm.Flash_FSCommand(QStringLiteral("IDC_FS_Remove"), QStringLiteral("0"));
    frm.Flash_FSCommand(QStringLiteral("IDC_FS_Remove"), QStringLiteral("0"));
    EXPECT_TRUE(frm.LstFiles().isEmpty());
    EXPECT_TRUE(face.writes.isEmpty());

    // An empty list: nothing at all, not even the message.
    frm.Flash_FSCommand(QStringLiteral("IDC_FS_Remove"), QStringLiteral("undefined"));
    EXPECT_EQ(messages.shown.size(), 1);
}

TEST_F(MainWindow, RemoveAllAsksFirst) {
    Loaded();
    frm.Flash_FSCommand(QStringLiteral("IDC_FS_RemoveAll"), QStringLiteral("undefined"));
    EXPECT_TRUE(messages.asked.isEmpty());

    const QString a = Audio(QStringLiteral("a.wav"));
    Add({a});
    face.writes.clear();
    messages.answers = {false, true};
    frm.Flash_FSCommand(QStringLiteral("IDC_FS_RemoveAll"), QStringLiteral("undefined"));
    EXPECT_EQ(messages.asked, QStringList{QStringLiteral("Are You Sure?")});
    EXPECT_EQ(frm.LstFiles(), QStringList{a});
    EXPECT_TRUE(face.writes.isEmpty());

    frm.Flash_FSCommand(QStringLiteral("IDC_FS_RemoveAll"), QStringLiteral("undefined"));
    EXPECT_TRUE(frm.LstFiles().isEmpty());
    EXPECT_EQ(face.writes, QStringList{QStringLiteral("_root.RemoveAll=1")});

    // The same file may be added again afterwards.
    Add({a});
    EXPECT_EQ(frm.LstFiles(), QStringList{a});
}

TEST_F(MainWindow, BrowseSameDirectoryFormatAndDeleteOption) {
    Loaded();
    frm.Flash_FSCommand(QStringLiteral("IDC_FS_Browse"), QStringLiteral("undefined"));
    EXPECT_EQ(folders.titles, QStringList{QStringLiteral("Output Path")});
    EXPECT_EQ(folders.starts, QStringList{QString()});
    EXPECT_TRUE(frm.TxtOut().isEmpty());
    EXPECT_TRUE(face.writes.isEmpty());

    folders.answer = QStringLiteral("/home/me/Bob's Music");
    frm.Flash_FSCommand(QStringLiteral("IDC_FS_Browse"), QStringLiteral("undefined"));
    EXPECT_EQ(frm.TxtOut(), folders.answer);
    EXPECT_EQ(face.writes, (QStringList{QStringLiteral("_root.BrowsePath=/home/me/Bob's Music"),
                                        QStringLiteral("_root.SetBrowsePath=1")}));
    frm.Flash_FSCommand(QStringLiteral("IDC_FS_SameDirectory"), QStringLiteral("undefined"));
    EXPECT_TRUE(frm.TxtOut().isEmpty());

    frm.Flash_FSCommand(QStringLiteral("IDC_FS_ConvertTo"), QStringLiteral("mp3"));
    EXPECT_EQ(mod.TargetFormat, QStringLiteral("mp3"));
    frm.Flash_FSCommand(QStringLiteral("IDC_FS_ConvertTo"), QStringLiteral("undefined"));
    EXPECT_EQ(mod.TargetFormat, QStringLiteral("mp3"));
    frm.Flash_FSCommand(QStringLiteral("IDC_FS_ConvertTo"), QStringLiteral("flac"));
    EXPECT_EQ(mod.TargetFormat, QStringLiteral("mp3"));

    frm.Flash_FSCommand(QStringLiteral("IDC_FS_Selected"), QStringLiteral("undefined"));
    EXPECT_TRUE(mod.DeleteSource);
    frm.Flash_FSCommand(QStringLiteral("IDC_FS_UnSelected"), QStringLiteral("undefined"));
    EXPECT_FALSE(mod.DeleteSource);
}

TEST_F(MainWindow, HelpPlayerAndAbout) {
    Loaded();
    frm.Flash_FSCommand(QStringLiteral("IDC_FS_Help"), QStringLiteral("undefined"));
    frm.Flash_FSCommand(QStringLiteral("IDC_FS_Player"), QStringLiteral("undefined"));
    frm.Flash_FSCommand(QStringLiteral("IDC_FS_About"), QStringLiteral("undefined"));
    EXPECT_EQ(shell.opened, QStringList{QStringLiteral("/opt/velune/VeluneC.html")});
    EXPECT_EQ(shell.started, QStringList{QStringLiteral("/opt/velune/VelunePlayer")});
    EXPECT_EQ(face.writes, QStringList{QStringLiteral("_root.VersionNo=Version No.:1.0.0.0")});
}

TEST_F(MainWindow, ConvertUnhooksShowsTheRunAndActivationHooksAgain) {
    Loaded();
    frm.Flash_FSCommand(QStringLiteral("IDC_FS_Convert"), QStringLiteral("undefined"));
    EXPECT_TRUE(form.calls.isEmpty());

    Add({Audio(QStringLiteral("a.wav"))});
    frm.Form_Activate();
    EXPECT_TRUE(form.calls.isEmpty());
    frm.Flash_FSCommand(QStringLiteral("IDC_FS_Convert"), QStringLiteral("undefined"));
    frm.Form_Activate();
    frm.Form_Activate();
    EXPECT_EQ(form.calls, (QStringList{QStringLiteral("unhook"), QStringLiteral("show"),
                                       QStringLiteral("unload"), QStringLiteral("hook")}));
}

} // namespace
