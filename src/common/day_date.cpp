#include "common/day_date.h"

#include <QLocale>

#include <cmath>

namespace k8w {
namespace {

const QDate kEpoch(1899, 12, 30);
constexpr qint64 kMsPerDay = 86'400'000;

} // namespace

double dayDateNow() { return toDayDate(QDateTime::currentDateTime()); }

double toDayDate(const QDateTime& local) {
    const QDateTime t = local.toLocalTime();
    const double days = static_cast<double>(kEpoch.daysTo(t.date()));
    return days + static_cast<double>(t.time().msecsSinceStartOfDay()) / kMsPerDay;
}

QDateTime fromDayDate(double days) {
    double whole = std::floor(days);
    qint64 ms = std::llround((days - whole) * kMsPerDay);
    if (ms >= kMsPerDay) {  // rounding carried into the next day
        whole += 1;
        ms -= kMsPerDay;
    }
    const QDate date = kEpoch.addDays(static_cast<qint64>(whole));
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)));
}

QString dayDateLocaleText(double days) {
    const QDateTime t = fromDayDate(days);
    const QLocale locale;
    return locale.toString(t.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(t.time(), QStringLiteral("HH:mm:ss"));
}

QString dayDateIsoText(double days) {
    return fromDayDate(days).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace k8w
