#include "link/step_runner.h"

#include "link/completion_gate.h"

#include <QObject>

namespace k8w::link {
namespace {

const char* const kRunnerName = "completionStepRunner";

} // namespace

// A plain object on the main thread; a worker wakes it with a call queued
// to its thread's event loop. The steps travel under CompletionGate's lock.
QObject* StepRunnerOf(QObject* context) {
    if (auto* found = context->findChild<QObject*>(QString::fromLatin1(kRunnerName), Qt::FindDirectChildrenOnly))
        return found;
    auto* runner = new QObject(context);
    runner->setObjectName(QString::fromLatin1(kRunnerName));
    return runner;
}

void WakeStepRunner(QObject* runner) {
    QMetaObject::invokeMethod(runner, &CompletionGate::runWaitingSteps, Qt::QueuedConnection);
}

} // namespace k8w::link
