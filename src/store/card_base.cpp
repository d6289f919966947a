#include "store/card_base.h"

#include "store/card_file.h"
#include "store/card_lock_file.h"
#include "cards/card_table.h"

#include <QFile>
#include <QFileInfo>

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

} // namespace

CardBaseLock::CardBaseLock(const QString& databaseFileName)
    : lock_(std::make_unique<cardfs::LockFile>(lockPathFor(databaseFileName))) {}

CardBaseLock::~CardBaseLock() { release(); }

CardBaseLock::Result CardBaseLock::acquire(int waitMs) {
    if (held_) return Result::Held;
    switch (lock_->tryLock(waitMs)) {
    case cardfs::LockFile::Outcome::Held:
        held_ = true;
        return Result::Held;
    case cardfs::LockFile::Outcome::HeldByOther:
        return Result::HeldByOther;
    case cardfs::LockFile::Outcome::NoAccess:
        return Result::NoAccess;
    case cardfs::LockFile::Outcome::Failed:
        break;
    }
    return Result::Failed;
}

void CardBaseLock::release() {
    if (!held_) return;
    lock_->unlock();
    held_ = false;
}

CardBaseLock::Holder CardBaseLock::holder() const {
    Holder who;
    if (!lock_->holder(&who.pid, &who.app)) who = {};
    return who;
}

QString CardBaseLock::holderText() const {
    const Holder who = holder();
    if (who.pid == 0) return {};
    return QStringLiteral("%1, process %2").arg(who.app.isEmpty() ? QStringLiteral("a program") : who.app).arg(who.pid);
}

bool CardBaseLock::heldByWindow() const { return isWindowProgram(holder().app); }

QString CardBaseLock::lockFilePath() const { return lock_->path(); }

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

} // namespace k8w
