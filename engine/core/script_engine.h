#pragma once
// What the resource manager needs of the script interpreter: compiling a script text and
// the counters and switches the engine reads. The interpreter implements it.
#include "engine/core/value_string.h"

namespace hqlv::engine {

class ScriptEngine {
public:
    virtual ~ScriptEngine() = default;
    // Compiles a text value and registers what it defines; -1 when it does not compile.
    virtual int LoadScript(const ValueString& text, int mode) = 0;
    virtual int GetLoadedCount() const = 0;
    virtual int GetRunningCount() const = 0;
    virtual void EnableCreateFunctions() = 0;
    virtual void EnableObjectFunctions() = 0;
    virtual void EnableResourceFunctions() = 0;
};

}  // namespace hqlv::engine
