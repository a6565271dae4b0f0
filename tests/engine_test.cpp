// The conversion engine on generated files, alone, behind the conversion window and in
// the batch mode: outputs cut short or padded, lost tags, items converted twice or out
// of order, leftovers after a cancel or a failure, a full disk or a failure reported as
// success, sources deleted or outputs overwritten, arguments misread.
#include "audio_decoder.h"
#include "batch.h"
#include "conversion_window.h"
#include "fakes.h"
#include "ffmpeg_converter.h"
#include "media.h"
#include "replay_gain.h"
#include "system_names.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>
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
        const int index = engine.LowestUnfinished();
        ASSERT_GE(index < 0 ? lowest : index, lowest);
        lowest = std::max(lowest, index);
        QTest::qWait(5);
    }
    EXPECT_LT(engine.LowestUnfinished(), 0);
}

// Each format and quality, its extension and what it holds.
const std::vector<std::tuple<TargetFormat, Quality, QString, QString>> kTargets{
    {TargetFormat::Wav, {}, u"wav"_s, u"pcm_s16le"_s},
    {TargetFormat::Mp3, {}, u"mp3"_s, u"mp3 192k"_s},
    {TargetFormat::Mp3, {Quality::Kind::BitRate, 320}, u"320.mp3"_s, u"mp3 320k"_s},
    {TargetFormat::Mp3, {Quality::Kind::Vbr, 2}, u"v2.mp3"_s, u"mp3 VBR"_s},
    {TargetFormat::Ogg, {}, u"ogg"_s, u"vorbis"_s},
    {TargetFormat::Ogg, {Quality::Kind::Level, 8}, u"q8.ogg"_s, u"vorbis"_s},
    {TargetFormat::Flac, {}, u"flac"_s, u"flac"_s},
    {TargetFormat::Opus, {}, u"opus"_s, u"opus"_s},
    {TargetFormat::Opus, {Quality::Kind::BitRate, 96}, u"96.opus"_s, u"opus"_s}};

// What a file holds: its codec, and for MP3 its bit rate or "VBR" (a Xing header).
QString Encoding(const QString& path, const MediaInfo& got) {
    if (got.codec != "mp3"_L1)
        return got.codec;
    QFile file(path);
    const bool vbr = file.open(QIODevice::ReadOnly) && file.read(1 << 20).contains("Xing");
    return vbr ? u"mp3 VBR"_s : u"mp3 %1k"_s.arg(got.bitRate / 1000);
}

TEST(Engine, EverySourceToEveryTargetKeepsEverySampleRateAndChannels) {
    struct Source {
        QString name;
        int rate;
        int channels;
        QString codec;
    };
    const std::vector<Source> sources{
        {u"pcm16.wav"_s, 48000, 2, {}},
        {u"pcm24.wav"_s, 44100, 1, u"-c:a pcm_s24le"_s},
        {u"lame.mp3"_s, 44100, 2, u"-b:a 128k"_s},
        {u"vorbis.ogg"_s, 44100, 1, {}},
        {u"aac.m4a"_s, 44100, 2, {}},
        {u"hires.flac"_s, 96000, 2, {}}, // FLAC, above what MP3 takes
    };
    QTemporaryDir dir;
    FfmpegConverter engine(2);
    std::vector<QByteArray> before;
    for (const Source& source : sources) {
        const QString path = dir.filePath(source.name);
        ASSERT_TRUE(MakeTone(path, 3.0, source.rate, source.channels, Args(source.codec)));
        before.push_back(Digest(path));
        for (const auto& [format, quality, extension, encoding] : kTargets)
            ASSERT_TRUE(engine.add({path, path + u'.' + extension, format, quality}));
    }
    RunToEnd(engine);

    int item = 0;
    for (std::size_t s = 0; s < sources.size(); ++s) {
        const QString path = dir.filePath(sources[s].name);
        const qint64 samples = DecodedSamples(path, sources[s].channels);
        for (const auto& [format, quality, extension, encoding] : kTargets) {
            const QString output = path + u'.' + extension;
            SCOPED_TRACE(output.toStdString());
            ASSERT_EQ(engine.State(item), State::Converted) << engine.FailureReason(item);
            ++item;
            const MediaInfo got = Probe(output);
            // MP3 takes at most 48 kHz; Opus is always 48 kHz.
            const bool halved = format == TargetFormat::Mp3 && sources[s].rate > 48000;
            const int rate = format == TargetFormat::Opus ? 48000
                             : halved                     ? 48000
                                                          : sources[s].rate;
            EXPECT_EQ(got.channels, sources[s].channels);
            EXPECT_EQ(got.sampleRate, rate);
            EXPECT_NEAR(DecodedSamples(output, got.channels),
                        static_cast<double>(samples) * rate / sources[s].rate,
                        rate == sources[s].rate ? 0 : 2);
            EXPECT_EQ(Encoding(output, got), encoding);
            // Every MP3 decoder that users have trims what the LAME header says.
            if (format == TargetFormat::Mp3 && sources[s].channels == 2 && !halved) {
                EXPECT_EQ(DecodedSamplesBy(u"mpg123"_s, output, 2), samples);
                EXPECT_EQ(DecodedSamplesBy(u"gstreamer"_s, output, 2), samples);
            }
        }
        EXPECT_EQ(Digest(path), before[s]);
    }
    // 16- and 24-bit sources come out sample for sample where the target is lossless;
    // nothing but sources and outputs is left.
    const auto exact = [&](const QString& path) {
        return RunTool(u"ffmpeg"_s, Args(u"-nostdin -v error -i"_s)
                                        << dir.filePath(path) << Args(u"-f s32le -"_s));
    };
    for (const QString& output : {u"pcm16.wav.wav"_s, u"pcm16.wav.flac"_s})
        EXPECT_EQ(exact(output), exact(u"pcm16.wav"_s)) << output.toStdString();
    EXPECT_EQ(exact(u"pcm24.wav.flac"_s), exact(u"pcm24.wav"_s));
    EXPECT_EQ(exact(u"hires.flac.flac"_s), exact(u"hires.flac"_s));
    EXPECT_EQ(Entries(dir.path()).size(), sources.size() * (kTargets.size() + 1));
}

