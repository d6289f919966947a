#pragma once
// Cards brought in from their JSON form, through the checks the main window
// makes before it saves a card.
#include <QByteArray>
#include <QStringList>

#include <vector>

namespace k8w {

struct CardTable;

struct CardImportResult {
    // Every reason the import is refused, "row N: text" (the window's text
    // for a failed save check, "member: why" for a broken limit), or
    // "file: why" for the document itself. Empty when the import went in.
    QStringList failures;
    std::vector<int> changedSlots;  // slots whose content changed
    int unchanged = 0;              // cards of the file equal to the stored ones
    bool templateRenewed = false;
};

// Reads a document as ExportCardsJson writes it (or a bare array of card
// objects) and, only when every card passes, stores it into `table`:
// - a card is matched by "row"; members left out keep the stored card's
//   values, or for a free row the new-card template's (its code and PINs
//   stay empty, as the window shows a free row);
// - every card must keep the limits of the record and pass the twelve save
//   checks of the window, the device code unique over the table as it is
//   after the import;
// - the programming results (progDate, progId, prevProgId) of a card in use
//   stay as stored; a free row takes them from the file, so that a base
//   moved to another computer keeps what its devices hold;
// - a date equal to the stored one to the second (the text form keeps no
//   more) is no change: the stored date stays;
// - a card whose content changes gets `now` as its change date; the others
//   are left exactly as they were;
// - with `renewTemplate` the document's "template" replaces the new-card
//   template (members left out keep the stored template's values).
// On failure `table` is not touched.
CardImportResult ImportCards(const QByteArray& json, CardTable& table, bool renewTemplate, double now);

} // namespace k8w
