#include "output_plan.h"

#include "output_names.h"
#include "sources.h"
#include "system_names.h"
#include "tags.h"

#include <QSet>

namespace velune {

namespace {

// What a naming pattern takes from a source.
NamingTags NamingTagsOf(const QString& source) {
    const TagSet tags = ReadTags(source);
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
        // Files from a folder keep their subfolder under the output folder; a pattern
        // makes the path from the tags instead.
        QString folder = rules.outputFolder;
        QString relative;
        if (!rules.pattern.isEmpty()) {
            if (folder.isEmpty())
                folder = FolderOf(source.path);
            relative = PatternPath(rules.pattern, NamingTagsOf(source.path), source.path,
                                   source.subfolder);
        } else if (!folder.isEmpty() && !source.subfolder.isEmpty()) {
            folder += QLatin1Char('/') + source.subfolder;
        }
        const QString plain = relative.isEmpty()
                                  ? PlainOutputPath(source.path, folder, rules.extension)
                                  : PlainPatternOutputPath(folder, relative, rules.extension);
        if (const QString into = FolderOf(plain); !MakeFolders(into)) {
            planned.kind = PlannedOutput::Kind::Failed;
            planned.reason = QStringLiteral("the folder %1 cannot be made").arg(Readable(into));
            continue;
        }
        if (rules.skipExisting && ConvertedWhole(lengthOf, source.path, plain)) {
            planned.kind = PlannedOutput::Kind::Skip;
            continue;
        }
        planned.output = relative.isEmpty()
                             ? OutputPath(source.path, folder, rules.extension, given)
                             : PatternOutputPath(folder, relative, rules.extension, given);
    }
    return plan;
}

} // namespace velune
