#include "engine/render/canvas.h"

#include <algorithm>
#include <cstring>

#include "engine/core/entity_kinds.h"
#include "engine/render/blitter.h"
#include "engine/render/plane.h"

namespace hqlv::engine {

std::vector<uint16_t> ConvertTo565(const uint32_t* pixels, size_t count) {
    std::vector<uint16_t> out(count);
    for (size_t i = 0; i < count; ++i) {
        const uint32_t p = pixels[i];
        out[i] = uint16_t(((p & 0xF8) >> 3) | (((p >> 8) & 0xFC) << 3) | (((p >> 16) & 0xF8) << 8));
    }
    return out;
}

std::vector<uint8_t> PackTo24(const uint32_t* pixels, size_t count) {
    std::vector<uint8_t> out(count * 3);
    for (size_t i = 0; i < count; ++i) {
        out[i * 3] = uint8_t(pixels[i]);
        out[i * 3 + 1] = uint8_t(pixels[i] >> 8);
        out[i * 3 + 2] = uint8_t(pixels[i] >> 16);
    }
    return out;
}

Canvas::Canvas() : slots_(kSlotCount) {
    SetRenderMode(1);
}

DrawSurface Canvas::BackSurface() {
    DrawSurface s;
    s.pixels = DrawPixels();
    s.width = view_.width;
    s.height = view_.height;
    return s;
}

void Canvas::InitScreen(int depthBits, int width, int height) {
    depth_ = uint8_t(depthBits);
    bytesPerPixel_ = uint8_t(depthBits / 8);
    std::fill(slots_.begin(), slots_.end(), BackgroundSlot{});
    bgState_ = 0;
    tileWidth_ = tileHeight_ = tilesPerRow_ = tileRows_ = 0;
    bgFlags_ = 0;
    SetScrollArea(width, height);
    EnsureBackBuffer(width, height);
    SetViewCenter(width / 2 + 1, height / 2 + 1, true);
}

int Canvas::EnsureBackBuffer(int width, int height) {
    if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide) return 0;
    if (width == view_.width && height == view_.height && !back_.empty()) return 0;
    ResizeSurfaces(width, height);
    return 1;
}

void Canvas::ResizeSurfaces(int width, int height) {
    view_.width = width;
    view_.height = height;
    view_.halfWidth = width / 2;
    view_.halfHeight = height / 2;
    ClampView();
    for (int i = 0; i < kLayerCount; ++i) SetLayerView(i);
    const size_t n = size_t(width) * size_t(height);
    back_.assign(n, 0);
    cache_.assign(n, 0);
    if (bgFlags_ & 1) RebuildBackground(cache_.data());
}

void Canvas::SetLayerView(int layer) {
    if (!LayerIndexOk(layer)) return;
    if (layer <= 2) {
        layers_[size_t(layer)].SetView(view_);
        return;
    }
    ViewBlock fixed = view_;
    fixed.centreX = view_.halfWidth;
    fixed.centreY = view_.halfHeight;
    fixed.scrollWidth = view_.width;
    fixed.scrollHeight = view_.height;
    layers_[size_t(layer)].SetView(fixed);
    layers_[size_t(layer)].SetBounds(Rect{0, 0, view_.width, view_.height});
}

int Canvas::SetBackgroundMode(uint32_t mode) {
    bgMode_ = mode;
    targetRead_ = 2;
    return 999999;
}

int Canvas::SetRenderMode(uint32_t mode) {
    static const struct {
        uint32_t mode, a, b, c;
    } kModes[] = {{0, 0, 256, 2}, {1, 2, 512, 2}, {2, 2, 256, 2},
                  {4, 2, 256, 4}, {8, 2, 256, 8}, {4096, 1, 256, 8}};
    for (const auto& m : kModes) {
        if (m.mode == mode) {
            renderMode_[0] = m.a;
            renderMode_[1] = m.b;
            renderMode_[2] = m.c;
        }
    }
    return 0;
}

