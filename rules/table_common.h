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
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "rules/common.h"

namespace hqlv::rules {

inline constexpr int kMaxTableChairs = 8;

// What a table uses of its program. A table made without them still logs and names its games:
// its lines go to the standard error, and each game gets a new unique id of its own making.
struct TableHooks {
    std::function<void(const std::string&)> log;  // one line of the daily log (UTF-8)
    std::function<std::string()> uniqueId;        // a new game id, at most 31 characters
    std::string testIniFolder;                    // folder of "test.ini"; empty: no file
};

// A new unique id: 30 lower-case hexadecimal digits of random bytes from the system's source,
// not from the rules' generator, whose draws a replayed deal must keep.
std::string MakeUniqueId();

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
// The chairs' names, 16 bytes each (written only by FillNames).
inline constexpr int kNames = 416, kNameBytes = 16;
}  // namespace result_off

// Byte offsets of the table-info record (88 bytes).
namespace info_off {
inline constexpr int kGameId = 0, kTableKey = 4, kChairs = 8, kBaseStake = 12, kStake = 16,
                     kChairFlags = 20, kDeals = 52, kThinkTime = 56;
}
inline constexpr int kTableInfoBytes = 88;

// Byte offsets of the common table-state record (444 bytes); per-chair rows hold 8 words.
namespace state_off {
inline constexpr int kTableKey = 0, kLevelMultiplier = 4, kChairs = 8, kRuleFlags = 12,
                     kCounterLimit = 16, kStartFlags = 20, kStartFlags2 = 52, kChairFlags = 84,
                     kAllFlags = 116;
// The 17 game parameters in StartGame's order.
inline constexpr int kParams = 128;
inline constexpr int kBaseStake = 196, kStake = 200, kFirstDeal = 204, kDeals = 208, kBanker = 212,
                     kStatus = 216, kCurrentChair = 220, kDice = 224, kGroups = 240, kThinkMs = 272,
                     kCounters = 304, kValues = 336, kMultiples = 368, kMode = 400, kAnyFlag1 = 404,
                     kTurnMs = 408;
}  // namespace state_off
inline constexpr int kTableStateBytes = 444;

// The eight leading fields of a seat record, kept when a game starts (SaveSeatRecords).
struct SavedSeat {
    int32_t userId = 0, flags = 0, lookerOn = 0, score = 0, holdings = 0, third = 0, level = 0,
            games = 0;
};

// One settlement row of a deal (FillResultRows): who played which chair and how it came out.
inline constexpr int32_t kRowWon = 1, kRowDrawn = 0, kRowLost = -1;
struct ResultRow {
    int32_t gameId = 0, value = 0;  // written by FillResultHeader
    int32_t userId = 0, tableKey = 0, chair = 0, stake = 0, multiple = 0;
    int32_t score = 0;   // the deal's score total
    int32_t silver = 0;  // the deal's stake result
    int32_t mark = kRowDrawn;
};
struct ResultHeader {
    int32_t chairCount = 0, gameId = 0, value = 0;
    uint32_t tick = 0;  // when the game record was last stamped
    int32_t flags = 0;  // 1: no chair plays for stakes; 2: some holdings reach the threshold
    int32_t rowCount = 0;
    ResultRow rows[kMaxTableChairs];
};

// The players of a table whose every chair is ready (ListReadyPlayers).
struct ReadyPlayer {
    int32_t chair = 0, userId = 0, score = 0, holdings = 0, third = 0;
    char name[32] = {};
};
struct ReadyList {
    int32_t count = 0;
    ReadyPlayer players[kMaxTableChairs];
};

// A row of a computer-player list (FillComputerRows, FillComputerPlayers).
struct ComputerRow {
    int32_t present = 0;   // the chair has a row to fill
    int32_t computer = 0;  // shown as computer-controlled (one row in ten)
    int32_t bit = 0;
    int32_t value1 = 0;  // 0..106
    int32_t level = 0;   // 10..100
    int32_t value2 = 0;  // 0..185, 1 instead of 0 with the bit
    char name[32] = {};  // UTF-8
    char text[32] = {};
    int32_t field1 = 0, field2 = 0;  // 1000 and 100
    int32_t baseLevel = 0;           // the level of a score of 100
    int32_t zero[6] = {};
};

// The parts of a losses adjustment table (DefaultAdjustTable).
inline constexpr int kAdjustBands = 4;

