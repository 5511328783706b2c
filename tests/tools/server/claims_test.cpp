// Deals played through the requests alone: four scripted players that answer every offer
// with the strongest claim (win, kong, pung), declare every kong in their turn, repeat a
// held-back confirm when the countdown ends, and otherwise discard their loosest tile.
// Seeded deals bring every claim and every kind of end; the records are checked as they go.
#include <gtest/gtest.h>

#include <map>

#include "deal_rig.h"
#include "rules/common.h"
#include "rules/tiles.h"

namespace {

using namespace hqlv::server::mj;
using testrig::PutWord;
using testrig::Word;

struct Tally {
    int peng = 0, exposed = 0, concealed = 0, added = 0, discardWin = 0, selfDrawn = 0, two = 0,
        robbed = 0, heldThenDone = 0, liability = 0, drawn = 0, readyItems = 0, huFlagged = 0,
        emptyWall = 0, probes = 0;
};

class Script {
public:
    explicit Script(uint32_t seed) {
        hqlv::rules::SeedRandom(seed);
        for (int c = 0; c < kChairs; ++c) rig.deal.SetSeat(c, 100 + c, false);
    }

    std::vector<uint8_t> Body(int chair, size_t bytes, std::initializer_list<int32_t> words) {
        std::vector<uint8_t> b(bytes, 0);
        PutWord(b, 0, 100 + chair);
        PutWord(b, 3, chair);
        size_t w = 4;
        for (int32_t v : words) PutWord(b, w++, v);
        return b;
    }

    Answer Ask(int chair, int id, const std::vector<uint8_t>& body) {
        Answer a = rig.deal.Request(chair, id, body);
        CheckRecords();
        if (a.code == kHeldBack) held[chair] = {id, body};
        // A kong carried out answers with the declarer and its replacement draw.
        if (a.code == kDone && (id == 229045 || id == 229047 || id == 229049)) {
            EXPECT_EQ(a.data.size(), 32u);
            EXPECT_EQ(Word(a.data, 0), chair);
        }
        if (a.code == kDone && held.count(chair) && held[chair].first == id) {
            ++tally->heldThenDone;
            held.erase(chair);
        }
        return a;
    }

    // Reads the notices that came since the last look: offers to answer, draws to remember.
    void CheckRecords() {
        while (seen < rig.notes.size()) {
            const Note n = rig.notes[seen++];
            const auto& b = n.body;
            switch (n.code) {
                case 221170:
                    EXPECT_EQ(b.size(), 104u);
                    huOffered = 0;
                    for (int c = 0; c < kChairs; ++c)
                        if (Word(b, 6 + static_cast<size_t>(c)) & 8) huOffered |= 1 << c;
                    for (int c = 0; c < kChairs; ++c) {
                        const int32_t f = Word(b, 6 + static_cast<size_t>(c));
                        if (f) {
                            EXPECT_TRUE(f & 0x20);
                            offers.push_back({c, f, Word(b, 1), Word(b, 21), false});
                        }
                    }
                    break;
                case 229180:
                    EXPECT_EQ(b.size(), 32u);
                    if (Word(b, 3) == 2)
                        for (int c = 0; c < kChairs; ++c)
                            if (Word(b, 4 + static_cast<size_t>(c)) == (8 | 0x20))
                                offers.push_back({c, 8, Word(b, 1), Word(b, 2), true});
                    break;
                case 229160:
                    EXPECT_EQ(b.size(), 32u);
                    if (n.owner == Word(b, 0)) {
                        drawn[Word(b, 0)] = Word(b, 1);
                        drawFlag[Word(b, 0)] = Word(b, 3);
                    } else
                        EXPECT_EQ(Word(b, 1), -1);
                    break;
                case 229185:
                    ++tally->peng;
                    EXPECT_EQ(b.size(), 64u);
                    EXPECT_EQ(n.to & (1u << Word(b, 3)), 0u);  // not to the claimer
                    break;
                case 229195:
                case 229197:
                case 229199:
                    EXPECT_EQ(b.size(), 64u);
                    if (n.owner >= 0)  // one of the two copies
                        (n.code == 229195   ? tally->exposed
                         : n.code == 229197 ? tally->concealed
                                            : tally->added)++;
                    if (n.owner != Word(b, 3)) {
                        EXPECT_EQ(Word(b, 10), -1);
                    }
                    break;
                case 229165:
                    EXPECT_TRUE(b.empty());
                    for (auto& [c, h] : std::map<int, std::pair<int, std::vector<uint8_t>>>(held))
                        Ask(c, h.first, h.second);
                    break;
                default:
                    break;
            }
        }
    }

