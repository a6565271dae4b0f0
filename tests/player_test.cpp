// The real engine into a null sink of its own, its monitor recorded: gaps, jumps, lost samples.
#include "fakes.h"
#include "ffmpeg_converter.h"
#include "gapless_player.h"
#include "media.h"
#include "player_window.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>

using namespace velune;
using namespace velune::test;

namespace {

constexpr int kRate = 44100;
const double kTolerance = kRate * 0.002; // 2 ms

// Samples of a recording, 16-bit mono.
using Pcm = std::vector<qint16>;

Pcm Samples(const QByteArray& bytes) {
    Pcm pcm(static_cast<std::size_t>(bytes.size() / 2));
    std::memcpy(pcm.data(), bytes.constData(), pcm.size() * 2);
    return pcm;
}

// What was heard: from the first to the last sample that is not silence.
struct Heard {
    qint64 first = -1, last = -1;
    qint64 Length() const { return first < 0 ? 0 : last - first + 1; }
    qint64 longestSilence = 0; // in samples, inside what was heard
    int largestStep = 0;       // between two neighbouring samples
    int peak = 0;
};

Heard Measure(const Pcm& pcm) {
    Heard h;
    for (std::size_t i = 0; i < pcm.size(); ++i)
        if (pcm[i] != 0) {
            h.first = h.first < 0 ? static_cast<qint64>(i) : h.first;
            h.last = static_cast<qint64>(i);
        }
    qint64 run = 0;
    for (qint64 i = h.first; h.first >= 0 && i <= h.last; ++i) {
        const int x = pcm[static_cast<std::size_t>(i)];
        run = std::abs(x) <= 1 ? run + 1 : 0;
        h.longestSilence = std::max(h.longestSilence, run);
        h.peak = std::max(h.peak, std::abs(x));
        if (i > h.first)
            h.largestStep =
                std::max(h.largestStep, std::abs(x - pcm[static_cast<std::size_t>(i - 1)]));
    }
    return h;
}

// A sound server of the test's own, which it can kill and start again.
class PrivateServer {
public:
    explicit PrivateServer(const QString& dir) : dir_(dir) {}
    ~PrivateServer() { Kill(); }
    QString Address() const { return u"unix:"_s + dir_ + u"/native"_s; }
    bool Start() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& name :
             {u"PULSE_RUNTIME_PATH"_s, u"PULSE_STATE_PATH"_s, u"XDG_RUNTIME_DIR"_s})
            env.insert(name, dir_);
        server_.setProcessEnvironment(env);
        server_.start(u"pulseaudio"_s,
                      {u"-n"_s, u"--daemonize=no"_s, u"--exit-idle-time=-1"_s, u"--system=no"_s,
                       u"--load=module-null-sink"_s,
                       u"--load=module-native-protocol-unix socket=%1/native"_s.arg(dir_)});
        return QTest::qWaitFor(
            [&] {
                return RunTool(u"pactl"_s, {u"-s"_s, Address(), u"info"_s}).has_value();
            },
            10000);
    }
    // The server hangs (or goes on again): it holds its connections and answers nothing.
    void Hang(bool hung) {
        ::kill(static_cast<pid_t>(server_.processId()), hung ? SIGSTOP : SIGCONT);
    }
    void Kill() {
        if (server_.state() == QProcess::NotRunning)
            return;
        Hang(false);
        server_.kill();
        server_.waitForFinished(5000);
        QFile::remove(dir_ + u"/native"_s);
    }

private:
    QString dir_;
    QProcess server_;
};

class RealPlayer : public ::testing::Test, protected Around {
protected:
    RealPlayer()
        : sink(u"velune_test_%1"_s.arg(QCoreApplication::applicationPid())),
          frm(PlayerWindow::Parts{face, form, messages, dialog, lock, engine, timer,
                                  QStringLiteral(VELUNE_PROGRAM_DIR), folders, background,
                                  cache.path()}) {
        LoadSink(false);
        qputenv("PULSE_SINK", sink.toUtf8());
        QObject::connect(&engine, &GaplessPlayer::changed, [this] { frm.FollowEngine(); });
        EXPECT_TRUE(frm.Start());
    }
    ~RealPlayer() override {
        qunsetenv("PULSE_SINK");
        UnloadSink();
    }
    // A sink of this test's own; users' servers rewind what they hold, a test sink need not.
    void LoadSink(bool rewinds) {
        UnloadSink();
        const auto module = RunTool(
            u"pactl"_s, Args(u"load-module module-null-sink sink_name=%1 rate=44100 channels=2 "
                             "format=s16le"_s.arg(sink) +
                             (rewinds ? QString() : u" norewinds=1"_s)));
        module_ = module ? QString::fromUtf8(*module).trimmed() : QString();
    }
    void UnloadSink() {
        if (!module_.isEmpty())
            RunTool(u"pactl"_s, {u"unload-module"_s, module_});
    }

