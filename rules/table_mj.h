#pragma once
// The mahjong table: the wall placed by the dice, the deal, the turn (draw, discard, the
// claims window), chow, pung, the three kinds of kong and flower replacement, and the win
// checks across chairs with the hand features a win scores. Per-chair state is kept for four
// chairs: a larger chair count is cut to four.
#include <cstdint>
#include <vector>

#include "rules/hu.h"
#include "rules/table_card.h"

namespace hqlv::rules {

struct MJConfig {
    int32_t claimSeconds = 20;
    int32_t furtherTime = 100;
    int32_t huRule = 0x50F717;
    int32_t scoringOptions = 0;
};

inline constexpr int kMJChairs = 4;

// A meld: four tile ids (-1 for an empty place), the chair the claimed tile came from.
struct Meld {
    int32_t tiles[4] = {-1, -1, -1, -1};
    int32_t source = -1;
    int32_t spare[2] = {0, 0};
};

// A request record: words 0..2 are not read; 3 the requesting chair; 4 the other chair; 5 the
// tile; 6..8 hand tiles (-1 for none) and 9 the kong kind flags; or, for a win, 6 the kind
// (1 on a discard, 2 self-drawn, 4 robbing a kong) and 7 the sub-kind (1 exposed, 2 added).
struct MJRequest {
    int32_t w[12] = {0, 0, 0, -1, -1, -1, -1, -1, -1, 0, 0, 0};
    int32_t chair() const { return w[3]; }
    int32_t other() const { return w[4]; }
    int32_t tile() const { return w[5]; }
    const int32_t* hand() const { return &w[6]; }
    int32_t gangKind() const { return w[9]; }
    int32_t huKind() const { return w[6]; }
    int32_t huSubKind() const { return w[7]; }
    static MJRequest Meld(int32_t chair, int32_t other, int32_t tile, int32_t a, int32_t b,
                          int32_t c = -1, int32_t kind = 0) {
        MJRequest r;
        r.w[3] = chair, r.w[4] = other, r.w[5] = tile, r.w[6] = a, r.w[7] = b, r.w[8] = c;
        r.w[9] = kind;
        return r;
    }
    static MJRequest Hu(int32_t chair, int32_t other, int32_t tile, int32_t kind,
                        int32_t subKind = 0) {
        MJRequest r;
        r.w[3] = chair, r.w[4] = other, r.w[5] = tile, r.w[6] = kind, r.w[7] = subKind;
        return r;
    }
};

// Status bits of the mahjong levels.
inline constexpr uint32_t kStatusOwnTiles = 0x100;
inline constexpr uint32_t kStatusWindowOpen = 0x400;
inline constexpr uint32_t kStatusAfterPeng = 0x40;
inline constexpr uint32_t kStatusAfterChi = 0x20;
inline constexpr uint32_t kStatusReplacementDue = 0x80;
inline constexpr uint32_t kStatusDealOver = 0x1000000;
inline constexpr uint32_t kStatusRobExposed = 0x2000000;
inline constexpr uint32_t kStatusRobAdded = 0x4000000;
inline constexpr uint32_t kStatusPendingThird = 0x8000000;

// Tile status codes of melded tiles.
inline constexpr int32_t kTilePengHand = 10, kTilePengClaimed = 30, kTileChiHand = 14,
                         kTileChiClaimed = 34, kTileGangHand = 12, kTileGangClaimed = 32,
                         kTileFlowerOut = 16;

// Meld lists of a chair.
enum MeldList { kPeng = 0, kChi = 1, kMingGang = 2, kAnGang = 3, kBuGang = 4 };

// Byte offsets of the mahjong table's part of the table state, after the card table's 5764
// bytes.
namespace mj_state {
inline constexpr int kTilesDrawn = 5764, kTailDraws = 5768, kHeadPos = 5772, kGangDraws = 5776,
                     kPendingTile = 5780, kPendingDeclarer = 5784, kPendingOwner = 5788,
                     kPendingTick = 5792, kJokerLockChair = 5796, kJokerLockCount = 5800;
// Per chair (4 entries): the claim flags and the sole-claimant flags.
inline constexpr int kClaimFlags = 5804, kSoleFlags = 5820;
// The seven lists of each chair, as CopyMelds writes them.
inline constexpr int kMelds = 5836;
// The pung, chow and kong matrices (4 x 4, row = the feeding chair).
inline constexpr int kPengMatrix = 10460, kChiMatrix = 10524, kGangMatrix = 10588;
// Per chair (4 entries): jokers discarded, draws, win values.
inline constexpr int kJokerDiscards = 10652, kDraws = 10668, kWinValues = 10684;
inline constexpr int kJokerId2 = 10700, kBankerStreak = 10704, kStartFlagWord = 10708,
                     kWinners = 10712;
// Within the lists of a chair (1128 bytes): five meld lists of 6 melds of 7 words, then 36
// discards and 36 flowers; after the four chairs, each chair's 7 list lengths.
inline constexpr int kChairListBytes = 1128, kDiscardsInChair = 840, kFlowersInChair = 984,
                     kListCounts = 4512;
}  // namespace mj_state
inline constexpr int kMJStateBytes = 10716;

// Rule-word bits of the joker features.
inline constexpr int32_t kFeatureNoJoker = 0x10000, kFeatureNaturalJokers = 0x20000,
                         kFeatureThreeJokers = 0x40000, kFeatureFourJokers = 0x80000;

class CMJTable : public CCardTable {
public:
    CMJTable(const TableConfig& config, const CardConfig& card, const MJConfig& mj,
             TableHooks hooks = {});
    ~CMJTable() override;
    CMJTable(const CMJTable&) = default;
    CMJTable& operator=(const CMJTable&) = default;

