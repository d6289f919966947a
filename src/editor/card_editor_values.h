#pragma once
#include "editor/card_validation.h"

namespace k8w {

struct Card;

// The editor fields as the main window would show a card that is saved
// unchanged: the SIM fields enabled (both SIM cards are in use whenever a
// card is shown), the entry delay enabled for an entry loop 1, a critical
// balance of 0 shown as 10, and the fields bound to nothing empty.
// `codeShown` is false for a card that takes its code from nowhere (a free
// row: the code field stays empty).
CardEditorValues CardEditorValuesOf(const Card& card, bool codeShown);

} // namespace k8w