    // A tone of the test's sample rate, mono: its own file or, cut from one, a part of it.
    QString Tone(const QString& name, double seconds, const QString& args = {}) {
        EXPECT_TRUE(MakeTone(dir.filePath(name), seconds, kRate, 1, Args(args))) << name;
        return dir.filePath(name);
    }
    QString Cut(const QString& from, const QString& name, const QString& trim) {
        EXPECT_TRUE(RunTool(u"ffmpeg"_s, Args(u"-nostdin -v error -y -i"_s)
                                             << from << u"-af"_s << trim << dir.filePath(name)))
            << name;
        return dir.filePath(name);
    }
    void Cmd(const QString& command, const QString& args = u"undefined"_s) {
        frm.OnFaceCommand(command, args);
    }
    void Play(const QStringList& paths) {
        dialog.Choose(paths);
        Cmd("IDC_FS_Add");
        Cmd("IDC_FS_Play");
    }
    // Lets the engine play, ticking as the window's timer would while it runs.
    bool PlayUntil(const std::function<bool()>& done, int timeoutMs = 30000) {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > timeoutMs)
                return false;
            QTest::qWait(20);
            if (timer.enabled)
                frm.Tick();
        }
        return true;
    }
    bool PlayToTheEnd() {
        return PlayUntil([&] { return !timer.enabled; }, 60000);
    }
    double Time() const { return engine.inputTime().value_or(-1); }
    qint64 AnsweredIn(const QString& command) {
        QElapsedTimer answered;
        answered.start();
        Cmd(command);
        engine.Settle();
        return answered.elapsed();
    }

    // Records the sink's monitor while `play` runs, and a moment after.
    Pcm Record(const std::function<void()>& play) {
        QProcess recorder;
        recorder.start(u"parec"_s,
                       {u"-d"_s, sink + u".monitor"_s, u"--format=s16le"_s, u"--rate=44100"_s,
                        u"--channels=1"_s, u"--raw"_s, u"--latency-msec=20"_s});
        EXPECT_TRUE(recorder.waitForStarted());
        QTest::qWait(400);
        play();
        QTest::qWait(400);
        recorder.terminate();
        recorder.waitForFinished(5000);
        return Samples(recorder.readAllStandardOutput());
    }
    // What the sound server shows of the player's stream on the test's sink: "" when none.
    QString StreamBlock() {
        const QString sinks =
            QString::fromUtf8(RunTool(u"pactl"_s, Args(u"list short sinks"_s)).value_or(""));
        QString index;
        for (const QString& line : sinks.split(u'\n'))
            if (line.section(u'\t', 1, 1) == sink)
                index = line.section(u'\t', 0, 0);
        const QString list =
            QString::fromUtf8(RunTool(u"pactl"_s, Args(u"list sink-inputs"_s)).value_or(""));
        // The newest: a stream closed a moment ago may still be listed.
        QString newest;
        for (const QString& input : list.split(u"Sink Input #"_s))
            if (input.contains(u"Velune Player"_s) && input.contains(u"Sink: "_s + index + u'\n'))
                newest = input;
        return newest;
    }
    // One line of it, by the first words of its name: "Channel Map", "Sample Spec", …
    QString StreamShows(const QString& field) {
        const QRegularExpression line(QRegularExpression::escape(field) + u"\\w*: ([^\\n]*)"_s);
        return line.match(StreamBlock()).captured(1).trimmed();
    }
    // The stream's volume and mute as the sound server shows them.
    QString StreamOnTheServer() {
        static const QRegularExpression percent(u"(\\d+%)"_s);
        const QString volume = StreamShows(u"Volume"_s);
        return volume.isEmpty()
                   ? QString()
                   : percent.match(volume).captured(1) + u" mute "_s + StreamShows(u"Mute"_s);
    }
    QString StreamIndex() { return StreamBlock().section(u'\n', 0, 0).trimmed(); }

    QTemporaryDir dir;
    QString sink;
    QString module_;
    GaplessPlayer engine;
    PlayerWindow frm;
};

