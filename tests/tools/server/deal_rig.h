#pragma once
// A deal on a fake clock whose notifications are kept for the tests to read.
#include <cstdint>
#include <functional>
#include <vector>

#include "tools/server/mahjong/deal.h"

namespace testrig {

inline int32_t Word(const std::vector<uint8_t>& b, size_t w) {
    if (w * 4 + 4 > b.size()) return 0;
    return static_cast<int32_t>(b[w * 4] | b[w * 4 + 1] << 8 | b[w * 4 + 2] << 16 |
                                static_cast<uint32_t>(b[w * 4 + 3]) << 24);
}

inline void PutWord(std::vector<uint8_t>& b, size_t w, int32_t v) {
    if (w * 4 + 4 > b.size()) b.resize(w * 4 + 4, 0);
    for (int i = 0; i < 4; ++i)
        b[w * 4 + i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
}

struct DealRig {
    explicit DealRig(hqlv::server::mj::DealOptions o = Fast())
        : deal(
              o, [this] { return now; },
              [this](const hqlv::server::mj::Note& n) {
                  notes.push_back(n);
                  if (onNote) onNote();
              }) {}
    static hqlv::server::mj::DealOptions Fast() {
        hqlv::server::mj::DealOptions o;
        o.thinkMs = 0;
        return o;
    }
    void Advance(uint64_t ms) {
        now += ms;
        deal.Tick();
    }
    int Count(int code) const {
        int n = 0;
        for (const auto& x : notes) n += x.code == code;
        return n;
    }
    uint64_t now = 1000;
    std::function<void()> onNote;
    std::vector<hqlv::server::mj::Note> notes;
    hqlv::server::mj::Deal deal;
};

}  // namespace testrig
