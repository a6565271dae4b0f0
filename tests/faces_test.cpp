// The programs' real faces, loaded offscreen, and the right-click filter around them: a control
// that sends the wrong command or sends while disabled, a host write not shown or shown before its
// trigger, a name split into two rows, a removed row that is not the host's, an unnamed control,
// the face's own context menu let through.
#include "dropped.h"
#include "face_driver.h"
#include "facewindow.h"
#include "names.h"
#include "right_click_filter.h"
#include "system_names.h"

#include <QDragEnterEvent>
#include <QKeyEvent>
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
    // Each "control Command [argument]" click sends "IDC_FS_Command argument" (the
    // argument "undefined" when none), and the control has a name for screen readers.
    void ExpectButtons(const QStringList& buttons) {
        for (const QString& button : buttons) {
            const QStringList words = button.split(u' ');
            EXPECT_EQ(face->Click(words[0]),
                      QStringList{"IDC_FS_" + words[1] + u' ' + words.value(2, "undefined")})
                << words[0];
            EXPECT_FALSE(face->AccessibleName(words[0]).isEmpty()) << words[0];
        }
    }
    QString Text(const QString& name) { return face->Property(name, "text").toString(); }
    int Count(const QString& list) { return face->Property(list, "count").toInt(); }
    QSizeF Size() { return face->view.rootObject()->size(); }

    std::unique_ptr<FaceDriver> face;
};

