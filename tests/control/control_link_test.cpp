// The control link against the simulated device, in virtual time.
#include "control_fixture.h"

namespace k8w::test {
namespace {

using control::CtrlCommand;
using sim::Fault;
using sim::FaultKind;
using sim::Phase;
using Op = sim::SimFtdiDriver::Op;

constexpr std::array<std::uint16_t, 5> kDefaultLoops{4700, 4700, 4700, 4700, 4700};

TEST_F(ControlLinkTest, OpensTheFirstCableWithTimeoutsGreetsAndPollsTheStatus) {
    sim::SimDevice second;
    driver.plug("FT4K8W02", &second);
    device.setInputs({{1000, 2000, 60000, 0, 65535}, true, false});
    show();
    const auto config = driver.lastConfig();
    EXPECT_EQ(config.serial, "FT4K8W01");
    EXPECT_EQ(config.baud, 115200u);
    EXPECT_EQ(config.wordLength, 8);
    EXPECT_EQ(config.stopBits, 0);
    EXPECT_EQ(config.parity, 0);
    EXPECT_EQ(config.flow, 0);
    EXPECT_EQ(config.readTimeoutMs, 50u);
    EXPECT_EQ(config.writeTimeoutMs, 20u);
    EXPECT_EQ(driver.calls(Op::SetLatencyTimer), 0);
    EXPECT_EQ(greetings(), 1);

    link->PollStatus();
    EXPECT_EQ(link->PendingCount(), 1);
    ASSERT_TRUE(clock.run(5));
    EXPECT_EQ(link->PendingCount(), 0);
    const auto fetched = fetchAll(*link);
    ASSERT_EQ(fetched.size(), 1u);
    EXPECT_EQ(fetched[0].result, control::kCmdStatus);
    EXPECT_TRUE(fetched[0].text.isEmpty());
    EXPECT_EQ(fetched[0].reply.length, 12);
    const Bytes payload(fetched[0].reply.payload, fetched[0].reply.payload + 12);
    EXPECT_EQ(payload, statusPayload(0x00, 0x01, {1000, 2000, 60000, 0, 65535}));
    EXPECT_EQ(driver.writes().back(), (Bytes{0x51, 0x0C, 0xA3}));
}

TEST_F(ControlLinkTest, AnErrorToTheGreetingIsAnsweredByGreetingAgainUntilReady) {
    device.addFault({Phase::CtrlHandshake, FaultKind::Error, -1, {}, 0, 2});
    link->PollStatus();  // waits for the greeting
    link->StartLink();
    link->PollStatus();
    link->RequestHandshake();
    ASSERT_TRUE(clock.run(1000));
    EXPECT_EQ(greetings(), 3);
    EXPECT_EQ(lineOrder(), (std::vector<std::string>{"PROG_K8W_CTRL", "PROG_K8W_CTRL", "PROG_K8W_CTRL", "0C"}));
    const auto fetched = fetchAll(*link);
    ASSERT_EQ(fetched.size(), 1u);  // the poll queued before the start was dropped by it
    EXPECT_EQ(fetched[0].result, control::kCmdStatus);
}

TEST_F(ControlLinkTest, AnUnansweredStatusPollGoesOutThreeTimesThenTimesOutWith12) {
    device.addFault({Phase::CtrlStatus, FaultKind::Silence});
    show();
    link->PollStatus();
    ASSERT_TRUE(clock.run(3000));
    const auto sent = sendTimes(control::kCmdStatus);
    ASSERT_EQ(sent.size(), 3u);
    for (std::size_t i = 1; i < sent.size(); ++i) {
        EXPECT_GE(sent[i] - sent[i - 1], 200u);
        EXPECT_LE(sent[i] - sent[i - 1], 210u);
    }
    const auto fetched = fetchAll(*link);
    ASSERT_EQ(fetched.size(), 1u);
    EXPECT_EQ(fetched[0].result, control::kFetchLinkError);
    EXPECT_EQ(fetched[0].text, QStringLiteral("Таймаут ожидания ответа, cmd = 12"));
    EXPECT_EQ(link->PendingCount(), 0);
}

// The window fetches the timeout while the link thread may already be
// sending the next command: the text still names the one that timed out.
TEST_F(ControlLinkTest, ATimeoutNamesItsCommandWhenTheLinkTakesTheNextOneMeanwhile) {
    device.addFault({Phase::CtrlStatus, FaultKind::Silence});
    show();
    link->PollStatus();
    link->RequestKey();  // waits behind the poll's resends
    ASSERT_TRUE(clock.run(1000));
    ASSERT_TRUE(sendTimes(control::kCmdReadKey).empty());
    bool ranOn = false;
    link->SetFailureTakenHook([&] { ranOn = clock.run(10); });
    const Fetched timeout = fetchOne(*link);
    link->SetFailureTakenHook({});
    ASSERT_TRUE(ranOn);
    EXPECT_EQ(sendTimes(control::kCmdReadKey).size(), 1u);  // the race did happen
    EXPECT_EQ(timeout.result, control::kFetchLinkError);
    EXPECT_EQ(timeout.text, QStringLiteral("Таймаут ожидания ответа, cmd = 12"));
    EXPECT_EQ(fetchOne(*link).result, control::kCmdReadKey);
}

struct SetOutputsCase {
    int bit;
    std::uint32_t timeoutMs;
};

class SetOutputsTimeout : public ControlLinkTest, public ::testing::WithParamInterface<SetOutputsCase> {};

TEST_P(SetOutputsTimeout, AnUnansweredSetOutputsTimesOutWith13AfterItsTimeoutWithoutResending) {
    const SetOutputsCase c = GetParam();
    device.addFault({Phase::CtrlOutputs, FaultKind::Silence});
    show();
    link->SetOutput(c.bit, true);
    ASSERT_TRUE(clock.run(c.timeoutMs));
    EXPECT_EQ(fetchOne(*link).result, control::kFetchNothing);
    EXPECT_EQ(link->PendingCount(), 1);
    ASSERT_TRUE(clock.run(1));
    const Fetched timeout = fetchOne(*link);
    EXPECT_EQ(timeout.result, control::kFetchLinkError);
    EXPECT_EQ(timeout.text, QStringLiteral("Таймаут ожидания ответа, cmd = 13"));
    ASSERT_TRUE(clock.run(3000));
    EXPECT_EQ(sendTimes(control::kCmdSetOutputs).size(), 1u);
    const auto mask = static_cast<std::uint8_t>(1u << c.bit);
    EXPECT_EQ(driver.writes().back(), (Bytes{0x51, 0x0D, mask, static_cast<std::uint8_t>(0xA2 - mask)}));
}

INSTANTIATE_TEST_SUITE_P(ControlLink, SetOutputsTimeout,
                         ::testing::Values(SetOutputsCase{control::kRelay2, 200},
                                           SetOutputsCase{control::kSimBit, 1000}));

TEST_F(ControlLinkTest, AReplyWithAWrongCheckByteIsDroppedAndTheCommandResentAfterItsTimeout) {
    device.addFault({Phase::CtrlStatus, FaultKind::Corrupt, -1, {}, 0, 1});
    show();
    link->PollStatus();
    ASSERT_TRUE(clock.run(100));
    EXPECT_EQ(fetchOne(*link).result, control::kFetchNothing);
    ASSERT_TRUE(clock.run(500));
    const auto sent = sendTimes(control::kCmdStatus);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1] - sent[0], 201u);
    const auto fetched = fetchAll(*link);
    ASSERT_EQ(fetched.size(), 1u);
    EXPECT_EQ(fetched[0].result, control::kCmdStatus);
}

