#include "cue_sheet.h"

#include "audio_decoder.h"
#include "names.h"
#include "system_names.h"

#include <QDir>
#include <QRegularExpression>
#include <QStringDecoder>
#include <fstream>
#include <map>

namespace velune {

namespace {

// A sheet is a few kilobytes of text; anything far larger is not one.
constexpr qint64 kMaxSheetBytes = 1024 * 1024;

// Windows-1252's letters in 0x80-0x9F; the five it leaves undefined keep Latin-1's.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// A quoted text with its quotes taken off (a quote inside it kept); else the text.
QString Unquoted(const QString& text) {
    if (!text.startsWith(u'"'))
        return text.trimmed();
    const qsizetype last = text.lastIndexOf(u'"');
    return (last > 0 ? text.mid(1, last - 1) : text.mid(1)).trimmed();
}

// FILE "name" TYPE, or FILE name TYPE with a name of several words.
QString FileNamed(const QString& rest) {
    if (rest.startsWith(u'"'))
        return Unquoted(rest.left(rest.lastIndexOf(u'"') + 1));
    const qsizetype space = rest.lastIndexOf(u' ');
    return space > 0 ? rest.left(space).trimmed() : rest;
}

// "mm:ss:ff" as CD frames; minutes may pass 99. -1 when it is no time.
qint64 Frames(const QString& time) {
    static const QRegularExpression form(QStringLiteral(R"(^(\d{1,4}):(\d{1,2}):(\d{1,2})$)"));
    const auto match = form.match(time.trimmed());
    if (!match.hasMatch())
        return -1;
    const qint64 minutes = match.captured(1).toLongLong();
    const int seconds = match.captured(2).toInt();
    const int frames = match.captured(3).toInt();
    if (seconds >= 60 || frames >= 75)
        return -1;
    return (minutes * 60 + seconds) * 75 + frames;
}

QString Field(const QString& text) {
    // A name part cannot hold "/" and should not start with a dot.
    QString field = text;
    field.replace(u'/', u'_').replace(QChar(0), u'_');
    if (field.startsWith(u'.'))
        field[0] = u'_';
    return field;
}

void SetText(TagSet& tags, const char* key, const QString& value) {
    if (value.isEmpty())
        return;
    const QString name = QLatin1String(key);
    for (auto& [existing, values] : tags.text)
        if (existing == name) {
            values = QStringList{value};
            return;
        }
    tags.text.emplace_back(name, QStringList{value});
}

QByteArray ReadSmall(const QString& path, QString& error) {
    std::ifstream file(SystemPath(path), std::ios::binary);
    QByteArray bytes;
    char chunk[64 * 1024];
    while (file && bytes.size() <= kMaxSheetBytes) {
        file.read(chunk, sizeof chunk);
        bytes.append(chunk, static_cast<qsizetype>(file.gcount()));
    }
    if (!IsFile(path) || (!file.eof() && bytes.isEmpty()))
        error = QStringLiteral("it cannot be read");
    else if (bytes.size() > kMaxSheetBytes || bytes.contains('\0'))
        error = QStringLiteral("it is not a cue sheet");
    return bytes;
}

// The file a sheet names, found beside it: by its name, else by its stem with the
// extension of an audio file (a sheet written for the WAV, the FLAC kept).
QString FindAudio(const QString& folder, const QString& named) {
    const QString name = FileName(QString(named).replace(u'\\', u'/'), u'/');
    for (const QString& candidate :
         {PathFromSystem(name.toUtf8()), PathFromSystem(name.toLatin1())}) {
        if (QString path = folder + u'/' + candidate; IsFile(path))
            return path;
    }
    const QString stem =
        name.left(name.lastIndexOf(u'.')).isEmpty() ? name : name.left(name.lastIndexOf(u'.'));
    for (const char* extension : {"flac", "wv", "ape", "wav", "m4a", "tta", "ogg", "opus", "mp3"}) {
        QString path = folder + u'/' + stem + u'.' + QLatin1String(extension);
        if (IsFile(path))
            return path;
    }
    return {};
}

// Why the sheet's tracks cannot be cut: none, one without a start, or one that starts
// before the one before it in its file. "" when they can.
QString OrderProblem(const CueSheet& sheet) {
    if (sheet.tracks.empty())
        return QStringLiteral("it lists no audio tracks");
    for (std::size_t i = 0; i < sheet.tracks.size(); ++i) {
        const CueTrack& t = sheet.tracks[i];
        if (t.index01 < 0)
            return QStringLiteral("track %1 has no INDEX 01").arg(t.number);
        if (i > 0 && sheet.tracks[i - 1].file == t.file && t.index01 <= sheet.tracks[i - 1].index01)
            return QStringLiteral("track %1 starts before the end of track %2")
                .arg(t.number)
                .arg(sheet.tracks[i - 1].number);
    }
    return {};
}

// The sheet's tracks over their audio files; `audioOf` gives each FILE's path.
SheetTracks TracksOf(const CueSheet& sheet, const QString& from,
                     const std::function<QString(const QString&)>& audioOf) {
    SheetTracks result;
    std::map<QString, QString> audio;
    for (const QString& file : sheet.files) {
        const QString path = audioOf(file);
        if (!path.isEmpty()) {
            audio[file] = path;
            result.images << path;
        } else if (result.error.isEmpty()) {
            result.error = QStringLiteral("The audio of the cue sheet '%1' is missing: '%2'")
                               .arg(Readable(from), file);
        }
    }
    if (!result.error.isEmpty())
        return result;
    std::map<QString, TagSet> imageTags;
    const int count = static_cast<int>(sheet.tracks.size());
    for (int i = 0; i < count; ++i) {
        const CueTrack& track = sheet.tracks[i];
        SheetTrack& out = result.tracks.emplace_back();
        out.sheet = from;
        out.audio = audio[track.file];
        out.number = track.number;
        out.count = count;
        const bool firstOfFile = i == 0 || sheet.tracks[i - 1].file != track.file;
        const bool lastOfFile = i + 1 == count || sheet.tracks[i + 1].file != track.file;
        out.startFrame = firstOfFile ? 0 : track.index01;
        out.endFrame = lastOfFile ? -1 : sheet.tracks[i + 1].index01;
        if (!imageTags.contains(out.audio)) {
            TagSet own = ReadTags(out.audio);
            // The image's own title, numbers, sheet and the fields of one recording are
            // the disc's, not a track's.
            static const QStringList kWhole =
                QStringLiteral("TITLE CUESHEET ISRC LYRICS BPM MUSICBRAINZ_TRACKID "
                               "MUSICBRAINZ_RELEASETRACKID REPLAYGAIN_TRACK_GAIN "
                               "REPLAYGAIN_TRACK_PEAK R128_TRACK_GAIN")
                    .split(QLatin1Char(' '));
            std::erase_if(own.text, [](const auto& tag) { return kWhole.contains(tag.first); });
            own.track.clear();
            own.trackTotal.clear();
            imageTags[out.audio] = own;
        }
        out.tags = imageTags[out.audio];
        const QString artist = track.performer.isEmpty() ? sheet.performer : track.performer;
        const QString title =
            track.title.isEmpty() ? QStringLiteral("Track %1").arg(track.number) : track.title;
        SetText(out.tags, "TITLE", title);
        SetText(out.tags, "ARTIST", artist);
        SetText(out.tags, "ALBUM", sheet.title);
        SetText(out.tags, "ALBUMARTIST", sheet.performer);
        SetText(out.tags, "DATE", sheet.date);
        SetText(out.tags, "GENRE", sheet.genre);
        SetText(out.tags, "COMPOSER", track.songwriter);
        out.tags.track = QString::number(track.number);
        out.tags.trackTotal = QString::number(count);
        if (!sheet.discNumber.isEmpty())
            out.tags.disc = sheet.discNumber;
        if (!sheet.totalDiscs.isEmpty())
            out.tags.discTotal = sheet.totalDiscs;
        out.stem =
            QStringLiteral("%1 %2").arg(track.number, 2, 10, QLatin1Char('0')).arg(Field(title));
        out.shown = (artist.isEmpty() ? QString() : artist + QStringLiteral(" - ")) + title;
    }
    return result;
}

} // namespace

QString CueText(const QByteArray& bytes) {
    if (bytes.startsWith("\xef\xbb\xbf"))
        return QString::fromUtf8(bytes.mid(3));
    if (bytes.startsWith("\xff\xfe") || bytes.startsWith("\xfe\xff")) {
        QStringDecoder utf16(bytes.startsWith("\xff\xfe") ? QStringConverter::Utf16LE
                                                          : QStringConverter::Utf16BE);
        return utf16.decode(bytes.mid(2));
    }
    QStringDecoder utf8(QStringConverter::Utf8);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    QString latin;
    latin.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        latin += QChar(byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : char16_t(byte));
    }
    return latin;
}

