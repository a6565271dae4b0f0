#include "velunemod.h"

#include "names.h"

#include <QFile>
#include <array>
#include <filesystem>

namespace velune {

void VeluneMod::InitConvert() {
    struct Target {
        const char* format;
        const char* codec;
        const char* mux;
    };
    static constexpr std::array<Target, 3> kTargets{{
        {"wav", "s16l", "wav"},
        {"mp3", "mp3", "dummy"},
        {"ogg", "vorb", "ogg"},
    }};
    for (const Target& target : kTargets) {
        if (TargetFormat == QLatin1String(target.format)) {
            AudioCodec = QString::fromLatin1(target.codec);
            MuxName = QString::fromLatin1(target.mux);
            return;
        }
    }
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
    const QString base = folder + stem;

    QString candidate = base + QLatin1Char('.') + F;
    for (int counter = 1; given.contains(candidate) || NameTaken(candidate); ++counter)
        candidate = base + QLatin1Char(' ') + QString::number(counter) + QLatin1Char('.') + F;
    given.insert(candidate);
    return candidate;
}

QString VersionText() {
    return QStringLiteral("Version No.:%1.%2.0.0")
        .arg(VELUNE_VERSION_MAJOR)
        .arg(VELUNE_VERSION_MINOR);
}

} // namespace velune
