#include "link_fixture.h"

#include <atomic>
#include <thread>

namespace k8w::test {
namespace {

using link::FTDI_Controller;
using link::HexDump;
using sim::Fault;
using sim::FaultKind;
using sim::Phase;
using Op = sim::SimFtdiDriver::Op;

QString dumpOf(const Bytes& b) { return HexDump(b.data(), b.size()); }

Bytes block(const Bytes& data, std::size_t from, std::size_t n) {
    Bytes part(n, 0);
    for (std::size_t i = 0; i < n && from + i < data.size(); ++i) part[i] = data[from + i];
    return link::MakeBlock(part.data(), n);
}

const Bytes kEnd = {0x3A, 0x00, 0xC6};

TEST_F(LinkTest, WritesAnImageAsBlocksPacedByNextAndTheDeviceKeepsIt) {
    EXPECT_EQ(program(image), link::kLinkDone);
    EXPECT_EQ(device.storedImage(), image);
    // 18 blocks of 32 bytes, one of 9, the end block.
    Bytes expected = concat({bytes("PROG_K8W"), bytes("WRITE")});
    for (std::size_t at = 0; at < 576; at += 32) expected = concat({expected, block(image, at, 32)});
    expected = concat({expected, block(image, 576, 9), kEnd});
    EXPECT_EQ(written(), expected);
    EXPECT_EQ(driver.openHandles(), 0);
}

TEST_F(LinkTest, ReadyAndReadyNextPutTheSameBytesOnTheLine) {
    ASSERT_EQ(program(image), link::kLinkDone);
    const Bytes withReady = written();

    sim::SimDevice other(settings(true));
    sim::SimFtdiDriver otherDriver(clock);
    otherDriver.plug("FT4K8W01", &other);
    FTDI_Controller link(otherDriver, clock);
    ASSERT_EQ(link.Open(image.data(), static_cast<int>(image.size())), link::kOpenOk);
    ASSERT_EQ(link.Start(), link::kLinkDone);
    Bytes withReadyNext;
    for (const Bytes& w : otherDriver.writes()) withReadyNext.insert(withReadyNext.end(), w.begin(), w.end());
    EXPECT_EQ(withReadyNext, withReady);
    EXPECT_EQ(other.storedImage(), image);
}

TEST_F(LinkTest, ReadyNextSendsTheFirstBlockWithoutWaitingForNext) {
    device.setSettings(settings(true));
    const Bytes data(64, 0x11);
    ASSERT_EQ(program(data), link::kLinkDone);
    const QStringList lines = logLines();
    // "READYNEXT" at 210 ms and the first block at once, in the same millisecond.
    const int ready = static_cast<int>(lines.indexOf(QStringLiteral("(210) > [RX] ") + dumpOf(bytes("READYNEXT"))));
    ASSERT_GE(ready, 0) << lines.join('\n').toStdString();
    EXPECT_EQ(lines[ready + 1], QStringLiteral("(210) > [TX] ") + dumpOf(block(data, 0, 32)));
}

TEST_F(LinkTest, SixtyFourBytesGoAsTwoBlocksThenTheEndBlockOnTheThirdNext) {
    const Bytes data = sampleImage(64);
    ASSERT_EQ(program(data), link::kLinkDone);
    EXPECT_EQ(written(), concat({bytes("PROG_K8W"), bytes("WRITE"), block(data, 0, 32), block(data, 32, 32), kEnd}));
    EXPECT_EQ(device.storedImage(), data);
    EXPECT_EQ(logLines(),
              (QStringList{QStringLiteral("(0) > [TX] ==== START PROGRAMMING ===="),
                           QStringLiteral("(0) > [TX] PROG_K8W"),
                           QStringLiteral("(200) > [RX] 52 45 41 44 59 "),
                           QStringLiteral("(200) > [TX] WRITE"),
                           QStringLiteral("(210) > [RX] 52 45 41 44 59 "),
                           QStringLiteral("(230) > [RX] 4E 45 58 54 "),
                           QStringLiteral("(230) > [TX] ") + dumpOf(block(data, 0, 32)),
                           QStringLiteral("(240) > [RX] 4E 45 58 54 "),
                           QStringLiteral("(240) > [TX] ") + dumpOf(block(data, 32, 32)),
                           QStringLiteral("(250) > [RX] 4E 45 58 54 "),
                           QStringLiteral("(250) > [TX] 3A 00 C6 "),
                           QStringLiteral("(260) > [RX] 4F 4B ")}));
}

TEST_F(LinkTest, ShortDataAfterReadyGoesAsOneShortBlock) {
    const Bytes data = {1, 2, 3, 4, 5};
    ASSERT_EQ(program(data), link::kLinkDone);
    EXPECT_EQ(written(), concat({bytes("PROG_K8W"), bytes("WRITE"), link::MakeBlock(data.data(), 5), kEnd}));
    EXPECT_EQ(device.storedImage(), data);
}

TEST_F(LinkTest, ShortDataAfterReadyNextStillFillsTheFirstBlockWithZeros) {
    device.setSettings(settings(true));
    const Bytes data = {1, 2, 3, 4, 5};
    ASSERT_EQ(program(data), link::kLinkDone);
    Bytes padded = data;
    padded.resize(32, 0);
    EXPECT_EQ(written(), concat({bytes("PROG_K8W"), bytes("WRITE"), link::MakeBlock(padded.data(), 32), kEnd}));
    EXPECT_EQ(device.storedImage(), padded);
}

TEST_F(LinkTest, HandshakeNeverEndsWithoutADeviceAndLogsEachAttemptUntilStopped) {
    driver.unplug("FT4K8W01");
    driver.plug("FT4K8W01", nullptr);
    FTDI_Controller link(driver, clock);
    ASSERT_EQ(link.Open(image.data(), 585), link::kOpenOk);
    stopAt(link, 2000);
    EXPECT_EQ(link.Start(), link::kLinkStopped);
    clock.setListener(nullptr);
    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 11);
    EXPECT_EQ(lines[0], QStringLiteral("(0) > [TX] ==== START PROGRAMMING ===="));
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(lines[i + 1], QStringLiteral("(%1) > [TX] PROG_K8W").arg(200 * i));
    EXPECT_EQ(driver.writes().size(), 10u);
}

TEST_F(LinkTest, StopFromAnotherThreadEndsTheHandshake) {
    driver.unplug("FT4K8W01");
    driver.plug("FT4K8W01", nullptr);
    FTDI_Controller link(driver, clock);
    ASSERT_EQ(link.Open(image.data(), 585), link::kOpenOk);
    std::atomic<int> result{-1};
    std::thread worker([&] { result = link.Start(); });
    while (driver.calls(Op::Write) < 5) std::this_thread::yield();
    link.Stop();
    worker.join();
    EXPECT_EQ(result.load(), link::kLinkStopped);
    // One log line per attempt, nothing sent after the stop.
    EXPECT_EQ(countLines(logLines(), QStringLiteral("[TX] PROG_K8W")), driver.calls(Op::Write));
}

TEST_F(LinkTest, AStopBeforeStartIsKeptAndNothingIsSent) {
    FTDI_Controller link(driver, clock);
    ASSERT_EQ(link.Open(image.data(), 585), link::kOpenOk);
    link.Stop();
    EXPECT_EQ(link.Start(), link::kLinkStopped);
    EXPECT_TRUE(driver.writes().empty());
}

TEST_F(LinkTest, StartWithoutOpenReturnsOneAndSendsNothing) {
    FTDI_Controller link(driver, clock);
    EXPECT_EQ(link.Start(), link::kLinkCableFailure);
    driver.fail(Op::Open);
    EXPECT_EQ(link.Open(image.data(), 585), link::kOpenFailed);
    EXPECT_EQ(link.Start(), link::kLinkCableFailure);
    EXPECT_TRUE(driver.writes().empty());
    EXPECT_EQ(driver.calls(Op::GetStatus), 0);
}

TEST_F(LinkTest, ReadyWithALineEndIsNoReplyAndTheHandshakeGoesOn) {
    device.addFault({Phase::Handshake, FaultKind::Replace, -1, bytes("READY\r"), 0, 1});
    ASSERT_EQ(program(image), link::kLinkDone);
    const QStringList lines = logLines();
    EXPECT_EQ(countLines(lines, QStringLiteral("[TX] PROG_K8W")), 2);
    EXPECT_TRUE(lines.contains(QStringLiteral("(200) > [RX] 52 45 41 44 59 0D ")));
    EXPECT_TRUE(lines.contains(QStringLiteral("(200) > [TX] PROG_K8W")));
}

TEST_F(LinkTest, TwoTokensInOnePollMatchNothing) {
    device.addFault({Phase::Handshake, FaultKind::Replace, -1, bytes("READYREADY"), 0, 1});
    device.addFault({Phase::WriteRequest, FaultKind::Replace, -1, bytes("READYOK"), 0, 1});
    ASSERT_EQ(program(image), link::kLinkDone);
    const QStringList lines = logLines();
    EXPECT_EQ(countLines(lines, QStringLiteral("[TX] PROG_K8W")), 2);
    // "READYOK" is ignored: after 51 silent polls "WRITE" goes out again.
    EXPECT_EQ(countLines(lines, QStringLiteral("[TX] WRITE")), 2);
    EXPECT_EQ(device.storedImage(), image);
}

TEST_F(LinkTest, WriteIsRepeatedAfterEveryFiftyOneSilentPolls) {
    device.addFault({Phase::WriteRequest, FaultKind::Silence});
    FTDI_Controller link(driver, clock);
    ASSERT_EQ(link.Open(image.data(), 585), link::kOpenOk);
    stopAt(link, 200 + 51 * 10 * 3);  // three rounds of the write request
    EXPECT_EQ(link.Start(), link::kLinkStopped);
    clock.setListener(nullptr);
    QStringList writes;
    for (const QString& line : logLines())
        if (line.endsWith(QStringLiteral("[TX] WRITE"))) writes << line;
    EXPECT_EQ(writes, (QStringList{QStringLiteral("(200) > [TX] WRITE"), QStringLiteral("(710) > [TX] WRITE"),
                                   QStringLiteral("(1220) > [TX] WRITE")}));
}

TEST_F(LinkTest, ErrorInEachPhaseEndsWithThreeAndNothingIsStored) {
    for (const Phase phase : {Phase::Handshake, Phase::WriteRequest, Phase::WriteBlock, Phase::WriteEnd}) {
        sim::SimDevice failing;
        failing.addFault({phase, FaultKind::Error, phase == Phase::WriteBlock ? 5 : -1});
        sim::SimFtdiDriver cable(clock);
        cable.plug("A", &failing);
        FTDI_Controller link(cable, clock);
        ASSERT_EQ(link.Open(image.data(), 585), link::kOpenOk);
        EXPECT_EQ(link.Start(), link::kLinkDeviceFailure) << static_cast<int>(phase);
        EXPECT_EQ(failing.imagesStored(), 0);
    }
}

TEST_F(LinkTest, FourHundredSilentPollsAfterABlockGiveThree) {
    device.addFault({Phase::WriteBlock, FaultKind::Silence, 3});
    FTDI_Controller link(driver, clock);
    ASSERT_EQ(link.Open(image.data(), 585), link::kOpenOk);
    EXPECT_EQ(link.Start(), link::kLinkDeviceFailure);
    // Block 3 went out, then 400 polls, 401 waits of 10 ms.
    const QStringList lines = logLines();
    const QString lastBlock = lines.last();
    ASSERT_TRUE(lastBlock.endsWith(dumpOf(block(image, 96, 32)))) << lastBlock.toStdString();
    const int sentAt = lastBlock.mid(1, lastBlock.indexOf(')') - 1).toInt();
    EXPECT_EQ(clock.tickMs() - 1000, static_cast<std::uint32_t>(sentAt + 4010));
}

TEST_F(LinkTest, AReplyAtTheFourHundredthPollIsStillInTime) {
    // The device answers 1 ms after a request, plus the delay.
    device.addFault({Phase::WriteBlock, FaultKind::Delay, 3, {}, 3999, 1});
    EXPECT_EQ(program(image), link::kLinkDone);
    device.clearFaults();
    sim::SimDevice late;
    late.addFault({Phase::WriteBlock, FaultKind::Delay, 3, {}, 4000, 1});
    sim::SimFtdiDriver cable(clock);
    cable.plug("A", &late);
    FTDI_Controller link(cable, clock);
    ASSERT_EQ(link.Open(image.data(), 585), link::kOpenOk);
    EXPECT_EQ(link.Start(), link::kLinkDeviceFailure);
}

TEST_F(LinkTest, OtherRepliesDoNotResetTheBlockWait) {
    // Garbage 2 s after the block, then nothing: still 4 s in all.
    device.addFault({Phase::WriteBlock, FaultKind::Replace, 0, bytes("XYZ"), 2000, 1});
    FTDI_Controller link(driver, clock);
    ASSERT_EQ(link.Open(image.data(), 585), link::kOpenOk);
    EXPECT_EQ(link.Start(), link::kLinkDeviceFailure);
    EXPECT_TRUE(logLines().contains(QStringLiteral("(230) > [TX] ") + dumpOf(block(image, 0, 32))));
    EXPECT_EQ(clock.tickMs() - 1000, 230u + 4010u);
}

TEST_F(LinkTest, DriverFailuresDuringTheExchangeGiveOne) {
    struct Case {
        Op op;
        int after;
    };
    for (const Case c : {Case{Op::Write, 0}, Case{Op::Write, 1}, Case{Op::Write, 5}, Case{Op::GetStatus, 0},
                         Case{Op::GetStatus, 20}, Case{Op::Read, 0}, Case{Op::Read, 4}}) {
        sim::SimDevice d;
        sim::SimFtdiDriver cable(clock);
        cable.plug("A", &d);
        FTDI_Controller link(cable, clock);
        ASSERT_EQ(link.Open(image.data(), 585), link::kOpenOk);
        cable.fail(c.op, c.after);
        const int writesBefore = cable.calls(Op::Write);
        EXPECT_EQ(link.Start(), link::kLinkCableFailure) << static_cast<int>(c.op) << " after " << c.after;
        // Nothing is sent after the failure.
        if (c.op == Op::Write) {
            EXPECT_EQ(cable.calls(Op::Write) - writesBefore, c.after + 1);
        }
    }
}

TEST_F(LinkTest, AShortWriteOfWriteOrOfABlockGivesOneButOfTheHandshakeDoesNot) {
    {
        sim::SimDevice d;
        sim::SimFtdiDriver cable(clock);
        cable.plug("A", &d);
        FTDI_Controller link(cable, clock);
        ASSERT_EQ(link.Open(image.data(), 585), link::kOpenOk);
        cable.shortWrites(4, 1);  // "WRITE" goes out as "WRIT"
        EXPECT_EQ(link.Start(), link::kLinkCableFailure);
        EXPECT_EQ(cable.writes().size(), 2u);
    }
    {
        sim::SimDevice d;
        sim::SimFtdiDriver cable(clock);
        cable.plug("A", &d);
        FTDI_Controller link(cable, clock);
        ASSERT_EQ(link.Open(image.data(), 585), link::kOpenOk);
        cable.shortWrites(30, 4);  // the third block is cut short
        EXPECT_EQ(link.Start(), link::kLinkCableFailure);
        EXPECT_EQ(cable.writes().size(), 5u);
    }
    {
        // A cut "PROG_K8W" is not checked: the handshake just tries again.
        FTDI_Controller link(driver, clock);
        ASSERT_EQ(link.Open(image.data(), 585), link::kOpenOk);
        driver.shortWrites(3, 0);
        stopAt(link, 1000);
        EXPECT_EQ(link.Start(), link::kLinkStopped);
        clock.setListener(nullptr);
        EXPECT_EQ(driver.writes().size(), 5u);
    }
}

TEST_F(LinkTest, AnUnpluggedCableFailsTheExchangeWithOne) {
    FTDI_Controller link(driver, clock);
    ASSERT_EQ(link.Open(image.data(), 585), link::kOpenOk);
    clock.setListener([this](std::uint32_t now) {
        if (now >= 1400) driver.unplug("FT4K8W01");
    });
    EXPECT_EQ(link.Start(), link::kLinkCableFailure);
    clock.setListener(nullptr);
}

TEST_F(LinkTest, DataOfZeroBytesSendsThePaddedFirstBlockOrOnlyTheEndBlock) {
    FTDI_Controller link(driver, clock);
    ASSERT_EQ(link.Open(nullptr, 0), link::kOpenOk);
    EXPECT_EQ(link.DataLength(), 0);
    EXPECT_EQ(link.Start(), link::kLinkDone);
    EXPECT_EQ(written(), concat({bytes("PROG_K8W"), bytes("WRITE"), kEnd}));
}

} // namespace
} // namespace k8w::test
