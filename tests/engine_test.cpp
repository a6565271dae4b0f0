// The conversion engine on generated files: alone, behind the conversion window, in batch mode.
#include "audio_decoder.h"
#include "batch.h"
#include "conversion_window.h"
#include "fakes.h"
#include "ffmpeg_converter.h"
#include "media.h"
#include "replay_gain.h"
#include "system_names.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace velune;
using namespace velune::test;
using State = ConverterEngine::ItemState;
using enum TargetFormat;

namespace {

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
    {Wav, {}, u"wav"_s, u"pcm_s16le"_s},
    {Mp3, {}, u"mp3"_s, u"mp3 192k"_s},
    {Mp3, {Quality::Kind::BitRate, 320}, u"320.mp3"_s, u"mp3 320k"_s},
    {Mp3, {Quality::Kind::Vbr, 2}, u"v2.mp3"_s, u"mp3 VBR"_s},
    {Ogg, {}, u"ogg"_s, u"vorbis"_s},
    {Ogg, {Quality::Kind::Level, 8}, u"q8.ogg"_s, u"vorbis"_s},
    {Flac, {}, u"flac"_s, u"flac"_s},
    {Opus, {}, u"opus"_s, u"opus"_s},
    {Opus, {Quality::Kind::BitRate, 96}, u"96.opus"_s, u"opus"_s},
    {Alac, {}, u"alac.m4a"_s, u"alac"_s}};

// What a file holds: its codec, and for MP3 its bit rate or "VBR" (a Xing header).
QString Encoding(const QString& path, const MediaInfo& got) {
    if (got.codec != "mp3"_L1)
        return got.codec;
    return ReadBytes(path).contains("Xing") ? u"mp3 VBR"_s : u"mp3 %1k"_s.arg(got.bitRate / 1000);
}

