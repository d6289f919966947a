#pragma once
// The window program's command line, read before any window or file is
// touched: --help and --version print and end the program, an unknown option
// is named and ends it with status 2.
#include <optional>

namespace k8w {

// `acceptsBase`: --base URL is an option of this program (k8w-prog; the demo
// edition always works on its own file). The status to end the program
// with, or nothing when the window program is to run.
std::optional<int> HandleWindowCommandLine(int argc, char* argv[], bool acceptsBase);

} // namespace k8w
