#pragma once
#include "common/clock.h"

#include <atomic>
#include <cstdint>

namespace k8w::test {

// A clock that moves only when the test moves it, for a test and one other
// thread (the link) that waits on it. Every wait publishes what it waits
// for, so the test can tell when that thread has done all it can at the
// present time (settle) and can move time straight to its next deadline
// (run): exchanges happen in exact virtual time while the thread runs freely.
class ManualClock final : public Clock {
public:
    explicit ManualClock(std::uint32_t startMs = 1000) : now_(startMs) {}

    std::uint32_t tickMs() override { return now_.load(); }
    void sleepMs(std::uint32_t ms) override;
    bool waitFor(std::condition_variable& wake, std::unique_lock<std::mutex>& lock, std::uint32_t ms,
                 const std::function<bool()>& ready) override;

    // Waits (for real, a few seconds at most) until the thread waits with
    // nothing to do before its deadline. False when it never does.
    bool settle();
    // Moves time on by `ms`, stopping at every deadline the thread waits for
    // and letting it settle there.
    bool run(std::uint32_t ms);
    // True when the settled thread waits with no deadline at all.
    bool waitingForever() const;
    // From now on every wait with a deadline ends at it at once: for
    // tearing down, when nobody moves time any more.
    void release() { released_.store(true); }

private:
    void publish(std::uint64_t epoch, std::int64_t target);

    std::atomic<std::uint32_t> now_;
    std::atomic<std::uint64_t> epoch_{0};
    std::atomic<bool> released_{false};
    mutable std::mutex publishedMutex_;
    std::uint64_t settledEpoch_ = UINT64_MAX;
    std::int64_t settledTarget_ = -1;  // -1: no deadline
};

} // namespace k8w::test
