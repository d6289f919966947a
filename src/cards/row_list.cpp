#include "cards/row_list.h"

#include "cards/card_table.h"

#include <QStringList>

namespace k8w {
namespace {

int rowNumber(QStringView text) {
    bool ok = false;
    const int row = text.toInt(&ok);
    return ok && row >= 1 && row <= kCardCapacity && !text.startsWith(u'+') ? row : 0;
}

} // namespace

std::optional<std::vector<int>> ParseRowList(const QString& text, QString* error) {
    std::vector<bool> chosen(kCardCapacity, false);
    if (text == QStringLiteral("all")) {
        chosen.assign(kCardCapacity, true);
    } else {
        const QStringList parts = text.split(QLatin1Char(','));
        for (const QString& part : parts) {
            const qsizetype dash = part.indexOf(QLatin1Char('-'));
            const int first = rowNumber(dash < 0 ? QStringView(part) : QStringView(part).left(dash));
            const int last = dash < 0 ? first : rowNumber(QStringView(part).mid(dash + 1));
            if (first == 0 || last == 0 || last < first) {
                if (error)
                    *error = QStringLiteral("bad row list \"%1\": give rows from 1 to %2 as 1,5,10-20 or all")
                                 .arg(text)
                                 .arg(kCardCapacity);
                return std::nullopt;
            }
            for (int row = first; row <= last; ++row) chosen[static_cast<std::size_t>(row - 1)] = true;
        }
    }
    std::vector<int> slotList;
    for (int slot = 0; slot < kCardCapacity; ++slot)
        if (chosen[static_cast<std::size_t>(slot)]) slotList.push_back(slot);
    return slotList;
}

} // namespace k8w
