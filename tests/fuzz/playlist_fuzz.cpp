// Playlists, RAM files and what stations send (ICY, fetched lists): entries are absolute paths or
// streams, saved lists read back the same, a title given is the title read.
#include "fuzz_input.h"
#include "icy_metadata.h"
#include "item_reader.h"
#include "playlist_files.h"
#include "system_names.h"

#include <QTemporaryDir>
#include <fstream>

using namespace velune;
using namespace velune::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static QTemporaryDir dir;
    Input input(data, size);
    static const char* const kKinds[] = {"list.m3u",   "list.m3u8", "list.pls", "list.xspf",
                                         "stream.ram", "icy",       "http.pls", "http.m3u"};
    const uint8_t kind = input.Byte() % 8;
    const QString path = dir.filePath(QString::fromLatin1(kKinds[kind]));
    const QByteArray text = input.Rest();
    if (kind == 5) {
        const auto title = StreamTitleOf(text);
        Require(!title || (!title->contains(QChar(0)) && title->trimmed() == *title),
                "a stream's title is text", title.value_or(QString()));
        const QString header = IcyHeader(text, "icy-name");
        Require(!header.contains(u'\n') && header.trimmed() == header, "a header is one line",
                header);
        const auto [artist, song] = ArtistAndTitle(title.value_or(QString()));
        Require(artist.isEmpty() || !song.isNull(), "an artist comes with a title", artist);
        const QString given = IcyText(text).trimmed();
        if (!given.contains(QChar(0)) && !given.contains(u"';"_s) && !given.endsWith(u'\''))
            Require(StreamTitleOf("StreamTitle='" + given.toUtf8() + "';") == given,
                    "a title reads back", given);
        return 0;
    }
    if (kind > 5) {
        const PlaylistEntries entries =
            ReadPlaylistBytes(text, u"http://r.invalid/dir/"_s + QString::fromLatin1(kKinds[kind]));
        for (const QString& entry : entries.files)
            Require(IsStreamAddress(entry), "a fetched playlist lists streams only", entry);
        return 0;
    }
    std::ofstream(SystemPath(path), std::ios::binary | std::ios::trunc)
        .write(text.constData(), text.size());
    if (IsPlaylistFile(path)) {
        const PlaylistEntries entries = ReadPlaylistFile(path);
        for (const QString& file : entries.files)
            Require(PlainAbsolute(file) || IsStreamAddress(file),
                    "a playlist's entry is an absolute path or a stream", file);
        Require(!entries.files.isEmpty() || !entries.error.isEmpty(), "an empty playlist is told");
        if (entries.files.isEmpty())
            return 0;
        QList<PlaylistEntry> saved;
        for (const QString& file : entries.files)
            saved.append({file, -1, QString(), QString()});
        for (const char* form : {"saved.m3u8", "saved.pls", "saved.xspf"}) {
            const QString copy = dir.filePath(QString::fromLatin1(form));
            QString error;
            Require(WritePlaylistFile(copy, saved, error), "a list is saved", error);
            Require(ReadPlaylistFile(copy).files == entries.files,
                    "a saved list reads back the same", QString::fromLatin1(form));
        }
    } else {
        const QString location = FirstRamLocation(path);
        Require(location.isEmpty() || PlainAbsolute(location) ||
                    location.contains(QLatin1String(":")),
                "a RAM file gives an address or an absolute path", location);
    }
    return 0;
}
