#include "platform/core/hall.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/core/bytes.h"
#include "platform/core/event.h"
#include "platform/core/files.h"
#include "stalled_dispatcher.h"
#include "temp_dir.h"

using namespace hqlv::platform;

namespace {

// The answer a hall window gives a copy-data record: depends on kind, sender and every byte.
intptr_t copyDataAnswer(Handle from, const CopyData& cd) {
    uint32_t h = 2166136261u ^ cd.kind ^ (from << 8);
    for (uint32_t i = 0; i < cd.size; ++i) h = (h ^ cd.data[i]) * 16777619u;
    return static_cast<intptr_t>(h & 0x7FFFFFFF);
}

// A window of a hall-like program: a worker loop, a target and its endpoint.
struct HallWindow {
    MessageLoop loop;
    std::vector<Message> posts;
    std::mutex mu;
    Event posted;
    FunctionTarget target{[this](const Message& m) -> intptr_t {
        if (m.id == kCopyDataMessage) {
            return copyDataAnswer(static_cast<Handle>(m.w),
                                  *reinterpret_cast<const CopyData*>(m.l));
        }
        if (m.id == 0x9105) return static_cast<intptr_t>(m.w + m.l);
        std::lock_guard lock(mu);
        posts.push_back(m);
        posted.set();
        return 0;
    }};
    HallEndpoint endpoint;
    explicit HallWindow(const std::string& folder) : endpoint(folder) {
        target.attach(loop);
        loop.start();
    }
    ~HallWindow() {
        endpoint.close();
        loop.quit();
        loop.join();
        target.detach();
    }
};

std::vector<uint8_t> record188() {
    ByteWriter w;
    for (uint32_t i = 0; i < 47; ++i) w.u32(i * 0x01010101u);
    return w.take();
}

double msSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
}

}  // namespace

TEST(HallChannel, PostSendAndCopyDataReachTheTargetInThisProcess) {
    TempDir t;
    HallWindow hall(t.path());
    ASSERT_TRUE(hall.endpoint.open(hall.target.handle(), hall.target.handle()));
    EXPECT_EQ(hall.endpoint.handle(), hall.target.handle());
    ASSERT_TRUE(hall.endpoint.registerClass("GameHallFrame"));
    SocketHallChannel ch(t.path());
    Handle h = ch.findByClass("GameHallFrame");
    ASSERT_EQ(h, hall.endpoint.handle());
    EXPECT_TRUE(ch.isAlive(h));

    intptr_t r = 0;
    ASSERT_TRUE(ch.send(h, 0x9105, 0x12345, 7, 5000, &r));
    EXPECT_EQ(r, 0x12345 + 7);

    std::vector<uint8_t> rec = record188();
    ASSERT_TRUE(ch.sendCopyData(h, 0xABCDEF, 2, rec.data(), rec.size(), 5000, &r));
    CopyData cd{2, rec.data(), static_cast<uint32_t>(rec.size())};
    EXPECT_EQ(r, copyDataAnswer(0xABCDEF, cd));

    ASSERT_TRUE(ch.post(h, 0x86EF, 1234, -5));
    ASSERT_TRUE(hall.posted.wait(5000));
    {
        std::lock_guard lock(hall.mu);
        ASSERT_EQ(hall.posts.size(), 1u);
        EXPECT_EQ(hall.posts[0].id, 0x86EFu);
        EXPECT_EQ(hall.posts[0].w, 1234u);
        EXPECT_EQ(hall.posts[0].l, -5);
    }
    EXPECT_FALSE(ch.send(h + 1, 0x9105, 0, 0, 200, &r));  // nobody there

    hall.endpoint.close();
    EXPECT_FALSE(ch.isAlive(h));
    EXPECT_EQ(ch.findByClass("GameHallFrame"), 0u);
    EXPECT_FALSE(ch.post(h, 1, 0, 0));
}

TEST(HallChannel, TargetGoneOrTooSlowIsAFailureNotAHang) {
    TempDir t;
    MessageLoop loop;
    Event release(true);
    FunctionTarget slow([&](const Message&) -> intptr_t {
        release.wait(5000);
        return 1;
    });
    slow.attach(loop);
    loop.start();
    HallEndpoint ep(t.path());
    ASSERT_TRUE(ep.open(slow.handle()));
    SocketHallChannel ch(t.path());
    intptr_t r = 0;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ch.send(ep.handle(), 1, 0, 0, 150, &r));
    EXPECT_GE(msSince(start), 140);
    release.set();
    slow.detach();  // the endpoint stays, its target is gone
    start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ch.send(ep.handle(), 1, 0, 0, 2000, &r));
    EXPECT_LT(msSince(start), 1000);  // refused at once, not offered again until the time-out
    EXPECT_FALSE(ch.post(ep.handle(), 1, 0, 0));
    EXPECT_TRUE(ch.isAlive(ep.handle()));
}

