#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace k8w::keys {

// A key's identity as the reader delivers it: byte 0 the family code, bytes
// 1-6 the 48-bit serial number least significant byte first, byte 7 the CRC.
constexpr int kKeyIdentitySize = 8;

// Results of Read1WireBlocking.
constexpr int kReadKeyPresent = 0;  // a key's identity is in the buffer
constexpr int kReadNoKeyYet = 3;    // keep reading
constexpr int kReadFailed = 1;      // the reader cannot be used (any value but 0 and 3 means that)

// The 1-Wire reader port as the key reader uses it: exactly these five
// operations. The real backend works through OWFS, the simulated one plays
// scripted touches.
class OneWirePort {
public:
    virtual ~OneWirePort() = default;

    // Number of reader ports; less than 1 means none can be used.
    virtual int Enum1WirePorts() = 0;
    // Opens a port (the key reader always asks for port 0); negative = failure.
    virtual int Open1WirePort(int portIndex) = 0;
    // Waits a while for a key on the reader; `identity` gets 8 bytes when the
    // result is kReadKeyPresent.
    virtual int Read1WireBlocking(int handle, std::uint8_t* identity) = 0;
    // Makes a blocked read return kReadNoKeyYet at once; later reads of this
    // run do the same until the next enumeration. May be called from any thread.
    virtual void StopAll1WireOperations() = 0;
    virtual void Close1WirePort(int handle) = 0;
};

// The reader port of the program: OWFS, through an owserver on this machine
// or the first USB adapter; where there is no OWFS, an owserver on the network.
OneWirePort& systemOneWirePort();

// A reader port of its own for one command: on the owserver `named`
// ("host:port", every bus a reader), or found by automatic discovery as the
// program's own is (simulated buses passed over) when `named` is empty.
std::unique_ptr<OneWirePort> MakeOneWirePort(const std::string& named);

} // namespace k8w::keys
