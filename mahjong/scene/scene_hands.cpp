// The hands on the screen: binding hand and wall records to pooled entities, the hand
// lists (set, read, count, find, remove, select), the sort of the own hand, the hit tests
// on the own tiles and the engine drag that reorders them.
#include <algorithm>
#include <cstdio>

#include "engine/core/engine_log.h"
#include "engine/core/entity_kinds.h"
#include "engine/core/kernel.h"
#include "engine/core/mouse_manager.h"
#include "mahjong/scene/game_scene.h"
#include "rules/tiles.h"

namespace hqlv::mahjong {

namespace {

constexpr uint32_t kMagentaKey = 0xFF00FF;
// The sort sweep: about a third of a pixel per millisecond along the hand, each of the five
// spark sources giving off its sparks meanwhile.
constexpr int kSortSweepStep = 10, kSortSweepMs = 30;
constexpr uint32_t kSortSparks = 12;
constexpr int kSortSparkMs = 120;

bool IsView(int view) {
    return view >= 0 && view < kViewCount;
}

bool InHand(const MJTileInfo& r) {
    return r.bPresent && r.bHand;
}

}  // namespace

void CMJGameScene::FaceCopies(int code, int32_t ids[4]) {
    const int shape = mahjong::TileShape(code), value = mahjong::TileValue(code);
    // Only the suits and the honours come four to a face.
    if (value == 0 || shape < 0 || shape > 3) {
        std::fill(ids, ids + 4, -1);
        return;
    }
    const int first = value + shape * 36 - 1, step = shape == 3 ? 7 : 9;
    for (int k = 0; k < 4; ++k) ids[k] = first + k * step;
}

void CMJGameScene::OtherCopies(int code, int32_t ids[3]) {
    int32_t all[4];
    FaceCopies(code, all);
    int n = 0;
    for (int32_t id : all)
        if (id != code && n < 3) ids[n++] = id;
    while (n < 3) ids[n++] = -1;
}

// ---- lists

void CMJGameScene2::SetHandTiles(int view, std::span<const int32_t> codes) {
    MJTileInfo* row = m_tiles.HandRow(view);
    if (!row) return;
    int at = row[0].bPresent ? 0 : 1;
    int dropped = 0;
    for (int32_t code : codes.first(std::min(codes.size(), size_t(kHandRecords)))) {
        // The hand holds 14 records; a longer list from the server is cut there.
        if (at >= GetMaxHandTiles()) {
            dropped += code != -1;
            continue;
        }
        if (code == -1) {
            row[at].bPresent = 0;
            continue;
        }
        row[at].nCode = code;
        row[at++].bPresent = 1;
    }
    if (dropped) engine::WriteLog("手牌数据过多，丢弃%d张", dropped);
}

int CMJGameScene2::GetHandCodes(int view, std::span<int32_t> out) {
    std::fill(out.begin(), out.end(), -1);
    MJTileInfo* row = m_tiles.HandRow(view);
    if (!row) return 0;
    size_t n = 0;
    for (int i = 0; i < GetMaxHandTiles() && n < out.size(); ++i)
        if (InHand(row[i])) out[n++] = row[i].nCode;
    return int(n);
}

int CMJGameScene2::CountHandByIndex(std::span<int32_t> counts) {
    int n = 0;
    for (int i = 0; i < GetMaxHandTiles(); ++i) {
        const MJTileInfo& r = m_tiles.m_hands[kOwnView][i];
        const int index = rules::MJ_TileIndex(r.nCode, 0);
        if (!InHand(r) || index <= 0 || size_t(index) >= counts.size()) continue;
        ++counts[size_t(index)];
        ++n;
    }
    return n;
}

int CMJGameScene2::FindLastTile(int view, int code) {
    MJTileInfo* row = m_tiles.HandRow(view);
    for (int i = kHandSlotCount - 1; row && i >= 0; --i)
        if (row[i].bPresent && row[i].nCode == code) return i;
    return -1;
}

int CMJGameScene2::FirstSelectedIndex(int view) {
    MJTileInfo* row = m_tiles.HandRow(view);
    for (int i = 0; row && i < GetMaxHandTiles(); ++i)
        if (row[i].bPresent && row[i].bSelected) return i;
    return -1;
}

void CMJGameScene2::RemoveTileFromHand(int view, int code) {
    const int found = FindLastTile(view, code);
    if (found < 0) return;
    MJTileInfo* row = m_tiles.m_hands[view];
    int at = -1;
    // The same 18 records as the shift: a hand grown past 14 by gangs loses its tiles too.
    for (int i = kHandSlotCount - 1; i >= 0 && at < 0; --i)
        if (row[i].bHand && row[i].nCode == code) at = i;
    // The tile lies only in a meld (no hand-flagged record holds it): the hand stays.
    if (at < 0) return;
    row[found].bSelected = 0;
    if (at == 0) {
        row[0].bHand = row[0].bPresent = 0;
        return;
    }
    int k = at;
    for (; k + 1 < kHandSlotCount && row[k + 1].bHand; ++k) {
        row[k].nCode = row[k + 1].nCode;
        row[k].bLocked = row[k + 1].bLocked;
    }
    row[k].bHand = row[k].bPresent = 0;
}

int CMJGameScene2::HandFlag(int view) {
    const MJTileInfo* r = m_tiles.GetTileRecord(kAreaHand, view, 0);
    return r ? r->bPresent : 0;
}

int CMJGameScene2::IsHandKnown(int view) {
    const MJTileInfo* r = m_tiles.GetTileRecord(kAreaHand, view, 1);
    return r && r->nCode != kHiddenTile ? 1 : 0;
}

int CMJGameScene2::AnyLockedOwnTile() {
    for (int i = 0; i < GetMaxHandTiles(); ++i) {
        const MJTileInfo& r = m_tiles.m_hands[kOwnView][i];
        if (InHand(r) && r.bLocked) return 1;
    }
    return 0;
}

void CMJGameScene2::SelectOnly(int view, int index) {
    MJTileInfo* row = m_tiles.HandRow(view);
    if (!row) return;
    for (int i = 0; i < GetMaxHandTiles(); ++i) row[i].bSelected = 0;
    if (index >= 0 && index < GetMaxHandTiles()) row[index].bSelected = 1;
}

int CMJGameScene2::GetSelectedOwnCodes(std::span<int32_t> out) {
    size_t n = 0;
    for (int i = 0; i < GetMaxHandTiles() && n < out.size(); ++i) {
        const MJTileInfo& r = m_tiles.m_hands[kOwnView][i];
        if (InHand(r) && r.bSelected) out[n++] = r.nCode;
    }
    return int(n);
}

int CMJGameScene2::CopyOwnHandExcept(std::span<int32_t> list, int start, int code) {
    if (start < 0) return start;
    size_t at = size_t(start);
    bool skipped = false;
    for (int i = 0; i < GetMaxHandTiles() && at < list.size(); ++i) {
        const MJTileInfo& r = m_tiles.m_hands[kOwnView][i];
        if (!InHand(r)) continue;
        if (!skipped && r.nCode == code) {
            skipped = true;
            continue;
        }
        list[at++] = r.nCode;
    }
    return int(at);
}

// ---- sort

void CMJGameScene2::SortHand(MJTileInfo* records, int first, int last) {
    if (!records || first < 0 || last >= kHandRecords || first >= last) return;
    struct Entry {
        int key, code;
    };
    std::vector<Entry> entries;
    int jokerKey = -1;
    for (int i = first; i <= last; ++i) {
        const int code = records[i].nCode;
        const bool joker = IsJokerTile(code) && !SortsJokers();
        entries.push_back({joker ? jokerKey-- : SortKey(code), code});
    }
    // Greater keys first; equal keys keep the order in which they were met.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.key > b.key; });
    for (int i = first; i <= last; ++i) records[i].nCode = entries[size_t(i - first)].code;
}

int CMJGameScene2::IsSortSweepRunning() {
    return m_made.handEvent && FindActiveApply(m_made.handEvent) ? 1 : 0;
}

void CMJGameScene2::SortHandButton() {
    if (IsSortSweepRunning() || m_nSelectMode != 0 || AnyLockedOwnTile()) return;
    engine::Entity* hand = EntityOf(m_made.hand);
    // Without the sweep's picture the hand is sorted at once.
    if (!hand) {
        OnSortSweepEnd();
        return;
    }
    PlaySoundRes(29108, 0x11);
    MJRect h;
    GetHandRect(kOwnView, h);
    const int lw = m_metrics.largeWidth, lh = m_metrics.largeHeight;
    const int last = LastHandIndex(kOwnView);
    const MJTileInfo* r = last >= 0 ? GetTileRecord(kAreaHand, kOwnView, last) : nullptr;
    const int y = h.top + (r ? r->nY : 10) + lh / 2;
    const int from = h.left + (r ? r->nX : 0) + lw / 2, to = h.right - lw / 2;
    if (engine::GameKernel* k = Kernel()) k->CancelAppliesOfEntity(hand->GetId(), ~0u, 0);
    hand->SetSize(3 * lw, lh);
    hand->SetAlpha(1.0);
    hand->SetPosition(from, y);
    hand->Show();
    hand->ApplyTransform();
    for (uint32_t id : m_made.particles) {
        engine::Entity* e = EntityOf(id);
        if (!e || e->GetType() != engine::ENT_PARTICLES) continue;
        auto* sparks = static_cast<engine::ParticleEntity*>(e);
        sparks->SetEmission(kSortSparks, kSortSparkMs, nullptr);
        RunParticles(sparks, 0, 0, engine::MessageData(), 0);
    }
    MoveTo(hand, m_made.handEvent, to, y, kSortSweepStep, kSortSweepMs, 210060,
           engine::MessageData(), 0);
}

void CMJGameScene2::OnSortSweepEnd() {
    MJTileInfo* row = m_tiles.m_hands[kOwnView];
    const int last = LastHandIndex(kOwnView);
    if (last > 1) {
        // Only the codes move; a tile's marks (locked for a choice, picked, joker) go with it:
        // a choice opened while the sweep ran keeps to the tiles it chose.
        struct Marks {
            int32_t code, locked, selected, joker;
        };
        std::vector<Marks> marks;
        for (int i = 1; i <= last; ++i)
            marks.push_back({row[i].nCode, row[i].bLocked, row[i].bSelected, row[i].bJoker});
        SortHand(row, 1, last);
        for (int i = 1; i <= last; ++i)
            for (const Marks& m : marks)
                if (m.code == row[i].nCode) {
                    row[i].bLocked = m.locked;
                    row[i].bSelected = m.selected;
                    row[i].bJoker = m.joker;
                    break;
                }
    }
    BindHandTiles(kOwnView);
    if (engine::Entity* hand = EntityOf(m_made.hand)) {
        ZoomAlphaTo(hand, -0.1, 0.0, m_made.handEvent, kSortSweepMs, 0, engine::MessageData(), 0,
                    0);
        ShowLater(hand, 0, m_made.handEvent, kSortSweepMs, 0, engine::MessageData(), 0);
    }
}

// ---- binding

engine::ImageEntity* CMJGameScene2::BindRecord(MJTileInfo& r, int area, int view, int index,
                                               MJBinding*& bind) {
    // A failed allocation is logged by the allocator and leaves the record on slot 0.
    r.nObject = AllocEntity();
    bind = Binding(r.nObject);
    if (!bind) return nullptr;
    *bind = MJBinding{bind->entityId, area,    0,         view, index,      r.nFace,
                      r.nDirection,   r.nCode, r.bLocked, 0,    r.bSelected};
    engine::Entity* e = EntityOf(bind->entityId);
    return e && e->GetType() == engine::ENT_IMAGE ? static_cast<engine::ImageEntity*>(e) : nullptr;
}

namespace {

struct Look {
    const char* picture = nullptr;
    int face = 0;  // multiplies the face index for the source x; 0: source x 0
    int width = 0, height = 0;
};

}  // namespace

void CMJGameScene2::BindHandTiles(int view) {
    if (!IsView(view)) return;
    CheckBindings();
    MJRect area;
    GetHandRect(view, area);
    const int lw = m_metrics.largeWidth, lh = m_metrics.largeHeight;
    Look last;
    int bound = 0;
    for (int i = 0; i < kHandSlotCount; ++i) {
        MJTileInfo& r = m_tiles.m_hands[view][i];
        if (!r.bPresent || r.nObject) continue;
        const int kind = r.bHand ? 2 : 3;
        Look look;
        if (kind == 2) {
            if (view != kOwnView && r.nFace != 1 && r.nFace != 2) {
                engine::WriteLogText(view == 1 ? "错误的游戏数据，1号位手上的麻将nFace不能为0"
                                               : "错误的游戏数据，0号位手上的麻将nFace不能为0");
                return;
            }
            static const Look kSide[3] = {
                {"侧面0", 0, 19, 49}, {"侧面1", 0, 26, 37}, {"侧面2", 0, 19, 49}};
            static const Look kMiddle[3] = {
                {"正面中图0", 33, 33, 32}, {"正面中图1", 26, 26, 36}, {"正面中图2", 33, 33, 32}};
            if (view == kOwnView)
                look = {"正面大图", lw, lw, lh};
            else
                look = r.nFace == 2 ? kSide[view] : kMiddle[view];
        } else if (r.nFace == 0 && (view == kOwnView || r.nDirection == (view + 2) % 4)) {
            look = view == 0 || view == 2 ? Look{"背面0", 0, 33, 32} : Look{"背面1", 0, 26, 36};
        } else if (r.nDirection != view && (view == kOwnView ? r.nFace != 0 : r.nFace == 1) &&
                   r.nDirection >= 0 && r.nDirection < 4) {
            static const Look kLaid[4] = {{"正面中图2", 33, 33, 32},
                                          {"正面中图3", 26, 26, 36},
                                          {"正面中图0", 33, 33, 32},
                                          {"正面中图1", 26, 26, 36}};
            look = kLaid[r.nDirection];
        } else {
            // No picture of its own: drawn as the record bound before it.
            look = last;
        }
        MJBinding* bind = nullptr;
        engine::ImageEntity* e = BindRecord(r, kind, view, i, bind);
        if (!e || !look.picture) continue;
        last = look;
        e->SetZ(r.nZ);
        if (view == kOwnView && kind == 2)
            if (const int c = AllocControl()) {
                bind->control = c;
                SetTileControl(bind);
            }
        e->SetPosition(area.left + r.nX + look.width / 2, area.top + r.nY + look.height / 2);
        e->SetImage(Picture(look.picture), look.face * GetFaceIndex(r.nCode), 0, look.width,
                    look.height, kMagentaKey);
        e->SetSize(look.width, look.height);
        if (view == kOwnView) {
            if (r.bLocked) {
                e->SetColorWord(0);
                e->SetAlpha(0.6);
            } else if (IsJokerTile(r.nCode)) {
                e->SetColorWord(0x120AF5);
                e->SetAlpha(0.7);
            }
        }
        e->Show();
        e->ApplyTransform();
        ++bound;
    }
    if (view != kOwnView) return;
    // A lock that came in mid-drag (a drawn flower leaves only the flowers playable) ends
    // the drag: the pressed tile may have lost its control, and its release would never come.
    if (m_bDragging && m_nSceneMode != 1 && AnyLockedOwnTile()) CancelDrag();
    RebindTileControls();
    // A tile that comes up under a resting pointer (the drawn tile, a rebound hand) is the
    // one a click there means: the hover is looked at again before the next input.
    if (bound)
        if (engine::GameKernel* k = Kernel()) k->PostMessage(84, engine::MessageData());
}

void CMJGameScene2::BindWallTiles() {
    CheckBindings();
    for (int i = 0; i < GetTotalTiles() && i < kWallRecords; ++i) {
        MJTileInfo& r = m_tiles.m_wall[i];
        if (!r.bPresent || r.nObject || !IsView(r.nView)) continue;
        MJBinding* bind = nullptr;
        engine::ImageEntity* e = BindRecord(r, kAreaWall, r.nView, i, bind);
        if (!e) continue;
        const bool side = r.nView == 0 || r.nView == 2;
        const int w = side ? 23 : 16, h = side ? 22 : 27, step = side ? 22 : 17;
        const char* picture =
            r.nFace ? (side ? "牌墙正面0" : "牌墙正面1") : (side ? "牌墙背面0" : "牌墙背面1");
        MJRect area;
        GetWallRect(r.nView, area);
        e->SetZ(r.nZ);
        e->SetPosition(area.left + r.nX + w / 2 + 1, area.top + r.nY + h / 2 + 1);
        e->SetImage(Picture(picture), r.nFace ? step * GetFaceIndex(r.nCode) : 0, 0, w, h,
                    kMagentaKey);
        e->SetSize(w, h);
        e->Show();
        e->ApplyTransform();
    }
}

// ---- hit tests and the drag

int CMJGameScene2::HitTestOwnHand(int x, int y) {
    MJRect h;
    GetHandRect(kOwnView, h);
    if (x < h.left || x >= h.right || y < h.top || y >= h.bottom) return -1;
    return HitTestOwnTile(x - h.left, y - h.top);
}

int CMJGameScene2::HitTestOwnTile(int rx, int ry) {
    const int w = m_metrics.largeWidth, h = m_metrics.largeHeight + 10;
    for (int i = 0; i < kHandSlotCount; ++i) {
        const MJTileInfo& r = m_tiles.m_hands[kOwnView][i];
        if (!InHand(r) || r.bLocked) continue;
        if (rx >= r.nX && rx < r.nX + w && ry >= r.nY && ry < r.nY + h) return i;
    }
    return -1;
}

int CMJGameScene2::GetDropIndex(int rx, int ry) {
    const int w = m_metrics.largeWidth, height = GetHandThickness(kOwnView);
    for (int i = 0; i < kHandSlotCount; ++i) {
        const MJTileInfo& r = m_tiles.m_hands[kOwnView][i];
        if (!InHand(r)) continue;
        if (rx >= r.nX && rx < r.nX + w && ry >= 0 && ry < height)
            return rx <= r.nX + w / 2 ? i : i - 1;
    }
    return -2;
}

void CMJGameScene2::ResetOwnTilePositions() {
    MJRect h;
    GetHandRect(kOwnView, h);
    for (int i = 0; i < kHandSlotCount; ++i) {
        const MJTileInfo& r = m_tiles.m_hands[kOwnView][i];
        if (!InHand(r) || !r.nObject || r.nMeld) continue;
        const MJBinding* b = Binding(r.nObject);
        if (engine::Entity* e = b ? EntityOf(b->entityId) : nullptr) {
            e->SetPosition(h.left + r.nX + m_metrics.largeWidth / 2,
                           h.top + r.nY + m_metrics.largeHeight / 2);
            e->ApplyTransform();
        }
    }
}

void CMJGameScene2::MoveDraggedTile(int target, int x, int y) {
    MJTileInfo* row = m_tiles.m_hands[kOwnView];
    const int from = m_nDragIndex;
    auto finish = [&] {
        m_bDragging = 0;
        m_nDragIndex = -1;
    };
    if (from < 0 || from >= kHandSlotCount) {
        ResetOwnTilePositions();
        finish();
        return;
    }
    MJTileInfo& dragged = row[from];
    if (!dragged.bPresent || dragged.bLocked || !dragged.bHand || dragged.nCode != m_nDragCode)
        return;
    if (target == -1) {
        target = InHand(row[0]) ? -1 : 1;
    } else if (target == -2) {
        const int top = LastHandIndex(kOwnView);
        target = top >= 0 && x >= 0 && x < row[top].nX && y >= 0 && y < GetHandThickness(kOwnView)
                     ? top
                     : 0;
    }
    if (target == from || target == from - 1 || target < -1 || target >= kHandSlotCount) {
        ResetOwnTilePositions();
        finish();
        return;
    }
    const int code = m_nDragCode, joker = m_nDragJoker;
    if (from < target) {
        for (int i = from; i < target; ++i) {
            row[i].nCode = row[i + 1].nCode;
            row[i].bLocked = row[i + 1].bLocked;
            row[i].bJoker = row[i + 1].bJoker;
        }
        row[target].nCode = code, row[target].bJoker = joker, row[target].bLocked = 0;
    } else {
        for (int i = from; i >= target + 2; --i) {
            row[i].nCode = row[i - 1].nCode;
            row[i].bLocked = row[i - 1].bLocked;
            row[i].bJoker = row[i - 1].bJoker;
        }
        row[target + 1].nCode = code, row[target + 1].bJoker = joker, row[target + 1].bLocked = 0;
    }
    BindHandTiles(kOwnView);
    PlaySoundRes(29100, 17);
    finish();
}

void CMJGameScene2::OnTileDragStart(MJTileInfo* record, MJBinding* binding) {
    // A drag starts only with no selection mode, the same rule the sort button keeps: from a
    // claim's offer until the server's answer the hand stays in the order the offer was made
    // on, whichever claim it is. For a chi or an added gang that order is what is declared:
    // they are finished from the tiles picked on their records, and a drag moves the tiles'
    // codes, not their picks. The lock marks do not always stop it: a hand that holds nothing
    // but tiles to add to its pungs has none locked during the choice.
    if (!record || !binding || (m_pHost && m_pHost->GetCmdField8()) || IsActionWaiting() ||
        m_nSelectMode != 0 || record->bLocked || binding->locked || m_bDragging ||
        AnyLockedOwnTile())
        return;
    engine::Entity* e = EntityOf(binding->entityId);
    const engine::MouseState* mouse = GetMouseState();
    MJRect h;
    GetHandRect(kOwnView, h);
    m_nDragIndex = binding->index;
    m_nDragCode = record->nCode;
    m_nDragJoker = record->bJoker;
    m_nGrabOffset = (mouse ? mouse->x : 0) - record->nX - h.left;
    m_nDragX = record->nX;
    m_nDragY = record->nY;
    m_nDragZ = e ? e->GetZ() : record->nZ;
    m_bDragging = 1;
    if (e) {
        e->SetZ(2900);
        e->ApplyTransform();
    }
}

void CMJGameScene2::LiftOwnTile(engine::Entity* e, int y) {
    if (!e) return;
    e->SetPosition(e->GetX(), y);
    e->ApplyTransform();
}

void CMJGameScene2::OnTileDragMove(MJTileInfo* record, MJBinding* binding) {
    if (!m_bDragging || !record || !binding) return;
    // The drag belongs to one tile: a drag event of another one ends it where it is.
    if (binding->index != m_nDragIndex) {
        CancelDrag();
        return;
    }
    engine::Entity* e = EntityOf(binding->entityId);
    const engine::MouseState* mouse = GetMouseState();
    if (!e || !mouse) return;
    MJRect h;
    GetHandRect(kOwnView, h);
    if (mouse->x < h.left || mouse->x >= h.right || mouse->y < h.top || mouse->y >= h.bottom) {
        OnTileDrop(record, binding);
        return;
    }
    // The tile's middle follows the pointer along the hand, at its own height: where it is
    // let go, the pointer's place decides the drop.
    e->SetPosition(mouse->x, e->GetY());
    e->ApplyTransform();
}

void CMJGameScene2::CancelDrag() {
    if (!m_bDragging) return;
    const MJTileInfo* r = GetTileRecord(kAreaHand, kOwnView, std::clamp(m_nDragIndex, 0, 31));
    const MJBinding* b = r ? Binding(r->nObject) : nullptr;
    if (engine::Entity* e = b ? EntityOf(b->entityId) : nullptr) {
        e->SetZ(m_nDragZ);
        e->ApplyTransform();
    }
    ResetOwnTilePositions();
    m_bDragging = 0;
    m_bDragDone = 1;
    m_nDragIndex = -1;
}

void CMJGameScene2::OnTileDrop(MJTileInfo* record, MJBinding* binding) {
    if (!m_bDragging || (m_pHost && m_pHost->GetCmdField8())) return;
    // A lock or a waiting request that came in mid-drag takes the drop: the tile goes back
    // to its place and the hand lifts and drags again.
    if (!record || !binding || IsActionWaiting() || record->bLocked || binding->locked ||
        AnyLockedOwnTile()) {
        CancelDrag();
        return;
    }
    MJRect h;
    GetHandRect(kOwnView, h);
    int x = 0, y = 0;
    const MJBinding* b =
        Binding(m_tiles.m_hands[kOwnView][std::clamp(m_nDragIndex, 0, 31)].nObject);
    if (engine::Entity* e = b ? EntityOf(b->entityId) : nullptr) {
        x = e->GetX() - h.left;
        y = e->GetY() - h.top;
        e->SetZ(m_nDragZ);
        e->ApplyTransform();
    }
    MoveDraggedTile(GetDropIndex(x, y), x, y);
    m_bDragging = 0;
    m_bDragDone = 1;
}

}  // namespace hqlv::mahjong
