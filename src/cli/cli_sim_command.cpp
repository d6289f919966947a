// k8w-cli sim: a simulated K8W device behind a pseudo-terminal, for trying
// the programming link and the control link without hardware.
#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "cli/cli_sim_serve.h"

#include "sim/sim_device.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>

namespace k8w::cli {
namespace {

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

// "--loops A,B,C,D,E": the five loop readings in ohms, 0-65535 each.
bool parseLoops(const QString& text, std::array<std::uint16_t, 5>& loops) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != static_cast<qsizetype>(loops.size())) return false;
    for (std::size_t i = 0; i < loops.size(); ++i) {
        bool ok = false;
        const uint ohms = parts[static_cast<qsizetype>(i)].toUInt(&ok);
        if (!ok || ohms > 65535) return false;
        loops[i] = static_cast<std::uint16_t>(ohms);
    }
    return true;
}

// "--key HEX16": the eight bytes of a key code the device reports.
bool parseKey(const QString& text, sim::DeviceKeyCode& key) {
    const QByteArray bytes = QByteArray::fromHex(text.toLatin1());
    if (text.size() != 16 || bytes.size() != 8 || bytes.toHex().compare(text.toLatin1(), Qt::CaseInsensitive) != 0)
        return false;
    std::copy(bytes.begin(), bytes.end(), key.begin());
    return true;
}

} // namespace

int runSim(const Options& options) {
    const QString kVersion = QStringLiteral("--version");
    const QString kImage = QStringLiteral("--image");
    const QString kReadyNext = QStringLiteral("--ready-next");
    const QString kLoops = QStringLiteral("--loops");
    const QString kKey = QStringLiteral("--key");
    const QString kNoPower = QStringLiteral("--no-power");
    const QString kCaseOpen = QStringLiteral("--case-open");
    sim::DeviceSettings settings;
    settings.readyNext = options.has(kReadyNext);
    if (options.has(kVersion) && !parseVersion(options.value(kVersion), settings.version)) {
        printError(QStringLiteral("--version takes A.B.C, each 0-255"));
        return kExitBadInput;
    }
    // What the device's inputs show in the control protocol.
    sim::ControlInputs inputs;
    inputs.power = !options.has(kNoPower);
    inputs.cover = !options.has(kCaseOpen);
    if (options.has(kLoops) && !parseLoops(options.value(kLoops), inputs.loops)) {
        printError(QStringLiteral("--loops takes five readings in ohms, 0-65535, separated by commas"));
        return kExitBadInput;
    }
    sim::DeviceKeyCode key{};
    if (options.has(kKey) && !parseKey(options.value(kKey), key)) {
        printError(QStringLiteral("--key takes eight bytes as 16 hexadecimal digits"));
        return kExitBadInput;
    }
    sim::SimDevice device(settings);
    device.setInputs(inputs);
    if (options.has(kKey)) device.presentKey(key);

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

    return ServeSimDevice(device);
}

} // namespace k8w::cli
