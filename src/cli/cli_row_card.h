#pragma once
// The row a command names with "--row N", and the card there with its
// device image, as cards, image, diff, program and the key commands start.
#include "store/card_store.h"
#include "cards/config_image.h"

#include <QString>

#include <cstdint>
#include <memory>

namespace k8w {
struct CardTable;
}

namespace k8w::cli {

class Options;

// Reads "--row N": the slot of grid row 1-9000, or -1 after printing why not
// (`badRowText`, by default that a row is a number from 1 to 9000).
int slotOfRow(const Options& options, const QString& badRowText = {});
// The same for a row holding a card in use in `table`; `freeRowText` is
// printed for a free row.
int cardSlotOfRow(const Options& options, const CardTable& table, const QString& freeRowText);

// The command's base, its cards, the card of --row and the image it would
// be written as (with the moment's build date and random bytes).
struct RowImage {
    RowImage();
    ~RowImage();
    std::unique_ptr<CardStore> store;
    std::unique_ptr<CardTable> table;
    int slot = -1;
    ConfigImage image{};
    std::uint16_t crc = 0;
};

// Opens the base, loads its cards, finds the row and builds its image. On
// failure prints why and returns false: `freeRowText` for a free row,
// "the card's device version is not supported; " + `noImageText` for a card
// without an image.
// `orCopy` as for openCardStore.
bool startRowImage(const Options& options, const QString& freeRowText, const QString& noImageText, RowImage& row,
                   bool orCopy = false);

} // namespace k8w::cli
