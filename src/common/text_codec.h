#pragma once
// The platform's converters between a code page named as Qt names it
// ("windows-1251") and QString: Qt's own where Qt has them (ICU), Windows'
// code page functions where it has not. One file each, chosen in CMake.
#include <QByteArray>
#include <QString>

#include <cstddef>

namespace k8w {

bool CodecAvailable(const char* codecName);
// Characters the code page has no byte for become '?'.
QByteArray EncodeWithCodec(const char* codecName, const QString& text);
QString DecodeWithCodec(const char* codecName, const char* bytes, std::size_t size);

} // namespace k8w
