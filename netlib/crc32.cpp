#include "netlib/crc32.h"

#include <libdeflate.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

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

// The CRC of n bytes (n >= kWideMin) with bytes [zeroFrom, zeroTo) of the first 32 taken as
// zeros (zeroFrom <= zeroTo <= 32).
__attribute__((target("avx2,pclmul,vpclmulqdq"))) uint32_t crcWide(uint32_t crc, const uint8_t* p,
                                                                   size_t n, int zeroFrom = 0,
                                                                   int zeroTo = 0) {
    const __m256i k = _mm256_setr_epi64x(kX1056, kX992, kX1056, kX992);
    // The hole is cleared in the register: byte i is kept unless zeroFrom <= i < zeroTo.
    const __m256i index =
        _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
                         21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
    const __m256i hole =
        _mm256_andnot_si256(_mm256_cmpgt_epi8(_mm256_set1_epi8(static_cast<char>(zeroFrom)), index),
                            _mm256_cmpgt_epi8(_mm256_set1_epi8(static_cast<char>(zeroTo)), index));
    // Starting from a running CRC is the same as starting from none with the first four
    // bytes changed by it.
    __m256i a0 =
        _mm256_xor_si256(_mm256_andnot_si256(hole, load(p)),
                         _mm256_zextsi128_si256(_mm_cvtsi32_si128(static_cast<int>(~crc))));
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

// Processors with 512-bit registers fold 256 bytes a step (four 64-byte accumulators), then
// one 64-byte and the 16-byte lanes, so that only the folded 16 and under 16 bytes go through
// libdeflate. x^(d+32) and x^(d-32) as above, for d = 2048 bits (one step) and 512 bits.
constexpr long long kX2080 = 0x11542778a, kX2016 = 0x1322d1430, kX544 = 0x154442bd4,
                    kX480 = 0x1c6e41596;

#define HQLV_CRC_512 "avx512f,avx512bw,avx512vl,pclmul,vpclmulqdq"
__attribute__((target(HQLV_CRC_512))) inline __m512i fold512(__m512i acc, __m512i k, __m512i next) {
    const __m512i lo = _mm512_clmulepi64_epi128(acc, k, 0x00);
    const __m512i hi = _mm512_clmulepi64_epi128(acc, k, 0x11);
    return _mm512_ternarylogic_epi64(lo, hi, next, 0x96);  // lo ^ hi ^ next
}

__attribute__((target(HQLV_CRC_512))) uint32_t crcWide512(uint32_t crc, const uint8_t* p, size_t n,
                                                          int zeroFrom, int zeroTo) {
    const __m512i k =
        _mm512_set_epi64(kX2016, kX2080, kX2016, kX2080, kX2016, kX2080, kX2016, kX2080);
    // Byte i of the first 64 is kept unless zeroFrom <= i < zeroTo.
    const uint64_t hole = (zeroTo >= 64 ? ~0ull : (1ull << zeroTo) - 1) & ~((1ull << zeroFrom) - 1);
    __m512i a0 = _mm512_xor_si512(
        _mm512_maskz_loadu_epi8(~hole, p),
        _mm512_setr_epi32(static_cast<int>(~crc), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
    __m512i a1 = _mm512_loadu_si512(p + 64), a2 = _mm512_loadu_si512(p + 128),
            a3 = _mm512_loadu_si512(p + 192);
    p += 256;
    n -= 256;
    for (; n >= 256; p += 256, n -= 256) {
        a0 = fold512(a0, k, _mm512_loadu_si512(p));
        a1 = fold512(a1, k, _mm512_loadu_si512(p + 64));
        a2 = fold512(a2, k, _mm512_loadu_si512(p + 128));
        a3 = fold512(a3, k, _mm512_loadu_si512(p + 192));
    }
    const __m512i k64 = _mm512_set_epi64(kX480, kX544, kX480, kX544, kX480, kX544, kX480, kX544);
    a0 = fold512(a0, k64, a1);
    a0 = fold512(a0, k64, a2);
    a0 = fold512(a0, k64, a3);
    for (; n >= 64; p += 64, n -= 64) a0 = fold512(a0, k64, _mm512_loadu_si512(p));
    const __m128i k1 = _mm_set_epi64x(kX96, kX160);
    __m128i x = _mm512_maskz_extracti32x4_epi32(0xF, a0, 0);
    // (The zero-masked extract: the plain one draws a false "uninitialised" warning.)
    x = fold128(x, k1, _mm512_maskz_extracti32x4_epi32(0xF, a0, 1));
    x = fold128(x, k1, _mm512_maskz_extracti32x4_epi32(0xF, a0, 2));
    x = fold128(x, k1, _mm512_maskz_extracti32x4_epi32(0xF, a0, 3));
    for (; n >= 16; p += 16, n -= 16)
        x = fold128(x, k1, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    if (n > 0) {
        // The folded 16 bytes and the r = n < 16 left make 16 + r: their first r bytes, led by
        // zeros (which change no remainder), are folded onto the last 16, which are x moved
        // down by r with the r bytes behind it (the message's own last 16 bytes supply them).
        const __m128i iota = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
        const __m128i r = _mm_set1_epi8(static_cast<char>(n));
        // Shuffle indexes with the top bit set give zero bytes.
        __m128i down = _mm_add_epi8(iota, r);
        down = _mm_or_si128(down, _mm_cmpgt_epi8(down, _mm_set1_epi8(15)));
        const __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 16));
        const __m128i fromLast = _mm_cmpgt_epi8(iota, _mm_sub_epi8(_mm_set1_epi8(15), r));
        const __m128i rest = _mm_blendv_epi8(_mm_shuffle_epi8(x, down), last, fromLast);
        x = fold128(_mm_shuffle_epi8(x, _mm_sub_epi8(iota, _mm_sub_epi8(_mm_set1_epi8(16), r))), k1,
                    rest);
    }
    alignas(16) uint8_t folded[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(folded), x);
    return libdeflate_crc32(0xFFFFFFFFu, folded, sizeof folded);
}

const bool kHasWide512 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("vpclmulqdq") &&
           __builtin_cpu_supports("pclmul");
}();

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
    if (n >= kWideMin && data && kHasWide512)
        return crcWide512(crc, static_cast<const uint8_t*>(data), n, 0, 0);
    if (n >= kWideMin && data && kHasWide)
        return crcWide(crc, static_cast<const uint8_t*>(data), n);
#endif
    return libdeflate_crc32(crc, data, n);
}

