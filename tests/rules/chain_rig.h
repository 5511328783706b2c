#pragma once
// Helpers of the rule chain's tests: a fixed rules clock, users, record words, tables whose
// protected state the tests read and set, and rows of operations with their expected answers.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "table_rig.h"

namespace chain {

using namespace hqlv::rules;
using rig::idOf;

struct FixedTick {
    uint32_t tick = 1000;
    FixedTick() {
        SetRulesClock({[this] { return tick; }, {}});
    }
    ~FixedTick() { SetRulesClock({}); }
};

inline std::unique_ptr<TableUser> user(int32_t id, int32_t score = 0, int32_t holdings = 0,
                                       int32_t flags = 0) {
    auto u = std::make_unique<TableUser>();
    u->userId = id;
    u->score = score;
    u->holdings = holdings;
    u->flags = flags;
    return u;
}

inline int32_t at(const std::vector<int32_t>& r, int byteOffset) {
    return r[static_cast<size_t>(byteOffset / 4)];
}

// A common table whose protected state the tests read and set.
class Common : public CCommonTable {
public:
    using CCommonTable::allFlags_;
    using CCommonTable::baseStake_;
    using CCommonTable::CCommonTable;
    using CCommonTable::params_;
    using CCommonTable::stake_;
    using CCommonTable::values_;
};

class Card : public CCardTable {
public:
    using CCardTable::activityTick_;
    using CCardTable::CCardTable;
    using CCardTable::chairValues_;
    using CCardTable::jokerId_;
    using CCardTable::status_;
};

// A mahjong table of the level below this game's rules, with the tile flags and the rule word
// given, its wall in id order and four players.
class MJ : public CMJTable {
public:
    using CMJTable::counts_;
    using CMJTable::jokerId_;
    using CMJTable::jokerPos_;
    using CMJTable::melds_;
    MJ(uint32_t flags, int32_t rule, int32_t options = 0)
        : CMJTable(Config(flags), GameCardConfig(), MJConfig{20, 100, rule, options}) {
        for (int c = 0; c < 4; ++c) AddPlayer(user(601 + c), c);
    }
    static TableConfig Config(uint32_t flags) {
        TableConfig c;
        c.ruleFlags = flags;
        return c;
    }
    void Fresh() {
        Reset(false);
        std::vector<int32_t> ids(136);
        for (int k = 0; k < 136; ++k) ids[static_cast<size_t>(k)] = k;
        BuildTileSet(ids);
        SetStatusBits(0x101);
        SwitchActiveChair(0);
    }
    // Joker A is the tile at the joker's place, or (as when the joker is the kind after that
    // tile) another tile.
    void SetJoker(int32_t id, int32_t position = -2) {
        jokerId_ = id;
        jokerPos_ = position == -2 ? PositionOf(id) : position;
    }
    // A tile of the kind from the wall (never the one at the joker's place); -1 when none.
    int32_t GiveOne(int32_t chair, int kind) {
        for (int copy = 0; copy < 4; ++copy) {
            const int32_t id = idOf(kind, copy);
            if (StatusOf(id) != kTileInWall || PositionOf(id) == jokerPos_) continue;
            SetTileStatus(id, kTileHeld);
            SetTileChair(id, chair);
            IncrementKind(chair, id);
            return id;
        }
        return -1;
    }
    void Give(int32_t chair, std::initializer_list<int> kinds) {
        for (int k : kinds) GiveOne(chair, k);
    }
    void LayPung(int32_t chair, int kind) {
        Meld m;
        for (int k = 0; k < 3; ++k) {
            m.tiles[k] = GiveOne(chair, kind);
            DecrementKind(chair, m.tiles[k]);
            SetTileStatus(m.tiles[k], kTilePengHand);
        }
        m.source = (chair + 1) % 4;
        melds_[chair][kPeng].push_back(m);
    }
};

struct Row {
    const char* what;
    std::function<int64_t()> got;
    int64_t want;
};

inline void runRows(const std::vector<Row>& rows) {
    for (const Row& r : rows) EXPECT_EQ(r.got(), r.want) << r.what;
}

}  // namespace chain
