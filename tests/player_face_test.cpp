// The player's real face, loaded offscreen.
#include "dropped.h"
#include "face_driver.h"
#include "fakes.h"
#include "media.h"
#include "playerfrm.h"

#include <QDragEnterEvent>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

using namespace velune;
using namespace velune::test;

namespace {

class PlayerFace : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(face.loaded);
        ASSERT_TRUE(face.exposed);
    }
    void Write(const char* name, const QString& value) {
        face.flash.SetVariable(QString::fromLatin1(name), value);
    }
    QStringList Click(const char* name) { return face.Click(QString::fromLatin1(name)); }
    QStringList One(const char* command) { return QStringList{QString::fromLatin1(command)}; }
    QStringList ClickAt(const char* name, double fraction) {
        QQuickItem* item = face.Item(QString::fromLatin1(name));
        face.commands.clear();
        const QPoint at =
            item->mapToScene(QPointF(item->width() * fraction, item->height() / 2)).toPoint();
        QTest::mouseClick(&face.flash, Qt::LeftButton, Qt::NoModifier, at);
        return face.commands;
    }

    FaceDriver face{QStringLiteral("player.qml")};
};

TEST_F(PlayerFace, TransportButtonsSendOnlyWhenNotDisabled) {
    EXPECT_EQ(face.flash.rootObject()->width(), 336);
    EXPECT_EQ(face.flash.rootObject()->height(), 360);
    const std::vector<std::pair<const char*, const char*>> buttons{{"playButton", "Play"},
                                                                   {"pauseButton", "Pause"},
                                                                   {"stopButton", "Stop"},
                                                                   {"nextButton", "Next"},
                                                                   {"previousButton", "Previous"}};
    for (const auto& [name, tag] : buttons) {
        Write((std::string("_root.") + tag).c_str(), QStringLiteral("4"));
        EXPECT_TRUE(Click(name).isEmpty()) << name;
        Write((std::string("_root.") + tag).c_str(), QStringLiteral("1"));
        EXPECT_EQ(Click(name), QStringList{QStringLiteral("IDC_FS_") + QLatin1String(tag) +
                                           QStringLiteral(" undefined")});
        EXPECT_EQ(face.AccessibleName(QString::fromLatin1(name)), QLatin1String(tag));
    }
    EXPECT_EQ(Click("repeatButton"), One("IDC_FS_Repeat undefined"));
    Write("_root.Play", QStringLiteral("3"));
    EXPECT_EQ(face.Property(QStringLiteral("playButton"), "state_").toString(),
              QStringLiteral("3"));
}

TEST_F(PlayerFace, WindowListMuteAndVolumeControls) {
    EXPECT_EQ(Click("listButton"), One("IDC_FS_ShowList undefined"));
    EXPECT_EQ(Click("listButton"), One("IDC_FS_HideList undefined"));
    EXPECT_EQ(Click("minimizeButton"), One("IDC_FS_Minimize undefined"));
    EXPECT_EQ(Click("closeButton"), One("IDC_FS_Close undefined"));
    EXPECT_EQ(face.Press(QStringLiteral("dragArea")), One("IDC_FS_Drag undefined"));
    EXPECT_EQ(Click("muteButton"), One("IDC_FS_SoundOff undefined"));
    EXPECT_EQ(Click("muteButton"), One("IDC_FS_SoundOn undefined"));

    Write("_root.VolumePosition", QStringLiteral("5"));
    EXPECT_EQ(ClickAt("volumeKnob", 0.82), One("IDC_FS_Volume undefined"));
    EXPECT_EQ(face.flash.GetVariable(QStringLiteral("_root.VolumePosition")), QStringLiteral("8"));
    for (const char* name :
         {"listButton", "minimizeButton", "closeButton", "muteButton", "volumeKnob", "seekKnob",
          "addButton", "openButton", "removeButton", "removeAllButton", "playList"})
        EXPECT_FALSE(face.AccessibleName(QString::fromLatin1(name)).isEmpty()) << name;
}

