// The deal state: records taken whole or refused, accessors, lists, history and winners'
// lines, the pane sizes.
#include <gtest/gtest.h>

#include "fake_scene_host.h"
#include "mahjong/game/game_info_ex.h"
#include "words.h"

namespace hqlv::mahjong {
namespace {

using test::PutWord;
using test::Words;

class GameInfoTest : public testing::Test {
protected:
    void SetUp() override { info.SetHost(&host); }
    std::string History(std::initializer_list<std::pair<size_t, int32_t>> words) {
        EXPECT_TRUE(info.SetRoundResult(Words(kDealRecordWords, words)));
        std::string text;
        info.FormatHistory(text);
        return text;
    }
    test::FakeSceneHost host;
    CGameInfoEx info;
};

TEST_F(GameInfoTest, RecordsOneByteShortAreRefusedAndChangeNothing) {
    ASSERT_TRUE(info.SetRoundResult(Words(kDealRecordWords + 1, {{8, 5}, {232, 44}, {233, 55}})));
    ASSERT_TRUE(info.SetGameResult(Words(kResultWords, {{0, 2}})));
    EXPECT_EQ(info.RoundWord(232), 44);
    EXPECT_EQ(info.RoundWord(233), 0);  // beyond the record: not copied
    EXPECT_EQ(info.RoundWord(100000), 0);
    const std::vector<uint8_t> deal = Words(kDealRecordWords, {{8, 6}});
    const std::vector<uint8_t> result = Words(kResultWords, {});
    EXPECT_FALSE(info.SetRoundResult(MJData(deal).first(kDealRecordBytes - 1)));
    EXPECT_FALSE(info.SetGameResult(MJData(result).first(kResultBytes - 1)));
    EXPECT_EQ(info.GetDealNumber(), 5);
    EXPECT_TRUE(info.IsNoWinner());
}

TEST_F(GameInfoTest, ResultEntriesClampedToFourAndToTheBody) {
    struct Case {
        int announced;
        size_t extraBytes;
        int kept;
    } cases[] = {{9, kResultEntryBytes * 5, 4},
                 {3, kResultEntryBytes * 3 - 1, 2},
                 {-1, kResultEntryBytes, 0}};
    for (const Case& c : cases) {
        std::vector<uint8_t> r = Words(kResultWords, {{181, c.announced}});
        r.resize(kResultBytes + c.extraBytes, 0x5A);
        ASSERT_TRUE(info.SetGameResult(r));
        EXPECT_EQ(info.GetResultEntryCount(), c.kept) << c.announced;
    }
    // The entries of an earlier, longer record are gone.
    std::vector<uint8_t> r = Words(kResultWords, {{181, 3}});
    r.resize(kResultBytes + kResultEntryBytes * 4, 0x5A);
    ASSERT_TRUE(info.SetGameResult(r));
    r = Words(kResultWords, {{181, 3}});
    r.resize(kResultBytes + kResultEntryBytes * 3 - 1, 0x5A);
    ASSERT_TRUE(info.SetGameResult(r));
    EXPECT_EQ(info.GetResultEntries()[kResultEntryBytes * 2 - 1], 0x5A);
    EXPECT_EQ(info.GetResultEntries()[kResultEntryBytes * 2], 0);
}

TEST_F(GameInfoTest, ListsCountToTheFirstEndMarkAndStayInsideTheirRecords) {
    std::vector<uint8_t> deal = Words(kDealRecordWords, {{48, 9}, {49, 3}, {232, 8}});
    for (size_t i = 0; i < 32; ++i) PutWord(deal, kDealListWord + i, int32_t(i + 1));
    ASSERT_TRUE(info.SetRoundResult(deal));
    MJList list{};
    EXPECT_EQ(info.GetRoundList(list), 32);
    EXPECT_EQ(list[31], 32);
    PutWord(deal, kDealListWord + 5, -1);
    ASSERT_TRUE(info.SetRoundResult(deal));
    EXPECT_EQ(info.GetRoundList(list), 5);
    EXPECT_EQ(list[6], 7);
    EXPECT_EQ(info.GetRoundListItem(0), 3);
    EXPECT_EQ(info.GetRoundListItem(183), 8);
    EXPECT_EQ(info.GetRoundListItem(184), 0);
    EXPECT_EQ(info.GetRoundListItem(-1), 0);

    ASSERT_TRUE(info.SetGameResult(Words(kResultWords, {{212 + 32 * 3, 11}, {212 + 32 * 3 + 1, -1}})));
    EXPECT_EQ(info.GetChairList(3, list), 1);
    EXPECT_EQ(list[0], 11);
    EXPECT_EQ(info.GetChairList(0, list), 32);  // zeros, no end mark
    for (int chair : {4, -1}) {
        EXPECT_EQ(info.GetChairList(chair, list), 0);
        EXPECT_EQ(list[0], -1);
    }
    // A list the record cuts short ends where the record ends.
    std::vector<uint8_t> record = Words(60, {{53, 4}, {54, 5}});
    EXPECT_EQ(CopyList(record, 53, list), 7);
    EXPECT_EQ(list[6], 0);
    EXPECT_EQ(list[7], -1);
    EXPECT_EQ(CopyList(record, 60, list), 0);
}

TEST_F(GameInfoTest, HistoryLines) {
    EXPECT_EQ(History({{8, 3}, {9, 500}, {10, 16}, {11, 1}}),
              "【第3局】庄：<c=255>南家 <>\r\n         番：<c=255>16<> 分\r\n");
    EXPECT_EQ(History({{8, 3}, {9, 500}, {10, 16}, {11, 1}, {21, 1}}),
              "【第3局】庄：<c=255>南家 <>\r\n         番：<c=255>500<> 两\r\n");
    for (int banker : {-1, 8, 1 << 30})
        EXPECT_EQ(History({{8, 1}, {11, banker}}),
                  "【第1局】庄：<c=255> <>\r\n         番：<c=255>0<> 分\r\n")
            << banker;
}

TEST_F(GameInfoTest, WinnersLine) {
    ASSERT_TRUE(info.SetRoundResult(Words(kDealRecordWords, {{8, 4}})));
    struct Case {
        std::initializer_list<std::pair<size_t, int32_t>> words;
        const char* line;
    } cases[] = {
        // Word 169 lies after the four chairs' values.
        {{{165, 5}, {166, 0}, {167, -3}, {168, 1}, {169, 9}}, "【第4局】胡：<c=255>东家,北家 <>\r\n"},
        {{{0, 2}, {165, 5}}, "【第4局】流局。<>\r\n"},
        {{{0, 0x1000000}}, "【第4局】胡：<c=255> <>\r\n"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(info.SetGameResult(Words(kResultWords, c.words)));
        EXPECT_EQ(info.FormatRoundLine(), c.line);
    }
}

TEST_F(GameInfoTest, FlagAccessors) {
    ASSERT_TRUE(info.SetRoundResult(
        Words(kDealRecordWords, {{14, 0xFF}, {22, 1}, {23, 2}, {26, 5}, {27, 6}, {36, -1}})));
    int words[5] = {0, 0, 0, 0, 77};
    info.GetDealWords23(words);
    EXPECT_EQ((std::vector<int>(words, words + 5)), (std::vector<int>{2, 0, 0, 5, 77}));
    EXPECT_TRUE(info.CanViewTiles());
    EXPECT_FALSE(info.DealFlagBit8());  // bit 8 is 0x100
    EXPECT_FALSE(info.HasChair36());
    // A word past the deal area is not written (the result area follows it).
    info.SetRoundWord(kDealAreaBytes / 4, 0x2);
    EXPECT_FALSE(info.IsNoWinner());
    info.SetDealFlags(0x100);
    EXPECT_TRUE(info.DealFlagBit8());
    EXPECT_FALSE(info.CanViewTiles());
    EXPECT_EQ(info.GetDealFlags(), 0x100);
    ASSERT_TRUE(info.SetGameResult(Words(kResultWords, {{0, 0x2000000}})));
    EXPECT_TRUE(info.ResultBit(0x2000000));
    EXPECT_FALSE(info.ResultBit(0x4000000));
    EXPECT_FALSE(info.IsNoWinner());
}

TEST_F(GameInfoTest, FrameSizes) {
    struct Case {
        int width, height, value3, field13Bit8, lookerOn;
        int table, operate, list, infoRow, sixth;
    } cases[] = {
        {1024, 768, 2, 0, 0, 796, 36, 200, 164, 128}, {800, 600, 2, 0, 0, 612, 72, 120, 132, 100},
        {800, 600, 1, 1, 0, 612, 36, 72, 132, 100},   {800, 601, 1, 1, 0, 622, 36, 104, 164, 100},
        {800, 601, 1, 1, 1, 622, 36, 200, 164, 100},
    };
    for (const Case& c : cases) {
        host.screenWidth = c.width;
        host.screenHeight = c.height;
        host.field13Bit8 = c.field13Bit8;
        host.lookerOn = c.lookerOn;
        info.SetSceneValue3(c.value3);
        EXPECT_EQ(info.GetTableWidth(), c.table) << c.width << "x" << c.height;
        EXPECT_EQ(info.GetOperateBarHeight(), c.operate) << c.height;
        EXPECT_EQ(info.GetPlayerListHeight(), c.list) << c.height;
        EXPECT_EQ(info.GetInfoRowHeight(), c.infoRow) << c.height;
        EXPECT_EQ(info.GetScreenSixth(), c.sixth);
    }
    CGameInfoEx alone;
    EXPECT_EQ(alone.GetPlayerListHeight(), 0);
}

}  // namespace
}  // namespace hqlv::mahjong
