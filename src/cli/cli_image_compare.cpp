#include "cli/cli_image_compare.h"

#include "cli/cli_output.h"
#include "cards/card.h"
#include "cards/config_image.h"
#include "keys/key_code.h"
#include "link/image_view_fields.h"

#include <array>
#include <cstring>

namespace k8w::cli {
namespace {

QString line(const QString& name, const QString& expected, const QString& actual) {
    return name + QLatin1Char('\t') + fieldForLine(expected) + QLatin1Char('\t') + fieldForLine(actual);
}

} // namespace

QStringList ImageDifferences(const std::uint8_t* expected, const std::uint8_t* actual, CompareScope scope) {
    QStringList lines;
    // Bytes a reported difference already accounts for.
    std::array<bool, kImageSize> explained{};
    auto explain = [&](std::size_t offset, std::size_t size) {
        std::fill_n(explained.begin() + static_cast<std::ptrdiff_t>(offset), size, true);
    };

    for (const link::ViewField& field : link::ViewFields()) {
        if (scope == CompareScope::Settings &&
            (field.kind == link::ViewFieldKind::BuildDate || field.kind == link::ViewFieldKind::Checksum))
            continue;
        const QString ours = link::ViewFieldText(field, expected);
        const QString theirs = link::ViewFieldText(field, actual);
        if (ours == theirs) continue;
        lines << line(field.control, ours, theirs);
        explain(field.offset, field.size);
    }

    for (int group = 0; group < kKeyGroups; ++group) {
        for (int entry = 0; entry < kKeysPerGroup; ++entry) {
            const std::size_t offset = kImageKeysOffset + 36 * group + keys::kKeyCodeSize * entry;
            if (std::memcmp(expected + offset, actual + offset, keys::kKeyCodeSize) == 0) continue;
            lines << line(QStringLiteral("key %1.%2").arg(group + 1).arg(entry + 1),
                          keys::KeyCodeText(expected + offset), keys::KeyCodeText(actual + offset));
            explain(offset, keys::kKeyCodeSize);
        }
    }

    if (scope == CompareScope::EveryByte) {
        for (std::size_t i = 0; i < kImageSize; ++i)
            if (expected[i] != actual[i] && !explained[i])
                lines << line(QStringLiteral("byte %1").arg(i), QString::number(expected[i]), QString::number(actual[i]));
    }
    return lines;
}

} // namespace k8w::cli
