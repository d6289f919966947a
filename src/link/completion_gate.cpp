#include "link/completion_gate.h"

#include <QMetaObject>

namespace k8w::link {

bool CompletionGate::runAndWait(QObject* context, std::function<void()> step) {
    {
        std::lock_guard lock(mutex_);
        if (cancelled_) return false;
        stepDone_ = false;
    }
    // The queued call holds the gate: if the context is destroyed first, the
    // call is dropped with it and the cancelled gate has released the worker.
    QMetaObject::invokeMethod(
        context,
        [gate = shared_from_this(), step = std::move(step)] {
            {
                std::lock_guard lock(gate->mutex_);
                if (gate->cancelled_) return;
            }
            step();
            {
                std::lock_guard lock(gate->mutex_);
                gate->stepDone_ = true;
            }
            gate->changed_.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stepDone_ || cancelled_; });
    return stepDone_;
}

void CompletionGate::cancel() {
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
    }
    changed_.notify_all();
}

bool CompletionGate::cancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

} // namespace k8w::link
