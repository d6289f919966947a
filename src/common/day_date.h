#pragma once
#include <QDateTime>
#include <QString>

namespace k8w {

// Dates are doubles counting days since 30 December 1899; the fraction is
// the local time of day; 0 means no date.
double dayDateNow();
double toDayDate(const QDateTime& local);
// An invalid QDateTime for a day count that is not finite or lies outside
// the years 100-9999 (a damaged record).
QDateTime fromDayDate(double days);
// The same as wall-clock values, without asking for the time zone (which is
// slow when done for every card of a base): false for no date.
bool splitDayDate(double days, QDate& date, QTime& time);
double joinDayDate(QDate date, QTime time);

// The locale's short date followed by the time, as the card list shows it;
// empty for a day count that is no date.
QString dayDateLocaleText(double days);
// "YYYY-MM-DD HH:MM:SS" for scripts and logs; empty for no date.
QString dayDateIsoText(double days);

} // namespace k8w
