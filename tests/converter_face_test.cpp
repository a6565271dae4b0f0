// The converter's real face, loaded offscreen: its controls send their commands
// and it shows what the host writes.
#include "conversion_window.h"
#include "face_driver.h"
#include "fakes.h"
#include "mainfrm.h"
#include "media.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velune;
using namespace velune::test;

namespace {

class ConverterFace : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(face.loaded);
        ASSERT_TRUE(face.exposed);
        face.flash.SetVariable(QStringLiteral("_root.FillCombo"), QStringLiteral("wav|mp3|ogg"));
        face.flash.SetVariable(QStringLiteral("_root.SetCombo"), QStringLiteral("1"));
    }
    void AddRows(const QString& joined) {
        face.flash.SetVariable(QStringLiteral("_root.AddedFiles"), joined);
        face.flash.SetVariable(QStringLiteral("_root.SetAddedFiles"), QStringLiteral("1"));
    }
    int Rows() { return face.Property(QStringLiteral("fileList"), "count").toInt(); }

    FaceDriver face{QStringLiteral("VeluneC.qml")};
};

TEST_F(ConverterFace, IsThe620By520Face) {
    EXPECT_EQ(face.flash.rootObject()->width(), 620);
    EXPECT_EQ(face.flash.rootObject()->height(), 520);
}

TEST_F(ConverterFace, ButtonsSendTheirCommands) {
    const std::vector<std::pair<const char*, const char*>> buttons{
        {"minimizeButton", "IDC_FS_Minimize undefined"},
        {"closeButton", "IDC_FS_Close undefined"},
        {"addButton", "IDC_FS_Add undefined"},
        {"removeAllButton", "IDC_FS_RemoveAll undefined"},
        {"browseButton", "IDC_FS_Browse undefined"},
        {"sameFolderButton", "IDC_FS_SameDirectory undefined"},
        {"convertButton", "IDC_FS_Convert undefined"},
        {"helpButton", "IDC_FS_Help undefined"},
        {"playerButton", "IDC_FS_Player undefined"},
        {"format_mp3", "IDC_FS_ConvertTo mp3"},
        {"format_ogg", "IDC_FS_ConvertTo ogg"},
    };
    for (const auto& [name, command] : buttons) {
        EXPECT_EQ(face.Click(QString::fromLatin1(name)), QStringList{QString::fromLatin1(command)})
            << name;
        EXPECT_FALSE(face.AccessibleName(QString::fromLatin1(name)).isEmpty()) << name;
    }
    EXPECT_EQ(face.Press(QStringLiteral("dragArea")),
              QStringList{QStringLiteral("IDC_FS_Drag undefined")});
}

TEST_F(ConverterFace, DeleteSourcesStartsUncheckedAndToggles) {
    EXPECT_FALSE(face.Property(QStringLiteral("deleteSourcesCheck"), "checked").toBool());
    EXPECT_EQ(face.Click(QStringLiteral("deleteSourcesCheck")),
              QStringList{QStringLiteral("IDC_FS_Selected undefined")});
    EXPECT_EQ(face.Click(QStringLiteral("deleteSourcesCheck")),
              QStringList{QStringLiteral("IDC_FS_UnSelected undefined")});
    EXPECT_EQ(face.AccessibleName(QStringLiteral("deleteSourcesCheck")),
              QStringLiteral("Delete source files after conversion"));
}

TEST_F(ConverterFace, AboutShowsTheVersionTheHostWrote) {
    face.flash.SetVariable(QStringLiteral("_root.VersionNo"),
                           QStringLiteral("Version No.:1.0.0.0"));
    EXPECT_EQ(face.Click(QStringLiteral("aboutButton")),
              QStringList{QStringLiteral("IDC_FS_About undefined")});
    EXPECT_TRUE(face.Property(QStringLiteral("aboutPanel"), "visible").toBool());
    EXPECT_EQ(face.Property(QStringLiteral("versionText"), "text").toString(),
              QStringLiteral("Version No.:1.0.0.0"));
    face.Click(QStringLiteral("aboutClose"));
    EXPECT_FALSE(face.Property(QStringLiteral("aboutPanel"), "visible").toBool());
}

