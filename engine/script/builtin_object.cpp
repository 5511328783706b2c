// The object family: scripts move, show, turn, size, layer and delete entities by id, read
// their properties back, link them to each other, change the frames and pictures of image
// entities and paint on planes.
//
// Every number a script passes is checked before it reaches the engine, for the entity and
// for each child that follows the change with it: positions, sizes and depths are refused
// (kind 10) where the engine's int sums of them would overflow (builtin_call.h); angles and
// alphas that are no finite numbers, and angles past the range below, are refused (kind 20).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>

#include "engine/core/entity_kinds.h"
#include "engine/core/kernel.h"
#include "engine/render/canvas.h"
#include "engine/render/plane.h"
#include "engine/script/builtin_call.h"

namespace hqlv::engine {

namespace {

// Angles stay within this many degrees, so that the differences the engine takes between
// two of them stay finite.
constexpr double kMaxAngle = 1e9;

// The child-link words of 绑定实体.
constexpr uint32_t kLinkStandard = 0x1802E;
struct LinkOption {
    std::string_view word;
    uint32_t bits;
};
constexpr LinkOption kLinkOptions[] = {
    {"位置", 0x18002}, {"半透明", 0x8},         {"显示", 0x4},
    {"放缩", 0x40},    {"刷新", 0x20},          {"删除", 0x1},
    {"全部", 0x1C06F}, {"标准", kLinkStandard}, {"记忆显示", 0x1000},
};

// A sub-command's effect: 0 done, else the error kind (nothing of it changed).
template <typename Target>
struct SubCommand {
    std::string_view word;
    int values;
    int (*apply)(Target& target, BuiltinCall& call, int at);
};
// What a sub-command answers when the target is gone and the call ends at once.
constexpr int kStopped = -1;
// What the sub-commands answer when their work would pass the run's statement budget: it is
// not done, the call ends at once, and the manager fails the run as timed out when the call
// returns.
constexpr int kOverBudget = -2;

// Applies the sub-commands from argument 1 on, in order, each with its values and counting
// `each` statements of work; → 0, kStopped, kOverBudget, or the kind of the first that fails
// (those before it keep their effect).
template <typename Target, size_t N>
int RunSubCommands(Target& target, BuiltinCall& call, const SubCommand<Target> (&table)[N],
                   uint64_t each = 0) {
    for (int i = 1; i < call.Count();) {
        const SubCommand<Target>* found = nullptr;
        for (const SubCommand<Target>& c : table) {
            if (call.Is(i, c.word)) {
                found = &c;
                break;
            }
        }
        if (!found) return kCallErrorInvalid;
        if (i + found->values >= call.Count()) return kCallErrorArguments;
        if (!call.Manager().ChargeAhead(each)) return kOverBudget;
        const int result = found->apply(target, call, i + 1);
        if (result != 0) return result;
        // An argument list may repeat a sub-command that walks a whole plane as often as the
        // script's text allows: none runs once the budget is spent.
        if (call.Manager().BudgetSpent()) return kOverBudget;
        i += 1 + found->values;
    }
    return 0;
}

// Whether ok holds for the entity and for every child that follows it through links with
// the flag (the engine hands such a change down the same links).
template <typename F>
bool FollowersOk(const Entity& e, uint32_t flag, const F& ok) {
    if (!ok(e)) return false;
    for (const ChildLink& link : e.Children()) {
        if ((link.flags & flag) && link.child && !FollowersOk(*link.child, flag, ok)) return false;
    }
    return true;
}

bool ResizeOk(const Entity& e, int64_t dw, int64_t dh) {
    return FollowersOk(e, LINK_SIZE, [&](const Entity& x) {
        return BoxHeld(x.GetX(), x.GetWidth() + dw) && BoxHeld(x.GetY(), x.GetHeight() + dh);
    });
}

bool LayerChangeOk(const Entity& e, int64_t dz) {
    return FollowersOk(e, LINK_Z, [&](const Entity& x) { return DepthHeld(x.GetZ() + dz); });
}

// Works out, before anything moves, where a move or a turn leaves every centre it carries
// along, the way the engine hands it down the links: a move goes on to the children linked
// with LINK_MOVE; a turn moves the entity's centre about the turning point and then turns
// each child linked with LINK_ROTATE about that new centre. Turns compound (a child turned
// half round a far parent lands twice as far away, and a chain of them carries a centre past
// the int range), so every entity the change moves must end with its box held (BoxHeld).
// On the way a centre must stay an int: the engine would wrap one that leaves the range,
// and the rest of the change would go on from the wrapped place (the turns below it turn
// about the wrapped centre), where this check, which does not wrap, would not follow it.
//
// Each entity is reached once, with the moves of the turns above it that carry it: their sum
// and the least and greatest sums on the way, which are the centres it passes through. Moving
// the whole of an entity's followers at each turn would cost a chain of n links n * n / 2.
class CentreCheck {
public:
    bool Move(const Entity& e, int64_t dx, int64_t dy) {
        Carry(e, Path{}.Then(dx, dy));
        return held_;
    }
    bool TurnAbout(const Entity& e, int cx, int cy, double delta) {
        if (delta != 0.0) Turn(e, cx, cy, delta, Path{});
        return held_;
    }
    bool TurnInPlace(const Entity& e, double delta) {
        if (delta != 0.0) Children(e, e.GetX(), e.GetY(), delta, Path{}, false);
        return held_;
    }
private:
    struct Path {
        int64_t x = 0, y = 0;
        int64_t lowX = 0, highX = 0, lowY = 0, highY = 0;
        Path Then(int64_t dx, int64_t dy) const {
            Path p = *this;
            p.x += dx, p.y += dy;
            p.lowX = std::min(p.lowX, p.x), p.highX = std::max(p.highX, p.x);
            p.lowY = std::min(p.lowY, p.y), p.highY = std::max(p.highY, p.y);
            return p;
        }
    };
    // Whether the centre stays an int at every place the moves take it through.
    static bool OnTheWay(const Entity& e, const Path& p) {
        return InRange(e.GetX() + p.lowX, INT32_MIN, INT32_MAX) &&
               InRange(e.GetX() + p.highX, INT32_MIN, INT32_MAX) &&
               InRange(e.GetY() + p.lowY, INT32_MIN, INT32_MAX) &&
               InRange(e.GetY() + p.highY, INT32_MIN, INT32_MAX);
    }
    bool Lands(const Entity& e, const Path& p) {
        held_ = held_ && OnTheWay(e, p) && BoxHeld(e.GetX() + p.x, e.GetWidth()) &&
                BoxHeld(e.GetY() + p.y, e.GetHeight());
        return held_;
    }
    void Carry(const Entity& e, const Path& p) {
        if (!Lands(e, p)) return;
        for (const ChildLink& link : e.Children()) {
            if ((link.flags & LINK_MOVE) && link.child) Carry(*link.child, p);
        }
    }
    void Turn(const Entity& e, int cx, int cy, double delta, const Path& carried) {
        // Where the moves above have taken it: the centre the engine turns.
        if (!OnTheWay(e, carried)) {
            held_ = false;
            return;
        }
        const int x = int(e.GetX() + carried.x), y = int(e.GetY() + carried.y);
        const DPoint to = RotatePointD(x, y, cx, cy, delta, 1);
        const Path moved = carried.Then(int64_t(to.x) - x, int64_t(to.y) - y);
        if (!Lands(e, moved)) return;
        Children(e, int(e.GetX() + moved.x), int(e.GetY() + moved.y), delta, moved, true);
    }
    // The children of an entity now centred at (cx, cy); `moved` says whether the change
    // moved it, and so the children that follow its moves, by `p`.
    void Children(const Entity& e, int cx, int cy, double delta, const Path& p, bool moved) {
        for (const ChildLink& link : e.Children()) {
            if (!held_) return;
            if (!link.child) continue;
            const bool follows = moved && (link.flags & LINK_MOVE);
            if (link.flags & LINK_ROTATE) {
                Turn(*link.child, cx, cy, delta, follows ? p : Path{});
            } else if (follows) {
                Carry(*link.child, p);
            }
        }
    }
    bool held_ = true;
};

// The entities above e.
uint64_t Ancestors(const Entity& e) {
    uint64_t n = 0;
    for (const Entity* p = e.GetParent(); p; p = p->GetParent()) ++n;
    return n;
}

bool AngleOk(double angle) {
    return std::isfinite(angle) && std::fabs(angle) <= kMaxAngle;
}

// ---- 操作实体

int SetPosition(Entity& e, BuiltinCall& call, int at) {
    const int64_t x = call.Int(at), y = call.Int(at + 1);
    if (!CentreCheck().Move(e, x - e.GetX(), y - e.GetY())) return kCallErrorFailed;
    e.SetPosition(int(x), int(y));
    return 0;
}

int MoveBy(Entity& e, BuiltinCall& call, int at) {
    const int dx = call.Int(at), dy = call.Int(at + 1);
    if (!CentreCheck().Move(e, dx, dy)) return kCallErrorFailed;
    e.MoveBy(dx, dy);
    return 0;
}

int SetAlpha(Entity& e, BuiltinCall& call, int at) {
    const double alpha = call.Float(at);
    if (!std::isfinite(alpha)) return kCallErrorInvalid;
    e.SetAlpha(alpha);
    return 0;
}

int SetRotation(Entity& e, BuiltinCall& call, int at) {
    const double angle = call.Float(at);
    if (!AngleOk(angle)) return kCallErrorInvalid;
    if (!CentreCheck().TurnInPlace(e, angle - e.GetRotation())) return kCallErrorFailed;
    e.SetRotation(angle);
    return 0;
}

int RotateBy(Entity& e, BuiltinCall& call, int at) {
    const double delta = call.Float(at);
    if (!AngleOk(delta) || !AngleOk(e.GetRotation() + delta)) return kCallErrorInvalid;
    if (!CentreCheck().TurnInPlace(e, delta)) return kCallErrorFailed;
    e.RotateBy(delta);
    return 0;
}

int RotateAround(Entity& e, BuiltinCall& call, int at) {
    const int cx = call.Int(at), cy = call.Int(at + 1);
    const double delta = call.Float(at + 2);
    if (!AngleOk(delta) || !AngleOk(e.GetRotation() + delta)) return kCallErrorInvalid;
    if (!CentreCheck().TurnAbout(e, cx, cy, delta)) return kCallErrorFailed;
    e.RotateAround(cx, cy, delta);
    return 0;
}

int SetSize(Entity& e, BuiltinCall& call, int at) {
    const int64_t w = call.Int(at), h = call.Int(at + 1);
    if (!ResizeOk(e, w - e.GetWidth(), h - e.GetHeight())) return kCallErrorFailed;
    e.SetSize(int(w), int(h));
    return 0;
}

int ResizeBy(Entity& e, BuiltinCall& call, int at) {
    const int dw = call.Int(at), dh = call.Int(at + 1);
    if (!ResizeOk(e, dw, dh)) return kCallErrorFailed;
    e.ResizeBy(dw, dh);
    return 0;
}

int Destroy(Entity& e, BuiltinCall& call, int) {
    call.Manager().Kernel()->DestroyEntityTree(e.GetId());
    return kStopped;
}

// The sub-commands that need no check are written in place.
constexpr SubCommand<Entity> kEntityCommands[] = {
    {"坐标", 2, SetPosition},
    {"位移", 2, MoveBy},
    {"显示", 0,
     [](Entity& e, BuiltinCall&, int) {
         e.Show();
         return 0;
     }},
    {"隐藏", 0,
     [](Entity& e, BuiltinCall&, int) {
         e.Hide();
         return 0;
     }},
    {"半透明", 1, SetAlpha},
    {"图层", 1,
     [](Entity& e, BuiltinCall& c, int at) {
         const int z = c.Int(at);
         if (!LayerChangeOk(e, int64_t(z) - e.GetZ())) return kCallErrorFailed;
         e.SetZ(z);
         return 0;
     }},
    {"图层升降", 1,
     [](Entity& e, BuiltinCall& c, int at) {
         const int dz = c.Int(at);
         if (!LayerChangeOk(e, dz)) return kCallErrorFailed;
         e.ChangeZBy(dz);
         return 0;
     }},
    {"角度", 1, SetRotation},
    {"旋转", 1, RotateBy},
    {"绕点旋转", 3, RotateAround},
    {"宽高", 2, SetSize},
    {"放缩", 2, ResizeBy},
    {"删除", 0, Destroy},
};

// The entities linked below e, through links of any kind.
uint64_t LinkedBelow(const Entity& e) {
    uint64_t n = 0;
    for (const ChildLink& link : e.Children()) {
        if (link.child) n += 1 + LinkedBelow(*link.child);
    }
    return n;
}

// The most shown items a layer of the canvas has.
uint64_t LongestDrawingOrder(const ScriptManager& m) {
    const Canvas* canvas = m.GetCanvas();
    uint64_t longest = 0;
    for (int i = 0; canvas && i < Canvas::kLayerCount; ++i)
        longest = std::max<uint64_t>(longest, canvas->Layer(i).OrderedCount());
    return longest;
}

// A push of e's change to the canvas (Entity::ApplyTransform) hands it down to every entity
// linked below and puts each one it reaches back into its layer's drawing order, a walk along
// the layer's shown items: a statement for every entity reached, and for every
// kLinkStepsPerStatement steps of those walks. `below` is LinkedBelow(e), where the caller
// has it.
void ChargePush(ScriptManager& m, uint64_t below) {
    m.Charge(below + (below + 1) * LongestDrawingOrder(m) / kLinkStepsPerStatement);
}

void ChargePush(BuiltinCall& call, const Entity& e) {
    ChargePush(call.Manager(), LinkedBelow(e));
}

uint32_t OperateEntity(BuiltinCall& call) {
    if (call.Count() < 2) return call.Fail(kCallErrorArguments);
    Entity* e = call.FindEntity(0);
    if (!e) return call.Fail(kCallErrorFailed);
    // Each sub-command may hand its change down to every entity linked below, and so does the
    // push at the end: each counts a statement for every one of them. The push also puts each
    // entity it reaches back into its layer's drawing order, a walk along the layer's shown
    // items.
    ScriptManager& m = call.Manager();
    const uint64_t below = LinkedBelow(*e);
    const int result = RunSubCommands(*e, call, kEntityCommands, below);
    if (result == kStopped) return kScriptContinue;
    // Pushed also when a later sub-command fails: the changes before it stay, on screen too.
    e->ApplyTransform();
    ChargePush(m, below);
    // Over the budget the call ends as done so far; the manager then stops the run.
    if (result == kOverBudget) return kScriptContinue;
    return result == 0 ? kScriptContinue : call.Fail(result);
}

// ---- 读取实体

// Six decimals; the widest double ("%f" of -DBL_MAX) takes 317 characters.
std::string Decimal(double v) {
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%f", v);
    return buffer;
}

// Appends the values of the word at argument i (and of its own argument); → the next
// argument, or -kind when the word cannot be read.
int ReadProperty(const Entity& e, BuiltinCall& call, int i, std::string& out) {
    auto add = [&out](const std::string& v) {
        if (!out.empty()) out += ',';
        out += v;
    };
    const auto num = [](int64_t v) { return std::to_string(v); };
    if (call.Is(i, "坐标")) {
        add(num(e.GetX()));
        add(num(e.GetY()));
    } else if (call.Is(i, "左边")) {
        add(num(e.GetLeft()));
    } else if (call.Is(i, "右边")) {
        add(num(e.GetRight()));
    } else if (call.Is(i, "上边")) {
        add(num(e.GetTop()));
    } else if (call.Is(i, "下边")) {
        add(num(e.GetBottom()));
    } else if (call.Is(i, "宽度")) {
        add(num(e.GetWidth()));
    } else if (call.Is(i, "高度")) {
        add(num(e.GetHeight()));
    } else if (call.Is(i, "显示")) {
        add(e.IsVisible() ? "TRUE" : "FALSE");
    } else if (call.Is(i, "半透明")) {
        add(Decimal(e.GetAlpha()));
    } else if (call.Is(i, "图层")) {
        add(num(e.GetZ()));
    } else if (call.Is(i, "角度")) {
        add(Decimal(e.GetRotation()));
    } else if (call.Is(i, "老爸")) {
        add(num(e.GetParent() ? e.GetParent()->GetId() : 0));
    } else if (call.Is(i, "类型")) {
        add(num(e.GetType()));
    } else if (call.Is(i, "儿子")) {
        // The link index is the next argument; a missing one reads as 0, the first link.
        const int k = call.Int(i + 1);
        const Entity* child = k < 0 ? nullptr : e.GetChild(uint32_t(k));
        if (!child) return -kCallErrorFailed;
        add(num(child->GetId()));
        return i + 2;
    } else {
        return -kCallErrorInvalid;
    }
    return i + 1;
}

uint32_t ReadEntity(BuiltinCall& call) {
    if (call.Count() < 2) return call.Fail(kCallErrorArguments);
    const Entity* e = call.FindEntity(0);
    if (!e) return call.Fail(kCallErrorFailed);
    std::string values;
    for (int i = 1; i < call.Count();) {
        i = ReadProperty(*e, call, i, values);
        if (i < 0) return call.Fail(-i);
    }
    return call.ReturnJoined(values);
}

// ---- 绑定实体, 解除绑定

uint32_t LinkEntities(BuiltinCall& call) {
    // Ids read from missing arguments would be 0 and look like entities that do not exist.
    if (call.Count() < 2) return call.Fail(kCallErrorArguments);
    Entity* parent = call.FindEntity(0);
    Entity* child = call.FindEntity(1);
    if (!parent || !child) return call.Fail(kCallErrorFailed);
    uint32_t flags = call.Count() == 2 ? kLinkStandard : 0;
    for (int i = 2; i < call.Count(); ++i) {
        const LinkOption* found = nullptr;
        for (const LinkOption& o : kLinkOptions) {
            if (call.Is(i, o.word)) found = &o;
        }
        if (!found) return call.Fail(kCallErrorInvalid);
        flags |= found->bits;
    }
    // Whether the link would close a loop is a walk up from the parent, and the engine walks
    // the child's old and new parents' links to move it.
    ScriptManager& m = call.Manager();
    const Entity* old = child->GetParent();
    m.Charge((Ancestors(*parent) + parent->GetChildCount() + (old ? old->GetChildCount() : 0)) /
             kLinkStepsPerStatement);
    // A link to itself or to an ancestor would make every walk down the links endless.
    if (child == parent || child->IsAncestorOf(parent)) return call.Fail(kCallErrorInvalid);
    if (m.Kernel()->LinkChildEntity(parent, child, flags) == 0)
        return call.Fail(kCallErrorInvalid);
    return kScriptContinue;
}

// Only a parent id of 0 (what a missing or non-numeric argument reads as) is refused; a parent
// that does not exist has no children to lose, and the kernel writes that to its log.
uint32_t UnlinkEntities(BuiltinCall& call) {
    if (call.Count() < 2) return call.Fail(kCallErrorArguments);
    ScriptManager& m = call.Manager();
    GameKernel* kernel = m.Kernel();
    if (call.Unsigned(0) == 0 || !kernel) return call.Fail(kCallErrorFailed);
    const Entity* parent = kernel->FindEntity(call.Unsigned(0));
    for (int i = 1; i < call.Count(); ++i) {
        // Each id is looked for among the parent's links, or writes a line to the log when
        // there is no parent, as an unlink of its own would: each id after the first counts a
        // statement, and the links it looks through with it.
        m.Charge((i > 1 ? 1 : 0) + (parent ? parent->GetChildCount() / kLinkStepsPerStatement : 0));
        kernel->RemoveChildEntity(call.Unsigned(0), call.Unsigned(i));
        if (m.BudgetSpent()) break;
    }
    return kScriptContinue;
}

// ---- 贴图, 操作平面

PlaneEntity* FindPlane(BuiltinCall& call) {
    Entity* e = call.FindEntity(0);
    return e && e->GetType() == ENT_PLANE ? static_cast<PlaneEntity*>(e) : nullptr;
}

// Work counts against the run's statement budget by the pixels it walks, before it is done:
// false when the budget does not hold it, and the work is then left undone.
bool ChargePixels(BuiltinCall& call, uint64_t pixels) {
    return call.Manager().ChargeAhead(pixels / kPixelsPerStatement);
}

// The pixels of the plane: what work that walks every one of them walks.
uint64_t PlanePixels(const PlaneEntity& plane) {
    const PlaneState* s = plane.State();
    return s ? uint64_t(s->width) * uint64_t(s->height) : 0;
}

// Draws frame `frame` of the named picture into the plane with its top-left corner at
// (x, y); a size of 0 keeps the picture's. The plane works the box out in 64 bits, so any
// place and size is held: a box off the plane, or of a negative side, draws nothing. False,
// with nothing drawn, when the budget does not hold the work.
bool Paste(PlaneEntity& plane, BuiltinCall& call, const std::string& name, int64_t frame, int x,
           int y, int width, int height) {
    // A name that finds no picture pastes nothing (a picture of id 0 is drawn nowhere).
    const ImageInfo info = PictureFrameByName(name, frame);
    const int w = width ? width : info.width, h = height ? height : info.height;
    // At a size other than the picture's own, a keyed, alpha or palette picture is first
    // scaled into a copy of the asked size, however small the plane it lands on: that work
    // counts with the plane's.
    const uint64_t scaled = plane.PasteCopyPixels(x, y, info.resourceId, info.width, info.height,
                                                  w, h, 0.0, 1.0);
    if (!ChargePixels(call, PlanePixels(plane)) || !ChargePixels(call, scaled)) return false;
    plane.PasteImage(x, y, info.resourceId, info.sx, info.sy, info.width, info.height, w, h, 0.0,
                     1.0, kNoColour);
    ChargePush(call, plane);  // the pasted plane is pushed to the canvas
    return true;
}

uint32_t PastePicture(BuiltinCall& call) {
    if (call.Count() < 2) return call.Fail(kCallErrorArguments);
    PlaneEntity* plane = FindPlane(call);
    if (!plane) return call.Fail(kCallErrorFailed);
    const int frame = call.Has(2) ? call.Int(2) : 0;
    const bool at = call.Has(4), sized = call.Has(6);
    // Past the budget nothing is drawn, and the manager then stops the run.
    Paste(*plane, call, call.Text(1), frame, at ? call.Int(3) : 0, at ? call.Int(4) : 0,
          sized ? call.Int(5) : 0, sized ? call.Int(6) : 0);
    return kScriptContinue;
}

int PlaneSize(PlaneEntity& p, BuiltinCall& call, int at) {
    const int w = call.Int(at), h = call.Int(at + 1);
    // A side below 1 leaves the plane as it is (the plane's own rule); a size the plane
    // cannot hold (PlaneSizeFits) leaves it too, and fails.
    if (w < 1 || h < 1) return 0;
    if (!PlaneSizeFits(w, h)) return kCallErrorFailed;
    // The plane counts among the scripts' own from now on, whoever made it, with the size it
    // took.
    ScriptManager& m = call.Manager();
    if (!m.RoomForScriptEntity(p.GetId(), uint64_t(w) * uint64_t(h) * 4)) return kCallErrorFailed;
    if (!ChargePixels(call, uint64_t(w) * uint64_t(h))) return kOverBudget;
    if (!p.SetPlaneSize(w, h)) return kCallErrorFailed;
    m.CountScriptEntity(p.GetId(), PlanePixelBytes(p));
    return 0;
}

int PlanePaste(PlaneEntity& p, BuiltinCall& call, int at) {
    const bool done =
        Paste(p, call, call.Text(at + 2), call.Int(at + 3), call.Int(at), call.Int(at + 1), 0, 0);
    return done ? 0 : kOverBudget;
}

constexpr SubCommand<PlaneEntity> kPlaneCommands[] = {
    {"宽高", 2, PlaneSize},
    {"底色", 1,
     [](PlaneEntity& p, BuiltinCall& c, int at) {
         if (!ChargePixels(c, PlanePixels(p))) return kOverBudget;
         p.SetBaseColor(c.Unsigned(at));
         return 0;
     }},
    {"背景色", 1,
     [](PlaneEntity& p, BuiltinCall& c, int at) {
         p.SetBackColor(c.Unsigned(at));
         return 0;
     }},
    {"边界色", 1,
     [](PlaneEntity& p, BuiltinCall& c, int at) {
         // The border walks the plane's four edges.
         const PlaneState* s = p.State();
         if (s && !ChargePixels(c, 2 * (uint64_t(s->width) + uint64_t(s->height))))
             return kOverBudget;
         p.DrawBorder(c.Unsigned(at));
         return 0;
     }},
    {"文字", 3,
     [](PlaneEntity& p, BuiltinCall& c, int at) {
         const std::string text = c.Text(at + 2);
         // Each character is laid out and drawn until the text leaves the plane: a
         // character takes about a plain statement's time (more with a small font on a wide
         // plane), and a text may be hundreds of KiB.
         if (!ChargePixels(c, PlanePixels(p)) || !c.Manager().ChargeAhead(text.size()))
             return kOverBudget;
         p.DrawText(c.Int(at), c.Int(at + 1), text);
         ChargePush(c, p);  // the drawn plane is pushed to the canvas
         return 0;
     }},
    {"贴图", 4, PlanePaste},
};

uint32_t OperatePlane(BuiltinCall& call) {
    if (call.Count() < 2) return call.Fail(kCallErrorArguments);
    PlaneEntity* plane = FindPlane(call);
    if (!plane) return call.Fail(kCallErrorFailed);
    const int result = RunSubCommands(*plane, call, kPlaneCommands);
    // Over the budget the call ends as done so far; the manager then stops the run.
    if (result == kOverBudget) return kScriptContinue;
    return result == 0 ? kScriptContinue : call.Fail(result);
}

// ---- 操作图片

uint32_t OperateImage(BuiltinCall& call) {
    if (call.Count() < 2) return call.Fail(kCallErrorArguments);
    Entity* e = call.FindEntity(0);
    if (!e || e->GetType() != ENT_IMAGE) return call.Fail(kCallErrorFailed);
    auto* image = static_cast<ImageEntity*>(e);
    const int n = call.Has(2) ? call.Int(2) : 1;
    // Frames count modulo the picture's frames, a negative step going back.
    if (call.Is(1, "切帧")) {
        image->SetFrame(WrapFrame(int64_t(image->GetFrame()) + n, image->GetFrameCount()));
    } else if (call.Is(1, "跳帧")) {
        image->SetFrame(WrapFrame(n, image->GetFrameCount()));
    } else if (call.Is(1, "载入")) {
        if (!call.Has(2)) return call.Fail(kCallErrorArguments);
        // A name that finds no picture leaves the image without one: it draws nothing.
        const ImageInfo info = PictureFrameByName(call.Text(2), call.Has(3) ? call.Int(3) : 0);
        image->SetImage(info.resourceId, info.sx, info.sy, info.width, info.height,
                        image->GetColorWord());
        image->ApplyTransform();
    } else if (call.Is(1, "背景色")) {
        if (!call.Has(2)) return call.Fail(kCallErrorArguments);
        image->SetColorWord(call.Unsigned(2));
        image->ApplyTransform();
    } else if (call.Is(1, "播放")) {
        uint32_t mode = 0, count = uint32_t(-1);
        if (call.Count() >= 4) {
            const uint32_t given = call.Unsigned(3);
            if (call.Is(2, "轮数")) {
                count = given;
            } else if (call.Is(2, "帧数")) {
                mode = 1, count = given;
            } else if (call.Is(2, "时间")) {
                mode = 2, count = given;
            }
        }
        // Started or not (an image off the canvas takes no animation), the call is done; past
        // the bound of the animations scripts run it fails, and nothing starts.
        ScriptManager& m = call.Manager();
        if (!m.RoomForScriptAnimation()) return call.Fail(kCallErrorFailed);
        if (const uint32_t apply =
                m.PlayFrames(image, mode, count, image->GetFrame(), 0, 0, MessageData{}, 0))
            m.CountScriptAnimation(apply);
    } else {
        // Any other word is no sub-command of this function: the call goes on as one that no
        // family handles (an unsupported function, unless a loaded script has this name).
        return kScriptNotHandled;
    }
    // Every sub-command pushes the image's change to the canvas; 播放 too, as its start sets
    // the image's frame (with the linked entities below, the work is the same each time).
    ChargePush(call, *image);
    return kScriptContinue;
}

}  // namespace

uint32_t ScriptManager::CallObjectFunction(ScriptInstance* instance) {
    static constexpr BuiltinFunction kFamily[] = {
        {"操作实体", OperateEntity},  {"读取实体", ReadEntity}, {"绑定实体", LinkEntities},
        {"解除绑定", UnlinkEntities}, {"贴图", PastePicture},   {"操作图片", OperateImage},
        {"操作平面", OperatePlane},
    };
    return CallFamily(*this, *instance, kFamily);
}

}  // namespace hqlv::engine
