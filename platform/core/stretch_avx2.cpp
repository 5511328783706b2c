// The scaler's row loops in AVX2 (this file alone is compiled with -mavx2; the loader uses
// it only on processors that have the instructions): eight pixels per step. A blend is one
// byte multiply-add of the pairs (128 − w, w) and (a − 128, b − 128), the unsigned weights
// times the samples moved into the signed range: w-weighted sums of −16 384 to 16 256,
// which 16-bit lanes hold without saturating; adding 128 × 128 + 64 back and shifting by 7
// gives the rounded blend.
#include "platform/core/stretch_rows.h"

#if defined(__AVX2__)
#include <immintrin.h>

namespace hqlv::platform::stretch {
namespace {

// Byte pairs (a, b) of interleaved samples, weight pairs (128 − w, w).
__m256i Blend16(__m256i pairs, __m256i weights) {
    const __m256i sum =
        _mm256_maddubs_epi16(weights, _mm256_xor_si256(pairs, _mm256_set1_epi8(-128)));
    return _mm256_srli_epi16(_mm256_add_epi16(sum, _mm256_set1_epi16(128 * 128 + 64)), 7);
}

void BlendRows(uint32_t* out, const uint32_t* a, const uint32_t* b, int n, uint32_t w) {
    const __m256i wv = _mm256_set1_epi16(static_cast<short>((w << 8) | (128 - w)));
    int i = 0;
    // Unpacking and packing both work within 128-bit halves, so the pixel order holds.
    for (; i + 8 <= n; i += 8) {
        const __m256i va = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i));
        const __m256i vb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
        const __m256i lo = Blend16(_mm256_unpacklo_epi8(va, vb), wv);
        const __m256i hi = Blend16(_mm256_unpackhi_epi8(va, vb), wv);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_packus_epi16(lo, hi));
    }
    ReferenceKernels().blendRows(out + i, a + i, b + i, n - i, w);
}

// The left and right samples of eight target pixels, in the lane order 0 1 4 5 2 3 6 7 (the
// order in-half unpacking turns into 0-3 and 4-7). Enlarging, or shrinking by up to two,
// the samples of eight neighbouring targets lie within 16 source pixels from the first
// one, so one or two loads and lane permutes fetch them; only steeper shrinking needs
// gathers (slow on processors that guard them against data sampling).
struct Samples {
    __m256i left, right;
};

Samples Fetch(const uint32_t* in, const int32_t* x0) {
    const __m256i at =
        _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(x0)),
                                    _mm256_setr_epi32(0, 1, 4, 5, 2, 3, 6, 7));
    const int32_t first = x0[0], span = x0[7] - first;  // columns never step back
    const __m256i rel = _mm256_sub_epi32(at, _mm256_set1_epi32(first));
    const __m256i relRight = _mm256_add_epi32(rel, _mm256_set1_epi32(1));
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + first));
    if (span <= 6) {
        return {_mm256_permutevar8x32_epi32(low, rel), _mm256_permutevar8x32_epi32(low, relRight)};
    }
    if (span <= 14) {
        // The permute reads the low three bits of an index; the comparison picks the load.
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + first + 8));
        const __m256i seven = _mm256_set1_epi32(7);
        const auto pick = [&](__m256i idx) {
            return _mm256_blendv_epi8(_mm256_permutevar8x32_epi32(low, idx),
                                      _mm256_permutevar8x32_epi32(high, idx),
                                      _mm256_cmpgt_epi32(idx, seven));
        };
        return {pick(rel), pick(relRight)};
    }
    const int* base = reinterpret_cast<const int*>(in);
    return {_mm256_i32gather_epi32(base, at, 4), _mm256_i32gather_epi32(base + 1, at, 4)};
}

void ScaleRow(uint32_t* out, const uint32_t* in, const int32_t* x0, const uint8_t* wb, int n) {
    int j = 0;
    for (; j + 8 <= n; j += 8) {
        const Samples s = Fetch(in, x0 + j);
        const __m256i w0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(wb + 8 * j));
        const __m256i w1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(wb + 8 * j + 32));
        const __m256i lo = Blend16(_mm256_unpacklo_epi8(s.left, s.right), w0);  // pixels 0-3
        const __m256i hi = Blend16(_mm256_unpackhi_epi8(s.left, s.right), w1);  // pixels 4-7
        // The pack interleaves the halves: 0-1, 4-5, 2-3, 6-7; put them back in order.
        const __m256i packed = _mm256_packus_epi16(lo, hi);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + j),
                            _mm256_permute4x64_epi64(packed, 0xD8));
    }
    ReferenceKernels().scaleRow(out + j, in, x0 + j, wb + 8 * j, n - j);
}

constexpr StretchKernels kAvx2{"avx2", &BlendRows, &ScaleRow};

}  // namespace

const StretchKernels* Avx2Kernels() {
    return &kAvx2;
}

}  // namespace hqlv::platform::stretch

#else

namespace hqlv::platform::stretch {
const StretchKernels* Avx2Kernels() {
    return nullptr;
}
}  // namespace hqlv::platform::stretch

#endif
