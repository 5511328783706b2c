#pragma once
// The common table: the first class of the table rule chain (common table <- card table <-
// mahjong table <- this game's table). It keeps the users, the seats and the lookers-on, the
// table status and the turn timing, the dice, groups of chairs, the start of a game and the
// settlement of a deal into its result record. Each later class overrides virtual operations
// of the one below, so one object answers every rule question.
//
// The rules depend on nothing else of ours: the daily log, the unique-id maker and the folder
// of the test-deal file are hooks given at construction. Time comes from RulesTickMs() and
// random numbers from the rules' generator (common.h), both injectable for tests.
//
// Chairs, tiles and positions that come from a request are checked before use: an invalid one
// is answered with 0 or -1 and changes nothing.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

namespace hqlv::rules {

inline constexpr int kMaxTableChairs = 8;

struct TableHooks {
    std::function<void(const std::string&)> log;  // one line of the daily log (UTF-8)
    std::function<std::string()> uniqueId;        // a new game id, at most 31 characters
    std::string testIniFolder;                    // folder of "test.ini"; empty: no file
};

struct TableConfig {
    int32_t gameId = -1;
    int32_t tableKey = -1;
    int32_t levelMultiplier = 1;
    int32_t chairCount = 4;
    uint32_t ruleFlags = 0x900C2100u;
    int32_t spareOption = 0;
    int32_t counterLimit = 3;
};

// A player or a looker-on. The table owns the records.
struct TableUser {
    virtual ~TableUser() = default;
    virtual bool IsConnected() const { return true; }
    // The record a copied table owns in place of this one; a derived record returns its own
    // kind, or the copy would lose what it adds.
    virtual std::unique_ptr<TableUser> Clone() const { return std::make_unique<TableUser>(*this); }
    int32_t userId = 0;
    int32_t flags = 0;  // bit 1: computer-controlled
    int32_t lookerOn = 0;
    int32_t score = 0;
    int32_t holdings = 0;
    int32_t third = 0;
    int32_t level = 0;
    int32_t games = 0;
    int32_t further1 = 0;
    int32_t further2 = 0;
};

// The parameters of StartGame, in its order.
struct GameParams {
    int32_t multiple = 0;
    int32_t minHoldings = 0;
    int32_t feePerHundred = 0;
    int32_t lossCap = 0;
    int32_t feePercent = 0;
    int32_t threshold = 0;
    int32_t settleMode = 0;  // 0, 1, 6, 7, 8 or 9
    int32_t minHoldingsMode1 = 0;
    int32_t stakeCap = 0;
    int32_t timeLimit = 0;
    int32_t baseStakeValue = 0;
    int32_t minScore = INT32_MIN;
    int32_t maxScore = INT32_MAX;
    int32_t gamesLimit = INT32_MAX;
    int32_t dealsLimit = INT32_MAX;
    int32_t percent89 = 0;
    int32_t minAmount89 = 0;
};

// Table status bits.
inline constexpr uint32_t kStatusPlaying = 0x1;
inline constexpr uint32_t kStatusSecond = 0x1000;

// Byte offsets of the common part of the result record (rows of 8 int32, one per chair).
namespace result_off {
inline constexpr int kMode = 0, kFlags = 4, kChairs = 8, kDeals = 12, kBanker = 16, kGroups = 20,
                     kFriend = 52, kWinPoints = 56, kValues = 88, kMultiples = 120,
                     kBaseStake = 152, kStake = 156, kScores = 160, kHoldings = 192,
                     kBaseProducts = 224, kStakeProducts = 256, kScoreTotals = 288,
                     kStakeResults = 320, kFees = 352, kLevels = 384;
}

// The users of a table and where they sit. A copy owns copies of the records, each seated
// and looking on where its original is, so that a table copies as a value.
struct TableSeating {
    TableSeating() = default;
    TableSeating(const TableSeating& other);
    TableSeating& operator=(const TableSeating& other);

    std::map<int32_t, std::unique_ptr<TableUser>> users_;
    std::set<int32_t> lookers_[kMaxTableChairs];
    TableUser* seats_[kMaxTableChairs] = {};  // records in users_, or null
};

// A table is a value: a copy (of any class of the chain) carries on the deal exactly as the
// original would, with the same hooks, so a deal can be set up once and replayed from copies.
class CCommonTable : protected TableSeating {
public:
    explicit CCommonTable(const TableConfig& config, TableHooks hooks = {});
    virtual ~CCommonTable();
    CCommonTable(const CCommonTable&) = default;
    CCommonTable& operator=(const CCommonTable&) = default;

