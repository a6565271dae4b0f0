#pragma once

#include "converter_engine.h"
#include "publish.h"

#include <QString>
#include <optional>

namespace velune {

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
