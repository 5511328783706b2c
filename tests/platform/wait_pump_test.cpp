// Waits that run the thread's pump while they block: between slices of the wait, never
// inside the pump itself, not at all on a thread without one.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/core/wait_pump.h"

namespace hqlv::platform {
namespace {

using Clock = std::chrono::steady_clock;

int Ms(Clock::time_point since) {
    return int(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// Sets a counting pump on this thread for the scope.
struct CountingPump {
    int runs = 0;
    CountingPump() {
        setWaitPump([this] { ++runs; });
    }
    ~CountingPump() { setWaitPump({}); }
};

TEST(WaitPump, RunsBetweenSlicesUntilTheConditionHolds) {
    CountingPump pump;
    std::mutex mu;
    std::condition_variable cv;
    bool ready = false;
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        std::lock_guard g(mu);
        ready = true;
        cv.notify_all();
    });
    std::unique_lock lock(mu);
    const auto start = Clock::now();
    EXPECT_TRUE(waitForPumped(cv, lock, 5000, [&] { return ready; }));
    EXPECT_GE(Ms(start), 250);
    lock.unlock();
    setter.join();
    // Every slice of 20 ms ran the pump once: a 300-ms wait takes several.
    EXPECT_GE(pump.runs, 5);
    EXPECT_LE(pump.runs, 300 / kWaitPumpSliceMs + 2);
}

TEST(WaitPump, TimesOutWithThePumpRunningAndTheConditionFalse) {
    CountingPump pump;
    std::mutex mu;
    std::condition_variable cv;
    std::unique_lock lock(mu);
    const auto start = Clock::now();
    EXPECT_FALSE(waitForPumped(cv, lock, 200, [] { return false; }));
    EXPECT_GE(Ms(start), 200);
    EXPECT_GE(pump.runs, 3);
    EXPECT_TRUE(lock.owns_lock());
    // A condition that holds at once runs no pump.
    const int before = pump.runs;
    EXPECT_TRUE(waitForPumped(cv, lock, 200, [] { return true; }));
    EXPECT_EQ(pump.runs, before);
}

TEST(WaitPump, AThreadWithoutAPumpJustBlocks) {
    EXPECT_FALSE(hasWaitPump());
    EXPECT_FALSE(runWaitPump());
    const auto start = Clock::now();
    sleepPumped(60);
    EXPECT_GE(Ms(start), 60);
    // The pump is the thread's own: another thread's does not run here.
    CountingPump pump;
    std::thread other([] {
        EXPECT_FALSE(hasWaitPump());
        sleepPumped(50);
    });
    other.join();
    EXPECT_EQ(pump.runs, 0);
}

TEST(WaitPump, NeverRunsInsideItself) {
    int outer = 0, inner = 0;
    setWaitPump([&] {
        ++outer;
        // A wait that the pump starts blocks plainly.
        EXPECT_FALSE(hasWaitPump());
        EXPECT_FALSE(runWaitPump());
        sleepPumped(25);
        ++inner;
    });
    sleepPumped(100);
    setWaitPump({});
    EXPECT_GE(outer, 2);
    EXPECT_EQ(inner, outer);
}

TEST(WaitPump, SleepsTheWholeTimeAndReplacesThePump) {
    CountingPump pump;
    const auto start = Clock::now();
    sleepPumped(120);
    EXPECT_GE(Ms(start), 120);
    // Once a slice: not a spin.
    EXPECT_GE(pump.runs, 4);
    EXPECT_LE(pump.runs, 120 / kWaitPumpSliceMs + 1);
    int mine = 0;
    WaitPump old = setWaitPump([&] { ++mine; });
    ASSERT_TRUE(old);
    old();  // the counting one, handed back
    EXPECT_GE(pump.runs, 5);
    EXPECT_TRUE(runWaitPump());
    EXPECT_EQ(mine, 1);
    sleepPumped(0);
    EXPECT_EQ(mine, 1);
}

TEST(WaitPump, PollReportsReadinessAndTimesOutWhilePumping) {
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    CountingPump pump;
    short revents = -1;
    auto start = Clock::now();
    EXPECT_EQ(pollPumped(fds[0], POLLIN, 150, &revents), 0);
    EXPECT_GE(Ms(start), 150);
    EXPECT_EQ(revents, 0);
    EXPECT_GE(pump.runs, 3);
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(write(fds[1], "x", 1), 1);
    });
    start = Clock::now();
    const int runsBefore = pump.runs;
    EXPECT_EQ(pollPumped(fds[0], POLLIN, -1, &revents), 1);
    EXPECT_TRUE(revents & POLLIN);
    EXPECT_GE(Ms(start), 80);
    // Waiting without a limit pumps too.
    EXPECT_GE(pump.runs - runsBefore, 3);
    writer.join();
    // Ready at once: no pump, no wait.
    const int before = pump.runs;
    EXPECT_EQ(pollPumped(fds[0], POLLIN, 0), 1);
    EXPECT_EQ(pump.runs, before);
    close(fds[0]);
    close(fds[1]);
}

}  // namespace
}  // namespace hqlv::platform
