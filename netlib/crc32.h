#pragma once
// CRC-32 of the packets (the reflected ISO-HDLC polynomial, as zlib computes it).
#include <cstddef>
#include <cstdint>

#include "platform/core/message.h"

namespace hqlv::netlib {

// What a CRC worker thread posts. To its progress window: the position (w: percent) and
// the range (w: low, l: high). To the window's parent at the end: w the thread's handle,
// l the CRC.
inline constexpr uint32_t kMsgProgressSetPos = 0x402;
inline constexpr uint32_t kMsgProgressSetRange = 0x406;
inline constexpr uint32_t kMsgCrcDone = 0xADB1;
// The worker computes in blocks of this many bytes, reporting after each.
inline constexpr size_t kCrcProgressBlock = 102400;

class CYrnCrc32 {
public:
    CYrnCrc32() = default;
    // CRC of n bytes; 0 when data is null or n is 0. With a live progress window the work
    // goes to a worker thread on a copy of the data, and the result is the thread's handle
    // (never 0): the window sees its range set to 0-100 and the percentage after every
    // block, and its parent gets kMsgCrcDone with the handle and the CRC (when the window
    // is still there at the end).
    uint32_t Compute(const void* data, size_t n, platform::Handle window = 0) const;
    // Continues a running CRC (start with 0).
    static uint32_t Update(uint32_t crc, const void* data, size_t n);
    // Continues a running CRC over n bytes with bytes [zeroFrom, zeroTo) taken as zeros
    // (the bounds are cut to n); the bytes themselves are not changed.
    static uint32_t UpdateZeroed(uint32_t crc, const void* data, size_t n, size_t zeroFrom,
                                 size_t zeroTo);
};

}  // namespace hqlv::netlib