TEST_F(Faces, TheConvertersMainFace) {
    Load("VeluneC.qml");
    EXPECT_EQ(Size(), QSizeF(620, 604));
    face->Write("_root.FillCombo", "wav|mp3|ogg|flac|opus");
    face->Write("_root.SetCombo", "1");
    face->Write("_root.FillQuality", "128|192|v2");
    face->Write("_root.QualityValue", "192");
    face->Write("_root.SetQuality", "1");
    // The shape shows what the host says; a press asks for the next choice.
    face->Write("_root.Rate", "48000");
    face->Write("_root.CopySame", "1");
    EXPECT_EQ(face->AccessibleName("shapeRate"), u"48 kHz"_s);
    EXPECT_TRUE(face->Property("copySameCheck", "checked").toBool());
    ExpectButtons({"minimizeButton Minimize",
                   "closeButton Close",
                   "dragArea Drag",
                   "addButton Add",
                   "removeAllButton RemoveAll",
                   "browseButton Browse",
                   "sameFolderButton SameDirectory",
                   "convertButton Convert",
                   "helpButton Help",
                   "playerButton Player",
                   "format_mp3 ConvertTo mp3",
                   "format_opus ConvertTo opus",
                   "quality_v2 Quality v2",
                   "deleteSourcesCheck Selected",
                   "deleteSourcesCheck UnSelected",
                   "replayGainCheck ReplayGain on",
                   "replayGainCheck ReplayGain off",
                   "addFolderButton AddFolder",
                   "skipExistingCheck SkipExisting on",
                   "skipExistingCheck SkipExisting off",
                   "copySameCheck CopySame off",
                   "keepTimesCheck KeepTimes on",
                   "truePeakCheck TruePeak on",
                   "preventClippingCheck PreventClipping on",
                   "shapeRate Rate source",
                   "shapeChannels Channels stereo",
                   "shapeBits Bits 16",
                   "aboutButton About"});
    face->Write("_root.SkipExisting", "1");
    EXPECT_TRUE(face->Property("skipExistingCheck", "checked").toBool());

    // The host restores a format, its quality and the option; the face shows them.
    const QVariant unchosen = face->Property("format_ogg", "color");
    face->Write("_root.Format", "ogg");
    EXPECT_NE(face->Property("format_ogg", "color"), unchosen);
    EXPECT_EQ(face->Property("format_mp3", "color"), unchosen);
    face->Write("_root.ReplayGain", "1");
    EXPECT_TRUE(face->Property("replayGainCheck", "checked").toBool());
    face->Write("_root.FillQuality", "");
    face->Write("_root.SetQuality", "1");
    EXPECT_EQ(face->Item("quality_v2"), nullptr); // WAV and FLAC take none

    face->Write("_root.VersionNo", "Version No.:1.0.0.0");
    EXPECT_TRUE(face->Property("aboutPanel", "visible").toBool());
    EXPECT_EQ(Text("versionText"), u"Version No.:1.0.0.0"_s);
    face->Click("aboutClose");
    EXPECT_FALSE(face->Property("aboutPanel", "visible").toBool());

    // Naming patterns: one of the host's offers, or typed and handed over by Enter
    // (which then does not convert); the host's pattern is shown.
    face->Write("_root.FillPatterns",
                "|{albumartist}/{album}/{track:02} {title}|{artist} - {title}");
    face->Write("_root.SetPatterns", "1");
    face->Click("patternsButton");
    EXPECT_TRUE(face->Property("patternMenu", "visible").toBool());
    EXPECT_EQ(face->AccessibleName("pattern0"), u"Named after the source files"_s);
    EXPECT_EQ(face->Click("pattern2"), QStringList{"IDC_FS_Pattern {artist} - {title}"});
    EXPECT_FALSE(face->Property("patternMenu", "visible").toBool());
    EXPECT_EQ(Text("patternField"), u"{artist} - {title}"_s);
    face->Click("patternField");
    QTest::keyClick(&face->view, Qt::Key_End);
    QTest::keyClicks(&face->view, u"/{stem}"_s);
    EXPECT_EQ(face->Key(Qt::Key_Return), QStringList{"IDC_FS_Pattern {artist} - {title}/{stem}"});
    face->Write("_root.Pattern", "{title}");
    EXPECT_EQ(Text("patternField"), u"{title}"_s);

    face->Write("_root.BrowsePath", "/home/me/Bob's Music");
    EXPECT_NE(Text("outputFolderText"), u"/home/me/Bob's Music"_s);
    face->Write("_root.SetBrowsePath", "1");
    EXPECT_EQ(Text("outputFolderText"), u"/home/me/Bob's Music"_s);

    // Rows come in batches; Remove sends the chosen row, or "undefined" and keeps them.
    face->Write("_root.AddedFiles", JoinFaceList({u"/m/a.wav"_s, u"/m/Été b.mp3"_s}));
    face->Write("_root.SetAddedFiles", "1");
    face->Write("_root.AddedFiles", "/m/c'd.ogg");
    face->Write("_root.SetAddedFiles", "1");
    ASSERT_EQ(Count("fileList"), 3);
    EXPECT_EQ(face->AccessibleName("fileRow1"), u"/m/Été b.mp3"_s);
    EXPECT_EQ(face->Click("removeButton"), QStringList{"IDC_FS_Remove undefined"});
    EXPECT_EQ(face->Key(Qt::Key_Delete), QStringList{"IDC_FS_Remove undefined"});
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
    EXPECT_EQ(Size(), QSizeF(338, 187));
    const QString path = u"/home/me/Bob's Été/a very long folder name/Rock 'n' Roll.mp3"_s;
    face->Write("_root.FileTxt", path);
    EXPECT_NE(Text("fileText"), path);
    face->Write("_root.SetFileTxt", "1");
    EXPECT_EQ(Text("fileText"), path);
    face->Write("_root.ProgressValue", "42");
    face->Write("_root.SetProgress", "1");
    EXPECT_EQ(face->Property("progressBar", "value").toInt(), 42);
    EXPECT_EQ(Text("progressText"), u"42%"_s);

    const auto rotation = [&] { return face->Property("runningAnimation", "rotation").toDouble(); };
    face->Write("_root.ArrowPlay", "1");
    EXPECT_TRUE(QTest::qWaitFor([&] { return rotation() > 0; }, 5000));
    face->Write("_root.ArrowPlay", "0");
    const double stopped = rotation();
    QTest::qWait(100);
    EXPECT_EQ(rotation(), stopped);

    EXPECT_FALSE(face->Property("okButton", "visible").toBool());
    ExpectButtons({"cancelButton Cancel", "closeButton Close", "dragArea Drag"});
    face->Write("_root.ShowOkbtn", "1");
    EXPECT_FALSE(face->Property("cancelButton", "visible").toBool());
    ExpectButtons({"okButton OK"});
}

