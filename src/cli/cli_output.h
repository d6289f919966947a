#pragma once
#include <QString>

namespace k8w::cli {

// Prints to stderr as UTF-8, with a line end.
void printError(const QString& text);
// Prints to stdout as UTF-8, with a line end.
void printLine(const QString& text);
// A text as one field of a tab-separated line: its own tabs, line breaks and
// other control characters are written as escapes, and so is the backslash.
QString fieldForLine(const QString& text);

} // namespace k8w::cli
