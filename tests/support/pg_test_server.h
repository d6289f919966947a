#pragma once
// A real PostgreSQL server of the system's packages, started in a temporary
// folder for one test program: its own cluster, a unix socket in the folder
// and, when asked, a free TCP port on the loopback address. The server refuses to run as root, so a root test run hands
// the folder to the system user postgres and runs the server tools as it.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include "support/local_port.h"

#include <unistd.h>

#include <stdexcept>
#include <string>

namespace k8w::test {

class PgTestServer {
public:
    // `durable`: commits are synced to disk as on a real server (benchmarks);
    // tests skip the syncs. `loopbackTcp`: the server also listens on
    // 127.0.0.1 at port(), a port free when the server was made.
    explicit PgTestServer(bool durable = false, bool loopbackTcp = false) : durable_(durable), tcp_(loopbackTcp) {
        if (tcp_ && (port_ = freeLocalPort()) == 0) fail(QStringLiteral("no free TCP port on 127.0.0.1"));
        dir_.setAutoRemove(true);
        const QStringList found = QDir(QStringLiteral("/usr/lib/postgresql"))
                                      .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed);
        for (const QString& version : found) {
            const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(version);
            if (QFileInfo::exists(bin + QStringLiteral("/initdb"))) {
                bin_ = bin;
                break;
            }
        }
        if (bin_.isEmpty()) fail("no PostgreSQL server installed (run tools/install-deps)");
        if (::geteuid() == 0) {
            // The temporary folder's parents must let postgres reach its socket.
            runTool(QStringLiteral("/bin/chown"), {QStringLiteral("postgres:postgres"), dir_.path()}, false);
        }
        tool(QStringLiteral("initdb"), {QStringLiteral("-D"), dataDir(), QStringLiteral("-U"), kSuperuser,
                                       QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-E"),
                                       QStringLiteral("UTF8"), QStringLiteral("--no-sync")});
        start();
    }
    ~PgTestServer() {
        if (running_) runTool(bin_ + QStringLiteral("/pg_ctl"),
                              {QStringLiteral("-D"), dataDir(), QStringLiteral("-m"), QStringLiteral("immediate"),
                               QStringLiteral("-w"), QStringLiteral("stop")},
                              true, false);
    }
    PgTestServer(const PgTestServer&) = delete;
    PgTestServer& operator=(const PgTestServer&) = delete;

    void start() {
        tool(QStringLiteral("pg_ctl"),
             {QStringLiteral("-D"), dataDir(), QStringLiteral("-l"), dir_.filePath(QStringLiteral("server.log")),
              QStringLiteral("-w"), QStringLiteral("-o"),
              QStringLiteral("-k %1 -p %2 -c listen_addresses='%3' -c max_connections=60 %4")
                  .arg(dir_.path())
                  .arg(port_)
                  .arg(tcp_ ? QStringLiteral("127.0.0.1") : QString())
                  .arg(durable_ ? QString()
                                : QStringLiteral("-c fsync=off -c full_page_writes=off -c synchronous_commit=off")),
              QStringLiteral("start")});
        running_ = true;
    }
    void stop() {
        tool(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), dataDir(), QStringLiteral("-m"),
                                        QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")});
        running_ = false;
    }

    // A URI of database `db` for `user` through the folder's socket.
    QString uri(const QString& db, const QString& user = QString()) const {
        return QStringLiteral("postgresql://%1@/%2?host=%3&port=%4")
            .arg(user.isEmpty() ? kSuperuser : user, db, dir_.path())
            .arg(port_);
    }

    // Runs SQL as the superuser in database `db`; throws on failure.
    QString sql(const QString& db, const QString& statements) {
        return tool(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-A"),
                                             QStringLiteral("-t"), QStringLiteral("-v"),
                                             QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"), dir_.path(),
                                             QStringLiteral("-p"), QString::number(port_), QStringLiteral("-U"),
                                             kSuperuser, QStringLiteral("-d"), db, QStringLiteral("-c"), statements},
                    false);
    }

    // A new empty database of its own for one test.
    QString createDatabase() {
        const QString name = QStringLiteral("t%1").arg(++databases_);
        sql(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE %1").arg(name));
        return name;
    }

    QString folder() const { return dir_.path(); }
    // The TCP port on 127.0.0.1 when the server listens there; it also names the socket file.
    int port() const { return port_; }

private:
    static constexpr int kSocketOnlyPort = 5432;  // only names the socket file: no TCP port is opened
    inline static const QString kSuperuser = QStringLiteral("k8w");

    QString dataDir() const { return dir_.filePath(QStringLiteral("data")); }

    [[noreturn]] static void fail(const QString& why) {
        throw std::runtime_error("PostgreSQL test server: " + why.toStdString());
    }

    // A server tool, as postgres when this runs as root.
    QString tool(const QString& name, const QStringList& args, bool asServerUser = true) {
        return runTool(bin_ + QLatin1Char('/') + name, args, asServerUser);
    }

    QString runTool(const QString& program, const QStringList& args, bool asServerUser, bool mustWork = true) {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        if (asServerUser && ::geteuid() == 0) {
            process.setProgram(QStringLiteral("/usr/sbin/runuser"));
            process.setArguments(QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"),
                                             program} +
                                 args);
        } else {
            process.setProgram(program);
            process.setArguments(args);
        }
        process.start();
        const bool finished = process.waitForFinished(120000);
        const QString output = QString::fromUtf8(process.readAll());
        if (mustWork && (!finished || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)) {
            QFile log(dir_.filePath(QStringLiteral("server.log")));
            const QString serverLog = log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
            fail(QStringLiteral("%1 %2 failed:\n%3\n%4").arg(program, args.join(QLatin1Char(' ')), output, serverLog));
        }
        return output.trimmed();
    }

    bool durable_ = false;
    bool tcp_ = false;
    int port_ = kSocketOnlyPort;
    QTemporaryDir dir_;
    QString bin_;
    bool running_ = false;
    int databases_ = 0;
};

} // namespace k8w::test
