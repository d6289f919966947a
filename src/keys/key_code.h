#pragma once
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>

namespace k8w::keys {

// The code of a key as cards and devices keep it: byte i holds serial bits
// 7i to 7i+6, so every byte read from a key is at most 0x7F; bits 42-47 of
// the serial number are dropped. Typed codes may hold any byte value.
constexpr int kKeyCodeSize = 6;
using KeyCode = std::array<std::uint8_t, kKeyCodeSize>;

// The key code of an 8-byte identity (its bytes 1-6 are the serial number).
KeyCode KeyCodeFromIdentity(const std::uint8_t* identity);

// "%02x " for code bytes 5 down to 0: 18 characters.
QString KeyCodeText(const std::uint8_t* code);
// The same twelve digits without blanks, as the station's card shows them.
QString TypedKeyCodeText(const std::uint8_t* code);

// Two hexadecimal digits of either case; anything else is refused.
bool ParseHexPair(QStringView pair, std::uint8_t& value);
// Exactly twelve hexadecimal digits; the leftmost pair is code byte 5.
bool ParseTypedKeyCode(const QString& text, KeyCode& code);

// CRC-8 of a 1-Wire ROM (polynomial x^8 + x^5 + x^4 + 1, reflected): over
// bytes 0-6 of an identity it gives byte 7.
std::uint8_t OneWireCrc8(const std::uint8_t* bytes, std::size_t count);

} // namespace k8w::keys