    int32_t Loosest(int chair) {
        const auto& t = rig.deal.Table();
        int32_t hand[32];
        const int32_t n = t.ListHeld(chair, hand, 32);
        const int32_t* counts = t.Counts(chair);
        int32_t best = hand[0], score = 99;
        for (int32_t i = 0; i < n; ++i) {
            const int32_t k = t.KindIndexOf(hand[i]);
            int32_t s = 3 * (counts[k] - 1);
            if (k < 30) s += (k % 10 > 1 ? counts[k - 1] : 0) + (k % 10 < 9 ? counts[k + 1] : 0);
            if (s < score) score = s, best = hand[i];
        }
        return best;
    }

    std::vector<int32_t> Same(int chair, int32_t tile) {
        const auto& t = rig.deal.Table();
        int32_t hand[32];
        const int32_t n = t.ListHeld(chair, hand, 32);
        std::vector<int32_t> out;
        for (int32_t i = 0; i < n; ++i)
            if (hand[i] != tile && hqlv::rules::MJ_IsSameKind(hand[i], tile, 0))
                out.push_back(hand[i]);
        return out;
    }

    void Own(int c) {
        const auto& t = rig.deal.Table();
        const int32_t flag = drawFlag[c];
        drawFlag[c] = -1;
        if (drawn[c] >= 0 && Ask(c, 229080, Body(c, 48, {c, drawn[c], 2})).code == kDone) {
            ++tally->selfDrawn;
            // A drawn tile that wins was offered as such.
            if (flag >= 0) {
                EXPECT_EQ(flag, 8);
            }
            tally->huFlagged += flag == 8;
            return;
        }
        // Refused: an added kong of a tile that matches no pung, another chair's turn.
        for (const auto& m : t.Melds(c, hqlv::rules::kPeng)) {
            const int32_t other = Loosest(c);
            if (hqlv::rules::MJ_IsSameKind(m.tiles[0], other, 0)) continue;
            EXPECT_EQ(
                Ask(c, 229015, Body(c, 64, {c, other, m.tiles[0], m.tiles[1], m.tiles[2], 2})).code,
                kRefused);
        }
        const int next = (c + 3) % 4;
        EXPECT_EQ(Ask(next, 229000, Body(next, 96, {})).code, kRefused);
        // An actor outside the table is refused whatever its head says.
        for (int actor : {-1, 4}) {
            auto b = Body(c, 108, {});
            PutWord(b, 3, actor);
            EXPECT_EQ(rig.deal.Request(actor, 221080, b).code, kRefused);
        }
        int32_t hand[32];
        const int32_t n = t.ListHeld(c, hand, 32);
        for (int32_t i = 0; i < n; ++i) {
            auto s = Same(c, hand[i]);
            if (s.size() != 3) continue;
            Answer a = Ask(c, 229047, Body(c, 64, {c, hand[i], s[0], s[1], s[2]}));
            if (a.code == kDone) {
                EXPECT_EQ(a.data.size(), 32u);
                drawn[c] = Word(a.data, 1);
                return;
            }
        }
        for (int32_t i = 0; i < n; ++i)
            for (const auto& m : t.Melds(c, hqlv::rules::kPeng)) {
                if (!hqlv::rules::MJ_IsSameKind(m.tiles[0], hand[i], 0)) continue;
                auto body = Body(c, 64, {c, hand[i], m.tiles[0], m.tiles[1], m.tiles[2], 2});
                Answer a = Ask(c, 229015, body);
                if (a.code != kDone) continue;
                EXPECT_EQ(a.data.size(), 48u);
                // A confirm naming another tile (one of the pung's) is refused.
                EXPECT_EQ(
                    Ask(c, 229049, Body(c, 64, {c, m.tiles[0], m.tiles[1], m.tiles[2], hand[i]}))
                        .code,
                    kRefused);
                // Nor is an added kong confirmed as an exposed one.
                EXPECT_EQ(
                    Ask(c, 229045, Body(c, 64, {c, hand[i], m.tiles[0], m.tiles[1], m.tiles[2]}))
                        .code,
                    kRefused);
                ++tally->probes;
                Answer b =
                    Ask(c, 229049, Body(c, 64, {c, hand[i], m.tiles[0], m.tiles[1], m.tiles[2]}));
                if (b.code == kDone) drawn[c] = Word(b.data, 1);
                return;
            }
        auto d = Body(c, 108, {0, 0, c, 100 + c});
        PutWord(d, 20, 1);
        PutWord(d, 25, 1);
        PutWord(d, 26,
                drawn[c] >= 0 && t.IsHeldBy(c, drawn[c]) && Same(c, drawn[c]).empty() ? drawn[c]
                                                                                      : Loosest(c));
        drawn[c] = -1;
        // A head whose chair word has a higher byte set names no chair of the table.
        if (c == 0) {
            auto far = d;
            PutWord(far, 3, c + 256);
            EXPECT_EQ(rig.deal.Request(c, 221080, far).code, kRefused);
        }
        EXPECT_EQ(Ask(c, 221080, d).code, kDone);
    }

