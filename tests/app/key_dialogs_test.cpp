// The key reader dialog and manual key entry, driven like a user.
#include "key_window_fixture.h"

#include "common/day_date.h"
#include "keys/key_code.h"

#include <QProgressBar>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace k8w::test {
namespace {

using KeyReaderDialog = KeyWindowTest;
using ManualKeyDialog = KeyWindowTest;

const sim::SimOneWirePort::Identity kKey = sim::SimOneWirePort::KeyIdentity(0x0000'1234'5678'9ABCULL);
const QString kReaderFailure = QStringLiteral(
    "Ошибка устройства чтения ключа. Проверьте подключение считывателя и наличие драйверов 1Wire");

// Lets a held driver call go after a minute, from a thread of its own (the
// main thread may be the one stuck waiting for the call), so that a dialog
// waiting for it fails the test instead of hanging it.
class HeldReadWatchdog {
public:
    explicit HeldReadWatchdog(sim::SimOneWirePort& reader)
        : thread_([this, &reader] {
              std::unique_lock lock(mutex_);
              if (!over_.wait_for(lock, std::chrono::seconds(60), [this] { return done_; }))
                  reader.releaseHeldRead();
          }) {}
    ~HeldReadWatchdog() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        over_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable over_;
    bool done_ = false;
    std::thread thread_;
};

TEST_F(KeyReaderDialog, AKeyReadFourTimesIsShownAndAcceptedForTheChosenSubscriber) {
    reader.touch(kKey, 0, 60'000);
    KeyEntry entries[6] = {};
    entries[0] = installed(1, 0x10);
    entries[1] = installed(3, 0x20);
    std::vector<int> progress;
    QProgressBar* bar = child<QProgressBar>(enterKeyDialog, "keyProgress");
    QObject::connect(bar, &QProgressBar::valueChanged, bar, [&](int v) { progress.push_back(v); });

    whenModal([&] {
        QLabel* keyLabel = child<QLabel>(enterKeyDialog, "keyLabel");
        EXPECT_FALSE(child<QAbstractButton>(enterKeyDialog, "okButton")->isEnabled());
        ASSERT_TRUE(waitFor([&] { return keyLabel->isVisible(); }));
        EXPECT_TRUE(child<QLabel>(enterKeyDialog, "keyOkLabel")->isVisible());
        EXPECT_FALSE(bar->isVisible());
        EXPECT_FALSE(child<QLabel>(enterKeyDialog, "Label1")->isVisible());
        const keys::KeyCode code = keys::KeyCodeFromIdentity(kKey.data());
        EXPECT_EQ(keyLabel->text(), keys::KeyCodeText(code.data()));
        QComboBox* subscribers = child<QComboBox>(enterKeyDialog, "subsCombo");
        EXPECT_EQ(subscribers->count(), 30);
        EXPECT_EQ(subscribers->itemText(0), QStringLiteral("Абонент 2 (Дов. лицо)"));
        choose(subscribers, 2);  // "Абонент 5"
        click(enterKeyDialog, "okButton");
    });
    const double before = dayDateNow();
    ASSERT_EQ(enterKeyDialog.Run(entries), 1);
    const KeyEntry& result = enterKeyDialog.result();
    EXPECT_EQ(result.state, 1);
    EXPECT_EQ(result.subscriber, 5);
    const keys::KeyCode code = keys::KeyCodeFromIdentity(kKey.data());
    EXPECT_TRUE(std::equal(code.begin(), code.end(), result.keyCode));
    EXPECT_GE(+result.entryDate, before);
    EXPECT_EQ(progress, (std::vector<int>{1, 2, 3, 4})) << "the worker's progress reaches the bar";
    EXPECT_TRUE(boxes.shown().isEmpty());
    EXPECT_EQ(reader.openHandles(), 0);
}

TEST_F(KeyReaderDialog, AFailingReaderShowsTheMessageAndClosesWithTwo) {
    struct Case {
        const char* what;
        std::function<void(sim::SimOneWirePort&)> fault;
    };
    const Case cases[] = {
        {"no reader port", [](sim::SimOneWirePort& r) { r.setPortCount(0); }},
        {"port cannot be opened", [](sim::SimOneWirePort& r) { r.failOpen(true); }},
        {"read fails", [](sim::SimOneWirePort& r) { r.failRead(3, 6); }},
    };
    const KeyEntry entries[6] = {};
    for (const Case& c : cases) {
        sim::SimOneWirePort failing(clock, 50);
        failing.touch(kKey, 0, 60'000);
        c.fault(failing);
        TenterKeyDialog dialog(failing, clock);
        boxes.clear();
        // No user action: the dialog closes by itself.
        EXPECT_EQ(dialog.Run(entries), 2) << c.what;
        ASSERT_EQ(boxes.shown().size(), 1) << c.what;
        EXPECT_EQ(boxes.last().title, QStringLiteral("Внимание!"));
        EXPECT_EQ(boxes.last().text, kReaderFailure);
        EXPECT_EQ(boxes.last().buttons, MsgButtons::Ok);
        EXPECT_EQ(dialog.result().state, 0) << c.what;
    }
}

TEST_F(KeyReaderDialog, CancelReleasesABlockedReadAndStoresNothing) {
    // No key ever comes: the read blocks until the driver is stopped.
    const KeyEntry entries[6] = {};
    whenModal([&] {
        ASSERT_TRUE(waitFor([&] { return reader.reads() >= 1; }));
        click(enterKeyDialog, "cancelBtn");
    });
    EXPECT_EQ(enterKeyDialog.Run(entries), 2);
    EXPECT_EQ(reader.stopCalls(), 1);
    // The dialog does not wait for the worker; released, the worker closes the port.
    EXPECT_TRUE(waitFor([&] { return reader.openHandles() == 0; }));
    EXPECT_TRUE(boxes.shown().isEmpty());
    EXPECT_EQ(enterKeyDialog.result().state, 0);
}

TEST_F(KeyReaderDialog, CancelClosesAtOnceWhileTheWorkerIsInsideADriverCall) {
    // The first read stays inside the driver, as an OWFS call may, and then
    // fails: an outcome that must no longer show.
    reader.holdRead(1, 6);
    const KeyEntry entries[6] = {};
    const HeldReadWatchdog watchdog(reader);
    whenModal([&] {
        ASSERT_TRUE(waitFor([&] { return reader.readHeld(); }));
        click(enterKeyDialog, "cancelBtn");
    });
    EXPECT_EQ(enterKeyDialog.Run(entries), 2);
    EXPECT_TRUE(reader.readHeld()) << "the dialog closed only once the driver call was over";
    reader.releaseHeldRead();

    // The next showing reads behind the old worker as ever.
    reader.touch(kKey, 0, 60'000);
    whenModal([&] {
        ASSERT_TRUE(waitFor([&] { return child<QLabel>(enterKeyDialog, "keyLabel")->isVisible(); }));
        click(enterKeyDialog, "okButton");
    });
    EXPECT_EQ(enterKeyDialog.Run(entries), 1);
    EXPECT_TRUE(boxes.shown().isEmpty()) << "the failure of the cancelled run was shown";
    EXPECT_EQ(reader.openHandles(), 0);
}

TEST_F(KeyReaderDialog, ACancelBeforeTheWorkerReachesTheReaderIsNotLost) {
    // The first showing's worker is left inside a driver call; the second
    // showing's worker waits behind it for the reader and is cancelled there.
    reader.holdRead(1, keys::kReadNoKeyYet);
    const KeyEntry entries[6] = {};
    const HeldReadWatchdog watchdog(reader);
    {
        TenterKeyDialog dialog(reader, clock);
        whenModal([&] {
            ASSERT_TRUE(waitFor([&] { return reader.readHeld(); }));
            click(dialog, "cancelBtn");
        });
        EXPECT_EQ(dialog.Run(entries), 2);
        whenModal([&] { click(dialog, "cancelBtn"); });
        EXPECT_EQ(dialog.Run(entries), 2);
        EXPECT_TRUE(reader.readHeld());
        reader.releaseHeldRead();
    }  // the dialog waits for both workers
    EXPECT_EQ(reader.enumerations(), 1) << "the second worker went on to the reader";
    EXPECT_EQ(reader.reads(), 1);
    EXPECT_EQ(reader.openHandles(), 0);
    EXPECT_TRUE(boxes.shown().isEmpty());
}

TEST_F(KeyReaderDialog, CancelAfterTheKeyWasReadClosesWithTwo) {
    reader.touch(kKey, 0, 60'000);
    const KeyEntry entries[6] = {};
    whenModal([&] {
        ASSERT_TRUE(waitFor([&] { return child<QLabel>(enterKeyDialog, "keyLabel")->isVisible(); }));
        click(enterKeyDialog, "cancelBtn");
    });
    EXPECT_EQ(enterKeyDialog.Run(entries), 2);
    EXPECT_EQ(enterKeyDialog.result().state, 0);
}

TEST_F(KeyReaderDialog, EachShowingStartsAFreshRead) {
    reader.touch(kKey, 0, 60'000);
    const KeyEntry entries[6] = {};
    for (int run = 0; run < 2; ++run) {
        whenModal([&] {
            EXPECT_EQ(child<QProgressBar>(enterKeyDialog, "keyProgress")->value(), 0);
            EXPECT_FALSE(child<QLabel>(enterKeyDialog, "keyLabel")->isVisible());
            ASSERT_TRUE(waitFor([&] { return child<QLabel>(enterKeyDialog, "keyLabel")->isVisible(); }));
            click(enterKeyDialog, "okButton");
        });
        EXPECT_EQ(enterKeyDialog.Run(entries), 1) << run;
    }
}

TEST_F(ManualKeyDialog, TwelveDigitsOfEitherCaseGiveTheCodeLeftmostPairFirst) {
    KeyEntry entries[6] = {};
    for (int s = 0; s < 6; ++s) entries[s] = installed(s + 1, 0);
    whenModal([&] {
        QComboBox* subscribers = child<QComboBox>(manualKeyDlg, "subsCombo");
        EXPECT_EQ(subscribers->count(), 26) << "six keys installed: 26 subscribers left";
        EXPECT_EQ(subscribers->itemText(0), QStringLiteral("Абонент 7"));
        EXPECT_FALSE(child<QAbstractButton>(manualKeyDlg, "okButton")->isEnabled());
        choose(subscribers, 25);
        typeInto(child<QLineEdit>(manualKeyDlg, "keyEdit"), QStringLiteral("fF80aB0c1D7e"));
        click(manualKeyDlg, "okButton");
    });
    const double before = dayDateNow();
    ASSERT_EQ(manualKeyDlg.Run(entries), 1);
    const KeyEntry& result = manualKeyDlg.result();
    EXPECT_EQ(result.state, 1);
    EXPECT_EQ(result.subscriber, 32);
    const std::uint8_t expected[6] = {0x7E, 0x1D, 0x0C, 0xAB, 0x80, 0xFF};
    EXPECT_TRUE(std::equal(expected, expected + 6, result.keyCode));
    EXPECT_GE(+result.entryDate, before);
}

TEST_F(ManualKeyDialog, BadTextsShowTheMessageAndKeepTheDialogOpen) {
    const char* texts[] = {"0a1b2c3d4e5", "0a1b2c 3d4e5", "0a1b2c3d+e5f", "0a1b2c3d4e5g", "G00000000000"};
    const KeyEntry entries[6] = {};
    whenModal([&] {
        QLineEdit* edit = child<QLineEdit>(manualKeyDlg, "keyEdit");
        for (const char* text : texts) {
            edit->clear();
            typeInto(edit, QString::fromLatin1(text));
            boxes.clear();
            click(manualKeyDlg, "okButton");
            ASSERT_EQ(boxes.shown().size(), 1) << text;
            EXPECT_EQ(boxes.last().title, QStringLiteral("Внимание"));
            EXPECT_EQ(boxes.last().text, QStringLiteral("Введен неверный код ключа!"));
            EXPECT_TRUE(manualKeyDlg.isVisible()) << text;
            EXPECT_EQ(edit->text(), QString::fromLatin1(text)) << "the text stays as typed";
        }
        click(manualKeyDlg, "cancelBtn");
    });
    EXPECT_EQ(manualKeyDlg.Run(entries), 2);
    EXPECT_EQ(manualKeyDlg.result().state, 0);
}

TEST_F(ManualKeyDialog, TypingAndDeletingEnablesOkWhichThenRefuses) {
    const KeyEntry entries[6] = {};
    whenModal([&] {
        QLineEdit* edit = child<QLineEdit>(manualKeyDlg, "keyEdit");
        typeInto(edit, QStringLiteral("a"));
        QTest::keyClick(edit, Qt::Key_Backspace);
        EXPECT_TRUE(edit->text().isEmpty());
        click(manualKeyDlg, "okButton");
        EXPECT_EQ(boxes.shown().size(), 1);
        manualKeyDlg.close();  // the window's close button
    });
    EXPECT_EQ(manualKeyDlg.Run(entries), 2);
}

TEST_F(ManualKeyDialog, EachShowingStartsWithAnEmptyTextAndOkDisabled) {
    const KeyEntry entries[6] = {};
    whenModal([&] {
        typeInto(child<QLineEdit>(manualKeyDlg, "keyEdit"), QStringLiteral("000000000001"));
        click(manualKeyDlg, "okButton");
    });
    ASSERT_EQ(manualKeyDlg.Run(entries), 1);
    whenModal([&] {
        EXPECT_TRUE(child<QLineEdit>(manualKeyDlg, "keyEdit")->text().isEmpty());
        EXPECT_FALSE(child<QAbstractButton>(manualKeyDlg, "okButton")->isEnabled());
        click(manualKeyDlg, "cancelBtn");
    });
    EXPECT_EQ(manualKeyDlg.Run(entries), 2);
    EXPECT_EQ(manualKeyDlg.result().state, 1) << "the result slot keeps its contents between runs";
}

} // namespace
} // namespace k8w::test
