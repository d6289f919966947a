// k8w-cli export, import and decode: cards and device images as text.
#include "cli/cli_card_store.h"
#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "cli/cli_output.h"

#include "cards/card_csv.h"
#include "cards/card_json.h"
#include "cards/card_members.h"
#include "cards/card_table.h"
#include "cards/image_json.h"
#include "cards/row_list.h"
#include "common/day_date.h"
#include "editor/card_import.h"

#include <QFile>
#include <QSaveFile>

#include <cstdio>

namespace k8w::cli {
namespace {

// Writes `data` to --out FILE (replacing it whole) or to standard output.
bool writeOutput(const Options& options, const QByteArray& data) {
    const QString out = QStringLiteral("--out");
    if (!options.has(out)) {
        const bool ok = std::fwrite(data.constData(), 1, static_cast<std::size_t>(data.size()), stdout) ==
                        static_cast<std::size_t>(data.size());
        return std::fflush(stdout) == 0 && ok;
    }
    QSaveFile file(options.value(out));
    if (file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit()) return true;
    printError(QStringLiteral("cannot write %1").arg(options.value(out)));
    return false;
}

void printFailures(const QStringList& failures) {
    for (const QString& failure : failures) printError(fieldForLine(failure));
}

QString importSummary(const CardImportResult& result, bool dryRun) {
    QString text = QStringLiteral("%1 %2 changed, %3 unchanged")
                       .arg(result.changedSlots.size())
                       .arg(result.changedSlots.size() == 1 ? QStringLiteral("card") : QStringLiteral("cards"))
                       .arg(result.unchanged);
    if (result.templateRenewed) text += QStringLiteral(", the new-card template renewed");
    return dryRun ? QStringLiteral("checked, nothing written: ") + text : text;
}

// Checks the cards of the file against the newest cards of the base and,
// unless it is a dry run, stores them as one change (a file base backed up
// first, a shared base keeping each card replaced in its history).
int importCards(const Options& options, const QByteArray& json, bool renewTemplate) {
    const auto store = openCardStore(options);
    if (!store) return kExitBadInput;
    const bool dryRun = options.has(QStringLiteral("--dry-run"));
    CardImportResult result;
    CardStoreResult stored;
    if (dryRun) {
        const auto table = loadCards(*store);
        if (!table) return kExitBadInput;
        result = ImportCards(json, *table, renewTemplate, dayDateNow());
    } else {
        stored = store->updateAll(
            [&](CardTable& table) {
                result = ImportCards(json, table, renewTemplate, dayDateNow());
                return result.failures.isEmpty() ? QString()
                                                 : QStringLiteral("the import is refused; nothing was written");
            },
            QStringLiteral("import"));
    }
    printFailures(result.failures);
    if (!result.failures.isEmpty()) return kExitBadInput;
    if (const int status = reportStoreResult(stored, kExitFailed); status != kExitOk) return status;
    printLine(importSummary(result, dryRun));
    return kExitOk;
}

} // namespace

int runExport(const Options& options) {
    QString error;
    const auto rows = ParseRowList(options.value(QStringLiteral("--rows"), QStringLiteral("all")), &error);
    if (!rows) {
        printError(error);
        return kExitBadInput;
    }
    const QString format = options.value(QStringLiteral("--format"), QStringLiteral("json"));
    if (format != QStringLiteral("json") && format != QStringLiteral("csv")) {
        printError(QStringLiteral("--format must be json or csv"));
        return kExitBadInput;
    }
    const auto table = loadCards(options);  // the file of --db, or the shared base of --base
    if (!table) return kExitBadInput;
    for (const int slot : *rows) {
        const Card& card = table->cards[static_cast<std::size_t>(slot)];
        if (isCardInUse(card) && HasReservedBytes(card))
            printError(QStringLiteral("row %1: its reserved bytes are not zero; they are not exported").arg(slot + 1));
    }
    const QByteArray data = format == QStringLiteral("csv") ? ExportCardsCsv(*table, *rows) : ExportCardsJson(*table, *rows);
    return writeOutput(options, data) ? kExitOk : kExitBadInput;
}

int runImport(const Options& options) {
    if (options.operands().size() != 1) {
        printError(QStringLiteral("import takes one FILE: the cards as export writes them"));
        return kExitBadInput;
    }
    const QString fileName = options.operands().front();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        printError(QStringLiteral("cannot read %1").arg(fileName));
        return kExitBadInput;
    }
    return importCards(options, file.readAll(), options.has(QStringLiteral("--template")));
}

int runDecode(const Options& options) {
    ConfigImage image{};
    if (const QString error = ReadImageFile(options.value(QStringLiteral("--image")), image); !error.isEmpty()) {
        printError(error);
        return kExitBadInput;
    }
    return writeOutput(options, DecodeImageJson(image)) ? kExitOk : kExitBadInput;
}

} // namespace k8w::cli
