#pragma once
// The card base as the window and k8w-cli see it: the database file of one
// installer or a base shared by the team on a PostgreSQL server. Callers do
// not know which kind they use. Every call returns when it is done (a shared
// base held by the window waits in a local event loop) and shows no message
// box: the result says what happened and why.
#include "cards/card.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace k8w {

struct CardBackup;
struct CardTable;

// Revision of one slot: grows by one with every change of that slot. 0 for a
// slot never written. The file keeps no revisions: there they count the
// changes made through this store object.
using CardRevision = std::int64_t;

// Slot number used for the new-card template in change notices.
constexpr int kTemplateSlot = -1;

enum class CardStoreStatus {
    Done,            // the change is stored (or the read succeeded)
    Conflict,        // the card changed since the caller's revision; see `newer`
    CodeTaken,       // another card in use has this device code (the base refused it)
    ReadOnly,        // this user may only read the base
    ConnectionLost,  // the server cannot be reached; `reason` is the server's reason
    Locked,          // file: another program holds the database
    Unreadable,      // file: missing, refused or partly read; server: no card base there
    Refused,         // the caller's change function refused; nothing written
    NotFound,        // history/restore: no such revision of that slot (or no such backup)
    SaveFailed,      // the base could not be rewritten; see `keptLocally`
    NoHistory,       // history, restore of a revision, backups: this base does not keep them
    Offline,         // working on this computer's copy of a shared base: cards change only with the server
};

// One version of a card as the base keeps it.
struct CardVersion {
    Card card{};
    CardRevision revision = 0;
    QString changedBy;     // "user@host" on a server; empty on a file
    QDateTime changedAt;   // local time; invalid on a file
    QString kind;          // history: "save", "delete", "key", "program", "restore", "copy"
};

struct CardStoreResult {
    CardStoreStatus status = CardStoreStatus::Done;
    // Why, for every status but Done, in English; for ConnectionLost the
    // server's own reason. The window and k8w-cli word the status themselves.
    QString reason;
    // Done: the card as now stored with its new revision.
    // Conflict: the newer version, with who changed it and when.
    // SaveFailed with keptLocally: the card as kept.
    CardVersion current;
    // SaveFailed: the change is kept by this store object and written again
    // by flush() (a file held by the window).
    bool keptLocally = false;

    bool ok() const { return status == CardStoreStatus::Done; }
};

// One programming attempt, from before the device exchange to its end.
struct ProgrammingAttempt {
    int slot = -1;
    QString id;                     // its entry in a shared base's journal; empty otherwise
    std::shared_ptr<void> running;  // held while the exchange runs
};

// What the status bar tells of a shared base worked on from this computer.
struct CardBaseLocalState {
    bool offline = false;    // working on the copy
    QString lostReason;      // offline: why the server was lost (the server's reason)
    int waitingResults = 0;  // programming results not yet on the server
    QDateTime copyRenewedAt;
};

// What became of a programming result that waited on this computer.
struct ProgrammingNotice {
    enum class Kind {
        Sent,         // now on the server
        CardDeleted,  // sent, but its card was deleted meanwhile: the result is in its history
        Unfinished,   // the attempt was cut off mid-exchange: nothing is recorded
        Waiting,      // still waiting for the server
    };
    Kind kind = Kind::Sent;
    int slot = 0;
    double at = 0;  // day count: when the device was programmed (or the attempt began)
};

// Changes announced by other users since the last poll.
struct CardChanges {
    std::vector<int> changedSlots;  // changed slots, kTemplateSlot for the template; no repeats
    bool all = false;        // the connection was renewed: anything may have changed, reload
    bool reconnected = false;  // a session with the server began again (after a loss, or a start without it)
    bool any() const { return all || reconnected || !changedSlots.empty(); }
};

// A change a command makes to the newest version of a card: returns an empty
// text, or why it refuses (nothing is then written). It may be run more than
// once when another user changes the card meanwhile.
using CardEdit = std::function<QString(Card& card)>;
// The same for a change of many cards at once (an import): it edits the
// newest version of the whole base, cards and template.
using CardBaseEdit = std::function<QString(CardTable& table)>;

