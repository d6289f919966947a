#pragma once
// The replies a device may send on the control link, for the checks of the
// control targets.
#include "control/ctrl_protocol.h"

#include <cstddef>
#include <cstdint>

namespace k8w::fuzz {

inline bool isReplyCode(int code) {
    return code == control::kReplyEmpty || code == control::kCmdSetOutputs || code == control::kCmdReadKey ||
           code == control::kCmdStatus || code == control::kReplyDeviceError;
}

// The payload bytes a reply with this code carries.
inline std::size_t replyPayloadSize(std::uint8_t code) {
    switch (code) {
    case control::kCmdStatus:
        return control::kStatusPayload;
    case control::kCmdReadKey:
        return control::kKeyPayload;
    case control::kReplyDeviceError:
        return 1;
    default:
        return 0;
    }
}

} // namespace k8w::fuzz
