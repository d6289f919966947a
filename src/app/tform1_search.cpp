// The main window's search: the search field, Enter and the find-next
// button, over the card list and then the SIM texts of the cards.
#include "app/tform1.h"

#include "app/card_grid_model.h"
#include "common/cp1251.h"
#include "ui_tform1.h"

#include <QFocusEvent>
#include <QKeyEvent>

#include <cstddef>
#include <cstring>
#include <string_view>

namespace k8w {
namespace {

// Reads a zero-terminated text field as raw CP1251 bytes.
template <std::size_t N> std::string_view rawField(const char (&field)[N]) {
    return {field, ::strnlen(field, N)};
}

// The six SIM texts of a card lie in bytes 747..887 (among a few other
// fields): a card whose span lacks the text's first byte is passed over at
// once, without reading each field.
constexpr std::size_t kSimFirst = offsetof(Card, puk1);
constexpr std::size_t kSimEnd = offsetof(Card, simId2) + sizeof Card::simId2;
static_assert(offsetof(Card, number1) > kSimFirst && offsetof(Card, simId1) > kSimFirst &&
              offsetof(Card, puk2) > kSimFirst && offsetof(Card, number2) > kSimFirst);
static_assert(offsetof(Card, simId1) + sizeof Card::simId1 < kSimEnd &&
              offsetof(Card, number2) + sizeof Card::number2 < kSimEnd);

bool simSpanHasByte(const Card& card, char byte) {
    return std::memchr(reinterpret_cast<const char*>(&card) + kSimFirst, byte, kSimEnd - kSimFirst) != nullptr;
}

} // namespace

bool TForm1::cardTextsMatch(int gridRow, const QByteArray& text) const {
    const Card& card = table_->cards[static_cast<std::size_t>(gridRow - 1)];
    if (text.isEmpty() || !simSpanHasByte(card, text.front())) return false;
    const std::string_view needle(text.constData(), static_cast<std::size_t>(text.size()));
    for (std::string_view field : {rawField(card.simId1), rawField(card.simId2), rawField(card.puk1),
                                   rawField(card.puk2), rawField(card.number1), rawField(card.number2)})
        if (!field.empty() && field.find(needle) != std::string_view::npos) return true;
    return false;
}

void TForm1::SearchNext() {
    if (editMode) return;
    const QString s = ui->SearchEdit->text();
    if (s.isEmpty()) return;
    const QString lower = s.toLower();
    // The card texts are CP1251 bytes; a search text with a character CP1251
    // cannot hold matches none of them.
    const QByteArray bytes = toCp1251(s);
    const bool cardSearch = fromCp1251(bytes) == s;
    const int b = searchRow;

    auto searchGrid = [&](int from, int to) { return gridModel_->findRow(lower, from, to); };
    auto searchCards = [&](int from, int to) {
        if (!cardSearch) return 0;
        for (int r = from; r <= to; ++r)
            if (cardTextsMatch(r, bytes)) return r;
        return 0;
    };

    const int first = std::max(b + 1, 1);
    int hit = searchGrid(first, kCardCapacity);
    if (!hit) hit = searchCards(first, kCardCapacity);
    if (!hit && b > 1) hit = searchGrid(1, b - 1);
    if (!hit && b > 1) hit = searchCards(1, b - 1);
    if (!hit) return;
    searchRow = hit;
    selectGridRow(hit);
    SetsGridClick();
}

void TForm1::SearchEditClick() { ui->SearchEdit->selectAll(); }

void TForm1::SearchEditChange() {
    if (editMode) return;
    searchRow = 0;
    SearchNext();
}

void TForm1::SearchEditKeyDown(int key) {
    if (key == 13) SearchNext();
}

void TForm1::SearchEditExit() {
    if (ui->SearchEdit->text().isEmpty()) ui->SearchEdit->setText(QStringLiteral("(Поиск...)"));
}

void TForm1::SpeedButton3Click() { SearchNext(); }

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->SearchEdit) {
        switch (event->type()) {
        case QEvent::MouseButtonRelease:
            SearchEditClick();
            break;
        case QEvent::FocusOut: {
            // Leaving the field for another control of the window; a context
            // menu or another application taking the focus is no exit.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) SearchEditExit();
            break;
        }
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                SearchEditKeyDown(13);
                return true;
            }
            break;
        }
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace k8w
