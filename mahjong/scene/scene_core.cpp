// The first scene layer's own operations: tile tests and claim checks with the deal's
// jokers and this game's rule flags, the hand-row operations on the scene's records, and
// the per-deal action log.
#include <algorithm>
#include <cstring>

#include "mahjong/scene/game_info.h"
#include "mahjong/scene/game_scene.h"
#include "rules/claims.h"
#include "rules/tiles.h"

namespace hqlv::mahjong {

void CMJGameScene::GetJokers(int& a, int& b) const {
    // The deal record's words 34 and 35; without a deal-state holder, no jokers. Before the
    // first deal the holder's zeroed record names tile 0 for both, which counts as a joker
    // only under the rule flag that puts jokers in play, and this game's flags never do.
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    a = info ? info->RoundWord(34) : rules::kNoTile;
    b = info ? info->RoundWord(35) : rules::kNoTile;
}

int CMJGameScene::IsFlowerTile(int id) const {
    int a, b;
    GetJokers(a, b);
    return rules::MJ_IsFlower(id, a, b, int32_t(GetGameFlags()));
}

int CMJGameScene::IsJokerTile(int id) const {
    int a, b;
    GetJokers(a, b);
    return rules::MJ_IsJoker(id, a, b, int32_t(GetGameFlags()));
}

int CMJGameScene::IsJokerStandIn(int id) const {
    int a, b;
    GetJokers(a, b);
    return rules::MJ_IsJokerStandIn(id, a, b, int32_t(GetGameFlags()));
}

int CMJGameScene::SortKey(int id) const {
    // The stand-in test looks at no flag: the tile takes the joker's key only while jokers
    // are in play (flag 0x1 and a joker A dealt), the stand-in plays as the joker (flag 0x4)
    // and the deal does not sort jokers in. Without them a 白板 is the last honour.
    const int32_t flags = int32_t(GetGameFlags());
    int a, b;
    GetJokers(a, b);
    if ((flags & rules::kTileFlagJokers) && (flags & rules::kTileFlagStandIn) && a >= 0 &&
        !SortsJokers() && IsJokerStandIn(id))
        return mahjong::TileShape(a) * 10 + mahjong::TileValue(a);
    return mahjong::TileShape(id) * 10 + mahjong::TileValue(id);
}

int CMJGameScene::CheckPeng(const int32_t* hand, int tile, int32_t* out) const {
    int a, b;
    GetJokers(a, b);
    return (rules::MJ_CanPeng(hand, kHandRecords, tile, a, b, int32_t(GetGameFlags()), out) & 1)
               ? 1
               : 0;
}

int CMJGameScene::CheckGang(const int32_t* hand, int tile, int32_t* out) const {
    int a, b;
    GetJokers(a, b);
    return (rules::MJ_CanMingGang(hand, kHandRecords, tile, a, b, int32_t(GetGameFlags()), out) & 2)
               ? 1
               : 0;
}

int CMJGameScene::CheckChi(const int32_t* hand, int tile, int32_t* out) const {
    int a, b;
    GetJokers(a, b);
    return (rules::MJ_CanChi(hand, kHandRecords, tile, a, b, int32_t(GetGameFlags()), out,
                             kHandRecords) &
            4)
               ? 1
               : 0;
}

int CMJGameScene::LoadHandCodes(int view, std::span<const int32_t> codes) {
    return m_tiles.LoadHandCodes(view, codes);
}

int CMJGameScene::LoadHandCodesFrom1(int view, std::span<const int32_t> codes) {
    return m_tiles.LoadHandCodesFrom1(view, codes);
}

void CMJGameScene::MoveTileToDrawSlot(int view) {
    if (!m_tiles.HandRow(view) || m_tiles.m_hands[view][0].bPresent) return;
    m_tiles.MoveTileToDrawSlot(view);
    if (view == kOwnView) MarkFlowerChoices();
}

void CMJGameScene::MarkChiChoices() {
    m_tiles.MarkChiChoices(m_chiCandidates);
}

int CMJGameScene::MarkFlowerChoices() {
    const int flowers = m_tiles.MarkFlowerChoices(*this);
    if (flowers) ShowAllClaimButtons(0);
    return flowers;
}

void CMJGameScene::ClearJokerMarks() {
    m_tiles.ClearJokerMarks();
    m_nDragJoker = 0;
}

int CMJGameScene::GetCentreLift() const {
    return m_pHost && m_pHost->IsSmallScreen() ? 10 : 30;
}

void CMJGameScene::RecordGameNotify(uint32_t id, MJData body) {
    switch (id) {
        case 221170:
        case 229080:
        case 229185:
        case 229190:
        case 229195:
        case 229197:
        case 229199:
            break;
        default:
            OnOtherGameNotify(id, body);
            return;
    }
    MJActionEntry entry;
    entry.sequence = ++m_nActionSequence;
    entry.id = int32_t(id);
    // The body is copied as far as it goes: a hu body holds 48 bytes, not 64.
    const size_t n = std::min(body.size(), sizeof(entry.body));
    if (n) std::memcpy(entry.body, body.data(), n);  // an empty body may have no bytes at all
    const bool hasChair = body.size() >= 48;  // word 11
    entry.chair = -1;
    if (hasChair) std::memcpy(&entry.chair, body.data() + 44, 4);
    if (hasChair && entry.chair == m_geometry.OwnChair()) ++m_nOwnActions;
    m_actionLog.push_back(entry);
}

void CMJGameScene::ClearActionLog() {
    m_actionLog.clear();
    m_nActionSequence = 0;
    m_nOwnActions = 0;
}

}  // namespace hqlv::mahjong
