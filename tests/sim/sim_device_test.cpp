#include "common/virtual_clock.h"
#include "link/link_block.h"
#include "sim/sim_device.h"
#include "sim/sim_ftdi_driver.h"

#include <gtest/gtest.h>

namespace k8w::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

class Device : public ::testing::Test {
protected:
    SimDevice device;
    void send(const std::string& text, std::uint32_t now) {
        device.receive(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), now);
    }
    void send(const Bytes& bytes, std::uint32_t now) { device.receive(bytes.data(), bytes.size(), now); }
    std::string take(std::uint32_t now) {
        std::uint8_t buffer[200];
        const std::size_t n = device.read(buffer, sizeof buffer, now);
        return std::string(buffer, buffer + n);
    }
};

TEST_F(Device, RepliesFallDueAfterTheirDelay) {
    send("PROG_K8W", 100);
    EXPECT_EQ(device.available(100), 0u);
    EXPECT_EQ(device.nextDueMs(), 101);
    EXPECT_EQ(take(101), "READY");
}

TEST_F(Device, IgnoresRequestsBeforeTheHandshake) {
    send("WRITE", 0);
    send("READ", 0);
    EXPECT_EQ(device.available(1000), 0u);
}

TEST_F(Device, ReadyModeAsksForTheFirstBlockSeparately) {
    send("PROG_K8W", 0);
    take(10);
    send("WRITE", 10);
    EXPECT_EQ(take(11), "READY");
    EXPECT_EQ(take(30), "");
    EXPECT_EQ(take(31), "NEXT");
}

TEST_F(Device, ChecksEachBlockAndKeepsTheImageOnTheEndBlock) {
    send("PROG_K8W", 0);
    send("WRITE", 0);
    take(100);
    const std::uint8_t data[] = {9, 8, 7};
    send(link::MakeBlock(data, 3), 100);
    EXPECT_EQ(take(200), "NEXT");
    send(Bytes{0x3A, 0, 0xC6}, 200);
    EXPECT_EQ(take(300), "OK");
    EXPECT_EQ(device.storedImage(), (Bytes{9, 8, 7}));
    EXPECT_EQ(device.imagesStored(), 1);

    send("WRITE", 300);
    take(400);
    Bytes bad = link::MakeBlock(data, 3);
    bad.back() ^= 1;
    send(bad, 400);
    EXPECT_EQ(take(500), "ERROR");
    EXPECT_EQ(device.imagesStored(), 1);
}

TEST_F(Device, SendsItsImageBlockByBlockThenTheEndBlock) {
    device.setStoredImage(Bytes(40, 0x33));
    send("PROG_K8W", 0);
    send("READ", 0);
    EXPECT_EQ(take(10), "READYREADY");
    send("NEXT", 10);
    EXPECT_EQ(take(20).size(), 35u);
    send("NEXT", 20);
    EXPECT_EQ(take(30).size(), 11u);
    send("NEXT", 30);
    EXPECT_EQ(take(40), std::string(":\0\xC6", 3));
}

TEST_F(Device, FaultsApplyToTheirPhaseAndBlockAsOftenAsAsked) {
    device.addFault({Phase::Handshake, FaultKind::Replace, -1, {'R', 'E', 'A', 'D', 'Y', '\r'}, 0, 1});
    device.addFault({Phase::Version, FaultKind::Silence});
    send("PROG_K8W", 0);
    EXPECT_EQ(take(10), "READY\r");
    send("PROG_K8W", 10);
    EXPECT_EQ(take(20), "READY");
    send("DEVICE", 20);
    EXPECT_EQ(device.available(10000), 0u);
}

TEST(SimDriver, CablesComeAndGoAndFailOnDemand) {
    VirtualClock clock;
    SimFtdiDriver driver(clock);
    std::uint32_t count = 99;
    ASSERT_EQ(driver.createDeviceInfoList(&count), 0u);
    EXPECT_EQ(count, 0u);
    driver.plug("A");
    driver.plug("B");
    ASSERT_EQ(driver.createDeviceInfoList(&count), 0u);
    EXPECT_EQ(count, 2u);
    link::FtDeviceInfo list[1];
    ASSERT_EQ(driver.getDeviceInfoList(list, 1, &count), 0u);
    EXPECT_EQ(count, 1u);
    EXPECT_STREQ(list[0].serialNumber, "A");
    link::FtHandle handle = 0;
    ASSERT_EQ(driver.openEx("B", link::kFtOpenBySerialNumber, &handle), 0u);
    driver.unplug("B");
    std::uint32_t rx = 0, tx = 0, ev = 0;
    EXPECT_NE(driver.getStatus(handle, &rx, &tx, &ev), 0u);
    EXPECT_NE(driver.openEx("B", link::kFtOpenBySerialNumber, &handle), 0u);
    driver.fail(SimFtdiDriver::Op::CreateList, 1, 1);
    EXPECT_EQ(driver.createDeviceInfoList(&count), 0u);
    EXPECT_NE(driver.createDeviceInfoList(&count), 0u);
    EXPECT_EQ(driver.createDeviceInfoList(&count), 0u);
}

} // namespace
} // namespace k8w::sim
