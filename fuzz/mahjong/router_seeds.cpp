// Seeds of the router harness: for every notification that carries tables, chairs, counts,
// ids, amounts, tiles or wall positions, one step with its well-formed record and one of those
// words at an end of the range (INT32_MAX, INT32_MIN, -1), and one step with all of them at
// INT32_MAX.
#include <string>

#include "fuzz/hostile_words.h"
#include "fuzz/mahjong/router_ids.h"
#include "seed_writer.h"

namespace {

// The index of a value in the extreme words.
uint8_t ValueIndex(int32_t v) {
    for (size_t i = 0; i < hqlv::fuzz::kExtremeWordCount; ++i)
        if (hqlv::fuzz::kExtremeWords[i] == v) return uint8_t(i);
    return 0;
}

// One step: no flags (players, panes and a main window, nothing playing), own chair 2, a
// well-formed record of the pick whose named hot words take the values.
std::vector<uint8_t> Step(size_t pick, const std::vector<std::pair<uint8_t, int32_t>>& words) {
    std::vector<uint8_t> in{0, 2, 0, uint8_t(pick)};
    in.push_back(uint8_t(1 | (words.size() - 1) << 1));
    for (const auto& [hot, value] : words) {
        in.push_back(hot);
        in.push_back(ValueIndex(value));
    }
    return in;
}

}  // namespace

bool WriteSeeds() {
    bool ok = true;
    for (size_t pick = 0; pick < hqlv::fuzz::kRouterIdCount; ++pick) {
        const uint32_t id = hqlv::fuzz::kRouterIds[pick].id;
        if (const hqlv::fuzz::HotNotification* hot = hqlv::fuzz::FindHotNotification(id)) {
            const hqlv::fuzz::HotNotification& n = *hot;
            const std::string name = std::to_string(id);
            for (size_t w = 0; w < n.words.size() && w < 0x80; ++w)
                for (int32_t v : {INT32_MAX, INT32_MIN, -1})
                    ok &= hqlv::fuzzseed::Seed(
                        name + "-word" + std::to_string(n.words[w]) + "-" + std::to_string(v),
                        Step(pick, {{uint8_t(w), v}}));
            std::vector<std::pair<uint8_t, int32_t>> all;
            for (size_t w = 0; w < n.words.size() && all.size() < 8; ++w)
                all.push_back({uint8_t(w), INT32_MAX});
            ok &= hqlv::fuzzseed::Seed(name + "-all-max", Step(pick, all));
        }
    }
    return ok;
}
