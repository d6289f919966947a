// The control link through a real pseudo-terminal with the serial port
// backend, in real time: the whole road, the backend's wait for bytes, and
// destruction in every place the link can wait.
#include "control/ftdi_vexlar_ctrl.h"
#include "link/qt_serial_driver.h"
#include "served_device.h"
#include "sim/sim_ftdi_driver.h"
#include "support/watchdog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <thread>
#include <unistd.h>

namespace k8w::test {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// Waits (for real, at most the hang watchdog) until `done` holds; between looks it
// takes what the link hands over, as the window's fetch timer does.
bool waitUntil(const std::function<bool()>& done) {
    const auto giveUp = std::chrono::steady_clock::now() + k8w::test::kHang;
    while (!done()) {
        if (std::chrono::steady_clock::now() > giveUp) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

TEST(ControlPty, TheWindowsExchangeThroughATerminal) {
    ServedDevice served;
    ASSERT_TRUE(served.ok());
    served.device().setInputs({{1500, 2500, 61000, 0, 100}, true, true});
    served.device().presentKey({0x01, 0x2B, 0x3C, 0x4D, 0x5E, 0x6F, 0x70, 0x01});
    link::QtSerialDriver driver({{QStringLiteral("PTY1"), served.path()}});
    control::FTDI_VexlarCtrl link(driver);
    link.StartLink();
    link.RequestHandshake();
    link.PollStatus();
    link.SetOutput(control::kGuardLed, true);
    link.SelectSim(1);

    std::vector<int> codes;
    QStringList texts;
    control::CtrlCommand reply;
    control::CtrlCommand status;
    auto take = [&] {
        QString text;
        const int code = link.FetchReply(reply, text);
        if (code == control::kFetchNothing) return;
        codes.push_back(code);
        if (!text.isEmpty()) texts << text;
        if (code == control::kCmdStatus) {
            status = reply;
            if (reply.payload[1] & control::kFlagKeyWaiting) link.RequestKey();
        }
    };
    ASSERT_TRUE(waitUntil([&] {
        take();
        return codes.size() == 4 && link.PendingCount() == 0;
    })) << codes.size();
    EXPECT_EQ(codes, (std::vector<int>{0x0C, 0x0D, 0x0D, 0x03}));
    // The status reply came before the outputs were sent and put the
    // device's bits (none) into the mask the texts show.
    EXPECT_EQ(texts, (QStringList{QStringLiteral("Установлено значение выходов: 00 "),
                                  QStringLiteral("Установлено значение выходов: 00 "),
                                  QStringLiteral("Получен код ключа IButton")}));
    EXPECT_EQ(Bytes(status.payload + 2, status.payload + 12),
              (Bytes{0xDC, 0x05, 0xC4, 0x09, 0x48, 0xEE, 0x00, 0x00, 0x64, 0x00}));
    EXPECT_EQ(Bytes(reply.payload, reply.payload + 8), (Bytes{0x01, 0x2B, 0x3C, 0x4D, 0x5E, 0x6F, 0x70, 0x01}));
    EXPECT_EQ(served.device().outputs(), 0x88);

    link.PollStatus();
    ASSERT_TRUE(waitUntil([&] {
        take();
        return codes.size() == 5;
    }));
    EXPECT_EQ(link.OutputMask(), 0x88);
    link.StopLink();
}

// The backend's wait: bytes end it, an interruption ends it (also one made
// before it began), and otherwise it lasts its timeout.
TEST(ControlPty, TheSerialBackendWaitsForBytesUntilInterrupted) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    link::QtSerialDriver driver({{QStringLiteral("PTY1"), QString::fromLocal8Bit(::ptsname(master))}});
    link::FtHandle handle = 0;
    ASSERT_EQ(driver.openEx("PTY1", link::kFtOpenBySerialNumber, &handle), link::kFtOk);

    std::uint32_t waiting = 99;
    ASSERT_EQ(driver.waitForBytes(handle, 30, &waiting), link::kFtOk);
    EXPECT_EQ(waiting, 0u);

    driver.interruptWait(handle);
    ASSERT_EQ(driver.waitForBytes(handle, link::kFtWaitForever, &waiting), link::kFtOk);
    EXPECT_EQ(waiting, 0u);

    std::thread interrupter([&] {
        std::this_thread::sleep_for(50ms);
        driver.interruptWait(handle);
    });
    ASSERT_EQ(driver.waitForBytes(handle, link::kFtWaitForever, &waiting), link::kFtOk);
    interrupter.join();
    EXPECT_EQ(waiting, 0u);

    std::thread writer([&] {
        std::this_thread::sleep_for(50ms);
        ASSERT_EQ(::write(master, "READY", 5), 5);
    });
    ASSERT_EQ(driver.waitForBytes(handle, link::kFtWaitForever, &waiting), link::kFtOk);
    writer.join();
    EXPECT_GE(waiting, 1u);

    driver.close(handle);
    EXPECT_EQ(driver.interruptWait(handle), link::kFtInvalidHandle);
    ::close(master);
}

TEST(ControlPty, ATerminalThatGoesAwayIsADriverFailure) {
    auto served = std::make_unique<ServedDevice>();
    ASSERT_TRUE(served->ok());
    link::QtSerialDriver driver({{QStringLiteral("PTY1"), served->path()}});
    control::FTDI_VexlarCtrl link(driver);
    link.StartLink();
    link.RequestHandshake();
    link.PollStatus();
    control::CtrlCommand reply;
    QString text;
    ASSERT_TRUE(waitUntil([&] { return link.FetchReply(reply, text) == control::kCmdStatus; }));
    served.reset();  // the line goes dead while the link waits for nothing
    ASSERT_TRUE(waitUntil([&] { return link.FetchReply(reply, text) == control::kFetchLinkError; }));
    link.StopLink();
}

// The simulated cable on the real clock, as the demo edition runs the link.
TEST(ControlRealTime, TheSimulatedCableServesTheLinkInRealTime) {
    sim::SimDevice device;
    sim::SimFtdiDriver cables(systemClock());
    cables.plug("K8WDEMO1", &device);
    device.presentKey({8, 7, 6, 5, 4, 3, 2, 1});
    control::FTDI_VexlarCtrl link(cables);
    link.StartLink();
    link.RequestHandshake();
    link.PollStatus();
    link.RequestKey();
    control::CtrlCommand reply;
    QString text;
    ASSERT_TRUE(waitUntil([&] { return link.FetchReply(reply, text) == control::kCmdReadKey; }));
    EXPECT_EQ(text, QStringLiteral("Получен код ключа IButton"));
    link.StopLink();
    ASSERT_TRUE(waitUntil([&] { return cables.openHandles() == 0; }));
}

// Destroying the link never hangs, wherever its thread waits: the wait
// after a failed opening, the greeting, a byte read, or waiting for nothing.
TEST(ControlPty, DestroyingTheLinkNeverHangsWhereverItWaits) {
    control::CtrlCommand reply;
    QString text;
    {
        link::QtSerialDriver none(std::vector<link::QtSerialDriver::Port>{});
        control::FTDI_VexlarCtrl link(none);
        link.StartLink();
        // The failed opening is reported; the link waits three seconds now.
        ASSERT_TRUE(waitUntil([&] { return link.FetchReply(reply, text) == control::kFetchLinkError; }));
    }
    {
        ServedDevice served;
        ASSERT_TRUE(served.ok());
        served.device().addFault({sim::Phase::CtrlHandshake, sim::FaultKind::Silence});
        link::QtSerialDriver driver({{QStringLiteral("PTY1"), served.path()}});
        control::FTDI_VexlarCtrl link(driver);
        link.StartLink();
        ASSERT_TRUE(waitUntil([&] { return !served.device().received().empty(); }));
    }
    {
        ServedDevice served;
        ASSERT_TRUE(served.ok());
        sim::Fault slow{sim::Phase::CtrlStatus, sim::FaultKind::Trickle};
        slow.gapMs = 45;
        served.device().addFault(slow);
        link::QtSerialDriver driver({{QStringLiteral("PTY1"), served.path()}});
        control::FTDI_VexlarCtrl link(driver);
        link.StartLink();
        link.RequestHandshake();
        link.PollStatus();
        ASSERT_TRUE(waitUntil([&] { return served.commandsReceived() == 1; }));
        std::this_thread::sleep_for(60ms);  // into the reply that comes a byte at a time
    }
    {
        ServedDevice served;
        ASSERT_TRUE(served.ok());
        link::QtSerialDriver driver({{QStringLiteral("PTY1"), served.path()}});
        control::FTDI_VexlarCtrl link(driver);
        link.StartLink();
        link.RequestHandshake();
        link.PollStatus();
        ASSERT_TRUE(waitUntil([&] { return link.FetchReply(reply, text) == control::kCmdStatus; }));
    }
}

} // namespace
} // namespace k8w::test
