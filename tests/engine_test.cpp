// The converter's engine on generated files: outputs cut short or padded, lost tags,
// items converted twice or out of order, leftovers after a cancel or a failure,
// a full disk reported as success, files replaced.
#include "ffmpeg_converter.h"
#include "media.h"
#include "publish.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace velune;
using namespace velune::test;
using State = ConverterEngine::ItemState;

namespace {

QByteArray Digest(const QString& path) {
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    return file.open(QIODevice::ReadOnly) && hash.addData(&file) ? hash.result() : QByteArray();
}

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// Runs the queue to its end; the reported item never goes back.
void RunToEnd(FfmpegConverter& engine) {
    ASSERT_TRUE(engine.start());
    int lowest = 0;
    while (!engine.Finished()) {
        const int index = engine.PlaylistIndex();
        if (index >= 0) {
            ASSERT_GE(index, lowest);
            lowest = index;
        }
        QTest::qWait(5);
    }
    EXPECT_LT(engine.PlaylistIndex(), 0);
}

struct Source {
    const char* name;
    int rate;
    int channels;
    QStringList codec;
};

TEST(Engine, EverySourceToEveryTargetKeepsEverySampleRateAndChannels) {
    QTemporaryDir dir;
    const std::vector<Source> sources{
        {"pcm16.wav", 48000, 2, {}},
        {"pcm24.wav", 44100, 1, {QStringLiteral("-c:a"), QStringLiteral("pcm_s24le")}},
        {"lame.mp3", 44100, 2, {QStringLiteral("-b:a"), QStringLiteral("128k")}},
        {"vorbis.ogg", 44100, 1, {}},
        {"lossless.flac", 48000, 2, {}},
        {"aac.m4a", 44100, 2, {}},
        {"hires.flac", 96000, 2, {}}, // above what MP3 takes
    };
    const std::vector<std::pair<TargetFormat, const char*>> targets{
        {TargetFormat::Wav, "wav"}, {TargetFormat::Mp3, "mp3"}, {TargetFormat::Ogg, "ogg"}};
    FfmpegConverter engine(2);
    std::vector<QByteArray> before;
    for (const Source& source : sources) {
        const QString path = dir.filePath(QLatin1String(source.name));
        ASSERT_TRUE(MakeTone(path, 3.0, source.rate, source.channels, source.codec));
        before.push_back(Digest(path));
        for (const auto& [format, extension] : targets)
            ASSERT_TRUE(
                engine.add({path, path + QLatin1Char('.') + QLatin1String(extension), format}));
    }
    RunToEnd(engine);

    int item = 0;
    for (std::size_t s = 0; s < sources.size(); ++s) {
        const QString path = dir.filePath(QLatin1String(sources[s].name));
        const qint64 samples = DecodedSamples(path, sources[s].channels);
        for (const auto& [format, extension] : targets) {
            const QString output = path + QLatin1Char('.') + QLatin1String(extension);
            SCOPED_TRACE(output.toStdString());
            ASSERT_EQ(engine.State(item), State::Converted)
                << engine.FailureReason(item).toStdString();
            ++item;
            const MediaInfo got = Probe(output);
            EXPECT_EQ(got.channels, sources[s].channels);
            if (format == TargetFormat::Mp3 && sources[s].rate > 48000) {
                EXPECT_EQ(got.sampleRate, 48000);
                EXPECT_NEAR(DecodedSamples(output, got.channels), samples / 2, 2);
            } else {
                EXPECT_EQ(got.sampleRate, sources[s].rate);
                EXPECT_EQ(DecodedSamples(output, got.channels), samples);
            }
            if (format == TargetFormat::Wav) {
                EXPECT_EQ(got.codec, QStringLiteral("pcm_s16le"));
            } else if (format == TargetFormat::Mp3) {
                EXPECT_EQ(got.bitRate / 1000, 192);
            }
        }
        EXPECT_EQ(Digest(path), before[s]);
    }
    // A 16-bit WAV comes out sample for sample; nothing but sources and outputs is left.
    EXPECT_EQ(DecodedPcm(dir.filePath(QStringLiteral("pcm16.wav.wav"))),
              DecodedPcm(dir.filePath(QStringLiteral("pcm16.wav"))));
    EXPECT_EQ(Entries(dir.path()).size(), sources.size() * 4);
}

TEST(Engine, TagsAndTheCoverSurviveEveryHop) {
    QTemporaryDir dir;
    const QString tone = dir.filePath(QStringLiteral("tone.wav"));
    const QString cover = dir.filePath(QStringLiteral("cover.png"));
    ASSERT_TRUE(MakeTone(tone, 2.0));
    RunTool(QStringLiteral("ffmpeg"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"),
             QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("color=red:s=32x32:d=1"),
             QStringLiteral("-frames:v"), QStringLiteral("1"), cover});
    ASSERT_TRUE(QFile::exists(cover));
    const QStringList metadata{
        QStringLiteral("title=Été à 東京"),  QStringLiteral("artist=Ärtist"),
        QStringLiteral("album=Ålbum"),       QStringLiteral("album_artist=Various"),
        QStringLiteral("track=3/12"),        QStringLiteral("disc=1/2"),
        QStringLiteral("date=1999"),         QStringLiteral("genre=Jazz"),
        QStringLiteral("composer=Cömposer"), QStringLiteral("comment=Live")};
    const auto tagged = [&](const QString& name) {
        QStringList args{QStringLiteral("-v"),
                         QStringLiteral("error"),
                         QStringLiteral("-i"),
                         tone,
                         QStringLiteral("-i"),
                         cover,
                         QStringLiteral("-map"),
                         QStringLiteral("0"),
                         QStringLiteral("-map"),
                         QStringLiteral("1"),
                         QStringLiteral("-c:v"),
                         QStringLiteral("copy"),
                         QStringLiteral("-disposition:v"),
                         QStringLiteral("attached_pic")};
        for (const QString& pair : metadata)
            args << QStringLiteral("-metadata") << pair;
        const QString path = dir.filePath(name);
        RunTool(QStringLiteral("ffmpeg"), args << path);
        return path;
    };
    const QString mp3 = tagged(QStringLiteral("source.mp3"));
    const QString flac = tagged(QStringLiteral("source.flac"));

    // mp3 -> ogg -> mp3 -> wav, and flac -> ogg: each hop from the one before.
    const std::vector<std::pair<QString, TargetFormat>> hops{
        {QStringLiteral("hop1.ogg"), TargetFormat::Ogg},
        {QStringLiteral("hop2.mp3"), TargetFormat::Mp3},
        {QStringLiteral("hop3.wav"), TargetFormat::Wav},
        {QStringLiteral("flac.ogg"), TargetFormat::Ogg}};
    QString from = mp3;
    for (const auto& [name, format] : hops) {
        if (name == QLatin1String("flac.ogg"))
            from = flac;
        FfmpegConverter engine(1);
        const QString output = dir.filePath(name);
        ASSERT_TRUE(engine.add({from, output, format}));
        RunToEnd(engine);
        ASSERT_EQ(engine.State(0), State::Converted) << engine.FailureReason(0).toStdString();
        SCOPED_TRACE(name.toStdString());
        const auto tags = Tags(output);
        EXPECT_EQ(tags.value(QStringLiteral("title")), QStringLiteral("Été à 東京"));
        EXPECT_EQ(tags.value(QStringLiteral("artist")), QStringLiteral("Ärtist"));
        EXPECT_EQ(tags.value(QStringLiteral("album")), QStringLiteral("Ålbum"));
        EXPECT_EQ(tags.value(QStringLiteral("album_artist")), QStringLiteral("Various"));
        EXPECT_EQ(tags.value(QStringLiteral("date")), QStringLiteral("1999"));
        EXPECT_EQ(tags.value(QStringLiteral("genre")), QStringLiteral("Jazz"));
        EXPECT_EQ(tags.value(QStringLiteral("composer")), QStringLiteral("Cömposer"));
        EXPECT_EQ(tags.value(QStringLiteral("comment")), QStringLiteral("Live"));
        // No encoder tag of ours (an MP3's LAME header names its encoder, beside its delay).
        if (format != TargetFormat::Mp3) {
            EXPECT_FALSE(tags.contains(QStringLiteral("encoder")));
        }
        if (format == TargetFormat::Ogg) {
            EXPECT_EQ(tags.value(QStringLiteral("track")), QStringLiteral("3"));
            EXPECT_EQ(tags.value(QStringLiteral("tracktotal")), QStringLiteral("12"));
            EXPECT_EQ(tags.value(QStringLiteral("disctotal")), QStringLiteral("2"));
        } else {
            EXPECT_EQ(tags.value(QStringLiteral("track")), QStringLiteral("3/12"));
            EXPECT_EQ(tags.value(QStringLiteral("disc")), QStringLiteral("1/2"));
        }
        EXPECT_EQ(tags.value(QStringLiteral("cover")),
                  format == TargetFormat::Wav ? QString() : QStringLiteral("yes"));
        EXPECT_EQ(DecodedSamples(output, 2), 88200);
        from = output;
    }
}

TEST(Engine, CancelStopsEveryWorkerAndLeavesOnlyFinishedOutputs) {
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("long.wav"));
    ASSERT_TRUE(MakeTone(source, 60.0));
    FfmpegConverter engine(2);
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(engine.add(
            {source, dir.filePath(QStringLiteral("out%1.ogg").arg(i)), TargetFormat::Ogg}));
    ASSERT_TRUE(engine.start());
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.Position().value_or(0) > 0.01f; }, 60000));
    engine.cancel();
    QStringList expected{QStringLiteral("long.wav")};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NE(engine.State(i), State::Converting);
        if (engine.State(i) == State::Converted)
            expected << QStringLiteral("out%1.ogg").arg(i);
        else
            EXPECT_EQ(engine.FailureReason(i), QStringLiteral("the conversion was stopped"));
    }
    EXPECT_EQ(engine.State(3), State::Failed);
    EXPECT_TRUE(engine.Finished());
    expected.sort();
    EXPECT_EQ(Entries(dir.path()), expected);
}

