#include "fuzz_support.h"

#include "common/cp1251.h"

#include <QByteArray>
#include <QDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace k8w::fuzz {
namespace {

QString& scratchPath() {
    static QString path;
    return path;
}

void removeScratch() {
    if (!scratchPath().isEmpty()) QDir(scratchPath()).removeRecursively();
}

} // namespace

void require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "broken promise: %s\n", what);
    std::abort();
}

bool tracing() {
    static const bool on = std::getenv("K8W_FUZZ_TRACE") != nullptr;
    return on;
}

void requireCodec() {
    static const bool available = textCodecAvailable();
    require(available, "the CP1251 codec is available");
}

QString enterScratchFolder(bool logToNull) {
    if (!scratchPath().isEmpty()) return scratchPath();
    QByteArray pattern = QDir::tempPath().toLocal8Bit() + "/k8w-fuzz-XXXXXX";
    require(::mkdtemp(pattern.data()) != nullptr, "a scratch folder can be made");
    scratchPath() = QString::fromLocal8Bit(pattern);
    std::atexit(removeScratch);
    require(::chdir(pattern.constData()) == 0, "the scratch folder can be entered");
    if (logToNull) require(::symlink("/dev/null", "ProgLog.log") == 0, "the log can go to /dev/null");
    return scratchPath();
}

std::uint8_t Input::byte() {
    if (size_ == 0) return 0;
    --size_;
    return *data_++;
}

const std::uint8_t* Input::take(std::size_t count, std::size_t& taken) {
    taken = std::min(count, size_);
    const std::uint8_t* at = data_;
    data_ += taken;
    size_ -= taken;
    return at;
}

} // namespace k8w::fuzz
