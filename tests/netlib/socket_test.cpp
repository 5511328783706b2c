// The socket object against a scripted peer: hello, requests and responses, notices,
// matching rules, time-outs, closing and connecting.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "netlib/socket.h"
#include "peer.h"
#include "platform/core/clock.h"

using namespace hqlv::netlib;
using namespace testpeer;
using Clock = std::chrono::steady_clock;

namespace {

const char kHello[] = "Hello! Game Channel.";

void putLe32(uint8_t* p, int32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(uint32_t(v) >> (8 * i));
}

class SocketTest : public ::testing::Test {
protected:
    // Connects the socket to the listener, reads the hello and keeps the peer.
    void connect(int waitFirstData = 0) {
        sock_.SetCodec(gameKey(), 128, kCodecAes, 0);
        ASSERT_EQ(sock_.Connect("127.0.0.1", listener_.port(), 2, 0, owner_.thread(), waitFirstData,
                                kHello, sizeof kHello, 1000),
                  1);
        int fd = listener_.accept();
        ASSERT_GE(fd, 0);
        peer_ = std::make_unique<Peer>(fd);
        std::string hello;
        ASSERT_TRUE(peer_->readHello(&hello));
        EXPECT_EQ(hello, std::string(kHello, sizeof kHello));
    }

    // Sends a request from this thread; the peer thread answers with `answer`.
    int request(int32_t code, const std::string& body, YrnRecord* resp, int* timedOut,
                int timeoutMs, bool wait = true) {
        YrnEnvelope env;
        env.waitFlag = wait ? 1 : 0;
        YrnRecord req;
        req.head[1] = code;
        req.length = int32_t(body.size());
        req.data = reinterpret_cast<uint8_t*>(const_cast<char*>(body.data()));
        return sock_.SendRequestWait(&env, &req, resp, timedOut, timeoutMs);
    }

    // Another thread's request that is never answered: it holds the single response slot
    // until the socket is closed, which Release (or the end of the holder) does.
    struct SlotHolder {
        explicit SlotHolder(SocketTest& t)
            : test(t), thread([this] {
                  YrnRecord resp;
                  int timedOut = 0;
                  result = test.request(1, "unanswered", &resp, &timedOut, 3000);
              }) {}
        ~SlotHolder() { Release(); }
        // Closes the socket, waits for the holding request and gives its result.
        int Release() {
            if (thread.joinable()) {
                test.sock_.Close();
                thread.join();
            }
            return result.load();
        }
        SocketTest& test;
        std::atomic<int> result{-1};
        std::thread thread;
    };

    Listener listener_;
    Owner owner_;
    CYrnSocket sock_{nullptr, 128, 0, 0, 1, 0};  // a chunk size of 0 means the largest
    std::unique_ptr<Peer> peer_;
};

// Connects any socket object to the listener and returns the peer after the hello.
std::unique_ptr<Peer> connectTo(CYrnSocket& s, Listener& l, Owner& owner) {
    s.SetCodec(gameKey(), 128, kCodecAes, 0);
    if (s.Connect("127.0.0.1", l.port(), 2, 0, owner.thread(), 0, kHello, sizeof kHello, 0) != 1)
        return nullptr;
    int fd = l.accept();
    if (fd < 0) return nullptr;
    auto peer = std::make_unique<Peer>(fd);
    std::string hello;
    if (!peer->readHello(&hello)) return nullptr;
    return peer;
}

// Holds the first completed response back until the test lets it through, so a newer
// request can take the response slot while the older answer is still being stored.
class HeldStore : public CYrnSocket {
public:
    // The worker must stop before the mutex and the flags it waits on go.
    ~HeldStore() override {
        release();
        Close();
    }
    int StoreResponse(const CYrnBuffer& message, YrnConnection& record) override {
        {
            std::unique_lock lk(mu_);
            if (!held_) {
                held_ = true;
                entered_ = true;
                cv_.notify_all();
                cv_.wait_for(lk, std::chrono::seconds(5), [this] { return released_; });
            }
        }
        return CYrnSocket::StoreResponse(message, record);
    }
    bool waitEntered() {
        std::unique_lock lk(mu_);
        return cv_.wait_for(lk, std::chrono::seconds(3), [this] { return entered_; });
    }
    void release() {
        std::lock_guard g(mu_);
        released_ = true;
        cv_.notify_all();
    }

private:
    std::mutex mu_;
    std::condition_variable cv_;
    bool held_ = false, entered_ = false, released_ = false;
};

// Exposes the bounded connect on a socket made by Bind.
class ConnectProbe : public CYrnSocket {
public:
    using CYrnSocket::ConnectWithTimeout;
    using CYrnSocket::GetExpectedResponse;
    using CYrnSocket::SendFragments;
    using CYrnSocket::SetExpectedResponse;
};

// One packet with a head of the caller's own (data of little bytes, a valid CRC).
CYrnBuffer OnePacket(int32_t type, int32_t messageId, int32_t fragment, int32_t last,
                     size_t n = 16) {
    YrnPacketHead head;
    head.type = type;
    head.messageId = messageId;
    head.fragment = fragment;
    head.last = last;
    const std::string data(n, 'x');
    CYrnBuffer out;
    YrnBuildPacket(head, reinterpret_cast<const uint8_t*>(data.data()), n, true, out);
    return out;
}

// True when the peer's end reads the end of the stream within ms (bytes before it are
// skipped); false when the connection stays open that long.
bool PeerSeesTheEnd(int fd, int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, int(left)) <= 0) return false;
        uint8_t buf[256];
        const ssize_t r = ::recv(fd, buf, sizeof buf, 0);
        if (r <= 0) return true;
    }
}

// Bytes the socket has queued for sending and the peer has not taken.
int unsent(int fd) {
    int n = 0;
    return ioctl(fd, TIOCOUTQ, &n) == 0 ? n : 0;
}

}  // namespace

