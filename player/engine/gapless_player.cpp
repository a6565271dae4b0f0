#include "gapless_player.h"

#include "audio_decoder.h"
#include "engine_log.h"
#include "pulse_output.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <atomic>
#include <chrono>
#include <cmath>
#include <malloc.h>

namespace velune {

namespace {
// How long a network source may stay silent before it counts as gone.
constexpr int kNetworkTimeoutMs = 10000;
// What the stream still holds when the last item is played out.
constexpr int kDrainAheadMs = 150;
// How often a playing engine looks at what is heard.
constexpr auto kServiceInterval = std::chrono::milliseconds(50);
// Channels beyond these are mixed down.
constexpr int kMaxChannels = 8;
} // namespace

QString FirstRamLocation(const QString& ramFile) {
    QFile file(ramFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    // A metafile is a few lines; a large file is not one.
    const QByteArray text = file.read(64 * 1024);
    for (const QByteArray& raw : text.split('\n')) {
        QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) ||
            line.startsWith(QLatin1String("--stop--")))
            continue;
        if (line.contains(QLatin1String("://")) || line.startsWith(QLatin1String("file:")))
            return line;
        return QFileInfo(line).isAbsolute() ? line
                                            : QFileInfo(ramFile).absoluteDir().filePath(line);
    }
    return {};
}

// One item as the engine thread holds it.
struct GaplessPlayer::Item {
    QString uri;
    AudioDecoder decoder;
    int rate = 0;
    int channels = 0;
    std::optional<int64_t> length; // in frames; known from the container or once decoded
    ReplayGainTags gains;
    float gain = 1.0f;
    TrackInfo info;
    int64_t streamStart = 0; // where in the stream its first written frame lies
    int64_t from = 0;        // which of its frames that is
    int64_t fed = 0;         // its frames written since
    bool decoded = false;    // the decoder has given all it has
    QString failure;         // why reading it stopped early
};

GaplessPlayer::GaplessPlayer()
    : out_(std::make_unique<PulseOutput>([this] { Wake(); })), thread_(&GaplessPlayer::Run, this) {}

GaplessPlayer::~GaplessPlayer() {
    stopping_ = true;
    Post([this] {
        out_->Close();
        behind_.reset();
        heard_.reset();
        out_.reset();
    });
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

// The engine thread ------------------------------------------------------------

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
        active = playing_ && !paused_;
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

void GaplessPlayer::Command(std::function<void(quint64 command)> task) {
    const quint64 command = ++commands_;
    Post([command, task = std::move(task)] { task(command); });
}

void GaplessPlayer::Settle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return tasks_.empty() && !busy_; });
}

std::unique_ptr<GaplessPlayer::Item> GaplessPlayer::OpenItem(const QString& uri, QString& error) {
    QString location = uri;
    if (QFileInfo(uri).suffix().compare(QLatin1String("ram"), Qt::CaseInsensitive) == 0) {
        location = FirstRamLocation(uri);
        if (location.isEmpty()) {
            error = QStringLiteral("the RAM file lists no location");
            return nullptr;
        }
    }
    auto item = std::make_unique<Item>();
    item->uri = uri;
    if (!item->decoder.Open(location, error, &stopping_, kNetworkTimeoutMs) ||
        !item->decoder.SetOutput(SampleLayout::Float, 0, kMaxChannels, error)) {
        qCWarning(lcEngine) << "cannot play" << location << error;
        return nullptr;
    }
    item->rate = item->decoder.OutputRate();
    item->channels = item->decoder.OutputChannels();
    item->length = item->decoder.DeclaredSamples();
    item->gains = ReadReplayGain([&item](const char* name) { return item->decoder.Tag(name); });
    item->gain = static_cast<float>(GainFactor(item->gains, gainMode_));
    item->info = {item->decoder.Tag("title"), item->decoder.Tag("artist"),
                  item->decoder.Tag("album")};
    // Probing a file takes buffers that are freed at once: give their pages back.
    malloc_trim(0);
    return item;
}