TEST(Engine, TagsAndTheCoverSurviveEveryHop) {
    QTemporaryDir dir;
    const QString tone = dir.filePath("tone.wav");
    const QString cover = dir.filePath("cover.png");
    ASSERT_TRUE(MakeTone(tone, 2.0));
    ASSERT_TRUE(RunTool(u"ffmpeg"_s, Args(u"-v error -f lavfi -i color=red:s=32x32:d=1 "
                                          "-frames:v 1"_s)
                                         << cover));
    const QString common = u"title=Été à 東京;artist=Ärtist;album=Ålbum;album_artist=Various;"
                           "date=1999;genre=Jazz;composer=Cömposer;comment=Live"_s;
    const QString mp3 = dir.filePath("source.mp3");
    const QString flac = dir.filePath("source.flac");
    for (const QString& source : {mp3, flac})
        ASSERT_TRUE(Tagged(tone, source, (common + u";track=3/12;disc=1/2"_s).split(u';'), cover));

    // mp3 -> ogg -> mp3 -> wav, and flac -> ogg: each hop from the one before, with
    // every tag; ID3 keeps "n/total", Vorbis comments split it; WAV holds no picture.
    const QString vorbis = u";track=3;tracktotal=12;disc=1;disctotal=2;cover=yes"_s;
    const std::vector<std::tuple<QString, QString, TargetFormat, QString>> hops{
        {mp3, u"hop1.ogg"_s, TargetFormat::Ogg, vorbis},
        {{}, u"hop2.mp3"_s, TargetFormat::Mp3, u";track=3/12;disc=1/2;cover=yes"_s},
        {{}, u"hop3.wav"_s, TargetFormat::Wav, u";track=3/12;disc=1/2"_s},
        {flac, u"flac.ogg"_s, TargetFormat::Ogg, vorbis},
        {mp3, u"mp3.flac"_s, TargetFormat::Flac, vorbis},
        {flac, u"flac.opus"_s, TargetFormat::Opus, vorbis}};
    QString from;
    for (const auto& [source, name, format, extra] : hops) {
        SCOPED_TRACE(name.toStdString());
        from = source.isEmpty() ? from : source;
        const QString output = dir.filePath(name);
        FfmpegConverter engine(1);
        ASSERT_TRUE(engine.add({from, output, format, {}}));
        RunToEnd(engine);
        ASSERT_EQ(engine.State(0), State::Converted) << engine.FailureReason(0);
        QHash<QString, QString> expected;
        for (const QString& pair : (common + extra).split(u';'))
            expected.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
        QHash<QString, QString> tags = Probe(output).tags;
        // An MP3's LAME header names its encoder beside its delay; nothing else may.
        if (format == TargetFormat::Mp3)
            tags.remove(u"encoder"_s);
        EXPECT_EQ(tags, expected);
        EXPECT_EQ(DecodedSamples(output, 2), format == TargetFormat::Opus ? 96000 : 88200);
        from = output;
    }
}

// Gains as loudgain (ReplayGain 2.0) finds them, per track and per album, in the form
// each container keeps them.
TEST(Engine, ReplayGainAgreesWithLoudgainPerTrackAndAlbum) {
    QTemporaryDir dir;
    QStringList sources;
    for (const auto& [name, tone] : {std::pair{"loud.flac", "sine=frequency=440:duration=3"},
                                     {"quiet.flac", "sine=frequency=1000:duration=3,volume=0.3"}}) {
        const QString plain = dir.filePath(u"plain-"_s + QLatin1String(name));
        ASSERT_TRUE(RunTool(u"ffmpeg"_s, Args(u"-nostdin -v error -y -f lavfi -i"_s)
                                             << QLatin1String(tone) << u"-ac"_s << u"2"_s
                                             << plain));
        sources << dir.filePath(QLatin1String(name));
        ASSERT_TRUE(Tagged(plain, sources.back(), {u"album=A"_s, u"album_artist=X"_s}));
    }
    // loudgain's figures: a row per file, then the album's.
    QHash<QString, double> expected;

    const QStringList rows =
        QString::fromUtf8(
            RunTool(u"loudgain"_s, QStringList{u"-q"_s, u"-a"_s, u"-O"_s} << sources).value_or(""))
            .split(u'\n', Qt::SkipEmptyParts);
    for (const QString& row : rows.mid(1)) {
        const QStringList cells = row.split(u'\t');
        ASSERT_GT(cells.size(), 8) << row.toStdString();
        expected.insert(QFileInfo(cells[0]).completeBaseName(),
                        cells[8].section(u' ', 0, 0).toDouble());
    }
    ASSERT_EQ(expected.size(), 3) << rows.join(u'\n').toStdString();

    FfmpegConverter engine(2);
    const std::vector<std::pair<TargetFormat, QString>> targets{{TargetFormat::Mp3, u"mp3"_s},
                                                                {TargetFormat::Ogg, u"ogg"_s},
                                                                {TargetFormat::Flac, u"flac"_s},
                                                                {TargetFormat::Opus, u"opus"_s}};
    for (const QString& source : sources)
        for (const auto& [format, extension] : targets)
            ASSERT_TRUE(engine.add({source, source + u'.' + extension, format, {}, true}));
    RunToEnd(engine);
    static const QRegularExpression gainForm(u"^-?\\d+\\.\\d\\d dB$"_s);
    for (const QString& source : sources) {
        const QString stem = QFileInfo(source).completeBaseName();
        for (const auto& [format, extension] : targets) {
            const QString output = source + u'.' + extension;
            SCOPED_TRACE(output.toStdString());
            const QHash<QString, QString> tags = Probe(output).tags;
            double track = 0, album = 0;
            if (format == TargetFormat::Opus) {
                EXPECT_FALSE(tags.contains(u"replaygain_track_gain"_s));
                track = tags.value(u"r128_track_gain"_s).toInt() / 256.0 + 5;
                album = tags.value(u"r128_album_gain"_s).toInt() / 256.0 + 5;
            } else {
                EXPECT_TRUE(gainForm.match(tags.value(u"replaygain_track_gain"_s)).hasMatch())
                    << tags.value(u"replaygain_track_gain"_s).toStdString();
                EXPECT_FALSE(tags.value(u"replaygain_track_peak"_s).isEmpty());
                track = tags.value(u"replaygain_track_gain"_s).section(u' ', 0, 0).toDouble();
                album = tags.value(u"replaygain_album_gain"_s).section(u' ', 0, 0).toDouble();
            }
            EXPECT_NEAR(track, expected.value(stem), 0.1);
            EXPECT_NEAR(album, expected.value(u"Album"_s), 0.1);
            // The album's peak is its loudest track's (the first here), not its last's.
            if (format != TargetFormat::Opus) {
                EXPECT_GE(tags.value(u"replaygain_album_peak"_s).toDouble(),
                          Probe(sources.front() + u'.' + extension)
                              .tags.value(u"replaygain_track_peak"_s)
                              .toDouble());
            }
            EXPECT_EQ(tags.value(u"album"_s), u"A"_s); // the other tags stay
        }
    }

    // The true peak as loudgain measures it; a gain lowered to keep it under -1 dBTP.
    const QString clicks = dir.filePath(u"clicks.flac"_s);
    ASSERT_TRUE(RunTool(
        u"ffmpeg"_s, Args(u"-nostdin -v error -y -f lavfi -i"_s)
                         << u"aevalsrc=if(lt(t\\,0.02)\\,0.99\\,0.02)*sin(2*PI*997*t):d=3:s=44100"_s
                         << u"-ac"_s << u"2"_s << clicks));
    // A quarter of the rate, 45 degrees on: the samples miss the peaks by 3 dB.
    const QString between = dir.filePath(u"between.flac"_s);
    ASSERT_TRUE(RunTool(u"ffmpeg"_s, Args(u"-nostdin -v error -y -f lavfi -i"_s)
                                         << u"aevalsrc=0.5*sin(2*PI*11025*t+PI/4):d=3:s=44100"_s
                                         << u"-ac"_s << u"2"_s << between));
    const QStringList measured =
        QString::fromUtf8(RunTool(u"loudgain"_s, {u"-q"_s, u"-O"_s, between}).value_or(""))
            .split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(measured.size(), 2);
    const double loudgainPeak = measured[1].split(u'\t').value(4).section(u' ', 0, 0).toDouble();
    FfmpegConverter peaks(2);
    const OutputOptions truePeak{{}, false, false, true, false};
    const OutputOptions safe{{}, false, false, true, true};
    ASSERT_TRUE(
        peaks.add({between, dir.filePath(u"tp.flac"_s), TargetFormat::Flac, {}, true, truePeak}));
    ASSERT_TRUE(peaks.add({between, dir.filePath(u"sp.flac"_s), TargetFormat::Flac, {}, true}));
    ASSERT_TRUE(peaks.add({clicks, dir.filePath(u"loud.mp3"_s), TargetFormat::Mp3, {}, true}));
    ASSERT_TRUE(
        peaks.add({clicks, dir.filePath(u"safe.mp3"_s), TargetFormat::Mp3, {}, true, safe}));
    ASSERT_TRUE(
        peaks.add({clicks, dir.filePath(u"safe.opus"_s), TargetFormat::Opus, {}, true, safe}));
    RunToEnd(peaks);
    const auto value = [&](const char* file, const char* tag) {
        return Probe(dir.filePath(QLatin1String(file)))
            .tags.value(QLatin1String(tag))
            .section(u' ', 0, 0)
            .toDouble();
    };
    EXPECT_NEAR(20 * std::log10(value("tp.flac", "replaygain_track_peak")), loudgainPeak, 0.1);
    EXPECT_LT(20 * std::log10(value("sp.flac", "replaygain_track_peak")), loudgainPeak - 2.0);
    const double peak = value("safe.mp3", "replaygain_track_peak");
    EXPECT_GT(value("loud.mp3", "replaygain_track_gain"), 5.0); // quiet, with loud clicks
    EXPECT_NEAR(value("safe.mp3", "replaygain_track_gain") + 20 * std::log10(peak), -1.0, 0.01);
    EXPECT_NEAR(value("safe.opus", "r128_track_gain") / 256.0 + 20 * std::log10(peak), -1.0, 0.05);
}

