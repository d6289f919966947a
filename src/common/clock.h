#pragma once
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace k8w {

// Time source of every protocol loop: a millisecond tick counter and a sleep.
// The real program uses the system clock; tests inject a virtual one so that
// a four-second timeout costs no real time.
class Clock {
public:
    static constexpr std::uint32_t kForever = UINT32_MAX;

    virtual ~Clock() = default;
    virtual std::uint32_t tickMs() = 0;
    virtual void sleepMs(std::uint32_t ms) = 0;
    // A sleep that something else can end: waits until `ready` holds or `ms`
    // have passed (kForever: no limit) and returns ready(). `lock` holds the
    // mutex guarding what `ready` reads, and ready() is tested with it held;
    // whoever makes it true does so under that mutex and then notifies `wake`.
    virtual bool waitFor(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                         std::uint32_t ms, const std::function<bool()>& ready) = 0;
};

// Monotonic clock of the process; sleeps for real.
Clock& systemClock();

} // namespace k8w
