// Cards from a damaged or foreign file: shown as they are stored, never
// changed without a word; and the program's refusal to run without its codec.
#include "window_test_support.h"

#include "app/run_main_window.h"

#include <limits>

namespace k8w::test {
namespace {

using DamagedCardTest = WindowTest;

TEST_F(DamagedCardTest, DatesThatAreNoDatesShowEmptyAndTheCardStillLoads) {
    table->cards[0] = usedCard(100, QStringLiteral("1"), QStringLiteral("A"), 1e20);
    table->cards[0].progDate = std::numeric_limits<double>::quiet_NaN();
    table->cards[1] = usedCard(200, QStringLiteral("2"), QStringLiteral("B"), std::numeric_limits<double>::infinity());
    writeDatabase(*table);
    open();
    EXPECT_EQ(cell(1, 1), QStringLiteral("100"));
    EXPECT_TRUE(cell(1, 4).isEmpty());
    EXPECT_TRUE(cell(1, 5).isEmpty());
    EXPECT_EQ(cell(2, 2), QStringLiteral("2"));
    EXPECT_TRUE(cell(2, 4).isEmpty());
}

TEST_F(DamagedCardTest, StoredValuesWiderThanTheirFieldsAreShownWholeAndRefusedAtTheSave) {
    table->cards[0] = usedCard(4000000000u, QStringLiteral("1"), QStringLiteral("A"));
    table->cards[0].balCriticalLevel = 4321;
    table->cards[1] = usedCard(100, QStringLiteral("2"), QStringLiteral("B"));
    writeDatabase(*table);
    open();
    EXPECT_EQ(edit("CodeUoo")->text(), QStringLiteral("4000000000"));
    EXPECT_EQ(edit("balCritical")->text(), QStringLiteral("4321"));
    startEditing();
    EXPECT_FALSE(saveAndGetWarning().isEmpty());  // the code is out of range: nothing saved
    EXPECT_EQ(+readDatabase()->cards[0].balCriticalLevel, 4321);

    boxes.answer(MsgAnswer::Yes);
    click("BitBtn1");  // leave editing without saving
    ASSERT_FALSE(window().isEditMode());
    clickRow(2);
    EXPECT_EQ(edit("CodeUoo")->text(), QStringLiteral("100"));
    EXPECT_EQ(edit("balCritical")->maxLength(), 3) << "an ordinary card keeps the field's own limit";
}

TEST_F(DamagedCardTest, WithoutTheTextCodecTheProgramRefusesToRun) {
    EXPECT_FALSE(CheckTextCodec("no-such-codepage"));
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.last().title, QStringLiteral("Ошибка"));
    EXPECT_TRUE(boxes.last().text.startsWith(QStringLiteral("Кодировка no-such-codepage недоступна")));
    EXPECT_TRUE(CheckTextCodec("windows-1251"));
    EXPECT_EQ(boxes.shown().size(), 1);
}

} // namespace
} // namespace k8w::test