CueSheet ParseCueSheet(const QByteArray& bytes) {
    CueSheet sheet;
    static const QRegularExpression blank(QStringLiteral(R"(\s)"));
    QString file;
    int track = -1;   // the audio track being read, by its place in sheet.tracks
    int indexed = -1; // the track INDEX lines go to: also after a FILE line
    const auto fail = [&sheet](const QString& error) {
        sheet.tracks.clear();
        sheet.error = error;
        return sheet;
    };
    for (QString line : CueText(bytes).split(u'\n')) {
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        const qsizetype space = line.indexOf(blank);
        const QString keyword = (space < 0 ? line : line.left(space)).toUpper();
        const QString rest = space < 0 ? QString() : line.mid(space + 1).trimmed();
        CueTrack* current = track >= 0 ? &sheet.tracks[track] : nullptr;
        if (keyword == QLatin1String("REM")) {
            const qsizetype gap = rest.indexOf(blank);
            const QString key = (gap < 0 ? rest : rest.left(gap)).toUpper();
            const QString value = gap < 0 ? QString() : Unquoted(rest.mid(gap + 1).trimmed());
            if (current)
                continue; // a track's remarks: gains and the like
            if (key == QLatin1String("DATE"))
                sheet.date = value;
            else if (key == QLatin1String("GENRE"))
                sheet.genre = value;
            else if (key == QLatin1String("DISCNUMBER"))
                sheet.discNumber = value;
            else if (key == QLatin1String("TOTALDISCS"))
                sheet.totalDiscs = value;
        } else if (keyword == QLatin1String("TITLE") || keyword == QLatin1String("PERFORMER") ||
                   keyword == QLatin1String("SONGWRITER")) {
            const QString value = Unquoted(rest);
            const int which = keyword == QLatin1String("TITLE")       ? 0
                              : keyword == QLatin1String("PERFORMER") ? 1
                                                                      : 2;
            QString* fields[2][3] = {{&sheet.title, &sheet.performer, &sheet.songwriter},
                                     {nullptr, nullptr, nullptr}};
            if (current) {
                fields[1][0] = &current->title;
                fields[1][1] = &current->performer;
                fields[1][2] = &current->songwriter;
            }
            *fields[current ? 1 : 0][which] = value;
        } else if (keyword == QLatin1String("FILE")) {
            if (FileNamed(rest).isEmpty())
                return fail(QStringLiteral("a FILE line names no file"));
            file = FileNamed(rest);
            if (!sheet.files.contains(file))
                sheet.files << file;
            track = -1;
        } else if (keyword == QLatin1String("TRACK")) {
            const QStringList words = rest.split(blank, Qt::SkipEmptyParts);
            bool whole = false;
            const int number = words.value(0).toInt(&whole);
            if (!whole || number < 0)
                return fail(QStringLiteral("\"%1\" is no track number").arg(words.value(0)));
            if (file.isEmpty())
                return fail(QStringLiteral("track %1 comes before any FILE").arg(number));
            track = indexed = -1;
            if (words.value(1).toUpper() != QLatin1String("AUDIO"))
                continue; // a data track
            sheet.tracks.push_back({number, file, -1, -1, {}, {}, {}});
            track = indexed = static_cast<int>(sheet.tracks.size()) - 1;
        } else if (keyword == QLatin1String("INDEX") && indexed >= 0) {
            // After a FILE line, only the start the track still waits for.
            CueTrack& target = sheet.tracks[indexed];
            if (!current && target.index01 >= 0)
                continue;
            const QStringList words = rest.split(blank, Qt::SkipEmptyParts);
            const qint64 frames = Frames(words.value(1));
            if (frames < 0)
                return fail(QStringLiteral("track %1: \"%2\" is no time (mm:ss:ff)")
                                .arg(target.number)
                                .arg(words.value(1)));
            const int index = words.value(0).toInt();
            if (index == 0) {
                target.index00 = frames;
            } else if (index == 1) {
                target.index01 = frames;
                target.file = file;
            }
        }
        // PREGAP, POSTGAP, FLAGS, ISRC, CATALOG and others say nothing of where audio lies.
    }
    if (const QString problem = OrderProblem(sheet); !problem.isEmpty())
        return fail(problem);
    return sheet;
}

