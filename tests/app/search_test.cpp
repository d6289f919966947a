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
