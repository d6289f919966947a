#include "store/offline_card_store.h"

#include "cards/card_table.h"
#include "cards/programming_result.h"
#include "common/day_date.h"
#include "store/base_copy.h"
#include "store/journal_sync.h"

#include <QElapsedTimer>

#include <algorithm>
#include <QLockFile>

namespace k8w {
namespace {

// The copy is rewritten at most this often while changes arrive (and at close).
constexpr qint64 kCopyRenewalMs = 30000;

CardStoreResult offlineRefusal() {
    return {CardStoreStatus::Offline,
            QStringLiteral("no connection to the shared card base: cards can be changed only when it is back"), {}};
}

class OfflineCardStore final : public CardStore {
public:
    OfflineCardStore(std::unique_ptr<CardStore> server, const QString& uri, const QString& copyPath, bool onCopy)
        : server_(std::move(server)), shown_(CardBaseUriForDisplay(uri)), copyPath_(copyPath),
          journal_(JournalPathOf(copyPath)), table_(CardTable::create()), revisions_(kCardCapacity, 0),
          offline_(!server_ || onCopy) {}

    QString location() const override { return shown_; }
    bool keepsHistory() const override { return true; }

    CardStoreResult loadAll(CardTable& table, std::vector<CardRevision>& revisions) override {
        if (!offline_) {
            CardStoreResult loaded = server_->loadAll(*table_, revisions_);
            if (loaded.ok()) {
                renewCopy(true);
                table = *table_;
                revisions = revisions_;
                return loaded;
            }
            if (!lost(loaded)) return loaded;
        }
        if (const QString error = LoadBaseCopy(copyPath_, *table_, revisions_, &copyAt_); !error.isEmpty())
            return {CardStoreStatus::ConnectionLost, error, {}};
        table = *table_;
        revisions = revisions_;
        return {};
    }

    CardStoreResult readCard(int slot) override {
        if (!offline_) {
            CardStoreResult read = server_->readCard(slot);
            if (read.ok()) keep(slot, read.current);
            if (!lost(read)) return read;
        }
        CardStoreResult result;
        result.current.card = slot == kTemplateSlot ? table_->cardTemplate : table_->cards[static_cast<std::size_t>(slot)];
        result.current.revision = slot == kTemplateSlot ? 0 : revisions_[static_cast<std::size_t>(slot)];
        return result;
    }

    CardStoreResult saveCard(int slot, const Card& card, CardRevision seen, const Card* newTemplate) override {
        return change(slot, [&] { return server_->saveCard(slot, card, seen, newTemplate); });
    }
    CardStoreResult deleteCard(int slot, CardRevision seen) override {
        return change(slot, [&] { return server_->deleteCard(slot, seen); });
    }
    CardStoreResult setKey(int slot, int group, int entry, const KeyEntry& key, CardRevision seen) override {
        return change(slot, [&] { return server_->setKey(slot, group, entry, key, seen); });
    }
    CardStoreResult updateCard(int slot, const CardEdit& edit, const QString& kind) override {
        return change(slot, [&] { return server_->updateCard(slot, edit, kind); });
    }
    CardStoreResult updateAll(const CardBaseEdit& edit, const QString& kind) override {
        return change(-2, [&] { return server_->updateAll(edit, kind); });
    }
    CardStoreResult renewTemplate(const Card& cardTemplate) override {
        return change(kTemplateSlot, [&] { return server_->renewTemplate(cardTemplate); });
    }
    CardStoreResult restore(int slot, CardRevision revision) override {
        return change(slot, [&] { return server_->restore(slot, revision); });
    }
    CardStoreResult replaceAll(const CardTable& table) override {
        return change(-2, [&] { return server_->replaceAll(table); });
    }

    CardStoreResult beginProgramming(int slot, ProgrammingAttempt& attempt) override {
        attempt = {slot, {}, {}};
        if (!offline_) {
            // A user who may not change the base is refused before any device is written.
            const CardStoreResult writable = server_->checkWritable();
            if (!writable.ok() && !lost(writable)) return writable;
        }
        QString error;
        std::unique_ptr<QLockFile> running;
        attempt.id = journal_.begin(slot, revisions_[static_cast<std::size_t>(slot)], dayDateNow(), &running, &error);
        if (attempt.id.isEmpty()) return {CardStoreStatus::SaveFailed, error, {}};
        attempt.running = std::shared_ptr<void>(running.release(), [](void* p) { delete static_cast<QLockFile*>(p); });
        return {};
    }

    CardStoreResult endProgramming(ProgrammingAttempt& attempt, bool programmed, std::uint16_t imageChecksum,
                                   double programmedAt) override {
        QString error;
        const bool written = journal_.finish(attempt.id, programmed, imageChecksum, programmedAt, &error);
        attempt.running.reset();
        if (!written) return {CardStoreStatus::SaveFailed, error, {}};
        if (!programmed) return {};
        RecordProgramming(table_->cards[static_cast<std::size_t>(attempt.slot)], imageChecksum, programmedAt);
        if (!offline_) sendJournal();
        CardStoreResult result = readCard(attempt.slot);
        result.keptLocally = journal_.waitingCount() > 0;
        return result;
    }

    CardStoreResult sendWaitingResults(std::vector<ProgrammingNotice>& notices) override {
        notices.clear();
        if (offline_ && !tryOnline()) {
            for (const JournalEntry& e : journal_.entries())
                if (e.state == JournalEntry::State::Programmed)
                    notices.push_back({ProgrammingNotice::Kind::Waiting, e.slot, e.programmedAt});
            return offlineRefusal();
        }
        if (!offline_) sendJournal();
        notices = std::move(pending_);
        pending_.clear();
        return lastFailure_;
    }

