#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <atomic>
#include <mutex>
#include <optional>

namespace velune {

// What the list shows of a file and orders it by: its tags and its length.
struct RowTags {
    QString title;
    QString artist;
    QString album;
    QString albumArtist;
    int disc = 0;
    int track = 0;
    qint64 lengthMs = -1; // -1 while unknown
    bool operator==(const RowTags&) const = default;
    // The artist shown: the track's, else the album's.
    const QString& shownArtist() const { return artist.isEmpty() ? albumArtist : artist; }
};

// Reads a file's tags and length: TagLib's, else what FFmpeg finds in the file.
// Slow (it opens the file): call it on a worker.
RowTags ReadRowTags(const QString& path);

// The picture to show beside a file: its embedded front cover, saved once into
// `coversFolder`, else cover.jpg, folder.jpg (or .png) beside it; "" when there is
// none. Slow: call it on a worker.
QString FindCover(const QString& path, const QString& coversFolder);

// The tags of files read before, kept between runs in one file, each entry valid
// while its file keeps the size and modification time it had. Used from workers.
class TagCache {
public:
    explicit TagCache(QString file) : file_(std::move(file)) {}

    // Reads the cache file; a missing or damaged one leaves the cache empty. The
    // first Get does it when nobody did.
    void Load();
    // Writes the entries of these paths, and no others, to the cache file; a cache
    // never read leaves the file as it is.
    bool Save(const QStringList& keep) const;

    // The tags of a file: the cached ones while the file is unchanged, else read
    // again and cached. None when the file is gone: its entry is dropped.
    std::optional<RowTags> Get(const QString& path);
    bool Holds(const QString& path) const;

private:
    struct Entry {
        qint64 size = 0;
        qint64 modified = 0; // nanoseconds since the epoch
        RowTags tags;
    };
    // The size and time of a file; none when it cannot be reached.
    static std::optional<std::pair<qint64, qint64>> Stamp(const QString& path);

    QString file_;
    std::once_flag loadOnce_;
    std::atomic<bool> loaded_ = false;
    mutable std::mutex mutex_;
    QHash<QString, Entry> entries_;
};

} // namespace velune
