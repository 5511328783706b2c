#pragma once
// This game's table rules: the fan list and the scoring of a win, the best-split search, the
// pass rule (no pung and no win on a kind the chair has let pass since its last draw), the
// liability rule (a chair that fed three pungs or exposed kongs to one player cannot win and
// pays for that player's win), claim priorities and claim waiting, the wall break, and the
// settlement of a deal with its zero-sum check.
//
// The server calls SetOutcomeMode() (or SetModeSingle() for a drawn deal) before
// FillResultRecord().
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "rules/table_mj.h"

namespace hqlv::rules {

struct Fan {
    std::string_view name;  // UTF-8
    int32_t value;
};
inline constexpr int kFanCount = 32;
extern const std::array<Fan, kFanCount> kFans;

// This game's construction values.
TableConfig GameTableConfig();
CardConfig GameCardConfig();
MJConfig GameMJConfig();

inline constexpr int kResultRowBytes = 172;
inline constexpr int kFanNamesOffset = 1360;
inline constexpr int kFanNamesBytes = 256;

class CMJTableEx : public CMJTable {
public:
    explicit CMJTableEx(TableHooks hooks = {});
    CMJTableEx(const TableConfig& config, const CardConfig& card, const MJConfig& mj,
               TableHooks hooks = {});

    void Reset(bool full) override;
    int32_t CanStart() override;
    int32_t ResultRecordSize() const override { return chairCount_ * kResultRowBytes + 1652; }
    int32_t FillResultRecord(int32_t* record, int32_t bytes, int32_t a, int32_t b) override;
    int32_t SettleWinPoints(int32_t* record, int32_t a, int32_t b, int32_t* points) override;
    int32_t IsFriend(int32_t a, int32_t b, int32_t chair) const override;
    int32_t WallStartPosition() override;
    int32_t ChooseDealingChairAgain(const int32_t* record, int32_t value) override;
    // The wall of ShuffleWall over the tile total, seeded from chair 0's player, built into
    // the tile set (a test deal, when one is on, replacing its leading ids first).
    void Shuffle() override;
    // The shuffled order of a wall: a random order of the values 0 to n + extra - 1 (the
    // common permutation, with seed) inserted at the front of array; the number of values,
    // 0 when there are none. The extra values are room for tiles a rule set would take out
    // of the wall again; this game takes none out, so every value stays.
    static int32_t ShuffleWall(std::vector<int32_t>& array, int32_t n, int32_t seed, int32_t extra);
    int32_t IsCompleteSet() const override;
    void Discard(int32_t chair, const int32_t* ids, int32_t n) override;
    int32_t NextBankerChair(const int32_t* record, int32_t value) override;
    bool IsClaimWindowOver(int32_t discarder) override;
    int32_t DrawTile(int32_t chair) override;
    bool IsSoleClaimant(int32_t chair, int32_t discarder) const override;
    int32_t CheckPengRequest(const MJRequest& r) override;
    int32_t CheckChiRequest(const MJRequest& r) override;
    int32_t CheckMingGangRequest(const MJRequest& r) override;
    int32_t CheckBuGangRequest(const MJRequest& r) override;
    // A claim to rob an exposed kong that this game does not let it rob, but that wins on the
    // discard, is accepted as a win on the discard: its kind becomes 1.
    int32_t CheckHuRequest(MJRequest& r) override;
    int32_t CanHuOnDiscard(int32_t chair, int32_t discarder, int32_t tile) override;
    int32_t AnswerPass(int32_t chair, int32_t value) override;
    int32_t OnPeng(const MJRequest& r) override;
    int32_t OnMingGang(const MJRequest& r) override;
    int32_t OnAnGang(const MJRequest& r) override;
    int32_t OnBuGang(const MJRequest& r) override;
    int32_t OnFlower(const MJRequest& r) override;
    int32_t OperationFlags(int32_t chair, int32_t tile, HuResult* result, int32_t mask) override;
    int32_t CheckHu(int32_t chair, int32_t tile, HuResult* result, int32_t mask) override;
    int32_t CheckSpecialHu(int32_t chair, int32_t tile, HuResult* result, int32_t mask) override;
    int32_t BestHu(int32_t chair, int32_t tile, HuResult* result, int32_t mask) override;
    int32_t WinValue(int32_t chair, int32_t tile, HuResult* result, int32_t mask) override;
    int32_t ScoreFeatures(int32_t chair, int32_t tile, HuResult* result, int32_t mask) override;
    int32_t SettleKongs(int32_t* record, int32_t a, int32_t b, int32_t* points) override;
    void ClearGangState() override;
    int32_t ListHuClaims(const MJRequest& r, int32_t* out) override;
    int32_t IsConcealedHand(int32_t chair, int32_t tile, HuResult* r, int32_t mask) override;
    int32_t IsConcealedSingleWait(int32_t chair, int32_t tile, HuResult* r, int32_t mask) override;

