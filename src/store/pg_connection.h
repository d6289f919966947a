#pragma once
// One session with the server of a shared card base: connecting with the
// base's defaults, running statements with a deadline, telling a lost
// connection, and keeping the notifications that arrive meanwhile.
#include "store/pg_result.h"

#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace k8w::pg {

// How long a statement may wait for its answer before the connection is
// given up: above the server's own statement and lock timeouts (15 s), so
// its reason comes first when it still runs.
inline constexpr int kAnswerWaitMs = 17000;

class Connection {
public:
    explicit Connection(const QString& uri);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The URI without any password.
    const QString& shown() const { return shown_; }
    bool live() const;
    // Connects anew (a live session is closed first). Empty on success,
    // otherwise why, without any password.
    QString connect();
    // Runs one statement: text parameters, card bytes binary, results binary
    // unless `resultFormat` is 0. A statement not answered within
    // kAnswerWaitMs closes the connection. Notifications that came with the
    // answer are kept for takeNotices().
    Result exec(const std::string& sql, const std::vector<Param>& params = {}, int resultFormat = 1);
    // Whether the last statement went unanswered and the connection was given up.
    bool gaveUp() const { return !givenUp_.isEmpty(); }
    // Why the connection failed or was given up, without any password.
    QString lastError() const;
    QString scrub(QString text) const;

    // The socket to watch (-1 without a live session) and who is told when it changes.
    int socket() const;
    void setSocketListener(std::function<void(int)> listener) { listener_ = std::move(listener); }
    void tellSocket();

    // Payloads of other sessions' notifications received so far; reads what
    // the socket holds first (never blocks).
    std::vector<QString> takeNotices();

private:
    bool send(const std::string& sql, const std::vector<Param>& params, int resultFormat);
    bool waitFor(bool writable, qint64 deadline);
    void giveUp(const QString& why);
    void keepNotices();

    std::string uri_;
    QString shown_;
    std::vector<std::string> secrets_;
    PGconn* conn_ = nullptr;
    QString givenUp_;
    std::vector<QString> notices_;
    std::function<void(int)> listener_;
};

} // namespace k8w::pg