// A tone cut off a frame boundary plays as one in any format and at the list's edges.
TEST_F(RealPlayer, TwoHalvesOfOneTonePlayAsOne) {
    const QString whole = Tone("whole.wav", 1.6);
    const QString a = Cut(whole, "a.wav", u"atrim=end_sample=30001"_s);
    const QString b = Cut(whole, "b.wav", u"atrim=start_sample=30001,asetpts=N/SR/TB"_s);
    const QString gone = dir.filePath("gone.wav"), tail = dir.filePath("tail.wav");
    const QByteArray tailBytes = ReadBytes(
        Cut(whole, "tail0.wav", u"atrim=start_sample=30001:end_sample=33001,asetpts=N/SR/TB"_s));
    const int clean = Measure(Samples(DecodedPcm(whole))).largestStep;
    // Another rate: the stream is opened anew, the one gap allowed, and a short one.
    ASSERT_TRUE(MakeTone(dir.filePath("48k.wav"), 0.5, 48000, 1));
    const Heard other = Measure(Record([&] {
        Play({a, dir.filePath("48k.wav")});
        ASSERT_TRUE(PlayToTheEnd());
    }));
    EXPECT_LT(other.longestSilence, kRate / 20);
    EXPECT_EQ(frm.list().current(), 1);
    enum Edge { kNone, kRemoveQueued, kSeek, kRewinds };
    struct Row {
        const char* name;
        QString encode; // how each half is written ("" = as it is, "m4a" by our converter)
        bool waveform;  // lossless enough for its waveform to be compared
        QStringList rows;
        Edge edge;
    };
    const std::vector<Row> table{
        {"wav", {}, true, {a, b}, kNone},
        {"flac", u"ffmpeg -nostdin -v error -y -i %1 %2.flac"_s, true, {a, b}, kNone},
        {"ogg", u"oggenc -Q -q 6 -o %2.ogg %1"_s, true, {a, b}, kNone},
        {"mp3 by LAME", u"lame --quiet -b 192 %1 %2.mp3"_s, false, {a, b}, kNone},
        {"mp3 by FFmpeg", u"ffmpeg -nostdin -y -i %1 -b:a 192k %2.mp3"_s, false, {a, b}, kNone},
        {"m4a by our converter", u"m4a"_s, false, {a, b}, kNone},
        {"a missing file in the middle", {}, true, {a, gone, b}, kNone},
        {"a file deleted after it was queued", {}, true, {a, tail, b}, kRemoveQueued},
        {"a short last item", {}, true, {a, tail}, kNone},
        {"a short item alone", {}, true, {tail}, kNone},
        {"a seek in the last moments", {}, true, {a, b}, kSeek},
        {"a sink that rewinds", {}, true, {a, b}, kRewinds},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(WriteFile(tail, tailBytes));
        QStringList rows = row.rows;
        for (QString& half : rows) {
            if (row.encode.isEmpty())
                break;
            const QString stem = dir.filePath(QString::fromLatin1(row.name).remove(u' ') +
                                              QFileInfo(half).baseName());
            if (row.encode == "m4a"_L1) {
                FfmpegConverter converter(1);
                ASSERT_TRUE(converter.add({half, stem + u".m4a"_s, TargetFormat::M4a, {}}) &&
                            converter.start());
                ASSERT_TRUE(QTest::qWaitFor([&] { return converter.Finished(); }, 60000));
                half = stem + u".m4a"_s;
                continue;
            }
            const QStringList words = Args(row.encode.arg(half, stem));
            ASSERT_TRUE(RunTool(words[0], words.mid(1))) << row.encode;
            half = stem + row.encode.section(u"%2"_s, 1).section(u' ', 0, 0);
        }
        if (row.edge == kRewinds)
            LoadSink(true);
        messages.shown.clear();
        const Pcm pcm = Record([&] {
            Cmd("IDC_FS_RemoveAll");
            dialog.Choose(rows);
            Cmd("IDC_FS_Add");
            if (row.edge == kRemoveQueued)
                QFile::remove(tail);
            Cmd("IDC_FS_Play");
            if (row.edge == kSeek) {
                ASSERT_TRUE(PlayUntil([&] { return Time() > 500; }));
                engine.setInputPosition(0.8);
            }
            ASSERT_TRUE(PlayToTheEnd());
        });
        // Every file there is heard whole; each one gone was told.
        qint64 total = 0;
        QStringList told;
        for (qsizetype i = 0; i < rows.size(); ++i)
            if (QFile::exists(rows[i]))
                total += DecodedSamples(row.rows[i], 1);
            else
                told << u"file:"_s + rows[i] + u"--dosen't exist"_s;
        EXPECT_EQ(messages.shown, told);
        const Heard heard = Measure(pcm);
        // After a seek, the last second (which starts after where it landed).
        const qint64 checked = row.edge == kSeek ? kRate : total;
        const Heard stretch =
            Measure(Pcm(pcm.begin() + std::max(heard.first, heard.last + 1 - checked),
                        pcm.begin() + heard.last + 1));
        if (row.edge != kSeek) {
            // A server that rewinds mixes a new stream into what it rendered: 20 ms unheard.
            EXPECT_LE(heard.Length(), total + kTolerance);
            EXPECT_GE(heard.Length(), total - kTolerance - (row.edge == kRewinds ? kRate / 50 : 0));
        }
        EXPECT_LE(stretch.longestSilence, kRate / 1000);
        EXPECT_TRUE(!row.waveform || stretch.largestStep <= clean * 1.1 + 3) << stretch.largestStep;
        // The last row was announced and is the row last played.
        EXPECT_EQ(face.store.value("_root.Play") + face.store.value("_root.Playing"), u"10"_s);
        EXPECT_TRUE(face.writes.contains(u"_root.FileTxt="_s + QFileInfo(rows.last()).fileName()));
    }
}