TEST_F(ConverterFace, ListShowsAddedPathsRemovesItsSelectedRowAndClearsOnlyWhenTold) {
    AddRows(QStringLiteral("/m/a.wav|/m/Été b.mp3"));
    AddRows(QStringLiteral("/m/c'd.ogg"));
    ASSERT_EQ(Rows(), 3);
    EXPECT_EQ(face.AccessibleName(QStringLiteral("fileRow1")), QStringLiteral("/m/Été b.mp3"));

    // No selection: the face sends "undefined" and keeps its rows.
    EXPECT_EQ(face.Click(QStringLiteral("removeButton")),
              QStringList{QStringLiteral("IDC_FS_Remove undefined")});
    EXPECT_EQ(Rows(), 3);

    face.Click(QStringLiteral("fileRow1"));
    EXPECT_EQ(face.Click(QStringLiteral("removeButton")),
              QStringList{QStringLiteral("IDC_FS_Remove 1")});
    ASSERT_EQ(Rows(), 2);
    EXPECT_EQ(face.AccessibleName(QStringLiteral("fileRow1")), QStringLiteral("/m/c'd.ogg"));

    // Remove all only asks; the rows go when the host says so.
    face.Click(QStringLiteral("removeAllButton"));
    EXPECT_EQ(Rows(), 2);
    face.flash.SetVariable(QStringLiteral("_root.RemoveAll"), QStringLiteral("1"));
    EXPECT_EQ(Rows(), 0);
}

TEST_F(ConverterFace, ShowsTheBrowsedFolderOnItsTrigger) {
    face.flash.SetVariable(QStringLiteral("_root.BrowsePath"),
                           QStringLiteral("/home/me/Bob's Music"));
    EXPECT_NE(face.Property(QStringLiteral("outputFolderText"), "text").toString(),
              QStringLiteral("/home/me/Bob's Music"));
    face.flash.SetVariable(QStringLiteral("_root.SetBrowsePath"), QStringLiteral("1"));
    EXPECT_EQ(face.Property(QStringLiteral("outputFolderText"), "text").toString(),
              QStringLiteral("/home/me/Bob's Music"));
}

// Host and face together: a "|" in a name never splits its row, so the row the
// face removes is the file the host removes.
TEST_F(ConverterFace, APathWithTheListSeparatorStaysOneRowOnBothSides) {
    struct NoConversion : ConversionWindow {
        void ShowModal() override {}
        void Unload() override {}
    } conversion;
    QTemporaryDir dir;
    QStringList paths;
    for (const char* name : {"a.wav", "pi|pe.wav", "d.wav"}) {
        paths << dir.filePath(QString::fromUtf8(name));
        ASSERT_TRUE(WriteFile(paths.back(), "RIFF"));
    }
    VeluneMod mod;
    RecordingForm form;
    ScriptedMessages messages;
    ScriptedDialog dialog;
    ScriptedFolders folders;
    RecordingShell shell;
    ScriptedLock lock;
    MainFrm frm(mod, {face.flash, form, messages, dialog, folders, shell, lock, conversion,
                      QStringLiteral(VELUNE_PROGRAM_DIR)});
    QObject::connect(&face.flash, &Flash::FSCommand,
                     [&](const QString& c, const QString& a) { frm.Flash_FSCommand(c, a); });
    ASSERT_TRUE(frm.Form_Load());
    dialog.Choose(paths);
    face.Click(QStringLiteral("addButton"));
    ASSERT_EQ(Rows(), 3);
    EXPECT_EQ(face.AccessibleName(QStringLiteral("fileRow1")), paths[1]);
    face.Click(QStringLiteral("fileRow2"));
    face.Click(QStringLiteral("removeButton"));
    EXPECT_EQ(frm.LstFiles(), paths.mid(0, 2));
}

TEST_F(ConverterFace, KeysSendWhatTheirButtonsSend) {
    AddRows(QStringLiteral("/m/a.wav|/m/b.wav"));
    face.Click(QStringLiteral("fileRow0"));
    const std::vector<std::pair<std::pair<Qt::Key, Qt::KeyboardModifiers>, QString>> rows{
        {{Qt::Key_O, Qt::ControlModifier}, QStringLiteral("IDC_FS_Add undefined")},
        {{Qt::Key_Return, Qt::NoModifier}, QStringLiteral("IDC_FS_Convert undefined")},
        {{Qt::Key_Delete, Qt::NoModifier}, QStringLiteral("IDC_FS_Remove 0")},
        {{Qt::Key_Delete, Qt::NoModifier}, QStringLiteral("IDC_FS_Remove undefined")},
    };
    for (const auto& [key, sent] : rows) {
        face.commands.clear();
        QTest::keyClick(&face.flash, key.first, key.second);
        EXPECT_EQ(face.commands, QStringList{sent});
    }
    EXPECT_EQ(Rows(), 1);
}

} // namespace
