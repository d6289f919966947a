// The key table window: tabs, grid, date label, and the three ways a slot
// changes, down to the card bytes, the database file and the device image.
#include "key_window_fixture.h"

#include "cards/config_image.h"
#include "common/day_date.h"
#include "keys/key_code.h"

#include <QFileInfo>
#include <QScopeGuard>
#include <QGroupBox>
#include <QTabBar>
#include <QTableWidget>

#include <cstring>

namespace k8w::test {
namespace {

class KeyTable : public KeyWindowTest {
protected:
    // Opens the key table for the card and runs `whileOpen` in it.
    void open(const std::function<void()>& whileOpen) {
        whenModal([&] {
            whileOpen();
            if (keysForm.isVisible()) click(keysForm, "Button1");
        });
        showKeys();
    }
    void selectSlot(int partition, int s) {
        QTabBar* tabs = child<QTabBar>(keysForm, "TabControl1");
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(partition).center());
        ASSERT_EQ(tabs->currentIndex(), partition);
        auto* grid = child<QTableWidget>(keysForm, "keysTab");
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(s + 1, 1)).center());
        ASSERT_EQ(grid->currentRow(), s + 1);
    }
    QString cellText(int column, int row) { return keysForm.keysTabCellText(column, row); }
    QString dateLabel() { return child<QLabel>(keysForm, "KeyLastDateLabel")->text(); }
    bool label2Shown() { return child<QLabel>(keysForm, "Label2")->isVisible(); }
    // Types a code into the manual entry dialog when it opens.
    void whenManualEntry(const QString& code, int subscriberItem = 0) {
        whenModal([this, code, subscriberItem] {
            choose(child<QComboBox>(manualKeyDlg, "subsCombo"), subscriberItem);
            typeInto(child<QLineEdit>(manualKeyDlg, "keyEdit"), code);
            click(manualKeyDlg, "okButton");
        });
    }
};

TEST_F(KeyTable, TabZeroShowsOnlyTheNote) {
    slot(1, 0) = installed(4, 0x01);
    open([&] {
        EXPECT_TRUE(child<QLabel>(keysForm, "Label1")->isVisible());
        EXPECT_FALSE(child<QWidget>(keysForm, "keysTab")->isVisible());
        EXPECT_FALSE(child<QGroupBox>(keysForm, "keyManageBox")->isVisible());
        EXPECT_FALSE(child<QLabel>(keysForm, "Label44")->isVisible());
        EXPECT_FALSE(label2Shown());
        EXPECT_EQ(dateLabel(), QStringLiteral("---")) << "the date is not refreshed on tab 0";
        EXPECT_EQ(cellText(2, 1), QString()) << "no slot data on tab 0";
        QTabBar* tabs = child<QTabBar>(keysForm, "TabControl1");
        ASSERT_EQ(tabs->count(), 4);
        for (int p = 0; p < 4; ++p) EXPECT_EQ(tabs->tabText(p), QStringLiteral("Раздел %1").arg(p));
        selectSlot(1, 0);
        EXPECT_FALSE(child<QLabel>(keysForm, "Label1")->isVisible());
        EXPECT_TRUE(child<QWidget>(keysForm, "keysTab")->isVisible());
        EXPECT_EQ(dateLabel(), dayDateLocaleText(45100.25));
    });
}

TEST_F(KeyTable, GridShowsSubscribersAndKeysOfTheTabsPartition) {
    slot(2, 0) = installed(1, 0x70);
    slot(2, 1) = installed(2, 0x00);
    slot(2, 2) = installed(17, 0x7A);
    slot(2, 3) = installed(32, 0x10);
    slot(2, 3).state = 2;  // not 1: free
    slot(1, 0) = installed(9, 0x01);
    open([&] {
        selectSlot(2, 0);
        EXPECT_EQ(cellText(1, 0), QStringLiteral("Абонент"));
        EXPECT_EQ(cellText(2, 0), QStringLiteral("Состояние"));
        EXPECT_EQ(cellText(0, 0), QString());
        for (int r = 1; r <= 6; ++r) EXPECT_EQ(cellText(0, r), QString::number(r));
        EXPECT_EQ(cellText(1, 1), QStringLiteral("Абонент 1 (Ответственный)"));
        EXPECT_EQ(cellText(2, 1), QStringLiteral("Установлен (75 74 73 72 71 70 )"));
        EXPECT_EQ(cellText(1, 2), QStringLiteral("Абонент 2 (Дов. лицо)"));
        EXPECT_EQ(cellText(1, 3), QStringLiteral("Абонент 17"));
        EXPECT_EQ(cellText(2, 3), QStringLiteral("Установлен (7f 7e 7d 7c 7b 7a )"));
        EXPECT_EQ(cellText(1, 4), QString());
        EXPECT_EQ(cellText(2, 4), QStringLiteral("Свободно"));
        EXPECT_EQ(cellText(2, 6), QStringLiteral("Свободно"));

        // Fixed cells in their own colour, the selected row highlighted.
        auto* grid = child<QTableWidget>(keysForm, "keysTab");
        const QImage picture = grid->grab().toImage();
        auto colourAt = [&](int c, int r) {
            const QRect cell = grid->visualRect(grid->model()->index(r, c)).translated(grid->viewport()->pos());
            return picture.pixelColor(cell.left() + 2, cell.top() + 1).rgb() & 0xFFFFFF;
        };
        EXPECT_EQ(colourAt(0, 3), QColor(0xE6, 0xBB, 0x75).rgb() & 0xFFFFFF);
        EXPECT_EQ(colourAt(2, 0), QColor(0xE6, 0xBB, 0x75).rgb() & 0xFFFFFF);
        EXPECT_EQ(colourAt(2, 1), keysForm.palette().color(QPalette::Highlight).rgb() & 0xFFFFFF);
        EXPECT_EQ(colourAt(2, 2), keysForm.palette().color(QPalette::Base).rgb() & 0xFFFFFF);
    });
}

