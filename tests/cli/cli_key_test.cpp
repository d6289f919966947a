// k8w-cli keys, key-add, key-read and key-del as processes, on databases made
// here; key-read against a real owserver with simulated devices.
#include "cli_process.h"

#include "store/card_file.h"
#include "cards/card_table.h"
#include "common/day_date.h"
#include "keys/key_code.h"
#include "keys/key_texts.h"
#include "keys/owfs_one_wire_port.h"
#include "support/owserver_process.h"
#include "support/temp_workdir.h"

#include <owcapi.h>

#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>

namespace k8w {
namespace {

using test::CliRun;
using test::runCli;

using test::fileBytes;

constexpr int kCard = 6;  // row 7

class CliKeys : public ::testing::Test {
protected:
    test::TempWorkdir dir;
    std::unique_ptr<CardTable> table = CardTable::create();
    const double entered = toDayDate(QDateTime(QDate(2026, 2, 3), QTime(10, 20, 30)));

    void SetUp() override {
        Card& c = table->cards[kCard];
        c.changeDate = 46000.5;
        c.modeFlags = kModePartSupport;
        key(1, 1) = {1, 1, {0x5F, 0x4E, 0x3D, 0x2C, 0x1B, 0x0A}, entered};
        key(1, 0) = {1, 7, {1, 0, 0, 0, 0, 0}, 0.0};
        key(3, 5) = {1, 32, {0xFF, 0x80, 0, 0, 0, 0x7F}, entered};
        key(2, 2) = {3, 4, {9, 9, 9, 9, 9, 9}, entered};  // state 3: free
        c.keys[3][0] = {1, 9, {1, 2, 3, 4, 5, 6}, entered};  // the fourth group is no partition's
        table->cards[kCard + 1].changeDate = 46000.5;
        for (int s = 0; s < 6; ++s) table->cards[kCard + 1].keys[1][s] = {1, static_cast<std::uint8_t>(s + 1), {}, 0.0};
        ASSERT_TRUE(SaveCardTable(*table, kCardFileName));
    }
    KeyEntry& key(int partition, int slot) { return table->cards[kCard].keys[partition - 1][slot]; }
    static QStringList args(std::initializer_list<const char*> items) {
        QStringList list;
        for (const char* item : items) list << QString::fromUtf8(item);
        return list;
    }
    std::unique_ptr<CardTable> readBack() {
        auto t = CardTable::create();
        EXPECT_TRUE(LoadCardFile(kCardFileName, t->cards.data(), kCardCapacity, t->cardTemplate));
        return t;
    }
    // The file is byte for byte the one written in SetUp but for the slot given.
    void expectOnlySlotChanged(const QByteArray& before, int partition, int slot) {
        const QByteArray after = fileBytes(kCardFileName);
        ASSERT_EQ(after.size(), before.size());
        const qsizetype at = kCard * static_cast<qsizetype>(kCardSize) + kKeyBlockOffset + 96 * (partition - 1) + 16 * slot;
        EXPECT_EQ(after.left(at), before.left(at));
        EXPECT_EQ(after.mid(at + 16), before.mid(at + 16));
        EXPECT_NE(after.mid(at, 16), before.mid(at, 16));
    }
};

TEST_F(CliKeys, KeysListsTheInstalledSlotsOfPartitionsOneToThree) {
    const CliRun run = runCli(args({"keys", "--row", "7"}));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("1\t1\t7\t000000000001\t\n"
                                      "1\t2\t1\t0a1b2c3d4e5f\t2026-02-03 10:20:30\n"
                                      "3\t6\t32\t7f00000080ff\t2026-02-03 10:20:30\n"));
    EXPECT_EQ(runCli(args({"keys", "--row", "1"})).exitCode, 2) << "a free row";
    EXPECT_EQ(runCli(args({"keys", "--row", "9001"})).exitCode, 2);
}

TEST_F(CliKeys, KeyAddFillsTheFirstFreeSlotAndNothingElse) {
    const QByteArray before = fileBytes(kCardFileName);
    const double start = dayDateNow();
    const CliRun run = runCli(args({"key-add", "--row", "7", "--partition", "1", "--subscriber", "2", "--code", "FFee0102037F"}));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    expectOnlySlotChanged(before, 1, 2);
    const KeyEntry stored = readBack()->cards[kCard].keys[0][2];
    EXPECT_EQ(stored.state, 1);
    EXPECT_EQ(stored.subscriber, 2);
    const std::uint8_t code[6] = {0x7F, 0x03, 0x02, 0x01, 0xEE, 0xFF};
    EXPECT_EQ(std::memcmp(stored.keyCode, code, 6), 0);
    EXPECT_GE(+stored.entryDate, start - 1e-6);
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("1\t3\t2\tffee0102037f\t"))) << run.out.toStdString();
}

