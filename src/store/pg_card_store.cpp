#include "store/pg_card_store.h"

#include "cards/card_table.h"
#include "store/card_backup.h"
#include "store/pg_card_schema.h"

#include <libpq-fe.h>

#include <QtEndian>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <cstring>
#include <string>

namespace k8w {
namespace {

constexpr int kMaxRetries = 200;  // a command's change against others' changes

// A statement parameter: bytes in binary form, anything else as text.
struct Param {
    QByteArray value;
    bool binary = false;
};
Param num(qint64 n) { return {QByteArray::number(n), false}; }
Param str(const QString& text) { return {text.toUtf8(), false}; }
Param bin(const QByteArray& bytes) { return {bytes, true}; }

// A result that frees itself.
struct PgResult {
    PGresult* r = nullptr;
    explicit PgResult(PGresult* result) : r(result) {}
    ~PgResult() { PQclear(r); }
    PgResult(const PgResult&) = delete;
    PgResult& operator=(const PgResult&) = delete;
    PgResult(PgResult&& other) noexcept : r(other.r) { other.r = nullptr; }
    bool ok() const {
        const ExecStatusType s = PQresultStatus(r);
        return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
    }
    int rows() const { return PQntuples(r); }
    QString sqlState() const { return QString::fromLatin1(PQresultErrorField(r, PG_DIAG_SQLSTATE)); }
    // Binary-format readers.
    std::int64_t int8(int row, int col) const {
        return qFromBigEndian<std::int64_t>(PQgetvalue(r, row, col));
    }
    QString text(int row, int col) const {
        return QString::fromUtf8(PQgetvalue(r, row, col), PQgetlength(r, row, col));
    }
    bool card(int row, int col, Card& out) const {
        if (PQgetlength(r, row, col) != static_cast<int>(kCardSize)) return false;
        std::memcpy(static_cast<void*>(&out), PQgetvalue(r, row, col), kCardSize);
        return true;
    }
};

// Connects with the URI whole. A server that does not answer is given up
// after 10 s unless the URI (or PGCONNECT_TIMEOUT) says otherwise: the URI
// comes after the default, so its own parameters win.
PGconn* connectTo(const char* uri) {
    const bool envTimeout = !qEnvironmentVariableIsEmpty("PGCONNECT_TIMEOUT");
    const char* keywords[] = {"connect_timeout", "dbname", nullptr};
    const char* values[] = {"10", uri, nullptr};
    return PQconnectdbParams(envTimeout ? keywords + 1 : keywords, envTimeout ? values + 1 : values, 1);
}

// The password of a URI, to blank out of any text shown (libpq's own
// messages do not carry it, but a server's reason might echo the URI).
std::string passwordOf(const QString& uri) {
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(uri.toUtf8().constData(), &error);
    PQfreemem(error);
    std::string password;
    for (PQconninfoOption* o = options; o && o->keyword; ++o)
        if (std::strcmp(o->keyword, "password") == 0 && o->val) password = o->val;
    PQconninfoFree(options);
    return password;
}

class PgCardStore final : public CardStore {
public:
    explicit PgCardStore(const QString& uri)
        : uri_(uri.toUtf8().toStdString()), shown_(CardBaseUriForDisplay(uri)), password_(passwordOf(uri)) {}
    ~PgCardStore() override {
        if (conn_) PQfinish(conn_);
    }

    // Connects, checks the base and learns the role's rights. Empty on success.
    QString open() {
        if (const QString why = connect(); !why.isEmpty()) return why;
        return {};
    }

    QString location() const override { return shown_; }
    bool keepsHistory() const override { return true; }

    CardStoreResult loadAll(CardTable& table, std::vector<CardRevision>& revisions) override {
        if (CardStoreResult lost = ensureConnected(); !lost.ok()) return lost;
        PgResult res = exec("SELECT slot, revision, data FROM k8w_cards", {});
        if (!res.ok()) return failure(res);
        table.clear();
        revisions.assign(kCardCapacity, 0);
        for (int i = 0; i < res.rows(); ++i) {
            const auto slot = static_cast<int>(qFromBigEndian<std::int32_t>(PQgetvalue(res.r, i, 0)));
            Card& into = slot == kTemplateSlot ? table.cardTemplate : table.cards[static_cast<std::size_t>(slot)];
            if (!res.card(i, 2, into))
                return {CardStoreStatus::Unreadable, QStringLiteral("slot %1 is not a card record").arg(slot), {}};
            if (slot >= 0) revisions[static_cast<std::size_t>(slot)] = res.int8(i, 1);
        }
        return {};
    }

