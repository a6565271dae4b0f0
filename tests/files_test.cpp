// The shared file helpers: filters, playlists read and written, folder walks, names' bytes.
#include "dialog_program.h"
#include "dropped.h"
#include "fakes.h"
#include "folder_walk.h"
#include "media.h"
#include "names.h"
#include "picker.h"
#include "playlist_files.h"
#include "system_names.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace velune;
using namespace velune::test;

namespace {

TEST(Picker, FiltersTakeBothCasesDialogFailuresAreToldAndRowsAreSentAsTheyAre) {
    EXPECT_TRUE(QtFilter(kConverterFilter).contains(u";;AAC files (*.m4a *.M4A *.aac *.AAC);;"_s));
    ScriptedDialog dialog;
    ScriptedMessages messages;
    dialog.results = {{{u"/m/a.wav"_s}, u"the dialog failed"_s}};
    EXPECT_TRUE(PickFiles(dialog, messages, u"Input Audio File"_s, kConverterFilter).isEmpty());
    EXPECT_EQ(messages.shown, QStringList{"the dialog failed"});
    EXPECT_TRUE(IsListed({u"/m/b.wav"_s, u"/m/A.WAV"_s}, u"/m/A.WAV"_s));
    EXPECT_FALSE(IsListed({u"/m/A.WAV"_s}, u"/m/a.wav"_s));

    // The list separator and the escape in a name are escaped; data before trigger.
    RecordingFace face;
    SendRows(face, {});
    SendRows(face, {u"/a.wav"_s, u"/pi|pe\\.wav"_s});
    EXPECT_EQ(face.writes,
              (QStringList{"_root.AddedFiles=/a.wav|/pi\\|pe\\\\.wav", "_root.SetAddedFiles=1"}));
}

struct KeysSeen : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::KeyPress ? 1 : 0;
        return false;
    }
};

// The player's dialogs are the dialog program's: what it chose comes back as the file
// system's bytes, a cancel as nothing, a failure with its reason; while a modal one is
// open, the program's windows take no input.
TEST(Picker, TheDialogProgramsAnswersComeBackWholeAndHoldTheWindows) {
    QTemporaryDir dir;
    const QString program = dir.filePath(u"dialog"_s);
    ASSERT_TRUE(WriteFile(program, "#!/bin/sh\ncat > \"$0.in\"\nsleep 0.3\nprintf \"$ANSWER\"\n"
                                   "echo \"$FAILURE\" >&2\nexit $CODE\n"));
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QWindow window;
    window.show();
    KeysSeen keys;
    window.installEventFilter(&keys);
    DialogProgram dialogs(program, &window);
    ProgramMessageBoxes messages(dialogs, u"Velune Player"_s);
    ProgramFileDialog files(dialogs);
    ProgramFolderChooser folders(dialogs);
    const auto open = [&] {
        QString error;
        return files.Choose(u"Open"_s, u"MP3 (*.mp3)|*.mp3"_s, u"/m"_s, error).join(u'|') + error;
    };
    const struct {
        const char* answer;
        int code;
        std::function<QString()> ask;
        QString expected;
    } rows[] = {
        {"/m/a.wav\\0/m/caf\\351.wav\\0", 0, open,
         u"/m/a.wav|"_s + PathFromSystem(QByteArray("/m/caf\xe9.wav"))},
        {"", 1, open, u""_s},
        {"", 3, open, u"The file dialog could not be shown: no display"_s},
        {"/m/Mix\\0pls\\0", 0,
         [&] {
             const QString name = files.ChooseSave(u"Save"_s, kPlaylistSaveFilter, u"/m/Mix"_s);
             return name + files.SaveType();
         },
         u"/m/Mixpls"_s},
        {"/m/x\\0", 0, [&] { return folders.Choose(u"Add"_s, u"/m"_s); }, u"/m/x"_s},
        {"", 0, [&] { return QString::number(messages.AskYesNo(u"Sure?"_s)); }, u"1"_s},
        {"", 1, [&] { return QString::number(messages.AskYesNo(u"Sure?"_s)); }, u"0"_s},
    };
    qputenv("FAILURE", "no display");
    for (const auto& row : rows) {
        qputenv("ANSWER", row.answer);
        qputenv("CODE", QByteArray::number(row.code));
        QTimer::singleShot(100, &window, [&] { QTest::keyClick(&window, Qt::Key_A); });
        EXPECT_EQ(row.ask(), row.expected) << row.answer;
    }
    EXPECT_EQ(ReadBytes(program + u".in"_s), QByteArray("Velune Player\0Sure?\0\0\0\0", 23));
    EXPECT_EQ(keys.count, 0);
    QTest::keyClick(&window, Qt::Key_A);
    EXPECT_EQ(keys.count, 1);
    QString error;
    DialogProgram missing(dir.filePath(u"none"_s), nullptr);
    EXPECT_TRUE(ProgramFileDialog(missing).Choose({}, {}, {}, error).isEmpty() && !error.isEmpty());
}

