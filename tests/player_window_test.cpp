// The player's list and window with a scripted engine: a current or chosen row left
// on the wrong file after an edit, a removed file played or shown, the list run
// through without a sound output, times or rows off by one, a message box with the
// timer ticking under it, settings lost between runs.
#include "dropped.h"
#include "fakes.h"
#include "gapless_player.h"
#include "list_order.h"
#include "media.h"
#include "play_order.h"
#include "player_protocol.h"
#include "player_window.h"
#include "playlist.h"
#include "recording_output.h"
#include "remembered.h"
#include "track_tags.h"
#include "user_settings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <numeric>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>

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

// Five rows as added (x y z w v) with tags alike, apart and missing.
struct Library {
    Library() {
        list.append(
            {"/m/b/10 x.mp3", "/m/a/2 y.mp3", "/m/a/1 z.mp3", "/m/c/9 w.mp3", "/m/a/3 v.mp3"});
        tags.insert("/m/b/10 x.mp3", {"Écho", "beta", "Été", "", 1, 2, 3000});
        tags.insert("/m/a/2 y.mp3", {"delta", "Alpha", "Zeta", "", 1, 1, 1000});
        tags.insert("/m/a/1 z.mp3", {"", "alpha", "Alpha", "", 2, 1, 2000});
        tags.insert("/m/a/3 v.mp3", {"Charlie", "Älpha", "Alpha", "", 1, 5, 2000});
    }
    QString Names(const std::vector<int>& rows) const {
        QString names;
        for (const int row : rows)
            names += list.at(row).at(list.at(row).size() - 5);
        return names;
    }
    Playlist list;
    KnownTags tags;
};

TEST(ListOrder, SortsKeepRowsAlikeAsTheyCameAndMissingTagsLast) {
    const std::vector<std::pair<SortOrder, const char*>> orders{
        {SortOrder::Artist, "vzyxw"},   // alpha (accents and case alike): album, disc; beta; none
        {SortOrder::Album, "vzxyw"},    // Alpha d1 d2, Été, Zeta, none
        {SortOrder::Title, "zwvyx"},    // "1 z.mp3", "9 w.mp3" (file names), Charlie, delta, Écho
        {SortOrder::Length, "yzvxw"},   // 1 s, 2 s as they came, 3 s, unknown
        {SortOrder::FileName, "zyvwx"}, // 1, 2, 3, 9, 10
        {SortOrder::Added, "xyzwv"},    {SortOrder::Album, "vzxyw"},
        {SortOrder::Length, "yzvxw"}, // z before v as added, though listed after it
    };
    Library lib;
    lib.list.setCurrent(1); // y
    for (const auto& [order, expected] : orders) {
        SCOPED_TRACE(SortName(order).toStdString());
        EXPECT_EQ(SortNamed(SortName(order)), order);
        ASSERT_TRUE(lib.list.reorder(SortedRows(lib.list, lib.tags, order)));
        std::vector<int> all(lib.list.size());
        std::iota(all.begin(), all.end(), 0);
        EXPECT_EQ(lib.Names(all), QLatin1String(expected));
        EXPECT_TRUE(lib.list.at(lib.list.current()).endsWith(u"y.mp3"));
    }
    EXPECT_FALSE(lib.list.reorder({0, 0, 1, 2, 3})); // not every row once
}

TEST(ListOrder, FindingIgnoresCaseAndAccentsAndLooksAtFileNames) {
    const std::vector<std::pair<const char*, const char*>> finds{
        {"", "xyzwv"}, {"   ", "xyzwv"}, {"ete", "x"},     {"ÉTÉ", "x"},     {"alpha zeta", "y"},
        {"9 w", "w"},  {"MP3", "xyzwv"}, {"charlie", "v"}, {"alpha", "yzv"}, {"nothing", ""},
    };
    Library lib;
    for (const auto& [find, expected] : finds)
        EXPECT_EQ(lib.Names(MatchingRows(lib.list, lib.tags, QString::fromUtf8(find))),
                  QLatin1String(expected))
            << find;
    EXPECT_EQ(SearchFolded(u"Ångström Ĳ Ça"_s), u"angstrom ij ca"_s);
}

// Twelve rows in three albums of four, listed album by album, tracks reversed.
std::vector<OrderRow> Albums() {
    std::vector<OrderRow> rows;
    for (int id = 1; id <= 12; ++id)
        rows.push_back({id, QString::number((id - 1) / 4), 1, 5 - (id - 1) % 4});
    return rows;
}

TEST(PlayOrder, EveryRowOncePerRoundAlbumsInTrackOrderAndPreviousWalksBack) {
    for (const ShuffleMode mode : {ShuffleMode::Tracks, ShuffleMode::Albums}) {
        for (const quint32 seed : {1u, 2u, 3u}) {
            SCOPED_TRACE(ShuffleName(mode).toStdString() + std::to_string(seed));
            PlayOrder order(seed);
            order.SetMode(mode, Albums(), 6);
            order.Heard(6);
            std::vector<int> heard{6};
            for (int id; (id = order.Next(false, 0)) != 0;) {
                order.Heard(id);
                heard.push_back(id);
            }
            std::vector<int> sorted = heard;
            std::ranges::sort(sorted);
            std::vector<int> all(12);
            std::iota(all.begin(), all.end(), 1);
            EXPECT_EQ(sorted, all);
            if (mode == ShuffleMode::Albums) {
                // Each album at one go, its tracks by number (listed in reverse).
                for (std::size_t i = 1; i < heard.size(); ++i)
                    if ((heard[i] - 1) / 4 == (heard[i - 1] - 1) / 4)
                        EXPECT_EQ(heard[i], heard[i - 1] - 1);
                    else
                        EXPECT_EQ((heard[i] - 1) % 4, 3); // an album starts at its first
            }
            // Back through what was heard, and forward again the same way.
            for (std::size_t i = heard.size() - 1; i > 6; --i) {
                EXPECT_EQ(order.Previous(heard[i], 0), heard[i - 1]);
                order.Heard(heard[i - 1], true);
            }
            EXPECT_EQ(order.Next(false, 0), heard[7]);
            // With repeat a new round follows, not starting with the row just heard.
            order.Heard(heard[7]);
            for (std::size_t i = 8; i < heard.size(); ++i)
                order.Heard(order.Next(false, 0));
            const int first = order.Next(true, 0);
            EXPECT_NE(first, 0);
            EXPECT_NE(first, heard.back());
            order.Heard(first);
            EXPECT_EQ(order.round().size(), 12u);
            EXPECT_EQ(order.position(), 0);
        }
    }
}