TEST_F(SocketTest, RequestAndResponseRoundTrip) {
    connect();
    EXPECT_EQ(sock_.IsConnected(), 1);
    EXPECT_NE(sock_.GetObjectId(), 0u);
    std::thread server([&] {
        Received r;
        ASSERT_TRUE(peer_->readMessage(&r));
        EXPECT_EQ(r.code, 200110);
        EXPECT_EQ(r.waitFlag, 1);
        EXPECT_EQ(r.messageId, 1);
        EXPECT_EQ(std::string(r.body.begin(), r.body.end()), "enter");
        peer_->send(kPacketResponse, r.messageId, 1, std::string(5000, 'g'));
        // A request without the wait flag; then one whose answer has no data.
        Received r2, r3;
        ASSERT_TRUE(peer_->readMessage(&r2));
        EXPECT_EQ(r2.waitFlag, 0);
        EXPECT_EQ(r2.messageId, 2);
        EXPECT_EQ(r2.body.size(), 8000u);
        EXPECT_EQ(r2.packets, 3);  // 8028 + 40 encoded bytes: three fragments
        ASSERT_TRUE(peer_->readMessage(&r3));
        peer_->send(kPacketResponse, r3.messageId, 0, "");
    });
    YrnRecord resp;
    int timedOut = -1;
    ASSERT_EQ(request(200110, "enter", &resp, &timedOut, 2000), 1);
    EXPECT_EQ(timedOut, 0);
    EXPECT_EQ(resp.head[1], 1);
    ASSERT_EQ(resp.length, 5000);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(resp.data), 5000), std::string(5000, 'g'));
    YrnFreeResponseData(&resp);
    YrnRecord untouched;
    untouched.head[0] = 99;
    EXPECT_EQ(request(5, std::string(8000, 'n'), &untouched, &timedOut, 2000, false), 1);
    EXPECT_EQ(untouched.head[0], 99);
    ASSERT_EQ(request(6, "", &resp, &timedOut, 2000), 1);
    EXPECT_EQ(resp.length, 0);
    EXPECT_EQ(resp.data, nullptr);
    server.join();
}

TEST_F(SocketTest, NotificationsClosesAndErrorsReachTheOwnerThread) {
    connect();
    ASSERT_TRUE(peer_->send(kPacketMessage, 7, 300001, "notice"));
    ASSERT_TRUE(peer_->send(kPacketMessage, 8, 300002, std::string(9000, 'm')));
    ASSERT_TRUE(owner_.waitFor(2));
    peer_->close();
    ASSERT_TRUE(owner_.waitFor(3));
    auto seen = owner_.seen();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].messageId, 7);
    EXPECT_EQ(seen[0].code, 300001);
    EXPECT_EQ(seen[0].body, "notice");
    EXPECT_EQ(seen[0].objectId, sock_.GetObjectId());
    EXPECT_EQ(seen[0].socket, sock_.GetSocket());
    EXPECT_EQ(seen[1].body, std::string(9000, 'm'));
    EXPECT_EQ(seen[2].code, kNoticeClosed);
    EXPECT_EQ(seen[2].messageId, 0);
}

TEST_F(SocketTest, BadPacketsAreErrorNotices) {
    const std::function<CYrnBuffer(Peer&)> rows[] = {
        [](Peer&) {
            CYrnBuffer b;
            b.AppendI32(1 << 30);  // refused as soon as the length word arrives
            return b;
        },
        [](Peer& p) {
            CYrnBuffer b = Peer::build(kPacketMessage, 1, 3, "data", p.seq());
            b.Data()[70] ^= 0x40;  // CRC mismatch
            return b;
        },
        // Neither a message nor a response.
        [](Peer& p) { return Peer::build(3, 1, 3, "data", p.seq()); },
        // A message id or a fragment number that is not positive.
        [](Peer&) { return OnePacket(kPacketMessage, 0, 1, 1); },
        [](Peer&) { return OnePacket(kPacketMessage, 1, 0, 1); },
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        connect();
        ASSERT_TRUE(peer_->sendBytes(rows[i](*peer_)));
        ASSERT_TRUE(owner_.waitFor(int(i) + 1)) << i;
        EXPECT_EQ(owner_.seen()[i].code, kNoticeError) << i;
        sock_.Close();
    }
}

TEST_F(SocketTest, StrayAndRepeatedResponsesAreDroppedQuietly) {
    connect();
    // Nobody waits: dropped, no notice. The notification behind it shows it was read.
    ASSERT_TRUE(peer_->send(kPacketResponse, 40, 1, "stray"));
    ASSERT_TRUE(peer_->send(kPacketMessage, 49, 76, "before"));
    ASSERT_TRUE(owner_.waitFor(1));
    std::thread server([&] {
        Received r;
        ASSERT_TRUE(peer_->readMessage(&r));
        CYrnBuffer resp = Peer::build(kPacketResponse, r.messageId, 1, "once", peer_->seq());
        peer_->sendBytes(resp);
        peer_->sendBytes(resp);  // the last fragment again
        peer_->send(kPacketMessage, 50, 77, "after");
    });
    YrnRecord resp;
    int timedOut = 0;
    ASSERT_EQ(request(1, "q", &resp, &timedOut, 2000), 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(resp.data), size_t(resp.length)), "once");
    YrnFreeResponseData(&resp);
    server.join();
    ASSERT_TRUE(owner_.waitFor(2));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    auto seen = owner_.seen();
    ASSERT_EQ(seen.size(), 2u);  // only the notifications, no error
    EXPECT_EQ(seen[0].code, 76);
    EXPECT_EQ(seen[1].code, 77);
}

TEST_F(SocketTest, HigherResponseIdOrSkippedFragmentIsAnError) {
    connect();
    std::thread server([&] {
        Received r;
        ASSERT_TRUE(peer_->readMessage(&r));
        peer_->send(kPacketResponse, r.messageId + 1, 1, "wrong");
    });
    YrnRecord resp;
    int timedOut = 0;
    // The error ends the stream: the wait ends with it, long before its time-out.
    const auto t0 = Clock::now();
    EXPECT_EQ(request(1, "q", &resp, &timedOut, 3000), 0);
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(2000));
    EXPECT_EQ(timedOut, 0);
    server.join();
    ASSERT_TRUE(owner_.waitFor(1));
    EXPECT_EQ(owner_.seen()[0].code, kNoticeError);
    EXPECT_EQ(sock_.IsStreamBroken(), 1);
    sock_.Close();
    connect();

    std::thread server2([&] {
        Received r;
        ASSERT_TRUE(peer_->readMessage(&r));
        CYrnBuffer two =
            Peer::build(kPacketResponse, r.messageId, 1, std::string(6000, 's'), peer_->seq());
        // Only the second fragment: skips fragment 1.
        size_t first = size_t(le32(two.Data())) + 4;
        CYrnBuffer tail;
        tail.Append(two.At(first), two.Size() - first);
        peer_->sendBytes(tail);
    });
    EXPECT_EQ(request(2, "q", &resp, &timedOut, 300), 0);
    server2.join();
    ASSERT_TRUE(owner_.waitFor(2));
    EXPECT_EQ(owner_.seen()[1].code, kNoticeError);
}

