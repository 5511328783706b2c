// Feeds arbitrary bytes to the ".pps" reader (and to the ".quad" palette record reader); a
// picture that loads is bound to a named palette and drawn, so the blitter also meets
// whatever the reader accepted.
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

// Sets the magic, a small size, the total and every frame's decoded size to agree, and cuts
// the part lengths to the file.
void MakeConsistent(std::vector<uint8_t>& b) {
    std::memcpy(b.data(), "pps", 3);
    b[3] = uint8_t(1 + b[3] % 6);
    const uint32_t flags = Get32(b, 4);
    const uint16_t frames = uint16_t(1 + b[8] % 4), w = uint16_t(1 + b[10] % 48),
                   h = uint16_t(1 + b[12] % 48);
    b[8] = uint8_t(frames), b[9] = 0, b[10] = uint8_t(w), b[11] = 0, b[12] = uint8_t(h), b[13] = 0;
    b[29] = 0;  // at most 255 palette entries
    const uint32_t ss = (flags & 0x6) ? ((flags & 0x8) ? 2 : 1) : 4;
    const uint32_t frameSize = uint32_t(w) * h * ss;
    Put32(b, 20, frameSize * frames);
    size_t pos = (flags & 0x2) ? 64 : (flags & 0x4) ? 32 + size_t(b[28]) * 3 : 32;
    for (int k = 0; k < frames && pos + 20 <= b.size(); ++k) {
        uint32_t ff = Get32(b, pos) & 0x25;
        if (b[3] >= 3) {  // the frame's form must match the picture's
            ff = (ss == 4) ? (ff & 0x24) : (ss == 2 ? ff | 0x05 : (ff | 0x01) & ~0x04u);
        }
        Put32(b, pos, ff);
        Put32(b, pos + 16, frameSize);
        const size_t room = b.size() - (pos + 20);
        const uint32_t a = uint32_t(std::min<size_t>(Get32(b, pos + 8), room));
        const uint32_t bl = uint32_t(std::min<size_t>(Get32(b, pos + 12), room - a));
        Put32(b, pos + 8, a);
        Put32(b, pos + 12, bl);
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

    // The raw bytes exercise the refusals; a copy whose header sizes are made consistent
    // reaches the frame decoders.
    DecodeAndDraw(data, size);
    // The same bytes as a ".quad" palette record.
    GlobalPalette quad;
    if (quad.Load({data, size})) (void)quad.FindNearest(data[0], size, 7);
    if (size >= 32) {
        std::vector<uint8_t> fixed(data, data + size);
        MakeConsistent(fixed);
        DecodeAndDraw(fixed.data(), fixed.size());
    }
    return 0;
}
