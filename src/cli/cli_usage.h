#pragma once
// The texts printed from the table of commands.
#include <QString>

namespace k8w::cli {

struct CommandSpec;
struct OptionSpec;

// "--row N", or "--verify" for a flag.
QString optionText(const OptionSpec& option);
// The command's name with its operands and options, as
// "program --row N [--db FILE] [--port PATH | --cable SERIAL] [--verify]".
QString synopsis(const CommandSpec& command);
// Every command with its synopsis and summary, then the exit statuses.
QString usageText();
// "k8w-cli COMMAND --help": the synopsis, the summary and each option.
QString commandHelp(const CommandSpec& command);

} // namespace k8w::cli
