// A shared base worked on through this computer's copy: programming while
// the server cannot be reached, and the results sent when it is back.
#include "store/base_copy.h"
#include "store/card_store.h"
#include "store/journal_sync.h"
#include "store/pg_card_store.h"
#include "store/programming_journal.h"
#include "cards/card_table.h"
#include "pg_store_fixture.h"
#include "support/temp_workdir.h"

#include <QFileInfo>
#include <QLockFile>

#include <gtest/gtest.h>

#include <cstring>

namespace k8w {
namespace {

using Kind = ProgrammingNotice::Kind;

using test::makeCard;
using test::server;

class OfflineStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        db_ = server().createDatabase();
        ASSERT_EQ(InitPgCardBase(uri()), QString());
        auto other = OpenPgCardStore(uri(), nullptr);
        for (int slot : {3, 4}) ASSERT_TRUE(other->saveCard(slot, makeCard(100 + slot, "card"), 0).ok());
    }
    QString uri() const { return server().uri(db_); }
    std::unique_ptr<CardStore> openLoaded() {
        QString error;
        auto store = OpenCardStore(uri(), CardFileAccess::PerChange, &error);
        EXPECT_TRUE(store) << error.toStdString();
        EXPECT_TRUE(store->loadAll(*table_, revisions_).ok());
        return store;
    }
    // Programs a device from `store`: the attempt is written before the
    // exchange, its end after it.
    CardStoreResult program(CardStore& store, int slot, std::uint16_t checksum, double at) {
        ProgrammingAttempt attempt;
        if (CardStoreResult begun = store.beginProgramming(slot, attempt); !begun.ok()) return begun;
        return store.endProgramming(attempt, true, checksum, at);
    }
    static std::vector<Kind> kinds(const std::vector<ProgrammingNotice>& notices) {
        std::vector<Kind> k;
        for (const ProgrammingNotice& n : notices) k.push_back(n.kind);
        return k;
    }

    test::TempWorkdir dir_;
    QString db_;
    std::unique_ptr<CardTable> table_ = CardTable::create();
    std::vector<CardRevision> revisions_;
};

TEST_F(OfflineStoreTest, TheCopyIsKeptForItsUserAlone) {
    auto store = openLoaded();
    const QString copy = BaseCopyPath(dir_.path(), uri());
    ASSERT_TRUE(QFileInfo::exists(copy));
    EXPECT_EQ(QFileInfo(copy).permissions() & (QFile::ReadGroup | QFile::ReadOther), QFileDevice::Permissions());
    server().stop();
    QDateTime renewed;
    auto offline = OpenCardBaseCopy(uri(), &renewed);
    server().start();
    ASSERT_TRUE(offline);
    EXPECT_TRUE(renewed.isValid());
    auto table = CardTable::create();
    std::vector<CardRevision> revisions;
    ASSERT_TRUE(offline->loadAll(*table, revisions).ok());
    EXPECT_EQ(std::memcmp(table.get(), table_.get(), sizeof(CardTable)), 0);
    EXPECT_TRUE(offline->localState().offline);
}

TEST_F(OfflineStoreTest, ResultsProgrammedWithoutTheServerReachItOnceOnTheNewestCard) {
    auto store = openLoaded();
    server().stop();
    EXPECT_EQ(store->saveCard(3, makeCard(1, "mine"), revisions_[3]).status, CardStoreStatus::ConnectionLost);
    EXPECT_EQ(store->saveCard(3, makeCard(1, "mine"), revisions_[3]).status, CardStoreStatus::Offline);
    const CardStoreResult programmed = program(*store, 3, 0xBEEF, 45100.25);
    ASSERT_TRUE(programmed.ok()) << programmed.reason.toStdString();
    EXPECT_TRUE(programmed.keptLocally);
    EXPECT_EQ(store->localState().waitingResults, 1);
    server().start();
    // Another user changed the card meanwhile.
    auto other = OpenPgCardStore(uri(), nullptr);
    ASSERT_TRUE(other->saveCard(3, makeCard(103, "theirs"), revisions_[3]).ok());

    std::vector<ProgrammingNotice> notices;
    ASSERT_TRUE(store->sendWaitingResults(notices).ok());
    EXPECT_EQ(kinds(notices), std::vector<Kind>{Kind::Sent});
    const Card now = other->readCard(3).current.card;
    EXPECT_STREQ(now.cardNumber, "theirs");
    EXPECT_EQ(+now.progId, 0xBEEF);
    EXPECT_EQ(+now.progDate, 45100.25);
    std::vector<CardVersion> history;
    ASSERT_TRUE(other->history(3, history).ok());
    EXPECT_EQ(history.front().kind, JournalProgramKind(revisions_[3]));
    EXPECT_EQ(JournalProgrammedRevision(history.front().kind), revisions_[3]);
    EXPECT_EQ(JournalProgrammedRevision(QStringLiteral("program")), -1);
    ASSERT_TRUE(store->sendWaitingResults(notices).ok());
    EXPECT_TRUE(notices.empty()) << "sent once";
    EXPECT_EQ(other->history(3, history).ok() ? history.size() : 0u, 3u);
}

TEST_F(OfflineStoreTest, AnAttemptCutOffIsReportedOnceAndADeletedCardGetsItsResultInItsHistory) {
    auto store = openLoaded();
    ProgrammingJournal journal(JournalPathOf(BaseCopyPath(dir_.path(), uri())));
    // An attempt whose program died mid-exchange: begun, never ended, its holder gone.
    std::unique_ptr<QLockFile> running;
    ASSERT_FALSE(journal.begin(4, revisions_[4], 45100.5, &running, nullptr).isEmpty());
    running.reset();
    server().stop();
    ASSERT_TRUE(program(*store, 3, 0x2222, 45100.75).ok());
    server().start();
    auto other = OpenPgCardStore(uri(), nullptr);
    ASSERT_TRUE(other->deleteCard(3, other->readCard(3).current.revision).ok());

    std::vector<ProgrammingNotice> notices;
    ASSERT_TRUE(store->sendWaitingResults(notices).ok());
    EXPECT_EQ(kinds(notices), (std::vector<Kind>{Kind::CardDeleted, Kind::Unfinished}));
    EXPECT_EQ(+other->readCard(4).current.card.progId, 0u) << "never recorded as done";
    EXPECT_FALSE(isCardInUse(other->readCard(3).current.card));
    EXPECT_EQ(+other->readCard(3).current.card.progId, 0x2222);
    ASSERT_TRUE(store->sendWaitingResults(notices).ok());
    EXPECT_TRUE(notices.empty());
}

} // namespace
} // namespace k8w
