#include "store/card_file.h"

#include "cards/card_table.h"


#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace k8w {
namespace {

constexpr qint64 kRecord = static_cast<qint64>(kCardSize);
constexpr qint64 kFullCopyBytes = 9001 * kRecord;

CardSaveHook& saveHook() {
    static CardSaveHook hook;
    return hook;
}

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

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

// Opens a regular file for reading without ever blocking on it: a pipe or a
// device is refused after the open, which O_NONBLOCK keeps from waiting.
CardLoadOutcome openRegular(const QString& fileName, QFile& file) {
    const QByteArray path = QFile::encodeName(fileName);
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        struct stat link {};
        if (errno == ENOENT && ::lstat(path.constData(), &link) == 0) return CardLoadOutcome::NotAFile;
        return errno == ENOENT ? CardLoadOutcome::Missing : CardLoadOutcome::PartlyRead;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return CardLoadOutcome::NotAFile;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // Unbuffered: the records go straight from the file into the slots.
    if (!file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return CardLoadOutcome::PartlyRead;
    }
    return CardLoadOutcome::Loaded;
}

// Writes all of `size` bytes, going on after a partial write.
int writeAll(int fd, const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t done = ::write(fd, data, static_cast<size_t>(size));
        if (done < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data += done;
        size -= done;
    }
    return 0;
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

// A new temporary file "<target>.save-XXXXXX" beside the target; its path
// goes to `path`. -1 with `error` set when the folder takes no new file.
int createTemporary(const QString& target, QByteArray& path, QString& error) {
    path = QFile::encodeName(target + QStringLiteral(".save-XXXXXX"));
    const int fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0)
        error = QStringLiteral("cannot create a file in %1: %2")
                    .arg(QFileInfo(target).absolutePath(), systemError(errno));
    return fd;
}

int syncFolder(const QString& target) {
    if (!cardSaveStepAllowed(CardSaveStep::SyncFolder, 0)) return EIO;
    const QByteArray folder = QFile::encodeName(QFileInfo(target).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int result = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    // Some file systems cannot sync a folder; the rename is then as durable as they make it.
    return result == EINVAL || result == ENOTSUP ? 0 : result;
}

// The new content in a temporary file: written, synced and closed. Returns
// the errno of the step that failed, or 0.
int writeTemporary(int fd, const Card* cardSlots, int count, const Card& cardTemplate) {
    qint64 written = 0;
    for (int i = 0; i <= count; ++i) {
        const Card& record = i < count ? cardSlots[i] : cardTemplate;
        if (!cardSaveStepAllowed(CardSaveStep::WriteRecord, written)) return ENOSPC;
        if (const int error = writeAll(fd, reinterpret_cast<const char*>(&record), kRecord)) return error;
        written += kRecord;
    }
    if (!cardSaveStepAllowed(CardSaveStep::Sync, written)) return EIO;
    if (::fsync(fd) != 0) return errno;
    return 0;
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
    CardLoadOutcome result = openRegular(fileName, file);
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
    struct stat status {};
    if (::stat(QFile::encodeName(target).constData(), &status) == 0 && !S_ISREG(status.st_mode)) {
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
    QByteArray probe;
    const int fd = createTemporary(target, probe, error);
    if (fd < 0) return error;
    int failure = cardSaveStepAllowed(CardSaveStep::Reserve, 0) ? ::posix_fallocate(fd, 0, kFullCopyBytes) : ENOSPC;
    ::close(fd);
    ::unlink(probe.constData());
    if (failure == EINVAL || failure == EOPNOTSUPP) failure = 0;  // no reservation on this file system
    if (failure)
        return QStringLiteral("no room for a new copy of the database (%1 bytes) in %2: %3")
            .arg(kFullCopyBytes)
            .arg(QFileInfo(target).absolutePath(), systemError(failure));
    return {};
}

QString WriteCardFile(const QString& fileName, const Card* cardSlots, int count, const Card& cardTemplate) {
    QString error;
    const QString target = CardFileSaveTarget(fileName, &error);
    if (target.isEmpty()) return error;
    removeStaleTemporaries(target);

    QByteArray temporary;
    const int fd = createTemporary(target, temporary, error);
    if (fd < 0) return error;
    // A rewrite keeps the file's mode; a new file gets the usual one.
    struct stat old {};
    mode_t mode = 0;
    if (::stat(QFile::encodeName(target).constData(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        mode = ::umask(0);
        ::umask(mode);
        mode = 0666 & ~mode;
    }
    int failure = ::fchmod(fd, mode) == 0 ? 0 : errno;
    if (!failure) failure = writeTemporary(fd, cardSlots, count, cardTemplate);
    if (::close(fd) != 0 && !failure) failure = errno;
    if (!failure && !cardSaveStepAllowed(CardSaveStep::Rename, 0)) failure = EIO;
    if (!failure && ::rename(temporary.constData(), QFile::encodeName(target).constData()) != 0)
        failure = errno;
    if (failure) {
        ::unlink(temporary.constData());
        return QStringLiteral("cannot write %1: %2").arg(fileName, systemError(failure));
    }
    if (const int folderFailure = syncFolder(target))
        return QStringLiteral("%1 was replaced, but its folder could not be synced to disk: %2")
            .arg(fileName, systemError(folderFailure));
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