// Every source to every target and shapes and copies as asked, after failures kept to their items.
TEST(Engine, EveryOutputHasTheShapeAskedAndKeepsEverySample) {
    struct Source {
        QString name;
        int rate, channels;
        QString codec;
        bool everyTarget;
    };
    const std::vector<Source> sources{
        {u"pcm16.wav"_s, 48000, 2, {}, true},
        {u"pcm24.wav"_s, 44100, 1, u"-c:a pcm_s24le"_s, true},
        {u"lame.mp3"_s, 44100, 2, u"-b:a 128k"_s, true},
        {u"vorbis.ogg"_s, 44100, 1, {}, true},
        {u"aac.m4a"_s, 44100, 2, {}, true},
        {u"hires.flac"_s, 96000, 2, u"-sample_fmt s32"_s, true}, // above what MP3 takes
        {u"opus.opus"_s, 48000, 2, {}, false},
        {u"alac.m4a"_s, 44100, 2, u"-c:a alac"_s, false},
    };
    QTemporaryDir dir;
    const auto file = [&](const QString& name) { return dir.filePath(name); };
    std::vector<QByteArray> before;
    for (const Source& source : sources) {
        ASSERT_TRUE(
            MakeTone(file(source.name), 3.0, source.rate, source.channels, Args(source.codec)));
        before.push_back(ReadBytes(file(source.name)));
    }
    struct Job {
        QString source, output;
        TargetFormat format;
        Quality quality;
        OutputOptions options;
        bool replayGain;
        int rate, channels;
        QString holds; // its encoding (as Encoding names it) or its sample format
        bool copied;
    };
    const OutputOptions copy{{}, true}, copyMono{{0, 1, 0}, true}, copy48k{{48000, 0, 0}, true};
    const OutputOptions cd16{{44100, 0, 16}}, mono24{{0, 1, 24}}, monoCd{{44100, 1, 0}};
    // clang-format off
    std::vector<Job> jobs{
        {"hires.flac", "a.flac", Flac, {}, cd16, false, 44100, 2, "s16", false},
        {"hires.flac", "b.wav", Wav, {}, mono24, false, 96000, 1, "s32", false},
        {"pcm16.wav", "d.mp3", Mp3, {}, monoCd, false, 44100, 1, "fltp", false},
        {"lame.mp3", "f.mp3", Mp3, {}, copy, false, 44100, 2, "fltp", true},
        {"vorbis.ogg", "g.ogg", Ogg, {}, copy, true, 44100, 1, "fltp", true},
        {"opus.opus", "h.opus", Opus, {}, copy, false, 48000, 2, "fltp", true},
        {"vorbis.ogg", "i.mp3", Mp3, {}, copy, false, 44100, 1, "fltp", false},
        // A copy only of the codec (not the container), and of the rate and channels asked for.
        {"opus.opus", "m.ogg", Ogg, {}, copy, false, 48000, 2, "fltp", false},
        {"lame.mp3", "o.mp3", Mp3, {}, copyMono, false, 44100, 1, "fltp", false},
        {"lame.mp3", "p.mp3", Mp3, {}, copy48k, false, 48000, 2, "fltp", false},
        {"hires.flac", "k.wav", Wav, {}, {{0, 0, 16}}, false, 96000, 2, "s16", false},
        // AAC for M4A and ALAC for ALAC; ALAC takes the shape asked for as FLAC does.
        {"aac.m4a", "r.m4a", M4a, {}, copy, true, 44100, 2, "fltp", true},
        {"alac.m4a", "s.m4a", Alac, {}, copy, false, 44100, 2, "s16p", true},
        {"pcm16.wav", "t.m4a", Alac, {}, mono24, false, 48000, 1, "s32p", false},
        {"hires.flac", "u.m4a", Alac, {}, cd16, false, 44100, 2, "s16p", false},
    };
    // clang-format on
    for (const Source& source : sources)
        for (const auto& [format, quality, extension, encoding] : kTargets) {
            const int rate =
                format == Opus || (format == Mp3 && source.rate > 48000) ? 48000 : source.rate;
            if (source.everyTarget)
                jobs.emplace_back(source.name, source.name + u'.' + extension, format, quality,
                                  OutputOptions{}, false, rate, source.channels, encoding, false);
        }
    // A folder that is a file, a taken name, a 255-byte name; a live run's leftover stays.
    const QString taken = file(u"taken.ogg"_s), good = file(u"pcm16.wav"_s);
    const QString longName = QString(251, u'x') + u".ogg"_s;
    const QString live = u".old.ogg.velune-%1-1.part"_s.arg(getppid());
    ASSERT_TRUE(WriteFile(file(live)));
    const std::vector<std::tuple<QString, QString, QString>> failures{
        {good, good + u"/x.ogg"_s, u"Not a directory"_s},
        {good, taken, taken + u" appeared meanwhile and was kept"_s},
        {good, file(longName), {}}};
    FfmpegConverter engine(2);
    for (const auto& [source, output, reason] : failures)
        ASSERT_TRUE(engine.add({source, output, Ogg, {}}));
    for (const Job& job : jobs)
        ASSERT_TRUE(engine.add({file(job.source), file(job.output), job.format, job.quality,
                                job.replayGain, job.options}));
    ASSERT_TRUE(WriteFile(taken, "mine"));
    RunToEnd(engine);
    int item = 0;
    for (const auto& [source, output, reason] : failures) {
        EXPECT_EQ(engine.State(item), reason.isEmpty() ? State::Converted : State::Failed) << item;
        EXPECT_EQ(engine.FailureReason(item++), reason);
    }
    EXPECT_EQ(ReadBytes(taken), "mine");
    for (const Job& job : jobs) {
        const QString output = file(job.output), source = file(job.source);
        SCOPED_TRACE(job.output.toStdString());
        ASSERT_EQ(engine.State(item), State::Converted) << engine.FailureReason(item);
        EXPECT_EQ(engine.Copied(item++), job.copied);
        const MediaInfo got = Probe(output), from = Probe(source);
        EXPECT_EQ(std::tuple(got.sampleRate, got.channels), std::tuple(job.rate, job.channels));
        EXPECT_TRUE(job.holds == Encoding(output, got) || job.holds == got.sampleFormat)
            << Encoding(output, got).toStdString() << " " << got.sampleFormat.toStdString();
        // Three seconds each, an AAC source's padding left out; a copy decodes as its source.
        const qint64 samples =
            job.copied ? DecodedSamples(source, from.channels) : 3 * from.sampleRate;
        EXPECT_NEAR(DecodedSamples(output, job.channels),
                    static_cast<double>(samples) * job.rate / from.sampleRate,
                    job.rate == from.sampleRate ? 0 : 2);
        // Every MP3 decoder that users have trims what the LAME header says.
        if (job.format == Mp3 && job.channels == 2 && job.rate == from.sampleRate && !job.copied) {
            EXPECT_EQ(DecodedSamplesBy(u"mpg123"_s, output, 2), samples);
            EXPECT_EQ(DecodedSamplesBy(u"gstreamer"_s, output, 2), samples);
        }
        if (job.copied && !job.replayGain) {
            EXPECT_TRUE(ReadBytes(output) == ReadBytes(source));
        }
        if (job.copied && job.replayGain) {
            EXPECT_EQ(DecodedPcm(output), DecodedPcm(source));
            EXPECT_TRUE(got.tags.contains(u"replaygain_track_gain"_s));
        }
        // Going down to 16 bits is dithered, not cut short as FFmpeg's own conversion does.
        if (job.format == Wav && got.sampleFormat == "s16"_L1 && from.sampleFormat != "s16"_L1) {
            const QByteArray pcm = DecodedPcm(output);
            EXPECT_NE(pcm, DecodedPcm(source).left(pcm.size()));
        }
    }
    for (std::size_t s = 0; s < sources.size(); ++s)
        EXPECT_TRUE(ReadBytes(file(sources[s].name)) == before[s]) << s;
    // Lossless targets keep 16 and 24 bits sample for sample; only sources and outputs are left.
    const auto exact = [&](const QString& path) {
        return RunTool(u"ffmpeg"_s, Args(u"-nostdin -v error -i"_s)
                                        << file(path) << Args(u"-f s32le -"_s));
    };
    for (const QString& output :
         {u"pcm16.wav.wav"_s, u"pcm16.wav.flac"_s, u"pcm24.wav.flac"_s, u"hires.flac.flac"_s,
          u"pcm16.wav.alac.m4a"_s, u"pcm24.wav.alac.m4a"_s, u"hires.flac.alac.m4a"_s})
        EXPECT_EQ(exact(output), exact(output.section(u'.', 0, 1))) << output.toStdString();
    const QStringList left = Entries(dir.path());
    EXPECT_TRUE(left.contains(live) && left.contains(longName));
    EXPECT_EQ(left.size(), sources.size() + jobs.size() + 3); // taken, long name, leftover
}

