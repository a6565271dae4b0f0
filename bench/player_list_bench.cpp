// A library of 10 000 tagged files added to the real player (its real face
// offscreen) as one folder: prints the time until every row shows its tags, a
// second start's time with the tag cache, the time of a find, a sort and a
// shuffle, the time to draw the list scrolled through, and the longest the
// window's thread did not answer meanwhile (a 5 ms timer notes its lateness).
// usage: player_list_bench [files=10000]
#include "face_view.h"
#include "player_app.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QQuickItem>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

using namespace velune;

namespace {

// The longest gap between a 5 ms timer's calls while `work` runs the event loop.
struct Stalls {
    Stalls() {
        clock.start();
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout,
                         [this] { longest = std::max(longest, clock.restart()); });
        timer.start();
    }
    QElapsedTimer clock;
    QTimer timer;
    qint64 longest = 0;
};

template <typename Done> qint64 RunUntil(Done done, int limitMs = 600000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return clock.elapsed();
}

QQuickItem* Find(QQuickItem* item, const QString& name) {
    if (!item || item->objectName() == name)
        return item;
    for (QQuickItem* child : item->childItems())
        if (QQuickItem* found = Find(child, name))
            return found;
    return nullptr;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_CONFIG_HOME", QByteArrayLiteral("/tmp/velune-player-list-bench/config"));
    qputenv("XDG_CACHE_HOME", QByteArrayLiteral("/tmp/velune-player-list-bench/cache"));
    QDir(QStringLiteral("/tmp/velune-player-list-bench")).removeRecursively();
    QApplication app(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 10000;
    QTemporaryDir dir;
    // One short tagged FLAC, copied into every place: making files is not measured.
    const QString tone = dir.filePath(QStringLiteral("tone.flac"));
    if (QProcess::execute(QStringLiteral("ffmpeg"),
                          {QStringLiteral("-nostdin"), QStringLiteral("-v"),
                           QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                           QStringLiteral("-i"), QStringLiteral("sine=duration=0.2"),
                           QStringLiteral("-metadata"), QStringLiteral("title=Été en ville"),
                           QStringLiteral("-metadata"), QStringLiteral("artist=Ana Sol"),
                           QStringLiteral("-metadata"), QStringLiteral("album=Lisbon Days"),
                           tone}) != 0) {
        std::fputs("ffmpeg could not make the tone\n", stderr);
        return 1;
    }
    const QString library = dir.filePath(QStringLiteral("library"));
    for (int i = 0; i < files; ++i) {
        const QString folder =
            QStringLiteral("%1/Artist %2/Album %3").arg(library).arg(i / 100).arg(i / 10 % 10);
        QDir().mkpath(folder);
        QFile::copy(tone, folder + QStringLiteral("/%1 Track.flac").arg(i % 10 + 1));
    }

    qint64 firstStart = 0;
    {
        PlayerApp player(QStringLiteral(VELUNE_PROGRAM_DIR));
        if (player.Start() != PlayerApp::Started::Running)
            return 1;
        PlayerWindow& window = player.window();
        Stalls stalls;
        window.DropFiles({library});
        firstStart = RunUntil(
            [&] { return window.list().size() == files && window.Tags().size() == files; });
        std::printf("%d files added and their tags read: %lld ms, longest wait %lld ms\n",
                    window.list().size(), static_cast<long long>(firstStart),
                    static_cast<long long>(stalls.longest));
        QElapsedTimer clock;
        for (const auto& [what, command, args] :
             {std::tuple{"find \"ete 5\"", "IDC_FS_Find", "ete 5"},
              {"find cleared", "IDC_FS_Find", ""},
              {"sort by title", "IDC_FS_Sort", "title"},
              {"sort as added", "IDC_FS_Sort", "added"},
              {"shuffle by album", "IDC_FS_Shuffle", "albums"}}) {
            clock.start();
            window.OnFaceCommand(QLatin1String(command), QString::fromUtf8(args));
            QCoreApplication::processEvents();
            std::printf("%-18s %5lld ms (%zu rows shown)\n", what,
                        static_cast<long long>(clock.elapsed()), window.ShownRows().size());
        }
        // The list scrolled through, a frame drawn at each step.
        auto* view = QGuiApplication::topLevelWindows().isEmpty()
                         ? nullptr
                         : qobject_cast<FaceView*>(QGuiApplication::topLevelWindows().front());
        QQuickItem* list = view ? Find(view->rootObject(), QStringLiteral("playList")) : nullptr;
        if (list) {
            window.ToggleList();
            const double height = list->property("contentHeight").toDouble();
            const int steps = 200;
            clock.start();
            for (int step = 0; step <= steps; ++step) {
                list->setProperty("contentY", height * step / steps);
                view->grabWindow();
            }
            std::printf("scrolled through in %d frames: %.1f ms a frame\n", steps + 1,
                        double(clock.elapsed()) / (steps + 1));
        }
    }
    {
        // A second start: the list comes back with its tags from the cache.
        PlayerApp player(QStringLiteral(VELUNE_PROGRAM_DIR));
        QElapsedTimer clock;
        clock.start();
        if (player.Start() != PlayerApp::Started::Running)
            return 1;
        PlayerWindow& window = player.window();
        const qint64 again =
            clock.elapsed() + RunUntil([&] { return window.Tags().size() == files; });
        std::printf("second start, tags from the cache: %lld ms (%.2f of the first)\n",
                    static_cast<long long>(again), double(again) / double(firstStart));
    }
    return 0;
}
