#pragma once
#include "store/card_store.h"

namespace k8w {

// A shared base worked on from this computer: every change goes to the
// server; the cards are kept in a copy in `copyPath`, renewed as they
// arrive; every programming attempt is written to the journal beside it
// before the exchange starts. Without the server (`server` null at the
// start, or lost later) the copy is viewed and devices are programmed from
// it; card changes are refused with Offline; results wait in the journal
// and are sent when a call reaches the server again.
// `onCopy`: begins on the copy (the server could not be reached at start-up).
std::unique_ptr<CardStore> MakeOfflineCardStore(std::unique_ptr<CardStore> server, const QString& uri,
                                                const QString& copyPath, bool onCopy = false);

} // namespace k8w
