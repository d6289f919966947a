#include "store/card_lock_file.h"

#include <QLockFile>

namespace k8w::cardfs {

struct LockFile::Impl {
    explicit Impl(const QString& path) : lock(path) {}
    QLockFile lock;
};

LockFile::LockFile(const QString& path) : impl_(std::make_unique<Impl>(path)) {
    // Only a dead holder makes a lock stale: the window holds it all day.
    impl_->lock.setStaleLockTime(0);
}

LockFile::~LockFile() = default;

LockFile::Outcome LockFile::tryLock(int waitMs) {
    if (impl_->lock.tryLock(waitMs)) return Outcome::Held;
    switch (impl_->lock.error()) {
    case QLockFile::LockFailedError:
        return Outcome::HeldByOther;
    case QLockFile::PermissionError:
        return Outcome::NoAccess;
    default:
        return Outcome::Failed;
    }
}

void LockFile::unlock() { impl_->lock.unlock(); }

bool LockFile::holder(qint64* pid, QString* app) const {
    QString host;
    return impl_->lock.getLockInfo(pid, &host, app);
}

QString LockFile::path() const { return impl_->lock.fileName(); }

} // namespace k8w::cardfs
