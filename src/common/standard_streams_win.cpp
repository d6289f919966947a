#include "common/standard_streams.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>

namespace k8w {
namespace {

UINT consoleCodePage = 0;

void restoreConsoleCodePage() { ::SetConsoleOutputCP(consoleCodePage); }

} // namespace

// The C runtime's text mode would turn every LF into CR LF, so CSV's own
// CR LF line ends would come out doubled; the console shows UTF-8 while the
// command runs, and gets its own code page back after.
void PrepareStandardStreams() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    consoleCodePage = ::GetConsoleOutputCP();
    if (consoleCodePage != 0 && consoleCodePage != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8))
        std::atexit(restoreConsoleCodePage);
}

} // namespace k8w
