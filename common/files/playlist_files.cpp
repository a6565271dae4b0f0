#include "playlist_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrl>

namespace velune {

namespace {
// A playlist is text of a few lines per file; anything larger is not one.
constexpr qint64 kMaxBytes = 16 * 1024 * 1024;

QString Text(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    // Old M3U files are in the system's 8-bit encoding.
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

// One entry as a local path, or "" when it is not a local file.
QString LocalPath(const QString& entry, const QDir& folder) {
    if (entry.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        return QUrl(entry).toLocalFile();
    if (entry.contains(QLatin1String("://")))
        return {};
    return QDir::cleanPath(folder.absoluteFilePath(entry));
}

QStringList M3uEntries(const QString& text) {
    QStringList entries;
    for (const QString& raw : text.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')))
            entries << line;
    }
    return entries;
}

QStringList PlsEntries(const QString& text) {
    static const QRegularExpression fileLine(QStringLiteral(R"(^\s*File(\d+)\s*=(.*)$)"),
                                             QRegularExpression::CaseInsensitiveOption);
    QMap<int, QString> numbered;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const auto match = fileLine.match(line);
        if (match.hasMatch())
            numbered.insert(match.captured(1).toInt(), match.captured(2).trimmed());
    }
    return numbered.values();
}
} // namespace

bool IsPlaylistFile(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("m3u") || suffix == QLatin1String("m3u8") ||
           suffix == QLatin1String("pls");
}

PlaylistEntries ReadPlaylistFile(const QString& path) {
    PlaylistEntries result;
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        result.error =
            QStringLiteral("The playlist '%1' does not exist or cannot be read.").arg(path);
        return result;
    }
    const QByteArray bytes = file.read(kMaxBytes + 1);
    if (bytes.size() > kMaxBytes || bytes.contains('\0')) {
        result.error = QStringLiteral("'%1' is not a playlist.").arg(path);
        return result;
    }
    const QString text = Text(bytes);
    const bool pls =
        QFileInfo(path).suffix().compare(QLatin1String("pls"), Qt::CaseInsensitive) == 0;
    const QDir folder = QFileInfo(path).absoluteDir();
    for (const QString& entry : pls ? PlsEntries(text) : M3uEntries(text)) {
        const QString local = LocalPath(entry, folder);
        if (local.isEmpty() || IsPlaylistFile(local))
            ++result.skipped;
        else
            result.files << local;
    }
    if (result.files.isEmpty())
        result.error =
            QStringLiteral("The playlist '%1' lists no files that can be played.").arg(path);
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
