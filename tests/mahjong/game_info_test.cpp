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
    test::FakeSceneHost host;
    CGameInfoEx info;
};

TEST_F(GameInfoTest, DealRecordOneByteShortIsRefusedAndChangesNothing) {
    ASSERT_TRUE(info.SetRoundResult(Words(kDealRecordWords, {{8, 5}})));
    std::vector<uint8_t> r = Words(kDealRecordWords, {{8, 6}});
    r.pop_back();
    EXPECT_FALSE(info.SetRoundResult(r));
    EXPECT_EQ(info.GetDealNumber(), 5);
    r.push_back(0);
    EXPECT_TRUE(info.SetRoundResult(r));
    EXPECT_EQ(info.GetDealNumber(), 6);
}

TEST_F(GameInfoTest, DealRecordWordsBeyondItsEndAreNotCopied) {
    std::vector<uint8_t> r = Words(kDealRecordWords + 1, {{232, 44}, {233, 55}});
    ASSERT_TRUE(info.SetRoundResult(r));
    EXPECT_EQ(info.RoundWord(232), 44);
    EXPECT_EQ(info.RoundWord(233), 0);
    EXPECT_EQ(info.RoundWord(100000), 0);
}

TEST_F(GameInfoTest, ResultRecordEntriesClampedToFourAndToTheBody) {
    std::vector<uint8_t> r = Words(kResultWords, {{181, 9}});
    r.resize(kResultBytes + kResultEntryBytes * 5, 0x5A);
    ASSERT_TRUE(info.SetGameResult(r));
    EXPECT_EQ(info.GetResultEntryCount(), 4);
    r = Words(kResultWords, {{181, 3}});
    r.resize(kResultBytes + kResultEntryBytes * 2 + kResultEntryBytes - 1, 0x5A);
    ASSERT_TRUE(info.SetGameResult(r));
    EXPECT_EQ(info.GetResultEntryCount(), 2);
    EXPECT_EQ(info.GetResultEntries()[kResultEntryBytes * 2 - 1], 0x5A);
    EXPECT_EQ(info.GetResultEntries()[kResultEntryBytes * 2], 0);
    ASSERT_TRUE(info.SetGameResult(Words(kResultWords, {{181, -1}})));
    EXPECT_EQ(info.GetResultEntryCount(), 0);
}

TEST_F(GameInfoTest, ResultRecordOneByteShortIsRefused) {
    ASSERT_TRUE(info.SetGameResult(Words(kResultWords, {{0, 2}})));
    std::vector<uint8_t> r = Words(kResultWords, {});
    r.pop_back();
    EXPECT_FALSE(info.SetGameResult(r));
    EXPECT_TRUE(info.IsNoWinner());
}

TEST_F(GameInfoTest, RoundListCountsToTheFirstEndMark) {
    std::vector<uint8_t> r = Words(kDealRecordWords, {});
    for (size_t i = 0; i < 32; ++i) PutWord(r, kDealListWord + i, int32_t(i + 1));
    ASSERT_TRUE(info.SetRoundResult(r));
    MJList list{};
    EXPECT_EQ(info.GetRoundList(list), 32);
    EXPECT_EQ(list[31], 32);
    PutWord(r, kDealListWord + 5, -1);
    ASSERT_TRUE(info.SetRoundResult(r));
    EXPECT_EQ(info.GetRoundList(list), 5);
    EXPECT_EQ(list[6], 7);
}

TEST_F(GameInfoTest, ChairListsAndOutOfRangeChairs) {
    std::vector<uint8_t> r = Words(kResultWords, {{212 + 32 * 3, 11}, {212 + 32 * 3 + 1, -1}});
    ASSERT_TRUE(info.SetGameResult(r));
    MJList list{};
    EXPECT_EQ(info.GetChairList(3, list), 1);
    EXPECT_EQ(list[0], 11);
    EXPECT_EQ(info.GetChairList(0, list), 32);  // zeros, no end mark
    EXPECT_EQ(info.GetChairList(4, list), 0);
    EXPECT_EQ(list[0], -1);
    EXPECT_EQ(info.GetChairList(-1, list), 0);
}

TEST_F(GameInfoTest, RoundListItemStaysInsideTheDealRecord) {
    ASSERT_TRUE(info.SetRoundResult(Words(kDealRecordWords, {{49, 3}, {232, 8}})));
    EXPECT_EQ(info.GetRoundListItem(0), 3);
    EXPECT_EQ(info.GetRoundListItem(183), 8);
    EXPECT_EQ(info.GetRoundListItem(184), 0);
    EXPECT_EQ(info.GetRoundListItem(-1), 0);
}

