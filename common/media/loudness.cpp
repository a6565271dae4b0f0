#include "loudness.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <ebur128.h>
#include <mutex>
#include <thread>

namespace velune {

// libebur128's state, fed on a thread of its own with copies of the samples: the
// caller (an encoder) only copies them.
struct LoudnessMeter::State {
    State(int channels, int rate, bool truePeak) : channels(channels) {
        meter = ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(rate),
                             EBUR128_MODE_I |
                                 (truePeak ? EBUR128_MODE_TRUE_PEAK : EBUR128_MODE_SAMPLE_PEAK));
        this->truePeak = truePeak;
        if (meter)
            worker = std::thread([this] { Run(); });
    }
    ~State() {
        Finish();
        if (meter)
            ebur128_destroy(&meter);
    }

    // Takes interleaved samples, handed over some 64 000 at a time; waits while the
    // thread is far behind.
    void Add(const float* samples, std::size_t count) {
        pending.insert(pending.end(), samples, samples + count);
        if (pending.size() >= 65536)
            HandOver();
    }
    void HandOver() {
        if (pending.empty())
            return;
        std::unique_lock lock(mutex);
        room.wait(lock, [this] { return blocks.size() < 16; });
        blocks.push_back(std::exchange(pending, {}));
        ready.notify_one();
    }
    // Every sample given has been measured.
    void Finish() {
        if (done)
            return;
        HandOver();
        {
            const std::lock_guard lock(mutex);
            done = true;
            ready.notify_one();
        }
        if (worker.joinable())
            worker.join();
    }
    void Run() {
        for (;;) {
            std::vector<float> block;
            {
                std::unique_lock lock(mutex);
                ready.wait(lock, [this] { return done || !blocks.empty(); });
                if (blocks.empty())
                    return;
                block = std::move(blocks.front());
                blocks.pop_front();
                room.notify_one();
            }
            ebur128_add_frames_float(meter, block.data(),
                                     block.size() / static_cast<std::size_t>(channels));
        }
    }

    ebur128_state* meter = nullptr;
    int channels;
    bool truePeak = false;
    std::mutex mutex;
    std::condition_variable ready, room;
    std::deque<std::vector<float>> blocks;
    std::vector<float> pending; // the caller's, until handed over
    bool done = false;
    std::thread worker;
};

LoudnessMeter::LoudnessMeter(int channels, int rate, bool truePeak)
    : state_(std::make_unique<State>(channels, rate, truePeak)), channels_(channels) {}

LoudnessMeter::~LoudnessMeter() = default;

void LoudnessMeter::Add(const uint8_t* const* data, SampleLayout layout, int frames) {
    if (!state_->meter || frames <= 0)
        return;
    const std::size_t count =
        static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels_);
    std::vector<float>& block = interleaved_;
    block.resize(count);
    switch (layout) {
    case SampleLayout::S16: {
        const auto* samples = reinterpret_cast<const short*>(data[0]);
        for (std::size_t i = 0; i < count; ++i)
            block[i] = static_cast<float>(samples[i]) * (1.0f / 32768.0f);
        break;
    }
    case SampleLayout::S32: {
        const auto* samples = reinterpret_cast<const int*>(data[0]);
        for (std::size_t i = 0; i < count; ++i)
            block[i] = static_cast<float>(samples[i] * (1.0 / 2147483648.0));
        break;
    }
    case SampleLayout::Float: {
        state_->Add(reinterpret_cast<const float*>(data[0]), count);
        return;
    }
    case SampleLayout::FloatPlanar:
        for (int c = 0; c < channels_; ++c) {
            const auto* plane = reinterpret_cast<const float*>(data[c]);
            for (std::size_t i = 0; i < static_cast<std::size_t>(frames); ++i)
                block[i * static_cast<std::size_t>(channels_) + c] = plane[i];
        }
        break;
    }
    state_->Add(block.data(), count);
}

double LoudnessMeter::Loudness() const {
    state_->Finish();
    double loudness = -HUGE_VAL;
    if (state_->meter)
        ebur128_loudness_global(state_->meter, &loudness);
    return loudness;
}

double LoudnessMeter::Peak() const {
    state_->Finish();
    double peak = 0;
    for (int c = 0; state_->meter && c < channels_; ++c) {
        double channel = 0;
        const auto status =
            state_->truePeak
                ? ebur128_true_peak(state_->meter, static_cast<unsigned>(c), &channel)
                : ebur128_sample_peak(state_->meter, static_cast<unsigned>(c), &channel);
        if (status == EBUR128_SUCCESS)
            peak = std::max(peak, channel);
    }
    return peak;
}

std::pair<double, double> LoudnessMeter::Together(const std::vector<const LoudnessMeter*>& meters) {
    std::vector<ebur128_state*> states;
    double peak = 0;
    for (const LoudnessMeter* meter : meters) {
        meter->state_->Finish();
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
                                                           double loudness, double peak,
                                                           bool preventClipping) {
    if (!std::isfinite(loudness)) // silence has no loudness to correct
        return {};
    // The gain that keeps the peak at -1 dB; none for silence.
    const double ceiling = peak > 0 ? -1.0 - 20.0 * std::log10(peak) : HUGE_VAL;
    const auto limited = [&](double gain) {
        return preventClipping ? std::min(gain, ceiling) : gain;
    };
    if (opus)
        return {
            {QStringLiteral("R128_%1_GAIN").arg(scope),
             QString::number(static_cast<int>(std::lround(limited(-23.0 - loudness) * 256.0)))}};
    return {{QStringLiteral("REPLAYGAIN_%1_GAIN").arg(scope),
             QString::asprintf("%.2f dB", limited(-18.0 - loudness))},
            {QStringLiteral("REPLAYGAIN_%1_PEAK").arg(scope), QString::asprintf("%.6f", peak)}};
}

} // namespace velune
