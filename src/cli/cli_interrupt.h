#pragma once
// Ctrl-C for the commands that can be stopped, on this platform's terms
// (POSIX signals, or Windows' console control handler) in a file of its own.
#include <chrono>
#include <memory>

namespace k8w::cli {

// While it lives, Ctrl-C calls `handler` (which may only set a lock-free
// flag) instead of ending the process; the previous handling comes back after.
class InterruptHandlerScope {
public:
    using Handler = void (*)(int);
    explicit InterruptHandlerScope(Handler handler);
    ~InterruptHandlerScope();
    InterruptHandlerScope(const InterruptHandlerScope&) = delete;
    InterruptHandlerScope& operator=(const InterruptHandlerScope&) = delete;

private:
    struct Previous;
    std::unique_ptr<Previous> previous_;
};

// While it lives, Ctrl-C is kept for waitFor instead of ending the process.
// Made before the threads it must be kept from are started.
class InterruptWait {
public:
    InterruptWait();
    ~InterruptWait();
    InterruptWait(const InterruptWait&) = delete;
    InterruptWait& operator=(const InterruptWait&) = delete;

    // Blocks at most `wait`; true when Ctrl-C came (now or since the last call).
    bool waitFor(std::chrono::milliseconds wait);

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace k8w::cli