TEST(PlayOrder, TheQueueComesFirstLeavesWithItsRowsAndTheListGoesOnWhereItWas) {
    struct Case {
        const char* what;
        ShuffleMode mode;
        std::function<void(PlayOrder&)> steps;
        std::vector<int> next; // what follows, step by step, as the rows are heard
    };
    const std::vector<Case> cases{
        {"queued rows first, then the list after the row heard before them",
         ShuffleMode::Off,
         [](PlayOrder& o) { o.Enqueue(9), o.Enqueue(4), o.Enqueue(9); },
         {9, 4, 2}},
        {"a queued row that left the list",
         ShuffleMode::Off,
         [](PlayOrder& o) { o.Enqueue(9), o.Enqueue(4), o.Left(9); },
         {4, 2}},
        {"the row heard, queued, is heard again",
         ShuffleMode::Off,
         [](PlayOrder& o) { o.Enqueue(1), o.Enqueue(5); },
         {1, 5, 2}},
        {"queued rows before the shuffle, each heard once in the round",
         ShuffleMode::Tracks,
         [](PlayOrder& o) { o.Enqueue(7); },
         {7}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PlayOrder order(7);
        order.SetMode(c.mode, Albums(), 1);
        order.Heard(1);
        c.steps(order);
        int current = 1;
        for (const int expected : c.next) {
            // With shuffle off the list's next is the row after the place it goes on from.
            const int next = order.Next(false, order.ListPlace(current) + 1);
            EXPECT_EQ(next, expected);
            order.Heard(next);
            current = next;
        }
        EXPECT_TRUE(order.queue().isEmpty());
        if (c.mode != ShuffleMode::Off) {
            std::set<int> heard{1, current};
            for (int id; (id = order.Next(false, 0)) != 0; current = id) {
                order.Heard(id);
                EXPECT_TRUE(heard.insert(id).second) << id;
            }
            EXPECT_EQ(heard.size(), 12u);
        }
    }
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
    // One step: a face command with its argument ("Remove 2", "Find " for an empty one),
    // or "end" (the item ends and the next tick sees it), "advance" (the engine moves on
    // to what it was told follows), "skip" (that cannot be opened), "tick".
    void Do(const QString& step) {
        const QString word = step.section(u' ', 0, 0);
        if (word == u"end")
            engine.ended = true;
        if (word == u"advance" || word == u"skip")
            word == u"skip" ? engine.Skip() : engine.Advance(), frm.FollowEngine();
        else if (word == u"end" || word == u"tick")
            frm.Tick();
        else
            Cmd(u"IDC_FS_"_s + word, step.contains(u' ') ? step.section(u' ', 1) : u"undefined"_s);
    }
    // The engine's file and what it does with it, the current row, the title shown, the
    // file the engine was told follows, the face's Play button and playing light, and
    // whether the timer ticks.
    QString State() {
        const auto name = [](const QString& path) {
            return path.isEmpty() ? u"-"_s : QFileInfo(path).completeBaseName();
        };
        const QString does = engine.playing  ? u"plays"_s
                             : engine.paused ? u"paused"_s
                                             : u"stopped"_s;
        return u"%1#%2 %3 '%4' >%5 play=%6/%7%8"_s.arg(name(engine.loaded))
            .arg(frm.list().current())
            .arg(does, Title(), name(engine.next), Shown("_root.Play"), Shown("_root.Playing"),
                 timer.enabled ? u" ticking"_s : QString());
    }
    // Takes each step and checks the state it leaves ("": not checked).
    void Run(const std::vector<std::pair<const char*, const char*>>& steps) {
        for (const auto& [step, state] : steps) {
            Do(QString::fromUtf8(step));
            if (*state) {
                EXPECT_EQ(State(), QString::fromUtf8(state)) << step;
            }
        }
    }

    QTemporaryDir dir;
    ScriptedPlayer engine;
    PlayerWindow frm;
};

TEST_F(Player, StartsWithItsFaceAndTheTransportFollowsTheEngine) {
    EXPECT_EQ(face.loaded, std::vector<QString>{u"/opt/velune/player.qml"_s});
    EXPECT_EQ(form.geometry, u"336x156 face 336x360"_s);
    EXPECT_EQ(engine.volume, 100);
    Run({{"Play", "-#-1 stopped ' ' >- play=4/"}}); // nothing to play
    Add(Files(2));
    Run({{"tick", "song0#0 stopped ' ' >song1 play=1/"},
         {"Play", "song0#0 plays 'song0.mp3' >song1 play=3/1 ticking"},
         {"Pause", "song0#0 paused 'song0.mp3' >song1 play=1/0"}});
    EXPECT_EQ(Shown("_root.Pause"), u"3"_s);
    Run({{"Pause", "song0#0 plays 'song0.mp3' >song1 play=3/1 ticking"},
         {"Stop", "song0#0 stopped '' >song1 play=1/0"}});

    lock.free = false;
    PlayerWindow second(Parts(face, form, engine));
    EXPECT_FALSE(second.Start());
    EXPECT_EQ(
        messages.shown,
        QStringList{"VelunePlayer is running, Please Close VelunePlayer first then try again."});
}

TEST(PlayerTime, RoundsToSecondsAndKeepsTwoDigits) {
    for (const auto& [ms, text] : std::vector<std::pair<double, QString>>{
             {65000, u"01:05"_s}, {3725000, u"62:05"_s}, {59999, u"01:00"_s}, {0, u"00:00"_s}})
        EXPECT_EQ(PlayerWindow::FormatTime(ms), text) << ms;
    EXPECT_FALSE(PlayerWindow::FormatTime(1e300));
}

TEST_F(Player, NextAndPreviousStopAtTheEndsOrWrapWithRepeatAndSkipMissingFilesOnce) {
    QStringList paths = Files(4);
    QFile::remove(paths[2]);
    Add(paths);
    Run({{"Play", "song0#0 plays 'song0.mp3' >song1 play=3/1 ticking"},
         {"Previous", "song0#0 plays 'song0.mp3' >song1 play=3/1 ticking"}, // at the first row
         {"Next", "song1#1 plays 'song1.mp3' >song2 play=3/1 ticking"},
         {"Next", "song3#3 plays 'song3.mp3' >- play=3/1 ticking"}, // row 2 is missing: told
         {"Next", ""}, // the end, without repeat: the last row stays
         {"Repeat", ""},
         {"Next", "song0#0 plays 'song0.mp3' >song1 play=3/1 ticking"}});
    EXPECT_EQ(Shown("_root.Repeat"), u"3"_s);
    EXPECT_EQ(messages.shown, QStringList{"file:" + paths[2] + "--dosen't exist"});
    EXPECT_FALSE(messages.tickedUnder);
    // Every file gone, with repeat: the engine finds each gone, each is told once (the
    // third was told already), and then the list stops.
    for (const QString& path : paths)
        QFile::remove(path);
    messages.shown.clear();
    engine.checksFiles = true;
    Do("Next");
    for (int tick = 0; tick < 8; ++tick)
        Do("tick");
    EXPECT_TRUE(engine.loaded.isEmpty());
    EXPECT_EQ(messages.shown.size(), 3);
}

TEST_F(Player, TicksShowTimesAndTheEndOfAnItemPlaysTheNextOrClearsTheDisplay) {
    Add(Files(2));
    Cmd("IDC_FS_Play");
    const auto times = [&] {
        return QStringList{Shown("_root.TotalTimeTxt"), Shown("_root.TimePlayedTxt"),
                           Shown("_root.KnobPosition"), QString::number(frm.SeekBar())};
    };
    engine.length = 754000;
    engine.time = 65000;
    engine.position = 0.42;
    frm.Tick();
    EXPECT_EQ(times(), (QStringList{"12:34", "01:05", " 42", "42"}));
    // No length yet: neither time nor its trigger.
    engine.length.reset();
    face.writes.clear();
    frm.Tick();
    EXPECT_FALSE(face.writes.contains("_root.SetTimeTxt=1"));
    // Position 1 shows 99 until the item really ends.
    engine.position = 1.0;
    frm.Tick();
    EXPECT_EQ(frm.SeekBar(), 99);
    Run({{"end", "song1#1 plays 'song1.mp3' >- play=3/1 ticking"}});
    EXPECT_EQ(frm.SeekBar(), 0);
    Run({{"end", "song1#1 stopped ' ' >- play=1/0"}}); // the last item: nothing plays on
    EXPECT_EQ(Shown("_root.TimePlayedTxt"), u"00:00"_s);
    Run({{"Play", "song1#1 plays 'song1.mp3' >- play=3/1 ticking"}}); // plays again, announced
}

TEST_F(Player, WithoutASoundOutputTheFirstFailureIsToldOnceAndPlayingStops) {
    Add(Files(3));
    Cmd("IDC_FS_Play");
    engine.soundFailure = u"PulseAudio server connection failure"_s;
    Run({{"end", "song0#0 stopped ' ' >song1 play=1/0"},
         {"tick", "song0#0 stopped ' ' >song1 play=1/0"}});
    EXPECT_EQ(messages.shown,
              QStringList{"No sound output is available: PulseAudio server connection failure"});
    EXPECT_FALSE(messages.tickedUnder);
}

TEST_F(Player, SeeksAndVolumeFollowTheFace) {
    Add(Files(1));
    Cmd("IDC_FS_Play");
    engine.length = 10000;
    engine.time = 2000;
    struct Row {
        const char* variable;
        const char* value;
        const char* command;
        double seek;
        int volume;
    };
    const std::vector<Row> rows{
        {"_root.KnobPosition", "50", "KnobReleased", 0.5, 100},
        {"_root.KnobPosition", "nan", "KnobReleased", 0.5, 100},
        {"_root.KnobPosition", "250", "KnobReleased", 1.0, 100},
        {"_root.VolumePosition", "2.5", "Volume", 1.0, 50},
        {"_root.VolumePosition", "0.125", "Volume", 1.0, 2},
        {"_root.VolumePosition", "10", "Volume", 1.0, 200},
        // The arrow keys: five seconds either way, within the item.
        {"", "", "SeekBy 5000", 0.7, 200},
        {"", "", "SeekBy -5000", 0.0, 200},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.command) + row.value);
        face.store.insert(QString::fromLatin1(row.variable), QString::fromLatin1(row.value));
        Do(QString::fromLatin1(row.command));
        EXPECT_EQ(engine.seeks.last(), row.seek);
        EXPECT_EQ(engine.volume, row.volume);
    }
}

