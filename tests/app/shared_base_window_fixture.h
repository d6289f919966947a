#pragma once
// The fixture of the main window on a card base shared on a real PostgreSQL
// server, started once for the test program (shared_base_window_test.cpp).
#include "window_test_support.h"

#include "app/card_base_claim.h"
#include "app/card_base_texts.h"
#include "app/thistorydialog.h"
#include "app/window_card_base.h"
#include "app/tkeysform.h"
#include "store/card_base.h"
#include "store/card_store.h"
#include "store/pg_card_store.h"
#include "cards/config_image.h"
#include "common/cp1251.h"
#include "common/virtual_clock.h"
#include "link/exchange_outcome.h"
#include "link/link_workers.h"
#include "sim/sim_device.h"
#include "sim/sim_ftdi_driver.h"
#include "support/pg_test_server.h"
#include "support/watchdog.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QScopeGuard>
#include <QSettings>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <functional>
#include <future>

namespace k8w::test {

// The server of the test program, from the first test to the end of the run.
PgTestServer& server();

inline QString statusText(TForm1& w) { return w.findChild<QLabel*>(QStringLiteral("BaseStatusLabel"))->text(); }

inline const QString kLostPrefix = QStringLiteral("Нет связи с общей базой карточек:\n");
inline const QString kLostSuffix = QStringLiteral("\n\nИзменения не записаны.");

inline KeyEntry installedKey() {
    KeyEntry key{};
    key.state = 1;
    key.subscriber = 3;
    key.keyCode[0] = 0x42;
    key.entryDate = 45100.5;
    return key;
}

class SharedBaseWindowTest : public WindowTest {
protected:
    VirtualClock clock;
    sim::SimDevice device;
    sim::SimFtdiDriver cables{clock};

    void SetUp() override {
        cables.plug("FT4K8W01", &device);
        hardware = {&cables, &clock};
        freshBase();
    }
    void TearDown() override { closeWindows(); }

    // A new empty base of this test's own (each case of a table gets one).
    void freshBase() {
        db_ = server().createDatabase();
        ASSERT_EQ(InitPgCardBase(server().uri(db_)), QString());
        other_ = openStore();
        ASSERT_TRUE(other_);
    }
    void closeWindows() {
        second_.reset();
        WindowTest::TearDown();
    }

    QString uri(const QString& user = QString()) const { return server().uri(db_, user); }
    std::unique_ptr<CardStore> openStore(const QString& user = QString(), CardFileAccess access = CardFileAccess::PerChange) {
        QString error;
        auto store = OpenCardStore(uri(user), access, &error);
        EXPECT_TRUE(store) << error.toStdString();
        return store;
    }
    // A window on the shared base, as k8w-prog --base opens it.
    std::unique_ptr<TForm1> sharedWindow(const QString& user = QString()) {
        auto window = std::make_unique<TForm1>(openStore(user, CardFileAccess::Held), hardware);
        window->show();
        return window;
    }
    TForm1& openShared(const QString& user = QString()) {
        window_ = sharedWindow(user);
        window_->activateWindow();
        QApplication::setActiveWindow(window_.get());
        return *window_;
    }

    // Another user's change of a card: `change` applied to the newest version.
    void theyChange(int slot, const std::function<void(Card&)>& change) {
        const CardVersion newest = other_->readCard(slot).current;
        Card card = newest.card;
        change(card);
        const CardStoreResult saved = other_->saveCard(slot, card, newest.revision);
        ASSERT_TRUE(saved.ok()) << saved.reason.toStdString();
    }
    // A card put into the base whole, keys and programming result included.
    void seed(int slot, const Card& card) {
        const auto whole = [&card](Card& into) {
            into = card;
            return QString();
        };
        ASSERT_TRUE(other_->updateCard(slot, whole, QStringLiteral("copy")).ok());
    }
    // A new base whose card in slot 3 has a key in its first key slot, shown in the window.
    void showKeyedCardOfAFreshBase() {
        freshBase();
        Card card = usedCard(100, QStringLiteral("N-4"), QStringLiteral("Наш объект"));
        card.modeFlags = kModePartSupport;
        card.keys[0][0] = installedKey();
        seed(3, card);
        openShared();
        clickRow(4);
        boxes.clear();
    }
    // The card as the base now has it (a fresh session: the server may have restarted).
    Card stored(int slot) { return openStore()->readCard(slot).current.card; }

    bool waitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, kHangMs); }
    // Runs `action` once `dialog` is shown and its modal loop runs: the
    // store's calls before that (it waits for them in a loop of its own)
    // leave it alone.
    static void onceShown(QWidget& dialog, std::function<void()> action) {
        class Filter final : public QObject {
        public:
            Filter(QWidget& dialog, std::function<void()> action) : QObject(&dialog), action_(std::move(action)) {
                dialog.installEventFilter(this);
            }
            bool eventFilter(QObject* watched, QEvent* event) override {
                if (event->type() == QEvent::Show) {
                    watched->removeEventFilter(this);
                    QTimer::singleShot(0, watched, action_);
                    deleteLater();
                }
                return false;
            }

        private:
            std::function<void()> action_;
        };
        new Filter(dialog, std::move(action));
    }
    // Runs `whileOpen` in the key table of the current card, then closes it.
    void inKeyTable(const std::function<void(TkeysForm&)>& whileOpen) {
        TkeysForm& keys = window().keyTable();
        QTimer::singleShot(0, &keys, [&keys, whileOpen] {
            whileOpen(keys);
            keys.accept();
        });
        window().keysWinBtnClick();
    }
    static void selectKeySlot(TkeysForm& keys, int partition, int entry) {
        keys.findChild<QTabBar*>(QStringLiteral("TabControl1"))->setCurrentIndex(partition);
        keys.findChild<QTableWidget*>(QStringLiteral("keysTab"))->setCurrentCell(entry + 1, 1);
    }
    int questionsAsked(const QString& startingWith) const {
        int n = 0;
        for (const MessageRequest& box : boxes.shown())
            n += box.buttons == MsgButtons::YesNo && box.text.startsWith(startingWith);
        return n;
    }
    // The box at `index` (the last one by default) says the base is lost.
    void expectConnectionLostBox(qsizetype index = -1) {
        ASSERT_FALSE(boxes.shown().isEmpty());
        const MessageRequest& box = index < 0 ? boxes.last() : boxes.shown()[index];
        EXPECT_EQ(box.title, QStringLiteral("Ошибка"));
        EXPECT_EQ(box.buttons, MsgButtons::Ok);
        EXPECT_TRUE(box.text.startsWith(kLostPrefix)) << box.text.toStdString();
        EXPECT_TRUE(box.text.endsWith(kLostSuffix)) << box.text.toStdString();
        EXPECT_GT(box.text.size(), kLostPrefix.size() + kLostSuffix.size()) << "the server's reason";
    }

    QString db_;
    std::unique_ptr<CardStore> other_;
    std::unique_ptr<TForm1> second_;
};


} // namespace k8w::test
