#pragma once
#include "cards/card.h"

#include <array>
#include <memory>

namespace k8w {

constexpr int kCardCapacity = 9000;

// The 9000 card slots and the new-card template, allocated once and kept for
// the whole run. Slot i is shown in row i + 1 of the card list.
struct CardTable {
    std::array<Card, kCardCapacity> cards{};
    Card cardTemplate{};

    static std::unique_ptr<CardTable> create() { return std::make_unique<CardTable>(); }
    void clear();
};

} // namespace k8w
