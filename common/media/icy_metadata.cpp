#include "icy_metadata.h"

#include <QList>
#include <QStringDecoder>

namespace velune {

QString IcyText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

QString IcyHeader(const QByteArray& headers, const char* name) {
    const QByteArray wanted = QByteArray(name).toLower() + ':';
    for (const QByteArray& line : headers.split('\n'))
        if (const QByteArray trimmed = line.trimmed(); trimmed.toLower().startsWith(wanted))
            return IcyText(trimmed.mid(wanted.size())).trimmed();
    return {};
}

std::optional<QString> StreamTitleOf(const QByteArray& packet) {
    static const QByteArray kKey = "StreamTitle='";
    const qsizetype start = packet.indexOf(kKey);
    if (start < 0)
        return std::nullopt;
    QByteArray value = packet.mid(start + kKey.size());
    // The value ends at "';" (a title may hold apostrophes), else at the last quote.
    if (const qsizetype end = value.indexOf("';"); end >= 0)
        value.truncate(end);
    else if (const qsizetype quote = value.lastIndexOf('\''); quote >= 0)
        value.truncate(quote);
    if (const qsizetype nul = value.indexOf('\0'); nul >= 0)
        value.truncate(nul);
    return IcyText(value).trimmed();
}

std::pair<QString, QString> ArtistAndTitle(const QString& streamTitle) {
    const qsizetype dash = streamTitle.indexOf(QLatin1String(" - "));
    if (dash <= 0)
        return {QString(), streamTitle};
    return {streamTitle.left(dash).trimmed(), streamTitle.mid(dash + 3).trimmed()};
}

} // namespace velune
