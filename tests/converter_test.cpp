// The converter's window logic with scripted parts and real files: output names that
// take an existing or given name, refused or doubled rows, writes to a face out of
// order, a second copy let in, jobs queued wrong, completion reported early, sources
// deleted that were not safely converted.
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
#include <functional>
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
        {"into the chosen folder", "M/Song.mp3", "Out", "wav", "Out/Song.wav", {}},
        {"beside the source", "M/Song.mp3", "", "ogg", "M/Song.ogg", {}},
        {"folder given with its /", "M/Song.mp3", "Out/", "ogg", "Out/Song.ogg", {}},
        {"numbers after existing files", "M/Song.mp3", "Out", "wav", "Out/Song 2.wav",
         {"Out/Song.wav", "Out/Song 1.wav"}},
        {"a folder counts as taken", "M/Song.mp3", "Out", "ogg", "Out/Song 1.ogg", {"Out/Song.ogg/"}},
        {"names given earlier", "C/Song.ogg", "Out", "wav", "Out/Song 2.wav",
         {"+Out/Song.wav", "+Out/Song 1.wav"}},
        {"no extension", "ab", "Out", "wav", "Out/ab.wav", {}},
        {"dots in the stem", "x.y.mp3", "Out", "ogg", "Out/x.y.ogg", {}},
        {"a dot in the folder only", "My.Dir/track", "Out", "ogg", "Out/track.ogg", {}},
        {"apostrophes leave the name", "Bob's/Rock 'n' Roll.mp3", "", "wav", "Bob's/Rock n Roll.wav", {}},
        {"taken is tested on the final name", "Bob's/Rock 'n' Roll.mp3", "Bob's", "ogg",
         "Bob's/Rock n Roll 1.ogg", {"Bob's/Rock n Roll.ogg", "Bob's/Rock 'n' Roll 1.ogg"}},
        {"non-ASCII kept", "M/Été à Zürich — 東京.ogg", "Sortie é", "mp3",
         "Sortie é/Été à Zürich — 東京 1.mp3", {"Sortie é/Été à Zürich — 東京.mp3"}},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        QTemporaryDir dir;
        QSet<QString> given;
        QStringList made = row.taken + QStringList{row.source};
        if (!row.folder.isEmpty())
            made << row.folder + u'/';
        for (const QString& path : made) {
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
    // The root folder already ends with its "/".
    QSet<QString> given;
    EXPECT_EQ(OutputPath(u"/nowhere/Velune-test-song.mp3"_s, u"/"_s, u"wav"_s, given),
              u"/Velune-test-song.wav"_s);
    // A format name that the converter does not know as written keeps the last one.
    ConverterSettings mod;
    for (const char* format : {"ogg", "WAV", "aac"}) {
        mod.targetName = QString::fromLatin1(format);
        mod.SetTarget();
    }
    EXPECT_EQ(mod.format, TargetFormat::Ogg);
}

// Names from tags: fields, fallbacks for missing tags, characters that cannot stand
// in a name, each part cut to a name's limit, and patterns that name no field.
// Sheets as rippers write them, and broken ones: each gives its tracks (their
// starts in CD frames, the first track's title and performer) or a reason.
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
        {"UTF-8 with a mark", "\xef\xbb\xbfTITLE \"\xc3\x89t\xc3\xa9\"\n" + body, {0, 4870}, "", "", ""},
        {"UTF-8", "PERFORMER \"\xe6\x9d\xb1\xe4\xba\xac\"\n" + body, {0, 4870}, "", "東京", ""},
        {"Latin-1", "PERFORMER \"Caf\xe9\"\n" + body, {0, 4870}, "", "Café", ""},
        {"CP1252 quotes", "PERFORMER \"\x93Hi\x94\"\n" + body, {0, 4870}, "", "“Hi”", ""},
        {"CP1252 0x80-0x9F", "PERFORMER \"\x80\x8a\x96\x9f\"\n" + body, {0, 4870}, "", "€Š–Ÿ", ""},
        {"UTF-16 with a mark", QByteArray("\xff\xfe", 2) + utf16, {0}, "", "", ""},
        {"CRLF, lower case, no quotes", "file My Disc.wav wave\r\ntrack 01 audio\r\ntitle One Two\r\n"
                                        "index 01 00:00:00\r\n", {0}, "One Two", "", ""},
        {"a quote in a title, unknown commands", "CATALOG 1\nFILE a.wav WAVE\nTRACK 01 AUDIO\n"
         "TITLE \"Say \"hi\"\"\nFLAGS DCP\nISRC X\nFOO bar\nINDEX 01 00:00:00\n", {0}, "Say \"hi\"", "", ""},
        {"a data track passed over", "FILE a.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n"
         "FILE b.wav WAVE\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n", {0}, "", "", ""},
        {"several files", "FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nFILE b.wav WAVE\n"
         "TRACK 02 AUDIO\nINDEX 01 00:00:00\n", {0, 0}, "", "", ""},
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
        {"binary", QByteArray("\x00\x01\x02", 3), {}, "", "", "it lists no audio tracks"},
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
        EXPECT_EQ(sheet.tracks[0].title.isEmpty() ? sheet.title : sheet.tracks[0].title,
                  row.title.isEmpty() && !sheet.title.isEmpty() ? sheet.title : row.title);
        EXPECT_EQ(sheet.performer, row.performer);
    }
    EXPECT_EQ(ParseCueSheet(rows[0].sheet).title, u"Été"_s);
    EXPECT_EQ(ParseCueSheet(rows[0].sheet).tracks[1].index00, 4653);
    const std::vector<CueTrack> gaps = ParseCueSheet(rows[10].sheet).tracks;
    EXPECT_TRUE(gaps.size() == 3 && gaps[1].file == u"2.wav"_s); // INDEX 01 in the next FILE
}

