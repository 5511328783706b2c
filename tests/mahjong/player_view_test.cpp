// The mahjong player list: who item 1906 is offered for, the allowed set, the answer
// request 221052 and what a failed one leaves, and the deal result's reset.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>

#include "framework/panes/game_frame.h"
#include "framework/panes/pane_hooks.h"
#include "mahjong/game/game_app_ex.h"
#include "mahjong/game/panes_ex.h"
#include "mahjong/game/small_dialogs.h"
#include "netlib/message.h"
#include "platform/core/message.h"
#include "socket_owner.h"
#include "tests/framework/qt_test_app.h"
#include "tools/server/game_server.h"
#include "words.h"

namespace hqlv::mahjong {
namespace {

framework::PlayerRecord Record(int userId, int chair, const char* name) {
    framework::PlayerRecord r;
    r.setWord(framework::PlayerRecord::kUserId, userId);
    r.setWord(framework::PlayerRecord::kChair, chair);
    r.setText(framework::PlayerRecord::kNameOff, framework::PlayerRecord::kNameLen, name);
    return r;
}

class PlayerList : public testing::Test {
protected:
    void SetUp() override {
        framework::testing::SharedQtApp();
        ASSERT_TRUE(server.Start());
        ASSERT_TRUE(app.CheckHallCommandLine("77|127.0.0.1|301|5|0|1001|17|2|0|0|t|" +
                                             std::to_string(server.Port()) + "|4|0|9"));
        *app.SeatMutable(2) = Record(1001, 2, "me");
        *app.SeatMutable(0) = Record(1000, 0, "east");
        ASSERT_NE(app.AddLookerOn(Record(2001, 2, "watcher")), nullptr);
        ASSERT_NE(app.AddLookerOn(Record(2002, 1, "other")), nullptr);
        view = std::make_unique<CGamePlayerViewEx>(app);
        for (int id : {1001, 1000, 2001, 2002}) view->AddPlayer(*app.GetPlayerRecord(id));
    }
    void Connect() {
        framework::CGameConnection* conn = app.GetConnection();
        conn->InitCodec();
        conn->SetOwnerThread(owner.loop.threadId());
        int flag = 0;
        ASSERT_NE(conn->Connect("", "127.0.0.1", server.Port(), &flag), 0);
        ASSERT_TRUE(server.WaitForClients(1, 3000));
    }
    void AllowViewing() { ASSERT_TRUE(app.gameInfo().SetRoundResult(test::Words(233, {{14, 1}}))); }

    server::GameServer server{server::ServerOptions{0, 2, 1, 4, 50, 0, [](const std::string&) {}}};
    test::SocketOwner owner;
    struct ListApp : CGameAppEx {
        void SetFrame(framework::CGameFrameWnd* f) { frame_ = f; }
    } app;
    std::unique_ptr<CGamePlayerViewEx> view;
};

TEST_F(PlayerList, ItemOfferedOnlyForALookerOnOfTheOwnChair) {
    KanPaiMenuItem item = view->KanPaiMenuFor(2001);
    EXPECT_TRUE(item.enabled);
    EXPECT_EQ(item.text, "允许watcher看牌");
    item = view->KanPaiMenuFor(2002);
    EXPECT_FALSE(item.enabled);
    EXPECT_EQ(item.text, "允许other看牌");
    item = view->KanPaiMenuFor(1000);
    EXPECT_FALSE(item.enabled);
    EXPECT_EQ(item.text, "");
    view->model().AddToUserSet(2001);
    EXPECT_EQ(view->KanPaiMenuFor(2001).text, "禁止watcher看牌");
    // A looker-on user himself is offered nothing.
    ASSERT_TRUE(app.CheckHallCommandLine("77|127.0.0.1|301|5|0|1001|17|2|1|0|t|21303|4|0|9"));
    EXPECT_FALSE(view->KanPaiMenuFor(2001).enabled);
    EXPECT_EQ(view->KanPaiMenuFor(2001).text, "");
}

TEST_F(PlayerList, FailedAnswerChangesNothing) {
    view->OnKanPaiReply(2001, true);
    EXPECT_FALSE(view->IsInUserSet(2001));
    view->model().AddToUserSet(2002);
    view->OnKanPaiReply(2002, false);
    EXPECT_TRUE(view->IsInUserSet(2002));
}

TEST_F(PlayerList, AnswersChangeTheSetAndGoOutAsRequests) {
    Connect();
    view->OnKanPaiReply(2001, true);
    view->OnKanPaiReply(2001, true);
    EXPECT_TRUE(view->IsInUserSet(2001));
    EXPECT_EQ(view->model().UserSetSize(), 1u);
    view->OnKanPaiReply(2002, false);
    EXPECT_EQ(view->model().UserSetSize(), 1u);
    auto first = server.WaitForRequest(221052, 3000);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->body,
              test::Words(10, {{0, 1001}, {1, 301}, {2, 17}, {3, 2}, {4, 2001}, {5, 1}}));
    auto refusal = server.WaitForRequest(221052, 3000, 3);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->body, test::Words(10, {{0, 1001}, {1, 301}, {2, 17}, {3, 2}, {4, 2002}}));
    view->OnKanPaiReply(2001, false);
    EXPECT_FALSE(view->IsInUserSet(2001));
}

