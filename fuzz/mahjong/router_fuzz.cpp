// The notification router over the real deal state with recording panes and scene: a
// sequence of (id, body) from the fuzzer's bytes. Each step's first byte says whether the
// body is built well-formed (the id's own length, its counts and chairs from the bytes) or
// taken raw (any id, any length: truncated, empty or oversized).
#include <cstddef>
#include <cstdint>
#include <vector>

#include <algorithm>
#include <cstring>

#include "mahjong/scene/game_scene.h"
#include "tests/mahjong/router_doubles.h"

using namespace hqlv::mahjong;

namespace {

struct IdSize {
    uint32_t id;
    size_t size;
};

constexpr IdSize kIds[] = {
    {201160, 16},  {211000, 28},  {211040, 932}, {211080, 1652}, {211300, 0},   {211400, 40},
    {221050, 4},   {221160, 40},  {221170, 120}, {221200, 140},  {229160, 40},  {229165, 20},
    {229170, 64},  {229175, 64},  {229180, 64},  {229185, 64},   {229190, 64},  {229195, 64},
    {229197, 64},  {229199, 64},  {229210, 44},  {229500, 32},   {211920, 16},  {211700, 800},
    {400006, 80},  {400007, 24},  {211030, 72},  {211028, 400},  {211011, 136}, {211010, 32},
};
constexpr size_t kIdCount = sizeof kIds / sizeof kIds[0];

class Reader {
public:
    Reader(const uint8_t* d, size_t n) : d_(d), n_(n) {}
    bool empty() const { return pos_ >= n_; }
    uint8_t u8() { return pos_ < n_ ? d_[pos_++] : 0; }
    uint32_t u32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= uint32_t(u8()) << (8 * i);
        return v;
    }
    // Up to n bytes of what is left.
    std::vector<uint8_t> take(size_t n) {
        size_t k = n < n_ - pos_ ? n : n_ - pos_;
        std::vector<uint8_t> out(d_ + pos_, d_ + pos_ + k);
        pos_ += k;
        return out;
    }

private:
    const uint8_t* d_;
    size_t n_;
    size_t pos_ = 0;
};

void PutWord(std::vector<uint8_t>& b, size_t i, int32_t v) {
    if (b.size() < (i + 1) * 4) return;
    for (size_t k = 0; k < 4; ++k) b[i * 4 + k] = uint8_t(uint32_t(v) >> (8 * k));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader in(data, size);
    test::RouterWorld w;
    const uint8_t flags = in.u8();
    w.playing = flags & 1;
    w.rejectKanPai = (flags >> 1) & 1;
    w.withPanes = (flags & 4) == 0;
    w.mainWindow = (flags & 8) == 0;
    w.score.advertBet = (flags & 16) != 0;
    w.app.SetChairNo(int(int8_t(in.u8())) % 9);
    auto router = test::MakeRouter(w);
    CMJGameScene2 live;
    live.SetSceneHost(&w.sceneHost);
    live.ResetTable();
    for (int step = 0; step < 64 && !in.empty(); ++step) {
        const uint8_t mode = in.u8();
        const IdSize& pick = kIds[in.u8() % kIdCount];
        std::vector<uint8_t> body;
        uint32_t id = pick.id;
        if ((mode & 1) == 0) {
            // Well-formed: the id's length, then the words the router and the deal state read
            // set from the bytes, with the entry count and chairs near their bounds.
            size_t extra = pick.id == 211080 ? size_t(in.u8() % 6) * 172 : 0;
            body = in.take(pick.size + extra);
            body.resize(pick.size + extra, 0);
            PutWord(body, 181, int32_t(in.u8() % 8) - 2);
            PutWord(body, 1, int32_t(int8_t(in.u8())) % 10);
            PutWord(body, 3, int32_t(int8_t(in.u8())) % 10);
            PutWord(body, 11, int32_t(int8_t(in.u8())) % 10);
            if (mode & 2) PutWord(body, 0, int32_t(1000 + in.u8() % 6));
        } else {
            if (mode & 2) id = in.u32();
            size_t len = size_t(in.u8()) | size_t(in.u8() & 0x0F) << 8;
            body = in.take(len);
            if (mode & 4) body.resize(len * 2 + 1, 0xFF);  // oversized
        }
        router->OnNotify(id, body.empty() ? nullptr : body.data(), body.size());
        // Accessors over whatever was stored.
        MJList list{};
        w.info.GetRoundList(list);
        w.info.GetChairList(int(mode >> 4) - 2, list);
        w.info.GetRoundListItem(int(int8_t(mode)));
        std::string line;
        w.info.FormatHistory(line);
        (void)w.info.FormatRoundLine();
        // The table scene's own operations over the stored deal state and the body: the
        // game data of a rejoin stored whole, the wall, the hands and melds filled, a
        // looker-on's rebuild, and the hand lists edited with the body's words.
        if ((mode & 8) && !body.empty()) {
            std::span<uint8_t> area = w.info.GetRoundRecordArea();
            std::memcpy(area.data(), body.data(), std::min(area.size(), body.size()));
        }
        w.sceneHost.lookerOn = (mode >> 5) & 1;
        live.MarkWall();
        live.FillOwnHandFromRound((mode >> 6) & 1);
        live.FillTableFromRound();
        if (mode & 0x80) live.RebuildTable();
        std::vector<int32_t> words(body.size() / 4);
        if (!words.empty()) std::memcpy(words.data(), body.data(), words.size() * 4);
        const int view = words.empty() ? 3 : int(uint32_t(words[0]) % 6) - 1;
        live.SetHandTiles(view, words);
        for (size_t k = 0; k < words.size() && k < 8; ++k) live.RemoveTileFromHand(view, words[k]);
        MJTileInfo* row = live.Tiles().HandRow(view);
        live.SortHand(row, 0, live.LastHandIndex(view));
        std::array<int32_t, 32> codes;
        live.GetHandCodes(view, codes);
        live.CopyOwnHandExcept(codes, int(mode % 40), words.empty() ? 0 : words.back());
    }
    return 0;
}
