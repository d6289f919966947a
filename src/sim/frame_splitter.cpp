#include "sim/frame_splitter.h"

#include <algorithm>

namespace k8w::sim {

namespace {
constexpr std::uint8_t kBlockStart = 0x3A;
}

FrameSplitter::FrameSplitter(std::vector<std::string> tokens, std::uint32_t staleMs)
    : tokens_(std::move(tokens)), staleMs_(staleMs) {}

std::vector<Frame> FrameSplitter::feed(const std::uint8_t* bytes, std::size_t count,
                                       std::uint32_t nowMs) {
    std::vector<Frame> frames;
    if (!buffer_.empty() && nowMs - lastFeedMs_ > staleMs_) {
        frames.push_back({Frame::Kind::Garbage, {}, buffer_});
        buffer_.clear();
    }
    lastFeedMs_ = nowMs;
    buffer_.insert(buffer_.end(), bytes, bytes + count);
    while (take(frames)) {
    }
    return frames;
}

void FrameSplitter::setPacketFraming(std::uint8_t start,
                                     std::function<std::size_t(std::uint8_t code)> lengthOf) {
    packetStart_ = start;
    packetLength_ = std::move(lengthOf);
}

bool FrameSplitter::take(std::vector<Frame>& frames) {
    if (buffer_.empty()) return false;
    auto emit = [&](Frame::Kind kind, std::size_t length, std::string token = {}) {
        Frame frame{kind, std::move(token), {buffer_.begin(), buffer_.begin() + length}};
        buffer_.erase(buffer_.begin(), buffer_.begin() + length);
        if (kind == Frame::Kind::Garbage && !frames.empty() &&
            frames.back().kind == Frame::Kind::Garbage)
            frames.back().bytes.insert(frames.back().bytes.end(), frame.bytes.begin(), frame.bytes.end());
        else
            frames.push_back(std::move(frame));
    };

    if (packetLength_ && buffer_[0] == packetStart_) {
        if (buffer_.size() < 2) return false;
        const std::size_t length = std::max<std::size_t>(2, packetLength_(buffer_[1]));
        if (buffer_.size() < length) return false;
        emit(Frame::Kind::Packet, length);
        return true;
    }

    if (buffer_[0] == kBlockStart) {
        if (buffer_.size() < 2) return false;
        const std::size_t length = std::size_t{buffer_[1]} + 3;
        if (buffer_.size() < length) return false;
        emit(Frame::Kind::Block, length);
        return true;
    }

    const std::string* complete = nullptr;  // longest token the buffer starts with
    bool longerPossible = false;           // the buffer may still grow into a longer token
    for (const std::string& token : tokens_) {
        const std::size_t common = std::min(token.size(), buffer_.size());
        if (!std::equal(token.begin(), token.begin() + static_cast<std::ptrdiff_t>(common),
                        buffer_.begin()))
            continue;
        if (token.size() <= buffer_.size()) {
            if (!complete || token.size() > complete->size()) complete = &token;
        } else {
            longerPossible = true;
        }
    }
    if (complete) {
        // "PROG_K8W" alone is taken; "PROG_K8W_C" waits for the rest of a longer token.
        if (longerPossible && buffer_.size() > complete->size()) return false;
        emit(Frame::Kind::Token, complete->size(), *complete);
        return true;
    }
    if (longerPossible) return false;
    emit(Frame::Kind::Garbage, 1);
    return true;
}

} // namespace k8w::sim
