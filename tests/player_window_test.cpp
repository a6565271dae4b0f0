// The player's list and window with a scripted engine: a current or chosen row left
// on the wrong file after an edit, a removed file played or shown, the list run
// through without a sound output, times or rows off by one, a message box with the
// timer ticking under it, settings lost between runs.
#include "fakes.h"
#include "gapless_player.h"
#include "media.h"
#include "player_window.h"
#include "playlist.h"
#include "recording_output.h"
#include "remembered.h"
#include "user_settings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace velune;
using namespace velune::test;

namespace {

// Every case starts from rows a..e with c (2) current and d (3) chosen.
TEST(Playlist, EditsKeepTheCurrentAndChosenRowsOnTheirFiles) {
    struct Edit {
        const char* what;
        std::function<void(Playlist&)> edit;
        const char* current; // "" = none, likewise below
        const char* successor;
        const char* chosen;
    };
    const auto remove = [](std::vector<int> rows) {
        return [rows](Playlist& l) {
            for (int row : rows)
                l.remove(row);
        };
    };
    const std::vector<Edit> edits{
        {"remove before", remove({0}), "c", "", "d"},
        {"remove after", remove({4}), "c", "", "d"},
        {"remove the current", remove({2}), "", "d", "d"},
        {"remove the chosen", remove({3}), "c", "", ""},
        {"remove the current, then the row before", remove({2, 0}), "", "d", "d"},
        {"remove the current, then its successor", remove({2, 2}), "", "e", ""},
        {"remove the current and every row after it", remove({4, 3, 2}), "", "b", ""},
        {"remove a row that is not there", remove({5, -1}), "c", "", "d"},
        {"insert before",
         [](Playlist& l) {
             l.insert(0, {"x", "y"});
         },
         "c", "", "d"},
        {"insert after", [](Playlist& l) { l.insert(4, {"x"}); }, "c", "", "d"},
        {"append", [](Playlist& l) { l.append({"x"}); }, "c", "", "d"},
        {"clear", [](Playlist& l) { l.clear(); }, "", "", ""},
    };
    for (const Edit& e : edits) {
        SCOPED_TRACE(e.what);
        Playlist list;
        list.append({"a", "b", "c", "d", "e"});
        list.setCurrent(2);
        list.choose(3);
        e.edit(list);
        EXPECT_EQ(list.at(list.current()), QLatin1String(e.current));
        EXPECT_EQ(list.at(list.successor()), QLatin1String(e.successor));
        EXPECT_EQ(list.at(list.chosen()), QLatin1String(e.chosen));
        EXPECT_EQ(list.at(list.start()), QLatin1String(*e.current ? e.current : e.successor));
    }
    Playlist one;
    EXPECT_EQ(one.after(-1, true), -1);
    one.append({u"only"_s});
    EXPECT_EQ(one.after(0, false), -1);
    EXPECT_EQ(one.after(0, true), 0);
    one.setCurrent(3); // no such row
    EXPECT_EQ(one.current(), -1);
}

class Player : public ::testing::Test, protected Around {
protected:
    Player() : frm(Parts(face, form, engine)) { EXPECT_TRUE(frm.Start()); }

    PlayerWindow::Parts Parts(Face& f, Form& w, PlayerEngine& e) {
        return {f,       w,          messages,    dialog, lock, e, timer, u"/opt/velune"_s,
                folders, background, cache.path()};
    }
    QStringList Files(int count) {
        QStringList paths;
        for (int i = 0; i < count; ++i) {
            paths << dir.filePath(u"song%1.mp3"_s.arg(i));
            EXPECT_TRUE(WriteFile(paths.back()));
        }
        return paths;
    }
    void Cmd(const QString& command, const QString& args = u"undefined"_s) {
        frm.OnFaceCommand(command, args);
    }
    void Add(const QStringList& paths) {
        dialog.Choose(paths);
        Cmd("IDC_FS_Add");
    }
    QString Shown(const QString& name) { return face.store.value(name); }
    QString Title() { return Shown("_root.FileTxt"); }
    // The item ends and the next tick sees it.
    void End() {
        engine.ended = true;
        frm.Tick();
    }

