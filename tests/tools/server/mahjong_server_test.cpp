// The mahjong game layer in the in-process server, spoken to over the wire.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/core/text.h"
#include "table_client.h"
#include "tools/server/game_server.h"
#include "tools/server/mahjong/mahjong_handler.h"
#include "tools/stand_ins.h"
#include "tools/standings.h"

namespace {

using namespace hqlv::server;
using testrig::TableClient;
using testrig::Word;

struct Server {
    explicit Server(int thinkMs = 0, std::string record = {}, int stakeMultiple = 0,
                    std::string standings = {}, std::map<int, RoomRules> rooms = {}) {
        mj::MahjongOptions o;
        o.seed = 7;
        o.recordFile = record;
        o.standingsFile = standings;
        o.deal.thinkMs = thinkMs;
        o.deal.stakeMultiple = stakeMultiple;
        o.clock = [this] { return now.load(); };
        handler = std::make_shared<mj::MahjongHandler>(o);
        ServerOptions so;
        so.port = 0;
        so.log = [](const std::string&) {};
        so.rooms = std::move(rooms);
        server = std::make_unique<GameServer>(so);
        server->SetGameHandler(handler);
        server->Start();
    }
    const mj::Deal* deal() const { return handler->DealAt(testrig::kRoom, testrig::kTable); }
    std::atomic<uint64_t> now{5000};
    std::shared_ptr<mj::MahjongHandler> handler;
    std::unique_ptr<GameServer> server;
};

// The test room with the system's seating, a player seated after a wait of the given length.
std::map<int, RoomRules> SystemSeatedRoom(int seatWaitMs) {
    RoomRules rules;
    rules.systemSeated = true;
    rules.seatWaitMs = seatWaitMs;
    return {{testrig::kRoom, rules}};
}

// The entries of the players a table-full answer (200510) lists, by chair: the count in
// word 2, the 136-byte entries from byte 60.
std::map<int, std::vector<uint8_t>> ListedEntries(const std::vector<uint8_t>& data) {
    std::map<int, std::vector<uint8_t>> byChair;
    const int n = Word(data, 2);
    for (int k = 0; k < n && 60 + (k + 1) * 136 <= static_cast<int>(data.size()); ++k) {
        const size_t at = 60 + static_cast<size_t>(k) * 136;
        std::vector<uint8_t> e(data.begin() + static_cast<long>(at),
                               data.begin() + static_cast<long>(at + 136));
        EXPECT_FALSE(byChair.count(Word(e, 4))) << "chair listed twice";
        byChair[Word(e, 4)] = e;
    }
    return byChair;
}

// The table's players as a later comer to the held chair 0 finds them listed.
std::map<int, std::vector<uint8_t>> TableEntries(uint16_t port) {
    TableClient late(port, 5099, 0);
    if (!late.ok()) return {};
    auto e = late.Enter();
    if (!e) return {};
    EXPECT_EQ(e->code, 200510);
    return ListedEntries(e->data);
}

std::map<int, int> TableAsListed(uint16_t port) {
    std::map<int, int> users;
    for (const auto& [chair, e] : TableEntries(port)) users[chair] = Word(e, 0);
    return users;
}

TEST(MahjongServer, TableListsTheServerDrivenPlayersOnceEachChair) {
    Server s;
    {
        TableClient first(s.server->Port(), 5001, 0);
        ASSERT_TRUE(first.ok());
        ASSERT_TRUE(first.Enter());
        first.Send(201160, first.Body(32, {}));
        ASSERT_TRUE(first.WaitFor(211040));
        // Leaving drops the deal; the server-driven players keep their chairs.
        ASSERT_TRUE(first.Call(201125, first.Body(32, {})));
    }
    TableClient p(s.server->Port(), 5002, 0);
    ASSERT_TRUE(p.ok());
    auto e = p.Enter();
    ASSERT_TRUE(e);
    ASSERT_EQ(e->code, 200500);
    // No deal runs: the entry brings no game data (this game's data is a deal's state).
    EXPECT_TRUE(e->data.empty());
    // The safe box: its amount in words 0 and 1.
    auto box = p.Call(200040, p.Body(32, {}));
    ASSERT_TRUE(box);
    EXPECT_EQ(Word(box->data, 0), 50000);
    EXPECT_EQ(Word(box->data, 1), 50000);
    EXPECT_EQ(TableAsListed(s.server->Port()), (std::map<int, int>{{0, 5002},
                                                                   {1, mj::kFirstComputerId + 1},
                                                                   {2, mj::kFirstComputerId + 2},
                                                                   {3, mj::kFirstComputerId + 3}}));
    // A player entering a server-driven chair is listed there instead of it.
    TableClient q(s.server->Port(), 5003, 1);
    ASSERT_TRUE(q.ok());
    auto f = q.Enter();
    ASSERT_TRUE(f);
    ASSERT_EQ(f->code, 200500);
    // A seated player's call reaches the others at the table.
    p.Send(201200, p.Body(40, {}));
    EXPECT_TRUE(q.WaitFor(201200));
    // Silver saved into the safe box: the table hears user, chair, 2 for saving, the amount.
    auto saved = p.Call(200042, p.Body(24, {0, 100}));
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->code, 10);
    auto moved = q.WaitFor(211420);
    ASSERT_TRUE(moved);
    ASSERT_EQ(moved->data.size(), 20u);
    EXPECT_EQ(Word(moved->data, 0), 5002);
    EXPECT_EQ(Word(moved->data, 2), 2);
    EXPECT_EQ(Word(moved->data, 3), 100);
    // Raw bytes go only to a known client; a delayed reply comes after its delay.
    EXPECT_FALSE(s.server->SendRaw(-5, {1}));
    s.server->SetReplyDelay(201001, 150);
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(p.Call(201001, p.Body(32, {})));
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(140));
    EXPECT_TRUE(f->data.empty());
    EXPECT_EQ(
        TableAsListed(s.server->Port()),
        (std::map<int, int>{
            {0, 5002}, {1, 5003}, {2, mj::kFirstComputerId + 2}, {3, mj::kFirstComputerId + 3}}));
}

