#pragma once
// Programming results that waited in the journal, sent to the server.
#include "store/programming_journal.h"

#include <vector>

namespace k8w {

struct JournalSyncReport {
    std::vector<JournalEntry> sent;        // now on the server (deleted cards among them)
    std::vector<JournalEntry> deleted;     // their card was deleted meanwhile: the result is in its history
    std::vector<JournalEntry> unfinished;  // cut off mid-exchange: never recorded as done
    int waiting = 0;                       // still waiting (the server went away again)
    CardStoreResult failure;               // why the rest waits, when waiting > 0
};

// Sends every programmed result: the result fields only, on the newest
// revision of its card (another user's change is kept), kept in the history
// as a programming of the revision that was written. Attempts cut off
// mid-exchange are reported once and taken out. Results the server took
// are taken out of the journal; a result already on the card (sent before a
// crash could take it out) is not recorded twice.
JournalSyncReport SyncJournal(CardStore& server, ProgrammingJournal& journal);

// The history kind of a programming sent from the journal, and back: the
// revision that was programmed, or -1 for any other kind.
QString JournalProgramKind(CardRevision revision);
CardRevision JournalProgrammedRevision(const QString& kind);

} // namespace k8w
