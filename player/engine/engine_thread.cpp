// The player engine's own thread: its commands, and the stream it writes.
#include "engine_item.h"
#include "engine_log.h"

#include <QMetaObject>
#include <cmath>

namespace velune {

namespace {
// What the stream still holds when the last item is played out.
constexpr int kDrainAheadMs = 150;
// How long a source may give nothing before the stream counts as held up.
constexpr int kStallMs = 1000;
// The most frames written in one go.
constexpr std::size_t kWriteFrames = 4096;

StreamFormat FormatOf(const ItemReader& reader) {
    const ItemReader::Facts facts = reader.facts();
    return {facts.rate, facts.speakers};
}
} // namespace

std::unique_ptr<GaplessPlayer::Item> GaplessPlayer::NewItem(const QString& uri) {
    return std::make_unique<Item>(uri, ItemReader::Start(uri, out_->MaxRate(), [this] { Wake(); }),
                                  retired_);
}

void GaplessPlayer::Move(PlaybackEvent event) {
    const PlaybackState before = state_;
    state_ = Transition(state_, event);
    if (state_ == before)
        return;
    qCDebug(lcEngine) << EventName(event) << ":" << StateName(before) << "->" << StateName(state_);
    news_ = true;
    // The stream does what the state says: it holds while paused, and plays out what
    // it holds once nothing more joins it.
    if (IsPaused(state_) != IsPaused(before)) {
        out_->SetPaused(IsPaused(state_));
        if (!IsPaused(state_))
            out_->Start(); // however little it holds: a held stream waits for more, as a new one
    }
    if (PlaysOut(state_) && !PlaysOut(before))
        out_->Drain();
}

void GaplessPlayer::CloseStream() {
    out_->Close();
    for (Item* item : {heard_.get(), behind_.get()})
        if (item)
            item->inStream = false;
    // Whatever was written of the item behind goes with the stream: it is written again.
    if (behind_ && behind_->fed > 0) {
        behind_->reader->Seek(0);
        behind_->fed = 0;
    }
}

void GaplessPlayer::Load(const QString& uri) {
    CloseStream();
    waitingSeek_.reset();
    behind_.reset();
    next_.clear();
    ++load_;
    soundFailure_.clear();
    itemFailure_ = {};
    heard_ = NewItem(uri);
    Move(PlaybackEvent::Load);
}

void GaplessPlayer::Clear() {
    CloseStream();
    waitingSeek_.reset();
    behind_.reset();
    heard_.reset();
    next_.clear();
    ++load_;
    soundFailure_.clear();
    itemFailure_ = {};
    Move(PlaybackEvent::Clear);
}

void GaplessPlayer::Rejoin() {
    CloseStream();
    behind_.reset();
    heard_ = NewItem(heard_->uri);
}

void GaplessPlayer::Start() {
    const PlaybackState before = state_;
    if (IsPaused(before)) {
        if (heard_ && heard_->reader->Live())
            Rejoin();
        Move(PlaybackEvent::Play);
        TryStart();
        return;
    }
    if (IsRunning(before))
        return;
    CloseStream();
    soundFailure_.clear();
    itemFailure_ = {};
    // Played out or failed before: opened afresh (the file may be back, or changed).
    if (heard_ && (before != PlaybackState::Idle || heard_->Failed() || heard_->reader->Live()))
        heard_ = NewItem(heard_->uri);
    if (heard_)
        heard_->from = heard_->reader->Position();
    Move(PlaybackEvent::Play);
    TryStart();
}

void GaplessPlayer::Pause() {
    Move(PlaybackEvent::Pause);
    // A live stream is not held open meanwhile: it is joined anew on resuming.
    if (heard_ && heard_->reader->Live())
        heard_->reader->Cancel();
}

void GaplessPlayer::Halt() {
    CloseStream();
    waitingSeek_.reset();
    if (heard_ && heard_->reader->Live())
        heard_->reader->Cancel(); // joined anew when played again
    if (heard_ && heard_->Ready()) {
        heard_->reader->Seek(0);
        heard_->from = 0;
    }
    soundFailure_.clear();
    itemFailure_ = {};
    Move(PlaybackEvent::Stop);
}

void GaplessPlayer::SeekTo() {
    std::optional<double> fraction;
    {
        std::lock_guard lock(mutex_);
        fraction = std::exchange(seek_, std::nullopt);
    }
    if (!fraction || !heard_ || heard_->Failed() || !HasInput(state_))
        return; // folded into a later one, or nothing to seek in
    if (!heard_->Ready()) {
        waitingSeek_ = fraction; // carried out once the item has opened
        return;
    }
    const auto length = heard_->reader->facts().length;
    if (!length)
        return;
    const int64_t target =
        std::clamp<int64_t>(std::llround(*fraction * static_cast<double>(*length)), 0, *length);
    // The stream starts again from there; what follows stays named and is joined as before.
    CloseStream();
    heard_->reader->Seek(target);
    heard_->from = target;
    heard_->fed = 0;
    Move(PlaybackEvent::Seek);
    TryStart();
}

void GaplessPlayer::TryStart() {
    if (state_ != PlaybackState::Opening || !heard_)
        return;
    if (heard_->Failed()) {
        itemFailure_ = heard_->reader->failure();
        Move(PlaybackEvent::ItemFailed);
        return;
    }
    if (!heard_->Ready())
        return; // the reader wakes the engine once it has opened
    if (const auto fraction = std::exchange(waitingSeek_, std::nullopt)) {
        {
            std::lock_guard lock(mutex_);
            seek_ = seek_.value_or(*fraction);
        }
        SeekTo();
        return;
    }
    if (heard_->inStream && out_->IsOpen()) {
        Move(PlaybackEvent::StreamReady); // resumes where it held

        return;
    }
    QString error;
    if (!out_->Open(
            FormatOf(*heard_->reader), level_, [this] { return Superseded(); }, error)) {
        if (Superseded())
            return; // a newer command decides what happens now
        SoundFailed(error);
        return;
    }
    heard_->inStream = true;
    heard_->streamStart = 0;
    heard_->from = heard_->reader->Position();
    heard_->fed = 0;
    Move(PlaybackEvent::StreamReady);
}

void GaplessPlayer::SoundFailed(const QString& reason) {
    qCWarning(lcEngine) << "no sound output:" << reason;
    CloseStream();
    behind_.reset();
    next_.clear();
    if (heard_)
        heard_->from = 0;
    soundFailure_ = reason;
    Move(PlaybackEvent::SoundFailed);
}

std::optional<std::size_t> GaplessPlayer::Write(Item& item, std::size_t room) {
    const std::size_t channels = out_->Format().speakers.size();
    if (!item.gain)
        item.gain = static_cast<float>(GainFactor(item.reader->facts().gains, gainMode_));
    // A few thousand frames at a time: what the stream takes is written in a loop.
    room = std::min<std::size_t>(room, kWriteFrames);
    scratch_.resize(room * channels);
    const std::size_t frames = item.reader->Take(scratch_.data(), room);
    // Its first frames in the stream tell where it stands: a seek that failed went on
    // from where the reader was, and that is what is heard.
    if (item.fed == 0 && frames > 0)
        item.from = item.reader->Position() - static_cast<int64_t>(frames);
    if (*item.gain != 1.0f)
        for (std::size_t i = 0; i < frames * channels; ++i)
            scratch_[i] *= *item.gain;
    if (!out_->Write(scratch_.data(), frames))
        return std::nullopt;
    item.fed += static_cast<int64_t>(frames);
    return frames;
}

void GaplessPlayer::Feed(std::size_t room) {
    while (room > 0) {
        Item& writer = behind_ && behind_->inStream ? *behind_ : *heard_;
        if (!writer.reader->Finished()) {
            const auto written = Write(writer, room);
            if (!written) {
                SoundFailed(QStringLiteral("the sound server takes no more samples"));
                return;
            }
            if (*written == 0)
                return; // the reader wakes the engine once it has more
            room -= *written;
            continue;
        }
        if (!behind_ || behind_->inStream)
            break; // all written; what follows is named once the item behind is heard
        if (!behind_->Ready())
            return; // still opening (a failure is reported by Service)
        if (FormatOf(*behind_->reader) == out_->Format()) {
            behind_->inStream = true;
            behind_->streamStart = out_->Written();
            behind_->from = behind_->reader->Position();
            behind_->fed = 0;
            continue;
        }
        // Another format: the stream plays out, then opens anew.
        Move(PlaybackEvent::FormatChange);
        return;
    }
    const Item& last = behind_ ? *behind_ : *heard_;
    if (room > 0 && last.inStream && last.reader->Finished() && next_.isEmpty()) {
        out_->Start(); // however little it is, it is heard
        Move(PlaybackEvent::AllWritten);
    }
}

void GaplessPlayer::Advance() {
    // A stream that was lost for good is told as it goes (a file's read error is
    // told at the end of the list).
    if (const ItemFailure lost = heard_->reader->failure();
        lost.failed() && !heard_->reader->facts().length) {
        std::lock_guard lock(mutex_);
        report_.skipped.push_back({load_, {heard_->uri, lost}});
    }
    heard_ = std::move(behind_);
    itemFailure_ = {};
    news_ = true;
    ++heardItems_;
    std::lock_guard lock(mutex_);
    report_.advances.emplace_back(load_, heard_->uri);
}

void GaplessPlayer::DropBehind() {
    if (!behind_->inStream) {
        behind_.reset();
        return;
    }
    const int64_t heard = out_->Heard();
    if (heard >= behind_->streamStart) {
        Advance(); // its first samples are heard already
        return;
    }
    // Written behind the heard item: that goes on from where it is heard, in a stream of its own.
    const int64_t at = heard_->from + std::max<int64_t>(0, heard - heard_->streamStart);
    behind_.reset();
    CloseStream();
    heard_->reader->Seek(at);
    heard_->from = at;
    heard_->fed = 0;
    Move(PlaybackEvent::Seek);
    TryStart();
}

void GaplessPlayer::Service() {
    std::erase_if(retired_, [](const auto& reader) { return reader->Done(); });
    if (const auto level = out_->MixerChange()) {
        level_ = *level;
        std::lock_guard lock(mutex_);
        report_.mixer = level;
        news_ = true;
    }
    if (!heard_ || !IsRunning(state_)) {
        Publish();
        return;
    }
    if (state_ == PlaybackState::Opening) {
        TryStart();
        Publish();
        return;
    }
    if (const QString failure = out_->Failure(); !failure.isEmpty()) {
        SoundFailed(failure);
        Publish();
        return;
    }
    // What follows is opened once the item before it is all decoded: in time to be
    // joined, and without holding a second decoder for the whole of an item.
    if (!behind_ && !next_.isEmpty() && heard_->reader->Decoded())
        behind_ = NewItem(std::exchange(next_, QString()));
    if (behind_ && behind_->Failed()) {
        // Named to follow, but it cannot be played: left out, and the window told.
        std::lock_guard lock(mutex_);
        report_.skipped.push_back({load_, {behind_->uri, behind_->reader->failure()}});
        behind_.reset();
        news_ = true;
    }
    const bool taking = state_ == PlaybackState::Playing || state_ == PlaybackState::Buffering ||
                        state_ == PlaybackState::Reconnecting;
    if (taking)
        Feed(out_->Writable());
    // A stream held up by the network: told after a second, and when it flows again.
    if (taking && IsRunning(state_) && !(behind_ && behind_->inStream)) {
        if (heard_->reader->Reconnecting())
            Move(PlaybackEvent::Reconnect);
        else if (heard_->reader->Dry(std::chrono::milliseconds(kStallMs)))
            Move(PlaybackEvent::Stalled);
        else
            Move(PlaybackEvent::Flowing);
    }
    if (!IsRunning(state_)) {
        Publish();
        return;
    }

    const int64_t heard = out_->Heard();
    if (behind_ && behind_->inStream && heard >= behind_->streamStart)
        Advance();
    if (state_ == PlaybackState::Switching && out_->Drained()) {
        if (behind_ && !behind_->Ready() && !behind_->Failed()) {
            Publish();
            return; // the item to switch to is still opening
        }
        if (behind_ && behind_->Ready()) {
            Advance();
            CloseStream();
            Move(PlaybackEvent::Drained);
            TryStart();
        } else if (next_.isEmpty()) {
            Move(PlaybackEvent::AllWritten);
        }
    }
    if (state_ == PlaybackState::Draining &&
        (out_->Written() - heard) * 1000 <
            static_cast<int64_t>(kDrainAheadMs) * out_->Format().rate)
        Move(PlaybackEvent::PlayOut);
    if (state_ == PlaybackState::Ending && out_->Drained()) {
        // A read that stopped early is told when the item is over.
        itemFailure_ = heard_->reader->failure();
        CloseStream();
        heard_->reader->Seek(0);
        heard_->from = 0;
        Move(PlaybackEvent::Drained);
    }
    Publish();
}

void GaplessPlayer::Publish(bool news) {
    Report report;
    report.command = command_;
    report.heardItems = heardItems_;
    report.state = state_;
    report.soundFailure = soundFailure_;
    report.itemFailure = itemFailure_;
    if (heard_ && heard_->Ready()) {
        const ItemReader::Facts facts = heard_->reader->facts();
        const double rate = facts.rate;
        if (facts.length)
            report.length = static_cast<double>(*facts.length) * 1000.0 / rate;
        const int64_t since = heard_->inStream ? out_->Heard() - heard_->streamStart : 0;
        report.at = std::chrono::steady_clock::now();
        report.time =
            static_cast<double>(heard_->from + std::max<int64_t>(0, since)) * 1000.0 / rate;
        if (report.length >= 0)
            report.time = std::min(report.time, report.length);
        report.info = facts.info;
        report.info.song = heard_->reader->SongAt(heard_->from + std::max<int64_t>(0, since));
    }
    news = news || std::exchange(news_, false);
    {
        std::lock_guard lock(mutex_);
        report.advances = std::move(report_.advances);
        report.skipped = std::move(report_.skipped);
        report.mixer = report_.mixer;
        news = news || report_.state != report.state || report_.command != report.command ||
               report_.info.song != report.info.song;
        report_ = std::move(report);
    }
    if (news)
        QMetaObject::invokeMethod(this, &GaplessPlayer::changed, Qt::QueuedConnection);
}

} // namespace velune
