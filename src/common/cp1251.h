#pragma once
#include <QByteArray>
#include <QString>

#include <cstddef>

namespace k8w {

// Text on disk and on the wire is CP1251; inside the program it is QString.
inline constexpr char kCp1251CodecName[] = "windows-1251";
// Without the codec every text would be read and stored empty: the programs
// check it at start-up and refuse to run. The name is a test seam.
bool textCodecAvailable(const char* codecName = kCp1251CodecName);
QByteArray toCp1251(const QString& text);
QString fromCp1251(const char* bytes, std::size_t size);
inline QString fromCp1251(const QByteArray& bytes) {
    return fromCp1251(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// Fixed-size zero-terminated record fields: a field of size n holds at most
// n - 1 bytes of text, and every byte after the text is zero.
QString readTextField(const char* field, std::size_t size);
void writeTextField(char* field, std::size_t size, const QString& text);

template <std::size_t N> QString fieldText(const char (&field)[N]) {
    return readTextField(field, N);
}
template <std::size_t N> void setFieldText(char (&field)[N], const QString& text) {
    writeTextField(field, N, text);
}

} // namespace k8w
