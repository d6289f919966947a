#pragma once
#include "store/card_store.h"

namespace k8w {

// A card base shared on a PostgreSQL server, named by a libpq URI that is
// passed to libpq whole. Null (and why in `error`, without any password)
// when the server cannot be reached or holds no card base.
std::unique_ptr<CardStore> OpenPgCardStore(const QString& uri, QString* error);
// The same base, not connected yet: its first call connects (and fails as a
// lost connection while the server cannot be reached).
std::unique_ptr<CardStore> PgCardStoreConnectingLater(const QString& uri);

// Creates the card base's tables in the database `uri` names, or upgrades a
// base of an older version. A base of this version is left as it is
// (`created` false); one of a newer version is refused. Empty on success,
// otherwise why it failed.
QString InitPgCardBase(const QString& uri, bool* created = nullptr, InitOutcome* outcome = nullptr);

} // namespace k8w