TEST_F(KeyTable, DateLabelFollowsTheSelectedSlot) {
    slot(1, 0) = installed(3, 0, 45100.25);
    slot(1, 1) = installed(4, 0, 0.0);
    slot(1, 2) = installed(5, 0, 0.1);
    open([&] {
        selectSlot(1, 0);
        EXPECT_EQ(dateLabel(), dayDateLocaleText(45100.25));
        selectSlot(1, 1);
        EXPECT_EQ(dateLabel(), QStringLiteral("---"));
        selectSlot(1, 2);
        EXPECT_EQ(dateLabel(), QStringLiteral("---")) << "0.1 is no date";
    });
}

TEST_F(KeyTable, ManualEntryStoresTheSlotSavesTheFileAndReachesTheImage) {
    card().keys[3][5] = installed(7, 0x55);  // the fourth group is never touched here
    open([&] {
        selectSlot(3, 4);
        whenManualEntry(QStringLiteral("0102030405FA"), 1);  // "Абонент 2 (Дов. лицо)"
        click(keysForm, "keyManualBtn");
        EXPECT_TRUE(boxes.shown().isEmpty()) << "a free slot is filled without a question";
        EXPECT_TRUE(label2Shown());
        EXPECT_EQ(cellText(1, 5), QStringLiteral("Абонент 2 (Дов. лицо)"));
        EXPECT_EQ(cellText(2, 5), QStringLiteral("Установлен (01 02 03 04 05 fa )"));
        EXPECT_NE(dateLabel(), QStringLiteral("---"));
    });
    const KeyEntry& stored = slot(3, 4);
    EXPECT_EQ(stored.state, 1);
    EXPECT_EQ(stored.subscriber, 2);
    const std::uint8_t code[6] = {0xFA, 0x05, 0x04, 0x03, 0x02, 0x01};
    EXPECT_EQ(std::memcmp(stored.keyCode, code, 6), 0);
    EXPECT_GT(+stored.entryDate, 45000.0);

    const auto file = readBack();
    EXPECT_EQ(std::memcmp(&file->cards[kCard], &card(), sizeof(Card)), 0) << "the file holds the card as changed";
    EXPECT_EQ(file->cards[kCard].keys[3][5].subscriber, 7);

    ConfigImage image{};
    std::uint16_t crc = 0;
    ASSERT_EQ(BuildConfigImage(file->cards[kCard], image, crc), 585);
    EXPECT_EQ(std::memcmp(&image[437 + 36 * 2 + 6 * 4], code, 6), 0);
    EXPECT_EQ(image[437 + 36 * 3 + 6 * 5], 0x55) << "the fourth group still goes to the device";
}