    CardStoreResult readCard(int slot) override {
        if (CardStoreResult lost = ensureConnected(); !lost.ok()) return lost;
        return readRow(slot);
    }

    CardStoreResult saveCard(int slot, const Card& card, CardRevision seen, const Card* newTemplate) override {
        if (CardStoreResult refused = writePrecheck(slot); !refused.ok()) return refused;
        if (newTemplate) {
            if (PgResult begin = exec("BEGIN", {}); !begin.ok()) return failure(begin);
        }
        // The programming result (bytes 815-826) and the keys (892-1275) stay
        // as the newest version has them: they change only by their own calls.
        PgResult res = exec("UPDATE k8w_cards SET data = overlay(overlay($1::bytea PLACING substring(data FROM 816 "
                            "FOR 12) FROM 816) PLACING substring(data FROM 893 FOR 384) FROM 893), "
                            "revision = revision + 1, change_kind = 'save' WHERE slot = $2 AND revision = $3 " +
                                kReturning,
                            {bytes(card), num(slot), num(seen)});
        CardStoreResult saved = afterWrite(res, slot);
        if (!newTemplate) return saved;
        if (saved.ok()) {
            PgResult tmpl = exec("UPDATE k8w_cards SET data = $1, revision = revision + 1, change_kind = 'save' "
                                 "WHERE slot = -1",
                                 {bytes(*newTemplate)});
            if (!tmpl.ok()) saved = failure(tmpl);
        }
        PgResult end = exec(saved.ok() ? "COMMIT" : "ROLLBACK", {});
        if (saved.ok() && !end.ok()) return failure(end);
        return saved;
    }

    CardStoreResult deleteCard(int slot, CardRevision seen) override {
        if (CardStoreResult refused = writePrecheck(slot); !refused.ok()) return refused;
        return writeIfAt(slot, bytes(Card{}), seen, QStringLiteral("delete"));
    }

    CardStoreResult setKey(int slot, int group, int entry, const KeyEntry& key, CardRevision seen) override {
        if (CardStoreResult refused = writePrecheck(slot); !refused.ok()) return refused;
        if (group < 0 || group >= kKeyGroups || entry < 0 || entry >= kKeysPerGroup)
            return {CardStoreStatus::Refused, QStringLiteral("no such key slot"), {}};
        const int from = static_cast<int>(kKeyBlockOffset) + 96 * group + 16 * entry + 1;  // 1-based
        const QByteArray keyBytes(reinterpret_cast<const char*>(&key), sizeof key);
        PgResult res = exec("UPDATE k8w_cards SET data = overlay(data PLACING $1 FROM " + std::to_string(from) +
                                " FOR 16), revision = revision + 1, change_kind = 'key' "
                                "WHERE slot = $2 AND revision = $3 " + kReturning,
                            {bin(keyBytes), num(slot), num(seen)});
        return afterWrite(res, slot);
    }

    CardStoreResult updateCard(int slot, const CardEdit& edit, const QString& kind) override {
        if (CardStoreResult refused = writePrecheck(slot); !refused.ok()) return refused;
        for (int attempt = 0; attempt < kMaxRetries; ++attempt) {
            CardStoreResult now = readRow(slot);
            if (!now.ok()) return now;
            Card card = now.current.card;
            if (const QString refusal = edit(card); !refusal.isEmpty())
                return {CardStoreStatus::Refused, refusal, now.current};
            CardStoreResult written = writeIfAt(slot, bytes(card), now.current.revision, kind);
            if (written.status != CardStoreStatus::Conflict) return written;
        }
        return {CardStoreStatus::SaveFailed, QStringLiteral("the card kept changing; the change was not written"), {}};
    }