// Whatever ends the stream (a packet that fails its check or breaks the framing, the
// peer's close), the socket ends the connection, tells its owner once, wakes a waiting
// request at once (not timed out) and refuses every later one; the descriptor stays
// until Close.
TEST_F(SocketTest, AnEndedStreamEndsTheConnectionOnceAndFailsRequestsAtOnce) {
    struct Row {
        const char* name;
        std::function<void(Peer&, int32_t id)> end;
        int32_t notice;
    };
    const Row rows[] = {
        {"check",
         [](Peer& p, int32_t id) {
             CYrnBuffer b = Peer::build(kPacketResponse, id, 1, "answer", p.seq());
             b.Data()[70] ^= 0x40;  // CRC mismatch
             p.sendBytes(b);
         },
         kNoticeError},
        {"length",
         [](Peer& p, int32_t id) {
             CYrnBuffer b = Peer::build(kPacketResponse, id, 1, "answer", p.seq());
             const int32_t shorter = le32(b.Data()) - 16;  // still a length the rule allows
             for (int i = 0; i < 4; ++i) b.Data()[i] = uint8_t(uint32_t(shorter) >> (8 * i));
             p.sendBytes(b);
         },
         kNoticeError},
        {"framing",
         [](Peer& p, int32_t) {
             CYrnBuffer b;
             b.AppendI32(1 << 30);
             p.sendBytes(b);
         },
         kNoticeError},
        {"close", [](Peer& p, int32_t) { p.close(); }, kNoticeClosed},
    };
    for (const Row& row : rows) {
        connect();
        EXPECT_EQ(sock_.IsStreamBroken(), 0) << row.name;  // a new connection starts whole
        std::thread server([&] {
            Received r;
            ASSERT_TRUE(peer_->readMessage(&r));
            row.end(*peer_, r.messageId);
        });
        YrnRecord resp;
        int timedOut = -1;
        const auto t0 = Clock::now();
        EXPECT_EQ(request(1, "q", &resp, &timedOut, 5000), 0) << row.name;
        EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(2500)) << row.name;
        EXPECT_EQ(timedOut, 0) << row.name;
        server.join();
        EXPECT_EQ(sock_.IsStreamBroken(), 1) << row.name;
        EXPECT_EQ(sock_.IsConnected(), 0) << row.name;
        EXPECT_GE(sock_.GetSocket(), 0) << row.name;
        // The peer sees its end of the connection close.
        if (peer_->fd() >= 0) {
            EXPECT_TRUE(PeerSeesTheEnd(peer_->fd(), 2000)) << row.name;
            peer_->close();
        }
        ASSERT_TRUE(owner_.waitFor(1)) << row.name;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ASSERT_EQ(owner_.seen().size(), 1u) << row.name;
        EXPECT_EQ(owner_.seen()[0].code, row.notice) << row.name;
        // A request on the ended stream fails at once, not as a time-out, and sends nothing.
        timedOut = -1;
        const auto t1 = Clock::now();
        EXPECT_EQ(request(2, "after", &resp, &timedOut, 5000), 0) << row.name;
        EXPECT_LT(Clock::now() - t1, std::chrono::milliseconds(500)) << row.name;
        EXPECT_EQ(timedOut, 0) << row.name;
        EXPECT_EQ(request(3, "no wait", &resp, &timedOut, 100, false), 0) << row.name;
        sock_.Close();
        owner_.clear();
    }
}

// A request waiting for the slot that another one holds ends too when the stream ends,
// and neither counts as a time-out.
TEST_F(SocketTest, AnEndedStreamAlsoEndsTheWaitForTheSlot) {
    connect();
    std::atomic<int> first{-1}, firstTimedOut{-1};
    std::thread holder([&] {
        YrnRecord resp;
        int t = -1;
        first = request(1, "holds the slot", &resp, &t, 5000);
        firstTimedOut = t;
    });
    Received r;
    ASSERT_TRUE(peer_->readMessage(&r));
    std::thread breaker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        CYrnBuffer b = Peer::build(kPacketResponse, r.messageId, 1, "answer", peer_->seq());
        b.Data()[70] ^= 0x40;  // fails its check
        peer_->sendBytes(b);
    });
    YrnRecord resp;
    int timedOut = -1;
    const auto t0 = Clock::now();
    EXPECT_EQ(request(2, "waits for the slot", &resp, &timedOut, 5000), 0);
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(2500));
    EXPECT_EQ(timedOut, 0);
    breaker.join();
    holder.join();
    EXPECT_EQ(first.load(), 0);
    EXPECT_EQ(firstTimedOut.load(), 0);
}

// A packet that stops halfway with the connection still open: once no byte has come for
// the stall limit the stream counts as ended (one error notice, the connection shut, a
// waiting request woken); a packet that comes slowly but keeps coming is whole.
TEST_F(SocketTest, APacketStoppedHalfwayEndsTheStreamAfterTheStallLimit) {
    sock_.SetPacketStallLimit(400);
    connect();
    // Slow but steady: a byte each 60 ms, well inside the limit.
    CYrnBuffer slow = Peer::build(kPacketMessage, 1, 71, "slowly", peer_->seq());
    for (size_t i = 0; i < slow.Size(); i += 8) {
        ASSERT_TRUE(writeAll(peer_->fd(), slow.At(i), std::min<size_t>(8, slow.Size() - i)));
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
    }
    ASSERT_TRUE(owner_.waitFor(1));
    EXPECT_EQ(owner_.seen()[0].code, 71);
    EXPECT_EQ(sock_.IsStreamBroken(), 0);
    // The answer to a request stops halfway.
    std::thread server([&] {
        Received r;
        ASSERT_TRUE(peer_->readMessage(&r));
        CYrnBuffer b = Peer::build(kPacketResponse, r.messageId, 1, "answer", peer_->seq());
        ASSERT_TRUE(writeAll(peer_->fd(), b.Data(), b.Size() / 2));
    });
    YrnRecord resp;
    int timedOut = -1;
    const auto t0 = Clock::now();
    EXPECT_EQ(request(1, "q", &resp, &timedOut, 10000), 0);
    const auto took = Clock::now() - t0;
    server.join();
    EXPECT_GE(took, std::chrono::milliseconds(380));
    EXPECT_LT(took, std::chrono::milliseconds(3000));
    EXPECT_EQ(timedOut, 0);
    EXPECT_EQ(sock_.IsConnected(), 0);
    EXPECT_TRUE(PeerSeesTheEnd(peer_->fd(), 2000));
    ASSERT_TRUE(owner_.waitFor(2));
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    ASSERT_EQ(owner_.seen().size(), 2u);
    EXPECT_EQ(owner_.seen()[1].code, kNoticeError);
}

// Nothing half-sent: a quiet peer is no stall, however long it says nothing.
TEST_F(SocketTest, AQuietPeerIsNoStall) {
    sock_.SetPacketStallLimit(100);
    connect();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(sock_.IsStreamBroken(), 0);
    EXPECT_EQ(sock_.IsConnected(), 1);
    EXPECT_TRUE(owner_.seen().empty());
    ASSERT_TRUE(peer_->send(kPacketMessage, 1, 72, "still here"));
    ASSERT_TRUE(owner_.waitFor(1));
    EXPECT_EQ(owner_.seen()[0].code, 72);
    // Quiet again after a whole packet: still no stall.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(sock_.IsStreamBroken(), 0);
    EXPECT_EQ(owner_.seen().size(), 1u);
}

