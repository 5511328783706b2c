#include "engine/render/render_log.h"

#include <cstdarg>
#include <cstdio>

#include "engine/core/engine_log.h"

namespace hqlv::engine {

void RenderLog(const char* fmt, ...) {
    char line[1024];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(line, sizeof line, fmt, ap);
    va_end(ap);
    WriteLogText(line);
}

}  // namespace hqlv::engine
