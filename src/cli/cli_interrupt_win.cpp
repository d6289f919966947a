#include "cli/cli_interrupt.h"

#include <windows.h>

#include <atomic>
#include <csignal>

namespace k8w::cli {

// The C runtime turns Ctrl-C in the console into SIGINT for a handler of signal().
struct InterruptHandlerScope::Previous {
    Handler handler = SIG_DFL;
};

InterruptHandlerScope::InterruptHandlerScope(Handler handler) : previous_(std::make_unique<Previous>()) {
    previous_->handler = std::signal(SIGINT, handler);
}

InterruptHandlerScope::~InterruptHandlerScope() { std::signal(SIGINT, previous_->handler); }

namespace {

// Windows runs a console control handler on a thread of its own, so it may
// set an event that a wait blocks on.
std::atomic<HANDLE> interruptEvent{nullptr};

BOOL WINAPI onConsoleControl(DWORD type) {
    const HANDLE event = interruptEvent.load();
    if ((type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) || !event) return FALSE;
    ::SetEvent(event);
    return TRUE;
}

} // namespace

struct InterruptWait::State {
    HANDLE event = nullptr;
};

InterruptWait::InterruptWait() : state_(std::make_unique<State>()) {
    state_->event = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    interruptEvent.store(state_->event);
    ::SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

InterruptWait::~InterruptWait() {
    ::SetConsoleCtrlHandler(onConsoleControl, FALSE);
    interruptEvent.store(nullptr);
    if (state_->event) ::CloseHandle(state_->event);
}

bool InterruptWait::waitFor(std::chrono::milliseconds wait) {
    return state_->event && ::WaitForSingleObject(state_->event, static_cast<DWORD>(wait.count())) == WAIT_OBJECT_0;
}

} // namespace k8w::cli