TEST(Playlists, EntriesAreReadAndBadPlaylistsToldApart) {
    QTemporaryDir dir;
    struct Row {
        const char* name;
        QByteArray content; // "-" = no such file
        QStringList files;  // beside the playlist unless absolute; none: an error
        int skipped;
        const char* title = ""; // the last entry's, a stream's as its playlist names it
    };
    // clang-format off
    const std::vector<Row> rows{
        {"mix.m3u", "#EXTM3U\n#EXTINF:12,A\nsub/a.mp3\n  /abs/b.ogg  \r\nfile:///abs/%C3%A9t%C3%A9.wav\n"
                    "https://radio.invalid/live\nother.pls\nmix.m3u\n",
         {"sub/a.mp3", "/abs/b.ogg", "/abs/été.wav", "https://radio.invalid/live"}, 2},
        {"list.pls", "[playlist]\nFile2=two.wav\nTitle1=x\nFile1=/abs/one.wav\nNumberOfEntries=2\n",
         {"/abs/one.wav", "two.wav"}, 0},
        {"missing.m3u", "-", {}, 0},
        {"empty.pls", "", {}, 0},
        {"binary.m3u", QByteArray("ID3\x04\0\0\0\0", 8), {}, 0},
        {"only-streams.m3u", "#EXTINF:-1,Radio A\nhttp://a.invalid/x.mp3\nftp://a.invalid/y\n",
         {"http://a.invalid/x.mp3"}, 1, "Radio A"},
        {"radio.pls", "[playlist]\nFile1=http://r.invalid:8000/;\nTitle1=Radio R\n",
         {"http://r.invalid:8000/;"}, 0, "Radio R"},
        // xml:base on the playlist, trackList and track, each from the one around it.
        {"base.xspf", "<playlist xml:base=\"one/\" xmlns=\"http://xspf.org/ns/0/\"><trackList "
                      "xml:base=\"two/\"><track xml:base=\"../../three/\"><location>four</location>"
                      "</track><track xml:base=\"http://r.invalid/s/\"><location>a.mp3</location>"
                      "<title>Radio S</title></track></trackList></playlist>",
         {"three/four", "http://r.invalid/s/a.mp3"}, 0, "Radio S"},
        {"mix.xspf", "<?xml version=\"1.0\"?><playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">"
                     "<trackList><track><location>sub/%C3%A9t%C3%A9%20a.flac</location></track>"
                     "<track><location>file:///abs/b.ogg</location><title>B</title></track>"
                     "<track><location>http://radio.invalid/x</location></track></trackList></playlist>",
         {"sub/été a.flac", "/abs/b.ogg", "http://radio.invalid/x"}, 0},
        {"broken.xspf", "<playlist><trackList><track><location>", {}, 0},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QString path = dir.filePath(QString::fromLatin1(row.name));
        ASSERT_TRUE(row.content == "-" || WriteFile(path, row.content));
        const PlaylistEntries read = ReadPlaylistFile(path);
        QStringList files;
        for (const QString& file : row.files)
            files << (file.contains(u"://"_s) ? file : QDir(dir.path()).filePath(file));
        EXPECT_EQ(read.files, files);
        EXPECT_EQ(read.skipped, row.skipped);
        EXPECT_EQ(read.error.isEmpty(), !row.files.isEmpty()) << read.error;
        EXPECT_EQ(read.titles.value(read.files.value(read.files.size() - 1)),
                  QString::fromUtf8(row.title));
    }
    // A Latin-1 entry names the UTF-8 name its file was given since (its bytes: player_test).
    ASSERT_TRUE(WriteFile(dir.filePath("latin1.m3u"), "na\xefve.mp3\n") &&
                WriteFile(dir.filePath(u"naïve.mp3"_s)));
    EXPECT_EQ(ReadPlaylistFile(dir.filePath("latin1.m3u")).files,
              QStringList{dir.filePath(u"naïve.mp3"_s)});
    // A fetched playlist's entries are its streams, beside it unless absolute.
    const PlaylistEntries fetched =
        ReadPlaylistBytes("one.mp3\n/two.aac\nhttps://x.invalid/3\nfile:///etc/passwd\n",
                          u"http://r.invalid/dir/list.m3u?id=1"_s);
    EXPECT_EQ(fetched.files, (QStringList{"http://r.invalid/dir/one.mp3",
                                          "http://r.invalid/two.aac", "https://x.invalid/3"}));
    EXPECT_EQ(fetched.skipped, 1);
    QStringList errors;
    EXPECT_EQ(ExpandPlaylists(
                  {u"/x/a.wav"_s, dir.filePath("list.pls"), dir.filePath("missing.m3u")}, errors),
              (QStringList{"/x/a.wav", "/abs/one.wav", dir.filePath("two.wav")}));
    EXPECT_EQ(errors.size(), 1);
}