    // The claim-waiting questions: 1 when the request must wait, 0 when it may go on.
    int32_t OthersMayStillHu(const MJRequest& r) override;     // a pung request
    int32_t OthersMayStillClaim(const MJRequest& r) override;  // a chow request
    int32_t SomeoneCanHuDiscard(const MJRequest& r) override;  // a kong request
    int32_t SomeoneCanRobGang(const MJRequest& r) override;    // an added kong
    int32_t OthersMayStillHuAll(const MJRequest& r);           // a win request with several winners
    // The discarding chair joins the claiming chair's claimed-from list (after a pung and
    // after an exposed kong).
    int32_t AfterPengHook(const MJRequest& r) override { return AddClaimedFrom(r); }
    int32_t AfterMingGangHook(const MJRequest& r) override { return AddClaimedFrom(r); }
    int32_t AddClaimedFrom(const MJRequest& r);
    // -v times one more than the most flowers a chair laid out (8: 15 times, 7: 10 times).
    int32_t Negate(int32_t v) const override;

    // The player's table state (5028 bytes) and the looker-on's (948 bytes).
    static constexpr int kPlayerStateBytes = 5028;
    static constexpr int kLookerStateBytes = 948;
    int32_t PlayerStateSize() const override { return kPlayerStateBytes; }
    int32_t FillPlayerState(int32_t* record, int32_t bytes, int32_t chair, bool skip) override;
    int32_t LookerStateSize() const override { return kLookerStateBytes; }
    int32_t FillLookerState(int32_t* record, int32_t bytes, int32_t chair, bool skip) override;

