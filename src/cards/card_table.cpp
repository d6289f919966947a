#include "cards/card_table.h"

#include <cstring>

namespace k8w {

void CardTable::clear() {
    std::memset(static_cast<void*>(cards.data()), 0, sizeof(cards));
    std::memset(static_cast<void*>(&cardTemplate), 0, sizeof(cardTemplate));
}

} // namespace k8w
