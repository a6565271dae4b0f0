// The window's side of the player engine, and the engine thread's loop.
#include "gapless_player.h"

#include "engine_item.h"
#include "pulse_output.h"

#include <QMetaObject>
#include <algorithm>
#include <chrono>

namespace velune {

namespace {
// How often a playing engine looks at what is heard.
constexpr auto kServiceInterval = std::chrono::milliseconds(100);
// How long a quit waits for readers on the network to end.
constexpr auto kRetiredWait = std::chrono::milliseconds(50);
} // namespace

GaplessPlayer::GaplessPlayer(const OutputMaker& makeOutput) {
    const auto wake = [this] { Wake(); };
    out_ = makeOutput ? makeOutput(wake) : std::make_unique<PulseOutput>(wake);
    thread_ = std::thread(&GaplessPlayer::Run, this);
}

GaplessPlayer::~GaplessPlayer() {
    // Whatever the engine waits on gives up now.
    stopping_ = true;
    Post([this] {
        behind_.reset();
        heard_.reset();
        // Each was told to give up and ends at its next step, but for one held up where
        // it cannot be cut short (a name lookup, a stalled share): that one is let go.
        const auto deadline = std::chrono::steady_clock::now() + kRetiredWait;
        for (const auto& reader : retired_)
            reader->Finish(deadline);
        retired_.clear();
        out_.reset();
    });
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void GaplessPlayer::Run() {
    std::unique_lock lock(mutex_);
    bool active = false;
    for (;;) {
        const auto ready = [this] { return quit_ || !tasks_.empty() || poked_; };
        if (active)
            wake_.wait_for(lock, kServiceInterval, ready);
        else
            wake_.wait(lock, ready);
        poked_ = false;
        while (!tasks_.empty()) {
            std::function<void()> task = std::move(tasks_.front());
            tasks_.pop_front();
            busy_ = true;
            lock.unlock();
            task();
            lock.lock();
        }
        if (quit_ && !out_)
            return;
        lock.unlock();
        if (out_)
            Service();
        active = IsRunning(state_);
        lock.lock();
        busy_ = false;
        if (tasks_.empty())
            idle_.notify_all();
    }
}

void GaplessPlayer::Wake() {
    {
        std::lock_guard lock(mutex_);
        poked_ = true;
    }
    wake_.notify_one();
}

void GaplessPlayer::Post(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

void GaplessPlayer::Command(PlaybackEvent event, std::function<void()> task) {
    commanded_ = Transition(state(), event);
    const quint64 command = ++commands_;
    latest_ = command;
    Post([this, command, task = std::move(task)] {
        command_ = command;
        task();
        Publish();
    });
}

bool GaplessPlayer::Superseded() const {
    return stopping_ || latest_ > command_;
}

void GaplessPlayer::Settle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return tasks_.empty() && !busy_; });
}

// The window's side ------------------------------------------------------------

bool GaplessPlayer::setVolume(int volume) {
    if (volume < 0)
        return false;
    Post([this, volume] {
        level_.percent = volume;
        out_->SetLevel(level_);
    });
    return true;
}

bool GaplessPlayer::setMute(bool mute) {
    Post([this, mute] {
        level_.muted = mute;
        out_->SetLevel(level_);
    });
    return true;
}

std::optional<std::pair<int, bool>> GaplessPlayer::TakeMixerChange() {
    std::lock_guard lock(mutex_);
    const auto level = std::exchange(report_.mixer, std::nullopt);
    if (!level)
        return std::nullopt;
    return std::pair{level->percent, level->muted};
}

void GaplessPlayer::setReplayGain(ReplayGainMode mode) {
    Post([this, mode] {
        gainMode_ = mode;
        for (Item* item : {heard_.get(), behind_.get()})
            if (item)
                item->gain.reset(); // taken anew from its tags before its next samples
    });
}

bool GaplessPlayer::playlistAdd(const QString& uri) {
    if (uri.isEmpty())
        return false;
    hasItem_ = true;
    ++loads_;
    ++timeBase_;
    Command(PlaybackEvent::Load, [this, uri] { Load(uri); });
    return true;
}

bool GaplessPlayer::itemsClear() {
    hasItem_ = false;
    ++loads_;
    ++timeBase_;
    Command(PlaybackEvent::Clear, [this] { Clear(); });
    return true;
}

void GaplessPlayer::setNext(const QString& uri) {
    Post([this, uri] {
        // What was named before and is not heard yet goes, even when it was opened or
        // written behind the heard item already.
        if (behind_ && behind_->uri != uri)
            DropBehind();
        next_ = behind_ ? QString() : uri;
        // Named while the last item plays out: joined while the stream still takes
        // samples, else switched to once it has played out.
        if (!next_.isEmpty())
            Move(PlaybackEvent::NextNamed);
        Publish();
    });
}

