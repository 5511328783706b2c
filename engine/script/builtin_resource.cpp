// The resource family: the folder later picture names are read from, and pictures loaded
// while a script runs.
#include "engine/core/engine_log.h"
#include "engine/core/resource_manager.h"
#include "engine/script/builtin_call.h"
#include "platform/core/files.h"

namespace hqlv::engine {

namespace {

uint32_t SetResourceFolder(BuiltinCall& call) {
    if (call.Count() < 1) return call.Fail(kCallErrorArguments);
    call.Manager().MakeModulePath(call.Text(0));
    return kScriptContinue;
}

// A picture the resource manager cannot find ends the program on its load-now path, so a
// name that is neither registered nor a file under the root folder is the call's failure.
bool PictureFileFound(const std::string& name) {
    if (name.empty()) return false;
    ResourceManager& rm = GetResourceManager();
    if (rm.FindImageId(SplitFileTitle(name))) return true;  // reused, nothing is read
    // The path the manager itself will read: root folder + name, ASCII letters lowered.
    std::string path = rm.GetRootDir() + name;
    ToLowerAscii(path);
    if (platform::pathExists(path)) return true;
    WriteLog("文件%s 打开失败!", path.c_str());
    return false;
}

uint32_t LoadPictures(BuiltinCall& call) {
    if (call.Count() < 1) return call.Fail(kCallErrorArguments);
    for (int i = 0; i < call.Count(); ++i) {
        const std::string name = call.Text(i);
        if (!PictureFileFound(name)) return call.Fail(kCallErrorFailed);
        // Path mode 1: the name is taken under the resource root folder.
        if (!call.Manager().LoadImageByName(name, "", 1)) return call.Fail(kCallErrorFailed);
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
