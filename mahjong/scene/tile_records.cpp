#include "mahjong/scene/tile_records.h"

#include <algorithm>
#include <utility>

#include "rules/tiles.h"

namespace hqlv::mahjong {

int TileShape(int id) {
    if (id < 0) return 0;  // below the first suit: shape 0 with value 0 (no tile)
    if (id < 36) return 0;
    if (id < 72) return 1;
    if (id < 108) return 2;
    if (id < 136) return 3;
    if (id < 144) return 4;
    if (id < 152) return 5;
    return -1;
}

int TileValue(int id) {
    if (id < 0 || id >= 152) return 0;
    if (id < 108) return id % 9 + 1;
    if (id < 136) return (id - 108) % 7 + 1;
    if (id < 144) return (id - 136) % 8 + 1;
    return (id - 144) % 8 + 1;
}

int GetFaceIndex(int id) {
    if (id == kHiddenTile) return 46;
    if (id < 0 || id > 151) return 0;
    if (id < 36) return id % 9;
    if (id < 72) return id % 9 + 9;
    if (id < 108) return id % 9 + 18;
    if (id < 136) return (id - 108) % 7 + 27;
    if (id < 144) return (id - 136) % 8 + 34;
    if (id < 148) return (id - 144) % 4 + 42;
    return 46;
}

void CMJTileAreas::Clear() {
    std::fill(std::begin(m_wall), std::end(m_wall), MJTileInfo{});
    for (int v = 0; v < kViewCount; ++v) {
        std::fill(std::begin(m_hands[v]), std::end(m_hands[v]), MJTileInfo{});
        std::fill(std::begin(m_flowers[v]), std::end(m_flowers[v]), MJTileInfo{});
        std::fill(std::begin(m_discards[v]), std::end(m_discards[v]), MJTileInfo{});
        m_showcase[v] = MJTileInfo{};
        m_showcase[v].nFace = 1;
        m_showcase[v].nView = v;
        m_showcase[v].nZ = 3000;
    }
}

const MJTileInfo* CMJTileAreas::GetTileRecord(int area, int view, int index) const {
    if (area == kAreaWall) return index >= 0 && index < kWallRecords ? &m_wall[index] : nullptr;
    if (view < 0 || view >= kViewCount || index < 0) return nullptr;
    switch (area) {
        case kAreaHand:
        case kAreaMeld:
            return index < kHandRecords ? &m_hands[view][index] : nullptr;
        case kAreaFlower:
            return index < kFlowerRecords ? &m_flowers[view][index] : nullptr;
        case kAreaDiscard:
            return index < kDiscardRecords ? &m_discards[view][index] : nullptr;
        case kAreaShowcase:
            return index == 0 ? &m_showcase[view] : nullptr;
        default:
            return nullptr;
    }
}

MJTileInfo* CMJTileAreas::GetTileRecord(int area, int view, int index) {
    return const_cast<MJTileInfo*>(std::as_const(*this).GetTileRecord(area, view, index));
}

MJTileInfo* CMJTileAreas::HandRow(int view) {
    return view >= 0 && view < kViewCount ? m_hands[view] : nullptr;
}

namespace {

int LoadCodes(MJTileInfo* row, int first, std::span<const int32_t> codes) {
    if (!row) return 0;
    int at = first;
    for (int32_t code : codes) {
        if (code == -1) continue;
        // A list of 32 loaded from record 1 would put its last code past the row.
        if (at >= kHandRecords) break;
        row[at++].nCode = code;
    }
    return at - first;
}

}  // namespace

int CMJTileAreas::LoadHandCodes(int view, std::span<const int32_t> codes) {
    return LoadCodes(HandRow(view), 0, codes);
}

int CMJTileAreas::LoadHandCodesFrom1(int view, std::span<const int32_t> codes) {
    return LoadCodes(HandRow(view), 1, codes);
}

int CMJTileAreas::TopOfConcealedHand(int view) const {
    if (view < 0 || view >= kViewCount) return -1;
    for (int i = kHandSlotCount - 1; i >= 0; --i)
        if (m_hands[view][i].bPresent && m_hands[view][i].bHand) return i;
    return -1;
}

int CMJTileAreas::FreeMeldGroup(int view) const {
    if (view < 0 || view >= kViewCount) return -1;
    for (int top = kHandSlotCount - 1; top >= 5; top -= 4)
        if (!m_hands[view][top].bPresent) return top;
    return -1;
}

void CMJTileAreas::MoveTileToDrawSlot(int view) {
    MJTileInfo* row = HandRow(view);
    if (!row || row[0].bPresent) return;
    row[0].bPresent = 1;
    row[0].bHand = 1;
    row[0].nFace = row[1].nFace;
    row[0].nDirection = row[1].nDirection;
    for (int k = 0; k < kMaxHandTiles; ++k) {
        if (!row[k + 1].bHand) {
            row[k].bPresent = 0;
            row[k].bHand = 0;
            break;
        }
        row[k].nCode = row[k + 1].nCode;
        row[k].bLocked = row[k + 1].bLocked;
    }
}

void CMJTileAreas::InsertDrawnTile(int view, const CMJTileTests& tests) {
    MJTileInfo* row = HandRow(view);
    if (!row || !row[0].bPresent) return;
    const int c = row[0].nCode;
    const int t = TopOfConcealedHand(view);
    row[0].bPresent = 0;
    row[0].bHand = 0;
    // t is at least 0 (record 0 was present with... or without the hand flag: then -1).
    const int slot = t + 1;
    if (slot >= kHandRecords) return;
    row[slot].bPresent = 1;
    row[slot].bHand = 1;
    if (tests.IsJokerTile(c) && !tests.SortsJokers()) {
        row[slot].nCode = c;
        row[slot].bJoker = 1;
        return;
    }
    // Record 0 holds the highest key during the walk, so the walk ends there at the latest.
    row[0].nCode = 151;
    const int k = tests.SortKey(c);
    int j = t;
    for (; j > 0; --j) {
        if (tests.IsJokerTile(row[j].nCode)) continue;
        if (tests.SortKey(row[j].nCode) >= k) break;
    }
    for (int i = t; i > j; --i) row[i + 1].nCode = row[i].nCode;
    row[j + 1].nCode = c;
    row[0].nCode = kHiddenTile;
}

namespace {

template <typename F>
void ForOwnHandTiles(MJTileInfo* row, F f) {
    for (int i = 0; i < kMaxHandTiles; ++i)
        if (row[i].bPresent && row[i].bHand) f(row[i]);
}

}  // namespace

void CMJTileAreas::MarkChiChoices(std::span<const int32_t> candidates) {
    ForOwnHandTiles(m_hands[kOwnView], [&](MJTileInfo& r) {
        r.bLocked = std::find(candidates.begin(), candidates.end(), r.nCode) == candidates.end();
    });
}

int CMJTileAreas::MarkFlowerChoices(const CMJTileTests& tests) {
    int flowers = 0;
    ForOwnHandTiles(m_hands[kOwnView], [&](MJTileInfo& r) {
        if (tests.IsFlowerTile(r.nCode)) {
            ++flowers;
            r.bLocked = 0;
        }
    });
    if (flowers == 0) return 0;
    ForOwnHandTiles(m_hands[kOwnView], [&](MJTileInfo& r) {
        r.bLocked = tests.IsFlowerTile(r.nCode) ? 0 : 1;
        r.bSelected = 0;
    });
    return flowers;
}

void CMJTileAreas::MarkGangChoices() {
    MJTileInfo* row = m_hands[kOwnView];
    ForOwnHandTiles(row, [](MJTileInfo& r) { r.bLocked = 1; });
    rules::CountTable counts{};
    auto indexOf = [](int code) { return rules::MJ_TileIndex(code, 0); };
    for (int i = 0; i < kHandSlotCount; ++i) {
        const MJTileInfo& r = row[i];
        if (!r.bPresent || r.nMeld == kMeldGang || r.nMeld == kMeldChi) continue;
        // A hidden tile (200, index -10) or a stray server code names no count.
        const int index = indexOf(r.nCode);
        if (rules::MJ_IsCountIndex(index)) ++counts[size_t(index)];
    }
    ForOwnHandTiles(row, [&](MJTileInfo& r) {
        const int index = indexOf(r.nCode);
        if (rules::MJ_IsCountIndex(index) && counts[size_t(index)] == 4) r.bLocked = 0;
    });
}

void CMJTileAreas::ClearChoiceMarks() {
    for (int i = 0; i < kMaxHandTiles; ++i) {
        m_hands[kOwnView][i].bSelected = 0;
        m_hands[kOwnView][i].bLocked = 0;
    }
}

void CMJTileAreas::ClearJokerMarks() {
    for (int i = 0; i < kMaxHandTiles; ++i) m_hands[kOwnView][i].bJoker = 0;
}

}  // namespace hqlv::mahjong