TEST_F(ControlLinkTest, AStatusReplyWhileSetOutputsWaitsOverwritesTheMaskWithTheDevicesBits) {
    // The device answers the poll twice; the second status comes while the
    // set-outputs command queued behind the poll awaits its answer.
    answerNextPollWith(device, {sim::controlReply(0x0C, statusPayload(0x00, 0x03, kDefaultLoops)),
                                sim::controlReply(0x0C, statusPayload(0x44, 0x03, kDefaultLoops))});
    device.addFault({Phase::CtrlOutputs, FaultKind::Delay, -1, {}, 100, 1});
    show();
    link->PollStatus();
    link->SetOutput(control::kRelay1, true);
    EXPECT_EQ(link->OutputMask(), 0x01);
    ASSERT_TRUE(clock.run(50));
    EXPECT_EQ(sendTimes(control::kCmdSetOutputs).size(), 1u);
    EXPECT_EQ(link->PendingCount(), 1);
    EXPECT_EQ(link->OutputMask(), 0x44);
    ASSERT_TRUE(clock.run(100));
    const auto fetched = fetchAll(*link);
    ASSERT_EQ(fetched.size(), 3u);
    EXPECT_EQ(fetched[1].result, control::kCmdStatus);
    EXPECT_EQ(fetched[2].result, control::kCmdSetOutputs);
    EXPECT_EQ(fetched[2].text, QStringLiteral("Установлено значение выходов: 44 "));
    EXPECT_EQ(device.outputs(), 0x01);
}