class CardStore {
public:
    virtual ~CardStore() = default;

    // The file path, or the server URI without any password.
    virtual QString location() const = 0;
    // Whether earlier versions of each card are kept (history, restore of a
    // revision, who changed a card and when).
    virtual bool keepsHistory() const = 0;

    // Reads every slot and the template; `revisions` gets one entry per slot.
    virtual CardStoreResult loadAll(CardTable& table, std::vector<CardRevision>& revisions) = 0;
    // The newest version of one slot (kTemplateSlot: the template).
    virtual CardStoreResult readCard(int slot) = 0;

    // Stores a card the user edited, if the slot is still at revision `seen`
    // (else Conflict; storing "over" theirs is a second call with the newer
    // revision). `newTemplate`, when given, renews the template with it.
    // On a server the programming result and the keys stay as the newest
    // version has them (only recordProgramming and setKey change them); the
    // file, which only this window writes, takes the card as given.
    virtual CardStoreResult saveCard(int slot, const Card& card, CardRevision seen,
                                     const Card* newTemplate = nullptr) = 0;
    // Empties a slot at revision `seen` (else Conflict).
    virtual CardStoreResult deleteCard(int slot, CardRevision seen) = 0;
    // Sets one key slot of a card at revision `seen` (else Conflict); the rest
    // of the newest version is kept.
    virtual CardStoreResult setKey(int slot, int group, int entry, const KeyEntry& key, CardRevision seen) = 0;
    // Applies `edit` to the newest version of a card in use, retrying when
    // another user changes it meanwhile. `kind` goes into the history.
    virtual CardStoreResult updateCard(int slot, const CardEdit& edit, const QString& kind) = 0;
    // Applies `edit` to the newest version of the whole base and stores every
    // card it changed, and the template, as one change: all or nothing, run
    // again when another user changes one of those cards meanwhile. A
    // database file not there yet is made (a base moved to a new computer).
    virtual CardStoreResult updateAll(const CardBaseEdit& edit, const QString& kind) = 0;
    // A successful programming: progDate = programmedAt, prevProgId = the
    // stored progId, progId = imageChecksum, on the newest version only. A
    // card deleted meanwhile is Refused.
    CardStoreResult recordProgramming(int slot, std::uint16_t imageChecksum, double programmedAt);
    virtual CardStoreResult renewTemplate(const Card& cardTemplate) = 0;

    // Before a device is written: whether its result can be recorded (not
    // Done: nothing may be sent), and on a shared base the attempt written
    // to the journal first. By default the write check.
    virtual CardStoreResult beginProgramming(int slot, ProgrammingAttempt& attempt);
    // After the exchange: a programmed device's result recorded (Done), or
    // kept on this computer until the server takes it (Done, keptLocally); a
    // failed or stopped attempt is closed. By default recordProgramming.
    virtual CardStoreResult endProgramming(ProgrammingAttempt& attempt, bool programmed, std::uint16_t imageChecksum,
                                           double programmedAt);
    virtual CardBaseLocalState localState() const { return {}; }
    // Sends the programming results waiting on this computer and says what
    // became of each, and of attempts cut off mid-exchange (each told once).
    virtual CardStoreResult sendWaitingResults(std::vector<ProgrammingNotice>& notices) {
        notices.clear();
        return {};
    }

    // Whether a change could be recorded now (Done, ReadOnly, ConnectionLost,
    // SaveFailed...): asked before a device is written, so no device is
    // programmed whose result cannot be kept. Reconnects when needed.
    virtual CardStoreResult checkWritable() = 0;
    // False for a role without the right to change the base (known after
    // loadAll or checkWritable).
    virtual bool canWrite() const = 0;