// A saved list, written over itself too, reads back as the same files in every form.
TEST(Playlists, SavedListsComeBackWhole) {
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path());
    const QList<PlaylistEntry> entries{
        {dir.filePath(u"Album/01 Été.flac"_s), 184400, u"Ana"_s, u"Été"_s},
        {PathFromSystem(root + "/Album/caf\xe9 | 2.mp3"), -1, QString(), QString()},
        {u"/elsewhere/Live #1.ogg"_s, 61000, QString(), u"Live"_s},
        {dir.filePath(u"missing.wav"_s), 5000, u"X"_s, u"Y"_s},
        {u"http://radio.invalid:8000/live?x=1&y=2"_s, -1, QString(), u"Station"_s},
    };
    QStringList expected;
    for (const PlaylistEntry& entry : entries)
        expected << entry.path;
    QString error;
    for (const char* name : {"list.m3u8", "list.pls", "list.xspf", "plain.m3u"}) {
        SCOPED_TRACE(name);
        const QString path = dir.filePath(QString::fromLatin1(name));
        ASSERT_TRUE(WritePlaylistFile(path, entries, error)) << error;
        EXPECT_EQ(ReadPlaylistFile(path).files, expected);
        ASSERT_TRUE(WritePlaylistFile(path, entries.mid(0, 2), error)) << error;
        EXPECT_EQ(ReadPlaylistFile(path).files, expected.mid(0, 2));
    }
    EXPECT_EQ(ReadBytes(dir.filePath("list.m3u8")),
              "#EXTM3U\n#EXTINF:184,Ana - \xc3\x89t\xc3\xa9\nAlbum/01 \xc3\x89t\xc3\xa9.flac\n"
              "#EXTINF:-1,caf\xef\xbf\xbd | 2.mp3\nAlbum/caf\xe9 | 2.mp3\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Hidden | QDir::Files).size(), 4); // no leftovers
}

