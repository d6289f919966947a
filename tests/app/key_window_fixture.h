#pragma once
// The key table and its two dialogs built around a card table, a simulated
// 1-Wire reader on a virtual clock and recorded message boxes.
#include "app/tenterkeydialog.h"
#include "app/tkeysform.h"
#include "app/tmanualkeydlg.h"
#include "app/window_card_base.h"
#include "store/card_file.h"
#include "store/card_store.h"
#include "cards/card_table.h"
#include "common/virtual_clock.h"
#include "sim/sim_one_wire_port.h"
#include "support/recording_message_boxes.h"
#include "support/temp_workdir.h"
#include "support/watchdog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace k8w::test {

// Notes whether a window gets shown, and closes it again at once.
class ShowTrap final : public QObject {
public:
    explicit ShowTrap(QWidget& window) : window_(window) { window.installEventFilter(this); }
    bool shown = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            shown = true;
            QTimer::singleShot(0, &window_, [w = &window_] { w->close(); });
        }
        return false;
    }

private:
    QWidget& window_;
};

class KeyWindowTest : public ::testing::Test {
protected:
    static constexpr int kCard = 4;  // the card the key table works on (grid row 5)

    KeyWindowTest() {
        table->cards[kCard].changeDate = 45000.5;
        table->cards[kCard].modeFlags = kModePartSupport;
    }

    // Runs `whileOpen` inside the next modal loop (a dialog's exec()).
    static void whenModal(std::function<void()> whileOpen) {
        QTimer::singleShot(0, qApp, std::move(whileOpen));
    }
    // Waits (processing events) until `condition` holds; false after 10 s.
    static bool waitFor(const std::function<bool()>& condition) {
        return QTest::qWaitFor(condition, test::kHangMs);
    }

    template <typename T = QWidget> static T* child(QWidget& window, const char* name) {
        T* w = window.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    static void click(QWidget& window, const char* name) {
        QAbstractButton* button = child<QAbstractButton>(window, name);
        ASSERT_TRUE(button->isEnabled()) << name << " is disabled";
        QTest::mouseClick(button, Qt::LeftButton);
    }
    static void typeInto(QLineEdit* edit, const QString& text) {
        edit->setFocus();
        for (const QChar c : text) QTest::keyClick(edit, static_cast<char>(c.unicode()));
    }
    static void choose(QComboBox* combo, int index) {
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }

    Card& card() { return table->cards[kCard]; }
    KeyEntry& slot(int partition, int s) { return card().keys[partition - 1][s]; }
    static KeyEntry installed(int subscriber, std::uint8_t firstCodeByte, double entered = 45100.25) {
        KeyEntry e{};
        e.state = 1;
        e.subscriber = static_cast<std::uint8_t>(subscriber);
        for (int i = 0; i < 6; ++i) e.keyCode[i] = static_cast<std::uint8_t>(firstCodeByte + i);
        e.entryDate = entered;
        return e;
    }
    std::unique_ptr<CardTable> readBack() const {
        auto t = CardTable::create();
        EXPECT_TRUE(LoadCardFile(kCardFileName, t->cards.data(), kCardCapacity, t->cardTemplate));
        return t;
    }

    TempWorkdir dir;
    RecordingMessageBoxes boxes;
    std::unique_ptr<CardTable> table = CardTable::create();
    VirtualClock clock;
    sim::SimOneWirePort reader{clock, 50};
    TenterKeyDialog enterKeyDialog{reader, clock};
    TmanualKeyDlg manualKeyDlg;
    WindowCardBase base{OpenCardStore(kCardFileName, CardFileAccess::Held, nullptr), *table};
    TkeysForm keysForm{*table, base, enterKeyDialog, manualKeyDlg};

    // The card as the test set it up goes into the base, then the key table opens on it.
    void showKeys() {
        ASSERT_TRUE(base.store().replaceAll(*table).ok());
        storedBytes = fileBytes(kCardFileName);
        keysForm.ShowForCard(kCard);
    }
    // Whether the database file is still as showKeys() wrote it.
    bool baseUnchanged() const { return fileBytes(kCardFileName) == storedBytes; }
    QByteArray storedBytes;
};

} // namespace k8w::test
