// k8w-cli status, set and watch: the control window from the command line,
// over the same control link, with the same texts.
#include "cli/cli_commands.h"
#include "cli/cli_interrupt.h"
#include "cli/cli_options.h"
#include "cli/cli_output.h"

#include "common/clock.h"
#include "control/ftdi_vexlar_ctrl.h"
#include "link/link_block.h"
#include "link/serial_ports.h"

#include <QTime>

#include <atomic>
#include <map>
#include <memory>
#include <optional>

namespace k8w::cli {
namespace {

const QString kPort = QStringLiteral("--port");
const QString kCable = QStringLiteral("--cable");
const QString kWait = QStringLiteral("--wait");

constexpr std::uint32_t kFetchTickMs = 10;    // the window's fetch timer
constexpr std::uint32_t kPollPeriodMs = 1000;  // the window's status poll timer
constexpr int kDefaultWaitSeconds = 10;

const QString kCableError = QStringLiteral("Ошибка при обращении к устройству FTDI.");

// The outputs by name, in the order of their bits in the output mask.
const char* const kOutputNames[] = {"relay1", "relay2", "buzzer", "guard-led", "ktc-led", "red-led", "green-led"};
constexpr int kOutputCount = 7;

// SIGINT only raises a lock-free flag; the fetch loop looks at it every tick.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);
extern "C" void onControlInterrupt(int) { interrupted.store(true); }

class InterruptFlag {
public:
    InterruptFlag() : handler_((interrupted.store(false), onControlInterrupt)) {}
    InterruptFlag(const InterruptFlag&) = delete;
    InterruptFlag& operator=(const InterruptFlag&) = delete;

private:
    InterruptHandlerScope handler_;
};

// The control link always opens the first cable listed, so a port or cable
// given on the command line (at most one of the two) becomes a driver that
// lists only that one.
std::unique_ptr<link::FtdiDriver> chooseCables(const Options& options) {
    using Ports = std::vector<link::NamedPort>;
    if (options.has(kPort))
        return link::MakeNamedPortDriver(Ports{{QStringLiteral("PORT"), options.value(kPort)}});
    if (!options.has(kCable)) return nullptr;
    // The system's driver lists each FTDI cable with its port in the description.
    Ports chosen;
    link::FtdiDriver& system = link::systemFtdiDriver();
    link::FtDeviceInfo list[link::kDeviceListSize];
    std::uint32_t count = 0;
    if (system.createDeviceInfoList(&count) == link::kFtOk && count > 0 &&
        system.getDeviceInfoList(list, link::kDeviceListSize, &count) == link::kFtOk) {
        for (std::uint32_t i = 0; i < count; ++i)
            if (QString::fromLatin1(list[i].serialNumber) == options.value(kCable))
                chosen.push_back({options.value(kCable), QString::fromLocal8Bit(list[i].description)});
    }
    return link::MakeNamedPortDriver(chosen);
}

// What a status reply says, by the names the commands print.
using StatusValues = std::vector<std::pair<QString, QString>>;

StatusValues statusValues(const control::CtrlCommand& status) {
    StatusValues values;
    for (std::size_t k = 0; k < control::kLoopCount; ++k)
        values.emplace_back(QStringLiteral("loop%1").arg(k + 1),
                            QString::number(status.payload[2 + 2 * k] | status.payload[3 + 2 * k] << 8));
    const std::uint8_t outputs = status.payload[0];
    const std::uint8_t flags = status.payload[1];
    auto bit = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    values.emplace_back(QStringLiteral("power"), bit(flags & control::kFlagPower));
    values.emplace_back(QStringLiteral("case"), bit(flags & control::kFlagCover));
    values.emplace_back(QStringLiteral("sim"), QString::number((outputs >> control::kSimBit) + 1));
    for (int b = 0; b < kOutputCount; ++b)
        values.emplace_back(QString::fromLatin1(kOutputNames[b]), bit(outputs & (1u << b)));
    return values;
}

QString keyText(const control::CtrlCommand& key) { return link::HexDump(key.payload, control::kKeyPayload); }

QString valueLine(const QString& name, const QString& value) { return name + QLatin1Char('\t') + value; }

// The link as the control window runs it: started and greeting the device
// for the session's life, its replies fetched every 10 ms.
class ControlSession {
public:
    enum class Outcome { Answered, Failed, Interrupted, NoAnswer };

