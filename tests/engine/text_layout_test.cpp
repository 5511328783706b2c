// The text layout and its tags, checked on drawn pixels: every layout draws into a 64 × 32
// plane inside a guard band and is compared with the glyphs placed by hand where the layout
// rules put them.
#include "engine/render/text_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/core/diag.h"
#include "platform/core/glyphs.h"

using namespace hqlv::engine;
using hqlv::platform::GlyphFont;
using hqlv::platform::renderGlyph;

namespace {

constexpr int kW = 64, kH = 32, kGuard = 256;
constexpr uint32_t kGuardWord = 0xA5C3E1F7;
constexpr uint32_t kInk = 0x00C08040;  // COLORREF: red 0x40, green 0x80, blue 0xC0

struct Plane {
    std::vector<uint32_t> buf;
    Plane() : buf(kGuard + kW * kH + kGuard, kGuardWord) {
        std::fill(buf.begin() + kGuard, buf.begin() + kGuard + kW * kH, 0u);
    }
    uint32_t* px() { return buf.data() + kGuard; }
    uint32_t at(int x, int y) const { return buf[kGuard + y * kW + x]; }
    bool GuardIntact() const {
        for (int i = 0; i < kGuard; ++i) {
            if (buf[i] != kGuardWord || buf[buf.size() - 1 - i] != kGuardWord) return false;
        }
        return true;
    }
    int Inked() const {
        int n = 0;
        for (int i = 0; i < kW * kH; ++i) n += buf[kGuard + i] != 0;
        return n;
    }
    // A picture of the plane for failure messages: '#' inked, '.' empty.
    std::string Picture() const {
        std::string s = "\n";
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) s += at(x, y) ? '#' : '.';
            s += '\n';
        }
        return s;
    }
};

// One glyph cell as the layout must blend it: the glyph cut to the advance and the height,
// each pixel clipped to the plane.
void Put(Plane& p, const GlyphFont& f, char32_t cp, int penX, int rowY, int advance, int cut,
         uint32_t colour = kInk) {
    auto g = renderGlyph(f, cp);
    ASSERT_NE(g, nullptr);
    const uint32_t cr = colour & 255, cg = (colour >> 8) & 255, cb = (colour >> 16) & 255;
    for (int r = 0; r < cut; ++r) {
        for (int c = 0; c < advance; ++c) {
            const int x = penX + c, y = rowY + r;
            const uint32_t k = g->at(c, r);
            if (x < 0 || y < 0 || x >= kW || y >= kH || k == 0) continue;
            uint32_t& t = p.px()[y * kW + x];
            const uint32_t a = t >> 24;
            if (a == 0) {
                t = k << 24 | cr << 16 | cg << 8 | cb;
                continue;
            }
            const uint32_t b = (cb * k + (t & 255) * (255 - k)) >> 8;
            const uint32_t gg = (cg * k + ((t >> 8) & 255) * (255 - k)) >> 8;
            const uint32_t rr = (cr * k + ((t >> 16) & 255) * (255 - k)) >> 8;
            t = std::max(a, k) << 24 | rr << 16 | gg << 8 | b;
        }
    }
}

GlyphFont Song(int h, bool italic = false, bool underline = false, int weight = 400) {
    return {"宋体", h, weight, italic, underline};
}

TextStyle Style(int h, int wrap = 1) {
    TextStyle s;
    s.face = "宋体";
    s.colour = kInk;
    s.height = s.lineHeight = h;
    s.weight = 400;
    s.wrap = wrap;
    return s;
}

struct Drawn {
    Plane plane;
    TextStyle after;
};

Drawn Draw(const TextStyle& style, const std::string& text, int x = 0, int y = 0) {
    TextLayout layout;
    layout.Init();
    layout.SetStyle(style);
    Drawn d;
    layout.DrawText(d.plane.px(), kW, kH, x, y, text);
    layout.GetStyle(d.after);
    return d;
}

void ExpectSame(const Drawn& got, const Plane& want) {
    EXPECT_TRUE(got.plane.GuardIntact());
    EXPECT_TRUE(got.plane.buf == want.buf)
        << "got" << got.plane.Picture() << "want" << want.Picture();
    EXPECT_GT(want.Inked(), 0);
}

