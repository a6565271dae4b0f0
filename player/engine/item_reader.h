#pragma once

#include "player_engine.h"
#include "speakers.h"

#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace velune {

class AudioDecoder;

// One item of the list, opened and decoded ahead on a thread of its own, so that
// neither a slow open (a network address, a stalled share) nor a slow read holds
// whoever plays it. The thread shares the reader: a thread held where it cannot be
// cut short (a name lookup) may outlive whoever dropped it, and touches nothing else.
class ItemReader {
public:
    // `maxRate`: a source above it is resampled to a rate below. `wake` is called
    // from the reader's thread once it has opened, failed, or has more samples.
    static std::shared_ptr<ItemReader> Start(QString uri, int maxRate, std::function<void()> wake);
    // Dropped by the last owner: the thread has ended, or this is the thread.
    ~ItemReader();
    ItemReader(const ItemReader&) = delete;
    ItemReader& operator=(const ItemReader&) = delete;

    enum class Status { Opening, Ready, Failed };
    Status status() const;
    // Why it could not be opened or read on; `missing` when there is no such file.
    ItemFailure failure() const;

    // Known once Ready.
    struct Facts {
        int rate = 0;
        SpeakerLayout speakers;
        std::optional<int64_t> length; // in frames, from the container until decoded
        ReplayGainTags gains;
        TrackInfo info;
    };
    Facts facts() const;

    // Moves up to `frames` decoded frames into `out` (interleaved floats); how many.
    std::size_t Take(float* out, std::size_t frames);
    // All its samples were taken (or reading stopped early: see failure()).
    bool Finished() const;
    // Everything is decoded (or reading stopped early); some may not be taken yet.
    bool Decoded() const;
    // Goes to a frame; the frames taken next start there. Where that fails (the file
    // has gone), they go on from where decoding was, and Position() says so.
    void Seek(int64_t frame);
    // The frame that the next Take starts with.
    int64_t Position() const;
    // A stream's song (its StreamTitle) as it stands at a frame; "" before the first.
    QString SongAt(int64_t frame) const;

    // It has nothing to give, and has given nothing for `time`: the source holds it up.
    bool Dry(std::chrono::milliseconds time) const;
    // A stream from a server without a length: it plays until stopped or lost, and
    // is joined anew, where it is live, after a pause or a stop.
    bool Live() const;
    // A lost stream is being opened again.
    bool Reconnecting() const { return reconnecting_; }

    // Tells the reader's thread to give up, without waiting for it.
    void Cancel();
    // The reader's thread has ended: dropping the reader takes no time.
    bool Done() const { return done_; }
    // Tells the thread to give up and waits for it to end. One still held up at
    // `deadline` (a name lookup, a stalled share) is let go instead: it ends by itself
    // later and calls `wake` no more.
    void Finish(std::chrono::steady_clock::time_point deadline);
    // Readers' threads still running, let go or not: the program must not run its
    // exit's clean-up under them.
    static int ThreadsRunning();

private:
    ItemReader(QString uri, int maxRate, std::function<void()> wake);
    void Wake();
    void Run();
    std::optional<QString> Open();
    // Opens a lost stream again, waiting longer after each failure: the frames it
    // gave (queued), or 0 once it has failed so often (its last `reason` kept) or the
    // reader was told to give up.
    // `failures`: those in a row so far; a connection that gave sound only a moment
    // counts as one.
    int Reconnect(std::unique_ptr<AudioDecoder>& decoder, const QString& location, QString& reason,
                  int& failures);

    const QString uri_;
    const int maxRate_;
    std::mutex wakeMutex_;
    std::function<void()> wake_; // guarded by wakeMutex_
    std::atomic<bool> cancel_{false};
    std::atomic<bool> done_{false};
    std::atomic<bool> reconnecting_{false};

    mutable std::mutex mutex_;
    std::condition_variable more_;
    std::condition_variable ended_;
    Status status_ = Status::Opening; // guarded by mutex_, and all below
    ItemFailure failure_;
    Facts facts_;
    std::deque<std::vector<float>> blocks_;
    std::size_t taken_ = 0;  // samples of the front block already taken
    std::size_t queued_ = 0; // frames decoded and not taken
    std::size_t low_ = 0;    // below this many, the reader decodes again
    int64_t position_ = 0;
    bool decoded_ = false;
    std::optional<int64_t> seekTo_;
    bool live_ = false;
    std::chrono::steady_clock::time_point lastGiven_; // when it last decoded samples
    std::deque<std::pair<int64_t, QString>> songs_;   // a stream's titles, from the frame on
    uint64_t seeks_ = 0;                              // how many seeks were asked for
    std::thread thread_;
};

// The first location a RAM file lists: an address, or a path (relative ones
// are taken from the RAM file's folder). "" when it lists none.
QString FirstRamLocation(const QString& ramFile);

} // namespace velune