TEST(Naming, PatternsNameOutputsFromTags) {
    const NamingTags full{"Artist", "Various", "Album", "Song", "3", "1", "1999-05-01", "Jazz"};
    const QString title300 = QString(300, u'x');
    const std::vector<std::tuple<const char*, QString, NamingTags, QString>> rows{
        {"every field", "{albumartist}/{album}/{disc}-{track:02} {title} ({year}, {genre})", full,
         "Various/Album/1-03 Song (1999, Jazz)"},
        {"no album artist, no title, no album",
         "{albumartist}/{album}/{title}",
         {"Artist", "", "", "", "", "", "", ""},
         "Artist/Unknown/01 Intro"},
        {"nothing at all", "{artist} - {track:02} {title}", {}, "Unknown - Unknown 01 Intro"},
        {"a slash and a leading dot in tags",
         "{artist}/{title}",
         {"AC/DC", "", "", ".hidden", "", "", "", ""},
         "AC_DC/_hidden"},
        {"the source's folder and stem", "{folder}/{stem}", {}, "Rock/Live/01 Intro"},
        {"a part that is only blanks", "{artist}/ \t/{title}", full, "Artist/Song"},
        {"a title too long for a name",
         "{title}",
         {"", "", "", title300, "", "", "", ""},
         QString(255, u'x')},
    };
    for (const auto& [what, pattern, tags, expected] : rows) {
        EXPECT_EQ(PatternProblem(pattern), QString()) << what;
        EXPECT_EQ(PatternPath(pattern, tags, u"/m/Rock/Live/01 Intro.flac"_s, u"Rock/Live"_s),
                  expected)
            << what;
    }
    EXPECT_EQ(PatternProblem(u"{artist}/{nope}"_s),
              u"no field {nope}; the fields are {artist}, {albumartist}, {album}, {title}, "
              "{track}, {disc}, {year}, {genre}, {stem}, {folder}"_s);
    EXPECT_EQ(PatternProblem(u" "_s), u"the pattern is empty"_s);
    // A pattern of blanks only: the source's name, within a name's limit too.
    EXPECT_EQ(PatternPath(u" / "_s, {}, u"/m/"_s + QString(300, u'y') + u".flac"_s, {}),
              QString(255, u'y'));
    EXPECT_EQ(PatternPath(u" / "_s, {}, u"/m/ .flac"_s, {}), u"Unknown"_s);
    // The result is numbered like any other name.
    QTemporaryDir dir;
    QSet<QString> given;
    ASSERT_TRUE(QDir().mkpath(dir.filePath("A")) && WriteFile(dir.filePath("A/Song.mp3")));
    EXPECT_EQ(PatternOutputPath(dir.path(), u"A/Song"_s, u"mp3"_s, given),
              dir.filePath("A/Song 1.mp3"));
    EXPECT_EQ(PlainPatternOutputPath(dir.path(), u"A/Song"_s, u"mp3"_s),
              dir.filePath("A/Song.mp3"));
}

// Batch mode's sources with a scripted engine: what cannot be read fails the run
// (as root too: read as nobody), our own leftovers are passed over, and a path is
// what the system makes of it.
TEST(Batch, SourcesAreWhatTheSystemNamesAndWhatCannotBeReadFails) {
    QTemporaryDir dir;
    const auto at = [&dir](const char* name) { return dir.filePath(QString::fromUtf8(name)); };
    ASSERT_TRUE(MakeTone(at("a.wav"), 0.1, 8000, 1));
    for (const char* folder : {"lib/locked", "real/in"})
        ASSERT_TRUE(QDir().mkpath(at(folder)));
    for (const char* copy : {"lib/a.wav", "lib/.b.wav.velune-9-1.part", "real/a.wav"})
        ASSERT_TRUE(QFile::copy(at("a.wav"), at(copy)));
    ASSERT_TRUE(QFile::link(at("real/in"), at("link")));
    struct Row {
        const char* what;
        QStringList files;
        int status;
        QStringList jobs; // the sources handed to the engine
        const char* told; // in the errors
    };
    const std::vector<Row> rows{
        {"an unreadable folder", {at("lib")}, 1, {at("lib/a.wav")}, "locked: Permission denied"},
        {"a leftover named", {at("lib/.b.wav.velune-9-1.part"), at("a.wav")}, 0, {at("a.wav")}, ""},
        {"link/..", {at("link/../a.wav")}, 0, {at("real/a.wav")}, ""},
    };
    ::chmod(SystemName(dir.path()).constData(), 0755);
    ::chmod(SystemName(at("lib/locked")).constData(), 0);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
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
        options.files = row.files;
        const int status = RunBatch(options, engine, {std::tmpfile(), err, false});
        ASSERT_TRUE(!root || ::seteuid(0) == 0);
        std::fclose(err);
        EXPECT_EQ(status, row.status);
        QStringList sources;
        for (const QString& job : engine.jobs)
            sources << job.section(u" > "_s, 0, 0);
        EXPECT_EQ(sources, row.jobs);
        EXPECT_TRUE(QString::fromUtf8(text, static_cast<qsizetype>(size)).contains(row.told))
            << text;
        std::free(text);
    }
    ::chmod(SystemName(at("lib/locked")).constData(), 0755);
}

// Shows and unloads the conversion window as the real one does, noting each.
struct RecordingConversion : ConversionDialog {
    RecordingConversion(QStringList& c, ConverterSettings& m) : calls(c), mod(m) {}
    void ShowModal() override { Note(u"show"_s, true); }
    void Unload() override { Note(u"unload"_s, false); }
    void Note(const QString& call, bool open) {
        calls << call;
        mod.conversionWindowOpen = open;
    }
    QStringList& calls;
    ConverterSettings& mod;
};

