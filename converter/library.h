#pragma once

#include "cue_sheet.h"

#include <QString>
#include <QStringList>
#include <map>
#include <optional>
#include <vector>

namespace velune {

// An audio file found below a folder that was added, and its folder relative to it.
struct LibraryFile {
    QString path;
    QString subfolder;     // "" directly in the added folder
    bool hasSheet = false; // its tags hold a cue sheet: it is a CD image
};

// What a folder holds for the converter.
struct LibraryScan {
    std::vector<LibraryFile> files;  // audio files, folder by folder in natural order
    int notAudio = 0;                // other files, passed over (cue sheets among them)
    QStringList skippedFolders;      // "folder: reason": links back to a folder walked
    QStringList unreadable;          // "path: the system's reason": folders and files
    std::vector<LibraryFile> sheets; // the .cue files among those
};

// Every file below `folder` in which FFmpeg finds audio. Slow for large folders:
// call it away from the window.
LibraryScan ScanFolder(const QString& folder);

// What the user is told in a box after adding a folder: how many files came, what was
// passed over and what could not be read; "" when everything could be read and the folder
// held something to add. Covers, sheets and logs beside the music are no news.
QString ScanReport(int added, const LibraryScan& scan);
// What the list's header line shows after adding the folder: "3 skipped: not audio", or ""
// when every file was audio.
QString PassedOver(const LibraryScan& scan);

} // namespace velune

namespace velune {

// A source of the converter's list: a file, or a track of a CD image (`path` then
// names the image's audio).
struct SourceRow {
    QString path;
    QString subfolder;
    std::optional<SheetTrack> track = std::nullopt;
};

// What a row is known by: its file, or its sheet and track number.
QString RowKey(const SourceRow& row);

// The cue sheets beside the files asked about, each folder's read once.
class SheetsBeside {
public:
    // What a file stands for: a cue sheet's tracks; an image's tracks, of the sheet
    // beside it that stands for it, else of the sheet its tags hold; else the file
    // itself. An image that a sheet beside it names, or a sheet of its stem, but that
    // sheet cannot be used, gives no row: it is never converted whole (nor deleted),
    // and `problems` says why. Opens the files: call it away from the window.
    std::vector<SourceRow> RowsOf(const QString& path, const QString& subfolder,
                                  QStringList& problems, bool mayHoldSheet = true);
    // The sheet's tracks, read once.
    const SheetTracks& Sheet(const QString& sheet);

private:
    // The .cue files in the folder, in natural order.
    const QStringList& SheetsIn(const QString& folder);
    std::map<QString, QStringList> folders_;
    std::map<QString, SheetTracks> sheets_;
};

// The rows of a folder: its files, each image in place as its tracks (an image beside
// its sheet is listed once), then the tracks of sheets whose audio was not among them.
std::vector<SourceRow> RowsOfScan(const LibraryScan& scan, QStringList& problems,
                                  SheetsBeside& beside);

// The rows, each key once: the first keeps its place.
void KeepFirstOfEachKey(std::vector<SourceRow>& rows);

} // namespace velune
