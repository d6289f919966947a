#include "link_fixture.h"

namespace k8w::test {
namespace {

using link::CableTiming;
using link::FTDI_Controller;
using Op = sim::SimFtdiDriver::Op;

TEST_F(LinkTest, OpenConfiguresTheFirstCable115200EightNoneOneNoFlowLatency100) {
    driver.plug("SECOND");
    FTDI_Controller link(driver, clock);
    ASSERT_EQ(link.Open(image.data(), 585), link::kOpenOk);
    const auto config = driver.lastConfig();
    EXPECT_EQ(config.serial, "FT4K8W01");
    EXPECT_EQ(config.baud, 115200u);
    EXPECT_EQ(config.wordLength, 8);
    EXPECT_EQ(config.stopBits, 0);
    EXPECT_EQ(config.parity, 0);
    EXPECT_EQ(config.flow, 0);
    EXPECT_EQ(config.latencyMs, 100);
    EXPECT_EQ(driver.calls(Op::SetTimeouts), 0);
    EXPECT_EQ(link.DataLength(), 585);
    EXPECT_EQ(Bytes(link.Data(), link.Data() + 585), image);
    EXPECT_STREQ(link.DeviceInfoList()[1].serialNumber, "SECOND");
}

TEST_F(LinkTest, OpenTakesTheChosenCable) {
    driver.plug("SECOND");
    FTDI_Controller link(driver, clock);
    link.SetCableSerial("SECOND");
    ASSERT_EQ(link.Open(nullptr, 0), link::kOpenOk);
    EXPECT_EQ(driver.lastConfig().serial, "SECOND");
}

TEST_F(LinkTest, NoCableOrAnUncountableListGivesTwo) {
    {
        FTDI_Controller link(driver, clock);
        driver.fail(Op::CreateList, 0, 1);
        EXPECT_EQ(link.Open(image.data(), 585), link::kOpenNoCable);
    }
    driver.unplug("FT4K8W01");
    FTDI_Controller link(driver, clock);
    EXPECT_EQ(link.Open(image.data(), 585), link::kOpenNoCable);
    EXPECT_EQ(driver.calls(Op::Open), 0);
    EXPECT_EQ(link.DataLength(), 0);
}

TEST_F(LinkTest, AnUnreadableListOrAFailedOpenGivesOne) {
    {
        FTDI_Controller link(driver, clock);
        driver.fail(Op::GetList, 0, 1);
        EXPECT_EQ(link.Open(image.data(), 585), link::kOpenFailed);
        EXPECT_EQ(driver.calls(Op::Open), 0);
    }
    {
        FTDI_Controller link(driver, clock);
        driver.fail(Op::Open, 0, 1);
        EXPECT_EQ(link.Open(image.data(), 585), link::kOpenFailed);
        EXPECT_EQ(link.DataLength(), 0);
        EXPECT_FALSE(link.IsOpen());
    }
    // The chosen cable was unplugged and another one plugged in.
    driver.unplug("FT4K8W01");
    driver.plug("OTHER");
    FTDI_Controller link(driver, clock);
    link.SetCableSerial("FT4K8W01");
    EXPECT_EQ(link.Open(image.data(), 585), link::kOpenFailed);
    EXPECT_EQ(driver.openHandles(), 0);
}

TEST_F(LinkTest, AFailingConfigurationCallClosesTheCableAfterAllFourCalls) {
    for (const Op op : {Op::SetBaudRate, Op::SetDataCharacteristics, Op::SetFlowControl, Op::SetLatencyTimer}) {
        sim::SimFtdiDriver cable(clock);
        cable.plug("A", &device);
        cable.fail(op, 0, 1);
        {
            FTDI_Controller link(cable, clock);
            EXPECT_EQ(link.Open(image.data(), 585), link::kOpenFailed) << static_cast<int>(op);
            EXPECT_FALSE(link.IsOpen());
            EXPECT_EQ(cable.openHandles(), 0);
            EXPECT_EQ(cable.calls(Op::Close), 1);
            for (const Op each : {Op::SetBaudRate, Op::SetDataCharacteristics, Op::SetFlowControl,
                                  Op::SetLatencyTimer})
                EXPECT_EQ(cable.calls(each), 1);
            EXPECT_EQ(link.DataLength(), 0);
            EXPECT_EQ(link.Start(), link::kLinkCableFailure);
            EXPECT_TRUE(cable.writes().empty());
        }
        EXPECT_EQ(cable.calls(Op::Close), 1);  // not closed twice
    }
}

TEST_F(LinkTest, DataIsTakenOnlyWhenShorterThanTheBuffer) {
    const Bytes big(4096, 0x42);
    FTDI_Controller whole(driver, clock);
    ASSERT_EQ(whole.Open(big.data(), 4095), link::kOpenOk);
    EXPECT_EQ(whole.DataLength(), 4095);
    {
        sim::SimFtdiDriver cable(clock);
        cable.plug("A");
        FTDI_Controller link(cable, clock);
        ASSERT_EQ(link.Open(big.data(), 4096), link::kOpenOk);
        EXPECT_EQ(link.DataLength(), 0);
    }
    sim::SimFtdiDriver cable(clock);
    cable.plug("A");
    FTDI_Controller negative(cable, clock);
    ASSERT_EQ(negative.Open(big.data(), -5), link::kOpenOk);
    EXPECT_EQ(negative.DataLength(), 0);
}

TEST_F(LinkTest, TheDestructorClosesTheCable) {
    {
        FTDI_Controller link(driver, clock);
        ASSERT_EQ(link.Open(nullptr, 0), link::kOpenOk);
        EXPECT_EQ(driver.openHandles(), 1);
    }
    EXPECT_EQ(driver.openHandles(), 0);
}

TEST_F(LinkTest, TheControlLinkOpensWithTimeoutsInsteadOfTheLatencyTimer) {
    driver.plug("SECOND");
    link::DeviceList list{};
    link::FtHandle handle = 0;
    ASSERT_EQ(link::OpenCable(driver, "", CableTiming::Timeouts, list, handle), link::kOpenOk);
    EXPECT_NE(handle, 0u);
    const auto config = driver.lastConfig();
    EXPECT_EQ(config.serial, "FT4K8W01");
    EXPECT_EQ(config.readTimeoutMs, 50u);
    EXPECT_EQ(config.writeTimeoutMs, 20u);
    EXPECT_EQ(driver.calls(Op::SetLatencyTimer), 0);
    driver.close(handle);
    driver.fail(Op::SetTimeouts, 0, 1);
    EXPECT_EQ(link::OpenCable(driver, "", CableTiming::Timeouts, list, handle), link::kOpenFailed);
    EXPECT_EQ(handle, 0u);
    EXPECT_EQ(driver.openHandles(), 0);
}

TEST_F(LinkTest, NoMoreThanTenCablesAreListed) {
    for (int i = 0; i < 12; ++i) driver.plug("EXTRA" + std::to_string(i));
    link::DeviceList list{};
    list.fill({});
    link::FtHandle handle = 0;
    ASSERT_EQ(link::OpenCable(driver, "", CableTiming::LatencyTimer, list, handle), link::kOpenOk);
    EXPECT_STREQ(list[9].serialNumber, "EXTRA8");
    driver.close(handle);
}

TEST_F(LinkTest, ConstructingALinkObjectRecreatesTheLog) {
    {
        QFile old(QString::fromLatin1(link::kProgLogName));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old attempt\r\n");
    }
    FTDI_Controller link(driver, clock);
    EXPECT_EQ(QFile(QString::fromLatin1(link::kProgLogName)).size(), 0);
}

} // namespace
} // namespace k8w::test
