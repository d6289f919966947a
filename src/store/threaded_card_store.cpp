#include "store/threaded_card_store.h"

#include "cards/card_table.h"
#include "store/card_backup.h"
#include "store/card_store_worker.h"
#include "store/pg_socket.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <optional>

namespace k8w {
namespace {

class ThreadedCardStore final : public CardStore {
public:
    ThreadedCardStore(std::unique_ptr<CardStore> inner, const CardStoreWorkerTimes& times)
        : inner_(std::move(inner)), times_(times), location_(inner_->location()),
          keepsHistory_(inner_->keepsHistory()) {
        state_.canWrite = inner_->canWrite();
        worker_ = new CardStoreWorker(*inner_, state_, owner_, times_);
        worker_->moveToThread(&thread_);
        QObject::connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
        thread_.setObjectName(QStringLiteral("card store"));
        QMetaObject::invokeMethod(worker_, "start", Qt::QueuedConnection);
        thread_.start();
    }
    ~ThreadedCardStore() override {
        cutStuckCall();
        thread_.quit();
        thread_.wait();
    }

    QString location() const override { return location_; }
    bool keepsHistory() const override { return keepsHistory_; }
    bool canWrite() const override {
        std::lock_guard lock(state_.mutex);
        return state_.canWrite;
    }

    CardStoreResult loadAll(CardTable& table, std::vector<CardRevision>& revisions) override {
        struct Out {
            std::unique_ptr<CardTable> table = CardTable::create();
            std::vector<CardRevision> revisions;
        };
        auto out = std::make_shared<Out>();
        const auto [result, done] = call([out](CardStore& s) { return s.loadAll(*out->table, out->revisions); });
        if (done) {
            table = *out->table;
            revisions = std::move(out->revisions);
        }
        return result;
    }
    CardStoreResult readCard(int slot) override {
        return call([slot](CardStore& s) { return s.readCard(slot); }).first;
    }
    CardStoreResult saveCard(int slot, const Card& card, CardRevision seen, const Card* newTemplate) override {
        std::optional<Card> tmpl;
        if (newTemplate) tmpl = *newTemplate;
        return call([=](CardStore& s) { return s.saveCard(slot, card, seen, tmpl ? &*tmpl : nullptr); }).first;
    }
    CardStoreResult deleteCard(int slot, CardRevision seen) override {
        return call([=](CardStore& s) { return s.deleteCard(slot, seen); }).first;
    }
    CardStoreResult setKey(int slot, int group, int entry, const KeyEntry& key, CardRevision seen) override {
        return call([=](CardStore& s) { return s.setKey(slot, group, entry, key, seen); }).first;
    }
    // The edit runs on the worker while the caller waits; it is not run once
    // the caller gave up (what it refers to may be gone).
    CardStoreResult updateCard(int slot, const CardEdit& edit, const QString& kind) override {
        auto job = newJob();
        const CardEdit guarded = [this, weak = std::weak_ptr<WorkerJob>(job), edit](Card& card) {
            std::lock_guard lock(state_.mutex);
            return givenUp(weak) ? QStringLiteral("given up") : edit(card);
        };
        job->work = [=](CardStore& s) { return s.updateCard(slot, guarded, kind); };
        return wait(job).first;
    }
    CardStoreResult updateAll(const CardBaseEdit& edit, const QString& kind) override {
        auto job = newJob();
        const CardBaseEdit guarded = [this, weak = std::weak_ptr<WorkerJob>(job), edit](CardTable& table) {
            std::lock_guard lock(state_.mutex);
            return givenUp(weak) ? QStringLiteral("given up") : edit(table);
        };
        job->work = [=](CardStore& s) { return s.updateAll(guarded, kind); };
        return wait(job).first;
    }
    CardStoreResult renewTemplate(const Card& cardTemplate) override {
        return call([=](CardStore& s) { return s.renewTemplate(cardTemplate); }).first;
    }
    CardStoreResult checkWritable() override {
        return call([](CardStore& s) { return s.checkWritable(); }).first;
    }

    void setChangeListener(std::function<void()> listener) override { changeListener_ = std::move(listener); }
    void setWaitListener(std::function<void(bool)> listener) override { waitListener_ = std::move(listener); }
    CardChanges takeChanges() override {
        std::lock_guard lock(state_.mutex);
        CardChanges taken;
        std::swap(taken, state_.pending);
        return taken;
    }

