// Seeds of the reply-handler harness: for every result code the harness knows, no data, a
// player entry as the server writes it (136 bytes: ids, table, chair, name, silver, score),
// a short count-and-list reply, and four words at the ends of the range.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "seed_writer.h"

namespace {

void Put(std::vector<uint8_t>& b, size_t word, int32_t v) {
    for (int i = 0; i < 4; ++i) b[word * 4 + i] = uint8_t(uint32_t(v) >> (8 * i));
}

std::vector<uint8_t> PlayerEntry(int32_t uid, int32_t table, int32_t chair) {
    std::vector<uint8_t> e(136, 0);
    Put(e, 0, uid);
    Put(e, 3, table);
    Put(e, 4, chair);
    Put(e, 21, 5000);  // silver
    Put(e, 23, 120);   // score
    std::memcpy(e.data() + 36, "player", 6);
    return e;
}

}  // namespace

bool WriteSeeds() {
    constexpr int kCodes = 32;  // the harness's table of result codes
    bool ok = true;
    for (int i = 0; i < kCodes; ++i) {
        const uint8_t pick = uint8_t(i);
        ok &= hqlv::fuzzseed::Seed("code-" + std::to_string(i) + "-empty",
                                   std::vector<uint8_t>{pick});
        std::vector<uint8_t> entry{pick};
        auto e = PlayerEntry(1000 + i, 5, i % 4);
        entry.insert(entry.end(), e.begin(), e.end());
        ok &= hqlv::fuzzseed::Seed("code-" + std::to_string(i) + "-entry", entry);
        std::vector<uint8_t> list{pick, 2, 0, 0, 0};  // a count of two, then the entries
        for (int k = 0; k < 2; ++k) {
            auto p = PlayerEntry(2000 + k, 5, k);
            list.insert(list.end(), p.begin(), p.end());
        }
        ok &= hqlv::fuzzseed::Seed("code-" + std::to_string(i) + "-list", list);
        // Amounts and limits at the ends of the range, both ways round.
        for (int order = 0; order < 2; ++order) {
            std::vector<uint8_t> ends(1 + 16, 0);
            ends[0] = pick;
            std::vector<uint8_t> words(16, 0);
            for (size_t w = 0; w < 4; ++w)
                Put(words, w, (w + size_t(order)) % 2 ? INT32_MIN : INT32_MAX);
            std::copy(words.begin(), words.end(), ends.begin() + 1);
            ok &= hqlv::fuzzseed::Seed(
                "code-" + std::to_string(i) + "-ends-" + std::to_string(order), ends);
        }
    }
    return ok;
}
