// The socket's worker and its own operations: the connection records with their keys, the
// worker thread with its socket window, reading through ReadAvailable and Receive, sending
// through Send, the start handshake's wait, and what connected means.
#include <gtest/gtest.h>

#include <poll.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "netlib/socket.h"
#include "peer.h"
#include "platform/core/wait_pump.h"

using namespace hqlv::netlib;
using namespace testpeer;

namespace {

const char kHello[] = "Hello! Game Channel.";

// Connects the socket to the listener with the game's hello; Connect's answer.
int connectWithHello(CYrnSocket& s, Listener& l, Owner& owner) {
    return s.Connect("127.0.0.1", l.port(), 2, 0, owner.thread(), 0, kHello, sizeof kHello, 0);
}

TEST(SocketRecords, FindAndFirstAnswerTheKeyWithTheRecord) {
    CYrnSocket s;
    std::string key = "junk";
    EXPECT_EQ(s.GetFirstConnection(&key), nullptr);
    EXPECT_EQ(key, "");
    ASSERT_EQ(s.AddConnection("host", 5), 1);
    ASSERT_EQ(s.AddConnection("", 0), 1);
    const YrnConnectionPtr named = s.FindConnection("host", 5, &key);
    ASSERT_NE(named, nullptr);
    EXPECT_EQ(key, "host:5");
    EXPECT_EQ(s.FindConnection("other", 7, &key), nullptr);
    EXPECT_EQ(key, "other:7");  // the key asked for, though no record has it
    const YrnConnectionPtr first = s.GetFirstConnection(&key);
    EXPECT_EQ(key, ":0");  // keys in order: the empty host first
    EXPECT_EQ(first, s.FindConnection("", 0));
    EXPECT_NE(first, named);
    // Without a place for the key the answers are the same.
    EXPECT_EQ(s.FindConnection("host", 5), named);
    EXPECT_EQ(s.GetFirstConnection(), first);
}

// Counts the socket's reads and sends and the threads its worker runs on.
class Watched : public CYrnSocket {
public:
    // The worker calls the overrides below: it stops before their members go.
    ~Watched() override { Close(); }
    using CYrnSocket::ReadAvailable;
    ssize_t Receive(int socket, uint8_t* buffer, size_t length, const std::string& host,
                    int port) override {
        const ssize_t r = CYrnSocket::Receive(socket, buffer, length, host, port);
        if (r > 0) received += static_cast<size_t>(r);
        return r;
    }
    ssize_t Send(int socket, const uint8_t* data, size_t length, const std::string& host,
                 int port) override {
        const ssize_t r = CYrnSocket::Send(socket, data, length, host, port);
        if (r > 0) sent += static_cast<size_t>(r);
        return r;
    }
    hqlv::platform::Handle CreateSocketWindow() override {
        {
            std::lock_guard g(mu);
            windowThreads.push_back(std::this_thread::get_id());
        }
        return failWindow ? 0 : CYrnSocket::CreateSocketWindow();
    }
    void OnNetworkEvent(const hqlv::platform::Message& msg) override {
        {
            std::lock_guard g(mu);
            eventThreads.push_back(std::this_thread::get_id());
        }
        CYrnSocket::OnNetworkEvent(msg);
    }
    std::atomic<size_t> received{0}, sent{0};
    std::atomic<bool> failWindow{false};
    std::mutex mu;
    std::vector<std::thread::id> windowThreads, eventThreads;
};

TEST(SocketWorker, TheWindowIsMadeAndTheEventsHandledOnTheWorkerThread) {
    Listener l;
    Owner owner;
    Watched s;
    s.SetCodec(gameKey(), 128, kCodecAes, 0);
    ASSERT_EQ(connectWithHello(s, l, owner), 1);
    Peer peer(l.accept());
    std::string hello;
    ASSERT_TRUE(peer.readHello(&hello));
    // The hello went out through Send: its length word and its text.
    EXPECT_EQ(s.sent.load(), 4 + sizeof kHello);
    ASSERT_TRUE(peer.send(kPacketMessage, 1, 4321, "news"));
    ASSERT_TRUE(owner.waitFor(1));
    EXPECT_EQ(owner.seen()[0].code, 4321);
    EXPECT_GT(s.received.load(), 0u);  // read through Receive
    {
        std::lock_guard g(s.mu);
        ASSERT_EQ(s.windowThreads.size(), 1u);
        EXPECT_NE(s.windowThreads[0], std::this_thread::get_id());
        ASSERT_FALSE(s.eventThreads.empty());
        for (const auto& id : s.eventThreads) EXPECT_EQ(id, s.windowThreads[0]);
    }
    // A request goes out through Send too.
    const size_t before = s.sent.load();
    YrnEnvelope env;
    YrnRecord req;
    req.head[1] = 7;
    ASSERT_EQ(s.SendRequestWait(&env, &req, nullptr, nullptr, 0), 1);
    EXPECT_GT(s.sent.load(), before);
    // Connected again: a new worker makes a new window.
    s.Close();
    ASSERT_EQ(connectWithHello(s, l, owner), 1);
    Peer again(l.accept());
    std::lock_guard g(s.mu);
    ASSERT_EQ(s.windowThreads.size(), 2u);
    EXPECT_NE(s.windowThreads[1], std::this_thread::get_id());
}

TEST(SocketWorker, AWorkerWithoutItsWindowLeavesTheStartUnansweredAndTheConnectFails) {
    Listener l;
    Owner owner;
    Watched s;
    s.failWindow = true;
    EXPECT_EQ(connectWithHello(s, l, owner), 0);
    EXPECT_EQ(s.GetSocket(), -1);
    EXPECT_EQ(s.GetObjectId(), 0u);
    EXPECT_EQ(s.GetFirstConnection(), nullptr);
    std::lock_guard g(s.mu);
    EXPECT_EQ(s.windowThreads.size(), 1u);
    EXPECT_TRUE(s.eventThreads.empty());
}

// The worker leaves the socket's bytes to the test, which reads them with ReadAvailable.
class ManualReader : public Watched {
public:
    ~ManualReader() override { Close(); }
    int OnRead() override {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return 1;
    }
    ssize_t Receive(int socket, uint8_t* buffer, size_t length, const std::string& host,
                    int port) override {
        ++calls;
        if (flood) {
            std::memset(buffer, 0x5A, length);  // a peer that never pauses
            return static_cast<ssize_t>(length);
        }
        return Watched::Receive(socket, buffer, length, host, port);
    }
    int OnReceiveData(YrnConnection&, const uint8_t*, size_t n) override {
        if (!take) return 0;
        taken += n;
        return 1;
    }
    std::atomic<int> calls{0};
    std::atomic<bool> flood{false}, take{false};
    size_t taken = 0;
};

bool readable(int fd, int ms = 3000) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, ms) == 1;
}

