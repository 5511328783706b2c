// A fixed wall from the test deal ("test.ini" in the server's folder): a pung claimed from
// the banker's first discard, then a win on the pung maker's discard, with the exact tiles.
#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "deal_rig.h"
#include "rules/common.h"

namespace {

using namespace hqlv::server::mj;
using testrig::DealRig;
using testrig::PutWord;
using testrig::Word;

constexpr uint32_t kSeed = 11;

void WriteTestDeal(const std::string& folder, const std::vector<int32_t>& wall) {
    std::ofstream out(folder + "/test.ini");
    out << "[Card]\nMade=1\nTotal=";
    for (int32_t id : wall) out << id << "|";
    out << "\n";
}

std::vector<int32_t> Held(const Deal& d, int chair) {
    int32_t held[32];
    const int32_t n = d.Table().ListHeld(chair, held, 32);
    return {held, held + n};
}

std::vector<uint8_t> Body(int chair, size_t bytes, std::initializer_list<int32_t> words) {
    std::vector<uint8_t> b(bytes, 0);
    PutWord(b, 0, 100 + chair);
    PutWord(b, 3, chair);
    size_t w = 4;
    for (int32_t v : words) PutWord(b, w++, v);
    return b;
}

std::vector<uint8_t> Discard(int chair, int32_t tile) {
    auto d = Body(chair, 108, {0, 0, chair, 100 + chair});
    PutWord(d, 20, 1);
    PutWord(d, 25, 1);
    PutWord(d, 26, tile);
    return d;
}

// A pass is answered for a chair the discard offered something, refused for the others.
void Pass(DealRig& rig, int chair, int from, int32_t tile) {
    int32_t flags = -1;
    for (const auto& n : rig.notes)
        if (n.code == 221170 && Word(n.body, 1) == from && Word(n.body, 21) == tile)
            flags = Word(n.body, 6 + static_cast<size_t>(chair));
    ASSERT_GE(flags, 0) << "no discard notice";
    EXPECT_EQ(rig.deal.Request(chair, 229005, Body(chair, 40, {from, tile})).code,
              flags ? kDone : kRefused);
}

// The fixed wall: the banker lets go of X, which the chair across pungs with own1 and own2
// before it lets go of Y; `winner` (and with `bothWait` also `other`) holds four triplets
// and a single of Y's kind.
class MahjongTestDeal : public ::testing::Test {
protected:
    void Build(bool bothWait) {
        // A folder of this process's own: ctest runs the cases side by side.
        folder = ::testing::TempDir() + "/hqlv-test-deal-" + std::to_string(::getpid());
        std::filesystem::create_directories(folder);
        o = DealRig::Fast();
        o.testIniFolder = folder;
        // With the tiles in id order, a hand's ids are the wall positions dealt to its chair.
        std::vector<int32_t> identity(136);
        for (int32_t k = 0; k < 136; ++k) identity[static_cast<size_t>(k)] = k;
        WriteTestDeal(folder, identity);
        std::vector<int32_t> dealt[kChairs];
        std::map<int, std::vector<int32_t>> ofKind;
        {
            hqlv::rules::SeedRandom(kSeed);
            DealRig probe(o);
            for (int c = 0; c < kChairs; ++c) probe.deal.SetSeat(c, 100 + c, false);
            ASSERT_TRUE(probe.deal.Start());
            banker = probe.deal.Turn();
            for (int c = 0; c < kChairs; ++c) dealt[c] = Held(probe.deal, c);
            for (int32_t id = 0; id < 136; ++id)
                ofKind[probe.deal.Table().KindIndexOf(id)].push_back(id);
        }
        ASSERT_EQ(dealt[banker].size(), 14u);
        ASSERT_GE(ofKind.size(), 10u);
        pung = (banker + 2) % 4, winner = (banker + 1) % 4, other = (banker + 3) % 4;
        std::vector<int> kinds;
        for (auto& [k, ids] : ofKind) kinds.push_back(k);
        auto take = [&](int kind) {
            auto& v = ofKind[kind];
            const int32_t id = v.back();
            v.pop_back();
            return id;
        };
        X = take(kinds[0]), Y = take(kinds[1]), own1 = take(kinds[0]), own2 = take(kinds[0]);
        std::vector<int32_t> hands[kChairs];
        hands[banker].push_back(X);
        hands[pung] = {own1, own2, Y};
        hands[winner].push_back(take(kinds[1]));
        for (int t = 2; t < 6; ++t)
            for (int k = 0; k < 3; ++k)
                hands[winner].push_back(take(kinds[static_cast<size_t>(t)]));
        if (bothWait) {
            hands[other].push_back(take(kinds[1]));
            for (int t = 6; t < 10; ++t)
                for (int k = 0; k < 3; ++k)
                    hands[other].push_back(take(kinds[static_cast<size_t>(t)]));
        }
        // The rest from the kinds nobody scripts first, so that no one else holds a pair.
        std::vector<int32_t> rest;
        for (size_t t = 10; t < kinds.size(); ++t)
            for (int32_t id : ofKind[kinds[t]]) rest.push_back(id);
        for (int t = 0; t < 10; ++t)
            for (int32_t id : ofKind[kinds[static_cast<size_t>(t)]]) rest.push_back(id);
        wall.assign(136, -1);
        size_t next = 0;
        for (int c = 0; c < kChairs; ++c)
            for (size_t k = 0; k < dealt[c].size(); ++k)
                wall[static_cast<size_t>(dealt[c][k])] =
                    k < hands[c].size() ? hands[c][k] : rest[next++];
        for (auto& id : wall)
            if (id < 0) id = rest[next++];
        ASSERT_EQ(next, rest.size());
        WriteTestDeal(folder, wall);
        winnerHand.clear();
        for (int32_t pos : dealt[winner]) winnerHand.push_back(wall[static_cast<size_t>(pos)]);
    }

