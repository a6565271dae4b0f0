#include "tags.h"
#include "system_names.h"
#include "tags_taglib.h"

#include <QRegularExpression>
#include <algorithm>
#include <array>
#include <mutex>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

namespace velune {

namespace {

// The text tags a list shows, by their common names.
constexpr std::array<const char*, 8> kShownKeys{"TITLE", "ARTIST", "ALBUM",    "ALBUMARTIST",
                                                "DATE",  "GENRE",  "COMPOSER", "COMMENT"};

// The numbers, kept apart; the encoder's own fields (iTunes keeps some as comments,
// "COMMENT:ITUNNORM"), the length and the channel mask, which each output has of its own.
constexpr std::array<const char*, 6> kNumberKeys{"TRACKNUMBER", "TRACKTOTAL", "TOTALTRACKS",
                                                 "DISCNUMBER",  "DISCTOTAL",  "TOTALDISCS"};

bool EncodersOwn(const TagLib::String& key) {
    static const QRegularExpression kOwn(QRegularExpression::anchoredPattern(QStringLiteral(
        "(COMMENT:)?(ENCODER|ENCODEDBY|ENCODING|ENCODERSETTINGS|ENCODER_OPTIONS|ENCODING PARAMS|"
        "ITUNSMPB|ITUNNORM|ITUNPGAP|LENGTH|WAVEFORMATEXTENSIBLE_CHANNEL_MASK)")));
    return kOwn.match(FromTag(key)).hasMatch();
}

template <std::size_t N>
bool Among(const std::array<const char*, N>& keys, const TagLib::String& key) {
    return std::ranges::any_of(keys, [&](const char* k) { return key == k; });
}

QString First(const TagLib::PropertyMap& map, std::initializer_list<const char*> keys) {
    for (const char* key : keys) {
        const auto it = map.find(key);
        if (it != map.end() && !it->second.isEmpty())
            return FromTag(it->second.front()).trimmed();
    }
    return {};
}

// "3/12" or "3" and a separate total.
void SplitNumber(const QString& text, const QString& separateTotal, QString& number,
                 QString& total) {
    const qsizetype slash = text.indexOf(QLatin1Char('/'));
    number = (slash < 0 ? text : text.left(slash)).trimmed();
    total = slash < 0 ? separateTotal : text.mid(slash + 1).trimmed();
}

QStringList Values(const TagLib::StringList& list) {
    QStringList values;
    for (const TagLib::String& value : list)
        values << FromTag(value);
    return values;
}

// Free-form MP4 atoms ("----:com.apple.iTunes:NAME") that TagLib's map leaves out, by
// their names as Vorbis comments spell them.
void AddMp4FreeForm(TagLib::PropertyMap& map, TagLib::MP4::Tag* mp4) {
    for (const TagLib::String& atom : map.unsupportedData()) {
        if (!atom.startsWith("----:") || !mp4->contains(atom))
            continue;
        const TagLib::String name = atom.substr(atom.rfind(":") + 1).upper();
        if (!name.isEmpty() && !map.contains(name))
            map.insert(name, mp4->item(atom).toStringList());
    }
}

void TakeId3Pictures(TagSet& tags, TagLib::ID3v2::Tag* id3) {
    if (!id3)
        return;
    for (const TagLib::ID3v2::Frame* frame : id3->frameList("APIC"))
        if (const auto* p = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame))
            tags.pictures.push_back({FromBytes(p->picture()), static_cast<int>(p->type()),
                                     FromTag(p->mimeType()), FromTag(p->description())});
}

void TakePictures(TagSet& tags, const TagLib::List<TagLib::FLAC::Picture*>& list) {
    for (const TagLib::FLAC::Picture* p : list)
        tags.pictures.push_back({FromBytes(p->data()), static_cast<int>(p->type()),
                                 FromTag(p->mimeType()), FromTag(p->description())});
}

// MP4 keeps images alone: the first is taken for the front cover.
void TakeMp4Pictures(TagSet& tags, TagLib::MP4::Tag* mp4) {
    if (!mp4 || !mp4->contains("covr"))
        return;
    for (const TagLib::MP4::CoverArt& art : mp4->item("covr").toCoverArtList()) {
        const auto format = art.format();
        tags.pictures.push_back(
            {FromBytes(art.data()),
             tags.pictures.empty() ? TagPicture::FrontCover : TagPicture::Other,
             format == TagLib::MP4::CoverArt::PNG   ? QStringLiteral("image/png")
             : format == TagLib::MP4::CoverArt::GIF ? QStringLiteral("image/gif")
             : format == TagLib::MP4::CoverArt::BMP ? QStringLiteral("image/bmp")
                                                    : QStringLiteral("image/jpeg"),
             {}});
    }
}

void ReadPictures(TagSet& tags, TagLib::File* file) {
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file))
        TakeId3Pictures(tags, mpeg->ID3v2Tag());
    else if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file))
        TakeId3Pictures(tags, wav->hasID3v2Tag() ? wav->ID3v2Tag() : nullptr);
    else if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file))
        TakePictures(tags, flac->pictureList());
    else if (auto* vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File*>(file))
        TakePictures(tags, vorbis->tag()->pictureList());
    else if (auto* opus = dynamic_cast<TagLib::Ogg::Opus::File*>(file))
        TakePictures(tags, opus->tag()->pictureList());
    else if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file))
        TakeMp4Pictures(tags, mp4->tag());
}

