#include "tags.h"
#include "engine_log.h"
#include "system_names.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <memory>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>
#include <vector>

namespace velune {

namespace {

// The text tags carried over, by their common names.
constexpr std::array<const char*, 8> kTextKeys{"TITLE", "ARTIST", "ALBUM",    "ALBUMARTIST",
                                               "DATE",  "GENRE",  "COMPOSER", "COMMENT"};

QString FromTag(const TagLib::String& text) {
    return QString::fromStdString(text.to8Bit(true));
}

TagLib::String ToTag(const QString& text) {
    return TagLib::String(text.toStdString(), TagLib::String::UTF8);
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

void TakeCover(TagSet& tags, const TagLib::ByteVector& data, const TagLib::String& mime) {
    tags.cover = QByteArray(data.data(), static_cast<qsizetype>(data.size()));
    tags.coverMime = FromTag(mime);
}

// The front cover among pictures, or else the first of them.
template <typename Picture> const Picture* FrontCover(const std::vector<const Picture*>& pictures) {
    for (const Picture* picture : pictures)
        if (picture->type() == Picture::FrontCover)
            return picture;
    return pictures.empty() ? nullptr : pictures.front();
}

void CoverOfId3(TagSet& tags, TagLib::ID3v2::Tag* id3) {
    if (!id3)
        return;
    std::vector<const TagLib::ID3v2::AttachedPictureFrame*> pictures;
    for (const TagLib::ID3v2::Frame* frame : id3->frameList("APIC"))
        if (const auto* picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame))
            pictures.push_back(picture);
    if (const auto* chosen = FrontCover(pictures))
        TakeCover(tags, chosen->picture(), chosen->mimeType());
}

void CoverOfPictures(TagSet& tags, const TagLib::List<TagLib::FLAC::Picture*>& list) {
    const std::vector<const TagLib::FLAC::Picture*> pictures(list.begin(), list.end());
    if (const auto* chosen = FrontCover(pictures))
        TakeCover(tags, chosen->data(), chosen->mimeType());
}

void CoverOfMp4(TagSet& tags, TagLib::MP4::Tag* mp4) {
    if (!mp4 || !mp4->contains("covr"))
        return;
    const TagLib::MP4::CoverArtList art = mp4->item("covr").toCoverArtList();
    if (art.isEmpty())
        return;
    const TagLib::MP4::CoverArt& cover = art.front();
    TakeCover(tags, cover.data(),
              cover.format() == TagLib::MP4::CoverArt::PNG ? "image/png" : "image/jpeg");
}

void ReadCover(TagSet& tags, TagLib::File* file) {
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file))
        CoverOfId3(tags, mpeg->ID3v2Tag());
    else if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file))
        CoverOfId3(tags, wav->hasID3v2Tag() ? wav->ID3v2Tag() : nullptr);
    else if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file))
        CoverOfPictures(tags, flac->pictureList());
    else if (auto* vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File*>(file))
        CoverOfPictures(tags, vorbis->tag()->pictureList());
    else if (auto* opus = dynamic_cast<TagLib::Ogg::Opus::File*>(file))
        CoverOfPictures(tags, opus->tag()->pictureList());
    else if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file))
        CoverOfMp4(tags, mp4->tag());
}

// The text tags as the target keeps them: numbers with their totals as "3/12" in
// ID3v2, in fields of their own in Vorbis comments.
TagLib::PropertyMap PropertiesFor(const TagSet& tags, bool separateTotals) {
    TagLib::PropertyMap map;
    for (const auto& [key, values] : tags.text) {
        TagLib::StringList list;
        for (const QString& value : values)
            list.append(ToTag(value));
        map.insert(ToTag(key), list);
    }
    const auto number = [&](const char* key, const char* totalKey, const QString& value,
                            const QString& total) {
        if (value.isEmpty())
            return;
        if (separateTotals || total.isEmpty()) {
            map.insert(key, ToTag(value));
            if (!total.isEmpty())
                map.insert(totalKey, ToTag(total));
        } else {
            map.insert(key, ToTag(value + QLatin1Char('/') + total));
        }
    };
    number("TRACKNUMBER", "TRACKTOTAL", tags.track, tags.trackTotal);
    number("DISCNUMBER", "DISCTOTAL", tags.disc, tags.discTotal);
    return map;
}

