#pragma once
// One layer of the canvas: a draw item per attached entity, which of them lie in the view,
// the shown ones in drawing order (z, then entity id), the areas that changed since the last
// frame, hit testing, and (the top layer) the stack of modal top items.
#include <cstdint>
#include <map>
#include <vector>

#include "engine/core/entity.h"
#include "engine/render/picture.h"

namespace hqlv::engine {

// The canvas's view: half sizes, size, centre in scrolling coordinates, scroll size.
struct ViewBlock {
    int32_t halfWidth = 0;
    int32_t halfHeight = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t centreX = 0;
    int32_t centreY = 0;
    int32_t scrollWidth = 0;
    int32_t scrollHeight = 0;
};

struct LayerItem {
    uint32_t id = 0;
    uint32_t entityId = 0;
    BlitParams copy;  // as of the last geometry update: the old area
    BlitParams* live = nullptr;
    uint32_t visible = 0;
    uint32_t inView = 0;
    double alpha = 1.0;
    const RenderDescriptor* descriptor = nullptr;
};

// Whether a draw block's box (w + 1 by h + 1 about its draw centre, turned by its angle)
// meets a rectangle.
bool BlockMeetsRect(const BlitParams& block, const Rect& rect);
// Merges a rectangle into a list of dirty rectangles.
void MergeDirtyRect(std::vector<Rect>& list, const Rect& rect);

// The most changed areas a layer keeps between two frames. A window that is not drawn for a
// long time (minimised, covered) still has its entities move: past this many the areas are
// folded into the one rectangle that covers them all, so the list stays small and the next
// frame still redraws every area that changed.
inline constexpr size_t kMaxPendingDirty = 256;

class DrawLayer {
public:
    void SetView(const ViewBlock& view);
    void SetCenter(const ViewBlock& view);
    void SetBounds(const Rect& bounds) { bounds_ = bounds; }
    const Rect& Bounds() const { return bounds_; }

    uint32_t AddItem(uint32_t entityId, BlitParams* live, double alpha, uint32_t visible,
                     const RenderDescriptor* descriptor);
    void UpdateItemGeometry(uint32_t id, int z, uint32_t visible, double alpha, BlitParams* live);
    void UpdateItemTransform(uint32_t id, int z, uint32_t visible, double alpha);
    void RemoveItem(uint32_t id);
    const LayerItem* FindItem(uint32_t id) const;
    uint32_t GetItemEntityId(uint32_t id) const;
    int SetItemHitTest(uint32_t id, bool on);
    void ForceItem(uint32_t id);

    void MarkParamsDirty(const BlitParams& block);
    bool HasDirty() const { return !pending_.empty(); }
    size_t PendingCount() const { return pending_.size(); }
    void DropDirty() { pending_.clear(); }
    void TakeDirtyRects(std::vector<Rect>& list);
    Rect ParamsToRect(BlitParams& block) const;

    void CollectDirty(const std::vector<Rect>& list);
    void CollectAll();
    void ClearFrameList() { frame_.clear(); }
    const std::vector<uint32_t>& FrameList() const { return frame_; }

    // 1 in view (and meeting its clip rectangle), 0 not; writes the draw centre.
    int CalcItemBounds(BlitParams& block) const;

    uint32_t HitTest(int x, int y) const;
    int PixelHit(int lx, int ly, const LayerItem& item) const;

    void SetTopItem(uint32_t id);
    void RemoveTopItem(uint32_t id);
    uint32_t GetTopItem() const;
    uint32_t HitThreshold() const { return threshold_; }

    IPoint ScreenToLayer(int x, int y) const;
    IPoint LayerToScreen(int x, int y) const;
    int RectToScreen(Rect& rect) const;

    size_t ItemCount() const { return items_.size(); }
    // The shown items: an update of one walks them to find its place in the drawing order.
    size_t OrderedCount() const { return ordered_.size(); }
    // Item ids of the shown items in drawing order.
    std::vector<uint32_t> OrderedIds() const;

private:
    struct Ordered {
        uint32_t id;
        bool forced;
        const LayerItem* item;  // the entry of items_: removed from here before it is erased
    };
    void RefreshAll();
    void FoldPending();
    void InsertOrdered(const LayerItem& item);
    void RemoveOrdered(uint32_t id);
    void SetInViewBits(LayerItem& item, bool inView);
    void AfterUpdate(LayerItem& item, uint32_t visibleArg);

    ViewBlock view_;
    int32_t viewRadius_ = 0;
    Rect bounds_;
    uint32_t nextId_ = 1;
    uint32_t top_ = 0;
    uint32_t threshold_ = 0;
    std::map<uint32_t, LayerItem> items_;
    std::vector<Ordered> ordered_;
    std::vector<BlitParams> pending_;
    std::map<uint32_t, uint32_t> hitTest_;
    std::vector<uint32_t> topList_;
    std::vector<uint32_t> frame_;
};

}  // namespace hqlv::engine