TEST_F(KeyTable, ReadingAKeyStoresItsCode) {
    const auto key = sim::SimOneWirePort::KeyIdentity(0x0000'FFFF'FFFF'FFFFULL);
    reader.touch(key, 0, 60'000);
    open([&] {
        selectSlot(1, 5);
        whenModal([&] {
            ASSERT_TRUE(waitFor([&] { return child<QLabel>(enterKeyDialog, "keyLabel")->isVisible(); }));
            click(enterKeyDialog, "okButton");
        });
        click(keysForm, "keyEnterBtn");
        EXPECT_EQ(cellText(2, 6), QStringLiteral("Установлен (7f 7f 7f 7f 7f 7f )"));
        EXPECT_TRUE(label2Shown());
    });
    EXPECT_EQ(slot(1, 5).subscriber, 1);
    EXPECT_EQ(readBack()->cards[kCard].keys[0][5].keyCode[5], 0x7F);
}

TEST_F(KeyTable, OverwritingAsksFirstAndNoOpensNoDialog) {
    slot(1, 0) = installed(3, 0x11);
    const KeyEntry before = slot(1, 0);
    open([&] {
        selectSlot(1, 0);
        ShowTrap trap(manualKeyDlg);
        boxes.answer(MsgAnswer::No);
        click(keysForm, "keyManualBtn");
        ASSERT_EQ(boxes.shown().size(), 1);
        EXPECT_EQ(boxes.last().title, QStringLiteral("Внимание"));
        EXPECT_EQ(boxes.last().text, QStringLiteral("Ключ уже установлен. Хотите перезаписать текущий ключ?"));
        EXPECT_EQ(boxes.last().buttons, MsgButtons::YesNo);
        EXPECT_FALSE(trap.shown);
        manualKeyDlg.removeEventFilter(&trap);

        boxes.answer(MsgAnswer::Yes);
        whenModal([&] {
            // The subscriber of the slot being overwritten is not offered.
            EXPECT_EQ(child<QComboBox>(manualKeyDlg, "subsCombo")->findText(QStringLiteral("Абонент 3")), -1);
            typeInto(child<QLineEdit>(manualKeyDlg, "keyEdit"), QStringLiteral("00000000007f"));
            click(manualKeyDlg, "okButton");
        });
        click(keysForm, "keyManualBtn");
    });
    EXPECT_EQ(slot(1, 0).keyCode[0], 0x7F);
    EXPECT_EQ(slot(1, 0).subscriber, 1);
    EXPECT_NE(std::memcmp(&slot(1, 0), &before, sizeof before), 0);
}

TEST_F(KeyTable, CancelledDialogsChangeAndSaveNothing) {
    reader.touch(sim::SimOneWirePort::KeyIdentity(5), 0, 60'000);
    open([&] {
        selectSlot(1, 0);
        whenModal([&] { click(manualKeyDlg, "cancelBtn"); });
        click(keysForm, "keyManualBtn");
        whenModal([&] {
            ASSERT_TRUE(waitFor([&] { return child<QLabel>(enterKeyDialog, "keyLabel")->isVisible(); }));
            click(enterKeyDialog, "cancelBtn");
        });
        click(keysForm, "keyEnterBtn");
        EXPECT_FALSE(label2Shown());
    });
    EXPECT_EQ(slot(1, 0).state, 0);
    EXPECT_TRUE(baseUnchanged());
}

TEST_F(KeyTable, DeletingAFreeSlotDoesNothing) {
    slot(1, 1) = installed(4, 0x22);
    slot(1, 1).state = 5;  // neither 0 nor 1: free
    const KeyEntry before = slot(1, 1);
    open([&] {
        selectSlot(1, 1);
        EXPECT_EQ(cellText(2, 2), QStringLiteral("Свободно"));
        EXPECT_EQ(cellText(1, 2), QString());
        click(keysForm, "keyDelBtn");
        EXPECT_TRUE(boxes.shown().isEmpty());
        EXPECT_FALSE(label2Shown());
    });
    EXPECT_EQ(std::memcmp(&slot(1, 1), &before, sizeof before), 0);
    EXPECT_TRUE(baseUnchanged());
}

TEST_F(KeyTable, DeletingAKeyAsksAndEmptiesAllSixteenBytes) {
    slot(2, 3) = installed(6, 0x33);
    open([&] {
        selectSlot(2, 3);
        boxes.answer(MsgAnswer::No);
        click(keysForm, "keyDelBtn");
        ASSERT_EQ(boxes.shown().size(), 1);
        EXPECT_EQ(boxes.last().title, QStringLiteral("Внимание"));
        EXPECT_EQ(boxes.last().text, QStringLiteral("Удалить текущий ключ?"));
        EXPECT_EQ(slot(2, 3).state, 1);
        EXPECT_FALSE(label2Shown());

        boxes.answer(MsgAnswer::Yes);
        click(keysForm, "keyDelBtn");
        EXPECT_TRUE(label2Shown());
        EXPECT_EQ(cellText(2, 4), QStringLiteral("Свободно"));
        EXPECT_EQ(dateLabel(), QStringLiteral("---"));
    });
    const KeyEntry empty{};
    EXPECT_EQ(std::memcmp(&slot(2, 3), &empty, sizeof empty), 0);
    EXPECT_EQ(std::memcmp(&readBack()->cards[kCard].keys[1][3], &empty, sizeof empty), 0);
}

TEST_F(KeyTable, AFailedSaveIsReportedAndTheChangeStaysInMemory) {
    open([&] {
        setCardSaveHook([](CardSaveStep, qint64) { return false; });  // no save can succeed
        const auto restore = qScopeGuard([] { setCardSaveHook({}); });
        selectSlot(1, 0);
        whenManualEntry(QStringLiteral("000000000001"));
        click(keysForm, "keyManualBtn");
        ASSERT_EQ(boxes.shown().size(), 1);
        EXPECT_EQ(boxes.last().title, QStringLiteral("Ошибка"));
        EXPECT_EQ(boxes.last().text, QStringLiteral("Ошибка записи на диск"));
        EXPECT_TRUE(label2Shown());
    });
    EXPECT_EQ(slot(1, 0).state, 1);
}

TEST_F(KeyTable, EveryShowingStartsOnTabZeroWithTheNoteHidden) {
    open([&] {
        selectSlot(1, 0);
        whenManualEntry(QStringLiteral("000000000001"));
        click(keysForm, "keyManualBtn");
        EXPECT_TRUE(label2Shown());
    });
    open([&] {
        EXPECT_EQ(child<QTabBar>(keysForm, "TabControl1")->currentIndex(), 0);
        EXPECT_FALSE(label2Shown());
    });
}

} // namespace
} // namespace k8w::test
