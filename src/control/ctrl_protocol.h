#pragma once
#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

class QTime;

namespace k8w::control {

constexpr std::size_t kCtrlPayloadSize = 4099;

// One command or reply of the control exchange, copied whole into and out of
// the link's queues.
struct CtrlCommand {
    std::uint8_t code = 0;
    std::uint8_t payload[kCtrlPayloadSize] = {};  // the first `length` bytes count
    std::int32_t length = 0;
    std::int32_t retries = 0;  // sends still allowed after the current one
    std::int32_t timeout = 0;  // reply timeout, ms
};
static_assert(sizeof(CtrlCommand) == 4112);

// Packets: host to device 0x51, code, payload, check byte; device to host
// 0xAE, code, payload, check byte. The check byte is BlockChecksum of the
// bytes before it.
constexpr std::uint8_t kCommandStart = 0x51;
constexpr std::uint8_t kReplyStart = 0xAE;

// Command and reply codes.
constexpr std::uint8_t kCmdStatus = 0x0C;
constexpr std::uint8_t kCmdSetOutputs = 0x0D;
constexpr std::uint8_t kCmdReadKey = 0x03;
constexpr std::uint8_t kReplyEmpty = 0x00;
constexpr std::uint8_t kReplyDeviceError = 0xFF;
constexpr std::uint8_t kPacketLong = 0xD2;  // framed by its length byte, never accepted

// Command timing.
constexpr std::int32_t kReplyTimeoutMs = 200;
constexpr std::int32_t kSimChangeTimeoutMs = 1000;
constexpr std::int32_t kQueryRetries = 3;

// Status reply payload: output mask, flags, five 16-bit loop readings.
constexpr std::size_t kStatusPayload = 12;
constexpr std::size_t kKeyPayload = 8;
constexpr std::size_t kLoopCount = 5;
constexpr std::uint8_t kFlagPower = 0x01;
constexpr std::uint8_t kFlagCover = 0x02;
constexpr std::uint8_t kFlagKeyWaiting = 0x80;

// Output mask bits.
enum OutputBit : int {
    kRelay1 = 0, kRelay2 = 1, kBuzzer = 2, kGuardLed = 3, kKtcLed = 4, kRedLed = 5, kGreenLed = 6,
    kSimBit = 7,
};

// Results of FetchReply besides reply codes.
constexpr int kFetchNothing = 254;
constexpr int kFetchLinkError = 255;

// Link error codes besides open results (1, 2) and other driver statuses.
constexpr int kLinkErrorManyCables = 3;
constexpr int kLinkErrorTimeout = 54;

inline const QString kTextDriverSilent =
    QStringLiteral("Драйвер FTDI не отвечает. Проверьте наличие драйвера и перезапустите программу.");
inline const QString kTextNoCable = QStringLiteral("Кабель FTDI не найден.");
inline const QString kTextManyCables = QStringLiteral(
    "Подключено более одного кабеля FTDI. Программирование возможно только через один подключенный кабель");
inline const QString kTextTimeout = QStringLiteral("Таймаут ожидания ответа, cmd = ");
inline const QString kTextKeyReceived = QStringLiteral("Получен код ключа IButton");
inline const QString kTextOutputsSet = QStringLiteral("Установлено значение выходов: ");
inline const QString kTextDeviceError = QStringLiteral("Ошибка: ");

// The command packet of `command`.
std::vector<std::uint8_t> CommandPacket(const CtrlCommand& command);

// Whether the bytes read so far make a whole reply packet, judged by its code
// (byte 1) once three bytes are in. Replies of unknown length end after three
// bytes once the device has been greeted, and never during the greeting.
bool PacketComplete(const std::uint8_t* bytes, std::size_t count, bool handshakeDone);

// Takes a reply packet apart into `reply`; false for anything not to be
// accepted (wrong start or check byte, a code or length not of a reply).
bool ParseReply(const std::uint8_t* bytes, std::size_t count, CtrlCommand& reply);

// Text of a device error reply, chosen by its number modulo 3.
QString DeviceErrorText(std::uint8_t number);

// One line of the control exchange log: the time of day, " > ", the text.
QString ControlLogLine(const QTime& localTime, const QString& text);

} // namespace k8w::control