// The time shown at a pause is what the monitor heard before it, not what is only buffered.
TEST_F(RealPlayer, APauseLosesAndRepeatsNoSampleAndASeekLandsAtOnce) {
    const QString tone = Tone("tone.wav", 1.5);
    const int clean = Measure(Samples(DecodedPcm(tone))).largestStep;
    double shown = 0;
    const Pcm pcm = Record([&] {
        Play({tone});
        ASSERT_TRUE(PlayUntil([&] { return Time() > 500; }));
        shown = Time();
        Cmd("IDC_FS_Pause");
        QTest::qWait(500);
        Cmd("IDC_FS_Pause");
        ASSERT_TRUE(PlayToTheEnd());
    });
    // The pause is the one silence; joined again, the two sides are the tone.
    Heard heard = Measure(pcm);
    qint64 run = 0, gapEnd = 0;
    for (qint64 i = heard.first; i <= heard.last; ++i) {
        run = std::abs(pcm[static_cast<std::size_t>(i)]) <= 1 ? run + 1 : 0;
        if (run == heard.longestSilence)
            gapEnd = i + 1;
    }
    Pcm joined(pcm.begin() + heard.first, pcm.begin() + (gapEnd - heard.longestSilence));
    joined.insert(joined.end(), pcm.begin() + gapEnd, pcm.begin() + heard.last + 1);
    EXPECT_GT(heard.longestSilence, kRate / 5);
    EXPECT_NEAR((gapEnd - heard.longestSilence - heard.first) * 1000.0 / kRate, shown, 30);
    heard = Measure(joined);
    EXPECT_NEAR(heard.Length(), kRate * 1.5, kTolerance);
    EXPECT_LE(heard.largestStep, clean + 3);

    // Half way in at once, before anything is heard: the time starts there.
    Cmd("IDC_FS_RemoveAll");
    Play({Tone("long.wav", 30)});
    face.store.insert(u"_root.KnobPosition"_s, u"50"_s);
    Cmd("IDC_FS_KnobReleased");
    engine.Settle();
    ASSERT_TRUE(PlayUntil([&] { return Time() >= 0; }));
    EXPECT_GE(Time(), 15000);
    EXPECT_LT(Time(), 15600);
    Cmd("IDC_FS_Stop");
    EXPECT_FALSE(engine.inputTime());
    Cmd("IDC_FS_Play");
    ASSERT_TRUE(PlayUntil([&] { return engine.inputTime().has_value(); }));
    EXPECT_LT(Time(), 1000);
}

