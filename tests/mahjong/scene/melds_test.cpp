// The meld and lay-down updates on every view: codes, places and lying directions by the
// giver's seat, the three gang kinds, hidden hands counted instead of named, the lay-down
// variants, and malformed notices (short, bad giver, a fifth meld, no view) that change
// nothing. The win effect's sprites release themselves on the headless engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

#include "table_scene.h"

namespace hqlv::mahjong::test {
namespace {

#define NEED_ASSETS() \
    if (!HaveAssets()) GTEST_SKIP() << "the build wrote no table pictures (programs off)"

using Notice = std::array<int32_t, 16>;

MJData Data(const Notice& n, size_t words = 16) {
    return MJData(reinterpret_cast<const uint8_t*>(n.data()), words * sizeof(int32_t));
}

// Records of a hand present, in the hand, holding the codes from record first on.
void Fill(MJTileInfo* row, std::initializer_list<int> codes, int first = 1) {
    int i = first;
    for (int c : codes) {
        row[i].nCode = c;
        row[i].bPresent = row[i].bHand = 1;
        ++i;
    }
}

// A 32-entry tile list: the codes, then -1.
std::array<int32_t, 32> List(std::initializer_list<int32_t> codes) {
    std::array<int32_t, 32> list;
    list.fill(-1);
    std::copy(codes.begin(), codes.end(), list.begin());
    return list;
}

std::vector<int> Codes(const MJTileInfo* row, int first, int last) {
    std::vector<int> v;
    for (int i = first; i <= last; ++i) v.push_back(row[i].nCode);
    return v;
}

class MeldTest : public TableTest {
protected:
    // The notice of a meld given by the seat at view giver: w5 the claimed tile.
    Notice Meld(int giver, int w5, int w6, int w7, int w8 = -1, int w10 = -1) {
        Notice n;
        n.fill(0);
        n[4] = scene.ViewToChair(giver);
        n[5] = w5, n[6] = w6, n[7] = w7, n[8] = w8, n[10] = w10;
        return n;
    }
    // Snapshot of every tile area: what "changes nothing" is compared against.
    std::unique_ptr<CMJTileAreas> Snapshot() {
        auto s = std::make_unique<CMJTileAreas>();
        std::memcpy(static_cast<void*>(s.get()), &scene.Tiles(), sizeof(CMJTileAreas));
        return s;
    }
    bool Unchanged(const CMJTileAreas& s) {
        return std::memcmp(&s, &scene.Tiles(), sizeof(CMJTileAreas)) == 0;
    }
    int Standing(int view) {
        int n = 0;
        for (int i = 0; i < kHandSlotCount; ++i) n += Hand(view)[i].bPresent && Hand(view)[i].bHand;
        return n;
    }
};

// ---- peng and chi on every view and from every giver

TEST_F(MeldTest, ThreeTileMeldsByViewAndGiver) {
    struct Case {
        int view, rel;  // giver = (view + rel) mod 4
        int x[3], y[3], dir[3];
        int word[3];  // notice word whose tile each record holds, 0: none written
    };
    const Case cases[] = {
        {3, 1, {0, 33, 59}, {29, 25, 25}, {0, 1, 1}, {5, 6, 7}},
        {3, 2, {0, 26, 52}, {25, 25, 25}, {1, 1, 1}, {6, 5, 7}},
        {3, 3, {0, 26, 52}, {25, 25, 29}, {1, 1, 2}, {6, 7, 5}},
        {3, 0, {0, 26, 52}, {25, 25, 25}, {1, 1, 1}, {0, 0, 0}},
        {1, 1, {393, 367, 341}, {11, 11, 11}, {2, 3, 3}, {5, 6, 7}},
        {1, 2, {400, 374, 348}, {11, 11, 11}, {3, 3, 3}, {6, 5, 7}},
        {1, 3, {400, 374, 341}, {11, 11, 11}, {3, 3, 0}, {6, 7, 5}},
        {1, 0, {400, 374, 348}, {11, 11, 11}, {3, 3, 3}, {0, 0, 0}},
        {0, 1, {0, 0, 0}, {0, 25, 46}, {1, 2, 2}, {5, 6, 7}},
        {0, 2, {0, 0, 0}, {0, 21, 42}, {2, 2, 2}, {6, 5, 7}},
        {0, 3, {0, 0, 0}, {0, 21, 42}, {2, 2, 3}, {6, 7, 5}},
        {0, 0, {0, 0, 0}, {0, 21, 42}, {2, 2, 2}, {0, 0, 0}},
        {2, 1, {23, 16, 16}, {390, 369, 348}, {3, 0, 0}, {5, 6, 7}},
        {2, 2, {16, 16, 16}, {394, 373, 352}, {0, 0, 0}, {6, 5, 7}},
        {2, 3, {16, 16, 23}, {394, 373, 348}, {0, 0, 1}, {5, 6, 7}},
        {2, 0, {16, 16, 16}, {394, 373, 352}, {0, 0, 0}, {0, 0, 0}},
    };
    for (int kind : {kMeldPeng, kMeldChi})
        for (const Case& c : cases) {
            const std::string what = "kind " + std::to_string(kind) + " view " +
                                     std::to_string(c.view) + " rel " + std::to_string(c.rel);
            scene.Tiles().Clear();
            Fill(Hand(c.view), {50, 101, 102, 70, 80});
            const Notice n = Meld((c.view + c.rel) % 4, 100, 101, 102);
            if (kind == kMeldPeng)
                scene.AddPengMeld(c.view, Data(n));
            else
                scene.AddChiMeld(c.view, Data(n));
            for (int k = 0; k < 3; ++k) {
                const MJTileInfo& r = Hand(c.view)[17 - k];
                EXPECT_EQ(r.nX, c.x[k]) << what << " tile " << k;
                EXPECT_EQ(r.nY, c.y[k]) << what << " tile " << k;
                EXPECT_EQ(r.nDirection, c.dir[k]) << what << " tile " << k;
                EXPECT_EQ(r.nCode, c.word[k] ? n[size_t(c.word[k])] : 0) << what << " tile " << k;
                EXPECT_EQ(r.bPresent, 1) << what;
                EXPECT_EQ(r.nFace, 1) << what;
                EXPECT_EQ(r.bHand, 0) << what;
                EXPECT_EQ(r.nMeld, kind) << what;
                // Only the own peng marks the tile taken from the giver.
                const bool claimed = c.view == 3 && kind == kMeldPeng && c.word[k] == 5;
                EXPECT_EQ(r.bClaimed, claimed ? 1 : 0) << what << " tile " << k;
            }
            EXPECT_EQ(Hand(c.view)[14].bPresent, 0) << what;
            // The hand gave 101 and 102; its first tile waits in the draw slot.
            EXPECT_EQ(Codes(Hand(c.view), 0, 2), (std::vector<int>{50, 70, 80})) << what;
            EXPECT_EQ(Standing(c.view), 3) << what;
        }
}

TEST_F(MeldTest, LaterGroupsStartOneGroupFurtherAlongTheRow) {
    struct Case {
        int view, group, at;  // the first tile's coordinate along the row (no tile turned)
    };
    const Case cases[] = {{3, 1, 85}, {3, 3, 255}, {1, 1, 315}, {1, 3, 145},
                          {0, 1, 67}, {0, 3, 201}, {2, 1, 327}, {2, 3, 193}};
    for (const Case& c : cases) {
        scene.Tiles().Clear();
        for (int g = 0; g < c.group; ++g) Hand(c.view)[17 - 4 * g].bPresent = 1;
        Fill(Hand(c.view), {1, 2, 3});
        scene.AddPengMeld(c.view, Data(Meld((c.view + 2) % 4, 9, 2, 3)));
        const MJTileInfo& r = Hand(c.view)[17 - 4 * c.group];
        EXPECT_EQ(c.view == 0 || c.view == 2 ? r.nY : r.nX, c.at) << c.view << "/" << c.group;
        EXPECT_EQ(r.nCode, 2) << c.view << "/" << c.group;
    }
}

// ---- the free group comes first: a fifth meld changes nothing at all

TEST_F(MeldTest, AHandWithFourMeldsTakesNoFurtherMeld) {
    using Add = void (CMJGameScene2::*)(int, MJData);
    const Add adds[] = {&CMJGameScene2::AddPengMeld, &CMJGameScene2::AddChiMeld,
                        &CMJGameScene2::AddExposedGangMeld, &CMJGameScene2::AddConcealedGangMeld};
    for (int v = 0; v < 4; ++v)
        for (Add add : adds) {
            scene.Tiles().Clear();
            for (int top : {17, 13, 9, 5}) Hand(v)[top].bPresent = 1;
            Fill(Hand(v), {1, 2, 3, 4});  // a known hand that holds the tiles
            const auto before = Snapshot();
            (scene.*add)(v, Data(Meld((v + 1) % 4, 4, 1, 2, 3, 77)));
            EXPECT_TRUE(Unchanged(*before)) << v;
        }
    // The same for a hidden hand, compared byte for byte.
    scene.Tiles().Clear();
    for (int top : {17, 13, 9, 5}) Hand(1)[top].bPresent = 1;
    Fill(Hand(1), {200, 200, 200, 200});
    const auto before = Snapshot();
    scene.AddPengMeld(1, Data(Meld(2, 4, 5, 6)));
    scene.AddExposedGangMeld(1, Data(Meld(2, 4, 5, 6, 7, 8)));
    EXPECT_TRUE(Unchanged(*before));
}

// ---- hidden hands work on counts

TEST_F(MeldTest, HiddenHandPengClearsThreeAndShowsTheDrawSlot) {
    Fill(Hand(1), {200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200});
    const int before = Standing(1);
    scene.AddPengMeld(1, Data(Meld(2, 4, 5, 6)));
    for (int i : {11, 12, 13}) {
        EXPECT_EQ(Hand(1)[i].bPresent, 0) << i;
        EXPECT_EQ(Hand(1)[i].bHand, 0) << i;
    }
    EXPECT_EQ(Hand(1)[10].bPresent, 1);
    EXPECT_EQ(Hand(1)[0].bPresent, 1);
    EXPECT_EQ(Hand(1)[0].bHand, 1);
    EXPECT_EQ(Standing(1), before - 2);
    EXPECT_EQ(Codes(Hand(1), 15, 17), (std::vector<int>{6, 5, 4}));  // the next seat gave it
}

TEST_F(MeldTest, HiddenHandNeverClearsBelowRecordOne) {
    struct Case {
        int top;  // hand records 1..top present (0: only the draw slot)
        int left;
    };
    for (const Case c : {Case{2, 0}, Case{1, 0}, Case{0, 0}, Case{4, 1}}) {
        scene.Tiles().Clear();
        for (int i = 1; i <= c.top; ++i) Fill(Hand(0), {200}, i);
        Hand(0)[0].bPresent = Hand(0)[0].bHand = 1, Hand(0)[0].nCode = 200;
        if (c.top == 0) Hand(0)[1].nCode = 200;  // still a hidden hand
        // The row before this one in memory must stay as it is.
        const auto before = Snapshot();
        scene.AddPengMeld(0, Data(Meld(1, 4, 5, 6)));
        int standing = 0;
        for (int i = 1; i < 15; ++i) standing += Hand(0)[i].bPresent && Hand(0)[i].bHand;
        EXPECT_EQ(standing, c.left) << c.top;
        EXPECT_EQ(Hand(0)[0].bPresent, 1) << c.top;
        EXPECT_EQ(Hand(0)[0].bHand, 1) << c.top;
        EXPECT_EQ(std::memcmp(&before->m_wall, &scene.Tiles().m_wall, sizeof before->m_wall), 0);
        for (int v = 1; v < 4; ++v)
            EXPECT_EQ(std::memcmp(before->m_hands[v], Hand(v), sizeof before->m_hands[v]), 0);
    }
}

// ---- gangs

TEST_F(MeldTest, ExposedAndConcealedGangsOnEveryView) {
    struct Case {
        int view;
        bool concealed;
        int word[4];  // records 17, 16, 15, 14
        int fourth;   // the record of the fourth tile
        int middle;   // the middle base record, which the fourth lies on
    };
    const Case cases[] = {
        {0, false, {6, 7, 8, 5}, 14, 16}, {1, false, {5, 6, 7, 8}, 17, 15},
        {2, false, {5, 6, 7, 8}, 17, 15}, {3, false, {6, 7, 8, 5}, 14, 16},
        {0, true, {5, 6, 7, 8}, 14, 16},  {1, true, {5, 6, 7, 8}, 17, 15},
        {2, true, {5, 6, 7, 8}, 17, 15},  {3, true, {6, 7, 8, 5}, 14, 16},
    };
    for (const Case& c : cases) {
        const std::string what = std::to_string(c.view) + (c.concealed ? " concealed" : " exposed");
        scene.Tiles().Clear();
        Fill(Hand(c.view), {60, 101, 102, 103, 100, 40});
        Fill(Hand(c.view), {90}, 0);  // the drawn tile
        const Notice n = Meld((c.view + 2) % 4, 100, 101, 102, 103, 77);
        if (c.concealed)
            scene.AddConcealedGangMeld(c.view, Data(n));
        else
            scene.AddExposedGangMeld(c.view, Data(n));
        for (int k = 0; k < 4; ++k) {
            const MJTileInfo& r = Hand(c.view)[17 - k];
            EXPECT_EQ(r.nCode, n[size_t(c.word[k])]) << what << " record " << 17 - k;
            EXPECT_EQ(r.bPresent, 1) << what;
            EXPECT_EQ(r.bHand, 0) << what;
            EXPECT_EQ(r.nMeld, c.view == 3 ? kMeldGang : 0) << what;
            EXPECT_EQ(r.nDirection, (c.view + 2) % 4) << what << " (the giver opposite turns none)";
            const bool base = 17 - k != c.fourth;
            EXPECT_EQ(r.nFace, c.concealed && base ? 0 : 1) << what << " record " << 17 - k;
        }
        const MJTileInfo& f = Hand(c.view)[c.fourth];
        const MJTileInfo& m = Hand(c.view)[c.middle];
        EXPECT_EQ(f.nX, m.nX) << what;
        EXPECT_EQ(f.nY, m.nY - 11) << what;
        // The replacement stands in the draw slot, face up.
        EXPECT_EQ(Hand(c.view)[0].nCode, 77) << what;
        EXPECT_EQ(Hand(c.view)[0].bHand, 1) << what;
        EXPECT_EQ(Hand(c.view)[0].nFace, 1) << what;
        EXPECT_EQ(Hand(c.view)[0].nDirection, (c.view + 2) % 4) << what;
        // Exposed: 101-103 left the hand. Concealed: 100 too, and the drawn 90 was sorted in.
        if (c.concealed)
            EXPECT_EQ(Codes(Hand(c.view), 1, 3), (std::vector<int>{90, 60, 40})) << what;
        else
            EXPECT_EQ(Codes(Hand(c.view), 1, 3), (std::vector<int>{60, 100, 40})) << what;
    }
}

TEST_F(MeldTest, ExposedGangTurnsTheClaimedTileByTheGiver) {
    // Own view, giver the next seat: the first base tile (record 17) turns to view 0.
    Fill(Hand(3), {101, 102, 103});
    scene.AddExposedGangMeld(3, Data(Meld(0, 100, 101, 102, 103, 77)));
    EXPECT_EQ(Hand(3)[17].nDirection, 0);
    EXPECT_EQ(Hand(3)[17].nY, 29);
    EXPECT_EQ(Codes(Hand(3), 16, 16), (std::vector<int>{102}));
    EXPECT_EQ(Hand(3)[16].nX, 33);
    EXPECT_EQ(Hand(3)[14].nX, 33);  // on the middle base tile
    EXPECT_EQ(Hand(3)[14].nY, 25 - 11);
    // View 1, giver view 0 (previous): the last base tile (record 14) turns.
    Fill(Hand(1), {101, 102, 103});
    scene.AddExposedGangMeld(1, Data(Meld(0, 100, 101, 102, 103, 77)));
    EXPECT_EQ(Hand(1)[14].nDirection, 0);
    EXPECT_EQ(Hand(1)[14].nX, 341);
    EXPECT_EQ(Hand(1)[17].nX, 374);  // the fourth on the middle (record 15)
}

TEST_F(MeldTest, ConcealedGangOfAHiddenHand) {
    Fill(Hand(2), {200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200});
    Fill(Hand(2), {200}, 0);
    scene.AddConcealedGangMeld(2, Data(Meld(2, 100, 101, 102, 103, -1)));
    EXPECT_EQ(Standing(2), 11);  // ten concealed and the replacement
    for (int i : {14, 15, 16}) EXPECT_EQ(Hand(2)[i].nFace, 0) << i;
    EXPECT_EQ(Hand(2)[17].nFace, 1);
    EXPECT_EQ(Hand(2)[17].nCode, 100);
}

TEST_F(MeldTest, AddedGangFindsItsPengBySortKey) {
    for (int v = 0; v < 4; ++v) {
        scene.Tiles().Clear();
        scene.LayoutHands();  // the rows' z
        for (int i = 0; i < 14; ++i) Hand(v)[i].bHand = 0;
        Fill(Hand(v), {60, 40, 31});  // 31 has the face of the peng below (value 5)
        Fill(Hand(v), {90}, 0);
        // Group 0 holds a meld of another face, group 1 the peng of 13, 4, 22.
        for (int i : {17, 16, 15}) Hand(v)[i].bPresent = 1, Hand(v)[i].nCode = 1;
        const int peng[3] = {13, 4, 22};
        for (int k = 0; k < 3; ++k) {
            MJTileInfo& r = Hand(v)[13 - k];
            r.bPresent = 1, r.nMeld = kMeldPeng, r.nCode = peng[k];
            r.nX = 100 + 10 * k, r.nY = 200 + 10 * k;
        }
        scene.AddAddedGangMeld(v, Data(Meld(v, 31, -1, -1, -1, 77)));
        for (int i : {13, 12, 11, 10}) EXPECT_EQ(Hand(v)[i].nMeld, kMeldGang) << v << "/" << i;
        for (int i : {17, 16, 15, 9}) EXPECT_EQ(Hand(v)[i].nMeld, 0) << v;
        const MJTileInfo& f = Hand(v)[10];
        EXPECT_EQ(f.bPresent, 1) << v;
        EXPECT_EQ(f.nFace, 1) << v;
        EXPECT_EQ(f.bHand, 0) << v;
        EXPECT_EQ(f.nCode, 31) << v;
        EXPECT_EQ(f.nDirection, (v + 2) % 4) << v;
        EXPECT_EQ(f.nX, 110) << v;
        EXPECT_EQ(f.nY, 210 - 11) << v;
        EXPECT_EQ(f.nZ, v == 1 || v == 2 ? 2414 : (v == 0 ? 2390 : 2790)) << v;
        // 31 left the hand, the drawn 90 was sorted in, the replacement waits in the slot.
        EXPECT_EQ(Codes(Hand(v), 0, 3), (std::vector<int>{77, 90, 60, 40})) << v;
        EXPECT_EQ(Hand(v)[0].bPresent, 1) << v;
        EXPECT_EQ(Hand(v)[0].bHand, 1) << v;
    }
}

TEST_F(MeldTest, AddedGangWithoutItsPengChangesNothing) {
    Fill(Hand(3), {40, 31, 60});
    Fill(Hand(3), {90}, 0);
    for (int i : {17, 16, 15}) Hand(3)[i].bPresent = 1, Hand(3)[i].nCode = 5;  // value 6
    Hand(3)[13].nCode = 4;  // value 5 in a group that is not present
    const auto before = Snapshot();
    scene.AddAddedGangMeld(3, Data(Meld(3, 31, -1, -1, -1, 77)));
    EXPECT_TRUE(Unchanged(*before));
    // A hidden hand's added gang still fills the draw slot.
    scene.Tiles().Clear();
    Fill(Hand(1), {200, 200});
    for (int i : {17, 16, 15}) Hand(1)[i].bPresent = 1, Hand(1)[i].nCode = 4;
    scene.AddAddedGangMeld(1, Data(Meld(1, 13, -1, -1, -1, 77)));
    EXPECT_EQ(Hand(1)[0].bPresent, 1);
    EXPECT_EQ(Hand(1)[0].bHand, 1);
    EXPECT_EQ(Hand(1)[0].nCode, 0);  // a hidden hand is not told the replacement
    EXPECT_EQ(Hand(1)[14].nCode, 13);
}

// ---- malformed notices and views

TEST_F(MeldTest, ViewsOutsideTheTableShortNoticesAndBadGiversChangeNothing) {
    Fill(Hand(3), {101, 102, 103, 100});
    for (int v = 0; v < 3; ++v) Fill(Hand(v), {200, 200, 200, 200});
    const auto before = Snapshot();
    const Notice n = Meld(0, 100, 101, 102, 103, 77);
    const auto list = List({5, 6, 7});
    for (int view : {-1, 4, 1000, -2147483647 - 1}) {
        scene.AddPengMeld(view, Data(n));
        scene.AddChiMeld(view, Data(n));
        scene.AddExposedGangMeld(view, Data(n));
        scene.AddConcealedGangMeld(view, Data(n));
        scene.AddAddedGangMeld(view, Data(n));
        scene.LayOutEndHand(view, list);
        scene.LayOutEndHandAll(view, list);
        scene.LayOutWinningHand(view, 5, list);
        scene.TakeMeldTilesFromHand(view, Data(n));
        scene.TakeExposedGangTiles(view, Data(n));
        scene.TakeConcealedGangTiles(view, Data(n));
        scene.TakeAddedGangTile(view, Data(n));
        scene.ShowWinEffect(view);
    }
    EXPECT_TRUE(Unchanged(*before));
    // Too short: a peng needs words up to 7, a gang up to 10.
    scene.AddPengMeld(3, Data(n, 7));
    scene.AddChiMeld(3, Data(n, 7));
    scene.AddExposedGangMeld(3, Data(n, 10));
    scene.AddConcealedGangMeld(3, Data(n, 10));
    scene.AddAddedGangMeld(3, Data(n, 10));
    scene.AddPengMeld(3, MJData());
    EXPECT_TRUE(Unchanged(*before));
    EXPECT_NE(Log().find("牌组数据过短:28"), std::string::npos);
    EXPECT_NE(Log().find("牌组数据过短:40"), std::string::npos);
    // A giver chair with no view: the claim and the hand stay.
    for (int chair : {-1, 4, 99}) {
        Notice bad = n;
        bad[4] = chair;
        scene.AddPengMeld(3, Data(bad));
        scene.AddExposedGangMeld(3, Data(bad));
    }
    EXPECT_TRUE(Unchanged(*before));
    EXPECT_NE(Log().find("牌组来源座位错误:99"), std::string::npos);
    // Exactly long enough is enough.
    scene.AddPengMeld(3, Data(n, 8));
    EXPECT_EQ(Hand(3)[17].bPresent, 1);
    scene.AddExposedGangMeld(2, Data(n, 11));
    EXPECT_EQ(Hand(2)[17].bPresent, 1);
}

TEST_F(MeldTest, TileWordsOutsideTheTileIdsAreOnlyWritten) {
    const int32_t odd[] = {-2147483647 - 1, -5, 152, 200, 2147483647};
    for (int32_t t : odd) {
        scene.Tiles().Clear();
        Fill(Hand(3), {1, 2, 3, 4});
        for (int i : {17, 16, 15}) Hand(3)[i].bPresent = 1, Hand(3)[i].nCode = t;
        scene.AddAddedGangMeld(3, Data(Meld(3, t, t, t, t, t)));
        scene.AddPengMeld(3, Data(Meld(1, t, t, t)));
        scene.AddConcealedGangMeld(3, Data(Meld(1, t, t, t, t, t)));
        EXPECT_EQ(Hand(3)[14].nCode, t) << "the added tile";
        EXPECT_EQ(Hand(3)[13].nCode, t) << "the peng";
        scene.LayOutWinningHand(0, t, List({t, 5, t}));
        EXPECT_EQ(Hand(0)[0].nCode, t);
    }
}

TEST_F(MeldTest, ClaimedTileOnlyInAMeldRecordLeavesTheHandAndOtherRowsAlone) {
    // 101 lies only in the first meld; the second peng asks the hand for it.
    Fill(Hand(0), {102, 50, 60});
    Hand(0)[17].bPresent = 1, Hand(0)[17].nCode = 101, Hand(0)[17].nMeld = kMeldPeng;
    scene.Tiles().m_wall[kWallRecords - 1].nCode = 1234;  // just before view 0's row
    const auto before = Snapshot();
    scene.AddPengMeld(0, Data(Meld(1, 100, 101, 102)));
    EXPECT_EQ(std::memcmp(&before->m_wall, &scene.Tiles().m_wall, sizeof before->m_wall), 0);
    for (int v = 1; v < 4; ++v)
        EXPECT_EQ(std::memcmp(before->m_hands[v], Hand(v), sizeof before->m_hands[v]), 0);
    EXPECT_EQ(Hand(0)[17].nCode, 101);  // the old meld keeps its tile
    EXPECT_EQ(Codes(Hand(0), 0, 1), (std::vector<int>{50, 60}));
    EXPECT_EQ(Codes(Hand(0), 13, 13), (std::vector<int>{100}));
}

TEST_F(MeldTest, AHandRunToTheEighteenthRecordShiftsNoFurther) {
    for (int i = 1; i < 20; ++i) Fill(Hand(3), {i}, i);
    Hand(3)[17].bPresent = 0;  // group 0 free, the run goes past it in record 18 and 19
    Hand(3)[17].bHand = 0;
    scene.AddPengMeld(3, Data(Meld(1, 100, 2, 3)));
    EXPECT_EQ(Hand(3)[18].nCode, 18);
    EXPECT_EQ(Hand(3)[19].nCode, 19);
    EXPECT_EQ(Hand(3)[18].bPresent, 1);
}

TEST_F(MeldTest, RebuildWithMeldsAndAWallPositionOutsideTheWall) {
    host.chair = 0;
    deal.Set(32, 500);  // wall start outside the wall
    deal.Set(37, -3);
    deal.Set(11, 0);
    // Chair 1 (view 0) holds one peng of 4, 13, 22 given by chair 2.
    const size_t block = 49 + 282 * 1, counts = 49 + 4 * 282 + 7 * 1;
    deal.Set(block + 0, 13);
    deal.Set(block + 1, 22);
    deal.Set(block + 2, 4);
    deal.Set(block + 3, -1);
    deal.Set(block + 4, 3);
    deal.Set(counts, 1);
    scene.RebuildTable();  // returns: the wall walk ends
    EXPECT_EQ(Hand(0)[17].nMeld, kMeldPeng);
    EXPECT_EQ(Codes(Hand(0), 15, 17), (std::vector<int>{22, 4, 13}));  // giver opposite
    EXPECT_NE(Log().find("牌墙位置错误:500,-3"), std::string::npos);
}

// ---- laying the hands down

TEST_F(MeldTest, LayOutEndHandPlacesSortedTilesOnEveryView) {
    struct Case {
        int view, x1, y1, dx, dy;  // record 1's place and the step per record
    };
    const Case cases[] = {
        {0, 0, 354, 0, -21}, {1, 36, 11, 26, 0}, {2, 16, 40, 0, 21}, {3, 600, 25, -26, 0}};
    for (const Case& c : cases) {
        scene.Tiles().Clear();
        Fill(Hand(c.view), {90}, 0);
        Hand(c.view)[17].bPresent = 1, Hand(c.view)[17].nFace = 0;  // a concealed gang
        const auto list = List({-1, 3, 1, -1, 2});
        scene.LayOutEndHand(c.view, list);
        EXPECT_EQ(Codes(Hand(c.view), 0, 4), (std::vector<int>{90, 3, 2, 1, 0})) << c.view;
        for (int k = 1; k <= 3; ++k) {
            const MJTileInfo& r = Hand(c.view)[k];
            EXPECT_EQ(r.nX, c.x1 + (k - 1) * c.dx) << c.view << "/" << k;
            EXPECT_EQ(r.nY, c.y1 + (k - 1) * c.dy) << c.view << "/" << k;
            EXPECT_EQ(r.bPresent, 1);
            EXPECT_EQ(r.bHand, 0);
            EXPECT_EQ(r.nDirection, (c.view + 2) % 4);
        }
        EXPECT_EQ(Hand(c.view)[4].bPresent, 0);
        EXPECT_EQ(Hand(c.view)[17].nFace, 1) << "records 1-17 face up";
        EXPECT_EQ(Hand(c.view)[0].bHand, 1) << "the draw slot is kept";
    }
}

TEST_F(MeldTest, LayOutEndHandAllSetsRecordZeroApart) {
    const auto list = List({3, 1, 2});
    scene.LayOutEndHandAll(3, list);
    EXPECT_EQ(Codes(Hand(3), 0, 2), (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(Hand(3)[0].nX, 768 - 5 * 26);  // the draw slot's place
    EXPECT_EQ(Hand(3)[0].nY, 25);
    EXPECT_EQ(Hand(3)[0].bPresent, 1);
    EXPECT_EQ(Hand(3)[0].bHand, 0);
    EXPECT_EQ(Hand(3)[1].nX, 600);
    EXPECT_EQ(Hand(3)[2].nX, 574);
    EXPECT_EQ(Hand(3)[3].bPresent, 0);
}

TEST_F(MeldTest, LayOutWinningHandSwapsTheWinningTileIntoRecordZero) {
    struct Case {
        int tile;
        std::vector<int> codes;
    };
    const Case cases[] = {{1, {1, 3, 2}}, {3, {3, 2, 1}}, {50, {3, 2, 1}}};
    for (const Case& c : cases) {
        scene.Tiles().Clear();
        const auto list = List({2, 1, 3});
        scene.LayOutWinningHand(1, c.tile, list);
        EXPECT_EQ(Codes(Hand(1), 0, 2), c.codes) << c.tile;
        EXPECT_EQ(Hand(1)[0].nY, 11) << c.tile;
        EXPECT_EQ(Hand(1)[1].nX, 36) << c.tile;
    }
}

TEST_F(MeldTest, LayDownOfAnEmptyOrOverlongList) {
    Fill(Hand(2), {5, 6});
    const auto before = Snapshot();
    const auto none = List({});
    scene.LayOutEndHand(2, none);
    scene.LayOutEndHandAll(2, none);
    scene.LayOutWinningHand(2, 5, none);
    scene.LayOutEndHand(2, {});
    EXPECT_TRUE(Unchanged(*before));
    // 32 tiles: only the records the tile model uses are written.
    int32_t all[32];
    for (int k = 0; k < 32; ++k) all[k] = k;
    scene.LayOutEndHand(0, all);
    EXPECT_EQ(Hand(0)[17].bPresent, 1);
    EXPECT_EQ(Hand(0)[18].nCode, 0);
    EXPECT_EQ(Hand(0)[18].bPresent, 0);
    scene.LayOutEndHandAll(1, all);
    EXPECT_EQ(Hand(1)[17].bPresent, 1);
    EXPECT_EQ(Hand(1)[18].nCode, 0);
    EXPECT_NE(Log().find("摊牌数目错误:32"), std::string::npos);
}

// ---- the celebration

TEST_F(MeldTest, WinEffectSpritesReleaseThemselvesAndThePictureGoesAtReset) {
    NEED_ASSETS();
    Start(710);
    engine::GameKernel& k = scene.GetKernel();
    const size_t before = k.GetEntityCount();
    scene.ShowWinEffect(2);
    EXPECT_EQ(k.GetEntityCount(), before + 51);
    ASSERT_NE(scene.WinEffectEntity(), 0u);
    const engine::Entity* hu = k.FindEntity(scene.WinEffectEntity());
    ASSERT_NE(hu, nullptr);
    EXPECT_EQ(hu->GetZ(), 5000);
    int x, y;
    scene.GetWindMarkPos(2, x, y);
    EXPECT_EQ(hu->GetX(), x);
    // The sparks, made right after the picture, spread over both sides of it.
    int least = INT_MAX;
    for (uint32_t id = scene.WinEffectEntity() + 1; id <= scene.WinEffectEntity() + 50; ++id)
        if (const engine::Entity* e = k.FindEntity(id)) least = std::min(least, e->GetX());
    EXPECT_LT(least, x);
    Run(20000);
    EXPECT_EQ(k.GetEntityCount(), before + 1);
    EXPECT_LE(hu->GetY(), y);
    scene.ResetTable();
    Run(100);
    EXPECT_EQ(k.GetEntityCount(), before);
    EXPECT_EQ(scene.WinEffectEntity(), 0u);
    // A second deal's effect piles nothing up either.
    scene.ShowWinEffect(0);
    Run(20000);
    scene.ResetTable();
    Run(100);
    EXPECT_EQ(k.GetEntityCount(), before);
}

}  // namespace
}  // namespace hqlv::mahjong::test
