#pragma once
#include <QMap>
#include <QString>
#include <QStringList>

namespace k8w::cli {

struct CommandSpec;

// A command line parsed against its command's entry in the table: the
// options given, by their names with the dashes ("--row"), and the operands.
class Options {
public:
    bool has(const QString& name) const { return values_.contains(name); }
    // The last value given for `name`, or `fallback` when it was not given.
    QString value(const QString& name, const QString& fallback = {}) const { return values_.value(name, fallback); }
    const QStringList& operands() const { return operands_; }

private:
    friend struct ParsedArguments;
    QMap<QString, QString> values_;
    QStringList operands_;
};

// The arguments after a command's name, parsed with QCommandLineParser.
struct ParsedArguments {
    ParsedArguments(const CommandSpec& command, const QStringList& args);
    Options options;
    bool helpWanted = false;  // -h or --help: the command's help and nothing else
    QString error;            // why the line is refused, naming the option or word; empty when it is not
};

} // namespace k8w::cli
