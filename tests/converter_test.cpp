// The converter's window logic with scripted parts and real files, its names and its sheets.
#include "batch.h"
#include "conversion_dialog.h"
#include "conversion_window.h"
#include "converter_remembered.h"
#include "converter_settings.h"
#include "converter_window.h"
#include "cue_sheet.h"
#include "fakes.h"
#include "media.h"
#include "output_names.h"
#include "system_names.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace velune;
using namespace velune::test;
using State = ConverterEngine::ItemState;

namespace {

TEST(Naming, OutputNamesNeverTakeAnExistingOrGivenName) {
    struct Row {
        const char* what;
        QString source, folder, format, expected; // folder "" = beside the source
        QStringList taken; // existing files, "x/" a folder, "+x" a name given earlier in the run
    };
    // clang-format off
    const std::vector<Row> rows{
        {"beside the source", "M/Song.mp3", "", "ogg", "M/Song.ogg", {}},
        {"numbers after existing files", "M/Song.mp3", "Out", "wav", "Out/Song 2.wav",
         {"Out/Song.wav", "Out/Song 1.wav"}},
        {"a folder counts as taken", "M/Song.mp3", "Out", "ogg", "Out/Song 1.ogg", {"Out/Song.ogg/"}},
        {"names given earlier", "C/Song.ogg", "Out", "wav", "Out/Song 2.wav",
         {"+Out/Song.wav", "+Out/Song 1.wav"}},
        {"dots in the stem", "x.y.mp3", "Out", "ogg", "Out/x.y.ogg", {}},
        {"a dot in the folder only", "My.Dir/track", "Out", "ogg", "Out/track.ogg", {}},
        {"apostrophes leave the final name, which is tested", "Bob's/Rock 'n' Roll.mp3", "Bob's", "ogg",
         "Bob's/Rock n Roll 1.ogg", {"Bob's/Rock n Roll.ogg", "Bob's/Rock 'n' Roll 1.ogg"}},
        {"non-ASCII kept", "M/Été à Zürich — 東京.ogg", "Sortie é", "mp3",
         "Sortie é/Été à Zürich — 東京 1.mp3", {"Sortie é/Été à Zürich — 東京.mp3"}},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        QTemporaryDir dir;
        QSet<QString> given;
        for (const QString& path : row.taken + QStringList{row.source, row.folder + u'/'}) {
            QDir().mkpath(QFileInfo(dir.filePath(path)).absolutePath());
            if (path.startsWith(u'+'))
                given.insert(dir.filePath(path.mid(1)));
            EXPECT_TRUE(path.endsWith(u'/') || path.startsWith(u'+') ||
                        WriteFile(dir.filePath(path), "x"));
        }
        const QString folder = row.folder.isEmpty() ? QString() : dir.filePath(row.folder);
        const QString name = OutputPath(dir.filePath(row.source), folder, row.format, given);
        EXPECT_EQ(name, dir.filePath(row.expected));
        EXPECT_TRUE(given.contains(name));
    }
}

// Sheets as rippers write them, and broken ones: each gives its tracks or a reason.
TEST(CueSheets, EveryFormGivesItsTracksOrAReason) {
    const QByteArray body = "FILE \"My Disc.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                            "  TRACK 02 AUDIO\n    INDEX 00 01:02:03\n    INDEX 01 01:04:70\n";
    const QString text16 = u"TITLE \"x\"\nFILE a.wav WAVE\nTRACK 1 AUDIO\nINDEX 01 00:00:00\n"_s;
    const QByteArray utf16(reinterpret_cast<const char*>(text16.utf16()), 2 * text16.size());
    struct Row {
        const char* what;
        QByteArray sheet;
        std::vector<qint64> starts; // INDEX 01 of each track; none: refused
        QString title, performer;   // the first track's, else the sheet's
        const char* error;
    };
    // clang-format off
    const std::vector<Row> rows{
        {"UTF-8 with a mark", "\xef\xbb\xbfTITLE \"\xc3\x89t\xc3\xa9\"\n" + body, {0, 4870}, "Été", "", ""},
        {"UTF-8", "PERFORMER \"\xe6\x9d\xb1\xe4\xba\xac\"\n" + body, {0, 4870}, "", "東京", ""},
        {"CP1252", "PERFORMER \"\x80\x8a\x96\x9f\xe9\"\n" + body, {0, 4870}, "", "€Š–Ÿé", ""},
        {"UTF-16 with a mark", QByteArray("\xff\xfe", 2) + utf16, {0}, "x", "", ""},
        {"CRLF, lower case, no quotes", "file My Disc.wav wave\r\ntrack 01 audio\r\ntitle One Two\r\n"
                                        "index 01 00:00:00\r\n", {0}, "One Two", "", ""},
        {"a quote in a title, unknown commands", "CATALOG 1\nFILE a.wav WAVE\nTRACK 01 AUDIO\n"
         "TITLE \"Say \"hi\"\"\nFLAGS DCP\nISRC X\nFOO bar\nINDEX 01 00:00:00\n", {0}, "Say \"hi\"", "", ""},
        {"a data track passed over", "FILE a.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n"
         "FILE b.wav WAVE\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n", {0}, "", "", ""},
        {"gaps appended: INDEX 01 after the next FILE", "FILE 1.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 "
         "00:00:00\nTRACK 02 AUDIO\nINDEX 00 03:20:00\nFILE 2.wav WAVE\nINDEX 01 00:00:00\nTRACK 03 AUDIO"
         "\nINDEX 01 04:00:00\n", {0, 0, 18000}, "", "", ""},
        {"past 99 minutes", "FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\n"
         "INDEX 01 108:48:69\n", {0, 489669}, "", "", ""},
        {"no INDEX 01", "FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 00 00:00:00\n", {}, "", "",
         "track 1 has no INDEX 01"},
        {"no time", "FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:61:00\n", {}, "", "",
         "track 1: \"00:61:00\" is no time (mm:ss:ff)"},
        {"out of order", "FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:05:00\nTRACK 02 AUDIO\n"
         "INDEX 01 00:04:00\n", {}, "", "", "track 2 starts before the end of track 1"},
        {"no tracks", "TITLE x\n", {}, "", "", "it lists no audio tracks"},
        {"a track before its file", "TRACK 01 AUDIO\nINDEX 01 00:00:00\n", {}, "", "",
         "track 1 comes before any FILE"},
        {"a FILE without a name", "FILE E\nTRACK 1 AUDIO\nFILE\nINDEX 1 0:6:4", {}, "", "",
         "a FILE line names no file"},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const CueSheet sheet = ParseCueSheet(row.sheet);
        EXPECT_EQ(sheet.error, QString::fromUtf8(row.error));
        std::vector<qint64> starts;
        for (const CueTrack& track : sheet.tracks)
            starts.push_back(track.index01);
        EXPECT_EQ(starts, row.starts);
        if (sheet.tracks.empty())
            continue;
        EXPECT_EQ(sheet.tracks[0].title.isEmpty() ? sheet.title : sheet.tracks[0].title, row.title);
        EXPECT_EQ(sheet.performer, row.performer);
    }
    EXPECT_EQ(ParseCueSheet(rows[7].sheet).tracks.at(1).file, u"2.wav"_s); // INDEX 01 after FILE
}

TEST(Naming, PatternsNameOutputsFromTags) {
    const NamingTags full{"Artist", "Various", "Album", "Song", "3", "1", "1999-05-01", "Jazz"};
    // clang-format off
    const std::vector<std::tuple<const char*, QString, NamingTags, QString>> rows{
        {"every field", "{albumartist}/{album}/{disc}-{track:02} {title} ({year}, {genre})", full,
         "Various/Album/1-03 Song (1999, Jazz)"},
        {"no album artist, no title, no album", "{albumartist}/{album}/{title}",
         {"Artist", "", "", "", "", "", "", ""}, "Artist/Unknown/01 Intro"},
        {"nothing at all", "{artist} - {track:02} {title}", {}, "Unknown - Unknown 01 Intro"},
        {"a slash and a leading dot in tags", "{artist}/{title}",
         {"AC/DC", "", "", ".hidden", "", "", "", ""}, "AC_DC/_hidden"},
        {"the source's folder and stem", "{folder}/{stem}", {}, "Rock/Live/01 Intro"},
        {"a part that is only blanks", "{artist}/ \t/{title}", full, "Artist/Song"},
        {"a title too long for a name", "{title}", {"", "", "", QString(300, u'x'), "", "", "", ""},
         QString(255, u'x')},
    };
    // clang-format on
    for (const auto& [what, pattern, tags, expected] : rows) {
        SCOPED_TRACE(what);
        EXPECT_EQ(PatternProblem(pattern), QString());
        EXPECT_EQ(PatternPath(pattern, tags, u"/m/Rock/Live/01 Intro.flac"_s, u"Rock/Live"_s),
                  expected);
    }
}

// Batch sources: an unreadable folder fails the run (even for root), leftovers are passed over.
TEST(Batch, SourcesAreWhatTheSystemNamesAndWhatCannotBeReadFails) {
    QTemporaryDir dir;
    const auto at = [&dir](const char* name) { return dir.filePath(QString::fromUtf8(name)); };
    ASSERT_TRUE(MakeTone(at("a.wav"), 0.1, 8000, 1));
    for (const char* folder : {"lib/locked", "real/in"})
        ASSERT_TRUE(QDir().mkpath(at(folder)));
    for (const char* copy : {"lib/a.wav", "lib/.b.wav.velune-9-1.part", "real/a.wav"})
        ASSERT_TRUE(QFile::copy(at("a.wav"), at(copy)));
    ASSERT_TRUE(QFile::link(at("real/in"), at("link")));
    ::chmod(SystemName(dir.path()).constData(), 0755);
    ::chmod(SystemName(at("lib/locked")).constData(), 0);
    ScriptedEngine engine;
    engine.finished = true;
    engine.states = QList<State>(4, State::Converted);
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* err = ::open_memstream(&text, &size);
    const bool root = ::geteuid() == 0;
    ASSERT_TRUE(!root || ::seteuid(65534) == 0); // root reads any folder
    BatchOptions options;
    options.format = u"wav"_s;
    options.files = {at("lib"), at("lib/.b.wav.velune-9-1.part"), at("link/../a.wav")};
    const int status = RunBatch(options, engine, {std::tmpfile(), err, false});
    ASSERT_TRUE(!root || ::seteuid(0) == 0);
    std::fclose(err);
    ::chmod(SystemName(at("lib/locked")).constData(), 0755);
    EXPECT_EQ(status, 1);
    QStringList sources;
    for (const QString& job : engine.jobs)
        sources << job.section(u" > "_s, 0, 0);
    EXPECT_EQ(sources, (QStringList{at("lib/a.wav"), at("real/a.wav")}));
    EXPECT_TRUE(QString::fromUtf8(text, static_cast<qsizetype>(size))
                    .contains(u"locked: Permission denied"_s))
        << text;
    std::free(text);
}

// The window's scene, and the conversion window shown and unloaded as the real one is.
class MainWindow : public ::testing::Test, protected Around, protected ConversionDialog {
protected:
    void ShowModal() override { Note(u"show"_s, true); }
    void Unload() override { Note(u"unload"_s, false); }
    void Note(const QString& call, bool open) {
        form.calls << call;
        mod.conversionWindowOpen = open;
    }

