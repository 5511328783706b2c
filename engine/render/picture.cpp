#include "engine/render/picture.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

namespace hqlv::engine {

Rect IntersectRect(const Rect& a, const Rect& b) {
    Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (r.empty()) return Rect{};
    return r;
}

double GetRotateRadius(int width, int height) {
    if (width < 1 || height < 1) return 0.0;
    double hw = double((int64_t(width) + 1) / 2);
    double hh = double((int64_t(height) + 1) / 2);
    return std::sqrt(hw * hw + hh * hh) + 0.5;
}

Rect GetBlitBounds(BlitParams& p) {
    auto clampInt = [](int64_t v) {
        return static_cast<int>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
    };
    if (p.angle != 0.0) {
        if (p.radius < 1) p.radius = static_cast<int32_t>(GetRotateRadius(p.width, p.height));
        return Rect{clampInt(int64_t(p.drawX) - p.radius), clampInt(int64_t(p.drawY) - p.radius),
                    clampInt(int64_t(p.drawX) + p.radius), clampInt(int64_t(p.drawY) + p.radius)};
    }
    const int64_t left = int64_t(p.drawX) - (int64_t(p.width) + 1) / 2;
    const int64_t top = int64_t(p.drawY) - (int64_t(p.height) + 1) / 2;
    return Rect{clampInt(left), clampInt(top), clampInt(left + p.width), clampInt(top + p.height)};
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
