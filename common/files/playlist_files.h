#pragma once

#include <QString>
#include <QStringList>

namespace velune {

// Whether the path names a playlist file (M3U, M3U8 or PLS), by its extension.
bool IsPlaylistFile(const QString& path);

// The local files a playlist file lists, in its order. Relative paths are taken
// from the playlist's folder and file: addresses become paths. Other addresses,
// playlists inside it (itself included) are left out and counted in `skipped`.
// A missing, unreadable, empty or binary file gives no files and an `error` for
// the user.
struct PlaylistEntries {
    QStringList files;
    int skipped = 0;
    QString error;
};
PlaylistEntries ReadPlaylistFile(const QString& path);

// The paths with every playlist file replaced by what it lists; what could not be
// read is added to `errors`.
QStringList ExpandPlaylists(const QStringList& paths, QStringList& errors);

} // namespace velune
