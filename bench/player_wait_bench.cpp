// Drives the real player (its real face offscreen, the real engine, the desktop's
// sound server) through every kind of edge a library has, a command every 30 ms
// for a while, and prints the longest the window's thread did not answer: a timer
// of 10 ms notes its lateness, as library_bench does.
// usage: player_wait_bench [seconds=20]
#include "player_app.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace velune;

namespace {
bool Make(const QString& path, const QString& source, const QString& filter = {}) {
    QStringList args{QStringLiteral("-nostdin"), QStringLiteral("-v"),
                     QStringLiteral("error"),    QStringLiteral("-y"),
                     QStringLiteral("-f"),       QStringLiteral("lavfi"),
                     QStringLiteral("-i"),       source};
    if (!filter.isEmpty())
        args << QStringLiteral("-af") << filter;
    return QProcess::execute(QStringLiteral("ffmpeg"), args << path) == 0;
}

// A local address that takes connections and never answers them.
int SilentServer(int& port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    listen(fd, 16);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
    return fd;
}
} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_CONFIG_HOME", QByteArrayLiteral("/tmp/velune-player-wait-bench"));
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
    QTemporaryDir dir;
    const auto file = [&](const char* name) { return dir.filePath(QString::fromLatin1(name)); };
    const QString sine = QStringLiteral("sine=frequency=440:duration=%1");
    int port = 0;
    const int silent = SilentServer(port);
    QFile ram(file("stalled.ram"));
    QFile corrupt(file("corrupt.mp3"));
    if (!Make(file("a.wav"), sine.arg(1)) || !Make(file("long.mp3"), sine.arg(30)) ||
        !Make(file("five.flac"), sine.arg(1), QStringLiteral("aformat=channel_layouts=5.0")) ||
        !Make(file("fast.wav"), sine.arg(1), QStringLiteral("aresample=384000")) ||
        !ram.open(QIODevice::WriteOnly) || !corrupt.open(QIODevice::WriteOnly)) {
        std::fputs("ffmpeg could not make the files\n", stderr);
        return 1;
    }
    ram.write(QStringLiteral("http://127.0.0.1:%1/live.rm\n").arg(port).toUtf8());
    ram.close();
    corrupt.write(QByteArray(4000, '\x5a'));
    corrupt.close();
    const QStringList files{file("a.wav"),     file("missing.wav"), file("corrupt.mp3"),
                            file("five.flac"), file("fast.wav"),    file("stalled.ram"),
                            file("long.mp3"),  file("a.wav")};

    PlayerApp player(QStringLiteral(VELUNE_PROGRAM_DIR));
    if (player.Start(files) != PlayerApp::Started::Running)
        return 1;
    PlayerWindow& window = player.window();
    QElapsedTimer sinceTick;
    qint64 longest = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        longest = std::max(longest, sinceTick.restart());
        // The messages inform and hold nothing up; a user closes them now and then.
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (qobject_cast<QMessageBox*>(widget) && widget->isVisible())
                widget->close();
    });
    const char* const kCommands[] = {
        "IDC_FS_Play",     "IDC_FS_Next",   "IDC_FS_Pause",         "IDC_FS_Pause", "IDC_FS_Stop",
        "IDC_FS_Previous", "IDC_FS_SeekBy", "IDC_FS_SelectedIndex", "IDC_FS_Play",  "IDC_FS_Play"};
    QRandomGenerator random(7);
    int sent = 0;
    QTimer commands;
    QObject::connect(&commands, &QTimer::timeout, [&] {
        const QString command = QString::fromLatin1(kCommands[random.bounded(10)]);
        window.OnFaceCommand(command, command == QLatin1String("IDC_FS_SelectedIndex")
                                          ? QString::number(random.bounded(files.size()))
                                          : QStringLiteral("5000"));
        ++sent;
    });
    sinceTick.start();
    ticks.start(10);
    commands.start(30);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < seconds * 1000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    std::printf("%d commands in %d s on missing, corrupt, 5.0, 384 kHz, stalled network and "
                "long files; the window's longest wait: %lld ms\n",
                sent, seconds, static_cast<long long>(longest));
    close(silent);
    return 0;
}
