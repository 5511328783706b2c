// The tool view's moves against the local game server run in-process: the real
// connection's requests, the keypad's answer to a challenge, and the server's 211420
// notices that bring the seat's silver to the target.
#ifdef HQLV_WITH_SERVER
#include <condition_variable>
#include <cstring>
#include <mutex>

#include <gtest/gtest.h>

#include "fake_safebox_ops.h"
#include "framework/app_data.h"
#include "framework/connection/game_connection.h"
#include "framework/player_list_model.h"
#include "framework/web/safebox_dialogs.h"
#include "framework/web/tool_view.h"
#include "netlib/message.h"
#include "platform/core/message.h"
#include "tools/server/game_server.h"
#include "web_test_app.h"

namespace hqlv::framework::web {
namespace {

using hqlv::server::GameServer;
using hqlv::server::Reply;
using hqlv::server::ServerOptions;
using V = std::vector<std::string>;

struct Host : GameConnectionHost {
    CGameAppData app{"HqLv", 21303, 2, 1};
    std::vector<uint8_t> block = std::vector<uint8_t>(64, 0);
    HallEntry& Entry() override { return app; }
    std::string MachineId() override { return "0011223344556677889900aa0000000"; }
    bool MakeOwnPlayerEntry(std::vector<uint8_t>& e, int& flag) override {
        e.assign(136, 0);
        int32_t uid = app.GetUserID();
        std::memcpy(e.data(), &uid, 4);
        flag = 0;
        return true;
    }
    int PlayerChair(int) override { return app.GetChairNo(); }
    int OwnSeatSilver() override { return app.seat(app.GetChairNo()).word(PlayerRecord::kSilver); }
    std::string OwnPlayerName() override { return "me"; }
    void SetActivityConfig(bool, const std::vector<ActivityEntry>&) override {}
    void SetInGame(int) override {}
    std::span<uint8_t> GameDataBlock() override { return block; }
    void TakePlayerList(const uint8_t*, size_t) override {}
    void SilverBelowRoomMinimum(const uint8_t*, size_t) override {}
    void SilverAboveRoomMaximum(const uint8_t*, size_t) override {}
    void AppendChatMarkup(const std::string&) override {}
};

// Collects what the server pushes (code and body).
struct Owner {
    platform::MessageLoop loop;
    std::mutex mu;
    std::condition_variable cv;
    std::vector<std::pair<int, std::vector<uint8_t>>> got;
    Owner() {
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
    ~Owner() {
        loop.quit();
        loop.join();
    }
    // The next push of `code` (taken off the list).
    bool Take(int code, std::vector<uint8_t>& out) {
        std::unique_lock<std::mutex> l(mu);
        return cv.wait_for(l, std::chrono::seconds(5), [&] {
            for (auto it = got.begin(); it != got.end(); ++it)
                if (it->first == code) {
                    out = it->second;
                    got.erase(it);
                    return true;
                }
            return false;
        });
    }
};

// The application side over the real connection; the challenge goes to the keypad.
struct ConnOps : testing::FakeSafeBoxOps {
    CGameConnection& conn;
    Host& host;
    std::string keypadDigits = "0042";
    explicit ConnOps(CGameConnection& c, Host& h) : conn(c), host(h) {}
    int32_t SeatSilver() override { return host.OwnSeatSilver(); }
    int UserId() override { return host.app.GetUserID(); }
    int OpenSafeBox(std::string& text, uint8_t out[32]) override {
        return conn.OpenSafeBox(text, out);
    }
    int QueryProtection(std::string& text, uint8_t out[24], int* code) override {
        return conn.QueryProtection(text, out, code);
    }
    int TakeSilver(std::string& text, int amount, int response) override {
        log.push_back("take " + std::to_string(amount) + " " + std::to_string(response));
        return conn.TakeSilver(text, amount, response);
    }
    int SaveSilver(std::string& text, int& amount, int* code) override {
        log.push_back("save " + std::to_string(amount));
        return conn.SaveSilver(text, amount, code);
    }
    bool AskChallenge(int32_t challenge, int32_t& response) override {
        CSoftKeypadDlg keypad(nullptr, 11);
        keypad.SetChallenge(challenge);
        keypad.model().TypeDigits(keypadDigits);
        keypad.OnOK();
        response = keypad.GetResponse();
        log.push_back("keypad " + std::to_string(challenge));
        return keypad.result() == QDialog::Accepted;
    }
};

TEST(SafeBoxServer, FixedAmountsMoveSilverAndTheSeatFollows) {
    testing::SharedWebApp();
    GameServer server{ServerOptions{0, 2, 1, 4, 50, 0, [](const std::string&) {}}};
    ASSERT_TRUE(server.Start());
    Host host;
    ASSERT_TRUE(host.app.ApplyHallCommandLine("77|127.0.0.1|301|5|0|123456|17|2|0|0|t|" +
                                              std::to_string(server.Port()) + "|4|16777410|0"));
    Owner owner;
    CGameConnection conn(&host);
    conn.InitCodec();
    conn.SetOwnerThread(owner.loop.threadId());
    int flag = 0;
    ASSERT_NE(conn.Connect("", "127.0.0.1", server.Port(), &flag), 0);
    std::string text;
    ASSERT_EQ(conn.EnterGame(text), 1) << text;
    PlayerRecord* seat = host.app.SeatMutable(2);
    seat->setWord(PlayerRecord::kUserId, 123456);
    seat->setWord(PlayerRecord::kChair, 2);
    seat->setWord(PlayerRecord::kSilver, 10000);  // what the local server gives everyone
    PlayerListModel players(host.app);
    ConnOps ops(conn, host);
    CGameToolView view(ops);
    view.LoadFixAmounts();  // no Fix5: the defaults
    EXPECT_EQ(view.amounts(), kFixDefaults);

    auto follow = [&](int32_t want) {
        std::vector<uint8_t> b;
        ASSERT_TRUE(owner.Take(211420, b));
        players.OnSilverChanged(Body{b.data(), b.size()});
        EXPECT_EQ(seat->word(PlayerRecord::kSilver), want);
    };
    EXPECT_EQ(view.ApplyFixAmount(3000), FixOutcome::kSaved);
    follow(3000);
    EXPECT_EQ(view.ApplyFixAmount(3000), FixOutcome::kEqual);
    EXPECT_EQ(view.ApplyFixAmount(1000), FixOutcome::kSaved);  // 3000 -> 1000
    follow(1000);
    // No protection password: straight to the take with response 0.
    server.SetReply(200043, Reply{60000, {}});
    EXPECT_EQ(view.ApplyFixAmount(3000), FixOutcome::kTaken);
    follow(3000);
    // A challenge: the keypad answers it.
    std::vector<uint8_t> challenge(24, 0);
    int32_t c = 12345678;
    std::memcpy(challenge.data() + 4, &c, 4);
    server.SetReply(200043, Reply{10, challenge});
    EXPECT_EQ(view.ApplyFixAmount(10000), FixOutcome::kTaken);  // 3000 -> 10000
    follow(10000);
    EXPECT_EQ(ops.log, (V{"save 7000", "save 2000", "take 2000 0", "keypad 12345678",
                          "take 7000 " + std::to_string(42 + 1234 + 5678)}));
    auto take = server.WaitForRequest(200041, 1000, 2);
    ASSERT_TRUE(take);
    int32_t sentResponse;
    std::memcpy(&sentResponse, take->body.data() + 24, 4);
    EXPECT_EQ(sentResponse, 42 + 1234 + 5678);
    EXPECT_EQ(ops.boxes.back(),
              "设定成功。\r\n\r\n(已经从保险箱中取出 7000 两，\r\nT当前有银子 10000 两)");

    // The safe box shows word 1 of the open reply: what is left in the box.
    uint8_t box[32] = {};
    ASSERT_EQ(ops.OpenSafeBox(text, box), 1);
    int32_t left;
    std::memcpy(&left, box + 4, 4);
    EXPECT_EQ(left, 50000 + 7000 + 2000 - 2000 - 7000);
}

}  // namespace
}  // namespace hqlv::framework::web
#endif
