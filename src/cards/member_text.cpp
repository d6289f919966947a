#include "cards/member_text.h"

#include "common/day_date.h"

#include <QDateTime>

namespace k8w {
namespace {

const QString kDateFormat = QStringLiteral("yyyy-MM-dd'T'HH:mm:ss");

} // namespace

QString DateMemberText(double days) {
    if (days == 0) return {};
    const QDateTime moment = fromDayDate(days);
    return moment.isValid() ? moment.toString(kDateFormat) : QString();
}

std::optional<double> ParseDateMemberText(const QString& text) {
    if (text.size() != 19) return std::nullopt;
    const QDateTime moment = QDateTime::fromString(text, kDateFormat);
    if (!moment.isValid()) return std::nullopt;
    return toDayDate(moment);
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
