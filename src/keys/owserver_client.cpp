#include "keys/owserver_client.h"

#include "keys/tcp_stream.h"

#include <array>
#include <cstdint>

namespace k8w::keys {
namespace {

// Message types of the requests used here.
constexpr int kRead = 2;
constexpr int kDirAll = 7;

// Control flags: the bus directories are listed ("bus.0" beside the
// devices); device names in the form family.serial ("01.67C6697351FF").
constexpr std::uint32_t kBusList = 0x00000002;
// The most a property read asks for.
constexpr std::int32_t kReadSize = 8192;
// A reply longer than this is no owserver's.
constexpr std::int32_t kLongestReply = 1 << 20;

using Header = std::array<std::uint8_t, 24>;

void putWord(Header& header, int index, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        header[static_cast<std::size_t>(4 * index + i)] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

std::int32_t word(const Header& header, int index) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = value << 8 | header[static_cast<std::size_t>(4 * index + i)];
    return static_cast<std::int32_t>(value);
}

} // namespace

OwserverClient::OwserverClient(std::string host, std::string port, std::chrono::milliseconds wait)
    : host_(std::move(host)), port_(std::move(port)), wait_(wait) {}

bool OwserverClient::accepts() const {
    TcpStream stream;
    return stream.connect(host_, port_, wait_);
}

bool OwserverClient::request(int type, const std::string& path, std::string& reply) const {
    TcpStream stream;
    if (!stream.connect(host_, port_, wait_)) return false;
    Header header{};
    putWord(header, 0, 0);  // protocol version
    putWord(header, 1, static_cast<std::uint32_t>(path.size() + 1));
    putWord(header, 2, static_cast<std::uint32_t>(type));
    putWord(header, 3, kBusList);
    putWord(header, 4, type == kRead ? kReadSize : 0);
    putWord(header, 5, 0);  // offset
    if (!stream.send(header.data(), header.size(), wait_) || !stream.send(path.c_str(), path.size() + 1, wait_))
        return false;
    for (;;) {
        if (!stream.receive(header.data(), header.size(), wait_)) return false;
        const std::int32_t payload = word(header, 1);
        // A payload of -1 is the server saying it is still at work.
        if (payload == -1) continue;
        if (word(header, 2) < 0 || payload < 0 || payload > kLongestReply) return false;
        reply.assign(static_cast<std::size_t>(payload), '\0');
        if (payload > 0 && !stream.receive(reply.data(), reply.size(), wait_)) return false;
        // A read's value is `size` bytes of the payload.
        const std::int32_t size = word(header, 4);
        if (type == kRead && size >= 0 && size < payload) reply.resize(static_cast<std::size_t>(size));
        while (!reply.empty() && reply.back() == '\0') reply.pop_back();
        return true;
    }
}

bool OwserverClient::listDirectory(const std::string& path, std::vector<std::string>& entries) const {
    std::string reply;
    if (!request(kDirAll, path, reply)) return false;
    entries.clear();
    std::size_t from = 0;
    while (from < reply.size()) {
        const std::size_t comma = std::min(reply.find(',', from), reply.size());
        std::string entry = reply.substr(from, comma - from);
        if (!entry.empty() && entry.back() == '/') entry.pop_back();
        if (!entry.empty()) entries.push_back(entry);
        from = comma + 1;
    }
    return true;
}

bool OwserverClient::read(const std::string& path, std::string& value) const {
    return request(kRead, path, value);
}

} // namespace k8w::keys
