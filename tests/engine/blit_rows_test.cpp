// Every vector variant of the 32-bit rectangle loops gives the reference loops' pixels, for
// every rule, row lengths around the vector widths and every destination alignment.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/render/blit_rows.h"

namespace hqlv::engine::blit {
namespace {

constexpr uint32_t kEdgeAlphas[] = {0, 1, 2, 127, 128, 129, 254, 255};

uint32_t Sample(std::mt19937& rng) {
    uint32_t a = rng() % 3 == 0 ? rng() & 0xFF : kEdgeAlphas[rng() % std::size(kEdgeAlphas)];
    uint32_t rgb = rng() & 0xFFFFFF;
    if (rng() % 8 == 0) rgb = rng() % 2 ? 0xFFFFFF : 0;
    return rgb | (a << 24);
}

TEST(BlitRows, ActiveIsTheBestRunnableVariant) {
    auto all = RunnableRows();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.front(), &ReferenceRows());
    EXPECT_EQ(&ActiveRows(), all.back());
#if defined(__x86_64__)
    EXPECT_NE(Sse2Rows(), nullptr);  // every x86-64 processor has SSE2
    EXPECT_GE(all.size(), 2u);
    if (__builtin_cpu_supports("avx2")) {
        EXPECT_EQ(&ActiveRows(), Avx2Rows());
    }
#endif
}

TEST(BlitRows, EveryVariantMatchesTheReference) {
    const RowKernels& ref = ReferenceRows();
    const RowArgs argSets[] = {{0, 0, 0},
                               {1, 0x123456, 0},
                               {128, 0xFFFFFF, 127},
                               {254, 0x00FF00, 254},
                               {255, 0xABCDEF, 255},
                               {200, 0x010203, 1}};
    std::mt19937 rng(7);
    constexpr int kStride = 48, kRows = 3;
    for (const RowKernels* v : RunnableRows()) {
        if (v == &ref) continue;
        for (int kind = 0; kind < kRowKinds; ++kind) {
            for (const RowArgs& args : argSets) {
                for (int w : {0, 1, 3, 4, 5, 7, 8, 9, 12, 15, 16, 17, 23, 31, 33, 40}) {
                    for (int off = 0; off < 8; ++off) {
                        std::vector<uint32_t> src(kStride * kRows), dst(kStride * kRows + 8);
                        for (auto& p : src) p = Sample(rng);
                        for (auto& p : dst) p = Sample(rng);
                        std::vector<uint32_t> want = dst;
                        ref.op[kind](want.data() + off, kStride, src.data() + 1, kStride, w, kRows,
                                     args);
                        v->op[kind](dst.data() + off, kStride, src.data() + 1, kStride, w, kRows,
                                    args);
                        ASSERT_EQ(dst, want) << v->name << " rule " << kind << " width " << w
                                             << " offset " << off << " f " << args.f;
                    }
                }
            }
        }
    }
}

TEST(BlitRows, CopyAndGatherMatchTheReference) {
    const RowKernels& ref = ReferenceRows();
    std::mt19937 rng(11);
    constexpr int kStride = 600, kRows = 4;
    std::vector<uint32_t> src(kStride * kRows);
    for (auto& p : src) p = rng();
    for (const RowKernels* v : RunnableRows()) {
        if (v == &ref) continue;
        for (int w : {0, 1, 3, 7, 8, 9, 15, 16, 17, 40, 255, 256, 300, 599}) {
            for (int off = 0; off < 8; ++off) {
                std::vector<uint32_t> dst(kStride * kRows + 8, 0x5A5A5A5Au), want = dst;
                ref.copy(want.data() + off, kStride, src.data() + 1, kStride, w, kRows);
                v->copy(dst.data() + off, kStride, src.data() + 1, kStride, w, kRows);
                ASSERT_EQ(dst, want) << v->name << " copy width " << w << " offset " << off;

                std::vector<int> rows{3, 0, 0, 2}, cols(static_cast<size_t>(w));
                for (auto& c : cols) c = int(rng() % kStride);
                std::fill(dst.begin(), dst.end(), 0x5A5A5A5Au);
                want = dst;
                ref.gather(want.data() + off, kStride, src.data(), kStride, rows.data(), kRows,
                           cols.data(), w);
                v->gather(dst.data() + off, kStride, src.data(), kStride, rows.data(), kRows,
                          cols.data(), w);
                ASSERT_EQ(dst, want) << v->name << " gather width " << w << " offset " << off;
            }
        }
    }
}

}  // namespace
}  // namespace hqlv::engine::blit
