// The text layout against the plainest way to put the same glyphs on the same pixels: a
// FreeType loop that renders every glyph afresh and blends it at the pen position the layout
// uses. The paragraph has 200 Chinese and ASCII characters and wraps in 300 pixels. After the
// run the layout's time is printed as a fraction of the loop's; the glyph cache keeps it
// well under one half.
#include <benchmark/benchmark.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "engine/render/text_layout.h"
#include "platform/core/glyphs.h"

using namespace hqlv::engine;

namespace {

constexpr int kWidth = 300, kHeight = 240, kFontHeight = 16;
constexpr uint32_t kColour = 0x00203040;

// 200 characters: the sentence repeated and cut on a character boundary.
std::string Paragraph() {
    const std::string base =
        "麻将是四人游戏，Mahjong is played by four. 每人摸牌十三张，then draws and "
        "discards in turn; 胡牌需要四组面子和一对将牌。";
    std::string out;
    int chars = 0;
    for (size_t i = 0; chars < 200; i = (i + 1) % base.size()) {
        const unsigned char c = base[i];
        if ((c & 0xC0) != 0x80) ++chars;
        if (chars > 200) break;
        out += char(c);
        // Finish a multi-byte character before counting the next one.
        while (chars == 200 && i + 1 < base.size() && (base[i + 1] & 0xC0) == 0x80) {
            out += base[++i];
        }
    }
    return out;
}

struct Placed {
    char32_t cp;
    int x, y, advance;
};

// Where the layout puts each character: half the height for ASCII, the height for others,
// a new line when the next one would pass the right edge.
std::vector<Placed> PenPositions(const std::string& text) {
    std::vector<Placed> out;
    int x = 0, y = 0;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = text[i];
        char32_t cp = c;
        size_t n = 1;
        if (c >= 0xE0)
            cp = c & 0x0F, n = 3;
        else if (c >= 0xC0)
            cp = c & 0x1F, n = 2;
        for (size_t k = 1; k < n; ++k) cp = cp << 6 | (text[i + k] & 0x3F);
        i += n;
        const int advance = cp < 0x80 ? kFontHeight / 2 : kFontHeight;
        if (x + advance > kWidth) x = 0, y += kFontHeight;
        out.push_back({cp, x, y, advance});
        x += advance;
    }
    return out;
}

void BlendCell(std::vector<uint32_t>& plane, const FT_Bitmap& bm, int left, int top,
               const Placed& p) {
    const uint32_t cr = kColour & 255, cg = (kColour >> 8) & 255, cb = (kColour >> 16) & 255;
    for (int r = std::max(0, top); r < std::min(int(bm.rows) + top, kFontHeight); ++r) {
        for (int c = std::max(0, left); c < std::min(int(bm.width) + left, p.advance); ++c) {
            const uint32_t k = bm.buffer[(r - top) * bm.pitch + (c - left)];
            const int x = p.x + c, y = p.y + r;
            if (!k || x >= kWidth || y >= kHeight) continue;
            uint32_t& t = plane[size_t(y) * kWidth + x];
            const uint32_t ta = t >> 24;
            if (!ta) {
                t = k << 24 | cr << 16 | cg << 8 | cb;
                continue;
            }
            const uint32_t b = (cb * k + (t & 255) * (255 - k)) >> 8;
            const uint32_t g = (cg * k + ((t >> 8) & 255) * (255 - k)) >> 8;
            const uint32_t rr = (cr * k + ((t >> 16) & 255) * (255 - k)) >> 8;
            t = std::max(ta, k) << 24 | rr << 16 | g << 8 | b;
        }
    }
}

TextStyle SongStyle() {
    TextStyle style;
    style.face = "宋体";
    style.colour = kColour;
    style.height = style.lineHeight = kFontHeight;
    style.weight = 400;
    style.wrap = 1;
    return style;
}

void Layout(benchmark::State& state) {
    const std::string text = Paragraph();
    TextLayout layout;
    layout.Init();
    layout.SetStyle(SongStyle());
    std::vector<uint32_t> plane(size_t(kWidth) * kHeight);
    layout.DrawText(plane.data(), kWidth, kHeight, 0, 0, text);  // warm the glyph cache
    for (auto _ : state) {
        std::fill(plane.begin(), plane.end(), 0u);
        layout.DrawText(plane.data(), kWidth, kHeight, 0, 0, text);
        benchmark::DoNotOptimize(plane.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 200);
}

void DrawPlain(FT_Face face, const std::vector<Placed>& placed, std::vector<uint32_t>& plane) {
    const int baseline = int((face->size->metrics.ascender + 63) >> 6);
    std::fill(plane.begin(), plane.end(), 0u);
    for (const Placed& p : placed) {
        if (FT_Load_Char(face, p.cp, FT_LOAD_NO_BITMAP) ||
            FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL))
            continue;
        BlendCell(plane, face->glyph->bitmap, face->glyph->bitmap_left,
                  baseline - face->glyph->bitmap_top, p);
    }
}

struct SongFace {
    FT_Library lib = nullptr;
    FT_Face face = nullptr;
    SongFace() {
        const auto file = hqlv::platform::glyphFaceFile("宋体");
        if (FT_Init_FreeType(&lib) || FT_New_Face(lib, file.path.c_str(), file.index, &face)) {
            face = nullptr;
            return;
        }
        FT_Set_Pixel_Sizes(face, 0, kFontHeight);
    }
    ~SongFace() {
        if (face) FT_Done_Face(face);
        if (lib) FT_Done_FreeType(lib);
    }
};

void PlainFreeType(benchmark::State& state) {
    const auto placed = PenPositions(Paragraph());
    SongFace song;
    if (!song.face) {
        state.SkipWithError("no Song face");
        return;
    }
    std::vector<uint32_t> plane(size_t(kWidth) * kHeight);
    for (auto _ : state) {
        DrawPlain(song.face, placed, plane);
        benchmark::DoNotOptimize(plane.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 200);
}

// Both sides must put the same pixels down, or the comparison means nothing.
void CheckSamePixels() {
    const std::string text = Paragraph();
    SongFace song;
    if (!song.face) return;
    std::vector<uint32_t> plain(size_t(kWidth) * kHeight), ours(plain.size());
    DrawPlain(song.face, PenPositions(text), plain);
    TextLayout layout;
    layout.Init();
    layout.SetStyle(SongStyle());
    layout.DrawText(ours.data(), kWidth, kHeight, 0, 0, text);
    size_t differ = 0, inked = 0;
    for (size_t i = 0; i < plain.size(); ++i) differ += plain[i] != ours[i], inked += ours[i] != 0;
    std::printf("paragraph: %zu pixels inked, %zu differ from the plain loop\n", inked, differ);
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (!r.aggregate_name.empty() && r.aggregate_name != "median") continue;
            times_[r.run_name.function_name] = r.GetAdjustedRealTime();
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const double layout = times_["layout"], plain = times_["plain_freetype"];
        if (layout > 0 && plain > 0)
            std::printf("\nlayout / plain FreeType loop: %.3f (goal: at most 0.5)\n",
                        layout / plain);
    }

private:
    std::map<std::string, double> times_;
};

}  // namespace

BENCHMARK(Layout)->Name("layout");
BENCHMARK(PlainFreeType)->Name("plain_freetype");

int main(int argc, char** argv) {
    CheckSamePixels();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
