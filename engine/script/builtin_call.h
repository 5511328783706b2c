#pragma once
// What the create, resource and object families share: the arguments of one call read from
// the run's value stack, entities found by the ids scripts hold, pictures found by name, the
// three kinds of call error, and the bounds that keep script numbers inside what the engine
// can hold.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "engine/core/entity.h"
#include "engine/core/game_object.h"
#include "engine/script/script_manager.h"

namespace hqlv::engine {

constexpr int kScriptDefaultLayer = 4;

// Where new entities wait, hidden, until a script places them.
constexpr int kScriptParkedX = -100000;
constexpr int kScriptParkedY = -100000;

class BuiltinCall {
public:
    BuiltinCall(ScriptManager& manager, ScriptInstance& run) : manager_(manager), run_(run) {}

    int Count() const { return run_.GetArgCount(); }
    bool Has(int i) const { return i < Count(); }
    // Read in place: an argument may be a long text, and a call reads some many times.
    int Int(int i) const { return run_.ArgAt(i).ToInt(); }
    // Ids and colours: the integer's bits (a negative id names nothing).
    uint32_t Unsigned(int i) const { return uint32_t(Int(i)); }
    double Float(int i) const { return run_.ArgAt(i).ToFloat(); }
    std::string Text(int i) const { return run_.ArgAt(i).text(); }
    // Whether argument i is exactly this word.
    bool Is(int i, std::string_view word) const { return run_.ArgAt(i).text() == word; }
    // The entity of the id in argument i; null when none (or no kernel).
    Entity* FindEntity(int i) const;

    // Reports the kind through the manager; → the error code.
    uint32_t Fail(int kind) { return manager_.ReportCallError(&run_, kind); }
    // The one result replaces the value stack.
    uint32_t ReturnUnsigned(uint32_t value);
    // The text is split at "," into the value stack, each piece a text value.
    uint32_t ReturnJoined(std::string_view text);

    ScriptManager& Manager() { return manager_; }
    ScriptInstance& Run() { return run_; }

private:
    ScriptManager& manager_;
    ScriptInstance& run_;
};

// One function of a family.
struct BuiltinFunction {
    std::string_view name;
    uint32_t (*call)(BuiltinCall& call);
};
// Compares the run's function name with the family's names in their order and calls the
// match; kScriptNotHandled when it is none of them.
uint32_t CallFamily(ScriptManager& manager, ScriptInstance& run,
                    std::span<const BuiltinFunction> family);

// n wrapped into [0, count): a negative n counts back from the end. 0 when count is 0.
uint32_t WrapFrame(int64_t n, uint32_t count);

// Frame n (wrapped as above) of the picture registered under the name; all zero when there
// is none.
ImageInfo PictureFrameByName(std::string_view name, int64_t frame);

inline bool InRange(int64_t v, int64_t low, int64_t high) {
    return v >= low && v <= high;
}
inline bool LayerOk(int layer) {
    return InRange(layer, 0, Canvas::kLayerCount - 1);
}

// Script numbers go straight into the engine, which holds positions, sizes and depths in
// 32-bit ints and sums them there; a number is refused (kind 10: the engine cannot do the
// operation) only where such a sum would overflow, and a plane only past what a plane can
// hold (PlaneSizeFits).

// Whether an entity's box along one axis is held: the engine works out its edges, centre ∓
// (side + 1) / 2, in ints (Entity::GetLeft and the others, and the layouts that place button
// pieces and faces edge to edge from them), so both edges and side + 1 must stay in the int
// range. A negative side is held as well: the blitter draws no box for it, and no point
// hits it.
inline bool BoxHeld(int64_t centre, int64_t side) {
    const int64_t half = (side + 1) / 2;
    return InRange(side, INT32_MIN, int64_t(INT32_MAX) - 1) &&
           InRange(centre - half, INT32_MIN, INT32_MAX) &&
           InRange(centre + half, INT32_MIN, INT32_MAX);
}
// The engine stacks a button frame's pieces and faces one and two above the frame's z, in
// int sums: a depth is held up to two below the top of the int range.
inline bool DepthHeld(int64_t z) {
    return InRange(z, INT32_MIN, int64_t(INT32_MAX) - 2);
}

}  // namespace hqlv::engine
