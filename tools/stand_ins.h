#pragma once
// What the stand-in hall and the local game server both hold: the level titles the hall
// hands the client with the table state and the server writes into its deal results (one
// UTF-8 title per level 0-19, the levels the table rules give a score), the names of the
// server-driven players (user ids from 900001, one a chair), and the standing a player starts
// with (the hall's record of its user and the server's entry of a player who brings none).
#include <array>
#include <string>

namespace hqlv::tools {

inline constexpr std::array<const char*, 20> kLevelTitles = {
    "新手", "入门", "熟练", "高手", "精英", "专家", "大师", "宗师", "名家", "传奇",
    "雀士", "雀豪", "雀杰", "雀俊", "雀圣", "雀神", "至尊", "天王", "霸主", "雀皇"};

inline constexpr int kFirstComputerUserId = 900001;
// What a server-driven player sits down with: no score, this much silver.
inline constexpr int kComputerStartSilver = 10000;

inline constexpr int kPlayerStartScore = 120;
inline constexpr int kPlayerStartLevel = 4;  // 120 points: from 100 to 199
inline constexpr int kPlayerStartSilver = 10000;

// The name of the server-driven player of a chair (UTF-8): the name the table rules give a
// computer player, which the server lists.
inline std::string ComputerPlayerName(int chair) {
    static const char* const kSigns[] = {"【甲】", "【乙】", "【丙】", "【丁】",
                                         "【戊】", "【己】", "【庚】", "【辛】"};
    return std::string("游戏玩家") + (chair >= 0 && chair < 8 ? kSigns[chair] : "【-】");
}

}  // namespace hqlv::tools
