// The reader ports on an owserver (OWFS's client, and owserver's network
// protocol spoken by the project itself) against a real owserver serving its
// own simulated 1-Wire devices (--tester: fixed addresses) on a free local port.
#include "common/clock.h"
#include "keys/key_code.h"
#include "keys/key_reader.h"
#include "keys/owfs_one_wire_port.h"
#include "keys/owserver_one_wire_port.h"

#include <owcapi.h>

#include "support/owserver_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <type_traits>

namespace k8w::keys {
namespace {

using namespace std::chrono_literals;

template <typename Port>
class Owserver : public ::testing::Test {
protected:
    void TearDown() override {
        port_.reset();
        server_.stop();
    }

    // Starts owserver with the given simulated adapters; skips the test when
    // the program is not installed (tools/install-deps installs it).
    void start(const QStringList& adapters) {
        if (!test::OwserverProcess::installed()) GTEST_SKIP() << "owserver is not installed: run tools/install-deps";
        ASSERT_TRUE(server_.start(adapters)) << "owserver did not start";
        target_ = server_.address();
    }

    // The server named, as `key-read --owserver` names it: every bus counts.
    Port& port(OwfsTiming timing = {}) {
        port_ = std::make_unique<Port>(std::vector<std::string>{target_}, timing);
        return *port_;
    }
    // The port of automatic discovery, asking the given server.
    Port& discovering(const std::string& server) {
        port_ = std::make_unique<Port>(std::vector<std::string>{server}, OwfsTiming{},
                                                  OwfsBuses::RealOnly);
        return *port_;
    }

    // What OWFS itself says of a device: its "address" property as bytes.
    // The port on OWFS has a session of its own; the other needs one here.
    std::vector<std::uint8_t> owfsAddress(const std::uint8_t* identity) {
        const bool ownSession = std::is_same_v<Port, OwserverOneWirePort>;
        if (ownSession && OW_init(("-s " + target_).c_str()) < 0) return {};
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
        if (ownSession) OW_finish();
        return bytes;
    }

