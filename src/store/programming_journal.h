#pragma once
// Programming results of a shared base on their way to the server. Each
// attempt is written before the device exchange starts and completed when it
// ends, so that no result is lost: not by closing the program, not by a
// crash, not by a power cut. The journal is one small file beside the base's
// copy, rewritten whole and synced for every entry, under a lock so that the
// window and k8w-cli may share it.
#include "store/card_store.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class QLockFile;

namespace k8w {

struct JournalEntry {
    enum class State { Begun, Programmed, Failed };
    QString id;
    int slot = 0;
    std::uint16_t checksum = 0;  // Programmed: the checksum of the image written
    CardRevision revision = 0;  // the revision of the card whose image was written
    double startedAt = 0;       // day count, local time
    double programmedAt = 0;    // Programmed: when the device took the image
    State state = State::Begun;
};

class ProgrammingJournal {
public:
    explicit ProgrammingJournal(QString path);

    const QString& path() const { return path_; }
    // A new attempt; its id, or empty with `error` when it could not be written.
    // `live` is held for as long as the attempt runs: an attempt whose holder
    // is gone (a crash, a power cut) is unfinished.
    QString begin(int slot, CardRevision revision, double startedAt, std::unique_ptr<QLockFile>* live,
                  QString* error);
    // Whether a begun attempt still runs in some program.
    bool isRunning(const JournalEntry& entry) const;
    // The end of an attempt: the image with `checksum` programmed at
    // `programmedAt`, or failed/stopped.
    bool finish(const QString& id, bool programmed, std::uint16_t checksum, double programmedAt, QString* error);
    // Takes entries out (sent to the server, or reported as unfinished).
    bool remove(const std::vector<QString>& ids, QString* error);

    // Every entry, oldest first; empty when there is no journal.
    std::vector<JournalEntry> entries() const;
    // Results programmed and not yet on the server.
    int waitingCount() const;

private:
    template <typename Change> bool rewrite(Change change, QString* error);
    QString attemptLockPath(const QString& id) const;

    QString path_;
};

// The journal beside a base's copy.
QString JournalPathOf(const QString& copyPath);

} // namespace k8w
