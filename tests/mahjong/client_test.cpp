// The mahjong request sender against the local game server in this process: byte-exact
// bodies, which requests wait, what a reply copies back, what is recorded, and when the
// network-failure recovery starts.
#include <gtest/gtest.h>

#include <QLineEdit>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>

#include "framework/app/text_edge.h"
#include "mahjong/game/game_connect_ex.h"
#include "mahjong/game/small_dialogs.h"
#include "tests/framework/qt_test_app.h"
#include "netlib/message.h"
#include "platform/core/message.h"
#include "tools/server/game_server.h"
#include "socket_owner.h"
#include "words.h"

namespace hqlv::mahjong {
namespace {

using server::GameServer;
using server::Reply;
using server::ServerOptions;
using test::PutWord;
using test::Words;

bool WaitFor(const std::function<bool()>& pred, int ms = 3000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

struct ConnHost : framework::GameConnectionHost {
    framework::HallEntry entry{"HqLv", 21303, 2, 1};
    framework::HallEntry& Entry() override { return entry; }
    std::string MachineId() override { return "m"; }
    bool MakeOwnPlayerEntry(std::vector<uint8_t>&, int&) override { return false; }
    int PlayerChair(int) override { return -1; }
    int OwnSeatSilver() override { return 0; }
    std::string OwnPlayerName() override { return {}; }
    void SetActivityConfig(bool, const std::vector<framework::ActivityEntry>&) override {}
    void SetInGame(int) override {}
    std::span<uint8_t> GameDataBlock() override { return {}; }
    void WaitCursorBegin() override { deepest = std::max(deepest, ++cursor); }
    void WaitCursorEnd() override { --cursor; }
    int cursor = 0, deepest = 0;
    void TakePlayerList(const uint8_t*, size_t) override {}
    void SilverBelowRoomMinimum(const uint8_t*, size_t) override {}
    void SilverAboveRoomMaximum(const uint8_t*, size_t) override {}
    void AppendChatMarkup(const std::string&) override {}
};

struct Recorder : CMJClientHost {
    void RecordAction(uint32_t id, MJData body) override {
        recorded.emplace_back(id, std::vector<uint8_t>(body.begin(), body.end()));
    }
    void OnNetworkError() override {
        ++networkErrors;
        cursorAtRecovery = cursor ? *cursor : -1;
    }
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> recorded;
    int networkErrors = 0;
    const int* cursor = nullptr;  // the connection host's wait-cursor depth
    int cursorAtRecovery = -1;
};

// The thread that receives the socket's messages and frees them.

class Sender : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Start());
        ASSERT_TRUE(host.entry.ApplyHallCommandLine("77|127.0.0.1|301|5|0|123456|17|2|0|0|t|" +
                                                    std::to_string(server.Port()) + "|4|0|9"));
        conn.InitCodec();
        conn.SetOwnerThread(owner.loop.threadId());
        int flag = 0;
        ASSERT_NE(conn.Connect("", "127.0.0.1", server.Port(), &flag), 0);
        ASSERT_TRUE(server.WaitForClients(1, 3000));
    }
    // The head every body starts with, then the given words.
    std::vector<uint8_t> Body(size_t n, std::initializer_list<std::pair<size_t, int32_t>> set) {
        std::vector<uint8_t> b = Words(n / 4, {{0, 123456}, {1, 301}, {2, 17}, {3, 2}});
        for (auto [i, v] : set) PutWord(b, i, v);
        b.resize(n);
        return b;
    }
    std::vector<uint8_t> PlayBody(int n, size_t extra = 0) {
        std::vector<uint8_t> b = Body(104 + 4 * size_t(n) + extra, {{25, n}});
        for (int i = 0; i < n; ++i) PutWord(b, 26 + size_t(i), 40 + i);
        return b;
    }
    server::Request Got(int id, int nth = 1) {
        auto r = server.WaitForRequest(id, 3000, nth);
        EXPECT_TRUE(r) << id;
        return r ? *r : server::Request{};
    }

    GameServer server{ServerOptions{0, 2, 1, 4, 50, 0, [](const std::string&) {}}};
    ConnHost host;
    test::SocketOwner owner;
    Recorder rec;
    CGameConnectEx conn{&host, &rec};
    std::string error;
};

