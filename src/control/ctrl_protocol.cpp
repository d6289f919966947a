#include "control/ctrl_protocol.h"

#include "link/link_block.h"
#include "link/prog_log.h"

#include <algorithm>

namespace k8w::control {

std::vector<std::uint8_t> CommandPacket(const CtrlCommand& command) {
    const std::size_t length = static_cast<std::size_t>(std::clamp<std::int32_t>(
        command.length, 0, static_cast<std::int32_t>(kCtrlPayloadSize)));
    std::vector<std::uint8_t> packet(length + 3);
    packet[0] = kCommandStart;
    packet[1] = command.code;
    std::copy_n(command.payload, length, packet.begin() + 2);
    packet.back() = link::BlockChecksum(packet.data(), length + 2);
    return packet;
}

bool PacketComplete(const std::uint8_t* bytes, std::size_t count, bool handshakeDone) {
    if (count < 3) return false;
    switch (bytes[1]) {
    case kCmdStatus:
        return count >= 3 + kStatusPayload;
    case kCmdReadKey:
        return count >= 3 + kKeyPayload;
    case kReplyDeviceError:
        return count >= 4;
    case kPacketLong:
        return count >= 4 && count >= std::size_t{bytes[3]} + 6;
    default:
        return handshakeDone;
    }
}

bool ParseReply(const std::uint8_t* bytes, std::size_t count, CtrlCommand& reply) {
    if (count < 3 || bytes[0] != kReplyStart) return false;
    if (link::BlockChecksum(bytes, count - 1) != bytes[count - 1]) return false;
    std::size_t payload = 0;
    switch (bytes[1]) {
    case kReplyEmpty:
    case kCmdSetOutputs:
        payload = 0;
        break;
    case kCmdReadKey:
        payload = kKeyPayload;
        break;
    case kCmdStatus:
        payload = kStatusPayload;
        break;
    case kReplyDeviceError:
        payload = 1;
        break;
    default:
        return false;
    }
    // A packet cut short whose last byte happens to check is no reply.
    if (count != payload + 3) return false;
    reply = CtrlCommand{};
    reply.code = bytes[1];
    std::copy_n(bytes + 2, payload, reply.payload);
    reply.length = static_cast<std::int32_t>(payload);
    return true;
}

QString DeviceErrorText(std::uint8_t number) {
    switch (number % 3) {
    case 0:
        return QStringLiteral("Неверный заголовок, ошибка контрольной суммы, неверная длина командного пакета");
    case 1:
        return QStringLiteral("Нет такого кода команды");
    default:
        return QStringLiteral("Не допустимый параметр команды");
    }
}

QString ControlLogLine(const QTime& localTime, const QString& text) {
    return link::LongTimeText(localTime) + QStringLiteral(" > ") + text;
}

} // namespace k8w::control
