// The server's test-only spoiling of one packet, read byte by byte on a bare socket: a
// length word 16 bytes short (the packet then fails its check), the back half of the packet
// dropped, the front half and then nothing more with the connection open; the next packet,
// or the first packet of the next answer to a named request; the packets after it whole.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hqlv/config.h"
#include "netlib/codec.h"
#include "netlib/framing.h"
#include "netlib/message.h"
#include "tools/server/game_server.h"

namespace hqlv::server {
namespace {

int32_t Le32(const uint8_t* p) {
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                   uint32_t(p[3]) << 24);
}

// A bare connection that takes the server's bytes as they come.
class RawClient {
public:
    explicit RawClient(uint16_t port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ok_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        netlib::CYrnBuffer h;
        netlib::YrnBuildHello("Hello! Game Channel.", 21, h);
        ok_ = ok_ && ::send(fd_, h.Data(), h.Size(), MSG_NOSIGNAL) == ssize_t(h.Size());
    }
    ~RawClient() { ::close(fd_); }
    bool ok() const { return ok_; }
    // Every byte that comes until the line is quiet for quietMs (or n bytes came).
    std::vector<uint8_t> Take(size_t n = SIZE_MAX, int quietMs = 300) {
        std::vector<uint8_t> got;
        while (got.size() < n) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, quietMs) <= 0) break;
            uint8_t buf[8192];
            const ssize_t r = ::recv(fd_, buf, std::min(sizeof buf, n - got.size()), 0);
            if (r <= 0) break;
            got.insert(got.end(), buf, buf + r);
        }
        return got;
    }
    // A waited request (its id as the server sees it).
    void Request(int code) {
        netlib::YrnRecord rec;
        rec.head[1] = code;
        netlib::CYrnBuffer enc, chunks, out;
        netlib::YrnEncodeMessage(rec, reinterpret_cast<const uint8_t*>(HQLV_GAME_AES_KEY), 128,
                                 netlib::kCodecAes, 0, enc);
        netlib::YrnSplitChunks(enc, chunks, netlib::kGameMaxData);
        netlib::YrnFramePackets(chunks, netlib::kPacketMessage, ++messageId_, 1, true, seq_, out);
        ::send(fd_, out.Data(), out.Size(), MSG_NOSIGNAL);
    }
    bool Open() {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 0) <= 0) return true;
        uint8_t b;
        return ::recv(fd_, &b, 1, MSG_PEEK) > 0;
    }

private:
    int fd_ = -1;
    bool ok_ = false;
    int messageId_ = 0;
    std::atomic<int32_t> seq_{0};
};

class Spoiling : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Start());
        raw = std::make_unique<RawClient>(server.Port());
        ASSERT_TRUE(client().ok());
        ASSERT_TRUE(server.WaitForClients(1, 3000));
    }
    // A whole packet stands at the front of the bytes: its length, and it passes its check.
    static size_t WholePacket(const std::vector<uint8_t>& b) {
        if (b.size() < 4) return 0;
        const size_t size = size_t(Le32(b.data())) + 4;
        if (size > b.size() || !netlib::YrnCheckPacket(b.data(), size, netlib::kGameMaxData))
            return 0;
        return size;
    }
    // Long enough that the packet's length word uses its second byte.
    std::vector<uint8_t> body = std::vector<uint8_t>(600, 7);
    GameServer server{ServerOptions{0, 2, 1, 4, 50, 0, [](const std::string&) {}}};
    std::unique_ptr<RawClient> raw;
    RawClient& client() { return *raw; }
};

