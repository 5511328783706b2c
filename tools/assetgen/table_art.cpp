#include "tools/assetgen/table_art.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>

#include "platform/core/glyphs.h"
#include "tools/assetgen/face_art.h"
#include "tools/assetgen/png_file.h"

namespace hqlv::assetgen {
namespace {

// The scene's text faces: "宋体" maps to the Ming face, "楷体_GB2312" to the Kai face,
// everything else to Micro Hei.
const std::string kKai = "楷体_GB2312";
const std::string kSong = "宋体";
const std::string kSans = "Microsoft YaHei";

constexpr uint32_t kInk = Rgb(20, 28, 60);
constexpr uint32_t kRed = Rgb(196, 30, 30);
constexpr uint32_t kGreen = Rgb(20, 120, 50);
constexpr uint32_t kBlue = Rgb(30, 70, 160);
constexpr uint32_t kBorder = Rgb(120, 108, 84);
constexpr uint32_t kEdge = Rgb(44, 128, 84);
constexpr uint32_t kEdgeDark = Rgb(28, 92, 60);
constexpr uint32_t kBack = Rgb(36, 116, 76);
constexpr uint32_t kBackLine = Rgb(64, 150, 104);
constexpr uint32_t kPanel = Rgb(24, 32, 40);
constexpr uint32_t kClear = 0x00FF00FF;  // PNG transparency: the key colour at alpha 0

const char* const kNumerals[] = {"一", "二", "三", "四", "五", "六", "七", "八", "九"};
const char* const kHonours[] = {"东", "南", "西", "北", "中", "发", "白"};
const char* const kFlowers[] = {"春", "夏", "秋", "冬", "梅", "兰",
                                "竹", "菊", "琴", "棋", "书", "画"};

// Where n small things sit in a w × h box: rows of up to three. Sticks stand side by side
// up to three; two dots stand one over the other and three run diagonally, as on the tiles.
std::vector<std::pair<double, double>> Spots(int n, double w, double h, bool dots) {
    if (dots && n == 3) return {{w * 0.22, h / 6}, {w * 0.5, h / 2}, {w * 0.78, h * 5 / 6}};
    std::vector<int> rows;
    if (dots && n == 2)
        rows = {1, 1};
    else if (n <= 3)
        rows = {n};
    else if (n == 4)
        rows = {2, 2};
    else if (n == 5)
        rows = {2, 1, 2};
    else if (n == 6)
        rows = {3, 3};
    else if (n == 7)
        rows = {1, 3, 3};
    else if (n == 8)
        rows = {3, 2, 3};
    else
        rows = {3, 3, 3};
    std::vector<std::pair<double, double>> out;
    const double rowH = h / double(rows.size());
    for (size_t r = 0; r < rows.size(); ++r) {
        const double colW = w / rows[r];
        for (int c = 0; c < rows[r]; ++c)
            out.push_back({colW * (c + 0.5), rowH * (double(r) + 0.5)});
    }
    return out;
}

// The content of face f drawn into the box (x, y, w, h) of an upright tile face.
void DrawFaceContent(Raster& r, int x, int y, int w, int h, int face) {
    const double cx = x + w / 2.0, cy = y + h / 2.0;
    const int big = std::max(6, std::min(w, h * 2 / 3));
    if (face < 9) {
        DrawText(r, kNumerals[face], kKai, std::max(6, std::min(w, h / 2)), true, cx, y + h * 0.27,
                 kInk);
        DrawText(r, "万", kKai, std::max(6, std::min(w, h / 2)), true, cx, y + h * 0.73, kRed);
    } else if (face < 18) {
        const int n = face - 8;
        const auto spots = Spots(n, w, h, false);
        const double barW = std::max(1.0, w / 7.0),
                     barH = std::max(2.0, h / double(n <= 3 ? 1.4 : 3.6));
        for (size_t i = 0; i < spots.size(); ++i) {
            const double sx = x + spots[i].first, sy = y + spots[i].second;
            const uint32_t c =
                (n == 1 || (n == 5 && i == 2) || (n == 9 && i % 4 == 0)) ? kRed : kGreen;
            r.fillRect(int(std::lround(sx - barW / 2)), int(std::lround(sy - barH / 2)),
                       int(std::lround(barW)), int(std::lround(barH)), c);
            // A band across the middle of each stick.
            r.fillRect(int(std::lround(sx - barW / 2)), int(std::lround(sy)),
                       int(std::lround(barW)), 1, kTileFace);
        }
    } else if (face < 27) {
        const int n = face - 17;
        const auto spots = Spots(n, w, h, true);
        const double rad = n == 1 ? std::max(1.0, std::min(w, h) / 2.6)
                                  : std::max(1.0, std::min(w / 7.0, h / 7.5));
        for (size_t i = 0; i < spots.size(); ++i) {
            const double sx = x + spots[i].first, sy = y + spots[i].second;
            r.fillCircle(sx, sy, rad, (n == 1 || i % 2 == 1) ? kRed : kBlue);
            if (rad >= 3) r.fillCircle(sx, sy, rad / 2.5, kTileFace);
        }
    } else if (face < 34) {
        const int k = face - 27;
        if (k == 6) {  // 白: an empty blue frame
            const int fw = std::max(3, w * 3 / 5), fh = std::max(3, h * 3 / 5);
            r.frameRect(int(cx) - fw / 2, int(cy) - fh / 2, fw, fh, kBlue);
            if (fw > 10)
                r.frameRect(int(cx) - fw / 2 + 1, int(cy) - fh / 2 + 1, fw - 2, fh - 2, kBlue);
        } else {
            const uint32_t c = k == 4 ? kRed : k == 5 ? kGreen : kInk;
            DrawText(r, kHonours[k], kKai, big, true, cx, cy, c);
        }
    } else if (face < 46) {
        const int k = face - 34;
        static const uint32_t colours[] = {Rgb(30, 140, 60), Rgb(200, 40, 40),  Rgb(200, 110, 20),
                                           Rgb(40, 80, 170), Rgb(190, 40, 110), Rgb(90, 40, 160)};
        DrawText(r, kFlowers[k], kKai, big, true, cx, cy, colours[k % 6]);
    } else {
        r.fillRect(x, y, w, h, kBack);
        for (int j = y + 2; j < y + h - 1; j += 4)
            r.fillRect(x + 2, j, std::max(1, w - 4), 1, kBackLine);
    }
}

// One upright tile: the face box (rounded, bordered) with its content and marker, and the
// thickness below it in the edge colour. The result is w × (faceH + edge), key outside.
Raster UprightTile(int w, int faceH, int edge, int face, uint32_t key) {
    Raster t(w, faceH + edge, key);
    const int radius = w >= 30 ? 4 : 2;
    if (edge > 0) {
        t.fillRound(0, edge > 2 ? 2 : 0, w, faceH + edge - (edge > 2 ? 2 : 0), radius, kEdgeDark);
        t.fillRound(0, 1, w, faceH + edge - 2, radius, kEdge);
    }
    t.fillRound(0, 0, w, faceH, radius, kBorder);
    t.fillRound(1, 1, w - 2, faceH - 2, std::max(1, radius - 1),
                face == kBackFace ? kBack : kTileFace);
    const int inset = w >= 30 ? 4 : 2;
    DrawFaceContent(t, inset, inset, w - 2 * inset, faceH - 2 * inset, face);
    // The marker: two by two, just inside the top-left corner of the face.
    const int m = w >= 20 ? 3 : 2;
    t.fillRect(m, m, 2, 2, MarkerColour(face));
    return t;
}

// A strip of 47 cells of cellW × cellH at the pitch, each the upright tile turned by the
// quarter turns (the tile is drawn with its sides swapped when the turn is odd).
Raster Strip(int cellW, int cellH, int pitch, int faceH, int edge, int turns) {
    const int width = std::max(pitch * (kFaceCells - 1) + cellW, pitch * kFaceCells);
    Raster s(width, cellH, kKeyMagenta);
    for (int f = 0; f < kFaceCells; ++f) {
        const bool odd = turns % 2 == 1;
        // A turned tile keeps its face on top of the cell with the thickness below; the
        // face's content is what turns (an odd turn draws it with its sides swapped).
        Raster cell(cellW, cellH, kKeyMagenta);
        if (turns != 0) {
            Raster face = odd ? UprightTile(faceH, cellW, 0, f, kKeyMagenta)
                              : UprightTile(cellW, faceH, 0, f, kKeyMagenta);
            Raster turned = Turned(face, turns);
            Raster body(cellW, faceH + edge, kKeyMagenta);
            body.fillRound(0, 2, cellW, faceH + edge - 2, 3, kEdgeDark);
            body.fillRound(0, 1, cellW, faceH + edge - 2, 3, kEdge);
            body.paste(turned, 0, 0);
            cell.copy(body, 0, 0);
        } else {
            cell.copy(UprightTile(cellW, faceH, edge, f, kKeyMagenta), 0, 0);
        }
        // Cells may overlap by a column (pitch below the width): only the tile is copied.
        s.paste(cell, f * pitch, 0);
    }
    return s;
}

// A tile seen from the back: back colour over the thickness.
Raster BackTile(int w, int backH, int edge) {
    Raster t(w, backH + edge, kKeyMagenta);
    if (edge > 0) t.fillRound(0, 1, w, backH + edge - 1, 2, kTileFace);
    t.fillRound(0, 0, w, backH, 2, kEdgeDark);
    t.fillRound(1, 1, w - 2, backH - 2, 1, kBack);
    for (int j = 3; j < backH - 2; j += 4) t.fillRect(3, j, std::max(1, w - 6), 1, kBackLine);
    return t;
}

// A standing tile of a side seat seen edge-on: the back on the outer side, the face's
// cream edge towards the table's middle.
Raster SideTile(int w, int h, bool faceOnLeft) {
    Raster t(w, h, kKeyMagenta);
    t.fillRound(0, 0, w, h, 3, kEdgeDark);
    const int cream = w / 3;
    t.fillRound(1, 1, w - 2, h - 2, 2, kBack);
    t.fillRect(faceOnLeft ? 1 : w - 1 - cream, 2, cream, h - 4, kTileFace);
    return t;
}

// A rounded button panel with centred text.
Raster Button(int w, int h, const char* text, uint32_t fill, uint32_t ink, int textH) {
    Raster b(w, h, kKeyMagenta);
    b.fillRound(0, 0, w, h, 6, Rgb(90, 50, 10));
    b.fillRound(1, 1, w - 2, h - 2, 5, fill);
    DrawText(b, text, kSans, textH, true, w / 2.0, h / 2.0, ink);
    return b;
}

void DrawPips(Raster& r, double cx, double cy, double size, int value, uint32_t pip, uint32_t one) {
    static const int layout[6][6][2] = {
        {{0, 0}},
        {{-1, -1}, {1, 1}},
        {{-1, -1}, {0, 0}, {1, 1}},
        {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}},
        {{-1, -1}, {1, -1}, {0, 0}, {-1, 1}, {1, 1}},
        {{-1, -1}, {1, -1}, {-1, 0}, {1, 0}, {-1, 1}, {1, 1}},
    };
    const double step = size * 0.28;
    for (int i = 0; i < value; ++i)
        r.fillCircle(cx + layout[value - 1][i][0] * step, cy + layout[value - 1][i][1] * step,
                     value == 1 ? size * 0.14 : size * 0.09, value == 1 || value == 4 ? one : pip);
}

// Dice picture n (1-12): 9 frames of 106 × 99 side by side on pure blue; the die tumbles
// across frames 0-7 and frame 8 shows the value ((n - 1) mod 6 + 1).
Raster Dice(int n) {
    const int fw = 106, fh = 99;
    Raster r(fw * 9, fh, kKeyBlue);
    const int value = (n - 1) % 6 + 1;
    const bool second = n > 6;
    const uint32_t body = second ? Rgb(250, 236, 200) : Rgb(250, 250, 246);
    const uint32_t pip = second ? Rgb(30, 60, 140) : Rgb(30, 30, 30);
    for (int f = 0; f < 9; ++f) {
        const bool last = f == 8;
        const double size = last ? 62 : 44 + 4 * (f % 4);
        const double cx = fw * f + fw / 2.0 + (last ? 0 : ((f * 7) % 5 - 2) * 6);
        const double cy = fh / 2.0 + (last ? 0 : ((f * 3) % 5 - 2) * 5);
        const int s = int(size);
        r.fillRound(int(cx - s / 2.0), int(cy - s / 2.0), s, s, s / 6, Rgb(120, 110, 100));
        r.fillRound(int(cx - s / 2.0) + 1, int(cy - s / 2.0) + 1, s - 2, s - 2, s / 6 - 1, body);
        const int shown = last ? value : (value + f + n) % 6 + 1;
        DrawPips(r, cx, cy, size, shown, pip, Rgb(200, 30, 30));
    }
    return r;
}

// The clock's digits, 8 × 17 cells on the clock's panel. Each digit is set alone in its
// cell at the largest bold height whose every digit keeps a pixel of panel on each side and
// two above and below, so that no digit runs into its neighbour or past the clock's window.
constexpr int kDigitCell = 8, kDigitHeight = 17;

int ClockDigitSize() {
    for (int size = 16; size > 6; --size) {
        platform::GlyphFont font{kSans, size, 700};
        bool fits = true;
        for (char d = '0'; d <= '9' && fits; ++d) {
            const auto g = platform::renderGlyph(font, char32_t(d));
            fits = g && g->width <= kDigitCell - 2 && g->rows <= kDigitHeight - 4;
        }
        if (fits) return size;
    }
    return 6;
}

Raster ClockDigits() {
    Raster r(10 * kDigitCell, kDigitHeight, kPanel);
    const int size = ClockDigitSize();
    for (int d = 0; d < 10; ++d) {
        Raster cell(kDigitCell, kDigitHeight, kPanel);
        DrawText(cell, std::string(1, char('0' + d)), kSans, size, true, kDigitCell / 2.0,
                 kDigitHeight / 2.0, Rgb(255, 210, 60));
        r.copy(cell, kDigitCell * d, 0);
    }
    return r;
}

Raster ClockHand() {
    const int cell = 56;
    Raster r(cell * 8, cell, kKeyMagenta);
    for (int p = 0; p < 8; ++p) {
        // Frame p points left at 0, up at 2, right at 4, down at 6, between them when odd.
        const double a = (180.0 - 45.0 * p) * M_PI / 180.0;
        const double dx = std::cos(a), dy = -std::sin(a);
        const double ox = cell * p + cell / 2.0, oy = cell / 2.0;
        const double tipX = ox + dx * 27, tipY = oy + dy * 27;
        const double baseX = ox + dx * 15, baseY = oy + dy * 15;
        r.fillTriangle(tipX, tipY, baseX - dy * 6, baseY + dx * 6, baseX + dy * 6, baseY - dx * 6,
                       Rgb(210, 40, 30));
    }
    return r;
}

Raster TableCloth() {
    Raster r(744, 710, Rgb(24, 96, 60));
    uint32_t seed = 20240611;
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x) {
            seed = seed * 1103515245u + 12345u;
            const int n = int((seed >> 16) % 9) - 4;
            r.set(x, y, Rgb(24 + n, 96 + n, 60 + n));
        }
    for (int k = 0; k < 8; ++k)
        r.frameRect(k, k, r.width - 2 * k, r.height - 2 * k, Rgb(70, 44, 24));
    r.frameRect(12, 12, r.width - 24, r.height - 24, Rgb(200, 170, 90));
    return r;
}