TEST_F(Sender, BodiesItBuildsItself) {
    EXPECT_EQ(conn.SendKanPaiAsk(), 1);
    EXPECT_EQ(conn.SendKanPaiAnswer(555, 7), 1);
    EXPECT_EQ(conn.Send229500(9), 1);
    EXPECT_EQ(conn.Send229505(), 1);
    EXPECT_EQ(conn.SendNetworkBroken(), 1);
    EXPECT_EQ(conn.SendExitAnswer(444, 0), 1);
    EXPECT_EQ(conn.SendExitRequest(framework::Utf8ToGbk("家里有事") + std::string(80, 'z')), 1);
    server::Request ask = Got(221050);
    EXPECT_EQ(ask.body, Body(32, {}));
    EXPECT_FALSE(ask.wait);
    EXPECT_EQ(Got(221052).body, Body(40, {{4, 555}, {5, 1}}));
    EXPECT_EQ(Got(229500).body, Body(32, {{4, 9}}));
    EXPECT_EQ(Got(229505).body, Body(32, {}));
    EXPECT_EQ(Got(229405).body, Body(32, {}));
    EXPECT_EQ(Got(400007).body, Body(40, {{4, 444}, {5, 0}}));
    std::vector<uint8_t> exit = Got(400006).body;
    ASSERT_EQ(exit.size(), 80u);
    std::string gbk = framework::Utf8ToGbk("家里有事");
    EXPECT_EQ(std::memcmp(exit.data() + 16, gbk.data(), gbk.size()), 0);
    EXPECT_EQ(exit[16 + 62], 'z');
    EXPECT_EQ(exit[79], 0);
    EXPECT_TRUE(rec.recorded.empty());
}

TEST_F(Sender, ExitRequestDialogSendsThirtyCharactersByteForByte) {
    framework::testing::SharedQtApp();
    int count = 0;
    CExitRequestDlg dlg(&count, false,
                        [this](const std::string& reason) { conn.SendExitRequest(reason); }, {});
    const std::string thirty = "一二三四五六七八九十甲乙丙丁戊己庚辛壬癸子丑寅卯辰巳午未申酉";
    // A 31st character does not fit the 60 bytes the dialog allows.
    dlg.reason()->setText(QString::fromStdString(thirty + "戌"));
    dlg.OnSendRequest();
    std::vector<uint8_t> want = Body(80, {});
    const std::string gbk = framework::Utf8ToGbk(thirty);
    ASSERT_EQ(gbk.size(), 60u);
    std::memcpy(want.data() + 16, gbk.data(), gbk.size());
    server::Request got = Got(400006);
    EXPECT_EQ(got.body, want);
    EXPECT_FALSE(got.wait);
    EXPECT_EQ(count, 1);
}

TEST_F(Sender, PlayTileSendsTheTilesTheBodyNames) {
    ASSERT_EQ(conn.SendPlayTile(error, PlayBody(1, 12)), 1);
    ASSERT_EQ(conn.SendPlayTile(error, PlayBody(3)), 1);
    server::Request one = Got(221080);
    server::Request three = Got(221080, 2);
    EXPECT_EQ(one.body.size(), 108u);
    EXPECT_EQ(three.body.size(), 116u);
    EXPECT_TRUE(one.wait);
    EXPECT_EQ(three.body, PlayBody(3));
    ASSERT_EQ(rec.recorded.size(), 2u);
    EXPECT_EQ(rec.recorded[0].first, 221170u);
    EXPECT_EQ(rec.recorded[0].second, PlayBody(1));
}

TEST_F(Sender, PlayTileCountTheBodyDoesNotHoldIsRefused) {
    std::vector<uint8_t> b = PlayBody(3);
    b.pop_back();
    EXPECT_EQ(conn.SendPlayTile(error, b), 0);
    EXPECT_EQ(error, "请求发送失败。");
    EXPECT_EQ(conn.SendPlayTileWait(error, b), 10100);
    conn.SendPlayTileNoWait(error, b);
    std::vector<uint8_t> negative = Body(104, {{25, -1}});
    EXPECT_EQ(conn.SendPlayTile(error, negative), 0);
    std::vector<uint8_t> huge = Body(104, {{25, 0x40000000}});
    EXPECT_EQ(conn.SendPlayTile(error, huge), 0);
    EXPECT_EQ(conn.SendPlayTile(error, MJData(b.data(), 103)), 0);
    // Nothing went out: the next request is the first 221080 the server sees.
    EXPECT_EQ(conn.SendPlayTileWait(error, PlayBody(0)), 10000);
    EXPECT_EQ(Got(221080).body.size(), 104u);
    EXPECT_TRUE(rec.recorded.empty());
    EXPECT_EQ(rec.networkErrors, 0);
}