class MainWindow : public ::testing::Test, protected Around {
protected:
    MainWindow()
        : conversion(form.calls, mod),
          frm(mod, ConverterWindow::Parts{face, form, messages, dialog, folders, shell, lock,
                                          conversion, background, u"/opt/velune"_s}) {}

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
    RecordingConversion conversion;
    ConverterWindow frm;
};

TEST_F(MainWindow, StartUpLoadsTheFaceAtTheTopLeftAndWritesFormatsThenVersion) {
    ASSERT_TRUE(frm.Start());
    EXPECT_EQ(face.loaded, std::vector<QString>{u"/opt/velune/VeluneC.qml"_s});
    EXPECT_EQ(form.calls, (QStringList{"geometry", "filter"}));
    EXPECT_EQ(form.geometry, u"0,0 620x604 face 620x604"_s);
    EXPECT_EQ(face.writes.mid(0, 3),
              (QStringList{"_root.FillCombo=wav|mp3|ogg|flac|opus", "_root.SetCombo=1",
                           "_root.VersionNo=Version No.:1.0.0.0"}));
    // Then the naming patterns offered, before their trigger.
    EXPECT_EQ(face.writes.mid(3).join(u'\n').section(u'=', 0, 0), u"_root.FillPatterns"_s);
    EXPECT_EQ(face.writes.back(), u"_root.SetPatterns=1"_s);
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(MainWindow, ASecondCopyOrAFaceThatCannotLoadIsToldAndNothingElseRuns) {
    lock.free = false;
    EXPECT_FALSE(frm.Start());
    EXPECT_EQ(messages.shown, QStringList{"The program already opening"});
    EXPECT_TRUE(face.loaded.empty());

    lock.free = true;
    face.loads = false;
    EXPECT_FALSE(frm.Start());
    ASSERT_EQ(messages.shown.size(), 2);
    EXPECT_TRUE(messages.shown[1].contains("/opt/velune/VeluneC.qml")) << messages.shown[1];
    EXPECT_TRUE(face.writes.isEmpty());
    EXPECT_TRUE(form.calls.isEmpty());
}

TEST_F(MainWindow, CommandsMatchTheirNamesExactly) {
    Loaded();
    for (const char* command : {"IDC_FS_Minimize", "IDC_FS_Drag", "idc_fs_close", "IDC_FS_Close ",
                                "IDC_FS_Help", "IDC_FS_Player", "IDC_FS_About"})
        Cmd(QString::fromLatin1(command));
    EXPECT_EQ(form.calls, (QStringList{"minimize", "drag"}));
    EXPECT_EQ(shell.opened, QStringList{"/opt/velune/VeluneC.html"});
    EXPECT_EQ(shell.started, QStringList{"/opt/velune/VelunePlayer"});
    EXPECT_EQ(face.writes, QStringList{"_root.VersionNo=Version No.:1.0.0.0"});
    Cmd("IDC_FS_Close");
    EXPECT_EQ(form.calls.back(), u"end"_s);
}

TEST_F(MainWindow, AddAppendsAcceptedPathsInOrderAndTellsTheFaceOnce) {
    Loaded();
    Cmd("IDC_FS_Add"); // the dialog cancelled: nothing
    EXPECT_EQ(dialog.titles.back(), u"Input Audio File"_s);
    EXPECT_EQ(dialog.filters.back(), kConverterFilter);
    const QString a = Audio("a.wav");
    const QString b = Audio("b b.mp3");
    const QString c = Audio("Ç'est.ogg");
    Add({a});
    face.writes.clear();

    // The second is already listed: one message, the others still go in, in order.
    Add({b, a, c});
    EXPECT_EQ(messages.shown, QStringList{"File:" + a + "already exist in your list"});
    EXPECT_EQ(frm.Files(), (QStringList{a, b, c}));
    EXPECT_EQ(face.writes,
              (QStringList{"_root.AddedFiles=" + b + u'|' + c, "_root.SetAddedFiles=1"}));
}

TEST_F(MainWindow, EmptyMissingAndUnreadablePathsAreRefusedByName) {
    Loaded();
    const QString good = Audio("good.wav");
    const QString empty = Audio("empty.wav", {});
    const QString missing = dir.filePath("gone.wav");
    const QString folder = dir.filePath("folder.wav");
    QDir().mkpath(folder);
    Add({empty, missing, folder});
    EXPECT_TRUE(face.writes.isEmpty());
    Add({good});
    const QString unreadable = u"' does not exist or cannot be read, therefore the list will "
                               "not contain it."_s;
    EXPECT_EQ(
        messages.shown,
        (QStringList{"File:'" + empty + "' has zero byte therefor the list will not contain it.",
                     "File:'" + missing + unreadable, "File:'" + folder + unreadable}));
    EXPECT_EQ(frm.Files(), QStringList{good});
}

TEST_F(MainWindow, RemoveTakesTheRowTheFaceRemovedAndIgnoresAnythingElse) {
    Loaded();
    Cmd("IDC_FS_Remove"); // an empty list: not even the message
    const QString a = Audio("a.wav");
    const QString c = Audio("c.wav");
    Add({a, Audio("b.wav"), c});
    face.writes.clear();
    for (const QString& bad : {u"3"_s, u"-1"_s, u"1.5"_s, u"x"_s, QString(), u"70000"_s})
        Cmd("IDC_FS_Remove", bad);
    EXPECT_EQ(frm.Files().size(), 3);
    EXPECT_TRUE(messages.shown.isEmpty());

    Cmd("IDC_FS_Remove");
    EXPECT_EQ(messages.shown, QStringList{"Please Select File to remove"});
    Cmd("IDC_FS_Remove", u"1"_s);
    EXPECT_EQ(frm.Files(), (QStringList{a, c}));
    Cmd("IDC_FS_Remove", u"0"_s);
    EXPECT_EQ(frm.Files(), QStringList{c});
    EXPECT_TRUE(face.writes.isEmpty());
}

TEST_F(MainWindow, RemoveAllAsksFirst) {
    Loaded();
    Cmd("IDC_FS_RemoveAll");
    EXPECT_TRUE(messages.asked.isEmpty());

    const QString a = Audio("a.wav");
    Add({a});
    face.writes.clear();
    messages.answers = {false, true};
    Cmd("IDC_FS_RemoveAll");
    EXPECT_EQ(messages.asked, QStringList{"Are You Sure?"});
    EXPECT_EQ(frm.Files(), QStringList{a});
    Cmd("IDC_FS_RemoveAll");
    EXPECT_TRUE(frm.Files().isEmpty());
    EXPECT_EQ(face.writes, QStringList{"_root.RemoveAll=1"});
    // The same file may be added again afterwards.
    Add({a});
    EXPECT_EQ(frm.Files(), QStringList{a});
}

TEST_F(MainWindow, BrowseSameDirectoryFormatAndDeleteOption) {
    Loaded();
    Cmd("IDC_FS_Browse"); // cancelled
    EXPECT_EQ(folders.titles, QStringList{"Output Path"});
    EXPECT_TRUE(face.writes.isEmpty());
    folders.answer = u"/home/me/Bob's Music"_s;
    Cmd("IDC_FS_Browse");
    EXPECT_EQ(frm.OutputFolder(), folders.answer);
    EXPECT_EQ(face.writes,
              (QStringList{"_root.BrowsePath=/home/me/Bob's Music", "_root.SetBrowsePath=1"}));
    Cmd("IDC_FS_SameDirectory");
    EXPECT_TRUE(frm.OutputFolder().isEmpty());

    for (const QString& format : {u"mp3"_s, u"undefined"_s, u"aac"_s})
        Cmd("IDC_FS_ConvertTo", format);
    EXPECT_EQ(mod.targetName, u"mp3"_s);

    Cmd("IDC_FS_Selected");
    EXPECT_TRUE(mod.deleteSources);
    Cmd("IDC_FS_UnSelected");
    EXPECT_FALSE(mod.deleteSources);
}

// A folder: its audio files in order with their subfolders, found on a worker; what is
// no audio counted; files already listed told in one message, however many.
TEST_F(MainWindow, AddFolderTakesEveryAudioFileBelowItAndTellsDuplicatesOnce) {
    Loaded();
    const QString library = dir.filePath("library");
    for (const QString& song : {u"B/10 x.wav"_s, u"B/2 y.wav"_s, u"1.wav"_s, u"A/z.ogg"_s}) {
        QDir().mkpath(QFileInfo(library + u'/' + song).absolutePath());
        ASSERT_TRUE(MakeTone(library + u'/' + song, 0.1, 8000, 1));
    }
    ASSERT_TRUE(WriteFile(library + u"/A/notes.txt"_s, "not audio"));
    Cmd("IDC_FS_AddFolder"); // cancelled
    EXPECT_TRUE(frm.Files().isEmpty());
    folders.answer = library;
    Cmd("IDC_FS_AddFolder");
    EXPECT_EQ(folders.titles.back(), u"Add Folder"_s);
    EXPECT_EQ(frm.Files(), (QStringList{library + u"/1.wav"_s, library + u"/A/z.ogg"_s,
                                        library + u"/B/2 y.wav"_s, library + u"/B/10 x.wav"_s}));
    EXPECT_EQ(frm.Subfolders(), (QStringList{"", "A", "B", "B"}));
    EXPECT_EQ(messages.shown, QStringList{"4 files added, 1 skipped: not audio"});
    EXPECT_EQ(face.store.value("_root.AddedFiles").count(u'|'), 3);
    messages.shown.clear();
    Cmd("IDC_FS_AddFolder");
    EXPECT_EQ(frm.Files().size(), 4);
    ASSERT_EQ(messages.shown.size(), 2);
    EXPECT_TRUE(messages.shown[0].startsWith(u"These files already exist in your list:\n"_s));
    EXPECT_EQ(messages.shown[0].count(u'\n'), 4);
    EXPECT_EQ(messages.shown[1], u"0 files added, 1 skipped: not audio"_s);
    // Dropped: a file joins as it is, a folder as above.
    messages.shown.clear();
    const QString single = Audio("single.wav");
    frm.AddPaths({single, library + u"/A"_s});
    EXPECT_EQ(frm.Files().mid(4), QStringList{single});
    EXPECT_EQ(messages.shown.size(), 2); // z.ogg listed already; notes.txt no audio
}

// A FLAC file with a CUESHEET block of CD tracks starting at these CD frames (one index
// point each), then the lead-out, put right after its STREAMINFO.
QByteArray WithCueBlock(const QByteArray& flac, const std::vector<quint64>& starts, quint64 end) {
    const auto big = [](quint64 value, int size) {
        QByteArray bytes(size, '\0');
        for (int i = size - 1; i >= 0; --i, value >>= 8)
            bytes[i] = static_cast<char>(value & 0xFF);
        return bytes;
    };
    QByteArray block = QByteArray(395, '\0') + big(starts.size() + 1, 1);
    for (std::size_t i = 0; i <= starts.size(); ++i) {
        const bool leadOut = i == starts.size();
        block += big((leadOut ? end : starts[i]) * 588, 8) + big(leadOut ? 170 : i + 1, 1) +
                 QByteArray(26, '\0') + big(leadOut ? 0 : 1, 1);
        if (!leadOut)
            block += big(0, 8) + big(1, 1) + QByteArray(3, '\0');
    }
    const auto last = static_cast<quint64>(flac[4] & 0x80);
    return flac.left(4) + big(flac[4] & 0x7F, 1) + flac.mid(5, 37) + big(5 | last, 1) +
           big(block.size(), 3) + block + flac.mid(42);
}

// What an image and the sheets beside it are listed as, in either order, in one add
// or two, picked, dropped or in a folder: its tracks once, never the image whole beside
// a sheet that cannot be used; a sheet inside an image names the image alone; paths as
// the system resolves them; our own leftovers no sources.
TEST_F(MainWindow, AnImageIsListedOnceAsItsTracksWhateverComesFirst) {
    Loaded();
    const QString tone = dir.filePath("tone.flac");
    ASSERT_TRUE(MakeTone(tone, 1.0, 44100, 2) &&
                Tagged(tone, dir.filePath("rip.flac"), {"album=Rip"}));
    const QByteArray two = "PERFORMER Ana\nFILE Disc.wav WAVE\nTRACK 01 AUDIO\nTITLE One\n"
                           "INDEX 01 00:00:00\nTRACK 02 AUDIO\nTITLE Two\nINDEX 01 00:00:40\n";
    struct Row {
        const char* what;
        // "tone", "block" (tagged, a CUESHEET block), "tone:" + a CUESHEET tag, "->" a link
        std::vector<std::pair<QString, QByteArray>> files;
        std::vector<QStringList> adds; // each one drop; "." the folder
        QString listed;                // the rows, as "file" or "file#track[start-end]@album"
        QString told;                  // the start of the last message
    };
    const QString gone = u"' is not converted whole, for its cue sheet cannot be used: "_s;
    // clang-format off
    const std::vector<Row> rows{
        {"sheet and image in one add", {{"Disc.flac", "tone"}, {"Disc.cue", two}},
         {{"Disc.cue", "Disc.flac"}}, "Disc.flac#1[0-40] Disc.flac#2[40--1]", ""},
        {"image, then its sheet", {{"Disc.flac", "tone"}, {"Disc.cue", two}},
         {{"Disc.flac"}, {"Disc.cue"}}, "Disc.flac#1[0-40] Disc.flac#2[40--1]", "These files already"},
        {"a folder with both", {{"Disc.flac", "tone"}, {"Disc.cue", two}, {"Gone.cue", "FILE Gone.wav "
         "WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"}}, {{"."}}, "Disc.flac#1[0-40] Disc.flac#2[40--1]",
         "The audio of the cue sheet '%1/Gone.cue' is missing: 'Gone.wav'"},
        {"a sheet whose FILE is not there keeps its image", {{"Disc.flac", "tone"}, {"Disc.cue",
         "FILE Other.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"}}, {{"Disc.flac"}, {"."}}, "",
         "'%1/Disc.flac" + gone + "The audio of the cue sheet '%1/Disc.cue' is missing: 'Other.wav'"},
        {"a sheet that cannot be read keeps the image it names", {{"a.flac", "tone"}, {"b.cue",
         "FILE a.flac WAVE\nTRACK 01 AUDIO\n"}}, {{"a.flac"}}, "",
         "'%1/a.flac" + gone + "The cue sheet '%1/b.cue' cannot be used: track 1 has no INDEX 01"},
        {"gaps appended across two files", {{"1.flac", "tone"}, {"2.flac", "tone"}, {"Disc.cue",
         "FILE 1.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 00 00:00:30\n"
         "FILE 2.wav WAVE\nINDEX 01 00:00:00\nTRACK 03 AUDIO\nINDEX 01 00:00:50\n"}}, {{"Disc.cue"}},
         "1.flac#1[0--1] 2.flac#2[0-50] 2.flac#3[50--1]", ""},
        {"a sheet inside an image naming two files", {{"Image.flac", "tone:FILE a.wav WAVE\nTRACK 01 "
         "AUDIO\nINDEX 01 00:00:00\nFILE b.wav WAVE\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n"}},
         {{"."}}, "", "The cue sheet in '%1/Image.flac' cannot be used: it names several files"},
        {"link/.. as the system has it", {{"link", "->real/in"}, {"a.flac", "tone"},
         {"real/a.flac", "tone"}}, {{"link/../a.flac"}}, "real/a.flac", ""},
        {"our leftovers", {{"a.flac", "tone"}, {".a.flac.velune-9-1.part", "tone"}},
         {{"."}, {".a.flac.velune-9-1.part"}}, "a.flac", ""},
        {"a FLAC CUESHEET block, the image's tags", {{"Image.flac", "block"}}, {{"Image.flac"}},
         "Image.flac#1[0-40]@Rip Image.flac#2[40--1]@Rip", ""},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        QTemporaryDir rip;
        const auto at = [&rip](const QString& name) { return rip.path() + u'/' + name; };
        for (const auto& [name, content] : row.files) {
            QDir().mkpath(QFileInfo(at(name)).absolutePath());
            const QByteArray flac = ReadBytes(content == "block" ? dir.filePath("rip.flac") : tone);
            if (content.startsWith("->"))
                ASSERT_TRUE(QDir().mkpath(at(content.mid(2))) &&
                            QFile::link(at(content.mid(2)), at(name)));
            else if (content.startsWith("tone:"))
                ASSERT_TRUE(Tagged(tone, at(name), {"CUESHEET=" + content.mid(5)}));
            else
                ASSERT_TRUE(WriteFile(at(name), content == "tone" ? flac
                                                : content == "block"
                                                    ? WithCueBlock(flac, {0, 40}, 75)
                                                    : content));
        }
        messages.answers = {true};
        Cmd("IDC_FS_RemoveAll");
        messages.shown.clear();
        for (const QStringList& add : row.adds) {
            QStringList paths;
            for (const QString& name : add)
                paths << (name == "." ? rip.path() : at(name));
            frm.AddPaths(paths);
        }
        QStringList listed;
        for (std::size_t i = 0; i < frm.Tracks().size(); ++i) {
            const auto& track = frm.Tracks()[i];
            QString album;
            for (const auto& [key, values] : track ? track->tags.text : decltype(TagSet::text){})
                album += key == "ALBUM" ? u'@' + values.value(0) : QString();
            listed << frm.Files()[i].mid(rip.path().size() + 1) +
                          (track ? u"#%1[%2-%3]"_s.arg(track->number)
                                       .arg(track->startFrame)
                                       .arg(track->endFrame)
                                 : QString()) +
                          album;
        }
        EXPECT_EQ(listed.join(u' '), row.listed);
        EXPECT_TRUE(messages.shown.join(u'\n').contains(row.told.arg(rip.path())))
            << messages.shown.join(u'\n').toStdString();
    }
    // A track's row removed takes its track along.
    Cmd("IDC_FS_Remove", u"0"_s);
    ASSERT_EQ(frm.Tracks().size(), 1u);
    EXPECT_EQ(frm.Tracks()[0]->number, 2);
}

// Each format shows the qualities it takes; a choice is kept per format, refused
// when the format does not take it, and comes back at the next start with ReplayGain,
// the output folder, the naming pattern, the skip option and the last folder added.
TEST_F(MainWindow, ChoicesFollowTheFormatAndAreRemembered) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    EXPECT_EQ(LoadConverterChoices().format, u"wav"_s); // nothing remembered yet
    // Nothing used yet: the dialogs open in the Music folder.
    const QString music = dir.filePath("Music");
    QDir().mkpath(music);
    ASSERT_TRUE(
        WriteFile(config.filePath("user-dirs.dirs"), "XDG_MUSIC_DIR=\"" + music.toUtf8() + "\"\n"));
    Loaded();
    EXPECT_EQ(face.store.value("_root.FillPatterns").split(u'|').mid(0, 2),
              (QStringList{"", "{albumartist}/{album}/{track:02} {title}"}));
    Cmd("IDC_FS_Add");
    Cmd("IDC_FS_Browse");
    EXPECT_EQ(dialog.startFolders, QStringList{music});
    EXPECT_EQ(folders.startPaths, QStringList{music});
    const auto shown = [&] {
        return face.store.value("_root.FillQuality") + u" / "_s +
               face.store.value("_root.QualityValue");
    };
    const std::vector<std::tuple<QString, QString, QString, Quality>> steps{
        // command, argument, what the face is told, what the engine is given
        {"IDC_FS_ConvertTo",
         "mp3",
         "128|192|256|320|v0|v2|v4 / 192",
         {Quality::Kind::BitRate, 192}},
        {"IDC_FS_Quality", "V2", "128|192|256|320|v0|v2|v4 / 192", {Quality::Kind::Vbr, 2}},
        {"IDC_FS_Quality", "160", "128|192|256|320|v0|v2|v4 / 192", {Quality::Kind::Vbr, 2}},
        {"IDC_FS_ConvertTo", "flac", " / ", {}},
        {"IDC_FS_ConvertTo", "ogg", "q3|q4|q5|q6|q7|q8 / q5", {Quality::Kind::Level, 5}},
        {"IDC_FS_Quality", "q8", "q3|q4|q5|q6|q7|q8 / q5", {Quality::Kind::Level, 8}},
        {"IDC_FS_ConvertTo", "mp3", "128|192|256|320|v0|v2|v4 / v2", {Quality::Kind::Vbr, 2}},
    };
    for (const auto& [command, argument, face, quality] : steps) {
        Cmd(command, argument);
        EXPECT_EQ(shown(), face) << command.toStdString() << " " << argument.toStdString();
        EXPECT_EQ(mod.quality, quality) << command.toStdString() << " " << argument.toStdString();
    }
    Cmd("IDC_FS_ReplayGain", u"on"_s);
    EXPECT_TRUE(mod.replayGain);
    // A pattern with a field that is none is refused; the face shows the one in force.
    Cmd("IDC_FS_Pattern", u"{artist} - {title}"_s);
    Cmd("IDC_FS_Pattern", u"{artist}/{nope}"_s);
    EXPECT_EQ(messages.shown.back().left(52),
              u"The naming pattern cannot be used: no field {nope}; "_s);
    EXPECT_EQ(face.store.value("_root.Pattern"), u"{artist} - {title}"_s);
    EXPECT_EQ(mod.pattern, u"{artist} - {title}"_s);
    Cmd("IDC_FS_SkipExisting", u"on"_s);
    EXPECT_TRUE(mod.skipExisting);
    // The output's shape: names it knows change it, others leave it.
    for (const auto& [command, argument] : {std::pair{"IDC_FS_Rate", u"48000"_s},
                                            {"IDC_FS_Channels", u"mono"_s},
                                            {"IDC_FS_Bits", u"24"_s},
                                            {"IDC_FS_Bits", u"32"_s},
                                            {"IDC_FS_Rate", u"22050"_s},
                                            {"IDC_FS_CopySame", u"on"_s},
                                            {"IDC_FS_KeepTimes", u"on"_s},
                                            {"IDC_FS_PreventClipping", u"on"_s}})
        Cmd(QLatin1String(command), argument);
    const OutputOptions chosen{{48000, 1, 24}, true, true, false, true};
    EXPECT_EQ(mod.output, chosen);
    EXPECT_EQ(face.store.value("_root.Bits"), u"24"_s);
    // Folders whose names are not UTF-8 are remembered as their bytes.
    const QString latin1 = PathFromSystem(SystemName(dir.path()) + "/caf\xe9");
    ASSERT_TRUE(MakeFolders(latin1));
    folders.answer = latin1;
    Cmd("IDC_FS_Browse");
    Cmd("IDC_FS_AddFolder");
    SaveConverterChoices(frm.Remember());
    EXPECT_TRUE(QFile::exists(config.filePath("Velune/VeluneConverter.conf")));

    // The next start: the face is told the format, its quality and the option.
    RecordingFace face2;
    ConverterSettings mod2;
    ConverterWindow again(mod2,
                          ConverterWindow::Parts{face2, form, messages, dialog, folders, shell,
                                                 lock, conversion, background, u"/opt"_s});
    ASSERT_TRUE(again.Start());
    again.Restore(LoadConverterChoices());
    EXPECT_EQ(std::tie(mod2.targetName, mod2.quality, mod2.replayGain),
              std::make_tuple(u"mp3"_s, Quality{Quality::Kind::Vbr, 2}, true));
    EXPECT_EQ(std::tie(mod2.pattern, mod2.skipExisting), std::make_tuple(mod.pattern, true));
    EXPECT_EQ(mod2.output, chosen);
    EXPECT_EQ(again.OutputFolder(), latin1);
    for (const auto& [name, value] : {std::pair{"_root.Format", u"mp3"_s},
                                      {"_root.Rate", u"48000"_s},
                                      {"_root.Channels", u"mono"_s},
                                      {"_root.CopySame", u"1"_s},
                                      {"_root.KeepTimes", u"1"_s},
                                      {"_root.PreventClipping", u"1"_s},
                                      {"_root.TruePeak", u"0"_s},
                                      {"_root.QualityValue", u"v2"_s},
                                      {"_root.ReplayGain", u"1"_s},
                                      {"_root.Pattern", mod.pattern},
                                      {"_root.SkipExisting", u"1"_s},
                                      {"_root.BrowsePath", Readable(latin1)}})
        EXPECT_EQ(face2.store.value(QLatin1String(name)), value) << name;
    folders.answer.clear();
    again.OnFaceCommand(u"IDC_FS_AddFolder"_s, u"undefined"_s);
    EXPECT_EQ(folders.startPaths.back(), latin1);
    // Values that no format takes, a pattern with a field that is none and an output
    // folder that is gone are left out; a last folder that is gone gives the Music folder.
    again.Restore({.format = u"aac"_s,
                   .qualities = {{u"ogg"_s, u"320"_s}, {u"nope"_s, u"v2"_s}},
                   .outputFolder = dir.filePath("gone"),
                   .pattern = u"{nope}"_s,
                   .lastFolder = dir.filePath("gone")});
    again.OnFaceCommand(u"IDC_FS_AddFolder"_s, u"undefined"_s);
    EXPECT_EQ(folders.startPaths.back(), music);
    again.OnFaceCommand(u"IDC_FS_ConvertTo"_s, u"ogg"_s);
    EXPECT_EQ(face2.store.value("_root.QualityValue"), u"q5"_s);
    EXPECT_EQ(std::tie(mod2.pattern, mod2.skipExisting), std::make_tuple(mod.pattern, false));
    EXPECT_EQ(again.OutputFolder(), latin1);
    std::filesystem::remove(SystemPath(latin1));
    qunsetenv("XDG_CONFIG_HOME");
}

