#include "framework/app/ui_trace.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace hqlv::framework {
namespace {

const std::string& TracePath() {
    static const std::string path = [] {
        const char* env = std::getenv("HQLV_UI_TRACE");
        return std::string(env ? env : "");
    }();
    return path;
}

std::mutex& TraceLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

bool UiTraceEnabled() {
    return !TracePath().empty();
}

void UiTrace(std::string_view pane, std::string_view line) {
    if (!UiTraceEnabled()) return;
    std::string out;
    out.reserve(pane.size() + line.size() + 2);
    out.append(pane);
    out.push_back('\t');
    for (char c : line) out.push_back(c == '\r' || c == '\n' ? ' ' : c);
    out.push_back('\n');
    std::lock_guard<std::mutex> guard(TraceLock());
    if (std::FILE* f = std::fopen(TracePath().c_str(), "ab")) {
        std::fwrite(out.data(), 1, out.size(), f);
        std::fclose(f);
    }
}

}  // namespace hqlv::framework
