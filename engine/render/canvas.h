#pragma once
// The renderer. Each frame it gathers the areas that changed on its five layers, restores
// the background under them, redraws in layers 1 to 4 only the items that meet them, and
// copies only those rectangles to the target. A frame with nothing changed draws nothing.
// The back buffer is 32-bit; a 16- or 24-bit screen gets the converted pixels.
#include <array>
#include <cstdint>
#include <vector>

#include "engine/render/draw_layer.h"
#include "engine/render/picture.h"

namespace hqlv::engine {

struct BackgroundSlot {
    uint32_t resourceId = 0;
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// The conversions for a 16-bit (RGB565) and a 24-bit screen.
std::vector<uint16_t> ConvertTo565(const uint32_t* pixels, size_t count);
std::vector<uint8_t> PackTo24(const uint32_t* pixels, size_t count);

class Canvas {
public:
    static constexpr int kLayerCount = 5;
    static constexpr size_t kSlotCount = 100;
    // Back buffers larger than this on a side are refused: the back buffer, its background
    // cache and the game's logical buffers are each a 32-bit pixel a point, 1 GiB apiece at
    // this side, past any screen a window shows; a larger size from a script or a file would
    // take the machine's memory rather than draw anything a player could see.
    static constexpr int kMaxSide = 16384;

    Canvas();
    virtual ~Canvas() = default;

    // depthBits: the screen's bits per pixel (16, 24 or 32).
    void InitScreen(int depthBits, int width, int height);
    // 1 when the size differed and the buffers were made again.
    int EnsureBackBuffer(int width, int height);
    void ResizeSurfaces(int width, int height);
    void SetLayerView(int layer);

    int SetBackgroundMode(uint32_t mode);
    int SetRenderMode(uint32_t mode);
    void SetFullScreenInvalidate(bool on) { fullScreen_ = on ? 1 : 0; }
    bool FullScreen() const { return fullScreen_ != 0; }

    int SetBackgroundImage(uint32_t resourceId, int x, int y, int width, int height,
                           uint32_t flags);
    void SetScrollArea(int width, int height);
    void SetViewCenter(int x, int y, bool rebuild);
    void MoveViewCenter(int dx, int dy);
    void ClampView();
    ViewBlock GetViewRect() const { return view_; }
    void RebuildBackgroundIfNeeded();

    void InvalidateRect(int left, int top, int right, int bottom);
    void InvalidateAll();
    bool HasDirtyRects() const;
    void TakeDirtyRects();
    const std::vector<Rect>& DirtyRects() const { return dirty_; }

    uint32_t AddDrawItem(int layer, uint32_t entityId, BlitParams* live, double alpha,
                         uint32_t visible, const RenderDescriptor* descriptor);
    void UpdateItemGeometry(int layer, uint32_t item, uint32_t visible, int z, double alpha,
                            BlitParams* live);
    void UpdateItemTransform(int layer, uint32_t item, uint32_t visible, int z, double alpha);
    void RemoveDrawItem(int layer, uint32_t item);
    int SetItemHitTest(int layer, uint32_t item, bool on);
    void SetTopItem(uint32_t item) { layers_[4].SetTopItem(item); }
    void RemoveTopItem(uint32_t item) { layers_[4].RemoveTopItem(item); }
    uint32_t GetTopItem() const { return layers_[4].GetTopItem(); }
    void LayerMarkItemDirty(int layer, uint32_t item);
    int LayerRectToScreen(int layer, Rect& rect) const;
    IPoint ScreenToLayer(int layer, int x, int y) const;
    IPoint LayerToScreen(int layer, int x, int y) const;
    uint32_t GetItemEntityId(int layer, uint32_t item) const;
    uint32_t HitTest(int x, int y) const;

    // -1 when nothing was dirty (the target is not touched), else 0. The back buffer follows
    // the target's size; only the dirty rectangles (everything in full-screen mode) reach it.
    int Render(uint32_t now, DrawSurface& target);

    uint32_t CurrentTime() const { return now_; }
    // Whether anything was drawn or invalidated since the last call; clears the flag.
    bool TakeFrameDrawn() {
        const bool drawn = frameDrawn_ != 0;
        frameDrawn_ = 0;
        return drawn;
    }
    DrawLayer& Layer(int i) { return layers_[size_t(i)]; }
    const DrawLayer& Layer(int i) const { return layers_[size_t(i)]; }
    // The scratch buffer of dirty-area frames; frames covering the whole view skip it.
    const std::vector<uint32_t>& BackBuffer() const { return back_; }
    int Width() const { return view_.width; }
    int Height() const { return view_.height; }
    int BytesPerPixel() const { return bytesPerPixel_; }
    uint32_t BackgroundMode() const { return bgMode_; }
    // Items drawn by the last frame, for the measurements.
    size_t ItemsDrawn() const { return itemsDrawn_; }

private:
    bool LayerIndexOk(int layer) const { return layer >= 0 && layer < kLayerCount; }
    void RenderLayer(int layer);
    void DrawItem(const BlitParams& live, double alpha, const RenderDescriptor* d, int depth);
    void DrawPlane(const BlitParams& live, double alpha, const RenderDescriptor& d);
    void DrawPointListItem(const BlitParams& live, double alpha, const RenderDescriptor& d);
    void DrawParticles(double alpha, const RenderDescriptor& d);
    void RebuildBackground(uint32_t* dst);
    void PrepareBackground();
    void FillBackground(uint32_t* dst, uint32_t colour);
    DrawSurface BackSurface();
    // Where this frame draws: the back buffer, or the target when the frame covers it all.
    uint32_t* DrawPixels() { return drawTo_ ? drawTo_ : back_.data(); }
    bool CoversView() const;

    uint8_t depth_ = 32;
    uint8_t bytesPerPixel_ = 4;
    uint32_t frameDrawn_ = 0;
    uint32_t fullScreen_ = 0;
    uint32_t targetRead_ = 2;
    uint32_t renderMode_[3] = {0, 0, 0};
    std::vector<uint32_t> back_;
    uint32_t* drawTo_ = nullptr;
    std::vector<uint32_t> cache_;
    std::vector<BackgroundSlot> slots_;
    uint32_t bgState_ = 0;
    int32_t tileWidth_ = 0;
    int32_t tileHeight_ = 0;
    int32_t tilesPerRow_ = 0;
    int32_t tileRows_ = 0;
    uint32_t bgFlags_ = 0;
    uint32_t bgColour_ = 0;
    uint32_t bgMode_ = 4;
    ViewBlock view_;
    std::array<DrawLayer, kLayerCount> layers_;
    std::vector<Rect> dirty_;
    uint32_t now_ = 0;
    size_t itemsDrawn_ = 0;
    int currentLayer_ = 1;
};

}  // namespace hqlv::engine