// Removing the loaded row never leaves its file playing or shown, whatever the
// engine was doing; Play then plays the row now at its place.
TEST_F(Player, RemovingTheLoadedRowInEveryState) {
    struct Row {
        const char* what;
        const char* before; // the command before the removal
        const char* removed;
        const char* after; // the state right after
        const char* play;  // after Play
    };
    const QStringList paths = Files(3);
    const std::vector<Row> rows{
        {"playing, middle", "tick", "Remove 1", "song2#1 plays 'song2.mp3' >- play=3/1 ticking",
         "song2#1 plays 'song2.mp3' >- play=3/1 ticking"},
        {"playing, last", "tick", "Remove 2", "-#-1 stopped ' ' >- play=1/0",
         "song1#1 plays 'song1.mp3' >- play=3/1 ticking"},
        {"paused, middle", "Pause", "Remove 1", "-#-1 stopped ' ' >- play=1/0",
         "song2#1 plays 'song2.mp3' >- play=3/1 ticking"},
        {"stopped, first", "Stop", "Remove 0", "-#-1 stopped ' ' >- play=1/0",
         "song1#0 plays 'song1.mp3' >song2 play=3/1 ticking"},
        {"stopped, last", "Stop", "Remove 2", "-#-1 stopped ' ' >- play=1/0",
         "song1#1 plays 'song1.mp3' >- play=3/1 ticking"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Cmd("IDC_FS_RemoveAll");
        Add(paths);
        Cmd("IDC_FS_SelectedIndex", QString(row.removed).section(u' ', 1));
        Run({{row.before, ""}, {row.removed, row.after}, {"Play", row.play}});
        EXPECT_EQ(frm.list().size(), 2);
    }
}

TEST_F(Player, RemovingOtherRowsKeepsTheLoadedFileAndNextGoesOnFromIt) {
    const QStringList paths = Files(4);
    Add(paths);
    // Before it, after it (song3), none; then the last rows go: the face empties its list.
    Run({{"SelectedIndex 2", "song2#2 plays 'song2.mp3' >song3 play=3/1 ticking"},
         {"Remove 0", "song2#1 plays 'song2.mp3' >song3 play=3/1 ticking"},
         {"Remove 2", "song2#1 plays 'song2.mp3' >- play=3/1 ticking"},
         {"Remove 7", "song2#1 plays 'song2.mp3' >- play=3/1 ticking"},
         {"Previous", "song1#0 plays 'song1.mp3' >song2 play=3/1 ticking"},
         {"Remove 1", "song1#0 plays 'song1.mp3' >- play=3/1 ticking"},
         {"Remove 0", "-#-1 stopped ' ' >- play=4/0"}});
    EXPECT_EQ(Shown("_root.RemoveAll"), u"1"_s);
}

TEST_F(Player, OpenReplacesTheListAndDroppedFilesJoinIt) {
    const QStringList paths = Files(3);
    Add(paths.mid(0, 2));
    Cmd("IDC_FS_Play");
    dialog.Choose({paths[2]});
    Run({{"OpenFile", "song2#0 stopped ' ' >- play=1/0"}});
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
    dialog.Choose({paths[3]}); // for the Add below
    Run({{"Play", "song0#0 plays 'song0.mp3' >song1 play=3/1 ticking"},
         {"advance", "song1#1 plays 'song1.mp3' >song2 play=3/1 ticking"},
         {"Remove 2", "song1#1 plays 'song1.mp3' >song3 play=3/1 ticking"}, // the queued row
         {"Add", "song1#1 plays 'song1.mp3' >song3 play=3/1 ticking"},      // song3 again, after
         {"advance", "song3#2 plays 'song3.mp3' >song3 play=3/1 ticking"},
         {"advance", "song3#3 plays 'song3.mp3' >- play=3/1 ticking"},
         {"Repeat", "song3#3 plays 'song3.mp3' >song0 play=3/1 ticking"}, // the first row
         {"advance", "song0#0 plays 'song0.mp3' >song1 play=3/1 ticking"}});
    // A queued file that cannot be opened is told, and the row after it queued.
    QFile::remove(paths[1]);
    Run({{"skip", "song0#0 plays 'song0.mp3' >song3 play=3/1 ticking"},
         {"advance", "song3#2 plays 'song3.mp3' >song3 play=3/1 ticking"},
         {"Stop", "song3#2 stopped '' >song3 play=1/0"}}); // stopping keeps what follows
    EXPECT_EQ(messages.shown, QStringList{"file:" + paths[1] + "--dosen't exist"});
    // The desktop's mixer is the truth for the knob and the mute.
    engine.mixer = {{60, true}};
    frm.FollowEngine();
    EXPECT_EQ(Shown("_root.VolumePosition") + Shown("_root.Muted"), u"31"_s);
    EXPECT_DOUBLE_EQ(frm.VolumeLevel(), 0.3);
    Run({{"RemoveAll", "-#-1 stopped ' ' >- play=4/0"}});
}

// The face's rows as the host last wrote them (fields of kRowFields), by path.
QStringList ShownPaths(const RecordingFace& face) {
    const QString text = face.store.value(u"_root.ListRows"_s);
    QStringList paths;
    const QStringList fields = text.isEmpty() ? QStringList() : text.split(u'|');
    for (qsizetype i = 0; i + player_face::kRowFields <= fields.size();
         i += player_face::kRowFields)
        paths << fields[i];
    return paths;
}

TEST_F(Player, TheEngineIsToldWhatFollowsByTheQueueTheShuffleAndTheList) {
    Add(Files(6));
    Run({{"Play", "song0#0 plays 'song0.mp3' >song1 play=3/1 ticking"},
         {"PlayNext 3", "song0#0 plays 'song0.mp3' >song3 play=3/1 ticking"},
         {"PlayNext 5", "song0#0 plays 'song0.mp3' >song3 play=3/1 ticking"}});
    EXPECT_TRUE(Shown("_root.ListChanges").endsWith(u"|2|"_s)); // row 5, second in the queue
    Run({{"advance", "song3#3 plays 'song3.mp3' >song5 play=3/1 ticking"}});
    EXPECT_TRUE(Shown("_root.ListChanges").endsWith(u"|1|"_s)); // row 5 is now first in the queue
    // A queued row removed leaves the queue, and the list goes on from where it was.
    Run({{"Remove 5", "song3#3 plays 'song3.mp3' >song1 play=3/1 ticking"},
         {"advance", "song1#1 plays 'song1.mp3' >song2 play=3/1 ticking"},
         {"Shuffle tracks", ""}});
    EXPECT_EQ(Shown("_root.Shuffle"), u"tracks"_s);
    // Shuffle: the rest of the round, each row once, then nothing without repeat.
    std::set<QString> heard{engine.loaded};
    QStringList order{engine.loaded};
    while (!engine.next.isEmpty()) {
        Do("advance");
        order << engine.loaded;
        EXPECT_TRUE(heard.insert(engine.loaded).second);
    }
    EXPECT_EQ(heard.size(), 5u);
    Do("PlayNext 1"); // the queue goes before the shuffle
    EXPECT_TRUE(engine.next.endsWith(u"song1.mp3"_s));
    Do("Repeat");
    Do("Previous"); // back through the round
    EXPECT_EQ(engine.loaded, order[order.size() - 2]);
    EXPECT_TRUE(engine.next.endsWith(u"song1.mp3"_s));
    Do("Shuffle"); // tracks -> albums -> off
    Do("Shuffle");
    EXPECT_EQ(frm.Shuffle(), ShuffleMode::Off);
    EXPECT_EQ(frm.Remember().shuffle, ShuffleMode::Off);
    Do("Shuffle albums");
    EXPECT_EQ(frm.Remember().shuffle, ShuffleMode::Albums);
}

TEST_F(Player, FindingShowsTheRowsFoundAndTheFacesRowsAreThose) {
    const QStringList f = Files(5);
    Add(f);
    EXPECT_EQ(ShownPaths(face), f);
    EXPECT_EQ(Shown("_root.ListTotal"), u"5 files · 00:00"_s);
    struct Step {
        const char* step;
        QStringList shown; // the rows found
        const char* playingRow;
        const char* loaded;
    };
    const QStringList rest{f[0], f[2], f[3], f[4]};
    const std::vector<Step> steps{
        {"Find SONG3", {f[3]}, "-1", "song0"},
        {"PlayFound", {f[3]}, "0", "song3"},
        {"Find song", f, "3", "song3"},
        {"Find song1", {f[1]}, "-1", "song3"},
        {"SelectedIndex 0", {f[1]}, "0", "song1"}, // the row as shown
        {"Remove 0", {}, "-1", "song2"},
        {"SelectedIndex 0", {}, "-1", "song2"}, // nothing shown, nothing played
        {"Find ", rest, "1", "song2"},
        {"Sort bogus", rest, "1", "song2"}, // an order it does not know changes nothing
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.step);
        Do(QString::fromLatin1(s.step));
        QStringList shown;
        for (const int row : frm.ShownRows())
            shown << frm.list().at(row);
        EXPECT_EQ(shown, s.shown);
        if (QLatin1String(s.step).startsWith(QLatin1String("Find"))) {
            EXPECT_EQ(ShownPaths(face), s.shown);
        }
        EXPECT_EQ(Shown("_root.PlayingRow"), QLatin1String(s.playingRow));
        EXPECT_EQ(State().section(u'#', 0, 0), QLatin1String(s.loaded));
    }
    EXPECT_EQ(frm.list().rows(), rest);
    EXPECT_EQ(Shown("_root.SortOrder"), QString());
}
TEST_F(Player, AFolderAddsItsAudioWithTagsCoversAndASavedList) {
    const QString music = dir.filePath(u"Music"_s);
    const QString cover = dir.filePath(u"front.png"_s);
    ASSERT_TRUE(RunTool(u"ffmpeg"_s, Args(u"-v error -y -f lavfi -i color=c=red:s=8x8 "
                                          "-frames:v 1"_s)
                                         << cover));
    ASSERT_TRUE(QDir().mkpath(music + u"/A"_s) && QDir().mkpath(music + u"/B"_s));
    const QString tone = dir.filePath(u"tone.flac"_s);
    ASSERT_TRUE(MakeTone(tone, 1.5));
    ASSERT_TRUE(Tagged(tone, music + u"/A/01 a.flac"_s,
                       {u"title=Été"_s, u"artist=Ana"_s, u"album=Sol"_s, u"track=1"_s}, cover));
    ASSERT_TRUE(Tagged(tone, music + u"/A/02 b.flac"_s, {u"title=Bis"_s, u"track=2"_s}));
    ASSERT_TRUE(MakeTone(music + u"/B/10 c.wav"_s, 0.5) && MakeTone(music + u"/B/2 d.wav"_s, 0.5));
    for (const QString& other : {u"/notes.txt"_s, u"/B/cover.png"_s, u"/A/rip.cue"_s})
        ASSERT_TRUE(WriteFile(music + other, "x"));
    folders.answer = music;
    Cmd("IDC_FS_AddFolder");
    const QStringList rows{music + u"/A/01 a.flac"_s, music + u"/A/02 b.flac"_s,
                           music + u"/B/2 d.wav"_s, music + u"/B/10 c.wav"_s};
    EXPECT_EQ(frm.list().rows(), rows);
    EXPECT_EQ(messages.shown, QStringList{});
    EXPECT_EQ(Shown("_root.ListTotal"), u"4 files · 00:04 · 3 skipped: not audio"_s);
    EXPECT_EQ(frm.Tags().value(rows[0]).title, u"Été"_s);
    EXPECT_EQ(frm.Tags().value(rows[3]).lengthMs, 500);
    // The row shows its tags; an untagged one its file name.
    EXPECT_TRUE(face.writes.filter(u"_root.ListChanges="_s)
                    .join(u'\n')
                    .contains(u"|Été|Ana|Sol|1|00:02|"_s));
    Cmd("IDC_FS_Play");
    EXPECT_EQ(Title(), u"Été — Ana"_s); // now playing, from the tags
    const QString art = Shown("_root.CoverUrl");
    EXPECT_TRUE(art.startsWith(u"file://"_s + cache.path() + u"/covers/"_s)) << art;
    EXPECT_EQ(ReadBytes(PathOfFileUri(art.toUtf8())), ReadBytes(cover));
    const TrackInfo info = frm.Info();
    EXPECT_EQ(std::tuple(info.title, info.artist, info.album, info.track, info.artUrl),
              std::tuple(u"Été"_s, u"Ana"_s, u"Sol"_s, 1, art));
    Cmd("IDC_FS_SelectedIndex", u"2"_s); // a file with a picture beside it
    EXPECT_EQ(Shown("_root.CoverUrl"), FileUriOf(music + u"/B/cover.png"_s));

    dialog.saveAs = music + u"/All"_s;
    Cmd("IDC_FS_SaveList");
    EXPECT_EQ(ReadBytes(music + u"/All.m3u8"_s),
              "#EXTM3U\n#EXTINF:2,Ana - \xc3\x89t\xc3\xa9\nA/01 a.flac\n#EXTINF:2,Bis\n"
              "A/02 b.flac\n#EXTINF:1,2 d.wav\nB/2 d.wav\n#EXTINF:1,10 c.wav\nB/10 c.wav\n");
    dialog.saveAs = u"/no/such/folder/x.pls"_s;
    Cmd("IDC_FS_SaveList");
    EXPECT_TRUE(
        messages.shown.back().startsWith(u"The playlist '/no/such/folder/x.pls' could not"_s));

    // Sorted by title; the order they came in comes back.
    Cmd("IDC_FS_Sort", u"title"_s);
    EXPECT_EQ(frm.list().rows(), (QStringList{rows[3], rows[2], rows[1], rows[0]}));
    EXPECT_EQ(frm.list().at(frm.list().current()), rows[2]);
    Cmd("IDC_FS_Sort", u"added"_s);
    EXPECT_EQ(frm.list().rows(), rows);
    // A dropped folder or file: one message for the add, files refused as before.
    messages.shown.clear();
    frm.DropFiles({music + u"/B"_s, music + u"/notes.txt"_s});
    EXPECT_EQ(frm.list().size(), 6);
    EXPECT_EQ(messages.shown, (QStringList{u"The Player not support this format"_s}));
}

