// The start of the table, the drawn tile's arrival, the notices and the seat panels.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/core/engine_log.h"
#include "engine/core/entity_kinds.h"
#include "engine/core/kernel.h"
#include "engine/core/mouse_manager.h"
#include "engine/render/plane.h"
#include "mahjong/scene/game_info.h"
#include "mahjong/scene/game_scene.h"
#include "mahjong/scene/table_draw.h"
#include "platform/core/text.h"

namespace hqlv::mahjong {

namespace {

constexpr uint32_t kMagentaKey = 0xFF00FF;
constexpr int kSeatIconSize = 30;

}  // namespace

void CMJGameScene2::ShowAskButton() {
    engine::GameKernel* k = Kernel();
    engine::ControlData* c = k ? k->FindControl(m_made.ask) : nullptr;
    if (engine::Entity* e = c ? EntityOf(c->entityId) : nullptr) e->Show();
}

void CMJGameScene2::OnGameStart() {
    engine::WriteLogText("游戏开始!...");
    CMJTableDraw* draw = m_pHost ? m_pHost->GetTableDraw() : nullptr;
    if (draw) draw->LoadSeatData();
    const bool looker = m_pHost && m_pHost->GetCmdField8();
    // A deal in progress is known by the application's playing flag, or for a client that
    // has just come in by the table state the entry brought; a player comes back into a
    // deal only when there is one.
    const bool running = m_pHost && (m_pHost->IsPlaying() || IsDealInProgress());
    const bool rejoin = running && m_pHost->IsRejoining();
    if ((rejoin || looker) && running) {
        SetGameRunning(1);
        RebuildTable();
        if (draw) draw->RefreshAll();
    }
    // Only a seated player who starts afresh is offered the start (or told to wait).
    if (!rejoin && !looker && m_pHost) {
        if (m_pHost->TestCmdField13(0x2) && m_pHost->GetCmdField9() == 0) {
            if (!m_pHost->IsPlaying()) ShowWaitTableNotice();
        } else {
            ShowStartButton();
        }
    }
    if (looker && !m_pHost->TestCmdField13Bit8()) ShowAskButton();
    Redraw(100);
    if (m_bMusic) ToggleMusic();
}

void CMJGameScene2::OnDrawnTileArrived(int tile, int flags, int wallIndex) {
    MJTileInfo* slot = GetTileRecord(kAreaHand, kOwnView, 0);
    slot->bPresent = 1;
    // A replacement after a gang is the own drawn tile now: a win on it names this tile.
    SetOwnDrawnTile(tile);
    // The wall record the tile came from, by its index: the wall records hold no tile codes
    // (all but a face-up one hold 0), so a search by the tile would take the first record
    // still standing for tile 0, a second tile off the wall. An index outside the wall is
    // none: the draw's own answer marked its record already.
    if (IsWallIndexInPlay(wallIndex) && m_tiles.m_wall[wallIndex].bPresent) {
        m_tiles.m_wall[wallIndex].bPresent = 0;
        m_tableLog.wall.push_back(wallIndex);
    }
    BindWallTiles();
    if (MarkFlowerChoices() == 0) {
        CheckOwnGang();
        OfferHu(flags);
    }
    BindHand(kOwnView);
    // The overlay goes on the drawn tile's entity, so the hand is bound first.
    if (IsJokerTile(tile)) FlashJoker();
}

namespace {

// The words of a system event's data: up to eight from a heap block, as many as its maker
// wrote into it, or a plain number as the first. A block of another kind, or one whose length
// its maker did not give, carries no words for these events: what lies past the written
// words was never written, whatever room the allocator gave the block.
// → how many words the data held.
size_t ReadEventWords(const engine::MessageData& data, uint32_t code, int32_t (&words)[8]) {
    if (!data.owned()) {
        words[0] = int32_t(data.word());
        return 1;
    }
    if (data.freeFn() != &std::free) {
        engine::WriteLog("系统事件%u的数据不是记录", code);
        return 0;
    }
    if (data.bytes() == 0) {
        engine::WriteLog("系统事件%u的记录没有长度", code);
        return 0;
    }
    const size_t size = std::min(data.bytes(), sizeof words);
    std::memcpy(words, data.block(), size);
    return size / sizeof words[0];
}

}  // namespace

int CMJGameScene2::OnSystemEvent(uint32_t code, engine::MessageData& data, uint32_t) {
    // The dealing steps and the drawn tile carry a record of eight words that the scene's
    // own animations post; a shorter block fills only its own words.
    int32_t words[8] = {};
    const size_t held = ReadEventWords(data, code, words);
    // The wall record a drawn tile came from, when its record names one: word 3 of a record
    // too short to hold it reads as 0, itself a wall record, which would go with the tile.
    const int wallRecord = held > 3 ? words[3] : -1;
    switch (code) {
        case 210002:
            OnDiceDone();
            break;
        case 210003:
            DealStep(words[0]);
            break;
        case 210004:
            RevealOpeningFlowers();
            break;
        case 210005:
            OnSeatFlowersRevealed(words[0]);
            break;
        case 210006:
            OnDealingFinished();
            break;
        case 210008: {
            // A replacement queued by a table that has gone since (a recovery or a new deal
            // rebuilt it within the wait): the rebuilt hand holds that tile already, or the
            // new deal never drew it. Put in the draw slot, it would show twice and take the
            // place of a tile of the hand. A record that names no table (0) is nobody's wait.
            const uint32_t table = uint32_t(words[kReplacementTableWord]);
            if (table != 0 && table != m_nTableSerial) {
                engine::WriteLog("补牌%d属于已重建的牌桌,不再放入", words[1]);
                break;
            }
            MJTileInfo* slot = GetTileRecord(kAreaHand, kOwnView, 0);
            slot->nCode = words[1];
            slot->bHand = 1;
            slot->bPresent = 1;
            // A replacement's answer names the wall record it was taken from (word 3).
            OnDrawnTileArrived(words[1], words[2], wallRecord);
            break;
        }
        case 210007:
            // A gang's replacement whose tile stands in the draw slot already: its answer
            // names the wall record it was taken from (word 3), as 210008's does. The scene's
            // own gangs queue 210008 (QueueReplacement says why), so this one comes only from
            // outside the scene; a record already marked is left as it is.
            OnDrawnTileArrived(words[1], words[2], wallRecord);
            break;
        default:
            break;
    }
    return 1;
}

void CMJGameScene2::ShowWaitTableNotice() {
    if (m_pHost && m_pHost->IsPlaying()) return;
    static const char kText[] = "请耐心等候系统分桌。。。";
    // A notice that still stands is not doubled by a second wait (211300 after 201302): a
    // second plane over the first would draw the text's soft edges twice, bolder.
    if (const engine::Entity* standing = EntityOf(m_nWaitNotice); standing && standing->IsVisible())
        return;
    engine::WriteLog("系统分桌提示:%s", kText);
    const int length = int(platform::utf8ToGbk(kText).size());
    const int w = length * 30 / 2, h = 30;
    engine::PlaneEntity* p =
        CreatePlaneEntity(4, GetScreenWidth() / 2, GetScreenHeight() * 3 / 4, w, h, kMagentaKey);
    if (!p) return;
    p->SetTextColor(0xFFFFFF);
    p->SetFont(30, 400, "宋体");
    p->DrawText(0, 0, kText);
    p->Show();
    p->ApplyTransform();
    m_nWaitNotice = p->GetId();
    AddPendingItem(p->GetId());
}

void CMJGameScene2::ShowFloatingTip(const std::string& text) {
    auto* tip = static_cast<engine::PlaneEntity*>(EntityOf(m_made.note));
    if (!tip) return;
    const engine::ImageInfo note = GetImageInfo(Picture("说明板"), 0);
    const engine::MouseState* mouse = GetMouseState();
    const int mx = mouse ? mouse->x : 0, my = mouse ? mouse->y : 0;
    tip->Fill();
    tip->PasteImage(0, 0, note.resourceId, note.sx, note.sy, note.width, note.height, 0, 0, 0.0,
                    1.0, kMagentaKey);
    tip->SetTextColor(0xFF0000);
    tip->DrawText(note.width / 4, note.height / 4, text);
    tip->SetPosition(mx + note.width / 2, my);
    // The tip comes up faint and grows to full strength; a tip still coming up starts over.
    if (engine::GameKernel* k = Kernel()) k->CancelAppliesOfEntity(tip->GetId(), ~0u, 0);
    tip->SetAlpha(0.1);
    tip->Show();
    tip->ApplyTransform();
    ZoomAlphaTo(tip, 0.1, 1.0, 0, 0, 0, engine::MessageData(), 0, 0);
}

void CMJGameScene2::HideFloatingTip() {
    engine::Entity* tip = EntityOf(m_made.note);
    if (!tip) return;
    if (engine::GameKernel* k = Kernel()) k->CancelAppliesOfEntity(tip->GetId(), ~0u, 0);
    tip->Hide();
    // Gone from the screen too, not only from the scene's books.
    tip->ApplyTransform();
}

void CMJGameScene2::ResetSeatPanels() {
    for (int v = 0; v < 4; ++v) {
        m_seatIcons[size_t(v)].fill(0);
        ShowSeatIcons(v);
    }
    m_nPanelCount = 0;
    m_bHandMoved = 0;
}

int CMJGameScene2::SeatNameWidth(int view) {
    CMJTableDraw* draw = m_pHost ? m_pHost->GetTableDraw() : nullptr;
    const MJSeatRecord* seat = draw ? draw->Seat(view) : nullptr;
    if (!seat) return 0;
    // Half the character height a byte of the name's GBK form.
    return GetTextLayoutWord10() / 2 * int(platform::utf8ToGbk(seat->name).size());
}

void CMJGameScene2::PlaceSeatMark(engine::Entity* mark, int x, int y, int farther) {
    if (!mark) return;
    mark->SetSize(kSeatIconSize, kSeatIconSize);
    mark->SetPosition(x + (farther ? 2 : 1) * kSeatIconSize, y + 25);
}

int CMJGameScene2::ShowSeatIcons(int view) {
    if (view < 0 || view > 3) return 0;
    // The icons stand in a row after the name along the text's direction, the first one 6
    // pixels past the name's end, so that a mark never covers the name: in the plane's own
    // frame (the name centred on (100, 25)) they are placed two by two from a point 60
    // pixels on each time, and the row then turns with the plane.
    const engine::Entity* panel = EntityOf(m_made.panels[view]);
    const int px = panel ? panel->GetX() : 0, py = panel ? panel->GetY() : 0;
    const int nameEnd = px + SeatNameWidth(view) / 2;
    const int pairFrom = nameEnd + 6 + kSeatIconSize / 2 - kSeatIconSize, top = py - 25;
    int shown = 0;
    for (int i = 0; i < 10; ++i) {
        auto* icon = static_cast<engine::ImageEntity*>(EntityOf(m_made.icons[view][i]));
        if (!icon) continue;
        if (panel) {
            PlaceSeatMark(icon, pairFrom + 2 * kSeatIconSize * (i / 2), top, i % 2);
            const engine::IPoint at =
                engine::RotatePoint(icon->GetX(), icon->GetY(), px, py, panel->GetRotation(), 1);
            icon->SetPosition(at.x, at.y);
        }
        const int word = m_seatIcons[size_t(view)][size_t(i)];
        // Only the entries of the seat-mark table that name a picture show anything.
        const SeatMark& mark = GetSeatMark(word);
        if (word <= 0 || word >= 50 || mark.picture.empty()) {
            // Off the screen as well: a mark that moves on (the banker's) shows only once.
            icon->Hide();
            icon->ApplyTransform();
            continue;
        }
        icon->SetImage(Picture(mark.picture), (word - 1) * 30, 0, mark.width, mark.height,
                       kMagentaKey);
        icon->Show();
        icon->ApplyTransform();
        ++shown;
    }
    return shown;
}

void CMJGameScene2::SetSeatIcon(int view, int value) {
    if (view < 0 || view > 3) return;
    // The first free word of the row takes the icon.
    for (int& word : m_seatIcons[size_t(view)])
        if (word == 0) {
            word = value;
            break;
        }
    ShowSeatIcons(view);
}

}  // namespace hqlv::mahjong

