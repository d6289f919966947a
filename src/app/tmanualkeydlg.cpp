#include "app/tmanualkeydlg.h"

#include "common/day_date.h"
#include "common/message_box.h"
#include "keys/key_code.h"
#include "keys/key_texts.h"
#include "keys/subscribers.h"
#include "ui_tmanualkeydlg.h"

#include <QKeyEvent>
#include <QShowEvent>

namespace k8w {

TmanualKeyDlg::TmanualKeyDlg(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TmanualKeyDlg>()) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(size());
    result_.entryDate = 0;
    connect(ui->keyEdit, &QLineEdit::textChanged, this, [this] { keyEditChange(); });
    connect(ui->okButton, &QPushButton::clicked, this, [this] { okButtonClick(); });
    connect(ui->cancelBtn, &QPushButton::clicked, this, [this] { done(2); });
}

TmanualKeyDlg::~TmanualKeyDlg() = default;

int TmanualKeyDlg::Run(const KeyEntry* partitionSlots) {
    ui->subsCombo->clear();
    ui->subsCombo->addItems(keys::SubscriberChoices(partitionSlots));
    ui->subsCombo->setCurrentIndex(0);
    return exec();
}

void TmanualKeyDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormActivate();
}

// Enter presses OK, the dialog's default button, but never on behalf of a
// focused "Отмена": that Enter presses nothing.
void TmanualKeyDlg::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && focusWidget() == ui->cancelBtn) return;
    QDialog::keyPressEvent(event);
}

void TmanualKeyDlg::FormActivate() {
    ui->keyEdit->clear();
    ui->okButton->setEnabled(false);
    ui->keyEdit->setFocus();
}

void TmanualKeyDlg::keyEditChange() { ui->okButton->setEnabled(true); }

void TmanualKeyDlg::okButtonClick() {
    const QString text = ui->keyEdit->text();
    auto refuse = [] {
        showMessage(kAttention, keys::kBadKeyCodeText, MsgButtons::Ok, MsgIcon::Warning);
    };
    if (text.size() < 2 * keys::kKeyCodeSize) {
        refuse();
        return;
    }
    // Pair k from the left is code byte 5 - k; the pairs before a bad one are kept.
    for (int k = 0; k < keys::kKeyCodeSize; ++k) {
        if (!keys::ParseHexPair(QStringView(text).mid(2 * k, 2), result_.keyCode[keys::kKeyCodeSize - 1 - k])) {
            refuse();
            return;
        }
    }
    result_.state = 1;
    result_.subscriber = static_cast<std::uint8_t>(keys::SubscriberOfChoice(ui->subsCombo->currentText()));
    result_.entryDate = dayDateNow();
    done(1);
}

} // namespace k8w