TEST(TagCache, ChangedFilesAreReadAgainAndRemovedOnesDropped) {
    QTemporaryDir dir;
    const QString a = dir.filePath(u"a.flac"_s), b = dir.filePath(u"b.flac"_s);
    const QString tone = dir.filePath(u"tone.flac"_s);
    ASSERT_TRUE(MakeTone(tone, 0.3));
    ASSERT_TRUE(Tagged(tone, a, {u"title=One"_s}) && Tagged(tone, b, {u"title=Two"_s}));
    const QString file = dir.filePath(u"cache/tags.cache"_s);
    // Which of a and b a cache read from the file holds.
    const auto held = [&] {
        TagCache cache(file);
        cache.Load();
        return u"%1%2"_s.arg(cache.Holds(a) ? "a" : "", cache.Holds(b) ? "b" : "");
    };
    TagCache first(file);
    EXPECT_EQ(first.Get(a)->title + first.Get(b)->title, u"OneTwo"_s);
    ASSERT_TRUE(first.Save({a, b, dir.filePath(u"never-read.wav"_s)}));
    EXPECT_EQ(held(), u"ab"_s);

    // Same size and time: the cached tags, not the file's (so the file is not read).
    struct stat before {};
    ASSERT_EQ(stat(QFile::encodeName(a).constData(), &before), 0);
    ASSERT_TRUE(Tagged(tone, a, {u"title=Neu"_s}));
    const auto setTime = [&](long seconds) {
        const timespec times[2] = {before.st_atim,
                                   {before.st_mtim.tv_sec + seconds, before.st_mtim.tv_nsec}};
        return utimensat(AT_FDCWD, QFile::encodeName(a).constData(), times, 0) == 0;
    };
    ASSERT_TRUE(setTime(0));
    TagCache second(file);
    second.Load();
    EXPECT_EQ(second.Get(a)->title, u"One"_s);
    // Changed: read again. Removed: dropped, and not kept by the next save.
    ASSERT_TRUE(setTime(60));
    EXPECT_EQ(second.Get(a)->title, u"Neu"_s);
    ASSERT_TRUE(QFile::remove(b));
    EXPECT_FALSE(second.Get(b) || second.Holds(b));
    ASSERT_TRUE(second.Save({a, b}));
    EXPECT_EQ(held(), u"a"_s);
    // A damaged cache is read as none.
    ASSERT_TRUE(WriteFile(file, QByteArray("VTC1\xff\xff", 6)));
    EXPECT_EQ(held(), QString());
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
          u"IDC_FS_ReplayGain"_s, u"IDC_FS_ReplayGain"_s, u"IDC_FS_Shuffle"_s})
        Cmd(command);
    SaveRemembered(frm.Remember());
    frm.SaveTagCache();

    Around around;
    ScriptedPlayer engine2;
    PlayerWindow again(Parts(around.face, around.form, engine2));
    ASSERT_TRUE(again.Start());
    again.Restore(LoadRemembered());
    EXPECT_EQ(again.list().rows(), paths);
    EXPECT_EQ(ShownPaths(around.face), paths);
    EXPECT_EQ(around.face.store.value("_root.AddedFiles"), paths.join(u'|'));
    EXPECT_EQ(
        std::tuple(engine2.loaded, engine2.playing, engine2.volume, engine2.muted, engine2.gain,
                   again.RepeatOn(), again.Shuffle()),
        std::tuple(paths[1], false, 140, true, ReplayGainMode::Album, true, ShuffleMode::Tracks));
    EXPECT_EQ(around.form.geometry, u"336x360 face 336x360"_s);
    const auto shown = [&](const char* name) { return around.face.store.value(name); };
    EXPECT_EQ(
        QStringList({shown("_root.Muted"), shown("_root.ReplayGainMode"), shown("_root.Shuffle")}),
        (QStringList{"1", "album", "tracks"}));
    EXPECT_EQ(again.Order().round().front(), again.list().id(1)); // the round starts where it was

    ASSERT_TRUE(WriteFile(UserSettings(u"VelunePlayer"_s)->fileName(),
                          QByteArray("\0\xff[list\nrows=\"\x01\nvolume=-3e999\n", 30)));
    const PlayerWindow::Remembered defaults = LoadRemembered();
    EXPECT_TRUE(defaults.rows.isEmpty());
    EXPECT_EQ(defaults.volume, 5.0);
}

