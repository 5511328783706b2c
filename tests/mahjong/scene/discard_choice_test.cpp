// The automatic player's discard choice on plain tile records: the score's pairs, triplets,
// runs and run starts, the one-suit bonus, the seen counts and the first best index.
#include <gtest/gtest.h>

#include <climits>
#include <initializer_list>

#include "mahjong/scene/discard_choice.h"

namespace hqlv::mahjong {
namespace {

// Tile ids by shape and value: suits 0-2 (values 1-9), honours 3 (1-7); copy 0-3.
int Id(int shape, int value, int copy = 0) {
    return shape < 3 ? shape * 36 + copy * 9 + value - 1 : 108 + copy * 7 + value - 1;
}

struct NoJokers : CMJTileTests {
    int IsFlowerTile(int id) const override { return id >= 136; }
    int IsJokerTile(int id) const override { return id == joker; }
    int IsJokerStandIn(int) const override { return 0; }
    int SortsJokers() const override { return 0; }
    int SortKey(int id) const override { return id; }
    int joker = -1;
};

CandidateHand Hand(std::initializer_list<int> ids) {
    CandidateHand h;
    h.fill(-1);
    size_t i = 0;
    for (int id : ids) h[i++] = id;
    return h;
}

UnseenCounts AllUnseen() {
    UnseenCounts u;
    u.fill(4);
    return u;
}

// Only the named weights count; the others are 0 so each case isolates one rule.
AutoPlayWeights Only(int shape, int jiang, int pnpn, int shun, int use) {
    AutoPlayWeights w;
    w.shape = shape, w.jiang = jiang, w.pnpn = pnpn, w.shun = shun, w.use = use;
    return w;
}

struct Tiles {
    CMJTileAreas areas;
    DiscardContext ctx{{0, 1, 2, 3}};
    Tiles() { areas.Clear(); }
    void Own(int index, int code, int hand = 1) {
        MJTileInfo& r = areas.m_hands[kOwnView][index];
        r.nCode = code, r.bPresent = 1, r.bHand = hand;
    }
    void Discard(int view, int index, int code, int face = 1) {
        MJTileInfo& r = areas.m_discards[view][index];
        r.nCode = code, r.bPresent = 1, r.nFace = face;
    }
    void Meld(int view, int index, int code) {
        MJTileInfo& r = areas.m_hands[view][index];
        r.nCode = code, r.bPresent = 1, r.bHand = 0;
    }
};

TEST(CountIndex, OnlyIndexesOneToFortyEight) {
    const struct {
        int id, index;
    } cases[] = {{-1, 0},   {0, 1},    {8, 9},    {35, 9},   {36, 11},  {107, 29}, {108, 31},
                 {135, 37}, {136, 41}, {143, 48}, {144, 0},  {151, 0},  {152, 0},  {200, 0}};
    for (const auto& c : cases) EXPECT_EQ(CountIndexOf(c.id), c.index) << c.id;
}

TEST(ScoreHand, EachRuleAlone) {
    const UnseenCounts live = AllUnseen();
    UnseenCounts deadEast = live, deadOne = live;
    deadEast[31] = 0;
    deadOne[1] = 0;
    UnseenCounts noThree = live;
    noThree[3] = 0;
    const ShapeCounts none{};
    const struct {
        const char* what;
        CandidateHand hand;
        UnseenCounts unseen;
        AutoPlayWeights w;
        int skip, score;
    } cases[] = {
        // Pairs: the eye scores weight_Jiang; each further live pair Jiang + use.
        {"no pair", Hand({Id(3, 1), Id(3, 2)}), live, Only(0, 100, 0, 0, 5), 13, 0},
        {"one live pair is the eye", Hand({Id(3, 1), Id(3, 1, 1)}), live, Only(0, 100, 0, 0, 5),
         13, 100},
        {"one dead pair", Hand({Id(3, 1), Id(3, 1, 1)}), deadEast, Only(0, 100, 0, 0, 5), 13, 100},
        {"dead pair is the eye, live pair on top",
         Hand({Id(3, 1), Id(3, 1, 1), Id(3, 2), Id(3, 2, 1)}), deadEast, Only(0, 100, 0, 0, 5), 13,
         205},
        {"two live pairs", Hand({Id(3, 1), Id(3, 1, 1), Id(3, 2), Id(3, 2, 1)}), live,
         Only(0, 100, 0, 0, 5), 13, 205},
        {"three live pairs",
         Hand({Id(3, 1), Id(3, 1, 1), Id(3, 2), Id(3, 2, 1), Id(3, 3), Id(3, 3, 1)}), live,
         Only(0, 100, 0, 0, 5), 13, 310},
        {"the skipped tile breaks the pair", Hand({Id(3, 1), Id(3, 1, 1)}), live,
         Only(0, 100, 0, 0, 5), 1, 0},
        // Triplets: PnPn, plus use while the fourth copy is unseen.
        {"live triplet", Hand({Id(3, 5), Id(3, 5, 1), Id(3, 5, 2)}), live, Only(0, 0, 200, 0, 5),
         13, 205},
        {"triplet whose fourth is seen", Hand({Id(0, 1), Id(0, 1, 1), Id(0, 1, 2)}), deadOne,
         Only(0, 0, 200, 0, 5), 13, 200},
        // A concealed four is no triplet: its tiles make a run with 2 and 3.
        {"concealed four in a run",
         Hand({Id(0, 1), Id(0, 1, 1), Id(0, 1, 2), Id(0, 1, 3), Id(0, 2), Id(0, 3)}), live,
         Only(0, 0, 200, 50, 5), 13, 100},
        {"triplet then run start", Hand({Id(0, 1), Id(0, 1, 1), Id(0, 1, 2), Id(0, 2), Id(0, 3)}),
         live, Only(0, 0, 200, 50, 5), 13, 255},
        // Runs twice Shun, again on the same start; run starts once, only with s+2 unseen.
        {"two runs on one start",
         Hand({Id(1, 4), Id(1, 5), Id(1, 6), Id(1, 4, 1), Id(1, 5, 1), Id(1, 6, 1)}), live,
         Only(0, 0, 0, 50, 0), 13, 200},
        {"run start", Hand({Id(0, 1), Id(0, 2)}), live, Only(0, 0, 0, 50, 0), 13, 50},
        {"run start whose third is all seen", Hand({Id(0, 1), Id(0, 2)}), noThree,
         Only(0, 0, 0, 50, 0), 13, 0},
        {"a gap is no run start", Hand({Id(0, 1), Id(0, 3)}), live, Only(0, 0, 0, 50, 0), 13, 0},
        {"8-9 of a suit waits on no tile", Hand({Id(0, 8), Id(0, 9)}), live, Only(0, 0, 0, 50, 0),
         13, 50},
        {"no run across suits", Hand({Id(0, 8), Id(0, 9), Id(1, 1)}), live, Only(0, 0, 0, 50, 0),
         13, 50},
        {"honours make no runs", Hand({Id(3, 1), Id(3, 2), Id(3, 3)}), live, Only(0, 0, 0, 50, 0),
         13, 0},
        // The shape bonus: each tile earns the count of its shape.
        {"shape bonus", Hand({Id(0, 1), Id(0, 5), Id(0, 9), Id(1, 1), Id(3, 7)}), live,
         Only(1, 0, 0, 0, 0), 13, 3 * 3 + 1 + 1},
        {"shape bonus leaves out the skipped tile", Hand({Id(0, 1), Id(0, 5), Id(0, 9)}), live,
         Only(1, 0, 0, 0, 0), 0, 4},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ScoreHand(c.w, c.hand, c.unseen, none, c.skip), c.score) << c.what;
}

TEST(ScoreHand, ShapeBonusFollowsTheOneExposedShape) {
    const CandidateHand hand = Hand({Id(0, 1), Id(0, 5), Id(1, 1), Id(1, 5), Id(1, 9)});
    const AutoPlayWeights w = Only(1, 0, 0, 0, 0);
    const UnseenCounts u = AllUnseen();
    EXPECT_EQ(ScoreHand(w, hand, u, ShapeCounts{0, 3, 0, 0, 0}, 13), 9);  // only suit 1
    EXPECT_EQ(ScoreHand(w, hand, u, ShapeCounts{3, 0, 0, 0, 0}, 13), 4);  // only suit 0
    EXPECT_EQ(ScoreHand(w, hand, u, ShapeCounts{0, 0, 0, 0, 1}, 13), 0);  // flowers shown
    EXPECT_EQ(ScoreHand(w, hand, u, ShapeCounts{3, 3, 0, 0, 0}, 13), 0);  // two shapes
    EXPECT_EQ(ScoreHand(w, hand, u, ShapeCounts{0, 0, 0, 0, 0}, 13), 13);
}

TEST(ScoreHand, ExtremeWeightsClampInsteadOfWrapping) {
    // Four pairs, two triplets... every rule fires many times over.
    const CandidateHand hand =
        Hand({Id(0, 1), Id(0, 1, 1), Id(0, 2), Id(0, 2, 1), Id(0, 3), Id(0, 3, 1), Id(1, 5),
              Id(1, 5, 1), Id(1, 5, 2), Id(2, 7), Id(2, 8), Id(3, 1), Id(3, 1, 1), Id(3, 1, 2)});
    AutoPlayWeights big;
    big.shape = big.jiang = big.pnpn = big.shun = big.use = INT_MAX;
    AutoPlayWeights small;
    small.shape = small.jiang = small.pnpn = small.shun = small.use = INT_MIN;
    const UnseenCounts u = AllUnseen();
    for (int skip = 0; skip < 14; ++skip) {
        EXPECT_EQ(ScoreHand(big, hand, u, ShapeCounts{}, skip), INT_MAX) << skip;
        EXPECT_EQ(ScoreHand(small, hand, u, ShapeCounts{}, skip), INT_MIN) << skip;
    }
}

TEST(ChooseDiscard, DefaultWeightsDiscardTheLoneHonour) {
    Tiles t;
    const int codes[] = {Id(0, 1), Id(0, 2), Id(0, 3), Id(3, 1), Id(1, 5), Id(1, 5, 1)};
    for (int i = 0; i < 6; ++i) t.Own(i + 1, codes[i]);
    EXPECT_EQ(ChooseDiscard(t.areas, t.ctx, NoJokers{}, AutoPlayWeights{}), 4);
}

TEST(ChooseDiscard, AllScoresEqualTakeTheLowestCandidate) {
    Tiles t;
    // Four lone honours: every removal leaves the same hand. Records 0 and 1 are empty.
    for (int i = 0; i < 4; ++i) t.Own(i + 2, Id(3, i + 1));
    EXPECT_EQ(ChooseDiscard(t.areas, t.ctx, NoJokers{}, AutoPlayWeights{}), 2);
    t.Own(0, Id(3, 7));
    EXPECT_EQ(ChooseDiscard(t.areas, t.ctx, NoJokers{}, AutoPlayWeights{}), 0);
}

TEST(ChooseDiscard, NeitherJokersNorLaidOrAbsentRecordsAreCandidates) {
    Tiles t;
    NoJokers tests;
    tests.joker = Id(3, 5);
    t.Own(0, Id(3, 5));               // the joker: kept
    t.Own(1, Id(0, 1));               // 1-2-3 kept
    t.Own(2, Id(0, 2));
    t.Own(3, Id(0, 3));
    t.Own(4, Id(3, 6), 0);            // laid (hand flag 0): no candidate
    t.Own(5, Id(3, 7));
    t.areas.m_hands[kOwnView][5].bPresent = 0;  // not present
    t.Own(6, Id(1, 9));               // the lone tile goes
    EXPECT_EQ(ChooseDiscard(t.areas, t.ctx, tests, AutoPlayWeights{}), 6);
    // Only records below the hand size take part.
    DiscardContext few = t.ctx;
    few.maxHandTiles = 6;
    EXPECT_EQ(ChooseDiscard(t.areas, few, tests, AutoPlayWeights{}), 1);
}

TEST(ChooseDiscard, NoCandidateAnswersZeroAndNegativeScoresStillPickACandidate) {
    Tiles t;
    EXPECT_EQ(ChooseDiscard(t.areas, t.ctx, NoJokers{}, AutoPlayWeights{}), 0);
    t.Own(5, Id(0, 1));
    t.Own(6, Id(0, 1, 1));
    t.Own(7, Id(2, 4));
    AutoPlayWeights negative;
    negative.shape = -1000;
    EXPECT_EQ(ChooseDiscard(t.areas, t.ctx, NoJokers{}, negative), 5);
}

TEST(CountTiles, FaceUpDiscardsMeldsAndTheOwnHandAreSeen) {
    Tiles t;
    t.Discard(0, 0, Id(0, 1));
    t.Discard(1, 35, Id(0, 1, 1));
    t.Discard(2, 3, Id(0, 1, 2), 0);  // face down: not seen
    t.Meld(1, 17, Id(3, 2));
    t.Meld(1, 18, Id(3, 2, 1));      // past the 18 hand slots: not seen
    t.Own(1, Id(3, 2, 2));
    t.Own(17, Id(1, 5, 0), 0);       // own meld: seen and an exposed suit-1 tile
    t.Own(16, Id(1, 5, 1), 0);
    // What has no count index is never counted: the hidden tile, flowers past the eighth.
    t.Discard(3, 0, kHiddenTile);
    t.Discard(3, 1, 151);
    t.Meld(2, 17, 148);
    t.Own(15, 144, 0);
    t.Discard(3, 2, 136);
    UnseenCounts u;
    ShapeCounts s;
    CountTiles(t.areas, t.ctx, u, s);
    EXPECT_EQ(u[1], 2);
    EXPECT_EQ(u[32], 2);
    EXPECT_EQ(u[15], 2);
    EXPECT_EQ(u[41], 3);
    EXPECT_EQ(u[0], 4);
    EXPECT_EQ(s, (ShapeCounts{0, 2, 0, 0, 0}));
    // A chair without a view is passed over; so are the discards of views nobody sits at.
    t.ctx.chairViews = {-1, 9, 2, 3};
    CountTiles(t.areas, t.ctx, u, s);
    EXPECT_EQ(u[1], 4);
    EXPECT_EQ(u[32], 3);
}

}  // namespace
}  // namespace hqlv::mahjong
