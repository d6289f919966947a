#include "app/tkeythread.h"

#include "common/clock.h"
#include "keys/one_wire_port.h"

namespace k8w {

TKeyThread::TKeyThread(keys::OneWirePort& port, Clock& clock, std::mutex& portInUse, QObject* parent)
    : QThread(parent), port_(port), clock_(clock), portInUse_(portInUse) {}

TKeyThread::~TKeyThread() {
    Terminate();
    Join();
}

void TKeyThread::Join() {
    wait();
    // The worker's last step released this lock: what it wrote is seen from here on.
    std::lock_guard lock(mutex_);
}

void TKeyThread::Terminate() {
    {
        std::lock_guard lock(mutex_);
        terminated_.store(true);
    }
    stepDone_.notify_all();
}

void TKeyThread::Execute() {
    {
        std::lock_guard port(portInUse_);
        keys::ReadKeyFourHits(port_, clock_, flags_, terminated_,
                              [this](int hits) { emit progressChanged(hits); }, keyCode_.data());
    }
    Synchronize();
}

void TKeyThread::Synchronize() {
    std::unique_lock lock(mutex_);
    if (terminated_.load()) return;
    stepFinished_ = false;
    // Posted to this object, which lives on the creating thread; if the
    // object is destroyed first, the step is dropped with it.
    QMetaObject::invokeMethod(
        this,
        [this] {
            // Taken after the worker wrote its result and waits: the step sees it all.
            {
                std::lock_guard ready(mutex_);
                if (terminated_.load()) return;  // given up: the worker no longer waits
            }
            emit completed();
            {
                std::lock_guard done(mutex_);
                stepFinished_ = true;
            }
            stepDone_.notify_all();
        },
        Qt::QueuedConnection);
    stepDone_.wait(lock, [this] { return stepFinished_ || terminated_.load(); });
}

} // namespace k8w
