#pragma once
// CGameSceneEx: this game's table scene. Its logical screen is 744 × 710, stretched to
// the table pane.
#include "mahjong/scene/game_scene.h"

namespace hqlv::mahjong {

inline constexpr int kSceneWidth = 744;
inline constexpr int kSceneHeight = 710;

class CGameSceneEx : public CMJGameScene2 {
public:
    void OnAttach() override;
};

}  // namespace hqlv::mahjong
