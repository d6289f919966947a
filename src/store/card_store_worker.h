#pragma once
// Store-internal: the side of a threaded card store that lives on its worker
// thread (see threaded_card_store.h).
#include "store/card_store.h"
#include "store/threaded_card_store.h"

#include <QObject>

#include <deque>
#include <functional>
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
};

// What the owner and the worker share.
struct WorkerState {
    std::mutex mutex;
    std::deque<std::shared_ptr<WorkerJob>> queued;  // posted by the owner, not taken yet
    std::shared_ptr<WorkerJob> running;  // the job the worker runs, if any
    int socket = -1;                     // the inner store's current socket
    CardChanges pending;                 // changes not taken by the owner yet
    bool canWrite = false;
};

// Lives on the owner's thread: what the worker reports is run there. The two
// sides tell each other only that something happened (by name, without data);
// what happened is in WorkerState, under its lock.
class CardStoreOwner final : public QObject {
    Q_OBJECT
public:
    CardStoreOwner(std::function<void()> jobDone, std::function<void()> changesPending)
        : jobDone_(std::move(jobDone)), changesPending_(std::move(changesPending)) {}
    Q_INVOKABLE void jobDone() { jobDone_(); }
    Q_INVOKABLE void changesPending() { changesPending_(); }

private:
    std::function<void()> jobDone_;
    std::function<void()> changesPending_;
};

class CardStoreWorker final : public QObject {
    Q_OBJECT
public:
    CardStoreWorker(CardStore& inner, WorkerState& state, CardStoreOwner& owner, const CardStoreWorkerTimes& times);
    ~CardStoreWorker() override;

    // On the worker thread: starts watching the inner store's socket.
    Q_INVOKABLE void start();
    // On the worker thread: runs the job the owner queued first.
    Q_INVOKABLE void runQueued();

private:
    // Runs one call, then takes what changed.
    void run(const std::shared_ptr<WorkerJob>& job);
    void socketChanged(int socket);
    void collectChanges();
    void reconnect();

    CardStore& inner_;
    WorkerState& state_;
    CardStoreOwner& owner_;
    CardStoreWorkerTimes times_;
    std::chrono::milliseconds nextDelay_;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* retry_ = nullptr;
};

} // namespace k8w
