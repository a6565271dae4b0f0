#include "output_names.h"

#include "names.h"
#include "publish.h"
#include "system_names.h"

#include <QRegularExpression>
#include <array>

namespace velune {

std::optional<TargetFormat> FormatNamed(const QString& name) {
    static const std::array<std::pair<QLatin1String, TargetFormat>, 5> kTargets{{
        {QLatin1String("wav"), TargetFormat::Wav},
        {QLatin1String("mp3"), TargetFormat::Mp3},
        {QLatin1String("ogg"), TargetFormat::Ogg},
        {QLatin1String("flac"), TargetFormat::Flac},
        {QLatin1String("opus"), TargetFormat::Opus},
    }};
    for (const auto& [spelled, format] : kTargets)
        if (name == spelled)
            return format;
    return std::nullopt;
}

QStringList QualitiesOf(TargetFormat format) {
    switch (format) {
    case TargetFormat::Mp3:
        return {QStringLiteral("128"), QStringLiteral("192"), QStringLiteral("256"),
                QStringLiteral("320"), QStringLiteral("v0"),  QStringLiteral("v2"),
                QStringLiteral("v4")};
    case TargetFormat::Ogg:
        return {QStringLiteral("q3"), QStringLiteral("q4"), QStringLiteral("q5"),
                QStringLiteral("q6"), QStringLiteral("q7"), QStringLiteral("q8")};
    case TargetFormat::Opus:
        return {QStringLiteral("96"), QStringLiteral("128"), QStringLiteral("160")};
    case TargetFormat::Flac:
    case TargetFormat::Wav:
    case TargetFormat::M4a:
    case TargetFormat::Alac:
        break;
    }
    return {};
}

QString DefaultQualityOf(TargetFormat format) {
    switch (format) {
    case TargetFormat::Mp3:
        return QStringLiteral("192");
    case TargetFormat::Ogg:
        return QStringLiteral("q5");
    case TargetFormat::Opus:
        return QStringLiteral("128");
    case TargetFormat::Flac:
    case TargetFormat::Wav:
    case TargetFormat::M4a:
    case TargetFormat::Alac:
        break;
    }
    return {};
}

std::optional<Quality> QualityNamed(TargetFormat format, const QString& text) {
    const QString spelled = text.trimmed().toLower();
    if (spelled.isEmpty())
        return Quality{};
    if (!QualitiesOf(format).contains(spelled))
        return std::nullopt;
    if (spelled.startsWith(QLatin1Char('v')))
        return Quality{Quality::Kind::Vbr, spelled.mid(1).toInt()};
    if (spelled.startsWith(QLatin1Char('q')))
        return Quality{Quality::Kind::Level, spelled.mid(1).toInt()};
    return Quality{Quality::Kind::BitRate, spelled.toInt()};
}

QString WithoutApostrophes(QString text) {
    return text.remove(QLatin1Char('\''));
}

namespace {
// A file name without its extension. A leading dot starts a hidden name, not an extension.
QString StemOf(const QString& path) {
    QString name = FileName(path, QLatin1Char('/'));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0)
        name.truncate(dot);
    return name;
}

// The folder an output goes into: the one chosen, else the source's.
QString FolderFor(const QString& source, const QString& folder) {
    return folder.isEmpty() ? source.left(source.lastIndexOf(QLatin1Char('/')) + 1) : folder;
}

// The output name for a stem in a folder, numbered from 1 when `number` is.
class OutputNamer {
public:
    OutputNamer(const QString& folder, const QString& stem, const QString& extension)
        : extension_(extension), stem_(stem), into_(folder) {
        if (!into_.isEmpty() && !into_.endsWith(QLatin1Char('/')))
            into_ += QLatin1Char('/');
        limit_ = NameLimit(into_.isEmpty() ? QStringLiteral(".") : into_);
    }
    QString Name(int number) const {
        const QString suffix =
            (number > 0 ? QLatin1Char(' ') + QString::number(number) : QString()) +
            QLatin1Char('.') + extension_;
        // A name too long for the file system loses the end of its stem.
        return into_ + FitName(stem_, limit_ - static_cast<int>(SystemName(suffix).size())) +
               suffix;
    }

private:
    QString extension_;
    QString stem_;
    QString into_;
    int limit_ = 255;
};

// The first name from `namer` that neither exists nor was given out in this run.
QString Unused(const OutputNamer& namer, QSet<QString>& given) {
    QString candidate = namer.Name(0);
    for (int counter = 1; given.contains(candidate) || NameTaken(candidate); ++counter)
        candidate = namer.Name(counter);
    given.insert(candidate);
    return candidate;
}

// The plain name, then every numbered one up to the first that does not exist.
QStringList Taken(const OutputNamer& namer) {
    QStringList names{namer.Name(0)};
    for (int counter = 1; counter < 1000 && NameTaken(namer.Name(counter)); ++counter)
        names << namer.Name(counter);
    return names;
}

// The folders of a pattern's result joined to the base, the last part as the stem.
OutputNamer PatternNamer(const QString& base, const QString& relative, const QString& extension) {
    const qsizetype slash = relative.lastIndexOf(QLatin1Char('/'));
    QString folder = base;
    if (slash > 0)
        folder += (folder.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) +
                  relative.left(slash);
    return OutputNamer(folder, relative.mid(slash + 1), extension);
}

// A tag as one part of a path: no "/" or NUL inside, no leading dot, not empty.
QString AsPathPart(QString text) {
    text.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QChar(0), QLatin1Char('_'));
    text = text.trimmed();
    while (text.startsWith(QLatin1Char('.')))
        text[0] = QLatin1Char('_');
    return text;
}

