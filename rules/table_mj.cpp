#include "rules/table_mj.h"

#include <algorithm>
#include <cstring>

#include "rules/claims.h"
#include "rules/common.h"
#include "rules/waits.h"

namespace hqlv::rules {

namespace {

const std::vector<Meld> kNoMelds;
const std::vector<int32_t> kNoIds;
const HuResult kNoResult{};

}  // namespace

CMJTable::CMJTable(const TableConfig& config, const CardConfig& card, const MJConfig& mj,
                   TableHooks hooks)
    : CCardTable(config, card, std::move(hooks)), mj_(mj) {
    // The per-chair state of the mahjong levels has room for four chairs.
    if (chairCount_ > kMJChairs) {
        Log("table: a mahjong table seats at most 4 chairs, not " + std::to_string(chairCount_));
        chairCount_ = kMJChairs;
        config_.chairCount = kMJChairs;
    }
    // The tile callbacks of this game are the defaults of the tile model.
    MJ_SetTileCallbacks(MJ_DefaultTileCallbacks());
    ResetMJ(true);
}

CMJTable::~CMJTable() = default;

void CMJTable::Reset(bool full) {
    CCardTable::Reset(full);
    ResetMJ(full);
}

void CMJTable::ResetMJ(bool full) {
    if (full) {
        startFlagWord_ = 0;
        bankerStreak_ = 1;
    }
    jokerId2_ = -1;
    tilesDrawn_ = tailDraws_ = headPos_ = 0;
    std::fill(std::begin(pgch_), std::end(pgch_), 0);
    std::fill(std::begin(sole_), std::end(sole_), 0);
    std::fill(std::begin(jokerDiscards_), std::end(jokerDiscards_), 0);
    std::fill(std::begin(draws_), std::end(draws_), 0);
    std::fill(std::begin(winValue_), std::end(winValue_), 0);
    std::memset(pengM_, 0, sizeof pengM_);
    std::memset(chiM_, 0, sizeof chiM_);
    std::memset(gangM_, 0, sizeof gangM_);
    std::memset(hu_, 0, sizeof hu_);
    std::fill(std::begin(huAsked_), std::end(huAsked_), 0);
    pendingTile_ = pendingDeclarer_ = pendingOwner_ = -1;
    pendingTick_ = 0;
    jokerLockChair_ = -1;
    jokerLockCount_ = 0;
    gangDraws_ = 0;
    for (int c = 0; c < kMJChairs; ++c) {
        for (auto& l : melds_[c]) l.clear();
        discards_[c].clear();
        flowers_[c].clear();
    }
    loser_ = firstWinner_ = winTile_ = -1;
    winners_ = 0;
    status_ &= ~0xE0u;
}

int32_t CMJTable::CanStart() {
    tilesDrawn_ = chairCount_ * TilesPerChair() + 1;
    headPos_ = card_.tileTotal > 0 ? (tilesDrawn_ + wallStart_) % card_.tileTotal : 0;
    return 1;
}

void CMJTable::RollDice() {
    RollTwoDice(&dice_[0], &dice_[1], 0);
    if (RuleFlags() & 0x10000000u)
        RollTwoDice(&dice_[2], &dice_[3], 1);
    else
        dice_[2] = dice_[3] = 0;
}

int32_t CMJTable::StartGame(int32_t* outChair, const GameParams& params) {
    const int32_t r = CCardTable::StartGame(outChair, params);
    startFlagWord_ = 0;
    for (int c = 0; c < chairCount_; ++c) startFlagWord_ |= (startFlags_[c] & 1);
    return r;
}

int32_t CMJTable::FillResultRecord(int32_t* record, int32_t bytes, int32_t a, int32_t b) {
    if (!record || bytes < 832) return 0;
    for (int c = 0; c < chairCount_; ++c) {
        record[580 / 4 + c] = static_cast<int32_t>(melds_[c][kMingGang].size());
        record[596 / 4 + c] = static_cast<int32_t>(melds_[c][kAnGang].size());
        record[612 / 4 + c] = static_cast<int32_t>(melds_[c][kBuGang].size());
        record[628 / 4 + c] = static_cast<int32_t>(flowers_[c].size());
        record[644 / 4 + c] = winValue_[c];
        record[660 / 4 + c] = winValue_[c] > 0 ? 1 : 0;
    }
    record[676 / 4] = loser_;
    record[680 / 4] = firstWinner_;
    record[684 / 4] = winTile_;
    record[688 / 4] = bankerStreak_;
    record[700 / 4] = winners_;
    record[692 / 4] = NextBankerChair(record, a);
    // The settlement names the liable user when there is one; none is left from a record used
    // before.
    record[696 / 4] = 0;
    return CCardTable::FillResultRecord(record, bytes, a, b);
}

int32_t CMJTable::ChooseBankerChair() {
    return dealsPlayed_ == 1 ? RandomBelow(chairCount_) : banker_;
}

int32_t CMJTable::NextBanker(const int32_t* record, int32_t value) {
    CountBankerStreak(record, value);
    return record ? record[692 / 4] : banker_;
}

// The points of a win are given by a later level's settlement step; the liable chair then
// pays them all.
int32_t CMJTable::SettleWinPoints(int32_t* record, int32_t a, int32_t b, int32_t* points) {
    if (!(mode_ & 2) && winners_ > 0) {
        SettleStep(record, a, b, points);
        if (RuleFlags() & 0x80000u) FindLiableChair(record, points);
    }
    SettleKongs(record, a, b, points);
    return 0;
}

int32_t CMJTable::IsFriend(int32_t, int32_t, int32_t) const {
    if ((mode_ & 2) || winners_ <= 0 || !ValidMJ(banker_)) return 0;
    return winValue_[banker_] > 0 ? 1 : 0;
}

// Points times the base stake into the score totals (saturated), times the stake into the
// silver changes, in 64 bits: those are capped by the holdings before they are narrowed.
void CMJTable::ScaleResults(const int32_t* points, int32_t* scoreOut, int64_t* stakeOut) const {
    for (int c = 0; c < chairCount_; ++c) {
        int64_t s = int64_t{scoreOut[c]} + int64_t{points[c]} * baseStake_;
        scoreOut[c] = static_cast<int32_t>(std::clamp<int64_t>(s, INT32_MIN, INT32_MAX));
        if (stake_ > 0) stakeOut[c] += int64_t{points[c]} * stake_;
    }
}

int32_t CMJTable::WallStartPosition() {
    const int32_t d = DiceSum(), n = chairCount_, t = card_.tileTotal;
    if (t <= 0) return 0;
    return (((banker_ - d % n + n) * (t / n) + 2 * d) % t + t) % t;
}

int32_t CMJTable::JokerPosition() {
    if (!(RuleFlags() & kTileFlagJokers) || card_.tileTotal <= 0) return -1;
    const int32_t t = card_.tileTotal;
    return ((wallStart_ - 2 * DiceSum()) % t + t) % t;
}

int32_t CMJTable::JokerTile() {
    if (!(RuleFlags() & kTileFlagJokers) || jokerPos_ < 0) return -1;
    const int32_t id = TileAt(jokerPos_);
    return (RuleFlags() & 2) ? NextKindTile(id) : id;
}

void CMJTable::DealCards() {
    const int32_t total = static_cast<int32_t>(tiles_.size());
    if (total == 0 || !ValidMJ(dealingChair_)) return;
    int32_t p = wallStart_;
    auto take = [&](int32_t chair, int n) {
        for (int k = 0; k < n; ++k, ++p) {
            const int32_t pos = (p % total + total) % total;
            tiles_[static_cast<size_t>(pos)].status = kTileHeld;
            tiles_[static_cast<size_t>(pos)].chair = chair;
            IncrementKindAt(chair, pos);
        }
    };
    const int32_t per = TilesPerChair();
    if (per == 13) {
        for (int pass = 0; pass < 3; ++pass)
            for (int32_t c = dealingChair_, k = 0; k < chairCount_; ++k, c = NextChair(c))
                take(c, 4);
        take(dealingChair_, 2);
        for (int32_t c = NextChair(dealingChair_); c != dealingChair_; c = NextChair(c)) take(c, 1);
    } else if (per == 16) {
        for (int pass = 0; pass < 4; ++pass)
            for (int32_t c = dealingChair_, k = 0; k < chairCount_; ++k, c = NextChair(c))
                take(c, 4);
        take(dealingChair_, 1);
    }
}

bool CMJTable::IsJokerKind(int32_t tileId) const {
    return MJ_IsJoker(tileId, jokerId_, jokerId2_, static_cast<int32_t>(RuleFlags())) != 0;
}

int32_t CMJTable::ShapeOf(int32_t tileId) const {
    return MJ_GetTileCallbacks().Shape(tileId, static_cast<int32_t>(RuleFlags()));
}

int32_t CMJTable::ValueOf(int32_t tileId) const {
    return MJ_GetTileCallbacks().Value(tileId, static_cast<int32_t>(RuleFlags()));
}

int32_t CMJTable::AdvanceTurn() {
    SwitchActiveChair(NextChair(currentChair_));
    return currentChair_;
}

bool CMJTable::IsBidTimeOver() const {
    return Now() - turnTick_ > static_cast<uint32_t>(card_.bidSeconds + 2) * 1000u;
}

// A hand is not copied once the deal is over.
int32_t CMJTable::CopyHand(const int32_t* from, int32_t* to) const {
    if (!IsNotOver()) return 0;
    return CCardTable::CopyHand(from, to);
}

int32_t CMJTable::FillClaimDefaults(ClaimDefaults* record) const {
    if (!record) return 0;
    FillMinusOne(record->tiles, 64);
    record->marks[0] = record->marks[1] = 1;
    record->tiles[0] = FirstHeld(record->chair);
    return 1;
}

static_assert(mj_state::kMelds + 4 * mj_state::kChairListBytes + 4 * 7 * 4 ==
              mj_state::kPengMatrix);
static_assert(mj_state::kWinners + 4 == kMJStateBytes);

int32_t CMJTable::FillTableState(int32_t* record, int32_t bytes, int32_t chair, bool skipHeld) {
    if (!CCardTable::FillTableState(record, bytes, chair, skipHeld)) return 0;
    using namespace mj_state;
    auto put = [record](int offset, int32_t v) { record[offset / 4] = v; };
    put(kTilesDrawn, tilesDrawn_);
    put(kTailDraws, tailDraws_);
    put(kHeadPos, headPos_);
    put(kGangDraws, gangDraws_);
    put(kPendingTile, pendingTile_);
    put(kPendingDeclarer, pendingDeclarer_);
    put(kPendingOwner, pendingOwner_);
    put(kPendingTick, static_cast<int32_t>(pendingTick_));
    put(kJokerLockChair, jokerLockChair_);
    put(kJokerLockCount, jokerLockCount_);
    for (int c = 0; c < kMJChairs; ++c) {
        record[kClaimFlags / 4 + c] = pgch_[c];
        record[kSoleFlags / 4 + c] = sole_[c];
        record[kJokerDiscards / 4 + c] = jokerDiscards_[c];
        record[kDraws / 4 + c] = draws_[c];
        record[kWinValues / 4 + c] = winValue_[c];
        for (int d = 0; d < kMJChairs; ++d) {
            record[kPengMatrix / 4 + 4 * c + d] = pengM_[c][d];
            record[kChiMatrix / 4 + 4 * c + d] = chiM_[c][d];
            record[kGangMatrix / 4 + 4 * c + d] = gangM_[c][d];
        }
    }
    CopyMelds(record + kMelds / 4);
    put(kJokerId2, jokerId2_);
    put(kBankerStreak, bankerStreak_);
    put(kStartFlagWord, startFlagWord_);
    put(kWinners, winners_);
    return 1;
}

// --- Records -----------------------------------------------------------------------------

int32_t CMJTable::FillGameRecord(int32_t* r, int32_t bytes, int32_t chair) {
    if (!r || bytes < kGameRecordWords * 4) return 0;
    for (size_t k = 0; k < 8; ++k) {
        int32_t w = 0;
        for (size_t b = 0; b < 4; ++b) {
            const size_t i = k * 4 + b;
            const uint8_t ch = i < gameIdText_.size() ? static_cast<uint8_t>(gameIdText_[i]) : 0;
            w |= static_cast<int32_t>(static_cast<uint32_t>(ch) << (8 * b));
        }
        r[k] = w;
    }
    r[8] = dealsPlayed_;
    r[9] = stake_;
    r[10] = baseStake_;
    r[11] = banker_;
    r[12] = bankerStreak_;
    r[13] = currentChair_;
    r[14] = static_cast<int32_t>(status_);
    r[15] = 0;
    r[16] = dealingChair_;
    r[17] = firstChair_;
    r[18] = mj_.claimSeconds;
    r[19] = mj_.furtherTime;
    r[20] = allFlags_[0];
    r[21] = allFlags_[1];
    r[22] = allFlags_[2];
    for (int k = 0; k < 4; ++k) r[23 + k] = dice_[k];
    r[27] = startFlagWord_;
    r[28] = (RuleFlags() & 0x100u) ? 0 : 1;
    r[29] = (RuleFlags() & 0x20000000u) ? 1 : 0;
    r[30] = (RuleFlags() & 0x40000000u) ? 1 : 0;
    r[31] = (RuleFlags() & 0x80000000u) ? 1 : 0;
    r[32] = wallStart_;
    r[33] = jokerPos_;
    r[34] = jokerId_;
    r[35] = jokerId2_;
    r[36] = jokerPos_ >= 0 ? TileAt(jokerPos_) : -1;
    r[37] = headPos_;
    r[38] = tailDraws_;
    r[39] = mj_.claimSeconds;
    r[40] = 2;
    for (int k = 41; k < kGameRecordWords; ++k) r[k] = 0;
    // Word 15 is the claim the record's own chair may make at the deal's start: the client of
    // the first mover offers the win from it. Only the banker holds a full hand then, so the
    // 8 of a winning hand goes into the banker's record alone. Each chair's record goes to
    // that chair's player and the lookers-on beside him: an 8 in the others would tell them
    // that the banker's concealed hand is already complete, which nothing else of theirs may
    // show, and their clients would offer nothing from it.
    if (IsPlaying() && ValidMJ(chair) && chair == banker_ &&
        CanSelfHu(chair, FirstHeld(chair)) != 0)
        r[15] = 8;
    return 1;
}

void CMJTable::CopyMelds(int32_t* record) const {
    constexpr int kChairWords = 1128 / 4;
    for (int c = 0; c < kMJChairs; ++c) {
        int32_t* base = record + c * kChairWords;
        std::fill(base, base + kChairWords, -1);
        for (int l = 0; l < 5; ++l) {
            const auto& list = c < chairCount_ ? melds_[c][l] : kNoMelds;
            for (size_t m = 0; m < list.size() && m < 6; ++m) {
                int32_t* u = base + l * 42 + static_cast<int>(m) * 7;
                std::copy(list[m].tiles, list[m].tiles + 4, u);
                u[4] = list[m].source;
                u[5] = list[m].spare[0];
                u[6] = list[m].spare[1];
            }
        }
        const auto& d = c < chairCount_ ? discards_[c] : kNoIds;
        const auto& f = c < chairCount_ ? flowers_[c] : kNoIds;
        for (size_t k = 0; k < d.size() && k < 36; ++k) base[210 + k] = d[k];
        for (size_t k = 0; k < f.size() && k < 36; ++k) base[246 + k] = f[k];
        int32_t* counts = record + 4 * kChairWords + c * 7;
        for (int l = 0; l < 5; ++l)
            counts[l] = c < chairCount_
                            ? static_cast<int32_t>(std::min<size_t>(melds_[c][l].size(), 6))
                            : 0;
        counts[5] = static_cast<int32_t>(std::min<size_t>(d.size(), 36));
        counts[6] = static_cast<int32_t>(std::min<size_t>(f.size(), 36));
    }
}

int32_t CMJTable::NextBankerChair(const int32_t* record, int32_t) {
    if (mode_ & 2) return NextChair(banker_);
    if (!record || record[700 / 4] == 0) return 0;
    if (!ValidMJ(banker_) || winValue_[banker_] <= 0) return NextChair(banker_);
    return banker_;
}

int32_t CMJTable::CountBankerStreak(const int32_t* record, int32_t) {
    const int32_t next = record ? record[692 / 4] : banker_;
    bankerStreak_ = next != banker_ ? 1 : bankerStreak_ + 1;
    return bankerStreak_;
}

int32_t CMJTable::CountJokersHeld(int32_t chair) const {
    if (!ValidMJ(chair)) return 0;
    int32_t b = 0;
    const int32_t a =
        MJ_JokerCounts(counts_[chair], jokerId_, jokerId2_, static_cast<int32_t>(RuleFlags()), &b);
    return a + b;
}

bool CMJTable::IsFlowerTile(int32_t tile) const {
    return MJ_IsFlower(tile, jokerId_, jokerId2_, static_cast<int32_t>(RuleFlags())) != 0;
}

int32_t CMJTable::NextKindTile(int32_t id) const {
    switch (id) {
        case 35:
            return 0;
        case 71:
            return 36;
        case 107:
            return 72;
        case 111:
        case 118:
        case 125:
        case 132:
            return 108;
        case 114:
        case 121:
        case 128:
        case 135:
            return 112;
        default:
            return id + 1;
    }
}

// --- The turn ------------------------------------------------------------------------------

void CMJTable::AfterReplacementDue() {
    ClearStatusBits(0x60);
    if (ReplacementPassesTurn()) {
        ClearStatusBits(0x100);
        SetStatusBits(0x400);
    } else {
        ClearStatusBits(0x400);
        SetStatusBits(0x180);
    }
}

int32_t CMJTable::PassTurnAfterMeld(int32_t chair) {
    return GiveTurn(ReplacementPassesTurn() ? NextChair(chair) : chair);
}

bool CMJTable::IsTurnTimeOver(int32_t, int32_t* elapsed) const {
    const int32_t e = Elapsed(turnTick_);
    if (elapsed) *elapsed = e;
    return e > (mj_.claimSeconds + 2) * 1000;
}

bool CMJTable::IsClaimWindowOver(int32_t discarder) {
    if (!IsNotOver()) return false;
    if (Elapsed(removalTick_) >= mj_.claimSeconds * 1000 - 500) return true;
    // The discarder never has flags on its own tile; every other chair may still claim, the
    // one that played before the discarder too: passing over its flags would close the window
    // on a claim it was offered and never answered.
    for (int c = 0; c < chairCount_; ++c)
        if (c != discarder && pgch_[c]) return false;
    return true;
}

bool CMJTable::IsWallUsedUp() const {
    return tilesDrawn_ + tailDraws_ >= card_.tileTotal;
}

int32_t CMJTable::DrawTile(int32_t chair) {
    gangDraws_ = 0;
    ClearGangState();
    ClearClaimFlags();
    std::fill(std::begin(huAsked_), std::end(huAsked_), 0);
    if (!ValidMJ(chair) || IsWallUsedUp()) return -1;
    // The head steps over the tiles gone from the wall before it is compared with the joker's
    // place, not after. Compared first, a joker's tile already gone (a draw from the tail that
    // steps over the joker's place takes it out) would be answered draw after draw with the
    // head never moving, and a burn meant for it would take the next real tile unseen; and a
    // step landing on the joker's place would draw the joker's tile, which is never drawn.
    if (!HeadOnWallTile()) return -1;
    // The joker's tile is not drawn: the draw is counted and its place returned, the head left
    // on it (burning the head tile takes it out of the way).
    if (headPos_ == jokerPos_) {
        ++draws_[chair];
        return jokerPos_;
    }
    const int32_t total = static_cast<int32_t>(tiles_.size());
    TileRecord& t = tiles_[static_cast<size_t>(headPos_)];
    if (t.id < 0) return -1;
    t.status = kTileHeld;
    t.chair = chair;
    IncrementKindAt(chair, headPos_);
    ++tilesDrawn_;
    ++draws_[chair];
    const int32_t drawn = headPos_;
    headPos_ = (headPos_ + 1) % total;
    return drawn;
}

// The head steps over the tiles no longer in the wall (a tile is never taken twice), however
// many lie together (a tail draw over the joker's place takes two), once round the wall at
// most: a draw is refused only when no tile is left in the wall.
bool CMJTable::HeadOnWallTile() {
    const int32_t total = static_cast<int32_t>(tiles_.size());
    if (total == 0) return false;
    for (int guard = 0; guard < total; ++guard) {
        if (tiles_[static_cast<size_t>(headPos_)].status == kTileInWall) return true;
        headPos_ = (headPos_ + 1) % total;
    }
    return false;
}

// The head tile, the joker's among them, is put out of play unseen.
int32_t CMJTable::BurnHeadTile() {
    if (IsWallUsedUp() || !HeadOnWallTile()) return -1;
    const int32_t total = static_cast<int32_t>(tiles_.size());
    TileRecord& t = tiles_[static_cast<size_t>(headPos_)];
    t.status = kTilePlayed;
    ++tilesDrawn_;
    headPos_ = (headPos_ + 1) % total;
    return t.id;
}

int32_t CMJTable::DrawFromTail(int32_t chair) {
    if (!ValidMJ(chair) || IsWallUsedUp()) return -1;
    const int32_t total = static_cast<int32_t>(tiles_.size());
    int32_t skipped = 0;
    int32_t p = MJ_NextTailWallPos(wallStart_, jokerPos_, total, &tailDraws_, &skipped);
    if (p < 0) return -1;
    if (skipped && jokerPos_ >= 0) {
        TileRecord& j = tiles_[static_cast<size_t>(jokerPos_)];
        if (j.status == kTileInWall) j.status = kTilePlayed, j.chair = chair;
    }
    // A tile already taken is never taken twice: the next tile still in the wall is used.
    for (int guard = 0; guard < total; ++guard) {
        if (tiles_[static_cast<size_t>(p)].status == kTileInWall && p != jokerPos_) break;
        p = (p + 1) % total;
        if (guard == total - 1) return -1;
    }
    TileRecord& t = tiles_[static_cast<size_t>(p)];
    t.status = kTileHeld;
    t.chair = chair;
    IncrementKindAt(chair, p);
    ++draws_[chair];
    return t.id;
}

bool CMJTable::IsSoleClaimant(int32_t chair, int32_t discarder) const {
    if (!ValidMJ(chair) || chair == discarder || !pgch_[chair]) return false;
    for (int c = 0; c < chairCount_; ++c)
        if (c != chair && c != discarder && pgch_[c]) return false;
    return !(pgch_[chair] & 4) || chair == NextChair(discarder);
}

// A tile the chair does not hold is no discard: put in its discards and offered to the
// others, it would be a tile of the wall or of another hand played by a chair that never had it.
void CMJTable::Discard(int32_t chair, const int32_t* ids, int32_t n) {
    if (!ValidMJ(chair) || !ids || n < 1 || !IsHeldBy(chair, ids[0])) return;
    gangDraws_ = 0;
    const int32_t tile = ids[0];
    std::fill(std::begin(huAsked_), std::end(huAsked_), 0);
    CCardTable::Discard(chair, ids, 1);
    discards_[chair].push_back(tile);
    if (IsJokerKind(tile))
        CountJokerDiscard(chair, tile);
    else
        ReleaseJokerLock(chair, tile);
    HuResult scratch;
    for (int c = 0; c < chairCount_; ++c) {
        if (c == chair) {
            // The discarder is offered nothing on its own tile, though its hand may pung it or
            // win on it: the checks of a pung, chow, exposed kong and win on a discard refuse a
            // chair its own. Flags set for it would stand in the table state as offers it can
            // never take, and the claim waiting (OthersMayStillHu, OthersMayStillClaim), which
            // passes over the requester alone, would hold every pung and chow on the tile for
            // the whole claim time.
            pgch_[c] = 0;
            continue;
        }
        pgch_[c] = OperationFlags(c, tile, &scratch, c == NextChair(chair) ? 0xF : 0xB);
    }
    for (int c = 0; c < chairCount_; ++c)
        if (IsSoleClaimant(c, chair)) sole_[c] |= 0x20;
}

// --- Request checks --------------------------------------------------------------------

bool CMJTable::IsPlayedBy(int32_t tile, int32_t chair) const {
    return ValidMJ(chair) && ChairOf(tile) == chair && StatusOf(tile) == kTilePlayed;
}

bool CMJTable::JokerLockFree() const {
    return !(RuleFlags() & 0x20000u) || jokerLockChair_ < 0 || jokerLockCount_ <= 0;
}

int32_t CMJTable::CheckPengRequest(const MJRequest& r) {
    const int32_t chair = r.chair(), from = r.other(), tile = r.tile();
    if (!IsNotOver() || !WindowOpen() || !ValidMJ(chair) || !ValidMJ(from) || chair == from)
        return 0;
    if (CountValid(r.hand(), 2) != 2 || !AreAllHeld(chair, r.hand(), 2)) return 0;
    if (!IsPlayedBy(tile, from) || !JokerLockFree()) return 0;
    if (!CanPeng(chair, tile)) return 0;
    int32_t out[2];
    const int32_t flags = static_cast<int32_t>(RuleFlags());
    return MJ_CanPeng(r.hand(), 2, tile, jokerId_, jokerId2_, flags, out) ? 1 : 0;
}

int32_t CMJTable::CheckChiRequest(const MJRequest& r) {
    const int32_t chair = r.chair(), from = r.other(), tile = r.tile();
    if (!IsNotOver() || !ValidMJ(chair) || !ValidMJ(from) || chair == from) return 0;
    if (chair != currentChair_ || chair != NextChair(from) || !WindowOpen()) return 0;
    if (CountValid(r.hand(), 2) != 2 || !AreAllHeld(chair, r.hand(), 2)) return 0;
    if (!IsPlayedBy(tile, from) || !JokerLockFree() || !CanChi(chair, tile)) return 0;
    int32_t out[2];
    const int32_t flags = static_cast<int32_t>(RuleFlags());
    return MJ_CanChi(r.hand(), 2, tile, jokerId_, jokerId2_, flags, out, 2) ? 1 : 0;
}

int32_t CMJTable::CheckMingGangRequest(const MJRequest& r) {
    const int32_t chair = r.chair(), from = r.other(), tile = r.tile();
    if (!IsNotOver() || !WindowOpen() || !ValidMJ(chair) || !ValidMJ(from) || chair == from)
        return 0;
    if (CountValid(r.hand(), 3) != 3 || !AreAllHeld(chair, r.hand(), 3)) return 0;
    if (!IsPlayedBy(tile, from) || !JokerLockFree() || !CanGang(chair, tile, 1)) return 0;
    int32_t out[3];
    const int32_t flags = static_cast<int32_t>(RuleFlags());
    return MJ_CanMingGang(r.hand(), 3, tile, jokerId_, jokerId2_, flags, out) ? 1 : 0;
}

int32_t CMJTable::CheckAnGangRequest(const MJRequest& r) {
    const int32_t chair = r.chair(), tile = r.tile();
    if (!IsNotOver() || !ValidMJ(chair) || chair != currentChair_ || r.other() != chair) return 0;
    if (!(status_ & kStatusOwnTiles)) return 0;
    const int32_t four[4] = {r.hand()[0], r.hand()[1], r.hand()[2], tile};
    if (CountValid(four, 4) != 4 || !AreAllHeld(chair, four, 4)) return 0;
    if (!CanGang(chair, tile, 4)) return 0;
    int32_t out[4];
    const int32_t flags = static_cast<int32_t>(RuleFlags());
    return MJ_FindAnGang(four, 4, tile, jokerId_, jokerId2_, flags, out) ? 1 : 0;
}

int32_t CMJTable::CheckBuGangRequest(const MJRequest& r) {
    const int32_t chair = r.chair(), tile = r.tile();
    if (!IsNotOver() || !ValidMJ(chair) || chair != currentChair_ || r.other() != chair) return 0;
    if (!(status_ & kStatusOwnTiles)) return 0;
    if (!HasPengMeldOf(chair, r.hand(), 3) || !IsHeldBy(chair, tile)) return 0;
    // The pung stays under its added kong: a fourth tile added to it again would lay a kong
    // of five tiles.
    if (HasAddedGangOf(chair, r.hand(), 3)) return 0;
    // The tile must be of the pung the request names, not only of some pung of the chair: a
    // chair with two pungs could otherwise add its tile to the other one, and the kong laid
    // would hold three tiles of one kind and one of another.
    if (!MJ_IsSameKind(tile, r.hand()[0], static_cast<int32_t>(RuleFlags()))) return 0;
    return CanGang(chair, tile, 2) ? 1 : 0;
}

int32_t CMJTable::CheckFlowerRequest(const MJRequest& r) {
    const int32_t chair = r.chair(), tile = r.tile();
    if (!IsNotOver() || !ValidMJ(chair) || chair != currentChair_) return 0;
    if (!(status_ & kStatusOwnTiles) || !IsHeldBy(chair, tile)) return 0;
    return HasFlower(chair, tile) ? 1 : 0;
}

int32_t CMJTable::CheckGangRequest(const MJRequest& r) {
    const int32_t chair = r.chair(), other = r.other(), tile = r.tile();
    if (!IsNotOver() || !ValidMJ(chair)) return 0;
    if (r.gangKind() & 1) {
        if (!WindowOpen() || CountValid(r.hand(), 3) != 3 || !AreAllHeld(chair, r.hand(), 3))
            return 0;
        return IsPlayedBy(tile, other) ? 1 : 0;
    }
    if (r.gangKind() & 2) {
        if (!(status_ & kStatusOwnTiles) || !HasPengMeldOf(chair, r.hand(), 3)) return 0;
        return IsHeldBy(other, tile) ? 1 : 0;
    }
    return 0;
}

bool CMJTable::OtherCanWin(const MJRequest& r, uint32_t since) {
    if (Elapsed(since) >= mj_.claimSeconds * 1000 - 1000) return false;
    for (int c = 0; c < chairCount_; ++c) {
        if (c == r.chair() || c == r.other()) continue;
        HuResult res{};
        if (CheckSpecialHu(c, r.tile(), &res, 4) & 8) return true;
    }
    return false;
}

int32_t CMJTable::OthersMayStillHu(const MJRequest& r) {
    if (Elapsed(removalTick_) >= mj_.claimSeconds * 1000 - 1000) return 0;
    for (int c = 0; c < chairCount_; ++c)
        if (c != r.chair() && (pgch_[c] & 8)) return 1;
    return 0;
}

int32_t CMJTable::OthersMayStillClaim(const MJRequest& r) {
    if (Elapsed(removalTick_) >= mj_.claimSeconds * 1000 - 1000) return 0;
    for (int c = 0; c < chairCount_; ++c)
        if (c != r.chair() && (pgch_[c] & (1 | 2 | 8))) return 1;
    return 0;
}

int32_t CMJTable::SomeoneCanHuDiscard(const MJRequest& r) {
    return OtherCanWin(r, removalTick_) ? 1 : 0;
}

int32_t CMJTable::SomeoneCanRobGang(const MJRequest& r) {
    return OtherCanWin(r, pendingTick_) ? 1 : 0;
}

int32_t CMJTable::CheckHuRequest(MJRequest& r) {
    if (!IsNotOver() || !ValidMJ(r.chair())) return 0;
    int32_t ok = 0;
    if (r.huKind() & 4) {
        if (r.huSubKind() == 1) ok = CanRobExposedGang(r.chair(), r.other(), r.tile());
        if (r.huSubKind() == 2) ok = CanRobAddedGang(r.chair(), r.other(), r.tile());
    } else if (r.huKind() & 1) {
        ok = CanHuOnDiscard(r.chair(), r.other(), r.tile());
    } else if (r.huKind() & 2) {
        ok = CanHuSelfDrawn(r.chair(), r.other(), r.tile());
    }
    if (ok) huAsked_[r.chair()] = 1;
    return ok;
}

int32_t CMJTable::CanRobExposedGang(int32_t chair, int32_t owner, int32_t tile) {
    if (!ValidMJ(chair) || !ValidMJ(owner) || !(RuleFlags() & 0x1000u) || !WindowOpen()) return 0;
    if (!IsPlayedBy(tile, owner)) return 0;
    if (!(status_ & kStatusRobExposed) || pendingTile_ != tile || pendingOwner_ != owner) return 0;
    // The owner is the chair that discarded the tile: nobody wins on his own discard.
    if (chair == pendingDeclarer_ || chair == owner) return 0;
    HuResult r{};
    return CheckHu(chair, tile, &r, 4);
}

int32_t CMJTable::CanRobAddedGang(int32_t chair, int32_t owner, int32_t tile) {
    if (!ValidMJ(chair) || !ValidMJ(owner) || !(RuleFlags() & 0x2000u)) return 0;
    if (!(status_ & kStatusOwnTiles) || !IsHeldBy(owner, tile)) return 0;
    if (!(status_ & kStatusRobAdded) || pendingTile_ != tile || pendingOwner_ != owner) return 0;
    if (chair == pendingDeclarer_ || chair == owner) return 0;
    HuResult r{};
    return CheckHu(chair, tile, &r, 4);
}

int32_t CMJTable::CanHuOnDiscard(int32_t chair, int32_t discarder, int32_t tile) {
    if (!ValidMJ(chair) || !WindowOpen() || !IsPlayedBy(tile, discarder) || chair == discarder)
        return 0;
    HuResult r{};
    return CheckHu(chair, tile, &r, 1);
}

int32_t CMJTable::CanHuSelfDrawn(int32_t chair, int32_t, int32_t tile) {
    if (!ValidMJ(chair) || chair != currentChair_) return 0;
    if (!(status_ & kStatusOwnTiles) || (status_ & (kStatusAfterChi | kStatusAfterPeng))) return 0;
    if (!IsHeldBy(chair, tile)) return 0;
    HuResult r{};
    return CheckHu(chair, tile, &r, 2);
}

int32_t CMJTable::AnswerPass(int32_t, int32_t) {
    return 0;
}

void CMJTable::RecordGang(const MJRequest& r) {
    const int32_t kind = r.gangKind();
    if (!(kind & 3)) return;
    std::fill(std::begin(huAsked_), std::end(huAsked_), 0);
    SetStatusBits((kind & 1) ? kStatusRobExposed : kStatusRobAdded);
    pendingTile_ = r.tile();
    pendingOwner_ = r.other();
    pendingDeclarer_ = r.chair();
    pendingTick_ = Now();
}

// --- Carrying out ----------------------------------------------------------------------

void CMJTable::RemoveFromDiscards(int32_t chair, int32_t tile) {
    if (!ValidMJ(chair)) return;
    auto& d = discards_[chair];
    auto it = std::find(d.begin(), d.end(), tile);
    if (it != d.end()) d.erase(it);
}

int32_t CMJTable::CarryOutMeld(const MJRequest& r, MeldList list, int32_t handCode,
                               int32_t claimedCode, int handTiles) {
    const int32_t chair = r.chair(), from = r.other(), tile = r.tile();
    if (!ValidMJ(chair) || !ValidMJ(from)) return 0;
    ClearGangState();
    ClearClaimFlags();
    Meld m;
    int placed = 0;
    for (int k = 0; k < handTiles; ++k) {
        const int32_t id = r.hand()[k];
        if (id < 0) continue;
        SetTileStatus(id, handCode);
        m.tiles[placed++] = id;
    }
    SetTileStatus(tile, claimedCode);
    SetTileChair(tile, chair);
    m.tiles[placed] = tile;
    m.source = from;
    melds_[chair][list].push_back(m);
    RemoveFromDiscards(from, tile);
    for (int k = 0; k < handTiles; ++k)
        if (r.hand()[k] >= 0) DecrementKind(chair, r.hand()[k]);
    return 1;
}

int32_t CMJTable::OnPeng(const MJRequest& r) {
    gangDraws_ = 0;
    if (!CarryOutMeld(r, kPeng, kTilePengHand, kTilePengClaimed, 2)) return 0;
    AfterPeng();
    GiveTurn(r.chair());
    ++pengM_[r.other()][r.chair()];
    AfterPengHook(r);
    return 0;
}

int32_t CMJTable::OnChi(const MJRequest& r) {
    gangDraws_ = 0;
    if (!CarryOutMeld(r, kChi, kTileChiHand, kTileChiClaimed, 2)) return 0;
    AfterChi();
    GiveTurn(r.chair());
    ++chiM_[r.other()][r.chair()];
    AfterChiHook(r);
    return 0;
}

int32_t CMJTable::OnMingGang(const MJRequest& r) {
    ++gangDraws_;
    if (!CarryOutMeld(r, kMingGang, kTileGangHand, kTileGangClaimed, 3)) return 0;
    AfterReplacementDue();
    PassTurnAfterMeld(r.chair());
    ++gangM_[r.other()][r.chair()];
    AfterMingGangHook(r);
    return 0;
}

int32_t CMJTable::OnAnGang(const MJRequest& r) {
    const int32_t chair = r.chair();
    if (!ValidMJ(chair)) return 0;
    ++gangDraws_;
    ClearGangState();
    ClearClaimFlags();
    Meld m;
    const int32_t four[4] = {r.hand()[0], r.hand()[1], r.hand()[2], r.tile()};
    for (int k = 0; k < 4; ++k) {
        m.tiles[k] = four[k];
        SetTileStatus(four[k], kTileGangHand);
        DecrementKind(chair, four[k]);
    }
    m.source = chair;
    melds_[chair][kAnGang].push_back(m);
    AfterReplacementDue();
    PassTurnAfterMeld(chair);
    AfterAnGangHook(r);
    return 0;
}

int32_t CMJTable::OnBuGang(const MJRequest& r) {
    const int32_t chair = r.chair(), tile = r.tile();
    if (!ValidMJ(chair)) return 0;
    ++gangDraws_;
    ClearGangState();
    ClearClaimFlags();
    // The pung stays in the pung list: the table state a returning client rebuilds from
    // replays the pung and then puts the fourth tile onto it, and the settlement finds the
    // chair that fed the kong by that pung.
    for (const Meld& pung : melds_[chair][kPeng]) {
        // A pung that already holds its kong takes no second one.
        if (!SameSet(pung.tiles, 3, r.hand(), 3) || HasAddedGangOf(chair, pung.tiles, 3)) continue;
        Meld m = pung;
        m.tiles[3] = tile;
        for (int k = 0; k < 3; ++k) SetTileStatus(m.tiles[k], kTileGangClaimed);
        SetTileStatus(tile, kTileGangHand);
        DecrementKind(chair, tile);
        melds_[chair][kBuGang].push_back(m);
        break;
    }
    AfterReplacementDue();
    PassTurnAfterMeld(chair);
    AfterBuGangHook(r);
    return 0;
}

// Only a tile the chair holds is laid out: any other would join its flowers while it stays in
// the wall or another hand, and the chair would draw a replacement for nothing.
int32_t CMJTable::OnFlower(const MJRequest& r) {
    const int32_t chair = r.chair(), tile = r.tile();
    if (!ValidMJ(chair) || !IsHeldBy(chair, tile)) return 0;
    ++gangDraws_;
    ClearGangState();
    SetTileStatus(tile, kTileFlowerOut);
    flowers_[chair].push_back(tile);
    DecrementKind(chair, tile);
    AfterReplacementDue();
    PassTurnAfterMeld(chair);
    AfterFlowerHook(r);
    return 0;
}

int32_t CMJTable::FirstFlowerHeld(int32_t chair) const {
    for (const auto& t : tiles_)
        if (t.status == kTileHeld && t.chair == chair &&
            MJ_IsFlower(t.id, jokerId_, jokerId2_, static_cast<int32_t>(RuleFlags())))
            return t.id;
    return -1;
}

int32_t CMJTable::ReplaceFlower(int32_t chair, int32_t flower) {
    const int32_t drawn = DrawFromTail(chair);
    OnFlower(MJRequest::Meld(chair, chair, flower, -1, -1));
    return drawn;
}

// --- Wins ----------------------------------------------------------------------------

int32_t CMJTable::OnHuRequest(const MJRequest& r) {
    std::fill(std::begin(winValue_), std::end(winValue_), 0);
    HuResult saved[kMJChairs];
    std::memcpy(saved, hu_, sizeof saved);
    if (ValidMJ(r.chair())) huAsked_[r.chair()] = 1;
    const int32_t kind = r.huKind();
    int32_t n = 0;
    if (kind & 4) {
        if (r.huSubKind() == 1 || r.huSubKind() == 2) n = HuOnGangAll(r.other(), r.tile());
    } else if (kind & 1) {
        n = HuOnDiscardAll(r.other(), r.tile());
    } else if (kind & 2) {
        n = HuSelfDrawn(r.chair(), r.tile());
    }
    if (n > 0) {
        ClearGangState();
        ClearClaimFlags();
        return n;
    }
    std::memcpy(hu_, saved, sizeof saved);
    return 0;
}

// Several chairs may win on one tile only under rule 0x40000; otherwise the first winner
// after `from` in turn order keeps the win. Records the tile, the loser and the winners.
int32_t CMJTable::RecordClaimWinners(int32_t n, int32_t from, int32_t loser, int32_t tile) {
    if (n > 1 && !(RuleFlags() & 0x40000u)) {
        bool kept = false;
        for (int32_t c = NextChair(from); c != from; c = NextChair(c)) {
            if (winValue_[c] <= 0) continue;
            if (kept) winValue_[c] = 0;
            kept = true;
        }
        n = 1;
    }
    if (n > 0) {
        winTile_ = tile;
        loser_ = loser;
        winners_ = n;
        for (int c = 0; c < chairCount_; ++c)
            if (winValue_[c] > 0) {
                firstWinner_ = c;
                break;
            }
    }
    return n;
}

// Only the chairs that asked to win on the tile are made winners: a chair that let its win pass
// (or let its time run out) would otherwise be paid for a win it never declared, and the
// discarder would pay for it.
int32_t CMJTable::HuOnDiscardAll(int32_t discarder, int32_t tile) {
    if (!ValidMJ(discarder)) return 0;
    int32_t n = 0;
    for (int c = 0; c < chairCount_; ++c) {
        winValue_[c] = 0;
        if (c == discarder || !huAsked_[c]) continue;
        winValue_[c] = WinValue(c, tile, &hu_[c], 1);
        if (winValue_[c] > 0) ++n;
    }
    return RecordClaimWinners(n, discarder, discarder, tile);
}

int32_t CMJTable::HuOnGangAll(int32_t owner, int32_t tile) {
    if (!ValidMJ(owner)) return 0;
    int32_t n = 0;
    for (int c = 0; c < chairCount_; ++c) {
        winValue_[c] = 0;
        if (c == owner || c == pendingDeclarer_ || !huAsked_[c]) continue;
        winValue_[c] = WinValue(c, tile, &hu_[c], 4);
        if (winValue_[c] > 0) ++n;
    }
    return RecordClaimWinners(n, owner, pendingDeclarer_, tile);
}

int32_t CMJTable::HuSelfDrawn(int32_t chair, int32_t tile) {
    if (!ValidMJ(chair)) return 0;
    winValue_[chair] = WinValue(chair, tile, &hu_[chair], 2);
    if (winValue_[chair] <= 0) return 0;
    firstWinner_ = chair;
    winners_ = 1;
    winTile_ = tile;
    return 1;
}

void CMJTable::CountJokerDiscard(int32_t chair, int32_t) {
    if (!ValidMJ(chair)) return;
    ++jokerDiscards_[chair];
    if (!(RuleFlags() & 0x20000u)) return;
    if (jokerLockChair_ < 0)
        jokerLockChair_ = chair, jokerLockCount_ = 1;
    else if (jokerLockChair_ == chair)
        ++jokerLockCount_;
}

void CMJTable::ReleaseJokerLock(int32_t chair, int32_t) {
    if ((RuleFlags() & 0x20000u) && jokerLockChair_ == chair)
        jokerLockChair_ = -1, jokerLockCount_ = 0;
}

int32_t CMJTable::OperationFlags(int32_t chair, int32_t tile, HuResult* result, int32_t mask) {
    int32_t f = 0;
    if (mask & 1) f |= CanPeng(chair, tile);
    if (mask & 2) f |= CanGang(chair, tile, 1);
    if ((mask & 4) && !(RuleFlags() & kTileFlagNoChow)) f |= CanChi(chair, tile);
    if ((mask & 8) && !(RuleFlags() & kTileFlagNoWinOnDiscard))
        f |= CheckHu(chair, tile, result, 1);
    return f;
}

int32_t CMJTable::CanPeng(int32_t chair, int32_t tile) const {
    if (!ValidMJ(chair)) return 0;
    return MJ_HasPair(counts_[chair], tile, jokerId_, jokerId2_, static_cast<int32_t>(RuleFlags()));
}

int32_t CMJTable::CanGang(int32_t chair, int32_t tile, int32_t kind) const {
    if (!ValidMJ(chair)) return 0;
    const int32_t flags = static_cast<int32_t>(RuleFlags());
    if (kind == 1) return MJ_HasTriplet(counts_[chair], tile, jokerId_, jokerId2_, flags);
    if (kind == 4) {
        int32_t found = 0;
        return MJ_FindFourOfKind(counts_[chair], tile, jokerId_, jokerId2_, flags, &found);
    }
    if (kind == 2) return HasPengOf(chair, tile);
    return 0;
}

int32_t CMJTable::HasPengOf(int32_t chair, int32_t tile) const {
    if (!ValidMJ(chair)) return 0;
    for (const auto& m : melds_[chair][kPeng])
        if (MJ_IsSameKind(m.tiles[0], tile, static_cast<int32_t>(RuleFlags()))) return 2;
    return 0;
}

int32_t CMJTable::CanChi(int32_t chair, int32_t tile) const {
    if (!ValidMJ(chair)) return 0;
    return MJ_IsChowWith(counts_[chair], tile, jokerId_, jokerId2_,
                         static_cast<int32_t>(RuleFlags()));
}

int32_t CMJTable::HasFlower(int32_t chair, int32_t tile) const {
    if (!ValidMJ(chair)) return 0;
    return MJ_HasFlowerTile(counts_[chair], tile, jokerId_, jokerId2_,
                            static_cast<int32_t>(RuleFlags()));
}

int32_t CMJTable::CanSelfHu(int32_t chair, int32_t tile) {
    if (tile < 0) return 0;
    HuResult r{};
    return CheckHu(chair, tile, &r, 2);
}

int32_t CMJTable::CheckHu(int32_t chair, int32_t tile, HuResult* result, int32_t mask) {
    if (!ValidMJ(chair) || !result) return 0;
    CountTable copy;
    std::memcpy(copy, counts_[chair], sizeof copy);
    const int32_t k = KindIndexOf(tile);
    if ((mask & 2) && k >= 0 && copy[k] > 0) --copy[k];
    return MJ_CheckHu(copy, tile, jokerId_, jokerId2_, static_cast<int32_t>(RuleFlags()),
                      mj_.huRule, result, mask);
}

int32_t CMJTable::CheckSpecialHu(int32_t chair, int32_t tile, HuResult* result, int32_t mask) {
    if (!ValidMJ(chair) || !result) return 0;
    CountTable copy;
    std::memcpy(copy, counts_[chair], sizeof copy);
    const int32_t k = KindIndexOf(tile);
    if ((mask & 2) && k >= 0 && copy[k] > 0) --copy[k];
    return MJ_IsSpecialHu(copy, tile, jokerId_, jokerId2_, static_cast<int32_t>(RuleFlags()),
                          mj_.huRule, result, mask, MeldShapeMask(chair));
}

int32_t CMJTable::BestHu(int32_t chair, int32_t tile, HuResult* result, int32_t mask) {
    if (!ValidMJ(chair) || !result) return 0;
    using Check = int32_t (*)(const CountTable&, int32_t, int32_t, int32_t, int32_t, int32_t,
                              HuResult*, int32_t);
    static const Check kChecks[] = {MJ_HuJokerPairWait,
                                    MJ_HuPairWait,
                                    MJ_HuPungWait,
                                    MJ_HuClosedWait,
                                    MJ_HuEdgeWait,
                                    MJ_HuHonourSequences,
                                    MJ_HuForceSevenPairs,
                                    MJ_HuForceThirteenUnrelated,
                                    MJ_HuForceAllHonoursSeven,
                                    MJ_HuForceAllHonours,
                                    MJ_HuForceAll258};
    CountTable copy;
    std::memcpy(copy, counts_[chair], sizeof copy);
    const int32_t k = KindIndexOf(tile);
    if ((mask & 2) && k >= 0 && copy[k] > 0) --copy[k];
    result->handType |= mask & 7;
    const int32_t extra = MeldShapeMask(chair);
    const int32_t flags = static_cast<int32_t>(RuleFlags());
    int32_t best = 0;
    HuResult bestResult{};
    for (size_t i = 0; i < std::size(kChecks); ++i) {
        if ((i == 9 && extra && !(extra & 1)) || (i == 10 && extra && !(extra & 2))) continue;
        HuResult scratch{};
        if (!kChecks[i](copy, tile, jokerId_, jokerId2_, flags, mj_.huRule, &scratch, mask))
            continue;
        MJ_MergeHuResult(&scratch, result);
        const int32_t s = ScoreFeatures(chair, tile, &scratch, mask);
        if (s > best) best = s, bestResult = scratch;
    }
    if (best > 0) *result = bestResult;
    return best;
}

int32_t CMJTable::WinValue(int32_t chair, int32_t tile, HuResult* result, int32_t mask) {
    return BestHu(chair, tile, result, mask);
}

int32_t CMJTable::ScoreFeatures(int32_t chair, int32_t tile, HuResult* r, int32_t mask) {
    using Test = int32_t (CMJTable::*)(int32_t, int32_t, HuResult*, int32_t);
    static const Test kTests[] = {&CMJTable::IsHeavenlyHand,     &CMJTable::IsEarthlyHand,
                                  &CMJTable::IsBankerWin,        &CMJTable::IsAllTriplets,
                                  &CMJTable::IsPureSuit,         &CMJTable::IsMixedSuit,
                                  &CMJTable::IsAllHonoursHand,   &CMJTable::IsNoJokerWin,
                                  &CMJTable::IsNaturalJokerWin,  &CMJTable::HasThreeJokers,
                                  &CMJTable::HasFourJokers,      &CMJTable::IsWinAfterGang,
                                  &CMJTable::IsSingleTileLeft,   &CMJTable::IsLastTileWin,
                                  &CMJTable::IsConcealedHand,    &CMJTable::IsConcealedSingleWait,
                                  &CMJTable::IsJokerDiscarderWin};
    for (Test t : kTests) (this->*t)(chair, tile, r, mask);
    return 0;
}

void CMJTable::SetOutcomeMode() {
    mode_ = 0;
    if (winners_ <= 0) return;
    for (int c = chairCount_ - 1; c >= 0; --c) {
        if (winValue_[c] <= 0) continue;
        const int32_t w = hu_[c].handType;
        if (w & 1) mode_ |= 0x1000000;
        if (w & 2) mode_ |= 0x2000000;
        if (w & 4) mode_ |= 0x4000000;
        break;
    }
    if (winners_ > 1) mode_ |= 0x10000000;
}

int32_t CMJTable::ResultCode(int32_t chair) const {
    return WinValueOf(chair) == -1000 ? 229100 : 10100;
}

int32_t CMJTable::FindLiableChair(int32_t* record, int32_t* results) {
    if (!ValidMJ(firstWinner_)) return -1;
    const int32_t w = firstWinner_;
    for (int32_t c = NextChair(w); c != w; c = NextChair(c)) {
        const int32_t n =
            pengM_[c][w] + chiM_[c][w] + gangM_[c][w] + pengM_[w][c] + chiM_[w][c] + gangM_[w][c];
        if (n < 3) continue;
        if (results) {
            // Every other chair's loss moves to the liable chair, on top of its own result.
            // Only losing chairs are cleared: a second winner keeps its points, and so does a
            // liable chair that won as well, less what it now pays. Clearing a winner's points
            // would lose its win and leave the deal's points summing to less than 0.
            int64_t sum = results[c];
            for (int k = 0; k < chairCount_; ++k)
                if (k != c && results[k] < 0) sum += results[k], results[k] = 0;
            results[c] = static_cast<int32_t>(std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX));
        }
        if (record) record[696 / 4] = UserIdAt(c);
        return c;
    }
    return -1;
}

