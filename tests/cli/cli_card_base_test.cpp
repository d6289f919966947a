// k8w-cli as a writer beside other writers: other commands, the window
// program, full or read-only folders, and paths that are not files.
#include "cli_process.h"

#include "store/card_base.h"
#include "store/card_file.h"
#include "cards/card_table.h"
#include "common/cp1251.h"
#include "sim/pty_device_server.h"
#include "sim/sim_device.h"
#include "support/sim_process.h"
#include "support/temp_workdir.h"
#include "support/watchdog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <sys/stat.h>
#include <thread>

namespace k8w::test {
namespace {

QStringList programArgs(int row, const QString& port, const QString& db = kCardFileName) {
    return {QStringLiteral("program"), QStringLiteral("--row"), QString::number(row), QStringLiteral("--db"), db,
            QStringLiteral("--port"), port};
}

class CliCardBase : public ::testing::Test {
protected:
    TempWorkdir dir;
    std::unique_ptr<CardTable> table = CardTable::create();

    void SetUp() override {
        for (int slot : {0, 1}) {
            Card& card = table->cards[slot];
            card.codeUoo = static_cast<std::uint32_t>(500 + slot);
            card.changeDate = 46000.5;
            card.progId = static_cast<std::uint16_t>(0x1110 + slot);
        }
        ASSERT_TRUE(SaveCardTable(*table, kCardFileName));
    }
    std::unique_ptr<CardTable> saved() {
        auto loaded = CardTable::create();
        EXPECT_TRUE(LoadCardTable(*loaded, kCardFileName));
        return loaded;
    }
    bool nothingSent() const {
        return !QFile::exists(QStringLiteral("ProgLog.log")) && !QFile::exists(QStringLiteral("device.img"));
    }
};

TEST_F(CliCardBase, TwoOverlappingProgramRunsBothKeepTheirResults) {
    SimProcess first({QStringLiteral("--image"), QStringLiteral("one.img")});
    SimProcess second({QStringLiteral("--image"), QStringLiteral("two.img")});
    ASSERT_FALSE(first.path().isEmpty());
    ASSERT_FALSE(second.path().isEmpty());
    QProcess a;
    QProcess b;
    a.start(QStringLiteral(K8W_CLI_PATH), programArgs(1, first.path()));
    b.start(QStringLiteral(K8W_CLI_PATH), programArgs(2, second.path()));
    const CliRun runA = finishCli(a);
    const CliRun runB = finishCli(b);
    ASSERT_EQ(runA.exitCode, 0) << runA.err.toStdString();
    ASSERT_EQ(runB.exitCode, 0) << runB.err.toStdString();

    const auto after = saved();
    EXPECT_EQ(+after->cards[0].progId, runA.out.trimmed().toUInt(nullptr, 16));
    EXPECT_EQ(+after->cards[0].prevProgId, 0x1110);
    EXPECT_EQ(+after->cards[1].progId, runB.out.trimmed().toUInt(nullptr, 16));
    EXPECT_EQ(+after->cards[1].prevProgId, 0x1111);
}

TEST_F(CliCardBase, WriterIsRefusedWhileTheWindowProgramRunsAndGoesAheadAfterItsCrash) {
    SimProcess sim({QStringLiteral("--image"), QStringLiteral("device.img")});
    QProcess window;
    const QString lockFile = kCardFileName + QStringLiteral(".lock");
    ASSERT_TRUE(startWindowProgram(window, lockFile));
    const QByteArray before = fileBytes(kCardFileName);

    const CliRun refused = runCli(programArgs(1, sim.path()));
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("k8w-prog"))) << refused.err.toStdString();
    EXPECT_TRUE(nothingSent());
    EXPECT_EQ(fileBytes(kCardFileName), before);

    window.kill();  // a crash leaves its lock file behind
    window.waitForFinished();
    ASSERT_TRUE(QFile::exists(lockFile));
    const CliRun after = runCli(programArgs(1, sim.path()));
    EXPECT_EQ(after.exitCode, 0) << after.err.toStdString();
    EXPECT_EQ(fileBytes(QStringLiteral("device.img")).size(), 585);
}

TEST_F(CliCardBase, ResultThatCannotBeRecordedIsReportedWithExitFour) {
    // The card is deleted while the device is being written.
    sim::SimDevice device;
    device.setImageStoredListener([](const std::vector<std::uint8_t>&) {
        UpdateCardFile(kCardFileName, [](CardTable& fresh) {
            fresh.cards[0] = Card{};
            return QString();
        });
    });
    sim::PtyDeviceServer server(device);
    ASSERT_TRUE(server.open());
    std::atomic<bool> stop{false};
    std::thread serving([&] { server.serve(stop); });
    const CliRun run = runCli(programArgs(1, QString::fromStdString(server.slavePath())));
    stop = true;
    serving.join();
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_EQ(run.out.trimmed().size(), 4);  // the checksum of what the device holds
    EXPECT_TRUE(run.err.contains(QStringLiteral("not recorded"))) << run.err.toStdString();
    EXPECT_EQ(device.imagesStored(), 1);
}

