// The player's window driven through its commands with a scripted engine and face.
#include "fakes.h"
#include "player_engine.h"
#include "playerfrm.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velune;
using namespace velune::test;

namespace {

class ScriptedPlayer : public PlayerEngine {
public:
    bool setVolume(int v) override { return Call(QStringLiteral("volume %1").arg(v)); }
    bool setMute(bool m) override {
        return Call(m ? QStringLiteral("mute") : QStringLiteral("unmute"));
    }
    bool playlistAdd(const QString& uri) override {
        loaded = uri;
        ended = false;
        return Call(QStringLiteral("add ") + uri);
    }
    bool play() override {
        playing = !loaded.isEmpty();
        ended = false;
        return Call(QStringLiteral("play"));
    }
    bool stop() override {
        playing = false;
        return Call(QStringLiteral("stop"));
    }
    bool togglePause() override {
        playing = !playing;
        return Call(QStringLiteral("togglePause"));
    }
    bool isPlaying() const override { return playing; }
    bool itemsClear() override {
        loaded.clear();
        return Call(QStringLiteral("clear"));
    }
    std::optional<double> inputLength() const override { return length; }
    std::optional<double> inputTime() const override { return time; }
    std::optional<double> inputPosition() const override { return position; }
    bool setInputPosition(double p) override { return Call(QStringLiteral("seek %1").arg(p)); }
    bool Ended() const override { return ended; }

    bool Call(const QString& what) {
        calls << what;
        return true;
    }

    QStringList calls;
    QString loaded;
    bool playing = false;
    bool ended = false;
    std::optional<double> length;
    std::optional<double> time;
    std::optional<double> position;
};

class Player : public ::testing::Test {
protected:
    Player()
        : frm(mAINfRM::Parts{face, form, messages, dialog, lock, engine, timer,
                             QStringLiteral("/opt/velune")}) {}

    QString Audio(const QString& name) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("audio");
        return path;
    }
    QStringList Files(int count, const QString& ext = QStringLiteral("mp3")) {
        QStringList paths;
        for (int i = 0; i < count; ++i)
            paths << Audio(QStringLiteral("song%1.").arg(i) + ext);
        return paths;
    }
    void Loaded() {
        ASSERT_TRUE(frm.Form_Load());
        Clear();
    }
    void Clear() {
        face.writes.clear();
        engine.calls.clear();
        form.calls.clear();
        messages.shown.clear();
    }
    void Command(const char* command, const QString& args = QStringLiteral("undefined")) {
        frm.Flash_FSCommand(QString::fromLatin1(command), args);
    }
    void Add(const QStringList& paths) {
        dialog.Choose(paths);
        Command("IDC_FS_Add");
    }
    QString Name(const QString& path) { return QFileInfo(path).fileName(); }

    QTemporaryDir dir;
    RecordingFace face;
    RecordingForm form;
    ScriptedMessages messages;
    ScriptedDialog dialog;
    ScriptedLock lock;
    ScriptedPlayer engine;
    RecordingTicker timer;
    mAINfRM frm;
};

QStringList W(std::initializer_list<const char*> writes) {
    QStringList list;
    for (const char* w : writes)
        list << QString::fromUtf8(w);
    return list;
}

TEST_F(Player, StartUp) {
    ASSERT_TRUE(frm.Form_Load());
    EXPECT_EQ(face.loaded, std::vector<QString>{QStringLiteral("0:/opt/velune/player.qml")});
    EXPECT_EQ(form.calls, (QStringList{QStringLiteral("geometry"), QStringLiteral("hook")}));
    EXPECT_FALSE(form.position);
    EXPECT_EQ(form.windowSize, QSize(336, 156));
    EXPECT_EQ(form.faceSize, QSize(336, 360));
    EXPECT_EQ(face.writes, W({"_root.Play=4", "_root.Pause=4", "_root.Stop=4", "_root.Next=4",
                              "_root.Previous=4", "_root.FileTxt= ", "_root.SetFileTxt=1",
                              "_root.VolumePosition=5"}));
    EXPECT_EQ(engine.calls, QStringList{QStringLiteral("volume 100")});
    EXPECT_TRUE(frm.Stopped());

    frm.Form_Unload();
    EXPECT_EQ(form.calls.back(), QStringLiteral("unhook"));
}

