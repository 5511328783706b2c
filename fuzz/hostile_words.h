#pragma once
// Hostile words for the notification harnesses: the 32-bit values at the ends of the range
// and around them, and for every notification that writes a chat line or changes a player
// record the words where it carries a table, a chair, a count, an id or an amount. A harness
// builds a body of the notification's own length and puts extreme values into those words,
// so that arithmetic on them (a table counted from 1, a score plus its change, a count times
// an entry's size) meets the ends of the range within a short run.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace hqlv::fuzz {

inline constexpr int32_t kExtremeWords[] = {
    INT32_MIN, INT32_MIN + 1, -2, -1, 0, 1, 2, 3, 7, 8, 9, 64, 65, INT32_MAX - 1, INT32_MAX,
};
inline constexpr size_t kExtremeWordCount = sizeof kExtremeWords / sizeof kExtremeWords[0];

// A notification: its id, the length of its body as the server sends it, and its hot words.
struct HotNotification {
    uint32_t id;
    size_t bytes;
    std::vector<size_t> words;
};

namespace detail {
// The words of a player entry of 34 words beginning at word `first`: user id, table, chair,
// portrait, status, silver, level, score and the minutes' source.
inline void AddEntryWords(std::vector<size_t>& out, size_t first) {
    for (size_t w : {0, 3, 4, 6, 8, 21, 22, 23, 29}) out.push_back(first + w);
}
inline std::vector<size_t> Entries(std::vector<size_t> head, size_t first, size_t count) {
    for (size_t i = 0; i < count; ++i) AddEntryWords(head, first + 34 * i);
    return head;
}
}  // namespace detail

// The framework's notifications that write chat lines or change player records, and the
// mahjong ones that write chat lines, end boxes or the score lines.
inline const std::vector<HotNotification>& HotNotifications() {
    static const std::vector<HotNotification> kList = {
        {211011, 136, detail::Entries({}, 0, 1)},
        {211010, 32, {0, 1, 7}},
        {211020, 4, {0}},
        {211028, 64 + 136 * 4 + 932, detail::Entries({1, 2, 3, 4, 5, 6}, 16, 4)},
        {211030, 20 + 52 * 4, {0, 5, 7, 8, 9, 18, 20, 21, 22, 31, 33, 34}},
        {211420, 28, {0, 1, 2, 3, 4, 5, 6}},
        {211430, 12, {0, 1, 2}},
        {211440, 12, {0, 1, 2}},
        {211700, 68 + 136 * 4, detail::Entries({2, 3, 4}, 17, 4)},
        {211900, 68, {0, 1, 2, 9, 10, 16}},
        {211910, 8 * 52, {0, 13, 26, 39}},
        {230000, 116, {0, 1, 2, 3, 6, 8, 10, 28}},
        {230001, 156, {0, 1, 2, 3, 6, 38}},
        {230002, 16, {0, 1, 2, 3}},
        {201200, 40, {0, 2, 3, 4, 5}},
        {201210, 128, {0}},
        {211200, 64, {0, 2}},
        {211000, 28, {1, 2, 5, 6}},
        {211134, 16, {0, 3}},
        {211136, 12, {2}},
        {211137, 92, {2, 7, 8, 14, 15, 16, 22}},
        {214100, 28, {0, 1, 2, 3, 4, 5}},
        {214101, 28, {0, 1, 2, 3, 4, 5}},
        {214102, 96, {1, 2, 3, 4, 5, 6, 7}},
        {60031, 8, {0}},
        {400006, 80, {0}},
        {400007, 24, {0, 4, 5}},
        {201160, 16, {0, 3}},
        {221160, 40, {0, 3, 4, 5}},
        {229500, 32, {3, 4}},
        {211040, 932, {8, 9, 10, 11, 13, 14, 18, 21, 39, 40}},
        {211080, 1652, {0, 2, 40, 41, 48, 49, 72, 73, 80, 81, 96, 97, 165, 169, 170, 171, 181}},
    };
    return kList;
}

// The table scene's notifications: the chairs, tiles, wall positions, claim flags and counts
// the handlers turn into views, records and list lengths. Only the router harness reaches
// the scene; the framework's harnesses keep to the list above.
inline const std::vector<HotNotification>& SceneHotNotifications() {
    static const std::vector<HotNotification> kList = {
        {229160, 40, {0, 1, 2}},
        {221170, 120, {1, 6, 7, 8, 9, 21}},
        {229170, 64, {3}},
        {229175, 64, {3}},
        {229180, 64, {0, 1, 2, 3, 4, 5, 6, 7}},
        {229185, 64, {3, 4, 5, 6, 7, 8}},
        {229190, 64, {3, 4, 5, 6, 7, 8}},
        {229195, 64, {3, 4, 5, 6, 7, 8, 10, 11}},
        {229197, 64, {3, 4, 5, 6, 7, 8, 10, 11}},
        {229199, 64, {3, 4, 5, 6, 7, 8, 10, 11}},
        {229210, 44, {3, 4, 5, 6}},
        {221200, 140, {1, 2, 3, 4, 15}},
    };
    return kList;
}

// The hot words of a notification, from either list; null for one that has none.
inline const HotNotification* FindHotNotification(uint32_t id) {
    for (const auto* list : {&HotNotifications(), &SceneHotNotifications()})
        for (const HotNotification& n : *list)
            if (n.id == id) return &n;
    return nullptr;
}

// Writes word i of a body (little-endian); nothing past its end.
inline void PutWordLE(std::vector<uint8_t>& body, size_t i, int32_t v) {
    if (body.size() < (i + 1) * 4) return;
    for (size_t k = 0; k < 4; ++k) body[i * 4 + k] = uint8_t(uint32_t(v) >> (8 * k));
}

// Puts extreme values into a body: each pair of bytes names a word (the low seven bits pick
// one of the notification's hot words, or with the top bit set any word of the body) and a
// value of kExtremeWords.
template <typename NextByte>
void SpoilWords(std::vector<uint8_t>& body, const HotNotification& n, size_t count, NextByte next) {
    for (size_t k = 0; k < count; ++k) {
        const uint8_t at = next(), pick = next();
        size_t word = 0;
        if ((at & 0x80) || n.words.empty())
            word = body.size() >= 4 ? size_t(at & 0x7F) % (body.size() / 4) : 0;
        else
            word = n.words[size_t(at) % n.words.size()];
        PutWordLE(body, word, kExtremeWords[pick % kExtremeWordCount]);
    }
}

}  // namespace hqlv::fuzz
