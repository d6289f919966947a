#include "link/completion_gate.h"

#include "link/step_runner.h"

#include <deque>

namespace k8w::link {
namespace {

// The steps waiting for the main thread. They travel through this queue
// under a lock of ours, and the main thread is only woken (step_runner.h),
// so everything a step uses is handed over under our own lock.
std::mutex queueMutex;
std::deque<std::shared_ptr<CompletionGate>> waiting;

} // namespace

CompletionGate::CompletionGate(QObject* context) : runner_(StepRunnerOf(context)) {}

void CompletionGate::runWaitingSteps() {
    for (;;) {
        std::shared_ptr<CompletionGate> gate;
        {
            std::lock_guard lock(queueMutex);
            if (waiting.empty()) return;
            gate = std::move(waiting.front());
            waiting.pop_front();
        }
        std::function<void()> step;
        {
            std::lock_guard lock(gate->mutex_);
            if (gate->cancelled_ || !gate->step_) continue;
            step = std::move(gate->step_);
        }
        step();
        {
            std::lock_guard lock(gate->mutex_);
            gate->stepDone_ = true;
        }
        gate->changed_.notify_all();
    }
}

bool CompletionGate::runAndWait(std::function<void()> step) {
    std::unique_lock lock(mutex_);
    if (cancelled_) return false;
    stepDone_ = false;
    step_ = std::move(step);
    {
        std::lock_guard queueLock(queueMutex);
        waiting.push_back(shared_from_this());
    }
    // Woken under the gate's lock: once cancel() has returned, nothing wakes
    // the runner any more, so it is never touched after it is gone (it is
    // destroyed with the main window).
    WakeStepRunner(runner_);
    changed_.wait(lock, [this] { return stepDone_ || cancelled_; });
    return stepDone_;
}

void CompletionGate::cancel() {
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
        step_ = nullptr;
    }
    changed_.notify_all();
}

} // namespace k8w::link
