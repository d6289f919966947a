// k8w-cli status, set and watch as processes, against `k8w-cli sim` or a
// simulated device served by the test, through pseudo-terminals.
#include "cli/cli_process.h"
#include "served_device.h"
#include "support/sim_process.h"
#include "support/temp_workdir.h"
#include "support/watchdog.h"

#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

namespace k8w::test {
namespace {

using sim::FaultKind;
using sim::Phase;

// The status lines of `status` and `set`, from the values in order.
QString statusLines(const QStringList& values) {
    static const QStringList names{"loop1",  "loop2",  "loop3",  "loop4",     "loop5",   "power",   "case",     "sim",
                                   "relay1", "relay2", "buzzer", "guard-led", "ktc-led", "red-led", "green-led", "key"};
    QString out;
    for (qsizetype i = 0; i < values.size(); ++i) out += names[i] + QLatin1Char('\t') + values[i] + QLatin1Char('\n');
    return out;
}

class CliControl : public ::testing::Test {
protected:
    TempWorkdir dir;
};

TEST_F(CliControl, StatusPrintsTheInputsTheOutputsAndTheWaitingKey) {
    SimProcess sim({"--loops", "4700,59999,60000,0,65535", "--no-power", "--case-open", "--key", "015E2A337F400000"});
    ASSERT_FALSE(sim.path().isEmpty());
    const CliRun run = runCli({"status", "--port", sim.path()});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, statusLines({"4700", "59999", "60000", "0", "65535", "0", "0", "1", "0", "0", "0", "0", "0",
                                    "0", "0", "01 5E 2A 33 7F 40 00 00 "}));
    EXPECT_TRUE(run.err.isEmpty());

