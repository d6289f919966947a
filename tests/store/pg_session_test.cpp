// The shared card base's session: schema version, who changes a card, what
// the server sends, and a server that stops answering.
#include "pg_store_fixture.h"
#include "store/card_store_notices.h"

#include "cards/card_table.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>

#include <cstdio>
#include <thread>

namespace k8w {
namespace {

using test::makeCard;
using test::PgCardStoreTest;
using test::sameBytes;
using test::server;

// The server's processes: the postmaster and its children.
std::vector<pid_t> serverProcesses() {
    QFile pidFile(server().folder() + QStringLiteral("/data/postmaster.pid"));
    if (!pidFile.open(QIODevice::ReadOnly)) return {};
    const pid_t postmaster = pidFile.readLine().trimmed().toInt();
    std::vector<pid_t> pids{postmaster};
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly)) continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1].toInt() == postmaster) pids.push_back(entry.toInt());
    }
    return pids;
}

// Stops the server's processes (a dead network, as after a laptop's sleep)
// until the end of the scope.
struct StoppedServer {
    std::vector<pid_t> pids = serverProcesses();
    StoppedServer() {
        for (const pid_t pid : pids) ::kill(pid, SIGSTOP);
    }
    ~StoppedServer() {
        for (const pid_t pid : pids) ::kill(pid, SIGCONT);
    }
};

TEST_F(PgCardStoreTest, TheSchemaVersionIsCheckedAndAnOlderBaseUpgraded) {
    struct Case {
        const char* what;
        const char* sql;
        const char* refusal;      // in the error of opening and of base-init
        InitOutcome afterInit;
    };
    const Case cases[] = {
        {"newer", "CREATE OR REPLACE FUNCTION k8w_base_version() RETURNS integer LANGUAGE sql AS 'SELECT 3'",
         "newer", InitOutcome::Unchanged},
        {"version 1", "DROP FUNCTION k8w_base_version()", "base-init", InitOutcome::Upgraded},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        db_ = server().createDatabase();
        ASSERT_EQ(InitPgCardBase(server().uri(db_)), QString());
        server().sql(db_, QString::fromLatin1(c.sql));
        QString error;
        EXPECT_FALSE(OpenCardStore(server().uri(db_), CardFileAccess::PerChange, &error));
        EXPECT_TRUE(error.contains(QLatin1String(c.refusal))) << error.toStdString();
        InitOutcome outcome = InitOutcome::Created;
        const QString init = InitPgCardBase(server().uri(db_), nullptr, &outcome);
        EXPECT_EQ(outcome, c.afterInit);
        EXPECT_EQ(c.afterInit == InitOutcome::Upgraded, init.isEmpty()) << init.toStdString();
        QString again;
        EXPECT_EQ(OpenCardStore(server().uri(db_), CardFileAccess::PerChange, &again) != nullptr, init.isEmpty());
    }
}

// Who changed a card is the user who logged in, whatever role the session took.
TEST_F(PgCardStoreTest, WhoChangedACardIsTheSessionsUser) {
    server().sql(db_, QStringLiteral("DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'editor') "
                                     "THEN CREATE ROLE editor; END IF; END $$; "
                                     "GRANT SELECT, UPDATE ON k8w_cards TO editor"));
    auto store = open(QString(), QStringLiteral("&options=-c%20role%3Deditor"));
    ASSERT_TRUE(store);
    const CardStoreResult saved = store->saveCard(8, makeCard(808, "role"), 0);
    ASSERT_TRUE(saved.ok()) << saved.reason.toStdString();
    EXPECT_EQ(saved.current.changedBy, QStringLiteral("k8w@local"));
}

