#pragma once
// The tables of a shared card base. One row per slot (-1: the new-card
// template) holds the 1310 bytes of the card as the file keeps them. The
// device code and whether the card is in use are derived from those bytes by
// the server, so the rule "one code among the cards in use" holds whatever a
// client sends. Every version written is kept in the history with who, when
// and what kind of change made it; every change is announced on k8w_cards.
// k8w_base_version() tells which version of these tables a base has (a base
// without it is of version 1).
#include <QString>

namespace k8w::pg {

inline constexpr const char* kCardsTable = "k8w_cards";
inline constexpr const char* kChannel = "k8w_cards";

// 1: the first tables. 2: who changed a card is the session's user, and the
// base says its version.
inline constexpr int kSchemaVersion = 2;

inline constexpr const char* kSchemaSql = R"SQL(
CREATE FUNCTION k8w_card_code(data bytea) RETURNS bigint LANGUAGE sql IMMUTABLE STRICT AS $$
  SELECT get_byte(data, 18)::bigint | (get_byte(data, 19)::bigint << 8)
       | (get_byte(data, 20)::bigint << 16) | (get_byte(data, 21)::bigint << 24) $$;
-- changeDate (a little-endian double at byte 807) >= 0.001: for doubles of
-- the positive sign the bit patterns order as the values do.
CREATE FUNCTION k8w_card_in_use(data bytea) RETURNS boolean LANGUAGE sql IMMUTABLE STRICT AS $$
  SELECT get_byte(data, 814) < 128 AND
         (  get_byte(data, 807)::bigint        | (get_byte(data, 808)::bigint << 8)
          | (get_byte(data, 809)::bigint << 16) | (get_byte(data, 810)::bigint << 24)
          | (get_byte(data, 811)::bigint << 32) | (get_byte(data, 812)::bigint << 40)
          | (get_byte(data, 813)::bigint << 48) | (get_byte(data, 814)::bigint << 56))
         BETWEEN x'3F50624DD2F1A9FC'::bigint AND x'7FF0000000000000'::bigint $$;

CREATE TABLE k8w_cards (
  slot integer PRIMARY KEY CHECK (slot BETWEEN -1 AND 8999),
  data bytea NOT NULL CHECK (length(data) = 1310),
  revision bigint NOT NULL DEFAULT 0,
  change_kind text NOT NULL DEFAULT 'save',
  changed_by text NOT NULL DEFAULT '',
  changed_at timestamptz NOT NULL DEFAULT now(),
  in_use boolean GENERATED ALWAYS AS (slot >= 0 AND k8w_card_in_use(data)) STORED,
  code bigint GENERATED ALWAYS AS (k8w_card_code(data)) STORED,
  CONSTRAINT k8w_cards_code_unique EXCLUDE USING btree (code WITH =) WHERE (in_use)
    DEFERRABLE INITIALLY IMMEDIATE
);

CREATE TABLE k8w_card_history (
  slot integer NOT NULL,
  revision bigint NOT NULL,
  data bytea NOT NULL,
  change_kind text NOT NULL,
  changed_by text NOT NULL,
  changed_at timestamptz NOT NULL,
  PRIMARY KEY (slot, revision)
);

-- (the function: kStampSql)
CREATE TRIGGER k8w_cards_stamp BEFORE UPDATE ON k8w_cards
  FOR EACH ROW EXECUTE FUNCTION k8w_cards_stamp();

-- Runs with the rights of the base's owner: writers need no right on the history.
CREATE FUNCTION k8w_cards_keep() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER
  SET search_path = pg_catalog, public AS $$
BEGIN
  INSERT INTO k8w_card_history VALUES (NEW.slot, NEW.revision, NEW.data, NEW.change_kind,
                                       NEW.changed_by, NEW.changed_at);
  PERFORM pg_notify('k8w_cards', NEW.slot::text);
  RETURN NULL;
END $$;
CREATE TRIGGER k8w_cards_keep AFTER UPDATE ON k8w_cards
  FOR EACH ROW EXECUTE FUNCTION k8w_cards_keep();

INSERT INTO k8w_cards (slot, data)
  SELECT s, decode(repeat('00', 1310), 'hex') FROM generate_series(-1, 8999) AS s;
)SQL";

// Who and when come from the server, never from the client; who is the
// user that logged in, whatever role the session took since.
inline constexpr const char* kStampSql = R"SQL(
CREATE OR REPLACE FUNCTION k8w_cards_stamp() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  NEW.changed_by := session_user || '@' || coalesce(host(inet_client_addr()), 'local');
  NEW.changed_at := clock_timestamp();
  RETURN NEW;
END $$;
)SQL";

class Connection;
// The version of the base the session reaches: 0 without a card base, -1
// (and why in `error`) when it cannot be read.
int BaseVersion(Connection& conn, QString* error);
// Empty when the base is of this program's version; otherwise why it is not
// used (none there, newer, or older and waiting for base-init).
QString CheckBaseVersion(Connection& conn);

// Records the version this program's tables have. A base of an older
// version is brought up to date by kStampSql and this (1 -> 2).
inline QString VersionSql() {
    return QStringLiteral("CREATE OR REPLACE FUNCTION k8w_base_version() RETURNS integer LANGUAGE sql IMMUTABLE "
                          "AS 'SELECT %1';")
        .arg(kSchemaVersion);
}

} // namespace k8w::pg