std::pair<int, int> Measure(const TextStyle& style, const std::string& text, int x = 0, int y = 0) {
    TextLayout layout;
    layout.Init();
    layout.SetStyle(style);
    int w = -1, h = -1;
    layout.MeasureText(x, y, text, w, h);
    return {w, h};
}

}  // namespace

TEST(TextLayout, InitSetsTheDefaultsAndMakesNoFont) {
    TextLayout l;
    l.DrawText(nullptr, 0, 0, 0, 0, "<script:x>");
    EXPECT_EQ(l.Init(), 0);
    EXPECT_EQ(l.Style().colour, 0xFF7D327Du);
    EXPECT_TRUE(l.Scripts().empty());
    EXPECT_EQ(l.ScriptIndex(), -1);
    // The first font is always made, an unchanged one is not; any field makes a new one.
    struct Font {
        int height, weight;
        const char* face;
        int italic, underline, result;
    } fonts[] = {{20, 400, "宋体", 0, 0, 10}, {20, 400, "宋体", 0, 0, 0},
                 {21, 400, "宋体", 0, 0, 11}, {21, 401, "宋体", 0, 0, 11},
                 {21, 401, "宋体", 1, 0, 11}, {21, 401, "宋体", 1, 1, 11},
                 {21, 401, "黑体", 1, 1, 11}, {500, 401, "黑体", 1, 1, 150}};
    for (const Font& f : fonts) {
        EXPECT_EQ(l.SetFont(f.height, f.weight, f.face, f.italic, f.underline), f.result);
    }
    EXPECT_EQ(l.Style().height, 300);
    EXPECT_EQ(l.Style().lineHeight, 300);
}

TEST(TextLayout, InitClearsPitchAndRowSpace) {
    TextStyle spaced = Style(12);
    spaced.pitch = 3;
    spaced.rowSpace = 4;
    TextLayout l;
    l.SetStyle(spaced);
    l.Init();
    EXPECT_EQ(l.Style().pitch, 0);
    EXPECT_EQ(l.Style().rowSpace, 0);
    EXPECT_EQ(l.Style().height, 12);
}

TEST(TextLayout, AdvancesHalfHeightForAsciiAndHeightForChineseWithPitchBetween) {
    TextStyle s = Style(12);
    s.pitch = 2;
    Plane want;
    Put(want, Song(12), U'a', 3, 4, 6, 12);     // first on the line: no pitch before it
    Put(want, Song(12), U'中', 13, 4, 12, 12);  // 3 + 6 + 2 × 2
    Put(want, Song(12), U'b', 27, 4, 6, 12);    // 13 + 12 + 2
    ExpectSame(Draw(s, "a中b", 3, 4), want);
    EXPECT_EQ(Measure(s, "a中b", 3, 4), std::make_pair(33, 16));
}

TEST(TextLayout, InitWithFontsInstalledLogsNothing) {
    std::vector<std::string> lines;
    auto old =
        hqlv::platform::setDiagSink([&](std::string_view line) { lines.emplace_back(line); });
    TextLayout l;
    l.Init();
    hqlv::platform::setDiagSink(old);
    EXPECT_TRUE(lines.empty());
}

TEST(TextLayout, MalformedUtf8BytesAreSingleByteQuestionMarks) {
    struct Case {
        const char* text;
        int chars;  // drawn as '?' after 'a'
    } cases[] = {
        {"a\x80", 1},
        {"a\xFF", 1},
        {"a\xE4\xB8", 2},  // cut short
        {"a\xC0\xAF", 2},
        {"a\xE0\x80\xAF", 3},      // overlong
        {"a\xED\xA0\x80", 3},      // surrogate
        {"a\xF4\x90\x80\x80", 4},  // past Unicode
        {"a\xE4\xB8z", 2},         // bad trail byte
    };
    for (const auto& c : cases) {
        Plane want;
        Put(want, Song(12), U'a', 0, 0, 6, 12);
        for (int i = 0; i < c.chars; ++i) Put(want, Song(12), U'?', 6 + 6 * i, 0, 6, 12);
        if (std::string(c.text).back() == 'z') Put(want, Song(12), U'z', 18, 0, 6, 12);
        SCOPED_TRACE(c.text);
        ExpectSame(Draw(Style(12), c.text), want);
    }
    // Well-formed characters of two, three and four bytes are double-byte.
    EXPECT_EQ(Measure(Style(10), "\xC2\xA9\xE4\xB8\xAD\xF0\x9F\x80\x84").first, 30);
}

