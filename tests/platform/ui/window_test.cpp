#include "platform/ui/window.h"

#include <gtest/gtest.h>

#include <QThread>

#include <atomic>
#include <thread>
#include <vector>

#include "qt_env.h"

namespace hqlv::platform::ui {
namespace {

using testing::pumpUntil;
using testing::qtApp;

struct Recorder : Window {
    std::vector<uint32_t> ids;
    std::vector<uint32_t> timers;
    std::vector<bool> onUiThread;
    intptr_t handleMessage(const Message& m) override {
        ids.push_back(m.id);
        onUiThread.push_back(QThread::currentThread() == qtApp().thread());
        if (m.id == 77) {
            delete reinterpret_cast<int*>(m.w);  // the receiver owns the block
        }
        return static_cast<intptr_t>(m.id) * 2;
    }
    void onTimer(uint32_t id) override { timers.push_back(id); }
};

std::atomic<int> g_disposed{0};
void disposeInt(const Message& m) {
    delete reinterpret_cast<int*>(m.w);
    ++g_disposed;
}

TEST(UiWindow, PostsFromOtherThreadsArriveInOrderOnTheUiThread) {
    qtApp();
    Recorder w;
    Handle h = w.hwnd();
    ASSERT_NE(h, 0u);
    std::thread t([h] {
        for (uint32_t i = 1; i <= 50; ++i) EXPECT_TRUE(post(h, Message{i, 0, 0}));
    });
    t.join();
    ASSERT_TRUE(pumpUntil([&] { return w.ids.size() == 50; }));
    for (uint32_t i = 0; i < 50; ++i) EXPECT_EQ(w.ids[i], i + 1);
    for (bool b : w.onUiThread) EXPECT_TRUE(b);
}

TEST(UiWindow, SendFromAnotherThreadGetsTheHandlersAnswer) {
    qtApp();
    Recorder w;
    Handle h = w.hwnd();
    std::atomic<bool> done{false};
    intptr_t result = 0;
    bool ok = false;
    std::thread t([&] {
        ok = send(h, Message{21, 0, 0}, &result, 5000);
        done = true;
    });
    ASSERT_TRUE(pumpUntil([&] { return done.load(); }));
    t.join();
    EXPECT_TRUE(ok);
    EXPECT_EQ(result, 42);
}

TEST(UiWindow, BlocksOfUndeliveredMessagesAreDisposed) {
    qtApp();
    g_disposed = 0;
    auto* w = new Recorder;
    Handle h = w->hwnd();
    ASSERT_TRUE(post(h, Message{77, reinterpret_cast<uintptr_t>(new int(5)), 0, disposeInt}));
    delete w;  // gone before the message ran
    processUiEvents(10);
    EXPECT_EQ(g_disposed.load(), 1);
    EXPECT_FALSE(isAlive(h));
    EXPECT_FALSE(post(h, Message{1, 0, 0}));  // the sender keeps what it would have passed
}

TEST(UiWindow, NumberedTimersFireUntilKilled) {
    qtApp();
    Recorder w;
    ASSERT_TRUE(w.SetTimer(5, 10));
    ASSERT_TRUE(pumpUntil([&] { return w.timers.size() >= 3; }));
    for (uint32_t id : w.timers) EXPECT_EQ(id, 5u);
    EXPECT_TRUE(w.KillTimer(5));
    size_t n = w.timers.size();
    pumpUntil([] { return false; }, 60);
    EXPECT_EQ(w.timers.size(), n);
    EXPECT_FALSE(w.KillTimer(5));
}

TEST(UiWindow, TimerSetFromAnotherThreadRunsOnTheUiThread) {
    qtApp();
    Recorder w;
    Handle h = w.hwnd();
    std::thread t([h] { EXPECT_TRUE(setTimer(h, 9, 5)); });
    t.join();
    ASSERT_TRUE(pumpUntil([&] { return !w.timers.empty(); }));
    EXPECT_EQ(w.timers[0], 9u);
}

}  // namespace
}  // namespace hqlv::platform::ui
