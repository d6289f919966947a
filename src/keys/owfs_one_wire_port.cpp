#include "keys/owfs_one_wire_port.h"

#include "keys/key_code.h"

#include <owcapi.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace k8w::keys {
namespace {

using Clock = std::chrono::steady_clock;

// Whether something accepts connections at host:port within `wait`. A
// refused connection answers at once; this keeps OWFS from its own retry.
bool acceptsConnections(const std::string& host, const std::string& port, std::chrono::milliseconds wait) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0) return false;
    bool accepted = false;
    for (addrinfo* a = found; a && !accepted; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) continue;
        if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0) {
            accepted = true;
        } else if (errno == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            int error = 0;
            socklen_t size = sizeof error;
            accepted = ::poll(&p, 1, static_cast<int>(wait.count())) == 1 &&
                       ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
        }
        ::close(fd);
    }
    ::freeaddrinfo(found);
    return accepted;
}

// A directory listing of OWFS: entries separated by commas.
bool listDirectory(const char* path, std::vector<std::string>& entries) {
    char* buffer = nullptr;
    size_t length = 0;
    const ssize_t got = OW_get(path, &buffer, &length);
    if (got < 0 || !buffer) {
        std::free(buffer);
        return false;
    }
    const std::string text(buffer, length);
    std::free(buffer);
    entries.clear();
    std::size_t from = 0;
    while (from <= text.size()) {
        const std::size_t comma = std::min(text.find(',', from), text.size());
        std::string entry = text.substr(from, comma - from);
        if (!entry.empty() && entry.back() == '/') entry.pop_back();
        if (!entry.empty()) entries.push_back(entry);
        from = comma + 1;
    }
    return true;
}

bool isBusEntry(const std::string& entry) { return entry.rfind("bus.", 0) == 0; }

// Every bus directory lists its adapter's "interface"; a listing without one
// comes from a bus whose adapter or owserver is gone (OWFS then answers with
// an empty listing, not an error).
bool listsInterface(const std::vector<std::string>& entries) {
    return std::find(entries.begin(), entries.end(), "interface") != entries.end();
}

// OWFS names a simulated adapter "Simulated-Random" (--fake),
// "Simulated-Computed" (--tester), "Simulated-Mock" (--mock).
bool isSimulatedBus(const std::string& busPath) {
    char* buffer = nullptr;
    size_t length = 0;
    const ssize_t got = OW_get((busPath + "/interface/settings/name").c_str(), &buffer, &length);
    const bool simulated = got > 0 && buffer && std::string(buffer, length).rfind("Simulated-", 0) == 0;
    std::free(buffer);
    return simulated;
}

} // namespace

std::vector<std::string> OwfsOneWirePort::DefaultTargets() {
    const char* server = std::getenv(kOwserverVariable);
    return {server && *server ? server : "localhost:4304", "-u"};
}

OwfsOneWirePort::OwfsOneWirePort() : OwfsOneWirePort(DefaultTargets(), {}, OwfsBuses::RealOnly) {}

OwfsOneWirePort::OwfsOneWirePort(std::vector<std::string> targets, Timing timing, OwfsBuses buses)
    : targets_(std::move(targets)), timing_(timing), busChoice_(buses) {}

OwfsOneWirePort::~OwfsOneWirePort() { endSession(); }

std::string OwfsOneWirePort::target() const {
    std::lock_guard lock(mutex_);
    return session_;
}

bool OwfsOneWirePort::ensureSession() {
    if (!target().empty()) return true;
    for (const std::string& target : targets_) {
        std::string host, port, options = target, prefix;
        if (IsOwserverTarget(target, host, port)) {
            if (!acceptsConnections(host, port, timing_.connectProbe)) continue;
            options = "-s " + target;
            prefix = "/bus.0";
        }
        if (OW_init(options.c_str()) < 0) continue;
        {
            std::lock_guard lock(mutex_);
            session_ = target;
        }
        buses_ = readerBuses(prefix);
        if (!buses_.empty()) return true;
        endSession();
    }
    return false;
}

std::vector<OwfsOneWirePort::Bus> OwfsOneWirePort::readerBuses(const std::string& prefix) const {
    std::vector<std::string> entries;
    std::vector<Bus> buses;
    if (!listDirectory((prefix + "/").c_str(), entries)) return buses;
    for (const std::string& entry : entries) {
        if (!isBusEntry(entry)) continue;
        if (busChoice_ == OwfsBuses::RealOnly && isSimulatedBus(prefix + "/" + entry)) continue;
        buses.push_back({prefix, entry});
    }
    return buses;
}

void OwfsOneWirePort::endSession() {
    {
        std::lock_guard lock(mutex_);
        if (session_.empty()) return;
        session_.clear();
        handle_ = -1;
    }
    buses_.clear();
    OW_finish();
}

int OwfsOneWirePort::countBuses() const { return static_cast<int>(buses_.size()); }

bool OwfsOneWirePort::searchKey(std::uint8_t* identity, bool& failed) {
    failed = false;
    for (const Bus& bus : buses_) {
        std::vector<std::string> entries;
        // Uncached: a fresh search of the bus, so a key taken away is gone.
        if (!listDirectory((bus.prefix + "/" + bus.name + "/uncached/").c_str(), entries) ||
            !listsInterface(entries)) {
            failed = true;
            return false;
        }
        for (const std::string& entry : entries) {
            std::uint8_t found[kKeyIdentitySize];
            if (IdentityFromOwfsName(entry, found) && families_.count(found[0])) {
                std::memcpy(identity, found, sizeof found);
                return true;
            }
        }
    }
    return false;
}

int OwfsOneWirePort::Enum1WirePorts() {
    // Every run starts afresh: an adapter may have been plugged in or out.
    endSession();
    {
        std::lock_guard lock(mutex_);
        stop_ = false;
    }
    return ensureSession() ? countBuses() : 0;
}

int OwfsOneWirePort::Open1WirePort(int portIndex) {
    if (!ensureSession()) return -1;
    if (portIndex < 0 || portIndex >= countBuses()) return -1;
    std::lock_guard lock(mutex_);
    handle_ = nextHandle_++;
    lastSearch_ = {};
    return handle_;
}

int OwfsOneWirePort::Read1WireBlocking(int handle, std::uint8_t* identity) {
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

void OwfsOneWirePort::StopAll1WireOperations() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    stopped_.notify_all();
}

void OwfsOneWirePort::Close1WirePort(int handle) {
    {
        std::lock_guard lock(mutex_);
        if (handle < 0 || handle != handle_) return;
    }
    endSession();
}

} // namespace k8w::keys
