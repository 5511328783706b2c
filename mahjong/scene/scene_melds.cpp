// The tile-model updates: a claimed peng, chi or gang taken out of the seat's concealed
// hand and laid along its meld row, the hands laid down at the end of a deal, and the
// winner's celebration. Each of the four rows runs in its own direction with its own tile
// sizes, so every family has one member per view direction; the members only change
// records, and the caller binds the changed rows.
//
// Words of a meld notice read here: 4 the chair that gave the claimed tile, 5 the claimed
// (or added) tile, 6-8 the claiming hand's tiles, 10 the replacement drawn after a gang.
// The tile words are only ever written into records, never used as indexes.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/core/engine_log.h"
#include "engine/core/entity_kinds.h"
#include "mahjong/scene/game_scene.h"

namespace hqlv::mahjong {

namespace {

constexpr uint32_t kMagentaKey = 0xFF00FF;
constexpr int kEffectLayer = 2;
// A peng or chi notice is read through word 7, a gang notice through word 10.
constexpr size_t kMeldWords = 8;
constexpr size_t kGangWords = 11;

bool IsView(int view) {
    return view >= 0 && view < kViewCount;
}

int32_t Word(MJData d, size_t i) {
    int32_t w = -1;
    if (d.size() >= (i + 1) * sizeof w) std::memcpy(&w, d.data() + i * sizeof w, sizeof w);
    return w;
}

// The record is long enough for the words the update reads; a short one is logged.
bool LongEnough(MJData d, size_t words) {
    if (d.size() >= words * sizeof(int32_t)) return true;
    engine::WriteLog("牌组数据过短:%d", int(d.size()));
    return false;
}

// A view's meld row: along y on views 0 and 2, along x on views 1 and 3; views 1 and 2 run
// from the hand length downward, and a coordinate there is the tile's near edge.
struct MeldRow {
    int step = 0;    // an upright tile's length along the row
    int turned = 0;  // a turned tile's length along the row
    int group = 0;   // one meld group's length
    int fixed = 0;   // the coordinate across the row
    int cross = 0;   // how far a turned tile moves across the row
    int length = 0;  // the hand length (where the decreasing rows start)
    bool alongY = false;
    bool decreasing = false;
};

MeldRow RowOf(const CMJGameScene2& scene, int v) {
    const MJTileMetrics& m = scene.Metrics();
    const int* S = m.step;
    const int* A = m.across;
    MeldRow r;
    r.step = S[v];
    // A tile turned to a neighbour takes that neighbour's across size along this row.
    r.turned = v == 1 ? A[0] : v == 3 ? A[2] : A[3];
    r.group = r.turned + 2 * S[v];
    r.length = scene.GetHandLength(v);
    r.alongY = v == 0 || v == 2;
    r.decreasing = v == 1 || v == 2;
    switch (v) {
        case 1:
            r.fixed = scene.GetMeldOffsetA(1);
            break;
        case 2:
            r.fixed = scene.GetMeldOffsetB(2);
            r.cross = A[0] - S[1];
            break;
        case 3:
            r.fixed = scene.GetMeldOffsetA(3);
            r.cross = A[1] - S[0];
            break;
        default:
            break;
    }
    return r;
}

// The meld group whose top record is i: 0 for 17, 1 for 13, 2 for 9, 3 for 5.
int GroupOf(int top) {
    return (kHandSlotCount - 1 - top) / 4;
}

// Which base tile a claim from the giver turns: the first from the next seat, the last from
// the previous seat, none from across the table or from the row's own view.
int TurnedIndex(int v, int giver) {
    const int rel = (giver - v + 4) % 4;
    return rel == 1 ? 0 : rel == 3 ? 2 : -1;
}

// Lays three base tiles along the row from the group's start; the turned one (index 0-2,
// -1 none) lies in the giver's direction and moves across the row.
void PlaceBase(const CMJGameScene2& scene, int v, int top, MJTileInfo* base[3], int turned,
               int giver) {
    const MeldRow row = RowOf(scene, v);
    const int* L = scene.Metrics().thickness;
    const int start = GroupOf(top) * row.group;
    int pos = row.decreasing ? row.length - start : start;
    for (int k = 0; k < 3; ++k) {
        const bool isTurned = k == turned;
        const int len = isTurned ? row.turned : row.step;
        int at = pos;
        if (row.decreasing) {
            // The first tile of the right-hand row also leaves room for its thickness.
            const int extra = v == 2 && k == 0 ? (isTurned ? L[3] : L[2]) : 0;
            pos -= len + extra;
            at = pos;
        } else {
            pos += len;
        }
        MJTileInfo& r = *base[k];
        const int across = row.fixed + (isTurned ? row.cross : 0);
        r.nX = row.alongY ? across : at;
        r.nY = row.alongY ? at : across;
        if (isTurned) r.nDirection = giver;
    }
}

// The records of a new meld: shown face up, out of the hand, lying the row's way.
void SetMeldRecord(MJTileInfo& r, int v) {
    r.bPresent = 1;
    r.nFace = 1;
    r.bHand = 0;
    r.nDirection = (v + 2) % 4;
}

// A hidden hand gives its claimed tiles by count: the three top concealed records go, but
// never the draw slot or below it.
void ClearHiddenTop(CMJTileAreas& tiles, int v) {
    MJTileInfo* row = tiles.HandRow(v);
    const int top = tiles.TopOfConcealedHand(v);
    for (int i = top; i >= 1 && i > top - 3; --i) row[i].bPresent = row[i].bHand = 0;
}

void SetReplacement(MJTileInfo& r, int v, int code) {
    r.bPresent = 1;
    r.bHand = 1;
    r.nFace = 1;
    r.nCode = code;
    r.nDirection = (v + 2) % 4;
}

// At most the first limit entries that name a tile; the rest of a longer list is logged and
// dropped, so a laid-down hand never reaches past the records the tile model uses.
std::vector<int32_t> FirstTiles(std::span<const int32_t> codes, size_t limit) {
    std::vector<int32_t> out;
    for (int32_t c : codes)
        if (c != -1) out.push_back(c);
    if (out.size() > limit) {
        engine::WriteLog("摊牌数目错误:%d", int(out.size()));
        out.resize(limit);
    }
    return out;
}

}  // namespace

// ---- dispatchers

void CMJGameScene2::AddExposedGangMeld(int view, MJData record) {
    switch (view) {
        case 0:
            AddExposedGangMeldView0(record);
            break;
        case 1:
            AddExposedGangMeldView1(record);
            break;
        case 2:
            AddExposedGangMeldView2(record);
            break;
        case 3:
            AddExposedGangMeldView3(record);
            break;
        default:
            break;
    }
}

void CMJGameScene2::AddConcealedGangMeld(int view, MJData record) {
    switch (view) {
        case 0:
            AddConcealedGangMeldView0(record);
            break;
        case 1:
            AddConcealedGangMeldView1(record);
            break;
        case 2:
            AddConcealedGangMeldView2(record);
            break;
        case 3:
            AddConcealedGangMeldView3(record);
            break;
        default:
            break;
    }
}

void CMJGameScene2::AddAddedGangMeld(int view, MJData record) {
    switch (view) {
        case 0:
            AddAddedGangMeldView0(record);
            break;
        case 1:
            AddAddedGangMeldView1(record);
            break;
        case 2:
            AddAddedGangMeldView2(record);
            break;
        case 3:
            AddAddedGangMeldView3(record);
            break;
        default:
            break;
    }
}

void CMJGameScene2::LayOutEndHand(int view, std::span<const int32_t> codes) {
    switch (view) {
        case 0:
            LayOutEndHandView0(codes);
            break;
        case 1:
            LayOutEndHandView1(codes);
            break;
        case 2:
            LayOutEndHandView2(codes);
            break;
        case 3:
            LayOutEndHandView3(codes);
            break;
        default:
            break;
    }
}

void CMJGameScene2::LayOutEndHandAll(int view, std::span<const int32_t> codes) {
    switch (view) {
        case 0:
            LayOutEndHandAllView0(codes);
            break;
        case 1:
            LayOutEndHandAllView1(codes);
            break;
        case 2:
            LayOutEndHandAllView2(codes);
            break;
        case 3:
            LayOutEndHandAllView3(codes);
            break;
        default:
            break;
    }
}

void CMJGameScene2::LayOutWinningHand(int view, int tile, std::span<const int32_t> codes) {
    switch (view) {
        case 0:
            LayOutWinningHandView0(tile, codes);
            break;
        case 1:
            LayOutWinningHandView1(tile, codes);
            break;
        case 2:
            LayOutWinningHandView2(tile, codes);
            break;
        case 3:
            LayOutWinningHandView3(tile, codes);
            break;
        default:
            break;
    }
}

// ---- hand-side steps

void CMJGameScene2::TakeMeldTilesFromHand(int view, MJData record) {
    MJTileInfo* row = m_tiles.HandRow(view);
    if (!row) return;
    if (IsHandKnown(view)) {
        RemoveTileFromHand(view, Word(record, 6));
        RemoveTileFromHand(view, Word(record, 7));
        MoveTileToDrawSlot(view);
        return;
    }
    ClearHiddenTop(m_tiles, view);
    row[0].bPresent = row[0].bHand = 1;
}

void CMJGameScene2::TakeExposedGangTiles(int view, MJData record) {
    MJTileInfo* row = m_tiles.HandRow(view);
    if (!row) return;
    if (IsHandKnown(view)) {
        for (size_t w : {6, 7, 8}) RemoveTileFromHand(view, Word(record, w));
        SetReplacement(row[0], view, Word(record, 10));
        return;
    }
    ClearHiddenTop(m_tiles, view);
    row[0].bPresent = row[0].bHand = 1;
}

void CMJGameScene2::TakeConcealedGangTiles(int view, MJData record) {
    MJTileInfo* row = m_tiles.HandRow(view);
    if (!row) return;
    if (IsHandKnown(view)) {
        for (size_t w : {6, 7, 8, 5}) RemoveTileFromHand(view, Word(record, w));
        InsertDrawnTile(view);
        SetReplacement(row[0], view, Word(record, 10));
        return;
    }
    ClearHiddenTop(m_tiles, view);
    row[0].bPresent = row[0].bHand = 1;
}

void CMJGameScene2::TakeAddedGangTile(int view, MJData record) {
    MJTileInfo* row = m_tiles.HandRow(view);
    if (!row) return;
    if (IsHandKnown(view)) {
        RemoveTileFromHand(view, Word(record, 5));
        InsertDrawnTile(view);
        row[0].nCode = Word(record, 10);
    }
    row[0].bPresent = row[0].bHand = 1;
}

// ---- three-tile melds

namespace {

// The codes of records i, i - 1, i - 2 by the giver's place (none from the own view).
bool BaseCodes(int v, int giver, MJData d, int32_t out[3]) {
    const int32_t w5 = Word(d, 5), w6 = Word(d, 6), w7 = Word(d, 7);
    switch ((giver - v + 4) % 4) {
        case 1:
            out[0] = w5, out[1] = w6, out[2] = w7;
            return true;
        case 2:
            out[0] = w6, out[1] = w5, out[2] = w7;
            return true;
        case 3:
            if (v == 2)
                out[0] = w5, out[1] = w6, out[2] = w7;
            else
                out[0] = w6, out[1] = w7, out[2] = w5;
            return true;
        default:
            return false;
    }
}

}  // namespace

// Peng (kind 1) and chi (kind 3) for one view: the free group first, so a hand with four
// melds loses nothing; then the hand gives its tiles and the group is laid.
static void AddThreeTileMeld(CMJGameScene2& scene, int v, MJData record, int kind) {
    CMJTileAreas& tiles = scene.Tiles();
    if (!LongEnough(record, kMeldWords)) return;
    const int top = tiles.FreeMeldGroup(v);
    if (top < 0) return;
    const int giver = scene.ChairToView(Word(record, 4));
    if (!IsView(giver)) {
        engine::WriteLog("牌组来源座位错误:%d", Word(record, 4));
        return;
    }
    scene.TakeMeldTilesFromHand(v, record);
    MJTileInfo* row = tiles.HandRow(v);
    MJTileInfo* base[3] = {&row[top], &row[top - 1], &row[top - 2]};
    for (MJTileInfo* r : base) {
        SetMeldRecord(*r, v);
        r->nMeld = kind;
    }
    int32_t codes[3];
    const bool written = BaseCodes(v, giver, record, codes);
    if (written)
        for (int k = 0; k < 3; ++k) base[k]->nCode = codes[k];
    PlaceBase(scene, v, top, base, TurnedIndex(v, giver), giver);
    if (written && v == kOwnView && kind == kMeldPeng)
        for (MJTileInfo* r : base)
            if (r->nCode == Word(record, 5)) r->bClaimed = 1;
}

void CMJGameScene2::AddPengMeldView0(MJData record) {
    AddThreeTileMeld(*this, 0, record, kMeldPeng);
}
void CMJGameScene2::AddPengMeldView1(MJData record) {
    AddThreeTileMeld(*this, 1, record, kMeldPeng);
}
void CMJGameScene2::AddPengMeldView2(MJData record) {
    AddThreeTileMeld(*this, 2, record, kMeldPeng);
}
void CMJGameScene2::AddPengMeldView3(MJData record) {
    AddThreeTileMeld(*this, 3, record, kMeldPeng);
}
void CMJGameScene2::AddChiMeldView0(MJData record) {
    AddThreeTileMeld(*this, 0, record, kMeldChi);
}
void CMJGameScene2::AddChiMeldView1(MJData record) {
    AddThreeTileMeld(*this, 1, record, kMeldChi);
}
void CMJGameScene2::AddChiMeldView2(MJData record) {
    AddThreeTileMeld(*this, 2, record, kMeldChi);
}
void CMJGameScene2::AddChiMeldView3(MJData record) {
    AddThreeTileMeld(*this, 3, record, kMeldChi);
}

// ---- gangs

// Exposed and concealed gangs: four records of the free group; the fourth tile lies on the
// middle base tile, raised by a tile's thickness.
static void AddFourTileMeld(CMJGameScene2& scene, int v, MJData record, bool concealed) {
    CMJTileAreas& tiles = scene.Tiles();
    if (!LongEnough(record, kGangWords)) return;
    const int top = tiles.FreeMeldGroup(v);
    if (top < 0) return;
    int giver = -1;
    if (!concealed) {
        giver = scene.ChairToView(Word(record, 4));
        if (!IsView(giver)) {
            engine::WriteLog("牌组来源座位错误:%d", Word(record, 4));
            return;
        }
        scene.TakeExposedGangTiles(v, record);
    } else {
        scene.TakeConcealedGangTiles(v, record);
    }
    MJTileInfo* row = tiles.HandRow(v);
    MJTileInfo* group[4] = {&row[top], &row[top - 1], &row[top - 2], &row[top - 3]};
    const int32_t w5 = Word(record, 5), w6 = Word(record, 6), w7 = Word(record, 7),
                  w8 = Word(record, 8);
    // The claimed tile is the fourth on the rows that put the fourth tile last.
    const bool fourthLast = v == 0 || v == kOwnView;
    const bool claimedLast = concealed ? v == kOwnView : fourthLast;
    const int32_t codes[2][4] = {{w5, w6, w7, w8}, {w6, w7, w8, w5}};
    for (int k = 0; k < 4; ++k) {
        SetMeldRecord(*group[k], v);
        if (v == kOwnView) group[k]->nMeld = kMeldGang;
        group[k]->nCode = codes[claimedLast ? 1 : 0][k];
    }
    MJTileInfo* base[3];
    MJTileInfo* fourth;
    if (fourthLast) {
        base[0] = group[0], base[1] = group[1], base[2] = group[2], fourth = group[3];
    } else {
        fourth = group[0], base[0] = group[1], base[1] = group[2], base[2] = group[3];
    }
    if (concealed) {
        for (MJTileInfo* r : base) r->nFace = 0;
        PlaceBase(scene, v, top, base, -1, -1);
    } else {
        PlaceBase(scene, v, top, base, TurnedIndex(v, giver), giver);
    }
    fourth->nX = base[1]->nX;
    fourth->nY = base[1]->nY - scene.Metrics().thickness[v];
}

void CMJGameScene2::AddExposedGangMeldView0(MJData record) {
    AddFourTileMeld(*this, 0, record, false);
}
void CMJGameScene2::AddExposedGangMeldView1(MJData record) {
    AddFourTileMeld(*this, 1, record, false);
}
void CMJGameScene2::AddExposedGangMeldView2(MJData record) {
    AddFourTileMeld(*this, 2, record, false);
}
void CMJGameScene2::AddExposedGangMeldView3(MJData record) {
    AddFourTileMeld(*this, 3, record, false);
}
void CMJGameScene2::AddConcealedGangMeldView0(MJData record) {
    AddFourTileMeld(*this, 0, record, true);
}
void CMJGameScene2::AddConcealedGangMeldView1(MJData record) {
    AddFourTileMeld(*this, 1, record, true);
}
void CMJGameScene2::AddConcealedGangMeldView2(MJData record) {
    AddFourTileMeld(*this, 2, record, true);
}
void CMJGameScene2::AddConcealedGangMeldView3(MJData record) {
    AddFourTileMeld(*this, 3, record, true);
}

// The fourth tile of an own peng: the peng is found by the tile's sort key among the meld
// groups' top records; without it nothing changes, not even the hand.
static void AddFourthTile(CMJGameScene2& scene, int v, MJData record) {
    if (!LongEnough(record, kGangWords)) return;
    MJTileInfo* row = scene.Tiles().HandRow(v);
    const int32_t added = Word(record, 5);
    const int key = scene.SortKey(added);
    int top = -1;
    for (int i = kHandSlotCount - 1; i >= 5 && top < 0; i -= 4)
        if (row[i].bPresent && scene.SortKey(row[i].nCode) == key) top = i;
    if (top < 0) return;
    scene.TakeAddedGangTile(v, record);
    for (int k = 0; k < 4; ++k) row[top - k].nMeld = kMeldGang;
    MJTileInfo& fourth = row[top - 3];
    SetMeldRecord(fourth, v);
    fourth.nCode = added;
    fourth.nX = row[top - 1].nX;
    fourth.nY = row[top - 1].nY - scene.Metrics().thickness[1];
    if (v == 1 || v == 2) fourth.nZ = row[top].nZ + 1;
}

void CMJGameScene2::AddAddedGangMeldView0(MJData record) {
    AddFourthTile(*this, 0, record);
}
void CMJGameScene2::AddAddedGangMeldView1(MJData record) {
    AddFourthTile(*this, 1, record);
}
void CMJGameScene2::AddAddedGangMeldView2(MJData record) {
    AddFourthTile(*this, 2, record);
}
void CMJGameScene2::AddAddedGangMeldView3(MJData record) {
    AddFourthTile(*this, 3, record);
}

// ---- the hands laid down at the end of a deal

namespace {

// Where laid-down record k (from 1) lies along the seat's row.
void PlaceLaidDown(const CMJGameScene2& scene, int v, int k, MJTileInfo& r) {
    const MJTileMetrics& m = scene.Metrics();
    const int n = scene.GetHandLength(v);
    r.bPresent = 1;
    r.bHand = 0;
    r.nDirection = (v + 2) % 4;
    switch (v) {
        case 0:
            r.nX = 0;
            r.nY = n - 2 * (4 + m.thickness[0]) - (k + 1) * m.step[0];
            break;
        case 1:
            r.nX = m.step[1] * k + 10;
            r.nY = scene.GetMeldOffsetA(1);
            break;
        case 2:
            r.nX = scene.GetHandThickness(2) - m.across[2];
            r.nY = m.step[2] * k + m.thickness[2] + 8;
            break;
        default:
            r.nX = n - 12 - (k + 5) * m.step[3];
            r.nY = scene.GetMeldOffsetA(3);
            break;
    }
}

// The list is the seat's whole concealed hand: a record past it that still stands (a count
// that drifted from the server's) would show under the laid-down tiles, so it goes.
void ClearStandingPast(MJTileInfo* row, int first) {
    for (int i = std::max(first, 1); i < kMaxHandTiles; ++i)
        if (row[i].bPresent && row[i].bHand) row[i].bPresent = row[i].bHand = 0;
}

}  // namespace

// The list from record 1, the draw slot kept as it is.
static void LayDownFrom1(CMJGameScene2& scene, int v, std::span<const int32_t> codes) {
    const std::vector<int32_t> list = FirstTiles(codes, kHandSlotCount - 1);
    const int n = scene.LoadHandCodesFrom1(v, list);
    if (n == 0) return;
    MJTileInfo* row = scene.Tiles().HandRow(v);
    scene.SortHand(row, 1, n);
    for (int i = 1; i < kHandSlotCount; ++i) row[i].nFace = 1;
    for (int k = 1; k <= n; ++k) PlaceLaidDown(scene, v, k, row[k]);
    ClearStandingPast(row, n + 1);
}

// The list from record 0; with a winning tile among it, that tile is put into record 0 and
// the rest sorted behind it. Record 0 is then set apart at the draw slot's place.
static void LayDownFrom0(CMJGameScene2& scene, int v, const int32_t* winning,
                         std::span<const int32_t> codes) {
    const std::vector<int32_t> list = FirstTiles(codes, kHandSlotCount);
    const int n = scene.LoadHandCodes(v, list);
    if (n == 0) return;
    MJTileInfo* row = scene.Tiles().HandRow(v);
    int found = -1;
    for (int i = n - 1; winning && i >= 0 && found < 0; --i)
        if (row[i].nCode == *winning) found = i;
    if (found >= 0) {
        std::swap(row[found].nCode, row[0].nCode);
        scene.SortHand(row, 1, n - 1);
    } else {
        scene.SortHand(row, 0, n - 1);
    }
    for (int i = 0; i < kHandSlotCount; ++i) row[i].nFace = 1;
    for (int k = 1; k < n; ++k) PlaceLaidDown(scene, v, k, row[k]);
    ClearStandingPast(row, n);
    scene.PlaceDrawSlotTile(v, row[0].nCode);
}

void CMJGameScene2::LayOutEndHandView0(std::span<const int32_t> c) {
    LayDownFrom1(*this, 0, c);
}
void CMJGameScene2::LayOutEndHandView1(std::span<const int32_t> c) {
    LayDownFrom1(*this, 1, c);
}
void CMJGameScene2::LayOutEndHandView2(std::span<const int32_t> c) {
    LayDownFrom1(*this, 2, c);
}
void CMJGameScene2::LayOutEndHandView3(std::span<const int32_t> c) {
    LayDownFrom1(*this, 3, c);
}
void CMJGameScene2::LayOutEndHandAllView0(std::span<const int32_t> c) {
    LayDownFrom0(*this, 0, nullptr, c);
}
void CMJGameScene2::LayOutEndHandAllView1(std::span<const int32_t> c) {
    LayDownFrom0(*this, 1, nullptr, c);
}
void CMJGameScene2::LayOutEndHandAllView2(std::span<const int32_t> c) {
    LayDownFrom0(*this, 2, nullptr, c);
}
void CMJGameScene2::LayOutEndHandAllView3(std::span<const int32_t> c) {
    LayDownFrom0(*this, 3, nullptr, c);
}
void CMJGameScene2::LayOutWinningHandView0(int tile, std::span<const int32_t> c) {
    LayDownFrom0(*this, 0, &tile, c);
}
void CMJGameScene2::LayOutWinningHandView1(int tile, std::span<const int32_t> c) {
    LayDownFrom0(*this, 1, &tile, c);
}
void CMJGameScene2::LayOutWinningHandView2(int tile, std::span<const int32_t> c) {
    LayDownFrom0(*this, 2, &tile, c);
}
void CMJGameScene2::LayOutWinningHandView3(int tile, std::span<const int32_t> c) {
    LayDownFrom0(*this, 3, &tile, c);
}

// ---- the winner's celebration

void CMJGameScene2::ShowWinEffect(int view) {
    if (!IsView(view)) return;
    int x, y;
    GetWindMarkPos(view, x, y);
    const engine::ImageInfo hu = GetImageInfo(Picture("胡牌"), 0);
    if (engine::ImageEntity* e = CreateImageEntity(kEffectLayer, x, y, hu.resourceId, hu.sx, hu.sy,
                                                   hu.width, hu.height, kMagentaKey)) {
        e->SetZ(5000);
        e->Show();
        e->ApplyTransform();
        MoveTo(e, 0, x, y - 10, 1, 0, 0, engine::MessageData(), 0);
        // The table's next reset takes it away with the deal.
        m_nWinEffect = e->GetId();
        AddPendingItem(e->GetId());
    }
    const engine::ImageInfo spark = GetImageInfo(Picture("粒子"), 0);
    const int w = std::max(spark.width, 1), h = std::max(spark.height, 1);
    for (int row = 0; row < 5; ++row)
        for (int col = 0; col < 10; ++col) {
            const int sx = x - 450 + col * 100 + std::rand() % w;
            const int sy = y - 40 + row * 20 + std::rand() % h;
            engine::ImageEntity* p =
                CreateImageEntity(kEffectLayer, sx, sy, spark.resourceId, spark.sx, spark.sy,
                                  spark.width, spark.height, kMagentaKey);
            if (!p) continue;
            p->SetZ(5001);
            // Shown after a delay, then off away from the picture, fading to nothing; the
            // fade's end releases the sprite.
            const uint32_t chain = NewEventId();
            const int steps = 1 + std::rand() % 30;
            ShowLater(p, 1, chain, 30 * (1 + std::rand() % 10), 0, engine::MessageData(), 0);
            MoveToEx(p, chain, sx + (sx - x) / 4, sy + (sy - y) / 4, 1 + std::rand() % 4, 2000, 0,
                     0.1, 0, 0, engine::MessageData(), 0, 0);
            const uint32_t fade =
                ZoomAlphaTo(p, -1.0 / steps, 0.0, chain, 0, 0, engine::MessageData(), 1, 0);
            // Nothing will release a sprite whose fade was refused: it goes now.
            if (!fade) {
                if (engine::GameKernel* k = Kernel()) k->DestroyEntityTree(p->GetId());
            }
        }
    PlaySoundRes(29107, 17);
}

}  // namespace hqlv::mahjong