TEST_F(ControlLinkTest, ADeviceErrorReplyFourIsShownAndEmptiesBothQueues) {
    device.addFault({Phase::CtrlStatus, FaultKind::Replace, -1, sim::controlReply(0xFF, {4}), 0, 1});
    device.addFault({Phase::CtrlKey, FaultKind::Delay, -1, {}, 50});
    show();
    link->PollStatus();
    link->RequestKey();
    link->PollStatus();
    ASSERT_TRUE(clock.run(20));  // the error is in, the key request awaits its answer
    EXPECT_EQ(link->PendingCount(), 2);
    const Fetched error = fetchOne(*link);
    EXPECT_EQ(error.result, control::kReplyDeviceError);
    EXPECT_EQ(error.text, QStringLiteral("Ошибка: Нет такого кода команды"));
    EXPECT_EQ(link->PendingCount(), 0);
    EXPECT_EQ(fetchOne(*link).result, control::kFetchNothing);
    ASSERT_TRUE(clock.run(1000));
    EXPECT_EQ(sendTimes(control::kCmdStatus).size(), 1u);  // the second poll was dropped
    EXPECT_EQ(sendTimes(control::kCmdReadKey).size(), 1u);  // and the key request not resent
}

TEST_F(ControlLinkTest, APacketOfCodeD2IsReadWholeAndDropped) {
    // Byte 3 gives the rest: 0xD2 packets are 4 + 6 bytes here, then a status.
    const Bytes d2{0xAE, 0xD2, 0x00, 0x04, 0x0C, 0x0C, 0x0C, 0x0C, 0x11, 0x22};
    answerNextPollWith(device, {d2, sim::controlReply(0x0C, statusPayload(0x00, 0x03, {1, 2, 3, 4, 5}))});
    show();
    link->PollStatus();
    ASSERT_TRUE(clock.run(1000));
    const auto fetched = fetchAll(*link);
    ASSERT_EQ(fetched.size(), 1u);
    EXPECT_EQ(fetched[0].result, control::kCmdStatus);
    EXPECT_EQ(Bytes(fetched[0].reply.payload, fetched[0].reply.payload + 12),
              statusPayload(0x00, 0x03, {1, 2, 3, 4, 5}));
    EXPECT_EQ(sendTimes(control::kCmdStatus).size(), 1u);
}

