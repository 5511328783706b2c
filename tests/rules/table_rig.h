#pragma once
// A table of this game's rules whose state the tests set directly: tiles given to hands,
// melds laid, discards made, win values and fans written.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "rules/common.h"
#include "rules/table_ex.h"

namespace rig {

using namespace hqlv::rules;

// "test.ini" in a folder of the test's own under the temporary folder, removed with it; the
// hooks point a table at it.
struct TestIniFolder {
    explicit TestIniFolder(const char* name)
        : dir(std::filesystem::temp_directory_path() / name), ini(dir / "test.ini") {
        std::filesystem::create_directories(dir);
        hooks.testIniFolder = dir.string();
    }
    ~TestIniFolder() { std::filesystem::remove_all(dir); }
    TestIniFolder(const TestIniFolder&) = delete;
    TestIniFolder& operator=(const TestIniFolder&) = delete;
    std::filesystem::path dir, ini;
    TableHooks hooks;
};

// The id of copy `copy` of a kind (suits 1..29, honours 31..37).
inline int32_t idOf(int kind, int copy) {
    if (kind >= 31) return 108 + copy * 7 + (kind - 31);
    return (kind / 10) * 36 + copy * 9 + (kind % 10 - 1);
}

// A win request checked as the test wrote it (the check may change the kind of a request the
// caller keeps to carry out; these are not kept).
inline int32_t CheckHu(CMJTable& t, MJRequest r) {
    return t.CheckHuRequest(r);
}

class Rig : public CMJTableEx {
public:
    using CMJTableEx::addedExtra_;
    using CMJTableEx::allFlags_;
    using CMJTableEx::banker_;
    using CMJTableEx::baseStake_;
    using CMJTableEx::chairValues_;
    using CMJTableEx::claimedFrom_;
    using CMJTableEx::counts_;
    using CMJTableEx::currentChair_;
    using CMJTableEx::dice_;
    using CMJTableEx::discards_;
    using CMJTableEx::draws_;
    using CMJTableEx::firstWinner_;
    using CMJTableEx::flowers_;
    using CMJTableEx::gangDraws_;
    using CMJTableEx::headPos_;
    using CMJTableEx::hu_;
    using CMJTableEx::jokerId2_;
    using CMJTableEx::jokerId_;
    using CMJTableEx::jokerLockChair_;
    using CMJTableEx::jokerLockCount_;
    using CMJTableEx::jokerPos_;
    using CMJTableEx::kongFeed_;
    using CMJTableEx::kongFeeder_;
    using CMJTableEx::kongFlag_;
    using CMJTableEx::kongUnits_;
    using CMJTableEx::loser_;
    using CMJTableEx::melds_;
    using CMJTableEx::mode_;
    using CMJTableEx::params_;
    using CMJTableEx::pass_;
    using CMJTableEx::passed_;
    using CMJTableEx::pendingTick_;
    using CMJTableEx::pengM_;
    using CMJTableEx::pgch_;
    using CMJTableEx::pungFeed_;
    using CMJTableEx::removalTick_;
    using CMJTableEx::sole_;
    using CMJTableEx::stake_;
    using CMJTableEx::status_;
    using CMJTableEx::tailDraws_;
    using CMJTableEx::tilesDrawn_;
    using CMJTableEx::turnTick_;
    using CMJTableEx::values_;
    using CMJTableEx::waitOpe_;
    using CMJTableEx::wallStart_;
    using CMJTableEx::winners_;
    using CMJTableEx::winValue_;

    explicit Rig(TableHooks hooks = {}, const TableConfig& config = GameTableConfig())
        : CMJTableEx(config, GameCardConfig(), GameMJConfig(), std::move(hooks)) {
        for (int c = 0; c < 4; ++c) {
            auto u = std::make_unique<TableUser>();
            u->userId = 501 + c;
            AddPlayer(std::move(u), c);
        }
        Fresh();
    }

