#pragma once
// Cards written as JSON: {"format": "k8w-cards", "version": 1, "cards": [...],
// "template": {...}}, one card object per line, members in the record's order.
#include <QByteArray>

#include <vector>

namespace k8w {

struct Card;
struct CardTable;

inline constexpr char kCardsFormatName[] = "k8w-cards";
constexpr int kCardsFormatVersion = 1;

// The cards in use among `slotList`, then the new-card template.
QByteArray ExportCardsJson(const CardTable& table, const std::vector<int>& slotList);

// The members of a card, "name": value separated by ", ", without braces:
// every member, or only those a device image holds (`imageOnly`).
void AppendCardMembers(QByteArray& out, const Card& card, bool imageOnly);
// The installed key slotList as a "keys" member.
void AppendCardKeys(QByteArray& out, const Card& card);

} // namespace k8w