TEST_F(CliKeys, KeyAddIntoAGivenSlotReplacesItsKey) {
    const QByteArray before = fileBytes(kCardFileName);
    const CliRun run = runCli(args({"key-add", "--row", "7", "--partition", "3", "--subscriber", "5", "--slot", "6", "--code", "000000000002"}));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    expectOnlySlotChanged(before, 3, 5);
    EXPECT_EQ(readBack()->cards[kCard].keys[2][5].subscriber, 5);
}

TEST_F(CliKeys, KeyAddRefusesAndWritesNothing) {
    const QByteArray before = fileBytes(kCardFileName);
    struct Case {
        std::initializer_list<const char*> args;
        const char* says;
    };
    const Case cases[] = {
        {{"--row", "1", "--partition", "1", "--subscriber", "2"}, "row holds no card"},
        {{"--row", "9001", "--partition", "1", "--subscriber", "2"}, "row must be"},
        {{"--row", "7", "--partition", "0", "--subscriber", "2"}, "--partition"},
        {{"--row", "7", "--partition", "4", "--subscriber", "2"}, "--partition"},
        {{"--row", "7", "--partition", "1", "--subscriber", "0"}, "--subscriber"},
        {{"--row", "7", "--partition", "1", "--subscriber", "33"}, "--subscriber"},
        {{"--row", "7", "--partition", "1", "--subscriber", "7", "--slot", "5"}, "subscriber 7 already has a key"},
        {{"--row", "7", "--partition", "1", "--subscriber", "2", "--slot", "7"}, "--slot"},
        {{"--row", "8", "--partition", "2", "--subscriber", "9"}, "no free key slot"},
    };
    for (const Case& c : cases) {
        QStringList command = args({"key-add", "--code", "000000000001"}) + args(c.args);
        const CliRun run = runCli(command);
        EXPECT_EQ(run.exitCode, 2) << command.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.says))) << command.join(' ').toStdString() << ": "
                                                                 << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
    for (const char* code : {"00000000001", "0000000000001", "00000000000g", "00 000000001", "+00000000001"}) {
        const CliRun run = runCli(args({"key-add", "--row", "7", "--partition", "1", "--subscriber", "2", "--code", code}));
        EXPECT_EQ(run.exitCode, 2) << code;
        EXPECT_EQ(run.err.trimmed(), keys::kBadKeyCodeText) << code;
    }
    EXPECT_EQ(fileBytes(kCardFileName), before);
}

TEST_F(CliKeys, KeyDelEmptiesAnInstalledSlotOnly) {
    const QByteArray before = fileBytes(kCardFileName);
    const CliRun freeSlot = runCli(args({"key-del", "--row", "7", "--partition", "2", "--slot", "3"}));
    EXPECT_EQ(freeSlot.exitCode, 2) << "state 3 is no key";
    EXPECT_FALSE(freeSlot.err.isEmpty());
    EXPECT_EQ(fileBytes(kCardFileName), before);

    const CliRun run = runCli(args({"key-del", "--row", "7", "--partition", "1", "--slot", "2"}));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    expectOnlySlotChanged(before, 1, 1);
    const QByteArray after = fileBytes(kCardFileName);
    EXPECT_EQ(after.mid(kCard * static_cast<qsizetype>(kCardSize) + kKeyBlockOffset + 16, 16), QByteArray(16, '\0'));
}

TEST_F(CliKeys, TheWindowProgramsDatabaseIsRefusedAtOnce) {
    const QByteArray before = fileBytes(kCardFileName);
    // The window program keeps its database locked for its whole run.
    QProcess window;
    ASSERT_TRUE(test::startWindowProgram(window, kCardFileName + QStringLiteral(".lock")));
    for (const QStringList& command :
         {args({"key-add", "--row", "7", "--partition", "1", "--subscriber", "2", "--code", "000000000001"}),
          args({"key-del", "--row", "7", "--partition", "1", "--slot", "1"})}) {
        const CliRun run = runCli(command, 5000);  // far less than the wait for another command
        EXPECT_EQ(run.exitCode, 2) << command.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("k8w-prog"))) << run.err.toStdString();
    }
    EXPECT_EQ(fileBytes(kCardFileName), before);
    window.kill();
    window.waitForFinished();
}

class CliKeyRead : public CliKeys {
protected:
    void startReader(const QStringList& adapters) {
        if (!test::OwserverProcess::installed()) GTEST_SKIP() << "owserver is not installed: run tools/install-deps";
        ASSERT_TRUE(server.start(adapters));
    }
    QString owserver() const { return QString::fromStdString(server.address()); }
    test::OwserverProcess server;
};