TEST_F(Faces, ThePlayersTransportWindowAndVolume) {
    Load("player.qml");
    EXPECT_EQ(Size(), QSizeF(336, 360));
    for (const QString& tag : {u"Play"_s, u"Pause"_s, u"Stop"_s, u"Next"_s, u"Previous"_s}) {
        face->Write("_root." + tag, u"4"_s); // disabled
        EXPECT_TRUE(face->Click(tag.toLower() + u"Button"_s).isEmpty()) << tag;
        face->Write("_root." + tag, u"1"_s);
        ExpectButtons({tag.toLower() + u"Button "_s + tag});
    }
    face->Write("_root.Play", "3");
    EXPECT_EQ(face->Property("playButton", "state_").toString(), u"3"_s);
    ExpectButtons({"repeatButton Repeat", "listButton ShowList", "listButton HideList",
                   "minimizeButton Minimize", "closeButton Close", "dragArea Drag",
                   "muteButton SoundOff", "muteButton SoundOn", "addButton Add",
                   "openButton OpenFile", "replayGainButton ReplayGain"});
    face->Write("_root.ReplayGainMode", "album");
    EXPECT_EQ(face->AccessibleName("replayGainButton"), u"ReplayGain: album"_s);

    face->Write("_root.VolumePosition", "5");
    EXPECT_EQ(face->Click("volumeKnob", 0.82), QStringList{"IDC_FS_Volume undefined"});
    EXPECT_EQ(face->view.GetVariable(u"_root.VolumePosition"_s), u"8"_s);
    EXPECT_EQ(face->Key(Qt::Key_Up), QStringList{"IDC_FS_Volume undefined"});
    EXPECT_EQ(face->view.GetVariable(u"_root.VolumePosition"_s), u"9"_s);

    face->Write("_root.KnobPosition", " 42");
    EXPECT_EQ(face->Property("seekKnob", "shown").toInt(), 42);
    EXPECT_EQ(face->Click("seekKnob"), QStringList{"IDC_FS_KnobReleased undefined"});
    EXPECT_EQ(face->view.GetVariable(u"_root.KnobPosition"_s), u"50"_s);
    face->Write("_root.KnobDisabled", "1");
    EXPECT_TRUE(face->Click("seekKnob", 0.8).isEmpty());
    EXPECT_EQ(face->Key(Qt::Key_Right), QStringList{"IDC_FS_SeekBy 5000"});
    EXPECT_EQ(face->Key(Qt::Key_Left), QStringList{"IDC_FS_SeekBy -5000"});
    EXPECT_EQ(face->Key(Qt::Key_Space), QStringList{"IDC_FS_Pause undefined"}); // Play=3
    face->Write("_root.Play", "1");
    EXPECT_EQ(face->Key(Qt::Key_Space), QStringList{"IDC_FS_Play undefined"});
    EXPECT_EQ(face->Key(Qt::Key_O, Qt::ControlModifier), QStringList{"IDC_FS_OpenFile undefined"});
}