    // Starts the deal on the fixed wall and plays up to the pung maker's discard of Y.
    void PlayToY(DealRig& rig) {
        hqlv::rules::SeedRandom(kSeed);
        for (int c = 0; c < kChairs; ++c) rig.deal.SetSeat(c, 100 + c, false);
        ASSERT_TRUE(rig.deal.Start());
        ASSERT_EQ(rig.deal.Turn(), banker);
        ASSERT_EQ(Sorted(Held(rig.deal, winner)), Sorted(winnerHand));
        // The banker lets go of X; the two others pass, the pung maker takes it.
        ASSERT_EQ(rig.deal.Request(banker, 221080, Discard(banker, X)).code, kDone);
        // The turn passed with the discard: an entry during the claims is shown the seat to
        // move next, which holds no drawn tile.
        const std::vector<uint8_t> state = rig.deal.PlayerState(pung);
        EXPECT_EQ(Word(state, 13), rig.deal.Table().NextChair(banker));
        EXPECT_EQ(Word(state, 14) & 0x100, 0);
        Pass(rig, winner, banker, X);
        Pass(rig, other, banker, X);
        const auto claim = Body(pung, 64, {banker, X, own1, own2, -1});
        ASSERT_EQ(rig.deal.Request(pung, 229010, claim).code, kDone);
        ASSERT_EQ(rig.deal.Request(pung, 229025, claim).code, kDone);
        ASSERT_EQ(rig.deal.Turn(), pung);
        ASSERT_TRUE(rig.deal.AwaitsDiscard());
        ASSERT_EQ(rig.deal.Request(pung, 221080, Discard(pung, Y)).code, kDone);
    }

    static std::vector<int32_t> Sorted(std::vector<int32_t> v) {
        std::sort(v.begin(), v.end());
        return v;
    }

