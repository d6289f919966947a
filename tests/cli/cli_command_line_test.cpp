// k8w-cli's command line: every command's --help, "--name=value", and the
// refusals of the parser, which name what is wrong and exit 2 before the
// command does anything. The commands are taken from the usage, so a new
// command is covered without a change here.
#include "cli_process.h"

#include "store/card_file.h"
#include "cards/card_table.h"
#include "support/cli_usage_text.h"
#include "support/temp_workdir.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace k8w {
namespace {

using test::CliRun;
using test::runCli;

QMap<QString, QString> synopses() { return test::usageSynopses(runCli({QStringLiteral("--help")}).out); }

// The options of a synopsis outside brackets: those the command requires,
// each with its value name ("--row" -> "N").
QMap<QString, QString> requiredOptions(QString synopsis) {
    static const QRegularExpression bracketed(QStringLiteral("\\[[^\\]]*\\]"));
    static const QRegularExpression option(QStringLiteral("(--[a-z-]+)(?: ([^-\\s]\\S*))?"));
    QMap<QString, QString> required;
    for (auto m = option.globalMatch(synopsis.remove(bracketed)); m.hasNext();) {
        const auto match = m.next();
        required.insert(match.captured(1), match.captured(2));
    }
    return required;
}

TEST(CliCommandLine, UsageListsTheCommandsAndHelpExitsZero) {
    const CliRun help = runCli({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("usage: k8w-cli COMMAND"))) << help.out.toStdString();
    EXPECT_GE(test::usageSynopses(help.out).size(), 13);
    const CliRun bare = runCli({});
    EXPECT_EQ(bare.exitCode, 2);
    EXPECT_EQ(bare.err, help.out);
}

TEST(CliCommandLine, EveryCommandsHelpShowsItsSynopsisAndEachOption) {
    static const QRegularExpression option(QStringLiteral("--[a-z-]+"));
    for (const QString& synopsis : synopses()) {
        const QString name = synopsis.section(QLatin1Char(' '), 0, 0);
        for (const QString& asked : {QStringLiteral("--help"), QStringLiteral("-h")}) {
            const CliRun run = runCli({name, asked});
            EXPECT_EQ(run.exitCode, 0) << name.toStdString();
            EXPECT_TRUE(run.err.isEmpty()) << name.toStdString() << ": " << run.err.toStdString();
            EXPECT_TRUE(run.out.startsWith(QStringLiteral("usage: k8w-cli ") + synopsis + QLatin1Char('\n')))
                << run.out.toStdString();
            for (auto m = option.globalMatch(synopsis); m.hasNext();) {
                const QString listed = QStringLiteral("\n  ") + m.next().captured();
                EXPECT_TRUE(run.out.contains(listed)) << name.toStdString() << " lacks " << listed.toStdString();
            }
        }
    }
}

TEST(CliCommandLine, EveryRequiredOptionLeftOutIsNamed) {
    int checked = 0;
    for (const QString& synopsis : synopses()) {
        const QString name = synopsis.section(QLatin1Char(' '), 0, 0);
        const QMap<QString, QString> required = requiredOptions(synopsis);
        for (const QString& missing : required.keys()) {
            QStringList args{name};
            for (const QString& other : required.keys())
                if (other != missing) args << other << QStringLiteral("1");
            const CliRun run = runCli(args);
            EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
            EXPECT_EQ(run.err, QStringLiteral("%1 %2 is required\n").arg(missing, required[missing]))
                << args.join(' ').toStdString();
            ++checked;
        }
    }
    EXPECT_GE(checked, 10);
}

TEST(CliCommandLine, RefusedCommandLinesNameWhatIsWrong) {
    struct Case {
        QStringList args;
        QString named;
    };
    const Case cases[] = {
        {{"cards", "--bogus"}, "bogus"},
        {{"keys", "--row", "1", "--bogus=2"}, "bogus"},
        {{"image", "--row"}, "--row"},
        {{"status", "--port"}, "--port"},
        {{"program", "--row", "1", "--verify=yes"}, "--verify"},
        {{"cards", "extra"}, "extra"},
        {{"read", "--port", "/dev/null", "--cable", "FT1"}, "not both"},
        {{"nonsense"}, "nonsense"},
        {{"--bogus"}, "--bogus"},
    };
    for (const Case& c : cases) {
        const CliRun run = runCli(c.args);
        EXPECT_EQ(run.exitCode, 2) << c.args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(c.named)) << c.args.join(' ').toStdString() << ": " << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << c.args.join(' ').toStdString();
    }
}

TEST(CliCommandLine, ValueAfterAnEqualsSignIsTheSameAsAfterABlank) {
    test::TempWorkdir dir;
    auto table = CardTable::create();
    Card& card = table->cards[6];
    card.changeDate = 46000.5;
    card.keys[1][2].state = 1;
    card.keys[1][2].subscriber = 4;
    card.keys[1][2].keyCode[0] = 0x2A;
    ASSERT_TRUE(WriteCardFile(QStringLiteral("other.K8W"), table->cards.data(), kCardCapacity, table->cardTemplate).isEmpty());
    const QList<QStringList> cases[] = {
        {{"cards", "--db", "other.K8W"}, {"cards", "--db=other.K8W"}},
        {{"keys", "--row", "7", "--db", "other.K8W"}, {"keys", "--row=7", "--db=other.K8W"}},
    };
    for (const auto& forms : cases) {
        const CliRun blank = runCli(forms[0]);
        ASSERT_EQ(blank.exitCode, 0) << blank.err.toStdString();
        ASSERT_FALSE(blank.out.isEmpty());
        const CliRun equals = runCli(forms[1]);
        EXPECT_EQ(equals.exitCode, 0) << equals.err.toStdString();
        EXPECT_EQ(equals.out, blank.out) << forms[1].join(' ').toStdString();
    }
}

} // namespace
} // namespace k8w