    CardStoreResult history(int slot, std::vector<CardVersion>& versions) override {
        auto out = std::make_shared<std::vector<CardVersion>>();
        const auto [result, done] = call([slot, out](CardStore& s) { return s.history(slot, *out); });
        versions = done ? std::move(*out) : std::vector<CardVersion>{};
        return result;
    }
    CardStoreResult restore(int slot, CardRevision revision) override {
        return call([=](CardStore& s) { return s.restore(slot, revision); }).first;
    }
    CardStoreResult hasCards(bool& any) override {
        auto out = std::make_shared<bool>(false);
        const auto [result, done] = call([out](CardStore& s) { return s.hasCards(*out); });
        any = done && *out;
        return result;
    }
    CardStoreResult replaceAll(const CardTable& table) override {
        std::shared_ptr<CardTable> copy = CardTable::create();
        *copy = table;
        return call([copy](CardStore& s) { return s.replaceAll(*copy); }).first;
    }
    CardStoreResult flush() override {
        return call([](CardStore& s) { return s.flush(); }).first;
    }
    CardStoreResult listBackups(std::vector<CardBackup>& backups) override {
        auto out = std::make_shared<std::vector<CardBackup>>();
        const auto [result, done] = call([out](CardStore& s) { return s.listBackups(*out); });
        backups = done ? std::move(*out) : std::vector<CardBackup>{};
        return result;
    }
    CardStoreResult restoreBackup(const QString& backupPath, const std::vector<int>* slotList) override {
        std::optional<std::vector<int>> chosen;
        if (slotList) chosen = *slotList;
        return call([=](CardStore& s) { return s.restoreBackup(backupPath, chosen ? &*chosen : nullptr); }).first;
    }

private:
    using Outcome = std::pair<CardStoreResult, bool>;  // the result, and whether the call ran to its end

    std::shared_ptr<WorkerJob> newJob() { return std::make_shared<WorkerJob>(); }
    // The job's own work holds it weakly: a strong hold would keep both alive forever.
    static bool givenUp(const std::weak_ptr<WorkerJob>& weak) {
        const auto job = weak.lock();
        return !job || job->abandoned;
    }
    Outcome call(std::function<CardStoreResult(CardStore&)> work) {
        auto job = newJob();
        job->work = std::move(work);
        return wait(job);
    }
    Outcome wait(const std::shared_ptr<WorkerJob>& job);
    void cutStuckCall();
    void jobDone();
    void announce();
    void waiting(bool began);

    std::unique_ptr<CardStore> inner_;
    CardStoreWorkerTimes times_;
    QString location_;
    bool keepsHistory_ = false;
    mutable WorkerState state_;
    CardStoreOwner owner_{[this] { jobDone(); }, [this] { announce(); }};
    // The calls the owner waits for, innermost last, each with its loop.
    std::vector<std::pair<std::shared_ptr<WorkerJob>, QEventLoop*>> waits_;
    QThread thread_;
    CardStoreWorker* worker_ = nullptr;
    std::function<void()> changeListener_;
    std::function<void(bool)> waitListener_;
    int depth_ = 0;              // calls the owner waits for (a nested one waits its turn)
    bool announceAfter_ = false;  // changes arrived during a call
};

ThreadedCardStore::Outcome ThreadedCardStore::wait(const std::shared_ptr<WorkerJob>& job) {
    waiting(true);
    QEventLoop loop;
    waits_.emplace_back(job, &loop);
    {
        std::lock_guard lock(state_.mutex);
        state_.queued.push_back(job);
    }
    QMetaObject::invokeMethod(worker_, "runQueued", Qt::QueuedConnection);
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&loop] { loop.quit(); });
    deadline.start(times_.answerWithin);
    for (;;) {
        {
            std::lock_guard lock(state_.mutex);
            if (job->done) break;
            if (!deadline.isActive()) {
                job->abandoned = true;
                break;
            }
        }
        loop.exec();
    }
    waits_.erase(std::find_if(waits_.begin(), waits_.end(), [&](const auto& w) { return w.first == job; }));
    bool given_up = false;
    CardStoreResult result;
    {
        std::lock_guard lock(state_.mutex);
        given_up = job->abandoned;
        if (!given_up) result = job->result;
    }
    if (given_up) {
        cutStuckCall();
        result = {CardStoreStatus::ConnectionLost,
                  QStringLiteral("the server did not answer within %1 s").arg(times_.answerWithin.count() / 1000.0),
                  {}};
    }
    waiting(false);
    return {result, !given_up};
}

// A call blocked on a server that no longer answers: its connection is cut,
// so the call fails as a lost connection and the worker is free again.
void ThreadedCardStore::cutStuckCall() {
    std::lock_guard lock(state_.mutex);
    if (state_.running && state_.socket >= 0) {
        state_.running->abandoned = true;
        pgsocket::Cut(state_.socket);
    }
}

// A call ended on the worker: each wait whose call is done leaves its loop.
void ThreadedCardStore::jobDone() {
    std::lock_guard lock(state_.mutex);
    for (const auto& [job, loop] : waits_)
        if (job->done) loop->quit();
}

void ThreadedCardStore::announce() {
    if (depth_ > 0) {
        announceAfter_ = true;
        return;
    }
    if (changeListener_) changeListener_();
}

void ThreadedCardStore::waiting(bool began) {
    if (began) {
        if (depth_++ == 0 && waitListener_) waitListener_(true);
        return;
    }
    if (--depth_ > 0) return;
    if (waitListener_) waitListener_(false);
    if (announceAfter_) {
        announceAfter_ = false;
        QMetaObject::invokeMethod(&owner_, [this] { announce(); }, Qt::QueuedConnection);
    }
}

} // namespace

std::unique_ptr<CardStore> RunCardStoreOnWorker(std::unique_ptr<CardStore> inner, const CardStoreWorkerTimes& times) {
    return std::make_unique<ThreadedCardStore>(std::move(inner), times);
}

} // namespace k8w
