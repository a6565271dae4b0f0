#pragma once

#include <QByteArray>
#include <QString>
#include <filesystem>
#include <vector>

namespace velune {

// A file name on Linux is bytes. Most libraries name their files in UTF-8, but one
// ripped on another system may hold names in another encoding ("caf\xe9.wav" in
// Latin-1), which Qt's file classes cannot reach: they decode such a name into
// another one. So a path travels through the programs as a QString that keeps every
// byte: valid UTF-8 as its characters, and each other byte b as the lone surrogate
// U+DC00 + b (a scheme known as "surrogateescape"). Such a path is converted back to
// bytes wherever it meets the system, with the functions here, and is shown to the
// user through Readable(). Paths that are valid UTF-8 are ordinary QStrings.

// The path that the system's bytes name.
QString PathFromSystem(const QByteArray& bytes);
QString PathFromSystem(const std::filesystem::path& path);
// The system's bytes of a path, exactly as they were found.
QByteArray SystemName(const QString& path);
std::filesystem::path SystemPath(const QString& path);
// The path for the user to read: a replacement character for each byte that is not UTF-8.
QString Readable(const QString& path);
// The path made absolute against the working folder, "." and ".." resolved.
QString AbsolutePath(const QString& path);

// The path as the system resolves it: every folder on the way with its links
// followed ("link/../a" is "a" beside the folder the link points to, not beside the
// link), "." and ".." taken as the kernel takes them. The last name is kept as it is
// (a link stays the link), and any byte of it too, blanks included.
QString ResolvedPath(const QString& path);

// The system's reason why the file cannot be opened for reading; "" when it can.
QString ReadProblem(const QString& path);

// The folder that holds the path, made absolute.
QString FolderOf(const QString& path);

// An http: or https: address: a stream or a file on a server, never a local path.
// Such rows are not asked of the file system (no existence check, no tags, no cover).
bool IsStreamAddress(const QString& location);
// A location read through a network protocol (any "scheme://" but file:), which FFmpeg
// opens as it is.
inline bool IsRemote(const QString& location) {
    return location.contains(QLatin1String("://")) && !location.startsWith(QLatin1String("file:"));
}

// Questions to the file system about such paths (links followed).
bool IsFile(const QString& path);
bool IsFolder(const QString& path);
// The file is there and this process may read it.
bool IsReadableFile(const QString& path);
// Something, even a dangling link, has the name.
bool NameTaken(const QString& path);
// -1 when the file cannot be reached.
qint64 FileSize(const QString& path);
// True when the file is gone afterwards.
bool RemoveFile(const QString& path);
// Makes the folder and the folders above it; true when it exists afterwards.
bool MakeFolders(const QString& path);
// The entries of a folder, as far as it can be read (a read error ends the list
// rather than throwing).
std::vector<std::filesystem::path> FolderEntries(const std::filesystem::path& folder);

} // namespace velune
