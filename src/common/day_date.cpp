#include "common/day_date.h"

#include <QLocale>

#include <cmath>

namespace k8w {
namespace {

const QDate kEpoch(1899, 12, 30);
constexpr qint64 kMsPerDay = 86'400'000;
// 1 January 100 to 31 December 9999: a day count outside comes from a
// damaged record and is no date at all.
constexpr double kFirstDay = -657434.0;
constexpr double kLastDay = 2958466.0;

} // namespace

double dayDateNow() { return toDayDate(QDateTime::currentDateTime()); }

double joinDayDate(QDate date, QTime time) {
    return static_cast<double>(kEpoch.daysTo(date)) + static_cast<double>(time.msecsSinceStartOfDay()) / kMsPerDay;
}

double toDayDate(const QDateTime& local) {
    const QDateTime t = local.toLocalTime();
    return joinDayDate(t.date(), t.time());
}

bool splitDayDate(double days, QDate& date, QTime& time) {
    if (!std::isfinite(days) || days < kFirstDay || days >= kLastDay) return false;
    double whole = std::floor(days);
    qint64 ms = std::llround((days - whole) * kMsPerDay);
    if (ms >= kMsPerDay) {  // rounding carried into the next day
        whole += 1;
        ms -= kMsPerDay;
    }
    date = kEpoch.addDays(static_cast<qint64>(whole));
    time = QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms));
    return true;
}

QDateTime fromDayDate(double days) {
    QDate date;
    QTime time;
    if (!splitDayDate(days, date, time)) return {};
    return QDateTime(date, time);
}

QString dayDateLocaleText(double days) {
    const QDateTime t = fromDayDate(days);
    if (!t.isValid()) return {};
    const QLocale locale;
    return locale.toString(t.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(t.time(), QStringLiteral("HH:mm:ss"));
}

QString dayDateIsoText(double days) {
    const QDateTime t = fromDayDate(days);
    return t.isValid() ? t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

} // namespace k8w