// A folder of its own (a small file system, made read-only on demand) in a
// user and mount namespace; skipped where the system allows none.
bool namespacesAvailable() {
    return QProcess::execute(QStringLiteral("unshare"),
                             {QStringLiteral("--user"), QStringLiteral("--map-root-user"), QStringLiteral("--mount"),
                              QStringLiteral("true")}) == 0;
}

CliRun programOnOwnFileSystem(const QString& size, bool readOnly, const QString& port) {
    const QString script = QStringLiteral(
        "mount -t tmpfs -o size=$1 tmpfs mnt && cp ProgInfo_10.K8W mnt/ && "
        "if [ $2 = ro ]; then mount -o remount,ro mnt; fi && "
        "exec \"$3\" program --row 1 --db mnt/ProgInfo_10.K8W --port \"$4\"");
    QDir().mkdir(QStringLiteral("mnt"));
    QProcess process;
    process.start(QStringLiteral("unshare"),
                  {QStringLiteral("--user"), QStringLiteral("--map-root-user"), QStringLiteral("--mount"),
                   QStringLiteral("sh"), QStringLiteral("-c"), script, QStringLiteral("sh"), size,
                   readOnly ? QStringLiteral("ro") : QStringLiteral("rw"), QStringLiteral(K8W_CLI_PATH), port});
    return finishCli(process);
}

TEST_F(CliCardBase, FullOrReadOnlyFolderIsRefusedBeforeTheDevice) {
    if (!namespacesAvailable()) GTEST_SKIP() << "no user and mount namespaces here";
    SimProcess sim({QStringLiteral("--image"), QStringLiteral("device.img")});
    const CliRun full = programOnOwnFileSystem(QStringLiteral("13m"), false, sim.path());
    EXPECT_EQ(full.exitCode, 2) << full.err.toStdString();
    EXPECT_TRUE(full.err.contains(QStringLiteral("no room"))) << full.err.toStdString();
    const CliRun readOnly = programOnOwnFileSystem(QStringLiteral("30m"), true, sim.path());
    EXPECT_EQ(readOnly.exitCode, 2) << readOnly.err.toStdString();
    EXPECT_TRUE(readOnly.err.contains(QStringLiteral("nothing was sent"))) << readOnly.err.toStdString();
    EXPECT_TRUE(nothingSent());

    const CliRun roomy = programOnOwnFileSystem(QStringLiteral("30m"), false, sim.path());
    EXPECT_EQ(roomy.exitCode, 0) << roomy.err.toStdString();  // the same run where it fits
}

TEST_F(CliCardBase, PipeAsTheDatabaseIsRefusedAtOnceByEveryCommand) {
    ASSERT_EQ(::mkfifo("pipe.K8W", 0600), 0);
    const QString db = QStringLiteral("pipe.K8W");
    for (const QStringList& args :
         {QStringList{QStringLiteral("cards"), QStringLiteral("--db"), db},
          QStringList{QStringLiteral("image"), QStringLiteral("--row"), QStringLiteral("1"), QStringLiteral("--db"), db},
          programArgs(1, QStringLiteral("/nonexistent"), db)}) {
        // A command that opened the pipe for reading would wait for a writer
        // forever: the watchdog ends it and its exit status shows it.
        const CliRun run = runCli(args, test::kHangMs);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("not a regular file"))) << run.err.toStdString();
    }
}

TEST_F(CliCardBase, CardsKeepsOneLineOfSixFieldsWhateverTheTextsHold) {
    setFieldText(table->cards[0].cardNumber, QStringLiteral("a\tb"));
    setFieldText(table->cards[0].objectName, QStringLiteral("Дом\r\n1\\2\x01\x7f"));
    ASSERT_TRUE(SaveCardTable(*table, kCardFileName));
    const CliRun run = runCli({QStringLiteral("cards")});
    ASSERT_EQ(run.exitCode, 0);
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    const QStringList fields = lines[0].split(QLatin1Char('\t'));
    ASSERT_EQ(fields.size(), 6);
    EXPECT_EQ(fields[2], QStringLiteral("a\\tb"));
    EXPECT_EQ(fields[3], QStringLiteral("Дом\\r\\n1\\\\2\\x01\\x7f"));
}

} // namespace
} // namespace k8w::test