TEST(HallChannel, ClosingWhileTheTargetsThreadIsBusyNeverWaitsForTheSend) {
    TempDir t;
    StalledDispatcher thread;
    int handled = 0;
    FunctionTarget window([&](const Message&) -> intptr_t { return ++handled; });
    window.attach(thread);
    HallEndpoint ep(t.path());
    ASSERT_TRUE(ep.open(window.handle()));
    const Handle h = ep.handle();
    bool answered = true;
    std::thread caller([&] {
        SocketHallChannel ch(t.path());
        intptr_t r = 0;
        answered = ch.send(h, 0x9105, 0, 0, kWaitForever, &r);
    });
    // The endpoint has handed the send over; the window's thread now closes the endpoint.
    ASSERT_TRUE(thread.waitHeld(1, 5000));
    auto start = std::chrono::steady_clock::now();
    Event closedEvent(true);
    std::thread closer([&] {
        ep.close();
        closedEvent.set();
    });
    const bool closed = closedEvent.wait(3000);
    if (!closed) thread.runHeld();  // undo the deadlock so that the test can end
    closer.join();
    caller.join();
    EXPECT_TRUE(closed) << "close() waited for a send the busy thread could not handle";
    EXPECT_LT(msSince(start), 2000);
    EXPECT_FALSE(answered);
    thread.runHeld();  // withdrawn sends never run late
    EXPECT_EQ(handled, 0);
}

TEST(HallChannel, MalformedRequestsAreRefusedAndTheEndpointKeepsServing) {
    TempDir t;
    HallWindow hall(t.path());
    ASSERT_TRUE(hall.endpoint.open(hall.target.handle()));
    Handle h = hall.endpoint.handle();
    // Writes the bytes (the first `split` of them alone, a moment before the rest).
    auto rawCall = [&](const std::vector<uint8_t>& bytes, size_t split = 0) {
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::string path = hallSocketPath(t.path(), h);
        std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
        EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        if (split) {
            EXPECT_EQ(write(fd, bytes.data(), split), ssize_t(split));
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        if (bytes.size() > split) {
            EXPECT_EQ(write(fd, bytes.data() + split, bytes.size() - split),
                      ssize_t(bytes.size() - split));
        }
        shutdown(fd, SHUT_WR);
        std::vector<uint8_t> reply(64);
        ssize_t n = read(fd, reply.data(), reply.size());
        reply.resize(n > 0 ? size_t(n) : 0);
        close(fd);
        return reply;
    };
    auto header = [&](uint32_t magic, uint32_t type, uint32_t size) {
        ByteWriter w;
        w.u32(magic);
        w.u32(type);
        w.u32(h);
        w.u32(0);
        w.u32(1);
        w.u32(size);
        w.u64(0);
        w.u64(0);
        w.u32(1000);
        w.u32(0);
        return w.take();
    };
    auto status = [](const std::vector<uint8_t>& reply) {
        ByteReader r(reply.data(), reply.size());
        EXPECT_EQ(r.fixedText(4), "CHQR");  // the reply's magic
        return r.u32();
    };
    EXPECT_EQ(status(rawCall(header(0x12345678, 2, 0))), 2u);                  // bad magic
    EXPECT_EQ(status(rawCall(header(kHallRequestMagic, 9, 0))), 2u);           // bad type
    EXPECT_EQ(status(rawCall(header(kHallRequestMagic, 3, 0xFFFFFFF0))), 2u);  // huge payload
    EXPECT_EQ(status(rawCall(header(kHallRequestMagic, 2, 8))), 2u);           // payload on a send
    EXPECT_TRUE(rawCall({1, 2, 3}).empty());                                   // cut-off header
    EXPECT_TRUE(rawCall({}).empty());                                          // a bare probe
    auto shortPayload = header(kHallRequestMagic, 3, 100);
    shortPayload.resize(shortPayload.size() + 10);
    EXPECT_TRUE(rawCall(shortPayload).empty());  // payload shorter than announced
    EXPECT_EQ(status(rawCall(header(kHallRequestMagic, 4, 0))), 0u);  // ping
    auto copy = header(kHallRequestMagic, 3, 3);
    copy.insert(copy.end(), {7, 8, 9});
    EXPECT_EQ(status(rawCall(copy, 10)), 0u);  // a head that comes in two pieces
    auto elsewhere = header(kHallRequestMagic, 2, 0);
    elsewhere[8] ^= 1;  // addressed to another window than the one listening here
    EXPECT_EQ(status(rawCall(elsewhere)), 1u);
    SocketHallChannel ch(t.path());
    intptr_t r = 0;
    EXPECT_TRUE(ch.send(h, 0x9105, 1, 2, 5000, &r));
    EXPECT_EQ(r, 3);
}

TEST(HallChannel, CopyDataBetweenTwoProcessesWithAnAnswer) {
    TempDir t;
    int ready[2], done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The hall process: open its frame under the class name, then serve until told.
        close(ready[0]);
        close(done[1]);
        {
            HallWindow hall(t.path());
            Handle h = 0;
            if (hall.endpoint.open(hall.target.handle()) &&
                hall.endpoint.registerClass("GameHallFrame")) {
                h = hall.endpoint.handle();
            }
            ssize_t n = write(ready[1], &h, sizeof h);
            (void)n;
            char c;
            n = read(done[0], &c, 1);
            (void)n;
        }
        _exit(0);
    }
    close(ready[1]);
    close(done[0]);
    Handle announced = 0;
    ASSERT_EQ(read(ready[0], &announced, sizeof announced), ssize_t(sizeof announced));
    ASSERT_NE(announced, 0u);

    SocketHallChannel ch(t.path());
    Handle h = ch.findByClass("GameHallFrame");
    EXPECT_EQ(h, announced);
    std::vector<uint8_t> rec = record188();
    intptr_t r = 0;
    ASSERT_TRUE(ch.sendCopyData(h, 0x4242, 5, rec.data(), rec.size(), 5000, &r));
    CopyData cd{5, rec.data(), static_cast<uint32_t>(rec.size())};
    EXPECT_EQ(r, copyDataAnswer(0x4242, cd));
    // A bigger record arrives whole too.
    std::vector<uint8_t> big(300000);
    for (size_t i = 0; i < big.size(); ++i) big[i] = uint8_t(i * 7);
    ASSERT_TRUE(ch.sendCopyData(h, 1, 11, big.data(), big.size(), 5000, &r));
    EXPECT_EQ(r, copyDataAnswer(1, CopyData{11, big.data(), uint32_t(big.size())}));

    close(done[1]);  // let the hall end
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(ch.isAlive(h));
    EXPECT_EQ(ch.findByClass("GameHallFrame"), 0u);
    close(ready[0]);
}