TEST_F(Sender, CallerBodiesGoOutAtTheirLengthAndShortOnesAreRefused) {
    std::vector<uint8_t> big = Body(100, {{4, 1}});
    conn.SendPass(error, big);
    conn.SendPeng(error, big);
    conn.SendChi(error, big);
    conn.SendDrawTileNoWait(error, big);
    EXPECT_EQ(Got(229005).body, Body(40, {{4, 1}}));
    server::Request peng = Got(229010);
    EXPECT_EQ(peng.body.size(), 64u);
    EXPECT_FALSE(peng.wait);
    EXPECT_EQ(Got(229020).body.size(), 64u);
    EXPECT_EQ(Got(229000).body.size(), 96u);
    // Claims are never recorded and never wait.
    EXPECT_TRUE(rec.recorded.empty());
    std::vector<uint8_t> shortBody(39, 0);
    EXPECT_EQ(conn.SendPass(error, shortBody), 0);
    EXPECT_EQ(conn.SendHu(error, MJData(big.data(), 47)), 0);
    int result = -5;
    std::array<uint8_t, 64> out{};
    EXPECT_EQ(conn.QueryRequest(error, 229045, MJData(big.data(), 63), out, &result), 0);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(server.Received().size(), 4u);
}

TEST_F(Sender, WaitedRequestsCopyExactlyWhatTheyShould) {
    std::vector<uint8_t> reply(60);
    for (size_t i = 0; i < reply.size(); ++i) reply[i] = uint8_t(i + 1);
    server.SetReply(229000, Reply{10, reply});
    server.SetReply(229015, Reply{10, reply});
    server.SetReply(229045, Reply{10, reply});
    std::array<uint8_t, 64> out;
    out.fill(0xEE);
    std::vector<uint8_t> b = Body(96, {});
    ASSERT_EQ(conn.SendDrawTile(error, b, out), 1);
    EXPECT_EQ(out[31], 32);
    EXPECT_EQ(out[32], 0xEE);
    EXPECT_TRUE(Got(229000).wait);
    ASSERT_EQ(rec.recorded.size(), 1u);
    EXPECT_EQ(rec.recorded[0].first, 229160u);
    out.fill(0xEE);
    ASSERT_EQ(conn.SendGang(error, b, out), 1);
    EXPECT_EQ(out[47], 48);
    EXPECT_EQ(out[48], 0xEE);
    out.fill(0xEE);
    int result = 0;
    ASSERT_EQ(conn.QueryRequest(error, 229045, b, out, &result), 1);
    EXPECT_EQ(result, 10);
    EXPECT_EQ(out[31], 32);
    EXPECT_EQ(out[32], 0xEE);
    EXPECT_EQ(rec.recorded.size(), 1u);
}

TEST_F(Sender, ShortRepliesAndRefusalsCountAsFailed) {
    std::array<uint8_t, 64> out{};
    std::vector<uint8_t> b = Body(96, {});
    server.SetReply(229000, Reply{10, std::vector<uint8_t>(31, 1)});
    EXPECT_EQ(conn.SendDrawTile(error, b, out), 0);
    EXPECT_EQ(test::Words(2, {{1, -1}})[4], out[4]);
    EXPECT_EQ(out[7], 0xFF);
    EXPECT_EQ(out[0], 0);
    out.fill(0);
    server.SetReply(229060, Reply{kResultDrawRefused, {}});
    EXPECT_EQ(conn.SendFlower(error, b, out), 0);
    EXPECT_EQ(out[4], 0xFF);
    // Both went through: recorded under their notifications.
    ASSERT_EQ(rec.recorded.size(), 2u);
    EXPECT_EQ(rec.recorded[1].first, 229210u);
    EXPECT_EQ(rec.recorded[1].second.size(), 44u);
    out.fill(0);
    server.SetReply(229060, Reply{229999, {}});
    EXPECT_EQ(conn.SendFlower(error, b, out), 0);
    EXPECT_EQ(out[4], 0);
    server.SetReply(229015, Reply{10, std::vector<uint8_t>(47, 1)});
    EXPECT_EQ(conn.SendGang(error, b, out), 0);
    server.SetReply(229015, Reply{11, std::vector<uint8_t>(48, 1)});
    EXPECT_EQ(conn.SendGang(error, b, out), 0);
    EXPECT_EQ(rec.networkErrors, 0);
}

TEST_F(Sender, ConfirmsAndHuRecordAndGiveTheirCodes) {
    std::vector<uint8_t> b = Body(64, {{5, 3}});
    server.SetReply(229025, Reply{210050, {}});
    server.SetReply(229030, Reply{10, {}});
    server.SetReply(229080, Reply{229450, {}});
    int result = 0;
    EXPECT_EQ(conn.SendPengConfirm(error, b, &result), 0);
    EXPECT_EQ(result, 210050);
    EXPECT_EQ(conn.SendChiConfirm(error, b, &result), 1);
    EXPECT_EQ(result, 10);
    EXPECT_EQ(Got(229030).body, b);
    EXPECT_EQ(Got(229025).body, b);
    EXPECT_EQ(conn.SendHu(error, b), 229450);
    ASSERT_EQ(rec.recorded.size(), 3u);
    EXPECT_EQ(rec.recorded[0].first, 229185u);
    EXPECT_EQ(rec.recorded[1].first, 229190u);
    EXPECT_EQ(rec.recorded[2].first, 229080u);
    EXPECT_EQ(rec.recorded[2].second, std::vector<uint8_t>(b.begin(), b.begin() + 48));
    EXPECT_EQ(conn.SendPlayTileWait(error, PlayBody(1)), 10000);
}

