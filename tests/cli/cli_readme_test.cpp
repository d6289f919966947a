// README.md shows every command of k8w-cli with the synopsis that its usage
// prints, and no synopsis that the usage no longer has.
#include "cli_process.h"

#include "support/cli_usage_text.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace k8w {
namespace {

TEST(CliReadme, ShowsTheSynopsisOfEveryCommand) {
    QFile readme(QStringLiteral(K8W_SOURCE_DIR "/README.md"));
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
    // The code lines "    k8w-cli ...", each without its trailing comment.
    QStringList shown;
    static const QRegularExpression line(QStringLiteral("^    k8w-cli (.+?)(?:\\s+#.*)?$"),
                                         QRegularExpression::MultilineOption);
    for (auto m = line.globalMatch(QString::fromUtf8(readme.readAll())); m.hasNext();) shown << m.next().captured(1);

    const QMap<QString, QString> synopses = test::usageSynopses(test::runCli({QStringLiteral("--help")}).out);
    ASSERT_GE(synopses.size(), 13);
    for (const QString& synopsis : synopses)
        EXPECT_TRUE(shown.contains(synopsis)) << "README.md lacks the line\n    k8w-cli " << synopsis.toStdString();
    // Examples give values; a line with brackets is a synopsis.
    for (const QString& text : shown) {
        const bool current = !text.contains(QLatin1Char('[')) || synopses.values().contains(text);
        EXPECT_TRUE(current) << "README.md shows an old synopsis: " << text.toStdString();
    }
}

} // namespace
} // namespace k8w