TEST_F(PlayerFace, SeekKnobFollowsTheHostAndReportsItsRelease) {
    Write("_root.KnobPosition", QStringLiteral(" 42"));
    EXPECT_EQ(face.Property(QStringLiteral("seekKnob"), "shown").toInt(), 42);
    EXPECT_EQ(ClickAt("seekKnob", 0.5), One("IDC_FS_KnobReleased undefined"));
    EXPECT_EQ(face.flash.GetVariable(QStringLiteral("_root.KnobPosition")), QStringLiteral("50"));

    Write("_root.KnobDisabled", QStringLiteral("1"));
    EXPECT_TRUE(ClickAt("seekKnob", 0.8).isEmpty());
    Write("_root.KnobDisabled", QStringLiteral("0"));
    EXPECT_EQ(ClickAt("seekKnob", 0.8).size(), 1);
}

TEST_F(PlayerFace, ShowsTitleTimesAndThePlayingIndicator) {
    Write("_root.FileTxt", QStringLiteral("Été 'n' Rock.ogg"));
    Write("_root.SetFileTxt", QStringLiteral("1"));
    EXPECT_EQ(face.Property(QStringLiteral("titleText"), "text").toString(),
              QStringLiteral("Été 'n' Rock.ogg"));
    Write("_root.TotalTimeTxt", QStringLiteral("04:12"));
    Write("_root.TimePlayedTxt", QStringLiteral("01:05"));
    Write("_root.SetTimeTxt", QStringLiteral("1"));
    EXPECT_EQ(face.Property(QStringLiteral("timeText"), "text").toString(),
              QStringLiteral("01:05 / 04:12"));
    Write("_root.Playing", QStringLiteral("1"));
    EXPECT_TRUE(face.Property(QStringLiteral("playingIndicator"), "active").toBool());
    Write("_root.Playing", QStringLiteral("0"));
    EXPECT_FALSE(face.Property(QStringLiteral("playingIndicator"), "active").toBool());
}

TEST_F(PlayerFace, ListRowsChooseRemoveAndClear) {
    Write("_root.AddedFiles", QStringLiteral("/m/a.wav|/m/b c.mp3|/m/d'e.rm"));
    Write("_root.SetAddedFiles", QStringLiteral("1"));
    EXPECT_EQ(face.Property(QStringLiteral("playList"), "count").toInt(), 3);
    EXPECT_EQ(face.AccessibleName(QStringLiteral("playRow1")), QStringLiteral("/m/b c.mp3"));

    face.commands.clear();
    QTest::mouseDClick(&face.flash, Qt::LeftButton, Qt::NoModifier,
                       face.Centre(QStringLiteral("playRow2")));
    EXPECT_TRUE(face.commands.contains(QStringLiteral("IDC_FS_SelectedIndex 2")));

    EXPECT_EQ(Click("removeButton"), One("IDC_FS_Remove 2"));
    EXPECT_EQ(face.Property(QStringLiteral("playList"), "count").toInt(), 2);
    // No row chosen: nothing is removed on either side.
    EXPECT_TRUE(Click("removeButton").isEmpty());

    EXPECT_EQ(Click("addButton"), One("IDC_FS_Add undefined"));
    EXPECT_EQ(Click("openButton"), One("IDC_FS_OpenFile undefined"));
    EXPECT_EQ(Click("removeAllButton"), One("IDC_FS_RemoveAll undefined"));
    EXPECT_EQ(face.Property(QStringLiteral("playList"), "count").toInt(), 2);
    Write("_root.RemoveAll", QStringLiteral("1"));
    EXPECT_EQ(face.Property(QStringLiteral("playList"), "count").toInt(), 0);
}

TEST_F(PlayerFace, AcceptsFilesDraggedFromAFileManager) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QStringLiteral("/m/Été.mp3")),
                  QUrl(QStringLiteral("https://example.invalid/x.mp3")),
                  QUrl::fromLocalFile(QStringLiteral("/m/b.wav"))});
    EXPECT_EQ(DroppedFiles(&data),
              (QStringList{QStringLiteral("/m/Été.mp3"), QStringLiteral("/m/b.wav")}));
    QMimeData text;
    text.setText(QStringLiteral("not files"));
    EXPECT_TRUE(DroppedFiles(&text).isEmpty());

    QDragEnterEvent enter(QPoint(150, 250), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&face.flash, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_TRUE(face.Wait(
        [&] { return face.Property(QStringLiteral("dropArea"), "containsDrag").toBool(); }));
}

