#pragma once
#include <QStringList>

namespace k8w::cli {

// Runs the command that `args` (the words after "k8w-cli") name and returns
// k8w-cli's exit status.
int runCommandLine(const QStringList& args);

} // namespace k8w::cli
