#pragma once
#include <QString>

#include <cstdint>
#include <cstdio>

class QTime;

namespace k8w::link {

inline constexpr char kProgLogName[] = "ProgLog.log";

enum class LogDirection { Tx, Rx };

// The programming log: created empty (replacing an earlier one) when a link
// object is made, one line per thing sent or received, written straight to
// the file:  14:03:27(1532) > [TX] WRITE\r\n
class ProgLog {
public:
    explicit ProgLog(const char* fileName = kProgLogName);
    ~ProgLog();
    ProgLog(const ProgLog&) = delete;
    ProgLog& operator=(const ProgLog&) = delete;

    bool isOpen() const { return file_ != nullptr; }
    void write(std::uint32_t msSinceStart, const QString& text, LogDirection direction);

private:
    std::FILE* file_ = nullptr;
};

// One log line without the clock reading: time of day, "(ms)", direction,
// text, CR LF.
QByteArray ProgLogLine(const QTime& localTime, std::uint32_t msSinceStart, const QString& text,
                       LogDirection direction);

// The time of day in the locale's long time format, without a time zone.
QString LongTimeText(const QTime& localTime);

} // namespace k8w::link
