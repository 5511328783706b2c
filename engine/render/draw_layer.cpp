#include "engine/render/draw_layer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/core/entity_kinds.h"
#include "engine/render/plane.h"

namespace hqlv::engine {
namespace {

bool PointIn(const Rect& r, double x, double y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

Rect UnionRect(const Rect& a, const Rect& b) {
    if (a.empty()) return b.empty() ? Rect{} : b;
    if (b.empty()) return a;
    return Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

// Half a side rounded up, worked out wide: a side of INT_MAX must not wrap.
int64_t HalfUp(int side) {
    return (int64_t(side) + 1) / 2;
}

int ClampToInt(int64_t v) {
    return int(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

bool SameRect(const Rect& a, const Rect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

bool BlockMeetsRect(const BlitParams& b, const Rect& rect) {
    const int sx = b.drawX, sy = b.drawY;
    Rect box;
    const int64_t left = sx - HalfUp(b.width), top = sy - HalfUp(b.height);
    box.left = ClampToInt(left);
    box.top = ClampToInt(top);
    box.right = ClampToInt(left + b.width + 1);
    box.bottom = ClampToInt(top + b.height + 1);
    if (b.angle == 0.0) return !IntersectRect(box, rect).empty();
    const DPoint c[4] = {RotatePointD(box.left, box.top, sx, sy, b.angle, 1),
                         RotatePointD(box.right, box.top, sx, sy, b.angle, 1),
                         RotatePointD(box.right, box.bottom, sx, sy, b.angle, 1),
                         RotatePointD(box.left, box.bottom, sx, sy, b.angle, 1)};
    const DPoint r[4] = {{double(rect.left), double(rect.top)},
                         {double(rect.right), double(rect.top)},
                         {double(rect.right), double(rect.bottom)},
                         {double(rect.left), double(rect.bottom)}};
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            if (SegmentIntersect(c[i], c[(i + 1) % 4], r[j], r[(j + 1) % 4], nullptr)) return true;
        }
    }
    if (PointIn(rect, sx, sy)) return true;
    const IPoint back =
        RotatePoint(int((int64_t(rect.left) + rect.right + 1) / 2),
                    int((int64_t(rect.top) + rect.bottom + 1) / 2), sx, sy, b.angle, 0);
    return PointIn(box, back.x, back.y);
}

void MergeDirtyRect(std::vector<Rect>& list, const Rect& n) {
    if (list.empty()) {
        list.push_back(n);
        return;
    }
    for (Rect& e : list) {
        const Rect u = UnionRect(n, e);
        if (u.empty()) continue;
        if (SameRect(u, n)) {
            e = n;
            return;
        }
        if (SameRect(u, e)) return;
        if ((n.left == e.left && n.right == e.right) || (n.top == e.top && n.bottom == e.bottom)) {
            e = u;
            return;
        }
    }
    list.push_back(n);
}

void DrawLayer::SetView(const ViewBlock& view) {
    view_ = view;
    viewRadius_ = (view.halfWidth == 0 || view.halfHeight == 0)
                      ? 0
                      : int32_t(std::sqrt(double(view.halfWidth) * view.halfWidth +
                                          double(view.halfHeight) * view.halfHeight) +
                                0.5);
    RefreshAll();
}

void DrawLayer::SetCenter(const ViewBlock& view) {
    view_.centreX = view.centreX;
    view_.centreY = view.centreY;
    RefreshAll();
}

int DrawLayer::CalcItemBounds(BlitParams& b) const {
    // Positions and sizes are whatever the scene set: the test is worked out wide, and a
    // draw centre past the int range belongs to an item that is out of view anyway.
    const int64_t sx = int64_t(view_.halfWidth) + (int64_t(b.centreX) - view_.centreX);
    const int64_t sy = int64_t(view_.halfHeight) + (int64_t(b.centreY) - view_.centreY);
    b.drawX = ClampToInt(sx);
    b.drawY = ClampToInt(sy);
    bool in;
    if (b.angle == 0.0) {
        in = !(sx + HalfUp(b.width) < 0 || sx - HalfUp(b.width) >= view_.width ||
               sy + HalfUp(b.height) < 0 || sy - HalfUp(b.height) >= view_.height);
    } else {
        const double dx = double(b.centreX) - view_.centreX;
        const double dy = double(b.centreY) - view_.centreY;
        const double reach = double(b.radius) + viewRadius_;
        in = dx * dx + dy * dy < reach * reach;
    }
    if (!in) return 0;
    if (!(b.flags & BLIT_CLIP)) return 1;
    return BlockMeetsRect(b, b.clip) ? 1 : 0;
}

void DrawLayer::SetInViewBits(LayerItem& item, bool inView) {
    item.inView = inView ? 1 : 0;
    if (inView)
        item.live->flags |= kInViewFlags;
    else
        item.live->flags &= ~kInViewFlags;
}

uint32_t DrawLayer::AddItem(uint32_t entityId, BlitParams* live, double alpha, uint32_t visible,
                            const RenderDescriptor* descriptor) {
    if (!live) return 0;
    LayerItem item;
    item.id = nextId_++;
    item.entityId = entityId;
    item.live = live;
    item.alpha = alpha;
    item.visible = visible;
    item.descriptor = descriptor;
    SetInViewBits(item, CalcItemBounds(*live) != 0);
    item.copy = *live;
    auto& stored = items_[item.id] = item;
    if (stored.inView && stored.visible) {
        InsertOrdered(stored);
        MarkParamsDirty(stored.copy);
    }
    return stored.id;
}

void DrawLayer::InsertOrdered(const LayerItem& item) {
    if (!item.descriptor || item.alpha <= 0) return;
    const int z = item.live->z;
    // Each entry points at its item (map nodes stay put), so the walk costs no lookups.
    auto pos = std::find_if(ordered_.begin(), ordered_.end(), [&](const Ordered& o) {
        const LayerItem& other = *o.item;
        const int oz = other.live->z;
        return oz > z || (oz == z && other.entityId > item.entityId);
    });
    ordered_.insert(pos, Ordered{item.id, false, &item});
}

void DrawLayer::RemoveOrdered(uint32_t id) {
    auto it = std::find_if(ordered_.begin(), ordered_.end(),
                           [&](const Ordered& o) { return o.id == id; });
    if (it != ordered_.end()) ordered_.erase(it);
}

void DrawLayer::AfterUpdate(LayerItem& item, uint32_t visibleArg) {
    if (item.id != top_ || top_ == 0) return;
    threshold_ = uint32_t(item.live->z) - 1u;
    if (visibleArg == 0) RemoveTopItem(item.id);
}

void DrawLayer::UpdateItemGeometry(uint32_t id, int, uint32_t visible, double alpha,
                                   BlitParams* live) {
    auto it = items_.find(id);
    if (it == items_.end()) return;
    LayerItem& item = it->second;
    if (live) item.live = live;
    const bool newIn = CalcItemBounds(*item.live) != 0;
    const uint32_t newVisible = visible == 0 ? 0 : visible == 1 ? 1 : item.visible;
    const bool wasShown = item.inView && item.visible;
    if (wasShown) MarkParamsDirty(item.copy);
    if (newIn && newVisible) MarkParamsDirty(*item.live);
    if (wasShown) RemoveOrdered(id);
    item.visible = newVisible;
    SetInViewBits(item, newIn);
    item.copy = *item.live;
    item.alpha = alpha;
    if (item.inView && item.visible) InsertOrdered(item);
    AfterUpdate(item, visible);
}

void DrawLayer::UpdateItemTransform(uint32_t id, int, uint32_t visible, double alpha) {
    auto it = items_.find(id);
    if (it == items_.end()) return;
    LayerItem& item = it->second;
    const uint32_t newVisible = visible == 0 ? 0 : visible == 1 ? 1 : item.visible;
    if ((newVisible || item.visible) && item.inView) MarkParamsDirty(item.copy);
    if (item.visible && item.inView) RemoveOrdered(id);
    item.visible = newVisible;
    item.alpha = alpha;
    if (item.inView && item.visible) InsertOrdered(item);
    AfterUpdate(item, visible);
}

void DrawLayer::RemoveItem(uint32_t id) {
    auto it = items_.find(id);
    if (it == items_.end()) return;
    LayerItem& item = it->second;
    if (item.inView && item.visible) {
        // Both areas the item may stand in on the screen. Every frame draws the item from its
        // live block, so a size or a turn set since the last push is drawn as soon as a
        // neighbour's change redraws part of it: without the live area, what an entity grew
        // into would stay standing. And the area last pushed (the copy) is where it was drawn
        // when its own area was redrawn: without it, the rest of a picture that has shrunk
        // since would stay standing.
        MarkParamsDirty(*item.live);
        MarkParamsDirty(item.copy);
        RemoveOrdered(id);
    }
    items_.erase(it);
    hitTest_.erase(id);
    RemoveTopItem(id);
}

const LayerItem* DrawLayer::FindItem(uint32_t id) const {
    auto it = items_.find(id);
    return it == items_.end() ? nullptr : &it->second;
}

uint32_t DrawLayer::GetItemEntityId(uint32_t id) const {
    const LayerItem* item = FindItem(id);
    return item ? item->entityId : 0;
}

int DrawLayer::SetItemHitTest(uint32_t id, bool on) {
    if (on) {
        const LayerItem* item = FindItem(id);
        if (!item) return 0;
        hitTest_[id] = item->entityId;
        return 1;
    }
    hitTest_.erase(id);
    if (id == top_) {
        top_ = 0;
        threshold_ = 0;
    }
    return 1;
}

void DrawLayer::ForceItem(uint32_t id) {
    if (!FindItem(id)) return;
    for (Ordered& o : ordered_) {
        if (o.id == id) {
            o.forced = true;
            return;
        }
    }
}

void DrawLayer::RefreshAll() {
    ordered_.clear();
    pending_.clear();
    for (auto& [id, item] : items_) {
        const bool in = CalcItemBounds(*item.live) != 0;
        SetInViewBits(item, in);
        if (in) {
            item.copy = *item.live;
            if (item.visible) InsertOrdered(item);
            MarkParamsDirty(*item.live);
        }
    }
}

Rect DrawLayer::ParamsToRect(BlitParams& b) const {
    Rect r;
    if (b.angle != 0.0) {
        if (b.radius < 1) b.radius = int32_t(GetRotateRadius(b.width, b.height));
        const int64_t x = b.drawX, y = b.drawY, radius = b.radius;
        r = Rect{ClampToInt(x - radius), ClampToInt(y - radius), ClampToInt(x + radius),
                 ClampToInt(y + radius)};
    } else {
        const int64_t left = b.drawX - HalfUp(b.width), top = b.drawY - HalfUp(b.height);
        r = Rect{ClampToInt(left), ClampToInt(top), ClampToInt(left + b.width),
                 ClampToInt(top + b.height)};
    }
    if (b.flags & BLIT_CLIP) {
        const Rect clip{b.clip.left - bounds_.left, b.clip.top - bounds_.top,
                        b.clip.right - bounds_.left, b.clip.bottom - bounds_.top};
        r = IntersectRect(r, clip);
    }
    return r;
}

void DrawLayer::MarkParamsDirty(const BlitParams& block) {
    if (pending_.size() >= kMaxPendingDirty) FoldPending();
    pending_.push_back(block);
}

void DrawLayer::FoldPending() {
    Rect all;
    for (BlitParams& b : pending_) all = UnionRect(all, ParamsToRect(b));
    pending_.clear();
    // Kept well inside the int range (still far past any screen), so its sides cannot wrap.
    constexpr int kReach = 1 << 29;
    all = IntersectRect(all, Rect{-kReach, -kReach, kReach, kReach});
    // One unturned, unclipped block that ParamsToRect turns back into exactly this
    // rectangle; an empty one still asks for the frame (forced items draw in it).
    BlitParams whole;
    whole.width = all.right - all.left;
    whole.height = all.bottom - all.top;
    whole.drawX = all.left + int(HalfUp(whole.width));
    whole.drawY = all.top + int(HalfUp(whole.height));
    pending_.push_back(whole);
}

void DrawLayer::TakeDirtyRects(std::vector<Rect>& list) {
    for (BlitParams& b : pending_) MergeDirtyRect(list, ParamsToRect(b));
    pending_.clear();
}

void DrawLayer::CollectDirty(const std::vector<Rect>& list) {
    for (Ordered& o : ordered_) {
        if (o.forced) {
            o.forced = false;
            frame_.push_back(o.id);
            continue;
        }
        const BlitParams& b = *items_.at(o.id).live;
        for (const Rect& r : list) {
            if (BlockMeetsRect(b, r)) {
                frame_.push_back(o.id);
                break;
            }
        }
    }
}

void DrawLayer::CollectAll() {
    for (Ordered& o : ordered_) {
        o.forced = false;
        frame_.push_back(o.id);
    }
}

std::vector<uint32_t> DrawLayer::OrderedIds() const {
    std::vector<uint32_t> ids;
    for (const Ordered& o : ordered_) ids.push_back(o.id);
    return ids;
}

uint32_t DrawLayer::HitTest(int x, int y) const {
    const int lx = x + view_.centreX - view_.halfWidth;
    const int ly = y + view_.centreY - view_.halfHeight;
    uint32_t best = 0, threshold = threshold_;
    for (const auto& [id, entityId] : hitTest_) {
        const LayerItem* item = FindItem(id);
        if (!item || !item->visible || !item->inView) continue;
        const BlitParams& b = *item->live;
        double px = lx, py = ly;
        if (b.angle != 0.0) {
            const DPoint p = RotatePointD(lx, ly, b.centreX, b.centreY, b.angle, 0);
            px = p.x;
            py = p.y;
        }
        const double hw = double(HalfUp(b.width)), hh = double(HalfUp(b.height));
        const bool hit = b.centreX - hw < px && px < b.centreX + hw && b.centreY - hh < py &&
                         py < b.centreY + hh;
        if (!hit || !(uint32_t(b.z) > threshold)) continue;
        if ((b.flags & BLIT_PIXEL_HIT) && PixelHit(lx, ly, *item) == 0) continue;
        best = item->entityId;
        threshold = uint32_t(b.z);
    }
    return best;
}

int DrawLayer::PixelHit(int lx, int ly, const LayerItem& item) const {
    const RenderDescriptor* d = item.descriptor;
    if (!d) return 0;
    const BlitParams& b = *item.live;
    const IPoint p = RotatePoint(lx, ly, b.centreX, b.centreY, b.angle, 0);
    const int64_t u = int64_t(p.x) - b.centreX + HalfUp(b.width);
    const int64_t v = int64_t(p.y) - b.centreY + HalfUp(b.height);
    if (u < 0 || v < 0) return 0;
    if (d->kind == ENT_PLANE) {
        // The entity's size and the buffer's differ after a resize: outside the buffer is
        // transparent.
        const auto* plane = dynamic_cast<const PlaneState*>(d->state.get());
        if (!plane || u >= plane->width || v >= plane->height) return 0;
        return (plane->pixels[size_t(v) * size_t(plane->width) + size_t(u)] >> 24) != 0;
    }
    if (d->kind != ENT_IMAGE) return 0;
    const auto* img = dynamic_cast<const ImageState*>(d->state.get());
    if (!img) return 0;
    const EnginePicture* pic = LookupPicture(img->resourceId);
    if (!pic || !pic->pixels || u >= pic->width || v >= pic->frameHeight) return 0;
    const size_t frames = pic->frameCount ? pic->frameCount : 1;
    const size_t frame = img->frame % frames;
    const size_t index = size_t(u) + size_t(v) * pic->width + frame * pic->frameHeight * pic->width;
    const size_t sample = size_t(pic->sampleSize());
    if ((index + 1) * sample > pic->dataSize) return 0;
    const uint8_t* s = pic->pixels + index * sample;
    if (sample == 4) return s[3] != 0;
    if (sample == 1) return s[0] != pic->key;
    return s[0] != pic->key && s[1] != 0;
}

void DrawLayer::SetTopItem(uint32_t id) {
    if (id == 0) {
        top_ = 0;
        threshold_ = 0;
        topList_.clear();
        return;
    }
    if (id == top_) return;
    const LayerItem* item = FindItem(id);
    if (!item) return;
    RemoveTopItem(id);
    topList_.push_back(id);
    top_ = id;
    threshold_ = uint32_t(item->live->z) - 1u;
}

void DrawLayer::RemoveTopItem(uint32_t id) {
    auto it = std::find(topList_.begin(), topList_.end(), id);
    if (it == topList_.end()) return;
    topList_.erase(it);
    if (id != top_) return;
    if (topList_.empty()) {
        top_ = 0;
        threshold_ = 0;
        return;
    }
    top_ = topList_.back();
    const LayerItem* item = FindItem(top_);
    if (!item) {
        top_ = 0;
        threshold_ = 0;
    } else {
        threshold_ = uint32_t(item->live->z) - 1u;
    }
}

uint32_t DrawLayer::GetTopItem() const {
    if (top_ == 0) return 0;
    return GetItemEntityId(top_);
}

IPoint DrawLayer::ScreenToLayer(int x, int y) const {
    return {x + view_.centreX - view_.halfWidth, y + view_.centreY - view_.halfHeight};
}

IPoint DrawLayer::LayerToScreen(int x, int y) const {
    return {x + view_.halfWidth - view_.centreX, y + view_.halfHeight - view_.centreY};
}

int DrawLayer::RectToScreen(Rect& r) const {
    if (r.right < view_.centreX - view_.halfWidth || r.left > view_.centreX + view_.halfWidth ||
        r.top > view_.centreY + view_.halfHeight || r.bottom < view_.centreY - view_.halfHeight)
        return 0;
    const IPoint tl = LayerToScreen(r.left, r.top);
    const IPoint br = LayerToScreen(r.right, r.bottom);
    r = Rect{std::max(tl.x, 0), std::max(tl.y, 0), std::min(br.x, view_.width),
             std::min(br.y, view_.height)};
    return 1;
}

}  // namespace hqlv::engine