int32_t CMJTable::SettleKongs(int32_t*, int32_t, int32_t, int32_t*) {
    return 1;
}

void CMJTable::ClearGangState() {
    for (uint32_t bit : {kStatusRobExposed, kStatusRobAdded, kStatusPendingThird})
        if (status_ & bit) ClearStatusBits(bit);
    pendingTick_ = 0;
    pendingTile_ = pendingDeclarer_ = pendingOwner_ = -1;
}

void CMJTable::ClearClaimFlags() {
    std::fill(std::begin(pgch_), std::end(pgch_), 0);
    std::fill(std::begin(sole_), std::end(sole_), 0);
}

int32_t CMJTable::ListHuClaims(const MJRequest& r, int32_t* out) {
    int32_t n = 0;
    for (int c = 0; c < chairCount_; ++c) {
        if (c == r.chair() || c == r.other()) continue;
        HuResult res{};
        if (CheckSpecialHu(c, r.tile(), &res, 4) & 8) {
            hu_[c] = res;
            ++n;
        }
    }
    if (out) out[0] = r.chair(), out[1] = r.other(), out[2] = r.tile(), out[3] = r.gangKind();
    return n;
}

bool CMJTable::HasPengMeldOf(int32_t chair, const int32_t* ids, int32_t n) const {
    if (!ValidMJ(chair) || !ids || !AllDistinct(ids, n)) return false;
    for (const auto& m : melds_[chair][kPeng])
        if (SameSet(m.tiles, 3, ids, n)) return true;
    return false;
}

