// k8w-cli base-init, base-copy and history: setting up a shared card base,
// moving a whole base between a file and a server, and a card's versions.
#include "cli/cli_card_store.h"
#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "cli/cli_row_card.h"

#include "cards/card_table.h"
#include "common/cp1251.h"

namespace k8w::cli {
namespace {

const QString kBase = QStringLiteral("--base");

// A base named on the command line with an option of its own.
std::unique_ptr<CardStore> openNamed(const QString& location) {
    QString error;
    auto store = OpenCardStore(location, CardFileAccess::PerChange, &error);
    if (!store) printError(QStringLiteral("cannot open %1: %2").arg(CardBaseUriForDisplay(location), error));
    return store;
}

} // namespace

int runBaseInit(const Options& options) {
    const QString uri = options.value(kBase);
    if (!IsCardBaseUri(uri)) {
        printError(QStringLiteral("--base takes a postgresql:// or postgres:// URI"));
        return kExitBadInput;
    }
    InitOutcome outcome = InitOutcome::Unchanged;
    if (const QString error = InitSharedCardBase(uri, &outcome); !error.isEmpty()) {
        printError(QStringLiteral("cannot create the card base in %1: %2").arg(CardBaseUriForDisplay(uri), error));
        return kExitBadInput;
    }
    const QString shown = CardBaseUriForDisplay(uri);
    printLine(outcome == InitOutcome::Created    ? QStringLiteral("created the card base in %1").arg(shown)
              : outcome == InitOutcome::Upgraded ? QStringLiteral("upgraded the card base in %1").arg(shown)
                                                 : QStringLiteral("%1 holds a card base already; nothing changed").arg(shown));
    return kExitOk;
}

int runBaseCopy(const Options& options) {
    const auto from = openNamed(options.value(QStringLiteral("--from")));
    if (!from) return kExitBadInput;
    const auto table = loadCards(*from);
    if (!table) return kExitBadInput;
    const auto to = openNamed(options.value(QStringLiteral("--to")));
    if (!to) return kExitBadInput;
    bool targetHasCards = false;
    if (const CardStoreResult checked = to->hasCards(targetHasCards); !checked.ok())
        return reportStoreResult(checked, kExitBadInput);
    if (targetHasCards && !options.has(QStringLiteral("--force"))) {
        printError(QStringLiteral("%1 holds cards already; give --force to replace them").arg(to->location()));
        return kExitBadInput;
    }
    if (const int status = reportStoreResult(to->replaceAll(*table), kExitBadInput); status != kExitOk)
        return status;
    int inUse = 0;
    for (const Card& card : table->cards) inUse += isCardInUse(card) ? 1 : 0;
    printLine(QStringLiteral("copied %1 cards and the new-card template from %2 to %3")
                  .arg(inUse)
                  .arg(from->location(), to->location()));
    return kExitOk;
}

int runHistory(const Options& options) {
    const auto store = openCardStore(options);
    if (!store) return kExitBadInput;
    const int slot = slotOfRow(options);
    if (slot < 0) return kExitBadInput;
    if (!store->keepsHistory()) {
        printError(QStringLiteral("a database file keeps no earlier versions; history needs --base"));
        return kExitBadInput;
    }
    std::vector<CardVersion> versions;
    if (const int status = reportStoreResult(store->history(slot, versions), kExitBadInput); status != kExitOk)
        return status;
    for (const CardVersion& v : versions)
        printLine(QStringList{QString::number(v.revision), v.changedAt.toString(Qt::ISODate), v.changedBy, v.kind,
                              isCardInUse(v.card) ? QString::number(v.card.codeUoo) : QString(),
                              fieldForLine(fieldText(v.card.cardNumber))}
                      .join(QLatin1Char('\t')));
    return kExitOk;
}

} // namespace k8w::cli
