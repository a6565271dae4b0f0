// The converter without its window: arguments misread, wrong exit status, a failure
// reported as success, files deleted or overwritten against the window's rules.
#include "batch.h"
#include "media.h"
#include "qt_print.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velune;
using namespace velune::test;

namespace {

TEST(Batch, ArgumentsAreReadOrRefusedWithAReason) {
    QTemporaryDir dir;
    struct Row {
        const char* what;
        QStringList arguments;
        QString error; // "" = accepted
    };
    const QString folder = dir.path();
    const std::vector<Row> rows{
        {"everything",
         {"--to", "ogg", "--out", folder, "--jobs", "3", "--delete-sources", "a.wav"},
         ""},
        {"files first", {"a.wav", "--to", "wav", "b.mp3"}, ""},
        {"-- ends the options", {"--to", "mp3", "--", "--to"}, ""},
        {"no format", {"a.wav"}, "--to is missing"},
        {"unknown format", {"--to", "flac", "a.wav"}, "--to takes wav, mp3 or ogg, not \"flac\""},
        {"upper-case format", {"--to", "MP3", "a.wav"}, "--to takes wav, mp3 or ogg, not \"MP3\""},
        {"no files", {"--to", "wav"}, "no files to convert"},
        {"value missing", {"a.wav", "--to"}, "--to needs a value"},
        {"jobs not a number",
         {"--to", "wav", "--jobs", "two", "a.wav"},
         "--jobs takes a whole number from 1 up"},
        {"jobs zero",
         {"--to", "wav", "--jobs", "0", "a.wav"},
         "--jobs takes a whole number from 1 up"},
        {"out not a folder",
         {"--to", "wav", "--out", folder + "/none", "a.wav"},
         "--out: \"" + folder + "/none\" is not a folder"},
        {"unknown option", {"--to", "wav", "--force", "a.wav"}, "unknown option --force"},
    };
    for (const Row& row : rows) {
        const BatchArguments parsed = ParseBatchArguments(row.arguments);
        EXPECT_EQ(parsed.error, row.error) << row.what;
        EXPECT_EQ(parsed.options.has_value(), row.error.isEmpty()) << row.what;
    }
    const BatchOptions all = *ParseBatchArguments(rows[0].arguments).options;
    EXPECT_EQ(all.format, QStringLiteral("ogg"));
    EXPECT_EQ(all.out, folder);
    EXPECT_EQ(all.jobs, 3);
    EXPECT_TRUE(all.deleteSources);
    EXPECT_EQ(all.files, QStringList{QStringLiteral("a.wav")});
    EXPECT_EQ(ParseBatchArguments(rows[2].arguments).options->files,
              QStringList{QStringLiteral("--to")});
    EXPECT_TRUE(ParseBatchArguments({QStringLiteral("--help")}).help);
}

struct Result {
    int status;
    QString out;
    QString err;
};

Result Convert(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(CONVERTER), arguments);
    EXPECT_TRUE(process.waitForFinished(120000));
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

TEST(Batch, ExitStatusSummaryAndFailuresFromARealRun) {
    QTemporaryDir dir;
    const QString good = dir.filePath(QStringLiteral("good.wav"));
    ASSERT_TRUE(MakeTone(good, 1.0));
    const QString corrupt = dir.filePath(QStringLiteral("corrupt.ogg"));
    ASSERT_TRUE(WriteFile(corrupt, Noise(4096)));

    // Every file converts: 0, and the source is deleted as asked.
    Result all = Convert(
        {QStringLiteral("--to"), QStringLiteral("mp3"), QStringLiteral("--delete-sources"), good});
    EXPECT_EQ(all.status, 0) << all.err.toStdString();
    EXPECT_EQ(all.out, QStringLiteral("Converted 1 of 1 files.\n"));
    EXPECT_FALSE(QFile::exists(good));
    EXPECT_EQ(DecodedSamples(dir.filePath(QStringLiteral("good.mp3")), 2), 44100);

    // Some fail: 1, each failure named with its reason; nothing is overwritten.
    Result some = Convert({QStringLiteral("--to"), QStringLiteral("mp3"), QStringLiteral("--jobs"),
                           QStringLiteral("1"), dir.filePath(QStringLiteral("good.mp3")), corrupt,
                           dir.filePath(QStringLiteral("gone.wav"))});
    EXPECT_EQ(some.status, 1);
    EXPECT_EQ(some.out, QStringLiteral("Converted 1 of 3 files.\n"));
    EXPECT_TRUE(some.err.contains(corrupt + QStringLiteral(": not an audio file")));
    EXPECT_TRUE(some.err.contains(QStringLiteral("gone.wav: No such file")));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("good 1.mp3"))));

    // Bad usage: 2 with the usage text; --help: 0.
    Result bad = Convert({QStringLiteral("--to"), QStringLiteral("aac"), corrupt});
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(bad.err.contains(QStringLiteral("Usage: VeluneConverter --to wav|mp3|ogg")));
    Result help = Convert({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("Usage:")));
}

} // namespace
