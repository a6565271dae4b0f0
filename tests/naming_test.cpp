// Output names, with real files in a temporary folder: an existing file or a name
// given earlier in the run taken, a doubled "/", a stem cut wrong, apostrophes.
#include "media.h"
#include "velunemod.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velune;

namespace {

TEST(Naming, OutputNamesNeverTakeAnExistingOrGivenName) {
    struct Row {
        const char* what;
        QStringList existing; // beside the source; a trailing "/" makes a folder
        QStringList given;    // earlier in the run
        QString source;
        QString folder; // "" = beside the source
        QString format;
        QString expected;
    };
    const std::vector<Row> rows{
        {"into the chosen folder", {}, {}, u"M/Song.mp3"_s, u"Out"_s, u"wav"_s, u"Out/Song.wav"_s},
        {"beside the source", {}, {}, u"M/Song.mp3"_s, {}, u"ogg"_s, u"M/Song.ogg"_s},
        {"folder with its /", {}, {}, u"M/Song.mp3"_s, u"Out/"_s, u"ogg"_s, u"Out/Song.ogg"_s},
        {"numbers after existing files",
         {u"Out/Song.wav"_s, u"Out/Song 1.wav"_s},
         {},
         u"M/Song.mp3"_s,
         u"Out"_s,
         u"wav"_s,
         u"Out/Song 2.wav"_s},
        {"the source holds its own name", {}, {}, u"M/Song.mp3"_s, {}, u"mp3"_s, u"M/Song 1.mp3"_s},
        {"a folder counts as taken",
         {u"Out/Song.ogg/"_s},
         {},
         u"M/Song.mp3"_s,
         u"Out"_s,
         u"ogg"_s,
         u"Out/Song 1.ogg"_s},
        {"names given earlier",
         {},
         {u"Out/Song.wav"_s, u"Out/Song 1.wav"_s},
         u"C/Song.ogg"_s,
         u"Out"_s,
         u"wav"_s,
         u"Out/Song 2.wav"_s},
        {"other extension", {}, {}, u"Song.flac"_s, u"Out"_s, u"wav"_s, u"Out/Song.wav"_s},
        {"one-letter extension", {}, {}, u"a.b"_s, u"Out"_s, u"wav"_s, u"Out/a.wav"_s},
        {"no extension", {}, {}, u"ab"_s, u"Out"_s, u"wav"_s, u"Out/ab.wav"_s},
        {"dots in the stem", {}, {}, u"x.y.mp3"_s, u"Out"_s, u"ogg"_s, u"Out/x.y.ogg"_s},
        {"a dot in the folder only",
         {},
         {},
         u"My.Dir/track"_s,
         u"Out"_s,
         u"ogg"_s,
         u"Out/track.ogg"_s},
        {"apostrophes leave the name, not the folder",
         {},
         {},
         u"Bob's/Rock 'n' Roll.mp3"_s,
         {},
         u"wav"_s,
         u"Bob's/Rock n Roll.wav"_s},
        {"taken is tested on the final name",
         {u"Bob's/Rock n Roll.ogg"_s, u"Bob's/Rock 'n' Roll 1.ogg"_s},
         {},
         u"Bob's/Rock 'n' Roll.mp3"_s,
         u"Bob's"_s,
         u"ogg"_s,
         u"Bob's/Rock n Roll 1.ogg"_s},
        {"non-ASCII kept",
         {u"Sortie é/Été à Zürich — 東京.mp3"_s},
         {},
         u"Musique/Été à Zürich — 東京.ogg"_s,
         u"Sortie é"_s,
         u"mp3"_s,
         u"Sortie é/Été à Zürich — 東京 1.mp3"_s},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        QTemporaryDir dir;
        for (const QString& path : row.existing + QStringList{row.source, row.folder + u'/'}) {
            QDir().mkpath(QFileInfo(dir.filePath(path)).absolutePath());
            ASSERT_TRUE(path.endsWith(u'/') || velune::test::WriteFile(dir.filePath(path), "x"));
        }
        QSet<QString> given;
        for (const QString& path : row.given)
            given.insert(dir.filePath(path));
        const QString folder = row.folder.isEmpty() ? QString() : dir.filePath(row.folder);
        const QString name = OutputPath(dir.filePath(row.source), folder, row.format, given);
        EXPECT_EQ(name, dir.filePath(row.expected));
        EXPECT_TRUE(given.contains(name));
    }
    // The root folder already ends with its "/".
    QSet<QString> given;
    EXPECT_EQ(OutputPath(u"/nowhere/Velune-test-song.mp3"_s, u"/"_s, u"wav"_s, given),
              u"/Velune-test-song.wav"_s);
}

TEST(Naming, InitConvertTakesOnlyTheFormatsItKnowsAsWritten) {
    VeluneMod mod;
    mod.TargetFormat = u"ogg"_s;
    mod.InitConvert();
    EXPECT_EQ(mod.Format, TargetFormat::Ogg);
    mod.TargetFormat = u"WAV"_s;
    mod.InitConvert();
    EXPECT_EQ(mod.Format, TargetFormat::Ogg);
}

} // namespace
