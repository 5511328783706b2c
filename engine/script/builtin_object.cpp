#include "engine/script/script_manager.h"

namespace hqlv::engine {

uint32_t ScriptManager::CallObjectFunction(ScriptInstance*) {
    return kScriptNotHandled;
}

}  // namespace hqlv::engine
