// The CRC on a worker thread: the progress window's messages in order, the parent's last
// message with the thread's handle and the same CRC as the direct call.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <vector>

#include "netlib/crc32.h"
#include "platform/core/message.h"

namespace hqlv::netlib {
namespace {

using platform::Message;

struct Seen {
    platform::Handle to;
    uint32_t id;
    uintptr_t w;
    intptr_t l;
};

// A progress window and its parent on a loop of their own, recording what reaches them.
class CrcWindows {
public:
    CrcWindows() {
        window.attach(loop);
        parent.attach(loop);
        EXPECT_TRUE(platform::setParent(window.handle(), parent.handle()));
        loop.start();
    }
    ~CrcWindows() {
        loop.quit();
        loop.join();
    }
    // What arrived once the parent's message did (or the time ran out).
    std::vector<Seen> WaitDone(int ms = 10000) {
        std::unique_lock lock(mu);
        cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return done; });
        return seen;
    }

    platform::MessageLoop loop;
    std::mutex mu;
    std::condition_variable cv;
    std::vector<Seen> seen;
    bool done = false;
    platform::FunctionTarget window{[this](const Message& m) { return Record(window, m); }};
    platform::FunctionTarget parent{[this](const Message& m) { return Record(parent, m); }};

private:
    intptr_t Record(platform::FunctionTarget& t, const Message& m) {
        std::lock_guard lock(mu);
        seen.push_back({t.handle(), m.id, m.w, m.l});
        if (m.id == kMsgCrcDone) {
            done = true;
            cv.notify_all();
        }
        return 0;
    }
};

std::vector<uint8_t> Noise(size_t n) {
    std::vector<uint8_t> v(n);
    uint32_t x = 7;
    for (auto& b : v) b = static_cast<uint8_t>((x = x * 1664525 + 1013904223) >> 24);
    return v;
}

TEST(Crc32Thread, ThreeHundredKilobytesReportInOrderAndMatchTheDirectCrc) {
    CrcWindows w;
    auto data = Noise(300 * 1024);  // three blocks exactly
    const uint32_t direct = CYrnCrc32().Compute(data.data(), data.size());
    const uint32_t thread = CYrnCrc32().Compute(data.data(), data.size(), w.window.handle());
    ASSERT_NE(thread, 0u);
    // The job works on its own copy: the caller's bytes may change at once.
    std::fill(data.begin(), data.end(), 0);
    const std::vector<Seen> seen = w.WaitDone();
    const platform::Handle win = w.window.handle(), par = w.parent.handle();
    const std::vector<std::tuple<platform::Handle, uint32_t, uintptr_t, intptr_t>> want = {
        {win, kMsgProgressSetPos, 0, 0},   {win, kMsgProgressSetRange, 0, 100},
        {win, kMsgProgressSetPos, 33, 0},  {win, kMsgProgressSetPos, 66, 0},
        {win, kMsgProgressSetPos, 100, 0}, {par, kMsgCrcDone, thread, intptr_t(direct)}};
    ASSERT_EQ(seen.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(seen[i].to, std::get<0>(want[i]));
        EXPECT_EQ(seen[i].id, std::get<1>(want[i]));
        EXPECT_EQ(seen[i].w, std::get<2>(want[i]));
        EXPECT_EQ(seen[i].l, std::get<3>(want[i]));
    }
}

TEST(Crc32Thread, BlocksCountUpToTheLastPartialOne) {
    CrcWindows w;
    // One block and one byte: 50 % would be wrong, the bytes done decide.
    auto data = Noise(kCrcProgressBlock + 1);
    const uint32_t handle = CYrnCrc32().Compute(data.data(), data.size(), w.window.handle());
    const std::vector<Seen> seen = w.WaitDone();
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[2].w, 99u);
    EXPECT_EQ(seen[3].w, 100u);
    EXPECT_EQ(seen[4].w, handle);
    EXPECT_EQ(uint32_t(seen[4].l), CYrnCrc32().Compute(data.data(), data.size()));
    // Each call is a thread of its own.
    CrcWindows again;
    EXPECT_NE(CYrnCrc32().Compute(data.data(), 1, again.window.handle()), handle);
    EXPECT_EQ(again.WaitDone().size(), 4u);
}

TEST(Crc32Thread, WithoutALiveWindowTheCrcComesAtOnce) {
    const auto data = Noise(5000);
    const uint32_t direct = CYrnCrc32::Update(0, data.data(), data.size());
    platform::Handle gone;
    {
        CrcWindows w;
        gone = w.window.handle();
        // Nothing to compute: no thread either.
        EXPECT_EQ(CYrnCrc32().Compute(nullptr, 10, gone), 0u);
        EXPECT_EQ(CYrnCrc32().Compute(data.data(), 0, gone), 0u);
    }
    EXPECT_EQ(CYrnCrc32().Compute(data.data(), data.size(), gone), direct);
    EXPECT_EQ(CYrnCrc32().Compute(data.data(), data.size(), 0), direct);
}

TEST(Crc32Thread, AWindowWithoutParentGetsItsProgressOnly) {
    CrcWindows w;
    platform::setParent(w.window.handle(), 0);
    EXPECT_EQ(platform::parentOf(w.window.handle()), 0u);
    const auto data = Noise(10);
    CYrnCrc32().Compute(data.data(), data.size(), w.window.handle());
    // The parent's message never comes: the three progress messages are all.
    const std::vector<Seen> seen = w.WaitDone(1500);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[2].w, 100u);
}

TEST(MessageParent, FollowsTheChildAndForgetsADeadParent) {
    platform::MessageLoop loop;
    platform::FunctionTarget child{[](const Message&) { return intptr_t(0); }};
    EXPECT_FALSE(platform::setParent(child.handle(), 1));  // not attached
    child.attach(loop);
    {
        platform::FunctionTarget parent{[](const Message&) { return intptr_t(0); }};
        parent.attach(loop);
        ASSERT_TRUE(platform::setParent(child.handle(), parent.handle()));
        EXPECT_EQ(platform::parentOf(child.handle()), parent.handle());
        EXPECT_EQ(platform::parentOf(parent.handle()), 0u);
    }
    EXPECT_EQ(platform::parentOf(child.handle()), 0u);
    EXPECT_EQ(platform::parentOf(0), 0u);
    const platform::Handle was = child.handle();
    child.detach();
    EXPECT_EQ(platform::parentOf(was), 0u);
}

}  // namespace
}  // namespace hqlv::netlib
