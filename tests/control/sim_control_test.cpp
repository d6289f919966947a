// The simulated device's side of the control protocol, byte by byte.
#include "link/link_block.h"
#include "sim/sim_device.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace k8w::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes command(std::uint8_t code, const Bytes& payload = {}) {
    Bytes packet(payload.size() + 3, 0x51);
    packet[1] = code;
    std::copy(payload.begin(), payload.end(), packet.begin() + 2);
    packet.back() = link::BlockChecksum(packet.data(), packet.size() - 1);
    return packet;
}

class ControlDevice : public ::testing::Test {
protected:
    SimDevice device;
    std::uint32_t now = 100;

    void send(const Bytes& bytes) { device.receive(bytes.data(), bytes.size(), now); }
    void send(const std::string& text) { send(Bytes(text.begin(), text.end())); }
    Bytes take(std::uint32_t afterMs = 10) {
        now += afterMs;
        Bytes buffer(256);
        buffer.resize(device.read(buffer.data(), buffer.size(), now));
        return buffer;
    }
    void greet() {
        send("PROG_K8W_CTRL");
        ASSERT_EQ(take(), bytesOf("READY"));
    }
};

TEST_F(ControlDevice, AnswersOnlyOnceGreetedWithTheControlToken) {
    send(command(0x0C));
    EXPECT_TRUE(take().empty());
    greet();
    send(command(0x0C));
    EXPECT_EQ(take().size(), 15u);
}

TEST_F(ControlDevice, ReportsItsInputsAndAWaitingKeyAndKeepsTheOutputsTheHostSets) {
    greet();
    device.setInputs({{100, 59999, 60000, 0, 65535}, false, true});
    device.setLoop(1, 1234);
    send(command(0x0D, {0x85}));
    EXPECT_EQ(take(), controlReply(0x0D));
    EXPECT_EQ(device.outputs(), 0x85);
    device.presentKey({0x01, 0x5A, 0x33, 0x00, 0x7F, 0x10, 0x00, 0x99});
    send(command(0x0C));
    EXPECT_EQ(take(), controlReply(0x0C, {0x85, 0x82, 0xD2, 0x04, 0x5F, 0xEA, 0x60, 0xEA, 0x00, 0x00, 0xFF, 0xFF}));
    send(command(0x03));
    EXPECT_EQ(take(), controlReply(0x03, {0x01, 0x5A, 0x33, 0x00, 0x7F, 0x10, 0x00, 0x99}));
    EXPECT_FALSE(device.keyWaiting());
    send(command(0x0C));
    EXPECT_EQ(take()[3], 0x02);  // no key waiting any more
}

TEST_F(ControlDevice, RefusesABadCheckByteAndAnUnknownCodeWithErrorReplies) {
    greet();
    Bytes bad = command(0x0C);
    bad.back() ^= 0x01;
    send(bad);
    EXPECT_EQ(take(), controlReply(0xFF, {0}));
    send(command(0x44));
    EXPECT_EQ(take(), controlReply(0xFF, {1}));
}

TEST_F(ControlDevice, FaultsOnDemand) {
    device.addFault({Phase::CtrlHandshake, FaultKind::Error, -1, {}, 0, 1});
    send("PROG_K8W_CTRL");
    EXPECT_EQ(take(), bytesOf("ERROR"));
    greet();

    Fault trickle{Phase::CtrlOutputs, FaultKind::Trickle, -1, {}, 0, 1};
    trickle.gapMs = 20;
    device.addFault(trickle);
    send(command(0x0D, {0x01}));
    EXPECT_EQ(take(1), Bytes{0xAE});
    EXPECT_TRUE(take(19).empty());
    EXPECT_EQ(take(1), Bytes{0x0D});
    EXPECT_EQ(take(20).size(), 1u);

    device.addFault({Phase::CtrlStatus, FaultKind::Replace, -1, controlReply(0xFF, {7}), 0, 1});
    send(command(0x0C));
    EXPECT_EQ(take(50), controlReply(0xFF, {7}));
}

TEST_F(ControlDevice, GoesBackToProgrammingOnTheProgrammingToken) {
    greet();
    send("PROG_K8W");
    EXPECT_EQ(take(), bytesOf("READY"));
    send(command(0x0C));  // no command packets in programming mode
    EXPECT_TRUE(take().empty());
    device.setStoredImage({1, 2, 3});
    send("READ");
    EXPECT_EQ(take(), bytesOf("READY"));
}

} // namespace
} // namespace k8w::sim