// Bar frame piece: kind 0 left end, 1 middle, 2 right end. The middle pieces join without
// a seam, so a place that holds no button reads as the bar itself, not as an empty slot.
Raster FramePiece(int w, int h, int kind) {
    Raster r(w, h, kKeyMagenta);
    const int extra = kind == 1 ? 0 : 8;
    const int x = kind == 2 ? -extra : 0;
    r.fillRound(x, 0, w + extra, h, kind == 1 ? 0 : 8, Rgb(90, 56, 24));
    if (kind == 1)
        r.fillRect(0, 2, w, h - 4, Rgb(150, 104, 52));
    else
        r.fillRound(x + 1, 2, w + extra - 2, h - 4, 7, Rgb(150, 104, 52));
    r.fillRect(kind == 0 ? 4 : 0, h / 2, kind == 1 ? w : w - 4, 1, Rgb(180, 136, 80));
    return r;
}

Raster PngCells(int cell, int count, const std::function<void(Raster&, int, int)>& draw,
                int h = 0) {
    Raster r(cell * count, h ? h : cell, kClear);
    for (int i = 0; i < count; ++i) draw(r, i, cell * i);
    return r;
}

using Painter = std::function<Raster()>;

const std::vector<std::pair<std::string, Painter>>& Painters() {
    static const std::vector<std::pair<std::string, Painter>> list = [] {
        std::vector<std::pair<std::string, Painter>> v;
        const std::string common = "skins/Common/", classic = "skins/Classic/";
        for (int n = 1; n <= 12; ++n)
            v.push_back({common + "dice" + std::to_string(n) + ".bmp", [n] { return Dice(n); }});
        v.push_back({common + "start.bmp", [] {
                         return Button(80, 30, "开始", Rgb(240, 160, 40), Rgb(255, 255, 255), 18);
                     }});
        v.push_back({common + "AskKanPai.bmp", [] {
                         return Button(80, 30, "看牌", Rgb(60, 150, 200), Rgb(255, 255, 255), 18);
                     }});
        v.push_back({common + "clock_digit.bmp", ClockDigits});
        v.push_back({common + "dnxb.png", [] {
                         return PngCells(
                             59, 4,
                             [](Raster& r, int i, int x) {
                                 r.fillCircle(x + 29.5, 30.5, 28, Rgb(120, 70, 20));
                                 r.fillCircle(x + 29.5, 30.5, 26, Rgb(230, 190, 90));
                                 DrawText(r, kHonours[i], kKai, 36, true, x + 29.5, 30.5,
                                          Rgb(120, 20, 20));
                             },
                             61);
                     }});
        v.push_back({common + "buff.bmp", [] {
                         Raster r(180, 30, kKeyMagenta);
                         static const char* const faces[] = {"庄", "", "乐", "肤", "序", "托"};
                         for (int i = 0; i < 6; ++i) {
                             if (!*faces[i]) continue;
                             const uint32_t fill = i == 0 ? Rgb(200, 30, 30) : Rgb(40, 90, 150);
                             r.fillRound(30 * i, 0, 30, 30, 6, Rgb(250, 230, 160));
                             r.fillRound(30 * i + 1, 1, 28, 28, 5, fill);
                             DrawText(r, faces[i], kSans, 20, true, 30 * i + 15.0, 15,
                                      Rgb(255, 255, 255));
                         }
                         return r;
                     }});
        v.push_back({common + "arrowhead.bmp", [] {
                         Raster r(16, 30, kKeyMagenta);
                         r.fillTriangle(2, 15, 14, 2, 14, 28, Rgb(240, 200, 90));
                         return r;
                     }});
        v.push_back({common + "Autoplay.bmp", [] {
                         return Button(120, 40, "托管", Rgb(220, 80, 40), Rgb(255, 250, 220), 26);
                     }});
        v.push_back({common + "hu.bmp", [] {
                         Raster r = UprightTile(54, 72, 5, 0, kKeyMagenta);
                         r.fillRect(2, 2, 50, 68, kTileFace);  // no marker: not a strip cell
                         DrawText(r, "胡", kKai, 44, true, 27, 36, kRed);
                         return r;
                     }});
        v.push_back({common + "note.bmp", [] {
                         Raster r(128, 40, kKeyMagenta);
                         r.fillRound(0, 0, 128, 40, 8, Rgb(110, 80, 40));
                         r.fillRound(2, 2, 124, 36, 6, Rgb(250, 240, 200));
                         return r;
                     }});
        v.push_back({common + "hand.png", [] {
                         Raster r(162, 77, kClear);
                         r.fillRound(0, 0, 162, 77, 12, Rgb(255, 230, 120, 200));
                         r.fillRound(3, 3, 156, 71, 10, Rgb(255, 240, 170, 96));
                         return r;
                     }});
        v.push_back({common + "partical.png", [] {
                         static const uint32_t colours[] = {Rgb(255, 80, 80), Rgb(80, 200, 255),
                                                            Rgb(120, 255, 120), Rgb(255, 160, 240),
                                                            Rgb(255, 220, 60)};
                         return PngCells(20, 5, [](Raster& r, int i, int x) {
                             r.fillTriangle(x + 10, 1, x + 13, 10, x + 7, 10, colours[i]);
                             r.fillTriangle(x + 10, 19, x + 13, 10, x + 7, 10, colours[i]);
                             r.fillTriangle(x + 1, 10, x + 10, 7, x + 10, 13, colours[i]);
                             r.fillTriangle(x + 19, 10, x + 10, 7, x + 10, 13, colours[i]);
                         });
                     }});
        v.push_back({classic + "TableCloth0.bmp", TableCloth});
        v.push_back({classic + "mj_large1024.bmp", [] { return Strip(54, 77, 54, 72, 5, 0); }});
        v.push_back({classic + "mj_large800.bmp", [] { return Strip(42, 60, 42, 56, 4, 0); }});
        v.push_back({classic + "mj_middle0.bmp", [] { return Strip(33, 32, 33, 21, 11, 1); }});
        // Upside down: the thickness stays below, the face content turns.
        v.push_back({classic + "mj_middle1.bmp", [] { return Strip(26, 36, 26, 25, 11, 2); }});
        v.push_back({classic + "mj_middle2.bmp", [] { return Strip(33, 32, 33, 21, 11, 3); }});
        v.push_back({classic + "mj_middle3.bmp", [] { return Strip(26, 36, 26, 25, 11, 0); }});
        v.push_back({classic + "mj_small0.bmp", [] { return Strip(23, 22, 22, 16, 6, 0); }});
        v.push_back({classic + "mj_small1.bmp", [] { return Strip(16, 27, 17, 20, 7, 0); }});
        v.push_back({classic + "mj_smallback0.bmp", [] { return BackTile(23, 16, 6); }});
        v.push_back({classic + "mj_smallback1.bmp", [] { return BackTile(16, 20, 7); }});
        v.push_back({classic + "mj_back0.bmp", [] { return BackTile(33, 21, 11); }});
        v.push_back({classic + "mj_back1.bmp", [] { return BackTile(26, 25, 11); }});
        v.push_back({classic + "mj_side0.bmp", [] { return SideTile(19, 49, false); }});
        v.push_back({classic + "mj_side1.bmp", [] { return BackTile(26, 30, 7); }});
        v.push_back({classic + "mj_side2.bmp", [] { return SideTile(19, 49, true); }});
        v.push_back({classic + "clock.bmp", [] {
                         Raster r(65, 65, kKeyMagenta);
                         r.fillCircle(32.5, 32.5, 32, Rgb(110, 70, 30));
                         r.fillCircle(32.5, 32.5, 29, Rgb(236, 226, 196));
                         for (int k = 0; k < 8; ++k) {
                             const double a = k * M_PI / 4;
                             r.fillCircle(32.5 + std::cos(a) * 25, 32.5 - std::sin(a) * 25, 1.6,
                                          Rgb(110, 70, 30));
                         }
                         // The digits' window: the two 8 × 17 cells (from 24, 24 when the
                         // clock is placed by its centre) and two pixels of frame around.
                         r.fillRect(22, 22, 20, 21, kPanel);
                         return r;
                     }});
        v.push_back({classic + "clock_hand.bmp", ClockHand});
        v.push_back({classic + "mj_joker.bmp", [] {
                         Raster r(54, 77, kKeyMagenta);
                         const uint32_t gold = Rgb(230, 170, 20);
                         // A gold ring around the tile over which it is drawn, open inside.
                         r.fillRound(0, 0, 54, 72, 4, gold);
                         r.fillRound(3, 3, 48, 66, 2, kKeyMagenta);
                         r.fillCircle(44, 10, 9, gold);
                         DrawText(r, "财", kSans, 13, true, 44, 10, Rgb(170, 20, 20));
                         return r;
                     }});
        v.push_back({classic + "PGCHG.png", [] {
                         static const char* const labels[] = {"碰", "杠", "吃", "胡", "过", "取消"};
                         static const uint32_t fills[] = {Rgb(40, 140, 60),   Rgb(40, 90, 170),
                                                          Rgb(200, 120, 20),  Rgb(200, 40, 40),
                                                          Rgb(120, 120, 120), Rgb(90, 90, 90)};
                         return PngCells(40, 6, [](Raster& r, int i, int x) {
                             r.fillCircle(x + 20, 20, 19.5, Rgb(250, 230, 160));
                             r.fillCircle(x + 20, 20, 17.5, fills[i]);
                             DrawText(r, labels[i], kSans, i == 5 ? 13 : 22, true, x + 20, 20,
                                      Rgb(255, 255, 255));
                         });
                     }});
        static const char* const sides[] = {"left", "main", "right"};
        for (int bar = 0; bar < 2; ++bar)
            for (int k = 0; k < 3; ++k) {
                const int h = bar == 0 ? 48 : 36;
                const int w = k == 1 ? (bar == 0 ? 44 : 34) : 12;
                v.push_back({classic + "frame" + std::to_string(bar) + "_" + sides[k] + ".bmp",
                             [w, h, k] { return FramePiece(w, h, k); }});
            }
        return v;
    }();
    return list;
}

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// A BMP keeps only the colour: alpha is dropped (every transparent pixel already holds the
// key colour).
std::string Encode(const std::string& path, const Raster& r) {
    if (EndsWith(path, ".png")) return PngFile(r);
    std::vector<uint32_t> rgb(r.px.size());
    std::transform(r.px.begin(), r.px.end(), rgb.begin(), [](uint32_t p) { return p & 0xFFFFFF; });
    return bmpFile(r.width, r.height, rgb);
}

}  // namespace

int FaceOfMarker(uint32_t rgb) {
    rgb &= 0xFFFFFF;
    if ((rgb & 0xFFFF00) != (MarkerColour(0) & 0xFFFF00)) return -1;
    const int face = 0xE3 - int(rgb & 0xFF);
    return face >= 0 && face < kFaceCells ? face : -1;
}

Raster DrawPicture(const std::string& path) {
    for (const auto& [name, paint] : Painters())
        if (name == path) return paint();
    return {};
}

std::vector<ArtFile> TableArt() {
    std::vector<ArtFile> out;
    for (const auto& [name, paint] : Painters()) out.push_back({name, Encode(name, paint())});
    return out;
}

}  // namespace hqlv::assetgen