TEST_F(GameInfoTest, HistoryLineInPointsAndInSilver) {
    ASSERT_TRUE(info.SetRoundResult(Words(kDealRecordWords, {{8, 3}, {9, 500}, {10, 16}, {11, 1}})));
    std::string text;
    info.FormatHistory(text);
    EXPECT_EQ(text, "【第3局】庄：<c=255>南家 <>\r\n         番：<c=255>16<> 分\r\n");
    ASSERT_TRUE(info.SetRoundResult(
        Words(kDealRecordWords, {{8, 3}, {9, 500}, {10, 16}, {11, 1}, {21, 1}})));
    info.FormatHistory(text);
    EXPECT_EQ(text, "【第3局】庄：<c=255>南家 <>\r\n         番：<c=255>500<> 两\r\n");
}

TEST_F(GameInfoTest, HistoryLineWithABankerOutsideTheTableNamesNobody) {
    for (int banker : {-1, 8, 1 << 30}) {
        ASSERT_TRUE(info.SetRoundResult(Words(kDealRecordWords, {{8, 1}, {11, banker}})));
        std::string text;
        info.FormatHistory(text);
        EXPECT_EQ(text, "【第1局】庄：<c=255> <>\r\n         番：<c=255>0<> 分\r\n") << banker;
    }
}

TEST_F(GameInfoTest, WinnersLine) {
    ASSERT_TRUE(info.SetRoundResult(Words(kDealRecordWords, {{8, 4}})));
    // Word 169 lies after the four chairs' values.
    ASSERT_TRUE(info.SetGameResult(
        Words(kResultWords, {{165, 5}, {166, 0}, {167, -3}, {168, 1}, {169, 9}})));
    EXPECT_EQ(info.FormatRoundLine(), "【第4局】胡：<c=255>东家,北家 <>\r\n");
    ASSERT_TRUE(info.SetGameResult(Words(kResultWords, {{0, 2}, {165, 5}})));
    EXPECT_EQ(info.FormatRoundLine(), "【第4局】流局。<>\r\n");
    ASSERT_TRUE(info.SetGameResult(Words(kResultWords, {{0, 0x1000000}})));
    EXPECT_EQ(info.FormatRoundLine(), "【第4局】胡：<c=255> <>\r\n");
}

TEST_F(GameInfoTest, FlagAccessors) {
    ASSERT_TRUE(info.SetRoundResult(Words(kDealRecordWords, {{14, 9}, {36, -1}})));
    EXPECT_TRUE(info.CanViewTiles());
    EXPECT_TRUE(info.DealFlagBit8());
    EXPECT_FALSE(info.HasChair36());
    info.SetDealFlags(8);
    EXPECT_FALSE(info.CanViewTiles());
    EXPECT_EQ(info.GetDealFlags(), 8);
    ASSERT_TRUE(info.SetGameResult(Words(kResultWords, {{0, 0x2000000}})));
    EXPECT_TRUE(info.ResultBit(0x2000000));
    EXPECT_FALSE(info.ResultBit(0x4000000));
    EXPECT_FALSE(info.IsNoWinner());
}

TEST_F(GameInfoTest, FrameSizes) {
    EXPECT_EQ(info.GetTableWidth(), 796);
    EXPECT_EQ(info.GetOperateBarHeight(), 36);
    EXPECT_EQ(info.GetPlayerListHeight(), 200);
    EXPECT_EQ(info.GetInfoRowHeight(), 164);
    EXPECT_EQ(info.GetScreenSixth(), 128);
    info.SetSceneValue3(2);
    EXPECT_EQ(info.GetOperateBarHeight(), 36);
    host.screenWidth = 800;
    host.screenHeight = 600;
    EXPECT_EQ(info.GetTableWidth(), 612);
    EXPECT_EQ(info.GetOperateBarHeight(), 72);
    EXPECT_EQ(info.GetPlayerListHeight(), 120);
    EXPECT_EQ(info.GetInfoRowHeight(), 132);
    info.SetSceneValue3(1);
    EXPECT_EQ(info.GetOperateBarHeight(), 36);
    host.field13Bit8 = 1;
    EXPECT_EQ(info.GetPlayerListHeight(), 72);
    host.screenHeight = 601;
    EXPECT_EQ(info.GetPlayerListHeight(), 104);
    host.lookerOn = 1;
    EXPECT_EQ(info.GetPlayerListHeight(), 200);
    CGameInfoEx alone;
    EXPECT_EQ(alone.GetPlayerListHeight(), 0);
}

}  // namespace
}  // namespace hqlv::mahjong

namespace hqlv::mahjong {
namespace {

TEST(CopyList, AListTheRecordCutsShortEndsWhereTheRecordEnds) {
    std::vector<uint8_t> record = Words(60, {{53, 4}, {54, 5}});
    MJList list{};
    EXPECT_EQ(CopyList(record, 53, list), 7);
    EXPECT_EQ(list[1], 5);
    EXPECT_EQ(list[6], 0);
    EXPECT_EQ(list[7], -1);
    EXPECT_EQ(CopyList(record, 60, list), 0);
    EXPECT_EQ(CopyList({}, 0, list), 0);
}

}  // namespace
}  // namespace hqlv::mahjong
