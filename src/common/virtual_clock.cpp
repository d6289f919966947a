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

bool VirtualClock::waitFor(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                           std::uint32_t ms, const std::function<bool()>& ready) {
    if (ms == kForever) {
        wake.wait(lock, ready);
        return true;
    }
    for (std::uint32_t waited = 0; !ready(); ++waited) {
        if (waited == ms) return false;
        // Listeners may take the same mutex (a stop from a test's listener).
        lock.unlock();
        advance(1);
        lock.lock();
    }
    return true;
}

void VirtualClock::setListener(Listener listener) {
    std::lock_guard lock(listenerMutex_);
    listener_ = std::move(listener);
}

} // namespace k8w
