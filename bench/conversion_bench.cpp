// Converts a batch of generated audio files to each target format with the
// converter's engine, with one worker and with one per core, and with ffmpeg,
// lame, oggenc, flac and opusenc run one file after another at the same settings
// on the same files; prints each time and its ratio to the fastest serial peer per
// format. The "mp3-rg" row measures ReplayGain on, "mp3-tp" ReplayGain with the true
// peak and clipping prevented (both against lame without it). The "mp3-del" row
// converts as --delete-sources does: each output is read back from the disk and
// decoded whole before its source could go (the sources are kept here). The "m4a" and
// "alac" rows go against ffmpeg's own AAC (192 kbit/s) and ALAC encoders.
// usage: conversion_bench [files=10] [seconds=180] [rows, e.g. m4a,alac; all by default]
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
using namespace Qt::StringLiterals;

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
              Quality quality, bool replayGain, bool truePeak, bool verify,
              const QString& extension) {
    FfmpegConverter engine(jobs);
    QElapsedTimer clock;
    clock.start();
    for (const QString& source : sources) {
        ConversionJob job{source,
                          folder + QLatin1Char('/') + QFileInfo(source).completeBaseName() +
                              QLatin1Char('.') + extension,
                          format,
                          quality,
                          replayGain,
                          {{}, false, false, truePeak, truePeak}};
        job.verify = verify;
        if (!engine.add(job))
            return -1;
    }
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
    const QStringList only =
        argc > 3 ? QString::fromLocal8Bit(argv[3]).split(QLatin1Char(',')) : QStringList();
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
        int replayGain; // 0 none, 1 on, 2 with the true peak, 3 none but read back
        QString label;
        QString extension;
        std::vector<Peer> peers;
    };
    // A peer program that takes its options, then the source and the output, or that
    // names the output with -o before the source.
    const auto program = [](const char* name, const QStringList& options, bool outputFirst) {
        return Peer{
            QLatin1String(name), [options, outputFirst](const QString& in, const QString& out) {
                return outputFirst ? QStringList(options) << QStringLiteral("-o") << out << in
                                   : QStringList(options) << in << out;
            }};
    };
    const auto words = [](const char* text) {
        return QString::fromLatin1(text).split(QLatin1Char(' '));
    };
    const Peer lameCbr = program("lame", words("--quiet --cbr -b 192"), false);
    const std::vector<Target> targets{
        {TargetFormat::Wav, {}, 0, u"wav"_s, u"wav"_s, {ffmpeg(words("-c:a pcm_s16le"))}},
        {TargetFormat::Mp3,
         {},
         0,
         u"mp3"_s,
         u"mp3"_s,
         {ffmpeg(words("-c:a libmp3lame -b:a 192k")), lameCbr}},
        {TargetFormat::Mp3, {}, 1, u"mp3-rg"_s, u"mp3"_s, {lameCbr}},
        {TargetFormat::Mp3, {}, 2, u"mp3-tp"_s, u"mp3"_s, {lameCbr}},
        {TargetFormat::Mp3, {}, 3, u"mp3-del"_s, u"mp3"_s, {lameCbr}},
        {TargetFormat::Mp3,
         {Quality::Kind::Vbr, 2},
         0,
         u"mp3-v2"_s,
         u"mp3"_s,
         {program("lame", words("--quiet -V 2"), false)}},
        {TargetFormat::Flac,
         {},
         0,
         u"flac"_s,
         u"flac"_s,
         {program("flac", words("-s -5 -f"), true)}},
        {TargetFormat::Opus,
         {},
         0,
         u"opus"_s,
         u"opus"_s,
         {program("opusenc", words("--quiet --bitrate 128"), false)}},
        {TargetFormat::Ogg,
         {},
         0,
         u"ogg"_s,
         u"ogg"_s,
         {ffmpeg(words("-c:a libvorbis -q:a 5")), program("oggenc", words("--quiet -q 5"), true)}},
        {TargetFormat::M4a, {}, 0, u"m4a"_s, u"m4a"_s, {ffmpeg(words("-c:a aac -b:a 192k"))}},
        {TargetFormat::Alac, {}, 0, u"alac"_s, u"m4a"_s, {ffmpeg(words("-c:a alac"))}},
    };

    const int cores = FfmpegConverter::DefaultJobs();
    std::printf("%-6s %-14s %10s %8s\n", "format", "converter", "time (s)", "ratio");
    for (const Target& target : targets) {
        if (!only.isEmpty() && !only.contains(target.label))
            continue;
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
            const double time =
                Engine(jobs, sources, out, target.format, target.quality,
                       target.replayGain == 1 || target.replayGain == 2, target.replayGain == 2,
                       target.replayGain == 3, target.extension);
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
