#include "link_fixture.h"

namespace k8w::test {
namespace {

using link::FTDI_ReadCtrl;
using link::HexDump;
using sim::Fault;
using sim::FaultKind;
using sim::Phase;
using Op = sim::SimFtdiDriver::Op;

class ReadTest : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        sim::DeviceSettings s;
        s.version = {2, 5, 17};
        device.setSettings(s);
        device.setStoredImage(image);
    }
    int readBack(FTDI_ReadCtrl& link) {
        EXPECT_EQ(link.Open(nullptr, 0), link::kOpenOk);
        return link.Start();
    }
    Bytes data(const FTDI_ReadCtrl& link) {
        return Bytes(link.Data(), link.Data() + link.DataLength());
    }
    Bytes lastWrite() const { return driver.writes().back(); }
};

TEST_F(ReadTest, ReadsTheStoredImageAndTheVersion) {
    FTDI_ReadCtrl link(driver, clock);
    ASSERT_EQ(readBack(link), link::kLinkDone);
    EXPECT_EQ(data(link), image);
    EXPECT_EQ(link.VersionText(), QStringLiteral("2.5.17"));
    EXPECT_EQ(lastWrite(), bytes("OK"));
    // 19 data blocks (18 of 32 bytes, one of 9) and the end block, each asked for.
    EXPECT_EQ(countLines(logLines(), QStringLiteral("[TX] 4E 45 58 54 ")), 20);
    EXPECT_EQ(device.received().back(), "OK");
}

TEST_F(ReadTest, LogsEveryStepLineForLine) {
    const Bytes small = sampleImage(40);
    device.setStoredImage(small);
    FTDI_ReadCtrl link(driver, clock);
    ASSERT_EQ(readBack(link), link::kLinkDone);
    const std::uint8_t v[] = {2, 5, 17};
    const Bytes version = link::MakeBlock(v, 3);
    const Bytes b0 = link::MakeBlock(small.data(), 32);
    const Bytes b1 = link::MakeBlock(small.data() + 32, 8);
    EXPECT_EQ(logLines(), (QStringList{
                              QStringLiteral("(0) > [TX] ==== START READING ===="),
                              QStringLiteral("(0) > [TX] PROG_K8W"),
                              QStringLiteral("(200) > [RX] 52 45 41 44 59 "),
                              QStringLiteral("(200) > [TX] DEVICE"),
                              QStringLiteral("(700) > [RX] ") + HexDump(version.data(), version.size()),
                              QStringLiteral("(700) > [TX] READ"),
                              QStringLiteral("(1200) > [RX] 52 45 41 44 59 "),
                              QStringLiteral("(1200) > [TX] 4E 45 58 54 "),
                              QStringLiteral("(1210) > [RX] ") + HexDump(b0.data(), b0.size()),
                              QStringLiteral("(1210) > [TX] 4E 45 58 54 "),
                              QStringLiteral("(1220) > [RX] ") + HexDump(b1.data(), b1.size()),
                              QStringLiteral("(1220) > [TX] 4E 45 58 54 "),
                              QStringLiteral("(1230) > [RX] 3A 00 C6 "),
                          }));
    EXPECT_EQ(data(link), small);
}

TEST_F(ReadTest, AVersionReplyOfSevenBytesIsRefusedFourTimesAndReadingGoesOn) {
    const std::uint8_t v[] = {2, 5, 17};
    device.addFault({Phase::Version, FaultKind::Replace, -1, concat({link::MakeBlock(v, 3), Bytes{0}})});
    FTDI_ReadCtrl link(driver, clock);
    ASSERT_EQ(readBack(link), link::kLinkDone);
    EXPECT_EQ(link.VersionText(), QStringLiteral("Н/Д"));
    EXPECT_EQ(countLines(logLines(), QStringLiteral("[TX] DEVICE")), 4);
    EXPECT_EQ(data(link), image);
}

