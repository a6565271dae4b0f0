#include "output_plan.h"

#include "output_names.h"
#include "sources.h"
#include "system_names.h"
#include "tags.h"

#include <QSet>
#include <algorithm>

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

} // namespace

std::vector<PlannedOutput> PlanOutputs(const std::vector<PlannedSource>& sources,
                                       const OutputRules& rules, const EarlierOutputCheck& whole) {
    std::vector<PlannedOutput> plan;
    plan.reserve(sources.size());
    QSet<QString> given;
    const QString extension = ExtensionOf(rules.extension);
    const std::optional<TargetFormat> format = FormatNamed(rules.extension);
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
                                  ? PlainOutputPath(named, folder, extension)
                                  : PlainPatternOutputPath(folder, relative, extension);
        if (const QString into = FolderOf(plain); !MakeFolders(into)) {
            planned.kind = PlannedOutput::Kind::Failed;
            planned.reason = QStringLiteral("the folder %1 cannot be made").arg(Readable(into));
            continue;
        }
        if (rules.skipExisting) {
            // Under its own name or one an earlier run had to number.
            const QStringList earlier =
                relative.isEmpty() ? EarlierOutputPaths(named, folder, extension)
                                   : EarlierPatternOutputPaths(folder, relative, extension);
            const auto complete = [&](const QString& output) {
                return IsFile(output) && format &&
                       whole(output, *format, source.path, track ? track->startFrame : 0,
                             track ? track->endFrame : -1);
            };
            if (std::ranges::any_of(earlier, complete)) {
                planned.kind = PlannedOutput::Kind::Skip;
                continue;
            }
            if (IsFile(plain))
                planned.note = QStringLiteral("'%1' from an earlier run is incomplete; kept, and "
                                              "a new output written")
                                   .arg(Readable(plain.section(u'/', -1)));
        }
        planned.output = relative.isEmpty() ? OutputPath(named, folder, extension, given)
                                            : PatternOutputPath(folder, relative, extension, given);
    }
    return plan;
}

} // namespace velune
