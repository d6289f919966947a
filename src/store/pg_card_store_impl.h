#pragma once
// The shared card base's store: the card operations, run on one session
// (pg::Connection) with the tables of pg_card_schema.h.
#include "store/card_store.h"
#include "store/pg_connection.h"

#include <functional>
#include <vector>

namespace k8w::pg {

class PgCardStore final : public CardStore {
public:
    explicit PgCardStore(const QString& uri) : conn_(uri) {}
    // Connects, checks the base and learns the session's rights. Empty on success.
    QString open();

    QString location() const override { return conn_.shown(); }
    bool keepsHistory() const override { return true; }
    CardStoreResult loadAll(CardTable& table, std::vector<CardRevision>& revisions) override;
    CardStoreResult readCard(int slot) override;
    CardStoreResult saveCard(int slot, const Card& card, CardRevision seen, const Card* newTemplate) override;
    CardStoreResult deleteCard(int slot, CardRevision seen) override;
    CardStoreResult setKey(int slot, int group, int entry, const KeyEntry& key, CardRevision seen) override;
    CardStoreResult updateCard(int slot, const CardEdit& edit, const QString& kind) override;
    CardStoreResult updateAll(const CardBaseEdit& edit, const QString& kind) override;
    CardStoreResult renewTemplate(const Card& cardTemplate) override;
    CardStoreResult checkWritable() override;
    bool canWrite() const override { return canWrite_; }
    int notificationSocket() const override { return conn_.socket(); }
    void setSocketListener(std::function<void(int)> listener) override { conn_.setSocketListener(std::move(listener)); }
    CardChanges takeChanges() override;
    CardStoreResult history(int slot, std::vector<CardVersion>& versions) override;
    CardStoreResult restore(int slot, CardRevision revision) override;
    CardStoreResult hasCards(bool& any) override;
    CardStoreResult replaceAll(const CardTable& table) override;
    CardStoreResult listBackups(std::vector<CardBackup>& backups) override;
    CardStoreResult restoreBackup(const QString& backupPath, const std::vector<int>* slotList) override;
    CardStoreResult flush() override { return {}; }

private:
    // The session (pg_card_store.cpp).
    CardStoreResult ensureConnected();
    CardStoreResult setUpSession(bool renewed);
    CardStoreResult learnRights();
    bool setUpAtOnce();
    void noteMovedSlots();
    CardStoreResult lost();
    CardStoreResult failure(const Result& res);
    CardStoreResult readOnly() const;
    CardStoreResult writePrecheck(int slot);
    CardStoreResult loadRows(CardTable& table, std::vector<CardRevision>& revisions);
    CardStoreResult readRow(int slot);
    void fill(const Result& res, int row, int slot, CardVersion& v);
    CardRevision& seen(int slot) { return seen_[static_cast<std::size_t>(slot + 1)]; }

    // Changes (pg_card_writes.cpp).
    CardStoreResult inOneTransaction(const std::function<CardStoreResult()>& body);
    CardStoreResult afterWrite(const Result& res, int slot);
    CardStoreResult writeIfAt(int slot, const Param& data, CardRevision seen, const QString& kind);
    CardStoreResult saveWithTemplate(int slot, const Card& card, CardRevision seen, const Card& newTemplate);
    CardStoreResult writeSlots(const CardTable& want, const CardTable& had, const std::vector<CardRevision>* at,
                               const QString& kind);

    Connection conn_;
    bool canWrite_ = false;
    // The revision of each slot (index slot + 1) as this store last read or wrote it.
    std::vector<CardRevision> seen_ = std::vector<CardRevision>(kCardCapacity + 1, 0);
    // Slots whose revision moved while the connection was lost.
    std::vector<int> moved_;
    bool reloadAll_ = false;
    bool reconnected_ = false;  // a renewed session, not told yet
    bool hadSession_ = false;
};

} // namespace k8w::pg
