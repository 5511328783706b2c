#pragma once
// The card table: a table whose game is played with a set of tiles. It owns the set as tile
// records in wall order, shuffles and deals it, keeps each chair's counts by kind, and can
// replace the shuffled order by a fixed test deal kept in "test.ini" (section "Card").
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "rules/table_common.h"

namespace hqlv::rules {

struct CardConfig {
    int32_t tileTotal = 136;
    int32_t copiesPerKind = 4;
    int32_t slotsPerChair = 32;
    int32_t reservedTiles = 0;
    int32_t kindRange = 49;
    int32_t valuesPerShape = 10;
    int32_t secondListLength = 49;
    std::optional<std::array<int32_t, 16>> optionTable;  // copied into the table state
    int32_t bidSeconds = 20;
    int32_t upperBound = 0x7FFFFFFF;
    int32_t furtherOption = 2;
    int32_t maxBid = 400;  // a bid this high wins at once
    int32_t minBid = 0;    // under the low-bid rule, a bid this low wins at once
    int32_t defaultBid = 100;
};

// A bid for the banker's chair: seven words, the rest spare.
struct Bid {
    int32_t chair = -1;
    int32_t passed = 0;
    int32_t value = 0;
    int32_t spare[4] = {};
};
inline constexpr int kMaxBids = 32;

// Rule flags of the bidding: the highest bid wins once every chair has bid; low bids win.
inline constexpr uint32_t kRuleBidAfterAll = 0x100000u;
inline constexpr uint32_t kRuleLowBidWins = 0x200000u;

// The defaults of a claim a chair may make (FillClaimDefaults).
struct ClaimDefaults {
    int32_t chair = -1;
    int32_t marks[2] = {};
    int32_t tiles[64] = {};
};

// Byte offsets of the card table's part of the table state, after the common 444 bytes.
namespace card_state {
// The 13 construction values from the tile total on, then the 16-value option table.
inline constexpr int kConfig = 444, kOptionTable = 496;
inline constexpr int kWallStart = 560, kDealingChair = 564, kFirstChair = 568, kJokerPos = 572,
                     kJokerId = 576, kCurrentBid = 580, kBidCount = 584, kReservedCount = 588,
                     kTileCount = 592, kRemovalTick = 596;
// 32 bids of 7 words.
inline constexpr int kBids = 608;
// 8 chairs x 64 counts (the given chair's only), 8 chairs x 64 tile ids (-1 padded).
inline constexpr int kCounts = 1504, kHeld = 3552;
// 32 tile ids (-1 padded), the points, 8 per-chair values.
inline constexpr int kReserved = 5600, kPoints = 5728, kChairValues = 5732;
}  // namespace card_state
inline constexpr int kCardStateBytes = 5764;

// Tile status words.
inline constexpr int32_t kTileInWall = 0;
inline constexpr int32_t kTileHeld = 1;
inline constexpr int32_t kTilePlayed = -1;
inline constexpr int32_t kTileTaken = -2;

struct TileRecord {
    int32_t id;
    int32_t shape;
    int32_t value;
    int32_t status;
    int32_t chair;
    int32_t spare[2];
};

class CCardTable : public CCommonTable {
public:
    static constexpr int kKinds = 64;
    CCardTable(const TableConfig& config, const CardConfig& card, TableHooks hooks = {});

    void Reset(bool full) override;
    void PrepareDeal() override;
    int32_t EndDeal(const int32_t* record, int32_t value) override;
    int32_t TableStateSize() const override { return kCardStateBytes; }
    int32_t FillTableState(int32_t* record, int32_t bytes, int32_t chair,
                           bool skipHeld = false) override;
    int32_t ResultRecordSize() const override { return 580; }
    int32_t AddDealMarker(const int32_t* record, int32_t value) override;

    virtual int32_t FillClaimDefaults(ClaimDefaults* record) const;
    // Two teams: the banker (group 0) against the others (group 1); returns 2.
    virtual int32_t MakeBankerTeams();