TEST_F(Player, ASecondCopyIsRefused) {
    lock.free = false;
    EXPECT_FALSE(frm.Form_Load());
    EXPECT_EQ(messages.shown,
              QStringList{QStringLiteral(
                  "VelunePlayer is running, Please Close VelunePlayer first then try again.")});
    EXPECT_TRUE(face.loaded.empty());
}

TEST_F(Player, WindowCommandsListPanelVolumeAndMute) {
    Loaded();
    Command("IDC_FS_Minimize");
    Command("IDC_FS_Drag");
    Command("IDC_FS_ShowList");
    EXPECT_EQ(form.windowSize, QSize(336, 360));
    Command("IDC_FS_ShowList");
    EXPECT_EQ(form.windowSize, QSize(336, 156));
    Command("IDC_FS_HideList");
    EXPECT_EQ(form.windowSize, QSize(336, 360));
    EXPECT_EQ(form.faceSize, QSize(336, 360));
    Command("idc_fs_play");
    Command("IDC_FS_Close");
    EXPECT_EQ(form.calls, (QStringList{QStringLiteral("minimize"), QStringLiteral("drag"),
                                       QStringLiteral("geometry"), QStringLiteral("geometry"),
                                       QStringLiteral("geometry"), QStringLiteral("end")}));

    const std::vector<std::pair<const char*, int>> volumes{
        {"0", 0}, {"2.5", 50}, {"2.53", 51}, {"0.125", 2}, {"10", 200}, {"7 and more", 140}};
    for (const auto& [position, volume] : volumes) {
        face.store.insert(QStringLiteral("_root.VolumePosition"), QString::fromLatin1(position));
        Command("IDC_FS_Volume");
        EXPECT_EQ(engine.calls.back(), QStringLiteral("volume %1").arg(volume)) << position;
    }
    face.store.insert(QStringLiteral("_root.VolumePosition"), QStringLiteral("loud"));
    Command("IDC_FS_Volume");
    EXPECT_EQ(engine.calls.back(), QStringLiteral("volume 0"));
    Command("IDC_FS_SoundOff");
    EXPECT_EQ(engine.calls.back(), QStringLiteral("mute"));
    Command("IDC_FS_SoundOn");
    EXPECT_EQ(engine.calls.back(), QStringLiteral("unmute"));
}

TEST_F(Player, FormatTime) {
    const std::vector<std::pair<double, const char*>> times{
        {65000, "01:05"}, {754000, "12:34"}, {3725000, "62:05"}, {59999, "01:00"}, {61000, "01:01"},
        {1499, "00:01"},  {2500, "00:02"},   {0, "00:00"},       {600000, "10:00"}};
    for (const auto& [ms, text] : times)
        EXPECT_EQ(mAINfRM::FormatTime(ms), QString::fromLatin1(text)) << ms;
    EXPECT_FALSE(mAINfRM::FormatTime(32768.0 * 60 * 1000));
    EXPECT_FALSE(mAINfRM::FormatTime(1e12));
}

TEST_F(Player, TransportDoesNothingOnAnEmptyList) {
    Loaded();
    for (const char* command : {"IDC_FS_Play", "IDC_FS_Pause", "IDC_FS_Stop", "IDC_FS_Next",
                                "IDC_FS_Previous", "IDC_FS_Repeat"})
        Command(command);
    EXPECT_TRUE(face.writes.isEmpty());
    EXPECT_TRUE(engine.calls.isEmpty());
    EXPECT_FALSE(frm.RepeatOn());
}