bool IsCueFile(const QString& path) {
    return FileName(path, u'.').compare(QLatin1String("cue"), Qt::CaseInsensitive) == 0 &&
           path.contains(u'.');
}

SheetTracks ReadCueFile(const QString& path) {
    QString problem;
    const QByteArray bytes = ReadSmall(path, problem);
    const CueSheet sheet = problem.isEmpty() ? ParseCueSheet(bytes) : CueSheet{};
    const QString folder = FolderOf(path);
    if (!problem.isEmpty() || !sheet.error.isEmpty()) {
        // The files it names so far, found, are its images all the same: kept whole.
        QStringList images;
        for (const QString& named : sheet.files)
            if (QString found = FindAudio(folder, named); !found.isEmpty())
                images << found;
        return {{},
                QStringLiteral("The cue sheet '%1' cannot be used: %2")
                    .arg(Readable(path), problem.isEmpty() ? sheet.error : problem),
                images};
    }
    return TracksOf(sheet, path,
                    [&folder](const QString& named) { return FindAudio(folder, named); });
}

CueSheet FlacCueSheet(const QString& path) {
    CueSheet sheet;
    std::ifstream in(SystemPath(path), std::ios::binary);
    char magic[4] = {};
    if (!in.read(magic, 4) || QByteArrayView(magic, 4) != "fLaC")
        return sheet;
    const auto big = [](const QByteArray& bytes, qsizetype at, int size) {
        quint64 value = 0;
        for (int i = 0; i < size; ++i)
            value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
        return value;
    };
    quint64 rate = 0;
    QByteArray block;
    for (bool last = false; !last && block.isEmpty();) {
        QByteArray header(4, '\0');
        if (!in.read(header.data(), 4))
            return sheet;
        last = (header[0] & 0x80) != 0;
        const int type = header[0] & 0x7F;
        const auto length = static_cast<qsizetype>(big(header, 1, 3));
        if (type == 0 || type == 5) {
            QByteArray body(length, '\0');
            if (!in.read(body.data(), length))
                return sheet;
            if (type == 0 && length >= 13)
                rate = big(body, 10, 3) >> 4;
            else if (type == 5)
                block = body;
        } else {
            in.seekg(length, std::ios::cur);
        }
    }
    if (block.isEmpty())
        return sheet;
    const QString name = FileName(path, u'/');
    sheet.files << name;
    // Catalog (128), lead-in (8), CD flag and reserved (259), then the tracks: offset
    // (8), number, ISRC (12), flags and reserved (14), index points (12 each).
    qsizetype at = 396;
    const int count = block.size() >= at ? static_cast<unsigned char>(block[at - 1]) : 0;
    const auto cutShort = [&sheet] {
        sheet.tracks.clear();
        sheet.error = QStringLiteral("its CUESHEET block is cut short");
        return sheet;
    };
    const auto frames = [rate](quint64 samples) {
        return static_cast<qint64>(samples * 75 / std::max<quint64>(rate, 1));
    };
    for (int t = 0; t < count; ++t) {
        if (block.size() < at + 36 || rate == 0)
            return cutShort();
        const quint64 offset = big(block, at, 8);
        const int number = static_cast<unsigned char>(block[at + 8]);
        const bool audio = (block[at + 21] & 0x80) == 0;
        const int points = static_cast<unsigned char>(block[at + 35]);
        CueTrack track{number, name, -1, -1, {}, {}, {}};
        at += 36;
        for (int i = 0; i < points; ++i, at += 12) {
            if (block.size() < at + 12)
                return cutShort();
            const int index = static_cast<unsigned char>(block[at + 8]);
            const qint64 start = frames(offset + big(block, at, 8));
            if (index == 0)
                track.index00 = start;
            else if (index == 1)
                track.index01 = start;
        }
        // The lead-out (170 on a CD, else 255) only marks where the last track ends.
        if (audio && number != 170 && number != 255) {
            if (track.index01 < 0)
                track.index01 = frames(offset);
            sheet.tracks.push_back(track);
        }
    }
    if (const QString problem = OrderProblem(sheet); !problem.isEmpty()) {
        sheet.tracks.clear();
        sheet.error = problem;
    }
    return sheet;
}

SheetTracks ReadEmbeddedSheet(const QString& image) {
    AudioDecoder decoder;
    QString error;
    if (!decoder.Open(image, error))
        return {};
    const QString text = decoder.Tag("cuesheet");
    const CueSheet sheet =
        text.trimmed().isEmpty() ? FlacCueSheet(image) : ParseCueSheet(text.toUtf8());
    if (sheet.tracks.empty() && sheet.error.isEmpty())
        return {};
    // The image is the one file its sheet can name.
    const QString problem = !sheet.error.isEmpty() ? sheet.error
                            : sheet.files.size() > 1
                                ? QStringLiteral("it names several files, the image holds one")
                                : QString();
    if (!problem.isEmpty())
        return {{},
                QStringLiteral("The cue sheet in '%1' cannot be used: %2")
                    .arg(Readable(image), problem),
                {}};
    return TracksOf(sheet, image, [&image](const QString&) { return image; });
}

} // namespace velune
