#include "platform/core/clock.h"

#include <atomic>
#include <chrono>
#include <ctime>
#include <mutex>

namespace hqlv::platform {
namespace {

class SystemClock : public Clock {
public:
    uint32_t tickMs() override {
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count();
        return static_cast<uint32_t>(static_cast<uint64_t>(ms));
    }
    LocalTime localTime() override {
        struct timespec ts {};
        clock_gettime(CLOCK_REALTIME, &ts);
        struct tm tm {};
        time_t secs = ts.tv_sec;
        localtime_r(&secs, &tm);
        LocalTime t;
        t.year = tm.tm_year + 1900;
        t.month = tm.tm_mon + 1;
        t.day = tm.tm_mday;
        t.hour = tm.tm_hour;
        t.minute = tm.tm_min;
        t.second = tm.tm_sec;
        t.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
        t.weekday = tm.tm_wday;
        return t;
    }
};

std::atomic<Clock*> g_clock{nullptr};
std::mutex g_manualMutex;

}  // namespace

Clock& systemClock() {
    static SystemClock clock;
    return clock;
}

Clock* setClock(Clock* clock) {
    Clock* old = g_clock.exchange(clock);
    return old ? old : &systemClock();
}

Clock& currentClock() {
    Clock* c = g_clock.load();
    return c ? *c : systemClock();
}

uint32_t tickMs() {
    return currentClock().tickMs();
}
LocalTime localTime() {
    return currentClock().localTime();
}

uint32_t ManualClock::tickMs() {
    std::lock_guard lock(g_manualMutex);
    return tick_;
}
LocalTime ManualClock::localTime() {
    std::lock_guard lock(g_manualMutex);
    return local_;
}
void ManualClock::setTick(uint32_t tick) {
    std::lock_guard lock(g_manualMutex);
    tick_ = tick;
}
void ManualClock::advance(uint32_t ms) {
    std::lock_guard lock(g_manualMutex);
    tick_ += ms;
}
void ManualClock::setLocalTime(const LocalTime& t) {
    std::lock_guard lock(g_manualMutex);
    local_ = t;
}

}  // namespace hqlv::platform
