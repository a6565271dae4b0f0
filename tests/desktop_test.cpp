// The player as real processes on a private session bus (dbus-run-session): MPRIS, the
// single-instance lock and the hand-over, the list kept between runs, a stalled disk, quitting.
#include "desktop_bus.h"
#include "fakes.h"
#include "gapless_player.h"
#include "media.h"
#include "player_window.h"
#include "recording_output.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace velune;
using namespace velune::test;

namespace {

const QString kService = u"org.mpris.MediaPlayer2.VelunePlayer"_s;
const QString kPath = u"/org/mpris/MediaPlayer2"_s;
const QString kPlayer = u"org.mpris.MediaPlayer2.Player"_s;
const QString kProperties = u"org.freedesktop.DBus.Properties"_s;

class Desktop : public ::testing::Test {
protected:
    // Every start has the stalling shim: only paths below "slow" and the host "slow.test" stall.
    void Start(const QStringList& files) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"LD_PRELOAD"_s, QStringLiteral(SLOW_FS_SHIM));
        env.insert(u"VELUNE_SLOW_FOLDER"_s, disk.filePath(u"slow"_s));
        env.insert(u"VELUNE_SLOW_HOST"_s, u"slow.test"_s);
        env.insert(u"ASAN_OPTIONS"_s,
                   qEnvironmentVariable("ASAN_OPTIONS") + u":verify_asan_link_order=0"_s);
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env.insert(u"XDG_CONFIG_HOME"_s, config.path());
        env.insert(u"XDG_CACHE_HOME"_s, config.filePath(u"cache"_s));
        if (!sink.isEmpty())
            env.insert(u"PULSE_SINK"_s, sink);
        first.setProcessEnvironment(env);
        first.start(QStringLiteral(VELUNE_PROGRAM_DIR "/VelunePlayer"), files);
        ASSERT_TRUE(Soon([] { return OnBus(); }));
    }
    // A logout's SIGTERM: the process ends with 0 in time, and its name leaves the bus.
    void Quit(int withinMs) {
        first.terminate();
        EXPECT_TRUE(first.waitForFinished(withinMs));
        EXPECT_EQ(first.exitCode(), 0);
        EXPECT_TRUE(Soon([] { return !OnBus(); }));
    }
    static bool Soon(const std::function<bool()>& done) { return QTest::qWaitFor(done, 30000); }
    static bool OnBus() {
        return QDBusConnection::sessionBus().interface()->isServiceRegistered(kService);
    }
    static QDBusMessage Call(const QString& method, const QVariantList& args = {},
                             const QString& interface = kPlayer) {
        return QDBusInterface(kService, kPath, interface)
            .callWithArgumentList(QDBus::Block, method, args);
    }
    static QVariant Get(const QString& property) {
        const QVariant reply =
            Call(u"Get"_s, {kPlayer, property}, kProperties).arguments().value(0);
        return reply.value<QDBusVariant>().variant();
    }
    static QVariantMap Metadata() { return qdbus_cast<QVariantMap>(Get(u"Metadata"_s)); }
    QString Title() { return Metadata().value("xesam:title").toString(); }
    bool Becomes(const QString& property, const QVariant& value) {
        return Soon([&] { return Get(property) == value; });
    }

    QTemporaryDir dir;
    QTemporaryDir disk; // "slow" stalls every question for 5 s; "many" holds 20 000 files
    QTemporaryDir config;
    QString sink;   // the sound server's sink the player plays into ("": the default one)
    QProcess first; // a player still running is killed at the end, before its folders go
    QProcess second;
};