TEST_F(Faces, ThePlayersDisplayListAndDrops) {
    Load("player.qml");
    face->Write("_root.FileTxt", "Été 'n' Rock.ogg");
    face->Write("_root.SetFileTxt", "1");
    EXPECT_EQ(Text("titleText"), u"Été 'n' Rock.ogg"_s);
    face->Write("_root.TotalTimeTxt", "04:12");
    face->Write("_root.TimePlayedTxt", "01:05");
    EXPECT_NE(Text("timeText"), u"01:05 / 04:12"_s);
    face->Write("_root.SetTimeTxt", "1");
    EXPECT_EQ(Text("timeText"), u"01:05 / 04:12"_s);
    for (const bool playing : {true, false}) {
        face->Write("_root.Playing", playing ? u"1"_s : u"0"_s);
        EXPECT_EQ(face->Property("playingIndicator", "active").toBool(), playing);
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
    EXPECT_TRUE(face->Property("queueMark2", "visible").toBool());
    EXPECT_FALSE(face->Property("queueMark1", "visible").toBool());
    EXPECT_LT(face->Property("playRow0", "opacity").toDouble(), 1.0); // its file is gone
    // A row's tags arrive and it joins the play queue.
    face->Write("_root.ListChanges", JoinFaceList({u"0"_s, u"/m/a.wav"_s, u"Aria"_s, u"Bo"_s,
                                                   u"Cé"_s, u"1"_s, u"01:00"_s, u"2"_s, ""}));
    face->Write("_root.SetListChanges", "1");
    EXPECT_TRUE(face->Property("queueMark0", "visible").toBool());
    face->Write("_root.ListTotal", "3 files · 04:10");
    EXPECT_EQ(Text("totalText"), u"3 files · 04:10"_s);
    EXPECT_TRUE(face->Click("removeButton").isEmpty()); // no row chosen
    face->commands.clear();
    QTest::mouseDClick(&face->view, Qt::LeftButton, Qt::NoModifier, face->At("playRow2"));
    EXPECT_TRUE(face->commands.contains("IDC_FS_SelectedIndex 2")) << face->commands.join(u',');
    EXPECT_EQ(face->Key(Qt::Key_Q), QStringList{"IDC_FS_PlayNext 2"});
    EXPECT_EQ(face->Click("playNextButton"), QStringList{"IDC_FS_PlayNext 2"});
    EXPECT_EQ(face->Click("removeButton"), QStringList{"IDC_FS_Remove 2"});
    face->Click("playRow1");
    EXPECT_EQ(face->Key(Qt::Key_Return), QStringList{"IDC_FS_SelectedIndex 1"});
    EXPECT_EQ(face->Key(Qt::Key_Delete), QStringList{"IDC_FS_Remove 1"});
    EXPECT_EQ(Count("playList"), 1);
    EXPECT_EQ(face->Click("removeAllButton"), QStringList{"IDC_FS_RemoveAll undefined"});
    EXPECT_EQ(Count("playList"), 1);
    face->Write("_root.RemoveAll", "1");
    EXPECT_EQ(Count("playList"), 0);

    // Finding: what is typed goes to the host; Enter plays the first found, Escape clears.
    EXPECT_TRUE(face->Key(Qt::Key_F, Qt::ControlModifier).isEmpty());
    EXPECT_TRUE(face->Property("searchField", "activeFocus").toBool());
    face->commands.clear();
    QTest::keyClicks(&face->view, u"ete"_s);
    EXPECT_EQ(face->commands, (QStringList{"IDC_FS_Find e", "IDC_FS_Find et", "IDC_FS_Find ete"}));
    EXPECT_EQ(face->Key(Qt::Key_Return), QStringList{"IDC_FS_PlayFound undefined"});
    EXPECT_EQ(face->Key(Qt::Key_Escape), QStringList{"IDC_FS_Find "});
    EXPECT_EQ(Text("searchField"), QString());
    EXPECT_FALSE(face->Property("searchField", "activeFocus").toBool());
    // Shuffle, sort and save send their commands and show what the host says.
    EXPECT_EQ(face->Key(Qt::Key_S), QStringList{"IDC_FS_Shuffle undefined"});
    EXPECT_EQ(face->Click("shuffleButton"), QStringList{"IDC_FS_Shuffle undefined"});
    face->Write("_root.Shuffle", "albums");
    EXPECT_EQ(face->AccessibleName("shuffleButton"), u"Shuffle: albums"_s);
    EXPECT_TRUE(face->Click("sortButton").isEmpty());
    EXPECT_EQ(face->Click("sort_artist"), QStringList{"IDC_FS_Sort artist"});
    EXPECT_FALSE(face->Property("sortMenu", "visible").toBool());
    face->Write("_root.SortOrder", "artist");
    EXPECT_EQ(face->AccessibleName("sortButton"), u"Sort: Artist"_s);
    EXPECT_EQ(face->Key(Qt::Key_S, Qt::ControlModifier), QStringList{"IDC_FS_SaveList undefined"});
    EXPECT_EQ(face->Click("addFolderButton"), QStringList{"IDC_FS_AddFolder undefined"});

    // Files dragged from a file manager; anything else is not taken.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(u"/m/Été.mp3"_s), QUrl(u"https://example.invalid/x.mp3"_s),
                  QUrl::fromLocalFile(u"/m/b.wav"_s)});
    EXPECT_EQ(DroppedFiles(&data), (QStringList{"/m/Été.mp3", "/m/b.wav"}));
    QMimeData text;
    text.setText(u"not files"_s);
    EXPECT_TRUE(DroppedFiles(&text).isEmpty());
    // A file manager's own list: a name that is not UTF-8 comes as its bytes.
    QMimeData raw;
    raw.setData(u"text/uri-list"_s, "# dragged\r\nfile:///m/caf%E9.wav\r\n"
                                    "file://localhost/m/x%20y.mp3\r\nhttp://h/z.mp3\r\n");
    EXPECT_EQ(DroppedFiles(&raw),
              (QStringList{PathFromSystem(QByteArray("/m/caf\xe9.wav")), "/m/x y.mp3"}));
    QDragEnterEvent enter(QPoint(150, 250), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&face->view, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return face->Property("dropArea", "containsDrag").toBool(); }, 5000));
}