// Track and album gains and true peaks as loudgain finds them, in the form each container keeps.
TEST(Engine, ReplayGainAgreesWithLoudgainPerTrackAndAlbum) {
    QTemporaryDir dir;
    const auto file = [&](const QString& name) { return dir.filePath(name); };
    const std::vector<std::pair<QString, QString>> tones{
        {u"loud"_s, u"sine=frequency=440:duration=3"_s},
        {u"quiet"_s, u"sine=frequency=1000:duration=3,volume=0.3"_s},
        {u"clicks"_s, u"aevalsrc=if(lt(t\\,0.02)\\,0.99\\,0.02)*sin(2*PI*997*t):d=3:s=44100"_s},
        // A quarter of the rate, 45 degrees on: the samples miss the peaks by 3 dB.
        {u"between"_s, u"aevalsrc=0.5*sin(2*PI*11025*t+PI/4):d=3:s=44100"_s}};
    for (const auto& [name, tone] : tones) {
        const bool inAlbum = name == "loud"_L1 || name == "quiet"_L1;
        ASSERT_TRUE(MakeFromLavfi(
            tone, file(name + u".flac"_s),
            Args(inAlbum ? u"-ac 2 -metadata album=A -metadata album_artist=X"_s : u"-ac 2"_s)));
    }
    const auto number = [](const QString& text) { return text.section(u' ', 0, 0).toDouble(); };
    // loudgain's figures: a row of cells per file, then the album's.
    const auto loudgain = [&](const QStringList& args) {
        QHash<QString, QStringList> rows;
        const QByteArray out = RunTool(u"loudgain"_s, Args(u"-q -O"_s) + args).value_or("");
        for (const QString& row : QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts).mid(1))
            rows.insert(QFileInfo(row.section(u'\t', 0, 0)).completeBaseName(), row.split(u'\t'));
        return rows;
    };
    const auto album = loudgain({u"-a"_s, file(u"loud.flac"_s), file(u"quiet.flac"_s)});
    ASSERT_EQ(album.size(), 3);
    const double betweenPeak = number(loudgain({file(u"between.flac"_s)})[u"between"_s].value(4));

    FfmpegConverter engine(2);
    const std::vector<std::pair<TargetFormat, QString>> targets{
        {Mp3, u"mp3"_s}, {Ogg, u"ogg"_s}, {Flac, u"flac"_s}, {Opus, u"opus"_s}, {M4a, u"m4a"_s}};
    for (const QString& stem : {u"loud"_s, u"quiet"_s})
        for (const auto& [format, extension] : targets)
            ASSERT_TRUE(engine.add(
                {file(stem + u".flac"_s), file(stem + u".out."_s + extension), format, {}, true}));
    const OutputOptions truePeak{{}, false, false, true, false}, safe{{}, false, false, true, true};
    const std::vector<std::tuple<QString, QString, TargetFormat, OutputOptions>> peaks{
        {u"between"_s, u"tp.flac"_s, Flac, truePeak},
        {u"between"_s, u"sp.flac"_s, Flac, {}},
        {u"clicks"_s, u"loud.clicks.mp3"_s, Mp3, {}},
        {u"clicks"_s, u"safe.mp3"_s, Mp3, safe},
        {u"clicks"_s, u"safe.opus"_s, Opus, safe}};
    for (const auto& [source, output, format, options] : peaks)
        ASSERT_TRUE(
            engine.add({file(source + u".flac"_s), file(output), format, {}, true, options}));
    RunToEnd(engine);
    static const QRegularExpression gainForm(u"^-?\\d+\\.\\d\\d dB$"_s);
    for (const QString& stem : {u"loud"_s, u"quiet"_s})
        for (const auto& [format, extension] : targets) {
            SCOPED_TRACE((stem + u'.' + extension).toStdString());
            const QHash<QString, QString> tags = Probe(file(stem + u".out."_s + extension)).tags;
            const bool opus = format == Opus; // R128 gains, relative to -23 LUFS
            const auto gain = [&](const char* scope) {
                return opus ? tags.value(u"r128_%1_gain"_s.arg(scope)).toInt() / 256.0 + 5
                            : number(tags.value(u"replaygain_%1_gain"_s.arg(scope)));
            };
            EXPECT_NEAR(gain("track"), number(album[stem].value(8)), 0.1);
            EXPECT_NEAR(gain("album"), number(album[u"Album"_s].value(8)), 0.1);
            EXPECT_EQ(gainForm.match(tags.value(u"replaygain_track_gain"_s)).hasMatch(), !opus)
                << tags.value(u"replaygain_track_gain"_s).toStdString();
            // The album's peak is its loudest track's (the first here), not its last's.
            if (!opus) {
                EXPECT_GE(number(tags.value(u"replaygain_album_peak"_s)),
                          number(Probe(file(u"loud.out."_s + extension))
                                     .tags.value(u"replaygain_track_peak"_s)));
            }
        }
    const auto value = [&](const QString& name, const QString& tag) {
        return number(Probe(file(name)).tags.value(tag));
    };
    EXPECT_NEAR(20 * std::log10(value(u"tp.flac"_s, u"replaygain_track_peak"_s)), betweenPeak, 0.1);
    EXPECT_LT(20 * std::log10(value(u"sp.flac"_s, u"replaygain_track_peak"_s)), betweenPeak - 2.0);
    const double peak = value(u"safe.mp3"_s, u"replaygain_track_peak"_s);
    EXPECT_GT(value(u"loud.clicks.mp3"_s, u"replaygain_track_gain"_s), 5.0); // quiet, loud clicks
    EXPECT_NEAR(value(u"safe.mp3"_s, u"replaygain_track_gain"_s) + 20 * std::log10(peak), -1.0,
                0.01);
    EXPECT_NEAR(value(u"safe.opus"_s, u"r128_track_gain"_s) / 256.0 + 20 * std::log10(peak), -1.0,
                0.05);
}

