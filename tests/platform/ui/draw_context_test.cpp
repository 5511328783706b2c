#include "platform/ui/draw_context.h"

#include <gtest/gtest.h>

#include <QFontMetrics>

#include <algorithm>
#include <climits>

#include <QTemporaryDir>

#include "platform/ui/cursor.h"
#include "platform/ui/platform_box.h"
#include "platform/ui/screenshot.h"
#include "qt_env.h"

namespace hqlv::platform::ui {
namespace {

using testing::qtApp;

QImage Canvas(int w = 40, int h = 30) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::black);
    return img;
}

ColorRef At(const QImage& img, int x, int y) {
    return FromQColor(QColor(img.pixel(x, y)));
}

// Where the ink lies: the bounding box of the pixels that are not black.
QRect Ink(const QImage& img) {
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (At(img, x, y) != 0) box |= QRect(x, y, 1, 1);
    return box;
}

// White text drawn by `draw` on a black canvas of w x h, in the given font.
template <class Draw>
QImage WhiteText(int w, int h, const FontSpec& font, Draw&& draw) {
    QImage img = Canvas(w, h);
    {
        QPainter p(&img);
        DrawContext dc(p);
        dc.SelectFont(font);
        dc.SetBkMode(true);
        dc.SetTextColor(0xFFFFFF);
        draw(dc);
    }
    return img;
}

TEST(DrawContext, ColorRefHasRedInTheLowByte) {
    qtApp();
    QImage img = Canvas();
    {
        QPainter p(&img);
        DrawContext dc(p);
        dc.FillSolidRect(QRect(2, 3, 4, 5), Rgb(255, 0, 0));
        dc.FillSolidRect(QRect(10, 10, 1, 1), 0xFF0000);  // blue
    }
    EXPECT_EQ(QColor(img.pixel(2, 3)), QColor(255, 0, 0));
    EXPECT_EQ(At(img, 5, 7), 0x0000FFu);
    EXPECT_EQ(At(img, 6, 7), 0u);
    EXPECT_EQ(At(img, 5, 8), 0u);
    EXPECT_EQ(QColor(img.pixel(10, 10)), QColor(0, 0, 255));
}

TEST(DrawContext, ThreeDRectangleAndHorizontalLine) {
    qtApp();
    QImage img = Canvas();
    {
        QPainter p(&img);
        DrawContext dc(p);
        dc.Draw3dRect(QRect(1, 1, 10, 6), Rgb(10, 20, 30), Rgb(200, 100, 50));
        dc.Draw3dRect(QRect(33, 1, 0, 6), Rgb(10, 20, 30), Rgb(200, 100, 50));  // empty
        dc.Draw3dRect(QRect(33, 1, 6, 0), Rgb(10, 20, 30), Rgb(200, 100, 50));
        dc.DrawHLine(Rgb(9, 9, 9), 5, 15, 20);
        dc.DrawHLine(Rgb(8, 8, 8), 30, 25, 21);  // leftwards: from 30 down to 26
    }
    EXPECT_EQ(At(img, 1, 1), Rgb(10, 20, 30));
    EXPECT_EQ(At(img, 1, 5), Rgb(10, 20, 30));
    EXPECT_EQ(At(img, 10, 1), Rgb(200, 100, 50));
    EXPECT_EQ(At(img, 5, 6), Rgb(200, 100, 50));
    EXPECT_EQ(At(img, 5, 3), 0u);   // inside stays untouched
    EXPECT_EQ(At(img, 11, 1), 0u);  // nothing past the right edge
    EXPECT_EQ(At(img, 1, 7), 0u);   // or under the bottom one
    EXPECT_EQ(At(img, 5, 20), Rgb(9, 9, 9));
    EXPECT_EQ(At(img, 14, 20), Rgb(9, 9, 9));
    EXPECT_EQ(At(img, 15, 20), 0u);  // the end point is not drawn
    EXPECT_EQ(At(img, 10, 19), 0u);  // one pixel high
    EXPECT_EQ(At(img, 10, 21), 0u);
    EXPECT_EQ(At(img, 30, 21), Rgb(8, 8, 8));
    EXPECT_EQ(At(img, 26, 21), Rgb(8, 8, 8));
    EXPECT_EQ(At(img, 25, 21), 0u);
    for (int y = 0; y < 9; ++y)
        for (int x = 31; x < 40; ++x) EXPECT_EQ(At(img, x, y), 0u) << x << "," << y;
}

