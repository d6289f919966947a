#pragma once
// A card object of the JSON form read back into a card record.
#include <QStringList>

class QJsonObject;

namespace k8w {

struct Card;

// Stores the members of `object` into `card`; members left out keep the
// card's values, "row" is left to the caller, and "keys", when present,
// replaces every key slot. Each member that breaks a limit of the record or
// of the editor (text length and code page, number range, list index, bit
// set, date form) adds one text, "name: why"; such a member is not stored.
QStringList ApplyCardObject(const QJsonObject& object, Card& card);

} // namespace k8w
