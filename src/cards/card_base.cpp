#include "cards/card_base.h"

#include "cards/card_file.h"
#include "cards/card_table.h"

#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace k8w {
namespace {

// The window program and its demo edition keep the lock for their whole run.
bool isWindowProgram(const QString& appName) {
    return appName == QStringLiteral("k8w-prog") || appName == QStringLiteral("k8w-prog-demo");
}

// The lock of one database, whatever path names it: beside the file itself.
QString lockPathFor(const QString& databaseFileName) {
    const QFileInfo info(databaseFileName);
    const QString canonical = info.canonicalFilePath();
    return (canonical.isEmpty() ? info.absoluteFilePath() : canonical) + QStringLiteral(".lock");
}

constexpr qint64 kFullCopyBytes = 9001LL * static_cast<qint64>(kCardSize);

} // namespace

CardBaseLock::CardBaseLock(const QString& databaseFileName)
    : lock_(std::make_unique<QLockFile>(lockPathFor(databaseFileName))) {
    // Only a dead holder makes a lock stale: the window holds it all day.
    lock_->setStaleLockTime(0);
}

CardBaseLock::~CardBaseLock() { release(); }

CardBaseLock::Result CardBaseLock::acquire(int waitMs) {
    if (held_) return Result::Held;
    held_ = lock_->tryLock(waitMs);
    if (held_) return Result::Held;
    switch (lock_->error()) {
    case QLockFile::LockFailedError:
        return Result::HeldByOther;
    case QLockFile::PermissionError:
        return Result::NoAccess;
    default:
        return Result::Failed;
    }
}

void CardBaseLock::release() {
    if (!held_) return;
    lock_->unlock();
    held_ = false;
}

QString CardBaseLock::holderText() const {
    qint64 pid = 0;
    QString host;
    QString app;
    if (!lock_->getLockInfo(&pid, &host, &app)) return {};
    return QStringLiteral("%1, process %2").arg(app.isEmpty() ? QStringLiteral("a program") : app).arg(pid);
}

bool CardBaseLock::heldByWindow() const {
    qint64 pid = 0;
    QString host;
    QString app;
    return lock_->getLockInfo(&pid, &host, &app) && isWindowProgram(app);
}

QString CardBaseLock::lockFilePath() const { return lock_->fileName(); }

CardUpdateResult UpdateCardFile(const QString& fileName, const CardChange& change, int lockWaitMs) {
    CardBaseLock lock(fileName);
    switch (lock.acquire(lockWaitMs)) {
    case CardBaseLock::Result::Held:
        break;
    case CardBaseLock::Result::HeldByOther:
        return {CardUpdateStatus::Locked,
                QStringLiteral("the database is open in another program (%1): %2")
                    .arg(lock.holderText(), fileName)};
    case CardBaseLock::Result::NoAccess:
        return {CardUpdateStatus::SaveFailed,
                QStringLiteral("the folder of the database is not writable (cannot create %1)")
                    .arg(lock.lockFilePath())};
    case CardBaseLock::Result::Failed:
        return {CardUpdateStatus::SaveFailed, QStringLiteral("cannot create %1").arg(lock.lockFilePath())};
    }
    auto table = CardTable::create();
    CardLoadOutcome outcome = CardLoadOutcome::Missing;
    if (!LoadCardFile(fileName, table->cards.data(), kCardCapacity, table->cardTemplate, &outcome))
        return {CardUpdateStatus::Unreadable, CardLoadFailureText(outcome, fileName)};
    if (const QString refusal = change(*table); !refusal.isEmpty())
        return {CardUpdateStatus::Refused, refusal};
    if (const QString error = WriteCardFile(fileName, table->cards.data(), kCardCapacity, table->cardTemplate);
        !error.isEmpty())
        return {CardUpdateStatus::SaveFailed, error};
    return {};
}

QString CheckCardFileWritable(const QString& fileName) {
    QString error;
    const QString target = CardFileSaveTarget(fileName, &error);
    if (target.isEmpty()) return error;
    // Reserve the room of a full copy in a file of the save's own naming:
    // this proves the folder takes a new file and the disk has the space.
    QByteArray probe = QFile::encodeName(CardSaveTempPrefix(target) + QStringLiteral("XXXXXX"));
    const int fd = ::mkostemp(probe.data(), O_CLOEXEC);
    if (fd < 0)
        return QStringLiteral("cannot create a file in %1: %2")
            .arg(QFileInfo(target).absolutePath(), QString::fromLocal8Bit(std::strerror(errno)));
    int failure = cardSaveStepAllowed(CardSaveStep::Reserve, 0) ? ::posix_fallocate(fd, 0, kFullCopyBytes)
                                                                : ENOSPC;
    ::close(fd);
    ::unlink(probe.constData());
    if (failure == EINVAL || failure == EOPNOTSUPP) failure = 0;  // no reservation on this file system
    if (failure)
        return QStringLiteral("no room for a new copy of the database (%1 bytes) in %2: %3")
            .arg(kFullCopyBytes)
            .arg(QFileInfo(target).absolutePath(), QString::fromLocal8Bit(std::strerror(failure)));
    return {};
}

} // namespace k8w
