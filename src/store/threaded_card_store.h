#pragma once
#include "store/card_store.h"

#include <chrono>

namespace k8w {

struct CardStoreWorkerTimes {
    // A call the server has not answered by then is given up as ConnectionLost
    // (a dead network, a server that stopped): the connection is cut so that
    // the worker is free again.
    std::chrono::milliseconds answerWithin{15000};
    // After a lost connection the worker reconnects by itself, first after
    // this long, then twice as long each time up to reconnectAtMost.
    std::chrono::milliseconds reconnectFirst{2000};
    std::chrono::milliseconds reconnectAtMost{30000};
};

// A card store that owns `inner` and runs each of its calls on a worker
// thread of its own. The calling thread (which needs a running
// QCoreApplication) waits in a local event loop, so its windows repaint and
// its timers fire; a call made meanwhile waits its turn. The worker watches
// the inner store's notices, takes changes after every call and tells the
// change listener; after a lost connection it reconnects by itself.
std::unique_ptr<CardStore> RunCardStoreOnWorker(std::unique_ptr<CardStore> inner,
                                                const CardStoreWorkerTimes& times = {});

} // namespace k8w