TEST(SocketWorker, ReadAvailableFillsTheRecordAndNamesItUnderItsKey) {
    Listener l;
    Owner owner;
    ManualReader s;
    ASSERT_EQ(connectWithHello(s, l, owner), 1);
    Peer peer(l.accept());
    const std::string key = "127.0.0.1:" + std::to_string(l.port());
    const YrnConnectionPtr rec = s.FindConnection("127.0.0.1", l.port());
    ASSERT_NE(rec, nullptr);
    ASSERT_TRUE(writeAll(peer.fd(), "abc", 3));
    ASSERT_TRUE(readable(s.GetSocket()));
    std::map<std::string, YrnConnectionPtr> records;
    EXPECT_EQ(s.ReadAvailable(records), 3u);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records.begin()->first, key);
    EXPECT_EQ(records.begin()->second, rec);
    ASSERT_EQ(rec->receive.Size(), 3u);
    EXPECT_EQ(std::memcmp(rec->receive.Data(), "abc", 3), 0);
    // Nothing more waiting: nothing read, no record named.
    records.clear();
    EXPECT_EQ(s.ReadAvailable(records), 0u);
    EXPECT_TRUE(records.empty());
    // Bytes that the hook takes stay out of the buffer; the record is named all the same.
    s.take = true;
    ASSERT_TRUE(writeAll(peer.fd(), "defg", 4));
    ASSERT_TRUE(readable(s.GetSocket()));
    EXPECT_EQ(s.ReadAvailable(records), 4u);
    EXPECT_EQ(s.taken, 4u);
    EXPECT_EQ(rec->receive.Size(), 3u);
    EXPECT_EQ(records.count(key), 1u);
    s.take = false;
    // A peer that never pauses: one call reads a bounded number of blocks and returns.
    s.flood = true;
    s.calls = 0;
    records.clear();
    EXPECT_EQ(s.ReadAvailable(records), size_t{kReadBlocksPerEvent} * 4096);
    EXPECT_EQ(s.calls.load(), kReadBlocksPerEvent);
    s.flood = false;
    // With no record to take them, no bytes are read.
    s.ClearConnections();
    s.calls = 0;
    records.clear();
    ASSERT_TRUE(writeAll(peer.fd(), "h", 1));
    ASSERT_TRUE(readable(s.GetSocket()));
    EXPECT_EQ(s.ReadAvailable(records), 0u);
    EXPECT_EQ(s.calls.load(), 0);
    EXPECT_TRUE(records.empty());
}

