#include "engine/script/builtin_call.h"

#include "engine/core/kernel.h"
#include "engine/core/resource_manager.h"

namespace hqlv::engine {

Entity* BuiltinCall::FindEntity(int i) const {
    GameKernel* kernel = manager_.Kernel();
    return kernel ? kernel->FindEntity(Unsigned(i)) : nullptr;
}

uint32_t BuiltinCall::ReturnUnsigned(uint32_t value) {
    run_.ClearValues();
    run_.PushUnsigned(value);
    return kScriptContinue;
}

uint32_t BuiltinCall::ReturnJoined(std::string_view text) {
    run_.ClearValues();
    run_.PassArguments(text);
    return kScriptContinue;
}

uint32_t CallFamily(ScriptManager& manager, ScriptInstance& run,
                    std::span<const BuiltinFunction> family) {
    const std::string& name = run.FunctionNameText();
    for (const BuiltinFunction& f : family) {
        if (name == f.name) {
            BuiltinCall call(manager, run);
            return f.call(call);
        }
    }
    return kScriptNotHandled;
}

uint32_t WrapFrame(int64_t n, uint32_t count) {
    if (count == 0) return 0;
    const int64_t r = n % int64_t(count);
    return uint32_t(r < 0 ? r + int64_t(count) : r);
}

ImageInfo PictureFrameByName(std::string_view name, int64_t frame) {
    const EnginePicture* picture = GetResourceManager().GetImageByName(name);
    if (!picture) return {};
    return ImageInfoOf(picture, WrapFrame(frame, picture->frameCount));  // no count: frame 0
}

}  // namespace hqlv::engine
