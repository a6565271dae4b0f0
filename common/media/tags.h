#pragma once

#include "target_format.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

namespace velune {

// The tags a conversion carries over, in a form no file format owns.
struct TagSet {
    // TITLE, ARTIST, ALBUM, ALBUMARTIST, DATE, GENRE, COMPOSER, COMMENT.
    std::vector<std::pair<QString, QStringList>> text;
    QString track, trackTotal, disc, discTotal;
    QByteArray cover; // the front cover's image, empty when there is none
    QString coverMime;

    bool empty() const {
        return text.empty() && track.isEmpty() && disc.isEmpty() && cover.isEmpty();
    }
    // About how many bytes the tags take in a file.
    qint64 estimatedBytes() const;
};

// The tags of any file TagLib reads; none when it reads none.
TagSet ReadTags(const QString& path);

// The tags with the length TagLib finds in the file's header (-1 when it finds
// none); the cover only when asked, as lists of files read thousands of them.
struct FileTags {
    TagSet tags;
    qint64 lengthMs = -1;
};
FileTags ReadFileTags(const QString& path, bool withCover);

// The first value of a text tag ("TITLE", "ARTIST", ...); "" when there is none.
QString FirstText(const TagSet& tags, const char* key);

// Writes the tags into a file of the given format (WAV takes text only). False
// with the reason when the file could not be saved.
bool WriteTags(const QString& path, TargetFormat format, const TagSet& tags, QString& error);

// Sets the loudness fields (REPLAYGAIN_*, R128_*) of a file and leaves every other
// frame, comment, picture and tag as it is: TXXX frames in the ID3v2 version the
// file has (ID3v1 and APE tags untouched), Vorbis comments in Ogg files. For copies.
bool WriteLoudnessFields(const QString& path, TargetFormat format,
                         const std::vector<std::pair<QString, QString>>& fields, QString& error);

} // namespace velune
