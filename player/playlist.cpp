#include "playlist.h"

#include <algorithm>

namespace velune {

int Playlist::start() const {
    if (current_ >= 0)
        return current_;
    if (successor_ >= 0)
        return successor_;
    return isEmpty() ? -1 : 0;
}

void Playlist::setCurrent(int row) {
    current_ = contains(row) ? row : -1;
    successor_ = -1;
}

void Playlist::insert(int at, const QStringList& paths) {
    at = std::clamp(at, 0, size());
    const int count = static_cast<int>(paths.size());
    for (int i = 0; i < count; ++i) {
        rows_.insert(at + i, paths[i]);
        ids_.insert(at + i, ++lastId_);
    }
    for (int* row : {&current_, &successor_, &chosen_, &queued_})
        if (*row >= at)
            *row += count;
}

bool Playlist::remove(int row) {
    if (!contains(row))
        return false;
    rows_.removeAt(row);
    ids_.removeAt(row);
    if (row == current_) {
        current_ = -1;
        successor_ = std::min(row, size() - 1);
    } else if (row < current_) {
        --current_;
    } else if (current_ < 0 && successor_ >= 0) {
        if (row < successor_)
            --successor_;
        successor_ = std::min(successor_, size() - 1);
    }
    for (int* other : {&chosen_, &queued_}) {
        if (row == *other)
            *other = -1;
        else if (row < *other)
            --*other;
    }
    return true;
}

void Playlist::clear() {
    rows_.clear();
    ids_.clear();
    current_ = successor_ = chosen_ = queued_ = -1;
}

bool Playlist::reorder(const std::vector<int>& order) {
    if (static_cast<int>(order.size()) != size())
        return false;
    std::vector<int> placeOf(order.size(), -1);
    for (int place = 0; place < size(); ++place) {
        const int row = order[place];
        if (!contains(row) || placeOf[row] >= 0)
            return false;
        placeOf[row] = place;
    }
    QStringList rows;
    QList<int> ids;
    for (const int row : order) {
        rows << rows_[row];
        ids << ids_[row];
    }
    rows_ = std::move(rows);
    ids_ = std::move(ids);
    for (int* row : {&current_, &chosen_, &queued_})
        if (*row >= 0)
            *row = placeOf[*row];
    // A removed current row's place is a place, not a file: it stays.
    return true;
}

int Playlist::after(int row, bool wrap) const {
    if (row + 1 < size())
        return row + 1;
    return wrap && !isEmpty() ? 0 : -1;
}

} // namespace velune
