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
};

// Reads a database file: N = size / 1310 - 1 card records into the cardSlots
// (at most `capacity`), then the template. Silent; the outcome tells why it
// failed. Slots past the records in the file are left as they are.
bool LoadCardFile(const QString& fileName, Card* cardSlots, int capacity, Card& cardTemplate,
                  CardLoadOutcome* outcome = nullptr);
// The same from an open device whose size() is the file length.
CardLoadOutcome LoadCardDevice(QIODevice& in, Card* cardSlots, int capacity, Card& cardTemplate);

// Writes `count` cardSlots and the template. The new content goes to a temporary
// file beside the database, is flushed to disk and then renamed over it, so
// an interrupted save leaves the old file whole. A failure shows
// "Ошибка записи на диск" and returns false; memory is not touched.
bool SaveCardFile(const QString& fileName, const Card* cardSlots, int count, const Card& cardTemplate);

// Renames a database file the load refused or only partly read to
// "<name>.bad-YYYYMMDD-HHMMSS" (with a counter if that exists already), so
// that no later save replaces it. Returns the new path, or empty on failure.
QString SetAsideCardFile(const QString& fileName);

// Test seam: called before each record is written with the number of bytes
// written so far; returning false makes that write fail.
using CardWriteHook = std::function<bool(qint64 bytesWritten)>;
void setCardWriteHook(CardWriteHook hook);

} // namespace k8w
