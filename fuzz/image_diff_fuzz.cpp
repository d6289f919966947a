// The image comparison of k8w-cli diff and program --verify: a card from the
// database against a device image, and two device images, all from fuzz
// bytes; the read results view's reading of every field along the way.
//
// Input: a card record (1310 bytes), then a device image (585 bytes); what is
// missing is zero. The card's image is built with a fixed moment.
#include "fuzz_support.h"

#include "cli/cli_image_compare.h"
#include "cards/card.h"
#include "cards/config_image.h"
#include "link/image_view_fields.h"

#include <QDateTime>
#include <QSet>

#include <cstring>

using namespace k8w;
using k8w::fuzz::require;

namespace {

// Lines are "name \t ours \t theirs", each name at most once.
void checkLines(const QStringList& lines, cli::CompareScope scope) {
    QSet<QString> names;
    for (const QString& line : lines) {
        const QStringList parts = line.split(QLatin1Char('\t'));
        require(parts.size() == 3, "a difference is one line of three fields");
        require(parts[1] != parts[2], "a difference differs");
        require(!names.contains(parts[0]), "each field is reported once");
        names.insert(parts[0]);
        if (scope == cli::CompareScope::Settings)
            require(!parts[0].startsWith(QLatin1String("byte ")) && parts[0] != QLatin1String("Label17") &&
                        parts[0] != QLatin1String("ProgID1"),
                    "the settings leave out the build date, checksum and single bytes");
    }
}

void compare(const std::uint8_t* expected, const std::uint8_t* actual) {
    for (const cli::CompareScope scope : {cli::CompareScope::Settings, cli::CompareScope::EveryByte}) {
        const QStringList lines = cli::ImageDifferences(expected, actual, scope);
        checkLines(lines, scope);
        if (scope == cli::CompareScope::EveryByte)
            require(lines.isEmpty() == (std::memcmp(expected, actual, kImageSize) == 0),
                    "every byte counts when verifying");
    }
    require(cli::ImageDifferences(expected, expected, cli::CompareScope::EveryByte).isEmpty(),
            "an image does not differ from itself");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::requireCodec();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Card card{};
    ConfigImage device{};
    const std::size_t cardBytes = std::min(size, kCardSize);
    std::memcpy(static_cast<void*>(&card), data, cardBytes);
    if (size > kCardSize) std::memcpy(device.data(), data + kCardSize, std::min(size - kCardSize, kImageSize));

    // Every field as the read results view shows it.
    for (const link::ViewField& field : link::ViewFields()) {
        require(field.offset + field.size <= kImageSize, "a view field lies inside the image");
        (void)link::ViewFieldText(field, device.data());
        require(link::FindViewField(field.control) != nullptr, "a view field is found by its name");
    }

    ConfigImage built{};
    std::uint16_t crc = 0;
    const QDateTime moment(QDate(2031, 12, 31), QTime(0, 0, 1));
    if (BuildConfigImageAt(card, moment, size > 0 ? data[0] : std::uint8_t{0}, 0x5A, built, crc) ==
        static_cast<int>(kImageSize)) {
        compare(built.data(), device.data());
        compare(device.data(), built.data());
    }
    // Two images, as a read after a write compares them.
    ConfigImage second{};
    std::memcpy(second.data(), &card, kImageSize);
    compare(second.data(), device.data());
    return 0;
}
