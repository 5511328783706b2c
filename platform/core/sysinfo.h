#pragma once
// System information: the machine's hardware addresses, new UUIDs, and an OS version word.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hqlv::platform {

using HardwareAddress = std::array<uint8_t, 6>;

// The addresses of the wired Ethernet adapters that sit on real hardware, read from
// netFolder (normally /sys/class/net), ordered by interface name: loopback, wireless and
// virtual interfaces (no "device" link) and all-zero addresses are left out, so the list
// stays stable across container and VPN changes. Empty when there is none.
std::vector<HardwareAddress> hardwareAddresses(std::string_view netFolder = "/sys/class/net");

// A new random (version 4) UUID as 16 bytes. False only when the system cannot supply
// random bytes; then the bytes are zero.
bool newUuid(std::array<uint8_t, 16>* out);

// Lower-case hex digits of bytes ("%02x" each).
std::string bytesToHex(const uint8_t* bytes, size_t count);

// The version word the code above expects from the operating-system query. This system
// answers as a current NT-family workstation: 0x10000 (workstation product),
// 0x20000 (product type 1) and 0x200000 (major version 10), so tests like "any bit of 16
// or above" take the modern path.
uint32_t osVersionWord();

}  // namespace hqlv::platform
