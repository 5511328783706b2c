// Bytes become the requests of two people at a table with two server-driven players: the
// request id (of the mahjong set), the sender, the body and steps of the clock. After each
// step every tile must be in one place; an ended deal must settle to zero.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

#include "rules/common.h"
#include "tools/server/mahjong/deal.h"

using namespace hqlv::server::mj;

namespace {

constexpr int kIds[] = {229000, 229005, 229010, 229015, 229025, 229045, 229047,
                        229049, 229080, 221080, 229020, 229030, 229060, 229001};

void Put(std::vector<uint8_t>& b, size_t w, int32_t v) {
    if (w * 4 + 4 > b.size()) b.resize(w * 4 + 4, 0);
    std::memcpy(b.data() + w * 4, &v, 4);
}

int32_t Word(const std::vector<uint8_t>& b, size_t w) {
    int32_t v = 0;
    if (w * 4 + 4 <= b.size()) std::memcpy(&v, b.data() + w * 4, 4);
    return v;
}

void CheckEnd(const Deal& d) {
    if (!d.CheckTiles().empty()) std::abort();
    if (d.Over()) {
        const auto& r = d.Result();
        int64_t sum = 0;
        for (size_t c = 0; c < 4; ++c) sum += Word(r, 14 + c);
        if (sum != 0) std::abort();
    }
}

uint64_t g_now = 0;

// The deal of a seed, started at time 1000. Starting one (the shuffle, the deal and the five
// start records) took half of a run, and most runs repeat the seed of the input they were
// made from: each seed's started deal is kept (a bounded number of them), and a run plays a
// copy.
const Deal* Started(uint16_t seed) {
    static std::unordered_map<uint16_t, std::unique_ptr<Deal>> kept;
    auto it = kept.find(seed);
    if (it != kept.end()) return it->second.get();
    if (kept.size() >= 4096) kept.clear();
    hqlv::rules::SeedRandom(seed);
    g_now = 1000;
    DealOptions o;
    o.thinkMs = 500;
    auto deal = std::make_unique<Deal>(
        o, [] { return g_now; }, [](const Note&) {});
    deal->SetSeat(0, 100, false);
    deal->SetSeat(1, 101, false);
    deal->SetSeat(2, 102, true);
    deal->SetSeat(3, 103, true);
    if (!deal->Start()) deal.reset();
    return kept.emplace(seed, std::move(deal)).first->second.get();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const Deal* started = Started(static_cast<uint16_t>(data[0] | data[1] << 8));
    if (!started) return 0;
    Deal deal(*started);
    // Play draws nothing from the generator now; a fixed seed keeps each run repeatable if
    // it ever does.
    hqlv::rules::SeedRandom(data[0] | data[1] << 8);
    g_now = 1000;
    uint64_t& now = g_now;
    size_t pos = 2;
    while (pos + 4 <= size) {
        const uint8_t how = data[pos], who = data[pos + 1], step = data[pos + 2];
        const size_t len = data[pos + 3];
        pos += 4;
        const int id = kIds[how % (sizeof kIds / sizeof kIds[0])];
        const int actor = who & 3;
        std::vector<uint8_t> body(data + pos, data + pos + std::min(len, size - pos));
        pos += std::min(len, size - pos);
        if (how & 0x80) {
            // A plausible body: the own head, a held tile, the deal's own words.
            body.resize(std::max<size_t>(body.size(), 108), 0);
            Put(body, 3, (who & 4) ? deal.Turn() : actor);
            int32_t held[32];
            const int32_t n = deal.Table().ListHeld(actor, held, 32);
            if (n > 0) {
                Put(body, 26, held[who % n]);
                Put(body, 5, held[(who >> 3) % n]);
            }
        }
        // The tiles are checked once a step, after the clock: a request that misplaced one
        // leaves it so through the tick, and the check walks every tile (a third of the run
        // when done twice a step).
        deal.Request(actor, id, body);
        now += static_cast<uint64_t>(step) * 200;
        deal.Tick();
        CheckEnd(deal);
        if (!deal.Running()) break;
    }
    return 0;
}
