#pragma once

#include <QString>
#include <functional>
#include <optional>

namespace velune {

// Which loudness correction the player applies.
enum class ReplayGainMode { Off, Track, Album };

// The loudness tags of one file: gains in dB for the −18 LUFS reference, peaks as
// sample amplitudes (1 is full scale).
struct ReplayGainTags {
    std::optional<double> trackGain;
    std::optional<double> trackPeak;
    std::optional<double> albumGain;
    std::optional<double> albumPeak;
};

// Reads REPLAYGAIN_TRACK_GAIN/PEAK and REPLAYGAIN_ALBUM_GAIN/PEAK ("-6.53 dB"), or
// an Opus file's R128_TRACK_GAIN/R128_ALBUM_GAIN (Q7.8 dB for −23 LUFS), through
// `tag`, which gives a tag's text or "".
ReplayGainTags ReadReplayGain(const std::function<QString(const char*)>& tag);

// The factor to multiply the samples by: 1 when off or untagged. Album mode takes
// the album gain where there is one, else the track gain. The factor is lowered
// where the peak would go past full scale.
double GainFactor(const ReplayGainTags& tags, ReplayGainMode mode);

// "off", "track", "album"; and back (none for any other text).
QString ModeName(ReplayGainMode mode);
std::optional<ReplayGainMode> ModeNamed(const QString& name);

} // namespace velune