TagLib::ByteVector Bytes(const QByteArray& data) {
    return TagLib::ByteVector(data.constData(), static_cast<unsigned int>(data.size()));
}

bool WriteMp3(const QByteArray& path, const TagSet& tags) {
    TagLib::MPEG::File file(path.constData(), false);
    if (!file.isValid())
        return false;
    TagLib::ID3v2::Tag* id3 = file.ID3v2Tag(true);
    id3->setProperties(PropertiesFor(tags, false));
    if (!tags.cover.isEmpty()) {
        auto* frame = new TagLib::ID3v2::AttachedPictureFrame;
        frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        frame->setMimeType(ToTag(tags.coverMime));
        frame->setPicture(Bytes(tags.cover));
        id3->addFrame(frame);
    }
    return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v4,
                     TagLib::File::DoNotDuplicate);
}

// Ogg Vorbis and Ogg Opus keep their tags as Vorbis comments, the cover as a picture in them.
template <typename OggFile> bool WriteOgg(const QByteArray& path, const TagSet& tags) {
    OggFile file(path.constData(), false);
    if (!file.isValid())
        return false;
    TagLib::Ogg::XiphComment* comment = file.tag();
    comment->setProperties(PropertiesFor(tags, true));
    if (!tags.cover.isEmpty()) {
        auto* picture = new TagLib::FLAC::Picture;
        picture->setType(TagLib::FLAC::Picture::FrontCover);
        picture->setMimeType(ToTag(tags.coverMime));
        picture->setData(Bytes(tags.cover));
        comment->addPicture(picture);
    }
    return file.save();
}

bool WriteFlac(const QByteArray& path, const TagSet& tags) {
    TagLib::FLAC::File file(path.constData(), false);
    if (!file.isValid())
        return false;
    file.xiphComment(true)->setProperties(PropertiesFor(tags, true));
    if (!tags.cover.isEmpty()) {
        auto* picture = new TagLib::FLAC::Picture;
        picture->setType(TagLib::FLAC::Picture::FrontCover);
        picture->setMimeType(ToTag(tags.coverMime));
        picture->setData(Bytes(tags.cover));
        file.addPicture(picture);
    }
    return file.save();
}

bool WriteWav(const QByteArray& path, const TagSet& tags) {
    TagLib::RIFF::WAV::File file(path.constData(), false);
    if (!file.isValid())
        return false;
    // One ID3v2 chunk holds every field; RIFF INFO has no place for several of them,
    // and readers that find both prefer INFO.
    file.ID3v2Tag()->setProperties(PropertiesFor(tags, false));
    return file.save(TagLib::RIFF::WAV::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v4);
}

// ID3v2 sizes: 28 bits in four bytes of seven (v2.4 frames, every tag), or plain.
quint32 Id3Size(const char* at, bool syncSafe) {
    quint32 size = 0;
    for (int i = 0; i < 4; ++i)
        size = syncSafe ? (size << 7) | (static_cast<quint8>(at[i]) & 0x7f)
                        : (size << 8) | static_cast<quint8>(at[i]);
    return size;
}
QByteArray Id3SizeBytes(quint32 size, bool syncSafe) {
    QByteArray bytes(4, '\0');
    for (int i = 3; i >= 0; --i, size >>= syncSafe ? 7 : 8)
        bytes[i] = static_cast<char>(size & (syncSafe ? 0x7f : 0xff));
    return bytes;
}

// A TXXX frame's description, in any of ID3v2's encodings.
QString UserTextName(const QByteArray& body) {
    if (body.isEmpty())
        return {};
    const char encoding = body[0];
    const QByteArray text = body.mid(1);
    if (encoding == 1 || encoding == 2) {
        QString name;
        const bool little = encoding == 1 && text.startsWith("\xff\xfe");
        for (qsizetype i = encoding == 1 ? 2 : 0; i + 1 < text.size(); i += 2) {
            const auto a = static_cast<quint8>(text[i]), b = static_cast<quint8>(text[i + 1]);
            const char16_t unit =
                little ? static_cast<char16_t>(a | b << 8) : static_cast<char16_t>(a << 8 | b);
            if (unit == 0)
                break;
            name += QChar(unit);
        }
        return name;
    }
    const QByteArray name = text.left(text.indexOf('\0'));
    return encoding == 3 ? QString::fromUtf8(name) : QString::fromLatin1(name);
}

