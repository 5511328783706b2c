// Two deals played against the local game server, whose results the client's player list and
// score board take in turn: afterwards the list's 级别, 积分 and 银子 of every chair are the
// standing the server settled, and the board holds each chair's silver over both deals and in
// the last one.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/app/app_data.h"
#include "framework/app/text_edge.h"
#include "framework/panes/player_list_model.h"
#include "mahjong/game/silver_tally.h"
#include "tests/tools/server/table_client.h"
#include "tools/server/game_server.h"
#include "tools/server/mahjong/mahjong_handler.h"
#include "tools/stand_ins.h"

namespace hqlv::mahjong {
namespace {

using testrig::Word;

TEST(RunningTotals, AfterTwoServerDealsTheListAndTheBoardHoldTheServersStanding) {
    server::mj::MahjongOptions o;
    o.seed = 19;
    o.deal.thinkMs = 0;
    o.deal.stakeMultiple = 1;
    uint64_t now = 5000;
    o.clock = [&now] { return now; };
    auto handler = std::make_shared<server::mj::MahjongHandler>(o);
    server::ServerOptions so;
    so.port = 0;
    so.log = [](const std::string&) {};
    server::GameServer srv(so);
    srv.SetGameHandler(handler);
    ASSERT_TRUE(srv.Start());
    testrig::TableClient p(srv.Port(), 5001, 0);
    ASSERT_TRUE(p.ok());
    ASSERT_TRUE(p.Enter());
    std::vector<std::vector<uint8_t>> results;
    for (int n = 0; n < 2; ++n) {
        p.Send(201160, p.Body(32, {}));
        auto deal = p.WaitFor(211040, 5000);
        ASSERT_TRUE(deal);
        int leaks = 0;
        auto result = testrig::PlayToEnd(p, deal->data, &leaks);
        ASSERT_TRUE(result);
        results.push_back(result->data);
    }

    // The client's records as the table listed its players before the first deal.
    framework::CGameAppData app("HqLv", 21303, 2, 1);
    ASSERT_TRUE(app.ApplyHallCommandLine("77|127.0.0.1|0|4242|0|5001|1|0|0|0|title|0|0|0|0"));
    framework::PlayerListModel list(app);
    list.InitColumns();
    const std::vector<uint8_t>& first = results[0];
    for (int c = 0; c < 4; ++c) {
        framework::PlayerRecord* r = app.SeatMutable(c);
        r->setWord(framework::PlayerRecord::kUserId,
                   c == 0 ? 5001 : tools::kFirstComputerUserId + c);
        r->setWord(framework::PlayerRecord::kChair, c);
        r->setWord(framework::PlayerRecord::kScore, Word(first, 40 + size_t(c)));
        r->setWord(framework::PlayerRecord::kSilver, Word(first, 48 + size_t(c)));
        r->setText(framework::PlayerRecord::kNameOff, framework::PlayerRecord::kNameLen,
                   "p" + std::to_string(c));
        list.AddPlayer(*r);
    }
    ResetSilverTallies();
    for (const auto& r : results) {
        const framework::Body body{r.data(), r.size()};
        list.UpdateScores(body);
        std::array<int32_t, kTallyChairs> change{};
        for (int c = 0; c < 4; ++c) change[size_t(c)] = Word(r, 80 + size_t(c));
        AddDealSilver(change);
    }

    const server::mj::Deal* deal = handler->DealAt(testrig::kRoom, testrig::kTable);
    ASSERT_TRUE(deal);
    bool moved = false;
    for (int c = 0; c < 4; ++c) {
        SCOPED_TRACE(c);
        const server::mj::Standing s = deal->StandingOf(c);
        const int row = list.FindRow(app.seat(c).userId());
        ASSERT_GE(row, 0);
        EXPECT_EQ(list.Cell(row, "积分"), std::to_string(s.score));
        EXPECT_EQ(list.Cell(row, "银子"), std::to_string(s.silver));
        EXPECT_EQ(list.Cell(row, "级别"), tools::kLevelTitles[size_t(s.level)]);
        EXPECT_EQ(g_nTotalSilver[size_t(c)], int64_t(s.silver) - Word(first, 48 + size_t(c)));
        EXPECT_EQ(g_nRoundSilver[size_t(c)], Word(results[1], 80 + size_t(c)));
        moved |= g_nTotalSilver[size_t(c)] != g_nRoundSilver[size_t(c)];
    }
    // Both deals count: the first one moved some silver the second did not undo.
    EXPECT_TRUE(moved);
    ResetSilverTallies();
    srv.Stop();
}

}  // namespace
}  // namespace hqlv::mahjong
