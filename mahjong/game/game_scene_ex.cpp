// This game's layer of the table scene: its start-up size, the automatic player's weights
// and discard choice, the end of a deal (winner's voice, silver tallies, result dialog),
// the presence notices and the placement and slide of the button frames.
#include "mahjong/game/game_scene_ex.h"

#include <cstdio>
#include <cstring>

#include "engine/core/button_frame.h"
#include "engine/core/engine_log.h"
#include "engine/core/kernel.h"
#include "framework/app/game_app.h"
#include "framework/panes/game_frame.h"
#include "mahjong/app/mj_app.h"
#include "mahjong/game/game_info_ex.h"
#include "mahjong/game/result_dlg.h"
#include "mahjong/game/silver_tally.h"
#include "mahjong/panes/mj_frame.h"
#include "mahjong/panes/mj_table_view.h"
#include "mahjong/scene/game_info.h"
#include "platform/core/profile.h"

namespace hqlv::mahjong {

namespace {

constexpr int kMoveSpeed = 50;
constexpr int kMoveStepMs = 30;

int32_t WordOf(MJData body, size_t i) {
    int32_t v = 0;
    std::memcpy(&v, body.data() + i * 4, 4);
    return v;
}

}  // namespace

void CGameSceneEx::OnAttach() {
    SetFixedLogicalSize(kSceneWidth, kSceneHeight);
}

void CGameSceneEx::LoadAutoPlayWeights() {
    const std::string ini = m_pHost ? m_pHost->GetGameIniPath() : std::string();
    // A missing file or key keeps the default; any integer, 0 or negative too, is taken.
    AutoPlayWeights w;
    struct Key {
        const char* name;
        int32_t AutoPlayWeights::*field;
    };
    static constexpr Key kKeys[] = {
        {"weight_shape", &AutoPlayWeights::shape}, {"weight_Jiang", &AutoPlayWeights::jiang},
        {"weight_PnPn", &AutoPlayWeights::pnpn},   {"weight_Shun", &AutoPlayWeights::shun},
        {"weight_258", &AutoPlayWeights::w258},    {"weight_258Jiang", &AutoPlayWeights::w258Jiang},
        {"weight_Feng", &AutoPlayWeights::feng},   {"weight_Gang", &AutoPlayWeights::gang},
        {"weight_7dui", &AutoPlayWeights::qidui},  {"weight_use", &AutoPlayWeights::use},
    };
    for (const Key& k : kKeys) w.*k.field = platform::getProfileInt("AI", k.name, w.*k.field, ini);
    m_weights = w;
}

int CGameSceneEx::ChooseDiscard() {
    DiscardContext ctx;
    for (int c = 0; c < 4; ++c) ctx.chairViews[size_t(c)] = ChairToView(c);
    ctx.maxHandTiles = GetMaxHandTiles();
    ctx.handSlotCount = GetHandSlotCount();
    return mahjong::ChooseDiscard(m_tiles, ctx, *this, m_weights);
}

int CGameSceneEx::ScoreHand(const CandidateHand& hand, const UnseenCounts& unseen,
                            const ShapeCounts& exposed, int skip) const {
    return mahjong::ScoreHand(m_weights, hand, unseen, exposed, skip);
}

bool CGameSceneEx::AutoPlayShown() const {
    if (IsAutoPlayOn()) return true;
    const engine::Entity* notice = EntityOf(m_made.autoPlay);
    return notice && notice->IsVisible();
}

void CGameSceneEx::OnGameEnd(MJData result) {
    CMJGameScene2::OnGameEnd(result);
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    if (!info) return;
    const int winner = info->ResultWord(170);
    if (winner >= 0 && winner < 4)
        PlayActionSound(ChairToView(winner), "hu1");
    else if (winner != -1)
        engine::WriteLog("结算: 胡牌座位%d无效", winner);
    std::array<int32_t, kTallyChairs> change{};
    for (int c = 0; c < kTallyChairs; ++c) change[size_t(c)] = info->ResultWord(80 + size_t(c));
    AddDealSilver(change);
    if (AutoPlayShown()) return;
    const auto* infoEx = dynamic_cast<const CGameInfoEx*>(info);
    CGameResultDlg dialog(info->GetResultRecord(),
                          infoEx ? infoEx->GetResultEntries() : std::span<const uint8_t>(),
                          nullptr);
    RunResultDialog(dialog);
}

void CGameSceneEx::RunResultDialog(CGameResultDlg& dialog) {
    // Over the table view, as its child window.
    auto* app = dynamic_cast<CMJGameApp*>(framework::CGameApp::Current());
    CMJGameFrameWnd* frame = app ? app->GetMJFrame() : nullptr;
    if (QWidget* view = frame ? frame->GetTablePane() : nullptr)
        dialog.setParent(view, dialog.windowFlags());
    dialog.exec();
}

void CGameSceneEx::OnPlayerBackOrLeave(MJData record) {
    if (record.size() < 20) {
        engine::WriteLog("229500: 记录太短(%zu字节)", record.size());
        return;
    }
    const int chair = WordOf(record, 3), kind = WordOf(record, 4);
    // The mahjong layer knows a player back (1) and gone (2); this game adds kind 6.
    if (kind == 6) {
        OnPlayerFollowedDealer();
    } else if ((kind == 1 || kind == 2) && (chair < 0 || chair >= 8)) {
        engine::WriteLog("229500: 座位%d无效", chair);
    } else {
        CMJGameScene2::OnPlayerBackOrLeave(record);
    }
}

int CGameSceneEx::ToolbarListX() const {
    return m_systemPieces.size() >= 2 ? m_systemPieces[1].sx : 0;
}

void CGameSceneEx::RestoreLayerState() {
    RestoreHeldCounts();
    LayoutToolbar();
    ShowAllClaimButtons(0);
    ShowToolbars(!IsLookerOn());
}

void CGameSceneEx::LayoutToolbar() {
    engine::GameKernel* k = Kernel();
    if (!k) return;
    const int W = GetScreenWidth(), H = GetScreenHeight();
    MoveControl(k->FindControl(m_made.start), W / 2, 6 * H / 7);
    MoveControl(k->FindControl(m_made.ask), 40, H - 16);

    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    const bool chi = info && info->RoundWord(28) != 0;
    if (engine::ButtonFrame* bar = m_made.operationBar) {
        if (!chi && bar->Slots().size() > 4) bar->OffButton(4);
        const engine::ButtonSkin skin = SkinOf(m_operationPieces);
        bar->SetSlotCount(chi ? 5 : 4, &skin, 0);
        if (chi)
            bar->OnButton(4, m_made.chi);
        else
            MoveControl(k->FindControl(m_made.chi), -100, -100);
    }

    MJRect own;
    GetHandRect(kOwnView, own);
    const int c7 = GetCanvasInfo7();
    const bool small = m_pHost && m_pHost->IsSmallScreen();
    engine::ButtonFrame* tools = m_made.systemBar;
    if (tools && m_pHost && !m_pHost->GetCmdField8()) {
        if (engine::Entity* f = tools->FrameEntity()) {
            if (small) {
                MoveEntity(f, ToolbarListX() - f->GetWidth() / 2,
                           H - f->GetHeight() / 2 - (c7 - own.top));
                tools->SetEvent(2, 210052, 0);
                tools->SetEvent(3, 210053, 0);
            } else {
                MoveEntity(f, f->GetWidth() / 2 + 50, H - f->GetHeight() / 2 - 4);
                // Enter and leave come back to the bar's own control, which fades the bar in
                // with the pointer and out when it goes (style 3). The frame's entity id names
                // no control of the bar (entities and controls are counted apart): sent there,
                // they reached whatever control bore that number, in the program the 截屏
                // button, which the pointer on the bar's caps and gaps lit, and the bar never
                // faded.
                tools->SetEvent(2, 2, tools->ControlId());
                tools->SetEvent(3, 3, tools->ControlId());
                tools->SetStyle(3);
            }
            tools->Layout();
        }
        SlideToolbarIn();
        LogToolbar();
    }

    if (engine::ButtonFrame* bar = m_made.operationBar)
        if (engine::Entity* f = bar->FrameEntity()) {
            MJRect right;
            GetHandRect(2, right);
            const int h = m_metrics.claimCell[1];
            MoveEntity(f, W - f->GetWidth() / 2 - (right.right - right.left) - h / 2,
                       H - (c7 - own.top) - h / 2 - 10);
            bar->Layout();
            LogClaimFrame();
        }
}

void CGameSceneEx::SlideToolbarOut() {
    engine::ButtonFrame* tools = m_made.systemBar;
    engine::Entity* f = tools ? tools->FrameEntity() : nullptr;
    if (!f) return;
    if (m_pHost && m_pHost->IsSmallScreen()) {
        PostKernelMessage(f->GetId(), 3, 1);
        MoveTo(f, 0, f->GetWidth() / 2, f->GetY(), kMoveSpeed, kMoveStepMs, 0,
               engine::MessageData(), 0);
        if (engine::Entity* grip = EntityOf(m_made.arrow)) ShowEntity(grip, false);
    } else {
        AnimateButtonFrame(tools->ControlId(), 0.1, 1.0);
    }
    m_bToolbarOut = 1;
}

void CGameSceneEx::SlideToolbarIn() {
    m_bToolbarOut = 1;
    engine::ButtonFrame* tools = m_made.systemBar;
    engine::Entity* f = tools ? tools->FrameEntity() : nullptr;
    if (f && m_pHost && m_pHost->IsSmallScreen())
        MoveTo(f, 0, ToolbarListX() - f->GetWidth() / 2, f->GetY(), kMoveSpeed, kMoveStepMs, 210043,
               engine::MessageData(), 0);
    m_bToolbarOut = 0;
}

void CGameSceneEx::OnToolbarPointer(int over) {
    engine::ButtonFrame* tools = m_made.systemBar;
    engine::Entity* f = tools ? tools->FrameEntity() : nullptr;
    if (!f) return;
    const bool inside = IsMouseOverEntity(f) != 0;
    if (over && inside && !m_bToolbarOut)
        SlideToolbarOut();
    else if (!over && !inside && m_bToolbarOut)
        SlideToolbarIn();
}

void CGameSceneEx::OnMouseMove(uint32_t flags, int x, int y) {
    CMJGameScene2::OnMouseMove(flags, x, y);
    // The frame hears the pointer leave only from its own face: its buttons are controls of
    // their own, so a pointer that went straight off a button left the bar out over the table
    // until it crossed the bar's face again.
    if (m_bToolbarOut && m_pHost && m_pHost->IsSmallScreen()) OnToolbarPointer(0);
}

void CGameSceneEx::OnToolbarSlideInEnd() {
    engine::ButtonFrame* tools = m_made.systemBar;
    engine::Entity* f = tools ? tools->FrameEntity() : nullptr;
    if (!f || !f->IsVisible()) return;
    // The slide took the bar past the screen's left edge; it comes back with its centre at
    // half the list's x, its right half in sight for the pointer to find.
    MoveEntity(f, ToolbarListX() / 2, f->GetY());
    tools->Layout();
    if (engine::Entity* grip = EntityOf(m_made.arrow)) ShowEntity(grip, true);
}

int CGameSceneEx::OnOtherMessage(uint32_t code, engine::MessageData&, uint32_t) {
    if (code == 210064) QuitProgram();
    return 1;
}

void CGameSceneEx::QuitProgram() {
    framework::CGameFrameWnd::EndEventLoops();
}

}  // namespace hqlv::mahjong
