#include "common/virtual_clock.h"

namespace k8w {

void VirtualClock::advance(std::uint32_t ms) {
    const std::uint32_t now = now_.fetch_add(ms) + ms;
    Listener listener;
    {
        std::lock_guard lock(listenerMutex_);
        listener = listener_;
    }
    if (listener) listener(now);
}

void VirtualClock::setListener(Listener listener) {
    std::lock_guard lock(listenerMutex_);
    listener_ = std::move(listener);
}

} // namespace k8w
