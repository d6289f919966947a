#include "store/journal_sync.h"

#include "cards/programming_result.h"

namespace k8w {
namespace {

bool alreadyRecorded(const Card& card, const JournalEntry& e) {
    return card.progId == e.checksum && card.progDate == e.programmedAt;
}

} // namespace

QString JournalProgramKind(CardRevision revision) {
    return QStringLiteral("program of revision %1").arg(revision);
}

CardRevision JournalProgrammedRevision(const QString& kind) {
    const QString prefix = JournalProgramKind(0).chopped(1);
    if (!kind.startsWith(prefix)) return -1;
    bool ok = false;
    const CardRevision revision = kind.mid(prefix.size()).toLongLong(&ok);
    return ok ? revision : -1;
}

JournalSyncReport SyncJournal(CardStore& server, ProgrammingJournal& journal) {
    JournalSyncReport report;
    std::vector<QString> done;
    for (const JournalEntry& e : journal.entries()) {
        if (e.state == JournalEntry::State::Begun) {
            if (journal.isRunning(e)) continue;
            report.unfinished.push_back(e);
            done.push_back(e.id);
            continue;
        }
        if (e.state != JournalEntry::State::Programmed) continue;
        if (report.waiting > 0) {
            ++report.waiting;
            continue;
        }
        bool wasDeleted = false;
        const CardStoreResult sent = server.updateCard(
            e.slot,
            [&](Card& card) {
                if (alreadyRecorded(card, e)) return QStringLiteral("already recorded");
                // A card deleted meanwhile stays free; the result goes into its history.
                wasDeleted = !isCardInUse(card);
                RecordProgramming(card, e.checksum, e.programmedAt);
                return QString();
            },
            JournalProgramKind(e.revision));
        if (sent.ok() || sent.status == CardStoreStatus::Refused) {
            report.sent.push_back(e);
            if (wasDeleted) report.deleted.push_back(e);
            done.push_back(e.id);
        } else {
            report.failure = sent;
            ++report.waiting;
        }
    }
    QString error;
    if (!journal.remove(done, &error) && report.failure.ok()) report.failure = {CardStoreStatus::SaveFailed, error, {}};
    return report;
}

} // namespace k8w
