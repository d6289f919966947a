// The main window's other windows: created once, in start-up order, after
// the database is loaded; shown modally on demand.
#include "app/tform1.h"

#include "app/tenterkeydialog.h"
#include "app/tform2.h"
#include "app/tform4.h"
#include "app/thistorydialog.h"
#include "app/tftdi_dialog.h"
#include "app/tkeysform.h"
#include "app/tmanualkeydlg.h"
#include "app/window_card_base.h"

namespace k8w {

void TForm1::createWindows() {
    ftdiDialog_ = new TftdiDialog(this);
    readView_ = new TForm2(this);
    form4_ = new TForm4(hardware_.cableDriver(), hardware_.timeSource(), this);
    enterKeyDialog_ = new TenterKeyDialog(hardware_.keyPort(), hardware_.timeSource(), this);
    // The key table works with both key dialogs, so the manual entry dialog
    // exists before it.
    manualKeyDlg_ = new TmanualKeyDlg(this);
    keysForm_ = new TkeysForm(*table_, *cardBase_, *enterKeyDialog_, *manualKeyDlg_, this);
    historyDialog_ = new THistoryDialog(*cardBase_, this);
}

void TForm1::ctrlWinBtnClick() { form4_->exec(); }

void TForm1::keysWinBtnClick() {
    if (currentCard < 0) return;
    keysForm_->ShowForCard(currentCard);
    // The user may have kept another user's newer version of the card there.
    ShowCard(currentCard);
}

} // namespace k8w
