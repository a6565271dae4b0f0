#include "library.h"

#include "audio_decoder.h"
#include "cue_sheet.h"
#include "folder_walk.h"

#include "system_names.h"

#include <QSet>

namespace velune {

namespace {
// Whether FFmpeg finds audio in the file, and whether its tags hold a cue sheet.
std::pair<bool, bool> IsAudio(const QString& path) {
    AudioDecoder decoder;
    QString error;
    if (!decoder.Open(path, error))
        return {false, false};
    return {true, !decoder.Tag("cuesheet").trimmed().isEmpty()};
}
} // namespace

LibraryScan ScanFolder(const QString& folder) {
    LibraryScan scan;
    const FolderWalk walk = WalkFolder(SystemPath(folder));
    for (const QString& skipped : walk.skipped)
        scan.skippedFolders << skipped;
    for (const FoundFile& file : walk.files) {
        const QString path = PathFromSystem(file.path);
        const QString subfolder = PathFromSystem(file.relativeFolder);
        if (const auto [audio, sheet] = IsAudio(path); audio) {
            scan.files.push_back({path, subfolder, sheet});
            continue;
        }
        ++scan.notAudio;
        if (IsCueFile(path))
            scan.sheets.push_back({path, subfolder});
    }
    return scan;
}

namespace {
void AddTracks(std::vector<SourceRow>& rows, const SheetTracks& read, const QString& subfolder,
               QStringList& problems) {
    if (!read.error.isEmpty())
        problems << read.error;
    for (const SheetTrack& track : read.tracks)
        rows.push_back({track.audio, subfolder, track});
}
} // namespace

std::vector<SourceRow> RowsOfFile(const QString& path, const QString& subfolder,
                                  QStringList& problems) {
    std::vector<SourceRow> rows;
    if (IsCueFile(path)) {
        AddTracks(rows, ReadCueFile(path), subfolder, problems);
        return rows;
    }
    const SheetTracks embedded = ReadEmbeddedSheet(path);
    if (embedded.tracks.empty() && embedded.error.isEmpty())
        rows.push_back({path, subfolder});
    else
        AddTracks(rows, embedded, subfolder, problems);
    return rows;
}

std::vector<SourceRow> RowsOfScan(const LibraryScan& scan, QStringList& problems) {
    std::vector<SourceRow> rows;
    for (const LibraryFile& file : scan.files) {
        if (file.hasSheet)
            AddTracks(rows, ReadEmbeddedSheet(file.path), file.subfolder, problems);
        else
            rows.push_back({file.path, file.subfolder});
    }
    QSet<QString> images;
    for (const LibraryFile& sheet : scan.sheets) {
        const SheetTracks read = ReadCueFile(sheet.path);
        for (const SheetTrack& track : read.tracks)
            images.insert(track.audio);
        AddTracks(rows, read, sheet.subfolder, problems);
    }
    std::erase_if(
        rows, [&images](const SourceRow& row) { return !row.track && images.contains(row.path); });
    return rows;
}

QString ScanReport(int added, const LibraryScan& scan) {
    if (scan.notAudio == 0 && scan.skippedFolders.isEmpty())
        return {};
    QString report =
        QStringLiteral("%1 files added, %2 skipped: not audio").arg(added).arg(scan.notAudio);
    if (!scan.skippedFolders.isEmpty())
        report += QStringLiteral("\n\nFolders passed over:\n") +
                  scan.skippedFolders.join(QLatin1Char('\n'));
    return report;
}

} // namespace velune
