#pragma once

#include "converter_engine.h"
#include "publish.h"

#include <QString>
#include <functional>
#include <optional>

namespace velune {

// The length of a media file in ms, as the engine reads it; none when it cannot.
using LengthOf = std::function<std::optional<qint64>(const QString& path)>;
// The engine's reading of lengths (the engine outlives what is returned).
inline LengthOf LengthsOf(ConverterEngine& engine) {
    return [&engine](const QString& path) { return engine.Duration(path); };
}

// The output holds the source converted whole: it is a file, and both decode to the
// same length within half a second.
bool ConvertedWhole(const LengthOf& lengthOf, const QString& source, const QString& output);

// One source handed to the engine, as it was when it was handed over.
struct QueuedSource {
    int row = -1; // its row in the list
    QString source;
    QString output;
    std::optional<FileIdentity> identity;
    ConverterEngine::ItemState outcome = ConverterEngine::ItemState::Queued;
};

// Deletes a source the user asked to be removed, but only when nothing is lost:
// its item was converted, the output exists and is as long as the source, the
// source is still the very file that was converted, and the user may change it.
// True when the source is gone.
bool DeleteConvertedSource(ConverterEngine& engine, const QueuedSource& item);

} // namespace velune