TEST_F(MainWindow, ConvertLiftsTheFilterShowsTheRunAndActivationPutsItBack) {
    Loaded();
    Cmd("IDC_FS_Convert"); // nothing to convert
    Add({Audio("a.wav")});
    frm.Activated();
    EXPECT_TRUE(form.calls.isEmpty());
    Cmd("IDC_FS_Convert");
    frm.Activated();
    frm.Activated();
    EXPECT_EQ(form.calls, (QStringList{"unfilter", "show", "unload", "filter"}));
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
    QString Shown(const QString& name) { return face.store.value(name); }

    QTemporaryDir dir;
    ConverterSettings mod;
    ScriptedEngine engine;
    QStringList list;
    QStringList subfolders;                        // none: every row added on its own
    std::vector<std::optional<SheetTrack>> tracks; // none: whole files
    QString out;
    std::unique_ptr<ConversionWindow> frm;
};

TEST_F(QtConversionDialog, LoadQueuesExistingFilesInOrderThenStartsTheEngine) {
    const QString a = File("a.mp3");
    const QString c = File("c.ogg");
    // A trailing blank: handed to the engine as it is, never as the "Song.mp3" beside it.
    File("Song.mp3");
    const QString song = File("Song.mp3 ");
    list = {a, dir.filePath("b.wav"), c, song};
    mod.targetName = u"mp3"_s;
    mod.output = {{44100, 2, 0}, true, false};
    Load();
    EXPECT_EQ(face.loaded, std::vector<QString>{u"/opt/velune/VeluneC1.qml"_s});
    EXPECT_EQ(form.geometry, u"0,0 338x187 face 338x187"_s);
    EXPECT_EQ(messages.shown, QStringList{"Input file dosen't exist"});
    EXPECT_EQ(engine.calls, (QStringList{"clear", "add", "add", "add", "start"}));
    // Beside its source; the source itself holds the first name of its own format.
    const QString to = u" > "_s + dir.path() + u'/';
    EXPECT_EQ(engine.jobs, (QStringList{a + to + "a 1.mp3 mp3", c + to + "c.mp3 mp3",
                                        song + to + "Song 1.mp3 mp3"}));
    EXPECT_EQ(engine.options, mod.output); // the window's choices go with each job
    EXPECT_TRUE(timer.enabled);
    EXPECT_TRUE(mod.conversionWindowOpen);
}

