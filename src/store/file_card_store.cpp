#include "store/file_card_store.h"

#include "store/card_backup.h"
#include "store/card_base.h"
#include "store/card_file.h"
#include "store/card_restore.h"
#include "cards/card_table.h"

#include <QDir>
#include <QFileInfo>

#include <cstring>

namespace k8w {
namespace {

CardStoreStatus statusOf(CardUpdateStatus status) {
    switch (status) {
    case CardUpdateStatus::Saved: return CardStoreStatus::Done;
    case CardUpdateStatus::Locked: return CardStoreStatus::Locked;
    case CardUpdateStatus::Unreadable: return CardStoreStatus::Unreadable;
    case CardUpdateStatus::Refused: return CardStoreStatus::Refused;
    case CardUpdateStatus::SaveFailed: return CardStoreStatus::SaveFailed;
    }
    return CardStoreStatus::SaveFailed;
}

// How long a command waits for another command's rewrite to end.
constexpr int kLockWaitMs = 10000;

class FileCardStore final : public CardStore {
public:
    FileCardStore(const QString& fileName, CardFileAccess access)
        : fileName_(fileName), access_(access), revisions_(kCardCapacity, 0) {}

    QString location() const override { return fileName_; }
    bool keepsHistory() const override { return false; }

    CardStoreResult loadAll(CardTable& table, std::vector<CardRevision>& revisions) override {
        if (access_ == CardFileAccess::Held) {
            if (!mirror_) mirror_ = CardTable::create();
            mirror_->clear();
            LoadCardTable(*mirror_, fileName_);  // silent, as the window always loaded
            table = *mirror_;
        } else {
            table.clear();
            CardLoadOutcome outcome = CardLoadOutcome::Missing;
            if (!LoadCardFile(fileName_, table.cards.data(), kCardCapacity, table.cardTemplate, &outcome))
                return {CardStoreStatus::Unreadable, CardLoadFailureText(outcome, fileName_), {}};
        }
        for (CardRevision& r : revisions_) r = r == 0 ? 1 : r;
        revisions = revisions_;
        return {};
    }

    CardStoreResult readCard(int slot) override {
        auto table = CardTable::create();
        std::vector<CardRevision> revisions;
        if (access_ == CardFileAccess::Held && mirror_) {
            *table = *mirror_;
        } else if (CardStoreResult loaded = loadAll(*table, revisions); !loaded.ok()) {
            return loaded;
        }
        return done(slot, *table);
    }

    CardStoreResult saveCard(int slot, const Card& card, CardRevision, const Card* newTemplate) override {
        const Card tmpl = newTemplate ? *newTemplate : Card{};
        const bool renew = newTemplate != nullptr;
        return change(slot, [&](CardTable& t) {
            t.cards[static_cast<std::size_t>(slot)] = card;
            if (renew) t.cardTemplate = tmpl;
            return QString();
        });
    }

    CardStoreResult deleteCard(int slot, CardRevision) override {
        return change(slot, [&](CardTable& t) {
            std::memset(static_cast<void*>(&t.cards[static_cast<std::size_t>(slot)]), 0, sizeof(Card));
            return QString();
        }, BackupWhen::Always);
    }

    CardStoreResult setKey(int slot, int group, int entry, const KeyEntry& key, CardRevision) override {
        return change(slot, [&](CardTable& t) {
            t.cards[static_cast<std::size_t>(slot)].keys[group][entry] = key;
            return QString();
        });
    }

    CardStoreResult updateCard(int slot, const CardEdit& edit, const QString&) override {
        return change(slot, [&](CardTable& t) {
            Card card = t.cards[static_cast<std::size_t>(slot)];
            const QString refusal = edit(card);
            if (refusal.isEmpty()) t.cards[static_cast<std::size_t>(slot)] = card;
            return refusal;
        });
    }

    CardStoreResult updateAll(const CardBaseEdit& edit, const QString&) override {
        if (access_ == CardFileAccess::PerChange && !QFileInfo::exists(fileName_)) return create(edit);
        return change(kTemplateSlot, edit, BackupWhen::Always);
    }

    CardStoreResult renewTemplate(const Card& cardTemplate) override {
        return change(kTemplateSlot, [&](CardTable& t) {
            t.cardTemplate = cardTemplate;
            return QString();
        });
    }

