#include "link_fixture.h"

#include "link/qt_serial_driver.h"
#include "sim/pty_device_server.h"

#include <atomic>
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
    std::thread worker([&] {
        link::FTDI_ReadCtrl reader(driver);
        if (reader.Open(nullptr, 0) != link::kOpenOk) return;
        result = reader.Start();
        readBack.assign(reader.Data(), reader.Data() + reader.DataLength());
        version = reader.VersionText();
    });
    worker.join();
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

} // namespace
} // namespace k8w::test