TEST_F(Desktop, MprisHandOverRestartAndQuitNeverWaitingOnTheDisk) {
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
    ASSERT_TRUE(MakeTone(dir.filePath("a.wav"), 4.0));
    ASSERT_TRUE(Tagged(dir.filePath("a.wav"), dir.filePath("b.mp3"),
                       {u"title=Été à Lisbonne"_s, u"artist=Ana"_s, u"track=3"_s}));
    const QString slow = disk.filePath(u"slow"_s), many = disk.filePath(u"many"_s);
    ASSERT_TRUE(QDir().mkpath(slow) && QDir().mkpath(many));
    ASSERT_TRUE(QFile::copy(dir.filePath(u"a.wav"_s), slow + u"/a.wav"_s));
    for (int i = 0; i < 20000; ++i)
        ASSERT_EQ(::link(QFile::encodeName(dir.filePath(u"a.wav"_s)).constData(),
                         QFile::encodeName(many + u"/%1.wav"_s.arg(i)).constData()),
                  0);
    // A folder on a stalled disk (5 s a question) holds neither MPRIS nor a quit.
    Start({slow});
    for (int call = 0; call < 50; ++call, QTest::qWait(20)) {
        QElapsedTimer answered;
        answered.start();
        EXPECT_TRUE(Get(u"Volume"_s).isValid() && answered.elapsed() < 2500) << call;
    }
    Quit(1000);

    Start({dir.filePath("a.wav"), dir.filePath("b.mp3")});
    ASSERT_TRUE(Becomes(u"PlaybackStatus"_s, u"Playing"_s));
    // Its boxes and file dialogs are another program's: it does without Qt's widgets.
    EXPECT_FALSE(ReadBytes(u"/proc/%1/maps"_s.arg(first.processId())).contains("Qt6Widgets"));
    Call(u"Next"_s);
    ASSERT_TRUE(Soon([&] { return Title() == u"Été à Lisbonne"_s; }));
    EXPECT_EQ(Metadata().value("xesam:artist").toStringList(), QStringList{"Ana"});
    EXPECT_TRUE(Soon([&] { return Metadata().value("xesam:trackNumber").toInt() == 3; }));
    EXPECT_TRUE(Soon([&] { return Metadata().value("mpris:length").toLongLong() > 3'900'000; }));
    for (const QString& status : {u"Paused"_s, u"Playing"_s}) {
        Call(u"PlayPause"_s);
        EXPECT_TRUE(Becomes(u"PlaybackStatus"_s, status));
    }
    // Play and Pause say what they want: twice is the same as once.
    for (const QString& method : {u"Pause"_s, u"Play"_s}) {
        Call(method), QTest::qWait(100), Call(method);
        EXPECT_TRUE(Becomes(u"PlaybackStatus"_s, method == u"Play"_s ? u"Playing"_s : u"Paused"_s));
    }
    const std::vector<std::pair<QString, QVariant>> settings{
        {u"Volume"_s, 0.3}, {u"LoopStatus"_s, u"Playlist"_s}, {u"Shuffle"_s, true}};
    for (const auto& [property, value] : settings) {
        Call(u"Set"_s, {kPlayer, property, QVariant::fromValue(QDBusVariant(value))}, kProperties);
        EXPECT_TRUE(Becomes(property, value)) << property.toStdString();
    }

    // A second start hands a Latin-1 name, as its bytes, over to the running player.
    const QByteArray latin1 = QFile::encodeName(dir.path()) + "/caf\xe9.wav";
    ASSERT_TRUE(WriteFile(PathFromSystem(latin1), ReadBytes(dir.filePath("a.wav"))));
    second.setProcessEnvironment(first.processEnvironment());
    second.start(u"sh"_s,
                 {u"-c"_s, u"exec \"$0\" \"$(printf '%1/caf\\351.wav')\""_s.arg(dir.path()),
                  QStringLiteral(VELUNE_PROGRAM_DIR "/VelunePlayer")});
    ASSERT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(Soon([&] { return Title() == u"caf\ufffd.wav"_s; })) << Title().toStdString();
    EXPECT_EQ(Metadata().value("xesam:url").toString(),
              u"file://"_s + QString::fromLatin1(latin1.toPercentEncoding("/")));

    // The list and the settings come back after a logout, unplayed.
    Quit(30000);
    Start({});
    for (const auto& [property, value] : settings)
        EXPECT_TRUE(Becomes(property, value)) << property.toStdString();
    EXPECT_EQ(Get(u"PlaybackStatus"_s), u"Stopped"_s);
    EXPECT_EQ(Title(), u"caf\ufffd.wav"_s);
    Call(u"Play"_s);
    EXPECT_TRUE(Becomes(u"PlaybackStatus"_s, u"Playing"_s));
    Call(u"OpenUri"_s, {QUrl::fromLocalFile(dir.path()).toString()});
    EXPECT_TRUE(Soon([&] { return Title() == u"a.wav"_s; })) << Title().toStdString();
    // A station's .pls and its address from the desktop: each plays, titled by its song.
    QProcess station;
    station.start(u"python3"_s, {QStringLiteral(STREAM_SERVER), dir.path()});
    ASSERT_TRUE(station.waitForReadyRead(60000));
    const QString at =
        u"http://127.0.0.1:%1/"_s.arg(QString::fromLatin1(station.readLine()).trimmed());
    for (const QString& uri : {at + u"list.pls"_s, at + u"tone.mp3"_s}) {
        Call(u"OpenUri"_s, {uri});
        EXPECT_TRUE(Becomes(u"PlaybackStatus"_s, u"Playing"_s)) << uri.toStdString();
        EXPECT_TRUE(Soon([&] {
            return Metadata().value("xesam:url") == at + u"tone.mp3"_s &&
                   Title() == u"First Song"_s;
        })) << Title().toStdString();
        EXPECT_FALSE(Get(u"CanSeek"_s).toBool());
        Call(u"Stop"_s); // stopped, it names no song
        EXPECT_TRUE(Soon([&] { return !Metadata().isEmpty() && Title() != u"First Song"_s; }));
    }
    // Folders from the desktop join the list; a quit waits for no scan and no 5 s name lookup.
    Call(u"OpenUri"_s, {QString(at).replace(u"127.0.0.1"_s, u"slow.test"_s) + u"tone.mp3"_s});
    Call(u"OpenUri"_s, {QUrl::fromLocalFile(many).toString()});
    QTest::qWait(500);
    Quit(1000);
    // A crashed player leaves its lock behind: the next start takes it all the same.
    Start({});
    first.kill();
    first.waitForFinished();
    Start({});
    EXPECT_TRUE(RemoveFile(PathFromSystem(latin1)));
}

