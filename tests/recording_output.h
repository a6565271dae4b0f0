#pragma once

// A sound output that plays in real time into nothing and counts how many streams
// were open at once.

#include "sound_output.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <utility>

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
    void Close() override { openStreams -= std::exchange(open_, false) ? 1 : 0; }
    bool IsOpen() const override { return open_; }
    const StreamFormat& Format() const override { return format_; }
    std::size_t Writable() override {
        const int64_t ahead = static_cast<int64_t>(format_.rate) * kAheadMs / 1000;
        const int64_t room = std::max<int64_t>(0, ahead - (written_ - Heard()));
        return !open_ || draining_ ? 0 : static_cast<std::size_t>(room);
    }
    bool Write(const float*, std::size_t frames) override {
        if (!open_ || draining_)
            return false;
        written_ += static_cast<int64_t>(frames);
        // Like a server's prebuffer: it starts once it holds enough.
        if (!started_ && written_ * 1000 >= static_cast<int64_t>(format_.rate) * kAheadMs / 2)
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
    void SetPaused(bool paused) override { paused_ = (Heard(), paused); }
    void Start() override { started_ = (Heard(), true); }
    void Drain() override { draining_ = (Start(), true); }
    bool Draining() const override { return draining_; }
    bool Drained() override { return draining_ && Heard() == written_; }
    void SetLevel(MixerLevel) override {}
    std::optional<MixerLevel> MixerChange() override { return std::nullopt; }
    QString Failure() override { return {}; }

    // Read by the test's thread while the engine's writes.
    static inline std::atomic<int> openStreams{0};
    static inline std::atomic<int> maxOpen{0};

private:
    bool open_ = false, paused_ = false, draining_ = false, started_ = false;
    StreamFormat format_;
    int64_t written_ = 0, heard_ = 0;
    Clock::time_point at_ = Clock::now();
};

} // namespace velune::test