// The decoder both programs share lands on the very sample it is sent to, and knows its length.
TEST(Decoder, ASeekLandsOnTheSampleAndTheLengthIsExact) {
    QTemporaryDir dir;
    for (const QString& kind : {u"wav"_s, u"flac"_s, u"mp3"_s, u"ogg"_s, u"opus"_s, u"wv"_s}) {
        SCOPED_TRACE(kind.toStdString());
        const QString path = dir.filePath(u"noise."_s + kind);
        ASSERT_TRUE(
            MakeFromLavfi(u"anoisesrc=d=3.3:c=pink:r=44100:a=0.3:s=7"_s, path, {u"-ac"_s, u"1"_s}));
        const QByteArray bytes = DecodedPcm(path); // a whole decode at the decoder's own rate
        const auto* whole = reinterpret_cast<const qint16*>(bytes.constData());
        const qint64 total = bytes.size() / 2;

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
                ASSERT_NEAR(got[i] * 32768, whole[target + i], 3) << "at " << target << "+" << i;
        }
    }
}

// The player's tests hear the plain forms; these are the other spellings a gain comes in.
TEST(Decoder, LoudnessTagsInEverySpellingGiveTheirGain) {
    const std::vector<std::tuple<const char*, QString, double>> rows{
        {"REPLAYGAIN_TRACK_GAIN", u"\u22126.02 dB"_s, 0.5},
        {"R128_TRACK_GAIN", u"-2821"_s, 0.5}, // -11.02 dB at -23 LUFS
        {"REPLAYGAIN_TRACK_GAIN", u"loud"_s, 1}};
    for (const auto& [key, value, factor] : rows) {
        const ReplayGainTags tags = ReadReplayGain(
            [&](const char* name) { return qstrcmp(name, key) == 0 ? value : QString(); });
        EXPECT_NEAR(GainFactor(tags, ReplayGainMode::Album), factor, 1e-3) << key;
    }
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
    ASSERT_TRUE(engine.add({source, small + u"/big.wav"_s, Wav, {}}));
    ASSERT_TRUE(engine.add({source, small + u"/big.mp3"_s, Mp3, {}}));
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
        EXPECT_TRUE(MakeTone(dir.filePath(name), seconds, 44100, channels));
        return dir.filePath(name);
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
    // A whole run: opened, followed to its end, closed with OK.
    void Run(const char* format, bool deleteSources = true) {
        Open(format, deleteSources);
        ASSERT_TRUE(QTest::qWaitFor([&] { return engine.Finished(); }, 120000));
        frm->Tick();
        frm->OnFaceCommand(u"IDC_FS_OK"_s, u"undefined"_s);
        frm->Unload();
    }

    QTemporaryDir dir;
    ConverterSettings mod;
    FfmpegConverter engine{2};
    QStringList list, subfolders;
    std::vector<std::optional<SheetTrack>> tracks;
    QString out;
    std::unique_ptr<ConversionWindow> frm;
};

