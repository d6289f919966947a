#include "cards/member_text.h"

#include "common/day_date.h"

#include <QDate>
#include <QTime>


namespace k8w {
namespace {

int digits(QStringView text, qsizetype at, qsizetype count) {
    int value = 0;
    for (qsizetype i = at; i < at + count; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

} // namespace

// Day counts are local wall-clock time, so the text is made and read
// without time zones (each local-time conversion asks the system for the
// zone, which made a full base take seconds).
QString DateMemberText(double days) {
    QDate date;
    QTime time;
    if (days == 0 || !splitDayDate(days, date, time)) return {};  // 0 is no date
    return QString::asprintf("%04d-%02d-%02dT%02d:%02d:%02d", date.year(), date.month(), date.day(), time.hour(),
                             time.minute(), time.second());
}

std::optional<double> ParseDateMemberText(const QString& text) {
    if (text.size() != 19 || text[4] != u'-' || text[7] != u'-' || text[10] != u'T' || text[13] != u':' ||
        text[16] != u':')
        return std::nullopt;
    const QDate date(digits(text, 0, 4), digits(text, 5, 2), digits(text, 8, 2));
    const QTime time(digits(text, 11, 2), digits(text, 14, 2), digits(text, 17, 2));
    if (!date.isValid() || !time.isValid() || date.year() < 100) return std::nullopt;
    return joinDayDate(date, time);
}

void AppendJsonString(QByteArray& out, const QString& text) {
    QString escaped;
    escaped.reserve(text.size() + 2);
    escaped += QLatin1Char('"');
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'"' || u == u'\\') {
            escaped += QLatin1Char('\\');
            escaped += c;
        } else if (u < 0x20) {
            escaped += QStringLiteral("\\u%1").arg(static_cast<int>(u), 4, 16, QLatin1Char('0'));
        } else {
            escaped += c;
        }
    }
    escaped += QLatin1Char('"');
    out += escaped.toUtf8();
}

} // namespace k8w
