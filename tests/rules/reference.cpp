#include "reference.h"

#include <algorithm>
#include <map>
#include <string>

namespace ref {

int kindOf(int id) {
    // Suits: 36 ids each, four copies of nine values laid out copy after copy.
    for (int suit = 0; suit < 3; ++suit)
        for (int copy = 0; copy < 4; ++copy)
            for (int value = 1; value <= 9; ++value)
                if (id == suit * 36 + copy * 9 + value - 1) return suit * 10 + value;
    for (int copy = 0; copy < 4; ++copy)
        for (int value = 1; value <= 7; ++value)
            if (id == 108 + copy * 7 + value - 1) return 30 + value;
    if (id >= 136 && id <= 151) return 40 + (id - 135);
    return 0;
}

bool isSuitKind(int k) {
    return k >= 1 && k <= 29 && k % 10 != 0;
}
bool isHonourKind(int k) {
    return k >= 31 && k <= 37;
}
bool isFlowerKind(int k) {
    return k >= 40 && k < 64;
}

namespace {

struct Search {
    bool honourRuns;
    std::map<std::string, bool> memo;

    static std::string key(const Counts& c, int jokers, bool pairDone) {
        std::string k(c.begin(), c.end());
        k.push_back(static_cast<char>(jokers));
        k.push_back(pairDone ? 1 : 0);
        return k;
    }

    // Tries a unit: `real` kinds taken from c, `jokers` wild places.
    bool tryUnit(Counts& c, int& jokers, bool pairDone, std::vector<int> real, int wild,
                 bool makesPair) {
        if (wild > jokers) return false;
        if (makesPair && pairDone) return false;
        bool ok = true;
        for (int k : real)
            if (--c[static_cast<size_t>(k)] < 0) ok = false;
        bool won = false;
        if (ok) {
            jokers -= wild;
            won = run(c, jokers, pairDone || makesPair);
            jokers += wild;
        }
        for (int k : real) ++c[static_cast<size_t>(k)];
        return won;
    }

