// The key code text typed into the manual key dialog (and given to k8w-cli):
// any text, as UTF-16 from the edit field and as UTF-8 from a command line.
#include "fuzz_support.h"

#include "keys/key_code.h"

#include <QString>

using namespace k8w;
using k8w::fuzz::require;

namespace {

bool isHexDigit(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
}

void parse(const QString& text) {
    keys::KeyCode code{};
    code.fill(0xEE);
    const keys::KeyCode before = code;
    const bool accepted = keys::ParseTypedKeyCode(text, code);
    bool wellFormed = text.size() == 2 * keys::kKeyCodeSize;
    for (QChar c : text) wellFormed = wellFormed && isHexDigit(c);
    require(accepted == wellFormed, "exactly twelve hexadecimal digits are accepted");
    if (!accepted) {
        require(code == before, "a refused text leaves the code as it was");
        return;
    }
    // Read back as the key table and the station's card show it.
    require(keys::TypedKeyCodeText(code.data()) == text.toLower(), "the code reads back as typed");
    const QString shown = keys::KeyCodeText(code.data());
    require(shown.size() == 18 && QString(shown).remove(QLatin1Char(' ')) == text.toLower(),
            "the key table shows the same digits");

    // Each pair on its own, as the dialog reads them.
    for (int k = 0; k < keys::kKeyCodeSize; ++k) {
        std::uint8_t value = 0;
        require(keys::ParseHexPair(QStringView(text).mid(2 * k, 2), value), "each pair reads");
        require(value == code[keys::kKeyCodeSize - 1 - k], "pair k is code byte 5 - k");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    parse(QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    parse(QString(reinterpret_cast<const QChar*>(data), static_cast<qsizetype>(size / 2)));
    for (std::size_t i = 0; i + 2 <= size && i < 8; i += 2) {
        std::uint8_t value = 0;
        const QString pair = QString::fromLatin1(reinterpret_cast<const char*>(data + i), 2);
        const bool read = keys::ParseHexPair(pair, value);
        require(read == (isHexDigit(pair[0]) && isHexDigit(pair[1])), "a pair is two hexadecimal digits");
        if (read) require(pair.toInt(nullptr, 16) == value, "a pair reads as its hexadecimal value");
    }
    return 0;
}
