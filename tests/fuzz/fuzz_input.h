#pragma once

// What the fuzz targets share: the input cut into pieces, and property checks that stop a run.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace velune::fuzz {

using namespace Qt::StringLiterals;

// The input, taken piece by piece: a byte, or text up to a separator.
class Input {
public:
    Input(const uint8_t* data, std::size_t size)
        : bytes_(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)) {}
    bool empty() const { return at_ >= bytes_.size(); }
    uint8_t Byte() { return empty() ? 0 : static_cast<uint8_t>(bytes_[at_++]); }
    // The bytes up to the next `separator` (dropped), or the rest.
    QByteArray Piece(char separator = '\0') {
        const qsizetype end = bytes_.indexOf(separator, at_);
        const QByteArray piece = bytes_.mid(at_, end < 0 ? -1 : end - at_);
        at_ = end < 0 ? bytes_.size() : end + 1;
        return piece;
    }
    QByteArray Rest() { return bytes_.mid(std::exchange(at_, bytes_.size())); }

private:
    QByteArray bytes_;
    qsizetype at_ = 0;
};

// A property that must hold: when it does not, say which and stop (libFuzzer keeps the input).
inline void Require(bool holds, const char* property, const QString& detail = {}) {
    if (holds)
        return;
    std::fprintf(stderr, "property broken: %s %s\n", property, detail.toUtf8().constData());
    std::abort();
}

// Every trigger ("_root.Set...") a face is sent comes after data written since the one before.
inline void RequireTriggersAfterData(const QStringList& writes) {
    bool data = false;
    for (const QString& write : writes) {
        const bool trigger = write.startsWith(u"_root.Set"_s);
        Require(!trigger || data, "a trigger after its data", write);
        data = !trigger;
    }
}

// A path the system can name: absolute, and no NUL in it.
inline bool PlainAbsolute(const QString& path) {
    return path.startsWith(QLatin1Char('/')) && !path.contains(QChar(0));
}

// The face's list from the host's rows: "|" between rows, a backslash escaping "|" or itself.
inline QStringList SplitFaceRows(const QString& text) {
    QStringList rows{QString()};
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size())
            rows.back() += text[++i];
        else if (text[i] == u'|')
            rows << QString();
        else
            rows.back() += text[i];
    }
    return rows;
}

} // namespace velune::fuzz
