#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace velune {

// Whether the path names a playlist file (M3U, M3U8, PLS or XSPF), by its extension.
bool IsPlaylistFile(const QString& path);

// The local files and the http(s) streams a playlist file lists, in its order.
// Relative paths are taken from the playlist's folder (or XSPF's xml:base) and
// file: addresses become paths. Other addresses and playlists inside it (itself
// included) are left out and counted in `skipped`. The names the playlist gives
// its streams (#EXTINF, TitleN, <title>) are in `titles`, by address.
// A missing, unreadable, empty or binary file gives no files and an `error` for
// the user.
struct PlaylistEntries {
    QStringList files;
    int skipped = 0;
    QString error;
    QHash<QString, QString> titles;
};
PlaylistEntries ReadPlaylistFile(const QString& path);
// The same for a playlist fetched from an address: only streams, relative ones
// taken from that address.
PlaylistEntries ReadPlaylistBytes(const QByteArray& bytes, const QString& address);

// The paths with every playlist file replaced by what it lists; what could not be
// read is added to `errors`, the streams' names to `titles`. A playlist's address
// is left as it is: fetching it is the caller's.
QStringList ExpandPlaylists(const QStringList& paths, QStringList& errors,
                            QHash<QString, QString>* titles = nullptr);

} // namespace velune

namespace velune {

// A file as a playlist lists it.
struct PlaylistEntry {
    QString path;
    qint64 lengthMs = -1; // -1 when unknown
    QString artist;
    QString title; // "" when unknown: readers show the file's name
};

// Writes a playlist in the form its extension names: XSPF for .xspf, PLS for .pls,
// else M3U8 (UTF-8, #EXTM3U, #EXTINF with "Artist - Title"). Files below the
// playlist's folder are named relative to it. A name that is not UTF-8 is written
// as its own bytes (an XSPF address as its bytes percent-encoded), so it is found
// again. The playlist replaces a file of its name only once it is whole. False with
// the system's reason.
bool WritePlaylistFile(const QString& path, const QList<PlaylistEntry>& entries, QString& error);

} // namespace velune
