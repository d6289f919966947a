#include "app/window_card_base.h"

#include "app/card_base_texts.h"

#include "cards/card_table.h"
#include "common/message_box.h"
#include "editor/card_validation.h"


#include <algorithm>

namespace k8w {
namespace {

const QString kErrorTitle = QStringLiteral("Ошибка");
// More changed slots than this at once (a whole base copied in) are read in
// one go rather than card by card.
constexpr std::size_t kReloadAbove = 500;

} // namespace

WindowCardBase::WindowCardBase(std::unique_ptr<CardStore> store, CardTable& table, QObject* parent)
    : QObject(parent), store_(std::move(store)), table_(table), revisions_(kCardCapacity, 0) {
    store_->setChangeListener([this] { takeChanges(); });
    store_->setWaitListener([this](bool waiting) { emit waitingChanged(waiting); });
}

WindowCardBase::~WindowCardBase() {
    store_->setChangeListener({});
    store_->setWaitListener({});
}

CardStoreResult WindowCardBase::load() {
    CardStoreResult loaded = store_->loadAll(table_, revisions_);
    revisions_.resize(kCardCapacity, 0);
    return loaded;
}

void WindowCardBase::holdSlot(int slot) {
    held_ = slot;
    heldHasNewer_ = false;
}

void WindowCardBase::releaseHeld() {
    if (held_ >= 0 && heldHasNewer_) take(held_, heldNewer_);
    held_ = -1;
    heldHasNewer_ = false;
}

const Card& WindowCardBase::newestCard(int slot) const {
    if (slot == held_ && heldHasNewer_) return heldNewer_.card;
    return table_.cards[static_cast<std::size_t>(slot)];
}

bool WindowCardBase::mayChange() {
    if (store_->canWrite()) return true;
    showMessage(kAttention, kCardBaseReadOnlyText, MsgButtons::Ok, MsgIcon::Warning);
    return false;
}

bool WindowCardBase::readyToRecord() {
    const CardStoreResult writable = store_->checkWritable();
    if (writable.ok()) {
        retryPending();
        return true;
    }
    switch (writable.status) {
    case CardStoreStatus::ConnectionLost:
    case CardStoreStatus::ReadOnly:
        showFailure(writable);
        break;
    default:
        showMessage(kAttention, kResultNotRecordable, MsgButtons::Ok, MsgIcon::Warning);
    }
    return false;
}

WindowCardBase::Outcome WindowCardBase::change(int slot,
                                                const std::function<CardStoreResult(CardRevision seen)>& write) {
    retryPending();
    CardRevision seen = revision(slot);
    for (;;) {
        const CardStoreResult result = write(seen);
        if (result.status == CardStoreStatus::Conflict) {
            if (askYesNo(kAttention, CardConflictQuestion(result.current))) {
                seen = result.current.revision;
                continue;
            }
            take(slot, result.current);
            return Outcome::Theirs;
        }
        // What the store kept locally is written again at close.
        if (result.ok() || result.keptLocally) take(slot, result.current);
        if (!result.ok()) showFailure(result);
        return result.ok() || result.keptLocally ? Outcome::Stored : Outcome::Failed;
    }
}

bool WindowCardBase::recordProgramming(int slot, std::uint16_t imageChecksum, double programmedAt) {
    const CardStoreResult result = store_->recordProgramming(slot, imageChecksum, programmedAt);
    if (result.ok() || result.keptLocally) take(slot, result.current);
    if (result.ok()) return true;
    // A device now holds this image: its result must reach the base.
    if (result.status == CardStoreStatus::ConnectionLost) pending_.push_back({slot, imageChecksum, programmedAt});
    showFailure(result);
    return false;
}

void WindowCardBase::retryPending() {
    while (!pending_.empty()) {
        const PendingResult next = pending_.front();
        const CardStoreResult result = store_->recordProgramming(next.slot, next.checksum, next.at);
        if (result.status == CardStoreStatus::ConnectionLost) return;
        pending_.erase(pending_.begin());
        if (!result.ok()) continue;  // the card was deleted meanwhile: nothing to keep
        take(next.slot, result.current);
        emit cardsChanged({next.slot}, false);
    }
}

void WindowCardBase::flush() {
    if (const CardStoreResult flushed = store_->flush(); !flushed.ok()) showFailure(flushed);
    retryPending();
    if (!pending_.empty())
        showMessage(kErrorTitle, kCardBaseLostText.arg(store_->checkWritable().reason), MsgButtons::Ok,
                    MsgIcon::Error);
}

void WindowCardBase::showFailure(const CardStoreResult& result) const {
    switch (result.status) {
    case CardStoreStatus::Done:
    case CardStoreStatus::Conflict:
        return;
    case CardStoreStatus::ConnectionLost:
        showMessage(kErrorTitle, kCardBaseLostText.arg(result.reason), MsgButtons::Ok, MsgIcon::Error);
        return;
    case CardStoreStatus::ReadOnly:
        showMessage(kAttention, kCardBaseReadOnlyText, MsgButtons::Ok, MsgIcon::Warning);
        return;
    case CardStoreStatus::CodeTaken:
        // What the window's own check of the code says.
        showMessage(kValidationTitle, kCardCodeTakenText, MsgButtons::Ok, MsgIcon::Warning);
        return;
    default:
        break;
    }
    if (result.status == CardStoreStatus::SaveFailed) {
        showMessage(kErrorTitle, kDiskWriteErrorText, MsgButtons::Ok, MsgIcon::Error);
        return;
    }
    showMessage(kErrorTitle, result.reason, MsgButtons::Ok, MsgIcon::Error);
}

void WindowCardBase::take(int slot, const CardVersion& version) {
    if (slot == kTemplateSlot) {
        table_.cardTemplate = version.card;
        return;
    }
    // A read that began before a change of this window's own ended later
    // (both waited for the server meanwhile) brings an older version.
    if (version.revision < revisions_[static_cast<std::size_t>(slot)]) return;
    table_.cards[static_cast<std::size_t>(slot)] = version.card;
    revisions_[static_cast<std::size_t>(slot)] = version.revision;
    if (slot == held_) heldHasNewer_ = false;
}

void WindowCardBase::takeChanges() {
    const CardChanges changes = store_->takeChanges();
    if (changes.all || changes.changedSlots.size() > kReloadAbove) {
        auto fresh = CardTable::create();
        std::vector<CardRevision> revisions;
        if (!store_->loadAll(*fresh, revisions).ok()) return;  // the next action reconnects
        if (held_ >= 0) {
            const auto h = static_cast<std::size_t>(held_);
            heldNewer_ = {fresh->cards[h], revisions[h], {}, {}, {}};
            heldHasNewer_ = true;
            fresh->cards[h] = table_.cards[h];
            revisions[h] = revisions_[h];
        }
        for (std::size_t slot = 0; slot < revisions.size(); ++slot) {
            if (revisions[slot] >= revisions_[slot]) continue;  // a newer one came meanwhile
            fresh->cards[slot] = table_.cards[slot];
            revisions[slot] = revisions_[slot];
        }
        table_ = *fresh;
        revisions_ = std::move(revisions);
        emit cardsChanged({}, true);
        return;
    }
    std::vector<int> changed;
    for (const int slot : changes.changedSlots) {
        const CardStoreResult newest = store_->readCard(slot);
        if (!newest.ok()) continue;
        if (slot == held_) {
            heldNewer_ = newest.current;
            heldHasNewer_ = true;
        } else {
            take(slot, newest.current);
        }
        changed.push_back(slot);
    }
    if (!changed.empty()) emit cardsChanged(changed, false);
}

} // namespace k8w