// A name's limit on the file systems users keep music on; the final name is cut again
// to its own folder's limit with its extension.
constexpr int kPartLimit = 255;

const QRegularExpression& FieldPattern() {
    static const QRegularExpression field(QStringLiteral(R"(\{(\w+)(?::(\d+))?\})"));
    return field;
}
const QStringList kFields{QStringLiteral("artist"), QStringLiteral("albumartist"),
                          QStringLiteral("album"),  QStringLiteral("title"),
                          QStringLiteral("track"),  QStringLiteral("disc"),
                          QStringLiteral("year"),   QStringLiteral("genre"),
                          QStringLiteral("stem"),   QStringLiteral("folder")};
} // namespace

QString PlainOutputPath(const QString& source, const QString& folder, const QString& extension) {
    return OutputNamer(FolderFor(source, folder), WithoutApostrophes(StemOf(source)), extension)
        .Name(0);
}

QStringList EarlierOutputPaths(const QString& source, const QString& folder,
                               const QString& extension) {
    return Taken(
        OutputNamer(FolderFor(source, folder), WithoutApostrophes(StemOf(source)), extension));
}

QString OutputPath(const QString& source, const QString& folder, const QString& extension,
                   QSet<QString>& given) {
    return Unused(
        OutputNamer(FolderFor(source, folder), WithoutApostrophes(StemOf(source)), extension),
        given);
}

QString PatternProblem(const QString& pattern) {
    if (pattern.trimmed().isEmpty())
        return QStringLiteral("the pattern is empty");
    for (auto it = FieldPattern().globalMatch(pattern); it.hasNext();) {
        const QString field = it.next().captured(1);
        if (!kFields.contains(field))
            return QStringLiteral("no field {%1}; the fields are {%2}")
                .arg(field, kFields.join(QStringLiteral("}, {")));
    }
    return {};
}

QString PatternPath(const QString& pattern, const NamingTags& tags, const QString& source,
                    const QString& relativeFolder) {
    QString stem = StemOf(source);
    const QString unknown = QStringLiteral("Unknown");
    const auto value = [&](const QString& field) -> QString {
        const auto or_ = [&](const QString& text, const QString& fallback) {
            return text.trimmed().isEmpty() ? fallback : text;
        };
        if (field == QLatin1String("artist"))
            return or_(tags.artist, unknown);
        if (field == QLatin1String("albumartist"))
            return or_(tags.albumArtist, or_(tags.artist, unknown));
        if (field == QLatin1String("album"))
            return or_(tags.album, unknown);
        if (field == QLatin1String("title"))
            return or_(tags.title, stem);
        if (field == QLatin1String("track"))
            return or_(tags.track, unknown);
        if (field == QLatin1String("disc"))
            return or_(tags.disc, unknown);
        if (field == QLatin1String("year"))
            return or_(tags.year.left(4), unknown);
        if (field == QLatin1String("genre"))
            return or_(tags.genre, unknown);
        if (field == QLatin1String("stem"))
            return stem;
        return relativeFolder; // "folder": kept as the path it is
    };
    QString result;
    qsizetype at = 0;
    for (auto it = FieldPattern().globalMatch(pattern); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        result += pattern.mid(at, match.capturedStart() - at);
        QString text = value(match.captured(1));
        bool number = false;
        const int width = match.captured(2).toInt(&number);
        if (number && !text.isEmpty() && text.toInt() > 0)
            text = text.rightJustified(width, QLatin1Char('0'));
        result += match.captured(1) == QLatin1String("folder") ? text : AsPathPart(text);
        at = match.capturedEnd();
    }
    result += pattern.mid(at);
    // Each part of the path stands as a name of its own, within the system's limit.
    // A part that is only blanks names nothing, and is left out.
    QStringList parts;
    for (const QString& part : result.split(QLatin1Char('/'), Qt::SkipEmptyParts))
        if (QString name = FitName(AsPathPart(part), kPartLimit); !name.isEmpty())
            parts << name;
    if (!parts.isEmpty())
        return parts.join(QLatin1Char('/'));
    // Nothing but blanks: the source's own name, within the limit too.
    const QString name = FitName(AsPathPart(stem), kPartLimit);
    return name.trimmed().isEmpty() ? unknown : name;
}

QString PatternOutputPath(const QString& base, const QString& relative, const QString& extension,
                          QSet<QString>& given) {
    return Unused(PatternNamer(base, relative, extension), given);
}

QString PlainPatternOutputPath(const QString& base, const QString& relative,
                               const QString& extension) {
    return PatternNamer(base, relative, extension).Name(0);
}

QStringList EarlierPatternOutputPaths(const QString& base, const QString& relative,
                                      const QString& extension) {
    return Taken(PatternNamer(base, relative, extension));
}

} // namespace velune
