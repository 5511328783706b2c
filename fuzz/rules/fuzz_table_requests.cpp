// Request records as a client could send them, against a deal in play: each is checked and,
// when the check accepts it, carried out, as the server does. No input may crash the rules
// or put a tile in two places.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "rules/common.h"
#include "rules/table_ex.h"
#include "table_steps.h"

using namespace hqlv::rules;

namespace {

// The check's own loops give the fuzzer nothing to steer by, and traced they took a sixth of
// a run: they are left out of the coverage, and walk plain arrays (the containers' iterator
// helpers are functions of this file, traced like the rest).
__attribute__((no_sanitize("coverage"))) void checkPlaces(const CMJTableEx& t) {
    int places[136] = {};
    const TileRecord* tiles = t.Tiles().data();
    // A tile out of play that nobody played (the burnt head of the wall) is in its place too.
    for (size_t k = 0, n = t.Tiles().size(); k < n; ++k)
        if (tiles[k].status == kTileInWall || tiles[k].status == kTileHeld ||
            (tiles[k].status == kTilePlayed && tiles[k].chair < 0))
            ++places[tiles[k].id];
    for (int c = 0; c < 4; ++c) {
        const std::vector<int32_t>& discards = t.Discards(c);
        for (size_t k = 0; k < discards.size(); ++k) ++places[discards[k]];
        // A pung under the added kong laid on it lies in the kong.
        for (int l = 0; l < 5; ++l) {
            const auto& melds = t.Melds(c, static_cast<MeldList>(l));
            for (size_t m = 0; m < melds.size(); ++m)
                if (l != kPeng || !t.UnderAddedKong(c, melds[m]))
                    for (int32_t id : melds[m].tiles)
                        if (id >= 0) ++places[id];
        }
    }
    for (int id = 0; id < 136; ++id)
        if (places[id] != 1) std::abort();
}

// The end of a run: the result record as the server fills it, whose points add up to zero.
void checkResult(CMJTableEx& t) {
    t.SetOutcomeMode();
    std::vector<int32_t> rec(static_cast<size_t>(t.ResultRecordSize() / 4));
    t.FillResultRecord(rec.data(), t.ResultRecordSize(), 0, 0);
    int64_t sum = 0;
    for (int c = 0; c < 4; ++c) sum += rec[56 / 4 + c];
    if (sum != 0) std::abort();
}

// The points a run starts from: the deal as dealt, and the deals of the harness's players
// after every kDepth steps, each made once. A run takes a copy of one (dealing took a third
// of a run), and the later ones let short inputs reach the end of the wall, late kongs and
// wins.
constexpr size_t kDepth = 30, kDepths = 6;
constexpr int kVariants[] = {1, 2, 3, 6, 7};

const std::vector<CMJTableEx>& Starts() {
    static const std::vector<CMJTableEx> starts = [] {
        std::vector<CMJTableEx> s{tablesteps::DealTable()};
        for (int v : kVariants)
            for (size_t d = 1; d <= kDepths; ++d) {
                tablesteps::Player p(v);
                p.Play(d * kDepth);
                s.push_back(p.Table());
            }
        // A run that changes nothing ends on its starting point, whose record is checked here
        // once rather than in each such run.
        for (const CMJTableEx& start : s) {
            CMJTableEx t(start);
            checkResult(t);
        }
        return s;
    }();
    return starts;
}

}  // namespace

// The first byte picks the starting point; then steps of eight bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    CMJTableEx t(Starts()[data[0] % Starts().size()]);
    // Play draws nothing from the generator now; a fixed seed keeps each run repeatable if
    // it ever does.
    SeedRandom(1);
    // The chairs (bits 0-3) whose best win was scanned in this run: a chair's later queries
    // leave the scan out. The scan only reads the table, so a run with two scans reaches no
    // more than two runs with one each, and the scans were a fifth of the harness's time.
    unsigned scanned = 0;
    bool changed = false;
    for (size_t at = 1; at + tablesteps::kStep <= size; at += tablesteps::kStep) {
        const uint8_t* b = data + at;
        const MJRequest r = tablesteps::Decode(t, b);
        const bool query = b[0] % tablesteps::kOps == 10;
        const unsigned bit = r.chair() >= 0 && r.chair() < 4 ? 1u << r.chair() : 0u;
        // A refused request changes nothing the check could see go wrong; should it misplace a
        // tile all the same, the check after the next accepted step or at the end finds it.
        if (!tablesteps::Apply(t, b[0], r, !(scanned & bit))) continue;
        checkPlaces(t);
        if (query)
            scanned |= bit;
        else
            changed = true;
    }
    checkPlaces(t);
    if (changed) checkResult(t);
    return 0;
}
