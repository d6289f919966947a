#include "keys/owserver_one_wire_port.h"

#include <QFileInfo>
#include <QSettings>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace k8w::keys {
namespace {

using Clock = std::chrono::steady_clock;

// How long one step of an exchange with the server may take.
constexpr std::chrono::milliseconds kExchangeWait{3000};

std::string lastPart(const std::string& path) { return path.substr(path.rfind('/') + 1); }

bool isBusEntry(const std::string& path) { return lastPart(path).rfind("bus.", 0) == 0; }

// Every bus directory lists its adapter's "interface"; a listing without one
// comes from a bus whose adapter is gone.
bool listsInterface(const std::vector<std::string>& entries) {
    return std::any_of(entries.begin(), entries.end(), [](const std::string& e) { return lastPart(e) == "interface"; });
}

// owserver names a simulated adapter "Simulated-Random" (--fake),
// "Simulated-Computed" (--tester), "Simulated-Mock" (--mock).
bool isSimulatedBus(const OwserverClient& server, const std::string& bus) {
    std::string name;
    return server.read(bus + "/interface/settings/name", name) && name.rfind("Simulated-", 0) == 0;
}

} // namespace

std::vector<std::string> OwserverOneWirePort::DefaultTargets() {
    const char* named = std::getenv(kOwserverVariable);
    if (named && *named) return {named};
    if (QFileInfo::exists(QStringLiteral("k8w.conf"))) {
        const QSettings settings(QStringLiteral("k8w.conf"), QSettings::IniFormat);
        const QString configured = settings.value(QStringLiteral("reader/owserver")).toString().trimmed();
        if (!configured.isEmpty()) return {configured.toStdString()};
    }
    return {"localhost:4304"};
}

OwserverOneWirePort::OwserverOneWirePort(std::vector<std::string> targets, OwfsTiming timing, OwfsBuses buses)
    : targets_(std::move(targets)), timing_(timing), busChoice_(buses) {}

OwserverOneWirePort::~OwserverOneWirePort() { endSession(); }

std::string OwserverOneWirePort::target() const {
    std::lock_guard lock(mutex_);
    return session_;
}

bool OwserverOneWirePort::ensureSession() {
    if (!target().empty()) return true;
    for (const std::string& target : targets_) {
        std::string host, port;
        if (!IsOwserverTarget(target, host, port)) continue;
        if (!OwserverClient(host, port, timing_.connectProbe).accepts()) continue;
        auto server = std::make_unique<OwserverClient>(host, port, kExchangeWait);
        std::vector<std::string> buses = readerBuses(*server);
        if (buses.empty()) continue;
        server_ = std::move(server);
        buses_ = std::move(buses);
        std::lock_guard lock(mutex_);
        session_ = target;
        return true;
    }
    return false;
}

std::vector<std::string> OwserverOneWirePort::readerBuses(const OwserverClient& server) const {
    std::vector<std::string> entries, buses;
    if (!server.listDirectory("/", entries)) return buses;
    for (const std::string& entry : entries) {
        if (!isBusEntry(entry)) continue;
        if (busChoice_ == OwfsBuses::RealOnly && isSimulatedBus(server, entry)) continue;
        buses.push_back(entry);
    }
    return buses;
}

void OwserverOneWirePort::endSession() {
    {
        std::lock_guard lock(mutex_);
        session_.clear();
        handle_ = -1;
    }
    buses_.clear();
    server_.reset();
}

bool OwserverOneWirePort::searchKey(std::uint8_t* identity, bool& failed) {
    failed = false;
    for (const std::string& bus : buses_) {
        std::vector<std::string> entries;
        // Uncached: a fresh search of the bus, so a key taken away is gone.
        if (!server_->listDirectory(bus + "/uncached", entries) || !listsInterface(entries)) {
            failed = true;
            return false;
        }
        for (const std::string& entry : entries) {
            std::uint8_t found[kKeyIdentitySize];
            if (IdentityFromOwfsName(lastPart(entry), found) && families_.count(found[0])) {
                std::memcpy(identity, found, sizeof found);
                return true;
            }
        }
    }
    return false;
}

int OwserverOneWirePort::Enum1WirePorts() {
    // Every run starts afresh: an adapter may have been plugged in or out.
    endSession();
    {
        std::lock_guard lock(mutex_);
        stop_ = false;
    }
    return ensureSession() ? static_cast<int>(buses_.size()) : 0;
}

int OwserverOneWirePort::Open1WirePort(int portIndex) {
    if (!ensureSession()) return -1;
    if (portIndex < 0 || portIndex >= static_cast<int>(buses_.size())) return -1;
    std::lock_guard lock(mutex_);
    handle_ = nextHandle_++;
    lastSearch_ = {};
    return handle_;
}

int OwserverOneWirePort::Read1WireBlocking(int handle, std::uint8_t* identity) {
    std::unique_lock lock(mutex_);
    if (handle < 0 || handle != handle_) return kReadFailed;
    const auto start = Clock::now();
    for (;;) {
        // One bus search per poll period; a stop ends the wait at once.
        if (stopped_.wait_until(lock, lastSearch_ + timing_.poll, [this] { return stop_.load(); }))
            return kReadNoKeyYet;
        lock.unlock();
        bool failed = false;
        const bool found = searchKey(identity, failed);
        lock.lock();
        lastSearch_ = Clock::now();
        if (failed) return kReadFailed;
        if (found) return kReadKeyPresent;
        if (lastSearch_ - start >= timing_.block) return kReadNoKeyYet;
    }
}

void OwserverOneWirePort::StopAll1WireOperations() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    stopped_.notify_all();
}

void OwserverOneWirePort::Close1WirePort(int handle) {
    {
        std::lock_guard lock(mutex_);
        if (handle < 0 || handle != handle_) return;
    }
    endSession();
}

} // namespace k8w::keys
