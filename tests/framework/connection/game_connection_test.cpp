// Needs the local game server; the build links it in when the tools are built.
#ifdef HQLV_SERVER_EXE
#include "framework/connection/game_connection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "framework/connection/wire_text.h"
#include "netlib/message.h"
#include "netlib/socket.h"
#include "platform/core/clock.h"
#include "platform/core/message.h"
#include "tools/server/game_server.h"
#include "wire_client.h"

namespace hqlv::framework {
namespace {

using hqlv::server::GameServer;
using hqlv::server::Reply;
using hqlv::server::ServerOptions;

using hqlv::testing::ExpectWords;
using hqlv::testing::W;

// The application's side, with plain records.
struct TestHost : GameConnectionHost {
    HallEntry entry{"HqLv", 21303, 2, 1};
    std::string machine = "0011223344556677889900aa0000000";
    std::vector<uint8_t> own = std::vector<uint8_t>(136, 0);
    std::vector<uint8_t> block = std::vector<uint8_t>(64, 0xCC);
    int inGame = -1, entered = 0, cursorDepth = 0, maxCursorDepth = 0, tooLittle = 0;
    bool activityEnabled = false;
    std::vector<ActivityEntry> activities;
    std::vector<uint8_t> players;
    std::vector<std::string> chat;

    TestHost() {
        std::memcpy(own.data(), "\x40\xE2\x01\x00", 4);  // user 123456
        own[4] = 1;                                      // flag word
        std::memcpy(own.data() + 36, "me", 2);
    }
    HallEntry& Entry() override { return entry; }
    std::string MachineId() override { return machine; }
    void WaitCursorBegin() override { maxCursorDepth = std::max(maxCursorDepth, ++cursorDepth); }
    void WaitCursorEnd() override { --cursorDepth; }
    bool MakeOwnPlayerEntry(std::vector<uint8_t>& e, int& flag) override {
        if (W(own, 0) == 0) return false;
        e = own;
        flag = W(own, 4);
        return true;
    }
    int PlayerChair(int userId) override { return userId == 123456 ? 2 : -1; }
    int OwnSeatSilver() override { return 7000; }
    std::string OwnPlayerName() override { return "我"; }
    void SetActivityConfig(bool enabled, const std::vector<ActivityEntry>& e) override {
        activityEnabled = enabled;
        activities = e;
    }
    void TableViewEnteredGame() override { ++entered; }
    void SetInGame(int v) override { inGame = v; }
    std::span<uint8_t> GameDataBlock() override { return block; }
    void TakePlayerList(const uint8_t* d, size_t n) override { players.assign(d, d + n); }
    void SilverBelowRoomMinimum(const uint8_t*, size_t) override { ++tooLittle; }
    void SilverAboveRoomMaximum(const uint8_t*, size_t) override {}
    void AppendChatMarkup(const std::string& m) override { chat.push_back(m); }
};

// The owner thread: collects every message 2025 and frees its blocks.
struct OwnerThread {
    platform::MessageLoop loop;
    std::mutex mu;
    std::condition_variable cv;
    std::vector<std::pair<int, std::vector<uint8_t>>> got;  // code, data
    OwnerThread() {
        loop.setThreadHandler([this](const platform::Message& m) {
            if (m.id != netlib::kMsgSocketEvent) return;
            auto* env = netlib::YrnEnvelopeOf(m);
            auto* rec = netlib::YrnRecordOf(m);
            std::vector<uint8_t> d;
            if (rec && rec->length > 0) d.assign(rec->data, rec->data + rec->length);
            {
                std::lock_guard<std::mutex> g(mu);
                got.emplace_back(rec ? rec->head[1] : 0, std::move(d));
            }
            netlib::YrnFreeSocketMessage(env, rec);
            cv.notify_all();
        });
        loop.start();
    }
    ~OwnerThread() {
        loop.quit();
        loop.join();
    }
    bool WaitFor(int code, int timeoutMs, std::vector<uint8_t>* data = nullptr) {
        std::unique_lock<std::mutex> l(mu);
        return cv.wait_for(l, std::chrono::milliseconds(timeoutMs), [&] {
            for (auto& [c, d] : got)
                if (c == code) {
                    if (data) *data = d;
                    return true;
                }
            return false;
        });
    }
};

// A connection whose time-outs are short, for the time-out cases.
struct QuickConnection : CGameConnection {
    using CGameConnection::CGameConnection;
    int timeoutSec = 1;
    int GetRequestTimeout(int) override { return timeoutSec; }
};

struct ConnectionFixture : ::testing::Test {
    GameServer server{ServerOptions{0, 2, 1, 4, 50, 4, [](const std::string&) {}}};
    TestHost host;
    OwnerThread owner;
    QuickConnection conn{&host};

