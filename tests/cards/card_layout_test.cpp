#include "cards/card.h"
#include "cards/card_parts.h"
#include "cards/card_table.h"
#include "cards/programming_result.h"
#include "common/cp1251.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

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


// What a save keeps as the base has it (the result, the keys) is not an own
// field; a key slot is compared alone.
TEST(CardParts, OwnFieldsLeaveOutTheResultAndTheKeysAndKeySlotsStandAlone) {
    struct Case {
        const char* what;
        std::function<void(Card&)> change;
        bool sameOwn, sameSlot12;
    };
    const Case cases[] = {
        {"object name", [](Card& c) { setFieldText(c.objectName, QStringLiteral("Склад")); }, false, true},
        {"change date", [](Card& c) { c.changeDate = 46000.25; }, false, true},
        {"version byte", [](Card& c) { c.version = 1; }, false, true},
        {"result", [](Card& c) { RecordProgramming(c, 0x1234, 46000.5); }, true, true},
        {"key 1/2", [](Card& c) { c.keys[1][2].subscriber = 7; }, true, false},
        {"key 1/3", [](Card& c) { c.keys[1][3].state = 1; }, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Card before{};
        Card after = before;
        c.change(after);
        EXPECT_EQ(SameOwnFields(before, after), c.sameOwn);
        EXPECT_EQ(SameKeySlot(before, after, 1, 2), c.sameSlot12);
    }
}

} // namespace
} // namespace k8w