    virtual int32_t StakePower() const { return 0; }
    void FillResultRow(int32_t chair, int32_t* row, const HuResult& result) const;
    // The units of a result that are fours (type 8) and sequences (type 1).
    static int32_t CountFourUnits(const HuResult& result);
    static int32_t CountRunUnits(const HuResult& result);
    // The chair's exposed, concealed and added kongs.
    int32_t CountKongs(int32_t chair) const;
    static void SortAscending(int32_t* values, int32_t n);
    // Places kept free for a later level around the units of a win; 0 here.
    virtual int32_t SpareUnitsBefore() const { return 0; }
    // The chair's 64 counts with the tiles of its melds added by kind into out; the tiles.
    int32_t HeldWithMelds(int32_t chair, int32_t* out) const;
    // The chair's melds appended to a win result as units: concealed kongs (on a self-drawn
    // win, flag 2, only), pungs, exposed and added kongs as triplets, chows as sequences in
    // ascending order; the units appended (none past the result's room).
    int32_t UnitsFromMelds(int32_t chair, HuResult* result, int32_t flags) const;
    // Whether an added kong of the chair holds the pung's three tiles (the kong stands for it).
    bool UnderAddedKong(int32_t chair, const Meld& pung) const;
    virtual int32_t SpareUnitsAfter() const { return 0; }
    // Two units of one type (1, 2, 4 or 8) that match: a sequence by its three tiles in any
    // order, the others by their first tile.
    static bool SameUnit(const HuUnit& a, const HuUnit& b);
    int32_t SettleLiability(int32_t* record, int32_t a, int32_t b, int32_t* points);
    void LogGameInfo() const;
    int32_t TotalFanPoints(const HuResult& result, int32_t n = kFanCount) const;
    int32_t ClaimPriority(int32_t chair, int32_t discarder, int32_t claim) const;
    // The best win the chair waits on (a discard of some kind), 0 when it waits on nothing.
    int32_t BestWin(int32_t chair, HuResult* result);
    // What the seven-pairs check gave, when a win check got as far as trying it.
    struct SevenPairsTry {
        bool tried = false;
        int32_t won = 0;
        HuResult result{};
    };
    // The entry win check and its search; score asks for the best-scoring split. With seven,
    // the seven-pairs outcome is kept for a caller that would otherwise check it again.
    int32_t CheckHuCounts(const CountTable& counts, int32_t tile, HuResult* result, int32_t mask,
                          int32_t chair, bool score, SevenPairsTry* seven = nullptr);
    int32_t RotateCounters(int32_t chair);

    // Accessors.
    bool IsLiable(int32_t chair) const;
    int32_t PassCount(int32_t chair, int32_t kind) const;
    int32_t WaitOpe(int32_t chair) const { return ValidMJ(chair) ? waitOpe_[chair] : 0; }
    bool Answered(int32_t chair) const { return ValidMJ(chair) && passed_[chair]; }
    int32_t KongFlag() const { return kongFlag_; }
    int32_t KongFeeder() const { return kongFeeder_; }
    int32_t PungFeed(int32_t from, int32_t to) const;
    int32_t KongFeed(int32_t from, int32_t to) const;
    int32_t ClaimedFrom(int32_t chair, int32_t k) const;
    void SetResultValue(int32_t chair, int32_t v) {
        if (ValidMJ(chair)) resultValues_[chair] = v;
    }
    // A second win result per chair, kept beside the table's own and cleared by every reset;
    // null for a chair that is no seat.
    HuResult* SecondResult(int32_t chair) { return ValidMJ(chair) ? &secondHu_[chair] : nullptr; }

protected:
    struct Search;
    int32_t SearchHu(Search& s, int32_t kind);
    int32_t KongDiscardAnswered(const MJRequest& r, int32_t priority, uint32_t since);
    // The pass rule: the chair let the tile's kind pass since its last draw.
    bool PassedKind(int32_t chair, int32_t tile, int32_t mask) const;

    int32_t rotation_[kMJChairs] = {100, 100, 100, 100};
    int32_t spare_ = 0;
    int32_t searchTarget_ = 100;
    int32_t pass_[kMJChairs][49] = {};
    int32_t claimedFrom_[kMJChairs][4] = {};
    int32_t pungFeed_[kMJChairs][kMJChairs] = {};
    int32_t kongFeed_[kMJChairs][kMJChairs] = {};
    int32_t waitOpe_[kMJChairs] = {};
    uint32_t waitTick_[kMJChairs] = {};
    int32_t passed_[kMJChairs] = {};
    int32_t discardCount_[kMJChairs] = {};
    int32_t kongUnits_[kMJChairs] = {};
    int32_t addedExtra_[kMJChairs][4] = {};
    int32_t resultValues_[kMJChairs] = {};
    HuResult secondHu_[kMJChairs] = {};
    int32_t stateValues_[kMJChairs] = {};
    int32_t kongFlag_ = 0;
    int32_t kongFeeder_ = -1;

private:
    bool Outranked(const MJRequest& r, int32_t kind) const;
    void ResetEx(bool full);
};

}  // namespace hqlv::rules
