// The score-history pane: names over 12 bytes cut to 10 on a character boundary, the board's texts
// at their places, totals beyond 32 bits, and the tab that turns back to the page after 5 seconds.
#include <gtest/gtest.h>

#include <QImage>

#include <unistd.h>
#include <algorithm>
#include <cstring>
#include <map>

#include "framework/app/program_bitmaps.h"
#include "framework/app/text_edge.h"
#include "framework/widgets/tab_strip.h"
#include "mahjong/game/score_history_view.h"
#include "mahjong/game/silver_tally.h"
#include "platform/core/message.h"
#include "tests/framework/qt_test_app.h"
#include "tools/assetgen/pane_art.h"

namespace hqlv::mahjong {
namespace {

std::string Gbk(const char* utf8) {
    return framework::Utf8ToGbk(utf8);
}

// Ten pixels a character, whatever its bytes.
int Chars10(const std::string& s) {
    int n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return 10 * n;
}

// A name of up to 12 GBK bytes is drawn whole; a longer one keeps its first 10 bytes and
// "…", and a double-byte character across byte 10 goes whole.
TEST(BoardName, TwelveBytesWholeLongerCutToTenAndAnEllipsis) {
    const struct {
        const char* name;  // UTF-8, drawn from its GBK bytes
        const char* want;
    } cases[] = {
        {"", ""},
        {"abcdefghijkl", "abcdefghijkl"},   // 12 bytes
        {"abcdefghijklm", "abcdefghij…"},   // 13
        {"游戏玩家【乙", "游戏玩家【乙"},   // 12 in six characters
        {"游戏玩家【乙】", "游戏玩家【…"},  // 14: byte 10 ends a character
        {"a游戏玩家【乙】", "a游戏玩家…"},  // 15: 【 stands on bytes 10 and 11
        {"abcdefghi游x", "abcdefghi游x"},   // 12
        {"abcdefghi游xy", "abcdefghi…"},    // 13: 游 on bytes 10 and 11
        {"abcdefghij游戏", "abcdefghij…"},  // 14: the cut falls between characters
    };
    for (const auto& c : cases) EXPECT_EQ(BoardName(Gbk(c.name)), c.want) << c.name;
}

TEST(FitBoardName, WholeWhenItFitsElseBothEndsAroundAnEllipsis) {
    const struct {
        const char* name;
        int room;
        const char* want;
    } cases[] = {
        {"玩家1001", 60, "玩家1001"},
        {"游戏玩家【乙】", 70, "游戏玩家【乙】"},  // exactly its width
        {"游戏玩家【乙】", 69, "游戏…【乙】"},
        {"游戏玩家【乙】", 50, "游…【乙】"},
        {"游戏玩家【乙】", 40, "…【乙】"},  // the last three first
        {"游戏玩家【乙】", 30, "…乙】"},
        {"游戏玩家【乙】", 20, "…】"},
        {"玩家1001", 50, "玩…001"},
        {"abcdefghij", 80, "abc…ghij"},
        {"游戏玩家【乙】", 9, "…"},
        {"", 0, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(FitBoardName(c.name, c.room, Chars10), c.want) << c.room;
    // A name that may not stay whole is fitted even where it would fit whole.
    EXPECT_EQ(FitBoardName("游戏玩家【乙】", 70, Chars10, false), "游戏玩…【乙】");
    EXPECT_EQ(FitBoardName("游戏玩家【乙】", 69, Chars10, false), "游戏…【乙】");
    // Names alike at their start stay apart.
    for (int room = 30; room < 70; room += 10)
        EXPECT_NE(FitBoardName("游戏玩家【乙】", room, Chars10),
                  FitBoardName("游戏玩家【丙】", room, Chars10))
            << room;
}

TEST(ScoreBoardLayout, AWidePaneKeepsTheBoardsPlacesAndTheWholePicture) {
    auto width = [](const std::string& s) { return int(s.size()) * 7; };
    const BoardLayout b = ScoreBoardLayout(3, 20, 339, {"n0", "", Gbk("游戏玩家【丙】"), "n3"},
                                           {-15, 0, 500000, 7}, {-1, 0, 12, -640}, width);
    const auto& texts = b.texts;
    ASSERT_EQ(texts.size(), 20u);
    EXPECT_FALSE(b.closedUp);
    EXPECT_EQ(b.slices, std::vector<BoardSlice>{(BoardSlice{0, 0, 339})});
    const std::vector<BoardText> row0 = {
        {"n0", 18, 65}, {"-15", 151, 65}, {"两", 193, 65}, {"-1", 256, 65}, {"两", 293, 65}};
    EXPECT_EQ(std::vector<BoardText>(texts.begin(), texts.begin() + 5), row0);
    EXPECT_EQ(texts[5], (BoardText{"", 18, 97}));
    // In the board's own places a name of 14 bytes is cut to its first 10 and "…", however
    // much room it has, and drawn so even where the cut runs past its room.
    EXPECT_EQ(texts[10].text, "游戏玩家【…");
    EXPECT_EQ(ScoreBoardLayout(0, 0, 339, {"", "", Gbk("游戏玩家【丙】"), ""}, {}, {}, Chars10)
                  .texts[10]
                  .text,
              "游戏玩家【…");
    EXPECT_EQ(ScoreBoardLayout(0, 0, 339, {Gbk("游戏玩家【丙"), "", "", ""}, {}, {}, Chars10)
                  .texts[0]
                  .text,
              "游戏玩家【丙");
    // Twelve letters of 12 pixels, past the 130 pixels of room: still whole.
    auto wideLetters = [](const std::string& t) {
        int w = 0;
        for (unsigned char c : t) w += c < 0x80 ? 12 : (c & 0xC0) != 0x80 ? 10 : 0;
        return w;
    };
    const BoardLayout letters =
        ScoreBoardLayout(0, 0, 339, {"abcdefghijkl", "", "", ""}, {}, {}, wideLetters);
    EXPECT_FALSE(letters.closedUp);
    EXPECT_EQ(letters.texts[0].text, "abcdefghijkl");
    EXPECT_EQ(texts[11], (BoardText{"500000", 161 - 21, 129}));
    EXPECT_EQ(texts[16].text, "7");
    EXPECT_EQ(texts[16].x, 161 - 3);  // 7 / 2 truncated
    // A pane of 314 still holds the last unit and its margin (290 + 21 + 3).
    EXPECT_FALSE(ScoreBoardLayout(0, 0, 314, {}, {}, {}, width).closedUp);
    EXPECT_TRUE(ScoreBoardLayout(0, 0, 313, {}, {}, {}, width).closedUp);
    // An amount whose half reaches into the room before its unit closes the columns up: a
    // total of 56 pixels ends 4 short of its unit (158 + 28 + 4 = 190), one of 63 does not; a
    // last deal's amount of 49 pixels ends before 290 (260 + 25 + 4), one of 56 does not.
    EXPECT_FALSE(ScoreBoardLayout(0, 0, 339, {}, {12345678}, {}, width).closedUp);
    EXPECT_TRUE(ScoreBoardLayout(0, 0, 339, {}, {123456789}, {}, width).closedUp);
    EXPECT_FALSE(ScoreBoardLayout(0, 0, 339, {}, {}, {1234567}, width).closedUp);
    EXPECT_TRUE(ScoreBoardLayout(0, 0, 339, {}, {}, {12345678}, width).closedUp);
}

// Columns closed up: a name whose cut is exactly as wide as the names' room stands as cut;
// one pixel wider, it is fitted further.
TEST(ScoreBoardLayout, AClosedUpNameStaysAsCutWhileTheCutFitsItsRoom) {
    // Letters of 5 pixels, every other character of 10, the ellipsis as wide as asked.
    auto widths = [](int ellipsis) {
        return [ellipsis](const std::string& t) {
            int w = 0;
            for (size_t i = 0; i < t.size(); ++i) {
                if (t.compare(i, 3, "…") == 0) {
                    w += ellipsis;
                    i += 2;
                } else if ((static_cast<unsigned char>(t[i]) & 0xC0) != 0x80) {
                    w += t[i] >= 'a' && t[i] <= 'z' ? 5 : 10;
                }
            }
            return w;
        };
    };
    const std::array<std::string, 4> names = {"abcdefghijklm", "", "", ""};
    for (int w : {200, 250, 300}) {
        SCOPED_TRACE(w);
        const BoardLayout empty = ScoreBoardLayout(0, 0, w, {}, {}, {}, widths(0));
        ASSERT_TRUE(empty.closedUp);
        const int room = empty.nameRoom;
        ASSERT_GT(room, 50);  // the cut's ten letters
        EXPECT_EQ(ScoreBoardLayout(0, 0, w, names, {}, {}, widths(room - 50)).texts[0].text,
                  "abcdefghij…");
        const std::string fitted =
            ScoreBoardLayout(0, 0, w, names, {}, {}, widths(room - 49)).texts[0].text;
        EXPECT_NE(fitted, "abcdefghij…");
        EXPECT_LE(widths(room - 49)(fitted), room) << fitted;
    }
}

// The pane's widths at 1280, 1024 and 800 pixels: every text inside the pane, the texts of a
// row in order without touching, the names as the board cuts them where that fits and fitted
// further (told apart by their ends) where it does not, the picture's columns side by side
// from the left edge to the right one, each amount column's title over its amounts.
TEST(ScoreBoardLayout, NarrowPanesCloseTheColumnsUp) {
    const std::array<std::string, 4> names = {Gbk("玩家1001"), Gbk("游戏玩家【乙】"),
                                              Gbk("游戏玩家【丙】"), Gbk("游戏玩家【丁】")};
    const std::array<std::string, 4> cut = {"玩家1001", "游戏玩家【…", "游戏玩家【…",
                                            "游戏玩家【…"};
    const std::map<int, std::array<std::string, 4>> wantNames = {
        {284, cut}, {227, cut}, {177, {"…001", "…【乙】", "…【丙】", "…【丁】"}}};
    for (const auto& [w, want] : wantNames) {
        SCOPED_TRACE(w);
        const BoardLayout b =
            ScoreBoardLayout(0, 0, w, names, {-1280, 640, 320, 320}, {-64, 32, 16, 16}, Chars10);
        ASSERT_TRUE(b.closedUp);
        std::array<std::string, 4> shown;
        for (int row = 0; row < 4; ++row) {
            int end = 0;
            for (int k = 0; k < 5; ++k) {
                const BoardText& t = b.texts[size_t(row * 5 + k)];
                EXPECT_GE(t.x, end + (k ? 2 : 0)) << t.text;
                end = t.x + Chars10(t.text);
                EXPECT_LE(end, w) << t.text;
            }
            shown[size_t(row)] = b.texts[size_t(row * 5)].text;
        }
        EXPECT_EQ(shown, want);
        // The picture covers the pane, every slice inside the pane and inside the picture.
        std::vector<bool> covered(size_t(w), false);
        for (const BoardSlice& slice : b.slices) {
            EXPECT_GE(slice.x, 0);
            EXPECT_LE(slice.x + slice.width, w);
            EXPECT_GE(slice.srcX, 0);
            EXPECT_LE(slice.srcX + slice.width, kBoardWidth);
            for (int x = slice.x; x < slice.x + slice.width; ++x) covered[size_t(x)] = true;
        }
        EXPECT_EQ(std::count(covered.begin(), covered.end(), false), 0);
        // The picture's left and right ends at the pane's; each amount title (its centre 158
        // or 260 in the picture) over its amounts.
        auto centreOf = [&](int src) {
            for (const BoardSlice& slice : b.slices)
                if (slice.srcX <= src && src < slice.srcX + slice.width && slice.width < 60)
                    return slice.x + (src - slice.srcX);
            return -1;
        };
        const BoardText& total = b.texts[1];
        const BoardText& round = b.texts[3];
        EXPECT_NEAR(centreOf(158), total.x + Chars10(total.text) / 2, 1);
        EXPECT_NEAR(centreOf(260), round.x + Chars10(round.text) / 2, 1);
        EXPECT_EQ(centreOf(0), 0);
        EXPECT_EQ(centreOf(kBoardWidth - 1), w - 1);
    }
    // However narrow the pane, the names keep four pixels from its left edge.
    EXPECT_EQ(ScoreBoardLayout(0, 0, 60, names, {}, {}, Chars10).texts[0].x, 4);
    EXPECT_EQ(ScoreBoardLayout(0, 0, 180, names, {}, {}, Chars10).texts[0].x, 7);
    // A name over 12 bytes is never drawn whole: not even where its cut (with an ellipsis
    // as wide as four letters) does not fit its room and the whole name would.
    auto wideEllipsis = [](const std::string& t) {
        int w = 0;
        for (size_t i = 0; i < t.size(); ++i) w += t.compare(i, 3, "…") == 0 ? (i += 2, 40) : 10;
        return w;
    };
    int fittedFurther = 0;
    for (int w = 190; w < 314; ++w) {
        const BoardLayout b =
            ScoreBoardLayout(0, 0, w, {"abcdefghijklm", "", "", ""}, {}, {}, wideEllipsis);
        ASSERT_TRUE(b.closedUp) << w;
        const BoardText& name = b.texts[0];
        EXPECT_NE(name.text, "abcdefghijklm") << w;
        EXPECT_LE(name.x + wideEllipsis(name.text) + 2, b.texts[1].x) << w << " " << name.text;
        fittedFurther += name.text != "abcdefghij…";
    }
    EXPECT_GT(fittedFurther, 0);
}

TEST(SilverTally, RoundReplacedTotalAddsWithoutWrapping) {
    ResetSilverTallies();
    AddDealSilver({2000000000, -5, 0, 1});
    AddDealSilver({2000000000, -7, 0, -1});
    EXPECT_EQ(g_nTotalSilver, (std::array<int64_t, 4>{4000000000LL, -12, 0, 0}));
    EXPECT_EQ(g_nRoundSilver, (std::array<int32_t, 4>{2000000000, -7, 0, -1}));
    ResetSilverTallies();
}

class ScorePane : public testing::Test {
protected:
    void SetUp() override {
        framework::testing::SharedQtApp();
        pane_ = std::make_unique<CAdHistoryView>();
        pane_->seatNames = [] {
            return std::array<std::string, 4>{"abcdefghijkl", "abcdefghijklm", "", "d"};
        };
        pane_->resize(339, 220);
    }
    void Choose(int tab) {
        framework::TabNotify n;
        n.code = framework::kTabSelChanged;
        n.item = tab;
        pane_->tabStrip()->model().notify(n);
    }
    std::unique_ptr<CAdHistoryView> pane_;
};

TEST_F(ScorePane, BoardTurnsBackOnItsTimerOnlyAndTabZeroLeavesTheTimerRunning) {
    EXPECT_EQ(pane_->selectedTab(), 0);
    Choose(1);
    EXPECT_EQ(pane_->selectedTab(), 1);
    EXPECT_TRUE(pane_->backTimerRunning());
    pane_->onTimer(1002);  // another timer changes nothing
    EXPECT_EQ(pane_->selectedTab(), 1);
    pane_->onTimer(kBackToPageTimer);
    EXPECT_EQ(pane_->selectedTab(), 0);
    EXPECT_EQ(pane_->tabStrip()->model().current(), 0);
    EXPECT_FALSE(pane_->backTimerRunning());
    Choose(1);
    Choose(0);  // the timer runs on; its expiry then only stops it
    EXPECT_TRUE(pane_->backTimerRunning());
    pane_->onTimer(kBackToPageTimer);
    EXPECT_FALSE(pane_->backTimerRunning());
    EXPECT_EQ(pane_->selectedTab(), 0);
}

TEST_F(ScorePane, OnlyTheGameEnteredMessageCarriesTheAdvertAddress) {
    static char notHeap[] = "file:///tmp/none.html";
    platform::Message other;
    other.id = 0x85B2;
    other.w = reinterpret_cast<uintptr_t>(notHeap);
    platform::send(pane_->hwnd(), other);
    EXPECT_EQ(pane_->advertUrl(), "");
    const std::string page = "file:///tmp/advert-" + std::to_string(getpid()) + ".html";
    char* copy = new char[page.size() + 1];
    std::memcpy(copy, page.c_str(), page.size() + 1);
    platform::Message entered;
    entered.id = framework::kMsgGameEntered;
    entered.w = reinterpret_cast<uintptr_t>(copy);
    platform::send(pane_->hwnd(), entered);
    EXPECT_EQ(pane_->advertUrl(), page);
    EXPECT_EQ(pane_->gameEnteredCount(), 1);
}

TEST_F(ScorePane, PageFillsThePaneBelowTheTabsOnTabZero) {
    pane_->grab();
    const int y0 = pane_->tabStrip()->height();
    EXPECT_EQ(pane_->browser()->geometry(), QRect(0, y0, 339, 220 - y0));
}

// The board's picture is the program's picture 276 as the build writes it.
TEST_F(ScorePane, TheBoardIsTheProgramsPicture276) {
    const std::optional<QImage> board = framework::LoadProgramBitmap(kScoreBoardBitmap);
    ASSERT_TRUE(board.has_value());
    ASSERT_TRUE(pane_->boardPicture().has_value());
    EXPECT_EQ(pane_->boardPicture()->size(), QSize(339, 172));
    EXPECT_EQ(*pane_->boardPicture(), *board);
}

TEST_F(ScorePane, DrawsTheBoardOnItsTabAndHidesTheBrowser) {
    ResetSilverTallies();
    AddDealSilver({-120, 30, 2000000000, 90});
    AddDealSilver({0, 0, 2000000000, 0});
    const std::string bmp = assetgen::bmp8File(assetgen::scoreBoardImage());
    QImage board =
        QImage::fromData(reinterpret_cast<const uchar*>(bmp.data()), int(bmp.size()), "BMP");
    ASSERT_EQ(board.size(), QSize(339, 172));
    EXPECT_EQ(board.depth(), 8);
    pane_->SetBoardPicture(board);
    Choose(1);
    QImage shot = pane_->grab().toImage();
    const int y0 = pane_->tabStrip()->height();
    EXPECT_EQ(pane_->browser()->geometry(), QRect(-1, -1, 1, 1));
    const auto texts = pane_->Board([](const std::string& t) { return int(t.size()); }).texts;
    ASSERT_EQ(texts.size(), 20u);
    EXPECT_EQ(texts[0], (BoardText{"abcdefghijkl", 15, y0 + 45}));
    EXPECT_EQ(texts[5].text, "abcdefghij…");  // 13 bytes: the first 10 and "…"
    EXPECT_EQ(texts[1].text, "-120");
    EXPECT_EQ(texts[11].text, "4000000000");
    // The picture's black is transparent: the pane's own colour shows through.
    EXPECT_EQ(shot.pixelColor(2, y0 + 2), QColor(6, 69, 84));
    // The band under row c lies at 45 + 32c + 22 of the board.
    const QColor band = QColor::fromRgb(assetgen::kBoardBandColour);
    for (int c = 0; c < 4; ++c) EXPECT_EQ(shot.pixelColor(100, y0 + 45 + 32 * c + 22), band) << c;
    // The header band titles each of the three columns (its light ink in each one).
    for (auto [from, to] : {std::pair{12, 128}, {129, 232}, {233, 335}}) {
        int ink = 0;
        for (int x = from; x < to; ++x)
            for (int y = 8; y < 30; ++y) ink += shot.pixelColor(x, y0 + y) == QColor(255, 255, 240);
        EXPECT_GT(ink, 40) << from;
    }
    // In the pane of an 800-pixel screen the three titles are all there, the last one over
    // the last deal's amounts.
    ResetSilverTallies();
    AddDealSilver({-120, 30, 60, 90});
    pane_->resize(177, 220);
    shot = pane_->grab().toImage();
    const BoardLayout narrow = pane_->Board([](const std::string& t) { return int(t.size()) * 7; });
    ASSERT_TRUE(narrow.closedUp);
    const int totalAt = narrow.texts[1].x + int(narrow.texts[1].text.size()) * 7 / 2;
    const int roundAt = narrow.texts[3].x + int(narrow.texts[3].text.size()) * 7 / 2;
    for (auto [from, to] :
         {std::pair{0, 50}, {totalAt - 16, totalAt + 16}, {roundAt - 16, roundAt + 16}}) {
        int ink = 0;
        for (int x = from; x < to; ++x)
            for (int y = 8; y < 30; ++y) ink += shot.pixelColor(x, y0 + y) == QColor(255, 255, 240);
        EXPECT_GT(ink, 40) << from;
    }
    // Between the titles the header holds no ink: no title is drawn twice or cut.
    int stray = 0;
    for (int x = 50; x < totalAt - 16; ++x)
        for (int y = 8; y < 30; ++y) stray += shot.pixelColor(x, y0 + y) == QColor(255, 255, 240);
    EXPECT_EQ(stray, 0);
    ResetSilverTallies();
}

}  // namespace
}  // namespace hqlv::mahjong