// Where each event leaves each state. Letters: i idle, o opening, p playing, z paused,
// s switching, d draining, n ending, e ended, f failed, and S, D, N switching, draining
// and ending paused; one row a state, one letter an event.
TEST(PlaybackStates, EveryEventMovesEveryStateByOneTable) {
    using E = PlaybackEvent;
    using S = PlaybackState;
    const std::vector<E> events{E::Load,       E::Clear,       E::Play,         E::Pause,
                                E::Resume,     E::Stop,        E::Seek,         E::StreamReady,
                                E::ItemFailed, E::SoundFailed, E::FormatChange, E::AllWritten,
                                E::NextNamed,  E::Drained,     E::PlayOut};
    const char* const kLetters = "iopzsdnefSDN";
    // clang-format off
    const std::vector<std::pair<PlaybackState, const char*>> rows{
        //                    load clear play pause resume stop seek ready itemfail soundfail format written next drained playout
        {S::Idle,            "i" "i" "o" "i" "i" "i" "i" "i" "i" "i" "i" "i" "i" "i" "i"},
        {S::Opening,         "i" "i" "o" "z" "o" "i" "o" "p" "e" "f" "o" "o" "o" "o" "o"},
        {S::Playing,         "i" "i" "p" "z" "p" "i" "o" "p" "e" "f" "s" "d" "p" "p" "p"},
        {S::Paused,          "i" "i" "o" "z" "o" "i" "z" "z" "e" "f" "z" "z" "z" "z" "z"},
        {S::Switching,       "i" "i" "s" "S" "s" "i" "o" "s" "e" "f" "s" "n" "s" "o" "s"},
        {S::Draining,        "i" "i" "d" "D" "d" "i" "o" "d" "e" "f" "d" "d" "p" "d" "n"},
        {S::Ending,          "i" "i" "n" "N" "n" "i" "o" "n" "e" "f" "n" "n" "s" "e" "n"},
        {S::Ended,           "i" "i" "o" "e" "e" "i" "e" "e" "e" "f" "e" "e" "e" "e" "e"},
        {S::Failed,          "i" "i" "o" "f" "f" "i" "f" "f" "e" "f" "f" "f" "f" "f" "f"},
        {S::PausedSwitching, "i" "i" "s" "S" "s" "i" "z" "S" "e" "f" "S" "S" "S" "S" "S"},
        {S::PausedDraining,  "i" "i" "d" "D" "d" "i" "z" "D" "e" "f" "D" "D" "z" "D" "D"},
        {S::PausedEnding,    "i" "i" "n" "N" "n" "i" "z" "N" "e" "f" "N" "N" "S" "N" "N"},
    };
    // clang-format on
    ASSERT_EQ(rows.size(), std::strlen(kLetters)); // every state
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
// spinning feed, a clean shutdown in any state, and a list paused and resumed anywhere
// heard once, in order, to its end.
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
    ASSERT_TRUE(MakeTone(file("a.wav"), 0.3, 44100, 1) && MakeTone(file("b.flac"), 0.2, 48000, 2));
    ASSERT_TRUE(MakeTone(file("six.flac"), 0.2, 44100, 6) &&
                MakeTone(file("short.ogg"), 0.02, 44100, 2));
    ASSERT_TRUE(WriteFile(file("corrupt.mp3"), Noise(4000)) && WriteFile(file("empty.wav")));
    QStringList files;
    for (const char* name : {"a.wav", "b.flac", "six.flac", "short.ogg", "corrupt.mp3", "empty.wav",
                             "missing.wav", "a.wav"})
        files << file(name);

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
    for (int i = 0; i < commands; ++i) {
        PlayerWindow& w = player->window;
        Around& a = player->around;
        // Each step: a face command or what else happens, and whether the time may start
        // again after it.
        static const std::vector<std::pair<QString, bool>> steps{
            {u"Play"_s, true},          {u"Pause"_s, false},      {u"paused"_s, false},
            {u"Stop"_s, true},          {u"Next"_s, true},        {u"Previous"_s, true},
            {u"KnobReleased"_s, true},  {u"SeekBy"_s, true},      {u"Add"_s, false},
            {u"SelectedIndex"_s, true}, {u"Remove"_s, true},      {u"RemoveAll"_s, true},
            {u"Repeat"_s, false},       {u"ReplayGain"_s, false}, {u"tick"_s, false},
            {u"wait"_s, false},         {u"wait"_s, false}, // time passes: items play, end
            {u"pauses"_s, false}, // until an item ends or the stream switches: pauses there
        };
        const auto& [step, timeMayJump] = steps[pick(static_cast<int>(steps.size()))];
        QString args = u"undefined"_s;
        if (step == u"KnobReleased")
            a.face.store.insert(u"_root.KnobPosition"_s, QString::number(pick(101)));
        if (step == u"SeekBy")
            args = QString::number(pick(2) ? 5000 : -5000);
        if (step == u"SelectedIndex" || step == u"Remove")
            args = QString::number(pick(8));
        if (step == u"Add") {
            QStringList some;
            for (int n = pick(4) + 1; n > 0; --n)
                some << files[pick(files.size())];
            a.dialog.Choose(some);
        }
        if (step == u"paused")
            w.SetPaused(pick(2) == 0);
        else if (step == u"tick")
            w.Tick();
        else if (step == u"wait")
            QTest::qWait(pick(30));
        else if (step == u"pauses") {
            (void)QTest::qWaitFor([&] { return PlaysOut(player->engine.state()); }, pick(30));
            for (int n = pick(3); n > 0; --n) {
                w.SetPaused(true);
                QTest::qWait(pick(10));
                w.SetPaused(false);
            }
        } else if (step != u"RemoveAll" || pick(8) == 0)
            w.OnFaceCommand(u"IDC_FS_"_s + step, args);
        QCoreApplication::processEvents();
        // The time runs back only by a command that says so, or for a new item.
        const auto time = player->engine.inputTime();
        // The engine may have moved on just now: its report is then on its way.
        if (time && *time < lastTime - 1)
            QTest::qWait(50);
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
        // Every command is carried out, in order, and soon; it shuts down in any state.
        const auto within = [&](const std::function<void()>& work) {
            QElapsedTimer clock;
            clock.start();
            work();
            return clock.elapsed() < 1000;
        };
        if (i % 97 == 0) {
            ASSERT_TRUE(within([&] { player->engine.Settle(); })) << "command " << i;
        }
        if (i % 1009 == 1008) {
            ASSERT_TRUE(within([&] { player.reset(); })) << "command " << i;
            player = std::make_unique<Player>();
            lastTime = -1;
        }
    }
    // CPU time used by the process so far, in seconds.
    const auto cpu = [] {
        rusage r{};
        getrusage(RUSAGE_SELF, &r);
        return r.ru_utime.tv_sec + r.ru_stime.tv_sec +
               (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
    };
    // Played to its end, a list says so once; meanwhile the feed does not spin.
    Player& last = *player;
    const auto face = [&](const QString& command) {
        last.window.OnFaceCommand(command, u"undefined"_s);
    };
    face(u"IDC_FS_RemoveAll"_s);
    last.window.SetRepeat(false);
    last.around.dialog.Choose({file("a.wav"), file("corrupt.mp3"), file("b.flac")});
    last.around.messages.shown.clear();
    face(u"IDC_FS_Add"_s);
    last.around.face.writes.clear();
    const double before = cpu();
    face(u"IDC_FS_Play"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !last.around.timer.enabled; }, 10000));
    QTest::qWait(300);
    EXPECT_LT(cpu() - before, 0.5);
    EXPECT_EQ(last.around.face.writes.count(u"_root.FileTxt= "_s), 1)
        << last.around.face.writes.join(u' ');
    EXPECT_EQ(last.around.messages.shown.size(), 1) << last.around.messages.shown.join(u'\n');
    EXPECT_EQ(last.window.list().current(), 2);

    // Paused and resumed in every state it passes, a list played out is heard once, each
    // item in order (b joined to itself), and ends stopped.
    using S = PlaybackState;
    for (const S at : {S::Playing, S::Switching, S::Draining, S::Ending}) {
        SCOPED_TRACE(StateName(at));
        last.window.OnFaceCommand(u"IDC_FS_RemoveAll"_s, u"undefined"_s);
        last.engine.Settle();
        RecordingOutput::heardStreams.clear(); // no stream is open: nothing else adds to it
        last.around.dialog.Choose({file("a.wav"), file("b.flac"), file("b.flac")});
        last.window.OnFaceCommand(u"IDC_FS_Add"_s, u"undefined"_s);
        last.window.OnFaceCommand(u"IDC_FS_Play"_s, u"undefined"_s);
        ASSERT_TRUE(QTest::qWaitFor([&] { return last.engine.state() == at; }, 5000));
        QElapsedTimer played;
        played.start();
        do {
            last.window.SetPaused(true);
            QTest::qWait(pick(30));
            last.window.SetPaused(false);
            QTest::qWait(pick(60));
        } while (last.around.timer.enabled && played.elapsed() < 10000);
        EXPECT_EQ(last.window.PlaybackStatus(), PlayerWindow::Status::Stopped);
        EXPECT_EQ(last.window.list().current(), 2);
        std::lock_guard lock(RecordingOutput::heardMutex);
        EXPECT_EQ(RecordingOutput::heardStreams,
                  (std::vector<RecordingOutput::Stream>{{44100, 1, 13230}, {48000, 2, 19200}}));
    }
}

