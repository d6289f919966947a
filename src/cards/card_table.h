#pragma once
#include "cards/card.h"

#include <QString>

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

namespace k8w {

// Start-up load of the program: the template is cleared, the file loaded
// silently, and a file that exists but was refused or only partly read is
// set aside (its new path goes to setAsidePath) so no save can replace it.
bool LoadCardTable(CardTable& table, const QString& fileName, QString* setAsidePath = nullptr);
// Rewrites the whole database file; shows "Ошибка записи на диск" on failure.
bool SaveCardTable(const CardTable& table, const QString& fileName);

} // namespace k8w
