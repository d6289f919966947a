// k8w-cli sync: this data folder's copy of a shared base renewed, and the
// programming results that waited on this computer sent to the server.
#include "cli/cli_card_store.h"
#include "cli/cli_commands.h"
#include "cli/cli_output.h"

#include "cards/card_table.h"
#include "common/day_date.h"

namespace k8w::cli {
namespace {

QString noticeLine(const ProgrammingNotice& n) {
    static const QString kinds[] = {QStringLiteral("sent"), QStringLiteral("sent, card deleted meanwhile"),
                                    QStringLiteral("unfinished, nothing recorded"), QStringLiteral("waiting")};
    return QStringList{kinds[static_cast<int>(n.kind)], QStringLiteral("row %1").arg(n.slot + 1),
                       fromDayDate(n.at).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))}
        .join(QLatin1Char('\t'));
}

} // namespace

int runSync(const Options& options) {
    const auto store = openCardStore(options);
    if (!store) return kExitFailed;
    // Reading the whole base renews the copy.
    if (!loadCards(*store)) return kExitFailed;
    std::vector<ProgrammingNotice> notices;
    const CardStoreResult sent = store->sendWaitingResults(notices);
    bool waiting = false;
    for (const ProgrammingNotice& n : notices) {
        printLine(noticeLine(n));
        waiting = waiting || n.kind == ProgrammingNotice::Kind::Waiting;
    }
    if (!sent.ok()) printError(storeResultText(sent));
    return waiting || !sent.ok() ? kExitFailed : kExitOk;
}

} // namespace k8w::cli
