#include "platform/core/message.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/core/clock.h"
#include "platform/core/diag.h"
#include "platform/core/event.h"
#include "stalled_dispatcher.h"

using namespace hqlv::platform;

namespace {

// Heap blocks that count their own frees, to catch leaks and double frees.
std::atomic<int> g_freed{0};
struct Block {
    int producer;
    int seq;
};
void freeBlock(const Message& m) {
    delete reinterpret_cast<Block*>(m.w);
    g_freed++;
}
Message blockMessage(int producer, int seq) {
    return Message{1000, reinterpret_cast<uintptr_t>(new Block{producer, seq}), 0, freeBlock};
}

struct LoopThread {
    MessageLoop loop;
    LoopThread() { EXPECT_TRUE(loop.start()); }
};

}  // namespace

TEST(MessageLoop, DeliversInOrderPerSenderOnTheLoopThreadAndReceiverOwns) {
    g_freed = 0;
    LoopThread lt;
    constexpr int kProducers = 4, kEach = 500;
    std::vector<int> lastSeq(kProducers, -1);
    std::atomic<int> received{0};
    std::atomic<bool> wrongThread{false}, outOfOrder{false};
    std::thread::id loopId;
    Event done(true);
    FunctionTarget target([&](const Message& m) -> intptr_t {
        if (m.id == 1) {
            loopId = std::this_thread::get_id();
            return 0;
        }
        if (std::this_thread::get_id() != loopId) wrongThread = true;
        std::unique_ptr<Block> b(reinterpret_cast<Block*>(m.w));  // the receiver owns it
        if (b->seq != lastSeq[b->producer] + 1) outOfOrder = true;
        lastSeq[b->producer] = b->seq;
        if (++received == kProducers * kEach) done.set();
        return 0;
    });
    Handle h = target.attach(lt.loop);
    ASSERT_TRUE(send(h, Message{1, 0, 0}));
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p) {
        producers.emplace_back([h, p] {
            for (int i = 0; i < kEach; ++i) {
                Message m = blockMessage(p, i);
                if (!post(h, m)) freeBlock(m);
            }
        });
    }
    for (auto& t : producers) t.join();
    ASSERT_TRUE(done.wait(10000));
    EXPECT_FALSE(wrongThread);
    EXPECT_FALSE(outOfOrder);
    EXPECT_EQ(g_freed, 0);  // delivered blocks are the receiver's, never disposed
    target.detach();
}

TEST(MessageLoop, PostToGoneTargetFailsAndQueuedMessagesAreDisposedOnce) {
    g_freed = 0;
    MessageLoop loop;  // driven by hand from this thread
    int handled = 0;
    auto target = std::make_unique<FunctionTarget>([&](const Message&) -> intptr_t {
        ++handled;
        return 0;
    });
    EXPECT_EQ(target->handle(), 0u);  // no handle before it is attached
    Handle h = target->attach(loop);
    EXPECT_TRUE(isAlive(h));
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(post(h, blockMessage(0, i)));
    target.reset();
    EXPECT_FALSE(isAlive(h));
    // A post to the dead handle fails and leaves the block with the sender.
    Message m = blockMessage(0, 99);
    EXPECT_FALSE(post(h, m));
    EXPECT_EQ(g_freed, 0);
    freeBlock(m);
    std::string diag;  // a poll that works or times out is no failure to report
    DiagSink before = setDiagSink([&](std::string_view line) { diag += line; });
    loop.processPending(0);
    setDiagSink(before);
    EXPECT_EQ(diag, "");
    EXPECT_EQ(handled, 0);
    EXPECT_EQ(g_freed, 4);  // three queued ones disposed, plus the one we freed
    EXPECT_FALSE(post(0, Message{1, 0, 0}));
}

