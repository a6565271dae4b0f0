// The player's window with a scripted engine: a removed file played or shown, the
// list run through without a sound output, times or rows off by one, a message box
// with the timer ticking under it.
#include "fakes.h"
#include "playerfrm.h"
#include "remembered.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velune;
using namespace velune::test;

namespace {

// Notes whether the window's timer was left running under a message box.
class Messages : public ScriptedMessages {
public:
    explicit Messages(const RecordingTicker& timer) : timer_(timer) {}
    void Show(const QString& text) override {
        tickedUnder = tickedUnder || timer_.enabled;
        ScriptedMessages::Show(text);
    }
    bool tickedUnder = false;

private:
    const RecordingTicker& timer_;
};

class Player : public ::testing::Test {
protected:
    Player()
        : frm(mAINfRM::Parts{face, form, messages, dialog, lock, engine, timer,
                             QStringLiteral("/opt/velune")}) {
        EXPECT_TRUE(frm.Form_Load());
    }

    QStringList Files(int count) {
        QStringList paths;
        for (int i = 0; i < count; ++i) {
            paths << dir.filePath(QStringLiteral("song%1.mp3").arg(i));
            QFile file(paths.back());
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        }
        return paths;
    }
    void Command(const char* command, const QString& args = QStringLiteral("undefined")) {
        frm.Flash_FSCommand(QString::fromLatin1(command), args);
    }
    void Add(const QStringList& paths) {
        dialog.Choose(paths);
        Command("IDC_FS_Add");
    }
    QString Shown(const char* name) { return face.store.value(QString::fromLatin1(name)); }
    QString Title() { return Shown("_root.FileTxt"); }
    static QString Name(const QString& path) { return QFileInfo(path).fileName(); }
    // The item ends and the next tick sees it.
    void End() {
        engine.ended = true;
        frm.Timer1_Timer();
    }

