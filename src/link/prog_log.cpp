#include "link/prog_log.h"

#include <QLocale>
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

namespace {

// The format without its time zone: each run of "t" goes with the blanks
// around it. No regular expression: the log is written on the link's worker
// thread, and a QRegularExpression matched there leaves Qt a per-thread JIT
// stack whose clean-up at the thread's end crashes in the MinGW build, which
// then hangs the program's exit.
QString WithoutTimeZone(const QString& format) {
    QString kept;
    const qsizetype size = format.size();
    for (qsizetype i = 0; i < size;) {
        qsizetype j = i;
        while (j < size && format[j].isSpace()) ++j;
        if (j < size && format[j] == QLatin1Char('t')) {
            while (j < size && format[j] == QLatin1Char('t')) ++j;
            while (j < size && format[j].isSpace()) ++j;
            i = j;
            continue;
        }
        kept += format[i++];
    }
    return kept;
}

} // namespace

QString LongTimeText(const QTime& localTime) {
    // The long format of the locale may name the time zone ("t", "tttt");
    // the log shows the time of day only.
    static const QString format = [] {
        const QString f = WithoutTimeZone(QLocale::system().timeFormat(QLocale::LongFormat)).trimmed();
        return f.isEmpty() ? QStringLiteral("HH:mm:ss") : f;
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
