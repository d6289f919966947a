#pragma once
// The card base as the windows use it: the store behind them, the card table
// they show and the revision of every slot they showed. Every change the user
// makes goes through here: a card someone else changed meanwhile is asked
// about, and every refusal or failure is shown in its box.
#include "store/card_store.h"

#include <QObject>

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace k8w {

struct CardTable;

class WindowCardBase final : public QObject {
    Q_OBJECT
public:
    WindowCardBase(std::unique_ptr<CardStore> store, CardTable& table, QObject* parent = nullptr);
    ~WindowCardBase() override;

    CardStore& store() { return *store_; }
    CardRevision revision(int slot) const { return revisions_[static_cast<std::size_t>(slot)]; }

    // Reads the whole base into the table (start-up).
    CardStoreResult load();

    // The slot being edited: its card and revision stay as the editor took
    // them, so a change by someone else comes up as a conflict at the save;
    // -1 when nothing is edited. A newer version that arrived meanwhile is
    // taken into the table when the edit ends without a save.
    void holdSlot(int slot);
    void releaseHeld();
    // The newest card of a slot known here (the grid shows it).
    const Card& newestCard(int slot) const;

    // False, after the refusal box, for a user who may only read the base.
    bool mayChange();
    // Before a device is written: the attempt begins if its result can be
    // recorded (on a shared base: in this computer's journal first); false
    // after the box that says why not.
    bool beginProgramming(int slot);

    enum class Outcome {
        Stored,  // in the table; a file that could not be rewritten was reported
        Theirs,  // the user kept the other user's newer version, now in the table
        Failed,  // reported; the table is as it was
    };
    // A change of one card the user made, run with the revision the window
    // showed. When someone else changed the card meanwhile the user is asked;
    // Yes runs it again over their version. `overlaps` says whether a newer
    // card changed what this change writes: when it did not (another user's
    // programming result or another key beside a save), the change is run
    // again over it without a question. Without it every change asks.
    using Overlap = std::function<bool(const Card& newer)>;
    Outcome change(int slot, const std::function<CardStoreResult(CardRevision seen)>& write,
                   const Overlap& overlaps = {});

    // After the exchange: a programmed device's result goes on the newest
    // version of its card, or waits on this computer until the server is
    // back; a failed or stopped attempt is closed. False when the result is
    // not in the base yet.
    bool endProgramming(bool programmed, std::uint16_t imageChecksum, double programmedAt);
    // What became of results that waited (a card deleted meanwhile, an attempt
    // cut off mid-exchange), in one box.
    void reportWaitingResults();

    // At close: what the store kept locally after a failed write.
    void flush();

    // The box for a store's refusal or failure.
    void showFailure(const CardStoreResult& result) const;

    // Reads the newest version of a slot not being edited into the table
    // (a question is then decided on it); false, after the box, when the base
    // cannot be read.
    bool renew(int slot);

    // Who changed a slot last and when, as far as known for the version in
    // the table (read once from a base that keeps its history); null when
    // the base does not say.
    const CardVersion* lastChange(int slot);

    // The state of the link to the base, from the results of its calls:
    // Offline while the store works on this computer's copy, Reconnecting
    // after a lost connection without a copy, until a call succeeds again.
    enum class Link { Connected, Reconnecting, Offline };
    Link link() const { return link_; }
    // Programming results waiting on this computer for the server.
    int waitingResults() const { return waiting_; }

signals:
    // Other users changed these slots (kTemplateSlot: the template); the
    // table already holds the new versions. `all`: everything was reloaded.
    void cardsChanged(const std::vector<int>& changed, bool all);
    // A call of the store began (true) or ended (false) waiting for a server:
    // the window shows that it waits and takes no second action meanwhile.
    // Never for a file.
    void waitingChanged(bool waiting);
    // link() or waitingResults() changed.
    void linkChanged();

private:
    void take(int slot, const CardVersion& version);
    void takeChanges();
    void tellIfLost(bool wasOffline);
    // Follows the link state from a call's result; returns the result.
    const CardStoreResult& note(const CardStoreResult& result);
    void countWaiting();

    std::unique_ptr<CardStore> store_;
    CardTable& table_;
    std::vector<CardRevision> revisions_;
    int held_ = -1;
    bool heldHasNewer_ = false;
    CardVersion heldNewer_;
    ProgrammingAttempt attempt_;
    Link link_ = Link::Connected;
    int waiting_ = 0;
    // Who changed the version in the table, by slot (only versions known).
    std::map<int, CardVersion> changes_;
};

} // namespace k8w
