#include "fan_reference.h"

#include <algorithm>

namespace fanref {

namespace {

struct Split {
    int runs = 0, triplets = 0, fours = 0, pairs = 0;
};

// Every way to cut the counts into runs, triplets and natural fours (no pair).
void meldSplits(Counts& c, Split cur, std::vector<Split>& out) {
    int k = 1;
    while (k < 64 && c[k] == 0) ++k;
    if (k == 64) {
        out.push_back(cur);
        return;
    }
    if (c[k] == 4) {
        c[k] = 0;
        Split s = cur;
        ++s.fours;
        meldSplits(c, s, out);
        c[k] = 4;
    }
    if (c[k] >= 3) {
        c[k] -= 3;
        Split s = cur;
        ++s.triplets;
        meldSplits(c, s, out);
        c[k] += 3;
    }
    const bool suit = k < 30 && k % 10 >= 1 && k % 10 <= 7;
    if (suit && c[k + 1] > 0 && c[k + 2] > 0) {
        --c[k], --c[k + 1], --c[k + 2];
        Split s = cur;
        ++s.runs;
        meldSplits(c, s, out);
        ++c[k], ++c[k + 1], ++c[k + 2];
    }
}

int shapeOf(int kind) {
    return kind / 10;
}

struct Fans {
    int total = 0;
    void add(int v) { total += v; }
};

int finish(int total) {
    return total < 8 ? 3 : total;
}

// The fans that do not depend on the split: suit, kong, last tile, heavenly, concealed.
int commonFans(const Context& ctx, const Counts& all) {
    const bool self = (ctx.mask & 2) != 0;
    int total = 0;
    // One shape over the concealed tiles (with the winning tile) and the melds.
    bool shapes[6] = {};
    for (int k = 1; k < 64; ++k)
        if (all[k]) shapes[shapeOf(k)] = true;
    for (const Meld& m : ctx.melds) shapes[shapeOf(m.kind0)] = true;
    int n = 0, which = -1;
    for (int s = 0; s < 6; ++s)
        if (shapes[s]) ++n, which = s;
    if (n == 1 && which <= 2)
        total += self ? 16 : 18;
    else if (n == 1 && which == 3)
        total += self ? 16 : 18;
    bool kongs = ctx.flowersOut;
    for (const Meld& m : ctx.melds)
        kongs |= m.kind == kExposedKong || m.kind == kConcealedKong || m.kind == kAddedKong;
    if (ctx.robbing)
        total += 9;
    else if (kongs && ctx.gangDraw)
        total += 16;
    else if ((ctx.mask & 1) && ctx.kongFlag)
        total += 18;
    if (self && ctx.wallUsedUp)
        total += 8;
    else if ((ctx.mask & 1) && ctx.wallUsedUp)
        total += 9;
    if (ctx.banker && ctx.tableUntouched && !ctx.flowersOut)
        total += 20;
    else if (!ctx.banker && ctx.chairUntouched &&
             ((ctx.draws == 0 && (ctx.mask & 1)) || (ctx.draws == 1 && self)))
        total += self ? 20 : 24;
    bool open = false;
    for (const Meld& m : ctx.melds) open |= m.kind != kConcealedKong;
    if (self && !open) total += 1;
    return total;
}

int singleWait(const Context& ctx) {
    if (!(ctx.mask & 1)) return 0;
    int held = 0;
    for (int k = 1; k < 64; ++k) held += ctx.concealed[k];
    bool concealedKong = false;
    for (const Meld& m : ctx.melds) concealedKong |= m.kind == kConcealedKong;
    if (held != 1 || concealedKong) return 0;
    return ctx.discarderSingle ? 18 : 9;
}

}  // namespace

Score score(const Context& ctx) {
    Counts all = ctx.concealed;
    ++all[ctx.winKind];
    const bool self = (ctx.mask & 2) != 0;
    // With a self-drawn win the winning tile is already among the concealed tiles.
    if (self) --all[ctx.winKind];
    int tiles = 0;
    for (int k = 1; k < 64; ++k) tiles += all[k];
    Score out;
    int best = 0;
    bool chow = false;
    for (const Meld& m : ctx.melds) chow |= m.kind == kChow;
    const int common = commonFans(ctx, all) + singleWait(ctx);
    // Ordinary splits: choose the pair, cut the rest into melds.
    for (int p = 1; p < 64; ++p) {
        if (all[p] < 2) continue;
        Counts rest = all;
        rest[p] -= 2;
        std::vector<Split> splits;
        meldSplits(rest, Split{}, splits);
        for (const Split& s : splits) {
            out.wins = true;
            int total = common;
            if (!chow && s.runs == 0) total += self ? 8 : 9;
            best = std::max(best, finish(total));
        }
    }
    // Seven pairs: fourteen concealed tiles in pairs, a four counting as two pairs.
    if (tiles == 14 && ctx.melds.empty()) {
        bool even = true;
        int fours = 0;
        for (int k = 1; k < 64; ++k) {
            even &= all[k] % 2 == 0;
            fours += all[k] == 4;
        }
        if (even) {
            out.wins = true;
            static const int kValue[4] = {8, 16, 24, 32};
            const int v = kValue[std::min(fours, 3)];
            const int fan = self ? v : v * 9 / 8;
            best = std::max(best, finish(common + fan));
        }
    }
    out.points = out.wins ? best : 0;
    return out;
}

}  // namespace fanref
