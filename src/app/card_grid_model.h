#pragma once
#include <QAbstractTableModel>
#include <QString>

#include <array>
#include <vector>

namespace k8w {

// The texts of the card list: one row per card slot (model row i is grid row
// i + 1 and shows slot i), five text columns after the row number, which the
// vertical header shows. Cells are written, not derived, like the cells of a
// string grid: the window writes a row whenever the card behind it changes.
class CardGridModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumns = 5;
    using RowTexts = std::array<QString, kColumns>;

    explicit CardGridModel(int rows, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Grid coordinates: row 1..rows, column 1..5.
    const QString& cell(int gridRow, int column) const;
    void setRow(int gridRow, const RowTexts& texts);
    void clearRow(int gridRow);
    // Fills every row at once (start-up), with a single reset.
    void setAllRows(std::vector<RowTexts> rows);

private:
    std::vector<RowTexts> rows_;
    std::array<QString, kColumns> header_;
};

} // namespace k8w
