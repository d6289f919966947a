#pragma once
// Backups of a database file: gzip-compressed copies in the folder "backup"
// beside it, named "<file name>-YYYYMMDD-HHMMSS.gz" (a counter "-N" before
// ".gz" when two fall in one second). The newest 60 are kept.
#include <QDateTime>
#include <QString>

#include <functional>
#include <vector>

namespace k8w {

struct CardTable;

constexpr int kKeptCardBackups = 60;

enum class BackupWhen {
    FirstChangeOfDay,  // only when no backup of today's date exists yet
    Always,            // before a deletion, an import or a restore
};

// Copies the database file into its backup folder when due, then removes
// all but the newest 60 backups. Nothing is done for a file that does not
// exist yet. Returns empty on success (or when not due), else why it failed.
QString BackupCardFile(const QString& fileName, BackupWhen when, const QDateTime& now);
// The same at the backup clock's time (the local time unless a test set it).
QString BackupCardFile(const QString& fileName, BackupWhen when);

// Backup before a change: a failure does not stop the change; it is handed
// to the failure reporter (by default printed on standard error).
void BackupBeforeChange(const QString& fileName, BackupWhen when);

// Test seams.
void setBackupClock(std::function<QDateTime()> clock);
void setBackupFailureReporter(std::function<void(const QString& reason)> reporter);

struct CardBackup {
    QString path;
    QString name;
    QDateTime time;  // from the name, local time
};

QString CardBackupFolder(const QString& fileName);
// The backups of a database file, the newest first.
std::vector<CardBackup> ListCardBackups(const QString& fileName);

// Reads a backup (a gzip file, or a plain database file) into `table` as
// LoadCardFile reads a database. Empty on success, otherwise why not.
QString LoadCardBackup(const QString& backupPath, CardTable& table);

} // namespace k8w
