#pragma once
// The scene node. Every picture, text plane, button face and animation of a scene is an
// Entity: a centred, sized, rotatable, fadable rectangle on one canvas layer, with the state
// of its kind hanging off its render descriptor and a list of linked children that follow
// some of its changes. Setters only write the entity's own transform block; nothing reaches
// the screen until ApplyTransform pushes the block to the entity's draw item.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/render/picture.h"

namespace hqlv::engine {

class Canvas;
class Entity;

// Type codes.
enum EntityType : uint32_t {
    ENT_PLAIN = 0,
    ENT_IMAGE = 1,
    ENT_FRAMES = 16,
    ENT_POINTS = 256,
    ENT_RECORDS = 512,
    ENT_REF = 1024,
    ENT_PLANE = 4096,
    ENT_PARTICLES = 0x10000,
};

// Child link flags: what a linked child follows.
enum LinkFlags : uint32_t {
    LINK_OWNED = 0x1,   // destroyed with the parent
    LINK_ROTATE = 0x2,  // turned about the parent's centre
    LINK_SHOW = 0x4,    // shown and hidden
    LINK_ALPHA = 0x8,
    LINK_HIT = 0x10,    // hit mode
    LINK_APPLY = 0x20,  // pushed with the parent
    LINK_SIZE = 0x40,
    LINK_CHECK = 0x100,  // still registered under its draw item, checked before each use
    LINK_HIDE_ONLY = 0x1000,
    LINK_HIDDEN_BY_PARENT = 0x2000,
    LINK_CLIP = 0x4000,
    LINK_Z = 0x8000,
    LINK_MOVE = 0x10000,
};

// Draw flags of the transform block owned by the layer: the item lies in the view.
constexpr uint32_t kInViewFlags = 0x10 | 0x10000000;
// Pixel-accurate hit test.
constexpr uint32_t BLIT_PIXEL_HIT = 0x4;

struct IPoint {
    int x = 0;
    int y = 0;
    bool operator==(const IPoint&) const = default;
};
struct DPoint {
    double x = 0;
    double y = 0;
};

// The state of a kind; its destructor is the kind's free routine.
struct KindState {
    virtual ~KindState() = default;
};

struct RenderDescriptor {
    uint32_t kind = 0;
    uint32_t resourceId = 0;
    uint32_t stateSize = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint32_t extra = 0;
    std::unique_ptr<KindState> state;
};

struct ChildLink {
    uint32_t childId = 0;
    uint32_t itemId = 0;
    uint32_t flags = 0;
    Entity* child = nullptr;
};

// Pictures are found by resource id at every use (a skin change or an unload frees them).
// The default lookup asks the process's resource manager; tests install their own.
using PictureLookup = std::function<EnginePicture*(uint32_t)>;
PictureLookup SetPictureLookup(PictureLookup lookup);
// Null for id 0 and for ids nothing is registered under.
EnginePicture* LookupPicture(uint32_t resourceId);

// Turns (x, y) about (cx, cy); sense 0 clockwise on screen, else counter-clockwise. Angle
// exactly 0 leaves the point alone. Pi is 3.14159; results round half away from zero.
IPoint RotatePoint(int x, int y, int cx, int cy, double angle, int sense);
DPoint RotatePointD(int x, int y, int cx, int cy, double angle, int sense);
// 0 apart, 1 crossing (the point written when asked), 2 an end point on the other segment.
int SegmentIntersect(DPoint p1, DPoint p2, DPoint p3, DPoint p4, DPoint* out);

class Entity {
public:
    explicit Entity(uint32_t type);
    virtual ~Entity();
    Entity(const Entity&) = delete;
    Entity& operator=(const Entity&) = delete;

    // Clears the transform block and stores the values; no descriptor.
    void Init(int x, int y, int width, int height, double rotation, int z, bool visible,
              double alpha);
    // The kernel's id.
    void SetId(uint32_t id) { id_ = id; }

    // 0 when a typed entity has no descriptor yet or the canvas refuses.
    uint32_t AttachToCanvas(Canvas* canvas, int layer);
    void DetachFromCanvas();
    bool IsAttached() const { return layer_ != -1; }
    // Unlinks children and parent, frees the kind state, leaves the canvas. Runs once.
    void Release();