TEST(MahjongServer, SeededDealWithThreeServerDrivenSeatsEndsBalanced) {
    const std::string record = ::testing::TempDir() + "/hqlv-deals.txt";
    std::remove(record.c_str());
    Server s(0, record);
    TableClient p(s.server->Port(), 5001, 0);
    ASSERT_TRUE(p.ok());
    auto e = p.Enter();
    ASSERT_TRUE(e);
    EXPECT_EQ(e->code, 200500);
    p.Send(201160, p.Body(32, {}));
    std::vector<hqlv::testing::WireMessage> seen;
    auto deal = p.WaitFor(211040, 5000, &seen);
    ASSERT_TRUE(deal);
    ASSERT_EQ(deal->data.size(), 948u);
    int computers = 0, started = 0;
    for (const auto& m : seen) {
        if (m.code == 211011) {
            ++computers;
            EXPECT_GE(Word(m.data, 0), mj::kFirstComputerId);
            EXPECT_EQ(m.data.size(), 136u);
        }
        if (m.code == 201160) started += Word(m.data, 3) == 0;
    }
    EXPECT_EQ(computers, 3);
    EXPECT_EQ(started, 0);  // the starter's client tells itself of its start
    // The own hand is in the record: 13 or 14 tiles, then -1.
    int held = 0;
    while (held < 32 && Word(deal->data, 53 + held) >= 0) ++held;
    EXPECT_TRUE(held == 13 || held == 14) << held;
    auto running = p.Call(201130, p.Body(32, {}));
    ASSERT_TRUE(running);
    int leaks = 0;
    auto result = PlayToEnd(p, deal->data, &leaks);
    ASSERT_TRUE(result);
    ASSERT_EQ(result->data.size(), 1652u + 4 * 172);
    EXPECT_EQ(Word(result->data, 14) + Word(result->data, 15) + Word(result->data, 16) +
                  Word(result->data, 17),
              0);
    EXPECT_EQ(leaks, 0);
    EXPECT_EQ(running->code, 210030);
    int draws = 0;
    for (const auto& r : s.server->Received()) draws += r.id == 229000;
    EXPECT_GT(draws, 0);
    ASSERT_TRUE(s.deal());
    EXPECT_TRUE(s.deal()->Over());
    auto after = p.Call(201130, p.Body(32, {}));
    ASSERT_TRUE(after);
    EXPECT_EQ(after->code, 10);
    // The record file holds the deal as text, as the deal library writes it.
    std::ifstream in(record);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), mj::DealText(*s.deal()));
    std::remove(record.c_str());
}

// Each request checked before use: sizes, counts, the actor, the phase, chow and flowers.
TEST(MahjongServer, FaultyRequestsAreRefused) {
    Server s(/*thinkMs=*/800);  // the server-driven seats wait: the deal stands still
    TableClient p(s.server->Port(), 5001, 0);
    ASSERT_TRUE(p.Enter());
    p.Send(201160, p.Body(32, {}));
    auto deal = p.WaitFor(211040);
    ASSERT_TRUE(deal);
    int32_t notHeld = 0;
    for (bool held = true; held; ++notHeld) {
        held = false;
        for (int k = 0; k < 32; ++k) held |= Word(deal->data, 53 + k) == notHeld;
        if (!held) break;
    }
    struct Case {
        const char* what;
        int id;
        std::vector<uint8_t> body;
        int code;
    };
    auto shortDiscard = p.DiscardBody(Word(deal->data, 53));
    shortDiscard.resize(104);  // the count says one tile, the tile is missing
    auto twoTiles = p.DiscardBody(Word(deal->data, 53));
    testrig::PutWord(twoTiles, 25, 2);
    twoTiles.resize(112);
    auto negative = p.DiscardBody(Word(deal->data, 53));
    testrig::PutWord(negative, 25, -1);
    const Case cases[] = {
        {"short enter", 200110, p.Body(104, {}), 1011},
        {"short draw", 229000, std::vector<uint8_t>(20, 0), 1011},
        {"short hu", 229080, p.Body(44, {0, 0, 1}), 1011},
        {"short kong confirm", 229045, p.Body(60, {}), 1011},
        {"discard count past the body", 221080, shortDiscard, 1011},
        {"discard of two tiles", 221080, twoTiles, 1011},
        {"negative discard count", 221080, negative, 1011},
        {"another chair's draw", 229000, p.Body(96, {0, 1, 2, 3}, /*headChair=*/2), 1010},
        {"another chair's hu", 229080, p.Body(48, {2, 5, 2}, /*headChair=*/2), 1010},
        {"chow", 229030, p.Body(64, {}), 1010},
        {"flower", 229060, p.Body(44, {}), 1010},
        {"draw out of turn", 229000, p.Body(96, {}), 1010},
        {"kong confirm without a claim", 229045, p.Body(64, {1, 5, 6, 7, 8}), 1010},
        {"discard of a tile not held", 221080, p.DiscardBody(notHeld), 229450},
    };
    for (const auto& c : cases) {
        auto a = p.Call(c.id, c.body);
        ASSERT_TRUE(a) << c.what;
        EXPECT_EQ(a->code, c.code) << c.what;
    }
    ASSERT_TRUE(s.deal());
    EXPECT_TRUE(s.deal()->Running());
    EXPECT_EQ(s.deal()->CheckTiles(), "");
    // Table 0 is a table like any other.
    TableClient z(s.server->Port(), 5009, 3);
    ASSERT_TRUE(z.ok());
    std::vector<uint8_t> atZero(108, 0);
    testrig::PutWord(atZero, 0, 5009);
    testrig::PutWord(atZero, 3, testrig::kRoom);
    testrig::PutWord(atZero, 5, 3);
    auto zero = z.Call(200110, atZero);
    ASSERT_TRUE(zero);
    EXPECT_EQ(zero->code, 200500);
}

