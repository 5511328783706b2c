#pragma once
// Long waits on a thread that has more to look after than the wait itself. The UI thread
// blocks while it waits for a request's answer, a connection or a pause, and its wait
// dialog must still show its text and turn its bar meanwhile: the thread sets a pump, and
// the waits below wake every kWaitPumpSliceMs to run it. A thread without a pump simply
// blocks. The pump never runs inside itself (a wait that the pump starts just blocks).
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace hqlv::platform {

inline constexpr int kWaitPumpSliceMs = 20;

using WaitPump = std::function<void()>;
// Sets the calling thread's pump (empty removes it); returns the one it replaces.
WaitPump setWaitPump(WaitPump pump);
bool hasWaitPump();
// Runs the calling thread's pump once; false when there is none or it is running already.
bool runWaitPump();

// Waits on cv until pred holds or the deadline passes, running the pump between slices
// (with the lock released). Returns pred() at the end, as condition_variable::wait_until.
template <class Pred>
bool waitUntilPumped(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                     std::chrono::steady_clock::time_point deadline, Pred pred) {
    if (!hasWaitPump()) return cv.wait_until(lock, deadline, pred);
    for (;;) {
        if (pred()) return true;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        const auto slice = std::min(deadline, now + std::chrono::milliseconds(kWaitPumpSliceMs));
        if (cv.wait_until(lock, slice, pred)) return true;
        lock.unlock();
        runWaitPump();
        lock.lock();
    }
}

template <class Pred>
bool waitForPumped(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, int timeoutMs,
                   Pred pred) {
    const auto wait = std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    return waitUntilPumped(cv, lock, std::chrono::steady_clock::now() + wait, pred);
}

// Sleeps ms milliseconds, running the pump meanwhile.
void sleepPumped(int ms);
// poll() on one descriptor for at most timeoutMs (negative: no limit), running the pump
// meanwhile; poll's result (EINTR is retried).
int pollPumped(int fd, short events, int timeoutMs, short* revents = nullptr);

}  // namespace hqlv::platform
