#include "sim/frame_splitter.h"

#include <gtest/gtest.h>

namespace k8w::sim {
namespace {

std::vector<std::string> describe(const std::vector<Frame>& frames) {
    std::vector<std::string> out;
    for (const Frame& f : frames) {
        switch (f.kind) {
        case Frame::Kind::Token: out.push_back(f.token); break;
        case Frame::Kind::Block: out.push_back("block" + std::to_string(f.bytes.size())); break;
        case Frame::Kind::Garbage: out.push_back("?" + std::string(f.bytes.begin(), f.bytes.end())); break;
        case Frame::Kind::Packet: out.push_back("packet" + std::to_string(f.bytes.size())); break;
        }
    }
    return out;
}

class Splitter : public ::testing::Test {
protected:
    FrameSplitter splitter{{"PROG_K8W_CTRL", "PROG_K8W", "WRITE", "DEVICE", "READ", "NEXT", "OK", "ERROR"}};
    std::vector<std::string> feed(const std::string& text, std::uint32_t now = 0) {
        return describe(splitter.feed(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), now));
    }
};

TEST_F(Splitter, TakesWholeTokensAndSeveralInOneBurst) {
    EXPECT_EQ(feed("WRITE"), (std::vector<std::string>{"WRITE"}));
    EXPECT_EQ(feed("NEXTNEXTOK"), (std::vector<std::string>{"NEXT", "NEXT", "OK"}));
}

TEST_F(Splitter, AShorterTokenAloneIsTakenALongerOneWaitsForItsRest) {
    EXPECT_EQ(feed("PROG_K8W"), (std::vector<std::string>{"PROG_K8W"}));
    EXPECT_EQ(feed("PROG_K8W_C"), (std::vector<std::string>{}));
    EXPECT_EQ(feed("TRL"), (std::vector<std::string>{"PROG_K8W_CTRL"}));
    EXPECT_EQ(feed("PROG_K8WREAD"), (std::vector<std::string>{"PROG_K8W", "READ"}));
}

TEST_F(Splitter, ATokenCutBetweenBurstsIsJoined) {
    EXPECT_EQ(feed("DEV"), (std::vector<std::string>{}));
    EXPECT_EQ(feed("ICE"), (std::vector<std::string>{"DEVICE"}));
}

TEST_F(Splitter, BlocksAreCutByTheirLengthByte) {
    std::string block = ":";
    block += '\x02';
    block += "ab";
    block += '\x00';
    EXPECT_EQ(feed(block.substr(0, 3)), (std::vector<std::string>{}));
    EXPECT_EQ(feed(block.substr(3) + "NEXT"), (std::vector<std::string>{"block5", "NEXT"}));
    EXPECT_EQ(feed(std::string(":\0\xC6", 3)), (std::vector<std::string>{"block3"}));
}

TEST_F(Splitter, GarbageIsSetAsideAndTokensAfterItFound) {
    EXPECT_EQ(feed("xyzOK"), (std::vector<std::string>{"?xyz", "OK"}));
    EXPECT_EQ(feed("READX"), (std::vector<std::string>{"READ", "?X"}));
}

TEST_F(Splitter, BytesLeftWaitingTooLongAreDropped) {
    EXPECT_EQ(feed("PRO", 100), (std::vector<std::string>{}));
    EXPECT_EQ(feed("PROG_K8W", 400), (std::vector<std::string>{"?PRO", "PROG_K8W"}));
    EXPECT_EQ(splitter.waitingBytes(), 0u);
}

TEST_F(Splitter, FramesCommandPacketsByTheirCodeOnlyOnceAskedTo) {
    EXPECT_EQ(feed("Q\x0Cx"), (std::vector<std::string>{"?Q\x0Cx"}));
    splitter.setPacketFraming('Q', [](std::uint8_t code) -> std::size_t { return code == 'D' ? 4 : 3; });
    EXPECT_EQ(feed("Q\x0CxQD"), (std::vector<std::string>{"packet3"}));
    EXPECT_EQ(feed("abPROG_K8W_CTRL"), (std::vector<std::string>{"packet4", "PROG_K8W_CTRL"}));
}

} // namespace
} // namespace k8w::sim