TEST_F(Player, AddLoadsTheFirstRowThenPlayAnnouncesIt) {
    Loaded();
    const QStringList songs = Files(3);
    Add(songs);
    EXPECT_EQ(dialog.titles.back(), QStringLiteral("Input Audio File"));
    EXPECT_EQ(engine.calls, (QStringList{QStringLiteral("stop"), QStringLiteral("clear"),
                                         QStringLiteral("add ") + songs[0]}));
    EXPECT_EQ(face.writes,
              (QStringList{QStringLiteral("_root.Play=1"),
                           QStringLiteral("_root.AddedFiles=") + songs.join(QLatin1Char('|')),
                           QStringLiteral("_root.SetAddedFiles=1")}));
    EXPECT_EQ(frm.ListIndex(), 0);

    Clear();
    const QStringList more = Files(5).mid(3);
    Add(more);
    EXPECT_TRUE(engine.calls.isEmpty());
    EXPECT_EQ(face.writes,
              (QStringList{QStringLiteral("_root.AddedFiles=") + more.join(QLatin1Char('|')),
                           QStringLiteral("_root.SetAddedFiles=1")}));

    Clear();
    Command("IDC_FS_Play");
    EXPECT_EQ(engine.calls, QStringList{QStringLiteral("play")});
    EXPECT_EQ(face.writes,
              (QStringList{QStringLiteral("_root.FileTxt=") + Name(songs[0]),
                           QStringLiteral("_root.SetFileTxt=1"), QStringLiteral("_root.Playing=1"),
                           QStringLiteral("_root.KnobDisabled=0"), QStringLiteral("_root.Play=3"),
                           QStringLiteral("_root.Pause=1"), QStringLiteral("_root.Stop=1"),
                           QStringLiteral("_root.Next=1"), QStringLiteral("_root.Previous=1")}));
    EXPECT_TRUE(timer.enabled);
}

TEST_F(Player, PauseResumeStopAndRepeat) {
    Loaded();
    Add(Files(2, QStringLiteral("Rm")));
    Command("IDC_FS_Play");
    EXPECT_TRUE(face.writes.contains(QStringLiteral("_root.KnobDisabled=1")));

    Clear();
    Command("IDC_FS_Pause");
    EXPECT_EQ(face.writes, W({"_root.Playing=0", "_root.Play=1", "_root.Pause=3"}));
    EXPECT_FALSE(timer.enabled);
    EXPECT_FALSE(frm.Stopped());
    Clear();
    Command("IDC_FS_Pause");
    EXPECT_EQ(face.writes, W({"_root.Playing=1", "_root.Play=3", "_root.Pause=1"}));
    EXPECT_TRUE(timer.enabled);

    // Pause then Play: resumes without announcing.
    Command("IDC_FS_Pause");
    Clear();
    Command("IDC_FS_Play");
    EXPECT_FALSE(face.writes.join(QLatin1Char(' ')).contains(QStringLiteral("FileTxt")));
    EXPECT_FALSE(face.writes.join(QLatin1Char(' ')).contains(QStringLiteral("Playing")));

    Clear();
    Command("IDC_FS_Stop");
    EXPECT_EQ(engine.calls, QStringList{QStringLiteral("stop")});
    EXPECT_EQ(face.writes, W({"_root.Playing=0", "_root.FileTxt=", "_root.SetFileTxt=1",
                              "_root.Play=1", "_root.Pause=1"}));
    EXPECT_TRUE(frm.Stopped());
    EXPECT_FALSE(timer.enabled);

    Clear();
    Command("IDC_FS_Repeat");
    Command("IDC_FS_Repeat");
    EXPECT_EQ(face.writes, W({"_root.Repeat=3", "_root.Repeat=1"}));
}

TEST_F(Player, NextAndPreviousAtTheEndsOfTheList) {
    Loaded();
    const QStringList songs = Files(3);
    Add(songs);
    Command("IDC_FS_Play");
    Command("IDC_FS_Previous");
    EXPECT_EQ(frm.CurrentIndex(), 0);
    Command("IDC_FS_Next");
    Clear();
    Command("IDC_FS_Next");
    EXPECT_EQ(frm.CurrentIndex(), 2);
    EXPECT_EQ(engine.calls,
              (QStringList{QStringLiteral("stop"), QStringLiteral("clear"),
                           QStringLiteral("add ") + songs[2], QStringLiteral("play")}));
    EXPECT_EQ(
        face.writes.mid(face.writes.size() - 3),
        (QStringList{QStringLiteral("_root.FileTxt=") + Name(songs[2]),
                     QStringLiteral("_root.SetFileTxt=1"), QStringLiteral("_root.Playing=1")}));

    Clear();
    Command("IDC_FS_Next");
    EXPECT_EQ(frm.CurrentIndex(), 2);
    EXPECT_TRUE(engine.calls.isEmpty());
    EXPECT_EQ(face.writes, W({"_root.Play=1"}));

    Command("IDC_FS_Repeat");
    Clear();
    Command("IDC_FS_Next");
    EXPECT_EQ(frm.CurrentIndex(), 0);
    EXPECT_EQ(engine.loaded, songs[0]);
    Command("IDC_FS_Previous");
    EXPECT_EQ(frm.CurrentIndex(), 0);
}