int32_t CMJTable::RemovePengMeldOf(int32_t chair, const int32_t* ids, int32_t n) {
    if (!ValidMJ(chair) || !ids || !AllDistinct(ids, n)) return 0;
    auto& pengs = melds_[chair][kPeng];
    for (auto it = pengs.begin(); it != pengs.end(); ++it)
        if (SameSet(it->tiles, 3, ids, n)) {
            pengs.erase(it);
            return 1;
        }
    return 0;
}

bool CMJTable::HasAddedGangOf(int32_t chair, const int32_t* ids, int32_t n) const {
    if (!ValidMJ(chair) || !ids) return false;
    for (const auto& m : melds_[chair][kBuGang])
        if (ContainsAll(m.tiles, 4, ids, n)) return true;
    return false;
}

bool CMJTable::IsSameKind(int32_t a, int32_t b) const {
    return MJ_IsSameKind(a, b, static_cast<int32_t>(RuleFlags())) != 0;
}

int32_t CMJTable::IndexInList(const std::vector<int32_t>& list, int32_t value) {
    const auto it = std::find(list.begin(), list.end(), value);
    return it == list.end() ? -1 : static_cast<int32_t>(it - list.begin());
}

int32_t CMJTable::CountShapesPresent(const int32_t* counts5) {
    if (!counts5) return 0;
    return static_cast<int32_t>(std::count_if(counts5, counts5 + 5, [](int32_t n) { return n; }));
}

