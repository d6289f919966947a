#pragma once
// The lock file of one card database as the operating system keeps it: Qt's
// QLockFile on POSIX, LockFileEx on Windows (a file each). The lock is the
// process's until it lets go or ends; the file names its holder.
#include <QString>

#include <memory>

namespace k8w::cardfs {

class LockFile {
public:
    enum class Outcome { Held, HeldByOther, NoAccess, Failed };

    explicit LockFile(const QString& path);
    ~LockFile();
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    // Tries for up to waitMs milliseconds (0: once).
    Outcome tryLock(int waitMs);
    // Lets go and removes the file.
    void unlock();
    // The holder's process ID and program name as the file gives them; false when unreadable.
    bool holder(qint64* pid, QString* app) const;
    QString path() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace k8w::cardfs