TEST_F(ControlLinkTest, ARepliesArrivingOneByteAtATimeAreCollected) {
    device.addFault({Phase::CtrlStatus, FaultKind::Trickle, -1, {}, 0, 1});
    device.presentKey({1, 2, 3, 4, 5, 6, 7, 8});
    show();
    link->PollStatus();
    link->RequestKey();
    ASSERT_TRUE(clock.run(1000));
    const auto fetched = fetchAll(*link);
    ASSERT_EQ(fetched.size(), 2u);
    EXPECT_EQ(fetched[0].result, control::kCmdStatus);
    EXPECT_EQ(fetched[0].reply.payload[1], 0x83);
    EXPECT_EQ(fetched[1].result, control::kCmdReadKey);
    EXPECT_EQ(fetched[1].text, QStringLiteral("Получен код ключа IButton"));
    EXPECT_EQ(Bytes(fetched[1].reply.payload, fetched[1].reply.payload + 8), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(sendTimes(control::kCmdStatus).size(), 1u);
}

TEST_F(ControlLinkTest, ALateReplyIsStillTakenWhenItComesBeforeTheTimeout) {
    device.addFault({Phase::CtrlOutputs, FaultKind::Delay, -1, {}, 150, 1});
    show();
    link->SetOutput(control::kBuzzer, true);
    link->SetOutput(control::kRedLed, true);
    ASSERT_TRUE(clock.run(1000));
    const auto fetched = fetchAll(*link);
    ASSERT_EQ(fetched.size(), 2u);
    EXPECT_EQ(fetched[0].text, QStringLiteral("Установлено значение выходов: 24 "));
    EXPECT_EQ(device.outputs(), 0x24);
    const auto sent = sendTimes(control::kCmdSetOutputs);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1] - sent[0], 151u);  // one at a time
}

TEST_F(ControlLinkTest, WithoutACableTheOpeningIsRetriedEveryThreeSecondsAndReportedWhileACommandWaits) {
    driver.unplug("FT4K8W01");
    link->StartLink();
    ASSERT_TRUE(clock.run(6500));
    EXPECT_EQ(driver.calls(Op::CreateList), 3);
    Fetched silent = fetchOne(*link);
    EXPECT_EQ(silent.result, control::kFetchLinkError);
    EXPECT_TRUE(silent.text.isEmpty());
    link->PollStatus();
    ASSERT_TRUE(clock.run(3000));
    const Fetched reported = fetchOne(*link);
    EXPECT_EQ(reported.result, control::kFetchLinkError);
    EXPECT_EQ(reported.text, QStringLiteral("Кабель FTDI не найден."));
}

TEST_F(ControlLinkTest, ACableThatCannotBeListedIsReportedAsASilentDriver) {
    driver.fail(Op::GetList);
    link->StartLink();
    ASSERT_TRUE(clock.run(10));
    const Fetched f = fetchOne(*link);
    EXPECT_EQ(f.result, control::kFetchLinkError);
    EXPECT_EQ(f.text, QStringLiteral("Драйвер FTDI не отвечает. Проверьте наличие драйвера и перезапустите программу."));
}

TEST_F(ControlLinkTest, ADriverFailurePausesTheLinkUntilTheFailureIsFetched) {
    show();
    driver.fail(Op::Write, 0, 1);
    link->PollStatus();
    ASSERT_TRUE(clock.run(1000));
    EXPECT_TRUE(clock.waitingForever());  // paused, not spinning
    EXPECT_TRUE(sendTimes(control::kCmdStatus).empty());
    const Fetched failure = fetchOne(*link);
    EXPECT_EQ(failure.result, control::kFetchLinkError);
    EXPECT_TRUE(failure.text.isEmpty());  // a driver status of its own has no text
    link->PollStatus();
    ASSERT_TRUE(clock.run(10));
    EXPECT_EQ(fetchOne(*link).result, control::kCmdStatus);
}

TEST_F(ControlLinkTest, AResendThatCannotBeWrittenIsTriedAgainAfterTheFailureIsFetched) {
    device.addFault({Phase::CtrlStatus, FaultKind::Silence, -1, {}, 0, 1});
    show();
    link->PollStatus();
    ASSERT_TRUE(clock.run(100));
    driver.fail(Op::Write, 0, 1);
    ASSERT_TRUE(clock.run(200));  // the resend fails
    EXPECT_EQ(link->PendingCount(), 1);
    EXPECT_EQ(fetchOne(*link).result, control::kFetchLinkError);
    ASSERT_TRUE(clock.run(10));
    EXPECT_EQ(fetchOne(*link).result, control::kCmdStatus);
    EXPECT_EQ(sendTimes(control::kCmdStatus).size(), 2u);
}

