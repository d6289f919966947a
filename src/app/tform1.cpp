#include "app/tform1.h"

#include "app/base_wait_indicator.h"
#include "app/card_grid_model.h"
#include "app/tkeysform.h"
#include "app/window_card_base.h"
#include "store/card_file.h"
#include "store/card_store.h"
#include "common/cp1251.h"
#include "common/day_date.h"
#include "ui_tform1.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QLocale>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <cstring>

namespace k8w {
namespace {


// A date of the card list: the locale's short date and the time, the time
// left out when it is exactly midnight.
QString gridDateText(double days) {
    const QDateTime moment = fromDayDate(days);
    if (moment.time() == QTime(0, 0)) return QLocale().toString(moment.date(), QLocale::ShortFormat);
    return dayDateLocaleText(days);
}

} // namespace

std::array<QString, 5> CardRowTexts(const Card& card) {
    std::array<QString, 5> texts;
    texts[0] = QString::number(card.codeUoo);
    texts[1] = fieldText(card.cardNumber);
    texts[2] = fieldText(card.objectName);
    texts[3] = gridDateText(card.changeDate);
    if (card.progDate > 0.001) texts[4] = gridDateText(card.progDate);
    return texts;
}

TForm1::TForm1(const AppHardware& hardware, QWidget* parent)
    : TForm1(OpenCardStore(kCardFileName, CardFileAccess::Held, nullptr), hardware, parent) {}

TForm1::TForm1(std::unique_ptr<CardStore> store, const AppHardware& hardware, QWidget* parent)
    : QWidget(parent),
      ui(std::make_unique<Ui::TForm1>()),
      hardware_(hardware),
      table_(CardTable::create()),
      cardBase_(std::make_unique<WindowCardBase>(std::move(store), *table_)) {
    ui->setupUi(this);
    loopTypes_ = {ui->Cord1, ui->Cord2, ui->Cord3, ui->Cord4, ui->Cord5};
    loopParts_ = {ui->Cord1Part, ui->Cord2Part, ui->Cord3Part, ui->Cord4Part, ui->Cord5Part};
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(974, 602);
    addStatusBar();

    // The backup-station page is not part of this device's card; its tab
    // stays hidden like its controls.
    ui->PageControl1->setTabVisible(ui->PageControl1->indexOf(ui->Res_Pcn_Sheet), false);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);

    gridModel_ = new CardGridModel(kCardCapacity, this);
    QTableView* grid = ui->SetsGrid;
    grid->setModel(gridModel_);
    QHeaderView* rowHeader = grid->verticalHeader();
    rowHeader->setSectionResizeMode(QHeaderView::Fixed);
    rowHeader->setDefaultSectionSize(20);
    rowHeader->setMinimumSectionSize(20);
    rowHeader->setFixedWidth(64);
    rowHeader->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QHeaderView* columns = grid->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Fixed);
    columns->setFixedHeight(20);
    columns->setHighlightSections(false);
    rowHeader->setHighlightSections(false);
    const int widths[] = {59, 101, 435, 144, 131};
    for (int c = 0; c < CardGridModel::kColumns; ++c) grid->setColumnWidth(c, widths[c]);

    // Construction of the window around the card table.
    selectedCableSerial.clear();
    dbFileName = QStringLiteral("ProgInfo_") + QStringLiteral("10") + QStringLiteral(".K8W");
    std::memset(&table_->cardTemplate, 0, sizeof(Card));
    InitGrid();
    currentCard = -1;
    connectHandlers();
    setUpBaseState();
    FillGrid();
    // The other windows, in start-up order, once the database is loaded.
    createWindows();
}

TForm1::~TForm1() { FormDestroy(); }

