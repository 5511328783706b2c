// The row kernel built for AVX2 (this file alone is compiled with -mavx2; the loader uses it
// only on processors that have the instructions).
#include "engine/render/blit_rows.h"

#if defined(__AVX2__)
#include <immintrin.h>

#include "engine/render/blit_kernel.h"
#include "engine/render/blit_lanes_sse2.h"

namespace hqlv::engine::blit {
namespace {

struct Avx2 {
    using R = __m256i;
    static constexpr int N = 8;
    // The ends of a row, and the first pixels up to a 32-byte boundary, go through half
    // vectors: masked stores stall the loads after them, and a store across two cache
    // lines costs double.
    using Half = Sse2;
    static R Load(const uint32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const R*>(p)); }
    static void Store(uint32_t* p, R v) { _mm256_storeu_si256(reinterpret_cast<R*>(p), v); }
    static R Set(uint32_t v) { return _mm256_set1_epi32(static_cast<int>(v)); }
    static R And(R a, R b) { return _mm256_and_si256(a, b); }
    static R Or(R a, R b) { return _mm256_or_si256(a, b); }
    static R AndNot(R a, R b) { return _mm256_andnot_si256(a, b); }  // ~a & b
    template <int n>
    static R Srl32(R a) {
        return _mm256_srli_epi32(a, n);
    }
    template <int n>
    static R Sll32(R a) {
        return _mm256_slli_epi32(a, n);
    }
    template <int n>
    static R Sll16(R a) {
        return _mm256_slli_epi16(a, n);
    }
    template <int n>
    static R Srl16(R a) {
        return _mm256_srli_epi16(a, n);
    }
    static R Add16(R a, R b) { return _mm256_add_epi16(a, b); }
    static R Sub16(R a, R b) { return _mm256_sub_epi16(a, b); }
    static R Mul16(R a, R b) { return _mm256_mullo_epi16(a, b); }
    static R Max16(R a, R b) { return _mm256_max_epi16(a, b); }
    static R MaxU8(R a, R b) { return _mm256_max_epu8(a, b); }
    static R MulHi16(R a, R b) { return _mm256_mulhi_epu16(a, b); }
    // The fade factor of a sample's alpha byte: one byte shuffle for each half's multiplier.
    static Factor<Avx2> AlphaFactor(R s) {
        const R lo = _mm256_setr_epi8(3, -1, 3, -1, 7, -1, 7, -1, 11, -1, 11, -1, 15, -1, 15, -1, 3,
                                      -1, 3, -1, 7, -1, 7, -1, 11, -1, 11, -1, 15, -1, 15, -1);
        const R hi = _mm256_setr_epi8(-1, 3, -1, 3, -1, 7, -1, 7, -1, 11, -1, 11, -1, 15, -1, 15,
                                      -1, 3, -1, 3, -1, 7, -1, 7, -1, 11, -1, 11, -1, 15, -1, 15);
        return Factor<Avx2>::WithHigh(_mm256_shuffle_epi8(s, lo), _mm256_shuffle_epi8(s, hi));
    }
    static R Eq(R a, R b) { return _mm256_cmpeq_epi32(a, b); }
    static R Gt(R a, R b) { return _mm256_cmpgt_epi32(a, b); }
    // m ? a : b, lane by lane (m all ones or all zeros).
    static R Select(R m, R a, R b) { return _mm256_blendv_epi8(b, a, m); }
    static R Gather(const uint32_t* s, const int* cols) {
        return _mm256_i32gather_epi32(reinterpret_cast<const int*>(s),
                                      _mm256_loadu_si256(reinterpret_cast<const R*>(cols)), 4);
    }
};

constexpr RowKernels kAvx2 = MakeRowKernels<Avx2>("avx2");

}  // namespace

const RowKernels* Avx2Rows() {
    return &kAvx2;
}

}  // namespace hqlv::engine::blit

#else

namespace hqlv::engine::blit {
const RowKernels* Avx2Rows() {
    return nullptr;
}
}  // namespace hqlv::engine::blit

#endif
