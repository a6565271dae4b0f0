// The player with the real libVLC engine on short generated files, played in
// real time on the desktop's output (a null sink in the test scripts).
#include "fakes.h"
#include "media.h"
#include "playerfrm.h"
#include "vlc_player.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace velune;
using namespace velune::test;

namespace {

class RealPlayer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        media = new QTemporaryDir;
        const auto make = [](const char* name, double seconds, QStringList args = {}) {
            ASSERT_TRUE(
                MakeTone(media->filePath(QString::fromLatin1(name)), seconds, 44100, 2, args))
                << name;
        };
        make("one.wav", 1.0);
        make("two.ogg", 1.0);
        make("three.mp3", 1.0);
        make("four.wma", 1.0, {QStringLiteral("-c:a"), QStringLiteral("wmav2")});
        ASSERT_TRUE(MakeTone(media->filePath(QStringLiteral("five.rm")), 1.0, 8000, 1,
                             {QStringLiteral("-c:a"), QStringLiteral("real_144")}));
        make("long.wav", 4.0);
    }
    static void TearDownTestSuite() { delete media; }

    RealPlayer()
        : frm(mAINfRM::Parts{face, form, messages, dialog, lock, engine, timer,
                             QStringLiteral(VELUNE_PROGRAM_DIR)}) {
        EXPECT_TRUE(frm.Form_Load());
    }

    QString Copy(const char* generated, const QString& name) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(QFile::copy(media->filePath(QString::fromLatin1(generated)), path));
        return path;
    }
    void Add(const QStringList& paths) {
        dialog.Choose(paths);
        frm.Flash_FSCommand(QStringLiteral("IDC_FS_Add"), QStringLiteral("undefined"));
    }
    void Command(const char* command, const QString& args = QStringLiteral("undefined")) {
        frm.Flash_FSCommand(QString::fromLatin1(command), args);
    }
    // Lets the engine play, ticking as the window's timer would while it runs.
    bool PlayUntil(const std::function<bool()>& done, int timeoutMs = 20000) {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > timeoutMs)
                return false;
            QTest::qWait(100);
            if (timer.enabled)
                frm.Timer1_Timer();
        }
        return true;
    }
    bool Written(const QString& write) const { return face.writes.contains(write); }

    static QTemporaryDir* media;
    QTemporaryDir dir;
    RecordingFace face;
    RecordingForm form;
    ScriptedMessages messages;
    ScriptedDialog dialog;
    ScriptedLock lock;
    VlcPlayer engine;
    RecordingTicker timer;
    mAINfRM frm;
};
QTemporaryDir* RealPlayer::media = nullptr;

