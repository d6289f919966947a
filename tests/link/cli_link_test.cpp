#include "cli/cli_process.h"
#include "link/cli_card_fixture.h"

#include "store/card_file.h"
#include "cards/card_table.h"
#include "cards/config_image.h"
#include "common/cp1251.h"
#include "common/day_date.h"
#include "sim/pty_device_server.h"
#include "sim/sim_device.h"
#include "support/sim_process.h"
#include "support/temp_workdir.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <csignal>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace k8w::test {
namespace {

const QString kEmptyCard =
    QStringLiteral("Текущая запись НЕ СОДЕРЖИТ ДАННЫХ!\nВыберите запись с данными или создайте новую");

// A terminal with nobody behind it: the handshake never gets an answer.
class DeadLine {
public:
    DeadLine() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0)
            path_ = QString::fromLocal8Bit(::ptsname(master_));
    }
    ~DeadLine() {
        if (master_ >= 0) ::close(master_);
    }
    const QString& path() const { return path_; }

private:
    int master_ = -1;
    QString path_;
};

class CliLink : public CliCardTest {
protected:
    // Sends SIGINT once the exchange has begun (the log shows a handshake).
    CliRun interrupted(const QStringList& args) {
        QProcess process;
        process.start(QStringLiteral(K8W_CLI_PATH), args);
        EXPECT_TRUE(process.waitForStarted(5000));
        for (int i = 0; i < 500 && !fileBytes(QStringLiteral("ProgLog.log")).contains("PROG_K8W"); ++i)
            process.waitForFinished(10);
        ::kill(static_cast<pid_t>(process.processId()), SIGINT);
        return finishCli(process, 5000);
    }
};

TEST_F(CliLink, ProgramThenReadBackThroughTheSimulatedDevice) {
    SimProcess sim({QStringLiteral("--version"), QStringLiteral("2.1.7"), QStringLiteral("--image"),
                    QStringLiteral("device.img")});
    ASSERT_FALSE(sim.path().isEmpty());
    const double before = dayDateNow();
    const auto programmed = runCli({QStringLiteral("program"), QStringLiteral("--row"), QStringLiteral("1"),
                                    QStringLiteral("--port"), sim.path()});
    ASSERT_EQ(programmed.exitCode, 0) << programmed.err.toStdString();
    const QString checksum = programmed.out.trimmed();
    ASSERT_EQ(checksum.size(), 4);
    EXPECT_EQ(checksum, checksum.toUpper());

    const Card card = savedCard();
    EXPECT_EQ(+card.progId, checksum.toUInt(nullptr, 16));
    EXPECT_EQ(+card.prevProgId, 0x1111);
    EXPECT_GE(+card.progDate, before - 1e-6);
    EXPECT_LE(+card.progDate, dayDateNow() + 1e-6);

    const QByteArray stored = fileBytes(QStringLiteral("device.img"));
    ASSERT_EQ(stored.size(), 585);
    EXPECT_EQ(ImageCrc16(reinterpret_cast<const std::uint8_t*>(stored.constData()), 585), 0);
    EXPECT_EQ(stored.left(2), QByteArray("12"));

    const auto read = runCli({QStringLiteral("read"), QStringLiteral("--port"), sim.path(), QStringLiteral("--out"),
                              QStringLiteral("back.img")});
    ASSERT_EQ(read.exitCode, 0) << read.err.toStdString();
    EXPECT_EQ(read.out, QStringLiteral("2.1.7\n") + checksum + QStringLiteral("\n"));
    EXPECT_EQ(fileBytes(QStringLiteral("back.img")), stored);

    // A second write moves the first result to the previous one.
    const auto again = runCli({QStringLiteral("program"), QStringLiteral("--row"), QStringLiteral("1"),
                               QStringLiteral("--port"), sim.path()});
    ASSERT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_EQ(+savedCard().prevProgId, checksum.toUInt(nullptr, 16));
    EXPECT_EQ(+savedCard().progId, again.out.trimmed().toUInt(nullptr, 16));
}

TEST_F(CliLink, ProgramWorksWithAReadyNextDevice) {
    SimProcess sim({QStringLiteral("--ready-next"), QStringLiteral("--image"), QStringLiteral("device.img")});
    const auto run = runCli({QStringLiteral("program"), QStringLiteral("--row"), QStringLiteral("1"),
                             QStringLiteral("--port"), sim.path()});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(fileBytes(QStringLiteral("device.img")).size(), 585);
}