    // Change notices of other users: `listener` is called on the thread that
    // set it when takeChanges() has something, never in the middle of a call
    // of that thread. A store that learns of changes only when asked (a file,
    // a base opened for one command) never calls it.
    virtual void setChangeListener(std::function<void()> listener);
    // Reads what arrived (never blocks).
    virtual CardChanges takeChanges() = 0;
    // A store whose calls may wait on a network tells `listener(true)` when
    // its caller begins to wait and `listener(false)` when the wait ends; a
    // file never does.
    virtual void setWaitListener(std::function<void(bool waiting)> listener);

    // Versions of one slot, the newest first (empty on a file).
    virtual CardStoreResult history(int slot, std::vector<CardVersion>& versions) = 0;
    // Makes an earlier version current again (a change of its own).
    virtual CardStoreResult restore(int slot, CardRevision revision) = 0;

    // Whole-base copy: whether any slot is in use, and a replacement of
    // every slot and the template (each changed slot recorded as "copy").
    virtual CardStoreResult hasCards(bool& any) = 0;
    virtual CardStoreResult replaceAll(const CardTable& table) = 0;

    // Writes again what this object keeps locally (a file held by the window:
    // its whole table, see keptLocally); Done when nothing waits.
    virtual CardStoreResult flush() = 0;

    // Copies of the whole base kept beside it, the newest first (NoHistory
    // for a base that keeps its history instead).
    virtual CardStoreResult listBackups(std::vector<CardBackup>& backups) = 0;
    // Brings cards back from such a copy (its path, or its name as listed;
    // NotFound when there is none), after a backup of the base as it is
    // now: the whole base with its template when `slotList` is null, else only
    // the listed slots (a slot free in the copy becomes free again).
    virtual CardStoreResult restoreBackup(const QString& backupPath, const std::vector<int>* slotList) = 0;

protected:
    // Store-internal (store/card_store_notices.h): the socket the change
    // notices arrive on (-1: none); it changes when the store reconnects, and
    // the socket listener is told each time (-1 when the connection is lost),
    // on the thread that runs the store's calls.
    friend struct CardStoreNotices;
    virtual int notificationSocket() const { return -1; }
    virtual void setSocketListener(std::function<void(int socket)>) {}
};

// Whether a base location names a server: "postgresql://" or "postgres://".
bool IsCardBaseUri(const QString& location);
// The URI with any password removed, for messages and logs.
QString CardBaseUriForDisplay(const QString& uri);

enum class CardFileAccess {
    // The caller holds the database lock for the whole run (the window):
    // the store keeps the table in memory and rewrites the file after each change.
    Held,
    // Each change takes the lock, re-reads and rewrites the file (k8w-cli).
    PerChange,
};

// Opens a base by its location: a file path, or a libpq URI passed to the
// server whole. A file opens without reading; a server is connected to and
// its schema checked. Null (and why in `error`) on failure. A server opened
// with Held access (the window's base for its whole run) runs every call on a
// worker thread: the caller's event loop keeps running while it waits, change
// notices come to the change listener, and a lost connection is renewed by
// itself.
// A shared base is worked on through this data folder's copy of it (see
// localState): its cards are renewed there as they arrive.
std::unique_ptr<CardStore> OpenCardStore(const QString& location, CardFileAccess fileAccess, QString* error);
enum class InitOutcome {
    Created,    // the tables were made
    Upgraded,   // a base of an older version was brought up to this program's
    Unchanged,  // the base was of this version already (or the call failed)
};
// Sets up the shared base a URI names: creates its tables, or upgrades a base
// of an older version; a newer one is refused. Empty on success, else why not.
QString InitSharedCardBase(const QString& uri, InitOutcome* outcome);

// A shared base opened from this data folder's copy of it, when the server
// cannot be reached; null when there is no copy. `renewedAt`: when the copy
// was last renewed. Held (a window): the server is tried again in the
// background, and once it answers the store works on it as if opened there.
// PerChange (a command): the copy alone.
std::unique_ptr<CardStore> OpenCardBaseCopy(const QString& uri, QDateTime* renewedAt,
                                            CardFileAccess access = CardFileAccess::PerChange);

} // namespace k8w