    void Reset(bool full) override;
    int32_t CanStart() override;
    void RollDice() override;
    int32_t StartGame(int32_t* outChair, const GameParams& params) override;
    int32_t ResultRecordSize() const override { return 832; }
    int32_t FillResultRecord(int32_t* record, int32_t bytes, int32_t a, int32_t b) override;
    int32_t TableStateSize() const override { return kMJStateBytes; }
    int32_t FillTableState(int32_t* record, int32_t bytes, int32_t chair,
                           bool skipHeld = false) override;
    int32_t ChooseBankerChair() override;
    int32_t NextBanker(const int32_t* record, int32_t value) override;
    void BeginPlay() override { SetStatusBits(0x101); }
    int32_t SettleWinPoints(int32_t* record, int32_t a, int32_t b, int32_t* points) override;
    int32_t IsFriend(int32_t a, int32_t b, int32_t chair) const override;
    void ScaleResults(const int32_t* points, int32_t* scoreOut, int64_t* stakeOut) const override;
    int32_t Negate(int32_t) const override { return -8; }
    // 64 tile places of -1, both marks 1, and the first tile the record's chair holds.
    int32_t FillClaimDefaults(ClaimDefaults* record) const override;
    int32_t WallStartPosition() override;
    // The dealing chair takes the fourteenth tile, and the banker plays first: a dealing chair
    // drawn at random as the card table draws it would mostly leave the banker, who must
    // discard before anyone draws, with 13 tiles and a chair that draws before it discards with
    // 14. Neither hand could ever be right again, and the client deals the fourteenth tile to
    // the banker's seat whatever chair the rules dealt it to.
    int32_t ChooseDealingChair() override { return banker_; }
    int32_t JokerPosition() override;
    int32_t JokerTile() override;
    int32_t TilesPerChair() const override { return (RuleFlags() & 0x10) ? 16 : 13; }
    void DealCards() override;
    void Discard(int32_t chair, const int32_t* ids, int32_t n) override;
    bool IsJokerKind(int32_t tileId) const override;
    int32_t ShapeOf(int32_t tileId) const override;
    int32_t ValueOf(int32_t tileId) const override;
    void OpenClaimWindow() override { ClearStatusBits(0x1E0), SetStatusBits(0x400); }
    int32_t AdvanceTurn() override;
    // Counted from the start of the turn.
    bool IsBidTimeOver() const override;
    int32_t CopyHand(const int32_t* from, int32_t* to) const override;

