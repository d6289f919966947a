#include "cards/card_json.h"

#include "cards/card_members.h"
#include "cards/card_table.h"
#include "cards/config_image.h"
#include "cards/key_code_text.h"
#include "cards/member_text.h"
#include "common/cp1251.h"

namespace k8w {
namespace {

void appendName(QByteArray& out, const char* name) {
    out += '"';
    out += name;
    out += "\": ";
}

void appendDate(QByteArray& out, double days) {
    const QString text = DateMemberText(days);
    if (text.isEmpty()) out += "null";
    else AppendJsonString(out, text);
}

void appendValue(QByteArray& out, const Card& card, const CardMember& m) {
    switch (m.kind) {
    case MemberKind::Text:
        AppendJsonString(out, readTextField(MemberBytes(card, m), m.size));
        break;
    case MemberKind::Number:
    case MemberKind::Flags:
        out += QByteArray::number(MemberNumber(card, m));
        break;
    case MemberKind::ByteList:
        out += '[';
        for (std::size_t i = 0; i < m.size; ++i) {
            if (i) out += ", ";
            out += QByteArray::number(MemberNumber(card, m, i));
        }
        out += ']';
        break;
    case MemberKind::TextPair:
        out += '[';
        AppendJsonString(out, readTextField(MemberBytes(card, m), m.size));
        out += ", ";
        AppendJsonString(out, readTextField(MemberBytes(card, m) + m.size, m.size));
        out += ']';
        break;
    case MemberKind::Date:
        appendDate(out, MemberDate(card, m));
        break;
    case MemberKind::Checksum:
        AppendJsonString(out, ChecksumText(static_cast<std::uint16_t>(MemberNumber(card, m))));
        break;
    }
}

} // namespace

void AppendCardMembers(QByteArray& out, const Card& card, bool imageOnly) {
    bool first = true;
    for (const CardMember& m : CardMembers()) {
        if (imageOnly && !m.inImage) continue;
        if (!first) out += ", ";
        first = false;
        appendName(out, m.name);
        appendValue(out, card, m);
    }
}

void AppendCardKeys(QByteArray& out, const Card& card) {
    appendName(out, "keys");
    out += '[';
    bool first = true;
    for (int group = 0; group < kKeyGroups; ++group) {
        for (int slot = 0; slot < kKeysPerGroup; ++slot) {
            const KeyEntry& key = card.keys[group][slot];
            if (key.state != 1) continue;
            if (!first) out += ", ";
            first = false;
            out += "{\"partition\": " + QByteArray::number(group + 1) + ", \"slot\": " +
                   QByteArray::number(slot + 1) + ", \"subscriber\": " + QByteArray::number(key.subscriber) +
                   ", \"code\": ";
            AppendJsonString(out, KeyCodeHexText(key.keyCode));
            out += ", \"date\": ";
            appendDate(out, key.entryDate);
            out += '}';
        }
    }
    out += ']';
}

QByteArray ExportCardsJson(const CardTable& table, const std::vector<int>& slotList) {
    QByteArray out;
    out.reserve(static_cast<qsizetype>(slotList.size()) * 1500 + 4096);
    out += "{\"format\": \"";
    out += kCardsFormatName;
    out += "\", \"version\": " + QByteArray::number(kCardsFormatVersion) + ",\n\"cards\": [";
    bool first = true;
    for (const int slot : slotList) {
        const Card& card = table.cards[static_cast<std::size_t>(slot)];
        if (!isCardInUse(card)) continue;
        out += first ? "\n" : ",\n";
        first = false;
        out += "{\"row\": " + QByteArray::number(slot + 1) + ", ";
        AppendCardMembers(out, card, false);
        out += ", ";
        AppendCardKeys(out, card);
        out += '}';
    }
    out += "\n],\n\"template\": {";
    AppendCardMembers(out, table.cardTemplate, false);
    out += ", ";
    AppendCardKeys(out, table.cardTemplate);
    out += "}}\n";
    return out;
}

} // namespace k8w
