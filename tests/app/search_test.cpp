#include "window_test_support.h"

#include "common/cp1251.h"

#include <QApplication>
#include <QFocusEvent>
#include <QTest>

namespace k8w::test {
namespace {

class SearchTest : public WindowTest {
protected:
    void SetUp() override {
        table->cards[0] = usedCard(1, QStringLiteral("К-1"), QStringLiteral("Склад"));
        table->cards[2] = usedCard(300, QStringLiteral("К-3"), QStringLiteral("Магазин ЦВЕТЫ"));
        table->cards[6] = usedCard(700, QStringLiteral("К-7"), QStringLiteral("Аптека"));
        Card sim = usedCard(900, QStringLiteral("К-10"), QStringLiteral("Гараж"));
        setFieldText(sim.number1, QStringLiteral("89995554433"));
        setFieldText(sim.simId2, QStringLiteral("abcsim"));
        setFieldText(sim.puk2, QStringLiteral("Цветы"));
        table->cards[9] = sim;
        table->cards[499] = usedCard(5000, QStringLiteral("К-500"), QStringLiteral("дом 89995554433"));
        table->cards[8000] = usedCard(8001, QStringLiteral("К-8001"), QStringLiteral("Цветочный киоск"));
        writeDatabase(*table);
        open();
    }
    void typeSearch(const QString& text) {
        QLineEdit* e = edit("SearchEdit");
        e->setFocus();
        QTest::mouseClick(e, Qt::LeftButton);  // selects the placeholder
        ASSERT_EQ(e->selectedText(), e->text());
        typeText(e, text);
        ASSERT_EQ(e->text(), text);
    }
};

TEST_F(SearchTest, TypingJumpsToTheFirstRowFromTheTopInAnyLetterCase) {
    typeSearch(QStringLiteral("цвет"));
    EXPECT_EQ(selectedRow(), 3);
    EXPECT_EQ(window().currentCardIndex(), 2);
    EXPECT_EQ(window().searchRowValue(), 3);
    EXPECT_EQ(edit("Edit1")->text(), QStringLiteral("Магазин ЦВЕТЫ"));
    EXPECT_TRUE(boxes.shown().isEmpty());
}

TEST_F(SearchTest, EnterMovesToTheNextGridHitAndWrapsOverTheRowsAbove) {
    typeSearch(QStringLiteral("Цвет"));
    EXPECT_EQ(selectedRow(), 3);
    pressEnter("SearchEdit");
    EXPECT_EQ(selectedRow(), 8001);
    // Row 10 holds "Цветы" only as a PUK: the grid hit above comes first.
    pressEnter("SearchEdit");
    EXPECT_EQ(selectedRow(), 3);
    click("SpeedButton3");
    EXPECT_EQ(selectedRow(), 8001);
    EXPECT_EQ(window().currentCardIndex(), 8000);
}

TEST_F(SearchTest, GridTextsOfAllRowsComeBeforeCardTexts) {
    typeSearch(QStringLiteral("8999555"));
    EXPECT_EQ(selectedRow(), 500);
    pressEnter("SearchEdit");
    EXPECT_EQ(selectedRow(), 10);
    EXPECT_EQ(edit("Number1_Edit")->text(), QStringLiteral("89995554433"));
    pressEnter("SearchEdit");
    EXPECT_EQ(selectedRow(), 500);
}

TEST_F(SearchTest, CardTextsAreCaseSensitive) {
    typeSearch(QStringLiteral("ABCSIM"));
    EXPECT_EQ(selectedRow(), 1) << "nothing found, nothing changes";
    EXPECT_EQ(window().currentCardIndex(), 0);
    typeSearch(QStringLiteral("abcsim"));
    EXPECT_EQ(selectedRow(), 10);
}

void setSearchTextQuietly(QLineEdit* e, const QString& text) {
    e->blockSignals(true);
    e->setText(text);
    e->blockSignals(false);
}

TEST_F(SearchTest, FromRowOneThereIsNoWrap) {
    ASSERT_EQ(window().searchRowValue(), 1);
    setSearchTextQuietly(edit("SearchEdit"), QStringLiteral("склад"));
    pressEnter("SearchEdit");
    EXPECT_EQ(selectedRow(), 1);
    EXPECT_EQ(window().searchRowValue(), 1);
    // Typing searches from the top, row 1 included.
    typeSearch(QStringLiteral("СКЛ"));
    EXPECT_EQ(window().searchRowValue(), 1);
    pressEnter("SearchEdit");
    EXPECT_EQ(selectedRow(), 1) << "row b itself is never examined";
}

TEST_F(SearchTest, EmptyTextNeverMatches) {
    clickRow(7);
    setSearchTextQuietly(edit("SearchEdit"), QString());
    pressEnter("SearchEdit");
    EXPECT_EQ(selectedRow(), 7);
}

TEST_F(SearchTest, ClickedRowIsWhereTheNextSearchStarts) {
    clickRow(7);
    EXPECT_EQ(window().searchRowValue(), 7);
    setSearchTextQuietly(edit("SearchEdit"), QStringLiteral("Цвет"));
    click("SpeedButton3");
    EXPECT_EQ(selectedRow(), 8001);
}

TEST_F(SearchTest, LeavingAnEmptyFieldPutsThePlaceholderBack) {
    QLineEdit* e = edit("SearchEdit");
    typeSearch(QStringLiteral("x"));
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Backspace);
    ASSERT_TRUE(e->text().isEmpty());
    clickRow(4);
    find<QTableView>("SetsGrid")->setFocus();
    EXPECT_EQ(e->text(), QStringLiteral("(Поиск...)"));
    EXPECT_EQ(selectedRow(), 4);
}

TEST_F(SearchTest, AnotherWindowOrAContextMenuTakingTheFocusIsNoExit) {
    QLineEdit* e = edit("SearchEdit");
    typeSearch(QStringLiteral("x"));
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Backspace);
    ASSERT_TRUE(e->text().isEmpty());
    for (const Qt::FocusReason reason : {Qt::ActiveWindowFocusReason, Qt::PopupFocusReason}) {
        QFocusEvent out(QEvent::FocusOut, reason);
        QApplication::sendEvent(e, &out);
        EXPECT_TRUE(e->text().isEmpty()) << reason;
    }
    QFocusEvent tabbedAway(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(e, &tabbedAway);
    EXPECT_EQ(e->text(), QStringLiteral("(Поиск...)"));
}

// The search keeps a folded copy of the grid texts: it follows each change
// of a card made after the copy was first searched.
enum class CardChange { Save, Delete };

struct FollowCase {
    const char* name;
    CardChange change;
    int row;              // the card changed
    const char16_t* text; // searched before and after the change
    int hitBefore;        // 0: nothing found
    int hitAfter;
};

void PrintTo(const FollowCase& c, std::ostream* os) { *os << c.name; }

class SearchFollowsCards : public SearchTest, public ::testing::WithParamInterface<FollowCase> {
protected:
    // From row 1 (never examined itself): the row found, or 1.
    int searchFromTheTop(const QString& text) {
        clickRow(1);
        setSearchTextQuietly(edit("SearchEdit"), text);
        pressEnter("SearchEdit");
        return selectedRow();
    }
};

TEST_P(SearchFollowsCards, ASearchAfterAChangeSeesTheCardAsItIsNow) {
    const FollowCase c = GetParam();
    const QString text = QString::fromUtf16(c.text);
    EXPECT_EQ(searchFromTheTop(text), c.hitBefore ? c.hitBefore : 1);
    clickRow(c.row);
    startEditing();
    if (c.change == CardChange::Save) {
        fillValidCard(QStringLiteral("777"));
        type("Edit1", QStringLiteral("Ветклиника Зоо"));
        ASSERT_EQ(saveAndGetWarning(), QString());
    } else {
        boxes.answer(MsgAnswer::Yes);
        click("BitBtn3");
    }
    ASSERT_FALSE(window().isEditMode());
    EXPECT_EQ(searchFromTheTop(text), c.hitAfter ? c.hitAfter : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Search, SearchFollowsCards,
    ::testing::Values(FollowCase{"SaveDropsTheOldText", CardChange::Save, 7, u"АПТЕК", 7, 0},
                      FollowCase{"SaveBringsTheNewText", CardChange::Save, 7, u"ветклин", 0, 7},
                      FollowCase{"NewCard", CardChange::Save, 20, u"ВетКлин", 0, 20},
                      FollowCase{"DeletedCardIsNoLongerFound", CardChange::Delete, 3, u"цвет", 3, 8001}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SearchTest, SearchIsLockedWhileEditing) {
    startEditing();
    EXPECT_FALSE(edit("SearchEdit")->isEnabled());
    EXPECT_FALSE(find("SpeedButton3")->isEnabled());
    EXPECT_FALSE(find("SetsGrid")->isEnabled());
    window().SearchNext();
    EXPECT_EQ(window().currentCardIndex(), 0);
}

} // namespace
} // namespace k8w::test
