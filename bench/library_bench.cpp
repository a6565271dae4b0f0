// Adds a generated library of short files (a tree of artists and albums, and some
// files that are no audio) the way Add folder does, on a worker, and prints the time
// beside `find | wc -l` over the same tree as a floor.
// usage: library_bench [files=2000]
#include "library.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

using namespace velune;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
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
    clock.restart();
    const LibraryScan scan = ScanFolder(library);
    const double scanned = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    std::printf("%d files (%s found by find) in %.2f s; find | wc -l %.3f s\n",
                static_cast<int>(scan.files.size()),
                find.readAllStandardOutput().trimmed().constData(), scanned, floor);
    std::printf("%d passed over: not audio\n", scan.notAudio);
    return 0;
}
