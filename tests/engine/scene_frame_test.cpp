#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <string>

#include "bench/engine/table_scene.h"
#include "engine/render/draw_layer.h"

namespace hqlv::engine {
namespace {

void Be32(std::string& s, uint32_t v) {
    for (int i = 3; i >= 0; --i) s += char((v >> (8 * i)) & 0xFF);
}
void Chunk(std::string& png, const char* type, const std::string& body) {
    Be32(png, uint32_t(body.size()));
    const std::string typed = std::string(type, 4) + body;
    png += typed;
    Be32(png, uint32_t(crc32(0, reinterpret_cast<const Bytef*>(typed.data()), uInt(typed.size()))));
}
// An RGB PNG of 0xAARRGGBB pixels.
bool WritePng(const std::string& path, const std::vector<uint32_t>& px, int w, int h) {
    std::string raw;
    for (int y = 0; y < h; ++y) {
        raw += char(0);
        for (int x = 0; x < w; ++x) {
            const uint32_t p = px[size_t(y) * size_t(w) + size_t(x)];
            raw += char((p >> 16) & 0xFF);
            raw += char((p >> 8) & 0xFF);
            raw += char(p & 0xFF);
        }
    }
    uLongf size = compressBound(uLong(raw.size()));
    std::string packed(size, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &size,
             reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()));
    packed.resize(size);
    std::string png = "\x89PNG\r\n\x1a\n", ihdr;
    Be32(ihdr, uint32_t(w));
    Be32(ihdr, uint32_t(h));
    ihdr += std::string("\x08\x02\x00\x00\x00", 5);
    Chunk(png, "IHDR", ihdr);
    Chunk(png, "IDAT", packed);
    Chunk(png, "IEND", "");
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
    return std::fclose(f) == 0 && ok;
}

// The dirty-rectangle frame after 4 tiles moved shows exactly what a full redraw of the same
// scene shows, and draws only the items that meet the changed areas.
TEST(SceneFrame, DirtyFrameMatchesAFullRedrawAndDrawsOnlyWhatItMust) {
    scene::TableScene s;
    std::vector<uint32_t> pixels(size_t(scene::kWidth) * scene::kHeight, 0x12345678);
    DrawSurface target{pixels.data(), scene::kWidth, scene::kHeight};
    ASSERT_EQ(s.canvas.Render(1, target), 0);
    EXPECT_EQ(s.canvas.ItemsDrawn(), 300u);
    s.Step();
    ASSERT_EQ(s.canvas.Render(2, target), 0);
    const size_t drawn = s.canvas.ItemsDrawn();
    size_t meeting = 0;
    for (int layer = 1; layer <= 2; ++layer) {
        const DrawLayer& l = s.canvas.Layer(layer);
        for (uint32_t id : l.OrderedIds()) {
            for (const Rect& r : s.canvas.DirtyRects()) {
                if (BlockMeetsRect(*l.FindItem(id)->live, r)) {
                    ++meeting;
                    break;
                }
            }
        }
    }
    EXPECT_EQ(drawn, meeting);
    EXPECT_LT(drawn, 60u);
    std::vector<uint32_t> reference(pixels.size(), 0);
    DrawSurface full{reference.data(), scene::kWidth, scene::kHeight};
    s.canvas.SetFullScreenInvalidate(true);
    s.canvas.InvalidateAll();
    ASSERT_EQ(s.canvas.Render(3, full), 0);
    EXPECT_EQ(s.canvas.ItemsDrawn(), 300u);
    size_t differ = 0;
    for (size_t i = 0; i < pixels.size(); ++i) differ += pixels[i] != reference[i];
    EXPECT_EQ(differ, 0u);
    const std::string path = std::string(HQLV_BUILD_DIR) + "/scene_frame.png";
    EXPECT_TRUE(WritePng(path, pixels, scene::kWidth, scene::kHeight)) << path;
}

}  // namespace
}  // namespace hqlv::engine