    QTemporaryDir dir;
    RecordingFace face;
    RecordingForm form;
    RecordingTicker timer;
    Messages messages{timer};
    ScriptedDialog dialog;
    ScriptedLock lock;
    ScriptedPlayer engine;
    mAINfRM frm;
};

TEST_F(Player, StartsWithItsFaceAndRefusesASecondCopy) {
    EXPECT_EQ(face.loaded, std::vector<QString>{QStringLiteral("0:/opt/velune/player.qml")});
    EXPECT_EQ(form.windowSize, QSize(336, 156));
    EXPECT_EQ(form.faceSize, QSize(336, 360));
    EXPECT_EQ(Shown("_root.Play"), QStringLiteral("4"));
    EXPECT_EQ(Shown("_root.VolumePosition"), QStringLiteral("5"));
    EXPECT_EQ(engine.volume, 100);
    Command("IDC_FS_Play"); // nothing to play
    EXPECT_EQ(engine.plays, 0);

    lock.free = false;
    mAINfRM second(mAINfRM::Parts{face, form, messages, dialog, lock, engine, timer, {}});
    EXPECT_FALSE(second.Form_Load());
    EXPECT_EQ(
        messages.shown.last(),
        QStringLiteral("VelunePlayer is running, Please Close VelunePlayer first then try again."));
}

TEST_F(Player, FormatTimeRoundsToSecondsAndKeepsTwoDigits) {
    const std::vector<std::pair<double, QString>> rows{{65000, QStringLiteral("01:05")},
                                                       {754000, QStringLiteral("12:34")},
                                                       {3725000, QStringLiteral("62:05")},
                                                       {59999, QStringLiteral("01:00")},
                                                       {0, QStringLiteral("00:00")}};
    for (const auto& [ms, text] : rows)
        EXPECT_EQ(mAINfRM::FormatTime(ms), text) << ms;
    EXPECT_FALSE(mAINfRM::FormatTime(1e300));
}

TEST_F(Player, AddLoadsTheFirstRowAndTheTransportPlaysPausesAndStops) {
    const QStringList paths = Files(2);
    Add(paths);
    EXPECT_EQ(engine.loaded, paths[0]);
    EXPECT_EQ(engine.plays, 0);
    EXPECT_EQ(frm.list().rows(), paths);

    Command("IDC_FS_Play");
    EXPECT_TRUE(engine.playing);
    EXPECT_EQ(Title(), QStringLiteral("song0.mp3"));
    EXPECT_EQ(Shown("_root.Playing"), QStringLiteral("1"));
    EXPECT_EQ(Shown("_root.Play"), QStringLiteral("3"));
    EXPECT_TRUE(timer.enabled);

    Command("IDC_FS_Pause");
    EXPECT_TRUE(engine.paused);
    EXPECT_FALSE(timer.enabled);
    EXPECT_EQ(Shown("_root.Pause"), QStringLiteral("3"));
    Command("IDC_FS_Pause");
    EXPECT_TRUE(engine.playing);

    Command("IDC_FS_Stop");
    EXPECT_FALSE(engine.playing);
    EXPECT_EQ(engine.loaded, paths[0]);
    EXPECT_EQ(frm.HS(), 0);
    Command("IDC_FS_Repeat");
    EXPECT_TRUE(frm.RepeatOn());
    EXPECT_EQ(Shown("_root.Repeat"), QStringLiteral("3"));
}

TEST_F(Player, NextAndPreviousStopAtTheEndsOrWrapWithRepeatAndSkipMissingFilesOnce) {
    QStringList paths = Files(4);
    QFile::remove(paths[2]);
    Add(paths);
    Command("IDC_FS_Play");
    Command("IDC_FS_Previous"); // at the first row: nothing happens
    EXPECT_EQ(engine.loaded, paths[0]);
    Command("IDC_FS_Next");
    Command("IDC_FS_Next"); // row 2 is missing: reported, row 3 plays
    EXPECT_EQ(engine.loaded, paths[3]);
    EXPECT_EQ(messages.shown,
              QStringList{QStringLiteral("file:") + paths[2] + QStringLiteral("--dosen't exist")});
    Command("IDC_FS_Next"); // the end, without repeat: the last row stays
    EXPECT_EQ(engine.loaded, paths[3]);
    Command("IDC_FS_Repeat");
    Command("IDC_FS_Next");
    EXPECT_EQ(engine.loaded, paths[0]);
    EXPECT_EQ(Title(), QStringLiteral("song0.mp3"));
    EXPECT_FALSE(messages.tickedUnder);

    // Every file gone, with repeat: one sweep, each reported once.
    for (const QString& path : paths)
        QFile::remove(path);
    messages.shown.clear();
    Command("IDC_FS_Next");
    EXPECT_EQ(messages.shown.size(), 4);
    EXPECT_TRUE(engine.loaded.isEmpty());
}

TEST_F(Player, TicksShowTimesAndTheEndOfAnItemPlaysTheNextOrClearsTheDisplay) {
    const QStringList paths = Files(2);
    Add(paths);
    Command("IDC_FS_Play");
    engine.length = 754000;
    engine.time = 65000;
    engine.position = 0.42;
    frm.Timer1_Timer();
    EXPECT_EQ(Shown("_root.TotalTimeTxt"), QStringLiteral("12:34"));
    EXPECT_EQ(Shown("_root.TimePlayedTxt"), QStringLiteral("01:05"));
    EXPECT_EQ(Shown("_root.KnobPosition"), QStringLiteral(" 42"));
    // No length yet: neither time nor its trigger.
    engine.length.reset();
    face.writes.clear();
    frm.Timer1_Timer();
    EXPECT_FALSE(face.writes.contains(QStringLiteral("_root.SetTimeTxt=1")));
    // Position 1 shows 99 until the item really ends.
    engine.position = 1.0;
    frm.Timer1_Timer();
    EXPECT_EQ(frm.HS(), 99);

    End();
    EXPECT_EQ(engine.loaded, paths[1]);
    EXPECT_TRUE(engine.playing);
    EXPECT_EQ(Title(), QStringLiteral("song1.mp3"));
    EXPECT_EQ(frm.HS(), 0);

    End(); // the last item: nothing plays on
    EXPECT_FALSE(timer.enabled);
    EXPECT_EQ(Title(), QStringLiteral(" "));
    EXPECT_EQ(Shown("_root.Playing"), QStringLiteral("0"));
    EXPECT_EQ(Shown("_root.TimePlayedTxt"), QStringLiteral("00:00"));
    Command("IDC_FS_Play"); // plays again, announced
    EXPECT_EQ(Title(), QStringLiteral("song1.mp3"));
}

TEST_F(Player, WithoutASoundOutputTheFirstFailureIsToldOnceAndPlayingStops) {
    const QStringList paths = Files(3);
    Add(paths);
    Command("IDC_FS_Play");
    engine.soundFailure = QStringLiteral("PulseAudio server connection failure");
    End();
    EXPECT_EQ(messages.shown, QStringList{QStringLiteral("No sound output is available: "
                                                         "PulseAudio server connection failure")});
    EXPECT_FALSE(messages.tickedUnder);
    EXPECT_EQ(engine.loaded, paths[0]);
    EXPECT_FALSE(timer.enabled);
    EXPECT_EQ(Shown("_root.Play"), QStringLiteral("1"));
    frm.Timer1_Timer();
    EXPECT_EQ(messages.shown.size(), 1);
}

TEST_F(Player, KnobReleaseSeeksAndVolumeFollowsTheFace) {
    Add(Files(1));
    Command("IDC_FS_Play");
    const std::vector<std::pair<QString, double>> knobs{
        {QStringLiteral("50"), 0.5}, {QStringLiteral("nan"), 0.5}, {QStringLiteral("250"), 1.0}};
    for (const auto& [knob, seek] : knobs) {
        face.store.insert(QStringLiteral("_root.KnobPosition"), knob);
        Command("IDC_FS_KnobReleased");
        EXPECT_EQ(engine.seeks.last(), seek) << knob.toStdString();
    }
    const std::vector<std::pair<QString, int>> volumes{
        {QStringLiteral("2.5"), 50}, {QStringLiteral("0.125"), 2}, {QStringLiteral("10"), 200}};
    for (const auto& [position, volume] : volumes) {
        face.store.insert(QStringLiteral("_root.VolumePosition"), position);
        Command("IDC_FS_Volume");
        EXPECT_EQ(engine.volume, volume) << position.toStdString();
    }
    Command("IDC_FS_SoundOff");
    EXPECT_TRUE(engine.muted);
    // The arrow keys: five seconds either way, within the item.
    engine.length = 10000;
    engine.time = 2000;
    Command("IDC_FS_SeekBy", QStringLiteral("5000"));
    EXPECT_EQ(engine.seeks.last(), 0.7);
    Command("IDC_FS_SeekBy", QStringLiteral("-5000"));
    EXPECT_EQ(engine.seeks.last(), 0.0);
}

// Removing the loaded row never leaves its file playing or shown, whatever the
// engine was doing; Play then plays the row now at its place.
TEST_F(Player, RemovingTheLoadedRowInEveryState) {
    enum class Was { Playing, Paused, Stopped };
    struct Row {
        const char* what;
        Was was;
        int removed;       // of rows 0..2, row 1 loaded unless this is 0 or 2
        QString playsNow;  // what the engine holds right after
        QString playAfter; // what Play then plays
    };
    const QStringList paths = Files(3);
    const std::vector<Row> rows{
        {"playing, middle", Was::Playing, 1, paths[2], paths[2]},
        {"playing, last", Was::Playing, 2, QString(), paths[1]},
        {"paused, middle", Was::Paused, 1, QString(), paths[2]},
        {"stopped, first", Was::Stopped, 0, QString(), paths[1]},
        {"stopped, last", Was::Stopped, 2, QString(), paths[1]},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Command("IDC_FS_RemoveAll");
        Add(paths);
        Command("IDC_FS_SelectedIndex", QString::number(row.removed));
        if (row.was == Was::Paused)
            Command("IDC_FS_Pause");
        if (row.was == Was::Stopped)
            Command("IDC_FS_Stop");
        Command("IDC_FS_Remove", QString::number(row.removed));
        EXPECT_EQ(frm.list().size(), 2);
        EXPECT_EQ(engine.loaded, row.playsNow);
        EXPECT_EQ(engine.playing, !row.playsNow.isEmpty());
        EXPECT_EQ(Title(), row.playsNow.isEmpty() ? QStringLiteral(" ") : Name(row.playsNow));
        if (row.playsNow.isEmpty()) {
            Command("IDC_FS_Play");
            EXPECT_EQ(engine.loaded, row.playAfter);
            EXPECT_EQ(Title(), Name(row.playAfter));
        }
        EXPECT_NE(engine.loaded, paths[row.removed]);
    }
}

TEST_F(Player, RemovingOtherRowsKeepsTheLoadedFileAndNextGoesOnFromIt) {
    const QStringList paths = Files(4);
    Add(paths);
    Command("IDC_FS_SelectedIndex", QStringLiteral("2"));
    Command("IDC_FS_Remove", QStringLiteral("0")); // before it
    Command("IDC_FS_Remove", QStringLiteral("2")); // after it (song3)
    Command("IDC_FS_Remove", QStringLiteral("7")); // no such row: nothing
    EXPECT_EQ(frm.list().rows(), (QStringList{paths[1], paths[2]}));
    EXPECT_EQ(frm.list().current(), 1);
    EXPECT_EQ(engine.loaded, paths[2]);
    Command("IDC_FS_Previous");
    EXPECT_EQ(engine.loaded, paths[1]);
    // The last row goes: the face empties its list and the transport is off.
    Command("IDC_FS_Remove", QStringLiteral("1"));
    Command("IDC_FS_Remove", QStringLiteral("0"));
    EXPECT_TRUE(engine.loaded.isEmpty());
    EXPECT_EQ(Shown("_root.RemoveAll"), QStringLiteral("1"));
    EXPECT_EQ(Shown("_root.Play"), QStringLiteral("4"));
}

TEST_F(Player, OpenReplacesTheListAndDroppedFilesJoinIt) {
    const QStringList paths = Files(3);
    Add(paths.mid(0, 2));
    Command("IDC_FS_Play");
    dialog.Choose({paths[2]});
    Command("IDC_FS_OpenFile");
    EXPECT_EQ(frm.list().rows(), QStringList{paths[2]});
    EXPECT_EQ(engine.loaded, paths[2]);
    EXPECT_FALSE(engine.playing);
    EXPECT_EQ(Title(), QStringLiteral(" "));

    frm.LstFiles_OLEDragDrop({paths[0], dir.filePath(QStringLiteral("notes.txt"))});
    EXPECT_EQ(frm.list().rows(), (QStringList{paths[2], paths[0]}));
    EXPECT_EQ(messages.shown, QStringList{QStringLiteral("The Player not support this format")});
    EXPECT_EQ(face.store.value(QStringLiteral("_root.AddedFiles")), paths[0]);
}

TEST_F(Player, TheStateComesBackUnplayedAndACorruptFileGivesTheDefaults) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    const QStringList paths = Files(3);
    Add(paths);
    Command("IDC_FS_SelectedIndex", QStringLiteral("1"));
    Command("IDC_FS_Repeat");
    face.store.insert(QStringLiteral("_root.VolumePosition"), QStringLiteral("7"));
    Command("IDC_FS_Volume");
    Command("IDC_FS_SoundOff");
    Command("IDC_FS_ShowList");
    SaveRemembered(frm.Remember());

