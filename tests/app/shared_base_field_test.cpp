// The main window on a shared base whose server stops answering (its
// processes stopped, as a dead network after a laptop's sleep) or restarts:
// the window keeps running, says it waits, takes no second action, reports
// the loss in its box with editing kept, and stays current by itself.
#include "window_test_support.h"

#include "app/base_wait_indicator.h"
#include "app/window_card_base.h"
#include "common/cp1251.h"
#include "common/virtual_clock.h"
#include "link/exchange_outcome.h"
#include "sim/sim_device.h"
#include "sim/sim_ftdi_driver.h"
#include "store/card_store.h"
#include "store/journal_sync.h"
#include "store/pg_card_store.h"
#include "support/pg_server_pause.h"
#include "support/pg_server_environment.h"
#include "support/watchdog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <algorithm>

namespace k8w::test {
namespace {

const auto* const kServerEnvironment = ::testing::AddGlobalTestEnvironment(new PgServerEnvironment);
PgTestServer& server() { return PgServerEnvironment::server(); }

const QString kLostPrefix = QStringLiteral("Нет связи с общей базой карточек:\n");

class SharedBaseFieldTest : public WindowTest {
protected:
    VirtualClock clock;
    sim::SimDevice device;
    sim::SimFtdiDriver cables{clock};

    void SetUp() override {
        cables.plug("FT4K8W01", &device);
        hardware = {&cables, &clock};
        freshWindow();
    }
    // A new base of its own with one card, and a window on it.
    void freshWindow() {
        window_.reset();
        db_ = server().createDatabase();
        ASSERT_EQ(InitPgCardBase(server().uri(db_)), QString());
        other_ = OpenCardStore(server().uri(db_), CardFileAccess::PerChange, nullptr);
        ASSERT_TRUE(other_);
        ASSERT_TRUE(other_->saveCard(0, usedCard(32001, QStringLiteral("12"), QStringLiteral("Склад")), 0).ok());
        QString error;
        window_ = std::make_unique<TForm1>(OpenCardStore(server().uri(db_), CardFileAccess::Held, &error), hardware);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        window_->show();
        QApplication::setActiveWindow(window_.get());
    }
    // Runs `atWait` when the window's `nth` wait for the server begins.
    void onWait(int nth, std::function<void()> atWait) {
        auto count = std::make_shared<int>(0);
        QObject::connect(&window().cardBase(), &WindowCardBase::waitingChanged, &window(),
                         [count, nth, atWait](bool waiting) {
                             if (waiting && ++*count == nth) atWait();
                         });
    }
    bool waitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, kHangMs); }
    int lostBoxes() const {
        int n = 0;
        for (const MessageRequest& box : boxes.shown()) n += box.text.startsWith(kLostPrefix);
        return n;
    }
    void theyChangeObject(int slot, const QString& object) {
        const CardVersion newest = other_->readCard(slot).current;
        Card card = newest.card;
        setFieldText(card.objectName, object);
        ASSERT_TRUE(other_->saveCard(slot, card, newest.revision).ok());
    }

    QString db_;
    std::unique_ptr<CardStore> other_;
};

