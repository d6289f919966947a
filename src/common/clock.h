#pragma once
#include <cstdint>

namespace k8w {

// Time source of every protocol loop: a millisecond tick counter and a sleep.
// The real program uses the system clock; tests inject a virtual one so that
// a four-second timeout costs no real time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint32_t tickMs() = 0;
    virtual void sleepMs(std::uint32_t ms) = 0;
};

// Monotonic clock of the process; sleeps for real.
Clock& systemClock();

} // namespace k8w
