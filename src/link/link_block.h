#pragma once
#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace k8w::link {

// A link block: ':' , n, n data bytes, checksum. The end block has n = 0.
constexpr std::uint8_t kBlockStart = 0x3A;
constexpr std::size_t kBlockOverhead = 3;
constexpr std::size_t kBlockData = 32;  // data bytes of a full block
constexpr std::uint8_t kEndBlock[3] = {0x3A, 0x00, 0xC6};

// 0 minus the 8-bit sum of the bytes: a block is valid when all its bytes
// sum to 0.
std::uint8_t BlockChecksum(const std::uint8_t* bytes, std::size_t count);

// Every byte as two uppercase hexadecimal digits followed by a blank.
QString HexDump(const std::uint8_t* bytes, std::size_t count);

// Exact comparison of two zero-terminated byte strings.
bool SameReply(const std::uint8_t* reply, const char* token);

// A block carrying `count` bytes (at most 255), with its checksum.
std::vector<std::uint8_t> MakeBlock(const std::uint8_t* data, std::size_t count);

} // namespace k8w::link
