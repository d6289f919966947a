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
    "  image --row N [--db FILE] [--out FILE]  build the device image of a card\n"
    "  program --row N [--db FILE] [--port PATH | --cable SERIAL] [--verify]\n"
    "                                          write a card into a device (and read it back)\n"
    "  read [--port PATH | --cable SERIAL] [--out FILE]\n"
    "                                          read a device's image back\n"
    "  diff --row N --image FILE [--db FILE]   compare a card with a device image field by field;\n"
    "                                          exit 1 when they differ\n"
    "  sim [--ready-next] [--version A.B.C] [--image FILE]\n"
    "      [--loops A,B,C,D,E] [--no-power] [--case-open] [--key HEX16]\n"
    "                                          serve a simulated device on a pseudo-terminal\n"
    "  keys --row N [--db FILE]                list the keys of a card's partitions 1-3\n"
    "  key-add --row N --partition P --subscriber S --code HEX12 [--slot K] [--db FILE]\n"
    "                                          store a key typed from the station's card\n"
    "  key-read --row N --partition P --subscriber S [--slot K] [--db FILE] [--owserver HOST:PORT]\n"
    "                                          store a key read on the first 1-Wire reader\n"
    "  key-del --row N --partition P --slot K [--db FILE]\n"
    "                                          empty a key slot\n"
    "  status [--port PATH | --cable SERIAL] [--wait S]\n"
    "                                          greet a live device, print its inputs and outputs\n"
    "  set NAME=on|off ... [sim=1|2] [--port PATH | --cable SERIAL] [--wait S]\n"
    "                                          switch relay1 relay2 buzzer guard-led ktc-led red-led\n"
    "                                          green-led or the SIM, then print the status\n"
    "  watch [--port PATH | --cable SERIAL]    the control window's exchange log and every change\n"
    "                                          of the device's inputs and outputs, until Ctrl-C\n"
    "exit status: 0 done, 1 failed, 2 bad input or refused (nothing sent, nothing written),\n"
    "  3 verify mismatch, 4 device programmed but its result not recorded, 130 stopped (Ctrl-C)\n";

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    using Command = std::function<int(const QStringList&)>;
    const std::map<QString, Command> commands = {
        {QStringLiteral("cards"), k8w::cli::runCards},
        {QStringLiteral("image"), k8w::cli::runImage},
        {QStringLiteral("program"), k8w::cli::runProgram},
        {QStringLiteral("read"), k8w::cli::runRead},
        {QStringLiteral("diff"), k8w::cli::runDiff},
        {QStringLiteral("sim"), k8w::cli::runSim},
        {QStringLiteral("keys"), k8w::cli::runKeys},
        {QStringLiteral("key-add"), k8w::cli::runKeyAdd},
        {QStringLiteral("key-read"), k8w::cli::runKeyRead},
        {QStringLiteral("key-del"), k8w::cli::runKeyDel},
        {QStringLiteral("status"), k8w::cli::runStatus},
        {QStringLiteral("set"), k8w::cli::runSet},
        {QStringLiteral("watch"), k8w::cli::runWatch},
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
