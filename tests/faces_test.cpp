// The real faces offscreen: wrong or disabled commands, writes shown early, split rows, menus.
#include "face_driver.h"
#include "facewindow.h"
#include "names.h"
#include "right_click_filter.h"

#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMimeData>
#include <QUrl>
#include <gtest/gtest.h>

using namespace velune;
using namespace velune::test;

namespace {

class Faces : public ::testing::Test {
protected:
    void Load(const QString& file) {
        face = std::make_unique<FaceDriver>(file);
        ASSERT_TRUE(face->loaded && face->exposed) << file;
    }
    // Each "control Command [argument]" click sends it; the control is seen whole, and named.
    void ExpectButtons(const QStringList& buttons) {
        for (const QString& button : buttons) {
            const QStringList words = button.split(u' ');
            EXPECT_EQ(face->Click(words[0]),
                      QStringList{"IDC_FS_" + words[1] + u' ' + words.value(2, "undefined")})
                << words[0];
            const QQuickItem* item = face->Item(words[0]);
            EXPECT_TRUE(item && item->isVisible() &&
                        QRect(QPoint(), face->view.size())
                            .contains(item->mapRectToScene(item->boundingRect()).toAlignedRect()))
                << words[0];
            EXPECT_FALSE(face->AccessibleName(words[0]).isEmpty()) << words[0];
        }
    }
    void Write(const QStringList& writes) {
        for (const QString& write : writes)
            face->Write(write.section(u'=', 0, 0), write.section(u'=', 1));
    }
    QString Text(const QString& name) { return face->Property(name, "text").toString(); }
    bool Is(const QString& name, const char* property) {
        return face->Property(name, property).toBool();
    }
    int Count(const QString& list) { return face->Property(list, "count").toInt(); }