// Through the window: named from tags, failures told; a re-run skips and deletes only the new.
TEST_F(Conversion, RunsNameFromTagsTellFailuresSkipWhatIsDoneAndDeleteOnlyWhatWasConverted) {
    const QString latin1 = PathFromSystem(SystemName(dir.path()) + "/in/caf\xe9.wav");
    std::filesystem::rename(SystemPath(Tone("in/cafe.wav", 0.5, 1)), SystemPath(latin1));
    const QString tagged = dir.filePath("in/a.wav"), corrupt = dir.filePath("in/corrupt.mp3");
    ASSERT_TRUE(
        Tagged(Tone("plain.wav", 1.0), tagged, {u"artist=Ana"_s, u"title=Rock 'n' Roll — 東京"_s}));
    ASSERT_TRUE(WriteFile(corrupt, Noise(32 * 1024)));
    list = {tagged, dir.filePath("in/missing.wav"), corrupt, latin1};
    out = dir.filePath("out");
    QDir().mkpath(out);
    mod.pattern = u"{artist}/{title}"_s;
    Run("ogg", false);
    list = {tagged, latin1, corrupt, Tone("in/new.wav", 0.5)};
    mod.skipExisting = true;
    Run("ogg");
    const QString failed =
        "These files could not be converted:\n\n" + corrupt + " (not an audio file)";
    EXPECT_EQ(messages.shown, (QStringList{"Input file dosen't exist", failed, failed,
                                           "2 files were skipped: already converted."}));
    EXPECT_EQ(Entries(out + u"/Ana"_s), QStringList{"Rock 'n' Roll — 東京.ogg"});
    EXPECT_TRUE(QFile::exists(out + u"/Unknown/new.ogg"_s));
    EXPECT_TRUE(NameTaken(out + u"/Unknown/"_s + PathFromSystem(QByteArray("caf\xe9.ogg"))));
    EXPECT_TRUE(NameTaken(latin1) && QFile::exists(tagged) && QFile::exists(corrupt));
    EXPECT_FALSE(QFile::exists(dir.filePath("in/new.wav")));
    std::filesystem::remove_all(SystemPath(dir.path()));
}

