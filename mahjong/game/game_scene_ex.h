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

    // ---- this game's scene layer (game_scene_ex.cpp)

    // ---- this game's claim buttons and automatic play (game_scene_ex_play.cpp)

protected:
    // ---- state of this game's scene layer

    // ---- state of this game's automatic play
};

}  // namespace hqlv::mahjong
