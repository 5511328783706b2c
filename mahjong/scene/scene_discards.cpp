// The discard rows and the showcase tile of each seat: their layout, add, find, bind and
// reset operations and the rectangles that place them on the table; the lay-down of a hand
// and the per-view dispatchers of the chi and peng meld updates.
#include <algorithm>

#include "engine/core/engine_log.h"
#include "engine/core/entity_kinds.h"
#include "mahjong/scene/game_info.h"
#include "mahjong/scene/game_scene.h"

namespace hqlv::mahjong {

namespace {

constexpr uint32_t kMagentaKey = 0xFF00FF;
constexpr int kShowcaseZ = 3000;
// Deal record words: the chair to move and the status word.
constexpr size_t kWordCurrentChair = 13;

bool IsView(int view) {
    return view >= 0 && view < kViewCount;
}

// A discard slot's row (0-3) and its place in that row: rows of 10, 10, 9 and 7.
void SlotOf(int slot, int& row, int& col) {
    if (slot < 10) {
        row = 0, col = slot;
    } else if (slot < 20) {
        row = 1, col = slot - 10;
    } else if (slot < 29) {
        row = 2, col = slot - 20;
    } else {
        row = 3, col = slot - 29;
    }
}

// Later rows lie over earlier ones, so each row's z starts above the row before.
int DiscardZ(int view, int row, int col) {
    const bool rising = view == 0 || view == 3;
    switch (row) {
        case 0:
            return rising ? 100 + col : 100 - col;
        case 1:
            return rising ? 110 + col : 90 - col;
        case 2:
            return view == 0 ? 200 + col : view == 2 ? 200 - col : 200;
        default:
            return 300;
    }
}

// The place of a discard inside its view's discard rectangle.
void DiscardPos(const MJTileMetrics& m, int view, int row, int c, int& x, int& y) {
    const int* S = m.step;
    const int* A = m.across;
    switch (view * 4 + row) {
        case 0:
            x = A[0], y = c * S[0];
            break;
        case 1:
            x = 0, y = c * S[0];
            break;
        case 2:
            x = A[0] / 2, y = S[0] / 2 - 4 + c * S[0];
            break;
        case 3:
            x = A[0] / 2, y = (c + 1) * S[0] - 4;
            break;
        case 4:
            x = (9 - c) * S[1], y = A[1];
            break;
        case 5:
            x = (9 - c) * S[1], y = 0;
            break;
        case 6:
            x = (9 - c) * S[1] - S[1] / 2, y = A[1] / 2 - 4;
            break;
        case 7:
            x = (8 - c) * S[1], y = 0;
            break;
        case 8:
            x = 0, y = (9 - c) * S[2];
            break;
        case 9:
            x = A[2], y = (9 - c) * S[2];
            break;
        case 10:
            x = A[2] / 2, y = (8 - c) * S[2] + 4;
            break;
        case 11:
            x = A[2] / 2, y = (7 - c) * S[2] + 4;
            break;
        case 12:
            x = c * S[3], y = 0;
            break;
        case 13:
            x = c * S[3], y = A[3];
            break;
        case 14:
            x = c * S[3] + S[1] / 2, y = A[3] / 2 - 4;
            break;
        default:
            x = c * S[3] + S[1], y = 0;
            break;
    }
}

// A laid tile's picture by its lying direction: the face strip, or the back face down.
struct LaidLook {
    const char* picture;
    int width, height;
};
LaidLook LaidPicture(int direction, int face) {
    const bool across = direction == 0 || direction == 2;
    if (face == 0) return across ? LaidLook{"背面0", 33, 32} : LaidLook{"背面1", 26, 36};
    static const char* const kFaces[4] = {"正面中图2", "正面中图3", "正面中图0", "正面中图1"};
    return {kFaces[direction & 3], across ? 33 : 26, across ? 32 : 36};
}

}  // namespace

// ---- discard rows

void CMJGameScene2::LayoutDiscards() {
    for (int v = 0; v < kViewCount; ++v)
        for (int i = 0; i < kDiscardRecords; ++i) {
            MJTileInfo& r = m_tiles.m_discards[v][i];
            r = MJTileInfo{};
            int row, col;
            SlotOf(i, row, col);
            DiscardPos(m_metrics, v, row, col, r.nX, r.nY);
            r.nZ = DiscardZ(v, row, col);
            r.nFace = 1;
            r.nDirection = (v + 2) % 4;
            r.nView = v;
        }
}

void CMJGameScene2::SetAllDiscardsPresent(int flag) {
    for (auto& row : m_tiles.m_discards)
        for (MJTileInfo& r : row) r.bPresent = flag;
}

void CMJGameScene2::AddDiscard(int view, int tile) {
    if (!IsView(view)) return;
    for (MJTileInfo& r : m_tiles.m_discards[view]) {
        if (r.bPresent) continue;
        r.bPresent = 1;
        r.nCode = tile;
        r.nFace = m_tiles.m_showcase[view].nFace;
        return;
    }
    engine::WriteLog("弃牌区已满:%d", view);
}

int CMJGameScene2::LastDiscardIndex(int view) const {
    if (!IsView(view)) return -1;
    for (int i = kDiscardRecords - 1; i >= 0; --i)
        if (m_tiles.m_discards[view][i].bPresent) return i;
    return -1;
}

void CMJGameScene2::BindDiscards(int view) {
    if (!IsView(view)) return;
    CheckBindings();
    MJRect area;
    GetDiscardRect(view, area);
    for (int i = 0; i < kDiscardRecords; ++i) {
        MJTileInfo& r = m_tiles.m_discards[view][i];
        if (!r.bPresent || r.nObject) continue;
        MJBinding* bind = nullptr;
        engine::ImageEntity* e = BindRecord(r, kAreaDiscard, view, i, bind);
        if (!e) continue;
        const LaidLook look = LaidPicture(r.nDirection, r.nFace);
        e->SetZ(r.nZ);
        e->SetPosition(area.left + r.nX + look.width / 2, area.top + r.nY + look.height / 2);
        e->SetImage(Picture(look.picture), r.nFace ? look.width * GetFaceIndex(r.nCode) : 0, 0,
                    look.width, look.height, kMagentaKey);
        e->SetSize(look.width, look.height);
        e->Show();
        e->ApplyTransform();
    }
}

void CMJGameScene2::GetDiscardRect(int view, MJRect& out) const {
    MJRect R;
    GetWallRect(view, R);
    const bool small = m_pHost && m_pHost->IsSmallScreen();
    const int g = small ? 2 : 10, e = small ? 22 : 30;
    const bool four = m_geometry.GetPlayerCount() != 3;
    const int* S = m_metrics.step;
    const int* A = m_metrics.across;
    const int* L = m_metrics.thickness;
    switch (view) {
        case 0:
            out.right = R.left - g;
            out.left = out.right - 2 * A[0];
            if (four) {
                out.top = R.top + e;
                out.bottom = out.top + 10 * S[0] + L[0];
            } else {
                out.bottom = R.bottom - 10;
                out.top = out.bottom - 10 * S[2] - L[0];
            }
            break;
        case 1:
            out.right = R.right - g;
            out.left = out.right - 10 * S[1];
            out.bottom = R.top - g;
            out.top = out.bottom - 2 * A[1] - L[1];
            break;
        case 2:
            out.left = R.right + g;
            out.right = out.left + 2 * A[2];
            out.bottom = four ? R.bottom - e : R.bottom - 10;
            out.top = out.bottom - 10 * S[2] - L[0];
            break;
        case 3:
            out.left = four ? R.left + g : R.left + (R.right - R.left) / 2 - 10 * S[3] / 2;
            out.right = out.left + 10 * S[3];
            out.top = R.bottom + g;
            out.bottom = out.top + 2 * A[3] + L[3];
            break;
        default:
            out = {};
            break;
    }
}

// ---- showcase

void CMJGameScene2::ResetShowcase() {
    for (int v = 0; v < kViewCount; ++v) {
        MJTileInfo& r = m_tiles.m_showcase[v];
        r = MJTileInfo{};
        r.nView = v;
        r.nZ = kShowcaseZ;
        r.nFace = 1;
    }
}

void CMJGameScene2::SetAllShowcasePresent(int flag) {
    for (MJTileInfo& r : m_tiles.m_showcase) r.bPresent = flag;
}

int CMJGameScene2::IsShowcasePresent(int view) const {
    return IsView(view) ? m_tiles.m_showcase[view].bPresent : 0;
}

void CMJGameScene2::GetShowcaseRect(int view, MJRect& out) const {
    out = {};
    if (!IsView(view)) return;
    MJRect H;
    GetHandRect(view, H);
    const int w = m_metrics.largeWidth, h = m_metrics.largeHeight, n = GetHandLength(view);
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    const int gap = info ? info->GetSizeB() : 24;
    switch (view) {
        case 0:
            out.left = H.right + gap;
            out.top = H.top + (n - h) / 2;
            break;
        case 1:
            out.left = H.left + (n - w) / 2;
            out.top = H.bottom + gap;
            break;
        case 2:
            out.left = H.left - gap - w;
            out.top = H.top + (n - h) / 2;
            break;
        default:
            out.left = H.left + (n - w) / 2;
            out.top = H.top - gap - h;
            break;
    }
    out.right = out.left + w;
    out.bottom = out.top + h;
}

void CMJGameScene2::BindShowcase(int view) {
    if (!IsView(view)) return;
    CheckBindings();
    MJTileInfo& r = m_tiles.m_showcase[view];
    if (!r.bPresent || r.nObject) return;
    MJBinding* bind = nullptr;
    engine::ImageEntity* e = BindRecord(r, kAreaShowcase, view, 0, bind);
    if (!e) return;
    MJRect at;
    GetShowcaseRect(view, at);
    const int w = m_metrics.largeWidth, h = m_metrics.largeHeight;
    e->SetZ(r.nZ);
    e->SetPosition((at.left + at.right) / 2, (at.top + at.bottom) / 2);
    if (r.bWinning) {
        const engine::ImageInfo hu = GetImageInfo(Picture("胡牌"), 0);
        e->SetImage(hu.resourceId, hu.sx, hu.sy, hu.width, hu.height, kMagentaKey);
        e->SetSize(hu.width, hu.height);
    } else {
        e->SetImage(Picture("正面大图"), w * GetFaceIndex(r.nCode), 0, w, h, kMagentaKey);
        e->SetSize(w, h);
    }
    e->Show();
    e->ApplyTransform();
}

void CMJGameScene2::TakeLastDiscard() {
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    if (!info) return;
    // The seat to move already holds its drawn tile: the discard before it was settled.
    if (info->DealFlagBit8()) return;
    const int mover = ChairToView(info->RoundWord(kWordCurrentChair));
    if (!IsView(mover)) {
        engine::WriteLog("当前座位错误:%d", info->RoundWord(kWordCurrentChair));
        return;
    }
    const int v = NextView(mover);
    const int last = LastDiscardIndex(v);
    if (last < 0) return;
    MJTileInfo& d = m_tiles.m_discards[v][last];
    m_tiles.m_showcase[v].bPresent = 1;
    m_tiles.m_showcase[v].nCode = d.nCode;
    d.bPresent = 0;
}

void CMJGameScene2::LayDownHand(int view) {
    MJTileInfo* row = m_tiles.HandRow(view);
    if (!row) return;
    for (int i = 0; i < GetMaxHandTiles(); ++i) {
        if (!row[i].bHand || !row[i].bPresent) continue;
        row[i].nFace = 1;
        row[i].nDirection = (view + 2) % 4;
    }
}

// ---- the chi and peng dispatchers

void CMJGameScene2::AddChiMeld(int view, MJData record) {
    switch (view) {
        case 0:
            AddChiMeldView0(record);
            break;
        case 1:
            AddChiMeldView1(record);
            break;
        case 2:
            AddChiMeldView2(record);
            break;
        case 3:
            AddChiMeldView3(record);
            break;
        default:
            break;
    }
}

void CMJGameScene2::AddPengMeld(int view, MJData record) {
    switch (view) {
        case 0:
            AddPengMeldView0(record);
            break;
        case 1:
            AddPengMeldView1(record);
            break;
        case 2:
            AddPengMeldView2(record);
            break;
        case 3:
            AddPengMeldView3(record);
            break;
        default:
            break;
    }
}

}  // namespace hqlv::mahjong
