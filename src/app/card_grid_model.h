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

    // The first grid row from `from` to `to` with a cell that contains
    // `lowerText` (already lower case) in its lower-case form; 0 for none.
    int findRow(const QString& lowerText, int from, int to) const;

private:
    // A row's cells in lower case as UTF-8, each followed by a zero byte: a
    // search text holds none, so it is found within one cell only.
    static QByteArray foldRow(const RowTexts& texts);

    // Joins the folded rows into one text when a row changed since the last search.
    void joinFolded() const;

    std::vector<RowTexts> rows_;
    // Kept with rows_ by every write, so that a search folds no text.
    std::vector<QByteArray> folded_;
    // All folded rows in one text, searched in one pass; row i starts at
    // joinedStart_[i]. Joined again after a change, at the next search.
    mutable QByteArray joined_;
    mutable std::vector<qsizetype> joinedStart_;
    mutable bool joinedStale_ = true;
    std::array<QString, kColumns> header_;
};

} // namespace k8w
