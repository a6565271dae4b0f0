#pragma once

#include "gapless_player.h"
#include "item_reader.h"

#include <memory>
#include <optional>

namespace velune {

// One item as the engine thread holds it: its reader, and where its samples
// stand in the stream.
struct GaplessPlayer::Item {
    Item(QString uri_, std::shared_ptr<ItemReader> reader_,
         std::vector<std::shared_ptr<ItemReader>>& retired_)
        : uri(std::move(uri_)), reader(std::move(reader_)), retired(retired_) {}
    // A reader still opening or reading is told to give up and left to end by itself,
    // so that dropping an item never waits on the network.
    ~Item() {
        reader->Cancel();
        if (!reader->Done())
            retired.push_back(std::move(reader));
    }
    Item(const Item&) = delete;
    Item& operator=(const Item&) = delete;

    QString uri;
    std::shared_ptr<ItemReader> reader;
    std::optional<float> gain; // taken from its tags before its first samples are written
    bool inStream = false;     // its samples go into the stream that is open
    int64_t streamStart = 0;   // where in the stream its first written frame lies
    int64_t from = 0;          // which of its frames that is
    int64_t fed = 0;           // its frames written since
    std::vector<std::shared_ptr<ItemReader>>& retired;

    bool Ready() const { return reader->status() == ItemReader::Status::Ready; }
    bool Failed() const { return reader->status() == ItemReader::Status::Failed; }
};

} // namespace velune