TEST(DrawContext, BlitsStretchAndColourKey) {
    qtApp();
    QImage src(4, 2, QImage::Format_RGB32);
    src.fill(QColor(0, 255, 0));
    src.setPixel(1, 0, qRgb(255, 0, 255));  // the key colour
    src.setPixel(0, 1, qRgb(255, 0, 255));  // and in column 0
    src.setPixel(3, 1, qRgb(1, 2, 3));
    QImage img = Canvas();
    {
        QPainter p(&img);
        DrawContext dc(p);
        dc.TransparentBlt(0, 0, 4, 2, src, 0, 0, Rgb(255, 0, 255));
        dc.BitBlt(10, 0, 2, 1, src, 2, 1);
        dc.StretchBlt(20, 0, 8, 4, src, 2, 0, 2, 2);
    }
    EXPECT_EQ(At(img, 0, 0), Rgb(0, 255, 0));
    EXPECT_EQ(At(img, 1, 0), 0u);  // key pixels left out
    EXPECT_EQ(At(img, 0, 1), 0u);
    EXPECT_EQ(At(img, 3, 1), Rgb(1, 2, 3));
    EXPECT_EQ(At(img, 11, 0), Rgb(1, 2, 3));
    EXPECT_EQ(At(img, 12, 0), 0u);
    // Source column 3, row 1 lands in the bottom-right quarter of the stretched copy.
    EXPECT_EQ(At(img, 27, 3), Rgb(1, 2, 3));
    EXPECT_EQ(At(img, 20, 0), Rgb(0, 255, 0));
    // Nothing drawn for empty or missing sources.
    {
        QPainter p(&img);
        DrawContext dc(p);
        dc.BitBlt(0, 20, 5, 5, QImage(), 0, 0);
        dc.StretchBlt(0, 20, 0, 5, src, 0, 0, 1, 1);
        dc.StretchBlt(0, 20, 5, 5, src, 0, 0, 0, 1);  // Qt would read width 0 as "to the edge"
        dc.StretchBlt(0, 20, 5, 5, src, 0, 0, 1, 0);
    }
    EXPECT_EQ(At(img, 0, 20), 0u);
}

// A copy with no width or no height draws nothing, whatever the picture around it.
TEST(DrawContext, EmptyCopiesDrawNothing) {
    qtApp();
    QImage src(4, 4, QImage::Format_RGB32);
    src.fill(QColor(0, 255, 0));
    const struct { int w, h; } sizes[] = {{0, 3}, {3, 0}, {0, 0}, {-2, 3}, {3, -2}};
    for (const auto& size : sizes) {
        QImage img = Canvas(12, 12);
        {
            QPainter p(&img);
            DrawContext dc(p);
            dc.BitBlt(2, 2, size.w, size.h, src, 0, 0);
            dc.StretchBlt(2, 2, size.w, size.h, src, 0, 0, 4, 4);
            dc.TransparentBlt(2, 2, size.w, size.h, src, 0, 0, Rgb(1, 1, 1));
        }
        EXPECT_TRUE(Ink(img).isEmpty()) << size.w << "x" << size.h;
    }
}

TEST(DrawContext, APolygonNeedsTwoPoints) {
    qtApp();
    const struct {
        std::vector<QPoint> points;
        bool drawn;
    } cases[] = {{{}, false}, {{{5, 5}}, false}, {{{5, 5}, {9, 5}}, true}};
    for (const auto& c : cases) {
        QImage img = Canvas(12, 12);
        {
            QPainter p(&img);
            DrawContext dc(p);
            dc.SelectPen(Rgb(255, 255, 255), 3, Qt::SolidLine);
            dc.SelectBrush(Rgb(255, 255, 255));
            dc.Polygon(c.points);
        }
        EXPECT_EQ(!Ink(img).isEmpty(), c.drawn) << c.points.size();
    }
}

