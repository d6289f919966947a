// The main window's view of its card base: the status bar naming the base
// and its state, who changed the card shown, the history of a card, and the
// buttons a user who may only read the base cannot use.
#include "app/tform1.h"

#include "app/card_base_choice.h"
#include "app/card_base_texts.h"
#include "app/thistorydialog.h"
#include "app/window_card_base.h"
#include "ui_tform1.h"

#include <QLabel>
#include <QStatusBar>

namespace k8w {

QStatusBar* TForm1::statusBar() const { return ui->statusBar; }

void TForm1::setUpBaseState() {
    baseStatus_ = new QLabel(ui->statusBar);
    baseStatus_->setObjectName(QStringLiteral("BaseStatusLabel"));
    baseStatus_->setContentsMargins(0, 0, 8, 0);  // clear of the window's edge
    // Permanent: a message of the moment shows beside it, not over it.
    ui->statusBar->addPermanentWidget(baseStatus_);
    connect(cardBase_.get(), &WindowCardBase::linkChanged, this, [this] { showBaseState(); });
    connect(ui->HistoryBtn, &QPushButton::clicked, this, [this] { HistoryBtnClick(); });
    showBaseState();
}

void TForm1::showBaseState() {
    QString state;
    switch (cardBase_->link()) {
    case WindowCardBase::Link::Connected:
        state = kBaseConnected;
        break;
    case WindowCardBase::Link::Reconnecting:
        state = kBaseReconnecting;
        break;
    case WindowCardBase::Link::Offline:
        state = kBaseOffline;
        break;
    }
    if (const int waiting = cardBase_->waitingResults(); waiting > 0) state += kResultsWaitingStatus.arg(waiting);
    baseStatus_->setText(CardBaseStatusText(cardBase_->store().location(), state));
}

void TForm1::showLastChange() {
    const Card& c = table_->cards[static_cast<std::size_t>(currentCard)];
    const CardVersion* last = isCardInUse(c) ? cardBase_->lastChange(currentCard) : nullptr;
    ui->ChangedLabel->setText(last ? CardChangedText(*last) : QString());
}

void TForm1::applyBaseRights() {
    const bool idle = !editMode && !programmingActive && !readingActive;
    ui->HistoryBtn->setEnabled(idle && cardBase_->store().keepsHistory() && currentCard >= 0 &&
                               cardBase_->revision(currentCard) > 0);
    if (cardBase_->store().canWrite()) return;
    for (QWidget* control : {ui->BitBtn1, ui->BitBtn2, ui->BitBtn3, ui->ProgBtn}) {
        control->setEnabled(false);
        control->setToolTip(kCardBaseReadOnlyText);
    }
}

void TForm1::HistoryBtnClick() {
    if (currentCard < 0 || editMode) return;
    historyDialog_->ShowForSlot(currentCard);
    // A restored version, or another user's newer one the user kept.
    ShowCard(currentCard);
}

} // namespace k8w
