#include "app/card_grid_model.h"

#include <algorithm>
#include <cstring>

namespace k8w {

CardGridModel::CardGridModel(int rows, QObject* parent)
    : QAbstractTableModel(parent),
      rows_(static_cast<std::size_t>(rows)),
      folded_(static_cast<std::size_t>(rows)),
      header_{QStringLiteral("Код УО"), QStringLiteral("№ карточки"), QStringLiteral("Объект"),
              QStringLiteral("Дата изменений"), QStringLiteral("Дата программирования")} {}

int CardGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int CardGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant CardGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole) return {};
    return rows_[static_cast<std::size_t>(index.row())][static_cast<std::size_t>(index.column())];
}

QVariant CardGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < kColumns ? header_[static_cast<std::size_t>(section)]
                                                  : QVariant();
    return QString::number(section + 1);
}

const QString& CardGridModel::cell(int gridRow, int column) const {
    return rows_[static_cast<std::size_t>(gridRow - 1)][static_cast<std::size_t>(column - 1)];
}

void CardGridModel::setRow(int gridRow, const RowTexts& texts) {
    rows_[static_cast<std::size_t>(gridRow - 1)] = texts;
    QByteArray folded = foldRow(texts);
    QByteArray& old = folded_[static_cast<std::size_t>(gridRow - 1)];
    if (folded != old) {  // a row shown again with the same texts keeps the joined text
        old = std::move(folded);
        joinedStale_ = true;
    }
    emit dataChanged(index(gridRow - 1, 0), index(gridRow - 1, kColumns - 1));
}

void CardGridModel::clearRow(int gridRow) { setRow(gridRow, RowTexts{}); }

void CardGridModel::setAllRows(std::vector<RowTexts> rows) {
    beginResetModel();
    rows.resize(rows_.size());
    rows_ = std::move(rows);
    for (std::size_t i = 0; i < rows_.size(); ++i) folded_[i] = foldRow(rows_[i]);
    joinedStale_ = true;
    endResetModel();
}

QByteArray CardGridModel::foldRow(const RowTexts& texts) {
    QByteArray folded;
    for (const QString& cell : texts)
        if (!cell.isEmpty()) folded += cell.toLower().toUtf8() + '\0';
    return folded;
}

void CardGridModel::joinFolded() const {
    if (!joinedStale_) return;
    qsizetype length = 0;
    for (const QByteArray& row : folded_) length += row.size();
    joined_.clear();
    joined_.reserve(length);
    joinedStart_.resize(folded_.size() + 1);
    for (std::size_t i = 0; i < folded_.size(); ++i) {
        joinedStart_[i] = joined_.size();
        joined_ += folded_[i];
    }
    joinedStart_[folded_.size()] = joined_.size();
    joinedStale_ = false;
}

int CardGridModel::findRow(const QString& lowerText, int from, int to) const {
    from = std::max(from, 1);
    to = std::min(to, rowCount());
    if (lowerText.isEmpty() || lowerText.contains(QChar(u'\0')) || from > to) return 0;
    joinFolded();
    // UTF-8 bytes match where the characters match; every cell ends in a
    // zero byte, so a hit lies within one row.
    const QByteArray needle = lowerText.toUtf8();
    const qsizetype begin = joinedStart_[static_cast<std::size_t>(from - 1)];
    const qsizetype end = joinedStart_[static_cast<std::size_t>(to)];
    const qsizetype found = QByteArrayView(joined_.constData() + begin, end - begin).indexOf(needle);
    if (found < 0) return 0;
    const qsizetype at = begin + found;
    const auto next = std::upper_bound(joinedStart_.begin(), joinedStart_.end(), at);
    return static_cast<int>(next - joinedStart_.begin());
}

} // namespace k8w
