#include "play_order.h"

#include "playlist.h"

#include <QSet>
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

bool PlayOrder::TrackBefore(int a, int b) const {
    const OrderRow x = rows_.value(a), y = rows_.value(b);
    return std::pair(x.disc, x.track) < std::pair(y.disc, y.track);
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
    groups.reserve(albums.size());
    for (auto& [album, tracks] : albums)
        groups.push_back(std::move(tracks));
    shuffle(groups);
    std::vector<int> round;
    for (const auto& group : groups)
        round.insert(round.end(), group.begin(), group.end());
    return Grouped(round);
}

std::vector<int> PlayOrder::Grouped(const std::vector<int>& ids) const {
    std::vector<std::vector<int>> groups;
    QHash<QString, std::size_t> groupOf;
    for (const int id : ids) {
        const QString album = rows_.value(id).album;
        const auto it = groupOf.constFind(album);
        if (it == groupOf.constEnd()) {
            groupOf.insert(album, groups.size());
            groups.push_back({id});
        } else {
            groups[*it].push_back(id);
        }
    }
    std::vector<int> grouped;
    for (auto& group : groups) {
        std::ranges::stable_sort(group, [this](int a, int b) { return TrackBefore(a, b); });
        grouped.insert(grouped.end(), group.begin(), group.end());
    }
    return grouped;
}

void PlayOrder::Regroup() {
    if (mode_ != ShuffleMode::Albums)
        return;
    const auto from = round_.begin() + (position_ + 1);
    std::vector<int> rest(from, round_.end());
    round_.erase(from, round_.end());
    if (position_ >= 0) {
        // What is left of the album that plays comes first, in its order.
        const int playing = round_[position_];
        std::vector<int> lead;
        std::erase_if(rest, [&](int id) {
            const bool after = SameAlbum(id, playing) && TrackBefore(playing, id);
            if (after)
                lead.push_back(id);
            return after;
        });
        lead = Grouped(lead);
        round_.insert(round_.end(), lead.begin(), lead.end());
    }
    rest = Grouped(rest);
    round_.insert(round_.end(), rest.begin(), rest.end());
    if (!nextRound_.empty())
        nextRound_ = Grouped(nextRound_);
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
    }
    const std::vector<int> shuffled = Shuffled(rest);
    round_.insert(round_.end(), shuffled.begin(), shuffled.end());
    Regroup();
}

void PlayOrder::Joined(const std::vector<OrderRow>& rows) {
    for (const OrderRow& row : rows)
        rows_.insert(row.id, row);
    if (mode_ == ShuffleMode::Off || rows.empty())
        return;
    nextRound_.clear();
    const auto from = round_.begin() + (position_ + 1);
    const std::vector<int> rest(from, round_.end());
    round_.erase(from, round_.end());
    // Each new row at a random place among the rows to come, which keep their order. A
    // row of an album to come goes last: grouping then puts it among that album's tracks.
    QSet<QString> albums;
    for (const int id : rest)
        if (mode_ == ShuffleMode::Albums)
            albums.insert(rows_.value(id).album);
    std::vector<std::vector<int>> before(rest.size() + 1);
    for (const OrderRow& row : rows)
        before[albums.contains(row.album) ? rest.size()
                                          : random_.bounded(static_cast<quint32>(rest.size() + 1))]
            .push_back(row.id);
    for (std::size_t at = 0; at <= rest.size(); ++at) {
        round_.insert(round_.end(), before[at].begin(), before[at].end());
        if (at < rest.size())
            round_.push_back(rest[at]);
    }
    Regroup();
}

bool PlayOrder::Retagged(const std::vector<OrderRow>& rows) {
    bool known = false;
    for (const OrderRow& row : rows)
        if (rows_.contains(row.id)) {
            rows_.insert(row.id, row);
            known = true;
        }
    if (!known || mode_ != ShuffleMode::Albums)
        return false;
    const std::vector<int> before = round_;
    Regroup();
    return round_ != before;
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

int RowAfter(const PlayOrder& order, const Playlist& list, int row, bool repeat) {
    // After a queued row the list goes on from where it was.
    const int place = list.rowOf(order.ListPlace(list.id(row)));
    const int listNext = list.after(place >= 0 ? place : row, repeat);
    return list.rowOf(order.Next(repeat, list.id(listNext)));
}

int NextRow(const PlayOrder& order, const Playlist& list, bool repeat) {
    if (list.isEmpty())
        return -1;
    return RowAfter(order, list, list.current() >= 0 ? list.current() : list.successor() - 1,
                    repeat);
}

int PreviousRow(const PlayOrder& order, const Playlist& list) {
    if (list.isEmpty())
        return -1;
    // With shuffle on, back through the rows heard.
    const int from = list.current() >= 0 ? list.current() : list.successor();
    return list.rowOf(order.Previous(list.id(list.current()), list.id(from - 1)));
}

} // namespace velune
