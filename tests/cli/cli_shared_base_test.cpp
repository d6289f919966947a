// k8w-cli on a shared card base, as processes against a real PostgreSQL
// server started for this test program.
#include "store/card_file.h"
#include "store/card_store.h"
#include "cards/card_table.h"
#include "store/pg_card_store.h"
#include "cli_process.h"
#include "generated_cards.h"
#include "support/pg_test_server.h"
#include "support/sim_process.h"
#include "support/temp_workdir.h"

#include <QDir>

#include <gtest/gtest.h>

#include <QFile>

#include <csignal>
#include <cstring>
#include <iostream>

namespace k8w::test {
namespace {

PgTestServer& server() {
    static PgTestServer instance;
    return instance;
}

Card makeCard(std::uint32_t code, const char* name) {
    Card card{};
    card.codeUoo = code;
    card.changeDate = 46000.5;
    std::strncpy(card.cardNumber, name, sizeof card.cardNumber - 1);
    return card;
}

class CliSharedBase : public ::testing::Test {
protected:
    TempWorkdir dir;
    QString db;
    QString uri;

    void SetUp() override {
        db = server().createDatabase();
        uri = server().uri(db);
        const CliRun init = runCli({QStringLiteral("base-init"), QStringLiteral("--base"), uri});
        ASSERT_EQ(init.exitCode, 0) << init.err.toStdString();
    }
    std::unique_ptr<CardStore> store() {
        QString error;
        auto opened = OpenCardStore(uri, CardFileAccess::PerChange, &error);
        EXPECT_TRUE(opened) << error.toStdString();
        return opened;
    }
    bool nothingSent() const {
        return !QFile::exists(QStringLiteral("ProgLog.log")) && !QFile::exists(QStringLiteral("device.img"));
    }
};

TEST_F(CliSharedBase, BaseInitAgainChangesNothing) {
    ASSERT_TRUE(store()->saveCard(0, makeCard(1, "one"), 0).ok());
    const CliRun again = runCli({QStringLiteral("base-init"), QStringLiteral("--base"), uri});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_TRUE(again.out.contains(QStringLiteral("nothing changed"))) << again.out.toStdString();
    EXPECT_EQ(+store()->readCard(0).current.card.codeUoo, 1u);
}

TEST_F(CliSharedBase, BaseCopyGoesBothWaysByteForByteAndKeepsCardsOfATarget) {
    auto table = CardTable::create();
    for (int slot : {0, 5, 8999}) {
        Card& card = table->cards[static_cast<std::size_t>(slot)];
        auto* bytes = reinterpret_cast<unsigned char*>(&card);
        for (std::size_t i = 0; i < kCardSize; ++i) bytes[i] = static_cast<unsigned char>(slot + 3 * i);
        card.codeUoo = static_cast<std::uint32_t>(slot + 1);
        card.changeDate = 46001;
    }
    table->cardTemplate.timePass = 9;
    ASSERT_TRUE(SaveCardTable(*table, QStringLiteral("source.K8W")));
    const QStringList toServer{QStringLiteral("base-copy"), QStringLiteral("--from"), QStringLiteral("source.K8W"),
                               QStringLiteral("--to"), uri};
    const CliRun up = runCli(toServer);
    ASSERT_EQ(up.exitCode, 0) << up.err.toStdString();
    const CliRun down = runCli({QStringLiteral("base-copy"), QStringLiteral("--from"), uri, QStringLiteral("--to"),
                                QStringLiteral("back.K8W")});
    ASSERT_EQ(down.exitCode, 0) << down.err.toStdString();
    EXPECT_EQ(fileBytes(QStringLiteral("back.K8W")), fileBytes(QStringLiteral("source.K8W")));

    // Targets that hold cards: refused, unless forced.
    EXPECT_EQ(runCli(toServer).exitCode, 2);
    EXPECT_EQ(runCli({QStringLiteral("base-copy"), QStringLiteral("--from"), uri, QStringLiteral("--to"),
                      QStringLiteral("back.K8W")})
                  .exitCode,
              2);
    EXPECT_EQ(runCli(toServer + QStringList{QStringLiteral("--force")}).exitCode, 0);
}

TEST_F(CliSharedBase, HistoryListsEveryVersionNewestFirst) {
    auto base = store();
    ASSERT_TRUE(base->saveCard(2, makeCard(303, "kept"), 0).ok());
    ASSERT_TRUE(base->deleteCard(2, 1).ok());
    const CliRun history =
        runCli({QStringLiteral("history"), QStringLiteral("--row"), QStringLiteral("3"), QStringLiteral("--base"), uri});
    ASSERT_EQ(history.exitCode, 0) << history.err.toStdString();
    const QStringList lines = history.out.trimmed().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("2\t"))) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains(QStringLiteral("\tk8w@local\tdelete\t")));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("\tk8w@local\tsave\t303\tkept"))) << lines[1].toStdString();
    EXPECT_EQ(runCli({QStringLiteral("history"), QStringLiteral("--row"), QStringLiteral("3"), QStringLiteral("--db"),
                      QStringLiteral("x.K8W")})
                  .exitCode,
              2);
}

