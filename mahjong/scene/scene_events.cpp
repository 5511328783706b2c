// The engine messages and timers of the table scene: the four dispatchers, the toolbar's
// operations and the seat refresh of the table-drawing object.
#include <cstdio>
#include <filesystem>

#include "engine/core/engine_log.h"
#include "engine/core/entity_kinds.h"
#include "engine/core/kernel.h"
#include "engine/core/mouse_manager.h"
#include "mahjong/scene/game_scene.h"
#include "mahjong/scene/table_draw.h"
#include "platform/core/clock.h"

namespace hqlv::mahjong {

namespace {

bool InRange(uint32_t code, uint32_t low, uint32_t high) {
    return code - low <= high - low;  // unsigned: below low wraps past the range
}

constexpr uint32_t kHandCursor = 32649;
constexpr uint32_t kArrowCursor = 32512;

}  // namespace

int CMJGameScene2::OnMessage(uint32_t code, engine::MessageData& data, uint32_t target) {
    if (InRange(code, 210041, 210063)) return OnEngineNotify(code, data, target);
    if (InRange(code, 210023, 210040)) return OnControlEvent(code, data, target);
    if (InRange(code, 210001, 210009)) return OnSystemEvent(code, data, target);
    if (InRange(code, 210010, 210022)) return OnTileEvent(code, data, target);
    return OnOtherMessage(code, data, target);
}

int CMJGameScene2::OnTileEvent(uint32_t code, engine::MessageData& data, uint32_t) {
    MJTileControl* tc = TileControl(int(data.word()));
    if (!tc || !tc->inUse || !tc->binding) return 1;
    MJBinding* b = tc->binding;
    MJTileInfo* r = GetTileRecord(b->area, b->view, b->index);
    engine::Entity* e = EntityOf(b->entityId);
    const bool looker = m_pHost && m_pHost->GetCmdField8();
    switch (code) {
        case 210011:
        case 210012:
            // The looker-on's hover light: the new alpha reaches the canvas at once.
            if (e) {
                e->SetAlpha(code == 210011 ? 0.8 : 1.0);
                e->ApplyTransform();
            }
            SetCursorById(code == 210011 ? kHandCursor : kArrowCursor);
            if (code == 210011) m_geometry.PlaySoundRes(29100, 0x11);
            return 1;
        default:
            break;
    }
    // A looker-on's tiles only light up: the rest is the player's.
    if (looker) return 1;
    switch (code) {
        case 210013:
            // The pointer comes onto an own tile: a choosable one rises.
            if (b->selected != 1 && b->locked == 0) {
                LiftOwnTile(e, GetOwnHandMidY());
                SetCursorById(kHandCursor);
                m_geometry.PlaySoundRes(29100, 0x11);
            }
            return 1;
        case 210014:
            // The pointer leaves it: back to its resting height (where a locked tile, which
            // never rose, already stands), the arrow cursor and the tick of leaving.
            if (b->selected != 1) {
                LiftOwnTile(e, GetOwnHandMidY2());
                SetCursorById(kArrowCursor);
                m_geometry.PlaySoundRes(29100, 0x11);
            }
            return 1;
        case 210021:
            // A release always reaches the drop, which ends a drag that a lock or a waiting
            // request overtook.
            OnTileDrop(r, b);
            return 1;
        default:
            break;
    }
    // A locked tile takes no click and no drag.
    if (!r || r->bLocked) return 1;
    switch (code) {
        case 210016:
            OnTileClickGang(r, b);
            break;
        case 210017:
            OnTileClickSelect(r, b);
            break;
        case 210018:
            OnTileClickDiscard(r, b);
            break;
        case 210019:
            OnTileDragStart(r, b);
            break;
        case 210020:
            OnTileDragMove(r, b);
            break;
        default:
            break;  // 210015: select mode 1 has no click in this game
    }
    return 1;
}

int CMJGameScene2::OnControlEvent(uint32_t code, engine::MessageData& data, uint32_t) {
    // Any button but a hover ends the count of missed turns.
    if (code != 210036 && code != 210040) m_nTimeouts = 0;
    switch (code) {
        case 210023:
            OnBtnStart();
            break;
        case 210024:
            AskToSeeTiles();
            break;
        case 210025:
            OnBtnChi();
            break;
        case 210026:
            OnBtnPeng();
            break;
        case 210027:
            OnBtnGang();
            break;
        case 210028:
            OnBtnHu();
            break;
        case 210029:
            OnBtnPass();
            break;
        case 210030:
            ToggleMusic();
            break;
        case 210031:
            NextSkin();
            break;
        case 210032:
            SortHandButton();
            break;
        case 210033:
        case 210034:
        case 210035:
            ToggleAutoPlay();
            break;
        case 210036: {
            m_geometry.PlaySoundRes(29011, 1);
            engine::GameKernel* k = Kernel();
            engine::ControlData* c = k ? k->FindControl(uint32_t(data.word())) : nullptr;
            if (c && c->entityId)
                if (engine::Entity* e = EntityOf(c->entityId)) {
                    e->SetAlpha(1.0);
                    e->ApplyTransform();
                }
            break;
        }
        case 210037:
            SaveScreenshot();
            break;
        case 210038:
            ChangeTable();
            break;
        case 210039:
            RequestTableOption();
            break;
        default:
            break;  // 210040
    }
    return 1;
}

int CMJGameScene2::OnEngineNotify(uint32_t code, engine::MessageData& data, uint32_t) {
    switch (code) {
        case 210042:
            QZ_Moveing(data);
            return 0;
        case 210043:
            OnToolbarSlideInEnd();
            break;
        case 210044:
        case 210045:
        case 210046:
        case 210047:
            if (m_pHost) m_pHost->AppendChatLine("111\r\n");
            break;
        case 210048:
        case 210049:
        case 210050:
        case 210051:
            if (m_pHost) m_pHost->AppendChatLine("222\r\n");
            break;
        case 210052:
        case 210053:
            OnToolbarPointer(code == 210052);
            break;
        case 210054:
            SetCursorById(kArrowCursor);
            break;
        case 210055:
            // The toolbar button's tip text travels as a heap text.
            if (data.owned() && data.block())
                ShowFloatingTip(static_cast<const char*>(data.block()));
            return 0;
        case 210056:
            HideFloatingTip();
            return 0;
        case 210058:
            OnDrawnTileLanded();
            break;
        case 210061:
            BindHand(kOwnView);
            break;
        case 210057:
            if (m_pHost) {
                const engine::MouseState* mouse = GetMouseState();
                char line[32];
                std::snprintf(line, sizeof line, "%d\r\n", mouse ? int(mouse->bits) : 0);
                m_pHost->AppendChatLine(line);
            }
            break;
        case 210059:
            OnOwnDiscardEnd();
            break;
        case 210060:
            OnSortSweepEnd();
            break;
        case 210062:
            ReleaseRecordBinding(GetTileRecord(kAreaHand, kOwnView, 0));
            BindHand(kOwnView);
            return 0;
        default:
            (void)data;
            break;
    }
    return 1;
}

void CMJGameScene2::OnTimer(uint32_t id) {
    switch (id) {
        case 7:
            if (m_pHost) m_pHost->KillViewTimer(7);
            if (engine::GameKernel* k = Kernel())
                SetButtonEnabled(k->FindControl(m_made.ask), true);
            return;
        case 10:
        case 11:
            OnTurnTimer(id);
            return;
        case kMarkedTileTimer:
        case kDiceTimer:
            // The window-drawn table's own; the engine's table has none.
            if (m_nSceneMode == 1) OnGdiTimer(id);
            return;
        default:
            // Mode 1's waiting engine messages have timers of their own.
            if (m_nSceneMode == 1 && id >= kDeferredTimer && id < kDeferredTimer + kDeferredTimers)
                OnDeferredTimer(id);
            // Only the view's turn clock counts down; other foreign ids are not the table's.
            if (id >= 10000 && m_pHost && id == m_pHost->GetClockTimerId()) OnCountdownTimer();
            return;
    }
}

void CMJGameScene2::OnInitDone() {
    SetBackgroundOffset(GetCanvasInfo6(), GetCanvasInfo7());
    LayoutToolbar();
    ReleaseAllBindings();
    Redraw(100);
    GetCanvas()->InvalidateAll();
}

void CMJGameScene2::AskToSeeTiles() {
    // A looker-on who already sees the watched hand has nothing to ask for, also when timer 7
    // has given the button back.
    if (!m_pHost || !m_pHost->GetCmdField8() || m_pHost->TestCmdField13Bit8() ||
        IsHandKnown(kOwnView) || !m_pHost->IsPlaying())
        return;
    m_pHost->PlaySoundId(29010, 5);
    m_pHost->SetViewTimer(7, 15000);
    if (engine::GameKernel* k = Kernel()) SetButtonEnabled(k->FindControl(m_made.ask), false);
    if (CMJRequests* req = m_pHost->GetRequests()) req->SendKanPaiAsk();
    char line[512];
    std::snprintf(line, sizeof line, " <c=%d>请求%s给我看牌\r\n", 0x2C5858,
                  m_pHost->GetSeatName(m_pHost->GetChairNo()).c_str());
    m_pHost->AppendChatLine(line);
}

void CMJGameScene2::SaveScreenshot() {
    if (!m_pHost) return;
    const platform::LocalTime t = platform::localTime();
    char name[256];
    std::snprintf(name, sizeof name, "%s_%d_%d%d_%d", m_pHost->GetGameCode().c_str(),
                  m_pHost->GetUserID(), t.year, t.month * 100 + t.day,
                  t.hour * 10000 + t.minute * 100 + t.second);
    const std::string folder = m_pHost->GetProgramFolder() + "temp/";
    const std::string path = folder + name + ".jpg";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    // The line only when the file is there: a missing folder or a failed write is logged.
    if (ec || !m_pHost->SaveScreenShotJpeg(path, 75)) {
        engine::WriteLog("游戏截图保存失败:%s", path.c_str());
        return;
    }
    char line[1024];
    std::snprintf(line, sizeof line, "<c=255>[系统]：<c=%d>游戏截图已保存到%s\r\n", 0xFF0000,
                  path.c_str());
    m_pHost->AppendChatLine(line);
}

void CMJGameScene2::ChangeTable() {
    if (!m_pHost || !m_pHost->TestCmdField13(0x40 | 0x80) || m_pHost->TestCmdField13(0x2)) return;
    std::string error;
    if (m_pHost->RequestChangeTable(error)) ShowStartButton();
}

void CMJGameScene2::RequestTableOption() {
    if (!m_pHost || !m_pHost->TestCmdField13(0x2)) return;
    std::string error;
    m_pHost->RequestTableOption(error);
}

void CMJGameScene2::ToggleMusic() {
    engine::GameKernel* k = Kernel();
    if (!k) return;
    engine::SoundPlayer& player = k->GetSoundPlayer();
    if (player.MusicOpen() && player.MusicPlaying()) {
        player.CloseMusic();
        m_bMusic = 0;
        return;
    }
    player.OpenMusic("default.mp3");
    player.PlayMusic();
    m_bMusic = 1;
}

void CMJGameScene2::NextSkin() {
    int index = m_nStyle;
    for (int attempt = 0; attempt < 2; ++attempt) {
        index = (index + 1) % 3;
        const std::string& name = m_styleNames[size_t(index)];
        if (name.empty() || name == m_styleNames[size_t(m_nStyle)]) continue;
        LoadSkinPictures(name);
        m_nStyle = index;
        RefillFrames();
        Redraw(100);
        if (engine::Canvas* canvas = GetCanvas()) canvas->InvalidateAll();
        // The music comes from the new style's sound folder.
        engine::GameKernel* k = Kernel();
        if (k && k->GetSoundPlayer().MusicPlaying()) {
            k->GetSoundPlayer().OpenMusic("default.mp3");
            k->GetSoundPlayer().PlayMusic();
        }
        PostControlMessage(210056, engine::MessageData(), 0, 0);
        return;
    }
}

void CMJGameScene2::GetButtonPicture(MJRect& out, uint32_t code) const {
    // The claim buttons cut the claim strip (peng, gang, chi, hu, pass); the toolbar
    // buttons cut cells 2-5 of the tool strip.
    struct Cut {
        uint32_t code;
        int cell;
        bool tool;
    };
    static constexpr Cut kCuts[] = {{210026, 0, false}, {210027, 1, false}, {210025, 2, false},
                                    {210028, 3, false}, {210029, 4, false}, {210030, 2, true},
                                    {210031, 3, true},  {210032, 4, true},  {210033, 5, true}};
    for (const Cut& c : kCuts) {
        if (c.code != code) continue;
        const int* cell = c.tool ? m_metrics.toolCell : m_metrics.claimCell;
        out = {c.cell * cell[0], 0, (c.cell + 1) * cell[0], cell[1]};
        return;
    }
    out = {};  // no picture for this code
}

void CMJGameScene2::SetButtonEnabled(engine::ControlData* control, bool on) {
    if (!control) return;
    engine::Entity* e = EntityOf(control->entityId);
    if (on) {
        control->SetEvent(2, 210036, 0, control->id);
        for (uint32_t slot : {3u, 4u, 5u, 8u}) control->SetEventEx(slot, 0x23, 0, 0);
    } else {
        for (uint32_t slot : {2u, 3u, 4u, 5u, 8u}) control->SetEvent(slot, 0, 0, 0);
    }
    if (!e) return;
    // The look is what the player reads the offer by: it reaches the canvas at once, also
    // when the button was lit by the pointer (hover, press) as it goes off.
    e->SetAlpha(on ? 0.8 : 0.3);
    if (e->GetType() == engine::ENT_IMAGE)
        static_cast<engine::ImageEntity*>(e)->SetColorWord(on ? 0xFF : 0xFF00FF);
    e->ApplyTransform();
}

void CMJGameScene2::OnTableDrawReset() {
    if (!m_pHost) return;
    CMJTableDraw* draw = m_pHost->GetTableDraw();
    if (!draw) return;
    draw->ClearSeats();
    draw->SetAllHighlights(0);
    for (int chair = 0; chair < m_geometry.GetPlayerCount(); ++chair) {
        const int view = ChairToView(chair);
        if (view >= 0) draw->DrawSeatInfo(view);
    }
    // The eight seated records by their chair; a chair with no view (past the table's
    // seats, or before the own seat is known) names no seat and is passed over.
    for (int chair = 0; chair < 8; ++chair) {
        const int user = m_pHost->GetSeatUserID(chair);
        const std::string name = m_pHost->GetSeatName(chair);
        if (!user || name.empty()) continue;
        const int view = ChairToView(chair);
        MJSeatRecord* seat = draw->SeatMutable(view);
        if (!seat) continue;
        seat->name = name;
        draw->DrawSeatInfo(view);
    }
}

void CMJGameScene2::GetCentreRect(MJRect& out) const {
    const int w = GetScreenWidth(), h = GetScreenHeight();
    out.left = w / 2 - GetCentreWidth() / 2;
    out.top = h / 2 - GetCentreHeight() / 2 - GetCentreLift();
    out.right = out.left + GetCentreWidth();
    out.bottom = out.top + GetCentreHeight();
}

void CMJGameScene2::GetStakeTextRect(MJRect& out) const {
    MJRect centre;
    GetCentreRect(centre);
    // The clock square: 65 wide, 10 inside the centre's left edge; the text starts the same
    // inset to its right.
    const int clockLeft = centre.left + 10;
    out = centre;
    out.left = clockLeft + 65 + (clockLeft - centre.left);
}

}  // namespace hqlv::mahjong
