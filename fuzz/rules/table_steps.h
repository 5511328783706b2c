#pragma once
// The steps of the table-requests harness, shared with the program that writes its seeds:
// the deal every run plays from, how eight bytes become a request, how a request is carried
// out (checked first, as the server does), and simple players whose deals give the harness
// its later starting points and its seeds.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "rules/common.h"
#include "rules/table_ex.h"
#include "rules/tiles.h"

namespace tablesteps {

using namespace hqlv::rules;

// One step: an operation, two chairs (-1..4), four tiles and a kind.
inline constexpr size_t kStep = 8;
inline constexpr int kOps = 16;

// The deal of seed 1 with four players.
inline CMJTableEx DealTable() {
    SeedRandom(1);
    CMJTableEx t;
    for (int c = 0; c < 4; ++c) {
        auto u = std::make_unique<TableUser>();
        u->userId = 1 + c;
        t.AddPlayer(std::move(u), c);
    }
    if (t.StartGame(nullptr, {}) != 1) std::abort();
    return t;
}

// A tile byte with its high bit set names the n-th tile the acting chair holds, so that most
// steps are requests a real client could make; the others are raw ids, some out of range.
inline MJRequest Decode(const CMJTableEx& t, const uint8_t* b) {
    MJRequest r;
    // Chairs mostly near the table's range; a high bit makes the other chair a far one.
    r.w[3] = b[1] % 6 - 1;
    const int32_t far = b[2] & 0x3E;
    r.w[4] = !(b[2] & 0x80) ? b[2] % 6 - 1 : (b[2] & 1) ? INT32_MAX - far : INT32_MIN + far;
    int32_t held[32];
    // The hand is listed only when a byte names a tile of it.
    const int32_t n = (b[3] | b[4] | b[5] | b[6]) & 0x80 ? t.ListHeld(r.w[3], held, 32) : 0;
    for (int k = 0; k < 4; ++k) {
        const uint8_t v = b[3 + k];
        r.w[5 + k] = (v & 0x80) && n > 0 ? held[(v & 0x7F) % n] : static_cast<int32_t>(v) - 2;
    }
    r.w[9] = b[7] % 4;
    if (b[0] % kOps == 6) r.w[6] = 1 << (b[7] % 3), r.w[7] = b[7] >> 4 & 3;
    return r;
}

// The request's tiles and kind as a list of 64 ids (-1 past them).
inline void IdList(const MJRequest& r, int32_t* ids) {
    FillMinusOne(ids, 64);
    for (int k = 0; k < 4; ++k) ids[k] = r.w[5 + k];
}

// The records a client or the server may ask for, as the request's chair sees them.
inline void Records(CMJTableEx& t, const MJRequest& r) {
    static std::vector<int32_t> state(kMJStateBytes / 4);
    t.FillTableState(state.data(), kMJStateBytes, r.chair(), r.w[9] & 1);
    int32_t info[kTableInfoBytes / 4];
    t.FillTableInfo(info, kTableInfoBytes);
    static std::vector<int32_t> player(CMJTableEx::kPlayerStateBytes / 4);
    t.FillPlayerState(player.data(), CMJTableEx::kPlayerStateBytes, r.chair(), r.w[9] & 2);
    ClaimDefaults claim;
    claim.chair = r.other();
    t.FillClaimDefaults(&claim);
    ReadyList ready;
    t.ListReadyPlayers(&ready, nullptr);
    int32_t ids[kMaxTableChairs];
    const int32_t values[kMaxTableChairs] = {r.w[5], r.w[6], r.w[7], r.w[8], 1, 1, 1, 1};
    t.ListComputerPlayers(ids, values);
}

// Questions on the request's chairs, tiles and kind; none changes the table.
inline void Questions(CMJTableEx& t, const MJRequest& r) {
    t.CheckGangRequest(r);
    t.HasAddedGangOf(r.chair(), r.hand(), 3);
    t.CMJTable::OthersMayStillHu(r), t.CMJTable::OthersMayStillClaim(r);
    t.CMJTable::SomeoneCanHuDiscard(r), t.CMJTable::SomeoneCanRobGang(r);
    HuResult res{};
    t.UnitsFromMelds(r.chair(), &res, r.w[9]);
    if (res.unitCount >= 2) CMJTableEx::SameUnit(res.units[0], res.units[res.unitCount - 1]);
    int32_t counts[64] = {}, ids[64], out[64];
    t.HeldWithMelds(r.other(), counts);
    IdList(r, ids);
    t.CountByKind(ids, 64, counts);
    t.SortByKind(counts, ids, 64, out);
    t.PointsOf(ids);
    t.CountJokersHeld(r.chair());
    t.ResultCode(r.chair());
    t.ShapeOfIndex(r.tile(), r.w[9] & 1);
    t.IsSameKind(r.w[5], r.w[6]);
    t.IsOpponent(r.chair(), r.other(), r.tile());
    t.Negate(r.tile());
    t.SpareValueOf(r.tile());
    t.IsWaitingTooLong(r.chair(), r.w[9]);
    t.FirstOfKind(r.w[6]);
    // A search marks the tiles it takes: it runs on a copy.
    if (r.w[9] == 3) {
        CMJTableEx scratch(t);
        scratch.TakeKinds(counts, out, r.chair());
    }
}

// The settlement of the deal as it stands, applied to the players, and the computer players'
// rows; only the players' records change.
inline void Settle(CMJTableEx& t, const MJRequest& r) {
    static std::vector<int32_t> record(static_cast<size_t>(t.ResultRecordSize() / 4));
    t.SetOutcomeMode();
    t.ApplyChoice(record.data(), t.ResultRecordSize(), 0, 0, r.w[9] & 1, nullptr);
    ResultHeader header;
    t.FillResultHeader(&header, record.data(), r.tile());
    t.AddLevels(record.data());
    t.ApplyStoredResult(record.data(), t.ResultRecordSize(), nullptr);
    t.SaveSeatRecords();
    t.SnapshotScores(record.data());
    int32_t values[kMaxTableChairs] = {r.w[5], r.w[6], r.w[7], r.w[8]};
    t.AdjustComputerLosses(values);
    ComputerRow rows[kMaxTableChairs];
    for (int c = 0; c < 4; ++c) rows[c].present = (r.w[9] >> (c % 2)) & 1;
    t.FillComputerRows(rows, r.chair());
    t.FillComputerPlayers(rows, r.other());
}

// Carries out operation `op` (taken modulo kOps); false when the check refused the request.
// Without `bestWin`, the query (10) leaves out the best-win scan.
inline bool Apply(CMJTableEx& t, uint8_t op, const MJRequest& r, bool bestWin = true) {
    switch (op % kOps) {
        case 0:
            t.Discard(r.chair(), &r.w[5], 1), t.OpenClaimWindow();
            return true;
        case 1:
            return t.CheckPengRequest(r) && (t.OnPeng(r), true);
        case 2:
            return t.CheckMingGangRequest(r) && (t.OnMingGang(r), true);
        case 3:
            return t.CheckAnGangRequest(r) && (t.OnAnGang(r), true);
        case 4:
            return t.CheckBuGangRequest(r) && (t.RecordGang(r), t.OnBuGang(r), true);
        case 5:
            return t.CheckChiRequest(r) && (t.OnChi(r), true);
        case 6: {
            MJRequest h = r;  // the check may change the kind it is carried out by
            return t.CheckHuRequest(h) && (t.OnHuRequest(h), true);
        }
        case 7:
            t.DrawTile(r.chair()), t.BeginTurn();
            return true;
        case 8:
            t.DrawFromTail(r.chair());
            return true;
        case 9:
            t.AnswerPass(r.chair(), 0);
            return true;
        case 10: {
            HuResult res{};
            if (bestWin) t.BestWin(r.chair(), &res);
            t.OthersMayStillHu(r), t.SomeoneCanRobGang(r), t.OthersMayStillHuAll(r);
            return true;
        }
        case 11:
            t.SwitchActiveChair(r.chair() & 3);
            return true;
        case 12:
            Records(t, r);
            return true;
        case 13:
            Questions(t, r);
            return true;
        case 14: {
            // The head tile burnt, the turn taken again, or a bid with its end.
            if (r.w[9] == 0) return t.BurnHeadTile() >= 0;
            if (r.w[9] == 1) return t.CurrentChairAgain(), true;
            int32_t decided = 0;
            const Bid bid{r.chair(), r.w[6] & 1, r.tile(), {}};
            if (t.OnBid(bid, &decided) && decided) t.EndBidding();
            return true;
        }
        default:
            Settle(t, r);
            return true;
    }
}

// A whole deal played on DealTable() by simple players: win when the rules allow, declare
// kongs, claim pungs and kongs as the variant says, discard by the variant's choice. Each
// action is written as a step and read back through Decode() before it is kept.
class Player {
public:
    explicit Player(int variant) : t_(DealTable()), variant_(variant) {}