    CardStoreResult checkWritable() override {
        if (access_ == CardFileAccess::PerChange) {
            CardBaseLock lock(fileName_);
            CardBaseLock::Result state = lock.acquire(0);
            // Another command rewrites the file for a moment; the window keeps it.
            if (state == CardBaseLock::Result::HeldByOther && !lock.heldByWindow()) state = lock.acquire(kLockWaitMs);
            if (state == CardBaseLock::Result::HeldByOther)
                return {CardStoreStatus::Locked,
                        QStringLiteral("the database is open in %1; close it first: %2")
                            .arg(lock.holderText(), fileName_),
                        {}};
            if (state != CardBaseLock::Result::Held)
                return {CardStoreStatus::SaveFailed,
                        QStringLiteral("cannot lock the database (cannot create %1)").arg(lock.lockFilePath()),
                        {}};
        }
        if (const QString problem = CheckCardFileWritable(fileName_); !problem.isEmpty())
            return {CardStoreStatus::SaveFailed, problem, {}};
        return {};
    }

    bool canWrite() const override { return true; }
    CardChanges takeChanges() override { return {}; }

    CardStoreResult history(int, std::vector<CardVersion>& versions) override {
        versions.clear();
        return {CardStoreStatus::NoHistory, QStringLiteral("a database file keeps no earlier versions"), {}};
    }
    CardStoreResult restore(int, CardRevision) override {
        return {CardStoreStatus::NoHistory, QStringLiteral("a database file keeps no earlier versions"), {}};
    }

    CardStoreResult listBackups(std::vector<CardBackup>& backups) override {
        backups = ListCardBackups(fileName_);
        return {};
    }

    // A backup is named by its path, or by its name in the backup folder.
    CardStoreResult restoreBackup(const QString& backupName, const std::vector<int>* slotList) override {
        QString backupPath = backupName;
        if (!QFileInfo(backupPath).isFile()) backupPath = QDir(CardBackupFolder(fileName_)).filePath(backupName);
        if (!QFileInfo(backupPath).isFile())
            return {CardStoreStatus::NotFound, QStringLiteral("no such backup: %1").arg(backupName), {}};
        const CardUpdateResult restored = RestoreCardFile(fileName_, backupPath, slotList, lockWaitMs());
        if (restored.status != CardUpdateStatus::Saved) return {statusOf(restored.status), restored.reason, {}};
        if (mirror_) LoadCardTable(*mirror_, fileName_);
        for (CardRevision& r : revisions_) ++r;
        return {};
    }

    CardStoreResult hasCards(bool& any) override {
        any = false;
        auto table = CardTable::create();
        CardLoadOutcome outcome = CardLoadOutcome::Missing;
        if (!LoadCardFile(fileName_, table->cards.data(), kCardCapacity, table->cardTemplate, &outcome))
            return outcome == CardLoadOutcome::Missing
                       ? CardStoreResult{}
                       : CardStoreResult{CardStoreStatus::Unreadable, CardLoadFailureText(outcome, fileName_), {}};
        for (const Card& card : table->cards) any = any || isCardInUse(card);
        return {};
    }

    CardStoreResult replaceAll(const CardTable& table) override {
        CardBaseLock lock(fileName_);
        if (access_ == CardFileAccess::PerChange && lock.acquire(kLockWaitMs) != CardBaseLock::Result::Held)
            return {CardStoreStatus::Locked, QStringLiteral("the database is held by another program: %1").arg(fileName_),
                    {}};
        if (mirror_) *mirror_ = table;
        BackupBeforeChange(fileName_, BackupWhen::FirstChangeOfDay);
        if (const QString error = WriteCardFile(fileName_, table.cards.data(), kCardCapacity, table.cardTemplate);
            !error.isEmpty()) {
            dirty_ = mirror_ != nullptr;
            CardStoreResult failed{CardStoreStatus::SaveFailed, error, {}};
            failed.keptLocally = dirty_;
            return failed;
        }
        for (CardRevision& r : revisions_) ++r;
        return {};
    }