// The decoder both programs share lands on the very sample it is sent to, in every
// format, and tells its exact length.
TEST(Decoder, ASeekLandsOnTheSampleAndTheLengthIsExact) {
    QTemporaryDir dir;
    const QString noise = dir.filePath(u"noise.wav"_s);
    ASSERT_TRUE(RunTool(u"ffmpeg"_s, Args(u"-nostdin -v error -y -f lavfi -i "
                                          "anoisesrc=d=3.3:c=pink:r=44100:a=0.3:s=7 -ac 1"_s)
                                         << noise));
    for (const QString& kind : {u"wav"_s, u"flac"_s, u"mp3"_s, u"ogg"_s, u"opus"_s, u"wv"_s}) {
        SCOPED_TRACE(kind.toStdString());
        QString path = noise;
        if (kind != u"wav"_s) {
            path = dir.filePath(u"noise."_s + kind);
            ASSERT_TRUE(RunTool(u"ffmpeg"_s, Args(u"-nostdin -v error -y -i"_s) << noise << path));
        }
        // What a whole decode gives, as floats at the decoder's own rate.
        QStringList decode = Args(u"-nostdin -v error -i"_s) << path;
        if (kind == u"ogg"_s)
            decode =
                QStringList{u"-nostdin"_s, u"-v"_s, u"error"_s, u"-f"_s, u"wav"_s, u"-i"_s, u"-"_s};
        const QByteArray bytes =
            kind == u"ogg"_s
                ? RunTool(u"sh"_s, {u"-c"_s, u"oggdec -Q -o - '%1' | ffmpeg %2 -f f32le -"_s.arg(
                                                 path, decode.join(u' '))})
                      .value_or(QByteArray())
                : RunTool(u"ffmpeg"_s, decode << Args(u"-f f32le -"_s)).value_or(QByteArray());
        const auto* whole = reinterpret_cast<const float*>(bytes.constData());
        const qint64 total = bytes.size() / 4;

        AudioDecoder decoder;
        QString error;
        ASSERT_TRUE(decoder.Open(path, error)) << error.toStdString();
        ASSERT_TRUE(decoder.SetOutput(SampleLayout::Float, 0, 0, error));
        if (kind == u"wav"_s || kind == u"flac"_s || kind == u"ogg"_s || kind == u"wv"_s) {
            EXPECT_EQ(decoder.DeclaredSamples().value_or(-1), total);
        }
        for (const qint64 target : {qint64{1}, total / 2 + 13, total - 500, qint64{0}}) {
            ASSERT_TRUE(decoder.Seek(target));
            const uint8_t* const* data = nullptr;
            std::vector<float> got;
            while (got.size() < 256) {
                const int n = decoder.Read(&data);
                ASSERT_GT(n, 0);
                const auto* samples = reinterpret_cast<const float*>(data[0]);
                got.insert(got.end(), samples, samples + n);
            }
            for (int i = 0; i < 256; ++i)
                ASSERT_NEAR(got[i], whole[target + i], 1e-4) << "at " << target << "+" << i;
        }
    }
}

TEST(Decoder, LoudnessTagsGiveTheGainOfEachMode) {
    struct Row {
        QHash<QString, QString> tags;
        double off, track, album;
    };
    const double half = std::pow(10.0, -6.02 / 20), quarter = std::pow(10.0, -12.04 / 20);
    const std::vector<Row> rows{
        {{}, 1, 1, 1},
        {{{"REPLAYGAIN_TRACK_GAIN", "-6.02 dB"}}, 1, half, half},
        {{{"REPLAYGAIN_TRACK_GAIN", u"\u22126.02 dB"_s}, {"REPLAYGAIN_ALBUM_GAIN", "-12.04 dB"}},
         1,
         half,
         quarter},
        {{{"REPLAYGAIN_TRACK_GAIN", "+12.04 dB"}, {"REPLAYGAIN_TRACK_PEAK", "0.5"}}, 1, 2, 2},
        {{{"R128_TRACK_GAIN", "-2821"}}, 1, half, half}, // -11.02 dB at -23 LUFS
        {{{"REPLAYGAIN_TRACK_GAIN", "loud"}}, 1, 1, 1},
    };
    for (const Row& row : rows) {
        const ReplayGainTags tags =
            ReadReplayGain([&](const char* name) { return row.tags.value(QLatin1String(name)); });
        EXPECT_NEAR(GainFactor(tags, ReplayGainMode::Off), row.off, 1e-3);
        EXPECT_NEAR(GainFactor(tags, ReplayGainMode::Track), row.track, 1e-3);
        EXPECT_NEAR(GainFactor(tags, ReplayGainMode::Album), row.album, 1e-3);
    }
}

TEST(Engine, CancelStopsEveryWorkerAndLeavesOnlyFinishedOutputs) {
    QTemporaryDir dir;
    const QString source = dir.filePath("long.wav");
    ASSERT_TRUE(MakeTone(source, 60.0));
    FfmpegConverter engine(2);
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(
            engine.add({source, dir.filePath(u"out%1.ogg"_s.arg(i)), TargetFormat::Ogg, {}}));
    ASSERT_TRUE(engine.start());
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.Position().value_or(0) > 0.01f; }, 60000));
    engine.cancel();
    QStringList expected{u"long.wav"_s};
    for (int i = 0; i < 4; ++i) {
        if (engine.State(i) == State::Converted)
            expected << u"out%1.ogg"_s.arg(i);
        else
            EXPECT_EQ(engine.FailureReason(i), u"the conversion was stopped"_s);
    }
    EXPECT_EQ(engine.State(3), State::Failed);
    EXPECT_TRUE(engine.Finished());
    expected.sort();
    EXPECT_EQ(Entries(dir.path()), expected);
}

