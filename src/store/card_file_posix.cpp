#include "store/card_file_system.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace k8w::cardfs {

SystemError NoSpaceError() { return ENOSPC; }
SystemError IoError() { return EIO; }
QString SystemErrorText(SystemError error) { return QString::fromLocal8Bit(std::strerror(error)); }

// O_NONBLOCK keeps the open from waiting on a pipe or a device, which is
// then refused.
CardLoadOutcome OpenRegular(const QString& fileName, QFile& file) {
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

bool IsOtherThanRegularFile(const QString& path) {
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && !S_ISREG(status.st_mode);
}

ReplacementFile::~ReplacementFile() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
    if (!path_.isEmpty()) ::unlink(QFile::encodeName(path_).constData());
}

SystemError ReplacementFile::create(const QString& target) {
    QByteArray path = QFile::encodeName(target + QStringLiteral(".save-XXXXXX"));
    const int fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0) return errno;
    handle_ = fd;
    path_ = QFile::decodeName(path);
    return 0;
}

SystemError ReplacementFile::keepModeOf(const QString& target) {
    struct stat old {};
    mode_t mode = 0;
    if (::stat(QFile::encodeName(target).constData(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        mode = ::umask(0);
        ::umask(mode);
        mode = 0666 & ~mode;
    }
    return ::fchmod(static_cast<int>(handle_), mode) == 0 ? 0 : errno;
}

// All of `size` bytes, going on after a partial write.
SystemError ReplacementFile::write(const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t done = ::write(static_cast<int>(handle_), data, static_cast<size_t>(size));
        if (done < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data += done;
        size -= done;
    }
    return 0;
}

SystemError ReplacementFile::reserve(qint64 bytes) {
    const int failure = ::posix_fallocate(static_cast<int>(handle_), 0, bytes);
    return failure == EINVAL || failure == EOPNOTSUPP ? 0 : failure;  // no reservation on this file system
}

SystemError ReplacementFile::sync() { return ::fsync(static_cast<int>(handle_)) == 0 ? 0 : errno; }

SystemError ReplacementFile::close() {
    const int fd = static_cast<int>(handle_);
    handle_ = -1;
    return ::close(fd) == 0 ? 0 : errno;
}

SystemError ReplacementFile::replace(const QString& target) {
    if (::rename(QFile::encodeName(path_).constData(), QFile::encodeName(target).constData()) != 0) return errno;
    path_.clear();
    return 0;
}

SystemError SyncFolderOf(const QString& target) {
    const QByteArray folder = QFile::encodeName(QFileInfo(target).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int result = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    // Some file systems cannot sync a folder; the rename is then as durable as they make it.
    return result == EINVAL || result == ENOTSUP ? 0 : result;
}

} // namespace k8w::cardfs
