#include "platform/core/glyphs.h"

#include <gtest/gtest.h>

using namespace hqlv::platform;

namespace {

long Sum(const GlyphBitmap& g) {
    long s = 0;
    for (uint8_t v : g.coverage) s += v;
    return s;
}

// Rows of the cell that hold any coverage: [first, last].
std::pair<int, int> InkRows(const GlyphBitmap& g) {
    int first = INT32_MAX, last = INT32_MIN;
    for (int r = 0; r < g.rows; ++r) {
        for (int c = 0; c < g.width; ++c) {
            if (g.coverage[size_t(r) * g.width + c]) {
                first = std::min(first, g.top + r), last = std::max(last, g.top + r);
            }
        }
    }
    return {first, last};
}

// Mean column of the ink in cell rows [r0, r1).
double MeanColumn(const GlyphBitmap& g, int r0, int r1) {
    double sum = 0, weight = 0;
    for (int y = r0; y < r1; ++y) {
        for (int x = g.left; x < g.left + g.width; ++x) sum += x * g.at(x, y), weight += g.at(x, y);
    }
    return weight ? sum / weight : 0;
}

bool SameCoverage(const GlyphBitmap& a, const GlyphBitmap& b) {
    return a.left == b.left && a.top == b.top && a.width == b.width && a.rows == b.rows &&
           a.coverage == b.coverage;
}

}  // namespace

TEST(Glyphs, FaceNamesPickTheSongKaiAndSansFaces) {
    struct Case {
        const char* face;
        const char* family;
    } cases[] = {
        {"宋体", "AR PL UMing CN"},       {"楷体_GB2312", "AR PL UKai CN"},
        {"楷体_gb2312", "AR PL UKai CN"}, {"黑体", "WenQuanYi Micro Hei"},
        {"Arial", "WenQuanYi Micro Hei"}, {"", "WenQuanYi Micro Hei"},
        {"宋体 ", "WenQuanYi Micro Hei"},
    };
    for (const auto& c : cases) {
        GlyphFaceFile f = glyphFaceFile(c.face);
        EXPECT_EQ(f.family, c.family) << c.face;
        EXPECT_FALSE(f.path.empty()) << c.face;
    }
}

TEST(Glyphs, HeightsBelowOneGiveNothingOthersAreCachedPerFontAndCharacter) {
    EXPECT_EQ(renderGlyph({"宋体", 0, 400, false, false}, U'中'), nullptr);
    EXPECT_EQ(renderGlyph({"宋体", -12, 400, false, false}, U'中'), nullptr);
    EXPECT_NE(renderGlyph({"宋体", 1, 400, false, false}, U'中'), nullptr);
    auto a = renderGlyph({"宋体", 20, 400, false, false}, U'国');
    auto b = renderGlyph({"宋体", 20, 400, false, false}, U'国');
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a.get(), b.get());
    EXPECT_NE(a.get(), renderGlyph({"宋体", 21, 400, false, false}, U'国').get());
    EXPECT_NE(a.get(), renderGlyph({"楷体_GB2312", 20, 400, false, false}, U'国').get());
    EXPECT_NE(a.get(), renderGlyph({"宋体", 20, 400, false, false}, U'图').get());
}

TEST(Glyphs, ChineseCharacterFillsTheEmHeightAboveTheBaseline) {
    for (int h : {12, 20, 40}) {
        auto g = renderGlyph({"宋体", h, 400, false, false}, U'国');
        ASSERT_NE(g, nullptr);
        auto [first, last] = InkRows(*g);
        EXPECT_GE(first, 0) << h;
        EXPECT_GT(g->baseline, h / 2) << h;
        EXPECT_LE(g->baseline, h) << h;
        // An ideograph spans most of the em square and ends a little below the baseline.
        EXPECT_GE(last - first + 1, h * 3 / 4) << h;
        EXPECT_LE(last - first + 1, h + 1) << h;
        EXPECT_LE(last, g->baseline + h / 6) << h;
    }
}

TEST(Glyphs, LatinCapitalStandsOnTheBaseline) {
    auto g = renderGlyph({"Arial", 30, 400, false, false}, U'H');
    ASSERT_NE(g, nullptr);
    auto [first, last] = InkRows(*g);
    EXPECT_EQ(last + 1, g->baseline);
    EXPECT_GE(first, 0);
    EXPECT_GT(g->advance, 0);
    EXPECT_LT(g->advance, 30);
}

TEST(Glyphs, CharactersTheFaceLacksComeFromTheSansFace) {
    // Hangul is in the sans face only.
    auto song = renderGlyph({"宋体", 24, 400, false, false}, U'한');
    auto sans = renderGlyph({"Arial", 24, 400, false, false}, U'한');
    ASSERT_NE(song, nullptr);
    ASSERT_NE(sans, nullptr);
    EXPECT_GT(Sum(*song), 0);
    // Same outline; the cell's baseline stays the Song face's.
    EXPECT_EQ(song->coverage, sans->coverage);
    EXPECT_EQ(song->width, sans->width);
    EXPECT_EQ(song->top - song->baseline, sans->top - sans->baseline);
    // A character the face has is its own.
    auto songHan = renderGlyph({"宋体", 24, 400, false, false}, U'国');
    auto sansHan = renderGlyph({"Arial", 24, 400, false, false}, U'国');
    EXPECT_FALSE(SameCoverage(*songHan, *sansHan));
}

