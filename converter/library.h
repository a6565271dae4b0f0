#pragma once

#include <QString>
#include <QStringList>
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
