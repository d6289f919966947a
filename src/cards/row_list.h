#pragma once
#include <QString>

#include <optional>
#include <vector>

namespace k8w {

// Grid rows named on a command line: "all", or numbers and ranges separated
// by commas ("1,5,10-20"), each from 1 to 9000. Returns the card slots
// (row - 1) in ascending order without repeats, or nothing (and why in
// `error`) for any other text. "all" gives every slot 0-8999.
std::optional<std::vector<int>> ParseRowList(const QString& text, QString* error);

} // namespace k8w
