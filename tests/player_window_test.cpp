// The player's list and window with a scripted engine: a row left on the wrong file, a removed
// file played or shown, no sound output, times or rows off by one, settings lost between runs.
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
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <array>
#include <ctime>
#include <functional>
#include <gtest/gtest.h>
#include <numeric>

using namespace velune;
using namespace velune::test;

namespace {

// Edits of a..e (c current, d chosen); then the current, successor and chosen files ("-": none).
TEST(Playlist, EditsKeepTheCurrentAndChosenRowsOnTheirFiles) {
    const auto remove = [](std::vector<int> rows) {
        return
            [rows](Playlist& l) { std::ranges::for_each(rows, [&l](int row) { l.remove(row); }); };
    };
    const auto insert = [](int at) { return [at](Playlist& l) { l.insert(at, {"x", "y"}); }; };
    const std::vector<std::tuple<const char*, std::function<void(Playlist&)>, const char*>> edits{
        {"remove the chosen", remove({3}), "c--"},
        {"remove the current, then the row before", remove({2, 0}), "-dd"},
        {"remove the current, then its successor", remove({2, 2}), "-e-"},
        {"remove a row after, and rows that are not there", remove({4, 5, -1}), "c-d"},
        {"insert before", insert(0), "c-d"},
        {"clear", [](Playlist& l) { l.clear(); }, "---"},
    };
    for (const auto& [what, edit, expected] : edits) {
        Playlist list;
        list.append({"a", "b", "c", "d", "e"});
        list.setCurrent(2);
        list.choose(3);
        edit(list);
        const auto file = [&](int row) { return row < 0 ? u"-"_s : list.at(row); };
        EXPECT_EQ(file(list.current()) + file(list.successor()) + file(list.chosen()),
                  QLatin1String(expected))
            << what;
    }
}

// Five rows as added (x y z w v) with tags alike, apart and missing, sorted in turn and found.
TEST(ListOrder, SortsKeepRowsAlikeAsTheyCameMissingTagsLastAndFindingIgnoresCaseAndAccents) {
    Playlist list;
    list.append({"/m/b/10 x.mp3", "/m/a/2 y.mp3", "/m/a/1 z.mp3", "/m/c/9 w.mp3", "/m/a/3 v.mp3"});
    KnownTags tags;
    tags.insert("/m/b/10 x.mp3", {"Écho", "beta", "Été", "", 1, 2, 3000});
    tags.insert("/m/a/2 y.mp3", {"delta", "Alpha", "Zeta", "", 1, 1, 1000});
    tags.insert("/m/a/1 z.mp3", {"", "alpha", "Alpha", "", 2, 1, 2000});
    tags.insert("/m/a/3 v.mp3", {"Charlie", "Älpha", "Alpha", "", 1, 5, 2000});
    const auto names = [&](const std::vector<int>& rows) {
        QString names;
        for (const int row : rows)
            names += list.at(row).at(list.at(row).size() - 5);
        return names;
    };
    const std::vector<std::pair<const char*, const char*>> finds{
        {"", "xyzwv"}, {"   ", "xyzwv"}, {"ete", "x"},     {"ÉTÉ", "x"},     {"alpha zeta", "y"},
        {"9 w", "w"},  {"MP3", "xyzwv"}, {"charlie", "v"}, {"alpha", "yzv"}, {"nothing", ""},
    };
    for (const auto& [find, expected] : finds)
        EXPECT_EQ(names(MatchingRows(list, tags, QString::fromUtf8(find))), QLatin1String(expected))
            << find;
    const std::vector<std::pair<SortOrder, const char*>> orders{
        {SortOrder::Artist, "vzyxw"},   // alpha (accents and case alike): album, disc; beta; none
        {SortOrder::Album, "vzxyw"},    // Alpha d1 d2, Été, Zeta, none
        {SortOrder::Title, "zwvyx"},    // "1 z.mp3", "9 w.mp3" (file names), Charlie, delta, Écho
        {SortOrder::Length, "yzvxw"},   // 1 s, 2 s as they came, 3 s, unknown
        {SortOrder::FileName, "zyvwx"}, // 1, 2, 3, 9, 10
        {SortOrder::Added, "xyzwv"},    {SortOrder::Album, "vzxyw"},
        {SortOrder::Length, "yzvxw"}, // z before v as added, though listed after it
    };
    list.setCurrent(1); // y
    for (const auto& [order, expected] : orders) {
        const std::vector<int> sorted = SortedRows(list, tags, order);
        EXPECT_EQ(names(sorted), QLatin1String(expected)) << SortName(order).toStdString();
        ASSERT_TRUE(list.reorder(sorted));
        EXPECT_TRUE(list.at(list.current()).endsWith(u"y.mp3"));
    }
    EXPECT_FALSE(list.reorder({0, 0, 1, 2, 3})); // not every row once
}

// Rows joining, leaving or retagged mid-round: each row once, Previous walks back, order kept.
TEST(PlayOrder, EveryRowOnceARoundAsRowsJoinLeaveOrAreRetagged) {
    std::vector<OrderRow> albums; // three of four, listed album by album, tracks reversed
    for (int id = 1; id <= 12; ++id)
        albums.push_back({id, QString::number((id - 1) / 4), 1, 5 - (id - 1) % 4});
    struct Case {
        const char* what;
        ShuffleMode mode;
        int heard; // rows heard from row 6 on
        std::vector<OrderRow> join, retag;
        bool leaves;            // the row heard last leaves the list
        std::vector<int> first; // what is to come starts so; none: as it was
    };
    // clang-format off
    const std::vector<Case> cases{
        {"albums: as listed", ShuffleMode::Albums, 1, {}, {}, false, {}},
        {"tracks: joined", ShuffleMode::Tracks, 3, {{13, "9", 1, 1}, {14, "0", 1, 9}}, {}, false,
         {}},
        {"albums: a new album, a track of the one that plays and of one to come",
         ShuffleMode::Albums, 1, {{13, "9", 1, 1}, {14, "1", 1, 9}, {15, "2", 1, 9}}, {}, false,
         {5, 14}},
        {"albums: tags read late", ShuffleMode::Albums, 1, {},
         {{5, "1", 1, 1}, {6, "1", 1, 2}, {7, "1", 1, 3}, {8, "1", 1, 4}}, false, {7, 8}},
        {"tracks: the row heard leaves", ShuffleMode::Tracks, 3, {}, {}, true, {}},
        {"albums: the row heard leaves", ShuffleMode::Albums, 2, {}, {}, true, {}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PlayOrder order(5);
        order.SetMode(c.mode, albums, 6);
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
        // Untouched albums play at one go, each from its first track (listed in reverse).
        if (c.mode == ShuffleMode::Albums && c.join.empty() && c.retag.empty() && !c.leaves)
            for (std::size_t i = 1; i < heard.size(); ++i) {
                const int album = (heard[i] - 1) / 4;
                EXPECT_EQ(heard[i],
                          album == (heard[i - 1] - 1) / 4 ? heard[i - 1] - 1 : album * 4 + 4);
            }
        // Back through what was heard since, and forward again the same way.
        const auto since = static_cast<std::size_t>(c.heard);
        for (std::size_t i = heard.size() - 1; i > since; --i) {
            EXPECT_EQ(order.Previous(heard[i], 0), heard[i - 1]);
            order.Heard(heard[i - 1], true);
        }
        EXPECT_EQ(order.Next(false, 0), heard[since + 1]);
        std::vector<int> all(12 + c.join.size());
        std::iota(all.begin(), all.end(), 1);
        std::ranges::sort(heard);
        EXPECT_EQ(heard, all);
    }
}

PlayerWindow::Parts Parts(Around& a, PlayerEngine& e) {
    return {a.face,  a.form,           a.messages, a.dialog,     a.lock,        e,
            a.timer, u"/opt/velune"_s, a.folders,  a.background, a.cache.path()};
}

class Player : public ::testing::Test, protected Around {
protected:
    Player() : frm(Parts(*this, engine)) { EXPECT_TRUE(frm.Start()); }
    QStringList Files(int count) {
        QStringList paths;
        for (int i = 0; i < count; ++i) {
            paths << dir.filePath(u"song%1.mp3"_s.arg(i));
            EXPECT_TRUE(WriteFile(paths.back()));
        }
        return paths;
    }
    void Add(const QStringList& paths) {
        dialog.Choose(paths);
        Do("Add");
    }
    QString Shown(const QString& name) { return face.store.value(name); }
    // A face command ("Remove 2"), "end" (then a tick), "advance", "skip", "tick", "paused 1".
    void Do(const QString& step) {
        const QString word = step.section(u' ', 0, 0);
        if (word == u"end")
            engine.ended = true;
        if (word == u"advance" || word == u"skip")
            word == u"skip" ? engine.Skip() : engine.Advance(), frm.FollowEngine();
        else if (word == u"paused")
            frm.SetPaused(step.endsWith(u'1'));
        else if (word == u"end" || word == u"tick")
            frm.Tick();
        else
            frm.OnFaceCommand(u"IDC_FS_"_s + word,
                              step.contains(u' ') ? step.section(u' ', 1) : u"undefined"_s);
    }
    // The engine's file and doing, the row, the title, the next file, Play button/light, ticking.
    QString State() {
        const auto name = [](const QString& path) {
            return path.isEmpty() ? u"-"_s : QFileInfo(path).completeBaseName();
        };
        const QString does = engine.playing  ? u"plays"_s
                             : engine.paused ? u"paused"_s
                                             : u"stopped"_s;
        return u"%1#%2 %3 '%4' >%5 play=%6/%7%8"_s.arg(name(engine.loaded))
            .arg(frm.list().current())
            .arg(does, Shown("_root.FileTxt"), name(engine.next), Shown("_root.Play"),
                 Shown("_root.Playing"), timer.enabled ? u" ticking"_s : QString());
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

TEST_F(Player, StartsWithItsFaceAndTheTransportFollowsTheEngineAndSkipsMissingFilesOnce) {
    Run({{"Play", "-#-1 stopped ' ' >- play=4/"}}); // nothing to play
    QStringList paths = Files(4);
    QFile::remove(paths[2]);
    Add(paths);
    // Pause, or MPRIS Play's resume, with nothing playing changes nothing.
    Run({{"tick", "song0#0 stopped ' ' >song1 play=1/"},
         {"Pause", "song0#0 stopped ' ' >song1 play=1/"},
         {"paused 0", "song0#0 stopped ' ' >song1 play=1/"},
         {"Play", "song0#0 plays 'song0.mp3' >song1 play=3/1 ticking"},
         {"Pause", "song0#0 paused 'song0.mp3' >song1 play=1/0"}});
    EXPECT_EQ(Shown("_root.Pause"), u"3"_s);
    Run({{"Pause", "song0#0 plays 'song0.mp3' >song1 play=3/1 ticking"},
         {"paused 1", "song0#0 paused 'song0.mp3' >song1 play=1/0"},
         {"Stop", "song0#0 stopped '' >song1 play=1/0"},
         {"Play", "song0#0 plays 'song0.mp3' >song1 play=3/1 ticking"},     // afresh, announced
         {"Previous", "song0#0 plays 'song0.mp3' >song1 play=3/1 ticking"}, // at the first row
         {"Next", "song1#1 plays 'song1.mp3' >song2 play=3/1 ticking"},
         {"Next", "song3#3 plays 'song3.mp3' >- play=3/1 ticking"}, // row 2 is missing: told
         {"Next", "song3#3 plays 'song3.mp3' >- play=3/1 ticking"}, // the end: the row stays
         {"Repeat", ""},
         {"Next", "song0#0 plays 'song0.mp3' >song1 play=3/1 ticking"}});
    EXPECT_EQ(Shown("_root.Repeat"), u"3"_s);
    EXPECT_EQ(messages.shown, QStringList{"file:" + paths[2] + "--dosen't exist"});
    // Every file gone, with repeat: each is told once (the third was already), then the list stops.
    for (const QString& path : paths)
        QFile::remove(path);
    messages.shown.clear();
    engine.checksFiles = true;
    Do("Next");
    for (const char* step : {"tick", "tick", "tick", "tick", "tick", "tick", "Play", "tick"})
        Do(QString::fromLatin1(step));
    EXPECT_EQ(State(), u"-#3 stopped ' ' >- play=1/0"_s);
    EXPECT_EQ(messages.shown.size(), 3);
    Do("Find "); // the rows sent again: each says why it is not played
    EXPECT_EQ(Shown("_root.ListRows").split(u'|').value(player_face::kRowFields - 1), u"missing"_s);
    // From the command line, a missing first file: the next plays, and the missing one is told.
    Do("RemoveAll");
    messages.shown.clear();
    paths = Files(2);
    QFile::remove(paths[0]);
    frm.PlayFiles(paths);
    EXPECT_EQ(State(), u"song1#1 plays 'song1.mp3' >song0 play=3/1 ticking"_s); // repeat is on
    EXPECT_EQ(messages.shown, QStringList{"file:" + paths[0] + "--dosen't exist"});
    // Engine states as shown (s stopped, p playing, z paused), and the Play button of each.
    for (int i = 0; i < 12; ++i) {
        engine.forced = static_cast<PlaybackState>(i);
        EXPECT_EQ("spz"[static_cast<int>(frm.PlaybackStatus())], "sppzpppsszzz"[i]) << i;
        if (!engine.Ended()) {
            frm.FollowEngine();
            EXPECT_EQ(Shown("_root.Play"), QString(QChar::fromLatin1("1331333--111"[i]))) << i;
        }
    }
    lock.free = false;
    PlayerWindow second(Parts(*this, engine));
    EXPECT_FALSE(second.Start());
    EXPECT_EQ(messages.shown.back(),
              u"VelunePlayer is running, Please Close VelunePlayer first then try again."_s);
}

TEST_F(Player, TimesSeeksAndVolumeFollowTheFaceAndAnItemsEndPlaysTheNextOrStopsAtTheLast) {
    Add(Files(3));
    Do("Play");
    // Times round to seconds; minutes keep counting past the hour.
    engine.length = 3725000;
    engine.time = 59600;
    engine.position = 0.42;
    frm.Tick();
    EXPECT_EQ((QStringList{Shown("_root.TotalTimeTxt"), Shown("_root.TimePlayedTxt"),
                           Shown("_root.KnobPosition"), QString::number(frm.SeekBar())}),
              (QStringList{"62:05", "01:00", " 42", "42"}));
    // The knob's or volume's place, or the arrow keys' 5 s: the seek and the volume after.
    engine.length = 10000;
    engine.time = 2000;
    const std::vector<std::pair<const char*, const char*>> seeks{
        {"KnobReleased 50", "0.5 100"}, {"KnobReleased nan", "0.5 100"},
        {"KnobReleased 250", "1 100"},  {"Volume 2.5", "1 50"},
        {"SeekBy 5000", "0.7 50"},      {"SeekBy -5000", "0 50"},
    };
    for (const auto& [step, after] : seeks) {
        const QString command = QString::fromLatin1(step);
        face.store.insert(command.startsWith(u"Volume") ? u"_root.VolumePosition"_s
                                                        : u"_root.KnobPosition"_s,
                          command.section(u' ', 1));
        Do(command);
        EXPECT_EQ(u"%1 %2"_s.arg(engine.seeks.last()).arg(engine.volume), QLatin1String(after))
            << step;
    }
    // A length beyond any display: neither time nor its trigger.
    engine.length = 1e300;
    face.writes.clear();
    frm.Tick();
    EXPECT_FALSE(face.writes.contains("_root.SetTimeTxt=1"));
    // Position 1 shows 99 until the item really ends.
    engine.position = 1.0;
    frm.Tick();
    EXPECT_EQ(frm.SeekBar(), 99);
    Run({{"end", "song1#1 plays 'song1.mp3' >song2 play=3/1 ticking"}});
    EXPECT_EQ(frm.SeekBar(), 0);
    Run({{"end", "song2#2 plays 'song2.mp3' >- play=3/1 ticking"},
         {"end", "song2#2 stopped ' ' >- play=1/0"}}); // the last item: nothing plays on
    EXPECT_EQ(Shown("_root.TimePlayedTxt"), u"00:00"_s);
    Run({{"Play", "song2#2 plays 'song2.mp3' >- play=3/1 ticking"}}); // again, announced
    engine.length = 4000;
    Run({{"tick", ""}, {"Stop", "song2#2 stopped '' >- play=1/0"}});
    EXPECT_EQ(Shown("_root.TimePlayedTxt"), u"00:00"_s);
}

// Removing the loaded row never leaves its file playing or shown; Play plays the row now there.
TEST_F(Player, RemovingTheLoadedRowInEveryState) {
    Add(Files(4));
    Run({{"SelectedIndex 1", "song1#1 plays 'song1.mp3' >song2 play=3/1 ticking"},
         {"Remove 1", "song2#1 plays 'song2.mp3' >song3 play=3/1 ticking"},
         {"Play", "song2#1 plays 'song2.mp3' >song3 play=3/1 ticking"},
         {"SelectedIndex 2", "song3#2 plays 'song3.mp3' >- play=3/1 ticking"},
         {"Remove 2", "-#-1 stopped ' ' >- play=1/0"}, // the last row
         {"Play", "song2#1 plays 'song2.mp3' >- play=3/1 ticking"},
         {"SelectedIndex 0", ""},
         {"Stop", ""},
         {"Remove 0", "-#-1 stopped ' ' >- play=1/0"},
         {"Play", "song2#0 plays 'song2.mp3' >- play=3/1 ticking"}});
}

// The engine holds the file that follows by the list's rules; the face follows it at once.
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
         {"Remove 0", "song3#1 plays 'song3.mp3' >song3 play=3/1 ticking"}, // a row before it
         {"Stop", "song3#1 stopped '' >song3 play=1/0"}}); // stopping keeps what follows
    EXPECT_EQ(messages.shown, QStringList{"file:" + paths[1] + "--dosen't exist"});
    engine.mixer = {{60, true}}; // the desktop's mixer is the truth for the knob and the mute
    frm.FollowEngine();
    EXPECT_EQ(Shown("_root.VolumePosition") + Shown("_root.Muted"), u"31"_s);
    // Open replaces the list; its last row removed, the face empties its own.
    dialog.Choose({paths[2]});
    Run({{"OpenFile", "song2#0 stopped ' ' >song2 play=1/0"},
         {"Remove 0", "-#-1 stopped ' ' >- play=4/0"}});
    EXPECT_EQ(Shown("_root.RemoveAll"), u"1"_s);
}

// The face's rows as the host last wrote them (fields of kRowFields), by path.
QStringList ShownPaths(const RecordingFace& face) {
    const QStringList fields = face.store.value(u"_root.ListRows"_s).split(u'|');
    QStringList paths;
    for (qsizetype i = 0; i + player_face::kRowFields <= fields.size();
         i += player_face::kRowFields)
        paths << fields[i];
    return paths;
}

TEST_F(Player, TheEngineIsToldWhatFollowsByTheQueueTheShuffleAndTheList) {
    Add(Files(6));
    Run({{"Play", "song0#0 plays 'song0.mp3' >song1 play=3/1 ticking"}});
    engine.Skip(false); // song1 fails, but the window hears of it only once song3 is named
    Run({{"PlayNext 3", "song0#0 plays 'song0.mp3' >song3 play=3/1 ticking"},
         {"tick", "song0#0 plays 'song0.mp3' >song3 play=3/1 ticking"},       // passed over
         {"PlayNext 3", "song0#0 plays 'song0.mp3' >song3 play=3/1 ticking"}, // once
         {"PlayNext 5", "song0#0 plays 'song0.mp3' >song3 play=3/1 ticking"}});
    EXPECT_TRUE(Shown("_root.ListChanges").endsWith(u"|2|"_s)); // row 5, second in the queue
    Run({{"advance", "song3#3 plays 'song3.mp3' >song5 play=3/1 ticking"}});
    EXPECT_TRUE(Shown("_root.ListChanges").endsWith(u"|1|"_s)); // row 5 is now first in the queue
    // A queued row removed leaves the queue; the list goes on from where it was.
    Run({{"Remove 5", "song3#3 plays 'song3.mp3' >song1 play=3/1 ticking"},
         {"PlayNext 3", "song3#3 plays 'song3.mp3' >song3 play=3/1 ticking"},
         {"advance", "song3#3 plays 'song3.mp3' >song1 play=3/1 ticking"},
         {"advance", "song1#1 plays 'song1.mp3' >song2 play=3/1 ticking"},
         {"Shuffle tracks", ""},
         {"PlayNext 4", ""}}); // the queue goes before the shuffle, and the round keeps it once
    EXPECT_TRUE(engine.next.endsWith(u"song4.mp3"_s));
    // Shuffle: the rest of the round, each row once, then nothing without repeat.
    QStringList order{engine.loaded};
    while (!engine.next.isEmpty()) {
        Do("advance");
        EXPECT_FALSE(order.contains(engine.loaded)) << engine.loaded;
        order << engine.loaded;
    }
    EXPECT_EQ(order.size(), 5);
    Do("Repeat"); // a new round, not starting with the row just heard
    EXPECT_FALSE(engine.next.isEmpty() || engine.next == engine.loaded);
    Do("Previous"); // back through the round
    EXPECT_EQ(engine.loaded, order[order.size() - 2]);
    Do("Shuffle"); // tracks -> albums -> off
    Do("Shuffle");
    EXPECT_EQ(frm.Remember().shuffle, ShuffleMode::Off);
}

TEST_F(Player, FindingShowsTheRowsFoundAndTheFacesRowsAreThose) {
    Add(Files(5));
    // A step, the rows the face shows (by number), the face's playing row, the engine's file.
    const std::vector<std::array<const char*, 4>> steps{
        {"Find ", "01234", "0", "song0"},
        {"Find SONG3", "3", "-1", "song0"},
        {"PlayFound", "3", "0", "song3"},
        {"Find song", "01234", "3", "song3"},
        {"Find song1", "1", "-1", "song3"},
        {"SelectedIndex 0", "1", "0", "song1"}, // the row as shown
        {"Remove 0", "", "-1", "song2"},
        {"SelectedIndex 0", "", "-1", "song2"}, // nothing shown, nothing played
        {"Find ", "0234", "1", "song2"},
        {"Sort bogus", "0234", "1", "song2"}, // an order it does not know changes nothing
    };
    for (const auto& [step, shown, playingRow, loaded] : steps) {
        Do(QString::fromLatin1(step));
        QStringList rows;
        QString numbers;
        for (const int row : frm.ShownRows()) {
            rows << frm.list().at(row);
            numbers += rows.back().at(rows.back().size() - 5);
        }
        EXPECT_EQ(numbers, QLatin1String(shown)) << step;
        if (QLatin1String(step).startsWith(QLatin1String("Find"))) {
            EXPECT_EQ(ShownPaths(face), rows) << step;
        }
        EXPECT_EQ(Shown("_root.PlayingRow") + u' ' + State().section(u'#', 0, 0),
                  u"%1 %2"_s.arg(QLatin1String(playingRow), QLatin1String(loaded)))
            << step;
    }
    EXPECT_EQ(Shown("_root.SortOrder"), QString());
}
TEST_F(Player, AFolderAddsItsAudioWithTagsCoversAndASavedListAndItAllComesBackUnplayed) {
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
    Do("AddFolder");
    const QStringList rows{music + u"/A/01 a.flac"_s, music + u"/A/02 b.flac"_s,
                           music + u"/B/2 d.wav"_s, music + u"/B/10 c.wav"_s};
    EXPECT_EQ(frm.list().rows(), rows);
    EXPECT_EQ(messages.shown, QStringList{});
    EXPECT_EQ(Shown("_root.ListTotal"), u"4 files · 00:04 · 3 skipped: not audio"_s);
    // The row shows its tags; an untagged one its file name.
    EXPECT_TRUE(face.writes.filter(u"_root.ListChanges="_s)
                    .join(u'\n')
                    .contains(u"|Été|Ana|Sol|1|00:02|"_s));
    Do("Play");
    EXPECT_EQ(Shown("_root.FileTxt"), u"Été — Ana"_s); // now playing, from the tags
    const QString art = Shown("_root.CoverUrl");
    EXPECT_EQ(ReadBytes(PathOfFileUri(art.toUtf8())), ReadBytes(cover));
    EXPECT_EQ(std::tuple(frm.Info().title, frm.Info().artUrl), std::tuple(u"Été"_s, art));
    Do("SelectedIndex 2"); // a file with a picture beside it
    EXPECT_EQ(Shown("_root.CoverUrl"), FileUriOf(music + u"/B/cover.png"_s));

    dialog.saveAs = music + u"/All"_s;
    Do("SaveList");
    EXPECT_EQ(ReadBytes(music + u"/All.m3u8"_s),
              "#EXTM3U\n#EXTINF:2,Ana - \xc3\x89t\xc3\xa9\nA/01 a.flac\n#EXTINF:2,Bis\n"
              "A/02 b.flac\n#EXTINF:1,2 d.wav\nB/2 d.wav\n#EXTINF:1,10 c.wav\nB/10 c.wav\n");
    ASSERT_TRUE(WriteFile(music + u"/All.m3u8"_s, "old"));
    messages.answers = {false, true}; // saved again over it: asked, No keeps it, Yes replaces it
    Do("SaveList");
    EXPECT_EQ(ReadBytes(music + u"/All.m3u8"_s), "old");
    Do("SaveList");
    EXPECT_TRUE(ReadBytes(music + u"/All.m3u8"_s).startsWith("#EXTM3U\n"));
    dialog.saveAs = u"/no/such/folder/x.pls"_s;
    Do("SaveList");
    EXPECT_TRUE(
        messages.shown.back().startsWith(u"The playlist '/no/such/folder/x.pls' could not"_s));

    Do("Sort title");
    EXPECT_EQ(frm.list().rows(), (QStringList{rows[3], rows[2], rows[1], rows[0]}));
    // A dropped folder, file or station: one message for the add, files refused as before.
    messages.shown.clear();
    ASSERT_TRUE(WriteFile(dir.filePath(u"radio.m3u"_s), "#EXTINF:-1,Radio One\nhttp://a.test/"));
    frm.DropFiles({music + u"/B"_s, music + u"/notes.txt"_s, dir.filePath(u"radio.m3u"_s)});
    EXPECT_EQ(frm.list().size(), 7);
    EXPECT_EQ(messages.shown, (QStringList{u"The Player not support this format"_s}));
    // Closed and started again: the list, its row and the settings come back, unplayed.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    Do("SelectedIndex 1");
    face.store.insert(u"_root.VolumePosition"_s, u"7"_s);
    for (const char* step :
         {"Repeat", "Volume", "SoundOff", "ShowList", "ReplayGain", "ReplayGain", "Shuffle"})
        Do(step);
    SaveRemembered(frm.Remember());
    Around around;
    ScriptedPlayer engine2;
    PlayerWindow again(Parts(around, engine2));
    ASSERT_TRUE(again.Start());
    again.Restore(LoadRemembered());
    EXPECT_EQ(ShownPaths(around.face), frm.list().rows());
    EXPECT_EQ(std::tuple(engine2.loaded, engine2.playing, engine2.volume, engine2.muted,
                         engine2.gain, again.RepeatOn(), again.Shuffle()),
              std::tuple(frm.list().at(1), false, 140, true, ReplayGainMode::Album, true,
                         ShuffleMode::Tracks));
    const QHash<QString, QString>& shown = around.face.store;
    EXPECT_EQ(QStringList({shown["_root.Muted"], shown["_root.ReplayGainMode"],
                           shown["_root.Shuffle"], around.form.geometry,
                           shown["_root.ListRows"].section(u"http://a.test/|"_s, 1).left(9)}),
              (QStringList{"1", "album", "tracks", "336x360 face 336x360", "Radio One"}));
    EXPECT_EQ(again.Order().round().front(), again.list().id(1)); // the round starts where it was
    // A damaged settings file gives the defaults.
    ASSERT_TRUE(WriteFile(UserSettings(u"VelunePlayer"_s)->fileName(),
                          QByteArray("\0\xff[list\nrows=\"\x01\nvolume=-3e999\n", 30)));
    const PlayerWindow::Remembered defaults = LoadRemembered();
    EXPECT_TRUE(defaults.rows.isEmpty());
    EXPECT_EQ(defaults.volume, 5.0);
}

TEST(TagCache, ChangedFilesAreReadAgainAndRemovedOnesDropped) {
    QTemporaryDir dir;
    const QString a = dir.filePath(u"a.flac"_s), b = dir.filePath(u"b.flac"_s);
    const QString tone = dir.filePath(u"tone.flac"_s), file = dir.filePath(u"cache/tags.cache"_s);
    // a's time (whole milliseconds, as kept), set again after each rewrite.
    const QDateTime when = QDateTime::currentDateTime().addSecs(-100);
    const auto touch = [&](int seconds) {
        QFile f(a);
        return f.open(QIODevice::ReadWrite) &&
               f.setFileTime(when.addSecs(seconds), QFileDevice::FileModificationTime);
    };
    ASSERT_TRUE(MakeTone(tone, 0.3) && Tagged(tone, a, {u"title=One"_s}) && touch(0) &&
                Tagged(tone, b, {u"title=Two"_s}));
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
    ASSERT_TRUE(Tagged(tone, a, {u"title=Neu"_s}) && touch(0));
    TagCache second(file);
    second.Load();
    EXPECT_EQ(second.Get(a)->title, u"One"_s);
    // Changed: read again. Removed: dropped, and not kept by the next save.
    ASSERT_TRUE(touch(60));
    EXPECT_EQ(second.Get(a)->title, u"Neu"_s);
    ASSERT_TRUE(QFile::remove(b));
    EXPECT_FALSE(second.Get(b) || second.Holds(b));
    ASSERT_TRUE(second.Save({a, b}));
    EXPECT_EQ(held(), u"a"_s);
    // A damaged cache is read as none.
    ASSERT_TRUE(WriteFile(file, QByteArray("VTC1\xff\xff", 6)));
    EXPECT_EQ(held(), QString());
}

// Each state (a row) after each event: i idle, o opening, p playing, z paused, s switching, n
// ending, d draining, e ended, f failed, S D N: s d n paused; held up: b buffering, r reconnecting.
TEST(PlaybackStates, EveryEventMovesEveryStateByOneTable) {
    const char* const kLetters = "iopzsdnefSDNbr";
    // clang-format off
    const char* const kRows[] = {
        // load clear play pause resume stop ready itemfail soundfail format written next drained
        // seek playout stalled reconnect flowing
        "i" "i" "o" "i" "i" "i" "i" "i" "i" "i" "i" "i" "i" "i" "i" "i" "i" "i", // idle
        "i" "i" "o" "z" "o" "i" "p" "e" "f" "o" "o" "o" "o" "o" "o" "o" "o" "o", // opening
        "i" "i" "p" "z" "p" "i" "p" "e" "f" "s" "d" "p" "p" "o" "p" "b" "r" "p", // playing
        "i" "i" "o" "z" "o" "i" "z" "e" "f" "z" "z" "z" "z" "z" "z" "z" "z" "z", // paused
        "i" "i" "s" "S" "s" "i" "s" "e" "f" "s" "n" "s" "o" "o" "s" "s" "s" "s", // switching
        "i" "i" "d" "D" "d" "i" "d" "e" "f" "d" "d" "p" "d" "o" "n" "d" "d" "d", // draining
        "i" "i" "n" "N" "n" "i" "n" "e" "f" "n" "n" "s" "e" "o" "n" "n" "n" "n", // ending
        "i" "i" "o" "e" "e" "i" "e" "e" "f" "e" "e" "e" "e" "e" "e" "e" "e" "e", // ended
        "i" "i" "o" "f" "f" "i" "f" "e" "f" "f" "f" "f" "f" "f" "f" "f" "f" "f", // failed
        "i" "i" "s" "S" "s" "i" "S" "e" "f" "S" "S" "S" "S" "z" "S" "S" "S" "S", // paused switching
        "i" "i" "d" "D" "d" "i" "D" "e" "f" "D" "D" "z" "D" "z" "D" "D" "D" "D", // paused draining
        "i" "i" "n" "N" "n" "i" "N" "e" "f" "N" "N" "S" "N" "z" "N" "N" "N" "N", // paused ending
        "i" "i" "b" "z" "b" "i" "b" "e" "f" "b" "d" "b" "b" "o" "b" "b" "r" "p", // buffering
        "i" "i" "r" "z" "r" "i" "r" "e" "f" "r" "d" "r" "r" "o" "r" "r" "r" "p", // reconnecting
    };
    // clang-format on
    for (int s = 0; s < 14; ++s)
        for (int e = 0; e < 18; ++e) {
            const PlaybackState after = Transition(PlaybackState(s), PlaybackEvent(e));
            EXPECT_EQ(kLetters[static_cast<int>(after)], kRows[s][e])
                << StateName(PlaybackState(s)) << " + " << EventName(PlaybackEvent(e));
        }
    EXPECT_TRUE(IsRunning(PlaybackState::Buffering) && IsRunning(PlaybackState::Reconnecting));
}

// The real engine behind the window, into an output that plays into nothing.
struct RealPlayer {
    Around around;
    GaplessPlayer engine{[](auto) { return std::make_unique<RecordingOutput>(); }};
    PlayerWindow window{Parts(around, engine)};
    bool follows = true; // the window hears of the engine's news at once, else at a tick
    QString note;
    RealPlayer() {
        QObject::connect(&engine, &GaplessPlayer::changed, [this] {
            if (follows)
                window.FollowEngine();
        });
        window.Start();
    }
    void Do(const char* command, const QString& args = u"undefined"_s) {
        window.OnFaceCommand(u"IDC_FS_"_s + QString::fromLatin1(command), args);
    }
    void Until(const std::function<bool(PlaybackState)>& ready) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return ready(engine.state()); }, 5000));
    }
};

