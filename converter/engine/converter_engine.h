#pragma once

#include "tags.h"
#include "target_format.h"

#include <QString>
#include <optional>

namespace velune {

// How hard a lossy format compresses: a bit rate in kbit/s (MP3 CBR, Opus), a VBR level
// (MP3 V0 to V9) or a quality level (Vorbis q-1 to q10); the format's own default
// when none is chosen.
struct Quality {
    enum class Kind { Default, BitRate, Vbr, Level };
    Kind kind = Kind::Default;
    int value = 0;
    bool operator==(const Quality&) const = default;
};

// What the output's audio is made to be; 0 keeps what the source has (bits: what the
// format keeps by default, 16 for WAV, the source's for FLAC).
struct OutputShape {
    int rate = 0;     // 44100 or 48000
    int channels = 0; // 2 or 1
    int bits = 0;     // WAV and FLAC: 16 or 24; fewer than the source's are dithered
    bool operator==(const OutputShape&) const = default;
};

// How the outputs of a run are made beyond their format and quality.
struct OutputOptions {
    OutputShape shape;
    bool copySame = false;  // a source already in the target format is copied, not encoded
    bool keepTimes = false; // the output takes its source's modification time
    // With ReplayGain: the peak written is the true peak, and the gain is lowered
    // where the peak would pass -1 dBTP.
    bool truePeak = false;
    bool preventClipping = false;
    // A damaged source is converted as far as it decodes (its source is then never
    // deleted) instead of failing.
    bool acceptDamaged = false;
    // ID3v2 tags are written as version 2.3 rather than 2.4, for old car stereos and
    // players.
    bool id3v23 = false;
    bool operator==(const OutputOptions&) const = default;
};

// One conversion: the source file, the file to write, its format and quality, and
// whether ReplayGain tags are measured and written (album gains for the outputs of
// one run that share album and album artist).
struct ConversionJob {
    QString source;
    QString output;
    TargetFormat format = TargetFormat::Wav;
    Quality quality;
    bool replayGain = false;
    OutputOptions options = {};
    // A part of the source only (a track of a CD image), in CD frames (1/75 s) from
    // its start; endFrame -1 runs to its end.
    qint64 startFrame = 0;
    qint64 endFrame = -1;
    // The tags to write instead of the source's own (a track's, from its sheet).
    std::optional<TagSet> tags = std::nullopt;
    // The source is to be deleted once converted: the output is read back from the
    // disk once published, and decoded whole.
    bool verify = false;
};

// The converter's media engine: a queue of jobs converted by workers of their own,
// several at once, without sound. Each output is written under a hidden temporary
// name and takes its own name only when complete, never replacing a file.
// The window polls it; it is called from one thread only.
class ConverterEngine {
public:
    enum class ItemState { Queued, Converting, Converted, Failed };

    virtual ~ConverterEngine() = default;

    // Cancels whatever runs and forgets every item.
    virtual void clear() = 0;
    // Queues a job; false (with lastError()) when the engine cannot take it.
    [[nodiscard]] virtual bool add(const ConversionJob& job) = 0;
    // Starts converting the queue; false (with lastError()) when it cannot.
    [[nodiscard]] virtual bool start() = 0;
    // Stops every worker; unfinished items fail and leave no file behind.
    virtual void cancel() = 0;

    // The lowest-numbered item that has not finished; negative when every item has.
    virtual int LowestUnfinished() const = 0;
    // Progress (0 to 1) and elapsed time (ms) of that item; none before it has started.
    virtual std::optional<float> Position() const = 0;
    virtual std::optional<int> Time() const = 0;

    virtual QString lastError() const = 0;
    // True when every queued item has been converted or has failed (and with none queued).
    virtual bool Finished() const = 0;
    virtual ItemState State(int item) const = 0;
    // The item's source was copied as it is (already in the target format).
    virtual bool Copied(int /*item*/) const { return false; }
    // A converted item whose source was damaged: how much could not be decoded ("93 ms",
    // or where when that is not known); "" for none.
    virtual QString Losses(int /*item*/) const { return {}; }
    // A converted item asked to be verified was read back from the disk whole: its
    // source may go.
    virtual bool Verified(int /*item*/) const { return false; }
    // The item is converted and waits, unpublished, for its album's gain.
    virtual bool AwaitingAlbumGain(int /*item*/) const { return false; }
    // Why the item failed, in words for the user.
    virtual QString FailureReason(int item) const = 0;
    // An earlier run's output holds the source, or its part from `startFrame` to
    // `endFrame` (CD frames, -1: its end), whole: its last second decodes to its end
    // and its declared and decoded lengths are the source's. It reads the files
    // alone and may be asked from a worker thread.
    // It also holds what the format writes: an M4A file holds AAC or ALAC.
    virtual bool HoldsWhole(const QString& output, TargetFormat format, const QString& source,
                            qint64 startFrame, qint64 endFrame) = 0;
};

} // namespace velune