TEST(TextLayout, LineThatFillsTheWidthExactlyStaysOneLine) {
    Plane want;
    for (int i = 0; i < 8; ++i) Put(want, Song(16), U'a', i * 8, 0, 8, 16);
    ExpectSame(Draw(Style(16), "aaaaaaaa"), want);
}

TEST(TextLayout, StartIsMovedOnlyToAPositiveLeftMargin) {
    TextStyle s = Style(12);
    s.leftMargin = 5;
    Plane right;
    Put(right, Song(12), U'a', 10, 0, 6, 12);
    ExpectSame(Draw(s, "a", 10), right);
    s.leftMargin = 0;
    EXPECT_EQ(Measure(s, "a", -3).first, 3);
}

TEST(TextLayout, MeasuresTwoLettersAsTwoHalfHeights) {
    EXPECT_EQ(Measure(Style(20), "ab", 0, 7), std::make_pair(20, 27));
    TextStyle s = Style(20);
    s.rightMargin = 5;
    EXPECT_EQ(Measure(s, "ab", 0, 7), std::make_pair(25, 27));
    EXPECT_EQ(Measure(Style(20), "", 0, 7), std::make_pair(0, 8));
    // A letter ending exactly on the measuring width's edge keeps its own advance.
    EXPECT_EQ(Measure(Style(12), "a", 9999993).first, 9999999);
}

TEST(TextLayout, MixedHeightsShareTheLineBottom) {
    Plane want;
    Put(want, Song(12), U'a', 0, 14, 6, 12);
    Put(want, Song(12), U'b', 6, 14, 6, 12);
    Put(want, Song(24), U'c', 12, 2, 12, 24);
    Put(want, Song(24), U'd', 24, 2, 12, 24);
    ExpectSame(Draw(Style(12), "ab<size=24>cd", 0, 2), want);
}

TEST(TextLayout, TagAtTheEndStillDrawsTheLine) {
    Plane want;
    Put(want, Song(12), U'a', 0, 0, 6, 12);
    Put(want, Song(12), U'b', 6, 0, 6, 12);
    ExpectSame(Draw(Style(12), "ab<color=255>"), want);
}

TEST(TextLayout, RowsPastTheBottomAreCut) {
    // The line grows to 24 rows after it was started at 10: it ends below the plane.
    Plane want;
    Put(want, Song(12), U'a', 0, 22, 6, 12);
    Put(want, Song(24), U'国', 6, 10, 24, 24);
    Put(want, Song(24), U'国', 30, 10, 24, 24);
    ExpectSame(Draw(Style(12), "a<size=24>国国", 0, 10), want);
}

TEST(TextLayout, HeightOfThreeHundredDrawsNothing) {
    TextStyle big = Style(300);
    EXPECT_EQ(Measure(big, "a"), std::make_pair(0, 0));
    Drawn d = Draw(big, "a");
    EXPECT_EQ(d.plane.Inked(), 0);
    EXPECT_EQ(Measure(Style(299), "a"), std::make_pair(150, 299));
    // A style asking for more keeps its height, and still draws nothing.
    TextLayout l;
    l.Init();
    l.SetStyle(Style(400));
    EXPECT_EQ(l.Style().height, 400);
}

TEST(TextLayout, CharacterLeftOfTheLeftMarginIsSkippedButAdvances) {
    // Margin 5: b and c fall left of it and are skipped, each advancing by its width and the
    // pitch once more; d lands at -9 + 20.
    TextStyle s = Style(12);
    s.leftMargin = 5;
    Plane want;
    Put(want, Song(12), U'a', 5, 0, 6, 12);
    Put(want, Song(12), U'd', 11, 0, 6, 12);
    ExpectSame(Draw(s, "a<pitch=-8>bc<pitch=20>d", 2), want);
    // A margin tag past the line's start moves the start of the line's drawing pass.
    Plane moved;
    Put(moved, Song(12), U'a', 8, 0, 6, 12);
    Put(moved, Song(12), U'b', 14, 0, 6, 12);
    ExpectSame(Draw(Style(12), "a<leftmargin=8>b"), moved);
}

