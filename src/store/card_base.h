#pragma once
// One writer at a time on a card database, and the update of one card by a
// writer that does not keep the table in memory (the k8w-cli commands).
#include <QString>

#include <functional>
#include <memory>

namespace k8w {

namespace cardfs {
class LockFile;
}

struct CardTable;

// The advisory lock "<database>.lock" beside the database file. The main
// window holds it for its whole run; a command holds it only while it
// re-reads, updates and rewrites the file. A lock left by a process that died
// is recognised by its process ID and taken over.
class CardBaseLock {
public:
    enum class Result {
        Held,         // this object holds the lock now
        HeldByOther,  // another live process holds it (see holderText)
        NoAccess,     // the lock file cannot be created (read-only folder)
        Failed,       // any other error
    };

    explicit CardBaseLock(const QString& databaseFileName);
    ~CardBaseLock();
    CardBaseLock(const CardBaseLock&) = delete;
    CardBaseLock& operator=(const CardBaseLock&) = delete;

    // Tries for up to waitMs milliseconds (0: once).
    Result acquire(int waitMs);
    void release();
    bool isHeld() const { return held_; }
    // "k8w-prog, process 1234" of the holder after HeldByOther; empty if unknown.
    QString holderText() const;
    // True when the holder after HeldByOther is the window program, which
    // keeps the lock for as long as it runs.
    bool heldByWindow() const;
    QString lockFilePath() const;

private:
    struct Holder {
        qint64 pid = 0;
        QString app;
    };
    Holder holder() const;  // as the lock file names it; empty when unreadable

    std::unique_ptr<cardfs::LockFile> lock_;
    bool held_ = false;
};

enum class CardUpdateStatus {
    Saved,       // the change is in the file
    Locked,      // another program holds the database; nothing read or written
    Unreadable,  // the file is missing, not a regular file, refused or only partly read
    Refused,     // the change function refused; nothing written
    SaveFailed,  // the rewrite failed; the old file is whole
};

struct CardUpdateResult {
    CardUpdateStatus status = CardUpdateStatus::Saved;
    QString reason;  // why, for every status but Saved (English, for k8w-cli)
};

// The change of one writer: updates the freshly read table and returns an
// empty text, or returns why it refuses (nothing is then written).
using CardChange = std::function<QString(CardTable& table)>;

// Takes the database lock (waiting up to lockWaitMs for another command to
// finish its rewrite), re-reads the whole file, applies the change to what was
// read and rewrites the file crash-safely, then releases the lock. Shows no
// message box.
CardUpdateResult UpdateCardFile(const QString& fileName, const CardChange& change,
                                int lockWaitMs = 10000);

} // namespace k8w
