#pragma once

#include "audio_decoder.h"

#include <QString>
#include <memory>
#include <utility>
#include <vector>

namespace velune {

// Measures loudness as EBU R128 does (libebur128): integrated loudness and the peak
// of the samples it is given, for ReplayGain 2.0 tags. The peak is the highest
// sample, or with `truePeak` the true peak (4 times oversampled below 96 kHz), as
// loudgain measures it. The measuring (the true peak alone costs a quarter of an
// encoding's time) runs on a thread of its own: the caller only copies the samples.
class LoudnessMeter {
public:
    LoudnessMeter(int channels, int rate, bool truePeak = false);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    // Samples in the layout given (planes for a planar one).
    void Add(const uint8_t* const* data, SampleLayout layout, int frames);
    // Integrated loudness in LUFS, and the peak (1 is full scale). Each waits for
    // the measuring thread; nothing may be added after.
    double Loudness() const;
    double Peak() const;
    // The loudness and peak of several measurements as one (an album).
    static std::pair<double, double> Together(const std::vector<const LoudnessMeter*>& meters);

private:
    struct State; // libebur128's, and the thread that feeds it
    std::unique_ptr<State> state_;
    int channels_;
    std::vector<float> interleaved_;
};

// The ReplayGain tags for a loudness and peak, as `format`'s files keep them: Opus
// R128_<scope>_GAIN (Q7.8 dB for −23 LUFS), others REPLAYGAIN_<scope>_GAIN ("-6.53 dB",
// for −18 LUFS) and _PEAK. `scope` is "TRACK" or "ALBUM".
// With `preventClipping` the gain is lowered so that the peak stays at or below
// -1 dBFS (dBTP for a true peak).
std::vector<std::pair<QString, QString>> ReplayGainTagsFor(bool opus, const QString& scope,
                                                           double loudness, double peak,
                                                           bool preventClipping = false);

} // namespace velune
