#pragma once

class QObject;

namespace k8w::link {

// The object on the main thread that runs the completion steps waiting
// (CompletionGate::runWaitingSteps) each time a worker wakes it. One per
// context, made on the context's thread at first use and destroyed with it.
QObject* StepRunnerOf(QObject* context);
// Any thread: the runner runs the waiting steps soon on its own thread.
void WakeStepRunner(QObject* runner);

} // namespace k8w::link
