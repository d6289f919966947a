#include "cli/cli_card_store.h"
#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "cli/cli_row_card.h"

#include "cards/card_table.h"
#include "cards/config_image.h"
#include "common/cp1251.h"
#include "common/day_date.h"

#include <QFile>

namespace k8w::cli {

int runCards(const Options& options) {
    const auto table = loadCards(options);
    if (!table) return kExitBadInput;
    for (int slot = 0; slot < kCardCapacity; ++slot) {
        const Card& card = table->cards[slot];
        if (!isCardInUse(card)) continue;
        const QString progDate = card.progDate > 0.001 ? dayDateIsoText(card.progDate) : QString();
        printLine(QStringList{QString::number(slot + 1), QString::number(card.codeUoo),
                              fieldForLine(fieldText(card.cardNumber)),
                              fieldForLine(fieldText(card.objectName)),
                              dayDateIsoText(card.changeDate), progDate}
                      .join(QLatin1Char('\t')));
    }
    return kExitOk;
}

int runImage(const Options& options) {
    const QString out = QStringLiteral("--out");
    RowImage row;
    if (!startRowImage(options, QStringLiteral("row holds no card"), QStringLiteral("no image is built"), row))
        return kExitBadInput;
    const ConfigImage& image = row.image;
    if (options.has(out)) {
        QFile file(options.value(out));
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(reinterpret_cast<const char*>(image.data()), kImageSize) !=
                static_cast<qint64>(kImageSize) ||
            !file.flush()) {
            printError(QStringLiteral("cannot write %1").arg(options.value(out)));
            return kExitBadInput;
        }
    }
    printLine(ChecksumText(row.crc));
    return kExitOk;
}

} // namespace k8w::cli
