// The text layout against the plainest way to put the same glyphs on the same pixels: a pen
// loop that reads the characters, moves the pen (half the height for ASCII, the height for
// others, a new line at the right edge) and blends each glyph from the same glyph cache the
// layout uses. What the layout costs beyond that loop is its own work: its measuring pass
// and its rich-text tags. A FreeType loop that renders every glyph afresh is run too, for
// what the cache saves. The paragraph has 200 Chinese and ASCII characters and wraps in 300
// pixels. Each runs 9 times, interleaved, and counts at its fastest run; after the runs the
// ratios are printed.
#include <benchmark/benchmark.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/fastest_runs.h"
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

// One glyph's coverage (width × rows bytes, pitch apart, its top left at (left, top) of the
// cell) blended into the cell at the pen, cut to the cell as the layout cuts it.
void BlendCoverage(std::vector<uint32_t>& plane, const uint8_t* coverage, int width, int rows,
                   int pitch, int left, int top, const Placed& p) {
    const uint32_t cr = kColour & 255, cg = (kColour >> 8) & 255, cb = (kColour >> 16) & 255;
    // The rows and columns inside the cell and the plane, worked out once per glyph.
    const int r0 = std::max(0, top), r1 = std::min({rows + top, kFontHeight, kHeight - p.y});
    const int c0 = std::max(0, left), c1 = std::min({width + left, p.advance, kWidth - p.x});
    for (int r = r0; r < r1; ++r) {
        const uint8_t* src = coverage + (r - top) * pitch - left;
        uint32_t* dst = plane.data() + size_t(p.y + r) * kWidth + p.x;
        for (int c = c0; c < c1; ++c) {
            const uint32_t k = src[c];
            if (!k) continue;
            uint32_t& t = dst[c];
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

// The pen loop over the glyph cache: what a program that only wanted these glyphs on these
// pixels would write.
void DrawWithPen(const std::string& text, std::vector<uint32_t>& plane) {
    const hqlv::platform::GlyphFont font{"宋体", kFontHeight, 400, false, false};
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
        const auto glyph = hqlv::platform::renderGlyph(font, cp);
        if (glyph && !glyph->coverage.empty()) {
            const Placed p{cp, x, y, advance};
            BlendCoverage(plane, glyph->coverage.data(), glyph->width, glyph->rows, glyph->width,
                          glyph->left, glyph->top, p);
        }
        x += advance;
    }
}

void PenLoop(benchmark::State& state) {
    const std::string text = Paragraph();
    std::vector<uint32_t> plane(size_t(kWidth) * kHeight);
    DrawWithPen(text, plane);  // warm the glyph cache
    for (auto _ : state) {
        std::fill(plane.begin(), plane.end(), 0u);
        DrawWithPen(text, plane);
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
        const FT_Bitmap& bm = face->glyph->bitmap;
        BlendCoverage(plane, bm.buffer, int(bm.width), int(bm.rows), bm.pitch,
                      face->glyph->bitmap_left, baseline - face->glyph->bitmap_top, p);
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
    std::vector<uint32_t> plain(size_t(kWidth) * kHeight), pen(plain.size()), ours(plain.size());
    DrawPlain(song.face, PenPositions(text), plain);
    DrawWithPen(text, pen);
    TextLayout layout;
    layout.Init();
    layout.SetStyle(SongStyle());
    layout.DrawText(ours.data(), kWidth, kHeight, 0, 0, text);
    size_t differPen = 0, differPlain = 0, inked = 0;
    for (size_t i = 0; i < plain.size(); ++i)
        differPen += pen[i] != ours[i], differPlain += plain[i] != ours[i], inked += ours[i] != 0;
    std::printf(
        "paragraph: %zu pixels inked; %zu differ from the pen loop, %zu from the FreeType "
        "loop\n",
        inked, differPen, differPlain);
}

class RatioReporter : public hqlv::bench::FastestRuns {
public:
    void Finalize() override {
        FastestRuns::Finalize();
        const double layout = Cpu("layout"), pen = Cpu("pen_loop"), plain = Cpu("plain_freetype");
        if (layout > 0 && pen > 0)
            std::printf(
                "\nlayout / pen loop over the same glyph cache: %.2f (the layout's own "
                "work)\n",
                layout / pen);
        if (layout > 0 && plain > 0)
            std::printf(
                "layout / FreeType loop rendering every glyph: %.3f (what the cache "
                "saves)\n",
                layout / plain);
    }
};

}  // namespace

BENCHMARK(Layout)->Name("layout")->Apply(hqlv::bench::Repeated);
BENCHMARK(PenLoop)->Name("pen_loop")->Apply(hqlv::bench::Repeated);
BENCHMARK(PlainFreeType)->Name("plain_freetype")->Apply(hqlv::bench::Repeated);

int main(int argc, char** argv) {
    CheckSamePixels();
    std::vector<char*> args = hqlv::bench::InterleavedArguments(argc, argv);
    int count = int(args.size()) - 1;
    benchmark::Initialize(&count, args.data());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
