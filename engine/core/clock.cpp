#include "engine/core/clock.h"

#include <atomic>

#include "platform/core/clock.h"

namespace hqlv::engine {
namespace {
std::atomic<uint32_t> g_lastTime{0};
}

uint32_t GetEngineTimeMs() {
    const uint32_t now = platform::tickMs();
    g_lastTime = now;
    return now;
}

uint32_t GetCachedTimeMs() {
    return g_lastTime;
}

uint32_t GetClockMode() {
    return kClockTickCounter;
}

}  // namespace hqlv::engine
