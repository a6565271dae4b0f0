#pragma once

// Real media for the tests: tones and tagged files made with ffmpeg, probed and decoded back.

#include "qt_print.h"
#include "system_names.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <fstream>
#include <gtest/gtest.h>

namespace velune::test {

// Words to arguments; none of the tests' own words hold a blank.
inline QStringList Args(const QString& words) {
    return words.split(u' ', Qt::SkipEmptyParts);
}

// Runs a tool to its end: its standard output, or nothing when it failed.
inline std::optional<QByteArray> RunTool(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}

// Writes what an FFmpeg lavfi source makes, its folder too; the extension names the codec.
inline bool MakeFromLavfi(const QString& source, const QString& path,
                          const QStringList& args = {}) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    return RunTool(u"ffmpeg"_s, Args(u"-nostdin -v error -y -f lavfi -i"_s)
                                    << source << args << path)
        .has_value();
}

// Writes `seconds` of a tone.
inline bool MakeTone(const QString& path, double seconds, int rate = 44100, int channels = 2,
                     const QStringList& codecArgs = {}) {
    const QString sine = u"sine=frequency=440:sample_rate=%1:duration=%2"_s.arg(rate).arg(seconds);
    return MakeFromLavfi(sine, path, QStringList{u"-ac"_s, QString::number(channels)} + codecArgs);
}

// A copy of `from` with these "key=value" tags and, when given, an attached picture.
inline bool Tagged(const QString& from, const QString& to, const QStringList& tags,
                   const QString& cover = {}) {
    QStringList args = Args(u"-nostdin -v error -y -i"_s) << from;
    if (!cover.isEmpty())
        args << Args(u"-i %1 -map 0 -map 1 -c:v copy -disposition:v attached_pic"_s.arg(cover));
    for (const QString& tag : tags)
        args << u"-metadata"_s << tag;
    return RunTool(u"ffmpeg"_s, args << to).has_value();
}

// 16-bit samples interleaved; Ogg Vorbis by oggdec, as FFmpeg cuts short one-page streams.
inline QByteArray DecodedPcm(const QString& path) {
    if (path.endsWith(".ogg"_L1))
        return RunTool(u"oggdec"_s, Args(u"-Q -R -o -"_s) << path).value_or(QByteArray());
    return RunTool(u"ffmpeg"_s, Args(u"-nostdin -v error -i"_s) << path << Args(u"-f s16le -"_s))
        .value_or(QByteArray());
}

// Samples per channel that a decoder gives, encoder delay and padding trimmed.
inline qint64 DecodedSamples(const QString& path, int channels) {
    return DecodedPcm(path).size() / (2 * channels);
}

// Samples per channel that "mpg123" or "gstreamer" (as the desktop's players) decodes.
inline qint64 DecodedSamplesBy(const QString& decoder, const QString& path, int channels) {
    const bool mpg123 = decoder == "mpg123"_L1;
    const QString words = mpg123 ? u"-q -s %1"_s
                                 : u"-q filesrc location=%1 ! decodebin ! audioconvert ! "
                                   "audio/x-raw,format=S16LE ! fdsink fd=1"_s;
    const auto pcm = RunTool(mpg123 ? decoder : u"gst-launch-1.0"_s,
                             Args(words).replaceInStrings(u"%1"_s, path));
    return pcm ? pcm->size() / (2 * channels) : -1;
}

struct MediaInfo {
    QString codec;
    int channels = 0;
    int sampleRate = 0;
    int bitRate = 0;
    QString sampleFormat; // "s16", "s32", "fltp", ...
    // Every tag of the file and its audio by lower-case name.
    QHash<QString, QString> tags;
    QStringList pictures; // the kind of each attached picture: "Cover (front)", ...
};

inline MediaInfo Probe(const QString& path) {
    const auto json =
        RunTool(u"ffprobe"_s, Args(u"-v error -of json -show_format -show_streams"_s) << path);
    const QJsonObject root = QJsonDocument::fromJson(json.value_or(QByteArray())).object();
    MediaInfo info;
    const auto take = [&](const QJsonObject& object) {
        const QJsonObject found = object.value("tags"_L1).toObject();
        for (auto it = found.begin(); it != found.end(); ++it)
            info.tags.insert(it.key().toLower(), it.value().toString());
    };
    take(root.value("format"_L1).toObject());
    for (const QJsonValue stream : root.value("streams"_L1).toArray()) {
        const QJsonObject s = stream.toObject();
        if (s.value("disposition"_L1).toObject().value("attached_pic"_L1).toInt() == 1)
            info.pictures << s.value("tags"_L1).toObject().value("comment"_L1).toString();
        if (s.value("codec_type"_L1).toString() != "audio"_L1)
            continue;
        take(s);
        info.codec = s.value("codec_name"_L1).toString();
        info.channels = s.value("channels"_L1).toInt();
        info.sampleRate = s.value("sample_rate"_L1).toString().toInt();
        info.bitRate = s.value("bit_rate"_L1).toString().toInt();
        info.sampleFormat = s.value("sample_fmt"_L1).toString();
    }
    return info;
}

// Writes a file of the given bytes (none: empty); false when it cannot.
inline bool WriteFile(const QString& path, const QByteArray& bytes = {}) {
    std::ofstream file(SystemPath(path), std::ios::binary | std::ios::trunc);
    return file.write(bytes.constData(), bytes.size()) && file.flush();
}

// The bytes of a file; none when it cannot be read.
inline QByteArray ReadBytes(const QString& path) {
    std::ifstream file(SystemPath(path), std::ios::binary);
    return QByteArray::fromStdString(std::string(std::istreambuf_iterator<char>(file), {}));
}

// Bytes that no decoder takes for audio.
inline QByteArray Noise(int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 7919 % 251);
    return bytes;
}

// Every file of a folder, hidden ones too, by name.
inline QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

#ifdef CONVERTER
struct Outcome {
    int status;
    QString out;
    QString err;
};

// Runs the converter; `prefix` names a program it runs under (strace, env) and its words.
inline Outcome Converter(const QStringList& arguments, const QStringList& prefix = {}) {
    QProcess process;
    const QStringList words = prefix + QStringList{QStringLiteral(CONVERTER)} + arguments;
    process.start(words.front(), words.mid(1));
    EXPECT_TRUE(process.waitForFinished(180000));
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}
#endif

} // namespace velune::test