    std::unique_ptr<FaceDriver> face;
};

TEST_F(Faces, TheConvertersMainFace) {
    Load("VeluneC.qml");
    EXPECT_EQ(face->view.size(), QSize(620, 520)); // every control below is seen inside it
    // The options show what the host says.
    Write({"_root.FillCombo=wav|mp3|ogg|flac|opus|m4a|alac", "_root.SetCombo=1", "_root.Rate=48000",
           "_root.CopySame=1", "_root.Id3v23=1"});
    EXPECT_EQ(face->AccessibleName("shapeRate"), u"48 kHz"_s);
    EXPECT_EQ(face->AccessibleName("optionsButton"), u"More options (2 on)"_s);
    EXPECT_TRUE(Is("copySameCheck", "checked"));
    for (const QString& target :
         {u"wav"_s, u"mp3 128|192|256|320|v0|v2|v4"_s, u"ogg q3|q4|q5|q6|q7|q8"_s, u"flac"_s,
          u"opus 96|128|160"_s, u"m4a 128|192|256"_s, u"alac"_s}) {
        const QString format = target.section(u' ', 0, 0);
        ExpectButtons({"format_" + format + " ConvertTo " + format});
        Write({"_root.FillQuality=" + target.section(u' ', 1), "_root.SetQuality=1"});
        for (const QString& quality : target.section(u' ', 1).split(u'|', Qt::SkipEmptyParts))
            ExpectButtons({"quality_" + quality + " Quality " + quality});
    }
    EXPECT_EQ(face->Item("quality_v2"), nullptr); // ALAC, as WAV and FLAC, takes none
    ExpectButtons({"minimizeButton Minimize", "closeButton Close", "dragArea Drag", "addButton Add",
                   "removeAllButton RemoveAll", "browseButton Browse",
                   "sameFolderButton SameDirectory", "convertButton Convert", "helpButton Help",
                   "playerButton Player", "addFolderButton AddFolder",
                   // The options, each press the next choice.
                   "deleteSourcesCheck Selected", "deleteSourcesCheck UnSelected",
                   "replayGainCheck ReplayGain on", "replayGainCheck ReplayGain off",
                   "skipExistingCheck SkipExisting on", "skipExistingCheck SkipExisting off",
                   "copySameCheck CopySame off", "aboutButton About"});
    face->Write("_root.VersionNo", "Version No.:1.0.0.0");
    EXPECT_TRUE(Is("aboutPanel", "visible") && Text("versionText") == u"Version No.:1.0.0.0"_s);
    face->Click("aboutClose");
    EXPECT_FALSE(Is("aboutPanel", "visible"));
    // The options used less often, in their panel; Done and Escape close it.
    face->Click("optionsButton");
    ExpectButtons({"keepTimesCheck KeepTimes on", "acceptDamagedCheck AcceptDamaged on",
                   "id3v23Check Id3v23 off", "truePeakCheck TruePeak on",
                   "preventClippingCheck PreventClipping on", "shapeRate Rate source",
                   "shapeChannels Channels stereo", "shapeBits Bits 16"});
    face->Click("optionsDone");
    EXPECT_FALSE(Is("optionsPanel", "visible"));

    // The host restores a format, its quality and the option; the face shows them.
    const QVariant unchosen = face->Property("format_ogg", "color");
    face->Write("_root.Format", "ogg");
    EXPECT_NE(face->Property("format_ogg", "color"), unchosen);
    EXPECT_EQ(face->Property("format_mp3", "color"), unchosen);
    face->Write("_root.ReplayGain", "1");
    EXPECT_TRUE(Is("replayGainCheck", "checked"));

    // Naming patterns: offered, or typed and handed over by Enter (not converting); shown.
    Write({"_root.FillPatterns=|{albumartist}/{album}/{track:02} {title}|{artist} - {title}",
           "_root.SetPatterns=1"});
    face->Click("optionsButton");
    face->Click("patternsButton");
    EXPECT_TRUE(Is("patternMenu", "visible"));
    EXPECT_EQ(face->Click("pattern2"), QStringList{"IDC_FS_Pattern {artist} - {title}"});
    EXPECT_FALSE(Is("patternMenu", "visible"));
    face->Click("patternField");
    QTest::keyClick(&face->view, Qt::Key_End);
    face->Type(u"/{stem}"_s);
    EXPECT_EQ(face->Key(Qt::Key_Return), QStringList{"IDC_FS_Pattern {artist} - {title}/{stem}"});
    face->Write("_root.Pattern", "{title}");
    EXPECT_EQ(Text("patternField"), u"{title}"_s);
    face->Key(Qt::Key_Escape);
    EXPECT_FALSE(Is("optionsPanel", "visible"));

    face->Write("_root.BrowsePath", "/home/me/Bob's Music");
    EXPECT_NE(Text("outputFolderText"), u"/home/me/Bob's Music"_s);
    face->Write("_root.SetBrowsePath", "1");
    EXPECT_EQ(Text("outputFolderText"), u"/home/me/Bob's Music"_s);

    // Rows come in batches; Remove sends the chosen row, or "undefined" and keeps them.
    Write({u"_root.AddedFiles="_s + JoinFaceList({u"/m/a.wav"_s, u"/m/Été b.mp3"_s}),
           "_root.SetAddedFiles=1", "_root.AddedFiles=/m/c'd.ogg", "_root.SetAddedFiles=1"});
    ASSERT_EQ(Count("fileList"), 3);
    face->Write("_root.ListStatus", "1 skipped: not audio");
    EXPECT_EQ(Text("listStatusText"), u"3 files · 1 skipped: not audio"_s);
    EXPECT_EQ(face->AccessibleName("fileRow1"), u"/m/Été b.mp3"_s);
    EXPECT_EQ(face->Click("removeButton"), QStringList{"IDC_FS_Remove undefined"});
    face->Click("fileRow1");
    EXPECT_EQ(face->Click("removeButton"), QStringList{"IDC_FS_Remove 1"});
    EXPECT_EQ(face->AccessibleName("fileRow1"), u"/m/c'd.ogg"_s);
    face->Click("fileRow0");
    EXPECT_EQ(face->Key(Qt::Key_Delete), QStringList{"IDC_FS_Remove 0"});
    EXPECT_EQ(face->Key(Qt::Key_O, Qt::ControlModifier), QStringList{"IDC_FS_Add undefined"});
    EXPECT_EQ(face->Key(Qt::Key_Return), QStringList{"IDC_FS_Convert undefined"});
    // Remove all only asks; the rows go when the host says so.
    face->Click("removeAllButton");
    EXPECT_EQ(Count("fileList"), 1);
    face->Write("_root.RemoveAll", "1");
    EXPECT_EQ(Count("fileList"), 0);
}

TEST_F(Faces, TheConversionFace) {
    Load("VeluneC1.qml");
    const QString path = u"/home/me/Bob's Été/a very long folder name/Rock 'n' Roll.mp3"_s;
    face->Write("_root.FileTxt", path);
    EXPECT_NE(Text("fileText"), path);
    face->Write("_root.SetFileTxt", "1");
    EXPECT_EQ(Text("fileText"), path);
    Write({"_root.ProgressValue=42", "_root.SetProgress=1"});
    EXPECT_EQ(Text("progressText") + face->Property("progressBar", "value").toString(), u"42%42"_s);

    face->Write("_root.ArrowPlay", "1");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return face->Property("runningAnimation", "rotation").toDouble() > 0; }, 5000));
    face->Write("_root.ArrowPlay", "0");
    EXPECT_FALSE(face->view.rootObject()->property("running").toBool());

    EXPECT_FALSE(Is("okButton", "visible"));
    ExpectButtons({"cancelButton Cancel", "closeButton Close", "dragArea Drag"});
    face->Write("_root.ShowOkbtn", "1");
    EXPECT_FALSE(Is("cancelButton", "visible"));
    ExpectButtons({"okButton OK"});
}

