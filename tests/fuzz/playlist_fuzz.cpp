// Playlist and RAM files as handed over: no crash, every entry an absolute path without a
// NUL, and what was read, saved in each form, reads back the same.
#include "fuzz_input.h"
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
    static const char* const kKinds[] = {"list.m3u", "list.m3u8", "list.pls", "list.xspf",
                                         "stream.ram"};
    const QString path = dir.filePath(QString::fromLatin1(kKinds[input.Byte() % 5]));
    const QByteArray text = input.Rest();
    std::ofstream(SystemPath(path), std::ios::binary | std::ios::trunc)
        .write(text.constData(), text.size());
    if (IsPlaylistFile(path)) {
        const PlaylistEntries entries = ReadPlaylistFile(path);
        for (const QString& file : entries.files)
            Require(PlainAbsolute(file), "a playlist's entry is an absolute path", file);
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