// A remembered library of 10 000 tagged rows in folders with covers, and a file given at
// start: it is heard at once and whole while the rows' tags and covers load.
TEST_F(Desktop, ARememberedLibraryLetsAFileGivenAtStartPlayAtOnce) {
    ASSERT_TRUE(MakeTone(dir.filePath("a.wav"), 3.0, 44100, 1));
    ASSERT_TRUE(
        Tagged(dir.filePath("a.wav"), dir.filePath("t.flac"), {u"title=Song"_s, u"artist=Ana"_s}));
    ASSERT_TRUE(MakeFromLavfi(u"color=c=red:s=300x300"_s, dir.filePath("cover.jpg"),
                              Args(u"-frames:v 1"_s)));
    const QString library = disk.filePath(u"library"_s);
    for (int folder = 0; folder < 1000; ++folder) {
        const QString at = library + u"/%1/"_s.arg(folder);
        ASSERT_TRUE(QDir().mkpath(at) &&
                    QFile::copy(dir.filePath("cover.jpg"), at + u"cover.jpg"_s));
        for (int song = 0; song < 10; ++song)
            ASSERT_EQ(::link(QFile::encodeName(dir.filePath("t.flac")).constData(),
                             QFile::encodeName(at + u"%1 Song.flac"_s.arg(song)).constData()),
                      0);
    }
    Start({library});
    ASSERT_TRUE(Becomes(u"PlaybackStatus"_s, u"Playing"_s));
    QTest::qWait(3000); // the rows and their tags are read meanwhile, and remembered at the quit
    Quit(30000);
    const QString module =
        QString::fromLatin1(
            RunTool(u"pactl"_s,
                    Args(u"load-module module-null-sink sink_name=velune_desktop_start"_s))
                .value_or(""))
            .trimmed();
    ASSERT_FALSE(module.isEmpty());
    sink = u"velune_desktop_start"_s;
    QProcess recorder;
    recorder.setStandardOutputFile(dir.filePath("heard.raw"));
    recorder.start(u"parec"_s, Args(u"-d velune_desktop_start.monitor --format=s16le --rate=44100 "
                                    "--channels=1 --raw --latency-msec=20"_s));
    ASSERT_TRUE(recorder.waitForStarted());
    Start({dir.filePath("a.wav")});
    EXPECT_TRUE(Becomes(u"PlaybackStatus"_s, u"Playing"_s));
    EXPECT_TRUE(Becomes(u"PlaybackStatus"_s, u"Stopped"_s)); // at the end of the list
    QTest::qWait(500);                                       // what the recorder still holds
    recorder.terminate();
    recorder.waitForFinished();
    RunTool(u"pactl"_s, {u"unload-module"_s, module});
    // From its first sound to its last: the whole tone, without a silence of 50 ms.
    const QByteArray bytes = ReadBytes(dir.filePath("heard.raw"));
    const auto* pcm = reinterpret_cast<const qint16*>(bytes.constData());
    qsizetype first = -1, last = -1, longest = 0;
    for (qsizetype i = 0; i < bytes.size() / 2; ++i)
        if (std::abs(pcm[i]) > 1) {
            longest = first < 0 ? 0 : std::max(longest, i - last - 1);
            first = first < 0 ? i : first, last = i;
        }
    EXPECT_NEAR(last - first, 3 * 44100, 1764); // the recorder's last 20 ms may stay in it
    EXPECT_LT(longest, 2205);
    Quit(30000);
}

