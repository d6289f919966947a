// The changes of the shared card base: each under the revision check of the
// slot it changes, the template's included.
#include "cards/card_table.h"
#include "store/pg_card_store_impl.h"

#include <cstring>

namespace k8w::pg {
namespace {

constexpr int kMaxRetries = 200;  // a command's change against others' changes

const std::string kReturning =
    "RETURNING revision, (extract(epoch FROM changed_at) * 1000)::int8, changed_by, data";

const Card& slotOf(const CardTable& table, int slot) {
    return slot == kTemplateSlot ? table.cardTemplate : table.cards[static_cast<std::size_t>(slot)];
}

} // namespace

// Runs the writes of `body` as one transaction, committed only when it
// succeeds. Codes may move between slots, so the code rule is checked
// once, at the commit.
CardStoreResult PgCardStore::inOneTransaction(const std::function<CardStoreResult()>& body) {
    if (Result begin = conn_.exec("BEGIN"); !begin.ok()) return failure(begin);
    CardStoreResult result;
    if (Result defer = conn_.exec("SET CONSTRAINTS k8w_cards_code_unique DEFERRED"); !defer.ok())
        result = failure(defer);
    if (result.ok()) result = body();
    if (!conn_.live()) return result.ok() ? lost() : result;
    Result end = conn_.exec(result.ok() ? "COMMIT" : "ROLLBACK");
    if (result.ok() && !end.ok()) return failure(end);
    return result;
}

// The outcome of an UPDATE ... RETURNING: the row written, or, when no row
// matched the revision, the newer version that stopped it.
CardStoreResult PgCardStore::afterWrite(const Result& res, int slot) {
    if (!res.ok()) return failure(res);
    if (res.rows() == 0) {
        CardStoreResult newer = readRow(slot);
        if (!newer.ok()) return newer;
        newer.status = CardStoreStatus::Conflict;
        newer.reason = slot == kTemplateSlot
                           ? QStringLiteral("the new-card template was changed by %1 meanwhile").arg(newer.current.changedBy)
                           : QStringLiteral("row %1 was changed by %2 meanwhile").arg(slot + 1).arg(newer.current.changedBy);
        return newer;
    }
    CardStoreResult result;
    fill(res, 0, slot, result.current);
    return result;
}

CardStoreResult PgCardStore::writeIfAt(int slot, const Param& data, CardRevision at, const QString& kind) {
    Result res = conn_.exec("UPDATE k8w_cards SET data = $1, revision = revision + 1, change_kind = $4 "
                            "WHERE slot = $2 AND revision = $3 " + kReturning,
                            {data, num(slot), num(at), str(kind)});
    return afterWrite(res, slot);
}

CardStoreResult PgCardStore::saveCard(int slot, const Card& card, CardRevision at, const Card* newTemplate) {
    if (CardStoreResult refused = writePrecheck(slot); !refused.ok()) return refused;
    if (newTemplate) return saveWithTemplate(slot, card, at, *newTemplate);
    // The programming result (bytes 815-826) and the keys (892-1275) stay
    // as the newest version has them: they change only by their own calls.
    Result res = conn_.exec("UPDATE k8w_cards SET data = overlay(overlay($1::bytea PLACING substring(data FROM 816 "
                            "FOR 12) FROM 816) PLACING substring(data FROM 893 FOR 384) FROM 893), "
                            "revision = revision + 1, change_kind = 'save' WHERE slot = $2 AND revision = $3 " +
                                kReturning,
                            {cardBytes(card), num(slot), num(at)});
    return afterWrite(res, slot);
}

// The card and the template together, each at the revision last seen: when
// the template moved meanwhile nothing is written and the card's newest
// version comes back as a conflict (a second call writes over it).
CardStoreResult PgCardStore::saveWithTemplate(int slot, const Card& card, CardRevision at, const Card& newTemplate) {
    CardStoreResult templateWrite;
    CardStoreResult saved = inOneTransaction([&]() -> CardStoreResult {
        CardStoreResult cardWrite = saveCard(slot, card, at, nullptr);
        if (!cardWrite.ok()) return cardWrite;
        templateWrite = writeIfAt(kTemplateSlot, cardBytes(newTemplate), seen(kTemplateSlot), QStringLiteral("save"));
        return templateWrite.ok() ? cardWrite : templateWrite;
    });
    if (templateWrite.status != CardStoreStatus::Conflict) return saved;
    CardStoreResult cardNow = readRow(slot);
    if (!cardNow.ok()) return cardNow;
    cardNow.status = CardStoreStatus::Conflict;
    cardNow.reason = templateWrite.reason;
    return cardNow;
}

CardStoreResult PgCardStore::deleteCard(int slot, CardRevision at) {
    if (CardStoreResult refused = writePrecheck(slot); !refused.ok()) return refused;
    return writeIfAt(slot, cardBytes(Card{}), at, QStringLiteral("delete"));
}

CardStoreResult PgCardStore::setKey(int slot, int group, int entry, const KeyEntry& key, CardRevision at) {
    if (CardStoreResult refused = writePrecheck(slot); !refused.ok()) return refused;
    if (group < 0 || group >= kKeyGroups || entry < 0 || entry >= kKeysPerGroup)
        return {CardStoreStatus::Refused, QStringLiteral("no such key slot"), {}};
    const int from = static_cast<int>(kKeyBlockOffset) + 96 * group + 16 * entry + 1;  // 1-based
    const QByteArray keyBytes(reinterpret_cast<const char*>(&key), sizeof key);
    Result res = conn_.exec("UPDATE k8w_cards SET data = overlay(data PLACING $1 FROM " + std::to_string(from) +
                                " FOR 16), revision = revision + 1, change_kind = 'key' "
                                "WHERE slot = $2 AND revision = $3 " + kReturning,
                            {bin(keyBytes), num(slot), num(at)});
    return afterWrite(res, slot);
}

CardStoreResult PgCardStore::updateCard(int slot, const CardEdit& edit, const QString& kind) {
    if (CardStoreResult refused = writePrecheck(slot); !refused.ok()) return refused;
    for (int attempt = 0; attempt < kMaxRetries; ++attempt) {
        CardStoreResult now = readRow(slot);
        if (!now.ok()) return now;
        Card card = now.current.card;
        if (const QString refusal = edit(card); !refusal.isEmpty())
            return {CardStoreStatus::Refused, refusal, now.current};
        CardStoreResult written = writeIfAt(slot, cardBytes(card), now.current.revision, kind);
        if (written.status != CardStoreStatus::Conflict) return written;
    }
    return {CardStoreStatus::SaveFailed, QStringLiteral("the card kept changing; the change was not written"), {}};
}

CardStoreResult PgCardStore::renewTemplate(const Card& cardTemplate) {
    if (CardStoreResult refused = writePrecheck(kTemplateSlot); !refused.ok()) return refused;
    return writeIfAt(kTemplateSlot, cardBytes(cardTemplate), seen(kTemplateSlot), QStringLiteral("save"));
}

// Every slot of `want` that differs from `had`, in one transaction; with
// `at`, each only at the revision read (else Conflict), the template at the
// one last seen. The revisions written are noted once committed.
CardStoreResult PgCardStore::writeSlots(const CardTable& want, const CardTable& had,
                                        const std::vector<CardRevision>* at, const QString& kind) {
    std::vector<std::pair<int, CardRevision>> written;
    CardStoreResult result = inOneTransaction([&]() -> CardStoreResult {
        for (int slot = kTemplateSlot; slot < kCardCapacity; ++slot) {
            if (std::memcmp(&slotOf(want, slot), &slotOf(had, slot), kCardSize) == 0) continue;
            const CardRevision revision =
                !at ? -1 : slot == kTemplateSlot ? seen(kTemplateSlot) : (*at)[static_cast<std::size_t>(slot)];
            Result up = conn_.exec("UPDATE k8w_cards SET data = $1, revision = revision + 1, change_kind = $4 "
                                   "WHERE slot = $2 AND ($3 < 0 OR revision = $3) RETURNING revision",
                                   {cardBytes(slotOf(want, slot)), num(slot), num(revision), str(kind)});
            if (!up.ok()) return failure(up);
            if (up.rows() == 0)
                return {CardStoreStatus::Conflict, QStringLiteral("row %1 changed meanwhile").arg(slot + 1), {}};
            written.emplace_back(slot, up.int8(0, 0));
        }
        return {};
    });
    if (result.ok())
        for (const auto& [slot, revision] : written) seen(slot) = revision;
    return result;
}

CardStoreResult PgCardStore::updateAll(const CardBaseEdit& edit, const QString& kind) {
    if (CardStoreResult refused = writePrecheck(kTemplateSlot); !refused.ok()) return refused;
    for (int attempt = 0; attempt < kMaxRetries; ++attempt) {
        auto before = CardTable::create();
        std::vector<CardRevision> at;
        if (CardStoreResult loaded = loadRows(*before, at); !loaded.ok()) return loaded;
        auto after = CardTable::create();
        *after = *before;
        if (const QString refusal = edit(*after); !refusal.isEmpty())
            return {CardStoreStatus::Refused, refusal, {}};
        CardStoreResult result = writeSlots(*after, *before, &at, kind);
        if (result.status != CardStoreStatus::Conflict) return result;
    }
    return {CardStoreStatus::SaveFailed, QStringLiteral("the base kept changing; the change was not written"), {}};
}

CardStoreResult PgCardStore::replaceAll(const CardTable& table) {
    if (CardStoreResult refused = writePrecheck(kTemplateSlot); !refused.ok()) return refused;
    auto now = CardTable::create();
    std::vector<CardRevision> revisions;
    if (CardStoreResult loaded = loadRows(*now, revisions); !loaded.ok()) return loaded;
    return writeSlots(table, *now, nullptr, QStringLiteral("copy"));
}

CardStoreResult PgCardStore::restore(int slot, CardRevision revision) {
    if (CardStoreResult refused = writePrecheck(slot); !refused.ok()) return refused;
    Result res = conn_.exec("UPDATE k8w_cards c SET data = h.data, revision = c.revision + 1, change_kind = 'restore' "
                            "FROM k8w_card_history h WHERE c.slot = $1 AND h.slot = $1 AND h.revision = $2 "
                            "RETURNING c.revision, (extract(epoch FROM c.changed_at) * 1000)::int8, c.changed_by, "
                            "c.data",
                            {num(slot), num(revision)});
    if (res.ok() && res.rows() == 0)
        return {CardStoreStatus::NotFound, QStringLiteral("row %1 has no revision %2").arg(slot + 1).arg(revision), {}};
    return afterWrite(res, slot);
}

} // namespace k8w::pg