    // Plays until the deal ends or `maxSteps` steps are written; the steps' bytes.
    std::vector<uint8_t> Play(size_t maxSteps) {
        maxSteps_ = maxSteps;
        int32_t cur = t_.GetCurrentChair();
        int32_t last = t_.FirstHeld(cur);
        for (int turn = 0; turn < 200 && Room(); ++turn) {
            if (OwnTurn(cur, last)) break;
            int32_t held[32];
            const int32_t n = t_.ListHeld(cur, held, 32);
            if (n <= 0) break;
            const int32_t tile = held[(variant_ * 7 + turn * 3) % n];
            if (turn % 9 == variant_ % 9) Emit(10, Ask(cur));
            if (!Emit(0, MJRequest::Meld(cur, -1, tile, -1, -1))) break;
            int32_t claimer = -1;
            const int c = Claims(cur, tile, &claimer);
            if (c == 2) break;
            if (c == 1) {  // a pung: the claimer discards next
                cur = claimer;
                last = -1;
                Emit(11, Ask(cur));
                continue;
            }
            if (c == 3) {  // an exposed kong: the claimer draws its replacement
                cur = claimer;
                Emit(11, Ask(cur));
                last = DrawAndSee(8, cur);
                if (last < 0) break;
                continue;
            }
            cur = t_.NextChair(cur);
            Emit(11, Ask(cur));
            last = DrawAndSee(7, cur);
            if (last < 0) break;
        }
        return bytes_;
    }