// Rows added with their folder keep it below the output folder, made when missing;
// rows added on their own go straight into it, and beside the source nothing changes.
TEST_F(QtConversionDialog, RowsFromAFolderKeepTheirSubfolderBelowTheOutputFolder) {
    list = {File("a.wav"), File("b.wav")};
    subfolders = {QString(), u"Artist/Album"_s};
    out = dir.filePath("out");
    Load();
    EXPECT_EQ(engine.jobs, (QStringList{list[0] + u" > "_s + out + u"/a.wav"_s,
                                        list[1] + u" > "_s + out + u"/Artist/Album/b.wav"_s}));
    EXPECT_TRUE(QFileInfo(out + u"/Artist/Album"_s).isDir());
}

TEST_F(QtConversionDialog, TracksOfAnImageConvertAsTheirPartsAndTheImageIsNeverDeleted) {
    const QString image = File("Disc.flac");
    SheetTrack one{dir.filePath("Disc.cue"), image, 1, 2, 0, 40, {}, u"01 One"_s, u"One"_s};
    SheetTrack two{dir.filePath("Disc.cue"), image, 2, 2, 40, -1, {}, u"02 Two"_s, u"Two"_s};
    list = {image, image};
    subfolders = {QString(), QString()};
    tracks = {one, two};
    mod.deleteSources = true;
    Load();
    const QString to = u" > "_s + dir.path() + u'/';
    EXPECT_EQ(engine.jobs,
              (QStringList{image + to + "01 One.wav [0-40]", image + to + "02 Two.wav [40--1]"}));
    engine.states = {ConverterEngine::ItemState::Converted, ConverterEngine::ItemState::Converted};
    File("01 One.wav"), File("02 Two.wav"); // the outputs
    engine.finished = true;
    frm->Tick();
    frm->Unload();
    EXPECT_TRUE(QFile::exists(image));
}