TEST(TextLayout, WrapsOntoTheNextLineAfterTheRowSpace) {
    const std::string text(16, 'a');
    for (int rowSpace : {0, 3}) {
        TextStyle s = Style(12);
        s.rowSpace = rowSpace;
        Plane want;
        for (int i = 0; i < 16; ++i) {
            const int line = i / 10;
            Put(want, Song(12), U'a', (i % 10) * 6, line * (12 + rowSpace), 6, 12);
        }
        ExpectSame(Draw(s, text), want);
    }
    Plane wide;
    for (int i = 0; i < 6; ++i) Put(wide, Song(12), U'中', (i % 5) * 12, i / 5 * 12, 12, 12);
    ExpectSame(Draw(Style(12), "中中中中中中"), wide);
}

TEST(TextLayout, LinesBelowTheTargetAreNotStarted) {
    EXPECT_EQ(Draw(Style(12), "a", 0, 21).plane.Inked(), 0);
    Plane want;
    Put(want, Song(12), U'a', 0, 20, 6, 12);
    ExpectSame(Draw(Style(12), "a", 0, 20), want);
    // The third line would end below the plane: two lines are drawn.
    Plane two;
    for (int i = 0; i < 20; ++i) Put(two, Song(12), U'a', (i % 10) * 6, i / 10 * 12, 6, 12);
    Drawn d = Draw(Style(12), std::string(30, 'a'));
    ExpectSame(d, two);
    EXPECT_EQ(d.after.height, 12);
}

TEST(TextLayout, WithoutWrapTheLinePastTheLimitIsNotDrawn) {
    TextStyle s = Style(12, 0);
    s.italic = 1;
    Plane want;
    Put(want, Song(12, true), U'a', 0, 0, 6, 12);
    Put(want, Song(12, true), U'b', 6, 0, 6, 12);
    Drawn d = Draw(s, "ab<break><size=20>" + std::string(12, 'c'));
    ExpectSame(d, want);
    // The stop restores the style the layout began with.
    EXPECT_EQ(d.after.height, 12);
    EXPECT_EQ(d.after.italic, 1);
}

TEST(TextLayout, BreakEndsTheLine) {
    Plane want;
    Put(want, Song(12), U'a', 0, 0, 6, 12);
    Put(want, Song(12), U'b', 6, 0, 6, 12);
    Put(want, Song(12), U'c', 0, 12, 6, 12);
    ExpectSame(Draw(Style(12), "ab<break>c"), want);
    EXPECT_EQ(Measure(Style(12), "ab<break>cd", 0, 5), std::make_pair(12, 29));
    // The break starts the next line itself, so it needs no wrapping.
    TextStyle noWrap = Style(12, 0);
    ExpectSame(Draw(noWrap, "ab<break>c"), want);
    // A right margin past the plane moves the line's end, and the break goes there too.
    TextStyle wide = Style(12);
    wide.rightMargin = -20;
    ExpectSame(Draw(wide, "ab<break>c"), want);
}

TEST(TextLayout, NegativeMarginsAndPitchAreClippedToTheTarget) {
    // Second line starts at -50: its first characters lie left of the plane.
    Plane margin;
    for (int i = 0; i < 10; ++i) Put(margin, Song(12), U'a', i * 6, 0, 6, 12);
    for (int i = 0; i < 10; ++i) Put(margin, Song(12), U'a', -50 + i * 6, 12, 6, 12);
    ExpectSame(Draw(Style(12), "<leftmargin=-50>" + std::string(20, 'a')), margin);
    // A negative pitch walks the pen left of the first row.
    Plane pitch;
    Put(pitch, Song(12), U'a', 0, 0, 6, 12);
    ExpectSame(Draw(Style(12), "<leftmargin=-1000><pitch=-30>abcdefgh"), pitch);
    Plane mid;
    Put(mid, Song(12), U'a', 0, 10, 6, 12);
    Put(mid, Song(12), U'b', -4, 10, 6, 12);
    ExpectSame(Draw(Style(12), "<leftmargin=-1000><pitch=-10>abcdefgh", 0, 10), mid);
}

