#pragma once
// Glyphs for the engine's own text drawing: one character as 8-bit coverage, white on black,
// in a cell whose top row lies the face's ascender above the baseline.
//
// Faces are found by name through fontconfig: "宋体" is a Song face (AR PL UMing CN),
// "楷体_GB2312" a Kai face (AR PL UKai CN), every other name the CJK sans face
// (WenQuanYi Micro Hei), which also draws the characters the chosen face lacks. Names are
// compared without regard to ASCII case. Rendered glyphs are cached; the service is
// thread-safe.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace hqlv::platform {

// A font as the engine asks for it. height is the em height in pixels, not the height of the
// cell; weight 600 or more draws emboldened.
struct GlyphFont {
    std::string face;  // UTF-8
    int height = 0;
    int weight = 400;
    bool italic = false;
    bool underline = false;
};

// Coverage of one character. Row 0 of the cell is its top; the baseline lies at the face's
// ascender scaled to the height. coverage holds rows × width bytes, the first at (left, top)
// relative to the cell's top-left corner (either may be negative).
struct GlyphBitmap {
    int left = 0;
    int top = 0;
    int width = 0;
    int rows = 0;
    int baseline = 0;
    int advance = 0;  // the face's own advance in pixels
    std::vector<uint8_t> coverage;

    uint8_t at(int x, int y) const {  // coverage at cell position (x, y), 0 outside
        const int c = x - left, r = y - top;
        if (c < 0 || r < 0 || c >= width || r >= rows) return 0;
        return coverage[size_t(r) * size_t(width) + size_t(c)];
    }
};

// The font file a face name resolves to.
struct GlyphFaceFile {
    std::string family;  // as fontconfig names it, e.g. "AR PL UMing CN"
    std::string path;
    int index = 0;  // face index inside a collection
};

// Which file draws a face name. An empty path when no font at all is installed.
GlyphFaceFile glyphFaceFile(std::string_view face);

// The cache lets go of every glyph when their coverage would pass this many bytes (a glyph
// 300 pixels tall takes some 80 KiB), or when it holds 16384 of them.
constexpr size_t kGlyphCacheBytes = size_t(16) << 20;

// The glyph of one code point. Null for a height below 1, or when no font can be opened.
// The same request returns the same cached bitmap.
std::shared_ptr<const GlyphBitmap> renderGlyph(const GlyphFont& font, char32_t codePoint);

}  // namespace hqlv::platform
