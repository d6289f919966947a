#include "app/tftdi_dialog.h"

#include "ui_tftdi_dialog.h"

namespace k8w {

TftdiDialog::TftdiDialog(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TftdiDialog>()) {
    ui->setupUi(this);
    setFixedSize(250, 153);
    // A small tool window without a close box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint);
    connect(ui->Button1, &QPushButton::clicked, this, &QDialog::accept);
}

TftdiDialog::~TftdiDialog() = default;

void TftdiDialog::setSerials(const QStringList& serials) {
    ui->devCombo->clear();
    ui->devCombo->addItems(serials);
    ui->devCombo->setCurrentIndex(serials.isEmpty() ? -1 : 0);
}

QString TftdiDialog::chosenSerial() const { return ui->devCombo->currentText(); }

void TftdiDialog::reject() { accept(); }

} // namespace k8w
