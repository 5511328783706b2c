// The row kernel built for SSE2, the baseline of every x86-64 processor.
#include "engine/render/blit_rows.h"

#if defined(__x86_64__) || defined(__i386__)
#include "engine/render/blit_kernel.h"
#include "engine/render/blit_lanes_sse2.h"

namespace hqlv::engine::blit {
namespace {

constexpr RowKernels kSse2 = MakeRowKernels<Sse2>("sse2");

}  // namespace

const RowKernels* Sse2Rows() {
    return &kSse2;
}

}  // namespace hqlv::engine::blit

#else

namespace hqlv::engine::blit {
const RowKernels* Sse2Rows() {
    return nullptr;
}
}  // namespace hqlv::engine::blit

#endif
