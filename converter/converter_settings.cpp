#include "converter_settings.h"

#include "output_names.h"

namespace velune {

void ConverterSettings::SetTarget() {
    if (const auto named = FormatNamed(targetName))
        format = named;
}

QString VersionText() {
    return QStringLiteral("Version No.:%1.%2.0.0")
        .arg(VELUNE_VERSION_MAJOR)
        .arg(VELUNE_VERSION_MINOR);
}

} // namespace velune