TEST_F(Player, TickWritesTimesAndMovesTheKnobWithItsLeadingSpace) {
    Loaded();
    Add(Files(2));
    Command("IDC_FS_Play");
    Clear();
    engine.length = 200000;
    engine.time = 84000;
    engine.position = 0.42;
    frm.Timer1_Timer();
    EXPECT_EQ(face.writes,
              W({"_root.KnobPosition= 42", "_root.KnobDisabled=0", "_root.TotalTimeTxt=03:20",
                 "_root.TimePlayedTxt=01:24", "_root.SetTimeTxt=1"}));
    EXPECT_EQ(frm.HS(), 42);

    // Near the end the knob waits at 99: the rest of the item still plays.
    Clear();
    engine.position = 0.996;
    frm.Timer1_Timer();
    EXPECT_EQ(frm.HS(), 99);
    EXPECT_EQ(frm.CurrentIndex(), 0);
    EXPECT_FALSE(engine.calls.contains(QStringLiteral("play")));
}

TEST_F(Player, TheRealEndOfAnItemHandsOverToTheNextWhateverStoppedHolds) {
    Loaded();
    const QStringList songs = Files(2);
    Add(songs);
    Command("IDC_FS_Play");
    ASSERT_TRUE(frm.Stopped());
    engine.position = 0.5;
    frm.Timer1_Timer();
    Clear();
    engine.ended = true; // ended between two ticks
    engine.position.reset();
    frm.Timer1_Timer();
    EXPECT_EQ(frm.CurrentIndex(), 1);
    EXPECT_EQ(engine.loaded, songs[1]);
    EXPECT_TRUE(engine.playing);
    EXPECT_EQ(frm.L(), QStringLiteral("00:00"));
    // The next item is shown, and nothing clears it.
    EXPECT_TRUE(face.writes.contains(QStringLiteral("_root.FileTxt=") + Name(songs[1])));
    EXPECT_EQ(face.writes.filter(QStringLiteral("_root.Playing=")).last(),
              QStringLiteral("_root.Playing=1"));
    EXPECT_FALSE(face.writes.contains(QStringLiteral("_root.TotalTimeTxt=00:00")));
    EXPECT_TRUE(timer.enabled);

    // The last item ends: nothing plays on, so the display clears and the ticks stop.
    Clear();
    engine.ended = true;
    frm.Timer1_Timer();
    EXPECT_EQ(frm.CurrentIndex(), 1);
    EXPECT_EQ(face.writes, W({"_root.Play=1", "_root.KnobPosition= 100", "_root.TotalTimeTxt=00:00",
                              "_root.TimePlayedTxt=00:00", "_root.SetTimeTxt=1", "_root.Playing=0",
                              "_root.FileTxt= ", "_root.SetFileTxt=1"}));
    EXPECT_FALSE(timer.enabled);

    // After a pause and resume (Stopped false) the end still hands over.
    Command("IDC_FS_Repeat");
    Command("IDC_FS_Play");
    Command("IDC_FS_Pause");
    Command("IDC_FS_Pause");
    ASSERT_FALSE(frm.Stopped());
    engine.ended = true;
    frm.Timer1_Timer();
    EXPECT_EQ(frm.CurrentIndex(), 0);
    EXPECT_TRUE(engine.playing);
}

TEST_F(Player, KnobReleaseSeeks) {
    Loaded();
    Add(Files(3));
    Command("IDC_FS_Play");
    Clear();
    face.store.insert(QStringLiteral("_root.KnobPosition"), QStringLiteral("50"));
    Command("IDC_FS_KnobReleased");
    EXPECT_EQ(frm.HS(), 50);
    EXPECT_EQ(engine.calls, QStringList{QStringLiteral("seek 0.5")});
    EXPECT_EQ(face.writes, W({"_root.KnobPosition= 50"}));

    Clear();
    face.store.insert(QStringLiteral("_root.KnobPosition"), QStringLiteral("far"));
    Command("IDC_FS_KnobReleased");
    EXPECT_EQ(engine.calls, QStringList{QStringLiteral("seek 0.5")});

    // Released at the end: the next item, once.
    Clear();
    face.store.insert(QStringLiteral("_root.KnobPosition"), QStringLiteral("100"));
    Command("IDC_FS_KnobReleased");
    EXPECT_EQ(frm.CurrentIndex(), 1);
    EXPECT_EQ(engine.calls.count(QStringLiteral("play")), 1);
    EXPECT_EQ(frm.HS(), 0);
}

