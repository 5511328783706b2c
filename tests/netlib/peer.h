#pragma once
// Test helpers: a scripted TCP peer on 127.0.0.1 that speaks the packet protocol, and an
// owner loop that collects the socket's 2025 messages.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "hqlv/config.h"
#include "netlib/codec.h"
#include "netlib/framing.h"
#include "netlib/message.h"
#include "platform/core/message.h"

namespace testpeer {

using namespace hqlv::netlib;

inline const uint8_t* gameKey() {
    return reinterpret_cast<const uint8_t*>(HQLV_GAME_AES_KEY);
}

// A listening socket on 127.0.0.1 at a free port.
class Listener {
public:
    explicit Listener(int backlog = 8) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fd_, backlog);
        socklen_t len = sizeof a;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
    }
    ~Listener() { ::close(fd_); }
    int port() const { return port_; }
    int fd() const { return fd_; }
    // Accepts one connection within the time; -1 when none came.
    int accept(int timeoutMs = 3000) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) return -1;
        return ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    }

private:
    int fd_ = -1;
    int port_ = 0;
};

inline bool readExact(int fd, void* out, size_t n, int timeoutMs = 3000) {
    auto* p = static_cast<uint8_t*>(out);
    size_t got = 0;
    while (got < n) {
        pollfd pf{fd, POLLIN, 0};
        if (::poll(&pf, 1, timeoutMs) <= 0) return false;
        ssize_t r = ::recv(fd, p + got, n - got, 0);
        if (r <= 0) return false;
        got += static_cast<size_t>(r);
    }
    return true;
}

inline bool writeAll(int fd, const void* data, size_t n) {
    auto* p = static_cast<const uint8_t*>(data);
    while (n) {
        ssize_t r = ::send(fd, p, n, MSG_NOSIGNAL);
        if (r <= 0) return false;
        p += r;
        n -= static_cast<size_t>(r);
    }
    return true;
}

inline int32_t le32(const uint8_t* p) {
    return int32_t(uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
                   (uint32_t(p[3]) << 24));
}

struct Packet {
    YrnPacketHead head;
    std::vector<uint8_t> data;
    std::vector<uint8_t> raw;
};

struct Received {
    int32_t messageId = 0;
    int32_t waitFlag = 0;
    int32_t code = 0;
    std::vector<uint8_t> body;
    int packets = 0;
};