TEST_F(Faces, ThePlayersTransportWindowVolumeListAndDrops) {
    Load("player.qml");
    for (const QString& tag : {u"Play"_s, u"Pause"_s, u"Stop"_s, u"Next"_s, u"Previous"_s}) {
        face->Write("_root." + tag, u"4"_s); // disabled
        EXPECT_TRUE(face->Click(tag.toLower() + u"Button"_s).isEmpty()) << tag;
        face->Write("_root." + tag, u"1"_s);
        ExpectButtons({tag.toLower() + u"Button "_s + tag});
    }
    ExpectButtons({"repeatButton Repeat", "listButton ShowList", "listButton HideList",
                   "minimizeButton Minimize", "closeButton Close", "dragArea Drag",
                   "muteButton SoundOff", "muteButton SoundOn", "addButton Add",
                   "openButton OpenFile", "replayGainButton ReplayGain", "shuffleButton Shuffle",
                   "addFolderButton AddFolder"});
    Write({"_root.ReplayGainMode=album", "_root.Shuffle=albums"});
    EXPECT_EQ(face->AccessibleName("replayGainButton"), u"ReplayGain: album"_s);
    EXPECT_EQ(face->AccessibleName("shuffleButton"), u"Shuffle: albums"_s);

    face->Write("_root.VolumePosition", "5");
    // Each command sent, and the knob's place the face left for the host.
    EXPECT_EQ(face->Click("volumeKnob", 0.82) << face->view.GetVariable(u"_root.VolumePosition"_s),
              (QStringList{"IDC_FS_Volume undefined", "8"}));
    EXPECT_EQ(face->Key(Qt::Key_Up) << face->view.GetVariable(u"_root.VolumePosition"_s),
              (QStringList{"IDC_FS_Volume undefined", "9"}));
    face->Write("_root.KnobPosition", " 42");
    EXPECT_EQ(face->Property("seekKnob", "shown").toInt(), 42);
    EXPECT_EQ(face->Click("seekKnob") << face->view.GetVariable(u"_root.KnobPosition"_s),
              (QStringList{"IDC_FS_KnobReleased undefined", "50"}));
    face->Write("_root.KnobDisabled", "1");
    EXPECT_TRUE(face->Click("seekKnob", 0.8).isEmpty());
    // Keys: the arrows seek, Space pauses what plays (Play=3) or plays, and the shortcuts.
    face->Write("_root.Play", "3");
    const QStringList keys{"Right SeekBy 5000",         "Left SeekBy -5000",
                           "Space Pause undefined",     "Ctrl+O OpenFile undefined",
                           "Ctrl+S SaveList undefined", "S Shuffle undefined"};
    for (const QString& row : keys) {
        const QKeyCombination key = QKeySequence(row.section(u' ', 0, 0))[0];
        EXPECT_EQ(face->Key(key.key(), key.keyboardModifiers()),
                  QStringList{u"IDC_FS_"_s + row.section(u' ', 1)});
    }
    face->Write("_root.Play", "1");
    EXPECT_EQ(face->Key(Qt::Key_Space), QStringList{"IDC_FS_Play undefined"});

    // The title and times are shown on their triggers; the playing light follows the host.
    Write({"_root.FileTxt=Été 'n' Rock.ogg", "_root.SetFileTxt=1"});
    EXPECT_EQ(Text("titleText"), u"Été 'n' Rock.ogg"_s);
    Write({"_root.TotalTimeTxt=04:12", "_root.TimePlayedTxt=01:05"});
    EXPECT_NE(Text("timeText"), u"01:05 / 04:12"_s);
    face->Write("_root.SetTimeTxt", "1");
    EXPECT_EQ(Text("timeText"), u"01:05 / 04:12"_s);
    for (const bool playing : {true, false}) {
        face->Write("_root.Playing", playing ? u"1"_s : u"0"_s);
        EXPECT_EQ(Is("playingIndicator", "active"), playing);
    }
    // The host's rows: a "|" or "\" in a name stays in its one row, empty fields stay empty.
    face->Write(
        "_root.ListRows",
        JoinFaceList(QStringList{u"/m/a.wav"_s, u"a.wav"_s, "", "", "", "", "", u"missing"_s} +
                     QStringList{u"/m/pi|pe\\.mp3"_s, u"Pipe"_s, u"Ana"_s, u"Été"_s, u"2"_s,
                                 u"03:10"_s, "", ""} +
                     QStringList{u"/m/d'e.rm"_s, u"d'e.rm"_s, "", "", "", "", u"1"_s, ""}));
    face->Write("_root.SetListRows", "1");
    ASSERT_EQ(Count("playList"), 3);
    EXPECT_EQ(face->AccessibleName("playRow1"), u"/m/pi|pe\\.mp3"_s);
    EXPECT_TRUE(Is("queueMark2", "visible") && !Is("queueMark1", "visible"));
    EXPECT_LT(face->Property("playRow0", "opacity").toDouble(), 1.0); // its file is gone
    // A row's tags arrive and it joins the play queue.
    face->Write("_root.ListChanges", JoinFaceList({u"0"_s, u"/m/a.wav"_s, u"Aria"_s, u"Bo"_s,
                                                   u"Cé"_s, u"1"_s, u"01:00"_s, u"2"_s, ""}));
    face->Write("_root.SetListChanges", "1");
    EXPECT_TRUE(Is("queueMark0", "visible"));
    face->Write("_root.ListTotal", "3 files · 04:10");
    EXPECT_EQ(Text("totalText"), u"3 files · 04:10"_s);
    EXPECT_TRUE(face->Click("removeButton").isEmpty()); // no row chosen
    face->commands.clear();
    QTest::mouseDClick(&face->view, Qt::LeftButton, Qt::NoModifier, face->At("playRow2"));
    EXPECT_TRUE(face->commands.contains("IDC_FS_SelectedIndex 2")) << face->commands.join(u',');
    EXPECT_EQ(face->Key(Qt::Key_Q), QStringList{"IDC_FS_PlayNext 2"});
    ExpectButtons({"playNextButton PlayNext 2", "removeButton Remove 2"});
    face->Click("playRow1");
    EXPECT_EQ(face->Key(Qt::Key_Return), QStringList{"IDC_FS_SelectedIndex 1"});
    EXPECT_EQ(face->Key(Qt::Key_Delete), QStringList{"IDC_FS_Remove 1"});
    // The face's own removals; Remove all only asks, and the rows go when the host says so.
    EXPECT_EQ(Count("playList"), 1);
    ExpectButtons({"removeAllButton RemoveAll"});
    EXPECT_EQ(Count("playList"), 1);
    face->Write("_root.RemoveAll", "1");
    EXPECT_EQ(Count("playList"), 0);

    // Ctrl+L: the find field takes a stream's address; Enter plays it, Escape leaves it.
    for (const auto& [key, sent] :
         {std::pair{Qt::Key_Return, QStringList{"IDC_FS_OpenUrl http://r/a"}},
          std::pair{Qt::Key_Escape, QStringList{}}}) {
        EXPECT_TRUE(face->Key(Qt::Key_L, Qt::ControlModifier).isEmpty());
        EXPECT_TRUE(Is("addressField", "activeFocus") && !Is("searchField", "visible"));
        face->Type(u"http://r/a"_s);
        EXPECT_EQ(face->Key(key), sent);
        EXPECT_TRUE(Text("addressField").isEmpty() && Is("searchField", "visible"));
    }
    // Finding: what is typed goes to the host; Enter plays the first found, Escape clears.
    EXPECT_TRUE(face->Key(Qt::Key_F, Qt::ControlModifier).isEmpty());
    EXPECT_TRUE(Is("searchField", "activeFocus"));
    face->commands.clear();
    face->Type(u"ete"_s);
    EXPECT_EQ(face->commands, (QStringList{"IDC_FS_Find e", "IDC_FS_Find et", "IDC_FS_Find ete"}));
    EXPECT_EQ(face->Key(Qt::Key_Return), QStringList{"IDC_FS_PlayFound undefined"});
    EXPECT_EQ(face->Key(Qt::Key_Escape), QStringList{"IDC_FS_Find "});
    EXPECT_TRUE(Text("searchField").isEmpty() && !Is("searchField", "activeFocus"));
    // Sorting: the menu, its choice, and the host's order shown.
    EXPECT_TRUE(face->Click("sortButton").isEmpty());
    EXPECT_EQ(face->Click("sort_artist"), QStringList{"IDC_FS_Sort artist"});
    EXPECT_FALSE(Is("sortMenu", "visible"));
    face->Write("_root.SortOrder", "artist");
    EXPECT_EQ(face->AccessibleName("sortButton"), u"Sort: Artist"_s);

    // Files dragged from a file manager are taken (the drop's names: drop_fuzz, apps_test).
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(u"/m/Été.mp3"_s)});
    QDragEnterEvent enter(QPoint(150, 250), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&face->view, &enter);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Is("dropArea", "containsDrag"); }, 5000));
}

