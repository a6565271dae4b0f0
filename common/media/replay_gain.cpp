#include "replay_gain.h"

#include <QRegularExpression>
#include <cmath>

namespace velune {

namespace {
// The leading decimal number of a tag ("-6.53 dB", "+0.2 dB", "0.988"); a typographic
// minus counts as a minus.
std::optional<double> Number(QString text) {
    static const QRegularExpression number(QStringLiteral(R"(^\s*([+-]?(\d+\.?\d*|\.\d+)))"));
    text.replace(QChar(0x2212), QLatin1Char('-'));
    const auto match = number.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const double value = match.captured(1).toDouble();
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

// An Opus R128 gain: whole 1/256 dB steps for −23 LUFS, 5 dB quieter than −18 LUFS.
std::optional<double> R128(const QString& text) {
    bool whole = false;
    const int steps = text.trimmed().toInt(&whole);
    if (!whole)
        return std::nullopt;
    return steps / 256.0 + 5.0;
}
} // namespace

ReplayGainTags ReadReplayGain(const std::function<QString(const char*)>& tag) {
    ReplayGainTags tags{Number(tag("REPLAYGAIN_TRACK_GAIN")), Number(tag("REPLAYGAIN_TRACK_PEAK")),
                        Number(tag("REPLAYGAIN_ALBUM_GAIN")), Number(tag("REPLAYGAIN_ALBUM_PEAK"))};
    if (!tags.trackGain)
        tags.trackGain = R128(tag("R128_TRACK_GAIN"));
    if (!tags.albumGain)
        tags.albumGain = R128(tag("R128_ALBUM_GAIN"));
    return tags;
}

double GainFactor(const ReplayGainTags& tags, ReplayGainMode mode) {
    if (mode == ReplayGainMode::Off)
        return 1.0;
    const bool album = mode == ReplayGainMode::Album && tags.albumGain;
    const std::optional<double> gain = album ? tags.albumGain : tags.trackGain;
    const std::optional<double> peak = album ? tags.albumPeak : tags.trackPeak;
    if (!gain)
        return 1.0;
    double factor = std::pow(10.0, *gain / 20.0);
    if (peak && *peak > 0 && factor * *peak > 1.0)
        factor = 1.0 / *peak;
    return factor;
}

QString ModeName(ReplayGainMode mode) {
    switch (mode) {
    case ReplayGainMode::Track:
        return QStringLiteral("track");
    case ReplayGainMode::Album:
        return QStringLiteral("album");
    case ReplayGainMode::Off:
        break;
    }
    return QStringLiteral("off");
}

std::optional<ReplayGainMode> ModeNamed(const QString& name) {
    for (const auto mode : {ReplayGainMode::Off, ReplayGainMode::Track, ReplayGainMode::Album})
        if (ModeName(mode) == name)
            return mode;
    return std::nullopt;
}

} // namespace velune
