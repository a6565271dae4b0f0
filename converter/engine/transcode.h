#pragma once

#include "converter_engine.h"
#include "loudness.h"

#include <QString>
#include <atomic>
#include <memory>
#include <optional>

namespace velune {

// How far one conversion has got; written by its worker, read by anybody.
struct TranscodeProgress {
    std::atomic<qint64> doneMs{0};
    std::atomic<qint64> totalMs{0};
};

struct TranscodeResult {
    bool ok = false;
    QString reason; // in words for the user, when not ok
    // The loudness of what was encoded, when it was asked for.
    std::shared_ptr<LoudnessMeter> loudness;
    // Samples handed to the encoder, at the output's rate: what the output must decode to.
    qint64 samples = 0;
    // An M4A's encoder delay and padding (samples before and after those handed to it).
    qint64 delay = 0;
    qint64 padding = 0;
    // With damage accepted: how much of the source could not be decoded (ms), and where.
    qint64 lostMs = 0;
    QString damage;
    // The source declared its length exactly (and, undamaged, decoded to it).
    bool exactSource = false;
};

// What a damaged source makes of a conversion.
enum class OnDamage {
    Fail,   // the item fails, with where and how much was lost
    Accept, // what decodes is converted; the loss is told
};

// Decodes the audio of `source` and writes it to `output` (created or truncated)
// as `format` at `quality`: every sample, at the source's rate and channel count where the
// format allows them, else at the nearest it takes; `shape` asks for another rate,
// fewer channels or another bit depth. `reserveTagBytes` leaves room
// for tags at the start where the format keeps them there, so that writing them
// later changes no audio. Streams: never holds more than a few frames. Stops, with
// the reason "the conversion was stopped", soon after `cancel` turns true.
// A part of a source in CD frames (1/75 s); end -1 runs to the source's end.
struct FrameRange {
    qint64 start = 0;
    qint64 end = -1;
};

// What is measured of the samples encoded.
enum class Measure { Nothing, Loudness, LoudnessAndTruePeak };

TranscodeResult Transcode(const QString& source, const QString& output, TargetFormat format,
                          Quality quality, OutputShape shape, FrameRange range, Measure measure,
                          OnDamage onDamage, qint64 reserveTagBytes,
                          const std::atomic<bool>& cancel, TranscodeProgress& progress);

// Decodes a written file from its start to its end: true when it decodes whole, with
// no damage, to exactly `samples` samples at its own rate. `error` says what differs.
bool DecodesWhole(const QString& path, qint64 samples, const std::atomic<bool>& cancel,
                  QString& error);

// A digest of the audio packets of a file, headers and tags left out: two files
// with the same digest hold the same audio, byte for byte. Empty when unreadable.
QByteArray AudioDigest(const QString& path);

// A file's end as its last two seconds decode: where its samples end, the length
// it declares exactly (the encoder's delay and padding left out; -1 when it only
// estimates one), and whether it is whole (it decodes to its end, undamaged) and
// exact (to the length it declares). Cheap: it does not decode the rest.
struct TailReading {
    qint64 declared = -1;
    qint64 end = -1;
    int rate = 0;
    bool whole = false; // decodes to its end, undamaged
    QString kind;       // container and codec, as "mov/aac"
    bool exact() const { return whole && declared == end; }
};
std::optional<TailReading> ReadTail(const QString& path);

// The first sample of a CD frame (1/75 s) at a rate: exact for 44.1, 48, 88.2 and 96 kHz.
qint64 FrameToSample(qint64 frame, int rate);

} // namespace velune
