#include "platform/core/stretch.h"

#include <pixman.h>

#include <climits>

namespace hqlv::platform {

namespace {
bool Usable(const PixelBuffer32& b) {
    // pixman takes the row stride as an int of bytes.
    return b.pixels && b.width > 0 && b.height > 0 && b.width <= INT_MAX / 4;
}
}  // namespace

bool StretchBilinear(const PixelBuffer32& src, const PixelBuffer32& dst) {
    if (!Usable(src) || !Usable(dst)) return false;
    pixman_image_t* from =
        pixman_image_create_bits(PIXMAN_x8r8g8b8, src.width, src.height, src.pixels, src.width * 4);
    pixman_image_t* to =
        pixman_image_create_bits(PIXMAN_x8r8g8b8, dst.width, dst.height, dst.pixels, dst.width * 4);
    bool ok = from && to;
    if (ok) {
        // The transform maps destination pixels back onto the source.
        pixman_transform_t t;
        pixman_transform_init_scale(
            &t, pixman_double_to_fixed(double(src.width) / double(dst.width)),
            pixman_double_to_fixed(double(src.height) / double(dst.height)));
        pixman_image_set_transform(from, &t);
        pixman_image_set_filter(from, PIXMAN_FILTER_BILINEAR, nullptr, 0);
        // Samples past the edge repeat the edge pixel instead of fading to black.
        pixman_image_set_repeat(from, PIXMAN_REPEAT_PAD);
        pixman_image_composite32(PIXMAN_OP_SRC, from, nullptr, to, 0, 0, 0, 0, 0, 0, dst.width,
                                 dst.height);
    }
    if (from) pixman_image_unref(from);
    if (to) pixman_image_unref(to);
    return ok;
}

}  // namespace hqlv::platform