TEST(Engine, AFailureStaysWithItsItemAndLeavesNothing) {
    QTemporaryDir dir;
    const QString good = dir.filePath("good.wav");
    ASSERT_TRUE(MakeTone(good, 0.5));
    const QString corrupt = dir.filePath("corrupt.mp3");
    ASSERT_TRUE(WriteFile(corrupt, Noise(16 * 1024)));
    const QString taken = dir.filePath("taken.ogg");
    const QString longName = QString(251, u'x') + u".ogg"_s; // 255 bytes
    // A leftover of a run that was killed, and one of a run that still goes on.
    const QString stale = dir.filePath(".old.ogg.velune-999999999-1.part");
    const QString live = u".old.ogg.velune-%1-1.part"_s.arg(getppid());
    ASSERT_TRUE(WriteFile(stale) && WriteFile(dir.filePath(live)));

    struct Row {
        const char* what;
        QString source;
        QString output;
        QString reason; // "" = converted
    };
    const std::vector<Row> rows{
        {"corrupt source", corrupt, dir.filePath("corrupt.ogg"), u"not an audio file"_s},
        {"missing source", dir.filePath("gone.wav"), dir.filePath("gone.ogg"),
         u"No such file or directory"_s},
        {"folder is a file", good, good + u"/x.ogg"_s, u"Not a directory"_s},
        {"name taken meanwhile", good, taken, taken + u" appeared meanwhile and was kept"_s},
        {"255-byte name", good, dir.filePath(longName), {}},
        {"after the failures", good, dir.filePath("good.ogg"), {}},
    };
    FfmpegConverter engine(2);
    for (const Row& row : rows)
        ASSERT_TRUE(engine.add({row.source, row.output, TargetFormat::Ogg, {}}));
    ASSERT_TRUE(WriteFile(taken, "mine"));
    RunToEnd(engine);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int item = static_cast<int>(i);
        EXPECT_EQ(engine.State(item), rows[i].reason.isEmpty() ? State::Converted : State::Failed)
            << rows[i].what;
        EXPECT_EQ(engine.FailureReason(item), rows[i].reason) << rows[i].what;
    }
    EXPECT_EQ(Digest(taken), QCryptographicHash::hash("mine", QCryptographicHash::Sha1));
    QStringList expected{u"corrupt.mp3"_s, u"good.ogg"_s, u"good.wav"_s,
                         u"taken.ogg"_s,   longName,      live};
    expected.sort();
    EXPECT_EQ(Entries(dir.path()), expected);
}

