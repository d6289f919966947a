#include "keys/one_wire_names.h"

#include "keys/key_code.h"
#include "keys/one_wire_port.h"

#include <cstring>

namespace k8w::keys {
namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

} // namespace

bool IsOwserverTarget(const std::string& target, std::string& host, std::string& port) {
    const auto colon = target.rfind(':');
    if (target.empty() || target[0] == '-' || target[0] == '/' || colon == std::string::npos ||
        target.find(' ') != std::string::npos)
        return false;
    host = target.substr(0, colon);
    port = target.substr(colon + 1);
    return !host.empty() && !port.empty();
}

bool IdentityFromOwfsName(const std::string& name, std::uint8_t* identity) {
    std::string digits;
    for (const char c : name) {
        if (c == '.') continue;
        if (hexDigit(c) < 0) return false;
        digits += c;
    }
    if (digits.size() != 14 && digits.size() != 16) return false;
    // The name is the ROM as it travels on the bus: family, serial from its
    // least significant byte, CRC.
    std::uint8_t rom[kKeyIdentitySize] = {};
    for (std::size_t i = 0; i < digits.size() / 2; ++i)
        rom[i] = static_cast<std::uint8_t>(hexDigit(digits[2 * i]) << 4 | hexDigit(digits[2 * i + 1]));
    if (digits.size() == 14) rom[7] = OneWireCrc8(rom, 7);
    else if (rom[7] != OneWireCrc8(rom, 7)) return false;
    std::memcpy(identity, rom, sizeof rom);
    return true;
}

} // namespace k8w::keys
