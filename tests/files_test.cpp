// The shared file helpers: paths lost or split on their way from the dialog, a
// playlist read wrong or hanging the player, a list row that is not the file.
#include "fakes.h"
#include "media.h"
#include "names.h"
#include "picker.h"
#include "playlist_files.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velune;
using velune::test::RecordingFace;
using velune::test::ScriptedDialog;
using velune::test::ScriptedMessages;

namespace {
QString Nul() {
    return QString(QChar(u'\0'));
}
} // namespace

TEST(Picker, ResultTextParsesIntoPathsWithTheLeadingEmptyEntryForOneFile) {
    const QStringList one = GetArrayOfFilenames(QStringLiteral("/music/a.wav"));
    EXPECT_EQ(one, (QStringList{QString(), QStringLiteral("/music/a.wav")}));
    EXPECT_EQ(GetArrayDim(one), 1);

    const QStringList two =
        GetArrayOfFilenames(QStringLiteral("/music") + Nul() + QStringLiteral("a.wav") + Nul() +
                            QStringLiteral("b.mp3"));
    EXPECT_EQ(two, (QStringList{QStringLiteral("/music/a.wav"), QStringLiteral("/music/b.mp3")}));
    EXPECT_EQ(GetArrayDim(two), 1);

    // The root folder already ends with "/": no second one.
    const QStringList root = GetArrayOfFilenames(
        QStringLiteral("/") + Nul() + QStringLiteral("a.wav") + Nul() + QStringLiteral("b.wav"));
    EXPECT_EQ(root, (QStringList{QStringLiteral("/a.wav"), QStringLiteral("/b.wav")}));

    EXPECT_EQ(GetArrayDim({}), 0);
}

TEST(Picker, ResultTextOfChosenPathsRoundTrips) {
    const QStringList chosen{QStringLiteral("/m/Été à Paris.mp3"), QStringLiteral("/m/b'c.ogg"),
                             QStringLiteral("/m/d e.wav")};
    EXPECT_EQ(GetArrayOfFilenames(ResultText(chosen)), chosen);
    EXPECT_EQ(GetArrayOfFilenames(ResultText({QStringLiteral("/x.wav")})),
              (QStringList{QString(), QStringLiteral("/x.wav")}));
    EXPECT_TRUE(ResultText({}).isEmpty());
}

TEST(Picker, FiltersBecomeQtFiltersWithBothLetterCases) {
    const QStringList converter = QtFilter(kConverterFilter).split(QStringLiteral(";;"));
    ASSERT_EQ(converter.size(), 11);
    EXPECT_TRUE(converter[0].startsWith(
        QStringLiteral("All Supported files (*.wav *.WAV *.ogg *.OGG *.mp3 *.MP3 *.flac *.FLAC")));
    EXPECT_EQ(converter[5], QStringLiteral("AAC files (*.m4a *.M4A *.aac *.AAC)"));
    // The player's six entries, the RAM entry with its two patterns.
    const QStringList entries = QtFilter(kPlayerFilter).split(QStringLiteral(";;"));
    ASSERT_EQ(entries.size(), 7);
    EXPECT_EQ(entries[4], QStringLiteral("RAM  files (*.ram *.RAM *.rm *.RM)"));
}

TEST(Picker, ShowDialogCancelGivesNothingAndAFailureIsShown) {
    ScriptedDialog dialog;
    ScriptedMessages messages;
    dialog.results.emplace_back(QString(), QString());
    EXPECT_TRUE(ShowDialog(dialog, messages, QStringLiteral("Input Audio File"), kConverterFilter)
                    .isEmpty());
    EXPECT_TRUE(messages.shown.isEmpty());

    dialog.results.emplace_back(QString(), QStringLiteral("too many files"));
    EXPECT_TRUE(ShowDialog(dialog, messages, QStringLiteral("Input Audio File"), kConverterFilter)
                    .isEmpty());
    EXPECT_EQ(messages.shown, QStringList{QStringLiteral("too many files")});
    EXPECT_EQ(dialog.titles.back(), QStringLiteral("Input Audio File"));
    EXPECT_EQ(dialog.filters.back(), kConverterFilter);
}

