#pragma once
// The card table: a table whose game is played with a set of tiles. It owns the set as tile
// records in wall order, shuffles and deals it, keeps each chair's counts by kind, and can
// replace the shuffled order by a fixed test deal kept in "test.ini" (section "Card").
#include <cstdint>
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
    int32_t bidSeconds = 20;
    int32_t defaultBid = 100;
};

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
    int32_t ResultRecordSize() const override { return 580; }
    int32_t AddDealMarker(const int32_t* record, int32_t value) override;

    virtual int32_t WallStartPosition() { return 0; }
    virtual int32_t JokerPosition() { return card_.tileTotal / 2; }
    virtual int32_t JokerTile() { return TileAt(jokerPos_); }
    virtual int32_t ChooseDealingChair() { return RandomDealingChair(); }
    virtual int32_t FirstPlayerChair() { return banker_; }
    virtual int32_t ChooseDealingChairAgain(const int32_t* record, int32_t value);
    int32_t NextChairWithTiles(int32_t chair);
    virtual void Shuffle();
    void BuildTileSet(const std::vector<int32_t>& ids);
    // Under "Made" != 0 the "Total" list replaces ids when it is a permutation of 0..total-1;
    // with "Made" = 0 the current ids are written out. 1 when ids were replaced.
    int32_t LoadTestDeal(std::vector<int32_t>& ids);
    int32_t TestIniInt(const std::string& key, int32_t& value);
    virtual int32_t TilesPerChair() const;
    virtual void DealCards();
    virtual int32_t IsCompleteSet() const;

    int32_t PositionOf(int32_t tileId) const;
    int32_t TileAt(int32_t position) const;
    int32_t CountHeld(int32_t chair) const;
    bool IsHeldBy(int32_t chair, int32_t tileId) const;
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
    int32_t KindIndexOf(int32_t tileId) const;
    virtual int32_t ShapeOf(int32_t tileId) const { return tileId >= 0 ? 0 : -1; }
    virtual int32_t ValueOf(int32_t tileId) const { return tileId + 1; }
    int32_t CardPoints(int32_t tileId) const;
    virtual int32_t AdvanceTurn();

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

private:
    void ResetCard(bool full);
};

}  // namespace hqlv::rules