void GaplessPlayer::CloseStream() {
    out_->Close();
    playing_ = paused_ = switching_ = false;
    behind_.reset();
    pending_.clear();
    pendingAt_ = 0;
}

void GaplessPlayer::Load(quint64 command, const QString& uri) {
    CloseStream();
    command_ = command;
    ended_ = false;
    soundFailure_.clear();
    itemFailure_.clear();
    next_.clear();
    heard_ = OpenItem(uri, itemFailure_);
    Publish();
}

bool GaplessPlayer::OpenStream(Item& item, bool paused) {
    QString error;
    if (!out_->Open(item.rate, item.channels, volume_, mute_, error)) {
        qCWarning(lcEngine) << "no sound output:" << error;
        Finish(error);
        return false;
    }
    if (paused)
        out_->SetPaused(true);
    if (item.decoded || item.decoder.Position() != item.from) {
        item.decoder.Seek(item.from);
        item.decoded = false;
    }
    item.streamStart = 0;
    item.fed = 0;
    playing_ = true;
    paused_ = paused;
    return true;
}

void GaplessPlayer::Start(quint64 command) {
    command_ = command;
    if (!heard_) {
        ended_ = true;
        Publish(true);
        return;
    }
    if (playing_ && paused_) {
        out_->SetPaused(false);
        paused_ = false;
    } else if (!playing_) {
        ended_ = false;
        soundFailure_.clear();
        itemFailure_.clear();
        if (!OpenStream(*heard_, false))
            return;
    }
    Publish();
}

void GaplessPlayer::Halt(quint64 command) {
    CloseStream();
    command_ = command;
    ended_ = false;
    if (heard_) {
        heard_->from = 0;
        heard_->failure.clear();
    }
    Publish();
}

void GaplessPlayer::SeekTo(double fraction) {
    if (!heard_ || !heard_->length || ended_)
        return;
    const int64_t target = std::clamp<int64_t>(
        std::llround(fraction * static_cast<double>(*heard_->length)), 0, *heard_->length);
    const bool wasPlaying = playing_;
    const bool wasPaused = paused_;
    CloseStream();
    if (!heard_->decoder.Seek(target)) {
        qCWarning(lcEngine) << "cannot seek in" << heard_->uri;
        heard_->decoder.Seek(0);
        heard_->from = 0;
    } else {
        heard_->from = target;
    }
    heard_->decoded = false;
    if (wasPlaying)
        OpenStream(*heard_, wasPaused);
    Publish();
}

bool GaplessPlayer::Feed(Item& item, std::size_t& room) {
    if (pendingAt_ >= pending_.size()) {
        const uint8_t* const* data = nullptr;
        const int frames = item.decoder.Read(&data);
        if (frames <= 0) {
            item.decoded = true;
            if (frames < 0)
                item.failure = item.decoder.Error();
            if (!item.length || frames == 0)
                item.length = item.from + item.fed;
            return false;
        }
        const auto* samples = reinterpret_cast<const float*>(data[0]);
        const std::size_t count = static_cast<std::size_t>(frames) * item.channels;
        pending_.assign(samples, samples + count);
        if (item.gain != 1.0f)
            for (float& sample : pending_)
                sample *= item.gain;
        pendingAt_ = 0;
    }
    const std::size_t available = (pending_.size() - pendingAt_) / item.channels;
    const std::size_t frames = std::min(room, available);
    if (!out_->Write(pending_.data() + pendingAt_, frames))
        return false;
    pendingAt_ += frames * item.channels;
    room -= frames;
    item.fed += static_cast<int64_t>(frames);
    return true;
}