// The ID3v2.3 or v2.4 tag at the start of an MP3 with the loudness fields set, every
// other frame kept byte for byte; none when the tag is of a form not edited here
// (unsynchronised, with an extended header or a footer, or v2.2).
std::optional<QByteArray> Id3WithFields(const QByteArray& head, qsizetype& tagEnd,
                                        const std::vector<std::pair<QString, QString>>& fields) {
    int version = 4;
    QByteArray frames;
    qsizetype padding = 0;
    tagEnd = 0;
    if (head.startsWith("ID3")) {
        if (head.size() < 10 || (head[3] != 3 && head[3] != 4) || (head[5] & 0xd0) != 0)
            return std::nullopt;
        version = static_cast<quint8>(head[3]);
        tagEnd = 10 + Id3Size(head.constData() + 6, true);
        if (head.size() < tagEnd)
            return std::nullopt;
        for (qsizetype at = 10; at < tagEnd;) {
            if (head[at] == '\0' || at + 10 > tagEnd) {
                padding = tagEnd - at;
                break;
            }
            const qsizetype size = Id3Size(head.constData() + at + 4, version == 4);
            if (at + 10 + size > tagEnd)
                return std::nullopt;
            const QString name =
                head.mid(at, 4) == "TXXX" ? UserTextName(head.mid(at + 10, size)) : QString();
            const bool replaced = std::ranges::any_of(fields, [&](const auto& field) {
                return name.compare(field.first, Qt::CaseInsensitive) == 0;
            });
            if (!replaced)
                frames += head.mid(at, 10 + size);
            at += 10 + size;
        }
    }
    for (const auto& [key, value] : fields) {
        // Latin-1, which both versions take: the loudness fields are plain ASCII.
        const QByteArray body = '\0' + key.toLatin1() + '\0' + value.toLatin1();
        frames += "TXXX" + Id3SizeBytes(static_cast<quint32>(body.size()), version == 4) +
                  QByteArray(2, '\0') + body;
    }
    frames += QByteArray(padding, '\0');
    return QByteArray("ID3") + static_cast<char>(version) + QByteArray(2, '\0') +
           Id3SizeBytes(static_cast<quint32>(frames.size()), true) + frames;
}

// Rewrites the head of an MP3 (one of our temporary files) with the fields set;
// false when its tag is of a form not edited here.
bool EditMp3Head(const QByteArray& path, const std::vector<std::pair<QString, QString>>& fields) {
    std::ifstream in(path.constData(), std::ios::binary);
    QByteArray bytes =
        QByteArray::fromStdString(std::string(std::istreambuf_iterator<char>(in), {}));
    if (!in.good() && !in.eof())
        return false;
    const qsizetype size =
        bytes.startsWith("ID3") && bytes.size() >= 10
            ? std::min<qsizetype>(10 + Id3Size(bytes.constData() + 6, true), bytes.size())
            : 0;
    qsizetype tagEnd = 0;
    const auto tag = Id3WithFields(bytes.left(size), tagEnd, fields);
    if (!tag)
        return false;
    bytes.replace(0, tagEnd, *tag);
    std::ofstream out(path.constData(), std::ios::binary | std::ios::trunc);
    return out.write(bytes.constData(), bytes.size()) && out.flush();
}

bool SetMp3Fields(const QByteArray& path, const std::vector<std::pair<QString, QString>>& fields) {
    if (EditMp3Head(path, fields))
        return true;
    // Forms of tags not edited above: TagLib writes them, in the version they have.
    TagLib::MPEG::File file(path.constData(), false);
    if (!file.isValid())
        return false;
    const bool had = file.hasID3v2Tag();
    TagLib::ID3v2::Tag* id3 = file.ID3v2Tag(true);
    const auto version =
        had && id3->header()->majorVersion() == 3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4;
    for (const auto& [key, value] : fields) {
        // The field's earlier values go, however they were spelled.
        const TagLib::ID3v2::FrameList texts = id3->frameList("TXXX");
        for (TagLib::ID3v2::Frame* frame : texts)
            if (const auto* text = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame*>(frame);
                text && FromTag(text->description()).compare(key, Qt::CaseInsensitive) == 0)
                id3->removeFrame(frame);
        auto* frame = new TagLib::ID3v2::UserTextIdentificationFrame(TagLib::String::UTF8);
        frame->setDescription(ToTag(key));
        frame->setText(ToTag(value));
        id3->addFrame(frame);
    }
    return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, version,
                     TagLib::File::DoNotDuplicate);
}

