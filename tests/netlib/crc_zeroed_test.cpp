// The CRC with a run of bytes taken as zeros (how a packet's own CRC fields are left out),
// against zlib's byte-wise function over a copy with that run cleared.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "netlib/crc32.h"

using hqlv::netlib::CYrnCrc32;

namespace {

std::vector<uint8_t> noise(size_t n) {
    std::vector<uint8_t> v(n);
    uint32_t x = 11;
    for (auto& b : v) b = static_cast<uint8_t>((x = x * 1103515245 + 12345) >> 23);
    return v;
}

uint32_t zlibZeroed(uint32_t start, const uint8_t* p, size_t n, size_t from, size_t to) {
    std::vector<uint8_t> copy(p, p + n);
    to = std::min(to, n);
    for (size_t i = from; i < to; ++i) copy[i] = 0;
    return static_cast<uint32_t>(crc32(start, copy.data(), static_cast<uInt>(n)));
}

}  // namespace

// Every length from the folding threshold through its first steps (each tail size once),
// holes at the front, at the edge of the first 32 and 64 bytes and beyond them, cut by n.
TEST(Crc32Zeroed, MatchesTheCrcOfAClearedCopy) {
    const auto bytes = noise(9000);
    std::vector<size_t> lengths = {1, 12, 19, 20, 21, 64, 255, 1000, 4060, 4096, 8191};
    for (size_t n = 256; n <= 600; ++n) lengths.push_back(n);
    const std::pair<size_t, size_t> holes[] = {{12, 20}, {0, 0},   {0, 1},     {31, 33},
                                               {0, 64},  {63, 65}, {100, 300}, {250, 9000},
                                               {23, 24}, {10, 23}};
    for (size_t offset : {size_t(0), size_t(5)})
        for (size_t n : lengths)
            for (auto [from, to] : holes)
                for (uint32_t start : {0u, 0xCBF43926u}) {
                    const uint8_t* p = bytes.data() + offset;
                    ASSERT_EQ(CYrnCrc32::UpdateZeroed(start, p, n, from, to),
                              zlibZeroed(start, p, n, std::min(from, n), to))
                        << offset << " " << n << " " << from << "-" << to << " " << start;
                }
}

TEST(Crc32Zeroed, EmptyInputKeepsTheRunningCrc) {
    const auto bytes = noise(16);
    EXPECT_EQ(CYrnCrc32::UpdateZeroed(0x1234, bytes.data(), 0, 0, 8), 0x1234u);
    EXPECT_EQ(CYrnCrc32::UpdateZeroed(0x1234, nullptr, 4096, 12, 20), 0u);
    // A hole that starts behind its end clears nothing.
    EXPECT_EQ(CYrnCrc32::UpdateZeroed(0, bytes.data(), 16, 9, 3),
              CYrnCrc32::Update(0, bytes.data(), 16));
}
