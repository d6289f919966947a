#include "store/programming_journal.h"

#include "cards/card_table.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSaveFile>
#include <QUuid>

#include <algorithm>

namespace k8w {
namespace {

// How long a writer waits for another one's rewrite.
constexpr int kLockWaitMs = 10000;

const QString kState[] = {QStringLiteral("begun"), QStringLiteral("programmed"), QStringLiteral("failed")};

QJsonObject toJson(const JournalEntry& e) {
    return {{QStringLiteral("id"), e.id},
            {QStringLiteral("slot"), e.slot},
            {QStringLiteral("checksum"), e.checksum},
            {QStringLiteral("revision"), static_cast<double>(e.revision)},
            {QStringLiteral("startedAt"), e.startedAt},
            {QStringLiteral("programmedAt"), e.programmedAt},
            {QStringLiteral("state"), kState[static_cast<int>(e.state)]}};
}

bool fromJson(const QJsonObject& o, JournalEntry& e) {
    e.id = o.value(QStringLiteral("id")).toString();
    e.slot = o.value(QStringLiteral("slot")).toInt(-1);
    e.checksum = static_cast<std::uint16_t>(o.value(QStringLiteral("checksum")).toInt());
    e.revision = static_cast<CardRevision>(o.value(QStringLiteral("revision")).toDouble());
    e.startedAt = o.value(QStringLiteral("startedAt")).toDouble();
    e.programmedAt = o.value(QStringLiteral("programmedAt")).toDouble();
    const auto state = std::find(std::begin(kState), std::end(kState), o.value(QStringLiteral("state")).toString());
    if (state == std::end(kState) || e.id.isEmpty() || e.slot < 0 || e.slot >= kCardCapacity) return false;
    e.state = static_cast<JournalEntry::State>(state - std::begin(kState));
    return true;
}

std::vector<JournalEntry> readEntries(const QString& path) {
    std::vector<JournalEntry> entries;
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) return entries;
    for (const QJsonValue v : QJsonDocument::fromJson(in.readAll()).array()) {
        JournalEntry e;
        if (fromJson(v.toObject(), e)) entries.push_back(e);
    }
    return entries;
}

} // namespace

ProgrammingJournal::ProgrammingJournal(QString path) : path_(std::move(path)) {}

QString JournalPathOf(const QString& copyPath) { return copyPath + QStringLiteral(".journal"); }

// Reads the journal under its lock, applies the change and writes it whole
// through a synced temporary file renamed over the old one.
template <typename Change> bool ProgrammingJournal::rewrite(Change change, QString* error) {
    QLockFile lock(path_ + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockWaitMs)) {
        if (error) *error = QStringLiteral("the programming journal %1 is held by another program").arg(path_);
        return false;
    }
    std::vector<JournalEntry> entries = readEntries(path_);
    change(entries);
    QJsonArray array;
    for (const JournalEntry& e : entries) array.append(toJson(e));
    QSaveFile out(path_);
    if (!out.open(QIODevice::WriteOnly)) {
        if (error) *error = QStringLiteral("cannot write %1: %2").arg(path_, out.errorString());
        return false;
    }
    out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    out.write(QJsonDocument(array).toJson(QJsonDocument::Compact));
    if (!out.commit()) {
        if (error) *error = QStringLiteral("cannot write %1: %2").arg(path_, out.errorString());
        return false;
    }
    return true;
}

QString ProgrammingJournal::begin(int slot, CardRevision revision, double startedAt, std::unique_ptr<QLockFile>* live,
                                  QString* error) {
    JournalEntry entry;
    entry.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    // Held by this process until the attempt ends; a lock whose process is
    // gone is taken over (its holder is recognised by process ID).
    auto running = std::make_unique<QLockFile>(attemptLockPath(entry.id));
    running->setStaleLockTime(0);
    if (!running->tryLock(0)) {
        if (error) *error = QStringLiteral("cannot create %1").arg(attemptLockPath(entry.id));
        return {};
    }
    entry.slot = slot;
    entry.revision = revision;
    entry.startedAt = startedAt;
    if (!rewrite([&](std::vector<JournalEntry>& entries) { entries.push_back(entry); }, error)) return {};
    if (live) *live = std::move(running);
    return entry.id;
}

bool ProgrammingJournal::isRunning(const JournalEntry& entry) const {
    if (entry.state != JournalEntry::State::Begun) return false;
    QLockFile running(attemptLockPath(entry.id));
    running.setStaleLockTime(0);
    if (!running.tryLock(0)) return running.error() == QLockFile::LockFailedError;
    running.unlock();
    return false;
}

QString ProgrammingJournal::attemptLockPath(const QString& id) const {
    return path_ + QStringLiteral(".") + id + QStringLiteral(".lock");
}

bool ProgrammingJournal::finish(const QString& id, bool programmed, std::uint16_t checksum, double programmedAt,
                                QString* error) {
    return rewrite(
        [&](std::vector<JournalEntry>& entries) {
            for (JournalEntry& e : entries) {
                if (e.id != id) continue;
                e.state = programmed ? JournalEntry::State::Programmed : JournalEntry::State::Failed;
                e.checksum = checksum;
                e.programmedAt = programmedAt;
            }
            // A failed attempt leaves nothing to record.
            std::erase_if(entries, [](const JournalEntry& e) { return e.state == JournalEntry::State::Failed; });
        },
        error);
}

bool ProgrammingJournal::remove(const std::vector<QString>& ids, QString* error) {
    if (ids.empty()) return true;
    return rewrite(
        [&](std::vector<JournalEntry>& entries) {
            std::erase_if(entries, [&](const JournalEntry& e) {
                return std::find(ids.begin(), ids.end(), e.id) != ids.end();
            });
        },
        error);
}

std::vector<JournalEntry> ProgrammingJournal::entries() const { return readEntries(path_); }

int ProgrammingJournal::waitingCount() const {
    const std::vector<JournalEntry> all = entries();
    return static_cast<int>(std::count_if(all.begin(), all.end(), [](const JournalEntry& e) {
        return e.state == JournalEntry::State::Programmed;
    }));
}

} // namespace k8w
