// The loudness fields of copies, set in place: every other byte of their tags kept.
#include "engine_log.h"
#include "system_names.h"
#include "tags.h"
#include "tags_taglib.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

namespace velune {

namespace {

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
    PrepareTagLib();
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

bool IsLoudnessField(const QString& key) {
    return key.startsWith(QLatin1String("REPLAYGAIN_"), Qt::CaseInsensitive) ||
           key.startsWith(QLatin1String("R128_"), Qt::CaseInsensitive);
}

QString Mp4FreeFormName(QString field) {
    field.replace(u':', u'_');
    return QStringLiteral("----:com.apple.iTunes:") +
           (IsLoudnessField(field) ? field.toLower() : field);
}

} // namespace velune
