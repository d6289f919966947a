#include "store/card_lock_file.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QThread>

#include <windows.h>

#include <algorithm>

namespace k8w::cardfs {
namespace {

// The locked byte lies far past the holder's text: Windows' locks are
// mandatory, and others read that text while the lock is held.
constexpr DWORD kLockedByteHigh = 1;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// A holder letting go leaves its file "delete pending" for a moment; an open
// refused then is tried again this often before it counts as no access.
constexpr int kRefusedOpenTries = 5;

std::wstring wide(const QString& path) { return QDir::toNativeSeparators(path).toStdWString(); }

bool lockByte(HANDLE file, bool lock) {
    OVERLAPPED at{};
    at.OffsetHigh = kLockedByteHigh;
    return lock ? ::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)
                : ::UnlockFileEx(file, 0, 1, 0, &at);
}

bool deletePending(HANDLE file) {
    FILE_STANDARD_INFO info{};
    return ::GetFileInformationByHandleEx(file, FileStandardInfo, &info, sizeof info) && info.DeletePending;
}

// "PID\nprogram\n", as Qt's lock files on POSIX name their holder.
void nameHolder(HANDLE file) {
    const QByteArray text = QByteArray::number(QCoreApplication::applicationPid()) + '\n' +
                            QCoreApplication::applicationName().toUtf8() + '\n';
    DWORD written = 0;
    ::SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    ::SetEndOfFile(file);
    ::WriteFile(file, text.constData(), static_cast<DWORD>(text.size()), &written, nullptr);
}

} // namespace

struct LockFile::Impl {
    QString path;
    HANDLE file = INVALID_HANDLE_VALUE;

    Outcome tryOnce();
};

LockFile::Outcome LockFile::Impl::tryOnce() {
    for (int refused = 0;;) {
        const HANDLE opened = ::CreateFileW(wide(path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, kShareAll, nullptr,
                                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (opened == INVALID_HANDLE_VALUE) {
            const DWORD error = ::GetLastError();
            if (error != ERROR_ACCESS_DENIED && error != ERROR_WRITE_PROTECT) return Outcome::Failed;
            if (++refused == kRefusedOpenTries) return Outcome::NoAccess;
            QThread::msleep(10);
            continue;
        }
        if (!lockByte(opened, true)) {
            const DWORD error = ::GetLastError();
            ::CloseHandle(opened);
            return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? Outcome::HeldByOther : Outcome::Failed;
        }
        if (deletePending(opened)) {  // the file of a holder that has just let go
            lockByte(opened, false);
            ::CloseHandle(opened);
            continue;
        }
        nameHolder(opened);
        file = opened;
        return Outcome::Held;
    }
}

LockFile::LockFile(const QString& path) : impl_(std::make_unique<Impl>()) { impl_->path = path; }

LockFile::~LockFile() { unlock(); }

LockFile::Outcome LockFile::tryLock(int waitMs) {
    const QDeadlineTimer deadline(std::max(waitMs, 0));
    for (;;) {
        const Outcome outcome = impl_->tryOnce();
        if (outcome != Outcome::HeldByOther || deadline.hasExpired()) return outcome;
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>(deadline.remainingTime(), 50)));
    }
}

// The file is marked for deletion while still locked: whoever locks it next
// sees that and opens the path anew.
void LockFile::unlock() {
    if (impl_->file == INVALID_HANDLE_VALUE) return;
    FILE_DISPOSITION_INFO dispose{TRUE};
    ::SetFileInformationByHandle(impl_->file, FileDispositionInfo, &dispose, sizeof dispose);
    lockByte(impl_->file, false);
    ::CloseHandle(impl_->file);
    impl_->file = INVALID_HANDLE_VALUE;
}

bool LockFile::holder(qint64* pid, QString* app) const {
    const HANDLE file = ::CreateFileW(wide(impl_->path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char text[512];
    DWORD read = 0;
    const bool ok = ::ReadFile(file, text, sizeof text, &read, nullptr);
    ::CloseHandle(file);
    const QList<QByteArray> lines = QByteArray(text, ok ? static_cast<int>(read) : 0).split('\n');
    bool number = false;
    *pid = lines.value(0).toLongLong(&number);
    *app = QString::fromUtf8(lines.value(1));
    return number && *pid > 0;
}

QString LockFile::path() const { return impl_->path; }

} // namespace k8w::cardfs
