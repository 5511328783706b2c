#pragma once
// A bare protocol client for tests: speaks the game connection's framing and codec with
// plain blocking sockets, so the server can be checked without the client's socket object.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "hqlv/config.h"
#include "netlib/codec.h"
#include "netlib/framing.h"
#include "netlib/message.h"

namespace hqlv::testing {

// A little-endian word as it must stand in a body.
inline int32_t W(const std::vector<uint8_t>& b, size_t off) {
    EXPECT_LE(off + 4, b.size());
    if (off + 4 > b.size()) return 0;
    return static_cast<int32_t>(b[off] | b[off + 1] << 8 | b[off + 2] << 16 |
                                uint32_t(b[off + 3]) << 24);
}
// Each listed word {offset, value} as it must stand in a body.
inline void ExpectWords(const std::vector<uint8_t>& b,
                        std::initializer_list<std::pair<size_t, int32_t>> words) {
    for (auto [off, v] : words) EXPECT_EQ(W(b, off), v) << "word at " << off;
}

struct WireMessage {
    int type = 0;  // 1 message, 2 response
    int messageId = 0;
    int code = 0;
    std::vector<uint8_t> data;
};

class WireClient {
public:
    ~WireClient() { Close(); }
    bool Connect(uint16_t port, bool hello = true) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return false;
        if (!hello) return true;
        netlib::CYrnBuffer h;
        netlib::YrnBuildHello("Hello! Game Channel.", 21, h);
        return SendBytes(h.Data(), h.Size());
    }
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    bool SendBytes(const void* p, size_t n) {
        return ::send(fd_, p, n, MSG_NOSIGNAL) == static_cast<ssize_t>(n);
    }
    // Sends one request; returns its message id.
    int Send(int code, const std::vector<uint8_t>& body, bool wait) {
        netlib::YrnRecord rec;
        rec.head[1] = code;
        rec.length = static_cast<int32_t>(body.size());
        rec.data = body.empty() ? nullptr : const_cast<uint8_t*>(body.data());
        netlib::CYrnBuffer enc, chunks, out;
        netlib::YrnEncodeMessage(rec, Key(), 128, netlib::kCodecAes, 0, enc);
        netlib::YrnSplitChunks(enc, chunks, netlib::kGameMaxData);
        int id = ++messageId_;
        netlib::YrnFramePackets(chunks, netlib::kPacketMessage, id, wait ? 1 : 0, true, seq_, out);
        SendBytes(out.Data(), out.Size());
        return id;
    }
    // Reads the next whole message within the time; nullopt on time-out or close.
    std::optional<WireMessage> Read(int timeoutMs) {
        while (true) {
            size_t size = 0;
            auto f = netlib::YrnNextPacket(in_.data(), in_.size(), netlib::kGameMaxData, &size);
            if (f == netlib::YrnFrame::Error) return std::nullopt;
            if (f == netlib::YrnFrame::Packet) {
                auto head = netlib::YrnReadHead(in_.data() + 4);
                netlib::YrnAppendFragment(asm_, head, in_.data() + 60, size - 60, 0, 0);
                in_.erase(in_.begin(), in_.begin() + static_cast<long>(size));
                if (!head.last) continue;
                netlib::YrnEnvelope* env = nullptr;
                netlib::YrnRecord* rec = nullptr;
                if (!netlib::YrnDecodeMessage(asm_.Data(), asm_.Size(), &env, &rec, Key(), 128,
                                              netlib::kCodecAes, 0, netlib::kGameMaxData))
                    return std::nullopt;
                WireMessage m{head.type, head.messageId, rec->head[1], {}};
                if (rec->length > 0) m.data.assign(rec->data, rec->data + rec->length);
                netlib::YrnFreeSocketMessage(env, rec);
                return m;
            }
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, timeoutMs) <= 0) return std::nullopt;
            uint8_t buf[4096];
            ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n <= 0) return std::nullopt;
            in_.insert(in_.end(), buf, buf + n);
        }
    }
    // True when the server closed the connection within the time.
    bool WaitClosed(int timeoutMs) {
        pollfd p{fd_, POLLIN, 0};
        while (::poll(&p, 1, timeoutMs) > 0) {
            uint8_t buf[4096];
            ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n <= 0) return true;
        }
        return false;
    }

private:
    static const uint8_t* Key() { return reinterpret_cast<const uint8_t*>(HQLV_GAME_AES_KEY); }
    int fd_ = -1;
    int messageId_ = 0;
    std::atomic<int32_t> seq_{0};
    std::vector<uint8_t> in_;
    netlib::CYrnBuffer asm_;
};

}  // namespace hqlv::testing
