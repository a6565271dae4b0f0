#pragma once

#include "target_format.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

namespace velune {

// A picture of a file's tags: its image, what it shows (the numbers ID3v2 and FLAC
// share: 3 the front cover, 4 the back cover, 5 a leaflet page...), its MIME type and
// description.
struct TagPicture {
    enum Kind { Other = 0, FrontCover = 3, BackCover = 4 };
    QByteArray data;
    int kind = FrontCover;
    QString mime;
    QString description;
    bool operator==(const TagPicture&) const = default;
};

// The tags a conversion carries over, in a form no file format owns.
struct TagSet {
    // Every field by its common name (TITLE, ARTIST, LYRICS, MUSICBRAINZ_TRACKID, a field
    // of the user's own...) with its values; the numbers below are not among them.
    std::vector<std::pair<QString, QStringList>> text;
    QString track, trackTotal, disc, discTotal;
    std::vector<TagPicture> pictures;

    bool empty() const {
        return text.empty() && track.isEmpty() && disc.isEmpty() && pictures.empty();
    }
    // About how many bytes the tags take in a file.
    qint64 estimatedBytes() const;
    // The front cover, or else the first picture; none without pictures.
    const TagPicture* Cover() const;
};

// Every tag of any file TagLib reads, but the encoder's own fields and the length, with
// every picture; none when it reads none.
TagSet ReadTags(const QString& path);

// The tags a list shows (title, artists, album, date, genre, composer, comment,
// numbers) with the length TagLib finds in the file's header (-1 when it finds none);
// the cover only when asked, as lists of files read thousands of them.
struct FileTags {
    TagSet tags;
    qint64 lengthMs = -1;
};
FileTags ReadFileTags(const QString& path, bool withCover);

// The first value of a text tag ("TITLE", "ARTIST", ...); "" when there is none.
QString FirstText(const TagSet& tags, const char* key);

// Writes the tags into a file of the given format: ID3v2 (version 2.4, or 2.3 when
// asked) in MP3 and WAV (WAV takes text only), Vorbis comments and pictures in Ogg,
// Opus and FLAC, atoms in M4A. False with the reason when the file could not be saved.
// What the format cannot hold is left out and named in `unheld`, when given: fields by
// their names, pictures as "PICTURE (kind)".
bool WriteTags(const QString& path, TargetFormat format, const TagSet& tags, QString& error,
               bool id3v23 = false, QStringList* unheld = nullptr);

// Sets the loudness fields (REPLAYGAIN_*, R128_*) of a file and leaves every other
// frame, comment, picture and tag as it is: TXXX frames in the ID3v2 version the
// file has (ID3v1 and APE tags untouched), Vorbis comments in Ogg files. For copies.
bool WriteLoudnessFields(const QString& path, TargetFormat format,
                         const std::vector<std::pair<QString, QString>>& fields, QString& error);

// A field a measured gain replaces (REPLAYGAIN_*, R128_*).
bool IsLoudnessField(const QString& key);
// The iTunes free-form atom a field is kept in ("----:com.apple.iTunes:NAME"): loudness
// fields in the lower case players look for; a colon, which no such name holds, as "_".
QString Mp4FreeFormName(QString field);

} // namespace velune
