// This game's steps on the claim buttons and its automatic player: a gang press that has
// only one gang to make makes it at once, and automatic play takes the offered claims in
// this game's order before it discards the tile the scored choice picks.
#include "mahjong/game/game_scene_ex.h"

namespace hqlv::mahjong {

void CGameSceneEx::OnBtnPeng() {
    CMJGameScene2::OnBtnPeng();
    if (m_bPressTookEffect) ShowClaimButton(kClaimGang, 0);
}

void CGameSceneEx::OnBtnGang() {
    const bool looker = m_pHost && m_pHost->GetCmdField8();
    const bool entering = !looker && QZ_GetPointTo() == 6 && HandFlag(kOwnView) &&
                          GetClaimCell(kClaimGang) != kCellCancel;
    CMJGameScene2::OnBtnGang();
    if (!entering || GetSelectMode() != 2) return;
    // The choice unlocked the tiles of each face held four times: one tile left means one
    // to add to a peng, four mean one concealed gang.
    MJTileInfo* hand = m_tiles.m_hands[kOwnView];
    int count = 0, last = -1;
    for (int i = 0; i < kMaxHandTiles; ++i)
        if (hand[i].bHand && hand[i].bPresent && !hand[i].bLocked) ++count, last = i;
    if (count != 1 && count != 4) return;
    // The click goes to the record's own binding, the one that shows it. A search of the
    // pool by tile code would stop at the first binding of the own view showing that code,
    // and every face-down wall tile carries code 0: with a gang of tile 0 it was a tile of
    // the own wall that rose to the hand's row and left a hole in the wall.
    if (MJBinding* b = Binding(hand[last].nObject)) OnTileClickGang(&hand[last], b);
}

void CGameSceneEx::AutoPlayTick() {
    if (!m_pHost || m_pHost->GetCmdField8()) return;
    const int pos = QZ_GetPointTo();
    if (pos != 6 && !IsClaimButtonActive(kClaimPass)) return;
    if (++m_nAutoPlayTicks < m_nAutoPlayInterval) return;
    m_nAutoPlayTicks = 0;
    if (IsClaimButtonActive(kClaimHu)) return OnBtnHu();
    if (IsClaimButtonActive(kClaimGang) && IsClaimButtonActive(kClaimPass)) return OnBtnGang();
    if (IsClaimButtonActive(kClaimPeng)) return OnBtnPeng();
    MJTileInfo* hand = m_tiles.m_hands[kOwnView];
    if (IsClaimButtonActive(kClaimGang) && pos == 6 && HandFlag(kOwnView)) {
        OnBtnGang();
        // The press may have made the gang already (one candidate) or had it held back:
        // only a choice still open is made here.
        if (GetSelectMode() == 2 && !IsPending()) {
            int last = -1;
            for (int i = 0; i < kMaxHandTiles; ++i)
                if (hand[i].bHand && hand[i].bPresent && !hand[i].bLocked) last = i;
            if (last >= 0) {
                const int tile = hand[last].nCode;
                int32_t others[3];
                OtherCopies(tile, others);
                const int at = FindLastTile(kOwnView, others[0]);
                if (at < 0) return;
                if (hand[at].nMeld == 0)
                    DeclareConcealedGang(tile);
                else if (hand[at].nMeld == kMeldPeng)
                    DeclareAddedGang(tile);
            }
        }
    }
    if (IsClaimButtonActive(kClaimHu)) return OnBtnHu();
    if (IsClaimButtonActive(kClaimPass)) return OnBtnPass();
    if (QZ_GetPointTo() != 6 || !HandFlag(kOwnView)) return;
    const int i = ChooseDiscard();
    if (i < 0 || i >= kHandRecords) return;
    if (IsFlowerTile(hand[i].nCode))
        PlayFlower(i);
    else
        DiscardTile(i);
}

}  // namespace hqlv::mahjong
