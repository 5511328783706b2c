// The create family: new plane and picture entities, made hidden far outside the screen and
// handed to the script as their ids, to be placed and shown with 操作实体.
#include "engine/render/plane.h"
#include "engine/script/builtin_call.h"

namespace hqlv::engine {

namespace {

uint32_t CreatePlane(BuiltinCall& call) {
    if (call.Count() < 2) return call.Fail(kCallErrorArguments);
    const int width = call.Int(0), height = call.Int(1);
    const uint32_t colour = call.Has(2) ? call.Unsigned(2) : kNoColour;
    const int layer = call.Has(3) ? call.Int(3) : kScriptDefaultLayer;
    // The creation fails, with nothing made, for a size the plane cannot take (a side below
    // 1, or past what PlaneSizeFits holds) and for a layer the canvas does not have: a plane
    // of no pixels cannot be drawn or painted, and an entity of a sixth layer would have
    // nowhere to be drawn.
    if (!PlaneSizeFits(width, height) || !LayerOk(layer)) return call.Fail(kCallErrorFailed);
    ScriptManager& m = call.Manager();
    const uint64_t pixels = uint64_t(width) * uint64_t(height);
    if (!m.RoomForScriptEntity(0, pixels * 4)) return call.Fail(kCallErrorFailed);
    // The new plane is filled with its colour: past the budget nothing is made, and the run
    // stops as timed out.
    if (!m.ChargeAhead(pixels / kPixelsPerStatement)) return kScriptContinue;
    PlaneEntity* plane =
        m.CreatePlaneEntity(layer, kScriptParkedX, kScriptParkedY, width, height, colour);
    if (plane) m.CountScriptEntity(plane->GetId(), PlanePixelBytes(*plane));
    if (!plane || !plane->State()) return call.Fail(kCallErrorFailed);
    return call.ReturnUnsigned(plane->GetId());
}

uint32_t CreatePicture(BuiltinCall& call) {
    if (call.Count() < 1) return call.Fail(kCallErrorArguments);
    const int frame = call.Has(1) ? call.Int(1) : 0;
    const int layer = call.Has(2) ? call.Int(2) : kScriptDefaultLayer;
    // An entity of a layer the canvas does not have would have nowhere to be drawn.
    if (!LayerOk(layer)) return call.Fail(kCallErrorFailed);
    ScriptManager& m = call.Manager();
    if (!m.RoomForScriptEntity(0, 0)) return call.Fail(kCallErrorFailed);
    // A name that finds no picture gives an image entity without one, which draws nothing.
    const ImageInfo info = PictureFrameByName(call.Text(0), frame);
    ImageEntity* image =
        m.CreateImageEntityEx(layer, kScriptParkedX, kScriptParkedY, info.resourceId, info.sx,
                              info.sy, info.width, info.height, 0, kNoColour);
    if (!image) return call.Fail(kCallErrorFailed);
    m.CountScriptEntity(image->GetId(), 0);
    return call.ReturnUnsigned(image->GetId());
}

}  // namespace

uint32_t ScriptManager::CallCreateFunction(ScriptInstance* instance) {
    static constexpr BuiltinFunction kFamily[] = {{"创建平面", CreatePlane},
                                                  {"创建图片", CreatePicture}};
    return CallFamily(*this, *instance, kFamily);
}

}  // namespace hqlv::engine