TEST_F(QtConversionDialog, NothingQueuedCompletesAtOnce) {
    list = {dir.filePath("gone.wav"), dir.filePath("gone2.wav")};
    engine.finished = true;
    Load();
    EXPECT_EQ(messages.shown.size(), 2);
    // What is read before the run, then its end.
    EXPECT_EQ(face.writes,
              (QStringList{"_root.FileTxt=Reading the files to convert…", "_root.SetFileTxt=1",
                           "_root.FileTxt=Conversion complete", "_root.SetFileTxt=1",
                           "_root.ProgressValue=100", "_root.SetProgress=1", "_root.ShowOkbtn=1",
                           "_root.ArrowPlay=0"}));
    EXPECT_FALSE(timer.enabled);
}

TEST_F(QtConversionDialog, AnEngineFailureWhileQueuingIsShownAndClosesTheWindow) {
    list = {File("a.wav")};
    engine.failing = u"start"_s;
    Load();
    EXPECT_EQ(messages.shown, QStringList{"The conversion could not be started: engine broke"});
    EXPECT_TRUE(frm->Closed());
    EXPECT_FALSE(timer.enabled);
    frm->Unload();
    EXPECT_FALSE(mod.conversionWindowOpen);
}

TEST_F(QtConversionDialog, TickShowsTheRowOfTheLowestUnfinishedItemAndItsPercentage) {
    const QString c = File("c.wav");
    list = {File("a.wav"), dir.filePath("missing.wav"), c};
    Load();
    face.writes.clear();
    frm->Tick(); // nothing current yet: nothing to show
    EXPECT_TRUE(face.writes.isEmpty());

    // The second queued item is list row 2: the missing row 1 does not shift the names.
    engine.index = 1;
    engine.time = 0; // position and time reading equal do not end a run
    for (const auto& [position, shown] :
         std::vector<std::pair<std::optional<float>, QString>>{{0.29f, u"28"_s},
                                                               {0.999f, u"99"_s},
                                                               {0, u"0"_s},
                                                               {0.5f, u"50"_s},
                                                               {std::nullopt, u"0"_s}}) {
        // An item not started yet shows 0, never the percentage of the one before it.
        engine.position = position;
        frm->Tick();
        EXPECT_EQ(Shown("_root.FileTxt"), c);
        EXPECT_EQ(Shown("_root.ProgressValue"), shown);
        EXPECT_EQ(face.writes.last(), u"_root.ArrowPlay=1"_s);
    }
    EXPECT_TRUE(timer.enabled);
}

