// The server program: the same seed and the same client actions give the same deal.
#include <gtest/gtest.h>

#include "table_client.h"
#include "tests/framework/connection/child_process.h"

namespace {

using testrig::Word;

struct Records {
    std::vector<uint8_t> deal, result;
};

Records PlayOnce() {
    Records out;
    hqlv::testing::ChildProcess server;
    if (!server.Start(HQLV_SERVER_EXE,
                      {"--port", "0", "--seed", "7", "--think", "0", "--deal", "0"}))
        return out;
    std::string line;
    if (!server.ReadLine(line, 10000)) return out;
    const auto colon = line.rfind(':');
    if (colon == std::string::npos) return out;
    const uint16_t port = static_cast<uint16_t>(std::stoi(line.substr(colon + 1)));
    testrig::TableClient p(port, 5001, 0);
    if (!p.ok() || !p.Enter()) return out;
    p.Send(201160, p.Body(32, {}));
    auto deal = p.WaitFor(211040);
    if (!deal) return out;
    int leaks = 0;
    auto result = testrig::PlayToEnd(p, deal->data, &leaks);
    if (!result || leaks) return out;
    out.deal = deal->data;
    // The game id (the first eight words) differs from run to run.
    std::fill(out.deal.begin(), out.deal.begin() + 32, 0);
    out.result = result->data;
    server.WriteLine("quit");
    server.WaitExit(5000);
    return out;
}

TEST(MahjongExecutable, SameSeedGivesTheSameDealAndResult) {
    const Records a = PlayOnce();
    const Records b = PlayOnce();
    ASSERT_EQ(a.deal.size(), 948u);
    ASSERT_EQ(a.result.size(), 1652u + 4 * 172);
    EXPECT_EQ(a.deal, b.deal);
    EXPECT_EQ(a.result, b.result);
}

TEST(MahjongExecutable, AnUnknownOptionOnlyPrintsTheUsage) {
    hqlv::testing::ChildProcess server;
    ASSERT_TRUE(server.Start(HQLV_SERVER_EXE, {"--port", "0", "--bogus"}));
    EXPECT_EQ(server.WaitExit(5000), 2);
    // The dealing time takes 0 to 60000 ms.
    for (const char* bad : {"-1", "60001", "5s", ""}) {
        hqlv::testing::ChildProcess refused;
        ASSERT_TRUE(refused.Start(HQLV_SERVER_EXE, {"--port", "0", "--deal", bad}));
        EXPECT_EQ(refused.WaitExit(5000), 2) << bad;
    }
    hqlv::testing::ChildProcess timed;
    ASSERT_TRUE(timed.Start(HQLV_SERVER_EXE,
                            {"--grace", "2", "--claim", "3", "--deal", "60000", "--port", "0"}));
    std::string line;
    EXPECT_TRUE(timed.ReadLine(line, 10000));
    EXPECT_NE(line.find("listening"), std::string::npos) << line;
    timed.WriteLine("quit");
    timed.WaitExit(5000);
}

// The port a started server listens on, from its first line; 0 when it says none.
uint16_t ListeningPort(hqlv::testing::ChildProcess& server) {
    std::string line;
    if (!server.ReadLine(line, 10000)) return 0;
    const auto colon = line.rfind(':');
    return colon == std::string::npos ? 0
                                      : static_cast<uint16_t>(std::stoi(line.substr(colon + 1)));
}

// The rooms of the command line: one whose start checks the silver carried against its
// bounds, one where the system seats the players after their wait.
TEST(MahjongExecutable, RoomsOfTheCommandLine) {
    {
        hqlv::testing::ChildProcess server;
        ASSERT_TRUE(server.Start(HQLV_SERVER_EXE, {"--port", "0", "--silver-room",
                                                   std::to_string(testrig::kRoom) + ":20000:0"}));
        const uint16_t port = ListeningPort(server);
        ASSERT_NE(port, 0);
        testrig::TableClient p(port, 5001, 0);
        ASSERT_TRUE(p.Enter());
        auto a = p.Call(201161, p.Body(32, {}));
        ASSERT_TRUE(a);
        EXPECT_EQ(a->code, 210090);
        ASSERT_EQ(a->data.size(), 16u);
        EXPECT_EQ(Word(a->data, 3), 20000);
        server.WriteLine("quit");
        server.WaitExit(5000);
    }
    {
        hqlv::testing::ChildProcess server;
        ASSERT_TRUE(
            server.Start(HQLV_SERVER_EXE, {"--port", "0", "--seat-wait", "0", "--deal", "0",
                                           "--system-room", std::to_string(testrig::kRoom)}));
        const uint16_t port = ListeningPort(server);
        ASSERT_NE(port, 0);
        testrig::TableClient p(port, 5001, 0);
        ASSERT_TRUE(p.Enter());
        auto seats = p.WaitFor(211028, 5000);
        ASSERT_TRUE(seats);
        EXPECT_EQ(Word(seats->data, 3 + 5001 % 4), 5001);
        server.WriteLine("quit");
        server.WaitExit(5000);
    }
    // Malformed rooms only print the usage.
    const std::vector<std::vector<std::string>> bad = {
        {"--silver-room", "3:5"},
        {"--silver-room", "3:9:1"},
        {"--silver-room", "3:-1:0"},
        {"--silver-room", "3:1:2x"},
        {"--silver-room"},
        // A number option given last, without its number; an unknown option with a value.
        {"--think"},
        {"--system-room"},
        {"--bogus", "1"},
        {"--system-room", "-1"},
        {"--system-room", "x"},
        {"--seat-wait", "600001"},
        {"--seat-wait", "-1"},
        // Numbers beyond 32 bits are refused, not wrapped into some other bound.
        {"--silver-room", "3:4294967297:0"},
        {"--silver-room", "3:0:2147483648"},
        {"--silver-room", "4294967299:1:2"},
        {"--silver-room", "3: 1:2"},
        {"--silver-room", "-3:1:2"}};
    for (const auto& args : bad) {
        std::vector<std::string> all = {"--port", "0"};
        all.insert(all.end(), args.begin(), args.end());
        hqlv::testing::ChildProcess refused;
        ASSERT_TRUE(refused.Start(HQLV_SERVER_EXE, all));
        EXPECT_EQ(refused.WaitExit(5000), 2) << args.back();
    }
}

// The players' delay changes while the server runs: a deal whose server-driven players would
// think for a minute goes on as soon as the delay is cut. A delay out of range is refused.
TEST(MahjongExecutable, TheThinkCommandReachesTheDealUnderWay) {
    hqlv::testing::ChildProcess server;
    ASSERT_TRUE(server.Start(HQLV_SERVER_EXE, {"--port", "0", "--think", "60000", "--deal", "0"}));
    const uint16_t port = ListeningPort(server);
    ASSERT_NE(port, 0);
    testrig::TableClient looker(port, 6001, 0);
    ASSERT_TRUE(looker.Enter(/*lookerOn=*/true));
    {
        testrig::TableClient p(port, 5001, 0);
        ASSERT_TRUE(p.Enter());
        p.Send(201160, p.Body(32, {}));
        ASSERT_TRUE(looker.WaitFor(211040));
    }  // the player goes: every seat is server-driven
    ASSERT_TRUE(looker.WaitFor(229500));
    EXPECT_FALSE(looker.WaitFor(221170, 1500));  // a minute's thought: no discard yet
    std::string line;
    for (const auto& [command, answer] :
         std::vector<std::pair<std::string, std::string>>{{"think 60001", "error"},
                                                          {"think -1", "error"},
                                                          {"think", "error"},
                                                          {"think x", "error"},
                                                          {"think 5x", "error"},
                                                          {"think 5 6", "error"},
                                                          {"think 60000", "ok"}}) {
        server.WriteLine(command);
        ASSERT_TRUE(server.ReadLine(line, 5000)) << command;
        EXPECT_EQ(line, answer) << command;
    }
    EXPECT_FALSE(looker.WaitFor(221170, 500));  // none of them cut the delay
    server.WriteLine("think 0");
    ASSERT_TRUE(server.ReadLine(line, 5000));
    EXPECT_EQ(line, "ok");
    EXPECT_TRUE(looker.WaitFor(221170, 5000));
    server.WriteLine("quit");
    server.WaitExit(5000);
}

}  // namespace
