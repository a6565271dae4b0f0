#include "velunemod.h"

#include "names.h"
#include "publish.h"

#include <QFile>
#include <array>
#include <filesystem>

namespace velune {

std::optional<TargetFormat> FormatNamed(const QString& name) {
    static const std::array<std::pair<QLatin1String, TargetFormat>, 3> kTargets{{
        {QLatin1String("wav"), TargetFormat::Wav},
        {QLatin1String("mp3"), TargetFormat::Mp3},
        {QLatin1String("ogg"), TargetFormat::Ogg},
    }};
    for (const auto& [spelled, format] : kTargets)
        if (name == spelled)
            return format;
    return std::nullopt;
}

void VeluneMod::InitConvert() {
    if (const auto format = FormatNamed(TargetFormat))
        Format = format;
}

QString DelComa(QString& St) {
    St.remove(QLatin1Char('\''));
    return St;
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

QString OutputPath(const QString& P, const QString& O, const QString& F, QSet<QString>& given) {
    QString name = FileNam(P, QLatin1Char('/'));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    // A leading dot starts a hidden name, not an extension.
    if (dot > 0)
        name.truncate(dot);
    const QString stem = DelComa(name);

    QString folder = O;
    if (folder.isEmpty())
        folder = P.left(P.lastIndexOf(QLatin1Char('/')) + 1);
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    // A name too long for the file system loses the end of its stem.
    const int limit = NameLimit(folder.isEmpty() ? QStringLiteral(".") : folder);
    const auto Named = [&](const QString& suffix) {
        return folder + FitName(stem, limit - static_cast<int>(suffix.toUtf8().size())) + suffix;
    };

    QString candidate = Named(QLatin1Char('.') + F);
    for (int counter = 1; given.contains(candidate) || NameTaken(candidate); ++counter)
        candidate = Named(QLatin1Char(' ') + QString::number(counter) + QLatin1Char('.') + F);
    given.insert(candidate);
    return candidate;
}

QString VersionText() {
    return QStringLiteral("Version No.:%1.%2.0.0")
        .arg(VELUNE_VERSION_MAJOR)
        .arg(VELUNE_VERSION_MINOR);
}

} // namespace velune