TEST(HallChannel, SendToADeadPeerTimesOutCleanly) {
    TempDir t;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(ready[0]);
        HallEndpoint ep(t.path());
        FunctionTarget target([](const Message&) -> intptr_t { return 1; });
        MessageLoop loop;
        target.attach(loop);
        Handle h = ep.open(target.handle()) ? ep.handle() : 0;
        ssize_t n = write(ready[1], &h, sizeof h);
        (void)n;
        raise(SIGSTOP);  // hung: the socket accepts, nobody answers
        _exit(0);
    }
    close(ready[1]);
    Handle h = 0;
    ASSERT_EQ(read(ready[0], &h, sizeof h), ssize_t(sizeof h));
    close(ready[0]);
    ASSERT_NE(h, 0u);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, WUNTRACED), child);
    ASSERT_TRUE(WIFSTOPPED(status));

    SocketHallChannel ch(t.path());
    std::vector<uint8_t> rec = record188();
    intptr_t r = 77;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ch.sendCopyData(h, 1, 2, rec.data(), rec.size(), 200, &r));
    double took = msSince(start);
    EXPECT_GE(took, 190);
    EXPECT_LT(took, 3000);
    EXPECT_EQ(r, 77);

    // Once the process is gone its socket file is stale: calls fail at once, and a new
    // window may take the handle over.
    kill(child, SIGKILL);
    ASSERT_EQ(waitpid(child, &status, 0), child);
    start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ch.send(h, 1, 0, 0, 5000, &r));
    EXPECT_LT(msSince(start), 1000);
    EXPECT_FALSE(ch.isAlive(h));
    HallWindow again(t.path());
    ASSERT_TRUE(again.endpoint.open(again.target.handle(), h));
    EXPECT_EQ(again.endpoint.handle(), h);
    EXPECT_TRUE(ch.send(h, 0x9105, 1, 1, 5000, &r));
}

