#include "engine/render/render_log.h"

#include <cstdarg>

#include "engine/core/engine_log.h"

namespace hqlv::engine {

void RenderLog(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    WriteLogV(fmt, ap);
    va_end(ap);
}

}  // namespace hqlv::engine
