#pragma once
// The clock: a wrapping 32-bit millisecond tick counter and the local date and time, both
// replaceable by a test double for the whole process.
//
// Ticks wrap after about 49.7 days. Compare them only by difference:
//     if (tickElapsed(start, tickMs()) >= 3000) ...
// never with < or > on the raw values.
#include <cstdint>

namespace hqlv::platform {

struct LocalTime {
    int year = 1970;  // four digits
    int month = 1;    // 1..12
    int day = 1;      // 1..31
    int hour = 0;     // 0..23
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    int weekday = 4;  // 0 = Sunday
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual uint32_t tickMs() = 0;
    virtual LocalTime localTime() = 0;
};

// The real clock: ticks from the monotonic clock, local time from the system.
Clock& systemClock();

// Installs a clock for the whole process (null restores the real one) and returns the one
// it replaces. The clock must outlive its installation. Thread-safe.
Clock* setClock(Clock* clock);
Clock& currentClock();

// Shorthands for currentClock().
uint32_t tickMs();
LocalTime localTime();

// Milliseconds from `from` to `to`, correct across the 32-bit wrap.
inline uint32_t tickElapsed(uint32_t from, uint32_t to) {
    return to - from;
}
// True when `a` lies before `b` (within half the tick range).
inline bool tickBefore(uint32_t a, uint32_t b) {
    return static_cast<int32_t>(a - b) < 0;
}

// A clock for tests that only moves when told. Thread-safe.
class ManualClock : public Clock {
public:
    explicit ManualClock(uint32_t tick = 0) : tick_(tick) {}
    uint32_t tickMs() override;
    LocalTime localTime() override;
    void setTick(uint32_t tick);
    void advance(uint32_t ms);  // wraps like the real counter
    void setLocalTime(const LocalTime& t);

private:
    uint32_t tick_;
    LocalTime local_;
};

}  // namespace hqlv::platform