TEST(Names, FileNamTakesTheTextAfterTheLastSeparator) {
    EXPECT_EQ(FileNam(QStringLiteral("/Music/Song.mp3"), u'/'), QStringLiteral("Song.mp3"));
    EXPECT_EQ(FileNam(QStringLiteral("/Music/Song.mp3"), u'.'), QStringLiteral("mp3"));
    EXPECT_EQ(FileNam(QStringLiteral("/x/ab.cd.ef/g.mp3"), u'.'), QStringLiteral("mp3"));
    EXPECT_EQ(FileNam(QStringLiteral("Song"), u'.'), QStringLiteral("Song"));
    EXPECT_EQ(FileNam(QStringLiteral("/dir/"), u'/'), QString());
    EXPECT_EQ(FileNam(QStringLiteral("/My.Music/readme"), u'.'), QStringLiteral("Music/readme"));
}

TEST(Names, UpdateFlashListEscapesTheSeparatorAndWritesDataThenTrigger) {
    RecordingFace face;
    updateFlashList(face, {});
    EXPECT_TRUE(face.writes.isEmpty());
    updateFlashList(face, {QStringLiteral("/a.wav"), QStringLiteral("/pi|pe\\.wav")});
    EXPECT_EQ(face.writes, (QStringList{QStringLiteral("_root.AddedFiles=/a.wav|/pi\\|pe\\\\.wav"),
                                        QStringLiteral("_root.SetAddedFiles=1")}));
}

TEST(Names, ExistfileMatchesLetterCaseExactly) {
    const QStringList list{QStringLiteral("/m/A.WAV"), QStringLiteral("/m/b.wav")};
    EXPECT_TRUE(Existfile(list, QStringLiteral("/m/A.WAV")));
    EXPECT_TRUE(Existfile(list, QStringLiteral("/m/b.wav")));
    EXPECT_FALSE(Existfile(list, QStringLiteral("/m/a.wav")));
    EXPECT_FALSE(Existfile(list, QStringLiteral("/m/c.wav")));
}

TEST(Playlists, EntriesAreReadAndBadPlaylistsToldApart) {
    QTemporaryDir dir;
    const QString root = dir.path();
    const QString many = [] {
        QByteArray text;
        for (int i = 0; i < 5000; ++i)
            text += "song" + QByteArray::number(i) + ".mp3\n";
        return text;
    }();
    struct Row {
        const char* name;
        QByteArray content; // "-" = no such file
        QStringList files;
        int skipped;
        bool error;
    };
    const std::vector<Row> rows{
        {"mix.m3u",
         "#EXTM3U\n#EXTINF:12,A\nsub/a.mp3\n  /abs/b.ogg  \r\nfile:///abs/%C3%A9t%C3%A9.wav\n"
         "https://radio.invalid/live\nother.pls\nmix.m3u\n",
         {root + "/sub/a.mp3", "/abs/b.ogg", QStringLiteral("/abs/été.wav")},
         3,
         false},
        {"list.pls",
         "[playlist]\nFile2=two.wav\nTitle1=x\nFile1=/abs/one.wav\nNumberOfEntries=2\n",
         {"/abs/one.wav", root + "/two.wav"},
         0,
         false},
        {"utf8.m3u8",
         QStringLiteral("Été — 東京.mp3\n").toUtf8(),
         {root + QStringLiteral("/Été — 東京.mp3")},
         0,
         false},
        {"latin1.m3u", QByteArray("caf\xe9.mp3\n"), {root + QStringLiteral("/café.mp3")}, 0, false},
        {"many.m3u", many.toUtf8(), {}, 0, false},
        {"missing.m3u", "-", {}, 0, true},
        {"empty.pls", "", {}, 0, true},
        {"binary.m3u", QByteArray("ID3\x04\0\0\0\0", 8), {}, 0, true},
        {"only-streams.m3u", "http://a.invalid/x.mp3\n", {}, 1, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QString path = dir.filePath(QString::fromLatin1(row.name));
        if (row.content != "-") {
            ASSERT_TRUE(velune::test::WriteFile(path, row.content));
        }
        const PlaylistEntries read = ReadPlaylistFile(path);
        if (QLatin1String(row.name) == QLatin1String("many.m3u")) {
            EXPECT_EQ(read.files.size(), 5000);
            EXPECT_EQ(read.files.last(), root + QStringLiteral("/song4999.mp3"));
        } else {
            EXPECT_EQ(read.files, row.files);
        }
        EXPECT_EQ(read.skipped, row.skipped);
        EXPECT_EQ(!read.error.isEmpty(), row.error) << read.error.toStdString();
    }
    QStringList errors;
    EXPECT_EQ(ExpandPlaylists({"/x/a.wav", dir.filePath("list.pls"), dir.filePath("missing.m3u")},
                              errors),
              (QStringList{"/x/a.wav", "/abs/one.wav", root + "/two.wav"}));
    EXPECT_EQ(errors.size(), 1);
}
