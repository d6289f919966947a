#include "store/pg_card_store.h"

#include "cards/card_table.h"
#include "store/card_backup.h"
#include "store/pg_card_schema.h"
#include "store/pg_card_store_impl.h"

#include <algorithm>

namespace k8w {
namespace pg {
namespace {

bool validSlot(int slot) { return slot >= kTemplateSlot && slot < kCardCapacity; }

void addOnce(std::vector<int>& list, int slot) {
    if (std::find(list.begin(), list.end(), slot) == list.end()) list.push_back(slot);
}

const std::string kVersionColumns = "revision, (extract(epoch FROM changed_at) * 1000)::int8, changed_by, data";

// Whether this session can write: the right on the table, and neither a
// read-only session nor a standby.
const std::string kMayWrite = "has_table_privilege('k8w_cards', 'UPDATE') AND NOT pg_is_in_recovery() "
                              "AND current_setting('transaction_read_only') = 'off'";

} // namespace

QString PgCardStore::open() {
    if (const QString why = conn_.connect(); !why.isEmpty()) return why;
    const CardStoreResult session = setUpSession(false);
    return session.ok() ? QString() : session.reason;
}

// What every new session does: check the base, learn the rights, listen for
// changes and, when it renews a lost one, find what moved meanwhile.
CardStoreResult PgCardStore::setUpSession(bool renewed) {
    if (!setUpAtOnce()) {
        if (!conn_.live()) {  // lost on the way: the steps would only wait again
            conn_.tellSocket();
            return lost();
        }
        if (const QString why = CheckBaseVersion(conn_); !why.isEmpty())
            return {conn_.live() ? CardStoreStatus::Unreadable : CardStoreStatus::ConnectionLost, why, {}};
        if (CardStoreResult rights = learnRights(); !rights.ok()) return rights;
        if (Result listen = conn_.exec(std::string("LISTEN ") + kChannel); !listen.ok()) return failure(listen);
    }
    if (renewed) {
        // A store that never had a session has seen nothing: everything is read anew.
        if (hadSession_) noteMovedSlots(); else reloadAll_ = true;
        reconnected_ = true;
    }
    hadSession_ = true;
    conn_.tellSocket();
    return {};
}

CardStoreResult PgCardStore::learnRights() {
    Result res = conn_.exec("SELECT " + kMayWrite);
    if (!res.ok()) return failure(res);
    canWrite_ = res.boolean(0, 0);
    return {};
}

// A base of this program's version is set up in one round trip: listen, the
// version and the rights in one text. False when the base is of another
// version or anything failed: the steps one by one then say why (listening
// twice does no harm).
bool PgCardStore::setUpAtOnce() {
    Result res = conn_.exec(std::string("LISTEN ") + kChannel + "; SELECT k8w_base_version(), " + kMayWrite, {}, 0);
    if (!res.ok() || res.rows() != 1 || res.text(0, 0) != QString::number(kSchemaVersion)) return false;
    canWrite_ = res.text(0, 1) == QStringLiteral("t");
    return true;
}

// Compares the server's revisions with those this store last saw.
void PgCardStore::noteMovedSlots() {
    Result res = conn_.exec("SELECT slot, revision FROM k8w_cards WHERE revision > 0 OR slot = -1");
    if (!res.ok()) {
        reloadAll_ = true;
        return;
    }
    std::vector<CardRevision> now(seen_.size(), 0);
    for (int i = 0; i < res.rows(); ++i) {
        const int slot = res.int4(i, 0);
        if (validSlot(slot)) now[static_cast<std::size_t>(slot + 1)] = res.int8(i, 1);
    }
    for (int slot = kTemplateSlot; slot < kCardCapacity; ++slot)
        if (now[static_cast<std::size_t>(slot + 1)] != seen(slot)) addOnce(moved_, slot);
}

// The next action after a lost connection connects again, once.
CardStoreResult PgCardStore::ensureConnected() {
    if (conn_.live()) return {};
    if (const QString why = conn_.connect(); !why.isEmpty()) {
        conn_.tellSocket();
        return {CardStoreStatus::ConnectionLost, why, {}};
    }
    return setUpSession(true);
}

CardStoreResult PgCardStore::lost() {
    return {CardStoreStatus::ConnectionLost, conn_.lastError(), {}};
}

CardStoreResult PgCardStore::failure(const Result& res) {
    const QString state = res.sqlState();
    const QString message = conn_.scrub(QString::fromUtf8(PQresultErrorMessage(res.r)));
    // Lost, given up, or stopped by the lock or statement timeout.
    if (!res.r || !conn_.live() || state.startsWith(QStringLiteral("08")) || state.startsWith(QStringLiteral("57P")) ||
        state == QStringLiteral("55P03") || state == QStringLiteral("57014")) {
        if (!conn_.live()) conn_.tellSocket();
        return {CardStoreStatus::ConnectionLost, message.isEmpty() ? conn_.lastError() : message, {}};
    }
    if (state == QStringLiteral("23505") || state == QStringLiteral("23P01"))
        return {CardStoreStatus::CodeTaken, QStringLiteral("another card in use has this device code"), {}};
    if (state == QStringLiteral("42501") || state == QStringLiteral("25006")) {
        canWrite_ = false;
        return readOnly();
    }
    return {CardStoreStatus::SaveFailed, message, {}};
}

CardStoreResult PgCardStore::readOnly() const {
    return {CardStoreStatus::ReadOnly, QStringLiteral("this user may not change the shared card base"), {}};
}

CardStoreResult PgCardStore::writePrecheck(int slot) {
    if (!validSlot(slot)) return {CardStoreStatus::Refused, QStringLiteral("no such slot: %1").arg(slot), {}};
    if (CardStoreResult lostNow = ensureConnected(); !lostNow.ok()) return lostNow;
    if (!canWrite_) return readOnly();
    return {};
}

CardStoreResult PgCardStore::checkWritable() {
    // A connection that died quietly is found out, and renewed, here; one
    // that stopped answering is not waited for again.
    if (conn_.live()) {
        if (CardStoreResult asked = learnRights(); !asked.ok() && (conn_.live() || conn_.gaveUp())) return asked;
    }
    if (CardStoreResult lostNow = ensureConnected(); !lostNow.ok()) return lostNow;
    return canWrite_ ? CardStoreResult{} : readOnly();
}

// Slots in use and the template with their bytes; other written slots with
// their revision alone (a deleted card's slot).
CardStoreResult PgCardStore::loadRows(CardTable& table, std::vector<CardRevision>& revisions) {
    Result res = conn_.exec("SELECT slot, revision, CASE WHEN slot = -1 OR in_use OR data <> decode(repeat('00', "
                            "1310), 'hex') THEN data END FROM k8w_cards WHERE revision > 0 OR slot = -1");
    if (!res.ok()) return failure(res);
    table.clear();
    revisions.assign(kCardCapacity, 0);
    std::fill(seen_.begin(), seen_.end(), 0);
    for (int i = 0; i < res.rows(); ++i) {
        const int slot = res.int4(i, 0);
        if (!validSlot(slot))
            return {CardStoreStatus::Unreadable, QStringLiteral("the server sent slot %1, which does not exist").arg(slot), {}};
        Card& into = slot == kTemplateSlot ? table.cardTemplate : table.cards[static_cast<std::size_t>(slot)];
        if (!res.isNull(i, 2) && !res.card(i, 2, into))
            return {CardStoreStatus::Unreadable, QStringLiteral("slot %1 is not a card record").arg(slot), {}};
        seen(slot) = res.int8(i, 1);
        if (slot >= 0) revisions[static_cast<std::size_t>(slot)] = seen(slot);
    }
    return {};
}

CardStoreResult PgCardStore::loadAll(CardTable& table, std::vector<CardRevision>& revisions) {
    if (CardStoreResult lostNow = ensureConnected(); !lostNow.ok()) return lostNow;
    return loadRows(table, revisions);
}

CardStoreResult PgCardStore::readRow(int slot) {
    Result res = conn_.exec("SELECT " + kVersionColumns + " FROM k8w_cards WHERE slot = $1", {num(slot)});
    if (!res.ok()) return failure(res);
    if (res.rows() != 1) return {CardStoreStatus::NotFound, QStringLiteral("no slot %1").arg(slot), {}};
    CardStoreResult result;
    fill(res, 0, slot, result.current);
    return result;
}

void PgCardStore::fill(const Result& res, int row, int slot, CardVersion& v) {
    v.revision = res.int8(row, 0);
    v.changedAt = QDateTime::fromMSecsSinceEpoch(res.int8(row, 1));
    v.changedBy = res.text(row, 2);
    res.card(row, 3, v.card);
    if (validSlot(slot)) seen(slot) = v.revision;
}

CardStoreResult PgCardStore::readCard(int slot) {
    if (CardStoreResult lostNow = ensureConnected(); !lostNow.ok()) return lostNow;
    return readRow(slot);
}

CardChanges PgCardStore::takeChanges() {
    CardChanges changes;
    changes.all = reloadAll_;
    changes.reconnected = reconnected_;
    reloadAll_ = false;
    reconnected_ = false;
    changes.changedSlots.swap(moved_);
    for (const QString& notice : conn_.takeNotices()) {
        bool number = false;
        const int slot = notice.toInt(&number);
        if (number && validSlot(slot)) addOnce(changes.changedSlots, slot);
    }
    return changes;
}

CardStoreResult PgCardStore::history(int slot, std::vector<CardVersion>& versions) {
    versions.clear();
    if (CardStoreResult lostNow = ensureConnected(); !lostNow.ok()) return lostNow;
    Result res = conn_.exec("SELECT revision, (extract(epoch FROM changed_at) * 1000)::int8, changed_by, data, "
                            "change_kind FROM k8w_card_history WHERE slot = $1 ORDER BY revision DESC",
                            {num(slot)});
    if (!res.ok()) return failure(res);
    for (int i = 0; i < res.rows(); ++i) {
        CardVersion v;
        fill(res, i, kCardCapacity, v);  // not the current version: not noted as seen
        v.kind = res.text(i, 4);
        versions.push_back(std::move(v));
    }
    return {};
}

CardStoreResult PgCardStore::hasCards(bool& any) {
    any = false;
    if (CardStoreResult lostNow = ensureConnected(); !lostNow.ok()) return lostNow;
    Result res = conn_.exec("SELECT count(*)::int8 FROM k8w_cards WHERE in_use");
    if (!res.ok()) return failure(res);
    any = res.int8(0, 0) > 0;
    return {};
}

CardStoreResult PgCardStore::listBackups(std::vector<CardBackup>& backups) {
    backups.clear();
    return restoreBackup(QString(), nullptr);
}

CardStoreResult PgCardStore::restoreBackup(const QString&, const std::vector<int>*) {
    return {CardStoreStatus::NoHistory,
            QStringLiteral("a shared base keeps every version of each card instead of backups"), {}};
}

} // namespace pg

std::unique_ptr<CardStore> OpenPgCardStore(const QString& uri, QString* error) {
    auto store = std::make_unique<pg::PgCardStore>(uri);
    if (const QString why = store->open(); !why.isEmpty()) {
        if (error) *error = why;
        return nullptr;
    }
    return store;
}

std::unique_ptr<CardStore> PgCardStoreConnectingLater(const QString& uri) {
    return std::make_unique<pg::PgCardStore>(uri);
}

} // namespace k8w
