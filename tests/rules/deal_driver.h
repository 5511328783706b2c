#pragma once
// A headless driver that plays whole deals on the rule object with four simple players:
// a player wins whenever the rules let it, declares every kong, claims every pung and kong
// offered (with a seeded chance of passing) and otherwise discards its least connected tile.
// After every action it checks that each of the 136 tiles is in exactly one place.
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "rules/common.h"
#include "rules/table_ex.h"

namespace driver {

using namespace hqlv::rules;

struct DealOutcome {
    int actions = 0;
    bool ended = false;      // a win or the wall used up
    bool placesOk = true;    // every tile in exactly one place after every action
    std::string placeError;  // the first place fault found
    int winners = 0;
    bool selfDrawn = false, discardWin = false, robbed = false, liability = false;
    bool peng = false, mingGang = false, anGang = false, buGang = false;
    bool gangFlower = false, lastTile = false, lastDiscard = false;
    int64_t pointSum = 0;  // sum of the result record's win points
    bool zeroSumLogged = false;
    std::vector<int32_t> record;
};

class Driver {
public:
    Driver() {
        TableHooks hooks;
        hooks.log = [this](const std::string& line) {
            if (line.find("记分总和不为0") != std::string::npos) zeroSumLogged_ = true;
        };
        hooks.uniqueId = [] { return std::string("deal"); };
        table_ = std::make_unique<CMJTableEx>(hooks);
        for (int c = 0; c < 4; ++c) {
            auto u = std::make_unique<TableUser>();
            u->userId = 1001 + c;
            table_->AddPlayer(std::move(u), c);
        }
    }

    CMJTableEx& table() { return *table_; }

    DealOutcome Play(uint32_t seed, bool checkPlaces = true) {
        CMJTableEx& t = *table_;
        SeedRandom(seed);
        rng_.seed(seed);
        zeroSumLogged_ = false;
        // Each deal stands alone: a seed names the same deal whatever was played before.
        t.ClearGame();
        t.Reset(false);
        out_ = DealOutcome{};
        check_ = checkPlaces;
        GameParams params;
        int32_t chair = -1;
        if (t.StartGame(&chair, params) != 1) return out_;
        Check("start");
        int32_t cur = t.GetCurrentChair();
        int32_t lastTile = t.FirstHeld(cur);
        bool mustDiscard = false;  // after a pung the claimer discards at once
        while (out_.actions < 1000) {
            if (!mustDiscard && OwnTurn(cur, lastTile)) return Finish();
            if (out_.ended) return Finish();
            mustDiscard = false;
            CheckHandSizes(cur);
            // Discard.
            const int32_t tile = ChooseDiscard(cur);
            t.Discard(cur, &tile, 1);
            t.OpenClaimWindow();
            Act("discard");
            // Claims.
            int32_t claimer = -1;
            int next = Claims(cur, tile, &claimer);
            if (next == 2) return Finish();  // a win
            if (next == 1) {                 // a pung: the claimer discards
                cur = claimer;
                mustDiscard = true;
                continue;
            }
            if (next == 3) {  // an exposed kong: the claimer draws from the tail
                cur = claimer;
                lastTile = t.DrawFromTail(cur);
                Act("tail draw");
                if (lastTile < 0) return Drawn(), Finish();
                continue;
            }
            // Everyone passed: the next chair draws.
            cur = t.NextChair(cur);
            t.SwitchActiveChair(cur);
            const int32_t pos = t.DrawTile(cur);
            if (pos < 0) return Drawn(), Finish();
            t.BeginTurn();
            lastTile = t.TileAt(pos);
            Act("draw");
        }
        return Finish();
    }

private:
    void Act(const char* what) {
        ++out_.actions;
        if (check_ && out_.placesOk) Check(what);
    }

    // Each tile in exactly one place: the wall, a hand (matching the kind counts), a discard
    // list or a meld.
    void Check(const char* what) {
        const CMJTableEx& t = *table_;
        std::vector<int> places(136, 0);
        int32_t held[4][64] = {};
        for (const auto& r : t.Tiles()) {
            if (r.id < 0 || r.id >= 136) return Fail(what, "bad id");
            if (r.status == kTileInWall) ++places[static_cast<size_t>(r.id)];
            if (r.status == kTileHeld) {
                ++places[static_cast<size_t>(r.id)];
                if (r.chair < 0 || r.chair > 3) return Fail(what, "held by no chair");
                ++held[r.chair][r.shape * 10 + r.value];
            }
        }
        for (int c = 0; c < 4; ++c) {
            for (int32_t id : t.Discards(c)) ++places[static_cast<size_t>(id)];
            // A pung under its added kong lies in the kong.
            for (int l = 0; l < 5; ++l)
                for (const auto& m : t.Melds(c, static_cast<MeldList>(l)))
                    if (l != kPeng || !t.UnderAddedKong(c, m))
                        for (int32_t id : m.tiles)
                            if (id >= 0) ++places[static_cast<size_t>(id)];
            if (std::memcmp(held[c], t.Counts(c), sizeof held[c]) != 0)
                return Fail(what, "kind counts differ from held tiles");
        }
        for (int id = 0; id < 136; ++id)
            if (places[static_cast<size_t>(id)] != 1)
                return Fail(what, "tile " + std::to_string(id) + " in " +
                                      std::to_string(places[static_cast<size_t>(id)]) + " places");
    }

