#include "link/completion_gate.h"

#include <QCoreApplication>
#include <QEvent>

#include <deque>

namespace k8w::link {
namespace {

// The steps waiting for the main thread. They travel through this queue
// under a lock of ours, and the event that wakes the main thread carries
// nothing, so everything a step uses is handed over under our own lock.
std::mutex queueMutex;
std::deque<std::shared_ptr<CompletionGate>> waiting;

const char* const kRunnerName = "completionStepRunner";

class StepRunner final : public QObject {
public:
    explicit StepRunner(QObject* context) : QObject(context) { setObjectName(QString::fromLatin1(kRunnerName)); }
    bool event(QEvent* event) override {
        if (event->type() != QEvent::User) return QObject::event(event);
        CompletionGate::runWaitingSteps();
        return true;
    }
};

QObject* runnerOf(QObject* context) {
    if (auto* found = context->findChild<StepRunner*>(QString::fromLatin1(kRunnerName), Qt::FindDirectChildrenOnly))
        return found;
    return new StepRunner(context);
}

} // namespace

CompletionGate::CompletionGate(QObject* context) : runner_(runnerOf(context)) {}

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
    // Posted under the gate's lock: once cancel() has returned, nothing is
    // posted any more, so the runner (destroyed with the main window) is
    // never posted to after it is gone.
    QCoreApplication::postEvent(runner_, new QEvent(QEvent::User));
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

bool CompletionGate::cancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

} // namespace k8w::link
