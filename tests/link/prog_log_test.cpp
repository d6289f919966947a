#include "link/prog_log.h"

#include <QTime>

#include <gtest/gtest.h>

namespace k8w::link {
namespace {

TEST(ProgLogLine, TimeOfDayMillisecondsDirectionTextAndCrLf) {
    const QTime time(14, 3, 27);
    const QString clock = LongTimeText(time);
    EXPECT_TRUE(clock.contains(QStringLiteral("03"))) << clock.toStdString();
    EXPECT_TRUE(clock.contains(QStringLiteral("27"))) << clock.toStdString();
    EXPECT_FALSE(clock.contains(QLatin1Char('('))) << clock.toStdString();
    EXPECT_EQ(ProgLogLine(time, 1532, QStringLiteral("WRITE"), LogDirection::Tx),
              (clock + QStringLiteral("(1532) > [TX] WRITE\r\n")).toUtf8());
    EXPECT_EQ(ProgLogLine(time, 0, QStringLiteral("3A 00 C6 "), LogDirection::Rx),
              (clock + QStringLiteral("(0) > [RX] 3A 00 C6 \r\n")).toUtf8());
    // Milliseconds are unsigned: a tick count that wrapped stays positive.
    EXPECT_EQ(ProgLogLine(time, 4294967295u, QString(), LogDirection::Tx),
              (clock + QStringLiteral("(4294967295) > [TX] \r\n")).toUtf8());
}

TEST(ProgLogLine, TheLongTimeFormatNamesNoTimeZone) {
    const QString clock = LongTimeText(QTime(9, 5, 7));
    EXPECT_FALSE(clock.contains(QStringLiteral("UTC")));
    EXPECT_FALSE(clock.contains(QStringLiteral("GMT")));
    EXPECT_EQ(clock, clock.trimmed());
}

} // namespace
} // namespace k8w::link
