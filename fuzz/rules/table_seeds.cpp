// Seeds of the table-requests harness: from each of its starting points, the next steps of
// the deal its player plays from there.
#include <string>
#include <vector>

#include "seed_writer.h"
#include "table_steps.h"

namespace {

// As the harness makes them.
constexpr size_t kDepth = 30, kDepths = 6, kNext = 12;
constexpr int kVariants[] = {1, 2, 3, 6, 7};

}  // namespace

bool WriteSeeds() {
    bool ok = true;
    uint8_t start = 0;
    // From the deal as dealt, each variant's opening.
    for (int v : kVariants) {
        std::vector<uint8_t> b{start};
        const std::vector<uint8_t> steps = tablesteps::Player(v).Play(kNext);
        b.insert(b.end(), steps.begin(), steps.end());
        ok &= hqlv::fuzzseed::Seed("dealt-" + std::to_string(v), b);
    }
    // From the deal as dealt, after each variant's opening: the records, the questions, the
    // burnt head tile, the turn taken again and bids, and the settlement, each of every kind.
    for (int v : kVariants) {
        std::vector<uint8_t> b{start};
        const std::vector<uint8_t> steps = tablesteps::Player(v).Play(kNext);
        b.insert(b.end(), steps.begin(), steps.end());
        for (uint8_t op = 12; op < tablesteps::kOps; ++op)
            for (uint8_t kind = 0; kind < 4; ++kind) {
                const uint8_t chair = static_cast<uint8_t>((op + kind) % 4 + 1);
                const uint8_t other = static_cast<uint8_t>(chair % 4 + 1);
                b.insert(b.end(), {op, chair, other, 0x80, 0x81, 0x82, 0x83, kind});
            }
        ok &= hqlv::fuzzseed::Seed("chain-" + std::to_string(v), b);
    }
    for (int v : kVariants)
        for (size_t d = 1; d <= kDepths; ++d) {
            const std::vector<uint8_t> all = tablesteps::Player(v).Play(d * kDepth + kNext);
            std::vector<uint8_t> b{++start};
            const size_t from = std::min(all.size(), d * kDepth * tablesteps::kStep);
            b.insert(b.end(), all.begin() + static_cast<long>(from), all.end());
            ok &=
                hqlv::fuzzseed::Seed("v" + std::to_string(v) + "-" + std::to_string(d * kDepth), b);
        }
    return ok;
}
