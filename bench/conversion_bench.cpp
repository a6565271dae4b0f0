// Converts a batch of generated audio files to each target format with the
// converter's engine, with one worker and with one per core, and with ffmpeg,
// lame, oggenc, flac and opusenc run one file after another at the same settings
// on the same files; prints each time and its ratio to the fastest serial peer per
// format. The "mp3-rg" row measures ReplayGain on (against lame without it).
// usage: conversion_bench [files=10] [seconds=180]
#include "ffmpeg_converter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <functional>
#include <map>

using namespace velune;

namespace {

bool Run(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    return process.waitForFinished(-1) && process.exitCode() == 0;
}

// A peer: the program and the arguments for one source and its output.
struct Peer {
    QString name;
    std::function<QStringList(const QString&, const QString&)> args;
};

double Seconds(const QElapsedTimer& clock) {
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

// Converts every source with the engine; the time in seconds, or a negative on failure.
double Engine(int jobs, const QStringList& sources, const QString& folder, TargetFormat format,
              Quality quality, bool replayGain, const QString& extension) {
    FfmpegConverter engine(jobs);
    QElapsedTimer clock;
    clock.start();
    for (const QString& source : sources)
        if (!engine.add({source,
                         folder + QLatin1Char('/') + QFileInfo(source).completeBaseName() +
                             QLatin1Char('.') + extension,
                         format, quality, replayGain}))
            return -1;
    if (!engine.start())
        return -1;
    while (!engine.Finished())
        QThread::msleep(5);
    const double seconds = Seconds(clock);
    for (int i = 0; i < sources.size(); ++i)
        if (engine.State(i) != ConverterEngine::ItemState::Converted) {
            std::fprintf(stderr, "item %d failed: %s\n", i, qPrintable(engine.FailureReason(i)));
            return -1;
        }
    return seconds;
}

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
                  QStringLiteral("-c:a"), QStringLiteral("pcm_s16le"), path})) {
            std::fputs("ffmpeg could not generate the sources\n", stderr);
            return 1;
        }
        sources << path;
    }

    const auto ffmpeg = [](QStringList codec) {
        return Peer{QStringLiteral("ffmpeg"), [codec](const QString& in, const QString& out) {
                        return QStringList{QStringLiteral("-nostdin"), QStringLiteral("-v"),
                                           QStringLiteral("error"),    QStringLiteral("-y"),
                                           QStringLiteral("-i"),       in}
                               << codec << out;
                    }};
    };
    struct Target {
        TargetFormat format;
        Quality quality;
        bool replayGain;
        QString label;
        QString extension;
        std::vector<Peer> peers;
    };
    const std::vector<Target> targets{
        {TargetFormat::Wav,
         {},
         false,
         QStringLiteral("wav"),
         QStringLiteral("wav"),
         {ffmpeg({QStringLiteral("-c:a"), QStringLiteral("pcm_s16le")})}},
        {TargetFormat::Mp3,
         {},
         false,
         QStringLiteral("mp3"),
         QStringLiteral("mp3"),
         {ffmpeg({QStringLiteral("-c:a"), QStringLiteral("libmp3lame"), QStringLiteral("-b:a"),
                  QStringLiteral("192k")}),
          Peer{QStringLiteral("lame"),
               [](const QString& in, const QString& out) {
                   return QStringList{QStringLiteral("--quiet"),
                                      QStringLiteral("--cbr"),
                                      QStringLiteral("-b"),
                                      QStringLiteral("192"),
                                      in,
                                      out};
               }}}},
        {TargetFormat::Mp3,
         {},
         true,
         QStringLiteral("mp3-rg"),
         QStringLiteral("mp3"),
         {Peer{QStringLiteral("lame"),
               [](const QString& in, const QString& out) {
                   return QStringList{QStringLiteral("--quiet"),
                                      QStringLiteral("--cbr"),
                                      QStringLiteral("-b"),
                                      QStringLiteral("192"),
                                      in,
                                      out};
               }}}},
        {TargetFormat::Mp3,
         {Quality::Kind::Vbr, 2},
         false,
         QStringLiteral("mp3-v2"),
         QStringLiteral("mp3"),
         {Peer{QStringLiteral("lame"),
               [](const QString& in, const QString& out) {
                   return QStringList{QStringLiteral("--quiet"), QStringLiteral("-V"),
                                      QStringLiteral("2"), in, out};
               }}}},
        {TargetFormat::Flac,
         {},
         false,
         QStringLiteral("flac"),
         QStringLiteral("flac"),
         {Peer{QStringLiteral("flac"),
               [](const QString& in, const QString& out) {
                   return QStringList{QStringLiteral("-s"),
                                      QStringLiteral("-5"),
                                      QStringLiteral("-f"),
                                      QStringLiteral("-o"),
                                      out,
                                      in};
               }}}},
        {TargetFormat::Opus,
         {},
         false,
         QStringLiteral("opus"),
         QStringLiteral("opus"),
         {Peer{QStringLiteral("opusenc"),
               [](const QString& in, const QString& out) {
                   return QStringList{QStringLiteral("--quiet"), QStringLiteral("--bitrate"),
                                      QStringLiteral("128"), in, out};
               }}}},
        {TargetFormat::Ogg,
         {},
         false,
         QStringLiteral("ogg"),
         QStringLiteral("ogg"),
         {ffmpeg({QStringLiteral("-c:a"), QStringLiteral("libvorbis"), QStringLiteral("-q:a"),
                  QStringLiteral("5")}),
          Peer{QStringLiteral("oggenc"),
               [](const QString& in, const QString& out) {
                   return QStringList{QStringLiteral("--quiet"),
                                      QStringLiteral("-q"),
                                      QStringLiteral("5"),
                                      QStringLiteral("-o"),
                                      out,
                                      in};
               }}}},
    };

    const int cores = FfmpegConverter::DefaultJobs();
    std::printf("%-6s %-14s %10s %8s\n", "format", "converter", "time (s)", "ratio");
    for (const Target& target : targets) {
        std::map<QString, double> times;
        for (const Peer& peer : target.peers) {
            if (QStandardPaths::findExecutable(peer.name).isEmpty()) {
                std::printf("%-6s %-14s %10s\n", qPrintable(target.label), qPrintable(peer.name),
                            "missing");
                continue;
            }
            const QString out = dir.filePath(peer.name + QLatin1Char('-') + target.label);
            QDir().mkpath(out);
            QElapsedTimer clock;
            clock.start();
            for (const QString& source : sources)
                if (!Run(peer.name, peer.args(source, out + QLatin1Char('/') +
                                                          QFileInfo(source).completeBaseName() +
                                                          QLatin1Char('.') + target.extension)))
                    return 1;
            times[peer.name] = Seconds(clock);
        }
        double fastest = 0;
        for (const auto& [name, time] : times)
            if (fastest == 0 || time < fastest)
                fastest = time;
        for (const int jobs : {1, cores}) {
            const QString out = dir.filePath(QStringLiteral("velune%1-").arg(jobs) + target.label);
            QDir().mkpath(out);
            const double time = Engine(jobs, sources, out, target.format, target.quality,
                                       target.replayGain, target.extension);
            if (time < 0)
                return 1;
            times[QStringLiteral("velune %1 job%2").arg(jobs).arg(jobs == 1 ? "" : "s")] = time;
        }
        for (const auto& [name, time] : times)
            std::printf("%-6s %-14s %10.2f %8.2f\n", qPrintable(target.label), qPrintable(name),
                        time, time / fastest);
        std::fflush(stdout);
    }
    return 0;
}