// Each row: what the user does, then the window's state, the boxes told and asked, the time
// shown, the first row's reason and what a saved "Mix" holds.
TEST_F(Player, EachFailureIsToldOnceAndTheFaceFollowsTheEngine) {
    struct Row {
        const char* what;
        std::function<void(QStringList&)> does;
        const char* expected;
    };
    const auto gone = [](const QStringList& paths) {
        for (const QString& path : paths)
            QFile::remove(path);
    };
    const std::vector<Row> rows{
        {"a missing first file and another, from the command line",
         [&](QStringList& p) { gone({p[0]}), frm.PlayFiles(p); },
         "song1#1 plays 'song1.mp3' >song2 play=3/1 ticking told=1 asked=0 time= row0=missing "},
        {"repeat over a list whose files have all gone",
         [&](QStringList& p) {
             Add(p), Do("Repeat"), gone(p), engine.checksFiles = true;
             for (const char* step :
                  {"Play", "tick", "tick", "tick", "tick", "Play", "tick", "Repeat"})
                 Do(QString::fromLatin1(step));
         },
         "-#1 stopped ' ' >- play=1/0 told=3 asked=0 time=00:00 row0=missing "},
        {"next on the last row, without repeat",
         [&](QStringList& p) { Add(p), Do("Play"), Do("Next"), Do("Next"), Do("Next"); },
         "song2#2 plays 'song2.mp3' >- play=3/1 ticking told=0 asked=0 time= row0= "},
        {"stop",
         [&](QStringList& p) {
             Add(p), Do("Play"), engine.length = 4000, engine.time = 2000, Do("tick"), Do("Stop");
         },
         "song0#0 stopped '' >song1 play=1/0 told=0 asked=0 time=00:00 row0= "},
        {"save as a PLS over a file, No",
         [&](QStringList& p) {
             WriteFile(dir.filePath(u"Mix.pls"_s), "old"), Add(p), Do("SaveList");
         },
         "song0#0 stopped '' >song1 play=1/ told=0 asked=1 time= row0= old"},
        {"save as a PLS over a file, Yes",
         [&](QStringList& p) {
             WriteFile(dir.filePath(u"Mix.pls"_s), "old"), Add(p), messages.answers = {true};
             Do("SaveList");
         },
         "song0#0 stopped '' >song1 play=1/ told=0 asked=1 time= row0= [playlist]"},
    };
    dialog.saveAs = dir.filePath(u"Mix"_s);
    dialog.saveType = u"pls"_s;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Do("RemoveAll");
        face.store.clear();
        engine = ScriptedPlayer();
        messages.shown.clear(), messages.asked.clear();
        QStringList paths = Files(3);
        row.does(paths);
        Cmd("IDC_FS_Find", QString()); // the rows sent again, as they are now
        const QStringList first = Shown("_root.ListRows").split(u'|');
        EXPECT_EQ(u"%1 told=%2 asked=%3 time=%4 row0=%5 %6"_s.arg(State())
                      .arg(messages.shown.size())
                      .arg(messages.asked.size())
                      .arg(Shown("_root.TimePlayedTxt"), first.value(player_face::kRowFields - 1),
                           ReadBytes(dir.filePath(u"Mix.pls"_s)).left(10)),
                  QString::fromUtf8(row.expected));
    }
}

