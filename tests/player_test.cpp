// The player with the real libVLC engine on generated files, played in real time on
// the desktop's output (a null sink in the test scripts): a format or a path that
// does not reach the engine, transport or volume that the engine does not follow,
// a missing sound output not told. Waits follow the engine, with generous limits.
#include "fakes.h"
#include "media.h"
#include "player_window.h"
#include "vlc_player.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace velune;
using namespace velune::test;

namespace {

class RealPlayer : public ::testing::Test, protected Around {
protected:
    RealPlayer()
        : frm(PlayerWindow::Parts{face, form, messages, dialog, lock, engine, timer,
                                  QStringLiteral(VELUNE_PROGRAM_DIR)}) {
        EXPECT_TRUE(frm.Start());
    }

    QString Tone(const QString& name, double seconds, const QString& codec = {}, int rate = 44100) {
        EXPECT_TRUE(MakeTone(dir.filePath(name), seconds, rate, 1, Args(codec))) << name;
        return dir.filePath(name);
    }
    void Cmd(const QString& command) { frm.OnFaceCommand(command, u"undefined"_s); }
    void Play(const QStringList& paths) {
        dialog.Choose(paths);
        Cmd("IDC_FS_Add");
        Cmd("IDC_FS_Play");
    }
    // Lets the engine play, ticking as the window's timer would while it runs.
    bool PlayUntil(const std::function<bool()>& done, int timeoutMs = 30000) {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > timeoutMs)
                return false;
            QTest::qWait(50);
            if (timer.enabled)
                frm.Tick();
        }
        return true;
    }
    double Time() const { return engine.inputTime().value_or(-1); }

    QTemporaryDir dir;
    VlcPlayer engine;
    PlayerWindow frm;
};

TEST_F(RealPlayer, PlaysEveryFormatAndAnyNameThroughToTheEndOfTheList) {
    const QStringList files{Tone("one.wav", 1), Tone("Été 'n' Rock — 東京.ogg", 1),
                            Tone("three.mp3", 1), Tone("four.wma", 1, u"-c:a wmav2"_s),
                            Tone("five.rm", 1, u"-c:a real_144"_s, 8000)};
    Play(files);
    ASSERT_TRUE(PlayUntil([&] { return !timer.enabled; }, 120000));
    // Each item was announced in turn, and each played long enough to show its length.
    QStringList announced, lengthShown, names;
    QString title;
    for (const QString& write : face.writes) {
        if (write.startsWith(u"_root.FileTxt="_s) && (title = write.mid(14)) != u" "_s &&
            !announced.contains(title))
            announced << title;
        if (write == u"_root.TotalTimeTxt=00:01"_s && !lengthShown.contains(title))
            lengthShown << title;
    }
    for (const QString& file : files)
        names << QFileInfo(file).fileName();
    EXPECT_EQ(announced, names);
    EXPECT_EQ(lengthShown, names.mid(0, 4));                   // a RealAudio stream tells no length
    EXPECT_TRUE(face.writes.contains("_root.KnobDisabled=1")); // RealAudio cannot be sought
    EXPECT_EQ(frm.list().current(), 4);
    EXPECT_EQ(face.store.value("_root.Play"), u"1"_s);
    EXPECT_EQ(face.store.value("_root.Playing"), u"0"_s);
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.shown.join(u'\n');
}

TEST_F(RealPlayer, PauseSeekStopAndPlayFromTheStart) {
    Play({Tone("long.wav", 30)});
    ASSERT_TRUE(PlayUntil([&] { return Time() > 300; }));
    Cmd("IDC_FS_Pause");
    EXPECT_FALSE(engine.isPlaying());
    // Paused, the time settles and stays.
    double at = -1;
    ASSERT_TRUE(PlayUntil([&] {
        const double before = at;
        at = Time();
        QTest::qWait(300);
        return before == at && Time() == at;
    }));
    Cmd("IDC_FS_Pause");
    EXPECT_TRUE(engine.isPlaying());
    ASSERT_TRUE(PlayUntil([&] { return Time() > at + 100; }));

    // Half way in at once: playing there alone would take 15 s.
    face.store.insert(u"_root.KnobPosition"_s, u"50"_s);
    Cmd("IDC_FS_KnobReleased");
    EXPECT_TRUE(PlayUntil([&] { return engine.inputPosition().value_or(0) >= 0.5; }, 10000));

    Cmd("IDC_FS_Stop");
    EXPECT_FALSE(engine.inputTime());
    EXPECT_EQ(frm.SeekBar(), 0);
    Cmd("IDC_FS_Play");
    ASSERT_TRUE(PlayUntil([&] { return engine.inputTime().has_value(); }));
    EXPECT_LT(Time(), 10000);
}

TEST_F(RealPlayer, ARamFilePlaysWhatItListsAndVolumeAndMuteReachTheEngine) {
    Tone("target file.wav", 30);
    const QString ram = dir.filePath("stream.ram");
    ASSERT_TRUE(
        WriteFile(ram, "# a RealAudio metafile\n\ntarget file.wav\nhttp://x.invalid/a.rm\n"));
    Play({ram});
    ASSERT_TRUE(PlayUntil([&] { return engine.inputLength().value_or(0) > 29000; }));
    // The sound server confirms each change a moment later.
    EXPECT_TRUE(PlayUntil([&] { return engine.volume() == 100; })) << engine.volume();
    face.store.insert(u"_root.VolumePosition"_s, u"2.5"_s);
    Cmd("IDC_FS_Volume");
    EXPECT_TRUE(PlayUntil([&] { return engine.volume() == 50; })) << engine.volume();
    Cmd("IDC_FS_SoundOff");
    EXPECT_TRUE(PlayUntil([&] { return engine.muted(); }));
    Cmd("IDC_FS_SoundOn");
    EXPECT_TRUE(PlayUntil([&] { return !engine.muted(); }));
}

TEST_F(RealPlayer, WithoutASoundOutputThePlayerSaysSoOnceAndStops) {
    qputenv("PULSE_SERVER", "unix:/nonexistent/velune");
    qputenv("ALSA_CONFIG_PATH", "/nonexistent/velune");
    Play({Tone("a.wav", 1), Tone("b.wav", 1)});
    const bool stopped = PlayUntil([&] { return !timer.enabled; });
    qunsetenv("PULSE_SERVER");
    qunsetenv("ALSA_CONFIG_PATH");
    ASSERT_TRUE(stopped);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].startsWith(u"No sound output is available: "_s))
        << messages.shown[0];
    EXPECT_EQ(frm.list().current(), 0);
}

} // namespace
