#pragma once

#include "converter_engine.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace velune {

// The program's title, the caption of every converter message box.
inline const QString kConverterTitle = QStringLiteral("VeluneConverter mp3,wav,ogg");
// The formats the face offers, in its order.
inline const QString kOfferedFormats = QStringLiteral("wav|mp3|ogg|flac|opus|m4a|alac");

// Values shared by the converter's main window and its conversion window.
struct ConverterSettings {
    // The target's name as the face chose it ("wav", "mp3", "ogg"); it names the
    // outputs' extension ("alac" is written as "m4a").
    QString targetName;
    bool deleteSources = false;
    bool conversionWindowOpen = false;
    // What the engine writes for targetName; none until the first SetTarget.
    std::optional<TargetFormat> format;
    Quality quality; // the format's default
    bool replayGain = false;
    QString pattern; // outputs named from tags; "" = after their sources
    bool skipExisting = false;
    OutputOptions output = {}; // the output's rate, channels and bits; copies; times

    // Sets `format` from targetName; an unknown name leaves it as it was.
    void SetTarget();
};

// The choices of the output's shape, by the names the face and the command line
// use: rate "source", "44100", "48000"; channels "source", "stereo", "mono"; bits
// "auto" (16 for WAV, the source's for FLAC), "16", "24".
struct ShapeChoice {
    const char* name;
    int value;
};
inline constexpr ShapeChoice kRateChoices[] = {{"source", 0}, {"44100", 44100}, {"48000", 48000}};
inline constexpr ShapeChoice kChannelChoices[] = {{"source", 0}, {"stereo", 2}, {"mono", 1}};
inline constexpr ShapeChoice kBitChoices[] = {{"auto", 0}, {"16", 16}, {"24", 24}};

template <std::size_t N>
std::optional<int> ChoiceNamed(const ShapeChoice (&choices)[N], const QString& name) {
    for (const ShapeChoice& choice : choices)
        if (name == QLatin1String(choice.name))
            return choice.value;
    return std::nullopt;
}
template <std::size_t N> QString ChoiceName(const ShapeChoice (&choices)[N], int value) {
    for (const ShapeChoice& choice : choices)
        if (choice.value == value)
            return QLatin1String(choice.name);
    return QLatin1String(choices[0].name);
}
template <std::size_t N> QString ChoiceNames(const ShapeChoice (&choices)[N]) {
    QStringList names;
    for (const ShapeChoice& choice : choices)
        names << QLatin1String(choice.name);
    return names.join(QStringLiteral(", "));
}

// The version text that the About command shows.
QString VersionText();

} // namespace velune
