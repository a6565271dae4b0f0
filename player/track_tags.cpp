#include "track_tags.h"

#include "audio_decoder.h"
#include "names.h"
#include "publish.h"
#include "system_names.h"
#include "tags.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QFile>
#include <QLoggingCategory>
#include <QSaveFile>
#include <filesystem>
#include <sys/stat.h>

Q_DECLARE_LOGGING_CATEGORY(lcPlayer)

namespace velune {

namespace {

// A saved file is synced by its commit; the folder that takes its new name is synced here.
bool CommitDurably(QSaveFile& file) {
    QString error;
    return file.commit() && SyncFolder(FolderOf(file.fileName()), error);
}

constexpr quint32 kCacheMagic = 0x56544331; // "VTC1"

int LeadingInt(const QString& text) {
    int value = 0;
    for (const QChar c : text.trimmed()) {
        if (!c.isDigit() || value > 100000)
            break;
        value = value * 10 + c.digitValue();
    }
    return value;
}

bool IsUtf8(const QByteArray& bytes) {
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

// The picture beside the file, by the names rippers and shops give it.
QString FolderCover(const QString& path) {
    static const char* const kNames[] = {"cover.jpg", "folder.jpg", "cover.png",  "folder.png",
                                         "front.jpg", "cover.jpeg", "folder.jpeg"};
    std::error_code error;
    const std::filesystem::path folder = SystemPath(FolderOf(path));
    std::vector<std::filesystem::path> found;
    for (const auto& entry : FolderEntries(folder))
        if (std::filesystem::is_regular_file(entry, error))
            found.push_back(entry);
    for (const char* name : kNames)
        for (const auto& file : found)
            if (QString::fromUtf8(file.filename().string())
                    .compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                return PathFromSystem(file);
    return {};
}

} // namespace

RowTags ReadRowTags(const QString& path) {
    RowTags row;
    // A RealAudio metafile names a stream: nothing is opened to read it.
    const QString extension = FileName(path, QLatin1Char('.')).toLower();
    if (extension == QLatin1String("ram") || IsStreamAddress(path))
        return row;
    const FileTags read = ReadFileTags(path, false);
    row.title = FirstText(read.tags, "TITLE").trimmed();
    row.artist = FirstText(read.tags, "ARTIST").trimmed();
    row.album = FirstText(read.tags, "ALBUM").trimmed();
    row.albumArtist = FirstText(read.tags, "ALBUMARTIST").trimmed();
    row.track = LeadingInt(read.tags.track);
    row.disc = LeadingInt(read.tags.disc);
    row.lengthMs = read.lengthMs;
    if (row.lengthMs >= 0 && !read.tags.empty())
        return row;
    // What TagLib does not read (RealAudio, WMA without a header length): FFmpeg's view.
    AudioDecoder decoder;
    QString error;
    if (!decoder.Open(path, error, nullptr, 2000))
        return row;
    if (const auto samples = decoder.DeclaredSamples(); samples && decoder.SourceRate() > 0)
        row.lengthMs = *samples * 1000 / decoder.SourceRate();
    const auto fill = [&decoder](QString& field, const char* name) {
        if (field.isEmpty())
            field = decoder.Tag(name).trimmed();
    };
    fill(row.title, "title");
    fill(row.artist, "artist");
    fill(row.album, "album");
    if (row.track == 0)
        row.track = LeadingInt(decoder.Tag("track"));
    return row;
}

QString FindCover(const QString& path, const QString& coversFolder) {
    if (IsStreamAddress(path))
        return {};
    const FileTags read = ReadFileTags(path, true);
    const TagPicture* cover = read.tags.Cover();
    if (!cover || cover->data.isEmpty()) {
        QString beside = FolderCover(path);
        // The face reaches files by UTF-8 names; another name is shown through a copy.
        if (beside.isEmpty() || IsUtf8(SystemName(beside)))
            return beside;
        QFile source(SystemPath(beside).c_str());
        if (!source.open(QIODevice::ReadOnly))
            return {};
        const QByteArray image = source.read(32 * 1024 * 1024);
        QString copy =
            coversFolder + u'/' +
            QCryptographicHash::hash(SystemName(beside), QCryptographicHash::Sha1).toHex() + u'.' +
            FileName(beside, QLatin1Char('.')).toLower();
        QSaveFile out(copy);
        if (!MakeFolders(coversFolder) || !out.open(QIODevice::WriteOnly) ||
            out.write(image) != image.size() || !CommitDurably(out))
            return {};
        return copy;
    }
    const QByteArray key = SystemName(path) + QByteArray::number(FileSize(path));
    QString copy = coversFolder + u'/' +
                   QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex() +
                   (cover->mime.contains(QLatin1String("png")) ? QStringLiteral(".png")
                                                               : QStringLiteral(".jpg"));
    if (IsFile(copy))
        return copy;
    QSaveFile out(copy);
    if (!MakeFolders(coversFolder) || !out.open(QIODevice::WriteOnly) ||
        out.write(cover->data) != cover->data.size() || !CommitDurably(out)) {
        qCWarning(lcPlayer) << "cannot keep the cover of" << path << "in" << coversFolder;
        return {};
    }
    return copy;
}

// TagCache ---------------------------------------------------------------------

std::optional<std::pair<qint64, qint64>> TagCache::Stamp(const QString& path) {
    struct stat info {};
    if (::stat(SystemName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return std::pair<qint64, qint64>(info.st_size, qint64(info.st_mtim.tv_sec) * 1000000000 +
                                                       info.st_mtim.tv_nsec);
}

void TagCache::Load() {
    loaded_ = true;
    QFile file(file_);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QDataStream in(&file);
    quint32 magic = 0;
    qint32 count = 0;
    in >> magic >> count;
    if (magic != kCacheMagic || count < 0)
        return;
    QHash<QString, Entry> entries;
    for (qint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        QByteArray name;
        Entry entry;
        RowTags& t = entry.tags;
        qint32 disc = 0, track = 0;
        in >> name >> entry.size >> entry.modified >> t.title >> t.artist >> t.album >>
            t.albumArtist >> disc >> track >> t.lengthMs;
        t.disc = disc;
        t.track = track;
        if (in.status() == QDataStream::Ok)
            entries.insert(PathFromSystem(name), entry);
    }
    if (in.status() != QDataStream::Ok) {
        qCWarning(lcPlayer) << "the tag cache is damaged and is read afresh:" << file_;
        return;
    }
    const std::lock_guard lock(mutex_);
    entries_ = std::move(entries);
}

bool TagCache::Save(const QStringList& keep) const {
    if (!loaded_)
        return true;
    QSaveFile file(file_);
    if (!MakeFolders(FolderOf(file_)) || !file.open(QIODevice::WriteOnly)) {
        qCWarning(lcPlayer) << "cannot write the tag cache" << file_;
        return false;
    }
    QDataStream out(&file);
    const std::lock_guard lock(mutex_);
    QList<const QString*> kept;
    QSet<QString> seen;
    for (const QString& path : keep)
        if (entries_.contains(path) && !seen.contains(path)) {
            seen.insert(path);
            kept << &path;
        }
    out << kCacheMagic << qint32(kept.size());
    for (const QString* path : kept) {
        const Entry& entry = entries_[*path];
        const RowTags& t = entry.tags;
        out << SystemName(*path) << entry.size << entry.modified << t.title << t.artist << t.album
            << t.albumArtist << qint32(t.disc) << qint32(t.track) << t.lengthMs;
    }
    return CommitDurably(file);
}

std::optional<RowTags> TagCache::Get(const QString& path) {
    std::call_once(loadOnce_, [this] {
        if (!loaded_)
            Load();
    });
    const auto stamp = Stamp(path);
    if (!stamp) {
        const std::lock_guard lock(mutex_);
        entries_.remove(path);
        return std::nullopt;
    }
    {
        const std::lock_guard lock(mutex_);
        const auto it = entries_.constFind(path);
        if (it != entries_.constEnd() && it->size == stamp->first && it->modified == stamp->second)
            return it->tags;
    }
    const RowTags tags = ReadRowTags(path);
    const std::lock_guard lock(mutex_);
    entries_.insert(path, {stamp->first, stamp->second, tags});
    return tags;
}

bool TagCache::Holds(const QString& path) const {
    const std::lock_guard lock(mutex_);
    return entries_.contains(path);
}

} // namespace velune