// Even a single byte of a packet that never comes whole is a stall.
TEST_F(SocketTest, OneByteOfAPacketAloneIsAStallToo) {
    sock_.SetPacketStallLimit(200);
    connect();
    const uint8_t first = 0x40;
    ASSERT_TRUE(writeAll(peer_->fd(), &first, 1));
    ASSERT_TRUE(owner_.waitFor(1, 3000));
    EXPECT_EQ(owner_.seen()[0].code, kNoticeError);
    EXPECT_EQ(sock_.IsStreamBroken(), 1);
}

// A packet whose data length names fewer bytes than it holds gives those bytes alone: the
// message and the answer built from such packets arrive whole, the bytes behind the data
// ignored; a data length beyond the packet ends the stream.
TEST_F(SocketTest, APacketsDataLengthBelowItsSizeTakesThoseBytesAlone) {
    connect();
    // Each packet gets three bytes of padding behind its data; L grows, the data length stays.
    auto padded = [](const CYrnBuffer& packets) {
        CYrnBuffer out;
        size_t pos = 0;
        while (pos < packets.Size()) {
            const int32_t L = le32(packets.At(pos));
            CYrnBuffer one;
            one.Append(packets.At(pos), size_t(L) + 4);
            const uint8_t pad[3] = {0xEE, 0xEE, 0xEE};
            one.Append(pad, sizeof pad);
            putLe32(one.Data(), L + 3);
            putLe32(one.Data() + 12, 0);  // no CRC over the changed packet
            putLe32(one.Data() + 16, 0);
            out.Append(one.Data(), one.Size());
            pos += size_t(L) + 4;
        }
        return out;
    };
    const std::string body(3000, 'b');
    ASSERT_TRUE(peer_->sendBytes(padded(Peer::build(kPacketMessage, 1, 74, body, peer_->seq()))));
    ASSERT_TRUE(owner_.waitFor(1));
    EXPECT_EQ(owner_.seen()[0].code, 74);
    EXPECT_EQ(owner_.seen()[0].body, body);
    std::thread server([&] {
        Received r;
        ASSERT_TRUE(peer_->readMessage(&r));
        peer_->sendBytes(
            padded(Peer::build(kPacketResponse, r.messageId, 10, "answer", peer_->seq())));
    });
    YrnRecord resp;
    int timedOut = -1;
    EXPECT_EQ(request(1, "q", &resp, &timedOut, 3000), 1);
    server.join();
    EXPECT_EQ(resp.head[1], 10);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(resp.data), size_t(resp.length)), "answer");
    YrnFreeResponseData(&resp);
    EXPECT_EQ(sock_.IsStreamBroken(), 0);
    // One data byte more than the packet holds: the stream ends.
    CYrnBuffer over = Peer::build(kPacketMessage, 2, 75, "over", peer_->seq(), false);
    putLe32(over.Data() + 56, le32(over.Data()) - 55);
    ASSERT_TRUE(peer_->sendBytes(over));
    ASSERT_TRUE(owner_.waitFor(2));
    EXPECT_EQ(owner_.seen()[1].code, kNoticeError);
    EXPECT_EQ(sock_.IsStreamBroken(), 1);
}

// Counts the worker's reads, and takes the worker's look at a stalled packet when the test
// asks (the worker's own timer looks too, never earlier than the test's clock allows).
class StallProbe : public CYrnSocket {
public:
    using CYrnSocket::CheckPacketStall;
    StallProbe() : CYrnSocket(nullptr, 128, 0, 0, 1, 0) {}
    ~StallProbe() override { Close(); }
    int OnRead() override {
        const int r = CYrnSocket::OnRead();
        {
            std::lock_guard g(mu_);
            ++reads_;
        }
        cv_.notify_all();
        return r;
    }
    bool waitReads(int n) {
        std::unique_lock lk(mu_);
        return cv_.wait_for(lk, std::chrono::seconds(3), [&] { return reads_ >= n; });
    }

private:
    std::mutex mu_;
    std::condition_variable cv_;
    int reads_ = 0;
};

// The stall limit counts from the last byte of a begun packet and holds to the millisecond:
// one short of it the stream lives, at it the stream ends, once, with an error notice. A
// packet whose bytes keep coming, each within the limit, is never cut however long it takes
// in all. The clock is the test's (across the tick counter's wrap); the limit the real one.
TEST(SocketStall, ABegunPacketEndsTheStreamExactlyAtTheLimitSinceItsLastByte) {
    hqlv::platform::ManualClock clock(0xFFFFFFFFu - 1000);
    hqlv::platform::Clock* old = hqlv::platform::setClock(&clock);
    {
        Listener listener;
        Owner owner;
        StallProbe sock;
        auto peer = connectTo(sock, listener, owner);
        ASSERT_TRUE(peer);
        CYrnBuffer packet =
            Peer::build(kPacketMessage, 1, 73, "slow and then stalled", peer->seq());
        ASSERT_TRUE(writeAll(peer->fd(), packet.At(0), 6));
        ASSERT_TRUE(sock.waitReads(1));
        // Slow: the next bytes come just inside the limit, twice over.
        clock.advance(kPacketStallMs - 1);
        EXPECT_EQ(sock.CheckPacketStall(), 0);
        ASSERT_TRUE(writeAll(peer->fd(), packet.At(6), 6));
        ASSERT_TRUE(sock.waitReads(2));
        clock.advance(kPacketStallMs - 1);
        EXPECT_EQ(sock.CheckPacketStall(), 0);
        EXPECT_EQ(sock.IsStreamBroken(), 0);
        EXPECT_EQ(sock.IsConnected(), 1);
        EXPECT_TRUE(owner.seen().empty());
        // Then nothing more: at the limit the stream ends.
        clock.advance(1);
        sock.CheckPacketStall();  // unless the worker's timer was first
        EXPECT_EQ(sock.IsStreamBroken(), 1);
        EXPECT_EQ(sock.IsConnected(), 0);
        EXPECT_EQ(sock.CheckPacketStall(), 0);  // ended once
        ASSERT_TRUE(owner.waitFor(1, 3000));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ASSERT_EQ(owner.seen().size(), 1u);
        EXPECT_EQ(owner.seen()[0].code, kNoticeError);
        EXPECT_TRUE(PeerSeesTheEnd(peer->fd(), 2000));
    }
    hqlv::platform::setClock(old);
}

