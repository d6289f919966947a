#include "cli/cli_row_card.h"

#include "cli/cli_card_store.h"
#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "cards/card_table.h"

namespace k8w::cli {

int slotOfRow(const Options& options, const QString& badRowText) {
    bool isNumber = false;
    const int row = options.value(QStringLiteral("--row")).toInt(&isNumber);
    if (isNumber && row >= 1 && row <= kCardCapacity) return row - 1;
    printError(badRowText.isEmpty() ? QStringLiteral("row must be a number from 1 to %1").arg(kCardCapacity)
                                    : badRowText);
    return -1;
}

int cardSlotOfRow(const Options& options, const CardTable& table, const QString& freeRowText) {
    const int slot = slotOfRow(options);
    if (slot < 0) return -1;
    if (!isCardInUse(table.cards[static_cast<std::size_t>(slot)])) {
        printError(freeRowText);
        return -1;
    }
    return slot;
}

RowImage::RowImage() = default;
RowImage::~RowImage() = default;

bool startRowImage(const Options& options, const QString& freeRowText, const QString& noImageText, RowImage& row,
                   bool orCopy) {
    row.store = openCardStore(options, orCopy);
    row.table = row.store ? loadCards(*row.store) : nullptr;
    if (!row.table) return false;
    row.slot = cardSlotOfRow(options, *row.table, freeRowText);
    if (row.slot < 0) return false;
    ReseedImageRandom();
    if (BuildConfigImage(row.table->cards[static_cast<std::size_t>(row.slot)], row.image, row.crc) !=
        static_cast<int>(kImageSize)) {
        printError(QStringLiteral("the card's device version is not supported; ") + noImageText);
        return false;
    }
    return true;
}

} // namespace k8w::cli