void TForm1::connectHandlers() {
    connect(ui->BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(ui->BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
    connect(ui->BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(); });
    connect(ui->ExitBtn, &QPushButton::clicked, this, [this] { ExitBtnClick(); });
    connect(ui->SpeedButton2, &QPushButton::clicked, this, [this] { SpeedButton2Click(); });
    connect(ui->SpeedButton3, &QToolButton::clicked, this, [this] { SpeedButton3Click(); });
    connect(ui->SearchEdit, &QLineEdit::textChanged, this, [this] { SearchEditChange(); });
    ui->SearchEdit->installEventFilter(this);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });

    connect(ui->SetsGrid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { SetsGridClick(); });
    connect(ui->SetsGrid, &QTableView::clicked, this, [this] { SetsGridClick(); });

    for (QComboBox* loop : loopTypes_) connect(loop, &QComboBox::activated, this, [this] { Cord1Change(); });
    for (QComboBox* hidden : {ui->Cord6, ui->Cord7, ui->Cord8})
        connect(hidden, &QComboBox::activated, this, [this] { Cord1Change(); });
    connect(ui->Cord1Part, &QComboBox::activated, this, [this] { Cord1PartChange(); });
    for (QComboBox* part : loopParts_) {
        if (part != ui->Cord1Part)
            connect(part, &QComboBox::activated, this, [this, part] { Cord2PartChange(part); });
    }
    connect(ui->partSupportCheck, &QCheckBox::clicked, this, [this] { partSupportCheckClick(); });
    for (QComboBox* relay : {ui->RelayComboBox1, ui->RelayComboBox2, ui->RelayComboBox3})
        connect(relay, &QComboBox::activated, this, [this, relay] { RelayComboBox1Change(relay); });
    connect(ui->PageControl2, &QTabWidget::currentChanged, this, [this] { PageControl2Change(); });
    connect(ui->VersionCombo, &QComboBox::activated, this, [this] { VersionComboChange(); });
    connect(ui->UseSim1, &QCheckBox::clicked, this, [this] { UseSim1Click(); });
    connect(ui->UseSim2, &QCheckBox::clicked, this, [this] { UseSim2Click(); });
    connect(ui->balEnable, &QCheckBox::clicked, this, [this] { balEnableClick(); });
    for (QCheckBox* box : {ui->sendSMS1Check, ui->sendSMS2Check, ui->saveSMSCheck})
        connect(box, &QCheckBox::clicked, this, [this] { sendSMS1CheckClick(); });
    connect(ui->allowUpdateCheck, &QCheckBox::clicked, this, [this] { allowUpdateCheckClick(); });
    connect(ui->defaultUpdSettings, &QPushButton::clicked, this,
            [this] { defaultUpdSettingsClick(); });
    connect(ui->ProgBtn, &QPushButton::clicked, this, [this] { ProgBtnClick(); });
    connect(ui->SpeedButton1, &QPushButton::clicked, this, [this] { SpeedButton1Click(); });
    connect(ui->ctrlWinBtn, &QPushButton::clicked, this, [this] { ctrlWinBtnClick(); });
    connect(ui->keysWinBtn, &QPushButton::clicked, this, [this] { keysWinBtnClick(); });
    connect(cardBase_.get(), &WindowCardBase::cardsChanged, this,
            [this](const std::vector<int>& changed, bool all) { cardsChangedElsewhere(changed, all); });
}

// The status bar tells while a call waits for the server.
void TForm1::addStatusBar() {
    auto* waitIndicator = new BaseWaitIndicator(*ui->statusBar, this);
    connect(cardBase_.get(), &WindowCardBase::waitingChanged, waitIndicator, &BaseWaitIndicator::setWaiting);
}