    bool run(Counts& c, int jokers, bool pairDone) {
        int k = 1;
        while (k < 64 && c[static_cast<size_t>(k)] == 0) ++k;
        if (k == 64) {
            if (jokers == 0) return pairDone;
            if (jokers >= 3 && tryUnit(c, jokers, pairDone, {}, 3, false)) return true;
            return jokers >= 2 && tryUnit(c, jokers, pairDone, {}, 2, true);
        }
        std::string m = key(c, jokers, pairDone);
        auto it = memo.find(m);
        if (it != memo.end()) return it->second;
        bool won = false;
        // Same-kind units holding k.
        if (c[static_cast<size_t>(k)] >= 4)
            won = tryUnit(c, jokers, pairDone, {k, k, k, k}, 0, false);
        for (int r = 1; r <= 3 && !won; ++r)
            won = tryUnit(c, jokers, pairDone, std::vector<int>(static_cast<size_t>(r), k), 3 - r,
                          false);
        for (int r = 1; r <= 2 && !won; ++r)
            won = tryUnit(c, jokers, pairDone, std::vector<int>(static_cast<size_t>(r), k), 2 - r,
                          true);
        // Runs holding k at any place, any one other place possibly a joker.
        std::vector<std::array<int, 3>> runs;
        if (isSuitKind(k)) {
            for (int start = k - 2; start <= k; ++start)
                if (isSuitKind(start) && isSuitKind(start + 2) && start / 10 == (start + 2) / 10)
                    runs.push_back({start, start + 1, start + 2});
        } else if (isHonourKind(k) && honourRuns) {
            const std::vector<int> group =
                k <= 34 ? std::vector<int>{31, 32, 33, 34} : std::vector<int>{35, 36, 37};
            for (size_t a = 0; a < group.size(); ++a)
                for (size_t b = a + 1; b < group.size(); ++b)
                    for (size_t d = b + 1; d < group.size(); ++d)
                        if (group[a] == k || group[b] == k || group[d] == k)
                            runs.push_back({group[a], group[b], group[d]});
        }
        for (const auto& r : runs) {
            if (won) break;
            won = tryUnit(c, jokers, pairDone, {r[0], r[1], r[2]}, 0, false);
            for (int wildAt = 0; wildAt < 3 && !won; ++wildAt) {
                if (r[static_cast<size_t>(wildAt)] == k) continue;
                std::vector<int> real;
                for (int p = 0; p < 3; ++p)
                    if (p != wildAt) real.push_back(r[static_cast<size_t>(p)]);
                won = tryUnit(c, jokers, pairDone, real, 1, false);
            }
        }
        memo[m] = won;
        return won;
    }
};

}  // namespace

bool splits(const Counts& c, int jokers, bool honourRuns, bool pairDone) {
    Search s{honourRuns, {}};
    Counts copy = c;
    return s.run(copy, jokers, pairDone);
}

Special specials(const Counts& c, int jokers, int rule, bool noJokersInSevenHonours) {
    Special s{};
    int total = jokers, odd = 0, missingHonours = 0;
    bool allHonours = true, all258 = true, single = true, unrelated = true;
    for (int k = 1; k < 64; ++k) {
        int n = c[static_cast<size_t>(k)];
        total += n;
        if (n % 2 == 1) ++odd;
        if (n >= 2) single = false;
        if (n > 0 && !isHonourKind(k)) allHonours = false;
        if (n > 0 && !(isSuitKind(k) && (k % 10 == 2 || k % 10 == 5 || k % 10 == 8)))
            all258 = false;
        if (n > 0 && isSuitKind(k))
            for (int d = 1; d <= 2; ++d)
                if (isSuitKind(k + d) && (k + d) / 10 == k / 10 &&
                    c[static_cast<size_t>(k + d)] > 0)
                    unrelated = false;
    }
    for (int k = 31; k <= 37; ++k)
        if (c[static_cast<size_t>(k)] == 0) ++missingHonours;
    s.sevenPairs = (rule & 0x10) && (total == 12 || total == 14) && odd <= jokers;
    s.thirteen = (rule & 0x20) && total == 14 && single && unrelated;
    s.sevenHonours = (rule & 0x40) && missingHonours <= (noJokersInSevenHonours ? 0 : jokers);
    s.allHonours = (rule & 0x80) && total > 0 && allHonours;
    s.all258 = (rule & 0x1000000) && total > 0 && all258;
    return s;
}

namespace {

bool wins(const Counts& c, int jokers, int flags, int rule, int mask) {
    for (int k = 40; k < 64; ++k)
        if (c[static_cast<size_t>(k)] > 0) return false;
    Special s = specials(c, jokers, rule, flags & 0x400000);
    int forced = mask & 0x10000F0;
    if (forced) {
        if (forced & 0x10) return s.sevenPairs;
        if (forced & 0x20) return s.thirteen;
        if (forced & 0x40) return s.sevenHonours;
        if (forced & 0x80) return s.allHonours;
        return s.all258;
    }
    if (s.sevenPairs || s.thirteen || s.sevenHonours || s.allHonours || s.all258) return true;
    return splits(c, jokers, flags & 0x20, false);
}

}  // namespace

bool checkHu(const std::vector<int>& hand, int winning, int jokerA, int jokerB, int flags, int rule,
             int mask) {
    if ((flags & 0x200) && (mask & 1)) return false;
    if ((flags & 0x400) && (mask & 4)) return false;
    Counts all{};
    for (int id : hand)
        if (kindOf(id)) ++all[static_cast<size_t>(kindOf(id))];
    if (winning != -1) {
        if (!kindOf(winning)) return false;
        ++all[static_cast<size_t>(kindOf(winning))];
    }
    const bool jokersOn = (flags & 1) && jokerA >= 0;
    if (!(flags & 1)) return wins(all, 0, flags, rule, mask);
    const int ka = jokersOn ? kindOf(jokerA) : 0;
    const int kb = jokersOn && jokerB >= 0 ? kindOf(jokerB) : 0;
    auto isJokerKind = [&](int k) { return k != 0 && (k == ka || k == kb); };
    Counts wild = all;
    int pool = 0;
    for (int k : {ka, kb})
        if (k) pool += wild[static_cast<size_t>(k)], wild[static_cast<size_t>(k)] = 0;
    int held = 0;
    for (int id : hand)
        if (isJokerKind(kindOf(id))) ++held;
    const bool restricted = mask & 5;
    const bool natural = flags & 8;
    if (!isJokerKind(winning == -1 ? 0 : kindOf(winning))) {
        if (natural && held >= 1 && wins(all, 0, flags, rule, mask)) return true;
        return wins(wild, pool, flags, rule, mask);
    }
    if (!natural) return !restricted && wins(wild, pool, flags, rule, mask);
    if (wins(all, 0, flags, rule, mask)) return true;
    return !restricted && wins(wild, pool, flags, rule, mask);
}

bool isSplitOf(const hqlv::rules::HuResult& r, const Counts& c, int poolA, int poolB, int kindA,
               int kindB, bool honourRuns) {
    using namespace hqlv::rules;
    Counts used{};
    int jokersA = 0, jokersB = 0, pairs = 0;
    if (r.unitCount < 0 || r.unitCount > kMaxHuUnits) return false;
    for (int u = 0; u < r.unitCount; ++u) {
        const HuUnit& unit = r.units[u];
        std::vector<int> real;
        int wild = 0, places = 0;
        for (int t : unit.tiles) {
            if (t == 0) continue;
            ++places;
            if (t > 0) {
                real.push_back(t);
                ++used[static_cast<size_t>(t)];
            } else {
                ++wild;
                if (-t == kindA && (kindA != kindB || jokersA < poolA))
                    ++jokersA;
                else if (-t == kindB)
                    ++jokersB;
                else
                    return false;
            }
        }
        std::sort(real.begin(), real.end());
        bool same = real.empty() || real.front() == real.back();
        switch (unit.type) {
            case kUnitFour:
                if (places != 4 || wild != 0 || !same) return false;
                break;
            case kUnitTriplet:
                if (places != 3 || !same) return false;
                break;
            case kUnitPair:
                if (places != 2 || !same) return false;
                ++pairs;
                break;
            case kUnitRun: {
                if (places != 3 || wild > 1) return false;
                if (std::adjacent_find(real.begin(), real.end()) != real.end()) return false;
                bool ok = false;
                if (isSuitKind(real.front()))
                    ok = real.back() - real.front() <= 2 && isSuitKind(real.back()) &&
                         real.front() / 10 == real.back() / 10;
                else if (honourRuns && isHonourKind(real.front()))
                    ok = (real.back() <= 34) || (real.front() >= 35);
                if (!ok) return false;
                break;
            }
            default:
                return false;
        }
    }
    if (used != c || jokersA + jokersB != poolA + poolB || pairs != 1) return false;
    return kindA == kindB || (jokersA == poolA && jokersB == poolB);
}

}  // namespace ref
