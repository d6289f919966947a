#include "store/card_file_system.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <windows.h>

#include <algorithm>

namespace k8w::cardfs {
namespace {

std::wstring wide(const QString& path) { return QDir::toNativeSeparators(path).toStdWString(); }

HANDLE handleOf(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// Six letters or digits, as the save's temporary files are named.
QString randomSuffix() {
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString suffix;
    for (int i = 0; i < 6; ++i) suffix += QLatin1Char(kChars[QRandomGenerator::global()->bounded(62)]);
    return suffix;
}

} // namespace

SystemError NoSpaceError() { return ERROR_DISK_FULL; }
SystemError IoError() { return ERROR_WRITE_FAULT; }

QString SystemErrorText(SystemError error) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString message = length ? QString::fromWCharArray(text, static_cast<int>(length)).trimmed()
                             : QStringLiteral("system error %1").arg(error);
    ::LocalFree(text);
    return message;
}

CardLoadOutcome OpenRegular(const QString& fileName, QFile& file) {
    const DWORD attributes = ::GetFileAttributesW(wide(fileName).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? CardLoadOutcome::Missing
                                                                             : CardLoadOutcome::PartlyRead;
    }
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) return CardLoadOutcome::NotAFile;
    file.setFileName(fileName);
    // Unbuffered: the records go straight from the file into the slots.
    if (file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return CardLoadOutcome::Loaded;
    // A link whose target is gone has attributes of its own but cannot be opened.
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? CardLoadOutcome::NotAFile : CardLoadOutcome::PartlyRead;
}

bool IsOtherThanRegularFile(const QString& path) {
    const DWORD attributes = ::GetFileAttributesW(wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
}

ReplacementFile::~ReplacementFile() {
    if (handle_ != -1) ::CloseHandle(handleOf(handle_));
    if (!path_.isEmpty()) ::DeleteFileW(wide(path_).c_str());
}

SystemError ReplacementFile::create(const QString& target) {
    for (;;) {
        const QString path = target + QStringLiteral(".save-") + randomSuffix();
        const HANDLE file = ::CreateFileW(wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            handle_ = reinterpret_cast<std::intptr_t>(file);
            path_ = path;
            return 0;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) return static_cast<SystemError>(::GetLastError());
    }
}

// A new file takes the access rights of its folder, as the database itself did.
SystemError ReplacementFile::keepModeOf(const QString&) { return 0; }

SystemError ReplacementFile::write(const char* data, qint64 size) {
    while (size > 0) {
        DWORD done = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<qint64>(size, 1 << 30));
        if (!::WriteFile(handleOf(handle_), data, chunk, &done, nullptr)) return static_cast<SystemError>(::GetLastError());
        data += done;
        size -= done;
    }
    return 0;
}

// The file's end moved out takes the disk's room; then back to the start,
// empty again, for the content.
SystemError ReplacementFile::reserve(qint64 bytes) {
    LARGE_INTEGER at{};
    at.QuadPart = bytes;
    if (!::SetFilePointerEx(handleOf(handle_), at, nullptr, FILE_BEGIN) || !::SetEndOfFile(handleOf(handle_)))
        return static_cast<SystemError>(::GetLastError());
    at.QuadPart = 0;
    if (!::SetFilePointerEx(handleOf(handle_), at, nullptr, FILE_BEGIN) || !::SetEndOfFile(handleOf(handle_)))
        return static_cast<SystemError>(::GetLastError());
    return 0;
}

SystemError ReplacementFile::sync() {
    return ::FlushFileBuffers(handleOf(handle_)) ? 0 : static_cast<SystemError>(::GetLastError());
}

SystemError ReplacementFile::close() {
    const HANDLE file = handleOf(handle_);
    handle_ = -1;
    return ::CloseHandle(file) ? 0 : static_cast<SystemError>(::GetLastError());
}

// MOVEFILE_WRITE_THROUGH: the call returns once the rename is on disk.
SystemError ReplacementFile::replace(const QString& target) {
    if (!::MoveFileExW(wide(path_).c_str(), wide(target).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return static_cast<SystemError>(::GetLastError());
    path_.clear();
    return 0;
}

// The rename was written through to disk by MoveFileExW itself.
SystemError SyncFolderOf(const QString&) { return 0; }

} // namespace k8w::cardfs
