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

// The release numbers of the running kernel, as the operating-system version query gives
// them: "6.1.0-18-amd64" is major 6, minor 1, build 0.
struct KernelRelease {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
};
// Reads the leading "major.minor[.build]" numbers of a release text; false when it does
// not begin with a number and a dot and a number (or a number is out of range).
bool parseKernelRelease(std::string_view release, KernelRelease* out);
// The running kernel's release (uname); false when it cannot be read.
bool kernelRelease(KernelRelease* out);

// The product type the system names, as the registry's "ProductType" value would: this
// client runs on desktops, so "WINNT" (a workstation).
std::string productTypeText();

}  // namespace hqlv::platform