TEST_F(Sender, WaitedFailureWhileConnectedStartsTheRecovery) {
    server.SetReply(229080, Reply{framework::kResultServerText, {'n', 'o', 0}});
    EXPECT_EQ(conn.SendHu(error, Body(48, {})), 0);
    EXPECT_EQ(error, "no");
    EXPECT_EQ(rec.networkErrors, 1);
    EXPECT_TRUE(rec.recorded.empty());
    // Framework ids (220000 and below) keep the framework's answer without recovery.
    server.SetReply(201140, Reply{framework::kResultServerText, {}});
    framework::RequestResult r;
    EXPECT_EQ(conn.SendRequest(r, 201140, Body(32, {}), 1), 0);
    EXPECT_EQ(rec.networkErrors, 1);
}

TEST_F(Sender, AfterADisconnectNothingIsSentAndNoRecoveryRuns) {
    conn.Disconnect();
    ASSERT_FALSE(conn.IsConnected());
    EXPECT_EQ(conn.SendHu(error, Body(48, {})), 0);
    EXPECT_EQ(error, "与服务器连接断开。");
    EXPECT_EQ(conn.SendKanPaiAsk(), 0);
    EXPECT_EQ(conn.SendPlayTileWait(error, PlayBody(1)), 10100);
    std::array<uint8_t, 32> out{};
    EXPECT_EQ(conn.SendDrawTile(error, Body(96, {}), out), 0);
    EXPECT_EQ(rec.networkErrors, 0);
    EXPECT_TRUE(rec.recorded.empty());
}

// A waited mahjong request waits under the wait cursor, and that wait is over before a
// recovery starts.
TEST_F(Sender, WaitedMahjongRequestsWaitUnderTheCursorAndEndItBeforeTheRecovery) {
    rec.cursor = &host.cursor;
    std::array<uint8_t, 64> out{};
    conn.SendDrawTile(error, Body(96, {}), out);
    EXPECT_EQ(host.deepest, 2);
    EXPECT_EQ(host.cursor, 0);
    server.SetReply(229080, Reply{framework::kResultServerText, {'n', 'o', 0}});
    EXPECT_EQ(conn.SendHu(error, Body(48, {})), 0);
    EXPECT_EQ(rec.networkErrors, 1);
    EXPECT_EQ(rec.cursorAtRecovery, 0);
}

// The answer to a waited request spoiled on its way (a short length word, its back half
// dropped, its front half and then silence): the connection ends, the wait ends at once or
// after the stall limit (far inside the 10-second time-out), no recovery runs and the
// request says the connection is gone; the server sees the client close.
TEST_F(Sender, ASpoiledAnswerEndsTheConnectionAndTheWaitWithoutRecovery) {
    const server::Spoil kinds[] = {server::Spoil::kShortLength, server::Spoil::kDroppedTail,
                                   server::Spoil::kStall};
    int client = 1;
    for (server::Spoil kind : kinds) {
        conn.Disconnect();
        conn.SetPacketStallLimit(300);
        int flag = 0;
        ASSERT_NE(conn.Connect("", "127.0.0.1", server.Port(), &flag), 0);
        ++client;
        ASSERT_TRUE(WaitFor([&] {
            const std::vector<int> c = server.Clients();
            return std::find(c.begin(), c.end(), client) != c.end();
        }));
        ASSERT_TRUE(server.SpoilNext(client, kind, 229080));
        rec.networkErrors = 0;
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(conn.SendHu(error, Body(48, {})), 0) << int(kind);
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3)) << int(kind);
        EXPECT_EQ(error, "与服务器连接断开。") << int(kind);
        EXPECT_EQ(rec.networkErrors, 0) << int(kind);
        EXPECT_EQ(conn.IsConnected(), 0) << int(kind);
        EXPECT_EQ(conn.IsStreamBroken(), 1) << int(kind);
        EXPECT_TRUE(server.WaitForClosed(client, 3000)) << int(kind);
        // Nothing more goes out on it.
        const size_t received = server.Received().size();
        EXPECT_EQ(conn.SendKanPaiAsk(), 0);
        EXPECT_EQ(server.Received().size(), received);
    }
}

TEST_F(Sender, TimeoutsOfTheMahjongRequests) {
    EXPECT_EQ(conn.GetRequestTimeout(221080), 10);
    EXPECT_EQ(conn.GetRequestTimeout(229000), 10);
    EXPECT_EQ(conn.GetRequestTimeout(229080), 10);
    EXPECT_EQ(conn.GetRequestTimeout(200110), 30);
}

}  // namespace
}  // namespace hqlv::mahjong
