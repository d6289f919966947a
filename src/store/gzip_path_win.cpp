#include "store/gzip_path.h"

#include <QDir>

namespace k8w {

gzFile OpenGzipPath(const QString& path, const char* mode) {
    const std::wstring wide = QDir::toNativeSeparators(path).toStdWString();
    return gzopen_w(wide.c_str(), mode);
}

} // namespace k8w
