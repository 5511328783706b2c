#include "rules/table_common.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

#include "rules/common.h"

namespace hqlv::rules {

namespace {

int32_t saturate(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

void putWord(int32_t* record, int byteOffset, int32_t value) {
    record[byteOffset / 4] = value;
}

}  // namespace

TableSeating::TableSeating(const TableSeating& other) {
    *this = other;
}

// The new records are made before the old ones go, so a table assigned to itself keeps its
// users.
TableSeating& TableSeating::operator=(const TableSeating& other) {
    std::map<int32_t, std::unique_ptr<TableUser>> users;
    TableUser* seats[kMaxTableChairs] = {};
    for (const auto& [id, user] : other.users_) {
        std::unique_ptr<TableUser> copy = user->Clone();
        // A seat is found by the record it points at, not by id: the id in a record may have
        // been changed since it was seated.
        for (int c = 0; c < kMaxTableChairs; ++c)
            if (other.seats_[c] == user.get()) seats[c] = copy.get();
        users.emplace(id, std::move(copy));
    }
    users_ = std::move(users);
    std::copy(std::begin(seats), std::end(seats), std::begin(seats_));
    std::copy(std::begin(other.lookers_), std::end(other.lookers_), std::begin(lookers_));
    return *this;
}

CCommonTable::CCommonTable(const TableConfig& config, TableHooks hooks)
    : config_(config), hooks_(std::move(hooks)) {
    chairCount_ = std::clamp(config.chairCount, 1, kMaxTableChairs);
    if (chairCount_ != config.chairCount)
        Log("table: chair count " + std::to_string(config.chairCount) + " out of range, using " +
            std::to_string(chairCount_));
    config_.chairCount = chairCount_;
    CCommonTable::Reset(true);
}

// The members free what a full reset would: the owned user records, the looker-on lists, the
// per-pair block and the game record. Clearing the rest first would change nothing anybody
// can see.
CCommonTable::~CCommonTable() = default;

// The rules depend on nothing else of ours, so the daily log is the maker's; a table made
// without one still says what went wrong, on the standard error, rather than losing the lines
// (the settlement's zero-sum failure and the table state with it among them).
void CCommonTable::Log(const std::string& line) const {
    if (hooks_.log)
        hooks_.log(line);
    else
        std::fprintf(stderr, "%s\n", line.c_str());
}

std::string MakeUniqueId() {
    static const char kHex[] = "0123456789abcdef";
    std::random_device source;
    std::string id;
    while (id.size() < 30) {
        const uint32_t bits = source();
        for (int k = 0; k < 8 && id.size() < 30; ++k) id += kHex[(bits >> (4 * k)) & 0xF];
    }
    return id;
}

uint32_t CCommonTable::Now() const {
    return RulesTickMs();
}

void CCommonTable::Reset(bool full) {
    const uint32_t now = Now();
    if (full) {
        for (auto& l : lookers_) l.clear();
        users_.clear();
        std::fill(std::begin(seats_), std::end(seats_), nullptr);
        std::fill(std::begin(startFlags_), std::end(startFlags_), 0);
        std::fill(std::begin(startFlags2_), std::end(startFlags2_), 0);
        std::fill(std::begin(group_), std::end(group_), -1);
        std::fill(std::begin(waitTick_), std::end(waitTick_), 0u);
        std::fill(std::begin(values_), std::end(values_), 0);
        std::fill(std::begin(multiples_), std::end(multiples_), 0);
        params_ = GameParams{};
        std::fill(std::begin(allFlags_), std::end(allFlags_), 0);
        baseStake_ = stake_ = 0;
        firstDealMarker_ = 0;
        dealsPlayed_ = 0;
        banker_ = 0;
        startTick_ = now;
        pairBlock_.clear();
        std::fill(std::begin(adjusted_), std::end(adjusted_), 0);
    }
    gameIdText_.clear();
    std::fill(std::begin(dice_), std::end(dice_), 0);
    status_ = 0;
    statusTick_ = now;
    currentChair_ = -1;
    activityTick_ = turnTick_ = 0;
    std::fill(std::begin(chairFlags_), std::end(chairFlags_), 0);
    std::fill(std::begin(thinkMs_), std::end(thinkMs_), 0);
    std::fill(std::begin(counters_), std::end(counters_), 0);
    mode_ = 0;
    gameRecord_.clear();
    gameRecordTick_ = now;
    std::lock_guard<std::mutex> hold(lock_.m);
    lockedValue_ = 0;
}

void CCommonTable::ClearChair(int32_t chair) {
    if (!IsValidChair(chair)) return;
    seats_[chair] = nullptr;
    lookers_[chair].clear();
    chairFlags_[chair] = startFlags_[chair] = startFlags2_[chair] = 0;
    group_[chair] = -1;
    waitTick_[chair] = 0;
    thinkMs_[chair] = counters_[chair] = 0;
}

void CCommonTable::ClearGame() {
    params_ = GameParams{};
    std::fill(std::begin(allFlags_), std::end(allFlags_), 0);
    firstDealMarker_ = dealsPlayed_ = banker_ = 0;
    status_ = 0;
    statusTick_ = Now();
    currentChair_ = -1;
    activityTick_ = turnTick_ = 0;
    mode_ = 0;
    gameRecord_.clear();
    gameRecordTick_ = statusTick_;
    std::lock_guard<std::mutex> hold(lock_.m);
    lockedValue_ = 0;
}

int32_t CCommonTable::AddPlayer(std::unique_ptr<TableUser> user, int32_t chair) {
    if (!user || !IsValidChair(chair) || seats_[chair] || users_.count(user->userId)) return 0;
    user->lookerOn = 0;
    seats_[chair] = user.get();
    users_[user->userId] = std::move(user);
    return 1;
}

int32_t CCommonTable::AddLookerOn(std::unique_ptr<TableUser> user, int32_t chair) {
    if (!user || !IsValidChair(chair) || users_.count(user->userId)) return 0;
    if (!user->lookerOn) user->lookerOn = 1;
    lookers_[chair].insert(user->userId);
    users_[user->userId] = std::move(user);
    return 1;
}

// Only a looker-on's record is deleted: a seated player's record is the one its seat points
// at, so deleting it here would leave the seat pointing at freed memory (and the player no
// longer a user of the table while still in his chair). A player leaves through RemovePlayer
// or RemoveUser, which clear the seat first.
void CCommonTable::RemoveLookerOn(int32_t userId, int32_t chair) {
    if (!IsValidChair(chair)) return;
    auto it = users_.find(userId);
    if (it != users_.end() && it->second->lookerOn) users_.erase(it);
    lookers_[chair].erase(userId);
}

// A seated user's seat is emptied too: the seat points at the record, which is deleted (or
// handed back) here, and would otherwise point at freed memory.
void CCommonTable::RemoveUser(int32_t userId, bool deleteRecord) {
    auto it = users_.find(userId);
    if (it != users_.end()) {
        for (auto& seat : seats_)
            if (seat == it->second.get()) seat = nullptr;
        if (deleteRecord)
            users_.erase(it);
        else
            it->second.release(), users_.erase(it);
    }
    for (auto& l : lookers_) l.erase(userId);
}

void CCommonTable::RemovePlayer(int32_t userId, bool deleteRecord) {
    for (auto& seat : seats_)
        if (seat && seat->userId == userId) seat = nullptr;
    auto it = users_.find(userId);
    if (it == users_.end()) return;
    if (!deleteRecord) it->second.release();
    users_.erase(it);
}

bool CCommonTable::IsPlayer(int32_t userId) const {
    auto it = users_.find(userId);
    return it != users_.end() && !it->second->lookerOn;
}

bool CCommonTable::IsLookerOn(int32_t userId) const {
    auto it = users_.find(userId);
    return it != users_.end() && it->second->lookerOn;
}

bool CCommonTable::IsPlayerInChair(int32_t userId, int32_t chair) const {
    return IsValidChair(chair) && seats_[chair] && seats_[chair]->userId == userId;
}

TableUser* CCommonTable::FindPlayer(int32_t userId) const {
    auto it = users_.find(userId);
    return (it != users_.end() && !it->second->lookerOn) ? it->second.get() : nullptr;
}

TableUser* CCommonTable::FindLookerOn(int32_t userId) const {
    auto it = users_.find(userId);
    return (it != users_.end() && it->second->lookerOn) ? it->second.get() : nullptr;
}

TableUser* CCommonTable::Seat(int32_t chair) const {
    return IsValidChair(chair) ? seats_[chair] : nullptr;
}

int32_t CCommonTable::UserIdAt(int32_t chair) const {
    TableUser* u = Seat(chair);
    return u ? u->userId : 0;
}

void CCommonTable::PrepareDeal() {
    banker_ = ChooseBankerChair();
}

void CCommonTable::RollDice() {
    RollTwoDice(&dice_[0], &dice_[1], 0);
    RollTwoDice(&dice_[2], &dice_[3], 1);
}

void CCommonTable::SetDice(int32_t d1, int32_t d2, int32_t d3, int32_t d4) {
    dice_[0] = d1, dice_[1] = d2, dice_[2] = d3, dice_[3] = d4;
}

bool CCommonTable::EveryChairHasStartFlag(int32_t flag) const {
    for (int c = 0; c < chairCount_; ++c)
        if ((startFlags_[c] & flag) != flag) return false;
    return true;
}

int32_t CCommonTable::StartGame(int32_t* outChair, const GameParams& params) {
    int32_t scratch = -1;
    int32_t& out = outChair ? *outChair : scratch;
    out = -1;
    for (int c = 0; c < chairCount_; ++c)
        if (!seats_[c]) return out = c, -10010;
    allFlags_[0] = EveryChairHasStartFlag(2);
    allFlags_[1] = EveryChairHasStartFlag(4);
    allFlags_[2] = EveryChairHasStartFlag(0x4000);
    params_ = params;
    if (allFlags_[1] && !(config_.ruleFlags & 0x400000u)) {
        stake_ = StakeFor(params.multiple);
        for (int c = 0; c < chairCount_; ++c)
            if (seats_[c]->holdings < params.minHoldings) return out = c, -10001;
    }
    for (int c = 0; c < chairCount_; ++c) {
        if (seats_[c]->score < params.minScore) return out = c, -10100;
        if (seats_[c]->score > params.maxScore) return out = c, -10200;
    }
    for (int c = 0; c < chairCount_; ++c)
        if (++seats_[c]->games > params.gamesLimit) return out = c, -10300;
    if (dealsPlayed_ >= params.dealsLimit) return -10400;
    ++dealsPlayed_;
    startTick_ = Now();
    baseStake_ = BaseStake(params.baseStakeValue);
    SaveSeatRecords();
    RollDice();
    PrepareDeal();
    CanStart();
    BeginPlay();
    StartWithBanker();
    OwnGroups();
    FirstDealMarker();
    if (gameIdText_.empty()) {
        // Every game is named when it starts: by the maker's ids when it gives them, else by
        // one of the table's own, so no game goes without an id however the table was made.
        gameIdText_ = hooks_.uniqueId ? hooks_.uniqueId() : MakeUniqueId();
        if (gameIdText_.size() > 31) gameIdText_.resize(31);
    }
    return 1;
}

int32_t CCommonTable::EndDeal(const int32_t* record, int32_t value) {
    banker_ = NextBanker(record, value);
    DealEndHook(record, value);
    AddDealMarker(record, value);
    dealValue_ = SecondWordOf(record);
    Reset(false);
    return 1;
}

void CCommonTable::SetChairFlag2(int32_t chair) {
    if (IsValidChair(chair)) chairFlags_[chair] |= 2;
}
void CCommonTable::SetChairFlags(int32_t chair, int32_t flags) {
    if (IsValidChair(chair)) chairFlags_[chair] = flags;
}
void CCommonTable::SetStartFlags(int32_t chair, int32_t flags, int32_t second) {
    if (IsValidChair(chair)) startFlags_[chair] = flags, startFlags2_[chair] = second;
}
void CCommonTable::SetMultiple(int32_t chair, int32_t multiple) {
    if (IsValidChair(chair)) multiples_[chair] = multiple;
}

int32_t CCommonTable::FillResultRecord(int32_t* record, int32_t bytes, int32_t a, int32_t b) {
    if (!record || bytes < 560) return 0;
    using namespace result_off;
    const int n = chairCount_;
    putWord(record, kMode, mode_);
    putWord(record, kChairs, n);
    putWord(record, kDeals, dealsPlayed_);
    putWord(record, kBanker, banker_);
    putWord(record, kBaseStake, baseStake_);
    putWord(record, kStake, stake_);
    int32_t* scoreTotals = record + kScoreTotals / 4;
    int32_t* stakeResults = record + kStakeResults / 4;
    int32_t* fees = record + kFees / 4;
    for (int c = 0; c < n; ++c) {
        record[kGroups / 4 + c] = group_[c];
        record[kValues / 4 + c] = values_[c];
        record[kMultiples / 4 + c] = multiples_[c];
        if (seats_[c]) {
            record[kScores / 4 + c] = seats_[c]->score;
            record[kHoldings / 4 + c] = seats_[c]->holdings;
        }
        record[kBaseProducts / 4 + c] = saturate(int64_t{baseStake_} * multiples_[c]);
        record[kStakeProducts / 4 + c] = saturate(int64_t{stake_} * multiples_[c]);
        fees[c] = 0;
        record[kWinPoints / 4 + c] = 0;
    }
    // The products join the totals the caller's record holds (none in a cleared record).
    AddColumns(record + kBaseProducts / 4, record + kStakeProducts / 4, scoreTotals, stakeResults);
    // The silver changes stay in 64 bits until the holdings have capped them.
    int64_t stake64[kMaxTableChairs] = {};
    for (int c = 0; c < n; ++c) stake64[c] = stakeResults[c];
    SettleWinPoints(record, a, b, record + kWinPoints / 4);
    putWord(record, kFriend, IsFriend(a, b, 0));
    ScaleResults(record + kWinPoints / 4, scoreTotals, stake64);
    ForwardComputerLosses(scoreTotals);
    if (allFlags_[1] && stake_ > 0) {
        int32_t holdings[kMaxTableChairs] = {};
        for (int c = 0; c < n; ++c) holdings[c] = seats_[c] ? seats_[c]->holdings : 0;
        const int32_t m = params_.settleMode;
        int32_t feeTotal = 0;
        if (m == 7 || m == 8 || m == 9) {
            int32_t rest[kMaxTableChairs] = {};
            feeTotal = ApplyTableFee(holdings, rest, fees);
            SettleLosses64(rest, stake64);
            for (int c = 0; c < n; ++c) stakeResults[c] = saturate(stake64[c] - fees[c]);
        } else {
            SettleLosses64(holdings, stake64);
            for (int c = 0; c < n; ++c) stakeResults[c] = saturate(stake64[c]);
            feeTotal = ApplyRoomFee(holdings, stakeResults, fees);
        }
        CheckSettlement(stakeResults, fees, feeTotal);
    } else {
        for (int c = 0; c < n; ++c) stakeResults[c] = saturate(stake64[c]);
    }
    for (int c = 0; c < n; ++c)
        record[kLevels / 4 + c] =
            LevelFromScore(saturate(int64_t{seats_[c] ? seats_[c]->score : 0} + scoreTotals[c]),
                           config_.levelMultiplier);
    putWord(record, kFlags, (ResultFlagA() ? 1 : 0) | (ResultFlagB() ? 2 : 0));
    return 1;
}

// The group ids in use, ascending. A group id is a chair (own groups) or a team mark, 0 to 7:
// ids outside that range (-1 for none) belong to no group. Eight chairs in their own groups
// make eight groups.
int32_t CCommonTable::OccupiedGroups(int32_t* ids) const {
    bool used[kMaxTableChairs] = {};
    for (int c = 0; c < chairCount_; ++c)
        if (group_[c] >= 0 && group_[c] < kMaxTableChairs) used[group_[c]] = true;
    int32_t n = 0;
    for (int32_t g = 0; g < kMaxTableChairs; ++g)
        if (used[g]) ids[n++] = g;
    return n;
}

int32_t CCommonTable::CountGroups() const {
    int32_t ids[kMaxTableChairs];
    return OccupiedGroups(ids);
}

int32_t CCommonTable::CountInGroup(int32_t n) const {
    int32_t ids[kMaxTableChairs];
    if (n < 0 || n >= OccupiedGroups(ids)) return 0;
    return static_cast<int32_t>(std::count(group_, group_ + chairCount_, ids[n]));
}

int32_t CCommonTable::CountOutsideGroup(int32_t group) const {
    int32_t k = 0;
    for (int c = 0; c < chairCount_; ++c) k += group_[c] != group;
    return k;
}

int32_t CCommonTable::NextChairInGroup(int32_t chair, int32_t group) {
    if (!IsValidChair(chair)) return -1;
    for (int32_t c = NextChair(chair); c != chair; c = NextChair(c))
        if (group_[c] == group) return c;
    return -1;
}

int32_t CCommonTable::NextChairNotInGroup(int32_t chair, int32_t group) {
    if (!IsValidChair(chair)) return -1;
    for (int32_t c = NextChair(chair); c != chair; c = NextChair(c))
        if (group_[c] != group) return c;
    return -1;
}

void CCommonTable::OwnGroups() {
    for (int c = 0; c < chairCount_; ++c) group_[c] = c;
}

void CCommonTable::SetGroup(int32_t chair, int32_t group) {
    if (IsValidChair(chair)) group_[chair] = group;
}

int32_t CCommonTable::FirstDealMarker() {
    if (dealsPlayed_ == 1) firstDealMarker_ = 1;
    return firstDealMarker_;
}

int32_t CCommonTable::AddDealMarker(const int32_t*, int32_t) {
    return firstDealMarker_;
}

void CCommonTable::SwitchActiveChair(int32_t chair) {
    if (chair == currentChair_) return;
    const uint32_t now = Now();
    if (IsValidChair(currentChair_) && turnTick_ != 0)
        thinkMs_[currentChair_] += static_cast<int32_t>(now - turnTick_);
    currentChair_ = chair;
    statusTick_ = turnTick_ = now;
}

void CCommonTable::StampActivity() {
    activityTick_ = Now();
}

int32_t CCommonTable::NextChair(int32_t chair) const {
    if (!IsValidChair(chair)) return -1;
    return (chair + chairCount_ - 1) % chairCount_;
}

int32_t CCommonTable::PrevChair(int32_t chair) const {
    if (!IsValidChair(chair)) return -1;
    return (chair + 1) % chairCount_;
}

int32_t CCommonTable::StartWithBanker() {
    SwitchActiveChair(banker_);
    return currentChair_;
}

int32_t CCommonTable::ChooseBankerChair() {
    return RandomBelow(chairCount_);
}

int32_t CCommonTable::NextBanker(const int32_t*, int32_t) {
    return RandomBelow(chairCount_);
}

void CCommonTable::SetStatusBits(uint32_t bits) {
    status_ |= bits;
    statusTick_ = Now();
}
void CCommonTable::ClearStatusBits(uint32_t bits) {
    status_ &= ~bits;
    statusTick_ = Now();
}
void CCommonTable::SetStatus(uint32_t value) {
    status_ = value;
    statusTick_ = Now();
}

int32_t CCommonTable::SettleWinPoints(int32_t*, int32_t, int32_t, int32_t*) {
    return 0;
}

int32_t CCommonTable::IsFriend(int32_t, int32_t, int32_t chair) const {
    if (!IsValidChair(chair) || !IsValidChair(banker_)) return 0;
    if (mode_ & 1) return group_[banker_] == group_[chair];
    if (mode_ == 4 || mode_ == 8) return group_[banker_] != group_[chair];
    return 0;
}

int32_t CCommonTable::CountUp(int32_t chair) {
    if (!IsValidChair(chair) || counters_[chair] >= config_.counterLimit) return 0;
    ++counters_[chair];
    return 1;
}

int32_t CCommonTable::BaseStake(int32_t n) const {
    if (n > 0) return n;
    int32_t scores[kMaxTableChairs] = {};
    for (int c = 0; c < chairCount_; ++c) scores[c] = seats_[c] ? seats_[c]->score : 0;
    return LevelValueFromMin(scores, chairCount_, config_.levelMultiplier);
}

int32_t CCommonTable::StakeFor(int32_t multiple) const {
    int32_t holdings[kMaxTableChairs] = {};
    int32_t smallest = INT32_MAX;
    for (int c = 0; c < chairCount_; ++c) {
        holdings[c] = seats_[c] ? seats_[c]->holdings : 0;
        smallest = std::min(smallest, holdings[c]);
    }
    const int32_t key = EveryChairHasStartFlag(2) ? 0 : config_.tableKey;
    const int32_t s = saturate(int64_t{BaseStakeFromMin(holdings, key, chairCount_)} * multiple);
    const int32_t cap = params_.stakeCap;
    switch (params_.settleMode) {
        case 0:
        case 1:
            return cap > 0 ? std::min(s, cap) : s;
        case 7:
        case 8:
        case 9:
            return (cap > 0 && smallest >= cap) ? cap : s;
        default:
            return s;
    }
}

int32_t CCommonTable::Sum(const int32_t* values) const {
    int64_t s = 0;
    for (int c = 0; c < chairCount_; ++c) s += values[c];
    return saturate(s);
}

// A loser cannot pay more than his cap; what he cannot pay is taken from the winners in
// proportion to their winnings, each loser's shortfall shared on its own and each share rounded
// up, so that the winners together never receive more than the losers pay (what the rounding
// keeps back is nobody's).
int32_t CCommonTable::SettleLosses(const int32_t* holdings, int32_t* results) const {
    int64_t wide[kMaxTableChairs] = {};
    for (int c = 0; c < chairCount_; ++c) wide[c] = results[c];
    SettleLosses64(holdings, wide);
    for (int c = 0; c < chairCount_; ++c) results[c] = saturate(wide[c]);
    return Sum(results);
}

int64_t CCommonTable::SettleLosses64(const int32_t* holdings, int64_t* results) const {
    const int n = chairCount_;
    int32_t smallest = INT32_MAX;
    for (int c = 0; c < n; ++c) smallest = std::min(smallest, std::max(holdings[c], 0));
    const bool perChair = (config_.ruleFlags & 0x4000000u) != 0;
    int64_t start[kMaxTableChairs] = {};
    int64_t positive = 0;
    for (int c = 0; c < n; ++c) {
        start[c] = results[c];
        if (start[c] > 0) positive += start[c];
    }
    for (int c = 0; c < n; ++c) {
        const int64_t cap = perChair ? std::max(holdings[c], 0) : smallest;
        if (results[c] + cap >= 0) continue;
        const int64_t shortfall = -(results[c] + cap);
        results[c] = -cap;
        if (positive <= 0) continue;
        for (int w = 0; w < n; ++w) {
            if (start[w] <= 0) continue;
            const __int128 share = static_cast<__int128>(shortfall) * start[w];
            const int64_t taken = static_cast<int64_t>((share + positive - 1) / positive);
            results[w] = std::max<int64_t>(results[w] - taken, 0);
        }
    }
    int64_t sum = 0;
    for (int c = 0; c < n; ++c) sum += results[c];
    return sum;
}

// A fee is never below 0: a chair whose holdings and result come to less than nothing, or a
// negative rate among the game's parameters, would otherwise be paid a "fee", silver made from
// nothing. So a chair below nothing pays none, and its shortfall is counted from nothing.
int32_t CCommonTable::ApplyRoomFee(const int32_t* holdings, int32_t* results, int32_t* fees) const {
    const int n = chairCount_;
    int64_t total = 0;
    if (params_.settleMode == 1) {
        int64_t deficit = 0;
        for (int c = 0; c < n; ++c) {
            if (!seats_[c]) continue;
            const int64_t s = int64_t{holdings[c]} + results[c];
            const int64_t t = std::max<int64_t>(std::min<int64_t>(s, params_.minHoldingsMode1), 0);
            results[c] = saturate(results[c] - t);
            fees[c] = saturate(fees[c] + t);
            total += t;
            if (s < params_.minHoldingsMode1)
                deficit += params_.minHoldingsMode1 - std::max<int64_t>(s, 0);
        }
        for (int c = 0; c < n && deficit > 0; ++c) {
            if (results[c] <= 0) continue;
            const int64_t t = std::min<int64_t>(results[c], deficit);
            results[c] -= static_cast<int32_t>(t);
            fees[c] = saturate(fees[c] + t);
            deficit -= t;
            total += t;
        }
    } else if (params_.settleMode == 6) {
        for (int c = 0; c < n; ++c) {
            const int64_t r = results[c];
            if (r <= 100) continue;
            const int64_t k = r / 100;
            int64_t fee = int64_t{params_.feePerHundred} * k;
            if (r > 100000)
                fee *= 5;
            else if (r > 10000)
                fee *= static_cast<int64_t>(std::ceil(static_cast<double>(r) * 0.00005));
            fee = std::min(fee, int64_t{FeeCapPerHundred()} * k);
            fee = std::clamp<int64_t>(fee, 0, r);
            results[c] = static_cast<int32_t>(r - fee);
            fees[c] = saturate(fees[c] + fee);
            total += fee;
        }
    }
    return saturate(total);
}

int32_t CCommonTable::ApplyTableFee(const int32_t* in, int32_t* rest, int32_t* fees) const {
    const int n = chairCount_;
    int64_t total = 0;
    int32_t smallestPositive = INT32_MAX;
    for (int c = 0; c < n; ++c)
        if (in[c] > 0) smallestPositive = std::min(smallestPositive, in[c]);
    for (int c = 0; c < n; ++c) {
        rest[c] = in[c];
        int64_t pay = 0;
        const auto pct = [&](int64_t amount) {
            return static_cast<int64_t>(std::ceil(params_.percent89 * amount * 0.0001));
        };
        switch (params_.settleMode) {
            case 7:
                pay = std::min(in[c], params_.minHoldingsMode1);
                break;
            case 8:
                if (smallestPositive != INT32_MAX && smallestPositive >= params_.minAmount89)
                    pay = std::min<int64_t>(in[c], pct(smallestPositive));
                break;
            case 9:
                if (in[c] >= params_.minAmount89) pay = std::min<int64_t>(in[c], pct(in[c]));
                break;
            default:
                break;
        }
        pay = std::max<int64_t>(pay, 0);
        fees[c] = saturate(fees[c] + pay);
        rest[c] = saturate(in[c] - pay);
        total += pay;
    }
    return saturate(total);
}

// The results with the fees taken (feeTotal) may come to less than nothing (the losers paid
// what a rounded-up share kept back) but never to more: a settlement that would pay out more
// than was paid in is cleared rather than paid.
int32_t CCommonTable::CheckSettlement(int32_t* results, int32_t* fees, int32_t feeTotal) const {
    int64_t s = feeTotal;
    for (int c = 0; c < chairCount_; ++c) s += results[c];
    if (s < 1) return 1;
    Log("table: settlement pays out more than is paid in (" + std::to_string(s) + "), cleared");
    for (int c = 0; c < chairCount_; ++c) results[c] = fees[c] = 0;
    return 0;
}

void CCommonTable::ScaleResults(const int32_t*, int32_t*, int64_t*) const {}

int32_t CCommonTable::IsDealTimeOver(int32_t* seconds, int32_t* minutes) {
    if (params_.timeLimit <= 0) params_.timeLimit = 60000;
    if (dealsPlayed_ > 10) return 0;
    return ElapsedMinSec(startTick_, seconds, minutes, params_.timeLimit);
}

int32_t CCommonTable::CheckTurnTimeout(int32_t chair, int32_t seconds) const {
    if (chair != currentChair_ && Now() - activityTick_ > static_cast<uint32_t>(seconds) * 1000u)
        return currentChair_;
    return chair;
}

int32_t CCommonTable::LossFor(int32_t chair, int32_t units, int32_t* fee) const {
    int64_t loss = int64_t{stake_} * units;
    if (IsValidChair(chair) && seats_[chair])
        loss = std::min<int64_t>(loss, seats_[chair]->holdings);
    if (params_.lossCap > 0) loss = std::min<int64_t>(loss, params_.lossCap);
    if (fee) *fee = saturate(-(int64_t{params_.feePercent} * loss) / 100);
    return saturate(loss);
}

int32_t CCommonTable::ShareOf(int32_t chair, int32_t from, int32_t amount) {
    if (chair == from || !IsValidChair(from)) return 0;
    const int32_t others = CountOutsideGroup(group_[from]);
    if (others <= 0) return 0;
    int32_t share = amount / others;
    if (NextChairNotInGroup(from, group_[from]) == chair) share += amount % others;
    return share;
}

bool CCommonTable::StartedWithin(int32_t seconds) const {
    return seconds > 0 && Now() - startTick_ < static_cast<uint32_t>(seconds) * 1000u;
}

int32_t CCommonTable::CountSeated() const {
    int32_t k = 0;
    for (int c = 0; c < chairCount_; ++c) k += seats_[c] && seats_[c]->userId > 0;
    return k;
}

int32_t CCommonTable::CountConnected() const {
    std::lock_guard<std::mutex> hold(lock_.m);
    int32_t k = 0;
    for (int c = 0; c < chairCount_; ++c) k += seats_[c] && seats_[c]->IsConnected();
    return k;
}

// --- Records ---------------------------------------------------------------------------------

int32_t CCommonTable::FillTableInfo(int32_t* record, int32_t bytes) {
    if (!record || bytes < kTableInfoBytes) return 0;
    using namespace info_off;
    std::memset(record, 0, static_cast<size_t>(bytes));
    putWord(record, kGameId, config_.gameId);
    putWord(record, kTableKey, config_.tableKey);
    putWord(record, kChairs, chairCount_);
    putWord(record, kBaseStake, baseStake_);
    putWord(record, kStake, stake_);
    for (int c = 0; c < kMaxTableChairs; ++c) record[kChairFlags / 4 + c] = chairFlags_[c];
    putWord(record, kDeals, dealsPlayed_);
    const int32_t think = DefaultThinkTime();
    putWord(record, kThinkTime, think);
    return think;
}

static_assert(state_off::kTurnMs + 4 <= kTableStateBytes);

int32_t CCommonTable::FillTableState(int32_t* record, int32_t bytes, int32_t, bool) {
    if (!record || bytes < TableStateSize()) return 0;
    using namespace state_off;
    std::memset(record, 0, static_cast<size_t>(bytes));
    putWord(record, kTableKey, config_.tableKey);
    putWord(record, kLevelMultiplier, config_.levelMultiplier);
    putWord(record, kChairs, chairCount_);
    putWord(record, kRuleFlags, static_cast<int32_t>(config_.ruleFlags));
    putWord(record, kCounterLimit, config_.counterLimit);
    for (int c = 0; c < kMaxTableChairs; ++c) {
        record[kStartFlags / 4 + c] = startFlags_[c];
        record[kStartFlags2 / 4 + c] = startFlags2_[c];
        record[kChairFlags / 4 + c] = chairFlags_[c];
        record[kGroups / 4 + c] = group_[c];
        record[kThinkMs / 4 + c] = thinkMs_[c];
        record[kCounters / 4 + c] = counters_[c];
        record[kValues / 4 + c] = values_[c];
        record[kMultiples / 4 + c] = multiples_[c];
    }
    for (int k = 0; k < 3; ++k) record[kAllFlags / 4 + k] = allFlags_[k];
    const GameParams& p = params_;
    const int32_t params[] = {p.multiple,   p.minHoldings, p.feePerHundred,  p.lossCap,
                              p.feePercent, p.threshold,   p.settleMode,     p.minHoldingsMode1,
                              p.stakeCap,   p.timeLimit,   p.baseStakeValue, p.minScore,
                              p.maxScore,   p.gamesLimit,  p.dealsLimit,     p.percent89,
                              p.minAmount89};
    static_assert(sizeof params == kBaseStake - kParams);
    std::memcpy(record + kParams / 4, params, sizeof params);
    putWord(record, kBaseStake, baseStake_);
    putWord(record, kStake, stake_);
    putWord(record, kFirstDeal, firstDealMarker_);
    putWord(record, kDeals, dealsPlayed_);
    putWord(record, kBanker, banker_);
    putWord(record, kStatus, static_cast<int32_t>(status_));
    putWord(record, kCurrentChair, GetCurrentChair());
    for (int k = 0; k < 4; ++k) record[kDice / 4 + k] = dice_[k];
    putWord(record, kMode, mode_);
    putWord(record, kAnyFlag1, AnyFlag1());
    if (IsValidChair(currentChair_) && turnTick_ != 0)
        putWord(record, kTurnMs, static_cast<int32_t>(Now() - turnTick_));
    return 1;
}

int32_t CCommonTable::FillPlayerState(int32_t* record, int32_t bytes, int32_t, bool) {
    if (record && bytes > 0) std::memset(record, 0, static_cast<size_t>(bytes));
    return 0;
}

int32_t CCommonTable::FillLookerState(int32_t* record, int32_t bytes, int32_t, bool) {
    if (record && bytes > 0) std::memset(record, 0, static_cast<size_t>(bytes));
    return 0;
}

const SavedSeat& CCommonTable::Saved(int32_t chair) const {
    static const SavedSeat kNone;
    return IsValidChair(chair) ? saved_[chair] : kNone;
}

// --- Levels and result rows --------------------------------------------------------------------

int32_t CCommonTable::LevelOf(int32_t score) const {
    return LevelFromScore(score, config_.levelMultiplier);
}

int32_t CCommonTable::LevelsOf(const int32_t* a, const int32_t* b, int32_t* out) const {
    if (!a || !b || !out) return 0;
    for (int c = 0; c < chairCount_; ++c) out[c] = LevelOf(saturate(int64_t{a[c]} + b[c]));
    return 1;
}

int32_t CCommonTable::MinLevelValue(const int32_t* values, int32_t n) const {
    return LevelValueFromMin(values, n, config_.levelMultiplier);
}

int32_t CCommonTable::BaseStakeOf(const int32_t* values, int32_t x, int32_t n) const {
    return BaseStakeFromMin(values, x, n);
}

int32_t CCommonTable::FillNames(int32_t* record, const UserNameMap* names) const {
    if (!record || !names || AnySecondFlag1()) return 0;
    int32_t named = 0;
    for (int c = 0; c < chairCount_; ++c) {
        if (!seats_[c]) continue;
        char* field =
            reinterpret_cast<char*>(record) + result_off::kNames + result_off::kNameBytes * c;
        named += LookupNameById(*names, static_cast<uint32_t>(seats_[c]->userId), field,
                                result_off::kNameBytes);
    }
    return named;
}

void CCommonTable::SetRecordStake(int32_t* record) const {
    if (record) putWord(record, result_off::kStake, StakeFor(params_.multiple));
}

int32_t CCommonTable::ForwardComputerLosses(int32_t* values) {
    if (AdjustsComputerLosses()) AdjustComputerLosses(values);
    return 0;
}

int32_t CCommonTable::ApplyResults(const int32_t* record) {
    if (!record) return 0;
    using namespace result_off;
    const bool stakes = record[kStake / 4] > 0;
    for (int c = 0; c < chairCount_; ++c) {
        TableUser* u = seats_[c];
        if (!u) continue;
        u->score = saturate(int64_t{record[kScores / 4 + c]} + record[kScoreTotals / 4 + c]);
        u->third = record[kValues / 4 + c];
        if (stakes)
            u->holdings =
                saturate(int64_t{record[kHoldings / 4 + c]} + record[kStakeResults / 4 + c]);
    }
    return 1;
}

int32_t CCommonTable::ClearResultColumns(int32_t* record) {
    if (!record) return 0;
    using namespace result_off;
    for (int c = 0; c < chairCount_; ++c) {
        TableUser* u = seats_[c];
        if (!u) continue;
        record[kScoreTotals / 4 + c] = 0;
        record[kStakeResults / 4 + c] = 0;
        u->third = record[kValues / 4 + c];
    }
    return 1;
}

int32_t CCommonTable::FillResultRows(const int32_t* record, ResultRow* rows) const {
    if (!record || !rows) return 0;
    using namespace result_off;
    int32_t n = 0;
    for (int c = 0; c < chairCount_; ++c) {
        const int32_t user = seats_[c] ? seats_[c]->userId : saved_[c].userId;
        if (!seats_[c] && user == 0) continue;
        ResultRow& r = rows[n++];
        r.userId = user;
        r.tableKey = config_.tableKey;
        r.chair = c;
        r.stake = record[kStake / 4];
        r.multiple = record[kMultiples / 4 + c];
        r.score = record[kScoreTotals / 4 + c];
        r.silver = record[kStakeResults / 4 + c];
        r.mark = r.score > 0 ? kRowWon : r.score == 0 ? kRowDrawn : kRowLost;
    }
    return n;
}

void CCommonTable::AddColumns(const int32_t* a, const int32_t* b, int32_t* c, int32_t* d) const {
    for (int k = 0; k < chairCount_; ++k) {
        if (a && c) c[k] = saturate(int64_t{c[k]} + a[k]);
        if (stake_ > 0 && b && d) d[k] = saturate(int64_t{d[k]} + b[k]);
    }
}

int32_t CCommonTable::SnapshotScores(int32_t* record) const {
    if (!record || !AnySecondFlag8000000()) return 0;
    using namespace result_off;
    for (int c = 0; c < chairCount_; ++c) {
        record[kScores / 4 + c] = seats_[c] ? seats_[c]->score : saved_[c].score;
        record[kHoldings / 4 + c] = seats_[c] ? seats_[c]->holdings : saved_[c].holdings;
    }
    return 1;
}

int32_t CCommonTable::SaveSeatRecords() {
    if (!AnySecondFlag8000000()) return 0;
    std::fill(std::begin(saved_), std::end(saved_), SavedSeat{});
    for (int c = 0; c < chairCount_; ++c) SaveSeatRecord(c);
    return 1;
}

int32_t CCommonTable::SaveSeatRecord(int32_t chair) {
    if (!IsValidChair(chair) || !AnySecondFlag8000000()) return 0;
    SavedSeat& s = saved_[chair];
    s = SavedSeat{};
    if (const TableUser* u = seats_[chair])
        s = {u->userId, u->flags, u->lookerOn, u->score, u->holdings, u->third, u->level, u->games};
    return 1;
}

bool CCommonTable::IsWaitingTooLong(int32_t chair, int32_t seconds) const {
    if (!IsValidChair(chair) || IsPlaying() || dealsPlayed_ != 0 || config_.spareOption == 0)
        return false;
    if (waitTick_[chair] == 0 || seconds <= 0) return false;
    return Now() - waitTick_[chair] < static_cast<uint32_t>(seconds) * 1000u;
}

void CCommonTable::BeginWait(int32_t chair) {
    if (!IsValidChair(chair)) return;
    // 0 marks no wait: a wait begun at tick 0 counts from 1.
    waitTick_[chair] = std::max(Now(), 1u);
}

// One chair answers -v at every level; the later levels' own Negate does not apply here.
int32_t CCommonTable::IsOpponent(int32_t a, int32_t b, int32_t v) const {
    if (a == b) return saturate(-int64_t{v});
    return GroupOf(a) != GroupOf(b) ? 1 : 0;
}

int32_t CCommonTable::Negate(int32_t v) const {
    return saturate(-int64_t{v});
}

int32_t CCommonTable::ListReadyPlayers(ReadyList* list, const UserNameMap* names) const {
    if (!list) return 0;
    *list = ReadyList{};
    for (int c = 0; c < chairCount_; ++c)
        if (!(chairFlags_[c] & 1)) return 0;
    for (int c = 0; c < chairCount_; ++c) {
        ReadyPlayer& p = list->players[c];
        p.chair = c;
        if (const TableUser* u = seats_[c]) {
            p.userId = u->userId, p.score = u->score, p.holdings = u->holdings;
            p.third = u->third;
            if (names)
                LookupNameById(*names, static_cast<uint32_t>(u->userId), p.name, sizeof p.name);
        }
    }
    list->count = chairCount_;
    return list->count;
}

int32_t CCommonTable::AnyStartFlag(int32_t flag) const {
    for (int c = 0; c < chairCount_; ++c)
        if (startFlags_[c] & flag) return 1;
    return 0;
}

int32_t CCommonTable::AnySecondFlag(int32_t flag) const {
    for (int c = 0; c < chairCount_; ++c)
        if (startFlags2_[c] & flag) return 1;
    return 0;
}

int32_t CCommonTable::AllAgreed() const {
    if (config_.ruleFlags & 0x1000000u) return 1;
    return AnyStartFlag(0x100000);
}

int32_t CCommonTable::NoneHasFlag4() const {
    return AnyStartFlag(4) ? 0 : 1;
}

int32_t CCommonTable::AnyOverThreshold(const int32_t* values) const {
    if (!values || !(config_.ruleFlags & 0x2000000u) || params_.threshold == 0) return 0;
    for (int c = 0; c < chairCount_; ++c)
        if (values[c] >= params_.threshold) return 1;
    return 0;
}

int32_t CCommonTable::ApplyChoice(int32_t* record, int32_t bytes, int32_t a, int32_t b,
                                  bool doubled, const UserNameMap* names) {
    if (!FillResultRecord(record, bytes, a, b)) return 0;
    if (doubled)
        ClearResultColumns(record);
    else
        ApplyResults(record);
    FillNames(record, names);
    SetRecordStake(record);
    return 1;
}

int32_t CCommonTable::FillResultHeader(ResultHeader* header, const int32_t* record,
                                       int32_t value) const {
    if (!header || !record) return 0;
    *header = ResultHeader{};
    header->chairCount = chairCount_;
    header->gameId = config_.gameId;
    header->value = value;
    header->tick = gameRecordTick_;
    header->flags =
        (NoneHasFlag4() ? 1 : 0) | (AnyOverThreshold(record + result_off::kHoldings / 4) ? 2 : 0);
    for (ResultRow& r : header->rows) r.gameId = config_.gameId, r.value = value;
    header->rowCount = FillResultRows(record, header->rows);
    return header->rowCount;
}

int32_t CCommonTable::AddLevels(const int32_t* record) {
    if (!record) return 0;
    for (int c = 0; c < chairCount_; ++c)
        if (TableUser* u = seats_[c])
            u->level = saturate(int64_t{u->level} + record[result_off::kLevels / 4 + c]);
    return 1;
}

int32_t CCommonTable::ApplyStoredResult(const int32_t* record, int32_t bytes,
                                        const UserNameMap* names) {
    const int32_t size = ResultRecordSize();
    if (!record || bytes < size) return 0;
    using namespace result_off;
    gameRecord_.assign(record, record + size / 4);
    int32_t* g = gameRecord_.data();
    ApplyResults(g);
    SetRecordStake(g);
    LevelsOf(g + kScores / 4, g + kScoreTotals / 4, g + kLevels / 4);
    FillNames(g, names);
    return 1;
}

int32_t CCommonTable::SpareValueOf(int32_t userId) const {
    const TableUser* u = FindPlayer(userId);
    return u ? u->further2 : 0;
}

// --- Computer players --------------------------------------------------------------------------

int32_t CCommonTable::AdjustComputerLosses(int32_t* values) {
    if (!values) return 0;
    int64_t total = 0;
    for (int c = 0; c < chairCount_; ++c) {
        const TableUser* u = seats_[c];
        if (!u || !(u->flags & 1) || values[c] >= 0) continue;
        const int32_t before = values[c];
        values[c] = RandomAdjust(before);
        // A loss forgiven whole can exceed the int32 range (INT32_MIN to 0).
        const int64_t change = int64_t{values[c]} - before;
        adjusted_[c] = saturate(change);
        total += change;
    }
    return saturate(total);
}

int32_t CCommonTable::RandomAdjust(int32_t value) {
    if (value >= 0) return value;
    int32_t chance = 0, shares[kAdjustBands] = {}, percents[kAdjustBands] = {};
    DefaultAdjustTable(&chance, shares, percents, kAdjustBands);
    if (RandomBelow(100) > chance) return value;
    const int32_t d = RandomBelow(100);
    int32_t percent = 0, band = 0;
    for (int k = 0; k < kAdjustBands; ++k) {
        band += shares[k];
        if (d < band) {
            percent = percents[k];
            break;
        }
    }
    // The loss shrinks by the percentage, and by at least 1: never past 0.
    const int64_t relief = std::max<int64_t>(-int64_t{value} * percent / 100, 1);
    return saturate(int64_t{value} + relief);
}

int32_t CCommonTable::DefaultAdjustTable(int32_t* chance, int32_t* shares, int32_t* percents,
                                         int32_t n) const {
    if (chance) *chance = 55;
    if (n >= kAdjustBands && shares && percents) {
        static const int32_t kShares[kAdjustBands] = {84, 12, 4, 0};
        static const int32_t kPercents[kAdjustBands] = {10, 50, 100, 0};
        std::copy(kShares, kShares + kAdjustBands, shares);
        std::copy(kPercents, kPercents + kAdjustBands, percents);
    }
    return n;
}

int32_t CCommonTable::ListComputerPlayers(int32_t* ids, const int32_t* values) const {
    if (!ids || !values) return 0;
    FillMinusOne(ids, chairCount_);
    int32_t n = 0;
    for (int c = 0; c < chairCount_; ++c) {
        const TableUser* u = seats_[c];
        if (u && (u->flags & 1) && values[c] > 0) ids[n++] = u->userId;
    }
    return n;
}

std::string CCommonTable::ComputerName(int32_t index) const {
    static const char* const kSigns[] = {"【甲】", "【乙】", "【丙】", "【丁】",
                                         "【戊】", "【己】", "【庚】", "【辛】"};
    return std::string("游戏玩家") + (index >= 0 && index < 8 ? kSigns[index] : "【-】");
}

void CCommonTable::FillComputerRow(ComputerRow& row, int32_t chair) const {
    const std::string name = ComputerName(chair);
    std::memset(row.name, 0, sizeof row.name);
    std::memcpy(row.name, name.data(), std::min(name.size(), sizeof row.name - 1));
    std::memset(row.text, 0, sizeof row.text);
    row.field1 = 1000;
    row.field2 = 100;
    row.baseLevel = LevelOf(100);
    std::fill(std::begin(row.zero), std::end(row.zero), 0);
}

int32_t CCommonTable::FillComputerRows(ComputerRow* rows, int32_t chair) {
    if (!rows) return 0;
    int32_t n = 0;
    for (int c = 0; c < chairCount_; ++c) {
        ComputerRow& r = rows[c];
        if (c == chair || !r.present) continue;
        r.computer = RandomBelow(100) >= 90 ? 1 : 0;
        r.bit = RandomBelow(2);
        r.value1 = RandomBelow(107);
        r.level = RandomBelow(91) + 10;
        r.value2 = RandomBelow(186);
        if (r.bit && r.value2 == 0) r.value2 = 1;
        FillComputerRow(r, c);
        ++n;
    }
    SavePairRow(rows, 1, chair);
    return n;
}

int32_t CCommonTable::SavePairRow(const ComputerRow* rows, int32_t on, int32_t row) {
    if (!rows || !IsValidChair(row)) return 0;
    const size_t words = static_cast<size_t>(PairBlockSize()) / 4;
    if (pairBlock_.size() != words) pairBlock_.assign(words, 0);
    for (int c = 0; c < chairCount_; ++c) {
        int32_t* p = &pairBlock_[static_cast<size_t>((row * chairCount_ + c) * 8)];
        p[0] = on;
        p[1] = rows[c].value1;
        p[2] = rows[c].level;
        p[3] = rows[c].value2;
    }
    return 1;
}

int32_t CCommonTable::FillComputerPlayers(ComputerRow* rows, int32_t row) const {
    if (!rows || !IsValidChair(row) || pairBlock_.empty()) return 0;
    int32_t n = 0;
    for (int c = 0; c < chairCount_; ++c) {
        const int32_t* p = &pairBlock_[static_cast<size_t>((row * chairCount_ + c) * 8)];
        if (!p[0]) continue;
        ComputerRow& r = rows[c];
        r.present = 1;
        r.value1 = p[1];
        r.level = p[2];
        r.value2 = p[3];
        FillComputerRow(r, c);
        ++n;
    }
    return n;
}

int32_t CCommonTable::GetLockedValue() const {
    std::lock_guard<std::mutex> hold(lock_.m);
    return lockedValue_;
}

}  // namespace hqlv::rules
