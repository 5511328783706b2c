// The table rebuilt from the entry's table state: a player's state (5028 bytes: every
// chair's melds, discards, flowers and held count, the own tiles) and a looker-on's (948
// bytes: held counts and flowers, no melds and no discards) restore exactly what they hold;
// the clock stands at the seat to move with the state's seconds and runs; counts the server
// got wrong are kept to the table; a client that has just come in rebuilds only a state of
// its own kind with the running bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <vector>

#include "engine/core/kernel.h"
#include "table_scene.h"

namespace hqlv::mahjong::test {
namespace {

// Words of the player's state.
constexpr size_t kChairBlock = 49, kChairWords = 282, kCounts = 1177, kHeld = 1205, kOwn = 1209;
// Words of the looker-on's state.
constexpr size_t kLookerHeld = 49, kLookerFlowers = 85, kLookerFlowerCounts = 229;

// This game's layer step of the rebuild counts the standing tiles.
struct RebuildScene : TableScene {
    void RestoreLayerState() override {
        ++layerSteps;
        RestoreHeldCounts();
    }
    int layerSteps = 0;
};

class RebuildTest : public TableTestOf<RebuildScene> {
protected:
    void SetUp() override {
        TableTestOf<RebuildScene>::SetUp();
        host.chair = 0;  // chair 1 sits at view 0, chair 2 at view 1, chair 3 at view 2
        // Chair 1 moves and holds its drawn tile: the turn's 20 seconds, not the 7 of the wait.
        deal.Set(11, 1);
        deal.Set(13, 1);
        deal.Set(14, 0x101);
        deal.Set(18, 20);
        deal.Set(39, 7);
        deal.Set(32, 10);  // wall positions 10 to 39 are taken
        deal.Set(37, 40);
        deal.Set(33, -1);
        deal.Set(36, -1);
    }
    void Player() {
        deal.SetStateBytes(kPlayerStateBytes);
        const int held[4] = {13, 11, 13, 10};
        for (size_t c = 0; c < 4; ++c) deal.Set(kHeld + c, held[c]);
        const int own[13] = {125, 2, 18, 55, 60, 61, 62, 90, 91, 100, 101, 120, 30};
        for (size_t k = 0; k < 32; ++k) deal.Set(kOwn + k, k < 13 ? own[k] : -1);
        // Chair 1: a peng of 13, 22 and 4 (claimed last) from chair 2; discards 5, 40; a
        // flower. Chair 3: a concealed gang. Chair 2: two flowers. Chair 0: one discard.
        Entry(1, 0, {13, 22, 4, -1}, 2);
        List(1, 5, 210, {5, 40});
        List(1, 6, 246, {136});
        Entry(3, 3, {108, 109, 110, 111}, 3);
        List(2, 6, 246, {137, 138});
        List(0, 5, 210, {77});
    }
    void Entry(size_t chair, size_t list, std::vector<int> tiles, int giver) {
        const size_t at = kChairBlock + kChairWords * chair + 42 * list;
        for (size_t t = 0; t < 4; ++t) deal.Set(at + t, tiles[t]);
        deal.Set(at + 4, giver);
        deal.Set(kCounts + 7 * chair + list, 1);
    }
    void List(size_t chair, size_t count, size_t offset, std::vector<int> ids) {
        for (size_t k = 0; k < ids.size(); ++k)
            deal.Set(kChairBlock + kChairWords * chair + offset + k, ids[k]);
        deal.Set(kCounts + 7 * chair + count, int(ids.size()));
    }
    std::vector<int> Present(const MJTileInfo* row, int n, bool codes) {
        std::vector<int> v;
        for (int i = 0; i < n; ++i)
            if (row[i].bPresent) v.push_back(codes ? row[i].nCode : i);
        return v;
    }
    int Standing(int view) {
        int n = 0;
        for (int i = 0; i < kHandSlotCount; ++i)
            n += Hand(view)[i].bPresent && Hand(view)[i].bHand && !Hand(view)[i].nMeld;
        return n;
    }
};

TEST_F(RebuildTest, PlayersStateRestoresEveryChairsListsAndTheClock) {
    Player();
    scene.RebuildTable();
    EXPECT_EQ(scene.layerSteps, 1);
    EXPECT_EQ(host.paneEnabled, std::vector<int>{1});
    // The clock's second stopped with the old table, started again for the restored one.
    EXPECT_EQ(host.clockTimer, (std::vector<std::string>{"stop", "start"}));
    EXPECT_EQ(scene.QZ_GetPointTo(), 0);
    EXPECT_EQ(scene.Clock().drawn, 0);
    EXPECT_EQ(scene.GetCountdown(), 20);
    EXPECT_EQ(scene.Clock().shown, 1);
    EXPECT_EQ(scene.IsCountdownSoundOn(), 1);
    // Chair 1 at view 0: the peng face up with its tiles (the giver opposite turns none),
    // ten standing tiles and the drawn one.
    for (int i : {17, 16, 15}) {
        EXPECT_EQ(Hand(0)[i].nFace, 1) << i;
        EXPECT_EQ(Hand(0)[i].bHand, 0) << i;
    }
    EXPECT_EQ((std::vector<int>{Hand(0)[17].nCode, Hand(0)[16].nCode, Hand(0)[15].nCode}),
              (std::vector<int>{4, 13, 22}));
    EXPECT_EQ(Hand(0)[0].bPresent, 1);
    EXPECT_EQ(Standing(0), 11);
    EXPECT_EQ(Hand(0)[10].bPresent, 1);
    EXPECT_EQ(Hand(0)[11].bPresent, 0);
    // Chair 3 at view 2: the concealed gang (three backs, the fourth up), ten standing.
    EXPECT_EQ((std::vector<int>{Hand(2)[17].nFace, Hand(2)[16].nFace, Hand(2)[15].nFace,
                                Hand(2)[14].nFace}),
              (std::vector<int>{1, 0, 0, 0}));
    EXPECT_EQ(Standing(2), 10);
    EXPECT_EQ(Standing(1), 13);
    // The own hand sorted, no drawn tile.
    EXPECT_EQ(Hand(3)[0].bPresent, 0);
    EXPECT_EQ(Present(Hand(3), 14, true),
              (std::vector<int>{120, 125, 101, 91, 100, 90, 62, 61, 60, 55, 30, 2, 18}));
    // Discards into the rows, flowers into the flower rows, face up.
    EXPECT_EQ(Present(scene.Tiles().m_discards[0], kDiscardRecords, true),
              (std::vector<int>{5, 40}));
    EXPECT_EQ(scene.Tiles().m_discards[0][1].nFace, 1);
    EXPECT_EQ(Present(scene.Tiles().m_discards[3], kDiscardRecords, true), (std::vector<int>{77}));
    EXPECT_TRUE(Present(scene.Tiles().m_discards[1], kDiscardRecords, true).empty());
    EXPECT_EQ(Present(scene.Tiles().m_flowers[0], kFlowerRecords, true), (std::vector<int>{136}));
    EXPECT_EQ(Present(scene.Tiles().m_flowers[1], kFlowerRecords, true),
              (std::vector<int>{137, 138}));
    // The wall taken between its start and head.
    std::vector<int> absent;
    for (int i = 0; i < 136; ++i)
        if (!scene.Tiles().m_wall[i].bPresent) absent.push_back(i);
    EXPECT_EQ(absent.size(), 30u);
    EXPECT_EQ(absent.front(), 10);
    EXPECT_EQ(absent.back(), 39);
    // The table's record names the restored lists.
    const std::string text = scene.FormatTable("rebuilt");
    EXPECT_NE(text.find("table rebuilt\n  clock: 0 20 1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("chair 1 view 0\n  melds: peng(13 22 4)<2\n  discards: 5 40\n"
                        "  flowers: 136\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("chair 3 view 2\n  melds: angang(108 109 110 111)<3\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("chair 0 view 3\n  melds:\n  discards: 77\n"), std::string::npos) << text;
    // The clock runs at chair 1's seat.
    scene.OnTimer(host.GetClockTimerId());
    EXPECT_EQ(scene.GetCountdown(), 19);
    EXPECT_EQ(scene.QZ_GetPointTo(), 0);
}

// The state keeps each kind of meld in its own list, not the order of laying: chair 2's
// exposed kong comes back after its pung, whichever the seat laid first, and the added kong
// puts its fourth tile onto the pung it stands on.
TEST_F(RebuildTest, MeldsComeBackListByListWithTheAddedKongOnItsPung) {
    Player();
    Entry(2, 2, {40, 49, 58, 67}, 3);
    Entry(2, 0, {108, 115, 122, -1}, 0);
    Entry(2, 4, {108, 115, 122, 129}, 0);
    scene.RebuildTable();
    std::vector<int> pung, kong;
    for (int i : {17, 16, 15, 14}) pung.push_back(Hand(1)[i].bPresent ? Hand(1)[i].nCode : -1);
    for (int i : {13, 12, 11, 10}) kong.push_back(Hand(1)[i].nCode);
    std::sort(pung.begin(), pung.end());
    std::sort(kong.begin(), kong.end());
    EXPECT_EQ(pung, (std::vector<int>{108, 115, 122, 129}));
    EXPECT_EQ(kong, (std::vector<int>{40, 49, 58, 67}));
}

// The wall's last tail draws met the head: the tail took the tile at the head's place (133)
// when its own (132) was gone, which the counts of the tiles out of the wall tell; a head
// outside the wall takes nothing past it.
TEST_F(RebuildTest, ATailDrawThatMetTheHeadTookTheTileAtTheHeadsPlace) {
    deal.SetStateBytes(kPlayerStateBytes);
    deal.Set(32, 0);
    deal.Set(38, 3);  // the tail's places: 134, 135, then 132
    const int discards[4] = {36, 36, 12, 0};
    for (size_t c = 0; c < 4; ++c) {
        deal.Set(kHeld + c, 13);
        deal.Set(kCounts + 7 * c + 5, discards[c]);
    }
    for (int head : {133, 150, -1}) {
        deal.Set(37, head);
        scene.RebuildTable();
        std::vector<int> present;
        for (int i = 0; i < 136; ++i)
            if (scene.Tiles().m_wall[i].bPresent) present.push_back(i);
        if (head == 133)
            EXPECT_TRUE(present.empty());
        else
            EXPECT_EQ(present.size(), 133u) << head;
    }
    // A pung under its added kong lies in the kong: counted once, the tiles out of the wall
    // are as many as the marks, and the tile at the head's place stays in the wall.
    Entry(0, 0, {108, 115, 122, -1}, 1);
    Entry(0, 4, {108, 115, 122, 129}, 1);
    deal.Set(kCounts + 7 + 5, 31);  // 52 held, 79 discarded, the kong's 4: 135 out
    deal.Set(37, 133);
    scene.RebuildTable();
    EXPECT_EQ(Present(scene.Tiles().m_wall, 136, false), (std::vector<int>{133}));
    // Counts of the server's as large as an int goes: each is kept to what its list holds,
    // and their sums stay ints.
    for (size_t c = 0; c < 4; ++c) deal.Set(kHeld + c, INT32_MAX);
    deal.Set(38, INT32_MAX);
    deal.Set(37, 133);
    scene.RebuildTable();
    for (int i = 0; i < 136; ++i) EXPECT_EQ(scene.Tiles().m_wall[i].bPresent, 0) << i;
}

// A wall that runs out with no tile drawn from its tail, or one, brings the head back to the
// start: the head has taken the whole wall, not none of it. Dealt hands tell the two apart,
// in a player's state and a looker-on's alike.
TEST_F(RebuildTest, AHeadBackAtTheStartHasTakenTheWholeWall) {
    struct Case {
        bool looker;
        size_t chair;  // the one chair that holds tiles
        int held;
        int tail;
        int standing;  // wall records left
    };
    const Case cases[] = {
        {false, 3, 1, 0, 0}, {false, 0, 0, 0, 136}, {false, 0, 1, 1, 0}, {false, 3, 0, 1, 135},
        {true, 0, 1, 0, 0},  {true, 3, 0, 0, 136},  {true, 3, 1, 1, 0},  {true, 0, 0, 1, 135},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.looker) + " " + std::to_string(c.chair) + " " +
                     std::to_string(c.held) + " " + std::to_string(c.tail));
        host.lookerOn = c.looker ? 1 : 0;
        deal.SetStateBytes(c.looker ? kLookerStateBytes : kPlayerStateBytes);
        for (size_t ch = 0; ch < 4; ++ch) {
            deal.Set(kHeld + ch, 0);
            deal.Set(kLookerHeld + ch, 0);
        }
        // The tiles the state lists after the held counts are no count.
        deal.Set(kOwn, 5);
        deal.Set(kLookerHeld + 4, 5);
        deal.Set((c.looker ? kLookerHeld : kHeld) + c.chair, c.held);
        deal.Set(32, 96);
        deal.Set(37, 96);
        deal.Set(38, c.tail);
        scene.RebuildTable();
        EXPECT_EQ(Present(scene.Tiles().m_wall, 136, false).size(), size_t(c.standing));
    }
}

// A looker-on's state has no melds and no discards to count the tiles out of the wall by: the
// last tail draw tells it. Falling on the record the head drew last, it found its place taken
// and took the tile at the head; falling anywhere else, it took its own place.
TEST_F(RebuildTest, ALookerOnSeesTheTileTheTailTookAtTheHead) {
    host.lookerOn = 1;
    deal.SetStateBytes(kLookerStateBytes);
    for (size_t c = 0; c < 4; ++c) deal.Set(kLookerHeld + c, 13);
    deal.Set(32, 0);  // the tail's places: 134, 135, 132, 133, 130, ...
    struct Case {
        int head, tail;
        std::vector<int> standing;
    };
    const Case cases[] = {
        {133, 3, {}},          // the head drew 132, then the tail's third draw came to it
        {132, 3, {133}},       // the tail took 132 first; the head stands on it
        {134, 3, {}},          // the head stepped over 132 and drew 133
        {135, 1, {}},          // the head drew 134 before the tail's first draw
        {134, 1, {135}},       // the tail took 134 first
        {133, 2, {133}},       // the tail's last place, 135, is not the head's last
        {132, 4, {}},          // the tail took all four of the wall's last records
        {131, 3, {131, 133}},  // the two have not met
        {0, 1, {}},            // the head went round the wall to its start
    };
    for (const Case& c : cases) {
        deal.Set(37, c.head);
        deal.Set(38, c.tail);
        scene.RebuildTable();
        EXPECT_EQ(Present(scene.Tiles().m_wall, 136, false), c.standing)
            << "head " << c.head << ", tail " << c.tail;
    }
}

TEST_F(RebuildTest, LookerOnsStateHoldsNoMeldsNorDiscards) {
    Player();  // the words a player's state would hold stay in the area: they are not read
    host.lookerOn = 1;
    deal.SetStateBytes(kLookerStateBytes);
    const int held[4] = {13, 11, 13, 10};
    for (size_t c = 0; c < 4; ++c) {
        deal.Set(kLookerHeld + c, held[c]);
        deal.Set(kLookerFlowerCounts + c, 0);
    }
    deal.Set(kLookerFlowers + 36 * 2, 137);
    deal.Set(kLookerFlowerCounts + 2, 1);
    scene.RebuildTable();
    EXPECT_TRUE(host.paneEnabled.empty());
    for (int v = 0; v < 4; ++v) {
        EXPECT_TRUE(Present(scene.Tiles().m_discards[v], kDiscardRecords, true).empty()) << v;
        for (int i = 0; i < kHandSlotCount; ++i) EXPECT_EQ(Hand(v)[i].nMeld, 0) << v << "/" << i;
    }
    EXPECT_EQ(Present(scene.Tiles().m_flowers[1], kFlowerRecords, true), (std::vector<int>{137}));
    EXPECT_TRUE(Present(scene.Tiles().m_flowers[0], kFlowerRecords, true).empty());
    // Each seat stands as many tiles as the state counts; the watched hand stays hidden.
    EXPECT_EQ(Standing(0), 11);
    EXPECT_EQ(Standing(1), 13);
    EXPECT_EQ(Standing(2), 10);
    EXPECT_EQ(Standing(3), 13);
    for (int i = 1; i <= 13; ++i) EXPECT_EQ(Hand(3)[i].nCode, kHiddenTile) << i;
    for (int i = 11; i < kHandSlotCount; ++i) EXPECT_EQ(Hand(2)[i].bPresent, 0) << i;
    EXPECT_EQ(scene.GetCountdown(), 20);
    const std::string text = scene.FormatTable("rebuilt");
    EXPECT_NE(text.find("chair 1 view 0\n  melds:\n  discards:\n  flowers:\n"), std::string::npos)
        << text;
}

TEST_F(RebuildTest, CountsTheServerGotWrongStayInsideTheTable) {
    Player();
    const struct {
        size_t word;
        int value;
        const char* logged;
    } cases[] = {
        {kHeld + 2, 99, "手牌数目错误:99"},           {kHeld + 3, -5, "手牌数目错误:-5"},
        {kCounts + 7 * 2 + 6, 40, "花牌数目错误:40"}, {kCounts + 7 * 1 + 5, 37, "弃牌数目错误:37"},
        {kCounts + 7 * 1 + 5, -1, "弃牌数目错误:-1"},
    };
    for (const auto& c : cases) {
        const int before = deal.RoundWord(c.word);
        deal.Set(c.word, c.value);
        scene.RebuildTable();
        EXPECT_NE(Log().find(c.logged), std::string::npos) << c.logged;
        deal.Set(c.word, before);
    }
    // Ids that are no tiles are left out of the rows.
    List(1, 5, 210, {5, -1, 152, 40});
    List(2, 6, 246, {137, 9999});
    scene.RebuildTable();
    EXPECT_EQ(Present(scene.Tiles().m_discards[0], kDiscardRecords, true),
              (std::vector<int>{5, 40}));
    EXPECT_EQ(Present(scene.Tiles().m_flowers[1], kFlowerRecords, true), (std::vector<int>{137}));
    // One line per kind of fault: both bad discards of the record on one.
    for (const char* line : {"弃牌错误:-1,152\r\n", "花牌错误:9999\r\n"})
        EXPECT_NE(Log().find(line), std::string::npos) << line << Log();
    List(1, 5, 210, {5, 40});
    List(2, 6, 246, {137, 138});
    // Held 99 at view 1: every standing record (no melds there) and no more.
    deal.Set(kHeld + 2, 99);
    scene.RebuildTable();
    EXPECT_EQ(Standing(1), kHandSlotCount - 1);
    for (int i = kHandSlotCount; i < kHandRecords; ++i)
        EXPECT_EQ(Hand(1)[i].bPresent, 0) << i;  // nothing past the hand's slots
    // A flower count past the seat's eight records fills the eight.
    deal.Set(kCounts + 7 * 2 + 6, 40);
    scene.RebuildTable();
    EXPECT_EQ(Present(scene.Tiles().m_flowers[1], kFlowerRecords, false).size(), 8u);
    // No standing tile at all.
    deal.Set(kHeld + 3, -5);
    scene.RebuildTable();
    EXPECT_EQ(Standing(2), 0);
}

// A record full of bad entries writes a line per kind of fault, not one per entry: its
// first four values and how many there were.
TEST_F(RebuildTest, ARecordFullOfBadEntriesWritesALinePerKindOfFault) {
    Player();
    for (size_t chair = 0; chair < 4; ++chair) {
        List(chair, 5, 210, std::vector<int>(36, 200 + int(chair)));
        List(chair, 6, 246, std::vector<int>(8, -7));
        for (size_t list = 0; list < 5; ++list)
            for (size_t m = 0; m < 6; ++m) {
                const size_t at = kChairBlock + kChairWords * chair + 42 * list + 7 * m;
                for (size_t t = 0; t < 4; ++t) deal.Set(at + t, m % 2 ? 999 : -1);
            }
        for (size_t list = 0; list < 5; ++list) deal.Set(kCounts + 7 * chair + list, 6);
    }
    deal.Set(kCounts + 7 * 3 + 4, 9);  // one meld count past its six entries
    const size_t before = Log().size();
    scene.RebuildTable();
    const std::string logged = Log().substr(before);
    auto lines = [&](const std::string& kind) {
        int n = 0;
        for (size_t at = 0; (at = logged.find(kind, at)) != std::string::npos; at += kind.size())
            ++n;
        return n;
    };
    EXPECT_EQ(lines("弃牌错误:"), 1) << logged;
    EXPECT_NE(logged.find("弃牌错误:200,200,200,200等144处\r\n"), std::string::npos) << logged;
    EXPECT_NE(logged.find("花牌错误:-7,-7,-7,-7等32处\r\n"), std::string::npos) << logged;
    // Of each chair's 30 entries (the count past six kept to six) every second holds no
    // tile, the others an id that is no tile: one kind of fault, the bad meld entry.
    EXPECT_NE(logged.find("牌组错误:没有牌,999,没有牌,999等120处\r\n"), std::string::npos)
        << logged;
    EXPECT_NE(logged.find("牌组数目错误:9\r\n"), std::string::npos) << logged;
    EXPECT_LT(std::count(logged.begin(), logged.end(), '\n'), 12) << logged;
    // Outside a rebuild the fault is written at once, as it stands.
    const size_t after = Log().size();
    deal.Set(36, 152);
    deal.Set(33, 5);
    scene.MarkWall();
    EXPECT_NE(Log().substr(after).find("牌墙翻牌错误:152\r\n"), std::string::npos) << Log();
}

TEST_F(RebuildTest, MeldEntriesAndTheFaceUpTileHoldingNoTileAreLeftOut) {
    Player();
    // Chair 2 (view 1): a peng whose second id is no tile, then one with no tile at all;
    // chair 1 keeps its sound peng. Each bad entry is logged and lays nothing.
    const struct {
        std::vector<int> tiles;
        const char* logged;
    } cases[] = {
        {{13, 152, 4, -1}, "牌组错误:152"},
        {{-2, 22, 4, -1}, "牌组错误:-2"},
        {{-1, -1, -1, -1}, "牌组错误:没有牌"},
        {{0, 61, 62, 151}, nullptr},  // tile 0 and the last tile are tiles
    };
    for (const auto& c : cases) {
        Entry(2, 0, c.tiles, 1);
        const size_t before = Log().size();
        scene.RebuildTable();
        const std::string logged = Log().substr(before);
        int meldRecords = 0;
        for (int i = 0; i < kHandSlotCount; ++i) meldRecords += Hand(1)[i].nMeld != 0;
        if (c.logged) {
            EXPECT_NE(logged.find(c.logged), std::string::npos) << c.logged;
            EXPECT_EQ(meldRecords, 0) << c.logged;
            EXPECT_EQ(Standing(1), 13) << c.logged;
        } else {
            EXPECT_EQ(logged.find("牌组错误"), std::string::npos) << logged;
            EXPECT_GT(meldRecords, 0);
            const std::string text = scene.FormatTable("rebuilt");
            EXPECT_NE(text.find("chair 2 view 1\n  melds: peng(0 61 62 151)<1\n"),
                      std::string::npos)
                << text;
        }
        EXPECT_EQ(Hand(0)[17].nCode, 4);  // the other chair's peng stays
    }
    // The face-up tile: an id past the last tile leaves the wall face down, the last id shows.
    deal.Set(33, 50);
    for (const int id : {152, 151}) {
        deal.Set(36, id);
        scene.RebuildTable();
        EXPECT_EQ(scene.Tiles().m_wall[50].nFace == 1, id == 151) << id;
        EXPECT_EQ(scene.Tiles().m_wall[50].nCode == id, id == 151) << id;
    }
    EXPECT_NE(Log().find("牌墙翻牌错误:152"), std::string::npos);
}

TEST_F(RebuildTest, ClockStaysWhereItWasForAMoverWithoutASeat) {
    Player();
    deal.Set(13, 7);
    deal.Set(14, 0x1);  // no drawn tile: the wait's seconds would be taken
    scene.RebuildTable();
    EXPECT_NE(Log().find("RestoreClockState: chair 7 has no view"), std::string::npos);
    EXPECT_EQ(scene.Clock().shown, 0);
    EXPECT_EQ(host.clockTimer, std::vector<std::string>{"stop"});
    // A seat to move that has not drawn: the wait's seconds.
    deal.Set(13, 2);
    scene.RebuildTable();
    EXPECT_EQ(scene.GetCountdown(), 7);
    EXPECT_EQ(scene.QZ_GetPointTo(), 2);
    // The own chair to move: the clock points at the own seat, the last view there is.
    deal.Set(13, 0);
    scene.RebuildTable();
    EXPECT_EQ(scene.QZ_GetPointTo(), 6);
    EXPECT_EQ(scene.Clock().shown, 1);
}

TEST_F(RebuildTest, NothingOfTheOldTablesClockOutlivesARebuild) {
    Player();
    deal.Set(13, 3);  // chair 3 at view 2
    scene.RebuildTable();
    ASSERT_EQ(scene.QZ_GetPointTo(), 4);
    ASSERT_EQ(scene.Clock().shown, 1);
    // A choice and a claim window were open when the table went.
    scene.SetSelectMode(2);
    scene.SetClaimWindowOpen(1);
    scene.SetCountdownSound(1);
    // The state's mover has no seat: the reset's clock stays, hidden, with nothing left over.
    deal.Set(13, 7);
    scene.RebuildTable();
    EXPECT_EQ(scene.Clock().shown, 0);
    EXPECT_EQ(scene.Clock().started, 0);
    EXPECT_EQ(scene.IsCountdownSoundOn(), 0);
    EXPECT_EQ(scene.GetCountdown(), 0);
    EXPECT_EQ(scene.QZ_GetPointTo(), 0);
    EXPECT_EQ(scene.Clock().drawn, 0);
    EXPECT_EQ(scene.GetSelectMode(), 0);
    EXPECT_EQ(scene.IsClaimWindowOpen(), 0);
    EXPECT_EQ(scene.Clock().layout[3], 25);
}

TEST_F(RebuildTest, WithoutADealStateTheTableIsOnlyReset) {
    host.info = nullptr;
    scene.SetCountdown(9);
    scene.RebuildTable();
    EXPECT_EQ(scene.Clock().shown, 0);
    EXPECT_EQ(host.clockTimer, std::vector<std::string>{"stop"});
    EXPECT_EQ(Standing(0), 13);  // the layout's thirteen, none counted away
    EXPECT_EQ(Standing(3), 13);
    EXPECT_FALSE(scene.IsDealInProgress());
}

TEST_F(RebuildTest, AnIdleTableShowsTheStartButtonUnlessTheSystemSeats) {
    if (!HaveAssets()) GTEST_SKIP() << "the build wrote no table pictures (programs off)";
    Start(710);
    engine::GameKernel& k = scene.GetKernel();
    auto startShown = [&] {
        return k.FindEntity(k.FindControl(scene.Entities().start)->entityId)->IsVisible();
    };
    host.field13 = 0x2;
    scene.RefreshIdleTable();
    EXPECT_FALSE(startShown());
    host.field13 = 0;
    scene.RefreshIdleTable();
    EXPECT_TRUE(startShown());
}

TEST_F(RebuildTest, ADealIsInProgressOnlyInAStateOfTheUsersKind) {
    // Game data of another length than the user's kind is logged; none at all is not.
    const struct {
        size_t bytes;
        int looker, status, running;
        const char* logged;
    } cases[] = {
        {kPlayerStateBytes, 0, 0x101, 1, nullptr},
        {kPlayerStateBytes, 0, 0x100, 0, nullptr},
        {kLookerStateBytes, 1, 0x1, 1, nullptr},
        {kLookerStateBytes, 0, 0x1, 0, "牌局数据长度错误:948,应为5028"},
        {kPlayerStateBytes, 1, 0x1, 0, "牌局数据长度错误:5028,应为948"},
        {560, 0, 0x1, 0, "牌局数据长度错误:560,应为5028"},
        {kPlayerStateBytes + 4, 0, 0x1, 0, "牌局数据长度错误:5032,应为5028"},
        {0, 0, 0x1, 0, nullptr},
    };
    for (const auto& c : cases) {
        const size_t before = Log().size();
        deal.SetStateBytes(c.bytes);
        host.lookerOn = c.looker;
        deal.Set(14, c.status);
        EXPECT_EQ(scene.IsDealInProgress(), c.running) << c.bytes << " " << c.looker;
        const std::string logged = Log().substr(before);
        if (c.logged)
            EXPECT_NE(logged.find(c.logged), std::string::npos) << logged;
        else
            EXPECT_EQ(logged, "") << c.bytes;
    }
}

struct StartSteps : CMJGameScene2 {
    void ShowStartButton() override { got.push_back("start"); }
    void ShowWaitTableNotice() override { got.push_back("wait"); }
    void ShowAskButton() override { got.push_back("ask"); }
    void RebuildTable() override { got.push_back("rebuild"); }
    void Redraw(int) override {}
    void ToggleMusic() override {}
    std::vector<std::string> got;
};

TEST(RebuildStart, APlayerComingBackRebuildsOnlyARunningDeal) {
    FakeSceneHost host;
    DealState deal;
    StartSteps scene;
    host.info = &deal;
    scene.SetSceneHost(&host);
    host.rejoining = 1;
    deal.Set(14, 0x1);
    // The entry's data is no table state: the player starts afresh.
    deal.SetStateBytes(560);
    scene.OnGameStart();
    EXPECT_EQ(scene.got, std::vector<std::string>{"start"});
    EXPECT_EQ(scene.IsGameRunning(), 0);
    scene.got.clear();
    deal.SetStateBytes(kPlayerStateBytes);
    scene.OnGameStart();
    EXPECT_EQ(scene.got, std::vector<std::string>{"rebuild"});
    EXPECT_EQ(scene.IsGameRunning(), 1);
    // Without the entry's mark the same state rebuilds nothing for a player.
    scene.got.clear();
    scene.SetGameRunning(0);
    host.rejoining = 0;
    scene.OnGameStart();
    EXPECT_EQ(scene.got, std::vector<std::string>{"start"});
}

}  // namespace
}  // namespace hqlv::mahjong::test
