#pragma once
// Stops and resumes every process of a test server with SIGSTOP/SIGCONT: to
// its clients the server then looks like a dead network (as after a laptop's
// sleep), with connections still open and never answered.
#include <QFile>
#include <QString>
#include <QStringList>

#include <signal.h>
#include <sys/types.h>

#include <vector>

namespace k8w::test {

class PgServerPause {
public:
    explicit PgServerPause(const QString& serverFolder) : folder_(serverFolder) {}
    ~PgServerPause() { resume(); }
    PgServerPause(const PgServerPause&) = delete;
    PgServerPause& operator=(const PgServerPause&) = delete;

    // The postmaster first, so that it starts no new process meanwhile.
    void pause() {
        const pid_t main = postmaster();
        if (main <= 0) return;
        stopped_ = {main};
        ::kill(main, SIGSTOP);
        QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(main));
        if (children.open(QIODevice::ReadOnly))
            for (const QString& pid : QString::fromLatin1(children.readAll()).split(QLatin1Char(' '), Qt::SkipEmptyParts))
                stopped_.push_back(static_cast<pid_t>(pid.toInt()));
        for (std::size_t i = 1; i < stopped_.size(); ++i) ::kill(stopped_[i], SIGSTOP);
    }
    void resume() {
        for (auto it = stopped_.rbegin(); it != stopped_.rend(); ++it) ::kill(*it, SIGCONT);
        stopped_.clear();
    }
    bool paused() const { return !stopped_.empty(); }

private:
    pid_t postmaster() const {
        QFile pidFile(folder_ + QStringLiteral("/data/postmaster.pid"));
        if (!pidFile.open(QIODevice::ReadOnly)) return -1;
        return static_cast<pid_t>(pidFile.readLine().trimmed().toInt());
    }

    QString folder_;
    std::vector<pid_t> stopped_;
};

} // namespace k8w::test
