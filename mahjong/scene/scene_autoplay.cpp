// The end of a turn's countdown: the own turn played when the player let it run out, a
// held-back claim finished, the count of missed turns that switches automatic play on, and
// the draw or discard sent for the seat before the own seat when it stays silent.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "engine/core/engine_log.h"
#include "engine/core/entity_kinds.h"
#include "engine/core/kernel.h"
#include "engine/render/plane.h"
#include "mahjong/scene/game_info.h"
#include "mahjong/scene/game_scene.h"
#include "mahjong/scene/scene_effects.h"
#include "mahjong/scene/tool_button.h"

namespace hqlv::mahjong {

namespace {

void Put(std::span<uint8_t> body, size_t word, int32_t v) {
    if ((word + 1) * 4 <= body.size()) std::memcpy(body.data() + word * 4, &v, 4);
}

int DealWord(CMJSceneHost* host, size_t word) {
    CMJGameInfo* info = host ? host->GetGameInfo() : nullptr;
    return info ? info->RoundWord(word) : 0;
}

constexpr int kNoticeColour = 4953725;
// The mouse manager's left-button events that end automatic play.
constexpr uint32_t kMouseClick = 8, kMouseDoubleClick = 9;

// A request on behalf of the seat before the own seat: that seat's user id and chair in the
// head, then the kind word, the table, the own chair and the own user id.
void PutSilentSeatHead(CMJSceneHost& host, int chair, int32_t kind, std::span<uint8_t> body) {
    Put(body, 0, host.GetSeatUserID(chair));
    Put(body, 1, host.GetRoomID());
    Put(body, 2, host.GetTableNo());
    Put(body, 3, chair);
    Put(body, 4, kind);
    Put(body, 5, host.GetTableNo());
    Put(body, 6, host.GetChairNo());
    Put(body, 7, host.GetUserID());
}

}  // namespace

uint32_t CMJGameScene2::SilentSeatDelayMs(int grace, int claim, bool withClaim) {
    // The words come from the server: negative ones count as 0, and the sum is kept in 64
    // bits so that no value wraps the timer into a short or a negative one.
    int64_t seconds = int64_t(std::max(grace, 0)) + 2;
    if (withClaim) seconds += std::max(claim, 0);
    return uint32_t(std::min<int64_t>(seconds * 1000, 0x7FFFFFFF));
}

void CMJGameScene2::OnCountdownEnd() {
    if (!m_pHost || m_pHost->GetCmdField8()) return;
    ShowAllClaimButtons(0);
    // The deal's end, the table's stop and an aborted game stop the clock timer: an end that
    // comes after them has no turn left to play or to count.
    if (!m_pHost->IsClockTimerRunning()) return;
    const int pos = QZ_GetPointTo();
    const int grace = DealWord(m_pHost, 40);
    // The seat before the own seat: it has not drawn, or it drew and did not play.
    if (pos == 0 && !m_tiles.m_hands[0][0].bPresent)
        SetTurnTimer(10, SilentSeatDelayMs(grace, DealWord(m_pHost, 39), !IsClaimWindowOpen()));
    if (pos == 0 && m_tiles.m_hands[0][0].bPresent)
        SetTurnTimer(11, SilentSeatDelayMs(grace, 0, false));
    if (!m_bPending && m_nSelectMode == 3) ClearChoiceMarks();
    if (m_bPending) {
        switch (m_nSelectMode) {
            case 1:
                SetSelectMode(0);
                ConfirmPengClaim();
                return;
            case 2: {
                SetSelectMode(0);
                if (!HandFlag(kOwnView)) {
                    ConfirmGangClaim();
                    m_bPending = 0;
                    return;
                }
                int32_t picked[kHandRecords];
                if (GetSelectedOwnCodes(picked) == 1) {
                    int32_t others[3];
                    OtherCopies(picked[0], others);
                    const int at = FindLastTile(kOwnView, others[0]);
                    if (at >= 0 && m_tiles.m_hands[kOwnView][at].nMeld == kMeldPeng &&
                        DeclareAddedGang(picked[0]))
                        return;
                }
                m_bPending = 0;
                return;
            }
            case 4:
                SetSelectMode(0);
                OnBtnHu();
                m_bPending = 0;
                return;
            default:
                break;  // 3: the chi below
        }
    }
    if (pos == 6 && m_nSelectMode == 2) {
        SetSelectMode(0);
        ClearChoiceMarks();
        BindHand(kOwnView);
    }
    if (m_bPending && m_nSelectMode == 3) {
        if (ConfirmChiClaim()) return;
        // The chi is not taken: the own seat draws instead.
        m_bPending = 0;
        ClearChoiceMarks();
        BindHand(kOwnView);
        m_nSelectMode = 0;
        SetCountdownSound(1);
        SetCountdown(DealWord(m_pHost, 18));
        DrawTile();
        return;
    }
    if (pos != 6) return;
    if (HandFlag(kOwnView)) {
        ClearChoiceMarks();
        m_bPending = 0;
        if (IsFlowerTile(m_tiles.m_hands[kOwnView][0].nCode))
            PlayFlower(0);
        else
            DiscardTile(0);
        if (++m_nTimeouts >= 3) ToggleAutoPlay();
        return;
    }
    // The discard before the own turn was not claimed: the own seat draws.
    if (!m_tiles.m_showcase[0].bPresent) return;
    m_nSelectMode = 0;
    SetCountdownSound(1);
    SetCountdown(DealWord(m_pHost, 18));
    DrawTile();
}

void CMJGameScene2::OnTurnTimer(uint32_t id) {
    if (id != 10 && id != 11) return;
    if (!GetTurnTimer(id)) return;
    if (m_pHost) m_pHost->KillViewTimer(id);
    m_turnTimers[id - 10] = 0;
    if (!m_pHost || !m_pHost->IsPlaying() || m_pHost->GetCmdField8()) return;
    // Only when nothing changed since the countdown ended: the seat before the own seat
    // still holds the turn, in the same state, with no time left; and no own claim waits for
    // the server's answer, which decides the turn itself. A claim waits by its pending word
    // together with its selection mode: a pending word left behind without one (the repeat at
    // the countdown's end was refused, or a discard closed the claim window) has no claim that
    // anything could still finish, and holding the request back for it would leave a silent
    // seat before the own seat, and with it the own turn, waiting for good.
    const bool drawn = m_tiles.m_hands[0][0].bPresent != 0;
    const bool claimWaits = m_bPending != 0 && m_nSelectMode != 0;
    if (QZ_GetPointTo() != 0 || GetCountdown() != 0 || claimWaits || drawn != (id == 11)) return;
    if (id == 10)
        SendAutoAction10();
    else
        SendAutoAction11();
}

void CMJGameScene2::SendAutoAction10() {
    CMJRequests* req = m_pHost ? m_pHost->GetRequests() : nullptr;
    if (!req) return;
    uint8_t body[96] = {};
    PutSilentSeatHead(*m_pHost, ViewToChair(0), 0, body);
    std::string error;
    req->SendDrawTileNoWait(error, body);
}

void CMJGameScene2::SendAutoAction11() {
    CMJRequests* req = m_pHost ? m_pHost->GetRequests() : nullptr;
    if (!req) return;
    uint8_t body[104] = {};
    PutSilentSeatHead(*m_pHost, ViewToChair(0), 1, body);
    const std::string id = m_pHost->GetMachineID();
    std::memcpy(body + 32, id.data(), std::min<size_t>(32, id.size()));
    // No tile: the server chooses the one the silent seat plays.
    Put(body, 25, 0);
    std::string error;
    req->SendPlayTileNoWait(error, body);
}

int CMJGameScene2::IsAutoPlayOn() const {
    if (engine::Entity* marker = EntityOf(m_made.autoPlay)) return marker->IsVisible() ? 1 : 0;
    // The window-drawn table has no marker to show: its word stands for it.
    if (m_nSceneMode == 1) return m_bAutoPlayMark;
    return m_nTimeouts >= 3 ? 1 : 0;
}

void CMJGameScene2::StartAutoPlayBlink() {
    engine::Entity* e = EntityOf(m_made.autoPlay);
    engine::GameKernel* k = Kernel();
    if (!e || !k || e->GetType() != engine::ENT_PLANE) return;
    auto* plane = static_cast<engine::PlaneEntity*>(e);
    const engine::PlaneState* st = plane->State();
    if (!st || st->width < 1 || st->height < 1) return;
    k->CancelAppliesOfEntity(e->GetId(), ~0u, 0);
    // The badge's face colour, a little inside its left edge, is the colour that blinks.
    const uint32_t px =
        st->pixels[size_t(st->height / 2) * size_t(st->width) + size_t(std::min(4, st->width - 1))];
    engine::Apply a = engine::MakeApplyTimer(100, 0, engine::MessageData(), 0);
    a.p[6] = ((px & 0xFF) << 16) | (px & 0xFF00) | ((px >> 16) & 0xFF);
    a.callback = &BlinkPlaneColour;
    a.level = 2;
    k->PostApply(e->GetId(), std::move(a));
}

void CMJGameScene2::ToggleAutoPlay() {
    if (!m_pHost || m_pHost->GetCmdField8()) return;
    engine::Entity* marker = EntityOf(m_made.autoPlay);
    engine::GameKernel* k = Kernel();
    char line[256];
    if (!IsAutoPlayOn()) {
        m_bAutoPlayMark = 1;
        if (marker) {
            marker->Show();
            marker->ApplyTransform();
        }
        // Every level, as the off branch stops the marker: the tip's fade-in runs at level 2,
        // and a cancel of level 0 alone would let it go on coming up.
        if (k && m_made.note) k->CancelAppliesOfEntity(m_made.note, ~0u, 0);
        std::snprintf(line, sizeof line,
                      "<c=%d>[系统]<c=%d>游戏已进入系统托管状态，点击鼠标左键解除!\r\n", 255,
                      kNoticeColour);
        m_pHost->AppendChatLine(line);
        m_nTimeouts = 3;
        // A left click anywhere on the table ends automatic play, as the notice says; the
        // right button (which drags the own tiles) leaves it on. Every left release fires the
        // table's click, and a second press soon after a first its double click: the first
        // of them that comes ends automatic play and lets both go. The toolbar button's own
        // event would switch it on again right after the same click: until it ends, the
        // click is only the table's.
        SetMouseEvent(kMouseClick, 210034, 0);
        SetMouseEvent(kMouseDoubleClick, 210035, 0);
        if (CMJToolButton* b = AutoPlayButton()) b->SetClickCode(0);
        return;
    }
    m_bAutoPlayMark = 0;
    if (marker) {
        // Its blink ends with it.
        if (k) k->CancelAppliesOfEntity(marker->GetId(), ~0u, 0);
        marker->Hide();
        marker->ApplyTransform();
    }
    std::snprintf(line, sizeof line, "<c=%d>[系统]<c=%d>系统托管终止!\r\n", 255, kNoticeColour);
    m_pHost->AppendChatLine(line);
    m_nTimeouts = 0;
    SetMouseEvent(kMouseClick, 0, 0);
    SetMouseEvent(kMouseDoubleClick, 0, 0);
    if (CMJToolButton* b = AutoPlayButton()) b->SetClickCode(210033);
}

CMJToolButton* CMJGameScene2::AutoPlayButton() {
    engine::GameKernel* k = Kernel();
    engine::ControlData* c = k ? k->FindControl(m_made.toolButtons[3]) : nullptr;
    return c ? dynamic_cast<CMJToolButton*>(c->owner) : nullptr;
}

}  // namespace hqlv::mahjong
