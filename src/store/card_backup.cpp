#include "store/card_backup.h"

#include "store/card_file.h"
#include "store/gzip_path.h"
#include "cards/card_table.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>


#include <algorithm>

namespace k8w {
namespace {

std::function<QDateTime()>& backupClock() {
    static std::function<QDateTime()> clock;
    return clock;
}

std::function<void(const QString&)>& failureReporter() {
    static std::function<void(const QString&)> reporter;
    return reporter;
}

const QString kStampFormat = QStringLiteral("yyyyMMdd-HHmmss");

struct Named {
    CardBackup backup;
    int counter = 0;
};

std::vector<Named> backupsOf(const QString& fileName) {
    const QString base = QFileInfo(fileName).fileName();
    const QRegularExpression pattern(QStringLiteral("^%1-(\\d{8}-\\d{6})(?:-(\\d+))?\\.gz$")
                                         .arg(QRegularExpression::escape(base)));
    std::vector<Named> found;
    const QDir folder(CardBackupFolder(fileName));
    for (const QString& name : folder.entryList({base + QStringLiteral("-*.gz")}, QDir::Files)) {
        const QRegularExpressionMatch match = pattern.match(name);
        if (!match.hasMatch()) continue;
        const QDateTime time = QDateTime::fromString(match.captured(1), kStampFormat);
        if (!time.isValid()) continue;
        found.push_back({{folder.filePath(name), name, time}, match.captured(2).toInt()});
    }
    std::sort(found.begin(), found.end(), [](const Named& a, const Named& b) {
        return a.backup.time != b.backup.time ? a.backup.time > b.backup.time : a.counter > b.counter;
    });
    return found;
}

// Compresses the file into `target`; empty or why not.
QString compressInto(const QString& source, const QString& target) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) return QStringLiteral("cannot read %1").arg(source);
    const QString temporary = target + QStringLiteral(".part");
    // Level 1: a full file is mostly zeros and compresses well even so.
    gzFile out = OpenGzipPath(temporary, "wb1");
    if (!out) return QStringLiteral("cannot create %1").arg(temporary);
    bool ok = true;
    QByteArray chunk;
    while (ok && !(chunk = in.read(1 << 20)).isEmpty())
        ok = gzwrite(out, chunk.constData(), static_cast<unsigned>(chunk.size())) == chunk.size();
    ok = gzclose(out) == Z_OK && ok && in.error() == QFileDevice::NoError;
    if (ok) {
        QFile::remove(target);  // one writer at a time: a same-second backup is replaced
        ok = QFile::rename(temporary, target);
    }
    if (!ok) {
        QFile::remove(temporary);
        return QStringLiteral("cannot write %1").arg(target);
    }
    return {};
}

} // namespace

QString CardBackupFolder(const QString& fileName) {
    return QFileInfo(fileName).absoluteDir().filePath(QStringLiteral("backup"));
}

std::vector<CardBackup> ListCardBackups(const QString& fileName) {
    std::vector<CardBackup> list;
    for (Named& named : backupsOf(fileName)) list.push_back(std::move(named.backup));
    return list;
}

QString BackupCardFile(const QString& fileName, BackupWhen when, const QDateTime& now) {
    if (!QFileInfo(fileName).isFile()) return {};
    std::vector<Named> existing = backupsOf(fileName);
    if (when == BackupWhen::FirstChangeOfDay &&
        std::any_of(existing.begin(), existing.end(),
                    [&now](const Named& n) { return n.backup.time.date() == now.date(); }))
        return {};
    const QString folder = CardBackupFolder(fileName);
    if (!QDir().mkpath(folder)) return QStringLiteral("cannot create the backup folder %1").arg(folder);

    const QString stamp = QFileInfo(fileName).fileName() + QLatin1Char('-') + now.toString(kStampFormat);
    QString target = QDir(folder).filePath(stamp + QStringLiteral(".gz"));
    for (int counter = 2; QFileInfo::exists(target); ++counter)
        target = QDir(folder).filePath(stamp + QStringLiteral("-%1.gz").arg(counter));
    if (QString error = compressInto(fileName, target); !error.isEmpty()) return error;

    existing = backupsOf(fileName);
    for (std::size_t i = kKeptCardBackups; i < existing.size(); ++i) QFile::remove(existing[i].backup.path);
    return {};
}

QString BackupCardFile(const QString& fileName, BackupWhen when) {
    const auto& clock = backupClock();
    return BackupCardFile(fileName, when, clock ? clock() : QDateTime::currentDateTime());
}

void BackupBeforeChange(const QString& fileName, BackupWhen when) {
    const QString error = BackupCardFile(fileName, when);
    if (error.isEmpty()) return;
    const QString text = QStringLiteral("no backup was made before the change: %1").arg(error);
    if (const auto& reporter = failureReporter()) reporter(text);
    else std::fprintf(stderr, "%s\n", text.toUtf8().constData());
}

void setBackupClock(std::function<QDateTime()> clock) { backupClock() = std::move(clock); }

void setBackupFailureReporter(std::function<void(const QString&)> reporter) {
    failureReporter() = std::move(reporter);
}

QString LoadCardBackup(const QString& backupPath, CardTable& table) {
    gzFile in = OpenGzipPath(backupPath, "rb");
    if (!in) return QStringLiteral("cannot read %1").arg(backupPath);
    QByteArray content;
    char chunk[1 << 16];
    int got = 0;
    // A database has at most a few more records than a full one.
    while ((got = gzread(in, chunk, sizeof chunk)) > 0 && content.size() < (64 << 20)) content.append(chunk, got);
    const bool ok = got == 0 && gzclose(in) == Z_OK;
    if (!ok) return QStringLiteral("%1 is damaged: it does not decompress").arg(backupPath);
    QBuffer buffer(&content);
    buffer.open(QIODevice::ReadOnly);
    table.clear();
    const CardLoadOutcome outcome =
        LoadCardDevice(buffer, table.cards.data(), kCardCapacity, table.cardTemplate);
    if (outcome != CardLoadOutcome::Loaded) return CardLoadFailureText(outcome, backupPath);
    return {};
}

} // namespace k8w
