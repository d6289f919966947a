#include "cli/cli_dispatch.h"

#include "cli/cli_command_table.h"
#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "cli/cli_usage.h"

#include <cstdio>

namespace k8w::cli {
namespace {

void print(std::FILE* stream, const QString& text) {
    std::fputs(text.toUtf8().constData(), stream);
    std::fflush(stream);
}

} // namespace

int runCommandLine(const QStringList& args) {
    if (args.isEmpty()) {
        print(stderr, usageText());
        return kExitBadInput;
    }
    const QString& name = args.front();
    if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
        print(stdout, usageText());
        return kExitOk;
    }
    for (const CommandSpec& command : commandTable()) {
        if (name != QLatin1String(command.name)) continue;
        const ParsedArguments parsed(command, args.mid(1));
        if (parsed.helpWanted) {
            print(stdout, commandHelp(command));
            return kExitOk;
        }
        if (!parsed.error.isEmpty()) {
            printError(parsed.error);
            return kExitBadInput;
        }
        return command.run(parsed.options);
    }
    print(stderr, QStringLiteral("unknown command: %1\n").arg(name) + usageText());
    return kExitBadInput;
}

} // namespace k8w::cli
