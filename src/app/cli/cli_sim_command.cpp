// k8w-cli sim: a simulated K8W device behind a pseudo-terminal, for trying
// the programming link without hardware.
#include "app/cli/cli_commands.h"
#include "app/cli/cli_options.h"

#include "sim/pty_device_server.h"
#include "sim/sim_device.h"

#include <QFile>
#include <QSaveFile>

#include <atomic>
#include <csignal>

namespace k8w::cli {
namespace {

std::atomic<bool> simStop{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onSimSignal(int) { simStop.store(true); }

bool parseVersion(const QString& text, std::array<std::uint8_t, 3>& version) {
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 3) return false;
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        const int n = parts[i].toInt(&ok);
        if (!ok || n < 0 || n > 255) return false;
        version[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(n);
    }
    return true;
}

} // namespace

int runSim(const QStringList& args) {
    const QString kVersion = QStringLiteral("--version");
    const QString kImage = QStringLiteral("--image");
    const QString kReadyNext = QStringLiteral("--ready-next");
    const Options options(args, {kVersion, kImage}, {kReadyNext});
    if (!options.ok()) {
        printError(options.error());
        return kExitBadInput;
    }
    sim::DeviceSettings settings;
    settings.readyNext = options.has(kReadyNext);
    if (options.has(kVersion) && !parseVersion(options.value(kVersion), settings.version)) {
        printError(QStringLiteral("--version takes A.B.C, each 0-255"));
        return kExitBadInput;
    }
    sim::SimDevice device(settings);

    // With --image the device starts with the file's content (when the file
    // exists) and keeps every image written to it there.
    const QString imageFile = options.value(kImage);
    if (!imageFile.isEmpty()) {
        QFile file(imageFile);
        if (file.exists()) {
            if (!file.open(QIODevice::ReadOnly)) {
                printError(QStringLiteral("cannot read %1").arg(imageFile));
                return kExitBadInput;
            }
            const QByteArray bytes = file.readAll();
            device.setStoredImage(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
        }
        device.setImageStoredListener([imageFile](const std::vector<std::uint8_t>& image) {
            QSaveFile out(imageFile);
            const auto size = static_cast<qint64>(image.size());
            if (!out.open(QIODevice::WriteOnly) ||
                out.write(reinterpret_cast<const char*>(image.data()), size) != size || !out.commit())
                printError(QStringLiteral("cannot write %1").arg(imageFile));
        });
    }

    sim::PtyDeviceServer server(device);
    std::string error;
    if (!server.open(&error)) {
        printError(QString::fromStdString(error));
        return kExitFailed;
    }
    struct sigaction action {};
    action.sa_handler = onSimSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    printLine(QString::fromStdString(server.slavePath()));
    server.serve(simStop);
    return kExitOk;
}

} // namespace k8w::cli