TEST_F(Player, SelectedIndexPlaysARowAndIgnoresAnythingElse) {
    Loaded();
    const QStringList songs = Files(3);
    Add(songs);
    Clear();
    for (const char* bad : {"undefined", "x", "3", "-1", "1.5", ""})
        Command("IDC_FS_SelectedIndex", QString::fromLatin1(bad));
    EXPECT_TRUE(engine.calls.isEmpty());
    EXPECT_TRUE(face.writes.isEmpty());

    Command("IDC_FS_SelectedIndex", QStringLiteral("2"));
    EXPECT_EQ(frm.CurrentIndex(), 2);
    EXPECT_EQ(engine.loaded, songs[2]);
    EXPECT_TRUE(engine.playing);
    EXPECT_EQ(
        face.writes.mid(face.writes.size() - 3),
        (QStringList{QStringLiteral("_root.FileTxt=") + Name(songs[2]),
                     QStringLiteral("_root.SetFileTxt=1"), QStringLiteral("_root.Playing=1")}));
}

TEST_F(Player, MissingFilesAreReportedOnceInOneSweep) {
    Loaded();
    const QStringList songs = Files(3);
    Add(songs);
    QFile::remove(songs[1]);
    QFile::remove(songs[2]);
    Command("IDC_FS_Play");
    Clear();
    Command("IDC_FS_Next");
    EXPECT_EQ(
        messages.shown,
        (QStringList{QStringLiteral("file:") + songs[1] + QStringLiteral("--dosen't exist"),
                     QStringLiteral("file:") + songs[2] + QStringLiteral("--dosen't exist")}));
    EXPECT_EQ(frm.CurrentIndex(), 2);
    EXPECT_EQ(face.writes.last(), QStringLiteral("_root.Play=1"));

    // Repeat on and every file gone: one message each, then it stops.
    QFile::remove(songs[0]);
    Command("IDC_FS_Repeat");
    Clear();
    Command("IDC_FS_Next");
    EXPECT_EQ(messages.shown.size(), 3);
    EXPECT_EQ(face.writes.last(), QStringLiteral("_root.Play=1"));
}

TEST_F(Player, RemovingRows) {
    Loaded();
    const QStringList songs = Files(5);
    Add(songs);
    Command("IDC_FS_SelectedIndex", QStringLiteral("1"));
    // The face removed its row 1, the loaded one, while it plays: the next row plays.
    Clear();
    Command("IDC_FS_Remove", QStringLiteral("1"));
    EXPECT_EQ(frm.LstFiles().size(), 4);
    EXPECT_EQ(frm.CurrentIndex(), 1);
    EXPECT_EQ(engine.loaded, songs[2]);
    EXPECT_TRUE(engine.playing);

    // A row before the loaded one.
    Command("IDC_FS_Remove", QStringLiteral("0"));
    EXPECT_EQ(frm.CurrentIndex(), 0);
    EXPECT_EQ(frm.LstFiles().front(), songs[2]);
    // A row after it: playback untouched.
    Clear();
    Command("IDC_FS_Remove", QStringLiteral("2"));
    EXPECT_EQ(frm.LstFiles(), (QStringList{songs[2], songs[3]}));
    EXPECT_TRUE(engine.calls.isEmpty());
    // Nothing selected any more and no row sent: nothing happens.
    Command("IDC_FS_Remove");
    EXPECT_EQ(frm.LstFiles().size(), 2);

    Command("IDC_FS_Remove", QStringLiteral("1"));
    Clear();
    Command("IDC_FS_Remove", QStringLiteral("0"));
    EXPECT_TRUE(frm.LstFiles().isEmpty());
    EXPECT_EQ(engine.calls, (QStringList{QStringLiteral("stop"), QStringLiteral("clear")}));
    EXPECT_EQ(face.writes, W({"_root.FileTxt=", "_root.SetFileTxt=1", "_root.Playing=0",
                              "_root.RemoveAll=1", "_root.Play=4", "_root.Pause=4", "_root.Stop=4",
                              "_root.Next=4", "_root.Previous=4"}));

    // The next add loads row 0 again.
    Clear();
    Add(Files(1));
    EXPECT_TRUE(face.writes.contains(QStringLiteral("_root.Play=1")));
}

