// Needs the local game server; the build links it in when the tools are built.
#ifdef HQLV_SERVER_EXE
#include "tools/server/game_server.h"

#include <gtest/gtest.h>

#include <latch>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "wire_client.h"

namespace hqlv::server {
namespace {

using hqlv::testing::WireClient;

using hqlv::testing::ExpectWords;
using hqlv::testing::W;
std::vector<uint8_t> EnterHead(int user, int table, int chair) {
    std::vector<uint8_t> b(108, 0);
    auto put = [&](size_t off, int32_t v) { std::memcpy(b.data() + off, &v, 4); };
    put(0, user);
    put(8, 77);
    put(12, 301);
    put(16, table);
    put(20, chair);
    return b;
}

struct ServerFixture : ::testing::Test {
    std::mutex mu;
    std::vector<std::string> lines;
    GameServer server{ServerOptions{0, 2, 1, 4, 50, 0, [this](const std::string& l) {
                                        std::lock_guard<std::mutex> g(mu);
                                        lines.push_back(l);
                                    }}};
    void SetUp() override { ASSERT_TRUE(server.Start()); }
    bool Logged(const std::string& part) {
        std::lock_guard<std::mutex> g(mu);
        for (auto& l : lines)
            if (l.find(part) != std::string::npos) return true;
        return false;
    }
};

using GameServerWire = ServerFixture;

TEST_F(GameServerWire, AnswersOnlyWaitedRequests) {
    WireClient c;
    ASSERT_TRUE(c.Connect(server.Port()));
    c.Send(201020, std::vector<uint8_t>(16, 0), false);  // keep-alive: no answer
    int id = c.Send(201001, {}, true);
    auto m = c.Read(3000);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->type, 2);
    EXPECT_EQ(m->messageId, id);
    EXPECT_EQ(m->code, 10);
    ASSERT_EQ(m->data.size(), 28u);
    EXPECT_EQ(W(m->data, 0), 2);
    EXPECT_EQ(W(m->data, 4), 1);
    auto keep = server.WaitForRequest(201020, 1000);
    ASSERT_TRUE(keep);
    EXPECT_FALSE(keep->wait);
    EXPECT_TRUE(Logged("hello \"Hello! Game Channel.\" (21 bytes)"));
}

TEST_F(GameServerWire, SeatsPlayersAndTellsTheTable) {
    WireClient a, b, c;
    ASSERT_TRUE(a.Connect(server.Port()));
    ASSERT_TRUE(b.Connect(server.Port()));
    ASSERT_TRUE(c.Connect(server.Port()));
    a.Send(200110, EnterHead(1001, 5, 0), true);
    auto ra = a.Read(3000);
    ASSERT_TRUE(ra);
    EXPECT_EQ(ra->code, 200500);
    EXPECT_EQ(W(ra->data, 0), 5);  // game data: table, chair
    EXPECT_EQ(W(ra->data, 4), 0);
    b.Send(200110, EnterHead(1002, 5, 1), true);
    auto rb = b.Read(3000);
    ASSERT_TRUE(rb);
    EXPECT_EQ(rb->code, 200500);
    auto sat = a.Read(3000);  // the first player hears of the second
    ASSERT_TRUE(sat);
    EXPECT_EQ(sat->type, 1);
    EXPECT_EQ(sat->code, 211011);
    ASSERT_EQ(sat->data.size(), 136u);
    EXPECT_EQ(W(sat->data, 0), 1002);
    EXPECT_EQ(W(sat->data, 16), 1);
    // The taken chair answers with the table's player list.
    c.Send(200110, EnterHead(1003, 5, 1), true);
    auto rc = c.Read(3000);
    ASSERT_TRUE(rc);
    EXPECT_EQ(rc->code, 200510);
    EXPECT_EQ(W(rc->data, 8), 2);
    ASSERT_EQ(rc->data.size(), 60u + 2 * 136u);
    // Leaving tells the others who is gone.
    b.Send(201120, std::vector<uint8_t>(96, 0), false);
    auto left = a.Read(3000);
    ASSERT_TRUE(left);
    EXPECT_EQ(left->code, 211010);
    ExpectWords(left->data, {{0, 1002}, {4, 1}, {28, 5}});
}

TEST_F(GameServerWire, TableChatGoesToTheOthersAndTheSecondChatComesBackToAll) {
    WireClient a, b;
    ASSERT_TRUE(a.Connect(server.Port()));
    ASSERT_TRUE(b.Connect(server.Port()));
    a.Send(200110, EnterHead(1001, 5, 0), true);
    ASSERT_TRUE(a.Read(3000));
    b.Send(200110, EnterHead(1002, 5, 1), true);
    ASSERT_TRUE(b.Read(3000));
    ASSERT_TRUE(a.Read(3000));  // 211011 for b
    std::vector<uint8_t> chat(128, 0);
    std::memcpy(chat.data(), "\xE9\x03\x00\x00", 4);  // user 1001
    std::memcpy(chat.data() + 48, "hi<z=3>", 7);
    a.Send(201210, chat, false);
    auto relayed = b.Read(3000);
    ASSERT_TRUE(relayed);
    EXPECT_EQ(relayed->code, 201210);
    EXPECT_EQ(relayed->data, chat);  // as sent
    std::memcpy(chat.data() + 48, "echo", 5);
    a.Send(201211, chat, false);
    for (WireClient* c : {&a, &b}) {
        auto m = c->Read(3000);  // the sender heard no 201210 of its own before this
        ASSERT_TRUE(m);
        EXPECT_EQ(m->code, 211200);
        ASSERT_EQ(m->data.size(), 36u + 5u);
        EXPECT_EQ(W(m->data, 0), 1001);
        EXPECT_EQ(W(m->data, 8), 8);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(m->data.data() + 36)), "echo");
    }
}

