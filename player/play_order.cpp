#include "play_order.h"

#include <algorithm>
#include <map>

namespace velune {

QString ShuffleName(ShuffleMode mode) {
    switch (mode) {
    case ShuffleMode::Tracks:
        return QStringLiteral("tracks");
    case ShuffleMode::Albums:
        return QStringLiteral("albums");
    case ShuffleMode::Off:
        break;
    }
    return QStringLiteral("off");
}

std::optional<ShuffleMode> ShuffleNamed(const QString& name) {
    for (const ShuffleMode mode : {ShuffleMode::Off, ShuffleMode::Tracks, ShuffleMode::Albums})
        if (name.trimmed() == ShuffleName(mode))
            return mode;
    return std::nullopt;
}

std::vector<int> PlayOrder::Shuffled(std::vector<int> ids) {
    const auto shuffle = [this](auto& items) {
        for (std::size_t i = items.size(); i > 1; --i)
            std::swap(items[i - 1], items[random_.bounded(static_cast<quint32>(i))]);
    };
    if (mode_ != ShuffleMode::Albums) {
        shuffle(ids);
        return ids;
    }
    // Albums in random order, each album's tracks by disc and track (ties: as listed).
    std::map<QString, std::vector<int>> albums;
    for (const int id : ids)
        albums[rows_.value(id).album].push_back(id);
    std::vector<std::vector<int>> groups;
    for (auto& [album, tracks] : albums) {
        std::stable_sort(tracks.begin(), tracks.end(), [this](int a, int b) {
            const OrderRow &x = rows_[a], &y = rows_[b];
            return std::pair(x.disc, x.track) < std::pair(y.disc, y.track);
        });
        groups.push_back(std::move(tracks));
    }
    shuffle(groups);
    std::vector<int> round;
    for (const auto& group : groups)
        round.insert(round.end(), group.begin(), group.end());
    return round;
}

void PlayOrder::SetMode(ShuffleMode mode, const std::vector<OrderRow>& rows, int current) {
    mode_ = mode;
    rows_.clear();
    for (const OrderRow& row : rows)
        rows_.insert(row.id, row);
    round_.clear();
    nextRound_.clear();
    position_ = -1;
    if (mode == ShuffleMode::Off)
        return;
    std::vector<int> rest;
    for (const OrderRow& row : rows)
        if (row.id != current)
            rest.push_back(row.id);
    if (rows_.contains(current)) {
        round_.push_back(current);
        position_ = 0;
        if (mode == ShuffleMode::Albums) {
            // The rest of the album that plays comes first, in its order.
            const OrderRow& playing = rows_[current];
            std::vector<int> album;
            for (const int id : rest) {
                const OrderRow& row = rows_[id];
                if (row.album == playing.album &&
                    std::pair(row.disc, row.track) > std::pair(playing.disc, playing.track))
                    album.push_back(id);
            }
            std::stable_sort(album.begin(), album.end(), [this](int a, int b) {
                return std::pair(rows_[a].disc, rows_[a].track) <
                       std::pair(rows_[b].disc, rows_[b].track);
            });
            round_.insert(round_.end(), album.begin(), album.end());
            std::erase_if(rest, [&album](int id) { return std::ranges::count(album, id) > 0; });
        }
    }
    const std::vector<int> shuffled = Shuffled(rest);
    round_.insert(round_.end(), shuffled.begin(), shuffled.end());
}

void PlayOrder::Joined(const std::vector<OrderRow>& rows) {
    for (const OrderRow& row : rows)
        rows_.insert(row.id, row);
    if (mode_ == ShuffleMode::Off || rows.empty())
        return;
    // The rows still to come and the new ones make the rest of the round afresh.
    std::vector<int> toCome(round_.begin() + (position_ + 1), round_.end());
    for (const OrderRow& row : rows)
        toCome.push_back(row.id);
    round_.resize(position_ + 1);
    const std::vector<int> shuffled = Shuffled(toCome);
    round_.insert(round_.end(), shuffled.begin(), shuffled.end());
    nextRound_.clear();
}

void PlayOrder::Left(int id) {
    rows_.remove(id);
    queue_.removeAll(id);
    std::erase(nextRound_, id);
    const auto it = std::ranges::find(round_, id);
    if (it == round_.end())
        return;
    if (it - round_.begin() <= position_)
        --position_;
    round_.erase(it);
}

void PlayOrder::Clear() {
    rows_.clear();
    round_.clear();
    nextRound_.clear();
    queue_.clear();
    position_ = -1;
    place_ = 0;
}

int PlayOrder::Next(bool repeat, int listNext) const {
    // A queued row is heard again even when it is the one heard now.
    if (!queue_.isEmpty())
        return queue_.front();
    if (mode_ == ShuffleMode::Off)
        return listNext;
    if (position_ + 1 < static_cast<int>(round_.size()))
        return round_[position_ + 1];
    if (!repeat || round_.empty())
        return 0;
    return nextRound_.empty() ? round_.front() : nextRound_.front();
}

int PlayOrder::Previous(int current, int listPrevious) const {
    if (mode_ == ShuffleMode::Off)
        return listPrevious;
    const auto it = std::ranges::find(round_, current);
    const int at = it == round_.end() ? position_ + 1 : static_cast<int>(it - round_.begin());
    return at > 0 && at - 1 < static_cast<int>(round_.size()) ? round_[at - 1] : 0;
}

int PlayOrder::ListPlace(int current) const {
    return place_ > 0 && place_ != current && rows_.contains(place_) ? place_ : current;
}

void PlayOrder::Heard(int id, bool back) {
    if (queue_.removeAll(id) == 0)
        place_ = id;
    if (mode_ == ShuffleMode::Off || !rows_.contains(id))
        return;
    if (position_ + 1 >= static_cast<int>(round_.size()) && !back && !round_.empty() &&
        round_[position_] != id) {
        // Past the round's last row: the next round begins.
        if (nextRound_.empty())
            nextRound_ = Shuffled(round_);
        round_ = std::exchange(nextRound_, {});
        position_ = -1;
    }
    const auto it = std::ranges::find(round_, id);
    const int at = it == round_.end() ? -1 : static_cast<int>(it - round_.begin());
    if (at >= 0 && (back || at == position_)) {
        position_ = at;
    } else {
        // Heard out of turn (picked, or queued): it takes the next place, so that it
        // is not heard again this round and the rows after it keep their turn.
        if (at >= 0)
            round_.erase(round_.begin() + at);
        if (at >= 0 && at <= position_)
            --position_;
        round_.insert(round_.begin() + (position_ + 1), id);
        ++position_;
    }
    if (position_ + 1 == static_cast<int>(round_.size()) && nextRound_.empty()) {
        // The round after this one, its first not the row that ends this one.
        nextRound_ = Shuffled(round_);
        if (nextRound_.size() > 1 && nextRound_.front() == id)
            std::swap(nextRound_.front(), nextRound_.back());
    }
}

void PlayOrder::Enqueue(int id) {
    if (id > 0 && !queue_.contains(id))
        queue_.push_back(id);
}

} // namespace velune