// A lock that a copied table does not share: the copy gets a fresh one.
struct TableLock {
    TableLock() = default;
    TableLock(const TableLock&) {}
    TableLock& operator=(const TableLock&) { return *this; }
    std::mutex m;
};

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

    // A place kept free for a later level; does nothing here.
    virtual void SpareHook() {}
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

    // The table-info record (88 bytes): the think time, 0 when the record is too small.
    virtual int32_t TableInfoSize() const { return kTableInfoBytes; }
    virtual int32_t FillTableInfo(int32_t* record, int32_t bytes);
    void SetChairFlag2(int32_t chair);
    void SetChairFlags(int32_t chair, int32_t flags);
    void SetStartFlags(int32_t chair, int32_t flags, int32_t second = 0);
    void SetMultiple(int32_t chair, int32_t multiple);
    // The table state as the given chair may see it (TableStateSize() bytes; 0 and nothing
    // written for a smaller record). Later levels append theirs; skipHeld leaves out the
    // chair's own tile list.
    virtual int32_t TableStateSize() const { return kTableStateBytes; }
    virtual int32_t FillTableState(int32_t* record, int32_t bytes, int32_t chair,
                                   bool skipHeld = false);
    // The player's and the looker-on's records of the game levels; none here: the fills clear
    // the record and answer 0.
    virtual int32_t PlayerStateSize() const { return 0; }
    virtual int32_t FillPlayerState(int32_t* record, int32_t bytes, int32_t chair, bool skip);
    virtual int32_t LookerStateSize() const { return 0; }
    virtual int32_t FillLookerState(int32_t* record, int32_t bytes, int32_t chair, bool skip);

    // The result record (its size is ResultRecordSize() bytes; the fill refuses a smaller one).
    virtual int32_t ResultRecordSize() const { return 560; }
    virtual int32_t FillResultRecord(int32_t* record, int32_t bytes, int32_t a, int32_t b);
    // The two words of the record's flag word that later levels may give; none here.
    virtual int32_t ResultFlagA() const { return 0; }
    virtual int32_t ResultFlagB() const { return 0; }

    bool IsIdle() const { return (status_ & kStatusPlaying) == 0; }
    // The number of distinct group ids (0 to 7) among the chairs, and the number of chairs in
    // the n-th of them (ascending).
    int32_t CountGroups() const;
    int32_t CountInGroup(int32_t n) const;
    int32_t CountOutsideGroup(int32_t group) const;
    int32_t NextChairInGroup(int32_t chair, int32_t group);
    int32_t NextChairNotInGroup(int32_t chair, int32_t group);
    void OwnGroups();
    void SetGroup(int32_t chair, int32_t group);
    int32_t GroupOf(int32_t chair) const { return IsValidChair(chair) ? group_[chair] : -1; }
    virtual int32_t DealEndHook(const int32_t*, int32_t) { return 0; }
    virtual int32_t SameValue(int32_t a, int32_t b) const { return a == b ? 1 : 0; }
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
    // The first and the second word of a record (0 for none).
    virtual int32_t FirstWordOf(const int32_t* record) const { return record ? record[0] : 0; }
    virtual int32_t SecondWordOf(const int32_t* record) const { return record ? record[1] : 0; }
    void SetStatusBits(uint32_t bits);
    void ClearStatusBits(uint32_t bits);
    void SetStatus(uint32_t value);
    virtual void BeginPlay() { SetStatusBits(kStatusPlaying); }
    void TouchStatus() { SetStatusBits(0); }
    void SetStatus1000() { SetStatusBits(kStatusSecond); }
    void ClearStatus1000() { ClearStatusBits(kStatusSecond); }
    virtual int32_t SettleWinPoints(int32_t* record, int32_t a, int32_t b, int32_t* points);
    virtual int32_t IsFriend(int32_t a, int32_t b, int32_t chair) const;
    // Permissions a later level may withhold; all granted here.
    virtual int32_t PermitA() const { return 1; }
    virtual int32_t PermitB() const { return 1; }
    virtual int32_t PermitC() const { return 1; }
    int32_t CountUp(int32_t chair);
    void SetModeDouble(bool flag) { mode_ = flag ? 8 : 4; }
    void SetModeSingle() { mode_ = 2; }
    int32_t BaseStake(int32_t n) const;
    int32_t StakeFor(int32_t multiple) const;
    // Levels: of a score (with the level multiplier), of each chair's a + b into out (1), and
    // the level value and the base stake of the smallest of n values.
    virtual int32_t LevelOf(int32_t score) const;
    virtual int32_t LevelsOf(const int32_t* a, const int32_t* b, int32_t* out) const;
    virtual int32_t MinLevelValue(const int32_t* values, int32_t n) const;
    virtual int32_t BaseStakeOf(const int32_t* values, int32_t x, int32_t n) const;
    // Result rows of a filled result record. FillNames writes each seated chair's name from
    // the map into the record (nothing when any chair has second-set flag 1); SetRecordStake
    // the stake of the stored multiple.
    virtual int32_t FillNames(int32_t* record, const UserNameMap* names) const;
    virtual void SetRecordStake(int32_t* record) const;
    int32_t Sum(const int32_t* values) const;
    // Caps each loser's result by his cap (his own holdings under rule 0x4000000, else the
    // smallest holdings at the table); what each loser cannot pay comes off every winner in
    // proportion to his winnings, each share rounded up and no winner below 0. The sum of the
    // results (0 or below for results that summed to 0).
    int32_t SettleLosses(const int32_t* holdings, int32_t* results) const;
    // The same over 64-bit results, so that stakes x points are capped before they are
    // narrowed to the record's 32 bits; returns the sum.
    int64_t SettleLosses64(const int32_t* holdings, int64_t* results) const;
    int32_t ApplyRoomFee(const int32_t* holdings, int32_t* results, int32_t* fees) const;
    int32_t ApplyTableFee(const int32_t* in, int32_t* rest, int32_t* fees) const;
    // 1 when the results plus the fees taken (feeTotal) come to less than 1; otherwise
    // both rows are cleared and 0.
    int32_t CheckSettlement(int32_t* results, int32_t* fees, int32_t feeTotal) const;
    virtual int32_t FeeCapPerHundred() const { return 5; }
    // Adds points x base stake to scoreOut (saturated) and points x stake to stakeOut.
    virtual void ScaleResults(const int32_t* points, int32_t* scoreOut, int64_t* stakeOut) const;
    // Adjusts the computer players' losses in values when AdjustsComputerLosses() says so; 0.
    int32_t ForwardComputerLosses(int32_t* values);
    // Applying a result record to the seats: the new score (score + total), the third value
    // from the record's first value row and, when stakes are played, the new holdings;
    // ClearResultColumns instead zeroes the deal's totals and stake results, keeping the
    // scores, and takes only the third value.
    virtual int32_t ApplyResults(const int32_t* record);
    virtual int32_t ClearResultColumns(int32_t* record);
    // One row per chair that is seated or was saved at the start; returns the rows written.
    virtual int32_t FillResultRows(const int32_t* record, ResultRow* rows) const;
    int32_t IsDealTimeOver(int32_t* seconds, int32_t* minutes);
    // Adds a to c for every chair and, when stakes are played, b to d.
    void AddColumns(const int32_t* a, const int32_t* b, int32_t* c, int32_t* d) const;
    // Under second-set flag 0x8000000 only: each chair's score and holdings into the record,
    // from the seat or, for a chair left empty, from the saved seat records; 1 when done.
    virtual int32_t SnapshotScores(int32_t* record) const;
    // Under second-set flag 0x8000000 only: the seat records' leading fields are kept.
    virtual int32_t SaveSeatRecords();
    virtual int32_t SaveSeatRecord(int32_t chair);
    bool IsPlaying() const { return (status_ & kStatusPlaying) != 0; }
    // True while the chair's wait, begun with BeginWait, is younger than the seconds, before the
    // first deal, with no game running and the table's spare option set.
    bool IsWaitingTooLong(int32_t chair, int32_t seconds) const;
    void BeginWait(int32_t chair);
    int32_t CheckTurnTimeout(int32_t chair, int32_t seconds) const;
    // For different chairs whether their groups differ; for one chair, -v.
    virtual int32_t IsOpponent(int32_t a, int32_t b, int32_t v) const;
    virtual int32_t Negate(int32_t v) const;
    int32_t LossFor(int32_t chair, int32_t units, int32_t* fee) const;
    int32_t ShareOf(int32_t chair, int32_t from, int32_t amount);
    // When every chair is ready (chair flag 1): each chair's player, names from the map; the
    // count, 0 when some chair is not ready.
    virtual int32_t ListReadyPlayers(ReadyList* list, const UserNameMap* names) const;
    // Start-flag and second-set tests over the chairs.
    virtual int32_t AllAgreed() const;
    virtual int32_t NoneHasFlag4() const;
    virtual int32_t AnyOverThreshold(const int32_t* values) const;
    virtual int32_t AnyStartFlag1024() const { return AnyStartFlag(1024); }
    virtual int32_t AnyStartFlag80000() const { return AnyStartFlag(0x80000); }
    virtual int32_t AnyStartFlag512() const { return AnyStartFlag(512); }
    virtual int32_t AnySecondFlag1() const { return AnySecondFlag(1); }
    virtual int32_t AnySecondFlag8000000() const { return AnySecondFlag(0x8000000); }
    virtual int32_t HasUsers() const { return users_.empty() ? 0 : 1; }
    virtual int32_t AnyFlag1() const { return AnySecondFlag1() ? 1 : 0; }
    virtual int32_t IsFirstDeal() const { return dealsPlayed_ == 0 ? 1 : 0; }
    // The result record applied as chosen: filled, then cleared (doubled) or applied, named
    // and staked. 0 when the fill refuses the record.
    virtual int32_t ApplyChoice(int32_t* record, int32_t bytes, int32_t a, int32_t b, bool doubled,
                                const UserNameMap* names);
    // The header of a deal's result rows: chair count, game id, the value, the game record's
    // tick, the flags, then the rows (each with the game id and the value); the row count.
    virtual int32_t FillResultHeader(ResultHeader* header, const int32_t* record,
                                     int32_t value) const;
    // Each seated chair's level grows by the record's level of that chair.
    virtual int32_t AddLevels(const int32_t* record);
    // A result record kept from elsewhere becomes the game record and is applied; 0 for a
    // record smaller than ResultRecordSize().
    virtual int32_t ApplyStoredResult(const int32_t* record, int32_t bytes,
                                      const UserNameMap* names);
    // The second further value of a player's record; 0 for a user who is no player.
    virtual int32_t SpareValueOf(int32_t userId) const;
    bool StartedWithin(int32_t seconds) const;
    int32_t CountSeated() const;

    // Computer players. RandomAdjust shrinks a loss by a drawn share: with the table's
    // chance a band is drawn and the loss falls by the band's percentage (at least 1).
    virtual int32_t AdjustsComputerLosses() const { return 0; }
    // Each seated computer-controlled chair's negative value adjusted; the sum of the changes
    // (each also kept per chair).
    virtual int32_t AdjustComputerLosses(int32_t* values);
    virtual int32_t RandomAdjust(int32_t value);
    // The chance (percent), and with n >= 4 the bands' shares and percentages; returns n.
    virtual int32_t DefaultAdjustTable(int32_t* chance, int32_t* shares, int32_t* percents,
                                       int32_t n) const;
    // The user ids of the seated computer-controlled chairs whose value is positive (the rest
    // of ids -1); their number.
    virtual int32_t ListComputerPlayers(int32_t* ids, const int32_t* values) const;
    virtual int32_t DefaultThinkTime() const { return 120; }
    virtual int32_t PairBlockSize() const { return chairCount_ * chairCount_ * 32; }
    // The name of the index-th computer player (UTF-8).
    virtual std::string ComputerName(int32_t index) const;
    // Fills the rows of every chair but `chair` that has one, at random, then saves them as
    // the chair's row of the per-pair block; the rows filled.
    virtual int32_t FillComputerRows(ComputerRow* rows, int32_t chair);
    // Keeps each chair's value1, level and value2 in row `row` of the per-pair block (made on
    // first use) with the mark `on`; 0 for an invalid row.
    virtual int32_t SavePairRow(const ComputerRow* rows, int32_t on, int32_t row);
    // Fills every chair's row from row `row` of the per-pair block where one was saved; the
    // rows filled.
    virtual int32_t FillComputerPlayers(ComputerRow* rows, int32_t row) const;
    int32_t ComputerAdjustment(int32_t chair) const {
        return IsValidChair(chair) ? adjusted_[chair] : 0;
    }
    int32_t GetLockedValue() const;
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
    int32_t DealValue() const { return dealValue_; }
    const SavedSeat& Saved(int32_t chair) const;
    const std::vector<int32_t>& GameRecord() const { return gameRecord_; }

protected:
    void Log(const std::string& line) const;
    uint32_t Now() const;
    bool EveryChairHasStartFlag(int32_t flag) const;
    int32_t AnyStartFlag(int32_t flag) const;
    int32_t AnySecondFlag(int32_t flag) const;
    void FillComputerRow(ComputerRow& row, int32_t chair) const;
    // The distinct group ids 0 to 7 that chairs hold, ascending, into ids (8 places); their
    // number.
    int32_t OccupiedGroups(int32_t* ids) const;

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
    int32_t dealValue_ = 0;
    SavedSeat saved_[kMaxTableChairs];
    std::vector<int32_t> gameRecord_;
    uint32_t gameRecordTick_ = 0;
    std::vector<int32_t> pairBlock_;  // chair count x chair count x 8 words, made on first use
    int32_t adjusted_[kMaxTableChairs] = {};
    mutable TableLock lock_;
    int32_t lockedValue_ = 0;  // under lock_
};

}  // namespace hqlv::rules