TEST(MahjongServer, LookerOnSeesNoPrivateTileAndIsRefused) {
    Server s;
    TableClient looker(s.server->Port(), 6001, 0);
    ASSERT_TRUE(looker.Enter(/*lookerOn=*/true));
    TableClient p(s.server->Port(), 5001, 0);
    ASSERT_TRUE(p.Enter());
    p.Send(201160, p.Body(32, {}));
    auto deal = p.WaitFor(211040);
    ASSERT_TRUE(deal);
    auto seen = looker.WaitFor(211040);
    ASSERT_TRUE(seen);
    for (int k = 0; k < 32; ++k) EXPECT_EQ(Word(seen->data, 53 + k), -1) << k;
    auto refused = looker.Call(229000, looker.Body(96, {}));
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->code, 1010);
    auto notPlayer = looker.Call(221052, looker.Body(40, {5001, 1}));
    ASSERT_TRUE(notPlayer);
    EXPECT_EQ(notPlayer->code, 1010);
    // The looker-on asks to see the hand; the player agrees: the hand goes to that looker-on.
    looker.Send(221050, looker.Body(32, {}));
    auto ask = p.WaitFor(221050);
    ASSERT_TRUE(ask);
    EXPECT_EQ(Word(ask->data, 0), 6001);
    p.Send(221052, p.Body(40, {6001, 1}));
    auto answer = looker.WaitFor(221160);
    ASSERT_TRUE(answer);
    EXPECT_EQ(Word(answer->data, 3), 0);
    EXPECT_EQ(Word(answer->data, 4), 6001);
    EXPECT_EQ(Word(answer->data, 5), 1);
    auto hand = looker.WaitFor(221200);
    ASSERT_TRUE(hand);
    EXPECT_EQ(Word(hand->data, 1), 0);
    const int shown = Word(hand->data, 2);
    ASSERT_TRUE(shown == 13 || shown == 14) << shown;
    for (int k = 0; k < shown; ++k) EXPECT_EQ(Word(hand->data, 3 + k), Word(deal->data, 53 + k));
    std::vector<hqlv::testing::WireMessage> before;
    looker.WaitFor(-1, 300, &before);  // what arrived so far belongs to the time before
    int leaks = 0;
    ASSERT_TRUE(PlayToEnd(p, deal->data, &leaks));
    int draws = 0;
    for (;;) {
        auto m = looker.Next(2000);
        ASSERT_TRUE(m);
        if (m->code == 229160) {
            ++draws;
            // Chair 0's own draws now reach the looker-on it agreed to show them.
            if (Word(m->data, 0) == 0) {
                EXPECT_NE(Word(m->data, 1), -1);
            } else {
                EXPECT_EQ(Word(m->data, 1), -1);
            }
        }
        if (m->code == 229195 || m->code == 229197 || m->code == 229199) {
            EXPECT_EQ(Word(m->data, 10), -1);
        }
        if (m->code == 211080) break;
    }
    EXPECT_GT(draws, 0);
    // A looker-on going is no player leaving the table.
    looker.Close();
    EXPECT_FALSE(p.WaitFor(211010, 200));
}

TEST(MahjongServer, DisconnectReturnAndLeave) {
    Server s(/*thinkMs=*/800);
    TableClient looker(s.server->Port(), 6001, 0);
    ASSERT_TRUE(looker.Enter(true));
    auto p = std::make_unique<TableClient>(s.server->Port(), 5001, 0);
    ASSERT_TRUE(p->Enter());
    p->Send(201160, p->Body(32, {}));
    ASSERT_TRUE(p->WaitFor(211040));
    ASSERT_TRUE(looker.WaitFor(211040));
    p->Close();
    auto gone = looker.WaitFor(229500);
    ASSERT_TRUE(gone);
    EXPECT_EQ(Word(gone->data, 3), 0);
    EXPECT_EQ(Word(gone->data, 4), 2);
    EXPECT_TRUE(s.deal()->Driven(0));
    // Another user cannot take the seat mid-deal, nor a server-driven player's seat.
    TableClient other(s.server->Port(), 5002, 0);
    auto taken = other.Enter();
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->code, 200510);
    TableClient third(s.server->Port(), 5003, 1);
    auto computer = third.Enter();
    ASSERT_TRUE(computer);
    EXPECT_EQ(computer->code, 200510);
    // The same user gets it back with the player state.
    TableClient back(s.server->Port(), 5001, 0);
    auto again = back.Enter();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->code, 200500);
    EXPECT_EQ(again->data.size(), 5028u);
    auto returned = looker.WaitFor(229500);
    ASSERT_TRUE(returned);
    EXPECT_EQ(Word(returned->data, 4), 1);
    EXPECT_FALSE(s.deal()->Driven(0));
    // Leaving mid-deal drops it without a result.
    auto left = back.Call(201125, back.Body(32, {}));
    ASSERT_TRUE(left);
    auto notice = looker.WaitFor(211000);
    ASSERT_TRUE(notice);
    EXPECT_EQ(Word(notice->data, 1), 0);
    EXPECT_EQ(Word(notice->data, 2), 0);
    EXPECT_EQ(Word(notice->data, 5), 0);
    EXPECT_EQ(Word(notice->data, 6), 0);
    EXPECT_FALSE(s.deal()->Running());
    EXPECT_FALSE(s.deal()->Over());
    EXPECT_FALSE(back.WaitFor(211000, 100));  // not told to the one who left
    // The chair it left is free for another user.
    TableClient next(s.server->Port(), 5004, 0);
    auto seated = next.Enter();
    ASSERT_TRUE(seated);
    EXPECT_EQ(seated->code, 200500);
}

}  // namespace

namespace {

// A player who dropped out mid-deal has no seat once the deal is over: the next player ready
// at the table gets a server-driven player in that chair and a deal.
TEST(MahjongServer, ChairOfADroppedPlayerIsFilledAfterTheDeal) {
    Server s;
    TableClient looker(s.server->Port(), 6001, 0);
    ASSERT_TRUE(looker.Enter(/*lookerOn=*/true));
    auto p = std::make_unique<TableClient>(s.server->Port(), 5001, 0);
    ASSERT_TRUE(p->Enter());
    p->Send(201160, p->Body(32, {}));
    ASSERT_TRUE(p->WaitFor(211040));
    p->Close();
    ASSERT_TRUE(looker.WaitFor(211080, 10000));  // played to its end server-driven
    TableClient next(s.server->Port(), 5002, 2);
    auto e = next.Enter();
    ASSERT_TRUE(e);
    ASSERT_EQ(e->code, 200500);
    next.Send(201160, next.Body(32, {}));
    EXPECT_TRUE(next.WaitFor(211040, 3000));
}

}  // namespace