    // Before a discard the acting chair holds 14 tiles counting three for each meld, the
    // others 13.
    void CheckHandSizes(int32_t cur) {
        const CMJTableEx& t = *table_;
        for (int c = 0; c < 4; ++c) {
            int32_t n = t.CountHeld(c);
            for (int l = 0; l < 5; ++l)
                for (const auto& m : t.Melds(c, static_cast<MeldList>(l)))
                    n += l != kPeng || !t.UnderAddedKong(c, m) ? 3 : 0;
            if (n != (c == cur ? 14 : 13))
                return Fail("discard",
                            "chair " + std::to_string(c) + " holds " + std::to_string(n));
        }
    }

    void Fail(const char* what, const std::string& why) {
        if (!out_.placesOk) return;
        out_.placesOk = false;
        out_.placeError = std::string(what) + ": " + why;
    }

    bool Chance(int percent) { return static_cast<int>(rng_() % 100) < percent; }

    // The chair's own turn: a self-drawn win, a concealed or an added kong. True when the
    // deal ended.
    bool OwnTurn(int32_t& cur, int32_t& lastTile) {
        CMJTableEx& t = *table_;
        for (int guard = 0; guard < 8; ++guard) {
            MJRequest self = MJRequest::Hu(cur, cur, lastTile, 2);
            if (lastTile >= 0 && t.CheckHuRequest(self)) {
                if (t.OnHuRequest(self) > 0) {
                    out_.selfDrawn = true;
                    Act("self-drawn win");
                    return Won();
                }
            }
            int32_t hand[32];
            const int32_t n = t.ListHeld(cur, hand, 32);
            bool acted = false;
            // A concealed kong.
            for (int32_t i = 0; i < n && !acted; ++i) {
                int32_t same[4], k = 0;
                for (int32_t j = 0; j < n && k < 4; ++j)
                    if (MJ_IsSameKind(hand[i], hand[j], 0)) same[k++] = hand[j];
                if (k < 4 || !Chance(85)) continue;
                const auto r = MJRequest::Meld(cur, cur, same[3], same[0], same[1], same[2]);
                if (!t.CheckAnGangRequest(r)) continue;
                t.OnAnGang(r);
                out_.anGang = true;
                Act("concealed kong");
                lastTile = t.DrawFromTail(cur);
                Act("tail draw");
                if (lastTile < 0) return Drawn(), true;
                acted = true;
            }
            // An added kong, which another chair may rob.
            for (int32_t i = 0; i < n && !acted; ++i) {
                for (const auto& m : t.Melds(cur, kPeng)) {
                    if (!MJ_IsSameKind(m.tiles[0], hand[i], 0)) continue;
                    auto r =
                        MJRequest::Meld(cur, cur, hand[i], m.tiles[0], m.tiles[1], m.tiles[2], 2);
                    if (!t.CheckBuGangRequest(r) || !Chance(85)) break;
                    t.RecordGang(r);
                    int32_t list[8] = {};
                    if (t.ListHuClaims(r, list) > 0) {
                        bool asked = false;
                        MJRequest first;
                        for (int c = 0; c < 4; ++c) {
                            if (c == cur) continue;
                            auto h = MJRequest::Hu(c, cur, hand[i], 4, 2);
                            if (t.CheckHuRequest(h)) {
                                if (!asked) first = h;
                                asked = true;
                            }
                        }
                        if (asked && t.OnHuRequest(first) > 0) {
                            out_.robbed = true;
                            Act("robbing win");
                            return Won();
                        }
                    }
                    t.OnBuGang(r);
                    out_.buGang = true;
                    Act("added kong");
                    lastTile = t.DrawFromTail(cur);
                    Act("tail draw");
                    if (lastTile < 0) return Drawn(), true;
                    acted = true;
                    break;
                }
            }
            if (!acted) return false;
        }
        return false;
    }