TEST_F(CliSharedBase, RestoreBringsADeletedCardBackAsAChangeOfItsOwn) {
    auto base = store();
    ASSERT_TRUE(base->saveCard(2, makeCard(303, "kept"), 0).ok());
    ASSERT_TRUE(base->deleteCard(2, 1).ok());
    const QStringList row{QStringLiteral("--row"), QStringLiteral("3"), QStringLiteral("--base"), uri};
    const CliRun restore =
        runCli(QStringList{QStringLiteral("restore"), QStringLiteral("--revision"), QStringLiteral("1")} + row);
    ASSERT_EQ(restore.exitCode, 0) << restore.err.toStdString();
    const CliRun cards = runCli({QStringLiteral("cards"), QStringLiteral("--base"), uri});
    EXPECT_TRUE(cards.out.startsWith(QStringLiteral("3\t303\tkept\t"))) << cards.out.toStdString();
    EXPECT_TRUE(runCli(QStringList{QStringLiteral("history")} + row).out.startsWith(QStringLiteral("3\t")));
    // The file keeps no versions; a revision that was never is refused.
    EXPECT_EQ(runCli({QStringLiteral("restore"), QStringLiteral("--revision"), QStringLiteral("1"),
                      QStringLiteral("--row"), QStringLiteral("3")})
                  .exitCode,
              2);
    EXPECT_EQ(runCli(QStringList{QStringLiteral("restore"), QStringLiteral("--revision"), QStringLiteral("9")} + row)
                  .exitCode,
              2);
}