// A slot number from the server is checked before it indexes the table.
TEST_F(PgCardStoreTest, SlotNumbersFromTheServerOutOfRangeAreNotUsed) {
    auto store = open();
    ASSERT_TRUE(store);
    server().sql(db_, QStringLiteral("SELECT pg_notify('k8w_cards', n) FROM unnest(ARRAY['9000', '-2', 'x', '7']) n"));
    std::vector<int> seen;
    for (int round = 0; round < 100 && seen.empty(); ++round) {
        pollfd fd{CardStoreNotices::socket(*store), POLLIN, 0};
        ASSERT_GE(::poll(&fd, 1, 600), 0);
        seen = store->takeChanges().changedSlots;
    }
    EXPECT_EQ(seen, std::vector<int>{7});
    server().sql(db_, QStringLiteral("ALTER TABLE k8w_cards DROP CONSTRAINT k8w_cards_slot_check; "
                                     "INSERT INTO k8w_cards (slot, data, revision) "
                                     "VALUES (9000, decode(repeat('00', 1310), 'hex'), 1)"));
    auto table = CardTable::create();
    std::vector<CardRevision> revisions;
    EXPECT_EQ(store->loadAll(*table, revisions).status, CardStoreStatus::Unreadable);
}

TEST_F(PgCardStoreTest, TheTemplateChangesUnderTheRevisionCheck) {
    struct Case {
        const char* what;
        std::function<CardStoreResult(CardStore&, const Card&, CardRevision)> write;
    };
    const Case cases[] = {
        {"renew", [](CardStore& s, const Card& t, CardRevision) { return s.renewTemplate(t); }},
        {"with a card", [](CardStore& s, const Card& t, CardRevision seen) {
             return s.saveCard(9, makeCard(909, "card"), seen, &t);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto mine = open();
        auto theirs = open();
        ASSERT_TRUE(mine && theirs);
        auto table = CardTable::create();
        std::vector<CardRevision> revisions;
        ASSERT_TRUE(mine->loadAll(*table, revisions).ok());
        ASSERT_TRUE(theirs->loadAll(*table, revisions).ok());
        ASSERT_TRUE(theirs->renewTemplate(makeCard(0, "theirs", 0)).ok());
        const Card myTemplate = makeCard(0, "mine", 0);
        const CardStoreResult conflict = c.write(*mine, myTemplate, revisions[9]);
        ASSERT_EQ(conflict.status, CardStoreStatus::Conflict);
        EXPECT_TRUE(conflict.reason.contains(QLatin1String("template"))) << conflict.reason.toStdString();
        EXPECT_STREQ(theirs->readCard(kTemplateSlot).current.card.cardNumber, "theirs");
        // "Yes": the same call again writes over theirs.
        ASSERT_TRUE(c.write(*mine, myTemplate, conflict.current.revision).ok());
        EXPECT_TRUE(sameBytes(theirs->readCard(kTemplateSlot).current.card, myTemplate));
    }
}

// Slots in use and the template are read; every other slot is cleared, and
// a deleted card's slot keeps its revision for the next save.
TEST_F(PgCardStoreTest, LoadAllFillsTheCardsInUseAndClearsTheRest) {
    auto store = open();
    ASSERT_TRUE(store);
    ASSERT_TRUE(store->saveCard(3, makeCard(303, "kept"), 0).ok());
    ASSERT_TRUE(store->saveCard(4, makeCard(404, "gone"), 0).ok());
    ASSERT_TRUE(store->deleteCard(4, 1).ok());
    ASSERT_TRUE(store->renewTemplate(makeCard(0, "template", 0)).ok());
    auto table = CardTable::create();
    std::memset(static_cast<void*>(table.get()), 0x5A, sizeof(CardTable));
    std::vector<CardRevision> revisions;
    ASSERT_TRUE(store->loadAll(*table, revisions).ok());
    auto expected = CardTable::create();
    expected->cards[3] = makeCard(303, "kept");
    expected->cardTemplate = makeCard(0, "template", 0);
    EXPECT_EQ(std::memcmp(table.get(), expected.get(), sizeof(CardTable)), 0);
    EXPECT_EQ(revisions[3], 1);
    EXPECT_EQ(revisions[4], 2);
    EXPECT_EQ(revisions[5], 0);
    EXPECT_TRUE(store->saveCard(4, makeCard(405, "new"), revisions[4]).ok());
}

// A server that stops answering in the middle of work: every call comes back
// as a lost connection within 20 s, and the next call after it answers again works.
TEST_F(PgCardStoreTest, AServerThatStopsAnsweringIsALostConnectionWithin20Seconds) {
    struct Case {
        const char* what;
        std::function<CardStoreResult(CardStore&)> call;
    };
    const Case cases[] = {
        {"save", [](CardStore& s) { return s.saveCard(12, makeCard(1212, "save"), 0); }},
        {"before programming", [](CardStore& s) { return s.checkWritable(); }},
        {"viewing", [](CardStore& s) { return s.readCard(12); }},
        {"loading", [](CardStore& s) {
             auto table = CardTable::create();
             std::vector<CardRevision> revisions;
             return s.loadAll(*table, revisions);
         }},
    };
    constexpr std::size_t kCases = std::size(cases);
    std::vector<std::unique_ptr<CardStore>> stores;
    for (std::size_t i = 0; i < kCases; ++i) stores.push_back(open());
    std::vector<CardStoreResult> results(kCases);
    std::vector<qint64> tookMs(kCases, 0);
    {
        StoppedServer stopped;
        ASSERT_GT(stopped.pids.size(), 1u);
        std::vector<std::thread> calls;
        for (std::size_t i = 0; i < kCases; ++i)
            calls.emplace_back([&, i] {
                QElapsedTimer clock;
                clock.start();
                results[i] = cases[i].call(*stores[i]);
                tookMs[i] = clock.elapsed();
            });
        for (std::thread& call : calls) call.join();
    }
    for (std::size_t i = 0; i < kCases; ++i) {
        SCOPED_TRACE(cases[i].what);
        std::printf("%s: ConnectionLost after %lld ms\n", cases[i].what, static_cast<long long>(tookMs[i]));
        EXPECT_EQ(results[i].status, CardStoreStatus::ConnectionLost);
        EXPECT_LT(tookMs[i], 20000);
        EXPECT_EQ(CardStoreNotices::socket(*stores[i]), -1);
        const CardStoreResult next = cases[i].call(*stores[i]);
        EXPECT_TRUE(next.ok() || next.status == CardStoreStatus::Conflict) << next.reason.toStdString();
        EXPECT_GE(CardStoreNotices::socket(*stores[i]), 0);
    }
}

// A card held by another user's open transaction stops a save after the
// lock timeout, as a lost connection, not for ever.
TEST_F(PgCardStoreTest, ACardLockedByAnotherSessionIsGivenUpAfterTheLockTimeout) {
    auto store = open();
    ASSERT_TRUE(store);
    QProcess holder;
    holder.start(QStringLiteral("/usr/bin/psql"),
                 {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-h"), server().folder(),
                  QStringLiteral("-U"), QStringLiteral("k8w"), QStringLiteral("-d"), db_, QStringLiteral("-c"),
                  QStringLiteral("BEGIN; SELECT slot FROM k8w_cards WHERE slot = 13 FOR UPDATE; SELECT pg_sleep(40);")});
    ASSERT_TRUE(holder.waitForStarted());
    for (int round = 0; round < 100; ++round) {
        if (server().sql(db_, QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE query LIKE '%pg_sleep(40)%' "
                                             "AND state = 'active' AND pid <> pg_backend_pid()")) == QStringLiteral("1"))
            break;
        holder.waitForFinished(100);  // a wait that ends early should the holder fail
    }
    QElapsedTimer clock;
    clock.start();
    const CardStoreResult save = store->saveCard(13, makeCard(1313, "locked"), 0);
    const qint64 took = clock.elapsed();
    holder.kill();
    holder.waitForFinished();
    std::printf("a save of a locked card gave up after %lld ms\n", static_cast<long long>(took));
    EXPECT_EQ(save.status, CardStoreStatus::ConnectionLost);
    EXPECT_GE(took, 14000);
    EXPECT_LT(took, 20000);
}

} // namespace
} // namespace k8w
