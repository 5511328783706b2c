#include "engine/render/render_log.h"

#include <cstdarg>
#include <cstdio>

#include "platform/core/diag.h"

namespace hqlv::engine {

void RenderLog(const char* fmt, ...) {
    char line[1024];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(line, sizeof line, fmt, ap);
    va_end(ap);
    platform::diag(line);
}

}  // namespace hqlv::engine
