// Converts a batch of generated audio files to each target format with the
// converter's engine, and with ffmpeg one file after another on the same files,
// and prints the time ratio per format.
// usage: conversion_bench [files=10] [seconds=180]
#include "convfrm.h"
#include "vlc_converter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

using namespace velune;

namespace {

bool Run(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    return process.waitForFinished(-1) && process.exitCode() == 0;
}

struct Target {
    const char* format;
    const char* codec;
    const char* mux;
    QStringList ffmpegArgs;
};

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 10;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 180;
    QTemporaryDir dir;
    QStringList sources;
    std::printf("generating %d stereo files of %d s ...\n", files, seconds);
    for (int i = 0; i < files; ++i) {
        const QString path = dir.filePath(QStringLiteral("source%1.wav").arg(i));
        // Two tones and a little noise: something for the encoders to work on.
        if (!Run(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                  QStringLiteral("-y"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                  QStringLiteral("-i"),
                  QStringLiteral(
                      "aevalsrc=0.4*sin(%1*2*PI*t)+0.3*sin(%2*2*PI*t)+0.05*(random(0)-0.5)|"
                      "0.4*sin(%3*2*PI*t)+0.05*(random(1)-0.5):s=44100:d=%4")
                      .arg(220 + 20 * i)
                      .arg(330 + 15 * i)
                      .arg(440 + 10 * i)
                      .arg(seconds),
                  path})) {
            std::fputs("ffmpeg could not generate the sources\n", stderr);
            return 1;
        }
        sources << path;
    }

    const std::vector<Target> targets{
        {"wav", "s16l", "wav", {QStringLiteral("-c:a"), QStringLiteral("pcm_s16le")}},
        {"mp3",
         "mp3",
         "dummy",
         {QStringLiteral("-c:a"), QStringLiteral("libmp3lame"), QStringLiteral("-b:a"),
          QStringLiteral("192k")}},
        {"ogg",
         "vorb",
         "ogg",
         {QStringLiteral("-c:a"), QStringLiteral("libvorbis"), QStringLiteral("-q:a"),
          QStringLiteral("5")}},
    };
    VlcConverter engine;
    std::printf("%-6s %12s %12s %8s\n", "format", "velune (s)", "ffmpeg (s)", "ratio");
    for (const Target& target : targets) {
        const QString veluneOut =
            dir.filePath(QStringLiteral("velune-") + QLatin1String(target.format));
        const QString ffmpegOut =
            dir.filePath(QStringLiteral("ffmpeg-") + QLatin1String(target.format));
        QDir().mkpath(veluneOut);
        QDir().mkpath(ffmpegOut);

        QElapsedTimer clock;
        clock.start();
        if (!engine.playlistClear())
            return 1;
        for (const QString& source : sources) {
            const QString output = veluneOut + QLatin1Char('/') +
                                   QFileInfo(source).completeBaseName() + QLatin1Char('.') +
                                   QLatin1String(target.format);
            if (!engine.addTarget(
                    source,
                    TranscodeOption(QLatin1String(target.codec), QLatin1String(target.mux), output),
                    1, 0))
                return 1;
        }
        if (!engine.play() || !engine.playlistNext())
            return 1;
        if (!QTest::qWaitFor([&] { return engine.Finished(); }, 3600 * 1000))
            return 1;
        const double velune = clock.nsecsElapsed() / 1e9;
        for (int i = 0; i < files; ++i)
            if (engine.State(i) != ConverterEngine::ItemState::Converted)
                std::fprintf(stderr, "item %d failed: %s\n", i,
                             qPrintable(engine.FailureReason(i)));

        clock.restart();
        for (const QString& source : sources) {
            QStringList args{QStringLiteral("-nostdin"), QStringLiteral("-loglevel"),
                             QStringLiteral("error"),    QStringLiteral("-y"),
                             QStringLiteral("-i"),       source};
            args << target.ffmpegArgs
                 << ffmpegOut + QLatin1Char('/') + QFileInfo(source).completeBaseName() +
                        QLatin1Char('.') + QLatin1String(target.format);
            if (!Run(QStringLiteral("ffmpeg"), args))
                return 1;
        }
        const double ffmpeg = clock.nsecsElapsed() / 1e9;
        std::printf("%-6s %12.2f %12.2f %8.2f\n", target.format, velune, ffmpeg, velune / ffmpeg);
        std::fflush(stdout);
    }
    return 0;
}
