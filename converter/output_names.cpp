#include "output_names.h"

#include "names.h"
#include "publish.h"

#include <QFile>
#include <array>
#include <filesystem>

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
// Something already has this name on disk: a file, a folder or a dangling link.
bool NameTaken(const QString& path) {
    std::error_code error;
    const auto status =
        std::filesystem::symlink_status(QFile::encodeName(path).toStdString(), error);
    return std::filesystem::exists(status);
}
} // namespace

namespace {
// The output name for a source in a folder, numbered from 1 when `number` is.
class OutputNamer {
public:
    OutputNamer(const QString& source, const QString& folder, const QString& extension)
        : extension_(extension) {
        QString name = FileName(source, QLatin1Char('/'));
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        // A leading dot starts a hidden name, not an extension.
        if (dot > 0)
            name.truncate(dot);
        stem_ = WithoutApostrophes(name);
        into_ = folder.isEmpty() ? source.left(source.lastIndexOf(QLatin1Char('/')) + 1) : folder;
        if (!into_.isEmpty() && !into_.endsWith(QLatin1Char('/')))
            into_ += QLatin1Char('/');
        limit_ = NameLimit(into_.isEmpty() ? QStringLiteral(".") : into_);
    }
    QString Name(int number) const {
        const QString suffix =
            (number > 0 ? QLatin1Char(' ') + QString::number(number) : QString()) +
            QLatin1Char('.') + extension_;
        // A name too long for the file system loses the end of its stem.
        return into_ + FitName(stem_, limit_ - static_cast<int>(suffix.toUtf8().size())) + suffix;
    }

private:
    QString extension_;
    QString stem_;
    QString into_;
    int limit_ = 255;
};
} // namespace

QString PlainOutputPath(const QString& source, const QString& folder, const QString& extension) {
    return OutputNamer(source, folder, extension).Name(0);
}

QString OutputPath(const QString& source, const QString& folder, const QString& extension,
                   QSet<QString>& given) {
    const OutputNamer namer(source, folder, extension);
    QString candidate = namer.Name(0);
    for (int counter = 1; given.contains(candidate) || NameTaken(candidate); ++counter)
        candidate = namer.Name(counter);
    given.insert(candidate);
    return candidate;
}

} // namespace velune
