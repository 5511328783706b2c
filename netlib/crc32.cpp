#include "netlib/crc32.h"

#include <libdeflate.h>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define HQLV_CRC_WIDE 1
#endif

namespace hqlv::netlib {

namespace {

#ifdef HQLV_CRC_WIDE
// Long runs are folded 128 bytes a step with the 256-bit carry-less multiply (four
// accumulators, two 128-bit lanes each), which the libdeflate we build against does not use;
// the folded 16 bytes and the tail then go through libdeflate. Folding keeps the remainder
// modulo the polynomial, so the CRC of the folded bytes followed by the tail is the CRC of the
// whole run. The constants are x^(d+32) and x^(d-32) modulo the polynomial, bit-reflected and
// shifted left once, for a folding distance d of 1024 bits (one step) and 128 bits (one lane).
constexpr size_t kWideMin = 256;
constexpr long long kX1056 = 0x1e88ef372, kX992 = 0x14a7fe880, kX160 = 0x1751997d0,
                    kX96 = 0x0ccaa009e;

__attribute__((target("avx2,pclmul,vpclmulqdq"))) inline __m256i fold256(__m256i acc, __m256i k,
                                                                         __m256i next) {
    const __m256i lo = _mm256_clmulepi64_epi128(acc, k, 0x00);
    const __m256i hi = _mm256_clmulepi64_epi128(acc, k, 0x11);
    return _mm256_xor_si256(_mm256_xor_si256(lo, hi), next);
}

__attribute__((target("avx2,pclmul,vpclmulqdq"))) inline __m128i fold128(__m128i acc, __m128i k,
                                                                         __m128i next) {
    const __m128i lo = _mm_clmulepi64_si128(acc, k, 0x00);
    const __m128i hi = _mm_clmulepi64_si128(acc, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(lo, hi), next);
}

__attribute__((target("avx2"))) inline __m256i load(const uint8_t* q) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q));
}

// n >= kWideMin.
__attribute__((target("avx2,pclmul,vpclmulqdq"))) uint32_t crcWide(uint32_t crc, const uint8_t* p,
                                                                   size_t n) {
    const __m256i k = _mm256_setr_epi64x(kX1056, kX992, kX1056, kX992);
    // Starting from a running CRC is the same as starting from none with the first four
    // bytes changed by it.
    __m256i a0 = _mm256_xor_si256(
        load(p), _mm256_zextsi128_si256(_mm_cvtsi32_si128(static_cast<int>(~crc))));
    __m256i a1 = load(p + 32), a2 = load(p + 64), a3 = load(p + 96);
    p += 128;
    n -= 128;
    for (; n >= 128; p += 128, n -= 128) {
        a0 = fold256(a0, k, load(p));
        a1 = fold256(a1, k, load(p + 32));
        a2 = fold256(a2, k, load(p + 64));
        a3 = fold256(a3, k, load(p + 96));
    }
    // The eight lanes in the order of their bytes, folded into one.
    const __m128i k1 = _mm_set_epi64x(kX96, kX160);
    __m128i x = _mm256_castsi256_si128(a0);
    x = fold128(x, k1, _mm256_extracti128_si256(a0, 1));
    const __m256i later[3] = {a1, a2, a3};
    for (const __m256i& a : later) {
        x = fold128(x, k1, _mm256_castsi256_si128(a));
        x = fold128(x, k1, _mm256_extracti128_si256(a, 1));
    }
    alignas(16) uint8_t folded[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(folded), x);
    // The folded bytes carry no running CRC: start them from all ones, which the library's
    // own inversion turns into none.
    const uint32_t c = libdeflate_crc32(0xFFFFFFFFu, folded, sizeof folded);
    return libdeflate_crc32(c, p, n);
}

const bool kHasWide = [] {
    __builtin_cpu_init();  // this runs before main
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("vpclmulqdq") &&
           __builtin_cpu_supports("pclmul");
}();
#endif

}  // namespace

// libdeflate's CRC-32 is the same function as zlib's, with the carry-less multiply
// instructions where the processor has them.
uint32_t CYrnCrc32::Update(uint32_t crc, const void* data, size_t n) {
#ifdef HQLV_CRC_WIDE
    if (n >= kWideMin && data && kHasWide)
        return crcWide(crc, static_cast<const uint8_t*>(data), n);
#endif
    return libdeflate_crc32(crc, data, n);
}

uint32_t CYrnCrc32::Compute(const void* data, size_t n, uint32_t /*progressTarget*/) const {
    if (!data || n == 0) return 0;
    return Update(0, data, n);
}

}  // namespace hqlv::netlib
