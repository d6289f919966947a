// k8w-cli program and read: one write or read attempt, as the programming
// and reading workers make it, from the command line.
#include "cli/cli_card_store.h"
#include "cli/cli_commands.h"
#include "cli/cli_interrupt.h"
#include "cli/cli_image_compare.h"
#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "cli/cli_row_card.h"

#include "cards/config_image.h"
#include "common/day_date.h"
#include "link/exchange_outcome.h"
#include "link/ftdi_controller.h"
#include "link/serial_ports.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace k8w::cli {
namespace {

const QString kPort = QStringLiteral("--port");
const QString kCable = QStringLiteral("--cable");
const QString kOut = QStringLiteral("--out");
const QString kVerify = QStringLiteral("--verify");

using link::kProgFailedText;
using link::kReadFailedText;

// SIGINT only raises a lock-free flag; a watcher thread turns it into Stop,
// as the "Остановить" button does.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onInterrupt(int) { interrupted.store(true); }

class InterruptWatch {
public:
    explicit InterruptWatch(link::FTDI_Controller& link) : handler_(onInterrupt) {
        interrupted.store(false);
        watcher_ = std::thread([this, &link] {
            while (!done_.load()) {
                if (interrupted.load()) {
                    link.Stop();
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
    }
    ~InterruptWatch() {
        done_.store(true);
        watcher_.join();
    }
    bool interruptedNow() const { return interrupted.load(); }

private:
    InterruptHandlerScope handler_;
    std::atomic<bool> done_{false};
    std::thread watcher_;
};

// The cable: the one port given with --port, or the FTDI cables of the
// system (the first one listed, or the one given with --cable); the command
// line holds at most one of the two.
struct Cable {
    std::unique_ptr<link::FtdiDriver> own;
    link::FtdiDriver* driver = nullptr;
    std::string serial;
};

void chooseCable(const Options& options, Cable& cable) {
    if (options.has(kPort)) {
        cable.own = link::MakeNamedPortDriver({{QStringLiteral("PORT"), options.value(kPort)}});
        cable.driver = cable.own.get();
    } else {
        cable.driver = &link::systemFtdiDriver();
        cable.serial = options.value(kCable).toStdString();
    }
}

// One read exchange: the device's intact image and version, or the exit
// status of a read that failed or was stopped (its reason printed).
struct DeviceRead {
    int status = kExitFailed;
    ConfigImage image{};
    QString version;
};

DeviceRead readDevice(const Cable& cable) {
    DeviceRead read;
    link::FTDI_ReadCtrl link(*cable.driver);
    link.SetCableSerial(cable.serial);
    int result = link::kLinkCableFailure;
    bool stoppedBySignal = false;
    {
        InterruptWatch watch(link);
        const int opened = link.Open(nullptr, 0);
        if (opened != link::kOpenOk) {
            printError(kReadFailedText + link::OpenFailureReason(opened));
            return read;
        }
        result = link.Start();
        stoppedBySignal = watch.interruptedNow();
    }
    switch (result) {
    case link::kLinkDone:
        break;
    case link::kLinkStopped:
        printError(link::kReadStoppedText);
        read.status = stoppedBySignal ? kExitInterrupted : kExitFailed;
        return read;
    default:
        printError(kReadFailedText + link::StartFailureReason(link::Exchange::Read, result));
        return read;
    }

    if (!link::IsValidReadImage(link.Data(), link.DataLength())) {
        printError(kReadFailedText + link::kBadImageText);
        return read;
    }
    std::copy_n(link.Data(), kImageSize, read.image.begin());
    read.version = link.VersionText();
    read.status = kExitOk;
    return read;
}

// After a write: reads the device back on the same cable and compares what
// it holds with the image written. Prints "verified", or what differs.
int verifyWritten(const Cable& cable, const ConfigImage& written) {
    const DeviceRead read = readDevice(cable);
    if (read.status == kExitInterrupted) return kExitInterrupted;
    if (read.status != kExitOk) {
        printError(QStringLiteral("not verified: the device could not be read back"));
        return kExitVerifyMismatch;
    }
    const QStringList differences = ImageDifferences(written.data(), read.image.data(), CompareScope::EveryByte);
    if (differences.isEmpty()) {
        printLine(QStringLiteral("verified"));
        return kExitOk;
    }
    for (const QString& difference : differences) printLine(difference);
    printError(QStringLiteral("not verified: the device holds other data than was written"));
    return kExitVerifyMismatch;
}

} // namespace

int runProgram(const Options& options) {
    Cable cable;
    chooseCable(options, cable);
    RowImage row;
    // Nothing is sent for a card without an image: an empty one would
    // overwrite the device's configuration.
    // Without the server a shared base programs from this computer's copy.
    if (!startRowImage(options, link::kEmptyCardText, QStringLiteral("nothing is written"), row, true))
        return kExitBadInput;
    const ConfigImage& image = row.image;
    // The attempt is on record (on a shared base, in this computer's journal)
    // before anything is sent.
    ProgrammingAttempt attempt;
    if (!beginProgramming(*row.store, row.slot, attempt)) return kExitBadInput;

    int result = link::kLinkCableFailure;
    bool stoppedBySignal = false;
    {
        // The cable is closed again at the end of this block, before a read-back.
        link::FTDI_Controller link(*cable.driver);
        link.SetCableSerial(cable.serial);
        InterruptWatch watch(link);
        const int opened = link.Open(image.data(), static_cast<int>(image.size()));
        if (opened != link::kOpenOk) {
            printError(kProgFailedText + link::OpenFailureReason(opened));
            row.store->endProgramming(attempt, false, row.crc, 0);
            return kExitFailed;
        }
        result = link.Start();
        stoppedBySignal = watch.interruptedNow();
    }
    switch (result) {
    case link::kLinkDone: {
        printLine(ChecksumText(row.crc));
        // Only this card's result changes, in the base as it is now: another
        // command or user may have changed the card meanwhile.
        const CardStoreResult recorded = row.store->endProgramming(attempt, true, row.crc, dayDateNow());
        int status = kExitOk;
        if (!recorded.ok()) {
            printError(QStringLiteral("the device is programmed, but its result is not recorded: ") +
                       storeResultText(recorded));
            status = kExitNotRecorded;
        } else if (recorded.keptLocally) {
            printError(QStringLiteral("the result is kept on this computer and waits for k8w-cli sync: "
                                      "the shared card base cannot be reached"));
        }
        // The write did succeed, so its result is recorded whatever the read-back finds.
        if (options.has(kVerify)) {
            const int verified = verifyWritten(cable, image);
            if (status == kExitOk) status = verified;
        }
        return status;
    }
    case link::kLinkStopped:
        row.store->endProgramming(attempt, false, row.crc, 0);
        printError(link::kProgStoppedText);
        return stoppedBySignal ? kExitInterrupted : kExitFailed;
    default:
        row.store->endProgramming(attempt, false, row.crc, 0);
        printError(kProgFailedText + link::StartFailureReason(link::Exchange::Write, result));
        return kExitFailed;
    }
}

int runRead(const Options& options) {
    Cable cable;
    chooseCable(options, cable);

    const DeviceRead read = readDevice(cable);
    if (read.status != kExitOk) return read.status;
    const std::uint8_t* image = read.image.data();
    const qint64 length = static_cast<qint64>(read.image.size());
    if (options.has(kOut)) {
        QSaveFile file(options.value(kOut));
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(reinterpret_cast<const char*>(image), length) != length || !file.commit()) {
            printError(QStringLiteral("cannot write %1").arg(options.value(kOut)));
            return kExitBadInput;
        }
    }
    printLine(read.version);
    printLine(ChecksumText(static_cast<std::uint16_t>(image[kImageCrcOffset] | image[kImageCrcOffset + 1] << 8)));
    return kExitOk;
}

} // namespace k8w::cli
