// The list as a music library: folders and playlists read on workers, rows from
// tags, finding, ordering, shuffling, the play queue, covers and saved playlists.
#include "audio_decoder.h"
#include "background.h"
#include "dropped.h"
#include "face.h"
#include "folder_chooser.h"
#include "folder_walk.h"
#include "messages.h"
#include "names.h"
#include "picker.h"
#include "player_protocol.h"
#include "player_window.h"
#include "player_window_text.h"
#include "playlist_files.h"
#include "system_names.h"
#include "track_tags.h"

#include <QUrl>

namespace velune {

using namespace player_face;
using namespace player_text;

namespace {

// The player's own formats, then what else FFmpeg plays that libraries hold.
bool PlayableKind(const QString& path) {
    static const QStringList kSupported{
        QStringLiteral("wav"),  QStringLiteral("mp3"),  QStringLiteral("ogg"),
        QStringLiteral("ram"),  QStringLiteral("rm"),   QStringLiteral("wma"),
        QStringLiteral("flac"), QStringLiteral("m4a"),  QStringLiteral("aac"),
        QStringLiteral("opus"), QStringLiteral("aiff"), QStringLiteral("aif"),
        QStringLiteral("ape"),  QStringLiteral("wv")};
    return kSupported.contains(FileName(path, QLatin1Char('.')).toLower());
}

// A station's playlist fetched from its address: at most this large, this long a wait.
constexpr qint64 kMaxFetched = 1024 * 1024;
constexpr int kFetchTimeoutMs = 10000;

// Tags are read in batches, so that rows change in steps the face keeps up with.
constexpr int kTagBatch = 256;

// "1:02:03" past an hour, else "02:03".
QString LongTime(qint64 ms) {
    const qint64 s = (ms + 500) / 1000;
    if (s < 3600)
        return TwoDigits(s / 60) + u':' + TwoDigits(s % 60);
    return QString::number(s / 3600) + u':' + TwoDigits(s / 60 % 60) + u':' + TwoDigits(s % 60);
}

} // namespace

PlayerWindow::PlayerWindow(Parts parts)
    : p_(std::move(parts)),
      cache_(std::make_shared<TagCache>(p_.cacheFolder + QStringLiteral("/tags.cache"))) {}

PlayerWindow::~PlayerWindow() = default;

// Adding ------------------------------------------------------------------------

PlayerWindow::Expanded PlayerWindow::Expand(const QStringList& paths,
                                            const std::atomic<bool>& stop) {
    Expanded expanded;
    bool unsupported = false;
    QStringList unreadable;
    // A station's playlist given by its address is fetched here, on the worker.
    QStringList given;
    for (const QString& path : paths) {
        if (!IsStreamAddress(path) || !IsPlaylistFile(path)) {
            given << path;
            continue;
        }
        QByteArray bytes;
        QString error;
        if (!FetchAddress(path, kMaxFetched, &stop, kFetchTimeoutMs, bytes, error)) {
            if (!stop)
                expanded.problems << path + QStringLiteral("--cannot be played: ") + error;
            continue;
        }
        // An HLS playlist is the stream itself: FFmpeg plays its segments.
        if (bytes.contains("#EXT-X-")) {
            given << path;
            continue;
        }
        const PlaylistEntries listed = ReadPlaylistBytes(bytes, path);
        given << listed.files;
        expanded.titles.insert(listed.titles);
        if (!listed.error.isEmpty())
            expanded.problems << listed.error;
    }
    for (const QString& path : ExpandPlaylists(given, expanded.problems, &expanded.titles)) {
        if (stop)
            return {};
        if (path.isEmpty())
            continue;
        // A stream's address is no folder: what it holds is known once it plays.
        if (!IsStreamAddress(path) && IsFolder(path)) {
            const FolderWalk walk = WalkFolder(SystemPath(path), &stop);
            unreadable << QStringList(walk.unreadable.begin(), walk.unreadable.end());
            for (const FoundFile& found : walk.files) {
                const QString file = PathFromSystem(found.path);
                if (PlayableKind(file))
                    expanded.files << file;
                else
                    ++expanded.notAudio;
            }
        } else if (IsStreamAddress(path) || PlayableKind(path)) {
            expanded.files << path;
        } else {
            unsupported = true;
        }
    }
    if (unsupported)
        expanded.problems << QStringLiteral("The Player not support this format");
    // Covers, sheets and logs beside the music are no news: a box only when nothing
    // could be added, or a folder could not be read.
    if ((expanded.notAudio > 0 && expanded.files.isEmpty()) || !unreadable.isEmpty()) {
        QString report = QStringLiteral("%1 files added, %2 skipped: not audio")
                             .arg(expanded.files.size())
                             .arg(expanded.notAudio);
        if (!unreadable.isEmpty())
            report +=
                QStringLiteral("\n\nFolders that could not be read:\n") + unreadable.join(u'\n');
        expanded.problems << report;
    }
    return expanded;
}

void PlayerWindow::AddPaths(const QStringList& paths, AddAction action) {
    if (paths.isEmpty())
        return;
    const int ticket = ++addsAsked_;
    const int moves = transportMoves_;
    p_.background.Run([this, paths, action, ticket, moves,
                       stop = p_.background.Stopping()]() -> Background::Then {
        Expanded expanded = Expand(paths, *stop);
        return [this, action, ticket, moves, expanded = std::move(expanded)] {
            const bool overtaken = action == AddAction::Play && moves != transportMoves_;
            addsWaiting_.emplace(ticket,
                                 std::pair(overtaken ? AddAction::Append : action, expanded));
            // In the order asked, whichever walk ended first.
            for (auto next = addsWaiting_.find(addsDone_ + 1); next != addsWaiting_.end();
                 next = addsWaiting_.find(addsDone_ + 1)) {
                const auto [nextAction, nextFiles] = next->second;
                addsWaiting_.erase(next);
                ++addsDone_;
                FinishAdd(nextAction, nextFiles);
            }
        };
    });
}

void PlayerWindow::FinishAdd(AddAction action, const Expanded& expanded) {
    for (const QString& problem : expanded.problems)
        Tell(problem);
    if (expanded.files.isEmpty())
        return;
    // The list's status line carries what the add passed over.
    addNote_ = expanded.notAudio > 0
                   ? QStringLiteral(" · %1 skipped: not audio").arg(expanded.notAudio)
                   : QString();
    if (action == AddAction::Replace) {
        missing_.clear();
        told_.clear();
        // The files replace the list, in the face too; what played goes with it.
        p_.face.SetVariable(Var(kClearList), QStringLiteral("1"));
        if (Loaded())
            Unload();
        list_.clear();
        order_.Clear();
    }
    NameStations(expanded.titles);
    const int first = AppendRows(expanded.files);
    if (action != AddAction::Play || first < 0)
        return;
    if (LoadRow(first))
        Play();
    else
        Next();
}

void PlayerWindow::NameStations(const QHash<QString, QString>& names) {
    // A stream's row is named by its playlist (or the last run) until the station names itself.
    for (auto it = names.cbegin(); it != names.cend(); ++it)
        if (tags_.value(it.key()).title.isEmpty())
            tags_[it.key()].title = it.value();
}

int PlayerWindow::AppendRows(const QStringList& added) {
    if (added.isEmpty())
        return -1;
    const bool wasEmpty = list_.isEmpty();
    const int first = list_.size();
    list_.append(added);
    order_.Joined(OrderRows(first));
    SendRows(p_.face, added);
    SendList();
    RequestTags(added);
    // Into an empty list: its first row is loaded, ready to play.
    if (wasEmpty) {
        if (LoadRow(0))
            ShowState();
        else
            Next();
    } else {
        QueueNext();
    }
    return first;
}

void PlayerWindow::OpenUrl(const QString& address) {
    const QString url = address.trimmed();
    if (url.isEmpty())
        return;
    if (!IsStreamAddress(url)) {
        Tell(url + QStringLiteral("--cannot be played: not an http:// or https:// address"));
        return;
    }
    AddPaths({url}, AddAction::Play);
}

void PlayerWindow::AddFolder() {
    const QString folder = p_.folders.Choose(QStringLiteral("Add Folder"), QString());
    if (!folder.isEmpty())
        AddPaths({folder}, AddAction::Append);
}

// The rows shown ------------------------------------------------------------------

int PlayerWindow::ListRowOf(const QString& shownRow) const {
    const int shown = RowNumber(shownRow, static_cast<int>(shown_.size()));
    return shown < 0 ? -1 : shown_[shown];
}

QStringList PlayerWindow::RowFields(int row) const {
    const QString path = list_.at(row);
    const auto it = tags_.constFind(path);
    const RowTags* tags = it == tags_.constEnd() ? nullptr : &*it;
    const int place = order_.QueuePlace(list_.id(row));
    return {Readable(path),
            ShownTitle(path, tags),
            tags ? tags->shownArtist() : QString(),
            tags ? tags->album : QString(),
            tags && tags->track > 0 ? QString::number(tags->track) : QString(),
            tags && tags->lengthMs >= 0 ? LongTime(tags->lengthMs) : QString(),
            place > 0 ? QString::number(place) : QString(),
            missing_.value(list_.id(row))};
}

void PlayerWindow::SendList() {
    shown_ = MatchingRows(list_, tags_, find_);
    QStringList fields;
    fields.reserve(static_cast<qsizetype>(shown_.size()) * kRowFields);
    for (const int row : shown_)
        fields << RowFields(row);
    SetWithTrigger(p_.face, Var(kListRows), JoinFaceList(fields), Var(kSetListRows));
    SendTotal();
    SendPlayingRow();
}

void PlayerWindow::SendChanges(const std::vector<int>& rows) {
    if (!find_.trimmed().isEmpty() && MatchingRows(list_, tags_, find_) != shown_) {
        SendList(); // what is found changed with what was read
        return;
    }
    // Where each row is shown: at its own place while every row is shown.
    const bool all = static_cast<int>(shown_.size()) == list_.size();
    QHash<int, int> placeOf;
    for (std::size_t i = 0; !all && i < shown_.size(); ++i)
        placeOf.insert(shown_[i], static_cast<int>(i));
    QStringList fields;
    for (const int row : rows)
        if (const int place = all ? row : placeOf.value(row, -1); place >= 0)
            fields << QString::number(place) << RowFields(row);
    if (!fields.isEmpty())
        SetWithTrigger(p_.face, Var(kListChanges), JoinFaceList(fields), Var(kSetListChanges));
    SendTotal();
}

void PlayerWindow::SendTotal() {
    qint64 total = 0;
    for (int row = 0; row < list_.size(); ++row)
        if (const auto it = tags_.constFind(list_.at(row)); it != tags_.constEnd())
            total += std::max<qint64>(it->lengthMs, 0);
    const QString files =
        list_.size() == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(list_.size());
    p_.face.SetVariable(Var(kListTotal),
                        files + QStringLiteral(" · ") + LongTime(total) + addNote_);
}

void PlayerWindow::SendPlayingRow() {
    const auto at = std::ranges::find(shown_, list_.current());
    p_.face.SetVariable(Var(kPlayingRow),
                        QString::number(list_.current() < 0 || at == shown_.end()
                                            ? -1
                                            : static_cast<int>(at - shown_.begin())));
}

void PlayerWindow::RowGone(int row, int id) {
    order_.Left(id);
    // The face removed its own row; the rows shown after it move up.
    std::erase(shown_, row);
    for (int& shown : shown_)
        if (shown > row)
            --shown;
    std::vector<int> queued;
    for (const int queuedId : order_.queue())
        queued.push_back(list_.rowOf(queuedId));
    SendChanges(queued);
    SendPlayingRow();
}

// Tags and covers ---------------------------------------------------------------------

void PlayerWindow::RequestTags(const QStringList& paths) {
    for (qsizetype from = 0; from < paths.size(); from += kTagBatch) {
        const QStringList batch = paths.mid(from, kTagBatch);
        p_.background.Run(
            [this, batch, cache = cache_, stop = p_.background.Stopping()]() -> Background::Then {
                QList<std::pair<QString, RowTags>> read;
                QStringList gone;
                for (const QString& path : batch) {
                    if (*stop)
                        break;
                    // A stream is no file: nothing to read, nothing gone.
                    if (IsStreamAddress(path))
                        continue;
                    if (const auto tags = cache->Get(path))
                        read.append({path, *tags});
                    else
                        gone << path;
                }
                return [this, read, gone] { TakeTags(read, gone); };
            });
    }
}

void PlayerWindow::TakeTags(const QList<std::pair<QString, RowTags>>& read,
                            const QStringList& gone) {
    QSet<QString> changed;
    for (const auto& [path, tags] : read) {
        auto it = tags_.find(path);
        if (it == tags_.end() || *it != tags) {
            tags_.insert(path, tags);
            changed.insert(path);
        }
    }
    // A file read is there (back, should it have gone); one that is gone shows so,
    // and is told when its turn comes.
    const QSet<QString> lost(gone.begin(), gone.end());
    QSet<QString> there;
    for (const auto& entry : read)
        there.insert(entry.first);
    std::vector<int> rows;
    for (int row = 0; row < list_.size(); ++row) {
        const QString& path = list_.at(row);
        const int id = list_.id(row);
        const bool wasGone = missing_.contains(id);
        if (lost.contains(path) && !wasGone)
            missing_.insert(id, QStringLiteral("missing"));
        else if (there.contains(path) && wasGone)
            missing_.remove(id), told_.remove(id);
        if (changed.contains(path) || wasGone != missing_.contains(id))
            rows.push_back(row);
    }
    if (rows.empty())
        return;
    SendChanges(rows);
    // The title of what plays, as soon as its tags are known.
    if (changed.contains(list_.at(list_.current())) && !Stopped())
        SetTitle(NowPlaying());
    // Shuffling by album groups by the tags as they come.
    std::vector<OrderRow> retagged;
    retagged.reserve(rows.size());
    for (const int row : rows)
        retagged.push_back(OrderRowOf(list_, tags_, row));
    if (order_.Retagged(retagged))
        QueueNext();
}

void PlayerWindow::Recheck(int row) {
    // Its tags read again say whether it is back.
    RequestTags({list_.at(row)});
}

void PlayerWindow::ShowCover() {
    const QString path = list_.at(list_.current());
    const int ticket = ++coverAsked_;
    if (path.isEmpty() || IsStreamAddress(path)) {
        coverUrl_.clear();
        p_.face.SetVariable(Var(kCover), QString());
        return;
    }
    p_.background.Run([this, path, ticket,
                       covers = p_.cacheFolder + QStringLiteral("/covers")]() -> Background::Then {
        const QString cover = FindCover(path, covers);
        return [this, ticket, cover] {
            if (ticket != coverAsked_)
                return;
            coverUrl_ = cover.isEmpty() ? QString() : FileUriOf(cover);
            p_.face.SetVariable(Var(kCover), coverUrl_);
        };
    });
}

void PlayerWindow::SaveTagCache() const {
    cache_->Save(list_.rows());
}

// Finding, ordering, shuffling, the queue -------------------------------------------

void PlayerWindow::Find(const QString& text) {
    find_ = text == QLatin1String("undefined") ? QString() : text;
    SendList();
}

void PlayerWindow::SortBy(SortOrder order) {
    sort_ = order;
    list_.reorder(SortedRows(list_, tags_, order));
    p_.face.SetVariable(Var(kSortOrder), SortName(order));
    SendList();
    QueueNext();
}

std::vector<OrderRow> PlayerWindow::OrderRows(int from) const {
    std::vector<OrderRow> rows;
    for (int row = from; row < list_.size(); ++row)
        rows.push_back(OrderRowOf(list_, tags_, row));
    return rows;
}

void PlayerWindow::SetShuffle(ShuffleMode mode) {
    order_.SetMode(mode, OrderRows(), list_.id(list_.current()));
    p_.face.SetVariable(Var(kShuffleMode), ShuffleName(mode));
    QueueNext();
}

void PlayerWindow::PlayNext(int row) {
    if (!list_.contains(row))
        return;
    order_.Enqueue(list_.id(row));
    SendChanges({row});
    QueueNext();
}

void PlayerWindow::Heard(int row, bool back) {
    const QList<int> before = order_.queue();
    order_.Heard(list_.id(row), back);
    if (order_.queue() == before)
        return;
    // A queued row heard leaves the queue: it and the rows after it show their new places.
    std::vector<int> changed;
    for (const int id : before)
        changed.push_back(list_.rowOf(id));
    SendChanges(changed);
}

int PlayerWindow::RowAfter(int row) const {
    return velune::RowAfter(order_, list_, row, repeatOn_);
}

// Saving -------------------------------------------------------------------------------

void PlayerWindow::SaveList(const QString& chosen, const QString& type) {
    if (chosen.isEmpty() || list_.isEmpty())
        return;
    QString path = chosen;
    // A name given with its extension was asked about by the dialog already.
    const bool named = IsPlaylistFile(path);
    if (!named) {
        const QString extension = type.isEmpty() ? QStringLiteral("m3u8") : type.toLower();
        path += u'.' + extension;
        if (!IsPlaylistFile(path))
            path = chosen + QStringLiteral(".m3u8");
    }
    WriteList(path, named);
}

void PlayerWindow::WriteList(const QString& path, bool replace) {
    QList<PlaylistEntry> entries;
    for (const QString& row : list_.rows()) {
        const RowTags tags = tags_.value(row);
        // A station is saved by its name alone: the song it played is no part of it.
        entries.append({row, tags.lengthMs, IsStreamAddress(row) ? QString() : tags.shownArtist(),
                        tags.title});
    }
    p_.background.Run([this, path, replace, entries]() -> Background::Then {
        if (!replace && NameTaken(path))
            return [this, path] {
                p_.messages.Ask(QStringLiteral("'%1' exists. Replace it?").arg(Readable(path)),
                                [this, path](bool yes) {
                                    if (yes)
                                        WriteList(path, true);
                                });
            };
        QString error;
        if (WritePlaylistFile(path, entries, error))
            return [] {};
        return [this, path, error] {
            qCWarning(lcPlayer) << "cannot save the playlist" << path << error;
            Tell(QStringLiteral("The playlist '%1' could not be saved: %2")
                     .arg(Readable(path), error));
        };
    });
}

} // namespace velune
