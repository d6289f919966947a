#include "cards/card_table.h"

#include "cards/card_file.h"

#include <cstring>

namespace k8w {

void CardTable::clear() {
    std::memset(static_cast<void*>(cards.data()), 0, sizeof(cards));
    std::memset(static_cast<void*>(&cardTemplate), 0, sizeof(cardTemplate));
}

bool LoadCardTable(CardTable& table, const QString& fileName, QString* setAsidePath) {
    table.cardTemplate = Card{};
    CardLoadOutcome outcome = CardLoadOutcome::Missing;
    const bool loaded =
        LoadCardFile(fileName, table.cards.data(), kCardCapacity, table.cardTemplate, &outcome);
    if (outcome == CardLoadOutcome::Rejected || outcome == CardLoadOutcome::PartlyRead) {
        const QString path = SetAsideCardFile(fileName);
        if (setAsidePath) *setAsidePath = path;
    }
    return loaded;
}

bool SaveCardTable(const CardTable& table, const QString& fileName) {
    return SaveCardFile(fileName, table.cards.data(), kCardCapacity, table.cardTemplate);
}

} // namespace k8w
