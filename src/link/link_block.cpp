#include "link/link_block.h"

#include <cstring>

namespace k8w::link {

std::uint8_t BlockChecksum(const std::uint8_t* bytes, std::size_t count) {
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < count; ++i) sum = static_cast<std::uint8_t>(sum + bytes[i]);
    return static_cast<std::uint8_t>(0u - sum);
}

QString HexDump(const std::uint8_t* bytes, std::size_t count) {
    static const char kDigits[] = "0123456789ABCDEF";
    QString text;
    text.reserve(static_cast<qsizetype>(count * 3));
    for (std::size_t i = 0; i < count; ++i) {
        text += QLatin1Char(kDigits[bytes[i] >> 4]);
        text += QLatin1Char(kDigits[bytes[i] & 0x0F]);
        text += QLatin1Char(' ');
    }
    return text;
}

bool SameReply(const std::uint8_t* reply, const char* token) {
    return std::strcmp(reinterpret_cast<const char*>(reply), token) == 0;
}

std::vector<std::uint8_t> MakeBlock(const std::uint8_t* data, std::size_t count) {
    std::vector<std::uint8_t> block;
    block.reserve(count + kBlockOverhead);
    block.push_back(kBlockStart);
    block.push_back(static_cast<std::uint8_t>(count));
    if (count > 0) block.insert(block.end(), data, data + count);
    block.push_back(BlockChecksum(block.data(), block.size()));
    return block;
}

} // namespace k8w::link
