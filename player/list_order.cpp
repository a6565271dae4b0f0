#include "list_order.h"

#include "folder_walk.h"
#include "names.h"
#include "playlist.h"
#include "system_names.h"

#include <algorithm>
#include <tuple>

namespace velune {

QString SortName(SortOrder order) {
    switch (order) {
    case SortOrder::Artist:
        return QStringLiteral("artist");
    case SortOrder::Album:
        return QStringLiteral("album");
    case SortOrder::Title:
        return QStringLiteral("title");
    case SortOrder::Length:
        return QStringLiteral("length");
    case SortOrder::FileName:
        return QStringLiteral("file");
    case SortOrder::Added:
        break;
    }
    return QStringLiteral("added");
}

std::optional<SortOrder> SortNamed(const QString& name) {
    for (const SortOrder order : {SortOrder::Added, SortOrder::Artist, SortOrder::Album,
                                  SortOrder::Title, SortOrder::Length, SortOrder::FileName})
        if (name.trimmed() == SortName(order))
            return order;
    return std::nullopt;
}

QString ShownTitle(const QString& path, const RowTags* tags) {
    if (tags && !tags->title.isEmpty())
        return tags->title;
    return Readable(FileName(path, QLatin1Char('/')));
}

QString SearchFolded(const QString& text) {
    QString folded;
    const QString split = text.normalized(QString::NormalizationForm_KD);
    folded.reserve(split.size());
    for (const QChar c : split)
        if (c.category() != QChar::Mark_NonSpacing)
            folded += c;
    return folded.toCaseFolded();
}

namespace {

// What a row is sorted by, worked out once a row.
struct SortKey {
    bool missing = false; // the field sorted by is not known
    QString first, second;
    int disc = 0, track = 0;
    qint64 length = 0;
    std::string name; // the file name's bytes, for natural order
    int id = 0;
};

SortKey KeyOf(const QString& path, int id, const RowTags* tags, SortOrder order) {
    SortKey key;
    key.id = id;
    key.name = SystemName(FileName(path, QLatin1Char('/'))).toStdString();
    const RowTags none;
    const RowTags& t = tags ? *tags : none;
    const QString& artist = t.shownArtist();
    key.disc = t.disc;
    key.track = t.track;
    switch (order) {
    case SortOrder::Artist:
        key.missing = artist.isEmpty();
        key.first = SearchFolded(artist);
        key.second = SearchFolded(t.album);
        break;
    case SortOrder::Album:
        key.missing = t.album.isEmpty();
        key.first = SearchFolded(t.album);
        break;
    case SortOrder::Title:
        key.first = SearchFolded(ShownTitle(path, tags));
        key.disc = key.track = 0;
        break;
    case SortOrder::Length:
        key.missing = t.lengthMs < 0;
        key.length = t.lengthMs;
        key.disc = key.track = 0;
        break;
    case SortOrder::FileName:
        key.disc = key.track = 0;
        key.first = SearchFolded(FolderOf(path)); // same names: by folder
        break;
    case SortOrder::Added:
        break;
    }
    return key;
}

bool Before(const SortKey& a, const SortKey& b, SortOrder order) {
    if (order == SortOrder::Added)
        return a.id < b.id;
    if (a.missing != b.missing)
        return b.missing;
    if (order == SortOrder::FileName) {
        if (a.name != b.name)
            return NaturallyBefore(a.name, b.name);
        return a.first < b.first;
    }
    const auto fields = [](const SortKey& k) {
        return std::tie(k.length, k.first, k.second, k.disc, k.track);
    };
    return fields(a) < fields(b);
}

} // namespace

std::vector<int> SortedRows(const Playlist& list, const KnownTags& tags, SortOrder order) {
    std::vector<SortKey> keys;
    keys.reserve(list.size());
    for (int row = 0; row < list.size(); ++row) {
        const auto it = tags.constFind(list.at(row));
        keys.push_back(
            KeyOf(list.at(row), list.id(row), it == tags.constEnd() ? nullptr : &*it, order));
    }
    std::vector<int> rows(keys.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = static_cast<int>(i);
    std::ranges::stable_sort(rows, [&](int a, int b) {
        if (Before(keys[a], keys[b], order))
            return true;
        // Rows alike: as they came.
        return !Before(keys[b], keys[a], order) && keys[a].id < keys[b].id;
    });
    return rows;
}

OrderRow OrderRowOf(const Playlist& list, const KnownTags& tags, int row) {
    const QString path = list.at(row);
    const RowTags known = tags.value(path);
    const QString album =
        known.album.isEmpty()
            ? FolderOf(path)
            : known.album + u'\n' +
                  (known.albumArtist.isEmpty() ? FolderOf(path) : known.albumArtist);
    return {list.id(row), album, known.disc, known.track};
}

std::vector<int> MatchingRows(const Playlist& list, const KnownTags& tags, const QString& find) {
    const QStringList words = SearchFolded(find).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    std::vector<int> rows;
    for (int row = 0; row < list.size(); ++row) {
        bool matches = true;
        if (!words.isEmpty()) {
            const QString path = list.at(row);
            QString text = Readable(FileName(path, QLatin1Char('/')));
            if (const auto it = tags.constFind(path); it != tags.constEnd())
                text += u'\n' + it->title + u'\n' + it->artist + u'\n' + it->albumArtist + u'\n' +
                        it->album;
            text = SearchFolded(text);
            for (const QString& word : words)
                matches = matches && text.contains(word);
        }
        if (matches)
            rows.push_back(row);
    }
    return rows;
}

} // namespace velune