TEST_F(SocketTest, TimeOutThenLateAnswerDoesNotSatisfyTheNextRequest) {
    connect();
    std::thread server([&] {
        Received first, second;
        ASSERT_TRUE(peer_->readMessage(&first));
        ASSERT_TRUE(peer_->readMessage(&second));  // arrives after the first timed out
        peer_->send(kPacketResponse, first.messageId, 1, "late");
        peer_->send(kPacketResponse, second.messageId, 2, "fresh");
        peer_->send(kPacketMessage, 1, 90, "marker");
    });
    YrnRecord resp;
    int timedOut = 0;
    auto t0 = Clock::now();
    EXPECT_EQ(request(1, "a", &resp, &timedOut, 150), 0);
    EXPECT_EQ(timedOut, 1);
    EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(140));
    ASSERT_EQ(request(2, "b", &resp, &timedOut, 2000), 1);
    EXPECT_EQ(resp.head[1], 2);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(resp.data), size_t(resp.length)), "fresh");
    YrnFreeResponseData(&resp);
    server.join();
    // An error for the late answer would reach the owner before the marker behind it.
    ASSERT_TRUE(owner_.waitFor(1));
    EXPECT_EQ(owner_.seen()[0].code, 90);
}

TEST_F(SocketTest, LateAnswerBetweenRequestsIsNotTakenForTheNextOne) {
    connect();
    std::mutex mu;
    std::condition_variable cv;
    bool timedOutSeen = false;
    std::thread server([&] {
        Received first, second;
        ASSERT_TRUE(peer_->readMessage(&first));
        {
            std::unique_lock lk(mu);
            ASSERT_TRUE(cv.wait_for(lk, std::chrono::seconds(3), [&] { return timedOutSeen; }));
        }
        // The late answer, and a notification behind it that shows it has been handled.
        peer_->send(kPacketResponse, first.messageId, 1, "late");
        peer_->send(kPacketMessage, 1, 91, "handled");
        ASSERT_TRUE(peer_->readMessage(&second));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        peer_->send(kPacketResponse, second.messageId, 2, "fresh");
    });
    YrnRecord resp;
    int timedOut = 0;
    EXPECT_EQ(request(1, "a", &resp, &timedOut, 100), 0);
    EXPECT_EQ(timedOut, 1);
    {
        std::lock_guard g(mu);
        timedOutSeen = true;
        cv.notify_all();
    }
    ASSERT_TRUE(owner_.waitFor(1));
    // The late answer sits in the slot now; the next request must wait for its own.
    ASSERT_EQ(request(2, "b", &resp, &timedOut, 3000), 1);
    EXPECT_EQ(resp.head[1], 2);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(resp.data), size_t(resp.length)), "fresh");
    YrnFreeResponseData(&resp);
    server.join();
    EXPECT_EQ(owner_.seen().size(), 1u);
}

TEST_F(SocketTest, ConcurrentRequestsFromTwoThreads) {
    connect();
    constexpr int kEach = 20;
    std::thread server([&] {
        for (int i = 0; i < 2 * kEach; ++i) {
            Received r;
            ASSERT_TRUE(peer_->readMessage(&r));
            // Echo the body so each thread can check it got its own answer.
            peer_->send(kPacketResponse, r.messageId, r.code,
                        std::string(r.body.begin(), r.body.end()));
        }
    });
    auto client = [&](int who) {
        for (int i = 0; i < kEach; ++i) {
            std::string body =
                std::string("t").append(std::to_string(who)).append("-").append(std::to_string(i));
            body += std::string(size_t(i) * 300, char('a' + who));
            YrnRecord resp;
            int timedOut = 0;
            ASSERT_EQ(request(who, body, &resp, &timedOut, 3000), 1);
            EXPECT_EQ(resp.head[1], who);
            EXPECT_EQ(std::string(reinterpret_cast<char*>(resp.data), size_t(resp.length)), body);
            YrnFreeResponseData(&resp);
        }
    };
    std::thread a(client, 1), b(client, 2);
    a.join();
    b.join();
    server.join();
    EXPECT_TRUE(owner_.seen().empty());
}

TEST_F(SocketTest, WaitingForTheSlotCountsAgainstTheTimeOut) {
    connect();
    // The first request is never answered and holds the single response slot; a second
    // thread's request may not wait for the slot beyond its own time-out.
    SlotHolder holder(*this);
    Received r;
    ASSERT_TRUE(peer_->readMessage(&r));  // the slot is taken
    YrnRecord resp;
    int timedOut = 0;
    auto t0 = Clock::now();
    EXPECT_EQ(request(2, "second", &resp, &timedOut, 200), 0);
    auto took = Clock::now() - t0;
    EXPECT_EQ(timedOut, 1);
    EXPECT_GE(took, std::chrono::milliseconds(190));
    EXPECT_LT(took, std::chrono::milliseconds(2000));
    EXPECT_FALSE(peer_->readMessage(&r, 100));  // a request that never got the slot is not sent
    EXPECT_EQ(holder.Release(), 0);
}

// A request that does not wait leaves the waiting one's slot alone: a third request still
// waits for the slot (and runs out of time without being sent).
TEST_F(SocketTest, ARequestWithoutWaitLeavesTheWaitersSlotAlone) {
    connect();
    SlotHolder holder(*this);
    Received r;
    ASSERT_TRUE(peer_->readMessage(&r));
    YrnRecord resp;
    int timedOut = 0;
    EXPECT_EQ(request(2, "no wait", &resp, &timedOut, 100, false), 1);
    ASSERT_TRUE(peer_->readMessage(&r));
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(request(3, "third", &resp, &timedOut, 200), 0);
    EXPECT_EQ(timedOut, 1);
    EXPECT_FALSE(peer_->readMessage(&r, 100));
    EXPECT_EQ(holder.Release(), 0);
}

// A message that outgrows the largest size is abandoned as an error, not kept growing.
TEST_F(SocketTest, AMessageOutgrowingTheLargestSizeIsAnError) {
    connect();
    CYrnBuffer all;
    const size_t packets = kMaxMessageSize / 4000 + 2;
    all.Reserve(packets * 4060);
    for (size_t i = 1; i <= packets; ++i) {
        CYrnBuffer p = OnePacket(kPacketMessage, 5, int32_t(i), 0, 4000);
        all.Append(p.Data(), p.Size());
    }
    ASSERT_TRUE(peer_->sendBytes(all));
    ASSERT_TRUE(owner_.waitFor(1, 10000));
    EXPECT_EQ(owner_.seen()[0].code, kNoticeError);
}

