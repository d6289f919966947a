#include "cli/cli_options.h"

#include "cli/cli_command_table.h"
#include "cli/cli_usage.h"

#include <QCommandLineParser>

namespace k8w::cli {
namespace {

QString dashed(const OptionSpec& option) { return QStringLiteral("--") + QLatin1String(option.name); }

// What is wrong with the options of one place of the synopsis, if anything.
QString checkUse(const OptionUse& use, const Options& options) {
    QStringList given;
    for (const OptionSpec* option : use.alternatives)
        if (options.has(dashed(*option))) given << dashed(*option);
    if (given.size() > 1)
        return QStringLiteral("give either %1, %2").arg(given.join(QStringLiteral(" or ")),
                                                       given.size() == 2 ? QStringLiteral("not both")
                                                                         : QStringLiteral("only one"));
    if (!use.required || !given.isEmpty()) return {};
    QStringList wanted;
    for (const OptionSpec* option : use.alternatives) wanted << optionText(*option);
    return wanted.size() == 1 ? QStringLiteral("%1 is required").arg(wanted.front())
                              : QStringLiteral("one of %1 is required").arg(wanted.join(QStringLiteral(", ")));
}

} // namespace

ParsedArguments::ParsedArguments(const CommandSpec& command, const QStringList& args) {
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOption(help);
    for (const OptionUse& use : command.options)
        for (const OptionSpec* option : use.alternatives)
            parser.addOption(QCommandLineOption(QLatin1String(option->name), QLatin1String(option->help),
                                                QLatin1String(option->valueName)));
    // The parser takes the first word for the program's name.
    const bool parsed = parser.parse(QStringList{QLatin1String(command.name)} + args);
    helpWanted = parser.isSet(help);
    if (helpWanted) return;
    if (!parsed) {
        error = parser.errorText();
        return;
    }
    for (const OptionUse& use : command.options)
        for (const OptionSpec* option : use.alternatives)
            if (parser.isSet(QLatin1String(option->name)))
                options.values_.insert(dashed(*option), parser.value(QLatin1String(option->name)));
    options.operands_ = parser.positionalArguments();
    if (!*command.operands && !options.operands_.isEmpty()) {
        error = QStringLiteral("unknown argument: %1").arg(options.operands_.front());
        return;
    }
    for (const OptionUse& use : command.options)
        if (error = checkUse(use, options); !error.isEmpty()) return;
}

} // namespace k8w::cli
