#include "common/text_codec.h"

#include <windows.h>

#include <cstring>

namespace k8w {
namespace {

// Qt for Windows without ICU converts only Unicode and Latin-1; the code
// pages the program uses go through Windows itself. 0: not one of them.
UINT codePageOf(const char* codecName) {
    if (!codecName) return 0;
    if (std::strcmp(codecName, "windows-1251") == 0) return 1251;
    return 0;
}

} // namespace

bool CodecAvailable(const char* codecName) {
    const UINT page = codePageOf(codecName);
    return page != 0 && ::IsValidCodePage(page);
}

QByteArray EncodeWithCodec(const char* codecName, const QString& text) {
    const UINT page = codePageOf(codecName);
    if (page == 0 || text.isEmpty()) return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
    const int size = ::WideCharToMultiByte(page, 0, wide, static_cast<int>(text.size()), nullptr, 0, "?", nullptr);
    QByteArray bytes(size, Qt::Uninitialized);
    ::WideCharToMultiByte(page, 0, wide, static_cast<int>(text.size()), bytes.data(), size, "?", nullptr);
    return bytes;
}

QString DecodeWithCodec(const char* codecName, const char* bytes, std::size_t size) {
    const UINT page = codePageOf(codecName);
    if (page == 0 || size == 0) return {};
    const int length = ::MultiByteToWideChar(page, 0, bytes, static_cast<int>(size), nullptr, 0);
    QString text(length, Qt::Uninitialized);
    ::MultiByteToWideChar(page, 0, bytes, static_cast<int>(size), reinterpret_cast<wchar_t*>(text.data()), length);
    return text;
}

} // namespace k8w