TEST_F(SocketTest, CloseWakesAWaitingRequestAtOnce) {
    connect();
    std::atomic<int> result{-1}, timedOut{-1};
    std::thread waiter([&] {
        YrnRecord resp;
        int t = 0;
        result = request(1, "never answered", &resp, &t, 10000);
        timedOut = t;
    });
    Received r;
    ASSERT_TRUE(peer_->readMessage(&r));
    auto t0 = Clock::now();
    sock_.Close();
    waiter.join();
    EXPECT_LT(Clock::now() - t0, std::chrono::seconds(2));
    EXPECT_EQ(result.load(), 0);
    EXPECT_EQ(timedOut.load(), 1);
    EXPECT_EQ(sock_.GetObjectId(), 0u);
    EXPECT_EQ(sock_.GetSocket(), -1);
    YrnRecord resp;
    int t = 0;
    EXPECT_EQ(request(2, "closed", &resp, &t, 100), 0);
    EXPECT_EQ(t, 0);
}

TEST_F(SocketTest, ReconnectGivesANewObjectIdAndFreshCounters) {
    connect();
    uint32_t firstId = sock_.GetObjectId();
    ASSERT_TRUE(peer_->send(kPacketMessage, 1, 10, "old"));
    ASSERT_TRUE(owner_.waitFor(1));
    sock_.Close();
    connect();
    EXPECT_NE(sock_.GetObjectId(), firstId);
    std::thread server([&] {
        Received r;
        ASSERT_TRUE(peer_->readMessage(&r));
        EXPECT_EQ(r.messageId, 1);  // counters start again
        peer_->send(kPacketMessage, 1, 11, "new");
    });
    YrnRecord resp;
    int t = 0;
    EXPECT_EQ(request(3, "x", &resp, &t, 100, false), 1);
    server.join();
    ASSERT_TRUE(owner_.waitFor(2));
    auto seen = owner_.seen();
    EXPECT_EQ(seen[0].objectId, firstId);
    EXPECT_EQ(seen[1].objectId, sock_.GetObjectId());
}

TEST_F(SocketTest, ManyPacketsInOneReadAndOneByteAtATime) {
    connect();
    CYrnBuffer all;
    for (int i = 1; i <= 5; ++i) {
        CYrnBuffer b = Peer::build(kPacketMessage, i, 100 + i,
                                   std::string("m").append(std::to_string(i)), peer_->seq());
        all.Append(b.Data(), b.Size());
    }
    ASSERT_TRUE(peer_->sendBytes(all));
    ASSERT_TRUE(owner_.waitFor(5));
    CYrnBuffer slow = Peer::build(kPacketMessage, 6, 106, "dribble", peer_->seq());
    for (size_t i = 0; i < slow.Size(); ++i) {
        ASSERT_TRUE(writeAll(peer_->fd(), slow.At(i), 1));
        if (i % 16 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(owner_.waitFor(6));
    auto seen = owner_.seen();
    for (int i = 0; i < 6; ++i) EXPECT_EQ(seen[size_t(i)].code, 101 + i);
    EXPECT_EQ(seen[5].body, "dribble");
}

TEST(SocketConnect, RefusedUnresolvableAndTimedOut) {
    Owner owner;
    CYrnSocket s;
    int freePort;
    {
        Listener l;
        freePort = l.port();
    }
    auto t0 = Clock::now();
    EXPECT_EQ(s.Connect("127.0.0.1", freePort, 5, 0, owner.thread(), 0, kHello, sizeof kHello, 0),
              0);
    EXPECT_LT(Clock::now() - t0, std::chrono::seconds(2));  // refused at once, not "connected"
    EXPECT_EQ(s.GetSocket(), -1);
    EXPECT_EQ(
        s.Connect("no-such-host.invalid", 1, 5, 0, owner.thread(), 0, kHello, sizeof kHello, 0), 0);

    // A listener whose backlog is full drops further connection attempts, so the connect
    // only ends by its time-out.
    Listener full(0);
    std::vector<int> fillers;
    bool blocked = false;
    for (int i = 0; i < 8 && !blocked; ++i) {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(full.port()));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, 200) <= 0) blocked = true;
        fillers.push_back(fd);
    }
    if (blocked) {
        t0 = Clock::now();
        EXPECT_EQ(
            s.Connect("127.0.0.1", full.port(), 1, 0, owner.thread(), 0, kHello, sizeof kHello, 0),
            0);
        auto took = Clock::now() - t0;
        EXPECT_GE(took, std::chrono::milliseconds(900));
        EXPECT_LT(took, std::chrono::seconds(3));
    }
    for (int fd : fillers) ::close(fd);
}

TEST(SocketConnect, FirstDataMode) {
    Owner owner;
    Listener l;
    CYrnSocket s;
    std::thread server([&] {
        int fd = l.accept();
        ASSERT_GE(fd, 0);
        Peer p(fd);
        writeAll(fd, "welcome", 7);
        // No hello arrives from the client.
        uint8_t b;
        pollfd pf{fd, POLLIN, 0};
        EXPECT_EQ(::poll(&pf, 1, 100), 0);
        (void)b;
        p.send(kPacketMessage, 1, 5, "then packets");
        Received r;
        EXPECT_TRUE(p.readMessage(&r));
    });
    s.SetCodec(gameKey(), 128, kCodecAes, 0);
    ASSERT_EQ(s.Connect("127.0.0.1", l.port(), 2, 0, owner.thread(), 1, nullptr, 0, 2000), 1);
    ASSERT_TRUE(owner.waitFor(1));
    EXPECT_EQ(owner.seen()[0].body, "then packets");  // the first bytes were only a signal
    YrnEnvelope env;
    YrnRecord req, resp;
    int t = 0;
    EXPECT_EQ(s.SendRequestWait(&env, &req, &resp, &t, 100), 1);
    server.join();

    // A silent peer: the first-data wait runs out.
    Listener quiet;
    CYrnSocket s2;
    auto t0 = Clock::now();
    EXPECT_EQ(s2.Connect("127.0.0.1", quiet.port(), 2, 0, owner.thread(), 1, nullptr, 0, 200), 0);
    EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(190));
    s2.Close();

    // A peer that closes at once: the wait fails as the stream ends, not when its long time
    // runs out.
    Listener closing;
    std::thread closer([&] {
        int fd = closing.accept();
        if (fd >= 0) ::close(fd);
    });
    CYrnSocket s3;
    t0 = Clock::now();
    EXPECT_EQ(s3.Connect("127.0.0.1", closing.port(), 2, 0, owner.thread(), 1, nullptr, 0, 20000),
              0);
    EXPECT_LT(Clock::now() - t0, std::chrono::seconds(10));
    closer.join();
    s3.Close();
}