    // Records the client reads.
    static constexpr int kGameRecordWords = 49;
    // The game record (49 words) as the given chair sees it; 0 when the record is too small.
    virtual int32_t FillGameRecord(int32_t* record, int32_t bytes, int32_t chair);
    // Every chair's seven lists, 1128 bytes a chair, then the 28 list counts (4512 + 112 bytes).
    void CopyMelds(int32_t* record) const;
    virtual int32_t NextBankerChair(const int32_t* record, int32_t value);
    int32_t CountBankerStreak(const int32_t* record, int32_t value);
    int32_t NextKindTile(int32_t tileId) const;
    // The jokers the chair holds, both kinds counted.
    int32_t CountJokersHeld(int32_t chair) const;
    bool IsFlowerTile(int32_t tile) const;

    // The turn.
    void BeginTurn() { ClearStatusBits(0x4E0), SetStatusBits(0x100); }
    int32_t CurrentChairAgain() { return GiveTurn(currentChair_); }
    void AfterPeng() { ClearStatusBits(0x400), SetStatusBits(0x140); }
    void AfterChi() { ClearStatusBits(0x400), SetStatusBits(0x120); }
    // Whether the turn passes on after a kong or a flower (else the chair draws again).
    virtual int32_t ReplacementPassesTurn() const { return 0; }
    void AfterReplacementDue();
    int32_t GiveTurn(int32_t chair) {
        SwitchActiveChair(chair);
        return currentChair_;
    }
    int32_t PassTurnAfterMeld(int32_t chair);
    bool IsTurnTimeOver(int32_t chair, int32_t* elapsed) const;
    virtual bool IsClaimWindowOver(int32_t discarder);
    // The position drawn from the head of the wall, stepping over tiles no longer in it; -1
    // when the wall is used up. On the joker's place nothing is drawn: the draw is counted and
    // the joker's position returned until the head tile is burnt.
    virtual int32_t DrawTile(int32_t chair);
    // The head tile of the wall (the joker's too) is put out of play unseen, stepping over
    // tiles no longer in the wall as a draw does; its id, -1 when the wall is used up.
    virtual int32_t BurnHeadTile();
    virtual int32_t DrawFromTail(int32_t chair);
    virtual bool IsSoleClaimant(int32_t chair, int32_t discarder) const;
    bool IsNotOver() const { return (status_ & kStatusDealOver) == 0; }
    void EndOfDeal() { SetStatusBits(kStatusDealOver); }

    // Request checks: 1 when the request may be carried out, 0 at the first unmet condition.
    virtual int32_t CheckPengRequest(const MJRequest& r);
    virtual int32_t CheckChiRequest(const MJRequest& r);
    virtual int32_t CheckMingGangRequest(const MJRequest& r);
    virtual int32_t CheckAnGangRequest(const MJRequest& r);
    virtual int32_t CheckBuGangRequest(const MJRequest& r);
    virtual int32_t CheckFlowerRequest(const MJRequest& r);
    // A kong of either kind by its kind flags (bit 1 on a discard, bit 2 added).
    virtual int32_t CheckGangRequest(const MJRequest& r);
    // Whether a claim must wait: another chair may still win (1), claim (2) or win on the
    // tile (3), or rob the kong (4), within the claim time less a second.
    virtual int32_t OthersMayStillHu(const MJRequest& r);
    virtual int32_t OthersMayStillClaim(const MJRequest& r);
    virtual int32_t SomeoneCanHuDiscard(const MJRequest& r);
    virtual int32_t SomeoneCanRobGang(const MJRequest& r);
    // A win request. A later level may change the request's kind to the one it accepted it
    // as, and OnHuRequest carries the request out by that kind.
    virtual int32_t CheckHuRequest(MJRequest& r);
    virtual int32_t CanRobExposedGang(int32_t chair, int32_t owner, int32_t tile);
    virtual int32_t CanRobAddedGang(int32_t chair, int32_t owner, int32_t tile);
    virtual int32_t CanHuOnDiscard(int32_t chair, int32_t discarder, int32_t tile);
    virtual int32_t CanHuSelfDrawn(int32_t chair, int32_t self, int32_t tile);
    virtual int32_t AnswerPass(int32_t chair, int32_t value);
    // Places kept free for a later level on either side of the kong record; 0 here.
    virtual int32_t SpareClaimBefore() { return 0; }
    void RecordGang(const MJRequest& r);
    virtual int32_t SpareClaimAfter() { return 0; }

