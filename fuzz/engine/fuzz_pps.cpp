// Feeds arbitrary bytes to the ".pps" reader; a picture that loads is bound to a named
// palette and drawn, so the blitter also meets whatever the reader accepted.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/render/blitter.h"
#include "engine/render/global_palette.h"
#include "engine/render/pps.h"
#include "platform/core/diag.h"

using namespace hqlv::engine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool quiet = [] {
        hqlv::platform::setDiagSink([](std::string_view) {});
        return true;
    }();
    (void)quiet;
    static GlobalPalette palette = [] {
        GlobalPalette p;
        std::vector<uint8_t> rgb(768);
        for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 7);
        p.Set(rgb.data(), 256, "fuzz");
        return p;
    }();

    EnginePicture pic;
    if (ParsePpsHeader({data, size}, pic) == 0) return 0;
    if (!BindPpsPalette(pic, &palette)) return 0;

    std::vector<uint32_t> pixels(32 * 32, 0x80808080u);
    DrawSurface surface{pixels.data(), 32, 32, 4, kNoColour};
    const uint8_t sel = size ? data[size - 1] : 0;
    BlitParams p;
    p.drawX = p.centreX = 16;
    p.drawY = p.centreY = 16;
    p.width = (sel & 1) ? 24 : pic.width;
    p.height = (sel & 1) ? 20 : pic.frameHeight;
    p.angle = (sel & 2) ? 37.0 : 0.0;
    p.flags = (sel & 4) ? BLIT_SMOOTH : 0;
    if (sel & 8) p.flags |= BLIT_INVERT;
    const int frame = pic.frameCount ? (sel >> 4) % pic.frameCount : 0;
    DrawImageEx(surface, p, pic, 0, frame * pic.frameHeight, pic.width, pic.frameHeight,
                (sel & 0x40) ? 0.5 : 1.0, (sel & 0x80) ? 0x40102030u : kNoColour);
    return 0;
}
