#pragma once
// Store-internal: the side of a threaded card store that lives on its worker
// thread (see threaded_card_store.h).
#include "store/card_store.h"
#include "store/threaded_card_store.h"

#include <QObject>

#include <memory>
#include <mutex>

class QEventLoop;
class QSocketNotifier;
class QTimer;

namespace k8w {

// One call of the owner's, run on the worker.
struct WorkerJob {
    std::function<CardStoreResult(CardStore&)> work;
    // Under WorkerState::mutex.
    CardStoreResult result;
    bool done = false;
    bool abandoned = false;  // the owner gave up waiting: the result is dropped
    // The owner's thread only.
    QEventLoop* loop = nullptr;
};

// What the owner and the worker share.
struct WorkerState {
    std::mutex mutex;
    std::shared_ptr<WorkerJob> running;  // the job the worker runs, if any
    int socket = -1;                     // the inner store's current socket
    CardChanges pending;                 // changes not taken by the owner yet
    bool canWrite = false;
};

class CardStoreWorker final : public QObject {
    Q_OBJECT
public:
    // `owner` lives on the owner's thread: what the worker reports is run there.
    // `announce` is run there when changes are pending.
    CardStoreWorker(CardStore& inner, WorkerState& state, QObject& owner, std::function<void()> announce,
                    const CardStoreWorkerTimes& times);
    ~CardStoreWorker() override;

    // On the worker thread: starts watching the inner store's socket.
    void start();
    // On the worker thread: runs one call, then takes what changed.
    void run(const std::shared_ptr<WorkerJob>& job);

private:
    void socketChanged(int socket);
    void collectChanges();
    void reconnect();

    CardStore& inner_;
    WorkerState& state_;
    QObject& owner_;
    std::function<void()> announce_;
    CardStoreWorkerTimes times_;
    std::chrono::milliseconds nextDelay_;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* retry_ = nullptr;
};

} // namespace k8w
