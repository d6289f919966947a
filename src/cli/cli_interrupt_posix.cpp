#include "cli/cli_interrupt.h"

#include <csignal>
#include <pthread.h>

namespace k8w::cli {

struct InterruptHandlerScope::Previous {
    struct sigaction action {};
};

InterruptHandlerScope::InterruptHandlerScope(Handler handler) : previous_(std::make_unique<Previous>()) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previous_->action);
}

InterruptHandlerScope::~InterruptHandlerScope() { sigaction(SIGINT, &previous_->action, nullptr); }

// SIGINT is blocked in this thread and every thread it starts, and taken
// with sigtimedwait.
struct InterruptWait::State {
    sigset_t interrupt{};
    sigset_t previous{};
};

InterruptWait::InterruptWait() : state_(std::make_unique<State>()) {
    sigemptyset(&state_->interrupt);
    sigaddset(&state_->interrupt, SIGINT);
    pthread_sigmask(SIG_BLOCK, &state_->interrupt, &state_->previous);
}

InterruptWait::~InterruptWait() { pthread_sigmask(SIG_SETMASK, &state_->previous, nullptr); }

bool InterruptWait::waitFor(std::chrono::milliseconds wait) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
    const timespec limit{static_cast<time_t>(seconds.count()),
                         static_cast<long>(std::chrono::nanoseconds(wait - seconds).count())};
    return sigtimedwait(&state_->interrupt, nullptr, &limit) == SIGINT;
}

} // namespace k8w::cli
