#include "engine/script/script_manager.h"

namespace hqlv::engine {

uint32_t ScriptManager::CallResourceFunction(ScriptInstance*) {
    return kScriptNotHandled;
}

}  // namespace hqlv::engine