    virtual void Reset(bool full);
    void ResetFull() { Reset(true); }
    virtual void ClearChair(int32_t chair);
    virtual void ClearGame();

    // Users. AddPlayer seats a new record (replacing nothing: 0 when the chair is taken or
    // invalid, or the id is known); AddLookerOn joins a chair's lookers-on.
    int32_t AddPlayer(std::unique_ptr<TableUser> user, int32_t chair);
    int32_t AddLookerOn(std::unique_ptr<TableUser> user, int32_t chair);
    void RemoveLookerOn(int32_t userId, int32_t chair);
    void RemoveUser(int32_t userId, bool deleteRecord = true);
    void RemovePlayer(int32_t userId, bool deleteRecord = true);
    bool IsPlayer(int32_t userId) const;
    bool IsLookerOn(int32_t userId) const;
    bool IsValidChair(int32_t chair) const { return chair >= 0 && chair < chairCount_; }
    bool IsPlayerInChair(int32_t userId, int32_t chair) const;
    TableUser* FindPlayer(int32_t userId) const;
    TableUser* FindLookerOn(int32_t userId) const;
    TableUser* Seat(int32_t chair) const;
    int32_t UserIdAt(int32_t chair) const;  // 0 for an empty or invalid chair

    virtual void PrepareDeal();
    virtual int32_t CanStart() { return 1; }
    virtual void RollDice();
    // 1 on success; otherwise -10010 (empty chair), -10001 (holdings below the stake), -10100 /
    // -10200 (score too low / high), -10300 (games limit), -10400 (deals limit), with the
    // chair in *outChair where there is one.
    virtual int32_t StartGame(int32_t* outChair, const GameParams& params);
    virtual int32_t EndDeal(const int32_t* record, int32_t value);

    void SetChairFlag2(int32_t chair);
    void SetChairFlags(int32_t chair, int32_t flags);
    void SetStartFlags(int32_t chair, int32_t flags, int32_t second = 0);
    void SetMultiple(int32_t chair, int32_t multiple);

    // The result record (its size is ResultRecordSize() bytes; the fill refuses a smaller one).
    virtual int32_t ResultRecordSize() const { return 560; }
    virtual int32_t FillResultRecord(int32_t* record, int32_t bytes, int32_t a, int32_t b);

    bool IsIdle() const { return (status_ & kStatusPlaying) == 0; }
    int32_t CountGroups() const;
    int32_t CountInGroup(int32_t n) const;
    int32_t CountOutsideGroup(int32_t group) const;
    int32_t NextChairInGroup(int32_t chair, int32_t group);
    int32_t NextChairNotInGroup(int32_t chair, int32_t group);
    void OwnGroups();
    void SetGroup(int32_t chair, int32_t group);
    int32_t GroupOf(int32_t chair) const { return IsValidChair(chair) ? group_[chair] : -1; }
    int32_t FirstDealMarker();
    virtual int32_t AddDealMarker(const int32_t* record, int32_t value);
    int32_t GetCurrentChair() const { return currentChair_; }
    void SwitchActiveChair(int32_t chair);
    void StampActivity();
    virtual int32_t NextChair(int32_t chair) const;
    virtual int32_t PrevChair(int32_t chair) const;
    int32_t StartWithBanker();
    virtual int32_t ChooseBankerChair();
    virtual int32_t NextBanker(const int32_t* record, int32_t value);
    void SetStatusBits(uint32_t bits);
    void ClearStatusBits(uint32_t bits);
    void SetStatus(uint32_t value);
    virtual void BeginPlay() { SetStatusBits(kStatusPlaying); }
    virtual int32_t SettleWinPoints(int32_t* record, int32_t a, int32_t b, int32_t* points);
    virtual int32_t IsFriend(int32_t a, int32_t b, int32_t chair) const;
    int32_t CountUp(int32_t chair);
    void SetModeDouble(bool flag) { mode_ = flag ? 8 : 4; }
    void SetModeSingle() { mode_ = 2; }
    int32_t BaseStake(int32_t n) const;
    int32_t StakeFor(int32_t multiple) const;
    int32_t Sum(const int32_t* values) const;
    int32_t SettleLosses(const int32_t* holdings, int32_t* results) const;
    // The same over 64-bit results, so that stakes x points are capped before they are
    // narrowed to the record's 32 bits; returns the sum.
    int64_t SettleLosses64(const int32_t* holdings, int64_t* results) const;
    int32_t ApplyRoomFee(const int32_t* holdings, int32_t* results, int32_t* fees) const;
    int32_t ApplyTableFee(const int32_t* in, int32_t* rest, int32_t* fees) const;
    int32_t CheckSettlement(int32_t* results, int32_t* fees) const;
    // Adds points x base stake to scoreOut (saturated) and points x stake to stakeOut.
    virtual void ScaleResults(const int32_t* points, int32_t* scoreOut, int64_t* stakeOut) const;
    int32_t IsDealTimeOver(int32_t* seconds, int32_t* minutes);
    bool IsPlaying() const { return (status_ & kStatusPlaying) != 0; }
    int32_t CheckTurnTimeout(int32_t chair, int32_t seconds) const;
    int32_t LossFor(int32_t chair, int32_t units, int32_t* fee) const;
    int32_t ShareOf(int32_t chair, int32_t from, int32_t amount);
    bool StartedWithin(int32_t seconds) const;
    int32_t CountSeated() const;
    int32_t CountConnected() const;

