// The scaler's row loops in SSE2: four pixels, sixteen bytes widened to 16-bit lanes, per
// step. A blend is computed as ((a << 7) + (b − a) × w + 64) >> 7 in 16-bit lanes: the
// exact sum never exceeds 32 704, so the wrap-around of the lanes cancels out.
#include "platform/core/stretch_rows.h"

#if defined(__SSE2__)
#include <emmintrin.h>

namespace hqlv::platform::stretch {
namespace {

// Two pixels' bytes in 16-bit lanes: a + (b − a) × w / 128, rounded.
__m128i Lerp16(__m128i a, __m128i b, __m128i w) {
    const __m128i sum =
        _mm_add_epi16(_mm_slli_epi16(a, 7), _mm_mullo_epi16(_mm_sub_epi16(b, a), w));
    return _mm_srli_epi16(_mm_add_epi16(sum, _mm_set1_epi16(64)), 7);
}

void BlendRows(uint32_t* out, const uint32_t* a, const uint32_t* b, int n, uint32_t w) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i wv = _mm_set1_epi16(static_cast<short>(w));
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
        const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        const __m128i lo = Lerp16(_mm_unpacklo_epi8(va, zero), _mm_unpacklo_epi8(vb, zero), wv);
        const __m128i hi = Lerp16(_mm_unpackhi_epi8(va, zero), _mm_unpackhi_epi8(vb, zero), wv);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
    }
    ReferenceKernels().blendRows(out + i, a + i, b + i, n - i, w);
}

// Pixel x and its right neighbour, as the low eight bytes.
__m128i Pair(const uint32_t* in, int32_t x) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + x));
}

// Two columns' weights, w four times each, from their 128 − w, w byte pairs.
__m128i Weights(const uint8_t* wb) {
    return _mm_srli_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(wb)), 8);
}

void ScaleRow(uint32_t* out, const uint32_t* in, const int32_t* x0, const uint8_t* wb, int n) {
    const __m128i zero = _mm_setzero_si128();
    int j = 0;
    for (; j + 4 <= n; j += 4) {
        // [L0 L1 R0 R1] and [L2 L3 R2 R3], then the four left and the four right pixels.
        const __m128i p01 = _mm_unpacklo_epi32(Pair(in, x0[j]), Pair(in, x0[j + 1]));
        const __m128i p23 = _mm_unpacklo_epi32(Pair(in, x0[j + 2]), Pair(in, x0[j + 3]));
        const __m128i left = _mm_unpacklo_epi64(p01, p23);
        const __m128i right = _mm_unpackhi_epi64(p01, p23);
        const __m128i w01 = Weights(wb + 8 * j);
        const __m128i w23 = Weights(wb + 8 * j + 16);
        const __m128i lo =
            Lerp16(_mm_unpacklo_epi8(left, zero), _mm_unpacklo_epi8(right, zero), w01);
        const __m128i hi =
            Lerp16(_mm_unpackhi_epi8(left, zero), _mm_unpackhi_epi8(right, zero), w23);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j), _mm_packus_epi16(lo, hi));
    }
    ReferenceKernels().scaleRow(out + j, in, x0 + j, wb + 8 * j, n - j);
}

constexpr StretchKernels kSse2{"sse2", &BlendRows, &ScaleRow};

}  // namespace

const StretchKernels* Sse2Kernels() {
    return &kSse2;
}

}  // namespace hqlv::platform::stretch

#else

namespace hqlv::platform::stretch {
const StretchKernels* Sse2Kernels() {
    return nullptr;
}
}  // namespace hqlv::platform::stretch

#endif
