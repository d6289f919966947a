#include "keys/key_code.h"

#include "cards/key_code_text.h"

namespace k8w::keys {

KeyCode KeyCodeFromIdentity(const std::uint8_t* identity) {
    std::uint64_t serial = 0;
    for (int i = 6; i >= 1; --i) serial = serial << 8 | identity[i];
    KeyCode code{};
    for (int i = 0; i < kKeyCodeSize; ++i) code[i] = static_cast<std::uint8_t>(serial >> (7 * i) & 0x7F);
    return code;
}

QString KeyCodeText(const std::uint8_t* code) {
    QString text;
    for (int i = kKeyCodeSize - 1; i >= 0; --i)
        text += QStringLiteral("%1 ").arg(code[i], 2, 16, QLatin1Char('0'));
    return text;
}

QString TypedKeyCodeText(const std::uint8_t* code) { return KeyCodeHexText(code); }

bool ParseHexPair(QStringView pair, std::uint8_t& value) {
    if (pair.size() != 2) return false;
    int result = 0;
    for (const QChar c : pair) {
        const char16_t u = c.unicode();
        int digit = -1;
        if (u >= u'0' && u <= u'9') digit = u - u'0';
        else if (u >= u'a' && u <= u'f') digit = u - u'a' + 10;
        else if (u >= u'A' && u <= u'F') digit = u - u'A' + 10;
        if (digit < 0) return false;
        result = result * 16 + digit;
    }
    value = static_cast<std::uint8_t>(result);
    return true;
}

bool ParseTypedKeyCode(const QString& text, KeyCode& code) { return ParseKeyCodeHex(text, code.data()); }

std::uint8_t OneWireCrc8(const std::uint8_t* bytes, std::size_t count) {
    std::uint8_t crc = 0;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t b = bytes[i];
        for (int bit = 0; bit < 8; ++bit) {
            const bool mix = (crc ^ b) & 1;
            crc >>= 1;
            if (mix) crc ^= 0x8C;
            b >>= 1;
        }
    }
    return crc;
}

} // namespace k8w::keys
