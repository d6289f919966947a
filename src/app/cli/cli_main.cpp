// k8w-cli: the card database and the device link from the command line.
#include "app/cli/cli_commands.h"
#include "app/cli/cli_options.h"

#include <QCoreApplication>

#include <functional>
#include <map>

namespace {

const char* kUsage =
    "usage: k8w-cli COMMAND [options]\n"
    "  cards [--db FILE]                       list the cards in use\n"
    "  image --row N [--db FILE] [--out FILE]  build the device image of a card\n";

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    using Command = std::function<int(const QStringList&)>;
    const std::map<QString, Command> commands = {
        {QStringLiteral("cards"), k8w::cli::runCards},
        {QStringLiteral("image"), k8w::cli::runImage},
    };
    QStringList args = app.arguments().mid(1);
    const auto command = args.isEmpty() ? commands.end() : commands.find(args.front());
    if (command == commands.end()) {
        std::fputs(kUsage, stderr);
        return k8w::cli::kExitBadInput;
    }
    args.pop_front();
    return command->second(args);
}