TEST(DrawContext, TextMeasureWrapsAndColours) {
    qtApp();
    QImage img = Canvas(200, 200);
    QPainter p(&img);
    DrawContext dc(p);
    dc.SelectFont(FontSpec{"宋体", -12, 400});
    QRect one(0, 0, 120, 0);
    int h1 = dc.DrawText("一行", one, DT_CALCRECT | DT_WORDBREAK);
    QRect four(0, 0, 120, 0);
    int h4 = dc.DrawText("第一行\r\n第二行\r\n第三行\r\n第四行", four, DT_CALCRECT | DT_WORDBREAK);
    EXPECT_GT(h1, 0);
    EXPECT_GE(h4, 3 * h1);
    EXPECT_EQ(four.width(), 120);
    QRect unbounded(0, 0, 0, 0);  // no width: words are not wrapped
    EXPECT_EQ(dc.DrawText("一 二 三", unbounded, DT_CALCRECT | DT_WORDBREAK), h1);
    QRect single(0, 0, 0, 0);
    dc.DrawText("abc", single, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(single.width(), dc.GetTextExtent("abc").width());
    // Measuring draws nothing.
    EXPECT_EQ(At(img, 2, 2), 0u);
    dc.SetTextColor(Rgb(255, 255, 255));
    dc.SetBkMode(true);
    QRect r(0, 100, 200, 40);
    dc.SelectFont(FontSpec{"", -30, 700});
    dc.DrawText("■■■", r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    p.end();
    int white = 0;
    for (int y = 100; y < 140; ++y)
        for (int x = 0; x < 200; ++x)
            if (At(img, x, y) == Rgb(255, 255, 255)) ++white;
    EXPECT_GT(white, 50);
}

// A text measured in a font it names: that font's size, and the font selected before stays.
TEST(DrawContext, TextExtentInAGivenFontLeavesTheSelectedFont) {
    qtApp();
    QImage img = Canvas(50, 50);
    QPainter p(&img);
    DrawContext dc(p);
    const FontSpec small{"", -10, 400}, large{"", -30, 700};
    dc.SelectFont(small);
    const QSize inSmall = dc.GetTextExtent("abc字");
    const QFontMetrics big(MakeFont(large));
    const QSize inLarge = dc.GetTextExtent(large, "abc字");
    EXPECT_EQ(inLarge, QSize(big.horizontalAdvance(QString::fromUtf8("abc字")), big.height()));
    EXPECT_GT(inLarge.width(), inSmall.width());
    EXPECT_GT(inLarge.height(), inSmall.height());
    EXPECT_EQ(dc.GetTextExtent(MakeFont(large), "abc字"), inLarge);
    EXPECT_EQ(dc.GetTextExtent("abc字"), inSmall);  // still the small font
    EXPECT_EQ(p.font(), MakeFont(small));
    EXPECT_EQ(dc.GetTextExtent(large, ""), QSize(0, big.height()));
}

TEST(DrawContext, AFontsWidthStretchesItsCharactersToThatAverage) {
    qtApp();
    FontSpec spec;
    spec.face = "System";
    spec.height = 40;
    spec.weight = 700;
    const QFont natural = MakeFont(spec);
    const int own = QFontMetrics(natural).averageCharWidth();
    ASSERT_GT(own, 0);
    // Width 0: the face's own characters, no stretch asked for.
    EXPECT_EQ(natural.stretch(), QFont().stretch());
    for (int width : {24, 1, own * 3}) {
        spec.width = width;
        const QFont f = MakeFont(spec);
        EXPECT_EQ(f.stretch(), std::clamp(width * 100 / own, 1, 4000)) << width;
    }
    // A width far past any face stretches as far as a font goes, without wrapping.
    spec.width = INT_MAX;
    EXPECT_EQ(MakeFont(spec).stretch(), 4000);
    // One pixel for characters over a hundred wide squeezes them as far as a font goes,
    // which is still some width (0 would be the face's own).
    spec.height = 400;
    spec.width = 0;
    const int huge = QFontMetrics(MakeFont(spec)).averageCharWidth();
    ASSERT_GT(huge, 100);
    spec.width = 1;
    EXPECT_EQ(MakeFont(spec).stretch(), 1);
}

TEST(DrawContext, AFontsWeightStaysInsideTheRangeOfFaces) {
    qtApp();
    const struct {
        int asked, made;
    } cases[] = {{0, 400},   {-1, 400},  {1, 100},   {99, 100},  {100, 100},
                 {101, 101}, {700, 700}, {900, 900}, {901, 900}, {1000, 900}};
    for (const auto& c : cases) {
        FontSpec spec;
        spec.weight = c.asked;
        EXPECT_EQ(MakeFont(spec).weight(), c.made) << c.asked;
    }
}

// The faces the program names come first, then the stand-ins for the ones not here.
TEST(DrawContext, AFontsFacesTheirStandInsAndTheLastResort) {
    qtApp();
    const QString last = "WenQuanYi Micro Hei";
    const struct {
        std::string face;
        QStringList families;
    } cases[] = {
        {"", {last}},
        {"Arial", {"Arial", last}},
        {"宋体", {"宋体", "AR PL UMing CN", last}},
        {"新宋体", {"新宋体", "AR PL UMing CN", last}},
        {"宋体2", {"宋体2", last}},
        {"楷体", {"楷体", "AR PL UKai CN", last}},
        {"楷体_GB2312", {"楷体_GB2312", "AR PL UKai CN", last}},
        {"仿楷体", {"仿楷体", last}},
    };
    for (const auto& c : cases) {
        FontSpec spec;
        spec.face = c.face;
        EXPECT_EQ(MakeFont(spec).families(), c.families) << c.face;
    }
}

TEST(DrawContext, FontsAndBrokenBitmaps) {
    qtApp();
    QFont f = MakeFont(FontSpec{"楷体_GB2312", 16, 700, true, false, 134});
    EXPECT_EQ(f.pixelSize(), 16);
    EXPECT_TRUE(f.bold());
    EXPECT_TRUE(f.italic());
    EXPECT_TRUE(f.families().contains("AR PL UKai CN"));
    EXPECT_EQ(MakeFont(FontSpec{"x", 0, 0}).pixelSize(), 12);
    QTemporaryDir dir;
    std::string broken = dir.filePath("broken.bmp").toStdString();
    FILE* fp = fopen(broken.c_str(), "wb");
    fputs("BM not really", fp);
    fclose(fp);
    EXPECT_FALSE(LoadBitmapFile(broken));
    EXPECT_FALSE(LoadBitmapFile(dir.filePath("missing.bmp").toStdString()));
    QImage good(3, 3, QImage::Format_RGB32);
    good.fill(QColor(7, 8, 9));
    std::string path = dir.filePath("good.bmp").toStdString();
    ASSERT_TRUE(good.save(QString::fromStdString(path), "BMP"));
    auto loaded = LoadBitmapFile(path);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(At(*loaded, 2, 2), Rgb(7, 8, 9));
}

TEST(DrawContext, EscapementTurnsTheLineAroundItsReferencePoint) {
    qtApp();
    const struct {
        int escapement;
        bool tall;
        bool leftOfPoint, abovePoint;
    } cases[] = {{0, false, false, false}, {2700, true, true, false}, {900, true, false, true}};
    for (auto c : cases) {
        FontSpec f;
        f.height = -16;
        f.escapement = c.escapement;
        const QRect ink =
            Ink(WhiteText(120, 120, f, [](DrawContext& dc) { dc.TextOut(60, 60, "WWWW"); }));
        ASSERT_FALSE(ink.isEmpty()) << c.escapement;
        EXPECT_EQ(ink.height() > ink.width(), c.tall) << c.escapement;
        EXPECT_EQ(ink.right() < 60, c.leftOfPoint) << c.escapement;
        EXPECT_EQ(ink.bottom() < 60, c.abovePoint) << c.escapement;
    }
}

// A font chosen as it is (not from a description) is level, even after a turned one.
TEST(DrawContext, AFontChosenAsItIsDrawsLevelAfterATurnedOne) {
    qtApp();
    FontSpec turned;
    turned.height = -16;
    turned.escapement = 900;
    const QFont level = MakeFont(FontSpec{"", -16, 400});
    const QImage drawn = WhiteText(160, 60, turned, [&](DrawContext& dc) {
        dc.SelectFont(level);
        dc.TextOut(10, 10, "WWWWWWWW");
    });
    QImage plain = Canvas(160, 60);
    {
        QPainter p(&plain);
        p.setFont(level);
        p.setPen(Qt::white);
        p.drawText(10, 10 + QFontMetrics(level).ascent(), "WWWWWWWW");
    }
    ASSERT_FALSE(Ink(plain).isEmpty());
    EXPECT_EQ(drawn, plain);
}

// A line put out at a point starts where a line drawn into a box from that point does.
TEST(DrawContext, TextOutPutsTheLineAtItsTopLeftCorner) {
    qtApp();
    auto draw = [](bool out) {
        return WhiteText(120, 60, FontSpec{"", -16, 400}, [out](DrawContext& dc) {
            QRect box(20, 15, 100, 45);
            if (out)
                dc.TextOut(20, 15, "Wj|");
            else
                dc.DrawText("Wj|", box, DT_LEFT | DT_TOP | DT_SINGLELINE);
        });
    };
    const QImage out = draw(true);
    ASSERT_FALSE(Ink(out).isEmpty());
    EXPECT_EQ(Ink(out), Ink(draw(false)));
    EXPECT_EQ(out, draw(false));
}

// Measuring: words wrap at the box's width only when asked; without wrapping the box
// takes the text's own width.
TEST(DrawContext, MeasuringWrapsWordsOnlyWhenAsked) {
    qtApp();
    QImage img = Canvas(10, 10);
    QPainter p(&img);
    DrawContext dc(p);
    dc.SelectFont(FontSpec{"", -12, 400});
    const std::string words = "一 二 三 四 五 六";
    const int wide = dc.GetTextExtent(words).width();
    QRect one(0, 0, 0, 0);
    const int line = dc.DrawText("一", one, DT_CALCRECT | DT_SINGLELINE);
    ASSERT_GT(line, 0);
    ASSERT_GT(wide, 40);
    const struct {
        unsigned flags;
        bool wrapped;
    } cases[] = {{DT_WORDBREAK, true},
                 {0, false},
                 {DT_WORDBREAK | DT_SINGLELINE, false},
                 {DT_SINGLELINE, false}};
    for (const auto& c : cases) {
        QRect r(0, 0, 40, 0);
        const int h = dc.DrawText(words, r, DT_CALCRECT | c.flags);
        EXPECT_EQ(h, r.height()) << c.flags;
        if (c.wrapped) {
            EXPECT_GE(h, 2 * line) << c.flags;
            EXPECT_EQ(r.width(), 40) << c.flags;
        } else {
            EXPECT_EQ(h, line) << c.flags;
            EXPECT_EQ(r.width(), wide) << c.flags;
        }
    }
    // Lines of their own: the box is as wide as the widest.
    QRect two(0, 0, 120, 0);
    EXPECT_EQ(dc.DrawText("一\r\n一二三", two, DT_CALCRECT), 2 * line);
    EXPECT_EQ(two.width(), dc.GetTextExtent("一二三").width());
}

TEST(DrawContext, DrawnWordsWrapOnlyWhenAsked) {
    qtApp();
    for (bool wrap : {true, false}) {
        int line = 0;  // one line's height in this font: the second line starts there
        const QImage img = WhiteText(200, 120, FontSpec{"", -16, 400}, [&](DrawContext& dc) {
            QRect one(0, 0, 0, 0);
            line = dc.DrawText("■", one, DT_CALCRECT | DT_SINGLELINE);
            QRect r(0, 0, 60, 120);
            dc.DrawText("■ ■ ■ ■ ■ ■", r, wrap ? unsigned(DT_WORDBREAK) : 0u);
        });
        ASSERT_GT(line, 0);
        const QRect ink = Ink(img);
        ASSERT_FALSE(ink.isEmpty()) << wrap;
        EXPECT_EQ(ink.bottom() >= line, wrap) << ink.bottom() << " of a line " << line;
        EXPECT_LT(ink.right(), 60) << wrap;
    }
}

// A single line sits at the box's left, middle or right and top, middle or bottom.
TEST(DrawContext, ASingleLineIsPlacedInItsBoxAsAsked) {
    qtApp();
    const QRect box(20, 10, 160, 80);
    auto inkOf = [&](unsigned flags) {
        return Ink(WhiteText(200, 100, FontSpec{"", -20, 400}, [&](DrawContext& dc) {
            QRect r = box;
            dc.DrawText("■■", r, flags | DT_SINGLELINE);
        }));
    };
    const QRect topLeft = inkOf(DT_LEFT | DT_TOP);
    ASSERT_FALSE(topLeft.isEmpty());
    // The line's own box, which the placing moves about.
    QRect line(0, 0, 0, 0);
    {
        QImage img = Canvas(10, 10);
        QPainter p(&img);
        DrawContext dc(p);
        dc.SelectFont(FontSpec{"", -20, 400});
        dc.DrawText("■■", line, DT_CALCRECT | DT_SINGLELINE);
    }
    ASSERT_LT(line.width(), box.width() / 2);
    ASSERT_LT(line.height(), box.height() / 2);
    enum { kStart, kMiddle, kEnd };
    const struct {
        unsigned flags;
        int across, down;
    } cases[] = {{DT_LEFT | DT_TOP, kStart, kStart},  {DT_CENTER | DT_TOP, kMiddle, kStart},
                 {DT_RIGHT | DT_TOP, kEnd, kStart},   {DT_LEFT | DT_VCENTER, kStart, kMiddle},
                 {DT_LEFT | DT_BOTTOM, kStart, kEnd}, {DT_CENTER | DT_VCENTER, kMiddle, kMiddle},
                 {DT_RIGHT | DT_BOTTOM, kEnd, kEnd},  {DT_CENTER | DT_RIGHT, kMiddle, kStart}};
    for (const auto& c : cases) {
        const QRect ink = inkOf(c.flags);
        EXPECT_EQ(ink.size(), topLeft.size()) << c.flags;
        // How far the line moved from the top left corner, within a pixel of rounding.
        const int slackX = box.width() - line.width(), slackY = box.height() - line.height();
        const int across[] = {0, slackX / 2, slackX}, down[] = {0, slackY / 2, slackY};
        EXPECT_NEAR(ink.left() - topLeft.left(), across[c.across], 1) << c.flags;
        EXPECT_NEAR(ink.top() - topLeft.top(), down[c.down], 1) << c.flags;
    }
}

// A line too long for its box is cut at the box's edge unless it may run past it.
TEST(DrawContext, TextStaysInsideItsBoxUnlessUnclipped) {
    qtApp();
    for (bool noClip : {false, true}) {
        const QRect ink = Ink(WhiteText(200, 60, FontSpec{"", -30, 400}, [&](DrawContext& dc) {
            QRect r(10, 10, 20, 40);
            unsigned flags = DT_LEFT | DT_VCENTER | DT_SINGLELINE;
            if (noClip) flags |= DT_NOCLIP;
            dc.DrawText("■■■■", r, flags);
        }));
        ASSERT_FALSE(ink.isEmpty()) << noClip;
        EXPECT_EQ(ink.right() > 29, noClip) << ink.right();
        EXPECT_GE(ink.left(), 10);
    }
}

TEST(UiServices, WaitCursorNestsAndRestores) {
    qtApp();
    EXPECT_EQ(WaitCursor::depth(), 0);
    {
        WaitCursor a;
        {
            WaitCursor b;
            EXPECT_EQ(WaitCursor::depth(), 2);
            ASSERT_NE(QApplication::overrideCursor(), nullptr);
            EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        }
        EXPECT_NE(QApplication::overrideCursor(), nullptr);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    QWidget w;
    SetWindowCursor(&w, CursorShape::kHand);
    EXPECT_EQ(w.cursor().shape(), Qt::PointingHandCursor);
}

TEST(UiServices, PictureCursorKeepsItsPixelsAndHotSpot) {
    qtApp();
    QWidget w;
    std::vector<uint32_t> px = {0xFF0000FF, 0x80FF0000, 0x00000000,
                                0xFF00FF00, 0xFFFFFFFF, 0xFF123456};
    SetWindowCursorImage(&w, px.data(), 3, 2, 2, 1);
    px.assign(px.size(), 0);  // the cursor took a copy
    ASSERT_EQ(w.cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(w.cursor().hotSpot(), QPoint(2, 1));
    const QImage image = w.cursor().pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(image.size(), QSize(3, 2));
    EXPECT_EQ(image.pixel(0, 0), 0xFF0000FFu);
    EXPECT_EQ(qAlpha(image.pixel(1, 0)), 0x80);
    EXPECT_EQ(image.pixel(2, 1), 0xFF123456u);
    // Nothing to draw, or a hot spot off the picture: the cursor stays.
    struct Bad {
        const uint32_t* pixels;
        int w, h, hx, hy;
    };
    const uint32_t one = 0xFFFFFFFF;
    for (const Bad& b : {Bad{nullptr, 1, 1, 0, 0}, Bad{&one, 0, 1, 0, 0}, Bad{&one, 1, 0, 0, 0},
                         Bad{&one, 1, 1, 1, 0}, Bad{&one, 1, 1, 0, 1}, Bad{&one, 1, 1, -1, 0},
                         Bad{&one, 1, 1, 0, -1}}) {
        SetWindowCursorImage(&w, b.pixels, b.w, b.h, b.hx, b.hy);
        EXPECT_EQ(w.cursor().pixmap().size(), QSize(3, 2));
    }
    SetWindowCursorImage(nullptr, &one, 1, 1, 0, 0);
    // The top left corner is a hot spot like any other.
    SetWindowCursorImage(&w, &one, 1, 1, 0, 0);
    EXPECT_EQ(w.cursor().pixmap().size(), QSize(1, 1));
    EXPECT_EQ(w.cursor().hotSpot(), QPoint(0, 0));
}

// A picture cursor points with its hot spot, kept inside the picture.
TEST(UiServices, PictureCursorKeepsItsHotSpotInside) {
    qtApp();
    QImage picture(16, 12, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    picture.setPixelColor(2, 3, Qt::black);
    const struct {
        QPoint given, kept;
    } cases[] = {{{2, 3}, {2, 3}},     {{0, 0}, {0, 0}},   {{15, 11}, {15, 11}},
                 {{16, 12}, {15, 11}}, {{-1, -1}, {0, 0}}, {{40, -2}, {15, 0}},
                 {{3, 12}, {3, 11}},   {{16, 5}, {15, 5}}};
    for (const auto& c : cases) {
        const QCursor cursor = PictureCursor(picture, c.given);
        EXPECT_EQ(cursor.shape(), Qt::BitmapCursor);
        EXPECT_EQ(cursor.hotSpot(), c.kept) << c.given.x() << "," << c.given.y();
    }
    const QImage shown =
        PictureCursor(picture, {}).pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(shown, picture);
    EXPECT_EQ(PictureCursor(QImage(), {1, 1}).shape(), Qt::ArrowCursor);
}

TEST(UiServices, ScreenshotOfAWindow) {
    qtApp();
    QWidget w;
    w.resize(30, 20);
    w.setAutoFillBackground(true);
    QPalette pal = w.palette();
    pal.setColor(QPalette::Window, QColor(12, 34, 56));
    w.setPalette(pal);
    QImage shot = GrabWindow(&w);
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(QColor(shot.pixel(15, 10)), QColor(12, 34, 56));
    QTemporaryDir dir;
    std::string path = dir.filePath("w.png").toStdString();
    EXPECT_TRUE(SaveWindowPng(&w, path));
    QImage back(QString::fromStdString(path));
    EXPECT_EQ(back.size(), shot.size());
    EXPECT_FALSE(SaveWindowPng(nullptr, path));
    EXPECT_FALSE(SaveWindowPng(&w, dir.filePath("no/such/dir/x.png").toStdString()));
}

TEST(UiServices, HeadlessPlatformBoxAnswersTheDefault) {
    qtApp();
    ASSERT_TRUE(IsHeadless());
    EXPECT_EQ(PlatformMessageBox("该程序必须从游戏大厅中启动,是否启动游戏大厅？", "HqLv", kBoxYesNo,
                                 PlatformBoxIcon::kInformation),
              kAnswerNo);
    EXPECT_EQ(PlatformMessageBox("通讯线程创建失败。", "HqLv", kBoxOk, PlatformBoxIcon::kStop),
              kAnswerOk);
}

}  // namespace
}  // namespace hqlv::platform::ui
