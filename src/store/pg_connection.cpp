#include "store/pg_connection.h"

#include "store/card_store.h"
#include "store/pg_socket.h"

#include <QDeadlineTimer>

#include <cstring>

namespace k8w::pg {
namespace {

// The URI's own parameters, with the base's defaults for those it leaves
// unset: a dead network or a stopped server is found out within seconds,
// and no statement waits on a lock or runs without limit.
struct ConnectParams {
    std::vector<std::string> keys;
    std::vector<std::string> values;

    bool has(const char* key) const {
        for (const std::string& k : keys)
            if (k == key) return true;
        return false;
    }
    void add(const char* key, std::string value) {
        keys.emplace_back(key);
        values.push_back(std::move(value));
    }
    void addDefault(const char* key, const char* value, const char* environment = nullptr) {
        if (!has(key) && !(environment && qEnvironmentVariableIsSet(environment))) add(key, value);
    }
};

bool parseUri(const std::string& uri, ConnectParams& params, std::vector<std::string>* secrets) {
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(uri.c_str(), &error);
    PQfreemem(error);
    if (!options) return false;
    for (PQconninfoOption* o = options; o->keyword; ++o) {
        if (!o->val) continue;
        params.add(o->keyword, o->val);
        const bool secret = std::strcmp(o->keyword, "password") == 0 || std::strcmp(o->keyword, "sslpassword") == 0;
        if (secrets && secret && *o->val) secrets->emplace_back(o->val);
    }
    PQconninfoFree(options);
    return true;
}

PGconn* connectTo(const std::string& uri) {
    ConnectParams params;
    if (!parseUri(uri, params, nullptr)) return PQconnectdb(uri.c_str());  // libpq says why
    params.addDefault("connect_timeout", "10", "PGCONNECT_TIMEOUT");
    params.addDefault("keepalives_idle", "10");
    params.addDefault("keepalives_interval", "5");
    params.addDefault("keepalives_count", "3");
    params.addDefault("tcp_user_timeout", "15000");
    // Session settings go into the options the server is started with.
    std::string options;
    for (std::size_t i = 0; i < params.keys.size(); ++i)
        if (params.keys[i] == "options") options = params.values[i];
    if (!params.has("options")) options = qEnvironmentVariable("PGOPTIONS").toStdString();
    for (const char* setting : {"lock_timeout", "statement_timeout"})
        if (options.find(setting) == std::string::npos) options += std::string(" -c ") + setting + "=15s";
    if (!params.has("options")) params.add("options", options);
    for (std::size_t i = 0; i < params.keys.size(); ++i)
        if (params.keys[i] == "options") params.values[i] = options;

    std::vector<const char*> keys;
    std::vector<const char*> values;
    for (std::size_t i = 0; i < params.keys.size(); ++i) {
        keys.push_back(params.keys[i].c_str());
        values.push_back(params.values[i].c_str());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    return PQconnectdbParams(keys.data(), values.data(), 0);
}

} // namespace

Connection::Connection(const QString& uri) : uri_(uri.toUtf8().toStdString()), shown_(CardBaseUriForDisplay(uri)) {
    ConnectParams ignored;
    parseUri(uri_, ignored, &secrets_);
}

Connection::~Connection() {
    if (conn_) PQfinish(conn_);
}

bool Connection::live() const { return conn_ && PQstatus(conn_) == CONNECTION_OK; }

QString Connection::connect() {
    if (conn_) PQfinish(conn_);
    givenUp_.clear();
    notices_.clear();
    conn_ = connectTo(uri_);
    if (PQstatus(conn_) == CONNECTION_OK && PQsetnonblocking(conn_, 1) == 0) return {};
    return lastError();
}

QString Connection::lastError() const {
    if (!givenUp_.isEmpty()) return givenUp_;
    if (!conn_) return QStringLiteral("not connected");
    return scrub(QString::fromUtf8(PQerrorMessage(conn_)));
}

QString Connection::scrub(QString text) const {
    text = text.trimmed();
    for (const std::string& secret : secrets_) text.replace(QString::fromStdString(secret), QStringLiteral("***"));
    return text;
}

int Connection::socket() const { return live() ? PQsocket(conn_) : -1; }

void Connection::tellSocket() {
    if (listener_) listener_(socket());
}

void Connection::giveUp(const QString& why) {
    if (conn_) PQfinish(conn_);
    conn_ = nullptr;
    givenUp_ = why;
    tellSocket();
}

// Blocks until the socket is ready or the deadline passes.
bool Connection::waitFor(bool writable, qint64 deadline) {
    for (;;) {
        const qint64 left = deadline - QDeadlineTimer::current().deadline();
        if (left <= 0) return false;
        switch (pgsocket::WaitFor(PQsocket(conn_), writable, static_cast<int>(left))) {
        case pgsocket::Wait::Ready: return true;
        case pgsocket::Wait::Failed: return false;
        case pgsocket::Wait::NotYet: break;
        }
    }
}

bool Connection::send(const std::string& sql, const std::vector<Param>& params, int resultFormat) {
    // Text without parameters may hold several statements (the schema).
    if (params.empty() && resultFormat == 0) return PQsendQuery(conn_, sql.c_str()) == 1;
    std::vector<const char*> values;
    std::vector<int> lengths;
    std::vector<int> formats;
    for (const Param& p : params) {
        values.push_back(p.value.constData());
        lengths.push_back(static_cast<int>(p.value.size()));
        formats.push_back(p.binary ? 1 : 0);
    }
    return PQsendQueryParams(conn_, sql.c_str(), static_cast<int>(params.size()), nullptr, values.data(),
                             lengths.data(), formats.data(), resultFormat) == 1;
}

Result Connection::exec(const std::string& sql, const std::vector<Param>& params, int resultFormat) {
    if (!live()) return Result(nullptr);
    const qint64 deadline = QDeadlineTimer(kAnswerWaitMs).deadline();
    const QString noAnswer = QStringLiteral("the server did not answer within %1 s").arg(kAnswerWaitMs / 1000);
    if (!send(sql, params, resultFormat)) return Result(nullptr);
    for (int flushed; (flushed = PQflush(conn_)) != 0;) {
        if (flushed < 0) return Result(nullptr);
        if (!waitFor(true, deadline)) {
            giveUp(noAnswer);
            return Result(nullptr);
        }
        if (!PQconsumeInput(conn_)) return Result(nullptr);
    }
    PGresult* last = nullptr;
    for (;;) {
        while (PQisBusy(conn_)) {
            if (!waitFor(false, deadline)) {
                PQclear(last);
                giveUp(noAnswer);
                return Result(nullptr);
            }
            if (!PQconsumeInput(conn_)) {  // the connection broke: its reason is in lastError()
                PQclear(last);
                tellSocket();
                return Result(nullptr);
            }
        }
        PGresult* next = PQgetResult(conn_);
        if (!next) break;
        PQclear(last);
        last = next;
        if (PQstatus(conn_) != CONNECTION_OK) break;
    }
    keepNotices();
    if (!live()) tellSocket();
    return Result(last);
}

void Connection::keepNotices() {
    const int self = PQbackendPID(conn_);
    while (PGnotify* notice = PQnotifies(conn_)) {
        if (notice->be_pid != self) notices_.push_back(QString::fromUtf8(notice->extra));
        PQfreemem(notice);
    }
}

std::vector<QString> Connection::takeNotices() {
    if (live()) {
        if (PQconsumeInput(conn_)) keepNotices();
        else tellSocket();
    }
    std::vector<QString> taken;
    taken.swap(notices_);
    return taken;
}

} // namespace k8w::pg