// One accepted connection, speaking the protocol from the server's side.
class Peer {
public:
    explicit Peer(int fd) : fd_(fd) {}
    ~Peer() {
        if (fd_ >= 0) ::close(fd_);
    }
    int fd() const { return fd_; }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    bool readHello(std::string* text) {
        uint8_t w[4];
        if (!readExact(fd_, w, 4)) return false;
        int32_t n = le32(w);
        if (n < 0 || n > 4096) return false;
        std::string s(size_t(n), '\0');
        if (!readExact(fd_, s.data(), s.size())) return false;
        *text = s;
        return true;
    }
    bool readPacket(Packet* p, int timeoutMs = 3000) {
        uint8_t w[4];
        if (!readExact(fd_, w, 4, timeoutMs)) return false;
        int32_t L = le32(w);
        if (L < 57 || L > 4056) return false;
        p->raw.assign(w, w + 4);
        p->raw.resize(size_t(L) + 4);
        if (!readExact(fd_, p->raw.data() + 4, size_t(L), timeoutMs)) return false;
        if (!YrnCheckPacket(p->raw.data(), p->raw.size(), kGameMaxData)) return false;
        p->head = YrnReadHead(p->raw.data() + 4);
        p->data.assign(p->raw.begin() + 60, p->raw.end());
        return true;
    }
    // Reads the packets of one message and decodes it with the game codec.
    bool readMessage(Received* out, int timeoutMs = 3000) {
        CYrnMessageAssembler a;
        for (;;) {
            Packet p;
            if (!readPacket(&p, timeoutMs)) return false;
            ++out->packets;
            auto o = a.Feed(p.head, p.data.data(), p.data.size(), 0, 0);
            if (o == CYrnMessageAssembler::kComplete) break;
            if (o != CYrnMessageAssembler::kContinued) return false;
        }
        YrnEnvelope* env = nullptr;
        YrnRecord* rec = nullptr;
        if (!YrnDecodeMessage(a.Message().Data(), a.Message().Size(), &env, &rec, gameKey(), 128,
                              kCodecAes, 0, kGameMaxData))
            return false;
        out->messageId = env->messageId;
        out->waitFlag = env->waitFlag;
        out->code = rec->head[1];
        out->body.assign(rec->data, rec->data + rec->length);
        YrnFreeSocketMessage(env, rec);
        return true;
    }
    // Packets of one message (type 1 notification or type 2 response).
    static CYrnBuffer build(int type, int32_t id, int32_t code, const std::string& body,
                            std::atomic<int32_t>& seq, bool crc = true) {
        YrnRecord rec;
        rec.head[1] = code;
        rec.length = int32_t(body.size());
        rec.data = reinterpret_cast<uint8_t*>(const_cast<char*>(body.data()));
        CYrnBuffer enc, chunks, packets;
        YrnEncodeMessage(rec, gameKey(), 128, kCodecAes, 0, enc);
        YrnSplitChunks(enc, chunks, kGameMaxData);
        YrnFramePackets(chunks, type, id, 0, crc, seq, packets);
        return packets;
    }
    bool send(int type, int32_t id, int32_t code, const std::string& body) {
        CYrnBuffer b = build(type, id, code, body, seq_);
        return writeAll(fd_, b.Data(), b.Size());
    }
    bool sendBytes(const CYrnBuffer& b) { return writeAll(fd_, b.Data(), b.Size()); }
    std::atomic<int32_t>& seq() { return seq_; }

private:
    int fd_;
    std::atomic<int32_t> seq_{0};
};

// What the owner thread saw: one entry per 2025 message.
struct Seen {
    int32_t socket = 0;
    int32_t messageId = 0;
    int32_t waitFlag = 0;
    uint32_t objectId = 0;
    int32_t code = 0;
    std::string body;
};

// A worker loop standing in for the communication thread: records and frees every 2025.
class Owner {
public:
    Owner() {
        loop_.setThreadHandler([this](const hqlv::platform::Message& m) {
            if (m.id != kMsgSocketEvent) return;
            YrnEnvelope* e = YrnEnvelopeOf(m);
            YrnRecord* r = YrnRecordOf(m);
            Seen s;
            s.socket = e->socket;
            s.messageId = e->messageId;
            s.waitFlag = e->waitFlag;
            s.objectId = e->objectId;
            s.code = r->head[1];
            if (r->length > 0) s.body.assign(reinterpret_cast<char*>(r->data), size_t(r->length));
            YrnFreeSocketMessage(e, r);
            std::lock_guard g(mu_);
            seen_.push_back(s);
            cv_.notify_all();
        });
        loop_.start();
    }
    ~Owner() {
        loop_.quit();
        loop_.join();
    }
    hqlv::platform::ThreadId thread() const { return loop_.threadId(); }
    // Waits until at least n messages were seen.
    bool waitFor(size_t n, int timeoutMs = 3000) {
        std::unique_lock lk(mu_);
        return cv_.wait_for(lk, std::chrono::milliseconds(timeoutMs),
                            [&] { return seen_.size() >= n; });
    }
    std::vector<Seen> seen() {
        std::lock_guard g(mu_);
        return seen_;
    }
    void clear() {
        std::lock_guard g(mu_);
        seen_.clear();
    }

private:
    hqlv::platform::MessageLoop loop_;
    std::mutex mu_;
    std::condition_variable cv_;
    std::vector<Seen> seen_;
};

}  // namespace testpeer
