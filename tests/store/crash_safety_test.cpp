// A rewrite of a full database killed at random moments leaves the old or
// the new content byte for byte, and its temporary files do not pile up.
#include "store/card_file.h"
#include "cards/card_table.h"
#include "support/temp_workdir.h"
#include "support/watchdog.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <random>

namespace k8w {
namespace {

QByteArray readAll(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A full database whose every card differs from the other variant's.
QByteArray fullDatabase(std::uint32_t seed) {
    auto table = CardTable::create();
    for (int i = 0; i < kCardCapacity; ++i) {
        Card& card = table->cards[static_cast<std::size_t>(i)];
        card.codeUoo = seed * 100000u + static_cast<std::uint32_t>(i);
        card.changeDate = 46000.0 + seed;
    }
    const QString name = QStringLiteral("variant-%1.K8W").arg(seed);
    EXPECT_TRUE(WriteCardFile(name, table->cards.data(), kCardCapacity, table->cardTemplate).isEmpty());
    return readAll(name);
}

QStringList temporaries() {
    return QDir::current().entryList({kCardFileName + QStringLiteral(".save-*")}, QDir::Files | QDir::Hidden);
}

int rounds() {
    bool ok = false;
    const int wanted = qEnvironmentVariableIntValue("K8W_CRASH_ROUNDS", &ok);
    return ok && wanted > 0 ? wanted : 200;
}

TEST(CrashSafety, RewriteKilledAtRandomMomentsLeavesTheOldOrTheNewFileWhole) {
    test::TempWorkdir dir;
    const QByteArray variants[2] = {fullDatabase(1), fullDatabase(2)};
    ASSERT_EQ(variants[0].size(), 11'791'310);
    QFile::copy(QStringLiteral("variant-1.K8W"), kCardFileName);

    auto rewrite = [](int to) {
        auto* writer = new QProcess;
        writer->start(QStringLiteral(K8W_CRASH_WRITER), {kCardFileName, QStringLiteral("variant-%1.K8W").arg(to + 1)});
        return writer;
    };
    // How long one whole rewrite takes here, so the kills fall all over it.
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<QProcess> whole(rewrite(1));
    ASSERT_TRUE(whole->waitForFinished(30000));
    ASSERT_EQ(whole->exitCode(), 0);
    const int spanMs = std::max<int>(5, static_cast<int>(timer.elapsed() * 12 / 10));
    int current = 1;

    std::mt19937 random(20261208);
    int killedMidway = 0;
    for (int round = 0; round < rounds(); ++round) {
        const int target = 1 - current;
        std::unique_ptr<QProcess> writer(rewrite(target));
        ASSERT_TRUE(writer->waitForStarted(test::kHangMs));
        writer->waitForFinished(std::uniform_int_distribution<int>(0, spanMs)(random));
        if (writer->state() != QProcess::NotRunning) {
            writer->kill();  // SIGKILL
            ++killedMidway;
        }
        writer->waitForFinished(-1);

        const QByteArray now = readAll(kCardFileName);
        const bool old = now == variants[current];
        ASSERT_TRUE(old || now == variants[target]) << "round " << round << ": the database is torn";
        if (!old) current = target;
        ASSERT_LE(temporaries().size(), 1) << "round " << round << ": temporary files pile up";
    }
    EXPECT_GT(killedMidway, rounds() / 4) << "the kills came too late to test anything";

    std::unique_ptr<QProcess> last(rewrite(1 - current));
    ASSERT_TRUE(last->waitForFinished(30000));
    EXPECT_EQ(readAll(kCardFileName), variants[1 - current]);
    EXPECT_TRUE(temporaries().isEmpty());
}

} // namespace
} // namespace k8w
