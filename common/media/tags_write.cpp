// Tags written into each target format, with what the format cannot hold named.
#include "engine_log.h"
#include "system_names.h"
#include "tags.h"
#include "tags_taglib.h"

#include <taglib/attachedpictureframe.h>
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

#include <string_view>

namespace velune {

namespace {

// A picture as it is named when a format cannot hold it.
QString PictureName(const TagPicture& picture) {
    const QString kind = picture.kind == TagPicture::FrontCover  ? QStringLiteral("front cover")
                         : picture.kind == TagPicture::BackCover ? QStringLiteral("back cover")
                         : picture.kind == 5                     ? QStringLiteral("leaflet page")
                                             : QStringLiteral("kind %1").arg(picture.kind);
    return QStringLiteral("PICTURE (%1)").arg(kind);
}

void Name(QStringList* unheld, const QString& name) {
    if (unheld && !unheld->contains(name))
        unheld->append(name);
}

void NameFields(QStringList* unheld, const TagLib::PropertyMap& left) {
    for (const auto& [key, values] : left)
        Name(unheld, FromTag(key));
}

// The text tags as the target keeps them: numbers with their totals as "3/12" in
// ID3v2 and MP4, in fields of their own in Vorbis comments.
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

// ID3v2.3 has no frames for some fields of 2.4 (TagLib drops them, and keeps only the
// year of an original date): they go into TXXX frames named as the fields.
void KeepForId3v23(TagLib::ID3v2::Tag* id3) {
    static constexpr std::pair<const char*, const char*> kNotIn23[] = {
        {"TMOO", "MOOD"},         {"TDRL", "RELEASEDATE"},  {"TPRO", "PRODUCEDNOTICE"},
        {"TSST", "DISCSUBTITLE"}, {"TDEN", "ENCODINGTIME"}, {"TDTG", "TAGGINGDATE"},
        {"TSOA", "ALBUMSORT"},    {"TSOP", "ARTISTSORT"},   {"TSOT", "TITLESORT"},
        {"TDOR", "ORIGINALDATE"}};
    for (const auto& [id, key] : kNotIn23) {
        const TagLib::ID3v2::FrameList frames = id3->frameList(id);
        for (TagLib::ID3v2::Frame* frame : frames) {
            auto* text = dynamic_cast<TagLib::ID3v2::TextIdentificationFrame*>(frame);
            if (!text || (std::string_view(id) == "TDOR" && text->toString().size() <= 4))
                continue;
            auto* user = new TagLib::ID3v2::UserTextIdentificationFrame(TagLib::String::UTF16);
            user->setDescription(key);
            user->setText(text->fieldList());
            id3->removeFrame(frame);
            id3->addFrame(user);
        }
    }
}

// Every field into an ID3v2 tag (TXXX frames for the fields ID3v2 has no frame of its
// own for, several values null-separated); the pictures when the file takes them.
void FillId3(TagLib::ID3v2::Tag* id3, const TagSet& tags, bool pictures, bool id3v23,
             QStringList* unheld) {
    NameFields(unheld, id3->setProperties(PropertiesFor(tags, false)));
    if (id3v23)
        KeepForId3v23(id3);
    for (const TagPicture& picture : tags.pictures) {
        if (!pictures) {
            Name(unheld, PictureName(picture));
            continue;
        }
        auto* frame = new TagLib::ID3v2::AttachedPictureFrame;
        frame->setType(static_cast<TagLib::ID3v2::AttachedPictureFrame::Type>(picture.kind));
        frame->setMimeType(ToTag(picture.mime));
        frame->setDescription(ToTag(picture.description));
        frame->setPicture(Bytes(picture.data));
        id3->addFrame(frame);
    }
}

bool WriteMp3(const QByteArray& path, const TagSet& tags, bool id3v23, QStringList* unheld) {
    TagLib::MPEG::File file(path.constData(), false);
    if (!file.isValid())
        return false;
    FillId3(file.ID3v2Tag(true), tags, true, id3v23, unheld);
    return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers,
                     id3v23 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4, TagLib::File::DoNotDuplicate);
}

bool WriteWav(const QByteArray& path, const TagSet& tags, bool id3v23, QStringList* unheld) {
    TagLib::RIFF::WAV::File file(path.constData(), false);
    if (!file.isValid())
        return false;
    // One ID3v2 chunk holds every field; RIFF INFO has no place for several of them,
    // and readers that find both prefer INFO. WAV files are given text alone.
    FillId3(file.ID3v2Tag(), tags, false, id3v23, unheld);
    return file.save(TagLib::RIFF::WAV::File::ID3v2, TagLib::File::StripOthers,
                     id3v23 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4);
}

// Vorbis comments, several values as repeated fields, and their pictures, as Ogg
// and FLAC files keep them.
template <typename AddPicture>
void FillComment(TagLib::Ogg::XiphComment* comment, const TagSet& tags, QStringList* unheld,
                 AddPicture add) {
    NameFields(unheld, comment->setProperties(PropertiesFor(tags, true)));
    for (const TagPicture& picture : tags.pictures) {
        auto* block = new TagLib::FLAC::Picture;
        block->setType(static_cast<TagLib::FLAC::Picture::Type>(picture.kind));
        block->setMimeType(ToTag(picture.mime));
        block->setDescription(ToTag(picture.description));
        block->setData(Bytes(picture.data));
        add(block);
    }
}

template <typename OggFile>
bool WriteOgg(const QByteArray& path, const TagSet& tags, QStringList* unheld) {
    OggFile file(path.constData(), false);
    if (!file.isValid())
        return false;
    TagLib::Ogg::XiphComment* comment = file.tag();
    FillComment(comment, tags, unheld, [comment](auto* block) { comment->addPicture(block); });
    return file.save();
}

bool WriteFlac(const QByteArray& path, const TagSet& tags, QStringList* unheld) {
    TagLib::FLAC::File file(path.constData(), false);
    if (!file.isValid())
        return false;
    FillComment(file.xiphComment(true), tags, unheld,
                [&file](auto* block) { file.addPicture(block); });
    return file.save();
}

// The image format of a picture: from its MIME type, else from its first bytes.
TagLib::MP4::CoverArt::Format ImageFormatOf(const TagPicture& picture) {
    const QString mime = picture.mime.toLower();
    const QByteArray& data = picture.data;
    if (mime.endsWith(QLatin1String("png")) || data.startsWith("\x89PNG"))
        return TagLib::MP4::CoverArt::PNG;
    if (mime.endsWith(QLatin1String("jpeg")) || mime.endsWith(QLatin1String("jpg")) ||
        data.startsWith("\xff\xd8\xff"))
        return TagLib::MP4::CoverArt::JPEG;
    if (mime.endsWith(QLatin1String("gif")) || data.startsWith("GIF8"))
        return TagLib::MP4::CoverArt::GIF;
    if (mime.endsWith(QLatin1String("bmp")) || data.startsWith("BM"))
        return TagLib::MP4::CoverArt::BMP;
    return TagLib::MP4::CoverArt::Unknown;
}

// MP4 atoms: TagLib's for the fields it knows (©nam, ©ART, trkn...), free-form ones
// ("----:com.apple.iTunes:NAME", the loudness fields in lower case as players look
// for them) for the rest; a free-form name holds no colon, so "COMMENT:X" is written
// "COMMENT_X". Its cover art is a list of images alone, the front cover first: the
// other pictures, whose kind is lost, and the front cover's description are named.
bool WriteMp4(const QByteArray& path, const TagSet& tags, QStringList* unheld) {
    TagLib::MP4::File file(path.constData(), false);
    if (!file.isValid() || !file.tag())
        return false;
    TagLib::MP4::Tag* mp4 = file.tag();
    const TagLib::PropertyMap left = mp4->setProperties(PropertiesFor(tags, false));
    for (const auto& [key, values] : left)
        mp4->setItem(ToTag(Mp4FreeFormName(FromTag(key))), TagLib::MP4::Item(values));
    const TagPicture* cover = tags.Cover();
    std::vector<const TagPicture*> pictures;
    if (cover)
        pictures.push_back(cover);
    for (const TagPicture& picture : tags.pictures)
        if (&picture != cover)
            pictures.push_back(&picture);
    TagLib::MP4::CoverArtList art;
    for (const TagPicture* picture : pictures) {
        const auto format = ImageFormatOf(*picture);
        if (format == TagLib::MP4::CoverArt::Unknown) {
            Name(unheld, PictureName(*picture));
            continue;
        }
        // The image is kept, but not what it was (it reads back as "other"): named.
        if (picture != cover && picture->kind != TagPicture::Other)
            Name(unheld, PictureName(*picture));
        else if (!picture->description.isEmpty())
            Name(unheld, PictureName(*picture) + QStringLiteral(" DESCRIPTION"));
        art.append(TagLib::MP4::CoverArt(format, Bytes(picture->data)));
    }
    if (!art.isEmpty())
        mp4->setItem("covr", TagLib::MP4::Item(art));
    return file.save();
}

} // namespace

bool WriteTags(const QString& path, TargetFormat format, const TagSet& tags, QString& error,
               bool id3v23, QStringList* unheld) {
    PrepareTagLib();
    if (tags.empty())
        return true;
    const QByteArray native = SystemName(path);
    bool saved = false;
    switch (format) {
    case TargetFormat::Mp3:
        saved = WriteMp3(native, tags, id3v23, unheld);
        break;
    case TargetFormat::Ogg:
        saved = WriteOgg<TagLib::Ogg::Vorbis::File>(native, tags, unheld);
        break;
    case TargetFormat::Opus:
        saved = WriteOgg<TagLib::Ogg::Opus::File>(native, tags, unheld);
        break;
    case TargetFormat::Flac:
        saved = WriteFlac(native, tags, unheld);
        break;
    case TargetFormat::Wav:
        saved = WriteWav(native, tags, id3v23, unheld);
        break;
    case TargetFormat::M4a:
    case TargetFormat::Alac:
        saved = WriteMp4(native, tags, unheld);
        break;
    }
    if (!saved) {
        error = QStringLiteral("its tags could not be written");
        qCWarning(lcEngine) << "cannot write tags to" << path;
    }
    return saved;
}

} // namespace velune
