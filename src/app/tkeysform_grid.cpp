// The key table's grid: three columns, a fixed first row and column, and
// every cell drawn by the window.
#include "app/tkeysform.h"

#include "keys/key_code.h"
#include "keys/subscribers.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableWidget>

namespace k8w {
namespace {

constexpr int kColumnWidths[] = {32, 200, 211};
constexpr int kRows = 7;
constexpr int kRowHeight = 17;
const QColor kFixedCellColour(0xE6, 0xBB, 0x75);

class KeysTabDelegate final : public QStyledItemDelegate {
public:
    KeysTabDelegate(const TkeysForm& form, QObject* parent) : QStyledItemDelegate(parent), form_(form) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const bool selected = option.state & (QStyle::State_Selected | QStyle::State_HasFocus);
        form_.keysTabDrawCell(*painter, index.column(), index.row(), option.rect, selected);
    }

private:
    const TkeysForm& form_;
};

} // namespace

void SetUpKeysTab(TkeysForm& form, QTableWidget& grid) {
    grid.setRowCount(kRows);
    grid.setColumnCount(3);
    grid.horizontalHeader()->hide();
    grid.verticalHeader()->hide();
    grid.verticalHeader()->setMinimumSectionSize(kRowHeight);
    grid.verticalHeader()->setDefaultSectionSize(kRowHeight);
    grid.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid.horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    for (int c = 0; c < 3; ++c) grid.setColumnWidth(c, kColumnWidths[c]);
    grid.setShowGrid(true);
    grid.setFocusPolicy(Qt::StrongFocus);
    // The fixed row and column can be neither selected nor made current.
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < 3; ++c) {
            auto* item = new QTableWidgetItem;
            item->setFlags(r == 0 || c == 0 ? Qt::NoItemFlags : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            grid.setItem(r, c, item);
        }
    }
    grid.setItemDelegate(new KeysTabDelegate(form, &grid));
    grid.setCurrentCell(1, 1);
}

QString TkeysForm::keysTabCellText(int column, int row) const {
    if (row == 0) {
        if (column == 1) return QStringLiteral("Абонент");
        if (column == 2) return QStringLiteral("Состояние");
        return {};
    }
    if (column == 0) return QString::number(row);
    if (partition() == 0) return {};
    const KeyEntry& slot = partitionSlots()[row - 1];
    const bool installed = keys::IsKeyInstalled(slot);
    if (column == 1) return installed ? keys::SubscriberLabel(slot.subscriber) : QString();
    return installed ? QStringLiteral("Установлен") + QStringLiteral(" (") + keys::KeyCodeText(slot.keyCode) +
                           QStringLiteral(")")
                     : QStringLiteral("Свободно");
}

void TkeysForm::keysTabDrawCell(QPainter& painter, int column, int row, const QRect& rect, bool selected) const {
    const bool fixed = column == 0 || row == 0;
    const QPalette& colours = palette();
    painter.save();
    if (fixed) {
        painter.fillRect(rect, kFixedCellColour);
        painter.setPen(colours.color(QPalette::Text));
    } else if (selected) {
        painter.fillRect(rect, colours.color(QPalette::Highlight));
        painter.setPen(colours.color(QPalette::HighlightedText));
    } else {
        painter.fillRect(rect, colours.color(QPalette::Base));
        painter.setPen(colours.color(QPalette::Text));
    }

    painter.drawText(rect.adjusted(0, 3, 0, 0), Qt::AlignCenter, keysTabCellText(column, row));
    painter.restore();
}

} // namespace k8w
