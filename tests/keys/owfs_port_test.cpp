// The OWFS reader port against a real owserver serving its own simulated
// 1-Wire devices (--tester: fixed addresses) on a free local port.
#include "common/clock.h"
#include "keys/key_code.h"
#include "keys/key_reader.h"
#include "keys/owfs_one_wire_port.h"

#include <owcapi.h>

#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace k8w::keys {
namespace {

using namespace std::chrono_literals;

// A TCP port nobody listens on right now.
int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

bool accepting(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

class Owserver : public ::testing::Test {
protected:
    void TearDown() override {
        port_.reset();
        if (server_.state() != QProcess::NotRunning) {
            server_.kill();
            server_.waitForFinished(5000);
        }
    }

    // Starts owserver with the given simulated adapters; skips the test when
    // the program is not installed (tools/install-deps installs it).
    void start(const QStringList& adapters) {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("owserver"));
        if (program.isEmpty()) GTEST_SKIP() << "owserver is not installed: run tools/install-deps";
        tcpPort_ = freePort();
        server_.setProgram(program);
        server_.setArguments(QStringList{QStringLiteral("--foreground"), QStringLiteral("--error_level=0"),
                                         QStringLiteral("-p"),
                                         QStringLiteral("127.0.0.1:%1").arg(tcpPort_)} +
                             adapters);
        server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server_.start();
        ASSERT_TRUE(server_.waitForStarted(5000));
        for (int i = 0; i < 500 && !accepting(tcpPort_); ++i) {
            ASSERT_EQ(server_.state(), QProcess::Running) << "owserver ended";
            std::this_thread::sleep_for(10ms);
        }
        ASSERT_TRUE(accepting(tcpPort_));
    }

    OwfsOneWirePort& port(OwfsTiming timing = {}) {
        port_ = std::make_unique<OwfsOneWirePort>(std::vector<std::string>{target()}, timing);
        return *port_;
    }
    std::string target() const { return "127.0.0.1:" + std::to_string(tcpPort_); }

    // What OWFS itself says of a device: its "address" property as bytes.
    static std::vector<std::uint8_t> owfsAddress(const std::uint8_t* identity) {
        char name[32];
        std::snprintf(name, sizeof name, "/%02X.%02X%02X%02X%02X%02X%02X/address", identity[0], identity[1],
                      identity[2], identity[3], identity[4], identity[5], identity[6]);
        char* buffer = nullptr;
        size_t length = 0;
        std::vector<std::uint8_t> bytes;
        if (OW_get(name, &buffer, &length) == 16) {
            for (int i = 0; i < 8; ++i)
                bytes.push_back(static_cast<std::uint8_t>(std::stoi(std::string(buffer + 2 * i, 2), nullptr, 16)));
        }
        std::free(buffer);
        return bytes;
    }

    QProcess server_;
    int tcpPort_ = 0;
    std::unique_ptr<OwfsOneWirePort> port_;
};

TEST_F(Owserver, ReportsAnIButtonWithTheIdentityOwfsGivesIt) {
    start({QStringLiteral("--tester=10,01")});
    OwfsOneWirePort& p = port();
    ASSERT_GE(p.Enum1WirePorts(), 1);
    const int handle = p.Open1WirePort(0);
    ASSERT_GE(handle, 0);
    std::uint8_t identity[8] = {};
    ASSERT_EQ(p.Read1WireBlocking(handle, identity), kReadKeyPresent);
    EXPECT_EQ(identity[0], 0x01) << "the temperature sensor (family 10) is no key";
    EXPECT_EQ(owfsAddress(identity), std::vector<std::uint8_t>(identity, identity + 8));
    EXPECT_EQ(OneWireCrc8(identity, 7), identity[7]) << "bytes in bus order: family, serial LSB first, CRC";
    p.Close1WirePort(handle);
    EXPECT_TRUE(p.target().empty());
}

TEST_F(Owserver, ReportsAProtectedDs1961sKey) {
    start({QStringLiteral("--tester=33")});
    OwfsOneWirePort& p = port();
    ASSERT_EQ(p.Enum1WirePorts(), 1);
    const int handle = p.Open1WirePort(0);
    std::uint8_t identity[8] = {};
    ASSERT_EQ(p.Read1WireBlocking(handle, identity), kReadKeyPresent);
    EXPECT_EQ(identity[0], 0x33);
    EXPECT_EQ(owfsAddress(identity), std::vector<std::uint8_t>(identity, identity + 8));
    p.Close1WirePort(handle);
}

TEST_F(Owserver, OtherDevicesOnTheBusAreNoKeys) {
    // A temperature sensor, a switch and the ID chip of a USB adapter.
    start({QStringLiteral("--tester=10,05,81")});
    OwfsTiming quick;
    quick.block = 200ms;
    OwfsOneWirePort& p = port(quick);
    ASSERT_EQ(p.Enum1WirePorts(), 1);
    const int handle = p.Open1WirePort(0);
    std::uint8_t identity[8] = {};
    EXPECT_EQ(p.Read1WireBlocking(handle, identity), kReadNoKeyYet);
    EXPECT_EQ(p.Read1WireBlocking(handle + 1, identity), kReadFailed) << "a handle never given out";
    EXPECT_EQ(p.Open1WirePort(1), -1) << "there is one port";
    p.Close1WirePort(handle);
}

TEST_F(Owserver, StopReleasesAReadThatWouldBlockForAnHour) {
    start({QStringLiteral("--tester=10")});
    OwfsTiming patient;
    patient.block = std::chrono::hours(1);
    OwfsOneWirePort& p = port(patient);
    ASSERT_EQ(p.Enum1WirePorts(), 1);
    const int handle = p.Open1WirePort(0);
    int result = -1;
    std::thread reader([&] {
        std::uint8_t identity[8] = {};
        result = p.Read1WireBlocking(handle, identity);
    });
    std::this_thread::sleep_for(300ms);  // let the read start its searches
    p.StopAll1WireOperations();
    reader.join();
    EXPECT_EQ(result, kReadNoKeyYet);
    p.Close1WirePort(handle);
}

TEST_F(Owserver, TheKeyWorkerReadsAKeyInFourHits) {
    start({QStringLiteral("--tester=01")});
    OwfsOneWirePort& p = port();
    KeyReaderFlags flags;
    std::atomic<bool> stop{false};
    int maxHits = 0;
    KeyCode code{};
    ReadKeyFourHits(p, systemClock(), flags, stop, [&](int hits) { maxHits = std::max(maxHits, hits); },
                    code.data());
    ASSERT_TRUE(flags.keyRead);
    EXPECT_EQ(maxHits, 4);
    for (const std::uint8_t byte : code) EXPECT_LE(byte, 0x7F);
}

TEST_F(Owserver, NoServerAndNoAdapterIsAReaderFailure) {
    // Nobody listens on the port: the refused connection is known at once,
    // OWFS never gets to retry it.
    tcpPort_ = freePort();
    OwfsOneWirePort p({target(), "-u"});
    KeyReaderFlags flags;
    std::atomic<bool> stop{false};
    KeyCode code{};
    ReadKeyFourHits(p, systemClock(), flags, stop, nullptr, code.data());
    EXPECT_TRUE(flags.readerFailure);
    EXPECT_FALSE(flags.keyRead);
    EXPECT_TRUE(p.target().empty());
}

TEST_F(Owserver, AServerThatGoesAwayIsAReaderFailure) {
    start({QStringLiteral("--tester=10")});
    OwfsTiming quick;
    quick.block = 100ms;
    OwfsOneWirePort& p = port(quick);
    ASSERT_EQ(p.Enum1WirePorts(), 1);
    const int handle = p.Open1WirePort(0);
    std::uint8_t identity[8] = {};
    ASSERT_EQ(p.Read1WireBlocking(handle, identity), kReadNoKeyYet);
    server_.kill();
    server_.waitForFinished(5000);
    int result = kReadNoKeyYet;
    for (int i = 0; i < 20 && result == kReadNoKeyYet; ++i) result = p.Read1WireBlocking(handle, identity);
    EXPECT_NE(result, kReadKeyPresent);
    EXPECT_NE(result, kReadNoKeyYet);
    p.Close1WirePort(handle);
}

} // namespace
} // namespace k8w::keys
