#include "cli/cli_usage.h"

#include "cli/cli_command_table.h"

#include <QStringList>

#include <algorithm>
#include <utility>
#include <vector>

namespace k8w::cli {
namespace {

// The usage's summaries start in this column.
constexpr qsizetype kSummaryColumn = 42;

QString useText(const OptionUse& use) {
    QStringList alternatives;
    for (const OptionSpec* option : use.alternatives) alternatives << optionText(*option);
    const QString text = alternatives.join(QStringLiteral(" | "));
    if (!use.required) return QLatin1Char('[') + text + QLatin1Char(']');
    return alternatives.size() > 1 ? QLatin1Char('(') + text + QLatin1Char(')') : text;
}

} // namespace

QString optionText(const OptionSpec& option) {
    QString text = QStringLiteral("--") + QLatin1String(option.name);
    if (*option.valueName) text += QLatin1Char(' ') + QLatin1String(option.valueName);
    return text;
}

QString synopsis(const CommandSpec& command) {
    QStringList words{QLatin1String(command.name)};
    if (*command.operands) words << QLatin1String(command.operands);
    for (const OptionUse& use : command.options) words << useText(use);
    return words.join(QLatin1Char(' '));
}

QString usageText() {
    QString text = QStringLiteral("usage: k8w-cli COMMAND [options]\n");
    const QString indent(kSummaryColumn, QLatin1Char(' '));
    for (const CommandSpec& command : commandTable()) {
        const QString head = QStringLiteral("  ") + synopsis(command);
        // A synopsis too long for the column puts its summary on the lines below.
        if (head.size() + 2 <= kSummaryColumn)
            text += head.leftJustified(kSummaryColumn);
        else
            text += head + QLatin1Char('\n') + indent;
        text += QString::fromUtf8(command.summary).replace(QLatin1Char('\n'), QLatin1Char('\n') + indent);
        text += QLatin1Char('\n');
    }
    text += QStringLiteral("k8w-cli COMMAND --help prints the command's options.\n");
    return text + QString::fromUtf8(kExitStatusText);
}

QString commandHelp(const CommandSpec& command) {
    std::vector<std::pair<QString, QString>> rows;
    for (const OptionUse& use : command.options)
        for (const OptionSpec* option : use.alternatives)
            rows.emplace_back(optionText(*option), QString::fromUtf8(option->help));
    rows.emplace_back(QStringLiteral("-h, --help"), QStringLiteral("print this help"));
    qsizetype width = 0;
    for (const auto& row : rows) width = std::max(width, row.first.size());

    QString text = QStringLiteral("usage: k8w-cli ") + synopsis(command) + QLatin1Char('\n');
    text += QString::fromUtf8(command.summary).replace(QLatin1Char('\n'), QLatin1Char(' '));
    text += QStringLiteral("\n\noptions:\n");
    for (const auto& [name, help] : rows)
        text += QStringLiteral("  ") + name.leftJustified(width + 2) + help + QLatin1Char('\n');
    return text;
}

} // namespace k8w::cli