TEST(Engine, AFullDiskFailsTheItemWithTheSystemsReasonAndPublishesNothing) {
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    QTemporaryDir dir;
    const QString source = dir.filePath("big.wav");
    ASSERT_TRUE(MakeTone(source, 10.0)); // 1.7 MB of PCM
    const QString small = dir.filePath("small");
    ASSERT_TRUE(QDir().mkpath(small));
    if (::mount("tmpfs", QFile::encodeName(small).constData(), "tmpfs", 0, "size=512k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    FfmpegConverter engine(1);
    ASSERT_TRUE(engine.add({source, small + u"/big.wav"_s, TargetFormat::Wav, {}}));
    ASSERT_TRUE(engine.add({source, small + u"/big.mp3"_s, TargetFormat::Mp3, {}}));
    RunToEnd(engine);
    EXPECT_EQ(engine.State(0), State::Failed);
    EXPECT_EQ(engine.FailureReason(0), u"No space left on device"_s);
    // The next item had the room the first one gave back.
    EXPECT_EQ(engine.State(1), State::Converted) << engine.FailureReason(1);
    EXPECT_EQ(Entries(small), QStringList{"big.mp3"});
    ::umount(QFile::encodeName(small).constData());
}

class Conversion : public ::testing::Test, protected Around {
protected:
    QString Tone(const QString& name, double seconds, int channels = 2) {
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        EXPECT_TRUE(MakeTone(path, seconds, 44100, channels));
        return path;
    }
    void Open(const char* format, bool deleteSources = true) {
        mod.targetName = QString::fromLatin1(format);
        mod.deleteSources = deleteSources;
        frm = std::make_unique<ConversionWindow>(
            mod,
            ConversionWindow::Parts{face, form, messages, engine, timer, list, subfolders, tracks,
                                    out, background, QStringLiteral(VELUNE_PROGRAM_DIR)});
        ASSERT_TRUE(frm->Start());
    }
    QStringList Files(const QString& folder) {
        return QDir(dir.filePath(folder)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    QTemporaryDir dir;
    ConverterSettings mod;
    FfmpegConverter engine{2};
    QStringList list;
    QStringList subfolders;
    std::vector<std::optional<SheetTrack>> tracks;
    QString out;
    std::unique_ptr<ConversionWindow> frm;
};

TEST_F(Conversion, ARunConvertsExactlyReportsTheFailureAndDeletesOnlyWhatWasConverted) {
    const QString ogg = Tone("in/mono.ogg", 2.0, 1);
    const QString wav = dir.filePath("in/Rock 'n' Roll — 東京.wav");
    ASSERT_TRUE(Tagged(Tone("plain.wav", 1.5), wav, {u"title=Rock 'n' Roll"_s, u"artist=東京"_s}));
    const QString corrupt = dir.filePath("in/corrupt.mp3");
    ASSERT_TRUE(WriteFile(corrupt, Noise(32 * 1024)));
    list = {wav, dir.filePath("in/missing.wav"), corrupt, ogg};
    Open("mp3");
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.Finished(); }, 120000));
    frm->Tick();
    EXPECT_EQ(face.store.value("_root.FileTxt"), u"Conversion complete"_s);
    EXPECT_EQ(messages.shown,
              (QStringList{"Input file dosen't exist", "These files could not be converted:\n\n" +
                                                           corrupt + " (not an audio file)"}));
    frm->OnFaceCommand(u"IDC_FS_OK"_s, u"undefined"_s);
    frm->Unload();

    const QString mp3 = dir.filePath("in/Rock n Roll — 東京.mp3");
    EXPECT_EQ(DecodedSamples(mp3, 2), 66150);
    const MediaInfo info = Probe(mp3);
    EXPECT_EQ(info.tags.value("title"), u"Rock 'n' Roll"_s);
    EXPECT_EQ(info.tags.value("artist"), u"東京"_s);
    EXPECT_EQ(DecodedSamples(dir.filePath("in/mono.mp3"), 1), 88200);
    // The converted sources went as asked; the one that failed stayed.
    EXPECT_EQ(Files(u"in"_s), (QStringList{"Rock n Roll — 東京.mp3", "corrupt.mp3", "mono.mp3"}));
}

// Through the window as in batch mode: outputs named from tags (a name that is not
// UTF-8 kept as its bytes for the title), then a run that skips them all and deletes
// none of their sources.
TEST_F(Conversion, APatternNamesTheOutputsAndASecondRunSkipsThem) {
    const QString latin1 = PathFromSystem(SystemName(dir.path()) + "/in/caf\xe9.wav");
    std::filesystem::rename(SystemPath(Tone("in/cafe.wav", 0.5, 1)), SystemPath(latin1));
    const QString tagged = dir.filePath("in/a.wav");
    ASSERT_TRUE(Tagged(Tone("plain.wav", 1.0), tagged, {u"artist=Ana"_s, u"title=One"_s}));
    list = {tagged, latin1};
    out = dir.filePath("out");
    QDir().mkpath(out);
    mod.pattern = u"{artist}/{title}"_s;
    const QString unnamed = out + u"/Unknown/"_s + PathFromSystem(QByteArray("caf\xe9.ogg"));
    for (const bool skip : {false, true}) {
        mod.skipExisting = skip;
        Open("ogg", skip);
        ASSERT_TRUE(QTest::qWaitFor([&] { return engine.Finished(); }, 120000));
        frm->Tick();
        frm->OnFaceCommand(u"IDC_FS_OK"_s, u"undefined"_s);
        frm->Unload();
        EXPECT_EQ(Files(u"out/Ana"_s), QStringList{"One.ogg"});
        EXPECT_TRUE(NameTaken(unnamed));
        const auto unknown = std::filesystem::directory_iterator(SystemPath(out + u"/Unknown"_s));
        EXPECT_EQ(std::distance(begin(unknown), end(unknown)), 1);
    }
    EXPECT_EQ(messages.shown, QStringList{"2 files were skipped: already converted."});
    EXPECT_TRUE(NameTaken(latin1) && QFile::exists(tagged));
    EXPECT_EQ(DecodedSamples(out + u"/Ana/One.ogg"_s, 2), 44100);
    std::filesystem::remove_all(SystemPath(dir.path()));
}

TEST_F(Conversion, AnAbandonedRunKeepsEverySourceAndLeavesNoPartialFile) {
    list = {Tone("x/one.wav", 30.0), Tone("x/two.wav", 30.0), Tone("x/three.wav", 30.0)};
    Open("ogg");
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.Position().value_or(0) > 0; }, 60000));
    frm->OnFaceCommand(u"IDC_FS_Close"_s, u"undefined"_s);
    frm->Unload();
    EXPECT_EQ(Files(u"x"_s), (QStringList{"one.wav", "three.wav", "two.wav"}));
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST(Batch, ArgumentsAreReadOrRefusedWithAReason) {
    QTemporaryDir dir;
    const QString jobs = u"--jobs takes a whole number from 1 up"_s;
    const std::vector<std::tuple<const char*, QString, QString>> rows{
        // what, arguments, error ("" = accepted)
        {"files first", u"a.wav --to wav b.mp3"_s, {}},
        {"no format", u"a.wav"_s, u"--to is missing"_s},
        {"unknown format", u"--to aac a.wav"_s,
         u"--to takes wav, mp3, ogg, flac or opus, not \"aac\""_s},
        {"upper-case format", u"--to MP3 a.wav"_s,
         u"--to takes wav, mp3, ogg, flac or opus, not \"MP3\""_s},
        {"no files", u"--to wav"_s, u"no files to convert"_s},
        {"value missing", u"a.wav --to"_s, u"--to needs a value"_s},
        {"jobs not a number", u"--to wav --jobs two a.wav"_s, jobs},
        {"jobs zero", u"--to wav --jobs 0 a.wav"_s, jobs},
        {"out not a folder", u"--to wav --out %1/none a.wav"_s,
         u"--out: \"%1/none\" is not a folder"_s},
        {"unknown option", u"--to wav --force a.wav"_s, u"unknown option --force"_s},
        {"mp3 quality", u"--to mp3 --quality V2 a.wav"_s, {}},
        {"a quality mp3 does not take", u"--to mp3 --quality 160 a.wav"_s,
         u"--quality: mp3 takes 128, 192, 256, 320, v0, v2, v4, not \"160\""_s},
        {"a quality ogg does not take", u"--to ogg --quality q9 a.wav"_s,
         u"--quality: ogg takes q3, q4, q5, q6, q7, q8, not \"q9\""_s},
        {"wav takes none", u"--to wav --quality 320 a.wav"_s, u"--quality: wav takes no quality"_s},
        {"opus bit rate", u"--to opus --quality 160 a.wav"_s, {}},
        {"shape", u"--to flac --rate 48000 --channels mono --bits 24 a.flac"_s, {}},
        {"copies and times", u"--to mp3 --copy-same --keep-times a.mp3"_s, {}},
        {"a rate it does not take", u"--to wav --rate 22050 a.wav"_s,
         u"--rate takes source, 44100, 48000, not \"22050\""_s},
        {"channels by number", u"--to wav --channels 2 a.wav"_s,
         u"--channels takes source, stereo, mono, not \"2\""_s},
        {"bits it does not take", u"--to wav --bits 32 a.wav"_s,
         u"--bits takes auto, 16, 24, not \"32\""_s},
        {"a pattern with a field that is none", u"--to mp3 --pattern {artist}/{nope} a.wav"_s,
         u"--pattern: no field {nope}; the fields are {artist}, {albumartist}, {album}, {title}, "
         "{track}, {disc}, {year}, {genre}, {stem}, {folder}"_s},
    };
    for (const auto& [what, arguments, error] : rows) {
        const BatchArguments parsed =
            ParseBatchArguments(Args(QString(arguments).replace(u"%1"_s, dir.path())));
        EXPECT_EQ(parsed.error, QString(error).replace(u"%1"_s, dir.path())) << what;
        EXPECT_EQ(parsed.options.has_value(), error.isEmpty()) << what;
    }
    // Every option, and "--" before a file named like one.
    const auto all = ParseBatchArguments(
        Args(u"--to ogg --quality q6 --replaygain --out %1 --jobs 3 --delete-sources -- --to"_s.arg(
            dir.path())));
    ASSERT_TRUE(all.options);
    EXPECT_EQ(std::tie(all.options->format, all.options->quality, all.options->replayGain,
                       all.options->out, all.options->jobs, all.options->deleteSources,
                       all.options->files),
              std::make_tuple(u"ogg"_s, Quality{Quality::Kind::Level, 6}, true, dir.path(), 3, true,
                              QStringList{"--to"}));
    EXPECT_TRUE(ParseBatchArguments({u"--help"_s}).help);
    EXPECT_TRUE(ParseBatchArguments({u"--version"_s}).version);
    const auto shaped = ParseBatchArguments(
        Args(u"--to flac --rate 44100 --channels mono --bits 16 --copy-same --keep-times "
             "--true-peak --prevent-clipping a"_s));
    ASSERT_TRUE(shaped.options);
    EXPECT_EQ(shaped.options->output, (OutputOptions{{44100, 1, 16}, true, true, true, true}));

    // The help and the manual page name the same options.
    const auto options = [](const QString& text) {
        static const QRegularExpression option(u"^\\s*\\*?(--[a-z-]+)"_s,
                                               QRegularExpression::MultilineOption);
        QStringList found;
        for (auto it = option.globalMatch(text); it.hasNext();)
            found << it.next().captured(1);
        found.removeDuplicates();
        found.sort();
        return found;
    };
    QFile manual(QStringLiteral(MANUAL_DIR "/VeluneConverter.1.scd"));
    ASSERT_TRUE(manual.open(QIODevice::ReadOnly));
    const QStringList help = options(BatchUsage());
    EXPECT_EQ(help.size(), 18) << help.join(u' ');
    EXPECT_EQ(options(QString::fromUtf8(manual.readAll())), help);
}

