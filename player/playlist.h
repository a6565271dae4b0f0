#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

namespace velune {

// The player's list: its rows (full paths, in the order added), the current row
// (the one the engine holds), the chosen row (the one picked in the face's list)
// and the queued row (the one the engine is told follows). Every edit keeps them
// on the same file. When the current row itself is
// removed there is no current row until the next is set, and successor() names
// the row that took its place.
class Playlist {
public:
    int size() const { return static_cast<int>(rows_.size()); }
    bool isEmpty() const { return rows_.isEmpty(); }
    const QStringList& rows() const { return rows_; }
    // The path of a row; "" for a row that does not exist.
    QString at(int row) const { return contains(row) ? rows_[row] : QString(); }
    bool contains(int row) const { return row >= 0 && row < size(); }

    // The current row; -1 when none.
    int current() const { return current_; }
    // The row that took the place of a removed current row (the last row when the
    // removed one was last); -1 while there is a current row or no rows.
    int successor() const { return current_ < 0 ? successor_ : -1; }
    // Where playing starts: the current row, else the successor, else the first row.
    int start() const;
    int chosen() const { return chosen_; }
    // The row named to the engine to follow the current one; -1 when none.
    int queued() const { return queued_; }

    // Makes a row current (-1: none).
    void setCurrent(int row);
    void choose(int row) { chosen_ = contains(row) ? row : -1; }
    void setQueued(int row) { queued_ = contains(row) ? row : -1; }

    // The row's own number (0 when there is no such row), and the row that has one
    // (-1 when none has).
    int id(int row) const { return contains(row) ? ids_[row] : 0; }
    int rowOf(int id) const { return id > 0 ? static_cast<int>(ids_.indexOf(id)) : -1; }
    // Puts the rows in a new order: `order[i]` is the row that becomes row i. An
    // order that is not a permutation of the rows changes nothing.
    bool reorder(const std::vector<int>& order);

    void insert(int at, const QStringList& paths);
    void append(const QStringList& paths) { insert(size(), paths); }
    // Removes a row; false when there is no such row.
    bool remove(int row);
    void clear();

    // The row after `row`: the first one again after the last with `wrap`, else -1.
    int after(int row, bool wrap) const;

private:
    QStringList rows_;
    QList<int> ids_;
    int lastId_ = 0;
    int current_ = -1;
    int successor_ = -1;
    int chosen_ = -1;
    int queued_ = -1;
};

} // namespace velune
