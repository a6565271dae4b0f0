#include "instance_lock.h"

#include <QDir>
#include <QStandardPaths>

namespace velune {

UserInstanceLock::UserInstanceLock(const QString& programName) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    path_ = QDir(folder).filePath(programName + QStringLiteral(".lock"));
}

bool UserInstanceLock::TryLock() {
    if (lock_ && lock_->isLocked())
        return true;
    lock_ = std::make_unique<QLockFile>(path_);
    // Never stale by age: only a holder that is no longer running gives the lock up.
    lock_->setStaleLockTime(0);
    return lock_->tryLock(0);
}

} // namespace velune