// As the "SIM 2" button does it: select, poll, greet again. The link may
// take the command before the greeting is asked for or after; asked while
// the command awaits its answer, the greeting waits for that answer.
class SimChange : public ControlLinkTest, public ::testing::WithParamInterface<bool> {};

TEST_P(SimChange, ASimChangeAskedWithAGreetingNeverLosesItsAnswerToTheGreeting) {
    const bool commandOnItsWay = GetParam();
    show();
    link->SelectSim(1);
    if (commandOnItsWay) {
        ASSERT_TRUE(clock.settle());
        ASSERT_EQ(sendTimes(control::kCmdSetOutputs).size(), 1u);
    }
    link->PollStatus();
    link->RequestHandshake();
    ASSERT_TRUE(clock.run(2000));
    const auto fetched = fetchAll(*link);
    ASSERT_EQ(fetched.size(), 2u);
    EXPECT_EQ(fetched[0].result, control::kCmdSetOutputs);
    EXPECT_EQ(fetched[1].result, control::kCmdStatus);
    EXPECT_EQ(fetched[1].reply.payload[0], 0x80);
    EXPECT_EQ(greetings(), 2);
    EXPECT_EQ(lineOrder().back(), "0C");
}

INSTANTIATE_TEST_SUITE_P(ControlLink, SimChange, ::testing::Bool());

TEST_F(ControlLinkTest, WhileTheLinkWaitsForNothingItWaitsWithoutADeadline) {
    show();
    EXPECT_TRUE(clock.waitingForever());
    link->PollStatus();
    ASSERT_TRUE(clock.run(5));
    EXPECT_TRUE(clock.waitingForever());
}

// A stop while the link waits anywhere ends the wait within 100 ms and
// closes the cable.
TEST_F(ControlLinkTest, AStopDuringTheWaitAfterAFailedOpeningEndsItAtOnce) {
    driver.unplug("FT4K8W01");
    link->StartLink();
    ASSERT_TRUE(clock.run(500));
    EXPECT_FALSE(clock.waitingForever());  // in the three-second wait
    link->StopLink();
    ASSERT_TRUE(clock.settle());
    EXPECT_TRUE(clock.waitingForever());  // idle, with no time passed
    ASSERT_TRUE(clock.run(10000));
    EXPECT_EQ(driver.calls(Op::CreateList), 1);
}

TEST_F(ControlLinkTest, AStopDuringTheGreetingEndsItAtOnce) {
    device.addFault({Phase::CtrlHandshake, FaultKind::Silence});
    link->StartLink();
    ASSERT_TRUE(clock.run(950));  // greeting a silent device, five times so far
    EXPECT_EQ(greetings(), 5);
    link->StopLink();
    ASSERT_TRUE(clock.settle());
    EXPECT_TRUE(clock.waitingForever());
    EXPECT_EQ(driver.openHandles(), 0);
}

TEST_F(ControlLinkTest, AStopDuringAByteReadEndsWithinOneReadTimeout) {
    auto trickle = Fault{Phase::CtrlStatus, FaultKind::Trickle};
    trickle.gapMs = 40;
    device.addFault(trickle);
    show();
    link->PollStatus();
    ASSERT_TRUE(clock.run(61));  // two bytes in, waiting for the third
    link->StopLink();
    ASSERT_TRUE(clock.run(50));
    EXPECT_TRUE(clock.waitingForever());
    EXPECT_EQ(driver.openHandles(), 0);
}

TEST_F(ControlLinkTest, StartingAgainDropsWhatWasQueuedAndGreetsAgain) {
    device.addFault({Phase::CtrlStatus, FaultKind::Silence, -1, {}, 0, 1});
    show();
    link->PollStatus();
    ASSERT_TRUE(clock.run(20));
    link->StopLink();
    ASSERT_TRUE(clock.run(100));
    link->PollStatus();
    show();
    EXPECT_EQ(link->PendingCount(), 0);
    EXPECT_EQ(fetchOne(*link).result, control::kFetchNothing);
    EXPECT_EQ(greetings(), 2);
}

} // namespace
} // namespace k8w::test