TEST(TextLayout, HostileNumbersLeaveTheBandAlone) {
    const char* texts[] = {
        "<size=-20>abc中",
        "<pitch=2147483647>abcdef",
        "<pitch=-2147483648><leftmargin=-2147483648>abcdef中文",
        "<rightmargin=-2147483648>abc",
        "<rightmargin=2147483647>abc",
        "<leftmargin=2147483647>abc",
        "<rowspace=2147483647>aaaaaaaaaaaaaaaaaaaaaaaaa",
        "<rowspace=-2147483648>aaaaaaaaaaaaaaaaaaaaaaaaa",
        "<size=300>ab<size=1>cd",
        "<leftmargin=-40><rowspace=-12>aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa",
    };
    for (const char* t : texts) {
        Drawn d = Draw(Style(12), t, -5, 0);
        EXPECT_TRUE(d.plane.GuardIntact()) << t;
        int w = 0, h = 0;
        TextLayout l;
        l.Init();
        l.SetStyle(Style(12));
        l.MeasureText(-5, 0, t, w, h);
    }
}

TEST(TextLayout, CharacterThatFitsNoLineEndsTheLayout) {
    // Measuring never looks at the height, and a negative row space never leaves the target.
    TextStyle narrow = Style(20);
    narrow.rightMargin = 9999990;
    EXPECT_EQ(Measure(narrow, "a").first, 0);
    EXPECT_EQ(Measure(Style(20), "ab<rightmargin=9999990>c").first, 20);
    Plane want;
    Put(want, Song(12), U'a', 0, 0, 6, 12);
    Put(want, Song(12), U'b', 6, 0, 6, 12);
    Drawn d = Draw(Style(12), "ab<rowspace=-20><rightmargin=60>c");
    ExpectSame(d, want);
    EXPECT_EQ(d.after.rightMargin, 0);
    ExpectSame(Draw(Style(12), "ab<rowspace=-12><rightmargin=61>中"), want);
    // A first line that starts too far right: the line's own start is tested once more.
    EXPECT_EQ(Draw(Style(12), "a", 60).plane.Inked(), 0);
    Plane moved;
    Put(moved, Song(12), U'a', 55, 0, 6, 12);
    Put(moved, Song(12), U'b', 0, 12, 6, 12);
    ExpectSame(Draw(Style(12), "ab", 55), moved);
}

TEST(TextLayout, CharacterThatFitsOnlyAfterAMarginChangeGoesToTheNextLine) {
    // Lines end at 56. The second line starts at 50, where 中 does not fit; the margin it
    // sets first puts the third line at 0, where it does.
    TextStyle s = Style(8);
    s.leftMargin = 50;
    s.rightMargin = 8;
    Plane want;
    Put(want, Song(8), U'a', 50, 0, 4, 8);
    Put(want, Song(8), U'中', 0, 16, 8, 8);
    ExpectSame(Draw(s, "a<break><leftmargin=0>中"), want);
    // A margin raised late in the line moves the drawing pass's start past where its first
    // character fits, on every line alike: the layout ends.
    TextStyle level = Style(12);
    level.rowSpace = -12;
    Drawn d = Draw(level, "a<leftmargin=60>a");
    EXPECT_EQ(d.plane.Inked(), 0);
    EXPECT_TRUE(d.plane.GuardIntact());
}

TEST(RichText, ColourTagsAreCaseFreeDecimalColourrefs) {
    Plane red;
    Put(red, Song(12), U'a', 0, 0, 6, 12, 0x0000FF);
    ExpectSame(Draw(Style(12), "<COLOR=255>a"), red);
    ExpectSame(Draw(Style(12), "<c=255>a"), red);
    ExpectSame(Draw(Style(12), "<rgb=255,0,0>a"), red);
    ExpectSame(Draw(Style(12), "<rgb=255,0,0,>a"), red);
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            if (red.at(x, y)) {
                ASSERT_EQ(red.at(x, y) & 0xFFFFFF, 0xFF0000u);
            }
        }
    }
    EXPECT_EQ(Draw(Style(12), "<rgb=511,256,-1>").after.colour, 0xFF00FFu);
    EXPECT_EQ(Draw(Style(12), "<rgb=1,2,3>").after.colour, 0x030201u);
    // Two parts: not a tag; the group is text.
    Drawn two = Draw(Style(10), "<rgb=255,0>a");
    EXPECT_EQ(two.after.colour, kInk);
    EXPECT_EQ(Measure(Style(10), "<rgb=255,0>a").first, 12 * 5);
    EXPECT_EQ(Measure(Style(10), "<rgb=1,2,3,4>a").first, 14 * 5);
    EXPECT_EQ(Measure(Style(10), "<rgb=1,2,>a").first, 11 * 5);
}