// Host and face together: a "|" in a name never splits its row, so the row the
// face removes is the file the host removes.
TEST_F(PlayerFace, APathWithTheListSeparatorStaysOneRowOnBothSides) {
    QTemporaryDir dir;
    QStringList paths;
    for (const char* name : {"a.wav", "pi|pe.wav", "d.wav"}) {
        paths << dir.filePath(QString::fromUtf8(name));
        ASSERT_TRUE(WriteFile(paths.back()));
    }
    RecordingForm form;
    ScriptedMessages messages;
    ScriptedDialog dialog;
    ScriptedLock lock;
    ScriptedPlayer engine;
    RecordingTicker timer;
    mAINfRM frm({face.flash, form, messages, dialog, lock, engine, timer,
                 QStringLiteral(VELUNE_PROGRAM_DIR)});
    QObject::connect(&face.flash, &Flash::FSCommand,
                     [&](const QString& c, const QString& a) { frm.Flash_FSCommand(c, a); });
    ASSERT_TRUE(frm.Form_Load());
    dialog.Choose(paths);
    Click("addButton");
    ASSERT_EQ(face.Property(QStringLiteral("playList"), "count").toInt(), 3);
    EXPECT_EQ(face.AccessibleName(QStringLiteral("playRow1")), paths[1]);
    QTest::mouseClick(&face.flash, Qt::LeftButton, Qt::NoModifier,
                      face.Centre(QStringLiteral("playRow2")));
    Click("removeButton");
    EXPECT_EQ(frm.list().rows(), paths.mid(0, 2));
}

TEST_F(PlayerFace, KeysSendWhatTheirButtonsSend) {
    Write("_root.AddedFiles", QStringLiteral("/m/a.wav|/m/b.wav"));
    Write("_root.SetAddedFiles", QStringLiteral("1"));
    Write("_root.VolumePosition", QStringLiteral("5"));
    QTest::mouseClick(&face.flash, Qt::LeftButton, Qt::NoModifier,
                      face.Centre(QStringLiteral("playRow1")));
    struct Row {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* before; // a host write first, or ""
        QString sent;
    };
    const std::vector<Row> rows{
        {Qt::Key_Space, Qt::NoModifier, "", QStringLiteral("IDC_FS_Play undefined")},
        {Qt::Key_Space, Qt::NoModifier, "_root.Play=3", QStringLiteral("IDC_FS_Pause undefined")},
        {Qt::Key_Right, Qt::NoModifier, "", QStringLiteral("IDC_FS_SeekBy 5000")},
        {Qt::Key_Left, Qt::NoModifier, "", QStringLiteral("IDC_FS_SeekBy -5000")},
        {Qt::Key_Up, Qt::NoModifier, "", QStringLiteral("IDC_FS_Volume undefined")},
        {Qt::Key_Return, Qt::NoModifier, "", QStringLiteral("IDC_FS_SelectedIndex 1")},
        {Qt::Key_O, Qt::ControlModifier, "", QStringLiteral("IDC_FS_OpenFile undefined")},
        {Qt::Key_Delete, Qt::NoModifier, "", QStringLiteral("IDC_FS_Remove 1")},
    };
    for (const Row& row : rows) {
        if (*row.before) {
            const QStringList write = QString::fromLatin1(row.before).split(u'=');
            face.flash.SetVariable(write[0], write[1]);
        }
        face.commands.clear();
        QTest::keyClick(&face.flash, row.key, row.modifiers);
        EXPECT_EQ(face.commands, QStringList{row.sent}) << row.sent.toStdString();
    }
    EXPECT_EQ(face.flash.GetVariable(QStringLiteral("_root.VolumePosition")), QStringLiteral("6"));
    EXPECT_EQ(face.Property(QStringLiteral("playList"), "count").toInt(), 1);
}

} // namespace
