// The UI thread's events while it is blocked in a wait: only the allowed windows' messages
// run; the others keep their order and come first once the loop runs freely; no timer
// fires meanwhile.
#include <gtest/gtest.h>

#include <QThread>

#include <vector>

#include "platform/ui/ui_loop.h"
#include "platform/ui/window.h"
#include "qt_env.h"

namespace hqlv::platform::ui {
namespace {

using testing::pumpUntil;
using testing::qtApp;

// Every window records into one shared list: (window, message id).
struct Log {
    std::vector<std::pair<int, uint32_t>> seen;
};

struct Recorder : Window {
    Recorder(Log& log, int name) : log_(log), name_(name) {}
    intptr_t handleMessage(const Message& m) override {
        log_.seen.emplace_back(name_, m.id);
        return 0;
    }
    void onTimer(uint32_t id) override { log_.seen.emplace_back(name_, 1000 + id); }
    Log& log_;
    int name_;
};

bool PostId(Handle h, uint32_t id) {
    Message m;
    m.id = id;
    return post(h, m);
}

TEST(UiWaitEvents, OnlyTheAllowedWindowRunsAndTheRestFollowsInOrder) {
    qtApp();
    Log log;
    Recorder other(log, 1), allowed(log, 2);
    ASSERT_TRUE(PostId(other.hwnd(), 10));
    ASSERT_TRUE(PostId(allowed.hwnd(), 20));
    ASSERT_TRUE(PostId(other.hwnd(), 11));
    processWaitEvents({allowed.hwnd()});
    ASSERT_EQ(log.seen.size(), 1u);
    EXPECT_EQ(log.seen[0], std::make_pair(2, 20u));
    EXPECT_EQ(heldUiMessages(), 2u);
    // A second round of the same wait keeps holding, also what arrives meanwhile.
    ASSERT_TRUE(PostId(other.hwnd(), 12));
    ASSERT_TRUE(PostId(allowed.hwnd(), 21));
    processWaitEvents({allowed.hwnd()});
    EXPECT_EQ(heldUiMessages(), 3u);
    // After the wait, what was held comes before anything posted later.
    ASSERT_TRUE(PostId(other.hwnd(), 13));
    ASSERT_TRUE(pumpUntil([&] { return log.seen.size() == 6; }));
    const std::vector<std::pair<int, uint32_t>> want = {{2, 20}, {2, 21}, {1, 10},
                                                        {1, 11}, {1, 12}, {1, 13}};
    EXPECT_EQ(log.seen, want);
    EXPECT_EQ(heldUiMessages(), 0u);
}

// A held message whose handler waits again: the rest stays held through that wait.
struct Waiter : Recorder {
    using Recorder::Recorder;
    Handle allow = 0;
    intptr_t handleMessage(const Message& m) override {
        Recorder::handleMessage(m);
        if (m.id == 30) {
            processWaitEvents({allow});
            held = heldUiMessages();
        }
        return 0;
    }
    size_t held = 0;
};

TEST(UiWaitEvents, AHandlerThatWaitsAgainKeepsTheRestHeld) {
    qtApp();
    Log log;
    Waiter waiter(log, 1);
    Recorder allowed(log, 2);
    waiter.allow = allowed.hwnd();
    ASSERT_TRUE(PostId(waiter.hwnd(), 30));
    ASSERT_TRUE(PostId(waiter.hwnd(), 31));
    processWaitEvents({allowed.hwnd()});
    EXPECT_TRUE(log.seen.empty());
    ASSERT_TRUE(pumpUntil([&] { return log.seen.size() == 2; }));
    EXPECT_EQ(log.seen[0], std::make_pair(1, 30u));
    EXPECT_EQ(log.seen[1], std::make_pair(1, 31u));
    EXPECT_EQ(waiter.held, 1u);  // 31 was still held while 30's handler waited
}

// A message of the allowed window that reached the loop after the end of a wait (posted
// while the wait's last round ran) sits behind the held ones: when one of those waits
// again, that wait runs it, as it runs everything of the allowed window.
struct Reposter : Recorder {
    using Recorder::Recorder;
    intptr_t handleMessage(const Message& m) override {
        Recorder::handleMessage(m);
        if (m.id == 20) {
            Message next;
            next.id = 21;
            post(hwnd(), next);  // queued behind the round that is running
        }
        return 0;
    }
};

TEST(UiWaitEvents, TheAllowedWindowsHeldMessagesRunInTheNextWait) {
    qtApp();
    Log log;
    Waiter waiter(log, 1);
    Reposter allowed(log, 2);
    waiter.allow = allowed.hwnd();
    ASSERT_TRUE(PostId(waiter.hwnd(), 30));
    ASSERT_TRUE(PostId(allowed.hwnd(), 20));
    processWaitEvents({allowed.hwnd()});
    ASSERT_EQ(log.seen.size(), 1u);
    EXPECT_EQ(log.seen[0], std::make_pair(2, 20u));
    ASSERT_TRUE(pumpUntil([&] { return log.seen.size() == 3; }));
    // 30's own wait ran 21 (nothing was left held then), not the free loop after it.
    EXPECT_EQ(log.seen[1], std::make_pair(1, 30u));
    EXPECT_EQ(log.seen[2], std::make_pair(2, 21u));
    EXPECT_EQ(waiter.held, 0u);
    EXPECT_EQ(heldUiMessages(), 0u);
}

TEST(UiWaitEvents, NoTimerFiresDuringTheWaitAndItsTickComesAfter) {
    qtApp();
    Log log;
    Recorder w(log, 1);
    ASSERT_TRUE(w.SetTimer(5, 10));
    for (int i = 0; i < 5; ++i) {
        QThread::msleep(15);
        processWaitEvents({w.hwnd()});
    }
    EXPECT_TRUE(log.seen.empty());
    ASSERT_TRUE(pumpUntil([&] { return !log.seen.empty(); }));
    EXPECT_EQ(log.seen[0], std::make_pair(1, 1005u));
    w.KillTimer(5);
}

}  // namespace
}  // namespace hqlv::platform::ui