    void Answer1(const std::tuple<int, int32_t, int, int32_t, bool>& o) {
        auto [c, f, from, tile, rob] = o;
        if (rob) {
            if (Ask(c, 229080, Body(c, 48, {from, tile, 4, 2})).code != kRefused) ++robAsked;
            return;
        }
        // Now and then a player lets an offer pass, so that a claim held back for it goes on.
        if ((tile + c) % 5 == 0) {
            Ask(c, 229005, Body(c, 40, {from, tile}));
            return;
        }
        if (f & 8) {
            // A win naming another discarder is refused.
            if (c == 0) {
                EXPECT_EQ(Ask(c, 229080, Body(c, 48, {c, tile, 1})).code, kRefused);
            }
            Answer a = Ask(c, 229080, Body(c, 48, {from, tile, 1}));
            // A win waits only for another chair that may win too.
            if (a.code == kHeldBack) {
                EXPECT_NE(huOffered & ~(1 << c), 0);
            }
            if (a.code == kDone || a.code == kHeldBack) return;
        }
        auto s = Same(c, tile);
        if ((f & 2) && s.size() == 3) {
            auto body = Body(c, 64, {from, tile, s[0], s[1], s[2], 1});
            if (Ask(c, 229015, body).code == kDone) {
                // A confirm naming another tile of the kind is refused.
                EXPECT_EQ(Ask(c, 229045, Body(c, 64, {from, s[0], tile, s[1], s[2], 1})).code,
                          kRefused);
                Answer a = Ask(c, 229045, body);
                // Held back only while a win may still come.
                if (a.code == kHeldBack) {
                    EXPECT_NE(huOffered & ~(1 << c), 0);
                }
                if (a.code == kDone) drawn[c] = Word(a.data, 1);
                return;
            }
        }
        if ((f & 1) && s.size() >= 2) {
            auto body = Body(c, 64, {from, tile, s[0], s[1], -1});
            Ask(c, 229010, body);
            Ask(c, 229025, body);
            return;
        }
        Ask(c, 229005, Body(c, 40, {from, tile}));
    }