int Canvas::SetBackgroundImage(uint32_t resourceId, int x, int y, int width, int height,
                               uint32_t flags) {
    const EnginePicture* pic = LookupPicture(resourceId);
    // A negative origin would read before the picture's pixels.
    if (!pic || x < 0 || y < 0) return 0;
    const int64_t picH = int64_t(pic->totalRows());
    height = int(std::min<int64_t>(height, picH - y));
    width = int(std::min<int64_t>(width, int64_t(pic->width) - x));
    if (width < 0 || height < 0) return 0;
    view_.centreX = view_.halfWidth;
    view_.centreY = view_.halfHeight;
    SetScrollArea(view_.width, view_.height);
    for (int i = 0; i <= 2; ++i) layers_[size_t(i)].SetCenter(view_);
    bgMode_ = 2;
    bgState_ = 1;
    slots_[0] = BackgroundSlot{resourceId, x, y, width, height};
    tilesPerRow_ = tileRows_ = 1;
    tileWidth_ = pic->width - x;
    tileHeight_ = int32_t(picH - y);
    bgFlags_ = flags;
    if (flags & 1) RebuildBackground(cache_.data());
    InvalidateRect(0, 0, view_.width, view_.height);
    return 999999;
}

void Canvas::SetScrollArea(int width, int height) {
    view_.scrollWidth = width;
    view_.scrollHeight = height;
    ClampView();
    for (int i = 0; i <= 2; ++i) layers_[size_t(i)].SetBounds(Rect{0, 0, width, height});
}

void Canvas::ClampView() {
    if (view_.centreX + view_.halfWidth > view_.scrollWidth)
        view_.centreX = view_.scrollWidth - view_.halfWidth;
    if (view_.centreX - view_.halfWidth < 0) view_.centreX = view_.halfWidth;
    if (view_.centreY + view_.halfHeight > view_.scrollHeight)
        view_.centreY = view_.scrollHeight - view_.halfHeight;
    if (view_.centreY - view_.halfHeight < 0) view_.centreY = view_.halfHeight;
}

void Canvas::SetViewCenter(int x, int y, bool rebuild) {
    view_.centreX = x;
    view_.centreY = y;
    ClampView();
    if ((bgFlags_ & 1) && rebuild) RebuildBackground(cache_.data());
    for (int i = 0; i <= 2; ++i) layers_[size_t(i)].SetCenter(view_);
}

void Canvas::MoveViewCenter(int dx, int dy) {
    view_.centreX += dx;
    view_.centreY += dy;
    ClampView();
    if (bgFlags_ & 1) RebuildBackground(cache_.data());
    for (int i = 0; i <= 2; ++i) layers_[size_t(i)].SetCenter(view_);
}

void Canvas::RebuildBackgroundIfNeeded() {
    if (bgFlags_ & 1) RebuildBackground(cache_.data());
}

void Canvas::InvalidateRect(int left, int top, int right, int bottom) {
    BlitParams b;
    b.drawX = left + (right - left) / 2;
    b.drawY = top + (bottom - top) / 2;
    b.width = right - left;
    b.height = bottom - top;
    b.radius = int32_t(GetRotateRadius(b.width, b.height));
    layers_[0].MarkParamsDirty(b);
    frameDrawn_ = 1;
}

void Canvas::InvalidateAll() {
    InvalidateRect(0, 0, view_.width, view_.height);
}

bool Canvas::HasDirtyRects() const {
    for (const DrawLayer& l : layers_) {
        if (l.HasDirty()) return true;
    }
    return false;
}

bool Canvas::CoversView() const {
    if (fullScreen_) return true;
    return std::any_of(dirty_.begin(), dirty_.end(), [&](const Rect& r) {
        return r.left <= 0 && r.top <= 0 && r.right >= view_.width && r.bottom >= view_.height;
    });
}

void Canvas::TakeDirtyRects() {
    dirty_.clear();
    if (fullScreen_) {
        dirty_.push_back(Rect{0, 0, view_.width, view_.height});
        for (DrawLayer& l : layers_) l.DropDirty();
        return;
    }
    for (DrawLayer& l : layers_) l.TakeDirtyRects(dirty_);
}

uint32_t Canvas::AddDrawItem(int layer, uint32_t entityId, BlitParams* live, double alpha,
                             uint32_t visible, const RenderDescriptor* descriptor) {
    if (!LayerIndexOk(layer)) return 0;
    return layers_[size_t(layer)].AddItem(entityId, live, alpha, visible, descriptor);
}

void Canvas::UpdateItemGeometry(int layer, uint32_t item, uint32_t visible, int z, double alpha,
                                BlitParams* live) {
    if (LayerIndexOk(layer))
        layers_[size_t(layer)].UpdateItemGeometry(item, z, visible, alpha, live);
}