    const CMJTableEx& Table() const { return t_; }

private:
    static MJRequest Ask(int32_t chair) { return MJRequest::Meld(chair, -1, -1, -1, -1); }

    bool Room() const { return bytes_.size() / kStep < maxSteps_; }

    // A tile as a byte of the acting chair's step: the index in its hand, or the raw id.
    uint8_t TileByte(int32_t chair, int32_t tile) const {
        int32_t held[32];
        const int32_t n = t_.ListHeld(chair, held, 32);
        for (int32_t i = 0; i < n; ++i)
            if (held[i] == tile) return static_cast<uint8_t>(0x80 | i);
        return tile >= -2 && tile < 126 ? static_cast<uint8_t>(tile + 2) : 0xFF;
    }

    // Writes and carries out `want` as operation `op` when its bytes read back as `want` and
    // the table accepts it (a refused request is tried on a copy, so it leaves no trace).
    bool Emit(uint8_t op, const MJRequest& want) {
        if (!Room()) return false;
        uint8_t b[kStep] = {op, static_cast<uint8_t>(want.w[3] + 1),
                            static_cast<uint8_t>(want.w[4] + 1)};
        for (int k = 0; k < 4; ++k) b[3 + k] = TileByte(want.w[3], want.w[5 + k]);
        for (int kind = 0; kind < 64; ++kind) {
            b[7] = static_cast<uint8_t>(kind);
            const MJRequest got = Decode(t_, b);
            if (!std::equal(got.w + 3, got.w + 10, want.w + 3)) continue;
            CMJTableEx trial(t_);
            if (!Apply(trial, op, got)) return false;
            t_ = trial;
            bytes_.insert(bytes_.end(), b, b + kStep);
            return true;
        }
        return false;
    }