    CardStoreResult updateAll(const CardBaseEdit& edit, const QString& kind) override {
        if (CardStoreResult refused = writePrecheck(kTemplateSlot); !refused.ok()) return refused;
        for (int attempt = 0; attempt < kMaxRetries; ++attempt) {
            auto before = CardTable::create();
            std::vector<CardRevision> seen;
            if (CardStoreResult loaded = loadAll(*before, seen); !loaded.ok()) return loaded;
            auto after = CardTable::create();
            *after = *before;
            if (const QString refusal = edit(*after); !refusal.isEmpty())
                return {CardStoreStatus::Refused, refusal, {}};
            bool conflict = false;
            CardStoreResult result = inOneTransaction([&]() -> CardStoreResult {
                for (int slot = kTemplateSlot; slot < kCardCapacity; ++slot) {
                    const auto at = static_cast<std::size_t>(slot);
                    const Card& want = slot == kTemplateSlot ? after->cardTemplate : after->cards[at];
                    const Card& had = slot == kTemplateSlot ? before->cardTemplate : before->cards[at];
                    if (std::memcmp(&want, &had, kCardSize) == 0) continue;
                    // The template keeps no revision of its own: it is taken as the edit made it.
                    PgResult up = slot == kTemplateSlot
                                      ? exec("UPDATE k8w_cards SET data = $1, revision = revision + 1, "
                                             "change_kind = $2 WHERE slot = -1",
                                             {bytes(want), str(kind)})
                                      : exec("UPDATE k8w_cards SET data = $1, revision = revision + 1, "
                                             "change_kind = $4 WHERE slot = $2 AND revision = $3",
                                             {bytes(want), num(slot), num(seen[at]), str(kind)});
                    if (!up.ok()) return failure(up);
                    if (std::atoi(PQcmdTuples(up.r)) == 0) {
                        conflict = true;
                        return {CardStoreStatus::Conflict, QStringLiteral("row %1 changed meanwhile").arg(slot + 1), {}};
                    }
                }
                return {};
            });
            if (!conflict) return result;
        }
        return {CardStoreStatus::SaveFailed, QStringLiteral("the base kept changing; the change was not written"), {}};
    }

    CardStoreResult renewTemplate(const Card& cardTemplate) override {
        if (CardStoreResult refused = writePrecheck(kTemplateSlot); !refused.ok()) return refused;
        PgResult res = exec("UPDATE k8w_cards SET data = $1, revision = revision + 1, change_kind = 'save' "
                            "WHERE slot = -1 " + kReturning,
                            {bytes(cardTemplate)});
        return afterWrite(res, kTemplateSlot);
    }

    CardStoreResult checkWritable() override {
        // A connection that died quietly is found out, and renewed, here.
        if (conn_ && PQstatus(conn_) == CONNECTION_OK) {
            PgResult ping = exec("SELECT 1", {});
            if (!ping.ok()) {
                PQreset(conn_);
                afterReconnect();
            }
        }
        if (CardStoreResult lost = ensureConnected(); !lost.ok()) return lost;
        if (!canWrite_) return readOnly();
        return {};
    }

    bool canWrite() const override { return canWrite_; }
    int notificationSocket() const override {
        return conn_ && PQstatus(conn_) == CONNECTION_OK ? PQsocket(conn_) : -1;
    }
    void setSocketListener(std::function<void(int)> listener) override { listener_ = std::move(listener); }

    CardChanges takeChanges() override {
        CardChanges changes;
        changes.all = reloadAll_;
        reloadAll_ = false;
        if (!conn_ || PQstatus(conn_) != CONNECTION_OK) return changes;
        if (!PQconsumeInput(conn_)) {
            tellSocket();
            return changes;
        }
        const int self = PQbackendPID(conn_);
        while (PGnotify* notice = PQnotifies(conn_)) {
            if (notice->be_pid != self) {
                bool number = false;
                const int slot = QString::fromUtf8(notice->extra).toInt(&number);
                if (number && std::find(changes.changedSlots.begin(), changes.changedSlots.end(), slot) == changes.changedSlots.end())
                    changes.changedSlots.push_back(slot);
            }
            PQfreemem(notice);
        }
        return changes;
    }

