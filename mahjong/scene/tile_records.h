#pragma once
// The table scene's model of the table: one MJTileInfo per tile it can show, held by value
// in fixed areas (the wall, four hand rows with their melds, the flowers set aside, the
// discards and one showcase tile per seat), addressed by (area code, view, index). The
// operations here change records only; the scene binds entities to them.
//
// A hand row: record 0 is the draw slot, the concealed hand packs from record 1 (sorted
// with the highest sort key first), melds take groups of four records from the top of the
// first 18 downward (14-17, 10-13, 6-9, 2-5).
#include <cstdint>
#include <span>

namespace hqlv::mahjong {

// 27 signed words (108 bytes); the unnamed words are kept so the record keeps its size.
struct MJTileInfo {
    int32_t nCode = 0;  // tile id 0-151; 200 the hidden tile
    int32_t nX = 0;     // position relative to the area's origin
    int32_t nY = 0;
    int32_t nFace = 0;       // 0 face down, 1 laid face up, 2 standing
    int32_t nDirection = 0;  // which view's pictures draw it
    int32_t bHand = 0;       // part of the concealed hand
    int32_t bSelected = 0;
    int32_t nWord7 = 0;
    int32_t bPresent = 0;
    int32_t bLocked = 0;  // own hand: not choosable now
    int32_t nMeld = 0;    // 0 none, 1 peng, 2 gang, 3 chi
    int32_t nView = 0;
    int32_t nWord12 = 0;
    int32_t bJoker = 0;    // a joker appended at the end instead of sorted in
    int32_t bWinning = 0;  // showcase: drawn with the hu picture
    int32_t bClaimed = 0;  // own peng: the tile taken from the giver
    int32_t nObject = 0;   // binding index 1-336, 0 none
    int32_t nZ = 0;
    int32_t nWords[9] = {};
};
static_assert(sizeof(MJTileInfo) == 108);

enum MJArea : int {
    kAreaWall = 1,
    kAreaHand = 2,
    kAreaMeld = 3,  // the same rows as kAreaHand
    kAreaFlower = 4,
    kAreaDiscard = 5,
    kAreaShowcase = 6,
};

constexpr int kViewCount = 4;
constexpr int kOwnView = 3;
constexpr int kWallRecords = 168;
constexpr int kHandRecords = 32;
constexpr int kFlowerRecords = 36;
constexpr int kDiscardRecords = 36;
constexpr int kHandSlotCount = 18;
constexpr int kMaxHandTiles = 14;
constexpr int kHiddenTile = 200;
constexpr int kMeldPeng = 1;
constexpr int kMeldGang = 2;
constexpr int kMeldChi = 3;

// Classification by id, independent of the rule callbacks: shape 0-5 (-1 past 151),
// value 0-9 (0 for negative ids and ids past 151).
int TileShape(int id);
int TileValue(int id);
// The cell of a tile id in every 47-cell tile strip: 0-45 faces, 46 the back (ids 148-151
// and the hidden tile 200); anything else that is no tile draws cell 0.
int GetFaceIndex(int id);

// What the hand operations ask of the game's rules: the flower, joker and joker-substitute
// tests with the deal's jokers, whether drawn jokers are sorted in, and the sort key
// (shape × 10 + value, the substitute taking the joker's key).
class CMJTileTests {
public:
    virtual ~CMJTileTests() = default;
    virtual int IsFlowerTile(int id) const = 0;
    virtual int IsJokerTile(int id) const = 0;
    virtual int IsJokerStandIn(int id) const = 0;
    virtual int SortsJokers() const = 0;
    virtual int SortKey(int id) const = 0;
};

class CMJTileAreas {
public:
    // Zeroes every record; showcase records get nFace 1, their view and z 3000.
    void Clear();

    // The record, or null for an area code, view or index outside the areas (the server's
    // words reach here through the handlers).
    MJTileInfo* GetTileRecord(int area, int view, int index);
    const MJTileInfo* GetTileRecord(int area, int view, int index) const;
    // The view's hand row (32 records), or null for a view outside 0-3.
    MJTileInfo* HandRow(int view);

    // Every entry other than -1, in list order, into the codes of records 0, 1, ... (or 1,
    // 2, ...); never past record 31. → how many were written.
    int LoadHandCodes(int view, std::span<const int32_t> codes);
    int LoadHandCodesFrom1(int view, std::span<const int32_t> codes);

    // The highest record among the first 18 that is present and has the hand flag; -1.
    int TopOfConcealedHand(int view) const;
    // The top record of the first free meld group (17, 13, 9, 5), or -1 when all are taken.
    int FreeMeldGroup(int view) const;

    // The hand's first tile moves into the draw slot (the concealed tiles move down).
    void MoveTileToDrawSlot(int view);
    // The drawn tile is sorted into the hand (or, a joker that is not sorted, appended).
    void InsertDrawnTile(int view, const CMJTileTests& tests);

    // Choice marks of the own hand (the first 14 records that are present with the hand
    // flag).
    void MarkChiChoices(std::span<const int32_t> candidates);
    // → the flowers counted; with flowers every other tile is locked and selections clear.
    int MarkFlowerChoices(const CMJTileTests& tests);
    // Unlocks the tiles of which four are held (concealed and peng tiles counted).
    void MarkGangChoices();
    void ClearChoiceMarks();
    void ClearJokerMarks();

    MJTileInfo m_wall[kWallRecords];
    MJTileInfo m_hands[kViewCount][kHandRecords];
    MJTileInfo m_flowers[kViewCount][kFlowerRecords];
    MJTileInfo m_discards[kViewCount][kDiscardRecords];
    MJTileInfo m_showcase[kViewCount];
};

}  // namespace hqlv::mahjong