    CardBaseLocalState localState() const override {
        return {offline_, offline_ ? lostReason_ : QString(), journal_.waitingCount(), copyAt_};
    }

    CardStoreResult checkWritable() override {
        if (offline_) return tryOnline() ? server_->checkWritable() : offlineRefusal();
        CardStoreResult writable = server_->checkWritable();
        lost(writable);
        return writable;
    }
    bool canWrite() const override { return offline_ || server_->canWrite(); }

    void setChangeListener(std::function<void()> listener) override {
        if (server_) server_->setChangeListener(std::move(listener));
    }
    void setWaitListener(std::function<void(bool)> listener) override {
        if (server_) server_->setWaitListener(std::move(listener));
    }
    CardChanges takeChanges() override {
        if (!server_) return {};
        CardChanges changes = server_->takeChanges();
        // The server is back: what waited is sent, the window reads what moved.
        if (offline_ && changes.any()) tryOnline();
        return changes;
    }

    CardStoreResult history(int slot, std::vector<CardVersion>& versions) override {
        return offline_ && !tryOnline() ? offlineRefusal() : server_->history(slot, versions);
    }
    CardStoreResult hasCards(bool& any) override {
        return offline_ && !tryOnline() ? offlineRefusal() : server_->hasCards(any);
    }
    CardStoreResult flush() override {
        if (dirty_) renewCopy(true);
        if (!offline_) sendJournal(); else tryOnline();
        return server_ ? server_->flush() : CardStoreResult{};
    }
    CardStoreResult listBackups(std::vector<CardBackup>& backups) override {
        return server_ ? server_->listBackups(backups) : offlineRefusal();
    }
    CardStoreResult restoreBackup(const QString& path, const std::vector<int>* slotList) override {
        return server_ ? server_->restoreBackup(path, slotList) : offlineRefusal();
    }

private:
    // A change of cards: on the server only.
    template <typename Call> CardStoreResult change(int slot, Call call) {
        if (offline_ && !tryOnline()) return offlineRefusal();
        CardStoreResult result = call();
        if (result.ok() && slot >= kTemplateSlot) keep(slot, result.current);
        // After a change of the whole base the copy is read anew.
        if (result.ok() && slot < kTemplateSlot && server_->loadAll(*table_, revisions_).ok()) renewCopy(true);
        lost(result);
        return result;
    }

    // A lost connection turns to the copy.
    bool lost(const CardStoreResult& result) {
        if (result.status != CardStoreStatus::ConnectionLost) return false;
        offline_ = true;
        lostReason_ = result.reason;
        if (dirty_) renewCopy(true);
        return true;
    }

    bool tryOnline() {
        if (!server_) return false;
        const CardStoreResult writable = server_->checkWritable();
        if (writable.status == CardStoreStatus::ConnectionLost) return false;
        offline_ = false;
        sendJournal();
        return true;
    }

    // Sends what the journal holds; what became of it waits for sendWaitingResults.
    void sendJournal() {
        const JournalSyncReport report = SyncJournal(*server_, journal_);
        using Kind = ProgrammingNotice::Kind;
        for (const JournalEntry& e : report.sent) {
            const bool deleted = std::any_of(report.deleted.begin(), report.deleted.end(),
                                             [&](const JournalEntry& d) { return d.id == e.id; });
            pending_.push_back({deleted ? Kind::CardDeleted : Kind::Sent, e.slot, e.programmedAt});
            keepResult(e);
        }
        for (const JournalEntry& e : report.unfinished) pending_.push_back({Kind::Unfinished, e.slot, e.startedAt});
        for (const JournalEntry& e : journal_.entries())
            if (e.state == JournalEntry::State::Programmed) pending_.push_back({Kind::Waiting, e.slot, e.programmedAt});
        lastFailure_ = report.failure;
        if (report.waiting > 0) lost(report.failure);
    }

    // The copy shows a result sent from the journal as the server now has it.
    void keepResult(const JournalEntry& e) {
        const CardStoreResult now = server_->readCard(e.slot);
        if (now.ok()) keep(e.slot, now.current);
    }

    void keep(int slot, const CardVersion& version) {
        if (slot == kTemplateSlot) {
            table_->cardTemplate = version.card;
        } else {
            table_->cards[static_cast<std::size_t>(slot)] = version.card;
            revisions_[static_cast<std::size_t>(slot)] = version.revision;
        }
        dirty_ = true;
        renewCopy(false);
    }

    void renewCopy(bool now) {
        if (!now && sinceRenewal_.isValid() && sinceRenewal_.elapsed() < kCopyRenewalMs) return;
        if (SaveBaseCopy(copyPath_, *table_, revisions_).isEmpty()) {
            dirty_ = false;
            copyAt_ = QDateTime::currentDateTime();
            sinceRenewal_.start();
        }
    }

    std::unique_ptr<CardStore> server_;
    QString shown_;
    QString copyPath_;
    QString lostReason_;
    ProgrammingJournal journal_;
    std::unique_ptr<CardTable> table_;
    std::vector<CardRevision> revisions_;
    bool offline_;
    bool dirty_ = false;
    QDateTime copyAt_;
    QElapsedTimer sinceRenewal_;
    std::vector<ProgrammingNotice> pending_;
    CardStoreResult lastFailure_;
};

} // namespace

std::unique_ptr<CardStore> MakeOfflineCardStore(std::unique_ptr<CardStore> server, const QString& uri,
                                                const QString& copyPath, bool onCopy) {
    return std::make_unique<OfflineCardStore>(std::move(server), uri, copyPath, onCopy);
}

} // namespace k8w