    QString Audio(const QString& name, const QByteArray& bytes = "RIFF....WAVE") {
        EXPECT_TRUE(WriteFile(dir.filePath(name), bytes));
        return dir.filePath(name);
    }
    void Loaded() {
        ASSERT_TRUE(frm.Start());
        face.writes.clear();
        form.calls.clear();
    }
    void Cmd(const QString& command, const QString& args = u"undefined"_s) {
        frm.OnFaceCommand(command, args);
    }
    void Add(const QStringList& paths) {
        dialog.Choose(paths);
        Cmd("IDC_FS_Add");
    }

    QTemporaryDir dir;
    ConverterSettings mod;
    ConverterWindow frm{
        mod,
        {face, form, messages, dialog, folders, shell, lock, *this, background, u"/opt/velune"_s}};
};

TEST_F(MainWindow, StartsAloneWithItsFaceThenAnswersCommandsByTheirExactNames) {
    lock.free = false;
    EXPECT_FALSE(frm.Start());
    lock.free = true;
    face.loads = false;
    EXPECT_FALSE(frm.Start());
    EXPECT_EQ(messages.shown.value(0), u"The program already opening"_s);
    EXPECT_TRUE(messages.shown.value(1).contains("/opt/velune/VeluneC.qml"));
    face.loads = true;
    ASSERT_TRUE(frm.Start());
    EXPECT_EQ(face.loaded, std::vector<QString>(2, u"/opt/velune/VeluneC.qml"_s));
    EXPECT_EQ(form.calls, (QStringList{"geometry", "filter"}));
    // The formats, the version, then the naming patterns offered, each before its trigger.
    const QStringList names{"FillCombo", "SetCombo", "VersionNo", "FillPatterns", "SetPatterns"};
    for (qsizetype i = 0; i < names.size(); ++i)
        EXPECT_TRUE(face.writes.value(i).startsWith(u"_root."_s + names[i] + u'=')) << i;

    form.calls.clear();
    for (const char* command : {"IDC_FS_Minimize", "IDC_FS_Drag", "idc_fs_close", "IDC_FS_Close ",
                                "IDC_FS_Help", "IDC_FS_Player", "IDC_FS_Close"})
        Cmd(QString::fromLatin1(command));
    EXPECT_EQ(form.calls, (QStringList{"minimize", "drag", "end"}));
    EXPECT_EQ(shell.opened + shell.started,
              (QStringList{"/opt/velune/VeluneC.html", "/opt/velune/VelunePlayer"}));
}

// Rows join once each, bad files refused by name, removals exact; a run lifts the filter.
TEST_F(MainWindow, TheListTakesReadableFilesOnceAndLosesOnlyTheRowsAskedFor) {
    Loaded();
    for (const char* command : {"IDC_FS_Remove", "IDC_FS_RemoveAll", "IDC_FS_Convert"})
        Cmd(QLatin1String(command)); // an empty list: no message, question or run
    Cmd("IDC_FS_Add");               // the dialog cancelled: nothing
    const QString a = Audio("a.wav");
    const QString b = Audio("b b.mp3");
    const QString c = Audio("Ç'est.ogg");
    const QString empty = Audio("empty.wav", {});
    const QString missing = dir.filePath("gone.wav");
    const QString folder = dir.filePath("folder.wav");
    QDir().mkpath(folder);
    Add({a});
    face.writes.clear();
    Add({b, a, empty, missing, folder, c});
    const QString unreadable = u"' does not exist or cannot be read, therefore the list will "
                               "not contain it."_s;
    EXPECT_EQ(
        messages.shown,
        (QStringList{"File:'" + empty + "' has zero byte therefor the list will not contain it.",
                     "File:'" + missing + unreadable, "File:'" + folder + unreadable,
                     "File:" + a + "already exist in your list"}));
    EXPECT_EQ(frm.Files(), (QStringList{a, b, c}));
    EXPECT_EQ(face.writes,
              (QStringList{"_root.AddedFiles=" + b + u'|' + c, "_root.SetAddedFiles=1"}));

    face.writes.clear();
    messages.shown.clear();
    for (const QString& bad : {u"3"_s, u"-1"_s, u"1.5"_s, u"x"_s, QString(), u"70000"_s})
        Cmd("IDC_FS_Remove", bad);
    Cmd("IDC_FS_Remove");
    EXPECT_EQ(messages.shown, QStringList{"Please Select File to remove"});
    Cmd("IDC_FS_Remove", u"1"_s);
    EXPECT_EQ(frm.Files(), (QStringList{a, c}));
    messages.answers = {false, true};
    Cmd("IDC_FS_RemoveAll");
    Cmd("IDC_FS_RemoveAll");
    EXPECT_EQ(messages.asked, (QStringList{"Are You Sure?", "Are You Sure?"}));
    EXPECT_EQ(face.writes, QStringList{"_root.RemoveAll=1"});
    Add({a}); // the same file may be added again afterwards
    EXPECT_EQ(frm.Files(), QStringList{a});

    frm.Activated();
    Cmd("IDC_FS_Convert");
    frm.Activated();
    frm.Activated();
    EXPECT_EQ(form.calls, (QStringList{"unfilter", "show", "unload", "filter"}));
}

// Files, folders and sheets listed once as what they stand for; an unusable sheet is told.
TEST_F(MainWindow, FilesFoldersAndSheetsAreListedOnceAsWhatTheyStandFor) {
    Loaded();
    const QString tone = dir.filePath("tone.flac");
    ASSERT_TRUE(MakeTone(dir.filePath("plain.flac"), 1.0, 44100, 2) &&
                Tagged(dir.filePath("plain.flac"), tone, {"album=Rip"}));
    const QByteArray two = "PERFORMER Ana\nFILE Disc.wav WAVE\nTRACK 01 AUDIO\nTITLE One\n"
                           "INDEX 01 00:00:00\nTRACK 02 AUDIO\nTITLE Two\nINDEX 01 00:00:40\n";
    struct Row {
        const char* what;
        std::vector<std::pair<QString, QByteArray>> files; // "" the tone, "tone:" + its sheet
        std::vector<QStringList> adds;                     // each one drop; "." the folder
        QString listed; // the rows ("file", "file@sub", "file#track[start-end]") · header line
        QString told;   // in the messages; "" for no message
    };
    // clang-format off
    const std::vector<Row> rows{
        {"a library, added twice", {{"B/10 x.wav", ""}, {"B/2 y.wav", ""}, {"1.wav", ""}, {"A/z.ogg", ""},
         {"A/notes.txt", "not audio"}}, {{"."}, {"."}}, "1.wav A/z.ogg@A B/2 y.wav@B B/10 x.wav@B · "
         "1 skipped: not audio", "These files already exist in your list:\n"},
        {"an album with its cover: counted on the header line, no box", {{"1.flac", ""}, {"2.flac", ""},
         {"3.flac", ""}, {"cover.jpg", "\xff\xd8\xff\xe0"}}, {{"."}}, "1.flac 2.flac 3.flac · 1 skipped: "
         "not audio", ""},
        {"a folder that cannot be read is told", {{"A/1.flac", ""}, {"B/", "locked"}}, {{"."}},
         "A/1.flac@A", "1 files added, 0 skipped: not audio\n\nCannot be read:\n%1/B: Permission denied"},
        {"a sheet whose FILE is not there keeps its image", {{"Disc.flac", ""}, {"Disc.cue",
         "FILE Other.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"}}, {{"Disc.flac"}, {"."}}, "",
         "'%1/Disc.flac' is not converted whole, for its cue sheet cannot be used: The audio of the cue "
         "sheet '%1/Disc.cue' is missing: 'Other.wav'"},
        {"a sheet inside an image naming two files", {{"Image.flac", "tone:FILE a.wav WAVE\nTRACK 01 "
         "AUDIO\nINDEX 01 00:00:00\nFILE b.wav WAVE\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n"}},
         {{"."}}, "", "The cue sheet in '%1/Image.flac' cannot be used: it names several files"},
        {"sheet and image in one add", {{"Disc.flac", ""}, {"Disc.cue", two}},
         {{"Disc.cue", "Disc.flac"}}, "Disc.flac#1[0-40] Disc.flac#2[40--1]", ""},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        QTemporaryDir rip;
        const auto at = [&rip](const QString& name) { return rip.path() + u'/' + name; };
        ::chmod(SystemName(rip.path()).constData(), 0755);
        for (const auto& [name, content] : row.files) {
            QDir().mkpath(QFileInfo(at(name)).absolutePath());
            if (name.endsWith(u'/')) // a folder this process may not read
                ASSERT_EQ(::chmod(SystemName(at(name)).constData(), 0), 0);
            else
                ASSERT_TRUE(content.isEmpty() ? QFile::copy(tone, at(name))
                            : content.startsWith("tone:")
                                ? Tagged(tone, at(name), {"CUESHEET=" + content.mid(5)})
                                : WriteFile(at(name), content));
        }
        messages.answers = {true};
        Cmd("IDC_FS_RemoveAll");
        messages.shown.clear();
        const bool root = ::geteuid() == 0;
        ASSERT_TRUE(!root || ::seteuid(65534) == 0); // root reads any folder
        for (const QStringList& add : row.adds) {
            QStringList paths;
            for (const QString& name : add)
                paths << (name == "." ? rip.path() : at(name));
            frm.AddPaths(paths);
        }
        ASSERT_TRUE(!root || ::seteuid(0) == 0);
        QStringList listed = frm.Files();
        for (qsizetype i = 0; i < listed.size(); ++i) {
            const auto& track = frm.Tracks()[static_cast<std::size_t>(i)];
            listed[i].remove(0, rip.path().size() + 1);
            if (!frm.Subfolders()[i].isEmpty())
                listed[i] += u'@' + frm.Subfolders()[i];
            if (track)
                listed[i] +=
                    u"#%1[%2-%3]"_s.arg(track->number).arg(track->startFrame).arg(track->endFrame);
        }
        const QString status = face.store.value(u"_root.ListStatus"_s);
        EXPECT_EQ(listed.join(u' ') + (status.isEmpty() ? QString() : u" · "_s + status),
                  row.listed);
        EXPECT_EQ(messages.shown.isEmpty(), row.told.isEmpty());
        EXPECT_TRUE(messages.shown.join(u'\n').contains(row.told.arg(rip.path())))
            << messages.shown.join(u'\n').toStdString();
    }
    // A track's row removed takes its track along; the image's tags go with its tracks.
    Cmd("IDC_FS_Remove", u"0"_s);
    ASSERT_EQ(frm.Tracks().size(), 1u);
    EXPECT_EQ(frm.Tracks()[0]->number, 2);
    EXPECT_EQ(std::ranges::count(frm.Tracks()[0]->tags.text,
                                 std::pair{u"ALBUM"_s, QStringList{u"Rip"_s}}),
              1);
}

// Qualities follow the format, kept per format; every choice comes back at the next start.
TEST_F(MainWindow, ChoicesFollowTheFormatAndAreRemembered) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    Loaded();
    // command, argument, what the face is told, what the engine is given
    // clang-format off
    const std::vector<std::tuple<QString, QString, QString, Quality>> steps{
        {"IDC_FS_ConvertTo", "mp3", "128|192|256|320|v0|v2|v4 / 192", {Quality::Kind::BitRate, 192}},
        {"IDC_FS_Quality", "V2", "128|192|256|320|v0|v2|v4 / 192", {Quality::Kind::Vbr, 2}},
        {"IDC_FS_Quality", "160", "128|192|256|320|v0|v2|v4 / 192", {Quality::Kind::Vbr, 2}},
        {"IDC_FS_ConvertTo", "flac", " / ", {}},
        {"IDC_FS_ConvertTo", "ogg", "q3|q4|q5|q6|q7|q8 / q5", {Quality::Kind::Level, 5}},
        {"IDC_FS_Quality", "q8", "q3|q4|q5|q6|q7|q8 / q5", {Quality::Kind::Level, 8}},
        {"IDC_FS_ConvertTo", "m4a", "128|192|256 / 192", {Quality::Kind::BitRate, 192}},
        {"IDC_FS_Quality", "256", "128|192|256 / 192", {Quality::Kind::BitRate, 256}},
        {"IDC_FS_ConvertTo", "alac", " / ", {}},
        {"IDC_FS_ConvertTo", "mp3", "128|192|256|320|v0|v2|v4 / v2", {Quality::Kind::Vbr, 2}},
        {"IDC_FS_ConvertTo", "aac", "128|192|256|320|v0|v2|v4 / v2", {Quality::Kind::Vbr, 2}},
    };
    // clang-format on
    for (const auto& [command, argument, told, quality] : steps) {
        SCOPED_TRACE(command.toStdString() + " " + argument.toStdString());
        Cmd(command, argument);
        EXPECT_EQ(face.store.value("_root.FillQuality") + " / " +
                      face.store.value("_root.QualityValue"),
                  told);
        EXPECT_EQ(mod.quality, quality);
    }
    // A pattern with a field that is none is refused; the face shows the one in force.
    Cmd("IDC_FS_Pattern", u"{artist} - {title}"_s);
    Cmd("IDC_FS_Pattern", u"{artist}/{nope}"_s);
    EXPECT_EQ(messages.shown.back().left(52),
              u"The naming pattern cannot be used: no field {nope}; "_s);
    EXPECT_EQ(face.store.value("_root.Pattern"), u"{artist} - {title}"_s);
    Cmd("IDC_FS_Selected");
    EXPECT_TRUE(mod.deleteSources);
    Cmd("IDC_FS_UnSelected");
    EXPECT_FALSE(mod.deleteSources);
    // The output's shape: names it knows change it, others leave it.
    // clang-format off
    for (const auto& [command, argument] : {std::pair{"IDC_FS_Rate", u"48000"_s}, {"IDC_FS_Channels",
             u"mono"_s}, {"IDC_FS_Bits", u"24"_s}, {"IDC_FS_Bits", u"32"_s}, {"IDC_FS_Rate", u"22050"_s},
             {"IDC_FS_CopySame", u"on"_s}, {"IDC_FS_KeepTimes", u"on"_s}, {"IDC_FS_PreventClipping",
             u"on"_s}, {"IDC_FS_ReplayGain", u"on"_s}, {"IDC_FS_SkipExisting", u"on"_s}, {"IDC_FS_Id3v23",
             u"on"_s}})
        Cmd(QLatin1String(command), argument);
    // clang-format on
    const OutputOptions chosen{{48000, 1, 24}, true, true, false, true, false, true};
    // Folders whose names are not UTF-8 are remembered as their bytes.
    const QString latin1 = PathFromSystem(SystemName(dir.path()) + "/caf\xe9");
    ASSERT_TRUE(MakeFolders(latin1));
    folders.answer = latin1;
    Cmd("IDC_FS_Browse");
    Cmd("IDC_FS_AddFolder");
    SaveConverterChoices(frm.Remember());

