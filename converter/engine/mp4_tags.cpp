#include "mp4_tags.h"

#include "engine_log.h"
#include "system_names.h"
#include "tags.h"
#include "tags_taglib.h"

#include <taglib/mp4file.h>
#include <vector>

namespace velune {

namespace {

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
    PrepareTagLib();
    TagLib::MP4::File file(SystemName(path).constData(), false);
    TagLib::MP4::Tag* tag = file.isValid() ? file.tag() : nullptr;
    if (tag)
        for (const auto& [key, value] : fields) {
            // An earlier field of any spelling goes: readers take the first they find.
            const TagLib::String name = ToTag(Mp4FreeFormName(key));
            std::vector<TagLib::String> earlier;
            for (const auto& [atom, item] : tag->itemMap())
                if (atom.upper() == name.upper())
                    earlier.push_back(atom);
            for (const TagLib::String& atom : earlier)
                tag->removeItem(atom);
            tag->setItem(name, TagLib::StringList(ToTag(value)));
        }
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

} // namespace velune
