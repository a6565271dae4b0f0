#pragma once

#include "converter_engine.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

namespace velune {

// The program's title, the caption of every converter message box.
inline const QString kConverterTitle = QStringLiteral("VeluneConverter mp3,wav,ogg");
// The formats the face offers, in its order.
inline const QString kOfferedFormats = QStringLiteral("wav|mp3|ogg");

// Values shared by the converter's main window and its conversion window.
struct VeluneMod {
    QString TargetFormat;
    bool DeleteSource = false;
    bool ConversionWindowOpen = false;
    QStringList PickedFiles;
    // What the engine writes for TargetFormat; none until the first InitConvert.
    std::optional<velune::TargetFormat> Format;

    // Sets Format from TargetFormat; an unknown format leaves it as it was.
    void InitConvert();
};

// Removes every apostrophe from St, writes it back and returns it.
QString DelComa(QString& St);

// The output path of one source file P for the output folder O ("" = beside the
// source) and the target format F. The stem is the file name without its
// extension, with apostrophes removed. The name never belongs to an existing
// file nor to one of the names already given out in this run (`given`), to which
// the chosen name is added.
QString OutputPath(const QString& P, const QString& O, const QString& F, QSet<QString>& given);

// The target format a name stands for ("wav", "mp3", "ogg"), exactly as spelled.
std::optional<TargetFormat> FormatNamed(const QString& name);

// The version text that the About command shows.
QString VersionText();

} // namespace velune
