#pragma once

#include "play_order.h"
#include "track_tags.h"

#include <QHash>
#include <QString>
#include <optional>
#include <vector>

namespace velune {

class Playlist;

// The orders the list can be put in.
enum class SortOrder { Added, Artist, Album, Title, Length, FileName };

// Names the face and the settings use: "added", "artist", "album", "title",
// "length", "file".
QString SortName(SortOrder order);
std::optional<SortOrder> SortNamed(const QString& name);

// The tags known so far, by path.
using KnownTags = QHash<QString, RowTags>;

// The title a row shows: its tag, else its file name.
QString ShownTitle(const QString& path, const RowTags* tags);

// The list's rows in the given order (as Playlist::reorder takes it). Rows whose
// field is missing come after the others; rows alike keep the order they came in.
std::vector<int> SortedRows(const Playlist& list, const KnownTags& tags, SortOrder order);

// What shuffling by album knows of a row: its album (its title and album artist,
// or the folder of an untagged file), disc and track, from the tags known now.
OrderRow OrderRowOf(const Playlist& list, const KnownTags& tags, int row);

// Text as finding compares it: case folded, accents dropped ("Été" -> "ete").
QString SearchFolded(const QString& text);

// The rows whose title, artist, album or file name hold every word of `find`, in
// list order; every row for a blank text.
std::vector<int> MatchingRows(const Playlist& list, const KnownTags& tags, const QString& find);

} // namespace velune
