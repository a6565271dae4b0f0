#include "library.h"

#include "audio_decoder.h"
#include "cue_sheet.h"
#include "folder_walk.h"

#include "system_names.h"

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
