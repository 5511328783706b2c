// This game's scoring against the independent reference scorer: every one-suit hand of
// fourteen tiles, and seeded random hands with melds, kinds of win and context.
#include <gtest/gtest.h>

#include <random>

#include "fan_reference.h"
#include "table_rig.h"

namespace {

using namespace hqlv::rules;
using rig::Rig;

struct Case {
    fanref::Context ctx;
    int discarderTiles = 2;
};

std::string Describe(const Case& k) {
    std::string s = "concealed";
    for (int kind = 1; kind < 64; ++kind)
        for (int n = 0; n < k.ctx.concealed[static_cast<size_t>(kind)]; ++n)
            s += " " + std::to_string(kind);
    s += "; win " + std::to_string(k.ctx.winKind) + " mask " + std::to_string(k.ctx.mask);
    for (const auto& m : k.ctx.melds)
        s += "; meld " + std::to_string(m.kind) + "/" + std::to_string(m.kind0);
    return s;
}

// Sets the rig up as the case says and asks the rules for the win's points.
int32_t rulesPoints(Rig& r, const Case& k, int32_t* winFlag) {
    r.Fresh();
    const fanref::Context& c = k.ctx;
    r.banker_ = c.banker ? 0 : 3;
    // A self-drawn winning tile is among the concealed tiles: it is given last.
    for (int kind = 1; kind < 64; ++kind) {
        int n = c.concealed[static_cast<size_t>(kind)];
        if ((c.mask & 2) && kind == c.winKind) --n;
        for (int k = 0; k < n; ++k) r.GiveOne(0, kind);
    }
    for (const auto& m : c.melds) {
        static const MeldList kList[] = {kPeng, kChi, kMingGang, kAnGang, kBuGang};
        r.Lay(0, kList[m.kind], m.kind0, m.kind == fanref::kConcealedKong ? 0 : 2);
    }
    int32_t tile;
    if (c.mask & 2) {
        tile = r.GiveOne(0, c.winKind);
    } else {
        tile = c.mask & 4 ? r.GiveOne(2, c.winKind) : r.Played(1, c.winKind);
    }
    // The discarder's hand, which decides the second single-wait bonus.
    for (int n = 0; n < k.discarderTiles; ++n) r.GiveOne(1, 37 - n);
    if (!c.tableUntouched) r.Played(3, 31);
    if (!c.chairUntouched && c.melds.empty()) r.Played(0, 32);
    r.draws_[0] = c.draws;
    if (c.robbing) r.status_ |= kStatusRobAdded;
    r.gangDraws_ = c.gangDraw ? 1 : 0;
    r.kongFlag_ = c.kongFlag ? 1 : 0;
    r.tilesDrawn_ = c.wallUsedUp ? 136 : 60;
    HuResult res{};
    const int32_t points = r.BestHu(0, tile, &res, c.mask);
    HuResult check{};
    *winFlag = r.CheckSpecialHu(0, tile, &check, c.mask);
    return points;
}

TEST(Scoring, EveryOneSuitHandAgreesWithTheReference) {
    Rig r;
    int counts[10] = {};
    int hands = 0, wins = 0;
    // Every multiset of fourteen tiles of the first suit with at most four of a kind.
    std::function<void(int, int)> walk = [&](int kind, int left) {
        if (kind == 10) {
            if (left) return;
            ++hands;
            Case k;
            k.ctx.mask = hands % 2 ? 1 : 2;
            int distinct[9], n = 0;
            for (int v = 1; v <= 9; ++v)
                if (counts[v]) distinct[n++] = v;
            k.ctx.winKind = distinct[hands % n];
            for (int v = 1; v <= 9; ++v) k.ctx.concealed[static_cast<size_t>(v)] = counts[v];
            if (k.ctx.mask & 1) --k.ctx.concealed[static_cast<size_t>(k.ctx.winKind)];
            const fanref::Score want = fanref::score(k.ctx);
            int32_t win = 0;
            const int32_t got = rulesPoints(r, k, &win);
            wins += want.wins;
            ASSERT_EQ(win == 8, want.wins) << "hand " << hands << " " << Describe(k);
            ASSERT_EQ(got, want.points) << "hand " << hands << " " << Describe(k);
            return;
        }
        for (int n = 0; n <= 4 && n <= left; ++n) {
            counts[kind] = n;
            walk(kind + 1, left - n);
        }
        counts[kind] = 0;
    };
    walk(1, 14);
    EXPECT_EQ(hands, 118800);
    EXPECT_GT(wins, 1000);
}

// A winning hand: melds, then units and a pair over the concealed tiles, within four
// copies of a kind; sometimes one tile is changed so that it need not win.
Case randomCase(std::mt19937& rng) {
    static const int kKinds[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  11, 12, 13, 14, 15, 16, 17,
                                 18, 19, 21, 22, 23, 24, 25, 26, 27, 28, 29, 31, 32, 33, 34, 35};
    auto pick = [&] { return kKinds[rng() % std::size(kKinds)]; };
    for (;;) {
        Case k;
        fanref::Context& c = k.ctx;
        std::array<int, 64> used{};
        used[31] = 1, used[32] = 1, used[36] = 2, used[37] = 2;  // the context's own tiles
        // A one-suit or honours-heavy bias so that the suit fans occur.
        const int suit = static_cast<int>(rng() % 4);
        auto biased = [&] {
            if (rng() % 3 == 0) return pick();
            if (suit == 3) return 31 + static_cast<int>(rng() % 5);
            return suit * 10 + 1 + static_cast<int>(rng() % 9);
        };
        const int melds = static_cast<int>(rng() % 5);
        bool ok = true;
        for (int m = 0; m < melds && ok; ++m) {
            const auto kind = static_cast<fanref::MeldKind>(rng() % 5);
            int k0 = biased();
            if (kind == fanref::kChow) {
                if (k0 > 30 || k0 % 10 > 7) {
                    ok = false;
                    break;
                }
                for (int d = 0; d < 3; ++d) ok &= ++used[static_cast<size_t>(k0 + d)] <= 4;
            } else {
                used[static_cast<size_t>(k0)] += kind == fanref::kPung ? 3 : 4;
                ok &= used[static_cast<size_t>(k0)] <= 4;
            }
            c.melds.push_back({kind, k0});
        }
        std::array<int, 64> hand{};
        for (int u = melds; u < 4 && ok; ++u) {
            const int k0 = biased();
            if (rng() % 2 && k0 < 30 && k0 % 10 <= 7) {
                for (int d = 0; d < 3; ++d) ++hand[static_cast<size_t>(k0 + d)];
            } else {
                hand[static_cast<size_t>(k0)] += 3;
            }
        }
        hand[static_cast<size_t>(biased())] += 2;
        if (rng() % 5 == 0) {  // perturb
            for (int k0 = 1; k0 < 64; ++k0)
                if (hand[static_cast<size_t>(k0)]) {
                    --hand[static_cast<size_t>(k0)];
                    break;
                }
            ++hand[static_cast<size_t>(pick())];
        }
        for (int k0 = 1; k0 < 64; ++k0)
            ok &= used[static_cast<size_t>(k0)] + hand[static_cast<size_t>(k0)] <= 4;
        if (!ok) continue;
        std::vector<int> present;
        for (int k0 = 1; k0 < 64; ++k0)
            if (hand[static_cast<size_t>(k0)]) present.push_back(k0);
        c.winKind = present[rng() % present.size()];
        const int how = static_cast<int>(rng() % 3);
        c.mask = how == 0 ? 1 : how == 1 ? 2 : 4;
        c.concealed = hand;
        if (!(c.mask & 2)) --c.concealed[static_cast<size_t>(c.winKind)];
        c.robbing = c.mask == 4;
        c.gangDraw = rng() % 4 == 0;
        c.kongFlag = rng() % 4 == 0;
        c.wallUsedUp = rng() % 6 == 0;
        c.banker = rng() % 2 == 0;
        c.tableUntouched = melds == 0 && c.mask == 2 && rng() % 2 == 0;
        c.chairUntouched = melds == 0 && (c.tableUntouched || rng() % 2 == 0);
        c.draws = static_cast<int>(rng() % 3);
        k.discarderTiles = rng() % 3 == 0 ? 1 : 2;
        c.discarderSingle = c.mask == 1 && k.discarderTiles == 1;
        return k;
    }
}

TEST(Scoring, SeededRandomHandsAgreeWithTheReference) {
    std::mt19937 rng(20261206);
    Rig r;
    int wins = 0;
    for (int n = 0; n < 100000; ++n) {
        const Case k = randomCase(rng);
        const fanref::Score want = fanref::score(k.ctx);
        int32_t win = 0;
        const int32_t got = rulesPoints(r, k, &win);
        wins += want.wins;
        ASSERT_EQ(win == 8, want.wins) << "case " << n << " " << Describe(k);
        ASSERT_EQ(got, want.points) << "case " << n << " " << Describe(k);
    }
    EXPECT_GT(wins, 50000);
}

}  // namespace
