#include "app/card_grid_model.h"

namespace k8w {

CardGridModel::CardGridModel(int rows, QObject* parent)
    : QAbstractTableModel(parent),
      rows_(static_cast<std::size_t>(rows)),
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
    emit dataChanged(index(gridRow - 1, 0), index(gridRow - 1, kColumns - 1));
}

void CardGridModel::clearRow(int gridRow) { setRow(gridRow, RowTexts{}); }

void CardGridModel::setAllRows(std::vector<RowTexts> rows) {
    beginResetModel();
    rows.resize(rows_.size());
    rows_ = std::move(rows);
    endResetModel();
}

} // namespace k8w
