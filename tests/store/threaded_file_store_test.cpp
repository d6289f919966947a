// The worker thread's hand-over of calls and results, over a card file: no
// server and no child process, so that ThreadSanitizer sees both sides (it
// loses sight of the calling thread's locks once a child process has been
// started through QProcess, as the server's tests do).
#include "store/threaded_card_store.h"

#include "cards/card_table.h"
#include "store/file_card_store.h"
#include "support/temp_workdir.h"
#include "support/watchdog.h"

#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <future>
#include <vector>

namespace k8w {
namespace {

// A call made while another runs (from a timer of the caller's loop) waits
// its turn; each edit runs on the worker; the results and what was written
// come back to the caller, which is told of one wait only.
TEST(ThreadedFileStore, CallsRunOnTheWorkerInTurnAndTheirResultsComeBack) {
    test::TempWorkdir dir;
    auto store = RunCardStoreOnWorker(MakeFileCardStore(QStringLiteral("ProgInfo_10.K8W"), CardFileAccess::PerChange));
    ASSERT_TRUE(store->updateAll([](CardTable&) { return QString(); }, QStringLiteral("import")).ok());  // a new base
    std::vector<bool> waits;
    store->setWaitListener([&](bool waiting) { waits.push_back(waiting); });
    std::promise<void> nestedIssued;
    const std::shared_future<void> issued = nestedIssued.get_future().share();
    CardStoreResult nested;
    QTimer::singleShot(0, [&] {
        nestedIssued.set_value();
        nested = store->readCard(7);
    });
    const QThread* caller = QThread::currentThread();
    const QThread* ranOn = nullptr;
    const CardStoreResult outer = store->updateCard(7, [&](Card& card) {
        ranOn = QThread::currentThread();
        issued.wait_for(test::kHang);  // the worker holds this call until the second is made
        card.codeUoo = 77;
        return QString();
    }, QStringLiteral("save"));
    ASSERT_TRUE(outer.ok()) << outer.reason.toStdString();
    ASSERT_TRUE(nested.ok()) << nested.reason.toStdString();
    EXPECT_NE(ranOn, caller);
    EXPECT_EQ(+nested.current.card.codeUoo, 77u) << "the second call ran after the first";
    EXPECT_EQ(waits, (std::vector<bool>{true, false}));
    auto table = CardTable::create();
    std::vector<CardRevision> revisions;
    ASSERT_TRUE(store->loadAll(*table, revisions).ok());
    EXPECT_EQ(+table->cards[7].codeUoo, 77u);
}

} // namespace
} // namespace k8w
