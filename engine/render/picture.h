#pragma once
// The records every draw shares: the in-memory picture, the sixteen-word draw block and the
// 32-bit target surface, with the geometry that turns a draw block into boxes.
//
// Pixels are 32-bit words 0xAARRGGBB (bytes blue, green, red, alpha in memory). Colours
// passed by callers are COLORREFs 0x00BBGGRR. Palettes are 256 entries of red, green, blue.
#include <bit>
#include <cstdint>
#include <string>
#include <vector>

namespace hqlv::engine {

static_assert(std::endian::native == std::endian::little, "pixels are little-endian words");

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool empty() const { return right <= left || bottom <= top; }
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

// Intersection; an empty result is the all-zero rectangle.
Rect IntersectRect(const Rect& a, const Rect& b);

// Picture flags.
enum PictureFlags : uint32_t {
    PIC_KEYED = 0x1,           // transparent pixels (key index, or alpha 0)
    PIC_GLOBAL_PALETTE = 0x2,  // palette shared with a named palette
    PIC_OWN_PALETTE = 0x4,     // palette owned by the picture
    PIC_ALPHA = 0x8,           // real per-pixel alpha / index + alpha pairs
    PIC_DELAYS = 0x10,         // frame delay table present
    PIC_TRAILER = 0x20,        // trailer pair present
};

// Draw block flags the blitter reads.
constexpr uint32_t BLIT_CLIP = 0x2;
constexpr uint32_t BLIT_ONTO_OPAQUE = 0x8;
constexpr uint32_t BLIT_SMOOTH = 0x20;
constexpr uint32_t BLIT_INVERT = 0x800;

// Tint / key / base colour that means "none" (magenta).
constexpr uint32_t kNoColour = 0xFF00FF;

// Number of bytes of a palette table: always 256 entries, unused ones zero.
constexpr size_t kPaletteBytes = 256 * 3;

// A picture. The raw fields are what drawing reads; the owned_* members hold the storage of
// a picture that owns its buffers (a picture over a plane's pixels owns nothing). The palette
// must point at kPaletteBytes bytes. Pictures move but do not copy.
struct EnginePicture {
    uint32_t resourceId = 0;
    uint16_t width = 0;
    uint16_t frameHeight = 0;
    uint8_t* pixels = nullptr;
    uint32_t dataSize = 0;
    uint32_t key = 0;
    uint16_t frameCount = 0;
    uint32_t flags = 0;
    const uint8_t* palette = nullptr;
    uint32_t paletteEntries = 0;
    const uint32_t* frameDelays = nullptr;
    uint16_t trailerHigh = 0;  // the trailer word's high 16 bits
    uint16_t trailerLow = 0;   // its low 16 bits
    // Name of the shared palette a ".pps" picture asks for, until it is bound.
    std::string paletteName;

    std::vector<uint8_t> ownedPixels;
    std::vector<uint8_t> ownedPalette;
    std::vector<uint32_t> ownedDelays;

    EnginePicture() = default;
    EnginePicture(EnginePicture&&) = default;
    EnginePicture& operator=(EnginePicture&&) = default;
    EnginePicture(const EnginePicture&) = delete;
    EnginePicture& operator=(const EnginePicture&) = delete;

    bool isPalette() const { return (flags & (PIC_GLOBAL_PALETTE | PIC_OWN_PALETTE)) != 0; }
    // Bytes per sample of the buffer: 4, 2 (index + alpha) or 1 (index).
    int sampleSize() const { return isPalette() ? ((flags & PIC_ALPHA) ? 2 : 1) : 4; }
    // Rows of the buffer: all frames stacked.
    uint32_t totalRows() const {
        return frameCount > 1 ? uint32_t(frameHeight) * frameCount : frameHeight;
    }
};

// The draw block (also every entity's transform block).
struct BlitParams {
    double angle = 0.0;  // degrees, counter-clockwise on screen; exactly 0.0 is unrotated
    int32_t drawX = 0;   // where the picture's centre lands on the surface
    int32_t drawY = 0;
    int32_t unused = 0;
    int32_t centreX = 0;  // the entity's centre in its layer; moves the clip rectangle
    int32_t centreY = 0;
    int32_t z = 0;
    int32_t width = 0;  // destination size; the picture is scaled to it
    int32_t height = 0;
    int32_t radius = 0;  // bounding radius, computed when below 1 for a rotated draw
    uint32_t flags = 0;
    Rect clip;
};

// A 32-bit target. The blitter reads pixels, width and height.
struct DrawSurface {
    uint32_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    uint32_t format = 4;
    uint32_t key = kNoColour;
};

// sqrt(hw² + hh²) + 0.5 for the half sizes (w + 1) / 2, (h + 1) / 2; 0.0 for an empty size.
double GetRotateRadius(int width, int height);

// Destination box of a draw; for a rotated block stores the radius when it is below 1.
Rect GetBlitBounds(BlitParams& params);

// The block's clip rectangle moved by (centre - draw centre) and cut to the surface.
Rect GetBlitClipRect(const DrawSurface& surface, const BlitParams& params);

}  // namespace hqlv::engine