// The types of the presses sent (right, left, menu key, "A") that pass the later filters.
struct Seen : QObject {
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::MouseButtonPress)
            events << static_cast<QMouseEvent*>(e)->button();
        else if (e->type() == QEvent::KeyPress)
            events << static_cast<QKeyEvent*>(e)->key();
        return false;
    }
    QList<int> Everything(QWindow& view) {
        events.clear();
        QTest::mouseClick(&view, Qt::RightButton, {}, QPoint(5, 5));
        QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::keyClick(&view, Qt::Key_Menu);
        QTest::keyClick(&view, Qt::Key_A);
        return events;
    }
    QList<int> events;
};

TEST(RightClickFilter, SwallowsRightPressesAndTheMenuKeyOnlyUntilRemoved) {
    FaceWindow window(u"main"_s);
    Seen seen;
    window.faceView().installEventFilter(&seen);
    const QList<int> all{Qt::RightButton, Qt::LeftButton, Qt::Key_Menu, Qt::Key_A};
    EXPECT_EQ(seen.Everything(window.faceView()), all);
    window.InstallFilter();
    EXPECT_EQ(seen.Everything(window.faceView()), (QList<int>{Qt::LeftButton, Qt::Key_A}));
    window.RemoveFilter();
    EXPECT_EQ(seen.Everything(window.faceView()), all);
}

} // namespace
