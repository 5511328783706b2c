#pragma once
// The steps of the server-game harness, shared with the program that writes its seeds: the
// deal a run starts from and how a step's bytes become a request. A step is four bytes (the
// request, the sender, the clock's advance in 200 ms units, the body's length) and the body.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "rules/common.h"
#include "tools/server/mahjong/deal.h"

namespace gamesteps {

using namespace hqlv::server::mj;

inline constexpr int kIds[] = {229000, 229005, 229010, 229015, 229025, 229045, 229047,
                               229049, 229080, 221080, 229020, 229030, 229060, 229001};
inline constexpr size_t kIdCount = sizeof kIds / sizeof kIds[0];

inline void Put(std::vector<uint8_t>& b, size_t w, int32_t v) {
    if (w * 4 + 4 > b.size()) b.resize(w * 4 + 4, 0);
    std::memcpy(b.data() + w * 4, &v, 4);
}

// The clock every harness deal reads.
inline uint64_t g_now = 0;

// Two people (chairs 0 and 1) and two server-driven players, the deal of `seed` started at
// time 1000; false when it cannot start.
inline bool StartDeal(Deal& deal, uint16_t seed) {
    hqlv::rules::SeedRandom(seed);
    g_now = 1000;
    deal.SetSeat(0, 100, false);
    deal.SetSeat(1, 101, false);
    deal.SetSeat(2, 102, true);
    deal.SetSeat(3, 103, true);
    return deal.Start();
}

inline DealOptions Options() {
    DealOptions o;
    o.thinkMs = 500;
    return o;
}

// The request of a step: its id, its sender and its body. With the high bit of `how`, a
// plausible body: at least 108 bytes, the own head (or the chair whose turn it is), and held
// tiles where requests name them.
struct Step {
    int id;
    int actor;
    std::vector<uint8_t> body;
};

inline Step Read(const Deal& deal, uint8_t how, uint8_t who, const uint8_t* raw, size_t len) {
    Step s{kIds[how % kIdCount], who & 3, std::vector<uint8_t>(raw, raw + len)};
    if (how & 0x80) {
        s.body.resize(std::max<size_t>(s.body.size(), 108), 0);
        Put(s.body, 3, (who & 4) ? deal.Turn() : s.actor);
        int32_t held[32];
        const int32_t n = deal.Table().ListHeld(s.actor, held, 32);
        if (n > 0) {
            Put(s.body, 26, held[who % n]);
            Put(s.body, 5, held[(who >> 3) % n]);
        }
    }
    return s;
}

}  // namespace gamesteps
