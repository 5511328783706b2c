// Feeds arbitrary bytes to the ".pps" reader (and to the ".quad" palette record reader); a
// picture that loads is bound to a named palette and drawn, so the blitter (and the canvas's
// tiled background) also meets whatever the reader accepted.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/core/engine_log.h"
#include "engine/render/global_palette.h"
#include "engine/render/pps.h"
#include "fuzz_draw.h"
#include "platform/core/diag.h"

using namespace hqlv::engine;

namespace {

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}
uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

// Sets the magic and small sizes: a total decoded size near what the frames need, frame
// sizes near their pixels' (both may still disagree with them, as the reader allows), and
// part lengths that mostly stay inside the file. The raw bytes mostly claim sizes far beyond
// the file; this copy reaches the frame decoders with sizes that nearly agree.
void MakeSmall(std::vector<uint8_t>& b) {
    std::memcpy(b.data(), "pps", 3);
    b[3] = uint8_t(b[3] % 8);  // modes 1 to 6, and two that code nothing
    const uint32_t flags = Get32(b, 4);
    const uint16_t frames = uint16_t(1 + b[8] % 4), w = uint16_t(1 + b[10] % 48),
                   h = uint16_t(1 + b[12] % 48);
    b[8] = uint8_t(frames), b[9] = 0, b[10] = uint8_t(w), b[11] = 0, b[12] = uint8_t(h), b[13] = 0;
    b[29] = b[29] % 2;  // at most 511 palette entries
    const uint32_t ss = (flags & 0x6) ? ((flags & 0x8) ? 2 : 1) : 4;
    const uint32_t frameSize = uint32_t(w) * h * ss;
    // The total: the frames' sizes, or up to 63 bytes fewer or more.
    const int32_t slack = int32_t(b[14] % 128) - 64;
    Put32(b, 20, uint32_t(std::max<int64_t>(0, int64_t(frameSize) * frames + slack)));
    size_t pos = (flags & 0x2) ? 64 : (flags & 0x4) ? 32 + size_t(Get32(b, 28) & 0xFFFF) * 3 : 32;
    for (int k = 0; k < frames && pos + 20 <= b.size(); ++k) {
        const uint32_t ff = Get32(b, pos);
        Put32(b, pos, ff & 0x25);
        // The frame's size: one of the three layouts of width x height, or a near miss.
        const uint32_t layouts[] = {uint32_t(w) * h * 4, uint32_t(w) * h * 2, uint32_t(w) * h};
        const uint32_t size = layouts[(ff >> 8) % 3] + ((ff >> 10) & 1 ? (ff >> 11) % 9 : 0);
        Put32(b, pos + 16, size);
        const size_t room = b.size() - (pos + 20);
        // Lengths past the file are the reader's to cut; one byte in four keeps its own.
        const bool keep = ((ff >> 16) & 3) == 0;
        const uint32_t a =
            keep ? Get32(b, pos + 8) : uint32_t(std::min<size_t>(Get32(b, pos + 8), room));
        const uint32_t bl =
            keep ? Get32(b, pos + 12) : uint32_t(std::min<size_t>(Get32(b, pos + 12), room - a));
        Put32(b, pos + 8, a);
        Put32(b, pos + 12, bl);
        if (keep) break;
        pos += 20 + size_t(a) + bl;
    }
}

void DecodeAndDraw(const uint8_t* data, size_t size) {
    static GlobalPalette palette = [] {
        GlobalPalette p;
        std::vector<uint8_t> rgb(768);
        for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 7);
        p.Set(rgb.data(), 256, "fuzz");
        return p;
    }();
    EnginePicture pic;
    if (ParsePpsHeader({data, size}, pic) == 0) return;
    if (!BindPpsPalette(pic, &palette)) return;

    fuzz::DrawAnyWay(pic, size ? data[size - 1] : 0);
    fuzz::DrawAsTiledBackground(pic);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool quiet = [] {
        hqlv::platform::setDiagSink([](std::string_view) {});
        // The reader's failure lines go to the engine log: into a folder that does not
        // exist, so they are dropped instead of filling the disk.
        SetEngineLogFolder("/nonexistent-hqlv-fuzz-log");
        return true;
    }();
    (void)quiet;

    // The raw bytes exercise the header as it comes; a copy with small sizes reaches the
    // frame decoders.
    // A picture of megabytes costs the run its speed and finds nothing a small one does not:
    // such totals (below the reader's own limit, which is still tried) are left out.
    const uint32_t total = size >= 24 ? uint32_t(data[20]) | uint32_t(data[21]) << 8 |
                                            uint32_t(data[22]) << 16 | uint32_t(data[23]) << 24
                                      : 0;
    if (total <= (4u << 20) || total > kPpsMaxDecodedSize) DecodeAndDraw(data, size);
    // The same bytes as a ".quad" palette record.
    GlobalPalette quad;
    if (quad.Load({data, size})) (void)quad.FindNearest(data[0], size, 7);
    if (size >= 32) {
        std::vector<uint8_t> fixed(data, data + size);
        MakeSmall(fixed);
        DecodeAndDraw(fixed.data(), fixed.size());
    }
    return 0;
}