// The output's shape as asked: another rate, fewer channels, other bits (dithered
// going down); lossy sources already in the target format copied bit for bit, with
// ReplayGain tags only where asked; outputs with their sources' times.
TEST(Engine, TheOutputsShapeCopiesAndTimesAreAsAsked) {
    QTemporaryDir dir;
    const auto file = [&](const char* name) { return dir.filePath(QString::fromLatin1(name)); };
    ASSERT_TRUE(MakeTone(file("hires.flac"), 2.0, 96000, 2, Args(u"-sample_fmt s32"_s)));
    ASSERT_TRUE(MakeTone(file("cd.wav"), 2.0, 48000, 2));
    ASSERT_TRUE(MakeTone(file("lossy.mp3"), 2.0, 44100, 2));
    ASSERT_TRUE(MakeTone(file("lossy48.mp3"), 2.0, 48000, 2));
    ASSERT_TRUE(MakeTone(file("lossy.ogg"), 2.0, 44100, 2));
    ASSERT_TRUE(MakeTone(file("lossy.opus"), 2.0, 48000, 2));
    struct Row {
        const char* source;
        const char* output;
        TargetFormat format;
        OutputOptions options;
        bool replayGain;
        // What comes out: rate, channels, sample format, copied as it is.
        int rate, channels;
        const char* sampleFormat;
        bool copied;
    };
    const OutputOptions copy{{}, true, false};
    const std::vector<Row> rows{
        {"hires.flac",
         "a.flac",
         TargetFormat::Flac,
         {{44100, 0, 16}},
         false,
         44100,
         2,
         "s16",
         false},
        {"hires.flac", "b.wav", TargetFormat::Wav, {{0, 1, 24}}, false, 96000, 1, "s32", false},
        {"hires.flac", "c.flac", TargetFormat::Flac, {}, false, 96000, 2, "s32", false},
        {"cd.wav", "d.mp3", TargetFormat::Mp3, {{44100, 1, 0}}, false, 44100, 1, "fltp", false},
        {"cd.wav", "e.ogg", TargetFormat::Ogg, {{44100, 0, 0}}, false, 44100, 2, "fltp", false},
        {"lossy.mp3", "f.mp3", TargetFormat::Mp3, copy, false, 44100, 2, "fltp", true},
        {"lossy.ogg", "g.ogg", TargetFormat::Ogg, copy, true, 44100, 2, "fltp", true},
        {"lossy.opus", "h.opus", TargetFormat::Opus, copy, false, 48000, 2, "fltp", true},
        {"lossy.ogg", "i.mp3", TargetFormat::Mp3, copy, false, 44100, 2, "fltp", false},
        {"hires.flac", "j.ogg", TargetFormat::Ogg, copy, false, 96000, 2, "fltp", false},
        // A copy gives only what the file is: the codec, not the container, and the
        // rate and channels asked for.
        {"lossy.opus", "m.ogg", TargetFormat::Ogg, copy, false, 48000, 2, "fltp", false},
        {"lossy.ogg", "n.opus", TargetFormat::Opus, copy, false, 48000, 2, "fltp", false},
        {"lossy.mp3",
         "o.mp3",
         TargetFormat::Mp3,
         {{0, 1, 0}, true},
         false,
         44100,
         1,
         "fltp",
         false},
        {"lossy48.mp3",
         "p.mp3",
         TargetFormat::Mp3,
         {{44100, 0, 0}, true},
         false,
         44100,
         2,
         "fltp",
         false},
    };
    FfmpegConverter engine(2);
    for (const Row& row : rows) {
        OutputOptions options = row.options;
        options.keepTimes = true;
        ASSERT_TRUE(engine.add(
            {file(row.source), file(row.output), row.format, {}, row.replayGain, options}));
    }
    // Sources from another day: their outputs take that day.
    const QDateTime day(QDate(2001, 2, 3), QTime(4, 5, 6));
    for (const char* source :
         {"hires.flac", "cd.wav", "lossy.mp3", "lossy48.mp3", "lossy.ogg", "lossy.opus"}) {
        QFile f(file(source));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite) &&
                    f.setFileTime(day, QFileDevice::FileModificationTime));
    }
    RunToEnd(engine);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        const QString output = file(row.output);
        SCOPED_TRACE(row.output);
        ASSERT_EQ(engine.State(static_cast<int>(i)), State::Converted)
            << engine.FailureReason(static_cast<int>(i));
        EXPECT_EQ(engine.Copied(static_cast<int>(i)), row.copied);
        const MediaInfo got = Probe(output);
        EXPECT_EQ(std::tuple(got.sampleRate, got.channels, got.sampleFormat),
                  std::tuple(row.rate, row.channels, QString::fromLatin1(row.sampleFormat)));
        EXPECT_EQ(QFileInfo(output).lastModified(), day);
        const qint64 source = DecodedSamples(file(row.source), 2);
        const qint64 rate = Probe(file(row.source)).sampleRate;
        EXPECT_NEAR(DecodedSamples(output, row.channels), double(source) * row.rate / rate,
                    row.rate == rate ? 0 : 2);
        if (row.copied && !row.replayGain) {
            EXPECT_EQ(Digest(output), Digest(file(row.source)));
        }
        if (row.copied && row.replayGain) {
            EXPECT_EQ(DecodedPcm(output), DecodedPcm(file(row.source)));
            EXPECT_TRUE(got.tags.contains(u"replaygain_track_gain"_s));
        }
    }
    // Going down to 16 bits is dithered, the default depth too, from a deeper source
    // or a lossy one: not the samples cut short as FFmpeg's own conversion does.
    FfmpegConverter again(2);
    const std::vector<std::tuple<const char*, const char*, int>> dithered{
        {"hires.flac", "k.wav", 16}, {"hires.flac", "l.wav", 0}, {"lossy.mp3", "q.wav", 0}};
    for (const auto& [source, output, bits] : dithered)
        ASSERT_TRUE(
            again.add({file(source), file(output), TargetFormat::Wav, {}, false, {{0, 0, bits}}}));
    RunToEnd(again);
    for (const auto& [source, output, bits] : dithered) {
        SCOPED_TRACE(output);
        const QByteArray cut = RunTool(u"ffmpeg"_s, Args(u"-nostdin -v error -i"_s)
                                                        << file(source) << Args(u"-f s16le -"_s))
                                   .value_or(QByteArray());
        const QByteArray ours = DecodedPcm(file(output));
        EXPECT_EQ(ours.size(), cut.size());
        EXPECT_NE(ours, cut);
    }
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
Result Convert(const QString& arguments) {
    return Convert(Args(arguments));
}

