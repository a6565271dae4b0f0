#include "loudness.h"

#include <algorithm>
#include <cmath>
#include <ebur128.h>

namespace velune {

struct LoudnessMeter::State {
    ebur128_state* meter = nullptr;
    ~State() {
        if (meter)
            ebur128_destroy(&meter);
    }
};

LoudnessMeter::LoudnessMeter(int channels, int rate)
    : state_(std::make_unique<State>()), channels_(channels) {
    state_->meter = ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(rate),
                                 EBUR128_MODE_I | EBUR128_MODE_SAMPLE_PEAK);
}

LoudnessMeter::~LoudnessMeter() = default;

void LoudnessMeter::Add(const uint8_t* const* data, SampleLayout layout, int frames) {
    if (!state_->meter || frames <= 0)
        return;
    const auto count = static_cast<std::size_t>(frames);
    switch (layout) {
    case SampleLayout::S16:
        ebur128_add_frames_short(state_->meter, reinterpret_cast<const short*>(data[0]), count);
        break;
    case SampleLayout::S32:
        ebur128_add_frames_int(state_->meter, reinterpret_cast<const int*>(data[0]), count);
        break;
    case SampleLayout::Float:
        ebur128_add_frames_float(state_->meter, reinterpret_cast<const float*>(data[0]), count);
        break;
    case SampleLayout::FloatPlanar:
        interleaved_.resize(count * static_cast<std::size_t>(channels_));
        for (int c = 0; c < channels_; ++c) {
            const auto* plane = reinterpret_cast<const float*>(data[c]);
            for (std::size_t i = 0; i < count; ++i)
                interleaved_[i * static_cast<std::size_t>(channels_) + c] = plane[i];
        }
        ebur128_add_frames_float(state_->meter, interleaved_.data(), count);
        break;
    }
}

double LoudnessMeter::Loudness() const {
    double loudness = -HUGE_VAL;
    if (state_->meter)
        ebur128_loudness_global(state_->meter, &loudness);
    return loudness;
}

double LoudnessMeter::Peak() const {
    double peak = 0;
    for (int c = 0; state_->meter && c < channels_; ++c) {
        double channel = 0;
        if (ebur128_sample_peak(state_->meter, static_cast<unsigned>(c), &channel) ==
            EBUR128_SUCCESS)
            peak = std::max(peak, channel);
    }
    return peak;
}

std::pair<double, double> LoudnessMeter::Together(const std::vector<const LoudnessMeter*>& meters) {
    std::vector<ebur128_state*> states;
    double peak = 0;
    for (const LoudnessMeter* meter : meters) {
        if (!meter->state_->meter)
            continue;
        states.push_back(meter->state_->meter);
        peak = std::max(peak, meter->Peak());
    }
    double loudness = -HUGE_VAL;
    if (!states.empty())
        ebur128_loudness_global_multiple(states.data(), states.size(), &loudness);
    return {loudness, peak};
}

std::vector<std::pair<QString, QString>> ReplayGainTagsFor(bool opus, const QString& scope,
                                                           double loudness, double peak) {
    if (!std::isfinite(loudness)) // silence has no loudness to correct
        return {};
    if (opus)
        return {{QStringLiteral("R128_%1_GAIN").arg(scope),
                 QString::number(static_cast<int>(std::lround((-23.0 - loudness) * 256.0)))}};
    return {{QStringLiteral("REPLAYGAIN_%1_GAIN").arg(scope),
             QString::asprintf("%.2f dB", -18.0 - loudness)},
            {QStringLiteral("REPLAYGAIN_%1_PEAK").arg(scope), QString::asprintf("%.6f", peak)}};
}

} // namespace velune