TEST_F(RealPlayer, TheMixerIsTheTruthForTheVolumeAndVolumeMuteAndLoudnessReachTheStream) {
    ASSERT_TRUE(MakeTone(dir.filePath("48k.wav"), 2, 48000, 1));
    Play({Tone("one.wav", 2), dir.filePath("48k.wav"), Tone("long.wav", 30)});
    ASSERT_TRUE(PlayUntil([&] { return !StreamIndex().isEmpty(); }, 5000));
    ASSERT_TRUE(RunTool(u"pactl"_s, {u"set-sink-input-volume"_s, StreamIndex(), u"30%"_s}));
    EXPECT_TRUE(
        PlayUntil([&] { return face.store.value("_root.VolumePosition") == u"1.5"_s; }, 5000))
        << face.store.value("_root.VolumePosition").toStdString();
    // The next item has another rate: its stream is new, and as loud as the mixer said.
    ASSERT_TRUE(PlayUntil([&] { return frm.list().current() == 1; }));
    EXPECT_TRUE(PlayUntil([&] { return StreamOnTheServer() == u"30% mute no"_s; }, 5000))
        << StreamOnTheServer().toStdString();
    ASSERT_TRUE(PlayUntil([&] { return frm.list().current() == 2; }));
    for (const auto& [step, shown] : {std::pair{"2.5", "50% mute no"},
                                      {"5", "100% mute no"},
                                      {"10", "200% mute no"},
                                      {"SoundOff", "200% mute yes"},
                                      {"SoundOn", "200% mute no"},
                                      {"5", "100% mute no"}}) {
        const QString command = QString::fromLatin1(step);
        if (command[0].isDigit())
            face.store.insert(u"_root.VolumePosition"_s, command);
        Cmd(command[0].isDigit() ? u"IDC_FS_Volume"_s : u"IDC_FS_"_s + command);
        EXPECT_TRUE(PlayUntil([&] { return StreamOnTheServer() == QLatin1String(shown); }, 5000))
            << StreamOnTheServer().toStdString() << " for " << step;
    }

    // The tone's peak is 1/8 of full scale (4096 of 32767); gains as REPLAYGAIN_ tags.
    const QString plain = Tone("plain.flac", 0.5);
    struct Gain {
        const char* what;
        QStringList tags;
        const char* mode; // the face's text after the command
        double factor;
    };
    const std::vector<Gain> gains{
        {"untagged", {}, "track", 1.0},
        {"track gain halves", {"TRACK_GAIN=-6.02 dB"}, "track", 0.5},
        {"album mode: album gain", {"TRACK_GAIN=-6.02 dB", "ALBUM_GAIN=-12.04 dB"}, "album", 0.25},
        {"album mode without one: track gain", {"TRACK_GAIN=-6.02 dB"}, "album", 0.5},
        {"the peak keeps it from clipping", {"TRACK_GAIN=+20 dB", "TRACK_PEAK=0.5"}, "track", 2.0},
        {"off plays it as it is", {"TRACK_GAIN=-6.02 dB"}, "off", 1.0},
    };
    for (const Gain& g : gains) {
        SCOPED_TRACE(g.what);
        const QString tagged = dir.filePath(QString::fromLatin1(g.what) + u".flac"_s);
        QStringList tags;
        for (const QString& tag : g.tags)
            tags << u"REPLAYGAIN_"_s + tag;
        ASSERT_TRUE(Tagged(plain, tagged, tags));
        while (face.store.value(u"_root.ReplayGainMode"_s) != QLatin1String(g.mode))
            Cmd("IDC_FS_ReplayGain");
        const Heard heard = Measure(Record([&] {
            Cmd("IDC_FS_RemoveAll");
            Play({tagged});
            ASSERT_TRUE(PlayToTheEnd());
        }));
        EXPECT_NEAR(heard.peak, 4096 * g.factor, 4096 * g.factor * 0.02 + 2);
    }
}

// Any name: the last two rows are one that is not UTF-8, dropped alone and in a playlist.
TEST_F(RealPlayer, PlaysEveryFormatAndAnyNameThroughToTheEndOfTheList) {
    const QStringList files{
        Tone("one.wav", 1),    Tone("Été 'n' Rock — 東京.ogg", 1),
        Tone("three.mp3", 1),  Tone("four.wma", 1, u"-c:a wmav2"_s),
        Tone("five.flac", 1),  Tone("six.m4a", 1),
        Tone("seven.opus", 1), Tone("eight.rm", 1, u"-c:a real_144 -ar 8000"_s)};
    const QString ram = dir.filePath("nine.ram");
    ASSERT_TRUE(WriteFile(ram, "# a RealAudio metafile\n\none.wav\nhttp://x.invalid/a.rm\n"));
    const QStringList all = QStringList(files) << ram;
    const QByteArray folder = QFile::encodeName(dir.path());
    const QString latin1 = PathFromSystem(folder + "/caf\xe9.wav");
    ASSERT_TRUE(WriteFile(latin1, ReadBytes(Tone("tone.wav", 1))));
    const QString playlist = PathFromSystem(folder + "/list\xe9.m3u");
    ASSERT_TRUE(WriteFile(playlist, "#EXTM3U\ncaf\xe9.wav\n"));
    dialog.Choose(all);
    Cmd("IDC_FS_Add");
    frm.DropFiles({latin1, playlist});
    Cmd("IDC_FS_Play");
    ASSERT_TRUE(PlayToTheEnd());
    EXPECT_EQ(frm.list().rows(), QStringList(all) << latin1 << latin1);
    // Each item was announced in turn, and each showed its length.
    QStringList announced, lengthShown, names;
    QString title;
    for (const QString& write : face.writes) {
        if (write.startsWith(u"_root.FileTxt="_s) && (title = write.mid(14)) != u" "_s &&
            !announced.contains(title))
            announced << title;
        if (write == u"_root.TotalTimeTxt=00:01"_s && !lengthShown.contains(title))
            lengthShown << title;
    }
    for (const QString& file : all)
        names << QFileInfo(file).fileName();
    names << u"caf\ufffd.wav"_s;
    EXPECT_EQ(announced, names);
    EXPECT_EQ(lengthShown, names);
    EXPECT_TRUE(face.writes.contains("_root.KnobDisabled=1")); // RealAudio cannot be sought
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.shown.join(u'\n');
    RemoveFile(latin1);
    RemoveFile(playlist);
}

