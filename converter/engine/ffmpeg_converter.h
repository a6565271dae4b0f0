#pragma once

#include "converter_engine.h"
#include "tags.h"
#include "transcode.h"

#include <QSet>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace velune {

// The converter engine over FFmpeg's libraries, tags carried over with TagLib.
// Items are converted by up to `jobs` workers at once, each taking the lowest
// item nobody has taken yet. Every item is written to a hidden temporary file
// beside its output, tagged there, and given the output's name only when
// complete and only if nothing holds that name.
class FfmpegConverter : public ConverterEngine {
public:
    // The number of workers: VELUNE_JOBS when it is a whole number from 1 up,
    // else one per core.
    static int DefaultJobs();

    explicit FfmpegConverter(int jobs = DefaultJobs());
    ~FfmpegConverter() override;
    FfmpegConverter(const FfmpegConverter&) = delete;
    FfmpegConverter& operator=(const FfmpegConverter&) = delete;

    void clear() override;
    [[nodiscard]] bool add(const ConversionJob& job) override;
    [[nodiscard]] bool start() override;
    void cancel() override;
    int LowestUnfinished() const override;
    std::optional<float> Position() const override;
    std::optional<int> Time() const override;
    QString lastError() const override { return error_; }
    bool Finished() const override;
    ItemState State(int item) const override;
    QString FailureReason(int item) const override;
    bool Copied(int item) const override;
    QString Losses(int item) const override;
    bool Verified(int item) const override;
    bool AwaitingAlbumGain(int item) const override;
    bool HoldsWhole(const QString& output, TargetFormat format, const QString& source,
                    qint64 startFrame, qint64 endFrame) override;

    int jobs() const { return jobs_; }

private:
    // Owned by the engine; `state` and `failure` are guarded by mutex_, `progress`
    // is written by the one worker that converts the item.
    struct Item {
        ConversionJob job;
        ItemState state = ItemState::Queued;
        QString failure;
        TranscodeProgress progress;
        // For the album gain: what was written, and the loudness measured.
        TagSet tags;
        std::shared_ptr<LoudnessMeter> loudness;
        bool copied = false;      // its source was copied as it is
        QString temp;             // its output, written and synced, not yet published
        qint64 samples = 0;       // what the output must decode to, at its rate
        bool exactSource = false; // the source declared its length exactly, and had it
        QString losses;           // converted from a damaged source: how much was lost
        // An M4A's iTunSMPB field (its encoder delay and padding), written after its tags.
        std::pair<QString, QString> gapless;
        bool verified = false;
        bool awaitingAlbum = false; // guarded by mutex_
    };

    void Work();
    void Convert(Item& item);
    // Tags the written output, publishes it and, when asked, reads it back.
    bool Complete(Item& item, QString& failure);
    // Completes an output that waited for its album, and settles it.
    void Publish(Item& item);
    // `waits`: converted, its output waits for its album's gain.
    void Settle(Item& item, bool converted, const QString& failure, bool waits = false);
    // Once every other item has settled: the album gains of the outputs that wait for
    // them, which are then tagged and published.
    void WriteAlbumGains();
    // No item is queued or converting but for those waiting for their album; the
    // caller holds mutex_.
    bool AlbumsReady() const;
    // Names in the log, once a run for each format, the fields an output of it could
    // not hold.
    void TellUnheld(TargetFormat format, const QStringList& fields);
    void Join();
    // The lowest unfinished item; the caller holds mutex_.
    int LowestIndex() const;
    const Item* Lowest() const;

    const int jobs_;
    QString error_;
    std::vector<std::unique_ptr<Item>> items_;
    std::vector<std::thread> workers_;
    std::atomic<std::size_t> next_{0};
    std::atomic<bool> cancel_{false};
    mutable std::mutex mutex_;
    QSet<QString> tidiedFolders_; // guarded by mutex_
    QSet<QString> toldUnheld_;    // guarded by mutex_: a format's fields named in the log
    bool albumsPending_ = false;  // guarded by mutex_: album gains are still to be written
};

} // namespace velune
