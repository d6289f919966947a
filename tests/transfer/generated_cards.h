#pragma once
// Cards that the main window would save, with every field at its limits
// across the set: the longest texts with CP1251 letters and the characters
// JSON and CSV must escape, every list index, every flag bit, key slots in
// all four groups. Dates fall on whole seconds, as their text form keeps them.
#include "cards/card_table.h"

#include <memory>

namespace k8w::test {

// `count` cards spread over rows 1 to 9000 (the first and the last included)
// and the template the window would make from the last of them.
std::unique_ptr<CardTable> GeneratedCards(int count);

} // namespace k8w::test
