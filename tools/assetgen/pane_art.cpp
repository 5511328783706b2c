#include "tools/assetgen/pane_art.h"

#include <algorithm>

#include "platform/core/files.h"
#include "platform/core/glyphs.h"
#include "platform/core/profile.h"

namespace hqlv::assetgen {
namespace {

void put16(std::string& s, uint32_t v) {
    s.push_back(char(v & 0xFF));
    s.push_back(char((v >> 8) & 0xFF));
}
void put32(std::string& s, uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

PaletteImage blank(int w, int h, std::vector<uint32_t> palette) {
    return {w, h, std::move(palette), std::vector<uint8_t>(size_t(w) * size_t(h), 0)};
}

void fill(PaletteImage& im, int x0, int y0, int x1, int y1, uint8_t c) {
    for (int y = std::max(0, y0); y < std::min(im.h, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(im.w, x1); ++x)
            im.index[size_t(y * im.w + x)] = c;
}

void disc(PaletteImage& im, int cx, int cy, int r, uint8_t c) {
    for (int y = cy - r; y <= cy + r; ++y)
        for (int x = cx - r; x <= cx + r; ++x)
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) fill(im, x, y, x + 1, y + 1, c);
}

}  // namespace

std::string bmp8File(const PaletteImage& im) {
    const uint32_t stride = (uint32_t(im.w) + 3) & ~3u;
    const uint32_t image = stride * uint32_t(im.h);
    const uint32_t colours = uint32_t(im.palette.size());
    const uint32_t offset = 54 + 4 * colours;
    std::string s = "BM";
    put32(s, offset + image);
    put32(s, 0);
    put32(s, offset);
    put32(s, 40);
    put32(s, uint32_t(im.w));
    put32(s, uint32_t(im.h));
    put16(s, 1);
    put16(s, 8);
    put32(s, 0);
    put32(s, image);
    put32(s, 2835);
    put32(s, 2835);
    put32(s, colours);
    put32(s, 0);
    for (uint32_t c : im.palette) put32(s, c & 0xFFFFFF);  // blue, green, red, 0
    for (int y = im.h - 1; y >= 0; --y) {
        for (int x = 0; x < im.w; ++x) s.push_back(char(im.index[size_t(y * im.w + x)]));
        for (uint32_t p = uint32_t(im.w); p < stride; ++p) s.push_back(0);
    }
    return s;
}

namespace {

// The code points of a UTF-8 text (the titles here are well formed).
std::u32string codePoints(const std::string& utf8) {
    std::u32string out;
    for (size_t i = 0; i < utf8.size();) {
        const auto b = uint8_t(utf8[i]);
        const int n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        char32_t c = n == 1 ? b : b & (0x3F >> (n - 1));
        for (int k = 1; k < n && i + size_t(k) < utf8.size(); ++k)
            c = (c << 6) | (uint8_t(utf8[i + size_t(k)]) & 0x3F);
        out.push_back(c);
        i += size_t(n);
    }
    return out;
}

// Writes a text into the picture in one palette colour where the glyphs cover at least half
// a pixel; x is where the text starts, baseline the row its characters stand on.
void text(PaletteImage& im, int x, int baseline, const std::string& utf8, int height, uint8_t c) {
    const platform::GlyphFont font{"宋体", height, 700};
    for (char32_t ch : codePoints(utf8)) {
        const std::shared_ptr<const platform::GlyphBitmap> g = platform::renderGlyph(font, ch);
        if (!g) return;
        for (int y = 0; y < g->rows; ++y)
            for (int k = 0; k < g->width; ++k)
                if (g->coverage[size_t(y) * size_t(g->width) + size_t(k)] >= 128) {
                    const int px = x + g->left + k, py = baseline - g->baseline + g->top + y;
                    fill(im, px, py, px + 1, py + 1, c);
                }
        x += g->advance;
    }
}

// The width a text takes in the header's font.
int textWidth(const std::string& utf8, int height) {
    const platform::GlyphFont font{"宋体", height, 700};
    int w = 0;
    for (char32_t ch : codePoints(utf8))
        if (auto g = platform::renderGlyph(font, ch)) w += g->advance;
    return w;
}

}  // namespace

PaletteImage scoreBoardImage() {
    // 0 black (transparent), 1 band, 2 header, 3 rule, 4 light text ground, 5 header text
    PaletteImage im =
        blank(339, 172, {0x000000, kBoardBandColour, 0x6A8CA0, 0x3C2814, 0xE8DCB4, 0xFFFFF0});
    fill(im, 4, 4, 335, 34, 2);
    for (int c = 0; c < 4; ++c) {
        const int y = 45 + 32 * c;
        fill(im, 4, y - 6, 335, y + 22, 4);
        fill(im, 4, y + 22, 335, y + 24, 1);
    }
    // Three columns: the player's name from 15, the running total centred on 158 with its
    // unit at 190, the last deal centred on 260 with its unit at 290. Each title stands over
    // its amounts and nothing else marks a column, so that a narrow pane can lay the columns
    // closer (each cut out around its title) and the board still reads whole.
    fill(im, 10, 8, 11, 30, 3);
    text(im, 15, 25, "玩家", 14, 5);
    text(im, 158 - textWidth("累计", 14) / 2, 25, "累计", 14, 5);
    text(im, 260 - textWidth("本局", 14) / 2, 25, "本局", 14, 5);
    return im;
}

PaletteImage defaultFaceImage() {
    PaletteImage im = blank(32, 32, {0xFFFFFF, 0xF0C890, 0x303030, 0xC04040});
    disc(im, 16, 16, 14, 1);
    disc(im, 11, 13, 2, 2);
    disc(im, 21, 13, 2, 2);
    fill(im, 11, 22, 22, 24, 3);
    return im;
}

PaletteImage iconImage(int id) {
    // 151: a person's head and shoulders; 152: a smiling face for the face button.
    if (id == 152) {
        PaletteImage im = blank(32, 32, {0xFFFFF0, 0xF8D030, 0x303030});
        disc(im, 16, 16, 13, 1);
        disc(im, 11, 12, 2, 2);
        disc(im, 21, 12, 2, 2);
        fill(im, 10, 21, 23, 23, 2);
        return im;
    }
    PaletteImage im = blank(32, 32, {0xFFFFFF, 0x4870B0, 0xF0C890});
    disc(im, 16, 11, 7, 2);
    fill(im, 6, 21, 27, 32, 1);
    return im;
}

PaletteImage toolButtonImage(int id) {
    // A plate with a darker rim and its name in white; the corners keep the tool pane's
    // ground (0xF0FFFF) so the cut shows on the pane.
    const bool box = id == 165;
    const int w = box ? 55 : 71, h = box ? 16 : 15;
    const uint32_t plate = box ? kSafeBoxPlateColour : kFixAmountPlateColour;
    const uint32_t rim = box ? 0x7A5A14 : 0x23466E;
    PaletteImage im = blank(w, h, {0xF0FFFF, plate, rim, 0xFFFFFF});
    fill(im, 1, 0, w - 1, h, 2);
    fill(im, 0, 1, w, h - 1, 2);
    fill(im, 1, 1, w - 1, h - 1, 1);
    const std::string name = box ? "保险箱" : "划银数额";
    text(im, (w - textWidth(name, 12)) / 2, h - 3, name, 12, 3);
    return im;
}

PaletteImage shieldImage() {
    // A blue shield with a white tick on the dialog's light ground.
    PaletteImage im = blank(32, 32, {0xF0F0F0, 0x143C78, kShieldColour, 0xFFFFFF});
    auto shield = [&](int grow, uint8_t c) {
        for (int y = 3 - grow; y <= 29 + grow; ++y) {
            const int half = (y < 16 ? 11 : 11 * (29 - y) / 13) + grow;
            fill(im, 16 - half, y, 16 + half, y + 1, c);
        }
    };
    shield(1, 1);
    shield(0, 2);
    for (int i = 0; i <= 5; ++i) disc(im, 10 + i, 15 + i, 1, 3);
    for (int i = 0; i <= 8; ++i) disc(im, 15 + i, 20 - 5 * i / 4, 1, 3);
    return im;
}

std::vector<SkinEntry> operateSkinEntries() {
    std::vector<SkinEntry> e = {{"BitmapResource", "OperateBK", "operate_bk.bmp"},
                                {"DLGBAR", "BTNWidth", std::to_string(kOperateButtonW)},
                                {"DLGBAR", "BTNHeight", std::to_string(kOperateButtonH)},
                                {"Headerbar", "Image", "headerbar.bmp"}};
    for (const char* key : kOperateButtonKeys)
        e.push_back({"BitmapResource", key, std::string(key) + ".bmp"});
    return e;
}

namespace {

// A 16 by 41 tile: a dark gradient with one light stripe, so the tiling shows.
PaletteImage operateTile() {
    PaletteImage im = blank(16, 41, {0x1E3246, 0x24394F, 0x2A4058, 0x304862, kOperateStripeColour});
    for (int y = 0; y < im.h; ++y) fill(im, 0, y, im.w, y + 1, uint8_t(y * 4 / im.h));
    fill(im, 0, 39, im.w, 41, 4);
    return im;
}

// A rounded face with a glyph: 0 a question mark, 1 a gear, 2 a dot, 3 a cross.
PaletteImage operateButton(int glyph) {
    PaletteImage im =
        blank(kOperateButtonW, kOperateButtonH, {0x1E3246, kOperateFaceColour, 0xFFF4E0, 0x7A3C10});
    fill(im, 3, 2, kOperateButtonW - 3, kOperateButtonH - 2, 3);
    fill(im, 4, 3, kOperateButtonW - 4, kOperateButtonH - 3, 1);
    const int cx = kOperateButtonW / 2, cy = kOperateButtonH / 2;
    switch (glyph) {
        case 0:
            disc(im, cx, cy - 5, 7, 2);
            disc(im, cx - 2, cy - 4, 4, 1);
            fill(im, cx - 1, cy, cx + 2, cy + 6, 2);
            fill(im, cx - 1, cy + 9, cx + 2, cy + 12, 2);
            break;
        case 1:
            disc(im, cx, cy, 10, 2);
            for (int k = -1; k <= 1; k += 2) {
                fill(im, cx - 2, cy + 9 * k - 3, cx + 3, cy + 9 * k + 4, 1);
                fill(im, cx + 9 * k - 3, cy - 2, cx + 9 * k + 4, cy + 3, 1);
            }
            disc(im, cx, cy, 4, 1);
            break;
        case 2:
            disc(im, cx, cy, 5, 2);
            break;
        default:
            for (int d = -8; d <= 8; ++d) {
                fill(im, cx + d - 1, cy + d - 1, cx + d + 2, cy + d + 2, 2);
                fill(im, cx + d - 1, cy - d - 1, cx + d + 2, cy - d + 2, 2);
            }
    }
    return im;
}

// The tool pane's header: a two-pixel left edge, a band and a 300-pixel right part.
PaletteImage headerbar() {
    PaletteImage im = blank(kHeaderbarW, kHeaderbarH, {0xFFFFF0, 0x5A7890, 0x8CB4D2, 0x2A4058});
    fill(im, 0, 0, 2, kHeaderbarH, 3);
    fill(im, 2, 0, kHeaderbarW, kHeaderbarH - 2, 2);
    fill(im, 2, kHeaderbarH - 2, kHeaderbarW, kHeaderbarH, 1);
    return im;
}

}  // namespace

std::vector<SkinPicture> operateSkinPictures() {
    std::vector<SkinPicture> p = {{"operate_bk.bmp", operateTile()},
                                  {"headerbar.bmp", headerbar()}};
    for (int i = 0; i < 4; ++i)
        p.push_back({std::string(kOperateButtonKeys[i]) + ".bmp", operateButton(i)});
    return p;
}

bool writeOperateSkin(const std::string& skinFolder) {
    for (const SkinPicture& p : operateSkinPictures())
        if (!platform::writeFile(skinFolder + p.file, bmp8File(p.image))) return false;
    for (const SkinEntry& e : operateSkinEntries())
        if (!platform::writeProfileString(e.section.c_str(), e.key.c_str(), e.value.c_str(),
                                          skinFolder + "skin.ini"))
            return false;
    return true;
}

}  // namespace hqlv::assetgen
