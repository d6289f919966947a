#include "cards/card.h"
#include "cards/card_table.h"
#include "common/cp1251.h"

#include <gtest/gtest.h>

#include <cstring>

namespace k8w {
namespace {

// The offsets are proved at compile time; these check the bytes a field
// actually lands on, the way the file and the device see them.
TEST(CardLayout, FieldsLandOnTheirBytesLittleEndian) {
    Card card{};
    card.codeUoo = 0x11223344;
    card.balCriticalLevel = 0x0A0B;
    card.progId = 0xBEEF;
    card.keys[2][3].keyCode[0] = 0x5A;
    card.changeDate = 1.5;
    setFieldText(card.balCode[1], QStringLiteral("*100#"));

    const auto* raw = reinterpret_cast<const unsigned char*>(&card);
    EXPECT_EQ(raw[18], 0x44);
    EXPECT_EQ(raw[21], 0x11);
    EXPECT_EQ(raw[333], 0x0B);
    EXPECT_EQ(raw[334], 0x0A);
    EXPECT_EQ(raw[823], 0xEF);
    EXPECT_EQ(raw[824], 0xBE);
    EXPECT_EQ(raw[892 + 96 * 2 + 16 * 3 + 2], 0x5A);
    EXPECT_EQ(raw[321], '*');
    double date = 0;
    std::memcpy(&date, raw + 807, 8);
    EXPECT_EQ(date, 1.5);
}

TEST(CardLayout, SlotIsInUseFromAChangeDateOfOneThousandth) {
    Card card{};
    EXPECT_FALSE(isCardInUse(card));
    card.changeDate = 0.0009;
    EXPECT_FALSE(isCardInUse(card));
    card.changeDate = 0.001;
    EXPECT_TRUE(isCardInUse(card));
}

TEST(CardTable, HoldsNineThousandZeroSlotsAndClearsThem) {
    auto table = CardTable::create();
    EXPECT_EQ(table->cards.size(), 9000u);
    EXPECT_EQ(sizeof(table->cards), 9000u * 1310u);
    table->cards[8999].codeUoo = 7;
    table->cardTemplate.timePass = 3;
    table->clear();
    EXPECT_EQ(+table->cards[8999].codeUoo, 0u);
    EXPECT_EQ(table->cardTemplate.timePass, 0);
}

} // namespace
} // namespace k8w
