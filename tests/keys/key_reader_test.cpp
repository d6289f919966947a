// The four-hit rule of the key worker against the simulated reader, in
// virtual time.
#include "common/virtual_clock.h"
#include "keys/key_code.h"
#include "keys/key_reader.h"
#include "sim/sim_one_wire_port.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace k8w::keys {
namespace {

using sim::SimOneWirePort;

const SimOneWirePort::Identity kKeyA = SimOneWirePort::KeyIdentity(0x0000'0102'0304'0506ULL);
const SimOneWirePort::Identity kKeyB = SimOneWirePort::KeyIdentity(0x0000'0A0B'0C0D'0E0FULL);

class KeyReader : public ::testing::Test {
protected:
    VirtualClock clock;
    SimOneWirePort port{clock, 50};  // one read every 50 ms of virtual time
    KeyReaderFlags flags;
    std::atomic<bool> stop{false};
    std::vector<int> progress;
    KeyCode code{};

    // Reads until done; `maxReads` stops an endless run.
    void read(int maxReads = 1000) {
        ReadKeyFourHits(port, clock, flags, stop,
                        [&](int hits) {
                            progress.push_back(hits);
                            if (static_cast<int>(progress.size()) >= maxReads) stop.store(true);
                        },
                        code.data());
    }
};

TEST_F(KeyReader, AKeyHeldOnTheReaderCountsEveryMoreThan300Ms) {
    port.touch(kKeyA, 0, 10'000);
    read();
    ASSERT_TRUE(flags.keyRead);
    EXPECT_FALSE(flags.readerFailure);
    EXPECT_EQ(code, KeyCodeFromIdentity(kKeyA.data()));
    // Reads every 50 ms: the second read counts at once, the third and fourth
    // only once more than 300 ms have passed since the previous count.
    EXPECT_EQ(progress, (std::vector<int>{1, 2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 4}));
    EXPECT_EQ(port.openHandles(), 0) << "the port is closed at the end";
}

TEST_F(KeyReader, LiftingTheKeyKeepsTheCount) {
    // Touches of 60 ms every 400 ms give one read each; the reads between find no key.
    for (std::uint32_t at = 0; at < 4000; at += 400) port.touch(kKeyA, at + 20, 60);
    read();
    ASSERT_TRUE(flags.keyRead);
    std::vector<int> counted;
    for (int hits : progress)
        if (counted.empty() || counted.back() != hits) counted.push_back(hits);
    EXPECT_EQ(counted, (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(KeyReader, AlternatingKeysNeverReachFourHits) {
    port.touch(kKeyA, 0, 100);
    port.touch(kKeyB, 100, 100);
    port.repeatEvery(200);
    read(400);
    EXPECT_FALSE(flags.keyRead);
    EXPECT_FALSE(flags.readerFailure);
    EXPECT_LE(*std::max_element(progress.begin(), progress.end()), 2);
}

TEST_F(KeyReader, AnotherKeyRestartsTheCountWithoutBeingRemembered) {
    port.touch(kKeyA, 0, 110);     // reads at 50 and 100: A, A
    port.touch(kKeyB, 110, 50);    // read at 150: B resets the count
    port.touch(kKeyA, 160, 3000);  // A starts a new one
    read();
    ASSERT_TRUE(flags.keyRead);
    EXPECT_EQ(code, KeyCodeFromIdentity(kKeyA.data()));
    ASSERT_GE(progress.size(), 4u);
    EXPECT_EQ((std::vector<int>(progress.begin(), progress.begin() + 4)), (std::vector<int>{1, 2, 0, 1}));
}

TEST_F(KeyReader, FailuresOfTheReader) {
    struct Case {
        const char* what;
        int ports;
        bool openFails;
        int failingRead;
        int readResult;
    };
    const Case cases[] = {
        {"no port listed", 0, false, 0, 0},
        {"port cannot be opened", 1, true, 0, 0},
        {"read result 1", 1, false, 1, 1},
        {"read result 2", 1, false, 3, 2},
        {"read result -1", 1, false, 2, -1},
    };
    for (const Case& c : cases) {
        SimOneWirePort failing(clock, 50);
        failing.touch(kKeyA, 0, 100'000);
        failing.setPortCount(c.ports);
        failing.failOpen(c.openFails);
        if (c.failingRead) failing.failRead(c.failingRead, c.readResult);
        KeyReaderFlags f;
        int reads = 0;
        ReadKeyFourHits(failing, clock, f, stop, [&](int) { ++reads; }, code.data());
        EXPECT_TRUE(f.readerFailure) << c.what;
        EXPECT_FALSE(f.keyRead) << c.what;
        // A failed read ends the loop at once, before any progress of its own.
        EXPECT_EQ(reads, c.failingRead ? c.failingRead - 1 : 0) << c.what;
        EXPECT_EQ(failing.openHandles(), 0) << c.what;
    }
}

TEST_F(KeyReader, TheDemoReadersTouchesGiveAKey) {
    port.scriptDemoTouches();
    read();
    EXPECT_TRUE(flags.keyRead);
}

TEST_F(KeyReader, StopEndsABlockedRead) {
    // No key at all: the reader blocks until it is stopped.
    std::thread worker([&] { read(); });
    while (port.reads() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    port.StopAll1WireOperations();
    stop.store(true);
    worker.join();
    EXPECT_FALSE(flags.keyRead);
    EXPECT_FALSE(flags.readerFailure);
    EXPECT_EQ(port.openHandles(), 0);
}

} // namespace
} // namespace k8w::keys
