#include "store/card_file.h"

#include "cards/card_table.h"
#include "store/card_file_system.h"


#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace k8w {
namespace {

constexpr qint64 kRecord = static_cast<qint64>(kCardSize);
constexpr qint64 kFullCopyBytes = 9001 * kRecord;

CardSaveHook& saveHook() {
    static CardSaveHook hook;
    return hook;
}

using cardfs::SystemError;

// Reads up to `size` bytes, going on after a short read; returns how many
// arrived. The slots are read in one go: record by record through the
// device's buffer the load took several times a plain read of the file.
qint64 readUpTo(QIODevice& in, char* into, qint64 size) {
    qint64 done = 0;
    while (done < size) {
        const qint64 got = in.read(into + done, size - done);
        if (got <= 0) break;
        done += got;
    }
    return done;
}

// A save killed before its rename leaves its temporary file behind; the next
// save (one writer at a time) removes those, and only those.
void removeStaleTemporaries(const QString& target) {
    const QFileInfo info(target);
    const QRegularExpression own(QStringLiteral("^") + QRegularExpression::escape(info.fileName()) +
                                 QStringLiteral("\\.save-[A-Za-z0-9]{6}$"));
    const QDir folder = info.absoluteDir();
    for (const QFileInfo& entry : folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (entry.isSymLink() || !own.match(entry.fileName()).hasMatch()) continue;
        QFile::remove(entry.absoluteFilePath());
    }
}

SystemError syncFolder(const QString& target) {
    if (!cardSaveStepAllowed(CardSaveStep::SyncFolder, 0)) return cardfs::IoError();
    return cardfs::SyncFolderOf(target);
}

// The new content in the replacement file: written, synced and closed.
// Returns the error of the step that failed, or 0.
SystemError writeTemporary(cardfs::ReplacementFile& file, const Card* cardSlots, int count,
                           const Card& cardTemplate) {
    qint64 written = 0;
    for (int i = 0; i <= count; ++i) {
        const Card& record = i < count ? cardSlots[i] : cardTemplate;
        if (!cardSaveStepAllowed(CardSaveStep::WriteRecord, written)) return cardfs::NoSpaceError();
        if (const SystemError error = file.write(reinterpret_cast<const char*>(&record), kRecord)) return error;
        written += kRecord;
    }
    if (!cardSaveStepAllowed(CardSaveStep::Sync, written)) return cardfs::IoError();
    if (const SystemError error = file.sync()) return error;
    return file.close();
}

QString cannotCreateText(const QString& target, SystemError error) {
    return QStringLiteral("cannot create a file in %1: %2")
        .arg(QFileInfo(target).absolutePath(), cardfs::SystemErrorText(error));
}

} // namespace

CardLoadOutcome LoadCardDevice(QIODevice& in, Card* cardSlots, int capacity, Card& cardTemplate) {
    const qint64 size = in.size();
    if (size <= 0 || size % kRecord != 0) return CardLoadOutcome::Rejected;
    const qint64 wanted = std::clamp(size / kRecord - 1, qint64{0}, static_cast<qint64>(capacity));
    const qint64 got = readUpTo(in, reinterpret_cast<char*>(cardSlots), wanted * kRecord);
    if (got < wanted * kRecord) {
        cardSlots[got / kRecord] = Card{};  // the slot being read stays empty
        return CardLoadOutcome::PartlyRead;
    }
    Card loadedTemplate{};
    if (readUpTo(in, reinterpret_cast<char*>(&loadedTemplate), kRecord) != kRecord)
        return CardLoadOutcome::PartlyRead;
    cardTemplate = loadedTemplate;
    return CardLoadOutcome::Loaded;
}

bool LoadCardFile(const QString& fileName, Card* cardSlots, int capacity, Card& cardTemplate,
                  CardLoadOutcome* outcome) {
    QFile file;
    CardLoadOutcome result = cardfs::OpenRegular(fileName, file);
    if (result == CardLoadOutcome::Loaded) result = LoadCardDevice(file, cardSlots, capacity, cardTemplate);
    if (outcome) *outcome = result;
    return result == CardLoadOutcome::Loaded;
}

