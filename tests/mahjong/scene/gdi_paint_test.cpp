// The window-drawn table's paint pass: each record's cell found by its marker at the
// record's place, the key colour left out, the areas of three-player tables, the frames of
// stand-alone mode, the stake text, the clock and the dice.
#include "gdi_table_fixture.h"

namespace hqlv::mahjong::test {
namespace {

TEST(GdiFaceIndex, BackCellsAndEdges) {
    const struct {
        int id, face;
    } cases[] = {{143, 41}, {144, 42}, {147, 45}, {148, 46}, {151, 46}, {200, 46},
                 {152, 0},  {199, 0},  {201, 0},  {-1, 0},   {35, 8},   {36, 9}};
    for (auto c : cases) EXPECT_EQ(GetFaceIndex(c.id), c.face) << c.id;
}

class GdiPaintTest : public GdiTableTest {
protected:
    // The marker at the middle of wall record i, and the one its side's strip shows for a
    // face-up tile of `face` (-1: face down).
    std::pair<uint32_t, uint32_t> WallCell(int i, int face) {
        const MJTileInfo& w = scene.Tiles().m_wall[i];
        MJRect r;
        scene.GetWallRect(w.nView, r);
        const bool side = w.nView == 0 || w.nView == 2;
        const std::string strip =
            std::string(face < 0 ? "MJ_SMALLBACK" : "MJ_SMALL") + (side ? "0" : "1");
        return {Middle(r.left + w.nX, r.top + w.nY, side ? 22 : 17, side ? 23 : 26),
                Mark(strip.c_str(), std::max(face, 0))};
    }
    // A table with every kind of record: wall, hands with melds, discards, a winning
    // showcase tile and flowers.
    void FillTable() {
        scene.LayoutWall();
        for (int i = 0; i < 136; ++i) scene.Tiles().m_wall[i].bPresent = 1;
        OwnHand({5, 14, 23, 30, 31, 32, 33});
        // An own peng laid from direction 1, a face-down gang tile at view 2, standing
        // tiles at views 0 to 2.
        MJTileInfo& meld = Hand(kOwnView)[14];
        meld = {};
        meld.nCode = 60, meld.nX = 10, meld.nY = 20, meld.nFace = 1, meld.nDirection = 1;
        meld.bPresent = 1, meld.nMeld = 1;
        for (int v = 0; v < 3; ++v)
            for (int i = 1; i <= 13; ++i) Hand(v)[i].bPresent = 1;
        MJTileInfo& down = Hand(2)[14];
        down = {};
        down.nFace = 0, down.bPresent = 1, down.nX = 4, down.nY = 400;
        MJTileInfo& d = scene.Tiles().m_discards[0][0];
        d.nCode = 40, d.nX = 2, d.nY = 3, d.bPresent = 1;
        MJTileInfo& show = scene.Tiles().m_showcase[2];
        show.nCode = 100, show.bPresent = 1, show.bWinning = 1;
        MJTileInfo& plain = scene.Tiles().m_showcase[1];
        plain.nCode = 100, plain.bPresent = 1;
        scene.LayoutFlowers();
        MJTileInfo& f = scene.Tiles().m_flowers[3][0];
        f.nCode = 137, f.bPresent = 1;
    }
};

TEST_F(GdiPaintTest, EveryRecordShowsItsFaceAtItsPlace) {
    FillTable();
    scene.PaintTableGdi(dc);
    MJRect h3, h0, h1, h2, fl;
    scene.GetHandRect(3, h3);
    scene.GetHandRect(0, h0);
    scene.GetHandRect(1, h1);
    scene.GetHandRect(2, h2);
    const MJTileInfo& own = Hand(3)[1];
    EXPECT_EQ(Middle(h3.left + own.nX, h3.top + own.nY, 42, 60), Mark("MJ_LARGE1", 5));
    // The key border stays the table's: the cell is taken from the strip's top row.
    EXPECT_EQ(dc.At(h3.left + own.nX + 21, h3.top + own.nY + 1), kRasterBackground);
    EXPECT_EQ(Middle(h3.left + 10, h3.top + 20, 26, 36), Mark("MJ_MIDDLE3", GetFaceIndex(60)));
    EXPECT_EQ(Middle(h0.left + Hand(0)[3].nX, h0.top + Hand(0)[3].nY, 19, 49), Mark("MJ_SIDE0", 0));
    EXPECT_EQ(Middle(h1.left + Hand(1)[3].nX, h1.top + Hand(1)[3].nY, 26, 37), Mark("MJ_SIDE1", 0));
    EXPECT_EQ(Middle(h2.left + Hand(2)[3].nX, h2.top + Hand(2)[3].nY, 19, 49), Mark("MJ_SIDE2", 0));
    EXPECT_EQ(Middle(h2.left + 4, h2.top + 400, 33, 32), Mark("MJ_BACK0", 0));
    EXPECT_EQ(Middle(300 + 2, 200 + 3, 33, 32), Mark("MJ_MIDDLE0", 13));
    // The winning mark over the showcase tile; a plain showcase shows its face.
    EXPECT_EQ(Middle(100 + 120, 300, 42, 60), Mark("MJ_HU", 0));
    EXPECT_EQ(Middle(100 + 60, 300, 42, 60), Mark("MJ_LARGE1", 19));
    scene.GetFlowerAreaBase(3, fl);
    const MJTileInfo& f = scene.Tiles().m_flowers[3][0];
    EXPECT_EQ(Middle(fl.left + f.nX, fl.top + f.nY, 26, 36), Mark("MJ_MIDDLE3", 35));
    const auto [wallAt, wallMark] = WallCell(0, -1);
    EXPECT_EQ(wallAt, wallMark);
    // Not stand-alone: no frames.
    EXPECT_EQ(dc.At(300, 200), kRasterBackground);
}

TEST_F(GdiPaintTest, FaceUpWallTileAndSelectedOwnTile) {
    scene.LayoutWall();
    MJTileInfo& wall = scene.Tiles().m_wall[0];
    wall.bPresent = 1, wall.nFace = 1, wall.nCode = 30;
    OwnHand({5, 14});
    Hand(3)[2].bSelected = 1;
    Hand(3)[1].bLocked = 1;
    scene.PaintTableGdi(dc);
    const auto [wallAt, wallMark] = WallCell(0, 3);
    EXPECT_EQ(wallAt, wallMark);
    // The whole cell and no more: its two-pixel key border leaves the cloth on every side.
    {
        MJRect r;
        scene.GetWallRect(wall.nView, r);
        const bool side = wall.nView == 0 || wall.nView == 2;
        const int x = r.left + wall.nX, y = r.top + wall.nY, w = side ? 22 : 17,
                  h = side ? 23 : 26;
        EXPECT_EQ(dc.At(x + 1, y + h / 2), kRasterBackground);
        EXPECT_EQ(dc.At(x + 2, y + h / 2), wallMark);
        EXPECT_EQ(dc.At(x + w - 3, y + h / 2), wallMark);
        EXPECT_EQ(dc.At(x + w - 2, y + h / 2), kRasterBackground);
        EXPECT_EQ(dc.At(x + w / 2, y + 1), kRasterBackground);
        EXPECT_EQ(dc.At(x + w / 2, y + 2), wallMark);
        EXPECT_EQ(dc.At(x + w / 2, y + h - 3), wallMark);
        EXPECT_EQ(dc.At(x + w / 2, y + h - 2), kRasterBackground);
    }
    MJRect h3;
    scene.GetHandRect(3, h3);
    EXPECT_EQ(Middle(h3.left + Hand(3)[2].nX, h3.top + Hand(3)[2].nY - 10, 42, 60),
              Mark("MJ_LARGE1", 5));
    EXPECT_EQ(dc.At(h3.left + Hand(3)[2].nX + 21, h3.top + Hand(3)[2].nY + 55), kRasterBackground);
    EXPECT_EQ(Middle(h3.left + Hand(3)[1].nX, h3.top + Hand(3)[1].nY, 42, 60),
              Mark("MJ_LARGE2", 5));
}

TEST_F(GdiPaintTest, APressOnTheMarkedWallTileShowsItLargeUntilTimerThree) {
    scene.LayoutWall();
    for (int i = 0; i < 136; ++i) scene.Tiles().m_wall[i].bPresent = 1;
    MJTileInfo& marked = scene.Tiles().m_wall[40];
    marked.nFace = 1, marked.nCode = 30;
    deal.SetRoundWord(33, 40);
    MJRect small, big;
    scene.GetMarkedWallTileRect(small);
    scene.GetMarkedWallTileBigRect(big);
    ASSERT_LT(small.left, small.right);
    ASSERT_EQ(big.right - big.left, 42);
    ASSERT_EQ(big.bottom - big.top, 60);
    auto large = [&] {
        dc.px.assign(dc.px.size(), kRasterBackground);
        scene.PaintTableGdi(dc);
        return Middle(big.left, big.top, 42, 60) == Mark("MJ_LARGE1", 3);
    };
    EXPECT_FALSE(large());
    // A press beside the tile is the hand's; on it, the tile shows large for a second.
    EXPECT_EQ(scene.GdiLButtonDown(0, small.left - 1, small.top), 0);
    EXPECT_EQ(scene.IsMarkedTileBig(), 0);
    EXPECT_TRUE(host.viewTimers.empty());
    EXPECT_EQ(scene.GdiLButtonDown(0, small.left, small.bottom - 1), 1);
    EXPECT_EQ(scene.IsMarkedTileBig(), 1);
    EXPECT_EQ(host.viewTimers, (std::vector<std::pair<uint32_t, uint32_t>>{{3, 1000}}));
    EXPECT_TRUE(large());
    // Other timers leave it; in the engine's mode timer 3 is not the table's.
    scene.OnGdiTimer(5);
    EXPECT_TRUE(large());
    scene.SetSceneMode(2);
    scene.OnTimer(3);
    scene.SetSceneMode(1);
    EXPECT_TRUE(large());
    EXPECT_TRUE(host.viewKilled.empty());
    scene.OnTimer(3);
    EXPECT_EQ(host.viewKilled, std::vector<uint32_t>{3});
    EXPECT_EQ(scene.IsMarkedTileBig(), 0);
    EXPECT_FALSE(large());
    // The mark gone while the tile shows large (drawn): nothing is drawn for it.
    EXPECT_EQ(scene.GdiLButtonDown(0, small.left, small.top), 1);
    marked.bPresent = 0;
    EXPECT_FALSE(large());
    // Nor for a mark the server moves past the wall's ends while it shows.
    marked.bPresent = 1;
    ASSERT_TRUE(large());
    for (int at : {-1, kWallRecords, 100000}) {
        deal.SetRoundWord(33, at);
        EXPECT_FALSE(large()) << at;
    }
}

// Wall records that are not present (drawn, or not yet dealt) leave the cloth bare.
TEST_F(GdiPaintTest, AWallRecordNotPresentLeavesTheCloth) {
    scene.LayoutWall();
    const int records[] = {0, 1, 35, 70, 101, 135};
    scene.PaintTableGdi(dc);
    for (int i : records) EXPECT_EQ(WallCell(i, -1).first, kRasterBackground) << i;
    for (int i : records) scene.Tiles().m_wall[i].bPresent = 1;
    scene.PaintTableGdi(dc);
    for (int i : records) {
        const auto [at, mark] = WallCell(i, -1);
        EXPECT_EQ(at, mark) << i;
    }
}

TEST_F(GdiPaintTest, AFaceDownShowcaseTileShowsTheBackCell) {
    MJTileInfo& shown = scene.Tiles().m_showcase[2];
    shown.bPresent = 1, shown.nFace = 0, shown.nCode = 30;
    scene.PaintTableGdi(dc);
    MJRect r;
    scene.GetShowcaseRect(2, r);
    EXPECT_EQ(Middle(r.left, r.top, 42, 60), Mark("MJ_LARGE1", 46));
    shown.nFace = 1;
    scene.PaintTableGdi(dc);
    EXPECT_EQ(Middle(r.left, r.top, 42, 60), Mark("MJ_LARGE1", 3));
}

TEST_F(GdiPaintTest, LaidDownHandsAndEveryWallSide) {
    scene.LayoutHands();
    // The end of a deal lays the opposite seat's hand face up, seen from across the table.
    MJTileInfo& laid = Hand(1)[2];
    laid.nCode = 50, laid.bPresent = 1, laid.nFace = 1, laid.nDirection = 3;
    scene.LayoutWall();
    int first[4] = {-1, -1, -1, -1};
    for (int i = 0; i < 136; ++i) {
        MJTileInfo& w = scene.Tiles().m_wall[i];
        if (first[w.nView] < 0) first[w.nView] = i, w.bPresent = 1;
    }
    scene.PaintTableGdi(dc);
    MJRect h1;
    scene.GetHandRect(1, h1);
    EXPECT_EQ(Middle(h1.left + laid.nX, h1.top + laid.nY, 26, 36), Mark("MJ_MIDDLE1", 14));
    for (int v = 0; v < 4; ++v) {
        ASSERT_GE(first[v], 0) << v;
        const auto [at, mark] = WallCell(first[v], -1);
        EXPECT_EQ(at, mark) << v;
    }
}

TEST_F(GdiPaintTest, ThreePlayersLeaveTheOppositeSeatOut) {
    FillTable();
    scene.Geometry().SetPlayerCount(3);
    scene.PaintTableGdi(dc);
    MJRect h1;
    scene.GetHandRect(1, h1);
    for (int y = h1.top; y < h1.bottom; ++y)
        for (int x = h1.left; x < h1.right; ++x)
            ASSERT_EQ(dc.At(x, y), kRasterBackground) << x << "," << y;
    EXPECT_EQ(Middle(100 + 60, 300, 42, 60), kRasterBackground);  // view 1's showcase
    EXPECT_EQ(Middle(100 + 120, 300, 42, 60), Mark("MJ_HU", 0));
}

TEST_F(GdiPaintTest, StandaloneFramesDiscardsWhiteAndHandsRed) {
    host.standalone = 1;
    scene.PaintTableGdi(dc);
    MJRect h3;
    scene.GetHandRect(3, h3);
    EXPECT_EQ(dc.At(300, 200), kGdiWhite);
    EXPECT_EQ(dc.At(335, 239), kGdiWhite);
    EXPECT_EQ(dc.At(h3.left, h3.top), kGdiRed);
    EXPECT_EQ(dc.At(h3.right - 1, h3.bottom - 1), kGdiRed);
    EXPECT_EQ(dc.At(h3.left + 1, h3.top + 1), kRasterBackground);
}

TEST_F(GdiPaintTest, StakeTextOnlyWithStatusBitZero) {
    deal.SetRoundWord(10, 300);
    deal.SetRoundWord(14, 0x100);
    scene.DrawStakeText(dc);
    EXPECT_TRUE(dc.texts.empty());
    deal.SetRoundWord(14, 1);
    MJRect r;
    scene.GetStakeTextRect(r);
    const int third = (r.bottom - r.top) / 3;
    // The host knows names past the table's four chairs (the hall's seats run to eight);
    // the table asks it for its own chairs only.
    host.names[4] = "第五座";
    host.names[-1] = "无座";
    // The banker's name; a banker chair the table does not have has none. A silver table.
    const struct {
        int banker, silver;
        const char *name, *stake;
    } cases[] = {{2, 0, "庄:西家", ":300 分"},
                 {0, 0, "庄:东家", ":300 分"},
                 {4, 1, "庄:", ":7 两"},
                 {-1, 1, "庄:", ":7 两"}};
    deal.SetRoundWord(9, 7);
    for (const auto& c : cases) {
        deal.SetRoundWord(11, c.banker);
        deal.SetRoundWord(21, c.silver);
        dc.texts.clear();
        scene.DrawStakeText(dc);
        ASSERT_EQ(dc.texts.size(), 2u);
        EXPECT_EQ(dc.texts[0].text, c.name);
        EXPECT_EQ(dc.texts[1].text, c.stake);
        EXPECT_EQ(dc.texts[0].x, r.left);
        EXPECT_EQ(dc.texts[0].y, r.top + third);
        EXPECT_EQ(dc.texts[1].y, r.top + third + 20);
        EXPECT_EQ(dc.texts[0].colour, kGdiYellow);
        EXPECT_EQ(dc.texts[0].font, DefaultGuiFont());
    }
}

TEST_F(GdiPaintTest, FontsBitmapsAndScreenOnlyInModeOne) {
    EXPECT_EQ(scene.HasGdiFonts(), 1);
    EXPECT_EQ(scene.GdiFont(2).escapement, 2700);
    EXPECT_EQ(scene.GdiFont(3).escapement, 900);
    EXPECT_EQ(scene.GdiFont(3).clipPrecision, 16);
    EXPECT_TRUE(scene.HasGdiBitmap("DICE12"));
    EXPECT_FALSE(scene.HasGdiBitmap("MJ_ZHUANG"));  // the table-drawing object's
    EXPECT_EQ(scene.GdiBitmaps().size(), 32u);
    host.bitmaps.erase("MJ_HU");
    scene.LoadSkinBitmaps();
    EXPECT_FALSE(scene.HasGdiBitmap("MJ_HU"));
    // The screen is the surface's, else the host's table view.
    RasterSurface small(500, 400);
    scene.SetGdiSurface(&small);
    EXPECT_EQ(std::pair(scene.GetScreenWidth(), scene.GetScreenHeight()), std::pair(500, 400));
    scene.SetGdiSurface(nullptr);
    EXPECT_EQ(std::pair(scene.GetScreenWidth(), scene.GetScreenHeight()), std::pair(796, 700));

    GdiScene live;  // mode 2: no engine screen here, no GDI fonts or bitmaps
    live.SetSceneHost(&host);
    live.InitFont();
    live.LoadSkinBitmaps();
    EXPECT_EQ(live.HasGdiFonts(), 0);
    EXPECT_TRUE(live.GdiBitmaps().empty());
    EXPECT_EQ(std::pair(live.GetScreenWidth(), live.GetScreenHeight()), std::pair(0, 0));
    // The stake text of a scene without the GDI fonts still selects a real font.
    deal.SetRoundWord(14, 1);
    live.DrawStakeText(dc);
    ASSERT_FALSE(dc.texts.empty());
    EXPECT_EQ(dc.texts[0].font, DefaultGuiFont());
}

TEST_F(GdiPaintTest, DiceOutsideOneToSixDrawNothing) {
    const struct {
        int first, second;
        std::vector<std::string> blits;
    } cases[] = {
        {1, 6, {"DICE1", "DICE12"}},
        {6, 1, {"DICE6", "DICE7"}},
        {0, 3, {"DICE9"}},
        {7, 3, {"DICE9"}},
        {3, 0, {"DICE3"}},
        {3, 7, {"DICE3"}},
        {-1, 99, {}},
    };
    for (const auto& c : cases) {
        dc.blits.clear();
        scene.DrawDiceGdi(dc, c.first, c.second, 0);
        EXPECT_EQ(dc.blits, c.blits) << c.first << "," << c.second;
    }
    MJRect r;
    scene.GetDiceRect(r);
    scene.DrawDiceGdi(dc, 2, 5, 0);
    EXPECT_EQ(Middle(r.left, r.top, 106, 99), Mark("DICE2", 0));
    EXPECT_EQ(Middle(r.left + 106, r.top, 106, 99), Mark("DICE11", 0));
    host.sounds.clear();
    dc.blits.clear();
    scene.RollDiceGdi(dc, 2, 5);
    EXPECT_EQ(host.sounds, std::vector<int>{29101 * 100 + 1});
    // Nine frames of the two dice, one a paint, the view's timer 4 stepping them 60 ms apart.
    EXPECT_TRUE(dc.blits.empty());
    EXPECT_EQ(host.viewTimers, (std::vector<std::pair<uint32_t, uint32_t>>{{4, 60}}));
    size_t dice = 0;
    auto paint = [&] {
        dc.blits.clear();
        scene.PaintTableGdi(dc);
        for (const std::string& b : dc.blits) dice += b.rfind("DICE", 0) == 0;
    };
    for (int frame = 0; frame < 9; ++frame) {
        EXPECT_EQ(scene.GdiDiceFrame(), frame);
        EXPECT_TRUE(host.viewKilled.empty());
        paint();
        scene.OnTimer(4);
    }
    EXPECT_EQ(dice, 18u);
    EXPECT_EQ(host.viewKilled, std::vector<uint32_t>{4});
    EXPECT_EQ(scene.GdiDiceFrame(), -1);
    paint();  // the roll is over: no die
    EXPECT_EQ(dice, 18u);
}

TEST_F(GdiPaintTest, ClockShowsTheHandAndTheSecondsOnceShown) {
    scene.SetClockPosition(6);
    scene.SetCountdown(37);
    scene.PaintClockGdi(dc);
    EXPECT_TRUE(dc.blits.empty());  // not shown yet
    scene.ClockStart();
    scene.SetClockPosition(6);
    scene.SetCountdown(37);
    scene.PaintClockGdi(dc);
    MJRect r;
    scene.GetClockRect(r);
    EXPECT_EQ(dc.At(r.left + 7, r.top + 7), Mark("CLOCK_HAND", 6));
    EXPECT_EQ(dc.At(r.left + 2, r.top + 2), Mark("CLOCK", 0));
    const int dx = r.left + 65 / 2 - 8, dy = r.top + 65 / 2 - 8;
    EXPECT_EQ(dc.At(dx + 4, dy + 8), Mark("CLOCK_DIGIT", 3));
    EXPECT_EQ(dc.At(dx + 12, dy + 8), Mark("CLOCK_DIGIT", 7));
    // Out of range: the last position, the largest two digits; a count ended (0 or below)
    // shows 00.
    scene.SetClockPosition(9);
    scene.SetCountdown(123);
    scene.PaintClockGdi(dc);
    EXPECT_EQ(dc.At(r.left + 7, r.top + 7), Mark("CLOCK_HAND", 7));
    EXPECT_EQ(dc.At(dx + 4, dy + 8), Mark("CLOCK_DIGIT", 9));
    scene.SetClockPosition(-3);
    scene.SetCountdown(-4);
    scene.PaintClockGdi(dc);
    EXPECT_EQ(dc.At(r.left + 7, r.top + 7), Mark("CLOCK_HAND", 0));
    EXPECT_EQ(dc.At(dx + 4, dy + 8), Mark("CLOCK_DIGIT", 0));
    EXPECT_EQ(dc.At(dx + 12, dy + 8), Mark("CLOCK_DIGIT", 0));
    scene.SetCountdown(1);
    scene.DecCountdown();  // the clock second counts it down to zero
    scene.PaintClockGdi(dc);
    EXPECT_EQ(dc.At(dx + 4, dy + 8), Mark("CLOCK_DIGIT", 0));
    EXPECT_EQ(dc.At(dx + 12, dy + 8), Mark("CLOCK_DIGIT", 0));
}

TEST_F(GdiPaintTest, TheClockIsLaidOutByItsWords) {
    scene.ClockReset();
    EXPECT_EQ(scene.Clock().layout[0], 4);
    EXPECT_EQ(scene.Clock().layout[1], 4);
    EXPECT_EQ(scene.Clock().layout[2], 24);
    EXPECT_EQ(scene.Clock().layout[3], 25);
    scene.ClockStart();
    scene.SetClockPosition(0);
    scene.SetCountdown(10);
    MJRect r;
    scene.GetClockRect(r);
    scene.PaintClockGdi(dc);
    // The digits 24 across and 25 down (their cells' markers 2 in from each edge).
    EXPECT_EQ(dc.At(r.left + 26, r.top + 39), Mark("CLOCK_DIGIT", 1));
    EXPECT_NE(dc.At(r.left + 26, r.top + 26), Mark("CLOCK_DIGIT", 1));
    EXPECT_EQ(dc.At(r.left + 34, r.top + 39), Mark("CLOCK_DIGIT", 0));
    EXPECT_EQ(dc.At(r.left + 6, r.top + 6), Mark("CLOCK_HAND", 0));
}

}  // namespace
}  // namespace hqlv::mahjong::test
