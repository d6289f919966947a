#include "manual_clock.h"
#include "support/watchdog.h"

#include <chrono>
#include <thread>

namespace k8w::test {

namespace {
bool reached(std::uint32_t now, std::uint32_t target) { return static_cast<std::int32_t>(now - target) >= 0; }
} // namespace

void ManualClock::sleepMs(std::uint32_t ms) {
    std::mutex mutex;
    std::condition_variable never;
    std::unique_lock lock(mutex);
    waitFor(never, lock, ms, [] { return false; });
}

void ManualClock::publish(std::uint64_t epoch, std::int64_t target) {
    std::lock_guard lock(publishedMutex_);
    settledEpoch_ = epoch;
    settledTarget_ = target;
}

bool ManualClock::waitFor(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                          std::uint32_t ms, const std::function<bool()>& ready) {
    const bool forever = ms == kForever;
    const std::uint32_t target = now_.load() + ms;
    for (;;) {
        // The epoch is read first: a change the test made before moving to
        // a new epoch is seen by the ready() that follows.
        const std::uint64_t epoch = epoch_.load();
        if (ready()) return true;
        if (!forever && reached(now_.load(), target)) return false;
        if (!forever && released_.load()) {
            std::uint32_t now = now_.load();
            while (!reached(now, target) && !now_.compare_exchange_weak(now, target)) {
            }
            continue;
        }
        publish(epoch, forever ? -1 : std::int64_t{target});
        wake.wait_for(lock, std::chrono::milliseconds(1));
    }
}

bool ManualClock::settle() {
    const std::uint64_t epoch = epoch_.fetch_add(1) + 1;
    const auto giveUp = std::chrono::steady_clock::now() + k8w::test::kHang;
    while (std::chrono::steady_clock::now() < giveUp) {
        {
            std::lock_guard lock(publishedMutex_);
            if (settledEpoch_ == epoch) return true;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return false;
}

bool ManualClock::waitingForever() const {
    std::lock_guard lock(publishedMutex_);
    return settledTarget_ < 0;
}

bool ManualClock::run(std::uint32_t ms) {
    const std::uint32_t end = now_.load() + ms;
    for (;;) {
        if (!settle()) return false;
        const std::uint32_t now = now_.load();
        if (now == end) return true;
        std::int64_t target = 0;
        {
            std::lock_guard lock(publishedMutex_);
            target = settledTarget_;
        }
        const auto next = static_cast<std::uint32_t>(target);
        now_.store(target >= 0 && !reached(now, next) && !reached(next, end) ? next : end);
    }
}

} // namespace k8w::test