TEST_F(RealPlayer, ASoundServerThatIsAbsentOrGoesAwayIsToldOnceAndPlayWorksWhenItIsBack) {
    QTemporaryDir runtime;
    PrivateServer server(runtime.path());
    qputenv("PULSE_SERVER", server.Address().toUtf8());
    qunsetenv("PULSE_SINK");
    // No server at all.
    Play({Tone("a.wav", 1), Tone("b.wav", 1), Tone("long.wav", 30)});
    ASSERT_TRUE(PlayToTheEnd());
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].startsWith(u"No sound output is available: "_s))
        << messages.shown[0];
    EXPECT_EQ(frm.list().current(), 0);

    // A server that goes away while playing.
    ASSERT_TRUE(server.Start());
    Cmd("IDC_FS_SelectedIndex", u"2"_s);
    ASSERT_TRUE(PlayUntil([&] { return Time() > 300; }));
    server.Kill();
    ASSERT_TRUE(PlayToTheEnd());
    EXPECT_EQ(messages.shown.size(), 2);
    EXPECT_EQ(face.store.value("_root.Playing"), u"0"_s);

    // Back again: Play plays.
    ASSERT_TRUE(server.Start());
    Cmd("IDC_FS_Play");
    EXPECT_TRUE(PlayUntil([&] { return Time() > 300; }));
    EXPECT_EQ(messages.shown.size(), 2);
    Cmd("IDC_FS_Stop");

    // A server that hangs holds no Stop, nor an engine that ends meanwhile.
    server.Hang(true);
    Cmd("IDC_FS_SelectedIndex", u"1"_s);
    QTest::qWait(300);
    EXPECT_LT(AnsweredIn(u"IDC_FS_Stop"_s), 100);
    QElapsedTimer ended;
    {
        GaplessPlayer another;
        another.playlistAdd(dir.filePath("b.wav"));
        another.play();
        QTest::qWait(300);
        ended.start();
    }
    EXPECT_LT(ended.elapsed(), 1000);
    server.Hang(false);
    qunsetenv("PULSE_SERVER");
}

TEST_F(RealPlayer, AnyChannelLayoutAndRateReachesTheServerAsItIs) {
    struct Layout {
        const char* file;
        QString make;    // ffmpeg's filter
        const char* map; // as the server shows it
        int rate;        // as the stream has it
    };
    const std::vector<Layout> layouts{
        {"mono.flac", u"aformat=channel_layouts=mono"_s, "mono", 44100},
        {"quad.flac", u"aformat=channel_layouts=quad"_s,
         "front-left,front-right,rear-left,rear-right", 44100},
        {"five.flac", u"aformat=channel_layouts=5.0"_s,
         "front-left,front-right,front-center,rear-left,rear-right", 44100},
        {"fiveone.flac", u"aformat=channel_layouts=5.1"_s,
         "front-left,front-right,front-center,lfe,rear-left,rear-right", 44100},
        {"sevenone.flac", u"aformat=channel_layouts=7.1"_s,
         "front-left,front-right,front-center,lfe,rear-left,rear-right,side-left,side-right",
         44100},
        {"fast.wav", u"aresample=384000"_s, "mono", 384000},
        {"faster.wav", u"aresample=768000"_s, "mono", 192000},
    };
    QStringList files;
    for (const Layout& l : layouts) {
        files << dir.filePath(QString::fromLatin1(l.file));
        ASSERT_TRUE(
            RunTool(u"ffmpeg"_s, Args(u"-nostdin -v error -y -f lavfi -i "
                                      "sine=frequency=440:sample_rate=44100:duration=0.6 -af"_s)
                                     << l.make << files.back()));
    }
    std::map<int, QString> seen; // row -> what the server showed while it played
    Play(files);
    ASSERT_TRUE(PlayUntil(
        [&] {
            const int row = frm.list().current();
            if (engine.state() == PlaybackState::Playing && !seen.count(row)) {
                const QString shown = StreamShows(u"Channel Map"_s) + u' ' +
                                      StreamShows(u"Sample Spec"_s).section(u' ', -1);
                if (!shown.trimmed().isEmpty())
                    seen[row] = shown;
            }
            return !timer.enabled;
        },
        60000));
    for (std::size_t i = 0; i < layouts.size(); ++i)
        EXPECT_EQ(seen[static_cast<int>(i)],
                  u"%1 %2Hz"_s.arg(QLatin1String(layouts[i].map)).arg(layouts[i].rate))
            << layouts[i].file;
}