TEST_F(ReadTest, AnErrorToDeviceOnlyCostsAnAttempt) {
    device.addFault({Phase::Version, FaultKind::Error, -1, {}, 0, 3});
    FTDI_ReadCtrl link(driver, clock);
    ASSERT_EQ(readBack(link), link::kLinkDone);
    EXPECT_EQ(countLines(logLines(), QStringLiteral("[TX] DEVICE")), 4);
    EXPECT_EQ(link.VersionText(), QStringLiteral("2.5.17"));
}

TEST_F(ReadTest, AVersionBlockWithABadChecksumIsRefused) {
    device.addFault({Phase::Version, FaultKind::Corrupt});
    FTDI_ReadCtrl link(driver, clock);
    ASSERT_EQ(readBack(link), link::kLinkDone);
    EXPECT_EQ(link.VersionText(), QStringLiteral("Н/Д"));
}

TEST_F(ReadTest, VersionNumbersAreShownUnsigned) {
    sim::DeviceSettings s;
    s.version = {255, 0, 128};
    device.setSettings(s);
    FTDI_ReadCtrl link(driver, clock);
    ASSERT_EQ(readBack(link), link::kLinkDone);
    EXPECT_EQ(link.VersionText(), QStringLiteral("255.0.128"));
}

TEST_F(ReadTest, ErrorToReadOrToTheHandshakeGivesThree) {
    for (const Phase phase : {Phase::Handshake, Phase::ReadRequest}) {
        sim::SimDevice d;
        d.setStoredImage(image);
        d.addFault({phase, FaultKind::Error});
        sim::SimFtdiDriver cable(clock);
        cable.plug("A", &d);
        FTDI_ReadCtrl link(cable, clock);
        ASSERT_EQ(link.Open(nullptr, 0), link::kOpenOk);
        EXPECT_EQ(link.Start(), link::kLinkDeviceFailure);
        EXPECT_NE(cable.writes().back(), bytes("ERROR"));
    }
}

TEST_F(ReadTest, ABlockWithABadChecksumFailsAndTheUtilitySaysError) {
    device.addFault({Phase::ReadBlock, FaultKind::Corrupt, 2});
    FTDI_ReadCtrl link(driver, clock);
    EXPECT_EQ(readBack(link), link::kLinkDeviceFailure);
    EXPECT_EQ(lastWrite(), bytes("ERROR"));
    EXPECT_EQ(countLines(logLines(), QStringLiteral("[TX] 4E 45 58 54 ")), 3);
}

TEST_F(ReadTest, AnOversizedBlockIsIgnoredAndTwoHundredEmptyPollsFail) {
    device.addFault({Phase::ReadBlock, FaultKind::Oversize, 1});
    FTDI_ReadCtrl link(driver, clock);
    EXPECT_EQ(readBack(link), link::kLinkDeviceFailure);
    EXPECT_EQ(lastWrite(), bytes("ERROR"));
    // The second "NEXT" at 1210 ms, then 200 polls and 201 waits.
    EXPECT_EQ(countLines(logLines(), QStringLiteral("[TX] 4E 45 58 54 ")), 2);
    EXPECT_EQ(clock.tickMs() - 1000, 1210u + 2010u);
}

TEST_F(ReadTest, ABlockAtTheTwoHundredthPollIsInTimeOneLaterIsNot) {
    device.addFault({Phase::ReadBlock, FaultKind::Delay, 3, {}, 1999, 1});
    {
        FTDI_ReadCtrl link(driver, clock);
        ASSERT_EQ(readBack(link), link::kLinkDone);
        EXPECT_EQ(data(link), image);
    }
    device.addFault({Phase::ReadBlock, FaultKind::Delay, 3, {}, 2000, 1});
    FTDI_ReadCtrl link(driver, clock);
    EXPECT_EQ(readBack(link), link::kLinkDeviceFailure);
}

TEST_F(ReadTest, RepliesThatAreNoBlockAreIgnored) {
    device.addFault({Phase::ReadBlock, FaultKind::Error, 4});
    FTDI_ReadCtrl link(driver, clock);
    EXPECT_EQ(readBack(link), link::kLinkDeviceFailure);
    EXPECT_EQ(countLines(logLines(), QStringLiteral("[TX] 4E 45 58 54 ")), 5);
}

