#include "sim/sim_device.h"

#include "link/link_block.h"

#include <algorithm>

namespace k8w::sim {

using link::BlockChecksum;
using link::MakeBlock;

namespace {

const std::vector<std::string> kHostTokens = {"PROG_K8W_CTRL", "PROG_K8W", "WRITE", "DEVICE",
                                               "READ",          "NEXT",     "OK",    "ERROR"};

std::string dump(const std::vector<std::uint8_t>& bytes) {
    return link::HexDump(bytes.data(), bytes.size()).toStdString();
}

} // namespace

std::vector<std::uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

SimDevice::SimDevice(DeviceSettings settings) : settings_(settings), splitter_(kHostTokens) {}

void SimDevice::setSettings(const DeviceSettings& settings) {
    std::lock_guard lock(mutex_);
    settings_ = settings;
}

void SimDevice::addFault(Fault fault) {
    std::lock_guard lock(mutex_);
    faults_.push_back(std::move(fault));
}

void SimDevice::clearFaults() {
    std::lock_guard lock(mutex_);
    faults_.clear();
}

void SimDevice::setStoredImage(std::vector<std::uint8_t> image) {
    std::lock_guard lock(mutex_);
    stored_ = std::move(image);
}

std::vector<std::uint8_t> SimDevice::storedImage() const {
    std::lock_guard lock(mutex_);
    return stored_;
}

int SimDevice::imagesStored() const {
    std::lock_guard lock(mutex_);
    return imagesStored_;
}

void SimDevice::setImageStoredListener(std::function<void(const std::vector<std::uint8_t>&)> listener) {
    std::lock_guard lock(mutex_);
    imageStored_ = std::move(listener);
}

std::vector<std::string> SimDevice::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

void SimDevice::receive(const std::uint8_t* bytes, std::size_t count, std::uint32_t nowMs) {
    bool stored = false;
    std::function<void(const std::vector<std::uint8_t>&)> listener;
    std::vector<std::uint8_t> image;
    {
        std::lock_guard lock(mutex_);
        for (const Frame& frame : splitter_.feed(bytes, count, nowMs)) onFrame(frame, nowMs, stored);
        if (stored) {
            listener = imageStored_;
            image = stored_;
        }
    }
    if (stored && listener) listener(image);
}

std::size_t SimDevice::available(std::uint32_t nowMs) const {
    std::lock_guard lock(mutex_);
    std::size_t total = 0;
    for (const Chunk& chunk : outbox_) {
        if (static_cast<std::int32_t>(nowMs - chunk.dueMs) < 0) break;
        total += chunk.bytes.size();
    }
    return total;
}

std::size_t SimDevice::read(std::uint8_t* buffer, std::size_t capacity, std::uint32_t nowMs) {
    std::lock_guard lock(mutex_);
    std::size_t done = 0;
    while (done < capacity && !outbox_.empty() &&
           static_cast<std::int32_t>(nowMs - outbox_.front().dueMs) >= 0) {
        Chunk& chunk = outbox_.front();
        const std::size_t n = std::min(capacity - done, chunk.bytes.size());
        std::copy_n(chunk.bytes.begin(), n, buffer + done);
        done += n;
        chunk.bytes.erase(chunk.bytes.begin(), chunk.bytes.begin() + static_cast<std::ptrdiff_t>(n));
        if (chunk.bytes.empty()) outbox_.pop_front();
    }
    return done;
}

std::int64_t SimDevice::nextDueMs() const {
    std::lock_guard lock(mutex_);
    return outbox_.empty() ? -1 : std::int64_t{outbox_.front().dueMs};
}

std::int64_t SimDevice::nextDueAfterMs(std::uint32_t nowMs) const {
    std::lock_guard lock(mutex_);
    for (const Chunk& chunk : outbox_)
        if (static_cast<std::int32_t>(nowMs - chunk.dueMs) < 0) return chunk.dueMs;
    return -1;
}

void SimDevice::queue(std::vector<std::uint8_t> bytes, std::uint32_t dueMs) {
    // Replies leave in the order they were made.
    if (!outbox_.empty() && static_cast<std::int32_t>(dueMs - lastDueMs_) < 0) dueMs = lastDueMs_;
    lastDueMs_ = dueMs;
    outbox_.push_back({dueMs, std::move(bytes)});
}

std::vector<std::uint8_t> SimDevice::answer(Phase phase, int block, std::vector<std::uint8_t> reply, std::uint32_t nowMs,
                       std::uint32_t extraDelayMs) {
    std::uint32_t delay = settings_.replyDelayMs + extraDelayMs;
    for (Fault& fault : faults_) {
        if (fault.phase != phase || fault.times == 0) continue;
        if (fault.block >= 0 && fault.block != block) continue;
        if (fault.times > 0) --fault.times;
        delay += fault.delayMs;
        switch (fault.kind) {
        case FaultKind::Error:
            reply = bytesOf("ERROR");
            break;
        case FaultKind::Silence:
            return {};
        case FaultKind::Replace:
            reply = fault.bytes;
            break;
        case FaultKind::Corrupt:
            if (!reply.empty()) reply.back() = static_cast<std::uint8_t>(reply.back() + 1);
            break;
        case FaultKind::Oversize: {
            std::vector<std::uint8_t> data(36, 0x55);
            reply = MakeBlock(data.data(), data.size());
            break;
        }
        case FaultKind::Delay:
            break;
        case FaultKind::Trickle:
            for (std::size_t i = 0; i < reply.size(); ++i)
                queue({reply[i]}, nowMs + delay + static_cast<std::uint32_t>(i) * fault.gapMs);
            return reply;
        }
        break;  // the first matching fault decides
    }
    queue(reply, nowMs + delay);
    return reply;
}

void SimDevice::onFrame(const Frame& frame, std::uint32_t nowMs, bool& stored) {
    switch (frame.kind) {
    case Frame::Kind::Token:
        received_.push_back(frame.token);
        onToken(frame.token, nowMs);
        break;
    case Frame::Kind::Block:
        received_.push_back(dump(frame.bytes));
        onBlock(frame.bytes, nowMs, stored);
        break;
    case Frame::Kind::Packet:
        received_.push_back(dump(frame.bytes));
        onPacket(frame.bytes, nowMs);
        break;
    case Frame::Kind::Garbage:
        received_.push_back("? " + dump(frame.bytes));
        break;
    }
}

void SimDevice::onToken(const std::string& token, std::uint32_t nowMs) {
    if (token == "PROG_K8W") {
        enterControl(false);
        state_ = State::Programming;
        answer(Phase::Handshake, -1, bytesOf("READY"), nowMs);
        return;
    }
    if (token == "PROG_K8W_CTRL") {
        enterControl(true);
        answer(Phase::CtrlHandshake, -1, bytesOf("READY"), nowMs);
        return;
    }
    // A request is taken whenever the device is in programming mode, also in
    // the middle of an exchange the utility gave up.
    if (state_ != State::Idle && state_ != State::Control &&
        (token == "WRITE" || token == "DEVICE" || token == "READ")) {
        if (token == "WRITE") {
            state_ = State::WriteBlocks;
            incoming_.clear();
            writeBlock_ = 0;
            if (settings_.readyNext) {
                answer(Phase::WriteRequest, -1, bytesOf("READYNEXT"), nowMs);
            } else {
                // Asks for the first block on its own, a little after "READY".
                if (answer(Phase::WriteRequest, -1, bytesOf("READY"), nowMs) == bytesOf("READY"))
                    queue(bytesOf("NEXT"), lastDueMs_ + settings_.firstNextDelayMs);
            }
        } else if (token == "DEVICE") {
            const auto& v = settings_.version;
            const std::uint8_t data[3] = {v[0], v[1], v[2]};
            answer(Phase::Version, -1, MakeBlock(data, 3), nowMs);
        } else if (token == "READ") {
            state_ = State::ReadBlocks;
            readBlock_ = 0;
            answer(Phase::ReadRequest, -1, bytesOf("READY"), nowMs);
        }
        return;
    }
    if (state_ == State::ReadBlocks) {
        if (token == "NEXT") {
            const std::size_t offset = static_cast<std::size_t>(readBlock_) * link::kBlockData;
            std::vector<std::uint8_t> reply;
            if (offset < stored_.size()) {
                const std::size_t n = std::min(link::kBlockData, stored_.size() - offset);
                reply = MakeBlock(stored_.data() + offset, n);
            } else {
                reply.assign(std::begin(link::kEndBlock), std::end(link::kEndBlock));
            }
            answer(Phase::ReadBlock, readBlock_, std::move(reply), nowMs);
            ++readBlock_;
        } else if (token == "OK" || token == "ERROR") {
            state_ = State::Programming;
        }
    }
}

void SimDevice::onBlock(const std::vector<std::uint8_t>& block, std::uint32_t nowMs, bool& stored) {
    if (state_ != State::WriteBlocks) return;
    if (BlockChecksum(block.data(), block.size()) != 0) {
        state_ = State::Programming;
        queue(bytesOf("ERROR"), nowMs + settings_.replyDelayMs);
        return;
    }
    const std::size_t n = block[1];
    if (n > 0) {
        incoming_.insert(incoming_.end(), block.begin() + 2, block.begin() + 2 + static_cast<std::ptrdiff_t>(n));
        answer(Phase::WriteBlock, writeBlock_, bytesOf("NEXT"), nowMs);
        ++writeBlock_;
        return;
    }
    state_ = State::Programming;
    // The image is kept unless the device is made to refuse it.
    if (answer(Phase::WriteEnd, -1, bytesOf("OK"), nowMs) == bytesOf("ERROR")) return;
    stored_ = incoming_;
    ++imagesStored_;
    stored = true;
}

} // namespace k8w::sim
