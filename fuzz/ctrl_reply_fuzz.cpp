// The control link's reply framing and parse as pure functions: the bytes
// are cut into packets the way the link reads them (byte by byte until a
// packet is complete), and each packet is taken apart. A whole input is also
// parsed as one packet.
//
// Input: one byte of flags (bit 0: the device has been greeted), then the
// bytes on the line.
#include "ctrl_replies.h"
#include "fuzz_support.h"

#include "control/ctrl_protocol.h"
#include "link/link_block.h"

#include <vector>

using namespace k8w;
using k8w::fuzz::require;

namespace {

// A reply taken is one the device can send, with its exact bytes.
void parseOne(const std::uint8_t* bytes, std::size_t count) {
    control::CtrlCommand reply;
    if (!control::ParseReply(bytes, count, reply)) return;
    const std::uint8_t code = reply.code;
    require(fuzz::isReplyCode(code), "a reply taken has a reply code");
    require(reply.length == static_cast<std::int32_t>(fuzz::replyPayloadSize(code)), "a reply's length is its code's");
    require(count == fuzz::replyPayloadSize(code) + 3 && bytes[0] == control::kReplyStart, "a reply is framed exactly");
    require(link::BlockChecksum(bytes, count - 1) == bytes[count - 1], "a reply's check byte holds");
    for (std::int32_t i = 0; i < reply.length; ++i) require(reply.payload[i] == bytes[2 + i], "the payload is copied");
    if (code == control::kReplyDeviceError) require(!control::DeviceErrorText(reply.payload[0]).isEmpty(), "an error has a text");

    // The same code and payload sent as a command frame the same way.
    control::CtrlCommand command;
    command.code = code;
    std::copy_n(reply.payload, reply.length, command.payload);
    command.length = reply.length;
    const std::vector<std::uint8_t> packet = control::CommandPacket(command);
    require(packet.size() == count && packet[0] == control::kCommandStart &&
                link::BlockChecksum(packet.data(), packet.size() - 1) == packet.back(),
            "a command packet is framed like its reply");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const bool greeted = (input.byte() & 1) != 0;
    const std::uint8_t* line = input.data();
    const std::size_t length = input.left();

    parseOne(line, length);

    // As the link reads: a byte at a time until the packet is complete.
    std::size_t start = 0;
    while (start < length) {
        std::size_t count = 0;
        while (start + count < length) {
            ++count;
            if (control::PacketComplete(line + start, count, greeted)) break;
        }
        parseOne(line + start, count);
        start += count;
    }

    // A command of any length is clamped to the payload it can carry.
    control::CtrlCommand command;
    command.code = length > 0 ? line[0] : 0;
    command.length = length >= 3 ? static_cast<std::int32_t>(line[1] | line[2] << 8 | (length > 3 ? line[3] << 16 : 0))
                                 : -1;
    const std::vector<std::uint8_t> packet = control::CommandPacket(command);
    require(packet.size() >= 3 && packet.size() <= control::kCtrlPayloadSize + 3, "a command packet fits its payload");
    return 0;
}