    // Every tile in the wall in id order; play running, chair 0 current, banker 3.
    void Fresh() {
        Reset(false);
        std::vector<int32_t> ids(136);
        for (int k = 0; k < 136; ++k) ids[static_cast<size_t>(k)] = k;
        BuildTileSet(ids);
        tilesDrawn_ = 53;
        banker_ = 3;
        SetStatusBits(0x101);
        SwitchActiveChair(0);
    }

    // A tile of the kind still in the wall, -1 when none.
    int32_t WallTile(int kind) const {
        for (int copy = 0; copy < 4; ++copy) {
            const int32_t id = idOf(kind, copy);
            if (StatusOf(id) == kTileInWall) return id;
        }
        return -1;
    }

    // Gives the chair one tile of each kind listed; returns the ids.
    std::vector<int32_t> Give(int32_t chair, std::initializer_list<int> kinds) {
        std::vector<int32_t> out;
        for (int k : kinds) out.push_back(GiveOne(chair, k));
        return out;
    }
    int32_t GiveOne(int32_t chair, int kind) {
        const int32_t id = WallTile(kind);
        if (id < 0) return -1;
        SetTileStatus(id, kTileHeld);
        SetTileChair(id, chair);
        IncrementKind(chair, id);
        return id;
    }

    // Lays a meld of the kind: 3 tiles (pung, chow from kind) or 4 (kongs), source chair. An
    // added kong lies as the table leaves it: on its pung, which stays in the pung list.
    void Lay(int32_t chair, MeldList list, int kind, int32_t source) {
        Meld m;
        const int n = (list == kPeng || list == kChi) ? 3 : 4;
        for (int k = 0; k < n; ++k) {
            const int32_t id = WallTile(list == kChi ? kind + k : kind);
            m.tiles[k] = id;
            SetTileStatus(id, list == kPeng ? kTilePengHand : kTileGangHand);
            SetTileChair(id, chair);
        }
        m.source = source;
        melds_[chair][list].push_back(m);
        if (list != kBuGang) return;
        Meld pung = m;
        pung.tiles[3] = -1;
        melds_[chair][kPeng].push_back(pung);
    }

    // Chair 0 holds a pung of 21 and the fourth 21, which it asks to add to the pung; chair 2
    // waits on 21 (or 24) through 22-23. The request (its own chair as the other one) is
    // neither checked nor recorded; its tile is the fourth 21.
    MJRequest AddedKongOf21() {
        Lay(0, kPeng, 21, 1);
        const int32_t fourth = GiveOne(0, 21);
        Give(2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 11, 22, 23});
        const Meld& m = Melds(0, kPeng)[0];
        return MJRequest::Meld(0, 0, fourth, m.tiles[0], m.tiles[1], m.tiles[2], 2);
    }

    // Chair 3 discards a 9 of the second suit: chair 2 may pung it, chair 1 win on it. The pung
    // request of chair 2.
    MJRequest PungBehindAWin() {
        const auto h = Give(2, {19, 19});
        Give(1, {8, 8, 8, 7, 7, 7, 1, 2, 3, 4, 5, 6, 19});
        auto t = Give(3, {19});
        Discard(3, &t[0], 1);
        return MJRequest::Meld(2, 3, t[0], h[0], h[1]);
    }

    // A discard of the kind by the chair (a played tile), without the claim window's flags.
    int32_t Played(int32_t chair, int kind) {
        const int32_t id = WallTile(kind);
        SetTileStatus(id, kTilePlayed);
        SetTileChair(id, chair);
        discards_[chair].push_back(id);
        return id;
    }

    void SetFans(int32_t chair, std::initializer_list<std::pair<int, int32_t>> fans) {
        hu_[chair] = HuResult{};
        int32_t total = 0;
        for (auto [k, v] : fans) hu_[chair].tally1[k] = v, total += v;
        winValue_[chair] = total;
    }
};

}  // namespace rig