int32_t CMJTable::ShapeOfIndex(int32_t index, bool substituteAsJoker) const {
    const int32_t flags = static_cast<int32_t>(RuleFlags());
    if (substituteAsJoker && (flags & kTileFlagStandIn) && index > 0 &&
        index == MJ_StandInIndexOf(jokerId_, jokerId2_, flags)) {
        const int32_t a = MJ_TileIndex(jokerId_, flags);
        if (a > 0) index = a;
    }
    return index / card_.valuesPerShape;
}

bool CMJTable::HasMelds(int32_t chair) const {
    if (!ValidMJ(chair)) return false;
    for (const auto& l : melds_[chair])
        if (!l.empty()) return true;
    return false;
}

bool CMJTable::AllMelds258(int32_t chair) const {
    if (!HasMelds(chair)) return false;
    const int32_t flags = static_cast<int32_t>(RuleFlags());
    for (const auto& l : melds_[chair])
        for (const auto& m : l)
            for (int32_t id : m.tiles)
                if (id >= 0 && !MJ_Is258Tile(MJ_TileIndex(id, flags))) return false;
    return true;
}

int32_t CMJTable::MeldShapeMask(int32_t chair) const {
    if (!HasMelds(chair)) return 0;
    int32_t counts5[5] = {};
    CountMeldShapes(chair, false, counts5);
    const bool honours = counts5[3] > 0 && counts5[0] + counts5[1] + counts5[2] + counts5[4] == 0;
    int32_t mask = 0;
    if (honours) mask |= 1;
    if (AllMelds258(chair)) mask |= 2;
    return mask ? mask : 0x10000000;
}

