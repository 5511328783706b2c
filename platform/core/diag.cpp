#include "platform/core/diag.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

namespace hqlv::platform {
namespace {
std::mutex& sinkMutex() {
    static std::mutex m;
    return m;
}
DiagSink& sinkRef() {
    static DiagSink s;
    return s;
}
}  // namespace

DiagSink setDiagSink(DiagSink sink) {
    std::lock_guard lock(sinkMutex());
    DiagSink old = std::move(sinkRef());
    sinkRef() = std::move(sink);
    return old;
}

void diag(std::string_view line) {
    std::lock_guard lock(sinkMutex());
    if (sinkRef()) {
        sinkRef()(line);
    } else {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
    }
}

void diagf(const char* fmt, ...) {
    char buf[4000];
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    if (n < 0) return;
    size_t len = static_cast<size_t>(n) < sizeof buf ? static_cast<size_t>(n) : sizeof buf - 1;
    diag(std::string_view(buf, len));
}

}  // namespace hqlv::platform
