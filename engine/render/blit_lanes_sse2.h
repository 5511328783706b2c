#pragma once
// SSE2's 32-bit lanes for the row kernel: the whole vector of the SSE2 variant, and the
// half vector the AVX2 variant uses at the ends of a row. Internal to each file that
// includes it, so each instruction set builds its own copy.
#include <emmintrin.h>

#include <cstdint>

#include "engine/render/blit_kernel.h"

namespace hqlv::engine::blit {
namespace {

struct Sse2 {
    using R = __m128i;
    static constexpr int N = 4;
    static R Load(const uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const R*>(p)); }
    static void Store(uint32_t* p, R v) { _mm_storeu_si128(reinterpret_cast<R*>(p), v); }
    static R Set(uint32_t v) { return _mm_set1_epi32(static_cast<int>(v)); }
    static R And(R a, R b) { return _mm_and_si128(a, b); }
    static R Or(R a, R b) { return _mm_or_si128(a, b); }
    static R AndNot(R a, R b) { return _mm_andnot_si128(a, b); }  // ~a & b
    template <int n>
    static R Srl32(R a) {
        return _mm_srli_epi32(a, n);
    }
    template <int n>
    static R Sll32(R a) {
        return _mm_slli_epi32(a, n);
    }
    template <int n>
    static R Sll16(R a) {
        return _mm_slli_epi16(a, n);
    }
    template <int n>
    static R Srl16(R a) {
        return _mm_srli_epi16(a, n);
    }
    static R Add16(R a, R b) { return _mm_add_epi16(a, b); }
    static R Sub16(R a, R b) { return _mm_sub_epi16(a, b); }
    static R Mul16(R a, R b) { return _mm_mullo_epi16(a, b); }
    static R Max16(R a, R b) { return _mm_max_epi16(a, b); }
    static R MaxU8(R a, R b) { return _mm_max_epu8(a, b); }
    static R MulHi16(R a, R b) { return _mm_mulhi_epu16(a, b); }
    // The fade factor of a sample's alpha byte.
    static Factor<Sse2> AlphaFactor(R s) {
        const R a = _mm_srli_epi32(s, 24);
        return Factor<Sse2>::Of(_mm_or_si128(a, _mm_slli_epi32(a, 16)));
    }
    static R Eq(R a, R b) { return _mm_cmpeq_epi32(a, b); }
    static R Gt(R a, R b) { return _mm_cmpgt_epi32(a, b); }
    // m ? a : b, lane by lane (m all ones or all zeros).
    static R Select(R m, R a, R b) {
        return _mm_or_si128(_mm_and_si128(m, a), _mm_andnot_si128(m, b));
    }
    static R Gather(const uint32_t* s, const int* cols) {
        return _mm_setr_epi32(static_cast<int>(s[cols[0]]), static_cast<int>(s[cols[1]]),
                              static_cast<int>(s[cols[2]]), static_cast<int>(s[cols[3]]));
    }
};

}  // namespace
}  // namespace hqlv::engine::blit
