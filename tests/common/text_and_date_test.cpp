#include "common/cp1251.h"
#include "common/day_date.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

namespace k8w {
namespace {

TEST(Cp1251, RoundTripsCyrillicAndAscii) {
    const QString text = QStringLiteral("Объект №5 ёЁ abc");
    const QByteArray bytes = toCp1251(text);
    EXPECT_EQ(bytes.size(), text.size());  // one byte per character
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xCE);  // 'О'
    EXPECT_EQ(static_cast<unsigned char>(bytes[7]), 0xB9);  // '№'
    EXPECT_EQ(fromCp1251(bytes), text);
}

TEST(Cp1251, FieldHoldsAtMostSizeMinusOneBytesAndZeroFillsTheRest) {
    char field[5];
    std::memset(field, 0x7F, sizeof field);
    setFieldText(field, QStringLiteral("Пин12"));
    EXPECT_EQ(fieldText(field), QStringLiteral("Пин1"));
    EXPECT_EQ(field[4], 0);

    setFieldText(field, QStringLiteral("1"));
    EXPECT_EQ(field[0], '1');
    for (int i = 1; i < 5; ++i) EXPECT_EQ(field[i], 0) << i;
}

TEST(Cp1251, UnterminatedFieldReadsToItsEnd) {
    const char field[3] = {'a', 'b', 'c'};
    EXPECT_EQ(fieldText(field), QStringLiteral("abc"));
}

TEST(DayDate, CountsDaysSinceTheEpochWithLocalTimeAsFraction) {
    EXPECT_DOUBLE_EQ(toDayDate(QDateTime(QDate(1899, 12, 30), QTime(0, 0))), 0.0);
    EXPECT_DOUBLE_EQ(toDayDate(QDateTime(QDate(1900, 1, 1), QTime(12, 0))), 2.5);
    const QDateTime moment(QDate(2026, 3, 5), QTime(14, 7, 9));
    const double days = toDayDate(moment);
    EXPECT_EQ(static_cast<int>(days), 46086);
    EXPECT_EQ(fromDayDate(days), moment);
    EXPECT_EQ(dayDateIsoText(days), QStringLiteral("2026-03-05 14:07:09"));
}

TEST(DayDate, RoundingJustBeforeMidnightCarriesIntoTheNextDay) {
    const double almost = 46086.0 + (86'400'000.0 - 0.2) / 86'400'000.0;
    EXPECT_EQ(fromDayDate(almost), QDateTime(QDate(2026, 3, 6), QTime(0, 0)));
}

TEST(DayDate, LocaleTextShowsDateAndTime) {
    const double days = toDayDate(QDateTime(QDate(2026, 3, 5), QTime(14, 7, 9)));
    const QString text = dayDateLocaleText(days);
    EXPECT_TRUE(text.contains(QStringLiteral("14:07:09"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("5"))) << text.toStdString();
}

} // namespace
} // namespace k8w

namespace k8w {
namespace {

TEST(DayDate, DamagedDayCountsAreNoDate) {
    for (const double days : {1e20, -1e20, std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN(),
                              -700000.0, 3e6}) {
        EXPECT_FALSE(fromDayDate(days).isValid()) << days;
        EXPECT_TRUE(dayDateLocaleText(days).isEmpty()) << days;
        EXPECT_TRUE(dayDateIsoText(days).isEmpty()) << days;
    }
    EXPECT_EQ(dayDateIsoText(-1.5), QStringLiteral("1899-12-28 12:00:00"));  // before the epoch is still a date
}

TEST(Cp1251, CodecAvailabilityIsChecked) {
    EXPECT_TRUE(textCodecAvailable());
    EXPECT_FALSE(textCodecAvailable("no-such-codepage"));
}

} // namespace
} // namespace k8w