    CardStoreResult history(int slot, std::vector<CardVersion>& versions) override {
        versions.clear();
        if (CardStoreResult lost = ensureConnected(); !lost.ok()) return lost;
        PgResult res = exec("SELECT revision, (extract(epoch FROM changed_at) * 1000)::int8, changed_by, change_kind, "
                            "data FROM k8w_card_history WHERE slot = $1 ORDER BY revision DESC",
                            {num(slot)});
        if (!res.ok()) return failure(res);
        for (int i = 0; i < res.rows(); ++i) {
            CardVersion v;
            v.revision = res.int8(i, 0);
            v.changedAt = QDateTime::fromMSecsSinceEpoch(res.int8(i, 1));
            v.changedBy = res.text(i, 2);
            v.kind = res.text(i, 3);
            res.card(i, 4, v.card);
            versions.push_back(std::move(v));
        }
        return {};
    }

    CardStoreResult restore(int slot, CardRevision revision) override {
        if (CardStoreResult refused = writePrecheck(slot); !refused.ok()) return refused;
        PgResult res = exec("UPDATE k8w_cards c SET data = h.data, revision = c.revision + 1, change_kind = 'restore' "
                            "FROM k8w_card_history h WHERE c.slot = $1 AND h.slot = $1 AND h.revision = $2 "
                            "RETURNING c.revision, (extract(epoch FROM c.changed_at) * 1000)::int8, c.changed_by, "
                            "c.data",
                            {num(slot), num(revision)});
        if (res.ok() && res.rows() == 0)
            return {CardStoreStatus::NotFound,
                    QStringLiteral("row %1 has no revision %2").arg(slot + 1).arg(revision), {}};
        return afterWrite(res, slot);
    }

    CardStoreResult hasCards(bool& any) override {
        any = false;
        if (CardStoreResult lost = ensureConnected(); !lost.ok()) return lost;
        PgResult res = exec("SELECT count(*)::int8 FROM k8w_cards WHERE in_use", {});
        if (!res.ok()) return failure(res);
        any = res.int8(0, 0) > 0;
        return {};
    }

    CardStoreResult replaceAll(const CardTable& table) override {
        if (CardStoreResult refused = writePrecheck(kTemplateSlot); !refused.ok()) return refused;
        auto now = CardTable::create();
        std::vector<CardRevision> revisions;
        if (CardStoreResult loaded = loadAll(*now, revisions); !loaded.ok()) return loaded;
        return inOneTransaction([&]() -> CardStoreResult {
            for (int slot = kTemplateSlot; slot < kCardCapacity; ++slot) {
                const Card& want = slot == kTemplateSlot ? table.cardTemplate : table.cards[static_cast<std::size_t>(slot)];
                const Card& have = slot == kTemplateSlot ? now->cardTemplate : now->cards[static_cast<std::size_t>(slot)];
                if (std::memcmp(&want, &have, kCardSize) == 0) continue;
                PgResult up = exec("UPDATE k8w_cards SET data = $1, revision = revision + 1, change_kind = 'copy' "
                                   "WHERE slot = $2",
                                   {bytes(want), num(slot)});
                if (!up.ok()) return failure(up);
            }
            return {};
        });
    }

    CardStoreResult listBackups(std::vector<CardBackup>& backups) override {
        backups.clear();
        return noBackups();
    }
    CardStoreResult restoreBackup(const QString&, const std::vector<int>*) override { return noBackups(); }

    CardStoreResult flush() override { return {}; }

private:
    inline static const std::string kReturning =
        "RETURNING revision, (extract(epoch FROM changed_at) * 1000)::int8, changed_by, data";

    static CardStoreResult noBackups() {
        return {CardStoreStatus::NoHistory,
                QStringLiteral("a shared base keeps every version of each card instead of backups"), {}};
    }

    static Param bytes(const Card& card) {
        return bin(QByteArray(reinterpret_cast<const char*>(&card), kCardSize));
    }

    // A text with the password of the URI, should it appear, blanked out.
    QString scrub(QString text) const {
        text = text.trimmed();
        if (!password_.empty()) text.replace(QString::fromStdString(password_), QStringLiteral("***"));
        return text;
    }

    QString connect() {
        if (conn_) PQfinish(conn_);
        conn_ = connectTo(uri_.c_str());
        if (PQstatus(conn_) != CONNECTION_OK) return scrub(QString::fromUtf8(PQerrorMessage(conn_)));
        return afterConnect();
    }

