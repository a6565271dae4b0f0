#pragma once

// Generates small media files with ffmpeg and reads their properties with ffprobe.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace velune::test {

// Writes `seconds` of a tone to `path`; the container and codec follow the extension
// unless `codecArgs` says otherwise. True when ffmpeg succeeded.
inline bool MakeTone(const QString& path, double seconds, int rate = 44100, int channels = 2,
                     const QStringList& codecArgs = {}) {
    QProcess ffmpeg;
    QStringList args{
        QStringLiteral("-nostdin"),
        QStringLiteral("-loglevel"),
        QStringLiteral("error"),
        QStringLiteral("-y"),
        QStringLiteral("-f"),
        QStringLiteral("lavfi"),
        QStringLiteral("-i"),
        QStringLiteral("sine=frequency=440:sample_rate=%1:duration=%2").arg(rate).arg(seconds),
        QStringLiteral("-ac"),
        QString::number(channels)};
    args << codecArgs << path;
    ffmpeg.start(QStringLiteral("ffmpeg"), args);
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitStatus() == QProcess::NormalExit &&
           ffmpeg.exitCode() == 0;
}

struct MediaInfo {
    bool ok = false;
    QString container;
    QString codec;
    int channels = 0;
    int sampleRate = 0;
    double duration = 0;
    int bitRate = 0;
};

inline MediaInfo Probe(const QString& path) {
    QProcess ffprobe;
    ffprobe.start(QStringLiteral("ffprobe"),
                  {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-print_format"),
                   QStringLiteral("json"), QStringLiteral("-show_format"),
                   QStringLiteral("-show_streams"), path});
    MediaInfo info;
    if (!ffprobe.waitForFinished(30000) || ffprobe.exitCode() != 0)
        return info;
    const QJsonObject root = QJsonDocument::fromJson(ffprobe.readAllStandardOutput()).object();
    const QJsonArray streams = root.value(QStringLiteral("streams")).toArray();
    if (streams.isEmpty())
        return info;
    const QJsonObject audio = streams.first().toObject();
    const QJsonObject format = root.value(QStringLiteral("format")).toObject();
    info.ok = true;
    info.container = format.value(QStringLiteral("format_name")).toString();
    info.codec = audio.value(QStringLiteral("codec_name")).toString();
    info.channels = audio.value(QStringLiteral("channels")).toInt();
    info.sampleRate = audio.value(QStringLiteral("sample_rate")).toString().toInt();
    info.duration = format.value(QStringLiteral("duration")).toString().toDouble();
    info.bitRate = format.value(QStringLiteral("bit_rate")).toString().toInt();
    return info;
}

} // namespace velune::test
