#pragma once
// What the card file asks of the operating system: opening a regular file
// without blocking on anything else, and a new file that replaces the
// database in one step once it is whole and on disk. POSIX and Windows each
// have a file of their own behind this.
#include "store/card_file.h"

#include <QString>

#include <cstdint>

class QFile;

namespace k8w::cardfs {

// The system's own error number (errno, or GetLastError on Windows); 0 is success.
using SystemError = int;
SystemError NoSpaceError();
SystemError IoError();
QString SystemErrorText(SystemError error);

// Opens `fileName` for unbuffered reading into `file` when it is a regular
// file: Loaded then; Missing, NotAFile or PartlyRead (cannot be opened) otherwise.
CardLoadOutcome OpenRegular(const QString& fileName, QFile& file);
// Whether something other than a regular file is at `path`.
bool IsOtherThanRegularFile(const QString& path);

// A new file "<target>.save-XXXXXX" beside the target that takes its place
// at once with replace(). Removed by the destructor unless it replaced the target.
class ReplacementFile {
public:
    ReplacementFile() = default;
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    SystemError create(const QString& target);
    // Gives it the access rights of `target`, or the usual ones when there is none.
    SystemError keepModeOf(const QString& target);
    SystemError write(const char* data, qint64 size);
    // Takes `bytes` of disk for it: proves the room is there.
    SystemError reserve(qint64 bytes);
    // Its content on disk.
    SystemError sync();
    SystemError close();
    // Puts it in the target's place in one step; after a failure it is still there.
    SystemError replace(const QString& target);

private:
    QString path_;
    std::intptr_t handle_ = -1;
};

// The folder's entry of a replaced target on disk.
SystemError SyncFolderOf(const QString& target);

} // namespace k8w::cardfs