uint32_t CYrnCrc32::UpdateZeroed(uint32_t crc, const void* data, size_t n, size_t zeroFrom,
                                 size_t zeroTo) {
    if (!data || n == 0) return Update(crc, data, n);
    zeroTo = std::min(zeroTo, n);
    zeroFrom = std::min(zeroFrom, zeroTo);
    const auto* p = static_cast<const uint8_t*>(data);
#ifdef HQLV_CRC_WIDE
    // A hole in the first 32 bytes is cleared in the register, in the same pass.
    if (n >= kWideMin && zeroTo <= 64 && kHasWide512)
        return crcWide512(crc, p, n, static_cast<int>(zeroFrom), static_cast<int>(zeroTo));
    if (n >= kWideMin && zeroTo <= 32 && kHasWide)
        return crcWide(crc, p, n, static_cast<int>(zeroFrom), static_cast<int>(zeroTo));
#endif
    static const uint8_t kZeros[64] = {};
    crc = Update(crc, p, zeroFrom);
    for (size_t at = zeroFrom; at < zeroTo;) {
        const size_t k = std::min(sizeof kZeros, zeroTo - at);
        crc = Update(crc, kZeros, k);
        at += k;
    }
    return Update(crc, p + zeroTo, n - zeroTo);
}

namespace {

// One CRC on a worker thread: a copy of the data, the progress window and the thread's own
// handle (known before the thread runs, so that its last message can carry it).
struct CrcJob {
    std::vector<uint8_t> data;
    platform::Handle window = 0;
    uint32_t thread = 0;
};

uint32_t NewCrcThreadHandle() {
    static std::atomic<uint32_t> next{0};
    uint32_t h;
    do h = next.fetch_add(1) + 1;
    while (h == 0);
    return h;
}

void PostTo(platform::Handle target, uint32_t id, uintptr_t w, intptr_t l) {
    platform::Message m;
    m.id = id;
    m.w = w;
    m.l = l;
    platform::post(target, m);
}

void RunCrcJob(std::unique_ptr<CrcJob> job) {
    PostTo(job->window, kMsgProgressSetPos, 0, 0);
    PostTo(job->window, kMsgProgressSetRange, 0, 100);
    const size_t n = job->data.size();
    uint32_t crc = 0;
    for (size_t done = 0; done < n;) {
        const size_t step = std::min(kCrcProgressBlock, n - done);
        crc = CYrnCrc32::Update(crc, job->data.data() + done, step);
        done += step;
        PostTo(job->window, kMsgProgressSetPos, uintptr_t(done * 100 / n), 0);
    }
    if (platform::isAlive(job->window))
        PostTo(platform::parentOf(job->window), kMsgCrcDone, job->thread, intptr_t(crc));
}

}  // namespace

uint32_t CYrnCrc32::Compute(const void* data, size_t n, platform::Handle window) const {
    if (!data || n == 0) return 0;
    if (!platform::isAlive(window)) return Update(0, data, n);
    auto job = std::make_unique<CrcJob>();
    const auto* p = static_cast<const uint8_t*>(data);
    job->data.assign(p, p + n);
    job->window = window;
    job->thread = NewCrcThreadHandle();
    const uint32_t handle = job->thread;
    std::thread(RunCrcJob, std::move(job)).detach();
    return handle;
}

}  // namespace hqlv::netlib
