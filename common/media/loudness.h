#pragma once

#include "audio_decoder.h"

#include <QString>
#include <memory>
#include <utility>
#include <vector>

namespace velune {

// Measures loudness as EBU R128 does (libebur128): integrated loudness and sample
// peak of the samples it is given, for ReplayGain 2.0 tags. (libebur128's true peak
// would make a conversion a quarter slower; the gain does not depend on it.)
class LoudnessMeter {
public:
    LoudnessMeter(int channels, int rate);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    // Samples in the layout given (planes for a planar one).
    void Add(const uint8_t* const* data, SampleLayout layout, int frames);
    // Integrated loudness in LUFS, and the highest sample (1 is full scale).
    double Loudness() const;
    double Peak() const;
    // The loudness and peak of several measurements as one (an album).
    static std::pair<double, double> Together(const std::vector<const LoudnessMeter*>& meters);

private:
    struct State; // libebur128's
    std::unique_ptr<State> state_;
    int channels_;
    std::vector<float> interleaved_;
};

// The ReplayGain tags for a loudness and peak, as `format`'s files keep them: Opus
// R128_<scope>_GAIN (Q7.8 dB for −23 LUFS), others REPLAYGAIN_<scope>_GAIN ("-6.53 dB",
// for −18 LUFS) and _PEAK. `scope` is "TRACK" or "ALBUM".
std::vector<std::pair<QString, QString>> ReplayGainTagsFor(bool opus, const QString& scope,
                                                           double loudness, double peak);

} // namespace velune
