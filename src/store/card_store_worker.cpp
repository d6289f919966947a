#include "store/card_store_worker.h"

#include "store/card_store_notices.h"
#include "store/pg_socket.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>

namespace k8w {
namespace {

void merge(CardChanges& into, const CardChanges& more) {
    into.all = into.all || more.all;
    into.reconnected = into.reconnected || more.reconnected;
    for (const int slot : more.changedSlots)
        if (std::find(into.changedSlots.begin(), into.changedSlots.end(), slot) == into.changedSlots.end())
            into.changedSlots.push_back(slot);
}

} // namespace

CardStoreWorker::CardStoreWorker(CardStore& inner, WorkerState& state, CardStoreOwner& owner,
                                 const CardStoreWorkerTimes& times)
    : inner_(inner), state_(state), owner_(owner), times_(times), nextDelay_(times.reconnectFirst) {}

CardStoreWorker::~CardStoreWorker() { CardStoreNotices::setSocketListener(inner_, {}); }

void CardStoreWorker::start() {
    retry_ = new QTimer(this);
    retry_->setSingleShot(true);
    connect(retry_, &QTimer::timeout, this, [this] { reconnect(); });
    CardStoreNotices::setSocketListener(inner_, [this](int socket) { socketChanged(socket); });
    {
        std::lock_guard lock(state_.mutex);
        state_.canWrite = inner_.canWrite();
    }
    socketChanged(CardStoreNotices::socket(inner_));
}

void CardStoreWorker::runQueued() {
    std::shared_ptr<WorkerJob> job;
    {
        std::lock_guard lock(state_.mutex);
        if (state_.queued.empty()) return;
        job = std::move(state_.queued.front());
        state_.queued.pop_front();
    }
    run(job);
}

void CardStoreWorker::run(const std::shared_ptr<WorkerJob>& job) {
    {
        std::lock_guard lock(state_.mutex);
        if (job->abandoned) return;
        state_.running = job;
    }
    const CardStoreResult result = job->work(inner_);
    {
        std::lock_guard lock(state_.mutex);
        state_.running.reset();
        job->result = result;
        job->done = true;
        state_.canWrite = inner_.canWrite();
    }
    QMetaObject::invokeMethod(&owner_, "jobDone", Qt::QueuedConnection);
    collectChanges();
}

// Told by the inner store, on this thread, also in the middle of a call: a
// session renewed or lost.
void CardStoreWorker::socketChanged(int socket) {
    {
        std::lock_guard lock(state_.mutex);
        state_.socket = socket;
        // The owner gave up on the call under way: a new session of it is cut too.
        if (socket >= 0 && state_.running && state_.running->abandoned) pgsocket::Cut(socket);
    }
    if (notifier_) {
        notifier_->setEnabled(false);
        notifier_->deleteLater();
        notifier_ = nullptr;
    }
    if (socket < 0) {
        if (!retry_->isActive()) retry_->start(nextDelay_);
        return;
    }
    nextDelay_ = times_.reconnectFirst;
    retry_->stop();
    notifier_ = new QSocketNotifier(static_cast<qintptr>(socket), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { collectChanges(); });
}

void CardStoreWorker::collectChanges() {
    const CardChanges changes = inner_.takeChanges();
    if (!changes.any()) return;
    {
        std::lock_guard lock(state_.mutex);
        merge(state_.pending, changes);
    }
    QMetaObject::invokeMethod(&owner_, "changesPending", Qt::QueuedConnection);
}

// Any read renews the session; a renewed one announces that anything may have
// changed (or what did) at the next take.
void CardStoreWorker::reconnect() {
    nextDelay_ = std::min(nextDelay_ * 2, times_.reconnectAtMost);
    auto probe = std::make_shared<WorkerJob>();
    probe->work = [](CardStore& store) { return store.readCard(kTemplateSlot); };
    run(probe);
    if (CardStoreNotices::socket(inner_) < 0 && !retry_->isActive()) retry_->start(nextDelay_);
}

} // namespace k8w
