#pragma once
#include <QObject>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace k8w::link {

// A worker's completion step: run on the main thread, by way of the context
// object (the main window), while the worker waits for it. The main window
// cancels the gate when it goes away: a step not yet begun then never runs,
// and the worker stops waiting.
class CompletionGate : public std::enable_shared_from_this<CompletionGate> {
public:
    // Made on the context's (main) thread.
    explicit CompletionGate(QObject* context);
    // Worker side. True when the step ran; false when the gate was cancelled.
    bool runAndWait(std::function<void()> step);
    // Main-thread side.
    void cancel();

    // Runs, on the calling (main) thread, every step handed over so far.
    static void runWaitingSteps();

private:
    QObject* runner_;  // a child of the context, on its thread
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool cancelled_ = false;
    bool stepDone_ = false;
    std::function<void()> step_;
};

} // namespace k8w::link