// Closed while it converts: the engine stops, no partial file is left and no source goes.
TEST_F(Conversion, AnAbandonedRunKeepsEverySourceAndLeavesNoPartialFile) {
    list = {Tone("x/one.wav", 30.0), Tone("x/two.wav", 30.0), Tone("x/three.wav", 30.0)};
    Open("ogg");
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.Position().value_or(0) > 0; }, 60000));
    frm->OnFaceCommand(u"IDC_FS_Close"_s, u"undefined"_s);
    frm->Unload();
    EXPECT_EQ(Entries(dir.filePath("x")), (QStringList{"one.wav", "three.wav", "two.wav"}));
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST(Batch, ArgumentsAreReadOrRefusedWithAReason) {
    QTemporaryDir dir;
    const std::vector<std::pair<QString, QString>> rows{
        // arguments, error ("" = accepted)
        {u"a.wav --to wav b.mp3"_s, {}},
        {u"a.wav"_s, u"--to is missing"_s},
        {u"--to aac a.wav"_s, u"--to takes wav, mp3, ogg, flac, opus, m4a or alac, not \"aac\""_s},
        {u"--to m4a --quality 320 a.wav"_s, u"--quality: m4a takes 128, 192, 256, not \"320\""_s},
        {u"--to alac --quality 192 a.wav"_s, u"--quality: alac takes no quality"_s},
        {u"--to wav"_s, u"no files to convert"_s},
        {u"a.wav --to"_s, u"--to needs a value"_s},
        {u"--to wav --jobs 0 a.wav"_s, u"--jobs takes a whole number from 1 up"_s},
        {u"--to wav --out %1/none a.wav"_s, u"--out: \"%1/none\" is not a folder"_s},
        {u"--to wav --force a.wav"_s, u"unknown option --force"_s},
        {u"--to mp3 --quality 160 a.wav"_s,
         u"--quality: mp3 takes 128, 192, 256, 320, v0, v2, v4, not \"160\""_s},
        {u"--to ogg --quality q9 a.wav"_s,
         u"--quality: ogg takes q3, q4, q5, q6, q7, q8, not \"q9\""_s},
        {u"--to opus --quality 160 a.wav"_s, {}},
        {u"--to wav --rate 22050 a.wav"_s, u"--rate takes source, 44100, 48000, not \"22050\""_s},
        {u"--to wav --channels 2 a.wav"_s, u"--channels takes source, stereo, mono, not \"2\""_s},
        {u"--to wav --bits 32 a.wav"_s, u"--bits takes auto, 16, 24, not \"32\""_s},
        {u"--to mp3 --pattern {artist}/{nope} a.wav"_s,
         u"--pattern: no field {nope}; the fields are {artist}, {albumartist}, {album}, {title}, "
         "{track}, {disc}, {year}, {genre}, {stem}, {folder}"_s},
    };
    for (const auto& [arguments, error] : rows) {
        SCOPED_TRACE(arguments.toStdString());
        const BatchArguments parsed =
            ParseBatchArguments(Args(QString(arguments).replace(u"%1"_s, dir.path())));
        EXPECT_EQ(parsed.error, QString(error).replace(u"%1"_s, dir.path()));
        EXPECT_EQ(parsed.options.has_value(), error.isEmpty());
    }
    // The options no real run in these suites gives, and "--" before a file named like one.
    const auto all =
        ParseBatchArguments(Args(u"--to ogg --quality q6 --rate 44100 --channels mono "
                                 "--bits 16 --true-peak --prevent-clipping -- --to"_s));
    ASSERT_TRUE(all.options);
    EXPECT_EQ(std::tie(all.options->quality, all.options->files, all.options->output),
              std::make_tuple(Quality{Quality::Kind::Level, 6}, QStringList{"--to"},
                              OutputOptions{{44100, 1, 16}, false, false, true, true}));
    EXPECT_TRUE(ParseBatchArguments({u"--version"_s}).version);
    // Bad usage: 2, with the usage; --help: 0.
    EXPECT_EQ(BatchMain(Args(u"--to aac a.wav"_s)), 2);
    EXPECT_EQ(BatchMain({u"--help"_s}), 0);

    // The help and the manual page name the same options.
    const auto options = [](const QString& text) {
        static const QRegularExpression option(u"^\\s*\\*?(--[a-z0-9.-]+)"_s,
                                               QRegularExpression::MultilineOption);
        QSet<QString> found;
        for (const QRegularExpressionMatch& match : option.globalMatch(text))
            found << match.captured(1);
        return found;
    };
    const QSet<QString> help = options(BatchUsage());
    EXPECT_EQ(help.size(), 19) << help.values().join(u' ');
    const QString manual = QStringLiteral(MANUAL_DIR "/VeluneConverter.1.scd");
    EXPECT_EQ(options(QString::fromUtf8(ReadBytes(manual))), help);
}