// Files before subfolders.
TEST(Folders, AWalkFindsEveryFileInNaturalOrderAndSkipsLoopsAndUnreadableFolders) {
    QTemporaryDir dir;
    const std::filesystem::path root = QFile::encodeName(dir.path()).toStdString();
    for (const char* file : {"10 b.wav", "2 a.wav", "caf\xe9.wav", "Artist/Album 10/01.flac",
                             "Artist/Album 2/01.flac", "Artist/Album 2/2.flac", "locked/x.wav"}) {
        std::filesystem::create_directories((root / file).parent_path());
        std::ofstream(root / file) << "x";
    }
    std::filesystem::create_directory_symlink(root, root / "Artist" / "loop");
    std::filesystem::permissions(root / "locked", std::filesystem::perms::none);
    const bool root_user = ::geteuid() == 0; // reads every folder all the same

    const FolderWalk walk = WalkFolder(root);
    std::string found;
    for (const FoundFile& file : walk.files)
        found += (file.relativeFolder / file.path.filename()).native() + '|';
    EXPECT_EQ(found, "2 a.wav|10 b.wav|caf\xe9.wav|Artist/Album 2/01.flac|Artist/Album 2/2.flac|"
                     "Artist/Album 10/01.flac|" +
                         std::string(root_user ? "locked/x.wav|" : ""));
    const QString skipped = QStringList(walk.skipped.begin(), walk.skipped.end()).join(u'\n');
    EXPECT_TRUE(skipped.contains(u"loop: a link back to a folder already added"_s)) << skipped;
    EXPECT_EQ(walk.skipped.size(), root_user ? 1U : 2U) << skipped;
    std::filesystem::permissions(root / "locked", std::filesystem::perms::owner_all);
    for (const auto& [a, b] : {std::pair{"track 2", "track 10"}, {"a", "B"}, {"01", "1x"}})
        EXPECT_TRUE(NaturallyBefore(a, b)) << a << " " << b;
    std::filesystem::remove_all(root); // QDir cannot name the file that is not UTF-8
}

// Names travel as text and come back as their bytes; only what the user reads is replaced.
TEST(Folders, EveryNameComesBackAsItsBytes) {
    // clang-format off
    const std::pair<QByteArray, QString> kNames[] = {
        {"/m/\xc3\x89t\xc3\xa9.flac", u"/m/\u00c9t\u00e9.flac"_s}, // UTF-8
        {"/m/caf\xe9.wav", u"/m/caf\ufffd.wav"_s},                 // Latin-1
        {"/m/\xff\xfe", u"/m/\ufffd\ufffd"_s},                     // no UTF-8 lead
        {"/m/\xe2\x82", u"/m/\ufffd\ufffd"_s},                     // cut short
        {"/m/\xc0\xaf", u"/m/\ufffd\ufffd"_s},                     // overlong "/"
        {"/m/\xed\xa0\x80", u"/m/\ufffd\ufffd\ufffd"_s},           // a surrogate
        {"/m/\xf0\x9f\x8e\xb5\xe9", u"/m/\U0001f3b5\ufffd"_s},     // 4 bytes, then one
        {"/m/\xf0\x90\x82\x80", u"/m/\U00010080"_s},             // its second half looks like a byte's
        {"/m/\xef\xbb\xbf" "a\xce\xef\xbb\xbf", u"/m/\ufeffa\ufffd\ufeff"_s}, // U+FEFF kept
    };
    // clang-format on
    for (const auto& [bytes, readable] : kNames) {
        SCOPED_TRACE(bytes.toHex().constData());
        const QString path = PathFromSystem(bytes);
        EXPECT_EQ(SystemName(path), bytes);
        EXPECT_EQ(Readable(path), readable);
    }
    // A file: URI whose name holds a NUL names no file (its bytes kept: names_fuzz).
    EXPECT_TRUE(PathOfFileUri("file:///m/a%00b.wav").isEmpty());
    EXPECT_TRUE(PathOfFileUri("file::///m/a.wav").isEmpty());
}

} // namespace