TEST_F(CliKeyRead, StoresTheCodeOfTheKeyOnTheNamedServer) {
    // Fixed addresses and random ones: the simulated bus of a server named
    // with --owserver is a reader.
    struct Case {
        const char* adapter;
        int partition;
        int subscriber;
    };
    for (const Case& c : {Case{"--tester=10,01", 2, 12}, Case{"--fake=01", 3, 13}}) {
        startReader({QString::fromLatin1(c.adapter)});
        // The key as OWFS itself lists it.
        ASSERT_GE(OW_init(("-s " + server.address()).c_str()), 0);
        char* listing = nullptr;
        size_t length = 0;
        ASSERT_GE(OW_get("/", &listing, &length), 0);
        const QString text = QString::fromLatin1(listing, static_cast<qsizetype>(length));
        std::free(listing);
        OW_finish();
        const qsizetype at = text.indexOf(QStringLiteral("01."));
        ASSERT_GE(at, 0) << text.toStdString();
        std::uint8_t identity[8] = {};
        ASSERT_TRUE(keys::IdentityFromOwfsName(text.mid(at, 15).toStdString(), identity));
        const keys::KeyCode expected = keys::KeyCodeFromIdentity(identity);

        const QByteArray before = fileBytes(kCardFileName);
        const CliRun run = runCli(QStringList{QStringLiteral("key-read"), QStringLiteral("--row"),
                                              QStringLiteral("7"), QStringLiteral("--partition"),
                                              QString::number(c.partition), QStringLiteral("--subscriber"),
                                              QString::number(c.subscriber), QStringLiteral("--owserver"), owserver()});
        ASSERT_EQ(run.exitCode, 0) << c.adapter << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("4/4")));
        EXPECT_TRUE(run.err.contains(keys::kKeyReadText));
        expectOnlySlotChanged(before, c.partition, 0);
        const KeyEntry stored = readBack()->cards[kCard].keys[c.partition - 1][0];
        EXPECT_EQ(stored.state, 1);
        EXPECT_EQ(stored.subscriber, c.subscriber);
        EXPECT_EQ(std::memcmp(stored.keyCode, expected.data(), 6), 0) << c.adapter;
        server.stop();
    }
}

TEST_F(CliKeyRead, DiscoveryPassesOverAServerWithOnlySimulatedBuses) {
    // As Debian's default /etc/owfs.conf has it; K8W_OWSERVER points discovery
    // at this server instead of localhost:4304. With no USB adapter on this
    // machine either, there is no reader.
    startReader({QStringLiteral("--fake=10,05")});
    const QByteArray before = fileBytes(kCardFileName);
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(keys::kOwserverVariable), owserver());
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(K8W_CLI_PATH),
                  QStringList{QStringLiteral("key-read"), QStringLiteral("--row"), QStringLiteral("7"),
                              QStringLiteral("--partition"), QStringLiteral("1"), QStringLiteral("--subscriber"),
                              QStringLiteral("3")});
    const CliRun run = test::finishCli(process);
    EXPECT_EQ(run.exitCode, 1) << "-1: it waited for a key on the simulated bus";
    EXPECT_TRUE(run.err.contains(keys::kReaderFailureText)) << run.err.toStdString();
    EXPECT_EQ(fileBytes(kCardFileName), before);
}

TEST_F(CliKeyRead, CtrlCStopsWithoutAChange) {
    startReader({QStringLiteral("--tester=10")});  // no key ever comes
    const QByteArray before = fileBytes(kCardFileName);
    QProcess process;
    process.start(QStringLiteral(K8W_CLI_PATH),
                  QStringList{QStringLiteral("key-read"), QStringLiteral("--row"), QStringLiteral("7"),
                              QStringLiteral("--partition"), QStringLiteral("1"), QStringLiteral("--subscriber"),
                              QStringLiteral("3"), QStringLiteral("--owserver"), owserver()});
    ASSERT_TRUE(process.waitForStarted(5000));
    process.setReadChannel(QProcess::StandardError);
    QByteArray err;
    while (!err.contains(keys::kTouchKeyText.toUtf8()) && process.waitForReadyRead(5000))
        err += process.readAllStandardError();
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    const CliRun run = test::finishCli(process, 10000);
    EXPECT_EQ(run.exitCode, 130);
    EXPECT_EQ(fileBytes(kCardFileName), before);
}

TEST_F(CliKeyRead, NoReaderIsTheReaderFailure) {
    const QByteArray before = fileBytes(kCardFileName);
    const QString nobody = QStringLiteral("127.0.0.1:%1").arg(test::freeLocalPort());
    const CliRun run = runCli(QStringList{QStringLiteral("key-read"), QStringLiteral("--row"), QStringLiteral("7"),
                                          QStringLiteral("--partition"), QStringLiteral("1"),
                                          QStringLiteral("--subscriber"), QStringLiteral("3"),
                                          QStringLiteral("--owserver"), nobody});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(keys::kReaderFailureText)) << run.err.toStdString();
    EXPECT_EQ(fileBytes(kCardFileName), before);
}

} // namespace
} // namespace k8w
