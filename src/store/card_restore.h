#pragma once
#include "store/card_base.h"

#include <QString>

#include <vector>

namespace k8w {

// Brings cards back from a backup (see card_backup.h) into the database
// file, under the database lock, after a backup of the file as it is now:
// the whole base with its template when `slotList` is null, otherwise only
// the listed slots (a slot free in the backup becomes free again). A whole
// restore also replaces a file that is missing or cannot be read.
CardUpdateResult RestoreCardFile(const QString& fileName, const QString& backupPath,
                                 const std::vector<int>* slotList, int lockWaitMs);

} // namespace k8w
