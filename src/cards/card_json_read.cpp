#include "cards/card_json_read.h"

#include "cards/card.h"
#include "cards/card_members.h"
#include "cards/key_code_text.h"
#include "cards/member_text.h"
#include "common/cp1251.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <optional>
#include <set>

namespace k8w {
namespace {

constexpr int kSubscribers = 32;

std::optional<std::uint32_t> wholeNumber(const QJsonValue& value, std::uint32_t max) {
    if (!value.isDouble()) return std::nullopt;
    const double d = value.toDouble();
    if (d != std::floor(d) || d < 0 || d > max) return std::nullopt;
    return static_cast<std::uint32_t>(d);
}

// A text that the field of `size` bytes holds exactly, or why not.
QString textProblem(const QJsonValue& value, std::size_t size) {
    if (!value.isString()) return QStringLiteral("a text is expected");
    const QString text = value.toString();
    const QByteArray bytes = toCp1251(text);
    if (fromCp1251(bytes) != text || bytes.contains('\0'))
        return QStringLiteral("\"%1\" holds a character the Cyrillic code page (CP1251) does not have").arg(text);
    if (static_cast<std::size_t>(bytes.size()) > size - 1)
        return QStringLiteral("a text of at most %1 characters is expected").arg(size - 1);
    return {};
}

std::optional<double> dateValue(const QJsonValue& value) {
    if (value.isNull()) return 0.0;
    return value.isString() ? ParseDateMemberText(value.toString()) : std::nullopt;
}

QString applyMember(const CardMember& m, const QJsonValue& value, Card& card) {
    switch (m.kind) {
    case MemberKind::Text: {
        if (QString why = textProblem(value, m.size); !why.isEmpty()) return why;
        writeTextField(MemberBytes(card, m), m.size, value.toString());
        return {};
    }
    case MemberKind::Number: {
        const auto number = wholeNumber(value, m.max);
        if (!number) return QStringLiteral("a whole number from 0 to %1 is expected").arg(m.max);
        SetMemberNumber(card, m, *number);
        return {};
    }
    case MemberKind::Flags: {
        const auto number = wholeNumber(value, 0xFFFFFFFFu);
        if (!number || (*number & ~m.max) != 0)
            return QStringLiteral("a bit set using only the bits of 0x%1 is expected").arg(m.max, 0, 16);
        SetMemberNumber(card, m, *number);
        return {};
    }
    case MemberKind::ByteList: {
        const QJsonArray items = value.toArray();
        if (!value.isArray() || static_cast<std::size_t>(items.size()) != m.size)
            return QStringLiteral("an array of %1 list indexes is expected").arg(m.size);
        for (std::size_t i = 0; i < m.size; ++i) {
            const auto number = wholeNumber(items[static_cast<qsizetype>(i)], 255);
            if (!number || !m.allowed(static_cast<int>(i), static_cast<int>(*number)))
                return QStringLiteral("item %1 is not an index of its list").arg(i + 1);
        }
        for (std::size_t i = 0; i < m.size; ++i)
            SetMemberNumber(card, m, static_cast<std::uint32_t>(items[static_cast<qsizetype>(i)].toInt()), i);
        return {};
    }
    case MemberKind::TextPair: {
        const QJsonArray items = value.toArray();
        if (!value.isArray() || items.size() != 2) return QStringLiteral("an array of two texts is expected");
        for (const QJsonValue& item : items)
            if (QString why = textProblem(item, m.size); !why.isEmpty()) return why;
        writeTextField(MemberBytes(card, m), m.size, items[0].toString());
        writeTextField(MemberBytes(card, m) + m.size, m.size, items[1].toString());
        return {};
    }
    case MemberKind::Date: {
        const auto date = dateValue(value);
        if (!date) return QStringLiteral("a date as YYYY-MM-DDTHH:MM:SS or null is expected");
        SetMemberDate(card, m, *date);
        return {};
    }
    case MemberKind::Checksum: {
        const QString text = value.toString();
        const bool hex = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 128 && std::isxdigit(c.unicode()) != 0; });
        if (!value.isString() || text.size() != 4 || !hex)
            return QStringLiteral("four hexadecimal digits are expected");
        SetMemberNumber(card, m, text.toUInt(nullptr, 16));
        return {};
    }
    }
    return {};
}

// One key slot of the "keys" array into `keys`, or why not.
QString applyKey(const QJsonValue& value, KeyEntry (&keys)[kKeyGroups][kKeysPerGroup],
                 std::set<std::pair<int, int>>& subscribers) {
    const QJsonObject key = value.toObject();
    const auto partition = wholeNumber(key.value(QStringLiteral("partition")), kKeyGroups);
    const auto slot = wholeNumber(key.value(QStringLiteral("slot")), kKeysPerGroup);
    const auto subscriber = wholeNumber(key.value(QStringLiteral("subscriber")), kSubscribers);
    const auto date = dateValue(key.value(QStringLiteral("date")));
    std::uint8_t code[6] = {};
    for (auto it = key.begin(); it != key.end(); ++it) {
        static const QStringList known = {QStringLiteral("partition"), QStringLiteral("slot"),
                                          QStringLiteral("subscriber"), QStringLiteral("code"),
                                          QStringLiteral("date")};
        if (!known.contains(it.key())) return QStringLiteral("unknown member \"%1\" of a key").arg(it.key());
    }
    if (!value.isObject() || !partition || *partition < 1 || !slot || *slot < 1 || !subscriber ||
        *subscriber < 1 || !date || !ParseKeyCodeHex(key.value(QStringLiteral("code")).toString(), code))
        return QStringLiteral(
            "each key needs partition 1-4, slot 1-6, subscriber 1-32, code as 12 hexadecimal digits and "
            "date (YYYY-MM-DDTHH:MM:SS or null)");
    KeyEntry& entry = keys[*partition - 1][*slot - 1];
    if (entry.state == 1) return QStringLiteral("partition %1 slot %2 is given twice").arg(*partition).arg(*slot);
    if (!subscribers.insert({static_cast<int>(*partition), static_cast<int>(*subscriber)}).second)
        return QStringLiteral("subscriber %1 holds two keys in partition %2").arg(*subscriber).arg(*partition);
    entry.state = 1;
    entry.subscriber = static_cast<std::uint8_t>(*subscriber);
    std::memcpy(entry.keyCode, code, sizeof code);
    entry.entryDate = *date;
    return {};
}

QString applyKeys(const QJsonValue& value, Card& card) {
    if (!value.isArray()) return QStringLiteral("an array of key slots is expected");
    KeyEntry keys[kKeyGroups][kKeysPerGroup] = {};
    std::set<std::pair<int, int>> subscribers;
    for (const QJsonValue& key : value.toArray())
        if (QString why = applyKey(key, keys, subscribers); !why.isEmpty()) return why;
    std::memcpy(static_cast<void*>(card.keys), keys, sizeof keys);
    return {};
}

} // namespace

QStringList ApplyCardObject(const QJsonObject& object, Card& card) {
    QStringList problems;
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString name = it.key();
        if (name == QStringLiteral("row")) continue;
        QString why;
        if (name == QStringLiteral("keys")) {
            why = applyKeys(it.value(), card);
        } else if (const CardMember* m = FindCardMember(name)) {
            why = applyMember(*m, it.value(), card);
        } else {
            why = QStringLiteral("unknown member");
        }
        if (!why.isEmpty()) problems += name + QStringLiteral(": ") + why;
    }
    return problems;
}

} // namespace k8w