// An M4A is exact where its edit list is read, and no decoder is further off than with FFmpeg's.
TEST(Engine, M4aIsExactWhereItsEditListIsRead) {
    QTemporaryDir dir;
    FfmpegConverter engine(2);
    std::vector<std::pair<QString, qint64>> tones;
    for (const int rate : {44100, 48000})
        for (const double seconds : {1.0, 2.5, 61.0}) {
            const QString source = dir.filePath(u"%1-%2.wav"_s.arg(rate).arg(seconds));
            ASSERT_TRUE(MakeTone(source, seconds, rate));
            ASSERT_TRUE(RunTool(u"ffmpeg"_s, Args(u"-v error -i %1 -c:a aac -b:a 192k %1.ff.m4a"_s)
                                                 .replaceInStrings(u"%1"_s, source)));
            ConversionJob job{source, source + u".m4a"_s, M4a, {}};
            job.verify = true; // read back as --delete-sources does
            ASSERT_TRUE(engine.add(job));
            tones.emplace_back(source, static_cast<qint64>(seconds * rate));
        }
    RunToEnd(engine);
    const std::atomic<bool> cancel{false};
    int item = 0;
    for (const auto& [source, samples] : tones) {
        SCOPED_TRACE(source.toStdString());
        EXPECT_TRUE(engine.Verified(item++));
        const QString ours = source + u".m4a"_s;
        QString error;
        EXPECT_TRUE(DecodesWhole(ours, samples, cancel, error)) << error.toStdString();
        const auto tail = ReadTail(ours);
        EXPECT_TRUE(tail && tail->exact() && tail->declared == samples);
        for (const QString& decoder : {u"ffmpeg"_s, u"gstreamer"_s}) {
            const auto off = [&](const QString& path) {
                const qint64 decoded = decoder == "ffmpeg"_L1 ? DecodedSamples(path, 2)
                                                              : DecodedSamplesBy(decoder, path, 2);
                EXPECT_GT(decoded, 0) << decoder.toStdString();
                return std::llabs(decoded - samples);
            };
            EXPECT_LE(off(ours), off(source + u".ff.m4a"_s)) << decoder.toStdString();
        }
    }
}

// A sheet whose marks are no whole seconds, one with a pregap: exact tracks with the tags.
TEST(Batch, ACueSheetSplitsItsImageIntoExactTracks) {
    QTemporaryDir dir;
    const auto file = [&](const QString& name) { return dir.filePath(name); };
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
    for (const QString& to : {u"flac"_s, u"wav"_s, u"mp3"_s, u"opus"_s}) {
        SCOPED_TRACE(to.toStdString());
        const QString out = file(u"out/"_s + to);
        ASSERT_TRUE(QDir().mkpath(out));
        const Outcome run =
            Converter(Args(u"--to %1 --out %2"_s.arg(to, out)) << file(u"rip/Disc.cue"_s));
        ASSERT_EQ(run.out, u"Converted 3, skipped 0, failed 0.\n"_s) << run.err;
        QByteArray joined;
        for (int t = 0; t < 3; ++t) {
            const QString track = out + u'/' + names[t] + u'.' + to;
            EXPECT_EQ(DecodedSamples(track, 2),
                      to == "opus"_L1 ? lengths[t] * 48000 / 44100 : lengths[t])
                << names[t].toStdString();
            joined += DecodedPcm(track);
        }
        if (to == "flac"_L1 || to == "wav"_L1) {
            EXPECT_TRUE(joined == DecodedPcm(file(u"rip/Disc.wav"_s)));
        }
        const auto two = Probe(out + u"/02 Two."_s + to).tags;
        EXPECT_EQ((QStringList{two[u"title"_s], two[u"artist"_s], two[u"album"_s], two[u"date"_s],
                               two[u"track"_s].left(1)}),
                  (QStringList{u"Two"_s, u"Bo"_s, u"Café"_s, u"1999"_s, u"2"_s}));
    }
    // Naming patterns take the tracks' tags.
    const Outcome named = Converter(QStringList{
        u"--to"_s, u"wav"_s, u"--out"_s, file(u"out"_s), u"--pattern"_s,
        u"{albumartist}/{album}/{track:02} {artist} - {title}"_s, file(u"rip/Disc.cue"_s)});
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_TRUE(QFile::exists(file(u"out/Ana/Café/02 Bo - Two.wav"_s)));
    // A folder (the sheet's WAV for its tracks, the FLAC beside it its own file), an image with its
    // sheet in its tags and one with FLAC's own CUESHEET block.
    ASSERT_TRUE(Tagged(file(u"rip/Disc.flac"_s), file(u"Image.flac"_s),
                       {u"CUESHEET="_s + QString::fromLatin1(sheet)}));
    ASSERT_TRUE(MakeTone(file(u"Native.flac"_s), 10.0, 44100, 2, Args(u"-sample_fmt s16"_s)));
    ASSERT_TRUE(RunTool(u"metaflac"_s, {u"--import-cuesheet-from="_s + file(u"rip/Disc.cue"_s),
                                        file(u"Native.flac"_s)}));
    ASSERT_TRUE(QDir().mkpath(file(u"out/folder"_s)));
    const Outcome folder = Converter(Args(u"--to mp3 --out %1 %2 %3 %4"_s.arg(
        file(u"out/folder"_s), file(u"rip"_s), file(u"Image.flac"_s), file(u"Native.flac"_s))));
    EXPECT_TRUE(folder.out.startsWith(u"Converted 10, skipped 0, failed 0.\n"_s)) << folder.out;
    for (const QString& name : {u"01 Intro.mp3"_s, u"Disc.mp3"_s, u"03 Track 3 1.mp3"_s})
        EXPECT_TRUE(QFile::exists(file(u"out/folder/"_s + name))) << name.toStdString();
    EXPECT_EQ(DecodedSamples(file(u"out/folder/02 Track 2.mp3"_s), 2), lengths[1]);
}

