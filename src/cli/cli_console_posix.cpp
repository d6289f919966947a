#include "cli/cli_console.h"

namespace k8w::cli {

// POSIX streams pass bytes through as they are.
void PrepareStandardStreams() {}

} // namespace k8w::cli