    RecordingFace face2;
    ConverterSettings mod2;
    ConverterWindow again(mod2, ConverterWindow::Parts{face2, form, messages, dialog, folders,
                                                       shell, lock, *this, background, u"/opt"_s});
    ASSERT_TRUE(again.Start());
    again.Restore(LoadConverterChoices());
    EXPECT_EQ(
        std::tie(mod2.targetName, mod2.quality, mod2.replayGain, mod2.output, mod2.pattern,
                 mod2.skipExisting),
        std::make_tuple(u"mp3"_s, Quality{Quality::Kind::Vbr, 2}, true, chosen, mod.pattern, true));
    EXPECT_EQ(face2.store.value("_root.QualityValue") + face2.store.value("_root.Id3v23") +
                  face2.store.value("_root.BrowsePath"),
              u"v2"_s + u"1"_s + Readable(latin1));
    folders.answer.clear();
    again.OnFaceCommand(u"IDC_FS_AddFolder"_s, u"undefined"_s);
    EXPECT_EQ(folders.startPaths.back(), latin1);
    std::filesystem::remove(SystemPath(latin1));
    qunsetenv("XDG_CONFIG_HOME");
}

class QtConversionDialog : public ::testing::Test, protected Around {
protected:
    QtConversionDialog() { mod.targetName = u"wav"_s; }

