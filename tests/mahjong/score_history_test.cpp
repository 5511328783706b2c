// The score-history pane: names cut on a character boundary, the board's texts at their
// places, totals beyond 32 bits, and the tab that turns back to the page after 5 seconds.
#include <gtest/gtest.h>

#include <QImage>

#include <cstring>
#include <unistd.h>

#include "framework/app/text_edge.h"
#include "framework/widgets/tab_strip.h"
#include "mahjong/game/score_history_view.h"
#include "mahjong/game/silver_tally.h"
#include "platform/core/message.h"
#include "tests/framework/qt_test_app.h"
#include "tools/assetgen/pane_art.h"

namespace hqlv::mahjong {
namespace {

std::string Gbk(const char* utf8) { return framework::Utf8ToGbk(utf8); }

TEST(ScoreBoardName, CutsOnlyOverTwelveBytesAndNeverSplitsACharacter) {
    const struct {
        std::string gbk;
        std::string want;
    } cases[] = {
        {"abcdefghijkl", "abcdefghijkl"},
        {"abcdefghijklm", "abcdefghij…"},
        {Gbk("六个汉字名字"), "六个汉字名字"},          // 12 bytes
        {Gbk("a六个汉字名字"), "a六个汉字…"},           // byte 10 is a lead byte: 9 bytes
        {Gbk("ab六个汉字名字"), "ab六个汉字…"},         // 10 bytes end on a whole character
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ScoreBoardName(c.gbk), c.want) << c.want;
}

TEST(ScoreBoardTexts, PlacesNamesNumbersAndUnits) {
    auto width = [](const std::string& s) { return int(s.size()) * 7; };
    const auto texts = ScoreBoardTexts(3, 20, {"n0", "", "n2", "n3"},
                                       {-15, 0, 5000000000LL, 7}, {-1, 0, 12, -2147483647 - 1},
                                       width);
    ASSERT_EQ(texts.size(), 20u);
    const std::vector<BoardText> row0 = {{"n0", 18, 65},  {"-15", 151, 65}, {"两", 193, 65},
                                         {"-1", 256, 65}, {"两", 293, 65}};
    EXPECT_EQ(std::vector<BoardText>(texts.begin(), texts.begin() + 5), row0);
    EXPECT_EQ(texts[5], (BoardText{"", 18, 97}));
    EXPECT_EQ(texts[11], (BoardText{"5000000000", 161 - 35, 129}));
    EXPECT_EQ(texts[16].text, "7");
    EXPECT_EQ(texts[16].x, 161 - 3);  // 7 / 2 truncated
    EXPECT_EQ(texts[18], (BoardText{"-2147483648", 263 - 38, 161}));
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

TEST_F(ScorePane, DrawsTheBoardOnItsTabAndHidesTheBrowser) {
    ResetSilverTallies();
    AddDealSilver({-120, 30, 2000000000, 90});
    AddDealSilver({0, 0, 2000000000, 0});
    const std::string bmp = assetgen::bmp8File(assetgen::scoreBoardImage());
    QImage board = QImage::fromData(reinterpret_cast<const uchar*>(bmp.data()), int(bmp.size()), "BMP");
    ASSERT_EQ(board.size(), QSize(339, 172));
    EXPECT_EQ(board.depth(), 8);
    pane_->SetBoardPicture(board);
    Choose(1);
    QImage shot = pane_->grab().toImage();
    const int y0 = pane_->tabStrip()->height();
    EXPECT_EQ(pane_->browser()->geometry(), QRect(-1, -1, 1, 1));
    const auto texts = pane_->BoardTexts([](const std::string& t) { return int(t.size()); });
    ASSERT_EQ(texts.size(), 20u);
    EXPECT_EQ(texts[0], (BoardText{"abcdefghijkl", 15, y0 + 45}));
    EXPECT_EQ(texts[5].text, "abcdefghij…");
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
    ResetSilverTallies();
}

}  // namespace
}  // namespace hqlv::mahjong
