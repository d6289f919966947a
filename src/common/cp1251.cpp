#include "common/cp1251.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <cstring>

namespace k8w {

bool textCodecAvailable(const char* codecName) {
    return QStringEncoder(codecName).isValid() && QStringDecoder(codecName).isValid();
}

QByteArray toCp1251(const QString& text) {
    QStringEncoder encoder(kCp1251CodecName, QStringConverter::Flag::Stateless);
    return encoder.encode(text);
}

QString fromCp1251(const char* bytes, std::size_t size) {
    QStringDecoder decoder(kCp1251CodecName, QStringConverter::Flag::Stateless);
    return decoder.decode(QByteArrayView(bytes, static_cast<qsizetype>(size)));
}

QString readTextField(const char* field, std::size_t size) {
    const void* end = std::memchr(field, 0, size);
    const std::size_t length = end ? static_cast<std::size_t>(static_cast<const char*>(end) - field) : size;
    return fromCp1251(field, length);
}

void writeTextField(char* field, std::size_t size, const QString& text) {
    std::memset(field, 0, size);
    if (size == 0) return;
    const QByteArray bytes = toCp1251(text);
    const std::size_t length = std::min<std::size_t>(static_cast<std::size_t>(bytes.size()), size - 1);
    std::memcpy(field, bytes.constData(), length);
}

} // namespace k8w