namespace {

// The hand a player agreed to show is that chair's only: the looker-on who moves to look on
// at another chair sees none of that chair's tiles.
TEST(MahjongServer, ShownHandStaysWithItsChair) {
    Server s;
    TableClient looker(s.server->Port(), 6001, 0);
    ASSERT_TRUE(looker.Enter(/*lookerOn=*/true));
    TableClient p(s.server->Port(), 5001, 0);
    ASSERT_TRUE(p.Enter());
    p.Send(201160, p.Body(32, {}));
    auto deal = p.WaitFor(211040);
    ASSERT_TRUE(deal);
    looker.Send(221050, looker.Body(32, {}));
    ASSERT_TRUE(p.WaitFor(221050));
    p.Send(221052, p.Body(40, {6001, 1}));
    ASSERT_TRUE(looker.WaitFor(221200));
    // The looker-on now looks on at chair 1, a server-driven seat, which plays on its own.
    auto again = looker.Body(108, {});
    testrig::PutWord(again, 3, testrig::kRoom);
    testrig::PutWord(again, 4, testrig::kTable);
    testrig::PutWord(again, 5, 1);
    testrig::PutWord(again, 14, 1);
    auto e = looker.Call(200110, again);
    ASSERT_TRUE(e);
    ASSERT_EQ(e->code, 200500);
    int leaks = 0;
    ASSERT_TRUE(PlayToEnd(p, deal->data, &leaks));
    int chair1Draws = 0;
    for (;;) {
        auto m = looker.Next(2000);
        ASSERT_TRUE(m);
        if (m->code == 211080) break;
        if (m->code == 229160 && Word(m->data, 0) == 1) {
            ++chair1Draws;
            EXPECT_EQ(Word(m->data, 1), -1);
        }
        if ((m->code == 229195 || m->code == 229197 || m->code == 229199) &&
            Word(m->data, 3) == 1) {
            EXPECT_EQ(Word(m->data, 10), -1);
        }
    }
    EXPECT_GT(chair1Draws, 0);
}

}  // namespace

