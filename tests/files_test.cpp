// The shared file helpers: paths lost or split on their way from the dialog, upper-case
// files hidden by a filter, a duplicate missed, a playlist read wrong or hanging the
// player, a list row that is not the file.
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
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace velune;
using namespace velune::test;

namespace {

TEST(Picker, FiltersTakeBothLetterCases) {
    const QStringList converter = QtFilter(kConverterFilter).split(u";;"_s);
    ASSERT_EQ(converter.size(), 12);
    EXPECT_TRUE(converter[0].startsWith(
        u"All Supported files (*.wav *.WAV *.ogg *.OGG *.mp3 *.MP3 *.flac *.FLAC"_s));
    EXPECT_EQ(converter[5], u"AAC files (*.m4a *.M4A *.aac *.AAC)"_s);
    const QStringList player = QtFilter(kPlayerFilter).split(u";;"_s);
    ASSERT_EQ(player.size(), 13);
    EXPECT_EQ(player[4], u"RAM  files (*.ram *.RAM *.rm *.RM)"_s);
}

TEST(Picker, ADialogFailureIsShown) {
    ScriptedDialog dialog;
    ScriptedMessages messages;
    dialog.results = {{{u"/m/a.wav"_s}, u"the dialog failed"_s}};
    EXPECT_TRUE(PickFiles(dialog, messages, u"Input Audio File"_s, kConverterFilter).isEmpty());
    EXPECT_EQ(messages.shown, QStringList{"the dialog failed"});
}

TEST(Names, IsListedAndTheFaceList) {
    const QStringList list{u"/m/A.WAV"_s, u"/m/b.wav"_s};
    EXPECT_TRUE(IsListed(list, u"/m/A.WAV"_s));
    EXPECT_FALSE(IsListed(list, u"/m/a.wav"_s));
    EXPECT_FALSE(IsListed(list, u"/m/c.wav"_s));

    // The list separator and the escape in a name are escaped; data before trigger.
    RecordingFace face;
    SendRows(face, {});
    EXPECT_TRUE(face.writes.isEmpty());
    SendRows(face, {u"/a.wav"_s, u"/pi|pe\\.wav"_s});
    EXPECT_EQ(face.writes,
              (QStringList{"_root.AddedFiles=/a.wav|/pi\\|pe\\\\.wav", "_root.SetAddedFiles=1"}));
}

TEST(Playlists, EntriesAreReadAndBadPlaylistsToldApart) {
    QTemporaryDir dir;
    const QString root = dir.path();
    struct Row {
        const char* name;
        QByteArray content; // "-" = no such file
        QStringList files;  // beside the playlist unless absolute
        int skipped;
        bool error;
    };
    // clang-format off
    const std::vector<Row> rows{
        {"mix.m3u", "#EXTM3U\n#EXTINF:12,A\nsub/a.mp3\n  /abs/b.ogg  \r\nfile:///abs/%C3%A9t%C3%A9.wav\n"
                    "https://radio.invalid/live\nother.pls\nmix.m3u\n",
         {"sub/a.mp3", "/abs/b.ogg", "/abs/été.wav"}, 3, false},
        {"list.pls", "[playlist]\nFile2=two.wav\nTitle1=x\nFile1=/abs/one.wav\nNumberOfEntries=2\n",
         {"/abs/one.wav", "two.wav"}, 0, false},
        {"utf8.m3u8", "Été — 東京.mp3\n", {"Été — 東京.mp3"}, 0, false},
        {"missing.m3u", "-", {}, 0, true},
        {"empty.pls", "", {}, 0, true},
        {"binary.m3u", QByteArray("ID3\x04\0\0\0\0", 8), {}, 0, true},
        {"only-streams.m3u", "http://a.invalid/x.mp3\n", {}, 1, true},
        {"mix.xspf", "<?xml version=\"1.0\"?><playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">"
                     "<trackList><track><location>sub/%C3%A9t%C3%A9%20a.flac</location></track>"
                     "<track><location>file:///abs/b.ogg</location><title>B</title></track>"
                     "<track><location>http://radio.invalid/x</location></track></trackList></playlist>",
         {"sub/été a.flac", "/abs/b.ogg"}, 1, false},
        {"broken.xspf", "<playlist><trackList><track><location>", {}, 0, true},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QString path = dir.filePath(QString::fromLatin1(row.name));
        ASSERT_TRUE(row.content == "-" || WriteFile(path, row.content));
        const PlaylistEntries read = ReadPlaylistFile(path);
        QStringList files;
        for (const QString& file : row.files)
            files << QDir(root).filePath(file);
        EXPECT_EQ(read.files, files);
        EXPECT_EQ(read.skipped, row.skipped);
        EXPECT_EQ(!read.error.isEmpty(), row.error) << read.error;
    }
    // A Latin-1 entry names the file of its bytes, or the UTF-8 name it was given since.
    ASSERT_TRUE(WriteFile(dir.filePath("latin1.m3u"), "caf\xe9.mp3\nna\xefve.mp3\n"));
    ASSERT_TRUE(WriteFile(PathFromSystem(QFile::encodeName(root) + "/caf\xe9.mp3")));
    ASSERT_TRUE(WriteFile(dir.filePath(u"naïve.mp3"_s)));
    EXPECT_EQ(ReadPlaylistFile(dir.filePath("latin1.m3u")).files,
              (QStringList{PathFromSystem(QFile::encodeName(root) + "/caf\xe9.mp3"),
                           dir.filePath(u"naïve.mp3"_s)}));
    EXPECT_TRUE(RemoveFile(PathFromSystem(QFile::encodeName(root) + "/caf\xe9.mp3")));
    QByteArray many;
    for (int i = 0; i < 5000; ++i)
        many += "song" + QByteArray::number(i) + ".mp3\n";
    ASSERT_TRUE(WriteFile(dir.filePath("many.m3u"), many));
    EXPECT_EQ(ReadPlaylistFile(dir.filePath("many.m3u")).files.size(), 5000);
    QStringList errors;
    EXPECT_EQ(ExpandPlaylists(
                  {u"/x/a.wav"_s, dir.filePath("list.pls"), dir.filePath("missing.m3u")}, errors),
              (QStringList{"/x/a.wav", "/abs/one.wav", root + "/two.wav"}));
    EXPECT_EQ(errors.size(), 1);
}

// A saved list read back names the same files, in each form: relative below the
// playlist's folder, whole elsewhere, names that are not UTF-8 as their bytes, a file
// that is missing kept as it was.
TEST(Playlists, SavedListsComeBackWhole) {
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path());
    const QList<PlaylistEntry> entries{
        {dir.filePath(u"Album/01 Été.flac"_s), 184400, u"Ana"_s, u"Été"_s},
        {PathFromSystem(root + "/Album/caf\xe9 | 2.mp3"), -1, QString(), QString()},
        {u"/elsewhere/Live #1.ogg"_s, 61000, QString(), u"Live"_s},
        {dir.filePath(u"missing.wav"_s), 5000, u"X"_s, u"Y"_s},
    };
    for (const char* name : {"list.m3u8", "list.pls", "list.xspf", "plain.m3u"}) {
        SCOPED_TRACE(name);
        const QString path = dir.filePath(QString::fromLatin1(name));
        QString error;
        ASSERT_TRUE(WritePlaylistFile(path, entries, error)) << error;
        QStringList expected;
        for (const PlaylistEntry& entry : entries)
            expected << entry.path;
        EXPECT_EQ(ReadPlaylistFile(path).files, expected);
        // Written again over itself: replaced whole, nothing left beside it.
        ASSERT_TRUE(WritePlaylistFile(path, entries.mid(0, 1), error)) << error;
        EXPECT_EQ(ReadPlaylistFile(path).files, QStringList{entries[0].path});
    }
    QString error;
    ASSERT_TRUE(WritePlaylistFile(dir.filePath("list.m3u8"), entries, error));
    const QByteArray m3u8 = ReadBytes(dir.filePath("list.m3u8"));
    EXPECT_TRUE(m3u8.startsWith("#EXTM3U\n#EXTINF:184,Ana - \xc3\x89t\xc3\xa9\nAlbum/01 "))
        << m3u8.toStdString();
    EXPECT_TRUE(m3u8.contains("#EXTINF:-1,caf\xef\xbf\xbd | 2.mp3\nAlbum/caf\xe9 | 2.mp3\n"));
    EXPECT_TRUE(m3u8.contains("\n/elsewhere/Live #1.ogg\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Hidden | QDir::Files).size(), 4); // no leftovers
    EXPECT_FALSE(WritePlaylistFile(u"/no/such/folder/x.m3u8"_s, entries, error));
    EXPECT_FALSE(error.isEmpty());
}

// A library tree: natural order per folder, files before subfolders, relative
// folders kept, a link loop and an unreadable folder skipped with a reason, a name
// that is not UTF-8 found as its very bytes.
TEST(Folders, AWalkFindsEveryFileInNaturalOrderAndSkipsLoopsAndUnreadableFolders) {
    QTemporaryDir dir;
    const std::filesystem::path root = QFile::encodeName(dir.path()).toStdString();
    const std::string latin1 = "caf\xe9.wav";
    for (const std::string& file :
         {std::string("10 b.wav"), std::string("2 a.wav"), latin1,
          std::string("Artist/Album 10/01.flac"), std::string("Artist/Album 2/01.flac"),
          std::string("Artist/Album 2/2.flac"), std::string("locked/x.wav")}) {
        std::filesystem::create_directories((root / file).parent_path());
        std::ofstream(root / file) << "x";
    }
    std::filesystem::create_directory_symlink(root, root / "Artist" / "loop");
    std::filesystem::permissions(root / "locked", std::filesystem::perms::none);
    const bool root_user = ::geteuid() == 0; // reads every folder all the same

    const FolderWalk walk = WalkFolder(root);
    std::vector<std::string> found;
    for (const FoundFile& file : walk.files)
        found.push_back((file.relativeFolder / file.path.filename()).native());
    std::vector<std::string> expected{"2 a.wav",
                                      "10 b.wav",
                                      latin1,
                                      "Artist/Album 2/01.flac",
                                      "Artist/Album 2/2.flac",
                                      "Artist/Album 10/01.flac"};
    if (root_user)
        expected.push_back("locked/x.wav");
    EXPECT_EQ(found, expected);
    QStringList skipped(walk.skipped.begin(), walk.skipped.end());
    EXPECT_TRUE(skipped.join(u'\n').contains(u"loop: a link back to a folder already added"_s))
        << skipped.join(u'\n');
    EXPECT_EQ(skipped.size(), root_user ? 1 : 2) << skipped.join(u'\n');
    std::filesystem::permissions(root / "locked", std::filesystem::perms::owner_all);
    EXPECT_EQ(Readable(PathFromSystem(root / latin1)), dir.path() + u"/caf\ufffd.wav"_s);
    for (const auto& [a, b] : {std::pair{"track 2", "track 10"}, {"a", "B"}, {"01", "1x"}})
        EXPECT_TRUE(NaturallyBefore(a, b)) << a << " " << b;
    std::filesystem::remove_all(root); // QDir cannot name the file that is not UTF-8
}

// Names in any encoding travel as text and come back as the very bytes they were;
// only what the user reads has replacement characters.
TEST(Folders, EveryNameComesBackAsItsBytes) {
    const struct {
        QByteArray bytes;
        QString readable;
    } kNames[] = {
        {"/m/plain.wav", u"/m/plain.wav"_s},
        {"/m/\xc3\x89t\xc3\xa9.flac", u"/m/\u00c9t\u00e9.flac"_s}, // UTF-8
        {"/m/caf\xe9.wav", u"/m/caf\ufffd.wav"_s},                 // Latin-1
        {"/m/\xff\xfe", u"/m/\ufffd\ufffd"_s},                     // no UTF-8 lead
        {"/m/\xe2\x82", u"/m/\ufffd\ufffd"_s},                     // cut short
        {"/m/\xc0\xaf", u"/m/\ufffd\ufffd"_s},                     // overlong "/"
        {"/m/\xed\xa0\x80", u"/m/\ufffd\ufffd\ufffd"_s},           // a surrogate
        {"/m/\xf0\x9f\x8e\xb5\xe9", u"/m/\U0001f3b5\ufffd"_s},     // 4 bytes, then one
        {"/m/\xf0\x90\x82\x80", u"/m/\U00010080"_s}, // its second half looks like a byte's
        {"/m/\xef\xbb\xbf"
         "a\xce\xef\xbb\xbf",
         u"/m/\ufeffa\ufffd\ufeff"_s}, // U+FEFF kept
    };
    for (const auto& name : kNames) {
        const QString path = PathFromSystem(name.bytes);
        EXPECT_EQ(SystemName(path), name.bytes) << name.bytes.toHex().constData();
        EXPECT_EQ(Readable(path), name.readable) << name.bytes.toHex().constData();
    }
    // A file: URI keeps the bytes; one whose name holds a NUL names no file.
    EXPECT_EQ(PathOfFileUri(FileUriOf(PathFromSystem(QByteArray("/m/caf\xe9 %.wav"))).toLatin1()),
              PathFromSystem(QByteArray("/m/caf\xe9 %.wav")));
    EXPECT_TRUE(PathOfFileUri("file:///m/a%00b.wav").isEmpty());
    EXPECT_TRUE(PathOfFileUri("file::///m/a.wav").isEmpty());
    // A file of such a name is reached through the same text.
    QTemporaryDir dir;
    const QString latin1 = PathFromSystem(SystemName(dir.path()) + "/caf\xe9/x\xe9.wav");
    ASSERT_TRUE(MakeFolders(FolderOf(latin1)));
    std::ofstream(SystemPath(latin1)) << "abc";
    EXPECT_TRUE(IsReadableFile(latin1));
    EXPECT_EQ(FileSize(latin1), 3);
    EXPECT_TRUE(RemoveFile(latin1));
    EXPECT_FALSE(NameTaken(latin1));
    std::filesystem::remove_all(SystemPath(dir.path()));
}

} // namespace
