// k8w-cli: the card database and the device link from the command line.
#include "cli/cli_dispatch.h"
#include "common/standard_streams.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    k8w::PrepareStandardStreams();
    QCoreApplication app(argc, argv);
    return k8w::cli::runCommandLine(app.arguments().mid(1));
}
