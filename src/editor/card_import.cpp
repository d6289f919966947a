#include "editor/card_import.h"

#include "cards/card_json.h"
#include "cards/card_json_read.h"
#include "cards/card_members.h"
#include "cards/card_table.h"
#include "cards/member_text.h"
#include "editor/card_editor_values.h"
#include "editor/editor_rules.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstring>

namespace k8w {
namespace {

struct Entry {
    int slot = -1;
    QJsonObject object;
    bool wasInUse = false;
    bool codeShown = false;
    bool withinLimits = true;
};

QString fileFailure(const QString& why) { return QStringLiteral("file: ") + why; }
QString rowFailure(int slot, const QString& why) { return QStringLiteral("row %1: %2").arg(slot + 1).arg(why); }

// What a free row starts from: the template as the window shows it there.
Card freshCard(const Card& cardTemplate) {
    Card card = cardTemplate;
    ClearReservedBytes(card);
    card.modeFlags = 0;
    card.version = 0;
    card.changeDate = card.progDate = 0;
    card.progId = card.prevProgId = 0;
    std::memset(static_cast<void*>(card.keys), 0, sizeof card.keys);
    return card;
}

// Export writes dates to the second; the base keeps them as they were made,
// often with milliseconds. A date of the file equal to the stored one to the
// second is no change: the stored date stays as it is.
void keepDatesEqualToTheSecond(const Card& stored, Card& card) {
    const auto same = [](double a, double b) { return DateMemberText(a) == DateMemberText(b); };
    for (const CardMember& m : CardMembers())
        if (m.kind == MemberKind::Date && same(MemberDate(card, m), MemberDate(stored, m)))
            SetMemberDate(card, m, MemberDate(stored, m));
    for (int group = 0; group < kKeyGroups; ++group)
        for (int slot = 0; slot < kKeysPerGroup; ++slot) {
            const double kept = stored.keys[group][slot].entryDate;
            if (same(card.keys[group][slot].entryDate, kept)) card.keys[group][slot].entryDate = kept;
        }
}

// An entry loop 1 keeps itself and every pass-through or control loop in
// partition 0: the editor's lists do not let them leave it.
QString loopRuleProblem(const Card& card) {
    LoopSettings loops;
    for (int i = 0; i < kEditorLoops; ++i) {
        loops.type[static_cast<std::size_t>(i)] = card.cordType[i];
        loops.part[static_cast<std::size_t>(i)] = card.cordPart[i];
    }
    const LoopSettings before = loops;
    if (loops.type[0] != kLoopEntry) return {};
    ApplyLoopTypeRules(loops);
    if (loops.part == before.part) return {};
    return QStringLiteral(
        "cordPart: with an entry loop 1, loop 1 and every pass-through or control loop stay in partition 0");
}

// The card objects of the document, each with its slot; failures for the rest.
std::vector<Entry> readEntries(const QByteArray& json, QJsonObject& root, QStringList& failures) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (document.isNull()) {
        failures += fileFailure(QStringLiteral("not JSON (%1 at byte %2)").arg(error.errorString()).arg(error.offset));
        return {};
    }
    QJsonArray cards;
    if (document.isArray()) {
        cards = document.array();
    } else {
        root = document.object();
        if (root.value(QStringLiteral("format")).toString() != QLatin1String(kCardsFormatName) ||
            root.value(QStringLiteral("version")).toInt(-1) != kCardsFormatVersion ||
            !root.value(QStringLiteral("cards")).isArray()) {
            failures += fileFailure(QStringLiteral("not a card export (\"format\": \"%1\", \"version\": %2 and a "
                                                   "\"cards\" array are expected)")
                                        .arg(QLatin1String(kCardsFormatName))
                                        .arg(kCardsFormatVersion));
            return {};
        }
        cards = root.value(QStringLiteral("cards")).toArray();
    }
    std::vector<Entry> entries;
    std::vector<bool> seen(kCardCapacity, false);
    for (qsizetype i = 0; i < cards.size(); ++i) {
        const QJsonObject object = cards[i].toObject();
        const double row = object.value(QStringLiteral("row")).toDouble(0);
        if (!cards[i].isObject() || row != static_cast<int>(row) || row < 1 || row > kCardCapacity) {
            failures += fileFailure(QStringLiteral("card %1 of the file has no \"row\" from 1 to %2")
                                        .arg(i + 1)
                                        .arg(kCardCapacity));
            continue;
        }
        const int slot = static_cast<int>(row) - 1;
        if (seen[static_cast<std::size_t>(slot)]) {
            failures += rowFailure(slot, QStringLiteral("given twice"));
            continue;
        }
        seen[static_cast<std::size_t>(slot)] = true;
        entries.push_back({slot, object});
    }
    return entries;
}

} // namespace

