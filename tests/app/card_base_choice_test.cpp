// Which card base the window program opens: --base, else k8w.conf in the
// data folder, else the database file.
#include "app/card_base_choice.h"
#include "support/temp_workdir.h"

#include <gtest/gtest.h>

#include <QFile>

namespace k8w {
namespace {

const QString kUri = QStringLiteral("postgresql://anna@db.example/k8w?sslmode=require");

void writeConf(const QByteArray& text) {
    QFile conf(kCardBaseConfigName);
    ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
    conf.write(text);
}

TEST(CardBaseChoice, CommandLineThenConfThenFile) {
    struct Case {
        const char* what;
        QStringList args;
        QByteArray conf;  // empty: no k8w.conf
        QString chosen;   // empty: refused
    };
    const QString file = QStringLiteral("ProgInfo_10.K8W");
    const std::vector<Case> cases{
        {"nothing configured", {"k8w-prog"}, {}, file},
        {"--base URL", {"k8w-prog", "--base", kUri}, {}, kUri},
        {"--base=URL", {"k8w-prog", "--base=" + kUri}, {}, kUri},
        {"k8w.conf", {"k8w-prog"}, "[base]\nurl=" + kUri.toUtf8() + "\n", kUri},
        {"--base before k8w.conf", {"k8w-prog", "--base", "postgres://other/x"}, "[base]\nurl=" + kUri.toUtf8() + "\n",
         "postgres://other/x"},
        {"k8w.conf without url", {"k8w-prog"}, "[base]\n", file},
        {"--base without value", {"k8w-prog", "--base"}, {}, {}},
        {"--base not a URI", {"k8w-prog", "--base", "ProgInfo_10.K8W"}, {}, {}},
        {"k8w.conf url not a URI", {"k8w-prog"}, "[base]\nurl=http://x:secret@y/\n", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempWorkdir dir;
        if (!c.conf.isEmpty()) writeConf(c.conf);
        QString error;
        EXPECT_EQ(ChooseCardBase(c.args, file, &error), c.chosen);
        EXPECT_EQ(error.isEmpty(), !c.chosen.isEmpty()) << error.toStdString();
        EXPECT_FALSE(error.contains(QStringLiteral("secret")));
    }
}

} // namespace
} // namespace k8w