TEST(MessageLoop, DeliveriesDroppedUnrunReleaseTheSenderAndDisposeThePost) {
    g_freed = 0;
    StalledDispatcher thread;
    int handled = 0;
    FunctionTarget target([&](const Message&) -> intptr_t { return ++handled; });
    Handle h = target.attach(thread);
    ASSERT_TRUE(post(h, blockMessage(0, 0)));
    bool ok = true;
    double tookMs = 0;
    std::thread sender([&] {
        auto start = std::chrono::steady_clock::now();
        ok = send(h, Message{9, 0, 0}, nullptr, 3000);
        tookMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count();
    });
    ASSERT_TRUE(thread.waitHeld(2, 5000));
    thread.dropHeld();  // as a dispatcher that goes away with work queued
    sender.join();
    EXPECT_FALSE(ok);
    EXPECT_LT(tookMs, 1500) << "the sender waited out its time instead of learning at once";
    EXPECT_EQ(g_freed, 1);
    EXPECT_EQ(handled, 0);
}

TEST(MessageLoop, QuitRefusesPostsAndDestructionDisposesTheQueue) {
    g_freed = 0;
    auto loop = std::make_unique<MessageLoop>();
    FunctionTarget target([](const Message&) -> intptr_t { return 0; });
    Handle h = target.attach(*loop);
    ASSERT_TRUE(post(h, blockMessage(0, 0)));
    ASSERT_TRUE(post(h, blockMessage(0, 1)));
    loop->quit();
    Message m = blockMessage(0, 2);
    EXPECT_FALSE(post(h, m));
    freeBlock(m);
    EXPECT_FALSE(loop->start());  // a loop told to quit never starts
    EXPECT_FALSE(loop->processPending(0));
    loop.reset();
    EXPECT_EQ(g_freed, 3);
    EXPECT_TRUE(isAlive(h));  // the target object still exists...
    m = blockMessage(0, 3);
    EXPECT_FALSE(post(h, m));  // ...but nobody will deliver to it
    freeBlock(m);
    EXPECT_FALSE(setTimer(h, 1, 10));
}

TEST(MessageLoop, HandlerMayPostToItselfAndDestroyItsTarget) {
    MessageLoop loop;
    std::vector<uint32_t> seen;
    FunctionTarget* self = nullptr;
    self = new FunctionTarget([&](const Message& m) -> intptr_t {
        seen.push_back(m.id);
        if (m.id == 1) {
            EXPECT_TRUE(post(self->handle(), Message{2, 0, 0}));
            intptr_t r = 0;
            EXPECT_TRUE(send(self->handle(), Message{3, 0, 0}, &r));  // same thread: at once
        }
        if (m.id == 2) {
            Handle h = self->handle();
            EXPECT_TRUE(post(h, Message{4, 0, 0}));
            delete self;
            EXPECT_FALSE(isAlive(h));
        }
        return 7;
    });
    Handle h = self->attach(loop);
    ASSERT_TRUE(post(h, Message{1, 0, 0}));
    loop.processPending(0);
    loop.processPending(0);
    loop.processPending(0);
    EXPECT_EQ(seen, (std::vector<uint32_t>{1, 3, 2}));
}

TEST(MessageLoop, SendAcrossThreadsReturnsTheAnswer) {
    LoopThread lt;
    FunctionTarget target([](const Message& m) -> intptr_t {
        const std::string* s = reinterpret_cast<const std::string*>(m.w);
        return static_cast<intptr_t>(s->size()) + m.l;
    });
    Handle h = target.attach(lt.loop);
    std::string text = "borrowed";
    intptr_t r = 0;
    ASSERT_TRUE(send(h, Message{5, reinterpret_cast<uintptr_t>(&text), 100}, &r, 5000));
    EXPECT_EQ(r, 108);
    target.detach();
    EXPECT_FALSE(send(h, Message{5, 0, 0}, &r, 100));
}

TEST(MessageLoop, TimedOutSendIsCancelledAndNeverRunsLater) {
    MessageLoop loop;  // not running: nobody handles the send in time
    int handled = 0;
    FunctionTarget target([&](const Message&) -> intptr_t { return ++handled; });
    Handle h = target.attach(loop);
    intptr_t r = -1;
    bool ok = true;
    std::thread sender([&] { ok = send(h, Message{9, 0, 0}, &r, 30); });
    sender.join();
    EXPECT_FALSE(ok);
    EXPECT_EQ(r, -1);
    loop.processPending(0);
    EXPECT_EQ(handled, 0);  // the sender's data may be gone; the handler must not run
}