    QString File(const QString& name) {
        EXPECT_TRUE(WriteFile(dir.filePath(name), "data"));
        return dir.filePath(name);
    }
    void Load() {
        frm = std::make_unique<ConversionWindow>(
            mod, ConversionWindow::Parts{face, form, messages, engine, timer, list, subfolders,
                                         tracks, out, background, u"/opt/velune"_s});
        EXPECT_TRUE(frm->Start());
    }

    QTemporaryDir dir;
    ConverterSettings mod;
    ScriptedEngine engine;
    QStringList list, subfolders; // none: every row added on its own, and no sheet tracks
    std::vector<std::optional<SheetTrack>> tracks;
    QString out;
    std::unique_ptr<ConversionWindow> frm;
};

// Existing rows queued under unused names; a tick shows the lowest unfinished row and its share.
TEST_F(QtConversionDialog, LoadQueuesExistingFilesAndATickShowsTheCurrentRow) {
    const QString a = File("a.mp3");
    const QString c = File("c.ogg");
    File("Song.mp3"); // "Song.mp3 " is handed to the engine as it is, never as this one
    const QString song = File("Song.mp3 ");
    list = {a, dir.filePath("b.wav"), c, song};
    mod.targetName = u"mp3"_s;
    mod.output = {{44100, 2, 0}, true, false};
    Load();
    EXPECT_EQ(messages.shown, QStringList{"Input file dosen't exist"});
    EXPECT_EQ(engine.calls, (QStringList{"clear", "add", "add", "add", "start"}));
    const QString to = u" > "_s + dir.path() + u'/';
    EXPECT_EQ(engine.jobs, (QStringList{a + to + "a 1.mp3 mp3", c + to + "c.mp3 mp3",
                                        song + to + "Song 1.mp3 mp3"}));
    EXPECT_EQ(engine.options, mod.output);
    EXPECT_TRUE(timer.enabled && mod.conversionWindowOpen);

    face.writes.clear();
    frm->Tick(); // nothing current yet: nothing to show
    EXPECT_TRUE(face.writes.isEmpty());
    engine.index = 1;
    engine.time = 0; // position and time reading equal do not end a run
    using Step = std::pair<std::optional<float>, QString>;
    for (const auto& [position, shown] :
         {Step{0.29f, u"28"_s}, Step{0.999f, u"99"_s}, Step{std::nullopt, u"0"_s}}) {
        engine.position = position;
        frm->Tick();
        EXPECT_EQ(face.store.value("_root.FileTxt"), c);
        EXPECT_EQ(face.store.value("_root.ProgressValue"), shown);
        EXPECT_EQ(face.writes.last(), u"_root.ArrowPlay=1"_s);
    }
}

