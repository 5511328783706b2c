// The table's geometry in logical screen pixels: the hand rectangles at the four edges, the
// walls around the centre, the flower areas, the dice rectangle and the wind marks; and the
// layouts that give the wall, hand and flower records their places inside those areas.
#include <algorithm>

#include "engine/core/button_frame.h"
#include "engine/core/entity_kinds.h"
#include "engine/render/plane.h"
#include "engine/render/text_layout.h"
#include "mahjong/scene/game_info.h"
#include "mahjong/scene/game_scene.h"
#include "mahjong/scene/table_draw.h"
#include "platform/core/text.h"

namespace hqlv::mahjong {

namespace {

constexpr int kFlowerAreaCount = 8;

bool IsView(int view) {
    return view >= 0 && view < kViewCount;
}

// A remainder that is never negative: the own chair is -1 before seating.
int Mod(int a, int n) {
    return n > 0 ? ((a % n) + n) % n : 0;
}

}  // namespace

int CMJGameScene2::GetOwnTileStep() const {
    const int w = m_metrics.largeWidth, n = GetMaxHandTiles();
    // The own row (n large tiles and the draw slot's gap) stays inside the table cloth's
    // frame: where the screen is too narrow for whole tiles, the hand's tiles overlap a
    // little, each drawn over its left neighbour's edge. The drawn tile and the hand's first
    // tile stay whole with the draw slot's gap between them, so that the drawn tile still
    // stands apart from the hand: only the n - 2 steps left of the first tile narrow.
    const int screen = GetScreenWidth();
    const int room = screen - 2 * kOwnRowMargin - 2 * w - 12;
    if (screen <= 0 || n < 3 || room >= (n - 2) * w) return w;
    return std::max(room / (n - 2), 1);
}

int CMJGameScene2::GetHandLength(int view) const {
    if (view == kOwnView)
        return 2 * m_metrics.largeWidth + 12 + (GetMaxHandTiles() - 2) * GetOwnTileStep();
    return (GetMaxHandTiles() + 2) * m_metrics.step[1] + 10;
}

int CMJGameScene2::GetHandThickness(int view) const {
    if (view == kOwnView) return m_metrics.largeHeight + 10;
    return m_metrics.standing[0][1] + m_metrics.standing[0][0];
}

void CMJGameScene2::GetHandRect(int view, MJRect& out) const {
    const int w = GetScreenWidth(), h = GetScreenHeight();
    const int length = GetHandLength(view), thick = GetHandThickness(view);
    const bool small = m_pHost && m_pHost->IsSmallScreen();
    const int m = small ? 16 : 10;
    // The hands keep clear of the toolbar row at the screen's edge.
    int edge = 10;
    if (!small) {
        engine::Entity* bar = m_made.systemBar ? m_made.systemBar->FrameEntity() : nullptr;
        edge = (bar ? bar->GetHeight() : 0) + 4;
    }
    const int sideTop = h / 2 - length / 2 - m - GetCentreLift();
    switch (view) {
        case 0:
            out = {edge, sideTop, edge + thick, sideTop + length};
            break;
        case 1:
            out = {w / 2 - length / 2, edge, w / 2 - length / 2 + length, edge + thick};
            break;
        case 2:
            out = {w - edge - thick, sideTop, w - edge, sideTop + length};
            break;
        case 3:
            out = {w / 2 - length / 2, h - edge - thick, w / 2 - length / 2 + length, h - edge};
            break;
        default:
            out = {};
            break;
    }
}

int CMJGameScene2::GetMeldOffsetA(int view) const {
    if (view == 1) return m_metrics.thickness[1];
    if (view == kOwnView)
        return (GetHandThickness(kOwnView) - m_metrics.thickness[3] - m_metrics.across[3]) / 2;
    return 0;
}

int CMJGameScene2::GetMeldOffsetB(int view) const {
    return view == 2 ? GetHandThickness(2) - m_metrics.across[2] : 0;
}

int CMJGameScene2::GetOwnHandMidY() const {
    MJRect r;
    GetHandRect(kOwnView, r);
    return r.top + m_metrics.largeHeight / 2;
}

void CMJGameScene2::GetDiceRect(MJRect& out) const {
    MJRect c;
    GetCentreRect(c);
    out.left = c.left + 212 / 2 - 106;
    out.top = c.top + 120 / 2 - 49;
    out.right = out.left + 212;
    out.bottom = out.top + 99;
}

void CMJGameScene2::GetFlowerAreaBase(int view, MJRect& out) const {
    MJRect h;
    GetHandRect(view, h);
    const int x = kFlowerAreaCount;
    switch (view) {
        case 0:
            out = {h.right, h.top, h.right + 33, h.top + x * 21 + 11};
            break;
        case 1:
            out = {h.right - x * 26, h.bottom, h.right, h.bottom + 25 + 11};
            break;
        case 2:
            out = {h.left - 33, h.bottom - x * 21 - 11, h.left, h.bottom};
            break;
        case 3:
            out = {h.left, h.top - 25 - 11, h.left + x * 26, h.top};
            break;
        default:
            out = {};
            return;
    }
    if (!m_pHost || !m_pHost->IsSmallScreen()) return;
    // A small screen lines each flower row up with a neighbour's discard rows instead.
    MJRect d;
    switch (view) {
        case 0:
            if (m_geometry.GetPlayerCount() == 4) {
                GetDiscardRect(1, d);
                out.top = d.top;
            } else {
                out.top = h.top + 21;
            }
            out.bottom = out.top + x * 21 + 11;
            break;
        case 1:
            GetDiscardRect(2, d);
            out.right = d.right;
            out.left = out.right - x * 26;
            break;
        case 2:
            GetDiscardRect(3, d);
            out.bottom = d.bottom;
            out.top = out.bottom - x * 21 - 11;
            break;
        default:
            GetDiscardRect(0, d);
            out.left = d.left;
            out.right = out.left + x * 26;
            break;
    }
}

void CMJGameScene2::GetFlowerAreaRect(int view, MJRect& out) const {
    GetFlowerAreaBase(view, out);
    const int x = GetFlowerCount(), k = CountFlowers(view);
    switch (view) {
        case 0:
            out.bottom = out.top + 21 * k + 11;
            break;
        case 1:
            out.left = out.left + (x - k) * 26;
            break;
        case 2:
            out.top = out.top + (x - k) * 21;
            break;
        case 3:
            out.right = out.left + 26 * k;
            break;
        default:
            break;
    }
}

void CMJGameScene2::GetWallStacks(int stacks[4]) const {
    const int sides = m_geometry.GetPlayerCount() == 3 ? 3 : 4;
    const int q = GetTotalTiles() / (2 * sides), r = GetTotalTiles() % (2 * sides);
    for (int i = 0; i < 4; ++i) stacks[i] = q;
    // Only whole stacks are shared out: an odd tile left over stands nowhere.
    if (sides == 4) {
        if (r == 2 || r == 4 || r == 6) ++stacks[0];
        if (r == 4 || r == 6) ++stacks[2];
        if (r == 6) ++stacks[1];
        return;
    }
    stacks[2] = 0;
    if (r == 2 || r == 4) ++stacks[0];
    if (r == 4) ++stacks[3];
}

namespace {

// The wall side a view shows; -1 for a view outside the table.
int SideOfView(int players, int own, int view) {
    if (!IsView(view)) return -1;
    if (players == 4) return Mod(own + view, 4);
    static const int kByChair[3][4] = {{0, 2, 1, 3}, {1, 2, 3, 0}, {3, 2, 0, 1}};
    if (own >= 0 && own < 3) return kByChair[own][view];
    return 2;
}

}  // namespace

int CMJGameScene2::GetWallStacksOfView(int view) const {
    const int side = SideOfView(m_geometry.GetPlayerCount(), m_geometry.OwnChair(), view);
    if (side < 0) return 0;
    int stacks[4];
    GetWallStacks(stacks);
    return stacks[side];
}

int CMJGameScene2::GetWallStartOffset(int view) const {
    const int players = m_geometry.GetPlayerCount(), own = m_geometry.OwnChair();
    if (own < 0 || own >= players) return 0;
    const int side = SideOfView(players, own, view);
    if (side < 0 || (players == 3 && side == 2)) return 0;
    int stacks[4];
    GetWallStacks(stacks);
    int start = 0;
    for (int i = 0; i < side; ++i) start += 2 * stacks[i];
    return start;
}

void CMJGameScene2::GetWallRect(int view, MJRect& out) const {
    MJRect c;
    GetCentreRect(c);
    const int n = GetWallStacksOfView(view);
    const bool three = m_geometry.GetPlayerCount() == 3;
    switch (view) {
        case 0:
            out = {c.left - 22, c.top - 20, c.left, c.top - 20 + 13 * n + 20};
            if (three) out.top = c.bottom - 20 - 13 * n, out.bottom = c.bottom;
            break;
        case 1:
            out = {c.right - 17 * n, c.top - 36, c.right, c.top};
            break;
        case 2:
            out = {c.right, c.bottom - 13 * n, c.right + 22, c.bottom + 20};
            if (three) out.top = c.bottom - 20 - 13 * n, out.bottom = c.bottom;
            break;
        case 3:
            out = {c.left, c.bottom, c.left + 17 * n, c.bottom + 36};
            if (three) {
                out.left = c.left + (c.right - c.left) / 2 - 17 * n / 2;
                out.right = out.left + 17 * n;
            }
            break;
        default:
            out = {};
            break;
    }
}

void CMJGameScene2::GetWallTileRect(int index, MJRect& out) const {
    const MJTileInfo* r = m_tiles.GetTileRecord(kAreaWall, 0, index);
    if (!r || !IsView(r->nView)) {
        out = {};
        return;
    }
    MJRect o;
    GetWallRect(r->nView, o);
    out.left = o.left + r->nX;
    out.top = o.top + r->nY;
    const bool across = r->nView == 1 || r->nView == 3;
    out.right = out.left + (across ? 17 : 22);
    out.bottom = out.top + (across ? 16 + 10 : 13);
}

void CMJGameScene2::LayoutWall() {
    std::fill(std::begin(m_tiles.m_wall), std::end(m_tiles.m_wall), MJTileInfo{});
    for (int v = 0; v < kViewCount; ++v) {
        const int n = GetWallStacksOfView(v), s = GetWallStartOffset(v);
        MJRect r;
        GetWallRect(v, r);
        for (int i = 0; i < n; ++i) {
            const int at = s + 2 * i;
            if (at + 1 >= kWallRecords) break;
            MJTileInfo& up = m_tiles.m_wall[at];
            MJTileInfo& low = m_tiles.m_wall[at + 1];
            up.nView = low.nView = v;
            switch (v) {
                case 0:
                    up.nY = (r.bottom - r.top) - 13 * (i + 1) - 20;
                    low.nY = up.nY + 9;
                    up.nZ = 1400 - at, low.nZ = 1200 - at;
                    break;
                case 1:
                    up.nX = low.nX = 17 * i;
                    low.nY = 10;
                    up.nZ = 1200, low.nZ = 1000;
                    break;
                case 2:
                    up.nY = 13 * i, low.nY = 13 * i + 10;
                    up.nZ = 1400 + at, low.nZ = 1200 + at;
                    break;
                default:
                    up.nX = low.nX = (r.right - r.left) - 17 * (i + 1);
                    low.nY = 10;
                    up.nZ = 1600, low.nZ = 1400;
                    break;
            }
        }
    }
}

void CMJGameScene2::LayoutHands() {
    const int large = m_metrics.largeWidth, step = GetOwnTileStep();
    for (int v = 0; v < kViewCount; ++v) {
        MJTileInfo* row = m_tiles.m_hands[v];
        std::fill(row, row + kHandRecords, MJTileInfo{});
        const int length = GetHandLength(v), thick = GetHandThickness(v);
        for (int i = 0; i < kHandSlotCount; ++i) {
            row[i].nView = v;
            row[i].nZ = v == 0 ? 2400 - i : v == kOwnView ? 2800 - i : 2400 + i;
        }
        for (int i = 0; i < GetMaxHandTiles(); ++i) {
            MJTileInfo& r = row[i];
            r.nCode = kHiddenTile;
            r.bHand = 1;
            r.nFace = v == kOwnView ? 1 : 2;
            switch (v) {
                case 0:
                    r.nY = i == 0 ? length - 26 - 23 : length - 12 - 26 * (i + 1) - 23;
                    break;
                case 1:
                    r.nX = i == 0 ? 0 : 26 * i + 10;
                    break;
                case 2:
                    r.nX = thick - 19;
                    r.nY = i == 0 ? 0 : 26 * i + 12;
                    break;
                default:
                    r.nY = 10;
                    r.nX = i == 0 ? length - large : length - 12 - 2 * large - (i - 1) * step;
                    break;
            }
        }
    }
}

void CMJGameScene2::LayoutFlowers() {
    const int x = GetFlowerCount();
    for (int v = 0; v < kViewCount; ++v) {
        MJTileInfo* row = m_tiles.m_flowers[v];
        std::fill(row, row + kFlowerRecords, MJTileInfo{});
        for (int i = 0; i < x && i < kFlowerRecords; ++i) {
            MJTileInfo& r = row[i];
            r.nView = v;
            switch (v) {
                case 0:
                    r.nY = 21 * i, r.nZ = 1000 + i;
                    break;
                case 1:
                    r.nX = 26 * (x - i - 1), r.nZ = 1000 - i;
                    break;
                case 2:
                    r.nY = 21 * (x - i - 1), r.nZ = 1000 - i;
                    break;
                default:
                    r.nX = 26 * i, r.nZ = 1000 + i;
                    break;
            }
        }
    }
}

int CMJGameScene2::CountFlowers(int view) const {
    if (!IsView(view)) return 0;
    int n = 0;
    for (int i = 0; i < GetFlowerCount() && i < kFlowerRecords; ++i)
        n += m_tiles.m_flowers[view][i].bPresent ? 1 : 0;
    return n;
}

void CMJGameScene2::GetWindMarkPos(int view, int& x, int& y) const {
    MJRect h;
    GetHandRect(view, h);
    const int mx = (h.left + h.right) / 2, my = (h.top + h.bottom) / 2;
    switch (view) {
        case 0:
            x = h.right + 35, y = my;
            break;
        case 1:
            x = mx, y = h.bottom + 35;
            break;
        case 2:
            x = h.left - 35, y = my;
            break;
        case 3:
            x = mx, y = h.top - 35;
            break;
        default:
            x = y = -100;
            break;
    }
}

void CMJGameScene2::PlaceWindMarks() {
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    const int banker = info ? ChairToView(info->GetBankerChair()) : -1;
    // No banker seat on the screen: the marks stay where they are.
    if (!IsView(banker)) return;
    for (int i = 0; i < 4; ++i) {
        engine::Entity* mark = EntityOf(m_made.windMarks[i]);
        if (!mark) continue;
        int x, y;
        GetWindMarkPos((banker + 4 - i) % 4, x, y);
        mark->SetPosition(x, y);
        mark->Show();
        mark->ApplyTransform();
    }
}

void CMJGameScene2::PlaceDrawSlotTile(int view, int code) {
    MJTileInfo* r = m_tiles.GetTileRecord(kAreaHand, view, 0);
    if (!r) return;
    r->nFace = 1;
    r->bPresent = 1;
    r->bHand = 0;
    r->nCode = code;
    r->nDirection = (view + 2) % 4;
    switch (view) {
        case 0:
            r->nX = 0, r->nY = GetHandLength(0) - m_metrics.thickness[0] - m_metrics.step[0];
            break;
        case 1:
            r->nX = 0, r->nY = GetMeldOffsetA(1);
            break;
        case 2:
            r->nX = GetMeldOffsetB(2), r->nY = 0;
            break;
        default:
            r->nX = GetHandLength(3) - 5 * m_metrics.step[3], r->nY = GetMeldOffsetA(3);
            break;
    }
}

}  // namespace hqlv::mahjong

