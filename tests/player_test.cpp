// The player with the real libVLC engine on generated files, played in real time on
// the desktop's output (a null sink in the test scripts): a format or a path that
// does not reach the engine, transport or volume that the engine does not follow,
// a missing sound output not told. Waits follow the engine, with generous limits.
#include "fakes.h"
#include "media.h"
#include "playerfrm.h"
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
        : frm(mAINfRM::Parts{face, form, messages, dialog, lock, engine, timer,
                             QStringLiteral(VELUNE_PROGRAM_DIR)}) {
        EXPECT_TRUE(frm.Form_Load());
    }

    QString Tone(const QString& name, double seconds, const QString& codec = {}, int rate = 44100) {
        EXPECT_TRUE(MakeTone(dir.filePath(name), seconds, rate, 1, Args(codec))) << name;
        return dir.filePath(name);
    }
    void Cmd(const QString& command) { frm.Flash_FSCommand(command, u"undefined"_s); }
    void Play(const QStringList& paths) {
        dialog.Choose(paths);
        Cmd(u"IDC_FS_Add"_s);
        Cmd(u"IDC_FS_Play"_s);
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
                frm.Timer1_Timer();
        }
        return true;
    }
    double Time() const { return engine.inputTime().value_or(-1); }

    QTemporaryDir dir;
    VlcPlayer engine;
    mAINfRM frm;
};

TEST_F(RealPlayer, PlaysEveryFormatAndAnyNameThroughToTheEndOfTheList) {
    const QString ram = dir.filePath(u"stream.ram"_s);
    ASSERT_TRUE(
        WriteFile(ram, "# a RealAudio metafile\n\ntarget file.wav\nhttp://x.invalid/a.rm\n"));
    const QStringList files{Tone(u"one.wav"_s, 1),
                            Tone(u"Été 'n' Rock — 東京.ogg"_s, 1),
                            Tone(u"three.mp3"_s, 1),
                            Tone(u"four.wma"_s, 1, u"-c:a wmav2"_s),
                            Tone(u"five.rm"_s, 1, u"-c:a real_144"_s, 8000),
                            ram};
    Tone(u"target file.wav"_s, 1);
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
    EXPECT_EQ(lengthShown.mid(0, 4), names.mid(0, 4)); // RealAudio may tell no length
    EXPECT_EQ(FirstRamLocation(ram), dir.filePath(u"target file.wav"_s));
    EXPECT_TRUE(face.writes.contains(u"_root.KnobDisabled=1"_s)); // RealAudio cannot be sought
    EXPECT_EQ(frm.list().current(), 5);
    EXPECT_EQ(face.store.value(u"_root.Play"_s), u"1"_s);
    EXPECT_EQ(face.store.value(u"_root.Playing"_s), u"0"_s);
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.shown.join(u'\n');
}

TEST_F(RealPlayer, PauseSeekStopAndPlayFromTheStart) {
    Play({Tone(u"long.wav"_s, 30)});
    ASSERT_TRUE(PlayUntil([&] { return Time() > 300; }));
    Cmd(u"IDC_FS_Pause"_s);
    EXPECT_FALSE(engine.isPlaying());
    // Paused, the time settles and stays.
    double at = -1;
    ASSERT_TRUE(PlayUntil([&] {
        const double before = at;
        at = Time();
        QTest::qWait(300);
        return before == at && Time() == at;
    }));
    Cmd(u"IDC_FS_Pause"_s);
    EXPECT_TRUE(engine.isPlaying());
    ASSERT_TRUE(PlayUntil([&] { return Time() > at + 100; }));

    // Half way in at once: playing there alone would take 15 s.
    face.store.insert(u"_root.KnobPosition"_s, u"50"_s);
    Cmd(u"IDC_FS_KnobReleased"_s);
    EXPECT_TRUE(PlayUntil([&] { return engine.inputPosition().value_or(0) >= 0.5; }, 10000));

    Cmd(u"IDC_FS_Stop"_s);
    EXPECT_FALSE(engine.inputTime());
    EXPECT_EQ(frm.HS(), 0);
    Cmd(u"IDC_FS_Play"_s);
    ASSERT_TRUE(PlayUntil([&] { return engine.inputTime().has_value(); }));
    EXPECT_LT(Time(), 10000);
}

TEST_F(RealPlayer, VolumeAndMuteReachTheEngine) {
    Play({Tone(u"v.wav"_s, 30)});
    ASSERT_TRUE(PlayUntil([&] { return engine.inputTime().has_value(); }));
    // The sound server confirms each change a moment later.
    EXPECT_TRUE(PlayUntil([&] { return engine.volume() == 100; })) << engine.volume();
    face.store.insert(u"_root.VolumePosition"_s, u"2.5"_s);
    Cmd(u"IDC_FS_Volume"_s);
    EXPECT_TRUE(PlayUntil([&] { return engine.volume() == 50; })) << engine.volume();
    Cmd(u"IDC_FS_SoundOff"_s);
    EXPECT_TRUE(PlayUntil([&] { return engine.muted(); }));
    Cmd(u"IDC_FS_SoundOn"_s);
    EXPECT_TRUE(PlayUntil([&] { return !engine.muted(); }));
}

TEST_F(RealPlayer, WithoutASoundOutputThePlayerSaysSoOnceAndStops) {
    qputenv("PULSE_SERVER", "unix:/nonexistent/velune");
    qputenv("ALSA_CONFIG_PATH", "/nonexistent/velune");
    Play({Tone(u"a.wav"_s, 1), Tone(u"b.wav"_s, 1)});
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
