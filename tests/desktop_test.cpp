// The player on a private session bus, as real processes: MPRIS calls that do not
// reach the window, state the desktop reads wrong, files handed to a running
// player lost, the list forgotten between runs. Runs under dbus-run-session.
#include "media.h"
#include "qt_print.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace velune::test;

namespace {

const QString kService = QStringLiteral("org.mpris.MediaPlayer2.VelunePlayer");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");

class Desktop : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
        ASSERT_TRUE(MakeTone(dir.filePath(QStringLiteral("a.wav")), 4.0));
        RunTool(QStringLiteral("ffmpeg"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"),
                 dir.filePath(QStringLiteral("a.wav")), QStringLiteral("-metadata"),
                 QStringLiteral("title=Été à Lisbonne"), QStringLiteral("-metadata"),
                 QStringLiteral("artist=Ana"), dir.filePath(QStringLiteral("b.mp3"))});
        ASSERT_TRUE(QFile::exists(dir.filePath(QStringLiteral("b.mp3"))));
        ASSERT_TRUE(MakeTone(dir.filePath(QStringLiteral("c.ogg")), 4.0));
    }
    void TearDown() override {
        for (QProcess* player : {&first, &second})
            if (player->state() != QProcess::NotRunning) {
                player->kill();
                player->waitForFinished();
            }
    }

    void Start(QProcess& player, const QStringList& files) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        player.setProcessEnvironment(env);
        player.start(QStringLiteral(VELUNE_PROGRAM_DIR "/VelunePlayer"), files);
        ASSERT_TRUE(player.waitForStarted());
    }
    bool OnBus() {
        return QTest::qWaitFor(
            [] { return QDBusConnection::sessionBus().interface()->isServiceRegistered(kService); },
            20000);
    }
    QVariant Get(const char* property) {
        QDBusInterface props(kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"));
        const QDBusReply<QDBusVariant> reply =
            props.call(QStringLiteral("Get"), QStringLiteral("org.mpris.MediaPlayer2.Player"),
                       QString::fromLatin1(property));
        return reply.isValid() ? reply.value().variant() : QVariant();
    }
    void Set(const char* property, const QVariant& value) {
        QDBusInterface props(kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"));
        props.call(QStringLiteral("Set"), QStringLiteral("org.mpris.MediaPlayer2.Player"),
                   QString::fromLatin1(property), QVariant::fromValue(QDBusVariant(value)));
    }
    QDBusMessage Call(const char* method, const QVariantList& args = {}) {
        QDBusInterface player(kService, kPath, QStringLiteral("org.mpris.MediaPlayer2.Player"));
        return player.callWithArgumentList(QDBus::Block, QString::fromLatin1(method), args);
    }
    QVariantMap Metadata() {
        QVariantMap map;
        Get("Metadata").value<QDBusArgument>() >> map;
        return map;
    }
    QString Title() { return Metadata().value(QStringLiteral("xesam:title")).toString(); }
    bool Becomes(const char* property, const QVariant& value) {
        return QTest::qWaitFor([&] { return Get(property) == value; }, 15000);
    }

    QTemporaryDir dir;
    QTemporaryDir config;
    QProcess first;
    QProcess second;
};

TEST_F(Desktop, MprisDrivesAndReadsThePlayerAndASecondStartHandsItsFilesOver) {
    Start(first, {dir.filePath(QStringLiteral("a.wav")), dir.filePath(QStringLiteral("b.mp3"))});
    ASSERT_TRUE(OnBus());
    ASSERT_TRUE(Becomes("PlaybackStatus", QStringLiteral("Playing")));
    EXPECT_EQ(Title(), QStringLiteral("a.wav"));
    EXPECT_TRUE(Get("CanGoNext").toBool());
    EXPECT_FALSE(Get("CanGoPrevious").toBool());

    Call("Next");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Title() == QStringLiteral("Été à Lisbonne"); }));
    EXPECT_EQ(Metadata().value(QStringLiteral("xesam:artist")).toStringList(),
              QStringList{QStringLiteral("Ana")});
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return Metadata().value(QStringLiteral("mpris:length")).toLongLong() > 3'900'000; }));

    Call("PlayPause");
    EXPECT_TRUE(Becomes("PlaybackStatus", QStringLiteral("Paused")));
    Call("PlayPause");
    EXPECT_TRUE(Becomes("PlaybackStatus", QStringLiteral("Playing")));

    Set("Volume", 0.3);
    EXPECT_TRUE(Becomes("Volume", 0.3));
    Set("LoopStatus", QStringLiteral("Playlist"));
    EXPECT_TRUE(Becomes("LoopStatus", QStringLiteral("Playlist")));

    // Seeks: forward by a second; an unknown track or a position past the end is ignored.
    ASSERT_TRUE(QTest::qWaitFor([&] { return Get("CanSeek").toBool(); }));
    const qlonglong before = Get("Position").toLongLong();
    Call("Seek", {qlonglong(1'500'000)});
    EXPECT_TRUE(QTest::qWaitFor([&] { return Get("Position").toLongLong() > before + 1'000'000; }));
    Call("SetPosition",
         {QVariant::fromValue(QDBusObjectPath(QStringLiteral("/no/such/track"))), qlonglong(0)});
    Call("SetPosition",
         {QVariant::fromValue(QDBusObjectPath(
              Metadata().value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>())),
          qlonglong(999'000'000)});
    EXPECT_GT(Get("Position").toLongLong(), before + 1'000'000);
    Call("OpenUri", {QStringLiteral("https://example.invalid/stream.mp3")});

    // A second start with a file: it goes to the running player, which plays it.
    Start(second, {dir.filePath(QStringLiteral("c.ogg"))});
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Title() == QStringLiteral("c.ogg"); }));
    EXPECT_EQ(first.state(), QProcess::Running);

    // Quit ends it; the list and the volume are remembered, and come back unplayed.
    QDBusInterface root(kService, kPath, QStringLiteral("org.mpris.MediaPlayer2"));
    root.call(QStringLiteral("Quit"));
    ASSERT_TRUE(first.waitForFinished(15000));
    EXPECT_EQ(first.exitCode(), 0);
    Start(first, {});
    ASSERT_TRUE(OnBus());
    EXPECT_TRUE(Becomes("Volume", 0.3));
    EXPECT_EQ(Get("LoopStatus"), QStringLiteral("Playlist"));
    EXPECT_EQ(Get("PlaybackStatus"), QStringLiteral("Stopped"));
    EXPECT_EQ(Title(), QStringLiteral("c.ogg"));
    Call("Play");
    EXPECT_TRUE(Becomes("PlaybackStatus", QStringLiteral("Playing")));
}

} // namespace
