// Seeds of the server-game harness: the openings of deals of several seeds, played by the two
// people through requests the server accepts. Each step is tried on a copy of the deal, and the
// first request (in an order that differs by seed) that the deal carries out is kept; when none
// is, the clock moves on so the server-driven players and the time-outs act.
#include <string>
#include <vector>

#include "game_steps.h"
#include "seed_writer.h"

using namespace gamesteps;

namespace {

constexpr int kSteps = 8;

std::vector<uint8_t> Opening(uint16_t seed) {
    Deal deal(Options(), [] { return g_now; }, [](const Note&) {});
    if (!StartDeal(deal, seed)) return {};
    std::vector<uint8_t> out{static_cast<uint8_t>(seed), static_cast<uint8_t>(seed >> 8)};
    for (int k = 0; k < kSteps && deal.Running(); ++k) {
        uint8_t chosen[4] = {static_cast<uint8_t>(kIdCount - 1), 0, 3, 0};  // refused; 600 ms
        bool found = false;
        for (size_t i = 0; i < kIdCount && !found; ++i) {
            const uint8_t how = static_cast<uint8_t>(0x80 | ((i + seed + k) % kIdCount));
            for (int who = 0; who < 64 && !found; ++who) {
                if ((who & 3) > 1) continue;  // the two people
                Deal trial(deal);
                const Step s = Read(trial, how, static_cast<uint8_t>(who), nullptr, 0);
                // Only a request that moves the deal on (a draw, a discard, a claim, a win).
                if (trial.Request(s.actor, s.id, s.body).code != kDone ||
                    trial.Steps() == deal.Steps())
                    continue;
                chosen[0] = how, chosen[1] = static_cast<uint8_t>(who), chosen[2] = 0;
                found = true;
            }
        }
        const Step s = Read(deal, chosen[0], chosen[1], nullptr, 0);
        deal.Request(s.actor, s.id, s.body);
        g_now += chosen[2] * 200u;
        deal.Tick();
        out.insert(out.end(), chosen, chosen + 4);
    }
    return out;
}

}  // namespace

bool WriteSeeds() {
    bool ok = true;
    for (uint16_t seed : {1, 2, 3, 7, 42, 300, 4097, 65535})
        ok &= hqlv::fuzzseed::Seed("opening-" + std::to_string(seed), Opening(seed));
    return ok;
}
