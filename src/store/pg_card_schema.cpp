#include "store/pg_card_schema.h"

#include "store/pg_card_store.h"
#include "store/pg_connection.h"

namespace k8w {
namespace pg {

int BaseVersion(Connection& conn, QString* error) {
    Result res = conn.exec("SELECT to_regclass('k8w_cards') IS NOT NULL, "
                           "to_regprocedure('k8w_base_version()') IS NOT NULL");
    if (!res.ok()) {
        *error = conn.scrub(QString::fromUtf8(PQresultErrorMessage(res.r)));
        if (error->isEmpty()) *error = conn.lastError();
        return -1;
    }
    if (!res.boolean(0, 0)) return 0;
    if (!res.boolean(0, 1)) return 1;
    Result version = conn.exec("SELECT k8w_base_version()");
    if (!version.ok()) {
        *error = conn.scrub(QString::fromUtf8(PQresultErrorMessage(version.r)));
        return -1;
    }
    return version.int4(0, 0);
}

QString CheckBaseVersion(Connection& conn) {
    QString error;
    const int version = BaseVersion(conn, &error);
    if (version < 0) return error;
    if (version == 0)
        return QStringLiteral("%1 holds no card base (create it with k8w-cli base-init)").arg(conn.shown());
    if (version > kSchemaVersion)
        return QStringLiteral("the card base in %1 is of version %2, newer than this program knows (%3): "
                              "update the program")
            .arg(conn.shown())
            .arg(version)
            .arg(kSchemaVersion);
    if (version < kSchemaVersion)
        return QStringLiteral("the card base in %1 is of version %2, older than this program's (%3): "
                              "upgrade it with k8w-cli base-init")
            .arg(conn.shown())
            .arg(version)
            .arg(kSchemaVersion);
    return {};
}

namespace {

// Creates or upgrades the tables inside the caller's transaction.
QString createOrUpgrade(Connection& conn, int version, InitOutcome& outcome) {
    auto run = [&](const std::string& sql) {
        Result res = conn.exec(sql, {}, 0);
        return res.ok() ? QString() : conn.scrub(QString::fromUtf8(PQresultErrorMessage(res.r)));
    };
    if (version > kSchemaVersion)
        return QStringLiteral("the base is of version %1, newer than this program knows (%2): update the program")
            .arg(version)
            .arg(kSchemaVersion);
    if (version == kSchemaVersion) return {};
    QString why = run(kStampSql);
    if (why.isEmpty() && version == 0) why = run(kSchemaSql);
    if (why.isEmpty()) why = run(VersionSql().toStdString());
    if (why.isEmpty()) outcome = version == 0 ? InitOutcome::Created : InitOutcome::Upgraded;
    return why;
}

} // namespace
} // namespace pg

QString InitPgCardBase(const QString& uri, bool* created, InitOutcome* outcome) {
    InitOutcome result = InitOutcome::Unchanged;
    pg::Connection conn(uri);
    QString why = conn.connect();
    if (why.isEmpty()) {
        // One base-init at a time: a second waits, then finds the base made.
        pg::Result begin = conn.exec("BEGIN", {}, 0);
        pg::Result lock = conn.exec("SELECT pg_advisory_xact_lock(8008001)", {}, 0);
        if (!begin.ok() || !lock.ok()) why = conn.lastError();
        int version = -1;
        if (why.isEmpty()) version = pg::BaseVersion(conn, &why);
        if (why.isEmpty()) why = pg::createOrUpgrade(conn, version, result);
        pg::Result end = conn.exec(why.isEmpty() ? "COMMIT" : "ROLLBACK", {}, 0);
        if (why.isEmpty() && !end.ok()) why = conn.scrub(QString::fromUtf8(PQresultErrorMessage(end.r)));
        if (!why.isEmpty()) result = InitOutcome::Unchanged;
    }
    if (created) *created = result == InitOutcome::Created;
    if (outcome) *outcome = result;
    return why;
}

} // namespace k8w