void GaplessPlayer::Service() {
    if (!playing_ || !heard_)
        return;
    if (const QString failure = out_->Failure(); !failure.isEmpty()) {
        Finish(failure);
        return;
    }
    if (!paused_ && !switching_) {
        std::size_t room = out_->Writable();
        while (room > 0) {
            Item& writer = behind_ ? *behind_ : *heard_;
            if (!writer.decoded) {
                Feed(writer, room);
                continue;
            }
            // What follows is named by the window once the item behind is heard.
            if (behind_ || next_.isEmpty())
                break;
            QString error;
            std::unique_ptr<Item> item = OpenItem(next_, error);
            next_.clear();
            if (!item)
                break; // the window moves on once this item has ended, and says why
            behind_ = std::move(item);
            if (behind_->rate == out_->Rate() && behind_->channels == out_->Channels()) {
                behind_->streamStart = out_->Written();
                continue;
            }
            // Another rate or channel count: the stream plays out, then opens anew.
            switching_ = true;
            out_->Drain();
            break;
        }
    }

    bool advanced = false;
    const int64_t heard = out_->Heard();
    if (switching_ && out_->Drained()) {
        heard_ = std::move(behind_);
        switching_ = false;
        if (!OpenStream(*heard_, false))
            return;
        advanced = true;
    } else if (behind_ && !switching_ && heard >= behind_->streamStart) {
        heard_ = std::move(behind_);
        advanced = true;
    }
    // The last item: once it is all written, the stream plays out what it holds.
    if (!behind_ && !switching_ && heard_->decoded && next_.isEmpty() &&
        pendingAt_ >= pending_.size()) {
        if ((out_->Written() - heard) * 1000 < static_cast<int64_t>(kDrainAheadMs) * heard_->rate)
            out_->Drain();
        if (out_->Drained()) {
            itemFailure_ = heard_->failure;
            Finish({});
            return;
        }
    }
    Publish(advanced);
}

void GaplessPlayer::Finish(const QString& soundFailure) {
    CloseStream();
    if (heard_) {
        heard_->from = 0; // Play starts it afresh
        heard_->failure.clear();
    }
    ended_ = true;
    soundFailure_ = soundFailure;
    Publish(true);
}

void GaplessPlayer::Publish(bool notify) {
    Report report;
    report.command = command_;
    if (!heard_)
        report.state = ended_ ? State::Ended : State::Idle;
    else if (ended_)
        report.state = State::Ended;
    else if (playing_)
        report.state = paused_ ? State::Paused : State::Playing;
    else
        report.state = State::Loaded;
    report.soundFailure = soundFailure_;
    report.itemFailure = itemFailure_;
    if (heard_) {
        const double rate = heard_->rate;
        if (heard_->length)
            report.length = static_cast<double>(*heard_->length) * 1000.0 / rate;
        const int64_t heard = playing_ ? out_->Heard() - heard_->streamStart : 0;
        report.time =
            static_cast<double>(heard_->from + std::max<int64_t>(0, heard)) * 1000.0 / rate;
        if (report.length >= 0)
            report.time = std::min(report.time, report.length);
        report.info = heard_->info;
    }
    {
        std::lock_guard lock(mutex_);
        if (command_ < report_.command)
            return;
        report.advances = std::move(report_.advances);
        if (notify && heard_ && playing_)
            report.advances.push_back(heard_->uri);
        report_ = std::move(report);
    }
    if (notify)
        QMetaObject::invokeMethod(this, &GaplessPlayer::changed, Qt::QueuedConnection);
}

// The window's side ------------------------------------------------------------

bool GaplessPlayer::setVolume(int volume) {
    if (volume < 0)
        return false;
    Post([this, volume] {
        volume_ = volume;
        out_->SetVolume(volume);
    });
    return true;
}

bool GaplessPlayer::setMute(bool mute) {
    Post([this, mute] {
        mute_ = mute;
        out_->SetMute(mute);
    });
    return true;
}

void GaplessPlayer::setReplayGain(ReplayGainMode mode) {
    Post([this, mode] {
        gainMode_ = mode;
        for (Item* item : {heard_.get(), behind_.get()})
            if (item)
                item->gain = static_cast<float>(GainFactor(item->gains, mode));
    });
}

