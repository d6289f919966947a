#pragma once
// The copy of a shared card base kept in the data folder, so that cards can
// be viewed and devices programmed while the server cannot be reached. It is
// a database file like any other (crash-safe rewrite), readable only by its
// user, beside a small file with the revision of every slot.
#include "store/card_store.h"

#include <QDateTime>
#include <QString>

#include <vector>

namespace k8w {

// "k8w-copy-<host>-<database>.K8W" for a URI (hosts joined by '+'; anything
// but letters, digits, '.', '_' and '-' becomes '_'), in `folder`.
QString BaseCopyPath(const QString& folder, const QString& uri);

// Writes the copy; empty on success, else why not.
QString SaveBaseCopy(const QString& path, const CardTable& table, const std::vector<CardRevision>& revisions);
// Reads the copy; empty on success (with when it was last renewed), else why not.
QString LoadBaseCopy(const QString& path, CardTable& table, std::vector<CardRevision>& revisions,
                     QDateTime* renewedAt = nullptr);

} // namespace k8w
