#pragma once
#include "cards/card.h"

#include <QString>

#include <functional>

class QIODevice;

namespace k8w {

inline const QString kCardFileName = QStringLiteral("ProgInfo_10.K8W");

enum class CardLoadOutcome {
    Loaded,      // every record the file announces was read
    Missing,     // no such file; nothing changed
    Rejected,    // size 0 or not a multiple of a record; nothing changed
    PartlyRead,  // a read came up short; cardSlots read before it are kept
    NotAFile,    // a folder, pipe, device, socket or dangling link; not opened for reading
};

// Reads a database file: N = size / 1310 - 1 card records into the cardSlots
// (at most `capacity`), then the template. Silent; the outcome tells why it
// failed. Slots past the records in the file are left as they are.
bool LoadCardFile(const QString& fileName, Card* cardSlots, int capacity, Card& cardTemplate,
                  CardLoadOutcome* outcome = nullptr);
// The same from an open device whose size() is the file length.
CardLoadOutcome LoadCardDevice(QIODevice& in, Card* cardSlots, int capacity, Card& cardTemplate);

// Writes `count` cardSlots and the template. The new content goes to a temporary
// file beside the database ("<name>.save-XXXXXX", with the old file's mode),
// is synced to disk and renamed over it, and the folder is synced, so an
// interrupted save leaves the old or the new file whole. Temporary files of
// that naming left by an earlier save that was killed are removed first.
// Empty on success, otherwise why it failed; memory is not touched. The
// store says so; the window words it ("Ошибка записи на диск").
QString WriteCardFile(const QString& fileName, const Card* cardSlots, int count, const Card& cardTemplate);

// Why a database could not be loaded, as one line of English (for k8w-cli).
QString CardLoadFailureText(CardLoadOutcome outcome, const QString& fileName);

// The file a save writes: the target of a symbolic link, the name itself otherwise.
// Empty (with `error` set) for a dangling link or a path that is not a regular file.
QString CardFileSaveTarget(const QString& fileName, QString* error);
// Whether a rewrite of the database could succeed now: the file is a regular
// file (or absent), its folder takes a new file and has room for a full copy.
// Empty when it could; otherwise the reason. Run before a device is written,
// so that no device is programmed whose result cannot be recorded.
QString CheckCardFileWritable(const QString& fileName);

// Renames a database file the load refused or only partly read to
// "<name>.bad-YYYYMMDD-HHMMSS" (with a counter if that exists already), so
// that no later save replaces it. Returns the new path, or empty on failure.
QString SetAsideCardFile(const QString& fileName);

// Test seam: called before each step of a save (each record, with the bytes
// written so far, then the sync, the rename and the folder sync); returning
// false makes that step fail as the system call would (EIO, ENOSPC for writes).
enum class CardSaveStep { WriteRecord, Sync, Rename, SyncFolder, Reserve };
using CardSaveHook = std::function<bool(CardSaveStep step, qint64 bytesWritten)>;
void setCardSaveHook(CardSaveHook hook);
bool cardSaveStepAllowed(CardSaveStep step, qint64 bytesWritten);

struct CardTable;

// Start-up load of the program: the template is cleared, the file loaded
// silently, and a file that exists but was refused or only partly read is
// set aside (its new path goes to setAsidePath) so no save can replace it.
bool LoadCardTable(CardTable& table, const QString& fileName, QString* setAsidePath = nullptr);
// Rewrites the whole database file (WriteCardFile); false on failure.
bool SaveCardTable(const CardTable& table, const QString& fileName);

} // namespace k8w
