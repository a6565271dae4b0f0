#pragma once

// Plays in real time into nothing, counting streams open and frames heard; like a server,
// it takes nothing once told to play out, and a held stream waits for its prebuffer again.

#include "sound_output.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <tuple>
#include <vector>

namespace velune::test {

class RecordingOutput : public SoundOutput {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kAheadMs = 200;

    ~RecordingOutput() override { Close(); }
    int MaxRate() const override { return 384000; }
    bool Open(const StreamFormat& format, MixerLevel, const std::function<bool()>&,
              QString& error) override {
        Close();
        if (format.rate <= 0 || format.channels() <= 0 || format.channels() > 8) {
            error = QStringLiteral("no such format");
            return false;
        }
        open_ = true;
        maxOpen = std::max(++openStreams, maxOpen.load());
        format_ = format;
        written_ = heard_ = 0;
        paused_ = draining_ = started_ = false;
        return true;
    }
    void Close() override {
        if (!open_)
            return;
        --openStreams;
        open_ = false;
        std::lock_guard lock(heardMutex);
        heardStreams.push_back({format_.rate, format_.channels(), Heard()});
    }
    bool IsOpen() const override { return open_; }
    const StreamFormat& Format() const override { return format_; }
    std::size_t Writable() override {
        if (!open_ || draining_)
            return 0;
        const int64_t ahead = static_cast<int64_t>(format_.rate) * kAheadMs / 1000;
        return static_cast<std::size_t>(std::max<int64_t>(0, ahead - (written_ - Heard())));
    }
    bool Write(const float*, std::size_t frames) override {
        if (!open_ || draining_)
            return false;
        written_ += static_cast<int64_t>(frames);
        // Like a server's prebuffer: it starts once it holds enough.
        if (!started_ &&
            (written_ - heard_) * 1000 >= static_cast<int64_t>(format_.rate) * kAheadMs / 2)
            Start();
        return true;
    }
    int64_t Written() const override { return written_; }
    int64_t Heard() override {
        const auto now = Clock::now();
        if (started_ && !paused_) {
            const double seconds = std::chrono::duration<double>(now - at_).count();
            heard_ = std::min(written_, heard_ + static_cast<int64_t>(seconds * format_.rate));
        }
        at_ = now;
        return heard_;
    }
    void SetPaused(bool paused) override {
        Heard();
        paused_ = paused;
        started_ = started_ && !paused; // held, it waits for its prebuffer again
    }
    void Start() override {
        Heard();
        started_ = true;
    }
    void Drain() override {
        Start();
        draining_ = true;
    }
    bool Drained() override { return draining_ && Heard() == written_; }
    void SetLevel(MixerLevel) override {}
    std::optional<MixerLevel> MixerChange() override { return std::nullopt; }
    QString Failure() override { return {}; }

    // Read by the test's thread while the engine's writes.
    static inline std::atomic<int> openStreams{0};
    static inline std::atomic<int> maxOpen{0};
    // Each stream closed: its rate, channels and frames heard.
    using Stream = std::tuple<int, int, int64_t>;
    static inline std::mutex heardMutex;
    static inline std::vector<Stream> heardStreams; // guarded by heardMutex

private:
    bool open_ = false;
    StreamFormat format_;
    int64_t written_ = 0;
    int64_t heard_ = 0;
    bool paused_ = false;
    bool draining_ = false;
    bool started_ = false;
    Clock::time_point at_ = Clock::now();
};

} // namespace velune::test