TEST_F(Spoiling, TheNextPacketIsSpoiledOnceAndTheNextOneIsWhole) {
    ASSERT_TRUE(server.Notify(1, 300001, body));
    const std::vector<uint8_t> plain = client().Take();
    const size_t whole = WholePacket(plain);
    ASSERT_GT(whole, 512u);
    ASSERT_EQ(whole, plain.size());
    const struct {
        Spoil kind;
        size_t sent;         // bytes of the spoiled packet that go out
        int32_t lengthWord;  // what its first word says
    } rows[] = {
        {Spoil::kShortLength, whole, int32_t(whole) - 4 - 16},
        {Spoil::kDroppedTail, whole / 2, int32_t(whole) - 4},
    };
    for (const auto& r : rows) {
        ASSERT_TRUE(server.SpoilNext(1, r.kind));
        ASSERT_TRUE(server.Notify(1, 300001, body));
        ASSERT_TRUE(server.Notify(1, 300002, body));  // whole after it
        const std::vector<uint8_t> got = client().Take();
        ASSERT_EQ(got.size(), r.sent + whole) << int(r.kind);
        EXPECT_EQ(Le32(got.data()), r.lengthWord) << int(r.kind);
        // The spoiled packet fails its check however it is read.
        if (r.kind == Spoil::kShortLength) {
            EXPECT_EQ(
                netlib::YrnCheckPacket(got.data(), size_t(r.lengthWord) + 4, netlib::kGameMaxData),
                0);
        }
        const std::vector<uint8_t> next(got.begin() + long(r.sent), got.end());
        EXPECT_EQ(WholePacket(next), whole) << int(r.kind);
    }
    EXPECT_FALSE(server.SpoilNext(99, Spoil::kStall));
}

TEST_F(Spoiling, AStallSendsTheFrontHalfThenNothingMoreWithTheConnectionOpen) {
    ASSERT_TRUE(server.SpoilNext(1, Spoil::kStall));
    ASSERT_TRUE(server.Notify(1, 300001, body));
    const std::vector<uint8_t> front = client().Take();
    ASSERT_GE(front.size(), 4u);
    EXPECT_EQ(front.size(), (size_t(Le32(front.data())) + 4) / 2);
    ASSERT_TRUE(server.Notify(1, 300002, body));
    client().Request(201130);
    ASSERT_TRUE(server.WaitForRequest(201130, 3000).has_value());  // it still reads
    EXPECT_TRUE(client().Take(SIZE_MAX, 500).empty());
    EXPECT_TRUE(client().Open());
    EXPECT_EQ(server.Clients().size(), 1u);
}

TEST_F(Spoiling, AnAnswerToANamedRequestIsSpoiledAndNotTheNotificationsBeforeIt) {
    ASSERT_TRUE(server.SpoilNext(1, Spoil::kDroppedTail, 201130));
    ASSERT_TRUE(server.Notify(1, 300001, body));
    const std::vector<uint8_t> notice = client().Take();
    EXPECT_EQ(WholePacket(notice), notice.size());
    client().Request(201001);  // another request: answered whole
    const std::vector<uint8_t> other = client().Take();
    ASSERT_FALSE(other.empty());
    EXPECT_EQ(WholePacket(other), other.size());
    client().Request(201130);
    const std::vector<uint8_t> cut = client().Take();
    ASSERT_GE(cut.size(), 4u);
    EXPECT_EQ(cut.size(), (size_t(Le32(cut.data())) + 4) / 2);
    client().Request(201130);  // once only
    const std::vector<uint8_t> again = client().Take();
    ASSERT_FALSE(again.empty());
    EXPECT_EQ(WholePacket(again), again.size());
}

// A message of two packets: only the first is cut; the second still follows.
TEST_F(Spoiling, OnlyTheFirstPacketOfALongMessageIsCut) {
    ASSERT_TRUE(server.Notify(1, 300001, std::vector<uint8_t>(6000, 3)));
    const std::vector<uint8_t> plain = client().Take();
    const size_t first = WholePacket(plain);
    ASSERT_GT(first, 0u);
    ASSERT_LT(first, plain.size());
    ASSERT_TRUE(server.SpoilNext(1, Spoil::kDroppedTail));
    ASSERT_TRUE(server.Notify(1, 300001, std::vector<uint8_t>(6000, 3)));
    const std::vector<uint8_t> cut = client().Take();
    ASSERT_EQ(cut.size(), first / 2 + (plain.size() - first));
    // What follows the cut half is the message's second packet, whole.
    const std::vector<uint8_t> rest(cut.begin() + long(first / 2), cut.end());
    EXPECT_EQ(WholePacket(rest), rest.size());
}

}  // namespace
}  // namespace hqlv::server