    // Accessors.
    const TableConfig& Config() const { return config_; }
    // For an owner whose hooks name the owner itself, when it takes a copy of another's table.
    void SetHooks(TableHooks hooks) { hooks_ = std::move(hooks); }
    int32_t ChairCount() const { return chairCount_; }
    uint32_t RuleFlags() const { return config_.ruleFlags; }
    uint32_t Status() const { return status_; }
    int32_t Mode() const { return mode_; }
    void SetMode(int32_t mode) { mode_ = mode; }
    int32_t Banker() const { return banker_; }
    void SetBanker(int32_t chair) {
        if (IsValidChair(chair)) banker_ = chair;
    }
    int32_t DealsPlayed() const { return dealsPlayed_; }
    int32_t Dice(int k) const { return (k >= 0 && k < 4) ? dice_[k] : 0; }
    void SetDice(int32_t d1, int32_t d2, int32_t d3, int32_t d4);
    int32_t StakeValue() const { return stake_; }
    int32_t BaseStakeValue() const { return baseStake_; }
    const std::string& GameIdText() const { return gameIdText_; }
    int32_t ThinkTime(int32_t chair) const { return IsValidChair(chair) ? thinkMs_[chair] : 0; }
    const GameParams& Params() const { return params_; }

protected:
    void Log(const std::string& line) const;
    uint32_t Now() const;
    bool EveryChairHasStartFlag(int32_t flag) const;

    TableConfig config_;
    TableHooks hooks_;
    int32_t chairCount_;

    int32_t chairFlags_[kMaxTableChairs] = {};
    int32_t startFlags_[kMaxTableChairs] = {};
    int32_t startFlags2_[kMaxTableChairs] = {};
    int32_t group_[kMaxTableChairs] = {};
    uint32_t waitTick_[kMaxTableChairs] = {};
    int32_t thinkMs_[kMaxTableChairs] = {};
    int32_t counters_[kMaxTableChairs] = {};
    int32_t values_[kMaxTableChairs] = {};     // first per-chair value row
    int32_t multiples_[kMaxTableChairs] = {};  // second per-chair value row

    uint32_t status_ = 0;
    uint32_t statusTick_ = 0;
    int32_t currentChair_ = -1;
    uint32_t turnTick_ = 0;
    uint32_t activityTick_ = 0;
    uint32_t startTick_ = 0;
    int32_t dealsPlayed_ = 0;
    int32_t banker_ = 0;
    int32_t firstDealMarker_ = 0;
    int32_t mode_ = 0;
    int32_t dice_[4] = {};
    std::string gameIdText_;
    GameParams params_;
    int32_t allFlags_[3] = {};
    int32_t baseStake_ = 0;
    int32_t stake_ = 0;
    int32_t lockedValue_ = 0;
};

}  // namespace hqlv::rules