    // Carrying out.
    virtual int32_t OnPeng(const MJRequest& r);
    virtual int32_t OnChi(const MJRequest& r);
    virtual int32_t OnMingGang(const MJRequest& r);
    virtual int32_t OnAnGang(const MJRequest& r);
    virtual int32_t OnBuGang(const MJRequest& r);
    virtual int32_t OnFlower(const MJRequest& r);
    int32_t FirstFlowerHeld(int32_t chair) const;
    int32_t ReplaceFlower(int32_t chair, int32_t flower);
    // What a later level does after each meld; nothing here.
    virtual int32_t AfterPengHook(const MJRequest&) { return 0; }
    virtual int32_t AfterChiHook(const MJRequest&) { return 0; }
    virtual int32_t AfterMingGangHook(const MJRequest&) { return 0; }
    virtual int32_t AfterAnGangHook(const MJRequest&) { return 0; }
    virtual int32_t AfterBuGangHook(const MJRequest&) { return 0; }
    virtual int32_t AfterFlowerHook(const MJRequest&) { return 0; }

    // Wins.
    int32_t OnHuRequest(const MJRequest& r);
    int32_t HuOnGangAll(int32_t owner, int32_t tile);
    int32_t HuOnDiscardAll(int32_t discarder, int32_t tile);
    int32_t HuSelfDrawn(int32_t chair, int32_t tile);
    void CountJokerDiscard(int32_t chair, int32_t tile);
    void ReleaseJokerLock(int32_t chair, int32_t tile);
    bool IsWallUsedUp() const;
    virtual int32_t OperationFlags(int32_t chair, int32_t tile, HuResult* result, int32_t mask);
    int32_t CanPeng(int32_t chair, int32_t tile) const;
    int32_t CanGang(int32_t chair, int32_t tile, int32_t kind) const;
    int32_t HasPengOf(int32_t chair, int32_t tile) const;
    int32_t CanChi(int32_t chair, int32_t tile) const;
    int32_t HasFlower(int32_t chair, int32_t tile) const;
    int32_t CanSelfHu(int32_t chair, int32_t tile);
    virtual int32_t CheckHu(int32_t chair, int32_t tile, HuResult* result, int32_t mask);
    virtual int32_t CheckSpecialHu(int32_t chair, int32_t tile, HuResult* result, int32_t mask);
    virtual int32_t BestHu(int32_t chair, int32_t tile, HuResult* result, int32_t mask);
    virtual int32_t WinValue(int32_t chair, int32_t tile, HuResult* result, int32_t mask);
    virtual int32_t ScoreFeatures(int32_t chair, int32_t tile, HuResult* result, int32_t mask);
    void SetOutcomeMode();
    // 229100 for a chair whose win value is -1000, else 10100.
    int32_t ResultCode(int32_t chair) const;
    virtual int32_t SettleStep(int32_t*, int32_t, int32_t, int32_t*) { return 0; }
    // The chair liable for the first winner's win: the first, walking on from the winner,
    // between which and the winner three or more melds were claimed either way; -1 for none.
    // It takes on every other chair's loss in results (those become 0; winners keep their
    // points) and the record names its player.
    int32_t FindLiableChair(int32_t* record, int32_t* results);
    virtual int32_t SettleKongs(int32_t* record, int32_t a, int32_t b, int32_t* points);
    virtual void ClearGangState();
    void ClearClaimFlags();
    // The chairs that could win by robbing the kong of a kong request, and their number: this
    // level keeps each one's win result; this game's level writes its answer (8) to
    // out[4 + chair] instead. out[0..3] take the request's chair, other chair, tile and kind
    // flags (1 a kong on a discard, 2 an added kong: what a robbing win names as its sub-kind).
    // out has room for 8 words.
    virtual int32_t ListHuClaims(const MJRequest& r, int32_t* out);
    bool HasPengMeldOf(int32_t chair, const int32_t* ids, int32_t n) const;
    int32_t RemovePengMeldOf(int32_t chair, const int32_t* ids, int32_t n);
    // One of the chair's added kongs holds every id of the list.
    bool HasAddedGangOf(int32_t chair, const int32_t* ids, int32_t n) const;
    bool IsSameKind(int32_t a, int32_t b) const;
    // The first index of value in a tile-id list, -1 when absent.
    static int32_t IndexInList(const std::vector<int32_t>& list, int32_t value);
    // How many of five shape counters are not 0.
    static int32_t CountShapesPresent(const int32_t* counts5);
    // index / values per shape; with substituteAsJoker, the substitute kind is read as joker
    // A's kind when the substitute plays as joker A (tile flag 4).
    int32_t ShapeOfIndex(int32_t index, bool substituteAsJoker) const;
    bool HasMelds(int32_t chair) const;
    bool AllMelds258(int32_t chair) const;
    int32_t MeldShapeMask(int32_t chair) const;
    int32_t CountUnitShapes(const HuResult* result, bool substituteAsJoker, int32_t* counts5) const;
    int32_t CountMeldShapes(int32_t chair, bool substituteAsJoker, int32_t* counts5) const;