    std::string folder;
    DealOptions o;
    std::vector<int32_t> wall, winnerHand;
    int banker = -1, pung = -1, winner = -1, other = -1;
    int32_t X = -1, Y = -1, own1 = -1, own2 = -1;
};

TEST_F(MahjongTestDeal, FixedWallPlaysAScriptedPungThenAWinOnDiscard) {
    Build(false);
    DealRig rig(o);
    PlayToY(rig);
    if (HasFatalFailure()) return;
    const auto& pungs = rig.deal.Table().Melds(pung, hqlv::rules::kPeng);
    ASSERT_EQ(pungs.size(), 1u);
    EXPECT_EQ(Sorted({pungs[0].tiles[0], pungs[0].tiles[1], pungs[0].tiles[2]}),
              Sorted({X, own1, own2}));
    EXPECT_EQ(pungs[0].source, banker);
    bool laid = false;
    for (const auto& n : rig.notes)
        laid |= n.code == 229185 && Word(n.body, 3) == pung && Word(n.body, 4) == banker &&
                Word(n.body, 5) == X && Word(n.body, 6) == own1 && Word(n.body, 7) == own2;
    EXPECT_TRUE(laid);
    // The winner's four triplets and single of Y's kind make a hand with Y.
    Pass(rig, other, pung, Y);
    Pass(rig, banker, pung, Y);
    ASSERT_EQ(rig.deal.Request(winner, 229080, Body(winner, 48, {pung, Y, 1})).code, kDone);
    ASSERT_TRUE(rig.deal.Over());
    const auto& r = rig.deal.Result();
    ASSERT_EQ(r.size(), 4u * 172 + 1652);
    EXPECT_EQ(Word(r, 700 / 4), 1);
    EXPECT_EQ(Word(r, 14) + Word(r, 15) + Word(r, 16) + Word(r, 17), 0);
    EXPECT_GT(Word(r, 14 + static_cast<size_t>(winner)), 0);
    EXPECT_LT(Word(r, 14 + static_cast<size_t>(pung)), 0);
}

// A win held back for another chair that may win too, asked again when its countdown ends:
// held back again while the claim time runs, done once it is over and done after the end.
TEST_F(MahjongTestDeal, RepeatedHeldBackWinIsAnsweredByWhatBecameOfIt) {
    Build(true);
    DealRig rig(o);
    PlayToY(rig);
    if (HasFatalFailure()) return;
    Pass(rig, banker, pung, Y);
    const auto hu = Body(winner, 48, {pung, Y, 1});
    ASSERT_EQ(rig.deal.Request(winner, 229080, hu).code, kHeldBack);
    rig.now += 19999;  // no tick: only the repeat may move the deal on
    EXPECT_EQ(rig.deal.Request(winner, 229080, hu).code, kHeldBack);
    EXPECT_EQ(rig.deal.Request(winner, 229080, Body(winner, 48, {pung, X, 1})).code, kRefused);
    EXPECT_TRUE(rig.deal.Running());
    rig.now += 1;
    EXPECT_EQ(rig.deal.Request(winner, 229080, hu).code, kDone);
    ASSERT_TRUE(rig.deal.Over());
    EXPECT_EQ(Word(rig.deal.Result(), 700 / 4), 1);  // the silent chair let it pass
    EXPECT_GT(Word(rig.deal.Result(), 14 + static_cast<size_t>(winner)), 0);
    EXPECT_EQ(rig.deal.Request(winner, 229080, hu).code, kDone);
    EXPECT_EQ(rig.deal.Request(other, 229080, Body(other, 48, {pung, Y, 1})).code, kRefused);
}

// The other chair's pass lets the held win through; the repeat then is done, not refused.
TEST_F(MahjongTestDeal, RepeatAfterTheHeldWinWentThroughIsDone) {
    Build(true);
    DealRig rig(o);
    PlayToY(rig);
    if (HasFatalFailure()) return;
    Pass(rig, banker, pung, Y);
    const auto hu = Body(winner, 48, {pung, Y, 1});
    ASSERT_EQ(rig.deal.Request(winner, 229080, hu).code, kHeldBack);
    Pass(rig, other, pung, Y);
    ASSERT_TRUE(rig.deal.Over());
    EXPECT_EQ(rig.deal.Request(winner, 229080, hu).code, kDone);
    EXPECT_EQ(rig.deal.Request(winner, 229080, Body(winner, 48, {pung, Y, 4, 2})).code, kRefused);
}

}  // namespace
