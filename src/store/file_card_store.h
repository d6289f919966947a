#pragma once
#include "store/card_store.h"

namespace k8w {

// The database file of one installer behind the card store: the same file,
// lock and crash-safe rewrite as before. The file keeps no revisions: with
// Held access only this window writes, so no change conflicts.
std::unique_ptr<CardStore> MakeFileCardStore(const QString& fileName, CardFileAccess access);

} // namespace k8w