    // Hand features: each sets its bit in the result's first word and returns it, or 0.
    int32_t IsHeavenlyHand(int32_t chair, int32_t tile, HuResult* r, int32_t mask);
    int32_t IsEarthlyHand(int32_t chair, int32_t tile, HuResult* r, int32_t mask);
    int32_t IsBankerWin(int32_t chair, int32_t tile, HuResult* r, int32_t mask);
    int32_t IsAllTriplets(int32_t chair, int32_t tile, HuResult* r, int32_t mask);
    int32_t IsPureSuit(int32_t chair, int32_t tile, HuResult* r, int32_t mask);
    int32_t IsMixedSuit(int32_t chair, int32_t tile, HuResult* r, int32_t mask);
    int32_t IsAllHonoursHand(int32_t chair, int32_t tile, HuResult* r, int32_t mask);
    int32_t IsNoJokerWin(int32_t chair, int32_t tile, HuResult* r, int32_t mask);
    int32_t IsNaturalJokerWin(int32_t chair, int32_t tile, HuResult* r, int32_t mask);
    int32_t HasThreeJokers(int32_t chair, int32_t tile, HuResult* r, int32_t mask);
    int32_t HasFourJokers(int32_t chair, int32_t tile, HuResult* r, int32_t mask);
    int32_t IsWinAfterGang(int32_t chair, int32_t tile, HuResult* r, int32_t mask);
    int32_t IsSingleTileLeft(int32_t chair, int32_t tile, HuResult* r, int32_t mask);
    int32_t IsLastTileWin(int32_t chair, int32_t tile, HuResult* r, int32_t mask);
    virtual int32_t IsConcealedHand(int32_t chair, int32_t tile, HuResult* r, int32_t mask);
    virtual int32_t IsConcealedSingleWait(int32_t chair, int32_t tile, HuResult* r, int32_t mask);
    // The joker discarder's bonus: bit 2 of the result's wait word, for a winner that holds
    // the joker-discard lock; asked only under scoring options 1 and 2 with wait bit 1 set.
    int32_t IsJokerDiscarderWin(int32_t chair, int32_t tile, HuResult* r, int32_t mask);

