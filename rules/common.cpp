#include "rules/common.h"

#include <chrono>
#include <cstring>
#include <ctime>
#include <mutex>

namespace hqlv::rules {

namespace {

struct Generator {
    std::mutex lock;
    RulesClock clock;
    bool seeded = false;
    uint64_t state = 0;
};

Generator& generator() {
    static Generator g;
    return g;
}

uint32_t systemTick() {
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

int64_t systemCalendarSeconds() {
    return static_cast<int64_t>(std::time(nullptr));
}

// splitmix64: a small generator of good quality; the draw keeps 15 bits.
int32_t drawLocked(Generator& g) {
    if (!g.seeded) {
        int64_t now = g.clock.calendarSeconds ? g.clock.calendarSeconds() : systemCalendarSeconds();
        g.state = static_cast<uint64_t>(now);
        g.seeded = true;
    }
    uint64_t z = (g.state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<int32_t>(z >> 49);  // 0..32767
}

// Signed remainder of a draw; no division by zero.
int32_t remainder(int32_t draw, int64_t n) {
    if (n == 0) return 0;
    return static_cast<int32_t>(draw % n);
}

}  // namespace

void SetRulesClock(RulesClock clock) {
    Generator& g = generator();
    std::lock_guard<std::mutex> hold(g.lock);
    g.clock = std::move(clock);
}

uint32_t RulesTickMs() {
    Generator& g = generator();
    std::lock_guard<std::mutex> hold(g.lock);
    return g.clock.tickMs ? g.clock.tickMs() : systemTick();
}

void SeedRandom(uint32_t seed) {
    Generator& g = generator();
    std::lock_guard<std::mutex> hold(g.lock);
    g.state = seed;
    g.seeded = true;
}

void ResetRandom() {
    Generator& g = generator();
    std::lock_guard<std::mutex> hold(g.lock);
    g.seeded = false;
}

int32_t RandomDraw() {
    Generator& g = generator();
    std::lock_guard<std::mutex> hold(g.lock);
    return drawLocked(g);
}

int32_t RandomBelow(int32_t n) {
    return remainder(RandomDraw(), n);
}

int32_t RandomInRange(int32_t low, int32_t high) {
    if (high == low) return high;
    int64_t width = static_cast<int64_t>(high) - low + 1;
    return static_cast<int32_t>(low + remainder(RandomDraw(), width));
}

int32_t RollTwoDice(int32_t* die1, int32_t* die2, int32_t) {
    Generator& g = generator();
    std::lock_guard<std::mutex> hold(g.lock);
    int32_t a = drawLocked(g) % 6 + 1;
    int32_t b = drawLocked(g) % 6 + 1;
    if (die1) *die1 = a;
    if (die2) *die2 = b;
    return 1;
}

int32_t RandomPermutation(std::vector<int32_t>& array, int32_t n, int32_t) {
    if (n < 1) return 1;
    std::vector<uint8_t> taken(static_cast<size_t>(n), 0);
    Generator& g = generator();
    std::lock_guard<std::mutex> hold(g.lock);
    for (int32_t k = 0; k < n;) {
        int32_t draw = drawLocked(g);
        // A 15-bit draw cannot reach values above 32767: join two draws for longer lists.
        int64_t wide = n > 32768 ? (static_cast<int64_t>(draw) << 15 | drawLocked(g)) : draw;
        int32_t r = static_cast<int32_t>(wide % n);
        if (taken[static_cast<size_t>(r)]) continue;
        taken[static_cast<size_t>(r)] = 1;
        if (static_cast<size_t>(k) >= array.size()) array.resize(static_cast<size_t>(k));
        array.insert(array.begin() + k, r);
        ++k;
    }
    return 1;
}

int32_t ElapsedMinSec(uint32_t startTick, int32_t* seconds, int32_t* minutes, int32_t capSeconds) {
    if (startTick == 0) {
        if (seconds) *seconds = 0;
        if (minutes) *minutes = 0;
        return 0;
    }
    uint32_t now;
    {
        Generator& g = generator();
        std::lock_guard<std::mutex> hold(g.lock);
        now = g.clock.tickMs ? g.clock.tickMs() : systemTick();
    }
    int32_t elapsed = static_cast<int32_t>((now - startTick) / 1000u);
    int32_t s = elapsed > capSeconds ? 0 : elapsed;
    if (seconds) *seconds = s;
    if (minutes) *minutes = s / 60;
    return 1;
}

int32_t LevelFromScore(int32_t score, int32_t factor) {
    if (score < 1) return 0;
    for (int32_t level = 19; level > 0; --level)
        if (static_cast<int64_t>(score) >=
            static_cast<int64_t>(LevelThresholds[static_cast<size_t>(level)]) * factor)
            return level;
    return 0;
}

namespace {
// The smallest entry; the first one when count < 2; fallback when there is none.
int32_t smallest(const int32_t* list, int32_t count, int32_t fallback) {
    if (!list || count < 1) return fallback;
    int32_t m = list[0];
    for (int32_t k = 1; k < count; ++k)
        if (list[k] < m) m = list[k];
    return m;
}
}  // namespace

int32_t LevelValueFromMin(const int32_t* list, int32_t count, int32_t factor) {
    int32_t level = LevelFromScore(smallest(list, count, 0), factor);
    return LevelValues[static_cast<size_t>(level)];
}

int32_t IntLog2(int32_t v) {
    int32_t n = 0;
    while (v > 1) {
        v >>= 1;
        ++n;
    }
    return n;
}

int32_t Pow2(int32_t n) {
    if (n < 1) return 1;
    if (n > 31) return 0;
    return static_cast<int32_t>(1u << n);
}

int32_t BaseStakeFromMin(const int32_t* list, int32_t x, int32_t count) {
    int32_t m = smallest(list, count, 100);
    if (m <= 100) m = 100;
    int32_t p = Pow2(IntLog2(m / 100));
    return static_cast<int32_t>(static_cast<uint32_t>(p) * static_cast<uint32_t>(x / 10 + 1));
}

int32_t LookupNameById(const UserNameMap& map, uint32_t key, char* dest, size_t destSize) {
    if (!dest || destSize == 0) return 0;
    auto it = map.find(key);
    if (it == map.end()) return 0;
    const char* name = it->second.name;
    size_t len = strnlen(name, sizeof(it->second.name));
    if (len >= destSize) len = destSize - 1;
    std::memcpy(dest, name, len);
    dest[len] = '\0';
    return 1;
}

void FillMinusOne(int32_t* list, int32_t count) {
    if (!list) return;
    for (int32_t k = 0; k < count; ++k) list[k] = -1;
}

int32_t CountValid(const int32_t* list, int32_t count) {
    if (!list) return 0;
    int32_t n = 0;
    for (int32_t k = 0; k < count; ++k)
        if (list[k] >= 0) ++n;
    return n;
}

int32_t SumInts(const int32_t* list, int32_t count) {
    if (!list) return 0;
    uint32_t sum = 0;
    for (int32_t k = 0; k < count; ++k) sum += static_cast<uint32_t>(list[k]);
    return static_cast<int32_t>(sum);
}

int32_t AllDistinct(const int32_t* list, int32_t count) {
    if (!list) return 1;
    for (int32_t i = 0; i < count; ++i) {
        if (list[i] == -1) continue;
        for (int32_t j = i + 1; j < count; ++j)
            if (list[j] == list[i]) return 0;
    }
    return 1;
}

int32_t ContainsValue(const int32_t* list, int32_t count, int32_t value) {
    if (!list || value < 0) return 0;
    for (int32_t k = 0; k < count; ++k)
        if (list[k] != -1 && list[k] == value) return 1;
    return 0;
}

int32_t ContainsAll(const int32_t* listA, int32_t countA, const int32_t* listB, int32_t countB) {
    if (!listB || countB < 1) return 1;
    for (int32_t k = 0; k < countB; ++k) {
        if (listB[k] == -1) continue;
        if (!ContainsValue(listA, countA, listB[k])) return 0;
    }
    return 1;
}

int32_t SameSet(const int32_t* listA, int32_t countA, const int32_t* listB, int32_t countB) {
    if (countA != countB) return 0;
    return (ContainsAll(listA, countA, listB, countB) && ContainsAll(listB, countB, listA, countA))
               ? 1
               : 0;
}

int32_t AllHaveFlags(const int32_t* flagWords, int32_t count, int32_t mask) {
    if (!flagWords) return 1;
    for (int32_t k = 0; k < count; ++k)
        if ((flagWords[k] & mask) != mask) return 0;
    return 1;
}

int32_t AnyHasFlags(const int32_t* flagWords, int32_t count, int32_t mask) {
    if (!flagWords) return 0;
    for (int32_t k = 0; k < count; ++k)
        if ((flagWords[k] & mask) == mask) return 1;
    return 0;
}

int32_t AllHaveFlag2(const int32_t* w, int32_t n) {
    return AllHaveFlags(w, n, 0x2);
}
int32_t AllHaveFlag4(const int32_t* w, int32_t n) {
    return AllHaveFlags(w, n, 0x4);
}
int32_t AllHaveFlag4000(const int32_t* w, int32_t n) {
    return AllHaveFlags(w, n, 0x4000);
}

}  // namespace hqlv::rules
