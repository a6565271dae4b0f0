#include "publish.h"
#include "system_names.h"

#include <QLoggingCategory>
#include <QRegularExpression>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcFiles, "velune.files", QtCriticalMsg)

namespace velune {

namespace {

constexpr int kDefaultNameLimit = 255;
const QString kTemporaryMark = QStringLiteral(".velune-");
const QString kTemporaryEnd = QStringLiteral(".part");

QString SystemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

std::atomic<quint64> gSerial{0};

// This machine, as a number in our temporaries' names: folders shared over the
// network hold other machines' runs, whose process numbers mean nothing here.
const QString& HostNumber() {
    static const QString number = [] {
        char name[256] = {};
        ::gethostname(name, sizeof name - 1);
        return QString::number(qHash(QByteArray(name), 0x5eed) % 1000000);
    }();
    return number;
}

} // namespace

QString FitName(const QString& name, int bytes) {
    QString fitted = name;
    while (!fitted.isEmpty() && SystemName(fitted).size() > bytes) {
        fitted.chop(1);
        if (!fitted.isEmpty() && fitted.back().isHighSurrogate())
            fitted.chop(1);
    }
    return fitted;
}

int NameLimit(const QString& folder) {
    const long limit = ::pathconf(SystemName(folder).constData(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<int>(limit) : kDefaultNameLimit;
}

QString ReserveTemporary(const QString& output, QString& error) {
    const QString folder = FolderOf(output);
    const int limit = NameLimit(folder);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString tail =
            kTemporaryMark +
            QStringLiteral("%1-%2-%3").arg(HostNumber()).arg(getpid()).arg(++gSerial) +
            kTemporaryEnd;
        const int room = limit - 1 - static_cast<int>(tail.size());
        const QString name = QLatin1Char('.') +
                             FitName(output.mid(output.lastIndexOf(QLatin1Char('/')) + 1), room) +
                             tail;
        QString path = folder + QLatin1Char('/') + name;
        const int fd =
            ::open(SystemName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST) {
            error = SystemReason(errno);
            qCWarning(lcFiles) << "cannot create a file in" << folder << error;
            return {};
        }
    }
    error = SystemReason(EEXIST);
    return {};
}

namespace {

// fsync of whatever `path` names, opened with `flags`.
bool SyncPath(const QString& path, int flags, QString& error) {
    const int fd = ::open(SystemName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0) {
        error = SystemReason(errno);
        return false;
    }
    const bool synced = ::fsync(fd) == 0;
    if (!synced)
        error = SystemReason(errno);
    else if ((flags & O_DIRECTORY) == 0)
        // What is read back next comes from the disk, not from what was just written.
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
    if (!synced)
        qCWarning(lcFiles) << "cannot sync" << path << error;
    return synced;
}

} // namespace

bool SyncFile(const QString& path, QString& error) {
    return SyncPath(path, O_RDONLY, error);
}

bool SyncFolder(const QString& folder, QString& error) {
    return SyncPath(folder, O_RDONLY | O_DIRECTORY, error);
}

bool RemoveDurably(const QString& path, QString& error) {
    if (::unlink(SystemName(path).constData()) != 0) {
        error = SystemReason(errno);
        qCWarning(lcFiles) << "cannot remove" << path << error;
        return false;
    }
    return SyncFolder(FolderOf(path), error);
}

bool WriteFileDurably(const QString& path, const QByteArray& bytes, QString& error) {
    const QString temp = ReserveTemporary(path, error);
    if (temp.isEmpty())
        return false;
    const int fd = ::open(SystemName(temp).constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    int reason = fd < 0 ? errno : 0;
    for (qsizetype done = 0; fd >= 0 && reason == 0 && done < bytes.size();) {
        const ssize_t wrote = ::write(fd, bytes.constData() + done, bytes.size() - done);
        if (wrote > 0)
            done += wrote;
        else if (wrote == 0 || errno != EINTR)
            reason = wrote == 0 ? EIO : errno;
    }
    if (fd >= 0 && reason == 0 && ::fsync(fd) != 0)
        reason = errno;
    if (fd >= 0 && ::close(fd) != 0 && reason == 0)
        reason = errno;
    if (reason == 0 && ::rename(SystemName(temp).constData(), SystemName(path).constData()) != 0)
        reason = errno;
    if (reason != 0) {
        error = SystemReason(reason);
        qCWarning(lcFiles) << "cannot write" << path << error;
        RemoveFile(temp);
        return false;
    }
    return SyncFolder(FolderOf(path), error);
}

bool PublishNoReplace(const QString& temp, const QString& output, QString& error, bool* durable) {
    if (!SyncFile(temp, error))
        return false;
    const QByteArray from = SystemName(temp);
    const QByteArray to = SystemName(output);
    const auto named = [&] {
        const bool synced = SyncFolder(FolderOf(output), error);
        if (durable)
            *durable = synced;
        return true;
    };
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return named();
    int reason = errno;
    if (reason == EINVAL || reason == ENOSYS) {
        // File systems without an exclusive rename: a hard link fails on an existing name too.
        if (::link(from.constData(), to.constData()) == 0) {
            ::unlink(from.constData());
            return named();
        }
        reason = errno;
    }
    error = reason == EEXIST ? QStringLiteral("%1 appeared meanwhile and was kept").arg(output)
                             : SystemReason(reason);
    qCWarning(lcFiles) << "cannot name" << output << error;
    return false;
}

int RemoveStaleTemporaries(const QString& folder) {
    // ".<name>.velune-<host>-<pid>-<serial>.part"; earlier versions named no host.
    static const QRegularExpression ours(
        QStringLiteral("^\\..*\\.velune-(?:(\\d+)-)?(\\d+)-\\d+\\.part$"));
    int removed = 0;
    for (const auto& entry : FolderEntries(SystemPath(folder))) {
        std::error_code kind;
        if (!std::filesystem::is_regular_file(entry, kind))
            continue;
        const QString name = PathFromSystem(entry.filename());
        const auto match = ours.match(name);
        if (!match.hasMatch())
            continue;
        // A run on another machine sharing the folder is none of ours to judge.
        const QString host = match.captured(1);
        const pid_t pid = match.captured(2).toInt();
        if ((!host.isEmpty() && host != HostNumber()) || pid <= 0 || pid == getpid() ||
            ::kill(pid, 0) == 0 || errno != ESRCH)
            continue;
        if (RemoveFile(folder + QLatin1Char('/') + name))
            ++removed;
        else
            qCWarning(lcFiles) << "cannot remove the leftover" << name << "in" << folder;
    }
    return removed;
}

std::optional<FileIdentity> IdentityOf(const QString& path) {
    struct stat st {};
    if (::stat(SystemName(path).constData(), &st) != 0)
        return std::nullopt;
    return FileIdentity{st.st_dev, st.st_ino, st.st_size,
                        static_cast<qint64>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

bool IsOurTemporary(const QString& name) {
    // ".<name>.velune-[<host>-]<pid>-<serial>.part"; the name itself may hold any bytes.
    if (!name.startsWith(QLatin1Char('.')) || !name.endsWith(kTemporaryEnd))
        return false;
    const QString rest = name.left(name.size() - kTemporaryEnd.size());
    const qsizetype mark = rest.lastIndexOf(kTemporaryMark);
    if (mark < 1)
        return false;
    int dashes = 0;
    bool digit = false; // a digit since the start of the numbers or the dash
    for (const QChar c : QStringView(rest).mid(mark + kTemporaryMark.size())) {
        if (c == u'-' && digit && dashes < 2) {
            ++dashes;
            digit = false;
        } else if (c >= u'0' && c <= u'9') {
            digit = true;
        } else {
            return false;
        }
    }
    return dashes >= 1 && digit;
}

} // namespace velune
