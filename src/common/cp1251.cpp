#include "common/cp1251.h"

#include "common/text_codec.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace k8w {

bool textCodecAvailable(const char* codecName) { return CodecAvailable(codecName); }

namespace {

QByteArray encodeWithCodec(const QString& text) { return EncodeWithCodec(kCp1251CodecName, text); }

QString decodeWithCodec(const char* bytes, std::size_t size) {
    return DecodeWithCodec(kCp1251CodecName, bytes, size);
}

// The code page read once from the codec, byte by byte: opening the codec
// for every field made a full base take seconds to read as text. A byte the
// codec does not map one to one, and a character no byte decodes to, go
// through the codec itself, so the results are the codec's in every case.
struct Cp1251Table {
    std::array<char16_t, 256> character{};
    std::array<bool, 256> single{};
    std::array<std::uint8_t, 0x10000> byte{};
    std::array<bool, 0x10000> known{};

    Cp1251Table() {
        for (int b = 0; b < 256; ++b) {
            const char c = static_cast<char>(b);
            const QString decoded = decodeWithCodec(&c, 1);
            if (decoded.size() != 1 || encodeWithCodec(decoded) != QByteArray(1, c)) continue;
            const char16_t u = decoded.front().unicode();
            character[static_cast<std::size_t>(b)] = u;
            single[static_cast<std::size_t>(b)] = true;
            byte[u] = static_cast<std::uint8_t>(b);
            known[u] = true;
        }
    }
};

const Cp1251Table& table() {
    static const Cp1251Table instance;
    return instance;
}

} // namespace

QByteArray toCp1251(const QString& text) {
    const Cp1251Table& t = table();
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (!t.known[u]) return encodeWithCodec(text);
        bytes[i] = static_cast<char>(t.byte[u]);
    }
    return bytes;
}

QString fromCp1251(const char* bytes, std::size_t size) {
    const Cp1251Table& t = table();
    QString text(static_cast<qsizetype>(size), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (std::size_t i = 0; i < size; ++i) {
        const auto b = static_cast<std::uint8_t>(bytes[i]);
        if (!t.single[b]) return decodeWithCodec(bytes, size);
        out[i] = t.character[b];
    }
    return text;
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
