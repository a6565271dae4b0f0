#pragma once

#include "tags.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace velune {

// A CD image's table of contents as rippers write it (a CUE sheet): per track its
// number, its audio file as the sheet names it, where it starts, and its text.
struct CueTrack {
    int number = 0;
    QString file;        // the FILE the track is in, as written
    qint64 index00 = -1; // CD frames (1/75 s) from the file's start; -1 when absent
    qint64 index01 = -1;
    QString title, performer, songwriter;
};

struct CueSheet {
    QString title, performer, songwriter, date, genre, discNumber, totalDiscs;
    QStringList files;            // every FILE named, once, in the sheet's order
    std::vector<CueTrack> tracks; // audio tracks, in the sheet's order
    QString error;                // why the sheet gives no tracks, in words for the user
};

// The text of a sheet: UTF-8 (with or without a byte order mark), UTF-16 with its
// mark, else Windows-1252 (which holds Latin-1's letters).
QString CueText(const QByteArray& bytes);

// Reads a sheet leniently: commands in any case, quotes optional, a quote inside a
// quoted text kept, unknown commands and data tracks passed over, CRLF line ends.
// An INDEX after a FILE line with no TRACK line between belongs to the track before
// (rippers that append gaps write a track's INDEX 00 at the end of one file and its
// INDEX 01 at the start of the next): the track is in the file of its INDEX 01.
// A track without INDEX 01, a time that is no time and tracks out of order give an
// error naming the track.
CueSheet ParseCueSheet(const QByteArray& bytes);

// One track of an image as a source of a conversion.
struct SheetTrack {
    QString sheet; // the .cue file, or the image whose tags hold the sheet
    QString audio; // the file its audio is in
    int number = 0;
    int count = 0;         // tracks in the sheet
    qint64 startFrame = 0; // CD frames from the start of `audio`
    qint64 endFrame = -1;  // -1: to the end of `audio`
    TagSet tags;           // the sheet's, the image's own filling in, its cover
    QString stem;          // an output name without extension: "03 Title"
    QString shown;         // "Performer - Title" for the user
};

struct SheetTracks {
    std::vector<SheetTrack> tracks;
    QString error;      // names the sheet and, for missing audio, the file it names
    QStringList images; // the audio files its FILEs were found as, also when one is missing
};

// The tracks of a .cue file: each FILE found beside it (or under the same name with
// another extension, a sheet written for the WAV beside the FLAC); a track starts
// at its INDEX 01 (a file's first track at the file's start) and ends where the
// next one in its file starts, so that a pregap (INDEX 00) ends the track before.
SheetTracks ReadCueFile(const QString& sheet);
// The sheet of a FLAC file's CUESHEET metadata block: each audio track's index points
// (kept there in samples) in CD frames, the lead-out left out. No tracks and no error
// when the file holds no such block.
CueSheet FlacCueSheet(const QString& path);
// The tracks of an image whose tags hold a sheet (CUESHEET), else of its FLAC CUESHEET
// block; none when it holds neither. A sheet that names several files is refused: the
// image holds one.
SheetTracks ReadEmbeddedSheet(const QString& image);
// Whether the path names a .cue file, by its extension.
bool IsCueFile(const QString& path);

} // namespace velune