FileTags Read(const QString& path, bool everything, bool pictures) {
    PrepareTagLib();
    FileTags read;
    TagSet& tags = read.tags;
    const QByteArray native = SystemName(path);
    TagLib::FileRef ref(native.constData(), true, TagLib::AudioProperties::Fast);
    if (ref.isNull())
        return read;
    if (const TagLib::AudioProperties* audio = ref.audioProperties();
        audio && audio->lengthInMilliseconds() > 0)
        read.lengthMs = audio->lengthInMilliseconds();
    TagLib::PropertyMap map = ref.file()->properties();
    // Vorbis comments written by some programs keep the comment as DESCRIPTION.
    if (!map.contains("COMMENT") && map.contains("DESCRIPTION")) {
        map.insert("COMMENT", map["DESCRIPTION"]);
        map.erase("DESCRIPTION");
    }
    if (everything) {
        if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(ref.file()))
            AddMp4FreeForm(map, mp4->tag());
        for (const auto& [key, values] : map)
            if (!values.isEmpty() && !Among(kNumberKeys, key) && !EncodersOwn(key))
                tags.text.emplace_back(FromTag(key), Values(values));
    } else {
        for (const char* key : kShownKeys)
            if (const auto it = map.find(key); it != map.end() && !it->second.isEmpty())
                tags.text.emplace_back(QString::fromLatin1(key), Values(it->second));
    }
    SplitNumber(First(map, {"TRACKNUMBER"}), First(map, {"TRACKTOTAL", "TOTALTRACKS"}), tags.track,
                tags.trackTotal);
    SplitNumber(First(map, {"DISCNUMBER"}), First(map, {"DISCTOTAL", "TOTALDISCS"}), tags.disc,
                tags.discTotal);
    if (pictures)
        ReadPictures(tags, ref.file());
    return read;
}

} // namespace

void PrepareTagLib() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Setting a field of each kind takes every table's first use (TagLib 1.13: ID3v2's
        // people's roles, MP4's names; Vorbis comments have none, ASF is never written).
        TagLib::PropertyMap map;
        for (const char* key : {"TITLE", "ARRANGER", "PERFORMER:PIANO", "MUSICBRAINZ_TRACKID"})
            map.insert(key, TagLib::StringList("x"));
        TagLib::ID3v2::Tag id3;
        id3.setProperties(map);
        TagLib::MP4::Tag mp4;
        mp4.setProperties(map);
    });
}

qint64 TagSet::estimatedBytes() const {
    qint64 bytes = 256;
    for (const TagPicture& picture : pictures)
        bytes += 64 + picture.data.size() + picture.mime.size() + 4 * picture.description.size();
    for (const auto& [key, values] : text)
        for (const QString& value : values)
            bytes += 32 + key.size() + 4 * value.size();
    return bytes;
}

const TagPicture* TagSet::Cover() const {
    for (const TagPicture& picture : pictures)
        if (picture.kind == TagPicture::FrontCover)
            return &picture;
    return pictures.empty() ? nullptr : &pictures.front();
}

TagSet ReadTags(const QString& path) {
    return Read(path, true, true).tags;
}

FileTags ReadFileTags(const QString& path, bool withCover) {
    return Read(path, false, withCover);
}

QString FirstText(const TagSet& tags, const char* key) {
    for (const auto& [name, values] : tags.text)
        if (name == QLatin1String(key) && !values.isEmpty())
            return values.front();
    return {};
}

} // namespace velune
