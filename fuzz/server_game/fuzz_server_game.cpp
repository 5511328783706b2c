// Bytes become the requests of two people at a table with two server-driven players: the
// request id (of the mahjong set), the sender, the body and steps of the clock. After each
// step every tile must be in one place; an ended deal must settle to zero.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

#include "fuzz/temp_logs.h"
#include "game_steps.h"
#include "netlib/log.h"
#include "rules/common.h"
#include "tools/server/mahjong/deal.h"

using namespace hqlv::server::mj;

namespace {

using gamesteps::g_now;

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

// The deal of a seed, started at time 1000. Starting one (the shuffle, the deal and the five
// start records) took half of a run, and most runs repeat the seed of the input they were
// made from: each seed's started deal is kept (a bounded number of them), and a run plays a
// copy.
const Deal* Started(uint16_t seed) {
    static std::unordered_map<uint16_t, std::unique_ptr<Deal>> kept;
    auto it = kept.find(seed);
    if (it != kept.end()) return it->second.get();
    if (kept.size() >= 4096) kept.clear();
    auto deal = std::make_unique<Deal>(
        gamesteps::Options(), [] { return g_now; }, [](const Note&) {});
    if (!gamesteps::StartDeal(*deal, seed)) deal.reset();
    return kept.emplace(seed, std::move(deal)).first->second.get();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The network library's log goes to the process's own folder, which goes when the
    // process ends.
    static const bool logs = [] {
        hqlv::netlib::YrnLogSetFolder(hqlv::fuzz::TemporaryLogFolder("server-game"));
        return true;
    }();
    (void)logs;
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
        const size_t take = std::min(len, size - pos);
        const gamesteps::Step s = gamesteps::Read(deal, how, who, data + pos, take);
        pos += take;
        // The tiles are checked after a step that moved the deal on (the check walks every
        // tile, more than a third of a run when done after every step): a request refused or
        // a tick with nothing due moves no tile, and should one misplace a tile all the same,
        // the check after the next action or at the end finds it.
        const int before = deal.Steps();
        deal.Request(s.actor, s.id, s.body);
        now += static_cast<uint64_t>(step) * 200;
        deal.Tick();
        if (deal.Steps() != before) CheckEnd(deal);
        if (!deal.Running()) break;
    }
    CheckEnd(deal);
    return 0;
}
