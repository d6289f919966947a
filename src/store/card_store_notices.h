#pragma once
// Store-internal: the socket a store's change notices arrive on, for the
// worker that watches it (and the store's own tests). Outside src/store the
// change listener of CardStore says when something arrived.
#include "store/card_store.h"

namespace k8w {

struct CardStoreNotices {
    static int socket(const CardStore& store) { return store.notificationSocket(); }
    static void setSocketListener(CardStore& store, std::function<void(int socket)> listener) {
        store.setSocketListener(std::move(listener));
    }
};

} // namespace k8w
