#pragma once

#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <memory>

namespace velune {

// A program's remembered settings: $XDG_CONFIG_HOME/Velune/<program>.conf.
inline std::unique_ptr<QSettings> UserSettings(const QString& program) {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                           QStringLiteral("/Velune/");
    const QString path = folder + program + QStringLiteral(".conf");
    // Earlier versions named the file after Qt's default for its format.
    if (const QString earlier = folder + program + QStringLiteral(".ini");
        !QFile::exists(path) && QFile::exists(earlier))
        QFile::rename(earlier, path);
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

} // namespace velune
