// k8w-cli backups and restore: the backups of the card file, and the kept
// versions of a card of a shared base.
#include "cli/cli_card_store.h"
#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "cli/cli_row_card.h"

#include "store/card_backup.h"
#include "cards/card_table.h"
#include "cards/row_list.h"
#include "common/cp1251.h"

#include <QFileInfo>

#include <algorithm>

namespace k8w::cli {
namespace {

int cardsInUse(const CardTable& table) {
    return static_cast<int>(std::count_if(table.cards.begin(), table.cards.end(), isCardInUse));
}

// --row N --revision R: that version of the card becomes current again, as a
// change of its own (kept in the history too); a deleted card comes back.
int restoreRevision(const Options& options) {
    const auto store = openCardStore(options);
    if (!store) return kExitBadInput;
    if (!store->keepsHistory()) {
        printError(QStringLiteral("a database file keeps no earlier versions; --revision needs --base"));
        return kExitBadInput;
    }
    const int slot =
        slotOfRow(options, QStringLiteral("--revision needs --row N, a number from 1 to %1").arg(kCardCapacity));
    if (slot < 0) return kExitBadInput;
    bool revisionOk = false;
    const qint64 revision = options.value(QStringLiteral("--revision")).toLongLong(&revisionOk);
    if (!revisionOk || revision < 1) {
        printError(QStringLiteral("--revision must be a revision number that history lists"));
        return kExitBadInput;
    }
    const CardStoreResult restored = store->restore(slot, revision);
    if (const int status = reportStoreResult(restored, kExitBadInput); status != kExitOk) return status;
    printLine(QStringLiteral("row %1 is revision %2 again (now revision %3): %4")
                  .arg(slot + 1)
                  .arg(revision)
                  .arg(restored.current.revision)
                  .arg(fieldText(restored.current.card.cardNumber)));
    return kExitOk;
}

} // namespace

int runBackups(const Options& options) {
    const auto store = openCardStore(options);
    if (!store) return kExitBadInput;
    std::vector<CardBackup> backups;
    if (const int status = reportStoreResult(store->listBackups(backups), kExitBadInput); status != kExitOk)
        return status;
    auto table = CardTable::create();
    for (const CardBackup& backup : backups) {
        const QString error = LoadCardBackup(backup.path, *table);
        printLine(QStringList{backup.name, backup.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                              error.isEmpty() ? QString::number(cardsInUse(*table)) : QStringLiteral("damaged")}
                      .join(QLatin1Char('\t')));
    }
    return kExitOk;
}

// --from BACKUP [--rows LIST]: cards of a backup brought back under the lock.
int runRestore(const Options& options) {
    if (options.has(QStringLiteral("--revision"))) return restoreRevision(options);
    const QString from = QStringLiteral("--from");
    if (!options.has(from) || options.has(QStringLiteral("--base"))) {
        printError(QStringLiteral("give --from BACKUP (a database file), or --row N --revision R (a shared base)"));
        return kExitBadInput;
    }
    std::optional<std::vector<int>> rows;
    if (options.has(QStringLiteral("--rows"))) {
        QString error;
        rows = ParseRowList(options.value(QStringLiteral("--rows")), &error);
        if (!rows) {
            printError(error);
            return kExitBadInput;
        }
    }
    const auto store = openCardStore(options);
    if (!store) return kExitBadInput;
    // A backup is named by its path, or by its name as backups lists it.
    const CardStoreResult result = store->restoreBackup(options.value(from), rows ? &*rows : nullptr);
    if (result.status == CardStoreStatus::NotFound) {
        printError(QStringLiteral("%1 (k8w-cli backups lists them)").arg(storeResultText(result)));
        return kExitBadInput;
    }
    if (const int status = reportStoreResult(result, kExitFailed); status != kExitOk) return status;
    const QString name = QFileInfo(options.value(from)).fileName();
    printLine(rows ? QStringLiteral("%1 rows restored from %2").arg(rows->size()).arg(name)
                   : QStringLiteral("the whole base restored from %1").arg(name));
    return kExitOk;
}

} // namespace k8w::cli
