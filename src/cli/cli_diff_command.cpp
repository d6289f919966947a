// k8w-cli diff: a card against a device's image, field by field, as the read
// results view shows them.
#include "cli/cli_commands.h"
#include "cli/cli_image_compare.h"
#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "cli/cli_row_card.h"

#include "cards/config_image.h"
#include "cards/image_json.h"

namespace k8w::cli {
namespace {

// Reads a device image as `read --out` writes it; on failure prints why.
bool readImageFile(const QString& fileName, ConfigImage& image) {
    const QString error = ReadImageFile(fileName, image);
    if (!error.isEmpty()) printError(error);
    return error.isEmpty();
}

} // namespace

int runDiff(const Options& options) {
    const QString kImage = QStringLiteral("--image");
    // The card as it would be written; its build date, random bytes and
    // checksum are the moment's, so they are not compared.
    RowImage row;
    if (!startRowImage(options, QStringLiteral("row holds no card"), QStringLiteral("it has no image to compare"), row))
        return kExitBadInput;
    ConfigImage deviceImage{};
    if (!readImageFile(options.value(kImage), deviceImage)) return kExitBadInput;

    const QStringList differences = ImageDifferences(row.image.data(), deviceImage.data(), CompareScope::Settings);
    for (const QString& difference : differences) printLine(difference);
    return differences.isEmpty() ? kExitOk : kExitFailed;
}

} // namespace k8w::cli