// How long something was heard, in samples: all but silences of 1 ms or more.
qint64 Sounding(const Pcm& pcm) {
    qint64 sounding = 0, run = 0;
    for (const qint16 x : pcm)
        if (std::abs(x) > 1) {
            sounding += run < kRate / 1000 ? run + 1 : 1;
            run = 0;
        } else {
            ++run;
        }
    return sounding;
}

// Pause, and Play a second later, at any moment: the rest is heard once, and the list ends.
TEST_F(RealPlayer, APauseAnywhereResumesWhereItHeldAndTheListEnds) {
    ASSERT_TRUE(MakeTone(dir.filePath("48k.wav"), 3, 48000, 1));
    const QStringList two{Tone("first.wav", 3), dir.filePath("48k.wav")};
    const QStringList one{two[0]};
    const auto at = [this](double ms) { return [this, ms] { return Time() >= ms; }; };
    const auto in = [this](PlaybackState s) { return [this, s] { return engine.state() == s; }; };
    // Each: where it pauses, and the command that resumes (the Pause button toggles).
    const std::vector<std::tuple<const char*, QStringList, std::function<bool()>, const char*>>
        cases{
            {"2.7 s, before another rate", two, at(2700), "IDC_FS_Play"},
            {"2.8 s, before another rate", two, at(2800), "IDC_FS_Play"},
            {"2.9 s, before another rate", two, at(2900), "IDC_FS_Play"},
            {"2.9 s of the last item", one, at(2900), "IDC_FS_Play"},
            {"while the stream switches", two, in(PlaybackState::Switching), "IDC_FS_Pause"},
            {"all written, before the drain", one, in(PlaybackState::Draining), "IDC_FS_Pause"},
            {"while the stream plays out its end", one, in(PlaybackState::Ending), "IDC_FS_Play"},
        };
    for (const auto& [what, rows, when, resume] : cases) {
        SCOPED_TRACE(what);
        const Pcm pcm = Record([&] {
            Cmd("IDC_FS_RemoveAll");
            Play(rows);
            ASSERT_TRUE(PlayUntil(when));
            Cmd("IDC_FS_Pause");
            EXPECT_EQ(frm.PlaybackStatus(), PlayerWindow::Status::Paused);
            QTest::qWait(1000);
            Cmd(QString::fromLatin1(resume));
            ASSERT_TRUE(PlayUntil([&] { return !timer.enabled; }, 10000));
        });
        EXPECT_NEAR(Sounding(pcm), 3 * kRate * rows.size(), kTolerance);
        EXPECT_EQ(frm.list().current(), rows.size() - 1);
        EXPECT_EQ(face.store.value("_root.Playing"), u"0"_s);
    }
}