template <typename OggFile>
bool SetOggFields(const QByteArray& path, const std::vector<std::pair<QString, QString>>& fields) {
    OggFile file(path.constData(), false);
    if (!file.isValid())
        return false;
    for (const auto& [key, value] : fields)
        file.tag()->addField(ToTag(key), ToTag(value), true);
    return file.save();
}

} // namespace

bool WriteLoudnessFields(const QString& path, TargetFormat format,
                         const std::vector<std::pair<QString, QString>>& fields, QString& error) {
    const QByteArray native = SystemName(path);
    const bool saved =
        format == TargetFormat::Mp3    ? SetMp3Fields(native, fields)
        : format == TargetFormat::Ogg  ? SetOggFields<TagLib::Ogg::Vorbis::File>(native, fields)
        : format == TargetFormat::Opus ? SetOggFields<TagLib::Ogg::Opus::File>(native, fields)
                                       : false;
    if (!saved) {
        error = QStringLiteral("its tags could not be written");
        qCWarning(lcEngine) << "cannot write the loudness fields to" << path;
    }
    return saved;
}

qint64 TagSet::estimatedBytes() const {
    qint64 bytes = cover.size() + coverMime.size() + 256;
    for (const auto& [key, values] : text)
        for (const QString& value : values)
            bytes += 32 + key.size() + 4 * value.size();
    return bytes;
}

TagSet ReadTags(const QString& path) {
    return ReadFileTags(path, true).tags;
}

QString FirstText(const TagSet& tags, const char* key) {
    for (const auto& [name, values] : tags.text)
        if (name == QLatin1String(key) && !values.isEmpty())
            return values.front();
    return {};
}

FileTags ReadFileTags(const QString& path, bool withCover) {
    FileTags read;
    TagSet& tags = read.tags;
    const QByteArray native = SystemName(path);
    TagLib::FileRef ref(native.constData(), true, TagLib::AudioProperties::Fast);
    if (ref.isNull())
        return read;
    if (const TagLib::AudioProperties* audio = ref.audioProperties();
        audio && audio->lengthInMilliseconds() > 0)
        read.lengthMs = audio->lengthInMilliseconds();
    const TagLib::PropertyMap map = ref.file()->properties();
    for (const char* key : kTextKeys) {
        auto it = map.find(key);
        // Vorbis comments written by some programs keep the comment as DESCRIPTION.
        if (it == map.end() && qstrcmp(key, "COMMENT") == 0)
            it = map.find("DESCRIPTION");
        if (it == map.end() || it->second.isEmpty())
            continue;
        QStringList values;
        for (const TagLib::String& value : it->second)
            values << FromTag(value);
        tags.text.emplace_back(QString::fromLatin1(key), values);
    }
    SplitNumber(First(map, {"TRACKNUMBER"}), First(map, {"TRACKTOTAL", "TOTALTRACKS"}), tags.track,
                tags.trackTotal);
    SplitNumber(First(map, {"DISCNUMBER"}), First(map, {"DISCTOTAL", "TOTALDISCS"}), tags.disc,
                tags.discTotal);
    if (withCover)
        ReadCover(tags, ref.file());
    return read;
}

bool WriteTags(const QString& path, TargetFormat format, const TagSet& tags, QString& error) {
    if (tags.empty())
        return true;
    const QByteArray native = SystemName(path);
    bool saved = false;
    switch (format) {
    case TargetFormat::Mp3:
        saved = WriteMp3(native, tags);
        break;
    case TargetFormat::Ogg:
        saved = WriteOgg<TagLib::Ogg::Vorbis::File>(native, tags);
        break;
    case TargetFormat::Opus:
        saved = WriteOgg<TagLib::Ogg::Opus::File>(native, tags);
        break;
    case TargetFormat::Flac:
        saved = WriteFlac(native, tags);
        break;
    case TargetFormat::Wav:
        saved = WriteWav(native, tags);
        break;
    }
    if (!saved) {
        error = QStringLiteral("its tags could not be written");
        qCWarning(lcEngine) << "cannot write tags to" << path;
    }
    return saved;
}

} // namespace velune