// Rows that join or leave during a round, and tags read late: every row once a round,
// Previous one back, and what is to come keeps its order (joined rows aside) or, once
// the tags are known, the rest of the album that plays comes next.
TEST(PlayOrder, RowsJoinedLeftOrRetaggedDuringARound) {
    struct Case {
        const char* what;
        ShuffleMode mode;
        int heard; // rows heard from row 6 on
        std::vector<OrderRow> join, retag;
        bool leaves;            // the row heard last leaves the list
        std::vector<int> first; // what is to come starts so; none: as it was
    };
    const std::vector<Case> cases{
        {"tracks: joined",
         ShuffleMode::Tracks,
         3,
         {{13, "9", 1, 1}, {14, "0", 1, 9}},
         {},
         false,
         {}},
        {"albums: a new album, a track of the one that plays and of one to come",
         ShuffleMode::Albums,
         1,
         {{13, "9", 1, 1}, {14, "1", 1, 9}, {15, "2", 1, 9}},
         {},
         false,
         {5, 14}},
        {"albums: tags read late",
         ShuffleMode::Albums,
         1,
         {},
         {{5, "1", 1, 1}, {6, "1", 1, 2}, {7, "1", 1, 3}, {8, "1", 1, 4}},
         false,
         {7, 8}},
        {"tracks: the row heard leaves", ShuffleMode::Tracks, 3, {}, {}, true, {}},
        {"albums: the row heard leaves", ShuffleMode::Albums, 2, {}, {}, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PlayOrder order(5);
        order.SetMode(c.mode, Albums(), 6);
        std::vector<int> heard{6};
        order.Heard(6);
        while (static_cast<int>(heard.size()) < c.heard)
            order.Heard(heard.emplace_back(order.Next(false, 0)));
        const auto toCome = [&order] {
            return std::vector<int>(order.round().begin() + order.position() + 1,
                                    order.round().end());
        };
        const std::vector<int> before = toCome();
        order.Joined(c.join);
        order.Retagged(c.retag);
        if (c.leaves)
            order.Left(heard.back());
        std::vector<int> now = toCome();
        if (!c.first.empty()) {
            EXPECT_EQ(std::vector<int>(now.begin(), now.begin() + 2), c.first);
        }
        std::erase_if(now, [](int id) { return id > 12; });
        if (c.retag.empty()) {
            EXPECT_EQ(now, before);
        }
        const int back = heard.size() > 1 ? heard[heard.size() - 2] : 0;
        EXPECT_EQ(order.Previous(heard.back(), 0), back);
        for (int id; heard.size() < 20 && (id = order.Next(false, 0)) != 0;)
            order.Heard(heard.emplace_back(id));
        std::vector<int> all(12 + c.join.size());
        std::iota(all.begin(), all.end(), 1);
        std::ranges::sort(heard);
        EXPECT_EQ(heard, all);
    }
}

} // namespace
