// The control window: construction, showing and closing, the log.
#include "app/tform4.h"

#include "ui_tform4.h"

#include <QEvent>
#include <QHeaderView>
#include <QShowEvent>
#include <QTime>
#include <QTimer>

namespace k8w {

namespace {

// Keeps the user's mouse and keys away from an indicator, which shows the
// device and is not for changing; unlike disabling, it leaves it readable.
class IndicatorOnly final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            return true;
        default:
            return QObject::eventFilter(watched, event);
        }
    }
};

QTimer* makeTimer(QObject* parent, const char* name, int intervalMs) {
    auto* timer = new QTimer(parent);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setInterval(intervalMs);
    return timer;
}

} // namespace

TForm4::TForm4(link::FtdiDriver& cables, Clock& clock, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TForm4>()),
      link_(std::make_unique<control::FTDI_VexlarCtrl>(cables, clock)) {
    ui->setupUi(this);
    setFixedSize(size());

    QTableWidget& grid = *ui->cordsGrid;
    grid.setColumnCount(1);
    grid.setRowCount(static_cast<int>(control::kLoopCount));
    grid.setHorizontalHeaderLabels({QString()});  // the fixed header row
    grid.verticalHeader()->hide();
    grid.horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid.horizontalHeader()->setFixedHeight(20);
    grid.verticalHeader()->setDefaultSectionSize(21);
    grid.setColumnWidth(0, 170);
    // Exactly the column and the six rows: nothing to scroll, nothing cut off.
    const int frame = 2 * grid.frameWidth();
    grid.setFixedSize(170 + frame, grid.horizontalHeader()->height() + 5 * 21 + frame);
    for (int row = 0; row < grid.rowCount(); ++row) grid.setItem(row, 0, new QTableWidgetItem);

    // The indicators show the device; the user cannot change them.
    auto* indicatorOnly = new IndicatorOnly(this);
    for (QWidget* indicator : ui->indicatorPanel->findChildren<QWidget*>()) {
        indicator->installEventFilter(indicatorOnly);
        indicator->setFocusPolicy(Qt::NoFocus);
    }
    PaintKeyField(false);

    Timer1 = makeTimer(this, "Timer1", 10);
    Timer2 = makeTimer(this, "Timer2", 1000);
    keyTMTimer = makeTimer(this, "keyTMTimer", 1000);
    connectHandlers();
    Timer1->start();
    Timer2->start();
}

TForm4::~TForm4() = default;

void TForm4::connectHandlers() {
    connect(Timer1, &QTimer::timeout, this, &TForm4::Timer1Timer);
    connect(Timer2, &QTimer::timeout, this, &TForm4::Timer2Timer);
    connect(keyTMTimer, &QTimer::timeout, this, &TForm4::keyTMTimerTimer);
    connect(ui->Button1, &QPushButton::clicked, this, &TForm4::Button1Click);
    connect(ui->relay1Btn, &QPushButton::clicked, this, &TForm4::relay1BtnClick);
    connect(ui->relay2Btn, &QPushButton::clicked, this, &TForm4::relay2BtnClick);
    connect(ui->zoomerBtn, &QPushButton::clicked, this, &TForm4::zoomerBtnClick);
    connect(ui->guardLedBtn, &QPushButton::clicked, this, &TForm4::guardLedBtnClick);
    connect(ui->ktcLedBtn, &QPushButton::clicked, this, &TForm4::ktcLedBtnClick);
    connect(ui->redLedbtn, &QPushButton::clicked, this, &TForm4::redLedbtnClick);
    connect(ui->greenLedBtn, &QPushButton::clicked, this, &TForm4::greenLedBtnClick);
    connect(ui->sim1Btn, &QPushButton::clicked, this, &TForm4::sim1BtnClick);
    connect(ui->sim2Btn, &QPushButton::clicked, this, &TForm4::sim2BtnClick);
}

void TForm4::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TForm4::FormShow() {
    ui->ismLog->clear();
    if (!link_->IsRunning()) link_->StartLink();
    link_->RequestHandshake();
}

void TForm4::done(int result) {
    FormClose();
    QDialog::done(result);
}

void TForm4::FormClose() { link_->StopLink(); }

void TForm4::Button1Click() { ui->ismLog->clear(); }

void TForm4::Log(const QString& text) {
    ui->ismLog->appendPlainText(control::ControlLogLine(QTime::currentTime(), text));
}

void TForm4::Timer2Timer() {
    if (link_->PendingCount() == 0 && link_->IsRunning()) link_->PollStatus();
}

} // namespace k8w