    explicit ControlSession(link::FtdiDriver& cables) : link_(cables) {
        link_.StartLink();
        link_.RequestHandshake();
    }
    ~ControlSession() { link_.StopLink(); }

    control::FTDI_VexlarCtrl& link() { return link_; }

    // Waits for the reply `code` and copies it into `reply`. A link failure
    // or a device error reply is printed with the link's text.
    Outcome await(std::uint8_t code, control::CtrlCommand& reply, int waitSeconds) {
        Clock& clock = systemClock();
        const std::uint32_t start = clock.tickMs();
        while (!interrupted.load()) {
            QString text;
            const int result = link_.FetchReply(reply, text);
            if (result == code) return Outcome::Answered;
            if (result == control::kFetchLinkError || result == control::kReplyDeviceError) {
                printError(text.isEmpty() ? kCableError : text);
                return Outcome::Failed;
            }
            if (result != control::kFetchNothing) continue;
            if (clock.tickMs() - start > static_cast<std::uint32_t>(waitSeconds) * 1000u) {
                printError(QStringLiteral("the device did not answer within %1 s").arg(waitSeconds));
                return Outcome::NoAnswer;
            }
            clock.sleepMs(kFetchTickMs);
        }
        return Outcome::Interrupted;
    }

private:
    control::FTDI_VexlarCtrl link_;
};

int exitOf(ControlSession::Outcome outcome) {
    return outcome == ControlSession::Outcome::Interrupted ? kExitInterrupted : kExitFailed;
}

struct CommonOptions {
    std::unique_ptr<link::FtdiDriver> own;
    link::FtdiDriver* cables = nullptr;
    int waitSeconds = kDefaultWaitSeconds;
};

// --port / --cable, and --wait where the command takes it; false after printing why.
bool readCommonOptions(const Options& options, CommonOptions& common) {
    if (options.has(kWait)) {
        bool number = false;
        common.waitSeconds = options.value(kWait).toInt(&number);
        if (!number || common.waitSeconds < 1) {
            printError(QStringLiteral("--wait takes a number of seconds, 1 or more"));
            return false;
        }
    }
    common.own = chooseCables(options);
    common.cables = common.own ? common.own.get() : &link::systemFtdiDriver();
    return true;
}

// Polls the status once and prints it, with the key when one waits.
int printStatus(ControlSession& session, int waitSeconds) {
    control::CtrlCommand status;
    session.link().PollStatus();
    if (const auto outcome = session.await(control::kCmdStatus, status, waitSeconds);
        outcome != ControlSession::Outcome::Answered)
        return exitOf(outcome);
    QStringList lines;
    for (const auto& [name, value] : statusValues(status)) lines << valueLine(name, value);
    if (status.payload[1] & control::kFlagKeyWaiting) {
        control::CtrlCommand key;
        session.link().RequestKey();
        if (const auto outcome = session.await(control::kCmdReadKey, key, waitSeconds);
            outcome != ControlSession::Outcome::Answered)
            return exitOf(outcome);
        lines << valueLine(QStringLiteral("key"), keyText(key));
    }
    for (const QString& line : lines) printLine(line);
    return kExitOk;
}

// One NAME=VALUE of `set`: an output bit on or off, or the SIM.
struct Setting {
    int bit = 0;  // kSimBit for the SIM
    bool on = false;
};

std::optional<Setting> parseSetting(const QString& arg) {
    const QString name = arg.section(QLatin1Char('='), 0, 0);
    const QString value = arg.section(QLatin1Char('='), 1);
    if (name == QLatin1String("sim")) {
        if (value != QLatin1String("1") && value != QLatin1String("2")) {
            printError(QStringLiteral("sim takes 1 or 2: %1").arg(arg));
            return std::nullopt;
        }
        return Setting{control::kSimBit, value == QLatin1String("2")};
    }
    for (int b = 0; b < kOutputCount; ++b) {
        if (name != QLatin1String(kOutputNames[b])) continue;
        if (value != QLatin1String("on") && value != QLatin1String("off")) {
            printError(QStringLiteral("%1 takes on or off: %2").arg(name, arg));
            return std::nullopt;
        }
        return Setting{b, value == QLatin1String("on")};
    }
    printError(QStringLiteral("unknown setting: %1 (relay1, relay2, buzzer, guard-led, ktc-led, red-led, "
                              "green-led take on or off, sim takes 1 or 2)")
                   .arg(arg));
    return std::nullopt;
}

} // namespace

int runStatus(const Options& options) {
    CommonOptions common;
    if (!readCommonOptions(options, common)) return kExitBadInput;
    InterruptFlag flag;
    ControlSession session(*common.cables);
    return printStatus(session, common.waitSeconds);
}

int runSet(const Options& options) {
    std::vector<Setting> settings;
    bool parsed = true;
    for (const QString& arg : options.operands()) {
        if (const auto setting = parseSetting(arg))
            settings.push_back(*setting);
        else
            parsed = false;
    }
    CommonOptions common;
    if (!parsed || !readCommonOptions(options, common)) return kExitBadInput;
    if (settings.empty()) {
        printError(QStringLiteral("set needs NAME=on|off or sim=1|2"));
        return kExitBadInput;
    }

    InterruptFlag flag;
    ControlSession session(*common.cables);
    control::FTDI_VexlarCtrl& link = session.link();
    control::CtrlCommand reply;
    // The device's bits first: each command carries the whole mask.
    link.PollStatus();
    auto outcome = session.await(control::kCmdStatus, reply, common.waitSeconds);
    for (const Setting& setting : settings) {
        if (outcome != ControlSession::Outcome::Answered) break;
        if (setting.bit == control::kSimBit) {
            // As the SIM buttons: select, poll, greet again.
            link.SelectSim(setting.on ? 1 : 0);
            link.PollStatus();
            link.RequestHandshake();
            outcome = session.await(control::kCmdSetOutputs, reply, common.waitSeconds);
            if (outcome == ControlSession::Outcome::Answered)
                outcome = session.await(control::kCmdStatus, reply, common.waitSeconds);
        } else {
            link.SetOutput(setting.bit, setting.on);
            outcome = session.await(control::kCmdSetOutputs, reply, common.waitSeconds);
        }
    }
    if (outcome != ControlSession::Outcome::Answered) return exitOf(outcome);
    return printStatus(session, common.waitSeconds);
}

int runWatch(const Options& options) {
    CommonOptions common;
    if (!readCommonOptions(options, common)) return kExitBadInput;
    InterruptFlag flag;
    ControlSession session(*common.cables);
    control::FTDI_VexlarCtrl& link = session.link();
    Clock& clock = systemClock();
    auto log = [](const QString& text) { printLine(control::ControlLogLine(QTime::currentTime(), text)); };

    std::map<QString, QString> shown;
    std::uint32_t lastPoll = clock.tickMs();
    while (!interrupted.load()) {
        if (clock.tickMs() - lastPoll >= kPollPeriodMs) {
            lastPoll = clock.tickMs();
            if (link.PendingCount() == 0 && link.IsRunning()) link.PollStatus();
        }
        control::CtrlCommand reply;
        QString text;
        const int result = link.FetchReply(reply, text);
        if (result == control::kFetchNothing) {
            clock.sleepMs(kFetchTickMs);
            continue;
        }
        if (!text.isEmpty()) log(text);
        if (result == control::kCmdStatus) {
            if (reply.payload[1] & control::kFlagKeyWaiting) link.RequestKey();
            for (const auto& [name, value] : statusValues(reply)) {
                auto [it, added] = shown.try_emplace(name, value);
                if (!added && it->second == value) continue;
                it->second = value;
                log(valueLine(name, value));
            }
        } else if (result == control::kCmdReadKey) {
            log(valueLine(QStringLiteral("key"), keyText(reply)));
        }
    }
    return kExitInterrupted;
}

} // namespace k8w::cli
