#pragma once
// This game's table scene wired to the real request sender, which talks to the local game
// server in this process: the server answers each request id as a test says and keeps
// every body it received. The engine clock is a manual one that the tests step.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "engine/core/clock.h"
#include "mahjong/game/game_connect_ex.h"
#include "mahjong/game/game_scene_ex.h"
#include "platform/core/clock.h"
#include "scene/table_scene.h"
#include "socket_owner.h"
#include "tools/server/game_server.h"
#include "words.h"

#define NEED_ASSETS() \
    if (!HaveAssets()) GTEST_SKIP() << "the build wrote no table pictures (programs off)"

namespace hqlv::mahjong::test {

struct PlayConnHost : framework::GameConnectionHost {
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
    void TakePlayerList(const uint8_t*, size_t) override {}
    void SilverBelowRoomMinimum(const uint8_t*, size_t) override {}
    void SilverAboveRoomMaximum(const uint8_t*, size_t) override {}
    void AppendChatMarkup(const std::string&) override {}
};

struct PlayRecorder : CMJClientHost {
    void RecordAction(uint32_t, MJData) override {}
    void OnNetworkError() override { ++networkErrors; }
    int networkErrors = 0;
};

struct PlayHost : SceneHost {
    void BeginWaitCursor() override { ++cursorsBegun, ++cursorDepth; }
    void EndWaitCursor() override { --cursorDepth; }
    std::string GetMachineID() override { return machine; }
    int RequestStartGame(std::string&, int checkSilver) override {
        starts.push_back(checkSilver);
        return startWorks;
    }
    void OnOwnGameStarted(MJData record) override { started.assign(record.begin(), record.end()); }
    bool MapToScreen(int& x, int& y) override {
        if (!mapped) return false;
        x += 1000, y += 2000;
        return true;
    }
    bool mapped = false;
    int cursorsBegun = 0, cursorDepth = 0, startWorks = 1;
    std::string machine = "0123456789abcdef0123456789ABCDEF-tail";
    std::vector<int> starts;
    std::vector<uint8_t> started;
};

// The meld updates are recorded (kind, view, the body's words 3 to 8) before they run.
struct PlayScene : CGameSceneEx {
    int ChooseDiscard() override { return choice >= 0 ? choice : CGameSceneEx::ChooseDiscard(); }
    void Note(const char* kind, int view, MJData body) {
        std::string line = std::string(kind) + " " + std::to_string(view);
        for (size_t w = 3; w < 9 && (w + 1) * 4 <= body.size(); ++w) {
            int32_t v;
            std::memcpy(&v, body.data() + w * 4, 4);
            line += " " + std::to_string(v);
        }
        melds.push_back(line);
    }
    void AddPengMeld(int view, MJData body) override {
        Note("peng", view, body);
        CGameSceneEx::AddPengMeld(view, body);
    }
    void AddExposedGangMeld(int view, MJData body) override {
        Note("gang", view, body);
        CGameSceneEx::AddExposedGangMeld(view, body);
    }
    void AddConcealedGangMeld(int view, MJData body) override {
        Note("angang", view, body);
        CGameSceneEx::AddConcealedGangMeld(view, body);
    }
    void AddAddedGangMeld(int view, MJData body) override {
        Note("bugang", view, body);
        CGameSceneEx::AddAddedGangMeld(view, body);
    }
    void AddDiscard(int view, int tile) override {
        discards.push_back(view * 1000 + tile);
        CGameSceneEx::AddDiscard(view, tile);
    }
    int choice = -1;
    std::vector<std::string> melds;
    std::vector<int> discards;
};

class PlayTest : public SceneTestOf<PlayScene> {
protected:
    void SetUp() override {
        SceneTestOf<PlayScene>::SetUp();
        // The scene fixture's host is replaced by one with the wait cursor and the start.
        play.program = host.program;
        play.ini = host.ini;
        play.requests = &conn;
        play.userId = 123456, play.roomId = 301, play.tableNo = 17, play.chair = 2;
        play.playing = 1;
        play.Wire(deal, draw, scene);
        before = platform::setClock(&clock);
        ASSERT_TRUE(server.Start());
        ASSERT_TRUE(connHost.entry.ApplyHallCommandLine("77|127.0.0.1|301|5|0|123456|17|2|0|0|t|" +
                                                        std::to_string(server.Port()) + "|4|0|9"));
        conn.InitCodec();
        conn.SetOwnerThread(owner.loop.threadId());
        int flag = 0;
        ASSERT_NE(conn.Connect("", "127.0.0.1", server.Port(), &flag), 0);
        ASSERT_TRUE(server.WaitForClients(1, 3000));
        deal.Set(18, 15);  // the time to play
        deal.Set(39, 8);   // the time to claim
        deal.Set(40, 3);   // the grace before a silent seat is acted for
    }
    void TearDown() override {
        scene.Cleanup();
        platform::setClock(before);
        SceneTestOf<PlayScene>::TearDown();
    }
    // The engine up to a running deal: the buttons exist, all of them off.
    void StartDeal() {
        Start();
        scene.ShowAllClaimButtons(0);
    }
    // Own hand records 1.. from the list; the draw slot from drawn (-1: empty).
    void OwnHand(std::initializer_list<int> tiles, int drawn = -1) {
        MJTileInfo* h = scene.Tiles().m_hands[kOwnView];
        for (int i = 0; i < kHandRecords; ++i) h[i] = MJTileInfo{};
        int i = 1;
        for (int t : tiles)
            h[i].nCode = t, h[i].bHand = 1, h[i].bPresent = 1, h[i].nX = 54 * i, ++i;
        if (drawn >= 0) h[0].nCode = drawn, h[0].bHand = 1, h[0].bPresent = 1;
        scene.BindHand(kOwnView);
    }
    void Offer(int kind, int from, int tile, std::initializer_list<int> candidates, int shown = 1) {
        CMJGameScene2::ClaimOffer& o = scene.Offer(kind);
        o.fromChair = from, o.tile = tile, o.shown = shown, o.count = int(candidates.size());
        std::fill(std::begin(o.candidates), std::end(o.candidates), -1);
        int i = 0;
        for (int c : candidates) o.candidates[i++] = c;
    }
    // The head every body starts with, then the given words.
    std::vector<uint8_t> Body(size_t n, std::initializer_list<std::pair<size_t, int32_t>> set) {
        std::vector<uint8_t> b = Words(n / 4, {{0, 123456}, {1, 301}, {2, 17}, {3, 2}});
        for (auto [i, v] : set) PutWord(b, i, v);
        b.resize(n);
        return b;
    }
    server::Request Got(int id, int nth = 1) {
        auto r = server.WaitForRequest(id, 3000, nth);
        EXPECT_TRUE(r) << id;
        return r ? *r : server::Request{};
    }
    // A word of a request's body; INT32_MIN when the request or the word is missing.
    int32_t GotWord(int id, size_t word, int nth = 1) {
        const std::vector<uint8_t> b = Got(id, nth).body;
        int32_t v = INT32_MIN;
        if ((word + 1) * 4 <= b.size()) std::memcpy(&v, b.data() + word * 4, 4);
        return v;
    }
    // Requests of an id the server saw so far.
    int Count(int id) const {
        int n = 0;
        for (const server::Request& r : server.Received()) n += r.id == id;
        return n;
    }
    // The requests of each id the server saw once a waited hu is answered: whatever was sent
    // before it has arrived by then.
    std::vector<int> CountsAfterAHu(std::initializer_list<int> ids) {
        Reply(229080, 10);
        EXPECT_EQ(scene.SendHu(), 10);
        std::vector<int> n;
        for (int id : ids) n.push_back(Count(id));
        return n;
    }
    void Reply(int id, int code, std::vector<uint8_t> data = {}) {
        server.SetReply(id, server::Reply{code, std::move(data)});
    }
    // Steps the engine clock in 10 ms steps: the due Applies run, their messages are handled.
    void Run(uint32_t ms) {
        for (uint32_t t = 0; t < ms; t += 10) {
            clock.advance(10);
            scene.GetKernel().RunDueApplies();
            scene.PumpMessages();
        }
    }
    int Active(int kind) const { return scene.IsClaimButtonActive(kind); }
    // The five claim buttons, peng to pass, as 1 (active) or 0.
    std::string Buttons() const {
        std::string s;
        for (int k = 1; k <= 5; ++k) s += Active(k) ? '1' : '0';
        return s;
    }

    PlayHost play;
    DealState deal;
    platform::ManualClock clock{0xFFFFFFFFu - 700};
    platform::Clock* before = nullptr;
    server::GameServer server{server::ServerOptions{0, 2, 1, 4, 50, 0, [](const std::string&) {}}};
    PlayConnHost connHost;
    SocketOwner owner;
    PlayRecorder rec;
    CGameConnectEx conn{&connHost, &rec};
};

}  // namespace hqlv::mahjong::test