TEST_F(CliSharedBase, ImportGoesInAsOneChangeOfTheNewestCardsOrNotAtAll) {
    const auto cards = GeneratedCards(30);
    ASSERT_TRUE(SaveCardTable(*cards, QStringLiteral("source.K8W")));
    ASSERT_EQ(runCli({QStringLiteral("export"), QStringLiteral("--db"), QStringLiteral("source.K8W"),
                      QStringLiteral("--out"), QStringLiteral("cards.json")})
                  .exitCode,
              0);
    auto importing = [&](const QByteArray& json, const QStringList& more = {}) {
        QFile file(QStringLiteral("import.json"));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(json) == json.size());
        file.close();
        return runCli(QStringList{QStringLiteral("import"), QStringLiteral("import.json"), QStringLiteral("--base"), uri} +
                      more);
    };
    const CliRun whole = importing(fileBytes(QStringLiteral("cards.json")));
    ASSERT_EQ(whole.exitCode, 0) << whole.err.toStdString();
    EXPECT_EQ(whole.out, QStringLiteral("30 cards changed, 0 unchanged\n"));
    auto stored = CardTable::create();
    std::vector<CardRevision> revisions;
    ASSERT_TRUE(store()->loadAll(*stored, revisions).ok());
    for (int slot = 0; slot < kCardCapacity; ++slot) {
        Card a = cards->cards[static_cast<std::size_t>(slot)];
        Card b = stored->cards[static_cast<std::size_t>(slot)];
        a.changeDate = b.changeDate = 0;
        ASSERT_EQ(std::memcmp(&a, &b, sizeof a), 0) << "slot " << slot;
    }

    // One failing card keeps every other out; a dry run writes nothing.
    const QByteArray apn = R"([{"row": 1, "apn1": "internet.new"}])";
    const CliRun refused = importing(R"([{"row": 1, "apn1": "internet.new"}, {"row": 2, "pin1": "12345"}])");
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("row 2: pin1: "))) << refused.err.toStdString();
    EXPECT_EQ(importing(apn, {QStringLiteral("--dry-run")}).exitCode, 0);
    EXPECT_EQ(store()->readCard(0).current.revision, revisions[0]);

    const CliRun changed = importing(apn);
    ASSERT_EQ(changed.exitCode, 0) << changed.err.toStdString();
    const CardStoreResult row1 = store()->readCard(0);
    EXPECT_STREQ(row1.current.card.apn1, "internet.new");
    EXPECT_EQ(row1.current.revision, revisions[0] + 1);
    std::vector<CardVersion> versions;
    ASSERT_TRUE(store()->history(0, versions).ok());
    EXPECT_EQ(versions.front().kind, QStringLiteral("import"));
    EXPECT_EQ(store()->readCard(1).current.revision, revisions[1]);  // untouched
}

TEST_F(CliSharedBase, ProgramRecordsItsResultOnTheServer) {
    ASSERT_TRUE(store()->saveCard(0, makeCard(700, "dev"), 0).ok());
    SimProcess sim({QStringLiteral("--image"), QStringLiteral("device.img")});
    const CliRun run = runCli({QStringLiteral("program"), QStringLiteral("--row"), QStringLiteral("1"),
                               QStringLiteral("--base"), uri, QStringLiteral("--port"), sim.path()});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(+store()->readCard(0).current.card.progId, run.out.trimmed().toUInt(nullptr, 16));
}

// Nothing is sent to a device whose result the base could not record.
TEST_F(CliSharedBase, ProgramIsRefusedBeforeTheExchangeWhenTheBaseCannotRecord) {
    ASSERT_TRUE(store()->saveCard(0, makeCard(700, "dev"), 0).ok());
    server().sql(db, QStringLiteral("DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'viewer') "
                                    "THEN CREATE ROLE viewer LOGIN; END IF; END $$; "
                                    "GRANT SELECT ON k8w_cards, k8w_card_history TO viewer"));
    SimProcess sim({QStringLiteral("--image"), QStringLiteral("device.img")});
    auto program = [&](const QString& base) {
        return runCli({QStringLiteral("program"), QStringLiteral("--row"), QStringLiteral("1"),
                       QStringLiteral("--base"), base, QStringLiteral("--port"), sim.path()});
    };
    const CliRun readOnly = program(server().uri(db, QStringLiteral("viewer")));
    EXPECT_EQ(readOnly.exitCode, 2);
    EXPECT_TRUE(readOnly.err.contains(QStringLiteral("nothing was sent"))) << readOnly.err.toStdString();
    EXPECT_TRUE(nothingSent());

    // Without this computer's copy of the base, nothing can be recorded.
    for (const QString& copy : QDir().entryList({QStringLiteral("k8w-copy-*")})) QFile::remove(copy);
    server().stop();
    const CliRun unreachable = program(uri);
    server().start();
    EXPECT_EQ(unreachable.exitCode, 2);
    EXPECT_FALSE(unreachable.err.isEmpty());
    EXPECT_TRUE(nothingSent());
}