TEST_F(Player, RemoveAllAndOpen) {
    Loaded();
    Add(Files(3));
    Command("IDC_FS_SelectedIndex", QStringLiteral("2"));
    Clear();
    Command("IDC_FS_RemoveAll");
    EXPECT_TRUE(frm.LstFiles().isEmpty());
    EXPECT_EQ(face.writes.first(), QStringLiteral("_root.RemoveAll=1"));
    EXPECT_EQ(frm.CurrentIndex(), 0);

    const QStringList first = Files(2);
    Add(first);
    Command("IDC_FS_SelectedIndex", QStringLiteral("1"));
    Clear();
    const QStringList replacement{Audio(QStringLiteral("x.ogg")), Audio(QStringLiteral("y.wav"))};
    dialog.Choose(replacement);
    Command("IDC_FS_OpenFile");
    EXPECT_EQ(dialog.titles.back(), QStringLiteral("Open Audio File"));
    EXPECT_EQ(frm.LstFiles(), replacement);
    EXPECT_EQ(frm.CurrentIndex(), 0);
    EXPECT_EQ(engine.loaded, replacement[0]);
    EXPECT_EQ(face.writes.first(), QStringLiteral("_root.RemoveAll=1"));
    EXPECT_TRUE(face.writes.contains(QStringLiteral("_root.AddedFiles=") +
                                     replacement.join(QLatin1Char('|'))));
    EXPECT_EQ(face.writes.filter(QStringLiteral("_root.AddedFiles=")).size(), 1);
    EXPECT_FALSE(timer.enabled);

    // A cancelled Open keeps the list.
    Command("IDC_FS_OpenFile");
    EXPECT_EQ(frm.LstFiles(), replacement);
}

TEST_F(Player, DroppedFilesJoinTheListAndTheFace) {
    Loaded();
    QDir().mkpath(dir.filePath(QStringLiteral("My.Music")));
    const QString upper = Audio(QStringLiteral("Song.MP3"));
    const QString flac = Audio(QStringLiteral("b.flac"));
    const QString rm = Audio(QStringLiteral("c.rm"));
    frm.LstFiles_OLEDragDrop({upper, flac, dir.filePath(QStringLiteral("My.Music/readme")),
                              Audio(QStringLiteral("track.mp3.txt")), rm});
    EXPECT_EQ(messages.shown, QStringList(3, QStringLiteral("The Player not support this format")));
    EXPECT_EQ(frm.LstFiles(), (QStringList{upper, rm}));
    EXPECT_EQ(engine.loaded, upper);
    EXPECT_EQ(face.writes,
              (QStringList{QStringLiteral("_root.Play=1"),
                           QStringLiteral("_root.AddedFiles=") + upper + QLatin1Char('|') + rm,
                           QStringLiteral("_root.SetAddedFiles=1")}));
    // Dropped again: a second entry, nothing reloaded.
    Clear();
    frm.LstFiles_OLEDragDrop({upper});
    EXPECT_EQ(frm.LstFiles().size(), 3);
    EXPECT_TRUE(engine.calls.isEmpty());
}

TEST_F(Player, DoubleClickAndTheWindowsOwnButtons) {
    Loaded();
    const QStringList songs = Files(3);
    Add(songs);
    frm.SelectRow(-1);
    frm.LstFiles_DblClick();
    EXPECT_FALSE(engine.playing);
    frm.SelectRow(2);
    frm.LstFiles_DblClick();
    EXPECT_EQ(frm.CurrentIndex(), 2);
    EXPECT_TRUE(engine.playing);
    EXPECT_TRUE(frm.Stopped());

    frm.SelectRow(0);
    frm.Command2_Click(1);
    EXPECT_EQ(frm.LstFiles(), (QStringList{songs[1], songs[2]}));
    frm.Command2_Click(2);
    EXPECT_TRUE(frm.LstFiles().isEmpty());
    EXPECT_EQ(frm.CurrentIndex(), 0);
}

} // namespace