int32_t CMJTable::CountUnitShapes(const HuResult* result, bool substituteAsJoker,
                                  int32_t* counts5) const {
    std::fill(counts5, counts5 + 5, 0);
    const int n = std::clamp(result->unitCount, 0, kMaxHuUnits);
    for (int u = 0; u < n; ++u)
        for (int32_t t : result->units[u].tiles) {
            if (t <= 0) continue;
            const int32_t s = ShapeOfIndex(t, substituteAsJoker);
            if (s < 5) ++counts5[s];
        }
    return 0;
}

int32_t CMJTable::CountMeldShapes(int32_t chair, bool substituteAsJoker, int32_t* counts5) const {
    if (!ValidMJ(chair)) return 0;
    for (const auto& l : melds_[chair])
        for (const auto& m : l) {
            const int32_t k = KindIndexOf(m.tiles[0]);
            if (k < 0) continue;
            const int32_t s = ShapeOfIndex(k, substituteAsJoker);
            if (s < 5) ++counts5[s];
        }
    return 0;
}

// --- Hand features ---------------------------------------------------------------------

namespace {
bool isSpecialUnit(const HuResult* r) {
    if (r->unitCount < 1) return false;
    const int32_t t = r->units[0].type;
    return t == kUnitThirteenUnrelated || t == kUnitAllSevenHonours || t == kUnitAllHonours ||
           t == kUnitAll258;
}
int32_t setBit(HuResult* r, int32_t bit) {
    r->handType |= bit;
    return bit;
}
}  // namespace