TEST(Glyphs, WeightFromSixHundredIsBold) {
    auto normal = renderGlyph({"宋体", 24, 599, false, false}, U'国');
    auto bold = renderGlyph({"宋体", 24, 600, false, false}, U'国');
    auto regular = renderGlyph({"宋体", 24, 400, false, false}, U'国');
    EXPECT_TRUE(SameCoverage(*normal, *regular));
    EXPECT_GT(Sum(*bold), Sum(*regular) * 11 / 10);
}

TEST(Glyphs, ItalicLeansTheTopToTheRight) {
    auto upright = renderGlyph({"Arial", 40, 400, false, false}, U'l');
    auto italic = renderGlyph({"Arial", 40, 400, true, false}, U'l');
    const int b = upright->baseline;
    const double uprightLean = MeanColumn(*upright, 0, b / 2) - MeanColumn(*upright, b / 2, b);
    const double italicLean = MeanColumn(*italic, 0, b / 2) - MeanColumn(*italic, b / 2, b);
    EXPECT_NEAR(uprightLean, 0.0, 0.5);
    EXPECT_GT(italicLean, 2.0);
}

TEST(Glyphs, UnderlineIsAFullLineAtTheBaselineInsideTheEm) {
    EXPECT_EQ(Sum(*renderGlyph({"宋体", 20, 400, false, false}, U' ')), 0);
    for (const char* face : {"宋体", "楷体_GB2312", "Arial"}) {
        int thin = 0;
        for (int h : {1, 2, 12, 16, 20, 40}) {
            auto u = renderGlyph({face, h, 400, false, true}, U' ');
            ASSERT_GT(u->rows, 0) << face << h;
            EXPECT_EQ(u->left, 0);
            EXPECT_EQ(u->width, std::max(u->advance, 1));
            EXPECT_GE(u->top, std::max(0, u->baseline - 3)) << face << h;
            EXPECT_LE(u->top + u->rows, h) << face << h;
            EXPECT_GE(u->top + u->rows, u->baseline) << face << h;
            for (uint8_t v : u->coverage) ASSERT_EQ(v, 255);
            if (h == 12) thin = u->rows;
            if (h == 40) {  // the line grows with the size
                EXPECT_GT(u->rows, thin) << face;
            }
        }
    }
}

TEST(Glyphs, BitmapIsTightAroundTheInk) {
    for (char32_t cp : {U'H', U'j', U'国', U'a'}) {
        for (int h : {12, 40}) {
            auto g = renderGlyph({"宋体", h, 400, false, false}, cp);
            ASSERT_GT(g->rows, 0);
            int top = 0, bottom = 0, left = 0, right = 0;
            for (int c = 0; c < g->width; ++c) {
                top += g->coverage[c] != 0;
                bottom += g->coverage[size_t(g->rows - 1) * g->width + c] != 0;
            }
            for (int r = 0; r < g->rows; ++r) {
                left += g->coverage[size_t(r) * g->width] != 0;
                right += g->coverage[size_t(r) * g->width + g->width - 1] != 0;
            }
            EXPECT_TRUE(top && bottom && left && right) << int(cp) << " " << h;
            int firstRow = 0;  // the same row read through the cell's coordinates
            for (int x = g->left; x < g->left + g->width; ++x) firstRow += g->at(x, g->top) != 0;
            EXPECT_EQ(firstRow, top);
        }
    }
}

TEST(Glyphs, UnderlinedGlyphIsTheGlyphWithTheLineOverIt) {
    for (bool italic : {false, true}) {
        for (int h : {12, 40, 100}) {
            for (char32_t cp : {U'j', U'T', U'国', U'f'}) {
                auto line = renderGlyph({"Arial", h, 400, italic, true}, U' ');
                auto bare = renderGlyph({"Arial", h, 400, italic, false}, cp);
                auto under = renderGlyph({"Arial", h, 400, italic, true}, cp);
                const int x0 = std::min({line->left, bare->left, under->left}) - 1;
                const int x1 = std::max(bare->left + bare->width, under->left + under->width) + 1;
                const int y0 = std::min({line->top, bare->top, under->top}) - 1;
                const int y1 = std::max({line->top + line->rows, bare->top + bare->rows,
                                         under->top + under->rows}) +
                               1;
                int wrong = 0;
                for (int y = y0; y < y1; ++y) {
                    for (int x = x0; x < x1; ++x) {
                        const bool onLine = y >= line->top && y < line->top + line->rows &&
                                            x >= 0 && x < under->advance;
                        wrong += under->at(x, y) != (onLine ? 255 : bare->at(x, y));
                    }
                }
                EXPECT_EQ(wrong, 0) << char(cp) << h << italic;
            }
        }
    }
    // About a twentieth of the height thick.
    auto thick = renderGlyph({"宋体", 100, 400, false, true}, U' ');
    EXPECT_GE(thick->rows, 4);
    EXPECT_LE(thick->rows, 6);
}

TEST(Glyphs, CacheHoldsABoundedNumberOfBytes) {
    // Tall glyphs are large: the cache lets go of them by their bytes, long before its count
    // of small ones would be reached.
    const GlyphFont big{"宋体", 299, 400, false, false};
    auto first = renderGlyph(big, U'一');
    ASSERT_NE(first, nullptr);
    size_t bytes = 0;
    // The glyph that would take the cache past its bytes empties it first.
    for (char32_t cp = U'丁'; first->coverage.size() + bytes <= kGlyphCacheBytes; ++cp) {
        auto g = renderGlyph(big, cp);
        ASSERT_NE(g, nullptr);
        bytes += g->coverage.size();
        if (cp == U'丁') {  // room left: kept
            EXPECT_EQ(renderGlyph(big, U'一').get(), first.get());
        }
    }
    EXPECT_NE(renderGlyph(big, U'一').get(), first.get());
}
