#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace velune {

// Tells whether this is the only running copy of a program for this user.
class InstanceLock {
public:
    virtual ~InstanceLock() = default;
    // True when no other copy holds the lock; the lock is then held until the process ends.
    virtual bool TryLock() = 0;
};

// A lock file in the user's runtime folder, named after the program. A lock left
// by a process that has died is taken over.
class UserInstanceLock : public InstanceLock {
public:
    explicit UserInstanceLock(const QString& programName);
    bool TryLock() override;
    QString path() const { return path_; }

private:
    QString path_;
    std::unique_ptr<QLockFile> lock_;
};

} // namespace velune