    // The held table is written again whole: what a failed write kept, and
    // whatever happened to the file meanwhile.
    CardStoreResult flush() override {
        if (!mirror_) return {};
        return write(kTemplateSlot);
    }

private:
    // The window keeps the lock for as long as it runs: waiting for it would
    // only delay the refusal.
    int lockWaitMs() const {
        if (access_ == CardFileAccess::Held) return 0;
        CardBaseLock probe(fileName_);
        const bool window = probe.acquire(0) == CardBaseLock::Result::HeldByOther && probe.heldByWindow();
        return window ? 0 : kLockWaitMs;
    }

    // A base moved to a new computer: the first import makes the file, under the lock.
    CardStoreResult create(const CardBaseEdit& edit) {
        CardBaseLock lock(fileName_);
        if (lock.acquire(lockWaitMs()) != CardBaseLock::Result::Held)
            return {CardStoreStatus::Locked, QStringLiteral("cannot take the lock %1").arg(lock.lockFilePath()), {}};
        if (QFileInfo::exists(fileName_)) {  // made by another command meanwhile
            lock.release();
            return change(kTemplateSlot, edit, BackupWhen::Always);
        }
        auto table = CardTable::create();
        if (const QString refusal = edit(*table); !refusal.isEmpty()) return {CardStoreStatus::Refused, refusal, {}};
        if (const QString error = WriteCardFile(fileName_, table->cards.data(), kCardCapacity, table->cardTemplate);
            !error.isEmpty())
            return {CardStoreStatus::SaveFailed, error, {}};
        for (CardRevision& r : revisions_) ++r;
        return done(kTemplateSlot, *table);
    }

    CardStoreResult done(int slot, const CardTable& table) const {
        CardStoreResult result;
        result.current.card = slot == kTemplateSlot ? table.cardTemplate : table.cards[static_cast<std::size_t>(slot)];
        result.current.revision = slot == kTemplateSlot ? 0 : revisions_[static_cast<std::size_t>(slot)];
        return result;
    }

    CardStoreResult write(int slot) {
        if (const QString error = WriteCardFile(fileName_, mirror_->cards.data(), kCardCapacity, mirror_->cardTemplate);
            !error.isEmpty()) {
            dirty_ = true;
            CardStoreResult failed = done(slot, *mirror_);
            failed.status = CardStoreStatus::SaveFailed;
            failed.reason = error;
            failed.keptLocally = true;  // in the held table; flush() writes it again
            return failed;
        }
        dirty_ = false;
        return done(slot, *mirror_);
    }

    // One change of the table: in memory and a rewrite (Held), or through the
    // locked update of the file (PerChange).
    CardStoreResult change(int slot, const std::function<QString(CardTable&)>& apply,
                           BackupWhen backup = BackupWhen::FirstChangeOfDay) {
        if (slot != kTemplateSlot && (slot < 0 || slot >= kCardCapacity))
            return {CardStoreStatus::Refused, QStringLiteral("no such slot: %1").arg(slot), {}};
        if (access_ == CardFileAccess::PerChange) {
            auto after = CardTable::create();
            const CardUpdateResult updated = UpdateCardFile(
                fileName_,
                [&](CardTable& t) {
                    const QString refusal = apply(t);
                    if (!refusal.isEmpty()) return refusal;
                    BackupBeforeChange(fileName_, backup);
                    *after = t;
                    return refusal;
                },
                lockWaitMs());
            if (updated.status != CardUpdateStatus::Saved) return {statusOf(updated.status), updated.reason, {}};
            if (slot != kTemplateSlot) ++revisions_[static_cast<std::size_t>(slot)];
            return done(slot, *after);
        }
        if (!mirror_) {
            mirror_ = CardTable::create();
            LoadCardTable(*mirror_, fileName_);
        }
        if (const QString refusal = apply(*mirror_); !refusal.isEmpty())
            return {CardStoreStatus::Refused, refusal, {}};
        if (slot != kTemplateSlot) ++revisions_[static_cast<std::size_t>(slot)];
        BackupBeforeChange(fileName_, backup);
        return write(slot);
    }

    QString fileName_;
    CardFileAccess access_;
    std::unique_ptr<CardTable> mirror_;  // Held: the table as the window keeps it
    std::vector<CardRevision> revisions_;
    bool dirty_ = false;
};

} // namespace

std::unique_ptr<CardStore> MakeFileCardStore(const QString& fileName, CardFileAccess access) {
    return std::make_unique<FileCardStore>(fileName, access);
}

} // namespace k8w
