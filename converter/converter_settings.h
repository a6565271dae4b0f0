#pragma once

#include "converter_engine.h"

#include <QString>
#include <optional>

namespace velune {

// The program's title, the caption of every converter message box.
inline const QString kConverterTitle = QStringLiteral("VeluneConverter mp3,wav,ogg");
// The formats the face offers, in its order.
inline const QString kOfferedFormats = QStringLiteral("wav|mp3|ogg|flac|opus");

// Values shared by the converter's main window and its conversion window.
struct ConverterSettings {
    // The target's name as the face chose it ("wav", "mp3", "ogg"); it is the
    // outputs' extension.
    QString targetName;
    bool deleteSources = false;
    bool conversionWindowOpen = false;
    // What the engine writes for targetName; none until the first SetTarget.
    std::optional<TargetFormat> format;
    Quality quality; // the format's default
    bool replayGain = false;
    QString pattern; // outputs named from tags; "" = after their sources
    bool skipExisting = false;

    // Sets `format` from targetName; an unknown name leaves it as it was.
    void SetTarget();
};

// The version text that the About command shows.
QString VersionText();

} // namespace velune
