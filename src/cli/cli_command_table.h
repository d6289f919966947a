#pragma once
// The shape of k8w-cli's description of its commands (cli_command_table.cpp).
#include <vector>

namespace k8w::cli {

class Options;

// An option "--name VALUE", or a flag "--name" when `valueName` is empty.
struct OptionSpec {
    const char* name;
    const char* valueName;
    const char* help;  // one line for the command's --help
};

// One place in a command's synopsis: an option, or alternatives of which at
// most one may be given, as "[--port PATH | --cable SERIAL]".
struct OptionUse {
    std::vector<const OptionSpec*> alternatives;
    bool required = false;
};

struct CommandSpec {
    const char* name;
    // The words that follow the name in the synopsis, as "NAME=on|off ...";
    // empty for a command that takes none.
    const char* operands;
    std::vector<OptionUse> options;
    const char* summary;  // for the usage; '\n' breaks a line
    int (*run)(const Options&);
};

// Every command, in the order the usage lists them.
const std::vector<CommandSpec>& commandTable();

// The closing lines of the usage: what each exit status means.
extern const char* const kExitStatusText;

} // namespace k8w::cli
