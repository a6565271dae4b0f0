#pragma once

#include "gapless_player.h"
#include "item_reader.h"

#include <memory>
#include <optional>

namespace velune {

// One item as the engine thread holds it: its reader, and where its samples
// stand in the stream.
struct GaplessPlayer::Item {
    QString uri;
    std::unique_ptr<ItemReader> reader;
    std::optional<float> gain; // taken from its tags before its first samples are written
    bool inStream = false;     // its samples go into the stream that is open
    int64_t streamStart = 0;   // where in the stream its first written frame lies
    int64_t from = 0;          // which of its frames that is
    int64_t fed = 0;           // its frames written since

    bool Ready() const { return reader->status() == ItemReader::Status::Ready; }
    bool Failed() const { return reader->status() == ItemReader::Status::Failed; }
};

} // namespace velune
