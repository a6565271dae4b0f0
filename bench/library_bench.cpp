// Adds a generated library of short files (a tree of artists and albums, and some
// files that are no audio) to the real converter window, dropped on its face as a
// folder, and prints the time until its rows are listed and the longest the window
// did not answer meanwhile, beside `find | wc -l` over the same tree as a floor.
// Then converts the library to MP3 in batch mode and times a second run with
// --skip-existing, which finds every output complete and converts nothing.
// usage: library_bench [files=2000]
#include "converter_app.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cstdio>

using namespace velune;

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_CONFIG_HOME", QByteArrayLiteral("/tmp/velune-library-bench"));
    QApplication app(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 2000;
    QTemporaryDir dir;
    // One short WAV, copied into every place: generating is not what is measured.
    const QString tone = dir.filePath(QStringLiteral("tone.wav"));
    if (QProcess::execute(QStringLiteral("ffmpeg"),
                          {QStringLiteral("-nostdin"), QStringLiteral("-v"),
                           QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                           QStringLiteral("-i"), QStringLiteral("sine=duration=0.2"), tone}) != 0) {
        std::fputs("ffmpeg could not make the tone\n", stderr);
        return 1;
    }
    const QString library = dir.filePath(QStringLiteral("library"));
    for (int i = 0; i < files; ++i) {
        const QString folder =
            QStringLiteral("%1/Artist %2/Album %3").arg(library).arg(i / 100).arg(i / 10 % 10);
        QDir().mkpath(folder);
        const QString name = folder + QStringLiteral("/%1 Track.wav").arg(i % 10 + 1);
        if (i % 50 == 49)
            QFile(name + QStringLiteral(".txt")).open(QIODevice::WriteOnly); // no audio
        QFile::copy(tone, name);
    }
    QElapsedTimer clock;
    clock.start();
    QProcess find;
    find.start(QStringLiteral("sh"),
               {QStringLiteral("-c"), QStringLiteral("find '%1' -type f | wc -l").arg(library)});
    find.waitForFinished(-1);
    const double floor = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    const QByteArray found = find.readAllStandardOutput().trimmed();

    ConverterApp converter(QStringLiteral(VELUNE_PROGRAM_DIR));
    if (!converter.Start())
        return 1;
    // The window's thread: a tick every 10 ms notes the longest wait between two; the
    // report at the end of the add is closed as a user would.
    QElapsedTimer sinceTick;
    qint64 longest = 0;
    double listed = -1;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        longest = std::max(longest, sinceTick.restart());
        if (listed < 0 && converter.window().Files().size() >= files)
            listed = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        if (QWidget* box = QApplication::activeModalWidget())
            box->close();
    });
    QMimeData data;
    data.setData(QStringLiteral("text/uri-list"),
                 "file://" + QUrl::toPercentEncoding(QFile::encodeName(library), "/") + "\r\n");
    QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    clock.restart();
    sinceTick.start();
    ticks.start(10);
    QCoreApplication::sendEvent(&converter.faceView(), &enter);
    QCoreApplication::sendEvent(&converter.faceView(), &drop);
    while (listed < 0 && clock.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    std::printf("%d files listed (%s found by find) in %.2f s; find | wc -l %.3f s\n",
                static_cast<int>(converter.window().Files().size()), found.constData(), listed,
                floor);
    std::printf("the window's longest wait meanwhile: %lld ms\n", static_cast<long long>(longest));
    if (listed < 0)
        return 1;

    const QString program = QStringLiteral(VELUNE_PROGRAM_DIR) + QStringLiteral("/VeluneConverter");
    const QStringList args{QStringLiteral("--to"),  QStringLiteral("mp3"),
                           QStringLiteral("--out"), dir.filePath(QStringLiteral("mp3")),
                           QStringLiteral("--skip-existing"), library};
    QDir().mkpath(dir.filePath(QStringLiteral("mp3")));
    for (const char* run : {"first run", "re-run, every output complete"}) {
        clock.restart();
        QProcess batch;
        batch.start(program, args);
        batch.waitForFinished(-1);
        std::printf("batch %s: %.2f s: %s", run, static_cast<double>(clock.nsecsElapsed()) / 1e9,
                    batch.readAllStandardOutput().constData());
    }
    return 0;
}
