#include "link/link_block.h"

#include <gtest/gtest.h>

namespace k8w::link {
namespace {

TEST(LinkBlock, ChecksumMakesTheBlockSumToZero) {
    const std::uint8_t bytes[] = {0x3A, 0x03, 1, 2, 3};
    EXPECT_EQ(BlockChecksum(bytes, 5), static_cast<std::uint8_t>(0 - (0x3A + 3 + 6)));
    EXPECT_EQ(BlockChecksum(kEndBlock, 2), 0xC6);
    EXPECT_EQ(BlockChecksum(bytes, 0), 0);
    const std::uint8_t wrap[] = {0xFF, 0xFF, 0x02};
    EXPECT_EQ(BlockChecksum(wrap, 3), 0);
}

TEST(LinkBlock, MakeBlockFramesTheData) {
    const std::uint8_t data[] = {0x10, 0x20};
    EXPECT_EQ(MakeBlock(data, 2), (std::vector<std::uint8_t>{0x3A, 2, 0x10, 0x20, 0x94}));
    EXPECT_EQ(MakeBlock(nullptr, 0), (std::vector<std::uint8_t>{0x3A, 0x00, 0xC6}));
}

TEST(LinkBlock, HexDumpIsUppercaseWithATrailingBlank) {
    const std::uint8_t bytes[] = {0x3A, 0x00, 0xC6, 0x0f};
    EXPECT_EQ(HexDump(bytes, 4), QStringLiteral("3A 00 C6 0F "));
    EXPECT_EQ(HexDump(bytes, 0), QString());
}

TEST(LinkBlock, RepliesCompareAsWholeZeroTerminatedStrings) {
    const std::uint8_t ready[] = "READY";
    const std::uint8_t readyCr[] = "READY\r";
    const std::uint8_t readyNext[] = "READYNEXT";
    EXPECT_TRUE(SameReply(ready, "READY"));
    EXPECT_FALSE(SameReply(readyCr, "READY"));
    EXPECT_FALSE(SameReply(readyNext, "READY"));
    EXPECT_FALSE(SameReply(ready, "READYNEXT"));
    const std::uint8_t empty[] = "";
    EXPECT_FALSE(SameReply(empty, "OK"));
}

} // namespace
} // namespace k8w::link
