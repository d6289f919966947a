#include "app/thistorydialog.h"

#include "app/card_base_texts.h"
#include "app/window_card_base.h"
#include "common/cp1251.h"
#include "ui_thistorydialog.h"

#include <QHeaderView>

namespace k8w {
namespace {

constexpr int kColumnWidths[] = {60, 130, 150, 120, 60};

} // namespace

THistoryDialog::THistoryDialog(WindowCardBase& base, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::THistoryDialog>()), base_(base) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(size());
    QTableWidget* table = ui->versionsTable;
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(20);
    for (int c = 0; c < 5; ++c) table->setColumnWidth(c, kColumnWidths[c]);
    table->horizontalHeader()->setStretchLastSection(true);
    connect(ui->restoreBtn, &QPushButton::clicked, this, [this] { restoreBtnClick(); });
    connect(ui->closeBtn, &QPushButton::clicked, this, [this] { reject(); });
    connect(table, &QTableWidget::itemSelectionChanged, this, [this] {
        ui->restoreBtn->setEnabled(ui->versionsTable->currentRow() > 0 && base_.store().canWrite());
    });
}

THistoryDialog::~THistoryDialog() = default;

void THistoryDialog::ShowForSlot(int slot) {
    slot_ = slot;
    if (!fill()) return;
    exec();
}

bool THistoryDialog::fill() {
    const CardStoreResult listed = base_.store().history(slot_, versions_);
    if (!listed.ok()) {
        base_.showFailure(listed);
        return false;
    }
    ui->cardLabel->setText(QStringLiteral("Карточка %1: версий %2").arg(slot_ + 1).arg(versions_.size()));
    QTableWidget* table = ui->versionsTable;
    table->setRowCount(static_cast<int>(versions_.size()));
    for (int row = 0; row < table->rowCount(); ++row) {
        const CardVersion& v = versions_[static_cast<std::size_t>(row)];
        const bool inUse = isCardInUse(v.card);
        const QString texts[] = {QString::number(v.revision), CardChangeTimeText(v.changedAt), v.changedBy,
                                 CardChangeKindText(v.kind), inUse ? QString::number(v.card.codeUoo) : QString(),
                                 inUse ? fieldText(v.card.objectName) : QString()};
        for (int c = 0; c < 6; ++c) table->setItem(row, c, new QTableWidgetItem(texts[c]));
    }
    // The newest version is the card as it is: nothing to restore there.
    table->setCurrentCell(versions_.empty() ? -1 : 0, 0);
    ui->restoreBtn->setEnabled(false);
    if (!base_.store().canWrite()) ui->restoreBtn->setToolTip(kCardBaseReadOnlyText);
    return true;
}

void THistoryDialog::restoreBtnClick() {
    const int row = ui->versionsTable->currentRow();
    if (row <= 0 || row >= static_cast<int>(versions_.size())) return;
    if (!base_.mayChange()) return;
    const CardRevision chosen = versions_[static_cast<std::size_t>(row)].revision;
    const int slot = slot_;
    CardStore& store = base_.store();
    // Restored only over the version the window showed: a newer one is asked about.
    const auto outcome = base_.change(slot, [&](CardRevision seen) {
        CardStoreResult newest = store.readCard(slot);
        if (newest.ok() && newest.current.revision != seen) newest.status = CardStoreStatus::Conflict;
        return newest.ok() ? store.restore(slot, chosen) : newest;
    });
    if (outcome != WindowCardBase::Outcome::Failed) accept();
}

} // namespace k8w