TEST_F(GameServerWire, MalformedPacketClosesOnlyThatClient) {
    WireClient good, bad;
    ASSERT_TRUE(good.Connect(server.Port()));
    ASSERT_TRUE(bad.Connect(server.Port()));
    ASSERT_TRUE(server.WaitForClients(2, 3000));
    // A packet length no packet can have.
    int32_t junk[4] = {56, 1, 1, 0};
    bad.SendBytes(junk, sizeof junk);
    EXPECT_TRUE(bad.WaitClosed(3000));
    int id = good.Send(201001, {}, true);
    auto m = good.Read(3000);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->messageId, id);
    EXPECT_TRUE(Logged("malformed packet: bad length"));
}

TEST_F(GameServerWire, BadHelloAndBadCrcClose) {
    WireClient c;
    ASSERT_TRUE(c.Connect(server.Port(), false));
    int32_t hugeHello = 1 << 30;
    c.SendBytes(&hugeHello, 4);
    EXPECT_TRUE(c.WaitClosed(3000));
    EXPECT_TRUE(Logged("malformed packet: bad hello length"));

    // A valid packet with one flipped data byte fails its CRC.
    WireClient d;
    ASSERT_TRUE(d.Connect(server.Port()));
    netlib::CYrnBuffer chunks, out, enc;
    std::vector<uint8_t> body(10, 1);
    netlib::YrnRecord rec;
    rec.head[1] = 201001;
    enc.Assign("0123456789abcdef0123", 20);
    netlib::YrnSplitChunks(enc, chunks, 4000);
    std::atomic<int32_t> seq{0};
    netlib::YrnFramePackets(chunks, 1, 1, 1, true, seq, out);
    out.Data()[out.Size() - 1] ^= 0xFF;
    d.SendBytes(out.Data(), out.Size());
    EXPECT_TRUE(d.WaitClosed(3000));
    EXPECT_TRUE(Logged("malformed packet: bad check"));
}

TEST_F(GameServerWire, OverridesSilenceAndNotifications) {
    WireClient c;
    ASSERT_TRUE(c.Connect(server.Port()));
    ASSERT_TRUE(server.WaitForClients(1, 3000));
    server.SetReply(201303, Reply{211425, {0x20, 0x4E, 0, 0}});
    c.Send(201303, std::vector<uint8_t>(192, 0), true);
    auto m = c.Read(3000);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->code, 211425);
    EXPECT_EQ(W(m->data, 0), 20000);
    server.SetSilent(201001, true);
    c.Send(201001, {}, true);
    EXPECT_FALSE(c.Read(300));
    int client = server.Clients().at(0);
    ASSERT_TRUE(server.Notify(client, 211138, {0, 0, 0, 0, 0, 0, 0, 0, 'h', 'i', 0}));
    auto n = c.Read(3000);
    ASSERT_TRUE(n);
    EXPECT_EQ(n->type, 1);
    EXPECT_EQ(n->code, 211138);
    EXPECT_EQ(n->data.size(), 11u);
    ASSERT_TRUE(server.Disconnect(client));
    EXPECT_TRUE(c.WaitClosed(3000));
}

// Reads until the response to `messageId` arrives; notifications on the way are skipped.
std::optional<hqlv::testing::WireMessage> ReadResponse(WireClient& c, int messageId,
                                                       int timeoutMs) {
    while (auto m = c.Read(timeoutMs)) {
        if (m->type == 2 && m->messageId == messageId) return m;
    }
    return std::nullopt;
}

