// The resource family: the folder later picture names are read from, and pictures loaded
// while a script runs.
#include "engine/script/builtin_call.h"

namespace hqlv::engine {

namespace {

uint32_t SetResourceFolder(BuiltinCall& call) {
    if (call.Count() < 1) return call.Fail(kCallErrorArguments);
    call.Manager().MakeModulePath(call.Text(0));
    return kScriptContinue;
}

uint32_t LoadPictures(BuiltinCall& call) {
    if (call.Count() < 1) return call.Fail(kCallErrorArguments);
    for (int i = 0; i < call.Count(); ++i) {
        // Path mode 1: the name is taken under the resource root folder. The load is made
        // now: a picture that cannot be loaded ends the program through the resource
        // manager's fatal path, as any picture the game names and cannot load does.
        if (!call.Manager().LoadImageByName(call.Text(i), "", 1))
            return call.Fail(kCallErrorFailed);
    }
    return kScriptContinue;
}

}  // namespace

uint32_t ScriptManager::CallResourceFunction(ScriptInstance* instance) {
    static constexpr BuiltinFunction kFamily[] = {{"设置资源目录", SetResourceFolder},
                                                  {"动态加载", LoadPictures}};
    return CallFamily(*this, *instance, kFamily);
}

}  // namespace hqlv::engine
