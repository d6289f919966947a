#include "link/completion_gate.h"

#include <QSocketNotifier>

#include <deque>

#include <sys/eventfd.h>
#include <unistd.h>

namespace k8w::link {
namespace {

// The steps waiting for the main thread. They travel through this queue
// under a lock of ours, and the main thread is woken through an event
// counter that carries nothing, so everything a step uses is handed over
// under our own lock.
std::mutex queueMutex;
std::deque<std::shared_ptr<CompletionGate>> waiting;

const char* const kRunnerName = "completionStepRunner";

// Lives on the main thread; a worker wakes it by counting up its eventfd.
class StepRunner final : public QObject {
public:
    explicit StepRunner(QObject* context)
        : QObject(context), wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
          notifier_(wakeFd_, QSocketNotifier::Read, this) {
        setObjectName(QString::fromLatin1(kRunnerName));
        connect(&notifier_, &QSocketNotifier::activated, this, [this] {
            eventfd_t count = 0;
            ::eventfd_read(wakeFd_, &count);
            CompletionGate::runWaitingSteps();
        });
    }
    ~StepRunner() override { ::close(wakeFd_); }
    void wake() { ::eventfd_write(wakeFd_, 1); }

private:
    int wakeFd_;
    QSocketNotifier notifier_;
};

StepRunner* runnerOf(QObject* context) {
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
    // Woken under the gate's lock: once cancel() has returned, nothing wakes
    // the runner any more, so it is never touched after it is gone (it is
    // destroyed with the main window).
    static_cast<StepRunner*>(runner_)->wake();
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
