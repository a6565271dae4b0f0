#include "playlist_files.h"

#include "dropped.h"
#include "publish.h"
#include "system_names.h"

#include <QMap>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <cerrno>
#include <cstdio>
#include <cstring>
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

// XSPF: each track's <location>, a URI; a relative one is taken from the
// playlist's folder.
QList<QByteArray> XspfEntries(const QByteArray& bytes) {
    QList<QByteArray> entries;
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement &&
            xml.name() == QLatin1String("location")) {
            const QByteArray uri = xml.readElementText().trimmed().toUtf8();
            if (uri.left(5).toLower() == "file:" || uri.contains("://"))
                entries << uri;
            else if (!uri.isEmpty())
                entries << QByteArray::fromPercentEncoding(uri);
        }
    }
    return entries;
}

bool HasSuffix(const QString& path, const char* suffix) {
    return path.section(QLatin1Char('.'), -1).compare(QLatin1String(suffix), Qt::CaseInsensitive) ==
               0 &&
           path.contains(QLatin1Char('.'));
}
} // namespace

bool IsPlaylistFile(const QString& path) {
    return HasSuffix(path, "m3u") || HasSuffix(path, "m3u8") || HasSuffix(path, "pls") ||
           HasSuffix(path, "xspf");
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
    const QList<QByteArray> entries = HasSuffix(path, "pls")    ? PlsEntries(bytes)
                                      : HasSuffix(path, "xspf") ? XspfEntries(bytes)
                                                                : M3uEntries(bytes);
    for (const QByteArray& entry : entries) {
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

namespace velune {

namespace {

// The entry's name as the playlist writes it: relative below its folder, else whole;
// as a file: address where a line of text would not give it back (a name that
// begins like a comment or an address, ends in blanks or holds a line break).
QByteArray EntryName(const QString& file, const QString& folder) {
    const QByteArray bytes = SystemName(AbsolutePath(file));
    const QByteArray base = SystemName(folder) + '/';
    const QByteArray name =
        bytes.startsWith(base) && bytes.size() > base.size() ? bytes.mid(base.size()) : bytes;
    const bool plain = !name.startsWith('#') && name.trimmed() == name && !name.contains('\n') &&
                       !name.contains('\r') && !name.contains("://") &&
                       name.left(5).toLower() != "file:" && !name.contains("/../") &&
                       !name.startsWith("../") && name != "..";
    return plain ? name : FileUriOf(AbsolutePath(file)).toUtf8();
}

QByteArray Described(const PlaylistEntry& entry) {
    const QString title =
        entry.title.isEmpty() ? Readable(entry.path.section(QLatin1Char('/'), -1)) : entry.title;
    return (entry.artist.isEmpty() ? title : entry.artist + QStringLiteral(" - ") + title)
        .toUtf8()
        .replace('\n', ' ')
        .replace('\r', ' ');
}

QByteArray Seconds(const PlaylistEntry& entry) {
    return QByteArray::number(entry.lengthMs < 0 ? -1 : (entry.lengthMs + 500) / 1000);
}

QByteArray M3u8Text(const QList<PlaylistEntry>& entries, const QString& folder) {
    QByteArray text = "#EXTM3U\n";
    for (const PlaylistEntry& entry : entries)
        text += "#EXTINF:" + Seconds(entry) + ',' + Described(entry) + '\n' +
                EntryName(entry.path, folder) + '\n';
    return text;
}

QByteArray PlsText(const QList<PlaylistEntry>& entries, const QString& folder) {
    QByteArray text = "[playlist]\n";
    for (int i = 0; i < entries.size(); ++i) {
        const QByteArray n = QByteArray::number(i + 1);
        text += "File" + n + '=' + EntryName(entries[i].path, folder) + '\n' + "Title" + n + '=' +
                Described(entries[i]) + '\n' + "Length" + n + '=' + Seconds(entries[i]) + '\n';
    }
    return text + "NumberOfEntries=" + QByteArray::number(entries.size()) + "\nVersion=2\n";
}

QByteArray XspfText(const QList<PlaylistEntry>& entries, const QString& folder) {
    QByteArray text;
    QXmlStreamWriter xml(&text);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("playlist"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1"));
    xml.writeDefaultNamespace(QStringLiteral("http://xspf.org/ns/0/"));
    xml.writeStartElement(QStringLiteral("trackList"));
    for (const PlaylistEntry& entry : entries) {
        xml.writeStartElement(QStringLiteral("track"));
        const QByteArray name = EntryName(entry.path, folder);
        xml.writeTextElement(QStringLiteral("location"),
                             name.startsWith('/')
                                 ? FileUriOf(entry.path)
                                 : QString::fromLatin1(name.toPercentEncoding("/")));
        if (!entry.title.isEmpty())
            xml.writeTextElement(QStringLiteral("title"), entry.title);
        if (!entry.artist.isEmpty())
            xml.writeTextElement(QStringLiteral("creator"), entry.artist);
        if (entry.lengthMs >= 0)
            xml.writeTextElement(QStringLiteral("duration"), QString::number(entry.lengthMs));
        xml.writeEndElement();
    }
    xml.writeEndDocument();
    return text;
}

} // namespace

bool WritePlaylistFile(const QString& path, const QList<PlaylistEntry>& entries, QString& error) {
    const QString folder = FolderOf(path);
    const QByteArray text = HasSuffix(path, "xspf")  ? XspfText(entries, folder)
                            : HasSuffix(path, "pls") ? PlsText(entries, folder)
                                                     : M3u8Text(entries, folder);
    return WriteFileDurably(path, text, error);
}

} // namespace velune
