#pragma once

#include "cue_sheet.h"

#include <QString>
#include <QStringList>
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
    QStringList skippedFolders;      // "folder: reason"
    std::vector<LibraryFile> sheets; // the .cue files among those
};

// Every file below `folder` in which FFmpeg finds audio. Slow for large folders:
// call it away from the window.
LibraryScan ScanFolder(const QString& folder);

// What the user is told after adding a folder: how many files came and what was
// passed over; "" when nothing was.
QString ScanReport(int added, const LibraryScan& scan);

} // namespace velune

namespace velune {

// A source of the converter's list: a file, or a track of a CD image (`path` then
// names the image's audio).
struct SourceRow {
    QString path;
    QString subfolder;
    std::optional<SheetTrack> track = std::nullopt;
};

// What a file stands for: a cue sheet's tracks, an image's tracks when its tags hold
// a sheet, else the file itself. A sheet that cannot be used adds its reason to
// `problems`. Opens the file: for many, call it away from the window.
std::vector<SourceRow> RowsOfFile(const QString& path, const QString& subfolder,
                                  QStringList& problems);
// The rows of a folder: its files, with its sheets' tracks in place of the images
// they cut (an image beside its sheet is listed once, as its tracks).
std::vector<SourceRow> RowsOfScan(const LibraryScan& scan, QStringList& problems);

} // namespace velune