TEST_F(CliLink, AFreeRowIsRefusedWithTheWarningAndNothingHappens) {
    const QByteArray before = fileBytes(kCardFileName);
    const auto run = runCli({QStringLiteral("program"), QStringLiteral("--row"), QStringLiteral("2"),
                             QStringLiteral("--port"), QStringLiteral("/nonexistent")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, kEmptyCard + QStringLiteral("\n"));
    EXPECT_EQ(fileBytes(kCardFileName), before);
    EXPECT_FALSE(QFile::exists(QStringLiteral("ProgLog.log")));
}

TEST_F(CliLink, APortThatCannotBeOpenedIsADriverFailure) {
    const QByteArray before = fileBytes(kCardFileName);
    const auto run = runCli({QStringLiteral("program"), QStringLiteral("--row"), QStringLiteral("1"),
                             QStringLiteral("--port"), QStringLiteral("/nonexistent")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, QStringLiteral("Программирование НЕ проведено!\n\nПричина:\nДрайвер FTDI не отвечает.\n"
                                      "Проверьте наличие драйвера и перезапустите программу.\n"));
    EXPECT_EQ(fileBytes(kCardFileName), before);
}

TEST_F(CliLink, ADeviceThatRefusesIsReportedAndTheCardIsUnchanged) {
    sim::SimDevice device;
    device.addFault({sim::Phase::WriteRequest, sim::FaultKind::Error});
    device.addFault({sim::Phase::ReadRequest, sim::FaultKind::Error});
    sim::PtyDeviceServer server(device);
    ASSERT_TRUE(server.open());
    std::atomic<bool> stop{false};
    std::thread serving([&] { server.serve(stop); });
    const QByteArray before = fileBytes(kCardFileName);
    const QString path = QString::fromStdString(server.slavePath());
    const auto program = runCli({QStringLiteral("program"), QStringLiteral("--row"), QStringLiteral("1"),
                                 QStringLiteral("--port"), path});
    const auto read = runCli({QStringLiteral("read"), QStringLiteral("--port"), path});
    stop = true;
    serving.join();
    EXPECT_EQ(program.exitCode, 1);
    EXPECT_EQ(program.err,
              QStringLiteral("Программирование НЕ проведено!\n\nПричина:\nУОО вернул ошибку при программировании\n"));
    EXPECT_EQ(fileBytes(kCardFileName), before);
    EXPECT_EQ(read.exitCode, 1);
    EXPECT_EQ(read.err, QStringLiteral("СЧИТЫВАНИЕ НЕ ПРОИЗВЕДЕНО\n\nПричина:\nУОО вернул ошибку при считывании\n"));
}

TEST_F(CliLink, ReadRefusesAnImageWithABadChecksumOrLength) {
    for (int size : {585, 584}) {
        QByteArray image(size, '\x5A');
        {
            QFile file(QStringLiteral("device.img"));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(image);
        }
        SimProcess sim({QStringLiteral("--image"), QStringLiteral("device.img")});
        const auto run = runCli({QStringLiteral("read"), QStringLiteral("--port"), sim.path(), QStringLiteral("--out"),
                                 QStringLiteral("back.img")});
        EXPECT_EQ(run.exitCode, 1) << size;
        EXPECT_EQ(run.err, QStringLiteral("СЧИТЫВАНИЕ НЕ ПРОИЗВЕДЕНО\n\nПричина:\nПолучены неверные данные от УОО.\n"));
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_FALSE(QFile::exists(QStringLiteral("back.img")));
    }
}

TEST_F(CliLink, InterruptStopsAWriteAsTheStopButtonDoes) {
    DeadLine line;
    ASSERT_FALSE(line.path().isEmpty());
    const QByteArray before = fileBytes(kCardFileName);
    const auto run = interrupted({QStringLiteral("program"), QStringLiteral("--row"), QStringLiteral("1"),
                                  QStringLiteral("--port"), line.path()});
    EXPECT_EQ(run.exitCode, 130);
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("Программирование ОСТАНОВЛЕНО!"))) << run.err.toStdString();
    EXPECT_EQ(fileBytes(kCardFileName), before);
}

TEST_F(CliLink, InterruptStopsARead) {
    DeadLine line;
    const auto run = interrupted({QStringLiteral("read"), QStringLiteral("--port"), line.path()});
    EXPECT_EQ(run.exitCode, 130);
    EXPECT_EQ(run.err, QStringLiteral("Считывание ОСТАНОВЛЕНО!\n"));
}

TEST_F(CliLink, PortAndCableTogetherAreRefused) {
    const auto run = runCli({QStringLiteral("read"), QStringLiteral("--port"), QStringLiteral("/x"),
                             QStringLiteral("--cable"), QStringLiteral("FT1")});
    EXPECT_EQ(run.exitCode, 2);
}

// The terminal goes away while the handshake waits for a silent device: the
// exchange fails on the cable, with the worker's text for that case.
TEST_F(CliLink, ACableLostDuringTheExchangeIsReportedAsAnFtdiError) {
    const QByteArray before = fileBytes(kCardFileName);
    for (const QString& command : {QStringLiteral("program"), QStringLiteral("read")}) {
        QFile::remove(QStringLiteral("ProgLog.log"));
        sim::SimDevice device;
        device.addFault({sim::Phase::Handshake, sim::FaultKind::Silence});
        auto server = std::make_unique<sim::PtyDeviceServer>(device);
        ASSERT_TRUE(server->open());
        std::atomic<bool> stop{false};
        std::thread serving([&] { server->serve(stop); });
        QStringList args{command, QStringLiteral("--port"), QString::fromStdString(server->slavePath())};
        if (command == QStringLiteral("program")) args << QStringLiteral("--row") << QStringLiteral("1");
        QProcess process;
        process.start(QStringLiteral(K8W_CLI_PATH), args);
        ASSERT_TRUE(process.waitForStarted(5000));
        for (int i = 0; i < 500 && !fileBytes(QStringLiteral("ProgLog.log")).contains("PROG_K8W"); ++i)
            process.waitForFinished(10);
        stop = true;
        serving.join();
        server.reset();
        ASSERT_TRUE(process.waitForFinished(5000)) << command.toStdString();
        EXPECT_EQ(process.exitCode(), 1) << command.toStdString();
        const QString err = QString::fromUtf8(process.readAllStandardError());
        const QString box = command == QStringLiteral("program")
                                ? QStringLiteral("Программирование НЕ проведено!\n\nПричина:\n")
                                : QStringLiteral("СЧИТЫВАНИЕ НЕ ПРОИЗВЕДЕНО\n\nПричина:\n");
        EXPECT_TRUE(err.endsWith(box + QStringLiteral("Ошибка при обращении к устройству FTDI.\n")))
            << err.toStdString();
    }
    EXPECT_EQ(fileBytes(kCardFileName), before);
}

} // namespace
} // namespace k8w::test
