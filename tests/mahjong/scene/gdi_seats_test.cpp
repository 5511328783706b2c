// The table-drawing object's seats in the GDI table view: the seat boxes, names in their
// views' fonts and colours, the banker picture beside the name, and the reload from the
// framework's table record.
#include "gdi_table_fixture.h"

namespace hqlv::mahjong::test {
namespace {

class GdiSeatsTest : public GdiTableTest {
protected:
    void SetUp() override {
        GdiTableTest::SetUp();
        draw.LoadSeatData();
        draw.LoadBankerBitmap();
    }
    const RasterSurface::Text* TextOf(const std::string& name) const {
        for (const auto& t : dc.texts)
            if (t.text == name) return &t;
        return nullptr;
    }
};

// On the 796 x 700 table: centred along the side each view faces, against the inner edge
// of its hand, clear of its showcase tile and its discards.
TEST_F(GdiSeatsTest, SeatBoxesStandCentredOnTheSideOfTheTableEachViewFaces) {
    MJRect r[4], hand[4];
    for (int v = 0; v < 4; ++v) {
        draw.GetSeatRect(v, r[v]);
        scene.GetHandRect(v, hand[v]);
    }
    const struct {
        int view, left, top, right, bottom;
    } cases[] = {
        {0, hand[0].right, 225, hand[0].right + 24, 475},
        {1, 273, hand[1].bottom, 523, hand[1].bottom + 24},
        {2, hand[2].left - 24, 225, hand[2].left, 475},
        {3, 273, hand[3].top - 24, 523, hand[3].top},
    };
    auto apart = [](const MJRect& a, const MJRect& b) {
        return a.right <= b.left || b.right <= a.left || a.bottom <= b.top || b.bottom <= a.top;
    };
    for (auto c : cases) {
        EXPECT_EQ(std::tuple(r[c.view].left, r[c.view].top, r[c.view].right, r[c.view].bottom),
                  std::tuple(c.left, c.top, c.right, c.bottom))
            << c.view;
        MJRect showcase, discards;
        scene.GetShowcaseRect(c.view, showcase);
        scene.GetDiscardRect(c.view, discards);
        EXPECT_TRUE(apart(r[c.view], showcase) && apart(r[c.view], discards)) << c.view;
    }
    MJRect none{1, 1, 1, 1};
    draw.GetSeatRect(4, none);
    EXPECT_EQ(none.right, 0);
    draw.GetSeatRect(-1, none);
    EXPECT_EQ(none.left, 0);
}

TEST_F(GdiSeatsTest, NamesInTheirFontsYellowWhenHighlighted) {
    // Own chair 2: view 3 chair 2, view 0 chair 3, view 1 chair 0, view 2 chair 1.
    draw.HighlightChair(3);
    draw.LayoutAllSeats();
    ASSERT_EQ(dc.texts.size(), 5u);  // the highlight's own draw and the four seats
    const auto* left = TextOf("北家");
    ASSERT_TRUE(left);
    EXPECT_EQ(left->colour, kGdiYellow);
    EXPECT_EQ(left->font.escapement, 2700);
    EXPECT_EQ(left->font.clipPrecision, 16);
    EXPECT_EQ(TextOf("南家")->font.escapement, 900);
    EXPECT_EQ(TextOf("西家")->colour, kGdiWhite);
    EXPECT_EQ(TextOf("西家")->font, DefaultGuiFont());
    // Centred in the box: across, running down, running up.
    const struct {
        int view;
        const char* name;
        int dx, dy;
    } cases[] = {{3, "西家", (250 - 32) / 2, (24 - 16) / 2},
                 {0, "北家", (24 + 16) / 2, (250 - 32) / 2},
                 {2, "南家", (24 - 16) / 2, (250 + 32) / 2}};
    for (const auto& c : cases) {
        MJRect r;
        draw.GetSeatRect(c.view, r);
        EXPECT_EQ(std::pair(TextOf(c.name)->x, TextOf(c.name)->y),
                  std::pair(r.left + c.dx, r.top + c.dy))
            << c.view;
    }
}

TEST_F(GdiSeatsTest, ThreePlayersLeaveRecordOneUnusedAndUndrawn) {
    draw.SetPlayerCount(3);
    scene.Geometry().SetPlayerCount(3);
    draw.ClearSeats();
    draw.LoadSeatData();
    EXPECT_TRUE(draw.Seat(1)->name.empty());
    draw.RefreshAll();
    EXPECT_EQ(dc.texts.size(), 3u);
    draw.LayoutAllSeats();
    EXPECT_EQ(dc.texts.size(), 6u);
}

TEST_F(GdiSeatsTest, BankerPictureSixPixelsAlongTheName) {
    deal.SetRoundWord(11, 2);  // the own chair is the banker
    draw.RefreshAll();
    const MJSeatRecord* own = draw.Seat(3);
    ASSERT_EQ(own->banker, 1);
    EXPECT_EQ(own->bankerX, own->nameX + 32 + 6);
    EXPECT_EQ(dc.At(own->bankerX + 10, own->bankerY + 10), Mark("MJ_ZHUANG", 0));
    deal.SetRoundWord(11, 3);  // view 0: the picture below the downward name
    dc.texts.clear();
    draw.RefreshAll();
    const MJSeatRecord* left = draw.Seat(0);
    EXPECT_EQ(left->bankerY, left->nameY + 32 + 6);
    EXPECT_EQ(dc.At(left->bankerX + 10, left->bankerY + 10), Mark("MJ_ZHUANG", 0));
    deal.SetRoundWord(11, 1);  // view 2: above the upward name
    draw.RefreshAll();
    const MJSeatRecord* right = draw.Seat(2);
    MJRect r2;
    draw.GetSeatRect(2, r2);
    EXPECT_EQ(std::pair(right->bankerX, right->bankerY),
              std::pair(r2.left + (24 - 20) / 2, right->nameY - 32 - 6 - 20));
    // Without the skin's picture the seat is drawn without it.
    host.bitmaps.erase("MJ_ZHUANG");
    draw.LoadBankerBitmap();
    const size_t before = dc.blits.size();
    draw.RefreshAll();
    EXPECT_EQ(dc.blits.size(), before);
}

TEST_F(GdiSeatsTest, AChairWithoutAViewDrawsNothing) {
    host.chair = 0;  // chair 0 seated: the seat before it (3) is view 2's
    draw.LoadSeatData();
    EXPECT_EQ(draw.Seat(2)->name, "北家");
    host.chair = -1;  // not seated: no chair has a view
    draw.SetAllHighlights(0);
    draw.HighlightChair(1);
    draw.SetBanker(1, 1);
    draw.SetSeatName(1, "x");
    EXPECT_TRUE(dc.texts.empty());
    for (int v = 0; v < 4; ++v) EXPECT_EQ(draw.Seat(v)->highlight + draw.Seat(v)->banker, 0);
}

TEST(GdiSeatsAlone, WithoutTheApplicationNothingLoadsOrDraws) {
    CMJTableDraw draw;
    draw.SetSceneMode(1);
    draw.LoadSeatData();
    draw.RefreshAll();
    for (int v = 0; v < 4; ++v) EXPECT_TRUE(draw.Seat(v)->name.empty());
    MJRect r{1, 2, 3, 4};
    draw.GetSeatRect(3, r);  // no scene to place it by
    EXPECT_EQ(r.right, 0);
    EXPECT_EQ(draw.GdiSeatsDrawn(), 4);  // drawn on no surface
    draw.LayoutAllSeats();                // nothing to lay out on
}

TEST_F(GdiSeatsTest, ReloadSeatsFromTheTableRecord) {
    std::string longName;
    for (int i = 0; i < 50; ++i) longName += "東";  // 150 bytes
    std::vector<int32_t> words(176, 0);
    words[5 + 3] = 4;  // chair 3 has started
    words[5 + 1] = 2;  // another bit: not started
    const std::vector<MJSeatEntry> players = {
        {3, 1003, "北家"}, {1, 1001, longName}, {5, 1005, "客人"}, {-1, 1009, "无座"},
        {0, 1000, "东家"}, {2, 0, "无号"},       {2, 1002, ""},
    };
    draw.SetAllHighlights(1);
    draw.ReloadSeats(players, words);
    EXPECT_EQ(draw.Seat(0)->name, "北家");
    EXPECT_EQ(draw.Seat(0)->userId, 1003);
    EXPECT_EQ(draw.Seat(0)->highlight, 1);
    EXPECT_EQ(draw.Seat(2)->name.size(), 126u);  // 42 whole characters
    EXPECT_EQ(draw.Seat(2)->name, longName.substr(0, 126));
    EXPECT_EQ(draw.Seat(2)->highlight, 0);
    EXPECT_EQ(draw.Seat(1)->name, "东家");
    EXPECT_EQ(draw.Seat(1)->highlight, 0);
    EXPECT_TRUE(draw.Seat(3)->name.empty());  // chair 2: no id, or no name
    // Four empty seats drawn, then the three players.
    EXPECT_EQ(dc.texts.size(), 7u);
    // A short status block: the words past it are not read.
    draw.ReloadSeats(players, std::span<const int32_t>(words.data(), 8));
    EXPECT_EQ(draw.Seat(0)->highlight, 0);
    // A name of exactly 127 bytes stays whole.
    const std::string exact(127, 'a');
    draw.ReloadSeats(std::vector<MJSeatEntry>{{2, 1002, exact}}, words);
    EXPECT_EQ(draw.Seat(3)->name, exact);
    draw.ReloadSeats(std::vector<MJSeatEntry>{{2, 1002, exact + "b"}}, words);
    EXPECT_EQ(draw.Seat(3)->name, exact);
}

}  // namespace
}  // namespace hqlv::mahjong::test