TEST_F(ReadTest, ExactlyFourThousandNinetySixBytesAreAcceptedOneMoreFails) {
    const Bytes full = sampleImage(4096);
    device.setStoredImage(full);
    {
        FTDI_ReadCtrl link(driver, clock);
        ASSERT_EQ(readBack(link), link::kLinkDone);
        EXPECT_EQ(data(link), full);
    }
    device.setStoredImage(sampleImage(4097));
    FTDI_ReadCtrl link(driver, clock);
    EXPECT_EQ(readBack(link), link::kLinkDeviceFailure);
    EXPECT_EQ(lastWrite(), bytes("ERROR"));
}

TEST_F(ReadTest, AnEndBlockWithMoreBytesIsAnEmptyBlockAndIsAnsweredWithNext) {
    device.addFault({Phase::ReadBlock, FaultKind::Replace, 19, Bytes{0x3A, 0x00, 0xC6, 'Z'}, 0, 1});
    FTDI_ReadCtrl link(driver, clock);
    ASSERT_EQ(readBack(link), link::kLinkDone);
    EXPECT_EQ(countLines(logLines(), QStringLiteral("[TX] 4E 45 58 54 ")), 21);
    EXPECT_EQ(data(link), image);
}

TEST_F(ReadTest, ABlockCutShortIsRefusedEvenWhenItsZerosWouldSumRight) {
    // ':' 32 0xA6 sums to 0: zeros in place of the 31 missing bytes and the
    // checksum would pass for a block, but the device never sent them.
    device.addFault({Phase::ReadBlock, FaultKind::Replace, 0, Bytes{0x3A, 0x20, 0xA6}, 0, 1});
    FTDI_ReadCtrl link(driver, clock);
    EXPECT_EQ(readBack(link), link::kLinkDeviceFailure);
    EXPECT_EQ(lastWrite(), bytes("ERROR"));
}

TEST_F(ReadTest, AnImageOfAnyLengthIsHandedOverUnchecked) {
    Bytes odd = image;
    odd.pop_back();
    device.setStoredImage(odd);
    FTDI_ReadCtrl link(driver, clock);
    ASSERT_EQ(readBack(link), link::kLinkDone);
    EXPECT_EQ(link.DataLength(), 584);
}

TEST_F(ReadTest, StopInTheBlockPhaseGivesTwoAndSendsNothingMore) {
    FTDI_ReadCtrl link(driver, clock);
    ASSERT_EQ(link.Open(nullptr, 0), link::kOpenOk);
    stopAt(link, 1255);
    EXPECT_EQ(link.Start(), link::kLinkStopped);
    clock.setListener(nullptr);
    EXPECT_EQ(lastWrite(), bytes("NEXT"));
    EXPECT_EQ(link.VersionText(), QStringLiteral("2.5.17"));
}

TEST_F(ReadTest, StopInTheHandshakeGivesTwo) {
    driver.unplug("FT4K8W01");
    driver.plug("B", nullptr);
    FTDI_ReadCtrl link(driver, clock);
    ASSERT_EQ(link.Open(nullptr, 0), link::kOpenOk);
    stopAt(link, 600);
    EXPECT_EQ(link.Start(), link::kLinkStopped);
    clock.setListener(nullptr);
    EXPECT_EQ(driver.writes().size(), 3u);
    EXPECT_EQ(link.VersionText(), QStringLiteral("Н/Д"));
}

TEST_F(ReadTest, AShortNextGivesOne) {
    FTDI_ReadCtrl link(driver, clock);
    ASSERT_EQ(link.Open(nullptr, 0), link::kOpenOk);
    driver.shortWrites(2, 3);  // PROG_K8W, DEVICE, READ whole; the first NEXT cut
    EXPECT_EQ(link.Start(), link::kLinkCableFailure);
    EXPECT_EQ(driver.writes().size(), 4u);
}

} // namespace
} // namespace k8w::test