// Without the server a device is programmed from this computer's copy; sync
// sends the result to the newest card when the server is back, once.
TEST_F(CliSharedBase, ProgramWithoutTheServerWaitsInTheJournalUntilSync) {
    ASSERT_TRUE(store()->saveCard(0, makeCard(700, "dev"), 0).ok());
    const QStringList sync{QStringLiteral("sync"), QStringLiteral("--base"), uri};
    ASSERT_EQ(runCli(sync).exitCode, 0);  // the copy
    SimProcess sim({QStringLiteral("--image"), QStringLiteral("device.img")});
    server().stop();
    const CliRun offline = runCli({QStringLiteral("program"), QStringLiteral("--row"), QStringLiteral("1"),
                                   QStringLiteral("--base"), uri, QStringLiteral("--port"), sim.path()});
    const CliRun stillOffline = runCli(sync);
    server().start();
    ASSERT_EQ(offline.exitCode, 0) << offline.err.toStdString();
    EXPECT_TRUE(offline.err.contains(QStringLiteral("waits for k8w-cli sync"))) << offline.err.toStdString();
    EXPECT_EQ(stillOffline.exitCode, 1);
    const std::uint16_t crc = static_cast<std::uint16_t>(offline.out.trimmed().toUInt(nullptr, 16));
    // Another user renames the card meanwhile.
    const CardStoreResult theirs = store()->updateCard(
        0, [](Card& c) { std::strncpy(c.cardNumber, "theirs", sizeof c.cardNumber - 1); return QString(); },
        QStringLiteral("save"));
    ASSERT_TRUE(theirs.ok());

    const CliRun sent = runCli(sync);
    EXPECT_EQ(sent.exitCode, 0) << sent.err.toStdString();
    EXPECT_TRUE(sent.out.startsWith(QStringLiteral("sent\trow 1\t"))) << sent.out.toStdString();
    const Card now = store()->readCard(0).current.card;
    EXPECT_EQ(+now.progId, crc);
    EXPECT_STREQ(now.cardNumber, "theirs");
    const CliRun again = runCli(sync);
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_TRUE(again.out.isEmpty()) << "sent once: " << again.out.toStdString();
}

// Killed mid-exchange without the server (the device stopped answering),
// `program` leaves an attempt that sync reports as unfinished and never
// records as done.
TEST_F(CliSharedBase, ProgramKilledMidExchangeIsReportedUnfinishedAndRecordsNothing) {
    ASSERT_TRUE(store()->saveCard(0, makeCard(700, "dev"), 0).ok());
    const QStringList sync{QStringLiteral("sync"), QStringLiteral("--base"), uri};
    ASSERT_EQ(runCli(sync).exitCode, 0);  // the copy
    SimProcess sim({QStringLiteral("--image"), QStringLiteral("device.img")});
    server().stop();
    ::kill(static_cast<pid_t>(sim.pid()), SIGSTOP);
    QProcess program;
    program.start(QStringLiteral(K8W_CLI_PATH), {QStringLiteral("program"), QStringLiteral("--row"), QStringLiteral("1"),
                                                 QStringLiteral("--base"), uri, QStringLiteral("--port"), sim.path()});
    // The attempt is in the journal before the first byte goes out.
    const auto begun = [] {
        for (const QString& name : QDir().entryList({QStringLiteral("k8w-copy-*.journal")})) {
            QFile journal(name);
            if (journal.open(QIODevice::ReadOnly) && journal.readAll().contains("\"begun\"")) return true;
        }
        return false;
    };
    // Killed only once the greeting is out: a kill while the port opens can
    // leave its lock file empty, which keeps that terminal locked for others.
    const auto onTheWire = [] {
        QFile log(QStringLiteral("ProgLog.log"));
        return log.open(QIODevice::ReadOnly) && log.readAll().contains("PROG_K8W");
    };
    for (int i = 0; i < 1000 && !onTheWire(); ++i) program.waitForFinished(10);
    EXPECT_TRUE(begun());
    EXPECT_EQ(program.state(), QProcess::Running);
    program.kill();
    program.waitForFinished();
    ::kill(static_cast<pid_t>(sim.pid()), SIGCONT);
    server().start();

    const CliRun sent = runCli(sync);
    EXPECT_EQ(sent.exitCode, 0) << sent.err.toStdString();
    EXPECT_TRUE(sent.out.startsWith(QStringLiteral("unfinished, nothing recorded\trow 1\t"))) << sent.out.toStdString();
    EXPECT_EQ(+store()->readCard(0).current.card.progId, 0);
    EXPECT_TRUE(runCli(sync).out.isEmpty()) << "reported once";
}