TEST_F(RealPlayer, PlaysEveryFormatThroughToTheEndOfTheList) {
    const QStringList files{
        Copy("one.wav", QStringLiteral("one.wav")), Copy("two.ogg", QStringLiteral("two.ogg")),
        Copy("three.mp3", QStringLiteral("three.mp3")),
        Copy("four.wma", QStringLiteral("four.wma")), Copy("five.rm", QStringLiteral("five.rm"))};
    Add(files);
    EXPECT_FALSE(engine.isPlaying());
    Command("IDC_FS_Play");
    ASSERT_TRUE(PlayUntil([&] { return !timer.enabled; }, 40000));
    // Each item was announced in turn, and each played long enough to show its length.
    for (const QString& file : files)
        EXPECT_TRUE(Written(QStringLiteral("_root.FileTxt=") + QFileInfo(file).fileName()))
            << file.toStdString();
    EXPECT_TRUE(Written(QStringLiteral("_root.TotalTimeTxt=00:01")));
    EXPECT_TRUE(Written(QStringLiteral("_root.KnobDisabled=1"))); // the RM item cannot be sought
    EXPECT_EQ(frm.list().current(), 4);
    EXPECT_EQ(face.writes.filter(QStringLiteral("_root.Play=")).last(),
              QStringLiteral("_root.Play=1"));
    EXPECT_EQ(face.writes.filter(QStringLiteral("_root.Playing=")).last(),
              QStringLiteral("_root.Playing=0"));
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(RealPlayer, PauseResumeSeekAndStop) {
    Add({Copy("long.wav", QStringLiteral("long.wav"))});
    Command("IDC_FS_Play");
    ASSERT_TRUE(PlayUntil([&] { return engine.inputTime().value_or(0) > 300; }));

    Command("IDC_FS_Pause");
    EXPECT_FALSE(engine.isPlaying());
    QTest::qWait(300);
    const double pausedAt = engine.inputTime().value_or(-1);
    QTest::qWait(400);
    EXPECT_EQ(engine.inputTime().value_or(-2), pausedAt);
    Command("IDC_FS_Pause");
    EXPECT_TRUE(engine.isPlaying());
    ASSERT_TRUE(PlayUntil([&] { return engine.inputTime().value_or(0) > pausedAt + 100; }));

    face.store.insert(QStringLiteral("_root.KnobPosition"), QStringLiteral("50"));
    Command("IDC_FS_KnobReleased");
    ASSERT_TRUE(PlayUntil([&] { return engine.inputPosition().value_or(0) >= 0.5; }, 3000));
    EXPECT_LT(engine.inputPosition().value_or(1), 0.8);

    Command("IDC_FS_Stop");
    EXPECT_FALSE(engine.inputTime());
    EXPECT_FALSE(engine.inputPosition());
    EXPECT_EQ(frm.HS(), 0);
    // Play after Stop starts the item again from its beginning.
    Command("IDC_FS_Play");
    ASSERT_TRUE(PlayUntil([&] { return engine.inputTime().has_value(); }));
    EXPECT_LT(*engine.inputTime(), 1500);
}

TEST_F(RealPlayer, NextPreviousRepeatAndAMissingFile) {
    const QString one = Copy("long.wav", QStringLiteral("one.wav"));
    const QString gone = Copy("long.wav", QStringLiteral("gone.wav"));
    const QString three = Copy("long.wav", QStringLiteral("three.wav"));
    Add({one, gone, three});
    QFile::remove(gone);
    Command("IDC_FS_Play");
    Command("IDC_FS_Next");
    EXPECT_EQ(messages.shown,
              QStringList{QStringLiteral("file:") + gone + QStringLiteral("--dosen't exist")});
    EXPECT_EQ(frm.list().current(), 2);
    ASSERT_TRUE(PlayUntil([&] { return engine.isPlaying() && engine.inputTime().has_value(); }));

    Command("IDC_FS_Repeat");
    Command("IDC_FS_Next");
    EXPECT_EQ(frm.list().current(), 0);
    ASSERT_TRUE(PlayUntil([&] { return engine.inputTime().has_value(); }));
    Command("IDC_FS_Previous");
    EXPECT_EQ(frm.list().current(), 0);
    EXPECT_TRUE(engine.isPlaying());
}

TEST_F(RealPlayer, DroppedOnAnEmptyListThenPlayed) {
    const QString dropped = Copy("two.ogg", QStringLiteral("Été 'n' Rock — 東京.ogg"));
    frm.LstFiles_OLEDragDrop({dropped, dir.filePath(QStringLiteral("cover.jpg"))});
    EXPECT_EQ(messages.shown, QStringList{QStringLiteral("The Player not support this format")});
    EXPECT_TRUE(Written(QStringLiteral("_root.AddedFiles=") + dropped));
    Command("IDC_FS_Play");
    ASSERT_TRUE(PlayUntil([&] { return engine.inputLength().value_or(0) > 0; }));
    EXPECT_NEAR(*engine.inputLength(), 1000.0, 100.0);
}

TEST_F(RealPlayer, ARamFilePlaysTheFirstLocationItLists) {
    const QString target = Copy("one.wav", QStringLiteral("target file.wav"));
    const QString ram = dir.filePath(QStringLiteral("stream.ram"));
    {
        QFile file(ram);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("# a RealAudio metafile\n\ntarget file.wav\nhttp://example.invalid/other.rm\n");
    }
    EXPECT_EQ(FirstRamLocation(ram), target);
    Add({ram});
    Command("IDC_FS_Play");
    EXPECT_TRUE(Written(QStringLiteral("_root.KnobDisabled=1")));
    ASSERT_TRUE(PlayUntil([&] { return engine.inputLength().value_or(0) > 0; }));
    EXPECT_NEAR(*engine.inputLength(), 1000.0, 100.0);
}

TEST_F(RealPlayer, WithoutASoundOutputThePlayerSaysSoOnceAndStops) {
    qputenv("PULSE_SERVER", "unix:/nonexistent/velune");
    qputenv("ALSA_CONFIG_PATH", "/nonexistent/velune");
    Add({Copy("one.wav", QStringLiteral("a.wav")), Copy("one.wav", QStringLiteral("b.wav"))});
    Command("IDC_FS_Play");
    const bool stopped = PlayUntil([&] { return !timer.enabled; });
    qunsetenv("PULSE_SERVER");
    qunsetenv("ALSA_CONFIG_PATH");
    ASSERT_TRUE(stopped);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].startsWith(QStringLiteral("No sound output is available: ")))
        << messages.shown[0].toStdString();
    EXPECT_EQ(frm.list().current(), 0);
}

TEST_F(RealPlayer, VolumeAndMuteReachTheEngine) {
    Add({Copy("long.wav", QStringLiteral("v.wav"))});
    Command("IDC_FS_Play");
    ASSERT_TRUE(PlayUntil([&] { return engine.inputTime().has_value(); }));
    // The sound server confirms each change a moment later.
    EXPECT_TRUE(PlayUntil([&] { return engine.volume() == 100; }, 3000)) << engine.volume();
    face.store.insert(QStringLiteral("_root.VolumePosition"), QStringLiteral("2.5"));
    Command("IDC_FS_Volume");
    EXPECT_TRUE(PlayUntil([&] { return engine.volume() == 50; }, 3000)) << engine.volume();
    Command("IDC_FS_SoundOff");
    EXPECT_TRUE(PlayUntil([&] { return engine.muted(); }, 3000));
    Command("IDC_FS_SoundOn");
    EXPECT_TRUE(PlayUntil([&] { return !engine.muted(); }, 3000));
}

} // namespace