namespace hqlv::mahjong {

void CMJGameScene2::ShowSeatInfo(int view) {
    if (!IsView(view)) return;
    engine::Entity* e = EntityOf(m_made.panels[view]);
    if (!e || e->GetType() != engine::ENT_PLANE) return;
    auto* panel = static_cast<engine::PlaneEntity*>(e);
    CMJTableDraw* draw = m_pHost ? m_pHost->GetTableDraw() : nullptr;
    const MJSeatRecord* seat = draw ? draw->Seat(view) : nullptr;
    const std::string name = seat ? seat->name : std::string();
    panel->Fill();
    // The name is centred on (100, 25) in the scene's text font, whose character height
    // measures it.
    const engine::TextStyle& style = GetTextLayout().Style();
    panel->SetFont(style.height, style.weight, style.face);
    const int height = GetTextLayoutWord10();
    const int width = SeatNameWidth(view);
    panel->SetTextColor(seat && seat->highlight ? 0xFFFF : 0xFFFFFF);
    panel->DrawText(100 - width / 2, 25 - height / 2, name);
    MJRect h;
    GetHandRect(view, h);
    const int mx = (h.left + h.right) / 2, my = (h.top + h.bottom) / 2;
    // A small screen has the name inside the hand's edge, a normal one outside it.
    const bool small = m_pHost && m_pHost->IsSmallScreen();
    const int in = small ? 5 : -25;
    switch (view) {
        case 0:
            panel->SetPosition(small ? h.right + in : h.left + in, my);
            break;
        case 1:
            panel->SetPosition(mx, small ? h.bottom + in : h.top + in);
            break;
        case 2:
            panel->SetPosition(small ? h.left - in : h.right - in, my);
            break;
        default:
            panel->SetPosition(mx, small ? h.top - in : h.bottom - in);
            break;
    }
    // The plane shows its linked icons with it: the row is redrawn after, so that only the
    // icons the seat holds stay shown.
    panel->Show();
    ShowSeatIcons(view);
    panel->ApplyTransform();
}

}  // namespace hqlv::mahjong
