#include "mp4_tags.h"

#include "engine_log.h"
#include "system_names.h"

#include <taglib/mp4file.h>
#include <taglib/tpropertymap.h>

namespace velune {

namespace {

TagLib::String ToTag(const QString& text) {
    return {text.toUtf8().constData(), TagLib::String::UTF8};
}

// The free-form name of a field: loudness fields in the lower case players look for.
TagLib::String FreeFormName(const QString& key) {
    const bool loudness = key.startsWith(QLatin1String("REPLAYGAIN_"), Qt::CaseInsensitive);
    return ToTag(QStringLiteral("----:com.apple.iTunes:") + (loudness ? key.toLower() : key));
}

bool Saved(bool saved, const QString& path, QString& error) {
    if (!saved) {
        error = QStringLiteral("its tags could not be written");
        qCWarning(lcEngine) << "cannot write the MP4 tags of" << path;
    }
    return saved;
}

} // namespace

bool WriteMp4Fields(const QString& path, const std::vector<std::pair<QString, QString>>& fields,
                    QString& error) {
    TagLib::MP4::File file(SystemName(path).constData(), false);
    TagLib::MP4::Tag* tag = file.isValid() ? file.tag() : nullptr;
    if (tag)
        for (const auto& [key, value] : fields)
            tag->setItem(FreeFormName(key), TagLib::StringList(ToTag(value)));
    return Saved(tag && file.save(), path, error);
}

std::pair<QString, QString> GaplessField(qint64 delay, qint64 padding, qint64 samples) {
    QString value = QStringLiteral(" 00000000 %1 %2 %3")
                        .arg(delay, 8, 16, QLatin1Char('0'))
                        .arg(padding, 8, 16, QLatin1Char('0'))
                        .arg(samples, 16, 16, QLatin1Char('0'))
                        .toUpper();
    for (int i = 0; i < 8; ++i)
        value += QStringLiteral(" 00000000");
    return {QStringLiteral("iTunSMPB"), value};
}

bool WriteMp4Tags(const QString& path, const TagSet& tags, QString& error) {
    TagLib::MP4::File file(SystemName(path).constData(), false);
    TagLib::MP4::Tag* tag = file.isValid() ? file.tag() : nullptr;
    if (!tag)
        return Saved(false, path, error);
    TagLib::PropertyMap map;
    std::vector<std::pair<QString, QString>> loudness;
    for (const auto& [key, values] : tags.text) {
        if (key.startsWith(QLatin1String("REPLAYGAIN_"))) {
            loudness.emplace_back(key, values.join(u';'));
            continue;
        }
        TagLib::StringList list;
        for (const QString& value : values)
            list.append(ToTag(value));
        map.insert(ToTag(key), list);
    }
    const auto number = [&](const char* key, const QString& value, const QString& total) {
        if (!value.isEmpty())
            map.insert(key, ToTag(total.isEmpty() ? value : value + u'/' + total));
    };
    number("TRACKNUMBER", tags.track, tags.trackTotal);
    number("DISCNUMBER", tags.disc, tags.discTotal);
    tag->setProperties(map);
    for (const auto& [key, value] : loudness)
        tag->setItem(FreeFormName(key), TagLib::StringList(ToTag(value)));
    if (!tags.cover.isEmpty()) {
        const TagLib::MP4::CoverArt::Format kind =
            tags.coverMime == QLatin1String("image/png")   ? TagLib::MP4::CoverArt::PNG
            : tags.coverMime == QLatin1String("image/gif") ? TagLib::MP4::CoverArt::GIF
            : tags.coverMime == QLatin1String("image/bmp") ? TagLib::MP4::CoverArt::BMP
                                                           : TagLib::MP4::CoverArt::JPEG;
        TagLib::MP4::CoverArtList art;
        art.append(TagLib::MP4::CoverArt(
            kind, TagLib::ByteVector(tags.cover.constData(),
                                     static_cast<unsigned int>(tags.cover.size()))));
        tag->setItem("covr", art);
    }
    return Saved(file.save(), path, error);
}

} // namespace velune