TEST(RichText, ColourRestoresTheOneBeforeTheLastChange) {
    Plane want;
    Put(want, Song(12), U'a', 0, 0, 6, 12, 0x0000FF);
    Put(want, Song(12), U'b', 6, 0, 6, 12, 0x00FF00);
    Put(want, Song(12), U'c', 12, 0, 6, 12, 0x0000FF);
    Put(want, Song(12), U'd', 0, 12, 6, 12, 0x0000FF);
    ExpectSame(Draw(Style(12), "<color=255>a<color=65280>b</color>c<break>d"), want);
    Plane back;
    Put(back, Song(12), U'a', 0, 0, 6, 12, 0x0000FF);
    Put(back, Song(12), U'b', 6, 0, 6, 12);
    ExpectSame(Draw(Style(12), "<rgb=255,0,0>a</color>b"), back);
}

TEST(RichText, WeightItalicAndUnderlineTags) {
    struct Case {
        const char* text;
        int weight, italic, underline;
    } cases[] = {
        {"<bold>", 700, 0, 0},
        {"<bold=400>", 400, 0, 0},
        {"<bold=650>", 650, 0, 0},
        {"<bold;italic>", 700, 1, 0},
        {"<italic;bold>", 700, 0, 0},
        {"<underline;italic>", 0, 1, 1},
        {"<underline;bold>", 700, 0, 0},
        {"<bold><italic;/bold>", 0, 0, 0},
        {"<italic;underline;/italic>", 0, 0, 1},
        {"<underline;italic;/underline>", 0, 1, 0},
        {"<bold ;italic>", 0, 0, 0},
        {"<color=5;bold>", 700, 0, 0},
    };
    for (const auto& c : cases) {
        TextStyle s = Style(12);
        s.weight = 0;
        TextLayout l;
        l.Init();
        l.SetStyle(s);
        int w, h;
        l.MeasureText(0, 0, c.text, w, h);
        EXPECT_EQ(l.Style().weight, c.weight) << c.text;
        EXPECT_EQ(l.Style().italic, c.italic) << c.text;
        EXPECT_EQ(l.Style().underline, c.underline) << c.text;
    }
    Plane bold;
    Put(bold, Song(12, true, true, 700), U'a', 0, 0, 6, 12);
    ExpectSame(Draw(Style(12), "<bold;italic;underline>a"), bold);
}

TEST(RichText, SizeAndItsRestoreClearItalicAndUnderline) {
    TextStyle s = Style(12);
    s.italic = s.underline = 1;
    Plane want;
    Put(want, Song(24), U'a', 0, 0, 12, 24);
    Put(want, Song(24), U'b', 12, 0, 12, 24);
    Put(want, Song(12), U'c', 24, 12, 6, 12);
    Drawn d = Draw(s, "<size=24>ab</size>c");
    ExpectSame(d, want);
    EXPECT_EQ(d.after.height, 12);
    EXPECT_EQ(d.after.italic, 0);
    EXPECT_EQ(d.after.underline, 0);
    EXPECT_EQ(Draw(Style(12), "<size=400>").after.height, 300);
    EXPECT_EQ(Draw(Style(12), "<size>").after.height, 0);
}

TEST(RichText, FaceNameIsUnquotedLowerCasedAndCut) {
    Plane kai;
    Put(kai, {"楷体_GB2312", 12, 400, false, false}, U'国', 0, 0, 12, 12);
    Drawn d = Draw(Style(12), "<fontname=\"楷体_GB2312\">国");
    ExpectSame(d, kai);
    EXPECT_EQ(d.after.face, "楷体_gb2312");
    std::string twenty;
    for (int i = 0; i < 20; ++i) twenty += "宋";
    std::string fifteen;
    for (int i = 0; i < 15; ++i) fifteen += "宋";
    EXPECT_EQ(Draw(Style(12), "<fontname=" + twenty + ">").after.face, fifteen);
    EXPECT_EQ(Draw(Style(12), "<fontname=" + std::string(40, 'x') + ">").after.face,
              std::string(31, 'x'));
    EXPECT_EQ(Draw(Style(12), "<fontname=a\"b>").after.face, "a\"b");
    EXPECT_EQ(Draw(Style(12), "<fontname=Ab><size=8;/fontname>").after.face, "宋体");
    const TextStyle restored = Draw(Style(12), "<italic;underline;/fontname>").after;
    EXPECT_EQ(restored.italic, 0);
    EXPECT_EQ(restored.underline, 0);
}