    // What every new session does: check the base is there, learn the
    // rights, listen for changes.
    QString afterConnect() {
        PgResult base = exec("SELECT t IS NOT NULL, coalesce(has_table_privilege(t, 'UPDATE'), false) "
                             "FROM (SELECT to_regclass('k8w_cards') AS t) AS base",
                             {}, 0);
        if (!base.ok()) return scrub(QString::fromUtf8(PQerrorMessage(conn_)));
        if (PQgetvalue(base.r, 0, 0)[0] != 't')
            return QStringLiteral("%1 holds no card base (create it with k8w-cli base-init)").arg(shown_);
        canWrite_ = PQgetvalue(base.r, 0, 1)[0] == 't';
        PgResult listen = exec(std::string("LISTEN ") + pg::kChannel, {});
        if (!listen.ok()) return scrub(QString::fromUtf8(PQerrorMessage(conn_)));
        tellSocket();
        return {};
    }

    void afterReconnect() {
        if (PQstatus(conn_) == CONNECTION_OK && afterConnect().isEmpty()) reloadAll_ = true;
        else tellSocket();
    }

    void tellSocket() {
        if (listener_) listener_(notificationSocket());
    }

    // The next action after a lost connection reconnects.
    CardStoreResult ensureConnected() {
        if (conn_ && PQstatus(conn_) == CONNECTION_OK) return {};
        const QString why = connect();
        if (why.isEmpty()) {
            reloadAll_ = true;
            return {};
        }
        tellSocket();
        return {CardStoreStatus::ConnectionLost, why, {}};
    }

    CardStoreResult readOnly() const { return {CardStoreStatus::ReadOnly, QStringLiteral("this user may not change the shared card base"), {}}; }

    CardStoreResult writePrecheck(int slot) {
        if (slot < kTemplateSlot || slot >= kCardCapacity)
            return {CardStoreStatus::Refused, QStringLiteral("no such slot: %1").arg(slot), {}};
        if (CardStoreResult lost = ensureConnected(); !lost.ok()) return lost;
        if (!canWrite_) return readOnly();
        return {};
    }

    // Parameters in text form except card bytes (binary); results in binary.
    PgResult exec(const std::string& sql, const std::vector<Param>& params, int resultFormat = 1) {
        std::vector<const char*> values;
        std::vector<int> lengths;
        std::vector<int> formats;
        for (const Param& p : params) {
            values.push_back(p.value.constData());
            lengths.push_back(static_cast<int>(p.value.size()));
            formats.push_back(p.binary ? 1 : 0);
        }
        return PgResult(PQexecParams(conn_, sql.c_str(), static_cast<int>(params.size()), nullptr, values.data(),
                                     lengths.data(), formats.data(), resultFormat));
    }

    CardStoreResult failure(const PgResult& res) {
        const QString state = res.sqlState();
        const QString message = scrub(QString::fromUtf8(PQresultErrorMessage(res.r)));
        if (!conn_ || PQstatus(conn_) != CONNECTION_OK || state.startsWith(QStringLiteral("08")) ||
            state.startsWith(QStringLiteral("57P"))) {
            QString why = message.isEmpty() ? scrub(QString::fromUtf8(PQerrorMessage(conn_))) : message;
            tellSocket();
            return {CardStoreStatus::ConnectionLost, why, {}};
        }
        if (state == QStringLiteral("23505") || state == QStringLiteral("23P01"))
            return {CardStoreStatus::CodeTaken, QStringLiteral("another card in use has this device code"), {}};
        if (state == QStringLiteral("42501")) {
            canWrite_ = false;
            return readOnly();
        }
        return {CardStoreStatus::SaveFailed, message, {}};
    }

    // Runs the writes of `body` as one transaction, committed only when it
    // succeeds. Codes may move between slots, so the code rule is checked
    // once, at the commit.
    CardStoreResult inOneTransaction(const std::function<CardStoreResult()>& body) {
        if (PgResult begin = exec("BEGIN", {}); !begin.ok()) return failure(begin);
        CardStoreResult result;
        if (PgResult defer = exec("SET CONSTRAINTS k8w_cards_code_unique DEFERRED", {}); !defer.ok())
            result = failure(defer);
        if (result.ok()) result = body();
        PgResult end = exec(result.ok() ? "COMMIT" : "ROLLBACK", {});
        if (result.ok() && !end.ok()) return failure(end);
        return result;
    }