void Canvas::UpdateItemTransform(int layer, uint32_t item, uint32_t visible, int z, double alpha) {
    if (LayerIndexOk(layer)) layers_[size_t(layer)].UpdateItemTransform(item, z, visible, alpha);
}

void Canvas::RemoveDrawItem(int layer, uint32_t item) {
    if (LayerIndexOk(layer)) layers_[size_t(layer)].RemoveItem(item);
}

int Canvas::SetItemHitTest(int layer, uint32_t item, bool on) {
    return LayerIndexOk(layer) ? layers_[size_t(layer)].SetItemHitTest(item, on) : 0;
}

void Canvas::LayerMarkItemDirty(int layer, uint32_t item) {
    if (LayerIndexOk(layer)) layers_[size_t(layer)].ForceItem(item);
}

int Canvas::LayerRectToScreen(int layer, Rect& rect) const {
    return LayerIndexOk(layer) ? layers_[size_t(layer)].RectToScreen(rect) : 0;
}

IPoint Canvas::ScreenToLayer(int layer, int x, int y) const {
    return LayerIndexOk(layer) ? layers_[size_t(layer)].ScreenToLayer(x, y) : IPoint{x, y};
}

IPoint Canvas::LayerToScreen(int layer, int x, int y) const {
    return LayerIndexOk(layer) ? layers_[size_t(layer)].LayerToScreen(x, y) : IPoint{x, y};
}

uint32_t Canvas::GetItemEntityId(int layer, uint32_t item) const {
    return LayerIndexOk(layer) ? layers_[size_t(layer)].GetItemEntityId(item) : 0;
}

uint32_t Canvas::HitTest(int x, int y) const {
    for (int i = 4; i >= 1; --i) {
        if (uint32_t id = layers_[size_t(i)].HitTest(x, y)) return id;
    }
    return 0;
}

void Canvas::FillBackground(uint32_t* dst, uint32_t colour) {
    const uint32_t pixel =
        0xFF000000u | ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
    std::fill(dst, dst + size_t(view_.width) * size_t(view_.height), pixel);
}

void Canvas::RebuildBackground(uint32_t* dst) {
    const size_t n = size_t(view_.width) * size_t(view_.height);
    if (n == 0) return;
    DrawSurface surface = BackSurface();
    surface.pixels = dst;
    auto drawSlot = [&](const BackgroundSlot& slot, int w, int h) {
        const EnginePicture* pic = LookupPicture(slot.resourceId);
        if (!pic) return;
        BlitParams b;
        b.drawX = view_.halfWidth;
        b.drawY = view_.halfHeight;
        b.width = w;
        b.height = h;
        DrawImageEx(surface, b, *pic, slot.x, slot.y, slot.width, slot.height, 1.0, kNoColour);
    };
    switch (bgMode_) {
        case 1:
            return;
        case 2:
            std::fill(dst, dst + n, 0u);
            if (bgState_ != 0) drawSlot(slots_[0], view_.width, view_.height);
            return;
        case 4:
            FillBackground(dst, bgColour_);
            return;
        case 5:
            std::fill(dst, dst + n, 0u);
            if (bgState_ == 2) {
                drawSlot(slots_[0], view_.width, view_.height);
                drawSlot(slots_[1], tileWidth_, tileHeight_);
            }
            return;
        default:
            break;
    }
    // Tiled: the visible world rectangle covered by tiles, each copied from its slot.
    std::fill(dst, dst + n, 0u);
    if (bgState_ == 0 || tileWidth_ < 1 || tileHeight_ < 1 || tilesPerRow_ < 1) return;
    const int wl = view_.centreX - view_.halfWidth, wt = view_.centreY - view_.halfHeight;
    for (int row = 0; row < tileRows_; ++row) {
        for (int col = 0; col < tilesPerRow_; ++col) {
            const size_t index = size_t(col + row * tilesPerRow_);
            if (index >= slots_.size()) continue;
            const BackgroundSlot& slot = slots_[index];
            const EnginePicture* pic = LookupPicture(slot.resourceId);
            if (!pic || pic->sampleSize() != 4 || !pic->pixels) continue;
            // The rows are copied straight from the pixels: a buffer smaller than the size
            // the picture claims (a damaged file) would be read past its end.
            if (uint64_t(pic->width) * pic->totalRows() * 4 > pic->dataSize) continue;
            const Rect tile{col * tileWidth_, row * tileHeight_, (col + 1) * tileWidth_,
                            (row + 1) * tileHeight_};
            const Rect vis = IntersectRect(tile, Rect{wl, wt, wl + view_.width, wt + view_.height});
            if (vis.empty()) continue;
            const auto* src = reinterpret_cast<const uint32_t*>(pic->pixels);
            for (int y = vis.top; y < vis.bottom; ++y) {
                const int sy = slot.y + (y - tile.top), sx = slot.x + (vis.left - tile.left);
                const int w = std::min(vis.width(), int(pic->width) - sx);
                if (sy < 0 || sx < 0 || sy >= int(pic->totalRows()) || w <= 0) continue;
                std::memcpy(dst + size_t(y - wt) * size_t(view_.width) + size_t(vis.left - wl),
                            src + size_t(sy) * pic->width + size_t(sx), size_t(w) * 4);
            }
        }
    }
}