namespace {

// The players' standing runs on from deal to deal: the second result names, for every chair,
// the score and silver the first one left (before plus change), and the player's entry holds
// the standing of the last result.
TEST(MahjongServer, EachDealStartsFromTheStandingTheLastOneLeft) {
    Server s(0, {}, 1);
    TableClient p(s.server->Port(), 5001, 0);
    ASSERT_TRUE(p.ok());
    ASSERT_TRUE(p.Enter());
    std::vector<std::vector<uint8_t>> results;
    for (int n = 0; n < 2; ++n) {
        p.Send(201160, p.Body(32, {}));
        auto deal = p.WaitFor(211040, 5000);
        ASSERT_TRUE(deal);
        int leaks = 0;
        auto result = PlayToEnd(p, deal->data, &leaks);
        ASSERT_TRUE(result);
        results.push_back(result->data);
    }
    const auto& a = results[0];
    const auto& b = results[1];
    // A player who brought no entry starts as the hall lists its user.
    EXPECT_EQ(Word(a, 40), hqlv::tools::kPlayerStartScore);
    EXPECT_EQ(Word(a, 48), hqlv::tools::kPlayerStartSilver);
    bool silverMoved = false;
    for (size_t c = 0; c < 4; ++c) {
        EXPECT_EQ(Word(b, 40 + c), Word(a, 40 + c) + Word(a, 72 + c)) << c;
        EXPECT_EQ(Word(b, 48 + c), Word(a, 48 + c) + Word(a, 80 + c)) << c;
        silverMoved |= Word(a, 80 + c) != 0 || Word(b, 80 + c) != 0;
    }
    EXPECT_TRUE(silverMoved);
    const std::vector<int> clients = s.server->Clients();
    ASSERT_EQ(clients.size(), 1u);
    const std::vector<uint8_t> entry = s.server->EntryOf(clients[0]);
    ASSERT_EQ(entry.size(), 136u);
    EXPECT_EQ(Word(entry, 23), Word(b, 40) + Word(b, 72));
    EXPECT_EQ(Word(entry, 21), Word(b, 48) + Word(b, 80));
    EXPECT_EQ(Word(entry, 22), Word(b, 96));
    EXPECT_TRUE(s.server->EntryOf(clients[0] + 100).empty());
}

// The server-driven players are listed at their standing: when they sit down with no score,
// the starting silver and the level the table gives no score; to one who enters after two
// deals with the score, silver and level those deals left them.
TEST(MahjongServer, ServerDrivenPlayersAreListedAtTheirStanding) {
    Server s(0, {}, 1);
    TableClient p(s.server->Port(), 5001, 0);
    ASSERT_TRUE(p.ok());
    ASSERT_TRUE(p.Enter());
    std::vector<std::vector<uint8_t>> results;
    for (int n = 0; n < 2; ++n) {
        p.Send(201160, p.Body(32, {}));
        std::optional<hqlv::testing::WireMessage> deal;
        int seated = 0;
        while (!deal) {
            auto m = p.Next(5000);
            ASSERT_TRUE(m);
            if (m->code == 211040) deal = m;
            if (m->code != 211011) continue;
            ++seated;
            EXPECT_EQ(Word(m->data, 21), hqlv::tools::kComputerStartSilver);
            EXPECT_EQ(Word(m->data, 22), 0);
            EXPECT_EQ(Word(m->data, 23), 0);
        }
        EXPECT_EQ(seated, n == 0 ? 3 : 0);
        int leaks = 0;
        auto result = PlayToEnd(p, deal->data, &leaks);
        ASSERT_TRUE(result);
        results.push_back(result->data);
    }
    const auto& b = results[1];
    TableClient looker(s.server->Port(), 6001, 0);
    ASSERT_TRUE(looker.ok());
    auto e = looker.Enter(/*lookerOn=*/true);
    ASSERT_TRUE(e);
    ASSERT_EQ(e->code, 200500);
    // Between deals the entry brings no game data; the players are listed to a later comer.
    EXPECT_TRUE(e->data.empty());
    int listed = 0, moved = 0;
    for (const auto& listing : TableEntries(s.server->Port())) {
        const std::vector<uint8_t>& entry = listing.second;
        const size_t c = static_cast<size_t>(Word(entry, 4));
        if (Word(entry, 0) != mj::kFirstComputerId + static_cast<int>(c)) continue;
        SCOPED_TRACE(c);
        ++listed;
        // Listed by the table's names for computer players, in GBK.
        const char* const signs[] = {"【乙】", "【丙】", "【丁】"};
        const auto name = entry.begin() + 36;
        ASSERT_TRUE(c >= 1 && c <= 3);
        EXPECT_EQ(hqlv::platform::gbkToUtf8(std::string(name, std::find(name, name + 32, 0))),
                  std::string("游戏玩家") + signs[c - 1]);
        EXPECT_EQ(Word(entry, 23), Word(b, 40 + c) + Word(b, 72 + c));
        EXPECT_EQ(Word(entry, 21), Word(b, 48 + c) + Word(b, 80 + c));
        EXPECT_EQ(Word(entry, 22), Word(b, 96 + c));
        moved += Word(entry, 23) != 0 || Word(entry, 21) != hqlv::tools::kComputerStartSilver;
    }
    EXPECT_EQ(listed, 3);
    EXPECT_GT(moved, 0);
}

// The lines of the record's block that begins with head, in order.
std::vector<std::string> BlockLines(const std::string& text, const std::string& head) {
    std::vector<std::string> lines;
    const size_t at = text.find(head);
    if (at == std::string::npos) return lines;
    std::istringstream in(text.substr(at + head.size()));
    for (std::string l; std::getline(in, l) && !l.empty();) lines.push_back(l);
    return lines;
}

std::string Ids(const std::vector<uint8_t>& data, size_t word, int n) {
    std::string out;
    for (int k = 0; k < n; ++k) out += ' ' + std::to_string(Word(data, word + size_t(k)));
    return out;
}

// Each entry into a running deal writes the table as the state it was given shows it, a
// looker-on's and a player's coming back, for the client's rebuilt table to be compared with.
TEST(MahjongServer, EntriesIntoARunningDealWriteTheirStateToTheRecord) {
    const std::string record = ::testing::TempDir() + "/hqlv-states.txt";
    std::remove(record.c_str());
    // The server's clock stands still: its players think for ever and the deal waits.
    Server s(/*thinkMs=*/800, record);
    auto p = std::make_unique<TableClient>(s.server->Port(), 5001, 0);
    ASSERT_TRUE(p->Enter());
    std::ifstream none(record);
    EXPECT_FALSE(none.good());  // an idle table's entry has no state
    p->Send(201160, p->Body(32, {}));
    ASSERT_TRUE(p->WaitFor(211040));
    TableClient looker(s.server->Port(), 6001, 0);
    auto watched = looker.Enter(/*lookerOn=*/true);
    ASSERT_TRUE(watched);
    ASSERT_EQ(watched->data.size(), 948u);
    p->Close();
    ASSERT_TRUE(looker.WaitFor(229500));
    TableClient back(s.server->Port(), 5001, 0);
    auto again = back.Enter();
    ASSERT_TRUE(again);
    ASSERT_EQ(again->data.size(), 5028u);
    std::ifstream in(record);
    std::stringstream all;
    all << in.rdbuf();
    const std::string text = all.str();
    for (const auto& [state, lookerOn] : {std::pair{&watched->data, 1}, {&again->data, 0}}) {
        SCOPED_TRACE(lookerOn);
        const auto lines =
            BlockLines(text, "state chair 0 looker " + std::to_string(lookerOn) + "\n");
        ASSERT_EQ(lines.size(), 5u + 4 * 6) << text;
        EXPECT_EQ(lines[0], "  turn: " + std::to_string(Word(*state, 13)));
        EXPECT_EQ(lines[1], "  status: " + std::to_string(Word(*state, 14)));
        EXPECT_EQ(lines[2], "  seconds: " + std::to_string(Word(*state, 18)) + " " +
                                std::to_string(Word(*state, 39)));
        EXPECT_EQ(lines[3].rfind("  wall:", 0), 0u);
        // The dealt tiles are gone from the wall: the first 53 places from the wall's start.
        std::istringstream absent(lines[4].substr(lines[4].find(':') + 1));
        std::vector<int> gone;
        for (int p; absent >> p;) gone.push_back(p);
        EXPECT_EQ(lines[4].rfind("  wallabsent:", 0), 0u);
        EXPECT_GE(gone.size(), 53u);
        EXPECT_EQ(std::count(gone.begin(), gone.end(), Word(*state, 32)), 1);
        for (int c = 0; c < 4; ++c) {
            const size_t at = 5 + 6 * size_t(c);
            EXPECT_EQ(lines[at], "chair " + std::to_string(c) + " user " +
                                     std::to_string(s.deal()->UserId(c)));
            const size_t held = (lookerOn ? 49 : 1205) + size_t(c);
            EXPECT_EQ(lines[at + 4], "  held: " + std::to_string(Word(*state, held)));
            // The own tiles only for the player's own chair, as its state lists them.
            const std::string hand =
                c == 0 && !lookerOn ? Ids(*state, 1209, Word(*state, 1205)) : std::string();
            EXPECT_EQ(lines[at + 5], "  hand:" + hand);
        }
    }
}

bool Until(const std::function<bool()>& done, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// The standings file follows the table: the users as they sit down (the player at the
// standing the server lists him with, the server-driven ones at theirs), then after each
// deal its settled score, silver and level and the deal counted as won, lost or drawn.
TEST(MahjongServer, StandingsFileFollowsTheSettledDeals) {
    const std::string file =
        ::testing::TempDir() + "/hqlv-standings-" + std::to_string(getpid()) + ".txt";
    std::remove(file.c_str());
    Server s(0, {}, 1, file);
    TableClient p(s.server->Port(), 5001, 0);
    ASSERT_TRUE(p.ok());
    ASSERT_TRUE(p.Enter());
    EXPECT_TRUE(hqlv::tools::ReadStandingsFile(file).empty());  // nobody ready yet
    std::map<int32_t, hqlv::tools::UserStanding> last;
    for (int n = 0; n < 2; ++n) {
        p.Send(201160, p.Body(32, {}));
        auto deal = p.WaitFor(211040);
        ASSERT_TRUE(deal);
        if (n == 0) {
            const hqlv::tools::Standings seated = hqlv::tools::ReadStandingsFile(file);
            ASSERT_EQ(seated.size(), 4u);
            EXPECT_EQ(seated.at(5001).score, hqlv::tools::kPlayerStartScore);
            for (int c = 1; c < 4; ++c) {
                const auto& u = seated.at(mj::kFirstComputerId + c);
                EXPECT_EQ(u.score, 0);
                EXPECT_EQ(u.silver, hqlv::tools::kComputerStartSilver);
                EXPECT_EQ(u.wins + u.losses + u.draws, 0);
            }
        }
        int leaks = 0;
        auto result = PlayToEnd(p, deal->data, &leaks);
        ASSERT_TRUE(result);
        const auto& r = result->data;
        // Written once the deal has settled, which may follow the result's sending.
        hqlv::tools::Standings now;
        const bool settled = Until(
            [&] {
                now = hqlv::tools::ReadStandingsFile(file);
                int counted = 0;
                for (const auto& [user, u] : now) counted += u.wins + u.losses + u.draws;
                return counted == 4 * (n + 1);
            },
            3000);
        ASSERT_TRUE(settled);
        for (size_t c = 0; c < 4; ++c) {
            SCOPED_TRACE(c);
            const int32_t user = c == 0 ? 5001 : mj::kFirstComputerId + int32_t(c);
            const hqlv::tools::UserStanding& u = now.at(user);
            EXPECT_EQ(u.score, Word(r, 40 + c) + Word(r, 72 + c));
            EXPECT_EQ(u.silver, Word(r, 48 + c) + Word(r, 80 + c));
            EXPECT_EQ(u.level, Word(r, 96 + c));
            const hqlv::tools::UserStanding before =
                last.count(user) ? last[user] : hqlv::tools::UserStanding{};
            const bool drawn = Word(r, 0) == 2, won = Word(r, 165 + c) > 0;
            EXPECT_EQ(u.draws - before.draws, drawn ? 1 : 0);
            EXPECT_EQ(u.wins - before.wins, !drawn && won ? 1 : 0);
            EXPECT_EQ(u.losses - before.losses, !drawn && !won ? 1 : 0);
        }
        last = now;
    }
    std::remove(file.c_str());
}

// This game's data block holds a deal's state: the player's kind (5028 bytes) or the
// looker-on's (948) while a deal runs, nothing between deals, on entry and on 201140 alike.
TEST(MahjongServer, GameDataIsADealsStateOrNothing) {
    Server s(/*thinkMs=*/800);
    TableClient p(s.server->Port(), 5001, 0);
    ASSERT_TRUE(p.ok());
    auto e = p.Enter();
    ASSERT_TRUE(e);
    EXPECT_EQ(e->code, 200500);
    EXPECT_TRUE(e->data.empty());
    auto idle = p.Call(201140, p.Body(32, {}));
    ASSERT_TRUE(idle);
    EXPECT_EQ(idle->code, 10);
    EXPECT_TRUE(idle->data.empty());
    p.Send(201160, p.Body(32, {}));
    ASSERT_TRUE(p.WaitFor(211040));
    auto running = p.Call(201140, p.Body(32, {}));
    ASSERT_TRUE(running);
    EXPECT_EQ(running->code, 10);
    EXPECT_EQ(running->data.size(), size_t(hqlv::rules::CMJTableEx::kPlayerStateBytes));
    TableClient looker(s.server->Port(), 6001, 0);
    ASSERT_TRUE(looker.ok());
    auto watching = looker.Enter(/*lookerOn=*/true);
    ASSERT_TRUE(watching);
    EXPECT_EQ(watching->code, 200500);
    EXPECT_EQ(watching->data.size(), size_t(hqlv::rules::CMJTableEx::kLookerStateBytes));
}

// The file's text: seven numbers a line; anything else is passed over.
TEST(Standings, TextRoundTripsAndBadLinesAreSkipped) {
    const hqlv::tools::Standings all = {{5001, {120, 10192, 4, 2, 1, 0}},
                                        {900002, {-3, -1280, 0, 0, 2, 1}}};
    const std::string text = hqlv::tools::FormatStandings(all);
    EXPECT_EQ(text, "5001 120 10192 4 2 1 0\n900002 -3 -1280 0 0 2 1\n");
    EXPECT_EQ(hqlv::tools::ParseStandings(text), all);
    const hqlv::tools::Standings some = hqlv::tools::ParseStandings(
        "1 2 3 4 5 6\n7 1 1 1 1 1 1 1\nx 1 1 1 1 1 1\n8 1 1 1 1 1 1\n\n9 9 9 9 9 9 99999999999\n");
    ASSERT_EQ(some.size(), 1u);
    EXPECT_EQ(some.at(8).draws, 1);
    const std::string file =
        ::testing::TempDir() + "/hqlv-standings-rt-" + std::to_string(getpid()) + ".txt";
    ASSERT_TRUE(hqlv::tools::WriteStandingsFile(file, all));
    EXPECT_EQ(hqlv::tools::ReadStandingsFile(file), all);
    EXPECT_FALSE(std::ifstream(file + ".new").good());  // the side file went into place
    std::remove(file.c_str());
    EXPECT_TRUE(hqlv::tools::ReadStandingsFile(file).empty());
    EXPECT_FALSE(hqlv::tools::WriteStandingsFile("/nonexistent-folder/x", all));
}

// A standings file is read up to its size limit: one of exactly the limit is read (its
// standing found, no error), one a byte longer is refused whole with the reason.
TEST(Standings, AFileBeyondTheLimitIsRefusedWhole) {
    const std::string file =
        ::testing::TempDir() + "/hqlv-standings-big-" + std::to_string(getpid()) + ".txt";
    const std::string line = "5001 120 10192 4 2 1 0\n";
    for (const size_t size :
         {hqlv::tools::kStandingsMaxBytes, hqlv::tools::kStandingsMaxBytes + 1}) {
        SCOPED_TRACE(size);
        {
            std::ofstream out(file, std::ios::binary | std::ios::trunc);
            out << line << std::string(size - line.size(), '\n');  // blank lines are passed over
        }
        std::string error;
        const hqlv::tools::Standings read = hqlv::tools::ReadStandingsFile(file, &error);
        if (size == hqlv::tools::kStandingsMaxBytes) {
            EXPECT_EQ(error, "");
            ASSERT_EQ(read.size(), 1u);
            EXPECT_EQ(read.at(5001).silver, 10192);
        } else {
            EXPECT_TRUE(read.empty());
            EXPECT_NE(error.find("larger than 1048576 bytes"), std::string::npos) << error;
        }
    }
    std::remove(file.c_str());
}

}  // namespace

namespace {

// The tells of the rooms' rules: a table's start heard by the others only, the silver check
// of 201161, the change of table and the system's seating (211300, 211028).

TEST(MahjongServer, AStartIsHeardByTheOthersAtTheTableNotByTheStarter) {
    Server s(/*thinkMs=*/800);
    TableClient p(s.server->Port(), 5001, 0), q(s.server->Port(), 5002, 1);
    ASSERT_TRUE(p.Enter());
    ASSERT_TRUE(q.Enter());
    q.Send(201160, q.Body(32, {}));
    auto heard = p.WaitFor(201160);
    ASSERT_TRUE(heard);
    EXPECT_EQ(Word(heard->data, 0), 5002);
    EXPECT_EQ(Word(heard->data, 3), 1);
    // q hears nothing of its own start before its deal begins.
    std::vector<hqlv::testing::WireMessage> before;
    ASSERT_TRUE(q.WaitFor(211040, 5000, &before));
    for (const auto& m : before) EXPECT_NE(m.code, 201160);
    // A start while the deal runs (plain or checked) changes nothing: nobody hears of it.
    q.Send(201160, q.Body(32, {}));
    auto checked = q.Call(201161, q.Body(32, {}));
    ASSERT_TRUE(checked);
    EXPECT_EQ(checked->code, 10);
    EXPECT_FALSE(p.WaitFor(201160, 400));
    ASSERT_TRUE(s.deal());
    EXPECT_TRUE(s.deal()->Running());
}

TEST(MahjongServer, TheStartOfASilverRoomChecksTheSilverCarried) {
    // The player carries the starting silver (10000); the room is one of its own, so that
    // the refusal names it.
    const int carried = hqlv::tools::kPlayerStartSilver;
    constexpr int kSilverRoom = 7;
    struct Case {
        int low, high, code, bound;
    } cases[] = {
        {carried + 1, 0, 210090, carried + 1},  // one short of the least
        {0, carried - 1, 210091, carried - 1},  // one past the most
        {carried, carried, 10, 0},              // both bounds are allowed
        {0, 0, 10, 0},                          // no bounds
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.low);
        SCOPED_TRACE(c.high);
        RoomRules rules;
        rules.silverMin = c.low;
        rules.silverMax = c.high;
        Server s(/*thinkMs=*/800, {}, 0, {}, {{kSilverRoom, rules}});
        TableClient p(s.server->Port(), 5001, 0);
        p.SetRoom(kSilverRoom);
        ASSERT_TRUE(p.Enter());
        auto a = p.Call(201161, p.Body(32, {}));
        ASSERT_TRUE(a);
        EXPECT_EQ(a->code, c.code);
        if (c.code != 10) {
            // User, room, the silver carried and the bound it misses; no deal.
            ASSERT_EQ(a->data.size(), 16u);
            EXPECT_EQ(Word(a->data, 0), 5001);
            EXPECT_EQ(Word(a->data, 1), kSilverRoom);
            EXPECT_EQ(Word(a->data, 2), carried);
            EXPECT_EQ(Word(a->data, 3), c.bound);
            const mj::Deal* none = s.handler->DealAt(kSilverRoom, testrig::kTable);
            EXPECT_TRUE(!none || !none->Running());
            continue;
        }
        // In range: the start it is, the deal runs.
        ASSERT_TRUE(p.WaitFor(211040));
        const mj::Deal* deal = s.handler->DealAt(kSilverRoom, testrig::kTable);
        ASSERT_TRUE(deal);
        EXPECT_TRUE(deal->Running());
    }
}

TEST(MahjongServer, NoChangeOfTableInTheOwnDeal) {
    Server s(/*thinkMs=*/800);
    TableClient p(s.server->Port(), 5001, 0);
    ASSERT_TRUE(p.Enter());
    p.Send(201160, p.Body(32, {}));
    ASSERT_TRUE(p.WaitFor(211040));
    auto refused = p.Call(201300, p.Body(32, {}));
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->code, 1010);
    EXPECT_EQ(s.server->Seat(s.server->Clients().front())->table, testrig::kTable);
    // Out of a deal (the player left it) the change goes through and tells the new table.
    ASSERT_TRUE(p.Call(201125, p.Body(32, {})));
    TableClient q(s.server->Port(), 5002, 0);
    ASSERT_TRUE(q.Enter());
    auto changed = q.Call(201300, q.Body(32, {}));
    ASSERT_TRUE(changed);
    EXPECT_EQ(changed->code, 10);
    auto info = q.WaitFor(211700);
    ASSERT_TRUE(info);
    EXPECT_NE(Word(info->data, 2), testrig::kTable);
    EXPECT_EQ(s.server->Seat(s.server->Clients().back())->table, Word(info->data, 2));
}

