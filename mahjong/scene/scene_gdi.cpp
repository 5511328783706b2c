// The window-drawn table of scene mode 1: the GDI table view hands the scene its back
// buffer and its mouse, and the scene paints the tile records as they stand (no engine,
// no animation) from the skin library's tile strips: one cell per face, blue as the
// transparent colour. In mode 2 none of this is reached and the bitmaps and fonts stay
// empty.
#include <algorithm>
#include <cstdio>

#include "engine/core/engine_log.h"
#include "mahjong/scene/game_info.h"
#include "mahjong/scene/game_scene.h"

namespace hqlv::mahjong {

namespace {

constexpr int kFaceBack = 46;
constexpr uint32_t kRightButton = 0x2;

// The GDI bitmaps the scene asks the skin library for.
const char* const kGdiBitmapNames[] = {
    "CLOCK",      "CLOCK_HAND", "CLOCK_DIGIT", "MJ_SMALLBACK0", "MJ_SMALLBACK1",
    "MJ_BACK0",   "MJ_BACK1",   "MJ_LARGE1",   "MJ_LARGE2",     "MJ_MIDDLE0",
    "MJ_MIDDLE1", "MJ_MIDDLE2", "MJ_MIDDLE3",  "MJ_SIDE0",      "MJ_SIDE1",
    "MJ_SIDE2",   "MJ_SMALL0",  "MJ_SMALL1",   "MJ_JOKER",      "MJ_HU"};

struct Cell {
    const char* bitmap = nullptr;
    int width = 0, height = 0;
    bool faced = false;  // source x = face × width; else the strip's first cell
};

// The laid strip of a view position: 33 × 32 across the side seats, 26 × 36 otherwise.
Cell Laid(int view) {
    static const Cell kLaid[4] = {{"MJ_MIDDLE0", 33, 32, true},
                                  {"MJ_MIDDLE1", 26, 36, true},
                                  {"MJ_MIDDLE2", 33, 32, true},
                                  {"MJ_MIDDLE3", 26, 36, true}};
    return view >= 0 && view < 4 ? kLaid[view] : Cell{};
}

// A record lies in direction d when it is seen from view d: its strip is the one the
// discards of the view across from d use.
Cell LaidByDirection(int direction) {
    return direction >= 0 && direction < 4 ? Laid((direction + 2) % 4) : Cell{};
}

void Blit(CMJGdiSurface& dc, const Cell& c, int x, int y, int code) {
    if (!c.bitmap) return;
    const int sx = c.faced ? c.width * GetFaceIndex(code) : 0;
    dc.TransparentBlt(x, y, c.width, c.height, c.bitmap, sx, 0, kGdiBlueKey);
}

bool Contains(const MJRect& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

}  // namespace

int CMJGameScene2::GetScreenWidth() const {
    if (m_nSceneMode != 1) return GameObject::GetScreenWidth();
    if (m_pGdiSurface) return m_pGdiSurface->Width();
    return m_pHost ? m_pHost->GetTableViewWidth() : 0;
}

int CMJGameScene2::GetScreenHeight() const {
    if (m_nSceneMode != 1) return GameObject::GetScreenHeight();
    if (m_pGdiSurface) return m_pGdiSurface->Height();
    return m_pHost ? m_pHost->GetTableViewHeight() : 0;
}

void CMJGameScene2::LoadSkinBitmaps() {
    m_gdiBitmaps.clear();
    if (m_nSceneMode != 1 || !m_pHost) return;
    // The own tiles are the GDI strips' 42 × 60 cells: the layout and the hit tests follow.
    m_metrics.largeWidth = 42;
    m_metrics.largeHeight = 60;
    auto fetch = [&](const std::string& name) {
        if (m_pHost->HasSkinBitmap(name)) m_gdiBitmaps.push_back(name);
    };
    for (const char* name : kGdiBitmapNames) fetch(name);
    for (int i = 1; i <= 12; ++i) fetch("DICE" + std::to_string(i));
}

bool CMJGameScene2::HasGdiBitmap(const std::string& name) const {
    return std::find(m_gdiBitmaps.begin(), m_gdiBitmaps.end(), name) != m_gdiBitmaps.end();
}

void CMJGameScene2::InitFont() {
    if (m_nSceneMode != 1) return;
    m_gdiFonts = {DefaultGuiFont(), DefaultGuiFont(), DefaultGuiFont(2700), DefaultGuiFont(900)};
    m_bGdiFonts = 1;
}

const MJGdiFont& CMJGameScene2::GdiFont(int i) const {
    // Without InitFont (the live scene) the text still gets a real font, never an empty one.
    static const MJGdiFont kFallback = DefaultGuiFont();
    if (!m_bGdiFonts || i < 0 || i > 3) return kFallback;
    return m_gdiFonts[size_t(i)];
}

// ---- the paint pass

void CMJGameScene2::PaintTableGdi(CMJGdiSurface& dc) {
    DrawStakeText(dc);
    PaintWallGdi(dc);
    for (int v = 0; v < kViewCount; ++v) {
        if (v == 1 && m_geometry.GetPlayerCount() == 3) continue;
        PaintHandGdi(dc, v);
        PaintDiscardsGdi(dc, v);
        PaintLastDiscardGdi(dc, v);
        PaintFlowersGdi(dc, v);
    }
    PaintClockGdi(dc);
    PaintMarkedTileBigGdi(dc);
    if (m_gdiRoll.frame >= 0) DrawDiceGdi(dc, m_gdiRoll.first, m_gdiRoll.second, m_gdiRoll.frame);
}

void CMJGameScene2::PaintMarkedTileBigGdi(CMJGdiSurface& dc) {
    if (!m_bMarkedBig) return;
    MJRect big;
    GetMarkedWallTileBigRect(big);
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    const MJTileInfo* r = info ? m_tiles.GetTileRecord(kAreaWall, 0, info->RoundWord(33)) : nullptr;
    // The mark went (a new deal, the tile drawn) while the timer ran: nothing to show.
    if (!r || big.right <= big.left || big.bottom <= big.top) return;
    const int w = big.right - big.left, h = big.bottom - big.top;
    dc.TransparentBlt(big.left, big.top, w, h, "MJ_LARGE1", GetFaceIndex(r->nCode) * w, 0,
                      kGdiBlueKey);
}

void CMJGameScene2::DrawStakeText(CMJGdiSurface& dc) {
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    if (!info || !(info->GetDealFlags() & 1)) return;
    MJRect r;
    GetStakeTextRect(r);
    dc.SetTextColor(kGdiYellow);
    dc.SelectFont(GdiFont(0));
    const int third = (r.bottom - r.top) / 3;
    const int banker = info->GetBankerChair();
    // A banker chair the table does not have has no name.
    const std::string name = banker >= 0 && banker < kViewCount && m_pHost
                                 ? m_pHost->GetSeatName(banker)
                                 : std::string();
    dc.TextOut(r.left, r.top + third, "庄:" + name);
    char line[96];
    if (info->IsSilverHistory())
        std::snprintf(line, sizeof line, "%s:%d 两", info->GetFanUnit().c_str(),
                      info->GetSilverAmount());
    else
        std::snprintf(line, sizeof line, "%s:%d 分", info->GetFanUnit().c_str(),
                      info->GetScoreAmount());
    dc.TextOut(r.left, r.top + third + 20, line);
}

void CMJGameScene2::PaintWallGdi(CMJGdiSurface& dc) {
    // Each side from its last record backwards, so the stacks' upper tiles lie on top.
    for (int i = std::min(GetTotalTiles(), kWallRecords) - 1; i >= 0; --i) {
        const MJTileInfo& r = m_tiles.m_wall[i];
        if (!r.bPresent || r.nView < 0 || r.nView >= kViewCount) continue;
        const bool side = r.nView == 0 || r.nView == 2;
        MJRect area;
        GetWallRect(r.nView, area);
        const int w = side ? 22 : 17, h = side ? 23 : 26;
        const Cell c = r.nFace ? Cell{side ? "MJ_SMALL0" : "MJ_SMALL1", w, h, true}
                               : Cell{side ? "MJ_SMALLBACK0" : "MJ_SMALLBACK1", w, h, false};
        Blit(dc, c, area.left + r.nX, area.top + r.nY, r.nCode);
    }
}

void CMJGameScene2::PaintHandGdi(CMJGdiSurface& dc, int view) {
    MJTileInfo* row = m_tiles.HandRow(view);
    if (!row) return;
    // While the tiles are dealt a seat's hand shows from its dealing step on.
    if (m_bDealing && !(m_nDealtViews & (1 << view))) return;
    MJRect area;
    GetHandRect(view, area);
    static const Cell kStanding[3] = {
        {"MJ_SIDE0", 19, 49, false}, {"MJ_SIDE1", 26, 37, false}, {"MJ_SIDE2", 19, 49, false}};
    for (int i = 0; i < kHandSlotCount; ++i) {
        const MJTileInfo& r = row[i];
        if (!r.bPresent) continue;
        int x = area.left + r.nX, y = area.top + r.nY;
        Cell c;
        if (r.bHand && view == kOwnView) {
            // The own standing tiles: the second strip for a tile not to be chosen now; the
            // selected tile stands raised.
            c = {r.bLocked ? "MJ_LARGE2" : "MJ_LARGE1", 42, 60, true};
            if (r.bSelected) y -= 10;
        } else if (r.bHand && view != kOwnView && r.nFace == 2) {
            c = kStanding[view];
        } else if (r.nFace == 0) {
            c = view == 0 || view == 2 ? Cell{"MJ_BACK0", 33, 32, false}
                                       : Cell{"MJ_BACK1", 26, 36, false};
        } else {
            c = LaidByDirection(r.nDirection);
        }
        Blit(dc, c, x, y, r.nCode);
        if (view == kOwnView && c.width == 42 && IsJokerTile(r.nCode))
            dc.TransparentBlt(x, y, 42, 60, "MJ_JOKER", 0, 0, kGdiBlueKey);
    }
    if (m_pHost && m_pHost->IsStandalone())
        dc.FrameRect(area.left, area.top, area.right, area.bottom, kGdiRed);
}

void CMJGameScene2::PaintDiscardsGdi(CMJGdiSurface& dc, int view) {
    if (view < 0 || view >= kViewCount) return;
    MJRect area;
    GetDiscardRect(view, area);
    for (const MJTileInfo& r : m_tiles.m_discards[view])
        if (r.bPresent) Blit(dc, Laid(view), area.left + r.nX, area.top + r.nY, r.nCode);
    if (m_pHost && m_pHost->IsStandalone())
        dc.FrameRect(area.left, area.top, area.right, area.bottom, kGdiWhite);
}

void CMJGameScene2::PaintLastDiscardGdi(CMJGdiSurface& dc, int view) {
    if (view < 0 || view >= kViewCount) return;
    const MJTileInfo& r = m_tiles.m_showcase[view];
    if (!r.bPresent) return;
    MJRect area;
    GetShowcaseRect(view, area);
    const int face = r.nFace ? GetFaceIndex(r.nCode) : kFaceBack;
    dc.TransparentBlt(area.left, area.top, 42, 60, "MJ_LARGE1", face * 42, 0, kGdiBlueKey);
    if (r.bWinning) dc.TransparentBlt(area.left, area.top, 42, 60, "MJ_HU", 0, 0, kGdiBlueKey);
}

void CMJGameScene2::PaintFlowersGdi(CMJGdiSurface& dc, int view) {
    if (view < 0 || view >= kViewCount) return;
    MJRect area;
    GetFlowerAreaBase(view, area);
    for (const MJTileInfo& r : m_tiles.m_flowers[view])
        if (r.bPresent) Blit(dc, Laid(view), area.left + r.nX, area.top + r.nY, r.nCode);
}

void CMJGameScene2::PaintClockGdi(CMJGdiSurface& dc) {
    // The face, the hand at the seat whose turn it is (no animation in this mode) and the
    // two digits of the seconds left under the hand's hub; nothing until the clock has
    // started. The clock's layout words place the hand (words 6 and 7: 4, 4 inside the
    // face) and the digits (8 and 9: 24, 25).
    if (!m_clock.started) return;
    MJRect r;
    GetClockRect(r);
    const int size = GetClockSize();
    dc.TransparentBlt(r.left, r.top, size, size, "CLOCK", 0, 0, kGdiMagentaKey);
    const int position = std::clamp(GetClockPosition(), 0, 7);
    const int hand = 56;
    dc.TransparentBlt(r.left + m_clock.layout[0], r.top + m_clock.layout[1], hand, hand,
                      "CLOCK_HAND", position * hand, 0, kGdiMagentaKey);
    const int seconds = std::clamp(GetCountdown(), 0, 99);
    const int dx = r.left + m_clock.layout[2], dy = r.top + m_clock.layout[3];
    dc.TransparentBlt(dx, dy, 8, 17, "CLOCK_DIGIT", seconds / 10 * 8, 0, kGdiMagentaKey);
    dc.TransparentBlt(dx + 8, dy, 8, 17, "CLOCK_DIGIT", seconds % 10 * 8, 0, kGdiMagentaKey);
}

void CMJGameScene2::RollDiceGdi(CMJGdiSurface& dc, int first, int second) {
    PlaySoundRes(29101, 1);
    // The frames follow each other on the view's timer 4, so the window goes on answering
    // while the dice roll; each paint of the table draws the frame that is due.
    m_gdiRoll = {first, second, 0};
    dc.Invalidate();
    if (m_pHost) m_pHost->SetViewTimer(kDiceTimer, kDiceFrameMs);
}

void CMJGameScene2::OnGdiTimer(uint32_t id) {
    bool rolled = false;
    if (id == kMarkedTileTimer) {
        if (m_pHost) m_pHost->KillViewTimer(kMarkedTileTimer);
        m_bMarkedBig = 0;
    } else if (id == kDiceTimer) {
        // The last frame stays for one frame's time, then the roll is over.
        if (m_gdiRoll.frame >= 0 && m_gdiRoll.frame < kDiceFrames) ++m_gdiRoll.frame;
        if (m_gdiRoll.frame < 0 || m_gdiRoll.frame >= kDiceFrames) {
            if (m_pHost) m_pHost->KillViewTimer(kDiceTimer);
            rolled = m_gdiRoll.frame >= kDiceFrames;
            m_gdiRoll.frame = -1;
        }
    } else {
        return;
    }
    if (m_pGdiSurface) m_pGdiSurface->Invalidate();
    // The end of the roll starts the dealing, as the engine's dice do with event 210002.
    if (rolled) {
        engine::MessageData none;
        OnMessage(210002, none, 0);
    }
}

uint32_t CMJGameScene2::PostSceneMessage(uint32_t ms, uint32_t code, engine::MessageData data) {
    if (m_nSceneMode != 1) return Wait(ms, code, std::move(data), 0, 0);
    if (!m_pHost) return 0;
    uint32_t id = kDeferredTimer;
    while (id < kDeferredTimer + kDeferredTimers && m_deferred.count(id)) ++id;
    if (id == kDeferredTimer + kDeferredTimers) {
        engine::WriteLog("延时消息已满:%u", code);
        return 0;
    }
    m_deferred.emplace(id, std::make_pair(code, std::move(data)));
    m_pHost->SetViewTimer(id, ms);
    return id;
}

void CMJGameScene2::OnDeferredTimer(uint32_t id) {
    auto it = m_deferred.find(id);
    if (it == m_deferred.end()) return;
    if (m_pHost) m_pHost->KillViewTimer(id);
    // Out of the table before the handler runs: it may wait for more.
    const uint32_t code = it->second.first;
    engine::MessageData data = std::move(it->second.second);
    m_deferred.erase(it);
    if (OnMessage(code, data, 0)) data.Free();
}

void CMJGameScene2::DrawDiceGdi(CMJGdiSurface& dc, int first, int second, int /*frame*/) {
    MJRect r;
    GetDiceRect(r);
    // A value outside 1-6 would name another die's picture or none: that die is not drawn.
    if (first >= 1 && first <= 6)
        dc.TransparentBlt(r.left, r.top, 106, 99, "DICE" + std::to_string(first), 0, 0,
                          kGdiBlueKey);
    if (second >= 1 && second <= 6)
        dc.TransparentBlt(r.left + 106, r.top, 106, 99, "DICE" + std::to_string(second + 6), 0, 0,
                          kGdiBlueKey);
}

// ---- the mouse

void CMJGameScene2::RedrawHandGdi() {
    if (m_pGdiSurface) m_pGdiSurface->Invalidate();
}

bool CMJGameScene2::GetMousePoint(int& x, int& y) const {
    if (!m_bDragging || !m_pGdiSurface) return false;
    int cx = 0, cy = 0;
    if (!m_pGdiSurface->CursorPos(cx, cy)) return false;
    x = cx, y = cy;
    return true;
}

int CMJGameScene2::GdiMouseMove(uint32_t flags, int x, int y) {
    if ((m_pHost && m_pHost->GetCmdField8()) || IsActionWaiting()) return 0;
    // While the player picks the tiles of a gang or a chi, a tile is picked by its click
    // alone (the pick is the selected mark): the pointer passing over it picks nothing.
    if (m_nSelectMode == 2 || m_nSelectMode == 3) return 0;
    m_bDragging = 0;
    MJRect h;
    GetHandRect(kOwnView, h);
    MJTileInfo* row = m_tiles.m_hands[kOwnView];
    if (!(flags & kRightButton)) {
        const int selected = FirstSelectedIndex(kOwnView);
        if (!Contains(h, x, y)) {
            // Off the hand every move lets the selected tile go (if one is), redraws the
            // hand and sounds the hover click.
            if (selected >= 0) row[selected].bSelected = 0;
            RedrawHandGdi();
            PlaySoundRes(29100, 17);
            return 0;
        }
        const int hit = HitTestOwnHand(x, y);
        if (hit < 0) {
            // In the hand between or beside the tiles: the selected tile goes down, silently.
            if (selected >= 0) {
                row[selected].bSelected = 0;
                RedrawHandGdi();
            }
            return 0;
        }
        if (m_bDragDone) {
            // The first move after a drop only ends the drop.
            m_bDragDone = 0;
            return 0;
        }
        if (hit == selected) return 0;
        SelectOnly(kOwnView, hit);
        RedrawHandGdi();
        PlaySoundRes(29100, 17);
        return 0;
    }
    if (m_bGdiDragArmed && m_nDragIndex >= 0 && m_nDragIndex < kHandSlotCount) {
        MJTileInfo& r = row[m_nDragIndex];
        r.nX = x - m_nGrabOffset - h.left;
        r.nWord7 = 1;
        RedrawHandGdi();
        m_bDragging = 1;
        if (m_pGdiSurface) m_pGdiSurface->CaptureMouse(true);
    }
    return 0;
}

void CMJGameScene2::GdiRButtonDown(uint32_t, int x, int y) {
    if ((m_pHost && m_pHost->GetCmdField8()) || IsActionWaiting()) return;
    const int i = HitTestOwnHand(x, y);
    if (i < 0) return;
    const MJTileInfo& r = m_tiles.m_hands[kOwnView][i];
    if (!r.bSelected) return;
    MJRect h;
    GetHandRect(kOwnView, h);
    m_nDragIndex = i;
    m_nDragCode = r.nCode;
    m_nDragJoker = r.bJoker;
    m_nGrabOffset = x - r.nX - h.left;
    m_nDragX = r.nX;
    m_nDragY = r.nY;
    m_nDragZ = r.nZ;
    m_bGdiDragArmed = 1;
}

void CMJGameScene2::GdiRButtonUp(uint32_t, int x, int y) {
    m_bGdiDragArmed = 0;
    if (!m_bDragging) return;
    MJRect h;
    GetHandRect(kOwnView, h);
    const int rx = x - m_nGrabOffset - h.left - 1, ry = y - h.top;
    if (m_nDragIndex >= 0 && m_nDragIndex < kHandSlotCount) {
        // The dragged tile goes back to its column; the move reorders the codes.
        MJTileInfo& r = m_tiles.m_hands[kOwnView][m_nDragIndex];
        r.nX = m_nDragX;
        r.nWord7 = 0;
    }
    MoveDraggedTile(GetDropIndex(rx, ry), rx, ry);
    m_bDragging = 0;
    m_bDragDone = 1;
    RedrawHandGdi();
    if (m_pGdiSurface) m_pGdiSurface->CaptureMouse(false);
}

int CMJGameScene2::GdiLButtonDown(uint32_t, int x, int y) {
    MJRect marked;
    GetMarkedWallTileRect(marked);
    if (Contains(marked, x, y) && m_pHost) {
        // The marked tile shows enlarged for a second.
        m_pHost->SetViewTimer(kMarkedTileTimer, 1000);
        m_bMarkedBig = 1;
        if (m_pGdiSurface) m_pGdiSurface->Invalidate();
        return 1;
    }
    if (m_bDragging || (m_pHost && m_pHost->GetCmdField8()) || IsActionWaiting()) return 0;
    const int i = HitTestOwnHand(x, y);
    if (i < 0) return 0;
    MJTileInfo& r = m_tiles.m_hands[kOwnView][i];
    // The record's binding when a handler bound it; a stand-in otherwise (no engine here).
    MJBinding local{0,       kAreaHand, 0, kOwnView,   i, r.nFace, r.nDirection,
                    r.nCode, r.bLocked, 0, r.bSelected};
    MJBinding* b = Binding(r.nObject);
    if (!b) b = &local;
    // A click means what a tile control's click means now: nothing outside the own turn
    // (no play the server must refuse), the choices' picks in theirs, and the play of the
    // selected tile when the own seat holds its drawn tile.
    switch (TileClickCode()) {
        case 210016:
            OnTileClickGang(&r, b);
            break;
        case 210017:
            OnTileClickSelect(&r, b);
            break;
        case 210018:
            if (r.bSelected) OnTileClickDiscard(&r, b);
            break;
        default:
            break;
    }
    RedrawHandGdi();
    return 1;
}

bool CMJGameScene2::GdiAskToSeeTiles() {
    // A deal runs: one this table saw start, or one under way when the looker-on came.
    if (!m_pHost || !m_pHost->GetCmdField8() || m_pHost->TestCmdField13Bit8() ||
        IsHandKnown(kOwnView) || !(IsGameRunning() || IsDealInProgress()))
        return false;
    m_pHost->PlaySoundId(29010, 5);
    if (CMJRequests* req = m_pHost->GetRequests()) req->SendKanPaiAsk();
    return true;
}

}  // namespace hqlv::mahjong
