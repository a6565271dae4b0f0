#pragma once

// Generates small media files with ffmpeg and reads their properties with ffprobe,
// and decodes them with ffmpeg to count their samples.

#include <QFile>
#include <QHash>
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

inline QByteArray RunTool(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForStarted(30000))
        return {};
    process.closeWriteChannel();
    QByteArray out;
    while (process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(60000);
        out += process.readAllStandardOutput();
    }
    out += process.readAllStandardOutput();
    return process.exitCode() == 0 ? out : QByteArray();
}

// The audio as decoded, 16-bit samples interleaved. Ogg Vorbis goes through the
// reference decoder: FFmpeg's trims the end of a short one-page stream wrongly.
inline QByteArray DecodedPcm(const QString& path) {
    if (path.endsWith(QLatin1String(".ogg")))
        return RunTool(QStringLiteral("oggdec"), {QStringLiteral("-Q"), QStringLiteral("-R"),
                                                  QStringLiteral("-o"), QStringLiteral("-"), path});
    return RunTool(QStringLiteral("ffmpeg"),
                   {QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"),
                    QStringLiteral("-i"), path, QStringLiteral("-f"), QStringLiteral("s16le"),
                    QStringLiteral("-")});
}

// Samples per channel that a decoder gives, encoder delay and padding trimmed.
inline qint64 DecodedSamples(const QString& path, int channels) {
    return channels > 0 ? DecodedPcm(path).size() / (2 * channels) : -1;
}

// Every tag of the file and of its audio stream, by lower-case name; "cover" is
// "yes" when it holds an attached picture.
inline QHash<QString, QString> Tags(const QString& path) {
    const QJsonObject root =
        QJsonDocument::fromJson(
            RunTool(QStringLiteral("ffprobe"),
                    {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-print_format"),
                     QStringLiteral("json"), QStringLiteral("-show_format"),
                     QStringLiteral("-show_streams"), path}))
            .object();
    QHash<QString, QString> tags;
    const auto take = [&](const QJsonObject& object) {
        const QJsonObject found = object.value(QStringLiteral("tags")).toObject();
        for (auto it = found.begin(); it != found.end(); ++it)
            tags.insert(it.key().toLower(), it.value().toString());
    };
    take(root.value(QStringLiteral("format")).toObject());
    for (const QJsonValue stream : root.value(QStringLiteral("streams")).toArray()) {
        const QJsonObject object = stream.toObject();
        if (object.value(QStringLiteral("codec_type")).toString() == QLatin1String("audio"))
            take(object);
        else if (object.value(QStringLiteral("disposition"))
                     .toObject()
                     .value(QStringLiteral("attached_pic"))
                     .toInt() == 1)
            tags.insert(QStringLiteral("cover"), QStringLiteral("yes"));
    }
    return tags;
}

// Writes a file of the given bytes (none: empty); false when it cannot.
inline bool WriteFile(const QString& path, const QByteArray& bytes = {}) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Bytes that no decoder takes for audio.
inline QByteArray Noise(int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 7919 % 251);
    return bytes;
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
    info.bitRate = audio.value(QStringLiteral("bit_rate")).toString().toInt();
    return info;
}

} // namespace velune::test
