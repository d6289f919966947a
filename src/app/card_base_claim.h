#pragma once
#include <QString>
#include <QStringList>

#include <memory>

namespace k8w {

class CardBaseLock;
class CardStore;

// The window program's claim of its database at start-up, before the file is
// read: a path that is not a regular file and a database open in another copy
// of the program are refused with a box, and the program then ends without
// touching the file. A folder that takes no lock file (read-only) is only
// warned about: nothing can be saved there, by this copy or any other.
// A command that rewrites the file holds the lock for a moment only, so a
// held lock is retried for lockWaitMs. Returns false when the program must end.
bool ClaimCardBase(CardBaseLock& lock, const QString& fileName, int lockWaitMs = 3000);

// The card base the window program starts on: the database file, or, when
// `chooseBase`, the base that --base among `arguments` or k8w.conf names. The
// file is claimed as above through `lock`; a shared base takes no lock and is
// connected to. Null, after the box that says why, when the program must end;
// an unreachable shared base then leaves nothing created.
std::unique_ptr<CardStore> OpenStartupCardBase(const QStringList& arguments, bool chooseBase, CardBaseLock& lock);

} // namespace k8w