TEST(SocketConnect, UndeliverableMessagesAreFreed) {
    // The owner is gone: every post fails and the socket frees the blocks (the leak checker
    // would report them otherwise).
    Listener l;
    CYrnSocket s;
    hqlv::platform::Handle dead;
    {
        hqlv::platform::MessageLoop loop;
        hqlv::platform::FunctionTarget t(
            [](const hqlv::platform::Message&) { return intptr_t{0}; });
        dead = t.attach(loop);
    }
    s.SetCodec(gameKey(), 128, kCodecAes, 0);
    ASSERT_EQ(s.Connect("127.0.0.1", l.port(), 2, dead, 0, 0, kHello, sizeof kHello, 0), 1);
    int fd = l.accept();
    ASSERT_GE(fd, 0);
    Peer p(fd);
    std::string hello;
    ASSERT_TRUE(p.readHello(&hello));
    p.send(kPacketMessage, 1, 5, "lost");
    p.send(kPacketMessage, 2, 5, std::string(7000, 'l'));
    auto until = Clock::now() + std::chrono::seconds(5);
    while (s.TotalReceived() <= 7000u && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GT(s.TotalReceived(), 7000u);
    p.close();
    s.Close();
}

TEST(SocketConnect, BindThenConnectUsesTheBoundSocket) {
    Owner owner;
    Listener l;
    CYrnSocket s;
    EXPECT_EQ(s.Bind("no-such-host.invalid", 0), 0);
    ASSERT_EQ(s.Bind("127.0.0.1", 0), 1);
    int bound = s.GetSocket();
    sockaddr_in local{};
    socklen_t len = sizeof local;
    ASSERT_EQ(getsockname(bound, reinterpret_cast<sockaddr*>(&local), &len), 0);
    EXPECT_EQ(s.Bind("127.0.0.1", 0), 0);  // already bound
    ASSERT_EQ(s.Connect("127.0.0.1", l.port(), 2, 0, owner.thread(), 0, kHello, sizeof kHello, 0),
              1);
    EXPECT_EQ(s.GetSocket(), bound);
    int fd = l.accept();
    ASSERT_GE(fd, 0);
    sockaddr_in peer{};
    len = sizeof peer;
    getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &len);
    EXPECT_EQ(peer.sin_port, local.sin_port);
    ::close(fd);
    s.Close();
}

TEST_F(SocketTest, CloseWhileASendIsBlockedDrainsTheSender) {
    connect();
    // The peer reads nothing, so a large message fills the socket buffers and the sender
    // waits for the socket to become writable again.
    std::atomic<int> result{-1};
    std::atomic<bool> started{false};
    std::thread sender([&] {
        YrnRecord resp;
        int t = 0;
        started = true;
        result = request(9, std::string((16u << 20) - 1024, 'x'), &resp, &t, 1000, false);
    });
    while (!started) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    auto t0 = Clock::now();
    sock_.Close();
    sender.join();
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(1500));
    EXPECT_EQ(result.load(), 0);
    EXPECT_EQ(sock_.GetSocket(), -1);
}

TEST_F(SocketTest, ASendHeldUpByAFullSocketGoesOnWhenThePeerReads) {
    connect();
    const int small = 16384;  // small buffers: the send must wait for the reader
    ASSERT_EQ(setsockopt(sock_.GetSocket(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small), 0);
    ASSERT_EQ(setsockopt(peer_->fd(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small), 0);
    const std::string big(256u << 10, 'y');
    std::thread reader([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the buffers fill first
        Received r;
        ASSERT_TRUE(peer_->readMessage(&r));
        EXPECT_EQ(r.body.size(), big.size());
    });
    YrnRecord resp;
    int t = 0;
    EXPECT_EQ(request(9, big, &resp, &t, 5000, false), 1);
    reader.join();
}

TEST(SocketStore, TheExpectedResponseReadsBackFieldByField) {
    ConnectProbe s;
    YrnConnection record;
    s.SetExpectedResponse(12, record);
    int32_t id = 0, fragment = -1;
    s.GetExpectedResponse(record, &id, nullptr);
    s.GetExpectedResponse(record, nullptr, &fragment);
    EXPECT_EQ(id, 12);
    EXPECT_EQ(fragment, 0);  // nothing of it has come yet
}

// A packet carries a CRC when the sender forces it or the socket's own CRC flag is set, and
// only then.
TEST(SocketStore, APacketCarriesACrcWhenForcedOrWhenTheSocketAsks) {
    const struct {
        int socketCrc, force, carries;
    } rows[] = {{0, 0, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 1}};
    for (const auto& r : rows) {
        Owner owner;
        Listener l;
        CYrnSocket s{nullptr, 128, 0, 0, r.socketCrc, 0};
        auto peer = connectTo(s, l, owner);
        ASSERT_TRUE(peer);
        YrnEnvelope env;
        YrnRecord req;
        req.head[1] = 7;
        int timedOut = 0;
        EXPECT_EQ(s.SendRequestWait(&env, &req, nullptr, &timedOut, 100, 0, 0, r.force), 1);
        Packet p;
        ASSERT_TRUE(peer->readPacket(&p)) << r.socketCrc << r.force;
        EXPECT_EQ(p.head.crcFlag, r.carries) << r.socketCrc << r.force;
        EXPECT_EQ(p.head.crc != 0, r.carries == 1) << r.socketCrc << r.force;
        s.Close();
    }
}

TEST(SocketStore, ChunksWithABadLengthWordAreNotSent) {
    Owner owner;
    Listener l;
    ConnectProbe s;
    auto peer = connectTo(s, l, owner);
    ASSERT_TRUE(peer);
    YrnConnection record;
    for (int32_t word : {0, -1, 9}) {  // empty, negative, past the 8 bytes that follow
        CYrnBuffer chunks;
        chunks.AppendI32(word);
        chunks.Append("abcdefgh", 8);
        EXPECT_EQ(s.SendFragments(chunks, 1, 0, 0, record), 0) << word;
    }
    Packet p;
    EXPECT_FALSE(peer->readPacket(&p, 100));  // nothing went out
    s.Close();
}

// A record marked closed sends nothing, though the socket itself is still connected; a record
// that is not closed sends the same chunks.
TEST(SocketStore, AClosedRecordSendsNothingOnAConnectedSocket) {
    Owner owner;
    Listener l;
    ConnectProbe s;
    auto peer = connectTo(s, l, owner);
    ASSERT_TRUE(peer);
    ASSERT_EQ(s.IsConnected(), 1);
    auto chunks = [] {
        CYrnBuffer c;
        c.AppendI32(8);
        c.Append("abcdefgh", 8);
        return c;
    };
    YrnConnection closed;
    closed.closed.store(1);
    CYrnBuffer first = chunks();
    EXPECT_EQ(s.SendFragments(first, 1, 0, 0, closed), 0);
    Packet p;
    EXPECT_FALSE(peer->readPacket(&p, 100));
    YrnConnection open;
    CYrnBuffer second = chunks();
    EXPECT_EQ(s.SendFragments(second, 2, 0, 0, open), 1);
    ASSERT_TRUE(peer->readPacket(&p, 2000));
    EXPECT_EQ(p.head.messageId, 2);
    s.Close();
}

TEST(SocketStore, AnswerStoredAfterANewerRequestStartedIsStale) {
    Owner owner;
    Listener l;
    HeldStore s;
    auto peer = connectTo(s, l, owner);
    ASSERT_TRUE(peer);
    std::thread server([&] {
        Received first, second;
        ASSERT_TRUE(peer->readMessage(&first));
        peer->send(kPacketResponse, first.messageId, 1, "stale");
        // The worker now holds the complete answer; the first request times out meanwhile
        // and the second one takes the slot before the held answer is stored.
        ASSERT_TRUE(peer->readMessage(&second));
        s.release();
        peer->send(kPacketResponse, second.messageId, 2, "fresh");
    });
    auto request = [&](int32_t code, int timeoutMs, YrnRecord* resp, int* timedOut) {
        YrnEnvelope env;
        env.waitFlag = 1;
        YrnRecord req;
        req.head[1] = code;
        return s.SendRequestWait(&env, &req, resp, timedOut, timeoutMs);
    };
    YrnRecord resp;
    int timedOut = 0;
    EXPECT_EQ(request(1, 200, &resp, &timedOut), 0);
    EXPECT_EQ(timedOut, 1);
    ASSERT_TRUE(s.waitEntered());
    ASSERT_EQ(request(2, 3000, &resp, &timedOut), 1);
    EXPECT_EQ(resp.head[1], 2);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(resp.data), size_t(resp.length)), "fresh");
    YrnFreeResponseData(&resp);
    server.join();
    s.Close();
    EXPECT_TRUE(owner.seen().empty());
}

