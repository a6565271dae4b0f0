#pragma once

// What the player window's parts share: its sizes, the face's variable names as
// text, and the reading of the numbers the face sends.

#include <QLoggingCategory>
#include <QRegularExpression>
#include <QString>

Q_DECLARE_LOGGING_CATEGORY(lcPlayer)

namespace velune::player_text {

inline constexpr int kWidth = 336;
inline constexpr int kHeightListHidden = 156;
inline constexpr int kHeightListShown = 360;

inline QString Var(const char* name) {
    return QLatin1String(name);
}

// The leading decimal number of a text, 0 when it begins with none.
inline double LeadingNumber(const QString& text) {
    static const QRegularExpression number(QStringLiteral(R"(^\s*[+-]?(\d+\.?\d*|\.\d+))"));
    const auto match = number.match(text);
    return match.hasMatch() ? match.captured(0).trimmed().toDouble() : 0.0;
}

// A whole row number sent by the face, or -1.
inline int RowNumber(const QString& args, int rows) {
    bool whole = false;
    const int row = args.trimmed().toInt(&whole);
    return whole && row >= 0 && row < rows ? row : -1;
}

// "0#": at least two digits.
inline QString TwoDigits(long value) {
    const QString digits = QString::number(std::labs(value));
    return (value < 0 ? QStringLiteral("-") : QString()) +
           (digits.size() < 2 ? QStringLiteral("0") + digits : digits);
}

} // namespace velune::player_text
