#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace k8w::sim {

// One unit the device takes from the line.
struct Frame {
    enum class Kind { Token, Block, Garbage, Packet };
    Kind kind = Kind::Garbage;
    std::string token;               // Kind::Token
    std::vector<std::uint8_t> bytes; // every byte of the frame
};

// Splits the byte stream from the utility into frames. Tokens carry no
// terminator, so they are recognised as the bytes arrive: a burst that holds
// a whole known token gives it (the longest that fits), bytes that cannot
// begin any token or block are garbage, and a token or block cut off at the
// end of a burst waits for the next one. Bytes left waiting longer than
// `staleMs` are dropped as garbage when new ones come.
class FrameSplitter {
public:
    explicit FrameSplitter(std::vector<std::string> tokens, std::uint32_t staleMs = 200);

    std::vector<Frame> feed(const std::uint8_t* bytes, std::size_t count, std::uint32_t nowMs);
    // Also frames command packets: `start`, a code, the rest; `lengthOf(code)`
    // gives the whole packet's length. Off until set; an empty function turns
    // it off again.
    void setPacketFraming(std::uint8_t start, std::function<std::size_t(std::uint8_t code)> lengthOf);
    void clear() { buffer_.clear(); }
    std::size_t waitingBytes() const { return buffer_.size(); }

private:
    // Takes one frame off the front of the buffer when one is complete.
    bool take(std::vector<Frame>& frames);

    std::vector<std::string> tokens_;
    std::uint32_t staleMs_;
    std::vector<std::uint8_t> buffer_;
    std::uint32_t lastFeedMs_ = 0;
    std::uint8_t packetStart_ = 0;
    std::function<std::size_t(std::uint8_t)> packetLength_;
};

} // namespace k8w::sim