    // Accessors.
    const MJConfig& MJ() const { return mj_; }
    const std::vector<Meld>& Melds(int32_t chair, MeldList list) const;
    const std::vector<int32_t>& Discards(int32_t chair) const;
    const std::vector<int32_t>& Flowers(int32_t chair) const;
    int32_t ClaimFlags(int32_t chair) const { return ValidMJ(chair) ? pgch_[chair] : 0; }
    int32_t SoleFlags(int32_t chair) const { return ValidMJ(chair) ? sole_[chair] : 0; }
    int32_t WinValueOf(int32_t chair) const { return ValidMJ(chair) ? winValue_[chair] : 0; }
    const HuResult& ResultOf(int32_t chair) const;
    int32_t Loser() const { return loser_; }
    int32_t FirstWinner() const { return firstWinner_; }
    int32_t Winners() const { return winners_; }
    int32_t WinTile() const { return winTile_; }
    bool HuAsked(int32_t chair) const { return ValidMJ(chair) && huAsked_[chair]; }
    int32_t TilesDrawn() const { return tilesDrawn_; }
    int32_t TailDraws() const { return tailDraws_; }
    int32_t HeadPosition() const { return headPos_; }
    int32_t GangDraws() const { return gangDraws_; }
    int32_t BankerStreak() const { return bankerStreak_; }
    int32_t JokerId2() const { return jokerId2_; }
    int32_t PendingGangTile() const { return pendingTile_; }
    int32_t PendingGangDeclarer() const { return pendingDeclarer_; }
    int32_t PendingGangOwner() const { return pendingOwner_; }
    int32_t PengMatrix(int32_t from, int32_t to) const;
    int32_t ChiMatrix(int32_t from, int32_t to) const;
    int32_t GangMatrix(int32_t from, int32_t to) const;
    int32_t JokerLockChair() const { return jokerLockChair_; }
    int32_t JokerLockCount() const { return jokerLockCount_; }

protected:
    bool ValidMJ(int32_t chair) const { return chair >= 0 && chair < chairCount_; }
    bool IsPlayedBy(int32_t tile, int32_t chair) const;
    bool JokerLockFree() const;
    bool WindowOpen() const { return (status_ & kStatusWindowOpen) != 0; }
    void RemoveFromDiscards(int32_t chair, int32_t tile);
    int32_t CarryOutMeld(const MJRequest& r, MeldList list, int32_t handCode, int32_t claimedCode,
                         int handTiles);
    int32_t DiceSum() const { return dice_[0] + dice_[1]; }
    int32_t Tick() const { return static_cast<int32_t>(Now()); }
    int32_t Elapsed(uint32_t since) const { return static_cast<int32_t>(Now() - since); }
    bool HuKindAllowed(int32_t chair, int32_t tile) const;
    // Moves the head of the wall onto the next tile still in the wall; false when there is none.
    bool HeadOnWallTile();
    // The win test on a claim that must wait: another chair than the two named wins on the
    // tile, within the claim time less a second from `since`.
    bool OtherCanWin(const MJRequest& r, uint32_t since);
    bool NoJokerIn(int32_t chair, int32_t tile) const;

    MJConfig mj_;
    int32_t startFlagWord_ = 0;
    int32_t bankerStreak_ = 1;
    int32_t jokerId2_ = -1;
    int32_t tilesDrawn_ = 0;
    int32_t tailDraws_ = 0;
    int32_t headPos_ = 0;
    int32_t pgch_[kMJChairs] = {};
    int32_t sole_[kMJChairs] = {};
    int32_t jokerDiscards_[kMJChairs] = {};
    int32_t draws_[kMJChairs] = {};
    int32_t winValue_[kMJChairs] = {};
    int32_t pendingTile_ = -1, pendingDeclarer_ = -1, pendingOwner_ = -1;
    uint32_t pendingTick_ = 0;
    int32_t jokerLockChair_ = -1, jokerLockCount_ = 0;
    int32_t gangDraws_ = 0;
    std::vector<Meld> melds_[kMJChairs][5];
    std::vector<int32_t> discards_[kMJChairs];
    std::vector<int32_t> flowers_[kMJChairs];
    int32_t pengM_[kMJChairs][kMJChairs] = {}, chiM_[kMJChairs][kMJChairs] = {},
            gangM_[kMJChairs][kMJChairs] = {};
    HuResult hu_[kMJChairs] = {};
    int32_t loser_ = -1, firstWinner_ = -1, winners_ = 0, winTile_ = -1;
    // The chairs that asked to win on the tile in play: only they can be made winners.
    int32_t huAsked_[kMJChairs] = {};

private:
    int32_t RecordClaimWinners(int32_t n, int32_t from, int32_t loser, int32_t tile);
    void ResetMJ(bool full);
};

}  // namespace hqlv::rules
