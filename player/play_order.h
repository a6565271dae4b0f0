#pragma once

#include <QHash>
#include <QList>
#include <QRandomGenerator>
#include <QString>
#include <vector>

namespace velune {

class Playlist;

enum class ShuffleMode { Off, Tracks, Albums };

// Names the face and the settings use: "off", "tracks", "albums".
QString ShuffleName(ShuffleMode mode);
std::optional<ShuffleMode> ShuffleNamed(const QString& name);

// A row as the play order sees it: its own number (the list's row id) and what
// shuffling by album groups and orders it by.
struct OrderRow {
    int id = 0;
    QString album; // the album, or the folder of an untagged file
    int disc = 0;
    int track = 0;
};

// Which row plays after which: the rows the user asked to hear next (the play
// queue), then, with shuffle on, the round (every row once, in random order, or the
// albums in random order with their tracks in order); with shuffle off the list's
// own order. Rows are named by their ids, so a sort or an edit of the list leaves
// the order alone. The window tells it what is heard; Previous walks back through
// the round.
class PlayOrder {
public:
    explicit PlayOrder(quint32 seed = QRandomGenerator::global()->generate()) : random_(seed) {}

    ShuffleMode mode() const { return mode_; }
    // A new round over `rows` (in list order), starting at `current` (0: none).
    void SetMode(ShuffleMode mode, const std::vector<OrderRow>& rows, int current);
    // Rows that joined the list: they join the part of the round still to come, each
    // at a random place (by album: each new album between two others, a known album's
    // rows among its tracks), and what is left of the album that plays stays next.
    void Joined(const std::vector<OrderRow>& rows);
    // Rows whose tags were read: with shuffle by album, the rest of the round (and the
    // next one) is grouped by them. True when the order of what is to come changed.
    bool Retagged(const std::vector<OrderRow>& rows);
    // A row left the list: it leaves the round and the queue.
    void Left(int id);
    void Clear();

    // The row to hear after the one heard: the queue's first, else the round's next
    // (a new round's first after the last with `repeat`), else with shuffle off
    // `listNext` (the row after it in the list); 0 at the end.
    int Next(bool repeat, int listNext) const;
    // The row to hear before `current`: the round's previous with shuffle on, else
    // `listPrevious`; 0 at the start.
    int Previous(int current, int listPrevious) const;
    // `id` is now the one heard: it leaves the queue and takes its place in the round
    // (`back`: reached by Previous, so the round is walked back, not reordered).
    void Heard(int id, bool back = false);
    // Where the list goes on from after `current`: the row heard last in its turn when
    // `current` came from the queue, else `current`.
    int ListPlace(int current) const;

    // "Play next": the row joins the end of the queue; a row already queued stays.
    void Enqueue(int id);
    // The row's place in the queue from 1; 0 when it is not queued.
    int QueuePlace(int id) const { return static_cast<int>(queue_.indexOf(id)) + 1; }
    const QList<int>& queue() const { return queue_; }

    // The round and the position in it, for checks.
    const std::vector<int>& round() const { return round_; }
    int position() const { return position_; }

private:
    // A random order of the rows: every row once, or by album.
    std::vector<int> Shuffled(std::vector<int> ids);
    // The rows by album: each album where its first row is, its tracks in order.
    std::vector<int> Grouped(const std::vector<int>& ids) const;
    // Groups the rest of the round, what is left of the album that plays first.
    void Regroup();
    bool SameAlbum(int a, int b) const { return rows_.value(a).album == rows_.value(b).album; }
    bool TrackBefore(int a, int b) const;

    ShuffleMode mode_ = ShuffleMode::Off;
    QRandomGenerator random_;
    QHash<int, OrderRow> rows_;
    std::vector<int> round_;
    int position_ = -1;          // the round's row heard last, -1 before its first
    std::vector<int> nextRound_; // the round after this one, made when its last row is heard
    QList<int> queue_;
    int place_ = 0; // the row heard last in its turn (not from the queue)
};

// The list's rows as the play order has them (-1: none). The row to hear after
// `row`; the row Next goes to (after the current row, or before the place of a
// removed one); the row Previous goes to.
int RowAfter(const PlayOrder& order, const Playlist& list, int row, bool repeat);
int NextRow(const PlayOrder& order, const Playlist& list, bool repeat);
int PreviousRow(const PlayOrder& order, const Playlist& list);

} // namespace velune