TEST(Batch, ExitStatusSummaryAndFailuresFromARealRun) {
    QTemporaryDir dir;
    const QString good = dir.filePath("good.wav");
    ASSERT_TRUE(MakeTone(good, 1.0));
    const QString corrupt = dir.filePath("corrupt.ogg");
    ASSERT_TRUE(WriteFile(corrupt, Noise(4096)));

    // Every file converts: 0, and the source is deleted as asked.
    const Result all = Convert(u"--to mp3 --delete-sources "_s + good);
    EXPECT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(all.out, u"Converted 1, skipped 0, failed 0.\n"_s);
    EXPECT_FALSE(QFile::exists(good));
    EXPECT_EQ(DecodedSamples(dir.filePath("good.mp3"), 2), 44100);

    // Some fail: 1, each failure named with its reason; nothing is overwritten.
    const Result some =
        Convert(u"--to mp3 --jobs 1 %1/good.mp3 %2 %1/gone.wav"_s.arg(dir.path(), corrupt));
    EXPECT_EQ(some.status, 1);
    EXPECT_EQ(some.out, u"Converted 1, skipped 0, failed 2.\n"_s);
    EXPECT_TRUE(some.err.contains(corrupt + u": not an audio file"_s)) << some.err;
    EXPECT_TRUE(some.err.contains("gone.wav: No such file")) << some.err;
    EXPECT_TRUE(QFile::exists(dir.filePath("good 1.mp3")));

    // An MP3 for an MP3 target, copied as asked, and counted so.
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"copies"_s));
    const Result copied =
        Convert(u"--to mp3 --copy-same --out %1/copies %1/good.mp3"_s.arg(dir.path()));
    EXPECT_EQ(copied.out, u"Converted 0, copied 1, skipped 0, failed 0.\n"_s);
    EXPECT_EQ(Digest(dir.filePath("copies/good.mp3")), Digest(dir.filePath("good.mp3")));

    // Bad usage: 2 with the usage text; --help: 0.
    const Result bad = Convert(u"--to aac "_s + corrupt);
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(bad.err.contains("Usage: VeluneConverter --to wav|mp3|ogg|flac|opus"));
    const Result help = Convert(u"--help"_s);
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith(u"Usage:"_s));
}

// CD images with their sheets: three tracks whose marks are no whole seconds, one
// with a pregap. Lossless tracks join to the image sample for sample; MP3 and Opus
// tracks decode to their exact lengths; the tags come from the sheet; an image
// beside its sheet converts once, as its tracks; a sheet without its audio says so.
TEST(Batch, ACueSheetSplitsItsImageIntoExactTracks) {
    QTemporaryDir dir;
    const auto file = [&](const QString& name) { return dir.filePath(name); };
    ASSERT_TRUE(QDir(dir.path()).mkpath(u"rip"_s) && QDir(dir.path()).mkpath(u"out"_s));
    ASSERT_TRUE(MakeTone(file(u"rip/Disc.flac"_s), 9.5, 44100, 2, Args(u"-sample_fmt s16"_s)));
    ASSERT_TRUE(MakeTone(file(u"rip/Disc.wav"_s), 9.5, 44100, 2));
    const QByteArray sheet = "REM DATE 1999\r\nREM DISCNUMBER 2\r\nPERFORMER \"Ana\"\r\n"
                             "TITLE \"Caf\xe9\"\r\nFILE \"Disc.wav\" WAVE\r\n"
                             "  TRACK 01 AUDIO\r\n    TITLE \"Intro\"\r\n    INDEX 01 00:00:00\r\n"
                             "  TRACK 02 AUDIO\r\n    TITLE \"Two\"\r\n    PERFORMER \"Bo\"\r\n"
                             "    INDEX 00 00:02:40\r\n    INDEX 01 00:03:17\r\n"
                             "  TRACK 03 AUDIO\r\n    INDEX 01 00:06:74\r\n";
    ASSERT_TRUE(WriteFile(file(u"rip/Disc.cue"_s), sheet));
    // Written for the WAV: the FLAC beside it (same name, another extension) serves too.
    const qint64 lengths[] = {242 * 588, (524 - 242) * 588, 418950 - 524 * 588};
    const QStringList names{u"01 Intro"_s, u"02 Two"_s, u"03 Track 3"_s};
    for (const char* to : {"flac", "wav", "mp3", "opus"}) {
        SCOPED_TRACE(to);
        const QString out = file(u"out/"_s + QLatin1String(to));
        ASSERT_TRUE(QDir().mkpath(out));
        const Result run =
            Convert(u"--to %1 --out %2 %3"_s.arg(QLatin1String(to), out, file(u"rip/Disc.cue"_s)));
        ASSERT_EQ(run.out, u"Converted 3, skipped 0, failed 0.\n"_s) << run.err;
        QByteArray joined;
        for (int t = 0; t < 3; ++t) {
            const QString track = out + u'/' + names[t] + u'.' + QLatin1String(to);
            const bool opus = QLatin1String(to) == "opus"_L1;
            EXPECT_EQ(DecodedSamples(track, 2), opus ? lengths[t] * 48000 / 44100 : lengths[t])
                << names[t].toStdString();
            if (QLatin1String(to) == "mp3"_L1) {
                EXPECT_EQ(DecodedSamplesBy(u"mpg123"_s, track, 2), lengths[t]);
            }
            joined += DecodedPcm(track);
        }
        if (QLatin1String(to) == "flac"_L1 || QLatin1String(to) == "wav"_L1) {
            EXPECT_TRUE(joined == DecodedPcm(file(u"rip/Disc.wav"_s)));
        }
        const MediaInfo two = Probe(out + u"/02 Two."_s + QLatin1String(to));
        EXPECT_EQ(two.tags.value(u"title"_s), u"Two"_s);
        EXPECT_EQ(two.tags.value(u"artist"_s), u"Bo"_s);
        EXPECT_EQ(two.tags.value(u"album"_s), u"Café"_s);
        EXPECT_EQ(two.tags.value(u"date"_s), u"1999"_s);
        EXPECT_TRUE(two.tags.value(u"track"_s).startsWith(u"2"_s));
    }
    // A second run skips the tracks already there.
    const Result again = Convert(u"--to flac --skip-existing --out %1 %2"_s.arg(
        file(u"out/flac"_s), file(u"rip/Disc.cue"_s)));
    EXPECT_EQ(again.out, u"Converted 0, skipped 3, failed 0.\n"_s) << again.err;
    // Naming patterns take the tracks' tags.
    const Result named = Convert(QStringList{
        u"--to"_s, u"wav"_s, u"--out"_s, file(u"out"_s), u"--pattern"_s,
        u"{albumartist}/{album}/{track:02} {artist} - {title}"_s, file(u"rip/Disc.cue"_s)});
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_TRUE(QFile::exists(file(u"out/Ana/Café/02 Bo - Two.wav"_s)));
    // A folder with the sheet beside its images: the tracks, not the images.
    ASSERT_TRUE(QDir().mkpath(file(u"out/folder"_s)));
    const Result folder =
        Convert(u"--to mp3 --out %1 %2"_s.arg(file(u"out/folder"_s), file(u"rip"_s)));
    EXPECT_TRUE(folder.out.startsWith(u"Converted 4, skipped 0, failed 0.\n"_s)) << folder.out;
    // The WAV that the sheet names stands for its tracks; the FLAC beside it is its own file.
    EXPECT_TRUE(QFile::exists(file(u"out/folder/01 Intro.mp3"_s)));
    EXPECT_TRUE(QFile::exists(file(u"out/folder/Disc.mp3"_s)));
    // An image whose tags hold its sheet.
    ASSERT_TRUE(Tagged(file(u"rip/Disc.flac"_s), file(u"Image.flac"_s),
                       {u"CUESHEET="_s + QString::fromLatin1(sheet)}));
    const Result embedded =
        Convert(u"--to wav --out %1 %2"_s.arg(file(u"out"_s), file(u"Image.flac"_s)));
    EXPECT_EQ(embedded.out, u"Converted 3, skipped 0, failed 0.\n"_s) << embedded.err;
    // The audio gone: the message names the sheet and the file it names.
    ASSERT_TRUE(QFile::remove(file(u"rip/Disc.wav"_s)) && QFile::remove(file(u"rip/Disc.flac"_s)));
    const Result missing =
        Convert(u"--to mp3 --out %1 %2"_s.arg(file(u"out"_s), file(u"rip/Disc.cue"_s)));
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains(
        u"The audio of the cue sheet '%1' is missing: 'Disc.wav'"_s.arg(file(u"rip/Disc.cue"_s))))
        << missing.err;
}