TEST(MessageLoop, ThreadMessagesReachTheThreadHandler) {
    g_freed = 0;
    MessageLoop loop;
    // Before a handler exists nobody receives thread messages: the sender keeps the block.
    Message first = blockMessage(0, 0);
    EXPECT_FALSE(postToThread(loop.threadId(), first));
    loop.processPending(0);
    EXPECT_EQ(g_freed, 0);
    freeBlock(first);
    // A message queued while a handler existed but handled after it was cleared is disposed.
    loop.setThreadHandler([](const Message&) {});
    ASSERT_TRUE(postToThread(loop.threadId(), blockMessage(0, 1)));
    loop.setThreadHandler(nullptr);
    loop.processPending(0);
    EXPECT_EQ(g_freed, 2);
    Event got;
    std::atomic<int> value{0};
    std::atomic<bool> onLoopThread{false};
    loop.setThreadHandler([&](const Message& m) {
        if (m.id == 0x854D) {
            value = static_cast<int>(m.l);
            onLoopThread = loop.onDispatcherThread();
            got.set();
        }
    });
    ASSERT_TRUE(loop.start());
    ASSERT_TRUE(postToThread(loop.threadId(), Message{0x854D, 0, 42}));
    ASSERT_TRUE(got.wait(5000));
    EXPECT_EQ(value, 42);
    EXPECT_TRUE(onLoopThread);
    EXPECT_FALSE(postToThread(0, Message{1, 0, 0}));
    // An ordinary target's handle is not a thread id.
    FunctionTarget plain([](const Message&) -> intptr_t { return 0; });
    plain.attach(loop);
    EXPECT_FALSE(postToThread(plain.handle(), Message{1, 0, 0}));
    EXPECT_TRUE(post(plain.handle(), Message{1, 0, 0}));
}

TEST(MessageLoopTimers, FireByDifferenceAcrossTheTickWrap) {
    ManualClock clock(0xFFFFFF00u);
    MessageLoop loop(&clock);
    std::vector<std::pair<Handle, uintptr_t>> fired;
    auto recordAs = [&](Handle who) {
        return [&fired, who](const Message& m) -> intptr_t {
            if (m.id == kTimerMessage) fired.emplace_back(who, m.w);
            return 0;
        };
    };
    FunctionTarget a(recordAs(1)), b(recordAs(2));
    a.attach(loop);
    b.attach(loop);
    ASSERT_TRUE(setTimer(a.handle(), 7, 0x200));
    ASSERT_TRUE(setTimer(b.handle(), 7, 0x100));  // same id, other target: its own timer
    loop.processPending(0);
    EXPECT_TRUE(fired.empty());
    clock.advance(0xFF);  // just before b's period, tick is 0xFFFFFFFF
    loop.processPending(0);
    EXPECT_TRUE(fired.empty());
    clock.advance(1);  // wraps to 0: b is due
    loop.processPending(0);
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0], (std::pair<Handle, uintptr_t>{2, 7}));
    clock.advance(0x100);  // tick 0x100: both due
    loop.processPending(0);
    ASSERT_EQ(fired.size(), 3u);
    EXPECT_TRUE(killTimer(a.handle(), 7));
    EXPECT_FALSE(killTimer(a.handle(), 7));
    clock.advance(0x1000);
    loop.processPending(0);
    ASSERT_EQ(fired.size(), 4u);
    EXPECT_EQ(fired[3].first, 2u);
    // A detached target's timers stop.
    Handle hb = b.handle();
    b.detach();
    EXPECT_FALSE(setTimer(hb, 7, 10));
    clock.advance(0x1000);
    loop.processPending(0);
    EXPECT_EQ(fired.size(), 4u);
}

TEST(MessageLoopTimers, ResettingRestartsThePeriod) {
    ManualClock clock(1000);
    MessageLoop loop(&clock);
    int n = 0;
    FunctionTarget t([&](const Message& m) -> intptr_t {
        if (m.id == kTimerMessage) ++n;
        return 0;
    });
    t.attach(loop);
    setTimer(t.handle(), 1, 100);
    clock.advance(90);
    setTimer(t.handle(), 1, 100);  // restart: due 100 ms from now
    clock.advance(20);
    loop.processPending(0);
    EXPECT_EQ(n, 0);
    clock.advance(80);
    loop.processPending(0);
    EXPECT_EQ(n, 1);
}

