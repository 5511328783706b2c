// The reference rectangle loops and the load-time choice among the variants.
#include "engine/render/blit_rows.h"

#include "engine/render/blit_internal.h"

namespace hqlv::engine::blit {
namespace {

template <class Op>
void Rect32(uint32_t* d, size_t dstride, const uint32_t* s, size_t sstride, int w, int h, Op op) {
    for (int i = 0; i < h; ++i) {
        uint32_t* dr = d + size_t(i) * dstride;
        const uint32_t* sr = s + size_t(i) * sstride;
        for (int j = 0; j < w; ++j) dr[j] = op(sr[j], dr[j]);
    }
}

template <RowKind K>
void RefRect(uint32_t* d, size_t ds, const uint32_t* s, size_t ss, int w, int h, const RowArgs& a) {
    if constexpr (K == kKeyedCopy) Rect32(d, ds, s, ss, w, h, KeyedCopy{});
    if constexpr (K == kKeyedFadeDst) Rect32(d, ds, s, ss, w, h, KeyedFadeDst{a.f});
    if constexpr (K == kKeyedFadeTint) Rect32(d, ds, s, ss, w, h, KeyedFadeTint{a.f, a.tc});
    if constexpr (K == kRgbaTintScaled)
        Rect32(d, ds, s, ss, w, h, RgbaTint<true>{a.f, a.tc, a.tt, false});
    if constexpr (K == kRgbaTint)
        Rect32(d, ds, s, ss, w, h, RgbaTint<false>{a.f, a.tc, a.tt, false});
    if constexpr (K == kRgbaBlendScaled) Rect32(d, ds, s, ss, w, h, RgbaBlend<true>{a.f});
    if constexpr (K == kRgbaBlend) Rect32(d, ds, s, ss, w, h, RgbaBlend<false>{a.f});
    if constexpr (K == kOntoOpaqueTintScaled)
        Rect32(d, ds, s, ss, w, h, RgbaOntoOpaqueTint<true>{a.f, a.tc, a.tt});
    if constexpr (K == kOntoOpaqueTint)
        Rect32(d, ds, s, ss, w, h, RgbaOntoOpaqueTint<false>{a.f, a.tc, a.tt});
    if constexpr (K == kOntoOpaqueScaled) Rect32(d, ds, s, ss, w, h, RgbaOntoOpaque<true>{a.f});
    if constexpr (K == kOntoOpaque) Rect32(d, ds, s, ss, w, h, RgbaOntoOpaque<false>{a.f});
}

void RefCopy(uint32_t* d, size_t dstride, const uint32_t* s, size_t sstride, int w, int h) {
    for (int i = 0; i < h; ++i) {
        for (int j = 0; j < w; ++j) d[size_t(i) * dstride + j] = s[size_t(i) * sstride + j];
    }
}

void RefGather(uint32_t* d, size_t dstride, const uint32_t* s, size_t sstride, const int* rows,
               int h, const int* cols, int n) {
    for (int i = 0; i < h; ++i) {
        const uint32_t* sr = s + size_t(rows[i]) * sstride;
        for (int j = 0; j < n; ++j) d[size_t(i) * dstride + j] = sr[cols[j]];
    }
}

constexpr RowKernels kReference{
    "reference",
    {&RefRect<kKeyedCopy>, &RefRect<kKeyedFadeDst>, &RefRect<kKeyedFadeTint>,
     &RefRect<kRgbaTintScaled>, &RefRect<kRgbaTint>, &RefRect<kRgbaBlendScaled>,
     &RefRect<kRgbaBlend>, &RefRect<kOntoOpaqueTintScaled>, &RefRect<kOntoOpaqueTint>,
     &RefRect<kOntoOpaqueScaled>, &RefRect<kOntoOpaque>},
    &RefCopy,
    &RefGather};

bool CanRun(const RowKernels* k) {
    if (!k) return false;
#if defined(__x86_64__) || defined(__i386__)
    if (k == Avx2Rows()) return __builtin_cpu_supports("avx2");
#endif
    return true;
}

const RowKernels& Choose() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();  // may run before the library has read the processor's features
#endif
    if (CanRun(Avx2Rows())) return *Avx2Rows();
    if (CanRun(Sse2Rows())) return *Sse2Rows();
    return kReference;
}

// Chosen while the program loads, before any draw.
const RowKernels& gActive = Choose();

}  // namespace

const RowKernels& ReferenceRows() {
    return kReference;
}

const RowKernels& ActiveRows() {
    return gActive;
}

std::vector<const RowKernels*> RunnableRows() {
    std::vector<const RowKernels*> out{&kReference};
    for (const RowKernels* k : {Sse2Rows(), Avx2Rows()}) {
        if (CanRun(k)) out.push_back(k);
    }
    return out;
}

}  // namespace hqlv::engine::blit
