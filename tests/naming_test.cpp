// Output naming and the format table, with real files in a temporary folder.
#include "velunemod.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velune;

namespace {

class Naming : public ::testing::Test {
protected:
    QString Make(const QString& relative) {
        const QString path = dir.filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
        return path;
    }
    QString Folder(const QString& relative) {
        QDir().mkpath(dir.filePath(relative));
        return dir.filePath(relative);
    }
    QString Name(const QString& source, const QString& folder, const QString& format) {
        return OutputPath(source, folder, format, given);
    }

    QTemporaryDir dir;
    QSet<QString> given;
};

TEST_F(Naming, OutputGoesIntoTheChosenFolderOrBesideTheSource) {
    const QString song = Make(QStringLiteral("Music/Song.mp3"));
    const QString out = Folder(QStringLiteral("Out"));
    EXPECT_EQ(Name(song, out, QStringLiteral("wav")), out + QStringLiteral("/Song.wav"));
    EXPECT_EQ(Name(song, QString(), QStringLiteral("ogg")),
              dir.filePath(QStringLiteral("Music/Song.ogg")));
    // A folder given with its trailing "/" gets no second one.
    EXPECT_EQ(Name(song, out + QLatin1Char('/'), QStringLiteral("ogg")),
              out + QStringLiteral("/Song.ogg"));
}

TEST_F(Naming, TheRootFolderGetsNoDoubledSlash) {
    QSet<QString> fresh;
    const QString name = OutputPath(QStringLiteral("/nowhere/Velune-test-song.mp3"),
                                    QStringLiteral("/"), QStringLiteral("wav"), fresh);
    EXPECT_EQ(name, QStringLiteral("/Velune-test-song.wav"));
}

TEST_F(Naming, ExistingFilesAreNeverTakenAndNumbersAreAdded) {
    const QString song = Make(QStringLiteral("Music/Song.mp3"));
    const QString out = Folder(QStringLiteral("Out"));
    Make(QStringLiteral("Out/Song.wav"));
    Make(QStringLiteral("Out/Song 1.wav"));
    EXPECT_EQ(Name(song, out, QStringLiteral("wav")), out + QStringLiteral("/Song 2.wav"));
    // The source itself occupies its own name.
    EXPECT_EQ(Name(song, QString(), QStringLiteral("mp3")),
              dir.filePath(QStringLiteral("Music/Song 1.mp3")));
    // A folder of that name counts as taken too.
    Folder(QStringLiteral("Out/Song.ogg"));
    EXPECT_EQ(Name(song, out, QStringLiteral("ogg")), out + QStringLiteral("/Song 1.ogg"));
}

TEST_F(Naming, NamesGivenEarlierInTheRunAreTaken) {
    const QString a = Make(QStringLiteral("A/Song.mp3"));
    const QString b = Make(QStringLiteral("B/Song.mp3"));
    const QString c = Make(QStringLiteral("C/Song.ogg"));
    const QString out = Folder(QStringLiteral("Out"));
    EXPECT_EQ(Name(a, out, QStringLiteral("wav")), out + QStringLiteral("/Song.wav"));
    EXPECT_EQ(Name(b, out, QStringLiteral("wav")), out + QStringLiteral("/Song 1.wav"));
    EXPECT_EQ(Name(c, out, QStringLiteral("wav")), out + QStringLiteral("/Song 2.wav"));
    EXPECT_TRUE(given.contains(out + QStringLiteral("/Song 1.wav")));
}

TEST_F(Naming, TheStemIsTheNameWithoutItsExtensionWhateverItsLength) {
    const QString out = Folder(QStringLiteral("Out"));
    EXPECT_EQ(Name(Make(QStringLiteral("Song.flac")), out, QStringLiteral("wav")),
              out + QStringLiteral("/Song.wav"));
    EXPECT_EQ(Name(Make(QStringLiteral("a.b")), out, QStringLiteral("wav")),
              out + QStringLiteral("/a.wav"));
    EXPECT_EQ(Name(Make(QStringLiteral("ab")), out, QStringLiteral("wav")),
              out + QStringLiteral("/ab.wav"));
    EXPECT_EQ(Name(Make(QStringLiteral("x.y.mp3")), out, QStringLiteral("ogg")),
              out + QStringLiteral("/x.y.ogg"));
    EXPECT_EQ(Name(Make(QStringLiteral("My.Dir/track")), out, QStringLiteral("ogg")),
              out + QStringLiteral("/track.ogg"));
}

TEST_F(Naming, ApostrophesLeaveTheFileNameButNotTheFolder) {
    const QString source = Make(QStringLiteral("Bob's Music/Rock 'n' Roll.mp3"));
    const QString sourceFolder = dir.filePath(QStringLiteral("Bob's Music"));
    EXPECT_EQ(Name(source, QString(), QStringLiteral("wav")),
              sourceFolder + QStringLiteral("/Rock n Roll.wav"));
    // The test for an existing file is made on the final name.
    Make(QStringLiteral("Bob's Music/Rock n Roll.ogg"));
    Make(QStringLiteral("Bob's Music/Rock 'n' Roll 1.ogg"));
    EXPECT_EQ(Name(source, sourceFolder, QStringLiteral("ogg")),
              sourceFolder + QStringLiteral("/Rock n Roll 1.ogg"));
}

TEST_F(Naming, NonAsciiNamesAreKept) {
    const QString source = Make(QStringLiteral("Musique/Été à Zürich — 東京.ogg"));
    const QString out = Folder(QStringLiteral("Sortie é"));
    Make(QStringLiteral("Sortie é/Été à Zürich — 東京.mp3"));
    EXPECT_EQ(Name(source, out, QStringLiteral("mp3")),
              out + QStringLiteral("/Été à Zürich — 東京 1.mp3"));
}

TEST(Formats, InitConvertChoosesTheFormatAndAnUnknownNameKeepsThePrevious) {
    VeluneMod mod;
    mod.TargetFormat = QStringLiteral("ogg");
    mod.InitConvert();
    EXPECT_EQ(mod.Format, TargetFormat::Ogg);
    mod.TargetFormat = QStringLiteral("WAV"); // letter case counts
    mod.InitConvert();
    EXPECT_EQ(mod.Format, TargetFormat::Ogg);
}

TEST(Formats, DelComaRemovesApostrophesOnly) {
    QString its = QStringLiteral("it's");
    EXPECT_EQ(DelComa(its), QStringLiteral("its"));
    EXPECT_EQ(its, QStringLiteral("its"));
    QString two = QStringLiteral("''");
    EXPECT_EQ(DelComa(two), QString());
    QString comma = QStringLiteral("a,b");
    EXPECT_EQ(DelComa(comma), QStringLiteral("a,b"));
}

} // namespace