    virtual int32_t WallStartPosition() { return 0; }
    virtual int32_t JokerPosition() { return card_.tileTotal / 2; }
    virtual int32_t JokerTile() { return TileAt(jokerPos_); }
    virtual int32_t ChooseDealingChair() { return RandomDealingChair(); }
    virtual int32_t FirstPlayerChair() { return banker_; }
    virtual int32_t ChooseDealingChairAgain(const int32_t* record, int32_t value);
    virtual int32_t GetBanker() const { return banker_; }
    virtual int32_t IsNot200() const { return (status_ & 0x200) ? 0 : 1; }
    int32_t NextChairWithTiles(int32_t chair);
    virtual void Shuffle();
    // The shuffle's seed: the first plus 10 times the second further value of the player in
    // chair 0 (0 for an empty chair), taken modulo 2^32.
    int32_t ShuffleSeed() const;
    // A shuffled order made into the wall: cut to the tile total, through the test deal, built
    // into the tile set.
    void BuildWall(std::vector<int32_t>& order);
    void BuildTileSet(const std::vector<int32_t>& ids);
    // Under "Made" != 0 the "Total" list replaces the leading entries of ids, one per field up
    // to the first empty one, when every field is a tile id and the ids stay a permutation of
    // 0..total-1; with "Made" = 0 the current ids are written out. 1 when ids were changed.
    int32_t LoadTestDeal(std::vector<int32_t>& ids);
    int32_t TestIniInt(const std::string& key, int32_t& value);
    virtual int32_t TilesPerChair() const;
    virtual void DealCards();
    virtual int32_t IsCompleteSet() const;

    int32_t PositionOf(int32_t tileId) const;
    int32_t TileAt(int32_t position) const;
    int32_t CountHeld(int32_t chair) const;
    bool IsHeldBy(int32_t chair, int32_t tileId) const;
    bool AreHeld(int32_t chair, const int32_t* ids) const { return AreAllHeld(chair, ids, 64); }
    bool AreAllHeld(int32_t chair, const int32_t* ids, int32_t n) const;
    int32_t ListHeld(int32_t chair, int32_t* out, int32_t n) const;
    int32_t FirstHeld(int32_t chair) const;
    int32_t ChairOf(int32_t tileId) const;
    int32_t StatusOf(int32_t tileId) const;
    int32_t SetTileStatus(int32_t tileId, int32_t status);
    int32_t SetTileChair(int32_t tileId, int32_t chair);
    int32_t MoveTile(int32_t tileId, int32_t chair);
    virtual void Discard(int32_t chair, const int32_t* ids, int32_t n);
    int32_t DecrementKind(int32_t chair, int32_t tileId);
    int32_t IncrementKind(int32_t chair, int32_t tileId);
    int32_t DecrementKindAt(int32_t chair, int32_t position);
    int32_t IncrementKindAt(int32_t chair, int32_t position);
    virtual bool IsJokerKind(int32_t tileId) const;
    // Lists by kind. CountByKind adds each id of the list at its kind in counts (64 entries);
    // SortByKind lists the ids of the kinds the mask (64 entries) selects, in kind order;
    // TakeKinds takes counts[k] of the chair's tiles of each kind k into out (64 places), each
    // marked taken by a search (TakeOneOfKind); FirstOfKind is the first tile of a kind not
    // played, removed or taken. Each returns the number of ids it wrote or took.
    int32_t CountByKind(const int32_t* ids, int32_t n, int32_t* counts) const;
    int32_t SortByKind(const int32_t* mask, const int32_t* ids, int32_t n, int32_t* out) const;
    int32_t TakeKinds(const int32_t* counts, int32_t* out, int32_t chair);
    int32_t TakeOneOfKind(int32_t chair, int32_t kind);
    int32_t FirstOfKind(int32_t kind) const;
    int32_t KindIndexOf(int32_t tileId) const;
    // Over a list of the first (kind range) or the second list length: the entries that are
    // not 0, their sum, and the first index of one (-1 none).
    int32_t CountKinds(const int32_t* list) const { return CountNonZero(list, card_.kindRange); }
    int32_t CountKinds2(const int32_t* list) const {
        return CountNonZero(list, card_.secondListLength);
    }
    int32_t SumKinds(const int32_t* list) const { return SumOf(list, card_.kindRange); }
    int32_t SumKinds2(const int32_t* list) const { return SumOf(list, card_.secondListLength); }
    int32_t FirstKind(const int32_t* list) const { return FirstNonZero(list, card_.kindRange); }
    int32_t FirstKind2(const int32_t* list) const {
        return FirstNonZero(list, card_.secondListLength);
    }
    // Every id is of shape 0 here, -1 included: an id that names no tile is told apart by
    // KindIndexOf, which gives it no kind.
    virtual int32_t ShapeOf(int32_t) const { return 0; }
    // The id plus 1; an id from a request may be any number, so the sum wraps.
    virtual int32_t ValueOf(int32_t tileId) const {
        return static_cast<int32_t>(static_cast<uint32_t>(tileId) + 1u);
    }
    // Places kept free for a later level: no value (-1), and nothing around the points (0).
    virtual int32_t SpareValue() const { return -1; }
    // a and b agree in every bit outside the mask.
    virtual int32_t EqualExcept(int32_t a, int32_t b, int32_t mask) const {
        return ((a ^ b) & ~mask) == 0 ? 1 : 0;
    }
    virtual int32_t PermitD() const { return 1; }
    virtual void OpenClaimWindow() { SetStatusBits(0x100); }
    virtual int32_t AdvanceTurn();
    virtual int32_t PermitE() const { return 1; }
    virtual int32_t PermitF() const { return 1; }
    // The card points of 64 ids (the ids below 0 skipped); AddPoints adds them to the total.
    int32_t PointsOf(const int32_t* ids) const;
    virtual int32_t SparePointsBefore() const { return 0; }
    virtual int32_t AddPoints(const int32_t* ids);
    virtual int32_t SparePointsAfter() const { return 0; }
    int32_t CardPoints(int32_t tileId) const;
    void ClearMode() { mode_ = 0; }
    // A bid for the banker's chair; *decided is 1 once the banker is known. 0 for a bid of no
    // valid chair or past the list's 32 places (nothing recorded), else 1: a bid's chair may
    // become the banker and names the next chair to bid, both used as indexes of the per-chair
    // rows, and the table state has room for 32 bids.
    virtual int32_t OnBid(const Bid& bid, int32_t* decided);
    virtual int32_t EndBidding();
    virtual int32_t PermitG() const { return 1; }
    virtual bool IsBidTimeOver() const;
    // Copies 64 words; 1 (0 for a missing list).
    virtual int32_t CopyHand(const int32_t* from, int32_t* to) const;

