#include "framework/panes/player_records.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "framework/app/text_edge.h"

namespace hqlv::framework {

int32_t LoadWordLE(const uint8_t* block, size_t size, size_t i) {
    if (!block || i >= size / 4) return 0;
    const uint8_t* p = block + i * 4;
    return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                                uint32_t(p[3]) << 24);
}

int32_t SaturatedSum(int32_t a, int32_t b) {
    return static_cast<int32_t>(std::clamp<int64_t>(
        int64_t{a} + b, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

void StoreWordLE(uint8_t* block, size_t size, size_t i, int32_t v) {
    if (!block || i >= size / 4) return;
    for (size_t b = 0; b < 4; ++b) block[i * 4 + b] = static_cast<uint8_t>(uint32_t(v) >> (8 * b));
}

void ConvertPlayerEntry(PlayerRecord& r, const PlayerEntry& e, const LevelTitleLookup& levelTitle) {
    using R = PlayerRecord;
    using E = PlayerEntry;
    r.setWord(R::kUserId, e.word(E::kUserId));
    r.setWord(R::kFlags, e.word(E::kFlags));
    r.setWord(R::kKind, e.word(E::kKind));
    r.setWord(R::kValue9, e.word(E::kValue9));
    r.setWord(R::kChair, e.word(E::kChair));
    r.setWord(R::kValue1, e.word(E::kValue1));
    r.setWord(R::kPortrait, e.word(E::kPortrait));
    r.setWord(R::kValue3, e.word(E::kValue3));
    r.setWord(R::kStatus, e.word(E::kStatus));
    r.setWord(R::kSilver, e.word(E::kSilver));
    r.setWord(R::kLevel, e.word(E::kLevel));
    r.setWord(R::kScore, e.word(E::kScore));
    r.setWord(R::kValue2, e.word(E::kValue2));
    for (size_t i = 0; i < 5; ++i) r.setWord(R::kValue4 + i, e.word(E::kValue4 + i));
    r.setText(R::kNameOff, R::kNameLen, e.text(E::kNameOff, E::kNameLen));
    r.setText(R::kAliasOff, R::kAliasLen, e.text(E::kAliasOff, E::kAliasLen));
    std::string title = levelTitle ? levelTitle(e.word(E::kLevel)) : std::string();
    r.setText(R::kLevelTitleOff, R::kLevelTitleLen, title);
    r.setWord(R::kMinutes, e.word(E::kValue4 + 4) / 60);
}

PlayerEntry MakePlayerEntry(const PlayerRecord& r) {
    using R = PlayerRecord;
    using E = PlayerEntry;
    PlayerEntry e;
    e.setWord(E::kUserId, r.word(R::kUserId));
    e.setWord(E::kFlags, r.word(R::kFlags));
    e.setWord(E::kKind, r.word(R::kKind));
    e.setWord(E::kValue9, r.word(R::kValue9));
    e.setWord(E::kChair, r.word(R::kChair));
    e.setWord(E::kValue1, r.word(R::kValue1));
    e.setWord(E::kPortrait, r.word(R::kPortrait));
    e.setWord(E::kValue3, r.word(R::kValue3));
    e.setWord(E::kStatus, r.word(R::kStatus));
    e.setWord(E::kSilver, r.word(R::kSilver));
    e.setWord(E::kLevel, r.word(R::kLevel));
    e.setWord(E::kScore, r.word(R::kScore));
    e.setWord(E::kValue2, r.word(R::kValue2));
    for (size_t i = 0; i < 5; ++i) e.setWord(E::kValue4 + i, r.word(R::kValue4 + i));
    e.setText(E::kNameOff, E::kNameLen, r.text(R::kNameOff, R::kNameLen));
    e.setText(E::kAliasOff, E::kAliasLen, r.text(R::kAliasOff, R::kAliasLen));
    return e;
}

}  // namespace hqlv::framework
