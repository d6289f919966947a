// The device's side of the control protocol: after "PROG_K8W_CTRL" it takes
// command packets (0x51, code, payload, check byte) and answers each with a
// reply packet (0xAE, code, payload, check byte).
#include "sim/sim_device.h"

#include "link/link_block.h"

#include <algorithm>

namespace k8w::sim {

namespace {

// Length of a whole command packet by its code; codes the device does not
// know are taken as carrying no payload.
std::size_t commandLength(std::uint8_t code) { return code == kOutputsCode ? 4 : 3; }

} // namespace

std::vector<std::uint8_t> controlReply(std::uint8_t code, const std::vector<std::uint8_t>& payload) {
    std::vector<std::uint8_t> reply(payload.size() + 3);
    reply[0] = kReplyStart;
    reply[1] = code;
    std::copy(payload.begin(), payload.end(), reply.begin() + 2);
    reply.back() = link::BlockChecksum(reply.data(), reply.size() - 1);
    return reply;
}

void SimDevice::setInputs(const ControlInputs& inputs) {
    std::lock_guard lock(mutex_);
    inputs_ = inputs;
}

ControlInputs SimDevice::inputs() const {
    std::lock_guard lock(mutex_);
    return inputs_;
}

void SimDevice::setLoop(int loop, std::uint16_t ohms) {
    std::lock_guard lock(mutex_);
    if (loop >= 1 && loop <= static_cast<int>(inputs_.loops.size()))
        inputs_.loops[static_cast<std::size_t>(loop - 1)] = ohms;
}

void SimDevice::presentKey(const DeviceKeyCode& code) {
    std::lock_guard lock(mutex_);
    key_ = code;
    keyWaiting_ = true;
}

bool SimDevice::keyWaiting() const {
    std::lock_guard lock(mutex_);
    return keyWaiting_;
}

std::uint8_t SimDevice::outputs() const {
    std::lock_guard lock(mutex_);
    return outputs_;
}

void SimDevice::enterControl(bool on) {
    if (on) {
        state_ = State::Control;
        splitter_.setPacketFraming(kCommandStart, commandLength);
    } else {
        splitter_.setPacketFraming(kCommandStart, {});
    }
}

std::vector<std::uint8_t> SimDevice::statusPayload() const {
    std::uint8_t flags = 0;
    if (inputs_.power) flags |= 0x01;
    if (inputs_.cover) flags |= 0x02;
    if (keyWaiting_) flags |= 0x80;
    std::vector<std::uint8_t> payload{outputs_, flags};
    for (std::uint16_t ohms : inputs_.loops) {
        payload.push_back(static_cast<std::uint8_t>(ohms));
        payload.push_back(static_cast<std::uint8_t>(ohms >> 8));
    }
    return payload;
}

void SimDevice::onPacket(const std::vector<std::uint8_t>& packet, std::uint32_t nowMs) {
    if (state_ != State::Control) return;
    // Refusals are never subject to the faults of the commands.
    auto refuse = [&](std::uint8_t error) {
        queue(controlReply(kErrorCode, {error}), nowMs + settings_.replyDelayMs);
    };
    if (link::BlockChecksum(packet.data(), packet.size() - 1) != packet.back()) {
        refuse(kBadPacketError);
        return;
    }
    switch (packet[1]) {
    case kStatusCode:
        answer(Phase::CtrlStatus, -1, controlReply(kStatusCode, statusPayload()), nowMs);
        break;
    case kOutputsCode:
        // The outputs switch as the command comes, whatever becomes of the answer.
        outputs_ = packet[2];
        answer(Phase::CtrlOutputs, -1, controlReply(kOutputsCode), nowMs);
        break;
    case kKeyCode:
        keyWaiting_ = false;
        answer(Phase::CtrlKey, -1, controlReply(kKeyCode, {key_.begin(), key_.end()}), nowMs);
        break;
    default:
        refuse(kUnknownCodeError);
        break;
    }
}

} // namespace k8w::sim
