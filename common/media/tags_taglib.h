#pragma once

// What the tag files share of TagLib: its strings and bytes.

#include <QByteArray>
#include <QString>
#include <taglib/tbytevector.h>
#include <taglib/tstring.h>

namespace velune {

// TagLib fills some of its key tables on their first use, without a lock (ID3v2's
// list of people's roles, MP4's names for the common fields): two threads meeting
// there first corrupt them. Every entry point of the tag files calls this first,
// which fills them once.
void PrepareTagLib();

inline QString FromTag(const TagLib::String& text) {
    return QString::fromStdString(text.to8Bit(true));
}

inline TagLib::String ToTag(const QString& text) {
    return TagLib::String(text.toStdString(), TagLib::String::UTF8);
}

inline QByteArray FromBytes(const TagLib::ByteVector& data) {
    return {data.data(), static_cast<qsizetype>(data.size())};
}

inline TagLib::ByteVector Bytes(const QByteArray& data) {
    return {data.constData(), static_cast<unsigned int>(data.size())};
}

} // namespace velune