    RecordingFace face2;
    RecordingForm form2;
    ScriptedPlayer engine2;
    mAINfRM again(mAINfRM::Parts{face2, form2, messages, dialog, lock, engine2, timer, {}});
    ASSERT_TRUE(again.Form_Load());
    again.Restore(LoadRemembered());
    EXPECT_EQ(again.list().rows(), paths);
    EXPECT_EQ(engine2.loaded, paths[1]);
    EXPECT_FALSE(engine2.playing);
    EXPECT_EQ(engine2.volume, 140);
    EXPECT_TRUE(engine2.muted);
    EXPECT_TRUE(again.RepeatOn());
    EXPECT_EQ(form2.windowSize, QSize(336, 360));
    EXPECT_EQ(face2.store.value(QStringLiteral("_root.Muted")), QStringLiteral("1"));
    EXPECT_EQ(face2.store.value(QStringLiteral("_root.AddedFiles")), paths.join(u'|'));

    const QString file = QSettings(QSettings::IniFormat, QSettings::UserScope,
                                   QStringLiteral("Velune"), QStringLiteral("VelunePlayer"))
                             .fileName();
    QFile corrupt(file);
    ASSERT_TRUE(corrupt.open(QIODevice::WriteOnly));
    corrupt.write(QByteArray("\0\xff[list\nrows=\"\x01\nvolume=-3e999\n", 30));
    corrupt.close();
    const mAINfRM::Remembered defaults = LoadRemembered();
    EXPECT_TRUE(defaults.rows.isEmpty());
    EXPECT_EQ(defaults.volume, 5.0);
}

} // namespace