// The mouse presses and releases and the keys that reach a view past the filters
// installed after it: the right-click filter's.
struct Seen : QObject {
    bool eventFilter(QObject*, QEvent* e) override {
        if (const auto* mouse = dynamic_cast<QMouseEvent*>(e))
            events << u"%1 %2"_s.arg(e->type()).arg(mouse->button());
        if (const auto* key = dynamic_cast<QKeyEvent*>(e);
            key && e->type() != QEvent::ShortcutOverride)
            events << u"%1 %2"_s.arg(e->type()).arg(key->key());
        return false;
    }
    QStringList events;
};

// Right press and release, left press, menu key down and up, "A" down.
QStringList Everything(QWidget& view, Seen& seen) {
    seen.events.clear();
    for (const auto& [type, button] : {std::pair{QEvent::MouseButtonPress, Qt::RightButton},
                                       {QEvent::MouseButtonRelease, Qt::RightButton},
                                       {QEvent::MouseButtonPress, Qt::LeftButton}}) {
        QMouseEvent event(type, QPointF(5, 5), view.mapToGlobal(QPointF(5, 5)), button, button,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(&view, &event);
    }
    for (const auto& [type, code] : {std::pair{QEvent::KeyPress, Qt::Key_Menu},
                                     {QEvent::KeyRelease, Qt::Key_Menu},
                                     {QEvent::KeyPress, Qt::Key_A}}) {
        QKeyEvent event(type, code, Qt::NoModifier);
        QCoreApplication::sendEvent(&view, &event);
    }
    return seen.events;
}

TEST(RightClickFilter, SwallowsRightPressesAndTheMenuKeyOnlyUntilRemoved) {
    FaceWindow window(u"main"_s);
    Seen seen;
    window.faceView().installEventFilter(&seen);
    const QStringList all = Everything(window.faceView(), seen);
    ASSERT_EQ(all.size(), 6);
    window.InstallFilter();
    EXPECT_EQ(Everything(window.faceView(), seen), (QStringList{all[1], all[2], all[4], all[5]}));
    window.RemoveFilter();
    EXPECT_EQ(Everything(window.faceView(), seen), all);
    // Only direct children are searched; a window without a face view is left alone.
    QWidget other;
    new FaceView(new QWidget(&other));
    EXPECT_EQ(FindFaceView(&other), nullptr);
}

} // namespace
