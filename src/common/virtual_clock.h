#pragma once
#include "common/clock.h"

#include <atomic>
#include <functional>
#include <mutex>

namespace k8w {

// A clock whose time moves only when someone sleeps on it (or advance() is
// called). Listeners run after every advance, so a simulated device can
// deliver replies "later" in virtual time.
class VirtualClock final : public Clock {
public:
    using Listener = std::function<void(std::uint32_t nowMs)>;

    explicit VirtualClock(std::uint32_t startMs = 1000) : now_(startMs) {}

    std::uint32_t tickMs() override { return now_.load(); }
    void sleepMs(std::uint32_t ms) override { advance(ms); }
    // Moves time on a millisecond at a time until `ready` holds or `ms` have
    // passed; with no limit it waits for real, since nothing else moves time.
    bool waitFor(std::condition_variable& wake, std::unique_lock<std::mutex>& lock, std::uint32_t ms,
                 const std::function<bool()>& ready) override;

    void advance(std::uint32_t ms);
    void setListener(Listener listener);

private:
    std::atomic<std::uint32_t> now_;
    std::mutex listenerMutex_;
    Listener listener_;
};

} // namespace k8w
