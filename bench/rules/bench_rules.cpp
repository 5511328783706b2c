// Speed of the win check, the wait scan and the chow check, over corpora of hands built here.
// Each benchmark reports the time per check ("per_check").
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "rules/claims.h"
#include "rules/hu.h"
#include "rules/waits.h"

using namespace hqlv::rules;

namespace {

struct Hand {
    CountTable counts;
    int32_t winning;
    int32_t jokerA;
};

int idOf(int kind, int copy) {
    if (kind >= 31) return 108 + copy * 7 + (kind - 31);
    return (kind / 10) * 36 + copy * 9 + (kind % 10 - 1);
}

int kindAt(int n) {
    return n < 27 ? (n / 9) * 10 + n % 9 + 1 : 31 + (n - 27);
}

Hand fromIds(const std::vector<int>& ids, int jokerA) {
    Hand h{};
    MJ_CountTiles(ids.data(), static_cast<int32_t>(ids.size()) - 1, h.counts, 0);
    h.winning = ids.back();
    h.jokerA = jokerA;
    return h;
}

// 14 distinct random tiles of the 136.
std::vector<Hand> randomHands(int n) {
    std::mt19937 rng(1);
    std::vector<int> all(136);
    for (int k = 0; k < 136; ++k) all[static_cast<size_t>(k)] = k;
    std::vector<Hand> out;
    for (int i = 0; i < n; ++i) {
        std::shuffle(all.begin(), all.end(), rng);
        out.push_back(fromIds(std::vector<int>(all.begin(), all.begin() + 14), -1));
    }
    return out;
}

// Four random melds and a pair, with `jokers` of its tiles turned into jokers (kind 31 is the
// joker kind; the melds avoid it).
std::vector<Hand> winningHands(int n, int jokers) {
    std::mt19937 rng(2 + static_cast<unsigned>(jokers));
    std::uniform_int_distribution<int> kind(0, 32), coin(0, 1);
    std::vector<Hand> out;
    while (static_cast<int>(out.size()) < n) {
        int used[64] = {};
        std::vector<int> kinds;
        auto add = [&](int k) { kinds.push_back(k), ++used[k]; };
        while (kinds.size() < 12) {
            int k = kindAt(kind(rng) + (kind(rng) >= 27 ? 1 : 0));
            if (k == 31) continue;
            if (coin(rng) && k < 30 && k % 10 <= 7 && used[k] < 4 && used[k + 1] < 4 &&
                used[k + 2] < 4)
                add(k), add(k + 1), add(k + 2);
            else if (used[k] <= 1)
                add(k), add(k), add(k);
        }
        int p = kindAt(kind(rng));
        if (p == 31 || used[p] > 2) continue;
        add(p), add(p);
        std::shuffle(kinds.begin(), kinds.end(), rng);
        int copies[64] = {};
        std::vector<int> ids;
        for (size_t k = 0; k < kinds.size(); ++k)
            ids.push_back(static_cast<int>(k) < jokers ? idOf(31, copies[31]++)
                                                       : idOf(kinds[k], copies[kinds[k]]++));
        std::shuffle(ids.begin(), ids.end(), rng);
        out.push_back(fromIds(ids, jokers ? 108 : -1));
    }
    return out;
}

// Hands with many splits to try: the nine gates (1112345678999 plus each tile of its suit),
// 1122334455667 plus a tile, and runs stacked over triplets.
std::vector<Hand> splitHeavyHands() {
    std::vector<Hand> out;
    const std::vector<std::vector<int>> bases = {
        {1, 1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 9, 9},
        {1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7},
        {2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 6, 7},
        {1, 2, 3, 3, 4, 5, 5, 6, 7, 7, 8, 9, 9},
    };
    for (const auto& base : bases)
        for (int extra = 1; extra <= 9; ++extra) {
            int copies[64] = {};
            std::vector<int> ids;
            for (int k : base) ids.push_back(idOf(k, copies[k]++));
            if (copies[extra] >= 4) continue;
            ids.push_back(idOf(extra, copies[extra]));
            out.push_back(fromIds(ids, -1));
        }
    return out;
}

void runChecks(benchmark::State& state, const std::vector<Hand>& hands, int flags) {
    HuResult r;
    size_t i = 0;
    int64_t wins = 0;
    for (auto _ : state) {
        const Hand& h = hands[i];
        wins += MJ_CheckHu(h.counts, h.winning, h.jokerA, -1, flags, 0, &r, 0) != 0;
        benchmark::DoNotOptimize(r.unitCount);
        if (++i == hands.size()) i = 0;
    }
    state.counters["per_check"] =
        benchmark::Counter(static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["win_share"] =
        static_cast<double>(wins) / static_cast<double>(std::max<int64_t>(1, state.iterations()));
}

void BM_WinCheckRandom(benchmark::State& state) {
    static const auto hands = randomHands(4096);
    runChecks(state, hands, 0);
}
BENCHMARK(BM_WinCheckRandom);

void BM_WinCheckWinning(benchmark::State& state) {
    static const auto hands = winningHands(4096, 0);
    runChecks(state, hands, 0);
}
BENCHMARK(BM_WinCheckWinning);

void BM_WinCheckSplitHeavy(benchmark::State& state) {
    static const auto hands = splitHeavyHands();
    runChecks(state, hands, 0);
}
BENCHMARK(BM_WinCheckSplitHeavy);

void BM_WinCheckJokers(benchmark::State& state) {
    const int jokers = static_cast<int>(state.range(0));
    static std::vector<Hand> corpora[5];
    if (corpora[jokers].empty()) corpora[jokers] = winningHands(2048, jokers);
    runChecks(state, corpora[jokers], kTileFlagJokers);
}
BENCHMARK(BM_WinCheckJokers)->DenseRange(0, 4);

// All 34 candidate winning tiles of a 13-tile hand: the win check for each, and the wait
// classification for those that win.
void BM_Waits34(benchmark::State& state) {
    static const auto hands = splitHeavyHands();
    HuResult r;
    size_t i = 0;
    int64_t waits = 0;
    for (auto _ : state) {
        const Hand& h = hands[i];
        for (int n = 0; n < 34; ++n) {
            const int tile = idOf(kindAt(n), 3);
            if (MJ_CheckHu(h.counts, tile, -1, -1, 0, 0, &r, 0))
                waits += MJ_IsSpecialHu(h.counts, tile, -1, -1, 0, 0, &r, 0, 0) != 0;
        }
        if (++i == hands.size()) i = 0;
    }
    benchmark::DoNotOptimize(waits);
    state.counters["per_hand"] =
        benchmark::Counter(static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Waits34);

// The table scene's chow check on a 32-slot list.
void BM_CanChi(benchmark::State& state) {
    int32_t hand[32], out[32];
    std::fill(std::begin(hand), std::end(hand), -1);
    const int kinds[] = {2, 3, 3, 4, 5, 6, 6, 7, 12, 13, 14, 31, 31};
    int copies[64] = {};
    for (int k = 0; k < 13; ++k) hand[k] = idOf(kinds[k], copies[kinds[k]]++);
    for (auto _ : state) {
        benchmark::DoNotOptimize(MJ_CanChi(hand, 32, idOf(5, 3), -1, -1, 0, out, 32));
        benchmark::DoNotOptimize(out[0]);
    }
}
BENCHMARK(BM_CanChi);

}  // namespace

BENCHMARK_MAIN();