    // Accessors.
    const CardConfig& Card() const { return card_; }
    const std::vector<TileRecord>& Tiles() const { return tiles_; }
    const int32_t* Counts(int32_t chair) const;
    int32_t WallStart() const { return wallStart_; }
    int32_t DealingChair() const { return dealingChair_; }
    int32_t FirstChair() const { return firstChair_; }
    int32_t JokerPos() const { return jokerPos_; }
    int32_t JokerId() const { return jokerId_; }
    const std::vector<int32_t>& Reserved() const { return reserved_; }
    int32_t CurrentBid() const { return currentBid_; }
    const std::vector<Bid>& Bids() const { return bids_; }
    int32_t Points() const { return points_; }

protected:
    int32_t RandomDealingChair();
    TileRecord* RecordOf(int32_t tileId);
    const TileRecord* RecordOf(int32_t tileId) const;
    std::string TestIniPath() const;

    CardConfig card_;
    std::vector<TileRecord> tiles_;
    std::vector<int32_t> positionOfId_;  // by tile id, -1 when absent
    int32_t counts_[kMaxTableChairs][kKinds] = {};
    int32_t wallStart_ = 0;
    int32_t dealingChair_ = -1;
    int32_t firstChair_ = -1;
    int32_t jokerPos_ = -1;
    int32_t jokerId_ = -1;
    std::vector<int32_t> reserved_;
    int32_t points_ = 0;
    uint32_t removalTick_ = 0;
    int32_t currentBid_ = 0;
    std::vector<Bid> bids_;
    int32_t chairValues_[kMaxTableChairs] = {};

private:
    void ResetCard(bool full);
    static int32_t CountNonZero(const int32_t* list, int32_t n);
    static int32_t SumOf(const int32_t* list, int32_t n);
    static int32_t FirstNonZero(const int32_t* list, int32_t n);
};

}  // namespace hqlv::rules
