#pragma once

#include "converter_engine.h"
#include "publish.h"

#include <QString>
#include <functional>
#include <optional>

namespace velune {

// Whether an earlier output holds a source, or its part in CD frames (end -1: to
// its end), whole.
using EarlierOutputCheck =
    std::function<bool(const QString& output, TargetFormat format, const QString& source,
                       qint64 startFrame, qint64 endFrame)>;
// The engine's check (the engine outlives what is returned).
inline EarlierOutputCheck EarlierOutputsOf(ConverterEngine& engine) {
    return
        [&engine](const QString& output, TargetFormat format, const QString& source, qint64 start,
                  qint64 end) { return engine.HoldsWhole(output, format, source, start, end); };
}

// One source handed to the engine, as it was when it was handed over.
struct QueuedSource {
    int row = -1; // its row in the list
    QString source;
    QString output;
    std::optional<FileIdentity> identity;
    ConverterEngine::ItemState outcome = ConverterEngine::ItemState::Queued;
    bool verified = false; // the engine read its output back whole from the disk
};

// Deletes a source the user asked to be removed, but only when nothing is lost:
// the engine converted it, published its output durably and read it back whole
// from the disk; the source is still the very file that was converted, and the
// user may change it. The source's folder is synced after. True when the source
// is gone.
bool DeleteConvertedSource(const QueuedSource& source);

} // namespace velune
