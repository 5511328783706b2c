// A drawn deal on a fixed wall ("test.ini"): chair 0 sits silent with four triplets and a single
// of an honour whose other three copies lie in the wall; every one of them is drawn and let go
// before the wall runs out. The result still names chair 0 ready (the words the deal result
// dialog reads for "听牌"), with the fans of the win it waited on.
#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "deal_rig.h"
#include "rules/common.h"

namespace {

using namespace hqlv::server::mj;
using testrig::DealRig;
using testrig::Word;

void WriteTestDeal(const std::string& folder, const std::vector<int32_t>& wall) {
    std::ofstream out(folder + "/test.ini");
    out << "[Card]\nMade=1\nTotal=";
    for (int32_t id : wall) out << id << "|";
    out << "\n";
}

// Chair 0 silent, the others played by the server, on the folder's wall.
void Seat(DealRig& rig, uint32_t seed) {
    hqlv::rules::SeedRandom(seed);
    for (int c = 0; c < kChairs; ++c) rig.deal.SetSeat(c, 100 + c, c != 0);
}

TEST(MahjongDrawnDeal, AHandWaitingOnAKindWhoseOtherCopiesAreDiscardedIsReady) {
    const std::string folder =
        ::testing::TempDir() + "/hqlv-drawn-deal-" + std::to_string(::getpid());
    std::filesystem::create_directories(folder);
    DealOptions o = DealRig::Fast();
    o.testIniFolder = folder;
    constexpr int kWait = 36;  // 发财
    bool found = false;
    for (uint32_t seed = 1; seed <= 300 && !found; ++seed) {
        std::vector<int32_t> identity(136);
        for (int32_t k = 0; k < 136; ++k) identity[static_cast<size_t>(k)] = k;
        WriteTestDeal(folder, identity);
        std::vector<int32_t> dealt;
        std::map<int, std::vector<int32_t>> ofKind;
        {
            DealRig probe(o);
            Seat(probe, seed);
            ASSERT_TRUE(probe.deal.Start());
            if (probe.deal.Turn() == 0) continue;  // the banker lets its first tile go at once
            int32_t held[32];
            const int32_t n = probe.deal.Table().ListHeld(0, held, 32);
            dealt.assign(held, held + n);
            for (int32_t id = 0; id < 136; ++id)
                ofKind[probe.deal.Table().KindIndexOf(id)].push_back(id);
        }
        std::vector<int32_t> hand;
        for (int kind : {1, 13, 25, 31})
            for (int k = 0; k < 3; ++k) hand.push_back(ofKind[kind][static_cast<size_t>(k)]);
        hand.push_back(ofKind[kWait][0]);
        std::vector<int32_t> rest;
        for (int32_t id = 0; id < 136; ++id)
            if (std::find(hand.begin(), hand.end(), id) == hand.end()) rest.push_back(id);
        std::shuffle(rest.begin(), rest.end(), std::mt19937(seed));
        std::vector<int32_t> wall(136, -1);
        for (size_t k = 0; k < dealt.size(); ++k) wall[static_cast<size_t>(dealt[k])] = hand[k];
        size_t next = 0;
        for (int32_t& id : wall)
            if (id < 0) id = rest[next++];
        WriteTestDeal(folder, wall);

        DealRig rig(o);
        Seat(rig, seed);
        ASSERT_TRUE(rig.deal.Start());
        for (int guard = 0; guard < 5000 && rig.deal.Running(); ++guard) rig.Advance(5000);
        ASSERT_TRUE(rig.deal.Over()) << seed;
        const auto& r = rig.deal.Result();
        const auto& t = rig.deal.Table();
        bool othersGone = true;
        for (int32_t id : ofKind[kWait])
            if (id != hand.back())
                othersGone &= t.StatusOf(id) != hqlv::rules::kTileInWall &&
                              t.StatusOf(id) != hqlv::rules::kTileHeld;
        // Bots that win, or that keep a copy of the wait to the end, make no such deal.
        if (Word(r, 700 / 4) != 0 || !othersGone) continue;
        found = true;
        ASSERT_EQ(rig.deal.HandBeforeEnd(0).size(), 13u);
        EXPECT_EQ(Word(r, 0), 2);  // drawn
        EXPECT_EQ(Word(r, 170), -1);
        EXPECT_GT(Word(r, 176), 0) << seed;  // chair 0 shows "听牌"
        const size_t row = 1652 / 4;
        EXPECT_EQ(Word(r, row), 0);
        // On a discard once the wall is used up: 碰碰胡 and 海底炮, 9 each.
        EXPECT_EQ(Word(r, row + 3 + 1), 9);
        EXPECT_EQ(Word(r, row + 3 + 13), 9);
        EXPECT_EQ(Word(r, row + 35), 18);
        std::printf("drawn deal: seed %u\n", seed);
    }
    EXPECT_TRUE(found) << "no seed made the deal";
    std::filesystem::remove_all(folder);
}

}  // namespace