TEST(RichText, SpacingAndMarginTagsAndTheirRestores) {
    Plane pitch;
    Put(pitch, Song(12), U'a', 0, 0, 6, 12);
    Put(pitch, Song(12), U'b', 11, 0, 6, 12);
    Put(pitch, Song(12), U'c', 17, 0, 6, 12);
    ExpectSame(Draw(Style(12), "<pitch=5>ab</pitch>c"), pitch);
    Plane margins;
    for (int i = 0; i < 3; ++i) Put(margins, Song(12), U'a', 2 + i * 6, 0, 6, 12);
    for (int i = 0; i < 2; ++i) Put(margins, Song(12), U'a', 2 + i * 6, 15, 6, 12);
    ExpectSame(Draw(Style(12), "<rightmargin=40;rowspace=3;leftmargin=2>aaaaa"), margins);
    Drawn restored = Draw(Style(12),
                          "<rightmargin=40;rowspace=3;leftmargin=2;pitch=1>"
                          "</rightmargin;/rowspace;/leftmargin;/pitch>");
    EXPECT_EQ(restored.after.rightMargin, 0);
    EXPECT_EQ(restored.after.rowSpace, 0);
    EXPECT_EQ(restored.after.leftMargin, 0);
    EXPECT_EQ(restored.after.pitch, 0);
}

TEST(RichText, CommentsAndScriptsDrawNothing) {
    Plane a;
    Put(a, Song(12), U'a', 0, 0, 6, 12);
    ExpectSame(Draw(Style(12), "<//>a"), a);
    ExpectSame(Draw(Style(12), "< //:anything;bold>a"), a);
    EXPECT_EQ(Measure(Style(10), "<// word>a").first, 10 * 5);
    TextLayout l;
    l.Init();
    l.SetStyle(Style(12));
    Plane p;
    l.DrawText(p.px(), kW, kH, 0, 0, "<SCRIPT:Go>a");
    EXPECT_EQ(p.buf, a.buf);
    ASSERT_EQ(l.Scripts().size(), 2u);  // once per pass of the line
    EXPECT_EQ(l.Scripts()[0], "script:go");
    EXPECT_EQ(l.ScriptIndex(), 0);
    l.ClearRuns();
    EXPECT_TRUE(l.Scripts().empty());
    EXPECT_EQ(l.ScriptIndex(), -1);
    EXPECT_EQ(Measure(Style(10), "<scripts:go>a").first, 13 * 5);
}

TEST(RichText, RejectedGroupsAreText) {
    EXPECT_EQ(Measure(Style(10), "<>a").first, 3 * 5);
    EXPECT_EQ(Measure(Style(10), "<a").first, 2 * 5);
    EXPECT_EQ(Measure(Style(10), "< >").first, 3 * 5);
    EXPECT_EQ(Measure(Style(10), "<;>").first, 3 * 5);
    EXPECT_EQ(Measure(Style(10), "<bogus;color=255>").first, 17 * 5);
    Drawn partly = Draw(Style(10), "<color=255;bogus;bold>");
    EXPECT_EQ(partly.after.colour, 0xFFu);
    EXPECT_EQ(partly.after.weight, 400);
    EXPECT_EQ(Measure(Style(10), "<color=255;bogus;bold>").first, 0);
}

TEST(RichText, UnclosedGroupAtTheEndOfTheBufferReadsNothingPastIt) {
    const std::vector<char> bytes{'a', '<', 'b'};
    TextLayout l;
    l.Init();
    l.SetStyle(Style(10));
    int w = 0, h = 0;
    l.MeasureText(0, 0, std::string_view(bytes.data(), bytes.size()), w, h);
    EXPECT_EQ(w, 15);
}

