#pragma once
#include <QObject>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace k8w::link {

// A worker's completion step: run on the thread of a context object (the
// main window) while the worker waits for it. The main window cancels the
// gate when it goes away: a step not yet begun then never runs, and the
// worker stops waiting.
class CompletionGate : public std::enable_shared_from_this<CompletionGate> {
public:
    // Worker side. True when the step ran; false when the gate was cancelled.
    bool runAndWait(QObject* context, std::function<void()> step);
    // Main-thread side.
    void cancel();
    bool cancelled() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool cancelled_ = false;
    bool stepDone_ = false;
};

} // namespace k8w::link