TEST_F(PlayerList, CommandNeedsTheDealsViewingBitAndARow) {
    Connect();
    view->SetSelectedUser(2001);
    view->OnCommand1906();
    EXPECT_FALSE(server.WaitForRequest(221052, 200));
    AllowViewing();
    view->SetSelectedUser(9999);
    view->OnCommand1906();
    EXPECT_FALSE(server.WaitForRequest(221052, 200));
    view->SetSelectedUser(2001);
    view->OnCommand1906();
    ASSERT_TRUE(server.WaitForRequest(221052, 3000));
    EXPECT_TRUE(view->IsInUserSet(2001));
    // The second command forbids what the first allowed.
    view->OnCommand1906();
    auto second = server.WaitForRequest(221052, 3000, 2);
    ASSERT_TRUE(second);
    EXPECT_EQ(test::Words(6, {{5, 0}})[20], second->body[20]);
    EXPECT_FALSE(view->IsInUserSet(2001));
}

TEST_F(PlayerList, ResultRecordEndsViewingUntilTheNextDeal) {
    Connect();
    AllowViewing();
    view->model().AddToUserSet(2001);
    std::vector<uint8_t> result(1652, 0);
    view->UpdateScores(result);
    EXPECT_EQ(view->model().UserSetSize(), 0u);
    EXPECT_FALSE(app.gameInfo().CanViewTiles());
    view->SetSelectedUser(2001);
    view->OnCommand1906();
    EXPECT_FALSE(server.WaitForRequest(221052, 200));
}

}  // namespace
}  // namespace hqlv::mahjong

namespace hqlv::mahjong {
namespace {

// The exit-request dialog made on the application alone does what its request button asks:
// the request with the reason through the application's connection, the own chair's count
// raised, the chat line with the own name; and the deal's word 22 takes away the forced exit.
TEST_F(PlayerList, TheApplicationsExitRequestDialogSendsCountsAndWritesTheChatLine) {
    Connect();
    struct ChatLines : framework::CChatViewHooks {
        void AppendMarkup(const std::string& markup) override { lines.push_back(markup); }
        std::vector<std::string> lines;
    } chat;
    struct ChatFrame : framework::CGameFrameWnd {
        ChatFrame(CGameAppEx& a, framework::CChatViewHooks& c) : CGameFrameWnd(a), chat(c) {}
        framework::CChatViewHooks* GetChatView() override { return &chat; }
        framework::CChatViewHooks& chat;
    } frame(app, chat);
    app.SetFrame(&frame);
    {
        CExitRequestDlg dlg(app);
        EXPECT_FALSE(dlg.forceButton()->isHidden());
        EXPECT_EQ(dlg.requestButton()->text().toStdString(), "请求退出(2)");
        dlg.reason()->setText("有事");
        dlg.OnSendRequest();
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
    }
    auto got = server.WaitForRequest(400006, 3000);
    ASSERT_TRUE(got);
    std::vector<uint8_t> want = test::Words(20, {{0, 1001}, {1, 301}, {2, 17}, {3, 2}});
    const std::string reason = framework::Utf8ToGbk("有事");
    std::copy(reason.begin(), reason.end(), want.begin() + 16);
    EXPECT_EQ(got->body, want);
    EXPECT_EQ(app.ExitRequestCount(2), 1);
    EXPECT_EQ(chat.lines, std::vector<std::string>{" <c=2906200>me请求退出 \r\n"});
    ASSERT_TRUE(app.gameInfo().SetRoundResult(test::Words(233, {{22, 1}})));
    CExitRequestDlg forbidden(app);
    EXPECT_TRUE(forbidden.forceButton()->isHidden());
    EXPECT_EQ(forbidden.requestButton()->text().toStdString(), "请求退出(1)");
    app.SetFrame(nullptr);
}

// The popup's answer (0x8D20: the requester, 1 agree or 0 refuse) reaches this game's list,
// which writes the chat line and sends the answer 400007.
TEST_F(PlayerList, ThePopupsAnswerGoesOutAndIntoTheChat) {
    Connect();
    struct ChatLines : framework::CChatViewHooks {
        void AppendMarkup(const std::string& markup) override { lines.push_back(markup); }
        std::vector<std::string> lines;
    } chat;
    struct ChatFrame : framework::CGameFrameWnd {
        ChatFrame(CGameAppEx& a, framework::CChatViewHooks& c) : CGameFrameWnd(a), chat(c) {}
        framework::CChatViewHooks* GetChatView() override { return &chat; }
        framework::CChatViewHooks& chat;
    } frame(app, chat);
    app.SetFrame(&frame);
    for (int agree : {1, 0}) {
        platform::Message m;
        m.id = kMsgExitAnswer;
        m.w = 1000;
        m.l = agree;
        platform::send(view->hwnd(), m);
    }
    EXPECT_EQ(chat.lines, (std::vector<std::string>{" <c=2906200>me答应east的退出请求 \r\n",
                                                    " <c=2906200>me拒绝east的退出请求 \r\n"}));
    for (int agree : {1, 0}) {
        auto got = server.WaitForRequest(400007, 3000, agree ? 1 : 2);
        ASSERT_TRUE(got);
        EXPECT_EQ(got->body,
                  test::Words(10, {{0, 1001}, {1, 301}, {2, 17}, {3, 2}, {4, 1000}, {5, agree}}));
    }
    app.SetFrame(nullptr);
}

}  // namespace
}  // namespace hqlv::mahjong
