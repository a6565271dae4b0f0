#pragma once

#include <QString>
#include <optional>
#include <sys/types.h>

namespace velune {

// A file written under a hidden temporary name beside its final one, given that
// name only once it is complete, and never in place of a file that exists.

// Creates a new, empty hidden file beside `output` for it to be written into; its
// name stays within the file system's limit however long the output's name is.
// Returns "" and sets `error` (the system's reason) when the folder takes no file.
QString ReserveTemporary(const QString& output, QString& error);

// Gives the finished file its name unless something has taken that name meanwhile,
// durably: the file's data is synced to the disk first, and the folder after the
// rename, so that once this returns a power cut leaves the file whole under its name.
// False with the system's reason in `error`; the temporary file is then left alone.
// When the folder cannot be synced after the rename, the file has its name all the
// same: true, with `durable` (when given) false and the reason in `error`.
bool PublishNoReplace(const QString& temp, const QString& output, QString& error,
                      bool* durable = nullptr);

// Syncs a file's data to the disk (by its path). False with the system's reason.
bool SyncFile(const QString& path, QString& error);
// Syncs a folder, so that the names made or removed in it are on the disk.
bool SyncFolder(const QString& folder, QString& error);

// Removes a file and syncs its folder; true once the name is gone for good.
bool RemoveDurably(const QString& path, QString& error);

// Writes `bytes` as the file `path`, replacing what it held only once the new
// content is whole and on the disk: a temporary file beside it, synced, renamed
// over the name, the folder synced.
bool WriteFileDurably(const QString& path, const QByteArray& bytes, QString& error);

// Removes the temporary files of our own that runs which no longer exist left in
// `folder` (a run that was killed). Returns how many were removed.
int RemoveStaleTemporaries(const QString& folder);

// What makes a file the same file: where it lives and what it holds as far as a
// quick look tells.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    qint64 modifiedNs = 0;
    bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> IdentityOf(const QString& path);

// Cuts a file name (no folder) to at most `bytes` bytes of UTF-8 without
// splitting a character.
QString FitName(const QString& name, int bytes);

// The longest file name, in bytes, that the folder's file system takes.
int NameLimit(const QString& folder);

// Whether a file name (no folder) is one of the hidden temporary names given above,
// left by this or another run: never a source of a conversion.
bool IsOurTemporary(const QString& name);

} // namespace velune
