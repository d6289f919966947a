#pragma once
// The card base of a k8w-cli command: the shared base of "--base URL", or
// the database file of "--db FILE" (ProgInfo_10.K8W by default).
#include "store/card_store.h"

#include <memory>
#include <vector>

namespace k8w {
struct CardTable;
}

namespace k8w::cli {

class Options;

// Opens the command's base; on failure prints why and returns null.
// `orCopy`: a shared base whose server cannot be reached opens from this
// data folder's copy of it, when there is one (said on standard error).
std::unique_ptr<CardStore> openCardStore(const Options& options, bool orCopy = false);
// Reads every card; on failure prints why and returns null.
std::unique_ptr<CardTable> loadCards(CardStore& store, std::vector<CardRevision>* revisions = nullptr);
// Opens the command's base and reads every card; on failure prints why and returns null.
std::unique_ptr<CardTable> loadCards(const Options& options);
// Applies `edit` to the newest version of one card (retried when another
// user changes it meanwhile; on a file under its lock). Prints why not and
// returns an exit status as reportStoreResult does; `changed` gets the card
// as stored.
int changeCard(CardStore& store, int slot, const CardEdit& edit, const QString& kind, int notStoredStatus,
               Card* changed = nullptr);
// Before a command talks to a device whose result it will record: the base
// must be able to record it now (a file not held by the window and
// rewritable; a server reachable and writable by this user). Prints why not.
bool storeReadyForWriting(CardStore& store);
// The same before a device is programmed, the attempt then on record.
bool beginProgramming(CardStore& store, int slot, ProgrammingAttempt& attempt);
// Why a store result is not Done, in the words of k8w-cli; empty for Done.
QString storeResultText(const CardStoreResult& result);
// Prints why a change did not go through (nothing if it did) and returns an
// exit status: 0; `notStoredStatus` when the base could not store it (rewrite
// failed, server gone); 2 for anything else.
int reportStoreResult(const CardStoreResult& result, int notStoredStatus);

} // namespace k8w::cli
