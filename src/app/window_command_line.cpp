#include "app/window_command_line.h"

#include "app/tform1.h"
#include "common/standard_streams.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace k8w {
namespace {

// Options of Qt's own windowing, passed through to the application.
void addQtOptions(QCommandLineParser& parser) {
    for (const char* name : {"platform", "style", "stylesheet", "display", "qwindowgeometry", "qwindowtitle",
                             "qwindowicon", "platformpluginpath", "platformtheme", "session"}) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : {"reverse", "nograb", "dograb", "sync"}) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

void print(std::FILE* to, const QString& text) {
    std::fputs(text.toUtf8().constData(), to);
    std::fflush(to);
}

} // namespace

std::optional<int> HandleWindowCommandLine(int argc, char* argv[], bool acceptsBase) {
    // A console application only: no display is needed to print or refuse.
    PrepareStandardStreams();
    int count = argc;
    const QCoreApplication console(count, argv);
    // The program's own name: its file's without Windows' ".exe".
    const QString program = QCoreApplication::applicationName();
    QCoreApplication::setApplicationVersion(TForm1::kProgramVersion);

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Утилита программирования УОО K8W: база карточек, программирование и чтение устройств.\n"
                       "Работает в текущей папке (файл базы данных ProgInfo_10.K8W)%1.")
            .arg(acceptsBase ? QStringLiteral(" или с общей базой карточек (--base или k8w.conf)") : QString()));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    if (acceptsBase)
        parser.addOption(QCommandLineOption(QStringLiteral("base"),
                                            QStringLiteral("Общая база карточек: URI postgresql://…"),
                                            QStringLiteral("URL")));
    addQtOptions(parser);

    if (!parser.parse(QCoreApplication::arguments())) {
        print(stderr, QStringLiteral("%1: %2\n").arg(program, parser.errorText()));
        return 2;
    }
    if (!parser.positionalArguments().isEmpty()) {
        print(stderr, QStringLiteral("%1: unexpected argument \"%2\"\n")
                          .arg(program, parser.positionalArguments().constFirst()));
        return 2;
    }
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        print(stdout, parser.helpText());
        return 0;
    }
    if (parser.isSet(version)) {
        print(stdout, QStringLiteral("%1 %2\n").arg(program, TForm1::kProgramVersion));
        return 0;
    }
    return std::nullopt;
}

} // namespace k8w