// Rows keep their subfolder; only wholly converted, unchanged, writable sources go, no image.
TEST_F(QtConversionDialog, RowsKeepTheirSubfolderAndOnlyWhollyConvertedSourcesGo) {
    const QString image = File("Disc.flac");
    const SheetTrack one{dir.filePath("Disc.cue"), image, 1, 2, 0, 40, {}, u"01 One"_s, u"One"_s};
    const SheetTrack two{dir.filePath("Disc.cue"), image, 2, 2, 40, -1, {}, u"02 Two"_s, u"Two"_s};
    list = {File("done.wav"),
            File("read-only.wav"),
            File("replaced.wav"),
            File("unread.wav"),
            image,
            image};
    subfolders = {QString(), u"Artist/Album"_s};
    tracks = {std::nullopt, std::nullopt, std::nullopt, std::nullopt, one, two};
    out = dir.filePath("out");
    mod.deleteSources = true;
    engine.states = QList<State>(6, State::Converted);
    engine.unverified = {3}; // its output not read back whole
    Load();
    const QString to = u" > "_s + out + u'/';
    EXPECT_EQ(engine.jobs[1], list[1] + to + "Artist/Album/read-only.wav");
    EXPECT_EQ(engine.jobs.mid(4),
              (QStringList{image + to + "01 One.wav [0-40]", image + to + "02 Two.wav [40--1]"}));
    for (const char* output :
         {"done", "Artist/Album/read-only", "replaced", "unread", "01 One", "02 Two"})
        File(u"out/"_s + QLatin1String(output) + u".wav"_s);
    QFile::setPermissions(list[1], QFile::ReadOwner);
    QFile::remove(list[2]);
    WriteFile(list[2], "another recording");
    engine.finished = true;
    frm->Tick();
    frm->Unload();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(QFile::exists(list[i]), i != 0) << list[i].toStdString();
}