// A station of the test's own (stream_server.py): endless MP3 and Ogg Vorbis tones with ICY
// titles every 2 s (one in Latin-1), and streams that stall, drop, run fast or are gone.
TEST_F(RealPlayer, AStationIsHeardLiveAndOneStalledDroppedOrGoneHoldsNothingAndIsTold) {
    qputenv("VELUNE_RECONNECT_MS", "100");
    QProcess station;
    station.start(u"python3"_s, {QStringLiteral(STREAM_SERVER), dir.path()});
    ASSERT_TRUE(station.waitForReadyRead(60000));
    const QString port = QString::fromLatin1(station.readLine().trimmed());
    const auto url = [&](const QString& path) {
        return u"http://127.0.0.1:%1/"_s.arg(port) + path;
    };
    QStringList titles; // as the desktop reads them, with where they were first seen
    for (const char* stream : {"tone.ogg", "tone.mp3"}) {
        SCOPED_TRACE(stream);
        const Pcm pcm = Record([&] {
            Cmd("IDC_FS_RemoveAll");
            Cmd("IDC_FS_OpenUrl", url(QString::fromLatin1(stream)));
            ASSERT_TRUE(PlayUntil([&] {
                const TrackInfo info = frm.Info();
                if (titles.isEmpty() || !titles.back().startsWith(info.artist + u'|' + info.title))
                    titles << info.artist + u'|' + info.title + u'|' +
                                  QString::number(static_cast<int>(Time()) / 100);
                return Time() >= 7000;
            }));
            EXPECT_EQ(face.store.value("_root.KnobDisabled"), u"1"_s);
            // Found by its name and the song it plays (the Ogg has none); stopped, by its name
            // alone, as its row shows it.
            const QString song =
                QByteArray(stream).endsWith("mp3") ? u"Delta Artist - Last Song"_s : QString();
            Cmd("IDC_FS_Find", u"station "_s + song);
            EXPECT_TRUE(face.store.value("_root.ListRows").contains(u"|Test Station|"_s + song));
            Cmd("IDC_FS_Stop");
            EXPECT_EQ(face.store.value("_root.ListRows").isEmpty(), !song.isEmpty());
            Cmd("IDC_FS_Find", QString());
        });
        EXPECT_GT(Sounding(pcm), 6 * kRate);
    }
    // Each 2 s a song, seen within a second of its sound (in tenths of a second).
    const QStringList expected{u"Alpha Artist|First Song|"_s, u"Café Band|Chanson été|"_s,
                               u"Gamma|Über alles|"_s, u"Delta Artist|Last Song|"_s};
    ASSERT_GE(titles.size(), expected.size()) << titles.join(u'\n').toStdString();
    const QStringList seen = titles.mid(titles.size() - expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        EXPECT_TRUE(seen[i].startsWith(expected[i])) << seen[i].toStdString();
        const int late = seen[i].section(u'|', 2).toInt() - 20 * static_cast<int>(i);
        EXPECT_TRUE(i == 0 || (late >= -3 && late < 10)) << seen[i].toStdString();
    }

    // A stall holds no command; a dropped stream comes back.
    Cmd("IDC_FS_OpenUrl", url(u"tone.mp3?stall=1"_s));
    EXPECT_TRUE(PlayUntil([&] { return face.store.value("_root.FileTxt") == u"Buffering…"_s; }));
    EXPECT_LT(AnsweredIn(u"IDC_FS_Stop"_s), 100);
    EXPECT_EQ(engine.state(), PlaybackState::Idle);
    const Pcm pcm = Record([&] {
        Cmd("IDC_FS_RemoveAll");
        Cmd("IDC_FS_OpenUrl", url(u"tone.mp3?drop=1.5"_s));
        ASSERT_TRUE(PlayUntil([&] { return Time() >= 5000; }));
        Cmd("IDC_FS_Stop");
    });
    EXPECT_GT(Sounding(pcm), 4 * kRate);

    // Served eight times faster than it is heard, a stream is read only as it is heard.
    const auto rssKb = [] {
        const QString status = QString::fromLatin1(ReadBytes(u"/proc/self/status"_s));
        return QRegularExpression(u"VmRSS:\\s*(\\d+)"_s).match(status).captured(1).toLongLong();
    };
    Cmd("IDC_FS_OpenUrl", url(u"tone.mp3?fast"_s));
    ASSERT_TRUE(PlayUntil([&] { return Time() >= 3000; }));
    const qint64 before = rssKb();
    ASSERT_TRUE(PlayUntil([&] { return Time() >= 20000; }, 40000));
    // Unless AddressSanitizer holds freed memory back (its runs set ASAN_OPTIONS).
    EXPECT_TRUE(std::getenv("ASAN_OPTIONS") || rssKb() - before < 2048) << rssKb() - before;

    // A RAM file whose station sends nothing holds no command; the rest are gone or lost for
    // good: each told once, with why, and the list goes on.
    const QString ram = dir.filePath("stalled.ram"), gone = dir.filePath("gone.ram");
    ASSERT_TRUE(WriteFile(ram, url(u"tone.mp3?stall=0"_s).toUtf8()));
    ASSERT_TRUE(WriteFile(gone, "http://127.0.0.1:9/nothing.rm\n"));
    const QStringList rows{gone, url(u"missing"_s), url(u"loop"_s),
                           url(u"tone.mp3"_s).replace(u"http:"_s, u"https:"_s),
                           url(u"tone.mp3?drop=1&once=a"_s)};
    const QStringList why{u""_s, u"404"_s, u"redirect"_s, u"TLS"_s, u"404"_s};
    Cmd("IDC_FS_RemoveAll");
    messages.shown.clear();
    Play(QStringList{ram} + rows + QStringList{Tone("after.wav", 0.5)});
    QTest::qWait(300);
    EXPECT_LT(AnsweredIn(u"IDC_FS_Stop"_s), 100);
    EXPECT_EQ(engine.state(), PlaybackState::Idle);
    Cmd("IDC_FS_Play");
    QTest::qWait(300);
    EXPECT_LT(AnsweredIn(u"IDC_FS_Next"_s), 100);
    ASSERT_TRUE(PlayToTheEnd());
    ASSERT_EQ(messages.shown.size(), rows.size()) << messages.shown.join(u'\n').toStdString();
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QString told = (i == 0 ? u"file:"_s : QString()) + rows[i];
        EXPECT_TRUE(messages.shown[i].startsWith(told + u"--cannot be played: "_s) &&
                    messages.shown[i].contains(why[i]))
            << messages.shown[i].toStdString();
    }
    EXPECT_EQ(frm.list().current(), rows.size() + 1);
}

} // namespace