TEST_F(QtConversionDialog, EveryCommandButDragClosesAndStopsTheEngine) {
    list = {File("a.wav")};
    Load();
    frm->OnFaceCommand(u"IDC_FS_Drag"_s, u"undefined"_s);
    EXPECT_FALSE(frm->Closed());
    frm->OnFaceCommand(u"IDC_FS_Close"_s, u"undefined"_s);
    EXPECT_EQ(engine.calls.mid(engine.calls.size() - 2), (QStringList{"cancel", "clear"}));
    EXPECT_EQ(form.calls.mid(form.calls.size() - 2), (QStringList{"unfilter", "hide"}));
    EXPECT_TRUE(frm->Closed());
}

// Which flagged sources go at unload: only those whose conversion is complete,
// that are still the file that was converted and that the user may change.
TEST_F(QtConversionDialog, DeletesOnlySourcesWhoseConversionIsCompleteAndTheSame) {
    struct Row {
        QString what;
        State state;
        std::function<void(const QString& source)> meanwhile;
        bool deleted;
    };
    const std::vector<Row> rows{
        {u"converted"_s, State::Converted, {}, true},
        {u"failed"_s, State::Failed, {}, false},
        {u"read-only"_s, State::Converted,
         [](const QString& path) { QFile::setPermissions(path, QFile::ReadOwner); }, false},
        {u"replaced by another recording"_s, State::Converted,
         [](const QString& path) { QFile::remove(path), WriteFile(path, "another recording"); },
         false},
        {u"output not read back whole"_s, State::Converted, {}, false},
    };
    mod.deleteSources = true;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what.toStdString());
        const QString source = File(row.what + u".wav"_s);
        list = {source};
        engine.states = {row.state};
        engine.unverified = row.what.startsWith(u"output"_s) ? QSet<int>{0} : QSet<int>{};
        Load();
        File(row.what + u" 1.wav"_s); // its output
        if (row.meanwhile)
            row.meanwhile(source);
        engine.finished = true;
        frm->Tick();
        frm->Unload();
        EXPECT_EQ(!QFile::exists(source), row.deleted);
    }
    // A row added after queuing was never converted.
    const QString later = File("later.wav");
    list << later;
    frm->Unload();
    EXPECT_TRUE(QFile::exists(later));
}

} // namespace
