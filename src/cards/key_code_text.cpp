#include "cards/key_code_text.h"

#include <array>

namespace k8w {
namespace {

constexpr int kCodeBytes = 6;

int hexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

} // namespace

QString KeyCodeHexText(const std::uint8_t* code) {
    static const char digits[] = "0123456789abcdef";
    QString text;
    text.reserve(2 * kCodeBytes);
    for (int i = kCodeBytes - 1; i >= 0; --i) {
        text += QLatin1Char(digits[code[i] >> 4]);
        text += QLatin1Char(digits[code[i] & 0xF]);
    }
    return text;
}

bool ParseKeyCodeHex(QStringView text, std::uint8_t* code) {
    if (text.size() != 2 * kCodeBytes) return false;
    std::array<std::uint8_t, kCodeBytes> parsed{};
    for (int k = 0; k < kCodeBytes; ++k) {
        const int high = hexDigit(text[2 * k].unicode());
        const int low = hexDigit(text[2 * k + 1].unicode());
        if (high < 0 || low < 0) return false;
        parsed[kCodeBytes - 1 - k] = static_cast<std::uint8_t>(high << 4 | low);
    }
    for (int i = 0; i < kCodeBytes; ++i) code[i] = parsed[i];
    return true;
}

} // namespace k8w