void Canvas::PrepareBackground() {
    if (!(bgFlags_ & 1)) {
        RebuildBackground(DrawPixels());
        return;
    }
    uint32_t* dst = DrawPixels();
    if (fullScreen_) {
        std::copy(cache_.begin(), cache_.end(), dst);
        return;
    }
    // Only the dirty rectangles reach the target, so only they need the background back;
    // what is drawn outside them this frame is restored before it is ever presented.
    const Rect whole{0, 0, view_.width, view_.height};
    for (const Rect& r : dirty_) {
        const Rect c = IntersectRect(r, whole);
        for (int y = c.top; y < c.bottom; ++y) {
            const size_t at = size_t(y) * size_t(view_.width) + size_t(c.left);
            std::copy_n(cache_.begin() + long(at), size_t(c.width()), dst + at);
        }
    }
}

void Canvas::DrawPlane(const BlitParams& live, double alpha, const RenderDescriptor& d) {
    const auto* plane = dynamic_cast<const PlaneState*>(d.state.get());
    if (!plane || plane->pixels.empty()) return;
    EnginePicture scratch;
    scratch.width = uint16_t(plane->width);
    scratch.frameHeight = uint16_t(plane->height);
    scratch.frameCount = 1;
    scratch.pixels = const_cast<uint8_t*>(reinterpret_cast<const uint8_t*>(plane->pixels.data()));
    scratch.dataSize = uint32_t(plane->pixels.size() * 4);
    scratch.flags = PIC_ALPHA;
    BlitParams b = live;
    DrawImageEx(BackSurface(), b, scratch, 0, 0, plane->width, plane->height, alpha, plane->back);
}

void Canvas::DrawPointListItem(const BlitParams& live, double alpha, const RenderDescriptor& d) {
    const auto* s = dynamic_cast<const PointListState*>(d.state.get());
    if (!s) return;
    const ViewBlock& v = view_;
    const IPoint origin = layers_[size_t(currentLayer_)].ScreenToLayer(0, 0);
    Rect area{origin.x, origin.y, origin.x + v.width, origin.y + v.height};
    if (live.flags & BLIT_CLIP) {
        area = IntersectRect(area, live.clip);
        if (area.empty()) return;
    }
    DrawPointList(BackSurface(), origin.x, origin.y, area, s->head, alpha);
}

void Canvas::DrawParticles(double, const RenderDescriptor& d) {
    const auto* s = dynamic_cast<const ParticleState*>(d.state.get());
    if (!s || s->pixels.empty()) return;
    const BlitTarget dst{DrawPixels(), view_.width, view_.height,
                         Rect{0, 0, view_.width, view_.height}};
    const BlitSource src{reinterpret_cast<const uint8_t*>(s->pixels.data()),
                         s->width,
                         s->height,
                         0,
                         0,
                         s->width,
                         s->height};
    for (const Particle& p : s->particles) {
        const int lx = int(p.originX + p.x) - (s->width + 1) / 2;
        const int ly = int(p.originY + p.y) - (s->height + 1) / 2;
        const IPoint at = LayerToScreen(s->layer, lx, ly);
        const bool turns = int(p.angle) != 0;
        if (s->pictureFlags & PIC_ALPHA) {
            if (turns)
                BlitRgbaRotated(dst, at.x, at.y, src, p.angle, p.alpha, kNoColour);
            else
                BlitRgba(dst, at.x, at.y, src, p.alpha, kNoColour);
        } else {
            if (turns)
                BlitKeyedRotated(dst, at.x, at.y, src, p.angle, p.alpha, kNoColour);
            else
                BlitKeyed(dst, at.x, at.y, src, p.alpha, kNoColour);
        }
    }
}

