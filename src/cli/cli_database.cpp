#include "cli/cli_database.h"

#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "store/card_base.h"
#include "store/card_file.h"
#include "cards/card_table.h"

namespace k8w::cli {

std::unique_ptr<CardTable> loadDatabase(const QString& fileName) {
    auto table = CardTable::create();
    CardLoadOutcome outcome = CardLoadOutcome::Missing;
    if (LoadCardFile(fileName, table->cards.data(), kCardCapacity, table->cardTemplate, &outcome))
        return table;
    printError(CardLoadFailureText(outcome, fileName));
    return nullptr;
}

bool databaseReadyForWriting(const QString& fileName) {
    CardBaseLock lock(fileName);
    CardBaseLock::Result state = lock.acquire(0);
    // Another command rewrites the file for a moment; the window keeps it.
    if (state == CardBaseLock::Result::HeldByOther && !lock.heldByWindow()) state = lock.acquire(kLockWaitMs);
    switch (state) {
    case CardBaseLock::Result::Held:
        break;
    case CardBaseLock::Result::HeldByOther:
        printError(QStringLiteral("the database is open in %1; close it first (nothing was sent or written): %2")
                       .arg(lock.holderText(), fileName));
        return false;
    case CardBaseLock::Result::NoAccess:
    case CardBaseLock::Result::Failed:
        printError(QStringLiteral("cannot lock the database (cannot create %1); nothing was sent or written")
                       .arg(lock.lockFilePath()));
        return false;
    }
    lock.release();
    if (const QString problem = CheckCardFileWritable(fileName); !problem.isEmpty()) {
        printError(QStringLiteral("the database could not be rewritten, so nothing was sent: %1").arg(problem));
        return false;
    }
    return true;
}

int reportUpdate(const CardUpdateResult& result, int saveFailedStatus) {
    if (result.status == CardUpdateStatus::Saved) return kExitOk;
    printError(result.reason);
    return result.status == CardUpdateStatus::SaveFailed ? saveFailedStatus : kExitBadInput;
}

int cardSlotOfRow(const Options& options, const CardTable& table, const QString& freeRowText) {
    bool isNumber = false;
    const int row = options.value(QStringLiteral("--row")).toInt(&isNumber);
    if (!isNumber || row < 1 || row > kCardCapacity) {
        printError(QStringLiteral("row must be a number from 1 to %1").arg(kCardCapacity));
        return -1;
    }
    if (!isCardInUse(table.cards[row - 1])) {
        printError(freeRowText);
        return -1;
    }
    return row - 1;
}

int lockWaitFor(const QString& dbName) {
    CardBaseLock probe(dbName);
    const bool window = probe.acquire(0) == CardBaseLock::Result::HeldByOther && probe.heldByWindow();
    return window ? 0 : kLockWaitMs;
}

} // namespace k8w::cli
