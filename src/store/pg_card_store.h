#pragma once
#include "store/card_store.h"

namespace k8w {

// A card base shared on a PostgreSQL server, named by a libpq URI that is
// passed to libpq whole. Null (and why in `error`, without any password)
// when the server cannot be reached or holds no card base.
std::unique_ptr<CardStore> OpenPgCardStore(const QString& uri, QString* error);

// Creates the card base's tables in the database `uri` names. A base that
// exists already is left as it is (`created` false). Empty on success,
// otherwise why it failed.
QString InitPgCardBase(const QString& uri, bool* created = nullptr);

} // namespace k8w