    // 0 all passed, 1 a pung, 2 a win, 3 an exposed kong.
    int Claims(int32_t discarder, int32_t tile, int32_t* claimer) {
        CMJTableEx& t = *table_;
        bool anyHu = false;
        MJRequest first;
        for (int32_t c = t.NextChair(discarder); c != discarder; c = t.NextChair(c)) {
            if (!(t.ClaimFlags(c) & 8)) continue;
            auto h = MJRequest::Hu(c, discarder, tile, 1);
            if (t.CheckHuRequest(h)) {
                if (!anyHu) first = h;
                anyHu = true;
            }
        }
        if (anyHu && t.OnHuRequest(first) > 0) {
            out_.discardWin = true;
            Act("win on discard");
            Won();
            return 2;
        }
        for (int c = 0; c < 4; ++c) {
            if (c == discarder) continue;
            const int32_t f = t.ClaimFlags(c);
            int32_t hand[32], same[3], k = 0;
            const int32_t n = t.ListHeld(c, hand, 32);
            for (int32_t j = 0; j < n && k < 3; ++j)
                if (MJ_IsSameKind(hand[j], tile, 0)) same[k++] = hand[j];
            if ((f & 2) && k == 3 && Chance(70)) {
                const auto r = MJRequest::Meld(c, discarder, tile, same[0], same[1], same[2], 1);
                if (t.CheckMingGangRequest(r)) {
                    t.OnMingGang(r);
                    out_.mingGang = true;
                    Act("exposed kong");
                    *claimer = c;
                    return 3;
                }
            }
            if ((f & 1) && k >= 2 && Chance(80)) {
                const auto r = MJRequest::Meld(c, discarder, tile, same[0], same[1]);
                if (t.CheckPengRequest(r)) {
                    t.OnPeng(r);
                    out_.peng = true;
                    Act("pung");
                    *claimer = c;
                    return 1;
                }
            }
        }
        for (int c = 0; c < 4; ++c) t.AnswerPass(c, 0);
        return 0;
    }

    int32_t ChooseDiscard(int32_t chair) {
        const CMJTableEx& t = *table_;
        int32_t hand[32];
        const int32_t n = t.ListHeld(chair, hand, 32);
        const int32_t* c = t.Counts(chair);
        int32_t best = hand[0], bestScore = 1 << 30;
        for (int32_t i = 0; i < n; ++i) {
            const int32_t k = MJ_TileIndex(hand[i], 0);
            int32_t s = 4 * (c[k] - 1);
            if (k < 30) {
                s += 2 * ((k % 10 > 1 ? c[k - 1] : 0) + (k % 10 < 9 ? c[k + 1] : 0));
                s += (k % 10 > 2 ? c[k - 2] : 0) + (k % 10 < 8 ? c[k + 2] : 0);
            }
            s = s * 8 + static_cast<int32_t>(rng_() % 8);
            if (s < bestScore) bestScore = s, best = hand[i];
        }
        return best;
    }

    bool Won() {
        CMJTableEx& t = *table_;
        out_.winners = t.Winners();
        for (int c = 0; c < 4; ++c) {
            const HuResult& r = t.ResultOf(c);
            if (t.WinValueOf(c) <= 0) continue;
            out_.gangFlower |= r.tally1[5] > 0;
            out_.lastTile |= r.tally1[6] > 0;
            out_.lastDiscard |= r.tally1[13] > 0;
        }
        t.SetOutcomeMode();
        t.EndOfDeal();
        out_.ended = true;
        return true;
    }

    void Drawn() {
        CMJTableEx& t = *table_;
        t.SetModeSingle();
        for (int c = 0; c < 4; ++c) {
            HuResult r{};
            t.SetResultValue(c, t.BestWin(c, &r));
        }
        t.EndOfDeal();
        out_.ended = true;
    }

    DealOutcome Finish() {
        CMJTableEx& t = *table_;
        if (out_.ended) {
            out_.record.assign(static_cast<size_t>(t.ResultRecordSize() / 4), 0);
            t.FillResultRecord(out_.record.data(), t.ResultRecordSize(), 0, 0);
            for (int c = 0; c < 4; ++c) out_.pointSum += out_.record[56 / 4 + c];
            out_.liability = out_.record[696 / 4] != 0;
        }
        out_.zeroSumLogged = zeroSumLogged_;
        return out_;
    }

    std::unique_ptr<CMJTableEx> table_;
    std::mt19937 rng_;
    DealOutcome out_;
    bool check_ = true;
    bool zeroSumLogged_ = false;
};

}  // namespace driver
