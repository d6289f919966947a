#pragma once
// A test in its own directory with a database whose row 1 holds a card, for
// the k8w-cli link commands.
#include "store/card_file.h"
#include "cards/card_table.h"
#include "common/cp1251.h"
#include "support/temp_workdir.h"

#include <gtest/gtest.h>

#include <memory>

namespace k8w::test {

class CliCardTest : public ::testing::Test {
protected:
    void SetUp() override {
        Card& card = table->cards[0];
        card.codeUoo = 123456;
        setFieldText(card.cardNumber, QStringLiteral("12"));
        card.changeDate = 46000.5;
        card.progId = 0x1111;
        save();
    }
    void save() { ASSERT_TRUE(SaveCardTable(*table, kCardFileName)); }
    Card savedCard(int slot = 0) {
        auto loaded = CardTable::create();
        EXPECT_TRUE(LoadCardTable(*loaded, kCardFileName));
        return loaded->cards[slot];
    }

    TempWorkdir dir;
    std::unique_ptr<CardTable> table = CardTable::create();
};

} // namespace k8w::test