    // Draws for `chair` (operation 7 from the head, 8 from the tail); the tile drawn, or -1.
    int32_t DrawAndSee(uint8_t op, int32_t chair) {
        int32_t before[32], after[32];
        const int32_t n = t_.ListHeld(chair, before, 32);
        if (!Emit(op, Ask(chair))) return -1;
        const int32_t m = t_.ListHeld(chair, after, 32);
        for (int32_t i = 0; i < m; ++i)
            if (std::find(before, before + n, after[i]) == before + n) return after[i];
        return -1;
    }

    // A self-drawn win, or concealed and added kongs; true when the deal ended.
    bool OwnTurn(int32_t cur, int32_t& last) {
        for (int guard = 0; guard < 4; ++guard) {
            if (last >= 0 && Emit(6, MJRequest::Hu(cur, cur, last, 2))) return true;
            int32_t held[32];
            const int32_t n = t_.ListHeld(cur, held, 32);
            bool kong = false;
            for (int32_t i = 0; i < n && !kong; ++i) {
                int32_t same[4], k = 0;
                for (int32_t j = 0; j < n && k < 4; ++j)
                    if (MJ_IsSameKind(held[i], held[j], 0)) same[k++] = held[j];
                kong = k == 4 &&
                       Emit(3, MJRequest::Meld(cur, cur, same[3], same[0], same[1], same[2]));
                for (const auto& m : t_.Melds(cur, kPeng)) {
                    if (kong || !MJ_IsSameKind(m.tiles[0], held[i], 0)) continue;
                    kong = Emit(4, MJRequest::Meld(cur, cur, held[i], m.tiles[0], m.tiles[1],
                                                   m.tiles[2], 2));
                }
            }
            if (!kong) return false;
            last = DrawAndSee(8, cur);
            if (last < 0) return true;
        }
        return false;
    }

    // 0 all passed, 1 a pung, 2 a win, 3 an exposed kong.
    int Claims(int32_t discarder, int32_t tile, int32_t* claimer) {
        for (int32_t c = t_.NextChair(discarder); c != discarder; c = t_.NextChair(c))
            if (Emit(6, MJRequest::Hu(c, discarder, tile, 1))) return 2;
        for (int32_t c = 0; c < 4; ++c) {
            if (c == discarder) continue;
            int32_t held[32], same[3], k = 0;
            const int32_t n = t_.ListHeld(c, held, 32);
            for (int32_t j = 0; j < n && k < 3; ++j)
                if (MJ_IsSameKind(held[j], tile, 0)) same[k++] = held[j];
            *claimer = c;
            if (k == 3 && (variant_ & 1) &&
                Emit(2, MJRequest::Meld(c, discarder, tile, same[0], same[1], same[2], 1)))
                return 3;
            if (k >= 2 && (variant_ & 2) &&
                Emit(1, MJRequest::Meld(c, discarder, tile, same[0], same[1])))
                return 1;
        }
        // The next draw closes the window; some variants pass first, as a client would.
        if (variant_ & 4)
            for (int32_t c = 0; c < 4; ++c) Emit(9, Ask(c));
        return 0;
    }

    CMJTableEx t_;
    int variant_;
    size_t maxSteps_ = 0;
    std::vector<uint8_t> bytes_;
};

}  // namespace tablesteps
