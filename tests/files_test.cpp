#include "fakes.h"
#include "names.h"
#include "picker.h"

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