    void Play(Tally& t) {
        tally = &t;
        ASSERT_TRUE(rig.deal.Start());
        CheckRecords();
        for (int c = 0; c < kChairs; ++c) drawn[c] = -1;
        drawn[rig.deal.Turn()] = rig.deal.Table().FirstHeld(rig.deal.Turn());
        for (int guard = 0; guard < 2000 && rig.deal.Running(); ++guard) {
            ASSERT_EQ(rig.deal.CheckTiles(), "");
            if (!offers.empty()) {
                auto o = offers.front();
                offers.erase(offers.begin());
                Answer1(o);
                continue;
            }
            const int c = rig.deal.Turn();
            if (rig.deal.AwaitsDraw()) {
                Answer a = Ask(c, 229000, Body(c, 96, {0, 0, c, 100 + c}));
                if (a.code == kDone) drawn[c] = Word(a.data, 1);
                drawFlag[c] = a.code == kDone ? Word(a.data, 3) : -1;
                if (a.code == kDone) {
                    EXPECT_TRUE(drawFlag[c] == 0 || drawFlag[c] == 8);
                }
                if (a.code == kNoTile) {
                    ++t.emptyWall;
                    EXPECT_EQ(Word(a.data, 1), -1);
                    EXPECT_TRUE(rig.deal.Over());
                }
                continue;
            }
            if (rig.deal.AwaitsDiscard()) {
                Own(c);
                continue;
            }
            rig.Advance(25000);  // a claim nobody finished: the server carries it out
            CheckRecords();
        }
        ASSERT_TRUE(rig.deal.Over());
        const auto& r = rig.deal.Result();
        EXPECT_EQ(Word(r, 14) + Word(r, 15) + Word(r, 16) + Word(r, 17), 0);
        const int winners = Word(r, 700 / 4);
        t.drawn += winners == 0;
        if (winners == 0) {
            // A drawn deal: each ready hand's row holds the fans of the win it waited on (the
            // result dialog lists them); a chair that waited on nothing has no fans.
            EXPECT_EQ(Word(r, 0), 2);
            for (int c = 0; c < kChairs; ++c) {
                const size_t row = (1652 + 172 * size_t(c)) / 4;
                int fans = 0;
                for (size_t n = 0; n < 32; ++n) fans += Word(r, row + 3 + n) != 0;
                if (Word(r, 176 + size_t(c)) > 0) {
                    EXPECT_EQ(Word(r, row), c);
                    EXPECT_GT(Word(r, row + 35), 0);
                    EXPECT_GT(fans, 0);
                    ++t.readyItems;
                } else {
                    EXPECT_EQ(fans, 0) << "chair " << c;
                }
            }
        }
        t.two += winners >= 2;
        t.discardWin += winners > 0 && (Word(r, 0) & 0x1000000) != 0;
        t.robbed += winners > 0 && (Word(r, 0) & 0x4000000) != 0;
        // The robbed tile is the winner's alone: no chair's final tiles hold it, and each
        // list holds as many tiles as its count says.
        for (size_t c = 0; winners > 0 && (Word(r, 0) & 0x4000000) && c < kChairs; ++c)
            for (size_t k = 0; k < 32; ++k) {
                const int32_t id = Word(r, 212 + 32 * c + k);
                EXPECT_NE(id, Word(r, 171)) << "chair " << c;
                EXPECT_EQ(id >= 0, k < size_t(Word(r, 208 + c))) << "chair " << c << " " << k;
            }
        t.liability += Word(r, 696 / 4) != 0;
    }

    testrig::DealRig rig;
    Tally* tally = nullptr;
    size_t seen = 0;
    int32_t drawn[kChairs] = {};
    int32_t drawFlag[kChairs] = {-1, -1, -1, -1};
    int huOffered = 0;
    int robAsked = 0;
    std::vector<std::tuple<int, int32_t, int, int32_t, bool>> offers;
    std::map<int, std::pair<int, std::vector<uint8_t>>> held;
};

TEST(MahjongClaims, RequestDrivenDealsBringEveryClaimAndEnd) {
    Tally t;
    for (uint32_t seed = 1; seed <= 1500; ++seed) {
        Script s(seed);
        s.Play(t);
        if (::testing::Test::HasFatalFailure()) FAIL() << "seed " << seed;
    }
    EXPECT_GT(t.peng, 0);
    EXPECT_GT(t.exposed, 0);
    EXPECT_GT(t.concealed, 0);
    EXPECT_GT(t.added, 0);
    EXPECT_GT(t.discardWin, 0);
    EXPECT_GT(t.selfDrawn, 0);
    EXPECT_GT(t.two, 0);
    EXPECT_GT(t.robbed, 0);
    EXPECT_GT(t.heldThenDone, 0);
    EXPECT_GT(t.liability, 0);
    EXPECT_GT(t.drawn, 0);
    EXPECT_GT(t.readyItems, 0);
    EXPECT_GT(t.huFlagged, 0);
    EXPECT_GT(t.emptyWall, 0);
    EXPECT_GT(t.probes, 0);
    std::printf(
        "pung %d, exposed kong %d, concealed %d, added %d, discard win %d, self-drawn %d, two "
        "winners %d, robbed %d, held back then done %d, liability %d, drawn %d\n",
        t.peng, t.exposed, t.concealed, t.added, t.discardWin, t.selfDrawn, t.two, t.robbed,
        t.heldThenDone, t.liability, t.drawn);
}

}  // namespace
