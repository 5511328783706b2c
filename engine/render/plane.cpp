#include "engine/render/plane.h"

#include <algorithm>
#include <cmath>

#include "engine/render/blitter.h"
#include "engine/render/render_log.h"

namespace hqlv::engine {

uint32_t ColorToPixel(uint32_t colour, uint32_t key) {
    const uint32_t swapped = ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
    if (colour == key) return swapped;
    return swapped - 0x01000000u;
}

std::vector<uint32_t> CopyPixelRect(const uint32_t* src, int rowLength, int sx, int sy, int sw,
                                    int sh, int width, int height) {
    if (width < 1 || height < 1 || sw < 1 || sh < 1 || !src) return {};
    std::vector<uint32_t> out(size_t(width) * size_t(height), 0);
    if (sw == width && sh == height) {
        for (int j = 0; j < height; ++j)
            std::copy_n(src + size_t(sy + j) * size_t(rowLength) + size_t(sx), size_t(width),
                        out.begin() + long(size_t(j) * size_t(width)));
        return out;
    }
    const int64_t stepX = (int64_t(sw) << 10) / width, stepY = (int64_t(sh) << 10) / height;
    for (int j = 0; j < height; ++j) {
        const int64_t row = sy + std::min<int64_t>((j * stepY) >> 10, sh - 1);
        for (int i = 0; i < width; ++i) {
            const int64_t col = sx + std::min<int64_t>((i * stepX) >> 10, sw - 1);
            out[size_t(j) * size_t(width) + size_t(i)] =
                src[size_t(row) * size_t(rowLength) + size_t(col)];
        }
    }
    return out;
}

bool PlaneSizeFits(int64_t width, int64_t height) {
    return width >= 1 && height >= 1 && width <= kMaxPlaneSide && height <= kMaxPlaneSide &&
           uint64_t(width) * uint64_t(height) * 4 <= kMaxPlaneBytes;
}

namespace {

// A side below 1 is the callers' way of leaving a plane as it is (an empty text measures
// 0 × 0), so only a size that is too large is worth a line.
bool SizeTaken(int width, int height) {
    if (width < 1 || height < 1 || PlaneSizeFits(width, height)) return true;
    RenderLog("平面尺寸过大:%dx%d", width, height);
    return false;
}

}  // namespace

PlaneState* PlaneEntity::State() const {
    return DescriptorMade() ? dynamic_cast<PlaneState*>(Descriptor().state.get()) : nullptr;
}

uint32_t* PlaneEntity::GetPixels() {
    PlaneState* s = State();
    return s && !s->pixels.empty() ? s->pixels.data() : nullptr;
}

bool PlaneEntity::Create(int width, int height, uint32_t baseColour) {
    if (width < 1 || height < 1 || !SizeTaken(width, height)) return false;
    if (DescriptorMade()) FreeDescriptor();
    auto state = std::make_unique<PlaneState>();
    state->base = baseColour;
    state->style.face = "宋体";
    state->style.height = height / 2;
    state->style.lineHeight = height / 2;
    state->style.weight = 400;
    state->style.wrap = 1;
    RenderDescriptor& d = Descriptor();
    d.kind = ENT_PLANE;
    d.resourceId = 0;
    d.stateSize = uint32_t(sizeof(PlaneState));
    d.state = std::move(state);
    MarkDescriptorMade();
    Resize(width, height);
    Entity::SetSize(width, height);
    Fill();
    return true;
}

void PlaneEntity::Fill() {
    PlaneState* s = State();
    if (!s) return;
    const uint32_t v = s->base != s->key ? ColorToPixel(s->base, s->key) : 0u;
    std::fill(s->pixels.begin(), s->pixels.end(), v);
}

void PlaneEntity::SetBaseColor(uint32_t colour) {
    if (PlaneState* s = State()) {
        s->base = colour;
        Fill();
    }
}

void PlaneEntity::ReplaceColor(uint32_t a, uint32_t b) {
    PlaneState* s = State();
    if (!s) return;
    const uint32_t from = ColorToPixel(a, s->key), to = ColorToPixel(b, s->key);
    std::replace(s->pixels.begin(), s->pixels.end(), from, to);
}

void PlaneEntity::SetPixel(int x, int y, uint32_t colour) {
    PlaneState* s = State();
    if (!s || x < 0 || y < 0 || x >= s->width || y >= s->height) return;
    s->pixels[size_t(y) * size_t(s->width) + size_t(x)] = ColorToPixel(colour, s->key);
}

void PlaneEntity::DrawBorder(uint32_t colour) {
    PlaneState* s = State();
    if (!s) return;
    for (int x = 0; x < s->width; ++x) SetPixel(x, 0, colour);
    for (int y = 0; y < s->height; ++y) SetPixel(0, y, colour);
    for (int y = 0; y < s->height; ++y) SetPixel(s->width - 1, y, colour);
    for (int x = 0; x < s->width; ++x) SetPixel(x, s->height - 1, colour);
}

void PlaneEntity::SetBackColor(uint32_t colour) {
    if (PlaneState* s = State()) s->back = colour;
}

void PlaneEntity::SetTextColor(uint32_t colour) {
    if (PlaneState* s = State()) s->style.colour = colour;
}

void PlaneEntity::SetFont(int height, int weight, std::string_view face) {
    PlaneState* s = State();
    if (!s) return;
    s->style.height = height;
    s->style.lineHeight = height;
    s->style.weight = weight;
    // At most kMaxFaceBytes, never ending inside a character.
    size_t cut = std::min(face.size(), kMaxFaceBytes);
    while (cut > 0 && cut < face.size() && (uint8_t(face[cut]) & 0xC0) == 0x80) --cut;
    s->style.face = std::string(face.substr(0, cut));
}

void PlaneEntity::SetTextLayout(TextLayout* layout, bool copyStyle) {
    PlaneState* s = State();
    if (!s) return;
    s->layout = layout;
    if (copyStyle && layout) layout->GetStyle(s->style);
}

void PlaneEntity::ApplyColorKey() {
    PlaneState* s = State();
    if (!s) return;
    const uint32_t keyRgb = ColorToPixel(s->key, 0xFFFFFFFF) & 0xFFFFFF;
    for (uint32_t& p : s->pixels) {
        if ((p & 0xFFFFFF) == keyRgb) p &= 0xFFFFFF;
    }
    ApplyTransform();
}

bool PlaneEntity::Resize(int width, int height) {
    PlaneState* s = State();
    if (!s || !SizeTaken(width, height)) return false;
    if (width < 1 || height < 1 || (width == s->width && height == s->height)) return true;
    std::vector<uint32_t> pixels =
        s->pixels.empty()
            ? std::vector<uint32_t>(size_t(width) * size_t(height), 0)
            : CopyPixelRect(s->pixels.data(), s->width, 0, 0, s->width, s->height, width, height);
    s->pixels = std::move(pixels);
    s->width = width;
    s->height = height;
    Descriptor().width = width;
    Descriptor().height = height;
    return true;
}

void PlaneEntity::DrawText(int x, int y, std::string_view text) {
    PlaneState* s = State();
    if (!s) return;
    if (s->layout) {
        TextStyle saved;
        s->layout->GetStyle(saved);
        s->layout->SetStyle(s->style);
        s->layout->DrawText(s->pixels.data(), s->width, s->height, x, y, text);
        s->layout->SetStyle(saved);
    } else {
        TextLayout temp;
        temp.Init();
        temp.SetStyle(s->style);
        temp.DrawText(s->pixels.data(), s->width, s->height, x, y, text);
    }
    ApplyColorKey();
}

void PlaneEntity::FitToText(std::string_view text) {
    PlaneState* s = State();
    if (!s) return;
    int w = 0, h = 0;
    if (s->layout) {
        TextStyle saved;
        s->layout->GetStyle(saved);
        s->layout->SetStyle(s->style);
        s->layout->MeasureText(0, 0, text, w, h);
        s->layout->SetStyle(saved);
    } else {
        TextLayout temp;
        temp.Init();
        temp.SetStyle(s->style);
        temp.MeasureText(0, 0, text, w, h);
    }
    Resize(w, h);
    ApplyColorKey();
}

namespace {

// Where a paste lands: the box of the draw, worked out wide (an origin or size near the int
// range's end must land outside the plane, not wrap into it), and whether it meets the plane.
struct PasteBox {
    int width = 0, height = 0;
    int64_t cx = 0, cy = 0, radius = 0;
    bool meets = false;
};

PasteBox PlacePaste(const PlaneState& s, int x, int y, int width, int height, double angle) {
    PasteBox b;
    b.width = width ? width : s.width;
    b.height = height ? height : s.height;
    const int64_t halfW = (int64_t(b.width) + 1) / 2, halfH = (int64_t(b.height) + 1) / 2;
    b.cx = int64_t(x) + halfW;
    b.cy = int64_t(y) + halfH;
    b.radius = int64_t(GetRotateRadius(b.width, b.height));
    int64_t left, top, right, bottom;
    if (angle != 0.0) {
        left = b.cx - b.radius, top = b.cy - b.radius, right = b.cx + b.radius,
        bottom = b.cy + b.radius;
    } else {
        left = b.cx - halfW, top = b.cy - halfH, right = left + b.width, bottom = top + b.height;
    }
    b.meets = !(right < 0 || left >= s.width || top >= s.height || bottom < 0);
    return b;
}

uint64_t CopiedPixels(const EnginePicture& pic, const PasteBox& b, int sw, int sh, double angle,
                      double alpha) {
    const uint64_t pixels = uint64_t(b.width) * uint64_t(b.height);
    const bool copied = b.meets && b.width > 0 && b.height > 0 &&
                        (b.width != sw || b.height != sh) &&
                        pixels <= uint64_t(kMaxScaledPixels) && ScalesIntoACopy(pic, angle, alpha);
    return copied ? pixels : 0;
}

}  // namespace

uint64_t PlaneEntity::PasteCopyPixels(int x, int y, uint32_t resourceId, int sw, int sh,
                                      int width, int height, double angle, double alpha) const {
    const PlaneState* s = State();
    const EnginePicture* pic = s && resourceId != 0 ? LookupPicture(resourceId) : nullptr;
    if (!pic) return 0;
    return CopiedPixels(*pic, PlacePaste(*s, x, y, width, height, angle), sw, sh, angle, alpha);
}

uint64_t PlaneEntity::PasteImage(int x, int y, uint32_t resourceId, int sx, int sy, int sw,
                                 int sh, int width, int height, double angle, double alpha,
                                 uint32_t tint) {
    PlaneState* s = State();
    if (!s || resourceId == 0) return 0;
    const EnginePicture* pic = LookupPicture(resourceId);
    if (!pic) return 0;
    const PasteBox box = PlacePaste(*s, x, y, width, height, angle);
    if (!box.meets) return 0;
    DrawSurface dst;
    dst.pixels = s->pixels.data();
    dst.width = s->width;
    dst.height = s->height;
    dst.key = s->key;
    // A box meeting the plane has its centre within int range.
    BlitParams b;
    b.angle = angle;
    b.drawX = int32_t(box.cx);
    b.drawY = int32_t(box.cy);
    b.width = box.width;
    b.height = box.height;
    b.radius = int32_t(box.radius);
    DrawImageEx(dst, b, *pic, sx, sy, sw, sh, alpha, tint);
    ApplyColorKey();
    return CopiedPixels(*pic, box, sw, sh, angle, alpha);
}

}  // namespace hqlv::engine