void TForm1::InitGrid() {
    QString caption = windowTitle();
    const qsizetype at = caption.indexOf(QStringLiteral("VERSION"));
    if (at >= 0) {
        caption.remove(at, 7);
        caption.insert(at, kProgramVersion);
    }
    setWindowTitle(caption);
    // The header texts and the 9000 numbered rows come from the grid model.
    ui->GroupBox5->show();
    ui->GroupBox1->setEnabled(false);
    for (QWidget* sheet : {ui->MainGSM_Sheet, ui->Add_GSM_Sheet, ui->BalanceSheet, ui->Res_Pcn_Sheet,
                           ui->SMS_Sheet, ui->UpdateSheet})
        sheet->setEnabled(false);
    ui->GroupBox7->show();
    for (int i = 0; i < ui->PageControl2->count(); ++i) {
        if (i > 2) ui->PageControl2->setTabVisible(i, false);
        ui->PageControl2->widget(i)->setEnabled(false);
    }
}

void TForm1::FillGrid() {
    // A file that cannot be read is set aside by the load and leaves an
    // empty table; a base that fails here says why.
    if (const CardStoreResult loaded = cardBase_->load(); !loaded.ok()) cardBase_->showFailure(loaded);
    fillGridRows();
    selectGridRow(1);
    SetsGridClick();
}

void TForm1::fillGridRows() {
    std::vector<CardGridModel::RowTexts> rows(kCardCapacity);
    for (int r = 1; r <= kCardCapacity; ++r) {
        const Card& card = cardBase_->newestCard(r - 1);
        if (isCardInUse(card)) rows[static_cast<std::size_t>(r - 1)] = CardRowTexts(card);
    }
    gridModel_->setAllRows(std::move(rows));
}

void TForm1::cardsChangedElsewhere(const std::vector<int>& changed, bool all) {
    const QModelIndex selected = ui->SetsGrid->selectionModel()->currentIndex();
    bool shownChanged = all;
    if (all) {
        fillGridRows();  // a reset: the selection is put back below
        if (selected.isValid()) selectGridRow(selected.row() + 1);
    }
    for (const int slot : changed) {
        if (slot == kTemplateSlot) continue;
        const Card& card = cardBase_->newestCard(slot);
        if (isCardInUse(card))
            gridModel_->setRow(slot + 1, CardRowTexts(card));
        else
            gridModel_->clearRow(slot + 1);
        shownChanged = shownChanged || slot == currentCard;
    }
    // A card being edited keeps what the user typed; the save will ask.
    if (shownChanged && !editMode && currentCard >= 0) ShowCard(currentCard);
    if (keysForm_ && keysForm_->isVisible()) keysForm_->cardChanged();
}

void TForm1::selectGridRow(int gridRow) {
    const QModelIndex index = gridModel_->index(gridRow - 1, 0);
    ui->SetsGrid->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ui->SetsGrid->scrollTo(index);
}


void TForm1::SetsGridClick() {
    // In editing mode the grid is locked and cannot change the current card.
    if (editMode) return;
    const QModelIndex index = ui->SetsGrid->selectionModel()->currentIndex();
    if (!index.isValid()) return;
    const int r = index.row() + 1;
    searchRow = r;
    if (r - 1 != currentCard) {
        currentCard = r - 1;
        ShowCard(currentCard);
    }
}



void TForm1::FormClose() {
    if (saveOnClose) cardBase_->flush();
}

void TForm1::closeEvent(QCloseEvent* event) {
    bool canClose = true;
    FormCloseQuery(canClose);
    if (!canClose) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TForm1::ExitBtnClick() { close(); }

void TForm1::Timer1Timer() {
    int position = ui->Progress->value() + 1;
    if (position > 9) position = 0;
    ui->Progress->setValue(position);
}

void TForm1::SpeedButton2Click() {
    // One reseed for the whole address: reseeding before each byte from a
    // coarse clock could give five equal bytes.
    reseedRandom();
    ui->Mac1->setText(QStringLiteral("00"));
    for (QLineEdit* mac : {ui->Mac2, ui->Mac3, ui->Mac4, ui->Mac5, ui->Mac6})
        mac->setText(QStringLiteral("%1").arg(randomInt(0, 254), 2, 16, QLatin1Char('0')).toUpper());
}

} // namespace k8w
