#pragma once
// Statement parameters and results of the PostgreSQL store.
#include "cards/card.h"

#include <libpq-fe.h>

#include <QByteArray>
#include <QString>
#include <QtEndian>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace k8w::pg {

// A statement parameter: bytes in binary form, anything else as text.
struct Param {
    QByteArray value;
    bool binary = false;
};
inline Param num(qint64 n) { return {QByteArray::number(n), false}; }
inline Param str(const QString& text) { return {text.toUtf8(), false}; }
inline Param bin(const QByteArray& bytes) { return {bytes, true}; }
inline Param cardBytes(const Card& card) {
    return bin(QByteArray(reinterpret_cast<const char*>(&card), kCardSize));
}

// A result that frees itself. Null when the statement got no answer.
struct Result {
    PGresult* r = nullptr;
    explicit Result(PGresult* result) : r(result) {}
    ~Result() { PQclear(r); }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
    Result(Result&& other) noexcept : r(other.r) { other.r = nullptr; }
    bool ok() const {
        const ExecStatusType s = PQresultStatus(r);
        return r && (s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK);
    }
    int rows() const { return PQntuples(r); }
    int changedRows() const { return std::atoi(PQcmdTuples(r)); }
    QString sqlState() const { return QString::fromLatin1(PQresultErrorField(r, PG_DIAG_SQLSTATE)); }
    bool isNull(int row, int col) const { return PQgetisnull(r, row, col) != 0; }
    // Binary-format readers.
    std::int64_t int8(int row, int col) const { return qFromBigEndian<std::int64_t>(PQgetvalue(r, row, col)); }
    std::int32_t int4(int row, int col) const { return qFromBigEndian<std::int32_t>(PQgetvalue(r, row, col)); }
    bool boolean(int row, int col) const { return PQgetvalue(r, row, col)[0] != 0; }
    QString text(int row, int col) const {
        return QString::fromUtf8(PQgetvalue(r, row, col), PQgetlength(r, row, col));
    }
    bool card(int row, int col, Card& out) const {
        if (PQgetlength(r, row, col) != static_cast<int>(kCardSize)) return false;
        std::memcpy(static_cast<void*>(&out), PQgetvalue(r, row, col), kCardSize);
        return true;
    }
};

} // namespace k8w::pg