    CardStoreResult readRow(int slot) {
        PgResult res = exec("SELECT revision, (extract(epoch FROM changed_at) * 1000)::int8, changed_by, data "
                            "FROM k8w_cards WHERE slot = $1",
                            {num(slot)});
        if (!res.ok()) return failure(res);
        if (res.rows() != 1) return {CardStoreStatus::NotFound, QStringLiteral("no slot %1").arg(slot), {}};
        CardStoreResult result;
        fill(res, result.current);
        return result;
    }

    static void fill(const PgResult& res, CardVersion& v) {
        v.revision = res.int8(0, 0);
        v.changedAt = QDateTime::fromMSecsSinceEpoch(res.int8(0, 1));
        v.changedBy = res.text(0, 2);
        res.card(0, 3, v.card);
    }

    // The outcome of an UPDATE ... RETURNING: the row written, or, when no
    // row matched the revision, the newer version that stopped it.
    CardStoreResult afterWrite(const PgResult& res, int slot) {
        if (!res.ok()) return failure(res);
        if (res.rows() == 0) {
            CardStoreResult newer = readRow(slot);
            if (!newer.ok()) return newer;
            newer.status = CardStoreStatus::Conflict;
            newer.reason = QStringLiteral("row %1 was changed by %2 meanwhile").arg(slot + 1).arg(newer.current.changedBy);
            return newer;
        }
        CardStoreResult result;
        fill(res, result.current);
        return result;
    }

    CardStoreResult writeIfAt(int slot, const Param& data, CardRevision seen, const QString& kind) {
        PgResult res = exec("UPDATE k8w_cards SET data = $1, revision = revision + 1, change_kind = $4 "
                            "WHERE slot = $2 AND revision = $3 " + kReturning,
                            {data, num(slot), num(seen), str(kind)});
        return afterWrite(res, slot);
    }

    std::string uri_;
    QString shown_;
    std::string password_;
    PGconn* conn_ = nullptr;
    bool canWrite_ = false;
    bool reloadAll_ = false;
    std::function<void(int)> listener_;
};

} // namespace

std::unique_ptr<CardStore> OpenPgCardStore(const QString& uri, QString* error) {
    auto store = std::make_unique<PgCardStore>(uri);
    if (const QString why = store->open(); !why.isEmpty()) {
        if (error) *error = why;
        return nullptr;
    }
    return store;
}

QString InitPgCardBase(const QString& uri, bool* created) {
    if (created) *created = false;
    const std::string password = passwordOf(uri);
    auto scrub = [&](QString text) {
        text = text.trimmed();
        if (!password.empty()) text.replace(QString::fromStdString(password), QStringLiteral("***"));
        return text;
    };
    PGconn* conn = connectTo(uri.toUtf8().constData());
    QString why;
    if (PQstatus(conn) != CONNECTION_OK) {
        why = scrub(QString::fromUtf8(PQerrorMessage(conn)));
    } else {
        PGresult* res = PQexec(conn, "BEGIN; SELECT pg_advisory_xact_lock(8008001);");
        PQclear(res);
        res = PQexec(conn, "SELECT to_regclass('k8w_cards') IS NOT NULL");
        const bool exists = PQresultStatus(res) == PGRES_TUPLES_OK && PQgetvalue(res, 0, 0)[0] == 't';
        PQclear(res);
        if (!exists) {
            res = PQexec(conn, pg::kSchemaSql);
            if (PQresultStatus(res) != PGRES_COMMAND_OK) why = scrub(QString::fromUtf8(PQresultErrorMessage(res)));
            PQclear(res);
        }
        res = PQexec(conn, why.isEmpty() ? "COMMIT" : "ROLLBACK");
        if (why.isEmpty() && PQresultStatus(res) != PGRES_COMMAND_OK)
            why = scrub(QString::fromUtf8(PQresultErrorMessage(res)));
        PQclear(res);
        if (created) *created = why.isEmpty() && !exists;
    }
    PQfinish(conn);
    return why;
}

} // namespace k8w
