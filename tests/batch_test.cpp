// The converter without its window: arguments misread, wrong exit status, a failure
// reported as success, files deleted or overwritten against the window's rules.
#include "batch.h"
#include "media.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velune;
using namespace velune::test;

namespace {

TEST(Batch, ArgumentsAreReadOrRefusedWithAReason) {
    QTemporaryDir dir;
    const QString jobs = u"--jobs takes a whole number from 1 up"_s;
    const std::vector<std::tuple<const char*, QString, QString>> rows{
        // what, arguments, error ("" = accepted)
        {"files first", u"a.wav --to wav b.mp3"_s, {}},
        {"no format", u"a.wav"_s, u"--to is missing"_s},
        {"unknown format", u"--to flac a.wav"_s, u"--to takes wav, mp3 or ogg, not \"flac\""_s},
        {"upper-case format", u"--to MP3 a.wav"_s, u"--to takes wav, mp3 or ogg, not \"MP3\""_s},
        {"no files", u"--to wav"_s, u"no files to convert"_s},
        {"value missing", u"a.wav --to"_s, u"--to needs a value"_s},
        {"jobs not a number", u"--to wav --jobs two a.wav"_s, jobs},
        {"jobs zero", u"--to wav --jobs 0 a.wav"_s, jobs},
        {"out not a folder", u"--to wav --out %1/none a.wav"_s,
         u"--out: \"%1/none\" is not a folder"_s},
        {"unknown option", u"--to wav --force a.wav"_s, u"unknown option --force"_s},
    };
    for (const auto& [what, arguments, error] : rows) {
        const BatchArguments parsed = ParseBatchArguments(Args(arguments.arg(dir.path())));
        EXPECT_EQ(parsed.error, error.arg(dir.path())) << what;
        EXPECT_EQ(parsed.options.has_value(), error.isEmpty()) << what;
    }
    const BatchOptions all =
        *ParseBatchArguments(
             Args(u"--to ogg --out %1 --jobs 3 --delete-sources -- --to"_s.arg(dir.path())))
             .options;
    EXPECT_EQ(all.format, u"ogg"_s);
    EXPECT_EQ(all.out, dir.path());
    EXPECT_EQ(all.jobs, 3);
    EXPECT_TRUE(all.deleteSources);
    EXPECT_EQ(all.files, QStringList{u"--to"_s});
    EXPECT_TRUE(ParseBatchArguments({u"--help"_s}).help);
}

struct Result {
    int status;
    QString out;
    QString err;
};

Result Convert(const QString& arguments) {
    QProcess process;
    process.start(QStringLiteral(CONVERTER), Args(arguments));
    EXPECT_TRUE(process.waitForFinished(120000));
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

TEST(Batch, ExitStatusSummaryAndFailuresFromARealRun) {
    QTemporaryDir dir;
    const QString good = dir.filePath(u"good.wav"_s);
    ASSERT_TRUE(MakeTone(good, 1.0));
    const QString corrupt = dir.filePath(u"corrupt.ogg"_s);
    ASSERT_TRUE(WriteFile(corrupt, Noise(4096)));

    // Every file converts: 0, and the source is deleted as asked.
    const Result all = Convert(u"--to mp3 --delete-sources "_s + good);
    EXPECT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(all.out, u"Converted 1 of 1 files.\n"_s);
    EXPECT_FALSE(QFile::exists(good));
    EXPECT_EQ(DecodedSamples(dir.filePath(u"good.mp3"_s), 2), 44100);

    // Some fail: 1, each failure named with its reason; nothing is overwritten.
    const Result some =
        Convert(u"--to mp3 --jobs 1 %1/good.mp3 %2 %1/gone.wav"_s.arg(dir.path(), corrupt));
    EXPECT_EQ(some.status, 1);
    EXPECT_EQ(some.out, u"Converted 1 of 3 files.\n"_s);
    EXPECT_TRUE(some.err.contains(corrupt + u": not an audio file"_s)) << some.err;
    EXPECT_TRUE(some.err.contains(u"gone.wav: No such file"_s)) << some.err;
    EXPECT_TRUE(QFile::exists(dir.filePath(u"good 1.mp3"_s)));

    // Bad usage: 2 with the usage text; --help: 0.
    const Result bad = Convert(u"--to aac "_s + corrupt);
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(bad.err.contains(u"Usage: VeluneConverter --to wav|mp3|ogg"_s));
    const Result help = Convert(u"--help"_s);
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith(u"Usage:"_s));
}

} // namespace