int32_t CMJTable::IsHeavenlyHand(int32_t chair, int32_t, HuResult* r, int32_t) {
    if (!(mj_.huRule & 0x100) || !ValidMJ(chair) || chair != banker_ || !flowers_[chair].empty())
        return 0;
    for (int c = 0; c < chairCount_; ++c)
        if (HasMelds(c) || !discards_[c].empty()) return 0;
    return setBit(r, 0x100);
}

int32_t CMJTable::IsEarthlyHand(int32_t chair, int32_t, HuResult* r, int32_t mask) {
    if (!(mj_.huRule & 0x200) || !ValidMJ(chair) || chair == banker_) return 0;
    if (HasMelds(chair) || !discards_[chair].empty() || !flowers_[chair].empty()) return 0;
    if ((draws_[chair] == 0 && (mask & 1)) || (draws_[chair] == 1 && (mask & 2)))
        return setBit(r, 0x200);
    return 0;
}

int32_t CMJTable::IsBankerWin(int32_t chair, int32_t, HuResult* r, int32_t) {
    if (!(mj_.huRule & 0x800) || chair != banker_) return 0;
    return setBit(r, 0x800);
}

int32_t CMJTable::IsAllTriplets(int32_t chair, int32_t, HuResult* r, int32_t) {
    if (!(mj_.huRule & 0x1000) || !ValidMJ(chair) || !melds_[chair][kChi].empty()) return 0;
    int pairs = 0;
    const int n = std::clamp(r->unitCount, 0, kMaxHuUnits);
    // Every win records its units (its pair at least, or its special hand): a result with none
    // is no hand, and not one of triplets.
    if (n == 0) return 0;
    for (int u = 0; u < n; ++u) {
        const int32_t t = r->units[u].type;
        if (t == kUnitPair)
            ++pairs;
        else if (t != kUnitTriplet && t != kUnitFour)
            return 0;
    }
    return pairs <= 1 ? setBit(r, 0x1000) : 0;
}

