#include "rules/table_ex.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "rules/common.h"
#include "rules/internal.h"
#include "rules/waits.h"

namespace hqlv::rules {

const std::array<Fan, kFanCount> kFans = {{
    {"屁胡", 3},
    {"碰碰胡", 8},
    {"清一色", 16},
    {"混一色", 8},
    {"字一色", 16},
    {"杠上花", 16},
    {"海底捞月", 8},
    {"七对", 8},
    {"天胡", 20},
    {"地胡", 20},
    {"人胡", 24},
    {"门清", 1},
    {"大七对", 16},
    {"海底炮", 9},
    {"杠上炮", 18},
    {"全求人", 9},
    {"抢杠胡", 9},
    {"大大七对", 24},
    {"大大大七对", 32},
    {"", 0},
    {"", 0},
    {"", 0},
    {"", 0},
    {"", 0},
    {"", 0},
    {"", 0},
    {"", 0},
    {"", 0},
    {"", 0},
    {"", 0},
    {"", 0},
    {"", 0},
}};

TableConfig GameTableConfig() {
    return TableConfig{};
}
CardConfig GameCardConfig() {
    return CardConfig{};
}
MJConfig GameMJConfig() {
    return MJConfig{};
}

namespace {

constexpr int kFanPiHu = 0, kFanPengPeng = 1, kFanPure = 2, kFanAllHonours = 4, kFanGangFlower = 5,
              kFanLastTile = 6, kFanSevenPairs = 7, kFanHeavenly = 8, kFanEarthly = 9,
              kFanHuman = 10, kFanConcealed = 11, kFanBigSeven = 12, kFanLastDiscard = 13,
              kFanGangCannon = 14, kFanSingleWait = 15, kFanRobbing = 16, kFanBigBigSeven = 17,
              kFanBiggestSeven = 18;

void addFan(HuResult* r, int k, int32_t value, int32_t& total) {
    r->tally1[k] = value;
    total += value;
}

}  // namespace

CMJTableEx::CMJTableEx(TableHooks hooks)
    : CMJTableEx(GameTableConfig(), GameCardConfig(), GameMJConfig(), std::move(hooks)) {}

CMJTableEx::CMJTableEx(const TableConfig& config, const CardConfig& card, const MJConfig& mj,
                       TableHooks hooks)
    : CMJTable(config, card, mj, std::move(hooks)) {
    ResetEx(true);
    for (int c = 0; c < kMJChairs; ++c) rotation_[c] = c < chairCount_ ? 100 : 0;
    spare_ = 0;
    searchTarget_ = 100;
}

void CMJTableEx::Reset(bool full) {
    CMJTable::Reset(full);
    ResetEx(full);
}

void CMJTableEx::ResetEx(bool full) {
    if (full) {
        spare_ = 0;
        std::fill(std::begin(stateValues_), std::end(stateValues_), 0);
    }
    kongFlag_ = 0;
    kongFeeder_ = -1;
    std::fill(std::begin(resultValues_), std::end(resultValues_), 0);
    std::memset(secondHu_, 0, sizeof secondHu_);
    std::fill(std::begin(waitOpe_), std::end(waitOpe_), 0);
    std::fill(std::begin(waitTick_), std::end(waitTick_), 0u);
    std::fill(std::begin(passed_), std::end(passed_), 0);
    std::fill(std::begin(discardCount_), std::end(discardCount_), 0);
    std::fill(std::begin(kongUnits_), std::end(kongUnits_), 0);
    std::memset(addedExtra_, 0, sizeof addedExtra_);
    std::memset(pass_, 0, sizeof pass_);
    // The feeding tables count the melds of one deal: the liability rule speaks of the melds a
    // chair fed one player toward that player's win. Kept from deal to deal at a table that
    // plays on, they would only grow, until every chair was liable toward another, could not
    // win, and no deal could end in a win.
    std::memset(pungFeed_, 0, sizeof pungFeed_);
    std::memset(kongFeed_, 0, sizeof kongFeed_);
    for (auto& l : claimedFrom_) FillMinusOne(l, 4);
}

int32_t CMJTableEx::CanStart() {
    CMJTable::CanStart();
    for (int c = 0; c < chairCount_; ++c)
        for (int guard = 0; guard < 64; ++guard) {
            const int32_t f = FirstFlowerHeld(c);
            if (f < 0) break;
            ReplaceFlower(c, f);
        }
    return 1;
}

// --- Records -------------------------------------------------------------------------------

void CMJTableEx::FillResultRow(int32_t chair, int32_t* row, const HuResult& r) const {
    std::fill(row, row + 43, 0);
    row[0] = chair;
    row[1] = r.handType;
    row[2] = r.waitFlags;
    for (int k = 0; k < kFanCount; ++k) row[3 + k] = r.tally1[k];
    row[35] = TotalFanPoints(r);
    if (!ValidMJ(chair)) return;
    row[36] = static_cast<int32_t>(melds_[chair][kMingGang].size());
    int32_t extra = 0;
    for (int k = 0; k < 4; ++k) extra += addedExtra_[chair][k];
    row[37] = static_cast<int32_t>(melds_[chair][kBuGang].size()) + extra;
    row[38] = (kongUnits_[chair] + static_cast<int32_t>(melds_[chair][kAnGang].size())) * 3;
}

int32_t CMJTableEx::FillResultRecord(int32_t* record, int32_t bytes, int32_t a, int32_t b) {
    if (!record || bytes < ResultRecordSize()) return 0;
    for (int c = 0; c < chairCount_; ++c) {
        record[832 / 4 + c] = CountHeld(c);
        ListHeld(c, record + 848 / 4 + 32 * c, 32);
    }
    // The fan names are written afresh, cut to the field, rather than appended to what the
    // field holds: appended to a record used again, the list would run past its 256 bytes.
    std::string names;
    for (int k = 0; k < kFanCount; ++k) {
        if (k) names += '|';
        names += kFans[static_cast<size_t>(k)].name;
    }
    if (names.size() > kFanNamesBytes - 1) names.resize(kFanNamesBytes - 1);
    char* field = reinterpret_cast<char*>(record) + kFanNamesOffset;
    std::memset(field, 0, kFanNamesBytes);
    std::memcpy(field, names.data(), names.size());
    for (int c = 0; c < chairCount_; ++c)
        FillResultRow(c, record + (1652 + kResultRowBytes * c) / 4, hu_[c]);
    for (int c = 0; c < kMJChairs; ++c) record[704 / 4 + c] = resultValues_[c];
    record[724 / 4] = chairCount_;
    record[1616 / 4] = StakePower();
    return CMJTable::FillResultRecord(record, bytes, a, b);
}

int32_t CMJTableEx::FillPlayerState(int32_t* r, int32_t bytes, int32_t chair, bool skip) {
    if (!r || bytes < kPlayerStateBytes) return 0;
    std::memset(r, 0, kPlayerStateBytes);
    FillGameRecord(r, bytes, chair);
    CopyMelds(r + 49);
    for (int c = 0; c < kMJChairs; ++c) r[4820 / 4 + c] = CountHeld(c);
    FillMinusOne(r + 4836 / 4, 32);
    for (int c = 0; c < kMJChairs; ++c) r[4964 / 4 + c] = stateValues_[c];
    if (!skip && ValidMJ(chair)) ListHeld(chair, r + 4836 / 4, 32);
    return 1;
}

int32_t CMJTableEx::FillLookerState(int32_t* r, int32_t bytes, int32_t chair, bool skip) {
    if (!r || bytes < kLookerStateBytes) return 0;
    std::memset(r, 0, kLookerStateBytes);
    FillGameRecord(r, bytes, chair);
    for (int c = 0; c < kMJChairs; ++c) r[49 + c] = CountHeld(c);
    FillMinusOne(r + 53, 32);
    if (!skip && ValidMJ(chair)) ListHeld(chair, r + 53, 32);
    for (int c = 0; c < kMJChairs; ++c) {
        FillMinusOne(r + 85 + 36 * c, 36);
        const auto& f = Flowers(c);
        for (size_t k = 0; k < f.size() && k < 36; ++k) r[85 + 36 * c + static_cast<int>(k)] = f[k];
        r[229 + c] = static_cast<int32_t>(std::min<size_t>(f.size(), 36));
    }
    return 1;
}

// --- Table rules -----------------------------------------------------------------------------

int32_t CMJTableEx::IsFriend(int32_t, int32_t, int32_t) const {
    if (mode_ & 2) return 1;
    if (winners_ <= 0 || !ValidMJ(banker_)) return 0;
    return winValue_[banker_] > 0 ? 1 : 0;
}

int32_t CMJTableEx::WallStartPosition() {
    const int32_t n = chairCount_, t = card_.tileTotal;
    if (t <= 0) return 0;
    const int32_t s = (dice_[0] + dice_[1]) % n;
    int32_t wall = banker_;
    switch (s) {
        case 0:
            wall = (banker_ + 1) % n;
            break;
        case 1:
            wall = banker_;
            break;
        case 2:
            wall = (banker_ + 3) % n;
            break;
        default:
            wall = (banker_ + 2) % n;
            break;
    }
    const int32_t tt = dice_[0] + dice_[1] + dice_[2] + dice_[3];
    static const int32_t kOffset[4] = {102, 0, 34, 68};
    return ((2 * tt + kOffset[((wall % 4) + 4) % 4]) % t + t) % t;
}

int32_t CMJTableEx::ChooseDealingChairAgain(const int32_t* record, int32_t) {
    return record ? record[692 / 4] : banker_;
}

int32_t CMJTableEx::ShuffleWall(std::vector<int32_t>& array, int32_t n, int32_t seed,
                                int32_t extra) {
    const int64_t count = int64_t{n} + extra;
    if (count < 1 || count > INT32_MAX) return 0;
    RandomPermutation(array, static_cast<int32_t>(count), seed);
    return static_cast<int32_t>(count);
}

// The shuffled order goes through the card table's test deal before it is built, as the card
// table's own shuffle does: the game server that the client's tests play against fixes its
// walls that way, and it deals with this game's table. Without a test-deal folder (the
// client's case) no file is read or written and the wall is ShuffleWall's order as it stands.
void CMJTableEx::Shuffle() {
    std::vector<int32_t> order;
    ShuffleWall(order, card_.tileTotal, ShuffleSeed(), 0);
    BuildWall(order);
}

int32_t CMJTableEx::IsCompleteSet() const {
    int32_t byKind[kKinds] = {};
    for (const auto& t : tiles_) {
        const int32_t k = t.shape * 10 + t.value;
        if (k >= 0 && k < kKinds) ++byKind[k];
    }
    for (int k = 1; k <= 37; ++k)
        if (k % 10 != 0 && byKind[k] != card_.copiesPerKind) return 0;
    return 1;
}

int32_t CMJTableEx::NextBankerChair(const int32_t*, int32_t) {
    if (mode_ & 2) return banker_;
    if (winners_ == 1 && ValidMJ(firstWinner_)) return firstWinner_;
    if (winners_ > 1 && ValidMJ(loser_)) return loser_;
    return 0;
}

bool CMJTableEx::IsClaimWindowOver(int32_t discarder) {
    if (!IsNotOver()) return false;
    // A pending claim holds the window only while its claimant may still come back for it: one
    // that never comes back would otherwise hold it, and the deal, for ever.
    const int32_t hold = (mj_.claimSeconds + 2) * 1000;
    for (int c = 0; c < chairCount_; ++c)
        if (waitOpe_[c] && Elapsed(waitTick_[c]) > hold) waitOpe_[c] = 0;
    // Within the claim time every chair's claim flags hold the window, an answered chair's until
    // its claim is carried out, and those of the chair that played before the discarder too
    // (passing over them would close the window on a claim it was offered and never answered).
    if (Elapsed(removalTick_) < mj_.claimSeconds * 1000 - 500) {
        for (int c = 0; c < chairCount_; ++c)
            if (c != discarder && pgch_[c]) return false;
    }
    for (int c = 0; c < chairCount_; ++c)
        if (waitOpe_[c]) return false;
    return true;
}

int32_t CMJTableEx::DrawTile(int32_t chair) {
    if (ValidMJ(chair)) std::fill(std::begin(pass_[chair]), std::end(pass_[chair]), 0);
    kongFeeder_ = -1;
    return CMJTable::DrawTile(chair);
}

bool CMJTableEx::IsSoleClaimant(int32_t chair, int32_t discarder) const {
    if (!ValidMJ(chair) || chair == discarder || !pgch_[chair]) return false;
    return !(pgch_[chair] & 4) || chair == NextChair(discarder);
}

// As at the level below, only a tile the chair holds is discarded: any other would be played
// from the wall or from another hand, and its kind counted in every chair's pass record.
void CMJTableEx::Discard(int32_t chair, const int32_t* ids, int32_t n) {
    if (!ValidMJ(chair) || !ids || n < 1 || !IsHeldBy(chair, ids[0])) return;
    const int32_t tile = ids[0];
    ++discardCount_[chair];
    ClearGangState();
    kongFlag_ = gangDraws_ != 0 ? 1 : 0;
    gangDraws_ = 0;
    kongFeeder_ = -1;
    CCardTable::Discard(chair, ids, 1);
    discards_[chair].push_back(tile);
    if (IsJokerKind(tile))
        CountJokerDiscard(chair, tile);
    else
        ReleaseJokerLock(chair, tile);
    std::fill(std::begin(passed_), std::end(passed_), 0);
    std::fill(std::begin(huAsked_), std::end(huAsked_), 0);
    HuResult scratch;
    for (int c = 0; c < chairCount_; ++c) {
        if (c == chair) {
            // As at the level below, the discarder is offered nothing on its own tile: the
            // checks of a pung, chow, exposed kong and win on a discard refuse a chair its own.
            // Flags set for it would stand in the table state and the state dump as offers it
            // can never take, and a discard notice made from them would show the discarder
            // claim buttons on its own tile.
            pgch_[c] = 0;
            continue;
        }
        pgch_[c] = OperationFlags(c, tile, &scratch, c == NextChair(chair) ? 0xF : 0xB);
        if (!pgch_[c]) passed_[c] = 1;
    }
    for (int c = 0; c < chairCount_; ++c)
        if (IsSoleClaimant(c, chair)) sole_[c] |= 0x20;
    passed_[chair] = 1;
    std::fill(std::begin(pass_[chair]), std::end(pass_[chair]), 0);
    const int32_t k = KindIndexOf(tile);
    if (k >= 0 && k < 49)
        for (int c = 0; c < chairCount_; ++c) ++pass_[c][k];
    std::fill(std::begin(waitOpe_), std::end(waitOpe_), 0);
}

int32_t CMJTableEx::OperationFlags(int32_t chair, int32_t tile, HuResult* result, int32_t mask) {
    if (!ValidMJ(chair)) return 0;
    const int32_t k = KindIndexOf(tile);
    const bool passedKind = k >= 0 && k < 49 && pass_[chair][k] != 0;
    int32_t f = 0;
    if ((mask & 1) && !passedKind) f |= CanPeng(chair, tile);
    if (mask & 2) f |= CanGang(chair, tile, 1);
    if ((mask & 4) && !(RuleFlags() & kTileFlagNoChow)) f |= CanChi(chair, tile);
    if ((mask & 8) && !(RuleFlags() & kTileFlagNoWinOnDiscard) && !passedKind)
        f |= CheckHu(chair, tile, result, 1);
    return f;
}

int32_t CMJTableEx::ClaimPriority(int32_t chair, int32_t discarder, int32_t claim) const {
    // Chairs come from requests: only a valid pair has a seat term.
    int32_t seat = 0;
    if (!ValidMJ(chair) || !ValidMJ(discarder))
        seat = 0;
    else if (chair == (discarder + 3) % 4)
        seat = -1;
    else if (chair == (discarder + 1) % 4)
        seat = -3;
    else if (chair == (discarder + 2) % 4)
        seat = -2;
    if (claim & 8) return (RuleFlags() & 0x40000u) ? 400 : 400 + seat;
    if (claim & 2) return 300 + seat;
    if (claim & 1) return 200 + seat;
    if (claim & 4) return 100 + seat;
    return 0;
}

// A claim is refused when its chairs are not seats or a higher claim already waits.
bool CMJTableEx::Outranked(const MJRequest& r, int32_t kind) const {
    if (!ValidMJ(r.chair()) || !ValidMJ(r.other())) return true;
    const int32_t p = ClaimPriority(r.chair(), r.other(), kind);
    for (int c = 0; c < chairCount_; ++c)
        if (waitOpe_[c] > p) return true;
    return false;
}

int32_t CMJTableEx::CheckPengRequest(const MJRequest& r) {
    if (Outranked(r, 1)) return 0;
    // The pass rule holds for the request as for the offer: a chair that let the kind pass
    // since its last draw is offered no pung of it, and asking anyway must not get one. The
    // discard in play is counted too, so more than one is an earlier one.
    if (PassCount(r.chair(), KindIndexOf(r.tile())) > 1) return 0;
    return CMJTable::CheckPengRequest(r);
}

int32_t CMJTableEx::CheckChiRequest(const MJRequest& r) {
    if (Outranked(r, 4)) return 0;
    return CMJTable::CheckChiRequest(r);
}

int32_t CMJTableEx::CheckMingGangRequest(const MJRequest& r) {
    if (Outranked(r, 2)) return 0;
    return CMJTable::CheckMingGangRequest(r);
}

int32_t CMJTableEx::CheckBuGangRequest(const MJRequest& r) {
    if (Outranked(r, 2)) return 0;
    return CMJTable::CheckBuGangRequest(r);
}

int32_t CMJTableEx::CheckHuRequest(MJRequest& r) {
    if (!IsNotOver() || !ValidMJ(r.chair())) return 0;
    int32_t ok = 0;
    if (!(r.huKind() & 4)) {
        if (r.huKind() & 1)
            ok = CanHuOnDiscard(r.chair(), r.other(), r.tile());
        else if (r.huKind() & 2)
            ok = CanHuSelfDrawn(r.chair(), r.other(), r.tile());
    } else if (r.huSubKind() & 1) {
        ok = CanRobExposedGang(r.chair(), r.other(), r.tile());
        // The pass rule holds for a robbing win as for any other (here and for an added kong
        // below): no win on a kind the chair let pass since its last draw. Carrying the win
        // out asks it (WinValue), so a claim accepted here without it would be a win
        // promised that OnHuRequest then refuses.
        if (ok && PassedKind(r.chair(), r.tile(), 4)) ok = 0;
        if (!ok) {
            ok = CanHuOnDiscard(r.chair(), r.other(), r.tile());
            if (ok) r.w[6] = 1;
        }
    } else if (r.huSubKind() & 2) {
        ok = CanRobAddedGang(r.chair(), r.other(), r.tile());
        if (ok && PassedKind(r.chair(), r.tile(), 4)) ok = 0;
    }
    if (ok) huAsked_[r.chair()] = 1;
    return ok;
}

// A discard in play is itself counted in the pass record (more than one is an earlier one),
// and so is the tile of a kong made from a discard; the tile of an added kong is not.
bool CMJTableEx::PassedKind(int32_t chair, int32_t tile, int32_t mask) const {
    const int32_t n = PassCount(chair, KindIndexOf(tile));
    if (mask & 1) return n > 1;
    if (mask & 4) return n > ((status_ & kStatusRobExposed) ? 1 : 0);
    return false;
}

// A chair that let the kind pass since its last draw may not win on it.
int32_t CMJTableEx::CanHuOnDiscard(int32_t chair, int32_t discarder, int32_t tile) {
    if (!ValidMJ(chair) || PassedKind(chair, tile, 1)) return 0;
    return CMJTable::CanHuOnDiscard(chair, discarder, tile);
}

int32_t CMJTableEx::AnswerPass(int32_t chair, int32_t) {
    if (!ValidMJ(chair) || passed_[chair]) return 0;
    pgch_[chair] = 0;
    passed_[chair] = 1;
    for (int c = 0; c < chairCount_; ++c)
        if (!passed_[c]) return 0;
    return 1;
}

int32_t CMJTableEx::KongDiscardAnswered(const MJRequest& r, int32_t priority, uint32_t since) {
    waitOpe_[r.chair()] = priority;
    waitTick_[r.chair()] = Now();
    passed_[r.chair()] = 1;
    if (Elapsed(since) >= mj_.claimSeconds * 1000 - 1000) {
        waitOpe_[r.chair()] = 0;
        return 0;
    }
    return 1;
}

// A chair's claim flags count whether it has answered or not: one that answered with a claim
// keeps them until its claim is carried out.
int32_t CMJTableEx::OthersMayStillHu(const MJRequest& r) {
    if (!ValidMJ(r.chair()) || !ValidMJ(r.other())) return 0;
    const int32_t p = ClaimPriority(r.chair(), r.other(), 1);
    bool higher = false;
    for (int c = 0; c < chairCount_; ++c)
        if (c != r.chair() && c != r.other() && pgch_[c] &&
            ClaimPriority(c, r.other(), pgch_[c]) > p)
            higher = true;
    return higher ? KongDiscardAnswered(r, p, removalTick_) : 0;
}

int32_t CMJTableEx::OthersMayStillClaim(const MJRequest& r) {
    if (!ValidMJ(r.chair()) || !ValidMJ(r.other())) return 0;
    const int32_t p = ClaimPriority(r.chair(), r.other(), 4);
    bool higher = false;
    for (int c = 0; c < chairCount_; ++c)
        if (c != r.chair() && c != r.other() && pgch_[c] &&
            ClaimPriority(c, r.other(), pgch_[c]) > p)
            higher = true;
    return higher ? KongDiscardAnswered(r, 1, removalTick_) : 0;
}

int32_t CMJTableEx::SomeoneCanHuDiscard(const MJRequest& r) {
    if (!ValidMJ(r.chair()) || !ValidMJ(r.other())) return 0;
    const int32_t p = ClaimPriority(r.chair(), r.other(), 2);
    bool higher = false;
    for (int c = 0; c < chairCount_; ++c)
        if (c != r.chair() && c != r.other() && pgch_[c] &&
            ClaimPriority(c, r.other(), pgch_[c]) > p)
            higher = true;
    return higher ? KongDiscardAnswered(r, p, removalTick_) : 0;
}

int32_t CMJTableEx::SomeoneCanRobGang(const MJRequest& r) {
    if (!(RuleFlags() & 0x2000u) || !ValidMJ(r.chair())) return 0;
    bool any = false;
    for (int c = 0; c < chairCount_; ++c) {
        if (c == r.chair() || c == r.other() || passed_[c] || PassedKind(c, r.tile(), 4)) continue;
        HuResult res{};
        if (CheckSpecialHu(c, r.tile(), &res, 4)) any = true;
    }
    if (!any) return 0;
    return KongDiscardAnswered(r, ClaimPriority(r.chair(), r.other(), 2), pendingTick_);
}

int32_t CMJTableEx::OthersMayStillHuAll(const MJRequest& r) {
    if (!IsNotOver() || (r.huKind() & 2) || !(RuleFlags() & 0x40000u) || !ValidMJ(r.chair()))
        return 0;
    bool any = false;
    for (int c = 0; c < chairCount_; ++c)
        if (c != r.chair() && c != r.other() && (pgch_[c] & 8) && !passed_[c]) any = true;
    if (!any) return 0;
    return KongDiscardAnswered(r, ClaimPriority(r.chair(), r.other(), 8), removalTick_);
}

// --- Carrying out ---------------------------------------------------------------------------

int32_t CMJTableEx::OnPeng(const MJRequest& r) {
    const int32_t chair = r.chair(), from = r.other();
    if (!ValidMJ(chair) || !ValidMJ(from)) return 0;
    kongFeeder_ = -1;
    CMJTable::OnPeng(r);
    ++pungFeed_[from][chair];
    return 0;
}

int32_t CMJTableEx::AddClaimedFrom(const MJRequest& r) {
    const int32_t chair = r.chair(), from = r.other();
    if (!ValidMJ(chair) || !ValidMJ(from)) return 0;
    for (auto& slot : claimedFrom_[chair])
        if (slot < 0) {
            slot = from;
            return 1;
        }
    return 0;
}

int32_t CMJTableEx::OnMingGang(const MJRequest& r) {
    const int32_t chair = r.chair(), from = r.other();
    if (!ValidMJ(chair) || !ValidMJ(from)) return 0;
    CMJTable::OnMingGang(r);
    ++kongFeed_[from][chair];
    kongFeeder_ = from;
    return 0;
}

// Nobody fed a concealed kong: a win on its replacement makes no earlier kong's feeder pay.
int32_t CMJTableEx::OnAnGang(const MJRequest& r) {
    const int32_t chair = r.chair();
    if (!ValidMJ(chair)) return 0;
    CMJTable::OnAnGang(r);
    kongFeeder_ = -1;
    const int32_t kind = r.gangKind();
    kongUnits_[chair] += kind == 1 ? 1 : kind == 2 ? 3 : (kind == 3 || kind == 4) ? 7 : 0;
    return 0;
}

int32_t CMJTableEx::OnBuGang(const MJRequest& r) {
    const int32_t chair = r.chair();
    if (!ValidMJ(chair)) return 0;
    int32_t source = -1;
    for (const auto& m : melds_[chair][kPeng])
        if (SameSet(m.tiles, 3, r.hand(), 3)) source = m.source;
    const size_t before = melds_[chair][kBuGang].size();
    CMJTable::OnBuGang(r);
    // A kong laid names its feeder and counts its extra; a request that laid none (no pung
    // of its tiles, or one that holds its kong already) counts nothing.
    const size_t k = melds_[chair][kBuGang].size();
    if (k == before) return 0;
    kongFeeder_ = source;
    if (k >= 1 && k <= 4) ++addedExtra_[chair][k - 1];
    return 0;
}

// Only a held tile is laid out, as at the level below.
int32_t CMJTableEx::OnFlower(const MJRequest& r) {
    const int32_t chair = r.chair(), tile = r.tile();
    if (!ValidMJ(chair) || !IsHeldBy(chair, tile)) return 0;
    ClearGangState();
    SetTileStatus(tile, kTileFlowerOut);
    flowers_[chair].push_back(tile);
    DecrementKind(chair, tile);
    AfterReplacementDue();
    PassTurnAfterMeld(chair);
    AfterFlowerHook(r);
    return 0;
}

void CMJTableEx::ClearGangState() {
    CMJTable::ClearGangState();
    kongFlag_ = 0;
}

int32_t CMJTableEx::ListHuClaims(const MJRequest& r, int32_t* out) {
    const bool fromDiscard = r.chair() != r.other();
    const uint32_t need = fromDiscard ? 0x1000u : 0x2000u;
    int32_t n = 0;
    if (RuleFlags() & need) {
        for (int c = 0; c < chairCount_; ++c) {
            if (c == r.chair() || c == r.other() || PassedKind(c, r.tile(), 4)) continue;
            HuResult res{};
            const int32_t a = CheckSpecialHu(c, r.tile(), &res, 4);
            if (a == 8) {
                if (out) out[4 + c] = a;
                passed_[c] = 0;
                ++n;
            }
        }
    }
    if (out) out[0] = r.chair(), out[1] = r.other(), out[2] = r.tile(), out[3] = r.gangKind();
    return n;
}

// --- Wins ----------------------------------------------------------------------------------

bool CMJTableEx::IsLiable(int32_t chair) const {
    if (!ValidMJ(chair)) return false;
    for (int w = 0; w < chairCount_; ++w)
        if (pungFeed_[chair][w] + kongFeed_[chair][w] >= 3) return true;
    return false;
}

int32_t CMJTableEx::CheckHu(int32_t chair, int32_t tile, HuResult* result, int32_t mask) {
    return CheckSpecialHu(chair, tile, result, mask);
}

int32_t CMJTableEx::CheckSpecialHu(int32_t chair, int32_t tile, HuResult* result, int32_t mask) {
    if (!ValidMJ(chair) || !result || IsLiable(chair)) return 0;
    CountTable copy;
    std::memcpy(copy, counts_[chair], sizeof copy);
    const int32_t k = KindIndexOf(tile);
    if ((mask & 2) && k >= 0 && copy[k] > 0) --copy[k];
    return CheckHuCounts(copy, tile, result, mask, chair, false) ? 8 : 0;
}

struct CMJTableEx::Search {
    CountTable c;
    int32_t poolA = 0, poolB = 0;    // jokers left to stand in
    int32_t indexA = 0, indexB = 0;  // the joker kinds (0 for an absent joker)
    bool honourRuns = false;         // tile flag 0x20
    int32_t chair, tile, mask;
    bool score;
    bool pairDone = false;
    int32_t calls = 0;
    HuResult work{};
    HuResult best{};
    int32_t bestScore = 0;
    bool found = false;
};

// Every unit the lowest kind can start, in turn, the same units with jokers standing in, and
// units of jokers alone once no tile is left; each complete split is scored and the best kept.
// The call cap only bounds the work: a win already found stays a win.
int32_t CMJTableEx::SearchHu(Search& s, int32_t from) {
    if (s.calls > 10000) return 0;
    ++s.calls;
    int32_t k = from;
    while (k < kKinds && s.c[k] == 0) ++k;
    const int32_t n0 = s.work.unitCount;
    // Each attempt records its unit, searches on, and is undone: the unit dropped, the tiles
    // and the jokers it took put back.
    auto attempt = [&](auto&& record, int32_t next) {
        if (s.work.unitCount >= kMaxHuUnits) return 0;
        record();
        const int32_t r = SearchHu(s, next);
        s.work.unitCount = n0;
        std::memset(&s.work.units[n0], 0, sizeof(HuUnit));
        return r;
    };
    auto takeJokers = [&](int32_t n, int32_t& usedA, int32_t& usedB) {
        int32_t beforeA = 0, beforeB = 0;
        const int32_t taken = MJ_TakeJokers(&beforeA, &beforeB, &s.poolA, &s.poolB, n);
        usedA = beforeA - s.poolA, usedB = beforeB - s.poolB;
        return taken == n;
    };
    auto giveJokers = [&](int32_t usedA, int32_t usedB) { s.poolA += usedA, s.poolB += usedB; };
    const int32_t pool = MJ_SumJokers(s.poolA, s.poolB);
    int32_t ua = 0, ub = 0;
    if (k >= kKinds) {
        if (pool == 0) {
            // A normal hand has exactly one pair. The general split lets a rest with no pair
            // win because the wait checks ask it about what is left once the pair or the pung
            // is out; this check asks about a whole hand, where fours and triplets alone (two
            // fours held and two triplets, say) are no winning hand and would be paid as one.
            if (!s.pairDone) return 0;
            if (!s.found) s.best = s.work;
            s.found = true;
            if (!s.score) return 8;
            HuResult scored = s.work;
            std::fill(std::begin(scored.tally1), std::end(scored.tally1), 0);
            const int32_t v = ScoreFeatures(s.chair, s.tile, &scored, s.mask);
            if (v > s.bestScore) s.bestScore = v, s.best = scored;
            return v >= searchTarget_ ? 8 : 0;
        }
        // Jokers left with no tile: three of them a triplet, two the pair.
        for (const int32_t type : {kUnitTriplet, kUnitPair}) {
            const int32_t need = type == kUnitTriplet ? 3 : 2;
            if (pool < need || (type == kUnitPair && s.pairDone)) continue;
            takeJokers(need, ua, ub);
            s.pairDone = s.pairDone || type == kUnitPair;
            const int32_t r =
                attempt([&] { MJ_AddJokerUnit(&s.work, type, ua, ub, s.indexA, s.indexB); }, k);
            if (type == kUnitPair) s.pairDone = false;
            giveJokers(ua, ub);
            if (r == 8) return 8;
        }
        return 0;
    }
    // Takes a tile of each kind listed and `jokers` jokers, records the unit through
    // MJ_AddHuUnit (a run's joker place and gap as given) and searches on.
    auto unit = [&](int32_t type, std::initializer_list<int32_t> kinds, int32_t jokers,
                    int32_t index, int32_t place, int32_t gap) {
        if (jokers > 0 && !takeJokers(jokers, ua, ub)) {
            giveJokers(ua, ub);
            return 0;
        }
        const int32_t usedA = jokers > 0 ? ua : 0, usedB = jokers > 0 ? ub : 0;
        for (int32_t kind : kinds) --s.c[kind];
        const bool pair = type == kUnitPair;
        if (pair) s.pairDone = true;
        const int32_t r = attempt(
            [&] {
                MJ_AddHuUnit(&s.work, type, index, usedA, usedB, s.indexA, s.indexB, place, gap);
            },
            k);
        if (pair) s.pairDone = false;
        for (int32_t kind : kinds) ++s.c[kind];
        giveJokers(usedA, usedB);
        return r;
    };
    const int32_t n = s.c[k];
    if (n >= 4 && unit(kUnitFour, {k, k, k, k}, 0, k, 0, 0) == 8) return 8;
    if (n >= 3 && unit(kUnitTriplet, {k, k, k}, 0, k, 0, 0) == 8) return 8;
    if (n >= 2 && pool >= 1 && unit(kUnitTriplet, {k, k}, 1, k, 0, 0) == 8) return 8;
    if (n >= 1 && pool >= 2 && unit(kUnitTriplet, {k}, 2, k, 0, 0) == 8) return 8;
    if (!s.pairDone) {
        if (n >= 2 && unit(kUnitPair, {k, k}, 0, k, 0, 0) == 8) return 8;
        if (pool >= 1 && unit(kUnitPair, {k}, 1, k, 0, 0) == 8) return 8;
    }
    if (k < 30) {
        const int32_t v = k % 10;
        if (v >= 1 && v <= 7 && s.c[k + 1] > 0 && s.c[k + 2] > 0 &&
            unit(kUnitRun, {k, k + 1, k + 2}, 0, k, 0, 0) == 8)
            return 8;
        if (v >= 1 && v <= 8 && s.c[k + 1] > 0 && pool >= 1 &&
            unit(kUnitRun, {k, k + 1}, 1, k, 2, 0) == 8)
            return 8;
        if (v >= 1 && v <= 7 && s.c[k + 2] > 0 && pool >= 1 &&
            unit(kUnitRun, {k, k + 2}, 1, k, 1, 0) == 8)
            return 8;
        return 0;
    }
    // Honour runs, where the tile flags allow them: three different winds or the three
    // dragons, then two of them with a joker.
    if (!s.honourRuns) return 0;
    for (const detail::HonourRun& h : detail::kHonourRuns)
        if (s.c[h.a] > 0 && s.c[h.b] > 0 && s.c[h.c] > 0 &&
            unit(kUnitRun, {h.a, h.b, h.c}, 0, h.index, 0, h.gap) == 8)
            return 8;
    for (const detail::HonourJokerRun& h : detail::kHonourJokerRuns)
        if (s.c[h.a] > 0 && s.c[h.b] > 0 && pool >= 1 &&
            unit(kUnitRun, {h.a, h.b}, 1, h.index, h.place, h.gap) == 8)
            return 8;
    return 0;
}

int32_t CMJTableEx::CheckHuCounts(const CountTable& counts, int32_t tile, HuResult* result,
                                  int32_t mask, int32_t chair, bool score,
                                  SevenPairsTry* sevenTry) {
    const int32_t flags = static_cast<int32_t>(RuleFlags());
    if ((flags & kTileFlagNoWinOnDiscard) && (mask & 1)) return 0;
    if ((flags & kTileFlagNoWinRobbingKong) && (mask & 4)) return 0;
    // -1 asks about the hand as it stands; any other id of no kind is no tile at all, from a
    // request or a record gone wrong, and asked about as -1 is, a complete hand would win on
    // it (a self-drawn check takes no copy of it out first).
    if (tile >= 0 && KindIndexOf(tile) < 0) return 0;
    // The tile joins the hand and the jokers leave it, to stand in where the search needs them.
    CountTable copy;
    std::memcpy(copy, counts, sizeof copy);
    int32_t index = 0, jokersB = 0;
    const int32_t jokersA =
        MJ_AddTileTakeJokers(copy, tile, jokerId_, jokerId2_, &index, flags, 0, &jokersB);
    if (MJ_CountFlowers(copy, jokerId_, jokerId2_, flags) > 0) return 0;
    int32_t total = 0;
    for (int k = 0; k < kKinds; ++k) total += copy[k];
    // More tiles than any hand holds (16 dealt, one drawn, one won on) is a state gone wrong,
    // not a hand: split into units it could be declared and paid as a win.
    if (total + MJ_SumJokers(jokersA, jokersB) > kMaxHandTiles) return 0;
    Search s;
    s.chair = chair, s.tile = tile, s.mask = mask, s.score = score;
    s.honourRuns = (flags & kTileFlagHonourRuns) != 0;
    s.work.handType = mask & 7;
    bool wild = true;
    if ((flags & kTileFlagJokers) && jokerId_ >= 0) {
        // As the general win check: a winning joker on another chair's tile only as its own
        // kind (tile flag 0x8), and under 0x8 the jokers tried as their own kind first.
        const bool winJoker = MJ_IsJoker(tile, jokerId_, jokerId2_, flags) != 0;
        const bool restricted = (mask & (kMaskOnDiscard | kMaskRobbingKong)) != 0;
        int32_t heldB = 0;
        const int32_t held = MJ_JokerCounts(counts, jokerId_, jokerId2_, flags, &heldB) + heldB;
        if (flags & kTileFlagJokersNatural) {
            if (winJoker || held >= 1) {
                std::memcpy(s.c, counts, sizeof s.c);
                int32_t i = 0, b = 0;
                MJ_AddTileTakeJokers(s.c, tile, jokerId_, jokerId2_, &i, flags, 1, &b);
                const int32_t r = SearchHu(s, 1);
                if ((winJoker && restricted) || r == 8 || (s.found && !score)) wild = false;
            }
        } else if (winJoker && restricted) {
            return 0;
        }
    }
    if (wild) {
        std::memcpy(s.c, copy, sizeof copy);
        s.poolA = jokersA, s.poolB = jokersB;
        MJ_JokerIndices(jokerId_, jokerId2_, flags, &s.indexA, &s.indexB);
        SearchHu(s, 1);
    }
    bool won = s.found;
    HuResult best = s.best;
    // Seven pairs wins too, when the rules allow it: the claim offers and the win requests ask
    // only this check, so without it a seven-pairs hand, which this game's rule word allows and
    // its scoring pays, would never be offered a win nor have one accepted. Without jokers it
    // needs 12 or 14 tiles, each kind an even number of times, and the full check (most of a
    // wait scan's time) is asked only then.
    if (!won && (mj_.huRule & kRuleSevenPairs)) {
        HuResult seven{};
        bool even = true;
        for (int k = 1; k < kKinds; ++k) even &= (copy[k] & 1) == 0;
        const bool may = (flags & kTileFlagJokers) || ((total == 12 || total == 14) && even);
        const int32_t sevenWon = may ? MJ_HuForceSevenPairs(counts, tile, jokerId_, jokerId2_,
                                                            flags, mj_.huRule, &seven, mask)
                                     : 0;
        if (sevenTry) *sevenTry = {true, sevenWon, seven};
        if (sevenWon) {
            seven.handType |= mask & 7;
            best = seven;
            won = true;
        }
    }
    if (!won) return 0;
    if (result) *result = best;
    return 8;
}

int32_t CMJTableEx::BestHu(int32_t chair, int32_t tile, HuResult* result, int32_t mask) {
    if (!ValidMJ(chair) || !result) return 0;
    CountTable copy;
    std::memcpy(copy, counts_[chair], sizeof copy);
    const int32_t k = KindIndexOf(tile);
    if ((mask & 2) && k >= 0 && copy[k] > 0) --copy[k];
    result->handType = mask & 7;
    int32_t best = 0;
    HuResult bestResult{};
    HuResult local{};
    SevenPairsTry tried;
    if (CheckHuCounts(copy, tile, &local, mask, chair, true, &tried) &&
        !(local.handType & kRuleSevenPairs)) {
        MJ_MergeHuResult(&local, result);
        const int32_t v = ScoreFeatures(chair, tile, &local, mask);
        if (v > 0) best = v, bestResult = local;
    }
    // The entry check tries seven pairs on these same counts when nothing else wins, which is
    // so for most kinds a wait scan asks about: its answer is taken rather than found again.
    HuResult seven = tried.result;
    if (tried.tried
            ? tried.won
            : MJ_HuForceSevenPairs(copy, tile, jokerId_, jokerId2_,
                                   static_cast<int32_t>(RuleFlags()), mj_.huRule, &seven, mask)) {
        MJ_MergeHuResult(&seven, result);
        const int32_t v = ScoreFeatures(chair, tile, &seven, mask);
        if (v > best) best = v, bestResult = seven;
    }
    if (best > 0) *result = bestResult;
    return best;
}

// The pass rule holds here too, where a win is carried out: OnHuRequest takes the request as
// given and counts its chair among those that asked, without the check a win request passes
// first. A request carried out unchecked would otherwise win on a kind its chair let pass since
// its last draw, and be paid by the discarder for it.
int32_t CMJTableEx::WinValue(int32_t chair, int32_t tile, HuResult* result, int32_t mask) {
    if (!ValidMJ(chair) || IsLiable(chair)) return 0;
    if (PassedKind(chair, tile, mask)) return 0;
    return BestHu(chair, tile, result, mask);
}

int32_t CMJTableEx::ScoreFeatures(int32_t chair, int32_t tile, HuResult* r, int32_t mask) {
    if (!ValidMJ(chair) || !r) return 0;
    const bool self = (mask & 2) != 0;
    int32_t total = 0;
    if (IsConcealedSingleWait(chair, tile, r, mask)) {
        addFan(r, kFanSingleWait, kFans[kFanSingleWait].value, total);
        const int32_t owner = ChairOf(tile);
        HuResult other{};
        if (ValidMJ(owner) && IsConcealedSingleWait(owner, tile, &other, mask)) {
            r->tally1[kFanSingleWait] += kFans[kFanSingleWait].value;
            total += kFans[kFanSingleWait].value;
        }
    }
    if ((mj_.huRule & kRuleSevenPairs) && (r->handType & kRuleSevenPairs)) {
        const int32_t fours = MJ_CountFourUnits(r);
        const int fan = fours == 1   ? kFanBigSeven
                        : fours == 2 ? kFanBigBigSeven
                        : fours == 3 ? kFanBiggestSeven
                                     : kFanSevenPairs;
        const int32_t v = kFans[static_cast<size_t>(fan)].value;
        addFan(r, fan, v, total);
        if (!self) r->tally1[fan] = v * 9 / 8, total += v / 8;
    } else if (IsAllTriplets(chair, tile, r, mask)) {
        addFan(r, kFanPengPeng, kFans[kFanPengPeng].value, total);
        if (!self) r->tally1[kFanPengPeng] += 1, total += 1;
    }
    if (IsPureSuit(chair, tile, r, mask)) {
        addFan(r, kFanPure, kFans[kFanPure].value, total);
        if (!self) r->tally1[kFanPure] += 2, total += 2;
    } else if (IsAllHonoursHand(chair, tile, r, mask)) {
        addFan(r, kFanAllHonours, kFans[kFanAllHonours].value, total);
        if (!self) r->tally1[kFanAllHonours] += 2, total += 2;
    }
    if (status_ & kStatusRobAdded)
        addFan(r, kFanRobbing, kFans[kFanRobbing].value, total);
    else if (IsWinAfterGang(chair, tile, r, mask))
        addFan(r, kFanGangFlower, kFans[kFanGangFlower].value, total);
    else if ((mask & 1) && kongFlag_)
        addFan(r, kFanGangCannon, kFans[kFanGangCannon].value, total);
    if (IsLastTileWin(chair, tile, r, mask)) {
        addFan(r, kFanLastTile, kFans[kFanLastTile].value, total);
    } else if ((mask & 1) && IsWallUsedUp()) {
        r->handType |= 0x400000;
        addFan(r, kFanLastDiscard, kFans[kFanLastDiscard].value, total);
    }
    if (IsHeavenlyHand(chair, tile, r, mask))
        addFan(r, kFanHeavenly, kFans[kFanHeavenly].value, total);
    else if (IsEarthlyHand(chair, tile, r, mask))
        addFan(r, self ? kFanEarthly : kFanHuman, kFans[self ? kFanEarthly : kFanHuman].value,
               total);
    if (IsConcealedHand(chair, tile, r, mask))
        addFan(r, kFanConcealed, kFans[kFanConcealed].value, total);
    if (total < 8) {
        r->tally1[kFanPiHu] = kFans[kFanPiHu].value;
        return kFans[kFanPiHu].value;
    }
    return total;
}

// An added kong leaves the hand open through the claimed pung it was built on, which stays in
// the pung list.
int32_t CMJTableEx::IsConcealedHand(int32_t chair, int32_t, HuResult* r, int32_t mask) {
    if (!ValidMJ(chair) || !(mask & 2)) return 0;
    if (!melds_[chair][kPeng].empty() || !melds_[chair][kChi].empty() ||
        !melds_[chair][kMingGang].empty())
        return 0;
    r->handType |= 0x10000000;
    return 0x10000000;
}

int32_t CMJTableEx::IsConcealedSingleWait(int32_t chair, int32_t, HuResult* r, int32_t mask) {
    if (!ValidMJ(chair) || !(mask & 1)) return 0;
    if (CountHeld(chair) != 1 || !melds_[chair][kAnGang].empty()) return 0;
    r->handType |= 0x20000000;
    return 0x20000000;
}

int32_t CMJTableEx::TotalFanPoints(const HuResult& r, int32_t n) const {
    int32_t s = 0;
    for (int k = 0; k < std::min(n, kFanCount); ++k)
        if (r.tally1[k] > 0) s += r.tally1[k];
    return s;
}

// A ready hand waits on whatever kind completes it, wherever that kind's other copies lie: in
// the wall, in another hand, among the discards or in melds. The copy tried for a kind is the
// first in id order that is not the chair's own (in its hand, its melds or its discards). BestHu
// adds the tile to the chair's hand, so a kind of which the chair holds all four copies would be
// won on a fifth that does not exist (5555 beside 123 456 789 of another suit would wait on a 5);
// and the scoring asks which chair the winning tile came from, so the chair's own copy would name
// the chair itself: down to one tile, it would be paid 全求人 twice, once as the winner and
// once more as the chair down to one tile that fed the win.
int32_t CMJTableEx::BestWin(int32_t chair, HuResult* result) {
    if (!ValidMJ(chair) || IsLiable(chair)) return 0;
    const int32_t total = std::max(card_.tileTotal, 0);
    std::vector<uint8_t> own(static_cast<size_t>(total), 0);
    for (int32_t id = 0; id < total; ++id)
        own[static_cast<size_t>(id)] = IsHeldBy(chair, id) || ChairOf(id) == chair;
    for (const auto& list : melds_[chair])
        for (const Meld& m : list)
            for (const int32_t id : m.tiles)
                if (id >= 0 && id < total) own[static_cast<size_t>(id)] = 1;
    int32_t best = 0;
    bool tried[kKinds] = {};
    for (int32_t id = 0; id < total; ++id) {
        const int32_t k = KindIndexOf(id);
        if (k < 0 || k >= kKinds || tried[k] || own[static_cast<size_t>(id)]) continue;
        tried[k] = true;
        HuResult scratch{};
        const int32_t v = BestHu(chair, id, &scratch, 1);
        if (v > best) {
            best = v;
            if (result) *result = scratch;
        }
    }
    return best;
}

int32_t CMJTableEx::RotateCounters(int32_t chair) {
    if (chair < 0 || chair > 3) return -1;
    const int32_t m = *std::max_element(std::begin(rotation_), std::end(rotation_));
    rotation_[chair] = rotation_[chair] == m ? m + 1 : m;
    for (int c = 0; c < 4; ++c)
        if (rotation_[c] == m - 2) {
            rotation_[c] = 0;
            return c;
        }
    return -1;
}

// --- Settlement ----------------------------------------------------------------------------

int32_t CMJTableEx::SettleWinPoints(int32_t* record, int32_t a, int32_t b, int32_t* points) {
    const int n = chairCount_;
    for (int c = 0; c < n; ++c) points[c] = 0;
    int32_t winnerCount = 0;
    for (int c = 0; c < n; ++c) winnerCount += winValue_[c] > 0;
    if (!(mode_ & 2) && winnerCount > 0) {
        if (mode_ & 0x2000000) {
            // A self-drawn win: every other chair loses p and the winner gains what they lose,
            // (n - 1) x p, which is 3 x p at this game's four chairs. A fixed 3 x p would make
            // points from nothing at a table of another size, and the zero-sum check below
            // would then take the whole deal, the winner's points with it, away.
            for (int w = 0; w < n; ++w) {
                if (winValue_[w] <= 0) continue;
                const int32_t p = TotalFanPoints(hu_[w]);
                for (int c = 0; c < n; ++c)
                    if (c != w) points[c] -= p, points[w] += p;
            }
        } else if (ValidMJ(loser_)) {
            for (int w = 0; w < n; ++w) {
                if (winValue_[w] <= 0 || w == loser_) continue;
                const int32_t p = TotalFanPoints(hu_[w]);
                points[w] += p;
                points[loser_] -= p;
            }
        }
        if (RuleFlags() & 0x80000u) SettleLiability(record, a, b, points);
    }
    SettleKongs(record, a, b, points);
    SettleStep(record, a, b, points);
    int64_t sum = 0;
    for (int c = 0; c < n; ++c) sum += points[c];
    if (sum != 0) {
        Log("错误的记分错误，记分总和不为0!");
        for (int c = 0; c < 4; ++c)
            Log("nWinPoints[" + std::to_string(c) + "]:" + std::to_string(c < n ? points[c] : 0));
        LogGameInfo();
        for (int c = 0; c < n; ++c) points[c] = 0;
    }
    return 0;
}

int32_t CMJTableEx::SettleLiability(int32_t* record, int32_t, int32_t, int32_t* points) {
    const int n = chairCount_;
    bool mark[kMJChairs][kMJChairs] = {};
    int32_t liable = -1;
    int32_t winnerCount = 0;
    for (int w = 0; w < n; ++w) winnerCount += winValue_[w] > 0;
    if (winnerCount == 0) return -1;
    for (int f = 0; f < n; ++f)
        for (int w = 0; w < n; ++w)
            if (f != w && winValue_[w] > 0 && pungFeed_[f][w] + kongFeed_[f][w] >= 3)
                mark[f][w] = true, liable = f;
    const bool self = (mode_ & 0x2000000) != 0;
    const int32_t winner = firstWinner_;
    if (liable >= 0 && !self) {
        for (int f = 0; f < n; ++f)
            for (int w = 0; w < n; ++w)
                if (mark[f][w] && points[w] > 0) {
                    // The feeder pays the winner's points once more, on top of the discarder.
                    points[f] -= points[w];
                    points[w] *= 2;
                }
    } else if (liable >= 0 && self && ValidMJ(winner)) {
        for (int f = 0; f < n; ++f)
            if (mark[f][winner]) {
                for (int c = 0; c < n; ++c)
                    if (c != winner) points[c] = 0;
                points[f] = -points[winner];
            }
    }
    if (self && ValidMJ(winner) && hu_[winner].tally1[kFanGangFlower] > 0 && ValidMJ(kongFeeder_) &&
        kongFeeder_ != winner) {
        if (record) record[696 / 4] = UserIdAt(kongFeeder_);
        if (liable < 0) {
            for (int c = 0; c < n; ++c)
                if (c != winner) points[c] = 0;
            points[kongFeeder_] = -points[winner];
            return -1;
        }
        points[kongFeeder_] -= points[winner];
        points[winner] *= 2;
    }
    if (liable >= 0 && record) record[696 / 4] = UserIdAt(liable);
    return liable;
}

int32_t CMJTableEx::SettleKongs(int32_t*, int32_t, int32_t, int32_t* points) {
    const int n = chairCount_;
    for (int c = 0; c < n; ++c) {
        const int32_t concealed = static_cast<int32_t>(melds_[c][kAnGang].size()) + kongUnits_[c];
        // Each concealed kong and kong score unit: every chair, the owner included, pays 1 and
        // the owner takes n, netting what the others paid (3 at four chairs). A fixed 4 would
        // not balance at another table size, and the zero-sum check would clear the deal.
        for (int32_t k = 0; k < concealed; ++k) {
            points[c] += n;
            for (int o = 0; o < n; ++o) points[o] -= 1;
        }
        for (const auto& m : melds_[c][kMingGang])
            if (ValidMJ(m.source) && m.source != c) points[c] += 1, points[m.source] -= 1;
        // An added kong is paid by the chair its pung was claimed from: the first pung of c of
        // the kong's kind names it; a kong without one pays nothing.
        const auto& added = melds_[c][kBuGang];
        for (size_t k = 0; k < added.size(); ++k) {
            int32_t src = -1;
            for (const auto& pung : melds_[c][kPeng])
                if (IsSameKind(pung.tiles[0], added[k].tiles[0])) {
                    src = pung.source;
                    break;
                }
            if (!ValidMJ(src) || src == c) continue;
            const int32_t units = 1 + (k < 4 ? addedExtra_[c][k] : 0);
            points[c] += units;
            points[src] -= units;
        }
    }
    return 1;
}

void CMJTableEx::LogGameInfo() const {
    Log("LogGameInfo......start!");
    char line[512];
    if (chairCount_ == 3) {
        std::snprintf(line, sizeof line, "Player0:%d,Player1:%d,Player2:%d", UserIdAt(0),
                      UserIdAt(1), UserIdAt(2));
        Log(line);
    } else if (chairCount_ == 4) {
        std::snprintf(line, sizeof line, "Player0:%d,Player1:%d,Player2:%d,player3:%d", UserIdAt(0),
                      UserIdAt(1), UserIdAt(2), UserIdAt(3));
        Log(line);
    }
    Log("m_dwStatus:" + std::to_string(static_cast<int32_t>(status_)));
    Log("m_nCurrentChair:" + std::to_string(currentChair_) + ",");
    Log("m_nJokerID:" + std::to_string(jokerId_) + ",m_nJokerID2:" + std::to_string(jokerId2_));
    std::string w = "m_WaitOPE:", p = "m_Pass:", f = "m_dwPGCHFlags:";
    for (int c = 0; c < chairCount_; ++c) {
        w += std::to_string(waitOpe_[c]) + " ";
        p += std::to_string(passed_[c]) + " ";
        f += std::to_string(pgch_[c]) + " ";
    }
    Log(w), Log(p), Log(f);
    for (int c = 0; c < chairCount_; ++c) {
        Log("chairno:" + std::to_string(c) + "'s Cards:");
        std::string hand = "LayInHands:";
        for (int k = 0; k < 49; ++k) hand += std::to_string(counts_[c][k]);
        Log(hand);
        std::string units = "LayDownUnit";
        for (const auto& m : melds_[c][kPeng]) units += "碰" + std::to_string(m.tiles[2]) + ",";
        for (const auto& m : melds_[c][kChi]) units += "吃" + std::to_string(m.tiles[2]) + ",";
        for (const auto& m : melds_[c][kAnGang]) units += "暗杠" + std::to_string(m.tiles[3]) + ",";
        for (const auto& m : melds_[c][kMingGang])
            units += "明杠" + std::to_string(m.tiles[3]) + ",";
        for (const auto& m : melds_[c][kBuGang]) units += "碰杠" + std::to_string(m.tiles[3]) + ",";
        Log(units);
    }
    Log("LogGameInfo......end!");
}

// --- Units and melds --------------------------------------------------------------------------

int32_t CMJTableEx::Negate(int32_t v) const {
    size_t m = 0;
    for (int c = 0; c < chairCount_; ++c) m = std::max(m, flowers_[c].size());
    const int64_t times = m == 8 ? 15 : m == 7 ? 10 : static_cast<int64_t>(m) + 1;
    return static_cast<int32_t>(std::clamp<int64_t>(-times * v, INT32_MIN, INT32_MAX));
}

int32_t CMJTableEx::CountFourUnits(const HuResult& r) {
    return MJ_CountFourUnits(&r);
}

int32_t CMJTableEx::CountRunUnits(const HuResult& r) {
    const int n = std::clamp(r.unitCount, 0, kMaxHuUnits);
    return static_cast<int32_t>(
        std::count_if(r.units, r.units + n, [](const HuUnit& u) { return u.type == kUnitRun; }));
}

int32_t CMJTableEx::CountKongs(int32_t chair) const {
    if (!ValidMJ(chair)) return 0;
    int32_t n = 0;
    for (MeldList l : {kMingGang, kAnGang, kBuGang}) {
        const int32_t k = static_cast<int32_t>(melds_[chair][l].size());
        if (k > 0) n += k;
    }
    return n;
}

void CMJTableEx::SortAscending(int32_t* values, int32_t n) {
    if (!values) return;
    for (int32_t i = 0; i < n; ++i)
        for (int32_t j = i + 1; j < n; ++j)
            if (values[j] < values[i]) std::swap(values[i], values[j]);
}

// A pung stays in the pung list under the added kong built on it (the kong's four tiles hold
// its three): counted with the kong's, it would make one kong seven tiles of a kind, or two
// triplets of a win. The kong alone stands for both.
bool CMJTableEx::UnderAddedKong(int32_t chair, const Meld& pung) const {
    return HasAddedGangOf(chair, pung.tiles, 3);
}

int32_t CMJTableEx::HeldWithMelds(int32_t chair, int32_t* out) const {
    if (!out) return 0;
    std::fill(out, out + kKinds, 0);
    if (!ValidMJ(chair)) return 0;
    std::copy(counts_[chair], counts_[chair] + kKinds, out);
    for (const auto& list : melds_[chair])
        for (const Meld& m : list) {
            if (&list == &melds_[chair][kPeng] && UnderAddedKong(chair, m)) continue;
            for (int32_t id : m.tiles) {
                const int32_t k = KindIndexOf(id);
                if (k >= 0) ++out[k];
            }
        }
    return SumInts(out, kKinds);
}

int32_t CMJTableEx::UnitsFromMelds(int32_t chair, HuResult* result, int32_t flags) const {
    if (!ValidMJ(chair) || !result) return 0;
    const int32_t before = std::clamp(result->unitCount, 0, kMaxHuUnits);
    auto triplets = [&](MeldList l) {
        for (const Meld& m : melds_[chair][l]) {
            if (l == kPeng && UnderAddedKong(chair, m)) continue;
            const int32_t k = KindIndexOf(m.tiles[0]);
            MJ_AddUnitTiles(result, kUnitTriplet, k, k, k, 0);
        }
    };
    if (flags & 2) triplets(kAnGang);
    triplets(kPeng);
    triplets(kMingGang);
    triplets(kBuGang);
    for (const Meld& m : melds_[chair][kChi]) {
        int32_t k[3] = {KindIndexOf(m.tiles[0]), KindIndexOf(m.tiles[1]), KindIndexOf(m.tiles[2])};
        SortAscending(k, 3);
        MJ_AddUnitTiles(result, kUnitRun, k[0], k[1], k[2], 0);
    }
    return std::clamp(result->unitCount, 0, kMaxHuUnits) - before;
}

bool CMJTableEx::SameUnit(const HuUnit& a, const HuUnit& b) {
    if (a.type != b.type) return false;
    if (a.type == kUnitRun) {
        int32_t x[3] = {a.tiles[0], a.tiles[1], a.tiles[2]};
        int32_t y[3] = {b.tiles[0], b.tiles[1], b.tiles[2]};
        SortAscending(x, 3);
        SortAscending(y, 3);
        return std::equal(x, x + 3, y);
    }
    if (a.type == kUnitTriplet || a.type == kUnitPair || a.type == kUnitFour)
        return a.tiles[0] == b.tiles[0];
    return false;
}

int32_t CMJTableEx::PassCount(int32_t chair, int32_t kind) const {
    return ValidMJ(chair) && kind >= 0 && kind < 49 ? pass_[chair][kind] : 0;
}
int32_t CMJTableEx::PungFeed(int32_t from, int32_t to) const {
    return ValidMJ(from) && ValidMJ(to) ? pungFeed_[from][to] : 0;
}
int32_t CMJTableEx::KongFeed(int32_t from, int32_t to) const {
    return ValidMJ(from) && ValidMJ(to) ? kongFeed_[from][to] : 0;
}
int32_t CMJTableEx::ClaimedFrom(int32_t chair, int32_t k) const {
    return ValidMJ(chair) && k >= 0 && k < 4 ? claimedFrom_[chair][k] : -1;
}

}  // namespace hqlv::rules
