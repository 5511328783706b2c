#pragma once
// An event to wait on: set() wakes waiters; a manual-reset event stays set until reset(),
// an auto-reset event lets exactly one waiter through and clears itself. Thread-safe.
#include <condition_variable>
#include <mutex>

namespace hqlv::platform {

class Event {
public:
    explicit Event(bool manualReset = false, bool initiallySet = false)
        : manual_(manualReset), set_(initiallySet) {}
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void set();
    void reset();
    // Waits until the event is set, at most timeoutMs (negative: forever; 0: just test).
    // True when it was set (and, for auto-reset, this waiter consumed it); false on time-out.
    bool wait(int timeoutMs = -1);
    bool isSet() const;

private:
    mutable std::mutex mu_;
    std::condition_variable cv_;
    const bool manual_;
    bool set_;
};

}  // namespace hqlv::platform
