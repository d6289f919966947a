#pragma once
// Cards as a spreadsheet table: UTF-8 with a byte-order mark, fields
// separated by semicolons, lines ended by CR LF, a header line of member
// names; the lists in numbered columns (cordType1 ... cordType5), no keys.
#include <QByteArray>

#include <vector>

namespace k8w {

struct CardTable;

// The cards in use among `slotList`, one line each, under the header line.
QByteArray ExportCardsCsv(const CardTable& table, const std::vector<int>& slotList);

} // namespace k8w
