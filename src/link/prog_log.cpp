#include "link/prog_log.h"

#include <QLocale>
#include <QRegularExpression>
#include <QTime>

namespace k8w::link {

ProgLog::ProgLog(const char* fileName) : file_(std::fopen(fileName, "wb")) {}

ProgLog::~ProgLog() {
    if (file_) std::fclose(file_);
}

void ProgLog::write(std::uint32_t msSinceStart, const QString& text, LogDirection direction) {
    if (!file_) return;
    const QByteArray line = ProgLogLine(QTime::currentTime(), msSinceStart, text, direction);
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), file_);
    std::fflush(file_);
}

QString LongTimeText(const QTime& localTime) {
    // The long format of the locale may name the time zone ("t", "tttt");
    // the log shows the time of day only.
    static const QString format = [] {
        QString f = QLocale::system().timeFormat(QLocale::LongFormat);
        f.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*")));
        return f.trimmed().isEmpty() ? QStringLiteral("HH:mm:ss") : f.trimmed();
    }();
    return QLocale::system().toString(localTime, format);
}

QByteArray ProgLogLine(const QTime& localTime, std::uint32_t msSinceStart, const QString& text,
                       LogDirection direction) {
    QString line = LongTimeText(localTime);
    line += QLatin1Char('(') + QString::number(msSinceStart) + QLatin1Char(')');
    line += direction == LogDirection::Tx ? QStringLiteral(" > [TX] ") : QStringLiteral(" > [RX] ");
    line += text;
    line += QStringLiteral("\r\n");
    return line.toUtf8();
}

} // namespace k8w::link
