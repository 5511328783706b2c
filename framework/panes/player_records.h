#pragma once
// The player record (80 words, the layout the hall sends verbatim) and the player entry
// (34 words, the form the server and the enter-game request carry), with the copy
// between the two. Texts inside both are GBK, as on the wire.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>

#include "framework/app/text_edge.h"

namespace hqlv::framework {

inline constexpr int kSeatCount = 8;
inline constexpr int kLookerCount = 64;

// Writes word i (little-endian) of a block of `size` bytes; nothing outside it.
void StoreWordLE(uint8_t* block, size_t size, size_t i, int32_t v);
// Reads word i of a block of `size` bytes; 0 outside it.
int32_t LoadWordLE(const uint8_t* block, size_t size, size_t i);
// A score or silver grown by a change, both from the server: the sum is taken in 64 bits and
// kept at the int32 bounds, so a top score that gains stays the top, never a debt.
int32_t SaturatedSum(int32_t a, int32_t b);

// A fixed block of little-endian words with text fields, bounds-checked on every access.
template <size_t N>
struct WordBlock {
    static constexpr size_t kSize = N;
    std::array<uint8_t, N> raw{};

    int32_t word(size_t i) const { return LoadWordLE(raw.data(), N, i); }
    void setWord(size_t i, int32_t v) { StoreWordLE(raw.data(), N, i, v); }
    // The zero-terminated text of a field of n bytes at a byte offset (never past it).
    std::string text(size_t off, size_t n) const {
        if (off >= N) return {};
        if (off + n > N) n = N - off;
        size_t len = 0;
        while (len < n && raw[off + len]) ++len;
        return std::string(reinterpret_cast<const char*>(raw.data() + off), len);
    }
    // Writes a text into a field of n bytes: cut to n - 1 bytes (on a GBK character
    // boundary), zero-padded.
    void setText(size_t off, size_t n, std::string_view gbk) {
        if (off >= N || n == 0) return;
        if (off + n > N) n = N - off;
        std::string cut = GbkCut(gbk, n - 1);
        std::memset(raw.data() + off, 0, n);
        std::memcpy(raw.data() + off, cut.data(), cut.size());
    }
    void clear() { raw.fill(0); }
    // Copies the first N bytes of a body; false (nothing copied) when it is shorter.
    bool loadFrom(const void* data, size_t len) {
        if (!data || len < N) return false;
        std::memcpy(raw.data(), data, N);
        return true;
    }
};

struct PlayerRecord : WordBlock<320> {
    enum : size_t {
        kUserId = 0,
        kFlags = 1,
        kKind = 2,
        kValue1 = 17,
        kPortrait = 18,
        kStatus = 19,
        kSilver = 20,
        kLevel = 21,
        kScore = 26,
        kMinutes = 27,
        kValue2 = 28,
        kValue3 = 29,
        kValue4 = 30,
        kValue9 = 35,
        kChair = 36,
        kLookerOn = 37,
        kMark1 = 40,
        kMark2 = 41,
        kMark3 = 42,
    };
    static constexpr size_t kNameOff = 20, kNameLen = 32, kAliasOff = 52, kAliasLen = 16,
                            kLevelTitleOff = 88, kLevelTitleLen = 16;

    int32_t userId() const { return word(kUserId); }
    int32_t chair() const { return word(kChair); }
    // The table number travels in the entry's value 9.
    int32_t table() const { return word(kValue9); }
    std::string name() const { return text(kNameOff, kNameLen); }
    std::string alias() const { return text(kAliasOff, kAliasLen); }
};

struct PlayerEntry : WordBlock<136> {
    enum : size_t {
        kUserId = 0,
        kFlags = 1,
        kKind = 2,
        kValue9 = 3,
        kChair = 4,
        kValue1 = 5,
        kPortrait = 6,
        kValue3 = 7,
        kStatus = 8,
        kSilver = 21,
        kLevel = 22,
        kScore = 23,
        kValue2 = 24,
        kValue4 = 25,
    };
    static constexpr size_t kNameOff = 36, kNameLen = 32, kAliasOff = 68, kAliasLen = 16;
};

using LevelTitleLookup = std::function<std::string(int level)>;

// Entry to record: the words of both layouts, name and alias, the level title looked up
// from the level number, and the minutes (value 8 / 60, truncated toward zero).
void ConvertPlayerEntry(PlayerRecord& record, const PlayerEntry& entry,
                        const LevelTitleLookup& levelTitle);
// Record to entry: the inverse (minutes and level title are not carried).
PlayerEntry MakePlayerEntry(const PlayerRecord& record);

}  // namespace hqlv::framework
