#include "library.h"

#include "audio_decoder.h"
#include "cue_sheet.h"
#include "folder_walk.h"

#include "names.h"
#include "system_names.h"

#include <QSet>
#include <algorithm>
#include <filesystem>

namespace velune {

namespace {
// Whether FFmpeg finds audio in the file, and whether it holds a cue sheet (in its
// tags, or a FLAC CUESHEET block).
std::pair<bool, bool> IsAudio(const QString& path) {
    AudioDecoder decoder;
    QString error;
    if (!decoder.Open(path, error))
        return {false, false};
    if (!decoder.Tag("cuesheet").trimmed().isEmpty())
        return {true, true};
    const CueSheet block = FlacCueSheet(path);
    return {true, !block.tracks.empty() || !block.error.isEmpty()};
}
} // namespace

LibraryScan ScanFolder(const QString& folder) {
    LibraryScan scan;
    const FolderWalk walk = WalkFolder(SystemPath(folder));
    for (const QString& unreadable : walk.unreadable)
        scan.unreadable << unreadable;
    for (const QString& skipped : walk.skipped)
        if (!scan.unreadable.contains(skipped))
            scan.skippedFolders << skipped;
    for (const FoundFile& file : walk.files) {
        const QString path = PathFromSystem(file.path);
        const QString subfolder = PathFromSystem(file.relativeFolder);
        if (const QString problem = ReadProblem(path); !problem.isEmpty()) {
            scan.unreadable << Readable(path) + QStringLiteral(": ") + problem;
            continue;
        }
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

QString StemOf(const QString& path) {
    const QString name = FileName(path, u'/');
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.left(dot) : name;
}
} // namespace

QString RowKey(const SourceRow& row) {
    return row.track ? row.track->sheet + u'#' + QString::number(row.track->number) : row.path;
}

void KeepFirstOfEachKey(std::vector<SourceRow>& rows) {
    QSet<QString> seen;
    std::erase_if(rows, [&seen](const SourceRow& row) {
        const QString key = RowKey(row);
        if (seen.contains(key))
            return true;
        seen.insert(key);
        return false;
    });
}

const QStringList& SheetsBeside::SheetsIn(const QString& folder) {
    if (const auto found = folders_.find(folder); found != folders_.end())
        return found->second;
    std::vector<std::string> names;
    for (const auto& entry : FolderEntries(SystemPath(folder)))
        if (IsCueFile(PathFromSystem(entry.filename())))
            names.push_back(entry.filename().native());
    std::ranges::sort(names, NaturallyBefore);
    QStringList& sheets = folders_[folder];
    for (const std::string& name : names)
        sheets << folder + u'/' + PathFromSystem(QByteArray::fromStdString(name));
    return sheets;
}

const SheetTracks& SheetsBeside::Sheet(const QString& sheet) {
    if (const auto found = sheets_.find(sheet); found != sheets_.end())
        return found->second;
    return sheets_[sheet] = ReadCueFile(sheet);
}

std::vector<SourceRow> SheetsBeside::RowsOf(const QString& path, const QString& subfolder,
                                            QStringList& problems, bool mayHoldSheet) {
    std::vector<SourceRow> rows;
    if (IsCueFile(path)) {
        AddTracks(rows, Sheet(path), subfolder, problems);
        return rows;
    }
    // The first sheet beside the image that stands for it gives its tracks.
    const QStringList& sheets = SheetsIn(FolderOf(path));
    for (const QString& sheet : sheets) {
        for (const SheetTrack& track : Sheet(sheet).tracks)
            if (track.audio == path)
                rows.push_back({path, subfolder, track});
        if (!rows.empty())
            return rows;
    }
    // One that would but cannot be used keeps it whole and where it is.
    for (const QString& sheet : sheets) {
        const SheetTracks& read = Sheet(sheet);
        if (!read.error.isEmpty() &&
            (read.images.contains(path) || StemOf(sheet) == StemOf(path))) {
            problems << QStringLiteral("'%1' is not converted whole, for its cue sheet cannot "
                                       "be used: %2")
                            .arg(Readable(path), read.error);
            return rows;
        }
    }
    const SheetTracks embedded = mayHoldSheet ? ReadEmbeddedSheet(path) : SheetTracks{};
    if (embedded.tracks.empty() && embedded.error.isEmpty())
        rows.push_back({path, subfolder});
    else
        AddTracks(rows, embedded, subfolder, problems);
    return rows;
}

std::vector<SourceRow> RowsOfScan(const LibraryScan& scan, QStringList& problems,
                                  SheetsBeside& beside) {
    std::vector<SourceRow> rows;
    for (const LibraryFile& file : scan.files) {
        const auto found = beside.RowsOf(file.path, file.subfolder, problems, file.hasSheet);
        rows.insert(rows.end(), found.begin(), found.end());
    }
    for (const LibraryFile& sheet : scan.sheets)
        AddTracks(rows, beside.Sheet(sheet.path), sheet.subfolder, problems);
    KeepFirstOfEachKey(rows);
    return rows;
}

QString ScanReport(int added, const LibraryScan& scan) {
    if (scan.unreadable.isEmpty() && (!scan.files.empty() || !scan.sheets.empty()))
        return {};
    QString report =
        QStringLiteral("%1 files added, %2 skipped: not audio").arg(added).arg(scan.notAudio);
    if (!scan.skippedFolders.isEmpty())
        report += QStringLiteral("\n\nFolders passed over:\n") +
                  scan.skippedFolders.join(QLatin1Char('\n'));
    if (!scan.unreadable.isEmpty())
        report += QStringLiteral("\n\nCannot be read:\n") + scan.unreadable.join(QLatin1Char('\n'));
    return report;
}

QString PassedOver(const LibraryScan& scan) {
    return scan.notAudio > 0 ? QStringLiteral("%1 skipped: not audio").arg(scan.notAudio)
                             : QString();
}

} // namespace velune