    void SetUp() override {
        ASSERT_TRUE(server.Start());
        ASSERT_TRUE(host.entry.ApplyHallCommandLine("77|127.0.0.1|301|5|0|123456|17|2|0|0|桌|" +
                                                    std::to_string(server.Port()) + "|4|0|9"));
        conn.InitCodec();
        conn.SetOwnerThread(owner.loop.threadId());
        conn.timeoutSec = 10;
    }
    void Connect() {
        int flag = 0;
        ASSERT_NE(conn.Connect("", host.entry.GetServerHost(), host.entry.GetServerPort(), &flag),
                  0);
        EXPECT_EQ(flag, 0);
        ASSERT_TRUE(server.WaitForClients(1, 3000));
    }
};

using GameConnectionFlow = ConnectionFixture;

TEST_F(GameConnectionFlow, StartUpAndEnterGameWithExactBodies) {
    Connect();
    EXPECT_EQ(conn.GetServerPort(), server.Port());
    EXPECT_EQ(conn.GetServerHost(), "127.0.0.1");
    std::string text;
    int major = 0, minor = 0;
    ASSERT_EQ(conn.CheckVersion(text, &major, &minor), 1);
    EXPECT_EQ(text, "");
    auto v = server.WaitForRequest(201001, 1000);
    ASSERT_TRUE(v);
    EXPECT_TRUE(v->wait);
    EXPECT_TRUE(v->body.empty());

    ASSERT_EQ(conn.GetActivityConfig(), 1);
    EXPECT_TRUE(host.activityEnabled);
    ASSERT_EQ(host.activities.size(), 2u);
    EXPECT_EQ(host.activities[0].valueA, 10);
    EXPECT_EQ(host.activities[1].valueB, 2000);

    // Option B without 0x40: only the 108-byte head goes out.
    ASSERT_EQ(conn.EnterGame(text), 1);
    auto e = server.WaitForRequest(200110, 1000);
    ASSERT_TRUE(e);
    RequestContext ctx{host.entry, host.machine};
    EXPECT_EQ(e->body, BuildEnterGameHeadBody(ctx, 123456, 1, false));
    EXPECT_EQ(host.entered, 1);
    EXPECT_EQ(host.inGame, 1);
    // The game data (longer than the block) filled the block and no more.
    EXPECT_EQ(W(host.block, 0), 17);
    EXPECT_EQ(W(host.block, 4), 2);
    EXPECT_EQ(conn.GetRequestStats().count, 3u);
    EXPECT_EQ(host.cursorDepth, 0);
    EXPECT_EQ(host.maxCursorDepth, 2);

    // With 0x40 the own player entry follows: 244 bytes.
    host.entry.SetHallWord(73, 0x40);
    ASSERT_EQ(conn.EnterGame(text), 1);
    auto e2 = server.WaitForRequest(200110, 1000, 2);
    ASSERT_TRUE(e2);
    ASSERT_EQ(e2->body.size(), 244u);
    EXPECT_TRUE(std::equal(host.own.begin(), host.own.end(), e2->body.begin() + 108));

    // Without an own record nothing is sent.
    host.own.assign(136, 0);
    EXPECT_EQ(conn.EnterGame(text), 0);
    EXPECT_EQ(text, "对象不存在。");
}

TEST_F(GameConnectionFlow, TableFullGivesThePlayerList) {
    Connect();
    std::vector<uint8_t> list(60 + 136, 0);
    list[8] = 1;
    server.SetReply(200110, Reply{200510, list});
    std::string text;
    ASSERT_EQ(conn.EnterGame(text), 1);
    EXPECT_EQ(host.players, list);
    EXPECT_EQ(host.entered, 0);
    server.SetReply(200110, Reply{210087, {}});
    EXPECT_EQ(conn.EnterGame(text), 0);
    EXPECT_EQ(text, "进入游戏失败，请等待本局结果提交。");
    server.SetReply(200110, Reply{210070, {}});
    EXPECT_EQ(conn.EnterGame(text), 0);
    EXPECT_EQ(text, "进入游戏失败，请重新开始。");
}

TEST_F(GameConnectionFlow, NewerServerVersion) {
    Connect();
    std::string text;
    int major = 0, minor = 0;
    server.SetVersion(2, 3);
    EXPECT_EQ(conn.CheckVersion(text, &major, &minor), 0);
    EXPECT_EQ(text, "您的游戏程序需要更新。");
    EXPECT_EQ(minor, 3);
    EXPECT_EQ(major, 0);
    server.SetVersion(3, 0);
    EXPECT_EQ(conn.CheckVersion(text, &major, &minor), 0);
    EXPECT_EQ(text, "您的游戏程序太旧了,必须下载新的程序才能玩游戏。");
    EXPECT_EQ(major, 3);
    // A reply too short for the two version words is the busy case, not a read past it.
    server.SetReply(201001, Reply{10, {2, 0, 0}});
    EXPECT_EQ(conn.CheckVersion(text, &major, &minor), 0);
    EXPECT_EQ(text, "服务器繁忙，请稍候再试。");
}

TEST_F(GameConnectionFlow, ResultCodesAndTexts) {
    Connect();
    RequestResult r;
    // 60031: the server's text, bounded by the reply (no terminator sent), no data.
    std::string gbk = TextToWire("服务器维护");
    server.SetReply(201140, Reply{60031, std::vector<uint8_t>(gbk.begin(), gbk.end())});
    EXPECT_EQ(conn.SendRequest(r, 201140, {}, 1), 0);
    EXPECT_EQ(r.code, 60031);
    EXPECT_EQ(r.text, "服务器维护");
    EXPECT_TRUE(r.reply.empty());
    // A game code gets its text; an unknown code keeps the caller's.
    server.SetReply(201140, Reply{210070, {1, 2, 3}});
    EXPECT_EQ(conn.SendRequest(r, 201140, {}, 1), 1);
    EXPECT_EQ(r.text, "进入游戏失败，请重新开始。");
    EXPECT_EQ(r.reply, (std::vector<uint8_t>{1, 2, 3}));
    r.text = "mine";
    server.SetReply(201140, Reply{12345, {}});
    EXPECT_EQ(conn.SendRequest(r, 201140, {}, 1), 1);
    EXPECT_EQ(r.code, 12345);
    EXPECT_EQ(r.text, "mine");
    // Sent without waiting: code 0, no data, the statistics unchanged.
    uint32_t before = conn.GetRequestStats().count;
    r.text = "kept";
    EXPECT_EQ(conn.SendRequest(r, 201210, std::vector<uint8_t>(128, 0), 0), 1);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.text, "kept");
    EXPECT_EQ(conn.GetRequestStats().count, before);
    ASSERT_TRUE(server.WaitForRequest(201210, 1000));
}

TEST_F(GameConnectionFlow, TimeoutThenLateAnswerIsNotTakenForTheNext) {
    Connect();
    conn.timeoutSec = 1;
    server.SetReplyDelay(201001, 1600);
    RequestResult r;
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(conn.SendRequest(r, 201001, {}, 1), 0);
    auto waited = std::chrono::steady_clock::now() - t0;
    EXPECT_EQ(r.code, 1030);
    EXPECT_EQ(r.text, "请求处理超时。");
    EXPECT_GE(waited, std::chrono::milliseconds(900));
    // The next request is answered at once with a different code; the late 201001 answer
    // arrives while it waits and must not be taken for it.
    server.SetReplyDelay(201001, 0);
    server.SetReplyDelay(201140, 900);
    server.SetReply(201140, Reply{4242, {9}});
    conn.timeoutSec = 3;
    EXPECT_EQ(conn.SendRequest(r, 201140, {}, 1), 1);
    EXPECT_EQ(r.code, 4242);
    EXPECT_EQ(r.reply, (std::vector<uint8_t>{9}));
    // A request nobody answers times out after its own time-out.
    server.SetSilent(201130, true);
    conn.timeoutSec = 1;
    EXPECT_EQ(conn.IsGameRunning(), 0);
    EXPECT_EQ(conn.GetRequestStats().count, 1u);  // only the answered one was measured
}

// The server's close under a waited request ends the wait at once, long before the request's
// 30 seconds, for which the window would stay frozen waiting for an answer that cannot come;
// the request says the connection is gone, as one made after the end does.
TEST_F(GameConnectionFlow, AnEndUnderTheWaitDoesNotHoldTheWindowToTheTimeOut) {
    Connect();
    conn.timeoutSec = 30;
    server.SetSilent(201140, true);
    std::thread closer([&] {
        if (server.WaitForRequest(201140, 5000)) server.Disconnect(server.Clients().at(0));
    });
    RequestResult r;
    r.code = 555;
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(conn.SendRequest(r, 201140, {}, 1), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
    closer.join();
    EXPECT_EQ(r.code, 1031);
    EXPECT_EQ(r.text, "与服务器连接断开。");
}

TEST_F(GameConnectionFlow, NotificationsAndCloseReachTheOwnerThread) {
    Connect();
    int client = server.Clients().at(0);
    std::vector<uint8_t> body(12, 0);
    body[8] = 'o';
    body[9] = 'k';
    ASSERT_TRUE(server.Notify(client, 211138, body));
    std::vector<uint8_t> got;
    ASSERT_TRUE(owner.WaitFor(211138, 3000, &got));
    EXPECT_EQ(got, body);
    ASSERT_TRUE(server.Disconnect(client));
    EXPECT_TRUE(owner.WaitFor(netlib::kNoticeClosed, 3000));
}

TEST_F(GameConnectionFlow, RoomAndTableRequests) {
    Connect();
    std::string text;
    // Running-game query: word 0 replaces option word A.
    EXPECT_EQ(conn.IsGameRunning(), 0);
    EXPECT_EQ(host.entry.GetCmdField12(), 4);
    server.SetReply(201130, Reply{210030, {0x44, 0x40, 0, 0}});
    EXPECT_EQ(conn.IsGameRunning(), 1);
    EXPECT_EQ(host.entry.GetCmdField12(), 0x4044);
    // A reply too short for word 0 leaves the option word alone.
    server.SetReply(201130, Reply{210030, {1, 0, 0}});
    EXPECT_EQ(conn.IsGameRunning(), 1);
    EXPECT_EQ(host.entry.GetCmdField12(), 0x4044);
    // Leave refused with a wait; the keep-alive reports and clears the statistics.
    server.SetReply(201125, Reply{210085, {30, 0, 0, 0}});
    EXPECT_EQ(conn.LeaveGame(text, 123456, 2), 1);
    EXPECT_EQ(text, "系统已经为您分配了随机桌位，\r\n\r\n必须再等 30 秒钟才能离开。");
    server.ClearReply(201125);
    EXPECT_EQ(conn.LeaveGame(text, 123456, 2), 0);
    EXPECT_GT(conn.GetRequestStats().count, 0u);
    EXPECT_EQ(conn.SendKeepAlive(), 1);
    EXPECT_EQ(conn.GetRequestStats().count, 0u);
    auto ka = server.WaitForRequest(201020, 1000);
    ASSERT_TRUE(ka);
    EXPECT_FALSE(ka->wait);
    ASSERT_EQ(ka->body.size(), 16u);
    EXPECT_EQ(W(ka->body, 0), 123456);
    // Change table refused as too frequent: the chat line.
    server.SetReply(201300, Reply{210092, {}});
    EXPECT_EQ(conn.ChangeTable(text), 0);
    ASSERT_EQ(host.chat.size(), 1u);
    EXPECT_EQ(host.chat[0], kChangeTableTooOftenLine);
    // Silver range too little goes to the application.
    server.SetReply(201161, Reply{210090, {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0}});
    EXPECT_EQ(conn.CheckSilverRange(text), 0);
    EXPECT_EQ(host.tooLittle, 1);
    // Call a player: chair from the player records.
    EXPECT_EQ(conn.CallPlayer(123456), 1);
    auto call = server.WaitForRequest(201200, 1000);
    ASSERT_TRUE(call);
    EXPECT_EQ(W(call->body, 16), 123456);
    EXPECT_EQ(W(call->body, 20), 2);
    // The safe box: the server's 32 bytes; a short reply fails without reading past it.
    uint8_t box[32] = {};
    ASSERT_EQ(conn.OpenSafeBox(text, box), 1);
    EXPECT_EQ(box[0] | box[1] << 8 | box[2] << 16, 50000);
    server.SetReply(200040, Reply{10, {1, 2, 3}});
    EXPECT_EQ(conn.OpenSafeBox(text, box), 0);
    EXPECT_EQ(text, kTextSendFailed);
    // Dole: claim answer word 0.
    int got = -1;
    EXPECT_EQ(conn.ClaimDole(text, 1, 0, &got), 1);
    EXPECT_EQ(got, 2000);
    EXPECT_EQ(conn.ClaimDole(text, 1, 2, &got), 0);  // bad kind: nothing sent
    // Success without a whole reply word fails like a send, and the out value stays 0.
    server.SetReply(214000, Reply{10, {7, 7}});
    got = -1;
    EXPECT_EQ(conn.ClaimDole(text, 1, 0, &got), 0);
    EXPECT_EQ(got, 0);
    EXPECT_EQ(text, kTextSendFailed);
    server.SetReply(214001, Reply{10, {9, 0, 0}});
    got = -1;
    EXPECT_EQ(conn.ClaimDole2(text, 1, 1, &got), 0);
    EXPECT_EQ(got, 0);
    EXPECT_EQ(text, kTextSendFailed);
    server.SetReply(214001, Reply{10, {9, 1, 0, 0}});
    EXPECT_EQ(conn.ClaimDole2(text, 1, 1, &got), 1);
    EXPECT_EQ(got, 0x109);
    auto dole2 = server.WaitForRequest(214001, 1000, 2);
    ASSERT_TRUE(dole2);
    ASSERT_EQ(dole2->body.size(), 136u);
    EXPECT_EQ(W(dole2->body, 56), 1);
    EXPECT_EQ(W(dole2->body, 60), 1);
    EXPECT_EQ(WireToText(reinterpret_cast<const char*>(dole2->body.data() + 16)), "我");
    uint8_t dole[124];
    EXPECT_EQ(conn.GetDoleConfig(text, 0, dole), 1);
    server.SetReply(214010, Reply{10, std::vector<uint8_t>(100, 1)});
    EXPECT_EQ(conn.GetDoleConfig(text, 0, dole), 0);
}

// Whether a connection type lets a caller use the socket's own connect.
template <typename C>
concept SocketConnectReachable = requires(C& c, const std::string& host) {
    c.Connect(host, 1, 1, platform::Handle{0}, platform::ThreadId{0}, 0, nullptr, size_t{0}, 0);
};

TEST(GameConnectionStandalone, TheSocketsOwnConnectIsNotReachableThroughAGameConnection) {
    // A game connection connects only through its own Connect (the proxy, then the hello);
    // the socket's connect, which does neither, is kept out of its callers' reach.
    static_assert(SocketConnectReachable<netlib::CYrnSocket>);
    static_assert(!SocketConnectReachable<CGameConnection>);
    CGameConnection conn;
    int proxyFailed = 0;
    EXPECT_EQ(conn.Connect("", "127.0.0.1", 1, &proxyFailed), 0);
    EXPECT_EQ(proxyFailed, 0);
}

TEST(GameConnectionStandalone, NotConnectedNeverReachesTheSocket) {
    struct Counting : CGameConnection {
        using CGameConnection::CGameConnection;
        int calls = 0;
        int SendRequestWait(const netlib::YrnEnvelope*, const netlib::YrnRecord*,
                            netlib::YrnRecord*, int*, int, uint32_t, uint32_t, int,
                            const std::string&, int) override {
            ++calls;
            return 0;
        }
    };
    TestHost host;
    Counting conn(&host);
    RequestResult r;
    r.code = 777;
    EXPECT_EQ(conn.SendRequest(r, 201001, {}, 1), 0);
    EXPECT_EQ(r.code, 1031);
    EXPECT_EQ(r.text, "与服务器连接断开。");
    EXPECT_EQ(conn.calls, 0);
    EXPECT_EQ(host.cursorDepth, 0);
    std::string text;
    EXPECT_EQ(conn.CheckVersion(text, nullptr, nullptr), 0);
    EXPECT_EQ(text, "服务器繁忙，请稍候再试。");
}

TEST(GameConnectionStandalone, WithoutAHostNoRequestIsBuiltOrSent) {
    CGameConnection conn(nullptr);
    std::string text;
    uint8_t out24[24] = {}, out124[124] = {};
    int code = 0;
    const int answers[] = {conn.IsGameRunning(),
                           conn.RefreshGameData(),
                           conn.CheckVersion(text, nullptr, nullptr),
                           conn.GetActivityConfig(),
                           conn.EnterGame(text),
                           conn.StartGame(text),
                           conn.NotifyLeave(1001, 1),
                           conn.LeaveGame(text, 1001, 1),
                           conn.SendChatMessage("a"),
                           conn.SendChatMessage2("a"),
                           conn.CallPlayer(1002),
                           conn.SendRequest201180(1),
                           conn.SendKeepAlive(),
                           conn.SendRequest214102(),
                           conn.SendRequest214104(),
                           conn.CheckSilverRange(text),
                           conn.SendRequest201302(text),
                           conn.QueryProtection(text, out24, &code),
                           conn.GetDoleConfig(text, 1, out124)};
    for (size_t i = 0; i < std::size(answers); ++i) EXPECT_EQ(answers[i], 0) << i;
    EXPECT_TRUE(conn.BuildEnterGameHead().empty());
    EXPECT_TRUE(conn.BuildEnterGamePlayer().empty());
}

// A socket layer that records what the request call asks of it.
struct RecordingSocket : CGameConnection {
    using CGameConnection::CGameConnection;
    std::vector<int> timeouts;
    std::vector<std::vector<uint8_t>> bodies;
    int result = 0, timedOut = 0, answerCode = 0;
    platform::ManualClock* clock = nullptr;
    std::vector<uint32_t> waits;            // how long each waited request "takes"
    std::vector<std::pair<int, int>> sent;  // request id, wait flag
    std::vector<uint8_t> answerData;
    int IsConnected() const override { return 1; }
    int SendRequestWait(const netlib::YrnEnvelope* env, const netlib::YrnRecord* req,
                        netlib::YrnRecord* resp, int* to, int timeoutMs, uint32_t, uint32_t,
                        int forceCrc, const std::string&, int) override {
        EXPECT_EQ(forceCrc, 1);
        EXPECT_NE(req->head[1], 0);
        bodies.emplace_back(req->data, req->data + req->length);
        sent.emplace_back(req->head[1], env->waitFlag);
        if (!env->waitFlag) return 1;
        timeouts.push_back(timeoutMs);
        if (clock && !waits.empty()) {
            clock->advance(waits.front());
            waits.erase(waits.begin());
        }
        *to = timedOut;
        resp->head[1] = answerCode;
        if (result && !answerData.empty()) {
            resp->length = static_cast<int32_t>(answerData.size());
            resp->data = new uint8_t[answerData.size()];
            std::memcpy(resp->data, answerData.data(), answerData.size());
        }
        return result;
    }
};

TEST(GameConnectionStandalone, EveryRequestGoesOutWithItsIdWaitFlagAndSize) {
    TestHost host;
    // Not a looker-on, a silver room, option B with 0x2, 0x40, 0x80 and 0x1000000.
    ASSERT_TRUE(host.entry.ApplyHallCommandLine("77|h|301|5|0|123456|17|2|0|0|t|0|4|16777410|0"));
    RecordingSocket conn(&host);
    conn.result = 1;
    conn.answerCode = 10;
    conn.answerData = std::vector<uint8_t>(200, 0x5A);  // more than any block here holds
    std::string text;
    int amount = 100, got = 0;
    uint8_t box[32], prot[24], dole[124];
    struct Expect {
        int id, wait;
        size_t size;
    };
    std::vector<Expect> expected;
    auto check = [&](const char* what, Expect e) {
        expected.push_back(e);
        ASSERT_EQ(conn.sent.size(), expected.size()) << what;
        EXPECT_EQ(conn.sent.back().first, e.id) << what;
        EXPECT_EQ(conn.sent.back().second, e.wait) << what;
        EXPECT_EQ(conn.bodies.back().size(), e.size) << what;
    };
    conn.IsGameRunning();
    check("running", {201130, 1, 32});
    EXPECT_EQ(host.entry.GetCmdField12(), 0x5A5A5A5A);  // the server's option word A
    host.entry.SetCmdField12(4);
    EXPECT_EQ(conn.RefreshGameData(), 1);
    check("refresh", {201140, 1, 32});
    // The copy of the reply stops at the end of the application's block.
    EXPECT_EQ(host.block, std::vector<uint8_t>(64, 0x5A));
    conn.EnterGame(text);
    check("enter", {200110, 1, 244});
    conn.ClaimSilverReward(text, 1);
    check("reward", {201303, 1, 192});
    conn.StartGame(text);
    check("start", {201160, 0, 32});
    conn.NotifyLeave(123456, 2);
    check("notify leave", {201120, 0, 96});
    conn.LeaveGame(text, 123456, 2);
    check("leave", {201125, 1, 96});
    conn.SendChatMessage("hi");
    check("chat", {201210, 0, 128});
    conn.SendChatMessage2("hi");
    check("chat 2", {201211, 0, 128});
    conn.CallPlayer(5);
    check("call", {201200, 0, 40});
    conn.SendRequest201180(1);
    check("201180", {201180, 0, 36});
    conn.SendKeepAlive();
    check("keep-alive", {201020, 0, 16});
    conn.SendRequest214102();
    check("214102", {214102, 0, 428});
    conn.SendRequest214104();
    check("214104", {214104, 0, 428});
    conn.CheckSilverRange(text);
    check("silver range", {201161, 1, 32});
    conn.ChangeTable(text);
    check("change table", {201300, 1, 32});
    conn.SendRequest201302(text);
    check("201302", {201302, 1, 32});
    EXPECT_EQ(conn.OpenSafeBox(text, box), 1);
    check("safe box", {200040, 1, 76});
    EXPECT_EQ(conn.SaveSilver(text, amount), 1);
    check("save", {200042, 1, 112});
    EXPECT_EQ(conn.TakeSilver(text, amount, 7), 1);
    check("take", {200041, 1, 112});
    EXPECT_EQ(conn.QueryProtection(text, prot), 1);
    check("protection", {200043, 1, 76});
    EXPECT_EQ(conn.GetDoleConfig(text, 3, dole), 1);
    check("dole config", {214010, 1, 320});
    EXPECT_EQ(dole[123], 0x5A);
    EXPECT_EQ(conn.ClaimDole(text, 3, 1, &got), 1);
    check("dole", {214000, 1, 104});
    EXPECT_EQ(conn.ClaimDole2(text, 3, 0, &got), 1);
    check("dole 2", {214001, 1, 136});
    EXPECT_EQ(got, 0x5A5A5A5A);
    conn.CheckVersion(text, nullptr, nullptr);
    check("version", {201001, 1, 0});
    conn.GetActivityConfig();
    check("activities", {201308, 1, 0});
}

// The codes a request does not name itself take their texts from the connection's own
// lookups, which a game may replace: the hall's error texts for the safe box, the general
// texts for the silver reward. The codes a request names keep its own texts.
TEST(GameConnectionStandalone, UnnamedCodesTakeTheConnectionsOwnTexts) {
    struct OwnTexts : RecordingSocket {
        using RecordingSocket::RecordingSocket;
        void GetHallErrorText(std::string& t, int c) override { t = "hall " + std::to_string(c); }
        void GetResultText(std::string& t, int c) override { t = "general " + std::to_string(c); }
    };
    TestHost host;
    // Not a looker-on, a silver room, option B with 0x1000000: the silver may move.
    ASSERT_TRUE(host.entry.ApplyHallCommandLine("77|h|301|5|0|123456|17|2|0|0|t|0|4|16777410|0"));
    OwnTexts conn(&host);
    conn.result = 1;
    conn.answerCode = 424242;
    std::string text;
    int amount = 100;
    uint8_t box[32] = {}, prot[24] = {};
    EXPECT_EQ(conn.ClaimSilverReward(text, 1), 0);
    EXPECT_EQ(text, "general 424242");
    EXPECT_EQ(conn.OpenSafeBox(text, box), 0);
    EXPECT_EQ(text, "hall 424242");
    text.clear();
    EXPECT_EQ(conn.QueryProtection(text, prot), 0);
    EXPECT_EQ(text, "hall 424242");
    text.clear();
    EXPECT_EQ(conn.SaveSilver(text, amount), 0);
    EXPECT_EQ(text, "hall 424242");
    text.clear();
    EXPECT_EQ(conn.TakeSilver(text, amount, 7), 0);
    EXPECT_EQ(text, "hall 424242");
    conn.answerCode = 60005;
    EXPECT_EQ(conn.SaveSilver(text, amount), 0);
    EXPECT_EQ(text, "您的划帐数额超过现在拥有的金额。");
    conn.answerCode = 10100;
    EXPECT_EQ(conn.ClaimSilverReward(text, 1), 0);
    EXPECT_EQ(text, "请求处理失败。");
}

// A wait that fails because the connection ended under it answers as a request made after
// the end: 1031 and its text, whatever code the caller left; a send that fails on a live
// connection keeps the caller's code.
TEST(GameConnectionStandalone, AConnectionEndedUnderTheWaitAnswersDisconnected) {
    struct EndsUnderTheWait : RecordingSocket {
        using RecordingSocket::RecordingSocket;
        bool ended = false;
        int IsConnected() const override { return ended ? 0 : 1; }
        int SendRequestWait(const netlib::YrnEnvelope* env, const netlib::YrnRecord* req,
                            netlib::YrnRecord* resp, int* to, int timeoutMs, uint32_t a, uint32_t b,
                            int forceCrc, const std::string& s, int n) override {
            const int r = RecordingSocket::SendRequestWait(env, req, resp, to, timeoutMs, a, b,
                                                           forceCrc, s, n);
            ended = endsNext;
            return r;
        }
        bool endsNext = false;
    };
    const struct {
        bool ends;
        int code;
        const char* text;
    } cases[] = {{true, 1031, "与服务器连接断开。"}, {false, 555, "请求发送失败。"}};
    for (const auto& c : cases) {
        TestHost host;
        EndsUnderTheWait conn(&host);
        conn.endsNext = c.ends;
        RequestResult r;
        r.code = 555;
        EXPECT_EQ(conn.SendRequest(r, 201001, {}, 1), 0);
        EXPECT_EQ(r.code, c.code) << c.ends;
        EXPECT_EQ(r.text, c.text) << c.ends;
        EXPECT_EQ(conn.bodies.size(), 1u);
        EXPECT_EQ(host.cursorDepth, 0);
    }
}

TEST(GameConnectionStandalone, TimeoutPerRequestIdAndFailureCodes) {
    TestHost host;
    RecordingSocket conn(&host);
    RequestResult r;
    for (int id : {200110, 214000, 214001, 214010, 201001, 201125, 201130, 201210, 201308})
        conn.SendRequest(r, id, {}, 1);
    EXPECT_EQ(conn.bodies.size(), 9u);
    EXPECT_EQ(conn.timeouts,
              (std::vector<int>{30000, 30000, 30000, 30000, 15000, 5000, 5000, 10000, 10000}));
    // Timed out: 1030. Failed before the time-out: the text of a failed send, the code as
    // the caller left it.
    conn.timedOut = 1;
    r.code = 555;
    EXPECT_EQ(conn.SendRequest(r, 201001, {}, 1), 0);
    EXPECT_EQ(r.code, 1030);
    EXPECT_EQ(r.text, "请求处理超时。");
    conn.timedOut = 0;
    r.code = 555;
    EXPECT_EQ(conn.SendRequest(r, 201001, {}, 1), 0);
    EXPECT_EQ(r.code, 555);
    EXPECT_EQ(r.text, "请求发送失败。");
    RequestResult fresh;
    EXPECT_EQ(conn.SendRequest(fresh, 201001, {}, 1), 0);
    EXPECT_EQ(fresh.code, 0);
    EXPECT_EQ(host.cursorDepth, 0);
    // Answered with 10 and no data: the version check treats it as busy.
    conn.result = 1;
    conn.answerCode = 10;
    std::string text;
    EXPECT_EQ(conn.CheckVersion(text, nullptr, nullptr), 0);
    EXPECT_EQ(text, "服务器繁忙，请稍候再试。");
    // Preconditions that hold back a request send nothing.
    size_t before = conn.timeouts.size();
    EXPECT_EQ(conn.ClaimSilverReward(text, -1), 0);
    int amount = 5;
    EXPECT_EQ(conn.SaveSilver(text, amount), 0);  // not the special option
    EXPECT_EQ(conn.TakeSilver(text, amount, 7), 0);
    EXPECT_EQ(conn.SendRequest201302(text), 0);
    EXPECT_EQ(conn.timeouts.size(), before);
}

// A half-arrived packet is only given up once every request that could be waiting for it
// has given up itself: the socket's stall limit is longer than any request's wait.
TEST(GameConnectionStandalone, EveryRequestWaitIsShorterThanTheSocketsStallLimit) {
    int longest = 0;
    for (int id = 0; id <= 1000000; ++id) longest = std::max(longest, RequestTimeoutSeconds(id));
    EXPECT_EQ(longest, 30);
    EXPECT_LT(uint32_t(longest) * 1000u, netlib::kPacketStallMs);
}

TEST(GameConnectionStandalone, KeepAliveReportsMeasuredWaitsOnce) {
    platform::ManualClock clock(0xFFFFFF00u);  // the waits cross the tick counter's wrap
    platform::Clock* old = platform::setClock(&clock);
    TestHost host;
    ASSERT_TRUE(host.entry.ApplyHallCommandLine("1|h|2|3|4|123456|6|7|0"));
    RecordingSocket conn(&host);
    conn.clock = &clock;
    conn.result = 1;
    conn.answerCode = 10;
    conn.waits = {100, 200, 70000};
    RequestResult r;
    for (int i = 0; i < 3; ++i) conn.SendRequest(r, 201140, {}, 1);
    conn.SendRequest(r, 201210, std::vector<uint8_t>(128, 0), 0);  // not measured
    EXPECT_EQ(conn.GetRequestStats().count, 3u);
    ASSERT_EQ(conn.SendKeepAlive(), 1);
    ASSERT_EQ(conn.SendKeepAlive(), 1);
    platform::setClock(old);
    ASSERT_GE(conn.bodies.size(), 2u);
    auto first = conn.bodies[conn.bodies.size() - 2];
    auto second = conn.bodies.back();
    ASSERT_EQ(first.size(), 16u);
    ExpectWords(first, {{0, 123456}, {4, 23433}, {8, 60000}, {12, 0}});
    EXPECT_EQ(W(second, 4), 0);
    EXPECT_EQ(W(second, 8), 0);
}

TEST(GameConnectionStandalone, RefusedConnectLeavesTheRecord) {
    TestHost host;
    CGameConnection conn(&host);
    conn.InitCodec();
    int flag = 0;
    int port = hqlv::testing::FreePort();
    EXPECT_EQ(conn.Connect("", "127.0.0.1", port, &flag), 0);
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(conn.GetServerPort(), 0);
    EXPECT_EQ(conn.GetServerHost(), "");
}

TEST(GameConnectionStandalone, ProxySettingsFromTheHallIni) {
    char dir[] = "/tmp/hqlv-proxy-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    std::string ini = std::string(dir) + "/GameHall.ini";
    {
        FILE* f = std::fopen(ini.c_str(), "w");
        std::fputs("[OTHER]\nNeed=1\n", f);
        std::fclose(f);
    }
    TestHost host;
    CGameConnection conn(&host);
    conn.LoadProxySettings(ini);
    EXPECT_EQ(conn.GetProxySettings().Need, 0);  // no PROXY section: direct
    EXPECT_EQ(conn.GetProxySettings().Port, 1080);
    EXPECT_EQ(conn.GetProxySettings().Sock, 3);
    {
        FILE* f = std::fopen(ini.c_str(), "w");
        std::fputs(
            "[PROXY]\nNeed=1\nPort=1\nSock=3\nHost=127.0.0.1\nUser=u\n"
            "pwd=0123456789012345678901234567890123456789\n",
            f);
        std::fclose(f);
    }
    conn.LoadProxySettings(ini);
    EXPECT_EQ(conn.GetProxySettings().Need, 1);
    EXPECT_EQ(conn.GetProxyHost(), "127.0.0.1");
    EXPECT_EQ(conn.GetProxySettings().pwd.size(), 31u);  // bounded to its field
    // An unreachable proxy sets the flag.
    conn.InitCodec();
    ProxySettings p = conn.GetProxySettings();
    p.Port = hqlv::testing::FreePort();
    conn.SetProxySettings(p);
    int flag = 0;
    EXPECT_EQ(conn.Connect("", "127.0.0.1", 21303, &flag), 0);
    EXPECT_EQ(flag, 1);
    std::remove(ini.c_str());
    ::rmdir(dir);
}

TEST_F(GameConnectionFlow, CloseSequenceTellsTheTable) {
    Connect();
    std::string text;
    ASSERT_EQ(conn.EnterGame(text), 1);
    // A second player at the same table, chair 3.
    TestHost other;
    std::memcpy(other.own.data(), "\x41\xE2\x01\x00", 4);  // user 123457
    ASSERT_TRUE(other.entry.ApplyHallCommandLine("77|127.0.0.1|301|5|0|123457|17|3|0|0|t|" +
                                                 std::to_string(server.Port())));
    OwnerThread otherOwner;
    CGameConnection second(&other);
    second.InitCodec();
    second.SetOwnerThread(otherOwner.loop.threadId());
    int flag = 0;
    ASSERT_NE(second.Connect("", "127.0.0.1", server.Port(), &flag), 0);
    ASSERT_EQ(second.EnterGame(text), 1);
    std::vector<uint8_t> sat;
    ASSERT_TRUE(owner.WaitFor(211011, 3000, &sat));
    ASSERT_EQ(sat.size(), 136u);
    EXPECT_EQ(W(sat, 0), 123457);
    EXPECT_EQ(W(sat, 16), 3);
    // The second player closes: no game runs, the leave goes out unanswered, then the
    // connection ends; the first player hears who left.
    EXPECT_EQ(second.IsGameRunning(), 0);
    EXPECT_EQ(second.NotifyLeave(123457, 3), 1);
    auto leave = server.WaitForRequest(201120, 2000);
    ASSERT_TRUE(leave);
    EXPECT_FALSE(leave->wait);
    ASSERT_EQ(leave->body.size(), 96u);
    ExpectWords(leave->body, {{0, 123457}, {12, 3}, {16, 0}});
    second.Disconnect();
    std::vector<uint8_t> left;
    ASSERT_TRUE(owner.WaitFor(211010, 3000, &left));
    ExpectWords(left, {{0, 123457}, {4, 3}, {28, 17}});
    EXPECT_FALSE(second.IsConnected());
}

// The real program, reached directly.
TEST(GameConnectionEndToEnd, RealServerDirect) {
    char dir[] = "/tmp/hqlv-server-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    std::string logFile = std::string(dir) + "/server.log";
    hqlv::testing::ChildProcess srv;
    ASSERT_TRUE(srv.Start(HQLV_SERVER_EXE, {"--port", "0"}, logFile));
    std::string line;
    ASSERT_TRUE(srv.ReadLine(line, 5000));
    ASSERT_EQ(line.rfind("listening on 127.0.0.1:", 0), 0u) << line;
    int port = std::stoi(line.substr(line.find(':') + 1));

    TestHost host;
    OwnerThread owner;
    ASSERT_TRUE(host.entry.ApplyHallCommandLine("77|127.0.0.1|301|5|0|123456|3|1|0|0|t|" +
                                                std::to_string(port)));
    CGameConnection conn(&host);
    conn.InitCodec();
    conn.SetOwnerThread(owner.loop.threadId());
    int flag = 0;
    ASSERT_NE(conn.Connect("", "127.0.0.1", port, &flag), 0);
    std::string text;
    int major = 0, minor = 0;
    EXPECT_EQ(conn.CheckVersion(text, &major, &minor), 1);
    EXPECT_EQ(conn.GetActivityConfig(), 1);
    EXPECT_EQ(conn.EnterGame(text), 1);
    // No deal runs at the table: the entry brings no game data and no game is on.
    EXPECT_EQ(host.inGame, 0);
    EXPECT_EQ(host.block, std::vector<uint8_t>(64, 0xCC));
    // A notification through the server's command input.
    ASSERT_TRUE(srv.WriteLine("text 1 211138 8 你好"));
    ASSERT_TRUE(srv.ReadLine(line, 3000));
    EXPECT_EQ(line, "ok");
    std::vector<uint8_t> got;
    ASSERT_TRUE(owner.WaitFor(211138, 3000, &got));
    ASSERT_GT(got.size(), 8u);
    EXPECT_EQ(WireToText(reinterpret_cast<const char*>(got.data() + 8)), "你好");
    conn.Disconnect();
    // A client that sends garbage is closed with a log line.
    {
        hqlv::testing::WireClient junk;
        ASSERT_TRUE(junk.Connect(static_cast<uint16_t>(port)));
        int32_t bad[2] = {5000, 1};
        junk.SendBytes(bad, sizeof bad);
        EXPECT_TRUE(junk.WaitClosed(3000));
    }
    srv.Stop();
    std::string log;
    if (FILE* f = std::fopen(logFile.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) log.append(buf, n);
        std::fclose(f);
    }
    std::remove(logFile.c_str());
    ::rmdir(dir);
    EXPECT_NE(log.find("client 1: hello \"Hello! Game Channel.\" (21 bytes)"), std::string::npos)
        << log;
    EXPECT_NE(log.find("client 1: request 201001 message 1 waits, 0 bytes"), std::string::npos);
    EXPECT_NE(log.find("client 1: request 200110 message 3 waits, 108 bytes"), std::string::npos);
    EXPECT_NE(log.find("client 1: closed by the client"), std::string::npos);
    EXPECT_NE(log.find("client 2: malformed packet: bad length"), std::string::npos);
}

// Arguments the program cannot use are refused, never taken for some other port.
TEST(GameConnectionEndToEnd, RealServerRefusesBadArguments) {
    for (std::vector<std::string> args : {std::vector<std::string>{"--port", "70000"},
                                          {"--port", "21x"},
                                          {"--port"},
                                          {"--version", "2"},
                                          {"--bogus"}}) {
        hqlv::testing::ChildProcess srv;
        ASSERT_TRUE(srv.Start(HQLV_SERVER_EXE, args));
        std::string line;
        EXPECT_FALSE(srv.ReadLine(line, 2000)) << line;
        EXPECT_EQ(srv.WaitExit(5000), 2) << args[0];
    }
    // A version with both parts is taken and reported.
    hqlv::testing::ChildProcess srv;
    ASSERT_TRUE(srv.Start(HQLV_SERVER_EXE, {"--port", "0", "--version", "3.4"}));
    std::string line;
    ASSERT_TRUE(srv.ReadLine(line, 5000));
    int port = std::stoi(line.substr(line.find(':') + 1));
    hqlv::testing::WireClient c;
    ASSERT_TRUE(c.Connect(static_cast<uint16_t>(port)));
    int id = c.Send(201001, {}, true);
    auto m = c.Read(3000);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->messageId, id);
    EXPECT_EQ(W(m->data, 0), 3);
    EXPECT_EQ(W(m->data, 4), 4);
}

// The real program reached through a real SOCKS5 proxy.
TEST(GameConnectionEndToEnd, RealServerThroughSocks5Proxy) {
    const char* microsocks = "/usr/bin/microsocks";
    ASSERT_EQ(::access(microsocks, X_OK), 0)
        << "microsocks is not installed (scripts/setup.sh installs it)";
    hqlv::testing::ChildProcess srv;
    ASSERT_TRUE(srv.Start(HQLV_SERVER_EXE, {"--port", "0"}));
    std::string line;
    ASSERT_TRUE(srv.ReadLine(line, 5000));
    int port = std::stoi(line.substr(line.find(':') + 1));
    hqlv::testing::ChildProcess proxy;
    int proxyPort = hqlv::testing::FreePort();
    ASSERT_TRUE(proxy.Start(microsocks, {"-i", "127.0.0.1", "-p", std::to_string(proxyPort)}));
    ASSERT_TRUE(hqlv::testing::WaitListening(proxyPort, 5000));

    TestHost host;
    OwnerThread owner;
    ASSERT_TRUE(host.entry.ApplyHallCommandLine("77|127.0.0.1|301|5|0|123456|4|0|0|0|t|" +
                                                std::to_string(port)));
    CGameConnection conn(&host);
    ProxySettings p;
    p.Need = 1;
    p.Sock = 3;
    p.Host = "127.0.0.1";
    p.Port = proxyPort;
    conn.SetProxySettings(p);
    conn.InitCodec();
    conn.SetOwnerThread(owner.loop.threadId());
    int flag = 0;
    ASSERT_NE(conn.Connect("", "127.0.0.1", port, &flag), 0);
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(conn.GetServerPort(), port);
    std::string text;
    EXPECT_EQ(conn.CheckVersion(text, nullptr, nullptr), 1);
    EXPECT_EQ(conn.GetActivityConfig(), 1);
    EXPECT_EQ(conn.EnterGame(text), 1);
    EXPECT_EQ(host.inGame, 0);  // entered; no deal runs there
    ASSERT_TRUE(srv.WriteLine("clients"));
    ASSERT_TRUE(srv.ReadLine(line, 3000));
    EXPECT_NE(line.find("user 123456 room 301 table 4 chair 0"), std::string::npos) << line;
    conn.Disconnect();
    // Through a proxy that is gone, the connect fails and names the proxy.
    proxy.Stop();
    flag = 0;
    EXPECT_EQ(conn.Connect("", "127.0.0.1", port, &flag), 0);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(conn.GetProxyHost(), "127.0.0.1");
}

TEST(GameConnectionStandalone, ALookerOnAsksForNoOtherTable) {
    TestHost host;
    ASSERT_TRUE(host.entry.ApplyHallCommandLine("77|h|301|5|0|123456|17|2|1|0|t|0|0|0|0"));
    RecordingSocket conn(&host);
    conn.result = 1;
    conn.answerCode = 10;
    std::string text = "kept";
    EXPECT_EQ(conn.ChangeTable(text), 0);
    EXPECT_TRUE(conn.sent.empty());
    EXPECT_EQ(text, "kept");
    // A player does ask.
    ASSERT_TRUE(host.entry.ApplyHallCommandLine("77|h|301|5|0|123456|17|2|0|0|t|0|0|0|0"));
    EXPECT_EQ(conn.ChangeTable(text), 1);
    ASSERT_EQ(conn.sent.size(), 1u);
    EXPECT_EQ(conn.sent[0].first, 201300);
}

}  // namespace
}  // namespace hqlv::framework

#endif  // HQLV_SERVER_EXE
