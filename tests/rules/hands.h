#pragma once
// Small helpers for building hands in the tests.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <random>
#include <vector>

#include "rules/tiles.h"

namespace hands {

using hqlv::rules::CountTable;

// The id of copy `copy` (0..3) of a kind; suits 1..29, honours 31..37, flowers 41..56.
inline int id(int kind, int copy = 0) {
    if (kind >= 41) return 135 + (kind - 40);
    if (kind >= 31) return 108 + copy * 7 + (kind - 31);
    return (kind / 10) * 36 + copy * 9 + (kind % 10 - 1);
}

// A count table from kinds (repeats allowed).
struct Counts {
    CountTable c{};
    Counts() = default;
    Counts(std::initializer_list<int> kinds) {
        for (int k : kinds) ++c[k];
    }
    int32_t& operator[](int k) { return c[k]; }
    operator const CountTable&() const { return c; }
    operator CountTable&() { return c; }
};

// Ids for kinds, choosing a fresh copy for each repeat.
inline std::vector<int> ids(std::initializer_list<int> kinds) {
    std::vector<int> out;
    int used[64] = {};
    for (int k : kinds) out.push_back(id(k, used[k]++));
    return out;
}

inline void countIds(const std::vector<int>& list, CountTable& c) {
    std::memset(c, 0, sizeof(CountTable));
    hqlv::rules::MJ_CountTiles(list.data(), static_cast<int32_t>(list.size()), c, 0);
}

// n distinct ids from 0..limit-1.
inline std::vector<int> drawIds(std::mt19937& rng, int n, int limit) {
    std::vector<int> all(static_cast<size_t>(limit));
    for (int k = 0; k < limit; ++k) all[static_cast<size_t>(k)] = k;
    std::shuffle(all.begin(), all.end(), rng);
    all.resize(static_cast<size_t>(n));
    return all;
}

}  // namespace hands
