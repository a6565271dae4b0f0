// The converter's main window driven through its command table: refused or doubled
// rows, writes to the face out of order, a second copy let in, commands misread.
#include "conversion_window.h"
#include "fakes.h"
#include "mainfrm.h"
#include "media.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velune;
using namespace velune::test;

namespace {

class RecordingConversion : public ConversionWindow {
public:
    RecordingConversion(QStringList& calls, VeluneMod& mod) : calls_(calls), mod_(mod) {}
    void ShowModal() override {
        calls_ << u"show"_s;
        mod_.ConversionWindowOpen = true;
    }
    void Unload() override {
        calls_ << u"unload"_s;
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
                                  u"/opt/velune"_s}) {}

    QString Audio(const QString& name, const QByteArray& bytes = "RIFF....WAVE") {
        EXPECT_TRUE(WriteFile(dir.filePath(name), bytes));
        return dir.filePath(name);
    }
    void Loaded() {
        ASSERT_TRUE(frm.Form_Load());
        face.writes.clear();
        form.calls.clear();
    }
    void Cmd(const QString& command, const QString& args = u"undefined"_s) {
        frm.Flash_FSCommand(command, args);
    }
    void Add(const QStringList& paths) {
        dialog.Choose(paths);
        Cmd(u"IDC_FS_Add"_s);
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
    EXPECT_EQ(face.loaded, std::vector<QString>{u"0:/opt/velune/VeluneC.qml"_s});
    EXPECT_EQ(form.calls, (QStringList{u"geometry"_s, u"hook"_s}));
    EXPECT_EQ(form.position, QPoint(0, 0));
    EXPECT_EQ(form.windowSize, QSize(620, 520));
    EXPECT_EQ(form.faceSize, QSize(620, 520));
    EXPECT_EQ(face.writes, (QStringList{u"_root.FillCombo=wav|mp3|ogg"_s, u"_root.SetCombo=1"_s,
                                        u"_root.VersionNo=Version No.:1.0.0.0"_s}));
    EXPECT_EQ(mod.TargetFormat, u"wav"_s);
    EXPECT_FALSE(mod.DeleteSource);
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(MainWindow, ASecondCopyOrAFaceThatCannotLoadIsToldAndNothingElseRuns) {
    lock.free = false;
    EXPECT_FALSE(frm.Form_Load());
    EXPECT_EQ(messages.shown, QStringList{u"The program already opening"_s});
    EXPECT_TRUE(face.loaded.empty());

    lock.free = true;
    face.loads = false;
    EXPECT_FALSE(frm.Form_Load());
    ASSERT_EQ(messages.shown.size(), 2);
    EXPECT_TRUE(messages.shown[1].contains(u"/opt/velune/VeluneC.qml"_s)) << messages.shown[1];
    EXPECT_TRUE(face.writes.isEmpty());
    EXPECT_TRUE(form.calls.isEmpty());
}

TEST_F(MainWindow, WindowCommandsMatchTheirNamesExactly) {
    Loaded();
    for (const QString& command :
         {u"IDC_FS_Minimize"_s, u"IDC_FS_Drag"_s, u"idc_fs_close"_s, u"IDC_FS_Close "_s})
        Cmd(command);
    EXPECT_EQ(form.calls, (QStringList{u"minimize"_s, u"drag"_s}));
    Cmd(u"IDC_FS_Close"_s);
    EXPECT_EQ(form.calls.back(), u"end"_s);
    EXPECT_TRUE(face.writes.isEmpty());
}

TEST_F(MainWindow, AddAppendsAcceptedPathsInOrderAndTellsTheFaceOnce) {
    Loaded();
    Cmd(u"IDC_FS_Add"_s); // the dialog cancelled: nothing
    EXPECT_EQ(dialog.titles.back(), u"Input Audio File"_s);
    EXPECT_EQ(dialog.filters.back(), kConverterFilter);
    const QString a = Audio(u"a.wav"_s);
    const QString b = Audio(u"b b.mp3"_s);
    const QString c = Audio(u"Ç'est.ogg"_s);
    Add({a});
    face.writes.clear();

    // The second is already listed: one message, the others still go in, in order.
    Add({b, a, c});
    EXPECT_EQ(messages.shown, QStringList{u"File:"_s + a + u"already exist in your list"_s});
    EXPECT_EQ(frm.LstFiles(), (QStringList{a, b, c}));
    EXPECT_EQ(face.writes,
              (QStringList{u"_root.AddedFiles="_s + b + u'|' + c, u"_root.SetAddedFiles=1"_s}));
}

TEST_F(MainWindow, EmptyMissingAndUnreadablePathsAreRefusedByName) {
    Loaded();
    const QString good = Audio(u"good.wav"_s);
    const QString empty = Audio(u"empty.wav"_s, {});
    const QString missing = dir.filePath(u"gone.wav"_s);
    const QString folder = dir.filePath(u"folder.wav"_s);
    QDir().mkpath(folder);
    Add({empty, missing, folder});
    EXPECT_TRUE(face.writes.isEmpty());
    Add({good});
    ASSERT_EQ(messages.shown.size(), 3);
    EXPECT_EQ(messages.shown[0],
              u"File:'"_s + empty + u"' has zero byte therefor the list will not contain it."_s);
    EXPECT_TRUE(messages.shown[1].contains(u'\'' + missing + u'\'')) << messages.shown[1];
    EXPECT_TRUE(messages.shown[2].contains(u'\'' + folder + u'\'')) << messages.shown[2];
    EXPECT_EQ(frm.LstFiles(), QStringList{good});
}

TEST_F(MainWindow, RemoveTakesTheRowTheFaceRemovedAndIgnoresAnythingElse) {
    Loaded();
    Cmd(u"IDC_FS_Remove"_s); // an empty list: not even the message
    const QString a = Audio(u"a.wav"_s);
    const QString c = Audio(u"c.wav"_s);
    Add({a, Audio(u"b.wav"_s), c});
    face.writes.clear();
    for (const QString& bad : {u"3"_s, u"-1"_s, u"1.5"_s, u"x"_s, QString(), u"70000"_s})
        Cmd(u"IDC_FS_Remove"_s, bad);
    EXPECT_EQ(frm.LstFiles().size(), 3);
    EXPECT_TRUE(messages.shown.isEmpty());

    Cmd(u"IDC_FS_Remove"_s);
    EXPECT_EQ(messages.shown, QStringList{u"Please Select File to remove"_s});
    Cmd(u"IDC_FS_Remove"_s, u"1"_s);
    EXPECT_EQ(frm.LstFiles(), (QStringList{a, c}));
    Cmd(u"IDC_FS_Remove"_s, u"0"_s);
    EXPECT_EQ(frm.LstFiles(), QStringList{c});
    EXPECT_TRUE(face.writes.isEmpty());
}

TEST_F(MainWindow, RemoveAllAsksFirst) {
    Loaded();
    Cmd(u"IDC_FS_RemoveAll"_s);
    EXPECT_TRUE(messages.asked.isEmpty());

    const QString a = Audio(u"a.wav"_s);
    Add({a});
    face.writes.clear();
    messages.answers = {false, true};
    Cmd(u"IDC_FS_RemoveAll"_s);
    EXPECT_EQ(messages.asked, QStringList{u"Are You Sure?"_s});
    EXPECT_EQ(frm.LstFiles(), QStringList{a});
    Cmd(u"IDC_FS_RemoveAll"_s);
    EXPECT_TRUE(frm.LstFiles().isEmpty());
    EXPECT_EQ(face.writes, QStringList{u"_root.RemoveAll=1"_s});
    // The same file may be added again afterwards.
    Add({a});
    EXPECT_EQ(frm.LstFiles(), QStringList{a});
}

TEST_F(MainWindow, BrowseSameDirectoryFormatAndDeleteOption) {
    Loaded();
    Cmd(u"IDC_FS_Browse"_s); // cancelled
    EXPECT_EQ(folders.titles, QStringList{u"Output Path"_s});
    EXPECT_TRUE(face.writes.isEmpty());
    folders.answer = u"/home/me/Bob's Music"_s;
    Cmd(u"IDC_FS_Browse"_s);
    EXPECT_EQ(frm.TxtOut(), folders.answer);
    EXPECT_EQ(face.writes, (QStringList{u"_root.BrowsePath=/home/me/Bob's Music"_s,
                                        u"_root.SetBrowsePath=1"_s}));
    Cmd(u"IDC_FS_SameDirectory"_s);
    EXPECT_TRUE(frm.TxtOut().isEmpty());

    for (const QString& format : {u"mp3"_s, u"undefined"_s, u"flac"_s})
        Cmd(u"IDC_FS_ConvertTo"_s, format);
    EXPECT_EQ(mod.TargetFormat, u"mp3"_s);

    Cmd(u"IDC_FS_Selected"_s);
    EXPECT_TRUE(mod.DeleteSource);
    Cmd(u"IDC_FS_UnSelected"_s);
    EXPECT_FALSE(mod.DeleteSource);
}

TEST_F(MainWindow, HelpPlayerAndAbout) {
    Loaded();
    for (const QString& command : {u"IDC_FS_Help"_s, u"IDC_FS_Player"_s, u"IDC_FS_About"_s})
        Cmd(command);
    EXPECT_EQ(shell.opened, QStringList{u"/opt/velune/VeluneC.html"_s});
    EXPECT_EQ(shell.started, QStringList{u"/opt/velune/VelunePlayer"_s});
    EXPECT_EQ(face.writes, QStringList{u"_root.VersionNo=Version No.:1.0.0.0"_s});
}

TEST_F(MainWindow, ConvertUnhooksShowsTheRunAndActivationHooksAgain) {
    Loaded();
    Cmd(u"IDC_FS_Convert"_s); // nothing to convert
    Add({Audio(u"a.wav"_s)});
    frm.Form_Activate();
    EXPECT_TRUE(form.calls.isEmpty());
    Cmd(u"IDC_FS_Convert"_s);
    frm.Form_Activate();
    frm.Form_Activate();
    EXPECT_EQ(form.calls, (QStringList{u"unhook"_s, u"show"_s, u"unload"_s, u"hook"_s}));
}

} // namespace
