#pragma once

#include "converter_engine.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

namespace velune {

// The text without its apostrophes.
QString WithoutApostrophes(QString text);

// The output path of one source file for the output folder ("" = beside the
// source) and the extension of the target format. The stem is the file name
// without its extension, with apostrophes removed. The name never belongs to an
// existing file nor to one of the names already given out in this run (`given`),
// to which the chosen name is added.
QString OutputPath(const QString& source, const QString& folder, const QString& extension,
                   QSet<QString>& given);
// The name OutputPath gives when nothing is in the way: before any numbering.
QString PlainOutputPath(const QString& source, const QString& folder, const QString& extension);
// The names earlier runs may have given the source's output: the plain name and the
// numbered ones ("a 1.mp3", "a 2.mp3", …) that exist, in that order.
QStringList EarlierOutputPaths(const QString& source, const QString& folder,
                               const QString& extension);

// What a naming pattern takes from a source's tags.
struct NamingTags {
    QString artist, albumArtist, album, title, track, disc, year, genre;
};
// What is wrong with a naming pattern such as "{albumartist}/{album}/{disc}-{track:02}
// {title}"; "" when nothing is. Fields: artist, albumartist, album, title, track,
// disc, year, genre, stem (the source's name without extension) and folder (the
// source's folder below the folder that was added); {field:02} pads a number.
QString PatternProblem(const QString& pattern);
// The path, relative and without extension, that a pattern gives for a source. A
// missing tag gives the stem (title), the artist (album artist) or "Unknown"; "/",
// NUL and a leading dot in a tag become "_"; each part is cut to a name's limit.
QString PatternPath(const QString& pattern, const NamingTags& tags, const QString& source,
                    const QString& relativeFolder);
// The output path for a pattern's result below `base`, never an existing or given
// name (numbered as OutputPath does); and the same before any numbering.
QString PatternOutputPath(const QString& base, const QString& relative, const QString& extension,
                          QSet<QString>& given);
QString PlainPatternOutputPath(const QString& base, const QString& relative,
                               const QString& extension);
QStringList EarlierPatternOutputPaths(const QString& base, const QString& relative,
                                      const QString& extension);

// The target format a name stands for ("wav", "mp3", "ogg", "m4a", "alac"), exactly as spelled.
std::optional<TargetFormat> FormatNamed(const QString& name);
// The extension of a target format's outputs, by its name: its name, but "m4a" for "alac".
QString ExtensionOf(const QString& name);

// The qualities a format takes, as text: MP3 "128" "192" "256" "320" (kbit/s) and
// "v0" "v2" "v4" (VBR levels), Ogg Vorbis "q3" to "q8", Opus "96" "128" "160", M4A (AAC)
// "128" "192" "256"; WAV, FLAC and ALAC none. "" is each
// format's default.
QStringList QualitiesOf(TargetFormat format);
// The quality a format is written at unless another is chosen ("" for none).
QString DefaultQualityOf(TargetFormat format);
// The quality a text names for the format; none when the format does not take it.
std::optional<Quality> QualityNamed(TargetFormat format, const QString& text);

} // namespace velune