QString CardLoadFailureText(CardLoadOutcome outcome, const QString& fileName) {
    switch (outcome) {
    case CardLoadOutcome::Loaded:
        return {};
    case CardLoadOutcome::Missing:
        return QStringLiteral("database not found: %1").arg(fileName);
    case CardLoadOutcome::Rejected:
        return QStringLiteral("not a card database (size %1 is not a positive multiple of %2 bytes): %3")
            .arg(QFileInfo(fileName).size())
            .arg(kCardSize)
            .arg(fileName);
    case CardLoadOutcome::NotAFile:
        return QStringLiteral("not a regular file (a folder, pipe, device, socket or dangling link): %1")
            .arg(fileName);
    case CardLoadOutcome::PartlyRead:
        break;
    }
    return QStringLiteral("database could not be read completely: %1").arg(fileName);
}

QString CardFileSaveTarget(const QString& fileName, QString* error) {
    const QFileInfo info(fileName);
    QString target = info.absoluteFilePath();
    if (info.isSymLink()) {
        const QFileInfo linked(info.symLinkTarget());
        if (!linked.exists()) {
            if (error) *error = QStringLiteral("%1 is a link to %2, which does not exist").arg(fileName, linked.filePath());
            return {};
        }
        target = linked.absoluteFilePath();
    }
    if (cardfs::IsOtherThanRegularFile(target)) {
        if (error) *error = QStringLiteral("%1 is not a regular file").arg(fileName);
        return {};
    }
    return target;
}

QString CheckCardFileWritable(const QString& fileName) {
    QString error;
    const QString target = CardFileSaveTarget(fileName, &error);
    if (target.isEmpty()) return error;
    // Reserve the room of a full copy in a file of the save's own naming:
    // this proves the folder takes a new file and the disk has the space.
    cardfs::ReplacementFile probe;
    if (const SystemError error = probe.create(target)) return cannotCreateText(target, error);
    const SystemError failure = cardSaveStepAllowed(CardSaveStep::Reserve, 0) ? probe.reserve(kFullCopyBytes)
                                                                            : cardfs::NoSpaceError();
    if (failure)
        return QStringLiteral("no room for a new copy of the database (%1 bytes) in %2: %3")
            .arg(kFullCopyBytes)
            .arg(QFileInfo(target).absolutePath(), cardfs::SystemErrorText(failure));
    return {};
}

QString WriteCardFile(const QString& fileName, const Card* cardSlots, int count, const Card& cardTemplate) {
    QString error;
    const QString target = CardFileSaveTarget(fileName, &error);
    if (target.isEmpty()) return error;
    removeStaleTemporaries(target);

    cardfs::ReplacementFile file;
    if (const SystemError error = file.create(target)) return cannotCreateText(target, error);
    // A rewrite keeps the file's access rights; a new file gets the usual ones.
    SystemError failure = file.keepModeOf(target);
    if (!failure) failure = writeTemporary(file, cardSlots, count, cardTemplate);
    if (!failure && !cardSaveStepAllowed(CardSaveStep::Rename, 0)) failure = cardfs::IoError();
    if (!failure) failure = file.replace(target);
    if (failure) return QStringLiteral("cannot write %1: %2").arg(fileName, cardfs::SystemErrorText(failure));
    if (const SystemError folderFailure = syncFolder(target))
        return QStringLiteral("%1 was replaced, but its folder could not be synced to disk: %2")
            .arg(fileName, cardfs::SystemErrorText(folderFailure));
    return {};
}

QString SetAsideCardFile(const QString& fileName) {
    const QString stem = fileName + QStringLiteral(".bad-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = stem;
    for (int n = 2; QFileInfo::exists(target); ++n) target = stem + QLatin1Char('-') + QString::number(n);
    return QFile::rename(fileName, target) ? target : QString();
}

void setCardSaveHook(CardSaveHook hook) { saveHook() = std::move(hook); }

bool cardSaveStepAllowed(CardSaveStep step, qint64 bytesWritten) {
    return !saveHook() || saveHook()(step, bytesWritten);
}

bool LoadCardTable(CardTable& table, const QString& fileName, QString* setAsidePath) {
    table.cardTemplate = Card{};
    CardLoadOutcome outcome = CardLoadOutcome::Missing;
    const bool loaded =
        LoadCardFile(fileName, table.cards.data(), kCardCapacity, table.cardTemplate, &outcome);
    if (outcome == CardLoadOutcome::Rejected || outcome == CardLoadOutcome::PartlyRead) {
        const QString path = SetAsideCardFile(fileName);
        if (setAsidePath) *setAsidePath = path;
    }
    return loaded;
}

bool SaveCardTable(const CardTable& table, const QString& fileName) {
    return WriteCardFile(fileName, table.cards.data(), kCardCapacity, table.cardTemplate).isEmpty();
}

} // namespace k8w