// The system's seating: a player who comes in waits; once his wait is over he sits at a free
// table of the system's choice and hears his seats with the new deal's record behind them.
TEST(MahjongServer, TheSystemSeatsAPlayerAfterHisWait) {
    Server s(/*thinkMs=*/800, {}, 0, {}, SystemSeatedRoom(2000));
    TableClient p(s.server->Port(), 5001, 0);
    ASSERT_TRUE(p.Enter());
    // Before the wait is over nothing comes.
    EXPECT_FALSE(p.WaitFor(211028, 400));
    // Asking again (201302) out of a deal: the wait notice, and the wait starts over.
    s.now += 1500;
    auto again = p.Call(201302, p.Body(32, {}));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->code, 10);
    ASSERT_TRUE(p.WaitFor(211300));
    s.now += 1500;
    EXPECT_FALSE(p.WaitFor(211028, 400));
    s.now += 600;
    std::vector<hqlv::testing::WireMessage> before;
    auto seats = p.WaitFor(211028, 5000, &before);
    ASSERT_TRUE(seats);
    for (const auto& m : before) EXPECT_NE(m.code, 211040) << "the deal came apart from the seats";
    const int chair = 5001 % 4;
    EXPECT_EQ(Word(seats->data, 1), 0);  // the first free table
    EXPECT_EQ(Word(seats->data, 2), 4);
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(Word(seats->data, 3 + c), c == chair ? 5001 : mj::kFirstComputerId + c) << c;
    // The entries by chair from byte 64, then the deal's record of the own chair.
    ASSERT_EQ(seats->data.size(), 64u + 4 * 136 + 948);
    const std::vector<uint8_t> own(seats->data.begin() + 64 + chair * 136,
                                   seats->data.begin() + 64 + (chair + 1) * 136);
    EXPECT_EQ(Word(own, 0), 5001);
    EXPECT_EQ(Word(own, 3), 0);
    EXPECT_EQ(Word(own, 4), chair);
    const std::vector<uint8_t> deal(seats->data.begin() + 64 + 4 * 136, seats->data.end());
    int held = 0;
    while (held < 32 && Word(deal, 53 + held) >= 0) ++held;
    EXPECT_TRUE(held == 13 || held == 14) << held;
    // The player sits there now; no separate deal record follows, and in the running deal a
    // new ask is not taken.
    auto seat = s.server->Seat(s.server->Clients().front());
    ASSERT_TRUE(seat);
    EXPECT_EQ(seat->table, 0);
    EXPECT_EQ(seat->chair, chair);
    ASSERT_TRUE(s.handler->DealAt(testrig::kRoom, 0));
    EXPECT_TRUE(s.handler->DealAt(testrig::kRoom, 0)->Running());
    auto running = p.Call(201302, std::vector<uint8_t>(32, 0));
    ASSERT_TRUE(running);
    EXPECT_FALSE(p.WaitFor(211300, 300));
    EXPECT_FALSE(p.WaitFor(211040, 300));
}