    test::OwserverProcess server_;
    std::string target_;
    std::unique_ptr<Port> port_;
};

using ReaderPorts = ::testing::Types<OwfsOneWirePort, OwserverOneWirePort>;
TYPED_TEST_SUITE(Owserver, ReaderPorts);

TYPED_TEST(Owserver, ReportsAnIButtonWithTheIdentityOwfsGivesIt) {
    this->start({QStringLiteral("--tester=10,01")});
    auto& p = this->port();
    ASSERT_GE(p.Enum1WirePorts(), 1);
    const int handle = p.Open1WirePort(0);
    ASSERT_GE(handle, 0);
    std::uint8_t identity[8] = {};
    ASSERT_EQ(p.Read1WireBlocking(handle, identity), kReadKeyPresent);
    EXPECT_EQ(identity[0], 0x01) << "the temperature sensor (family 10) is no key";
    EXPECT_EQ(this->owfsAddress(identity), std::vector<std::uint8_t>(identity, identity + 8));
    EXPECT_EQ(OneWireCrc8(identity, 7), identity[7]) << "bytes in bus order: family, serial LSB first, CRC";
    p.Close1WirePort(handle);
    EXPECT_TRUE(p.target().empty());
}

TYPED_TEST(Owserver, ReportsAProtectedDs1961sKey) {
    this->start({QStringLiteral("--tester=33")});
    auto& p = this->port();
    ASSERT_EQ(p.Enum1WirePorts(), 1);
    const int handle = p.Open1WirePort(0);
    std::uint8_t identity[8] = {};
    ASSERT_EQ(p.Read1WireBlocking(handle, identity), kReadKeyPresent);
    EXPECT_EQ(identity[0], 0x33);
    EXPECT_EQ(this->owfsAddress(identity), std::vector<std::uint8_t>(identity, identity + 8));
    p.Close1WirePort(handle);
}

TYPED_TEST(Owserver, OtherDevicesOnTheBusAreNoKeys) {
    // A temperature sensor, a switch and the ID chip of a USB adapter.
    this->start({QStringLiteral("--tester=10,05,81")});
    OwfsTiming quick;
    quick.block = 200ms;
    auto& p = this->port(quick);
    ASSERT_EQ(p.Enum1WirePorts(), 1);
    const int handle = p.Open1WirePort(0);
    std::uint8_t identity[8] = {};
    EXPECT_EQ(p.Read1WireBlocking(handle, identity), kReadNoKeyYet);
    EXPECT_EQ(p.Read1WireBlocking(handle + 1, identity), kReadFailed) << "a handle never given out";
    EXPECT_EQ(p.Open1WirePort(1), -1) << "there is one port";
    p.Close1WirePort(handle);
}

TYPED_TEST(Owserver, StopReleasesAReadThatWouldBlockForAnHour) {
    this->start({QStringLiteral("--tester=10")});
    OwfsTiming patient;
    patient.block = std::chrono::hours(1);
    auto& p = this->port(patient);
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

TYPED_TEST(Owserver, TheKeyWorkerReadsAKeyInFourHits) {
    this->start({QStringLiteral("--tester=01")});
    auto& p = this->port();
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

TYPED_TEST(Owserver, DiscoveryPassesOverASimulatedBusThatANamedServerKeeps) {
    for (const char* adapter : {"--fake=01", "--tester=01", "--mock=01"}) {
        this->start({QString::fromLatin1(adapter)});
        EXPECT_EQ(this->discovering(this->target_).Enum1WirePorts(), 0) << adapter;
        EXPECT_EQ(this->port_->Open1WirePort(0), -1) << adapter;
        EXPECT_TRUE(this->port_->target().empty()) << adapter << ": the server is passed over";
        EXPECT_EQ(this->port().Enum1WirePorts(), 1) << adapter;
        this->port_.reset();
        this->server_.stop();
    }
}

TYPED_TEST(Owserver, DiscoveryReadsTheRealBusOfAServerWithSimulatedOnesBeside) {
    this->start({QStringLiteral("--tester=01")});
    std::uint8_t key[8] = {};
    {
        TypeParam named({this->target_});
        ASSERT_EQ(named.Enum1WirePorts(), 1);
        ASSERT_EQ(named.Read1WireBlocking(named.Open1WirePort(0), key), kReadKeyPresent);
    }
    // An owserver in front of that one: its bus to it is a real one (OWFS
    // names it "tcp"); the simulated bus before it has a key of its own.
    test::OwserverProcess front;
    ASSERT_TRUE(front.start({QStringLiteral("--fake=01"), QStringLiteral("-s"),
                             QString::fromStdString(this->server_.address())}));
    auto& p = this->discovering(front.address());
    ASSERT_EQ(p.Enum1WirePorts(), 1);
    const int handle = p.Open1WirePort(0);
    for (int read = 0; read < 3; ++read) {
        std::uint8_t identity[8] = {};
        ASSERT_EQ(p.Read1WireBlocking(handle, identity), kReadKeyPresent);
        EXPECT_EQ(std::vector<std::uint8_t>(identity, identity + 8), std::vector<std::uint8_t>(key, key + 8));
    }
    p.Close1WirePort(handle);
    this->target_ = front.address();
    EXPECT_EQ(this->port().Enum1WirePorts(), 2) << "named, the server has two buses";
}

TYPED_TEST(Owserver, NoServerAndNoAdapterIsAReaderFailure) {
    // Nobody listens on the port: the refused connection is known at once,
    // OWFS never gets to retry it.
    TypeParam p({"127.0.0.1:" + std::to_string(test::freeLocalPort()), "-u"});
    KeyReaderFlags flags;
    std::atomic<bool> stop{false};
    KeyCode code{};
    ReadKeyFourHits(p, systemClock(), flags, stop, nullptr, code.data());
    EXPECT_TRUE(flags.readerFailure);
    EXPECT_FALSE(flags.keyRead);
    EXPECT_TRUE(p.target().empty());
}

TYPED_TEST(Owserver, AServerThatGoesAwayIsAReaderFailure) {
    this->start({QStringLiteral("--tester=10")});
    OwfsTiming quick;
    quick.block = 100ms;
    auto& p = this->port(quick);
    ASSERT_EQ(p.Enum1WirePorts(), 1);
    const int handle = p.Open1WirePort(0);
    std::uint8_t identity[8] = {};
    ASSERT_EQ(p.Read1WireBlocking(handle, identity), kReadNoKeyYet);
    this->server_.stop();
    int result = kReadNoKeyYet;
    for (int i = 0; i < 20 && result == kReadNoKeyYet; ++i) result = p.Read1WireBlocking(handle, identity);
    EXPECT_NE(result, kReadKeyPresent);
    EXPECT_NE(result, kReadNoKeyYet);
    p.Close1WirePort(handle);
}

} // namespace
} // namespace k8w::keys