// Once its worker runs (its first event, the socket writable, comes from the running loop,
// which already answers the start message), closes itself the first time the connecting
// thread's wait pump runs while it waits to post the start message.
class StopWhileStarting : public CYrnSocket {
public:
    ~StopWhileStarting() override { Close(); }
    void OnNetworkEvent(const hqlv::platform::Message& msg) override {
        {
            std::lock_guard g(mu);
            running = true;
            cv.notify_all();
        }
        CYrnSocket::OnNetworkEvent(msg);
    }
    int WaitThreadStart() override {
        {
            std::unique_lock lk(mu);
            if (!cv.wait_for(lk, std::chrono::seconds(3), [this] { return running; })) return 0;
        }
        hqlv::platform::setWaitPump([this] {
            if (!stopped.exchange(true)) Close();
        });
        const int r = CYrnSocket::WaitThreadStart();
        hqlv::platform::setWaitPump({});
        return r;
    }
    std::mutex mu;
    std::condition_variable cv;
    bool running = false;
    std::atomic<bool> stopped{false};
};

TEST(SocketWorker, AStopDuringTheWaitBeforeTheFirstStartPostEndsTheConnect) {
    Listener l;
    Owner owner;
    StopWhileStarting s;
    EXPECT_EQ(connectWithHello(s, l, owner), 0);
    EXPECT_TRUE(s.stopped.load());  // the wait came before the post, and ran the pump
    EXPECT_EQ(s.GetSocket(), -1);
    EXPECT_EQ(s.GetObjectId(), 0u);
}

TEST(SocketConnected, ConnectedIsHavingAPeerAddress) {
    CYrnSocket s;
    EXPECT_EQ(s.IsConnected(), 0);  // no socket at all
    ASSERT_EQ(s.Bind("127.0.0.1", 0), 1);
    EXPECT_GT(s.GetSocket(), 0);
    EXPECT_EQ(s.IsConnected(), 0);  // a socket, but no peer
    Listener l;
    Owner owner;
    ASSERT_EQ(connectWithHello(s, l, owner), 1);
    Peer peer(l.accept());
    std::string hello;
    ASSERT_TRUE(peer.readHello(&hello));
    EXPECT_EQ(s.IsConnected(), 1);
    // The peer closes its end: the system may still name the peer, but the stream has ended
    // and the socket is connected no more.
    peer.close();
    for (int i = 0; i < 600 && !s.IsStreamBroken(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(s.IsStreamBroken(), 1);
    EXPECT_EQ(s.IsConnected(), 0);
}

}  // namespace
