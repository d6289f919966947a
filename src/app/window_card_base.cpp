#include "app/window_card_base.h"

#include "app/card_base_texts.h"

#include "cards/card_table.h"
#include "common/message_box.h"
#include "editor/card_validation.h"


#include <QTimer>

#include <algorithm>

namespace k8w {
namespace {

const QString kErrorTitle = QStringLiteral("Ошибка");
// More changed slots than this at once (a whole base copied in) are read in
// one go rather than card by card.
constexpr std::size_t kReloadAbove = 500;
// A card that keeps moving under a change is asked about after this many quiet retries.
constexpr int kQuietRetries = 8;

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
    CardStoreResult loaded = note(store_->loadAll(table_, revisions_));
    changes_.clear();
    revisions_.resize(kCardCapacity, 0);
    countWaiting();
    // Results left waiting by an earlier run (closed, crashed) go now, once the window shows.
    if (loaded.ok() && link_ == Link::Connected) QTimer::singleShot(0, this, [this] { reportWaitingResults(); });
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

// The window goes on with this computer's copy when the server is lost
// during a programming attempt: the user is told once.
void WindowCardBase::tellIfLost(bool wasOffline) {
    const CardBaseLocalState now = store_->localState();
    if (!wasOffline && now.offline)
        showMessage(kErrorTitle, kCardBaseLostText.arg(now.lostReason), MsgButtons::Ok, MsgIcon::Error);
}

bool WindowCardBase::beginProgramming(int slot) {
    const bool wasOffline = store_->localState().offline;
    const CardStoreResult begun = note(store_->beginProgramming(slot, attempt_));
    tellIfLost(wasOffline);
    if (begun.ok()) return true;
    switch (begun.status) {
    case CardStoreStatus::ConnectionLost:
    case CardStoreStatus::ReadOnly:
        showFailure(begun);
        break;
    default:
        showMessage(kAttention, kResultNotRecordable, MsgButtons::Ok, MsgIcon::Warning);
    }
    return false;
}

WindowCardBase::Outcome WindowCardBase::change(int slot,
                                                const std::function<CardStoreResult(CardRevision seen)>& write,
                                                const Overlap& overlaps) {
    CardRevision seen = revision(slot);
    for (int quiet = 0;;) {
        const CardStoreResult result = note(write(seen));
        if (result.status == CardStoreStatus::Conflict) {
            // Only the card's revision moved, not what this change writes: the
            // write keeps the rest as the base has it. (A template changed
            // meanwhile leaves the card's revision and is always asked about.)
            const bool moved = result.current.revision != seen;
            if (moved && overlaps && !overlaps(result.current.card) && ++quiet < kQuietRetries) {
                seen = result.current.revision;
                continue;
            }
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

bool WindowCardBase::endProgramming(bool programmed, std::uint16_t imageChecksum, double programmedAt) {
    const int slot = attempt_.slot;
    const bool wasOffline = store_->localState().offline;
    const CardStoreResult result = note(store_->endProgramming(attempt_, programmed, imageChecksum, programmedAt));
    tellIfLost(wasOffline);
    if (!programmed) return true;
    if (result.ok() || result.keptLocally) take(slot, result.current);
    if (!result.ok()) showFailure(result);
    reportWaitingResults();
    // What waits on this computer is sent again when the window closes.
    return result.ok() && !result.keptLocally;
}

void WindowCardBase::reportWaitingResults() {
    // Without the server nothing has become of them yet: they are only counted.
    countWaiting();
    if (store_->localState().offline) return;
    std::vector<ProgrammingNotice> notices;
    store_->sendWaitingResults(notices);
    QStringList lines;
    std::vector<int> sent;
    for (const ProgrammingNotice& n : notices) {
        if (n.kind == ProgrammingNotice::Kind::Sent || n.kind == ProgrammingNotice::Kind::CardDeleted) {
            sent.push_back(n.slot);
            if (const CardStoreResult now = store_->readCard(n.slot); now.ok() && n.slot != held_) take(n.slot, now.current);
        }
        if (n.kind == ProgrammingNotice::Kind::CardDeleted || n.kind == ProgrammingNotice::Kind::Unfinished)
            lines << ProgrammingNoticeText(n);
    }
    if (!sent.empty()) emit cardsChanged(sent, false);
    countWaiting();  // fewer now
    if (!lines.isEmpty()) showMessage(kAttention, lines.join(QLatin1Char('\n')), MsgButtons::Ok, MsgIcon::Warning);
}

void WindowCardBase::flush() {
    if (const CardStoreResult flushed = store_->flush(); !flushed.ok()) showFailure(flushed);
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
    case CardStoreStatus::Offline:
        showMessage(kAttention, kCardBaseOfflineText, MsgButtons::Ok, MsgIcon::Warning);
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

bool WindowCardBase::renew(int slot) {
    const CardStoreResult newest = note(store_->readCard(slot));
    if (!newest.ok()) {
        showFailure(newest);
        return false;
    }
    if (newest.current.revision != revision(slot) || !changes_.count(slot)) {
        const bool moved = newest.current.revision != revision(slot);
        take(slot, newest.current);
        if (moved) emit cardsChanged({slot}, false);
    }
    return true;
}

const CardVersion* WindowCardBase::lastChange(int slot) {
    if (!store_->keepsHistory() || slot < 0 || slot >= kCardCapacity) return nullptr;
    auto known = changes_.find(slot);
    // Read once per version: the start-up load does not say who changed what.
    if (known == changes_.end() && revision(slot) > 0) {
        const CardStoreResult newest = note(store_->readCard(slot));
        if (newest.ok() && newest.current.revision == revision(slot) && !newest.current.changedBy.isEmpty()) {
            CardVersion mark = newest.current;
            mark.card = {};
            known = changes_.emplace(slot, mark).first;
        }
    }
    if (known == changes_.end() || known->second.revision != revision(slot)) return nullptr;
    return &known->second;
}

const CardStoreResult& WindowCardBase::note(const CardStoreResult& result) {
    Link now = link_;
    if (store_->localState().offline || result.status == CardStoreStatus::Offline)
        now = Link::Offline;  // on this computer's copy
    else if (result.status == CardStoreStatus::ConnectionLost)
        now = Link::Reconnecting;
    else if (result.status != CardStoreStatus::Unreadable && result.status != CardStoreStatus::SaveFailed)
        now = Link::Connected;  // the base answered
    if (now != link_) {
        // Back on the server: what waited has gone with this call; the user hears what became of it.
        if (now == Link::Connected) QTimer::singleShot(0, this, [this] { reportWaitingResults(); });
        link_ = now;
        countWaiting();
        emit linkChanged();
    }
    return result;
}

void WindowCardBase::countWaiting() {
    const int now = store_->localState().waitingResults;
    if (now == waiting_) return;
    waiting_ = now;
    emit linkChanged();
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
    if (!version.changedBy.isEmpty()) {
        changes_[slot] = version;
        changes_[slot].card = {};
    } else {
        changes_.erase(slot);
    }
    if (slot == held_) heldHasNewer_ = false;
}

void WindowCardBase::takeChanges() {
    const CardChanges changes = store_->takeChanges();
    if (changes.reconnected) note({});  // the link is back, or the copy stays
    if (changes.all || changes.changedSlots.size() > kReloadAbove) {
        auto fresh = CardTable::create();
        std::vector<CardRevision> revisions;
        if (!note(store_->loadAll(*fresh, revisions)).ok()) return;  // the next action reconnects
        changes_.clear();
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
        const CardStoreResult newest = note(store_->readCard(slot));
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
