#pragma once
#include "store/card_store.h"

#include <QDialog>

#include <memory>
#include <vector>

namespace Ui {
class THistoryDialog;
}

namespace k8w {

class WindowCardBase;

// "История карточки": the versions a base keeps of one card, the newest
// first (revision, time, who, kind of change, code, object), and the restore
// of a chosen one as a change of its own. A card someone changed since the
// window showed it is asked about first, as every change is.
class THistoryDialog : public QDialog {
    Q_OBJECT
public:
    explicit THistoryDialog(WindowCardBase& base, QWidget* parent = nullptr);
    ~THistoryDialog() override;

    // Lists the versions of slot `slot` and shows the window modally; after
    // the box that says why, nothing when the base cannot list them.
    void ShowForSlot(int slot);
    // Restores the selected version; the window closes when the card changed.
    void restoreBtnClick();

private:
    bool fill();

    std::unique_ptr<Ui::THistoryDialog> ui;
    WindowCardBase& base_;
    int slot_ = -1;
    std::vector<CardVersion> versions_;
};

} // namespace k8w
