#include "playlist_files.h"

#include "dropped.h"
#include "publish.h"
#include "system_names.h"

#include <QMap>
#include <QRegularExpression>
#include <QUrl>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>

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

// One entry as the playlist lists it, with the name it gives it ("" when none).
struct Listed {
    QByteArray location;
    QString title;
};

QList<Listed> M3uEntries(const QByteArray& bytes) {
    QList<Listed> entries;
    QString title; // from the #EXTINF line before the entry
    for (const QByteArray& line : Lines(bytes)) {
        if (line.startsWith("#EXTINF:")) {
            const qsizetype comma = line.indexOf(',');
            title = comma < 0 ? QString() : QString::fromUtf8(line.mid(comma + 1)).trimmed();
        } else if (!line.isEmpty() && !line.startsWith('#')) {
            entries << Listed{line, title};
            title.clear();
        }
    }
    return entries;
}

QList<Listed> PlsEntries(const QByteArray& bytes) {
    static const QRegularExpression keyLine(QStringLiteral(R"(^(File|Title)(\d+)\s*=)"),
                                            QRegularExpression::CaseInsensitiveOption);
    QMap<int, Listed> numbered;
    for (const QByteArray& line : Lines(bytes)) {
        const auto match = keyLine.match(QString::fromLatin1(line));
        if (!match.hasMatch())
            continue;
        const QByteArray value = line.mid(match.capturedLength(0)).trimmed();
        Listed& entry = numbered[match.captured(2).toInt()];
        if (match.captured(1).compare(QLatin1String("file"), Qt::CaseInsensitive) == 0)
            entry.location = value;
        else
            entry.title = QString::fromUtf8(value);
    }
    QList<Listed> entries;
    for (const Listed& entry : numbered)
        if (!entry.location.isEmpty())
            entries << entry;
    return entries;
}

// XSPF: each track's <location>, a URI. A relative one is taken from the xml:base
// in force (on the playlist, trackList or track element, each relative to the one
// around it), else from the playlist's own place (`base`).
QList<Listed> XspfEntries(const QByteArray& bytes, const QUrl& base) {
    QList<Listed> entries;
    QXmlStreamReader xml(bytes);
    QList<std::optional<QUrl>> bases; // per open element: the xml:base in force in it
    const auto within = [&] { return bases.isEmpty() ? std::nullopt : bases.back(); };
    std::optional<Listed> track; // the track being read
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::EndElement) {
            bases.removeLast();
            if (xml.name() == QLatin1String("track") && track) {
                if (!track->location.isEmpty())
                    entries << *track;
                track.reset();
            }
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QStringView declared = xml.attributes().value(
            QStringLiteral("http://www.w3.org/XML/1998/namespace"), QStringLiteral("base"));
        bases << (declared.isEmpty() ? within()
                                     : within().value_or(base).resolved(QUrl(declared.toString())));
        if (xml.name() == QLatin1String("track")) {
            track = Listed{};
            continue;
        }
        const bool location = xml.name() == QLatin1String("location");
        if (!track || (!location && xml.name() != QLatin1String("title")))
            continue;
        const QString text = xml.readElementText().trimmed();
        bases.removeLast(); // its end was read with its text
        if (!location) {
            track->title = text;
            continue;
        }
        const QByteArray uri = text.toUtf8();
        if (uri.isEmpty() || !track->location.isEmpty())
            continue;
        if (uri.left(5).toLower() == "file:" || uri.contains("://"))
            track->location = uri;
        else if (const auto from = within(); from || !base.isLocalFile())
            track->location = from.value_or(base).resolved(QUrl::fromEncoded(uri)).toEncoded();
        else
            track->location = QByteArray::fromPercentEncoding(uri);
    }
    return entries;
}

bool HasSuffix(const QString& path, const char* suffix) {
    // An address's query ("listen.pls?sid=1") is no part of its name.
    const QString name = IsStreamAddress(path) ? QUrl(path).path() : path;
    return name.section(QLatin1Char('.'), -1).compare(QLatin1String(suffix), Qt::CaseInsensitive) ==
               0 &&
           name.contains(QLatin1Char('.'));
}

// The entries of a playlist's text; `place` is the playlist's path, or its address
// when it was fetched from one.
PlaylistEntries ParsePlaylist(const QByteArray& bytes, const QString& place) {
    PlaylistEntries result;
    const bool remote = IsStreamAddress(place);
    const QString folder = remote ? QString() : FolderOf(place);
    const QUrl base = remote ? QUrl(place) : QUrl::fromEncoded(FileUriOf(folder).toUtf8() + '/');
    const QList<Listed> entries = HasSuffix(place, "pls")    ? PlsEntries(bytes)
                                  : HasSuffix(place, "xspf") ? XspfEntries(bytes, base)
                                                             : M3uEntries(bytes);
    for (const Listed& entry : entries) {
        QString row;
        if (const QString address = QString::fromUtf8(entry.location); IsStreamAddress(address))
            row = address;
        else if (remote && !entry.location.contains("://") &&
                 entry.location.left(5).toLower() != "file:")
            row = base.resolved(QUrl(address)).toString(QUrl::FullyEncoded);
        else if (!remote)
            row = LocalPath(entry.location, folder);
        // An HLS address (.m3u8) is a stream FFmpeg plays; other playlists are not entries.
        const bool hls = IsStreamAddress(row) && HasSuffix(row, "m3u8");
        if (row.isEmpty() || (IsPlaylistFile(row) && !hls) || (remote && !IsStreamAddress(row))) {
            ++result.skipped;
            continue;
        }
        result.files << row;
        if (IsStreamAddress(row) && !entry.title.isEmpty())
            result.titles.insert(row, entry.title);
    }
    if (result.files.isEmpty())
        result.error = QStringLiteral("The playlist '%1' lists no files that can be played.")
                           .arg(remote ? place : Readable(place));
    return result;
}
} // namespace

bool IsPlaylistFile(const QString& path) {
    return HasSuffix(path, "m3u") || HasSuffix(path, "m3u8") || HasSuffix(path, "pls") ||
           HasSuffix(path, "xspf");
}

PlaylistEntries ReadPlaylistBytes(const QByteArray& bytes, const QString& address) {
    if (bytes.size() > kMaxBytes || bytes.contains('\0')) {
        PlaylistEntries result;
        result.error = QStringLiteral("'%1' is not a playlist.").arg(address);
        return result;
    }
    return ParsePlaylist(bytes, address);
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
    return ParsePlaylist(bytes, path);
}

QStringList ExpandPlaylists(const QStringList& paths, QStringList& errors,
                            QHash<QString, QString>* titles) {
    QStringList files;
    for (const QString& path : paths) {
        if (!IsPlaylistFile(path) || IsStreamAddress(path)) {
            files << path;
            continue;
        }
        const PlaylistEntries entries = ReadPlaylistFile(path);
        files << entries.files;
        if (titles)
            titles->insert(entries.titles);
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
    if (IsStreamAddress(file))
        return file.toUtf8(); // a station's address, as it was given
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
    const QString title = !entry.title.isEmpty()        ? entry.title
                          : IsStreamAddress(entry.path) ? entry.path
                                                        : Readable(entry.path.section(u'/', -1));
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
                             IsStreamAddress(entry.path) ? entry.path
                             : name.startsWith('/')
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