CardImportResult ImportCards(const QByteArray& json, CardTable& table, bool renewTemplate, double now) {
    CardImportResult result;
    QJsonObject root;
    std::vector<Entry> entries = readEntries(json, root, result.failures);

    // Every card is applied first, so that the code check sees the table
    // as the import leaves it.
    auto next = std::make_unique<CardTable>(table);
    for (Entry& entry : entries) {
        const Card& old = table.cards[static_cast<std::size_t>(entry.slot)];
        entry.wasInUse = isCardInUse(old);
        entry.codeShown = entry.wasInUse || entry.object.contains(QStringLiteral("codeUoo"));
        Card card = entry.wasInUse ? old : freshCard(table.cardTemplate);
        QStringList problems = ApplyCardObject(entry.object, card);
        if (entry.wasInUse) {
            keepDatesEqualToTheSecond(old, card);
            card.progDate = old.progDate;
            card.progId = old.progId;
            card.prevProgId = old.prevProgId;
            card.changeDate = old.changeDate;
        } else {
            // In use from now on; one without a code fails check 1 itself
            // and must not count as holding the code 0 for the others.
            card.changeDate = entry.codeShown ? now : 0;
        }
        if (problems.isEmpty())
            if (const QString rule = loopRuleProblem(card); !rule.isEmpty()) problems += rule;
        for (const QString& problem : problems) result.failures += rowFailure(entry.slot, problem);
        entry.withinLimits = problems.isEmpty();
        next->cards[static_cast<std::size_t>(entry.slot)] = card;
    }
    // The codes in use once the import is in, counted once for all cards.
    QHash<long long, int> codesInUse;
    for (const Card& card : next->cards)
        if (isCardInUse(card)) ++codesInUse[static_cast<long long>(card.codeUoo)];
    for (const Entry& entry : entries) {
        if (!entry.withinLimits) continue;
        const Card& card = next->cards[static_cast<std::size_t>(entry.slot)];
        const auto codeTaken = [&](long long code) {
            const bool own = isCardInUse(card) && static_cast<long long>(card.codeUoo) == code;
            return codesInUse.value(code) - (own ? 1 : 0) > 0;
        };
        if (const auto warning = ValidateCardEditor(CardEditorValuesOf(card, entry.codeShown), codeTaken))
            result.failures += rowFailure(entry.slot, *warning);
    }
    if (renewTemplate) {
        if (!root.value(QStringLiteral("template")).isObject()) {
            result.failures += fileFailure(QStringLiteral("--template needs a \"template\" object in the file"));
        } else {
            for (const QString& problem : ApplyCardObject(root.value(QStringLiteral("template")).toObject(),
                                                          next->cardTemplate))
                result.failures += QStringLiteral("template: ") + problem;
            keepDatesEqualToTheSecond(table.cardTemplate, next->cardTemplate);
        }
    }
    if (!result.failures.isEmpty()) return result;

    for (const Entry& entry : entries) {
        Card& stored = table.cards[static_cast<std::size_t>(entry.slot)];
        Card card = next->cards[static_cast<std::size_t>(entry.slot)];
        if (entry.wasInUse && std::memcmp(&card, &stored, sizeof card) == 0) {
            ++result.unchanged;
            continue;
        }
        card.changeDate = now;
        stored = card;
        result.changedSlots.push_back(entry.slot);
    }
    if (renewTemplate) {
        table.cardTemplate = next->cardTemplate;
        result.templateRenewed = true;
    }
    return result;
}

} // namespace k8w
