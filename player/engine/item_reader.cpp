#include "item_reader.h"

#include "audio_decoder.h"
#include "engine_log.h"
#include "icy_metadata.h"
#include "system_names.h"

#include <fstream>
#include <malloc.h>

namespace velune {

namespace {

// Readers' threads not yet ended, those let go at a quit included.
std::atomic<int> gThreads{0};
// How long a network source may stay silent before it counts as gone.
constexpr int kNetworkTimeoutMs = 10000;
// Channels beyond these are mixed down.
constexpr int kMaxChannels = 8;
// How far the reader decodes ahead of what was taken, in milliseconds; once that is
// reached, it rests until half of it was taken, and decodes in one go again.
constexpr int kAheadMs = 200;
// What a source above the output's highest rate is resampled to.
constexpr int kFallbackRate = 192000;

// A lost stream is opened again after 1, 2, 4, 8... s (at most 30 s); so many failures
// in a row and it is given up.
constexpr int kReconnectTries = 5;
constexpr int kLongestWaitMs = 30000;

bool IsAddress(const QString& location) {
    return location.contains(QLatin1String("://")) || location.startsWith(QLatin1String("file:"));
}
} // namespace

QString FirstRamLocation(const QString& ramFile) {
    std::ifstream file(SystemPath(ramFile), std::ios::binary);
    if (!file)
        return {};
    // A metafile is a few lines; a large file is not one.
    std::string line;
    for (int read = 0; read < 64 * 1024 && std::getline(file, line); read += int(line.size()) + 1) {
        const QByteArray raw = QByteArray::fromStdString(line).trimmed();
        if (raw.contains('\0'))
            return {}; // a metafile is text
        if (raw.isEmpty() || raw.startsWith('#') || raw.startsWith("--stop--"))
            continue;
        if (IsAddress(QString::fromLatin1(raw)))
            return QString::fromUtf8(raw);
        const QString path = PathFromSystem(raw);
        return path.startsWith(QLatin1Char('/')) ? path : FolderOf(ramFile) + u'/' + path;
    }
    return {};
}

int ItemReader::Reconnect(std::unique_ptr<AudioDecoder>& decoder, const QString& location,
                          QString& reason, int& failures) {
    static const int firstWaitMs = [] {
        bool number = false;
        const int ms = qEnvironmentVariableIntValue("VELUNE_RECONNECT_MS", &number);
        return number && ms > 0 ? ms : 1000;
    }();
    reconnecting_ = true;
    struct Done {
        std::atomic<bool>& flag;
        ~Done() { flag = false; }
    } done{reconnecting_};
    for (; failures < kReconnectTries && !cancel_; ++failures) {
        qCInfo(lcEngine) << "reconnecting to" << location << "after" << reason;
        {
            std::unique_lock lock(mutex_);
            if (more_.wait_for(
                    lock,
                    std::chrono::milliseconds(std::min(kLongestWaitMs, firstWaitMs << failures)),
                    [this] { return cancel_.load(); }))
                return 0;
        }
        auto fresh = std::make_unique<AudioDecoder>();
        QString error;
        if (!fresh->Open(location, error, &cancel_, kNetworkTimeoutMs) ||
            !fresh->SetOutput(SampleLayout::Float, facts_.rate, kMaxChannels, error)) {
            reason = error.isEmpty() ? QStringLiteral("it could not be opened") : error;
            continue;
        }
        if (fresh->OutputSpeakers() != facts_.speakers) {
            reason = QStringLiteral("it came back with other channels");
            continue;
        }
        // Back when it gives sound again.
        const uint8_t* const* data = nullptr;
        const int frames = fresh->Read(&data);
        if (frames <= 0) {
            reason = frames < 0 ? fresh->Error() : QStringLiteral("the server ended it");
            continue;
        }
        decoder = std::move(fresh);
        ++failures; // until it has played a while
        std::lock_guard lock(mutex_);
        const auto* samples = reinterpret_cast<const float*>(data[0]);
        blocks_.emplace_back(samples,
                             samples + static_cast<std::size_t>(frames) * facts_.speakers.size());
        queued_ += static_cast<std::size_t>(frames);
        return frames;
    }
    return 0;
}

ItemReader::ItemReader(QString uri, int maxRate, std::function<void()> wake)
    : uri_(std::move(uri)), maxRate_(maxRate), wake_(std::move(wake)) {}

std::shared_ptr<ItemReader> ItemReader::Start(QString uri, int maxRate,
                                              std::function<void()> wake) {
    std::shared_ptr<ItemReader> reader(new ItemReader(std::move(uri), maxRate, std::move(wake)));
    ++gThreads;
    reader->thread_ = std::thread([self = reader]() mutable {
        self->Run();
        self.reset();
        --gThreads;
    });
    return reader;
}

ItemReader::~ItemReader() {
    // The thread has let go of the reader: it has ended, or ends once this returns.
    if (thread_.get_id() == std::this_thread::get_id())
        thread_.detach();
    else if (thread_.joinable())
        thread_.join();
}

int ItemReader::ThreadsRunning() {
    return gThreads;
}

void ItemReader::Finish(std::chrono::steady_clock::time_point deadline) {
    Cancel();
    {
        // Told to give up, a reader ends at its next step; one on the network may wait
        // on a name lookup, one on a stalled share on the disk.
        std::unique_lock lock(mutex_);
        if (ended_.wait_until(lock, deadline, [this] { return done_.load(); }))
            return;
    }
    std::lock_guard lock(wakeMutex_);
    wake_ = nullptr;
}

void ItemReader::Wake() {
    std::lock_guard lock(wakeMutex_);
    if (wake_)
        wake_();
}

void ItemReader::Cancel() {
    {
        std::lock_guard lock(mutex_);
        cancel_ = true;
    }
    more_.notify_all();
}

ItemReader::Status ItemReader::status() const {
    std::lock_guard lock(mutex_);
    return status_;
}

ItemFailure ItemReader::failure() const {
    std::lock_guard lock(mutex_);
    return failure_;
}

ItemReader::Facts ItemReader::facts() const {
    std::lock_guard lock(mutex_);
    return facts_;
}

bool ItemReader::Finished() const {
    std::lock_guard lock(mutex_);
    return status_ == Status::Failed ||
           (status_ == Status::Ready && decoded_ && queued_ == 0 && !seekTo_);
}

bool ItemReader::Decoded() const {
    std::lock_guard lock(mutex_);
    return status_ == Status::Failed || (status_ == Status::Ready && decoded_ && !seekTo_);
}

int64_t ItemReader::Position() const {
    std::lock_guard lock(mutex_);
    return seekTo_.value_or(position_);
}

bool ItemReader::Live() const {
    std::lock_guard lock(mutex_);
    return live_;
}

bool ItemReader::Dry(std::chrono::milliseconds time) const {
    std::lock_guard lock(mutex_);
    return status_ == Status::Ready && !decoded_ && !seekTo_ && queued_ == 0 &&
           std::chrono::steady_clock::now() - lastGiven_ > time;
}

QString ItemReader::SongAt(int64_t frame) const {
    std::lock_guard lock(mutex_);
    QString song;
    for (const auto& [from, title] : songs_)
        if (from <= frame)
            song = title;
    return song;
}

void ItemReader::Seek(int64_t frame) {
    {
        std::lock_guard lock(mutex_);
        seekTo_ = std::max<int64_t>(0, frame);
        ++seeks_;
        blocks_.clear();
        taken_ = queued_ = 0;
    }
    more_.notify_all();
}

std::size_t ItemReader::Take(float* out, std::size_t frames) {
    std::size_t done = 0;
    {
        std::lock_guard lock(mutex_);
        if (seekTo_ || status_ != Status::Ready)
            return 0;
        const auto channels = facts_.speakers.size();
        while (done < frames && !blocks_.empty()) {
            const std::vector<float>& block = blocks_.front();
            const std::size_t count = std::min(frames - done, (block.size() - taken_) / channels);
            std::copy_n(block.data() + taken_, count * channels, out + done * channels);
            taken_ += count * channels;
            done += count;
            if (taken_ == block.size()) {
                blocks_.pop_front();
                taken_ = 0;
            }
        }
        queued_ -= done;
        position_ += static_cast<int64_t>(done);
        if (queued_ >= low_)
            return done;
    }
    more_.notify_all();
    return done;
}

void ItemReader::Run() {
    struct Ended {
        ItemReader& reader;
        ~Ended() {
            {
                std::lock_guard lock(reader.mutex_);
                reader.done_ = true;
            }
            reader.ended_.notify_all();
        }
    } ended{*this};
    auto decoder = std::make_unique<AudioDecoder>();
    QString location = uri_;
    QString error;
    bool missing = false;
    if (!IsStreamAddress(uri_) && uri_.endsWith(QLatin1String(".ram"), Qt::CaseInsensitive))
        location = FirstRamLocation(uri_);
    if (location.isEmpty()) {
        error = QStringLiteral("the RAM file lists no location");
        missing = !IsFile(uri_);
    } else if (!IsAddress(location) && !IsFile(location)) {
        error = QStringLiteral("no such file");
        missing = true;
    } else if (decoder->Open(location, error, &cancel_, kNetworkTimeoutMs)) {
        const int rate = decoder->SourceRate() > maxRate_ ? std::min(kFallbackRate, maxRate_) : 0;
        if (!decoder->SetOutput(SampleLayout::Float, rate, kMaxChannels, error))
            error = error.isEmpty() ? QStringLiteral("its audio cannot be converted") : error;
        else
            error.clear();
    } else if (error.isEmpty()) {
        error = QStringLiteral("it could not be opened");
    }
    {
        std::lock_guard lock(mutex_);
        if (!error.isEmpty()) {
            if (!cancel_)
                qCWarning(lcEngine) << "cannot play" << location << error;
            status_ = Status::Failed;
            failure_ = {error, missing};
        } else {
            status_ = Status::Ready;
            lastGiven_ = std::chrono::steady_clock::now();
            facts_.rate = decoder->OutputRate();
            low_ = static_cast<std::size_t>(facts_.rate) * kAheadMs / 2000;
            facts_.speakers = decoder->OutputSpeakers();
            if (const auto declared = decoder->DeclaredSamples())
                facts_.length = decoder->OutputRate() == decoder->SourceRate()
                                    ? *declared
                                    : *declared * decoder->OutputRate() / decoder->SourceRate();
            facts_.gains =
                ReadReplayGain([&decoder](const char* name) { return decoder->Tag(name); });
            facts_.info.title = decoder->Tag("title");
            facts_.info.artist = decoder->Tag("artist");
            facts_.info.album = decoder->Tag("album");
            const QByteArray headers = decoder->StreamOption("icy_metadata_headers");
            live_ = IsRemote(location) && !facts_.length;
            facts_.info.station = IcyHeader(headers, "icy-name");
            facts_.info.genre = IcyHeader(headers, "icy-genre");
        }
    }
    // Probing a file takes buffers that are freed at once: give their pages back.
    malloc_trim(0);
    Wake();
    if (!error.isEmpty())
        return;

    const std::size_t channels = facts_.speakers.size();
    const bool live = facts_.rate > 0 && live_;
    const std::size_t ahead = static_cast<std::size_t>(facts_.rate) * kAheadMs / 1000;
    bool filling = true;
    int64_t decodedUpTo = 0; // frames decoded from the start (or the last seek) on
    int64_t reconnectedAt = 0;
    int lostInARow = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        more_.wait(lock, [&] {
            return cancel_ || seekTo_ || (!decoded_ && queued_ < (filling ? ahead : low_));
        });
        filling = queued_ < ahead;
        if (cancel_)
            return;
        if (seekTo_) {
            int64_t target = *seekTo_;
            const uint64_t asked = seeks_;
            lock.unlock();
            // Seeks count the source's frames; the output's differ only where resampled.
            if (!decoder->Seek(target * decoder->SourceRate() / decoder->OutputRate())) {
                // A file moved away cannot be read again from its start: it goes on from
                // where it was decoded up to, and that is where it says it is.
                qCWarning(lcEngine) << "cannot seek in" << uri_;
                target = decodedUpTo;
            }
            lock.lock();
            if (seeks_ != asked)
                continue; // a newer seek came meanwhile: it is done next
            seekTo_.reset();
            blocks_.clear();
            taken_ = queued_ = 0;
            position_ = decodedUpTo = target;
            decoded_ = false;
            lock.unlock();
            Wake();
            lock.lock();
            continue;
        }
        const uint64_t asked = seeks_;
        lock.unlock();
        const uint8_t* const* data = nullptr;
        const int frames = decoder->Read(&data);
        std::vector<float> block;
        if (frames > 0) {
            const auto* samples = reinterpret_cast<const float*>(data[0]);
            block.assign(samples, samples + static_cast<std::size_t>(frames) * channels);
        }
        const auto icy = decoder->TakeIcyPacket();
        lock.lock();
        if (const auto song = icy ? StreamTitleOf(icy->first) : std::nullopt) {
            // Heard when the audio it came with is: that many seconds after this block.
            songs_.emplace_back(decodedUpTo + static_cast<int64_t>(icy->second * facts_.rate),
                                *song);
            qCInfo(lcEngine) << "the stream's title is now" << *song;
            // Titles long heard are of no more use; a few are kept.
            while (songs_.size() > 16)
                songs_.pop_front();
        }
        if (seeks_ != asked || cancel_)
            continue; // read for a place that is no longer wanted
        if (frames <= 0 && live && !cancel_) {
            // A stream does not end: its connection was lost, and is opened again.
            QString reason = frames < 0 ? decoder->Error() : QStringLiteral("the server ended it");
            lock.unlock();
            Wake();
            // Ten seconds of sound since the last time: the connection held.
            if (decodedUpTo - reconnectedAt >= int64_t{10} * facts_.rate)
                lostInARow = 0;
            if (const int frames = Reconnect(decoder, location, reason, lostInARow); frames > 0) {
                Wake();
                lock.lock();
                reconnectedAt = decodedUpTo;
                decodedUpTo += frames;
                continue;
            }
            lock.lock();
            if (cancel_)
                return;
            decoded_ = true;
            failure_ = {reason, false};
        } else if (frames <= 0) {
            decoded_ = true;
            if (frames < 0 && !cancel_)
                failure_ = {decoder->Error(), false};
            // The length is what was decoded, where the container did not say or was wrong.
            if (!facts_.length || frames == 0)
                facts_.length = decodedUpTo;
        } else {
            decodedUpTo += frames;
            lastGiven_ = std::chrono::steady_clock::now();
            const bool starved = queued_ == 0;
            queued_ += static_cast<std::size_t>(frames);
            blocks_.push_back(std::move(block));
            // Whoever takes the samples looks by itself while there are some.
            if (!starved)
                continue;
        }
        lock.unlock();
        Wake();
        lock.lock();
    }
}

} // namespace velune
