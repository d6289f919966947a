#include "cards/member_text.h"

#include <QDate>
#include <QTime>

#include <cmath>

namespace k8w {
namespace {

// Day counts are local wall-clock time, so the text is made and read
// without time zones (each local-time conversion asks the system for the
// zone, which made a full base take seconds).
const QDate kEpoch(1899, 12, 30);
constexpr qint64 kMsPerDay = 86'400'000;

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

QString DateMemberText(double days) {
    // 0 is no date; a count outside the years 100-9999 comes from a damaged record.
    if (days == 0 || !std::isfinite(days) || days < -657434.0 || days >= 2958466.0) return {};
    double whole = std::floor(days);
    qint64 ms = std::llround((days - whole) * kMsPerDay);
    if (ms >= kMsPerDay) {  // rounding carried into the next day
        whole += 1;
        ms -= kMsPerDay;
    }
    const QDate date = kEpoch.addDays(static_cast<qint64>(whole));
    const qint64 seconds = ms / 1000;
    return QString::asprintf("%04d-%02d-%02dT%02d:%02d:%02d", date.year(), date.month(), date.day(),
                             static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                             static_cast<int>(seconds % 60));
}

std::optional<double> ParseDateMemberText(const QString& text) {
    if (text.size() != 19 || text[4] != u'-' || text[7] != u'-' || text[10] != u'T' || text[13] != u':' ||
        text[16] != u':')
        return std::nullopt;
    const QDate date(digits(text, 0, 4), digits(text, 5, 2), digits(text, 8, 2));
    const QTime time(digits(text, 11, 2), digits(text, 14, 2), digits(text, 17, 2));
    if (!date.isValid() || !time.isValid() || date.year() < 100) return std::nullopt;
    return static_cast<double>(kEpoch.daysTo(date)) + static_cast<double>(time.msecsSinceStartOfDay()) / kMsPerDay;
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
