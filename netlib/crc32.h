#pragma once
// CRC-32 of the packets (the reflected ISO-HDLC polynomial, as zlib computes it).
#include <cstddef>
#include <cstdint>

namespace hqlv::netlib {

class CYrnCrc32 {
public:
    CYrnCrc32() = default;
    // CRC of n bytes; 0 when data is null or n is 0. The third argument names a progress
    // target; none is ever given, so the CRC is always computed at once.
    uint32_t Compute(const void* data, size_t n, uint32_t progressTarget = 0) const;
    // Continues a running CRC (start with 0).
    static uint32_t Update(uint32_t crc, const void* data, size_t n);
    // Continues a running CRC over n bytes with bytes [zeroFrom, zeroTo) taken as zeros
    // (the bounds are cut to n); the bytes themselves are not changed.
    static uint32_t UpdateZeroed(uint32_t crc, const void* data, size_t n, size_t zeroFrom,
                                 size_t zeroTo);
};

}  // namespace hqlv::netlib
