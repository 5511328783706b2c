#include "mahjong/scene/discard_choice.h"

#include <algorithm>
#include <climits>

#include "rules/tiles.h"

namespace hqlv::mahjong {

int CountIndexOf(int id) {
    const int t = rules::MJ_TileIndex(id, 0);
    // The count tables hold 49 entries; the flowers past the eighth (index 49 and up), the
    // hidden tile and anything that is no tile stay out of them.
    return t >= 1 && t < kCountIndexes ? t : 0;
}

int ScoreHand(const AutoPlayWeights& w, const CandidateHand& hand, const UnseenCounts& unseen,
              const ShapeCounts& exposed, int skip) {
    int shapesShown = 0, topShape = -1;
    for (int s = 0; s < kShapeCounts; ++s)
        if (exposed[size_t(s)] != 0) {
            ++shapesShown;
            topShape = s;
        }

    std::array<int, kCountIndexes + 2> count{};  // two spare entries past index 48 for runs
    std::array<int64_t, kShapeCounts> shapeCount{};
    std::array<int, kMaxHandTiles> shapeOf{};
    shapeOf.fill(-1);
    for (int j = 0; j < kMaxHandTiles; ++j) {
        const int t = j == skip || hand[size_t(j)] == -1 ? 0 : CountIndexOf(hand[size_t(j)]);
        if (t == 0) continue;
        ++count[size_t(t)];
        ++shapeCount[size_t(t / 10)];
        shapeOf[size_t(j)] = t / 10;
    }

    int64_t bonus = 0;
    for (int j = 0; j < kMaxHandTiles; ++j) {
        const int s = shapeOf[size_t(j)];
        // One suit (or none shown yet) is worth collecting: each tile earns the number of
        // tiles of its shape.
        if (s >= 0 && (shapesShown == 0 || (shapesShown == 1 && s == topShape)))
            bonus += shapeCount[size_t(s)] * int64_t(w.shape);
    }

    int64_t score = 0;
    int pairs = 0, livePairs = 0;
    for (int t = 0; t < kCountIndexes; ++t)
        if (count[size_t(t)] == 2) {
            ++pairs;
            if (unseen[size_t(t)] > 0) ++livePairs;
        }
    if (pairs > 0) {
        // One pair serves as the eye: a dead one when there is one, else a live one.
        if (pairs == livePairs) --livePairs;
        score = int64_t(w.jiang) + (int64_t(w.jiang) + w.use) * livePairs;
    }
    for (int t = 0; t < kCountIndexes; ++t)
        if (count[size_t(t)] == 3) {
            count[size_t(t)] = 0;
            score += w.pnpn;
            if (unseen[size_t(t)] != 0) score += w.use;
        }
    // Runs and run starts never cross a suit (index shape × 10 is never used) and stop
    // before the honours.
    for (int s = 0; s <= 30; ++s)
        while (count[size_t(s)] > 0 && count[size_t(s) + 1] > 0 && count[size_t(s) + 2] > 0) {
            --count[size_t(s)], --count[size_t(s) + 1], --count[size_t(s) + 2];
            score += 2 * int64_t(w.shun);
        }
    for (int s = 0; s <= 30; ++s)
        while (count[size_t(s)] > 0 && count[size_t(s) + 1] > 0 && unseen[size_t(s) + 2] > 0) {
            --count[size_t(s)], --count[size_t(s) + 1];
            score += w.shun;
        }
    score += bonus;
    return int(std::clamp<int64_t>(score, INT_MIN, INT_MAX));
}

void CountTiles(const CMJTileAreas& tiles, const DiscardContext& ctx, UnseenCounts& unseen,
                ShapeCounts& exposed) {
    const int slots = std::clamp(ctx.handSlotCount, 0, kHandRecords);
    std::array<int32_t, kCountIndexes> seen{};
    auto see = [&](int code) {
        if (const int t = CountIndexOf(code)) ++seen[size_t(t)];
    };
    for (int view : ctx.chairViews) {
        if (view < 0 || view >= kViewCount) continue;
        for (const MJTileInfo& r : tiles.m_discards[view])
            if (r.bPresent == 1 && r.nFace == 1) see(r.nCode);
        for (int i = 0; i < slots; ++i) {
            const MJTileInfo& r = tiles.m_hands[view][i];
            if (r.bPresent == 1 && r.bHand == 0) see(r.nCode);
        }
    }
    exposed.fill(0);
    for (int i = 0; i < slots; ++i) {
        const MJTileInfo& r = tiles.m_hands[kOwnView][i];
        if (r.bPresent != 1) continue;
        if (r.bHand == 1) see(r.nCode);
        else if (const int t = CountIndexOf(r.nCode); r.bHand == 0 && t) ++exposed[size_t(t / 10)];
    }
    for (int t = 0; t < kCountIndexes; ++t) unseen[size_t(t)] = 4 - seen[size_t(t)];
}

int ChooseDiscard(const CMJTileAreas& tiles, const DiscardContext& ctx, const CMJTileTests& tests,
                  const AutoPlayWeights& w) {
    const int handTiles = std::clamp(ctx.maxHandTiles, 0, kMaxHandTiles);
    const MJTileInfo* own = tiles.m_hands[kOwnView];
    CandidateHand hand;
    hand.fill(-1);
    for (int i = 0; i < handTiles; ++i)
        if (own[i].bPresent == 1 && own[i].bHand == 1 && !tests.IsJokerTile(own[i].nCode))
            hand[size_t(i)] = own[i].nCode;
    UnseenCounts unseen;
    ShapeCounts exposed;
    CountTiles(tiles, ctx, unseen, exposed);

    // The first of the best scores wins. Only candidates compete: with weights that make
    // every score negative an empty record would otherwise outscore them all.
    int best = -1, bestScore = 0;
    for (int i = 0; i < kMaxHandTiles; ++i) {
        if (hand[size_t(i)] == -1) continue;
        const int score = ScoreHand(w, hand, unseen, exposed, i);
        if (best == -1 || score > bestScore) best = i, bestScore = score;
    }
    return best == -1 ? 0 : best;
}

}  // namespace hqlv::mahjong
