#include "link/step_runner.h"

#include "link/completion_gate.h"

#include <QSocketNotifier>

#include <sys/eventfd.h>
#include <unistd.h>

namespace k8w::link {
namespace {

const char* const kRunnerName = "completionStepRunner";

// Lives on the main thread; a worker wakes it by counting up its eventfd,
// which carries nothing: the steps travel under CompletionGate's own lock.
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

} // namespace

QObject* StepRunnerOf(QObject* context) {
    if (auto* found = context->findChild<StepRunner*>(QString::fromLatin1(kRunnerName), Qt::FindDirectChildrenOnly))
        return found;
    return new StepRunner(context);
}

void WakeStepRunner(QObject* runner) { static_cast<StepRunner*>(runner)->wake(); }

} // namespace k8w::link
