#include "platform/core/wait_pump.h"

#include <poll.h>

#include <cerrno>
#include <thread>

namespace hqlv::platform {
namespace {

thread_local WaitPump t_pump;
thread_local bool t_pumping = false;

}  // namespace

WaitPump setWaitPump(WaitPump pump) {
    WaitPump old = std::move(t_pump);
    t_pump = std::move(pump);
    return old;
}

bool hasWaitPump() {
    return static_cast<bool>(t_pump) && !t_pumping;
}

bool runWaitPump() {
    if (!t_pump || t_pumping) return false;
    t_pumping = true;
    // A copy: the pump may replace itself.
    WaitPump pump = t_pump;
    pump();
    t_pumping = false;
    return true;
}

void sleepPumped(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= end) return;
        if (!hasWaitPump()) {
            std::this_thread::sleep_until(end);
            return;
        }
        std::this_thread::sleep_until(
            std::min(end, now + std::chrono::milliseconds(kWaitPumpSliceMs)));
        runWaitPump();
    }
}

int pollPumped(int fd, short events, int timeoutMs, short* revents) {
    const bool forever = timeoutMs < 0;
    const auto end =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(forever ? 0 : timeoutMs);
    for (;;) {
        int wait = timeoutMs;
        if (!forever) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            wait = left.count() > 0 ? int(left.count()) : 0;
        }
        const bool pumped = hasWaitPump();
        if (pumped && (forever || wait > kWaitPumpSliceMs)) wait = kWaitPumpSliceMs;
        pollfd p{fd, events, 0};
        int n = ::poll(&p, 1, wait);
        if (n < 0 && errno == EINTR) continue;
        if (n != 0) {
            if (revents) *revents = p.revents;
            return n;
        }
        if (!forever && std::chrono::steady_clock::now() >= end) {
            if (revents) *revents = 0;
            return 0;
        }
        if (pumped) runWaitPump();
    }
}

}  // namespace hqlv::platform