// Random commands on odd files: answered in order, time back only by a seek, one stream at most.
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
    const QStringList files{file("a.wav"),       file("b.flac"),      file("six.flac"),
                            file("short.ogg"),   file("corrupt.mp3"), file("empty.wav"),
                            file("missing.wav"), file("a.wav")};

    auto player = std::make_unique<RealPlayer>();
    const auto pick = [&](int n) { return static_cast<int>(random.bounded(n)); };
    // Whether a step ends within a second: commands are carried out in order, and soon.
    const auto within = [](const std::function<void()>& work) {
        QElapsedTimer clock;
        clock.start();
        work();
        return clock.elapsed() < 1000;
    };
    double lastTime = -1; // none
    int lastRow = -1;
    for (int i = 0; i < commands; ++i) {
        PlayerWindow& w = player->window;
        Around& a = player->around;
        // A face command or what else happens, and whether the time may start again after it.
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
        const QString args = step == u"SeekBy" ? QString::number(pick(2) ? 5000 : -5000)
                             : step == u"SelectedIndex" || step == u"Remove"
                                 ? QString::number(pick(8))
                                 : u"undefined"_s;
        if (step == u"KnobReleased")
            a.face.store.insert(u"_root.KnobPosition"_s, QString::number(pick(101)));
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
        // The time runs back only by a command or for a new item (whose report may be on its way).
        const auto time = player->engine.inputTime();
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
        ASSERT_TRUE(row < w.list().size()) << "command " << i;
        if (i % 97 == 0) {
            ASSERT_TRUE(within([&] { player->engine.Settle(); })) << "command " << i;
        }
        if (i % 1009 == 1008) {
            ASSERT_TRUE(within([&] { player.reset(); })) << "command " << i;
            player = std::make_unique<RealPlayer>();
            lastTime = -1;
        }
    }
}