struct Recorder : QObject {
    QList<QDBusMessage> heard;
    Q_OBJECT
public slots:
    void Heard(const QDBusMessage& message) { heard << message; }
};

// The window, bus and engine in this process (the queue and sort have no way in from outside).
TEST(DesktopBus, TellsNextPreviousSeeksAndTrackIdsAsTheyAre) {
    QTemporaryDir dir;
    QStringList files; // added as b, d, a, c: the rows' ids are 1 to 4
    for (const char* name : {"b", "d", "a", "c"}) {
        files << dir.filePath(QString::fromLatin1(name) + u".wav"_s);
        ASSERT_TRUE(MakeTone(files.back(), 20.0));
    }
    Around around;
    GaplessPlayer engine{[](std::function<void()>) -> std::unique_ptr<SoundOutput> {
        return std::make_unique<RecordingOutput>();
    }};
    PlayerWindow window{{around.face, around.form, around.messages, around.dialog, around.lock,
                         engine, around.timer, u"/opt/velune"_s, around.folders, around.background,
                         around.cache.path()}};
    DesktopBus bus(window, [] {});
    QObject::connect(&engine, &GaplessPlayer::changed, [&] {
        window.FollowEngine();
        bus.Refresh();
    });
    ASSERT_TRUE(window.Start());
    ASSERT_TRUE(bus.Register());
    QDBusConnection desktop =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"desktop"_s);
    Recorder recorder;
    for (const auto& [interface, name] :
         {std::pair{kProperties, u"PropertiesChanged"_s}, {kPlayer, u"Seeked"_s}})
        ASSERT_TRUE(desktop.connect(kService, kPath, interface, name, &recorder,
                                    SLOT(Heard(QDBusMessage))));
    // The window answers on this thread: a call waits for its reply turning the event loop.
    const auto call = [&](const QString& method, const QVariantList& args,
                          const QString& interface = kPlayer) {
        QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, interface, method);
        message.setArguments(args);
        const QDBusPendingCall pending = desktop.asyncCall(message);
        EXPECT_TRUE(QTest::qWaitFor([&] { return pending.isFinished(); }, 10000));
    };
    const QString track = u"/org/velune/VelunePlayer/track/"_s;
    // A step: "play", "remove" (a row not heard), "face COMMAND [ARGS]" or "mpris METHOD [MS]".
    const auto take = [&](const QStringList& w) {
        const QVariant ms = QVariant::fromValue(qlonglong(w.value(2).toLongLong() * 1000));
        if (w[0] == u"play")
            window.PlayFiles(files);
        else if (w[0] == u"remove")
            window.OnFaceCommand(u"IDC_FS_Remove"_s,
                                 window.list().current() == 0 ? u"1"_s : u"0"_s);
        else if (w[0] == u"face")
            window.OnFaceCommand(u"IDC_FS_"_s + w[1], w.value(2, u"undefined"_s));
        else
            call(w[1], w[1] == u"SetPosition"
                           ? QVariantList{QVariant::fromValue(QDBusObjectPath(track + u'1')), ms}
                       : w.size() > 2 ? QVariantList{ms}
                                      : QVariantList{});
    };
    // Next, Previous, the track (its letter if the id is its row's), then what a step told.
    QVariantMap told;
    const auto view = [&] {
        QStringList announced, seeked;
        for (const QDBusMessage& message : std::exchange(recorder.heard, {})) {
            if (message.member() == u"Seeked")
                seeked << QString::number(message.arguments().value(0).toLongLong() / 1000);
            const QVariantMap changed = qdbus_cast<QVariantMap>(message.arguments().value(1));
            announced << changed.keys();
            told.insert(changed);
        }
        announced.sort();
        const QVariantMap meta = qdbus_cast<QVariantMap>(told.value(u"Metadata"_s));
        const QString id = meta.value(u"mpris:trackid"_s).value<QDBusObjectPath>().path();
        const QString file = QUrl(meta.value(u"xesam:url"_s).toString()).toLocalFile();
        return u"N%1 P%2 %3: %4; %5"_s.arg(told.value(u"CanGoNext"_s).toInt())
            .arg(told.value(u"CanGoPrevious"_s).toInt())
            .arg(id == track + QString::number(files.indexOf(file) + 1) ? QFileInfo(file).baseName()
                                                                        : u"?"_s,
                 announced.join(u','), seeked.join(u','));
    };
    // "*" for the track: any row, as long as the id is the row's.
    const std::vector<std::pair<const char*, const char*>> steps{
        {"play", ""},
        {"face SelectedIndex 3", "N0 P1 c: CanGoNext,CanGoPrevious,Metadata; "},
        {"face PlayNext 0", "N1 P1 c: CanGoNext; "},
        {"mpris Next", "N0 P0 b: CanGoNext,CanGoPrevious,Metadata; "},
        {"mpris Pause", "N0 P0 b: PlaybackStatus; "},
        {"mpris SetPosition 10000", "N0 P0 b: ; 10000"},
        {"face SeekBy 1500", "N0 P0 b: ; 11500"},
        {"mpris Seek -2500", "N0 P0 b: ; 9000"},
        {"mpris Play", "N0 P0 b: PlaybackStatus; "},
        {"face Shuffle tracks", "N1 P0 b: CanGoNext,Shuffle; "},
        {"mpris Next", "N1 P1 *: CanGoPrevious,Metadata; "},
        {"mpris Next", "N1 P1 *: Metadata; "},
        {"mpris Next", "N0 P1 *: CanGoNext,Metadata; "},
        {"face Repeat", "N1 P1 *: CanGoNext,LoopStatus; "},
        {"face Sort file", "N1 P1 *: ; "},
        {"remove", "N1 P1 *: ; "},
    };
    for (const auto& [step, expected] : steps) {
        view();
        take(QString::fromUtf8(step).split(u' '));
        for (int i = 0; i < 3; ++i)
            QTest::qWait(20), engine.Settle();
        bus.Refresh();
        call(u"Get"_s, {kPlayer, u"PlaybackStatus"_s}, kProperties);
        QTest::qWait(50);
        QString now = view();
        if (*expected && expected[6] == '*' && now[6] != u'?')
            now[6] = u'*';
        EXPECT_TRUE(!*expected || now == QString::fromUtf8(expected))
            << step << ": " << now.toStdString();
    }
}

} // namespace

#include "desktop_test.moc"