// A library mirrored; a re-run numbers its outputs and names failures; bytes names deleted.
TEST(Batch, ALibraryFolderIsMirroredAndARerunOverwritesNothing) {
    QTemporaryDir dir;
    const QString library = dir.filePath("library"), out = dir.filePath("out");
    for (const QString& song :
         {u"Artist A/Album 1/01 Intro.flac"_s, u"Artist A/Album 1/02 Song.flac"_s,
          u"Artist B/Album 2/01 Intro.flac"_s, u"Artist B/cafe.wav"_s})
        ASSERT_TRUE(MakeTone(library + u'/' + song, 0.5, 44100, 1));
    ASSERT_TRUE(WriteFile(library + u"/notes.txt"_s, "not audio"));
    ASSERT_TRUE(WriteFile(library + u"/Artist A/cover.jpg"_s, Noise(2048)));
    ASSERT_TRUE(QFile::link(library, library + u"/Artist B/loop"_s));
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

    const Outcome first = Converter(run);
    EXPECT_EQ(first.out, u"Converted 4, skipped 0, failed 0.\n"
                         "2 files in the folders were passed over: not audio.\n"
                         "Given more than once, converted once:\n  %1\n"_s.arg(
                             library + u"/Artist A/Album 1/02 Song.flac"_s));
    EXPECT_TRUE(first.err.contains(u"loop: a link back to a folder already added"_s)) << first.err;
    const QStringList mirrored{"Artist A/Album 1/01 Intro.mp3", "Artist A/Album 1/02 Song.mp3",
                               "Artist B/Album 2/01 Intro.mp3", "Artist B/" + latin1 + ".mp3"};
    EXPECT_EQ(outputs(), mirrored);

    // A re-run overwrites nothing; a missing file fails the run.
    const Outcome numbered = Converter(QStringList(run) << dir.filePath("gone.wav"));
    EXPECT_EQ(numbered.status, 1);
    EXPECT_TRUE(numbered.out.startsWith(u"Converted 4, skipped 0, failed 1.\n"_s)) << numbered.out;
    EXPECT_TRUE(numbered.err.contains("gone.wav: No such file")) << numbered.err;
    EXPECT_TRUE(QFile::exists(out + u"/Artist B/Album 2/01 Intro 1.mp3"_s));
    EXPECT_TRUE(NameTaken(out + u"/Artist B/"_s + latin1 + u" 1.mp3"_s));

    // The same name as bytes on the command line: converted beside it, read back, so deleted.
    const Outcome bytes = Converter({library}, {u"/bin/sh"_s, u"-c"_s,
                                                u"exec \"$0\" --to ogg --delete-sources \"$(printf "
                                                u"'%s/Artist B/caf\\351.wav' \"$1\")\""_s});
    EXPECT_EQ(bytes.status, 0) << bytes.err;
    EXPECT_EQ(bytes.out, u"Converted 1, skipped 0, failed 0.\n"_s);
    EXPECT_FALSE(NameTaken(library + u"/Artist B/"_s + latin1 + u".wav"_s));
    EXPECT_TRUE(NameTaken(library + u"/Artist B/"_s + latin1 + u".ogg"_s));

    std::filesystem::remove_all(SystemPath(dir.path())); // QDir cannot name every file
}

} // namespace