// Late news passed over. Each row: the list, what the user does, the titles shown, boxes told.
TEST(PlayerEngine, LateNewsIsPassedOverAndTheFaceShowsWhatIsHeard) {
    QTemporaryDir dir;
    const auto file = [&](const QString& name) { return dir.filePath(name); };
    ASSERT_TRUE(MakeTone(file("a.wav"), 1.5, 44100, 1) && MakeTone(file("b.wav"), 0.02, 44100, 1) &&
                MakeTone(file("c.wav"), 0.05, 44100, 1) && WriteFile(file("bad.wav"), Noise(4000)));
    using S = PlaybackState;
    const std::vector<
        std::tuple<const char*, const char*, std::function<void(RealPlayer&)>, const char*>>
        rows{{"a skip from before a load", "b missing a",
              [](RealPlayer& p) {
                  p.follows = false, p.Do("Play");
                  p.Until([](S s) { return s == S::Draining || s == S::Ending || s == S::Ended; });
                  p.Do("SelectedIndex", u"2"_s), p.window.Tick();
              },
              "b.wav a.wav told=0"},
             {"the next row removed once written behind, paused there", "a b c",
              [](RealPlayer& p) {
                  p.Do("Play"), p.Until([](S s) { return s == S::Draining || s == S::Ending; });
                  p.Do("Pause"), RecordingOutput::heardStreams.clear();
                  p.Do("Remove", u"1"_s), p.Do("Play");
                  p.Until([&p](S) { return !p.around.timer.enabled; });
                  std::lock_guard lock(RecordingOutput::heardMutex);
                  int64_t heard = 0;
                  for (const auto& stream : RecordingOutput::heardStreams)
                      heard += std::get<2>(stream);
                  p.note = u" %1"_s.arg(heard);
              },
              "a.wav c.wav told=0 68355"}, // a and c, each frame once
             {"the next row removed once heard", "b a c",
              [](RealPlayer& p) {
                  p.follows = false, p.Do("Play");
                  p.Until([&p](S) { return p.engine.inputLength() > 1000; });
                  p.Do("Remove", u"1"_s), p.window.Tick();
              },
              "b.wav c.wav told=0"},
             {"a seek back to the start of a file moved away", "a",
              [&](RealPlayer& p) {
                  p.Do("Play"), p.Until([&p](S) { return p.engine.inputTime() > 500; });
                  QFile::rename(file("a.wav"), file("moved.wav")), p.window.SeekTo(0);
                  QTest::qWait(200), p.window.Tick();
                  const QString shown = p.around.face.store.value(u"_root.TimePlayedTxt"_s);
                  p.note = shown == u"00:00" ? u" time=back"_s : u" time=on"_s;
              },
              "a.wav told=0 time=on"},
             {"a list with a damaged file played to its end", "b bad c",
              [](RealPlayer& p) {
                  p.around.face.writes.clear();
                  const std::clock_t before = std::clock(); // the process's CPU time
                  p.Do("Play"), p.Until([&p](S) { return !p.around.timer.enabled; });
                  QTest::qWait(300);
                  const auto blanks = p.around.face.writes.count(u"_root.FileTxt= "_s);
                  p.note = u" blank=%1 row=%2"_s.arg(blanks).arg(p.window.list().current());
                  EXPECT_LT(std::clock() - before, CLOCKS_PER_SEC / 2); // the feed does not spin
              },
              "b.wav c.wav told=1 blank=1 row=2"}};
    for (const auto& [what, names, does, expected] : rows) {
        SCOPED_TRACE(what);
        RealPlayer p;
        QStringList files;
        for (const QString& name : QString::fromLatin1(names).split(u' '))
            files << file(name + u".wav"_s);
        p.around.dialog.Choose(files), p.Do("Add"), does(p);
        QStringList titles;
        for (const QString& write : p.around.face.writes.filter(u"_root.FileTxt="_s))
            if (const QString title = write.section(u'=', 1).trimmed();
                !title.isEmpty() && (titles.isEmpty() || titles.back() != title))
                titles << title;
        EXPECT_EQ(u"%1 told=%2%3"_s.arg(titles.join(u' '))
                      .arg(p.around.messages.shown.size())
                      .arg(p.note),
                  QString::fromUtf8(expected));
    }
}

} // namespace
