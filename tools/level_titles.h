#pragma once
// The level titles the stand-in hall hands the client with the table state and the local
// game server writes into its deal results: one UTF-8 title per level 0-19 (the levels the
// table rules give a score).
#include <array>

namespace hqlv::tools {

inline constexpr std::array<const char*, 20> kLevelTitles = {
    "新手", "入门", "熟练", "高手", "精英", "专家", "大师", "宗师", "名家", "传奇",
    "雀士", "雀豪", "雀杰", "雀俊", "雀圣", "雀神", "至尊", "天王", "霸主", "雀皇"};

}  // namespace hqlv::tools
