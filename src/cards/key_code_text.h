#pragma once
#include <QString>
#include <QStringView>

#include <cstdint>

namespace k8w {

// A key code as the station's card shows it: twelve lowercase hexadecimal
// digits, code byte 5 first.
QString KeyCodeHexText(const std::uint8_t* code);
// Exactly twelve hexadecimal digits of either case, code byte 5 first, into
// the six bytes of `code`; false (and `code` untouched) for anything else.
bool ParseKeyCodeHex(QStringView text, std::uint8_t* code);

} // namespace k8w
