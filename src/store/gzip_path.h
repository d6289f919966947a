#pragma once
// zlib's gzopen for a path of any letters: the file system's own encoding on
// POSIX, the wide-character call on Windows (one file each, chosen in CMake).
#include <QString>

#include <zlib.h>

namespace k8w {

gzFile OpenGzipPath(const QString& path, const char* mode);

} // namespace k8w
