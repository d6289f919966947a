// A card store run on a worker thread, against a real PostgreSQL server
// started for this test program: the caller's event loop runs while it
// waits, a server that stops answering is given up, changes come to the
// change listener, and a lost connection is renewed by itself.
#include "store/threaded_card_store.h"

#include "cards/card_table.h"
#include "store/pg_card_store.h"
#include "support/pg_server_pause.h"
#include "pg_store_fixture.h"
#include "support/watchdog.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstring>

namespace k8w {
namespace {

using namespace std::chrono_literals;

using test::makeCard;
using test::server;

class ThreadedCardStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        db_ = server().createDatabase();
        ASSERT_EQ(InitPgCardBase(server().uri(db_)), QString());
        other_ = OpenPgCardStore(server().uri(db_), nullptr);
        ASSERT_TRUE(other_);
    }
    // The store under test, with short times so that no test waits long.
    std::unique_ptr<CardStore> open() {
        QString error;
        auto inner = OpenPgCardStore(server().uri(db_), &error);
        EXPECT_TRUE(inner) << error.toStdString();
        auto store = RunCardStoreOnWorker(std::move(inner), {1000ms, 100ms, 400ms});
        store->setChangeListener([this] { ++announced_; });
        store->setWaitListener([this](bool waiting) { waits_.push_back(waiting); });
        return store;
    }
    bool announcedSlot(CardStore& store, int slot) {
        return QTest::qWaitFor([&] {
            const CardChanges changes = store.takeChanges();
            seenAll_ = seenAll_ || changes.all;
            for (const int s : changes.changedSlots) seen_.push_back(s);
            return seenAll_ || std::find(seen_.begin(), seen_.end(), slot) != seen_.end();
        }, test::kHangMs);
    }

    QString db_;
    std::unique_ptr<CardStore> other_;
    int announced_ = 0;
    std::vector<bool> waits_;
    std::vector<int> seen_;
    bool seenAll_ = false;
};

// SIGSTOP: the call is given up as a lost connection while the caller's
// timers keep firing; after SIGCONT the next call works.
TEST_F(ThreadedCardStoreTest, AServerThatStopsAnsweringIsGivenUpWhileTheCallersLoopRuns) {
    auto store = open();
    test::PgServerPause pause(server().folder());
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);
    pause.pause();
    QElapsedTimer clock;
    clock.start();
    const CardStoreResult save = store->saveCard(5, makeCard(55, "five"), 0);
    EXPECT_EQ(save.status, CardStoreStatus::ConnectionLost);
    EXPECT_FALSE(save.reason.isEmpty());
    EXPECT_LT(clock.elapsed(), test::kHangMs);
    EXPECT_GT(ticks, 10) << "the caller's event loop ran while it waited";
    EXPECT_EQ(waits_, (std::vector<bool>{true, false}));
    pause.resume();
    // The save sent before the cut may have been done by the server once it
    // woke: the next save goes on the revision it has now.
    CardStoreResult now;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (now = store->readCard(5)).ok(); }, test::kHangMs));
    EXPECT_TRUE(store->saveCard(5, makeCard(56, "five"), now.current.revision).ok());
    EXPECT_EQ(+other_->readCard(5).current.card.codeUoo, 56u);
}

// Notices are taken after every call of the store's own (a change made while
// it saves) and by watching the connection when it is idle.
TEST_F(ThreadedCardStoreTest, ChangesOfOthersComeToTheListenerDuringAndBetweenCalls) {
    auto store = open();
    const CardStoreResult saved = store->updateCard(1, [&](Card& card) {
        EXPECT_TRUE(other_->saveCard(2, makeCard(22, "two"), 0).ok());  // while this call is under way
        card = makeCard(11, "one");
        return QString();
    }, QStringLiteral("save"));
    ASSERT_TRUE(saved.ok());
    EXPECT_TRUE(QTest::qWaitFor([&] { return announced_ > 0; }, test::kHangMs));
    EXPECT_TRUE(announcedSlot(*store, 2));
    EXPECT_EQ(std::count(seen_.begin(), seen_.end(), 1), 0) << "its own change is not announced";
    const int before = announced_;
    ASSERT_TRUE(other_->saveCard(3, makeCard(33, "three"), 0).ok());
    EXPECT_TRUE(QTest::qWaitFor([&] { return announced_ > before; }, test::kHangMs));
    EXPECT_TRUE(announcedSlot(*store, 3));
}

// The server restarted while the store only listens: it reconnects by itself
// and announces that anything may have changed.
TEST_F(ThreadedCardStoreTest, AfterALostConnectionTheStoreReconnectsAndAnnounces) {
    auto store = open();
    server().stop();
    server().start();
    other_ = OpenPgCardStore(server().uri(db_), nullptr);
    ASSERT_TRUE(other_ && other_->saveCard(4, makeCard(44, "four"), 0).ok());
    EXPECT_TRUE(announcedSlot(*store, 4));
    EXPECT_TRUE(waits_.empty()) << "the caller made no call";
    EXPECT_EQ(+store->readCard(4).current.card.codeUoo, 44u);
}

} // namespace
} // namespace k8w
