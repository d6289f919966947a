#include "link_fixture.h"

#include "link/qt_serial_driver.h"
#include "sim/pty_device_server.h"
#include "support/watchdog.h"

#include <QThread>

#include <atomic>
#include <fcntl.h>
#include <unistd.h>
#include <chrono>
#include <memory>
#include <thread>

namespace k8w::test {
namespace {

// The whole road through a real terminal: the serial port backend on one
// side, the simulated device on the other, real time.
class PtyLink : public ::testing::Test {
protected:
    TempWorkdir dir;
    sim::SimDevice device;
    sim::PtyDeviceServer server{device};
    std::atomic<bool> stop{false};
    std::thread serving;

    void SetUp() override {
        sim::DeviceSettings s;
        s.version = {3, 1, 4};
        device.setSettings(s);
        std::string error;
        ASSERT_TRUE(server.open(&error)) << error;
        serving = std::thread([this] { server.serve(stop); });
    }
    void TearDown() override {
        stop = true;
        if (serving.joinable()) serving.join();
    }
};

TEST_F(PtyLink, AnImageWrittenThroughATerminalIsReadBackTheSame) {
    const Bytes image = sampleImage(kImageSize, 42);
    link::QtSerialDriver driver({{QStringLiteral("PTY1"), QString::fromStdString(server.slavePath())}});
    {
        link::FTDI_Controller writer(driver);
        ASSERT_EQ(writer.Open(image.data(), static_cast<int>(image.size())), link::kOpenOk);
        ASSERT_EQ(writer.Start(), link::kLinkDone);
    }
    EXPECT_EQ(device.storedImage(), image);

    // The read runs on a thread of its own with no event loop, as a worker does.
    int result = -1;
    Bytes readBack;
    QString version;
    std::atomic<bool> done{false};  // hands the results over visibly to every checker
    std::unique_ptr<QThread> worker(QThread::create([&] {
        link::FTDI_ReadCtrl reader(driver);
        if (reader.Open(nullptr, 0) == link::kOpenOk) {
            result = reader.Start();
            readBack.assign(reader.Data(), reader.Data() + reader.DataLength());
            version = reader.VersionText();
        }
        done.store(true, std::memory_order_release);
    }));
    worker->start();
    worker->wait();
    ASSERT_TRUE(done.load(std::memory_order_acquire));
    ASSERT_EQ(result, link::kLinkDone);
    EXPECT_EQ(readBack, image);
    EXPECT_EQ(version, QStringLiteral("3.1.4"));
    EXPECT_EQ(countLines(logLines(), QStringLiteral("[TX] 4E 45 58 54 ")), 20);
}

TEST_F(PtyLink, AnUnknownSerialOrPathDoesNotOpen) {
    link::QtSerialDriver driver({{QStringLiteral("PTY1"), QStringLiteral("/nonexistent/tty")}});
    link::FTDI_Controller link(driver);
    EXPECT_EQ(link.Open(nullptr, 0), link::kOpenFailed);
    link.SetCableSerial("OTHER");
    EXPECT_EQ(link.Open(nullptr, 0), link::kOpenFailed);
    link::QtSerialDriver none(std::vector<link::QtSerialDriver::Port>{});
    link::FTDI_Controller nothing(none);
    EXPECT_EQ(nothing.Open(nullptr, 0), link::kOpenNoCable);
}


// Pulls the cable (the terminal's other side goes away) once the log holds
// `marker`, while the device is silent in `phase`. Gives the result of the
// read exchange; a watchdog stops an exchange that does not notice (result 2).
int readUntilUnplugged(sim::Phase phase, const QByteArray& marker) {
    sim::SimDevice device;
    device.setStoredImage(sampleImage());
    device.addFault({phase, sim::FaultKind::Silence});
    auto server = std::make_unique<sim::PtyDeviceServer>(device);
    EXPECT_TRUE(server->open());
    std::atomic<bool> stop{false};
    std::thread serving([&] { server->serve(stop); });
    link::QtSerialDriver driver({{QStringLiteral("PTY1"), QString::fromStdString(server->slavePath())}});

    std::atomic<int> result{-1};
    link::FTDI_ReadCtrl reader(driver);
    // A QThread, as the program's workers are: the serial port's notifiers
    // want one.
    std::unique_ptr<QThread> worker(QThread::create([&] {
        const int opened = reader.Open(nullptr, 0);
        result = opened == link::kOpenOk ? reader.Start() : 100 + opened;
    }));
    worker->start();
    const auto begun = std::chrono::steady_clock::now();
    auto logged = [&] {
        QFile log(QString::fromLatin1(link::kProgLogName));
        return log.open(QIODevice::ReadOnly) && log.readAll().contains(marker);
    };
    while (!logged() && std::chrono::steady_clock::now() - begun < test::kHang)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    stop = true;
    serving.join();
    const auto unplugged = std::chrono::steady_clock::now();
    server.reset();
    std::thread watchdog([&] {
        while (result.load() < 0 && std::chrono::steady_clock::now() - unplugged < test::kHang)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        reader.Stop();
    });
    worker->wait();
    watchdog.join();
    return result.load();
}

// While only polling for a block, the status query fails at once.
TEST(PtyUnplug, ATerminalThatGoesAwayDuringTheBlockWaitFailsWithOne) {
    TempWorkdir dir;
    EXPECT_EQ(readUntilUnplugged(sim::Phase::ReadBlock, "[TX] 4E 45 58 54"), link::kLinkCableFailure);
}

// While the handshake repeats "PROG_K8W" to a silent device.
TEST(PtyUnplug, ATerminalThatGoesAwayDuringTheHandshakeFailsWithOne) {
    TempWorkdir dir;
    EXPECT_EQ(readUntilUnplugged(sim::Phase::Handshake, "[TX] PROG_K8W"), link::kLinkCableFailure);
}

// A write that cannot finish within its timeout reports only the bytes of
// this call that left, even when older bytes still queued drain meanwhile.
TEST(PtyWrites, AStuckWriteCountsOnlyItsOwnBytesThatLeft) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    link::QtSerialDriver driver({{QStringLiteral("PTY1"), QString::fromLocal8Bit(::ptsname(master))}});
    link::FtHandle handle = 0;
    ASSERT_EQ(driver.openEx("PTY1", link::kFtOpenBySerialNumber, &handle), link::kFtOk);
    ASSERT_EQ(driver.setTimeouts(handle, 50, 50), link::kFtOk);

    // Nobody reads the other side: most of a large write stays queued.
    const Bytes flood(1 << 20, 0x55);
    std::uint32_t written = 0;
    ASSERT_EQ(driver.write(handle, flood.data(), static_cast<std::uint32_t>(flood.size()), &written), link::kFtOk);
    EXPECT_LT(written, flood.size());
    // Some room on the line: part of the old queue drains during the next
    // write, but its own four bytes are still behind the rest.
    std::uint8_t sink[4096];
    for (int taken = 0; taken < 16 * 1024;) {
        const ssize_t n = ::read(master, sink, sizeof sink);
        if (n <= 0) break;
        taken += static_cast<int>(n);
    }
    const std::uint8_t next[] = {'N', 'E', 'X', 'T'};
    ASSERT_EQ(driver.write(handle, next, 4, &written), link::kFtOk);
    EXPECT_EQ(written, 0u);
    driver.close(handle);
    ::close(master);
}

} // namespace
} // namespace k8w::test
