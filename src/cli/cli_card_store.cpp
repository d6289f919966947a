#include "cli/cli_card_store.h"

#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "store/card_file.h"  // the default file name, where the base is chosen
#include "cards/card_table.h"

namespace k8w::cli {

std::unique_ptr<CardStore> openCardStore(const Options& options, bool orCopy) {
    const QString base = QStringLiteral("--base");
    if (options.has(base) && options.has(QStringLiteral("--db"))) {
        printError(QStringLiteral("give either --db or --base, not both"));
        return nullptr;
    }
    const QString location =
        options.has(base) ? options.value(base) : options.value(QStringLiteral("--db"), kCardFileName);
    if (options.has(base) && !IsCardBaseUri(location)) {
        printError(QStringLiteral("--base takes a postgresql:// or postgres:// URI, not %1")
                       .arg(CardBaseUriForDisplay(location)));
        return nullptr;
    }
    QString error;
    auto store = OpenCardStore(location, CardFileAccess::PerChange, &error);
    if (store) return store;
    QDateTime renewedAt;
    if (orCopy && (store = OpenCardBaseCopy(location, &renewedAt))) {
        printError(QStringLiteral("no connection to the shared card base (%1); working on this computer's copy of "
                                  "it from %2")
                       .arg(error, renewedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
        return store;
    }
    printError(QStringLiteral("cannot open the shared card base %1: %2").arg(CardBaseUriForDisplay(location), error));
    return nullptr;
}

std::unique_ptr<CardTable> loadCards(CardStore& store, std::vector<CardRevision>* revisions) {
    auto table = CardTable::create();
    std::vector<CardRevision> own;
    const CardStoreResult loaded = store.loadAll(*table, revisions ? *revisions : own);
    if (loaded.ok()) return table;
    reportStoreResult(loaded, kExitBadInput);
    return nullptr;
}

std::unique_ptr<CardTable> loadCards(const Options& options) {
    const auto store = openCardStore(options);
    return store ? loadCards(*store) : nullptr;
}

int changeCard(CardStore& store, int slot, const CardEdit& edit, const QString& kind, int notStoredStatus,
               Card* changed) {
    const CardStoreResult result = store.updateCard(slot, edit, kind);
    if (result.ok() && changed) *changed = result.current.card;
    return reportStoreResult(result, notStoredStatus);
}

namespace {

bool readyOrSay(const CardStore& store, const CardStoreResult& ready) {
    if (ready.ok()) return true;
    printError(QStringLiteral("the result could not be recorded in %1, so nothing was sent: %2")
                   .arg(store.location(), storeResultText(ready)));
    return false;
}

} // namespace

bool storeReadyForWriting(CardStore& store) { return readyOrSay(store, store.checkWritable()); }

bool beginProgramming(CardStore& store, int slot, ProgrammingAttempt& attempt) {
    return readyOrSay(store, store.beginProgramming(slot, attempt));
}

QString storeResultText(const CardStoreResult& result) {
    switch (result.status) {
    case CardStoreStatus::Done:
        return {};
    case CardStoreStatus::ConnectionLost:
        return QStringLiteral("no connection to the shared card base: %1").arg(result.reason);
    case CardStoreStatus::ReadOnly:
        return QStringLiteral("this user may not change the shared card base");
    case CardStoreStatus::CodeTaken:
        return QStringLiteral("another card in use has this device code");
    default:
        return result.reason;
    }
}

int reportStoreResult(const CardStoreResult& result, int notStoredStatus) {
    if (result.ok()) return kExitOk;
    printError(storeResultText(result));
    const bool notStored =
        result.status == CardStoreStatus::ConnectionLost || result.status == CardStoreStatus::SaveFailed;
    return notStored ? notStoredStatus : kExitBadInput;
}

} // namespace k8w::cli