// A table that stands idle is free again for the player who was there: one who left his
// deal and comes in again is seated at the same one.
TEST(MahjongServer, TheSystemSeatsAPlayerAgainAtTheIdleTableHeLeft) {
    Server s(/*thinkMs=*/800, {}, 0, {}, SystemSeatedRoom(0));
    TableClient p(s.server->Port(), 5001, 0);
    ASSERT_TRUE(p.Enter());
    auto first = p.WaitFor(211028);
    ASSERT_TRUE(first);
    EXPECT_EQ(Word(first->data, 1), 0);
    ASSERT_TRUE(p.Call(201125, std::vector<uint8_t>(32, 0)));
    ASSERT_TRUE(s.handler->DealAt(testrig::kRoom, 0));
    ASSERT_TRUE(Until([&] { return !s.handler->DealAt(testrig::kRoom, 0)->Running(); }, 5000));
    ASSERT_TRUE(p.Enter());
    auto again = p.WaitFor(211028, 5000);
    ASSERT_TRUE(again);
    EXPECT_EQ(Word(again->data, 1), 0);
}

// The chair the system gives comes from the user id the client sent: any id, also a negative
// one, gives a chair of the table.
TEST(MahjongServer, TheSystemSeatsAnyUserIdOnAChairOfTheTable) {
    for (const int user : {-3, -4, -1, 7, 0x7FFFFFFF, -0x7FFFFFFF - 1}) {
        SCOPED_TRACE(user);
        Server s(/*thinkMs=*/800, {}, 0, {}, SystemSeatedRoom(0));
        TableClient p(s.server->Port(), user, 0);
        ASSERT_TRUE(p.Enter());
        auto seats = p.WaitFor(211028);
        ASSERT_TRUE(seats);
        auto seat = s.server->Seat(s.server->Clients().front());
        ASSERT_TRUE(seat);
        ASSERT_GE(seat->chair, 0);
        ASSERT_LT(seat->chair, 4);
        EXPECT_EQ(Word(seats->data, 3 + seat->chair), user);
        int own = 0;
        for (int c = 0; c < 4; ++c) own += Word(seats->data, 3 + c) == user;
        EXPECT_EQ(own, 1);
        const std::vector<uint8_t> entry(seats->data.begin() + 64 + seat->chair * 136,
                                         seats->data.begin() + 64 + (seat->chair + 1) * 136);
        EXPECT_EQ(Word(entry, 0), user);
        EXPECT_EQ(Word(entry, 4), seat->chair);
    }
}

