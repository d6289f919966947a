#include "store/gzip_path.h"

#include <QFile>

namespace k8w {

gzFile OpenGzipPath(const QString& path, const char* mode) { return gzopen(QFile::encodeName(path).constData(), mode); }

} // namespace k8w
