// The table's answers to the server's mahjong notifications: each handler reads its body,
// turns chairs into views, changes the tile records, rebinds what changed, plays the sounds,
// moves the clock and, for the own seat, offers the claims the server allows. Bodies come
// from the network: a body shorter than the words a handler reads or a chair without a seat
// on this table leaves the table as it is and writes one log line; a wall position outside
// the wall only leaves the wall unmarked.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/core/button_frame.h"
#include "engine/core/engine_log.h"
#include "engine/core/entity_kinds.h"
#include "engine/core/kernel.h"
#include "mahjong/scene/game_info.h"
#include "mahjong/scene/game_scene.h"
#include "rules/common.h"

namespace hqlv::mahjong {

namespace {

constexpr uint32_t kFlagPeng = 0x01, kFlagGang = 0x02, kFlagChi = 0x04, kFlagHu = 0x08,
                   kFlagPass = 0x20;

int32_t Word(MJData body, size_t i) {
    uint32_t v = 0;
    std::memcpy(&v, body.data() + i * 4, 4);
    return int32_t(v);
}

// Whether the body holds words 0 to words - 1; a shorter one is logged.
bool Holds(MJData body, size_t words, uint32_t id) {
    if (body.size() >= words * 4) return true;
    engine::WriteLog("notification %u: %zu bytes, %zu needed; ignored", id, body.size(), words * 4);
    return false;
}

const char* MeldName(uint32_t id) {
    switch (id) {
        case 229185:
            return "peng";
        case 229190:
            return "chi";
        case 229195:
            return "minggang";
        case 229197:
            return "angang";
        default:
            return "bugang";
    }
}

}  // namespace

// ---- operations ----------------------------------------------------------------------------

CMJGameScene2::ClaimOffer& CMJGameScene2::Offer(int kind) {
    if (kind < 0 || kind >= kClaimOfferCount) {
        m_offerScratch = ClaimOffer{};
        return m_offerScratch;
    }
    return m_offers[size_t(kind)];
}

void CMJGameScene2::ClearOffers() {
    m_offers.fill(ClaimOffer{});
}

int CMJGameScene2::ViewOfChair(int chair, uint32_t id) const {
    const int view = ChairToView(chair);
    if (view >= 0 && view < kViewCount) return view;
    engine::WriteLog("notification %u: chair %d has no seat on this table; ignored", id, chair);
    return -1;
}

int CMJGameScene2::IsWallIndexInPlay(int index) const {
    return index >= 0 && index < std::min(GetTotalTiles(), kWallRecords) ? 1 : 0;
}

void CMJGameScene2::TakeWallRecord(int index, uint32_t id) {
    // The position comes from the server: one outside the wall's records marks nothing, and
    // the rest of the notification still stands.
    if (index < 0 || index >= kWallRecords) {
        engine::WriteLog("notification %u: wall record %d is outside the wall; not marked", id,
                         index);
        return;
    }
    m_tableLog.wall.push_back(index);
    m_tiles.m_wall[index].bPresent = 0;
    BindWallTiles();
}

int CMJGameScene2::IsLookerOn() const {
    return m_pHost && m_pHost->GetCmdField8() ? 1 : 0;
}

int CMJGameScene2::TurnSeconds() const {
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    return info ? info->RoundWord(18) : 0;
}

int CMJGameScene2::ClaimSeconds() const {
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    return info ? info->RoundWord(39) : 0;
}

void CMJGameScene2::HideHandFaces(int view) {
    MJTileInfo* row = m_tiles.HandRow(view);
    if (!row) return;
    // Only the concealed tiles: the second to fourth melds also lie among the first 14
    // records, but they lie open to every seat, and the added kong finds its peng by the
    // tile of the meld group's top record, so a peng turned face down would never take its
    // fourth tile: the kong would be missing from the looker-on's table.
    for (int i = 0; i < GetMaxHandTiles(); ++i)
        if (row[i].bPresent && row[i].bHand) row[i].nCode = kHiddenTile;
    row[0].nCode = kHiddenTile;
}

void CMJGameScene2::AddFlowerTile(int view, int tile) {
    if (view < 0 || view >= kViewCount) return;
    const int n = std::min(GetFlowerCount(), kFlowerRecords);
    for (int i = 0; i < n; ++i) {
        MJTileInfo& r = m_tiles.m_flowers[view][i];
        if (r.bPresent) continue;
        r.nCode = tile;
        r.bPresent = 1;
        return;
    }
}

void CMJGameScene2::SendRequest229505() {
    if (!m_pHost || IsLookerOn()) return;
    if (CMJRequests* req = m_pHost->GetRequests()) req->Send229505();
}

void CMJGameScene2::ShowClaimButton(int kind, int on) {
    if (kind < kClaimPeng || kind > kClaimPass) return;
    const uint32_t ids[] = {0, m_made.peng, m_made.gang, m_made.chi, m_made.hu, m_made.pass};
    m_claimActive[size_t(kind)] = on ? 1 : 0;
    // The window-drawn table offers its claims on window buttons; the gang and chi buttons
    // stand at their own cells again, as the engine's buttons below.
    if (m_nSceneMode == 1 && m_pHost) {
        m_pHost->ShowClaimWindowButton(kind, on);
        if (kind == kClaimGang || kind == kClaimChi)
            SetClaimCell(kind, kind == kClaimGang ? kCellGang : kCellChi);
    }
    engine::GameKernel* k = Kernel();
    engine::ControlData* c = k ? k->FindControl(ids[kind]) : nullptr;
    if (!c) return;
    SetButtonEnabled(c, on != 0);
    // The choice of a gang or chi switches these two buttons to other cells; every call
    // puts the strip's own cell back.
    if (kind == kClaimGang || kind == kClaimChi) {
        engine::Entity* e = EntityOf(c->entityId);
        auto* image =
            e && e->GetType() == engine::ENT_IMAGE ? static_cast<engine::ImageEntity*>(e) : nullptr;
        if (const engine::ImageState* st = image ? image->State() : nullptr) {
            const engine::ImageState cell = *st;
            image->SetImage(cell.resourceId, (kind == kClaimGang ? 1 : 2) * m_metrics.claimCell[0],
                            cell.srcY, cell.width, cell.height, cell.tint);
            image->ApplyTransform();
        }
    }
}

int CMJGameScene2::IsClaimButtonActive(int kind) const {
    return kind >= kClaimPeng && kind <= kClaimPass ? m_claimActive[size_t(kind)] : 0;
}

void CMJGameScene2::ShowAllClaimButtons(int on) {
    for (int kind = kClaimPeng; kind <= kClaimPass; ++kind) ShowClaimButton(kind, on);
}

void CMJGameScene2::HideClaimButtons() {
    if (IsLookerOn()) return;
    for (int kind : {kClaimPeng, kClaimGang, kClaimChi, kClaimPass, kClaimHu})
        ShowClaimButton(kind, 0);
    if (GetSelectMode() == 0) return;
    SetSelectMode(0);
    ClearChoiceMarks();
    BindHandTiles(kOwnView);
}

void CMJGameScene2::ShowToolbars(int show) {
    if (IsLookerOn()) show = 0;
    for (engine::ButtonFrame* frame : {m_made.operationBar, m_made.systemBar}) {
        if (!frame) continue;
        if (show)
            frame->Show();
        else
            frame->Hide();
    }
}

void CMJGameScene2::ShowStartButton() {
    if (m_nSceneMode == 1 && m_pHost) m_pHost->ShowStartWindowButton(1);
    if (engine::GameKernel* k = Kernel())
        if (engine::ControlData* c = k->FindControl(m_made.start)) {
            ShowControl(c, true);
            engine::WriteLogText("开始按钮");
            // The button may come up under a resting pointer: a click there is its click.
            k->PostMessage(84, engine::MessageData());
        }
    if (m_pHost) m_pHost->StartIdleTimer();
}

void CMJGameScene2::OfferHu(int flags) {
    if (IsLookerOn()) return;
    ClaimOffer& hu = Offer(kClaimHu);
    hu.tile = m_nOwnDrawnTile;
    hu.shown = (uint32_t(flags) & kFlagHu) ? 1 : 0;
    ShowClaimButton(kClaimHu, hu.shown);
}

void CMJGameScene2::DealStartLayout() {
    LayoutToolbar();
    ShowAllClaimButtons(0);
    const int player = !IsLookerOn();
    ShowToolbars(player);
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    if (!info || !player || info->RoundWord(13) != ViewToChair(kOwnView)) return;
    MarkFlowerChoices();
    CheckOwnGang();
    // No draw has come yet: the win offered at the deal's start is on the fourteenth tile
    // dealt to the first mover, the one in his draw slot. The tile of the last own draw is
    // none or one of the previous deal, on which the server refuses the self-drawn win, so
    // that a banker dealt a winning hand could never win.
    const MJTileInfo& slot = m_tiles.m_hands[kOwnView][0];
    SetOwnDrawnTile(slot.bPresent ? slot.nCode : -1);
    OfferHu(info->RoundWord(15));
}

void CMJGameScene2::OnDealingFinished() {
    m_bDealing = 0;
    // A claim offered while the tiles were dealt still stands: the layout's reset of the
    // buttons must not take it from the player.
    const std::array<int, 6> standing = m_claimActive;
    SortHandButton();
    DealStartLayout();
    if (!IsLookerOn())
        for (int kind = kClaimPeng; kind <= kClaimPass; ++kind)
            if (standing[size_t(kind)]) ShowClaimButton(kind, 1);
    ClockStart();
    ShowStakePanel();
    // The server ended a countdown while the tiles were dealt (the turn passed to the own
    // seat, nobody may claim): with the clock running now, it ends here.
    if (m_bCountdownEndHeld) {
        m_bCountdownEndHeld = 0;
        SetCountdown(0);
        OnCountdownEnd();
    }
    if (m_pHost && m_pHost->IsStandalone()) {
        // Without a server the table shows some discards so that it can be looked at.
        for (auto& row : m_tiles.m_discards)
            for (int i = 0; i < 10; ++i) {
                row[i].nCode = rules::RandomBelow(136);
                row[i].bPresent = 1;
                row[i].nFace = 1;
            }
    }
    Redraw(100);
    if (m_pGdiSurface) m_pGdiSurface->Invalidate();
    TakeTableShot("start");
}

// ---- handlers ------------------------------------------------------------------------------

void CMJGameScene2::OnGameReset() {
    if (m_nSceneMode == 1 && m_pHost) m_pHost->ShowStartWindowButton(0);
    if (engine::GameKernel* k = Kernel())
        if (engine::ControlData* c = k->FindControl(m_made.start)) ShowControl(c, false);
    ClearActionLog();
    ResetTable();  // clears the clock words and the hand-moved mark too
    ClearOffers();
    m_tableLog = TableLog{};
    FillOwnHandFromRound(1);
    MarkDealtHands();
    for (uint32_t id : {m_made.stake, m_made.clockFace})
        if (engine::Entity* e = EntityOf(id)) {
            e->Hide();
            e->ApplyTransform();
        }
    Redraw(1);
    MarkGameRunning();
    m_bDealing = 1;
    m_nDealtViews = 0;
    m_bCountdownEndHeld = 0;
    RollDice();
}

void CMJGameScene2::OnNotify229160(MJData body) {
    if (!Holds(body, 3, 229160)) return;
    const int v = ViewOfChair(Word(body, 0), 229160);
    if (v < 0) return;
    StopTurnTimers();
    const int p = NextView(v);
    MJTileInfo* slot = GetTileRecord(kAreaHand, v, 0);
    if (!IsLookerOn() && Word(body, 0) == ViewToChair(kOwnView) && slot->bPresent) return;
    if (MJTileInfo* shown = GetTileRecord(kAreaShowcase, p, 0); shown && shown->bPresent) {
        // Nobody claimed the last discard: it settles into its seat's rows.
        shown->bPresent = 0;
        BindShowcase(p);
        PlaySoundRes(29104, 17);
        AddDiscard(p, shown->nCode);
        BindDiscards(p);
    }
    slot->bPresent = 1;
    slot->bHand = 1;
    if (IsHandKnown(v)) {
        slot->nCode = Word(body, 1);
        slot->nFace = 1;
    }
    BindHandTiles(v);
    SetCountdownSound(1);
    SetCountdown(TurnSeconds());
    QZ_MoveClockHand(QZ_GetPointTo(), 2 * v);
    TakeWallRecord(Word(body, 2), 229160);
    HideClaimButtons();
}

void CMJGameScene2::OnNotify221170(MJData body) {
    if (!Holds(body, 22, 221170)) return;
    const int chair = Word(body, 1);
    const int v = ViewOfChair(chair, 221170);
    if (v < 0) return;
    StopTurnTimers();
    const int t = Word(body, 21);
    const int own = ViewToChair(kOwnView);
    const int player = !IsLookerOn();
    MJTileInfo* slot = GetTileRecord(kAreaHand, v, 0);
    if (player && chair == own && !slot->bPresent) {
        m_tableLog.discards[size_t(v)].push_back(t);
        return;
    }
    m_tableLog.discards[size_t(v)].push_back(t);
    PlaySoundRes(29103, 0);
    PlayNumberSound(v, t);
    if (IsHandKnown(v)) {
        RemoveTileFromHand(v, t);
        InsertDrawnTile(v);
    }
    slot->bPresent = 0;
    BindHandTiles(v);
    MJTileInfo* shown = GetTileRecord(kAreaShowcase, v, 0);
    shown->nCode = t;
    shown->bPresent = 1;
    shown->nFace = 1;
    BindShowcase(v);
    SetSelectMode(0);
    SetCountdownSound(0);
    SetCountdown(ClaimSeconds());
    SetClaimWindowOpen(1);
    const int n = PrevView(v);
    QZ_MoveClockHand(2 * v, 2 * n);
    if (!player || v == kOwnView) return;
    const uint32_t ownFlags = uint32_t(own >= 0 && own < 4 ? Word(body, 6 + size_t(own)) : 0);
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    if (info && info->RoundWord(27)) {
        int a = -1, b = -1;
        GetOtherViews(v, a, b);
        uint32_t others = ownFlags;
        const int three = m_geometry.GetPlayerCount() == 3;
        for (int other : {a, b}) {
            if (three && other == b) break;
            const int c = ViewToChair(other);
            if (c >= 0 && c < 4) others |= uint32_t(Word(body, 6 + size_t(c)));
        }
        if (others == 0) {
            // Nobody may claim: the window closes at once.
            SetClaimWindowOpen(0);
            if (QZ_GetPointTo() == 2 * kOwnView) {
                SetCountdown(1);
                return;
            }
        }
    }
    int32_t hand[kListLength];
    GetHandCodes(kOwnView, hand);
    ClearOffers();
    for (int kind = kClaimPeng; kind <= kClaimPass; ++kind) {
        ClaimOffer& o = Offer(kind);
        o.fromChair = chair;
        o.tile = t;
        std::fill(std::begin(o.candidates), std::end(o.candidates), -1);
    }
    auto fill = [&](int kind, int (CMJGameScene::*check)(const int32_t*, int, int32_t*) const) {
        ClaimOffer& o = Offer(kind);
        (this->*check)(hand, t, o.candidates);
        o.count = int32_t(std::count_if(std::begin(o.candidates), std::end(o.candidates),
                                        [](int32_t id) { return id != -1; }));
    };
    fill(kClaimPeng, &CMJGameScene::CheckPeng);
    fill(kClaimGang, &CMJGameScene::CheckGang);
    if (n == kOwnView) fill(kClaimChi, &CMJGameScene::CheckChi);
    const uint32_t bits[] = {0, kFlagPeng, kFlagGang, kFlagChi, kFlagHu, kFlagPass};
    for (int kind = kClaimPeng; kind <= kClaimPass; ++kind) {
        Offer(kind).shown = (ownFlags & bits[kind]) ? 1 : 0;
        ShowClaimButton(kind, Offer(kind).shown);
    }
}

void CMJGameScene2::OnNotify229165(MJData) {
    if (m_bDealing) {
        m_bCountdownEndHeld = 1;
        return;
    }
    SetCountdown(0);
    OnCountdownEnd();
}

void CMJGameScene2::OnNotify229170(MJData body) {
    if (!Holds(body, 4, 229170)) return;
    const int v = ViewOfChair(Word(body, 3), 229170);
    if (v < 0) return;
    StopTurnTimers();
    PlayActionSound(v, GetActionSoundName(1));
}

void CMJGameScene2::OnNotify229175(MJData body) {
    if (!Holds(body, 4, 229175)) return;
    const int v = ViewOfChair(Word(body, 3), 229175);
    if (v < 0) return;
    StopTurnTimers();
    PlayActionSound(v, GetActionSoundName(9));
    SetCountdown(ClaimSeconds());
}

void CMJGameScene2::OnNotify229180(MJData body) {
    if (!Holds(body, 8, 229180)) return;
    const int v = ViewOfChair(Word(body, 0), 229180);
    if (v < 0) return;
    const int kind = Word(body, 3);
    PlayActionSound(v, GetActionSoundName(kind == 1 ? 5 : 7));
    const int own = ViewToChair(kOwnView);
    // The player's own added kong sets its own seconds from the server's answer to its
    // confirm: the claim seconds while the server holds it back, the turn's seconds once it
    // is laid. The announcement, sent while the kong was asked for, reaches the table only
    // after those answers: counting the claim seconds again would show the player a turn
    // of another length than the server gives him (it then plays for him before the clock
    // ends, or the clock plays for him before his time is up).
    const bool ownKong = !IsLookerOn() && Word(body, 0) == own;
    if (kind == 2 && !ownKong) SetCountdown(ClaimSeconds());
    if (IsLookerOn() || own < 0 || own > 3) return;
    if (!(uint32_t(Word(body, 4 + size_t(own))) & kFlagHu)) return;
    ClaimOffer& hu = Offer(kClaimHu);
    hu.kind = kind;
    hu.fromChair = Word(body, 1);
    hu.tile = Word(body, 2);
    hu.shown = 1;
    ShowClaimButton(kClaimHu, 1);
    ShowClaimButton(kClaimPass, 1);
}

void CMJGameScene2::LayMeld(uint32_t id, MJData body) {
    if (!Holds(body, 9, id)) return;
    const int v = ViewOfChair(Word(body, 3), id);
    const int giver = ViewOfChair(Word(body, 4), id);
    if (v < 0 || giver < 0) return;
    StopTurnTimers();
    LogMeld(id, body);
    if (id == 229185)
        AddPengMeld(v, body);
    else
        AddChiMeld(v, body);
    BindHandTiles(v);
    if (MJTileInfo* shown = GetTileRecord(kAreaShowcase, giver, 0)) shown->bPresent = 0;
    BindShowcase(giver);
    SetCountdownSound(0);
    SetCountdown(TurnSeconds());
    QZ_MoveClockHand(QZ_GetPointTo(), 2 * v);
    HideClaimButtons();
    TakeTableShot("meld");
}

void CMJGameScene2::OnNotify229185(MJData body) {
    LayMeld(229185, body);
}

void CMJGameScene2::OnNotify229190(MJData body) {
    LayMeld(229190, body);
}

void CMJGameScene2::OnNotify229195(uint32_t id, MJData body) {
    if (!Holds(body, 12, id)) return;
    const int v = ViewOfChair(Word(body, 3), id);
    if (v < 0) return;
    const int giver = id == 229195 ? ViewOfChair(Word(body, 4), id) : 0;
    if (giver < 0) return;
    if (id == 229195 || id == 229197 || id == 229199) LogMeld(id, body);
    if (id == 229195) {
        AddExposedGangMeld(v, body);
        BindHandTiles(v);
        if (MJTileInfo* shown = GetTileRecord(kAreaShowcase, giver, 0)) shown->bPresent = 0;
        BindShowcase(giver);
        SetCountdownSound(0);
        SetCountdown(TurnSeconds());
    } else if (id == 229199) {
        AddAddedGangMeld(v, body);
        BindHandTiles(v);
        SetCountdown(TurnSeconds());
    } else if (id == 229197) {
        PlayActionSound(v, GetActionSoundName(3));
        AddConcealedGangMeld(v, body);
        BindHandTiles(v);
        AddCountdownSeconds(3);
    }
    QZ_MoveClockHand(QZ_GetPointTo(), 2 * v);
    TakeWallRecord(Word(body, 11), id);
    HideClaimButtons();
    if (id == 229195 || id == 229197 || id == 229199) TakeTableShot("meld");
}

void CMJGameScene2::OnNotify229210(MJData body) {
    if (!Holds(body, 7, 229210)) return;
    const int v = ViewOfChair(Word(body, 3), 229210);
    if (v < 0) return;
    const int flower = Word(body, 4), drawn = Word(body, 5);
    StopTurnTimers();
    PlayActionSound(v, GetActionSoundName(13));
    if (IsHandKnown(v)) {
        RemoveTileFromHand(v, flower);
        InsertDrawnTile(v);
        if (drawn != -1) {
            MJTileInfo* slot = GetTileRecord(kAreaHand, v, 0);
            slot->nCode = drawn;
            slot->bHand = 1;
            slot->bPresent = 1;
        }
        BindHandTiles(v);
    }
    AddFlowerTile(v, flower);
    BindFlowerTiles(v);
    m_tableLog.flowers[size_t(v)].push_back(flower);
    SetCountdownSound(0);
    SetCountdown(TurnSeconds());
    QZ_MoveClockHand(QZ_GetPointTo(), 2 * v);
    if (drawn == -1) {
        SetCountdown(ClaimSeconds());
        QZ_MoveClockHand(2 * v, 2 * PrevView(v));
        return;
    }
    TakeWallRecord(Word(body, 6), 229210);
    HideClaimButtons();
}

void CMJGameScene2::OnNotify221200(MJData body) {
    if (!Holds(body, 3, 221200)) return;
    if (Word(body, 1) != ViewToChair(kOwnView)) return;
    const int count = Word(body, 2);
    // The list holds 32 ids: a longer count is cut there (the hand itself keeps what fits and
    // logs the rest). The ids copied must all lie inside the body.
    const int n = std::min(count, int(kListLength));
    if (n < 0 || body.size() / 4 < size_t(3 + n)) {
        engine::WriteLog("notification 221200: %d tiles in %zu bytes; ignored", count, body.size());
        return;
    }
    if (count > n) engine::WriteLog("notification 221200: %d tiles, the first %d taken", count, n);
    int32_t list[kListLength];
    std::fill(std::begin(list), std::end(list), -1);
    for (int i = 0; i < n; ++i) list[i] = Word(body, 3 + size_t(i));
    SetHandTiles(kOwnView, list);
    SortHandButton();
    BindHandTiles(kOwnView);
    PlaySoundRes(29102, 0);
}

void CMJGameScene2::OnNotify221160(MJData body) {
    if (!Holds(body, 6, 221160)) return;
    if (!m_pHost || !IsLookerOn()) return;
    if (Word(body, 3) != ViewToChair(kOwnView) || Word(body, 4) != m_pHost->GetUserID() ||
        Word(body, 5) != 0)
        return;
    if (!IsHandKnown(kOwnView)) return;
    HideHandFaces(kOwnView);
    BindHandTiles(kOwnView);
    PlaySoundRes(29102, 5);
}

void CMJGameScene2::OnPlayerBackOrLeave(MJData body) {
    if (!Holds(body, 5, 229500) || !m_pHost) return;
    const int kind = Word(body, 4);
    char line[512];
    if (kind == 1 || kind == 2) {
        const std::string name = m_pHost->GetSeatName(Word(body, 3));
        std::snprintf(line, sizeof line,
                      kind == 1 ? "<c=%d>[系统]<c=%d>%s重新回到了游戏!\r\n"
                                : "<c=%d>[系统]<c=%d>%s离开了游戏!\r\n",
                      255, 4953725, name.c_str());
        m_pHost->AppendChatLine(line);
    }
}

void CMJGameScene2::OnGameEnd(MJData body) {
    // The deal is over whatever its record holds: the table is free for the next one.
    m_bDealing = 0;
    m_bCountdownEndHeld = 0;
    if (!Holds(body, 176, 211080)) {
        MarkGameStopped();
        return;
    }
    if (Word(body, 175) == 0) PlaySoundRes(29106, 0);
    ShowAllClaimButtons(0);
    ClearChoiceMarks();
    DumpTable("before");
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    const int winning = Word(body, 171);
    const int players = std::clamp(m_geometry.GetPlayerCount(), 0, 4);
    for (int c = 0; c < players; ++c) {
        const int v = ViewOfChair(c, 211080);
        if (v < 0) continue;
        MJList list;
        list.fill(-1);
        if (info) {
            info->GetChairList(c, list);
            // Only the count the record gives are the hand's: a concealed kong's tiles may
            // follow them and would be laid down a second time.
            const int count = info->ResultWord(kResultChairCountWord + size_t(c));
            const int kept = std::clamp(count, 0, int(kListLength));
            if (kept != count) engine::WriteLog("notification 211080: chair %d count %d", c, count);
            std::fill(list.begin() + kept, list.end(), -1);
        }
        if (Word(body, 165 + size_t(c)) >= 1) {
            ShowWinEffect(v);
            if (info && info->ResultBit(0x2000000))
                if (auto at = std::find(list.begin(), list.end(), winning); at != list.end()) {
                    std::move(at + 1, list.end(), at);
                    list.back() = -1;
                }
            LayOutEndHand(v, list);
            PlaceDrawSlotTile(v, winning);
        } else if (!GetTileRecord(kAreaHand, v, 0)->bPresent) {
            LayOutEndHand(v, list);
        } else if (Word(body, 169) == -1) {
            LayOutEndHandAll(v, list);
        } else {
            LayOutWinningHand(v, winning, list);
        }
        BindHandTiles(v);
    }
    MarkGameStopped();
    DumpTable("after");
    TakeTableShot("result");
}

void CMJGameScene2::OnPlayerFollowedDealer() {
    if (!m_pHost) return;
    PlaySoundRes(29012, 17);
    char line[128];
    std::snprintf(line, sizeof line, "<c=%d>闲家跟庄成功!\r\n", 255);
    m_pHost->AppendChatLine(line);
}

// ---- the table's record for tests (HQLV_TABLE_DUMP, HQLV_TABLE_SHOTS) -----------------------

void CMJGameScene2::LogMeld(uint32_t id, MJData body) {
    const int c = Word(body, 3);
    const int v = ChairToView(c);
    if (v < 0 || v > 3) return;
    auto& melds = m_tableLog.melds[size_t(v)];
    MeldEntry m{MeldName(id), {}, Word(body, 4)};
    // A peng or chi holds three tiles (words 5-7), a gang four.
    const size_t last = id == 229185 || id == 229190 ? 7 : 8;
    for (size_t w = 5; w <= last; ++w)
        if (const int32_t t = Word(body, w); t >= 0 && t != kHiddenTile) m.tiles.push_back(t);
    if (id == 229199) {
        // The fourth tile joins the seat's peng of that face.
        const int face = SortKey(Word(body, 5));
        for (auto at = melds.begin(); at != melds.end(); ++at)
            if (at->kind == std::string("peng") && !at->tiles.empty() &&
                SortKey(at->tiles[0]) == face) {
                m.tiles = at->tiles;
                m.tiles.push_back(Word(body, 5));
                m.giver = at->giver;
                melds.erase(at);
                break;
            }
    }
    melds.push_back(std::move(m));
}

std::string CMJGameScene2::FormatTable(const char* stage) {
    std::string out = std::string("table ") + stage + '\n';
    // The clock: the hand's position, the seconds left, whether it shows.
    out += "  clock: " + std::to_string(m_nClockPos) + ' ' + std::to_string(m_clock.seconds) + ' ' +
           std::to_string(m_clock.shown) + '\n';
    auto list = [&](const char* name, const std::vector<int32_t>& ids) {
        out += std::string("  ") + name + ':';
        for (int32_t id : ids) out += ' ' + std::to_string(id);
        out += '\n';
    };
    static const char* const kOrder[] = {"peng", "chi", "minggang", "angang", "bugang"};
    for (int c = 0; c < 4; ++c) {
        const int v = ChairToView(c);
        if (v < 0 || v > 3) continue;
        out += "chair " + std::to_string(c) + " view " + std::to_string(v) + '\n';
        out += "  melds:";
        for (const char* kind : kOrder)
            for (const MeldEntry& m : m_tableLog.melds[size_t(v)]) {
                if (m.kind != std::string(kind)) continue;
                out += std::string(" ") + kind + '(';
                for (size_t i = 0; i < m.tiles.size(); ++i)
                    out += (i ? " " : "") + std::to_string(m.tiles[i]);
                out += ")<" + std::to_string(m.giver);
            }
        out += '\n';
        list("discards", m_tableLog.discards[size_t(v)]);
        list("flowers", m_tableLog.flowers[size_t(v)]);
        std::vector<int32_t> ids;
        for (int i = 0; i < kHandSlotCount; ++i) {
            const MJTileInfo& r = m_tiles.m_hands[v][i];
            if (r.bPresent && r.bHand && !r.nMeld) ids.push_back(r.nCode);
        }
        list("hand", ids);
        ids.clear();
        for (int i = 0; i < kDiscardRecords; ++i)
            if (m_tiles.m_discards[v][i].bPresent) ids.push_back(m_tiles.m_discards[v][i].nCode);
        list("rows", ids);
        ids.clear();
        // A meld's records leave the hand; only the own seat's carry their meld kind, so the
        // hand flag tells them apart on every seat.
        // After the lay-down the melds are the records that held them before it.
        const bool after = std::strcmp(stage, "after") == 0;
        uint32_t& melded = m_tableLog.meldRecords[size_t(v)];
        if (!after) melded = 0;
        for (int i = 1; i < kHandRecords; ++i) {
            const MJTileInfo& r = m_tiles.m_hands[v][i];
            if (!after && r.bPresent && (!r.bHand || r.nMeld)) melded |= 1u << i;
            if ((melded >> i) & 1) ids.push_back(r.nCode);
        }
        list("meldtiles", ids);
        ids.clear();
        // The laid-down hand: face-up records that held no meld before; the draw slot's tile
        // (the winning one) lies apart.
        for (int i = 1; i < kHandSlotCount; ++i) {
            const MJTileInfo& r = m_tiles.m_hands[v][i];
            if (r.bPresent && r.nFace == 1 && !r.nMeld && !((melded >> i) & 1))
                ids.push_back(r.nCode);
        }
        list("laid", ids);
        ids.clear();
        if (const MJTileInfo& r = m_tiles.m_hands[v][0]; r.bPresent && r.nFace == 1 && !r.bHand)
            ids.push_back(r.nCode);
        list("apart", ids);
        ids.clear();
        if (m_tiles.m_showcase[v].bPresent) ids.push_back(m_tiles.m_showcase[v].nCode);
        list("showcase", ids);
    }
    list("wall", m_tableLog.wall);
    std::vector<int32_t> absent;
    for (int i = 0; i < std::min(GetTotalTiles(), kWallRecords); ++i)
        if (!m_tiles.m_wall[i].bPresent) absent.push_back(i);
    list("wallabsent", absent);
    return out;
}

void CMJGameScene2::DumpTable(const char* stage) {
    const char* path = std::getenv("HQLV_TABLE_DUMP");
    if (!path || !*path) return;
    FILE* f = std::fopen(path, "a");
    if (!f) {
        engine::WriteLog("table dump: cannot open %s", path);
        return;
    }
    const std::string text = FormatTable(stage);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

void CMJGameScene2::TakeTableShot(const char* what) {
    const char* folder = std::getenv("HQLV_TABLE_SHOTS");
    if (!folder || !*folder || !m_pHost) return;
    // The first meld of a deal only.
    if (std::strcmp(what, "meld") == 0) {
        if (m_tableLog.meldShot) return;
        m_tableLog.meldShot = 1;
    }
    // The pictures are taken once the engine has drawn the change: the result a second
    // after it arrives, when its effects have played.
    m_pHost->SaveTableShot(std::string(folder) + "/table-" + what + ".png",
                           std::strcmp(what, "result") == 0 ? 1000 : 300);
}

}  // namespace hqlv::mahjong