// A plain room: the entry seats the player where the hall put him, and 201302 does nothing.
TEST(MahjongServer, APlainRoomSeatsNobodyBySystem) {
    Server s(/*thinkMs=*/800);
    TableClient p(s.server->Port(), 5001, 0);
    ASSERT_TRUE(p.Enter());
    auto a = p.Call(201302, p.Body(32, {}));
    ASSERT_TRUE(a);
    s.now += 100000;
    EXPECT_FALSE(p.WaitFor(211300, 300));
    EXPECT_FALSE(p.WaitFor(211028, 300));
    EXPECT_EQ(s.server->Seat(s.server->Clients().front())->table, testrig::kTable);
}

}  // namespace

namespace {

// A deal played by the server alone stands still while its players think, and goes on as
// soon as their delay is cut: the deals under way take a new delay, not only the next ones.
TEST(MahjongServer, ANewThinkingDelayReachesTheDealUnderWay) {
    Server s(/*thinkMs=*/60000);
    auto p = std::make_unique<TableClient>(s.server->Port(), 5001, 0);
    ASSERT_TRUE(p->Enter());
    p->Send(201160, p->Body(32, {}));
    ASSERT_TRUE(p->WaitFor(211040));
    p->Close();
    ASSERT_TRUE(Until([&] { return s.deal()->Driven(0); }, 5000));
    // Ten seconds on, short of the delay and of a turn's time-out: nobody acts, however many
    // ticks go by.
    const int steps = s.deal()->Steps();
    s.now += 10000;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(s.deal()->Steps(), steps);
    // A delay those ten seconds have passed lets the step under way go at once.
    s.handler->SetThinkMs(5000);
    EXPECT_TRUE(Until([&] { return s.deal()->Steps() > steps; }, 5000));
    s.handler->SetThinkMs(0);
    EXPECT_TRUE(Until([&] { return s.deal()->Over(); }, 20000));
}

}  // namespace