bool GaplessPlayer::playlistAdd(const QString& uri) {
    if (uri.isEmpty())
        return false;
    phase_ = Phase::Loaded;
    Command([this, uri](quint64 command) { Load(command, uri); });
    return true;
}

void GaplessPlayer::setNext(const QString& uri) {
    Post([this, uri] {
        // An item already written behind the heard one stays: it is as good as heard.
        if (!behind_)
            next_ = uri;
    });
}

bool GaplessPlayer::play() {
    if (phase_ == Phase::Empty)
        return false;
    phase_ = Phase::Playing;
    Command([this](quint64 command) { Start(command); });
    return true;
}

bool GaplessPlayer::stop() {
    if (phase_ != Phase::Empty)
        phase_ = Phase::Loaded;
    Command([this](quint64 command) { Halt(command); });
    return true;
}

bool GaplessPlayer::itemsClear() {
    phase_ = Phase::Empty;
    Command([this](quint64 command) {
        CloseStream();
        heard_.reset();
        next_.clear();
        command_ = command;
        ended_ = false;
        soundFailure_.clear();
        itemFailure_.clear();
        Publish();
    });
    return true;
}

bool GaplessPlayer::togglePause() {
    if (phase_ != Phase::Playing && phase_ != Phase::Paused)
        return false;
    const bool pause = phase_ == Phase::Playing;
    phase_ = pause ? Phase::Paused : Phase::Playing;
    Post([this, pause] {
        if (!playing_)
            return;
        paused_ = pause;
        out_->SetPaused(pause);
        Publish();
    });
    return true;
}

bool GaplessPlayer::Current() const {
    return report_.command == commands_;
}

bool GaplessPlayer::isPlaying() const {
    return phase_ == Phase::Playing && !Ended();
}

bool GaplessPlayer::Ended() const {
    if (phase_ != Phase::Playing && phase_ != Phase::Paused)
        return false;
    std::lock_guard lock(mutex_);
    return Current() && report_.state == State::Ended;
}

QString GaplessPlayer::SoundFailure() const {
    std::lock_guard lock(mutex_);
    return Current() && report_.state == State::Ended ? report_.soundFailure : QString();
}

QString GaplessPlayer::ItemFailure() const {
    std::lock_guard lock(mutex_);
    return Current() && report_.state == State::Ended ? report_.itemFailure : QString();
}

TrackInfo GaplessPlayer::Info() const {
    std::lock_guard lock(mutex_);
    return Current() ? report_.info : TrackInfo{};
}

std::optional<QString> GaplessPlayer::TakeAdvance() {
    std::lock_guard lock(mutex_);
    if (!Current() || report_.advances.empty())
        return std::nullopt;
    QString uri = std::move(report_.advances.front());
    report_.advances.pop_front();
    return uri;
}

std::optional<double> GaplessPlayer::Read(double Report::*field) const {
    if (phase_ != Phase::Playing && phase_ != Phase::Paused)
        return std::nullopt;
    std::lock_guard lock(mutex_);
    const bool input = report_.state == State::Playing || report_.state == State::Paused;
    if (!Current() || !input || report_.*field < 0)
        return std::nullopt;
    return report_.*field;
}

std::optional<double> GaplessPlayer::inputLength() const {
    return Read(&Report::length);
}

std::optional<double> GaplessPlayer::inputTime() const {
    return Read(&Report::time);
}

std::optional<double> GaplessPlayer::inputPosition() const {
    const auto length = inputLength();
    const auto time = inputTime();
    if (!length || !time || *length <= 0)
        return std::nullopt;
    return std::clamp(*time / *length, 0.0, 1.0);
}

bool GaplessPlayer::setInputPosition(double position) {
    if ((phase_ != Phase::Playing && phase_ != Phase::Paused) || !(position >= 0 && position <= 1))
        return false;
    Post([this, position] { SeekTo(position); });
    return true;
}

} // namespace velune