TEST_F(CliSharedBase, APasswordInTheUriIsNeverPrinted) {
    const QString secret = QStringLiteral("Hunter2Secret");
    const QString withPassword = QStringLiteral("postgresql://k8w:%1@/nosuchdb?host=%2&port=5432")
                                     .arg(secret, server().folder());
    const QString inParams = uri + QStringLiteral("&password=") + secret + QStringLiteral("&dbname=nosuchdb");
    for (const QStringList& args :
         {QStringList{QStringLiteral("cards"), QStringLiteral("--base"), withPassword},
          QStringList{QStringLiteral("base-init"), QStringLiteral("--base"), inParams},
          QStringList{QStringLiteral("history"), QStringLiteral("--row"), QStringLiteral("1"), QStringLiteral("--base"),
                      inParams},
          QStringList{QStringLiteral("base-copy"), QStringLiteral("--from"), withPassword, QStringLiteral("--to"),
                      QStringLiteral("x.K8W")}}) {
        const CliRun run = runCli(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_FALSE(run.err.isEmpty());
        EXPECT_FALSE(run.err.contains(secret)) << run.err.toStdString();
        EXPECT_FALSE(run.out.contains(secret));
    }
}

// Eight k8w-cli writers at once, twice over: on one card and on a card each.
// Every key they add is there afterwards.
TEST_F(CliSharedBase, EightWritersAtOnceLoseNoChange) {
    constexpr int kWriters = 8;
    constexpr int kRounds = 2;
    auto base = store();
    for (int w = 0; w < kWriters; ++w) ASSERT_TRUE(base->saveCard(10 + w, makeCard(1000 + w, "w"), 0).ok());
    ASSERT_TRUE(base->saveCard(0, makeCard(999, "shared"), 0).ok());
    for (const bool sameCard : {true, false}) {
        int made = 0;
        for (int round = 0; round < kRounds; ++round) {
            std::vector<std::unique_ptr<QProcess>> writers;
            for (int w = 0; w < kWriters; ++w) {
                auto process = std::make_unique<QProcess>();
                process->start(QStringLiteral(K8W_CLI_PATH),
                               {QStringLiteral("key-add"), QStringLiteral("--row"),
                                QString::number(sameCard ? 1 : 11 + w), QStringLiteral("--partition"),
                                QString::number(w % 3 + 1), QStringLiteral("--subscriber"),
                                QString::number(w + 1 + kWriters * round), QStringLiteral("--code"),
                                QStringLiteral("0000000000%1").arg(w * 10 + round + 10), QStringLiteral("--base"),
                                uri});
                writers.push_back(std::move(process));
            }
            for (auto& process : writers) {
                const CliRun run = finishCli(*process, 60000);
                EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
                made += run.exitCode == 0 ? 1 : 0;
            }
        }
        int kept = 0;
        auto table = CardTable::create();
        std::vector<CardRevision> revisions;
        ASSERT_TRUE(base->loadAll(*table, revisions).ok());
        for (int slot : sameCard ? std::vector<int>{0} : std::vector<int>{10, 11, 12, 13, 14, 15, 16, 17})
            for (const auto& group : table->cards[static_cast<std::size_t>(slot)].keys)
                for (const KeyEntry& key : group) kept += key.state == 1 ? 1 : 0;
        std::cout << "[eight writers] " << (sameCard ? "one card" : "a card each") << ": " << made
                  << " changes made, " << kept << " kept" << std::endl;
        EXPECT_EQ(made, kWriters * kRounds);
        EXPECT_EQ(kept, kWriters * kRounds);
    }
}

} // namespace
} // namespace k8w::test
