#include "converter_engine.h"

namespace velune {

QString EscapeChainText(const QString& text) {
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'\\' || c == u'\'' || c == u'"')
            escaped += u'\\';
        escaped += c;
    }
    return escaped;
}

std::optional<ChainDestination> FindChainDestination(const QString& chain) {
    const QString key = QStringLiteral("dst=");
    const qsizetype at = chain.indexOf(key);
    if (at < 0 || at + key.size() >= chain.size())
        return std::nullopt;
    const QChar quote = chain[at + key.size()];
    if (quote != u'\'' && quote != u'"')
        return std::nullopt;
    ChainDestination dst;
    dst.begin = at + key.size() + 1;
    for (qsizetype i = dst.begin; i < chain.size(); ++i) {
        const QChar c = chain[i];
        if (c == u'\\' && i + 1 < chain.size()) {
            dst.path += chain[++i];
        } else if (c == quote) {
            dst.end = i;
            return dst;
        } else {
            dst.path += c;
        }
    }
    return std::nullopt;
}

} // namespace velune