namespace hqlv::mahjong {

void CMJGameScene2::Redraw(int part) {
    const bool all = part == kRedrawAll;
    if (all) SetTableBackground();
    if (all || part == kAreaWall) BindWallTiles();
    // One area at a time over every seat (chair order, each at its view): the binding pool
    // hands out its entities in this order.
    auto eachSeat = [this](void (CMJGameScene2::*draw)(int)) {
        for (int chair = 0; chair < m_geometry.GetPlayerCount(); ++chair) {
            const int view = ChairToView(chair);
            if (view >= 0 && view < kViewCount) (this->*draw)(view);
        }
    };
    if (all || part == kAreaHand) eachSeat(&CMJGameScene2::BindHandTiles);
    if (all || part == kAreaDiscard) eachSeat(&CMJGameScene2::BindDiscards);
    if (all || part == kAreaFlower) eachSeat(&CMJGameScene2::BindFlowerTiles);
    if (all || part == kAreaShowcase) eachSeat(&CMJGameScene2::BindShowcase);
    if (all) {
        DrawClock();
        eachSeat(&CMJGameScene2::ShowSeatInfo);
    }
    // The tiles of the area take their transforms again (positions the bindings kept).
    for (int i = 1; i <= GetTotalTiles() && i <= kBindingCount; ++i) {
        const MJBinding& b = m_bindings[size_t(i)];
        if (b.area == 0 || b.area != part) continue;
        if (engine::Entity* e = EntityOf(b.entityId)) e->ApplyTransform();
    }
}

void CMJGameScene2::ResetForNextDeal() {
    if (!m_pHost || m_pHost->IsPlaying() || m_bGameRunning) return;
    if (CMJGameInfo* info = m_pHost->GetGameInfo()) info->SetDealFlags(0);
    ResetTable();
    if (CMJTableDraw* draw = m_pHost->GetTableDraw()) {
        draw->SetAllBankers(0);
        draw->SetAllHighlights(0);
    }
    HideResultEntities();
    Redraw(100);
    if (m_pHost->GetCmdField8()) return;
    ShowToolbars(0);
    ShowStartButton();
    if (IsAutoPlayOn()) OnBtnStart();
}

}  // namespace hqlv::mahjong

namespace hqlv::mahjong {

void CMJGameScene2::LogToolbar() {
    engine::GameKernel* k = Kernel();
    if (!k || !m_pHost) return;
    // The toolbar buttons' centres on the display, for a scripted player to click.
    static const char* const kNames[5] = {"音乐", "换肤", "排序", "托管", "截屏"};
    std::string line = "工具栏屏幕:";
    for (int i = 0; i < 5; ++i) {
        engine::ControlData* c = k->FindControl(m_made.toolButtons[i]);
        engine::Entity* b = c ? EntityOf(c->entityId) : nullptr;
        int x = b ? b->GetX() : 0, y = b ? b->GetY() : 0;
        if (!b || !b->IsVisible() || !m_pHost->MapToScreen(x, y)) continue;
        char text[64];
        std::snprintf(text, sizeof text, " %s=%d,%d", kNames[i], x, y);
        line += text;
    }
    engine::WriteLog("%s", line.c_str());
}

}  // namespace hqlv::mahjong
