#include "store/card_restore.h"

#include "store/card_backup.h"
#include "store/card_file.h"
#include "cards/card_table.h"

namespace k8w {

CardUpdateResult RestoreCardFile(const QString& fileName, const QString& backupPath,
                                 const std::vector<int>* slotList, int lockWaitMs) {
    auto saved = CardTable::create();
    if (const QString error = LoadCardBackup(backupPath, *saved); !error.isEmpty())
        return {CardUpdateStatus::Refused, error};
    const CardChange change = [&](CardTable& table) {
        BackupBeforeChange(fileName, BackupWhen::Always);
        if (!slotList) {
            table.cards = saved->cards;
            table.cardTemplate = saved->cardTemplate;
            return QString();
        }
        for (const int slot : *slotList) table.cards[static_cast<std::size_t>(slot)] = saved->cards[static_cast<std::size_t>(slot)];
        return QString();
    };
    CardUpdateResult result = UpdateCardFile(fileName, change, lockWaitMs);
    if (result.status != CardUpdateStatus::Unreadable || slotList) return result;

    // The file is gone or damaged: a whole restore writes it anew.
    CardBaseLock lock(fileName);
    if (lock.acquire(lockWaitMs) != CardBaseLock::Result::Held)
        return {CardUpdateStatus::Locked, QStringLiteral("the database is open in another program: %1").arg(fileName)};
    BackupBeforeChange(fileName, BackupWhen::Always);
    if (const QString error = WriteCardFile(fileName, saved->cards.data(), kCardCapacity, saved->cardTemplate);
        !error.isEmpty())
        return {CardUpdateStatus::SaveFailed, error};
    return {};
}

} // namespace k8w
