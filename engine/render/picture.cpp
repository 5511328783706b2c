#include "engine/render/picture.h"

#include <algorithm>
#include <cmath>

namespace hqlv::engine {

Rect IntersectRect(const Rect& a, const Rect& b) {
    Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (r.empty()) return Rect{};
    return r;
}

double GetRotateRadius(int width, int height) {
    if (width < 1 || height < 1) return 0.0;
    double hw = (width + 1) / 2;
    double hh = (height + 1) / 2;
    return std::sqrt(hw * hw + hh * hh) + 0.5;
}

Rect GetBlitBounds(BlitParams& p) {
    if (p.angle != 0.0) {
        if (p.radius < 1) p.radius = static_cast<int32_t>(GetRotateRadius(p.width, p.height));
        return Rect{p.drawX - p.radius, p.drawY - p.radius, p.drawX + p.radius, p.drawY + p.radius};
    }
    Rect r;
    r.left = p.drawX - (p.width + 1) / 2;
    r.top = p.drawY - (p.height + 1) / 2;
    r.right = r.left + p.width;
    r.bottom = r.top + p.height;
    return r;
}

Rect GetBlitClipRect(const DrawSurface& surface, const BlitParams& p) {
    int64_t dx = int64_t(p.centreX) - p.drawX;
    int64_t dy = int64_t(p.centreY) - p.drawY;
    auto clampInt = [](int64_t v) {
        return static_cast<int>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
    };
    Rect moved{clampInt(p.clip.left + dx), clampInt(p.clip.top + dy), clampInt(p.clip.right + dx),
               clampInt(p.clip.bottom + dy)};
    return IntersectRect(moved, Rect{0, 0, surface.width, surface.height});
}

}  // namespace hqlv::engine