TEST(HallChannel, RuntimeFolderAndTheRecordingDouble) {
    TempDir t;
    auto swapEnv = [](const char* name, const char* value) {
        const char* old = std::getenv(name);
        std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
        value ? setenv(name, value, 1) : unsetenv(name);
        return saved;
    };
    // Class names keep letters, digits, '_', '-' and '.'; other bytes are escaped.
    EXPECT_EQ(hallClassPath("/f", "a_B-9.z/\xC3"), "/f/class-a_B-9.z%2F%C3");
    auto savedRt = swapEnv("HQLV_RUNTIME_DIR", (t / "rt").c_str());
    EXPECT_EQ(hallRuntimeFolder(), t / "rt");
    // Under XDG_RUNTIME_DIR the folder must be a folder of this user.
    swapEnv("HQLV_RUNTIME_DIR", nullptr);
    auto savedXdg = swapEnv("XDG_RUNTIME_DIR", t.path().c_str());
    t.put("hqlv", "a file");
    EXPECT_EQ(hallRuntimeFolder(), "");
    std::filesystem::remove(t / "hqlv");
    ASSERT_EQ(mkdir((t / "hqlv").c_str(), 0755), 0);
    EXPECT_EQ(hallRuntimeFolder(), t / "hqlv");
    struct stat st {};
    ASSERT_EQ(stat((t / "hqlv").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);  // made private
    swapEnv("XDG_RUNTIME_DIR", nullptr);
    EXPECT_EQ(hallRuntimeFolder(), "/tmp/hqlv-" + std::to_string(getuid()));
    swapEnv("XDG_RUNTIME_DIR", savedXdg ? savedXdg->c_str() : nullptr);
    swapEnv("HQLV_RUNTIME_DIR", savedRt ? savedRt->c_str() : nullptr);

    RecordingHallChannel fake;
    HallChannel* prev = setHallChannel(&fake);
    fake.alive.insert(0x5000);
    fake.classes["GameHallFrame"] = 0x5000;
    fake.answer = 9;
    HallChannel& ch = hallChannel();
    EXPECT_EQ(ch.findByClass("GameHallFrame"), 0x5000u);
    intptr_t r = 0;
    const uint8_t bytes[3] = {1, 2, 3};
    EXPECT_TRUE(ch.sendCopyData(0x5000, 0x10, 15, bytes, 3, 5000, &r));
    EXPECT_EQ(r, 9);
    EXPECT_FALSE(ch.post(0x6000, 1, 2, 3));
    setHallChannel(prev);
    ASSERT_EQ(fake.calls.size(), 2u);
    EXPECT_EQ(fake.calls[0].type, RecordingHallChannel::Call::CopyData);
    EXPECT_EQ(fake.calls[0].data, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(fake.calls[0].msg, 15u);
    EXPECT_EQ(&hallChannel(), prev);
}

TEST(HallChannel, SocketPathMustFitTheAddress) {
    TempDir t;
    // hall-XXXXXXXX.sock under a folder of n bytes makes a path of n + 19; 107 is the most.
    for (size_t n : {88u, 89u}) {
        std::string dir = t.path() + "/" + std::string(n - t.path().size() - 1, 'd');
        ASSERT_TRUE(makeFolders(dir));
        HallWindow hall(dir);
        EXPECT_EQ(hall.endpoint.open(hall.target.handle()), n == 88) << n;
    }
}

TEST(HallChannel, RequestRecordLayoutIsByteExact) {
    HallRequest q;
    q.type = 3;
    q.to = 0x11223344;
    q.from = 0x55667788;
    q.msg = 11;
    q.size = 2;
    q.w = 0x0102030405060708ull;
    q.l = -2;
    q.timeoutMs = 5000;
    const uint8_t payload[2] = {0xAA, 0xBB};
    std::vector<uint8_t> rec = encodeHallRequest(q, payload);
    const std::vector<uint8_t> expected = {
        0x43, 0x48, 0x51, 0x4C, 0x03, 0,    0,    0,    0x44, 0x33, 0x22, 0x11, 0x88,
        0x77, 0x66, 0x55, 0x0B, 0,    0,    0,    0x02, 0,    0,    0,    0x08, 0x07,
        0x06, 0x05, 0x04, 0x03, 0x02, 0x01, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
        0xFF, 0x88, 0x13, 0,    0,    0,    0,    0,    0,    0xAA, 0xBB};
    EXPECT_EQ(rec, expected);
    HallRequest back;
    ASSERT_TRUE(decodeHallRequestHead(rec.data(), rec.size(), &back));
    EXPECT_EQ(back.to, q.to);
    EXPECT_EQ(back.from, q.from);
    EXPECT_EQ(back.w, q.w);
    EXPECT_EQ(back.l, q.l);
    EXPECT_EQ(back.timeoutMs, 5000u);
    EXPECT_FALSE(decodeHallRequestHead(rec.data(), kHallRequestSize - 1, &back));
    rec[4] = 2;  // a send may not carry a payload
    EXPECT_FALSE(decodeHallRequestHead(rec.data(), rec.size(), &back));
}