// Nothing queued completes at once; a failure to start and every command but a drag close.
TEST_F(QtConversionDialog, NothingQueuedCompletesAndAFailureOrEveryCommandButDragCloses) {
    list = {dir.filePath("gone.wav")};
    engine.finished = true;
    Load();
    EXPECT_EQ(face.writes.mid(2, 3),
              (QStringList{"_root.FileTxt=Conversion complete", "_root.SetFileTxt=1",
                           "_root.ProgressValue=100"}));
    EXPECT_TRUE(face.store.value("_root.ShowOkbtn") == "1" && !timer.enabled);

    list = {File("a.wav")};
    engine.finished = false;
    engine.failing = u"start"_s;
    Load();
    EXPECT_EQ(messages.shown, (QStringList{"Input file dosen't exist",
                                           "The conversion could not be started: engine broke"}));
    EXPECT_TRUE(frm->Closed() && !timer.enabled);
    frm->Unload();
    EXPECT_FALSE(mod.conversionWindowOpen);

    engine.failing.clear();
    Load();
    frm->OnFaceCommand(u"IDC_FS_Drag"_s, u"undefined"_s);
    EXPECT_FALSE(frm->Closed());
    frm->OnFaceCommand(u"IDC_FS_Close"_s, u"undefined"_s);
    EXPECT_EQ(engine.calls.mid(engine.calls.size() - 2), (QStringList{"cancel", "clear"}));
    EXPECT_EQ(form.calls.mid(form.calls.size() - 2), (QStringList{"unfilter", "hide"}));
    EXPECT_TRUE(frm->Closed() && !timer.enabled);
}

} // namespace