// A library: folders mirrored under the output folder, what is no audio passed over,
// a loop not followed, a file named twice converted once, a name that is not UTF-8
// kept to its bytes; a second run with --skip-existing writes nothing, one without it
// numbers its outputs.
TEST(Batch, ALibraryFolderIsMirroredAndASecondRunSkipsWhatIsDone) {
    QTemporaryDir dir;
    const QString library = dir.filePath("library");
    const QString out = dir.filePath("out");
    const QStringList songs{"Artist A/Album 1/01 Intro.flac", "Artist A/Album 1/02 Song.flac",
                            "Artist B/Album 2/01 Intro.flac"};
    for (const QString& song : songs) {
        QDir().mkpath(QFileInfo(library + u'/' + song).absolutePath());
        ASSERT_TRUE(MakeTone(library + u'/' + song, 0.5, 44100, 1));
    }
    ASSERT_TRUE(WriteFile(library + u"/notes.txt"_s, "not audio"));
    ASSERT_TRUE(WriteFile(library + u"/Artist A/cover.jpg"_s, Noise(2048)));
    ASSERT_TRUE(QFile::link(library, library + u"/Artist B/loop"_s));
    ASSERT_TRUE(MakeTone(library + u"/Artist B/cafe.wav"_s, 0.5, 44100, 1));
    const QString latin1 = PathFromSystem(QByteArray("caf\xe9"));
    std::filesystem::rename(SystemPath(library + u"/Artist B/cafe.wav"_s),
                            SystemPath(library + u"/Artist B/"_s + latin1 + u".wav"_s));
    QDir().mkpath(out);
    const auto outputs = [&] {
        QStringList found;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(SystemPath(out)))
            if (entry.is_regular_file())
                found << PathFromSystem(entry.path().lexically_relative(SystemPath(out)));
        found.sort();
        return found;
    };
    const QStringList run{u"--to"_s, u"mp3"_s, u"--out"_s,
                          out,       library,  library + u"/Artist A/Album 1/02 Song.flac"_s};

    const Result first = Convert(run);
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, u"Converted 4, skipped 0, failed 0.\n"
                         "2 files in the folders were passed over: not audio.\n"
                         "Given more than once, converted once:\n  %1\n"_s.arg(
                             library + u"/Artist A/Album 1/02 Song.flac"_s));
    EXPECT_TRUE(first.err.contains(u"loop: a link back to a folder already added"_s)) << first.err;
    const QStringList mirrored{"Artist A/Album 1/01 Intro.mp3", "Artist A/Album 1/02 Song.mp3",
                               "Artist B/Album 2/01 Intro.mp3", "Artist B/" + latin1 + ".mp3"};
    EXPECT_EQ(outputs(), mirrored);
    EXPECT_EQ(DecodedSamples(out + u"/Artist B/Album 2/01 Intro.mp3"_s, 1), 22050);

    const Result again = Convert(QStringList(run) << u"--skip-existing"_s);
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_TRUE(again.out.startsWith(u"Converted 0, skipped 4, failed 0.\n"_s)) << again.out;
    EXPECT_EQ(outputs(), mirrored);

    // An output cut short is no converted file: that source converts again, numbered.
    ASSERT_TRUE(WriteFile(out + u"/Artist A/Album 1/01 Intro.mp3"_s, Noise(100)));
    const Result partly = Convert(QStringList(run) << u"--skip-existing"_s);
    EXPECT_TRUE(partly.out.startsWith(u"Converted 1, skipped 3, failed 0.\n"_s)) << partly.out;
    EXPECT_TRUE(QFile::exists(out + u"/Artist A/Album 1/01 Intro 1.mp3"_s));
    const Result numbered = Convert(run);
    EXPECT_TRUE(numbered.out.startsWith(u"Converted 4, skipped 0, failed 0.\n"_s));
    EXPECT_TRUE(QFile::exists(out + u"/Artist B/Album 2/01 Intro 1.mp3"_s));
    EXPECT_TRUE(NameTaken(out + u"/Artist B/"_s + latin1 + u" 1.mp3"_s));

    // The same name on the command line, as its bytes: converted beside it, and deleted.
    const QString source = library + u"/Artist B/"_s + latin1 + u".wav"_s;
    QProcess shell;
    shell.start(u"/bin/sh"_s, {u"-c"_s,
                               u"exec \"$0\" --to ogg --delete-sources \"$(printf "
                               u"'%s/Artist B/caf\\351.wav' \"$1\")\""_s,
                               QStringLiteral(CONVERTER), library});
    ASSERT_TRUE(shell.waitForFinished(120000));
    EXPECT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().constData();
    EXPECT_EQ(shell.readAllStandardOutput(), "Converted 1, skipped 0, failed 0.\n");
    EXPECT_FALSE(NameTaken(source));
    const QString ascii = dir.filePath("latin1.ogg");
    std::filesystem::copy_file(SystemPath(library + u"/Artist B/"_s + latin1 + u".ogg"_s),
                               SystemPath(ascii));
    EXPECT_EQ(DecodedSamples(ascii, 1), 22050);

    // Names from tags: a tagged song, one with a "/" in its title, one without tags.
    const QString tagged = dir.filePath("tagged");
    QDir().mkpath(tagged);
    ASSERT_TRUE(Tagged(library + u'/' + songs[0], tagged + u"/a.flac"_s,
                       {u"artist=Ana"_s, u"album=First"_s, u"title=Intro"_s, u"track=1"_s}));
    ASSERT_TRUE(Tagged(library + u'/' + songs[1], tagged + u"/b.flac"_s,
                       {u"artist=Ana"_s, u"album=First"_s, u"title=Live/Studio"_s, u"track=12"_s}));
    ASSERT_TRUE(QFile::copy(library + u'/' + songs[2], tagged + u"/c.flac"_s));
    const QString named = dir.filePath("named");
    QDir().mkpath(named);
    const Result patterned = Convert({u"--to"_s, u"ogg"_s, u"--out"_s, named, u"--pattern"_s,
                                      u"{albumartist}/{album}/{track:02} {title}"_s, tagged});
    EXPECT_EQ(patterned.status, 0) << patterned.err;
    QStringList byTags;
    QDirIterator it(named, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        byTags << QDir(named).relativeFilePath(it.next());
    byTags.sort();
    EXPECT_EQ(byTags, (QStringList{"Ana/First/01 Intro.ogg", "Ana/First/12 Live_Studio.ogg",
                                   "Unknown/Unknown/Unknown c.ogg"}));
    std::filesystem::remove_all(SystemPath(dir.path())); // QDir cannot name every file
}

} // namespace
