#include "playlist_files.h"

#include "system_names.h"

#include <QMap>
#include <QRegularExpression>
#include <fstream>

namespace velune {

namespace {
// A playlist is text of a few lines per file; anything larger is not one.
constexpr qint64 kMaxBytes = 16 * 1024 * 1024;

// One entry as a local path, or "" when it is not a local file. An entry names its
// file by the file's own bytes, whatever the playlist's encoding: M3U8 files are
// UTF-8 as names mostly are, old M3U files are in the system's 8-bit encoding,
// as names ripped there are.
QString LocalPath(const QByteArray& entry, const QString& folder) {
    if (entry.left(5).toLower() == "file:") {
        QByteArray path = QByteArray::fromPercentEncoding(entry.mid(5));
        // file:///path and file://localhost/path; file:/path as some writers have it.
        if (path.startsWith("//")) {
            path = path.mid(2);
            path = path.mid(path.indexOf('/'));
        }
        return path.startsWith('/') ? AbsolutePath(PathFromSystem(path)) : QString();
    }
    if (entry.contains("://"))
        return {};
    const auto absolute = [&folder](const QString& path) {
        return AbsolutePath(path.startsWith(QLatin1Char('/')) ? path : folder + u'/' + path);
    };
    QString exact = absolute(PathFromSystem(entry));
    // Written in Latin-1 for a file whose name was since made UTF-8: that file.
    if (exact != absolute(QString::fromUtf8(entry)) && !IsFile(exact)) {
        QString decoded = absolute(QString::fromLatin1(entry));
        if (IsFile(decoded))
            return decoded;
    }
    return exact;
}

QList<QByteArray> Lines(const QByteArray& bytes) {
    QList<QByteArray> lines;
    for (const QByteArray& raw : bytes.split('\n'))
        lines << raw.trimmed();
    if (!lines.isEmpty() && lines.front().startsWith("\xef\xbb\xbf"))
        lines.front() = lines.front().mid(3); // a byte order mark
    return lines;
}

QList<QByteArray> M3uEntries(const QByteArray& bytes) {
    QList<QByteArray> entries;
    for (const QByteArray& line : Lines(bytes))
        if (!line.isEmpty() && !line.startsWith('#'))
            entries << line;
    return entries;
}

QList<QByteArray> PlsEntries(const QByteArray& bytes) {
    static const QRegularExpression fileLine(QStringLiteral(R"(^File(\d+)\s*=)"),
                                             QRegularExpression::CaseInsensitiveOption);
    QMap<int, QByteArray> numbered;
    for (const QByteArray& line : Lines(bytes)) {
        const auto match = fileLine.match(QString::fromLatin1(line));
        if (match.hasMatch())
            numbered.insert(match.captured(1).toInt(), line.mid(match.capturedLength(0)).trimmed());
    }
    return numbered.values();
}

bool HasSuffix(const QString& path, const char* suffix) {
    return path.section(QLatin1Char('.'), -1).compare(QLatin1String(suffix), Qt::CaseInsensitive) ==
               0 &&
           path.contains(QLatin1Char('.'));
}
} // namespace

bool IsPlaylistFile(const QString& path) {
    return HasSuffix(path, "m3u") || HasSuffix(path, "m3u8") || HasSuffix(path, "pls");
}

PlaylistEntries ReadPlaylistFile(const QString& path) {
    PlaylistEntries result;
    const QString shown = Readable(path);
    std::ifstream file(SystemPath(path), std::ios::binary);
    if (!IsFile(path) || !file) {
        result.error =
            QStringLiteral("The playlist '%1' does not exist or cannot be read.").arg(shown);
        return result;
    }
    // Read as far as a playlist may go, and no buffer of that size made for a small one.
    QByteArray bytes;
    char chunk[64 * 1024];
    while (file && bytes.size() <= kMaxBytes) {
        file.read(chunk, sizeof chunk);
        bytes.append(chunk, static_cast<qsizetype>(file.gcount()));
    }
    if (bytes.size() > kMaxBytes || bytes.contains('\0')) {
        result.error = QStringLiteral("'%1' is not a playlist.").arg(shown);
        return result;
    }
    const QString folder = FolderOf(path);
    for (const QByteArray& entry : HasSuffix(path, "pls") ? PlsEntries(bytes) : M3uEntries(bytes)) {
        const QString local = LocalPath(entry, folder);
        if (local.isEmpty() || IsPlaylistFile(local))
            ++result.skipped;
        else
            result.files << local;
    }
    if (result.files.isEmpty())
        result.error =
            QStringLiteral("The playlist '%1' lists no files that can be played.").arg(shown);
    return result;
}

QStringList ExpandPlaylists(const QStringList& paths, QStringList& errors) {
    QStringList files;
    for (const QString& path : paths) {
        if (!IsPlaylistFile(path)) {
            files << path;
            continue;
        }
        const PlaylistEntries entries = ReadPlaylistFile(path);
        files << entries.files;
        if (!entries.error.isEmpty())
            errors << entries.error;
    }
    return files;
}

} // namespace velune