TEST_F(GameServerWire, ManyClientsAtOnceWithOneMisbehaving) {
    constexpr int kClients = 16;
    constexpr int kBad = kClients / 2;
    struct Outcome {
        int version = 0, enter = 0, table = -1, chair = -1;
    };
    std::vector<Outcome> out(kClients);
    std::latch entered(kClients - 1), release(1);
    std::vector<std::thread> threads;
    for (int i = 0; i < kClients; ++i) {
        threads.emplace_back([&, i] {
            WireClient c;
            bool connected = c.Connect(server.Port());
            if (i == kBad) {
                // One client breaks the framing in the middle of the crowd.
                int32_t junk[2] = {-1, 0};
                if (connected) c.SendBytes(junk, sizeof junk);
                c.WaitClosed(3000);
                return;
            }
            if (connected) {
                int v = c.Send(201001, {}, true);
                if (auto m = ReadResponse(c, v, 5000)) out[i].version = m->code;
                int e = c.Send(200110, EnterHead(5000 + i, i / 4, i % 4), true);
                if (auto m = ReadResponse(c, e, 5000)) {
                    out[i].enter = m->code;
                    out[i].table = W(m->data, 0);
                    out[i].chair = W(m->data, 4);
                }
            }
            // Everyone stays connected until the seats have been looked at.
            entered.count_down();
            release.wait();
        });
    }
    entered.wait();
    std::set<std::pair<int, int>> held;
    for (int id : server.Clients())
        if (auto seat = server.Seat(id)) held.insert({seat->table, seat->chair});
    release.count_down();
    for (auto& t : threads) t.join();

    std::set<std::pair<int, int>> expected;
    for (int i = 0; i < kClients; ++i) {
        if (i == kBad) continue;
        expected.insert({i / 4, i % 4});
        EXPECT_EQ(out[i].version, 10) << "client " << i;
        EXPECT_EQ(out[i].enter, 200500) << "client " << i;
        EXPECT_EQ(out[i].table, i / 4) << "client " << i;
        EXPECT_EQ(out[i].chair, i % 4) << "client " << i;
    }
    EXPECT_EQ(held, expected);
    EXPECT_TRUE(Logged("malformed packet: bad length"));
    int enters = 0;
    for (const Request& r : server.Received()) enters += r.id == 200110;
    EXPECT_EQ(enters, kClients - 1);
    for (int id = 1; id <= kClients; ++id) EXPECT_TRUE(server.WaitForClosed(id, 3000));
}

// A game layer plugged into the server takes its own ids and its game data.
struct DiscardGame : GameHandler {
    int seen = 0, closed = 0;
    bool OnRequest(GameServer& server, const Request& r, Reply& reply) override {
        if (r.id != 229010) return false;
        ++seen;
        // A game layer pushes its own notifications from inside a handler.
        server.Notify(r.client, 211920, {5});
        reply.code = 10;
        reply.data = r.body;  // echo
        return true;
    }
    std::optional<std::vector<uint8_t>> GameData(GameServer&, int) override {
        return std::vector<uint8_t>{7, 7, 7};
    }
    void OnClientClosed(GameServer&, int) override { ++closed; }
};

TEST_F(GameServerWire, GameLayerPlugsIn) {
    auto game = std::make_shared<DiscardGame>();
    server.SetGameHandler(game);
    WireClient c;
    ASSERT_TRUE(c.Connect(server.Port()));
    c.Send(229010, {1, 2, 3, 4}, true);
    auto pushed = c.Read(3000);
    ASSERT_TRUE(pushed);
    EXPECT_EQ(pushed->type, 1);
    EXPECT_EQ(pushed->code, 211920);
    auto m = c.Read(3000);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->code, 10);
    EXPECT_EQ(m->data, (std::vector<uint8_t>{1, 2, 3, 4}));
    c.Send(200110, EnterHead(1001, 1, 1), true);
    auto e = c.Read(3000);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->code, 200500);
    EXPECT_EQ(e->data, (std::vector<uint8_t>{7, 7, 7}));
    // An id nobody knows is answered as unsupported when the client waits.
    c.Send(987654, {}, true);
    auto u = c.Read(3000);
    ASSERT_TRUE(u);
    EXPECT_EQ(u->code, 10000);
    int id = server.Clients().at(0);
    c.Close();
    EXPECT_TRUE(server.WaitForClosed(id, 3000));
    EXPECT_EQ(game->seen, 1);
    EXPECT_EQ(game->closed, 1);
}

}  // namespace
}  // namespace hqlv::server

#endif  // HQLV_SERVER_EXE