void Canvas::DrawItem(const BlitParams& live, double alpha, const RenderDescriptor* d, int depth) {
    if (!d) return;
    BlitParams b = live;
    switch (d->kind) {
        case ENT_IMAGE: {
            const auto* s = dynamic_cast<const ImageState*>(d->state.get());
            if (!s || s->resourceId == 0) return;
            const EnginePicture* pic = LookupPicture(s->resourceId);
            if (!pic) return;
            DrawImageEx(BackSurface(), b, *pic, s->srcX, s->srcY, s->width, s->height, alpha,
                        s->tint);
            return;
        }
        case ENT_FRAMES: {
            auto* player = dynamic_cast<FramePlayer*>(d->state.get());
            if (!player) return;
            if (player->flags & FP_ADVANCE_ON_DRAW) FrameAt(*player, now_);
            if (player->resourceId == 0) return;
            const EnginePicture* pic = LookupPicture(player->resourceId);
            if (!pic) return;
            DrawImageEx(BackSurface(), b, *pic, player->srcX, player->srcY, player->frameWidth,
                        player->frameHeight, alpha, kNoColour);
            return;
        }
        case ENT_POINTS:
            DrawPointListItem(live, alpha, *d);
            return;
        case ENT_REF: {
            const auto* s = dynamic_cast<const RefState*>(d->state.get());
            // One level only: a reference never draws through another reference.
            if (!s || depth > 0 || !LayerIndexOk(s->layer)) return;
            const LayerItem* target = layers_[size_t(s->layer)].FindItem(s->itemId);
            if (!target || !target->descriptor || target->descriptor->kind == ENT_REF) return;
            DrawItem(live, alpha, target->descriptor, depth + 1);
            return;
        }
        case ENT_PLANE:
            DrawPlane(live, alpha, *d);
            return;
        case ENT_PARTICLES:
            DrawParticles(alpha, *d);
            return;
        default:
            return;
    }
}

void Canvas::RenderLayer(int layer) {
    DrawLayer& l = layers_[size_t(layer)];
    currentLayer_ = layer;
    if (fullScreen_)
        l.CollectAll();
    else
        l.CollectDirty(dirty_);
    for (uint32_t id : l.FrameList()) {
        const LayerItem* item = l.FindItem(id);
        if (!item) continue;
        DrawItem(*item->live, item->alpha, item->descriptor, 0);
        ++itemsDrawn_;
    }
    l.ClearFrameList();
}

int Canvas::Render(uint32_t now, DrawSurface& target) {
    now_ = now;
    if (!HasDirtyRects()) return -1;
    TakeDirtyRects();
    EnsureBackBuffer(target.width, target.height);
    if (back_.empty() || !target.pixels) return 0;
    // A frame that redraws the whole view, background first, would copy all of the back
    // buffer to the target: it is drawn straight into the target instead, which saves a
    // copy of the screen. (The back buffer only keeps dirty-area frames' drawing past their
    // areas away from the target; nothing reads it across frames.)
    const bool direct = bgMode_ != 1 && target.width == view_.width &&
                        target.height == view_.height && CoversView();
    drawTo_ = direct ? target.pixels : nullptr;
    if (bgMode_ == 1) {
        if (targetRead_ == 2 && target.width == view_.width && target.height == view_.height)
            std::copy(target.pixels, target.pixels + back_.size(), back_.begin());
    } else {
        PrepareBackground();
    }
    itemsDrawn_ = 0;
    for (int i = 1; i <= 4; ++i) RenderLayer(i);
    const Rect whole{0, 0, std::min(view_.width, target.width),
                     std::min(view_.height, target.height)};
    auto copyRect = [&](const Rect& r) {
        const Rect c = IntersectRect(r, whole);
        for (int y = c.top; y < c.bottom; ++y) {
            std::memcpy(target.pixels + size_t(y) * size_t(target.width) + size_t(c.left),
                        back_.data() + size_t(y) * size_t(view_.width) + size_t(c.left),
                        size_t(c.width()) * 4);
        }
    };
    if (direct)
        drawTo_ = nullptr;
    else if (fullScreen_)
        copyRect(whole);
    else
        for (const Rect& r : dirty_) copyRect(r);
    frameDrawn_ = 1;
    return 0;
}

}  // namespace hqlv::engine