TEST(SocketStore, DestroyingTheSocketWaitsForABlockedSender) {
    // The sender blocks inside the socket object; destroying the object must first wake it
    // and wait until it has left, or it would touch freed memory.
    Owner owner;
    Listener l;
    // Small buffers on both ends, so that a request of a megabyte fills them for certain:
    // the peer's receive buffer is set on the listener, whose connections take it over.
    const int small = 4096;
    ASSERT_EQ(setsockopt(l.fd(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small), 0);
    auto s = std::make_unique<CYrnSocket>();
    auto peer = connectTo(*s, l, owner);
    ASSERT_TRUE(peer);
    int fd = s->GetSocket();
    ASSERT_EQ(setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &small, sizeof small), 0);
    CYrnSocket* raw = s.get();  // the sender keeps using the object while it is destroyed
    std::atomic<int> result{-1};
    std::string body(size_t(1) << 20, 'x');
    std::thread sender([&] {
        YrnEnvelope env;
        YrnRecord req, resp;
        req.length = int32_t(body.size());
        req.data = reinterpret_cast<uint8_t*>(body.data());
        int t = 0;
        result = raw->SendRequestWait(&env, &req, &resp, &t, 1000);
    });
    // Whatever way the test leaves, the object goes first and the sender is joined: a
    // joinable thread at the end of the test would end the whole test program.
    struct Finish {
        std::unique_ptr<CYrnSocket>& s;
        std::thread& t;
        ~Finish() {
            s.reset();
            if (t.joinable()) t.join();
        }
    } finish{s, sender};
    // The peer reads nothing: wait until the sender's buffer is full, so that its next send
    // would block, and stays full. One look is not enough: while the peer's buffer still
    // takes bytes, each acknowledgement frees room again, and a loaded machine may look just
    // before one. Full at every look for a tenth of a second, the peer's buffer is full too
    // and acknowledges nothing more.
    auto sendBufferFull = [fd] {
        pollfd p{fd, POLLOUT, 0};
        return ::poll(&p, 1, 0) == 0 && unsent(fd) > 0;
    };
    const auto until = Clock::now() + std::chrono::seconds(20);
    auto fullSince = Clock::now();
    bool steady = false, full = false;
    while (!steady && Clock::now() < until) {
        const bool now = sendBufferFull();
        if (now && !full) fullSince = Clock::now();
        full = now;
        steady = full && Clock::now() - fullSince >= std::chrono::milliseconds(100);
        if (!steady) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_TRUE(steady);
    s.reset();
    sender.join();
    EXPECT_EQ(result.load(), 0);
}

TEST(SocketConnect, RefusalAfterAPendingConnectIsAFailure) {
    // A connect left pending by a full backlog is refused once the listener goes away; the
    // bounded connect must report that refusal, not a connection, and not wait its time out.
    auto full = std::make_unique<Listener>(0);
    std::vector<int> fillers;
    bool blocked = false;
    for (int i = 0; i < 8 && !blocked; ++i) {
        int f = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(full->port()));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::connect(f, reinterpret_cast<sockaddr*>(&a), sizeof a);
        pollfd p{f, POLLOUT, 0};
        if (::poll(&p, 1, 200) <= 0) blocked = true;
        fillers.push_back(f);
    }
    if (!blocked) {
        for (int f : fillers) ::close(f);
        GTEST_SKIP() << "the backlog did not fill";
    }
    int port = full->port();
    ConnectProbe s;
    ASSERT_EQ(s.Bind("", 0), 1);
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        full.reset();
    });
    auto t0 = Clock::now();
    EXPECT_EQ(s.ConnectWithTimeout("127.0.0.1", port, 8, 0), 0);
    EXPECT_LT(Clock::now() - t0, std::chrono::seconds(7));
    closer.join();
    for (int f : fillers) ::close(f);
    s.Close();
}

TEST_F(SocketTest, CloseReturnsWhileThePeerKeepsSending) {
    connect();
    // The peer floods notifications without pause; the worker must still stop when asked.
    CYrnBuffer burst;
    for (int i = 1; i <= 64; ++i) {
        CYrnBuffer b = Peer::build(kPacketMessage, i, 5, std::string(900, 'f'), peer_->seq());
        burst.Append(b.Data(), b.Size());
    }
    std::atomic<bool> stop{false};
    std::thread flood([&] {
        auto end = Clock::now() + std::chrono::seconds(10);
        while (!stop && Clock::now() < end) {
            if (!peer_->sendBytes(burst)) break;
        }
    });
    ASSERT_TRUE(owner_.waitFor(100, 5000));
    auto t0 = Clock::now();
    sock_.Close();
    auto took = Clock::now() - t0;
    stop = true;
    flood.join();
    EXPECT_LT(took, std::chrono::seconds(3));
}

// A socket that never connected has no connection to send on: the request is refused at
// once, without a time-out.
TEST(SocketRequests, NoConnectionSendsNothing) {
    CYrnSocket s;
    YrnEnvelope env;
    env.waitFlag = 1;
    YrnRecord req, resp;
    int timedOut = 7;
    const auto t0 = Clock::now();
    EXPECT_EQ(s.SendRequestWait(&env, &req, &resp, &timedOut, 2000), 0);
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(500));
    EXPECT_NE(timedOut, 1);  // refused, not timed out
}
