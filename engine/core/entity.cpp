#include "engine/core/entity.h"

#include <cmath>

#include "engine/core/resource_manager.h"
#include "engine/render/canvas.h"

namespace hqlv::engine {
namespace {

PictureLookup& Lookup() {
    static PictureLookup lookup;
    return lookup;
}

double RoundHalfAway(double v) {
    return std::trunc(v >= 0 ? v + 0.5 : v - 0.5);
}

int Sign(double v) {
    if (std::fabs(v) < 1e-7) return 0;
    return v > 0 ? 1 : -1;
}

double Cross(DPoint o, DPoint a, DPoint b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}
double Dot(DPoint o, DPoint a, DPoint b) {
    return (a.x - o.x) * (b.x - o.x) + (a.y - o.y) * (b.y - o.y);
}

int32_t Radius(int w, int h) {
    return static_cast<int32_t>(GetRotateRadius(w, h));
}

}  // namespace

PictureLookup SetPictureLookup(PictureLookup lookup) {
    PictureLookup old = std::move(Lookup());
    Lookup() = std::move(lookup);
    return old;
}

EnginePicture* LookupPicture(uint32_t resourceId) {
    if (resourceId == 0) return nullptr;
    if (Lookup()) return Lookup()(resourceId);
    ResourceManager& rm = GetResourceManager();
    if (!rm.HasId(resourceId)) return nullptr;
    return rm.GetPicture(resourceId);
}

DPoint RotatePointD(int x, int y, int cx, int cy, double angle, int sense) {
    if (angle == 0.0) return {double(x), double(y)};
    const double r = angle * 3.14159 / 180.0;
    const double dx = double(x) - cx;
    const double dy = double(cy) - y;
    double rx, ry;
    if (sense == 0) {
        rx = dx * std::cos(r) + dy * std::sin(r);
        ry = dy * std::cos(r) - dx * std::sin(r);
    } else {
        rx = dx * std::cos(r) - dy * std::sin(r);
        ry = dy * std::cos(r) + dx * std::sin(r);
    }
    return {cx + RoundHalfAway(rx), cy - RoundHalfAway(ry)};
}

IPoint RotatePoint(int x, int y, int cx, int cy, double angle, int sense) {
    const DPoint p = RotatePointD(x, y, cx, cy, angle, sense);
    return {int(p.x), int(p.y)};
}

int SegmentIntersect(DPoint p1, DPoint p2, DPoint p3, DPoint p4, DPoint* out) {
    const double d1 = Cross(p1, p2, p3);
    const double d2 = Cross(p1, p2, p4);
    const double d3 = Cross(p3, p4, p1);
    const double d4 = Cross(p3, p4, p2);
    const int s1 = Sign(d1), s2 = Sign(d2), s3 = Sign(d3), s4 = Sign(d4);
    if (s1 * s2 == -1 && s3 * s4 == -1) {
        if (out) {
            out->x = (p3.x * d2 - p4.x * d1) / (d2 - d1);
            out->y = (p3.y * d2 - p4.y * d1) / (d2 - d1);
        }
        return 1;
    }
    if (s1 == 0 && Sign(Dot(p3, p1, p2)) < 1) return 2;
    if (s2 == 0 && Sign(Dot(p4, p1, p2)) < 1) return 2;
    if (s3 == 0 && Sign(Dot(p1, p3, p4)) < 1) return 2;
    if (s4 != 0) return 0;
    if (Sign(Dot(p2, p3, p4)) > 0) return 0;
    return 2;
}

Entity::Entity(uint32_t type) : type_(type) {}

Entity::~Entity() {
    Release();
}

void Entity::Init(int x, int y, int width, int height, double rotation, int z, bool visible,
                  double alpha) {
    params_ = BlitParams{};
    params_.centreX = x;
    params_.centreY = y;
    params_.width = width;
    params_.height = height;
    params_.angle = rotation;
    params_.z = z;
    params_.radius = Radius(width, height);
    visible_ = visible ? 1 : 0;
    alpha_ = alpha;
}

uint32_t Entity::AttachToCanvas(Canvas* canvas, int layer) {
    if (!canvas || (type_ != ENT_PLAIN && !descriptorMade_)) return 0;
    if (layer < 0 || layer >= Canvas::kLayerCount) return 0;
    DetachFromCanvas();
    canvas_ = canvas;
    const uint32_t item = canvas->AddDrawItem(layer, id_, &params_, alpha_, visible_,
                                              descriptorMade_ ? &descriptor_ : nullptr);
    if (item != 0) {
        itemId_ = item;
        layer_ = layer;
    }
    return item;
}

void Entity::DetachFromCanvas() {
    if (layer_ != -1 && canvas_) canvas_->RemoveDrawItem(layer_, itemId_);
    layer_ = -1;
    itemId_ = 0;
}

void Entity::FreeDescriptor() {
    descriptor_ = RenderDescriptor{};
    descriptorMade_ = false;
}

void Entity::Release() {
    if (released_) return;
    released_ = true;
    for (ChildLink& link : children_) {
        if (link.child && link.child->parent_ == this) link.child->parent_ = nullptr;
    }
    children_.clear();
    children_.shrink_to_fit();
    if (parent_) parent_->UnlinkChild(this);
    DetachFromCanvas();
    FreeDescriptor();
}

bool Entity::LinkUsable(const ChildLink& link) const {
    if (!link.child) return false;
    if (!(link.flags & LINK_CHECK)) return true;
    if (!canvas_ || layer_ == -1) return false;
    return canvas_->GetItemEntityId(layer_, link.itemId) == link.childId;
}

template <typename F>
void Entity::ForChildren(uint32_t flag, F&& f) {
    // Index walk: a child's change never edits this list, but re-reading the size keeps the
    // walk safe if it ever did.
    for (size_t i = 0; i < children_.size(); ++i) {
        ChildLink& link = children_[i];
        if ((link.flags & flag) && LinkUsable(link)) f(link);
    }
}

// Positions, z and sizes wrap at the 32-bit ends rather than overflow: a script may set any
// value, and a change there and back must land where it started.
static int32_t WrapAdd(int32_t a, int32_t b) {
    return int32_t(uint32_t(a) + uint32_t(b));
}
static int32_t WrapSub(int32_t a, int32_t b) {
    return int32_t(uint32_t(a) - uint32_t(b));
}

void Entity::MoveBy(int dx, int dy) {
    Carry({dx, dy, dx != 0 || dy != 0});
}

void Entity::Carry(const Carried& moves) {
    params_.centreX = WrapAdd(params_.centreX, moves.dx);
    params_.centreY = WrapAdd(params_.centreY, moves.dy);
    if (moves.moved) geometryChanged_ = true;
    ForChildren(LINK_MOVE, [&](ChildLink& l) { l.child->Carry(moves); });
}

void Entity::SetPosition(int x, int y) {
    MoveBy(WrapSub(x, params_.centreX), WrapSub(y, params_.centreY));
}

void Entity::ChangeZBy(int dz) {
    params_.z = WrapAdd(params_.z, dz);
    if (dz != 0) geometryChanged_ = true;
    ForChildren(LINK_Z, [&](ChildLink& l) { l.child->ChangeZBy(dz); });
}

void Entity::SetZ(int z) {
    ChangeZBy(WrapSub(z, params_.z));
}

void Entity::ResizeBy(int dw, int dh) {
    params_.width = WrapAdd(params_.width, dw);
    params_.height = WrapAdd(params_.height, dh);
    if (dw != 0 || dh != 0) geometryChanged_ = true;
    ForChildren(LINK_SIZE, [&](ChildLink& l) { l.child->ResizeBy(dw, dh); });
}

void Entity::SetSize(int w, int h) {
    ResizeBy(WrapSub(w, params_.width), WrapSub(h, params_.height));
}

void Entity::Scale(double fx, double fy) {
    params_.width = int(std::trunc(params_.width * fx));
    params_.height = int(std::trunc(params_.height * fy));
    if (fx != 1.0 || fy != 1.0) geometryChanged_ = true;
    ForChildren(LINK_SIZE, [&](ChildLink& l) { l.child->Scale(fx, fy); });
}

void Entity::RotateBy(double delta) {
    params_.angle += delta;
    if (delta != 0.0) geometryChanged_ = true;
    TurnChildren(delta, {});
}

void Entity::SetRotation(double angle) {
    const double delta = angle - params_.angle;
    params_.angle = angle;
    if (delta != 0.0) geometryChanged_ = true;
    TurnChildren(delta, {});
}

void Entity::RotateAround(int cx, int cy, double delta) {
    TurnAbout(cx, cy, delta, {});
}

// A turn moves each entity it turns to its place about the turning point, which carries the
// entity's followers along, then turns the entity's own followers about its new centre. Done
// one entity at a time, a turn at the head of a chain of n would carry the rest of the chain
// at every link of it, n * n / 2 moves; instead each entity takes the moves of the turns above
// it at once, when the walk reaches it. Offsets wrap as the moves do, so the centre each turn
// reads is the one the moves one at a time would have left.
void Entity::TurnAbout(int cx, int cy, double delta, Carried moves) {
    if (delta != 0.0) {
        const int x = WrapAdd(params_.centreX, moves.dx);
        const int y = WrapAdd(params_.centreY, moves.dy);
        const IPoint p = RotatePoint(x, y, cx, cy, delta, 1);
        const int32_t dx = WrapSub(p.x, x), dy = WrapSub(p.y, y);
        moves = {WrapAdd(moves.dx, dx), WrapAdd(moves.dy, dy), moves.moved || dx != 0 || dy != 0};
    }
    params_.centreX = WrapAdd(params_.centreX, moves.dx);
    params_.centreY = WrapAdd(params_.centreY, moves.dy);
    if (moves.moved) geometryChanged_ = true;
    params_.angle += delta;
    if (delta != 0.0) geometryChanged_ = true;
    TurnChildren(delta, moves);
}

void Entity::TurnChildren(double delta, const Carried& moves) {
    const int cx = params_.centreX, cy = params_.centreY;
    for (size_t i = 0; i < children_.size(); ++i) {
        ChildLink& link = children_[i];
        if (!LinkUsable(link)) continue;
        const Carried followed = (link.flags & LINK_MOVE) ? moves : Carried{};
        if (link.flags & LINK_ROTATE) {
            link.child->TurnAbout(cx, cy, delta, followed);
        } else if (followed.moved) {
            link.child->Carry(followed);
        }
    }
}

void Entity::Show() {
    visible_ = 1;
    for (size_t i = 0; i < children_.size(); ++i) {
        ChildLink& l = children_[i];
        if (!LinkUsable(l)) continue;
        if (l.flags & LINK_SHOW) {
            l.child->Show();
        } else if (l.flags & LINK_HIDDEN_BY_PARENT) {
            l.flags &= ~uint32_t(LINK_HIDDEN_BY_PARENT);
            l.child->Show();
        }
    }
}

void Entity::Hide() {
    visible_ = 0;
    for (size_t i = 0; i < children_.size(); ++i) {
        ChildLink& l = children_[i];
        if (!LinkUsable(l)) continue;
        if (l.flags & LINK_SHOW) {
            l.child->Hide();
        } else if ((l.flags & LINK_HIDE_ONLY) && l.child->visible_) {
            l.flags |= LINK_HIDDEN_BY_PARENT;
            l.child->Hide();
        }
    }
}

void Entity::SetAlpha(double alpha) {
    alpha_ = alpha;
    ForChildren(LINK_ALPHA, [&](ChildLink& l) { l.child->SetAlpha(alpha); });
}

void Entity::SetHitMode(uint32_t mode) {
    hitMode_ = mode;
    if (canvas_ && layer_ != -1) canvas_->SetItemHitTest(layer_, itemId_, mode != 0);
    ForChildren(LINK_HIT, [&](ChildLink& l) { l.child->SetHitMode(mode); });
}

void Entity::SetDrawFlags(uint32_t flags) {
    params_.flags = flags;
    geometryChanged_ = true;
}

void Entity::SetClipRect(const Rect& rect) {
    params_.clip = rect;
    params_.flags |= BLIT_CLIP;
    geometryChanged_ = true;
    ForChildren(LINK_CLIP, [&](ChildLink& l) { l.child->SetClipRect(rect); });
}

void Entity::ApplyTransform() {
    if (itemId_ == 0 || !canvas_ || layer_ == -1) return;
    if (geometryChanged_) {
        params_.radius = Radius(params_.width, params_.height);
        canvas_->UpdateItemGeometry(layer_, itemId_, visible_, 0, alpha_, &params_);
    } else {
        canvas_->UpdateItemTransform(layer_, itemId_, visible_, 0, alpha_);
    }
    geometryChanged_ = false;
    ForChildren(LINK_APPLY, [&](ChildLink& l) { l.child->ApplyTransform(); });
}

bool Entity::IsAncestorOf(const Entity* other) const {
    for (const Entity* p = other ? other->parent_ : nullptr; p; p = p->parent_) {
        if (p == this) return true;
    }
    return false;
}

uint32_t Entity::AddChild(Entity* child, uint32_t flags) {
    // A child that is this entity or one of its ancestors would make every propagation
    // walk the cycle for ever.
    if (!child || child == this || child->IsAncestorOf(this)) return 0;
    ChildLink link{child->id_, child->itemId_, flags, child};
    if ((flags & LINK_CHECK) && !LinkUsable(link)) return 0;
    // Linking a child again takes the new flags on its one link: a second link would hand
    // every change to it twice (a move would carry it twice as far).
    if (child->parent_ == this) {
        for (ChildLink& l : children_) {
            if (l.child == child) {
                l.flags = flags;
                l.childId = child->id_;
                l.itemId = child->itemId_;
            }
        }
        return uint32_t(children_.size());
    }
    if (child->parent_) child->parent_->UnlinkChild(child);
    if (children_.size() == children_.capacity()) children_.reserve(children_.size() + 10);
    child->parent_ = this;
    children_.push_back(link);
    return uint32_t(children_.size());
}

uint32_t Entity::RemoveChild(uint32_t entityId) {
    for (size_t i = 0; i < children_.size(); ++i) {
        if (children_[i].childId == entityId) {
            if (children_[i].child && children_[i].child->parent_ == this)
                children_[i].child->parent_ = nullptr;
            children_.erase(children_.begin() + long(i));
            return uint32_t(children_.size());
        }
    }
    return 0;
}

void Entity::UnlinkChild(Entity* child) {
    for (size_t i = 0; i < children_.size(); ++i) {
        if (children_[i].child == child) {
            children_.erase(children_.begin() + long(i));
            break;
        }
    }
    if (child->parent_ == this) child->parent_ = nullptr;
}

Entity* Entity::GetChild(uint32_t index) const {
    return index < children_.size() ? children_[index].child : nullptr;
}

IPoint Entity::ScreenToLayer(int x, int y) const {
    if (!canvas_ || layer_ == -1) return {x, y};
    return canvas_->ScreenToLayer(layer_, x, y);
}

}  // namespace hqlv::engine