TEST(RichText, GroupEndsWithinTwoHundredFiftySixGbkBytes) {
    const std::string fits = "<c=255" + std::string(250, ' ') + ">";
    const std::string tooLong = "<c=255" + std::string(251, ' ') + ">";
    EXPECT_EQ(Measure(Style(10), fits).first, 0);
    EXPECT_EQ(Measure(Style(10), tooLong).first, 258 * 5);
    // A Chinese character counts two bytes, as in GBK.
    std::string han;
    for (int i = 0; i < 125; ++i) han += "中";
    EXPECT_EQ(Measure(Style(10), "<c=255" + han + ">").first, 0);
    EXPECT_EQ(Measure(Style(10), "<c=255 " + han + ">").first, 8 * 5 + 125 * 10);
}

TEST(FitTextInBox, ChoosesHeightSpacingAndOffset) {
    struct Case {
        int w, h;
        const char* text;
        int mx, my, fh;
        const char* fitted;
        int x, y, height, pitch, rowSpace;
    } cases[] = {
        {100, 40, "abcd", 0, 0, 0, "abcd", 13, 7, 26, 7, 0},
        {100, 60, "中文字体", 0, 0, 0, "中文字体", 15, 6, 20, 15, 8},
        {100, 300, "中文字体", 5, 0, 0, "中文字体", 5, 70, 44, 1, 72},
        {40, 20, "abcdefghij", 0, 0, 0, "ab..", 6, 4, 12, 1, 0},
        {40, 20, "中文测试字", 0, 0, 0, "中..", 6, 4, 12, 2, 0},
        {40, 20, "中abc", 0, 0, 0, "中..", 6, 4, 12, 2, 0},
        {40, 20, "中中a", 0, 0, 0, "中..", 6, 4, 12, 2, 0},
        {40, 20, "abcdef", 0, 0, 20, "a", 15, 0, 20, 0, 0},
        {10, 10, "ab", 0, 0, 20, "", 0, 0, 20, 0, 0},
        {100, 40, "", 0, 0, 0, "", 0, 0, 0, 0, 0},
        {100, 40, "ab", 10, 5, 0, "ab", 23, 5, 30, 24, 0},
        {100, 40, "中", 0, 0, 0, "中", 37, 7, 26, 0, 0},
        {100, 150, "中文", 0, 0, 0, "中文", 25, 16, 50, 0, 18},
        {50, 20, "ab中a中", 0, 0, 0, "ab中..", 7, 4, 12, 0, 0},
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        TextStyle s;
        TextOffset o = FitTextInBox(c.w, c.h, text, s, c.mx, c.my, c.fh);
        EXPECT_EQ(text, c.fitted) << c.text;
        EXPECT_EQ(o.x, c.x) << c.text;
        EXPECT_EQ(o.y, c.y) << c.text;
        EXPECT_EQ(s.height, c.height) << c.text;
        if (!*c.fitted) continue;
        EXPECT_EQ(s.pitch, c.pitch) << c.text;
        EXPECT_EQ(s.rowSpace, c.rowSpace) << c.text;
        EXPECT_EQ(s.leftMargin, c.x) << c.text;
    }
}

TEST(FitTextInBox, KeepsCharactersGbkCannotHold) {
    // 한 and 😀 have no GBK form: they count as one byte, but the caption keeps them.
    struct Case {
        int w, h;
        const char* text;
        int fh;
        const char* fitted;
    } cases[] = {
        {100, 40, "한b", 0, "한b"},
        {100, 40, "😀中", 0, "😀中"},
        {40, 20, "😀bcdefghij", 0, "😀b.."},
        {40, 20, "\U0010FFFFbcdefghij", 0, "\U0010FFFFb.."},
        {40, 20, "中한cdefgh", 0, "中.."},
        {40, 20, "한bcdef", 20, "한"},
        {40, 20, "a\xE4\xB8z中文字", 0, "a\xE4.."},
        {40, 20,
         "ab\x80"
         "defghij",
         0, "ab.."},
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        TextStyle s;
        FitTextInBox(c.w, c.h, text, s, 0, 0, c.fh);
        EXPECT_EQ(text, c.fitted) << c.text;
    }
}