    QTemporaryDir dir;
    ScriptedPlayer engine;
    PlayerWindow frm;
};

TEST_F(Player, StartsWithItsFaceAndTheTransportFollowsTheEngine) {
    EXPECT_EQ(face.loaded, std::vector<QString>{u"/opt/velune/player.qml"_s});
    EXPECT_EQ(form.geometry, u"336x156 face 336x560"_s);
    EXPECT_EQ(Shown("_root.Play"), u"4"_s);
    EXPECT_EQ(engine.volume, 100);
    Cmd("IDC_FS_Play"); // nothing to play
    const QStringList paths = Files(2);
    Add(paths);
    EXPECT_EQ(engine.loaded, paths[0]);
    EXPECT_EQ(engine.plays, 0);
    Cmd("IDC_FS_Play");
    EXPECT_TRUE(engine.playing);
    EXPECT_EQ(Title(), u"song0.mp3"_s);
    EXPECT_EQ(Shown("_root.Playing"), u"1"_s);
    EXPECT_EQ(Shown("_root.Play"), u"3"_s);
    EXPECT_TRUE(timer.enabled);
    Cmd("IDC_FS_Pause");
    EXPECT_TRUE(engine.paused);
    EXPECT_FALSE(timer.enabled);
    EXPECT_EQ(Shown("_root.Pause"), u"3"_s);
    Cmd("IDC_FS_Pause");
    EXPECT_TRUE(engine.playing);
    Cmd("IDC_FS_Stop");
    EXPECT_FALSE(engine.playing);
    EXPECT_EQ(engine.loaded, paths[0]);

    lock.free = false;
    PlayerWindow second(Parts(face, form, engine));
    EXPECT_FALSE(second.Start());
    EXPECT_EQ(
        messages.shown,
        QStringList{"VelunePlayer is running, Please Close VelunePlayer first then try again."});
}

TEST_F(Player, FormatTimeRoundsToSecondsAndKeepsTwoDigits) {
    for (const auto& [ms, text] : std::vector<std::pair<double, QString>>{
             {65000, u"01:05"_s}, {3725000, u"62:05"_s}, {59999, u"01:00"_s}, {0, u"00:00"_s}})
        EXPECT_EQ(PlayerWindow::FormatTime(ms), text) << ms;
    EXPECT_FALSE(PlayerWindow::FormatTime(1e300));
}

TEST_F(Player, NextAndPreviousStopAtTheEndsOrWrapWithRepeatAndSkipMissingFilesOnce) {
    QStringList paths = Files(4);
    QFile::remove(paths[2]);
    Add(paths);
    Cmd("IDC_FS_Play");
    Cmd("IDC_FS_Previous"); // at the first row: nothing happens
    EXPECT_EQ(engine.loaded, paths[0]);
    Cmd("IDC_FS_Next");
    Cmd("IDC_FS_Next"); // row 2 is missing: reported, row 3 plays
    EXPECT_EQ(engine.loaded, paths[3]);
    EXPECT_EQ(messages.shown, QStringList{"file:" + paths[2] + "--dosen't exist"});
    Cmd("IDC_FS_Next"); // the end, without repeat: the last row stays
    EXPECT_EQ(engine.loaded, paths[3]);
    Cmd("IDC_FS_Repeat");
    EXPECT_EQ(Shown("_root.Repeat"), u"3"_s);
    Cmd("IDC_FS_Next");
    EXPECT_EQ(engine.loaded, paths[0]);
    EXPECT_EQ(Title(), u"song0.mp3"_s);
    EXPECT_FALSE(messages.tickedUnder);

    // Every file gone, with repeat: one sweep, each reported once.
    for (const QString& path : paths)
        QFile::remove(path);
    messages.shown.clear();
    Cmd("IDC_FS_Next");
    EXPECT_EQ(messages.shown.size(), 4);
    EXPECT_TRUE(engine.loaded.isEmpty());
}

TEST_F(Player, TicksShowTimesAndTheEndOfAnItemPlaysTheNextOrClearsTheDisplay) {
    const QStringList paths = Files(2);
    Add(paths);
    Cmd("IDC_FS_Play");
    engine.length = 754000;
    engine.time = 65000;
    engine.position = 0.42;
    frm.Tick();
    EXPECT_EQ(Shown("_root.TotalTimeTxt"), u"12:34"_s);
    EXPECT_EQ(Shown("_root.TimePlayedTxt"), u"01:05"_s);
    EXPECT_EQ(Shown("_root.KnobPosition"), u" 42"_s);
    // No length yet: neither time nor its trigger.
    engine.length.reset();
    face.writes.clear();
    frm.Tick();
    EXPECT_FALSE(face.writes.contains("_root.SetTimeTxt=1"));
    // Position 1 shows 99 until the item really ends.
    engine.position = 1.0;
    frm.Tick();
    EXPECT_EQ(frm.SeekBar(), 99);

    End();
    EXPECT_EQ(engine.loaded, paths[1]);
    EXPECT_TRUE(engine.playing);
    EXPECT_EQ(Title(), u"song1.mp3"_s);
    EXPECT_EQ(frm.SeekBar(), 0);

    End(); // the last item: nothing plays on
    EXPECT_FALSE(timer.enabled);
    EXPECT_EQ(Title(), u" "_s);
    EXPECT_EQ(Shown("_root.Playing"), u"0"_s);
    EXPECT_EQ(Shown("_root.TimePlayedTxt"), u"00:00"_s);
    Cmd("IDC_FS_Play"); // plays again, announced
    EXPECT_EQ(Title(), u"song1.mp3"_s);
}

TEST_F(Player, WithoutASoundOutputTheFirstFailureIsToldOnceAndPlayingStops) {
    const QStringList paths = Files(3);
    Add(paths);
    Cmd("IDC_FS_Play");
    engine.soundFailure = u"PulseAudio server connection failure"_s;
    End();
    EXPECT_EQ(messages.shown,
              QStringList{"No sound output is available: PulseAudio server connection failure"});
    EXPECT_FALSE(messages.tickedUnder);
    EXPECT_EQ(engine.loaded, paths[0]);
    EXPECT_FALSE(timer.enabled);
    EXPECT_EQ(Shown("_root.Play"), u"1"_s);
    frm.Tick();
    EXPECT_EQ(messages.shown.size(), 1);
}

TEST_F(Player, SeeksAndVolumeFollowTheFace) {
    Add(Files(1));
    Cmd("IDC_FS_Play");
    for (const auto& [knob, seek] : std::vector<std::pair<QString, double>>{
             {u"50"_s, 0.5}, {u"nan"_s, 0.5}, {u"250"_s, 1.0}}) {
        face.store.insert(u"_root.KnobPosition"_s, knob);
        Cmd("IDC_FS_KnobReleased");
        EXPECT_EQ(engine.seeks.last(), seek) << knob;
    }
    for (const auto& [position, volume] :
         std::vector<std::pair<QString, int>>{{u"2.5"_s, 50}, {u"0.125"_s, 2}, {u"10"_s, 200}}) {
        face.store.insert(u"_root.VolumePosition"_s, position);
        Cmd("IDC_FS_Volume");
        EXPECT_EQ(engine.volume, volume) << position;
    }
    // The arrow keys: five seconds either way, within the item.
    engine.length = 10000;
    engine.time = 2000;
    Cmd("IDC_FS_SeekBy", u"5000"_s);
    EXPECT_EQ(engine.seeks.last(), 0.7);
    Cmd("IDC_FS_SeekBy", u"-5000"_s);
    EXPECT_EQ(engine.seeks.last(), 0.0);
}

// Removing the loaded row never leaves its file playing or shown, whatever the
// engine was doing; Play then plays the row now at its place.
TEST_F(Player, RemovingTheLoadedRowInEveryState) {
    struct Row {
        const char* what;
        const char* before; // the command before the removal, or ""
        int removed;        // of rows 0..2, loaded first
        int playsNow;       // the row whose file the engine holds right after; -1: none
        int playAfter;      // what Play then plays
    };
    const QStringList paths = Files(3);
    const std::vector<Row> rows{
        {"playing, middle", "", 1, 2, 2},
        {"playing, last", "", 2, -1, 1},
        {"paused, middle", "IDC_FS_Pause", 1, -1, 2},
        {"stopped, first", "IDC_FS_Stop", 0, -1, 1},
        {"stopped, last", "IDC_FS_Stop", 2, -1, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Cmd("IDC_FS_RemoveAll");
        Add(paths);
        Cmd("IDC_FS_SelectedIndex", QString::number(row.removed));
        if (*row.before)
            Cmd(QString::fromLatin1(row.before));
        Cmd("IDC_FS_Remove", QString::number(row.removed));
        EXPECT_EQ(frm.list().size(), 2);
        const QString now = row.playsNow < 0 ? QString() : paths[row.playsNow];
        EXPECT_EQ(engine.loaded, now);
        EXPECT_EQ(engine.playing, !now.isEmpty());
        EXPECT_EQ(Title(), now.isEmpty() ? u" "_s : QFileInfo(now).fileName());
        if (now.isEmpty()) {
            Cmd("IDC_FS_Play");
            EXPECT_EQ(engine.loaded, paths[row.playAfter]);
            EXPECT_EQ(Title(), QFileInfo(paths[row.playAfter]).fileName());
        }
    }
}

TEST_F(Player, RemovingOtherRowsKeepsTheLoadedFileAndNextGoesOnFromIt) {
    const QStringList paths = Files(4);
    Add(paths);
    Cmd("IDC_FS_SelectedIndex", u"2"_s);
    for (const QString& row : {u"0"_s, u"2"_s, u"7"_s}) // before it, after it (song3), none
        Cmd("IDC_FS_Remove", row);
    EXPECT_EQ(frm.list().rows(), (QStringList{paths[1], paths[2]}));
    EXPECT_EQ(engine.loaded, paths[2]);
    Cmd("IDC_FS_Previous");
    EXPECT_EQ(engine.loaded, paths[1]);
    // The last row goes: the face empties its list and the transport is off.
    Cmd("IDC_FS_Remove", u"1"_s);
    Cmd("IDC_FS_Remove", u"0"_s);
    EXPECT_TRUE(engine.loaded.isEmpty());
    EXPECT_EQ(Shown("_root.RemoveAll"), u"1"_s);
    EXPECT_EQ(Shown("_root.Play"), u"4"_s);
}

TEST_F(Player, OpenReplacesTheListAndDroppedFilesJoinIt) {
    const QStringList paths = Files(3);
    Add(paths.mid(0, 2));
    Cmd("IDC_FS_Play");
    dialog.Choose({paths[2]});
    Cmd("IDC_FS_OpenFile");
    EXPECT_EQ(frm.list().rows(), QStringList{paths[2]});
    EXPECT_EQ(engine.loaded, paths[2]);
    EXPECT_FALSE(engine.playing);
    EXPECT_EQ(Title(), u" "_s);

    frm.DropFiles({paths[0], dir.filePath("notes.txt")});
    EXPECT_EQ(frm.list().rows(), (QStringList{paths[2], paths[0]}));
    EXPECT_EQ(messages.shown, QStringList{"The Player not support this format"});
    EXPECT_EQ(Shown("_root.AddedFiles"), paths[0]);
}

// The engine always holds the file that follows the current row, by the list's rules,
// and the face follows the engine the moment it moves on.
TEST_F(Player, TheEngineKnowsWhatFollowsAndTheFaceFollowsTheEngineAtOnce) {
    QStringList paths = Files(4);
    Add(paths);
    Cmd("IDC_FS_Play");
    struct Step {
        const char* what;
        std::function<void()> act;
        int current; // the row shown as playing
        int next;    // the row queued after it; -1 none
    };
    const std::vector<Step> steps{
        {"playing the first row", [] {}, 0, 1},
        {"the engine moves on", [&] { engine.Advance(); }, 1, 2},
        {"the queued row is removed", [&] { Cmd("IDC_FS_Remove", u"2"_s); }, 1, 2},
        {"rows added after", [&] { Add({dir.filePath(u"song3.mp3"_s)}); }, 1, 2},
        {"the engine moves on again", [&] { engine.Advance(); }, 2, 3},
        {"the engine moves on to the last row", [&] { engine.Advance(); }, 3, -1},
        {"repeat queues the first row", [&] { Cmd("IDC_FS_Repeat"); }, 3, 0},
        {"the engine wraps round", [&] { engine.Advance(); }, 0, 1},
        {"a queued file that cannot be opened is told and the row after it queued",
         [&] {
             QFile::remove(paths[1]);
             engine.Skip();
         },
         0, 2},
        {"that row follows", [&] { engine.Advance(); }, 2, 3},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        frm.FollowEngine();
        EXPECT_EQ(frm.list().current(), step.current);
        EXPECT_EQ(engine.loaded, frm.list().at(step.current));
        EXPECT_EQ(Title(), QFileInfo(frm.list().at(step.current)).fileName());
        EXPECT_EQ(engine.next, step.next < 0 ? QString() : frm.list().at(step.next));
    }
    EXPECT_EQ(messages.shown, QStringList{"file:" + paths[1] + "--dosen't exist"});
    Cmd("IDC_FS_Stop");
    EXPECT_EQ(engine.next, paths[3]); // stopping keeps what follows
    // The desktop's mixer is the truth for the knob and the mute.
    engine.mixer = {{60, true}};
    frm.FollowEngine();
    EXPECT_EQ(Shown("_root.VolumePosition"), u"3"_s);
    EXPECT_EQ(Shown("_root.Muted"), u"1"_s);
    EXPECT_DOUBLE_EQ(frm.VolumeLevel(), 0.3);
    Cmd("IDC_FS_RemoveAll");
    EXPECT_TRUE(engine.next.isEmpty());
}

TEST_F(Player, TheStateComesBackUnplayedAndACorruptFileGivesTheDefaults) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    const QStringList paths = Files(3);
    Add(paths);
    Cmd("IDC_FS_SelectedIndex", u"1"_s);
    face.store.insert(u"_root.VolumePosition"_s, u"7"_s);
    for (const QString& command :
         {u"IDC_FS_Repeat"_s, u"IDC_FS_Volume"_s, u"IDC_FS_SoundOff"_s, u"IDC_FS_ShowList"_s,
          u"IDC_FS_ReplayGain"_s, u"IDC_FS_ReplayGain"_s})
        Cmd(command);
    SaveRemembered(frm.Remember());

    RecordingFace face2;
    RecordingForm form2;
    ScriptedPlayer engine2;
    PlayerWindow again(Parts(face2, form2, engine2));
    ASSERT_TRUE(again.Start());
    again.Restore(LoadRemembered());
    EXPECT_EQ(again.list().rows(), paths);
    EXPECT_EQ(engine2.loaded, paths[1]);
    EXPECT_FALSE(engine2.playing);
    EXPECT_EQ(engine2.volume, 140);
    EXPECT_TRUE(engine2.muted);
    EXPECT_TRUE(again.RepeatOn());
    EXPECT_EQ(form2.geometry, u"336x560 face 336x560"_s);
    EXPECT_EQ(face2.store.value("_root.Muted"), u"1"_s);
    EXPECT_EQ(face2.store.value("_root.ReplayGainMode"), u"album"_s);
    EXPECT_EQ(engine2.gain, ReplayGainMode::Album);
    EXPECT_EQ(face2.store.value("_root.AddedFiles"), paths.join(u'|'));

    ASSERT_TRUE(WriteFile(UserSettings(u"VelunePlayer"_s)->fileName(),
                          QByteArray("\0\xff[list\nrows=\"\x01\nvolume=-3e999\n", 30)));
    const PlayerWindow::Remembered defaults = LoadRemembered();
    EXPECT_TRUE(defaults.rows.isEmpty());
    EXPECT_EQ(defaults.volume, 5.0);
}

// Where each event leaves each state. Letters: i idle, o opening, p playing, z paused,
// s switching, d draining, e ended, f failed; one row a state, one letter an event.
TEST(PlaybackStates, EveryEventMovesEveryStateByOneTable) {
    using E = PlaybackEvent;
    const std::vector<E> events{E::Load,       E::Clear,       E::Play,         E::Pause,
                                E::Resume,     E::Stop,        E::Seek,         E::StreamReady,
                                E::ItemFailed, E::SoundFailed, E::FormatChange, E::AllWritten,
                                E::NextNamed,  E::Drained};
    const char* const kLetters = "iopzsdef";
    // clang-format off
    const std::vector<std::pair<PlaybackState, const char*>> rows{
        //                          load clear play pause resume stop seek ready itemfail soundfail format written next drained
        {PlaybackState::Idle,      "i" "i" "o" "i" "i" "i" "i" "i" "i" "i" "i" "i" "i" "i"},
        {PlaybackState::Opening,   "i" "i" "o" "z" "o" "i" "o" "p" "e" "f" "o" "o" "o" "o"},
        {PlaybackState::Playing,   "i" "i" "p" "z" "p" "i" "o" "p" "e" "f" "s" "d" "p" "p"},
        {PlaybackState::Paused,    "i" "i" "o" "z" "o" "i" "z" "z" "e" "f" "z" "z" "z" "z"},
        {PlaybackState::Switching, "i" "i" "s" "z" "s" "i" "o" "s" "e" "f" "s" "d" "s" "o"},
        {PlaybackState::Draining,  "i" "i" "d" "z" "d" "i" "o" "d" "e" "f" "s" "d" "p" "e"},
        {PlaybackState::Ended,     "i" "i" "o" "e" "e" "i" "e" "e" "e" "f" "e" "e" "e" "e"},
        {PlaybackState::Failed,    "i" "i" "o" "f" "f" "i" "f" "f" "e" "f" "f" "f" "f" "f"},
    };
    // clang-format on
    for (const auto& [state, expected] : rows)
        for (std::size_t e = 0; e < events.size(); ++e) {
            const PlaybackState after = Transition(state, events[e]);
            EXPECT_EQ(kLetters[static_cast<int>(after)], expected[e])
                << StateName(state) << " + " << EventName(events[e]) << " -> " << StateName(after);
        }
}

// What the window shows of each state, and what its Play and Pause buttons ask for.
TEST_F(Player, TheWindowMirrorsTheEnginesState) {
    Add(Files(2));
    struct Row {
        PlaybackState state;
        PlayerWindow::Status status;
        bool stopped; // Play starts afresh
    };
    using S = PlayerWindow::Status;
    const std::vector<Row> rows{
        {PlaybackState::Idle, S::Stopped, true},       {PlaybackState::Opening, S::Playing, false},
        {PlaybackState::Playing, S::Playing, false},   {PlaybackState::Paused, S::Paused, false},
        {PlaybackState::Switching, S::Playing, false}, {PlaybackState::Draining, S::Playing, false},
        {PlaybackState::Ended, S::Stopped, true},      {PlaybackState::Failed, S::Stopped, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(StateName(row.state));
        engine.forced = row.state;
        EXPECT_EQ(frm.PlaybackStatus(), row.status);
        EXPECT_EQ(frm.Stopped(), row.stopped);
    }
    // Pause while nothing plays changes nothing: Play then starts afresh, announced.
    engine.forced.reset();
    Cmd("IDC_FS_Pause");
    EXPECT_FALSE(engine.paused);
    EXPECT_NE(Shown("_root.Pause"), u"3"_s);
    frm.SetPaused(false); // MPRIS Play's resume, with nothing paused
    EXPECT_FALSE(engine.playing);
    Cmd("IDC_FS_Play");
    EXPECT_EQ(Title(), u"song0.mp3"_s);
    frm.SetPaused(true);
    frm.SetPaused(true); // twice is once
    EXPECT_TRUE(engine.paused);
    EXPECT_EQ(Shown("_root.Playing"), u"0"_s);
}

// The real engine under thousands of random commands against an output that plays
// in real time into nothing, on files that include missing, corrupt, empty, short,
// multichannel and other-rate ones: every command answered in order, the time never
// running back but by a seek, one stream at most, the end of the list told once, no
// spinning feed, and a clean shutdown in any state.
TEST(PlayerEngine, ThousandsOfRandomCommandsKeepEveryPromise) {
    const quint32 seed = qEnvironmentVariableIsSet("VELUNE_SEED")
                             ? qgetenv("VELUNE_SEED").toUInt()
                             : QRandomGenerator::global()->generate();
    const int commands = qEnvironmentVariableIsSet("VELUNE_COMMANDS")
                             ? qEnvironmentVariableIntValue("VELUNE_COMMANDS")
                             : 10000;
    std::printf("random command sequence: VELUNE_SEED=%u, %d commands\n", seed, commands);
    QRandomGenerator random(seed);
    QTemporaryDir dir;
    const auto file = [&](const char* name) { return dir.filePath(QString::fromLatin1(name)); };
    ASSERT_TRUE(MakeTone(file("a.wav"), 0.3, 44100, 1));
    ASSERT_TRUE(MakeTone(file("b.flac"), 0.2, 48000, 2));
    ASSERT_TRUE(MakeTone(file("six.flac"), 0.2, 44100, 6));
    ASSERT_TRUE(MakeTone(file("short.ogg"), 0.02, 44100, 2));
    ASSERT_TRUE(WriteFile(file("corrupt.mp3"), Noise(4000)));
    ASSERT_TRUE(WriteFile(file("empty.wav")));
    const QStringList files{file("a.wav"),       file("b.flac"),      file("six.flac"),
                            file("short.ogg"),   file("corrupt.mp3"), file("empty.wav"),
                            file("missing.wav"), file("a.wav")};

    struct Player {
        Around around;
        GaplessPlayer engine{[](std::function<void()>) -> std::unique_ptr<SoundOutput> {
            return std::make_unique<RecordingOutput>();
        }};
        PlayerWindow window{{around.face, around.form, around.messages, around.dialog, around.lock,
                             engine, around.timer, u"/opt/velune"_s, around.folders,
                             around.background, around.cache.path()}};
        Player() {
            QObject::connect(&engine, &GaplessPlayer::changed, [this] { window.FollowEngine(); });
            window.Start();
        }
    };
    auto player = std::make_unique<Player>();
    const auto pick = [&](int n) { return static_cast<int>(random.bounded(n)); };
    double lastTime = -1; // none
    int lastRow = -1;
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    QElapsedTimer wall;
    wall.start();
    for (int i = 0; i < commands; ++i) {
        PlayerWindow& w = player->window;
        Around& a = player->around;
        // Each step: what it does, and whether the time may start again after it.
        const auto face = [&](const char* command, QString args = u"undefined"_s) {
            w.OnFaceCommand(QString::fromLatin1(command), args);
        };
        const std::vector<std::pair<std::function<void()>, bool>> steps{
            {[&] { face("IDC_FS_Play"); }, true},
            {[&] { face("IDC_FS_Pause"); }, false},
            {[&] { w.SetPaused(pick(2) == 0); }, false},
            {[&] { face("IDC_FS_Stop"); }, true},
            {[&] { face("IDC_FS_Next"); }, true},
            {[&] { face("IDC_FS_Previous"); }, true},
            {[&] {
                 a.face.store.insert(u"_root.KnobPosition"_s, QString::number(pick(101)));
                 face("IDC_FS_KnobReleased");
             },
             true},
            {[&] { face("IDC_FS_SeekBy", QString::number(pick(2) ? 5000 : -5000)); }, true},
            {[&] {
                 QStringList some;
                 for (int n = pick(4) + 1; n > 0; --n)
                     some << files[pick(files.size())];
                 a.dialog.Choose(some);
                 face("IDC_FS_Add");
             },
             false},
            {[&] { face("IDC_FS_SelectedIndex", QString::number(pick(8))); }, true},
            {[&] { face("IDC_FS_Remove", QString::number(pick(8))); }, true},
            {[&] {
                 if (pick(8) == 0)
                     face("IDC_FS_RemoveAll");
             },
             true},
            {[&] { face("IDC_FS_Repeat"); }, false},
            {[&] { face("IDC_FS_ReplayGain"); }, false},
            {[&] { w.Tick(); }, false},
            {[&] { QTest::qWait(pick(30)); }, false}, // time passes: items play, end, follow
            {[&] { QTest::qWait(pick(30)); }, false},
        };
        const auto& [step, timeMayJump] = steps[pick(static_cast<int>(steps.size()))];
        step();
        QCoreApplication::processEvents();
        // The time runs back only by a command that says so, or for a new item.
        const auto time = player->engine.inputTime();
        const int row = w.list().current();
        const bool announced = a.face.writes.contains(u"_root.SetFileTxt=1"_s);
        a.face.writes.clear();
        if (time && lastTime >= 0 && !timeMayJump && !announced && row == lastRow) {
            ASSERT_GE(*time, lastTime - 1) << "command " << i;
        }
        lastTime = time.value_or(-1);
        lastRow = row;
        ASSERT_LE(RecordingOutput::maxOpen.load(), 1) << "command " << i;
        ASSERT_TRUE(w.list().current() < w.list().size()) << "command " << i;
        // Every command is carried out, in order, and soon.
        if (i % 97 == 0) {
            QElapsedTimer settle;
            settle.start();
            player->engine.Settle();
            ASSERT_LT(settle.elapsed(), 1000) << "command " << i;
        }
        // Shut down in whatever state it is in.
        if (i % 1009 == 1008) {
            QElapsedTimer down;
            down.start();
            player.reset();
            ASSERT_LT(down.elapsed(), 1000) << "command " << i;
            player = std::make_unique<Player>();
            lastTime = -1;
        }
    }
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    std::printf("%d commands in %.1f s wall, %.1f s CPU\n", commands, wall.elapsed() / 1000.0,
                seconds(after.ru_utime) + seconds(after.ru_stime) - seconds(before.ru_utime) -
                    seconds(before.ru_stime));

    // Played to its end, a list says so once; meanwhile the feed does not spin.
    Player& last = *player;
    last.window.OnFaceCommand(u"IDC_FS_RemoveAll"_s, u"undefined"_s);
    last.window.SetRepeat(false);
    last.around.dialog.Choose({file("a.wav"), file("corrupt.mp3"), file("b.flac")});
    last.around.messages.shown.clear();
    last.window.OnFaceCommand(u"IDC_FS_Add"_s, u"undefined"_s);
    last.around.face.writes.clear();
    getrusage(RUSAGE_SELF, &before);
    last.window.OnFaceCommand(u"IDC_FS_Play"_s, u"undefined"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !last.around.timer.enabled; }, 10000));
    QTest::qWait(300);
    getrusage(RUSAGE_SELF, &after);
    EXPECT_EQ(last.around.face.writes.count(u"_root.FileTxt= "_s), 1)
        << last.around.face.writes.join(u' ');
    EXPECT_EQ(last.around.messages.shown.size(), 1) << last.around.messages.shown.join(u'\n');
    EXPECT_EQ(last.window.list().current(), 2);
    EXPECT_LT(seconds(after.ru_utime) + seconds(after.ru_stime) - seconds(before.ru_utime) -
                  seconds(before.ru_stime),
              0.5);
}

} // namespace