TEST(Engine, AFailureStaysWithItsItemAndLeavesNothing) {
    QTemporaryDir dir;
    const QString good = dir.filePath(QStringLiteral("good.wav"));
    ASSERT_TRUE(MakeTone(good, 0.5));
    const QString corrupt = dir.filePath(QStringLiteral("corrupt.mp3"));
    ASSERT_TRUE(WriteFile(corrupt, Noise(16 * 1024)));
    const QString taken = dir.filePath(QStringLiteral("taken.ogg"));
    const QString longName = QString(251, QLatin1Char('x')) + QStringLiteral(".ogg"); // 255 bytes
    // A leftover of a run that was killed, and one of a run that still goes on.
    const QString stale = dir.filePath(QStringLiteral(".old.ogg.velune-999999999-1.part"));
    const QString live = dir.filePath(QStringLiteral(".old.ogg.velune-%1-1.part").arg(getppid()));
    ASSERT_TRUE(WriteFile(stale) && WriteFile(live));

    struct Row {
        const char* what;
        QString source;
        QString output;
        State state;
        QString reason;
    };
    const std::vector<Row> rows{
        {"corrupt source", corrupt, dir.filePath(QStringLiteral("corrupt.ogg")), State::Failed,
         QStringLiteral("not an audio file")},
        {"missing source", dir.filePath(QStringLiteral("gone.wav")),
         dir.filePath(QStringLiteral("gone.ogg")), State::Failed,
         QStringLiteral("No such file or directory")},
        {"folder is a file", good, good + QStringLiteral("/x.ogg"), State::Failed,
         QStringLiteral("Not a directory")},
        {"name taken meanwhile", good, taken, State::Failed,
         taken + QStringLiteral(" appeared meanwhile and was kept")},
        {"255-byte name", good, dir.filePath(longName), State::Converted, {}},
        {"after the failures",
         good,
         dir.filePath(QStringLiteral("good.ogg")),
         State::Converted,
         {}},
    };
    FfmpegConverter engine(2);
    for (const Row& row : rows)
        ASSERT_TRUE(engine.add({row.source, row.output, TargetFormat::Ogg}));
    ASSERT_TRUE(WriteFile(taken, "mine"));
    RunToEnd(engine);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(engine.State(static_cast<int>(i)), rows[i].state) << rows[i].what;
        EXPECT_EQ(engine.FailureReason(static_cast<int>(i)), rows[i].reason) << rows[i].what;
    }
    EXPECT_EQ(Digest(taken), QCryptographicHash::hash("mine", QCryptographicHash::Sha1));
    QStringList expected{QStringLiteral("corrupt.mp3"),
                         QStringLiteral("good.ogg"),
                         QStringLiteral("good.wav"),
                         QStringLiteral("taken.ogg"),
                         longName,
                         QFileInfo(live).fileName()};
    expected.sort();
    EXPECT_EQ(Entries(dir.path()), expected);
}

TEST(Engine, AFullDiskFailsTheItemWithTheSystemsReasonAndPublishesNothing) {
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("big.wav"));
    ASSERT_TRUE(MakeTone(source, 10.0)); // 1.7 MB of PCM
    const QString small = dir.filePath(QStringLiteral("small"));
    ASSERT_TRUE(QDir().mkpath(small));
    if (::mount("tmpfs", QFile::encodeName(small).constData(), "tmpfs", 0, "size=512k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    FfmpegConverter engine(1);
    for (const char* name : {"big.wav", "big.mp3"})
        ASSERT_TRUE(engine.add({source, small + QLatin1Char('/') + QLatin1String(name),
                                name[4] == 'w' ? TargetFormat::Wav : TargetFormat::Mp3}));
    RunToEnd(engine);
    EXPECT_EQ(engine.State(0), State::Failed);
    EXPECT_EQ(engine.FailureReason(0), QStringLiteral("No space left on device"));
    // The next item had the room the first one gave back.
    EXPECT_EQ(engine.State(1), State::Converted) << engine.FailureReason(1).toStdString();
    EXPECT_EQ(Entries(small), QStringList{QStringLiteral("big.mp3")});
    ::umount(QFile::encodeName(small).constData());
}

} // namespace
