#pragma once
#include <QString>

#include <memory>

namespace k8w {
struct CardTable;
struct CardUpdateResult;
}

namespace k8w::cli {

class Options;

// Loads the database read-only; on failure prints why and returns null.
std::unique_ptr<CardTable> loadDatabase(const QString& fileName);
// Before a command talks to a device whose result it will record: the
// database must not be held by the window program, and a rewrite must be
// able to succeed (see CheckCardFileWritable). Prints why not and returns false.
bool databaseReadyForWriting(const QString& fileName);
// Prints why an update of the database did not go through (nothing if it did)
// and returns its status as an exit status: 0, or 2 when the database was
// locked, unreadable or the change refused, or `saveFailedStatus`.
int reportUpdate(const CardUpdateResult& result, int saveFailedStatus);

// How long a writing command waits for the database lock: not at all when
// the window program holds it (it keeps it for as long as it runs, so waiting
// would only delay the refusal), else kLockWaitMs.
int lockWaitFor(const QString& dbName);

// Reads "--row N" (a required option of the command): a grid row 1-9000
// holding a card in use. On failure prints why and returns -1;
// `freeRowText` is printed for a free row.
int cardSlotOfRow(const Options& options, const CardTable& table, const QString& freeRowText);

} // namespace k8w::cli
