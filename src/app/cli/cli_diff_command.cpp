// k8w-cli diff: a card against a device's image, field by field, as the read
// results view shows them.
#include "app/cli/cli_card_store.h"
#include "app/cli/cli_commands.h"
#include "app/cli/cli_image_compare.h"
#include "app/cli/cli_database.h"
#include "app/cli/cli_options.h"
#include "app/cli/cli_output.h"

#include "cards/card_file.h"
#include "cards/card_table.h"
#include "cards/config_image.h"

#include <QFile>

namespace k8w::cli {
namespace {

// Reads a device image as `read --out` writes it; on failure prints why.
bool readImageFile(const QString& fileName, ConfigImage& image) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        printError(QStringLiteral("cannot read %1").arg(fileName));
        return false;
    }
    // Checked before reading, so that no large file is read whole.
    if (file.size() != static_cast<qint64>(kImageSize)) {
        printError(QStringLiteral("%1 holds %2 bytes; a device image has %3").arg(fileName).arg(file.size()).arg(kImageSize));
        return false;
    }
    if (file.read(reinterpret_cast<char*>(image.data()), kImageSize) != static_cast<qint64>(kImageSize)) {
        printError(QStringLiteral("cannot read %1").arg(fileName));
        return false;
    }
    if (ImageCrc16(image.data(), kImageSize) != 0) {
        printError(QStringLiteral("%1 fails its checksum; it is not an intact device image").arg(fileName));
        return false;
    }
    return true;
}

} // namespace

int runDiff(const Options& options) {
    const QString kImage = QStringLiteral("--image");
    const auto table = loadCards(options);
    if (!table) return kExitBadInput;
    const int slot = cardSlotOfRow(options, *table, QStringLiteral("row holds no card"));
    if (slot < 0) return kExitBadInput;

    // The card as it would be written; its build date, random bytes and
    // checksum are the moment's, so they are not compared.
    ConfigImage cardImage{};
    std::uint16_t crc = 0;
    if (BuildConfigImage(table->cards[slot], cardImage, crc) != static_cast<int>(kImageSize)) {
        printError(QStringLiteral("the card's device version is not supported; it has no image to compare"));
        return kExitBadInput;
    }
    ConfigImage deviceImage{};
    if (!readImageFile(options.value(kImage), deviceImage)) return kExitBadInput;

    const QStringList differences = ImageDifferences(cardImage.data(), deviceImage.data(), CompareScope::Settings);
    for (const QString& difference : differences) printLine(difference);
    return differences.isEmpty() ? kExitOk : kExitFailed;
}

} // namespace k8w::cli