int32_t CMJTable::IsPureSuit(int32_t chair, int32_t, HuResult* r, int32_t) {
    if (!(mj_.huRule & 0x2000) || isSpecialUnit(r)) return 0;
    int32_t s[5];
    CountUnitShapes(r, true, s);
    CountMeldShapes(chair, true, s);
    int shapes = 0, which = -1;
    for (int k = 0; k < 5; ++k)
        if (s[k]) ++shapes, which = k;
    return (shapes == 1 && which <= 2) ? setBit(r, 0x2000) : 0;
}

int32_t CMJTable::IsMixedSuit(int32_t chair, int32_t, HuResult* r, int32_t) {
    if (!(mj_.huRule & 0x4000) || isSpecialUnit(r)) return 0;
    int32_t s[5];
    CountUnitShapes(r, false, s);
    CountMeldShapes(chair, false, s);
    const int suits = (s[0] > 0) + (s[1] > 0) + (s[2] > 0);
    return (suits == 1 && s[3] > 0 && s[4] == 0) ? setBit(r, 0x4000) : 0;
}

int32_t CMJTable::IsAllHonoursHand(int32_t chair, int32_t, HuResult* r, int32_t) {
    if (!(mj_.huRule & 0x8000) || isSpecialUnit(r)) return 0;
    int32_t s[5];
    CountUnitShapes(r, false, s);
    CountMeldShapes(chair, false, s);
    return (s[3] > 0 && s[0] + s[1] + s[2] + s[4] == 0) ? setBit(r, 0x8000) : 0;
}

