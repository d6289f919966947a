#pragma once
#include <chrono>
#include <cstdint>
#include <string>

namespace k8w::keys {

// 1-Wire families reported as keys: DS1990A-type iButtons and the protected
// DS1961S keys.
constexpr std::uint8_t kFamilyIButton = 0x01;
constexpr std::uint8_t kFamilyDs1961s = 0x33;

// Reads one OWFS device name ("01.67C6697351FF", optionally with the CRC
// after another dot, or without dots) into an 8-byte identity; the CRC is
// computed when the name has none. False for anything else.
bool IdentityFromOwfsName(const std::string& name, std::uint8_t* identity);

// How often OWFS is asked and how long a read or a connection waits.
struct OwfsTiming {
    std::chrono::milliseconds poll{100};          // one bus search per poll at most
    std::chrono::milliseconds block{500};         // a read without a key returns after this
    std::chrono::milliseconds connectProbe{500};  // wait for an owserver to accept
};

// Which buses of an adapter are readers. An owserver started with --fake,
// --tester or --mock serves simulated buses (Debian's default configuration
// has one); found by automatic discovery they are no readers, but a server
// named by the user is taken as it is.
enum class OwfsBuses { All, RealOnly };

// The environment variable naming the owserver ("host:port") that automatic
// discovery asks instead of localhost:4304.
constexpr const char* kOwserverVariable = "K8W_OWSERVER";

// "host:port" names an owserver; anything else (an OWFS adapter option such
// as "-u") does not. `host` and `port` get the two parts.
bool IsOwserverTarget(const std::string& target, std::string& host, std::string& port);

} // namespace k8w::keys