    void MoveBy(int dx, int dy);
    void SetPosition(int x, int y);
    void ChangeZBy(int dz);
    void SetZ(int z);
    void ResizeBy(int dw, int dh);
    void SetSize(int w, int h);
    void Scale(double fx, double fy);
    void RotateBy(double delta);
    void SetRotation(double angle);
    void RotateAround(int cx, int cy, double delta);
    void Show();
    void Hide();
    void SetAlpha(double alpha);
    void SetHitMode(uint32_t mode);
    void SetDrawFlags(uint32_t flags);
    void SetClipRect(const Rect& rect);
    void ApplyTransform();

    // Self and ancestors are refused (0). A child already linked here keeps its place and
    // takes the new flags. Returns the child count.
    uint32_t AddChild(Entity* child, uint32_t flags);
    uint32_t RemoveChild(uint32_t entityId);
    Entity* GetChild(uint32_t index) const;
    uint32_t GetChildCount() const { return uint32_t(children_.size()); }
    const std::vector<ChildLink>& Children() const { return children_; }
    Entity* GetParent() const { return parent_; }
    bool IsAncestorOf(const Entity* other) const;

    uint32_t GetId() const { return id_; }
    uint32_t GetType() const { return type_; }
    uint32_t GetControlId() const { return controlId_; }
    void SetControlId(uint32_t id) { controlId_ = id; }
    uint32_t GetItemId() const { return itemId_; }
    int GetLayer() const { return layer_; }
    Canvas* GetCanvas() const { return canvas_; }
    int GetX() const { return params_.centreX; }
    int GetY() const { return params_.centreY; }
    int GetZ() const { return params_.z; }
    int GetWidth() const { return params_.width; }
    int GetHeight() const { return params_.height; }
    int GetLeft() const { return params_.centreX - (params_.width + 1) / 2; }
    int GetRight() const { return params_.centreX + (params_.width + 1) / 2; }
    int GetTop() const { return params_.centreY - (params_.height + 1) / 2; }
    int GetBottom() const { return params_.centreY + (params_.height + 1) / 2; }
    IPoint GetTopLeft() const { return {GetLeft(), GetTop()}; }
    double GetRotation() const { return params_.angle; }
    double GetAlpha() const { return alpha_; }
    bool IsVisible() const { return visible_ != 0; }
    uint32_t GetHitMode() const { return hitMode_; }
    bool GeometryChanged() const { return geometryChanged_; }
    BlitParams GetTransform() const { return params_; }
    BlitParams& Params() { return params_; }
    bool IsInView() const { return (params_.flags & kInViewFlags) == kInViewFlags; }
    IPoint ScreenToLayer(int x, int y) const;

    bool DescriptorMade() const { return descriptorMade_; }
    RenderDescriptor& Descriptor() { return descriptor_; }
    const RenderDescriptor& Descriptor() const { return descriptor_; }

protected:
    // Frees the kind state and clears the descriptor.
    void FreeDescriptor();
    void MarkDescriptorMade() { descriptorMade_ = true; }

private:
    // Moves not yet applied to an entity: their sum, and whether any of them moved it.
    struct Carried {
        int32_t dx = 0, dy = 0;
        bool moved = false;
    };
    // Moves this entity and the children that follow its moves by the sum.
    void Carry(const Carried& moves);
    // RotateAround, with the moves of the turns above this entity applied first.
    void TurnAbout(int cx, int cy, double delta, Carried moves);
    // Turns the children that follow turns about this entity's centre, and moves the ones
    // that follow its moves by the moves carried to it.
    void TurnChildren(double delta, const Carried& moves);
    // Whether a link may be followed now (the registration check of LINK_CHECK).
    bool LinkUsable(const ChildLink& link) const;
    // Drops the link to this child, whatever id it had when linked.
    void UnlinkChild(Entity* child);
    template <typename F>
    void ForChildren(uint32_t flag, F&& f);

    uint32_t id_ = 0;
    uint32_t itemId_ = 0;
    int layer_ = -1;
    uint32_t controlId_ = 0;
    RenderDescriptor descriptor_;
    Entity* parent_ = nullptr;
    std::vector<ChildLink> children_;
    Canvas* canvas_ = nullptr;
    bool descriptorMade_ = false;
    uint32_t type_;
    BlitParams params_;
    uint32_t visible_ = 0;
    double alpha_ = 1.0;
    bool geometryChanged_ = false;
    uint32_t hitMode_ = 0;
    bool released_ = false;
};

}  // namespace hqlv::engine
