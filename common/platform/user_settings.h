#pragma once

#include <QSettings>
#include <memory>

namespace velune {

// A program's remembered settings: $XDG_CONFIG_HOME/Velune/<program>.conf.
inline std::unique_ptr<QSettings> UserSettings(const QString& program) {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("Velune"), program);
}

} // namespace velune
