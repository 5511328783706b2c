#pragma once
// MD5 (RFC 1321) with an optional seed state.
#include <cstddef>
#include <cstdint>

namespace hqlv::netlib {

struct YrnMD5Context {
    uint32_t bits[2] = {0, 0};  // message length in bits, low word first
    uint32_t state[4] = {0, 0, 0, 0};
    uint8_t block[64] = {};
    uint8_t digest[16] = {};
};

// seed: four state words, or null for the standard initial values.
void YrnMD5Init(YrnMD5Context& ctx, const uint32_t* seed = nullptr);
void YrnMD5Update(YrnMD5Context& ctx, const void* bytes, size_t n);
// Pads, and stores the 16-byte digest in ctx.digest.
void YrnMD5Final(YrnMD5Context& ctx);

}  // namespace hqlv::netlib
