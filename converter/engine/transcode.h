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
                          qint64 reserveTagBytes,
                          const std::atomic<bool>& cancel, TranscodeProgress& progress);

// The first sample of a CD frame (1/75 s) at a rate: exact for 44.1, 48, 88.2 and 96 kHz.
qint64 FrameToSample(qint64 frame, int rate);

// The duration of a media file as its container tells it, in ms.
std::optional<qint64> MediaDuration(const QString& path);

} // namespace velune