namespace {
void setNonBlocking(int fd) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

struct SocketLog {
    std::vector<std::pair<uint32_t, int>> events;  // event, error
    std::string data;
};
}  // namespace

TEST(MessageLoopSockets, ReadWriteAndCloseOnASocketPair) {
    int sv[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
    setNonBlocking(sv[0]);
    MessageLoop loop;
    SocketLog log;
    FunctionTarget t([&](const Message& m) -> intptr_t {
        if (m.id != 0x2B11) return 0;
        EXPECT_EQ(static_cast<int>(m.w), sv[0]);
        log.events.emplace_back(socketEvent(m.l), socketError(m.l));
        if (socketEvent(m.l) == kSocketRead) {
            char buf[3];  // small reads: the rest must be offered again
            ssize_t n = recv(sv[0], buf, sizeof buf, 0);
            if (n > 0) log.data.append(buf, n);
        }
        return 0;
    });
    t.attach(loop);
    ASSERT_TRUE(
        loop.watchSocket(sv[0], t.handle(), 0x2B11, kSocketRead | kSocketWrite | kSocketClose));
    loop.processPending(0);
    ASSERT_EQ(log.events.size(), 1u);
    EXPECT_EQ(log.events[0].first, kSocketWrite);  // writable once at the start
    loop.processPending(0);
    EXPECT_EQ(log.events.size(), 1u);  // and not again until asked
    loop.wantWrite(sv[0]);
    loop.processPending(0);
    ASSERT_EQ(log.events.size(), 2u);
    EXPECT_EQ(log.events[1].first, kSocketWrite);

    log.events.clear();
    ASSERT_EQ(write(sv[1], "hello", 5), 5);
    ASSERT_EQ(close(sv[1]), 0);
    for (int i = 0; i < 10 && log.data.size() < 5; ++i) loop.processPending(1000);
    EXPECT_EQ(log.data, "hello");
    loop.processPending(1000);
    ASSERT_GE(log.events.size(), 3u);
    for (size_t i = 0; i + 1 < log.events.size(); ++i) EXPECT_EQ(log.events[i].first, kSocketRead);
    EXPECT_EQ(log.events.back(), (std::pair<uint32_t, int>{kSocketClose, 0}));
    size_t count = log.events.size();
    loop.processPending(0);  // the close ended the watch
    EXPECT_EQ(log.events.size(), count);
    close(sv[0]);
}

TEST(MessageLoopSockets, AWatchRenewedByAnEarlierHandlerOfTheRoundWaitsForTheNextRound) {
    int a[2], b[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, a), 0);
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, b), 0);
    ASSERT_EQ(write(a[1], "x", 1), 1);
    ASSERT_EQ(write(b[1], "y", 1), 1);
    MessageLoop loop;
    std::vector<uint32_t> ids;
    Handle h = 0;
    FunctionTarget t([&](const Message& m) -> intptr_t {
        ids.push_back(m.id);
        char c;
        EXPECT_EQ(recv(static_cast<int>(m.w), &c, 1, 0), 1);
        // The first handler watches the other socket anew: that watch begins next round.
        if (ids.size() == 1)
            loop.watchSocket(static_cast<int>(m.w) == a[0] ? b[0] : a[0], h, 2, kSocketRead);
        return 0;
    });
    h = t.attach(loop);
    ASSERT_TRUE(loop.watchSocket(a[0], h, 1, kSocketRead));
    ASSERT_TRUE(loop.watchSocket(b[0], h, 1, kSocketRead));
    loop.processPending(0);
    EXPECT_EQ(ids.size(), 1u);
    loop.processPending(0);
    EXPECT_EQ(ids, (std::vector<uint32_t>{1, 2}));
    for (int fd : {a[0], b[0]}) loop.watchSocket(fd, 0, 0, 0);
    for (int fd : {a[0], a[1], b[0], b[1]}) close(fd);
}

