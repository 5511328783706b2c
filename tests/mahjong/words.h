#pragma once
// Little-endian word records for the tests: a record of n words with some set.
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

namespace hqlv::mahjong::test {

inline void PutWord(std::vector<uint8_t>& r, size_t i, int32_t v) {
    if (r.size() < (i + 1) * 4) r.resize((i + 1) * 4);
    for (size_t k = 0; k < 4; ++k) r[i * 4 + k] = uint8_t(uint32_t(v) >> (8 * k));
}

inline std::vector<uint8_t> Words(size_t n, std::initializer_list<std::pair<size_t, int32_t>> set) {
    std::vector<uint8_t> r(n * 4, 0);
    for (auto [i, v] : set) PutWord(r, i, v);
    return r;
}

}  // namespace hqlv::mahjong::test

#include <chrono>
#include <functional>
#include <thread>

namespace hqlv::mahjong::test {

inline bool WaitUntil(const std::function<bool()>& pred, int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace hqlv::mahjong::test