bool GaplessPlayer::play() {
    if (!hasItem_)
        return false;
    if (!HasInput(state()) || LiveHeard())
        ++timeBase_; // starts afresh; a live stream is joined anew
    Command(PlaybackEvent::Play, [this] { Start(); });
    return true;
}

bool GaplessPlayer::pause() {
    if (!IsRunning(state()))
        return false;
    Command(PlaybackEvent::Pause, [this] { Pause(); });
    return true;
}

bool GaplessPlayer::resume() {
    if (!IsPaused(state()))
        return false;
    if (LiveHeard())
        ++timeBase_; // joined anew, where the stream is now
    Command(PlaybackEvent::Resume, [this] {
        if (!IsPaused(state_))
            return;
        if (heard_ && heard_->reader->Live())
            Rejoin();
        Move(PlaybackEvent::Resume);
        TryStart();
    });
    return true;
}

bool GaplessPlayer::LiveHeard() const {
    std::lock_guard lock(mutex_);
    return report_.state != PlaybackState::Idle && report_.length < 0 && report_.time >= 0;
}

bool GaplessPlayer::stop() {
    ++timeBase_;
    Command(PlaybackEvent::Stop, [this] { Halt(); });
    return true;
}

bool GaplessPlayer::setInputPosition(double position) {
    if (!HasInput(state()) || !(position >= 0 && position <= 1))
        return false;
    {
        std::lock_guard lock(mutex_);
        seek_ = position; // seeks not yet carried out fold into this one
    }
    ++timeBase_;
    Command(PlaybackEvent::Seek, [this] { SeekTo(); });
    return true;
}

bool GaplessPlayer::Current() const {
    return report_.command == commands_;
}

PlaybackState GaplessPlayer::state() const {
    std::lock_guard lock(mutex_);
    return Current() ? report_.state : commanded_;
}

QString GaplessPlayer::SoundFailure() const {
    std::lock_guard lock(mutex_);
    return Current() && report_.state == PlaybackState::Failed ? report_.soundFailure : QString();
}

ItemFailure GaplessPlayer::ItemFailed() const {
    std::lock_guard lock(mutex_);
    return Current() && report_.state == PlaybackState::Ended ? report_.itemFailure : ItemFailure{};
}

TrackInfo GaplessPlayer::Info() const {
    std::lock_guard lock(mutex_);
    return Current() ? report_.info : TrackInfo{};
}

namespace {
// The oldest news of the window's last load: news from before it is stale.
template <typename T>
std::optional<T> TakeFresh(std::deque<std::pair<quint64, T>>& news, quint64 load) {
    while (!news.empty() && news.front().first < load)
        news.pop_front();
    if (news.empty())
        return std::nullopt;
    T item = std::move(news.front().second);
    news.pop_front();
    return item;
}
} // namespace

std::optional<QString> GaplessPlayer::TakeAdvance() {
    std::lock_guard lock(mutex_);
    return TakeFresh(report_.advances, loads_);
}

std::optional<SkippedItem> GaplessPlayer::TakeSkipped() {
    std::lock_guard lock(mutex_);
    return TakeFresh(report_.skipped, loads_);
}

std::optional<double> GaplessPlayer::Read(double Report::*field) const {
    std::lock_guard lock(mutex_);
    if (!Current() || !HasInput(report_.state) || report_.*field < 0)
        return std::nullopt;
    return report_.*field;
}

std::optional<double> GaplessPlayer::inputLength() const {
    return Read(&Report::length);
}

std::optional<double> GaplessPlayer::inputTime() const {
    std::lock_guard lock(mutex_);
    if (!Current() || !HasInput(report_.state) || report_.time < 0)
        return std::nullopt;
    double time = report_.time;
    if (report_.state == PlaybackState::Playing) {
        // What was heard then, and what has been heard since.
        const double since =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - report_.at)
                .count();
        time += std::min(since, 100.0);
        if (report_.length >= 0)
            time = std::min(time, report_.length);
    }
    const std::pair<quint64, quint64> base{timeBase_, report_.heardItems};
    if (base == shownFor_)
        time = std::max(time, shownTime_);
    shownFor_ = base;
    shownTime_ = time;
    return time;
}

std::optional<double> GaplessPlayer::inputPosition() const {
    const auto length = inputLength();
    const auto time = inputTime();
    if (!length || !time || *length <= 0)
        return std::nullopt;
    return std::clamp(*time / *length, 0.0, 1.0);
}

} // namespace velune