// During a save, during the recording of a programming result and when the
// window was only viewing: timers keep firing, the status bar says the window
// waits, a click, Escape or Enter start nothing, the box comes within 20 s,
// the edit is kept; after SIGCONT the same action succeeds.
TEST_F(SharedBaseFieldTest, AServerThatStopsAnsweringLeavesTheWindowRunningAndReportsTheLoss) {
    struct Case {
        const char* what;
        int stopAtWait;  // 0: before the action, while the window views
        std::function<void()> act;
        std::function<void()> succeeded;
    };
    const Case cases[] = {
        {"save", 1,
         [&] {
             if (!window().isEditMode()) startEditing();
             type("Edit1", QStringLiteral("Набрано"));
             click("BitBtn2");
         },
         [&] {
             EXPECT_FALSE(window().isEditMode());
             EXPECT_EQ(fieldText(other_->readCard(0).current.card.objectName), QStringLiteral("Набрано"));
         }},
        {"programming result", 2, [&] { click("ProgBtn"); waitFor([&] { return !window().hasDeviceWorker(); }); },
         [&] {
             EXPECT_EQ(boxes.last().text, link::kProgDoneText);
             EXPECT_NE(+other_->readCard(0).current.card.progId, 0);
         }},
        {"viewing", 0, [&] { click("ProgBtn"); waitFor([&] { return !window().hasDeviceWorker(); }); },
         [&] { EXPECT_EQ(boxes.last().text, link::kProgDoneText); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        freshWindow();
        PgServerPause pause(server().folder());
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(50);
        bool showedWaiting = false;
        // Once the action waits: what the window shows, and input that must start nothing.
        const auto probeWhileWaiting = [&] {
            QTimer::singleShot(300, [&] {
                showedWaiting = window().statusBar()->currentMessage() == BaseWaitIndicator::kWaitingText &&
                                QApplication::overrideCursor() &&
                                QApplication::overrideCursor()->shape() == Qt::BusyCursor;
                QTest::keyClick(&window(), Qt::Key_Escape);
                QTest::keyClick(&window(), Qt::Key_Return);
                QTest::mouseClick(find<QPushButton>(c.stopAtWait == 1 ? "BitBtn2" : "ProgBtn"), Qt::LeftButton);
            });
        };
        if (c.stopAtWait == 0) {
            pause.pause();  // nothing waits yet: the window views
            QTest::qWait(500);
            onWait(1, probeWhileWaiting);
        } else {
            onWait(c.stopAtWait, [&] {
                pause.pause();
                probeWhileWaiting();
            });
        }
        QElapsedTimer elapsed;
        elapsed.start();
        c.act();
        ASSERT_TRUE(waitFor([&] { return lostBoxes() > 0; }));
        EXPECT_LT(elapsed.elapsed(), 20000);
        EXPECT_GT(ticks, 20) << "the window's timers kept firing";
        EXPECT_EQ(lostBoxes(), 1) << "one action, one box";
        EXPECT_TRUE(showedWaiting);
        EXPECT_EQ(window().statusBar()->currentMessage(), QString());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        if (c.stopAtWait == 1) {
            EXPECT_TRUE(window().isEditMode()) << "Escape did not leave editing";
            EXPECT_EQ(edit("Edit1")->text(), QStringLiteral("Набрано"));
        }
        pause.resume();
        boxes.clear();
        boxes.answer(MsgAnswer::Yes);  // the save cut off may have been done when the server woke
        ASSERT_TRUE(waitFor([&] { return window().cardBase().store().checkWritable().ok(); }));
        c.act();
        c.succeeded();
        EXPECT_EQ(lostBoxes(), 0);
    }
}

// Another user's change made while this window saves reaches it, with no
// action of its own.
TEST_F(SharedBaseFieldTest, AChangeMadeWhileTheWindowSavesReachesIt) {
    ASSERT_TRUE(other_->saveCard(1, usedCard(100, QStringLiteral("N-2"), QStringLiteral("Старый")), 0).ok());
    ASSERT_TRUE(waitFor([&] { return cell(2, 3) == QStringLiteral("Старый"); }));
    onWait(1, [&] { theyChangeObject(1, QStringLiteral("Их объект")); });
    startEditing();
    type("Edit1", QStringLiteral("Моё"));
    click("BitBtn2");
    ASSERT_FALSE(window().isEditMode());
    EXPECT_TRUE(waitFor([&] { return cell(2, 3) == QStringLiteral("Их объект"); }));
}

// The server restarted while the window only views: within 10 s of the
// restart it shows a change made after it, with no action of its own.
TEST_F(SharedBaseFieldTest, AfterARestartAWindowThatOnlyViewsShowsLaterChanges) {
    server().stop();
    server().start();
    QElapsedTimer sinceRestart;
    sinceRestart.start();
    other_ = OpenCardStore(server().uri(db_), CardFileAccess::PerChange, nullptr);
    ASSERT_TRUE(other_);
    theyChangeObject(0, QStringLiteral("После"));
    ASSERT_TRUE(waitFor([&] { return cell(1, 3) == QStringLiteral("После"); }));
    EXPECT_LT(sinceRestart.elapsed(), 10000);
    EXPECT_EQ(edit("Edit1")->text(), QStringLiteral("После"));
}

// Offline, a window programs a card and is killed (SIGKILL) at each step of
// the exchange, a card each. Back on the server, `k8w-cli sync` sends every
// completed result once, in the card's history, reports each attempt cut off
// as unfinished (card, time) and never records it as done; another user's
// edit made meanwhile stays.
TEST_F(SharedBaseFieldTest, AWindowKilledAtEachStepOfAnOfflineExchangeLosesNoResultAndInventsNone) {
    const QString uri = server().uri(db_);
    struct Step {
        const char* name;
        bool recorded;
    };
    const Step steps[] = {{"opened", false}, {"sending", false}, {"programmed", false}, {"recorded", true}};
    constexpr int kFirst = 1;  // the slot of the first step's card
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(other_->saveCard(kFirst + i, usedCard(32100 + i, QStringLiteral("К"), QStringLiteral("Объект")), 0).ok());
    window_ = std::make_unique<TForm1>(OpenCardStore(uri, CardFileAccess::Held, nullptr), hardware);  // renews the copy
    window_.reset();
    server().stop();
    auto restart = qScopeGuard([] { server().start(); });
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(steps[i].name);
        QProcess child;
        child.start(QStringLiteral(K8W_OFFLINE_WINDOW_CHILD),
                    {uri, QString::number(kFirst + i + 1), QString::fromLatin1(steps[i].name)});
        ASSERT_TRUE(child.waitForFinished(kHangMs));
        EXPECT_EQ(child.exitStatus(), QProcess::CrashExit) << child.readAllStandardError().toStdString();
    }
    server().start();
    restart.dismiss();
    const int recordedSlot = kFirst + 3;
    other_ = OpenCardStore(uri, CardFileAccess::PerChange, nullptr);
    ASSERT_TRUE(other_);
    theyChangeObject(recordedSlot, QStringLiteral("Их правка"));

    const auto sync = [&uri] {
        QProcess cli;
        cli.start(QStringLiteral(K8W_CLI), {QStringLiteral("sync"), QStringLiteral("--base"), uri});
        EXPECT_TRUE(cli.waitForFinished(kHangMs));
        EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
        return QString::fromUtf8(cli.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    };
    const QStringList lines = sync();
    ASSERT_EQ(lines.size(), 4) << lines.join(QLatin1Char('\n')).toStdString();
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(steps[i].name);
        const int slot = kFirst + i;
        const QString row = QStringLiteral("\trow %1\t").arg(slot + 1);
        const QString prefix = steps[i].recorded ? QStringLiteral("sent") : QStringLiteral("unfinished, nothing recorded");
        EXPECT_EQ(lines.filter(prefix + row).size(), 1) << lines.join(QLatin1Char('\n')).toStdString();
        const Card now = other_->readCard(slot).current.card;
        EXPECT_EQ(now.progId != 0, steps[i].recorded);
        std::vector<CardVersion> versions;
        ASSERT_TRUE(other_->history(slot, versions).ok());
        const auto programmings = std::count_if(versions.begin(), versions.end(), [](const CardVersion& v) {
            return JournalProgrammedRevision(v.kind) >= 0;
        });
        EXPECT_EQ(programmings, steps[i].recorded ? 1 : 0);
    }
    EXPECT_EQ(fieldText(other_->readCard(recordedSlot).current.card.objectName), QStringLiteral("Их правка"));
    EXPECT_TRUE(sync().isEmpty()) << "nothing twice";
}

} // namespace
} // namespace k8w::test
