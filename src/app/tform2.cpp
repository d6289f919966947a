// The read results view: construction and the window frame.
#include "app/tform2.h"

#include "link/ftdi_controller.h"
#include "ui_tform2.h"

#include <QScreen>

namespace k8w {

TForm2::TForm2(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TForm2>()) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(1029, 407);

    // The outputs stay browsable while their lists cannot be changed.
    for (int page = 0; page < ui->PageControl2->count(); ++page) ui->PageControl2->widget(page)->setEnabled(false);
    ui->GroupBox7->setVisible(true);

    connect(ui->Button1, &QPushButton::clicked, this, &QDialog::accept);
}

TForm2::~TForm2() = default;

void TForm2::SetVersionText(const QString& text) {
    ui->versionEdit->setText(text.isEmpty() ? link::kUnknownVersion : text);
}

void TForm2::showEvent(QShowEvent* event) {
    // Centred on the screen at every showing, wherever the main window is.
    const QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (screen) move(screen->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

} // namespace k8w
