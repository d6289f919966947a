#include "app/tkeysform.h"

#include "app/card_base_texts.h"
#include "app/tenterkeydialog.h"
#include "app/tmanualkeydlg.h"
#include "app/window_card_base.h"
#include "cards/card_parts.h"
#include "cards/card_table.h"
#include "common/day_date.h"
#include "common/message_box.h"
#include "keys/subscribers.h"
#include "ui_tkeysform.h"

#include <QShowEvent>

#include <cstring>

namespace k8w {
namespace {
const QString kOverwriteQuestion = QStringLiteral("Ключ уже установлен. Хотите перезаписать текущий ключ?");
} // namespace

// The window's grid draws every cell itself (tkeysform_grid.cpp).
void SetUpKeysTab(TkeysForm& form, QTableWidget& grid);

TkeysForm::TkeysForm(CardTable& table, WindowCardBase& base, TenterKeyDialog& enterKeyDialog,
                     TmanualKeyDlg& manualKeyDlg, QWidget* parent)
    : QDialog(parent),
      ui(std::make_unique<Ui::TkeysForm>()),
      table_(table),
      base_(base),
      enterKeyDialog_(enterKeyDialog),
      manualKeyDlg_(manualKeyDlg) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(size());
    for (int p = 0; p <= 3; ++p) ui->TabControl1->addTab(QStringLiteral("Раздел %1").arg(p));
    SetUpKeysTab(*this, *ui->keysTab);

    connect(ui->TabControl1, &QTabBar::currentChanged, this, [this] { TabControl1Change(); });
    // The date shown is always that of the selected slot.
    connect(ui->keysTab, &QTableWidget::currentCellChanged, this, [this] { RefreshDateLabel(); });
    connect(ui->keyEnterBtn, &QPushButton::clicked, this, [this] { keyEnterBtnClick(); });
    connect(ui->keyManualBtn, &QPushButton::clicked, this, [this] { keyManualBtnClick(); });
    connect(ui->keyDelBtn, &QPushButton::clicked, this, [this] { keyDelBtnClick(); });
    connect(ui->Button1, &QPushButton::clicked, this, [this] { accept(); });
}

TkeysForm::~TkeysForm() = default;

int TkeysForm::ShowForCard(int cardIndex) {
    cardIndex_ = cardIndex;
    return exec();
}

void TkeysForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormActivate();
}

void TkeysForm::FormActivate() {
    {
        const QSignalBlocker quiet(ui->TabControl1);
        ui->TabControl1->setCurrentIndex(0);
    }
    TabControl1Change();
    ui->Label2->hide();
    // A user who may only read the base sees why the key buttons do nothing.
    const bool mayWrite = base_.store().canWrite();
    for (QPushButton* button : {ui->keyEnterBtn, ui->keyManualBtn, ui->keyDelBtn}) {
        button->setEnabled(mayWrite);
        button->setToolTip(mayWrite ? QString() : kCardBaseReadOnlyText);
    }
}

void TkeysForm::TabControl1Change() {
    const bool keyTab = partition() != 0;
    ui->keysTab->setVisible(keyTab);
    ui->keyManageBox->setVisible(keyTab);
    ui->Label44->setVisible(keyTab);
    ui->Label1->setVisible(!keyTab);
    ui->keysTab->viewport()->update();
    RefreshDateLabel();
}

void TkeysForm::RefreshDateLabel() {
    if (partition() == 0) return;
    const double entered = selectedSlot().entryDate;
    ui->KeyLastDateLabel->setText(entered > 0.1 ? dayDateLocaleText(entered) : QStringLiteral("---"));
    ui->keysTab->viewport()->update();
}

int TkeysForm::partition() const { return ui->TabControl1->currentIndex(); }

KeyEntry* TkeysForm::partitionSlots() const {
    return table_.cards[static_cast<std::size_t>(cardIndex_)].keys[partition() - 1];
}

int TkeysForm::selectedEntry() const {
    const int row = ui->keysTab->currentRow();
    return row >= 1 && row <= keys::kSlotsPerPartition ? row - 1 : 0;
}

KeyEntry& TkeysForm::selectedSlot() const { return partitionSlots()[selectedEntry()]; }

void TkeysForm::cardChanged() {
    RefreshDateLabel();
    ui->keysTab->viewport()->update();
}

bool TkeysForm::storeKey(const KeyEntry& key) {
    const int card = cardIndex_;
    const int group = partition() - 1;
    const int entry = selectedEntry();
    const Card before = base_.newestCard(card);
    const auto stored = base_.change(
        card, [&](CardRevision seen) { return base_.store().setKey(card, group, entry, key, seen); },
        [&](const Card& newer) { return !SameKeySlot(before, newer, group, entry); });
    if (stored == WindowCardBase::Outcome::Stored) return true;
    cardChanged();  // the card as the base has it
    return false;
}

template <typename Dialog> void TkeysForm::enterKey(Dialog& dialog) {
    if (!base_.mayChange()) return;  // a read-only user views only
    // Decided on the newest version: another user may have set this key meanwhile.
    if (!base_.renew(cardIndex_)) return;
    KeyEntry& slot = selectedSlot();
    if (keys::IsKeyInstalled(slot) &&
        !askYesNo(kAttention, kOverwriteQuestion))
        return;
    const KeyEntry decided = slot;
    if (dialog.Run(partitionSlots()) != 1) return;
    // Another user may have set this key while the dialog was open.
    const KeyEntry& now = selectedSlot();
    if (std::memcmp(&now, &decided, sizeof decided) != 0 && keys::IsKeyInstalled(now) &&
        !askYesNo(kAttention, kOverwriteQuestion))
        return;
    if (storeKey(dialog.result())) slotChanged();
}

void TkeysForm::keyEnterBtnClick() { enterKey(enterKeyDialog_); }

void TkeysForm::keyManualBtnClick() { enterKey(manualKeyDlg_); }

void TkeysForm::keyDelBtnClick() {
    KeyEntry& slot = selectedSlot();
    if (!keys::IsKeyInstalled(slot)) return;
    if (!base_.mayChange()) return;
    if (!askYesNo(kAttention, QStringLiteral("Удалить текущий ключ?"))) return;
    if (storeKey(KeyEntry{})) slotChanged();
}

void TkeysForm::slotChanged() {
    RefreshDateLabel();
    ui->Label2->show();
}

} // namespace k8w