    // The key was taken: no key line any more.
    const CliRun again = runCli({"status", "--port", sim.path()});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_FALSE(again.out.contains(QStringLiteral("key")));
}

TEST_F(CliControl, SetSwitchesInOrderKeepsTheOtherOutputsAndPrintsTheStatus) {
    SimProcess sim;
    const CliRun first = runCli({"set", "relay1=on", "buzzer=on", "sim=2", "--port", sim.path()});
    EXPECT_EQ(first.exitCode, 0) << first.err.toStdString();
    EXPECT_EQ(first.out, statusLines({"4700", "4700", "4700", "4700", "4700", "1", "1", "2", "1", "0", "1", "0", "0",
                                      "0", "0"}));
    const CliRun second = runCli({"set", "--port", sim.path(), "relay1=off", "red-led=on", "green-led=on"});
    EXPECT_EQ(second.exitCode, 0) << second.err.toStdString();
    const QString expected =
        statusLines({"4700", "4700", "4700", "4700", "4700", "1", "1", "2", "0", "0", "1", "0", "0", "1", "1"});
    EXPECT_EQ(second.out, expected);
    EXPECT_EQ(runCli({"status", "--port", sim.path()}).out, expected);
}

TEST_F(CliControl, BadSettingsAreRefusedBeforeAnythingIsSent) {
    ServedDevice served;
    ASSERT_TRUE(served.ok());
    const QStringList refused[] = {{"relay3=on"}, {"relay1=yes"}, {"sim=3"}, {"relay1=on", "buzzer"}, {},
                                   {"relay1=on", "--wait", "0"}};
    for (const QStringList& settings : refused) {
        const CliRun run = runCli(QStringList{"set", "--port", served.path()} + settings);
        EXPECT_EQ(run.exitCode, 2) << settings.join(' ').toStdString();
        EXPECT_FALSE(run.err.isEmpty()) << settings.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
    EXPECT_TRUE(served.device().received().empty());
}

TEST_F(CliControl, FailuresPrintTheLinksTextAndExitOne) {
    struct Case {
        const char* what;
        std::vector<sim::Fault> faults;
        QStringList args;
        QString text;
    };
    const Case cases[] = {
        {"silent status", {{Phase::CtrlStatus, FaultKind::Silence}}, {"status"},
         QStringLiteral("Таймаут ожидания ответа, cmd = 12")},
        {"device error", {{Phase::CtrlStatus, FaultKind::Replace, -1, sim::controlReply(0xFF, {4})}}, {"status"},
         QStringLiteral("Ошибка: Нет такого кода команды")},
        {"silent set-outputs", {{Phase::CtrlOutputs, FaultKind::Silence}}, {"set", "ktc-led=on"},
         QStringLiteral("Таймаут ожидания ответа, cmd = 13")},
    };
    for (const Case& c : cases) {
        ServedDevice served;
        ASSERT_TRUE(served.ok());
        for (const sim::Fault& fault : c.faults) served.device().addFault(fault);
        const CliRun run = runCli(c.args + QStringList{"--port", served.path()});
        EXPECT_EQ(run.exitCode, 1) << c.what;
        EXPECT_EQ(run.err, c.text + QLatin1Char('\n')) << c.what;
        EXPECT_TRUE(run.out.isEmpty()) << c.what;
    }
    const CliRun noCable = runCli({"status", "--cable", "NO-SUCH-CABLE"});
    EXPECT_EQ(noCable.exitCode, 1);
    EXPECT_EQ(noCable.err, QStringLiteral("Кабель FTDI не найден.\n"));
    const CliRun noPort = runCli({"watch", "--port", "/nonexistent/tty", "--cable", "X"});
    EXPECT_EQ(noPort.exitCode, 2);
    const CliRun badPort = runCli({"status", "--port", "/nonexistent/tty"});
    EXPECT_EQ(badPort.exitCode, 1);
    EXPECT_EQ(badPort.err,
              QStringLiteral("Драйвер FTDI не отвечает. Проверьте наличие драйвера и перезапустите программу.\n"));
}

TEST_F(CliControl, ADeviceThatNeverAnswersTheGreetingIsGivenUpAfterTheWait) {
    ServedDevice served;
    ASSERT_TRUE(served.ok());
    served.device().addFault({Phase::CtrlHandshake, FaultKind::Silence});
    const CliRun run = runCli({"status", "--port", served.path(), "--wait", "1"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, QStringLiteral("the device did not answer within 1 s\n"));
}

// Reads a running k8w-cli's output line by line as it comes.
class LineReader {
public:
    explicit LineReader(QProcess& process) : process_(process) {}
    // The text of the next line (after the time of day and " > "), or empty
    // when none comes before the hang watchdog.
    QString next() {
        static const QRegularExpression logLine(QStringLiteral("^\\d{1,2}:\\d{2}:\\d{2}[^>]* > (.*)$"));
        while (!process_.canReadLine())
            if (!process_.waitForReadyRead(test::kHangMs)) return {};
        const QString line = QString::fromUtf8(process_.readLine()).chopped(1);
        const auto match = logLine.match(line);
        EXPECT_TRUE(match.hasMatch()) << line.toStdString();
        return match.captured(1);
    }
    // Skips lines until `wanted` comes; false when it never does.
    bool until(const QString& wanted) {
        for (QString line = next(); !line.isNull(); line = next())
            if (line == wanted) return true;
        return false;
    }

private:
    QProcess& process_;
};

TEST_F(CliControl, WatchPrintsTheLogAndEveryChangeAsItHappensUntilCtrlC) {
    ServedDevice served;
    ASSERT_TRUE(served.ok());
    served.device().setInputs({{4700, 59999, 60000, 0, 65535}, true, true});
    QProcess watch;
    watch.start(QStringLiteral(K8W_CLI_PATH), {"watch", "--port", served.path()});
    ASSERT_TRUE(watch.waitForStarted(test::kHangMs));
    LineReader lines(watch);
    QStringList first;
    for (int i = 0; i < 15; ++i) first << lines.next();
    EXPECT_EQ(first.join('\n') + '\n', statusLines({"4700", "59999", "60000", "0", "65535", "1", "1", "1", "0", "0",
                                                    "0", "0", "0", "0", "0"}));

    // Each line is on the pipe as it happens, so a change shows up alone.
    served.device().setLoop(2, 5000);
    EXPECT_EQ(lines.next(), QStringLiteral("loop2\t5000"));
    served.device().setInputs({{4700, 5000, 60000, 0, 65535}, false, true});
    EXPECT_EQ(lines.next(), QStringLiteral("power\t0"));
    served.device().presentKey({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x7F});
    EXPECT_EQ(lines.next(), QStringLiteral("Получен код ключа IButton"));
    EXPECT_EQ(lines.next(), QStringLiteral("key\t01 02 03 04 05 06 07 7F "));

    served.device().addFault({Phase::CtrlStatus, FaultKind::Silence, -1, {}, 0, 3});
    EXPECT_TRUE(lines.until(QStringLiteral("Таймаут ожидания ответа, cmd = 12")));

    ::kill(static_cast<pid_t>(watch.processId()), SIGINT);
    const CliRun run = finishCli(watch, 5000);
    EXPECT_EQ(run.exitCode, 130);
}

TEST_F(CliControl, CtrlCStopsAStatusThatWaitsForTheGreeting) {
    ServedDevice served;
    ASSERT_TRUE(served.ok());
    served.device().addFault({Phase::CtrlHandshake, FaultKind::Silence});
    QProcess status;
    status.start(QStringLiteral(K8W_CLI_PATH), {"status", "--port", served.path()});
    ASSERT_TRUE(status.waitForStarted(5000));
    for (int i = 0; i < 500 && served.device().received().empty(); ++i) status.waitForFinished(10);
    ASSERT_FALSE(served.device().received().empty());
    ::kill(static_cast<pid_t>(status.processId()), SIGINT);
    const CliRun run = finishCli(status, 5000);
    EXPECT_EQ(run.exitCode, 130);
    EXPECT_TRUE(run.out.isEmpty());
}

} // namespace
} // namespace k8w::test
