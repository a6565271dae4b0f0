#include "library.h"

#include "audio_decoder.h"
#include "folder_walk.h"

#include "system_names.h"

namespace velune {

namespace {
bool IsAudio(const QString& path) {
    AudioDecoder decoder;
    QString error;
    return decoder.Open(path, error);
}
} // namespace

LibraryScan ScanFolder(const QString& folder) {
    LibraryScan scan;
    const FolderWalk walk = WalkFolder(SystemPath(folder));
    for (const QString& skipped : walk.skipped)
        scan.skippedFolders << skipped;
    for (const FoundFile& file : walk.files) {
        const QString path = PathFromSystem(file.path);
        if (IsAudio(path))
            scan.files.push_back({path, PathFromSystem(file.relativeFolder)});
        else
            ++scan.notAudio;
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