TEST(MessageLoopSockets, ConnectSuccessThenWritableAndRefusedConnect) {
    int lfd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(lfd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    socklen_t len = sizeof addr;
    getsockname(lfd, reinterpret_cast<sockaddr*>(&addr), &len);
    ASSERT_EQ(listen(lfd, 1), 0);

    MessageLoop loop;
    SocketLog log;
    FunctionTarget t([&](const Message& m) -> intptr_t {
        log.events.emplace_back(socketEvent(m.l), socketError(m.l));
        return 0;
    });
    t.attach(loop);
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    setNonBlocking(fd);
    ASSERT_TRUE(loop.watchSocket(fd, t.handle(), 77,
                                 kSocketConnect | kSocketRead | kSocketWrite | kSocketClose));
    int rc = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ASSERT_TRUE(rc == 0 || errno == EINPROGRESS);
    for (int i = 0; i < 10 && log.events.size() < 2; ++i) loop.processPending(1000);
    ASSERT_EQ(log.events.size(), 2u);
    EXPECT_EQ(log.events[0], (std::pair<uint32_t, int>{kSocketConnect, 0}));
    EXPECT_EQ(log.events[1], (std::pair<uint32_t, int>{kSocketWrite, 0}));
    loop.watchSocket(fd, 0, 0, 0);
    close(fd);

    // Nobody listens on the port any more: the connect reports its error.
    close(lfd);
    log.events.clear();
    fd = socket(AF_INET, SOCK_STREAM, 0);
    setNonBlocking(fd);
    ASSERT_TRUE(loop.watchSocket(fd, t.handle(), 77, kSocketConnect | kSocketRead | kSocketClose));
    rc = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    if (rc != 0 && errno == EINPROGRESS) {
        for (int i = 0; i < 10 && log.events.empty(); ++i) loop.processPending(1000);
        ASSERT_EQ(log.events.size(), 1u);
        EXPECT_EQ(log.events[0], (std::pair<uint32_t, int>{kSocketConnect, ECONNREFUSED}));
    } else {
        EXPECT_EQ(errno, ECONNREFUSED);
    }
    close(fd);
}

TEST(EventTest, AutoResetLetsOneWaiterThroughManualStaysSet) {
    Event automatic(false, false);
    EXPECT_FALSE(automatic.wait(0));
    EXPECT_FALSE(automatic.wait(20));
    std::atomic<int> passed{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i) {
        waiters.emplace_back([&] {
            if (automatic.wait(300)) passed++;
        });
    }
    automatic.set();
    for (auto& w : waiters) w.join();
    EXPECT_EQ(passed, 1);
    EXPECT_FALSE(automatic.isSet());

    Event manual(true, true);
    EXPECT_TRUE(manual.wait(0));
    EXPECT_TRUE(manual.wait(0));
    manual.reset();
    EXPECT_FALSE(manual.wait(0));
    std::atomic<int> woke{0};
    std::vector<std::thread> both;
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 2; ++i) both.emplace_back([&] { woke += manual.wait(3000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    manual.set();  // wakes every waiter at once: none waits out its time
    for (auto& w : both) w.join();
    EXPECT_EQ(woke, 2);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
}

TEST(ClockTest, InjectedClockAndWrapSafeComparison) {
    ManualClock fake(0xFFFFFFF0u);
    Clock* old = setClock(&fake);
    uint32_t start = tickMs();
    fake.advance(0x20);
    EXPECT_EQ(tickMs(), 0x10u);
    EXPECT_EQ(tickElapsed(start, tickMs()), 0x20u);
    EXPECT_TRUE(tickBefore(start, tickMs()));
    EXPECT_FALSE(tickBefore(tickMs(), start));
    LocalTime lt;
    lt.year = 2024;
    lt.month = 2;
    lt.day = 29;
    fake.setLocalTime(lt);
    EXPECT_EQ(localTime().day, 29);
    setClock(old);
    LocalTime real = localTime();
    EXPECT_GE(real.year, 2024);
    EXPECT_GE(real.month, 1);
    EXPECT_LE(real.month, 12);
}