bool CMJTable::NoJokerIn(int32_t chair, int32_t tile) const {
    return !IsJokerKind(tile) && CountJokersHeld(chair) == 0;
}

int32_t CMJTable::IsNoJokerWin(int32_t chair, int32_t tile, HuResult* r, int32_t) {
    if (!(mj_.huRule & kFeatureNoJoker) || !(RuleFlags() & kTileFlagJokers) || !ValidMJ(chair))
        return 0;
    return NoJokerIn(chair, tile) ? setBit(r, kFeatureNoJoker) : 0;
}

// The jokers of the win play as their own kind: every unit a joker fills stays valid with
// the jokers as themselves, or the special hand wins with the jokers kept natural.
int32_t CMJTable::IsNaturalJokerWin(int32_t chair, int32_t tile, HuResult* r, int32_t mask) {
    if (!(mj_.huRule & kFeatureNaturalJokers) || !(RuleFlags() & kTileFlagJokers) ||
        !ValidMJ(chair) || NoJokerIn(chair, tile))
        return 0;
    const int32_t flags = static_cast<int32_t>(RuleFlags());
    if (!isSpecialUnit(r)) {
        if (MJ_CountJokerTiles(r) == 0 || MJ_CheckJokerUnits(r, jokerId_, jokerId2_, flags) != 0)
            return setBit(r, kFeatureNaturalJokers);
        return 0;
    }
    int32_t forced = 0;
    switch (r->units[0].type) {
        case kUnitThirteenUnrelated:
            forced = kRuleThirteenUnrelated;
            break;
        case kUnitAllSevenHonours:
            forced = kRuleAllSevenHonours;
            break;
        case kUnitAllHonours:
            forced = kRuleAllHonours;
            break;
        default:
            forced = kRuleAll258;
            break;
    }
    CountTable copy;
    std::memcpy(copy, counts_[chair], sizeof copy);
    const int32_t k = KindIndexOf(tile);
    if ((mask & 2) && k >= 0 && copy[k] > 0) --copy[k];
    int32_t jokersB = 0, index = 0;
    HuResult natural{};
    if (!MJ_HuAsNatural(copy, tile, jokerId_, jokerId2_, &jokersB, &index, flags, mj_.huRule,
                        &natural, (mask & 7) | forced))
        return 0;
    return setBit(r, kFeatureNaturalJokers);
}

int32_t CMJTable::HasThreeJokers(int32_t chair, int32_t, HuResult* r, int32_t) {
    if (!(mj_.huRule & kFeatureThreeJokers) || !(RuleFlags() & kTileFlagJokers)) return 0;
    return CountJokersHeld(chair) == 3 ? setBit(r, kFeatureThreeJokers) : 0;
}

int32_t CMJTable::HasFourJokers(int32_t chair, int32_t, HuResult* r, int32_t) {
    if (!(mj_.huRule & kFeatureFourJokers) || !(RuleFlags() & kTileFlagJokers)) return 0;
    return CountJokersHeld(chair) == 4 ? setBit(r, kFeatureFourJokers) : 0;
}

int32_t CMJTable::IsJokerDiscarderWin(int32_t chair, int32_t, HuResult* r, int32_t) {
    const int32_t options = mj_.scoringOptions;
    if (!(options & 1) || !(r->waitFlags & 1) || !(options & 2)) return 0;
    if (!(RuleFlags() & 0x20000u) || !ValidMJ(chair) || jokerLockChair_ != chair ||
        jokerLockCount_ <= 0)
        return 0;
    r->waitFlags |= 2;
    return 2;
}

int32_t CMJTable::IsWinAfterGang(int32_t chair, int32_t, HuResult* r, int32_t) {
    if (!(mj_.huRule & 0x100000) || !ValidMJ(chair) || gangDraws_ == 0) return 0;
    const bool any = !melds_[chair][kMingGang].empty() || !melds_[chair][kAnGang].empty() ||
                     !melds_[chair][kBuGang].empty() || !flowers_[chair].empty();
    return any ? setBit(r, 0x100000) : 0;
}

int32_t CMJTable::IsSingleTileLeft(int32_t chair, int32_t tile, HuResult* r, int32_t mask) {
    if (!(mj_.huRule & 0x200000) || !ValidMJ(chair)) return 0;
    int32_t n = CountHeld(chair);
    if ((mask & 2) && IsHeldBy(chair, tile)) --n;
    return n == 1 ? setBit(r, 0x200000) : 0;
}

int32_t CMJTable::IsLastTileWin(int32_t, int32_t, HuResult* r, int32_t mask) {
    if (!(mj_.huRule & 0x400000) || !(mask & 2) || !IsWallUsedUp()) return 0;
    return setBit(r, 0x400000);
}

// An added kong leaves the hand open through the pung it was built on, which stays in the
// pung list.
int32_t CMJTable::IsConcealedHand(int32_t chair, int32_t, HuResult* r, int32_t) {
    if (!(mj_.huRule & 0x10000000) || !ValidMJ(chair)) return 0;
    if (!melds_[chair][kPeng].empty() || !melds_[chair][kChi].empty() ||
        !melds_[chair][kMingGang].empty())
        return 0;
    return setBit(r, 0x10000000);
}

int32_t CMJTable::IsConcealedSingleWait(int32_t chair, int32_t, HuResult* r, int32_t mask) {
    if (!(mj_.huRule & 0x20000000) || !ValidMJ(chair) || !(mask & 1)) return 0;
    if (CountHeld(chair) != 1 || !melds_[chair][kAnGang].empty()) return 0;
    return setBit(r, 0x20000000);
}

// --- Accessors -------------------------------------------------------------------------

const std::vector<Meld>& CMJTable::Melds(int32_t chair, MeldList list) const {
    if (!ValidMJ(chair) || list < 0 || list > 4) return kNoMelds;
    return melds_[chair][list];
}

const std::vector<int32_t>& CMJTable::Discards(int32_t chair) const {
    return ValidMJ(chair) ? discards_[chair] : kNoIds;
}

const std::vector<int32_t>& CMJTable::Flowers(int32_t chair) const {
    return ValidMJ(chair) ? flowers_[chair] : kNoIds;
}

const HuResult& CMJTable::ResultOf(int32_t chair) const {
    return ValidMJ(chair) ? hu_[chair] : kNoResult;
}

int32_t CMJTable::PengMatrix(int32_t from, int32_t to) const {
    return ValidMJ(from) && ValidMJ(to) ? pengM_[from][to] : 0;
}

int32_t CMJTable::ChiMatrix(int32_t from, int32_t to) const {
    return ValidMJ(from) && ValidMJ(to) ? chiM_[from][to] : 0;
}

int32_t CMJTable::GangMatrix(int32_t from, int32_t to) const {
    return ValidMJ(from) && ValidMJ(to) ? gangM_[from][to] : 0;
}

}  // namespace hqlv::rules
