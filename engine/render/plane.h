#pragma once
// A plane: an entity that owns a 32-bit pixel buffer and is drawn like a picture with
// per-pixel alpha. Text labels, message boxes and button faces are planes.
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/core/entity.h"
#include "engine/render/text_layout.h"
#include "imaging/raster.h"

namespace hqlv::engine {

// The largest side a plane may have: the canvas draws a plane as an engine picture, whose
// width and frame height are 16-bit fields, so a longer side would be drawn cut to its low
// 16 bits, the rows read at the wrong length.
constexpr int kMaxPlaneSide = 0xFFFF;
// The most bytes a plane's buffer (4 a pixel) may take: the bound the image object puts on
// the pixel data of one picture (RASTER_MAX_MEMORY), to which the picture import and the
// ".pps" reader hold their pictures too. Scripts set plane sizes with two numbers, and those
// alone must not take gigabytes.
constexpr uint64_t kMaxPlaneBytes = imaging::RASTER_MAX_MEMORY;

// Whether a plane of width × height can be made: both sides from 1 to kMaxPlaneSide and the
// buffer within kMaxPlaneBytes.
bool PlaneSizeFits(int64_t width, int64_t height);

struct PlaneState : KindState {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;
    uint32_t base = 0;
    uint32_t key = kNoColour;
    uint32_t back = kNoColour;
    TextLayout* layout = nullptr;  // not owned
    TextStyle style;
};

// COLORREF to pixel: opaque, or alpha 0 when it is the key.
uint32_t ColorToPixel(uint32_t colour, uint32_t key);

// Nearest-neighbour copy of a source rectangle at width × height (10-bit fixed point); empty
// when a side is below 1.
std::vector<uint32_t> CopyPixelRect(const uint32_t* src, int rowLength, int sx, int sy, int sw,
                                    int sh, int width, int height);

class PlaneEntity : public Entity {
public:
    PlaneEntity() : Entity(ENT_PLANE) {}
    // → whether the plane was made: nothing for a side below 1 or a size past
    // PlaneSizeFits (logged).
    bool Create(int width, int height, uint32_t baseColour);
    void Fill();
    void SetBaseColor(uint32_t colour);
    void ReplaceColor(uint32_t a, uint32_t b);
    void SetPixel(int x, int y, uint32_t colour);
    void DrawBorder(uint32_t colour);
    void SetBackColor(uint32_t colour);
    void SetTextColor(uint32_t colour);
    void SetFont(int height, int weight, std::string_view face);
    void SetTextLayout(TextLayout* layout, bool copyStyle);
    void ApplyColorKey();
    // Scales the pixels to width × height. A side below 1 or the size the plane has changes
    // nothing; a size past PlaneSizeFits changes nothing, is logged and → false. Before the
    // plane is made, nothing can be sized: → false.
    bool Resize(int width, int height);
    // The buffer's size only: the entity's own size is the caller's. As Resize.
    bool SetPlaneSize(int width, int height) { return Resize(width, height); }
    void DrawText(int x, int y, std::string_view text);
    void FitToText(std::string_view text);
    // → the pixels of the scaled copy the draw made on the way (0 when it made none: the
    // box missed the plane, the size is the picture's own, or ScalesIntoACopy says no).
    uint64_t PasteImage(int x, int y, uint32_t resourceId, int sx, int sy, int sw, int sh,
                        int width, int height, double angle, double alpha, uint32_t tint);
    // The pixels of the scaled copy PasteImage with these arguments would make, worked out
    // without drawing: what a paste costs is known before it is made.
    uint64_t PasteCopyPixels(int x, int y, uint32_t resourceId, int sw, int sh, int width,
                             int height, double angle, double alpha) const;
    uint32_t* GetPixels();
    PlaneState* State() const;
};

}  // namespace hqlv::engine
