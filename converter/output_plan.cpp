#include "output_plan.h"

#include "output_names.h"
#include "sources.h"
#include "system_names.h"
#include "tags.h"

#include <QSet>

namespace velune {

namespace {

// What a naming pattern takes from a source's tags.
NamingTags NamingTagsOf(const TagSet& tags) {
    NamingTags named;
    for (const auto& [key, values] : tags.text) {
        const QString value = values.join(QStringLiteral(", "));
        if (key == QLatin1String("ARTIST"))
            named.artist = value;
        else if (key == QLatin1String("ALBUMARTIST"))
            named.albumArtist = value;
        else if (key == QLatin1String("ALBUM"))
            named.album = value;
        else if (key == QLatin1String("TITLE"))
            named.title = value;
        else if (key == QLatin1String("DATE"))
            named.year = value;
        else if (key == QLatin1String("GENRE"))
            named.genre = value;
    }
    named.track = tags.track;
    named.disc = tags.disc;
    return named;
}

// A track's output is there, as long as the track (within half a second).
bool TrackConverted(const LengthOf& lengthOf, const SheetTrack& track, const QString& output) {
    if (!IsFile(output))
        return false;
    const auto done = lengthOf(output);
    const auto whole = track.endFrame >= 0 ? std::optional<qint64>(0) : lengthOf(track.audio);
    if (!done || !whole)
        return false;
    const qint64 length = track.endFrame >= 0 ? (track.endFrame - track.startFrame) * 1000 / 75
                                              : *whole - track.startFrame * 1000 / 75;
    return std::abs(*done - length) <= 500;
}

} // namespace

std::vector<PlannedOutput> PlanOutputs(const std::vector<PlannedSource>& sources,
                                       const OutputRules& rules, const LengthOf& lengthOf) {
    std::vector<PlannedOutput> plan;
    plan.reserve(sources.size());
    QSet<QString> given;
    for (const PlannedSource& source : sources) {
        PlannedOutput& planned = plan.emplace_back();
        if (!IsFile(source.path)) {
            planned.kind = PlannedOutput::Kind::Missing;
            continue;
        }
        // A track is named as a file of its stem beside its sheet would be.
        const SheetTrack* track = source.track ? &*source.track : nullptr;
        const QString named =
            track ? FolderOf(track->sheet) + u'/' + track->stem + QStringLiteral(".cue")
                  : source.path;
        // Files from a folder keep their subfolder under the output folder; a pattern
        // makes the path from the tags instead.
        QString folder = rules.outputFolder;
        QString relative;
        if (!rules.pattern.isEmpty()) {
            if (folder.isEmpty())
                folder = FolderOf(named);
            relative = PatternPath(rules.pattern,
                                   NamingTagsOf(track ? track->tags : ReadTags(source.path)), named,
                                   source.subfolder);
        } else if (!folder.isEmpty() && !source.subfolder.isEmpty()) {
            folder += QLatin1Char('/') + source.subfolder;
        }
        const QString plain = relative.isEmpty()
                                  ? PlainOutputPath(named, folder, rules.extension)
                                  : PlainPatternOutputPath(folder, relative, rules.extension);
        if (const QString into = FolderOf(plain); !MakeFolders(into)) {
            planned.kind = PlannedOutput::Kind::Failed;
            planned.reason = QStringLiteral("the folder %1 cannot be made").arg(Readable(into));
            continue;
        }
        if (rules.skipExisting && (track ? TrackConverted(lengthOf, *track, plain)
                                         : ConvertedWhole(lengthOf, source.path, plain))) {
            planned.kind = PlannedOutput::Kind::Skip;
            continue;
        }
        planned.output = relative.isEmpty()
                             ? OutputPath(named, folder, rules.extension, given)
                             : PatternOutputPath(folder, relative, rules.extension, given);
    }
    return plan;
}

} // namespace velune
